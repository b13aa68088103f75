// The variable manager: an owning list of variables found by exact name or by position. The
// compiler keeps one for globals and one for temporaries and literal constants; every script
// function keeps one for its parameters and locals.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qx/export.h"
#include "qx/values/variable.h"

class CQXSharedParameter;
class CQXVarPool;

// Not copyable: a manager owns its variables, and two owners of one variable cannot be.
class QX_API CQXVarManager {
public:
    explicit CQXVarManager(CQXSharedParameter* shared);
    CQXVarManager(const CQXVarManager&) = delete;
    CQXVarManager& operator=(const CQXVarManager&) = delete;
    virtual ~CQXVarManager();

    int getVarCount() const;
    // First variable of that exact name; null if none.
    CQXVariable* getVar(const std::string& name) const;
    // Variable at a zero-based position in order of addition; null out of range.
    CQXVariable* getVar(int index) const;

    // Every add refuses (returns null) a non-empty name that is already present, and a negative
    // number of rows or columns (0 gives a variable without elements).
    CQXVariable* addVar(const std::string& name, int rows, int cols, eDataType type);
    CQXVariable* addResizeVar(const std::string& name, eDataType type);
    CQXVariable* addByteVar(const std::string& name, int rows, int cols, unsigned char** data);
    CQXVariable* addShortVar(const std::string& name, int rows, int cols, unsigned short** data);
    CQXVariable* addIntVar(const std::string& name, int rows, int cols, int** data);
    CQXVariable* addFloatVar(const std::string& name, int rows, int cols, float** data);
    CQXVariable* addDoubleVar(const std::string& name, int rows, int cols, double** data);

    // Deletes every variable, the most recently added first.
    void clear();

#ifdef QX_INTERNAL_API
    // The variable at a position the caller knows to be within 0 .. getVarCount()-1.
    CQXVariable* at_intern(int index) const {
        return m_List[static_cast<std::size_t>(index)];
    }
    // From now on the variables are made in a pool (the compiler's temporaries and constants);
    // the manager must still be empty.
    void usePool_intern();
    // Hands every variable to the caller (who then owns them) and empties the manager. Only
    // for a manager without a pool.
    std::vector<CQXVariable*> release_intern();
    // Gives back the room the list grew into beyond its variables.
    void trim_intern() {
        m_List.shrink_to_fit();
    }
    // Hands the pool with every variable to the caller and empties the manager, which starts
    // a new pool. Only for a manager with a pool.
    std::unique_ptr<CQXVarPool> releasePool_intern();
    // Deletes the listed variables (the most recently added first); the others keep their
    // order and their pointers. Only for a manager without a pool.
    void remove_intern(const std::unordered_set<const CQXVariable*>& doomed);
#endif

private:
    template <class Setup>
    CQXVariable* create(const std::string& name, int rows, int cols, Setup setup);
    void discard(CQXVariable* var);

    std::vector<CQXVariable*> m_List;
    CQXSharedParameter* m_pShared;
    std::unordered_map<std::string, CQXVariable*> m_Index;  // named variables only
    std::unique_ptr<CQXVarPool> m_pPool;                    // null: each variable on its own
};
