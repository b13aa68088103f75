// The execution plan of a program: the tree of blocks that a root block (the main block, a script
// function's block) runs, laid out once as one flat sequence of steps with jumps. Sub-blocks,
// loops, break, continue and the short-circuit of && become jumps inside the sequence, so a loop
// iteration enters no native call per block. The instructions themselves stay the blocks' own;
// a step names the block and the instruction it runs. Library-internal; not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qx/vm/bytecode.h"

class CQXInterpreter;

namespace qxplan {

// What one step of a plan does.
enum class Kind : unsigned char {
    kExec,       // run the instruction on its tiers (direct path, fused chain, general path)
    kBlock,      // otBLOCK: enter the sub-block laid out right after this step
    kCondition,  // otCONDITION: the then-branch follows; `target` is the else-branch or `after`
    kBreak,      // otBREAK: leaves the enclosing loop (found when the plan is made)
    kContinue,   // otCONTINUE: the next round of the enclosing loop
    kJump,       // the end of a then-branch: the loop's restart or past the else-branch
    kEnd         // the end of the root block: the run ends with isOK
};

// One step. `parent` is the step that entered the sub-block this step belongs to (-1: the root
// block's own instruction); `depth` is how many sub-blocks deep it lies, which the run adds to
// its call depth wherever running the blocks one inside the other would have counted it. The
// steps of one block form a region from `blockStart` to `blockEnd` (the step that follows the
// block's last instruction: what runs when the block ends normally).
struct Step {
    Kind kind = Kind::kEnd;
    bool repeat = false;  // kCondition: a then-branch that ends normally restarts the block
    int depth = 0;
    int parent = -1;
    int target = -1;  // kCondition: where a false condition goes; kJump, kBreak, kContinue: the
                      // step it goes to (-1: the run ends with isBREAK or isCONTINUE)
    int after = -1;   // kCondition: the step of the block's next instruction
    int blockStart = 0;
    int blockEnd = 0;
    std::size_t pc = 0;               // the instruction in its block
    CQXInterpreter* block = nullptr;  // the block that holds the instruction (null: kJump, kEnd)
};

// A root block's plan: its steps, and the root's instruction count when it was made.
struct Plan {
    std::vector<Step> steps;
    std::size_t rootCount = 0;
};

// Lays out the plan of root; `blocks` receives every block it holds, root first. False when the
// tree is deeper than kMaxDepth.
bool build(CQXInterpreter* root, Plan& plan, std::vector<CQXInterpreter*>& blocks);

// Where a break (state isBREAK) or continue (isCONTINUE) that arises at step `from` goes: the
// step, or -1 when no loop block encloses it and the run ends with the state.
int leapFrom(const std::vector<Step>& steps, int from, eInterpreterState state);

// The deepest nesting of sub-blocks a plan is made for; a deeper tree (which no compile makes)
// runs block by block.
constexpr int kMaxDepth = 512;

}  // namespace qxplan
