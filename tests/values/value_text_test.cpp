// A value as qx text: numbers that read back to the same value, element types in their own
// form, aligned rows, and large values shown in part.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "qx/core/compiler.h"

TEST(ValueTextTest, NumbersUseTheShortestTextThatReadsBackExactly) {
    EXPECT_EQ(CQXVariable::numberText(0.1, edtDOUBLE), "0.1");
    EXPECT_EQ(CQXVariable::numberText(-2147483648.0, edtINT), "-2147483648");
    EXPECT_EQ(CQXVariable::numberText(65535.0, edtSHORT), "65535");
    // A float 0.1 widened to double is 0.100000001490116...; its own shortest text is 0.1.
    EXPECT_EQ(CQXVariable::numberText(static_cast<double>(0.1f), edtFLOAT), "0.1");
    EXPECT_EQ(CQXVariable::numberText(std::numeric_limits<float>::max(), edtFLOAT),
              "3.4028235e+38");
    EXPECT_EQ(CQXVariable::numberText(-std::numeric_limits<double>::infinity(), edtFLOAT), "-inf");
    EXPECT_EQ(CQXVariable::numberText(std::copysign(NAN, -1.0), edtDOUBLE), "nan");
    std::mt19937_64 random(42);
    for (int i = 0; i < 2000; ++i) {
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        std::string text = CQXVariable::numberText(value, edtDOUBLE);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
}

TEST(ValueTextTest, RowsAlignAndReadBackAsTheSameValue) {
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 3);
    CQXVariable* b = qx.addByteVar("b", 1, 3);
    ASSERT_TRUE(qx.runCompiler("m = [1, -2.5, 3; 10, 0.125, 1e20]; b = [1, 200, 3];"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(m->toText(4), "[ 1,  -2.5,     3;\n     10, 0.125, 1e+20]");
    EXPECT_EQ(b->toText(), "[1, 200, 3]");
    EXPECT_EQ(qx.addDoubleVar("e", 0, 3)->toText(), "[]");
    CQXVariable* copy = qx.addDoubleVar("copy", 2, 3);
    ASSERT_TRUE(qx.runCompiler("copy = " + m->toText() + ";"));
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(copy->toText(), m->toText());
}

TEST(ValueTextTest, LargeValuesAreShownInPart) {
    CQXCompiler qx;
    CQXVariable* big = qx.addIntVar("big", 200, 100);
    for (int r = 0; r < 200; ++r)
        for (int c = 0; c < 100; ++c) big->setData(r, c, r * 1000 + c);
    EXPECT_EQ(big->toText(0, 1000),
              "[     0,      1,      2, ...,     97,     98,     99;\n"
              "   1000,   1001,   1002, ...,   1097,   1098,   1099;\n"
              "   2000,   2001,   2002, ...,   2097,   2098,   2099;\n"
              " ...\n"
              " 197000, 197001, 197002, ..., 197097, 197098, 197099;\n"
              " 198000, 198001, 198002, ..., 198097, 198098, 198099;\n"
              " 199000, 199001, 199002, ..., 199097, 199098, 199099] // 200x100, shown in part");
    CQXVariable* row = qx.addDoubleVar("row", 1, 7);
    EXPECT_EQ(row->toText(0, 6), "[0, 0, 0, ..., 0, 0, 0] // 1x7, shown in part");
    EXPECT_EQ(row->toText(0, 7), "[0, 0, 0, 0, 0, 0, 0]");
    EXPECT_EQ(big->toText(0, 0).size(), big->toText().size());
}
