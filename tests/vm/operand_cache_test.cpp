// Tests of the operands the interpreter keeps resolved between runs of an instruction: every
// change of storage a host function makes during a loop is seen, and fused element-wise chains
// give what their instructions give one by one. The direct path's results are pinned in
// scalar_path_test.cpp, script-made changes in tests/scripts/storage_changes.qx.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return std::to_string(bits);
}

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

// The statement run `runs` times (the last over the same inputs) on 3x700 host matrices: a of the
// given type, b, c, y double, f float. Its error and the bits of a, y, f; temps: of temporaries.
std::string chainOutcome(const char* text, eDataType type, bool smart, qxtest::eHostLayout layout,
                         int runs, std::string& temps) {
    qxtest::CHostMatrices host(layout);
    for (const char* name : {"a", "b", "c", "y", "f"})
        host.add({name, *name == 'a' ? type : *name == 'f' ? edtFLOAT : edtDOUBLE, 3, 700});
    host.build();
    CQXCompiler qx;
    qx.setSmartError(smart);
    const std::vector<CQXVariable*> v = host.addTo(qx);
    EXPECT_TRUE(qx.runCompiler(text)) << qx.getError();
    const double special[] = {0, -0.0, 1, -1, kNaN, kInf, -kInf, 0.5, 1e300};
    std::string s;
    for (int run = runs - 1; run >= 0; --run) {
        for (int k = 0; k < 5 * 2100; ++k)
            v[k / 2100]->setData(k % 2100 / 700, k % 700,
                                 k < 2100 ? (k * 37 + run) % 251 : special[(k + run) % 9]);
        s = qx.runInterpreter() ? "ok" : qx.getException();
    }
    for (int k = 0; k < 3 * 2100; ++k)
        s += " " + bitsOf(v[k < 2100 ? 0 : 2 + k / 2100]->getData(k % 2100 / 700, k % 700));
    for (int k = 0; k < qx.getTmpVarCount(); ++k) temps += bitsOf(qx.getTmpVar(k)->getData(0, 0));
    return s;
}

// Element-wise instructions run fused once their temporaries have their shapes (from a program's
// second run on) and must give the bits and errors of the first run, which runs them one by one.
// A fused chain leaves the temporaries only it reads as they were, which shows where one ran:
// also into a target that is an operand element for element; not into a range target from row 1
// (left to the one-by-one path today); never into a target that overlaps an operand with its rows
// shifted either way.
TEST(OperandCacheTest, FusedElementwiseChainsMatchTheGeneralPath) {
    const char* statements[] = {
        "y = a .* b + 2 * c - a ./ (b + 1);",
        "y = -(a - c[1][2]) / 4 .* (b &&. c) + (a ||. b) - (c !=. b) * b[1,1][3,1];",
        "a = a .* b - a;",
        "y[1,2][*] = a[0,2][*] .* c[1,2][*] + b[0,2][*] - a[2][5];",
        "f = a .* c ./ b - 1e300 * c; y = c / b[0][2] + a;",
        "y[1,2][*] = y[0,2][*] .* c[0,2][*] + b[0,2][*];",
        "y[0,2][*] = y[1,2][*] .* c[0,2][*] + b[0,2][*];"};
    const std::size_t count = std::size(statements);
    std::vector<bool> fused(count, false);
    for (auto layout : {qxtest::eHostLayout::PerRow, qxtest::eHostLayout::Block}) {
        for (eDataType type : {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE}) {
            for (bool smart : {true, false}) {
                for (std::size_t i = 0; i < count; ++i) {
                    std::string once, twice;
                    const char* text = statements[i];
                    const std::string general = chainOutcome(text, type, smart, layout, 1, once);
                    ASSERT_TRUE(general == chainOutcome(text, type, smart, layout, 2, twice))
                        << text << " type " << type << " smart " << smart;
                    fused[i] = fused[i] || once != twice;
                }
            }
        }
    }
    const std::vector<bool> fuses = {true, true, true, false, true, false, false};
    EXPECT_EQ(fused, fuses);
}

}  // namespace
