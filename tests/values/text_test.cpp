// The text form of a variable and the four reductions over its elements: exact texts for every
// element type, independence from the host's locale, and the reductions without elements (their
// results over elements are pinned by the golden script statistics.qx).
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

#include "tests/support/matrix.h"

namespace {

class VariableTextTest : public ::testing::Test, protected qxtest::CMatrices {};

TEST_F(VariableTextTest, TextFormOfEveryTypeAndOfVariablesWithoutStorage) {
    CQXVariable* x = make(2, 2, {1, 2.5, -3});
    EXPECT_EQ(x->toString(), "=1.0000,2.5000,\r\n-3.0000,0.0000,\r\n");
    EXPECT_EQ(make(1, 3, {-1, 0, 7}, edtINT)->toString(), "=-1,0,7,\r\n");
    EXPECT_EQ(make(1, 2, {200, 255}, edtBYTE)->toString(), "=200,255,\r\n");
    EXPECT_EQ(make(1, 1, {65535}, edtSHORT)->toString(), "=65535,\r\n");
    EXPECT_EQ(make(1, 2, {0.1, -2.25}, edtFLOAT)->toString(), "=0.1000,-2.2500,\r\n");
    double row[1] = {0};
    double* rows[2] = {row, row};
    x->setName_intern("x");
    x->setView_intern(2, 0, rows);
    EXPECT_EQ(x->toString(), "x=\r\n\r\n");
    x->setView_intern(0, 0, rows);
    EXPECT_EQ(x->toString(), "x=");
    EXPECT_EQ(fresh()->toString(), "=not initialized\r\n");
}

TEST_F(VariableTextTest, TextUsesADecimalPointUnderACommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8";
    const std::string text = make(1, 1, {3.14})->toString();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(text, "=3.1400,\r\n");
}

TEST_F(VariableTextTest, ReductionsWithoutElements) {
    CQXVariable* none = fresh();
    EXPECT_TRUE(none->getMin() == DBL_MAX && none->getMax() == -DBL_MAX && none->getSum() == 0.0);
    EXPECT_TRUE(std::isnan(none->getMean()));
    none->setInt("u", 2, 2, nullptr);
    EXPECT_TRUE(std::isnan(none->getMean()));
}

}  // namespace
