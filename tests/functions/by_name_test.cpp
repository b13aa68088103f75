// addVarByName, getVarByName and setVarByName against a compiler object's global variables:
// declaring, reading and writing by a computed name, how names are built from character codes,
// the argument tests in their order, and the plain conversion of stores.
#include "qx/functions/by_name.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "qx/core/compiler.h"

namespace {

using Rows = std::vector<std::vector<double>>;

class ByNameTest : public ::testing::Test {
protected:
    ByNameTest()
        : m_Add("addVarByName", m_Compiler.getSharedParameter(), &m_Compiler),
          m_Get("getVarByName", m_Compiler.getSharedParameter(), &m_Compiler),
          m_Set("setVarByName", m_Compiler.getSharedParameter(), &m_Compiler) {}

    CQXVariable* matrix(const Rows& rows) {
        m_Vars.push_back(std::make_unique<CQXVariable>(m_Compiler.getSharedParameter()));
        CQXVariable* v = m_Vars.back().get();
        v->initialize("", static_cast<int>(rows.size()), static_cast<int>(rows[0].size()),
                      edtDOUBLE);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) v->setData(r, c, rows[r][c]);
        }
        return v;
    }
    CQXVariable* scalar(double x) { return matrix({{x}}); }
    CQXVariable* text(const std::string& s) {
        Rows codes(1);
        for (unsigned char ch : s) codes[0].push_back(ch);
        return matrix(codes);
    }
    static std::string failure(CQXFunction& f, std::vector<CQXVariable*> args) {
        return f.Call(&args) == isEXCEPTION ? f.getError().getText() : "";
    }
    std::string add(const std::string& name, double rows, double cols, double type) {
        return failure(m_Add, {text(name), scalar(rows), scalar(cols), scalar(type)});
    }
    static Rows elements(const CQXVariable* v) {
        Rows out(static_cast<std::size_t>(v->getRows()));
        for (int i = 0; i < v->getRows(); ++i) {
            for (int j = 0; j < v->getCols(); ++j) out[i].push_back(v->getData(i, j));
        }
        return out;
    }

    CQXCompiler m_Compiler;
    CDeclareVarByName m_Add;
    CGetVarByName m_Get;
    CSetVarByName m_Set;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

}  // namespace

TEST_F(ByNameTest, AddVarByNameDeclaresGlobalMatricesOfZeros) {
    ASSERT_EQ(add("v", 2, 3, 4), "");
    ASSERT_NE(m_Compiler.getVar("v"), nullptr);
    EXPECT_EQ(m_Compiler.getVar("v")->getDataType(), edtDOUBLE);
    EXPECT_EQ(elements(m_Compiler.getVar("v")), (Rows{{0, 0, 0}, {0, 0, 0}}));
    const eDataType types[] = {edtBYTE, edtSHORT, edtINT, edtFLOAT, edtDOUBLE};
    for (int t = 0; t < 5; ++t) {
        const std::string name = "t" + std::to_string(t);
        ASSERT_EQ(add(name, 1, 2.9, t + 0.5), "");
        EXPECT_EQ(m_Compiler.getVar(name)->getDataType(), types[t]);
        EXPECT_EQ(m_Compiler.getVar(name)->getCols(), 2);
    }
    EXPECT_EQ(add("v", 1, 1, 4), "v: error declaring variable per name (already declared?)");
}

TEST_F(ByNameTest, AddVarByNameTestsItsArgumentsInOrder) {
    const int count = m_Compiler.getVarCount();
    EXPECT_EQ(failure(m_Add, {matrix({{1, 2}, {3, 4}}), scalar(0), scalar(0), scalar(9)}),
              "Parameter 1 must be 1xX matrix (string) ");
    EXPECT_EQ(add("w", 0.5, 0, 9), "Parameter 2 (Rows) must be > 0 ");
    EXPECT_EQ(add("w", 1, -2, 9), "Parameter 3 (Columns) must be > 0 ");
    for (double type : {5.0, -1.0, 4.0e9, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(add("w", 1, 1, type), "Paramter 4 is an unknown datatype") << type;
    }
    EXPECT_THROW(add("w", 3e9, 1, 4), std::bad_alloc);
    EXPECT_EQ(m_Compiler.getVarCount(), count);
}

TEST_F(ByNameTest, NamesAreTheLowEightBitsOfEachTruncatedElement) {
    // 321 and -191 both leave 65 ("A"); 98.9 truncates to 98 ("b").
    ASSERT_EQ(failure(m_Add, {matrix({{321, -191, 98.9}}), scalar(1), scalar(1), scalar(4)}), "");
    EXPECT_NE(m_Compiler.getVar("AAb"), nullptr);
    // Elements without an integer value give the character code 0.
    const std::string xNul("x\0", 2);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(failure(m_Get, {matrix({{120, nan}})}), xNul + ": variable does not exist");
    EXPECT_EQ(failure(m_Get, {matrix({{120, 1e300}})}), xNul + ": variable does not exist");
}

TEST_F(ByNameTest, GetVarByNameCopiesAGlobalAsDoubles) {
    CQXVariable* host = m_Compiler.addIntVar("counts", 2, 2);
    host->setData(0, 1, -7);
    host->setData(1, 0, 300);
    ASSERT_EQ(failure(m_Get, {text("counts")}), "");
    EXPECT_EQ(elements(m_Get.getReturnValue()), (Rows{{0, -7}, {300, 0}}));
    EXPECT_EQ(m_Get.getReturnValue()->getDataType(), edtDOUBLE);
    EXPECT_EQ(failure(m_Get, {matrix({{118}, {118}})}), "Parameter 1 must be 1xX matrix (string) ");
    EXPECT_EQ(failure(m_Get, {text("nope")}), "nope: variable does not exist");
    ASSERT_NE(m_Compiler.addDoubleVar("hollow", 0, 0), nullptr);
    EXPECT_EQ(failure(m_Get, {text("hollow")}), "Parameters must not be empty");
}

TEST_F(ByNameTest, SetVarByNameStoresWithoutClippingAndIgnoresTheConstantFlag) {
    ASSERT_EQ(add("b", 1, 3, 0), "");
    EXPECT_EQ(failure(m_Set, {text("b"), scalar(1)}), "Size mismatch");
    EXPECT_EQ(failure(m_Set, {text("u"), scalar(1)}), "u: variable does not exist");
    ASSERT_TRUE(m_Compiler.getClipping());
    ASSERT_EQ(failure(m_Set, {text("b"), matrix({{300, -1, 2.9}})}), "");
    EXPECT_EQ(elements(m_Compiler.getVar("b")), (Rows{{44, 255, 2}}));

    m_Compiler.loadStdVars();
    ASSERT_EQ(failure(m_Set, {text("pi"), scalar(3)}), "");
    EXPECT_EQ(m_Compiler.getVar("pi")->getData(0, 0), 3);

    // The value is a view of the variable's own rows in reverse order.
    ASSERT_EQ(add("v", 3, 1, 4), "");
    CQXVariable* v = m_Compiler.getVar("v");
    for (int r = 0; r < 3; ++r) v->setData(r, 0, r + 1);
    double** rows = v->getDoublePtr();
    double* reversed[3] = {rows[2], rows[1], rows[0]};
    CQXVariable view(m_Compiler.getSharedParameter());
    view.setView_intern(3, 1, reversed);
    ASSERT_EQ(failure(m_Set, {text("v"), &view}), "");
    EXPECT_EQ(elements(v), (Rows{{3}, {2}, {1}}));
}
