// The forms of the opcode table's element-wise column: what an opcode computes element by element
// over matrices of one shape, and on which operands. The fused chains (fused_chain.cpp) are
// generated from this column: an opcode fuses exactly when its row names a form other than None,
// and a fused step computes what the opcode's handler and kernel compute, with the same scalar
// operator of qxops in the same operand order. Library-internal; not installed.
#pragma once

#include "qx/values/scalar_ops_internal.h"
#include "qx/vm/bytecode.h"

namespace qxelem {

// Which operand of a binary form may be a single instead of a matrix. The kernels compute
// f(element, single) whichever side the single stands on.
enum eScalarSide : unsigned char {
    esNone,   // both operands are matrices
    esRight,  // the right operand may be a single: A op s
    esEither  // either may be: A op s and s op B alike
};

// How one fused step combines its operands, decided on every run from what they are.
enum class eShape : unsigned char {
    kEach,      // f(x) for each element of one matrix
    kScalar,    // f(x, s): each element of one matrix with one value
    kPair,      // f(x, y): two matrices element by element
    kSmartPair  // as kPair, with the smart quotient where the divisor is 0
};

// No element-wise form: the opcode never fuses.
struct None {
    static constexpr int kArity = 0;
};

// R := F(a) for each element of the matrix a.
template <auto F>
struct Mapped {
    static constexpr int kArity = 1;
    static constexpr auto kOperator = F;
};

// R := F(a, b) element by element. Sides: where a single may stand. Pairs: whether two matrices
// combine element by element (a matrix product does not). Divides: F is a quotient, so a single
// divisor must not be 0 (the kernel then fills its result instead), and two matrices take the
// smart quotient, which exists only with smart errors on (without it the kernel stops at the
// first zero divisor).
template <auto F, eScalarSide Sides, bool Pairs, bool Divides>
struct Binary {
    static constexpr int kArity = 2;
    static constexpr auto kOperator = F;
    static constexpr eScalarSide kSides = Sides;
    static constexpr bool kPairs = Pairs;
    static constexpr bool kDivides = Divides;
};

// The binary forms the table names, one argument each so that a table row stays one macro
// argument per column.
template <auto F>
using Commuting = Binary<F, esEither, true, false>;  // a + b, a .* b
template <auto F>
using RightScalar = Binary<F, esRight, true, false>;  // a - b
template <auto F>
using ScaledBy = Binary<F, esEither, false, false>;  // a * s, s * a (else a matrix product)
template <auto F>
using DividedBy = Binary<F, esRight, false, true>;  // a / s
template <auto F>
using Quotient = Binary<F, esRight, true, true>;  // a ./ b, a ./ s
template <auto F>
using Pairwise = Binary<F, esNone, true, false>;  // a &&. b

// One operand as a fused step sees it: a single (with its value) or a matrix.
struct sOperand {
    bool single;
    double value;
};

// The shape a step computes in, or false where the opcode's handler does something else with
// these operands: reports an error, gives a 1x1 result, multiplies matrices, fills its result
// for a zero divisor or stops at one.
inline bool decide(None, sOperand, sOperand, bool, eShape&) {
    return false;
}

template <auto F>
bool decide(Mapped<F>, sOperand a, sOperand, bool, eShape& shape) {
    shape = eShape::kEach;
    return !a.single;
}

template <auto F, eScalarSide Sides, bool Pairs, bool Divides>
bool decide(Binary<F, Sides, Pairs, Divides>, sOperand a, sOperand b, bool smart, eShape& shape) {
    if (a.single && b.single) return false;
    if (b.single) {
        shape = eShape::kScalar;
        return Sides != esNone && !(Divides && b.value == 0.0);
    }
    if (a.single) {
        shape = eShape::kScalar;
        return Sides == esEither;
    }
    shape = Divides ? eShape::kSmartPair : eShape::kPair;
    return Pairs && (!Divides || smart);
}

// The number of operands an opcode's element-wise form reads; 0 for an opcode without one.
constexpr int arity(int opcode) {
    switch (opcode) {
#define QX_ELEM_ARITY(value, name, uses, handler, scalar, elem) \
    case value:                                                 \
        return elem::kArity;
        QX_OPCODES(QX_ELEM_ARITY)
#undef QX_ELEM_ARITY
        default:
            return 0;
    }
}

// The shape one step of the opcode computes in for these operands; false where it does not fuse.
inline bool decide(eOptType opcode, sOperand a, sOperand b, bool smart, eShape& shape) {
    switch (opcode) {
#define QX_ELEM_DECIDE(value, name, uses, handler, scalar, elem) \
    case name:                                                   \
        return decide(elem(), a, b, smart, shape);
        QX_OPCODES(QX_ELEM_DECIDE)
#undef QX_ELEM_DECIDE
        default:
            return false;
    }
}

}  // namespace qxelem
