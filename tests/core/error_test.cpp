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
    EXPECT_EQ("Unknown Error on line 0, position -1. ", e.getError());  // a fresh record
    const struct {
        int type, line, pos;
        const char* detail;
        const char* expected;
    } cases[] = {
        {etSYNTAX, 2, 7, "colon expected", "Syntaxerror on line 2, position 6. colon expected"},
        {etUNKNOWNIDENT, 3, 5, "\nName= foo",
         "Unknown Identifier on line 3, position 4. \nName= foo"},
        // Line -1 drops the location; the interpreter's type text ends in a blank of its own.
        {etSYNTAX, -1, -1, "unexpected symbol", "Syntaxerror unexpected symbol"},
        {etINTERPRETER, -1, 5, "x", "Interpreter Error:  x"},
        // The shown position is computed without overflow even for the smallest int.
        {etSYNTAX, INT_MAX, INT_MIN, "", "Syntaxerror on line 2147483647, position -2147483649. "},
        // Types without a text of their own read "No Error", their neighbours keep theirs.
        {15, 1, 1, "d", "Unknown Identifier on line 1, position 0. d"},
        {16, 1, 1, "d", "No Error on line 1, position 0. d"},
        {17, 0, 1, "", "Can't refere to Expression or resizable Variable on line 0, position 0. "},
        {20, -1, 0, "", "Can't change size of non resizeable Variable "},
        {21, -1, 0, "d", "No Error d"},
        {31, -1, 0, "d", "No Error d"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(e.setError(static_cast<eErrorType>(c.type), c.line, c.pos, c.detail));
        EXPECT_EQ(c.expected, e.getError());
    }
    EXPECT_STREQ("No Error", CQXError::typeText(-1));
    EXPECT_STREQ("No Error", CQXError::typeText(INT_MIN));
    int line = 0, pos = 0;
    std::string text;
    e.setError(etINDEX, 12, 30, "");
    EXPECT_EQ(etINDEX, e.getError(line, pos, text));  // the stored position, not the shown one
    EXPECT_EQ(12, line);
    EXPECT_EQ(30, pos);
    EXPECT_EQ("Index Error on line 12, position 29. ", text);
}

TEST(ErrorRecordTest, ExceptionNamesTheVariableOnlyWhenGiven) {
    ErrorRecord e;
    EXPECT_FALSE(e.setException("Division by zero", 4, 9, "a"));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Interpreter Error:  on line 4, position 8. Division by zero accessing Variable a",
              e.getError());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
    e.setException("y", 7, 8, "");
    EXPECT_EQ("Interpreter Error:  on line 7, position 7. y", e.getError());
}

}  // namespace
