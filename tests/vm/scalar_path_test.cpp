// Tests of the interpreter's direct path for whole 1x1 double operands: every opcode it takes
// must give bit for bit the result (and the error) of the general path, which the same
// statement takes when its operands are indexed elements instead of whole variables. Operands
// of other element types, zero divisors and the instruction limit are pinned by the golden
// scripts and the limits tests.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::vector<double> kValues = {0.0,     -0.0,         1.0,           -1.0,        2.5,   -7.0,
                                     3.0,     1e308,        -1e308,        kInf,        -kInf, kNaN,
                                     DBL_MAX, 2147483647.0, -2147483648.0, 4294967296.5};

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The error text without its position, which differs between the two spellings.
std::string withoutPosition(const std::string& text) {
    const std::size_t at = text.find(" on line ");
    const std::size_t end = text.find(". ", at == std::string::npos ? 0 : at);
    if (at == std::string::npos || end == std::string::npos) return text;
    return text.substr(0, at) + text.substr(end + 1);
}

// One compiled statement over host variables a, b and r.
class Statement {
public:
    Statement(const std::string& text, bool smart, bool clip) {
        m_C.setSmartError(smart);
        m_C.setClipping(clip);
        m_A = m_C.addDoubleVar("a", 1, 1);
        m_B = m_C.addDoubleVar("b", 1, 1);
        m_R = m_C.addDoubleVar("r", 1, 1);
        EXPECT_TRUE(m_C.runCompiler(text)) << text << ": " << m_C.getError();
    }
    // Runs with the given operands; the result is r's value and, on failure, the error text.
    bool run(double a, double b, double& r, std::string& error) {
        m_A->setData(0, 0, a);
        m_B->setData(0, 0, b);
        m_R->setData(0, 0, -99.0);
        const bool ok = m_C.runInterpreter();
        r = m_R->getData(0, 0);
        int line = 0, pos = 0;
        error.clear();
        if (!ok) m_C.getException(line, pos, error);
        return ok;
    }

private:
    CQXCompiler m_C;
    CQXVariable* m_A;
    CQXVariable* m_B;
    CQXVariable* m_R;
};

// Runs `direct` (whole operands) and `general` (indexed operands) over every pair of values
// under both options and expects the same outcome bit for bit.
void expectSamePaths(const std::string& direct, const std::string& general) {
    for (bool smart : {true, false}) {
        for (bool clip : {true, false}) {
            Statement x(direct, smart, clip);
            Statement y(general, smart, clip);
            for (double a : kValues) {
                for (double b : kValues) {
                    SCOPED_TRACE(direct + " a=" + std::to_string(a) + " b=" + std::to_string(b) +
                                 " smart=" + std::to_string(smart) +
                                 " clip=" + std::to_string(clip));
                    double rx = 0, ry = 0;
                    std::string ex, ey;
                    ASSERT_EQ(x.run(a, b, rx, ex), y.run(a, b, ry, ey));
                    ASSERT_EQ(withoutPosition(ex), withoutPosition(ey));
                    ASSERT_EQ(bitsOf(rx), bitsOf(ry));
                }
            }
        }
    }
}

TEST(ScalarPathTest, BinaryOperatorsMatchTheGeneralPathBitForBit) {
    for (const char* op : {"+", "-", "*", "/", ".*", "./", "%", "==", "!=", "<", ">",
                           "<=", ">=", "&&", "||", "&&.", "||.", "!=."}) {
        expectSamePaths(std::string("r = a ") + op + " b;",
                        std::string("r = a[0][0] ") + op + " b[0][0];");
    }
}

TEST(ScalarPathTest, AssignmentIncrementAndUnaryOperatorsMatchTheGeneralPath) {
    expectSamePaths("r = a;", "r[0][0] = a[0][0];");
    expectSamePaths("r = a; r++;", "r[0][0] = a[0][0]; r[0][0]++;");
    expectSamePaths("r = a; r--;", "r[0][0] = a[0][0]; r[0][0]--;");
    expectSamePaths("r = -a;", "r = -a[0][0];");
    expectSamePaths("r = !a;", "r = !a[0][0];");
    expectSamePaths("if (a) { r = 1; } else { r = 2; }", "if (a[0][0]) { r = 1; } else { r = 2; }");
}

TEST(ScalarPathTest, ScriptFunctionReturnsThroughTheDirectPath) {
    expectSamePaths("func f(x, y) { return x * y + 1; } r = f(a, b);",
                    "func f(x, y) { return x[0][0] * y[0][0] + 1; } r = f(a, b);");
}

}  // namespace
