// Limits a host sets on scripts its users write: an instruction budget per run, an interrupt
// from another thread, caps on storage, the nesting of running blocks and of the compiled
// text. Every limit ends the run (or the compile) with an error and leaves the compiler usable.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "qx/qx.h"
#include "tests/core/host_function.h"

TEST(LimitsTest, InstructionLimitAndInterruptStopARun) {
    CQXCompiler qx;
    const std::string exceeded = ". Instruction limit exceeded";
    // Every run gets the whole budget again.
    ASSERT_TRUE(qx.runCompiler("double i; i = 0; i++; i++;"));
    qx.setInstructionLimit(3);
    EXPECT_EQ(qx.getInstructionLimit(), 3);
    EXPECT_TRUE(qx.runInterpreter() && qx.runInterpreter());
    qx.setInstructionLimit(2);
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 1, position 24" + exceeded);
    // Instructions inside functions and host calls count as well.
    ASSERT_TRUE(
        qx.runCompiler("func spin(n) { double k; for (k = 0; k < n; k++;) { } return k; }"));
    CQXVariable* n = qx.addDoubleVar("n", 1, 1);
    n->setData(0, 0, 10);
    qx.setInstructionLimit(100);
    ASSERT_TRUE(qx.callFuncByName("spin", 1, n));
    n->setData(0, 0, 1e9);
    EXPECT_FALSE(qx.callFuncByName("spin", 1, n));
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 1, position 52" + exceeded);

    // With the limit removed (0), an interrupt from another thread stops the run.
    qx.setInstructionLimit(0);
    ASSERT_TRUE(qx.runCompiler("double k; while (1) { k++; }"));
    std::thread stopper([&qx] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        qx.interrupt();
    });
    EXPECT_FALSE(qx.runInterpreter());
    stopper.join();
    EXPECT_NE(qx.getException().find("Interrupted"), std::string::npos) << qx.getException();
    // The request is forgotten when the next run starts.
    EXPECT_TRUE(qx.runCompiler("k = 1;") && qx.runInterpreter());
}

// The limit of one variable, and the total: many variables and temporaries, each well below
// the limit of one, cannot together hold more than the total; what they held is given back
// when they go. The host's own storage is not counted.
TEST(LimitsTest, StorageLimitsStopAllocationsCleanly) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    qx.addDoubleVar("hostdata", 500, 500);
    qx.setStorageLimit(1 << 20);
    ASSERT_TRUE(qx.runCompiler("double r[]; r.resize(1000, 1000);"));
    EXPECT_FALSE(qx.runInterpreter());
    const std::string exceeded = ". Storage limit exceeded accessing Variable ";
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 1, position 31" + exceeded + "r");
    // A literal that grows by concatenation stops at the limit as well.
    ASSERT_TRUE(qx.runCompiler("r = [1, 2]; while (1) { r = [r, r]; }"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("r")->getCols(), (1 << 20) / 8 / 2);
    EXPECT_FALSE(qx.runCompiler("double big[100000][100000];"));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 26. out of memory");
    ASSERT_TRUE(qx.runCompiler("r = [1, 2; 3, 4];") && qx.runInterpreter());

    qx.setTotalStorageLimit(1 << 20);
    // Each variable holds 80800 bytes: twelve fit, the thirteenth does not.
    ASSERT_TRUE(
        qx.runCompiler("double i;\nfor (i = 0; i < 1000; i++;) { addVarByName([\"v\", 65 + i], "
                       "100, 100, dtDOUBLE); }"));
    const int before = qx.getVarCount();
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.getException(), "Interpreter Error:  on line 2, position 77" + exceeded + "vM");
    EXPECT_TRUE(qx.getVarCount() - before == 12 && qx.getScriptStorage() <= 1 << 20);
    // The trace starts at the refused instruction, like that of any other run-time error.
    EXPECT_EQ(qx.getExceptionTrace().at(0).m_Line, 2);
    // Temporaries count as well: each product below is a 300x300 matrix of its own.
    ASSERT_TRUE(qx.runCompiler("double s; s = (ones(300, 300) * 2 * 3 * 4 * 5).sum;"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_NE(qx.getException().find("Storage limit exceeded"), std::string::npos);
    qx.clear(true);
    EXPECT_EQ(qx.getScriptStorage(), 0);
    ASSERT_TRUE(qx.runCompiler("double s; s = (ones(100, 100) * 2 * 3 * 4 * 5).sum;") &&
                qx.runInterpreter());
    EXPECT_EQ(qx.getVar("s")->getData(0, 0), 1200000.0);
}

// Script calls, and a host function that calls itself through the compiler with no bound of
// its own, stop at the limit; a host function cannot clear the program running it.
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

    int depth = 0;
    ASSERT_TRUE(qx.addFunc(new qxtest::CHostFunc(
        qx, "echo", 0, [&](auto&) { return ++depth > 0 && qx.callFuncByName("echo", 0); })));
    EXPECT_FALSE(qx.callFuncByName("echo", 0));
    EXPECT_EQ(depth, chain - 50);
    EXPECT_EQ(qx.getException(), "Interpreter Error:  echo failed");
    EXPECT_FALSE(qx.runCompiler("echo();") && qx.runInterpreter());
    bool compiled = true;
    std::string refusal;
    CQXFunction* meddle = new qxtest::CHostFunc(qx, "meddle", 0, [&](auto&) {
        qx.clear(true);
        compiled = qx.runCompiler("double other;");
        refusal = qx.getError();
        qx.loadStdFunctions();
        return true;
    });
    ASSERT_TRUE(qx.addFunc(meddle));
    ASSERT_TRUE(qx.runCompiler("double a; a = 1; meddle(); a = a + 1;"));
    EXPECT_TRUE(qx.runInterpreter()) << qx.getException();
    EXPECT_TRUE(!compiled && qx.getVar("a")->getData(0, 0) == 2.0 &&
                qx.getFunc("meddle") == meddle);
    EXPECT_EQ(refusal, "Syntaxerror cannot compile while a script runs");
}

// The compiler's recursion is bounded just below kMaxNesting, for every kind of bracket; long
// flat expressions and lists do not recurse at all.
TEST(LimitsTest, NestingOfTheTextIsBoundedAndFlatTextIsNot) {
    CQXCompiler qx;
    const int depth = CQXCompiler::kMaxNesting - 2;
    for (const char* pair : {"()", "[]"}) {
        for (int n : {depth, depth + 1}) {
            qx.clear(true);  // a failed compile keeps what it declared
            const std::string text = std::string(n, pair[0]) + "2" + std::string(n, pair[1]);
            const bool ok = qx.runCompiler("double a; a = " + text + ";");
            EXPECT_EQ(ok ? "" : qx.getError(),
                      n == depth ? "" : "Syntaxerror on line 1, position 268. nesting too deep");
        }
    }
    EXPECT_TRUE(qx.runCompiler(std::string(depth + 1, '{') + std::string(depth + 1, '}')));
    EXPECT_FALSE(qx.runCompiler(std::string(depth + 2, '{') + std::string(depth + 2, '}')));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 255. nesting too deep");
    // The statement under an if takes a level of its own besides its braces.
    std::string ifs;
    for (int n = 0; n < CQXCompiler::kMaxNesting / 2; ++n) ifs += "if (1) {";
    EXPECT_TRUE(qx.runCompiler(ifs.substr(8) + std::string(depth / 2, '}')));
    EXPECT_FALSE(qx.runCompiler(ifs + std::string(depth / 2 + 1, '}')));
    EXPECT_EQ(qx.getError(), "Syntaxerror on line 1, position 1023. nesting too deep");

    qx.clear(true);
    std::string sum = "double a; a = 0", decl = "double v0";
    for (int i = 1; i < 200000; ++i) sum += "+1";
    for (int i = 1; i < 100000; ++i) decl += ", v" + std::to_string(i);
    ASSERT_TRUE(qx.runCompiler(sum + "+1;") && qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 200000.0);
    qx.clear(true);
    ASSERT_TRUE(qx.runCompiler(decl + ";")) << qx.getError();
    EXPECT_EQ(qx.getVarCount(), 100000);
}
