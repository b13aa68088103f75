// Reference parameters as real hosts use them: host functions that re-point or resize a variable
// bound to a running call, calls that enter the same function again, host calls that bind
// their arguments anew, and bindings that fail. A bound parameter must never address storage
// that can go away while it is bound.
#include <gtest/gtest.h>

#include "qx/qx.h"
#include "tests/core/host_function.h"

using qxtest::CHostFunc;

const std::string kInUse = "Variable in use by a reference parameter accessing Variable ";

TEST(ReferenceBindingTest, ABoundArgumentCannotBeRepointedOrResizedDuringTheCall) {
    CQXCompiler qx;
    double first[4] = {1, 2, 3, 4};
    double other[4] = {};
    CQXVariable* v = qx.addReferenceVar("v", 1, 1, static_cast<double**>(nullptr));
    ASSERT_TRUE(v->changeReference(4, first));  // a flat reference: its row array is its own
    bool active = true, repointed = true;
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "repoint", 0, [&](auto&) {
        if (active) repointed = v->changeReference(4, other);
        return true;
    })));
    ASSERT_TRUE(qx.runCompiler("func f(&x) { repoint(); x[0][0] = 7; }\nf(v);"));
    // The host's re-point is refused, and the call that attempted it fails.
    EXPECT_FALSE(qx.runInterpreter() || repointed);
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 1, position 21. " + kInUse + "v");
    // Between runs nothing is bound: the host re-points freely and the next call binds anew.
    active = false;
    ASSERT_TRUE(v->changeReference(4, other) && qx.runInterpreter()) << qx.getException();
    EXPECT_TRUE(other[0] == 7.0 && first[0] == 1.0);

    // A resizable argument can neither be resized nor assigned a new shape.
    CQXVariable* r = qx.addResizeDoubleVar("r");
    bool nestedChange = true;
    std::string nestedError;
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "poke", 1, [&](auto& args) {
        nestedChange = qx.callFuncByName("grow", 0);
        nestedError = qx.getException();
        nestedChange = nestedChange || qx.callFuncByName("swap", 0) || r->resizeVar(6, 6);
        args[0]->setData(0, 0, 9);  // still the storage r had when the call began
        return true;
    })));
    ASSERT_TRUE(
        qx.runCompiler("func grow() { r.resize(5, 5); }\nfunc swap() { r = [1, 2, 3]; }\n"
                       "r = [1, 2; 3, 4];\npoke(r);"))
        << qx.getError();
    EXPECT_FALSE(qx.runInterpreter() || nestedChange);
    EXPECT_EQ(nestedError, "Interpreter Error:  on line 1, position 27. " + kInUse + "r");
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 4, position 7. " + kInUse + "r");
    ASSERT_EQ(r->getRows(), 2);
    EXPECT_TRUE(r->getData(0, 0) == 9.0 && r->getData(1, 1) == 4.0);
    // Once the call is over the variable is free again.
    EXPECT_TRUE(r->resizeVar(3, 3) && qx.callFuncByName("grow", 0)) << qx.getException();
    EXPECT_EQ(r->getRows(), 5);
}

// A host function that calls the script function running it again, from the host and from a
// script: the inner call would have to re-bind the outer call's parameter, which the outer call
// and its own callees still use, and would overwrite its value parameter.
TEST(ReferenceBindingTest, AFunctionRunningWithBoundParametersCannotBeEnteredAgain) {
    CQXCompiler qx;
    CQXVariable* v = qx.addDoubleVar("v", 1, 1);
    CQXVariable* w = qx.addDoubleVar("w", 1, 1);
    CQXVariable* ten = qx.addDoubleVar("ten", 1, 1);
    ten->setData(0, 0, 10);
    w->setData(0, 0, 1);
    int depth = 0;
    std::string errors;  // a call that were entered would leave an earlier text
    ASSERT_TRUE(qx.addFunc(new CHostFunc(qx, "hostg", 1, [&](auto& args) {
        if (depth++ == 0) {
            qx.callFuncByName("f", 2, w, ten);
            errors = qx.getException() + "|";
            qx.runInterpreter();
            errors += qx.getException();
        }
        args[0]->setData(0, 0, 5);
        return true;
    })));
    // Only an argument holding 0 makes f call hostg, so an inner call with w would leave hostg's
    // own binding alone.
    ASSERT_TRUE(
        qx.runCompiler("func f(&x, y) { if (x == 0) { hostg(x); } x = x + y; }\nf(w, ten);"));
    ASSERT_TRUE(qx.callFuncByName("f", 2, v, w)) << qx.getException();
    EXPECT_EQ(errors,
              "Interpreter Error:  Reference parameter already in use accessing Variable x|"
              "Interpreter Error:  on line 2, position 8. Reference parameter already in use "
              "accessing Variable x");
    EXPECT_TRUE(v->getData(0, 0) == 6.0 && w->getData(0, 0) == 1.0);
    // Afterwards nothing is bound: the program runs.
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(w->getData(0, 0), 11.0);
}

// A host variable without elements cannot be bound: the call fails, also after its first
// binding was made, and leaves nothing bound; a library function refuses it the same way.
TEST(ReferenceBindingTest, AFailedBindingFailsTheCallAndLeavesNothingBound) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* a = qx.addDoubleVar("a", 1, 1);
    qx.addDoubleVar("e", 0, 0);
    CQXVariable* which = qx.addDoubleVar("which", 1, 1);
    ASSERT_TRUE(
        qx.runCompiler("func f(&x) { x = 42; } func g(&x, &y) { x = 1; } double m[2][2];\n"
                       "if (which == 0) { f(a); } else if (which == 1) { f(e); }\n"
                       "if (which < 2) { g(a, e); } eigens(m, e, m);"));
    const std::string noElements = ". Reference argument has no elements accessing Variable e";
    std::string errors;
    for (int k = 0; k < 3; ++k) {
        a->setData(0, 0, 1);
        which->setData(0, 0, k);
        EXPECT_FALSE(qx.runInterpreter());
        errors += qx.getException().substr(20) + std::to_string(a->getData(0, 0)) + "|";
    }
    EXPECT_EQ(errors, "on line 3, position 23" + noElements + "42.000000|on line 2, position 52" +
                          noElements + "1.000000|on line 3, position 39" + noElements +
                          "1.000000|");
}

// A host call binds a reference parameter to the host's variable, anew on every call, so that
// whatever was bound to it inside the body (a parameter of a nested call, a library call's
// reference argument) is never read through an old binding. It never binds a resizable
// variable: the body could resize it and leave the parameter on the storage the resize freed.
// A library call's reference arguments are bound for the call only: afterwards none of the
// temporaries refers to the caller's storage, which a later resize may free.
TEST(ReferenceBindingTest, HostCallsBindReferenceParametersAnew) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* grow = qx.addResizeDoubleVar("grow");
    CQXVariable* m = qx.addDoubleVar("m", 1, 1);
    CQXVariable* e = qx.addDoubleVar("e", 1, 1);
    ASSERT_TRUE(
        qx.runCompiler("func g(&s) { s = s * 2; } func f(&r) { g(r); r = r + 1; }"
                       "func h(&p, &q) { eigens(p, q, q); }"
                       "func k(&r) { grow.resize(grow.rows + 1, 1); r = 7; }"));
    m->setData(0, 0, 1);
    ASSERT_TRUE(qx.callFuncByName("f", 1, m) && qx.callFuncByName("f", 1, m));
    EXPECT_EQ(m->getData(0, 0), 7.0);
    m->setData(0, 0, 5);
    ASSERT_TRUE(qx.callFuncByName("h", 2, m, e) && qx.callFuncByName("h", 2, m, e));
    EXPECT_EQ(e->getData(0, 0), 5.0);  // the eigenvalue of a 1x1 matrix, stored last
    EXPECT_FALSE(qx.callFuncByName("k", 1, grow));
    EXPECT_EQ(grow->getRows(), 1);  // refused before the body ran
    ASSERT_TRUE(qx.callFuncByName("k", 1, m)) << qx.getException();
    EXPECT_TRUE(m->getData(0, 0) == 7.0 && grow->getRows() == 2);

    ASSERT_TRUE(qx.runCompiler("double x[], y[1][1]; x = 4; eigens(x, x, y); x.resize(3, 3);"));
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(qx.getVar("y")->getData(0, 0), 4.0);
    for (int i = 0; i < qx.getTmpVarCount(); ++i) {
        CQXVariable* temp = qx.getTmpVar(i);
        EXPECT_FALSE(temp->getState_intern() == vsREFERENCE && temp->hasStorage()) << i;
        temp->toString();
    }
}

// A host call never writes a constant: a constant for a parameter that writes its argument is
// refused before any argument is copied or anything runs, as a compiled call is refused.
TEST(ReferenceBindingTest, HostCallsRefuseAConstantForAWritingParameter) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    CQXVariable* pi = qx.getVar("pi");
    CQXVariable* m = qx.addDoubleVar("m", 1, 1);
    ASSERT_TRUE(qx.runCompiler("double runs; func setp(a, &p) { runs++; p = a; return 0; }"));
    m->setData(0, 0, 5);
    EXPECT_FALSE(qx.callFuncByName("setp", 2, m, pi));
    EXPECT_FALSE(qx.callFuncByName("eigens", {m, m, pi}));
    EXPECT_EQ(qx.getException(), "Constant can not be LValue or Reference ");
    EXPECT_EQ(qx.getExceptionTrace().back().m_Function, "eigens");
    EXPECT_EQ(pi->getData(0, 0), 3.141592653589793);
    EXPECT_EQ(qx.getVar("runs")->getData(0, 0), 0.0);
    EXPECT_TRUE(qx.callFuncByName("setp", 2, pi, m) && qx.callFuncByName("eigens", {pi, m, m}));
}
