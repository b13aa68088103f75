// The seven workloads shared by the qx benchmarks and their baselines: sizes, the script texts
// and the generator of the long script that the compile benchmark translates. Each baseline
// computes the same thing as the qx workload of the same number.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace workload {

// W1: a scalar loop with a branch, modulo, division, multiplication and addition.
constexpr int kLoopCount = 1000000;
// W2: an element-wise expression over host matrices of this size.
constexpr int kElementSize = 1000;
// W3: a square matrix product of this size.
constexpr int kProductSize = 512;
// W5: host calls of a small script function per benchmark iteration.
constexpr int kHostCalls = 100000;
// W6: small-matrix iterations (3x3 product, transpose, add, determinant).
constexpr int kSmallIterations = 100000;
// W4: lines of the generated script, and how many compiled programs stay alive beside the one
// being compiled (a host holds many scripts at once).
constexpr int kScriptLines = 5000;
constexpr int kProgramsAlive = 40;
// W7: a loop that indexes two host column vectors of this length with the loop variable.
constexpr int kVectorLength = 100000;

// Element i of the vectors of W7.
inline double elementV(int i, int) {
    return static_cast<double>(i % 11) / 8.0;
}
inline double elementW(int i, int) {
    return static_cast<double>(i % 7) - 3.0;
}

// Element (i, j) of the inputs of W2, W3 and W6. The values are small integers divided by
// powers of two, so every baseline and qx read exactly the same doubles.
inline double elementA(int i, int j) {
    return static_cast<double>((i * 7 + j * 3) % 17) / 4.0;
}
inline double elementB(int i, int j) {
    return static_cast<double>((i * 5 + j * 11) % 13) / 2.0 + 0.5;
}
inline double elementC(int i, int j) {
    return static_cast<double>((i + j) % 9) - 4.0;
}

// A host matrix: contiguous row-major storage and the row array a host hands over.
struct HostMatrix {
    HostMatrix(int rows, int cols, double (*fill)(int, int))
        : data(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)),
          rowPtrs(static_cast<std::size_t>(rows)) {
        for (int i = 0; i < rows; ++i) {
            rowPtrs[i] = data.data() + static_cast<std::size_t>(i) * cols;
            for (int j = 0; j < cols; ++j) rowPtrs[i][j] = fill != nullptr ? fill(i, j) : 0.0;
        }
    }
    std::vector<double> data;
    std::vector<double*> rowPtrs;
};

// The generated script of W4 in the qx language: blocks of ten lines, each with declarations,
// assignments, arithmetic, a matrix literal, an if/else, a for loop, a while loop and calls of
// standard functions.
std::string qxScript(int lines);
// The same program in Lua.
std::string luaScript(int lines);

}  // namespace workload
