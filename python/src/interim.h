// Interim pieces, until the library formats error records itself (with the source line, the
// caret and the trace, as qxrun prints them) and records why a host call was refused. Then
// formatWithSource and formatTrace forward to the library's formatter, checkSizedArguments and
// the refusals in CPyCompiler::call give way to the recorded reason, and this file goes.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

namespace qxpy {

// text, then the source line `line` and a caret under the column the stored position pos
// names; text alone when the error has no line in source.
std::string formatWithSource(const std::string& text, const std::string& source, int line, int pos);
// text, then "in NAME, called at line L" for each call the error passed, innermost first.
std::string formatTrace(const std::string& text, const std::vector<sCallSite>& trace);
// TypeError unless each argument of a sized parameter of a script function has its shape (the
// library refuses such a call without saying why).
void checkSizedArguments(const CQXFunction& func, const std::vector<CQXVariable*>& args);

}  // namespace qxpy
