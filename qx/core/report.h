// Error reports for people: an error text with the source line it refers to and a caret under
// the token there, and the calls that led to a run-time error, one line each. The compiler object
// formats its own records with these (CQXCompiler::formatError, formatException); a host that
// moves a location onto another text (a prompt that wraps what the user typed) uses them as well.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qx/core/error.h"
#include "qx/export.h"

class QX_API CQXReport {
public:
    // Line `line` (counted from 1, every line feed counts, also inside strings and comments) of
    // source, without its line feed or a CR before it; false when source has no such line.
    static bool sourceLine(const std::string& source, int line, std::string& text);

    // The column, counted from 0 within line `line` of source, where the lexer stood when it
    // stored position pos: on line 1, and on a line reached through a line break inside a
    // comment or a string, positions count from the line's first character; on a line reached
    // through an ordinary line break they count from the line feed itself (one more). Held
    // within 0 .. the line's length.
    static int cursorColumn(const std::string& source, int line, int pos);

    // The column of the first character of the token that a report at cursor column `cursor` of
    // lineText refers to: the name or number the cursor stands on (the lexer leaves it on a name
    // it has only looked at), else the token that ends just before the cursor (one it has read),
    // else the cursor itself. With varName (a run-time error on that variable) the last mention
    // of the name before the cursor, when the line has one.
    static int tokenColumn(const std::string& lineText, int cursor,
                           const std::string& varName = std::string());

    // The report of one error: text and a line feed; then, when line is not -1 and names a line
    // of source, "  L | " with that line and "    | " with a caret under the token pos refers
    // to. Tabs before the caret are kept so the caret stays under its character; lines longer
    // than kMaxShownLine characters are cut to a window around the caret.
    static std::string format(const std::string& text, const std::string& source, int line,
                              int pos);

    // The calls that led to a run-time error, innermost first, one line each:
    // "  in NAME, called at line L", or "  in NAME, called by the host" for the function a host
    // call started (line -1). The failing instruction itself (no function name) gets no line:
    // the caret of the report shows it.
    static std::string formatTrace(const std::vector<sCallSite>& trace);

    // The variable a run-time error text names (what follows " accessing Variable "), or "".
    static std::string variableNamed(const std::string& text);

    // Longest source line shown whole; about two terminal widths.
    static const std::size_t kMaxShownLine = 160;
};
