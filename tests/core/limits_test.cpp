// Limits a host sets on scripts its users write: an instruction budget per run, an interrupt
// from another thread, caps on storage, the nesting of running blocks and of the compiled
// text. Every limit ends the run (or the compile) with an error and leaves the compiler usable.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "qx/qx.h"

namespace {

std::string repeat(int count, const std::string& text) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

TEST(LimitsTest, InstructionLimitStopsARunWhereItIsReached) {
    CQXCompiler qx;
    qx.setInstructionLimit(1000);
    EXPECT_EQ(qx.getInstructionLimit(), 1000);
    ASSERT_TRUE(qx.runCompiler("while (1) { }"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 8. Instruction limit exceeded");
    // Every run gets the whole budget again; a limit of 0 removes it.
    ASSERT_TRUE(qx.runCompiler("double i; i = 0; i++; i++;"));
    qx.setInstructionLimit(3);
    EXPECT_TRUE(qx.runInterpreter());
    EXPECT_TRUE(qx.runInterpreter());
    qx.setInstructionLimit(2);
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 24. Instruction limit exceeded");
    qx.setInstructionLimit(0);
    EXPECT_TRUE(qx.runInterpreter());
    // Instructions inside functions and host calls count as well.
    ASSERT_TRUE(
        qx.runCompiler("func spin(n) { double k; for (k = 0; k < n; k++;) { } return k; }"));
    CQXVariable* n = qx.addDoubleVar("n", 1, 1);
    n->setData(0, 0, 10);
    qx.setInstructionLimit(100);
    ASSERT_TRUE(qx.callFuncByName("spin", 1, n));
    n->setData(0, 0, 1e9);
    EXPECT_FALSE(qx.callFuncByName("spin", 1, n));
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 52. Instruction limit exceeded");
    EXPECT_LT(qx.getVar("i")->getData(0, 0), 1000.0);
}

TEST(LimitsTest, InterruptFromAnotherThreadStopsTheRun) {
    CQXCompiler qx;
    ASSERT_TRUE(qx.runCompiler("double k; while (1) { k++; }"));
    std::thread stopper([&qx] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        qx.interrupt();
    });
    EXPECT_FALSE(qx.runInterpreter());
    stopper.join();
    EXPECT_NE(qx.getException().find("Interrupted"), std::string::npos) << qx.getException();
    EXPECT_GT(qx.getVar("k")->getData(0, 0), 0.0);
    // The request is forgotten when the next run starts.
    ASSERT_TRUE(qx.runCompiler("k = 1;"));
    EXPECT_TRUE(qx.runInterpreter());
}

TEST(LimitsTest, StorageLimitsStopAllocationsCleanly) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    ASSERT_TRUE(qx.runCompiler("double r[]; r = zeros(1e9, 1e9);"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 1, position 30. Unknown Exception");
    qx.setStorageLimit(1 << 20);
    EXPECT_EQ(qx.getStorageLimit(), 1 << 20);
    ASSERT_TRUE(qx.runCompiler("r.resize(1000, 1000);"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 1, position 19. Storage limit exceeded accessing "
              "Variable r");
    // A literal that grows by concatenation stops at the limit as well.
    ASSERT_TRUE(qx.runCompiler("r = [1, 2]; while (1) { r = [r, r]; }"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("r")->getCols(), (1 << 20) / 8 / 2);
    EXPECT_FALSE(qx.runCompiler("double big[100000][100000];"));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 26. out of memory");
    ASSERT_TRUE(qx.runCompiler("r = zeros(2, 2);"));
    EXPECT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("r")->getRows(), 2);
}

// Many variables and temporaries, each well below the limit of one variable, cannot together
// hold more than the total limit; what they held is given back when they go.
TEST(LimitsTest, TotalStorageLimitBoundsWhatScriptsHoldAltogether) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    qx.addDoubleVar("hostdata", 500, 500);  // the host's own storage is not counted
    qx.setStorageLimit(1 << 20);
    qx.setTotalStorageLimit(1 << 20);
    EXPECT_EQ(qx.getTotalStorageLimit(), 1 << 20);
    // Each variable holds 80800 bytes: twelve fit, the thirteenth does not.
    ASSERT_TRUE(
        qx.runCompiler("double i;\nfor (i = 0; i < 1000; i++;) { addVarByName([\"v\", 65 + i], "
                       "100, 100, dtDOUBLE); }"));
    const int before = qx.getVarCount();
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(),
              "Interpreter Error:  on line 2, position 77. Storage limit exceeded accessing "
              "Variable vM");
    EXPECT_EQ(qx.getVarCount() - before, 12);
    EXPECT_LE(qx.getScriptStorage(), 1 << 20);
    // The trace starts at the refused instruction, like that of any other run-time error.
    ASSERT_FALSE(qx.getExceptionTrace().empty());
    EXPECT_EQ(qx.getExceptionTrace().front().m_Line, 2);
    // Temporaries count as well: each product below is a 300x300 matrix of its own.
    ASSERT_TRUE(qx.runCompiler("double s; s = (ones(300, 300) * 2 * 3 * 4 * 5).sum;"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_NE(qx.getException().find("Storage limit exceeded"), std::string::npos);
    qx.clear(true);
    EXPECT_EQ(qx.getScriptStorage(), 0);
    ASSERT_TRUE(qx.runCompiler("double s; s = (ones(100, 100) * 2 * 3 * 4 * 5).sum;"));
    EXPECT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_EQ(qx.getVar("s")->getData(0, 0), 1200000.0);
}

// A host function that calls itself through the compiler, with no bound of its own, or that
// tries to clear and recompile the program running it.
class Reentrant : public CQXFunction {
public:
    Reentrant(CQXCompiler* qx, const char* name)
        : CQXFunction(name, qx->getSharedParameter()), m_pQx(qx) {
        setParamCount(0);
        setReturnType(false);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>*) override {
        ++m_Depth;
        if (getName() == "echo")
            return m_pQx->callFuncByName("echo", 0) ? isOK : raise("echo failed");
        m_pQx->clear(true);
        m_bCompiled = m_pQx->runCompiler("double other;");
        m_pQx->loadStdFunctions();
        return isOK;
    }
    CQXCompiler* m_pQx;
    int m_Depth = 0;
    bool m_bCompiled = true;
};

TEST(LimitsTest, CallNestingStopsBeforeTheNativeStack) {
    CQXCompiler qx;
    std::string text = "func f0(x) { return x + 1; }\n";
    const int chain = CQXInterpreter::kMaxRunDepth + 50;
    for (int i = 1; i < chain; ++i)
        text += "func f" + std::to_string(i) + "(x) { return f" + std::to_string(i - 1) +
                "(x) + 1; }\n";
    text +=
        "double shallow, deep; shallow = f100(0); deep = f" + std::to_string(chain - 1) + "(0);";
    ASSERT_TRUE(qx.runCompiler(text)) << qx.getError();
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_NE(qx.getException().find("Call nesting too deep"), std::string::npos);
    EXPECT_EQ(qx.getVar("shallow")->getData(0, 0), 101.0);

    Reentrant* echo = new Reentrant(&qx, "echo");
    ASSERT_TRUE(qx.addFunc(echo));
    EXPECT_FALSE(qx.callFuncByName("echo", 0));
    EXPECT_EQ(echo->m_Depth, chain - 50);
    EXPECT_EQ(qx.getException(), "Interpreter Error:  echo failed");
    ASSERT_TRUE(qx.runCompiler("echo();"));
    EXPECT_FALSE(qx.runInterpreter());
    // A running program cannot be cleared from underneath itself.
    Reentrant* meddle = new Reentrant(&qx, "meddle");
    ASSERT_TRUE(qx.addFunc(meddle));
    ASSERT_TRUE(qx.runCompiler("double a; a = 1; meddle(); a = a + 1;"));
    EXPECT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_FALSE(meddle->m_bCompiled);
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 2.0);
    EXPECT_EQ(qx.getFunc("meddle"), meddle);
}

// The compiler's recursion is bounded just below kMaxNesting, for every kind of bracket; long
// flat expressions and lists do not recurse at all.
TEST(LimitsTest, NestingOfTheTextIsBoundedAndFlatTextIsNot) {
    CQXCompiler qx;
    const int depth = CQXCompiler::kMaxNesting - 2;
    for (const char* pair : {"()", "[]"}) {
        const std::string open(1, pair[0]), close(1, pair[1]);
        for (int n : {depth, depth + 1}) {
            qx.clear(true);  // a failed compile keeps what it declared
            const bool ok =
                qx.runCompiler("double a; a = " + repeat(n, open) + "2" + repeat(n, close) + ";");
            EXPECT_EQ(ok, n == depth) << pair << " " << n;
            EXPECT_EQ(ok ? "" : qx.getError(),
                      ok ? "" : "Syntaxerror on line 1, position 268. nesting too deep");
        }
    }
    EXPECT_TRUE(qx.runCompiler(repeat(depth + 1, "{") + repeat(depth + 1, "}")));
    EXPECT_FALSE(qx.runCompiler(repeat(depth + 2, "{") + repeat(depth + 2, "}")));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 255. nesting too deep");

    qx.clear(true);
    ASSERT_TRUE(qx.runCompiler("double a; a = 0" + repeat(200000, "+1") + ";"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 200000.0);
    std::string decl = "double v0";
    for (int i = 1; i < 100000; ++i) decl += ", v" + std::to_string(i);
    CQXCompiler qx2;
    ASSERT_TRUE(qx2.runCompiler(decl + ";")) << qx2.getError();
    EXPECT_EQ(qx2.getVarCount(), 100000);
}

}  // namespace
