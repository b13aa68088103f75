// Error reports for people: which source line is shown, where the caret goes (under the token at
// the lexer's position), long lines, trace lines, and the compiler's own reports, which show the
// text an error happened in also when an earlier compile defined the failing function.
#include "qx/core/report.h"

#include <gtest/gtest.h>

#include "qx/core/compiler.h"

TEST(ReportTest, SourceLinesCountEveryLineFeed) {
    std::string text;
    const std::string source = "a\r\nb\n\"x\ny\"\n";
    ASSERT_TRUE(CQXReport::sourceLine(source, 1, text));
    EXPECT_EQ(text, "a");
    ASSERT_TRUE(CQXReport::sourceLine(source, 3, text));
    EXPECT_EQ(text, "\"x");
    ASSERT_TRUE(CQXReport::sourceLine(source, 5, text));
    EXPECT_EQ(text, "");
    for (int line : {6, 0, -1}) EXPECT_FALSE(CQXReport::sourceLine(source, line, text)) << line;
    EXPECT_EQ(CQXReport::format("E", "x", 4, 1), "E\n");
    EXPECT_EQ(CQXReport::format("E", "x", -1, 1), "E\n");
}

TEST(ReportTest, TheCaretGoesUnderTheTokenTheLexerStoodAt) {
    // Line 1 counts from its first character; a line after an ordinary line break from the
    // line feed; a line after a break inside a comment or string from its first character.
    const std::string source = "ab\ncd\n/* x\n*/ e // y\nf \"s\nt\" g";
    EXPECT_EQ(CQXReport::cursorColumn(source, 1, 1), 1);
    EXPECT_EQ(CQXReport::cursorColumn(source, 2, 1), 0);
    EXPECT_EQ(CQXReport::cursorColumn(source, 4, 3), 3);
    EXPECT_EQ(CQXReport::cursorColumn(source, 5, 1), 1);
    EXPECT_EQ(CQXReport::cursorColumn(source, 6, 3), 3);
    EXPECT_EQ(CQXReport::cursorColumn(source, 1, -2147483647 - 1), 0);
    EXPECT_EQ(CQXReport::cursorColumn(source, 1, 2147483647), 2);  // held just after the end
    EXPECT_EQ(CQXReport::cursorColumn("a ./ b\nc", 2, 1), 0);      // ./ is an operator, no comment
    EXPECT_EQ(CQXReport::tokenColumn("x = foo + 1;", 4), 4);       // on a name the lexer looked at
    EXPECT_EQ(CQXReport::tokenColumn("x = foo + 1;", 7), 4);       // just after a name it read
    EXPECT_EQ(CQXReport::tokenColumn("x = 1.5 / 0;", 11), 10);     // just after the number 0
    EXPECT_EQ(CQXReport::tokenColumn("x = 1.5;", 7), 4);
    EXPECT_EQ(CQXReport::tokenColumn("x = ;", 5), 4);
    EXPECT_EQ(CQXReport::tokenColumn("a = b &&. ;", 9), 6);  // just after an operator
    EXPECT_EQ(CQXReport::tokenColumn("  b", 0), 0);
    // A run-time error on a variable points at its last mention before the cursor.
    EXPECT_EQ(CQXReport::tokenColumn("  m[i][0] = mm[0][0] + m;", 25, "m"), 23);
    EXPECT_EQ(CQXReport::tokenColumn("  m[i][0] = mm[0][0];", 21, "m"), 2);
    EXPECT_EQ(CQXReport::tokenColumn("x = 1;", 6, "m"), 5);
    EXPECT_EQ(CQXReport::format("E accessing Variable m", "double m;\n\tm = ;", 2, 6),
              "E accessing Variable m\n  2 | \tm = ;\n    | \t^\n");
}

TEST(ReportTest, LongLinesAreCutAroundTheCaret) {
    std::string line(1000, ' ');
    line[500] = 'X';
    std::string report = CQXReport::format("E", line, 1, 501);
    std::string shown = report.substr(report.find("| ") + 2);
    shown = shown.substr(0, shown.find('\n'));
    std::string caret = report.substr(report.rfind("| ") + 2);
    EXPECT_LE(shown.size(), CQXReport::kMaxShownLine + 6);
    EXPECT_EQ(shown.substr(0, 3), "...");
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(shown[caret.find('^')], 'X');
}

TEST(ReportTest, TraceLinesNameEachCall) {
    EXPECT_EQ(CQXReport::formatTrace({{"", 4, 9}, {"inverse", 3, 2}, {"g", -1, -1}}),
              "  in inverse, called at line 3\n  in g, called by the host\n");
    EXPECT_EQ(CQXReport::variableNamed("Interpreter Error:  x accessing Variable m:a"), "m:a");
    EXPECT_EQ(CQXReport::variableNamed("Interpreter Error:  x"), "");
}

TEST(ReportTest, CompilerReportsShowTheTextTheErrorHappenedIn) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    EXPECT_FALSE(qx.runCompiler("double a;\na = 1 +;"));
    EXPECT_EQ(qx.formatError(),
              "Syntaxerror on line 2, position 8. unexpected symbol\n  2 | a = 1 +;\n"
              "    |        ^\n");
    // A function of an earlier compile fails inside a function of another, called by a third.
    ASSERT_TRUE(qx.runCompiler("func inner(x) {\n  double m[2][2];\n  return m[x][0];\n}"));
    ASSERT_TRUE(qx.runCompiler("func outer(x) { return inner(x) + 1; }"));
    ASSERT_TRUE(qx.runCompiler("double r;\nr = outer(5);"));
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.formatException(),
              "Interpreter Error:  on line 3, position 17. Row-Index out of Range accessing "
              "Variable m\n  3 |   return m[x][0];\n    |          ^\n"
              "  in inner, called at line 1\n  in outer, called at line 2\n");
    // A host call of a script function: its text, and the host's call at the end.
    double five = 5;
    EXPECT_FALSE(qx.callFunc("inner", {five}));
    EXPECT_EQ(qx.formatException(),
              "Interpreter Error:  on line 3, position 17. Row-Index out of Range accessing "
              "Variable m\n  3 |   return m[x][0];\n    |          ^\n  in inner, called by the "
              "host\n");
    // An error without a location has no source line.
    qx.clear(false);
    EXPECT_FALSE(qx.runInterpreter());
    EXPECT_EQ(qx.formatException(), "Interpreter Error:  Nothing to Interprete\n");
}
