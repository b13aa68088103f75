// The variable manager: unique names, lookup by exact name and by position, the kinds of
// variables it creates, and ownership (clear and release hand every variable to exactly one
// owner; the sanitized build reports a double delete or a leak).
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/var_manager.h"

namespace {

class VarManagerTest : public ::testing::Test {
protected:
    CQXSharedParameter shared;
    CQXVarManager manager{&shared};
};

TEST_F(VarManagerTest, NamesAreUniqueAndLookedUpExactlyButTemporariesShareTheEmptyName) {
    CQXVariable* a = manager.addVar("a", 2, 2, edtINT);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(manager.addResizeVar("a", edtDOUBLE), nullptr);
    EXPECT_EQ(manager.addByteVar("a", 1, 1, nullptr), nullptr);
    CQXVariable* t1 = manager.addResizeVar("", edtDOUBLE);
    CQXVariable* t2 = manager.addResizeVar("", edtDOUBLE);
    CQXVariable* b = manager.addVar("alpha", 1, 1, edtDOUBLE);
    ASSERT_NE(t2, nullptr);
    EXPECT_NE(t1, t2);
    EXPECT_EQ(manager.getVarCount(), 4);
    EXPECT_EQ(manager.getVar(1), t1);
    EXPECT_EQ(manager.getVar(3), b);
    EXPECT_EQ(manager.getVar(4), nullptr);
    EXPECT_EQ(manager.getVar(-1), nullptr);
    EXPECT_EQ(manager.getVar("a"), a);
    EXPECT_EQ(manager.getVar("A"), nullptr);
    EXPECT_EQ(manager.getVar("al"), nullptr);
    EXPECT_EQ(manager.getVar(std::string()), t1);
}

TEST_F(VarManagerTest, AddedVariablesHaveTheRequestedKindAndClearingDeletesOnlyThem) {
    CQXVariable* owned = manager.addVar("o", 2, 3, edtSHORT);
    EXPECT_TRUE(owned->getVarState(vsOWNED));
    EXPECT_EQ(owned->getShared_intern(), &shared);
    CQXVariable* resizable = manager.addResizeVar("r", edtFLOAT);
    EXPECT_TRUE(resizable->getVarState(vsRESIZABLE));
    EXPECT_EQ(resizable->getVarType(), vtSINGLE);
    EXPECT_FALSE(manager.addVar("e", 0, 3, edtDOUBLE)->hasStorage());
    int values[2] = {5, 6};
    int* row = values;
    CQXVariable* host = manager.addIntVar("i", 1, 2, &row);
    EXPECT_TRUE(host->getVarState(vsREFERENCE));
    EXPECT_EQ(host->getData(0, 1), 6.0);
    // Clearing deletes the variables, never the host's memory, and frees their names.
    manager.clear();
    EXPECT_EQ(manager.getVarCount(), 0);
    EXPECT_EQ(manager.getVar("o"), nullptr);
    EXPECT_EQ(values[1], 6);
    EXPECT_NE(manager.addVar("o", 1, 1, edtINT), nullptr);
}

TEST_F(VarManagerTest, ReleaseHandsOverEveryVariableAndFailedAllocationAddsNothing) {
    CQXVariable* a = manager.addVar("a", 1, 1, edtINT);
    CQXVariable* t = manager.addResizeVar("", edtDOUBLE);
    std::vector<CQXVariable*> released = manager.release_intern();
    EXPECT_EQ(released, (std::vector<CQXVariable*>{a, t}));
    EXPECT_EQ(manager.getVarCount(), 0);
    EXPECT_EQ(manager.getVar("a"), nullptr);
    // The caller owns them now; the manager's destructor must not delete them again.
    for (CQXVariable* v : released) delete v;
    EXPECT_THROW(manager.addVar("huge", 2147483647, 2147483647, edtDOUBLE), std::bad_alloc);
    EXPECT_EQ(manager.getVarCount(), 0);
    EXPECT_EQ(manager.getVar("huge"), nullptr);
    EXPECT_NE(manager.addVar("huge", 1, 1, edtDOUBLE), nullptr);
}

}  // namespace
