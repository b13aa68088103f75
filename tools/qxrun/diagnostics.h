// Error reports of qxrun on a text other than the one compiled: the interactive session compiles
// a bare expression as the argument of print, so a location in that program is moved onto the
// text the user typed before the library's report (CQXReport) is made from it.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

// How the text that was compiled relates to the text the user typed (the interactive session
// compiles a bare expression as the argument of print and adds a missing ';'): reports show
// the user's text, with line-1 positions moved back by the characters put before it.
struct sShownText {
    std::string m_Text;
    int m_Prefix = 0;
};

// The stored position the lexer reports with its cursor at the end of source.
int endPosition(const std::string& source);

// Moves a location (line, stored position) in a text compiled in place of `shown` onto shown:
// the compiled text had `prefix` characters before shown's first line and may have had more
// lines after its last; a location in those lines moves to the end of shown. Line -1 stays.
void mapToShown(const std::string& shown, int prefix, int& line, int& pos);

// text with its location part (" on line L, position P." for line and stored position pos)
// replaced by the one of newLine and newPos.
std::string relocateText(const std::string& text, int line, int pos, int newLine, int newPos);

// The report (CQXReport::format) of an error at line and stored position pos of the compiled
// text, shown on the text the user typed.
std::string shownReport(const std::string& text, int line, int pos, const sShownText& shown);
