// The chunked pool of a manager's variables.
#include <algorithm>
#include <new>
#include <utility>

#include "qx/values/var_pool_internal.h"

CQXVariable* CQXVarPool::make(CQXSharedParameter* shared) {
    if (m_Chunks.empty() || m_Chunks.back().used == m_Chunks.back().capacity) {
        const std::size_t capacity =
            m_Chunks.empty() ? kFirstChunk : std::min(kLastChunk, m_Chunks.back().capacity * 2);
        // The list grows geometrically; a failed growth frees the new chunk with `fresh`.
        Chunk fresh{std::unique_ptr<Slot[]>(new Slot[capacity]), capacity, 0};
        m_Chunks.push_back(std::move(fresh));
    }
    Chunk& chunk = m_Chunks.back();
    CQXVariable* var =
        ::new (static_cast<void*>(chunk.slots[chunk.used].bytes)) CQXVariable(shared);
    ++chunk.used;
    return var;
}

void CQXVarPool::dropLast() {
    if (m_Chunks.empty() || m_Chunks.back().used == 0) return;
    Chunk& chunk = m_Chunks.back();
    --chunk.used;
    std::launder(reinterpret_cast<CQXVariable*>(chunk.slots[chunk.used].bytes))->~CQXVariable();
}

void CQXVarPool::clear() {
    while (!m_Chunks.empty()) {
        while (m_Chunks.back().used > 0) dropLast();
        m_Chunks.pop_back();
    }
}
