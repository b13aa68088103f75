// The text forms of a variable for the host (the legacy "name=v,v," form and the value as qx
// text), and the four reductions (minimum, maximum, sum,
// mean) behind the interpreter's .min, .max, .sum and .mean methods. Numbers are written in the
// "C" form whatever locale the host has set.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/numtext_internal.h"
#include "qx/values/variable.h"

namespace {

// One element in the text form: four decimals for the floating types, a whole number for the
// integer types (bytes and shorts are read as unsigned numbers, so they never print negative).
std::string formatElement(eDataType type, double value) {
    if (type == edtDOUBLE || type == edtFLOAT) return qxtext::formatFixed(value, 4);
    // An integer element widened to double is an exact whole number in the 32-bit range.
    return qxtext::formatInt(static_cast<long long>(value));
}

bool hasAnyRowArray(const CQXVariable& v) {
    return v.getBytePtr_intern() != nullptr || v.getShortPtr_intern() != nullptr ||
           v.getIntPtr_intern() != nullptr || v.getFloatPtr_intern() != nullptr ||
           v.getDoublePtr_intern() != nullptr;
}

// Number of elements that can be read: none without a row array or with a size below 1.
std::int64_t elementCount(const CQXVariable& v) {
    if (!v.hasStorage()) return 0;
    return static_cast<std::int64_t>(v.getRows()) * v.getCols();
}

}  // namespace

std::string CQXVariable::toString() {
    CQXCriticalSectionLock lock(m_pShared != nullptr ? &m_pShared->m_Lock : nullptr);
    std::string text = nameRef() + "=";
    if (!hasAnyRowArray(*this)) return text + "not initialized\r\n";
    for (int r = 0; r < m_Rows; ++r) {
        for (int c = 0; c < m_Cols; ++c) {
            text += formatElement(m_DataType, getData_intern(r, c));
            text += ',';
        }
        text += "\r\n";
    }
    return text;
}

// A NaN element fails every comparison, so it never replaces the running value.
double CQXVariable::getMin() const {
    double result = DBL_MAX;
    if (!hasStorage()) return result;
    for (int r = 0; r < m_Rows; ++r) {
        for (int c = 0; c < m_Cols; ++c) {
            const double v = getData_intern(r, c);
            if (v < result) result = v;
        }
    }
    return result;
}

double CQXVariable::getMax() const {
    double result = -DBL_MAX;
    if (!hasStorage()) return result;
    for (int r = 0; r < m_Rows; ++r) {
        for (int c = 0; c < m_Cols; ++c) {
            const double v = getData_intern(r, c);
            if (v > result) result = v;
        }
    }
    return result;
}

double CQXVariable::getSum() const {
    double sum = 0.0;
    if (!hasStorage()) return sum;
    for (int r = 0; r < m_Rows; ++r) {
        for (int c = 0; c < m_Cols; ++c) sum += getData_intern(r, c);
    }
    return sum;
}

// The element count is a 64-bit product: rows x cols of a large matrix does not fit an int. A
// variable without elements has the mean 0 / 0, which is NaN.
double CQXVariable::getMean() const {
    const std::int64_t count = elementCount(*this);
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    return getSum() / static_cast<double>(count);
}

// ---- the value as qx text ----

namespace {

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

// The rows or columns shown of count: all of them, or the first and last kTextEdge with -1
// standing for those left out.
std::vector<int> shownIndices(int count, bool inPart) {
    const int edge = CQXVariable::kTextEdge;
    std::vector<int> shown;
    for (int i = 0; i < count; ++i) {
        if (inPart && i == edge && count > 2 * edge) {
            shown.push_back(-1);
            i = count - edge - 1;
            continue;
        }
        shown.push_back(i);
    }
    return shown;
}

// The cells shown, row by row (an empty row for the rows left out), and each column's width.
struct sCells {
    std::vector<std::vector<std::string>> text;
    std::vector<size_t> width;
};

sCells collectCells(const CQXVariable& var, const std::vector<int>& rows,
                    const std::vector<int>& cols) {
    sCells cells;
    cells.width.assign(cols.size(), 0);
    for (int r : rows) {
        cells.text.emplace_back();
        for (size_t k = 0; r >= 0 && k < cols.size(); ++k) {
            const int c = cols[k];
            cells.text.back().push_back(
                c < 0 ? "..."
                      : CQXVariable::numberText(var.getData_intern(r, c), var.getDataType()));
            cells.width[k] = std::max(cells.width[k], cells.text.back().back().size());
        }
    }
    return cells;
}

// One row's cells; with pad, each padded on the left to its column's width.
std::string layoutRow(const sCells& cells, size_t r, bool pad) {
    std::string out;
    const std::vector<std::string>& row = cells.text[r];
    if (row.empty()) return "...";
    for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0) out += ", ";
        if (pad) out += std::string(cells.width[c] - row[c].size(), ' ');
        out += row[c];
    }
    return out;
}

}  // namespace

std::string CQXVariable::numberText(double value, eDataType type) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (isIntegerType(type)) return shortest(static_cast<long long>(value));
    if (type == edtFLOAT) return shortest(static_cast<float>(value));
    return shortest(value);
}

std::string CQXVariable::toText(int indent, long long maxElements) const {
    CQXCriticalSectionLock lock(m_pShared != nullptr ? &m_pShared->m_Lock : nullptr);
    const std::int64_t count = elementCount(*this);
    if (count == 0) return "[]";
    if (count == 1) return numberText(getData_intern(0, 0), m_DataType);
    const bool inPart = maxElements > 0 && count > maxElements;
    const sCells cells =
        collectCells(*this, shownIndices(m_Rows, inPart), shownIndices(m_Cols, inPart));
    std::string out = "[";
    const std::string continuation = ";\n" + std::string(std::max(indent, 0) + 1, ' ');
    for (size_t r = 0; r < cells.text.size(); ++r) {
        if (r > 0) out += cells.text[r - 1].empty() ? continuation.substr(1) : continuation;
        out += layoutRow(cells, r, m_Rows > 1);
    }
    out += "]";
    if (inPart)
        out += " // " + std::to_string(m_Rows) + "x" + std::to_string(m_Cols) + ", shown in part";
    return out;
}
