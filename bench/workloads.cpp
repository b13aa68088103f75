// Generator of the long script that the compile benchmark (W4) translates, in the qx language
// and in Lua, line for line the same program.
#include "workloads.h"

#include <string>

namespace workload {

namespace {

std::string num(int k) {
    return std::to_string(k);
}

}  // namespace

std::string qxScript(int lines) {
    std::string text = "double i;\n";
    for (int k = 0; k * 10 + 1 < lines; ++k) {
        const std::string v = "v" + num(k), w = "w" + num(k), m = "m" + num(k);
        text += "double " + v + ", " + w + ", " + m + "[2][2];\n";
        text += v + " = " + num(k) + " * 2 + 1;\n";
        text += w + " = (" + v + " - 3) / 2 + " + v + " * " + v + ";\n";
        text += m + " = [" + v + ", " + w + "; 1, 2];\n";
        text += "if (" + v + " > " + w + ") { " + w + " = " + v + "; } else { " + v + " = " + w +
                " + 1; }\n";
        text += "for (i = 0; i < 3; i++;) { " + v + " += i; }\n";
        text += "while (" + w + " > 100) { " + w + " = " + w + " / 2; }\n";
        text += w + " = sqrt(fabs(" + v + ")) + max(" + v + ", " + w + ");\n";
        text += m + " = " + m + " * 2 + transpose(" + m + ");\n";
        text += "// block " + num(k) + "\n";
    }
    return text;
}

std::string luaScript(int lines) {
    std::string text =
        "local function transpose(m) return {{m[1][1], m[2][1]}, {m[1][2], m[2][2]}} end\n";
    text +=
        "local function madd2(a, k, b) return {{a[1][1]*k + b[1][1], a[1][2]*k + b[1][2]}, "
        "{a[2][1]*k + b[2][1], a[2][2]*k + b[2][2]}} end\n";
    for (int k = 0; k * 10 + 2 < lines; ++k) {
        const std::string v = "v" + num(k), w = "w" + num(k), m = "m" + num(k);
        text += v + ", " + w + ", " + m + " = 0, 0, {{0, 0}, {0, 0}}\n";
        text += v + " = " + num(k) + " * 2 + 1\n";
        text += w + " = (" + v + " - 3) / 2 + " + v + " * " + v + "\n";
        text += m + " = {{" + v + ", " + w + "}, {1, 2}}\n";
        text += "if " + v + " > " + w + " then " + w + " = " + v + " else " + v + " = " + w +
                " + 1 end\n";
        text += "for i = 0, 2 do " + v + " = " + v + " + i end\n";
        text += "while " + w + " > 100 do " + w + " = " + w + " / 2 end\n";
        text += w + " = math.sqrt(math.abs(" + v + ")) + math.max(" + v + ", " + w + ")\n";
        text += m + " = madd2(" + m + ", 2, transpose(" + m + "))\n";
        text += "-- block " + num(k) + "\n";
    }
    return text;
}

}  // namespace workload
