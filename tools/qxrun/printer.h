// The listing of qxrun after a run: one "name = value;" line per variable, valid qx text that can
// be pasted back into a script (values as CQXVariable::toText writes them).
#pragma once

#include <qx/qx.h>

#include <string>

// "name = value;" with the value aligned under its opening bracket. A name that a script
// cannot write (made by addVarByName from arbitrary characters) turns the whole text into
// comment lines, so a pasted listing still compiles; so does a value with an infinity or
// not-a-number, under a first comment line that says it cannot be written as qx text.
// With maxElements above 0, a larger value is shown in part (CQXVariable::toText).
std::string formatAssignment(const CQXVariable& var, long long maxElements = 0);
