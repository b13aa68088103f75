// The compiler's one recursive lock: a thread runs scripts while other threads use the locking
// accessors of its variables and the option setters, and a host function called from the
// script takes a locking accessor again on the same thread. Run under ThreadSanitizer by
// scripts/test.sh --tsan.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "qx/qx.h"
#include "tests/core/host_function.h"

TEST(ThreadTest, ScriptsRunWhileOtherThreadsUseTheLockingAccessors) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* v = qx.addDoubleVar("v", 4, 4);
    // peek(p) reads v through the locking accessor from inside the running script.
    ASSERT_TRUE(qx.addFunc(new qxtest::CHostFunc(qx, "peek", 1, [v](auto& args) {
        args[0]->setData(0, 0, v->getDoublePtr()[0][0]);
        return true;
    })));
    ASSERT_TRUE(qx.runCompiler("double s, p; v = v + 1; peek(p); s = p + v.sum;"));
    std::atomic<bool> done{false};
    std::thread runner([&] {
        for (int i = 0; i < 200; ++i) EXPECT_TRUE(qx.runInterpreter()) << qx.getException();
        done = true;
    });
    std::thread other([&] {
        for (int i = 0; !done; ++i) {
            EXPECT_TRUE(v->getDoublePtr() != nullptr && !v->toString().empty());
            qx.setClipping(i % 2 == 0);
            qx.setSmartError(i % 3 != 0);
            qx.setInstructionLimit(0);
        }
    });
    runner.join();
    other.join();
    EXPECT_TRUE(v->getData(0, 0) == 200.0 && qx.getVar("s")->getData(0, 0) == 200.0 * 17);
}

// Reloading the standard library and clearing the program from another thread wait for the
// running script: they never delete a function or a block it is using.
TEST(ThreadTest, ReloadingAndClearingWaitForTheRunningScript) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    std::atomic<bool> done{false};
    std::thread runner([&] {
        for (int i = 0; i < 300; ++i) {
            qx.clear(true);
            EXPECT_TRUE(
                qx.runCompiler("double s, k; s = 0;"
                               "for (k = 0; k < 50; k++;) { s = s + fabs(sin(k)); }"))
                << qx.getError();
            // The other thread may have dropped the program in between, never in the middle.
            EXPECT_TRUE(qx.runInterpreter() ||
                        qx.getException() == "Interpreter Error:  Nothing to Interprete");
        }
        done = true;
    });
    for (int i = 0; !done; ++i) {
        qx.loadStdFunctions();
        qx.loadStdVars();
        qx.clear(i % 4 == 0);
    }
    runner.join();
}

// A locking accessor waits while another thread holds the lock.
TEST(ThreadTest, LockingAccessorsWaitForTheLock) {
    CQXSharedParameter shared;
    CQXVariable v(&shared);
    v.initialize("v", 1, 1, edtDOUBLE);
    std::thread writer;
    {
        CQXCriticalSectionLock held(&shared.m_Lock);
        writer = std::thread([&] { v.setConst(true); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(v.getConst());
    }
    writer.join();
    EXPECT_TRUE(v.getConst());
}
