// The interpreter's direct path for instructions whose operands and result are whole 1x1 double
// variables: the counters, sums and conditions of scalar loops. It computes exactly what the
// general path (operand resolution, opcode, kernel) computes for such operands and leaves every
// other case, and every case that can fail, to the general path.
#pragma once

#include "qx/core/shared_parameter.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
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

// The forms of the opcode table's scalar column. Each runs one instruction directly when its
// operands qualify and else leaves it to the general path; the scalar meaning itself is an
// operator of qxops, the same one the element kernels call.

// No direct path: the opcode's handler runs. Its operands are not even looked at: the target of
// otREFERENCE, for one, may still hold the binding of an earlier call, over a row array that is
// gone by now.
struct General {
    static Outcome run(const sByteCode&, bool&) { return Outcome::kGeneral; }
};

// The value of a scalar operator as the opcode writes it: a truth becomes 1 or 0.
constexpr double valueOf(double x) {
    return x;
}
constexpr double valueOf(bool holds) {
    return qxops::truth(holds);
}

// R := F(a, b). A division leaves a zero divisor to the general path (Divides).
template <auto F, bool Divides = false>
struct Binary {
    static Outcome run(const sByteCode& code, bool&) {
        const double* a = cell(code.m_Var1.m_pVar);
        const double* b = a != nullptr ? cell(code.m_Var2.m_pVar) : nullptr;
        double* r = b != nullptr ? cell(code.m_pResult) : nullptr;
        if (r == nullptr || (Divides && *b == 0.0)) return Outcome::kGeneral;
        *r = valueOf(F(*a, *b));
        return Outcome::kDone;
    }
};
template <auto F>
using Dividing = Binary<F, true>;

// R := F(a).
template <auto F>
struct Unary {
    static Outcome run(const sByteCode& code, bool&) {
        const double* a = cell(code.m_Var1.m_pVar);
        double* r = a != nullptr ? cell(code.m_pResult) : nullptr;
        if (r == nullptr) return Outcome::kGeneral;
        *r = valueOf(F(*a));
        return Outcome::kDone;
    }
};

// A := F(a) in place, with A's clipping rule (++ and --).
template <auto F>
struct InPlace {
    static Outcome run(const sByteCode& code, bool&) {
        double* a = cell(code.m_Var1.m_pVar);
        if (a == nullptr) return Outcome::kGeneral;
        F(*a, qxrows::clippingOn(*code.m_Var1.m_pVar));
        return Outcome::kDone;
    }
};

// A := b with the clipping rule of A; otRETURN then ends the block.
template <Outcome Done>
struct Store {
    static Outcome run(const sByteCode& code, bool&) {
        double* a = cell(code.m_Var1.m_pVar);
        const double* b = a != nullptr ? cell(code.m_Var2.m_pVar) : nullptr;
        if (b == nullptr) return Outcome::kGeneral;
        *a = qxops::saturated<double>(*b, qxrows::clippingOn(*code.m_Var1.m_pVar));
        return Done;
    }
};
using Assign = Store<Outcome::kDone>;
using Return = Store<Outcome::kReturn>;

// The truth of a condition: the caller runs the branch.
struct Condition {
    static Outcome run(const sByteCode& code, bool& holds) {
        const double* a = cell(code.m_Var1.m_pVar);
        if (a == nullptr) return Outcome::kGeneral;
        holds = !qxops::equal(*a, 0.0);
        return Outcome::kCondition;
    }
};

// Runs the instruction directly when it qualifies (see the file comment): one flat switch on
// the opcode, generated from the opcode table, so each opcode's case is one dispatch.
inline Outcome run(const sByteCode& code, bool& holds) {
    if (code.m_Var1.isIndexed() || code.m_Var2.isIndexed()) return Outcome::kGeneral;
    switch (code.m_Opt) {
#define QX_SCALAR_CASE(value, name, uses, handler, scalar) \
    case name:                                             \
        return scalar::run(code, holds);
        QX_OPCODES(QX_SCALAR_CASE)
#undef QX_SCALAR_CASE
        default:
            return Outcome::kGeneral;
    }
}

}  // namespace qxscalar
