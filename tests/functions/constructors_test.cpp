// The matrix constructors zeros, ones, identity, linspace, rand and srand: shapes and values,
// the size tests (sizes that truncate to 0 included), sizes beyond the int range, and the random
// generator's sequence, range and per-thread state.
#include "qx/functions/constructors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "qx/core/shared_parameter.h"

namespace {

using Values = std::vector<double>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class ConstructorsTest : public ::testing::Test {
protected:
    // Calls f with 1x1 double arguments, through the base class as the interpreter does.
    eInterpreterState call(CQXFunction& f, const Values& scalars) {
        std::vector<CQXVariable*> args;
        for (double x : scalars) {
            m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
            m_Vars.back()->initialize("", 1, 1, edtDOUBLE);
            m_Vars.back()->setData(0, 0, x);
            args.push_back(m_Vars.back().get());
        }
        return f.Call(&args);
    }
    std::string failure(CQXFunction& f, const Values& scalars) {
        return call(f, scalars) == isEXCEPTION ? f.getError().getText() : "";
    }
    // The result's elements row by row, after checking its shape.
    static Values result(CQXFunction& f, int rows, int cols) {
        const CQXVariable* r = f.getReturnValue();
        EXPECT_EQ(r->getRows(), rows);
        EXPECT_EQ(r->getCols(), cols);
        Values out;
        for (int i = 0; i < r->getRows(); ++i) {
            for (int j = 0; j < r->getCols(); ++j) out.push_back(r->getData(i, j));
        }
        return out;
    }
    // rand(1, n, max) right after srand(seed).
    Values draws(double seed, int n, double max) {
        CRandomize srand("srand", &m_Shared);
        CRandom rand("rand", &m_Shared);
        EXPECT_EQ(call(srand, {seed}), isOK);
        EXPECT_EQ(call(rand, {1, static_cast<double>(n), max}), isOK);
        return result(rand, 1, n);
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

}  // namespace

TEST_F(ConstructorsTest, ZerosOnesAndIdentityFillTheirShapes) {
    CZeros zeros("zeros", &m_Shared);
    ASSERT_EQ(call(zeros, {2, 3}), isOK);
    EXPECT_EQ(result(zeros, 2, 3), Values(6, 0.0));
    COnes ones("ones", &m_Shared);
    ASSERT_EQ(call(ones, {1, 4}), isOK);
    EXPECT_EQ(result(ones, 1, 4), Values(4, 1.0));
    CIdentity identity("identity", &m_Shared);
    ASSERT_EQ(call(identity, {2.7}), isOK);
    EXPECT_EQ(result(identity, 2, 2), (Values{1, 0, 0, 1}));

    // A host may write into a result between calls; a call of the same shape refills it.
    zeros.getReturnValue()->setData(1, 1, 9);
    ASSERT_EQ(call(zeros, {2.5, 3}), isOK);
    EXPECT_EQ(result(zeros, 2, 3), Values(6, 0.0));
    identity.getReturnValue()->setData(0, 1, 9);
    ASSERT_EQ(call(identity, {2}), isOK);
    EXPECT_EQ(result(identity, 2, 2), (Values{1, 0, 0, 1}));
}

TEST_F(ConstructorsTest, SizesMustBeAtLeastOneAfterTruncation) {
    CZeros zeros("zeros", &m_Shared);
    EXPECT_EQ(failure(zeros, {0, 0}), "Rows must be > 0 in Function zeros");
    EXPECT_EQ(failure(zeros, {2, -1}), "Columns must be > 0 in Function zeros");
    EXPECT_EQ(failure(zeros, {0.5, 3}), "Rows must be > 0 in Function zeros");
    EXPECT_EQ(failure(zeros, {kNaN, 3}), "Rows must be > 0 in Function zeros");
    COnes ones("ones", &m_Shared);
    EXPECT_EQ(failure(ones, {2, 0.99}), "Columns must be > 0 in Function ones");
    CIdentity identity("identity", &m_Shared);
    EXPECT_EQ(failure(identity, {0.5}), "Size must be > 0 in Function ident");
    CQXVariable empty(&m_Shared);  // reads as 0
    std::vector<CQXVariable*> args{&empty};
    EXPECT_EQ(static_cast<CQXFunction&>(identity).Call(&args), isEXCEPTION);
    // Refused calls leave the result as it was.
    EXPECT_EQ(result(ones, 1, 1), Values{0.0});

    // Sizes beyond the int range fail as an allocation would, after the argument tests.
    EXPECT_THROW(call(zeros, {3e9, 1}), std::bad_alloc);
    EXPECT_THROW(call(ones, {1, kInf}), std::bad_alloc);
    EXPECT_THROW(call(identity, {1e300}), std::bad_alloc);
    CRandom rand("rand", &m_Shared);
    EXPECT_EQ(failure(rand, {1e12, 1e12, 0}), "Max must be > 0 in Function rand");
    EXPECT_THROW(call(rand, {1e12, 1e12, 5}), std::bad_alloc);
}

TEST_F(ConstructorsTest, LinSpaceRunsFromAToBInclusive) {
    CLinSpace linspace("linspace", &m_Shared);
    ASSERT_EQ(call(linspace, {0, 1, 5}), isOK);
    EXPECT_EQ(result(linspace, 1, 5), (Values{0, 0.25, 0.5, 0.75, 1}));
    ASSERT_EQ(call(linspace, {1, -1, 3.9}), isOK);
    EXPECT_EQ(result(linspace, 1, 3), (Values{1, 0, -1}));
    EXPECT_EQ(failure(linspace, {1, 1, 5}), "a must be != b in Function linspace");
    EXPECT_EQ(failure(linspace, {1, 1, 0.5}), "n must be > 0 in Function linspace");
    EXPECT_THROW(call(linspace, {0, 1, 1e10}), std::bad_alloc);
    // One point has no step: its value is not a number.
    ASSERT_EQ(call(linspace, {2, 3, 1}), isOK);
    EXPECT_TRUE(std::isnan(result(linspace, 1, 1)[0]));
}

TEST_F(ConstructorsTest, RandFollowsThePortableGenerator) {
    // The classic portable sequence: seed 1 gives 16838, 5758, 10113, ...
    EXPECT_EQ(draws(1, 5, 32768), (Values{16838, 5758, 10113, 17515, 31051}));
    EXPECT_EQ(draws(7, 4, 100000), (Values{19564, 9806, 10868, 22674}));
    // Reseeding repeats the sequence; max (truncated) takes the remainder of each draw.
    EXPECT_EQ(draws(7.9, 4, 10.9), (Values{4, 6, 8, 4}));
    // Only the low 32 bits of the seed count; huge and infinite seeds are accepted.
    EXPECT_EQ(draws(4294967296.0 + 7, 4, 10), (Values{4, 6, 8, 4}));
    EXPECT_EQ(draws(1e300, 1, 10).size(), 1u);
    EXPECT_EQ(draws(kInf, 1, 10).size(), 1u);
    EXPECT_EQ(draws(1, 3, 1), Values(3, 0.0));
}

TEST_F(ConstructorsTest, EachThreadHasItsOwnGeneratorStartingAtSeedOne) {
    const Values seedOne = draws(1, 3, 32768);
    draws(99, 1, 32768);  // moves this thread's state only
    Values fresh;
    std::thread worker([&] {
        CRandom rand("rand", &m_Shared);
        if (call(rand, {1, 3, 32768}) != isOK) return;
        for (int j = 0; j < 3; ++j) fresh.push_back(rand.getReturnValue()->getData(0, j));
    });
    worker.join();
    EXPECT_EQ(fresh, seedOne);
}

TEST_F(ConstructorsTest, RandAndSrandRefuseTheirArgumentsInOrder) {
    CRandom rand("rand", &m_Shared);
    EXPECT_EQ(failure(rand, {0, 0, 0}), "Rows must be > 0 in Function rand");
    EXPECT_EQ(failure(rand, {1, 0.5, 0}), "Columns must be > 0 in Function rand");
    EXPECT_EQ(failure(rand, {1, 1, 0.5}), "Max must be > 0 in Function rand");
    EXPECT_EQ(failure(rand, {1, 1, kNaN}), "Max must be > 0 in Function rand");
    CRandomize srand("srand", &m_Shared);
    EXPECT_EQ(failure(srand, {0}), "Seed Parameter must be > 0");
    EXPECT_EQ(failure(srand, {kNaN}), "Seed Parameter must be > 0");
    ASSERT_EQ(call(srand, {5}), isOK);
    EXPECT_EQ(result(srand, 1, 1), Values{0.0});  // srand leaves its value alone
}
