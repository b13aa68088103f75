// The comparison kernels of CQXVariable behind the interpreter's comparison opcodes and the truth
// test of conditions: a whole matrix compares as one boolean that holds when the relation holds
// for every element.
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
#include "qx/values/variable.h"

namespace {

using qxops::Fn;
using qxrows::withRows;

bool hasNoElements(const CQXVariable& m) {
    return m.getRows() < 1 || m.getCols() < 1;
}

template <class T, class Relation>
bool holdsForScalar(T** rows, int nr, int nc, double v, Relation rel) {
    for (int i = 0; i < nr; ++i) {
        const T* row = rows[i];
        if (row == nullptr) continue;
        for (int j = 0; j < nc; ++j) {
            if (!rel(static_cast<double>(row[j]), v)) return false;
        }
    }
    return true;
}

template <class TM, class TO, class Relation>
bool holdsPairwise(TM** rm, TO** ro, int nr, int nc, Relation rel) {
    for (int i = 0; i < nr; ++i) {
        const TM* x = rm[i];
        const TO* y = ro[i];
        if (x == nullptr || y == nullptr) continue;
        for (int j = 0; j < nc; ++j) {
            if (!rel(static_cast<double>(x[j]), static_cast<double>(y[j]))) return false;
        }
    }
    return true;
}

// A matrix without elements or without storage holds every relation. Rows that a view leaves
// absent (a null row pointer) have no elements to compare and are passed over.
template <class Relation>
bool allWithScalar(const CQXVariable& m, double v, Relation rel) {
    if (hasNoElements(m)) return true;
    bool holds = true;
    withRows(m,
             [&](auto** rows) { holds = holdsForScalar(rows, m.getRows(), m.getCols(), v, rel); });
    return holds;
}

// Pairs only matrices of one shape: any other operand, or one without storage, is not related,
// and nothing outside either operand is read.
template <class Relation>
bool allPairwise(const CQXVariable& m, const CQXVariable* o, Relation rel) {
    if (hasNoElements(m)) return true;
    bool holds = true;
    const bool present = withRows(m, [&](auto** rm) {
        if (o == nullptr || o->getRows() != m.getRows() || o->getCols() != m.getCols()) {
            holds = false;
            return;
        }
        const bool paired = withRows(
            *o, [&](auto** ro) { holds = holdsPairwise(rm, ro, m.getRows(), m.getCols(), rel); });
        if (!paired) holds = false;
    });
    return present ? holds : true;
}

}  // namespace

bool CQXVariable::equalsingle(double v) const {
    return allWithScalar(*this, v, Fn<qxops::equal>());
}

bool CQXVariable::lesssingle(double v) const {
    return allWithScalar(*this, v, Fn<qxops::less>());
}

bool CQXVariable::lessequalsingle(double v) const {
    return allWithScalar(*this, v, Fn<qxops::lessEqual>());
}

bool CQXVariable::moresingle(double v) const {
    return allWithScalar(*this, v, Fn<qxops::greater>());
}

bool CQXVariable::moreequalsingle(double v) const {
    return allWithScalar(*this, v, Fn<qxops::greaterEqual>());
}

bool CQXVariable::equalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, Fn<qxops::equal>());
}

bool CQXVariable::lessmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, Fn<qxops::less>());
}

bool CQXVariable::lessequalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, Fn<qxops::lessEqual>());
}

bool CQXVariable::morematrix(const CQXVariable* o) const {
    return allPairwise(*this, o, Fn<qxops::greater>());
}

bool CQXVariable::moreequalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, Fn<qxops::greaterEqual>());
}
