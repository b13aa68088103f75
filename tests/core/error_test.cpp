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
    EXPECT_STREQ(CQXError::typeText(etNOTRESIZEABLE),
                 "Can't change size of non resizeable Variable");
    // The texts of the types the library never reports, which hosts see only through typeText
    // (the golden scripts pin the others).
    EXPECT_STREQ(CQXError::typeText(etUNKNOWN), "Unknown Error");
    EXPECT_STREQ(CQXError::typeText(etRESERVEDWORD), "Reserved Word Error");
    EXPECT_STREQ(CQXError::typeText(etTYPEMISMATCH), "Type mismatch");
    EXPECT_STREQ(CQXError::typeText(etDIVZERO), "Division by Zero");
    EXPECT_FALSE(e.setException("Division by zero", 4, 9, "a"));
    EXPECT_EQ(etINTERPRETER, e.getType());
    EXPECT_EQ("Division by zero accessing Variable a", e.getText());
}
