// The dense linear-algebra layer behind CQXCalculation: a plain row-table matrix and the
// inverse, rank, eigen decompositions and determinant that CQXCalculation needs, computed
// with Eigen. Library-internal; not installed.
#pragma once

namespace qxla {

// A rows x cols matrix of doubles addressed through a row table (one pointer per row into one
// contiguous row-major block). A default-constructed matrix is empty: no row table, 0 x 0.
class TMatrix {
public:
    TMatrix();
    TMatrix(int rows, int cols);  // zero-filled; throws std::bad_alloc when too large
    TMatrix(const TMatrix& other);
    TMatrix(TMatrix&& other) noexcept;
    TMatrix& operator=(TMatrix other) noexcept;
    virtual ~TMatrix();

    double** m_ppData;  // row table, null for an empty matrix
    int m_Rows;
    int m_Cols;
};

// The inverse of a square matrix; an empty result (no row table) when it is singular
// (LU decomposition with full pivoting, pivot check against Eigen's threshold).
TMatrix Inverse(const TMatrix& a);
// Rank by a rank-revealing decomposition (column-pivoting QR); a tolerance of 0.0 uses
// Eigen's default threshold, any other value is the absolute pivot threshold.
int Rang(const TMatrix& a, double tolerance);
// Symmetric standard problem A v = l v: returns the unit eigenvectors as columns and puts the
// eigenvalues, ascending, on the diagonal of eigenvalues (resized to N x N). A non-symmetric
// input or a failed solver gives an empty (0 x 0) result.
TMatrix EigenS(const TMatrix& a, TMatrix& eigenvalues);
// Generalized problem A v = l B v: the symmetric-definite solver when A is symmetric and B
// symmetric positive definite, the general real solver otherwise. Fails (0 x 0 result) when
// an eigenvalue is complex or infinite.
TMatrix EigenA(const TMatrix& a, const TMatrix& b, TMatrix& eigenvalues);
// Determinant of the n x n matrix given by its row table (LU decomposition).
double det(int n, double* const* rows);

}  // namespace qxla
