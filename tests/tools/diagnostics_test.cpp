// Error reports of qxrun: which source line is shown, where the caret goes (the position the
// error text shows, as a column of that line), and reports of real compile and run errors.
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

TEST(QxrunDiagnosticsTest, CaretColumnIsTheShownPositionHeldInsideTheLine) {
    EXPECT_EQ(caretColumn(5, "abcdefgh"), 4);
    EXPECT_EQ(caretColumn(1, "abc"), 0);
    EXPECT_EQ(caretColumn(0, "abc"), 0);  // shown as position -1: the very start
    EXPECT_EQ(caretColumn(-2147483647 - 1, "abc"), 0);
    EXPECT_EQ(caretColumn(99, "abc"), 3);  // just after the end of the line
    EXPECT_EQ(caretColumn(2147483647, ""), 0);
}

TEST(QxrunDiagnosticsTest, ReportsShowTheLineAndKeepTabsBeforeTheCaret) {
    EXPECT_EQ(renderDiagnostic("E", "x\n\tab = ;\n", 2, 7),
              "E\n"
              "  2 | \tab = ;\n"
              "    | \t     ^\n");
    EXPECT_EQ(renderDiagnostic("E", "x", -1, -1), "E\n");
    EXPECT_EQ(renderDiagnostic("E", "x", 4, 1), "E\n");
}

TEST(QxrunDiagnosticsTest, LongLinesAreCutAroundTheCaret) {
    std::string line(1000, 'a');
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
    // A failure at the end of the text shows the caret just after the last line.
    EXPECT_EQ(reportOf("double a;\n  a = [1, 2;"),
              "Syntaxerror on line 2, position 12. unexpected symbol\n"
              "  2 |   a = [1, 2;\n"
              "    |             ^\n");
    // After a line break inside a comment the position counts as on line 1.
    EXPECT_EQ(reportOf("double a; /* note\n */ a = ;"),
              "Syntaxerror on line 2, position 8. unexpected symbol\n"
              "  2 |  */ a = ;\n"
              "    |         ^\n");
}

TEST(QxrunDiagnosticsTest, RunTimeErrorsPointAtTheirInstruction) {
    EXPECT_EQ(reportOf("double m[2][2];\nm[2][0] = 1;"),
              "Interpreter Error:  on line 2, position 12. Row-Index out of Range accessing "
              "Variable m\n"
              "  2 | m[2][0] = 1;\n"
              "    |             ^\n");
}
