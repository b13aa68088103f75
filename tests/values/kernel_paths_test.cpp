// Tests of the typed kernel paths of CQXVariable: the element-wise kernels and the copy with
// clipping for every pair of element types must equal the element-by-element definition bit for
// bit, the modulo's integer shortcut must equal fmod, and the blocked matrix product must equal
// the simple sum on integer-valued matrices whatever the layout of the row arrays.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/product_internal.h"
#include "qx/values/scalar_math_internal.h"
#include "qx/values/variable.h"

namespace {

const eDataType kTypes[] = {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE};

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

class KernelPathTest : public ::testing::Test {
protected:
    CQXVariable* make(int rows, int cols, eDataType type, eVariableState state = vsOWNED) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable* v = m_Vars.back().get();
        v->initialize("", rows, cols, type);
        v->setVarState(state);
        return v;
    }
    // Values that every type holds as written: small integers, with fractions, negatives and
    // zeros where the type has them (every seventh element is 0).
    static double sample(eDataType type, int i, int j, int salt) {
        const int k = i * 31 + j * 7 + salt;
        if (k % 7 == 0) return 0.0;
        double v = static_cast<double>(k % 200);
        if (type == edtINT || type == edtFLOAT || type == edtDOUBLE) v -= 90.0;
        if (type == edtFLOAT || type == edtDOUBLE) v += 0.25 * (k % 4);
        return v;
    }
    CQXVariable* filled(int rows, int cols, eDataType type, int salt) {
        CQXVariable* v = make(rows, cols, type);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) v->setData_intern(i, j, sample(type, i, j, salt));
        return v;
    }
    // Expects r(i, j) == f(a(i, j), b(i, j)) bit for bit over a's shape.
    template <class F>
    void expectElementwise(const CQXVariable* r, const CQXVariable* a, const CQXVariable* b, F f) {
        for (int i = 0; i < a->getRows(); ++i)
            for (int j = 0; j < a->getCols(); ++j)
                ASSERT_EQ(bitsOf(r->getData_intern(i, j)),
                          bitsOf(f(a->getData_intern(i, j), b->getData_intern(i, j))))
                    << "types " << a->getDataType() << "," << b->getDataType() << " at " << i << ","
                    << j;
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

TEST_F(KernelPathTest, ElementwiseKernelsMatchTheElementDefinitionForEveryTypePair) {
    // 3 x 19: rows of odd length, so vectorised loops also run their remainders.
    for (eDataType ta : kTypes) {
        for (eDataType tb : kTypes) {
            CQXVariable* a = filled(3, 19, ta, 1);
            CQXVariable* b = filled(3, 19, tb, 3);
            CQXVariable* r = make(3, 19, edtDOUBLE);
            r->addmatrix(b, a);
            expectElementwise(r, a, b, [](double x, double y) { return x + y; });
            r->submatrix(b, a);
            expectElementwise(r, a, b, [](double x, double y) { return x - y; });
            r->elementmul(b, a);
            expectElementwise(r, a, b, [](double x, double y) { return x * y; });
            EXPECT_TRUE(r->elementdiv(b, a));
            expectElementwise(r, a, b,
                              [](double x, double y) { return y != 0.0 ? x / y : DBL_MAX; });
            r->elementand(b, a);
            expectElementwise(r, a, b,
                              [](double x, double y) { return x != 0 && y != 0 ? 1.0 : 0.0; });
            r->elementor(b, a);
            expectElementwise(r, a, b,
                              [](double x, double y) { return x != 0 || y != 0 ? 1.0 : 0.0; });
            r->elementxor(b, a);
            expectElementwise(r, a, b, [](double x, double y) { return x != y ? 1.0 : 0.0; });
            r->mulsingle(-1.5, a);
            expectElementwise(r, a, b, [](double x, double) { return x * -1.5; });
            r->modulosingle(-4.0, a);
            expectElementwise(r, a, b, [](double x, double) { return std::fmod(x, -4.0); });
        }
    }
}

// With smart error off the division stops at the first zero divisor, in row-major order, and
// keeps what it wrote before it.
TEST_F(KernelPathTest, ElementDivisionWithoutSmartErrorStopsAtTheFirstZeroDivisor) {
    m_Shared.m_bSmartError = false;
    CQXVariable* a = filled(2, 5, edtDOUBLE, 1);
    CQXVariable* b = make(2, 5, edtINT);
    b->setsingle(2);
    b->setData_intern(1, 2, 0);
    CQXVariable* r = make(2, 5, edtDOUBLE);
    r->setsingle(-1);
    EXPECT_FALSE(r->elementdiv(b, a));
    for (int k = 0; k < 10; ++k) {
        const int i = k / 5, j = k % 5;
        const double expected = k < 7 ? a->getData_intern(i, j) / 2 : -1.0;
        EXPECT_EQ(r->getData_intern(i, j), expected) << k;
    }
}

// The whole-matrix copy converts each pair of types as storing the element alone does.
TEST_F(KernelPathTest, MatrixCopyClipsLikeSingleStoresForEveryTypePair) {
    const double values[] = {-1e40, -70000, -1.5, -0.0, 0.7, 255.5, 300, 65536, 3e9, 1e40};
    for (bool clip : {true, false}) {
        m_Shared.m_bClipping = clip;
        for (eDataType ts : kTypes) {
            CQXVariable* src = make(1, 10, ts);
            for (int j = 0; j < 10; ++j) src->setData_intern(0, j, values[j]);
            for (eDataType td : kTypes) {
                CQXVariable* dst = make(1, 10, td);
                dst->setmatrix(src);
                CQXVariable* one = make(1, 1, td);
                for (int j = 0; j < 10; ++j) {
                    one->setsingle(src->getData_intern(0, j));
                    EXPECT_EQ(bitsOf(dst->getData_intern(0, j)), bitsOf(one->getData_intern(0, 0)))
                        << "from " << ts << " to " << td << " value " << values[j];
                }
            }
        }
    }
}

TEST(KernelPathFmodTest, IntegerShortcutEqualsFmodBitForBit) {
    const double inf = std::numeric_limits<double>::infinity();
    // 2^53 - 1 is the largest whole number of the shortcut; 2^53 and beyond go to fmod.
    const double xs[] = {0.0,
                         -0.0,
                         7,
                         -7,
                         6,
                         -6,
                         2147483647,
                         -2147483647,
                         2147483648.0,
                         -2147483648.0,
                         1e10,
                         2.5,
                         -2.5,
                         inf,
                         -inf,
                         std::nan(""),
                         9007199254740991.0,
                         -9007199254740991.0,
                         9007199254740992.0,
                         -9007199254740992.0,
                         1e15 + 1,
                         -1e15 - 1,
                         1e300};
    const double ss[] = {3,
                         -3,
                         1,
                         -1,
                         7,
                         2147483647,
                         -2147483647,
                         2147483648.0,
                         0.5,
                         1e10,
                         inf,
                         -inf,
                         std::nan(""),
                         9007199254740991.0,
                         -9007199254740992.0,
                         4294967296.0 * 3 + 1};
    for (double x : xs)
        for (double s : ss)
            EXPECT_EQ(bitsOf(qxmath::fmodExact(x, s)), bitsOf(std::fmod(x, s))) << x << " % " << s;
    // Whole numbers of every magnitude up to 2^53, with divisors small and large.
    std::uint64_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double x = static_cast<double>(static_cast<std::int64_t>(state) >> (11 + i % 50));
        const double s =
            static_cast<double>(static_cast<std::int64_t>(state << 7) >> (11 + i % 52));
        if (s == 0) continue;
        ASSERT_EQ(bitsOf(qxmath::fmodExact(x, s)), bitsOf(std::fmod(x, s))) << x << " % " << s;
    }
}

// Integer-valued products are exact in both kernels, so they must agree exactly.
class ProductPathTest : public KernelPathTest {
protected:
    // Integer values in -8 .. 8 stored in the given type (the unsigned types get 0 .. 16).
    CQXVariable* integers(int rows, int cols, eDataType type, int salt) {
        CQXVariable* v = make(rows, cols, type);
        const int shift = (type == edtBYTE || type == edtSHORT) ? 0 : 8;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                v->setData_intern(i, j, (i * 5 + j * 3 + salt) % 17 - shift);
        return v;
    }
    // The simple sum over the elements as doubles.
    static std::vector<double> naive(const CQXVariable* a, const CQXVariable* b) {
        std::vector<double> out(static_cast<size_t>(a->getRows()) * b->getCols(), 0.0);
        for (int i = 0; i < a->getRows(); ++i)
            for (int j = 0; j < b->getCols(); ++j)
                for (int k = 0; k < a->getCols(); ++k)
                    out[static_cast<size_t>(i) * b->getCols() + j] +=
                        a->getData_intern(i, k) * b->getData_intern(k, j);
        return out;
    }
    void expectProduct(const CQXVariable* a, const CQXVariable* b) {
        CQXVariable* r = make(a->getRows(), b->getCols(), edtDOUBLE);
        r->mulmatrix(b, a);
        const std::vector<double> expected = naive(a, b);
        for (int i = 0; i < r->getRows(); ++i)
            for (int j = 0; j < r->getCols(); ++j)
                ASSERT_EQ(r->getData_intern(i, j),
                          expected[static_cast<size_t>(i) * r->getCols() + j])
                    << i << "," << j;
    }
};

TEST_F(ProductPathTest, BlockedProductEqualsTheSimpleSumForEveryOperandLayout) {
    ASSERT_TRUE(qxproduct::worthBlocking(20, 33, 17));
    // Contiguous doubles, and every element type.
    for (eDataType ta : kTypes)
        for (eDataType tb : kTypes) expectProduct(integers(20, 33, ta, 1), integers(33, 17, tb, 2));
    // Rows in separate places (row array not uniform): the operands are packed.
    CQXVariable* a = integers(24, 24, edtDOUBLE, 3);
    std::vector<std::vector<double>> rows(24, std::vector<double>(24));
    std::vector<double*> rowPtrs(24);
    for (int i = 0; i < 24; ++i) {
        rowPtrs[i] = rows[23 - i].data();
        for (int j = 0; j < 24; ++j) rowPtrs[i][j] = a->getData_intern(i, j);
    }
    CQXVariable* scattered = make(1, 1, edtDOUBLE, vsREFERENCE);
    scattered->setView_intern(24, 24, rowPtrs.data());
    expectProduct(scattered, integers(24, 16, edtDOUBLE, 4));
    expectProduct(integers(16, 24, edtINT, 5), scattered);
}

// A range view of a larger matrix has rows at a stride wider than its columns.
TEST_F(ProductPathTest, BlockedProductReadsRangeViewsAtTheirStride) {
    CQXVariable* big = integers(40, 50, edtDOUBLE, 6);
    std::vector<double*> viewRows(30);
    big->getRangePtr(5, 30, 7, viewRows.data());
    CQXVariable* view = make(1, 1, edtDOUBLE, vsREFERENCE);
    view->setView_intern(30, 20, viewRows.data());
    expectProduct(view, integers(20, 12, edtDOUBLE, 7));
    expectProduct(integers(12, 30, edtFLOAT, 8), view);
}

// A result that shares storage with an operand is computed from the old values.
TEST_F(ProductPathTest, ProductIntoItsOwnOperandUsesTheOldValues) {
    CQXVariable* a = integers(20, 20, edtDOUBLE, 9);
    CQXVariable* copy = make(20, 20, edtDOUBLE);
    copy->setmatrix(a);
    CQXVariable* b = integers(20, 20, edtDOUBLE, 10);
    const std::vector<double> expected = naive(copy, b);
    a->mulmatrix(b, a);
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j) ASSERT_EQ(a->getData_intern(i, j), expected[i * 20 + j]);
}

// A row that a host row array leaves absent is skipped as in the simple kernel: the result row
// stays zero (for a) and the absent row of b contributes nothing.
TEST_F(ProductPathTest, AbsentRowsAreSkippedAsInTheSimpleKernel) {
    CQXVariable* full = integers(20, 20, edtDOUBLE, 11);
    std::vector<double*> rowPtrs(20);
    for (int i = 0; i < 20; ++i) rowPtrs[i] = full->getDoublePtr_intern()[i];
    rowPtrs[4] = nullptr;
    CQXVariable* holed = make(1, 1, edtDOUBLE, vsREFERENCE);
    holed->setView_intern(20, 20, rowPtrs.data());
    CQXVariable* b = integers(20, 20, edtDOUBLE, 12);
    CQXVariable* r = make(20, 20, edtDOUBLE);
    r->mulmatrix(b, holed);
    for (int j = 0; j < 20; ++j) EXPECT_EQ(r->getData_intern(4, j), 0.0);
    CQXVariable* r2 = make(20, 20, edtDOUBLE);
    r2->mulmatrix(holed, b);
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 20; ++j) {
            double sum = 0;
            for (int k = 0; k < 20; ++k)
                if (k != 4) sum += b->getData_intern(i, k) * full->getData_intern(k, j);
            ASSERT_EQ(r2->getData_intern(i, j), sum);
        }
    }
}

}  // namespace
