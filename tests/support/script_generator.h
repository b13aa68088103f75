// Scripts made from bytes by a small grammar, for the tier fuzzer and the oracle test: the
// shapes of code the interpreter's fast paths take (scalar loops over 1x1 doubles and elements
// v[0][i], element-wise chains of several operators over matrices of 192 elements, stores into
// host references) mixed with what makes them fall back or fail (&& and || guarding indices,
// indices out of range, ++ and --, divisions by zero, NaN and infinities, calls of standard
// functions, matrices of another shape). Every byte picks one choice; when the bytes run out
// every choice is the first one, which ends each list, so any input gives a finite script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/host_layouts.h"

namespace qxtest {

// The host's matrices that generated scripts name, with values that include the special ones:
// two double matrices and an int matrix of the scripts' own matrix shape, and a double row.
constexpr int kGenRows = 12;
constexpr int kGenCols = 16;

inline std::vector<double> generatedHostValues(int count, double salt) {
    static const double kSpecial[] = {0.0, -0.0, 1e308 * 10, -1e308 * 10, 1e-310, -2.5};
    std::vector<double> values;
    for (int k = 0; k < count; ++k) {
        const bool special = k % 11 == 3;
        values.push_back(special ? kSpecial[(k / 11) % 6] : (k % 17 - 8) * salt);
    }
    // A quiet NaN with its sign bit set, and one without.
    if (count > 40) {
        values[5] = -std::numeric_limits<double>::quiet_NaN();
        values[40] = std::numeric_limits<double>::quiet_NaN();
    }
    return values;
}

// Adds the generated scripts' host matrices HA, HB (double), HI (int) and hv (double row).
inline void declareGeneratedHostMatrices(CHostMatrices& host) {
    const int n = kGenRows * kGenCols;
    host.add({"HA", edtDOUBLE, kGenRows, kGenCols, generatedHostValues(n, 0.75)});
    host.add({"HB", edtDOUBLE, kGenRows, kGenCols, generatedHostValues(n, -1.5)});
    std::vector<double> ints;
    for (int k = 0; k < n; ++k) ints.push_back(k % 9 - 4);
    host.add({"HI", edtINT, kGenRows, kGenCols, ints});
    host.add({"hv", edtDOUBLE, 1, kGenCols, generatedHostValues(kGenCols, 2.0)});
}

class CScriptGenerator {
public:
    CScriptGenerator(const std::uint8_t* data, std::size_t size) : m_pData(data), m_Size(size) {}

    std::string script() {
        std::string out =
            "double s0, s1, s2, s3, i, j, k, t;\n"
            "double v[1][16], w[1][16];\n"
            "double A[12][16], B[12][16], C[12][16], D[12][16], E[2][3];\n"
            "float F[12][16];\n"
            "for (i = 0; i < 12; i++;) { for (j = 0; j < 16; j++;) {"
            " A[i][j] = i * 16 - j * 3.5; B[i][j] = (j - 7) * 0.25; } }\n"
            "for (j = 0; j < 16; j++;) { v[0][j] = j - 4; w[0][j] = 16 - j; }\n"
            "i = 1; j = 2; k = 3; s3 = linspace(2, 3, 1); t = -1e308 * 10;\n";
        // A few special values among the matrices' elements.
        for (int n = pick(6); n > 0; --n) out += element() + " = " + value() + ";\n";
        for (int n = 1 + pick(12); n > 0 && !exhausted(); --n) out += statement(0);
        return out;
    }

private:
    bool exhausted() const { return m_At >= m_Size; }
    int pick(int n) { return exhausted() ? 0 : m_pData[m_At++] % n; }
    std::string pickOf(std::initializer_list<const char*> choices) {
        return *(choices.begin() + pick(static_cast<int>(choices.size())));
    }

    std::string value() {
        return pickOf({"0", "1", "-0", "2.5", "-3", "0.5", "1e308 * 10", "-1e308 * 10",
                       "linspace(2, 3, 1)", "(1e308 * 10 - 1e308 * 10)", "1e-310", "s0", "s1", "t",
                       "pi", "v[0][3]"});
    }
    std::string scalar() { return pickOf({"s0", "s1", "s2", "s3", "t"}); }
    // An index into rows or columns of `limit`, always in range: the loop counters i, j and k
    // stay below 16, and rows of 12 take them modulo 12. Statements of their own go beyond.
    std::string index(int limit) {
        const char* const counters[] = {"i", "j", "k"};
        const int choice = pick(20);
        if (choice < 9) {
            const char* counter = counters[choice % 3];
            return limit == 16 ? counter : std::string(counter) + " % 12";
        }
        if (choice < 15) return std::to_string(pick(limit));
        return choice == 15 ? "0" : std::to_string(limit - 1);
    }
    std::string element() {
        switch (pick(4)) {
            case 0:
                return "v[0][" + index(16) + "]";
            case 1:
                return "w[0][" + index(16) + "]";
            case 2:
                return "hv[0][" + index(16) + "]";
            default:
                return pickOf({"A", "B", "HA"}) + "[" + index(12) + "][" + index(16) + "]";
        }
    }
    std::string operand() {
        switch (pick(3)) {
            case 0:
                return scalar();
            case 1:
                return element();
            default:
                return value();
        }
    }
    // Matrices of one shape (12 x 16), and sometimes E (2 x 3), which fits none of them.
    std::string matrix() { return pickOf({"A", "B", "C", "D", "HA", "HB", "HI", "F"}); }
    std::string anyMatrix() { return pick(8) == 0 ? "E" : matrix(); }
    // An element-wise chain: two to six operators over matrices, scalars and special values.
    std::string chain() {
        std::string out = pick(4) == 0 ? "-" + matrix() : matrix();
        for (int n = 2 + pick(5); n > 0; --n) {
            out += pickOf({" + ", " - ", " .* ", " ./ ", " + ", " .* ", " &&. ", " ||. ", " !=. "});
            out += pick(3) == 0 ? value() : pick(5) == 0 ? "-" + matrix() : matrix();
        }
        return out;
    }
    std::string call() {
        return pickOf({"sqrt", "fabs", "floor", "exp", "log", "sin"}) + "(" +
               (pick(2) == 0 ? operand() : matrix()) + ")";
    }
    std::string block(int depth) {
        std::string out = "{ ";
        for (int n = 1 + pick(3); n > 0 && !exhausted(); --n) out += statement(depth + 1);
        return out + "} ";
    }
    std::string condition() {
        switch (pick(5)) {
            case 0:
                return operand() + " < " + operand();
            case 1:
                return "k < 16 && v[0][k]";
            case 2:
                return operand() + " && " + operand();
            case 3:
                return operand() + " || " + operand();
            default:
                return operand();
        }
    }

    // The counter of a for loop at each depth, so that nested loops never reset each other.
    static constexpr const char* kLoop[2] = {"i", "j"};

    std::string statement(int depth) {
        const int kinds = depth < 2 ? 14 : 10;
        switch (pick(kinds)) {
            case 0:
                return matrix() + " = " + chain() + ";\n";
            case 1:
                return scalar() + " = " + operand() +
                       pickOf({" + ", " - ", " * ", " / ", " % ", " ^ "}) + operand() + ";\n";
            case 2:
                return element() + " = " + operand() + pickOf({" + ", " * ", " / "}) + operand() +
                       ";\n";
            case 3:
                return pickOf({"s0", "s1", "s2", "t"}) + pickOf({"++;\n", "--;\n"});
            case 4:
                return element() + pickOf({"++;\n", "--;\n"});
            case 5:
                if (pick(8) == 0) return "s0 = v[0][" + std::to_string(16 + pick(3)) + "];\n";
                if (pick(4) == 0) return "t = k > 30 && w[0][k + 20];\n";
                return scalar() + " = " + condition() + ";\n";
            case 6:
                return scalar() + " = " + operand() + " / 0;\n";
            case 7:
                return anyMatrix() + " = " + call() + ";\n";
            case 8:
                return anyMatrix() + " = " + matrix() +
                       pickOf({" ./ 0 + ", " .* ", " * ", " / ", " + 1e308 * "}) + value() + ";\n";
            case 9:
                return scalar() + " = " + pickOf({"sqrt", "fabs", "floor", "exp", "log"}) + "(" +
                       operand() + ");\n";
            case 10:
                return std::string("for (") + kLoop[depth] + " = 0; " + kLoop[depth] + " < " +
                       std::to_string(1 + pick(16)) + "; " + kLoop[depth] + "++;) " + block(depth);
            case 11:
                return "k = 0; while (k < 15 && " + condition() + ") { k++; " + block(depth) + "} ";
            case 12:
                return "if (" + condition() + ") " + block(depth) + "else " + block(depth);
            default:
                return "for (j = 0; j < 16; j++;) { v[0][j] = v[0][j] * " + operand() +
                       " + j; s1 += v[0][j]; }\n";
        }
    }

    const std::uint8_t* m_pData;
    std::size_t m_Size;
    std::size_t m_At = 0;
};

}  // namespace qxtest
