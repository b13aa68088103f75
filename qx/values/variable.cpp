// The variable's storage: construction and copying, the owned block, host references and the
// interpreter's views, element access with the conversions between element types, and filling
// with the clipping rule. Every operand the interpreter touches goes through these operations.
#include "qx/values/variable.h"

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
#include "qx/values/storage_fault_internal.h"

namespace {

using qxrows::clippingOn;
using qxrows::dataTypeOf;
using qxrows::ElemOf;
using qxrows::withRowArray;
using qxrows::withType;

std::recursive_mutex* lockOf(CQXSharedParameter* shared) {
    return shared != nullptr ? &shared->m_Lock : nullptr;
}

// Every change of a variable's row array, shape or element type passes through clear() or
// adoptRows(), which note it here for the operands the interpreter keeps resolved.
void noteStorageChange(CQXSharedParameter* shared) {
    if (shared != nullptr) ++shared->m_StorageEpoch;
}

// The interpreter's own element and range views are re-pointed by every instruction that uses
// them, and no instruction keeps a view resolved: re-pointing one leaves the count as it was.
class KeepStorageEpoch {
public:
    explicit KeepStorageEpoch(CQXSharedParameter* shared)
        : m_pShared(shared), m_Epoch(shared != nullptr ? shared->m_StorageEpoch : 0) {}
    ~KeepStorageEpoch() {
        if (m_pShared != nullptr) m_pShared->m_StorageEpoch = m_Epoch;
    }
    KeepStorageEpoch(const KeepStorageEpoch&) = delete;
    KeepStorageEpoch& operator=(const KeepStorageEpoch&) = delete;

private:
    CQXSharedParameter* m_pShared;
    unsigned long long m_Epoch;
};

// Conversion toward zero to 32 bits. Values outside the 32-bit range and NaN have no 32-bit
// image; they become the most negative value, whose low 8 and 16 bits are 0.
std::int32_t toInt32(double v) {
    if (v >= -2147483648.0 && v < 2147483648.0) return static_cast<std::int32_t>(v);
    return std::numeric_limits<std::int32_t>::min();
}

// The plain store: no saturation, but never an undefined conversion.
template <class T>
T plainConvert(double v);
template <>
double plainConvert<double>(double v) {
    return v;
}
// Rounding to nearest: a double below FLT_MAX plus half a unit in the last place rounds to
// FLT_MAX, and only one at or beyond that bound becomes infinity (the tie goes to the even
// neighbour, infinity). The cases beyond FLT_MAX are written out so that no conversion of a
// value outside float's finite range is left to the compiler.
constexpr double kFloatOverflow = 0x1.ffffffp+127;  // FLT_MAX + 2^103
template <>
float plainConvert<float>(double v) {
    if (v >= kFloatOverflow) return std::numeric_limits<float>::infinity();
    if (v <= -kFloatOverflow) return -std::numeric_limits<float>::infinity();
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}
template <>
int plainConvert<int>(double v) {
    return toInt32(v);
}
template <>
unsigned short plainConvert<unsigned short>(double v) {
    return static_cast<unsigned short>(static_cast<std::uint32_t>(toInt32(v)) & 0xFFFFu);
}
template <>
unsigned char plainConvert<unsigned char>(double v) {
    return static_cast<unsigned char>(static_cast<std::uint32_t>(toInt32(v)) & 0xFFu);
}

// A store with the clipping rule (qxops::saturated), then the plain conversion.
template <class T>
T storeConvert(double v, bool clip) {
    return plainConvert<T>(qxops::saturated<T>(v, clip));
}

// Copies rows x cols elements from src to dst with the clipping rule, row by row in the two
// element types. An absent source row (or row array) reads as zeros, as getData_intern does; an
// absent destination row is skipped.
template <class T, class S>
void copyRows(T** dst, S** src, int rows, int cols, bool clip) {
    for (int r = 0; r < rows; ++r) {
        T* out = dst[r];
        if (out == nullptr) continue;
        const S* in = src != nullptr ? src[r] : nullptr;
        if (in == nullptr) {
            std::fill_n(out, cols, storeConvert<T>(0.0, clip));
            continue;
        }
        for (int c = 0; c < cols; ++c) out[c] = storeConvert<T>(static_cast<double>(in[c]), clip);
    }
}

// The largest block one variable may own: 1 TiB. It is far beyond the memory of the machines qx
// runs on, and it is also the largest request the address sanitizer's allocator serves, so a
// refused size fails the same way (std::bad_alloc) in every build.
constexpr std::uint64_t kMaxBlockBytes = std::uint64_t(1) << 40;

// Size of one owned block (row pointers, padding to the element alignment, then the elements),
// computed in 64 bits. A size beyond kMaxBlockBytes throws std::bad_alloc, so a block is never
// allocated short; so does one beyond what size_t holds where addresses are 32 bits wide
// (WebAssembly), where it would otherwise wrap around to a small block.
std::size_t blockBytes(int rows, int cols, std::size_t elemSize, std::size_t elemAlign,
                       std::size_t* elementOffset, std::uint64_t limit) {
    limit = std::min<std::uint64_t>(limit, std::numeric_limits<std::size_t>::max());
    const std::uint64_t count = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
    std::uint64_t offset = static_cast<std::uint64_t>(rows) * sizeof(void*);
    offset = (offset + elemAlign - 1) / elemAlign * elemAlign;
    if (offset > limit || count > (limit - offset) / elemSize) throw std::bad_alloc();
    *elementOffset = static_cast<std::size_t>(offset);
    return static_cast<std::size_t>(offset + count * elemSize);
}

// One block: the row array first, then the zeroed elements in row-major order. Sizes below 1
// allocate nothing.
template <class T>
T** allocateBlock(int rows, int cols, std::uint64_t limit = kMaxBlockBytes) {
    if (rows < 1 || cols < 1) return nullptr;
    std::size_t offset = 0;
    const std::size_t bytes = blockBytes(rows, cols, sizeof(T), alignof(T), &offset, limit);
    unsigned char* block = new unsigned char[bytes];
    T* elements = reinterpret_cast<T*>(block + offset);
    std::uninitialized_value_construct_n(elements, static_cast<std::size_t>(rows) * cols);
    T** rowArray = reinterpret_cast<T**>(block);
    for (int r = 0; r < rows; ++r) {
        ::new (static_cast<void*>(rowArray + r)) T*(elements + static_cast<std::size_t>(r) * cols);
    }
    return rowArray;
}

void* allocateFor(eDataType type, int rows, int cols) {
    return withType(type, [&](auto tag) -> void* {
        return allocateBlock<typename decltype(tag)::type>(rows, cols);
    });
}

template <class T>
std::uint64_t blockBytesOf(int rows, int cols) {
    if (rows < 1 || cols < 1) return 0;
    std::size_t offset = 0;
    try {
        return blockBytes(rows, cols, sizeof(T), alignof(T), &offset, UINT64_MAX / 2);
    } catch (const std::bad_alloc&) {
        return UINT64_MAX;
    }
}

// Size of the block initialize would allocate (0 for sizes below 1), UINT64_MAX when it does
// not fit in 64 bits.
std::uint64_t ownedBytes(eDataType type, int rows, int cols) {
    return withType(
        type, [&](auto tag) { return blockBytesOf<typename decltype(tag)::type>(rows, cols); });
}

// Admits a new owned block of the given size for the variable name: the host's limit for one
// variable, then, while compiles and runs count storage, the total limit. Returns the bytes
// counted for it, which the caller gives back with uncount when the block goes (or could not be
// allocated after all). Beyond the built-in cap the request fails as any allocation does.
long long admitBlock(CQXSharedParameter* shared, std::uint64_t bytes, const std::string& name) {
    if (shared == nullptr || bytes == 0) return 0;
    if (shared->m_StorageLimit > 0 && bytes > static_cast<std::uint64_t>(shared->m_StorageLimit))
        throw CQXStorageFault(kStorageLimitText, name);
    if (bytes > kMaxBlockBytes) throw std::bad_alloc();
    if (!shared->m_bCountStorage) return 0;
    const long long counted = static_cast<long long>(bytes);
    if (shared->m_TotalStorageLimit > 0 &&
        counted > shared->m_TotalStorageLimit - shared->m_StorageCounted)
        throw CQXStorageFault(kStorageLimitText, name);
    shared->m_StorageCounted += counted;
    return counted;
}

void uncount(CQXSharedParameter* shared, long long counted) {
    if (shared != nullptr && counted != 0) shared->m_StorageCounted -= counted;
}

// An owned block of the type and size, admitted and counted as admitBlock says.
void* allocateOwned(CQXSharedParameter* shared, eDataType type, int rows, int cols,
                    const std::string& name, long long* counted) {
    *counted = admitBlock(shared, ownedBytes(type, rows, cols), name);
    try {
        return allocateFor(type, rows, cols);
    } catch (...) {
        uncount(shared, *counted);
        throw;
    }
}

template <class T>
T** cloneBlock(T* const* src, int rows, int cols) {
    T** copy = allocateBlock<T>(rows, cols);
    for (int r = 0; r < rows; ++r) std::copy_n(src[r], cols, copy[r]);
    return copy;
}

template <class T>
T** cloneRowArray(T* const* src, int rows) {
    T** copy = new T*[static_cast<std::size_t>(rows)];
    std::copy_n(src, rows, copy);
    return copy;
}

// Address of element (row, col), or null when the row array or that row is absent or the
// element lies outside the rows x cols matrix.
template <class T>
T* elementPtr(T** rowArray, long long row, long long col, int rows, int cols) {
    if (rowArray == nullptr || row < 0 || row >= rows || col < 0 || col >= cols) return nullptr;
    T* line = rowArray[row];
    return line != nullptr ? line + col : nullptr;
}

template <class T>
void rangePtr(T** rowArray, int row, int count, int col, int rows, int cols, T** out) {
    for (int i = 0; i < count; ++i) {
        out[i] = elementPtr(rowArray, static_cast<long long>(row) + i, col, rows, cols);
    }
}

// Lowest and one-past-highest element address of a variable: a quick first test of overlap.
struct AddressSpan {
    std::uintptr_t lo = UINTPTR_MAX;
    std::uintptr_t hi = 0;
};

// The elements of one row as a half-open address interval, and which of the two variables of
// an overlap test it belongs to.
struct RowInterval {
    std::uintptr_t lo;
    std::uintptr_t hi;
    int owner;
};

// Calls f(lo, hi) for the element interval of every row of v that is there. A variable without
// elements, and the absent rows of a host row array, have no interval. The end is computed on
// the address, as a row may end at the very end of its allocation.
template <class F>
void forEachRow(const CQXVariable& v, F&& f) {
    if (!v.hasStorage()) return;
    withRowArray(v, [&](auto rowArray) {
        using T = ElemOf<decltype(rowArray)>;
        const std::uintptr_t bytes = sizeof(T) * static_cast<std::uintptr_t>(v.getCols());
        for (int r = 0; r < v.getRows(); ++r) {
            if (rowArray[r] == nullptr) continue;
            const auto lo = reinterpret_cast<std::uintptr_t>(rowArray[r]);
            f(lo, lo + bytes);
        }
    });
}

AddressSpan spanOf(const CQXVariable& v) {
    AddressSpan span;
    forEachRow(v, [&](std::uintptr_t lo, std::uintptr_t hi) {
        span.lo = std::min(span.lo, lo);
        span.hi = std::max(span.hi, hi);
    });
    return span;
}

// True when a row of owner 0 and a row of owner 1 share an address. In order of their first
// address, a row meets an earlier row of the other owner exactly when it starts before the
// farthest end that owner's rows have reached so far.
bool rowsMeet(std::vector<RowInterval>& rows) {
    std::sort(rows.begin(), rows.end(),
              [](const RowInterval& x, const RowInterval& y) { return x.lo < y.lo; });
    std::uintptr_t reach[2] = {0, 0};
    for (const RowInterval& row : rows) {
        if (row.lo < reach[1 - row.owner]) return true;
        reach[row.owner] = std::max(reach[row.owner], row.hi);
    }
    return false;
}

bool isReferenceState(eVariableState state) {
    return state == vsREFERENCE || state == vsREFERENCE_FLAT;
}

// What a variable frees when it releases its storage: nothing (a reference or view), only its
// row array (a flat reference, or a reference bound to a copy of another row array), or the
// whole block (owned and resizable variables).
enum eOwnership { owNOTHING, owROWARRAY, owBLOCK };

eOwnership ownershipOf(eVariableState state, bool ownsRowArray) {
    if (ownsRowArray || state == vsREFERENCE_FLAT) return owROWARRAY;
    if (state == vsOWNED || state == vsRESIZABLE) return owBLOCK;
    return owNOTHING;
}

}  // namespace

// ---- Construction, copying, destruction ----

CQXVariable::CQXVariable(CQXSharedParameter* shared)
    : m_pNarrowRows(nullptr),
      m_ppDouble(nullptr),
      m_Rows(0),
      m_Cols(0),
      m_VarType(vtUNDEFINED),
      m_DataType(edtDOUBLE),
      m_VarState(vsOWNED),
      m_bConst(false),
      m_bOwnsRowArray(false),
      m_bBindingPinned(false),
      m_Pins(0),
      m_pShared(shared),
      m_pBoundTo(nullptr),
      m_CountedBytes(0),
      m_InlineRow{nullptr},
      m_InlineCell{0} {}

const std::string& CQXVariable::nameRef() const {
    static const std::string kNoName;
    return m_pName ? *m_pName : kNoName;
}

std::unique_ptr<std::string> CQXVariable::makeName(const std::string& name) {
    return name.empty() ? nullptr : std::make_unique<std::string>(name);
}

CQXVariable::CQXVariable(const CQXVariable& other) : CQXVariable(other.m_pShared) {
    copyFrom(other);
}

CQXVariable& CQXVariable::operator=(const CQXVariable& other) {
    if (this != &other) copyFrom(other);
    return *this;
}

CQXVariable::~CQXVariable() {
    clear();
}

// Everything that can throw happens before this variable is touched, so a failed copy leaves
// it as it was. A copy of a bound parameter addresses the same elements but is not bound itself.
void CQXVariable::copyFrom(const CQXVariable& other) {
    if (m_Pins > 0) throw CQXStorageFault(kBoundStorageText, nameRef());
    std::unique_ptr<std::string> name = makeName(other.nameRef());
    long long counted = 0;
    void* storage = duplicateStorage(other, &counted);
    unbindArgument_intern();
    clear();
    m_pName.swap(name);
    m_bConst = other.m_bConst;
    m_VarState = other.m_VarState;
    m_pShared = other.m_pShared;
    m_bOwnsRowArray = other.m_bOwnsRowArray;
    m_CountedBytes = counted;
    adoptRows(other.m_Rows, other.m_Cols, other.m_DataType, storage);
    m_VarType = other.m_VarType;
}

// Owned elements are duplicated (and counted as any new block), an owned row array is
// duplicated over the same elements, and anything else is shared.
void* CQXVariable::duplicateStorage(const CQXVariable& src, long long* counted) {
    void* result = nullptr;
    withRowArray(src, [&](auto rowArray) {
        using T = ElemOf<decltype(rowArray)>;
        if (rowArray == nullptr) return;
        if (src.ownsBlock()) {
            *counted = admitBlock(src.m_pShared, ownedBytes(src.m_DataType, src.m_Rows, src.m_Cols),
                                  src.nameRef());
            try {
                result = cloneBlock<T>(rowArray, src.m_Rows, src.m_Cols);
            } catch (...) {
                uncount(src.m_pShared, *counted);
                throw;
            }
        } else if (src.ownsRowArrayOnly()) {
            result = cloneRowArray<T>(rowArray, src.m_Rows);
        } else {
            result = rowArray;
        }
    });
    return result;
}

bool CQXVariable::ownsRowArrayOnly() const {
    return ownershipOf(m_VarState, m_bOwnsRowArray) == owROWARRAY;
}

bool CQXVariable::ownsBlock() const {
    return ownershipOf(m_VarState, m_bOwnsRowArray) == owBLOCK;
}

// ---- Storage set-up and release ----

// The new block is allocated before the old storage is released, so a failed allocation
// leaves the variable unchanged. A reference variable that is given storage of its own becomes
// vsOWNED: otherwise nothing would ever free the block.
void CQXVariable::initialize(const std::string& name, int rows, int cols, eDataType type) {
    if (m_Pins > 0) throw CQXStorageFault(kBoundStorageText, nameRef());
    // Resizing keeps the name it has (name may be that very string).
    const bool rename = name != nameRef();
    std::unique_ptr<std::string> newName = rename ? makeName(name) : nullptr;
    long long counted = 0;
    void* block = ownedBlock(type, rows, cols, name, &counted);
    unbindArgument_intern();
    clear();
    if (isReferenceState(m_VarState)) m_VarState = vsOWNED;
    if (rename) m_pName.swap(newName);
    m_CountedBytes = counted;
    adoptRows(rows, cols, type, block);
}

// A 1x1 value's element held inside the variable (defined before its use, so every compiler
// instantiates it here).
template <class T>
T** CQXVariable::inlineBlock() {
    if constexpr (std::is_same_v<T, unsigned char>) {
        m_InlineCell.m_Byte = 0;
        m_InlineRow.m_pByte = &m_InlineCell.m_Byte;
        return &m_InlineRow.m_pByte;
    } else if constexpr (std::is_same_v<T, unsigned short>) {
        m_InlineCell.m_Short = 0;
        m_InlineRow.m_pShort = &m_InlineCell.m_Short;
        return &m_InlineRow.m_pShort;
    } else if constexpr (std::is_same_v<T, int>) {
        m_InlineCell.m_Int = 0;
        m_InlineRow.m_pInt = &m_InlineCell.m_Int;
        return &m_InlineRow.m_pInt;
    } else if constexpr (std::is_same_v<T, float>) {
        m_InlineCell.m_Float = 0;
        m_InlineRow.m_pFloat = &m_InlineCell.m_Float;
        return &m_InlineRow.m_pFloat;
    } else {
        m_InlineCell.m_Double = 0;
        m_InlineRow.m_pDouble = &m_InlineCell.m_Double;
        return &m_InlineRow.m_pDouble;
    }
}

// An owned block is counted as if it had been allocated also where it is held inline, so the
// storage limits see the same sizes either way.
void* CQXVariable::ownedBlock(eDataType type, int rows, int cols, const std::string& name,
                              long long* counted) {
    if (rows != 1 || cols != 1) return allocateOwned(m_pShared, type, rows, cols, name, counted);
    *counted = admitBlock(m_pShared, ownedBytes(type, rows, cols), name);
    return withType(type,
                    [&](auto tag) -> void* { return inlineBlock<typename decltype(tag)::type>(); });
}

void CQXVariable::clear() {
    if (ownsRowArrayOnly()) {
        withRowArray(*this, [](auto rowArray) { delete[] rowArray; });
    } else if (ownsBlock()) {
        // The row array is the start of the block allocated as bytes, unless it is held inline.
        const auto release = [this](void* rows) {
            if (!isInline(rows)) delete[] static_cast<unsigned char*>(rows);
        };
        release(m_pNarrowRows);
        release(m_ppDouble);
    }
    m_pNarrowRows = nullptr;
    m_ppDouble = nullptr;
    m_bOwnsRowArray = false;
    uncount(m_pShared, m_CountedBytes);
    m_CountedBytes = 0;
    noteStorageChange(m_pShared);
}

void CQXVariable::adoptRows(int rows, int cols, eDataType type, void* rowArray) {
    m_DataType = type;
    if (type == edtDOUBLE)
        m_ppDouble = static_cast<double**>(rowArray);
    else
        m_pNarrowRows = rowArray;
    m_Rows = rows;
    m_Cols = cols;
    examineVarType();
    noteStorageChange(m_pShared);
}

template <class T>
void CQXVariable::bindRows(int rows, int cols, T** data, eVariableState state) {
    clear();
    m_VarState = state;
    adoptRows(rows, cols, dataTypeOf<T>(), data);
}

void CQXVariable::setDouble(const std::string& name, int rows, int cols, double** data) {
    m_pName = makeName(name);
    bindRows(rows, cols, data, vsREFERENCE);
}

void CQXVariable::setFloat(const std::string& name, int rows, int cols, float** data) {
    m_pName = makeName(name);
    bindRows(rows, cols, data, vsREFERENCE);
}

void CQXVariable::setInt(const std::string& name, int rows, int cols, int** data) {
    m_pName = makeName(name);
    bindRows(rows, cols, data, vsREFERENCE);
}

void CQXVariable::setShort(const std::string& name, int rows, int cols, unsigned short** data) {
    m_pName = makeName(name);
    bindRows(rows, cols, data, vsREFERENCE);
}

void CQXVariable::setByte(const std::string& name, int rows, int cols, unsigned char** data) {
    m_pName = makeName(name);
    bindRows(rows, cols, data, vsREFERENCE);
}

// Switching between owning a block, owning only the row array and owning nothing releases the
// storage under the old rule first; otherwise the new rule would free memory the variable does
// not own, or never free memory it does.
void CQXVariable::setVarState(eVariableState state) {
    if (ownershipOf(state, m_bOwnsRowArray) != ownershipOf(m_VarState, m_bOwnsRowArray)) clear();
    m_VarState = state;
}

// ---- Resizing and re-pointing ----

bool CQXVariable::resizeVar(int rows, int cols) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    if (m_Pins > 0) return refuseChange();
    return resizeVar_intern(rows, cols);
}

bool CQXVariable::refuseChange() const {
    if (m_pShared != nullptr) m_pShared->m_pRefusedChange = this;
    return false;
}

bool CQXVariable::resizeVar_intern(int rows, int cols) {
    if (m_VarState != vsRESIZABLE || rows < 1 || cols < 1) return false;
    initialize(nameRef(), rows, cols, m_DataType);
    return true;
}

// A null data pointer is refused: the one-entry row array would point every element read at
// address zero.
template <class T>
bool CQXVariable::changeReferenceFlat(int count, T* data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    if (m_Pins > 0) return refuseChange();
    if (!isReferenceState(m_VarState) || count < 1 || data == nullptr) return false;
    T** rowArray = new T*[1];
    rowArray[0] = data;
    bindRows(1, count, rowArray, vsREFERENCE_FLAT);
    return true;
}

template <class T>
bool CQXVariable::changeReferenceRows(int rows, int cols, T** data) {
    if (m_Pins > 0) return refuseChange();
    if (!isReferenceState(m_VarState) || rows < 1 || cols < 1) return false;
    bindRows(rows, cols, data, vsREFERENCE);
    return true;
}

bool CQXVariable::changeReference(int count, unsigned char* data) {
    return changeReferenceFlat(count, data);
}
bool CQXVariable::changeReference(int count, unsigned short* data) {
    return changeReferenceFlat(count, data);
}
bool CQXVariable::changeReference(int count, int* data) {
    return changeReferenceFlat(count, data);
}
bool CQXVariable::changeReference(int count, float* data) {
    return changeReferenceFlat(count, data);
}
bool CQXVariable::changeReference(int count, double* data) {
    return changeReferenceFlat(count, data);
}

bool CQXVariable::changeReference(int rows, int cols, unsigned char** data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference(int rows, int cols, unsigned short** data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference(int rows, int cols, int** data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference(int rows, int cols, float** data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference(int rows, int cols, double** data) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return changeReferenceRows(rows, cols, data);
}

bool CQXVariable::changeReference_intern(int rows, int cols, unsigned char** data) {
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference_intern(int rows, int cols, unsigned short** data) {
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference_intern(int rows, int cols, int** data) {
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference_intern(int rows, int cols, float** data) {
    return changeReferenceRows(rows, cols, data);
}
bool CQXVariable::changeReference_intern(int rows, int cols, double** data) {
    return changeReferenceRows(rows, cols, data);
}

// The row array is copied before the old one is released, so src may be this variable itself
// or a view that is re-pointed right after.
bool CQXVariable::bindCopyOf_intern(const CQXVariable& src) {
    if (!isReferenceState(m_VarState) || !src.hasStorage()) return false;
    withRowArray(src, [&](auto rowArray) {
        const int rows = src.m_Rows;
        const int cols = src.m_Cols;
        auto copy = cloneRowArray(rowArray, rows);
        bindRows(rows, cols, copy, vsREFERENCE);
        m_bOwnsRowArray = true;
    });
    return true;
}

// The binding must never outlive the elements it addresses: a whole variable's row array is
// shared only because the owner stays pinned for the whole call, a view's row array is copied
// because the interpreter re-points it after the binding instruction.
bool CQXVariable::bindArgument_intern(const CQXVariable& src, CQXVariable& owner) {
    if (!isReferenceState(m_VarState) || m_Pins > 0 || m_bBindingPinned) return false;
    unbindArgument_intern();
    if (!src.hasStorage()) return false;
    if (&src == &owner) {
        withRowArray(
            src, [&](auto rowArray) { bindRows(src.m_Rows, src.m_Cols, rowArray, vsREFERENCE); });
    } else if (!bindCopyOf_intern(src)) {
        return false;
    }
    m_pBoundTo = &owner;
    return true;
}

void CQXVariable::pinArgument_intern() {
    if (m_pBoundTo == nullptr || m_bBindingPinned) return;
    ++m_pBoundTo->m_Pins;
    m_bBindingPinned = true;
}

void CQXVariable::unbindArgument_intern() {
    if (m_pBoundTo == nullptr) return;
    if (m_bBindingPinned) --m_pBoundTo->m_Pins;
    m_bBindingPinned = false;
    m_pBoundTo = nullptr;
    clear();
}

// ---- Views ----

void CQXVariable::setView_intern(int rows, int cols, unsigned char** data) {
    KeepStorageEpoch keep(m_pShared);
    bindRows(rows, cols, data, vsREFERENCE);
}
void CQXVariable::setView_intern(int rows, int cols, unsigned short** data) {
    KeepStorageEpoch keep(m_pShared);
    bindRows(rows, cols, data, vsREFERENCE);
}
void CQXVariable::setView_intern(int rows, int cols, int** data) {
    KeepStorageEpoch keep(m_pShared);
    bindRows(rows, cols, data, vsREFERENCE);
}
void CQXVariable::setView_intern(int rows, int cols, float** data) {
    KeepStorageEpoch keep(m_pShared);
    bindRows(rows, cols, data, vsREFERENCE);
}
void CQXVariable::setView_intern(int rows, int cols, double** data) {
    KeepStorageEpoch keep(m_pShared);
    bindRows(rows, cols, data, vsREFERENCE);
}

// A view owns nothing, so this only forgets the row array; should the variable own storage after
// all, that storage is released rather than lost.
void CQXVariable::releaseView_intern() {
    KeepStorageEpoch keep(m_pShared);
    clear();
}

// ---- Element access ----

double CQXVariable::getData(int row, int col) const {
    return getData_intern(row, col);
}

void CQXVariable::setData(int row, int col, double value) {
    setData_intern(row, col, value);
}

double CQXVariable::getData_intern(int row, int col) const {
    // Doubles, the common case, without the visit of the element type.
    if (m_DataType == edtDOUBLE) {
        const double* element = elementPtr(m_ppDouble, row, col, m_Rows, m_Cols);
        return element != nullptr ? *element : 0.0;
    }
    double value = 0.0;
    withRowArray(*this, [&](auto rowArray) {
        const auto* element = elementPtr(rowArray, row, col, m_Rows, m_Cols);
        if (element != nullptr) value = static_cast<double>(*element);
    });
    return value;
}

void CQXVariable::setData_intern(int row, int col, double value) {
    if (m_DataType == edtDOUBLE) {
        double* element = elementPtr(m_ppDouble, row, col, m_Rows, m_Cols);
        if (element != nullptr) *element = value;
        return;
    }
    withRowArray(*this, [&](auto rowArray) {
        using T = ElemOf<decltype(rowArray)>;
        T* element = elementPtr(rowArray, row, col, m_Rows, m_Cols);
        if (element != nullptr) *element = plainConvert<T>(value);
    });
}

bool CQXVariable::hasStorage() const {
    bool present = false;
    withRowArray(*this, [&](auto rowArray) { present = rowArray != nullptr; });
    return present && m_Rows >= 1 && m_Cols >= 1;
}

double** CQXVariable::getDoublePtr() {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return m_ppDouble;
}

float** CQXVariable::getFloatPtr() {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return getFloatPtr_intern();
}

int** CQXVariable::getIntPtr() {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return getIntPtr_intern();
}

unsigned short** CQXVariable::getShortPtr() {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return getShortPtr_intern();
}

unsigned char** CQXVariable::getBytePtr() {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    return getBytePtr_intern();
}

void CQXVariable::getSinglePtr(int row, int col, unsigned char** out) const {
    *out = elementPtr(getBytePtr_intern(), row, col, m_Rows, m_Cols);
}
void CQXVariable::getSinglePtr(int row, int col, unsigned short** out) const {
    *out = elementPtr(getShortPtr_intern(), row, col, m_Rows, m_Cols);
}
void CQXVariable::getSinglePtr(int row, int col, int** out) const {
    *out = elementPtr(getIntPtr_intern(), row, col, m_Rows, m_Cols);
}
void CQXVariable::getSinglePtr(int row, int col, float** out) const {
    *out = elementPtr(getFloatPtr_intern(), row, col, m_Rows, m_Cols);
}
void CQXVariable::getSinglePtr(int row, int col, double** out) const {
    *out = elementPtr(m_ppDouble, row, col, m_Rows, m_Cols);
}

void CQXVariable::getRangePtr(int row, int count, int col, unsigned char** out) const {
    rangePtr(getBytePtr_intern(), row, count, col, m_Rows, m_Cols, out);
}
void CQXVariable::getRangePtr(int row, int count, int col, unsigned short** out) const {
    rangePtr(getShortPtr_intern(), row, count, col, m_Rows, m_Cols, out);
}
void CQXVariable::getRangePtr(int row, int count, int col, int** out) const {
    rangePtr(getIntPtr_intern(), row, count, col, m_Rows, m_Cols, out);
}
void CQXVariable::getRangePtr(int row, int count, int col, float** out) const {
    rangePtr(getFloatPtr_intern(), row, count, col, m_Rows, m_Cols, out);
}
void CQXVariable::getRangePtr(int row, int count, int col, double** out) const {
    rangePtr(m_ppDouble, row, count, col, m_Rows, m_Cols, out);
}

// ---- Shape and identity ----

void CQXVariable::examineVarType() {
    if (m_Rows == 1) {
        m_VarType = m_Cols == 1 ? vtSINGLE : vtROW;
    } else {
        m_VarType = m_Cols == 1 ? vtCOLUMN : vtMATRIX;
    }
}

bool CQXVariable::compareVar(const CQXVariable* other) const {
    return other != nullptr && m_VarType == other->m_VarType && m_Rows == other->m_Rows &&
           m_Cols == other->m_Cols;
}

// Two variables share storage when an element row of one intersects an element row of the
// other. Host rows may be separate allocations in any order, with other variables' storage
// between them, so the span from the lowest to the highest row is only a quick first test.
bool CQXVariable::sharesStorageWith(const CQXVariable& other) const {
    // Blocks (and inline elements) of two variables that own them are never the same memory.
    if (this != &other && ownsBlock() && other.ownsBlock()) return false;
    const AddressSpan a = spanOf(*this);
    const AddressSpan b = spanOf(other);
    if (!(a.lo < b.hi && b.lo < a.hi)) return false;
    std::vector<RowInterval> rows;
    rows.reserve(static_cast<std::size_t>(m_Rows) + static_cast<std::size_t>(other.m_Rows));
    forEachRow(*this, [&](std::uintptr_t lo, std::uintptr_t hi) { rows.push_back({lo, hi, 0}); });
    forEachRow(other, [&](std::uintptr_t lo, std::uintptr_t hi) { rows.push_back({lo, hi, 1}); });
    return rowsMeet(rows);
}

void CQXVariable::setConst(bool isConst) {
    CQXCriticalSectionLock lock(lockOf(m_pShared));
    m_bConst = isConst;
}

// ---- Filling and copying with the clipping rule ----

void CQXVariable::setsingle(double value) {
    if (!hasStorage()) return;
    const bool clip = clippingOn(*this);
    withRowArray(*this, [&](auto rowArray) {
        using T = ElemOf<decltype(rowArray)>;
        const T stored = storeConvert<T>(value, clip);
        for (int r = 0; r < m_Rows; ++r) {
            if (rowArray[r] != nullptr) std::fill_n(rowArray[r], m_Cols, stored);
        }
    });
}

// Only the part of this variable that src covers is written; the interpreter always passes a
// source at least as large, and a smaller one must not be read outside its storage.
void CQXVariable::setmatrix(const CQXVariable* src) {
    if (src == nullptr || !hasStorage()) return;
    const int rows = std::min(m_Rows, src->m_Rows);
    const int cols = std::min(m_Cols, src->m_Cols);
    if (rows < 1 || cols < 1) return;
    // One element: read before written whether or not the two share it, as below.
    if (rows == 1 && cols == 1) {
        const double value = src->getData_intern(0, 0);
        const bool clip = clippingOn(*this);
        if (m_DataType == edtDOUBLE) {
            if (m_ppDouble != nullptr && m_ppDouble[0] != nullptr)
                m_ppDouble[0][0] = storeConvert<double>(value, clip);
            return;
        }
        withRowArray(*this, [&](auto rowArray) {
            using T = ElemOf<decltype(rowArray)>;
            if (rowArray[0] != nullptr) rowArray[0][0] = storeConvert<T>(value, clip);
        });
        return;
    }
    // Overlapping views (say v[1..3] = v[0..2]) must copy the old values, so the source is
    // read completely before the first element is written.
    std::vector<double> snapshot;
    if (sharesStorageWith(*src)) {
        snapshot.reserve(static_cast<std::size_t>(rows) * cols);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) snapshot.push_back(src->getData_intern(r, c));
        }
    }
    const bool clip = clippingOn(*this);
    withRowArray(*this, [&](auto rowArray) {
        using T = ElemOf<decltype(rowArray)>;
        if (snapshot.empty()) {
            withRowArray(*src,
                         [&](auto srcRows) { copyRows(rowArray, srcRows, rows, cols, clip); });
            return;
        }
        std::size_t k = 0;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c, ++k) {
                if (rowArray[r] != nullptr) rowArray[r][c] = storeConvert<T>(snapshot[k], clip);
            }
        }
    });
}
