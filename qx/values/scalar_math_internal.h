// Scalar arithmetic shared by the modulo kernel of CQXVariable and the interpreter's direct path
// for 1x1 operands, so both compute bit for bit the same value.
#pragma once

#include <cmath>
#include <cstdint>

namespace qxmath {

// fmod(x, s). Whole numbers below 2^53 in magnitude take the 64-bit integer remainder, which is
// what fmod computes for them (exactly, with the sign of x: every such number is a double and so
// is the remainder) at a fraction of the cost; a zero result keeps the sign of x as fmod's does.
// Everything else, NaN and infinities included, goes to std::fmod. The range test precedes the
// conversions, so no conversion is out of range.
inline double fmodExact(double x, double s) {
    constexpr double kLimit = 9007199254740992.0;  // 2^53
    if (x > -kLimit && x < kLimit && s > -kLimit && s < kLimit) {
        const std::int64_t xi = static_cast<std::int64_t>(x);
        const std::int64_t si = static_cast<std::int64_t>(s);
        if (static_cast<double>(xi) == x && static_cast<double>(si) == s && si != 0) {
            // INT64_MIN % -1 cannot occur: both lie inside the open range of 2^53.
            const double r = static_cast<double>(xi % si);
            return r == 0.0 ? std::copysign(0.0, x) : r;
        }
    }
    return std::fmod(x, s);
}

}  // namespace qxmath
