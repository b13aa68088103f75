// Light scanning of qx text for the REPL: skips strings and comments the way the lexer does
// (strings have no escapes, comments do not nest) and counts brackets or collects names.
#include "entry_scan.h"

namespace {

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}

// The end of the name that starts at i; like the lexer, a colon belongs to the name unless a
// second colon follows it.
size_t nameEnd(const std::string& text, size_t i) {
    while (i < text.size()) {
        bool colon = text[i] == ':' && (i + 1 == text.size() || text[i + 1] != ':');
        if (!isNameChar(text[i]) && !colon) break;
        ++i;
    }
    return i;
}

// Walks text and reports, for every character outside strings and comments, its index to
// visit; afterwards tells whether the text ended inside a string or a block comment.
template <class Visit>
bool scanCode(const std::string& text, Visit visit) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) return true;
            i = close + 1;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            size_t feed = text.find('\n', i);
            i = feed == std::string::npos ? n : feed + 1;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            size_t close = text.find("*/", i + 2);
            if (close == std::string::npos) return true;
            i = close + 2;
        } else {
            i = visit(i);
        }
    }
    return false;
}

}  // namespace

bool entryNeedsMore(const std::string& text) {
    long long depth = 0;
    bool open = scanCode(text, [&](size_t i) {
        char c = text[i];
        if (c == '(' || c == '[' || c == '{') ++depth;
        if (c == ')' || c == ']' || c == '}') --depth;
        return i + 1;
    });
    return open || depth > 0;
}

std::vector<std::string> namesIn(const std::string& text) {
    std::vector<std::string> names;
    scanCode(text, [&](size_t i) {
        if (!isNameStart(text[i])) {
            // Digits glued to letters (1e5, 0x1f) belong to a number, not to a name.
            size_t j = i;
            while (j < text.size() && isNameChar(text[j])) ++j;
            return j > i ? j : i + 1;
        }
        size_t j = nameEnd(text, i);
        names.push_back(text.substr(i, j - i));
        return j;
    });
    return names;
}

std::vector<std::string> definedFunctions(const std::string& text) {
    std::vector<std::string> names = namesIn(text);
    std::vector<std::string> defined;
    for (size_t i = 0; i + 1 < names.size(); ++i)
        if (names[i] == "func") defined.push_back(names[i + 1]);
    return defined;
}
