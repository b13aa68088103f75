// CSV files of qxrun: what --load accepts and refuses (with the line and field named), and the
// exact round trip of values through --save and --load.
#include "csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

std::string parseError(const std::string& text, long long maxValues = kMaxHostValues) {
    sCsvData data;
    std::string error;
    EXPECT_FALSE(parseCsv(text, data, error, maxValues)) << text;
    EXPECT_EQ(data.rows, 0);
    return error;
}

}  // namespace

TEST(QxrunCsvTest, ReadsRowsWithBlanksSignsAndLineEndings) {
    sCsvData data;
    std::string error;
    ASSERT_TRUE(parseCsv(" 1, -2.5 ,+3\r\n4e-3,\t5,  -0\r\n\n  \n", data, error)) << error;
    EXPECT_EQ(data.rows, 2);
    EXPECT_EQ(data.cols, 3);
    const double want[] = {1, -2.5, 3, 0.004, 5, -0.0};
    ASSERT_EQ(data.values.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data.values[i], want[i]);
    EXPECT_TRUE(std::signbit(data.values[5]));

    ASSERT_TRUE(parseCsv("inf,-inf,nan", data, error)) << error;
    EXPECT_TRUE(std::isinf(data.values[0]) && data.values[0] > 0);
    EXPECT_TRUE(std::isinf(data.values[1]) && data.values[1] < 0);
    EXPECT_TRUE(std::isnan(data.values[2]));
}

TEST(QxrunCsvTest, RefusesMalformedFilesNamingLineAndField) {
    EXPECT_EQ(parseError(""), "no values");
    EXPECT_EQ(parseError("\n \n"), "no values");
    EXPECT_EQ(parseError("1,2\n3\n"), "line 2: 1 value, but the first row has 2 values");
    EXPECT_EQ(parseError("1,2\n3,4,5\n"), "line 2: 3 values, but the first row has 2 values");
    EXPECT_EQ(parseError("1,2\n\n3,4\n"), "line 2: empty line");
    EXPECT_EQ(parseError("1,,2"), "line 1: field 2: empty field");
    EXPECT_EQ(parseError("1,2,"), "line 1: field 3: empty field");
    EXPECT_EQ(parseError("1,abc"), "line 1: field 2: not a number: abc");
    EXPECT_EQ(parseError("1 2"), "line 1: field 1: not a number: 1 2");
    EXPECT_EQ(parseError("0x10"), "line 1: field 1: not a number: 0x10");
    EXPECT_EQ(parseError("+-1"), "line 1: field 1: not a number: +-1");
    EXPECT_EQ(parseError("1e999"), "line 1: field 1: number out of range: 1e999");
}

TEST(QxrunCsvTest, RefusesMoreValuesThanTheLimit) {
    sCsvData data;
    std::string error;
    EXPECT_TRUE(parseCsv("1,2\n3,4\n", data, error, 4)) << error;
    EXPECT_EQ(parseError("1,2\n3,4\n5,6\n", 4), "line 3: more than 4 values");
}

TEST(QxrunCsvTest, SavedValuesLoadBackBitForBit) {
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 3);
    const double values[] = {0.1, -2.5e-310, 1.7976931348623157e308, -0.0, 1.0 / 3, -12};
    for (int i = 0; i < 6; ++i) m->setData(i / 3, i % 3, values[i]);
    std::string text = formatCsv(*m);
    sCsvData data;
    std::string error;
    ASSERT_TRUE(parseCsv(text, data, error)) << error;
    ASSERT_EQ(data.rows, 2);
    ASSERT_EQ(data.cols, 3);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(data.values[i], values[i]) << text;
        EXPECT_EQ(std::signbit(data.values[i]), std::signbit(values[i]));
    }

    CQXVariable* bytes = qx.addByteVar("b", 1, 2);
    bytes->setData(0, 0, 200);
    bytes->setData(0, 1, 7);
    EXPECT_EQ(formatCsv(*bytes), "200,7\n");
}

TEST(QxrunCsvTest, FilesThatCannotBeReadOrWrittenAreReported) {
    sCsvData data;
    std::string error;
    EXPECT_FALSE(readCsvFile("/nonexistent/dir/x.csv", data, error));
    EXPECT_EQ(error, "/nonexistent/dir/x.csv: cannot read the file");
    CQXCompiler qx;
    CQXVariable* v = qx.addDoubleVar("v", 1, 1);
    EXPECT_FALSE(writeCsvFile("/nonexistent/dir/x.csv", *v, error));
    EXPECT_EQ(error, "/nonexistent/dir/x.csv: cannot write the file");

    std::string path = testing::TempDir() + "qxrun_csv_test.csv";
    v->setData(0, 0, -1.25);
    ASSERT_TRUE(writeCsvFile(path, *v, error)) << error;
    ASSERT_TRUE(readCsvFile(path, data, error)) << error;
    EXPECT_EQ(data.values[0], -1.25);
    std::remove(path.c_str());
}
