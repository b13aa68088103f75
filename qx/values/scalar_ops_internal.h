// The scalar meaning of every operator: one function each, called by the element kernels of
// CQXVariable and by the interpreter's direct path for 1x1 operands, so the two paths compute
// bit for bit the same value. Library-internal; not installed.
#pragma once

#include <cfloat>
#include <climits>
#include <limits>

#include "qx/values/scalar_math_internal.h"

namespace qxops {

// A truth as the value an opcode writes.
constexpr double truth(bool holds) {
    return holds ? 1.0 : 0.0;
}

// The value of an operator as an opcode writes it: a truth becomes 1 or 0.
constexpr double valueOf(double x) {
    return x;
}
constexpr double valueOf(bool holds) {
    return truth(holds);
}

// Arithmetic. A zero divisor is the caller's to handle (an error, or the largest double).
//
// When both operands are NaN, the result is x's NaN, as the processor gives it for x op y in that
// order (also with its sign: -NaN + NaN is -NaN). Compilers swap the operands of a commutative
// operation freely, differently in each loop they vectorise, so + and * never meet two NaNs: a
// NaN x meets 0 instead of y, and the result is x's NaN whatever the order. The 0 is chosen by a
// mask (a compare and an and in a vectorised loop), which costs next to nothing; a select of the
// result would keep the loops from being vectorised. - and / are never swapped.
constexpr double add(double x, double y) {
    return x + (x == x ? y : 0.0);
}
constexpr double sub(double x, double y) {
    return x - y;
}
constexpr double mul(double x, double y) {
    return x * (x == x ? y : 0.0);
}
constexpr double div(double x, double y) {
    return x / y;
}
// The quotient with smart errors on: the largest double where the divisor is 0. A kernel may
// compute the quotients first and choose afterwards (smartChoice); the quotient by a non-zero
// divisor is the same either way, and the loop has no branch.
constexpr double kZeroDivisorQuotient = DBL_MAX;
constexpr double smartChoice(double quotient, double divisor) {
    return divisor != 0.0 ? quotient : kZeroDivisorQuotient;
}
constexpr double smartQuotient(double x, double y) {
    return smartChoice(div(x, y), y);
}
inline double modulo(double x, double y) {
    return qxmath::fmodExact(x, y);
}
constexpr double negate(double x) {
    return -x;
}

// Logic. A value is true when it is not equal to 0, so NaN is true. Exclusive or compares the
// values themselves, not their truth: 1 xor 2 holds.
constexpr bool logicalNot(double x) {
    return x == 0.0;
}
constexpr bool logicalAnd(double x, double y) {
    return x != 0.0 && y != 0.0;
}
constexpr bool logicalOr(double x, double y) {
    return x != 0.0 || y != 0.0;
}
constexpr bool logicalXor(double x, double y) {
    return x != y;
}

// Comparisons of an element x with y. Over a matrix a relation holds when it holds for every
// element. An ordering is broken only by an ordered pair, so a NaN on either side leaves it
// true; equality fails on NaN.
constexpr bool equal(double x, double y) {
    return x == y;
}
constexpr bool notEqual(double x, double y) {
    return !(x == y);
}
constexpr bool less(double x, double y) {
    return !(x >= y);
}
constexpr bool lessEqual(double x, double y) {
    return !(x > y);
}
constexpr bool greater(double x, double y) {
    return !(x <= y);
}
constexpr bool greaterEqual(double x, double y) {
    return !(x < y);
}

// The clipping rule of a store of v into element type T: with clipping on, v is saturated to
// T's range before it is converted. For double the range is +-DBL_MAX, so only the infinities
// move; NaN fails both tests and passes unchanged.
template <class T>
constexpr double saturated(double v, bool clip) {
    if (clip) {
        const double hi = static_cast<double>(std::numeric_limits<T>::max());
        const double lo = static_cast<double>(std::numeric_limits<T>::lowest());
        if (v > hi) {
            v = hi;
        } else if (v < lo) {
            v = lo;
        }
    }
    return v;
}

// One step of ++ and -- in the element's own type. Integers without clipping wrap around: the
// small unsigned types by their conversion rule, int explicitly so that no signed overflow
// occurs.
template <class T>
constexpr T stepUp(T x) {
    return static_cast<T>(x + 1);
}
template <class T>
constexpr T stepDown(T x) {
    return static_cast<T>(x - 1);
}
constexpr int stepUp(int x) {
    return x == INT_MAX ? INT_MIN : x + 1;
}
constexpr int stepDown(int x) {
    return x == INT_MIN ? INT_MAX : x - 1;
}

// ++ and -- in place. With clipping on an element moves only while it is strictly inside its
// type's range; NaN compares false and so stays as it is. For float and double the bound test
// changes nothing but NaN handling: at the largest finite value or at infinity a step of 1
// leaves the value as it is.
template <class T>
constexpr void increment(T& x, bool clip) {
    if (!clip || x < std::numeric_limits<T>::max()) x = stepUp(x);
}
template <class T>
constexpr void decrement(T& x, bool clip) {
    if (!clip || x > std::numeric_limits<T>::lowest()) x = stepDown(x);
}

// One of the functions above as a function object, for the kernels' templates: the call is
// direct, so it is inlined into their loops.
template <auto F>
struct Fn {
    template <class... Args>
    constexpr auto operator()(Args... args) const {
        return F(args...);
    }
};

// The spelling of operator F for code that computes one value at a time (the interpreter's direct
// path): the same bits as F. Without a NaN operand x op y has one value whichever operand the
// processor takes first, so + and * compute x op y and take F's rule only when that is NaN, out
// of line: the mask would lengthen the path that a scalar loop's sum waits for, a branch that the
// compiler cannot turn into a select costs nothing while it is not taken. The kernels' loops
// call F itself, where the branch would keep them from being vectorised.
#if defined(__GNUC__)
#define QX_OUT_OF_LINE __attribute__((noinline, cold))
#else
#define QX_OUT_OF_LINE
#endif
QX_OUT_OF_LINE inline double addWithNaN(double x, double y) {
    return add(x, y);
}
QX_OUT_OF_LINE inline double mulWithNaN(double x, double y) {
    return mul(x, y);
}
template <auto F>
struct OneAtATime {
    template <class... Args>
    static constexpr auto apply(Args... args) {
        return F(args...);
    }
};
template <>
struct OneAtATime<add> {
    static double apply(double x, double y) {
        const double sum = x + y;
        return sum == sum ? sum : addWithNaN(x, y);
    }
};
template <>
struct OneAtATime<mul> {
    static double apply(double x, double y) {
        const double product = x * y;
        return product == product ? product : mulWithNaN(x, y);
    }
};

}  // namespace qxops
