// Storage of CQXVariable: the owned block, shapes, host and flat references, the interpreter's
// views, copying, and the ownership rules that keep every access inside storage and free every
// byte exactly once (the sanitized build reports a leak or a double free).
#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <numeric>
#include <vector>

#include "tests/support/host_layouts.h"
#include "tests/support/matrix.h"

namespace {

// Host-side double matrix holding first, first + 1, ... in row-major order, one allocation per
// row.
struct HostRows : qxtest::CHostMatrices {
    HostRows(int rows, int cols, double first) : CHostMatrices(qxtest::eHostLayout::PerRow) {
        std::vector<double> values(static_cast<size_t>(rows) * cols);
        std::iota(values.begin(), values.end(), first);
        add({"", edtDOUBLE, rows, cols, values});
        build();
    }
    double** get() { return rowArray<double>(0); }
};

class VariableStorageTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXSharedParameter& shared = m_Shared;
};

TEST_F(VariableStorageTest, InitializeDerivesTheShapeClassAndZeroesEveryElement) {
    CQXVariable v(&shared);
    EXPECT_FALSE(v.isInitialized());
    v.initialize("x", 1, 5, edtINT);
    EXPECT_EQ(v.getVarType(), vtROW);
    EXPECT_EQ(v.getDoublePtr(), nullptr);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(v.getIntPtr()[0][c], 0);
    v.initialize("x", 5, 1, edtBYTE);
    EXPECT_EQ(v.getVarType(), vtCOLUMN);
    v.initialize("x", 2, 3, edtDOUBLE);
    EXPECT_EQ(v.getVarType(), vtMATRIX);
}

TEST_F(VariableStorageTest, NoElementOutsideTheMatrixIsEverTouched) {
    CQXVariable v(&shared);
    v.initialize("e", 0, 4, edtDOUBLE);
    EXPECT_EQ(v.getDoublePtr(), nullptr);
    v.setsingle(5);
    v.initialize("a", 2, 2, edtDOUBLE);
    v.setsingle(3);
    EXPECT_EQ(v.getData(-1, 0), 0.0);
    EXPECT_EQ(v.getData(2, 0), 0.0);
    EXPECT_EQ(v.getData_intern(INT_MAX, INT_MIN), 0.0);
    v.setData(0, 2, 1);
    v.setData_intern(-1, 0, 1);
    EXPECT_EQ(v.getSum(), 12.0);
    double* range[2] = {};
    v.getRangePtr(1, 2, 0, range);
    EXPECT_EQ(range[0], &v.getDoublePtr()[1][0]);
    EXPECT_EQ(range[1], nullptr);
}

TEST_F(VariableStorageTest, ResizeOnlyResizableVariablesAndNeverAllocateShort) {
    CQXVariable v(&shared);
    v.initialize("r", 1, 1, edtINT);
    EXPECT_FALSE(v.resizeVar(3, 4));
    v.setVarState(vsRESIZABLE);
    v.setsingle(8);
    EXPECT_TRUE(v.resizeVar(3, 4));
    EXPECT_EQ(v.getSum(), 0.0);
    EXPECT_EQ(v.getName(), "r");
    EXPECT_FALSE(v.resizeVar(0, 4));
    v.setsingle(7);
    EXPECT_THROW(v.resizeVar(INT_MAX, INT_MAX), std::bad_alloc);
    EXPECT_THROW(v.initialize("r", INT_MAX, INT_MAX, edtINT), std::bad_alloc);
    EXPECT_EQ(v.getCols(), 4);
    EXPECT_EQ(v.getData(2, 3), 7.0);
}

TEST_F(VariableStorageTest, OnlyReferencesAreRepointedAndTheHostsMemorySurvivesThem) {
    HostRows host(2, 2, 1);
    double values[3] = {1, 2, 3};
    CQXVariable owned(&shared);
    owned.initialize("o", 1, 1, edtDOUBLE);
    EXPECT_FALSE(owned.changeReference(3, values));
    EXPECT_FALSE(owned.changeReference(2, 2, host.get()));
    {
        CQXVariable ref(&shared);
        ref.setDouble("r", 2, 2, host.get());
        EXPECT_FALSE(ref.changeReference(0, 2, host.get()));
        ASSERT_TRUE(ref.changeReference(3, values));
        EXPECT_TRUE(ref.getVarState(vsREFERENCE_FLAT));
        EXPECT_EQ(ref.getVarType(), vtROW);
        ref.setData(0, 2, 9);
        EXPECT_FALSE(ref.changeReference(0, values));
        // A null array would make every element access dereference address zero.
        EXPECT_FALSE(ref.changeReference(2, static_cast<double*>(nullptr)));
        unsigned char bytes[3] = {4, 5, 6};
        unsigned char* byteRow = bytes;
        ASSERT_TRUE(ref.changeReference(1, 3, &byteRow));
        EXPECT_TRUE(ref.getVarState(vsREFERENCE));
        EXPECT_EQ(ref.getDataType(), edtBYTE);
        EXPECT_EQ(ref.getData(0, 2), 6.0);
    }
    EXPECT_EQ(values[2], 9.0);
    EXPECT_EQ(host.get()[1][1], 4.0);
}

TEST_F(VariableStorageTest, UnboundReferenceIsNeverDereferenced) {
    CQXVariable v(&shared);
    v.setInt("p", 3, 3, nullptr);
    EXPECT_FALSE(v.hasStorage());
    v.setData(1, 1, 4);
    v.setsingle(2);
    EXPECT_EQ(v.getData(1, 1), 0.0);
    int sentinel = 0;
    int* single = &sentinel;
    v.getSinglePtr(0, 0, &single);
    EXPECT_EQ(single, nullptr);
    int* range[2] = {&sentinel, &sentinel};
    v.getRangePtr(0, 2, 0, range);
    EXPECT_EQ(range[0], nullptr);
    EXPECT_EQ(range[1], nullptr);
}

TEST_F(VariableStorageTest, CopiesDuplicateOwnedStorageAndShareReferencedElements) {
    CQXVariable a(&shared), c(&shared);
    a.initialize("a", 2, 2, edtINT);
    a.setVarState(vsRESIZABLE);
    a.setsingle(5);
    CQXVariable b(a);
    EXPECT_TRUE(b.getVarState(vsRESIZABLE));
    b.setData(0, 0, 1);
    EXPECT_EQ(a.getData(0, 0), 5.0);
    c.initialize("c", 3, 1, edtDOUBLE);
    c = a;
    c = c;
    EXPECT_EQ(c.getData(1, 1), 5.0);
    EXPECT_EQ(b.getName() + c.getName(), "aa");
    c = CQXVariable(&shared);
    EXPECT_EQ(c.getVarType(), vtUNDEFINED);
    EXPECT_EQ(c.getName(), "");
    HostRows host(1, 1, 3);
    c.setDouble("r", 1, 1, host.get());
    EXPECT_EQ(CQXVariable(c).getDoublePtr(), host.get());
    // A flat reference's copy has its own one-entry row array over the same elements.
    ASSERT_TRUE(c.changeReference(1, host.get()[0]));
    CQXVariable flat(c);
    EXPECT_NE(flat.getDoublePtr(), c.getDoublePtr());
    EXPECT_EQ(flat.getDoublePtr()[0], host.get()[0]);
}

TEST_F(VariableStorageTest, ViewsNeverOwnAndMayBeEmpty) {
    HostRows host(3, 2, 1);
    CQXVariable view(&shared);
    view.initialize("owned", 2, 2, edtDOUBLE);
    view.setView_intern(2, 2, host.get() + 1);
    EXPECT_TRUE(view.getVarState(vsREFERENCE));
    EXPECT_EQ(view.getData(0, 0), 3.0);
    view.setView_intern(0, 2, host.get());
    view.setsingle(9);
    EXPECT_EQ(host.get()[0][0], 1.0);
    view.releaseView_intern();
    EXPECT_EQ(view.getDoublePtr(), nullptr);
    EXPECT_EQ(host.get()[1][0], 3.0);
}

TEST_F(VariableStorageTest, BoundCopyOutlivesTheViewItWasTakenFrom) {
    HostRows host(3, 3, 1);
    std::vector<double*> viewRows = {host.get()[1], host.get()[2]};
    CQXVariable view(&shared), param(&shared), owned(&shared);
    view.setView_intern(2, 3, viewRows.data());
    param.setDouble("p", 0, 0, nullptr);
    EXPECT_FALSE(param.bindCopyOf_intern(CQXVariable(&shared)));
    ASSERT_TRUE(param.bindCopyOf_intern(view));
    // The interpreter re-points its view; the parameter still addresses rows 1 and 2.
    viewRows.assign(2, nullptr);
    view.releaseView_intern();
    EXPECT_EQ(param.getData(0, 0), 4.0);
    param.setData(1, 2, 99);
    EXPECT_EQ(host.get()[2][2], 99.0);
    CQXVariable again(param);
    EXPECT_NE(again.getDoublePtr(), param.getDoublePtr());
    EXPECT_TRUE(again.bindCopyOf_intern(again));
    EXPECT_EQ(again.getData(1, 2), 99.0);
    owned.initialize("o", 1, 1, edtDOUBLE);
    EXPECT_FALSE(owned.bindCopyOf_intern(again));
}

TEST_F(VariableStorageTest, StateChangesNeverFreeForeignMemoryNorLoseOwnMemory) {
    HostRows host(2, 2, 1);
    CQXVariable v(&shared);
    v.setDouble("h", 2, 2, host.get());
    // A reference marked resizable must not later free the host's rows as its own block.
    v.setVarState(vsRESIZABLE);
    EXPECT_EQ(v.getDoublePtr(), nullptr);
    EXPECT_TRUE(v.resizeVar(2, 2));
    // An owned block marked as a reference is released rather than leaked.
    v.setVarState(vsREFERENCE);
    EXPECT_EQ(v.getDoublePtr(), nullptr);
    v.initialize("h", 1, 2, edtDOUBLE);
    EXPECT_TRUE(v.getVarState(vsOWNED));
}

// Overlap is judged by the rows themselves: host rows may lie far apart with other storage
// between them, in descending order, or be absent, and rows of different element types may
// cover the same bytes.
TEST_F(VariableStorageTest, StorageIsSharedOnlyWhereRowsIntersect) {
    std::vector<double> buffer(100);
    double* p = buffer.data();
    std::vector<std::vector<double*>> tables;
    const auto view = [&](std::vector<double*> rows, int cols) {
        tables.push_back(std::move(rows));
        const int count = static_cast<int>(tables.back().size());
        CQXVariable* v = fresh();
        v->setView_intern(count, cols, count > 0 ? tables.back().data() : nullptr);
        return v;
    };
    std::vector<std::vector<unsigned char*>> byteTables;
    const auto bytes = [&](unsigned char* at) {
        byteTables.push_back({at});
        CQXVariable* v = fresh();
        v->setView_intern(1, 1, byteTables.back().data());
        return v;
    };
    CQXVariable* ends = view({p, p + 98}, 2);
    EXPECT_FALSE(ends->sharesStorageWith(*view({p + 50}, 2)));  // between the rows
    EXPECT_TRUE(ends->sharesStorageWith(*view({p + 50, p + 99}, 1)));
    CQXVariable* descending = view({p + 10, p}, 2);
    EXPECT_FALSE(descending->sharesStorageWith(*view({p + 8, p + 2}, 2)));  // touching only
    EXPECT_TRUE(descending->sharesStorageWith(*view({p + 11}, 2)));
    EXPECT_TRUE(view({p + 2}, 2)->sharesStorageWith(*view({p + 3, p}, 2)));
    CQXVariable* gaps = view({p, nullptr, p + 90}, 4);
    EXPECT_FALSE(gaps->sharesStorageWith(*view({p + 40}, 4)));
    EXPECT_TRUE(gaps->sharesStorageWith(*view({p + 93}, 4)));
    EXPECT_FALSE(view({}, 2)->sharesStorageWith(*view({p}, 2)));
    EXPECT_FALSE(view({p}, 0)->sharesStorageWith(*view({p}, 2)));
    // Element sizes: a double covers 8 bytes.
    unsigned char* raw = reinterpret_cast<unsigned char*>(p + 20);
    EXPECT_TRUE(view({p + 20}, 1)->sharesStorageWith(*bytes(raw + 7)));
    EXPECT_FALSE(view({p + 20}, 1)->sharesStorageWith(*bytes(raw + 8)));
    // A flat reference is one row.
    CQXVariable flat(&shared);
    flat.setDouble("f", 1, 1, nullptr);
    ASSERT_TRUE(flat.changeReference(4, p + 60));
    EXPECT_TRUE(flat.sharesStorageWith(*view({p + 63}, 1)));
    EXPECT_FALSE(flat.sharesStorageWith(*view({p + 64, p + 58}, 2)));
    // Owned blocks: only the variable itself and views into it.
    CQXVariable own(&shared), other(&shared);
    own.initialize("o", 2, 2, edtDOUBLE);
    other.initialize("q", 1, 1, edtDOUBLE);
    EXPECT_TRUE(own.sharesStorageWith(own) && other.sharesStorageWith(other));
    EXPECT_TRUE(view({own.getDoublePtr_intern()[1] + 1}, 1)->sharesStorageWith(own));
    EXPECT_FALSE(own.sharesStorageWith(other) || other.sharesStorageWith(own));
}

}  // namespace
