// Conversions between double and the five element types: the plain store of setData, the
// saturating store of setsingle and setmatrix under the clipping option, and reading as double.
// Every case that would be an out-of-range cast must come out as a defined value (the sanitized
// build turns such a cast into a failure).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class ConversionTest : public ::testing::Test {
protected:
    // A 1x1 variable of the type, given v by the plain store, read back as double.
    double plainStore(eDataType type, double v) {
        CQXVariable var(&shared);
        var.initialize("v", 1, 1, type);
        var.setData(0, 0, v);
        return var.getData(0, 0);
    }
    // The same through setsingle, with the clipping option as currently set.
    double fill(eDataType type, double v) {
        CQXVariable var(&shared);
        var.initialize("v", 1, 1, type);
        var.setsingle(v);
        return var.getData(0, 0);
    }
    CQXSharedParameter shared;
};

TEST_F(ConversionTest, PlainStoreTruncatesAndKeepsTheLowBitsWhateverTheClippingOption) {
    for (bool clipping : {true, false}) {
        shared.m_bClipping = clipping;
        EXPECT_EQ(plainStore(edtINT, 2.9), 2.0);
        EXPECT_EQ(plainStore(edtINT, -2.9), -2.0);
        EXPECT_EQ(plainStore(edtBYTE, 256), 0.0);
        EXPECT_EQ(plainStore(edtBYTE, -1), 255.0);
        EXPECT_EQ(plainStore(edtBYTE, 300), 44.0);
        EXPECT_EQ(plainStore(edtSHORT, 70000), 4464.0);
        EXPECT_EQ(plainStore(edtSHORT, -1), 65535.0);
    }
}

TEST_F(ConversionTest, PlainStoreGivesTheMostNegativeIntForValuesWithoutA32BitImage) {
    EXPECT_EQ(plainStore(edtINT, 2147483647.9), 2147483647.0);
    EXPECT_EQ(plainStore(edtINT, -2147483648.9), -2147483648.0);
    EXPECT_EQ(plainStore(edtINT, 2147483648.0), -2147483648.0);
    EXPECT_EQ(plainStore(edtINT, -1e300), -2147483648.0);
    EXPECT_EQ(plainStore(edtINT, kInf), -2147483648.0);
    EXPECT_EQ(plainStore(edtINT, kNaN), -2147483648.0);
    // The low bits of -2147483648 are zero.
    EXPECT_EQ(plainStore(edtBYTE, 1e10), 0.0);
    EXPECT_EQ(plainStore(edtSHORT, kNaN), 0.0);
}

TEST_F(ConversionTest, PlainStoreRoundsToFloatAndOverflowsToInfinity) {
    EXPECT_EQ(plainStore(edtFLOAT, 0.1), static_cast<double>(0.1f));
    EXPECT_EQ(plainStore(edtFLOAT, FLT_MAX), static_cast<double>(FLT_MAX));
    EXPECT_EQ(plainStore(edtFLOAT, 1e39), kInf);
    EXPECT_EQ(plainStore(edtFLOAT, -1e300), -kInf);
    EXPECT_TRUE(std::isnan(plainStore(edtFLOAT, kNaN)));
    EXPECT_EQ(plainStore(edtDOUBLE, kInf), kInf);
}

TEST_F(ConversionTest, ClippingSaturatesTheDoubleBeforeConverting) {
    ASSERT_TRUE(shared.m_bClipping);
    EXPECT_EQ(fill(edtBYTE, 300), 255.0);
    EXPECT_EQ(fill(edtBYTE, -1), 0.0);
    EXPECT_EQ(fill(edtBYTE, 255.7), 255.0);
    EXPECT_EQ(fill(edtBYTE, -0.5), 0.0);
    EXPECT_EQ(fill(edtSHORT, 70000), 65535.0);
    EXPECT_EQ(fill(edtSHORT, -3), 0.0);
    EXPECT_EQ(fill(edtINT, 3e9), 2147483647.0);
    EXPECT_EQ(fill(edtINT, -kInf), -2147483648.0);
    EXPECT_EQ(fill(edtINT, -7.9), -7.0);
    EXPECT_EQ(fill(edtFLOAT, 1e39), static_cast<double>(FLT_MAX));
    EXPECT_EQ(fill(edtFLOAT, -kInf), -static_cast<double>(FLT_MAX));
    EXPECT_EQ(fill(edtDOUBLE, kInf), DBL_MAX);
    EXPECT_EQ(fill(edtDOUBLE, -kInf), -DBL_MAX);
}

TEST_F(ConversionTest, NaNPassesTheClampAndFollowsThePlainConversion) {
    EXPECT_TRUE(std::isnan(fill(edtDOUBLE, kNaN)));
    EXPECT_TRUE(std::isnan(fill(edtFLOAT, kNaN)));
    EXPECT_EQ(fill(edtINT, kNaN), -2147483648.0);
    EXPECT_EQ(fill(edtBYTE, kNaN), 0.0);
}

TEST_F(ConversionTest, WithoutClippingFillUsesThePlainStore) {
    shared.m_bClipping = false;
    EXPECT_EQ(fill(edtBYTE, 300), 44.0);
    EXPECT_EQ(fill(edtBYTE, -1), 255.0);
    EXPECT_EQ(fill(edtINT, 3e9), -2147483648.0);
    EXPECT_EQ(fill(edtFLOAT, 1e39), kInf);
    EXPECT_EQ(fill(edtDOUBLE, kInf), kInf);
}

TEST_F(ConversionTest, MatrixCopyConvertsEachElementWithTheClippingRule) {
    CQXVariable src(&shared), dst(&shared);
    src.initialize("s", 1, 5, edtDOUBLE);
    const double in[5] = {300, -1, 1e10, kNaN, 17.9};
    for (int c = 0; c < 5; ++c) src.setData(0, c, in[c]);
    dst.initialize("d", 2, 5, edtBYTE);
    dst.setsingle(1);
    dst.setmatrix(&src);
    const double clipped[5] = {255, 0, 255, 0, 17};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(dst.getData(0, c), clipped[c]) << c;
    shared.m_bClipping = false;
    dst.setmatrix(&src);
    const double plain[5] = {44, 255, 0, 0, 17};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(dst.getData(0, c), plain[c]) << c;
    EXPECT_EQ(dst.getData(1, 4), 1.0);
}

}  // namespace
