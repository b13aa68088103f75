// The routines on variables beneath the methods and the linear-algebra functions, called as a host
// may call them: results go only into double storage that is there and has the shape, failures
// write nothing; and the dense-matrix layer beneath them. Script results are golden scripts.
#include "qx/functions/calculation_routines.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <new>
#include <utility>

#include "qx/functions/linalg_numeric_internal.h"
#include "tests/support/matrix.h"

namespace {

using qxtest::Values;

class CalculationTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXCalculation calc{&m_Shared};
};

}  // namespace

TEST_F(CalculationTest, ResultsGoOnlyIntoStorageThatIsThere) {
    CQXVariable* a = make(1, 3, {1, 2, 4});
    CQXVariable* none = fresh();
    calc.median(a, none);
    calc.std(a, none);
    calc.variance(a, none);
    EXPECT_TRUE(calc.determinant(make(1, 1, {3}), none));
    EXPECT_TRUE(calc.rank(make(1, 1, {3}), none));
    EXPECT_FALSE(none->isInitialized());
    // The median writes only double storage; std and variance store their value into any type.
    CQXVariable* asInt = make(1, 1, {9}, edtINT);
    calc.median(a, asInt);
    EXPECT_EQ(asInt->getData(0, 0), 9.0);
    calc.std(make(1, 2, {0, 6}), asInt);
    EXPECT_EQ(asInt->getData(0, 0), 3.0);
    // Nothing has a middle or a spread.
    CQXVariable* r = make(1, 1);
    calc.median(fresh(), r);
    EXPECT_TRUE(std::isnan(r->getData(0, 0)));
    calc.std(make(0, 3), r);
    EXPECT_TRUE(std::isnan(r->getData(0, 0)));
}

TEST_F(CalculationTest, FailuresAndResultsThatCannotHoldTheValuesWriteNothing) {
    CQXVariable* r = make(2, 2, {9, 9, 9, 9});
    for (CQXVariable* a : {make(2, 3), make(3, 2), fresh()}) {
        EXPECT_FALSE(calc.determinant(a, r));
        EXPECT_FALSE(calc.rank(a, r));
        EXPECT_EQ(calc.inverse(a, r), isEXCEPTION);
        EXPECT_EQ(calc.eigens(a, r, r), isEXCEPTION);
    }
    CQXVariable* regular = make(2, 2, {2, 0, 0, 4});
    EXPECT_EQ(calc.inverse(make(2, 2, {1, 2, 2, 4}), r), isEXCEPTION);
    EXPECT_EQ(calc.inverse(regular, make(1, 2)), isEXCEPTION);
    EXPECT_EQ(calc.inverse(regular, make(2, 2, {}, edtINT)), isEXCEPTION);
    EXPECT_EQ(calc.eigens(regular, r, make(1, 2)), isEXCEPTION);
    EXPECT_EQ(calc.eigens(regular, make(2, 1), r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, make(3, 3), r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, make(2, 3), r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(make(2, 1), regular, r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, regular, r, make(2, 1)), isEXCEPTION);
    EXPECT_EQ(qxtest::elements(*r), (Values{9, 9, 9, 9}));
    // Results larger than needed take the values in their top left corner.
    CQXVariable* big = make(3, 3);
    ASSERT_EQ(calc.eigena(regular, make(2, 2, {1, 0, 0, 1}), big, big), isOK);
    EXPECT_EQ(qxtest::elements(*big), (Values{2, 0, 0, 0, 4, 0, 0, 0, 0}));
}

TEST_F(CalculationTest, FillsAndTransposeWriteOnlyDoubleResultsOfTheRightShape) {
    CQXVariable* r = make(2, 3, {5, 5, 5, 5, 5, 5});
    calc.identity(r);
    EXPECT_EQ(qxtest::elements(*r), (Values{1, 0, 0, 0, 1, 0}));
    calc.ones(r);
    EXPECT_EQ(qxtest::elements(*r), Values(6, 1.0));
    // Into itself: every element is read before any is written.
    CQXVariable* t = make(2, 2, {1, 2, 3, 4});
    calc.transpose(t, t);
    EXPECT_EQ(qxtest::elements(*t), (Values{1, 3, 2, 4}));
    // A byte result, or one of the wrong shape, is left alone.
    CQXVariable* bytes = make(2, 2, {1, 2, 3, 4}, edtBYTE);
    calc.identity(bytes);
    calc.ones(bytes);
    calc.transpose(r, t);
    calc.transpose(make(3, 1), t);
    EXPECT_EQ(qxtest::elements(*bytes), (Values{1, 2, 3, 4}));
    EXPECT_EQ(qxtest::elements(*t), (Values{1, 3, 2, 4}));
}

TEST(DenseMatrixTest, StorageAndRoutinesRefuseWhatTheyCannotHold) {
    qxla::TMatrix m(2, 2);
    m.m_ppData[0][0] = 1.0;
    m.m_ppData[1][1] = 1e-6;
    // A positive tolerance is relative to the largest pivot.
    EXPECT_EQ(qxla::Rang(m, 0.0), 2);
    EXPECT_EQ(qxla::Rang(m, 1e-3), 1);
    qxla::TMatrix copy(m);
    m.m_ppData[1][1] = 5.0;
    EXPECT_EQ(copy.m_ppData[1][1], 1e-6);
    // Reordering the row table (as a pivoting routine may) must not disturb the release.
    std::swap(copy.m_ppData[0], copy.m_ppData[1]);
    EXPECT_THROW(qxla::TMatrix(INT_MAX, INT_MAX), std::bad_alloc);
    EXPECT_EQ(qxla::TMatrix(0, 5).m_ppData, nullptr);
    EXPECT_EQ(qxla::TMatrix(5, 0).m_ppData, nullptr);
    EXPECT_EQ(qxla::Rang(qxla::TMatrix(), 0.0), -1);
    double* rows[2] = {nullptr, nullptr};
    EXPECT_TRUE(std::isnan(qxla::det(2, rows)));
    EXPECT_TRUE(std::isnan(qxla::det(0, rows)));
}

TEST(DenseMatrixTest, GeneralizedSolverEndsOnPencilsSpanningTheDoubleRange) {
    // A QZ iteration never finished on this pencil: its deflation test underflows.
    const double a[4][4] = {
        {-1, -2, 5e-324, 1e-300}, {1e-300, -2, 0, -2}, {-1e308, -1, 1, 0}, {-1, 2, 1e-300, 2}};
    const double b[4][4] = {{3, -1, 1e308, -2}, {-2, 1e-300, 1, 1}, {-2, 1, 2, 0}, {3, 3, 2, 2}};
    qxla::TMatrix ma(4, 4), mb(4, 4), values;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            ma.m_ppData[r][c] = a[r][c];
            mb.m_ppData[r][c] = b[r][c];
        }
    }
    const qxla::TMatrix vectors = qxla::EigenA(ma, mb, values);
    EXPECT_EQ(vectors.m_Rows == 0, values.m_Rows == 0);
}
