// Host stores with the rules of a script assignment, and deleting single global variables.
#include <gtest/gtest.h>

#include "qx/qx.h"
#include "tests/core/host_function.h"

// The host's store saturates, fills and resizes exactly as `target = value;` in a script does,
// and fails with the script's text when the shapes do not fit.
TEST(HostVariablesTest, AssignVarFollowsScriptAssignment) {
    CQXCompiler qx;
    CQXVariable* b = qx.addByteVar("b", 1, 3);
    CQXVariable* s = qx.addShortVar("s", 1, 3);
    CQXVariable* scripted = qx.addByteVar("scripted", 1, 3);
    CQXVariable* src = qx.addDoubleVar("src", 1, 3);
    CQXVariable* one = qx.addDoubleVar("one", 1, 1);
    CQXVariable* r = qx.addResizeIntVar("r");
    src->setData(0, 0, 300.7);
    src->setData(0, 1, -1);
    src->setData(0, 2, 2.9);
    ASSERT_TRUE(qx.assignVar(b, src));
    ASSERT_TRUE(qx.runCompiler("scripted = src;") && qx.runInterpreter());
    for (int c = 0; c < 3; ++c) EXPECT_EQ(b->getData(0, c), scripted->getData(0, c)) << c;
    EXPECT_EQ(b->getData(0, 0), 255.0);

    one->setData(0, 0, 70000);
    ASSERT_TRUE(qx.assignVar(s, one));
    EXPECT_EQ(s->getMin(), 65535.0);
    qx.setClipping(false);
    ASSERT_TRUE(qx.assignVar(b, src));
    EXPECT_EQ(b->getData(0, 0), 44.0);

    ASSERT_TRUE(qx.assignVar(r, src));
    EXPECT_EQ(r->getCols(), 3);
    EXPECT_EQ(r->getData(0, 2), 2.0);
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    EXPECT_FALSE(qx.assignVar(m, src));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  LValue Size mismatch accessing Variable m");
    EXPECT_TRUE(qx.getExceptionTrace().empty());
    EXPECT_FALSE(qx.assignVar(nullptr, src));
}

// Removing a variable takes the code that may refer to it along; a running script keeps it.
TEST(HostVariablesTest, RemoveVarDropsTheVariableAndTheCodeThatMayReferToIt) {
    CQXCompiler qx;
    qx.addDoubleVar("a", 1, 1);
    CQXVariable* kept = qx.addDoubleVar("kept", 1, 1);
    ASSERT_TRUE(qx.runCompiler("func f() { return a; } a = 2; kept = f();"));
    EXPECT_TRUE(qx.removeVar("a"));
    EXPECT_EQ(qx.getVar("a"), nullptr);
    EXPECT_EQ(qx.getVar(0), kept);
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_FALSE(qx.removeVar("a"));
    EXPECT_FALSE(qx.removeVar(""));
    EXPECT_TRUE(qx.runCompiler("double a; a = 1;") && qx.runInterpreter());

    bool removed = true;
    qx.addFunc(new qxtest::CHostFunc(qx, "drop", 0, [&](const std::vector<CQXVariable*>&) {
        removed = qx.removeVar("kept");
        return true;
    }));
    ASSERT_TRUE(qx.runCompiler("drop(); kept = 3;") && qx.runInterpreter());
    EXPECT_FALSE(removed);
    EXPECT_EQ(kept->getData(0, 0), 3.0);
}
