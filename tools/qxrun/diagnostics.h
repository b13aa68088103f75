// Error reports of qxrun: the library's own error text, then the offending source line with a
// caret under the token the error refers to, and for a run-time error on a variable a note with
// that variable's shape and type, as qxrun writes them to standard error.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

// Line number `line` (counted from 1, as the library counts) of the source, without its line
// feed or a CR before it; false when the source has no such line.
bool sourceLine(const std::string& source, int line, std::string& text);

// The column, counted from 0 within line `line` of source, where the library's lexer stood when
// it reported the stored position pos: on line 1 and after a line break inside a comment or a
// string the position counts from the line's first character, after an ordinary line break from
// the line feed itself (one more). Held within 0 .. the line's length.
int cursorColumn(const std::string& source, int line, int pos);

// The column of the first character of the token a report at cursor column `cursor` of lineText
// refers to: the name or number the cursor stands on (the lexer leaves it on a name it has only
// looked at), else the token that ends just before the cursor (one it has read), else the
// cursor itself. With varName (a run-time error on that variable) the last mention of the name
// before the cursor, when the line has one.
int tokenColumn(const std::string& lineText, int cursor, const std::string& varName = "");

// The variable a run-time error text names (what follows " accessing Variable "), or "".
std::string variableNamed(const std::string& text);

// The full report: text and a line feed; then, when line is not -1 and names a line of the
// source, "  L | source line" and "    | " followed by the caret under the token; then the note,
// when it is not empty, as "note: " and the note. Tabs before the caret are kept so the caret
// stays under its character; lines longer than kMaxShownLine characters are cut to a window
// around the caret.
std::string renderDiagnostic(const std::string& text, const std::string& source, int line, int pos,
                             const std::string& note = "");

// The stored position the lexer reports with its cursor at the end of source.
int endPosition(const std::string& source);

// Moves a location (line, stored position) in a text compiled in place of `shown` onto shown:
// the compiled text had `prefix` characters before shown's first line and may have had more
// lines after its last; a location in those lines moves to the end of shown. Line -1 stays.
void mapToShown(const std::string& shown, int prefix, int& line, int& pos);

// text with its location part (" on line L, position P." for line and stored position pos)
// replaced by the one of newLine and newPos.
std::string relocateText(const std::string& text, int line, int pos, int newLine, int newPos);

// The way a run-time error came, under its report: "  in NAME, called at line L" for each call
// of the trace, innermost first ("called by the host" for a call without a line). The failing
// instruction itself, which the caret already shows, gets no line of its own.
std::string renderTrace(const std::vector<sCallSite>& trace);

// Longest source line shown whole; about two terminal widths.
constexpr size_t kMaxShownLine = 160;
