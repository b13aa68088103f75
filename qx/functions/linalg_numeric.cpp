// The dense linear-algebra layer: TMatrix storage and the inverse, rank, eigen decompositions
// and determinant behind CQXCalculation. Callers copy variables into TMatrix objects, call one
// routine here and copy the result back; all numerical work is delegated to Eigen.
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "qx/functions/linalg_numeric_internal.h"

namespace qxla {

namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;

// Two elements that should mirror each other count as equal when they differ by at most this
// fraction of the largest magnitude in the matrix. Exact equality would refuse matrices that a
// script built symmetric in exact arithmetic (B * A * B' and the like) but whose rounding left
// differences of a few units in the last place; a genuinely non-symmetric matrix differs far
// more. The solvers read the lower triangle only.
constexpr double kSymmetryTolerance = 1e-12;

double nan() {
    return std::numeric_limits<double>::quiet_NaN();
}

// A matrix the routines can read: a row table with a row pointer for each of at least one row
// and one column.
bool isReadable(const TMatrix& m) {
    if (m.m_ppData == nullptr || m.m_Rows < 1 || m.m_Cols < 1) return false;
    for (int r = 0; r < m.m_Rows; ++r) {
        if (m.m_ppData[r] == nullptr) return false;
    }
    return true;
}

bool isSquare(const TMatrix& m) {
    return isReadable(m) && m.m_Rows == m.m_Cols;
}

Matrix toEigen(const TMatrix& m) {
    Matrix out(m.m_Rows, m.m_Cols);
    for (int r = 0; r < m.m_Rows; ++r) {
        for (int c = 0; c < m.m_Cols; ++c) out(r, c) = m.m_ppData[r][c];
    }
    return out;
}

TMatrix fromEigen(const Matrix& m) {
    TMatrix out(static_cast<int>(m.rows()), static_cast<int>(m.cols()));
    for (int r = 0; r < out.m_Rows; ++r) {
        for (int c = 0; c < out.m_Cols; ++c) out.m_ppData[r][c] = m(r, c);
    }
    return out;
}

// Multiplies a finite matrix by the power of two that brings its largest absolute entry into
// [1, 2). The rank does not change under such a scaling, and the decomposition that finds it
// squares column entries, which overflow above about 1e154 and underflow below about 1e-154.
// A power of two scales exactly, so a matrix whose entries need no scaling gets the same rank
// as unscaled; only entries far below the largest (and far below the rank tolerance) can
// become subnormal or zero.
void scaleToUnit(Matrix& m) {
    const double largest = m.cwiseAbs().maxCoeff();
    if (largest == 0.0) return;
    const int exponent = std::ilogb(largest);
    m = m.unaryExpr([exponent](double x) { return std::ldexp(x, -exponent); });
}

bool isSymmetric(const Matrix& m) {
    const double bound = kSymmetryTolerance * m.cwiseAbs().maxCoeff();
    for (Eigen::Index r = 0; r < m.rows(); ++r) {
        for (Eigen::Index c = 0; c < r; ++c) {
            // Written so that a NaN difference fails the test.
            if (!(std::fabs(m(r, c) - m(c, r)) <= bound)) return false;
        }
    }
    return true;
}

// Reorders eigenpairs by ascending eigenvalue, scales each eigenvector to unit length and
// hands them out: the vectors as the result, the values on the diagonal of eigenvalues. Fails
// (empty result) when anything is not finite, as happens for a defective pencil.
TMatrix deliver(const Vector& values, const Matrix& vectors, TMatrix& eigenvalues) {
    if (!values.allFinite() || !vectors.allFinite()) return TMatrix();
    const Eigen::Index n = values.size();
    std::vector<Eigen::Index> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), Eigen::Index{0});
    std::stable_sort(order.begin(), order.end(),
                     [&values](Eigen::Index x, Eigen::Index y) { return values(x) < values(y); });
    Matrix sorted(n, n);
    TMatrix diagonal(static_cast<int>(n), static_cast<int>(n));
    for (Eigen::Index k = 0; k < n; ++k) {
        const Eigen::Index from = order[static_cast<std::size_t>(k)];
        const double length = vectors.col(from).norm();
        if (!(length > 0.0)) return TMatrix();
        sorted.col(k) = vectors.col(from) / length;
        diagonal.m_ppData[k][k] = values(from);
    }
    eigenvalues = std::move(diagonal);
    return fromEigen(sorted);
}

TMatrix solveSymmetric(const Matrix& a, TMatrix& eigenvalues) {
    Eigen::SelfAdjointEigenSolver<Matrix> solver(a, Eigen::ComputeEigenvectors);
    if (solver.info() != Eigen::Success) return TMatrix();
    return deliver(solver.eigenvalues(), solver.eigenvectors(), eigenvalues);
}

// A symmetric and B symmetric positive definite: all eigenvalues are real and finite.
TMatrix solveDefinite(const Matrix& a, const Matrix& b, TMatrix& eigenvalues) {
    Eigen::GeneralizedSelfAdjointEigenSolver<Matrix> solver(
        a, b, Eigen::ComputeEigenvectors | Eigen::Ax_lBx);
    if (solver.info() != Eigen::Success) return TMatrix();
    return deliver(solver.eigenvalues(), solver.eigenvectors(), eigenvalues);
}

// Any other pencil. A singular B gives the pencil an infinite eigenvalue (or leaves its
// eigenvalues undefined), which fails the call; otherwise the eigenpairs are those of
// B^-1 A, found by the real Schur iteration. Eigen's QZ-based generalized solver is not used:
// on finite pencils whose entries span a wide range its deflation test can fail forever (one
// branch of its loop has no iteration bound), while the Schur iteration is capped. Only real
// eigenpairs can be delivered, since the result matrices hold real numbers: a complex
// eigenvalue fails the call.
TMatrix solveGeneral(const Matrix& a, const Matrix& b, TMatrix& eigenvalues) {
    const Eigen::FullPivLU<Matrix> lu(b);
    if (!lu.isInvertible()) return TMatrix();
    const Matrix c = lu.solve(a);
    if (!c.allFinite()) return TMatrix();
    const Eigen::EigenSolver<Matrix> solver(c, true);
    if (solver.info() != Eigen::Success) return TMatrix();
    const Eigen::VectorXcd values = solver.eigenvalues();
    if (!(values.imag().array() == 0.0).all()) return TMatrix();
    const Eigen::MatrixXcd vectors = solver.eigenvectors();
    if (!(vectors.imag().array() == 0.0).all()) return TMatrix();
    return deliver(values.real(), vectors.real(), eigenvalues);
}

// The largest magnitude of m, or 1 for a zero matrix.
double magnitude(const Matrix& m) {
    const double largest = m.cwiseAbs().maxCoeff();
    return largest > 0.0 ? largest : 1.0;
}

// Both matrices reach the solver scaled to a largest magnitude of 1, and the eigenvalues are
// scaled back by the ratio afterwards (the eigenvectors do not change). Unscaled, entries
// near the ends of the double range overflow inside the QZ iteration, and a NaN there can
// keep that iteration from ever ending.
TMatrix chooseGeneralizedSolver(const Matrix& a, const Matrix& b, TMatrix& eigenvalues) {
    const double scaleA = magnitude(a);
    const double scaleB = magnitude(b);
    const Matrix as = a / scaleA;
    const Matrix bs = b / scaleB;
    bool definite = false;
    if (isSymmetric(as) && isSymmetric(bs)) {
        definite = Eigen::LLT<Matrix>(bs).info() == Eigen::Success;
    }
    TMatrix vectors =
        definite ? solveDefinite(as, bs, eigenvalues) : solveGeneral(as, bs, eigenvalues);
    const double ratio = scaleA / scaleB;
    for (int i = 0; i < eigenvalues.m_Rows; ++i) {
        double& value = eigenvalues.m_ppData[i][i];
        value *= ratio;
        if (!std::isfinite(value)) {
            eigenvalues = TMatrix();
            return TMatrix();
        }
    }
    return vectors;
}

}  // namespace

// ---- TMatrix ----

TMatrix::TMatrix() : m_ppData(nullptr), m_Rows(0), m_Cols(0), m_pElements(nullptr) {}

TMatrix::TMatrix(int rows, int cols) : TMatrix() {
    if (rows < 1 || cols < 1) return;
    // The element count is formed in 64 bits (two ints cannot overflow it) and checked against
    // what one allocation can address before anything is allocated.
    const std::uint64_t count = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(double) ||
        count > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        throw std::bad_alloc();
    }
    double* elements = new double[static_cast<std::size_t>(count)]();
    double** table = nullptr;
    try {
        table = new double*[static_cast<std::size_t>(rows)];
    } catch (...) {
        delete[] elements;
        throw;
    }
    for (int r = 0; r < rows; ++r) table[r] = elements + static_cast<std::size_t>(r) * cols;
    m_pElements = elements;
    m_ppData = table;
    m_Rows = rows;
    m_Cols = cols;
}

TMatrix::TMatrix(const TMatrix& other) : TMatrix() {
    if (!isReadable(other)) return;
    TMatrix copy(other.m_Rows, other.m_Cols);
    for (int r = 0; r < other.m_Rows; ++r) {
        std::copy(other.m_ppData[r], other.m_ppData[r] + other.m_Cols, copy.m_ppData[r]);
    }
    swap(copy);
}

TMatrix::TMatrix(TMatrix&& other) noexcept : TMatrix() {
    swap(other);
}

TMatrix& TMatrix::operator=(TMatrix other) noexcept {
    swap(other);
    return *this;
}

TMatrix::~TMatrix() {
    delete[] m_ppData;
    delete[] m_pElements;
}

void TMatrix::swap(TMatrix& other) noexcept {
    std::swap(m_ppData, other.m_ppData);
    std::swap(m_Rows, other.m_Rows);
    std::swap(m_Cols, other.m_Cols);
    std::swap(m_pElements, other.m_pElements);
}

// ---- Routines ----
// Each routine validates shapes before it calls Eigen, so no Eigen assertion can fire, and
// turns any exception Eigen throws (allocation failure) into its failure result.

TMatrix Inverse(const TMatrix& a) {
    if (!isSquare(a)) return TMatrix();
    try {
        const Matrix m = toEigen(a);
        if (!m.allFinite()) return TMatrix();
        const Eigen::FullPivLU<Matrix> lu(m);
        if (!lu.isInvertible()) return TMatrix();
        const Matrix inverse = lu.inverse();
        // A matrix that passes the pivot test but is close to singular can still overflow.
        if (!inverse.allFinite()) return TMatrix();
        return fromEigen(inverse);
    } catch (const std::exception&) {
        return TMatrix();
    }
}

int Rang(const TMatrix& a, double tolerance) {
    if (!isReadable(a)) return -1;
    try {
        Matrix m = toEigen(a);
        if (!m.allFinite()) return -1;
        scaleToUnit(m);
        Eigen::ColPivHouseholderQR<Matrix> qr(m.rows(), m.cols());
        if (tolerance > 0.0 && std::isfinite(tolerance)) qr.setThreshold(tolerance);
        qr.compute(m);
        return static_cast<int>(qr.rank());
    } catch (const std::exception&) {
        return -1;
    }
}

TMatrix EigenS(const TMatrix& a, TMatrix& eigenvalues) {
    eigenvalues = TMatrix();
    if (!isSquare(a)) return TMatrix();
    try {
        const Matrix m = toEigen(a);
        if (!m.allFinite() || !isSymmetric(m)) return TMatrix();
        return solveSymmetric(m, eigenvalues);
    } catch (const std::exception&) {
        eigenvalues = TMatrix();
        return TMatrix();
    }
}

TMatrix EigenA(const TMatrix& a, const TMatrix& b, TMatrix& eigenvalues) {
    eigenvalues = TMatrix();
    if (!isSquare(a) || !isSquare(b) || a.m_Rows != b.m_Rows) return TMatrix();
    try {
        const Matrix ma = toEigen(a);
        const Matrix mb = toEigen(b);
        if (!ma.allFinite() || !mb.allFinite()) return TMatrix();
        return chooseGeneralizedSolver(ma, mb, eigenvalues);
    } catch (const std::exception&) {
        eigenvalues = TMatrix();
        return TMatrix();
    }
}

double det(int n, double* const* rows) {
    if (n < 1 || rows == nullptr) return nan();
    try {
        Matrix m(n, n);
        for (int r = 0; r < n; ++r) {
            if (rows[r] == nullptr) return nan();
            for (int c = 0; c < n; ++c) m(r, c) = rows[r][c];
        }
        return Eigen::PartialPivLU<Matrix>(m).determinant();
    } catch (const std::exception&) {
        return nan();
    }
}

}  // namespace qxla
