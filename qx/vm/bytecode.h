// The instruction record and the opcode set. A compiled script is a tree of blocks, each a flat
// sequence of sByteCode instructions that name their operands by pointer; there are no jumps:
// control flow runs sub-blocks. The interpreter loop (interpreter.cpp) executes them. Hosts see
// these declarations only because blocks hold instructions; none of it is exported from the
// shared library (a host reads a compiled program through CQXCompiler::getListing).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "qx/lexer/lexer.h"
#include "qx/vm/interpreter_state.h"

class CQXVariable;
class CQXFunction;
class CQXInterpreter;

// How an opcode uses its operands (A = m_Var1, B = m_Var2, R = m_pResult). The interpreter
// skips an instruction that lacks an operand its opcode uses, except where the opcode's handler
// checks for itself (ouOwnCheck); the program listing shows exactly these operands.
enum eOperandUse : unsigned char {
    ouNone = 0,
    ouReadA = 1,
    ouReadB = 2,
    ouWriteA = 4,
    ouWriteR = 8,
    ouOwnCheck = 16,
    ouBinary = ouReadA | ouReadB | ouWriteR,  // R := A op B
    ouUnary = ouReadA | ouWriteR,             // R := op A
    ouStore = ouWriteA | ouReadB,             // A := B
    ouInPlace = ouReadA | ouWriteA,           // A changed in place
};

// The opcode table: the one definition of every opcode, in order of value. Columns: value; name;
// operands (eOperandUse); the handler that executes it (opcodes.cpp); its scalar meaning on
// whole 1x1 double operands, which the interpreter's direct path computes without operand
// resolution (scalar_path_internal.h: Binary<f> is R := f(a, b), Dividing<f> the same for a
// non-zero b, Unary<f> is R := f(a), InPlace<f> changes A, General leaves the opcode to the
// handler); its element-wise form over matrices of one shape, from which the fused chains are
// generated (elementwise_internal.h: Mapped<f> is f(a) for each element, Commuting<f> and
// RightScalar<f> combine two matrices or a matrix and a single on either side or on the right,
// ScaledBy<f> only a matrix and a single, DividedBy<f> a matrix and a non-zero single,
// Quotient<f> also two matrices with the smart quotient, Pairwise<f> only two matrices; None
// never fuses). The functions f are the operators of values/scalar_ops_internal.h, which the
// element kernels use too. The last three columns name library internals; CONTRIBUTING.md says
// how to add an opcode.
#define QX_OPCODES(X)                                                                              \
    X(0, otASSIGN, ouStore, opAssign, Assign,                                                      \
      None) /* A := B (fill from a single, copy a matrix) */                                       \
    X(1, otADD, ouBinary, opAdd, Binary<qxops::add>, Commuting<qxops::add>)                        \
    X(2, otSUB, ouBinary, opSub, Binary<qxops::sub>, RightScalar<qxops::sub>)                      \
    X(3, otMUL, ouBinary, opMul, Binary<qxops::mul>,                                               \
      ScaledBy<qxops::mul>) /* scalar or matrix product */                                         \
    X(4, otDIV, ouBinary, opDiv, Dividing<qxops::div>, DividedBy<qxops::div>) /* B single */       \
    X(5, otCALL, ouWriteR | ouOwnCheck, opCall, General, None)                /* R := F(params) */ \
    X(6, otBLOCK, ouNone, opBlock, General, None) /* run a sub-block */                            \
    X(7, otEQUAL, ouBinary, opEqual, Binary<qxops::equal>, None)                                   \
    X(8, otLESS, ouBinary, opLess, Binary<qxops::less>, None)                                      \
    X(9, otGREATER, ouBinary, opGreater, Binary<qxops::greater>, None)                             \
    X(10, otNOTEQUAL, ouBinary, opNotEqual, Binary<qxops::notEqual>, None)                         \
    X(11, otLESSEQUAL, ouBinary, opLessEqual, Binary<qxops::lessEqual>, None)                      \
    X(12, otGREATEREQUAL, ouBinary, opGreaterEqual, Binary<qxops::greaterEqual>, None)             \
    X(13, otINC, ouInPlace, opInc, InPlace<qxops::increment<double>>, None)                        \
    X(14, otDEC, ouInPlace, opDec, InPlace<qxops::decrement<double>>, None)                        \
    X(15, otNEGATE, ouUnary, opNegate, Unary<qxops::negate>, Mapped<qxops::negate>)                \
    X(16, otCONDITION, ouReadA | ouOwnCheck, opCondition, Condition,                               \
      None) /* then, else, repeat */                                                               \
    X(17, otAND, ouBinary, opAnd, Binary<qxops::logicalAnd>, None)                                 \
    X(18, otOR, ouBinary, opOr, Binary<qxops::logicalOr>, None)                                    \
    X(19, otPOWER, ouBinary, opPower, General, None)                                               \
    X(20, otELEMMUL, ouBinary, opElemMul, Binary<qxops::mul>, Commuting<qxops::mul>)               \
    X(21, otELEMDIV, ouBinary, opElemDiv, Dividing<qxops::div>, Quotient<qxops::div>)              \
    X(22, otRETURN, ouStore | ouOwnCheck, opReturn, Return, None) /* A := B, end with isRETURN */  \
    X(23, otBREAK, ouNone, opBreak, General, None)                                                 \
    X(24, otCONTINUE, ouNone, opContinue, General, None)                                           \
    X(25, otMODULO, ouBinary, opModulo, Dividing<qxops::modulo>, None)                             \
    X(26, otNOT, ouUnary, opNot, Unary<qxops::logicalNot>, None)                                   \
    X(27, otREFERENCE, ouStore, opReference, General, None) /* A aliases B */                      \
    X(28, otROWS, ouUnary, opRows, General, None)                                                  \
    X(29, otCOLS, ouUnary, opCols, General, None)                                                  \
    X(30, otSIZE, ouUnary, opSize, General, None)                                                  \
    X(31, otRESIZE, ouBinary, opResize, General, None) /* R resized to (a, b) */                   \
    X(32, otMIN, ouUnary, opMin, General, None)                                                    \
    X(33, otMAX, ouUnary, opMax, General, None)                                                    \
    X(34, otSUM, ouUnary, opSum, General, None)                                                    \
    X(35, otMEAN, ouUnary, opMean, General, None)                                                  \
    X(36, otMEDIAN, ouUnary, opMedian, General, None)                                              \
    X(37, otVARIANCE, ouUnary, opVariance, General, None)                                          \
    X(38, otSTD, ouUnary, opStd, General, None)                                                    \
    X(39, otDETERMINANT, ouUnary, opDeterminant, General, None)                                    \
    X(40, otRANK, ouUnary, opRank, General, None)                                                  \
    X(41, otROWCONCAT, ouBinary, opRowConcat, General, None) /* A on top of B */                   \
    X(42, otCOLCONCAT, ouBinary, opColConcat, General, None) /* A left of B */                     \
    X(43, otELEMAND, ouBinary, opElemAnd, Binary<qxops::logicalAnd>, Pairwise<qxops::logicalAnd>)  \
    X(44, otELEMOR, ouBinary, opElemOr, Binary<qxops::logicalOr>, Pairwise<qxops::logicalOr>)      \
    X(45, otELEMXOR, ouBinary, opElemXor, Binary<qxops::logicalXor>, Pairwise<qxops::logicalXor>)

enum eOptType {
    otNONE = -1,
#define QX_OPCODE_ENUM(value, name, uses, handler, scalar, elem) name = value,
    QX_OPCODES(QX_OPCODE_ENUM)
#undef QX_OPCODE_ENUM
};

// The operands an opcode uses (eOperandUse); ouNone for a value outside the set.
constexpr unsigned char opcodeUses(int opcode) {
    switch (opcode) {
#define QX_OPCODE_USES(value, name, uses, handler, scalar, elem) \
    case value:                                                  \
        return uses;
        QX_OPCODES(QX_OPCODE_USES)
#undef QX_OPCODE_USES
        default:
            return ouNone;
    }
}

// Name of an opcode for disassembly ("otADD"); "?" for a value outside the set.
const char* opcodeName(int opcode);

// The index variables of an element or range operand, and which of the two it is.
struct sByteCodeIndex {
    CQXVariable* m_pRow = nullptr;       // element: row index variable
    CQXVariable* m_pCol = nullptr;       // element: column index variable
    CQXVariable* m_pRowFrom = nullptr;   // range: first row
    CQXVariable* m_pColFrom = nullptr;   // range: first column
    CQXVariable* m_pRowCount = nullptr;  // range: number of rows
    CQXVariable* m_pColCount = nullptr;  // range: number of columns
    bool m_bSingle = false;
    bool m_bRange = false;
};

// One operand as the compiler builds it: a whole variable, one element of it, or a range of it
// (the index record inline).
struct sByteCodeVar : sByteCodeIndex {
    sByteCodeVar() = default;
    sByteCodeVar(CQXVariable* var) : m_pVar(var) {}  // NOLINT: a whole-variable operand

    CQXVariable* m_pVar = nullptr;
    eTokenType m_Token = ttUNKNOWN;  // the expression compiler's waiting operator

    bool isIndexed() const { return m_bSingle || m_bRange; }
};

// One operand as an instruction holds it. Most operands are whole variables, so the index
// record lives out of line, present only when the operand has one. Copying copies it.
struct sByteCodeOperand {
    sByteCodeOperand() = default;
    sByteCodeOperand(const sByteCodeVar& var);           // NOLINT: every compiled operand converts
    sByteCodeOperand(CQXVariable* var) : m_pVar(var) {}  // NOLINT: a whole-variable operand
    sByteCodeOperand(const sByteCodeOperand& other);
    sByteCodeOperand& operator=(const sByteCodeOperand& other);
    sByteCodeOperand(sByteCodeOperand&&) noexcept = default;
    sByteCodeOperand& operator=(sByteCodeOperand&&) noexcept = default;
    ~sByteCodeOperand() = default;

    // The operand is the single element [row][col] of m_pVar; the sub-matrix given by the range.
    bool isSingle() const { return m_pIndex && m_pIndex->m_bSingle; }
    bool isRange() const { return m_pIndex && m_pIndex->m_bRange; }
    bool isIndexed() const { return m_pIndex && (m_pIndex->m_bSingle || m_pIndex->m_bRange); }
    // The index record; all null and false for an operand without one.
    const sByteCodeIndex& index() const;

    CQXVariable* m_pVar = nullptr;

private:
    std::unique_ptr<sByteCodeIndex> m_pIndex;
};

// The arguments of an otCALL, out of line: few instructions are calls.
class sByteCodeArgs {
public:
    sByteCodeArgs() = default;
    sByteCodeArgs(const sByteCodeArgs& other);
    sByteCodeArgs& operator=(const sByteCodeArgs& other);
    sByteCodeArgs(sByteCodeArgs&&) noexcept = default;
    sByteCodeArgs& operator=(sByteCodeArgs&&) noexcept = default;
    ~sByteCodeArgs() = default;
    sByteCodeArgs& operator=(std::vector<CQXVariable*> list);

    // The arguments in call order (an empty list when there are none).
    const std::vector<CQXVariable*>& list() const;
    operator const std::vector<CQXVariable*>&() const { return list(); }  // NOLINT
    std::size_t size() const { return m_pList ? m_pList->size() : 0; }
    bool empty() const { return size() == 0; }
    CQXVariable* operator[](std::size_t i) const { return (*m_pList)[i]; }
    std::vector<CQXVariable*>::const_iterator begin() const { return list().begin(); }
    std::vector<CQXVariable*>::const_iterator end() const { return list().end(); }
    void push_back(CQXVariable* var);

private:
    std::unique_ptr<std::vector<CQXVariable*>> m_pList;
};

// One instruction (80 bytes). Copied by value; it owns only its argument list and index
// records.
struct sByteCode {
    sByteCode() = default;
    sByteCode(eOptType opt, const sByteCodeVar& a, const sByteCodeVar& b, CQXVariable* result)
        : m_Opt(opt), m_Var1(a), m_Var2(b), m_pResult(result) {}

    eOptType m_Opt = otNONE;
    int m_Line = 0;
    int m_Pos = 0;
    bool m_bRepeat = false;
    sByteCodeOperand m_Var1;
    sByteCodeOperand m_Var2;
    CQXVariable* m_pResult = nullptr;
    CQXInterpreter* m_pBlock = nullptr;
    // The called function (otCALL only) or the else branch (otCONDITION only) share one place:
    // no instruction has both. Read each only for its opcode.
    union {
        CQXFunction* m_pFunc = nullptr;
        CQXInterpreter* m_pElseBlock;
    };
    sByteCodeArgs m_Params;
};
