// The "name = value;" lines of qxrun's listing after a run, with the value as the library writes
// it as qx text, and comment lines where no qx text gives the value back.
#include "printer.h"

#include <cmath>

namespace {

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

std::string formatAssignment(const CQXVariable& var, long long maxElements) {
    std::string name = var.getName();
    if (!CQXParser::isName(name)) {
        std::string head = "variable \"" + printableName(name) + "\" = ";
        return commentOut(head + var.toText(static_cast<int>(head.size()), maxElements) + ";");
    }
    if (var.getRows() < 1 || var.getCols() < 1) return "// " + name + " is empty";
    std::string value = var.toText(static_cast<int>(name.size() + 3), maxElements);
    // A value shown in part ends in a comment, which the ';' goes before.
    const size_t part = value.rfind("] // ");
    if (part != std::string::npos) value.insert(part + 1, ";");
    std::string text = name + " = " + value + (part != std::string::npos ? "" : ";");
    if (holdsOnlyFiniteValues(var)) return text;
    return "// " + name + " cannot be written as qx text (it holds inf or nan):\n" +
           commentOut(text);
}
