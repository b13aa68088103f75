// The eighteen element-wise math functions (sin ... pow). Each class is one rule saying what a
// single element becomes, or which domain error stops the call; one shared walk applies the rule
// to every element. The interpreter reaches them through CQXFunction::Call.
#include "qx/functions/math_functions.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/rows_internal.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;

// What one element becomes: a value, or the text of the domain error that ends the call.
struct sElement {
    double m_Value;
    const char* m_pError;  // null when m_Value holds the result
};

sElement ok(double value) {
    return {value, nullptr};
}
sElement undefinedAt(const char* text) {
    return {0.0, text};
}

using UnaryRule = sElement (*)(double x, bool smart);
using BinaryRule = sElement (*)(double a, double b, bool smart);

// ---- Rules of the total functions ----

sElement ruleSin(double x, bool) {
    return ok(std::sin(x));
}
sElement ruleCos(double x, bool) {
    return ok(std::cos(x));
}
sElement ruleTan(double x, bool) {
    return ok(std::tan(x));
}
sElement ruleAbs(double x, bool) {
    return ok(std::fabs(x));
}
sElement ruleExp(double x, bool) {
    return ok(std::exp(x));
}
sElement ruleFloor(double x, bool) {
    return ok(std::floor(x));
}
sElement ruleCeil(double x, bool) {
    return ok(std::ceil(x));
}

sElement ruleModF(double x, bool) {
    double whole;
    return ok(std::modf(x, &whole));
}

// ---- Rules of the partial functions: with smart errors on, a substitute replaces the error.
// Every test compares exactly, so a NaN element passes it and reaches the math library. ----

sElement ruleArcSin(double x, bool smart) {
    if (x < -1.0 || x > 1.0) {
        if (!smart) return undefinedAt("ArcSin <-1 and >1 undefined");
        return ok(x < -1.0 ? -kHalfPi : kHalfPi);
    }
    return ok(std::asin(x));
}

sElement ruleArcCos(double x, bool smart) {
    if (x < -1.0 || x > 1.0) {
        if (!smart) return undefinedAt("Arccos <-1 and >1 undefined");
        return ok(x < -1.0 ? kPi : 0.0);
    }
    return ok(std::acos(x));
}

// The arc tangent is defined everywhere, but "atan" keeps its historical guard against a zero
// cosine of the argument. No double has a cosine of exactly zero, so the guard never fires.
sElement ruleArcTan(double x, bool smart) {
    if (std::cos(x) == 0.0) {
        if (!smart) return undefinedAt("Arctan cos(x)=0 undefined");
        return ok(std::sin(x) >= 0.0 ? DBL_MAX : -DBL_MAX);
    }
    return ok(std::atan(x));
}

sElement ruleArcTan2(double y, double x, bool smart) {
    if (y == 0.0 && x == 0.0) {
        if (!smart) return undefinedAt("atan2(0,0) undefined");
        return ok(0.0);
    }
    return ok(std::atan2(y, x));
}

// The three logarithms share their domain: positive numbers only, 0 as the substitute.
template <double (*Log)(double)>
sElement ruleLogarithm(double x, bool smart) {
    if (x <= 0.0) {
        if (!smart) return undefinedAt("Logarithm <= 0 undefined");
        return ok(0.0);
    }
    return ok(Log(x));
}

double log10Of(double x) {
    return std::log10(x);
}
double lnOf(double x) {
    return std::log(x);
}
double log2Of(double x) {
    return std::log2(x);
}

// With smart errors on, a zero divisor is left to the math library, which gives NaN.
sElement ruleFMod(double x, double y, bool smart) {
    if (y == 0.0 && !smart) return undefinedAt("fmod(x,0) undefined");
    return ok(std::fmod(x, y));
}

sElement ruleSqrt(double x, bool smart) {
    if (smart && x <= 0.0) return ok(0.0);
    if (x < 0.0) return undefinedAt("sqrt(x) undefined, if x < 0");
    return ok(std::sqrt(x));
}

// True when e has a fractional part; a NaN exponent counts as whole, so it passes the domain
// test like every other NaN.
bool hasFraction(double e) {
    double whole;
    const double fraction = std::modf(e, &whole);
    return fraction != 0.0 && !std::isnan(fraction);
}

sElement rulePow(double base, double exponent, bool smart) {
    if (smart) {
        if (exponent == 0.0) return ok(1.0);
        if (base < 0.0 && hasFraction(exponent)) return ok(0.0);
        const double r = std::pow(base, exponent);
        return ok(r == HUGE_VAL ? DBL_MAX : r);
    }
    if (base == 0.0 && exponent == 0.0) return undefinedAt("Pow(0,0) undefined");
    if (base < 0.0 && hasFraction(exponent)) {
        return undefinedAt("Pow(x,y) undefined, if x is negative and y not a whole number");
    }
    const double r = std::pow(base, exponent);
    if (r == HUGE_VAL) return undefinedAt("Pow -Domainerror");
    return ok(r);
}

// ---- The shared walk ----

const char* const kSizeText = "Size of argument matrices must be equal";
// No variable can hold a result without elements, so such arguments are refused rather than
// answered with whatever the previous call left in the result.
const char* const kEmptyText = "Parameters must not be empty";

// The elements of one argument, read as doubles. When the argument shares storage with the
// result (a host handing the function's own return value back in), its elements are copied
// first, so writing the result cannot change what is still to be read, and resizing the result
// cannot pull the storage from under the argument.
class CArgument {
public:
    CArgument(const CQXVariable& var, const CQXVariable& result)
        : m_pVar(&var),
          m_Rows(var.getRows() > 0 ? var.getRows() : 0),
          m_Cols(var.getCols() > 0 ? var.getCols() : 0) {
        if (!var.sharesStorageWith(result)) return;
        m_Copy.reserve(static_cast<std::size_t>(m_Rows) * static_cast<std::size_t>(m_Cols));
        for (int r = 0; r < m_Rows; ++r) {
            for (int c = 0; c < m_Cols; ++c) m_Copy.push_back(var.getData_intern(r, c));
        }
        m_pVar = nullptr;
    }

    int rows() const { return m_Rows; }
    int cols() const { return m_Cols; }
    bool empty() const { return m_Rows == 0 || m_Cols == 0; }
    double at(int r, int c) const {
        if (m_pVar != nullptr) return m_pVar->getData_intern(r, c);
        return m_Copy[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_Cols) +
                      static_cast<std::size_t>(c)];
    }

private:
    const CQXVariable* m_pVar;  // null once the elements are copied
    int m_Rows;
    int m_Cols;
    std::vector<double> m_Copy;
};

// Gives the result the arguments' shape (the storage is reused when it already has it), then
// stores rule(r, c) for every element in reading order. Returns the first domain error; the
// elements before it stay stored.
template <typename ElementRule>
const char* fillResult(CQXVariable& result, int rows, int cols, ElementRule rule) {
    if (result.getRows() != rows || result.getCols() != cols) result.resizeVar_intern(rows, cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const sElement e = rule(r, c);
            if (e.m_pError != nullptr) return e.m_pError;
            result.setData_intern(r, c, e.m_Value);
        }
    }
    return nullptr;
}

const char* apply(const std::vector<CQXVariable*>& args, CQXVariable& result, bool smart,
                  UnaryRule rule) {
    const CArgument x(*args[0], result);
    if (x.empty()) return kEmptyText;
    return fillResult(result, x.rows(), x.cols(),
                      [&](int r, int c) { return rule(x.at(r, c), smart); });
}

// No broadcasting: a 1x1 argument beside a larger one is a size mismatch like any other.
const char* apply(const std::vector<CQXVariable*>& args, CQXVariable& result, bool smart,
                  BinaryRule rule) {
    const CArgument a(*args[0], result);
    const CArgument b(*args[1], result);
    if (a.rows() != b.rows() || a.cols() != b.cols()) return kSizeText;
    if (a.empty()) return kEmptyText;
    return fillResult(result, a.rows(), a.cols(),
                      [&](int r, int c) { return rule(a.at(r, c), b.at(r, c), smart); });
}

constexpr int arity(UnaryRule) {
    return 1;
}
constexpr int arity(BinaryRule) {
    return 2;
}

}  // namespace

// One class per function: its parameter count follows from its rule, and Call runs the shared
// walk with the smart-error option as it stands at the start of the call.
#define QX_ELEMENTWISE_FUNCTION(Class, rule)                                                    \
    Class::Class(const std::string& name, CQXSharedParameter* shared)                           \
        : CQXFunction(name, shared) {                                                           \
        setParamCount(arity(rule));                                                             \
    }                                                                                           \
    Class::~Class() = default;                                                                  \
    eInterpreterState Class::Call(const std::vector<CQXVariable*>* args) {                      \
        if (!hasArgs(args)) return raiseArgumentCount();                                        \
        const char* error = apply(*args, m_ReturnValue, qxrows::smartErrorOn(m_pShared), rule); \
        return error != nullptr ? raise(error) : isOK;                                          \
    }

QX_ELEMENTWISE_FUNCTION(CSin, ruleSin)
QX_ELEMENTWISE_FUNCTION(CArcSin, ruleArcSin)
QX_ELEMENTWISE_FUNCTION(CCos, ruleCos)
QX_ELEMENTWISE_FUNCTION(CArcCos, ruleArcCos)
QX_ELEMENTWISE_FUNCTION(CTan, ruleTan)
QX_ELEMENTWISE_FUNCTION(CArcTan, ruleArcTan)
QX_ELEMENTWISE_FUNCTION(CArcTan2, ruleArcTan2)
QX_ELEMENTWISE_FUNCTION(CAbs, ruleAbs)
QX_ELEMENTWISE_FUNCTION(CExp, ruleExp)
QX_ELEMENTWISE_FUNCTION(CLog10, ruleLogarithm<log10Of>)
QX_ELEMENTWISE_FUNCTION(CLn, ruleLogarithm<lnOf>)
QX_ELEMENTWISE_FUNCTION(CLd, ruleLogarithm<log2Of>)
QX_ELEMENTWISE_FUNCTION(CFloor, ruleFloor)
QX_ELEMENTWISE_FUNCTION(CCeil, ruleCeil)
QX_ELEMENTWISE_FUNCTION(CFMod, ruleFMod)
QX_ELEMENTWISE_FUNCTION(CModF, ruleModF)
QX_ELEMENTWISE_FUNCTION(CSqrt, ruleSqrt)
QX_ELEMENTWISE_FUNCTION(CPow, rulePow)

#undef QX_ELEMENTWISE_FUNCTION
