// libFuzzer target for the front of the pipeline (script text -> lexer -> compiler -> blocks):
// arbitrary bytes are compiled, several times in a row on one compiler object, so that whatever
// a failed or successful compile leaves behind is the starting state of the next one. Nothing
// is run; run_fuzzer.cpp covers the interpreter. The host's matrices are laid out as one of the
// host layouts of tests/support/host_layouts.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

namespace {

constexpr long long kStorageLimit = 1 << 20;

// Aborts the run so that libFuzzer records the input, like a sanitizer report would.
void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "compile_fuzzer: invariant broken: %s\n", what);
    std::abort();
}

// Host variables of different states, so that names in the input can resolve to them: owned,
// resizable, and references of every element type in one of the host layouts, flat, and
// without rows or columns.
void declareHostMatrices(qxtest::CHostMatrices& host) {
    const char* const names[] = {"hb", "hs", "hi", "hf", "h"};
    for (int t = 0; t < 5; ++t)
        host.add({names[t], static_cast<eDataType>(edtBYTE + t), 2, 3, {1, 2, 3, 4, 5, 6}});
    host.add({"fd", edtDOUBLE, 1, 4, {1.5, 2.5, 3.5, 4.5}, true});
    host.add({"hn", edtDOUBLE, 0, 3, {}});
    host.add({"hc", edtINT, 3, 0, {}});
    host.build();
}

void addHostVariables(CQXCompiler& qx, qxtest::CHostMatrices& host) {
    qx.addDoubleVar("d", 1, 1);
    qx.addIntVar("m", 3, 3);
    qx.addResizeByteVar("r");
    for (CQXVariable* v : host.addTo(qx)) require(v != nullptr, "every host variable is added");
}

// Compiles one text (with tryCompile: a failure must leave no globals, functions or storage
// behind) and checks what a host relies on: both error records render, also as reports with
// their source line, a failed compile leaves nothing to run, and its error stands on a line the
// text has.
void compileOnce(CQXCompiler& qx, const std::string& text, bool trying = false) {
    const int globals = qx.getVarCount();
    const int functions = qx.getFuncCount();
    qx.clear(false);
    const long long storage = qx.getScriptStorage();
    const bool ok = trying ? qx.tryCompile(text) : qx.runCompiler(text);
    int line = 0, pos = 0;
    std::string rendered;
    qx.getError(line, pos, rendered);
    require(rendered == qx.getError(), "the error text renders the same both ways");
    require(qx.formatError().compare(0, rendered.size(), rendered) == 0,
            "the report starts with the error text");
    qx.formatException();
    if (ok) return;
    if (trying) {
        require(qx.getVarCount() == globals, "a failed tryCompile leaves no globals");
        require(qx.getFuncCount() == functions, "a failed tryCompile leaves no functions");
        require(qx.getScriptStorage() == storage, "a failed tryCompile leaves no storage");
    }
    require(!qx.runInterpreter(), "a failed compile leaves nothing to run");
    const long long lines = 1 + std::count(text.begin(), text.end(), '\n');
    require(line >= 1 && line <= lines, "a compile error stands on a line of the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qxtest::CHostMatrices host(
        qxtest::kHostLayouts[std::hash<std::string>()(text) % qxtest::kHostLayoutCount]);
    declareHostMatrices(host);
    CQXCompiler qx;
    // Declarations allocate at compile time; the limit keeps a declared giant from being a
    // request the fuzzer's allocator refuses.
    qx.setStorageLimit(kStorageLimit);
    qx.loadStdFunctions();
    qx.loadStdVars();
    addHostVariables(qx, host);

    // The whole text, its first half, the whole text again (its globals and functions now
    // exist, so it fails on redeclaration) and its second half.
    compileOnce(qx, text);
    compileOnce(qx, text.substr(0, size / 2), true);
    compileOnce(qx, text, true);
    compileOnce(qx, text.substr(size / 2));

    // Without the script's globals and functions the text compiles as on a fresh compiler;
    // then a trivial program must still compile on the same object.
    qx.clear(true);
    compileOnce(qx, text);
    qx.clear(true);
    require(qx.runCompiler("double probe; probe = 41 + 1;"), "a trivial script compiles");
    require(qx.runInterpreter(), "a trivial script runs");
    const CQXVariable* probe = qx.getVar("probe");
    require(probe != nullptr && probe->getData(0, 0) == 42.0, "a trivial script computes");
    return 0;
}
