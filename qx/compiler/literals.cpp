// Literal operands: numbers and strings become constant variables at compile time; matrix
// literals [a, b; c, d] are assembled at run time by column and row concatenations; a
// bracketed sub-expression is compiled one nesting level deeper.
#include "qx/core/compiler.h"

// number-literal: decimal or 0x hexadecimal; a prefix '-' or '!' is folded into the constant.
bool CQXCompiler::evalNumberOp(CQXInterpreter* /*block*/, sByteCodeVar& operand, bool bNot,
                               bool bNegate) {
    double value = m_Parser.getNumber();
    if (bNot) value = value == 0.0 ? 1.0 : 0.0;
    if (bNegate) value = -value;
    CQXVariable* constant = newConst(1, 1);
    constant->setsingle(value);
    operand = sByteCodeVar(constant);
    return true;
}

// string-literal: '"' characters '"' -> a 1xN row of character codes (signed 8-bit values)
bool CQXCompiler::evalStringOp(CQXInterpreter* /*block*/, sByteCodeVar& operand, bool bNot,
                               bool bNegate) {
    std::string text = m_Parser.getString();
    if (!expect(ttQUOTE, etSYNTAX, "unterminated string constant")) return false;
    if (bNot || bNegate) return syntaxError(etSYNTAX, "cant't negate string constant");
    if (text.empty()) return syntaxError(etSYNTAX, "empty string constant");
    CQXVariable* constant = newConst(1, static_cast<int>(text.size()));
    for (size_t i = 0; i < text.size(); ++i)
        constant->setData_intern(0, static_cast<int>(i), static_cast<signed char>(text[i]));
    operand = sByteCodeVar(constant);
    return true;
}

// matrix-literal (after '['): row { ';' row } ']'   row: expression { ',' expression }
bool CQXCompiler::evalArrayOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                              int level) {
    std::vector<sByteCodeVar> rows;
    sByteCodeVar row;
    if (!evalExpression(block, row, level + 1)) return false;
    for (eTokenType tok = m_Parser.nextToken(); tok != ttRBRACKET; tok = m_Parser.nextToken()) {
        if (tok == ttCOMMA) {
            sByteCodeVar element;
            if (!evalExpression(block, element, level + 1)) return false;
            CQXVariable* joined = newTemp();
            emit(block, sByteCode(otCOLCONCAT, row, element, joined));
            row = sByteCodeVar(joined);
        } else if (tok == ttSEMICOLON) {
            rows.push_back(row);
            row = sByteCodeVar();
            if (!evalExpression(block, row, level + 1)) return false;
        } else if (tok == ttEND) {
            return syntaxError(etCLOSEEXPECTED);
        } else {
            return syntaxError(etSYNTAX, "unexpected token");
        }
    }
    rows.push_back(row);
    sByteCodeVar matrix = rows.front();
    for (size_t k = 1; k < rows.size(); ++k) {
        CQXVariable* joined = newTemp();
        emit(block, sByteCode(otROWCONCAT, matrix, rows[k], joined));
        matrix = sByteCodeVar(joined);
    }
    applyPrefix(block, matrix, bNot, bNegate);
    operand = matrix;
    return true;
}

// bracketed-expression (after '('): expression ')'
bool CQXCompiler::evalBraceOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                              int level) {
    sByteCodeVar inner;
    if (!evalExpression(block, inner, level + 1)) return false;
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    --m_OpenBrackets;
    applyPrefix(block, inner, bNot, bNegate);
    operand = inner;
    return true;
}
