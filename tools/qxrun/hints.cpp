// Hint lines under error reports: each hint looks at the library's error type and detail and at
// the source around the reported place, and says what usually causes that error.
#include "hints.h"

#include <algorithm>
#include <vector>

#include "entry_scan.h"

namespace {

const char* const kUnknownIdent = "Unknown Identifier";
const char* const kName = "\nName= ";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Index in source of the stored position pos on line `line`.
size_t offsetOf(const std::string& source, int line, int pos) {
    size_t start = 0;
    for (int n = 1; n < line && start != std::string::npos; ++n) {
        start = source.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return source.size();
    return std::min(source.size(), start + CQXReport::cursorColumn(source, line, pos));
}

std::vector<std::string> knownNames(CQXCompiler& qx) {
    std::vector<std::string> names;
    for (int i = 0; i < qx.getFuncCount(); ++i) names.push_back(qx.getFunc(i)->getName());
    for (int i = 0; i < qx.getVarCount(); ++i) names.push_back(qx.getVar(i)->getName());
    return names;
}

// The first non-blank character after index at, or '\0'.
char nextCode(const std::string& source, size_t at) {
    size_t next = source.find_first_not_of(" \t\r\n", at);
    return next == std::string::npos ? '\0' : source[next];
}

std::string unknownNameHint(CQXCompiler& qx, const std::string& name, const std::string& source,
                            size_t after) {
    if (name == "help" || name == "exit" || name == "quit")
        return "hint: the commands of the session start with ':' (:help, :quit; Ctrl-D "
               "leaves)\n";
    const std::string close = closestName(name, knownNames(qx));
    if (!close.empty()) return "hint: did you mean " + close + "?\n";
    const char next = nextCode(source, after);
    if (next == '=' || next == '[')
        return "hint: a variable is declared before it is used: double " + name + "; (or double " +
               name + "[]; for a matrix that takes the shape of what is assigned)\n";
    if (next == '(') return "hint: no function " + name + " is defined (:funcs lists them)\n";
    return std::string();
}

// The line of the last code before index at, when it lies on an earlier line than at.
int previousCodeLine(const std::string& source, size_t at) {
    size_t last = lastCodeChar(source.substr(0, at));
    if (last == std::string::npos) return 0;
    const int lastLine =
        1 + static_cast<int>(std::count(source.begin(), source.begin() + last, '\n'));
    const int atLine = 1 + static_cast<int>(std::count(source.begin(), source.begin() + at, '\n'));
    return lastLine < atLine ? lastLine : 0;
}

std::string openBracketHint(const std::string& source) {
    int line = 0;
    int column = 0;
    char bracket = '\0';
    if (!lastOpenBracket(source, bracket, line, column)) return std::string();
    const char closing = bracket == '(' ? ')' : bracket == '[' ? ']' : '}';
    return std::string("hint: the '") + bracket + "' on line " + std::to_string(line) +
           ", column " + std::to_string(column + 1) + " is not closed; a '" + closing +
           "' is missing\n";
}

// ") or } or ] expected" at a ',' inside a call: more arguments than the function takes.
std::string argumentCountHint(CQXCompiler& qx, const std::string& source, size_t at) {
    std::string name;
    if (!enclosingCall(source, at, name)) return std::string();
    CQXFunction* func = qx.getFunc(name);
    if (func == nullptr) return std::string();
    const int count = func->getParamCount();
    return "hint: " + name + " takes " + std::to_string(count) +
           (count == 1 ? " argument\n" : " arguments\n");
}

}  // namespace

std::string closestName(const std::string& name, const std::vector<std::string>& candidates) {
    // A name of one or two letters is close to too many others to guess from.
    std::string best;
    if (name.size() < 3) return best;
    size_t bestDistance = name.size() / 3 + 1;
    for (const std::string& candidate : candidates) {
        if (candidate == name || !CQXParser::isName(candidate)) continue;
        const size_t distance = editDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string compileHint(CQXCompiler& qx, const std::string& text, const std::string& source,
                        int line, int pos) {
    const size_t at = offsetOf(source, line, pos);
    if (startsWith(text, kUnknownIdent)) {
        const size_t name = text.find(kName);
        if (name == std::string::npos) return std::string();
        return unknownNameHint(qx, text.substr(name + 7), source, at);
    }
    if (contains(text, "colon expected")) {
        const int missing = previousCodeLine(source, at);
        if (missing > 0)
            return "hint: a ';' is missing at the end of line " + std::to_string(missing) + "\n";
        return std::string();
    }
    if (contains(text, "unexpected end. missing bracket?")) return openBracketHint(source);
    if (startsWith(text, CQXError::typeText(etCLOSEEXPECTED))) {
        if (at > 0 && source[at - 1] == ',') return argumentCountHint(qx, source, at - 1);
    }
    return std::string();
}

bool isOutOfMemory(const std::string& text) {
    return contains(text, "Unknown Exception");
}

std::string runHint(const std::string& text) {
    if (isOutOfMemory(text)) return "hint: out of memory: the values are too large to allocate\n";
    return std::string();
}
