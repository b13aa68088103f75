// qxwords: the words of the qx language as the library knows them, for the editor grammar and the
// playground (editors/qx-words.json). The standard functions and constants come from a compiler
// object with the standard library loaded; the reserved words and the methods, which the library
// keeps in tables of its lexer and its operand compiler (and resize, which the assignment
// compiler names), are read from the sources and each is confirmed by the library itself (the lexer
// reserves it, a declaration takes it as a type, a method call compiles).
//   qxwords SOURCE_DIR               prints the list as JSON
//   qxwords SOURCE_DIR --check FILE  exits 1 when FILE differs from what would be printed
#include <qx/qx.h>

#include <fstream>
#include <iostream>
#include <regex>
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

// The quoted names in the source file between the first `from` and the next `to` after it.
Words quotedNames(const std::string& file, const std::string& from, const std::string& to) {
    const std::string text = readFile(file);
    const size_t start = text.find(from);
    const size_t end = start == std::string::npos ? start : text.find(to, start + from.size());
    Words words;
    if (start == std::string::npos || end == std::string::npos) return words;
    const std::string body = text.substr(start, end - start);
    static const std::regex kQuoted("\"([A-Za-z_][A-Za-z0-9_]*)\"");
    for (std::sregex_iterator it(body.begin(), body.end(), kQuoted), last; it != last; ++it)
        words.push_back((*it)[1]);
    return words;
}

// The lexer's constructor is for the compiler object; a derived class may make one.
class CWordLexer : public CQXParser {
public:
    bool reserves(const std::string& word) {
        std::string text = word;
        setBuffer(text);
        clear();
        return nextToken() == ttRESERVED;
    }
};

bool compiles(const std::string& script) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    return qx.runCompiler(script);
}

struct sWords {
    Words keywords, types, functions, constants, methods;
};

// Splits the reserved words into type names (a declaration takes them) and the other keywords;
// false when the lexer does not reserve one of them.
bool readReserved(const std::string& root, sWords& out) {
    CWordLexer lexer;
    const Words reserved = quotedNames(root + "/qx/lexer/lexer.cpp", "kReservedWords[]", "};");
    for (const std::string& word : reserved) {
        if (!lexer.reserves(word)) return false;
        (compiles(word + " probe;") ? out.types : out.keywords).push_back(word);
    }
    return !reserved.empty() && !lexer.reserves("probe");
}

// The methods of operands, then the one of assignment targets (resize), which the assignment
// compiler names where it reads it.
bool readMethods(const std::string& root, sWords& out) {
    out.methods = quotedNames(root + "/qx/compiler/operands.cpp", "kMethods[]", "};");
    for (const std::string& word : out.methods)
        if (!compiles("double probe, r; r = probe." + word + ";")) return false;
    const Words resize =
        quotedNames(root + "/qx/compiler/assignments.cpp", "getName(true) != ", ")");
    for (const std::string& word : resize) {
        if (!compiles("double probe[]; probe." + word + "(1, 1);")) return false;
        out.methods.push_back(word);
    }
    return !out.methods.empty() && !resize.empty() &&
           !compiles("double probe, r; r = probe.probe;");
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
    const bool check = argc == 4 && std::string(argv[2]) == "--check";
    if (argc != 2 && !check) {
        std::cerr << "usage: qxwords SOURCE_DIR [--check FILE]\n";
        return 64;
    }
    sWords words;
    if (!readReserved(argv[1], words) || !readMethods(argv[1], words)) {
        std::cerr << "qxwords: the reserved-word or method table in " << argv[1]
                  << " was not found or does not match what the library accepts\n";
        return 2;
    }
    readLibrary(words);
    const std::string text = json(words);
    if (!check) {
        std::cout << text;
        return 0;
    }
    if (readFile(argv[3]) == text) return 0;
    std::cerr << argv[3] << " is stale: the library's words changed. Regenerate it and the grammar "
              << "with scripts/web.sh words\n";
    return 1;
}
