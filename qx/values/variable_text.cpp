// The text form of a variable for the host, and the four reductions (minimum, maximum, sum,
// mean) behind the interpreter's .min, .max, .sum and .mean methods. Numbers are written in the
// "C" form whatever locale the host has set.
#include <cfloat>
#include <cstdint>
#include <limits>
#include <string>

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
