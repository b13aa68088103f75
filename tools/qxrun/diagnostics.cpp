// Error reports of qxrun: error text, the source line the library reported and a caret under
// the reported position (see docs/language.md, "Running scripts", for the rule).
#include "diagnostics.h"

#include <algorithm>

namespace {

// Cuts a long line to a window around the caret, marking the cuts with "...", and moves the
// caret column with it.
void cutToWindow(std::string& text, int& column) {
    if (text.size() <= kMaxShownLine) return;
    size_t half = kMaxShownLine / 2;
    size_t first = static_cast<size_t>(column) > half ? column - half : 0;
    size_t last = std::min(text.size(), first + kMaxShownLine);
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

bool sourceLine(const std::string& source, int line, std::string& text) {
    if (line < 1) return false;
    size_t start = 0;
    for (int n = 1; n < line; ++n) {
        size_t feed = source.find('\n', start);
        if (feed == std::string::npos) return false;
        start = feed + 1;
    }
    size_t end = source.find('\n', start);
    text = source.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return true;
}

int caretColumn(int pos, const std::string& lineText) {
    // pos - 1 computed in 64 bits: a stored position may be INT_MIN in a damaged record.
    long long column = static_cast<long long>(pos) - 1;
    long long length = static_cast<long long>(lineText.size());
    return static_cast<int>(std::max(0LL, std::min(column, length)));
}

std::string renderDiagnostic(const std::string& text, const std::string& source, int line,
                             int pos) {
    std::string out = text + "\n";
    std::string lineText;
    if (line == -1 || !sourceLine(source, line, lineText)) return out;
    int column = caretColumn(pos, lineText);
    cutToWindow(lineText, column);
    std::string number = std::to_string(line);
    out += "  " + number + " | " + lineText + "\n";
    out += "  " + std::string(number.size(), ' ') + " | " + caretLine(lineText, column) + "\n";
    return out;
}

std::string renderTrace(const std::vector<sCallSite>& trace) {
    std::string out;
    for (const sCallSite& site : trace) {
        if (site.m_Function.empty()) continue;
        out += "  in " + site.m_Function;
        out += site.m_Line == -1 ? ", called by the host\n"
                                 : ", called at line " + std::to_string(site.m_Line) + "\n";
    }
    return out;
}
