// Unit tests of the lexer: token classes, longest-match operators, names, strings, comments and
// the counters the compiler reads. Numbers, reserved words, and where errors are placed after
// line breaks, comments and strings are pinned by the golden scripts.
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

// Reads tokens as the compiler does (names and numbers consumed) until the end of the text or an
// unknown character that does not move the cursor.
Tokens tokensOf(const std::string& text) {
    Lexer lexer(text);
    Tokens tokens;
    for (int guard = 0; guard < 1000; ++guard) {
        const int before = lexer.m_Cursor;
        tokens.push_back(lexer.nextToken());
        if (tokens.back() == ttEND) break;
        if (tokens.back() == ttNAME || tokens.back() == ttRESERVED) lexer.getName(true);
        if (tokens.back() == ttNUMBER) lexer.getNumber();
        if (tokens.back() == ttUNKNOWN && lexer.m_Cursor == before) break;
    }
    return tokens;
}

TEST(LexerTest, TokensTakeTheLongestMatchAndCommentsDoNotNest) {
    const struct {
        const char* text;
        Tokens tokens;
    } cases[] = {
        {"x!=.y", {ttNAME, ttNOTEQUALDOT, ttNAME, ttEND}},
        {"x!= .y", {ttNAME, ttNOTEQUAL, ttDOT, ttNAME, ttEND}},
        {"! != !=.", {ttNOT, ttNOTEQUAL, ttNOTEQUALDOT, ttEND}},
        {"& && &&.", {ttAMPERSAND, ttAND, ttANDDOT, ttEND}},
        {".* ./ .", {ttELEMMUL, ttELEMDIV, ttDOT, ttEND}},
        {"== = <= < >= >",
         {ttEQUAL, ttASSIGN, ttLESSEQUAL, ttLESS, ttGREATEREQUAL, ttGREATER, ttEND}},
        {"()[]{},;^%\"",
         {ttLPAREN, ttRPAREN, ttLBRACKET, ttRBRACKET, ttLBRACE, ttRBRACE, ttCOMMA, ttSEMICOLON,
          ttPOWER, ttMODULO, ttQUOTE, ttEND}},
        {"+++", {ttINC, ttPLUS, ttEND}},
        {"a---b", {ttNAME, ttDEC, ttMINUS, ttNAME, ttEND}},
        {"===", {ttEQUAL, ttASSIGN, ttEND}},
        {"|a|", {ttUNKNOWN, ttNAME, ttUNKNOWN, ttEND}},  // a single bar moves on
        {".5", {ttDOT, ttNUMBER, ttEND}},
        {"a/*/b*/c", {ttNAME, ttNAME, ttEND}},
        {"/* /* */ x */", {ttNAME, ttMUL, ttDIV, ttEND}},
        {"a // rest ; of { line", {ttNAME, ttEND}},
        {"a /* unterminated ; b", {ttNAME, ttEND}},
        {"  \t\r\n \v\f//\n/**/  \n", {ttEND}},
    };
    for (const auto& c : cases) EXPECT_EQ(tokensOf(c.text), c.tokens) << c.text;
    for (const char* text : {"#", "$", "'", ":", "?", "@", "\\", "`", "~", "\x01", "\x7f", "\xc3"})
        EXPECT_EQ(tokensOf(text), Tokens{ttUNKNOWN}) << text;  // the cursor stays
    Lexer ended("/* never closed"), noText;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ttEND, ended.nextToken());
    EXPECT_EQ(ttEND, noText.nextToken());
    EXPECT_EQ("", noText.getName(true));
    EXPECT_EQ(0.0, noText.getNumber());
    EXPECT_EQ("", noText.getString());
}

TEST(LexerTest, OperatorsAtTheEndOfTheTextLookNoFurtherThanItsEnd) {
    // Fifteen characters fill the string's inline buffer, so a look-ahead past the terminator
    // would read outside the string object.
    for (char op : {'!', '&', '|', '+', '.', '/', '*', '<'}) {
        Lexer lexer(std::string(14, ' ') + op);
        EXPECT_NE(ttEND, lexer.nextToken()) << op;
        EXPECT_EQ(ttEND, lexer.nextToken()) << op;
    }
    for (const char* text : {"a!=", "a&&", "a||"}) {
        Lexer lexer(std::string(12, ' ') + text);
        lexer.nextToken();
        lexer.getName(true);
        EXPECT_NE(ttEND, lexer.nextToken()) << text;
        EXPECT_EQ(15, lexer.m_Cursor) << text;
    }
}

TEST(LexerTest, NamesTakeSingleColonsAndPeekingLeavesTheCursor) {
    Lexer names("a:b:c + a::b _x1:");
    EXPECT_EQ(ttNAME, names.nextToken());
    EXPECT_EQ("a:b:c", names.getName(false));  // peeking leaves the cursor on the name
    EXPECT_EQ(0, names.m_Cursor);
    EXPECT_EQ("a:b:c", names.getName(true));
    EXPECT_EQ(5, names.m_Cursor);
    EXPECT_EQ(ttPLUS, names.nextToken());
    EXPECT_EQ(ttNAME, names.nextToken());
    EXPECT_EQ("a", names.getName(true));  // a double colon ends the name
    EXPECT_EQ(ttUNKNOWN, names.nextToken());
    EXPECT_EQ(9, names.m_Cursor);
    names.m_Cursor += 3;
    EXPECT_EQ(ttNAME, names.nextToken());
    EXPECT_EQ("_x1:", names.getName(true));

    Lexer reserved("double x");
    EXPECT_EQ(ttRESERVED, reserved.nextToken());
    EXPECT_EQ(0, reserved.m_Cursor);  // the word is read like a name
    EXPECT_EQ(rwDOUBLE, reserved.getReserved());
}

TEST(LexerTest, NumbersReadTheSameUnderACommaDecimalLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
    Lexer lexer("3.25, 1,5");
    EXPECT_EQ(ttNUMBER, lexer.nextToken());
    const double first = lexer.getNumber();
    const int afterFirst = lexer.m_Cursor;
    EXPECT_EQ(ttCOMMA, lexer.nextToken());
    EXPECT_EQ(ttNUMBER, lexer.nextToken());
    const double second = lexer.getNumber();
    EXPECT_EQ(ttCOMMA, lexer.nextToken());
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(3.25, first) << found;
    EXPECT_EQ(4, afterFirst);
    EXPECT_EQ(1.0, second);
}

// Carriage returns are white space but no line breaks; strings keep every byte and stop on
// their closing quote.
TEST(LexerTest, CarriageReturnsAndStrings) {
    Lexer crlf("a\r\n\r\nb");
    crlf.nextToken();
    crlf.getName(true);
    EXPECT_EQ(ttNAME, crlf.nextToken());
    EXPECT_EQ(3, crlf.m_Line);
    EXPECT_EQ(1, crlf.getPosition());
    Lexer raw("\"a\\n\t\xc3\xa9\"");
    raw.nextToken();
    EXPECT_EQ("a\\n\t\xc3\xa9", raw.getString());
    EXPECT_EQ(7, raw.m_Cursor);
}

TEST(LexerTest, AMillionCommentsInARowDoNotExhaustTheStack) {
    std::string text;
    for (int i = 0; i < 500000; ++i) text += "//\n/**/";
    Lexer lexer(text + "x");
    EXPECT_EQ(ttNAME, lexer.nextToken());
    EXPECT_EQ(500001, lexer.m_Line);
    EXPECT_EQ(4, lexer.getPosition());
}

}  // namespace
