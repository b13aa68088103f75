// The compiler object as a host sees it: fresh state, clearing, variables and their persistence
// across compiles, script functions that outlive the program they were compiled in, and the
// run-time error record.
#include <gtest/gtest.h>

#include "qx/qx.h"

namespace {

TEST(CompilerObjectTest, FreshStateAndNothingToInterprete) {
    CQXCompiler qx;
    EXPECT_EQ(qx.getError(), "Unknown Error on line 0, position -1. ");
    EXPECT_TRUE(qx.getClipping());
    EXPECT_TRUE(qx.getSmartError());
    EXPECT_EQ(qx.getFuncCount(), 0);
    EXPECT_EQ(qx.getVarCount(), 0);
    EXPECT_EQ(qx.getTmpVarCount(), 2);
    EXPECT_EQ(qx.getTmpVar(0)->getName(), "null");
    EXPECT_EQ(qx.getTmpVar(1)->getData(0, 0), 1.0);
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(), "Interpreter Error:  Nothing to Interprete");
    int line = 0, pos = 0;
    std::string text;
    EXPECT_EQ(qx.getException(line, pos, text), etINTERPRETER);
    EXPECT_EQ(line, -1);
    EXPECT_EQ(pos, -1);
}

TEST(CompilerObjectTest, VariablesAndClear) {
    CQXCompiler qx;
    CQXVariable* a = qx.addDoubleVar("a", 2, 2);
    ASSERT_NE(a, nullptr);
    a->setData(1, 1, 7.0);
    EXPECT_EQ(qx.addIntVar("a", 1, 1), nullptr);
    EXPECT_EQ(a->getData(1, 1), 7.0);
    EXPECT_NE(qx.addDoubleVar("", 1, 1), nullptr);
    EXPECT_NE(qx.addDoubleVar("", 1, 1), nullptr);
    EXPECT_EQ(qx.getVar(0), a);
    EXPECT_EQ(qx.getVar(3), nullptr);
    EXPECT_EQ(qx.getVar(-1), nullptr);
    qx.clear(false);
    EXPECT_EQ(qx.getVar("a"), a);
    EXPECT_EQ(a->getData(1, 1), 7.0);
    qx.clear(true);
    EXPECT_EQ(qx.getVar("a"), nullptr);
    EXPECT_EQ(qx.getVarCount(), 0);
    EXPECT_EQ(qx.getTmpVarCount(), 2);
}

TEST(CompilerObjectTest, EmptyScriptAndRepeatedRuns) {
    CQXCompiler qx;
    ASSERT_TRUE(qx.runCompiler(""));
    EXPECT_TRUE(qx.runInterpreter());
    CQXVariable* v = qx.addDoubleVar("v", 1, 3);
    v->setData(0, 0, 1);
    v->setData(0, 1, 2);
    v->setData(0, 2, 3);
    ASSERT_TRUE(qx.runCompiler("v = v * 2;"));
    EXPECT_EQ(qx.getTmpVarCount(), 4);  // null, eins, the literal 2 and one temporary
    ASSERT_TRUE(qx.runInterpreter());
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(v->getData(0, 2), 12.0);
    // A failed compile drops the earlier program.
    EXPECT_FALSE(qx.runCompiler("v = ;"));
    EXPECT_FALSE(qx.runInterpreter());
}

TEST(CompilerObjectTest, GlobalsPersistAcrossCompiles) {
    CQXCompiler qx;
    ASSERT_TRUE(qx.runCompiler("double g; g = 5;"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_FALSE(qx.runCompiler("double g; g = 5;"));
    EXPECT_EQ(qx.getError(),
              "Error in Declaration or Variable already declared on line 1, position 8. ");
    ASSERT_TRUE(qx.runCompiler("g = g + 1;"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("g")->getData(0, 0), 6.0);
    qx.clear(true);
    EXPECT_TRUE(qx.runCompiler("double g; g = 5;"));
}

TEST(CompilerObjectTest, ScriptFunctionsOutliveTheirProgram) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(qx.runCompiler(
        "double k; k = 3; func f(x, m[2][2]) { double t; t = m[*][1].sum; return x * k + t; }"));
    ASSERT_TRUE(qx.runInterpreter());
    // A later compile clears the program f was compiled in; f keeps what its code refers to.
    ASSERT_TRUE(qx.runCompiler("double r; r = f(2, [1, 2; 3, 4]) + f(1, zeros(2, 2));"));
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(qx.getVar("r")->getData(0, 0), 2 * 3 + 6 + 3);
    EXPECT_FALSE(qx.runCompiler("func f(a) { return a; }"));
    EXPECT_EQ(qx.getError(), "Function already declared on line 1, position 5. ");
    // ... and from the host.
    CQXVariable* x = qx.addDoubleVar("x", 1, 1);
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    x->setData(0, 0, 10);
    m->setData(0, 1, 1);
    ASSERT_TRUE(qx.callFuncByName("f", 2, x, m)) << qx.getException();
    EXPECT_EQ(qx.getFunc("f")->getReturnValue()->getData(0, 0), 31.0);
    // clear(true) deletes the globals f refers to, and f with them.
    qx.clear(true);
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    EXPECT_NE(qx.getFunc("sin"), nullptr);
}

TEST(CompilerObjectTest, ClearScriptReloadsAndKeepsWhatTheHostMade) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* h = qx.addDoubleVar("h", 1, 1);
    qx.loadStdVars();
    const std::string script =
        "double g, r[]; func f(x) { return x + g; } addVarByName(\"v\", 1, 2, dtINT);"
        " g = 2; r = [1, 2]; h = f(5);";
    ASSERT_TRUE(qx.runCompiler(script)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    int constants = 12;
    EXPECT_EQ(qx.getVarCount(), 1 + constants + 3);
    qx.clearScript();
    EXPECT_EQ(qx.getVar("g"), nullptr);
    EXPECT_EQ(qx.getVar("v"), nullptr);
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    EXPECT_FALSE(qx.runInterpreter());
    ASSERT_EQ(qx.getVarCount(), 1 + constants);
    EXPECT_EQ(qx.getVar(0), h);
    EXPECT_EQ(h->getData(0, 0), 7.0);
    EXPECT_EQ(qx.getVar("pi")->getData(0, 0), 3.141592653589793);
    EXPECT_NE(qx.getFunc("addVarByName"), nullptr);
    // The same text compiles and runs again, and the functions can go on their own.
    ASSERT_TRUE(qx.runCompiler(script)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    qx.clearScriptFunctions();
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    EXPECT_FALSE(qx.runInterpreter());
    ASSERT_TRUE(qx.runCompiler("func f(x) { return x * g; } h = f(5);")) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(h->getData(0, 0), 10.0);
    EXPECT_EQ(qx.getVar("r")->getCols(), 2);
}

TEST(CompilerObjectTest, UnfinishedDefinitionIsNotRegistered) {
    CQXCompiler qx;
    EXPECT_FALSE(qx.runCompiler("func f() { return 1;"));
    EXPECT_EQ(qx.getFunc("f"), nullptr);
    ASSERT_TRUE(qx.runCompiler("func f() { return 1; } double y; y = f();")) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("y")->getData(0, 0), 1.0);
}

TEST(CompilerObjectTest, FailedCompileDoesNotPoisonTheNext) {
    CQXCompiler qx;
    // An error deep inside an expression leaves entries on the operator stack and a loop open.
    EXPECT_FALSE(qx.runCompiler("double a, b; while (1) { a = b + b * (b - ; }"));
    ASSERT_TRUE(qx.runCompiler("a = 1 + 2 * 3;")) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 7.0);
    EXPECT_FALSE(qx.runCompiler("break;"));
}

TEST(CompilerObjectTest, RunTimeErrorCarriesPositionAndVariable) {
    CQXCompiler qx;
    qx.setSmartError(false);
    ASSERT_TRUE(qx.runCompiler("double a, b;\na = 1 / b;"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 2, position 9. Division by zero");
}

TEST(CompilerObjectTest, ReferenceArgumentsNeverOutliveAView) {
    // A library reference parameter bound to an indexed argument writes the viewed elements.
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(
        qx.runCompiler("double a[2][2], v[3][3], d[2][2]; a = [2, 0; 0, 3];"
                       "eigens(a, v[0,2][1,2], d);"));
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    CQXVariable* v = qx.getVar("v");
    EXPECT_EQ(v->getData(0, 0), 0.0);
    EXPECT_EQ(std::abs(v->getData(0, 1)) + std::abs(v->getData(1, 2)), 2.0);
    // A literal passed by reference is copied first, so later runs see the literal unchanged.
    ASSERT_TRUE(qx.runCompiler("double w[2][2], e; e = 5; eigens([1, 0; 0, 1], w, [7, 7; 7, 7]);"));
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
}

class ThrowingFunction : public CQXFunction {
public:
    explicit ThrowingFunction(CQXSharedParameter* shared) : CQXFunction("boom", shared) {
        setParamCount(1);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>*) override {
        throw std::runtime_error("x");
    }
};

TEST(CompilerObjectTest, HostCalls) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(
        qx.runCompiler("func add(a, b) { return a + b; } func bad(a) { return [1, 2] + [1, 2, 3]; }"
                       "func setr(&r, v) { r = v; }"));
    CQXVariable* a = qx.addDoubleVar("a", 1, 1);
    CQXVariable* b = qx.addDoubleVar("b", 1, 1);
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    a->setData(0, 0, 2);
    b->setData(0, 0, 3);
    ASSERT_TRUE(qx.callFuncByName("add", 2, a, b));
    EXPECT_EQ(qx.getFunc("add")->getReturnValue()->getData(0, 0), 5.0);
    EXPECT_FALSE(qx.callFuncByName("add", 1, a));
    EXPECT_FALSE(qx.callFuncByName("add", 2, a, m));
    EXPECT_FALSE(qx.callFuncByName("bad", 1, a));
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 71. Size mismatch in Addition");
    // A reference parameter is bound to the host's variable for the call.
    ASSERT_TRUE(qx.callFuncByName("setr", std::vector<CQXVariable*>{m, b}));
    EXPECT_EQ(m->getData(1, 1), 3.0);
    // Library functions by address, and a host function that throws.
    CQXVariable* x = qx.addDoubleVar("x", 1, 2);
    x->setData(0, 1, 1.0);
    ASSERT_TRUE(qx.callFuncByAddr(qx.getFunc("fabs"), 1, x));
    EXPECT_EQ(qx.getFunc("fabs")->getReturnValue()->getCols(), 2);
    qx.setSmartError(false);
    CQXVariable* neg = qx.addDoubleVar("neg", 1, 1);
    neg->setData(0, 0, -1);
    EXPECT_FALSE(qx.callFuncByName("sqrt", 1, neg));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  sqrt(x) undefined, if x < 0");
    ASSERT_TRUE(qx.addFunc(new ThrowingFunction(qx.getSharedParameter())));
    EXPECT_FALSE(qx.callFuncByName("boom", 1, a));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  Unknown Exception");
}

// A host call binds a reference parameter to the host's variable, but never to a resizable
// one: the body could resize it and leave the parameter on the storage the resize freed.
TEST(CompilerObjectTest, HostCallRefusesAResizableVariableForAReferenceParameter) {
    CQXCompiler qx;
    CQXVariable* grow = qx.addResizeDoubleVar("grow");
    CQXVariable* fixed = qx.addDoubleVar("fixed", 1, 1);
    ASSERT_TRUE(qx.runCompiler("func f(&r) { grow.resize(grow.rows + 1, 1); r = 7; }"));
    EXPECT_FALSE(qx.callFuncByName("f", 1, grow));
    EXPECT_EQ(grow->getRows(), 1);  // refused before the body ran
    ASSERT_TRUE(qx.callFuncByName("f", 1, fixed)) << qx.getException();
    EXPECT_EQ(fixed->getData(0, 0), 7.0);
    EXPECT_EQ(grow->getRows(), 2);
}

// A reference parameter that a host call bound to a copy of the host's row array is bound anew
// by the next call, and whatever was bound to it inside the body (a parameter of a nested
// call, a library call's reference argument) must never be read through the old binding.
TEST(CompilerObjectTest, RepeatedHostCallsRebindReferenceParameters) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* m = qx.addDoubleVar("m", 1, 1);
    CQXVariable* e = qx.addDoubleVar("e", 1, 1);
    ASSERT_TRUE(
        qx.runCompiler("func g(&s) { s = s * 2; } func f(&r) { g(r); r = r + 1; }"
                       "func h(&p, &q) { eigens(p, q, q); }"));
    m->setData(0, 0, 1);
    ASSERT_TRUE(qx.callFuncByName("f", 1, m)) << qx.getException();
    ASSERT_TRUE(qx.callFuncByName("f", 1, m)) << qx.getException();
    EXPECT_EQ(m->getData(0, 0), 7.0);
    m->setData(0, 0, 5);
    ASSERT_TRUE(qx.callFuncByName("h", 2, m, e)) << qx.getException();
    ASSERT_TRUE(qx.callFuncByName("h", 2, m, e)) << qx.getException();
    EXPECT_EQ(e->getData(0, 0), 5.0);  // the eigenvalue of a 1x1 matrix, stored last
}

// A library call's reference arguments are bound for the call only: afterwards none of the
// temporaries refers to the caller's storage, which a later resize may free while a host still
// reads the temporaries.
TEST(CompilerObjectTest, ReferenceArgumentsAreUnboundAfterTheCall) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(qx.runCompiler("double x[], v[1][1]; x = 4; eigens(x, x, v); x.resize(3, 3);"));
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(qx.getVar("v")->getData(0, 0), 4.0);
    for (int i = 0; i < qx.getTmpVarCount(); ++i) {
        CQXVariable* temp = qx.getTmpVar(i);
        EXPECT_FALSE(temp->getState_intern() == vsREFERENCE && temp->hasStorage()) << i;
        temp->toString();
    }
}

}  // namespace
