// The standard functions inverse, eigens and eigena called as the interpreter calls them: the
// order and texts of their argument checks, their results, and a failed decomposition that
// leaves the function's error record as it was.
#include "qx/functions/linear_algebra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace {

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
    // Calls f through the base class and returns the text of its error record.
    std::string refusal(CQXFunction& f, std::vector<CQXVariable*> args) {
        EXPECT_EQ(f.Call(&args), isEXCEPTION);
        return f.getError().getText();
    }
    CQXSharedParameter shared;
    std::vector<std::unique_ptr<CQXVariable>> owned;
};

std::vector<int> types(const CQXFunction& f) {
    std::vector<int> out;
    for (int i = 0; i < f.getParamCount(); ++i) out.push_back(f.getParamType(i));
    return out;
}

double at(CQXVariable* v, int r, int c) {
    return v->getData(r, c);
}

}  // namespace

TEST(LinearAlgebraFunctionTest, InverseDeliversTheInverseInTheArgumentsShape) {
    Harness h;
    CInverse inverse("inverse", &h.shared);
    CQXFunction& f = inverse;
    std::vector<CQXVariable*> args{h.make(2, 2, {2, 0, 0, 4})};
    ASSERT_EQ(f.Call(&args), isOK);
    CQXVariable* r = f.getReturnValue();
    EXPECT_EQ(at(r, 0, 0), 0.5);
    EXPECT_EQ(at(r, 0, 1), 0.0);
    EXPECT_EQ(at(r, 1, 1), 0.25);
    // Its own result as the argument gives back the original.
    args = {r};
    ASSERT_EQ(f.Call(&args), isOK);
    EXPECT_EQ(at(r, 1, 1), 4.0);
    args = {h.make(1, 1, {8}, edtINT)};
    ASSERT_EQ(f.Call(&args), isOK);
    EXPECT_EQ(r->getRows(), 1);
    EXPECT_EQ(at(r, 0, 0), 0.125);
}

TEST(LinearAlgebraFunctionTest, InverseRefusesNonSquareAndFailsSilentlyWhenSingular) {
    Harness h;
    CInverse inverse("inverse", &h.shared);
    // A singular matrix fails without a text of its own: the record is still the fresh one.
    EXPECT_EQ(h.refusal(inverse, {h.make(2, 2, {1, 2, 2, 4})}), "");
    EXPECT_EQ(inverse.getError().getType(), etUNKNOWN);
    const std::string text = "Size of Parameter must be NxN in Function inverse";
    EXPECT_EQ(h.refusal(inverse, {h.make(2, 3)}), text);
    EXPECT_EQ(inverse.getError().getType(), etINTERPRETER);
    CQXVariable none(&h.shared);
    EXPECT_EQ(h.refusal(inverse, {&none}), text);
    // After that failure a singular matrix leaves its text in place.
    EXPECT_EQ(h.refusal(inverse, {h.make(3, 3)}), text);
}

TEST(LinearAlgebraFunctionTest, EigenFunctionsCheckTheirArgumentsInOrder) {
    Harness h;
    CEigenS s("eigens", &h.shared);
    CEigenA a("eigena", &h.shared);
    EXPECT_EQ(types(s), (std::vector<int>{ptVALUE, ptREFERENCE, ptREFERENCE}));
    EXPECT_EQ(types(a), (std::vector<int>{ptVALUE, ptVALUE, ptREFERENCE, ptREFERENCE}));
    CQXVariable* ok = h.make(2, 2);
    CQXVariable* bad = h.make(2, 3);
    CQXVariable* big = h.make(3, 3);
    EXPECT_EQ(h.refusal(s, {bad, bad, bad}), "Size of Matrix 1 must be NxN");
    EXPECT_EQ(h.refusal(s, {ok, bad, bad}), "Size of Matrix 2 (eigenvectors) must be NxN");
    EXPECT_EQ(h.refusal(s, {ok, ok, bad}), "Size of Matrix 3 (eigenvalues) must be NxN");
    EXPECT_EQ(h.refusal(s, {ok, big, big}), "Sizes of Matrices must be identical");
    EXPECT_EQ(h.refusal(s, {ok, ok, big}), "Sizes of Matrices must be identical");
    EXPECT_EQ(h.refusal(a, {bad, bad, bad, bad}), "Size of Matrix 1 must be NxN");
    EXPECT_EQ(h.refusal(a, {ok, bad, bad, bad}), "Size of Matrix 2 must be NxN");
    EXPECT_EQ(h.refusal(a, {ok, ok, bad, bad}), "Size of Matrix 3 (eigenvectors) must be NxN");
    EXPECT_EQ(h.refusal(a, {ok, ok, ok, bad}), "Size of Matrix 4 (eigenvalues) must be NxN");
    EXPECT_EQ(h.refusal(a, {ok, big, ok, ok}), "Sizes of Matrices must be identical");
}

TEST(LinearAlgebraFunctionTest, EigenFunctionsWriteTheirReferencesAndKeepTheRecordOnFailure) {
    Harness h;
    CEigenS eigens("eigens", &h.shared);
    CQXFunction& f = eigens;
    // Eigenvalues 1, 2, 11; the eigenvector of 2 is the first unit vector up to its sign.
    CQXVariable* v = h.make(3, 3, {7, 7, 7, 7, 7, 7, 7, 7, 7});
    CQXVariable* d = h.make(3, 3, {7, 7, 7, 7, 7, 7, 7, 7, 7});
    std::vector<CQXVariable*> args{h.make(3, 3, {2, 0, 0, 0, 3, 4, 0, 4, 9}), v, d};
    ASSERT_EQ(f.Call(&args), isOK);
    EXPECT_NEAR(at(d, 0, 0), 1.0, 1e-12);
    EXPECT_NEAR(at(d, 1, 1), 2.0, 1e-12);
    EXPECT_NEAR(at(d, 2, 2), 11.0, 1e-12);
    EXPECT_EQ(at(d, 0, 2) + at(d, 2, 1) + at(d, 1, 0), 0.0);
    EXPECT_NEAR(std::fabs(at(v, 0, 1)), 1.0, 1e-12);
    EXPECT_EQ(f.getReturnValue()->getData(0, 0), 0.0);  // the return variable is not written

    EXPECT_EQ(h.refusal(eigens, {h.make(2, 2, {1, 2, 3, 4}), h.make(2, 2), h.make(2, 2)}), "");
    CEigenA eigena("eigena", &h.shared);
    CQXVariable* eye = h.make(2, 2, {1, 0, 0, 1});
    h.refusal(eigena, {eye, eye, h.make(2, 3), h.make(2, 2)});
    EXPECT_EQ(h.refusal(eigena, {h.make(2, 2, {0, -1, 1, 0}), eye, h.make(2, 2), h.make(2, 2)}),
              "Size of Matrix 3 (eigenvectors) must be NxN");
}
