// The standard library as a compiler object installs it: loading the functions again replaces
// the registry and drops the program that used it; the constants are declared once and leave a
// host variable of their name alone. Scripts using the library are golden scripts.
#include <gtest/gtest.h>

#include "qx/core/compiler.h"

namespace {

class CHostFunction : public CQXFunction {
public:
    explicit CHostFunction(CQXSharedParameter* shared) : CQXFunction("host", shared) {}
    eInterpreterState Call(const std::vector<CQXVariable*>*) override { return isOK; }
};

}  // namespace

TEST(RegistrationTest, LoadingFunctionsAgainReplacesTheRegistryAndDropsTheProgram) {
    CQXCompiler compiler;
    compiler.loadStdFunctions();
    ASSERT_EQ(compiler.getFuncCount(), 41);
    ASSERT_TRUE(compiler.addFunc(new CHostFunction(compiler.getSharedParameter())));
    CQXVariable* x = compiler.addDoubleVar("x", 1, 1);
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(16);")) << compiler.getError();
    compiler.loadStdFunctions();
    EXPECT_EQ(compiler.getFuncCount(), 41);
    EXPECT_EQ(compiler.getFunc("host"), nullptr);
    // The compiled code pointed at the deleted sqrt: it must not run.
    EXPECT_FALSE(compiler.runInterpreter());
    EXPECT_EQ(compiler.getException(), "Interpreter Error:  Nothing to Interprete");
    EXPECT_EQ(x->getData(0, 0), 0);
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(25);")) << compiler.getError();
    ASSERT_TRUE(compiler.runInterpreter()) << compiler.getException();
    EXPECT_EQ(x->getData(0, 0), 5);
}

TEST(RegistrationTest, LoadStdVarsDeclaresConstantsOnceAndKeepsHostVariables) {
    CQXCompiler compiler;
    compiler.loadStdVars();
    compiler.loadStdVars();
    ASSERT_EQ(compiler.getVarCount(), 12);
    EXPECT_TRUE(compiler.getVar("euler")->getConst());
    // A host variable of a constant's name keeps its value and stays assignable.
    CQXCompiler host;
    CQXVariable* pi = host.addIntVar("pi", 1, 1);
    pi->setData(0, 0, 3);
    host.loadStdVars();
    EXPECT_EQ(host.getVar("pi"), pi);
    EXPECT_EQ(pi->getData(0, 0), 3);
    EXPECT_FALSE(pi->getConst());
}
