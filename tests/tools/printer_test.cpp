// Value text of qxrun: numbers that read back to the same value, matrix layouts that are valid
// qx text, and the listing lines of variables whose names a script cannot write.
#include "printer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

double readBack(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

TEST(QxrunPrinterTest, DoublesUseTheShortestTextThatReadsBackExactly) {
    EXPECT_EQ(formatNumber(3.0, edtDOUBLE), "3");
    EXPECT_EQ(formatNumber(0.1, edtDOUBLE), "0.1");
    EXPECT_EQ(formatNumber(-2.5, edtDOUBLE), "-2.5");
    EXPECT_EQ(formatNumber(1e20, edtDOUBLE), "1e+20");
    EXPECT_EQ(formatNumber(-0.0, edtDOUBLE), "-0");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::max(), edtDOUBLE),
              "1.7976931348623157e+308");
    std::mt19937_64 random(42);
    for (int i = 0; i < 2000; ++i) {
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        std::string text = formatNumber(value, edtDOUBLE);
        EXPECT_EQ(readBack(text), value) << text;
    }
}

TEST(QxrunPrinterTest, ElementTypesKeepTheirOwnForm) {
    EXPECT_EQ(formatNumber(255.0, edtBYTE), "255");
    EXPECT_EQ(formatNumber(65535.0, edtSHORT), "65535");
    EXPECT_EQ(formatNumber(-2147483648.0, edtINT), "-2147483648");
    // A float 0.1 widened to double is 0.100000001490116...; its own shortest text is 0.1.
    EXPECT_EQ(formatNumber(static_cast<double>(0.1f), edtFLOAT), "0.1");
    EXPECT_EQ(formatNumber(static_cast<double>(std::numeric_limits<float>::max()), edtFLOAT),
              "3.4028235e+38");
}

TEST(QxrunPrinterTest, InfinitiesAndNaNAreWordsListedInCommentsThatSaySo) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(formatNumber(inf, edtDOUBLE), "inf");
    EXPECT_EQ(formatNumber(-inf, edtFLOAT), "-inf");
    EXPECT_EQ(formatNumber(std::copysign(nan, -1.0), edtDOUBLE), "nan");
    // No qx text gives these values back under the default options (1e999 reads as the largest
    // double), so the listing is a comment that says so, and a pasted listing still compiles.
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    double** rows = m->getDoublePtr();
    rows[0][0] = 1;
    rows[0][1] = inf;
    rows[1][0] = nan;
    rows[1][1] = -inf;
    const std::string listing = formatAssignment(*m);
    EXPECT_EQ(listing,
              "// m cannot be written as qx text (it holds inf or nan):\n"
              "// m = [  1,  inf;\n"
              "//      nan, -inf];");
    EXPECT_TRUE(qx.runCompiler(listing)) << qx.getError();
    CQXVariable* f = qx.addFloatVar("f", 1, 1);
    f->getFloatPtr()[0][0] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(formatAssignment(*f),
              "// f cannot be written as qx text (it holds inf or nan):\n"
              "// f = nan;");
}

TEST(QxrunPrinterTest, MatricesAreLiteralsWithRightAlignedColumns) {
    CQXCompiler qx;
    CQXVariable* single = qx.addIntVar("k", 1, 1);
    single->setData(0, 0, -7);
    EXPECT_EQ(formatValue(*single), "-7");
    EXPECT_EQ(formatAssignment(*single), "k = -7;");

    CQXVariable* row = qx.addDoubleVar("row", 1, 3);
    row->setData(0, 0, 1);
    row->setData(0, 1, -22.5);
    row->setData(0, 2, 3);
    EXPECT_EQ(formatAssignment(*row), "row = [1, -22.5, 3];");

    CQXVariable* m = qx.addDoubleVar("m", 3, 2);
    const double values[] = {1, -2.5, 10, 3, 100, 0.25};
    for (int i = 0; i < 6; ++i) m->setData(i / 2, i % 2, values[i]);
    EXPECT_EQ(formatAssignment(*m),
              "m = [  1, -2.5;\n"
              "      10,    3;\n"
              "     100, 0.25];");
    EXPECT_EQ(formatValue(*m),
              "[  1, -2.5;\n"
              "  10,    3;\n"
              " 100, 0.25]");
}

TEST(QxrunPrinterTest, ListingsOfUnusableNamesOrEmptyVariablesAreComments) {
    CQXCompiler qx;
    CQXVariable* odd = qx.addDoubleVar(std::string("a b\x01", 4), 2, 1);
    odd->setData(1, 0, 5);
    EXPECT_EQ(formatAssignment(*odd),
              "// variable \"a b\\x01\" = [0;\n"
              "//                       5];");
    CQXVariable* empty = qx.addDoubleVar("e", 0, 3);
    EXPECT_EQ(formatValue(*empty), "[]");
    EXPECT_EQ(formatAssignment(*empty), "// e is empty");
}

TEST(QxrunPrinterTest, ScriptNamesFollowTheLexer) {
    for (const char* name : {"x", "_tmp2", "a:b", "Double"})
        EXPECT_TRUE(isScriptName(name)) << name;
    for (const char* name : {"a::b", "", "2x", "a-b", "while", "double"}) {
        EXPECT_FALSE(isScriptName(name)) << name;
    }
}

TEST(QxrunPrinterTest, ListingCompilesBackToTheSameValues) {
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 3);
    const double values[] = {0.1, -1e-300, 12345.678, 1e21, -0.5, 7};
    for (int i = 0; i < 6; ++i) m->setData(i / 3, i % 3, values[i]);
    std::string listing = formatAssignment(*m);
    CQXVariable* copy = qx.addDoubleVar("copy", 2, 3);
    std::string script = "copy" + listing.substr(1);
    ASSERT_TRUE(qx.runCompiler(script)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(copy->getData(i / 3, i % 3), values[i]);
}
