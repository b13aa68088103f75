// Golden script tests: every tests/scripts/*.qx is compiled and run with the standard library
// loaded; its expectations stand in comments inside the script:
//   // expect: NAME = VALUE          VALUE a number or a matrix [1, 2; 3, 4] (exact), nan, inf
//   // expect: NAME ~ VALUE          the same within a relative 1e-9
//   // expect compile error: TEXT    the full getError() text ("\n" stands for a line break)
//   // expect run-time error: TEXT   the full getException() text, after every run
//   // option: no-clipping | no-smart-error
//   // runs: N                       run the compiled program N times (default 1)
//   // listing: LINE                 one line of getListing() after the compile, in order
// A line "// ==== TITLE" starts a case: a file with cases runs each case as a script of its own,
// made of the lines before the first case (shared declarations) and the case's lines; every
// other line before the case's last one is left empty, so lines and positions are those of the
// file, and the case's text ends with its last line. Related failures, each with its own
// expected error, share one file this way.
// Each script that compiles runs once more for every host layout (tests/support/host_layouts.h),
// with its top-level globals lent by the host instead, and must come out exactly the same. Such
// declarations stand on lines of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/golden_scripts.h"
#include "tests/support/host_layouts.h"

namespace {

using qxtest::directives;
using qxtest::Lines;
using qxtest::linesOf;
using qxtest::scriptParams;
using qxtest::scriptText;
using qxtest::takeDeclarations;

int runsOf(const std::string& text) {
    const Lines runs = directives(text, "runs");
    return runs.empty() ? 1 : std::atoi(runs[0].c_str());
}

// An error text as a directive gives it: "\n" for a line break, no blanks at the end (those of
// a message without detail are pinned by the error record's own test).
std::string errorText(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text.erase(text.find_last_not_of(' ') + 1);
}

void prepare(CQXCompiler& qx, const std::string& text) {
    qx.loadStdFunctions();
    qx.loadStdVars();
    std::string options;
    for (const std::string& option : directives(text, "option")) options += option;
    qx.setClipping(options.find("no-clipping") == std::string::npos);
    qx.setSmartError(options.find("no-smart-error") == std::string::npos);
}

// What a host sees of one script: the compile and every run.
std::string describeRuns(CQXCompiler& qx, const std::string& text, int runs) {
    if (!qx.runCompiler(text)) return "compile: " + errorText(qx.getError()) + "\n";
    std::string out;
    for (int run = 0; run < runs; ++run)
        out += "run: " + (qx.runInterpreter() ? "ok" : errorText(qx.getException())) + "\n";
    return out;
}

// What the directives of a script expect describeRuns to give.
std::string expectedRuns(const std::string& text) {
    const Lines compile = directives(text, "expect compile error");
    if (!compile.empty()) return "compile: " + errorText(compile[0]) + "\n";
    const Lines error = directives(text, "expect run-time error");
    std::string out;
    for (int run = 0; run < runsOf(text); ++run)
        out += "run: " + (error.empty() ? "ok" : errorText(error[0])) + "\n";
    return out;
}

// The named globals' element types, shapes and values (any NaN reads "nan").
std::string describeGlobals(CQXCompiler& qx, const std::vector<std::string>& names) {
    std::ostringstream out;
    out.precision(17);
    for (const std::string& name : names) {
        const CQXVariable* v = qx.getVar(name);
        out << name << " type " << (v ? v->getDataType() : 0) << " " << (v ? v->getRows() : 0)
            << "x" << (v ? v->getCols() : 0) << " [";
        for (int r = 0; v != nullptr && r < v->getRows(); ++r) {
            for (int c = 0; c < v->getCols(); ++c) {
                const double value = v->getData(r, c);
                out << (c > 0 ? ", " : r > 0 ? "; " : "");
                std::isnan(value) ? out << "nan" : out << value;
            }
        }
        out << "]\n";
    }
    return out.str();
}

// "NAME = VALUE", VALUE a number or a matrix "[1, 2; 3, 4]" (strtod reads nan and inf as well),
// or "NAME ~ VALUE" for the same within a relative 1e-9.
void checkExpectation(CQXCompiler& qx, std::string expectation) {
    const size_t op = expectation.find_first_of("=~");
    const std::string name = expectation.substr(0, expectation.find_last_not_of(' ', op - 1) + 1);
    const bool approximate = expectation[op] == '~';
    std::string value = expectation.substr(op + 1);
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '[' || c == ']'; }, ' ');
    const CQXVariable* var = qx.getVar(name);
    std::istringstream rows(value);
    bool same = var != nullptr;
    int r = 0;
    for (std::string row; same && std::getline(rows, row, ';'); ++r) {
        std::istringstream cells(row);
        int c = 0;
        for (std::string cell; same && std::getline(cells, cell, ','); ++c) {
            const double actual = var->getData(r, c), expected = std::strtod(cell.c_str(), nullptr);
            const double tolerance = approximate ? 1e-9 * std::max(1.0, std::fabs(expected)) : 0;
            same = std::isnan(expected)
                       ? std::isnan(actual)
                       : actual == expected || std::fabs(actual - expected) <= tolerance;
        }
        same = same && c == var->getCols();
    }
    EXPECT_TRUE(same && r == var->getRows()) << expectation << "\n" << describeGlobals(qx, {name});
}

// ---- The same scripts over host variables laid out as real hosts lay them out ----

// Every global a script declares at its top level becomes a host variable. Host variables the
// script does not name lie among them: a matrix whose rows lie between the script's rows in the
// interleaved layout, and matrices without rows or columns. The compile, every run and every
// global the script sees must come out exactly as with the script's own declarations
// (`expected`), and afterwards the host's storage must be where the host put it.
void expectTheSameOverHostVariables(CQXCompiler& own, const std::string& script,
                                    const std::vector<std::string>& names,
                                    const std::string& expected) {
    std::string text = script;
    std::vector<qxtest::sHostMatrixDesc> fixed, resizable;
    for (const std::string& name : takeDeclarations(text)) {
        const CQXVariable* v = own.getVar(name);
        (v->getVarState(vsRESIZABLE) ? resizable : fixed)
            .push_back({name, v->getDataType(), v->getRows(), v->getCols()});
    }
    using AddResizable = CQXVariable* (CQXCompiler::*)(const std::string&);
    static const AddResizable kAddResizable[] = {
        &CQXCompiler::addResizeByteVar, &CQXCompiler::addResizeShortVar,
        &CQXCompiler::addResizeIntVar, &CQXCompiler::addResizeFloatVar,
        &CQXCompiler::addResizeDoubleVar};
    for (qxtest::eHostLayout layout : qxtest::kHostLayouts) {
        SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)));
        qxtest::CHostMatrices host(layout);
        for (const qxtest::sHostMatrixDesc& d : fixed) host.add(d);
        host.add({"hostNeighbour", edtDOUBLE, 3, 2, {1, 2, 3, 4, 5, 6}});
        host.add({"hostNoRows", edtINT, 0, 3});
        host.add({"hostNoCols", edtFLOAT, 2, 0});
        host.add({"hostNothing", edtBYTE, 0, 0});
        host.build();
        CQXCompiler qx;
        prepare(qx, script);
        const std::vector<CQXVariable*> vars = host.addTo(qx);
        for (const qxtest::sHostMatrixDesc& d : resizable)
            (qx.*kAddResizable[d.type - edtBYTE])(d.name);
        const std::string runs = describeRuns(qx, text, runsOf(script));
        EXPECT_EQ(runs + describeGlobals(qx, names), expected);
        for (size_t i = 0; i < vars.size(); ++i)
            EXPECT_TRUE(host.refersTo(i, vars[i])) << host.desc(i).name;
        EXPECT_TRUE(host.guardsIntact());
    }
}

class ScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, RunsAsItsCommentsExpectAlsoOverHostVariables) {
    const std::string text = scriptText(GetParam());
    CQXCompiler qx;
    prepare(qx, text);
    const std::string runs = describeRuns(qx, text, runsOf(text));
    EXPECT_EQ(runs, expectedRuns(text));
    if (runs.compare(0, 8, "compile:") == 0) {
        EXPECT_FALSE(qx.runInterpreter()) << "a failed compile leaves nothing to run";
        return;
    }
    std::string listing;
    for (const std::string& line : directives(text, "listing")) listing += line + "\n";
    EXPECT_EQ(listing.empty() ? "" : qx.getListing(), listing);
    for (const std::string& e : directives(text, "expect")) checkExpectation(qx, e);
    std::vector<std::string> names;
    for (int i = 0; i < qx.getVarCount(); ++i) names.push_back(qx.getVar(i)->getName());
    std::sort(names.begin(), names.end());
    expectTheSameOverHostVariables(qx, text, names, runs + describeGlobals(qx, names));
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    const std::string name = std::regex_replace(info.param, std::regex("\\.qx"), "");
    return std::regex_replace(name, std::regex("[^A-Za-z0-9]"), "_");
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scriptParams()), testName);

}  // namespace
