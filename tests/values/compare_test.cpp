// Unit tests of the variable's comparisons: all-elements semantics, the NaN rules, empty and
// storage-less matrices, operands of different shapes, and unsigned elements widened to double.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

const double kNaN = std::nan("");

class CompareTest : public ::testing::Test {
protected:
    CQXVariable& make(int rows, int cols, eDataType type, std::vector<double> values = {}) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable& v = *m_Vars.back();
        v.initialize("", rows, cols, type);
        for (std::size_t k = 0; k < values.size(); ++k) {
            v.setData_intern(static_cast<int>(k) / cols, static_cast<int>(k) % cols, values[k]);
        }
        return v;
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

}  // namespace

TEST_F(CompareTest, ScalarRelationsHoldOnlyWhenEveryElementHolds) {
    CQXVariable& m = make(1, 3, edtDOUBLE, {1, 2, 3});
    EXPECT_TRUE(m.lesssingle(4));
    EXPECT_FALSE(m.lesssingle(3));
    EXPECT_TRUE(m.lessequalsingle(3));
    EXPECT_TRUE(m.moresingle(0));
    EXPECT_FALSE(m.moresingle(1));
    EXPECT_TRUE(m.moreequalsingle(1));
    EXPECT_FALSE(m.equalsingle(1));
    EXPECT_FALSE(make(1, 3, edtDOUBLE, {1, 5, 3}).lesssingle(4));
    // A condition is false exactly when every element is 0.
    EXPECT_TRUE(make(2, 2, edtINT).equalsingle(0));
    EXPECT_FALSE(make(2, 2, edtINT, {0, 0, 0, -1}).equalsingle(0));
}

TEST_F(CompareTest, NaNBreaksEqualityButNoOrdering) {
    CQXVariable& nan = make(1, 2, edtDOUBLE, {kNaN, kNaN});
    for (double v : {0.0, 1.0, kNaN}) {
        EXPECT_FALSE(nan.equalsingle(v));
        EXPECT_TRUE(nan.lesssingle(v));
        EXPECT_TRUE(nan.lessequalsingle(v));
        EXPECT_TRUE(nan.moresingle(v));
        EXPECT_TRUE(nan.moreequalsingle(v));
    }
    // A NaN matrix is less than every value, and yet a NaN beside a violating pair fails.
    EXPECT_FALSE(make(1, 2, edtDOUBLE, {kNaN, 1}).lesssingle(0));
    CQXVariable& ones = make(1, 2, edtFLOAT, {1, 1});
    EXPECT_FALSE(ones.equalmatrix(&nan));
    EXPECT_FALSE(nan.equalmatrix(&nan));
    EXPECT_TRUE(ones.lessmatrix(&nan));
    EXPECT_TRUE(nan.morematrix(&ones));
}

TEST_F(CompareTest, MatrixRelationsPairElementsOfAnyTypes) {
    CQXVariable& a = make(2, 2, edtBYTE, {1, 2, 3, 4});
    CQXVariable& b = make(2, 2, edtDOUBLE, {1, 2, 3, 4});
    CQXVariable& c = make(2, 2, edtINT, {2, 3, 4, 4});
    EXPECT_TRUE(a.equalmatrix(&b));
    EXPECT_FALSE(a.equalmatrix(&c));
    EXPECT_FALSE(a.lessmatrix(&c));  // the last pair is equal
    EXPECT_TRUE(a.lessequalmatrix(&c));
    EXPECT_TRUE(c.moreequalmatrix(&a));
    EXPECT_FALSE(c.morematrix(&a));
    EXPECT_TRUE(make(2, 2, edtSHORT, {5, 5, 5, 5}).morematrix(&c));
}

TEST_F(CompareTest, UnsignedElementsCompareAsTheirWidenedValues) {
    EXPECT_TRUE(make(1, 1, edtBYTE, {200}).moresingle(199.5));
    EXPECT_TRUE(make(1, 1, edtSHORT, {65535}).moresingle(65534.5));
    EXPECT_TRUE(make(1, 1, edtBYTE, {200}).morematrix(&make(1, 1, edtINT, {-1})));
    EXPECT_TRUE(make(1, 1, edtINT, {-1}).lessmatrix(&make(1, 1, edtSHORT, {65535})));
}

TEST_F(CompareTest, EmptyOrStoragelessMatricesHoldEveryRelation) {
    CQXVariable fresh(&m_Shared);
    CQXVariable& noRows = make(0, 3, edtDOUBLE);
    CQXVariable& other = make(2, 2, edtDOUBLE, {1, 2, 3, 4});
    for (CQXVariable* m : {&fresh, &noRows}) {
        EXPECT_TRUE(m->equalsingle(kNaN));
        EXPECT_TRUE(m->lesssingle(0));
        EXPECT_TRUE(m->moresingle(0));
        EXPECT_TRUE(m->equalmatrix(&other));
        EXPECT_TRUE(m->lessmatrix(nullptr));
    }
}

TEST_F(CompareTest, DifferentShapesAreNeverRelated) {
    CQXVariable& row = make(1, 2, edtDOUBLE, {1, 2});
    CQXVariable& column = make(2, 1, edtDOUBLE, {1, 2});
    CQXVariable& longer = make(1, 3, edtDOUBLE, {1, 2, 3});
    CQXVariable fresh(&m_Shared);
    EXPECT_FALSE(row.equalmatrix(&column));
    EXPECT_FALSE(row.equalmatrix(&longer));
    EXPECT_FALSE(longer.lessequalmatrix(&row));
    EXPECT_FALSE(row.moreequalmatrix(&fresh));
    EXPECT_FALSE(row.equalmatrix(nullptr));
    EXPECT_TRUE(row.equalmatrix(&make(1, 2, edtBYTE, {1, 2})));
}
