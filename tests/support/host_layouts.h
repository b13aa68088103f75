// Host matrices laid out the ways real hosts lay them out, for tests and fuzz targets: rows of
// any element type in one ascending block, one allocation per row (wherever the allocator puts
// it, or at descending addresses), one block with descending addresses, interleaved with other
// matrices' rows in one shared buffer, scattered over the heap and the host object, or a flat
// array; any shape, also zero rows or columns. Only the public interface of qx is used, as a
// host would.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
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
    Block,         // one allocation per matrix, rows in ascending order
    PerRow,        // one allocation per row, placed wherever the allocator puts it
    Descending,    // one allocation per matrix, the last row first
    Interleaved,   // one buffer for all matrices: row k of every matrix, then row k + 1 of every
                   // matrix, so that other matrices' rows lie between two rows of one matrix
    Scattered,     // the first and the last row inside the host object (on the stack where the
                   // host keeps it there), the others on the heap: far apart, with the heap
                   // blocks of other matrices between them
    Flat,          // matrices of one row are flat references; the others one allocation per row
    ReversedRows,  // one allocation per row, the rows at descending addresses
};

constexpr eHostLayout kHostLayouts[] = {
    eHostLayout::Block,     eHostLayout::PerRow, eHostLayout::Descending,  eHostLayout::Interleaved,
    eHostLayout::Scattered, eHostLayout::Flat,   eHostLayout::ReversedRows};
constexpr std::size_t kHostLayoutCount = std::size(kHostLayouts);

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

// A stretch of memory filled with guard bytes, in which rows are placed with a guard before and
// after each, so that a write outside the rows can be seen afterwards (where no sanitizer sees
// it).
class CGuardedBuffer {
public:
    static constexpr std::size_t kGuard = 16;

    void reset(unsigned char* base, std::size_t size) {
        m_pBase = base;
        m_Size = size;
        m_Rows.assign(1, {0, 0});
        std::fill_n(base, size, kGuardByte);
    }
    // Room for a row of `bytes` bytes between guards, or null when the buffer is full.
    unsigned char* take(std::size_t bytes) {
        const std::size_t at = (m_Rows.back().second + kGuard + 7) / 8 * 8;  // aligned for double
        if (m_pBase == nullptr || at + bytes + kGuard > m_Size) return nullptr;
        m_Rows.emplace_back(at, at + bytes);
        return m_pBase + at;
    }
    bool intact() const {
        const auto guard = [](unsigned char b) { return b == kGuardByte; };
        for (std::size_t k = 0; k < m_Rows.size(); ++k) {
            const std::size_t to = k + 1 < m_Rows.size() ? m_Rows[k + 1].first : m_Size;
            if (!std::all_of(m_pBase + m_Rows[k].second, m_pBase + to, guard)) return false;
        }
        return true;
    }

private:
    static constexpr unsigned char kGuardByte = 0xA5;
    unsigned char* m_pBase = nullptr;
    std::size_t m_Size = 0;
    std::vector<std::pair<std::size_t, std::size_t>> m_Rows;  // [from, to) of every row
};

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

    std::size_t add(sHostMatrixDesc desc) {
        m_Matrices.push_back(sMatrix{std::move(desc), {}, {}, {}, false});
        return m_Matrices.size() - 1;
    }

    // Allocates and fills the storage of every matrix declared so far (call once).
    void build() {
        std::size_t mostRows = 0;
        for (sMatrix& m : m_Matrices) {
            m.isFlat = m.desc.rows == 1 && m.desc.cols >= 1 &&
                       (m.desc.flat || m_Layout == eHostLayout::Flat);
            m.rowPointers.assign(static_cast<std::size_t>(std::max(m.desc.rows, 0)), nullptr);
            mostRows = std::max(mostRows, m.rowPointers.size());
        }
        // Rows that find no room in a buffer go on the heap.
        m_SharedBytes.resize(m_Layout == eHostLayout::Interleaved ? 1 << 17 : 0);
        m_Shared.reset(m_SharedBytes.data(), m_SharedBytes.size());
        m_Local.reset(m_LocalBytes, sizeof(m_LocalBytes));
        // Row r of every matrix, then row r + 1 of every matrix.
        for (std::size_t r = 0; r < mostRows; ++r)
            for (sMatrix& m : m_Matrices)
                if (r < m.rowPointers.size()) m.rowPointers[r] = place(m, r);
        // Rows allocated one by one usually ascend; handed out the other way round they descend.
        if (m_Layout == eHostLayout::ReversedRows)
            for (sMatrix& m : m_Matrices)
                std::sort(m.rowPointers.begin(), m.rowPointers.end(), std::greater<void*>());
        for (sMatrix& m : m_Matrices) fill(m);
    }

    // Registers every matrix with qx as a reference variable, flat ones through
    // changeReference(count, data); the variables in order, null where qx refused one.
    std::vector<CQXVariable*> addTo(CQXCompiler& qx) {
        std::vector<CQXVariable*> vars;
        for (std::size_t i = 0; i < m_Matrices.size(); ++i) {
            const sMatrix& m = m_Matrices[i];
            vars.push_back(withElementType(m.desc.type, [&](auto tag) {
                using T = std::remove_pointer_t<decltype(tag)>;
                CQXVariable* v = qx.addReferenceVar(m.desc.name, m.isFlat ? 1 : m.desc.rows,
                                                    m.isFlat ? 1 : m.desc.cols, rowArray<T>(i));
                return v != nullptr && m.isFlat && !pointAt(i, v) ? nullptr : v;
            }));
        }
        return vars;
    }

    std::size_t size() const { return m_Matrices.size(); }
    const sHostMatrixDesc& desc(std::size_t i) const { return m_Matrices[i].desc; }

    // The host's row array of matrix i (T must be its element type).
    template <class T>
    T** rowArray(std::size_t i) const {
        return static_cast<T**>(m_Matrices[i].rowArray.get());
    }

    // Points the reference variable v at matrix i's storage (as a flat reference when matrix i
    // is flat), as a host re-points a variable. False when v cannot take it (no rows or
    // columns, or v is no reference).
    bool pointAt(std::size_t i, CQXVariable* v) {
        const sMatrix& m = m_Matrices[i];
        return withElementType(m.desc.type, [&](auto tag) {
            using T = std::remove_pointer_t<decltype(tag)>;
            if (m.isFlat) return v->changeReference(m.desc.cols, rowArray<T>(i)[0]);
            return v->changeReference(m.desc.rows, m.desc.cols, rowArray<T>(i));
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
            T** rows = rowArray<T>(i);
            if (!std::equal(m.rowPointers.begin(), m.rowPointers.end(), rows)) return false;
            T** seen = rowsOf<T>(v);
            return m.isFlat ? seen != nullptr && seen[0] == rows[0] : seen == rows;
        });
    }

    // True when no guard byte around a row in a shared buffer has changed.
    bool guardsIntact() const { return m_Shared.intact() && m_Local.intact(); }

private:
    struct sMatrix {
        sHostMatrixDesc desc;
        std::vector<std::unique_ptr<unsigned char[]>> blocks;  // element storage this matrix owns
        std::vector<void*> rowPointers;                        // where each row starts
        std::shared_ptr<void> rowArray;                        // the typed row array (T**)
        bool isFlat = false;
    };

    static std::size_t rowBytes(const sMatrix& m) {
        return static_cast<std::size_t>(m.desc.cols) *
               withElementType(m.desc.type, [](auto tag) { return sizeof(*tag); });
    }

    // Where row r of m goes: in the shared buffer (interleaved layout) or this object (first and
    // last row, scattered layout), else in a block of the matrix's own (block
    // and descending layouts and flat matrices) or an allocation of its own; rows that find no
    // room in a buffer go on the heap as well.
    unsigned char* place(sMatrix& m, std::size_t r) {
        const std::size_t bytes = rowBytes(m);
        const std::size_t rows = m.rowPointers.size();
        unsigned char* row = nullptr;
        if (!m.isFlat && m_Layout == eHostLayout::Interleaved) row = m_Shared.take(bytes);
        if (!m.isFlat && m_Layout == eHostLayout::Scattered && (r == 0 || r + 1 == rows))
            row = m_Local.take(bytes);
        if (row != nullptr) return row;
        const bool descending = m_Layout == eHostLayout::Descending;
        if (m.isFlat || m_Layout == eHostLayout::Block || descending) {
            if (r == 0) m.blocks.emplace_back(new unsigned char[bytes * rows]);
            return m.blocks.front().get() + (descending ? rows - 1 - r : r) * bytes;
        }
        m.blocks.emplace_back(new unsigned char[bytes]);
        return m.blocks.back().get();
    }

    // Writes the values and makes the typed row array over the placed rows.
    void fill(sMatrix& m) {
        withElementType(m.desc.type, [&](auto tag) {
            using T = std::remove_pointer_t<decltype(tag)>;
            // One entry more than there are rows, so that even a matrix without rows hands the
            // library a row array that is not null.
            auto rows = std::make_shared<std::vector<T*>>(m.rowPointers.size() + 1, nullptr);
            std::size_t k = 0;
            for (std::size_t r = 0; r < m.rowPointers.size(); ++r) {
                (*rows)[r] = static_cast<T*>(m.rowPointers[r]);
                for (int c = 0; c < m.desc.cols; ++c, ++k)
                    new ((*rows)[r] + c)
                        T(static_cast<T>(k < m.desc.values.size() ? m.desc.values[k] : 0));
            }
            m.rowArray = std::shared_ptr<void>(rows, rows->data());
        });
    }

    eHostLayout m_Layout;
    std::vector<sMatrix> m_Matrices;
    std::vector<unsigned char> m_SharedBytes;  // the shared buffer of the interleaved layout
    CGuardedBuffer m_Shared;
    CGuardedBuffer m_Local;  // rows kept inside this object (scattered layout)
    alignas(alignof(double)) unsigned char m_LocalBytes[4096];
};

}  // namespace qxtest
