// The execution plan: laying a root block's tree of blocks out as one flat sequence of steps with
// jumps (once, on the first run), and running it. A run of the plan does exactly what running the
// blocks one inside the other does: the same instructions in the same order on the same tiers,
// the instruction limit counted per instruction, the nesting limit checked where a block would
// be entered, errors recorded by the block whose instruction failed and handed to the root, and
// the pending arguments of calls released on every level an error passes.
#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/vm/fused_chain_internal.h"
#include "qx/vm/interpreter.h"
#include "qx/vm/operand_cache_internal.h"
#include "qx/vm/plan_internal.h"

namespace qxplan {
namespace {

// Lays the blocks out: each block's instructions in order, the region of a sub-block right after
// the step that enters it, a then-branch closed by its jump, then the else-branch.
class Builder {
public:
    explicit Builder(Plan& plan) : m_Steps(plan.steps) {}

    bool build(CQXInterpreter* root) {
        if (!emit(root, -1, 0)) return false;
        Step end;
        end.kind = kEnd;
        end.depth = 0;
        m_Steps.push_back(end);
        resolveLeaps();
        return true;
    }

    const std::vector<CQXInterpreter*>& blocks() const { return m_Blocks; }

private:
    int size() const { return static_cast<int>(m_Steps.size()); }

    static unsigned char kindOf(eOptType opt) {
        switch (opt) {
            case otBLOCK:
                return kBlock;
            case otCONDITION:
                return kCondition;
            case otBREAK:
                return kBreak;
            case otCONTINUE:
                return kContinue;
            default:
                return kExec;
        }
    }

    bool emit(CQXInterpreter* block, int parent, int depth) {
        if (depth > kMaxDepth) return false;
        m_Blocks.push_back(block);
        const int start = size();
        std::vector<int> own;
        const std::vector<sByteCode>& code = block->getByteCode();
        for (std::size_t pc = 0; pc < code.size(); ++pc) {
            const int at = size();
            own.push_back(at);
            Step step;
            step.kind = kindOf(code[pc].m_Opt);
            step.base = step.kind;
            step.direct = qxscalar::hasDirectPath(code[pc].m_Opt);
            step.depth = depth;
            step.parent = parent;
            step.pc = pc;
            step.block = block;
            m_Steps.push_back(step);
            if (!emitBranches(code[pc], at, depth)) return false;
        }
        for (const int k : own) {
            m_Steps[static_cast<std::size_t>(k)].blockStart = start;
            m_Steps[static_cast<std::size_t>(k)].blockEnd = size();
        }
        return true;
    }

    // The regions an otBLOCK or otCONDITION step enters. A then-branch ends with a jump: back to
    // its block's first step when the condition repeats, else past the else-branch.
    bool emitBranches(const sByteCode& code, int at, int depth) {
        if (code.m_Opt == otBLOCK)
            return code.m_pBlock == nullptr || emit(code.m_pBlock, at, depth + 1);
        if (code.m_Opt != otCONDITION) return true;
        if (code.m_pBlock != nullptr && !emit(code.m_pBlock, at, depth + 1)) return false;
        const int jump = size();
        Step close;
        close.kind = kJump;
        close.parent = at;
        m_Steps.push_back(close);
        const int elseStart = size();
        if (code.m_pElseBlock != nullptr && !emit(code.m_pElseBlock, at, depth + 1)) return false;
        Step& cond = m_Steps[static_cast<std::size_t>(at)];
        cond.repeat = code.m_bRepeat;
        cond.after = size();
        cond.target = code.m_pElseBlock != nullptr ? elseStart : cond.after;
        // The block's first step is the first step of the block that holds the condition: it is
        // known once that block's region is complete, so the restart is filled in by resolveLeaps.
        m_Steps[static_cast<std::size_t>(jump)].target = cond.repeat ? -2 : cond.after;
        return true;
    }

    // Restart targets of repeating conditions and the targets of break and continue.
    void resolveLeaps() {
        for (Step& step : m_Steps) {
            if (step.kind == kJump && step.target == -2)
                step.target = m_Steps[static_cast<std::size_t>(step.parent)].blockStart;
        }
        for (std::size_t k = 0; k < m_Steps.size(); ++k) {
            Step& step = m_Steps[k];
            if (step.kind == kBreak) step.target = leap(static_cast<int>(k), isBREAK);
            if (step.kind == kContinue) step.target = leap(static_cast<int>(k), isCONTINUE);
        }
    }

    int leap(int from, eInterpreterState state) const { return leapFrom(m_Steps, from, state); }

    std::vector<Step>& m_Steps;
    std::vector<CQXInterpreter*> m_Blocks;
};

}  // namespace

// Where a break or continue that arises at step `from` goes: up through the blocks that enclose
// it to the first loop block that catches it at one of its conditions. A break ends that block
// normally; a continue restarts it from a repeating condition's then-branch and otherwise goes on
// after the condition. -1 when no block catches it: the run ends with the state.
int leapFrom(const std::vector<Step>& steps, int from, eInterpreterState state) {
    int cur = from;
    for (;;) {
        const int p = steps[static_cast<std::size_t>(cur)].parent;
        if (p == -1) return -1;
        const Step& enter = steps[static_cast<std::size_t>(p)];
        if (enter.base == kCondition && enter.block->isLoopBlock()) {
            if (state == isBREAK) return enter.blockEnd;
            const bool inThen = cur < enter.target;
            return inThen && enter.repeat ? enter.blockStart : enter.after;
        }
        cur = p;
    }
}

namespace {
thread_local unsigned long long tPlannedRuns = 0;
thread_local unsigned long long tRegisterForms = 0;
}  // namespace

unsigned long long plannedRunCount() {
    return tPlannedRuns;
}

unsigned long long registerFormCount() {
    return tRegisterForms;
}

void notePlannedRun() {
    ++tPlannedRuns;
}

void noteRegisterForm() {
    ++tRegisterForms;
}

bool build(CQXInterpreter* root, Plan& plan, std::vector<CQXInterpreter*>& blocks) {
    plan.steps.clear();
    Builder builder(plan);
    if (!builder.build(root)) return false;
    blocks = builder.blocks();
    return true;
}

}  // namespace qxplan

// The plan is made on the first run of a root block and kept while the root's instructions stay;
// a compile or a clear, which are refused while a script runs, drop it with the instructions.
// Every block of the tree gets its operand cache and fused chains here, as its first run would.
// In the reference mode the blocks run one inside the other. Running out of memory here fails
// the run (std::bad_alloc), as it would while a first run prepares its blocks.
bool CQXInterpreter::preparePlan() {
    if (m_pShared->fastPathsOff()) return false;
    if (m_pPlan && m_pPlan->rootCount == m_ByteCode.size()) return true;
    m_pPlan.reset();
    auto plan = std::make_unique<qxplan::Plan>();
    std::vector<CQXInterpreter*> blocks;
    if (!qxplan::build(this, *plan, blocks)) return false;
    for (CQXInterpreter* block : blocks) {
        if (block->m_Resolved.size() != block->m_ByteCode.size()) block->prepareRun();
    }
    for (qxplan::Step& step : plan->steps) {
        if (step.block == nullptr) continue;
        step.code = &step.block->m_ByteCode[step.pc];
        step.entry = &step.block->m_Resolved[step.pc];
    }
    plan->rootCount = m_ByteCode.size();
    m_pPlan = std::move(plan);
    return true;
}

// A sub-block would be entered too deep: its own record holds the error, as if it had been run.
eInterpreterState CQXInterpreter::enterFailed(CQXInterpreter* block) {
    const std::vector<sByteCode>& code = block->m_ByteCode;
    return block->failAt(code.empty() ? -1 : code[0].m_Line, code.empty() ? -1 : code[0].m_Pos,
                         "Call nesting too deep", std::string());
}

// A step ended the run with an error or a return, recorded by the block `origin`. The root takes
// that block's record, as each enclosing block would have taken its sub-block's; an error also
// releases the pending call arguments of the step's block and of every block around it.
eInterpreterState CQXInterpreter::leavePlan(int at, eInterpreterState state,
                                            const CQXInterpreter* origin) {
    const std::vector<qxplan::Step>& steps = m_pPlan->steps;
    if (state == isEXCEPTION) {
        for (int k = at; k != -1; k = steps[static_cast<std::size_t>(k)].parent) {
            const qxplan::Step& step = steps[static_cast<std::size_t>(k)];
            step.block->unbindPending(step.pc);
        }
    }
    if (origin != this) m_Error = origin->m_Error;
    return state;
}
