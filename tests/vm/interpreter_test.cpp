// The interpreter where no script reaches it: instructions built by hand with operands that have
// no variable or no storage, results that cannot take their shape, opcodes outside the set, and
// host functions that return stray states. What scripts reach is pinned by the golden scripts.
#include "qx/vm/interpreter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qx/functions/function.h"
#include "tests/support/matrix.h"

namespace {

using qxtest::elements;
using qxtest::Values;

// A host function that returns the state it was made with and [first argument, argument
// count] as its value, or fails with a text of its own.
class HostFunction : public CQXFunction {
public:
    HostFunction(CQXSharedParameter* shared, int state, bool hasValue = true)
        : CQXFunction("host", shared), m_State(state) {
        setReturnType(hasValue);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
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

class VmTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXVariable* var(const std::string& name, int rows, int cols, const Values& values = {},
                     eVariableState state = vsOWNED) {
        CQXVariable* v = make(rows, cols, values);
        v->setName_intern(name);
        v->setVarState(state);
        return v;
    }
    CQXVariable* num(double value) { return make(1, 1, {value}); }
    CQXVariable* temp() { return var("", 1, 1, {}, vsRESIZABLE); }
    // An element operand of v given its two indices, or a range operand given its first row, row
    // count, first column and column count.
    sByteCodeVar at(CQXVariable* v, const Values& indices) {
        sByteCodeVar o(v);
        o.m_bSingle = indices.size() == 2;
        o.m_bRange = !o.m_bSingle;
        CQXVariable** slots[] = {&o.m_pRow,      &o.m_pCol,     &o.m_pRowFrom,
                                 &o.m_pRowCount, &o.m_pColFrom, &o.m_pColCount};
        for (std::size_t k = 0; k < indices.size(); ++k)
            *slots[k + (o.m_bRange ? 2 : 0)] = num(indices[k]);
        return o;
    }
    CQXInterpreter* block() {
        m_Blocks.push_back(std::make_unique<CQXInterpreter>(&m_Shared));
        return m_Blocks.back().get();
    }
    // Runs the instruction in a block of its own; its error text in lastError.
    eInterpreterState run(int op, const sByteCodeVar& a, const sByteCodeVar& b,
                          CQXVariable* r = nullptr, CQXFunction* func = nullptr,
                          std::vector<CQXVariable*> params = {}) {
        CQXInterpreter* b0 = block();
        sByteCode code(static_cast<eOptType>(op), a, b, r);
        code.m_pFunc = func;
        code.m_Params = std::move(params);
        b0->addByteCode(code, 1, 1);
        const eInterpreterState state = b0->Interprete();
        lastError = b0->getError().getText();
        return state;
    }

    std::vector<std::unique_ptr<CQXInterpreter>> m_Blocks;
    std::string lastError;
};

// A result whose resize would free what an operand reads, and a result that cannot be resized,
// cannot take the shape: the run stops and names the operand (or the result) at fault. A
// return value that cannot be resized is filled from a single or copied from a matrix that
// covers it.
TEST_F(VmTest, ResultsWithoutTheirShapeAndOperandsWithoutStorage) {
    CQXVariable* t = var("t", 2, 2, {1, 2, 3, 4}, vsRESIZABLE);
    EXPECT_EQ(run(otADD, at(t, {0, 1, 0, 2}), num(1), t), isEXCEPTION);
    EXPECT_EQ(lastError, "Operand shares storage with the result accessing Variable t");
    EXPECT_EQ(run(otMUL, num(2), at(t, {1, 1, 0, 2}), t), isEXCEPTION);
    EXPECT_EQ(lastError, "Operand shares storage with the result accessing Variable t");
    EXPECT_EQ(elements(*t), (Values{1, 2, 3, 4}));
    EXPECT_EQ(run(otADD, t, num(1), t), isOK);  // no resize: computed in place
    EXPECT_EQ(elements(*t), (Values{2, 3, 4, 5}));

    CQXVariable* fixed = var("fixed", 1, 1, {5});
    EXPECT_EQ(run(otADD, t, num(1), fixed), isEXCEPTION);
    EXPECT_EQ(lastError, "LValue Size mismatch accessing Variable fixed");
    EXPECT_EQ(run(otRESIZE, num(2), num(3), fixed), isEXCEPTION);
    EXPECT_EQ(lastError, "Can't change size of non resizeable Variable accessing Variable fixed");
    EXPECT_EQ(elements(*fixed), (Values{5}));

    CQXVariable* ret = var("f", 2, 2);
    EXPECT_EQ(run(otRETURN, ret, num(2)), isRETURN);
    EXPECT_EQ(elements(*ret), Values(4, 2));
    EXPECT_EQ(run(otRETURN, ret, var("m", 2, 3, {1, 2, 3, 4, 5, 6})), isRETURN);
    EXPECT_EQ(elements(*ret), (Values{1, 2, 4, 5}));
    EXPECT_EQ(run(otRETURN, ret, var("m", 1, 3, {1, 2, 3})), isEXCEPTION);
    EXPECT_EQ(lastError, "LValue Size mismatch accessing Variable f");
    // Operands without storage read 0 and are never written; an instruction that lacks an operand
    // its opcode needs, and an opcode outside the set, do nothing; a condition without a value is
    // false. A reference binds only a reference variable, and never to itself.
    CQXVariable* h = fresh();
    h->setDouble("h", 2, 2, nullptr);  // a host reference without rows
    CQXVariable* r = temp();
    for (int op : {otASSIGN, otADD, otAND, otOR, otNOT, otPOWER, otEQUAL, otINC, otMEDIAN, otSUM,
                   otELEMXOR, otCOLCONCAT}) {
        EXPECT_NE(run(op, at(h, {1, 1}), at(h, {0, 0}), r), isEXCEPTION) << opcodeName(op);
        run(op, at(h, {0, 2, 0, 2}), at(h, {1, 1, 1, 1}), r);
        run(op, h, h, r);
    }
    EXPECT_EQ(run(otOR, at(h, {1, 1}), num(0), r), isOK);
    EXPECT_EQ(r->getData(0, 0), 0.0);
    // && that lacks one side does nothing either, also when the side it has is false.
    r->setData(0, 0, 7.0);
    EXPECT_EQ(run(otAND, num(0), sByteCodeVar(), r), isOK);
    EXPECT_EQ(r->getData(0, 0), 7.0);
    EXPECT_EQ(run(otAND, sByteCodeVar(), num(0), r), isOK);
    EXPECT_EQ(r->getData(0, 0), 7.0);

    CQXVariable* a = var("a", 1, 1, {1});
    EXPECT_EQ(run(otASSIGN, at(nullptr, {9, 9}), at(a, {9, 9})), isOK);
    EXPECT_EQ(run(otADD, a, sByteCodeVar(), r), isOK);
    // A condition holds when it has a value that is not 0: its then-block breaks.
    CQXInterpreter* breaking = block();
    breaking->addByteCode(sByteCode(otBREAK, {}, {}, nullptr), 1, 1);
    CQXVariable unshaped(&m_Shared);
    CQXVariable* holds = num(-0.5);
    for (CQXVariable* cond : {holds, num(0), &unshaped, static_cast<CQXVariable*>(nullptr)}) {
        CQXInterpreter* b = block();
        sByteCode condition(otCONDITION, cond, {}, nullptr);
        condition.m_pBlock = breaking;
        b->addByteCode(condition, 1, 1);
        EXPECT_EQ(b->Interprete(), cond == holds ? isBREAK : isOK);
    }
    sByteCodeVar noRow = at(a, {0, 0});
    noRow.m_pRow = nullptr;
    EXPECT_EQ(run(otNOT, noRow, {}, r), isEXCEPTION);
    EXPECT_EQ(lastError, "Row-Index must be SINGLE accessing Variable a");
    for (int op : {otELEMXOR + 1, 63, -1}) EXPECT_EQ(run(op, at(a, {0, 0}), num(5), r), isOK);
    EXPECT_EQ(run(otREFERENCE, a, var("b", 2, 2)), isOK);
    EXPECT_EQ(run(otREFERENCE, h, h), isOK);
    EXPECT_EQ(elements(*a), (Values{1}));
    EXPECT_EQ(h->getRows(), 2);
}

// A call copies the value unless the function has none; a failing state ends the block with
// the function's record, break and continue travel on as they are, and any other state fails.
TEST_F(VmTest, CallsCopyTheValueAndPassFailingStatesOn) {
    const struct {
        int state;
        eInterpreterState expected;
        const char* text;
    } cases[] = {{isOK, isOK, ""},
                 {isRETURN, isOK, ""},
                 {isEXCEPTION, isEXCEPTION, "Host failed"},
                 {isBREAK, isBREAK, "stray"},
                 {isCONTINUE, isCONTINUE, "stray"},
                 {7, isEXCEPTION, "stray"}};
    for (const auto& c : cases) {
        HostFunction f(&m_Shared, c.state);
        CQXVariable* arg = var("arg", 1, 1, {7});
        CQXVariable* r = temp();
        CQXInterpreter* b = block();
        sByteCode call(otCALL, {}, {}, r);
        call.m_pFunc = &f;
        call.m_Params = {arg, arg};
        b->addByteCode(call, 6, 4);
        b->addByteCode(sByteCode(otINC, arg, {}, nullptr), 7,
                       1);  // runs after a call that ends well
        EXPECT_EQ(b->Interprete(), c.expected) << c.state;
        EXPECT_EQ(b->getError().getText(), c.text);
        EXPECT_EQ(elements(*arg), Values{c.expected == isOK ? 8.0 : 7.0});
        EXPECT_TRUE(c.expected != isOK || elements(*r) == (Values{7, 2}));
    }
    HostFunction noValue(&m_Shared, isOK, false);
    CQXVariable* untouched = var("", 1, 1, {3}, vsRESIZABLE);
    EXPECT_EQ(run(otCALL, {}, {}, untouched, &noValue), isOK);
    EXPECT_EQ(elements(*untouched), (Values{3}));
}

}  // namespace

namespace {

// A comparison's truth lands in a result of any element type, not only in a double's first
// cell.
TEST_F(VmTest, TruthsLandInResultsOfEveryElementType) {
    for (eDataType type : {edtBYTE, edtINT, edtFLOAT}) {
        CQXVariable truth(&m_Shared);
        truth.initialize("t", 1, 1, type);
        EXPECT_EQ(run(otLESS, num(1), num(2), &truth), isOK);
        EXPECT_EQ(truth.getData(0, 0), 1.0) << type;
        EXPECT_EQ(run(otEQUAL, num(1), num(2), &truth), isOK);
        EXPECT_EQ(truth.getData(0, 0), 0.0) << type;
    }
}

}  // namespace
