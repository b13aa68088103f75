// The pool that holds the variables of one manager (the compiler's temporaries and literal
// constants): they are made in chunks, so a program's thousands of small variables cost a few
// allocations, and they all go together when the program is cleared.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "qx/values/variable.h"

class CQXVarPool {
public:
    CQXVarPool() = default;
    CQXVarPool(const CQXVarPool&) = delete;
    CQXVarPool& operator=(const CQXVarPool&) = delete;
    ~CQXVarPool() { clear(); }

    // A new variable (as CQXVariable(shared)); throws std::bad_alloc when no chunk can be had.
    CQXVariable* make(CQXSharedParameter* shared);
    // Destroys the variable made last (one whose set-up failed).
    void dropLast();
    // Destroys every variable, the most recently made first, and frees the chunks.
    void clear();

private:
    struct Slot {
        alignas(CQXVariable) unsigned char bytes[sizeof(CQXVariable)];
    };
    struct Chunk {
        std::unique_ptr<Slot[]> slots;
        std::size_t capacity;
        std::size_t used;
    };
    // Chunks grow from kFirstChunk to kLastChunk slots; the largest stays below the size the C
    // library serves from separate mappings.
    static constexpr std::size_t kFirstChunk = 16;
    static constexpr std::size_t kLastChunk = 256;

    std::vector<Chunk> m_Chunks;
};
