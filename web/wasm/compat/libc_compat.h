// What the C and C++ libraries of the emscripten release we build with (3.1.6) lack, so that
// qx's sources compile for WebAssembly unchanged and read and write numbers as the native build
// does: a strtoll_l that reads "0x" without hexadecimal digits as the number 0 followed by the
// "x" (this C library's own takes the "x" as well, and declares it only under feature macros), and
// the floating-point std::to_chars overloads. Included before every source of the WebAssembly build
// (-include); a C++ library that has the overloads defines __cpp_lib_to_chars and this header then
// adds none.
#pragma once

#include <locale.h>

#include <charconv>
#include <version>

extern "C" long long qxCompatStrtollL(const char* text, char** end, int base, locale_t locale);
#define strtoll_l qxCompatStrtollL

#if !defined(__cpp_lib_to_chars)
namespace std {

// The shortest text that reads back to the same value, in fixed or scientific form, whichever
// is shorter (fixed on a tie).
to_chars_result to_chars(char* first, char* last, double value);
to_chars_result to_chars(char* first, char* last, float value);
// printf("%.*f") / printf("%.*e") / printf("%.*g") for fixed, scientific and general.
to_chars_result to_chars(char* first, char* last, double value, chars_format fmt, int precision);

}  // namespace std
#endif
