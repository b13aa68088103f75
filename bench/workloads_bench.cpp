// The seven workloads run by qx as a host would run them: the script is compiled once, outside
// the timed loop, and run (or its function called) in every iteration. The baselines of the
// same workloads are in native_baseline.cpp, eigen_baseline.cpp and lua_baseline.cpp.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "workloads.h"

namespace {

using workload::HostMatrix;

// A compiler with the standard library, as every host sets it up.
std::unique_ptr<CQXCompiler> makeCompiler() {
    auto compiler = std::make_unique<CQXCompiler>();
    compiler->loadStdFunctions();
    compiler->loadStdVars();
    return compiler;
}

void compileOrSkip(benchmark::State& state, CQXCompiler& compiler, const std::string& text) {
    if (!compiler.runCompiler(text)) state.SkipWithError(compiler.getError().c_str());
}

void runOrSkip(benchmark::State& state, CQXCompiler& compiler) {
    if (!compiler.runInterpreter()) state.SkipWithError(compiler.getException().c_str());
}

// The loop counter and the sum are the host's 1x1 variables, lent by reference.
void BM_W1_qx(benchmark::State& state) {
    double i = 0, s = 0;
    double* iRow = &i;
    double* sRow = &s;
    auto c = makeCompiler();
    c->addReferenceVar("i", 1, 1, &iRow);
    c->addReferenceVar("s", 1, 1, &sRow);
    compileOrSkip(state, *c,
                  "s = 0;\n"
                  "for (i = 0; i < " +
                      std::to_string(workload::kLoopCount) +
                      "; i++;) { if (i % 3 == 0) { s = s + i / 2; } else { s = s + i * 2; } }\n");
    for (auto _ : state) runOrSkip(state, *c);
    benchmark::DoNotOptimize(s);
}
BENCHMARK(BM_W1_qx)->Unit(benchmark::kMillisecond);

// All four matrices, the result included, are host matrices bound by reference: the script
// reads and writes the host's memory in place.
void BM_W2_qx(benchmark::State& state) {
    const int n = workload::kElementSize;
    HostMatrix a(n, n, workload::elementA), b(n, n, workload::elementB);
    HostMatrix cm(n, n, workload::elementC), y(n, n, nullptr);
    auto c = makeCompiler();
    c->addReferenceVar("a", n, n, a.rowPtrs.data());
    c->addReferenceVar("b", n, n, b.rowPtrs.data());
    c->addReferenceVar("c", n, n, cm.rowPtrs.data());
    c->addReferenceVar("y", n, n, y.rowPtrs.data());
    compileOrSkip(state, *c, "y = a .* b + 2 * c - a ./ (b + 1);");
    for (auto _ : state) runOrSkip(state, *c);
    state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_W2_qx)->Unit(benchmark::kMillisecond);

void BM_W3_qx(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    HostMatrix a(n, n, workload::elementA), b(n, n, workload::elementB), r(n, n, nullptr);
    auto c = makeCompiler();
    c->addReferenceVar("a", n, n, a.rowPtrs.data());
    c->addReferenceVar("b", n, n, b.rowPtrs.data());
    c->addReferenceVar("c", n, n, r.rowPtrs.data());
    compileOrSkip(state, *c, "c = a * b;");
    for (auto _ : state) runOrSkip(state, *c);
}
BENCHMARK(BM_W3_qx)->Arg(256)->Arg(workload::kProductSize)->Unit(benchmark::kMillisecond);

// Heap bytes in use, as the C library counts them.
std::size_t heapInUse() {
    return mallinfo2().uordblks;
}

// Every iteration compiles the whole text again, with kProgramsAlive other compiled programs
// alive beside it; clear(true) drops the globals the previous compile declared, so the
// declarations are new each time. bytes_per_line is the heap one compiled program holds;
// run_bytes_per_line what its first run adds (plan, operand caches, temporaries' storage).
void BM_W4_qx(benchmark::State& state) {
    const std::string text = workload::qxScript(workload::kScriptLines);
    std::vector<std::unique_ptr<CQXCompiler>> alive;
    for (int k = 0; k < workload::kProgramsAlive; ++k) {
        alive.push_back(makeCompiler());
        compileOrSkip(state, *alive.back(), text);
    }
    auto c = makeCompiler();
    const std::size_t before = heapInUse();
    compileOrSkip(state, *c, text);
    const double bytes = static_cast<double>(heapInUse() - before);
    // The first run adds the execution plan, the operand caches and the temporaries' storage.
    CQXCompiler& ran = *alive.front();
    const std::size_t beforeRun = heapInUse();
    if (!ran.runInterpreter()) state.SkipWithError(ran.getException().c_str());
    const double runBytes = static_cast<double>(heapInUse() - beforeRun);
    for (auto _ : state) {
        c->clear(true);
        if (!c->runCompiler(text)) state.SkipWithError(c->getError().c_str());
    }
    state.counters["bytes_per_line"] = bytes / workload::kScriptLines;
    state.counters["run_bytes_per_line"] = runBytes / workload::kScriptLines;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_W4_qx)->Unit(benchmark::kMillisecond);

// Compile time per line at 1,000 to 100,000 lines: constant when nothing grows with the script.
void BM_W4_qx_scaling(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string text = workload::qxScript(lines);
    auto c = makeCompiler();
    for (auto _ : state) {
        c->clear(true);
        if (!c->runCompiler(text)) state.SkipWithError(c->getError().c_str());
    }
    state.counters["us_per_line"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * lines * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_W4_qx_scaling)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// f(x) = x*x + 1 called from the host; the value is read from the function's return variable.
struct HostCallSetup {
    std::unique_ptr<CQXCompiler> compiler = makeCompiler();
    CQXVariable* x = nullptr;
    CQXFunction* f = nullptr;

    explicit HostCallSetup(benchmark::State& state) {
        x = compiler->addDoubleVar("x", 1, 1);
        compileOrSkip(state, *compiler, "func f(v) { return v * v + 1; }");
        f = compiler->getFunc("f");
        if (f == nullptr) state.SkipWithError("f not defined");
    }
};

void BM_W5_qx_by_name(benchmark::State& state) {
    HostCallSetup s(state);
    const std::string name = "f";
    for (auto _ : state) {
        double sum = 0;
        for (int k = 0; k < workload::kHostCalls; ++k) {
            s.x->setData(0, 0, k);
            s.compiler->callFuncByName(name, 1, s.x);
            sum += s.f->getReturnValue()->getData(0, 0);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_W5_qx_by_name)->Unit(benchmark::kMillisecond);

void BM_W5_qx_by_addr(benchmark::State& state) {
    HostCallSetup s(state);
    for (auto _ : state) {
        double sum = 0;
        for (int k = 0; k < workload::kHostCalls; ++k) {
            s.x->setData(0, 0, k);
            s.compiler->callFuncByAddr(s.f, 1, s.x);
            sum += s.f->getReturnValue()->getData(0, 0);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_W5_qx_by_addr)->Unit(benchmark::kMillisecond);

void BM_W6_qx(benchmark::State& state) {
    auto c = makeCompiler();
    compileOrSkip(state, *c,
                  "double a[3][3], b[3][3], c[3][3], d[3][3], s, k;\n"
                  "a = [2, 0, 1; 1, 3, 2; 1, 1, 2];\n"
                  "b = [1, 2, 0; 0, 1, 1; 2, 0, 1];\n"
                  "s = 0;\n"
                  "for (k = 0; k < " +
                      std::to_string(workload::kSmallIterations) +
                      "; k++;) { c = a * b; d = transpose(c) + a; s = s + d.det; }\n");
    for (auto _ : state) runOrSkip(state, *c);
    benchmark::DoNotOptimize(c->getVar("s")->getData(0, 0));
}
BENCHMARK(BM_W6_qx)->Unit(benchmark::kMillisecond);

// s += v[i][0] * w[i][0] over two host column vectors and host 1x1 variables.
void BM_W7_qx(benchmark::State& state) {
    const int n = workload::kVectorLength;
    HostMatrix v(n, 1, workload::elementV), w(n, 1, workload::elementW);
    double i = 0, s = 0;
    double* iRow = &i;
    double* sRow = &s;
    auto c = makeCompiler();
    c->addReferenceVar("v", n, 1, v.rowPtrs.data());
    c->addReferenceVar("w", n, 1, w.rowPtrs.data());
    c->addReferenceVar("i", 1, 1, &iRow);
    c->addReferenceVar("s", 1, 1, &sRow);
    compileOrSkip(
        state, *c,
        "s = 0;\nfor (i = 0; i < " + std::to_string(n) + "; i++;) { s += v[i][0] * w[i][0]; }\n");
    for (auto _ : state) runOrSkip(state, *c);
    benchmark::DoNotOptimize(s);
}
BENCHMARK(BM_W7_qx)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
