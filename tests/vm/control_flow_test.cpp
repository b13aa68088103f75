// Control flow between blocks where scripts cannot reach it: conditions on odd operands,
// break and continue leaving a block that is no loop, host functions returning stray states or
// throwing, clean-up after a failure, and the block manager that owns the blocks.
// Loops, break, continue and return in scripts are pinned by the golden scripts.
#include <stdexcept>

#include "qx/functions/function.h"
#include "tests/vm/vm_fixture.h"

namespace {

// A host function that returns a chosen state with [first argument, argument count] as its
// value, fails with a text of its own, or throws.
class HostFunction : public CQXFunction {
public:
    HostFunction(CQXSharedParameter* shared, int state, bool hasValue = true)
        : CQXFunction("host", shared), m_State(state) {
        setReturnType(hasValue);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        if (m_State < 0) throw std::runtime_error("host failure");
        if (m_State == isEXCEPTION) return raise("Host failed");
        resizeReturnVar(1, 2);
        m_ReturnValue.setData_intern(0, 0, args->empty() ? 0.0 : args->front()->getData(0, 0));
        m_ReturnValue.setData_intern(0, 1, static_cast<double>(args->size()));
        if (m_State != isOK && m_State != isRETURN) m_Error.setException("stray", -1, -1, "");
        return static_cast<eInterpreterState>(m_State);
    }

private:
    int m_State;
};

// A block that records its destruction, to observe the manager's order.
class TrackedBlock : public CQXInterpreter {
public:
    TrackedBlock(CQXSharedParameter* shared, int id, std::vector<int>* log)
        : CQXInterpreter(shared), m_Id(id), m_pLog(log) {}
    ~TrackedBlock() override { m_pLog->push_back(m_Id); }

private:
    int m_Id;
    std::vector<int>* m_pLog;
};

}  // namespace

class VmControlFlowTest : public VmFixture {
protected:
    static void add(CQXInterpreter* b, eOptType op, const sByteCodeVar& a = {},
                    const sByteCodeVar& v = {}, CQXVariable* r = nullptr, int line = 1) {
        b->addByteCode(sByteCode(op, a, v, r), line, 1);
    }
    static void addBlock(CQXInterpreter* b, CQXInterpreter* sub) {
        sByteCode code;
        code.m_Opt = otBLOCK;
        code.m_pBlock = sub;
        b->addByteCode(code, 1, 1);
    }
    static void addCondition(CQXInterpreter* b, CQXVariable* cond, CQXInterpreter* then,
                             CQXInterpreter* otherwise, bool repeat) {
        sByteCode code(otCONDITION, cond, sByteCodeVar(), nullptr);
        code.m_pBlock = then;
        code.m_pElseBlock = otherwise;
        code.m_bRepeat = repeat;
        b->addByteCode(code, 1, 1);
    }
    static void addCall(CQXInterpreter* b, CQXFunction* f, std::vector<CQXVariable*> args,
                        CQXVariable* r, int line = 1, int pos = 1) {
        sByteCode code(otCALL, sByteCodeVar(), sByteCodeVar(), r);
        code.m_pFunc = f;
        code.m_Params = std::move(args);
        b->addByteCode(code, line, pos);
    }
    // A block holding just one instruction without operands (otBREAK, otCONTINUE).
    CQXInterpreter* only(eOptType op) {
        CQXInterpreter* b = block();
        add(b, op);
        return b;
    }
};

TEST_F(VmControlFlowTest, EmptyAndClearedBlocksReturnOkAtOnce) {
    EXPECT_EQ(block()->Interprete(), isOK);
    CQXVariable* x = var("x", 1, 1, {0});
    CQXInterpreter* b = block();
    b->setLoopBlock();
    add(b, otDIV, x, num(0), temp(), 4);
    m_Shared.m_bSmartError = false;
    ASSERT_EQ(b->Interprete(), isEXCEPTION);
    add(b, otASSIGN, x, num(1));
    b->clear();
    EXPECT_EQ(b->getByteCodeCount(), 0);
    EXPECT_EQ(b->Interprete(), isOK);
    EXPECT_EQ(at(x), 0);
    EXPECT_TRUE(b->isLoopBlock());
    EXPECT_EQ(b->getError().getLine(), 4);  // the record keeps the last error
}

TEST_F(VmControlFlowTest, ConditionsChooseABranchAndOnlyATakenThenBranchRepeats) {
    CQXVariable* hits = var("hits", 1, 1, {0});
    CQXInterpreter* counter = block();
    add(counter, otINC, hits);
    const struct {
        CQXVariable* cond;
        double expected;  // then adds 1, else adds 10
    } cases[] = {
        {num(0), 10},
        {unshaped("never"), 10},
        {nullptr, 10},
        {var("m", 2, 2, {0, 0, 0, 0}), 10},
        {var("m", 2, 2, {0, 0, 3, 0}), 1},
        {num(-0.5), 1},
    };
    CQXInterpreter* tens = block();
    add(tens, otADD, hits, num(10), hits);
    for (const auto& c : cases) {
        hits->setData(0, 0, 0);
        CQXInterpreter* b = block();
        b->setLoopBlock();
        // A false repeating condition falls off the end instead of restarting.
        addCondition(b, c.cond, counter, tens, c.expected == 10);
        EXPECT_EQ(b->Interprete(), isOK);
        EXPECT_EQ(at(hits), c.expected);
    }
}

TEST_F(VmControlFlowTest, BreakAndContinueTravelUpThroughBlocksThatAreNoLoops) {
    CQXVariable* after = var("after", 1, 1, {0});
    for (eOptType op : {otBREAK, otCONTINUE}) {
        CQXInterpreter* inner = block();
        addCondition(inner, num(1), only(op), nullptr, false);
        add(inner, otINC, after);
        CQXInterpreter* outer = block();
        addBlock(outer, inner);
        add(outer, otINC, after);
        EXPECT_EQ(outer->Interprete(), op == otBREAK ? isBREAK : isCONTINUE);
    }
    EXPECT_EQ(at(after), 0);
}

TEST_F(VmControlFlowTest, CallsCopyTheValueAndPropagateFailingStates) {
    CQXVariable* arg = var("arg", 1, 1, {7});
    CQXVariable* r = temp();
    for (int state : {isOK, isRETURN}) {
        HostFunction f(&m_Shared, state);
        CQXInterpreter* b = block();
        addCall(b, &f, {arg, arg}, r);
        EXPECT_EQ(b->Interprete(), isOK);
        EXPECT_EQ(values(r), (Values{7, 2}));
    }
    HostFunction noValue(&m_Shared, isOK, false);
    CQXVariable* untouched = var("", 1, 1, {3}, edtDOUBLE, vsRESIZABLE);
    CQXInterpreter* b = block();
    addCall(b, &noValue, {}, untouched);
    EXPECT_EQ(b->Interprete(), isOK);
    EXPECT_EQ(values(untouched), (Values{3}));

    const struct {
        int state;
        eInterpreterState expected;
        const char* text;
    } cases[] = {{isEXCEPTION, isEXCEPTION, "Host failed"},
                 {isBREAK, isBREAK, "stray"},
                 {isCONTINUE, isCONTINUE, "stray"},
                 {7, isEXCEPTION, "stray"}};
    for (const auto& c : cases) {
        HostFunction f(&m_Shared, c.state);
        CQXInterpreter* failing = block();
        addCall(failing, &f, {arg}, temp(), 6, 4);
        add(failing, otINC, arg);
        EXPECT_EQ(failing->Interprete(), c.expected) << c.state;
        EXPECT_EQ(failing->getError().getText(), c.text);
    }
    EXPECT_EQ(at(arg), 7);
}

TEST_F(VmControlFlowTest, ExceptionsEscapingAnInstructionAreUnknownExceptions) {
    HostFunction thrower(&m_Shared, -1);
    CQXInterpreter* b = block();
    add(b, otNOT, num(0), {}, temp());
    addCall(b, &thrower, {}, temp(), 4, 12);
    EXPECT_EQ(b->Interprete(), isEXCEPTION);
    const CQXError e = b->getError();
    EXPECT_EQ(e.getText(), "Unknown Exception");
    EXPECT_EQ(e.getLine(), 4);
    EXPECT_EQ(e.getPos(), 12);

    // A failure while a range view is in use: the view is released and the block runs again.
    CQXVariable* big = var("big", 1, 1, {1e12});
    CQXInterpreter* again = block();
    add(again, otRESIZE, range(big, 0, 1, 0, 1), num(1), temp(), 8);
    EXPECT_EQ(again->Interprete(), isEXCEPTION);
    EXPECT_EQ(again->getError().getLine(), 8);
    big->setData(0, 0, 2);
    EXPECT_EQ(again->Interprete(), isOK);
}

TEST_F(VmControlFlowTest, BlockManagerOwnsBlocksAndDeletesTheLastAddedFirst) {
    std::vector<int> log;
    {
        CQXBlockManager manager;
        for (int id = 1; id <= 3; ++id) {
            CQXInterpreter* b = new TrackedBlock(&m_Shared, id, &log);
            EXPECT_EQ(manager.addBlock(b), b);
        }
        EXPECT_EQ(manager.getBlockCount(), 3);
        manager.clear();
        EXPECT_EQ(manager.getBlockCount(), 0);
        EXPECT_EQ(log, (std::vector<int>{3, 2, 1}));

        manager.addBlock(new TrackedBlock(&m_Shared, 4, &log));
        std::list<CQXInterpreter*> handed = manager.release_intern();
        EXPECT_EQ(manager.getBlockCount(), 0);
        ASSERT_EQ(handed.size(), 1u);
        delete handed.front();
        manager.addBlock(new TrackedBlock(&m_Shared, 5, &log));
    }
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 4, 5}));
}
