// The arithmetic and logic kernels of CQXVariable, the last step of the pipeline that the
// interpreter's arithmetic opcodes call: each writes the double result variable (the receiver)
// from operands of any element type, except inc and dec, which step the receiver in place.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/product_internal.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
#include "qx/values/variable.h"

namespace {

// The rectangle a kernel walks: never larger than any variable it reads or writes, so a caller
// that passes mismatched shapes gets a partial result instead of an access outside storage.
// Rows that a view leaves absent (a null row pointer) are skipped by every loop.
struct Extent {
    int rows;
    int cols;
};

Extent common(const CQXVariable& x, const CQXVariable& y) {
    return {std::min(x.getRows(), y.getRows()), std::min(x.getCols(), y.getCols())};
}

Extent common(const CQXVariable& x, const CQXVariable& y, const CQXVariable& z) {
    const Extent xy = common(x, y);
    return {std::min(xy.rows, z.getRows()), std::min(xy.cols, z.getCols())};
}

using qxops::Fn;
using qxrows::clippingOn;
using qxrows::smartErrorOn;
using qxrows::withRows;

// out(i, j) := op(a(i, j)) over the extent.
template <class Op>
void mapInto(double** out, const CQXVariable& a, Extent e, Op op) {
    withRows(a, [&](auto** in) {
        for (int i = 0; i < e.rows; ++i) {
            const auto* src = in[i];
            double* dst = out[i];
            if (src == nullptr || dst == nullptr) continue;
            for (int j = 0; j < e.cols; ++j) dst[j] = op(static_cast<double>(src[j]));
        }
    });
}

// out(i, j) := op(a(i, j), b(i, j)) in row-major order. op stores its result and answers whether
// the walk goes on; a false stops it before that element is written.
template <class TA, class TB, class Op>
bool zipRows(double** out, TA** ra, TB** rb, Extent e, Op& op) {
    for (int i = 0; i < e.rows; ++i) {
        const TA* x = ra[i];
        const TB* y = rb[i];
        double* dst = out[i];
        if (x == nullptr || y == nullptr || dst == nullptr) continue;
        for (int j = 0; j < e.cols; ++j) {
            if (!op(static_cast<double>(x[j]), static_cast<double>(y[j]), dst[j])) return false;
        }
    }
    return true;
}

// Walks a and b together into out; true unless op stopped the walk.
template <class Op>
bool zipInto(double** out, const CQXVariable& a, const CQXVariable& b, Extent e, Op op) {
    bool complete = true;
    withRows(a, [&](auto** ra) {
        withRows(b, [&](auto** rb) { complete = zipRows(out, ra, rb, e, op); });
    });
    return complete;
}

// out(i, j) := f(a(i, j), b(i, j)) for an operation defined on every pair. The inner loop has no
// exit, so the compiler can vectorise it for every pair of element types.
template <class TA, class TB, class F>
void mapRows(double** out, TA** ra, TB** rb, Extent e, F f) {
    for (int i = 0; i < e.rows; ++i) {
        const TA* x = ra[i];
        const TB* y = rb[i];
        double* dst = out[i];
        if (x == nullptr || y == nullptr || dst == nullptr) continue;
        for (int j = 0; j < e.cols; ++j)
            dst[j] = f(static_cast<double>(x[j]), static_cast<double>(y[j]));
    }
}

template <class F>
void mapInto(double** out, const CQXVariable& a, const CQXVariable& b, Extent e, F f) {
    withRows(a, [&](auto** ra) { withRows(b, [&](auto** rb) { mapRows(out, ra, rb, e, f); }); });
}

// Writes rows x cols of the product of a (rows x inner) and b (inner x cols) into out. Every
// result element is summed from 0 in ascending k; looping i, k, j keeps that order while reading
// both operands along their rows.
template <class TA, class TB>
void productRows(double** out, TA** ra, TB** rb, int rows, int inner, int cols) {
    for (int i = 0; i < rows; ++i) {
        double* dst = out[i];
        if (dst == nullptr) continue;
        std::fill(dst, dst + cols, 0.0);
        if (ra[i] == nullptr) continue;
        for (int k = 0; k < inner; ++k) {
            const double aik = static_cast<double>(ra[i][k]);
            const TB* bk = rb[k];
            if (bk == nullptr) continue;
            for (int j = 0; j < cols; ++j) dst[j] += aik * static_cast<double>(bk[j]);
        }
    }
}

void product(double** out, const CQXVariable& a, const CQXVariable& b, int rows, int cols) {
    const int inner = std::min(a.getCols(), b.getRows());
    if (qxproduct::worthBlocking(rows, inner, cols) &&
        qxproduct::blockedProduct(out, a, b, rows, inner, cols))
        return;
    withRows(a, [&](auto** ra) {
        withRows(b, [&](auto** rb) { productRows(out, ra, rb, rows, inner, cols); });
    });
}

template <class T>
void stepRows(T** rows, int nr, int nc, bool clip, bool up) {
    for (int i = 0; i < nr; ++i) {
        T* row = rows[i];
        if (row == nullptr) continue;
        for (int j = 0; j < nc; ++j) {
            if (up) {
                qxops::increment(row[j], clip);
            } else {
                qxops::decrement(row[j], clip);
            }
        }
    }
}

void stepAll(CQXVariable& v, bool up) {
    const bool clip = clippingOn(v);
    withRows(v, [&](auto** rows) { stepRows(rows, v.getRows(), v.getCols(), clip, up); });
}

}  // namespace

void CQXVariable::negate(const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr) return;
    mapInto(m_ppDouble, *a, common(*this, *a), Fn<qxops::negate>());
}

void CQXVariable::addsingle(double s, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr) return;
    mapInto(m_ppDouble, *a, common(*this, *a), [s](double x) { return qxops::add(x, s); });
}

void CQXVariable::subsingle(double s, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr) return;
    mapInto(m_ppDouble, *a, common(*this, *a), [s](double x) { return qxops::sub(x, s); });
}

void CQXVariable::mulsingle(double s, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr) return;
    mapInto(m_ppDouble, *a, common(*this, *a), [s](double x) { return qxops::mul(x, s); });
}

// A zero divisor either fails (smart error off) or fills the result with the largest double.
bool CQXVariable::divsingle(double s, const CQXVariable* a) {
    if (s == 0.0) {
        if (!smartErrorOn(*this)) return false;
        if (m_ppDouble != nullptr) setsingle(qxops::kZeroDivisorQuotient);
        return true;
    }
    if (m_ppDouble == nullptr || a == nullptr) return true;
    mapInto(m_ppDouble, *a, common(*this, *a), [s](double x) { return qxops::div(x, s); });
    return true;
}

void CQXVariable::addmatrix(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b), Fn<qxops::add>());
}

void CQXVariable::submatrix(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b), Fn<qxops::sub>());
}

// The product is built in a scratch matrix when the result shares storage with an operand:
// writing the result in place would overwrite elements that later sums still read.
void CQXVariable::mulmatrix(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    const int rows = std::min(a->getRows(), m_Rows);
    const int cols = std::min(b->getCols(), m_Cols);
    if (rows < 1 || cols < 1) return;
    if (!sharesStorageWith(*a) && !sharesStorageWith(*b)) {
        product(m_ppDouble, *a, *b, rows, cols);
        return;
    }
    std::vector<double> scratch(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    std::vector<double*> scratchRows(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) scratchRows[i] = scratch.data() + std::size_t(i) * cols;
    product(scratchRows.data(), *a, *b, rows, cols);
    for (int i = 0; i < rows; ++i) {
        if (m_ppDouble[i] != nullptr)
            std::copy(scratchRows[i], scratchRows[i] + cols, m_ppDouble[i]);
    }
}

void CQXVariable::elementmul(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b), Fn<qxops::mul>());
}

// With smart error off the walk stops at the first zero divisor; what was written stays.
bool CQXVariable::elementdiv(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return true;
    if (smartErrorOn(*this)) {
        mapInto(m_ppDouble, *a, *b, common(*this, *a, *b), Fn<qxops::smartQuotient>());
        return true;
    }
    return zipInto(m_ppDouble, *a, *b, common(*this, *a, *b), [](double x, double y, double& r) {
        if (y == 0.0) return false;
        r = qxops::div(x, y);
        return true;
    });
}

// The logical kernels write the truth of the rule for each pair of elements.
void CQXVariable::elementand(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b),
            [](double x, double y) { return qxops::truth(qxops::logicalAnd(x, y)); });
}

void CQXVariable::elementor(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b),
            [](double x, double y) { return qxops::truth(qxops::logicalOr(x, y)); });
}

void CQXVariable::elementxor(const CQXVariable* b, const CQXVariable* a) {
    if (m_ppDouble == nullptr || a == nullptr || b == nullptr) return;
    mapInto(m_ppDouble, *a, *b, common(*this, *a, *b),
            [](double x, double y) { return qxops::truth(qxops::logicalXor(x, y)); });
}

// x raised to e into element (0, 0). The undefined cases (0^0, a negative base with a fractional
// exponent, an overflow to +infinity) fail with smart error off and give 1, 0 and the largest
// double with it on. The validity does not depend on whether R can hold the value.
bool CQXVariable::powersingle(double e, double x) {
    const bool smart = smartErrorOn(*this);
    double whole;
    const bool fractional = std::modf(e, &whole) != 0.0;
    double value;
    if (smart && e == 0.0) {
        value = 1.0;
    } else if (!smart && x == 0.0 && e == 0.0) {
        return false;
    } else if (x < 0.0 && fractional) {
        if (!smart) return false;
        value = 0.0;
    } else {
        value = std::pow(x, e);
    }
    const bool overflow = value == std::numeric_limits<double>::infinity();
    if (overflow && smart) value = DBL_MAX;
    if (m_ppDouble != nullptr && m_Rows >= 1 && m_Cols >= 1 && m_ppDouble[0] != nullptr) {
        m_ppDouble[0][0] = value;
    }
    return smart || !overflow;
}

// R keeps its shape (the interpreter does not size it for this opcode), so the walk covers only
// the elements both R and a have.
bool CQXVariable::modulosingle(double s, const CQXVariable* a) {
    if (s == 0.0) {
        if (!smartErrorOn(*this)) return false;
        if (m_ppDouble == nullptr || m_Cols < 1) return true;
        for (int i = 0; i < m_Rows; ++i) {
            if (m_ppDouble[i] != nullptr) std::fill(m_ppDouble[i], m_ppDouble[i] + m_Cols, 0.0);
        }
        return true;
    }
    if (m_ppDouble == nullptr || a == nullptr) return true;
    mapInto(m_ppDouble, *a, common(*this, *a), [s](double x) { return qxops::modulo(x, s); });
    return true;
}

void CQXVariable::inc() {
    stepAll(*this, true);
}

void CQXVariable::dec() {
    stepAll(*this, false);
}
