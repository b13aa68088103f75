// Tests of the host-call paths: the variadic calls collect few arguments on the stack and more
// into a vector, and hand library functions a vector either way; every form must pass every
// argument in order, and refuse null arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

class HostCallPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_C.loadStdFunctions();
        for (int k = 0; k < 9; ++k) {
            m_X[k] = m_C.addDoubleVar("x" + std::to_string(k), 1, 1);
            m_X[k]->setData(0, 0, k + 1);
        }
        // g weighs its nine arguments by position, so a swapped or lost argument shows.
        ASSERT_TRUE(m_C.runCompiler(
            "func f(v) { return v * v + 1; }\n"
            "func g(p1, p2, p3, p4, p5, p6, p7, p8, p9) {\n"
            "  return p1 + 10 * p2 + 100 * p3 + 1000 * p4 + 10000 * p5 + 100000 * p6 + 1000000 * p7"
            " + 10000000 * p8 + 100000000 * p9; }\n"))
            << m_C.getError();
    }
    CQXCompiler m_C;
    CQXVariable* m_X[9] = {};
};

TEST_F(HostCallPathTest, VariadicCallsPassEveryArgumentInOrder) {
    CQXFunction* f = m_C.getFunc("f");
    CQXFunction* g = m_C.getFunc("g");
    ASSERT_NE(f, nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(m_C.callFuncByAddr(f, 1, m_X[2]));
    EXPECT_EQ(f->getReturnValue()->getData(0, 0), 10.0);
    EXPECT_TRUE(m_C.callFuncByName("f", 1, m_X[3]));
    EXPECT_EQ(f->getReturnValue()->getData(0, 0), 17.0);
    // Nine arguments: more than the stack buffer holds.
    EXPECT_TRUE(m_C.callFuncByAddr(g, 9, m_X[0], m_X[1], m_X[2], m_X[3], m_X[4], m_X[5], m_X[6],
                                   m_X[7], m_X[8]));
    EXPECT_EQ(g->getReturnValue()->getData(0, 0), 987654321.0);
    EXPECT_TRUE(m_C.callFuncByName("g", 9, m_X[8], m_X[7], m_X[6], m_X[5], m_X[4], m_X[3], m_X[2],
                                   m_X[1], m_X[0]));
    EXPECT_EQ(g->getReturnValue()->getData(0, 0), 123456789.0);
    const std::vector<CQXVariable*> args(m_X, m_X + 9);
    EXPECT_TRUE(m_C.callFuncByAddr(g, args));
    EXPECT_EQ(g->getReturnValue()->getData(0, 0), 987654321.0);
}

TEST_F(HostCallPathTest, LibraryFunctionsReceiveTheVariadicArguments) {
    CQXFunction* sqrtFunc = m_C.getFunc("sqrt");
    ASSERT_NE(sqrtFunc, nullptr);
    m_X[0]->setData(0, 0, 49);
    EXPECT_TRUE(m_C.callFuncByAddr(sqrtFunc, 1, m_X[0]));
    EXPECT_EQ(sqrtFunc->getReturnValue()->getData(0, 0), 7.0);
    EXPECT_TRUE(m_C.callFuncByName("sqrt", 1, m_X[3]));
    EXPECT_EQ(sqrtFunc->getReturnValue()->getData(0, 0), 2.0);
}

TEST_F(HostCallPathTest, NullArgumentsAndWrongCountsAreRefused) {
    CQXFunction* f = m_C.getFunc("f");
    EXPECT_FALSE(m_C.callFuncByAddr(f, 1, static_cast<CQXVariable*>(nullptr)));
    EXPECT_FALSE(m_C.callFuncByName("f", 1, static_cast<CQXVariable*>(nullptr)));
    EXPECT_FALSE(m_C.callFuncByAddr(f, 2, m_X[0], m_X[1]));
    EXPECT_FALSE(m_C.callFuncByName("nosuch", 1, m_X[0]));
    EXPECT_FALSE(m_C.callFuncByAddr(nullptr, 0));
}

}  // namespace
