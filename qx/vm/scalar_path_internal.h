// The interpreter's direct path for instructions whose operands and result are whole 1x1 double
// variables: the counters, sums and conditions of scalar loops. It computes exactly what the
// general path (operand resolution, opcode, kernel) computes for such operands and leaves every
// other case, and every case that can fail, to the general path.
#pragma once

#include <type_traits>

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

// The interpreter loop inlines compute: a call per instruction costs more than the opcode.
#if defined(__GNUC__)
#define QX_SCALAR_INLINE __attribute__((always_inline)) inline
#else
#define QX_SCALAR_INLINE inline
#endif

// The operands of one instruction once resolved to cells: A's (never null), B's and R's (null
// when the instruction has none or it is not a whole 1x1 double), and the variable whose
// clipping rule stores into A follow.
struct Cells {
    double* a;
    const double* b;
    double* r;
    const CQXVariable* aVar;
};

// The forms of the opcode table's scalar column. Each runs one instruction directly on its
// cells when they qualify and else leaves it to the general path; the scalar meaning itself is
// an operator of qxops, the same one the element kernels call.

// No direct path: the opcode's handler runs.
struct General {
    static Outcome run(const Cells&, bool&) { return Outcome::kGeneral; }
};

using qxops::valueOf;

// R := F(a, b). A division leaves a zero divisor to the general path (Divides).
template <auto F, bool Divides = false>
struct Binary {
    static Outcome run(const Cells& c, bool&) {
        if (c.b == nullptr || c.r == nullptr || (Divides && *c.b == 0.0)) return Outcome::kGeneral;
        *c.r = valueOf(qxops::OneAtATime<F>::apply(*c.a, *c.b));
        return Outcome::kDone;
    }
};
template <auto F>
using Dividing = Binary<F, true>;

// R := F(a).
template <auto F>
struct Unary {
    static Outcome run(const Cells& c, bool&) {
        if (c.r == nullptr) return Outcome::kGeneral;
        *c.r = valueOf(F(*c.a));
        return Outcome::kDone;
    }
};

// A := F(a) in place, with A's clipping rule (++ and --).
template <auto F>
struct InPlace {
    static Outcome run(const Cells& c, bool&) {
        F(*c.a, qxrows::clippingOn(*c.aVar));
        return Outcome::kDone;
    }
};

// A := b with the clipping rule of A; otRETURN then ends the block.
template <Outcome Done>
struct Store {
    static Outcome run(const Cells& c, bool&) {
        if (c.b == nullptr) return Outcome::kGeneral;
        *c.a = qxops::saturated<double>(*c.b, qxrows::clippingOn(*c.aVar));
        return Done;
    }
};
using Assign = Store<Outcome::kDone>;
using Return = Store<Outcome::kReturn>;

// The truth of a condition: the caller runs the branch.
struct Condition {
    static Outcome run(const Cells& c, bool& holds) {
        holds = !qxops::equal(*c.a, 0.0);
        return Outcome::kCondition;
    }
};

// The opcode's scalar meaning on resolved cells: one flat switch generated from the opcode
// table, so each opcode's case is one dispatch.
QX_SCALAR_INLINE Outcome compute(eOptType opt, const Cells& c, bool& holds) {
    switch (opt) {
#define QX_SCALAR_CASE(value, name, uses, handler, scalar, elem) \
    case name:                                                   \
        return scalar::run(c, holds);
        QX_OPCODES(QX_SCALAR_CASE)
#undef QX_SCALAR_CASE
        default:
            return Outcome::kGeneral;
    }
}

// Whether an opcode has a direct path at all. The operands of one without are not even looked
// at: the target of otREFERENCE, for one, may still hold the binding of an earlier call, over a
// row array that is gone by now.
constexpr bool hasDirectPath(eOptType opt) {
    switch (opt) {
#define QX_DIRECT_CASE(number, name, uses, handler, scalar, elem) \
    case name:                                                    \
        return !std::is_same<scalar, General>::value;
        QX_OPCODES(QX_DIRECT_CASE)
#undef QX_DIRECT_CASE
        default:
            return false;
    }
}

// Runs the instruction directly when it qualifies (see the file comment).
inline Outcome run(const sByteCode& code, bool& holds) {
    if (!hasDirectPath(code.m_Opt)) return Outcome::kGeneral;
    if (code.m_Var1.isIndexed() || code.m_Var2.isIndexed()) return Outcome::kGeneral;
    double* a = cell(code.m_Var1.m_pVar);
    if (a == nullptr) return Outcome::kGeneral;
    const Cells c{a, cell(code.m_Var2.m_pVar), cell(code.m_pResult), code.m_Var1.m_pVar};
    return compute(code.m_Opt, c, holds);
}

}  // namespace qxscalar
