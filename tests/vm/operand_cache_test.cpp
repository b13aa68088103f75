// Tests of the operands the interpreter keeps resolved between runs of an instruction: every
// change of storage a host function makes during a loop is seen. The direct path's results are
// pinned in scalar_path_test.cpp, script-made changes in tests/scripts/storage_changes.qx.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "qx/qx.h"

namespace {

// A host function without parameters or value that runs a host action.
class Action : public CQXFunction {
public:
    Action(const std::string& name, CQXSharedParameter* shared, std::function<void()> act)
        : CQXFunction(name, shared), m_Act(std::move(act)) {
        setReturnType(false);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>*) override {
        m_Act();
        return isOK;
    }

private:
    std::function<void()> m_Act;
};

// A host function called inside the loop re-points a reference variable, moves a 1x1 variable's
// storage and re-points a row of a host matrix in the host's own row array; every later
// instruction must read the new storage.
TEST(OperandCacheTest, StorageChangedByAHostFunctionDuringALoopIsSeen) {
    CQXCompiler c;
    double first = 1, second = 10;
    double* firstRows[] = {&first};
    double* secondRows[] = {&second};
    CQXVariable* v = c.addReferenceVar("v", 1, 1, firstRows);
    CQXVariable* x = c.addResizeDoubleVar("x");
    x->setData(0, 0, 100);
    double w[4] = {1000, 2000, 3000, 4000};
    double moved[4] = {5000, 6000, 7000, 8000};
    double* wRows[] = {&w[0], &w[1], &w[2], &w[3]};
    c.addReferenceVar("w", 4, 1, wRows);
    int calls = 0;
    ASSERT_TRUE(c.addFunc(new Action("f", c.getSharedParameter(), [&] {
        ++calls;
        v->changeReference(1, 1, calls % 2 == 1 ? secondRows : firstRows);
        x->resizeVar(1, 1);
        x->setData(0, 0, 100.0 * (calls + 1));
        if (calls < 4) wRows[calls] = &moved[calls];
    })));
    ASSERT_TRUE(c.runCompiler(
        "double s, k; for (k = 0; k < 4; k++;) { s = s + v; s = s + x; s = s + w[k][0]; f(); }"));
    ASSERT_TRUE(c.runInterpreter()) << c.getException();
    // v: 1, 10, 1, 10; x: 100, 200, 300, 400; w: 1000, 6000, 7000, 8000.
    EXPECT_EQ(c.getVar("s")->getData(0, 0), 22 + 1000 + 22000);
}

}  // namespace
