// Error reports of qxrun on the text the user typed: locations in the wrapped program moved back
// onto it, also past its end. Whole reports of real errors are checked end to end by
// qxrun_e2e.sh.
#include "diagnostics.h"

#include <gtest/gtest.h>

TEST(QxrunDiagnosticsTest, LocationsMoveOntoTheTextTheUserTyped) {
    // print( was put before "[1,\n 2]" and "\n);" after it.
    int line = 3;
    int pos = 12;
    mapToShown("[1,\n 2]", 6, line, pos);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(pos, 4);                          // the end of " 2]", counted from the line feed
    EXPECT_EQ(endPosition("a /* x\ny */"), 4);  // a line after a comment's break: no feed
    EXPECT_EQ(endPosition("ab"), 2);
    EXPECT_EQ(relocateText("E on line 1, position 11. x", 1, 12, 1, 6),
              "E on line 1, position 5. x");
    EXPECT_EQ(relocateText("E x", -1, -1, 1, 6), "E x");
    EXPECT_EQ(shownReport("E on line 1, position 8. x", 1, 9, {"foo", 6}),
              "E on line 1, position 2. x\n  1 | foo\n    | ^\n");
}
