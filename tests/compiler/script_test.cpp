// Golden script tests: every tests/scripts/*.qx is compiled and run with the standard library
// loaded; its expectations stand in comments inside the script:
//   // expect: NAME = VALUE          VALUE a number or a matrix [1, 2; 3, 4] (exact), nan, inf
//   // expect: NAME ~ VALUE          the same within a relative 1e-9
//   // expect compile error: TEXT    the full getError() text ("\n" stands for a line break)
//   // expect run-time error: TEXT   the full getException() text
//   // option: no-clipping | no-smart-error
//   // runs: N                       run the compiled program N times (default 1)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

struct Expectation {
    std::string name;
    bool approximate = false;
    std::vector<std::vector<double>> rows;
};

struct Script {
    std::string path;
    std::string text;
    std::string compileError;
    std::string runtimeError;
    bool hasCompileError = false;
    bool hasRuntimeError = false;
    bool noClipping = false;
    bool noSmartError = false;
    int runs = 1;
    std::vector<Expectation> expectations;
};

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

double parseValue(const std::string& word) {
    if (word == "nan") return NAN;
    if (word == "inf") return INFINITY;
    if (word == "-inf") return -INFINITY;
    return std::strtod(word.c_str(), nullptr);
}

// "[1, 2; 3, 4]" or a single number.
std::vector<std::vector<double>> parseMatrix(std::string text) {
    std::vector<std::vector<double>> rows(1);
    for (char& c : text)
        if (c == '[' || c == ']') c = ' ';
    std::string cell;
    auto flush = [&] {
        std::istringstream in(cell);
        std::string word;
        if (in >> word) rows.back().push_back(parseValue(word));
        cell.clear();
    };
    for (char c : text) {
        if (c == ',') {
            flush();
        } else if (c == ';') {
            flush();
            rows.emplace_back();
        } else {
            cell += c;
        }
    }
    flush();
    return rows;
}

bool startsWith(const std::string& text, const std::string& prefix, std::string& rest) {
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    rest = text.substr(prefix.size());
    return true;
}

void parseDirective(Script& script, const std::string& line) {
    size_t at = line.find("//");
    if (at == std::string::npos) return;
    std::string comment = line.substr(at + 2);
    while (!comment.empty() && comment[0] == ' ') comment.erase(0, 1);
    std::string rest;
    if (startsWith(comment, "expect compile error: ", rest)) {
        script.hasCompileError = true;
        script.compileError = unescape(rest);
    } else if (startsWith(comment, "expect run-time error: ", rest)) {
        script.hasRuntimeError = true;
        script.runtimeError = unescape(rest);
    } else if (startsWith(comment, "expect: ", rest)) {
        Expectation e;
        size_t op = rest.find_first_of("=~");
        e.name = rest.substr(0, op);
        while (!e.name.empty() && e.name.back() == ' ') e.name.pop_back();
        e.approximate = rest[op] == '~';
        e.rows = parseMatrix(rest.substr(op + 1));
        script.expectations.push_back(e);
    } else if (startsWith(comment, "option: ", rest)) {
        if (rest.find("no-clipping") != std::string::npos) script.noClipping = true;
        if (rest.find("no-smart-error") != std::string::npos) script.noSmartError = true;
    } else if (startsWith(comment, "runs: ", rest)) {
        script.runs = std::atoi(rest.c_str());
    }
}

Script loadScript(const std::string& path) {
    Script script;
    script.path = path;
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    script.text = buffer.str();
    std::istringstream lines(script.text);
    for (std::string line; std::getline(lines, line);) parseDirective(script, line);
    return script;
}

std::vector<std::string> scriptFiles() {
    std::vector<std::string> files;
    if (DIR* dir = opendir(QX_TEST_SCRIPTS_DIR)) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 3 && name.compare(name.size() - 3, 3, ".qx") == 0) files.push_back(name);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool sameValue(double actual, double expected, bool approximate) {
    if (std::isnan(expected)) return std::isnan(actual);
    if (actual == expected) return true;
    if (!approximate) return false;
    return std::fabs(actual - expected) <= 1e-9 * std::max(1.0, std::fabs(expected));
}

void checkExpectation(CQXCompiler& qx, const Expectation& e) {
    CQXVariable* var = qx.getVar(e.name);
    ASSERT_NE(var, nullptr) << "no global variable " << e.name;
    ASSERT_EQ(var->getRows(), static_cast<int>(e.rows.size())) << e.name << " rows";
    for (size_t r = 0; r < e.rows.size(); ++r) {
        ASSERT_EQ(var->getCols(), static_cast<int>(e.rows[r].size())) << e.name << " cols";
        for (size_t c = 0; c < e.rows[r].size(); ++c) {
            double actual = var->getData(static_cast<int>(r), static_cast<int>(c));
            EXPECT_TRUE(sameValue(actual, e.rows[r][c], e.approximate))
                << e.name << "[" << r << "][" << c << "] = " << actual << ", expected "
                << e.rows[r][c];
        }
    }
}

class ScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, RunsAsItsCommentsExpect) {
    Script script = loadScript(std::string(QX_TEST_SCRIPTS_DIR) + "/" + GetParam());
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    if (script.noClipping) qx.setClipping(false);
    if (script.noSmartError) qx.setSmartError(false);
    bool compiled = qx.runCompiler(script.text);
    if (script.hasCompileError) {
        EXPECT_FALSE(compiled);
        EXPECT_EQ(qx.getError(), script.compileError);
        return;
    }
    ASSERT_TRUE(compiled) << qx.getError();
    for (int run = 0; run < script.runs; ++run) {
        bool ran = qx.runInterpreter();
        if (script.hasRuntimeError) {
            EXPECT_FALSE(ran);
            EXPECT_EQ(qx.getException(), script.runtimeError);
        } else {
            ASSERT_TRUE(ran) << qx.getException();
        }
    }
    for (const Expectation& e : script.expectations) checkExpectation(qx, e);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 3);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scriptFiles()), testName);

}  // namespace
