// CSV files of numbers for qxrun's --load and --save: one matrix row per line, values
// separated by commas, every row of the same length. Reading and writing are locale-independent
// and doubles are written in their shortest round-trip form.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

struct sCsvData {
    int rows = 0;
    int cols = 0;
    std::vector<double> values;  // row by row
};

// Largest number of values of a host matrix that qxrun creates (--var, --load): 2^26 doubles
// are 512 MiB, a size a command-line run can still afford, and rows x cols stays far inside
// an int.
constexpr long long kMaxHostValues = 1LL << 26;

// Parses CSV text. Blank lines at the end are ignored; fields may be surrounded by blanks or
// tabs and lines may end in CR LF. A number is what a qx listing or --save writes, with an
// optional sign: decimal forms with exponent, inf and nan. False, with a message that names
// the line and field, for an empty file, an empty line or field, a field that is no number,
// a number out of the double range, rows of different lengths or more than maxValues values.
bool parseCsv(const std::string& text, sCsvData& data, std::string& error,
              long long maxValues = kMaxHostValues);
// Reads a whole file (a CSV file or a script); false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& text);
bool readCsvFile(const std::string& path, sCsvData& data, std::string& error);

// The variable as CSV text, one line per row, each line ending in "\n".
std::string formatCsv(const CQXVariable& var);
bool writeCsvFile(const std::string& path, const CQXVariable& var, std::string& error);
