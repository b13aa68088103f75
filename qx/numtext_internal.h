// Locale-independent number text: reading and writing numbers exactly as the "C" locale does,
// whatever locale the host has set, so a script reads 3.14 as 3.14 and text always carries a
// decimal point. Shared by the lexer and the variables, so it stands outside the subsystem
// folders. Library-internal; not installed.
#pragma once

#include <string>

namespace qxtext {

// strtod / strtoll in the "C" locale (strtod also reads 0X... hexadecimal forms, inf and nan).
// Integers are read in 64 bits also where long has 32 (WebAssembly), so 0xFFFFFFFFFF is the same
// number everywhere.
double toDouble(const char* text, char** end);
long long toLong(const char* text, char** end, int base);

// What printf("%.*f", precision, value) gives in the "C" locale, except that every NaN is
// "nan" whatever its sign bit; precision is clamped to 0 .. kMaxPrecision. Never truncated: the
// text is as long as the value needs.
std::string formatFixed(double value, int precision);
constexpr int kMaxPrecision = 340;

// What printf("%d", value) gives.
std::string formatInt(long long value);

}  // namespace qxtext
