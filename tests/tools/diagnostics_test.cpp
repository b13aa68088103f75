// Error reports of qxrun: which source line is shown, where the caret goes (under the token at
// the lexer's position), and locations moved onto the text the user typed. Whole reports of
// real errors are checked end to end by qxrun_e2e.sh.
#include "diagnostics.h"

#include <gtest/gtest.h>

TEST(QxrunDiagnosticsTest, SourceLinesCountEveryLineFeed) {
    std::string text;
    const std::string source = "a\r\nb\n\"x\ny\"\n";
    ASSERT_TRUE(sourceLine(source, 1, text));
    EXPECT_EQ(text, "a");
    ASSERT_TRUE(sourceLine(source, 3, text));
    EXPECT_EQ(text, "\"x");
    ASSERT_TRUE(sourceLine(source, 5, text));
    EXPECT_EQ(text, "");
    for (int line : {6, 0, -1}) EXPECT_FALSE(sourceLine(source, line, text)) << line;
    EXPECT_EQ(renderDiagnostic("E", "x", 4, 1), "E\n");
}

TEST(QxrunDiagnosticsTest, TheCaretGoesUnderTheTokenTheLexerStoodAt) {
    // Line 1 counts from its first character; a line after an ordinary line break from the
    // line feed; a line after a break inside a comment or string from its first character.
    const std::string source = "ab\ncd\n/* x\n*/ e // y\nf \"s\nt\" g";
    EXPECT_EQ(cursorColumn(source, 1, 1), 1);
    EXPECT_EQ(cursorColumn(source, 2, 1), 0);
    EXPECT_EQ(cursorColumn(source, 4, 3), 3);
    EXPECT_EQ(cursorColumn(source, 5, 1), 1);
    EXPECT_EQ(cursorColumn(source, 6, 3), 3);
    EXPECT_EQ(cursorColumn(source, 1, -2147483647 - 1), 0);
    EXPECT_EQ(cursorColumn(source, 1, 2147483647), 2);  // held just after the end
    EXPECT_EQ(cursorColumn("a ./ b\nc", 2, 1), 0);      // ./ is an operator, not a comment
    EXPECT_EQ(tokenColumn("x = foo + 1;", 4), 4);       // on a name the lexer looked at
    EXPECT_EQ(tokenColumn("x = foo + 1;", 7), 4);       // just after a name it read
    EXPECT_EQ(tokenColumn("x = 1.5 / 0;", 11), 10);     // just after the number 0
    EXPECT_EQ(tokenColumn("x = 1.5;", 7), 4);
    EXPECT_EQ(tokenColumn("x = ;", 5), 4);
    EXPECT_EQ(tokenColumn("a = b &&. ;", 9), 6);  // just after an operator
    EXPECT_EQ(tokenColumn("  b", 0), 0);
    // A run-time error on a variable points at its last mention before the cursor.
    EXPECT_EQ(tokenColumn("  m[i][0] = mm[0][0] + m;", 25, "m"), 23);
    EXPECT_EQ(tokenColumn("  m[i][0] = mm[0][0];", 21, "m"), 2);
    EXPECT_EQ(tokenColumn("x = 1;", 6, "m"), 5);
}

TEST(QxrunDiagnosticsTest, LocationsMoveOntoTheTextTheUserTyped) {
    // print( was put before "[1,\n 2]" and "\n);" after it.
    int line = 3;
    int pos = 12;
    mapToShown("[1,\n 2]", 6, line, pos);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(pos, 4);  // the end of " 2]", counted from the line feed
    EXPECT_EQ(relocateText("E on line 1, position 11. x", 1, 12, 1, 6),
              "E on line 1, position 5. x");
    EXPECT_EQ(relocateText("E x", -1, -1, 1, 6), "E x");
    EXPECT_EQ(variableNamed("Interpreter Error:  Row-Index out of Range accessing Variable m:a"),
              "m:a");
}

TEST(QxrunDiagnosticsTest, LongLinesAreCutAroundTheCaret) {
    std::string line(1000, ' ');
    line[500] = 'X';
    std::string report = renderDiagnostic("E", line, 1, 501);
    std::string shown = report.substr(report.find("| ") + 2);
    shown = shown.substr(0, shown.find('\n'));
    std::string caret = report.substr(report.rfind("| ") + 2);
    EXPECT_LE(shown.size(), kMaxShownLine + 6);
    EXPECT_EQ(shown.substr(0, 3), "...");
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(shown[caret.find('^')], 'X');
}
