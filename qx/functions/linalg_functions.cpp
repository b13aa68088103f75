// The standard functions inverse, eigens and eigena: they check the shapes of their arguments
// and hand the computation to CQXCalculation. The eigen decompositions deliver their results
// through two reference arguments and leave the return variable alone.
#include "qx/functions/linalg_functions.h"

#include "qx/functions/calculation_routines.h"
#include "qx/values/rows_internal.h"

namespace {

// A matrix with n rows and n columns for some n of at least 1: a matrix without elements has
// nothing to invert or decompose.
bool isNxN(const CQXVariable* v) {
    return v->getRows() >= 1 && v->getRows() == v->getCols();
}

}  // namespace

CInverse::CInverse(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(1);
}

CInverse::~CInverse() = default;

// A matrix that cannot be inverted (singular, with a NaN element, or with an inverse beyond the
// double range) fails the call with a text of its own.
eInterpreterState CInverse::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    CQXVariable* a = (*args)[0];
    if (!isNxN(a)) return raise("Size of Parameter must be NxN in Function inverse");
    const int n = a->getRows();
    // Resizing the return variable releases its storage; an argument that shares that storage
    // is copied out first.
    CQXVariable copy(m_pShared);
    if (a->sharesStorageWith(m_ReturnValue)) {
        copy.initialize("", n, n, edtDOUBLE);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) copy.setData_intern(r, c, a->getData_intern(r, c));
        }
        a = &copy;
    }
    if (m_ReturnValue.getRows() != n || m_ReturnValue.getCols() != n) resizeReturnVar(n, n);
    if (CQXCalculation(m_pShared).inverse(a, &m_ReturnValue) != isOK)
        return raise("Matrix is singular in Function inverse");
    return isOK;
}

CEigenS::CEigenS(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(3);
    setParamType(1, ptREFERENCE);
    setParamType(2, ptREFERENCE);
}

CEigenS::~CEigenS() = default;

eInterpreterState CEigenS::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    CQXVariable* a = (*args)[0];
    CQXVariable* v = (*args)[1];
    CQXVariable* d = (*args)[2];
    if (!isNxN(a)) return raise("Size of Matrix 1 must be NxN");
    if (!isNxN(v)) return raise("Size of Matrix 2 (eigenvectors) must be NxN");
    if (!isNxN(d)) return raise("Size of Matrix 3 (eigenvalues) must be NxN");
    if (!qxrows::sameShape(a, v) || !qxrows::sameShape(a, d))
        return raise("Sizes of Matrices must be identical");
    if (CQXCalculation(m_pShared).eigens(a, v, d) != isOK)
        return raise("Eigen decomposition failed in Function eigens");
    return isOK;
}

CEigenA::CEigenA(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(4);
    setParamType(2, ptREFERENCE);
    setParamType(3, ptREFERENCE);
}

CEigenA::~CEigenA() = default;

eInterpreterState CEigenA::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    CQXVariable* a = (*args)[0];
    CQXVariable* b = (*args)[1];
    CQXVariable* v = (*args)[2];
    CQXVariable* d = (*args)[3];
    if (!isNxN(a)) return raise("Size of Matrix 1 must be NxN");
    if (!isNxN(b)) return raise("Size of Matrix 2 must be NxN");
    if (!isNxN(v)) return raise("Size of Matrix 3 (eigenvectors) must be NxN");
    if (!isNxN(d)) return raise("Size of Matrix 4 (eigenvalues) must be NxN");
    if (!qxrows::sameShape(a, b) || !qxrows::sameShape(a, v) || !qxrows::sameShape(a, d)) {
        return raise("Sizes of Matrices must be identical");
    }
    if (CQXCalculation(m_pShared).eigena(a, b, v, d) != isOK)
        return raise("Eigen decomposition failed in Function eigena");
    return isOK;
}
