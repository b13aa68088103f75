// Statements that begin with a variable: assignment, compound assignment, increment and
// decrement, a size change with .resize(r, c), or a bare mention. The target (m_LValue) is
// copied into each instruction, so its element or range is resolved again at every run.
#include "qx/core/compiler.h"

// assignment: [ index ] [ '.' 'resize' '(' expr ',' expr ')' ]
//             ( ';' | '=' expr ';' | op= expr ';' | '++' ';' | '--' ';' )
bool CQXCompiler::evalLVar(CQXInterpreter* block) {
    if (!evalVar(block, m_LValue, 0)) return false;
    if (m_LValue.m_pVar->getConst()) return syntaxError(etCONSTLVALUE);
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttDOT) {
        if (!evalResize(block)) return false;
        tok = m_Parser.nextToken();
    }
    switch (tok) {
        case ttSEMICOLON:
            return true;
        case ttINC:
        case ttDEC:
            m_Parser.getBack();
            return evalVarModify(block);
        case ttASSIGN:
        case ttADDASSIGN:
        case ttSUBASSIGN:
        case ttMULASSIGN:
        case ttDIVASSIGN:
            break;
        default:
            return syntaxError(etSYNTAX, "unexpected symbol");
    }
    sByteCodeVar target = m_LValue;
    sByteCodeVar value;
    if (!evalExpression(block, value, 0)) return false;
    if (!expect(ttSEMICOLON, etSYNTAX, "colon expected")) return false;
    if (tok != ttASSIGN) {
        CQXVariable* result = newTemp();
        emit(block, sByteCode(getOperator(tok), target, value, result));
        value = sByteCodeVar(result);
    }
    emit(block, sByteCode(otASSIGN, target, value, nullptr));
    return true;
}

// size-change (after '.'): 'resize' '(' expression ',' expression ')'
bool CQXCompiler::evalResize(CQXInterpreter* block) {
    if (!expect(ttNAME, etSYNTAX, "method expected")) return false;
    if (m_Parser.getName(true) != "resize") return syntaxError(etSYNTAX, "unknown method");
    CQXVariable* target = m_LValue.m_pVar;
    if (!target->getVarState(vsRESIZABLE) || m_LValue.isIndexed())
        return syntaxError(etNOTRESIZEABLE);
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    sByteCodeVar rows;
    if (!evalExpression(block, rows, 0)) return false;
    if (!expect(ttCOMMA, etSYNTAX, "method needs more arguments")) return false;
    sByteCodeVar cols;
    if (!evalExpression(block, cols, 0)) return false;
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    emit(block, sByteCode(otRESIZE, rows, cols, target));
    return true;
}

// increment: '++' ';'   decrement: '--' ';'
bool CQXCompiler::evalVarModify(CQXInterpreter* block) {
    if (m_LValue.m_pVar->getConst()) return syntaxError(etCONSTLVALUE);
    eTokenType tok = m_Parser.nextToken();
    if (tok != ttINC && tok != ttDEC) return syntaxError(etSYNTAX, "unexpected symbol");
    emit(block, sByteCode(tok == ttINC ? otINC : otDEC, m_LValue, sByteCodeVar(), nullptr));
    return expect(ttSEMICOLON, etSYNTAX, "colon expected");
}
