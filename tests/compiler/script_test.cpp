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
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

namespace {

struct Expectation {
    std::string name;
    bool approximate;
    std::vector<std::vector<double>> rows;
};

struct Script {
    std::string text;
    std::string compileError;  // expected, when hasCompileError
    std::string runtimeError;  // expected, when not empty
    std::string listing;       // expected, when not empty
    bool hasCompileError = false;
    bool noClipping = false;
    bool noSmartError = false;
    int runs = 1;
    std::vector<Expectation> expectations;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool isCaseTitle(const std::string& line) {
    return line.compare(0, 7, "// ====") == 0;
}

// "[1, 2; 3, 4]" or a single number; strtod reads nan and inf as well.
std::vector<std::vector<double>> parseMatrix(std::string text) {
    std::replace(text.begin(), text.end(), '[', ' ');
    std::replace(text.begin(), text.end(), ']', ' ');
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    for (std::string row; std::getline(in, row, ';');) {
        std::istringstream cells(row);
        rows.emplace_back();
        for (std::string cell; std::getline(cells, cell, ',');)
            rows.back().push_back(std::strtod(cell.c_str(), nullptr));
    }
    return rows;
}

// An error text as a directive gives it: "\n" for a line break, no blanks at the end (those of
// a message without detail are pinned by the error record's own test).
std::string errorText(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text.erase(text.find_last_not_of(' ') + 1);
}

void parseDirective(Script& script, const std::string& line) {
    static const std::regex kDirective(
        R"(^.*?//\s*(expect compile error|expect run-time error|expect|option|runs|listing): ?(.*)$)");
    std::smatch m;
    if (!std::regex_match(line, m, kDirective)) return;
    const std::string kind = m[1];
    const std::string rest = m[2];
    if (kind == "expect compile error") {
        script.hasCompileError = true;
        script.compileError = errorText(rest);
    } else if (kind == "expect run-time error") {
        script.runtimeError = errorText(rest);
    } else if (kind == "expect") {
        const size_t op = rest.find_first_of("=~");
        const std::string name = rest.substr(0, rest.find_last_not_of(' ', op - 1) + 1);
        script.expectations.push_back({name, rest[op] == '~', parseMatrix(rest.substr(op + 1))});
    } else if (kind == "option") {
        script.noClipping |= rest.find("no-clipping") != std::string::npos;
        script.noSmartError |= rest.find("no-smart-error") != std::string::npos;
    } else if (kind == "listing") {
        script.listing += rest + "\n";
    } else {
        script.runs = std::atoi(rest.c_str());
    }
}

std::string readScript(const std::string& file) {
    std::ifstream in(std::string(QX_TEST_SCRIPTS_DIR) + "/" + file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// A test parameter is "file.qx" or "file.qx#K" for case K (from 1) of a file with cases.
Script loadScript(const std::string& param) {
    const size_t hash = param.find('#');
    Script script;
    script.text = readScript(param.substr(0, hash));
    if (hash != std::string::npos) {
        const int which = std::atoi(param.c_str() + hash + 1);
        const std::vector<std::string> lines = linesOf(script.text);
        script.text.clear();
        int current = 0;
        for (size_t k = 0; k < lines.size() && current + isCaseTitle(lines[k]) <= which; ++k) {
            current += isCaseTitle(lines[k]);
            script.text += (k > 0 ? "\n" : "") + (current == 0 || current == which ? lines[k] : "");
        }
    }
    for (const std::string& line : linesOf(script.text)) parseDirective(script, line);
    return script;
}

// Every script and case.
std::vector<std::string> scriptParams() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(QX_TEST_SCRIPTS_DIR))
        if (entry.path().extension() == ".qx") files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    std::vector<std::string> params;
    for (const std::string& file : files) {
        const std::vector<std::string> lines = linesOf(readScript(file));
        const auto cases = std::count_if(lines.begin(), lines.end(), isCaseTitle);
        if (cases == 0) params.push_back(file);
        for (int k = 1; k <= cases; ++k) params.push_back(file + "#" + std::to_string(k));
    }
    return params;
}

void prepare(CQXCompiler& qx, const Script& script) {
    qx.loadStdFunctions();
    qx.loadStdVars();
    if (script.noClipping) qx.setClipping(false);
    if (script.noSmartError) qx.setSmartError(false);
}

// ---- The same scripts over host variables laid out as real hosts lay them out ----

// Takes the top-level declarations out of text, leaving their lines empty so that every other
// token keeps its line and position. Fixed shapes become host matrices, `[]` ones (returned in
// `resizable`) the host's resizable variables.
std::vector<qxtest::sHostMatrixDesc> takeDeclarations(
    std::string& text, std::vector<qxtest::sHostMatrixDesc>& resizable) {
    static const std::regex kDeclaration(R"(^(byte|short|int|float|double)\s+([^;]*);\s*(//.*)?$)");
    static const std::regex kItem(R"((\w+)\s*(\[\s*(\d*)\s*\](\s*\[\s*(\d+)\s*\])?)?)");
    static const std::vector<std::string> kTypes = {"byte", "short", "int", "float", "double"};
    std::vector<qxtest::sHostMatrixDesc> fixed;
    std::vector<std::string> lines = linesOf(text);
    text.clear();
    int depth = 0;
    for (std::string& line : lines) {
        std::smatch m;
        if (depth == 0 && std::regex_match(line, m, kDeclaration)) {
            const auto type = static_cast<eDataType>(
                edtBYTE + (std::find(kTypes.begin(), kTypes.end(), m[1]) - kTypes.begin()));
            const std::string items = m[2];
            for (std::sregex_iterator it(items.begin(), items.end(), kItem), end; it != end; ++it) {
                const std::smatch& item = *it;
                if (item[2].matched && !item[4].matched) resizable.push_back({item[1], type});
                if (item[2].matched && !item[4].matched) continue;
                const int rows = item[4].matched ? std::stoi(item[3]) : 1;
                fixed.push_back({item[1], type, rows, item[4].matched ? std::stoi(item[5]) : 1});
            }
            line.clear();
        }
        const std::string code = line.substr(0, line.find("//"));
        depth +=
            std::count(code.begin(), code.end(), '{') - std::count(code.begin(), code.end(), '}');
        text += line + "\n";
    }
    return fixed;
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

bool sameValue(double actual, double expected, bool approximate) {
    if (std::isnan(expected)) return std::isnan(actual);
    if (actual == expected) return true;
    return approximate && std::fabs(actual - expected) <= 1e-9 * std::max(1.0, std::fabs(expected));
}

void checkExpectation(CQXCompiler& qx, const Expectation& e) {
    const CQXVariable* var = qx.getVar(e.name);
    bool same = var != nullptr && var->getRows() == static_cast<int>(e.rows.size());
    for (size_t r = 0; same && r < e.rows.size(); ++r) {
        same = var->getCols() == static_cast<int>(e.rows[r].size());
        for (size_t c = 0; same && c < e.rows[r].size(); ++c)
            same = sameValue(var->getData(r, c), e.rows[r][c], e.approximate);
    }
    EXPECT_TRUE(same) << describeGlobals(qx, {e.name});
}

// What a host sees of one script: the compile and every run.
std::string describeRuns(CQXCompiler& qx, const Script& script, const std::string& text) {
    if (!qx.runCompiler(text)) return "compile: " + errorText(qx.getError()) + "\n";
    std::string out;
    for (int run = 0; run < script.runs; ++run)
        out += "run: " + (qx.runInterpreter() ? "ok" : errorText(qx.getException())) + "\n";
    return out;
}

// What the directives of a script expect describeRuns to give.
std::string expectedRuns(const Script& script) {
    if (script.hasCompileError) return "compile: " + script.compileError + "\n";
    std::string out;
    for (int run = 0; run < script.runs; ++run)
        out += "run: " + (script.runtimeError.empty() ? "ok" : script.runtimeError) + "\n";
    return out;
}

// Every global a script declares at its top level becomes a host variable. Host variables the
// script does not name lie among them: a matrix whose rows lie between the script's rows in the
// interleaved layout, and matrices without rows or columns. The compile, every run and every
// global the script sees must come out exactly as with the script's own declarations
// (`expected`), and afterwards the host's storage must be where the host put it.
void expectTheSameOverHostVariables(const Script& script, const std::vector<std::string>& names,
                                    const std::string& expected) {
    std::string text = script.text;
    std::vector<qxtest::sHostMatrixDesc> resizable;
    const std::vector<qxtest::sHostMatrixDesc> fixed = takeDeclarations(text, resizable);
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
        const std::string runs = describeRuns(qx, script, text);
        EXPECT_EQ(runs + describeGlobals(qx, names), expected);
        for (size_t i = 0; i < vars.size(); ++i)
            EXPECT_TRUE(host.refersTo(i, vars[i])) << host.desc(i).name;
        EXPECT_TRUE(host.guardsIntact());
    }
}

class ScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, RunsAsItsCommentsExpectAlsoOverHostVariables) {
    const Script script = loadScript(GetParam());
    CQXCompiler qx;
    prepare(qx, script);
    const std::string runs = describeRuns(qx, script, script.text);
    EXPECT_EQ(runs, expectedRuns(script));
    if (script.hasCompileError) {
        EXPECT_FALSE(qx.runInterpreter()) << "a failed compile leaves nothing to run";
        return;
    }
    EXPECT_EQ(script.listing.empty() ? "" : qx.getListing(), script.listing);
    for (const Expectation& e : script.expectations) checkExpectation(qx, e);
    std::vector<std::string> names;
    for (int i = 0; i < qx.getVarCount(); ++i) names.push_back(qx.getVar(i)->getName());
    std::sort(names.begin(), names.end());
    expectTheSameOverHostVariables(script, names, runs + describeGlobals(qx, names));
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = std::regex_replace(info.param, std::regex("\\.qx"), "");
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scriptParams()), testName);

}  // namespace
