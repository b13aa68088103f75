// Value text of qxrun: how the runner shows a variable after a run, what the print function
// writes, and the numbers of CSV files. A listing is valid qx text, so it can be pasted back
// into a script.
#pragma once

#include <qx/qx.h>

#include <string>

// One element as text that reads back to the same value: integer element types as integers,
// float and double elements in the shortest form that round-trips (locale-independent).
// Infinities and not-a-number read "inf", "-inf" and "nan" (the CSV spelling).
std::string formatNumber(double value, eDataType type);

// A value as a qx expression: "3" for a 1x1, "[1, 2, 3]" for one row, and one row per line
// with right-aligned columns for several rows; continuation lines start with indent blanks
// (the column of the opening bracket). An empty variable yields "[]". Infinities and
// not-a-number read "inf", "-inf" and "nan": no qx text gives them back (a literal too large
// for a double is held at the largest double when clipping is on, the default).
std::string formatValue(const CQXVariable& var, size_t indent = 0);

// "name = value;" with the value aligned under its opening bracket. A name that a script
// cannot write (made by addVarByName from arbitrary characters) turns the whole text into
// comment lines, so a pasted listing still compiles; so does a value with an infinity or
// not-a-number, under a first comment line that says it cannot be written as qx text.
std::string formatAssignment(const CQXVariable& var);

// True when text is a name a qx script can use: a letter or '_' first, then letters, digits,
// '_', and no reserved word.
bool isScriptName(const std::string& text);
