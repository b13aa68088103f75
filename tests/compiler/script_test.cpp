// Golden script tests: every tests/scripts/*.qx is compiled and run with the standard library
// loaded; its expectations stand in comments inside the script:
//   // expect: NAME = VALUE          VALUE a number or a matrix [1, 2; 3, 4] (exact), nan, inf
//   // expect: NAME ~ VALUE          the same within a relative 1e-9
//   // expect compile error: TEXT    the full getError() text ("\n" stands for a line break)
//   // expect run-time error: TEXT   the full getException() text
//   // option: no-clipping | no-smart-error
//   // runs: N                       run the compiled program N times (default 1)
// A line "// ==== TITLE" starts a case: a file with cases runs each case as a script of its own,
// made of the lines before the first case (shared declarations) and the case's lines; every
// other line is left empty, so lines and positions are those of the file. Related failures,
// each with its own expected error, share one file this way.
// Each script runs once more for every host layout (tests/support/host_layouts.h), with its
// top-level globals lent by the host instead, and must come out exactly the same.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

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

// The text of case `which` (from 1; -1: the whole file): the shared lines, the case's own lines,
// and an empty line for every other line.
std::string caseText(const std::string& text, int which) {
    std::istringstream lines(text);
    std::string out;
    int current = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 7, "// ====") == 0) ++current;
        if (which < 0 || current == 0 || current == which) out += line;
        out += '\n';
    }
    return out;
}

int caseCount(const std::string& text) {
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, 7, "// ====") == 0) ++count;
    return count;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// A test parameter is "file.qx" or "file.qx#K" for case K of a file with cases.
Script loadScript(const std::string& param) {
    const size_t hash = param.find('#');
    Script script;
    script.path = std::string(QX_TEST_SCRIPTS_DIR) + "/" + param.substr(0, hash);
    const int which = hash == std::string::npos ? -1 : std::atoi(param.c_str() + hash + 1);
    script.text = caseText(readFile(script.path), which);
    std::istringstream lines(script.text);
    for (std::string line; std::getline(lines, line);) parseDirective(script, line);
    return script;
}

std::vector<std::string> scriptFiles() {
    std::vector<std::string> files;
    if (DIR* dir = opendir(QX_TEST_SCRIPTS_DIR)) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 3 && name.compare(name.size() - 3, 3, ".qx") == 0)
                files.push_back(name);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> params;
    for (const std::string& file : files) {
        const int cases = caseCount(readFile(std::string(QX_TEST_SCRIPTS_DIR) + "/" + file));
        if (cases == 0) params.push_back(file);
        for (int k = 0; k < cases; ++k) params.push_back(file + "#" + std::to_string(k + 1));
    }
    return params;
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
    Script script = loadScript(GetParam());
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

// ---- The same scripts over host variables laid out as real hosts lay them out ----

// A global declared at the top level of a script, which a host variable replaces.
struct Declared {
    std::string name;
    eDataType type = edtDOUBLE;
    int rows = 1;
    int cols = 1;
    bool resizable = false;
};

bool typeNamed(const std::string& word, eDataType& type) {
    static const char* const kTypes[] = {"byte", "short", "int", "float", "double"};
    for (int k = 0; k < 5; ++k) {
        if (word != kTypes[k]) continue;
        type = static_cast<eDataType>(edtBYTE + k);
        return true;
    }
    return false;
}

// The items of one declaration ("a, m[2][3], r[]"), all of element type `type`.
void parseItems(const std::string& items, eDataType type, std::vector<Declared>& out) {
    std::istringstream in(items);
    for (std::string item; std::getline(in, item, ',');) {
        Declared d;
        d.type = type;
        const size_t first = item.find_first_not_of(" \t\r\n");
        const size_t bracket = item.find('[');
        d.name = item.substr(first, item.find_first_of(" \t\r\n[", first) - first);
        if (bracket != std::string::npos) {
            const size_t second = item.find('[', bracket + 1);
            d.resizable = second == std::string::npos;
            if (!d.resizable) {
                d.rows = static_cast<int>(std::strtod(item.c_str() + bracket + 1, nullptr));
                d.cols = static_cast<int>(std::strtod(item.c_str() + second + 1, nullptr));
            }
        }
        out.push_back(d);
    }
}

// Takes the declarations outside every brace out of text, replacing them by blanks (line feeds
// stay), so that every other token keeps its line and position; returns what they declared.
std::vector<Declared> takeDeclarations(std::string& text) {
    std::vector<Declared> declared;
    int depth = 0;
    bool statementStart = true;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (text.compare(at, 2, "//") == 0) {
            at = std::min(text.find('\n', at), text.size());
        } else if (text.compare(at, 2, "/*") == 0) {
            at = std::min(text.find("*/", at + 2), text.size() - 2) + 2;
        } else if (c == '"') {
            at = std::min(text.find('"', at + 1), text.size() - 1) + 1;
            statementStart = false;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            size_t end = at;
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                ++end;
            eDataType type = edtDOUBLE;
            const size_t stop = text.find(';', end);
            if (depth == 0 && statementStart && stop != std::string::npos &&
                typeNamed(text.substr(at, end - at), type)) {
                parseItems(text.substr(end, stop - end), type, declared);
                for (size_t k = at; k <= stop; ++k)
                    if (text[k] != '\n') text[k] = ' ';
                end = stop + 1;
            } else {
                statementStart = false;
            }
            at = end;
        } else {
            if (c == '{') ++depth;
            if (c == '}') --depth;
            if (!std::isspace(static_cast<unsigned char>(c)))
                statementStart = c == ';' || c == '{' || c == '}';
            ++at;
        }
    }
    return declared;
}

std::string describeValue(double value) {
    if (std::isnan(value)) return "nan";
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

// What a host sees of one script: the compile and every run.
std::string describeRuns(CQXCompiler& qx, const Script& script, const std::string& text) {
    if (script.noClipping) qx.setClipping(false);
    if (script.noSmartError) qx.setSmartError(false);
    if (!qx.runCompiler(text)) return "compile: " + qx.getError() + "\n";
    std::string out;
    for (int run = 0; run < script.runs; ++run)
        out += "run: " + (qx.runInterpreter() ? std::string("ok") : qx.getException()) + "\n";
    return out;
}

// The named globals' element types, shapes and values.
std::string describeGlobals(CQXCompiler& qx, const std::vector<std::string>& names) {
    std::ostringstream out;
    for (const std::string& name : names) {
        CQXVariable* v = qx.getVar(name);
        out << name;
        if (v == nullptr) {
            out << " missing\n";
            continue;
        }
        out << " type " << v->getDataType() << " " << v->getRows() << "x" << v->getCols() << " [";
        for (int r = 0; r < v->getRows(); ++r)
            for (int c = 0; c < v->getCols(); ++c)
                out << (c > 0 ? ", " : r > 0 ? "; " : "") << describeValue(v->getData(r, c));
        out << "]\n";
    }
    return out.str();
}

std::vector<std::string> globalNames(CQXCompiler& qx) {
    std::vector<std::string> names;
    for (int i = 0; i < qx.getVarCount(); ++i) names.push_back(qx.getVar(i)->getName());
    std::sort(names.begin(), names.end());
    return names;
}

void addResizable(CQXCompiler& qx, const Declared& d) {
    switch (d.type) {
        case edtBYTE:
            qx.addResizeByteVar(d.name);
            break;
        case edtSHORT:
            qx.addResizeShortVar(d.name);
            break;
        case edtINT:
            qx.addResizeIntVar(d.name);
            break;
        case edtFLOAT:
            qx.addResizeFloatVar(d.name);
            break;
        default:
            qx.addResizeDoubleVar(d.name);
    }
}

// Host variables the scripts do not name, laid out among theirs: a matrix whose rows lie
// between the script's rows in the interleaved layout, and matrices without rows or columns.
void addBystanders(qxtest::CHostMatrices& host) {
    host.add({"hostNeighbour", edtDOUBLE, 3, 2, {1, 2, 3, 4, 5, 6}});
    host.add({"hostNoRows", edtINT, 0, 3, {}});
    host.add({"hostNoCols", edtFLOAT, 2, 0, {}});
    host.add({"hostNothing", edtBYTE, 0, 0, {}});
}

// Every global a script declares at its top level becomes a host variable: fixed shapes refer
// to host storage in each layout, `[]` ones are the host's resizable variables. The compile,
// every run and every global the script sees must come out exactly as with the script's own
// declarations, and afterwards the host's storage must be where the host put it.
TEST_P(ScriptTest, RunsTheSameOverHostVariablesInEveryLayout) {
    Script script = loadScript(GetParam());
    std::string expected;
    std::vector<std::string> names;
    {
        CQXCompiler qx;
        qx.loadStdFunctions();
        qx.loadStdVars();
        expected = describeRuns(qx, script, script.text);
        names = globalNames(qx);
        expected += describeGlobals(qx, names);
    }
    std::string text = script.text;
    const std::vector<Declared> declared = takeDeclarations(text);
    for (qxtest::eHostLayout layout : qxtest::kHostLayouts) {
        SCOPED_TRACE(qxtest::layoutName(layout));
        qxtest::CHostMatrices host(layout);
        for (const Declared& d : declared)
            if (!d.resizable) host.add({d.name, d.type, d.rows, d.cols, {}});
        addBystanders(host);
        host.build();
        CQXCompiler qx;
        qx.loadStdFunctions();
        qx.loadStdVars();
        std::vector<CQXVariable*> vars = host.addTo(qx);
        for (const Declared& d : declared)
            if (d.resizable) addResizable(qx, d);
        const std::string runs = describeRuns(qx, script, text);
        EXPECT_EQ(runs + describeGlobals(qx, names), expected);
        for (size_t i = 0; i < vars.size(); ++i)
            EXPECT_TRUE(host.refersTo(i, vars[i])) << host.desc(i).name;
        EXPECT_TRUE(host.guardsIntact());
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    name.erase(name.find(".qx"), 3);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scriptFiles()), testName);

}  // namespace
