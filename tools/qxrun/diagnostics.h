// Error reports of qxrun: the library's own error text, then the offending source line with a
// caret under the reported position, as qxrun writes them to standard error after a failed
// compile or run.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

// Line number `line` (counted from 1, as the library counts) of the source, without its line
// feed or a CR before it; false when the source has no such line.
bool sourceLine(const std::string& source, int line, std::string& text);

// The column, counted from 0 within the line, under which the caret of a report goes: the
// position the error text shows, which is one less than the stored position `pos` the library
// hands out, held within the line (0 .. its length).
int caretColumn(int pos, const std::string& lineText);

// The full report: text and a line feed, then, when line is not -1 and names a line of the
// source, "  L | source line" and "    | " followed by the caret. Tabs before the caret are
// kept so the caret stays under its character; lines longer than kMaxShownLine characters
// are cut to a window around the caret.
std::string renderDiagnostic(const std::string& text, const std::string& source, int line, int pos);

// The way a run-time error came, under its report: "  in NAME, called at line L" for each call
// of the trace, innermost first ("called by the host" for a call without a line). The failing
// instruction itself, which the caret already shows, gets no line of its own.
std::string renderTrace(const std::vector<sCallSite>& trace);

// Longest source line shown whole; about two terminal widths.
constexpr size_t kMaxShownLine = 160;
