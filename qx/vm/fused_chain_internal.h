// Fused element-wise chains: consecutive element-wise instructions of a block that compute one
// expression over matrices of one shape, run strip by strip in one pass over memory instead of one
// pass per instruction into its own temporary. Library-internal; not installed.
#pragma once

#include <cstddef>
#include <vector>

#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"

class CQXSharedParameter;

namespace qxfuse {

// One instruction of a chain and, per operand, the step whose value it reads (-1: the operand is
// read from its own variable when the chain runs).
struct Step {
    std::size_t pc;
    int linkA;
    int linkB;
};

// The instructions first .. first + steps - 1 of a block. Every temporary but the last is read by
// exactly one later step and by nothing else in the program, so those temporaries are never
// written. With `assign`, the otASSIGN right after the last step is the only reader of the last
// temporary: the chain stores into the assignment's target directly and runs that instruction
// too. Otherwise the last temporary receives the result.
struct Chain {
    std::size_t first = 0;
    std::vector<Step> steps;
    bool assign = false;

    std::size_t count() const { return steps.size() + (assign ? 1 : 0); }
};

// The chains among a block's instructions, in order; other readers of a temporary are searched
// for in the block and in every block its instructions run.
std::vector<Chain> findChains(const std::vector<sByteCode>& code);

// Fewest elements a fused run is tried for. Measured on a chain of three instructions repeated
// in a loop: at 36 elements the checks of a fused run cost a fifth more than the passes they
// save, at 100 as much, at 256 a fused run took half the time.
constexpr long long kMinElements = 128;

// A quick first test, made before every run of a chain: whether its first temporary has at least
// kMinElements elements (its shape from an earlier run). Chains of small values, such as the
// counters and sums of scalar loops, are left to the instructions at once.
inline bool mayFuse(const Chain& chain, const std::vector<sByteCode>& code) {
    const CQXVariable* first = code[chain.first].m_pResult;
    return first->getRows() * static_cast<long long>(first->getCols()) >= kMinElements;
}

// Runs the chain when it can compute exactly what running its instructions one by one computes,
// and counts its instructions but the first against the run's instruction budget. False, with
// nothing changed, whenever an operand, a shape, a divisor or an overlap of storage says
// otherwise: the instructions then run one by one, and report any error themselves. Throws
// std::bad_alloc, before writing anything, when the memory for the strips cannot be had.
bool runChain(const Chain& chain, const std::vector<sByteCode>& code, CQXSharedParameter* shared);

// The chains that ran fused on this thread so far. Tests tell a fused run from one that ran its
// instructions one by one with it; the library itself never reads it.
unsigned long long fusedRunCount();

}  // namespace qxfuse
