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

// R := f(a, b) for a binary opcode with a 1x1 double result.
template <class F>
inline Outcome binary(const sByteCode& code, double a, F f) {
    const double* b = cell(code.m_Var2.m_pVar);
    double* r = b != nullptr ? cell(code.m_pResult) : nullptr;
    if (r == nullptr) return Outcome::kGeneral;
    *r = f(a, *b);
    return Outcome::kDone;
}

// As binary, for the divisions, whose zero divisor the general path handles.
template <class F>
inline Outcome dividing(const sByteCode& code, double a, F f) {
    const double* b = cell(code.m_Var2.m_pVar);
    double* r = b != nullptr ? cell(code.m_pResult) : nullptr;
    if (r == nullptr || *b == 0.0) return Outcome::kGeneral;
    *r = f(a, *b);
    return Outcome::kDone;
}

// A := b with the clipping rule of A (otASSIGN, and otRETURN whose block then ends).
inline Outcome assign(const sByteCode& code, double* a, Outcome done) {
    const double* b = cell(code.m_Var2.m_pVar);
    if (b == nullptr) return Outcome::kGeneral;
    *a = clipped(*b, qxrows::clippingOn(*code.m_Var1.m_pVar));
    return done;
}

// R := f(a) for the opcodes that read only A.
template <class F>
inline Outcome unary(const sByteCode& code, double a, F f) {
    double* r = cell(code.m_pResult);
    if (r == nullptr) return Outcome::kGeneral;
    *r = f(a);
    return Outcome::kDone;
}

// Runs the instruction directly when it qualifies (see the file comment). One flat switch on
// the opcode, so each opcode's case is one dispatch. An ordering holds unless an ordered pair
// breaks it, so a NaN on either side leaves it true; equality fails on NaN.
inline Outcome run(const sByteCode& code, bool& holds) {
    // The target of otREFERENCE may still hold the binding of an earlier call, over a row array
    // that is gone by now; only the general path may touch it, and it never reads through it.
    if (code.m_Opt == otREFERENCE) return Outcome::kGeneral;
    if (code.m_Var1.isIndexed() || code.m_Var2.isIndexed()) return Outcome::kGeneral;
    double* a = cell(code.m_Var1.m_pVar);
    if (a == nullptr) return Outcome::kGeneral;
    switch (code.m_Opt) {
        case otCONDITION:
            holds = !(*a == 0.0);
            return Outcome::kCondition;
        case otINC:
        case otDEC:
            step(a, qxrows::clippingOn(*code.m_Var1.m_pVar), code.m_Opt == otINC);
            return Outcome::kDone;
        case otASSIGN:
            return assign(code, a, Outcome::kDone);
        case otRETURN:
            return assign(code, a, Outcome::kReturn);
        case otNEGATE:
            return unary(code, *a, [](double x) { return -x; });
        case otNOT:
            return unary(code, *a, [](double x) { return truth(x == 0.0); });
        case otADD:
            return binary(code, *a, [](double x, double y) { return x + y; });
        case otSUB:
            return binary(code, *a, [](double x, double y) { return x - y; });
        case otMUL:
        case otELEMMUL:
            return binary(code, *a, [](double x, double y) { return x * y; });
        case otDIV:
        case otELEMDIV:
            return dividing(code, *a, [](double x, double y) { return x / y; });
        case otMODULO:
            return dividing(code, *a, qxmath::fmodExact);
        case otEQUAL:
            return binary(code, *a, [](double x, double y) { return truth(x == y); });
        case otNOTEQUAL:
            return binary(code, *a, [](double x, double y) { return truth(!(x == y)); });
        case otLESS:
            return binary(code, *a, [](double x, double y) { return truth(!(x >= y)); });
        case otGREATER:
            return binary(code, *a, [](double x, double y) { return truth(!(x <= y)); });
        case otLESSEQUAL:
            return binary(code, *a, [](double x, double y) { return truth(!(x > y)); });
        case otGREATEREQUAL:
            return binary(code, *a, [](double x, double y) { return truth(!(x < y)); });
        case otAND:
        case otELEMAND:
            return binary(code, *a, [](double x, double y) { return truth(x != 0.0 && y != 0.0); });
        case otOR:
        case otELEMOR:
            return binary(code, *a, [](double x, double y) { return truth(x != 0.0 || y != 0.0); });
        case otELEMXOR:
            return binary(code, *a, [](double x, double y) { return truth(x != y); });
        default:
            return Outcome::kGeneral;
    }
}

}  // namespace qxscalar
