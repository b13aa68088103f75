// Tests of the operands the interpreter keeps resolved between runs of an instruction: elements
// of double matrices on the direct path give what the general path gives, and every change of
// storage between two runs of an instruction (host functions during a loop, reference
// parameters, the host's own row arrays) is seen. Fused element-wise chains give what their
// instructions give one by one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
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

// A host matrix m (4x2, each row its own allocation, the last row absent), double indices i, j,
// float indices p, q (an index of another type takes the general path), and b, r.
class Indexed {
public:
    explicit Indexed(bool clip) {
        m_C.setSmartError(false);
        m_C.setClipping(clip);
        for (int k = 0; k < 3; ++k) m_Rows[k] = m_Data[k];
        m_Rows[3] = nullptr;
        m_C.addReferenceVar("m", 4, 2, m_Rows);
        m_I = m_C.addDoubleVar("i", 1, 1);
        m_J = m_C.addDoubleVar("j", 1, 1);
        m_P = m_C.addFloatVar("p", 1, 1);
        m_Q = m_C.addFloatVar("q", 1, 1);
        m_B = m_C.addDoubleVar("b", 1, 1);
        m_R = m_C.addDoubleVar("r", 1, 1);
    }
    // Every outcome of the statement over the index and operand values: success, error text,
    // r and the elements of m, as text.
    std::vector<std::string> outcomes(const std::string& text) {
        EXPECT_TRUE(m_C.runCompiler(text)) << text << ": " << m_C.getError();
        std::vector<std::string> out;
        const double rows[] = {0, 1, 2.5, 1.75, -0.5, -0.75, -1, 3, 4, kNaN, kInf, -kInf, 1e10};
        const double cols[] = {0, 1.5, -0.5, 2, kNaN};
        for (double ri : rows) {
            for (double ci : cols) {
                for (double b : {2.5, 0.0, -kInf}) out.push_back(once(ri, ci, b));
            }
        }
        return out;
    }

private:
    std::string once(double ri, double ci, double b) {
        const double init[3][2] = {{1.5, -0.0}, {kNaN, kInf}, {-kInf, 7}};
        std::memcpy(m_Data, init, sizeof init);
        m_I->setData(0, 0, ri);
        m_J->setData(0, 0, ci);
        m_P->setData(0, 0, ri);
        m_Q->setData(0, 0, ci);
        m_B->setData(0, 0, b);
        m_R->setData(0, 0, -99);
        std::string s = m_C.runInterpreter() ? "ok" : m_C.getException();
        s += " r=" + bitsOf(m_R->getData(0, 0));
        for (const auto& row : m_Data) s += " " + bitsOf(row[0]) + "," + bitsOf(row[1]);
        return s;
    }

    CQXCompiler m_C;
    double m_Data[3][2];
    double* m_Rows[4];
    CQXVariable* m_I;
    CQXVariable* m_J;
    CQXVariable* m_P;
    CQXVariable* m_Q;
    CQXVariable* m_B;
    CQXVariable* m_R;
};

// The statement with its index names (#i, #j) spelled out.
std::string spelled(std::string text, const char* i, const char* j) {
    for (std::size_t at; (at = text.find('#')) != std::string::npos;) {
        text.replace(at, 2, text[at + 1] == 'i' ? i : j);
    }
    return text;
}

TEST(OperandCacheTest, ElementOperandsMatchTheGeneralPath) {
    const char* statements[] = {
        "r = m[#i][#j] + b;",         "r = b * m[#i][#j];",
        "r = m[#i][#j] / b;",         "r = m[#i][#j] % b;",
        "r = m[#i][#j] < m[#j][#i];", "m[#i][#j] = b; r = m[#i][#j];",
        "m[#i][#j]++; m[#j][#i]--;",  "if (m[#i][#j]) { r = 1; } else { r = 2; }"};
    for (bool clip : {true, false}) {
        Indexed x(clip);
        for (const std::string text : statements) {
            const std::vector<std::string> direct = x.outcomes(spelled(text, "i", "j"));
            const std::vector<std::string> slow = x.outcomes(spelled(text, "p", "q"));
            ASSERT_EQ(direct.size(), slow.size());
            for (std::size_t k = 0; k < direct.size(); ++k) {
                ASSERT_EQ(direct[k], slow[k]) << text << " case " << k << " clip " << clip;
            }
        }
    }
}

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
    // A resize to another shape between two runs of the same instruction.
    ASSERT_TRUE(c.runCompiler("double y; y = x; y = y + x;"));
    ASSERT_TRUE(c.runInterpreter());
    x->resizeVar(1, 2);
    EXPECT_FALSE(c.runInterpreter());
    EXPECT_EQ(
        c.getException(),
        "Interpreter Error:  on line 1, position 15. LValue Size mismatch accessing Variable y");
}

// A reference parameter is bound anew by every call; the function's instructions must follow
// the binding.
TEST(OperandCacheTest, ReferenceParametersFollowEveryBinding) {
    CQXCompiler c;
    c.addDoubleVar("a", 1, 1);
    c.addDoubleVar("e", 1, 1);
    c.addDoubleVar("k", 1, 1);
    ASSERT_TRUE(
        c.runCompiler("func bump(&t, d) { t = t + d; }\n"
                      "for (k = 0; k < 3; k++;) { bump(a, 1); bump(e, k); bump(a, 10); }"))
        << c.getError();
    ASSERT_TRUE(c.runInterpreter()) << c.getException();
    EXPECT_EQ(c.getVar("a")->getData(0, 0), 33);
    EXPECT_EQ(c.getVar("e")->getData(0, 0), 3);
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
// A fused chain leaves the temporaries only it reads as they were.
TEST(OperandCacheTest, FusedElementwiseChainsMatchTheGeneralPath) {
    const char* statements[] = {
        "y = a .* b + 2 * c - a ./ (b + 1);",
        "y = -(a - c[1][2]) / 4 .* (b &&. c) + (a ||. b) - (c !=. b) * b[1,1][3,1];",
        "a = a .* b - a; y = c .* a + a;",
        "y[1,2][*] = a[0,2][*] .* c[1,2][*] + b[0,2][*] - a[2][5];",
        "f = a .* c ./ b - 1e300 * c; y = c / b[0][2] + a;"};
    bool fused = false;
    for (auto layout : {qxtest::eHostLayout::PerRow, qxtest::eHostLayout::Block}) {
        for (eDataType type : {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE}) {
            for (bool smart : {true, false}) {
                for (const char* text : statements) {
                    std::string once, twice;
                    const std::string general = chainOutcome(text, type, smart, layout, 1, once);
                    ASSERT_TRUE(general == chainOutcome(text, type, smart, layout, 2, twice))
                        << text << " type " << type << " smart " << smart;
                    fused = fused || once != twice;
                }
            }
        }
    }
    EXPECT_TRUE(fused);
}

}  // namespace
