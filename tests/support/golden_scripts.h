// The golden scripts of tests/scripts/*.qx as the tests that run them see them: every file and
// every case of a file with cases ("// ==== TITLE" lines), their directives ("// KIND: TEXT"),
// and their top-level declarations, which a host may lend instead. Needs QX_TEST_SCRIPTS_DIR.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qxtest {

using Lines = std::vector<std::string>;

inline Lines linesOf(const std::string& text) {
    std::istringstream in(text);
    Lines lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline bool isCaseTitle(const std::string& line) {
    return line.compare(0, 7, "// ====") == 0;
}

inline std::string readScript(const std::string& file) {
    std::ifstream in(std::string(QX_TEST_SCRIPTS_DIR) + "/" + file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// A script is named "file.qx" or "file.qx#K" for case K (from 1) of a file with cases. A case is
// made of the lines before the first case (shared declarations) and the case's lines; every
// other line before the case's last one is left empty, so lines and positions are those of the
// file, and the case's text ends with its last line.
inline std::string scriptText(const std::string& param) {
    const size_t hash = param.find('#');
    const std::string whole = readScript(param.substr(0, hash));
    if (hash == std::string::npos) return whole;
    const int which = std::atoi(param.c_str() + hash + 1);
    const Lines lines = linesOf(whole);
    std::string text;
    int current = 0;
    for (size_t k = 0; k < lines.size() && current + isCaseTitle(lines[k]) <= which; ++k) {
        current += isCaseTitle(lines[k]);
        text += (k > 0 ? "\n" : "") + (current == 0 || current == which ? lines[k] : "");
    }
    return text;
}

// Every script and case, in order of file name.
inline std::vector<std::string> scriptParams() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(QX_TEST_SCRIPTS_DIR))
        if (entry.path().extension() == ".qx") files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    std::vector<std::string> params;
    for (const std::string& file : files) {
        const Lines lines = linesOf(readScript(file));
        const auto cases = std::count_if(lines.begin(), lines.end(), isCaseTitle);
        if (cases == 0) params.push_back(file);
        for (int k = 1; k <= cases; ++k) params.push_back(file + "#" + std::to_string(k));
    }
    return params;
}

// The texts of the directives "// KIND: TEXT" in the script, in order.
inline Lines directives(const std::string& text, const std::string& kind) {
    const std::regex directive("//\\s*" + kind + ": ?(.*)$");
    Lines found;
    std::smatch m;
    for (const std::string& line : linesOf(text))
        if (std::regex_search(line, m, directive)) found.push_back(m[1]);
    return found;
}

// Takes the top-level declarations out of text, leaving their lines empty so that every other
// token keeps its line and position; the names they declare. Such declarations stand on lines
// of their own.
inline Lines takeDeclarations(std::string& text) {
    static const std::regex kDeclaration(R"(^(byte|short|int|float|double)\s+([^;]*);\s*(//.*)?$)");
    Lines names;
    Lines lines = linesOf(text);
    text.clear();
    int depth = 0;
    for (std::string& line : lines) {
        std::smatch m;
        if (depth == 0 && std::regex_match(line, m, kDeclaration)) {
            std::istringstream items(m[2]);
            for (std::string item; std::getline(items, item, ',');) {
                item.erase(0, item.find_first_not_of(' '));
                names.push_back(item.substr(0, item.find_first_of(" [")));
            }
            line.clear();
        }
        const std::string code = line.substr(0, line.find("//"));
        depth +=
            std::count(code.begin(), code.end(), '{') - std::count(code.begin(), code.end(), '}');
        text += line + "\n";
    }
    return names;
}

}  // namespace qxtest
