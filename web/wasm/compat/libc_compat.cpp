// The floating-point std::to_chars overloads of libc_compat.h. The shortest digits of a double
// come from JavaScript's Number.prototype.toExponential(), which picks the shortest digit
// string that reads back to the value and, among those, the closest one: the rule std::to_chars
// follows. The layout around the digits is the C++ library's: fixed or scientific, whichever is
// shorter, with at least two exponent digits.
#include "libc_compat.h"

#include <stdlib.h>

#undef strtoll_l
extern "C" long long strtoll_l(const char* text, char** end, int base, locale_t locale);

// Where "0x" or "0X" is not followed by a digit of the base, the number is the "0" alone.
extern "C" long long qxCompatStrtollL(const char* text, char** end, int base, locale_t locale) {
    const long long value = strtoll_l(text, end, base, locale);
    if (end == nullptr || (base != 16 && base != 0) || *end == text) return value;
    char* last = *end - 1;
    if ((*last == 'x' || *last == 'X') && last > text && last[-1] == '0') *end = last;
    return value;
}

#if !defined(__cpp_lib_to_chars)
#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

// Writes the value's shortest scientific form ("1.25e+2") and returns its length.
EM_JS(int, qx_shortest_exponential, (double value, char* out, int size),
      { return stringToUTF8(value.toExponential(), out, size); });

namespace {

struct sDecimal {
    std::string m_Digits;  // significant digits, no leading zero (one "0" for zero)
    int m_Exponent = 0;    // the value is 0.d1 d2 ... times ten to m_Exponent + 1
};

// Splits "d.ddde+x" into its digits and exponent.
sDecimal parseExponential(const std::string& text) {
    sDecimal d;
    const size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.') d.m_Digits += text[i];
    d.m_Exponent = std::atoi(text.c_str() + e + 1);
    return d;
}

std::string scientific(const sDecimal& d) {
    std::string out = d.m_Digits.substr(0, 1);
    if (d.m_Digits.size() > 1) out += "." + d.m_Digits.substr(1);
    const int magnitude = std::abs(d.m_Exponent);
    out += d.m_Exponent < 0 ? "e-" : "e+";
    if (magnitude < 10) out += "0";
    return out + std::to_string(magnitude);
}

std::string fixed(const sDecimal& d) {
    const int n = static_cast<int>(d.m_Digits.size());
    const int whole = d.m_Exponent + 1;  // digits before the point
    if (whole <= 0) return "0." + std::string(-whole, '0') + d.m_Digits;
    if (whole >= n) return d.m_Digits + std::string(whole - n, '0');
    return d.m_Digits.substr(0, whole) + "." + d.m_Digits.substr(whole);
}

std::string special(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    return value < 0 ? "-inf" : "inf";
}

std::string shortestText(double value, const std::string& exponential) {
    if (!std::isfinite(value)) return special(value);
    const sDecimal d = parseExponential(exponential);
    const std::string f = fixed(d), s = scientific(d);
    return (std::signbit(value) ? "-" : "") + (f.size() <= s.size() ? f : s);
}

std::to_chars_result put(char* first, char* last, const std::string& text) {
    if (last - first < static_cast<std::ptrdiff_t>(text.size()))
        return {last, std::errc::value_too_large};
    for (char c : text) *first++ = c;
    return {first, std::errc()};
}

}  // namespace

namespace std {

to_chars_result to_chars(char* first, char* last, double value) {
    char buffer[64];
    qx_shortest_exponential(std::fabs(value), buffer, sizeof buffer);
    return put(first, last, shortestText(value, buffer));
}

// The fewest significant digits whose correctly rounded form reads back to the same float.
to_chars_result to_chars(char* first, char* last, float value) {
    char buffer[64];
    const double wide = std::fabs(static_cast<double>(value));
    for (int digits = 1; digits <= 9 && std::isfinite(value); ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, wide);
        if (std::strtof(buffer, nullptr) == std::fabs(value)) break;
    }
    return put(first, last, shortestText(value, buffer));
}

to_chars_result to_chars(char* first, char* last, double value, chars_format fmt, int precision) {
    const char* pattern = fmt == chars_format::fixed        ? "%.*f"
                          : fmt == chars_format::scientific ? "%.*e"
                                                            : "%.*g";
    const int length = std::snprintf(nullptr, 0, pattern, precision, value);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), pattern, precision, value);
    text.pop_back();
    return put(first, last, text);
}

}  // namespace std
#endif
