// The execution plan against the blocks run one inside the other (the reference mode): the same
// programs on two compilers, compared after every run bit for bit, error records and traces
// included. The cases are those where a flat plan could go wrong: where break, continue and
// return land, the instruction limit and the nesting limit, errors deep inside blocks, and the
// register form when the host's rows or a variable's shape change under it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "qx/vm/interpreter.h"
#include "qx/vm/plan_internal.h"
#include "tests/core/host_function.h"

namespace {

using Setup = std::function<void(CQXCompiler&)>;

// What one run leaves behind that a script or a host can see.
struct Outcome {
    bool ok = false;
    std::string error;
    std::vector<std::string> trace;
    std::vector<std::string> values;  // name, shape and the bytes of every element
};

std::string bits(double v) {
    unsigned long long u = 0;
    std::memcpy(&u, &v, sizeof u);
    return std::to_string(u);
}

Outcome observe(CQXCompiler& qx, bool ok) {
    Outcome out;
    out.ok = ok;
    if (!ok) out.error = qx.getException();
    for (const sCallSite& site : qx.getExceptionTrace())
        out.trace.push_back(site.m_Function + "@" + std::to_string(site.m_Line) + ":" +
                            std::to_string(site.m_Pos));
    for (int i = 0; i < qx.getVarCount(); ++i) {
        const CQXVariable* v = qx.getVar(i);
        std::string text =
            v->getName() + " " + std::to_string(v->getRows()) + "x" + std::to_string(v->getCols());
        for (int r = 0; r < v->getRows(); ++r)
            for (int c = 0; c < v->getCols(); ++c) text += " " + bits(v->getData(r, c));
        out.values.push_back(text);
    }
    return out;
}

// One compiler running the plan, one in the reference mode.
struct Twins {
    Twins(const std::string& script, const Setup& setup = nullptr) {
        for (int k = 0; k < 2; ++k) {
            qx[k].loadStdFunctions();
            qx[k].getSharedParameter()->m_bReferenceMode = k == 1;
            if (setup) setup(qx[k]);
            compiled[k] = qx[k].runCompiler(script);
        }
    }
    // Runs both `times` times and checks that they agree after every run; the plan's outcomes.
    std::vector<Outcome> runBoth(int times = 3) {
        std::vector<Outcome> plan;
        for (int n = 0; n < times; ++n) {
            const Outcome fast = observe(qx[0], qx[0].runInterpreter());
            const Outcome reference = observe(qx[1], qx[1].runInterpreter());
            EXPECT_EQ(fast.ok, reference.ok) << "run " << n;
            EXPECT_EQ(fast.error, reference.error) << "run " << n;
            EXPECT_EQ(fast.trace, reference.trace) << "run " << n;
            EXPECT_EQ(fast.values, reference.values) << "run " << n;
            plan.push_back(fast);
        }
        return plan;
    }
    CQXCompiler qx[2];
    bool compiled[2] = {false, false};
};

double valueOf(CQXCompiler& qx, const char* name) {
    return qx.getVar(name)->getData(0, 0);
}

TEST(PlanTest, BreakContinueAndReturnLandWhereTheBlocksWouldTakeThem) {
    const std::string functions =
        "func first(limit) { double k; for (k = 0; k < 100; k++;) { if (k * k > limit) { "
        "return k; } } return -1; }\n";
    const char* const scripts[] = {
        // continue runs the for loop's step; break leaves only the inner loop
        "double i, j, s; s = 0; for (i = 0; i < 6; i++;) { if (i == 2) { continue; } "
        "for (j = 0; j < 10; j++;) { if (j == i) { break; } s += j; } s += 100; }",
        // break and continue in else branches and in while loops
        "double i, s; i = 0; s = 0; while (i < 20) { i++; if (i % 2 == 0) { s += 1; } else "
        "{ if (i > 13) { break; } else { continue; } } s += 10; }",
        // a loop whose condition holds with && and a bare element on the right
        "double M[4][1], i, n; M = [1; 1; 0; 1]; i = 0; n = 0; while (i < 4 && M[i][0]) { "
        "n++; i++; }",
        // return from inside a loop inside a branch of a function, called in a loop
        "double s, q; s = 0; for (q = 0; q < 5; q++;) { s = s * 10 + first(q * 3); }",
        // empty branches, empty loop bodies and a repeat with nothing in it
        "double i; i = 0; while (i < 3) { if (i) { } else { } i++; } if (0) { } else { }",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        Twins twins(script, [&](CQXCompiler& qx) { ASSERT_TRUE(qx.runCompiler(functions)); });
        ASSERT_TRUE(twins.compiled[0]) << twins.qx[0].getError();
        ASSERT_TRUE(twins.compiled[1]);
        for (const Outcome& run : twins.runBoth()) EXPECT_TRUE(run.ok) << run.error;
    }
    // Values worked out by hand, in case both ways went wrong alike.
    Twins loops(scripts[0]);
    loops.runBoth(1);
    EXPECT_EQ(valueOf(loops.qx[0], "s"), (0 + 0 + 3 + 6 + 10) + 5 * 100);
    Twins odd(scripts[1]);
    odd.runBoth(1);
    EXPECT_EQ(valueOf(odd.qx[0], "i"), 15);
    EXPECT_EQ(valueOf(odd.qx[0], "s"), 77);
    Twins guard(scripts[2]);
    guard.runBoth(1);
    EXPECT_EQ(valueOf(guard.qx[0], "n"), 2);
}

// Runs script on twins stopped by every instruction limit from 1 to last, `runs` times each,
// and hands the twins to `after`.
void atEveryLimit(const std::string& script, long long last, int runs,
                  const std::function<void(Twins&)>& after = nullptr) {
    for (long long limit = 1; limit <= last; ++limit) {
        SCOPED_TRACE(limit);
        Twins twins(script, [&](CQXCompiler& qx) { qx.setInstructionLimit(limit); });
        ASSERT_TRUE(twins.compiled[0]) << twins.qx[0].getError();
        twins.runBoth(runs);
        if (after) after(twins);
    }
}

TEST(PlanTest, InstructionLimitStopsAtTheSameInstructionAsBlockByBlock) {
    const std::string script =
        "double i, s; s = 0; for (i = 0; i < 4; i++;) { if (i % 2 == 0) { s += i; } else { "
        "while (s < 5) { s++; if (s == 3) { continue; } } } }";
    atEveryLimit(script, 90, 2);
    Twins unlimited(script);
    EXPECT_TRUE(unlimited.runBoth(1)[0].ok);
}

TEST(PlanTest, ErrorsDeepInsideBlocksKeepTheirPlaceTraceAndVariable) {
    const std::string functions =
        "func inner(m[3][1], k) { double x; if (k > 1) { while (1) { x = m[k][0]; k++; } } "
        "return x; }\n"
        "func outer(m[3][1]) { double k, r; for (k = 0; k < 3; k++;) { r = inner(m, k); } "
        "return r; }\n";
    Twins twins("double v[3][1], r;\nif (1) {\n  r = outer(v);\n}",
                [&](CQXCompiler& qx) { ASSERT_TRUE(qx.runCompiler(functions)); });
    ASSERT_TRUE(twins.compiled[0]) << twins.qx[0].getError();
    const std::vector<Outcome> runs = twins.runBoth();
    EXPECT_FALSE(runs[0].ok);
    EXPECT_NE(runs[0].error.find("Row-Index out of Range accessing Variable m"), std::string::npos)
        << runs[0].error;
    EXPECT_EQ(runs[0].trace.size(), 3u);
}

TEST(PlanTest, NestingLimitCountsTheBlocksAroundACall) {
    // h calls g again from the host; g calls h from inside nested blocks, one more of them each
    // time, so the limit falls on every kind of entry in turn: a branch, a loop block, a loop
    // body, a function. The chain ends at the same depth, with the same record, whether the
    // blocks are entered or laid out flat.
    for (int extra = 0; extra < 5; ++extra) {
        std::string body = "h();";
        for (int k = 0; k < extra; ++k) body = "if (1) { " + body + " }";
        const std::string g = "func g() { n++; if (1) { while (1) { " + body + " } } }";
        SCOPED_TRACE(g);
        Twins twins("n = 0; g();", [&g](CQXCompiler& qx) {
            qx.addDoubleVar("n", 1, 1);
            qx.addFunc(new qxtest::CHostFunc(qx, "h", 0, [&qx](const std::vector<CQXVariable*>&) {
                return qx.callFuncByName("g", 0);
            }));
            ASSERT_TRUE(qx.runCompiler(g));
        });
        ASSERT_TRUE(twins.compiled[0]) << twins.qx[0].getError();
        const std::vector<Outcome> runs = twins.runBoth(1);
        EXPECT_FALSE(runs[0].ok);
        EXPECT_GT(valueOf(twins.qx[0], "n"), 10);
    }
}

TEST(PlanTest, NestingLimitFallsOnTheSameBlockEntry) {
    // A chain of script functions, each calling the next from a loop inside `outer` branches,
    // runs into the nesting limit; the error keeps the place of the entry that failed. The
    // number of branches moves that entry through every kind: a function's own block (outer 1),
    // a loop block (0, 3), a loop body (4), a branch (6).
    for (int outer = 0; outer <= 6; ++outer) {
        std::string text = "func f400() { n++; }\n";
        for (int k = 399; k >= 0; --k) {
            std::string body = "while (1) { n++; f" + std::to_string(k + 1) + "(); break; }";
            for (int e = 0; e < outer; ++e) body = "if (n >= 0) { " + body + " }";
            text += "func f" + std::to_string(k) + "() { " + body + " }\n";
        }
        SCOPED_TRACE(outer);
        Twins twins(text + "n = 0; f0();", [](CQXCompiler& qx) { qx.addDoubleVar("n", 1, 1); });
        ASSERT_TRUE(twins.compiled[0]) << twins.qx[0].getError();
        const std::vector<Outcome> runs = twins.runBoth(1);
        EXPECT_FALSE(runs[0].ok);
        EXPECT_NE(runs[0].error.find("Call nesting too deep"), std::string::npos) << runs[0].error;
    }
}

TEST(PlanTest, RootBlocksRunThroughThePlanOutsideTheReferenceMode) {
    for (bool reference : {false, true}) {
        CQXCompiler qx;
        qx.setReferenceMode(reference);
        ASSERT_TRUE(
            qx.runCompiler("func f(v) { return v * 2; }\n"
                           "double i, s; s = 0; for (i = 0; i < 3; i++;) { s = s + f(i); }"));
        const unsigned long long runs = qxplan::plannedRunCount();
        const unsigned long long forms = qxplan::registerFormCount();
        ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
        // The main block and each of the three calls of f; the loop's scalar steps.
        EXPECT_EQ(qxplan::plannedRunCount() - runs, reference ? 0u : 4u);
        EXPECT_EQ(qxplan::registerFormCount() > forms, !reference);
        EXPECT_EQ(valueOf(qx, "s"), 6);
        // A compiled program may switch modes between runs.
        qx.setReferenceMode(!reference);
        const unsigned long long again = qxplan::plannedRunCount();
        ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
        EXPECT_EQ(qxplan::plannedRunCount() - again, reference ? 4u : 0u);
        EXPECT_EQ(valueOf(qx, "s"), 6);
    }
}

// The parameter list of a function, which only the library reads.
struct ParameterPeek : CQXFunction {
    static CQXVarManager& of(CQXFunction& func) { return func.*(&ParameterPeek::m_Varlist); }
};

TEST(PlanTest, AStoppedCallLeavesNoArgumentBound) {
    // The instruction limit stops the run at every instruction in turn, also between the
    // bindings of f's reference parameters and the call; afterwards none of them is bound to
    // the caller's storage, on either way of running.
    const std::string script =
        "func f(&x, &y, z) { x = x + y + z; }\n"
        "double a[2][2], b[2][2], i; for (i = 0; i < 2; i++;) { if (i >= 0) { f(a, b, i); } }";
    atEveryLimit(script, 30, 1, [](Twins& twins) {
        for (CQXCompiler& qx : twins.qx) {
            CQXVarManager& params = ParameterPeek::of(*qx.getFunc("f"));
            for (int k = 0; k < 2; ++k) EXPECT_FALSE(params.getVar(k)->isBound_intern()) << k;
        }
    });
}

// Blocks built by hand, which no compile makes: a block that enters itself is deeper than any
// plan lays out, so it runs block by block until the nesting limit stops it, exactly as in the
// reference mode; and a root block that grew after its first run gets a new plan.
TEST(PlanTest, HandBuiltTreesRunAsBlockByBlock) {
    for (bool reference : {false, true}) {
        CQXSharedParameter shared;
        shared.m_bReferenceMode = reference;
        CQXVariable x(&shared);
        x.initialize("x", 1, 1, edtDOUBLE);
        CQXInterpreter block(&shared);
        block.addByteCode(sByteCode(otINC, sByteCodeVar(&x), {}, nullptr), 3, 7);
        sByteCode again;
        again.m_Opt = otBLOCK;
        again.m_pBlock = &block;
        block.addByteCode(again, 4, 2);
        EXPECT_EQ(block.Interprete(), isEXCEPTION);
        EXPECT_EQ(block.getError().getText(), "Call nesting too deep");
        EXPECT_EQ(block.getError().getLine(), 3);
        EXPECT_EQ(block.getError().getPos(), 7);
        const double limit = CQXInterpreter::kMaxRunDepth;
        EXPECT_EQ(x.getData(0, 0), limit);

        CQXInterpreter grows(&shared);
        grows.addByteCode(sByteCode(otINC, sByteCodeVar(&x), {}, nullptr), 1, 1);
        x.setData(0, 0, 0);
        EXPECT_EQ(grows.Interprete(), isOK);
        grows.addByteCode(sByteCode(otINC, sByteCodeVar(&x), {}, nullptr), 2, 1);
        EXPECT_EQ(grows.Interprete(), isOK);
        EXPECT_EQ(x.getData(0, 0), 3);
    }
}

TEST(PlanTest, RegisterFormFollowsTheHostsRowsAndChangingShapes) {
    double cells[2] = {1, 100};
    double* row = &cells[0];
    CQXCompiler qx;
    qx.addReferenceVar("h", 1, 1, &row);
    qx.addDoubleVar("s", 1, 1);
    ASSERT_TRUE(qx.runCompiler("double i; s = 0; for (i = 0; i < 3; i++;) { s = s + h; }"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(valueOf(qx, "s"), 3);
    row = &cells[1];  // the host re-points its row between runs, without telling anyone
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(valueOf(qx, "s"), 300);

    // A host function re-points the row while the loop runs.
    CQXCompiler moving;
    row = &cells[0];
    moving.addReferenceVar("h", 1, 1, &row);
    moving.addDoubleVar("s", 1, 1);
    moving.addFunc(new qxtest::CHostFunc(moving, "flip", 0, [&](const std::vector<CQXVariable*>&) {
        row = row == &cells[0] ? &cells[1] : &cells[0];
        return true;
    }));
    ASSERT_TRUE(
        moving.runCompiler("double i; s = 0; for (i = 0; i < 4; i++;) { s = s + h; flip(); }"));
    ASSERT_TRUE(moving.runInterpreter()) << moving.getException();
    EXPECT_EQ(valueOf(moving, "s"), 202);

    // A resizable variable grows into a matrix inside the loop and shrinks back.
    Twins shapes(
        "double i, r[]; r = 1; for (i = 0; i < 6; i++;) { r = r + i; "
        "if (i == 2) { r = [r, r; r, r]; } if (i == 4) { r = r[0][1]; } }");
    ASSERT_TRUE(shapes.compiled[0]) << shapes.qx[0].getError();
    for (const Outcome& run : shapes.runBoth()) EXPECT_TRUE(run.ok) << run.error;
}

TEST(PlanTest, RegisterFormLeavesZeroDivisorsToTheGeneralPath) {
    Twins smart("double a, z, q; a = 1; z = 0; q = a / z; q = q + a % z;");
    ASSERT_TRUE(smart.compiled[0]) << smart.qx[0].getError();
    const std::vector<Outcome> smartRuns = smart.runBoth();
    EXPECT_TRUE(smartRuns[0].ok) << smartRuns[0].error;
    EXPECT_EQ(valueOf(smart.qx[0], "q"), DBL_MAX);
    Twins strict("double a, z, q; a = 1; z = 0; q = a / z;",
                 [](CQXCompiler& qx) { qx.setSmartError(false); });
    const std::vector<Outcome> strictRuns = strict.runBoth();
    EXPECT_FALSE(strictRuns[0].ok);
    EXPECT_NE(strictRuns[0].error.find("Division by zero"), std::string::npos)
        << strictRuns[0].error;
}

}  // namespace
