// The compiler object as a host sees it: fresh state, clearing, variables and programs across
// compiles, script functions that outlive the program they were compiled in, and host calls of
// single functions with their arguments and failures.
#include <gtest/gtest.h>

#include <stdexcept>

#include "qx/qx.h"
#include "tests/core/host_function.h"

TEST(CompilerObjectTest, FreshStateVariablesClearAndProgramsAcrossCompiles) {
    CQXCompiler qx;
    EXPECT_EQ(qx.getError(), "Unknown Error on line 0, position -1. ");
    EXPECT_TRUE(qx.getClipping() && qx.getSmartError());
    EXPECT_EQ(qx.getFuncCount() + qx.getVarCount(), 0);
    EXPECT_FALSE(qx.runInterpreter());

    CQXVariable* a = qx.addDoubleVar("a", 2, 2);
    a->setData(1, 1, 7.0);
    EXPECT_EQ(qx.addIntVar("a", 1, 1), nullptr);
    EXPECT_EQ(qx.addByteVar("b", 1, 1)->getDataType(), edtBYTE);
    EXPECT_EQ(qx.addShortVar("s", 1, 1)->getDataType(), edtSHORT);
    EXPECT_TRUE(qx.addDoubleVar("", 1, 1) && qx.addDoubleVar("", 1, 1));  // unnamed never clash
    EXPECT_TRUE(qx.getVar(0) == a && qx.getVarCount() == 5);
    EXPECT_TRUE(qx.getVar(5) == nullptr && qx.getVar(-1) == nullptr);
    qx.clear(false);
    EXPECT_TRUE(qx.getVar("a") == a && a->getData(1, 1) == 7.0);
    qx.clear(true);
    EXPECT_TRUE(qx.getVar("a") == nullptr && qx.getVarCount() == 0 && qx.getTmpVarCount() == 2);

    // Globals persist across compiles; a failed compile drops the program before it and leaves
    // nothing behind that spoils the next one, also not an unfinished function.
    ASSERT_TRUE(qx.runCompiler("") && qx.runInterpreter());
    ASSERT_TRUE(qx.runCompiler("double g; g = 5;") && qx.runInterpreter());
    EXPECT_FALSE(qx.runCompiler("double g; g = 5;") || qx.runInterpreter());
    ASSERT_TRUE(qx.runCompiler("g = g + 1;") && qx.runInterpreter() && qx.runInterpreter());
    EXPECT_EQ(qx.getVar("g")->getData(0, 0), 7.0);
    // An error deep inside an expression leaves operators waiting and a loop open.
    EXPECT_FALSE(qx.runCompiler("while (1) { g = g + g * (g - ; }"));
    EXPECT_FALSE(qx.runCompiler("func f() { return 1;"));
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    ASSERT_TRUE(qx.runCompiler("func f() { return 1; } g = f() + 2 * 3;") && qx.runInterpreter());
    EXPECT_EQ(qx.getVar("g")->getData(0, 0), 7.0);
    qx.clear(true);
    EXPECT_TRUE(qx.runCompiler("double g; g = 5;"));
}

// A later compile clears the program a function was compiled in; the function keeps what its
// code refers to, until clear(true) deletes the globals it refers to and the function with
// them. clearScript drops what scripts made and keeps what the host made and the constants.
TEST(CompilerObjectTest, ScriptFunctionsOutliveTheirProgram) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* h = qx.addDoubleVar("h", 1, 1);
    qx.loadStdVars();
    const std::string script =
        "double k, r[]; k = 3; func f(x, m[2][2]) { double t; t = m[*][1].sum; return x * k + t; }"
        " addVarByName(\"v\", 1, 2, dtINT); r = [1, 2];";
    ASSERT_TRUE(qx.runCompiler(script) && qx.runInterpreter()) << qx.getException();
    ASSERT_TRUE(qx.runCompiler("h = f(2, [1, 2; 3, 4]) + f(1, zeros(2, 2));") &&
                qx.runInterpreter());
    EXPECT_EQ(h->getData(0, 0), 2 * 3 + 6 + 3);
    EXPECT_FALSE(qx.runCompiler("func f(a) { return a; }"));
    // The functions can go on their own: the globals stay, the program goes.
    qx.clearScriptFunctions();
    EXPECT_TRUE(!qx.getFunc("f") && !qx.runInterpreter());
    ASSERT_TRUE(qx.runCompiler("func f(x) { return x * k; } h = f(5);") && qx.runInterpreter());
    EXPECT_TRUE(h->getData(0, 0) == 15.0 && qx.getVar("r")->getCols() == 2);
    const int constants = 12;  // and the host's h
    EXPECT_EQ(qx.getVarCount(), 1 + constants + 3);
    qx.clearScript();
    EXPECT_TRUE(!qx.getVar("k") && !qx.getVar("v") && !qx.getFunc("f") && !qx.runInterpreter());
    ASSERT_EQ(qx.getVarCount(), 1 + constants);
    EXPECT_EQ(qx.getVar(0), h);
    EXPECT_TRUE(qx.getVar("pi")->getConst() && qx.getFunc("addVarByName"));
    // The same text compiles and runs again.
    ASSERT_TRUE(qx.runCompiler(script) && qx.runInterpreter()) << qx.getException();
    qx.clear(true);
    EXPECT_TRUE(!qx.getFunc("f") && qx.getFunc("sin"));
}

// The variadic calls collect few arguments on the stack and more into a vector, and hand
// library functions a vector either way: every form passes every argument in order. Null
// arguments, wrong counts and unknown functions are refused before anything runs; failures in
// the body become the run-time error.
TEST(CompilerObjectTest, HostCallsPassEveryArgumentInOrder) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* x[9];
    for (int k = 0; k < 9; ++k)
        (x[k] = qx.addDoubleVar("x" + std::to_string(k), 1, 1))->setData(0, 0, k + 1);
    ASSERT_TRUE(qx.runCompiler(
        "func f(v) { return v * v + 1; } func bad(a) { return [1, 2] + [1, 2, 3]; }\n"
        "func g(p1, p2, p3, p4, p5, p6, p7, p8, p9) { return p1 + 10 * p2 + 100 * p3 + 1000 * p4"
        " + 10000 * p5 + 100000 * p6 + 1000000 * p7 + 10000000 * p8 + 100000000 * p9; }"));
    CQXFunction *f = qx.getFunc("f"), *g = qx.getFunc("g"), *sqrt = qx.getFunc("sqrt");
    const auto result = [](CQXFunction* func) { return func->getReturnValue()->getData(0, 0); };
    EXPECT_TRUE(qx.callFuncByAddr(f, 1, x[2]) && result(f) == 10.0);
    EXPECT_TRUE(qx.callFuncByName("f", 1, x[3]) && result(f) == 17.0);
    EXPECT_TRUE(qx.callFuncByAddr(g, 9, x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], x[8]));
    EXPECT_EQ(result(g), 987654321.0);
    EXPECT_TRUE(qx.callFuncByName("g", 9, x[8], x[7], x[6], x[5], x[4], x[3], x[2], x[1], x[0]));
    EXPECT_EQ(result(g), 123456789.0);
    EXPECT_TRUE(qx.callFuncByAddr(g, std::vector<CQXVariable*>(x, x + 9)));
    EXPECT_EQ(result(g), 987654321.0);
    EXPECT_TRUE(qx.callFuncByAddr(sqrt, 1, x[3]) && result(sqrt) == 2.0);

    EXPECT_FALSE(qx.callFuncByAddr(f, 1, static_cast<CQXVariable*>(nullptr)));
    EXPECT_FALSE(qx.callFuncByName("f", 1, static_cast<CQXVariable*>(nullptr)));
    EXPECT_FALSE(qx.callFuncByAddr(f, 2, x[0], x[1]) || qx.callFuncByName("f", {}));
    EXPECT_FALSE(qx.callFuncByAddr(f, 1, qx.addDoubleVar("m", 2, 2)));  // no 1x1 value
    EXPECT_FALSE(qx.callFuncByName("nosuch", 1, x[0]) || qx.callFuncByAddr(nullptr, 0));
    EXPECT_FALSE(qx.callFuncByName("bad", 1, x[0]));
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 70. Size mismatch in Addition");
    const auto boom = [](auto&) -> bool { throw std::runtime_error("x"); };
    ASSERT_TRUE(qx.addFunc(new qxtest::CHostFunc(qx, "boom", 1, boom, ptVALUE)));
    EXPECT_FALSE(qx.callFuncByName("boom", 1, x[0]));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  Unknown Exception");
}

TEST(CompilerObjectTest, AFailedTryCompileLeavesNothingBehind) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.setTotalStorageLimit(1 << 20);
    ASSERT_TRUE(qx.runCompiler("double kept[10][10]; func g(x) { return x; }"));
    qx.clear(false);
    const int globals = qx.getVarCount();
    const int functions = qx.getFuncCount();
    const long long storage = qx.getScriptStorage();
    // Declarations, a function and a large literal before the error: all of them go.
    const std::string entry =
        "double a, b, big[100][100]; func f(x) { return x * 2; } big = ones(100, 100); a = 1 +;";
    EXPECT_FALSE(qx.tryCompile(entry));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 85. unexpected symbol");
    EXPECT_EQ(qx.getVarCount(), globals);
    EXPECT_EQ(qx.getFuncCount(), functions);
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    EXPECT_EQ(qx.getScriptStorage(), storage);
    EXPECT_FALSE(qx.runInterpreter());
    // The mended entry compiles and runs; runCompiler keeps what a failed compile declared.
    ASSERT_TRUE(qx.tryCompile("double a, b; func f(x) { return x * 2; } a = f(1) + 2;"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 4.0);
    EXPECT_FALSE(qx.runCompiler("double c; c = ;"));
    EXPECT_NE(qx.getVar("c"), nullptr);
    EXPECT_FALSE(qx.tryCompile("double c;"));
    EXPECT_NE(qx.getVar("c"), nullptr);  // an earlier compile's global stays
}

TEST(CompilerObjectTest, FunctionValuesAreReleasedWhenTheRunEnds) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    const long long block = 500 * 500 * 8;
    // r, the temporary the call writes, and while the call runs the value of ones.
    qx.setTotalStorageLimit(3 * block + (1 << 16));
    const std::string script = "double r[]; r = ones(500, 500);";
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(qx.runCompiler(script));
        ASSERT_TRUE(qx.runInterpreter()) << round << ": " << qx.getException();
        EXPECT_LT(qx.getScriptStorage(), 2 * block + (1 << 16));  // no longer the value of ones
        EXPECT_EQ(qx.getFunc("ones")->getReturnValue()->getRows(), 1);
        qx.clear(true);
        EXPECT_EQ(qx.getScriptStorage(), 0);
    }
    // A host call keeps the value for the host until the next run or clear.
    ASSERT_TRUE(qx.callFunc("zeros", {3, 4}));
    EXPECT_EQ(qx.getFunc("zeros")->getReturnValue()->getCols(), 4);
    qx.clearScript();
    EXPECT_EQ(qx.getFunc("zeros")->getReturnValue()->getCols(), 1);
    EXPECT_EQ(qx.getScriptStorage(), 0);
}

TEST(CompilerObjectTest, TheVersionIsOneNumberInEveryForm) {
    EXPECT_STREQ(qxVersion(), QX_VERSION);
    EXPECT_EQ(std::string(QX_VERSION), std::to_string(QX_VERSION_MAJOR) + "." +
                                           std::to_string(QX_VERSION_MINOR) + "." +
                                           std::to_string(QX_VERSION_PATCH));
}
