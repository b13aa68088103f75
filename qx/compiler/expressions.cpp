// The expression compiler: an operator-precedence parse over operands, with the left operands
// that wait for a stronger operator kept on the compiler's operator stack (each entry tagged
// with the nesting level that pushed it). Every operator becomes one instruction writing a
// fresh temporary; nothing is folded except the sign of a number literal.
#include "qx/compiler/pending_operator_internal.h"
#include "qx/core/compiler.h"

namespace {

// Binary operators and their priorities; every other token ends an expression.
struct OperatorInfo {
    eTokenType token;
    int priority;
    eOptType opcode;
};

constexpr OperatorInfo kOperators[] = {
    {ttOR, 0, otOR},
    {ttAND, 1, otAND},
    {ttEQUAL, 2, otEQUAL},
    {ttNOTEQUAL, 2, otNOTEQUAL},
    {ttLESS, 2, otLESS},
    {ttGREATER, 2, otGREATER},
    {ttLESSEQUAL, 2, otLESSEQUAL},
    {ttGREATEREQUAL, 2, otGREATEREQUAL},
    {ttANDDOT, 2, otELEMAND},
    {ttORDOT, 2, otELEMOR},
    {ttNOTEQUALDOT, 2, otELEMXOR},
    {ttPLUS, 3, otADD},
    {ttMINUS, 3, otSUB},
    {ttMUL, 4, otMUL},
    {ttDIV, 4, otDIV},
    {ttELEMMUL, 4, otELEMMUL},
    {ttELEMDIV, 4, otELEMDIV},
    {ttMODULO, 4, otMODULO},
    {ttPOWER, 5, otPOWER},
    // Compound assignments map to their operation but end an expression (priority -1).
    {ttADDASSIGN, -1, otADD},
    {ttSUBASSIGN, -1, otSUB},
    {ttMULASSIGN, -1, otMUL},
    {ttDIVASSIGN, -1, otDIV},
};

// Every operator compiles to one instruction R := A op B, so the opcode table must give each of
// their opcodes that form.
constexpr bool allBinary() {
    for (const OperatorInfo& info : kOperators)
        if (opcodeUses(info.opcode) != ouBinary) return false;
    return true;
}
static_assert(allBinary(), "an operator maps to an opcode of the form R := A op B");

const OperatorInfo* findOperator(eTokenType tok) {
    for (const OperatorInfo& info : kOperators)
        if (info.token == tok) return &info;
    return nullptr;
}

sByteCodeVar withToken(const sByteCodeVar& operand, eTokenType tok) {
    sByteCodeVar result = operand;
    result.m_Token = tok;
    return result;
}

}  // namespace

int CQXCompiler::getPriority(eTokenType tok) {
    const OperatorInfo* info = findOperator(tok);
    return info ? info->priority : -1;
}

eOptType CQXCompiler::getOperator(eTokenType tok) {
    const OperatorInfo* info = findOperator(tok);
    return info ? info->opcode : otNONE;
}

// expression: operand { binary-operator operand }
bool CQXCompiler::evalExpression(CQXInterpreter* block, sByteCodeVar& result, int level) {
    if (!enterNesting()) return false;
    sByteCodeVar acc;
    for (bool more = true; more;) {
        sByteCodeVar operand;
        if (!evalOperand(block, operand, level)) return false;
        if (!evalOp(block, operand, acc, level, more)) return false;
    }
    reduceLevel(block, acc, level, -1);
    result = acc;
    leaveNesting();
    return true;
}

// Reduces the entries of this level whose operator has at least minPriority into value, each
// instruction placed where its entry was pushed.
void CQXCompiler::reduceLevel(CQXInterpreter* block, sByteCodeVar& value, int level,
                              int minPriority) {
    eTokenType waiting = value.m_Token;
    while (!m_PendingOps.empty()) {
        sPendingOperator* top = m_PendingOps.back();
        if (top->m_Level != level || getPriority(top->m_Operand.m_Token) < minPriority) break;
        CQXVariable* result = newTemp();
        emitAt(block, sByteCode(getOperator(top->m_Operand.m_Token), top->m_Operand, value, result),
               top->m_Line, top->m_Pos);
        m_PendingOps.pop_back();
        delete top;
        value = withToken(sByteCodeVar(result), waiting);
    }
}

// operand-start: [ '-' | '!' ] ( '[' matrix | number | string | '(' expression ')' | name )
bool CQXCompiler::evalOperand(CQXInterpreter* block, sByteCodeVar& operand, int level) {
    eTokenType tok = m_Parser.nextToken();
    bool bNot = false;
    bool bNegate = false;
    if (tok == ttMINUS) {
        bNegate = true;
        tok = m_Parser.nextToken();
    } else if (tok == ttNOT) {
        bNot = true;
        tok = m_Parser.nextToken();
    }
    switch (tok) {
        case ttLBRACKET:
            return evalArrayOp(block, operand, bNot, bNegate, level);
        case ttNUMBER:
            return evalNumberOp(block, operand, bNot, bNegate);
        case ttQUOTE:
            return evalStringOp(block, operand, bNot, bNegate);
        case ttLPAREN:
            ++m_OpenBrackets;
            return evalBraceOp(block, operand, bNot, bNegate, level);
        case ttNAME: {
            std::string name = m_Parser.getName(false);
            if (lookupVar(name)) return evalVarOp(block, operand, bNot, bNegate);
            if (getFunc(name)) return evalFuncOp(block, operand, bNot, bNegate, level);
            // Reported just after the name, as a statement that starts with it reports it.
            m_Parser.getName(true);
            return unknownName(name);
        }
        default:
            return syntaxError(etSYNTAX, "unexpected symbol");
    }
}

// After one operand: its index suffix and method, then the operator that follows. Combines the
// operand with the accumulator acc (the left side and its waiting operator); more tells the
// caller that another operand follows at this level.
bool CQXCompiler::evalOp(CQXInterpreter* block, sByteCodeVar& operand, sByteCodeVar& acc, int level,
                         bool& more) {
    more = false;
    if (!evalVar(block, operand, level)) return false;
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttDOT) {
        if (!evalMethod(block, operand)) return false;
        tok = m_Parser.nextToken();
    }
    int pNew = getPriority(tok);
    if (pNew < 0) {
        m_Parser.getBack();
        if (!acc.m_pVar) {
            acc = operand;
        } else {
            CQXVariable* result = newTemp();
            emit(block, sByteCode(getOperator(acc.m_Token), acc, operand, result));
            acc = sByteCodeVar(result);
        }
        return true;
    }
    sByteCodeVar left;
    if (!acc.m_pVar) {
        left = withToken(operand, tok);
    } else if (getPriority(acc.m_Token) >= pNew) {
        CQXVariable* result = newTemp();
        emit(block, sByteCode(getOperator(acc.m_Token), acc, operand, result));
        left = withToken(sByteCodeVar(result), tok);
        reduceLevel(block, left, level, pNew);
    } else {
        m_PendingOps.push_back(
            new sPendingOperator{acc, m_Parser.m_Line, m_Parser.getPosition(), level});
        left = withToken(operand, tok);
    }
    if (tok == ttAND) return evalAndRight(block, left, acc, level);
    acc = left;
    more = true;
    return true;
}

// The right side of '&&' is the whole rest of the expression, compiled into a sub-block that
// runs only when the left side is true.
bool CQXCompiler::evalAndRight(CQXInterpreter* block, sByteCodeVar& left, sByteCodeVar& acc,
                               int level) {
    CQXInterpreter* rightBlock = newBlock();
    sByteCodeVar right;
    if (!evalExpression(rightBlock, right, level + 1)) return false;
    sByteCode test;
    test.m_Opt = otCONDITION;
    test.m_Var1 = left;
    test.m_pBlock = rightBlock;
    emit(block, test);
    CQXVariable* result = newTemp();
    emit(block, sByteCode(otAND, left, right, result));
    acc = sByteCodeVar(result);
    return true;
}
