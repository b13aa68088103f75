// Value text of qxrun: numbers in their shortest round-trip form, matrices as qx matrix
// literals with aligned columns, and the "name = value;" lines of the listing after a run.
#include "printer.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

const char* const kReservedWords[] = {"func", "return", "if",       "while", "for",
                                      "else", "break",  "continue", "byte",  "short",
                                      "int",  "float",  "double"};

bool isIntegerType(eDataType type) {
    return type == edtBYTE || type == edtSHORT || type == edtINT;
}

// std::to_chars without a precision gives the shortest text that reads back to the same
// value, and it does not depend on the locale.
template <class T>
std::string shortest(T value) {
    char buffer[64];
    std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}

// The cells of a matrix as text, row by row, and the width of each column.
struct sCells {
    std::vector<std::vector<std::string>> text;
    std::vector<size_t> width;
};

sCells collectCells(const CQXVariable& var) {
    sCells cells;
    cells.width.assign(static_cast<size_t>(var.getCols()), 0);
    for (int r = 0; r < var.getRows(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < var.getCols(); ++c) {
            row.push_back(formatNumber(var.getData(r, c), var.getDataType()));
            if (row.back().size() > cells.width[c]) cells.width[c] = row.back().size();
        }
        cells.text.push_back(row);
    }
    return cells;
}

// Several rows: pad every cell on the left to its column's width.
std::string layoutRows(const sCells& cells, size_t indent) {
    std::string out = "[";
    for (size_t r = 0; r < cells.text.size(); ++r) {
        if (r > 0) out += ";\n" + std::string(indent + 1, ' ');
        for (size_t c = 0; c < cells.text[r].size(); ++c) {
            if (c > 0) out += ", ";
            out += std::string(cells.width[c] - cells.text[r][c].size(), ' ');
            out += cells.text[r][c];
        }
    }
    return out + "]";
}

// One row needs no padding: the cells are simply listed.
std::string layoutRow(const sCells& cells) {
    std::string out = "[";
    for (size_t c = 0; c < cells.text[0].size(); ++c) {
        if (c > 0) out += ", ";
        out += cells.text[0][c];
    }
    return out + "]";
}

bool holdsOnlyFiniteValues(const CQXVariable& var) {
    for (int r = 0; r < var.getRows(); ++r) {
        for (int c = 0; c < var.getCols(); ++c)
            if (!std::isfinite(var.getData(r, c))) return false;
    }
    return true;
}

// Turns every line of text into a comment line.
std::string commentOut(const std::string& text) {
    std::string out = "// ";
    for (char c : text) {
        out += c;
        if (c == '\n') out += "// ";
    }
    return out;
}

// A name with unprintable bytes shown as \xNN, for comment lines.
std::string printableName(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string formatNumber(double value, eDataType type) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (isIntegerType(type)) return shortest(static_cast<long long>(value));
    if (type == edtFLOAT) return shortest(static_cast<float>(value));
    return shortest(value);
}

std::string formatValue(const CQXVariable& var, size_t indent) {
    if (var.getRows() < 1 || var.getCols() < 1) return "[]";
    if (var.getRows() == 1 && var.getCols() == 1)
        return formatNumber(var.getData(0, 0), var.getDataType());
    sCells cells = collectCells(var);
    return var.getRows() == 1 ? layoutRow(cells) : layoutRows(cells, indent);
}

std::string formatAssignment(const CQXVariable& var) {
    std::string name = var.getName();
    if (!isScriptName(name)) {
        std::string head = "variable \"" + printableName(name) + "\" = ";
        return commentOut(head + formatValue(var, head.size()) + ";");
    }
    if (var.getRows() < 1 || var.getCols() < 1) return "// " + name + " is empty";
    std::string text = name + " = " + formatValue(var, name.size() + 3) + ";";
    if (holdsOnlyFiniteValues(var)) return text;
    return "// " + name + " cannot be written as qx text (it holds inf or nan):\n" +
           commentOut(text);
}

bool isScriptName(const std::string& text) {
    if (text.empty() || !isNameStart(text[0])) return false;
    for (size_t i = 1; i < text.size(); ++i) {
        // The lexer keeps a colon inside a name unless a second colon follows it.
        bool colon = text[i] == ':' && (i + 1 == text.size() || text[i + 1] != ':');
        if (!isNameChar(text[i]) && !colon) return false;
    }
    for (const char* word : kReservedWords)
        if (text == word) return false;
    return true;
}
