// The interpreter's fast paths (the direct path of 1x1 doubles with its operand cache, the fused
// element-wise chains) against its general path: every program runs on a compiler in reference
// mode and on one with the fast paths, three times each, and after the compile and every run
// both must show the host the same outcome, the same error record and trace, and every global
// variable bit for bit. The programs are the golden scripts (also over host matrices in two row
// layouts) and generated scripts that reach the fast paths.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/golden_scripts.h"
#include "tests/support/host_layouts.h"
#include "tests/support/script_generator.h"
#include "tests/support/tier_compare.h"

namespace {

constexpr int kRuns = 3;

// One side: a compiler prepared as the golden script test prepares it, in reference mode or not,
// and the host matrices it has been lent (which must outlive it).
struct sSide {
    std::unique_ptr<qxtest::CHostMatrices> host;
    CQXCompiler qx;
};

void prepare(CQXCompiler& qx, const std::string& text, bool reference) {
    qx.loadStdFunctions();
    qx.loadStdVars();
    std::string options;
    for (const std::string& option : qxtest::directives(text, "option")) options += option;
    qx.setClipping(options.find("no-clipping") == std::string::npos);
    qx.setSmartError(options.find("no-smart-error") == std::string::npos);
    qx.setReferenceMode(reference);
}

// The difference of the two sides running text (empty when there is none).
std::string differenceOf(sSide& reference, sSide& fast, const std::string& text) {
    const std::vector<qxtest::sTierState> a = qxtest::compileAndRun(reference.qx, text, kRuns);
    const std::vector<qxtest::sTierState> b = qxtest::compileAndRun(fast.qx, text, kRuns);
    return qxtest::firstDifference(a, b);
}

class GoldenScriptTiers : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScriptTiers, GiveTheSameBitsAndErrorsInReferenceMode) {
    const std::string text = qxtest::scriptText(GetParam());
    sSide reference, fast;
    prepare(reference.qx, text, true);
    prepare(fast.qx, text, false);
    EXPECT_EQ(differenceOf(reference, fast, text), "");
}

// The same scripts with their top-level declarations lent by the host, in contiguous rows and
// in rows allocated one by one at descending addresses.
TEST_P(GoldenScriptTiers, GiveTheSameBitsOverHostMatrices) {
    const std::string script = qxtest::scriptText(GetParam());
    CQXCompiler own;
    prepare(own, script, true);
    if (!own.runCompiler(script)) return;
    std::string text = script;
    std::vector<qxtest::sHostMatrixDesc> lent;
    for (const std::string& name : qxtest::takeDeclarations(text)) {
        const CQXVariable* v = own.getVar(name);
        // Resizable declarations stay the script's: a host lends fixed shapes.
        if (v != nullptr && !v->getVarState(vsRESIZABLE))
            lent.push_back({name, v->getDataType(), v->getRows(), v->getCols()});
        else
            return;
    }
    for (qxtest::eHostLayout layout :
         {qxtest::eHostLayout::Block, qxtest::eHostLayout::ReversedRows}) {
        SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)));
        sSide sides[2];
        for (int k = 0; k < 2; ++k) {
            sides[k].host = std::make_unique<qxtest::CHostMatrices>(layout);
            for (const qxtest::sHostMatrixDesc& d : lent) sides[k].host->add(d);
            sides[k].host->build();
            prepare(sides[k].qx, script, k == 0);
            sides[k].host->addTo(sides[k].qx);
        }
        EXPECT_EQ(differenceOf(sides[0], sides[1], text), "");
        EXPECT_TRUE(sides[0].host->guardsIntact());
        EXPECT_TRUE(sides[1].host->guardsIntact());
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenScriptTiers, ::testing::ValuesIn(qxtest::scriptParams()),
                         testName);

// Runs text on both sides over the generated scripts' host matrices in the given layout.
std::string generatedDifference(const std::string& text, qxtest::eHostLayout layout,
                                bool smartError) {
    sSide sides[2];
    for (int k = 0; k < 2; ++k) {
        sides[k].host = std::make_unique<qxtest::CHostMatrices>(layout);
        qxtest::declareGeneratedHostMatrices(*sides[k].host);
        sides[k].host->build();
        prepare(sides[k].qx, "", k == 0);
        sides[k].qx.setSmartError(smartError);
        sides[k].qx.setInstructionLimit(100000);
        sides[k].host->addTo(sides[k].qx);
    }
    std::vector<qxtest::sTierState> states[2];
    for (int k = 0; k < 2; ++k) states[k] = qxtest::compileAndRun(sides[k].qx, text, kRuns);
    return qxtest::firstDifference(states[0], states[1]);
}

// Bytes of a fixed linear congruential sequence: the same scripts on every machine.
std::vector<std::uint8_t> bytesOf(std::uint32_t seed, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < count; ++k) {
        seed = seed * 1664525u + 1013904223u;
        bytes.push_back(static_cast<std::uint8_t>(seed >> 24));
    }
    return bytes;
}

TEST(GeneratedScriptTiers, GiveTheSameBitsAndErrorsInBothModes) {
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        const std::vector<std::uint8_t> bytes = bytesOf(seed, 48 + seed * 4);
        const std::string text = qxtest::CScriptGenerator(bytes.data(), bytes.size()).script();
        const qxtest::eHostLayout layout =
            seed % 2 == 0 ? qxtest::eHostLayout::Block : qxtest::eHostLayout::ReversedRows;
        EXPECT_EQ(generatedDifference(text, layout, seed % 3 != 0), "") << text;
    }
}

// Hand-made programs for each fast path: a scalar loop over 1x1 doubles and elements v[0][i]
// (the direct path and its operand cache), element-wise chains of several operators over NaN,
// infinities and zeros into temporaries and into host references (fused chains), && guarding an
// element, and a chain whose shapes stop fitting between runs.
TEST(GeneratedScriptTiers, ReachEveryFastPath) {
    const char* const scripts[] = {
        "double s, i, v[1][16]; s = 0;\n"
        "for (i = 0; i < 16; i++;) { v[0][i] = v[0][i] * 0.5 + i; s += v[0][i] / (i - 3); }\n"
        "i = 0; while (i < 16 && v[0][i]) { v[0][i]--; i++; }\n",
        "double A[12][16], B[12][16], C[12][16], z, n;\n"
        "z = 0; n = linspace(2, 3, 1);\n"
        "A = HA .* 2 + HB - 1e308 * 10; B = A ./ HB + HA .* A; C = -A + B .* z;\n"
        "HA = A .* B + C - HB; HB = HA ./ 0 + A; C = A + n;\n",
        "double A[12][16], x; A = HA + HB .* HB - HA ./ HB; x = A[11][15];\n"
        "HI = A .* 3 + HB; HA = HI + A ./ 7;\n",
        "double i, s; i = 0; while (i < 40 && hv[0][i]) { s += 1 / hv[0][i]; i++; }\n",
    };
    for (const char* text : scripts) {
        for (qxtest::eHostLayout layout :
             {qxtest::eHostLayout::Block, qxtest::eHostLayout::ReversedRows}) {
            EXPECT_EQ(generatedDifference(text, layout, true), "") << text;
            EXPECT_EQ(generatedDifference(text, layout, false), "") << text;
        }
    }
}

// A fused chain over NaN elements and a NaN scalar (b = -a + nn): the general path keeps the
// NaN of the element operand, as the element kernels compute element op scalar.
TEST(GeneratedScriptTiers, KeepTheNaNOfTheElementBesideANaNScalar) {
    const char* const scripts[] = {
        "double b[12][16], nn; nn = linspace(2, 3, 1); b = -HA + nn;\n",
        "double b[12][16], nn; nn = linspace(2, 3, 1); b = HA .* nn + 0;\n",
    };
    for (const char* text : scripts)
        EXPECT_EQ(generatedDifference(text, qxtest::eHostLayout::Block, true), "") << text;
}

}  // namespace

namespace {

TEST(ReferenceModeTest, IsOffByDefaultAndRoundTrips) {
    CQXCompiler qx;
    EXPECT_FALSE(qx.getReferenceMode());
    EXPECT_FALSE(qx.getSharedParameter()->fastPathsOff());
    qx.setReferenceMode(true);
    EXPECT_TRUE(qx.getReferenceMode());
    EXPECT_TRUE(qx.getSharedParameter()->fastPathsOff());
    const CQXSharedParameter copy(*qx.getSharedParameter());
    EXPECT_TRUE(copy.m_bReferenceMode);
    qx.setReferenceMode(false);
    EXPECT_FALSE(qx.getReferenceMode());
    EXPECT_FALSE(qx.getSharedParameter()->fastPathsOff());
}

// One compiled program run again and again, the mode switched between the runs, against the
// same program always in reference mode: the same bits after every run, also where the
// instruction limit stops a run in the middle of a loop of fused chains and scalar steps (the
// instructions are counted alike).
TEST(ReferenceModeTest, SwitchingBetweenRunsOfOneProgramChangesNothing) {
    const std::string programs[] = {
        "double A[12][16], B[12][16], s, i, v[1][16];\n"
        "for (i = 0; i < 16; i++;) { v[0][i] = i + 1; }\n"
        "A = HA .* 0.5 - HB; B = A ./ HB + 1e308 * 10 .* A; HA = B - A .* A;\n"
        "i = 0; while (i < 16 && v[0][i]) { s += 1 / v[0][i]; i++; }\n",
        "double A[12][16], s, i;\n"
        "for (i = 0; i < 100000; i++;) { s += hv[0][i % 16]; A = A + HB .* 2 - HA; }\n",
    };
    const bool modes[] = {false, true, false, true, true, false};
    for (const std::string& text : programs) {
        qxtest::CHostMatrices hostA(qxtest::eHostLayout::Block), hostB(qxtest::eHostLayout::Block);
        qxtest::declareGeneratedHostMatrices(hostA);
        qxtest::declareGeneratedHostMatrices(hostB);
        hostA.build();
        hostB.build();
        CQXCompiler reference, switching;
        reference.setReferenceMode(true);
        for (CQXCompiler* qx : {&reference, &switching}) {
            qx->loadStdFunctions();
            qx->setInstructionLimit(5000);
        }
        hostA.addTo(reference);
        hostB.addTo(switching);
        ASSERT_TRUE(reference.runCompiler(text));
        ASSERT_TRUE(switching.runCompiler(text));
        for (bool mode : modes) {
            switching.setReferenceMode(mode);
            const qxtest::sTierState a = qxtest::runStateOf(reference, reference.runInterpreter());
            const qxtest::sTierState b = qxtest::runStateOf(switching, switching.runInterpreter());
            EXPECT_EQ(qxtest::describeDifference(a, b), "") << text << "mode " << mode;
        }
    }
}

}  // namespace
