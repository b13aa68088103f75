// The instructions a statement compiles to: their opcodes, order and operands, and the
// temporaries they create (visible to hosts through getTmpVarCount).
#include <gtest/gtest.h>

#include "qx/qx.h"

namespace {

std::vector<eOptType> opcodes(const CQXInterpreter& block) {
    std::vector<eOptType> list;
    for (const sByteCode& code : block.getByteCode()) list.push_back(code.m_Opt);
    return list;
}

class EmissionTest : public ::testing::Test {
protected:
    void SetUp() override {
        qx.loadStdFunctions();
        a = qx.addDoubleVar("a", 1, 1);
        b = qx.addDoubleVar("b", 1, 1);
        c = qx.addDoubleVar("c", 1, 1);
        y = qx.addDoubleVar("y", 1, 1);
        m = qx.addDoubleVar("m", 3, 4);
        r = qx.addResizeDoubleVar("r");
    }
    const CQXInterpreter& compile(const std::string& text) {
        EXPECT_TRUE(qx.runCompiler(text)) << qx.getError();
        return qx.getMainBlock_intern();
    }
    CQXCompiler qx;
    CQXVariable *a, *b, *c, *y, *m, *r;
};

TEST_F(EmissionTest, OneInstructionAndOneTemporaryPerOperator) {
    const CQXInterpreter& block = compile("y = a + b * c;");
    ASSERT_EQ(opcodes(block), (std::vector<eOptType>{otMUL, otADD, otASSIGN}));
    const auto& code = block.getByteCode();
    EXPECT_EQ(code[0].m_Var1.m_pVar, b);
    EXPECT_EQ(code[0].m_Var2.m_pVar, c);
    EXPECT_EQ(code[1].m_Var1.m_pVar, a);
    EXPECT_EQ(code[1].m_Var2.m_pVar, code[0].m_pResult);
    EXPECT_EQ(code[2].m_Var1.m_pVar, y);
    EXPECT_EQ(code[2].m_Var2.m_pVar, code[1].m_pResult);
    // The reduction of a waiting operator is placed where it was pushed (just after the '*').
    EXPECT_EQ(code[1].m_Pos, 11);
    EXPECT_EQ(qx.getTmpVarCount(), 4);
    EXPECT_EQ(opcodes(compile("y = a * b + c;")), (std::vector<eOptType>{otMUL, otADD, otASSIGN}));
}

TEST_F(EmissionTest, SingleOperandsAndFoldedLiteralsEmitNothing) {
    const CQXInterpreter& block = compile("y = b;");
    ASSERT_EQ(opcodes(block), (std::vector<eOptType>{otASSIGN}));
    EXPECT_EQ(block.getByteCode()[0].m_Var2.m_pVar, b);
    compile("y = -2.5;");
    EXPECT_EQ(qx.getTmpVarCount(), 3);
    EXPECT_EQ(qx.getTmpVar(2)->getData(0, 0), -2.5);
    EXPECT_EQ(opcodes(compile("y = (a);")), (std::vector<eOptType>{otASSIGN}));
    EXPECT_EQ(opcodes(compile("y = [a];")), (std::vector<eOptType>{otASSIGN}));
}

TEST_F(EmissionTest, ShortCircuitRunsTheRightSideInASubBlock) {
    const CQXInterpreter& block = compile("y = a == 1 && b;");
    ASSERT_EQ(opcodes(block), (std::vector<eOptType>{otEQUAL, otCONDITION, otAND, otASSIGN}));
    EXPECT_EQ(block.getByteCode()[1].m_pBlock->getByteCodeCount(), 0);
    const CQXInterpreter& nested = compile("y = a && b || c;");
    ASSERT_EQ(opcodes(nested), (std::vector<eOptType>{otCONDITION, otAND, otASSIGN}));
    EXPECT_EQ(opcodes(*nested.getByteCode()[0].m_pBlock), (std::vector<eOptType>{otOR}));
}

TEST_F(EmissionTest, WholeRowExtentIsKnownForFixedSizeVariablesOnly) {
    const CQXInterpreter& fixed = compile("y = m[*][0];");
    ASSERT_EQ(opcodes(fixed), (std::vector<eOptType>{otASSIGN}));
    EXPECT_EQ(fixed.getByteCode()[0].m_Var2.index().m_pRowCount->getData(0, 0), 3.0);
    EXPECT_TRUE(fixed.getByteCode()[0].m_Var2.isRange());
    EXPECT_EQ(opcodes(compile("y = r[*][0];")), (std::vector<eOptType>{otROWS, otASSIGN}));
    EXPECT_EQ(opcodes(compile("y = a[m[0][1]][0];")), (std::vector<eOptType>{otASSIGN, otASSIGN}));
}

TEST_F(EmissionTest, CallsPassArgumentsByKind) {
    const CQXInterpreter& library = compile("y = 2 * sin(a);");
    ASSERT_EQ(opcodes(library), (std::vector<eOptType>{otASSIGN, otCALL, otMUL, otASSIGN}));
    EXPECT_EQ(library.getByteCode()[1].m_Params.size(), 1u);
    EXPECT_EQ(library.getByteCode()[1].m_pFunc, qx.getFunc("sin"));
    ASSERT_TRUE(qx.runCompiler("func f(p, &q) { q = p; }"));
    const CQXInterpreter& script = compile("f(a + b, c);");
    // The argument code comes first, then the reference parameters' bindings, then the value
    // parameters' assignments (a call of a running function is refused before any of them
    // overwrites a parameter of the running call), then the call.
    ASSERT_EQ(opcodes(script), (std::vector<eOptType>{otADD, otREFERENCE, otASSIGN, otCALL}));
    EXPECT_TRUE(script.getByteCode()[3].m_Params.empty());
    EXPECT_EQ(script.getByteCode()[3].m_pResult, nullptr);
    // A library call binds its reference arguments after the code of every argument, so no
    // argument's code can run between a binding and the call. The binding keeps the position
    // where its argument ended.
    const CQXInterpreter& bound = compile("eigens(a, r,\n zeros(1, 1));");
    ASSERT_EQ(opcodes(bound), (std::vector<eOptType>{otASSIGN, otASSIGN, otASSIGN, otCALL,
                                                     otREFERENCE, otREFERENCE, otCALL}));
    EXPECT_EQ(bound.getByteCode()[4].m_Var2.m_pVar, r);
    EXPECT_EQ(bound.getByteCode()[4].m_Line, 1);
    EXPECT_EQ(bound.getByteCode()[5].m_Line, 2);
}

TEST_F(EmissionTest, LoopsAreBlocksThatRepeat) {
    const CQXInterpreter& block = compile("while (a < 3) { if (a == 1) break; a++; }");
    ASSERT_EQ(opcodes(block), (std::vector<eOptType>{otBLOCK}));
    const CQXInterpreter* frame = block.getByteCode()[0].m_pBlock;
    EXPECT_TRUE(frame->isLoopBlock());
    ASSERT_EQ(opcodes(*frame), (std::vector<eOptType>{otLESS, otCONDITION}));
    EXPECT_TRUE(frame->getByteCode()[1].m_bRepeat);
    const CQXInterpreter* body = frame->getByteCode()[1].m_pBlock;
    ASSERT_EQ(opcodes(*body), (std::vector<eOptType>{otEQUAL, otCONDITION, otINC}));
    EXPECT_EQ(opcodes(*body->getByteCode()[1].m_pBlock), (std::vector<eOptType>{otBREAK}));
    const CQXInterpreter& loop = compile("for (a = 0; a < 3; a++;) b++;");
    const CQXInterpreter* forFrame = loop.getByteCode()[1].m_pBlock;
    ASSERT_EQ(opcodes(*forFrame), (std::vector<eOptType>{otLESS, otCONDITION, otCONDITION}));
    EXPECT_FALSE(forFrame->getByteCode()[1].m_bRepeat);
    EXPECT_TRUE(forFrame->getByteCode()[2].m_bRepeat);
}

}  // namespace
