// The per-compiler options (clipping, smart error, reference mode) and the recursive lock that
// serialises the compiler's public operations with the host's access to variables. Every variable,
// block, function and variable manager of one compiler points to that compiler's single instance.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "qx/core/error.h"
#include "qx/export.h"

class CQXVariable;

class QX_API CQXSharedParameter {
public:
    CQXSharedParameter();
    // A copy carries the option flags and gets a lock of its own: two records never share one
    // lock's state.
    CQXSharedParameter(const CQXSharedParameter& other);
    CQXSharedParameter& operator=(const CQXSharedParameter& other);
    virtual ~CQXSharedParameter();

    std::recursive_mutex m_Lock;
    bool m_bClipping;    // saturating stores into integer and float variables
    bool m_bSmartError;  // domain errors give substitute values instead of run-time errors
    // Every instruction runs on the interpreter's general path (operand resolution into views,
    // then the opcode's handler): no plan, no direct path, no operand cache, no fused chains. The
    // results are the same bits, only slower; tests and fuzzers compare the fast paths against it.
    bool m_bReferenceMode;

    // The one test of the interpreter's fast paths: while it holds, none of them may run.
    bool fastPathsOff() const { return m_bReferenceMode; }

    // Limits of a run, set by the host through the compiler object. A copy carries the three
    // limits; the run state (instructions left, interrupt request, call depth, storage counted)
    // starts fresh.
    long long m_InstructionLimit;    // instructions one run may execute; 0 = no limit
    long long m_StorageLimit;        // bytes one variable may allocate; 0 = the built-in cap
    long long m_TotalStorageLimit;   // bytes scripts' storage may hold at once; 0 = no limit
    long long m_InstructionsLeft;    // budget of the run in progress
    std::atomic<bool> m_bInterrupt;  // set by interrupt() from any thread
    int m_CallDepth;                 // nesting of function calls in the run in progress
    // Call sites a run-time error passed while it travelled up, innermost first. Filled only on
    // the way out of a failure (the failing instruction starts it afresh); the compiler object
    // takes it over when the failure reaches the host.
    std::vector<sCallSite> m_Unwound;

    // Storage that compiles and runs allocate for variables and temporaries is counted while
    // m_bCountStorage is set; m_StorageCounted is what of it is held now.
    bool m_bCountStorage;
    long long m_StorageCounted;
    // The last variable whose storage a host operation tried to change while a running call had
    // it bound to a reference parameter (refused); null when none. The call of the host
    // function that tried it fails.
    const CQXVariable* m_pRefusedChange;
    // Counts changes of any variable's storage (its row array, shape or element type: resize,
    // re-pointing, binding, release). The interpreter keeps what an instruction's operands
    // resolved to only while this is unchanged. Never 0, so 0 can mean "not resolved yet".
    unsigned long long m_StorageEpoch;
    // Set when a call left a function a value of more than one element; the compiler then
    // releases the functions' values when the run ends (CQXCompiler::releaseResults).
    bool m_bResultsHeld;

    // Starts a run: the budget is the instruction limit (unlimited when 0), no interrupt, no
    // call sites left over, and storage is counted until endRun.
    void beginRun();
    void endRun();
};

// Scoped guard: enters the lock on construction, leaves it on destruction (on every path).
class QX_API CQXCriticalSectionLock {
public:
    explicit CQXCriticalSectionLock(std::recursive_mutex* lock);
    virtual ~CQXCriticalSectionLock();
    CQXCriticalSectionLock(const CQXCriticalSectionLock&) = delete;
    CQXCriticalSectionLock& operator=(const CQXCriticalSectionLock&) = delete;

private:
    std::recursive_mutex* m_pLock;
};
