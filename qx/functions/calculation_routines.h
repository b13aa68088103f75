// Stateless statistics and linear-algebra routines used by the interpreter's methods (median,
// variance, std, det, rank) and by the standard functions (inverse, eigen decompositions,
// identity, ones, transpose). The numerical work is done by the dense linear-algebra layer.
#pragma once

#include "qx/export.h"
#include "qx/vm/interpreter_state.h"

class CQXSharedParameter;
class CQXVariable;

class QX_API CQXCalculation {
public:
    explicit CQXCalculation(CQXSharedParameter* shared) : m_pShared(shared) {}
    CQXCalculation(const CQXCalculation&) = default;
    CQXCalculation& operator=(const CQXCalculation&) = default;
    virtual ~CQXCalculation();

    // Reductions of A into the 1x1 double result R.
    void median(CQXVariable* A, CQXVariable* R);
    void variance(CQXVariable* A, CQXVariable* R);
    void std(CQXVariable* A, CQXVariable* R);
    // Determinant and rank of a square A. A matrix that is not square, or has no elements, is
    // refused: false (the interpreter reports "Matrix must be NxN").
    bool determinant(CQXVariable* A, CQXVariable* R);
    bool rank(CQXVariable* A, CQXVariable* R);

    // Inverse of the square A into R (already A's shape); isEXCEPTION when A is singular.
    eInterpreterState inverse(CQXVariable* A, CQXVariable* R);
    // Symmetric eigenproblem A v = l v: eigenvectors as columns of V, eigenvalues on the
    // diagonal of D (ascending). isEXCEPTION when A is not symmetric or the solver fails.
    eInterpreterState eigens(CQXVariable* A, CQXVariable* V, CQXVariable* D);
    // Generalized eigenproblem A v = l B v; isEXCEPTION when an eigenvalue is complex or
    // infinite or the solver fails.
    eInterpreterState eigena(CQXVariable* A, CQXVariable* B, CQXVariable* V, CQXVariable* D);

    void identity(CQXVariable* R);
    void ones(CQXVariable* R);
    void transpose(CQXVariable* A, CQXVariable* R);

private:
    CQXSharedParameter* m_pShared;
};
