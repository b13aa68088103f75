// Statistics and linear-algebra routines on variables. The interpreter runs the methods median,
// variance, std, det and rank through them, and the standard functions inverse, eigens, eigena,
// identity, ones and transpose use them; matrix work goes through the qxla layer.
#include "qx/functions/calculation_routines.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "qx/functions/linalg_numeric_internal.h"
#include "qx/values/variable.h"

namespace {

using qxla::TMatrix;

double nan() {
    return std::numeric_limits<double>::quiet_NaN();
}

bool hasElements(const CQXVariable* v) {
    return v != nullptr && v->getRows() >= 1 && v->getCols() >= 1;
}

bool isSquare(const CQXVariable* v) {
    return hasElements(v) && v->getRows() == v->getCols();
}

// R's double row array when it covers at least rows x cols, else null: results are only ever
// written into double storage that is really there.
double** doubleRows(CQXVariable* R, int rows, int cols) {
    if (R == nullptr || R->getRows() < rows || R->getCols() < cols) return nullptr;
    double** table = R->getDoublePtr_intern();
    if (table == nullptr) return nullptr;
    for (int r = 0; r < rows; ++r) {
        if (table[r] == nullptr) return nullptr;
    }
    return table;
}

// R's double element (0, 0), the slot of a 1x1 result; null when R has no double storage.
double* firstDouble(CQXVariable* R) {
    double** table = doubleRows(R, 1, 1);
    return table == nullptr ? nullptr : &table[0][0];
}

// All elements of A as doubles, row by row.
std::vector<double> elementsOf(const CQXVariable* A) {
    std::vector<double> list;
    if (!hasElements(A)) return list;
    list.reserve(static_cast<std::size_t>(A->getRows()) * static_cast<std::size_t>(A->getCols()));
    for (int r = 0; r < A->getRows(); ++r) {
        for (int c = 0; c < A->getCols(); ++c) list.push_back(A->getData_intern(r, c));
    }
    return list;
}

// Ascending order in which a NaN comes after every number. Plain < is no strict weak order
// once a NaN is present, and sorting with it is undefined; this order keeps the median of data
// with NaNs deterministic: the NaNs count as the largest values.
bool lessNaNLast(double x, double y) {
    if (std::isnan(x)) return false;
    return std::isnan(y) || x < y;
}

TMatrix toTMatrix(const CQXVariable* A) {
    TMatrix m(A->getRows(), A->getCols());
    for (int r = 0; r < m.m_Rows; ++r) {
        for (int c = 0; c < m.m_Cols; ++c) m.m_ppData[r][c] = A->getData_intern(r, c);
    }
    return m;
}

double varianceOf(const CQXVariable* A) {
    const double mean = A->getMean();
    double sum = 0.0;
    for (int r = 0; r < A->getRows(); ++r) {
        for (int c = 0; c < A->getCols(); ++c) {
            const double d = A->getData_intern(r, c) - mean;
            sum += d * d;
        }
    }
    // Population variance: divided by the element count, not by one less.
    return sum / (static_cast<double>(A->getRows()) * static_cast<double>(A->getCols()));
}

// Closed forms for the small sizes (the rule of Sarrus for 3x3, summed in its usual order);
// larger matrices go through an LU decomposition of a scratch copy.
double determinantOf(const CQXVariable* A) {
    const auto a = [A](int r, int c) { return A->getData_intern(r, c); };
    switch (A->getRows()) {
        case 1:
            return a(0, 0);
        case 2:
            return a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0);
        case 3: {
            // Each element read once.
            double m[3][3];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) m[r][c] = a(r, c);
            }
            return m[0][0] * m[1][1] * m[2][2] + m[0][1] * m[1][2] * m[2][0] +
                   m[0][2] * m[1][0] * m[2][1] - m[0][0] * m[1][2] * m[2][1] -
                   m[0][1] * m[1][0] * m[2][2] - m[0][2] * m[1][1] * m[2][0];
        }
        default: {
            const TMatrix scratch = toTMatrix(A);
            return qxla::det(scratch.m_Rows, scratch.m_ppData);
        }
    }
}

// The output variables of an eigen decomposition must hold n x n elements.
bool holds(const CQXVariable* v, int n) {
    return v != nullptr && v->getRows() >= n && v->getCols() >= n;
}

// Writes a decomposition into V (eigenvectors as columns) and D (eigenvalues on the diagonal,
// zeros elsewhere). An empty result from the solver means failure; nothing is written then.
eInterpreterState storeEigen(const TMatrix& vectors, const TMatrix& values, int n, CQXVariable* V,
                             CQXVariable* D) {
    if (vectors.m_ppData == nullptr || vectors.m_Rows != n || vectors.m_Cols != n ||
        values.m_ppData == nullptr || values.m_Rows != n || values.m_Cols != n) {
        return isEXCEPTION;
    }
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) V->setData_intern(r, c, vectors.m_ppData[r][c]);
    }
    if (D->hasStorage()) D->setsingle(0.0);
    for (int i = 0; i < n; ++i) D->setData_intern(i, i, values.m_ppData[i][i]);
    return isOK;
}

}  // namespace

CQXCalculation::~CQXCalculation() = default;

// ---- Reductions ----

void CQXCalculation::median(CQXVariable* A, CQXVariable* R) {
    double* out = firstDouble(R);
    if (out == nullptr || A == nullptr) return;
    std::vector<double> list = elementsOf(A);
    if (list.empty()) {
        // Nothing has a middle; like the mean of no elements, the result is not a number.
        *out = nan();
        return;
    }
    std::sort(list.begin(), list.end(), lessNaNLast);
    // Position (N + 1) / 2 counted from 1: the middle element for odd N, the lower of the two
    // middle elements for even N (no averaging).
    *out = list[(list.size() + 1) / 2 - 1];
}

void CQXCalculation::variance(CQXVariable* A, CQXVariable* R) {
    if (A == nullptr || R == nullptr || !R->hasStorage()) return;
    R->setsingle(varianceOf(A));
}

void CQXCalculation::std(CQXVariable* A, CQXVariable* R) {
    if (A == nullptr || R == nullptr || !R->hasStorage()) return;
    const double v = varianceOf(A);
    if (double* out = firstDouble(R)) {
        // The variance as stored (after the double store's clipping), then its root.
        R->setsingle(v);
        *out = std::sqrt(*out);
    } else {
        R->setsingle(std::sqrt(v));
    }
}

bool CQXCalculation::determinant(CQXVariable* A, CQXVariable* R) {
    if (!isSquare(A)) return false;
    double* out = firstDouble(R);
    if (out == nullptr) return true;
    *out = 0.0;
    *out = determinantOf(A);
    return true;
}

bool CQXCalculation::rank(CQXVariable* A, CQXVariable* R) {
    if (!isSquare(A)) return false;
    double* out = firstDouble(R);
    if (out == nullptr) return true;
    const int r = qxla::Rang(toTMatrix(A), 0.0);
    // A matrix with an element that is not finite has no rank.
    *out = r < 0 ? nan() : static_cast<double>(r);
    return true;
}

// ---- Decompositions ----

eInterpreterState CQXCalculation::inverse(CQXVariable* A, CQXVariable* R) {
    if (!isSquare(A)) return isEXCEPTION;
    const int n = A->getRows();
    double** out = doubleRows(R, n, n);
    if (out == nullptr) return isEXCEPTION;
    const TMatrix inv = qxla::Inverse(toTMatrix(A));
    if (inv.m_ppData == nullptr) return isEXCEPTION;
    for (int r = 0; r < n; ++r) std::copy(inv.m_ppData[r], inv.m_ppData[r] + n, out[r]);
    return isOK;
}

// The argument passes through a double variable first, so it reaches the solver with the
// clipping rule of a double store (an infinity becomes the largest finite double).
eInterpreterState CQXCalculation::eigens(CQXVariable* A, CQXVariable* V, CQXVariable* D) {
    if (!isSquare(A)) return isEXCEPTION;
    const int n = A->getRows();
    if (!holds(V, n) || !holds(D, n)) return isEXCEPTION;
    CQXVariable a(m_pShared);
    a.initialize("", n, n, edtDOUBLE);
    a.setmatrix(A);
    TMatrix values;
    const TMatrix vectors = qxla::EigenS(toTMatrix(&a), values);
    return storeEigen(vectors, values, n, V, D);
}

eInterpreterState CQXCalculation::eigena(CQXVariable* A, CQXVariable* B, CQXVariable* V,
                                         CQXVariable* D) {
    if (!isSquare(A) || !isSquare(B) || B->getRows() != A->getRows()) return isEXCEPTION;
    const int n = A->getRows();
    if (!holds(V, n) || !holds(D, n)) return isEXCEPTION;
    CQXVariable a(m_pShared);
    a.initialize("", n, n, edtDOUBLE);
    a.setmatrix(A);
    CQXVariable b(m_pShared);
    b.initialize("", n, n, edtDOUBLE);
    b.setmatrix(B);
    TMatrix values;
    const TMatrix vectors = qxla::EigenA(toTMatrix(&a), toTMatrix(&b), values);
    return storeEigen(vectors, values, n, V, D);
}

// ---- Fills ----

void CQXCalculation::identity(CQXVariable* R) {
    if (!hasElements(R)) return;
    double** out = doubleRows(R, R->getRows(), R->getCols());
    if (out == nullptr) return;
    for (int r = 0; r < R->getRows(); ++r) {
        for (int c = 0; c < R->getCols(); ++c) out[r][c] = (r == c) ? 1.0 : 0.0;
    }
}

void CQXCalculation::ones(CQXVariable* R) {
    if (!hasElements(R)) return;
    double** out = doubleRows(R, R->getRows(), R->getCols());
    if (out == nullptr) return;
    for (int r = 0; r < R->getRows(); ++r) std::fill(out[r], out[r] + R->getCols(), 1.0);
}

// A is read completely before R is written, so transposing a variable into itself (or into a
// variable that shares its storage) gives the transpose, not a half-overwritten mixture.
void CQXCalculation::transpose(CQXVariable* A, CQXVariable* R) {
    if (!hasElements(A)) return;
    const int rows = A->getRows();
    const int cols = A->getCols();
    double** out = doubleRows(R, cols, rows);
    if (out == nullptr) return;
    const std::vector<double> source = elementsOf(A);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            out[c][r] = source[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) +
                               static_cast<std::size_t>(c)];
        }
    }
}
