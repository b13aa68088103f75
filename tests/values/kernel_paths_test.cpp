// Tests of the kernel paths of CQXVariable that scripts cannot reach: the element-wise division
// stopping at a zero divisor, the modulo's integer shortcut against fmod, and the product into
// its own operand or over rows a view leaves absent. The typed paths for every pair of element
// types are pinned by the golden script typed_kernels.qx.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "qx/values/scalar_math_internal.h"
#include "tests/support/matrix.h"

namespace {

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

class KernelPathTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    // A 20 x 20 matrix of integer values in -8 .. 8.
    CQXVariable* integers(int salt) {
        CQXVariable* v = make(20, 20);
        for (int k = 0; k < 400; ++k) v->setData_intern(k / 20, k % 20, (k * 3 + salt) % 17 - 8);
        return v;
    }
    // A view of the rows of `rows`, each cols wide.
    CQXVariable* viewOf(std::vector<double*>& rows, int cols) {
        CQXVariable* v = fresh();
        v->setView_intern(static_cast<int>(rows.size()), cols, rows.data());
        return v;
    }
};

TEST(KernelPathFmodTest, IntegerShortcutEqualsFmodBitForBit) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    // 2^53 - 1 is the largest whole number of the shortcut; 2^53 and beyond go to fmod.
    std::vector<double> xs = {0.0, -0.0, 7, -7, 6, -6, 2.5, -2.5, 1e10, 1e300, inf, -inf, nan};
    xs.insert(xs.end(), {2147483647, -2147483647, 2147483648.0, -2147483648.0, 9007199254740991.0,
                         -9007199254740991.0, 9007199254740992.0, -9007199254740992.0,
                         1000000000000001.0, -1000000000000001.0});
    for (double x = 5; x < 1e16; x = x * 3 + 1) xs.insert(xs.end(), {x, -x});  // every magnitude
    const double ss[] = {
        3,   -3,   1,   -1,   7,   2147483647,         -2147483647,         2147483648.0,
        0.5, 1e10, inf, -inf, nan, 9007199254740991.0, -9007199254740992.0, 12884901889.0};
    for (double x : xs)
        for (double s : ss)
            EXPECT_EQ(bitsOf(qxmath::fmodExact(x, s)), bitsOf(std::fmod(x, s))) << x << " % " << s;
}

// A result that shares storage with an operand is computed from the old values.
TEST_F(KernelPathTest, ProductIntoItsOwnOperandUsesTheOldValues) {
    CQXVariable* a = integers(9);
    CQXVariable* b = integers(10);
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
    CQXVariable* full = integers(11);
    std::vector<double*> rows(full->getDoublePtr(), full->getDoublePtr() + 20);
    rows[4] = nullptr;
    CQXVariable* holed = viewOf(rows, 20);
    CQXVariable* b = integers(12);
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
