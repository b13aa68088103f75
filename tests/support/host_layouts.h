// Host matrices laid out the ways real hosts lay them out, for tests and fuzz targets: rows of
// any element type in one ascending block, one allocation per row, descending addresses,
// interleaved with other matrices' rows in one shared buffer, scattered over static storage,
// the heap and the host object, or a flat array; any shape, also zero rows or columns. Only
// the public interface of qx is used, as a host would.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "qx/qx.h"

namespace qxtest {

enum class eHostLayout {
    Block,        // one allocation per matrix, rows in ascending order
    PerRow,       // one allocation per row, placed wherever the allocator puts it
    Descending,   // one allocation per matrix, the last row first
    Interleaved,  // one buffer for all matrices: row k of every matrix, then row k + 1 of every
                  // matrix, so that other matrices' rows lie between two rows of one matrix
    Scattered,    // the first row in static storage, the last one inside the host object (on
                  // the stack where the host keeps it there), the others on the heap: every
                  // heap block lies between a matrix's first and last row
    Flat,         // matrices of one row are flat references; the others one allocation per row
};

constexpr eHostLayout kHostLayouts[] = {eHostLayout::Block,      eHostLayout::PerRow,
                                        eHostLayout::Descending, eHostLayout::Interleaved,
                                        eHostLayout::Scattered,  eHostLayout::Flat};
constexpr std::size_t kHostLayoutCount = std::size(kHostLayouts);

inline const char* layoutName(eHostLayout layout) {
    static const char* const kNames[] = {"Block",       "PerRow",    "Descending",
                                         "Interleaved", "Scattered", "Flat"};
    return kNames[static_cast<int>(layout)];
}

// Calls f with a null pointer of the element type of `type` (edtDOUBLE for anything unknown).
template <class F>
decltype(auto) withElementType(eDataType type, F&& f) {
    switch (type) {
        case edtBYTE:
            return f(static_cast<unsigned char*>(nullptr));
        case edtSHORT:
            return f(static_cast<unsigned short*>(nullptr));
        case edtINT:
            return f(static_cast<int*>(nullptr));
        case edtFLOAT:
            return f(static_cast<float*>(nullptr));
        default:
            return f(static_cast<double*>(nullptr));
    }
}

// The row array of a variable as the host reads it, null when T is not its element type.
template <class T>
T** rowsOf(CQXVariable* v) {
    if constexpr (std::is_same_v<T, unsigned char>) return v->getBytePtr();
    if constexpr (std::is_same_v<T, unsigned short>) return v->getShortPtr();
    if constexpr (std::is_same_v<T, int>) return v->getIntPtr();
    if constexpr (std::is_same_v<T, float>) return v->getFloatPtr();
    if constexpr (std::is_same_v<T, double>) return v->getDoublePtr();
}

// A stretch of memory whose rows are placed one after another, each between guard bytes, so
// that a write just outside a row can be seen afterwards (where no sanitizer sees it).
class CGuardedBuffer {
public:
    static constexpr std::size_t kGuard = 16;

    CGuardedBuffer() = default;
    CGuardedBuffer(unsigned char* base, std::size_t size) : m_pBase(base), m_Size(size) {}

    // Room for a row of `bytes` bytes between guards, or null when the buffer is full.
    unsigned char* take(std::size_t bytes) {
        const std::size_t at = (m_Used + kGuard + kAlign - 1) / kAlign * kAlign;
        if (m_pBase == nullptr || at + bytes + kGuard > m_Size) return nullptr;
        m_Guards.emplace_back(m_Used, at);
        m_Guards.emplace_back(at + bytes, at + bytes + kGuard);
        std::fill(m_pBase + m_Used, m_pBase + at, kGuardByte);
        std::fill(m_pBase + at + bytes, m_pBase + at + bytes + kGuard, kGuardByte);
        m_Used = at + bytes;
        return m_pBase + at;
    }
    // The bytes taken so far, the guard after the last row included.
    std::size_t extent() const { return m_Guards.empty() ? 0 : m_Guards.back().second; }
    // Room one row of `bytes` needs, at most.
    static std::size_t footprint(std::size_t bytes) { return kGuard + kAlign + bytes; }

    bool intact() const {
        for (const auto& [from, to] : m_Guards)
            if (!std::all_of(m_pBase + from, m_pBase + to, [](auto b) { return b == kGuardByte; }))
                return false;
        return true;
    }

private:
    static constexpr std::size_t kAlign = alignof(double);
    static constexpr unsigned char kGuardByte = 0xA5;
    unsigned char* m_pBase = nullptr;
    std::size_t m_Size = 0;
    std::size_t m_Used = 0;
    std::vector<std::pair<std::size_t, std::size_t>> m_Guards;  // [from, to) of every guard
};

// Static storage for the first rows of the scattered layout, below every heap block. Hosts
// take from the top and give back in reverse order (they live on the stack); one that finds
// the pool full, or given back out of order, uses the heap instead. One thread at a time.
struct sStaticPool {
    alignas(alignof(double)) unsigned char bytes[1 << 15];
    std::size_t top = 0;
};
inline sStaticPool& staticPool() {
    static sStaticPool pool;
    return pool;
}

// One host matrix: its name, element type, shape and values row by row (missing values are 0;
// each must fit the element type). A flat one is always a flat reference (it needs one row).
struct sHostMatrixDesc {
    std::string name;
    eDataType type = edtDOUBLE;
    int rows = 0;
    int cols = 0;
    std::vector<double> values = {};
    bool flat = false;
};

// The storage of a set of host matrices in one layout. Declare the matrices with add, lay them
// out with build, then register them with a compiler (addTo) and check after a run that every
// variable still refers to the host's storage and that nothing was written around a row.
// Owns every byte it hands out; it must outlive the variables that refer to it.
class CHostMatrices {
public:
    explicit CHostMatrices(eHostLayout layout) : m_Layout(layout) {}
    CHostMatrices(const CHostMatrices&) = delete;
    CHostMatrices& operator=(const CHostMatrices&) = delete;
    ~CHostMatrices() {
        sStaticPool& pool = staticPool();
        if (m_PoolTaken != 0 && pool.top == m_PoolFrom + m_PoolTaken) pool.top = m_PoolFrom;
    }

    std::size_t add(sHostMatrixDesc desc) {
        m_Matrices.push_back(sMatrix{std::move(desc), {}, {}, {}, false});
        return m_Matrices.size() - 1;
    }

    // Allocates and fills the storage of every matrix declared so far (call once).
    void build() {
        for (sMatrix& m : m_Matrices) {
            m.isFlat = m.desc.rows == 1 && m.desc.cols >= 1 &&
                       (m.desc.flat || m_Layout == eHostLayout::Flat);
            m.rowPointers.assign(static_cast<std::size_t>(std::max(m.desc.rows, 0)), nullptr);
        }
        if (m_Layout == eHostLayout::Interleaved) placeInterleaved();
        if (m_Layout == eHostLayout::Scattered) placeScattered();
        for (sMatrix& m : m_Matrices) placeOwnRows(m);
        for (sMatrix& m : m_Matrices) fill(m);
    }

    // Registers every matrix with qx as a reference variable, flat ones through
    // changeReference(count, data); the variables in order, null where qx refused one.
    std::vector<CQXVariable*> addTo(CQXCompiler& qx) {
        std::vector<CQXVariable*> vars;
        for (sMatrix& m : m_Matrices) {
            vars.push_back(withElementType(m.desc.type, [&](auto tag) {
                using T = std::remove_pointer_t<decltype(tag)>;
                CQXVariable* v = qx.addReferenceVar(m.desc.name, m.isFlat ? 1 : m.desc.rows,
                                                    m.isFlat ? 1 : m.desc.cols, rowArray<T>(m));
                if (v != nullptr && m.isFlat && !v->changeReference(m.desc.cols, rowArray<T>(m)[0]))
                    return static_cast<CQXVariable*>(nullptr);
                return v;
            }));
        }
        return vars;
    }

    std::size_t size() const { return m_Matrices.size(); }
    const sHostMatrixDesc& desc(std::size_t i) const { return m_Matrices[i].desc; }

    // The host's row array of matrix i, null when T is not its element type.
    template <class T>
    T** rowArray(std::size_t i) {
        return rowArray<T>(m_Matrices[i]);
    }

    // Points the reference variable v at matrix i's storage (as a flat reference when matrix i
    // is flat), as a host re-points a variable. False when v cannot take it (no rows or
    // columns, or v is no reference).
    bool pointAt(std::size_t i, CQXVariable* v) {
        sMatrix& m = m_Matrices[i];
        return withElementType(m.desc.type, [&](auto tag) {
            using T = std::remove_pointer_t<decltype(tag)>;
            if (m.isFlat) return v->changeReference(m.desc.cols, rowArray<T>(m)[0]);
            return v->changeReference(m.desc.rows, m.desc.cols, rowArray<T>(m));
        });
    }

    // True when v refers to matrix i's storage with matrix i's shape and type, and the host's
    // row array holds the rows it was built with.
    bool refersTo(std::size_t i, CQXVariable* v) const {
        const sMatrix& m = m_Matrices[i];
        if (v == nullptr || v->getDataType() != m.desc.type) return false;
        if (v->getRows() != m.desc.rows || v->getCols() != m.desc.cols) return false;
        return withElementType(m.desc.type, [&](auto tag) {
            using T = std::remove_pointer_t<decltype(tag)>;
            T** rows = static_cast<T**>(m.rowArray.get());
            for (std::size_t r = 0; r < m.rowPointers.size(); ++r)
                if (rows[r] != m.rowPointers[r]) return false;
            T** seen = rowsOf<T>(v);
            return m.isFlat ? seen != nullptr && seen[0] == rows[0] : seen == rows;
        });
    }

    // True when no guard byte around a row in a shared buffer has changed.
    bool guardsIntact() const { return m_Arena.intact() && m_Pool.intact() && m_Local.intact(); }

private:
    struct sMatrix {
        sHostMatrixDesc desc;
        std::vector<std::unique_ptr<unsigned char[]>> blocks;  // element storage this matrix owns
        std::vector<void*> rowPointers;                        // where each row starts
        std::shared_ptr<void> rowArray;                        // the typed row array (T**)
        bool isFlat;
    };

    static std::size_t rowBytes(const sMatrix& m) {
        return static_cast<std::size_t>(m.desc.cols) *
               withElementType(m.desc.type, [](auto tag) { return sizeof(*tag); });
    }
    // Rows placed in a shared buffer (interleaved and scattered layouts).
    static bool sharesRows(const sMatrix& m) { return !m.isFlat && m.desc.rows > 0; }

    // Rows still without storage get storage of the matrix's own: one block in the block and
    // descending layouts and for flat matrices, else one allocation per row.
    void placeOwnRows(sMatrix& m) {
        const std::size_t bytes = rowBytes(m);
        const std::size_t rows = m.rowPointers.size();
        const bool descending = m_Layout == eHostLayout::Descending;
        if (rows > 0 && (m.isFlat || m_Layout == eHostLayout::Block || descending)) {
            m.blocks.emplace_back(new unsigned char[bytes * rows]);
            for (std::size_t r = 0; r < rows; ++r)
                m.rowPointers[r] = m.blocks.back().get() + (descending ? rows - 1 - r : r) * bytes;
        }
        for (void*& row : m.rowPointers) {
            if (row != nullptr) continue;
            m.blocks.emplace_back(new unsigned char[bytes]);
            row = m.blocks.back().get();
        }
    }

    // Row k of every matrix, then row k + 1 of every matrix, in one buffer.
    void placeInterleaved() {
        std::size_t size = CGuardedBuffer::kGuard;
        std::size_t mostRows = 0;
        for (const sMatrix& m : m_Matrices) {
            if (!sharesRows(m)) continue;
            mostRows = std::max(mostRows, m.rowPointers.size());
            size += m.rowPointers.size() * CGuardedBuffer::footprint(rowBytes(m));
        }
        m_ArenaBytes.reset(new unsigned char[size]);
        m_Arena = CGuardedBuffer(m_ArenaBytes.get(), size);
        for (std::size_t r = 0; r < mostRows; ++r)
            for (sMatrix& m : m_Matrices)
                if (sharesRows(m) && r < m.rowPointers.size())
                    m.rowPointers[r] = m_Arena.take(rowBytes(m));
    }

    // The first row of each matrix in static storage, the last one in m_LocalBytes; the rows
    // between, and those that find no room, go on the heap.
    void placeScattered() {
        sStaticPool& pool = staticPool();
        m_PoolFrom = pool.top;
        m_Pool = CGuardedBuffer(pool.bytes + pool.top, sizeof(pool.bytes) - pool.top);
        m_Local = CGuardedBuffer(m_LocalBytes, sizeof(m_LocalBytes));
        for (sMatrix& m : m_Matrices) {
            if (!sharesRows(m)) continue;
            m.rowPointers.front() = m_Pool.take(rowBytes(m));
            if (m.rowPointers.size() > 1) m.rowPointers.back() = m_Local.take(rowBytes(m));
        }
        m_PoolTaken = m_Pool.extent();
        pool.top += m_PoolTaken;
    }

    // Writes the values and makes the typed row array over the placed rows.
    void fill(sMatrix& m) {
        withElementType(m.desc.type, [&](auto tag) {
            using T = std::remove_pointer_t<decltype(tag)>;
            // One entry more than there are rows, so that even a matrix without rows hands the
            // library a row array that is not null.
            auto rows = std::make_shared<std::vector<T*>>(m.rowPointers.size() + 1, nullptr);
            for (std::size_t r = 0; r < m.rowPointers.size(); ++r) {
                T* row = static_cast<T*>(m.rowPointers[r]);
                for (int c = 0; c < m.desc.cols; ++c) {
                    const std::size_t k = r * static_cast<std::size_t>(m.desc.cols) + c;
                    new (row + c)
                        T(static_cast<T>(k < m.desc.values.size() ? m.desc.values[k] : 0));
                }
                (*rows)[r] = row;
            }
            m.rowArray = std::shared_ptr<void>(rows, rows->data());
        });
    }

    template <class T>
    static T** rowArray(sMatrix& m) {
        const bool same = withElementType(
            m.desc.type, [](auto tag) { return std::is_same<decltype(tag), T*>::value; });
        return same ? static_cast<T**>(m.rowArray.get()) : nullptr;
    }

    eHostLayout m_Layout;
    std::vector<sMatrix> m_Matrices;
    std::unique_ptr<unsigned char[]> m_ArenaBytes;  // the shared buffer of the interleaved layout
    CGuardedBuffer m_Arena;
    CGuardedBuffer m_Pool;   // the part of the static pool this host took (scattered layout)
    CGuardedBuffer m_Local;  // rows kept inside this object (scattered layout)
    std::size_t m_PoolFrom = 0;
    std::size_t m_PoolTaken = 0;
    alignas(alignof(double)) unsigned char m_LocalBytes[1024];
};

}  // namespace qxtest
