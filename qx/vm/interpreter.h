// A block: an ordered sequence of instructions with what its interpreter loop needs while it
// runs (element and range views of the two operands, its run-time error record). The compiled
// program is a tree of blocks; the block manager owns every block the compiler creates.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "qx/core/error.h"
#include "qx/export.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"

class CQXSharedParameter;
namespace qxcache {
struct Entry;
}
namespace qxfuse {
struct Chain;
}
namespace qxplan {
struct Plan;
struct Step;
}  // namespace qxplan
namespace qxscalar {
enum class Outcome;
}  // namespace qxscalar

// Blocks are not copyable: a block's instructions and views belong to one program.
class QX_API CQXInterpreter {
public:
    explicit CQXInterpreter(CQXSharedParameter* shared);
    CQXInterpreter(const CQXInterpreter&) = delete;
    CQXInterpreter& operator=(const CQXInterpreter&) = delete;
    virtual ~CQXInterpreter();

    // Stores line and position into the instruction and appends it.
    void addByteCode(sByteCode code, int line, int pos);
    // Runs the instructions from first to last.
    eInterpreterState Interprete();

    // Blocks running inside one another in one run (sub-blocks and function calls) at most.
    // Script functions cannot recurse, but a long chain of functions calling one another could
    // otherwise exhaust the native stack; 1000 levels stay well inside a thread's stack.
    static const int kMaxRunDepth = 1000;
    bool isLoopBlock() const { return m_bLoopBlock; }
    void setLoopBlock() { m_bLoopBlock = true; }
    CQXError getError() const { return m_Error; }
    // Removes all instructions; the loop flag and the error record stay.
    void clear();

    const std::vector<sByteCode>& getByteCode() const { return m_ByteCode; }
    int getByteCodeCount() const { return static_cast<int>(m_ByteCode.size()); }

#ifdef QX_INTERNAL_API
    CQXError& error_intern() {
        return m_Error;
    }
    // Gives back the room the instruction list grew into beyond its instructions.
    void trim_intern() {
        m_ByteCode.shrink_to_fit();
    }
    CQXSharedParameter* getShared_intern() const {
        return m_pShared;
    }
#endif

private:
    // The element and range views of the two operands (interpreter.cpp). Only blocks holding an
    // instruction with an indexed operand have them: they are made when such an instruction is
    // appended, so most blocks stay small and running never allocates them.
    struct sViews;
    // The operands of the instruction being run: the named variables, or the views that
    // resolution put in their place, and which range views must be released afterwards.
    struct Operands {
        CQXVariable* a;
        CQXVariable* b;
        bool rangeBuilt[2];
    };
    // Where the loop goes after an instruction that did not end the block with a state; kFused:
    // past the fused chain that the instruction started.
    enum class Flow { kNext, kRestart, kEnd, kFused };

    // Runs this block: a root block through its plan when it has one (plan.cpp), a sub-block
    // (root false) or a block in the reference mode instruction by instruction.
    eInterpreterState enter(bool root);
    bool preparePlan();
    eInterpreterState runPlan();
    eInterpreterState execStep(qxplan::Step& step, int& k);
    eInterpreterState stopPlan(const qxplan::Step& step, long long left);
    qxscalar::Outcome directOn(const qxplan::Step& step, bool& holds);
    void takeRegisterForm(qxplan::Step& step);
    eInterpreterState testCondition(std::size_t pc, bool& holds);
    eInterpreterState enterFailed(CQXInterpreter* block);
    eInterpreterState leavePlan(int at, eInterpreterState state, const CQXInterpreter* origin);
    eInterpreterState step(std::size_t pc, std::size_t end, Flow& flow);
    eInterpreterState stepBeyondDirect(std::size_t pc, std::size_t end, Flow& flow);
    eInterpreterState stepGeneral(sByteCode& code, Flow& flow);
    eInterpreterState failCaught(const sByteCode& code);
    void unbindPending(std::size_t pc);
    bool resolve(const sByteCode& code, Operands& ops);
    bool leftOfAndIsFalse(const sByteCode& code, Operands& ops);
    bool resolveElement(const sByteCode& code, int which, CQXVariable*& out);
    bool resolveRange(const sByteCode& code, int which, Operands& ops, CQXVariable*& out);
    void releaseRanges(const Operands& ops);
    // The opcode dispatch (opcodes.cpp), generated from the opcode table.
    eInterpreterState execute(sByteCode& code, Operands& ops, Flow& flow);
    eInterpreterState callFunction(sByteCode& code);
    // Sub-blocks of otBLOCK and otCONDITION and what their end state means here.
    eInterpreterState runBlock(CQXInterpreter* block);
    eInterpreterState runCondition(const sByteCode& code, const CQXVariable* cond, Flow& flow);
    eInterpreterState runBranch(const sByteCode& code, bool holds, Flow& flow);
    // The one place that records a run-time error of this block: at the instruction, naming
    // the variable it accessed (failAt: at a given place, for errors before any instruction).
    eInterpreterState fail(const sByteCode& code, const char* text, const CQXVariable* named);
    eInterpreterState failAt(int line, int pos, const char* text, const std::string& name);
    // The call of a library or host function failed at the instruction code: the trace names the
    // function (failCaughtCall: called inside the handler of what the function threw).
    eInterpreterState failCall(const sByteCode& code, const CQXFunction* func, const char* text,
                               const std::string& name);
    eInterpreterState failCaughtCall(const sByteCode& code, const CQXFunction* func);
    // Notes a call site of the error being unwound in the shared run state (failure path
    // only); origin starts the list afresh at the instruction where the error arose.
    void noteCallSite(const std::string& function, int line, int pos, bool origin);
    eInterpreterState run();
    void prepareRun();
    const qxfuse::Chain& chainAt(std::size_t pc) const;
    bool runFused(std::size_t pc, std::size_t end, eInterpreterState& state);
    eInterpreterState stopRun(const sByteCode& code);

    std::vector<sByteCode> m_ByteCode;
    // Parallel to m_ByteCode once the block has run: what each instruction's operands resolved to
    // on the direct path.
    std::vector<qxcache::Entry> m_Resolved;
    // The fused element-wise chains among the instructions, found with the operand cache; an
    // entry of m_Resolved names the chain that starts at its instruction.
    std::unique_ptr<std::vector<qxfuse::Chain>> m_pChains;
    std::unique_ptr<sViews> m_pViews;
    // The flat plan of the blocks this block runs, made on its first run as a root block.
    std::unique_ptr<qxplan::Plan> m_pPlan;
    CQXError m_Error;
    CQXSharedParameter* m_pShared;
    bool m_bLoopBlock;

    friend class CQXCompiler;
    // What the opcode handlers of opcodes.cpp get: they run sub-blocks and calls and report
    // errors through this block.
    friend struct sOpcodeArgs;
};

// Owns every block the compiler creates; deletes them in reverse order of creation.
class QX_API CQXBlockManager {
public:
    CQXBlockManager();
    CQXBlockManager(const CQXBlockManager&) = delete;
    CQXBlockManager& operator=(const CQXBlockManager&) = delete;
    virtual ~CQXBlockManager();

    // Takes ownership and returns the block.
    CQXInterpreter* addBlock(CQXInterpreter* block);
    void clear();
    int getBlockCount() const { return static_cast<int>(m_Blocks.size()); }

#ifdef QX_INTERNAL_API
    // Hands every block to the caller (who then owns them) and empties the manager.
    std::vector<CQXInterpreter*> release_intern();
    // Trims the list of blocks and every block's instruction list (a compile has finished).
    void trim_intern() {
        m_Blocks.shrink_to_fit();
        for (CQXInterpreter* block : m_Blocks) block->trim_intern();
    }
#endif

private:
    std::vector<CQXInterpreter*> m_Blocks;
};
