// qxwords: the words of the qx language as the library knows them, for the editor grammar and the
// playground (editors/qx-words.json). Reserved words, methods, standard functions and constants
// come from the library's own lists; a declaration probe tells the type names from the other
// reserved words, and resize (the one method of assignment targets) is confirmed by a compile.
//   qxwords               prints the list as JSON
//   qxwords --check FILE  exits 1 when FILE differs from what would be printed
#include <qx/qx.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool compiles(const std::string& script) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    return qx.runCompiler(script);
}

struct sWords {
    Words keywords, types, functions, constants, methods;
};

// Splits the reserved words into type names (a declaration takes them) and the other keywords.
void readReserved(sWords& out) {
    for (const std::string& word : CQXParser::reservedWords())
        (compiles(word + " probe;") ? out.types : out.keywords).push_back(word);
}

// The methods of operands, then the one of assignment targets; false when resize is no longer
// what the assignment compiler takes.
bool readMethods(sWords& out) {
    out.methods = CQXCompiler::methodNames();
    out.methods.push_back("resize");
    return compiles("double probe[]; probe.resize(1, 1);");
}

void readLibrary(sWords& out) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    for (int i = 0; i < qx.getFuncCount(); ++i) out.functions.push_back(qx.getFunc(i)->getName());
    for (int i = 0; i < qx.getVarCount(); ++i) out.constants.push_back(qx.getVar(i)->getName());
}

// One member of the JSON object: its array wrapped before column 100, continuation lines
// aligned after the opening bracket.
std::string member(const std::string& key, const Words& words, bool last = false) {
    std::string out = "  \"" + key + "\": [";
    const size_t indent = out.size();
    size_t column = indent;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string item = "\"" + words[i] + "\"" + (i + 1 < words.size() ? "," : "]");
        if (i > 0 && column + 1 + item.size() > 99) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (i > 0) {
            out += " ";
            ++column;
        }
        out += item;
        column += item.size();
    }
    return out + (words.empty() ? "]" : "") + (last ? "\n" : ",\n");
}

std::string json(const sWords& w) {
    return "{\n" + member("keywords", w.keywords) + member("types", w.types) +
           member("functions", w.functions) + member("constants", w.constants) +
           member("methods", w.methods, true) + "}\n";
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 1 && !check) {
        std::cerr << "usage: qxwords [--check FILE]\n";
        return 64;
    }
    sWords words;
    readReserved(words);
    if (!readMethods(words)) {
        std::cerr << "qxwords: the library no longer takes .resize on an assignment target\n";
        return 2;
    }
    readLibrary(words);
    const std::string text = json(words);
    if (!check) {
        std::cout << text;
        return 0;
    }
    if (readFile(argv[2]) == text) return 0;
    std::cerr << argv[2] << " is stale: the library's words changed. Regenerate it and the grammar "
              << "with scripts/web.sh words\n";
    return 1;
}
