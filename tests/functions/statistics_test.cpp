// The element-wise statistics functions min, max and median: results, the treatment of equal
// and unordered (NaN) elements, the shape of the result, and the texts of refused calls.
#include "qx/functions/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Owns the argument variables of one test; calls go through the base class, as the
// interpreter makes them.
struct Harness {
    CQXVariable* make(int rows, int cols, const std::vector<double>& values = {},
                      eDataType type = edtDOUBLE) {
        owned.push_back(std::make_unique<CQXVariable>(&shared));
        CQXVariable* v = owned.back().get();
        v->initialize("", rows, cols, type);
        for (std::size_t k = 0; k < values.size(); ++k) {
            v->setData_intern(static_cast<int>(k) / cols, static_cast<int>(k) % cols, values[k]);
        }
        return v;
    }
    // Calls f and returns its result row by row; empty when the call fails.
    std::vector<double> call(CQXFunction& f, std::vector<CQXVariable*> args) {
        if (f.Call(&args) != isOK) return {};
        std::vector<double> out;
        const CQXVariable* r = f.getReturnValue();
        for (int i = 0; i < r->getRows(); ++i) {
            for (int j = 0; j < r->getCols(); ++j) out.push_back(r->getData(i, j));
        }
        return out;
    }
    CQXSharedParameter shared;
    std::vector<std::unique_ptr<CQXVariable>> owned;
};

using Values = std::vector<double>;

}  // namespace

TEST(StatisticsFunctionTest, MinAndMaxTakeTheSecondElementWhenEqualOrUnordered) {
    Harness h;
    CMinimum min("min", &h.shared);
    CMaximum max("max", &h.shared);
    EXPECT_EQ(h.call(min, {h.make(1, 2, {1, 5}), h.make(1, 2, {3, 2})}), (Values{1, 2}));
    EXPECT_EQ(h.call(max, {h.make(1, 2, {1, 5}), h.make(1, 2, {3, 2})}), (Values{3, 5}));
    // Any element types, compared as doubles; the result takes each call's shape.
    EXPECT_EQ(h.call(max, {h.make(2, 1, {200, 3}, edtBYTE), h.make(2, 1, {-1, 7e4}, edtINT)}),
              (Values{200, 7e4}));
    EXPECT_EQ(max.getReturnValue()->getRows(), 2);

    CQXVariable* a = h.make(1, 3, {kNaN, 1, 0.0});
    CQXVariable* b = h.make(1, 3, {4, kNaN, -0.0});
    for (CQXFunction* f : {static_cast<CQXFunction*>(&min), static_cast<CQXFunction*>(&max)}) {
        const Values r = h.call(*f, {a, b});
        ASSERT_EQ(r.size(), 3u);
        EXPECT_EQ(r[0], 4.0);
        EXPECT_TRUE(std::isnan(r[1]));
        EXPECT_TRUE(std::signbit(r[2]));
    }
}

TEST(StatisticsFunctionTest, MedianPicksTheMiddleOfThreeAndCountsNaNAsLargest) {
    Harness h;
    CMedian median("median", &h.shared);
    EXPECT_EQ(h.call(median, {h.make(1, 2, {1, 9}), h.make(1, 2, {5, 3}), h.make(1, 2, {3, 6})}),
              (Values{3, 6}));
    EXPECT_EQ(h.call(median, {h.make(1, 2, {2, 7}), h.make(1, 2, {2, 7}), h.make(1, 2, {2, 0})}),
              (Values{2, 7}));
    const Values r =
        h.call(median, {h.make(1, 2, {kNaN, kNaN}), h.make(1, 2, {1, kNaN}), h.make(1, 2, {3, 2})});
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], 3.0);
    EXPECT_TRUE(std::isnan(r[1]));
}

TEST(StatisticsFunctionTest, MismatchedOrEmptyArgumentsAreRefusedWithText) {
    Harness h;
    CMinimum min("min", &h.shared);
    CMedian median("median", &h.shared);
    ASSERT_EQ(h.call(min, {h.make(1, 1, {8}), h.make(1, 1, {9})}), Values{8});

    EXPECT_TRUE(h.call(min, {h.make(2, 2), h.make(2, 3)}).empty());
    EXPECT_EQ(min.getError().getText(), "Size of Parameters must be equal");
    EXPECT_EQ(min.getError().getLine(), -1);
    EXPECT_EQ(min.getReturnValue()->getData(0, 0), 8.0);  // the previous result stays
    EXPECT_TRUE(h.call(median, {h.make(1, 2), h.make(1, 2), h.make(2, 1)}).empty());
    EXPECT_EQ(median.getError().getText(), "Size of Parameters must be equal");

    CQXVariable none(&h.shared);
    EXPECT_TRUE(h.call(min, {&none, &none}).empty());
    EXPECT_EQ(min.getError().getText(), "Parameters must not be empty");
    EXPECT_TRUE(h.call(median, {h.make(1, 1), h.make(1, 1)}).empty());
    EXPECT_EQ(median.getError().getText(), "Wrong number of Parameters");
}
