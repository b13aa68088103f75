// Unit tests of the error record where the golden scripts cannot reach it: type numbers without
// a text, positions at the ends of int. The texts of every error the compiler and the
// interpreter raise are pinned by the golden scripts.
#include "qx/core/error.h"

#include <gtest/gtest.h>

#include <climits>

// The record's constructor is reserved to the classes that embed one.
class ErrorRecordUnderTest : public CQXError {
public:
    ErrorRecordUnderTest() {}
};

TEST(ErrorRecordTest, RendersUnknownTypesAndExtremePositions) {
    ErrorRecordUnderTest e;
    // The shown position is computed without overflow even for the smallest int.
    e.setError(etSYNTAX, INT_MAX, INT_MIN, "");
    EXPECT_EQ(e.getError(), "Syntaxerror on line 2147483647, position -2147483649. ");
    // Types without a text of their own read "No Error", their neighbours keep theirs.
    e.setError(static_cast<eErrorType>(16), 1, 1, "d");
    EXPECT_EQ(e.getError(), "No Error on line 1, position 0. d");
    for (int type : {-1, INT_MIN, 21, 31}) EXPECT_STREQ(CQXError::typeText(type), "No Error");
    // Every type text, as hosts see them at the start of a message.
    const char* const texts[] = {"No Error",
                                 "Unknown Error",
                                 "Syntaxerror",
                                 "Error in Declaration or Variable already declared",
                                 "Reserved Word Error",
                                 "Index Error",
                                 "Constant can not be LValue or Reference",
                                 "Type mismatch",
                                 "Name expected",
                                 "Function already declared",
                                 "Variable already declared",
                                 "( or { or [ expected",
                                 ") or } or ] expected",
                                 "Unexpected undefined Variable",
                                 "Function has no Return Type",
                                 "Unknown Identifier",
                                 "No Error",
                                 "Can't refere to Expression or resizable Variable",
                                 "Interpreter Error: ",
                                 "Division by Zero",
                                 "Can't change size of non resizeable Variable"};
    for (int type = 0; type <= etNOTRESIZEABLE; ++type)
        EXPECT_STREQ(CQXError::typeText(type), texts[type]) << type;
    EXPECT_FALSE(e.setException("Division by zero", 4, 9, "a"));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
}
