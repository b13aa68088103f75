// Variable operands, the index suffix that may follow any operand ([rows][cols] with single
// indices, ranges "first, count" and '*'), the unary prefixes and the twelve methods. An index
// is recorded in the operand and applied by the interpreter each time the instruction runs.
#include <cstring>

#include "qx/core/compiler.h"

namespace {

struct MethodInfo {
    const char* name;
    eOptType opcode;
};

constexpr MethodInfo kMethods[] = {
    {"rows", otROWS},         {"cols", otCOLS}, {"size", otSIZE},       {"min", otMIN},
    {"max", otMAX},           {"sum", otSUM},   {"mean", otMEAN},       {"median", otMEDIAN},
    {"variance", otVARIANCE}, {"std", otSTD},   {"det", otDETERMINANT}, {"rank", otRANK},
};

// Every method compiles to one instruction R := op A, so the opcode table must give each of
// their opcodes that form.
constexpr bool allUnary() {
    for (const MethodInfo& method : kMethods)
        if (opcodeUses(method.opcode) != ouUnary) return false;
    return true;
}
static_assert(allUnary(), "a method maps to an opcode of the form R := op A");

eOptType findMethod(const std::string& name) {
    for (const MethodInfo& method : kMethods)
        if (name == method.name) return method.opcode;
    return otNONE;
}

}  // namespace

std::vector<std::string> CQXCompiler::methodNames() {
    std::vector<std::string> names;
    for (const MethodInfo& method : kMethods) names.push_back(method.name);
    return names;
}

// variable-operand: name (the prefix acts on the whole variable, before any index suffix)
bool CQXCompiler::evalVarOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate) {
    operand = sByteCodeVar(lookupVar(m_Parser.getName(true)));
    applyPrefix(block, operand, bNot, bNegate);
    return true;
}

void CQXCompiler::applyPrefix(CQXInterpreter* block, sByteCodeVar& operand, bool bNot,
                              bool bNegate) {
    if (bNot) {
        CQXVariable* result = newTemp();
        emit(block, sByteCode(otNOT, operand, operand, result));
        operand = sByteCodeVar(result);
    }
    if (bNegate) {
        CQXVariable* result = newTemp();
        emit(block, sByteCode(otNEGATE, operand, operand, result));
        operand = sByteCodeVar(result);
    }
}

// index-suffix: '[' row-part ']' '[' column-part ']'
// part: '*' | expression | expression ',' expression
bool CQXCompiler::evalVar(CQXInterpreter* block, sByteCodeVar& operand, int level) {
    if (m_Parser.nextToken() != ttLBRACKET) {
        m_Parser.getBack();
        return true;
    }
    if (operand.isIndexed()) materialise(block, operand);
    operand.m_bSingle = true;
    operand.m_pCol = nullptr;
    CQXVariable* zero = m_TmpVars.getVar("null");
    CQXVariable* one = m_TmpVars.getVar("eins");
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttMUL) {
        operand.m_bSingle = false;
        operand.m_bRange = true;
        operand.m_pRowFrom = zero;
        operand.m_pRowCount = makeExtent(block, operand, true);
        tok = m_Parser.nextToken();
    } else {
        m_Parser.getBack();
        if (!evalIndexExpression(block, operand.m_pRow, level)) return false;
        tok = m_Parser.nextToken();
        if (tok == ttCOMMA) {
            operand.m_pRowFrom = operand.m_pRow;
            operand.m_bSingle = false;
            operand.m_bRange = true;
            if (!evalIndexExpression(block, operand.m_pRowCount, level)) return false;
            tok = m_Parser.nextToken();
        }
    }
    if (!expect(tok, ttRBRACKET, etCLOSEEXPECTED)) return false;
    if (!expect(ttLBRACKET, etOPENEXPECTED)) return false;
    tok = m_Parser.nextToken();
    if (tok == ttMUL) {
        if (!operand.m_bRange) {
            operand.m_pRowFrom = operand.m_pRow;
            operand.m_pRowCount = one;
        }
        operand.m_bSingle = false;
        operand.m_bRange = true;
        operand.m_pColFrom = zero;
        operand.m_pColCount = makeExtent(block, operand, false);
        tok = m_Parser.nextToken();
    } else {
        m_Parser.getBack();
        if (!evalIndexExpression(block, operand.m_pCol, level)) return false;
        tok = m_Parser.nextToken();
        if (tok == ttCOMMA) {
            if (!operand.m_bRange) {
                operand.m_pRowFrom = operand.m_pRow;
                operand.m_pRowCount = one;
            }
            operand.m_pColFrom = operand.m_pCol;
            operand.m_bSingle = false;
            operand.m_bRange = true;
            if (!evalIndexExpression(block, operand.m_pColCount, level)) return false;
            tok = m_Parser.nextToken();
        } else if (operand.m_bRange) {
            operand.m_pColFrom = operand.m_pCol;
            operand.m_pColCount = one;
        }
    }
    return expect(tok, ttRBRACKET, etCLOSEEXPECTED);
}

// A second index suffix ((m[1][1])[0][0], [m[2][2]][0][0]) indexes the value the first one
// selected, so that value is copied into a temporary of its own first. The temporary is made
// 1x1 before each copy: assigning one element to a temporary that an earlier pass left larger
// would fill it instead of giving it the element's shape.
void CQXCompiler::materialise(CQXInterpreter* block, sByteCodeVar& operand) {
    CQXVariable* copy = newTemp();
    const sByteCodeVar one(m_TmpVars.getVar("eins"));
    emit(block, sByteCode(otRESIZE, one, one, copy));
    emit(block, sByteCode(otASSIGN, sByteCodeVar(copy), operand, nullptr));
    operand = sByteCodeVar(copy);
}

// One index, first or count: an expression whose value is a whole variable or one element (an
// element is copied into a temporary first); a range is refused.
bool CQXCompiler::evalIndexExpression(CQXInterpreter* block, CQXVariable*& out, int level) {
    sByteCodeVar index;
    if (!evalExpression(block, index, level + 1)) return false;
    if (index.m_bRange) return syntaxError(etINDEX);
    if (index.m_bSingle) {
        CQXVariable* copy = newTemp();
        emit(block, sByteCode(otASSIGN, sByteCodeVar(copy), index, nullptr));
        out = copy;
    } else {
        out = index.m_pVar;
    }
    return true;
}

// The count of a '*' part: known at compile time for a fixed-size variable, otherwise read by
// an otROWS / otCOLS instruction right here.
CQXVariable* CQXCompiler::makeExtent(CQXInterpreter* block, const sByteCodeVar& operand,
                                     bool rows) {
    CQXVariable* count = newConst(1, 1);
    CQXVariable* var = operand.m_pVar;
    if (var->getVarState(vsOWNED)) {
        count->setsingle(rows ? var->getRows() : var->getCols());
    } else {
        sByteCodeVar whole(var);
        emit(block, sByteCode(rows ? otROWS : otCOLS, whole, whole, count));
    }
    return count;
}

// method (after '.'): name of one of the twelve methods; the result is a constant 1x1 double.
bool CQXCompiler::evalMethod(CQXInterpreter* block, sByteCodeVar& operand) {
    if (!expect(ttNAME, etSYNTAX, "method expected")) return false;
    eOptType opcode = findMethod(m_Parser.getName(true));
    if (opcode == otNONE) return syntaxError(etSYNTAX, "unknown method");
    CQXVariable* result = newConst(1, 1);
    emit(block, sByteCode(opcode, operand, operand, result));
    result->setConst_intern(true);
    operand = sByteCodeVar(result);
    return true;
}
