// Value text of qxrun: numbers that read back to the same value, element types in their own
// form, listings that are comments where no qx text gives the value back, and script names.
#include "printer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

TEST(QxrunPrinterTest, NumbersUseTheShortestTextThatReadsBackExactly) {
    EXPECT_EQ(formatNumber(0.1, edtDOUBLE), "0.1");
    EXPECT_EQ(formatNumber(-2147483648.0, edtINT), "-2147483648");
    EXPECT_EQ(formatNumber(65535.0, edtSHORT), "65535");
    // A float 0.1 widened to double is 0.100000001490116...; its own shortest text is 0.1.
    EXPECT_EQ(formatNumber(static_cast<double>(0.1f), edtFLOAT), "0.1");
    EXPECT_EQ(formatNumber(std::numeric_limits<float>::max(), edtFLOAT), "3.4028235e+38");
    std::mt19937_64 random(42);
    for (int i = 0; i < 2000; ++i) {
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        std::string text = formatNumber(value, edtDOUBLE);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
}

TEST(QxrunPrinterTest, ListingsWithoutQxTextAreComments) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(formatNumber(-inf, edtFLOAT), "-inf");
    EXPECT_EQ(formatNumber(std::copysign(NAN, -1.0), edtDOUBLE), "nan");
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    const double values[] = {1, inf, NAN, -inf};
    for (int i = 0; i < 4; ++i) m->setData(i / 2, i % 2, values[i]);
    const std::string listing = formatAssignment(*m);
    EXPECT_EQ(listing,
              "// m cannot be written as qx text (it holds inf or nan):\n"
              "// m = [  1,  inf;\n"
              "//      nan, -inf];");
    EXPECT_TRUE(qx.runCompiler(listing)) << qx.getError();
    // Only a host can make an empty variable.
    CQXVariable* empty = qx.addDoubleVar("e", 0, 3);
    EXPECT_EQ(formatValue(*empty), "[]");
    EXPECT_EQ(formatAssignment(*empty), "// e is empty");
}

TEST(QxrunPrinterTest, ScriptNamesFollowTheLexer) {
    for (const char* name : {"x", "_tmp2", "a:b", "Double"}) EXPECT_TRUE(isScriptName(name));
    for (const char* name : {"a::b", "", "2x", "a-b", "while", "double"})
        EXPECT_FALSE(isScriptName(name)) << name;
}
