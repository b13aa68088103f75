// The per-compiler options and the recursive lock shared by every object a compiler creates,
// and the scoped guard through which the host-facing operations take that lock.
#include "qx/core/shared_parameter.h"

CQXSharedParameter::CQXSharedParameter() : m_bClipping(true), m_bSmartError(true) {}

// The lock is default-constructed, never copied: a copy has a lock of its own.
CQXSharedParameter::CQXSharedParameter(const CQXSharedParameter& other)
    : m_bClipping(other.m_bClipping), m_bSmartError(other.m_bSmartError) {}

CQXSharedParameter& CQXSharedParameter::operator=(const CQXSharedParameter& other) {
    m_bClipping = other.m_bClipping;
    m_bSmartError = other.m_bSmartError;
    return *this;
}

CQXSharedParameter::~CQXSharedParameter() = default;

CQXCriticalSectionLock::CQXCriticalSectionLock(std::recursive_mutex* lock) : m_pLock(lock) {
    if (m_pLock != nullptr) m_pLock->lock();
}

CQXCriticalSectionLock::~CQXCriticalSectionLock() {
    if (m_pLock != nullptr) m_pLock->unlock();
}
