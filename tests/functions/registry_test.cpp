// Function objects and the function registry: the parameter list, copies, the registry's
// ownership, lookup and deletion order, and the standard library as a compiler object installs
// it (loaded again, it replaces the registry; its constants leave a host variable alone).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qx/core/compiler.h"
#include "qx/functions/math_functions.h"

namespace {

// A host-style function that exposes the protected operations and logs its destruction, so
// that the registry's deletion order can be observed.
class CProbe : public CQXFunction {
public:
    CProbe(const std::string& name, CQXSharedParameter* shared,
           std::vector<std::string>* log = nullptr)
        : CQXFunction(name, shared), m_pLog(log) {}
    CProbe(const CProbe&) = default;
    CProbe& operator=(const CProbe&) = default;
    ~CProbe() override {
        if (m_pLog != nullptr) m_pLog->push_back(m_Name);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>*) override { return isOK; }
    using CQXFunction::getVarlist;
    using CQXFunction::raise;
    using CQXFunction::setParamCount;
    using CQXFunction::setParamType;
    using CQXFunction::setReturnMatrix;

private:
    std::vector<std::string>* m_pLog;
};

// The registry's constructor is reserved to the compiler object; a derived class reaches it.
class CTestRegistry : public CQXFuncManager {};

}  // namespace

// The parameter list follows its count and ignores indices outside it; a copy takes the result
// (as a copy of its own), the error and the parameters.
TEST(FunctionObjectTest, ParameterListCopiesAndTheRegistry) {
    CQXSharedParameter shared;
    CProbe original("probe", &shared);
    original.setParamCount(3);
    original.setParamType(1, ptREFERENCE);
    original.setParamCount(1);
    original.setParamCount(2);
    EXPECT_EQ(original.getParamType(1), ptVALUE);
    for (int i : {-1, 1, 2}) original.setParamType(i, ptREFERENCE);
    for (int i : {-1, 0, 2}) EXPECT_EQ(original.getParamType(i), ptVALUE) << i;
    ASSERT_TRUE(original.setReturnMatrix(1, 2, {5, 6}));
    original.raise("earlier failure");
    ASSERT_NE(original.getVarlist()->addVar("local", 1, 1, edtDOUBLE), nullptr);

    CProbe copy(original);
    EXPECT_EQ(copy.getParamType(1), ptREFERENCE);
    EXPECT_EQ(copy.getError().getText(), "earlier failure");
    original.getReturnValue()->setData(0, 0, 99);
    EXPECT_EQ(copy.getReturnValue()->getData(0, 0), 5.0);
    // Neither a copy nor an assignment takes the source's variables; assignment drops its own.
    ASSERT_NE(copy.getVarlist()->addVar("local", 1, 1, edtDOUBLE), nullptr);
    copy = original;
    EXPECT_EQ(copy.getVarlist()->getVarCount(), 0);
    original.setParamCount(-4);
    EXPECT_EQ(original.getParamCount(), 0);
    // The registry owns what it accepts, finds exact names and deletes the last registered first.
    std::vector<std::string> log;
    {
        CTestRegistry registry;
        EXPECT_FALSE(registry.addFunc(nullptr));
        for (const char* name : {"a", "b", "c"}) registry.addFunc(new CProbe(name, &shared, &log));
        // A refused duplicate stays with the caller.
        CProbe duplicate("b", &shared, &log);
        EXPECT_FALSE(registry.addFunc(&duplicate));
        for (const char* other : {"B", "bb", "b ", ""}) EXPECT_EQ(registry.getFunc(other), nullptr);
        EXPECT_EQ(registry.getFunc(2), registry.getFunc("c"));
        for (int i : {-1, 3}) EXPECT_EQ(registry.getFunc(i), nullptr);
        registry.delFunc("B");
        registry.delFunc("b");
        EXPECT_EQ(log, std::vector<std::string>{"b"});
        // The name is free again and goes to the end.
        EXPECT_TRUE(registry.addFunc(new CProbe("b", &shared, &log)));
        registry.clear();
        EXPECT_EQ(registry.getFunc("a"), nullptr);
        registry.addFunc(new CProbe("x", &shared, &log));
    }
    // clear deleted b, c and a; then the refused duplicate goes, and the registry deletes x.
    EXPECT_EQ(log, (std::vector<std::string>{"b", "b", "c", "a", "b", "x"}));
}

TEST(RegistrationTest, LoadingTheLibraryAgainReplacesFunctionsAndKeepsVariables) {
    CQXCompiler compiler;
    compiler.loadStdFunctions();
    ASSERT_TRUE(compiler.addFunc(new CSqrt("host", compiler.getSharedParameter())));
    CQXVariable* x = compiler.addDoubleVar("x", 1, 1);
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(16);")) << compiler.getError();
    compiler.loadStdFunctions();
    EXPECT_EQ(compiler.getFuncCount(), 41);
    EXPECT_EQ(compiler.getFunc("host"), nullptr);
    // The compiled code pointed at the deleted sqrt: it must not run.
    EXPECT_FALSE(compiler.runInterpreter());
    EXPECT_EQ(compiler.getException(), "Interpreter Error:  Nothing to Interprete");
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(25);")) << compiler.getError();
    ASSERT_TRUE(compiler.runInterpreter()) << compiler.getException();
    EXPECT_EQ(x->getData(0, 0), 5);
    // The constants are declared once; a host variable of a constant's name keeps its value and
    // stays assignable.
    CQXVariable* pi = compiler.addIntVar("pi", 1, 1);
    pi->setData(0, 0, 3);
    compiler.loadStdVars();
    compiler.loadStdVars();
    ASSERT_EQ(compiler.getVarCount(), 13);  // x, pi and eleven more constants
    EXPECT_TRUE(compiler.getVar("euler")->getConst());
    EXPECT_EQ(compiler.getVar("pi"), pi);
    EXPECT_EQ(pi->getData(0, 0), 3);
    EXPECT_FALSE(pi->getConst());
}
