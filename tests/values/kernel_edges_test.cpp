// The arithmetic and comparison kernels of CQXVariable called with what the interpreter never
// hands them: operands and results of different shapes, without storage or missing, and rows a
// view leaves absent. What the operators compute is pinned by golden scripts (element_kernels.qx).
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/matrix.h"

namespace {

using qxtest::elements;
using qxtest::Values;

class KernelEdgeTest : public ::testing::Test, protected qxtest::CMatrices {};

using Binary = void (CQXVariable::*)(const CQXVariable*, const CQXVariable*);
using WithScalar = void (CQXVariable::*)(double, const CQXVariable*);
const Binary kBinary[] = {&CQXVariable::addmatrix,  &CQXVariable::submatrix,
                          &CQXVariable::mulmatrix,  &CQXVariable::elementmul,
                          &CQXVariable::elementand, &CQXVariable::elementor,
                          &CQXVariable::elementxor};
const WithScalar kWithScalar[] = {&CQXVariable::addsingle, &CQXVariable::subsingle,
                                  &CQXVariable::mulsingle};

}  // namespace

TEST_F(KernelEdgeTest, ArithmeticWritesOnlyWhereEveryOperandAndTheResultHaveElements) {
    CQXVariable* small = make(2, 2, {1, 2, 3, 4});
    CQXVariable* r = make(3, 3, Values(9, 9.0));
    r->addmatrix(r, small);
    EXPECT_EQ(elements(*r), (Values{10, 11, 9, 12, 13, 9, 9, 9, 9}));
    CQXVariable* tiny = make(1, 1, {2});
    tiny->elementmul(r, small);
    EXPECT_EQ(elements(*tiny), Values{10});
    r->mulmatrix(make(3, 1, {1, 1, 1}), small);  // inner sizes 2 and 3
    EXPECT_EQ(elements(*r), (Values{3, 11, 9, 7, 13, 9, 9, 9, 9}));
    // The modulo's result keeps its shape: a 1x1 one takes element (0, 0) only, a larger one
    // what the operand covers, and a zero modulus clears all of it.
    CQXVariable* a = make(1, 3, {-7, 7, 8}, edtINT);
    CQXVariable* big = make(2, 4, Values(8, 9.0));
    EXPECT_TRUE(tiny->modulosingle(5, a));
    EXPECT_TRUE(big->modulosingle(5, a));
    EXPECT_EQ(elements(*tiny), Values{-2});
    EXPECT_EQ(elements(*big), (Values{-2, 2, 3, 9, 9, 9, 9, 9}));
    EXPECT_TRUE(big->modulosingle(0, a));
    EXPECT_EQ(elements(*big), Values(8, 0.0));
}

TEST_F(KernelEdgeTest, ResultsWithoutDoubleStorageAndMissingOperandsAreLeftAlone) {
    CQXVariable* small = make(2, 2, {1, 2, 3, 4});
    CQXVariable* ints = make(1, 2, {5, 6}, edtINT);
    CQXVariable* tiny = make(1, 1, {10});
    CQXVariable* none = fresh();
    for (Binary kernel : kBinary) {
        (ints->*kernel)(small, small);
        (tiny->*kernel)(nullptr, small);
        (tiny->*kernel)(small, nullptr);
        (tiny->*kernel)(none, small);
    }
    for (WithScalar kernel : kWithScalar) {
        (ints->*kernel)(2, small);
        (tiny->*kernel)(2, nullptr);
    }
    ints->negate(small);
    tiny->negate(nullptr);
    tiny->negate(none);
    EXPECT_TRUE(ints->divsingle(0, small) && ints->divsingle(2, small) &&
                tiny->divsingle(2, nullptr) && ints->elementdiv(small, small) &&
                tiny->elementdiv(nullptr, small) && tiny->elementdiv(small, nullptr) &&
                ints->modulosingle(3, small) && ints->modulosingle(0, small) &&
                tiny->modulosingle(3, nullptr));
    EXPECT_EQ(elements(*ints), (Values{5, 6}));
    EXPECT_EQ(elements(*tiny), Values{10});
    none->inc();
    m_Shared.m_bSmartError = false;
    EXPECT_FALSE(none->powersingle(0.5, -1));
    EXPECT_TRUE(none->powersingle(2, 3));
    EXPECT_FALSE(none->isInitialized());
}

// A matrix without elements or storage holds every relation; other shapes, and operands without
// storage or missing, hold none; rows that a view leaves absent are passed over.
TEST_F(KernelEdgeTest, ComparisonsReadNothingOutsideEitherOperand) {
    CQXVariable* other = make(2, 2, {1, 2, 3, 4});
    for (CQXVariable* m : {fresh(), make(0, 3)})
        EXPECT_TRUE(m->equalsingle(std::nan("")) && m->lesssingle(0) && m->moresingle(0) &&
                    m->equalmatrix(other) && m->lessmatrix(nullptr));
    CQXVariable* row = make(1, 2, {1, 2});
    CQXVariable* unbound = fresh();
    unbound->setInt("u", 1, 2, nullptr);
    EXPECT_FALSE(row->equalmatrix(make(2, 1, {1, 2})));
    EXPECT_FALSE(row->lessequalmatrix(make(1, 3, {1, 2, 3})));
    EXPECT_FALSE(row->moreequalmatrix(fresh()));
    EXPECT_FALSE(row->equalmatrix(nullptr));
    EXPECT_FALSE(row->equalmatrix(unbound));
    EXPECT_TRUE(unbound->equalmatrix(row));
    EXPECT_TRUE(unbound->lesssingle(0));
    double values[2] = {5, 1};
    double* holed[2] = {values, nullptr};
    CQXVariable* view = fresh();
    view->setView_intern(2, 2, holed);
    EXPECT_TRUE(view->equalmatrix(make(2, 2, {5, 1, 7, 7})));
    EXPECT_TRUE(view->moresingle(0.5));
    EXPECT_FALSE(view->moresingle(1));
}
