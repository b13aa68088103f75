// The variable manager: owns the variables of one scope (globals, compiler temporaries, or one
// script function's parameters and locals) and finds them for the compiler by name in constant
// time and for the interpreter and the host by position.
#include "qx/values/var_manager.h"

#include <memory>
#include <utility>

#include "qx/values/var_pool_internal.h"

CQXVarManager::CQXVarManager(CQXSharedParameter* shared) : m_pShared(shared) {}

CQXVarManager::~CQXVarManager() {
    clear();
}

void CQXVarManager::usePool_intern() {
    if (m_List.empty() && !m_pPool) m_pPool = std::make_unique<CQXVarPool>();
}

// Named variables are unique within one manager (the empty name of temporaries is never taken).
// A new variable with the manager's shared parameters is set up by setup and appended; should
// setup throw (an allocation that fails), or the list or the index not grow, the variable goes
// again and the manager is left as it was.
// A negative size is refused as well: no variable can have -1 rows, and scripts would index it.
template <class Setup>
CQXVariable* CQXVarManager::create(const std::string& name, int rows, int cols, Setup setup) {
    if (rows < 0 || cols < 0) return nullptr;
    if (!name.empty() && getVar(name) != nullptr) return nullptr;
    CQXVariable* var = m_pPool ? m_pPool->make(m_pShared) : new CQXVariable(m_pShared);
    try {
        setup(*var);
        m_List.push_back(var);
    } catch (...) {
        discard(var);
        throw;
    }
    if (!name.empty()) {
        try {
            m_Index.emplace(var->getName(), var);
        } catch (...) {
            m_List.pop_back();
            discard(var);
            throw;
        }
    }
    return var;
}

// var is the variable made last.
void CQXVarManager::discard(CQXVariable* var) {
    if (m_pPool) {
        m_pPool->dropLast();
    } else {
        delete var;
    }
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
    return create(name, rows, cols, [&](CQXVariable& v) { v.initialize(name, rows, cols, type); });
}

CQXVariable* CQXVarManager::addResizeVar(const std::string& name, eDataType type) {
    return create(name, 1, 1, [&](CQXVariable& v) {
        v.initialize(name, 1, 1, type);
        v.setVarState(vsRESIZABLE);
    });
}

CQXVariable* CQXVarManager::addByteVar(const std::string& name, int rows, int cols,
                                       unsigned char** data) {
    return create(name, rows, cols, [&](CQXVariable& v) { v.setByte(name, rows, cols, data); });
}

CQXVariable* CQXVarManager::addShortVar(const std::string& name, int rows, int cols,
                                        unsigned short** data) {
    return create(name, rows, cols, [&](CQXVariable& v) { v.setShort(name, rows, cols, data); });
}

CQXVariable* CQXVarManager::addIntVar(const std::string& name, int rows, int cols, int** data) {
    return create(name, rows, cols, [&](CQXVariable& v) { v.setInt(name, rows, cols, data); });
}

CQXVariable* CQXVarManager::addFloatVar(const std::string& name, int rows, int cols, float** data) {
    return create(name, rows, cols, [&](CQXVariable& v) { v.setFloat(name, rows, cols, data); });
}

CQXVariable* CQXVarManager::addDoubleVar(const std::string& name, int rows, int cols,
                                         double** data) {
    return create(name, rows, cols, [&](CQXVariable& v) { v.setDouble(name, rows, cols, data); });
}

void CQXVarManager::clear() {
    m_Index.clear();
    if (m_pPool) {
        m_List.clear();
        m_pPool->clear();
        return;
    }
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

std::unique_ptr<CQXVarPool> CQXVarManager::releasePool_intern() {
    auto fresh = std::make_unique<CQXVarPool>();
    m_List.clear();
    m_Index.clear();
    m_pPool.swap(fresh);
    return fresh;
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
