// Entry scanning of the qxrun REPL: when a line continues the entry, which names an entry
// mentions and defines, and what may be a bare expression, with strings and comments skipped
// as the lexer skips them.
#include "entry_scan.h"

#include <gtest/gtest.h>

TEST(QxrunEntryScanTest, OpenBracketsStringsAndCommentsContinueTheEntry) {
    for (const char* text : {"if (a) {", "x = [1, 2;", "x = f(1,", "s = \"abc", "x = 1; /* note"})
        EXPECT_TRUE(entryNeedsMore(text)) << text;
    // More closing than opening brackets: the compiler reports it, nothing to wait for.
    for (const char* text : {"x = 1 / 2;", "if (a) {\n x = [1]; }", "x = 1; /* { */", "x = 1; // {",
                             "s = \"{[(\";", "}"})
        EXPECT_FALSE(entryNeedsMore(text)) << text;
}

TEST(QxrunEntryScanTest, BareExpressionsAndTheEndOfTheCode) {
    for (const char* text :
         {"1 + 2", "a == b;  // compare", "[1, 2;\n 3, 4] <= m", "f(x) != \"a=b;{\""})
        EXPECT_TRUE(mayBeExpression(text)) << text;
    for (const char* text :
         {"x = 1", "x += 1", "x++", "double d", "a; b", "if (a) { b; }", " ; // nothing"})
        EXPECT_FALSE(mayBeExpression(text)) << text;
    EXPECT_EQ(lastCodeChar("x = 1 // one;\n  "), 4u);
    EXPECT_EQ(lastCodeChar("s = \"ab\" /* c */"), 7u);
    EXPECT_EQ(lastCodeChar(" // all comment"), std::string::npos);
}

TEST(QxrunEntryScanTest, NamesAndFunctionDefinitions) {
    EXPECT_EQ(namesIn("y = f(x1, 1e5, 0x1f) // g\n + \"h\" /* k */ + a:b;"),
              (std::vector<std::string>{"y", "f", "x1", "a:b"}));
    EXPECT_TRUE(definedFunctions("x = 1; // func h").empty());
    const std::string text =
        "double k;\nfunc f(a[2][2]) { if (a) { k = 1; } return \"}\"; }\nfunc g() { k = 2; }\n"
        "func h() {";
    EXPECT_EQ(definedFunctions(text), (std::vector<std::string>{"f", "g", "h"}));
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
