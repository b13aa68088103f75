// Tests of the typed kernel paths of CQXVariable: the element-wise kernels and the copy with
// clipping for every pair of element types must equal the element-by-element definition bit for
// bit, the modulo's integer shortcut must equal fmod, and the blocked matrix product must equal
// the simple sum on integer-valued matrices whatever the layout of the row arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "qx/values/product_internal.h"
#include "qx/values/scalar_math_internal.h"
#include "tests/support/matrix.h"

namespace {

const eDataType kTypes[] = {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE};

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

class KernelPathTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    // Values every type holds as written: small integers, with fractions, negatives and zeros
    // where the type has them (every seventh element is 0).
    CQXVariable* filled(int rows, int cols, eDataType type, int salt) {
        CQXVariable* v = make(rows, cols, {}, type);
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                const int k = i * 31 + j * 7 + salt;
                double x = 0.0;
                if (k % 7 != 0) {
                    x = k % 200;
                    if (type >= edtINT) x -= 90.0;
                    if (type >= edtFLOAT) x += 0.25 * (k % 4);
                }
                v->setData_intern(i, j, x);
            }
        }
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
    // Integer values in -8 .. 8 (0 .. 16 in the unsigned types).
    CQXVariable* integers(int rows, int cols, eDataType type, int salt) {
        CQXVariable* v = make(rows, cols, {}, type);
        const int shift = type <= edtSHORT ? 0 : 8;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                v->setData_intern(i, j, (i * 5 + j * 3 + salt) % 17 - shift);
        return v;
    }
    // Expects a * b to equal the simple sum over the elements as doubles (exact for integers).
    void expectProduct(const CQXVariable* a, const CQXVariable* b) {
        CQXVariable* r = make(a->getRows(), b->getCols());
        r->mulmatrix(b, a);
        for (int i = 0; i < r->getRows(); ++i) {
            for (int j = 0; j < r->getCols(); ++j) {
                double sum = 0;
                for (int k = 0; k < a->getCols(); ++k)
                    sum += a->getData_intern(i, k) * b->getData_intern(k, j);
                ASSERT_EQ(r->getData_intern(i, j), sum) << i << "," << j;
            }
        }
    }
    // A view of the rows of `rows`, each cols wide.
    CQXVariable* viewOf(std::vector<double*>& rows, int cols) {
        CQXVariable* v = fresh();
        v->setView_intern(static_cast<int>(rows.size()), cols, rows.data());
        return v;
    }
};

TEST_F(KernelPathTest, ElementwiseKernelsMatchTheElementDefinitionForEveryTypePair) {
    // 3 x 19: rows of odd length, so vectorised loops also run their remainders.
    for (eDataType ta : kTypes) {
        for (eDataType tb : kTypes) {
            CQXVariable* a = filled(3, 19, ta, 1);
            CQXVariable* b = filled(3, 19, tb, 3);
            CQXVariable* r = make(3, 19);
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
    CQXVariable* b = make(2, 5, qxtest::Values(10, 2.0), edtINT);
    b->setData_intern(1, 2, 0);
    CQXVariable* r = make(2, 5, qxtest::Values(10, -1.0));
    EXPECT_FALSE(r->elementdiv(b, a));
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(r->getData_intern(k / 5, k % 5), k < 7 ? a->getData_intern(k / 5, k % 5) / 2 : -1)
            << k;
}

// The whole-matrix copy converts each pair of types as storing the element alone does.
TEST_F(KernelPathTest, MatrixCopyClipsLikeSingleStoresForEveryTypePair) {
    // The edges of every type's range and values without an image there (see element_stores.qx).
    const qxtest::Values values = {-INFINITY,
                                   -1e300,
                                   -3.4028235677973366e38,
                                   -2147483648.9,
                                   -70000,
                                   -1.5,
                                   -0.5,
                                   -0.0,
                                   0.1,
                                   255.7,
                                   300,
                                   65536,
                                   70000,
                                   2147483647.9,
                                   2147483648.0,
                                   1e10,
                                   3.4028235677973362e38,
                                   3.4028235677973366e38,
                                   1e39,
                                   INFINITY,
                                   NAN};
    for (bool clip : {true, false}) {
        m_Shared.m_bClipping = clip;
        for (eDataType ts : kTypes) {
            CQXVariable* src = make(1, 21, values, ts);
            for (eDataType td : kTypes) {
                CQXVariable* dst = make(1, 21, {}, td);
                dst->setmatrix(src);
                CQXVariable* one = make(1, 1, {}, td);
                for (int j = 0; j < 21; ++j) {
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
    const double nan = std::nan("");
    // 2^53 - 1 is the largest whole number of the shortcut; 2^53 and beyond go to fmod.
    std::vector<double> xs = {0.0, -0.0, 7, -7, 6, -6, 2.5, -2.5, 1e10, 1e300, inf, -inf, nan};
    xs.insert(xs.end(), {2147483647, -2147483647, 2147483648.0, -2147483648.0, 9007199254740991.0,
                         -9007199254740991.0, 9007199254740992.0, -9007199254740992.0,
                         1000000000000001.0, -1000000000000001.0});
    const double ss[] = {
        3,   -3,   1,   -1,   7,   2147483647,         -2147483647,         2147483648.0,
        0.5, 1e10, inf, -inf, nan, 9007199254740991.0, -9007199254740992.0, 12884901889.0};
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

TEST_F(KernelPathTest, BlockedProductEqualsTheSimpleSumForEveryOperandLayout) {
    ASSERT_TRUE(qxproduct::worthBlocking(20, 33, 17));
    for (eDataType ta : kTypes)
        for (eDataType tb : kTypes) expectProduct(integers(20, 33, ta, 1), integers(33, 17, tb, 2));
    // Rows in separate places, in descending order: the operands are packed.
    CQXVariable* a = integers(24, 24, edtDOUBLE, 3);
    std::vector<qxtest::Values> rows(24, qxtest::Values(24));
    std::vector<double*> scattered(24);
    for (int i = 0; i < 24; ++i) {
        scattered[i] = rows[23 - i].data();
        std::copy(a->getDoublePtr()[i], a->getDoublePtr()[i] + 24, scattered[i]);
    }
    expectProduct(viewOf(scattered, 24), integers(24, 16, edtDOUBLE, 4));
    expectProduct(integers(16, 24, edtINT, 5), viewOf(scattered, 24));
    // A range view of a larger matrix has rows at a stride wider than its columns.
    std::vector<double*> range(30);
    integers(40, 50, edtDOUBLE, 6)->getRangePtr(5, 30, 7, range.data());
    expectProduct(viewOf(range, 20), integers(20, 12, edtDOUBLE, 7));
    expectProduct(integers(12, 30, edtFLOAT, 8), viewOf(range, 20));
}

// A result that shares storage with an operand is computed from the old values.
TEST_F(KernelPathTest, ProductIntoItsOwnOperandUsesTheOldValues) {
    CQXVariable* a = integers(20, 20, edtDOUBLE, 9);
    CQXVariable* b = integers(20, 20, edtDOUBLE, 10);
    CQXVariable* ab = make(20, 20);
    ab->mulmatrix(b, a);
    CQXVariable* a2 = make(20, 20, qxtest::elements(*a));
    a->mulmatrix(b, a);   // a := a * b
    b->mulmatrix(b, a2);  // b := a * b
    EXPECT_EQ(qxtest::elements(*a), qxtest::elements(*ab));
    EXPECT_EQ(qxtest::elements(*b), qxtest::elements(*ab));
}

// A row that a host row array leaves absent is skipped as in the simple kernel: the result row
// stays zero (for a) and the absent row of b contributes nothing.
TEST_F(KernelPathTest, AbsentRowsAreSkippedAsInTheSimpleKernel) {
    CQXVariable* full = integers(20, 20, edtDOUBLE, 11);
    std::vector<double*> rows(full->getDoublePtr(), full->getDoublePtr() + 20);
    rows[4] = nullptr;
    CQXVariable* holed = viewOf(rows, 20);
    CQXVariable* b = integers(20, 20, edtDOUBLE, 12);
    CQXVariable* r = make(20, 20);
    r->mulmatrix(b, holed);
    for (int j = 0; j < 20; ++j) EXPECT_EQ(r->getData_intern(4, j), 0.0);
    // b * holed is b times the matrix whose row 4 is zero.
    CQXVariable* zeroed = make(20, 20, qxtest::elements(*full));
    for (int j = 0; j < 20; ++j) zeroed->setData_intern(4, j, 0);
    CQXVariable* expected = make(20, 20);
    expected->mulmatrix(zeroed, b);
    r->mulmatrix(holed, b);
    EXPECT_EQ(qxtest::elements(*r), qxtest::elements(*expected));
    // An absent row of the result is left out; the others hold the product.
    CQXVariable* out = make(20, 20, qxtest::Values(400, 7.0));
    std::vector<double*> outRows(out->getDoublePtr(), out->getDoublePtr() + 20);
    outRows[9] = nullptr;
    viewOf(outRows, 20)->mulmatrix(b, zeroed);
    expected->mulmatrix(b, zeroed);
    for (int j = 0; j < 20; ++j) {
        EXPECT_EQ(out->getData_intern(9, j), 7.0);
        EXPECT_EQ(out->getData_intern(8, j), expected->getData_intern(8, j));
    }
}

}  // namespace
