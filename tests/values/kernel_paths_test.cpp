// The kernels of CQXVariable where scripts cannot reach them: called with what the interpreter
// never hands them (operands and results of different shapes, without storage or missing), the
// product into its own operand, and the modulo's integer shortcut against fmod. The typed paths
// for every pair of element types are pinned by the golden script typed_kernels.qx, what the
// operators compute by element_kernels.qx.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "qx/values/scalar_math_internal.h"
#include "tests/support/matrix.h"

namespace {

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

class KernelPathTest : public ::testing::Test, protected qxtest::CMatrices {};

TEST(KernelPathFmodTest, IntegerShortcutEqualsFmodBitForBit) {
    const double inf = INFINITY, nan = NAN;
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

using Binary = void (CQXVariable::*)(const CQXVariable*, const CQXVariable*);
using WithScalar = void (CQXVariable::*)(double, const CQXVariable*);
const Binary kBinary[] = {&CQXVariable::addmatrix,  &CQXVariable::submatrix,
                          &CQXVariable::mulmatrix,  &CQXVariable::elementmul,
                          &CQXVariable::elementand, &CQXVariable::elementor,
                          &CQXVariable::elementxor};
const WithScalar kWithScalar[] = {&CQXVariable::addsingle, &CQXVariable::subsingle,
                                  &CQXVariable::mulsingle};

TEST_F(KernelPathTest, ArithmeticWritesOnlyWhereEveryOperandAndTheResultHaveElements) {
    CQXVariable* small = make(2, 2, {1, 2, 3, 4});
    CQXVariable* r = make(3, 3, qxtest::Values(9, 9.0));
    r->addmatrix(r, small);
    EXPECT_EQ(qxtest::elements(*r), (qxtest::Values{10, 11, 9, 12, 13, 9, 9, 9, 9}));
    CQXVariable* tiny = make(1, 1, {2});
    tiny->elementmul(r, small);
    EXPECT_EQ(qxtest::elements(*tiny), qxtest::Values{10});
    r->mulmatrix(make(3, 1, {1, 1, 1}), small);  // inner sizes 2 and 3
    EXPECT_EQ(qxtest::elements(*r), (qxtest::Values{3, 11, 9, 7, 13, 9, 9, 9, 9}));
    // The modulo's result keeps its shape: a 1x1 one takes element (0, 0) only, a larger one
    // what the operand covers, and a zero modulus clears all of it.
    CQXVariable* a = make(1, 3, {-7, 7, 8}, edtINT);
    CQXVariable* big = make(2, 4, qxtest::Values(8, 9.0));
    EXPECT_TRUE(tiny->modulosingle(5, a));
    EXPECT_TRUE(big->modulosingle(5, a));
    EXPECT_EQ(qxtest::elements(*tiny), qxtest::Values{-2});
    EXPECT_EQ(qxtest::elements(*big), (qxtest::Values{-2, 2, 3, 9, 9, 9, 9, 9}));
    EXPECT_TRUE(big->modulosingle(0, a));
    EXPECT_EQ(qxtest::elements(*big), qxtest::Values(8, 0.0));
}

TEST_F(KernelPathTest, ResultsWithoutDoubleStorageAndMissingOperandsAreLeftAlone) {
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
    EXPECT_EQ(qxtest::elements(*ints), (qxtest::Values{5, 6}));
    EXPECT_EQ(qxtest::elements(*tiny), qxtest::Values{10});
    none->inc();
    m_Shared.m_bSmartError = false;
    EXPECT_FALSE(none->powersingle(0.5, -1));
    EXPECT_TRUE(none->powersingle(2, 3));
    EXPECT_FALSE(none->isInitialized());
}

// A result that shares storage with an operand is computed from the old values.
TEST_F(KernelPathTest, ProductIntoItsOwnOperandUsesTheOldValues) {
    CQXVariable* a = make(20, 20);
    CQXVariable* b = make(20, 20);
    for (int k = 0; k < 400; ++k) {  // integer values in -8 .. 8
        a->setData_intern(k / 20, k % 20, (k * 3) % 17 - 8);
        b->setData_intern(k / 20, k % 20, (k * 5 + 1) % 17 - 8);
    }
    CQXVariable* ab = make(20, 20);
    ab->mulmatrix(b, a);
    CQXVariable* a2 = make(20, 20, qxtest::elements(*a));
    a->mulmatrix(b, a);   // a := a * b
    b->mulmatrix(b, a2);  // b := a * b
    EXPECT_TRUE(qxtest::elements(*a) == qxtest::elements(*ab) &&
                qxtest::elements(*b) == qxtest::elements(*ab));
}

}  // namespace
