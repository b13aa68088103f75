// The variable manager: owns the variables of one scope (globals, compiler temporaries, or one
// script function's parameters and locals) and finds them for the compiler by name in constant
// time and for the interpreter and the host by position.
#include "qx/values/var_manager.h"

#include <memory>
#include <utility>

namespace {

// Named variables are unique within one manager; the empty name of temporaries is never taken.
bool isTaken(const CQXVarManager& manager, const std::string& name) {
    return !name.empty() && manager.getVar(name) != nullptr;
}

// A new variable with the manager's shared parameters, set up by setup; should setup throw
// (an allocation that fails), the variable is deleted again.
template <class Setup>
CQXVariable* create(CQXSharedParameter* shared, Setup setup) {
    auto var = std::make_unique<CQXVariable>(shared);
    setup(*var);
    return var.release();
}

}  // namespace

CQXVarManager::CQXVarManager(CQXSharedParameter* shared) : m_pShared(shared) {}

CQXVarManager::~CQXVarManager() {
    clear();
}

int CQXVarManager::getVarCount() const {
    return static_cast<int>(m_List.size());
}

// Named variables come from the index. Several temporaries may share the empty name, which the
// index does not hold; the first of them is found by a scan.
CQXVariable* CQXVarManager::getVar(const std::string& name) const {
    if (name.empty()) {
        for (CQXVariable* var : m_List) {
            if (*var == name) return var;
        }
        return nullptr;
    }
    const auto found = m_Index.find(name);
    return found != m_Index.end() ? found->second : nullptr;
}

CQXVariable* CQXVarManager::getVar(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_List.size()) return nullptr;
    return m_List[static_cast<std::size_t>(index)];
}

CQXVariable* CQXVarManager::addVar(const std::string& name, int rows, int cols, eDataType type) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.initialize(name, rows, cols, type); }));
}

CQXVariable* CQXVarManager::addResizeVar(const std::string& name, eDataType type) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) {
        v.initialize(name, 1, 1, type);
        v.setVarState(vsRESIZABLE);
    }));
}

CQXVariable* CQXVarManager::addByteVar(const std::string& name, int rows, int cols,
                                       unsigned char** data) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.setByte(name, rows, cols, data); }));
}

CQXVariable* CQXVarManager::addShortVar(const std::string& name, int rows, int cols,
                                        unsigned short** data) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.setShort(name, rows, cols, data); }));
}

CQXVariable* CQXVarManager::addIntVar(const std::string& name, int rows, int cols, int** data) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.setInt(name, rows, cols, data); }));
}

CQXVariable* CQXVarManager::addFloatVar(const std::string& name, int rows, int cols, float** data) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.setFloat(name, rows, cols, data); }));
}

CQXVariable* CQXVarManager::addDoubleVar(const std::string& name, int rows, int cols,
                                         double** data) {
    if (isTaken(*this, name)) return nullptr;
    return append(create(m_pShared, [&](CQXVariable& v) { v.setDouble(name, rows, cols, data); }));
}

// Takes ownership of var. If the list or the index cannot grow, the variable is deleted and
// the manager is left as it was before the call.
CQXVariable* CQXVarManager::append(CQXVariable* var) {
    std::unique_ptr<CQXVariable> owned(var);
    m_List.push_back(var);
    if (!var->getName().empty()) {
        try {
            m_Index.emplace(var->getName(), var);
        } catch (...) {
            m_List.pop_back();
            throw;
        }
    }
    return owned.release();
}

void CQXVarManager::clear() {
    m_Index.clear();
    while (!m_List.empty()) {
        delete m_List.back();
        m_List.pop_back();
    }
}

std::vector<CQXVariable*> CQXVarManager::release_intern() {
    std::vector<CQXVariable*> released;
    released.swap(m_List);
    m_Index.clear();
    return released;
}

void CQXVarManager::remove_intern(const std::unordered_set<const CQXVariable*>& doomed) {
    std::vector<CQXVariable*> kept;
    kept.reserve(m_List.size());
    for (CQXVariable* var : m_List)
        if (doomed.count(var) == 0) kept.push_back(var);
    for (size_t i = m_List.size(); i-- > 0;) {
        CQXVariable* var = m_List[i];
        if (doomed.count(var) == 0) continue;
        auto named = m_Index.find(var->getName());
        if (named != m_Index.end() && named->second == var) m_Index.erase(named);
        delete var;
    }
    m_List.swap(kept);
}
