// The interpreter's direct path for instructions whose operands and result are whole 1x1 double
// variables: the counters, sums and conditions of scalar loops. It computes exactly what the
// general path (operand resolution, opcode, kernel) computes for such operands and leaves every
// other case, and every case that can fail, to the general path.
#pragma once

#include <cfloat>

#include "qx/core/shared_parameter.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_math_internal.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"

// The interpreter loop inlines compute: a call per instruction costs more than the opcode.
#if defined(__GNUC__)
#define QX_SCALAR_INLINE __attribute__((always_inline)) inline
#else
#define QX_SCALAR_INLINE inline
#endif

namespace qxscalar {

// What the direct path did with an instruction.
enum class Outcome {
    kGeneral,    // nothing: the general path runs the instruction
    kDone,       // computed; the block goes on
    kCondition,  // an otCONDITION whose truth is in `holds`; the caller runs the branch
    kReturn      // an otRETURN that assigned its value; the block ends with isRETURN
};

// Element (0, 0) of a whole 1x1 double variable with storage; null for anything else.
inline double* cell(const CQXVariable* v) {
    if (v == nullptr || v->getDataType() != edtDOUBLE || v->getVarType() != vtSINGLE ||
        v->getRows() != 1 || v->getCols() != 1)
        return nullptr;
    double** rows = v->getDoublePtr_intern();
    return rows != nullptr ? rows[0] : nullptr;
}

// A double store with the clipping rule: only the infinities move, NaN passes unchanged.
inline double clipped(double value, bool clip) {
    if (!clip) return value;
    if (value > DBL_MAX) return DBL_MAX;
    if (value < -DBL_MAX) return -DBL_MAX;
    return value;
}

// Increment and decrement in place: with clipping on a value at the bound (or NaN) stays.
inline void step(double* x, bool clip, bool up) {
    if (up) {
        if (!clip || *x < DBL_MAX) *x = *x + 1.0;
    } else if (!clip || *x > -DBL_MAX) {
        *x = *x - 1.0;
    }
}

inline double truth(bool holds) {
    return holds ? 1.0 : 0.0;
}

// The operands of one instruction once resolved to cells: A's (never null), B's and R's (null
// when the instruction has none or it is not a whole 1x1 double), and the variable whose clipping
// rule stores into A follow.
struct Cells {
    double* a;
    const double* b;
    double* r;
    const CQXVariable* aVar;
};

// R := f(a, b) for a binary opcode with a 1x1 double result.
template <class F>
inline Outcome binary(const Cells& c, F f) {
    if (c.b == nullptr || c.r == nullptr) return Outcome::kGeneral;
    *c.r = f(*c.a, *c.b);
    return Outcome::kDone;
}

// As binary, for the divisions, whose zero divisor the general path handles.
template <class F>
inline Outcome dividing(const Cells& c, F f) {
    if (c.b == nullptr || c.r == nullptr || *c.b == 0.0) return Outcome::kGeneral;
    *c.r = f(*c.a, *c.b);
    return Outcome::kDone;
}

// A := b with the clipping rule of A (otASSIGN, and otRETURN whose block then ends).
inline Outcome assign(const Cells& c, Outcome done) {
    if (c.b == nullptr) return Outcome::kGeneral;
    *c.a = clipped(*c.b, qxrows::clippingOn(*c.aVar));
    return done;
}

// R := f(a) for the opcodes that read only A.
template <class F>
inline Outcome unary(const Cells& c, F f) {
    if (c.r == nullptr) return Outcome::kGeneral;
    *c.r = f(*c.a);
    return Outcome::kDone;
}

// The opcode's scalar meaning on resolved cells. One flat switch on the opcode, so each
// opcode's case is one dispatch. An ordering holds unless an ordered pair breaks it, so a NaN on
// either side leaves it true; equality fails on NaN.
QX_SCALAR_INLINE Outcome compute(eOptType opt, const Cells& c, bool& holds) {
    switch (opt) {
        case otCONDITION:
            holds = !(*c.a == 0.0);
            return Outcome::kCondition;
        case otINC:
        case otDEC:
            step(c.a, qxrows::clippingOn(*c.aVar), opt == otINC);
            return Outcome::kDone;
        case otASSIGN:
            return assign(c, Outcome::kDone);
        case otRETURN:
            return assign(c, Outcome::kReturn);
        case otNEGATE:
            return unary(c, [](double x) { return -x; });
        case otNOT:
            return unary(c, [](double x) { return truth(x == 0.0); });
        case otADD:
            return binary(c, [](double x, double y) { return x + y; });
        case otSUB:
            return binary(c, [](double x, double y) { return x - y; });
        case otMUL:
        case otELEMMUL:
            return binary(c, [](double x, double y) { return x * y; });
        case otDIV:
        case otELEMDIV:
            return dividing(c, [](double x, double y) { return x / y; });
        case otMODULO:
            return dividing(c, qxmath::fmodExact);
        case otEQUAL:
            return binary(c, [](double x, double y) { return truth(x == y); });
        case otNOTEQUAL:
            return binary(c, [](double x, double y) { return truth(!(x == y)); });
        case otLESS:
            return binary(c, [](double x, double y) { return truth(!(x >= y)); });
        case otGREATER:
            return binary(c, [](double x, double y) { return truth(!(x <= y)); });
        case otLESSEQUAL:
            return binary(c, [](double x, double y) { return truth(!(x > y)); });
        case otGREATEREQUAL:
            return binary(c, [](double x, double y) { return truth(!(x < y)); });
        case otAND:
        case otELEMAND:
            return binary(c, [](double x, double y) { return truth(x != 0.0 && y != 0.0); });
        case otOR:
        case otELEMOR:
            return binary(c, [](double x, double y) { return truth(x != 0.0 || y != 0.0); });
        case otELEMXOR:
            return binary(c, [](double x, double y) { return truth(x != y); });
        default:
            return Outcome::kGeneral;
    }
}

// Runs the instruction directly when it qualifies (see the file comment).
inline Outcome run(const sByteCode& code, bool& holds) {
    // The target of otREFERENCE may still hold the binding of an earlier call, over a row array
    // that is gone by now; only the general path may touch it, and it never reads through it.
    if (code.m_Opt == otREFERENCE) return Outcome::kGeneral;
    if (code.m_Var1.isIndexed() || code.m_Var2.isIndexed()) return Outcome::kGeneral;
    double* a = cell(code.m_Var1.m_pVar);
    if (a == nullptr) return Outcome::kGeneral;
    const Cells c{a, cell(code.m_Var2.m_pVar), cell(code.m_pResult), code.m_Var1.m_pVar};
    return compute(code.m_Opt, c, holds);
}

}  // namespace qxscalar
