// CSV files of qxrun: what --load refuses (with the line and field named), the limit on values,
// and numbers written and read with a decimal point whatever locale the host has set.
#include "csv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

std::string parseError(const std::string& text, long long maxValues = kMaxHostValues) {
    sCsvData data;
    std::string error;
    EXPECT_FALSE(parseCsv(text, data, error, maxValues)) << text;
    EXPECT_EQ(data.rows, 0);
    return error;
}

}  // namespace

TEST(QxrunCsvTest, RefusesMalformedFilesNamingLineAndField) {
    EXPECT_EQ(parseError("\n \n"), "no values");
    EXPECT_EQ(parseError("1,2\n3,4,5\n"), "line 2: 3 values, but the first row has 2 values");
    EXPECT_EQ(parseError("1,2\n\n3,4\n"), "line 2: empty line");
    EXPECT_EQ(parseError("1,,2"), "line 1: field 2: empty field");
    EXPECT_EQ(parseError("1,2,"), "line 1: field 3: empty field");
    EXPECT_EQ(parseError("1,abc"), "line 1: field 2: not a number: abc");
    for (const char* field : {"1 2", "0x10", "+-1"})
        EXPECT_EQ(parseError(field), std::string("line 1: field 1: not a number: ") + field);
    EXPECT_EQ(parseError("1e999"), "line 1: field 1: number out of range: 1e999");
    EXPECT_EQ(parseError("1,2\n3,4\n5,6\n", 4), "line 3: more than 4 values");
    sCsvData data;
    std::string error;
    EXPECT_TRUE(parseCsv("1,2\n3,4\n", data, error, 4)) << error;
}

TEST(QxrunCsvTest, NumbersKeepTheirPointUnderACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8";
    CQXCompiler qx;
    CQXVariable* v = qx.addDoubleVar("v", 1, 2);
    v->setData(0, 0, 0.5);
    v->setData(0, 1, -2.5e-310);
    std::string text = formatCsv(*v);
    sCsvData data;
    std::string error;
    bool read = parseCsv("0.25,1e3", data, error);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(text, "0.5,-2.5e-310\n");
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(data.values, (std::vector<double>{0.25, 1000}));
}
