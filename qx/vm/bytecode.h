// The instruction record and the opcode set. A compiled script is a tree of blocks, each a flat
// sequence of sByteCode instructions that name their operands by pointer; there are no jumps:
// control flow runs sub-blocks. The interpreter loop (interpreter.cpp) executes them.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "qx/export.h"
#include "qx/lexer/lexer.h"
#include "qx/vm/interpreter_state.h"

class CQXVariable;
class CQXFunction;
class CQXInterpreter;

// Opcodes. Value, name, operands (A = m_Var1, B = m_Var2, R = m_pResult), effect.
#define QX_OPCODES(X)                                                               \
    X(0, otASSIGN)        /* A, B     A := B (fill from a single, copy a matrix) */ \
    X(1, otADD)           /* A, B, R  R := A + B */                                 \
    X(2, otSUB)           /* A, B, R  R := A - B */                                 \
    X(3, otMUL)           /* A, B, R  scalar or matrix product */                   \
    X(4, otDIV)           /* A, B, R  R := A / b, B single */                       \
    X(5, otCALL)          /* F, params, R  call a function object */                \
    X(6, otBLOCK)         /* block    run a sub-block */                            \
    X(7, otEQUAL)         /* A, B, R  all elements equal */                         \
    X(8, otLESS)          /* A, B, R */                                             \
    X(9, otGREATER)       /* A, B, R */                                             \
    X(10, otNOTEQUAL)     /* A, B, R  1 - equal */                                  \
    X(11, otLESSEQUAL)    /* A, B, R */                                             \
    X(12, otGREATEREQUAL) /* A, B, R */                                             \
    X(13, otINC)          /* A        A := A + 1 in its own type */                 \
    X(14, otDEC)          /* A        A := A - 1 in its own type */                 \
    X(15, otNEGATE)       /* A, R     R := -A */                                    \
    X(16, otCONDITION)    /* A, then, else, repeat */                               \
    X(17, otAND)          /* A, B, R  a && b */                                     \
    X(18, otOR)           /* A, B, R  a || b */                                     \
    X(19, otPOWER)        /* A, B, R  a ^ b */                                      \
    X(20, otELEMMUL)      /* A, B, R  A .* B */                                     \
    X(21, otELEMDIV)      /* A, B, R  A ./ B */                                     \
    X(22, otRETURN)       /* A, B     A := B, end with isRETURN */                  \
    X(23, otBREAK)        /*          end with isBREAK */                           \
    X(24, otCONTINUE)     /*          end with isCONTINUE */                        \
    X(25, otMODULO)       /* A, B, R  fmod(A, b) */                                 \
    X(26, otNOT)          /* A, R     R := (a == 0) */                              \
    X(27, otREFERENCE)    /* A, B     reference A aliases B's storage */            \
    X(28, otROWS)         /* A, R     R := rows of A */                             \
    X(29, otCOLS)         /* A, R     R := cols of A */                             \
    X(30, otSIZE)         /* A, R     R := rows x cols */                           \
    X(31, otRESIZE)       /* A, B, R  resize R to (a, b) */                         \
    X(32, otMIN)          /* A, R */                                                \
    X(33, otMAX)          /* A, R */                                                \
    X(34, otSUM)          /* A, R */                                                \
    X(35, otMEAN)         /* A, R */                                                \
    X(36, otMEDIAN)       /* A, R */                                                \
    X(37, otVARIANCE)     /* A, R */                                                \
    X(38, otSTD)          /* A, R */                                                \
    X(39, otDETERMINANT)  /* A, R */                                                \
    X(40, otRANK)         /* A, R */                                                \
    X(41, otROWCONCAT)    /* A, B, R  A on top of B */                              \
    X(42, otCOLCONCAT)    /* A, B, R  A left of B */                                \
    X(43, otELEMAND)      /* A, B, R */                                             \
    X(44, otELEMOR)       /* A, B, R */                                             \
    X(45, otELEMXOR)      /* A, B, R */

enum eOptType {
    otNONE = -1,
#define QX_OPCODE_ENUM(value, name) name = value,
    QX_OPCODES(QX_OPCODE_ENUM)
#undef QX_OPCODE_ENUM
};

// Name of an opcode for disassembly ("otADD"); "?" for a value outside the set.
QX_API const char* opcodeName(int opcode);

// One operand as the compiler builds it: a whole variable, one element of it, or a range of it.
struct QX_API sByteCodeVar {
    sByteCodeVar() = default;
    sByteCodeVar(CQXVariable* var) : m_pVar(var) {}  // NOLINT: a whole-variable operand

    CQXVariable* m_pVar = nullptr;
    CQXVariable* m_pRow = nullptr;       // element: row index variable
    CQXVariable* m_pCol = nullptr;       // element: column index variable
    CQXVariable* m_pRowFrom = nullptr;   // range: first row
    CQXVariable* m_pColFrom = nullptr;   // range: first column
    CQXVariable* m_pRowCount = nullptr;  // range: number of rows
    CQXVariable* m_pColCount = nullptr;  // range: number of columns
    bool m_bSingle = false;
    bool m_bRange = false;
    eTokenType m_Token = ttUNKNOWN;  // the expression compiler's waiting operator

    bool isIndexed() const { return m_bSingle || m_bRange; }
};

// The index variables of an element or range operand, and which of the two it is.
struct QX_API sByteCodeIndex {
    CQXVariable* m_pRow = nullptr;       // element: row index variable
    CQXVariable* m_pCol = nullptr;       // element: column index variable
    CQXVariable* m_pRowFrom = nullptr;   // range: first row
    CQXVariable* m_pColFrom = nullptr;   // range: first column
    CQXVariable* m_pRowCount = nullptr;  // range: number of rows
    CQXVariable* m_pColCount = nullptr;  // range: number of columns
    bool m_bSingle = false;
    bool m_bRange = false;
};

// One operand as an instruction holds it. Most operands are whole variables, so the index
// record lives out of line, present only when the operand has one. Copying copies it.
struct QX_API sByteCodeOperand {
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
class QX_API sByteCodeArgs {
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

// One instruction. Copied by value; it owns only its argument list and index records.
struct QX_API sByteCode {
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
    CQXFunction* m_pFunc = nullptr;
    CQXInterpreter* m_pBlock = nullptr;
    CQXInterpreter* m_pElseBlock = nullptr;
    sByteCodeArgs m_Params;
};
