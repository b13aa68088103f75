// Tests of shortcuts that must behave exactly as the general code they bypass: the copy of one
// element, and the function a by-name host call keeps from its last lookup.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "qx/core/shared_parameter.h"
#include "qx/qx.h"
#include "qx/values/variable.h"

namespace {

// The same value stored alike: NaN equals NaN, and the sign of a zero counts.
bool sameStored(double x, double y) {
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
    return x == y && std::signbit(x) == std::signbit(y);
}

std::unique_ptr<CQXVariable> row(CQXSharedParameter& shared, int cols, eDataType type, double v) {
    auto var = std::make_unique<CQXVariable>(&shared);
    var->initialize("", 1, cols, type);
    for (int c = 0; c < cols; ++c) var->setData_intern(0, c, v);
    return var;
}

// A 1x1 copy takes a shortcut; a 1x2 copy runs the general element loop. Their first elements
// must agree for every pair of element types, with and without clipping.
TEST(FastPathTest, SingleElementCopyMatchesTheGeneralCopy) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::nan(""), inf,    -inf, -0.0, 2.7,  -2.7,  300,
                             70000,        -70000, 3e9,  -3e9, 1e39, -1e300};
    const eDataType types[] = {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE};
    for (bool clip : {true, false}) {
        CQXSharedParameter shared;
        shared.m_bClipping = clip;
        for (eDataType from : types) {
            for (eDataType to : types) {
                for (double v : values) {
                    auto src1 = row(shared, 1, from, v), src2 = row(shared, 2, from, v);
                    auto dst1 = row(shared, 1, to, 5), dst2 = row(shared, 2, to, 5);
                    dst1->setmatrix(src1.get());
                    dst2->setmatrix(src2.get());
                    EXPECT_TRUE(sameStored(dst1->getData(0, 0), dst2->getData(0, 0)))
                        << "clip " << clip << " from " << from << " to " << to << " value " << v;
                }
            }
        }
    }
    // A source row that is absent reads as zero, as the general copy reads it.
    CQXSharedParameter shared;
    double* absent[1] = {nullptr};
    CQXVariable hollow(&shared);
    hollow.setDouble("h", 1, 1, absent);
    auto dst = row(shared, 1, edtINT, 5);
    dst->setmatrix(&hollow);
    EXPECT_EQ(dst->getData(0, 0), 0.0);
}

// callFuncByName keeps the function it found; clearing the registry and compiling a function of
// the same name anew must reach the new one, and a removed one none at all.
TEST(FastPathTest, CallByNameFollowsTheRegistry) {
    CQXCompiler c;
    CQXVariable* x = c.addDoubleVar("x", 1, 1);
    x->setData(0, 0, 3);
    ASSERT_TRUE(c.runCompiler("func f(v) { return v + 1; }")) << c.getError();
    ASSERT_TRUE(c.callFuncByName("f", 1, x));
    EXPECT_EQ(c.getFunc("f")->getReturnValue()->getData(0, 0), 4.0);
    c.clear(false);
    c.clearScriptFunctions();
    EXPECT_FALSE(c.callFuncByName("f", 1, x));
    ASSERT_TRUE(c.runCompiler("func f(v) { return v * 10; }")) << c.getError();
    ASSERT_TRUE(c.callFuncByName("f", 1, x));
    EXPECT_EQ(c.getFunc("f")->getReturnValue()->getData(0, 0), 30.0);
    ASSERT_TRUE(c.callFuncByName("f", std::vector<CQXVariable*>{x}));
    EXPECT_EQ(c.getFunc("f")->getReturnValue()->getData(0, 0), 30.0);
    EXPECT_FALSE(c.callFuncByName("g", 1, x));
}

}  // namespace
