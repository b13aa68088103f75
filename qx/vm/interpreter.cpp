// The interpreter loop of a block: runs the block's instructions in order, resolving element
// and range operands into views of the variables' own storage before each opcode, and turning
// the end states of sub-blocks into this block's control flow (loops restart, break, continue,
// return and errors travel upward). The opcodes themselves are in opcodes.cpp.
#include "qx/vm/interpreter.h"

#include <cstddef>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/functions/function.h"
#include "qx/values/rows_internal.h"
#include "qx/values/storage_fault_internal.h"
#include "qx/vm/fused_chain_internal.h"
#include "qx/vm/operand_address_internal.h"
#include "qx/vm/operand_cache_internal.h"
#include "qx/vm/plan_internal.h"
#include "qx/vm/scalar_path_internal.h"

namespace {

// The error text of an operand that cannot be addressed.
const char* faultText(qxaddr::eFault fault) {
    switch (fault) {
        case qxaddr::eFault::kRowNotSingle:
            return "Row-Index must be SINGLE";
        case qxaddr::eFault::kColNotSingle:
            return "Column-Index must be SINGLE";
        case qxaddr::eFault::kRowOutOfRange:
            return "Row-Index out of Range";
        case qxaddr::eFault::kColOutOfRange:
            return "Column-Index out of Range";
        case qxaddr::eFault::kRowAbsent:
        case qxaddr::eFault::kNone:
            break;
    }
    return "Unknown Exception";
}

// The truth of a condition: a defined value with an element other than 0.
bool conditionHolds(const CQXVariable* cond) {
    return cond != nullptr && cond->isInitialized() && !cond->equalsingle(0.0);
}

// Points an element view at element (row, col) of var through the view's one-entry row array.
// A variable without storage gives a view without storage, which no kernel dereferences.
template <class T>
void pointElement(const CQXVariable& var, int row, int col, T*& cell, CQXVariable& view) {
    if (!var.hasStorage()) {
        view.setView_intern(1, 1, static_cast<T**>(nullptr));
        return;
    }
    // A host row array may leave a row absent; the view then has no storage either.
    var.getSinglePtr(row, col, &cell);
    view.setView_intern(1, 1, cell != nullptr ? &cell : nullptr);
}

// Points a range view at rows first .. first+n-1, from column col on, of var. The row vector
// keeps its capacity, so a range of a size seen before allocates nothing. An empty range gets
// no row array at all: its rows would point past the addressed columns.
template <class T>
void pointRange(const CQXVariable& var, int first, int n, int col, int cols, std::vector<T*>& rows,
                CQXVariable& view) {
    if (n == 0 || cols == 0 || !var.hasStorage()) {
        view.setView_intern(n, cols, static_cast<T**>(nullptr));
        return;
    }
    if (rows.size() < static_cast<std::size_t>(n)) rows.resize(static_cast<std::size_t>(n));
    var.getRangePtr(first, n, col, rows.data());
    view.setView_intern(n, cols, rows.data());
}

// The direct path with the operands resolved once per storage count: while no storage has
// changed, the instruction's cells come from the kept row arrays. Operands whose storage is
// counted elsewhere (or nowhere) take the direct path's own tests on every run.
qxscalar::Outcome runDirect(const sByteCode& code, qxcache::Entry& entry,
                            const CQXSharedParameter* shared, bool& holds) {
    if (shared == nullptr) return qxscalar::run(code, holds);
    if (entry.epoch != shared->m_StorageEpoch) qxcache::resolve(code, shared, entry);
    if (!entry.direct) return qxscalar::run(code, holds);
    double* a = nullptr;
    double* b = nullptr;
    double* r = nullptr;
    if (!qxcache::locateAll(entry, a, b, r)) return qxscalar::Outcome::kGeneral;
    return qxscalar::compute(code.m_Opt, qxscalar::Cells{a, b, r, code.m_Var1.m_pVar}, holds);
}

}  // namespace

// The element and range views of the two operands. All four start as 1x1 double references
// without rows; every instruction that uses one points it at its operand first.
struct CQXInterpreter::sViews {
    // One operand's element cell: the one-entry row array of its element view.
    using ViewCell = std::tuple<unsigned char*, unsigned short*, int*, float*, double*>;
    // Row arrays of one operand's range view; their capacity is kept between instructions.
    using RangeRows = std::tuple<std::vector<unsigned char*>, std::vector<unsigned short*>,
                                 std::vector<int*>, std::vector<float*>, std::vector<double*>>;

    explicit sViews(CQXSharedParameter* shared)
        : m_ElemView{CQXVariable(shared), CQXVariable(shared)},
          m_RangeView{CQXVariable(shared), CQXVariable(shared)} {
        static const char* const kNames[2][2] = {{"s1", "s2"}, {"r1", "r2"}};
        for (int k = 0; k < 2; ++k) {
            m_ElemView[k].setName_intern(kNames[0][k]);
            m_ElemView[k].setView_intern(1, 1, static_cast<double**>(nullptr));
            m_RangeView[k].setName_intern(kNames[1][k]);
            m_RangeView[k].setView_intern(1, 1, static_cast<double**>(nullptr));
        }
    }
    sViews(const sViews&) = delete;
    sViews& operator=(const sViews&) = delete;
    ~sViews() {
        for (int k = 0; k < 2; ++k) {
            m_ElemView[k].releaseView_intern();
            m_RangeView[k].releaseView_intern();
        }
    }

    ViewCell m_Cells[2] = {};
    CQXVariable m_ElemView[2];   // "s1", "s2"
    CQXVariable m_RangeView[2];  // "r1", "r2"
    RangeRows m_RangeRows[2];
};

CQXInterpreter::CQXInterpreter(CQXSharedParameter* shared)
    : m_ByteCode(),
      m_Resolved(),
      m_pChains(),
      m_pViews(),
      m_pPlan(),
      m_Error(),
      m_pShared(shared),
      m_bLoopBlock(false) {}

CQXInterpreter::~CQXInterpreter() = default;

void CQXInterpreter::addByteCode(sByteCode code, int line, int pos) {
    code.m_Line = line;
    code.m_Pos = pos;
    if (!m_pViews && (code.m_Var1.isIndexed() || code.m_Var2.isIndexed()))
        m_pViews = std::make_unique<sViews>(m_pShared);
    m_ByteCode.push_back(std::move(code));
}

void CQXInterpreter::clear() {
    m_pPlan.reset();
    m_ByteCode.clear();
    m_Resolved.clear();
    m_pChains.reset();
}

// Counts the nesting of running blocks in the shared run state, so a run can never exhaust the
// native stack.
eInterpreterState CQXInterpreter::Interprete() {
    return enter(true);
}

eInterpreterState CQXInterpreter::enter(bool root) {
    if (m_pShared == nullptr) return run();
    if (m_pShared->m_CallDepth >= kMaxRunDepth) {
        return failAt(m_ByteCode.empty() ? -1 : m_ByteCode[0].m_Line,
                      m_ByteCode.empty() ? -1 : m_ByteCode[0].m_Pos, "Call nesting too deep",
                      std::string());
    }
    ++m_pShared->m_CallDepth;
    const eInterpreterState state = root && preparePlan() ? runPlan() : run();
    --m_pShared->m_CallDepth;
    return state;
}

// One instruction. Whole 1x1 double operands, and elements of double matrices addressed by such,
// take the direct path, which builds no views and throws nothing; the first instruction of a
// fused chain runs the whole chain when it may (Flow::kFused); everything else takes the general
// path. In reference mode every instruction takes the general path.
inline eInterpreterState CQXInterpreter::step(std::size_t pc, std::size_t end, Flow& flow) {
    sByteCode& code = m_ByteCode[pc];
    if (m_pShared != nullptr && m_pShared->fastPathsOff()) return stepGeneral(code, flow);
    bool holds = false;
    switch (runDirect(code, m_Resolved[pc], m_pShared, holds)) {
        case qxscalar::Outcome::kDone:
            return isOK;
        case qxscalar::Outcome::kReturn:
            return isRETURN;
        case qxscalar::Outcome::kCondition:
            return runBranch(code, holds, flow);
        case qxscalar::Outcome::kGeneral:
            break;
    }
    return stepBeyondDirect(pc, end, flow);
}

// The instruction at pc once the direct path has left it: the fused chain it starts, when that
// may run now, else the general path.
inline eInterpreterState CQXInterpreter::stepBeyondDirect(std::size_t pc, std::size_t end,
                                                          Flow& flow) {
    eInterpreterState state = isOK;
    if (m_Resolved[pc].chain >= 0 && runFused(pc, end, state)) {
        flow = Flow::kFused;
        return state;
    }
    return stepGeneral(m_ByteCode[pc], flow);
}

eInterpreterState CQXInterpreter::run() {
    const std::size_t count = m_ByteCode.size();
    std::size_t pc = 0;
    // A function called from this block may have cleared it: the loop then stops instead of
    // reading instructions that are gone.
    while (pc < m_ByteCode.size()) {
        // The host's instruction limit and interrupt request: one decrement, one compare and
        // one relaxed load per instruction.
        if (m_pShared != nullptr && (--m_pShared->m_InstructionsLeft < 0 ||
                                     m_pShared->m_bInterrupt.load(std::memory_order_relaxed))) {
            unbindPending(pc);
            return stopRun(m_ByteCode[pc]);
        }
        if (m_Resolved.size() != m_ByteCode.size()) prepareRun();
        Flow flow = Flow::kNext;
        const eInterpreterState state = step(pc, count, flow);
        if (state == isEXCEPTION) unbindPending(pc);
        if (state != isOK) return state;
        if (flow == Flow::kEnd) return isOK;
        if (flow == Flow::kFused) {
            pc += chainAt(pc).count();
            continue;
        }
        pc = flow == Flow::kRestart ? 0 : pc + 1;
    }
    return isOK;
}

// The direct path of a step whose operand cache entry is current (takeRegisterForm resolved it
// at the present storage count): element operands, or operands counted elsewhere.
inline qxscalar::Outcome CQXInterpreter::directOn(const qxplan::Step& step, bool& holds) {
    const qxcache::Entry& entry = *step.entry;
    if (!entry.direct) return qxscalar::run(*step.code, holds);
    double* a = nullptr;
    double* b = nullptr;
    double* r = nullptr;
    if (!qxcache::locateAll(entry, a, b, r)) return qxscalar::Outcome::kGeneral;
    return qxscalar::compute(step.code->m_Opt, qxscalar::Cells{a, b, r, step.code->m_Var1.m_pVar},
                             holds);
}

// An instruction step through its tiers: the direct path, then its fused chain or the general
// path. A call made from inside sub-blocks counts them in the call depth, as running the blocks
// one inside the other would. Moves k past what ran when the step succeeds.
inline eInterpreterState CQXInterpreter::execStep(qxplan::Step& step, int& k) {
    bool holds = false;
    switch (step.direct ? directOn(step, holds) : qxscalar::Outcome::kGeneral) {
        case qxscalar::Outcome::kDone:
            ++k;
            return isOK;
        case qxscalar::Outcome::kReturn:
            return isRETURN;
        default:
            break;
    }
    CQXInterpreter* const block = step.block;
    Flow flow = Flow::kNext;
    const int depth = step.code->m_Opt == otCALL ? step.depth : 0;
    m_pShared->m_CallDepth += depth;
    const eInterpreterState state =
        block->stepBeyondDirect(step.pc, block->m_ByteCode.size(), flow);
    m_pShared->m_CallDepth -= depth;
    if (state == isOK)
        k += flow == Flow::kFused ? static_cast<int>(block->chainAt(step.pc).count()) : 1;
    return state;
}

// Resolves the step's operands at the present storage count, and gives it its register form when
// every operand it has is a whole 1x1 double.
inline void CQXInterpreter::takeRegisterForm(qxplan::Step& step) {
    qxcache::Entry& entry = *step.entry;
    const unsigned long long epoch = m_pShared->m_StorageEpoch;
    if (entry.epoch != epoch) qxcache::resolve(*step.code, m_pShared, entry);
    step.epoch = epoch;
    step.kind = step.base;
    using qxcache::Operand;
    const auto whole = [](const Operand& o) { return o.kind != Operand::kElement; };
    if (!entry.direct || !whole(entry.a) || !whole(entry.b) || !whole(entry.r)) return;
    step.a = entry.a.data;
    step.b = entry.b.kind == Operand::kAbsent ? nullptr : entry.b.data;
    step.r = entry.r.kind == Operand::kAbsent ? nullptr : entry.r.data;
    step.kind = static_cast<unsigned char>(qxplan::kWhole + step.code->m_Opt);
    qxplan::noteRegisterForm();
}

// The run loop of a plan. Every step that is an instruction first takes its share of the
// instruction budget and looks for an interrupt, exactly as the block loop does; the budget and
// the storage count live in locals while only register forms run, and are exchanged with the
// shared run state around every step that may call out. A step in its register form computes in
// place; whatever that form cannot do (a zero divisor, a row the host took away, storage that
// changed since) sends the step through its tiers instead.
eInterpreterState CQXInterpreter::runPlan() {
    qxplan::notePlannedRun();
    qxplan::Step* const steps = m_pPlan->steps.data();
    CQXSharedParameter* const shared = m_pShared;
    long long left = shared->m_InstructionsLeft;
    unsigned long long epoch = shared->m_StorageEpoch;
    // Leaves the run with a state; the shared run state gets the budget back first.
    const auto leave = [&](int at, eInterpreterState state, const CQXInterpreter* origin) {
        shared->m_InstructionsLeft = left;
        return leavePlan(at, state, origin);
    };
    const auto charge = [&]() {
        return --left >= 0 && !shared->m_bInterrupt.load(std::memory_order_relaxed);
    };
    int k = 0;
    for (;;) {
        qxplan::Step* step = &steps[k];
        bool holds = false;
        qxscalar::Outcome done = qxscalar::Outcome::kGeneral;
        switch (step->kind) {
            case qxplan::kJump:
                k = step->target;
                continue;
            case qxplan::kEnd:
                shared->m_InstructionsLeft = left;
                return isOK;
#define QX_WHOLE_CASE(value, name, uses, handler, scalar, elem)                            \
    case qxplan::kWhole + value:                                                           \
        if (!charge()) return leave(k, stopPlan(*step, left), step->block);                \
        if (step->epoch == epoch) done = qxplan::runWhole<qxscalar::scalar>(*step, holds); \
        break;
                QX_OPCODES(QX_WHOLE_CASE)
#undef QX_WHOLE_CASE
            case qxplan::kBlock: {
                if (!charge()) return leave(k, stopPlan(*step, left), step->block);
                CQXInterpreter* sub = step->code->m_pBlock;
                if (sub != nullptr && shared->m_CallDepth + step->depth >= kMaxRunDepth)
                    return leave(k, enterFailed(sub), sub);
                ++k;
                continue;
            }
            case qxplan::kBreak:
            case qxplan::kContinue:
                if (!charge()) return leave(k, stopPlan(*step, left), step->block);
                if (step->target == -1) {
                    shared->m_InstructionsLeft = left;
                    return step->kind == qxplan::kBreak ? isBREAK : isCONTINUE;
                }
                k = step->target;
                continue;
            default:  // kExec, kCondition
                if (!charge()) return leave(k, stopPlan(*step, left), step->block);
                break;
        }
        if (done == qxscalar::Outcome::kDone) {
            ++k;
            // A condition in its register form right after (a loop's or an if's test of the
            // comparison before it) follows without a dispatch.
            if (steps[k].kind != qxplan::kWhole + otCONDITION || steps[k].epoch != epoch) continue;
            step = &steps[k];
            if (!charge()) return leave(k, stopPlan(*step, left), step->block);
            done = qxplan::runWhole<qxscalar::Condition>(*step, holds);
            if (done == qxscalar::Outcome::kGeneral) {
                ++left;  // the test runs through its tiers instead, and takes its share there
                continue;
            }
        } else if (done == qxscalar::Outcome::kReturn) {
            return leave(k, isRETURN, step->block);
        } else if (done == qxscalar::Outcome::kGeneral) {
            if (step->direct && step->epoch != epoch) takeRegisterForm(*step);
            shared->m_InstructionsLeft = left;
            const eInterpreterState state = step->base == qxplan::kCondition
                                                ? step->block->testCondition(step->pc, holds)
                                                : execStep(*step, k);
            left = shared->m_InstructionsLeft;
            epoch = shared->m_StorageEpoch;
            if (state == isBREAK || state == isCONTINUE) {
                k = qxplan::leapFrom(m_pPlan->steps, k, state);
                if (k == -1) return state;
                continue;
            }
            if (state != isOK) return leave(k, state, step->block);
            if (step->base != qxplan::kCondition) continue;
        }
        // A condition: into the then-branch that follows, or to the else-branch or past it.
        CQXInterpreter* sub = holds ? step->code->m_pBlock : step->code->m_pElseBlock;
        if (sub != nullptr && shared->m_CallDepth + step->depth >= kMaxRunDepth)
            return leave(k, enterFailed(sub), sub);
        k = holds ? k + 1 : step->target;
    }
}

// The instruction budget ran out or an interrupt came at the step: the shared run state gets the
// budget back and the step's block records why the run stops.
eInterpreterState CQXInterpreter::stopPlan(const qxplan::Step& step, long long left) {
    m_pShared->m_InstructionsLeft = left;
    step.block->unbindPending(step.pc);
    const eInterpreterState state = step.block->stopRun(*step.code);
    return state;
}

// The operand cache and the fused chains are made on the first run, so a program compiled but
// never run holds neither; both follow a block that a called function cleared or refilled. The
// cache is sized last: should finding the chains fail (no memory), the next run tries again.
void CQXInterpreter::prepareRun() {
    m_Resolved.clear();
    m_pChains = std::make_unique<std::vector<qxfuse::Chain>>(qxfuse::findChains(m_ByteCode));
    std::vector<qxcache::Entry> resolved(m_ByteCode.size());
    for (std::size_t k = 0; k < m_pChains->size(); ++k)
        resolved[(*m_pChains)[k].first].chain = static_cast<int>(k);
    m_Resolved.swap(resolved);
}

const qxfuse::Chain& CQXInterpreter::chainAt(std::size_t pc) const {
    return (*m_pChains)[static_cast<std::size_t>(m_Resolved[pc].chain)];
}

// The chain that starts at pc, when it lies within the instructions this run of the block
// executes (end) and may run fused now: true, with the state of the chain in `state`. A failure
// to allocate what a fused run needs is an error of the chain's first instruction, as it would be
// of an instruction run one by one; nothing has been written then.
bool CQXInterpreter::runFused(std::size_t pc, std::size_t end, eInterpreterState& state) {
    const qxfuse::Chain& chain = chainAt(pc);
    if (!qxfuse::mayFuse(chain, m_ByteCode) || pc + chain.count() > end) return false;
    try {
        if (!qxfuse::runChain(chain, m_ByteCode, m_pShared)) return false;
        state = isOK;
    } catch (...) {
        state = failCaught(m_ByteCode[pc]);
    }
    return true;
}

// Operand resolution, the opcode, and the release of the range views, which happens on every
// path, also when the instruction ends the block or throws.
eInterpreterState CQXInterpreter::stepGeneral(sByteCode& code, Flow& flow) {
    Operands ops{code.m_Var1.m_pVar, code.m_Var2.m_pVar, {false, false}};
    eInterpreterState state = isEXCEPTION;
    try {
        if (leftOfAndIsFalse(code, ops)) {
            if (code.m_pResult->hasStorage()) code.m_pResult->setData_intern(0, 0, 0.0);
            state = isOK;
        } else if (resolve(code, ops)) {
            state = execute(code, ops, flow);
        }
    } catch (...) {
        state = failCaught(code);
    }
    releaseRanges(ops);
    return state;
}

// The truth of the otCONDITION at pc, as the direct path or the general path would test it before
// running a branch. isEXCEPTION when resolving its operand fails (the error is this block's).
eInterpreterState CQXInterpreter::testCondition(std::size_t pc, bool& holds) {
    sByteCode& code = m_ByteCode[pc];
    holds = false;
    if (runDirect(code, m_Resolved[pc], m_pShared, holds) == qxscalar::Outcome::kCondition)
        return isOK;
    Operands ops{code.m_Var1.m_pVar, code.m_Var2.m_pVar, {false, false}};
    eInterpreterState state = isEXCEPTION;
    try {
        if (resolve(code, ops)) {
            holds = conditionHolds(ops.a);
            state = isOK;
        }
    } catch (...) {
        state = failCaught(code);
    }
    releaseRanges(ops);
    return state;
}

// Called inside a handler: the exception that escaped the instruction becomes its run-time
// error. Refusals of the storage layer carry their own text and variable; anything else is
// "Unknown Exception". Recording the error allocates text; if even that fails the block still
// ends with isEXCEPTION, holding its previous record.
eInterpreterState CQXInterpreter::failCaught(const sByteCode& code) {
    try {
        try {
            throw;
        } catch (const CQXStorageFault& fault) {
            return failAt(code.m_Line, code.m_Pos, fault.what(), fault.name());
        } catch (...) {
            return fail(code, "Unknown Exception", nullptr);
        }
    } catch (...) {
        return isEXCEPTION;
    }
}

// The four checks run in a fixed order, each ending the instruction on its first error: A's
// element, B's element, A's range, B's range. A range is always taken from the operand's own
// variable, also when an element view was made for it.
bool CQXInterpreter::resolve(const sByteCode& code, Operands& ops) {
    if (ops.a == nullptr) return true;
    const bool hasB = code.m_Var2.m_pVar != nullptr;
    if (code.m_Var1.isSingle() && !resolveElement(code, 0, ops.a)) return false;
    if (hasB && code.m_Var2.isSingle() && !resolveElement(code, 1, ops.b)) return false;
    if (code.m_Var1.isRange() && !resolveRange(code, 0, ops, ops.a)) return false;
    if (hasB && code.m_Var2.isRange() && !resolveRange(code, 1, ops, ops.b)) return false;
    return true;
}

// otAND is 0 without its right operand when its left one does not hold by the test of the
// otCONDITION before it, which then skipped the right side's instructions: the right operand
// (an element, say, whose index the left side guards) is not resolved, so it raises nothing.
// The left operand is resolved first for the test; should that fail, the full resolution runs
// and reports the error as it would for any instruction.
bool CQXInterpreter::leftOfAndIsFalse(const sByteCode& code, Operands& ops) {
    if (code.m_Opt != otAND || ops.a == nullptr || ops.b == nullptr || code.m_pResult == nullptr)
        return false;
    CQXVariable* left = ops.a;
    if (code.m_Var1.isSingle() && !resolveElement(code, 0, left)) return false;
    if (code.m_Var1.isRange() && !resolveRange(code, 0, ops, left)) return false;
    return !conditionHolds(left);
}

bool CQXInterpreter::resolveElement(const sByteCode& code, int which, CQXVariable*& out) {
    const sByteCodeOperand& operand = which == 0 ? code.m_Var1 : code.m_Var2;
    const CQXVariable& var = *operand.m_pVar;
    qxaddr::sAddress at;
    const qxaddr::eFault fault = qxaddr::element(var, operand.index(), at);
    if (fault != qxaddr::eFault::kNone) {
        fail(code, faultText(fault), &var);
        return false;
    }
    CQXVariable& view = m_pViews->m_ElemView[which];
    sViews::ViewCell& cell = m_pViews->m_Cells[which];
    const bool known = qxrows::withType(var.getDataType(), [&](auto tag) {
        using T = typename decltype(tag)::type;
        pointElement(var, at.row0, at.col0, std::get<T*>(cell), view);
        return true;
    });
    if (!known) view.setView_intern(1, 1, static_cast<double**>(nullptr));
    out = &view;
    return true;
}

bool CQXInterpreter::resolveRange(const sByteCode& code, int which, Operands& ops,
                                  CQXVariable*& out) {
    const sByteCodeOperand& operand = which == 0 ? code.m_Var1 : code.m_Var2;
    const CQXVariable& var = *operand.m_pVar;
    qxaddr::sAddress at;
    const qxaddr::eFault fault = qxaddr::range(var, operand.index(), at);
    if (fault != qxaddr::eFault::kNone) {
        fail(code, faultText(fault), &var);
        return false;
    }
    // Marked before it is built, so that a failure while building still releases the view.
    ops.rangeBuilt[which] = true;
    CQXVariable& view = m_pViews->m_RangeView[which];
    sViews::RangeRows& rows = m_pViews->m_RangeRows[which];
    const bool known = qxrows::withType(var.getDataType(), [&](auto tag) {
        using T = typename decltype(tag)::type;
        pointRange(var, at.row0, at.rows, at.col0, at.cols, std::get<std::vector<T*>>(rows), view);
        return true;
    });
    if (!known) view.setView_intern(at.rows, at.cols, static_cast<double**>(nullptr));
    out = &view;
    return true;
}

void CQXInterpreter::releaseRanges(const Operands& ops) {
    for (int k = 0; k < 2; ++k) {
        if (ops.rangeBuilt[k]) m_pViews->m_RangeView[k].releaseView_intern();
    }
}

// otBLOCK: break and continue end this block with the same state; return and errors bring
// the sub-block's record along.
eInterpreterState CQXInterpreter::runBlock(CQXInterpreter* block) {
    if (block == nullptr) return isOK;
    const eInterpreterState state = block->enter(false);
    if (state == isOK || state == isBREAK || state == isCONTINUE) return state;
    m_Error = block->m_Error;
    return state;
}

// otCONDITION: runs the then-block when the condition holds, else the else-block. Only a
// then-block that ran restarts a repeating condition, so a false loop condition falls off the
// end of the loop block. In a loop block, break ends the loop and continue goes on as if the
// body had finished; elsewhere both travel up unchanged.
eInterpreterState CQXInterpreter::runCondition(const sByteCode& code, const CQXVariable* cond,
                                               Flow& flow) {
    return runBranch(code, conditionHolds(cond), flow);
}

eInterpreterState CQXInterpreter::runBranch(const sByteCode& code, bool holds, Flow& flow) {
    CQXInterpreter* branch = holds ? code.m_pBlock : code.m_pElseBlock;
    const eInterpreterState state = branch != nullptr ? branch->enter(false) : isOK;
    const bool repeat = holds && code.m_bRepeat;
    switch (state) {
        case isOK:
            if (repeat) flow = Flow::kRestart;
            return isOK;
        case isBREAK:
            if (!m_bLoopBlock) return isBREAK;
            flow = Flow::kEnd;
            return isOK;
        case isCONTINUE:
            if (!m_bLoopBlock) return isCONTINUE;
            if (repeat) flow = Flow::kRestart;
            return isOK;
        default:
            m_Error = branch->m_Error;
            return state;
    }
}

eInterpreterState CQXInterpreter::stopRun(const sByteCode& code) {
    if (m_pShared->m_bInterrupt.load(std::memory_order_relaxed))
        return fail(code, "Interrupted", nullptr);
    m_pShared->m_InstructionsLeft = -1;
    return fail(code, "Instruction limit exceeded", nullptr);
}

eInterpreterState CQXInterpreter::fail(const sByteCode& code, const char* text,
                                       const CQXVariable* named) {
    return failAt(code.m_Line, code.m_Pos, text,
                  named != nullptr ? named->getName() : std::string());
}

eInterpreterState CQXInterpreter::failAt(int line, int pos, const char* text,
                                         const std::string& name) {
    m_Error.setException(text, line, pos, name);
    noteCallSite(std::string(), line, pos, true);
    return isEXCEPTION;
}

eInterpreterState CQXInterpreter::failCall(const sByteCode& code, const CQXFunction* func,
                                           const char* text, const std::string& name) {
    m_Error.setException(text, code.m_Line, code.m_Pos, name);
    noteCallSite(func->getName(), code.m_Line, code.m_Pos, true);
    return isEXCEPTION;
}

eInterpreterState CQXInterpreter::failCaughtCall(const sByteCode& code, const CQXFunction* func) {
    try {
        try {
            throw;
        } catch (const CQXStorageFault& fault) {
            return failCall(code, func, fault.what(), fault.name());
        } catch (...) {
            return failCall(code, func, "Unknown Exception", std::string());
        }
    } catch (...) {
        return isEXCEPTION;
    }
}

// A trace that cannot grow loses the call site, never the error it belongs to.
void CQXInterpreter::noteCallSite(const std::string& function, int line, int pos, bool origin) {
    if (m_pShared == nullptr) return;
    std::vector<sCallSite>& trace = m_pShared->m_Unwound;
    if (origin) trace.clear();
    try {
        trace.push_back(sCallSite{function, line, pos});
    } catch (...) {
    }
}
