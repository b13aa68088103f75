// Error reports on the text the user typed: locations in the compiled text moved onto it, and
// the location part of the library's text rewritten to match.
#include "diagnostics.h"

#include <algorithm>

// The lexer counts the last line's positions from its first character or from the line feed
// before it (CQXReport::cursorColumn); one character more on that line tells which.
int endPosition(const std::string& source) {
    const int line = 1 + static_cast<int>(std::count(source.begin(), source.end(), '\n'));
    const size_t feed = source.rfind('\n');
    const int length =
        static_cast<int>(feed == std::string::npos ? source.size() : source.size() - feed - 1);
    const int probed = CQXReport::cursorColumn(source + "x", line, length + 1);
    return length + (length + 1 - probed);
}

void mapToShown(const std::string& shown, int prefix, int& line, int& pos) {
    if (line == -1) return;
    int lines = 1 + static_cast<int>(std::count(shown.begin(), shown.end(), '\n'));
    if (line > lines) {
        line = lines;
        pos = endPosition(shown);
    } else if (line == 1) {
        pos = std::max(0, pos - prefix);
    }
}

std::string relocateText(const std::string& text, int line, int pos, int newLine, int newPos) {
    auto part = [](int l, int p) {
        return " on line " + std::to_string(l) + ", position " + std::to_string(p - 1LL) + ".";
    };
    std::string old = part(line, pos);
    size_t at = line == -1 ? std::string::npos : text.find(old);
    if (at == std::string::npos) return text;
    return text.substr(0, at) + part(newLine, newPos) + text.substr(at + old.size());
}

std::string shownReport(const std::string& text, int line, int pos, const sShownText& shown) {
    int shownLine = line;
    int shownPos = pos;
    mapToShown(shown.m_Text, shown.m_Prefix, shownLine, shownPos);
    return CQXReport::format(relocateText(text, line, pos, shownLine, shownPos), shown.m_Text,
                             shownLine, shownPos);
}
