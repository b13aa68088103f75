// Error reports of qxrun: which source line is shown, where the caret goes (under the token at
// the lexer's position), locations moved onto the text the user typed, and reports of real
// compile and run errors.
#include "diagnostics.h"

#include <gtest/gtest.h>
#include <qx/qx.h>

namespace {

// The report of compiling (and, when that succeeds, running) source.
std::string reportOf(const std::string& source) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    int line = 0;
    int pos = 0;
    std::string text;
    if (!qx.runCompiler(source)) {
        qx.getError(line, pos, text);
    } else if (!qx.runInterpreter()) {
        qx.getException(line, pos, text);
    }
    return renderDiagnostic(text, source, line, pos);
}

}  // namespace

TEST(QxrunDiagnosticsTest, SourceLinesCountEveryLineFeed) {
    std::string text;
    const std::string source = "a\r\nb\n\"x\ny\"\n";
    ASSERT_TRUE(sourceLine(source, 1, text));
    EXPECT_EQ(text, "a");
    ASSERT_TRUE(sourceLine(source, 3, text));
    EXPECT_EQ(text, "\"x");
    ASSERT_TRUE(sourceLine(source, 5, text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(sourceLine(source, 6, text));
    EXPECT_FALSE(sourceLine(source, 0, text));
    EXPECT_FALSE(sourceLine(source, -1, text));
}

TEST(QxrunDiagnosticsTest, CursorColumnFollowsHowTheLexerCountsPositions) {
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
}

TEST(QxrunDiagnosticsTest, TheCaretGoesUnderTheWholeToken) {
    EXPECT_EQ(tokenColumn("x = foo + 1;", 4), 4);    // on a name the lexer looked at
    EXPECT_EQ(tokenColumn("x = foo + 1;", 7), 4);    // just after a name it read
    EXPECT_EQ(tokenColumn("x = 1.5 / 0;", 11), 10);  // just after the number 0
    EXPECT_EQ(tokenColumn("x = 1.5;", 7), 4);
    EXPECT_EQ(tokenColumn("a = b &&. ;", 9), 6);  // just after an operator
    EXPECT_EQ(tokenColumn("x = ;", 5), 4);
    EXPECT_EQ(tokenColumn("  b", 0), 0);
    EXPECT_EQ(tokenColumn("if (1) {", 8), 7);
    // A run-time error on a variable points at its last mention before the cursor.
    EXPECT_EQ(tokenColumn("  m[i][0] = mm[0][0] + m;", 25, "m"), 23);
    EXPECT_EQ(tokenColumn("  m[i][0] = mm[0][0];", 21, "m"), 2);
    EXPECT_EQ(tokenColumn("x = 1;", 6, "m"), 5);
}

TEST(QxrunDiagnosticsTest, LocationsMoveOntoTheTextTheUserTyped) {
    // print( was put before "1 / x" and "\n);" after it.
    int line = 1;
    int pos = 12;
    mapToShown("1 / x", 6, line, pos);
    EXPECT_EQ(line, 1);
    EXPECT_EQ(pos, 6);
    line = 3;
    mapToShown("[1,\n 2]", 6, line, pos);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(pos, 4);  // the end of " 2]", counted from the line feed
    EXPECT_EQ(relocateText("E on line 1, position 11. x", 1, 12, 1, 6),
              "E on line 1, position 5. x");
    EXPECT_EQ(relocateText("E x", -1, -1, 1, 6), "E x");
    EXPECT_EQ(variableNamed("Interpreter Error:  Row-Index out of Range accessing Variable m:a"),
              "m:a");
    EXPECT_EQ(variableNamed("Syntaxerror"), "");
}

TEST(QxrunDiagnosticsTest, ReportsShowTheLineAndKeepTabsBeforeTheCaret) {
    EXPECT_EQ(renderDiagnostic("E", "x\n\tab = ;\n", 2, 7),
              "E\n"
              "  2 | \tab = ;\n"
              "    | \t     ^\n");
    EXPECT_EQ(renderDiagnostic("E", "x", 1, 1, "x is a 1\u00d71 double"),
              "E\n"
              "  1 | x\n"
              "    | ^\n"
              "note: x is a 1\u00d71 double\n");
    EXPECT_EQ(renderDiagnostic("E", "x", -1, -1), "E\n");
    EXPECT_EQ(renderDiagnostic("E", "x", 4, 1), "E\n");
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

TEST(QxrunDiagnosticsTest, CompileErrorsPointAtTheTokenThatFailed) {
    EXPECT_EQ(reportOf("double x; x = ;"),
              "Syntaxerror on line 1, position 14. unexpected symbol\n"
              "  1 | double x; x = ;\n"
              "    |               ^\n");
    // After a plain line break the position counts from the line feed: a name that failed is
    // shown at its first character.
    EXPECT_EQ(reportOf("double a;\na = 1\nb = 2;"),
              "Syntaxerror on line 3, position 0. colon expected\n"
              "  3 | b = 2;\n"
              "    | ^\n");
    // A failure at the end of the text shows the caret under the last token.
    EXPECT_EQ(reportOf("double a;\n  a = [1, 2;"),
              "Syntaxerror on line 2, position 12. unexpected symbol\n"
              "  2 |   a = [1, 2;\n"
              "    |            ^\n");
    // After a line break inside a comment the position counts as on line 1.
    EXPECT_EQ(reportOf("double a; /* note\n */ a = ;"),
              "Syntaxerror on line 2, position 8. unexpected symbol\n"
              "  2 |  */ a = ;\n"
              "    |         ^\n");
}

TEST(QxrunDiagnosticsTest, RunTimeErrorsPointAtTheVariableTheyName) {
    EXPECT_EQ(reportOf("double m[2][2];\nm[2][0] = 1;"),
              "Interpreter Error:  on line 2, position 12. Row-Index out of Range accessing "
              "Variable m\n"
              "  2 | m[2][0] = 1;\n"
              "    | ^\n");
}
