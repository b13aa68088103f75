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

TEST(QxrunEntryScanTest, BareExpressionsAndTheEndOfTheCode) {
    EXPECT_TRUE(mayBeExpression("1 + 2"));
    EXPECT_TRUE(mayBeExpression("a == b;  // compare"));
    EXPECT_TRUE(mayBeExpression("[1, 2;\n 3, 4] <= m"));
    EXPECT_TRUE(mayBeExpression("f(x) != \"a=b;{\""));
    EXPECT_FALSE(mayBeExpression("x = 1"));
    EXPECT_FALSE(mayBeExpression("x += 1"));
    EXPECT_FALSE(mayBeExpression("x++"));
    EXPECT_FALSE(mayBeExpression("double d"));
    EXPECT_FALSE(mayBeExpression("a; b"));
    EXPECT_FALSE(mayBeExpression("if (a) { b; }"));
    EXPECT_FALSE(mayBeExpression(" ; // nothing"));
    EXPECT_EQ(lastCodeChar("x = 1 // one;\n  "), 4u);
    EXPECT_EQ(lastCodeChar("s = \"ab\" /* c */"), 7u);
    EXPECT_EQ(lastCodeChar(" // all comment"), std::string::npos);
}

TEST(QxrunEntryScanTest, FunctionDefinitionsAndTheirBodies) {
    const std::string text =
        "double k;\nfunc f(a[2][2]) { if (a) { k = 1; } return \"}\"; }\nfunc g() { k = 2; }\n"
        "func h() {";
    std::vector<sFunctionText> defs = functionDefinitions(text);
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0].m_Name, "f");
    EXPECT_EQ(defs[0].m_Text, "func f(a[2][2]) { if (a) { k = 1; } return \"}\"; }");
    EXPECT_EQ(defs[1].m_Text, "func g() { k = 2; }");
    EXPECT_FALSE(insideFunctionBody(text, 1, 7));
    EXPECT_TRUE(insideFunctionBody(text, 2, 29));
    EXPECT_FALSE(insideFunctionBody(text, 2, 2));
    EXPECT_TRUE(insideFunctionBody(text, 4, 10));  // a body still open at the end
}
