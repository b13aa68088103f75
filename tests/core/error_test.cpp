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
    ErrorRecord e;
    EXPECT_FALSE(e.setError(etSYNTAX, 2, 7, "colon expected"));
    EXPECT_EQ("Syntaxerror on line 2, position 6. colon expected", e.getError());

    // An error at the very start of a script shows position -1; an empty detail still leaves
    // the blank before it.
    e.setError(etNAMEEXPECTED, 1, 0, "");
    EXPECT_EQ("Name expected on line 1, position -1. ", e.getError());

    // The unknown-identifier detail carries its own line break.
    e.setError(etUNKNOWNIDENT, 3, 5, "\nName= foo");
    EXPECT_EQ("Unknown Identifier on line 3, position 4. \nName= foo", e.getError());
}

TEST(ErrorRecordTest, LineMinusOneDropsTheLocation) {
    ErrorRecord e;
    e.setError(etSYNTAX, -1, -1, "unexpected symbol");
    EXPECT_EQ("Syntaxerror unexpected symbol", e.getError());
    // The interpreter type text ends in a blank, so two blanks precede the detail.
    e.setError(etINTERPRETER, -1, -1, "Nothing to Interprete");
    EXPECT_EQ("Interpreter Error:  Nothing to Interprete", e.getError());
}

TEST(ErrorRecordTest, ExceptionNamesTheVariableOnlyWhenGiven) {
    ErrorRecord e;
    EXPECT_FALSE(e.setException("Division by zero", 4, 9, ""));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Interpreter Error:  on line 4, position 8. Division by zero", e.getError());

    e.setException("Division by zero", 4, 9, "a");
    EXPECT_EQ("Interpreter Error:  on line 4, position 8. Division by zero accessing Variable a",
              e.getError());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
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

TEST(ErrorRecordTest, LastReportWinsAndNothingAccumulates) {
    ErrorRecord e;
    e.setError(etSYNTAX, 1, 2, "first");
    e.setError(etDECLARATION, 3, 4, "second");
    EXPECT_EQ("Error in Declaration or Variable already declared on line 3, position 3. second",
              e.getError());
    e.setException("x", 5, 6, "v");
    e.setException("y", 7, 8, "");
    EXPECT_EQ("Interpreter Error:  on line 7, position 7. y", e.getError());
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

TEST(ErrorRecordTest, FreshRecordAndExtremePositionsRenderSafely) {
    ErrorRecord fresh;
    EXPECT_EQ(etUNKNOWN, fresh.getType());
    EXPECT_EQ("Unknown Error on line 0, position -1. ", fresh.getError());

    // The shown position is computed without overflow even for the smallest int.
    ErrorRecord e;
    e.setError(etSYNTAX, INT_MAX, INT_MIN, "");
    EXPECT_EQ("Syntaxerror on line 2147483647, position -2147483649. ", e.getError());
}
