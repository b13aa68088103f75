// Guards of the run state in the shared parameters: a run in progress (runInterpreter or a host
// call) and the storage a compile counts, both undone on every path out, also when an exception
// leaves the run; and the refused storage changes of one host function's call.
#pragma once

#include "qx/core/shared_parameter.h"

// One run for as long as the guard lives. The outermost run starts the run state and ends it
// again, so the compiler is never left marked as running.
class CQXRunScope {
public:
    CQXRunScope(int& depth, CQXSharedParameter& shared) : m_Depth(depth), m_Shared(shared) {
        if (m_Depth++ == 0) m_Shared.beginRun();
    }
    ~CQXRunScope() {
        if (--m_Depth == 0) m_Shared.endRun();
    }
    CQXRunScope(const CQXRunScope&) = delete;
    CQXRunScope& operator=(const CQXRunScope&) = delete;

private:
    int& m_Depth;
    CQXSharedParameter& m_Shared;
};

// The storage a compile allocates (declarations, literals, temporaries) counts against the total
// storage limit, as a run's does.
class CQXCompileScope {
public:
    explicit CQXCompileScope(CQXSharedParameter& shared) : m_Shared(shared) {
        m_Shared.m_bCountStorage = true;
    }
    ~CQXCompileScope() { m_Shared.m_bCountStorage = false; }
    CQXCompileScope(const CQXCompileScope&) = delete;
    CQXCompileScope& operator=(const CQXCompileScope&) = delete;

private:
    CQXSharedParameter& m_Shared;
};

// Whether the host's code in one function call tried to change storage that a running call has
// bound (and was refused). Changes refused inside calls nested in it are theirs to report, so
// each call starts with none and the outer call's note comes back when it ends.
class CQXRefusedChanges {
public:
    explicit CQXRefusedChanges(CQXSharedParameter* shared)
        : m_pShared(shared), m_pOuter(shared != nullptr ? shared->m_pRefusedChange : nullptr) {
        if (m_pShared != nullptr) m_pShared->m_pRefusedChange = nullptr;
    }
    ~CQXRefusedChanges() {
        if (m_pShared != nullptr) m_pShared->m_pRefusedChange = m_pOuter;
    }
    CQXRefusedChanges(const CQXRefusedChanges&) = delete;
    CQXRefusedChanges& operator=(const CQXRefusedChanges&) = delete;

    // The variable whose change was refused during the call, or null.
    const CQXVariable* refused() const {
        return m_pShared != nullptr ? m_pShared->m_pRefusedChange : nullptr;
    }

private:
    CQXSharedParameter* m_pShared;
    const CQXVariable* m_pOuter;
};
