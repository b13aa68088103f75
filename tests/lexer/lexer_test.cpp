// Unit tests of the lexer: token classes, longest-match operators, names, numbers, strings,
// comments, and the line and position counters that every compile error's location comes from.
#include "qx/lexer/lexer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
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

// Reads tokens as the compiler does (names and numbers consumed) until the end of the text or an
// unknown character that does not move the cursor.
std::vector<eTokenType> tokensOf(const std::string& text) {
    Lexer lexer(text);
    std::vector<eTokenType> tokens;
    for (int guard = 0; guard < 1000; ++guard) {
        const int before = lexer.m_Cursor;
        const eTokenType t = lexer.nextToken();
        tokens.push_back(t);
        if (t == ttEND) break;
        if (t == ttNAME || t == ttRESERVED) lexer.getName(true);
        if (t == ttNUMBER) lexer.getNumber();
        if (t == ttUNKNOWN && lexer.m_Cursor == before) break;
    }
    return tokens;
}

using Tokens = std::vector<eTokenType>;

}  // namespace

TEST(LexerTest, EmptyBlankAndCommentOnlyTextsEndAtOnceAndStayEnded) {
    for (const char* text : {"", "  \t\r\n \v\f", "// only a comment", "/* block */",
                             "/* never closed", "//\n//\n/**/  \n"}) {
        Lexer lexer(text);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(ttEND, lexer.nextToken()) << '"' << text << '"';
    }
    Lexer noText;
    EXPECT_EQ(ttEND, noText.nextToken());
    EXPECT_EQ("", noText.getName(true));
    EXPECT_EQ(0.0, noText.getNumber());
    EXPECT_EQ("", noText.getString());
}

TEST(LexerTest, MultiCharacterOperatorsTakeTheLongestMatch) {
    EXPECT_EQ((Tokens{ttNAME, ttADDASSIGN, ttNAME, ttEND}), tokensOf("a+=b"));
    EXPECT_EQ((Tokens{ttNAME, ttNOTEQUALDOT, ttNAME, ttEND}), tokensOf("x!=.y"));
    EXPECT_EQ((Tokens{ttNAME, ttNOTEQUAL, ttDOT, ttNAME, ttEND}), tokensOf("x!= .y"));
    EXPECT_EQ((Tokens{ttNOT, ttNOTEQUAL, ttNOTEQUALDOT, ttEND}), tokensOf("! != !=."));
    EXPECT_EQ((Tokens{ttAMPERSAND, ttAND, ttANDDOT, ttEND}), tokensOf("& && &&."));
    EXPECT_EQ((Tokens{ttOR, ttORDOT, ttEND}), tokensOf("|| ||."));
    EXPECT_EQ((Tokens{ttINC, ttADDASSIGN, ttPLUS, ttEND}), tokensOf("++ += +"));
    EXPECT_EQ((Tokens{ttDEC, ttSUBASSIGN, ttMINUS, ttEND}), tokensOf("-- -= -"));
    EXPECT_EQ((Tokens{ttMULASSIGN, ttMUL, ttDIVASSIGN, ttDIV, ttEND}), tokensOf("*= * /= /"));
    EXPECT_EQ((Tokens{ttELEMMUL, ttELEMDIV, ttDOT, ttEND}), tokensOf(".* ./ ."));
    EXPECT_EQ((Tokens{ttEQUAL, ttASSIGN, ttLESSEQUAL, ttLESS, ttGREATEREQUAL, ttGREATER, ttEND}),
              tokensOf("== = <= < >= >"));
    EXPECT_EQ((Tokens{ttLPAREN, ttRPAREN, ttLBRACKET, ttRBRACKET, ttLBRACE, ttRBRACE, ttCOMMA,
                      ttSEMICOLON, ttPOWER, ttMODULO, ttQUOTE, ttEND}),
              tokensOf("()[]{},;^%\""));
    // Without blanks the operators still split as the longest matches from the left.
    EXPECT_EQ((Tokens{ttINC, ttPLUS, ttEND}), tokensOf("+++"));
    EXPECT_EQ((Tokens{ttNAME, ttDEC, ttMINUS, ttNAME, ttEND}), tokensOf("a---b"));
    EXPECT_EQ((Tokens{ttEQUAL, ttASSIGN, ttEND}), tokensOf("==="));
}

TEST(LexerTest, UnknownCharactersLeaveTheCursorExceptASingleBar) {
    for (const char* text :
         {"#", "$", "'", ":", "?", "@", "\\", "`", "~", "\x01", "\x7f", "\xc3"}) {
        Lexer lexer(text);
        EXPECT_EQ(ttUNKNOWN, lexer.nextToken()) << text;
        EXPECT_EQ(0, lexer.m_Cursor) << text;
    }
    EXPECT_EQ((Tokens{ttUNKNOWN, ttNAME, ttUNKNOWN, ttEND}), tokensOf("|a|"));
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

TEST(LexerTest, NamesTakeSingleColonsButStopBeforeADoubleColon) {
    Lexer single("a:b:c + x");
    EXPECT_EQ(ttNAME, single.nextToken());
    EXPECT_EQ("a:b:c", single.getName(true));
    EXPECT_EQ(ttPLUS, single.nextToken());

    Lexer twice("a::b");
    EXPECT_EQ(ttNAME, twice.nextToken());
    EXPECT_EQ("a", twice.getName(true));
    EXPECT_EQ(ttUNKNOWN, twice.nextToken());
    EXPECT_EQ(1, twice.m_Cursor);

    Lexer trailing("_x1:");
    EXPECT_EQ(ttNAME, trailing.nextToken());
    EXPECT_EQ("_x1:", trailing.getName(true));
    EXPECT_EQ(ttEND, trailing.nextToken());

    // Peeking leaves the cursor on the name; consuming moves it past.
    Lexer peek("  name2+1");
    EXPECT_EQ(ttNAME, peek.nextToken());
    EXPECT_EQ(2, peek.m_Cursor);
    EXPECT_EQ("name2", peek.getName(false));
    EXPECT_EQ(2, peek.m_Cursor);
    EXPECT_EQ("name2", peek.getName(true));
    EXPECT_EQ(7, peek.m_Cursor);
}

TEST(LexerTest, ReservedWordsMatchExactlyAndInTableOrder) {
    const char* words[] = {"func",     "return", "if",    "while", "for",   "else",  "break",
                           "continue", "byte",   "short", "int",   "float", "double"};
    for (int i = 0; i < 13; ++i) {
        Lexer lexer(std::string(words[i]) + " x");
        EXPECT_EQ(ttRESERVED, lexer.nextToken()) << words[i];
        EXPECT_EQ(0, lexer.m_Cursor);
        EXPECT_EQ(static_cast<eReservedWord>(i), lexer.getReserved()) << words[i];
    }
    for (const char* name : {"format", "For", "iff", "doubles", "in", "_if"}) {
        Lexer lexer(name);
        EXPECT_EQ(ttNAME, lexer.nextToken()) << name;
        EXPECT_EQ(rwNONE, lexer.getReserved()) << name;
    }
}

TEST(LexerTest, NumbersStopExactlyWhereTheConversionStops) {
    struct Case {
        const char* text;
        double value;
        int cursor;
    };
    const Case cases[] = {
        {"0x1F", 31.0, 4},    {"0xff;", 255.0, 4},
        {"0x", 0.0, 1},       {"0x1.8p1", 1.0, 3},
        {"0X1.8p1", 3.0, 7},  {"0X1F", 31.0, 4},
        {"3.*a", 3.0, 2},     {"12abc", 12.0, 2},
        {"1e3", 1000.0, 3},   {"1e", 1.0, 1},
        {"2.5e-1)", 0.25, 6}, {"007", 7.0, 3},
        {"1.5.5", 1.5, 3},    {"0xFFFFFFFFFF", 1099511627775.0, 12},
    };
    for (const Case& c : cases) {
        Lexer lexer(c.text);
        ASSERT_EQ(ttNUMBER, lexer.nextToken()) << c.text;
        EXPECT_EQ(c.value, lexer.getNumber()) << c.text;
        EXPECT_EQ(c.cursor, lexer.m_Cursor) << c.text;
    }
    Lexer huge("1e400");
    EXPECT_EQ(ttNUMBER, huge.nextToken());
    EXPECT_TRUE(std::isinf(huge.getNumber()));
    // A number needs a leading digit: ".5" is a dot and then a number.
    EXPECT_EQ((Tokens{ttDOT, ttNUMBER, ttEND}), tokensOf(".5"));
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

TEST(LexerTest, PositionsFollowTheThreeLineBreakRules) {
    // Line 1 starts at position 0; after a line feed skipped as white space the first character
    // stands at position 1.
    Lexer blank("ab\n  cd");
    EXPECT_EQ(ttNAME, blank.nextToken());
    EXPECT_EQ(1, blank.m_Line);
    EXPECT_EQ(0, blank.getPosition());
    blank.getName(true);
    EXPECT_EQ(2, blank.getPosition());
    EXPECT_EQ(ttNAME, blank.nextToken());
    EXPECT_EQ(2, blank.m_Line);
    EXPECT_EQ(2, blank.m_LineStart);
    EXPECT_EQ(3, blank.getPosition());
    blank.getName(true);
    EXPECT_EQ(5, blank.getPosition());

    // After a line comment the next line's first character stands at position 0.
    Lexer line("x // note\ny");
    EXPECT_EQ(ttNAME, line.nextToken());
    line.getName(true);
    EXPECT_EQ(ttNAME, line.nextToken());
    EXPECT_EQ(2, line.m_Line);
    EXPECT_EQ(0, line.getPosition());

    // A block comment counts the line feeds inside it the same way.
    Lexer block("/* one\n two\n */ z");
    EXPECT_EQ(ttNAME, block.nextToken());
    EXPECT_EQ(3, block.m_Line);
    EXPECT_EQ(4, block.getPosition());

    // Carriage returns are white space but no line breaks.
    Lexer crlf("a\r\n\r\nb");
    crlf.nextToken();
    crlf.getName(true);
    EXPECT_EQ(ttNAME, crlf.nextToken());
    EXPECT_EQ(3, crlf.m_Line);
    EXPECT_EQ(1, crlf.getPosition());
}

TEST(LexerTest, StringsDropLineFeedsAndCountThemAsLineBreaks) {
    Lexer lexer("\"ab\ncd\" x");
    EXPECT_EQ(ttQUOTE, lexer.nextToken());
    EXPECT_EQ("abcd", lexer.getString());
    EXPECT_EQ(2, lexer.m_Line);
    EXPECT_EQ(6, lexer.m_Cursor);  // on the closing quote, not past it
    EXPECT_EQ(ttQUOTE, lexer.nextToken());
    EXPECT_EQ(ttNAME, lexer.nextToken());
    EXPECT_EQ(4, lexer.getPosition());

    // No escapes: every other byte is kept as it stands, also bytes from 0x80 up.
    Lexer raw("\"a\\n\t\xc3\xa9\"");
    raw.nextToken();
    EXPECT_EQ("a\\n\t\xc3\xa9", raw.getString());

    // An unterminated string stops on the end of the text and the end stays there.
    Lexer open("\"abc");
    open.nextToken();
    EXPECT_EQ("abc", open.getString());
    EXPECT_EQ(ttEND, open.nextToken());
    EXPECT_EQ(ttEND, open.nextToken());
}

TEST(LexerTest, CommentsNeitherNestNorCloseOnTheirOwnStar) {
    EXPECT_EQ((Tokens{ttNAME, ttNAME, ttEND}), tokensOf("a/**/b"));
    EXPECT_EQ((Tokens{ttNAME, ttNAME, ttEND}), tokensOf("a/*/b*/c"));
    EXPECT_EQ((Tokens{ttNAME, ttMUL, ttDIV, ttEND}), tokensOf("/* /* */ x */"));
    EXPECT_EQ((Tokens{ttNAME, ttEND}), tokensOf("a // rest ; of { line"));
    EXPECT_EQ((Tokens{ttNAME, ttDIVASSIGN, ttNAME, ttDIV, ttNAME, ttEND}), tokensOf("a/=b/c"));
    EXPECT_EQ((Tokens{ttNAME, ttEND}), tokensOf("a /* unterminated ; b"));
}

TEST(LexerTest, GivingBackATokenReadsItAgainWithTheSameCounters) {
    Lexer lexer("a\n\n  += b");
    lexer.nextToken();
    lexer.getName(true);
    EXPECT_EQ(ttADDASSIGN, lexer.nextToken());
    const int line = lexer.m_Line;
    const int start = lexer.m_TokenStart;
    lexer.getBack();
    EXPECT_EQ(start, lexer.m_Cursor);
    EXPECT_EQ(ttADDASSIGN, lexer.nextToken());
    EXPECT_EQ(line, lexer.m_Line);
    EXPECT_EQ(3, lexer.m_Line);

    // The end inside an unterminated comment is given back onto the end itself, so reading it
    // again does not count the comment's line feeds twice.
    Lexer open("x /* one\ntwo\nthree");
    open.nextToken();
    open.getName(true);
    EXPECT_EQ(ttEND, open.nextToken());
    EXPECT_EQ(3, open.m_Line);
    open.getBack();
    EXPECT_EQ(ttEND, open.nextToken());
    EXPECT_EQ(3, open.m_Line);
}

TEST(LexerTest, AMillionCommentsInARowDoNotExhaustTheStack) {
    std::string text;
    for (int i = 0; i < 500000; ++i) text += "//\n/**/";
    text += "x";
    Lexer lexer(text);
    EXPECT_EQ(ttNAME, lexer.nextToken());
    EXPECT_EQ(500001, lexer.m_Line);
    EXPECT_EQ(4, lexer.getPosition());
}
