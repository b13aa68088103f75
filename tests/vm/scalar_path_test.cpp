// Tests of the interpreter's direct path: whole 1x1 double operands, and elements of double
// matrices indexed by 1x1 doubles, must give bit for bit the result (and the error) of the
// general path, which a float index sends the same statement down. Zero divisors and the
// instruction limit are pinned by the golden scripts and the limits tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
// As indices of a 4x2 matrix these are in range, truncated, negative, past the end or on its
// absent last row.
const double kValues[] = {0.0,           -0.0,        1.0,  -1.0,  2.5,    -7.0,
                          3.0,           1e308,       kInf, -kInf, kNaN,   1.7976931348623157e308,
                          1.75,          -0.5,        2.0,  4.0,   -1e308, 2147483647.0,
                          -2147483648.0, 4294967296.5};

std::string bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return std::to_string(bits);
}

// A statement compiled over host variables: 1x1 doubles a, b, r, double indices i, j, float
// indices p, q, z, and m, a 4x2 matrix whose rows are the host's own (the last one absent).
class Host {
public:
    Host(const std::string& text, bool smart, bool clip) {
        m_C.setSmartError(smart);
        m_C.setClipping(clip);
        for (int k = 0; k < 3; ++k) m_Rows[k] = m_Data[k];
        m_C.addReferenceVar("m", 4, 2, m_Rows);
        for (int k = 0; k < 8; ++k) {
            const std::string name(1, "abrijpqz"[k]);
            m_V[k] = k < 5 ? m_C.addDoubleVar(name, 1, 1) : m_C.addFloatVar(name, 1, 1);
        }
        EXPECT_TRUE(m_C.runCompiler(text)) << text << ": " << m_C.getError();
    }
    // A run with a, p = x, b, q = y, and i, j as p, q hold them (z is 0): the error text without
    // its position, then the bits of r, a, b and m.
    std::string run(double x, double y) {
        const double init[3][2] = {{1.5, -0.0}, {kNaN, kInf}, {-kInf, 7}};
        std::memcpy(m_Data, init, sizeof init);
        const double values[] = {x, y, -99, 0, 0, x, y, 0};
        for (int k = 0; k < 8; ++k) m_V[k]->setData(0, 0, values[k]);
        for (int k = 3; k < 5; ++k) m_V[k]->setData(0, 0, m_V[k + 2]->getData(0, 0));
        std::string s = m_C.runInterpreter() ? "" : m_C.getException();
        s.erase(0, s.find(". "));
        for (int k = 0; k < 3; ++k) s += " " + bitsOf(m_V[k]->getData(0, 0));
        for (const auto& row : m_Data) s += " " + bitsOf(row[0]) + "," + bitsOf(row[1]);
        return s;
    }

private:
    CQXCompiler m_C;
    double m_Data[3][2];
    double* m_Rows[4] = {};
    CQXVariable* m_V[8];
};

// The statement with its operands #1 and #2 spelled out.
std::string spelled(std::string text, const char* first, const char* second) {
    for (std::size_t at; (at = text.find('#')) != std::string::npos;)
        text.replace(at, 2, text[at + 1] == '1' ? first : second);
    return text;
}

TEST(ScalarPathTest, DirectPathMatchesTheGeneralPathBitForBit) {
    std::vector<std::string> statements = {"#1 = #2; r = #1;",
                                           "r = -#1;",
                                           "r = !#1;",
                                           "#1++; #2--;",
                                           "if (#1) { r = 1; } else { r = 2; }",
                                           "func f(a, b) { return #1; } r = f(b, a);"};
    for (const char* op : {"+", "-", "*", "/", ".*", "./", "%", "==", "!=", "<", ">",
                           "<=", ">=", "&&", "||", "&&.", "||.", "!=."})
        statements.push_back(std::string("r = #1 ") + op + " #2;");
    // Direct operands, then the same operands for the general path.
    const char* spellings[][4] = {{"a", "b", "a[z][z]", "b[z][z]"},
                                  {"m[i][j]", "m[j][i]", "m[p][q]", "m[q][p]"}};
    for (const auto& s : spellings) {
        for (const std::string& text : statements) {
            for (int options = 0; options < 4; ++options) {
                Host direct(spelled(text, s[0], s[1]), options & 1, options & 2);
                Host general(spelled(text, s[2], s[3]), options & 1, options & 2);
                for (double x : kValues) {
                    for (double y : kValues) {
                        ASSERT_EQ(direct.run(x, y), general.run(x, y))
                            << spelled(text, s[0], s[1]) << " x=" << x << " y=" << y
                            << " options=" << options;
                    }
                }
            }
        }
    }
}

}  // namespace
