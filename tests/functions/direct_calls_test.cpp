// The standard functions called directly through the base class, as a host may call them, with
// what only a host can hand them: their own result as an argument, arguments without elements or
// missing, a result it wrote to between calls. Scripts' calls are golden scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "qx/core/compiler.h"
#include "qx/functions/by_name.h"
#include "qx/functions/constructors.h"
#include "qx/functions/editing.h"
#include "qx/functions/linalg_functions.h"
#include "qx/functions/math_functions.h"
#include "qx/functions/statistics.h"
#include "tests/support/matrix.h"

namespace {

using qxtest::Values;

class DirectCallTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXVariable* scalar(double x) { return make(1, 1, {x}); }
    // The text of the error f reports, or "" when the call succeeds.
    static std::string failure(CQXFunction& f, std::vector<CQXVariable*> args) {
        return f.Call(&args) == isOK ? "" : f.getError().getText();
    }
    // The result of a call expected to succeed, row by row.
    static Values result(CQXFunction& f, std::vector<CQXVariable*> args) {
        EXPECT_EQ(f.Call(&args), isOK) << f.getError().getText();
        return qxtest::elements(*f.getReturnValue());
    }
};

}  // namespace

TEST_F(DirectCallTest, ArgumentsSharingTheResultAreReadBeforeItIsWritten) {
    CPow pow("pow", &m_Shared);
    result(pow, {make(2, 2, {1, 2, 3, 4}), make(2, 2, {2, 2, 2, 2})});
    CQXVariable* r = pow.getReturnValue();
    EXPECT_EQ(result(pow, {r, r}), (Values{1, 256, 387420489, 18446744073709551616.0}));

    // A view of the result's rows in reverse order: in place, row 0 would be read overwritten.
    CSqrt sqrt("sqrt", &m_Shared);
    result(sqrt, {make(3, 1, {81, 16, 1})});
    double** rows = sqrt.getReturnValue()->getDoublePtr();
    double* reversed[3] = {rows[2], rows[1], rows[0]};
    CQXVariable* view = fresh();
    view->setView_intern(3, 1, reversed);
    EXPECT_EQ(result(sqrt, {view}), (Values{1, 2, 3}));

    CTranspose transpose("transpose", &m_Shared);
    result(transpose, {make(2, 3, {1, 2, 3, 4, 5, 6}, edtSHORT)});
    EXPECT_EQ(result(transpose, {transpose.getReturnValue()}), (Values{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(transpose.getReturnValue()->getRows(), 2);
    result(transpose, {make(2, 2, {1, 2, 3, 4})});
    EXPECT_EQ(result(transpose, {transpose.getReturnValue()}), (Values{1, 2, 3, 4}));

    CRowInsert rowins("rowins", &m_Shared);
    result(rowins, {make(1, 2, {1, 2}), make(1, 2, {3, 4}), scalar(1)});
    r = rowins.getReturnValue();
    EXPECT_EQ(result(rowins, {r, r, scalar(1)}), (Values{1, 2, 1, 2, 3, 4, 3, 4}));

    CInverse inverse("inverse", &m_Shared);
    result(inverse, {make(2, 2, {2, 0, 0, 4})});
    EXPECT_EQ(result(inverse, {inverse.getReturnValue()}), (Values{2, 0, 0, 4}));
}

// A script cannot hold a matrix without elements, but a host can: 0 x 3 here, so that every test
// of "rows or columns" sees one of them.
TEST_F(DirectCallTest, ArgumentsWithoutElementsOrMissingAreRefused) {
    CQXVariable* none = make(0, 3);
    CQXVariable* zero = scalar(0);
    const std::string empty = "Parameters must not be empty";
    CSin sin("sin", &m_Shared);
    CPow pow("pow", &m_Shared);
    CTranspose transpose("transpose", &m_Shared);
    CSort sort("sort", &m_Shared);
    CRowInsert rowins("rowins", &m_Shared);
    CMinimum min("min", &m_Shared);
    EXPECT_EQ(failure(sin, {none}), empty);
    EXPECT_EQ(failure(pow, {none, none}), empty);
    EXPECT_EQ(failure(transpose, {none}), empty);
    EXPECT_EQ(failure(sort, {none, zero}), empty);
    EXPECT_EQ(failure(rowins, {none, none, zero}), empty);
    EXPECT_EQ(failure(min, {none, none}), empty);
    CInverse inverse("inverse", &m_Shared);
    EXPECT_EQ(failure(inverse, {none}), "Size of Parameter must be NxN in Function inverse");
    CWhere where("where", &m_Shared);
    EXPECT_EQ(result(where, {none, zero}), (Values{-1, -1}));
    CQXCompiler compiler;
    ASSERT_NE(compiler.addDoubleVar("hollow", 0, 2), nullptr);
    CGetVarByName get("getVarByName", compiler.getSharedParameter(), &compiler);
    EXPECT_EQ(failure(get, {make(1, 6, {104, 111, 108, 108, 111, 119})}), empty);

    EXPECT_EQ(failure(sin, {nullptr}), "Wrong number of Parameters");
    CMedian median("median", &m_Shared);
    EXPECT_EQ(failure(median, {zero, zero}), "Wrong number of Parameters");
}

TEST_F(DirectCallTest, RefusedCallsLeaveTheResultAndResultsWrittenByTheHostAreRefilled) {
    CPow pow("pow", &m_Shared);
    result(pow, {make(1, 2, {3, 4}), make(1, 2, {2, 2})});
    EXPECT_EQ(failure(pow, {make(1, 2), scalar(2)}), "Size of argument matrices must be equal");
    EXPECT_EQ(qxtest::elements(*pow.getReturnValue()), (Values{9, 16}));
    // A domain error keeps the elements before the failing one.
    m_Shared.m_bSmartError = false;
    CLn ln("log", &m_Shared);
    EXPECT_EQ(failure(ln, {make(1, 2, {1, -1})}), "Logarithm <= 0 undefined");
    EXPECT_EQ(ln.getReturnValue()->getData(0, 0), 0.0);

    CZeros zeros("zeros", &m_Shared);
    result(zeros, {scalar(2), scalar(3)});
    zeros.getReturnValue()->setData(1, 1, 9);
    EXPECT_EQ(result(zeros, {scalar(2.5), scalar(3)}), Values(6, 0.0));
    CIdentity identity("identity", &m_Shared);
    result(identity, {scalar(2)});
    identity.getReturnValue()->setData(0, 1, 9);
    EXPECT_EQ(result(identity, {scalar(2)}), (Values{1, 0, 0, 1}));
}

TEST_F(DirectCallTest, EachThreadHasItsOwnGeneratorStartingAtSeedOne) {
    CRandomize srand("srand", &m_Shared);
    CRandom rand("rand", &m_Shared);
    result(srand, {scalar(1)});
    const Values seedOne = result(rand, {scalar(1), scalar(3), scalar(32768)});
    result(srand, {scalar(99)});  // moves this thread's state only
    Values fresh;
    std::thread worker([&] {
        CRandom other("rand", &m_Shared);
        fresh = result(other, {scalar(1), scalar(3), scalar(32768)});
    });
    worker.join();
    EXPECT_EQ(fresh, seedOne);
}
