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
#include "qx/vm/scalar_path_internal.h"

class CQXInterpreter;
namespace qxcache {
struct Entry;
}

namespace qxplan {

// What one step of a plan does. An instruction step whose operands are all whole 1x1 doubles
// runs in its register form, kWhole + opcode: the operands' row arrays are kept in the step
// while no variable's storage changes, and the opcode's scalar meaning runs on them at once.
enum Kind : unsigned char {
    kExec,       // run the instruction on its tiers (direct path, fused chain, general path)
    kBlock,      // otBLOCK: enter the sub-block laid out right after this step
    kCondition,  // otCONDITION: the then-branch follows; `target` is the else-branch or `after`
    kBreak,      // otBREAK: leaves the enclosing loop (found when the plan is made)
    kContinue,   // otCONTINUE: the next round of the enclosing loop
    kJump,       // the end of a then-branch: the loop's restart or past the else-branch
    kEnd,        // the end of the root block: the run ends with isOK
    kWhole = 16  // kWhole + opcode: the register form of an instruction (see above)
};

// One step. `parent` is the step that entered the sub-block this step belongs to (-1: the root
// block's own instruction); `depth` is how many sub-blocks deep it lies, which the run adds to
// its call depth wherever running the blocks one inside the other would have counted it. The
// steps of one block form a region from `blockStart` to `blockEnd` (the step that follows the
// block's last instruction: what runs when the block ends normally).
struct Step {
    unsigned char kind = kEnd;
    unsigned char base = kEnd;  // the kind the step has when its register form does not apply
    bool repeat = false;        // kCondition: a then-branch that ends normally restarts the block
    bool direct = false;        // the opcode has a direct path (and so a register form)
    int depth = 0;
    int parent = -1;
    int target = -1;  // kCondition: where a false condition goes; kJump, kBreak, kContinue: the
                      // step it goes to (-1: the run ends with isBREAK or isCONTINUE)
    int after = -1;   // kCondition: the step of the block's next instruction
    int blockStart = 0;
    int blockEnd = 0;
    std::size_t pc = 0;               // the instruction in its block
    CQXInterpreter* block = nullptr;  // the block that holds the instruction (null: kJump, kEnd)
    // The instruction and its operand cache entry (kExec), in the block's own lists, which stay
    // where they are while the plan lives.
    sByteCode* code = nullptr;
    qxcache::Entry* entry = nullptr;
    // The register form: the storage count its row arrays were taken at (0: not yet), and the
    // row arrays of A, B and R (null where the instruction has no such operand).
    unsigned long long epoch = 0;
    double** a = nullptr;
    double** b = nullptr;
    double** r = nullptr;
};

// A root block's plan: its steps, and the root's instruction count when it was made.
struct Plan {
    std::vector<Step> steps;
    std::size_t rootCount = 0;
};

// The register form of a step: the opcode's scalar meaning (a form of the opcode table's scalar
// column) on the cells of its whole operands. kGeneral when a cell is missing or the form
// declines (a zero divisor, say): the step then runs through its tiers.
template <class Form>
QX_SCALAR_INLINE qxscalar::Outcome runWhole(const Step& step, bool& holds) {
    double* a = step.a[0];
    const double* b = step.b != nullptr ? step.b[0] : nullptr;
    double* r = step.r != nullptr ? step.r[0] : nullptr;
    if (a == nullptr || (step.b != nullptr && b == nullptr) || (step.r != nullptr && r == nullptr))
        return qxscalar::Outcome::kGeneral;
    return Form::run(qxscalar::Cells{a, b, r, step.code->m_Var1.m_pVar}, holds);
}

// Lays out the plan of root; `blocks` receives every block it holds, root first. False when the
// tree is deeper than kMaxDepth.
bool build(CQXInterpreter* root, Plan& plan, std::vector<CQXInterpreter*>& blocks);

// Where a break (state isBREAK) or continue (isCONTINUE) that arises at step `from` goes: the
// step, or -1 when no loop block encloses it and the run ends with the state.
int leapFrom(const std::vector<Step>& steps, int from, eInterpreterState state);

// The runs of root blocks that went through their plan, and the steps that took their register
// form, on this thread so far. Tests tell the plan's ways of running an instruction apart with
// them; the library itself never reads them.
unsigned long long plannedRunCount();
unsigned long long registerFormCount();
void notePlannedRun();
void noteRegisterForm();

// The deepest nesting of sub-blocks a plan is made for; a deeper tree (which no compile makes)
// runs block by block.
constexpr int kMaxDepth = 512;

}  // namespace qxplan
