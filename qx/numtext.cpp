// Locale-independent number reading and formatting (see numtext_internal.h).
#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <system_error>

#include "qx/numtext_internal.h"

namespace qxtext {
namespace {

// One "C" locale object for the whole process, created on first use.
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

double toDouble(const char* text, char** end) {
    return strtod_l(text, end, cLocale());
}

long long toLong(const char* text, char** end, int base) {
    return strtoll_l(text, end, base, cLocale());
}

std::string formatFixed(double value, int precision) {
    if (precision < 0) precision = 0;
    if (precision > kMaxPrecision) precision = kMaxPrecision;
    // printf would write "-nan" for a NaN whose sign bit is set; every NaN is the same "nan".
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // The longest fixed form of a double: sign, 309 integer digits, point, the precision.
    char buffer[320 + kMaxPrecision];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc()) return std::string();
    return std::string(buffer, result.ptr);
}

std::string formatInt(long long value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace qxtext
