// Baselines in plain C++ and in Eigen for the workloads that have one: the scalar loop (W1), the
// element-wise expression (W2), the matrix product (W3), the small-matrix loop (W6) and the
// indexed loop (W7). The inputs are the same values the qx workloads read.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>

#include "workloads.h"

namespace {

void BM_W1_native(benchmark::State& state) {
    for (auto _ : state) {
        double s = 0;
        for (long long i = 0; i < workload::kLoopCount; ++i) {
            benchmark::DoNotOptimize(i);
            if (i % 3 == 0) {
                s = s + static_cast<double>(i) / 2;
            } else {
                s = s + static_cast<double>(i) * 2;
            }
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_W1_native)->Unit(benchmark::kMillisecond);

using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
using Array = Eigen::Array<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

template <class M>
M filled(int rows, int cols, double (*fill)(int, int)) {
    M m(rows, cols);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) m(i, j) = fill(i, j);
    }
    return m;
}

void BM_W2_eigen(benchmark::State& state) {
    const int n = workload::kElementSize;
    const Array a = filled<Array>(n, n, workload::elementA);
    const Array b = filled<Array>(n, n, workload::elementB);
    const Array c = filled<Array>(n, n, workload::elementC);
    Array y(n, n);
    for (auto _ : state) {
        y = a * b + 2 * c - a / (b + 1);
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_W2_eigen)->Unit(benchmark::kMillisecond);

void BM_W3_eigen(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix a = filled<Matrix>(n, n, workload::elementA);
    const Matrix b = filled<Matrix>(n, n, workload::elementB);
    Matrix c(n, n);
    for (auto _ : state) {
        c.noalias() = a * b;
        benchmark::DoNotOptimize(c.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_W3_eigen)->Arg(256)->Arg(workload::kProductSize)->Unit(benchmark::kMillisecond);

// The inputs are clobbered in every iteration so that the compiler cannot hoist the loop body.
void BM_W6_eigen(benchmark::State& state) {
    Eigen::Matrix3d a, b;
    a << 2, 0, 1, 1, 3, 2, 1, 1, 2;
    b << 1, 2, 0, 0, 1, 1, 2, 0, 1;
    for (auto _ : state) {
        double s = 0;
        for (int k = 0; k < workload::kSmallIterations; ++k) {
            benchmark::DoNotOptimize(a.data());
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
            const Eigen::Matrix3d c = a * b;
            const Eigen::Matrix3d d = c.transpose() + a;
            s = s + d.determinant();
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_W6_eigen)->Unit(benchmark::kMillisecond);

void BM_W7_native(benchmark::State& state) {
    const int n = workload::kVectorLength;
    workload::HostMatrix v(n, 1, workload::elementV), w(n, 1, workload::elementW);
    for (auto _ : state) {
        double s = 0;
        for (int i = 0; i < n; ++i) {
            benchmark::DoNotOptimize(i);
            s += v.rowPtrs[i][0] * w.rowPtrs[i][0];
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_W7_native)->Unit(benchmark::kMillisecond);

}  // namespace
