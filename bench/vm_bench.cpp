// Benchmarks of the interpreter loop: the cost of dispatching scalar instructions in a while
// loop (operand set-up, opcode, sub-block states) and of one element-wise instruction over a
// large matrix. The blocks are built by hand as the compiler would emit them.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"
#include "qx/vm/interpreter.h"

namespace {

// Variables and blocks of one benchmark program. The blocks, declared last, are destroyed first:
// they only point to the variables.
struct Program {
    CQXSharedParameter shared;
    std::vector<std::unique_ptr<CQXVariable>> vars;
    std::vector<std::unique_ptr<CQXInterpreter>> blocks;

    CQXVariable* var(int rows, int cols, double value, eVariableState state = vsOWNED) {
        vars.push_back(std::make_unique<CQXVariable>(&shared));
        CQXVariable* v = vars.back().get();
        v->initialize("", rows, cols, edtDOUBLE);
        v->setVarState(state);
        v->setsingle(value);
        return v;
    }
    CQXInterpreter* block() {
        blocks.push_back(std::make_unique<CQXInterpreter>(&shared));
        return blocks.back().get();
    }
};

// while (i < n) { s = s + i; i++; }
void BM_ScalarCountingLoop(benchmark::State& state) {
    Program p;
    const double n = static_cast<double>(state.range(0));
    CQXVariable* i = p.var(1, 1, 0);
    CQXVariable* s = p.var(1, 1, 0);
    CQXVariable* limit = p.var(1, 1, n);
    CQXVariable* cond = p.var(1, 1, 0, vsRESIZABLE);
    CQXVariable* sum = p.var(1, 1, 0, vsRESIZABLE);

    CQXInterpreter* body = p.block();
    body->addByteCode(sByteCode(otADD, s, i, sum), 1, 1);
    body->addByteCode(sByteCode(otASSIGN, s, sum, nullptr), 1, 1);
    body->addByteCode(sByteCode(otINC, i, sByteCodeVar(), nullptr), 1, 1);
    CQXInterpreter* loop = p.block();
    loop->setLoopBlock();
    loop->addByteCode(sByteCode(otLESS, i, limit, cond), 1, 1);
    sByteCode repeat(otCONDITION, cond, sByteCodeVar(), nullptr);
    repeat.m_pBlock = body;
    repeat.m_bRepeat = true;
    loop->addByteCode(repeat, 1, 1);
    CQXInterpreter* main = p.block();
    sByteCode run;
    run.m_Opt = otBLOCK;
    run.m_pBlock = loop;
    main->addByteCode(run, 1, 1);

    for (auto _ : state) {
        i->setsingle(0);
        s->setsingle(0);
        benchmark::DoNotOptimize(main->Interprete());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScalarCountingLoop)->Arg(1000)->Arg(100000);

// R = A + B for two 1000 x 1000 double matrices.
void BM_ElementwiseMatrixAdd(benchmark::State& state) {
    Program p;
    const int size = static_cast<int>(state.range(0));
    CQXVariable* a = p.var(size, size, 1.5);
    CQXVariable* b = p.var(size, size, 2.5);
    CQXVariable* r = p.var(1, 1, 0, vsRESIZABLE);
    CQXInterpreter* main = p.block();
    main->addByteCode(sByteCode(otADD, a, b, r), 1, 1);

    for (auto _ : state) {
        benchmark::DoNotOptimize(main->Interprete());
    }
    state.SetItemsProcessed(state.iterations() * size * size);
    state.SetBytesProcessed(state.iterations() * size * size * 3 *
                            static_cast<int64_t>(sizeof(double)));
}
BENCHMARK(BM_ElementwiseMatrixAdd)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
