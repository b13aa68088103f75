// Entry scanning of the qxrun REPL: when a line continues the entry, and which names an entry
// mentions and defines, with strings and comments skipped as the lexer skips them.
#include "entry_scan.h"

#include <gtest/gtest.h>

TEST(QxrunEntryScanTest, OpenBracketsStringsAndCommentsContinueTheEntry) {
    EXPECT_FALSE(entryNeedsMore("x = 1;"));
    EXPECT_TRUE(entryNeedsMore("if (a) {"));
    EXPECT_TRUE(entryNeedsMore("x = [1, 2;"));
    EXPECT_TRUE(entryNeedsMore("x = f(1,"));
    EXPECT_FALSE(entryNeedsMore("if (a) {\n x = [1]; }"));
    EXPECT_TRUE(entryNeedsMore("s = \"abc"));
    EXPECT_TRUE(entryNeedsMore("x = 1; /* note"));
    EXPECT_FALSE(entryNeedsMore("x = 1; /* { */"));
    EXPECT_FALSE(entryNeedsMore("x = 1; // {"));
    EXPECT_FALSE(entryNeedsMore("s = \"{[(\";"));
    // More closing than opening brackets: the compiler reports it, nothing to wait for.
    EXPECT_FALSE(entryNeedsMore("}"));
    EXPECT_FALSE(entryNeedsMore("x = 1 / 2;"));
}

TEST(QxrunEntryScanTest, NamesSkipNumbersStringsAndComments) {
    EXPECT_EQ(namesIn("y = f(x1, 1e5, 0x1f) // g\n + \"h\" /* k */ + a:b;"),
              (std::vector<std::string>{"y", "f", "x1", "a:b"}));
    EXPECT_EQ(definedFunctions("func f(a) { return a; }\nfunc g() { }"),
              (std::vector<std::string>{"f", "g"}));
    EXPECT_TRUE(definedFunctions("x = 1; // func h").empty());
}
