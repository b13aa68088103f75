// Unit tests of the variable's arithmetic and logic kernels: the substitutes of the smart-error
// option, the power and modulo rules, stepping at the bounds of every element type, the matrix
// product, and operands of mixed element types.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

const double kNaN = std::nan("");

class ArithTest : public ::testing::Test {
protected:
    // A rows x cols variable of the type, filled row by row from values (the rest stays 0).
    CQXVariable& make(int rows, int cols, eDataType type, std::vector<double> values = {}) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable& v = *m_Vars.back();
        v.initialize("", rows, cols, type);
        for (std::size_t k = 0; k < values.size(); ++k) {
            v.setData_intern(static_cast<int>(k) / cols, static_cast<int>(k) % cols, values[k]);
        }
        return v;
    }
    static std::vector<double> all(const CQXVariable& v) {
        std::vector<double> out;
        for (int i = 0; i < v.getRows(); ++i) {
            for (int j = 0; j < v.getCols(); ++j) out.push_back(v.getData_intern(i, j));
        }
        return out;
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

using V = std::vector<double>;

}  // namespace

TEST_F(ArithTest, ScalarKernelsReadEveryElementTypeAsItsValue) {
    CQXVariable& r = make(1, 4, edtDOUBLE);
    CQXVariable& bytes = make(1, 4, edtBYTE, {0, 200, 255, 7});
    r.negate(&bytes);
    EXPECT_EQ((V{-0.0, -200, -255, -7}), all(r));
    r.subsingle(1, &make(1, 4, edtSHORT, {0, 65535, 1, 2}));
    EXPECT_EQ((V{-1, 65534, 0, 1}), all(r));
    r.mulsingle(2, &make(1, 4, edtINT, {INT_MIN, INT_MAX, -3, 0}));
    EXPECT_EQ((V{2.0 * INT_MIN, 2.0 * INT_MAX, -6, 0}), all(r));
    r.addsingle(0, &make(1, 4, edtFLOAT, {0.1, -1.5, 3, FLT_MAX}));
    EXPECT_EQ((V{double(0.1f), -1.5, 3, FLT_MAX}), all(r));
}

TEST_F(ArithTest, DivisionByZeroFailsOrFillsWithTheLargestDouble) {
    CQXVariable& a = make(1, 2, edtINT, {6, -3});
    CQXVariable& r = make(1, 2, edtDOUBLE, {9, 9});
    m_Shared.m_bSmartError = false;
    EXPECT_FALSE(r.divsingle(0, &a));
    EXPECT_EQ((V{9, 9}), all(r));
    EXPECT_FALSE(r.divsingle(-0.0, &a));
    EXPECT_TRUE(r.divsingle(2, &a));
    EXPECT_EQ((V{3, -1.5}), all(r));
    m_Shared.m_bSmartError = true;
    EXPECT_TRUE(r.divsingle(0, &a));
    EXPECT_EQ((V{DBL_MAX, DBL_MAX}), all(r));
    // NaN is not zero: it divides.
    EXPECT_TRUE(r.divsingle(kNaN, &a));
    EXPECT_TRUE(std::isnan(r.getData_intern(0, 0)));
}

TEST_F(ArithTest, PowerFollowsTheUndefinedCaseRulesOfBothModes) {
    struct Case {
        double e, x;
        bool smart, ok;
        double result;  // 99 stands for "R(0, 0) unchanged"
    };
    const double inf = HUGE_VAL;
    const Case cases[] = {
        {0.5, -4, false, false, 99},    {0.5, -4, true, true, 0},
        {3, -2, false, true, -8},       {3, -2, true, true, -8},
        {0, 0, false, false, 99},       {0, 0, true, true, 1},
        {2, 0, true, true, 0},          {0, 5, false, true, 1},
        {400, 10, false, false, inf},   {400, 10, true, true, DBL_MAX},
        {3, -1e200, false, true, -inf}, {3, -1e200, true, true, -inf},
        {-1, 0, false, false, inf},     {-1, 0, true, true, DBL_MAX},
        {2, -3, false, true, 9},
    };
    for (const Case& c : cases) {
        m_Shared.m_bSmartError = c.smart;
        CQXVariable& r = make(2, 2, edtDOUBLE, {99, 5, 5, 5});
        EXPECT_EQ(c.ok, r.powersingle(c.e, c.x)) << c.x << "^" << c.e << " smart " << c.smart;
        EXPECT_EQ((V{c.result, 5, 5, 5}), all(r)) << c.x << "^" << c.e << " smart " << c.smart;
    }
}

TEST_F(ArithTest, ModuloKeepsTheDividendsSignAndStaysInsideBothShapes) {
    CQXVariable& a = make(1, 3, edtINT, {-7, 7, 8});
    CQXVariable& r = make(1, 3, edtDOUBLE, {5, 5, 5});
    EXPECT_TRUE(r.modulosingle(3, &a));
    EXPECT_EQ((V{-1, 1, 2}), all(r));
    m_Shared.m_bSmartError = false;
    EXPECT_FALSE(r.modulosingle(0, &a));
    EXPECT_EQ((V{-1, 1, 2}), all(r));
    m_Shared.m_bSmartError = true;
    CQXVariable& wide = make(2, 3, edtDOUBLE, {5, 5, 5, 5, 5, 5});
    EXPECT_TRUE(wide.modulosingle(0, &a));
    EXPECT_EQ((V{0, 0, 0, 0, 0, 0}), all(wide));
    // R is not sized for modulo: a 1x1 R takes fmod of a(0, 0), a larger R only what a covers.
    CQXVariable& single = make(1, 1, edtDOUBLE);
    EXPECT_TRUE(single.modulosingle(5, &a));
    EXPECT_EQ((V{-2}), all(single));
    CQXVariable& big = make(2, 4, edtDOUBLE, {9, 9, 9, 9, 9, 9, 9, 9});
    EXPECT_TRUE(big.modulosingle(5, &a));
    EXPECT_EQ((V{-2, 2, 3, 9, 9, 9, 9, 9}), all(big));
}

TEST_F(ArithTest, IncAndDecWrapWithClippingOffAndStopAtTheBoundsWithClippingOn) {
    struct Case {
        eDataType type;
        double lo, hi;
    };
    const Case cases[] = {{edtBYTE, 0, 255},
                          {edtSHORT, 0, 65535},
                          {edtINT, INT_MIN, INT_MAX},
                          {edtFLOAT, -FLT_MAX, FLT_MAX},
                          {edtDOUBLE, -DBL_MAX, DBL_MAX}};
    const bool wraps[] = {true, true, true, false, false};
    for (int t = 0; t < 5; ++t) {
        const Case& c = cases[t];
        for (bool clip : {false, true}) {
            m_Shared.m_bClipping = clip;
            CQXVariable& up = make(1, 3, c.type, {c.hi, c.lo, 10});
            up.inc();
            const double upHi = clip || !wraps[t] ? c.hi : c.lo;
            EXPECT_EQ((V{upHi, c.lo + 1, 11}), all(up)) << "inc type " << c.type << " " << clip;
            CQXVariable& down = make(1, 3, c.type, {c.hi, c.lo, 10});
            down.dec();
            const double downLo = clip || !wraps[t] ? c.lo : c.hi;
            EXPECT_EQ((V{c.hi - 1, downLo, 9}), all(down)) << "dec type " << c.type << " " << clip;
        }
    }
    // NaN stays NaN in both floating types; infinities stay where they are.
    m_Shared.m_bClipping = true;
    CQXVariable& f = make(1, 2, edtFLOAT, {kNaN, HUGE_VAL});
    f.inc();
    EXPECT_TRUE(std::isnan(f.getData_intern(0, 0)));
    EXPECT_EQ(HUGE_VAL, f.getData_intern(0, 1));
}

TEST_F(ArithTest, MatrixProductSumsFromZeroInOrder) {
    // Mixed element types and operand layouts are pinned by the product path tests.
    // 0 + 1e16 + 1 - 1e16 is 0 in that order of summation (1 is lost to rounding).
    CQXVariable& row = make(1, 3, edtDOUBLE, {1e16, 1, -1e16});
    CQXVariable& ones = make(3, 1, edtINT, {1, 1, 1});
    CQXVariable& sum = make(1, 1, edtDOUBLE);
    sum.mulmatrix(&ones, &row);
    EXPECT_EQ(0.0, sum.getData_intern(0, 0));
    // A result that is also the right operand still receives the true product.
    CQXVariable& n = make(2, 2, edtDOUBLE, {5, 6, 7, 8});
    CQXVariable& p = make(2, 2, edtDOUBLE, {1, 2, 3, 4});
    n.mulmatrix(&n, &p);
    EXPECT_EQ((V{19, 22, 43, 50}), all(n));
}

TEST_F(ArithTest, LogicalKernelsCountNaNAsTrueAndXorComparesValues) {
    CQXVariable& a = make(1, 5, edtDOUBLE, {0, 1, 2, kNaN, 0});
    CQXVariable& b = make(1, 5, edtSHORT, {0, 2, 2, 0, 3});
    CQXVariable& r = make(1, 5, edtDOUBLE);
    r.elementand(&b, &a);
    EXPECT_EQ((V{0, 1, 1, 0, 0}), all(r));
    r.elementor(&b, &a);
    EXPECT_EQ((V{0, 1, 1, 1, 1}), all(r));
    r.elementxor(&b, &a);
    EXPECT_EQ((V{0, 1, 0, 1, 1}), all(r));
}

TEST_F(ArithTest, KernelsStayInsideStorageAndSkipAbsentStorage) {
    // Mismatched shapes write only the common part.
    CQXVariable& small = make(2, 2, edtDOUBLE, {1, 2, 3, 4});
    CQXVariable& r = make(3, 3, edtDOUBLE, {9, 9, 9, 9, 9, 9, 9, 9, 9});
    r.addmatrix(&r, &small);
    EXPECT_EQ((V{10, 11, 9, 12, 13, 9, 9, 9, 9}), all(r));
    CQXVariable& tiny = make(1, 1, edtDOUBLE, {2});
    tiny.elementmul(&r, &small);
    EXPECT_EQ((V{10}), all(tiny));
    r.mulmatrix(&make(3, 1, edtDOUBLE, {1, 1, 1}), &small);  // inner sizes 2 and 3
    EXPECT_EQ((V{3, 11, 9, 7, 13, 9, 9, 9, 9}), all(r));
    // A result without double storage, or an operand without storage, is left alone.
    CQXVariable& ints = make(1, 2, edtINT, {5, 6});
    ints.negate(&small);
    ints.mulmatrix(&small, &small);
    EXPECT_TRUE(ints.divsingle(0, &small));
    EXPECT_EQ((V{5, 6}), all(ints));
    CQXVariable none(&m_Shared);
    tiny.negate(&none);
    tiny.addmatrix(&none, &small);
    tiny.negate(nullptr);
    EXPECT_EQ((V{10}), all(tiny));
    none.inc();
    m_Shared.m_bSmartError = false;
    EXPECT_FALSE(none.powersingle(0.5, -1));
    EXPECT_TRUE(none.powersingle(2, 3));
}
