// The standard library's element-wise math, matrix editing and constructor functions, called
// through the base class as the interpreter calls them: results on several element types, the
// domain errors with the smart-error option off and their substitutes with it on, range and
// shape tests with their texts, NaN in sort and where, tostr's text bounds, sizes beyond the int
// range, the random generator's sequence and per-thread state, and arguments that are empty or
// share storage with the result.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/functions/constructors.h"
#include "qx/functions/editing.h"
#include "qx/functions/math_functions.h"

namespace {

using Rows = std::vector<std::vector<double>>;
using Values = std::vector<double>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class LibraryFunctionTest : public ::testing::Test {
protected:
    CQXVariable* matrix(const Rows& rows, eDataType type = edtDOUBLE) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable* v = m_Vars.back().get();
        v->initialize("", static_cast<int>(rows.size()), static_cast<int>(rows[0].size()), type);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) v->setData(r, c, rows[r][c]);
        }
        return v;
    }
    CQXVariable* scalar(double x) { return matrix({{x}}); }
    // Calls through the base class, as the interpreter does.
    static eInterpreterState call(CQXFunction& f, std::vector<CQXVariable*> args) {
        return f.Call(&args);
    }
    // The text a failing call leaves; "" when the call succeeded.
    static std::string failure(CQXFunction& f, std::vector<CQXVariable*> args) {
        return call(f, std::move(args)) == isEXCEPTION ? f.getError().getText() : "";
    }
    static Rows result(CQXFunction& f) {
        const CQXVariable* r = f.getReturnValue();
        Rows out(static_cast<std::size_t>(r->getRows()));
        for (int i = 0; i < r->getRows(); ++i) {
            for (int j = 0; j < r->getCols(); ++j) out[i].push_back(r->getData(i, j));
        }
        return out;
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

class MathFunctionsTest : public LibraryFunctionTest {
protected:
    using LibraryFunctionTest::failure;
    // Element (0, 0) of the result of f on 1x1 arguments; NaN when the call failed.
    double at(CQXFunction& f, double a, double b = kNaN) {
        std::vector<CQXVariable*> args{scalar(a)};
        if (f.getParamCount() == 2) args.push_back(scalar(b));
        return call(f, args) == isOK ? f.getReturnValue()->getData(0, 0) : kNaN;
    }
    std::string failure(CQXFunction& f, double a, double b = 0) {
        std::vector<CQXVariable*> args{scalar(a)};
        if (f.getParamCount() == 2) args.push_back(scalar(b));
        return failure(f, args);
    }
};

class EditingTest : public LibraryFunctionTest {
protected:
    // The text that tostr(x, digits) spells.
    std::string tostr(double x, double digits) {
        CToString f("tostr", &m_Shared);
        if (call(f, {scalar(x), scalar(digits)}) != isOK) return "(failed)";
        std::string s;
        const Rows codes = result(f);
        for (double code : codes[0]) s += static_cast<char>(code);
        return s;
    }
};

class ConstructorsTest : public LibraryFunctionTest {
protected:
    // Calls f with 1x1 double arguments (these hide the calls on variables).
    eInterpreterState call(CQXFunction& f, const Values& scalars) {
        std::vector<CQXVariable*> args;
        for (double x : scalars) args.push_back(scalar(x));
        return f.Call(&args);
    }
    std::string failure(CQXFunction& f, const Values& scalars) {
        return call(f, scalars) == isEXCEPTION ? f.getError().getText() : "";
    }
    // The result's elements row by row, after checking its shape.
    static Values result(CQXFunction& f, int rows, int cols) {
        EXPECT_EQ(f.getReturnValue()->getRows(), rows);
        EXPECT_EQ(f.getReturnValue()->getCols(), cols);
        Values out;
        for (const auto& row : LibraryFunctionTest::result(f))
            out.insert(out.end(), row.begin(), row.end());
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
};

}  // namespace

TEST_F(MathFunctionsTest, ResultIsADoubleMatrixOfTheArgumentsShape) {
    CSin sin("sin", &m_Shared);
    ASSERT_EQ(call(sin, {matrix({{0, 1, 2}, {3, 4, 5}}, edtINT)}), isOK);
    const CQXVariable* r = sin.getReturnValue();
    ASSERT_EQ(r->getRows(), 2);
    ASSERT_EQ(r->getCols(), 3);
    EXPECT_EQ(r->getDataType(), edtDOUBLE);
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(r->getData(k / 3, k % 3), std::sin(k));
    ASSERT_EQ(call(sin, {matrix({{0, 0, 0}}, edtBYTE)}), isOK);
    EXPECT_EQ(r->getRows(), 1);
    EXPECT_EQ(r->getData(0, 2), 0);

    CAbs fabs("fabs", &m_Shared);
    CFloor floor("floor", &m_Shared);
    CCeil ceil("ceil", &m_Shared);
    CModF modf("modf", &m_Shared);
    EXPECT_EQ(at(fabs, -2.5), 2.5);
    EXPECT_EQ(at(floor, -1.5), -2);
    EXPECT_EQ(at(ceil, -1.5), -1);
    ASSERT_EQ(call(modf, {matrix({{2.75, -1.25}})}), isOK);
    EXPECT_EQ(modf.getReturnValue()->getData(0, 0), 0.75);
    EXPECT_EQ(modf.getReturnValue()->getData(0, 1), -0.25);
}

TEST_F(MathFunctionsTest, InverseTrigonometryAndFModAtTheEdgesOfTheirDomains) {
    CArcSin asin("asin", &m_Shared);
    CArcCos acos("acos", &m_Shared);
    CArcTan2 atan2("atan2", &m_Shared);
    CFMod fmod("fmod", &m_Shared);
    m_Shared.m_bSmartError = false;
    EXPECT_EQ(failure(asin, 2), "ArcSin <-1 and >1 undefined");
    EXPECT_EQ(failure(acos, -1.0000001), "Arccos <-1 and >1 undefined");
    EXPECT_EQ(failure(atan2, 0, 0), "atan2(0,0) undefined");
    EXPECT_EQ(failure(fmod, 7, 0), "fmod(x,0) undefined");
    EXPECT_DOUBLE_EQ(at(atan2, 0, -1), 3.141592653589793);
    EXPECT_EQ(at(fmod, -7, 3), -1);
    m_Shared.m_bSmartError = true;
    EXPECT_EQ(at(asin, 2), 1.5707963267948966);
    EXPECT_EQ(at(asin, -2), -1.5707963267948966);
    EXPECT_EQ(at(acos, -2), 3.141592653589793);
    EXPECT_EQ(at(acos, 2), 0);
    EXPECT_EQ(at(atan2, 0, 0), 0);
    EXPECT_TRUE(std::isnan(at(fmod, 7, 0)));
}

TEST_F(MathFunctionsTest, LogarithmsAndSqrtOfNonPositiveNumbers) {
    CLn ln("log", &m_Shared);
    CLog10 log10("log10", &m_Shared);
    CLd log2("log2", &m_Shared);
    CSqrt sqrt("sqrt", &m_Shared);
    m_Shared.m_bSmartError = true;
    ASSERT_EQ(call(ln, {matrix({{std::exp(2.0), 0, -3}})}), isOK);
    EXPECT_DOUBLE_EQ(ln.getReturnValue()->getData(0, 0), 2);
    EXPECT_EQ(ln.getReturnValue()->getData(0, 1), 0);
    EXPECT_EQ(ln.getReturnValue()->getData(0, 2), 0);
    EXPECT_EQ(at(log10, 1000), 3);
    EXPECT_DOUBLE_EQ(at(log2, 8), 3);
    EXPECT_EQ(at(sqrt, -4), 0);
    m_Shared.m_bSmartError = false;  // read again at every call
    for (CQXFunction* f : std::vector<CQXFunction*>{&ln, &log10, &log2}) {
        EXPECT_EQ(failure(*f, 0), "Logarithm <= 0 undefined");
    }
    EXPECT_EQ(failure(sqrt, -4), "sqrt(x) undefined, if x < 0");
    EXPECT_EQ(at(sqrt, 0), 0);
    // Elements before the failing one stay stored.
    EXPECT_EQ(failure(ln, {matrix({{std::exp(1.0), -1}})}), "Logarithm <= 0 undefined");
    EXPECT_DOUBLE_EQ(ln.getReturnValue()->getData(0, 0), 1);
}

TEST_F(MathFunctionsTest, PowDomainRulesWithAndWithoutSmartErrors) {
    CPow pow("pow", &m_Shared);
    m_Shared.m_bSmartError = false;
    EXPECT_EQ(failure(pow, -8, 1.0 / 3),
              "Pow(x,y) undefined, if x is negative and y not a whole number");
    EXPECT_EQ(failure(pow, 0, 0), "Pow(0,0) undefined");
    EXPECT_EQ(failure(pow, 0, -1), "Pow -Domainerror");
    EXPECT_EQ(failure(pow, 10, 400), "Pow -Domainerror");
    EXPECT_EQ(at(pow, -2, 3), -8);
    m_Shared.m_bSmartError = true;
    EXPECT_EQ(at(pow, -8, 1.0 / 3), 0);
    EXPECT_EQ(at(pow, 0, 0), 1);
    EXPECT_EQ(at(pow, 0, -1), 1.7976931348623157e+308);
    EXPECT_EQ(at(pow, 10, 400), DBL_MAX);
    EXPECT_EQ(at(pow, -2, 3), -8);
}

TEST_F(MathFunctionsTest, NaNPassesEveryDomainTest) {
    CLn ln("log", &m_Shared);
    CArcSin asin("asin", &m_Shared);
    CSqrt sqrt("sqrt", &m_Shared);
    CPow pow("pow", &m_Shared);
    for (bool smart : {false, true}) {
        m_Shared.m_bSmartError = smart;
        EXPECT_TRUE(std::isnan(at(ln, kNaN)));
        EXPECT_TRUE(std::isnan(at(asin, kNaN)));
        EXPECT_TRUE(std::isnan(at(sqrt, kNaN)));
        EXPECT_TRUE(std::isnan(at(pow, -2, kNaN)));
    }
}

TEST_F(MathFunctionsTest, ShapesMustMatchAndHoldElements) {
    CPow pow("pow", &m_Shared);
    ASSERT_EQ(call(pow, {matrix({{1, 2}, {3, 4}}), matrix({{2, 2}, {2, 2}}, edtSHORT)}), isOK);
    EXPECT_EQ(failure(pow, {matrix({{1, 2}, {3, 4}}), matrix({{2}})}),
              "Size of argument matrices must be equal");
    EXPECT_EQ(pow.getReturnValue()->getData(1, 1), 16);  // untouched by the refused call
    CQXVariable empty(&m_Shared);
    EXPECT_EQ(failure(pow, {&empty, &empty}), "Parameters must not be empty");
    CSin sin("sin", &m_Shared);
    EXPECT_EQ(failure(sin, {&empty}), "Parameters must not be empty");
    EXPECT_EQ(failure(sin, {nullptr}), "Wrong number of Parameters");
}

TEST_F(MathFunctionsTest, ArgumentSharingTheResultIsReadBeforeItIsOverwritten) {
    CPow pow("pow", &m_Shared);
    ASSERT_EQ(call(pow, {matrix({{1, 2}, {3, 4}}), matrix({{2, 2}, {2, 2}})}), isOK);
    CQXVariable* r = pow.getReturnValue();
    ASSERT_EQ(call(pow, {r, r}), isOK);  // (1, 4; 9, 16) raised to itself
    EXPECT_EQ(r->getData(0, 1), 256);
    EXPECT_EQ(r->getData(1, 0), 387420489);

    // A view of the result's rows in reverse order: computing in place would read row 0 after
    // it was overwritten.
    CSqrt sqrt("sqrt", &m_Shared);
    ASSERT_EQ(call(sqrt, {matrix({{81}, {16}, {1}})}), isOK);
    double** rows = sqrt.getReturnValue()->getDoublePtr();
    double* reversed[3] = {rows[2], rows[1], rows[0]};
    CQXVariable view(&m_Shared);
    view.setView_intern(3, 1, reversed);
    ASSERT_EQ(call(sqrt, {&view}), isOK);
    EXPECT_EQ(sqrt.getReturnValue()->getData(0, 0), 1);
    EXPECT_EQ(sqrt.getReturnValue()->getData(1, 0), 2);
    EXPECT_EQ(sqrt.getReturnValue()->getData(2, 0), 3);
}

TEST_F(EditingTest, RowAndColumnInsertPlaceBBeforePos) {
    CRowInsert rowins("rowins", &m_Shared);
    CQXVariable* a = matrix({{1, 2}, {3, 4}}, edtINT);
    CQXVariable* b = matrix({{7, 8}}, edtBYTE);
    ASSERT_EQ(call(rowins, {a, b, scalar(0)}), isOK);
    EXPECT_EQ(result(rowins), (Rows{{7, 8}, {1, 2}, {3, 4}}));
    ASSERT_EQ(call(rowins, {a, b, scalar(2.9)}), isOK);
    EXPECT_EQ(result(rowins), (Rows{{1, 2}, {3, 4}, {7, 8}}));
    EXPECT_EQ(failure(rowins, {a, b, scalar(-1)}), "Rowinsert: rowposition out of range");
    EXPECT_EQ(failure(rowins, {a, b, scalar(3)}), "Rowinsert: rowposition out of range");
    EXPECT_EQ(failure(rowins, {a, matrix({{1}}), scalar(-1)}),
              "Rowinsert: cols of arguments must match");

    CColInsert colins("colins", &m_Shared);
    ASSERT_EQ(call(colins, {a, matrix({{7}, {8}}), scalar(1)}), isOK);
    EXPECT_EQ(result(colins), (Rows{{1, 7, 2}, {3, 8, 4}}));
    EXPECT_EQ(failure(colins, {a, matrix({{7}, {8}}), scalar(kNaN)}),
              "Colinsert: colposition out of range");
    EXPECT_EQ(failure(colins, {a, b, scalar(0)}), "Colinsert: rows of arguments must match");
}

TEST_F(EditingTest, RowAndColumnDeleteRemoveARunButNeverEverything) {
    CRowDelete rowdel("rowdel", &m_Shared);
    CQXVariable* a = matrix({{1, 2}, {3, 4}, {5, 6}});
    ASSERT_EQ(call(rowdel, {a, scalar(1), scalar(1)}), isOK);
    EXPECT_EQ(result(rowdel), (Rows{{1, 2}, {5, 6}}));
    ASSERT_EQ(call(rowdel, {a, scalar(2), scalar(0)}), isOK);
    EXPECT_EQ(result(rowdel), (Rows{{1, 2}, {3, 4}, {5, 6}}));
    const std::string rowText = "Parameters out of Range in Function rowdel";
    for (double first : {3.0, -1.0, kNaN}) {
        EXPECT_EQ(failure(rowdel, {a, scalar(first), scalar(0)}), rowText) << first;
    }
    EXPECT_EQ(failure(rowdel, {a, scalar(2), scalar(2)}), rowText);
    EXPECT_EQ(failure(rowdel, {a, scalar(1), scalar(1e300)}), rowText);
    EXPECT_EQ(failure(rowdel, {a, scalar(0), scalar(3)}), rowText);  // every row

    CColDelete coldel("coldel", &m_Shared);
    CQXVariable* b = matrix({{1, 2, 3}, {4, 5, 6}});
    ASSERT_EQ(call(coldel, {b, scalar(1), scalar(2.5)}), isOK);
    EXPECT_EQ(result(coldel), (Rows{{1}, {4}}));
    EXPECT_EQ(failure(coldel, {b, scalar(0), scalar(3)}),
              "Parameters out of Range in Function coldel");
    EXPECT_EQ(result(coldel), (Rows{{1}, {4}}));  // untouched by the refused call
}

TEST_F(EditingTest, TransposeReadsItsOwnResultBeforeReshapingIt) {
    CTranspose transpose("transpose", &m_Shared);
    ASSERT_EQ(call(transpose, {matrix({{1, 2, 3}, {4, 5, 6}}, edtSHORT)}), isOK);
    EXPECT_EQ(result(transpose), (Rows{{1, 4}, {2, 5}, {3, 6}}));
    ASSERT_EQ(call(transpose, {transpose.getReturnValue()}), isOK);
    EXPECT_EQ(result(transpose), (Rows{{1, 2, 3}, {4, 5, 6}}));
    ASSERT_EQ(call(transpose, {matrix({{1, 2}, {3, 4}})}), isOK);
    ASSERT_EQ(call(transpose, {transpose.getReturnValue()}), isOK);
    EXPECT_EQ(result(transpose), (Rows{{1, 2}, {3, 4}}));
}

TEST_F(EditingTest, SortOrdersTheWholeMatrixWithNaNLast) {
    CSort sort("sort", &m_Shared);
    CQXVariable* a = matrix({{4, 1}, {3, 2}});
    ASSERT_EQ(call(sort, {a, scalar(0)}), isOK);
    EXPECT_EQ(result(sort), (Rows{{1, 2}, {3, 4}}));
    ASSERT_EQ(call(sort, {a, scalar(-0.5)}), isOK);
    EXPECT_EQ(result(sort), (Rows{{4, 3}, {2, 1}}));

    // Enough elements for the sort to partition, with NaN scattered through them: a plain <
    // would break the sort's ordering contract.
    Rows values(1);
    for (int k = 0; k < 200; ++k) values[0].push_back(k % 7 == 0 ? kNaN : (k * 37) % 101);
    for (double direction : {0.0, 1.0}) {
        ASSERT_EQ(call(sort, {matrix(values), scalar(direction)}), isOK);
        const std::vector<double> out = result(sort)[0];
        const std::size_t numbers = 200 - 29;  // k = 0, 7, ..., 196 are NaN
        for (std::size_t i = 0; i < out.size(); ++i) EXPECT_EQ(std::isnan(out[i]), i >= numbers);
        for (std::size_t i = 1; i < numbers; ++i) {
            EXPECT_TRUE(direction == 0 ? out[i - 1] <= out[i] : out[i - 1] >= out[i]) << i;
        }
    }
}

TEST_F(EditingTest, WhereListsColumnAndRowOfEachMatch) {
    CWhere where("where", &m_Shared);
    ASSERT_EQ(call(where, {matrix({{1, 2, 2}, {2, 3, 4}}, edtBYTE), scalar(2)}), isOK);
    EXPECT_EQ(result(where), (Rows{{1, 2, 0}, {0, 0, 1}}));
    ASSERT_EQ(call(where, {matrix({{kNaN, 1}}), scalar(kNaN)}), isOK);
    EXPECT_EQ(result(where), (Rows{{-1}, {-1}}));
    CQXVariable empty(&m_Shared);
    ASSERT_EQ(call(where, {&empty, scalar(0)}), isOK);
    EXPECT_EQ(result(where), (Rows{{-1}, {-1}}));
}

TEST_F(EditingTest, ToStrSpellsFixedPointTextOfAnyLength) {
    EXPECT_EQ(tostr(3.14159, 2), "3.14");
    EXPECT_EQ(tostr(2, 0), "2");
    EXPECT_EQ(tostr(-1.25, 1.9), "-1.2");
    EXPECT_EQ(tostr(0.5, -3), "0.500000");
    EXPECT_EQ(tostr(1, kNaN), "1.000000");
    EXPECT_EQ(tostr(kNaN, 2), "nan");
    EXPECT_EQ(tostr(std::copysign(kNaN, -1.0), 2), "nan");
    // Far beyond any fixed buffer of a hundred characters: 301 digits, the point, 2 decimals.
    const std::string big = tostr(1e300, 2);
    ASSERT_EQ(big.size(), 304u);
    EXPECT_EQ(big.substr(0, 4) + big.substr(301), "1000.00");
    EXPECT_EQ(tostr(-1.7976931348623157e308, 0).size(), 310u);
    // Digit counts are clamped to 340.
    EXPECT_EQ(tostr(0.5, 1e300), "0.5" + std::string(339, '0'));
}

TEST_F(EditingTest, EmptyArgumentsAndArgumentsSharingTheResult) {
    CQXVariable empty(&m_Shared);
    CTranspose transpose("transpose", &m_Shared);
    EXPECT_EQ(failure(transpose, {&empty}), "Parameters must not be empty");
    CSort sort("sort", &m_Shared);
    EXPECT_EQ(failure(sort, {&empty, scalar(0)}), "Parameters must not be empty");
    CRowInsert rowins("rowins", &m_Shared);
    EXPECT_EQ(failure(rowins, {&empty, &empty, scalar(0)}), "Parameters must not be empty");

    // rowins(R, R, 1) of its own result R: both arguments are read before R is resized.
    ASSERT_EQ(call(rowins, {matrix({{1, 2}}), matrix({{3, 4}}), scalar(1)}), isOK);
    CQXVariable* r = rowins.getReturnValue();
    ASSERT_EQ(call(rowins, {r, r, scalar(1)}), isOK);
    EXPECT_EQ(result(rowins), (Rows{{1, 2}, {1, 2}, {3, 4}, {3, 4}}));
}

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
    // A max just above 32767 truncates to the modulus 32767 too: draw 58509 after seed 1 is
    // 32767, which leaves 0.
    EXPECT_EQ(draws(1, 58509, 32767.5).back(), 0);
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
