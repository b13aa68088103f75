// The blocked matrix product used by CQXVariable::mulmatrix for larger operands (see
// product_internal.h): row arrays become GEMM operands without copying when they describe
// equally spaced rows of doubles, and are packed into contiguous doubles otherwise.
#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "qx/values/product_internal.h"
#include "qx/values/rows_internal.h"
#include "qx/values/variable.h"

namespace qxproduct {

namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
using ConstView = Eigen::Map<const RowMatrix, 0, Eigen::OuterStride<>>;
using View = Eigen::Map<RowMatrix, 0, Eigen::OuterStride<>>;

template <class T>
bool allRowsPresent(T** rows, int n) {
    if (rows == nullptr) return false;
    for (int i = 0; i < n; ++i) {
        if (rows[i] == nullptr) return false;
    }
    return true;
}

// The distance in elements between consecutive rows when every row follows the previous one at
// the same distance, at least `cols` elements on (rows that neither overlap nor run backwards);
// 0 otherwise. Addresses are compared as integers, never by subtracting unrelated pointers.
std::ptrdiff_t uniformStride(double* const* rows, int n, int cols) {
    if (n == 1) return cols;
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(rows[0]);
    const std::uintptr_t second = reinterpret_cast<std::uintptr_t>(rows[1]);
    if (second <= first || (second - first) % sizeof(double) != 0) return 0;
    const std::uintptr_t step = second - first;
    if (step / sizeof(double) < static_cast<std::uintptr_t>(cols)) return 0;
    for (int i = 2; i < n; ++i) {
        const std::uintptr_t prev = reinterpret_cast<std::uintptr_t>(rows[i - 1]);
        if (reinterpret_cast<std::uintptr_t>(rows[i]) != prev + step) return 0;
    }
    return static_cast<std::ptrdiff_t>(step / sizeof(double));
}

// The first n x cols elements of a variable as a GEMM operand: its own rows when they are
// equally spaced doubles, else a contiguous copy converted to double in `packed`.
template <class T>
ConstView operandOf(T** rows, int n, int cols, std::vector<double>& packed) {
    if constexpr (std::is_same_v<T, double>) {
        const std::ptrdiff_t stride = uniformStride(rows, n, cols);
        if (stride > 0) return ConstView(rows[0], n, cols, Eigen::OuterStride<>(stride));
    }
    packed.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(cols));
    for (int i = 0; i < n; ++i) {
        double* dst = packed.data() + static_cast<std::size_t>(i) * cols;
        for (int j = 0; j < cols; ++j) dst[j] = static_cast<double>(rows[i][j]);
    }
    return ConstView(packed.data(), n, cols, Eigen::OuterStride<>(cols));
}

// Writes the product into out, in place when out's rows are equally spaced, else through a
// contiguous result copied row by row.
void store(double** out, int rows, int cols, const ConstView& a, const ConstView& b) {
    const std::ptrdiff_t stride = uniformStride(out, rows, cols);
    if (stride > 0) {
        View(out[0], rows, cols, Eigen::OuterStride<>(stride)).noalias() = a * b;
        return;
    }
    const RowMatrix result = a * b;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) out[i][j] = result(i, j);
    }
}

}  // namespace

bool blockedProduct(double** out, const CQXVariable& a, const CQXVariable& b, int rows, int inner,
                    int cols) {
    if (!allRowsPresent(out, rows)) return false;
    std::vector<double> packedA;
    std::vector<double> packedB;
    bool done = false;
    qxrows::withRows(a, [&](auto** ra) {
        if (!allRowsPresent(ra, rows)) return;
        const ConstView va = operandOf(ra, rows, inner, packedA);
        qxrows::withRows(b, [&](auto** rb) {
            if (!allRowsPresent(rb, inner)) return;
            store(out, rows, cols, va, operandOf(rb, inner, cols, packedB));
            done = true;
        });
    });
    return done;
}

}  // namespace qxproduct
