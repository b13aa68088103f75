// The comparison kernels of CQXVariable behind the interpreter's comparison opcodes and the truth
// test of conditions: a whole matrix compares as one boolean that holds when the relation holds
// for every element.
#include "qx/values/rows_internal.h"
#include "qx/values/variable.h"

namespace {

using qxrows::withRows;

// The relations, each written as the test of a pair that breaks it. An ordering is broken only by
// an ordered pair, so a NaN on either side never breaks one; equality is broken by any NaN.
struct BreaksEqual {
    bool operator()(double m, double v) const { return !(m == v); }
};
struct BreaksLess {
    bool operator()(double m, double v) const { return m >= v; }
};
struct BreaksLessEqual {
    bool operator()(double m, double v) const { return m > v; }
};
struct BreaksMore {
    bool operator()(double m, double v) const { return m <= v; }
};
struct BreaksMoreEqual {
    bool operator()(double m, double v) const { return m < v; }
};

bool hasNoElements(const CQXVariable& m) {
    return m.getRows() < 1 || m.getCols() < 1;
}

template <class T, class Breaks>
bool holdsForScalar(T** rows, int nr, int nc, double v, Breaks breaks) {
    for (int i = 0; i < nr; ++i) {
        const T* row = rows[i];
        if (row == nullptr) continue;
        for (int j = 0; j < nc; ++j) {
            if (breaks(static_cast<double>(row[j]), v)) return false;
        }
    }
    return true;
}

template <class TM, class TO, class Breaks>
bool holdsPairwise(TM** rm, TO** ro, int nr, int nc, Breaks breaks) {
    for (int i = 0; i < nr; ++i) {
        const TM* x = rm[i];
        const TO* y = ro[i];
        if (x == nullptr || y == nullptr) continue;
        for (int j = 0; j < nc; ++j) {
            if (breaks(static_cast<double>(x[j]), static_cast<double>(y[j]))) return false;
        }
    }
    return true;
}

// A matrix without elements or without storage holds every relation. Rows that a view leaves
// absent (a null row pointer) have no elements to compare and are passed over.
template <class Breaks>
bool allWithScalar(const CQXVariable& m, double v, Breaks breaks) {
    if (hasNoElements(m)) return true;
    bool holds = true;
    withRows(
        m, [&](auto** rows) { holds = holdsForScalar(rows, m.getRows(), m.getCols(), v, breaks); });
    return holds;
}

// Pairs only matrices of one shape: any other operand, or one without storage, is not related,
// and nothing outside either operand is read.
template <class Breaks>
bool allPairwise(const CQXVariable& m, const CQXVariable* o, Breaks breaks) {
    if (hasNoElements(m)) return true;
    bool holds = true;
    const bool present = withRows(m, [&](auto** rm) {
        if (o == nullptr || o->getRows() != m.getRows() || o->getCols() != m.getCols()) {
            holds = false;
            return;
        }
        const bool paired = withRows(*o, [&](auto** ro) {
            holds = holdsPairwise(rm, ro, m.getRows(), m.getCols(), breaks);
        });
        if (!paired) holds = false;
    });
    return present ? holds : true;
}

}  // namespace

bool CQXVariable::equalsingle(double v) const {
    return allWithScalar(*this, v, BreaksEqual());
}

bool CQXVariable::lesssingle(double v) const {
    return allWithScalar(*this, v, BreaksLess());
}

bool CQXVariable::lessequalsingle(double v) const {
    return allWithScalar(*this, v, BreaksLessEqual());
}

bool CQXVariable::moresingle(double v) const {
    return allWithScalar(*this, v, BreaksMore());
}

bool CQXVariable::moreequalsingle(double v) const {
    return allWithScalar(*this, v, BreaksMoreEqual());
}

bool CQXVariable::equalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, BreaksEqual());
}

bool CQXVariable::lessmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, BreaksLess());
}

bool CQXVariable::lessequalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, BreaksLessEqual());
}

bool CQXVariable::morematrix(const CQXVariable* o) const {
    return allPairwise(*this, o, BreaksMore());
}

bool CQXVariable::moreequalmatrix(const CQXVariable* o) const {
    return allPairwise(*this, o, BreaksMoreEqual());
}
