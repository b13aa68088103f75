// Hint lines of qxrun under the library's compile errors: each common mistake gets its hint, and
// the library's own text stays as it is.
#include "hints.h"

#include <gtest/gtest.h>

namespace {

// The hint for what compiling source on qx reports.
std::string hintFor(CQXCompiler& qx, const std::string& source) {
    EXPECT_FALSE(qx.runCompiler(source)) << source;
    int line = 0;
    int pos = 0;
    std::string text;
    qx.getError(line, pos, text);
    return compileHint(qx, text, source, line, pos);
}

}  // namespace

TEST(QxrunHintsTest, CommonMistakesGetTheirHint) {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.addDoubleVar("total", 1, 1);
    EXPECT_EQ(hintFor(qx, "x = 6 * 7;"),
              "hint: a variable is declared before it is used: double x; (or double x[]; for a "
              "matrix that takes the shape of what is assigned)\n");
    EXPECT_EQ(hintFor(qx, "total = sqr(2);"), "hint: did you mean sqrt?\n");
    EXPECT_EQ(hintFor(qx, "totl = 1;"), "hint: did you mean total?\n");
    EXPECT_EQ(hintFor(qx, "total = frobnicate(2);"),
              "hint: no function frobnicate is defined (:funcs lists them)\n");
    EXPECT_EQ(hintFor(qx, "quit"),
              "hint: the commands of the session start with ':' (:help, :quit; Ctrl-D leaves)\n");
    EXPECT_EQ(hintFor(qx, "total = 1\n\n  total = 2;"),
              "hint: a ';' is missing at the end of line 1\n");
    EXPECT_EQ(hintFor(qx, "if (total) {\n  total = [1,\n 2];"),
              "hint: the '{' on line 1, column 12 is not closed; a '}' is missing\n");
    EXPECT_EQ(hintFor(qx, "total = atan2(1, 2, 3);"), "hint: atan2 takes 2 arguments\n");
    EXPECT_EQ(hintFor(qx, "total = sqrt(1, 2);"), "hint: sqrt takes 1 argument\n");
    EXPECT_EQ(hintFor(qx, "total = 1 +;"), "");
    EXPECT_EQ(closestName("sine", {"sin", "sinh", "cos"}), "sin");
    EXPECT_EQ(closestName("abcdef", {"uvwxyz"}), "");
    EXPECT_EQ(runHint("Interpreter Error:  on line 1, position 3. Unknown Exception"),
              "hint: out of memory: the values are too large to allocate\n");
    EXPECT_EQ(runHint("Interpreter Error:  Division by zero"), "");
}
