// Host calls that fail say why, and the trace of any failure names the function the host or the
// script called, however it failed. Numbers and the host's arrays go in as temporaries that no
// script sees.
#include <gtest/gtest.h>

#include <stdexcept>

#include "qx/qx.h"
#include "tests/core/host_function.h"

namespace {

std::string traceText(CQXCompiler& qx) {
    std::string text;
    for (const sCallSite& site : qx.getExceptionTrace())
        text += (text.empty() ? "" : " ") + site.m_Function + ":" + std::to_string(site.m_Line);
    return text;
}

}  // namespace

TEST(HostCallTest, RefusedCallsSayWhyAndNameTheFunction) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* one = qx.addDoubleVar("one", 1, 1);
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    CQXVariable* r = qx.addResizeDoubleVar("r");
    ASSERT_TRUE(qx.runCompiler("func f(v[1][1], &w) { w = v; return v; }"));
    // Each refusal replaces the record of the one before, with its own reason.
    const auto refused = [&](bool called, const char* text, const char* trace) {
        EXPECT_FALSE(called);
        EXPECT_EQ(qx.getException(), std::string("Interpreter Error:  ") + text);
        EXPECT_EQ(traceText(qx), trace);
    };
    refused(qx.callFuncByName("nosuch", 0), "nosuch: function does not exist", "nosuch:-1");
    refused(qx.callFuncByAddr(nullptr, 0), "No function given (null)", ":-1");
    refused(qx.callFuncByName("f", 1, one), "Wrong number of Parameters", "f:-1");
    refused(qx.callFuncByName("f", {one, nullptr}), "Argument 2 is null (parameter w)", "f:-1");
    refused(qx.callFuncByName("f", 2, m, one), "Argument 1 must be 1x1 (parameter v)", "f:-1");
    refused(qx.callFuncByName("f", 2, one, r),
            "Argument 2 can't be resizable for a reference parameter (parameter w)", "f:-1");
    refused(qx.callFunc("f", {2.0, 3}),
            "Argument 2 can't be written by a reference parameter (parameter w)", "f:-1");
    const double fixed[] = {1, 2};
    refused(qx.callFunc("f", {1, {fixed, 1, 2}}),
            "Argument 2 can't be written by a reference parameter (parameter w)", "f:-1");
    double none = 0;
    refused(qx.callFunc("f", {1, {&none, 0, 1}}), "Argument 2 has no elements (parameter w)",
            "f:-1");
    refused(qx.callFunc("sqrt", {{fixed, 0, 2}}), "Argument 1 has no elements", "sqrt:-1");
    refused(qx.callFunc("sqrt", {1, 2}), "Wrong number of Parameters", "sqrt:-1");
    EXPECT_TRUE(qx.callFuncByName("f", 2, one, m));
}

TEST(HostCallTest, NumbersAndHostArraysPassWithoutGlobals) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(qx.runCompiler("func scale(&m, k) { m = m * k; return m.sum; }"));
    const int globals = qx.getVarCount();
    double data[] = {1, 2, 3, 4, 5, 6};
    // A writable array is bound to the reference parameter: the function writes it in place.
    ASSERT_TRUE(qx.callFunc("scale", {{data, 2, 3}, 0.5})) << qx.getException();
    EXPECT_EQ(qx.getFunc("scale")->getReturnValue()->getData(0, 0), 10.5);
    EXPECT_EQ(data[5], 3.0);
    ASSERT_TRUE(qx.callFunc("scale", {{data, 3, 2}, 2}));
    EXPECT_EQ(data[1], 2.0);
    // A read-only array is copied for a value parameter; numbers go in as 1x1 doubles.
    const double row[] = {1, 4, 9};
    ASSERT_TRUE(qx.callFunc(qx.getFunc("sqrt"), {{row, 1, 3}}));
    CQXVariable* root = qx.getFunc("sqrt")->getReturnValue();
    EXPECT_EQ(root->getCols(), 3);
    EXPECT_EQ(root->getData(0, 2), 3.0);
    ASSERT_TRUE(qx.callFunc("pow", {2, 10}));
    EXPECT_EQ(qx.getFunc("pow")->getReturnValue()->getData(0, 0), 1024.0);
    EXPECT_EQ(qx.getVarCount(), globals);
    // A temporary is named in the errors it causes.
    EXPECT_FALSE(qx.callFunc("rowdel", {{row, 1, 3}, 5, 1}));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  Parameters out of Range in Function rowdel");
}

TEST(HostCallTest, AHostFunctionFailsAtItsCallHoweverItFails) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    using qxtest::CHostFunc;
    const auto refuse = [](auto&) { return false; };
    const auto toss = [](auto&) -> bool { throw std::runtime_error("x"); };
    CQXVariable* r = qx.addResizeDoubleVar("r");
    // Resizing a variable bound to the call's reference parameter is refused, so the call fails.
    const auto resize = [r](auto&) { return r->resizeVar(3, 3) || true; };
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "refuse", 1, refuse)));
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "toss", 1, toss)));
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "resize", 1, resize)));
    // From a script, each names the function at its call.
    for (const std::string name : {"refuse", "toss", "resize"}) {
        ASSERT_TRUE(qx.runCompiler("\n" + name + "(r);"));
        EXPECT_FALSE(qx.runInterpreter());
        EXPECT_EQ(traceText(qx), name + ":2") << qx.getException();
    }
    // The host's own variable is not bound, so only the first two fail when the host calls.
    for (const std::string name : {"refuse", "toss"}) {
        EXPECT_FALSE(qx.callFuncByName(name, 1, r));
        EXPECT_EQ(traceText(qx), name + ":-1") << qx.getException();
    }
}
