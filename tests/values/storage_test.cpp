// CQXVariable and the variable manager: the owned block, shapes, host and flat references, the
// interpreter's views, copying, and the ownership rules that keep every access inside storage
// and free every byte exactly once (the sanitized build reports a leak or a double free); unique
// names and exact lookup in the manager; the text form of every element type, also under a
// locale with a decimal comma.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "qx/values/var_manager.h"
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

class VariableStorageTest : public ::testing::Test, protected qxtest::CMatrices {};
class VariableTextTest : public VariableStorageTest {};
class VarManagerTest : public VariableStorageTest {
protected:
    CQXVarManager manager{&m_Shared};
};

TEST_F(VariableStorageTest, NoElementOutsideTheMatrixIsEverTouched) {
    CQXVariable v(&m_Shared);
    v.initialize("e", 0, 4, edtDOUBLE);
    v.setsingle(5);
    v.initialize("a", 2, 2, edtDOUBLE);
    v.setsingle(3);
    EXPECT_EQ(v.getData(-1, 0) + v.getData(2, 0) + v.getData_intern(INT_MAX, INT_MIN), 0.0);
    v.setData(0, 2, 1);
    v.setData_intern(-1, 0, 1);
    EXPECT_EQ(v.getSum(), 12.0);
    double* range[2] = {};
    v.getRangePtr(1, 2, 0, range);
    EXPECT_TRUE(range[0] == &v.getDoublePtr()[1][0] && range[1] == nullptr);
}

TEST_F(VariableStorageTest, ResizeOnlyResizableVariablesAndNeverAllocateShort) {
    CQXVariable v(&m_Shared);
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
    EXPECT_TRUE(v.getCols() == 4 && v.getData(2, 3) == 7.0);
}

TEST_F(VariableStorageTest, OnlyReferencesAreRepointedAndTheHostsMemorySurvivesThem) {
    HostRows host(2, 2, 1);
    double values[3] = {1, 2, 3};
    CQXVariable owned(&m_Shared);
    owned.initialize("o", 1, 1, edtDOUBLE);
    EXPECT_FALSE(owned.changeReference(3, values));
    EXPECT_FALSE(owned.changeReference(2, 2, host.get()));
    {
        CQXVariable ref(&m_Shared);
        ref.setDouble("r", 2, 2, host.get());
        EXPECT_FALSE(ref.changeReference(0, 2, host.get()));
        ASSERT_TRUE(ref.changeReference(3, values));
        EXPECT_TRUE(ref.getVarState(vsREFERENCE_FLAT) && ref.getVarType() == vtROW);
        ref.setData(0, 2, 9);
        EXPECT_FALSE(ref.changeReference(0, values));
        // A null array would make every element access dereference address zero.
        EXPECT_FALSE(ref.changeReference(2, static_cast<double*>(nullptr)));
        unsigned char bytes[3] = {4, 5, 6};
        unsigned char* byteRow = bytes;
        ASSERT_TRUE(ref.changeReference(1, 3, &byteRow));
        EXPECT_TRUE(ref.getVarState(vsREFERENCE) && ref.getDataType() == edtBYTE);
        EXPECT_EQ(ref.getData(0, 2), 6.0);
    }
    EXPECT_TRUE(values[2] == 9.0 && host.get()[1][1] == 4.0);
}

TEST_F(VariableStorageTest, UnboundReferenceIsNeverDereferenced) {
    CQXVariable v(&m_Shared);
    v.setInt("p", 3, 3, nullptr);
    v.setData(1, 1, 4);
    v.setsingle(2);
    EXPECT_EQ(v.getData(1, 1), 0.0);
    int sentinel = 0;
    int* ptrs[3] = {&sentinel, &sentinel, &sentinel};
    v.getSinglePtr(0, 0, &ptrs[0]);
    v.getRangePtr(0, 2, 0, ptrs + 1);
    EXPECT_TRUE(ptrs[0] == nullptr && ptrs[1] == nullptr && ptrs[2] == nullptr);
}

TEST_F(VariableStorageTest, CopiesDuplicateOwnedStorageAndShareReferencedElements) {
    CQXVariable a(&m_Shared), c(&m_Shared);
    a.initialize("a", 2, 2, edtINT);
    a.setVarState(vsRESIZABLE);
    a.setsingle(5);
    CQXVariable b(a);
    b.setData(0, 0, 1);
    EXPECT_TRUE(b.getVarState(vsRESIZABLE) && a.getData(0, 0) == 5.0);
    c.initialize("c", 3, 1, edtDOUBLE);
    c = a;
    c = c;
    EXPECT_EQ(c.getData(1, 1), 5.0);
    EXPECT_EQ(b.getName() + c.getName(), "aa");
    c = CQXVariable(&m_Shared);
    EXPECT_TRUE(c.getVarType() == vtUNDEFINED && c.getName().empty());
    HostRows host(1, 1, 3);
    c.setDouble("r", 1, 1, host.get());
    EXPECT_EQ(CQXVariable(c).getDoublePtr(), host.get());
    // A flat reference's copy has its own one-entry row array over the same elements.
    ASSERT_TRUE(c.changeReference(1, host.get()[0]));
    CQXVariable flat(c);
    EXPECT_TRUE(flat.getDoublePtr() != c.getDoublePtr() && flat.getDoublePtr()[0] == host.get()[0]);
}

TEST_F(VariableStorageTest, BoundCopyOutlivesTheViewItWasTakenFrom) {
    HostRows host(3, 3, 1);
    std::vector<double*> viewRows = {host.get()[1], host.get()[2]};
    CQXVariable view(&m_Shared), param(&m_Shared), owned(&m_Shared);
    view.setView_intern(2, 3, viewRows.data());
    param.setDouble("p", 0, 0, nullptr);
    EXPECT_FALSE(param.bindCopyOf_intern(CQXVariable(&m_Shared)));
    ASSERT_TRUE(param.bindCopyOf_intern(view));
    // The interpreter re-points its view; the parameter still addresses rows 1 and 2.
    viewRows.assign(2, nullptr);
    view.releaseView_intern();
    param.setData(1, 2, 99);
    EXPECT_TRUE(param.getData(0, 0) == 4.0 && host.get()[2][2] == 99.0);
    CQXVariable again(param);
    EXPECT_NE(again.getDoublePtr(), param.getDoublePtr());
    EXPECT_TRUE(again.bindCopyOf_intern(again) && again.getData(1, 2) == 99.0);
    owned.initialize("o", 1, 1, edtDOUBLE);
    EXPECT_FALSE(owned.bindCopyOf_intern(again));
}

TEST_F(VariableStorageTest, StateChangesNeverFreeForeignMemoryNorLoseOwnMemory) {
    HostRows host(2, 2, 1);
    CQXVariable v(&m_Shared);
    v.setDouble("h", 2, 2, host.get());
    // A reference marked resizable must not later free the host's rows as its own block.
    v.setVarState(vsRESIZABLE);
    EXPECT_TRUE(v.getDoublePtr() == nullptr && v.resizeVar(2, 2));
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
    unsigned char* bytes[2] = {reinterpret_cast<unsigned char*>(p + 20) + 7, bytes[0] + 1};
    CQXVariable* inside = fresh();
    CQXVariable* after = fresh();
    inside->setView_intern(1, 1, &bytes[0]);
    after->setView_intern(1, 1, &bytes[1]);
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
    EXPECT_TRUE(view({p + 20}, 1)->sharesStorageWith(*inside));
    EXPECT_FALSE(view({p + 20}, 1)->sharesStorageWith(*after));
    // A flat reference is one row.
    CQXVariable flat(&m_Shared);
    flat.setDouble("f", 1, 1, nullptr);
    ASSERT_TRUE(flat.changeReference(4, p + 60));
    EXPECT_TRUE(flat.sharesStorageWith(*view({p + 63}, 1)));
    EXPECT_FALSE(flat.sharesStorageWith(*view({p + 64, p + 58}, 2)));
    // Owned blocks: only the variable itself and views into it.
    CQXVariable own(&m_Shared), other(&m_Shared);
    own.initialize("o", 2, 2, edtDOUBLE);
    other.initialize("q", 1, 1, edtDOUBLE);
    EXPECT_TRUE(own.sharesStorageWith(own) && other.sharesStorageWith(other));
    EXPECT_TRUE(view({own.getDoublePtr_intern()[1] + 1}, 1)->sharesStorageWith(own));
    EXPECT_FALSE(own.sharesStorageWith(other) || other.sharesStorageWith(own));
}

TEST_F(VariableTextTest, TextFormOfEveryTypeAndOfVariablesWithoutStorage) {
    CQXVariable* x = make(2, 2, {1, 2.5, -3});
    EXPECT_EQ(x->toString(), "=1.0000,2.5000,\r\n-3.0000,0.0000,\r\n");
    EXPECT_EQ(make(1, 3, {-1, 0, 7}, edtINT)->toString(), "=-1,0,7,\r\n");
    EXPECT_EQ(make(1, 2, {200, 255}, edtBYTE)->toString(), "=200,255,\r\n");
    EXPECT_EQ(make(1, 1, {65535}, edtSHORT)->toString(), "=65535,\r\n");
    EXPECT_EQ(make(1, 2, {0.1, -2.25}, edtFLOAT)->toString(), "=0.1000,-2.2500,\r\n");
    double row[1] = {0};
    double* rows[2] = {row, row};
    x->setName_intern("x");
    x->setView_intern(2, 0, rows);
    EXPECT_EQ(x->toString(), "x=\r\n\r\n");
    x->setView_intern(0, 0, rows);
    EXPECT_EQ(x->toString(), "x=");
    EXPECT_EQ(fresh()->toString(), "=not initialized\r\n");
}

TEST_F(VariableTextTest, TextUsesADecimalPointUnderACommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8";
    const std::string text = make(1, 1, {3.14})->toString();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(text, "=3.1400,\r\n");
}

TEST_F(VarManagerTest, NamesAreUniqueAndLookedUpExactlyButTemporariesShareTheEmptyName) {
    CQXVariable* a = manager.addVar("a", 2, 2, edtINT);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(manager.addResizeVar("a", edtDOUBLE) == nullptr &&
                manager.addByteVar("a", 1, 1, nullptr) == nullptr);
    CQXVariable* t1 = manager.addResizeVar("", edtDOUBLE);
    CQXVariable* t2 = manager.addResizeVar("", edtDOUBLE);
    CQXVariable* b = manager.addVar("alpha", 1, 1, edtDOUBLE);
    EXPECT_TRUE(t2 != nullptr && t1 != t2 && manager.getVarCount() == 4);
    EXPECT_TRUE(manager.getVar(1) == t1 && manager.getVar(3) == b);
    EXPECT_TRUE(manager.getVar(4) == nullptr && manager.getVar(-1) == nullptr);
    EXPECT_TRUE(manager.getVar("a") == a && manager.getVar(std::string()) == t1);
    EXPECT_TRUE(manager.getVar("A") == nullptr && manager.getVar("al") == nullptr);
}

// No variable with a negative size ever exists: scripts would index it. Sizes no block can hold
// fail before anything is allocated and leave the manager as it was.
TEST_F(VarManagerTest, ImpossibleSizesAddNothing) {
    double* rows[1] = {nullptr};
    EXPECT_EQ(manager.addVar("e", -1, 3, edtDOUBLE), nullptr);
    EXPECT_EQ(manager.addVar("e", 3, INT_MIN, edtBYTE), nullptr);
    EXPECT_EQ(manager.addDoubleVar("e", -2, 1, rows), nullptr);
    EXPECT_THROW(manager.addVar("e", INT_MAX, INT_MAX, edtDOUBLE), std::bad_alloc);
    EXPECT_EQ(manager.getVarCount(), 0);
    CQXVariable* empty = manager.addVar("e", 0, 3, edtINT);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->getRows(), 0);
}

// Clearing deletes the variables, never the host's memory, and frees their names; release hands
// every variable over to the caller, who deletes them (the manager must not delete them again).
TEST_F(VarManagerTest, ClearAndReleaseLeaveEveryVariableWithExactlyOneOwner) {
    int values[2] = {5, 6};
    int* row = values;
    ASSERT_NE(manager.addIntVar("i", 1, 2, &row), nullptr);
    ASSERT_NE(manager.addVar("o", 2, 3, edtSHORT), nullptr);
    manager.clear();
    EXPECT_TRUE(manager.getVar("o") == nullptr && values[1] == 6);
    CQXVariable* a = manager.addVar("o", 1, 1, edtINT);
    CQXVariable* t = manager.addResizeVar("", edtDOUBLE);
    std::vector<CQXVariable*> released = manager.release_intern();
    EXPECT_EQ(released, (std::vector<CQXVariable*>{a, t}));
    EXPECT_TRUE(manager.getVarCount() == 0 && manager.getVar("o") == nullptr);
    for (CQXVariable* v : released) delete v;
}

}  // namespace
