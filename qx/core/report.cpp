// Error reports for people: which source line an error record refers to, where the caret goes
// in it (under the token at the lexer's stored position), and one line per call of a run-time
// error's trace.
#include "qx/core/report.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const kAccessing = " accessing Variable ";

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isNameChar(char c) {
    return isNameStart(c) || isDigit(c) || c == ':';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Index of the first character of line `line` (from 1); npos when the source is shorter.
size_t lineBegin(const std::string& source, int line) {
    size_t start = 0;
    for (int n = 1; n < line; ++n) {
        size_t feed = source.find('\n', start);
        if (feed == std::string::npos) return std::string::npos;
        start = feed + 1;
    }
    return start;
}

// True when the line feed at index feed ends a comment or lies in a comment or a string, as the
// lexer reads the text before it: then the next line's positions count from its first
// character, not from the feed.
bool feedInsideText(const std::string& source, size_t feed) {
    size_t i = 0;
    while (i < feed) {
        char c = source[i];
        char next = i + 1 < source.size() ? source[i + 1] : '\0';
        size_t close = std::string::npos;
        if (c == '"') {
            close = source.find('"', i + 1);
            if (close == std::string::npos || close > feed) return true;
        } else if (c == '/' && next == '/') {
            close = source.find('\n', i);
            if (close == feed) return true;
        } else if (c == '/' && next == '*') {
            close = source.find("*/", i + 2);
            if (close == std::string::npos || close + 1 > feed) return true;
            ++close;
        } else if (c == '.' && next == '/') {
            close = i + 1;  // the operator ./ starts no comment
        }
        i = close == std::string::npos ? i + 1 : close + 1;
    }
    return false;
}

// The start of the operator of up to three characters that ends just before end.
int operatorStart(const std::string& line, int end) {
    static const char* const kLong[] = {"&&.", "||.", "!=.", "==", "!=", "<=", ">=", "&&", "||",
                                        "++",  "--",  "+=",  "-=", "*=", "/=", ".*", "./"};
    for (const char* op : kLong) {
        int length = static_cast<int>(std::strlen(op));
        if (end >= length && line.compare(end - length, length, op) == 0) return end - length;
    }
    return end - 1;
}

// The start of the name or number that ends just before end ('.' inside a number included).
int wordStart(const std::string& line, int end) {
    int i = end;
    while (i > 0) {
        char c = line[i - 1];
        bool numberDot = c == '.' && i >= 2 && isDigit(line[i - 2]);
        if (!isNameChar(c) && !numberDot) break;
        --i;
    }
    return i;
}

// The last whole-name mention of name that starts before limit; -1 when there is none.
int lastMention(const std::string& line, const std::string& name, int limit) {
    int found = -1;
    for (size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + 1)) {
        int start = static_cast<int>(at);
        size_t after = at + name.size();
        bool whole = (at == 0 || !isNameChar(line[at - 1])) &&
                     (after >= line.size() || !isNameChar(line[after]));
        if (whole && start < limit) found = start;
    }
    return found;
}

// Cuts a long line to a window around the caret, marking the cuts with "...", and moves the
// caret column with it.
void cutToWindow(std::string& text, int& column) {
    const size_t shown = CQXReport::kMaxShownLine;
    if (text.size() <= shown) return;
    size_t half = shown / 2;
    size_t first = static_cast<size_t>(column) > half ? column - half : 0;
    size_t last = std::min(text.size(), first + shown);
    std::string window = text.substr(first, last - first);
    if (first > 0) {
        window = "..." + window;
        column = column - static_cast<int>(first) + 3;
    }
    if (last < text.size()) window += "...";
    text = window;
}

std::string caretLine(const std::string& lineText, int column) {
    std::string out;
    for (int i = 0; i < column; ++i) out += lineText[i] == '\t' ? '\t' : ' ';
    return out + "^";
}

}  // namespace

bool CQXReport::sourceLine(const std::string& source, int line, std::string& text) {
    if (line < 1) return false;
    size_t start = lineBegin(source, line);
    if (start == std::string::npos) return false;
    size_t end = source.find('\n', start);
    text = source.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return true;
}

int CQXReport::cursorColumn(const std::string& source, int line, int pos) {
    std::string text;
    if (!sourceLine(source, line, text)) return 0;
    // Computed in 64 bits: a stored position may be INT_MIN in a damaged record.
    long long column = pos;
    if (line > 1 && !feedInsideText(source, lineBegin(source, line) - 1)) --column;
    long long length = static_cast<long long>(text.size());
    return static_cast<int>(std::max(0LL, std::min(column, length)));
}

int CQXReport::tokenColumn(const std::string& lineText, int cursor, const std::string& varName) {
    const int length = static_cast<int>(lineText.size());
    int c = std::max(0, std::min(cursor, length));
    if (!varName.empty()) {
        int mention = lastMention(lineText, varName, c);
        if (mention >= 0) return mention;
    }
    bool onWord = c < length && (isNameStart(lineText[c]) || isDigit(lineText[c]));
    if (onWord && (c == 0 || !isNameChar(lineText[c - 1]))) return c;
    if (c == 0 || isBlank(lineText[c - 1])) return c;
    char before = lineText[c - 1];
    if (isNameChar(before)) return wordStart(lineText, c);
    return operatorStart(lineText, c);
}

std::string CQXReport::variableNamed(const std::string& text) {
    size_t at = text.rfind(kAccessing);
    return at == std::string::npos ? std::string() : text.substr(at + std::strlen(kAccessing));
}

std::string CQXReport::format(const std::string& text, const std::string& source, int line,
                              int pos) {
    std::string out = text + "\n";
    std::string lineText;
    if (line == -1 || !sourceLine(source, line, lineText)) return out;
    int column = tokenColumn(lineText, cursorColumn(source, line, pos), variableNamed(text));
    cutToWindow(lineText, column);
    std::string number = std::to_string(line);
    out += "  " + number + " | " + lineText + "\n";
    out += "  " + std::string(number.size(), ' ') + " | " + caretLine(lineText, column) + "\n";
    return out;
}

std::string CQXReport::formatTrace(const std::vector<sCallSite>& trace) {
    std::string out;
    for (const sCallSite& site : trace) {
        if (site.m_Function.empty()) continue;
        out += "  in " + site.m_Function;
        out += site.m_Line == -1 ? ", called by the host\n"
                                 : ", called at line " + std::to_string(site.m_Line) + "\n";
    }
    return out;
}
