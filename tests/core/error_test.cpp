// Unit tests of the error record: the rendered message (type text, location, detail), the
// run-time form with its variable name, and what the three-out-parameter reader hands back.
#include "qx/core/error.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// The record's constructor is reserved to the classes that embed one.
class ErrorRecord : public CQXError {
public:
    ErrorRecord() {}
};

TEST(ErrorRecordTest, RendersTypeLocationOneLessAndDetail) {
    ErrorRecord e;
    const struct {
        int type, line, pos;
        const char *detail, *expected;
    } cases[] = {
        {etSYNTAX, 2, 7, "colon", "Syntaxerror on line 2, position 6. colon"},
        {etUNKNOWNIDENT, 3, 5, "\nf", "Unknown Identifier on line 3, position 4. \nf"},
        // Line -1 drops the location; the interpreter's type text ends in a blank of its own.
        {etSYNTAX, -1, -1, "unexpected", "Syntaxerror unexpected"},
        {etINTERPRETER, -1, 5, "x", "Interpreter Error:  x"},
        // The shown position is computed without overflow even for the smallest int.
        {etSYNTAX, INT_MAX, INT_MIN, "", "Syntaxerror on line 2147483647, position -2147483649. "},
        // Types without a text of their own read "No Error", their neighbours keep theirs.
        {16, 1, 1, "d", "No Error on line 1, position 0. d"},
        {17, 0, 1, "", "Can't refere to Expression or resizable Variable on line 0, position 0. "},
        {20, -1, 0, "", "Can't change size of non resizeable Variable "},
        {21, -1, 0, "d", "No Error d"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(e.setError(static_cast<eErrorType>(c.type), c.line, c.pos, c.detail));
        EXPECT_EQ(c.expected, e.getError());
    }
    for (int type : {-1, INT_MIN, 31}) EXPECT_STREQ(CQXError::typeText(type), "No Error");
    int line = 0, pos = 0;
    std::string text;
    e.setError(etINDEX, 12, 30, "");
    EXPECT_EQ(etINDEX, e.getError(line, pos, text));  // the stored position, not the shown one
    EXPECT_EQ(std::to_string(line) + " " + std::to_string(pos) + " " + text,
              "12 30 Index Error on line 12, position 29. ");

    EXPECT_FALSE(e.setException("Division by zero", 4, 9, "a"));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Interpreter Error:  on line 4, position 8. Division by zero accessing Variable a",
              e.getError());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
    e.setException("y", 7, 8, "");  // no variable named
    EXPECT_EQ("Interpreter Error:  on line 7, position 7. y", e.getError());
}

}  // namespace
