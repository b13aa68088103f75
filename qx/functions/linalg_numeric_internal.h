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
    // Zero-filled; sizes below 1 give an empty matrix. Throws std::bad_alloc when the element
    // count cannot be allocated.
    TMatrix(int rows, int cols);
    TMatrix(const TMatrix& other);
    TMatrix(TMatrix&& other) noexcept;
    TMatrix& operator=(TMatrix other) noexcept;
    virtual ~TMatrix();

    double** m_ppData;  // row table, null for an empty matrix
    int m_Rows;
    int m_Cols;

private:
    void swap(TMatrix& other) noexcept;

    // The element block the row table was built over. Kept apart from the row table so that
    // storage is released correctly even after a caller has reordered the row pointers.
    double* m_pElements;
};

// The inverse of a square matrix; an empty result (no row table) when it is singular or has
// an element that is not finite (LU decomposition with full pivoting, pivot check against
// Eigen's threshold).
TMatrix Inverse(const TMatrix& a);
// Rank by a rank-revealing decomposition (column-pivoting QR) of the matrix scaled by a power
// of two, so that the rank is the same at every scale. A tolerance of 0.0 uses Eigen's default
// threshold; a positive value is the threshold relative to the largest pivot. -1 when the
// matrix is empty or has an element that is not finite: such a matrix has no rank.
int Rang(const TMatrix& a, double tolerance);
// Symmetric standard problem A v = l v: returns the unit eigenvectors as columns and puts the
// eigenvalues, ascending, on the diagonal of eigenvalues (resized to N x N). A non-symmetric
// input or a failed solver gives an empty (0 x 0) result.
TMatrix EigenS(const TMatrix& a, TMatrix& eigenvalues);
// Generalized problem A v = l B v: the symmetric-definite solver when A is symmetric and B
// symmetric positive definite, otherwise the real eigenproblem of B^-1 A. Eigenvectors are
// scaled to unit length and ordered by ascending eigenvalue on both paths. Fails (0 x 0
// result) when an eigenvalue is complex or infinite (B singular outside the definite case).
TMatrix EigenA(const TMatrix& a, const TMatrix& b, TMatrix& eigenvalues);
// Determinant of the n x n matrix given by its row table (LU decomposition with partial
// pivoting); the rows are only read. NaN when n < 1 or the table or one of its rows is null.
double det(int n, double* const* rows);

}  // namespace qxla
