// The standard functions, the routines on variables beneath them and the dense-matrix layer,
// called directly as a host may call them, with what only a host can hand them: their own result
// as an argument, arguments without elements or missing, results without storage, of another
// type or written to between calls. Scripts' calls are golden scripts.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qx/core/compiler.h"
#include "qx/functions/by_name.h"
#include "qx/functions/calculation_routines.h"
#include "qx/functions/constructors.h"
#include "qx/functions/editing.h"
#include "qx/functions/linalg_functions.h"
#include "qx/functions/linalg_numeric_internal.h"
#include "qx/functions/math_functions.h"
#include "qx/functions/statistics.h"
#include "tests/support/matrix.h"

namespace {

using qxtest::Values;

class DirectCallTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXCalculation calc{&m_Shared};
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
    // The error a new function of class F reports for the arguments.
    template <class F>
    std::string refused(std::vector<CQXVariable*> args) {
        F f("f", &m_Shared);
        return failure(f, std::move(args));
    }
};

}  // namespace

TEST_F(DirectCallTest, ArgumentsSharingTheResultOrWithoutElements) {
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

    CRowInsert rowins("rowins", &m_Shared);
    result(rowins, {make(1, 2, {1, 2}), make(1, 2, {3, 4}), scalar(1)});
    r = rowins.getReturnValue();
    EXPECT_EQ(result(rowins, {r, r, scalar(1)}), (Values{1, 2, 1, 2, 3, 4, 3, 4}));

    CInverse inverse("inverse", &m_Shared);
    result(inverse, {make(2, 2, {2, 0, 0, 4})});
    EXPECT_EQ(result(inverse, {inverse.getReturnValue()}), (Values{2, 0, 0, 4}));
    // A script cannot hold a matrix without elements, but a host can: 0 x 3 here, so that every
    // test of "rows or columns" sees one of them.
    CQXVariable* none = make(0, 3);
    CQXVariable* zero = scalar(0);
    const std::string empty = "Parameters must not be empty";
    EXPECT_EQ(refused<CSin>({none}), empty);
    EXPECT_EQ(refused<CPow>({none, none}), empty);
    EXPECT_EQ(refused<CTranspose>({none}), empty);
    EXPECT_EQ(refused<CSort>({none, zero}), empty);
    EXPECT_EQ(refused<CRowInsert>({none, none, zero}), empty);
    EXPECT_EQ(refused<CMinimum>({none, none}), empty);
    CQXCompiler compiler;
    ASSERT_NE(compiler.addDoubleVar("hollow", 0, 2), nullptr);
    CGetVarByName get("getVarByName", compiler.getSharedParameter(), &compiler);
    EXPECT_EQ(failure(get, {make(1, 6, {104, 111, 108, 108, 111, 119})}), empty);
    EXPECT_EQ(failure(inverse, {none}), "Size of Parameter must be NxN in Function inverse");
    CWhere where("where", &m_Shared);
    EXPECT_EQ(result(where, {none, zero}), (Values{-1, -1}));
    EXPECT_EQ(refused<CSin>({nullptr}), "Wrong number of Parameters");
    EXPECT_EQ(refused<CMedian>({zero, zero}), "Wrong number of Parameters");
    // A refused call leaves the result; a result the host wrote to is refilled.
    result(pow, {make(1, 2, {3, 4}), make(1, 2, {2, 2})});
    EXPECT_EQ(failure(pow, {make(1, 2), scalar(2)}), "Size of argument matrices must be equal");
    EXPECT_EQ(qxtest::elements(*pow.getReturnValue()), (Values{9, 16}));
    CZeros zeros("zeros", &m_Shared);
    result(zeros, {scalar(2), scalar(3)});
    zeros.getReturnValue()->setData(1, 1, 9);
    EXPECT_EQ(result(zeros, {scalar(2.5), scalar(3)}), Values(6, 0.0));
}

TEST_F(DirectCallTest, EachThreadHasItsOwnGeneratorStartingAtSeedOne) {
    CRandomize srand("srand", &m_Shared);
    CRandom rand("rand", &m_Shared);
    result(srand, {scalar(1)});
    const Values seedOne = result(rand, {scalar(1), scalar(3), scalar(32768)});
    result(srand, {scalar(99)});  // moves this thread's state only
    Values fresh;
    std::thread worker([&] { fresh = result(rand, {scalar(1), scalar(3), scalar(32768)}); });
    worker.join();
    EXPECT_EQ(fresh, seedOne);
}

// Results go only into double storage that is there and has the shape.
TEST_F(DirectCallTest, RoutinesWriteOnlyIntoDoubleStorageThatHoldsTheResult) {
    CQXVariable* a = make(1, 3, {1, 2, 4});
    CQXVariable* none = fresh();
    calc.median(a, none);
    calc.std(a, none);
    calc.variance(a, none);
    EXPECT_TRUE(calc.determinant(make(1, 1, {3}), none));
    EXPECT_TRUE(calc.rank(make(1, 1, {3}), none));
    EXPECT_FALSE(none->isInitialized());
    // The median writes only double storage; std and variance store their value into any type.
    CQXVariable* asInt = make(1, 1, {9}, edtINT);
    calc.median(a, asInt);
    EXPECT_EQ(asInt->getData(0, 0), 9.0);
    calc.std(make(1, 2, {0, 6}), asInt);
    EXPECT_EQ(asInt->getData(0, 0), 3.0);
    // Nothing has a middle or a spread.
    CQXVariable* middle = make(1, 1);
    calc.median(fresh(), middle);
    EXPECT_TRUE(std::isnan(middle->getData(0, 0)));
    // A byte result is left alone, and so are failures and results of the wrong shape.
    CQXVariable* bytes = make(2, 2, {1, 2, 3, 4}, edtBYTE);
    calc.identity(bytes);
    EXPECT_EQ(qxtest::elements(*bytes), (Values{1, 2, 3, 4}));
    CQXVariable* r = make(2, 2, {9, 9, 9, 9});
    calc.transpose(make(2, 3), r);
    calc.transpose(make(3, 1), r);
    for (CQXVariable* bad : {make(2, 3), make(3, 2), fresh()}) {
        EXPECT_FALSE(calc.determinant(bad, r));
        EXPECT_FALSE(calc.rank(bad, r));
        EXPECT_EQ(calc.inverse(bad, r), isEXCEPTION);
        EXPECT_EQ(calc.eigens(bad, r, r), isEXCEPTION);
    }
    CQXVariable* regular = make(2, 2, {2, 0, 0, 4});
    EXPECT_EQ(calc.inverse(make(2, 2, {1, 2, 2, 4}), r), isEXCEPTION);
    EXPECT_EQ(calc.inverse(regular, make(1, 2)), isEXCEPTION);
    EXPECT_EQ(calc.inverse(regular, make(2, 2, {}, edtINT)), isEXCEPTION);
    EXPECT_EQ(calc.eigens(regular, r, make(1, 2)), isEXCEPTION);
    EXPECT_EQ(calc.eigens(regular, make(2, 1), r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, make(3, 3), r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, make(2, 3), r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(make(2, 1), regular, r, r), isEXCEPTION);
    EXPECT_EQ(calc.eigena(regular, regular, r, make(2, 1)), isEXCEPTION);
    EXPECT_EQ(qxtest::elements(*r), (Values{9, 9, 9, 9}));
    // Results larger than needed take the values in their top left corner.
    CQXVariable* big = make(3, 3);
    ASSERT_EQ(calc.eigena(regular, make(2, 2, {1, 0, 0, 1}), big, big), isOK);
    EXPECT_EQ(qxtest::elements(*big), (Values{2, 0, 0, 0, 4, 0, 0, 0, 0}));
    // The dense-matrix layer refuses what it cannot hold.
    qxla::TMatrix m(2, 2);
    m.m_ppData[1][1] = 1e-6;
    qxla::TMatrix copy(m);
    m.m_ppData[1][1] = 5.0;
    EXPECT_EQ(copy.m_ppData[1][1], 1e-6);
    // Reordering the row table (as a pivoting routine may) must not disturb the release.
    std::swap(copy.m_ppData[0], copy.m_ppData[1]);
    EXPECT_THROW(qxla::TMatrix(INT_MAX, INT_MAX), std::bad_alloc);
    EXPECT_EQ(qxla::TMatrix(0, 5).m_ppData, nullptr);
    EXPECT_EQ(qxla::Rang(qxla::TMatrix(), 0.0), -1);
    double* rows[2] = {nullptr, nullptr};
    EXPECT_TRUE(std::isnan(qxla::det(2, rows)));
}
