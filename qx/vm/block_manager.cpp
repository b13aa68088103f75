// The block manager: owner of every block the compiler creates for a program (the bodies of
// if, else, while and for, braced groups, the right operands of &&). Instructions only point
// to blocks; the manager deletes them when the program is cleared.
#include <utility>

#include "qx/vm/interpreter.h"

CQXBlockManager::CQXBlockManager() = default;

CQXBlockManager::~CQXBlockManager() {
    clear();
}

CQXInterpreter* CQXBlockManager::addBlock(CQXInterpreter* block) {
    // The caller hands the block over with this call, so the block must not leak when the
    // list cannot grow.
    try {
        m_Blocks.push_back(block);
    } catch (...) {
        delete block;
        throw;
    }
    return block;
}

void CQXBlockManager::clear() {
    // The most recently added block goes first. Each entry leaves the list before it is
    // deleted, so a destructor that reached this manager would never see a deleted block.
    while (!m_Blocks.empty()) {
        CQXInterpreter* block = m_Blocks.back();
        m_Blocks.pop_back();
        delete block;
    }
}

std::vector<CQXInterpreter*> CQXBlockManager::release_intern() {
    std::vector<CQXInterpreter*> blocks;
    blocks.swap(m_Blocks);
    return blocks;
}
