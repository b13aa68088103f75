// The per-compiler options and the recursive lock shared by every object a compiler creates,
// and the scoped guard through which the host-facing operations take that lock.
#include "qx/core/shared_parameter.h"

#include <climits>

CQXSharedParameter::CQXSharedParameter()
    : m_bClipping(true),
      m_bSmartError(true),
      m_bReferenceMode(false),
      m_InstructionLimit(0),
      m_StorageLimit(0),
      m_TotalStorageLimit(0),
      m_InstructionsLeft(LLONG_MAX),
      m_bInterrupt(false),
      m_CallDepth(0),
      m_bCountStorage(false),
      m_StorageCounted(0),
      m_pRefusedChange(nullptr),
      m_StorageEpoch(1),
      m_bResultsHeld(false) {}

// The lock is default-constructed, never copied: a copy has a lock of its own.
CQXSharedParameter::CQXSharedParameter(const CQXSharedParameter& other)
    : m_bClipping(other.m_bClipping),
      m_bSmartError(other.m_bSmartError),
      m_bReferenceMode(other.m_bReferenceMode),
      m_InstructionLimit(other.m_InstructionLimit),
      m_StorageLimit(other.m_StorageLimit),
      m_TotalStorageLimit(other.m_TotalStorageLimit),
      m_InstructionsLeft(LLONG_MAX),
      m_bInterrupt(false),
      m_CallDepth(0),
      m_bCountStorage(false),
      m_StorageCounted(0),
      m_pRefusedChange(nullptr),
      m_StorageEpoch(1),
      m_bResultsHeld(false) {}

CQXSharedParameter& CQXSharedParameter::operator=(const CQXSharedParameter& other) {
    m_bClipping = other.m_bClipping;
    m_bSmartError = other.m_bSmartError;
    m_bReferenceMode = other.m_bReferenceMode;
    m_InstructionLimit = other.m_InstructionLimit;
    m_StorageLimit = other.m_StorageLimit;
    m_TotalStorageLimit = other.m_TotalStorageLimit;
    return *this;
}

void CQXSharedParameter::beginRun() {
    m_InstructionsLeft = m_InstructionLimit > 0 ? m_InstructionLimit : LLONG_MAX;
    m_bInterrupt.store(false, std::memory_order_relaxed);
    m_CallDepth = 0;
    m_Unwound.clear();
    m_bCountStorage = true;
    m_pRefusedChange = nullptr;
}

void CQXSharedParameter::endRun() {
    m_bCountStorage = false;
}

CQXSharedParameter::~CQXSharedParameter() = default;

CQXCriticalSectionLock::CQXCriticalSectionLock(std::recursive_mutex* lock) : m_pLock(lock) {
    if (m_pLock != nullptr) m_pLock->lock();
}

CQXCriticalSectionLock::~CQXCriticalSectionLock() {
    if (m_pLock != nullptr) m_pLock->unlock();
}
