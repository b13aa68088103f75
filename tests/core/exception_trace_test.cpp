// Tests of getExceptionTrace: the call sites a run-time error passed on its way to the host,
// for errors raised by instructions, standard functions, host functions and host calls, and
// that a trace never carries call sites of an earlier failure.
#include <gtest/gtest.h>

#include "qx/qx.h"
#include "tests/core/host_function.h"

// "Function:line:pos" per entry, innermost first.
static std::string traceText(CQXCompiler& c) {
    std::string text;
    for (const sCallSite& site : c.getExceptionTrace())
        text += (text.empty() ? "" : " ") + site.m_Function + ":" + std::to_string(site.m_Line) +
                ":" + std::to_string(site.m_Pos);
    return text;
}

TEST(ExceptionTrace, NamesEveryCallOnTheWayOut) {
    CQXCompiler c;
    c.loadStdFunctions();
    // check(x) calls the script function "bad", ignores that call's failure, and fails when x
    // is negative.
    ASSERT_TRUE(c.addFunc(new qxtest::CHostFunc(
        c, "check", 1,
        [&c](auto& args) {
            c.callFuncByName("bad", std::vector<CQXVariable*>());
            return args[0]->getData(0, 0) >= 0;
        },
        ptVALUE)));
    ASSERT_NE(c.addDoubleVar("m", 2, 3), nullptr);
    CQXVariable* k = c.addDoubleVar("k", 1, 1);
    ASSERT_TRUE(
        c.runCompiler("func inv(x[2][3]) { return inverse(x); }\n"
                      "func outer(x[2][3]) { double t; t = 1; return inv(x) + t; }\n"
                      "func idx(i) { double q[2][2]; return q[i][0]; }\n"
                      "func guarded(v) { check(v); return v; }\n"
                      "double r[], s;\n"
                      "if (k == 0) { r = outer(m); }\n"
                      "if (k == 1) { s = idx(k + 4) + 1; }\n"
                      "if (k == 2) { s = guarded(0 - 1); }\n"
                      "func bad() { double q[1][1]; q[5][0] = 1; }\n"
                      "if (k == 4) { check(1); s = [1, 2] + [1, 2, 3]; }\n"))
        << c.getError();

    // Sets k, runs, and gives the trace, after "ran " when the run succeeded.
    const auto traceOfRun = [&](double value) {
        k->setData(0, 0, value);
        const bool ran = c.runInterpreter();
        return (ran ? "ran " : "") + traceText(c);
    };
    // A standard function's error: the record keeps line -1, the trace has the call sites.
    EXPECT_EQ(traceOfRun(0), "inverse:1:37 inv:2:53 outer:6:27");
    EXPECT_EQ(c.getException(),
              "Interpreter Error:  Size of Parameter must be NxN in Function inverse");
    // An instruction's error inside nested script functions: first its own line and position.
    const std::string nested = traceOfRun(1);
    int line = 0, pos = 0;
    std::string text;
    c.getException(line, pos, text);
    EXPECT_EQ(nested, ":3:" + std::to_string(pos) + " idx:7:29");
    // A host function's error, and one in the main block alone; the failure that check
    // ignored leaves no call sites in either.
    EXPECT_EQ(traceOfRun(2), "check:4:27 guarded:8:33");
    EXPECT_EQ(c.getException(), "Interpreter Error:  check failed");
    EXPECT_EQ(traceOfRun(4), ":10:47");
    // A successful run keeps the last trace, as it keeps the record; a run that cannot start
    // has none.
    EXPECT_EQ(traceOfRun(9), "ran :10:47");
    c.clear(false);
    EXPECT_EQ(traceOfRun(9), "");

    // A host call's trace ends with the function the host called, also for a call refused
    // before anything ran.
    ASSERT_FALSE(c.callFuncByName("outer", 1, c.getVar("m")));
    EXPECT_EQ(traceText(c), "inverse:1:37 inv:2:53 outer:-1:-1");
    ASSERT_FALSE(c.callFuncByName("inverse", 1, c.getVar("m")));
    EXPECT_EQ(traceText(c), "inverse:-1:-1");
    EXPECT_FALSE(c.callFuncByName("outer", 0));
    EXPECT_EQ(traceText(c), "outer:-1:-1");
}
