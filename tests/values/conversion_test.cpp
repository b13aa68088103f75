// Conversions between double and the five element types: the plain store of setData, the
// saturating store of setsingle and setmatrix under the clipping option, and reading as double.
// Every case that would be an out-of-range cast must come out as a defined value (the sanitized
// build turns such a cast into a failure).
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
// FLT_MAX plus half a unit in its last place: the smallest double that rounds to infinity.
const double kFloatOverflow = 0x1.ffffffp+127;

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
    // The same through setmatrix from a 1x1 double.
    double copy(eDataType type, double v) {
        CQXVariable src(&shared), var(&shared);
        src.initialize("s", 1, 1, edtDOUBLE);
        src.setData(0, 0, v);
        var.initialize("v", 1, 1, type);
        var.setmatrix(&src);
        return var.getData(0, 0);
    }
    CQXSharedParameter shared;
};

// Each row: the value stored into the type, what the plain store keeps (setData with either
// clipping option, setsingle and setmatrix without clipping), and what setsingle and setmatrix
// keep with clipping. Values without a 32-bit image become the most negative int, whose low
// bits are zero.
TEST_F(ConversionTest, PlainAndClippedStoresOfEveryTypeAtTheEdges) {
    const double lo = INT_MIN, hi = INT_MAX;
    const struct {
        eDataType type;
        double value, plain, clipped;
    } cases[] = {
        {edtINT, 2.9, 2, 2},
        {edtINT, -7.9, -7, -7},
        {edtINT, 2147483647.9, hi, hi},
        {edtINT, -2147483648.9, lo, lo},
        {edtINT, 2147483648.0, lo, hi},
        {edtINT, 3e9, lo, hi},
        {edtINT, -1e300, lo, lo},
        {edtINT, kInf, lo, hi},
        {edtINT, -kInf, lo, lo},
        {edtINT, kNaN, lo, lo},
        {edtBYTE, 256, 0, 255},
        {edtBYTE, -1, 255, 0},
        {edtBYTE, 300, 44, 255},
        {edtBYTE, 255.7, 255, 255},
        {edtBYTE, -0.5, 0, 0},
        {edtBYTE, 1e10, 0, 255},
        {edtBYTE, kNaN, 0, 0},
        {edtSHORT, 70000, 4464, 65535},
        {edtSHORT, -1, 65535, 0},
        {edtSHORT, kNaN, 0, 0},
        {edtFLOAT, 0.1, double(0.1f), double(0.1f)},
        {edtFLOAT, FLT_MAX, FLT_MAX, FLT_MAX},
        {edtFLOAT, 3.4028235e38, FLT_MAX, FLT_MAX},  // rounds to FLT_MAX
        {edtFLOAT, std::nextafter(kFloatOverflow, 0.0), FLT_MAX, FLT_MAX},
        {edtFLOAT, -std::nextafter(kFloatOverflow, 0.0), -FLT_MAX, -FLT_MAX},
        {edtFLOAT, kFloatOverflow, kInf, FLT_MAX},
        {edtFLOAT, -kFloatOverflow, -kInf, -FLT_MAX},
        {edtFLOAT, 1e39, kInf, FLT_MAX},
        {edtFLOAT, -1e300, -kInf, -FLT_MAX},
        {edtFLOAT, kNaN, kNaN, kNaN},
        {edtDOUBLE, kInf, kInf, DBL_MAX},
        {edtDOUBLE, -kInf, -kInf, -DBL_MAX},
        {edtDOUBLE, kNaN, kNaN, kNaN},
    };
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (const auto& c : cases) {
        for (bool clipping : {true, false}) {
            shared.m_bClipping = clipping;
            EXPECT_PRED2(same, plainStore(c.type, c.value), c.plain) << c.type << " " << c.value;
            EXPECT_PRED2(same, fill(c.type, c.value), clipping ? c.clipped : c.plain)
                << c.type << " " << c.value << " clipping " << clipping;
            EXPECT_PRED2(same, copy(c.type, c.value), clipping ? c.clipped : c.plain)
                << c.type << " " << c.value << " clipping " << clipping;
        }
    }
}

}  // namespace
