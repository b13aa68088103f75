// Light scanning of qx text for the REPL: skips strings and comments the way the lexer does
// (strings have no escapes, comments do not nest) and counts brackets or collects names.
#include "entry_scan.h"

#include <qx/qx.h>

#include <algorithm>

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
// visit, and for every complete string the indices of its quotes to onString; afterwards tells
// whether the text ended inside a string or a block comment.
template <class Visit, class OnString>
bool scanCode(const std::string& text, Visit visit, OnString onString) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) return true;
            onString(i, close);
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

template <class Visit>
bool scanCode(const std::string& text, Visit visit) {
    return scanCode(text, visit, [](size_t, size_t) {});
}

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
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

bool insideFunctionBody(const std::string& text, int line, int column) {
    if (line < 1 || column < 0) return false;
    size_t target = 0;
    for (int n = 1; n < line; ++n) {
        target = text.find('\n', target);
        if (target == std::string::npos) return false;
        ++target;
    }
    target += static_cast<size_t>(column);
    long long depth = 0;
    long long bodyDepth = -1;  // the depth of the body being scanned; -1 outside bodies
    size_t bodyStart = 0;
    bool afterFunc = false;
    bool inside = false;
    scanCode(text, [&](size_t i) {
        char c = text[i];
        if (isNameStart(c)) {
            size_t j = nameEnd(text, i);
            if (text.compare(i, j - i, "func") == 0) afterFunc = true;
            return j;
        }
        if (c == '{') {
            ++depth;
            if (afterFunc && bodyDepth < 0) {
                bodyDepth = depth;
                bodyStart = i;
            }
            afterFunc = false;
        } else if (c == '}') {
            if (depth == bodyDepth) {
                inside = inside || (target > bodyStart && target <= i);
                bodyDepth = -1;
            }
            --depth;
        }
        return i + 1;
    });
    // A body still open at the end of the text reaches to its end.
    return inside || (bodyDepth >= 0 && target > bodyStart);
}

size_t lastCodeChar(const std::string& text) {
    size_t last = std::string::npos;
    scanCode(
        text,
        [&](size_t i) {
            if (!isWhiteSpace(text[i])) last = i;
            return i + 1;
        },
        [&](size_t, size_t close) { last = close; });
    return last;
}

bool mayBeExpression(const std::string& text) {
    size_t last = lastCodeChar(text);
    if (last == std::string::npos) return false;
    const std::string body = text.substr(0, text[last] == ';' ? last : text.size());
    if (lastCodeChar(body) == std::string::npos) return false;
    bool expression = true;
    long long depth = 0;  // a ';' inside brackets joins the rows of a matrix literal
    scanCode(body, [&](size_t i) {
        char c = body[i];
        char next = i + 1 < body.size() ? body[i + 1] : '\0';
        if (isNameStart(c)) {
            size_t j = nameEnd(body, i);
            if (CQXParser::isReservedWord(body.substr(i, j - i))) expression = false;
            return j;
        }
        bool comparison = c == '=' || c == '!' || c == '<' || c == '>';
        if (comparison && next == '=') return i + 2;  // == != <= >=
        if (c == '(' || c == '[') ++depth;
        if (c == ')' || c == ']') --depth;
        if ((c == ';' && depth <= 0) || c == '{' || c == '}' || c == '=') expression = false;
        if (next == '=' && (c == '+' || c == '-' || c == '*' || c == '/')) expression = false;
        if ((c == '+' || c == '-') && next == c) expression = false;
        return i + 1;
    });
    return expression;
}

std::vector<sFunctionText> functionDefinitions(const std::string& text) {
    std::vector<sFunctionText> found;
    size_t start = std::string::npos;  // where the definition being read began
    std::string name;
    bool wantName = false;
    long long depth = 0;
    long long bodyDepth = -1;  // the depth of the body being read; -1 outside bodies
    scanCode(text, [&](size_t i) {
        char c = text[i];
        if (isNameStart(c)) {
            size_t j = nameEnd(text, i);
            std::string word = text.substr(i, j - i);
            if (wantName) name = word;
            wantName = word == "func" && bodyDepth < 0;
            if (wantName) start = i;
            return j;
        }
        if (!isWhiteSpace(c)) wantName = false;
        if (c == '{') {
            ++depth;
            if (start != std::string::npos && bodyDepth < 0) bodyDepth = depth;
        } else if (c == '}') {
            if (depth == bodyDepth) {
                found.push_back({name, text.substr(start, i + 1 - start)});
                start = std::string::npos;
                bodyDepth = -1;
            }
            --depth;
        }
        return i + 1;
    });
    return found;
}

namespace {

// The indices of the brackets opened before index end of text and not closed before it.
std::vector<size_t> openBrackets(const std::string& text, size_t end) {
    std::vector<size_t> open;
    const std::string code = text.substr(0, end);
    scanCode(code, [&](size_t i) {
        const char c = code[i];
        if (c == '(' || c == '[' || c == '{') open.push_back(i);
        if ((c == ')' || c == ']' || c == '}') && !open.empty()) open.pop_back();
        return i + 1;
    });
    return open;
}

}  // namespace

bool lastOpenBracket(const std::string& text, char& bracket, int& line, int& column) {
    const std::vector<size_t> open = openBrackets(text, text.size());
    if (open.empty()) return false;
    const size_t at = open.back();
    bracket = text[at];
    line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    const size_t feed = text.rfind('\n', at);
    column = static_cast<int>(feed == std::string::npos ? at : at - feed - 1);
    return true;
}

bool enclosingCall(const std::string& text, size_t at, std::string& name) {
    const std::vector<size_t> open = openBrackets(text, std::min(at, text.size()));
    if (open.empty() || text[open.back()] != '(') return false;
    size_t end = open.back();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    size_t start = end;
    while (start > 0 && (isNameChar(text[start - 1]) || text[start - 1] == ':')) --start;
    if (start == end || !isNameStart(text[start])) return false;
    name = text.substr(start, end - start);
    return true;
}
