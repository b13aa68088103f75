// The text form of a variable and the four reductions over its elements: exact texts for every
// element type, independence from the host's locale, and the reductions without elements (their
// results over elements are pinned by the golden script statistics.qx).
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

class VariableTextTest : public ::testing::Test {
protected:
    // A 1 x n variable of the type holding the values (stored with the plain conversion).
    void fillRow(CQXVariable& v, const std::string& name, eDataType type,
                 std::initializer_list<double> values) {
        v.initialize(name, 1, static_cast<int>(values.size()), type);
        int c = 0;
        for (double x : values) v.setData(0, c++, x);
    }
    CQXSharedParameter shared;
};

TEST_F(VariableTextTest, TextFormOfRowsAndOfVariablesWithoutStorage) {
    CQXVariable x(&shared);
    x.setName_intern("x");
    EXPECT_EQ(x.toString(), "x=not initialized\r\n");
    x.initialize("x", 2, 2, edtDOUBLE);
    x.setData(0, 0, 1);
    x.setData(0, 1, 2.5);
    x.setData(1, 0, -3);
    EXPECT_EQ(x.toString(), "x=1.0000,2.5000,\r\n-3.0000,0.0000,\r\n");
    double row[1] = {0};
    double* rows[2] = {row, row};
    x.setView_intern(2, 0, rows);
    EXPECT_EQ(x.toString(), "x=\r\n\r\n");
    x.setView_intern(0, 0, rows);
    EXPECT_EQ(x.toString(), "x=");
}

TEST_F(VariableTextTest, EachTypeHasItsNumberForm) {
    CQXVariable v(&shared);
    fillRow(v, "k", edtINT, {-1, 0, 7});
    EXPECT_EQ(v.toString(), "k=-1,0,7,\r\n");
    fillRow(v, "b", edtBYTE, {200, 255});
    EXPECT_EQ(v.toString(), "b=200,255,\r\n");
    fillRow(v, "s", edtSHORT, {65535});
    EXPECT_EQ(v.toString(), "s=65535,\r\n");
    fillRow(v, "f", edtFLOAT, {0.1, -2.25});
    EXPECT_EQ(v.toString(), "f=0.1000,-2.2500,\r\n");
}

TEST_F(VariableTextTest, TextUsesADecimalPointUnderACommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    CQXVariable v(&shared);
    fillRow(v, "pi", edtDOUBLE, {3.14});
    const std::string text = v.toString();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(text, "pi=3.1400,\r\n");
}

TEST_F(VariableTextTest, ReductionsWithoutElements) {
    CQXVariable none(&shared);
    EXPECT_EQ(none.getMin(), DBL_MAX);
    EXPECT_EQ(none.getMax(), -DBL_MAX);
    EXPECT_EQ(none.getSum(), 0.0);
    EXPECT_TRUE(std::isnan(none.getMean()));
    none.setInt("u", 2, 2, nullptr);
    EXPECT_TRUE(std::isnan(none.getMean()));
}

}  // namespace
