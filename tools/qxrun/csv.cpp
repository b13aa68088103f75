// CSV reading and writing for qxrun's --load and --save options: numbers are parsed with
// std::from_chars and written with the value printer, so neither depends on the locale.
#include "csv.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace {

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Splits text into lines, dropping a CR before each line feed and the blank lines at the end.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    while (!lines.empty() && trim(lines.back()).empty()) lines.pop_back();
    return lines;
}

// One field as a double; the whole field must be the number.
bool parseNumber(const std::string& field, double& value, std::string& why) {
    if (field.empty()) {
        why = "empty field";
        return false;
    }
    const char* first = field.data();
    const char* last = first + field.size();
    // from_chars takes a minus sign but no plus sign.
    if (*first == '+' && last - first > 1 && first[1] != '-') ++first;
    std::from_chars_result result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        why = "number out of range: " + field;
        return false;
    }
    if (result.ec != std::errc() || result.ptr != last) {
        why = "not a number: " + field;
        return false;
    }
    return true;
}

bool parseLine(const std::string& line, std::vector<double>& row, std::string& why) {
    std::istringstream in(line);
    std::string field;
    int index = 0;
    while (std::getline(in, field, ',')) {
        ++index;
        double value = 0;
        if (!parseNumber(trim(field), value, why)) {
            why = "field " + std::to_string(index) + ": " + why;
            return false;
        }
        row.push_back(value);
    }
    // getline drops a field that a trailing comma leaves empty.
    if (!line.empty() && line.back() == ',') {
        why = "field " + std::to_string(index + 1) + ": empty field";
        return false;
    }
    return true;
}

std::string valueCount(size_t n) {
    return std::to_string(n) + (n == 1 ? " value" : " values");
}

bool addRow(const std::vector<double>& row, sCsvData& data, long long maxValues, std::string& why) {
    if (data.rows == 0) {
        data.cols = static_cast<int>(row.size());
    } else if (static_cast<int>(row.size()) != data.cols) {
        why = valueCount(row.size()) + ", but the first row has " + valueCount(data.cols);
        return false;
    }
    if (static_cast<long long>(data.values.size()) + data.cols > maxValues) {
        why = "more than " + std::to_string(maxValues) + " values";
        return false;
    }
    data.values.insert(data.values.end(), row.begin(), row.end());
    ++data.rows;
    return true;
}

}  // namespace

bool parseCsv(const std::string& text, sCsvData& data, std::string& error, long long maxValues) {
    data = sCsvData();
    std::vector<std::string> lines = splitLines(text);
    if (lines.empty()) {
        error = "no values";
        return false;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<double> row;
        std::string why;
        if (trim(lines[i]).empty()) why = "empty line";
        if (why.empty() && parseLine(lines[i], row, why)) addRow(row, data, maxValues, why);
        if (!why.empty()) {
            error = "line " + std::to_string(i + 1) + ": " + why;
            data = sCsvData();
            return false;
        }
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool readCsvFile(const std::string& path, sCsvData& data, std::string& error) {
    std::string text;
    if (!readWholeFile(path, text)) {
        error = path + ": cannot read the file";
        return false;
    }
    if (!parseCsv(text, data, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string formatCsv(const CQXVariable& var) {
    std::string out;
    for (int r = 0; r < var.getRows(); ++r) {
        for (int c = 0; c < var.getCols(); ++c) {
            if (c > 0) out += ',';
            out += CQXVariable::numberText(var.getData(r, c), var.getDataType());
        }
        out += '\n';
    }
    return out;
}

bool writeCsvFile(const std::string& path, const CQXVariable& var, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << formatCsv(var);
    out.close();
    if (!out) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}
