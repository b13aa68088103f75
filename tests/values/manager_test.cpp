// The variable manager: unique names, lookup by exact name and by position, and ownership (clear
// and release hand every variable to exactly one owner; the sanitized build reports a double
// delete or a leak).
#include <gtest/gtest.h>

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
