// The shared options and the per-compiler lock: defaults, copies, recursion on one thread,
// exclusion between threads, and release on every path.
#include "qx/core/shared_parameter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>

#include "qx/values/variable.h"

namespace {

bool lockIsFreeForAnotherThread(std::recursive_mutex& lock) {
    bool free = false;
    std::thread probe([&] {
        free = lock.try_lock();
        if (free) lock.unlock();
    });
    probe.join();
    return free;
}

TEST(SharedParameterTest, CopyCarriesTheFlagsButHasALockOfItsOwn) {
    CQXSharedParameter source;
    EXPECT_TRUE(source.m_bClipping);
    EXPECT_TRUE(source.m_bSmartError);
    source.m_bClipping = false;
    CQXSharedParameter copy(source);
    EXPECT_FALSE(copy.m_bClipping);
    EXPECT_TRUE(copy.m_bSmartError);
    CQXSharedParameter assigned;
    source.m_bSmartError = false;
    assigned = source;
    EXPECT_FALSE(assigned.m_bSmartError);
    // Holding the source's lock does not hold the copies'.
    CQXCriticalSectionLock held(&source.m_Lock);
    EXPECT_TRUE(lockIsFreeForAnotherThread(copy.m_Lock));
    EXPECT_TRUE(lockIsFreeForAnotherThread(assigned.m_Lock));
    EXPECT_FALSE(lockIsFreeForAnotherThread(source.m_Lock));
}

TEST(SharedParameterTest, HolderCanCallLockingAccessorsAgain) {
    CQXSharedParameter shared;
    CQXVariable v(&shared);
    v.initialize("v", 1, 1, edtDOUBLE);
    v.setVarState(vsRESIZABLE);
    CQXCriticalSectionLock outer(&shared.m_Lock);
    // Each of these takes the same lock again on this thread and must not block.
    EXPECT_NE(v.getDoublePtr(), nullptr);
    v.setConst(true);
    EXPECT_TRUE(v.resizeVar(1, 2));
    EXPECT_EQ(v.toString(), "v=0.0000,0.0000,\r\n");
}

TEST(SharedParameterTest, FailedAllocationInALockedAccessorReleasesTheLock) {
    CQXSharedParameter shared;
    CQXVariable v(&shared);
    v.initialize("v", 1, 1, edtDOUBLE);
    v.setVarState(vsRESIZABLE);
    EXPECT_THROW(v.resizeVar(2147483647, 2147483647), std::bad_alloc);
    EXPECT_TRUE(lockIsFreeForAnotherThread(shared.m_Lock));
}

TEST(SharedParameterTest, LockedAccessorWaitsWhileAnotherThreadHoldsTheLock) {
    CQXSharedParameter shared;
    CQXVariable v(&shared);
    std::atomic<bool> done{false};
    std::thread writer;
    {
        CQXCriticalSectionLock held(&shared.m_Lock);
        writer = std::thread([&] {
            v.setConst(true);
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(done);
        EXPECT_FALSE(v.getConst());
    }
    writer.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(v.getConst());
}

}  // namespace
