// The matrix editing functions rowins, colins, rowdel, coldel, transpose, sort, where and tostr:
// results on representative matrices, the range and shape tests, the refusal to delete every
// row or column, NaN in sort and where, tostr's text bounds, and arguments that share storage
// with the result.
#include "qx/functions/editing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"

namespace {

using Rows = std::vector<std::vector<double>>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class EditingTest : public ::testing::Test {
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
    static eInterpreterState call(CQXFunction& f, std::vector<CQXVariable*> args) {
        return f.Call(&args);
    }
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
    // The text that tostr(x, digits) spells.
    std::string tostr(double x, double digits) {
        CToString f("tostr", &m_Shared);
        if (call(f, {scalar(x), scalar(digits)}) != isOK) return "(failed)";
        std::string s;
        const Rows codes = result(f);
        for (double code : codes[0]) s += static_cast<char>(code);
        return s;
    }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

}  // namespace

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
