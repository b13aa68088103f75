// The element-wise math functions: results on inputs of several element types, the domain
// errors with the smart-error option off and their substitutes with it on, and arguments that
// are empty or share storage with the result.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/functions/math_functions.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class MathFunctionsTest : public ::testing::Test {
protected:
    CQXVariable* matrix(const std::vector<std::vector<double>>& rows, eDataType type = edtDOUBLE) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable* v = m_Vars.back().get();
        v->initialize("", static_cast<int>(rows.size()), static_cast<int>(rows[0].size()), type);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) v->setData(r, c, rows[r][c]);
        }
        return v;
    }
    // Calls through the base class, as the interpreter does.
    static eInterpreterState call(CQXFunction& f, std::vector<CQXVariable*> args) {
        return f.Call(&args);
    }
    // Element (0, 0) of the result of f on 1x1 arguments; NaN when the call failed.
    double at(CQXFunction& f, double a, double b = kNaN) {
        std::vector<CQXVariable*> args{matrix({{a}})};
        if (f.getParamCount() == 2) args.push_back(matrix({{b}}));
        return call(f, args) == isOK ? f.getReturnValue()->getData(0, 0) : kNaN;
    }
    // The text a failing call leaves; "" when the call succeeded.
    static std::string failure(CQXFunction& f, std::vector<CQXVariable*> args) {
        return call(f, std::move(args)) == isEXCEPTION ? f.getError().getText() : "";
    }
    std::string failure(CQXFunction& f, double a, double b = 0) {
        std::vector<CQXVariable*> args{matrix({{a}})};
        if (f.getParamCount() == 2) args.push_back(matrix({{b}}));
        return failure(f, args);
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
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
