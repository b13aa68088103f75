// Unit tests of the lexer: token classes, longest-match operators, comments and the counters
// the compiler reads. Numbers, names, strings, reserved words, and where errors are placed
// after line breaks, comments and strings are pinned by the golden scripts.
#include "qx/lexer/lexer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

// The lexer's constructor is reserved to the compiler; the tests build one the same way the
// compiler does (text set, then clear) and keep the text alive beside it.
class Lexer : public CQXParser {
public:
    explicit Lexer(const std::string& text) : m_Text(text) {
        setBuffer(m_Text);
        clear();
    }
    Lexer() {}  // no text at all

private:
    std::string m_Text;
};

using Tokens = std::vector<eTokenType>;

// Reads tokens as the compiler does (names consumed) until the end of the text or an
// unknown character that does not move the cursor.
Tokens tokensOf(const std::string& text) {
    Lexer lexer(text);
    Tokens tokens;
    for (int guard = 0; guard < 1000; ++guard) {
        const int before = lexer.m_Cursor;
        tokens.push_back(lexer.nextToken());
        if (tokens.back() == ttEND) break;
        if (tokens.back() == ttNAME) lexer.getName(true);
        if (tokens.back() == ttUNKNOWN && lexer.m_Cursor == before) break;
    }
    return tokens;
}

TEST(LexerTest, TokensTakeTheLongestMatchAndCommentsCountTheirLines) {
    const struct {
        const char* text;
        Tokens tokens;
    } cases[] = {
        {"x!=.y!= .y", {ttNAME, ttNOTEQUALDOT, ttNAME, ttNOTEQUAL, ttDOT, ttNAME, ttEND}},
        {"& && &&. .* ./ . +++ a---b ===",
         {ttAMPERSAND, ttAND, ttANDDOT, ttELEMMUL, ttELEMDIV, ttDOT, ttINC, ttPLUS, ttNAME, ttDEC,
          ttMINUS, ttNAME, ttEQUAL, ttASSIGN, ttEND}},
        {"|a|", {ttUNKNOWN, ttNAME, ttUNKNOWN, ttEND}},  // a single bar moves on
        {"a/*/b*/c /* /* */ x */", {ttNAME, ttNAME, ttNAME, ttMUL, ttDIV, ttEND}},
        {"  \t\r\n \v\f//\n/**/  \n", {ttEND}},
    };
    for (const auto& c : cases) EXPECT_EQ(tokensOf(c.text), c.tokens) << c.text;
    for (const char* text : {"#", ":", "\x7f", "\xc3"})
        EXPECT_EQ(tokensOf(text), Tokens{ttUNKNOWN}) << text;  // the cursor stays
    Lexer ended("/* never closed"), noText;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ttEND, ended.nextToken());
    EXPECT_EQ(ttEND, noText.nextToken());
    EXPECT_EQ("", noText.getName(true) + noText.getString());
    EXPECT_EQ(0.0, noText.getNumber());
    // Fifteen characters fill the string's inline buffer, so a look-ahead past the terminator would
    // read outside the string object.
    for (std::string op : {"!", "&", "|", "+", ".", "/", "*", "<", "a!=", "a&&", "a||"}) {
        const Tokens tokens = tokensOf(std::string(15 - op.size(), ' ') + op);
        EXPECT_EQ(tokens.size(), op.size() == 1 ? 2u : 3u) << op;
    }
    // Carriage returns are white space but no line breaks; a million comments in a row must not
    // exhaust the stack.
    std::string text = "\r\n\r\n";
    for (int i = 0; i < 500000; ++i) text += "//\n/**/";
    Lexer many(text + "x");
    EXPECT_EQ(ttNAME, many.nextToken());
    EXPECT_EQ(500003, many.m_Line);
    EXPECT_EQ(4, many.getPosition());
}

TEST(LexerTest, NumbersReadTheSameUnderACommaDecimalLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (found == nullptr && std::setlocale(LC_NUMERIC, name) != nullptr) found = name;
    if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
    Lexer lexer("3.25, 1,5");
    EXPECT_EQ(3.25, lexer.getNumber()) << found;
    EXPECT_EQ(4, lexer.m_Cursor);
    lexer.m_Cursor = 6;
    EXPECT_EQ(1.0, lexer.getNumber());
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace

TEST(LexerTest, NamesFollowTheRulesTheLexerReadsThemBy) {
    for (const char* name : {"x", "_tmp2", "a:b", "Double", "a:"})
        EXPECT_TRUE(CQXParser::isName(name));
    for (const char* name : {"a::b", "", "2x", "a-b", "while", "double", "é"})
        EXPECT_FALSE(CQXParser::isName(name)) << name;
    EXPECT_EQ(CQXParser::reservedWords().size(), 13u);
    EXPECT_EQ(CQXParser::reservedWords()[rwDOUBLE], "double");
    EXPECT_TRUE(CQXParser::isReservedWord("continue"));
    EXPECT_FALSE(CQXParser::isReservedWord("Func"));
}
