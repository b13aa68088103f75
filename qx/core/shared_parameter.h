// The per-compiler options (clipping, smart error) and the recursive lock that serialises the
// compiler's public operations with the host's access to variables. Every variable, block,
// function and variable manager of one compiler points to that compiler's single instance.
#pragma once

#include <mutex>

#include "qx/core/export.h"

class QX_API CQXSharedParameter {
public:
    CQXSharedParameter();
    // A copy carries the two option flags and gets a lock of its own: two records never share
    // one lock's state.
    CQXSharedParameter(const CQXSharedParameter& other);
    CQXSharedParameter& operator=(const CQXSharedParameter& other);
    virtual ~CQXSharedParameter();

    std::recursive_mutex m_Lock;
    bool m_bClipping;    // saturating stores into integer and float variables
    bool m_bSmartError;  // domain errors give substitute values instead of run-time errors
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
