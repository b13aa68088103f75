// libFuzzer target for the interpreter's fast paths: every input becomes a script, compiled on a
// compiler in reference mode (every instruction on the general path) and on one with the fast
// paths (the direct path of 1x1 doubles with its operand cache, the fused element-wise chains),
// each with the same host matrices, and run three times on each. After the compile and after
// every run both must show the same outcome, error record and trace, and every global variable
// (the host's matrices included) bit for bit; on any difference both sides are printed and the
// target aborts. An input whose first byte is printable is the script's text as it stands (the
// dictionary's words and the golden scripts seed it); any other first byte makes the rest of the
// input the choices of a small grammar (tests/support/script_generator.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"
#include "tests/support/script_generator.h"
#include "tests/support/tier_compare.h"

namespace {

// Limits that keep every input short and small: loops end at the instruction limit, and one
// variable may hold a 360 x 360 matrix of doubles at most.
constexpr long long kInstructionLimit = 200000;
constexpr long long kStorageLimit = 1 << 20;
constexpr long long kTotalStorageLimit = 64 << 20;
constexpr int kRuns = 3;
// true compares every NaN as one NaN, to look past a known difference of NaN bits for others;
// false (the rule): bit for bit, sign and payload included.
constexpr bool kUnifyNaNs = false;

bool isText(std::uint8_t first) {
    return first == '\t' || first == '\n' || first == '\r' || (first >= 0x20 && first < 0x7f);
}

// One side: its host matrices (which must outlive the compiler) and its compiler.
struct sSide {
    explicit sSide(qxtest::eHostLayout layout) : host(layout) {}
    qxtest::CHostMatrices host;
    CQXCompiler qx;
};

void prepare(sSide& side, bool reference, std::size_t bits) {
    qxtest::declareGeneratedHostMatrices(side.host);
    side.host.build();
    side.qx.setReferenceMode(reference);
    side.qx.setClipping((bits & 1) != 0);
    side.qx.setSmartError((bits & 2) != 0);
    side.qx.setInstructionLimit(kInstructionLimit);
    side.qx.setStorageLimit(kStorageLimit);
    side.qx.setTotalStorageLimit(kTotalStorageLimit);
    side.qx.loadStdFunctions();
    side.qx.loadStdVars();
    side.host.addTo(side.qx);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text = isText(data[0])
                                 ? std::string(reinterpret_cast<const char*>(data), size)
                                 : qxtest::CScriptGenerator(data + 1, size - 1).script();
    // The options and the row layout of the host's matrices follow from the input, so one input
    // always runs the same way: rows in one block, or allocated one by one at descending
    // addresses.
    const std::size_t bits = std::hash<std::string>()(text);
    const qxtest::eHostLayout layout =
        (bits & 4) != 0 ? qxtest::eHostLayout::Block : qxtest::eHostLayout::ReversedRows;
    sSide reference(layout), fast(layout);
    prepare(reference, true, bits);
    prepare(fast, false, bits);
    std::vector<qxtest::sTierState> a = qxtest::compileAndRun(reference.qx, text, kRuns);
    std::vector<qxtest::sTierState> b = qxtest::compileAndRun(fast.qx, text, kRuns);
    for (auto* side : {&a, &b})
        for (qxtest::sTierState& state : *side)
            if (kUnifyNaNs) qxtest::unifyNaNs(state);
    const std::string difference = qxtest::firstDifference(a, b);
    if (!difference.empty()) {
        std::fprintf(stderr, "tier_fuzzer: the fast paths differ from the general path\n%s\n%s\n",
                     text.c_str(), difference.c_str());
        std::abort();
    }
    if (!reference.host.guardsIntact() || !fast.host.guardsIntact()) {
        std::fprintf(stderr, "tier_fuzzer: a write between the host's rows\n%s\n", text.c_str());
        std::abort();
    }
    return 0;
}
