// Allocation failures injected into the host's calls and runs: a replaced global operator new
// fails the n-th allocation after it is armed, for n = 0, 1, 2, ... until the operation no longer
// reaches it. Whatever fails, no exception reaches the host and the compiler is never left
// marked as running. A binary of its own, so the replacement weakens no other test's checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>

#include "qx/qx.h"

namespace {

long g_Countdown = -1;  // allocations to let through before one fails; below 0: none fails
bool g_Failed = false;  // the armed allocation was reached

void* allocate(std::size_t size) {
    g_Failed = g_Failed || g_Countdown == 0;
    void* block = g_Countdown-- == 0 ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

// clang-format off
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
// clang-format on

TEST(AllocationFailureTest, HostCallsAndRunsFailCleanlyWhereverAnAllocationFails) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    CQXVariable* m = qx.addDoubleVar("m", 3, 3);
    CQXVariable* v = qx.addDoubleVar("v", 1, 3);
    v->setData(0, 2, 1);
    const char* const program = "t = f(m, v) + max(m, m).sum;";
    qx.addDoubleVar("t", 1, 1);
    ASSERT_TRUE(qx.runCompiler("func f(&x, y[1][3]) { x = x * 2 + [y; y; y]; return x.sum; }"));
    ASSERT_TRUE(qx.runCompiler(program)) << qx.getError();
    // Each operation fails at its first, second, ... allocation until it no longer reaches one.
    const auto everyFailure = [&](const char* what, const std::function<bool()>& operation) {
        long n = 0;
        for (g_Failed = true; g_Failed; ++n) {
            g_Failed = false;
            g_Countdown = n;
            bool ok = true;
            EXPECT_NO_THROW(ok = operation()) << what << " " << n;
            g_Countdown = -1;
            EXPECT_EQ(ok, !g_Failed) << what << " " << n;
            // The compiler is not left running: it compiles again.
            ASSERT_TRUE(qx.runCompiler(program)) << what << " " << n << ": " << qx.getError();
        }
        EXPECT_GT(n, 1) << what;
    };
    everyFailure("call", [&] { return qx.callFuncByName("f", 2, m, v); });
    everyFailure("run", [&] { return qx.runInterpreter(); });
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
}
