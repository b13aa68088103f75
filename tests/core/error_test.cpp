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

}  // namespace

TEST(ErrorRecordTest, RendersTypeLocationOneLessAndDetail) {
    const struct {
        eErrorType type;
        int line, pos;
        const char* detail;
        const char* expected;
    } cases[] = {
        {etSYNTAX, 2, 7, "colon expected", "Syntaxerror on line 2, position 6. colon expected"},
        // At the very start of a script the position shows -1; an empty detail keeps its blank.
        {etNAMEEXPECTED, 1, 0, "", "Name expected on line 1, position -1. "},
        {etUNKNOWNIDENT, 3, 5, "\nName= foo",
         "Unknown Identifier on line 3, position 4. \nName= foo"},
        // Line -1 drops the location; the interpreter's type text ends in a blank of its own.
        {etSYNTAX, -1, -1, "unexpected symbol", "Syntaxerror unexpected symbol"},
        {etINTERPRETER, -1, -1, "Nothing to Interprete",
         "Interpreter Error:  Nothing to Interprete"},
        // The shown position is computed without overflow even for the smallest int.
        {etSYNTAX, INT_MAX, INT_MIN, "", "Syntaxerror on line 2147483647, position -2147483649. "},
    };
    ErrorRecord e;
    for (const auto& c : cases) {
        EXPECT_FALSE(e.setError(c.type, c.line, c.pos, c.detail));
        EXPECT_EQ(c.expected, e.getError());
    }
}

TEST(ErrorRecordTest, ExceptionNamesTheVariableOnlyWhenGivenAndTheLastReportWins) {
    ErrorRecord e;
    EXPECT_FALSE(e.setException("Division by zero", 4, 9, "a"));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Interpreter Error:  on line 4, position 8. Division by zero accessing Variable a",
              e.getError());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
    e.setException("y", 7, 8, "");
    EXPECT_EQ("Interpreter Error:  on line 7, position 7. y", e.getError());
    e.setError(etDECLARATION, 3, 4, "second");
    EXPECT_EQ("Error in Declaration or Variable already declared on line 3, position 3. second",
              e.getError());
}

TEST(ErrorRecordTest, ReaderReturnsTheStoredPositionNotTheShownOne) {
    ErrorRecord e;
    e.setError(etINDEX, 12, 30, "");
    int line = 0;
    int pos = 0;
    std::string text;
    EXPECT_EQ(etINDEX, e.getError(line, pos, text));
    EXPECT_EQ(12, line);
    EXPECT_EQ(30, pos);
    EXPECT_EQ("Index Error on line 12, position 29. ", text);
}

TEST(ErrorRecordTest, TypesWithoutTextReadNoError) {
    EXPECT_STREQ("No Error", CQXError::typeText(0));
    EXPECT_STREQ("No Error", CQXError::typeText(16));
    EXPECT_STREQ("No Error", CQXError::typeText(21));
    EXPECT_STREQ("No Error", CQXError::typeText(-1));
    EXPECT_STREQ("No Error", CQXError::typeText(INT_MIN));
    // The neighbours of 16 keep their own texts.
    EXPECT_STREQ("Unknown Identifier", CQXError::typeText(15));
    EXPECT_STREQ("Can't refere to Expression or resizable Variable", CQXError::typeText(17));
    EXPECT_STREQ("Can't change size of non resizeable Variable", CQXError::typeText(20));

    ErrorRecord e;
    e.setError(static_cast<eErrorType>(16), 1, 1, "d");
    EXPECT_EQ("No Error on line 1, position 0. d", e.getError());
    e.setError(static_cast<eErrorType>(31), -1, -1, "d");
    EXPECT_EQ("No Error d", e.getError());
}

TEST(ErrorRecordTest, FreshRecordIsAnUnknownErrorAtTheStart) {
    ErrorRecord fresh;
    EXPECT_EQ(etUNKNOWN, fresh.getType());
    EXPECT_EQ("Unknown Error on line 0, position -1. ", fresh.getError());
}
