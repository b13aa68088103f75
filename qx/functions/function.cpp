// Function objects and the registry. Every callable function derives from CQXFunction; the
// compiler object keeps the registered ones in a CQXFuncManager, which owns them, and the
// interpreter invokes them through Call with the instruction's argument variables.
#include "qx/functions/function.h"

#include <cstddef>
#include <vector>

// ---- CQXFunction ----

CQXFunction::CQXFunction(const std::string& name, CQXSharedParameter* shared)
    : m_ReturnValue(shared),
      m_Error(),
      m_Block(shared),
      m_pShared(shared),
      m_ParamTypes(),
      m_ParamCount(0),
      m_bIntern(false),
      m_bReturnType(true),
      m_Name(name),
      m_Varlist(shared) {
    // A resizable 1x1 zero, so that any function can give its result whatever shape it needs.
    m_ReturnValue.initialize("", 1, 1, edtDOUBLE);
    m_ReturnValue.setVarState(vsRESIZABLE);
}

// Compiled code and own variables belong to the one program that compiled them, so a copy
// starts with an empty block and an empty variable list; the result is a copy of its own.
CQXFunction::CQXFunction(const CQXFunction& other)
    : m_ReturnValue(other.m_ReturnValue),
      m_Error(other.m_Error),
      m_Block(other.m_pShared),
      m_pShared(other.m_pShared),
      m_ParamTypes(other.m_ParamTypes),
      m_ParamCount(other.m_ParamCount),
      m_bIntern(other.m_bIntern),
      m_bReturnType(other.m_bReturnType),
      m_Name(other.m_Name),
      m_Varlist(other.m_pShared) {}

CQXFunction& CQXFunction::operator=(const CQXFunction& other) {
    if (this == &other) return *this;
    m_ReturnValue = other.m_ReturnValue;
    m_Error = other.m_Error;
    // The body and the variables it addresses go together: both are emptied, as in a copy.
    m_Block.clear();
    m_Varlist.clear();
    m_pShared = other.m_pShared;
    m_ParamTypes = other.m_ParamTypes;
    m_ParamCount = other.m_ParamCount;
    m_bIntern = other.m_bIntern;
    m_bReturnType = other.m_bReturnType;
    m_Name = other.m_Name;
    return *this;
}

CQXFunction::~CQXFunction() = default;

eParameterType CQXFunction::getParamType(int index) const {
    if (index < 0 || index >= m_ParamCount) return ptVALUE;
    return m_ParamTypes[static_cast<std::size_t>(index)];
}

// A script function's parameters are the first variables of its own list: a reference
// parameter is a reference variable, a value parameter has the size it was declared with.
sParameterInfo CQXFunction::getParamInfo(int index) const {
    sParameterInfo info{std::string(), pkVALUE, 0, 0};
    if (index < 0 || index >= m_ParamCount) return info;
    const CQXVariable* param = m_bIntern ? m_Varlist.getVar(index) : nullptr;
    if (param == nullptr) {
        if (getParamType(index) == ptREFERENCE) info.m_Kind = pkREFERENCE;
        return info;
    }
    info.m_Name = param->getName();
    if (param->getVarState(vsREFERENCE)) {
        info.m_Kind = pkREFERENCE;
    } else {
        info.m_Kind = pkSIZED;
        info.m_Rows = param->getRows();
        info.m_Cols = param->getCols();
    }
    return info;
}

void CQXFunction::setParamCount(int count) {
    if (count < 0) count = 0;
    m_ParamTypes.resize(static_cast<std::size_t>(count), ptVALUE);
    m_ParamCount = count;
}

void CQXFunction::setParamType(int index, eParameterType type) {
    if (index < 0 || index >= m_ParamCount) return;
    m_ParamTypes[static_cast<std::size_t>(index)] = type;
}

bool CQXFunction::resizeReturnVar(int rows, int cols) {
    return m_ReturnValue.resizeVar_intern(rows, cols);
}

bool CQXFunction::setReturnMatrix(int rows, int cols, const std::vector<double>& values) {
    if (rows < 1 || cols < 1) return false;
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (values.size() != count) return false;
    const bool sameShape = m_ReturnValue.getRows() == rows && m_ReturnValue.getCols() == cols;
    if (!sameShape && !resizeReturnVar(rows, cols)) return false;
    std::size_t k = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) m_ReturnValue.setData_intern(r, c, values[k++]);
    }
    return true;
}

void CQXFunction::releaseResult_intern() {
    if (m_ReturnValue.getRows() <= 1 && m_ReturnValue.getCols() <= 1) return;
    try {
        m_ReturnValue.resizeVar_intern(1, 1);
    } catch (...) {
    }
}

eInterpreterState CQXFunction::raise(const std::string& text) {
    m_Error.setException(text, -1, -1, "");
    return isEXCEPTION;
}

bool CQXFunction::hasArgs(const std::vector<CQXVariable*>* args) const {
    if (args == nullptr || args->size() < static_cast<std::size_t>(m_ParamCount)) return false;
    for (int i = 0; i < m_ParamCount; ++i) {
        if ((*args)[static_cast<std::size_t>(i)] == nullptr) return false;
    }
    return true;
}

eInterpreterState CQXFunction::raiseArgumentCount() {
    return raise("Wrong number of Parameters");
}

// ---- CQXFuncManager ----

CQXFuncManager::CQXFuncManager() = default;

CQXFuncManager::~CQXFuncManager() {
    clear();
}

bool CQXFuncManager::addFunc(CQXFunction* func) {
    if (func == nullptr || m_Index.count(func->getName()) != 0) return false;
    ++m_Generation;
    m_List.push_back(func);
    // If the index cannot grow, the list must not keep a function the caller still owns.
    try {
        m_Index.emplace(func->getName(), func);
    } catch (...) {
        m_List.pop_back();
        throw;
    }
    return true;
}

CQXFunction* CQXFuncManager::getFunc(const std::string& name) const {
    const auto found = m_Index.find(name);
    return found == m_Index.end() ? nullptr : found->second;
}

CQXFunction* CQXFuncManager::getFunc(int index) const {
    if (index < 0 || index >= getFuncCount()) return nullptr;
    return m_List[static_cast<std::size_t>(index)];
}

void CQXFuncManager::delFunc(const std::string& name) {
    const auto found = m_Index.find(name);
    if (found == m_Index.end()) return;
    ++m_Generation;
    CQXFunction* func = found->second;
    m_Index.erase(found);
    for (auto it = m_List.begin(); it != m_List.end(); ++it) {
        if (*it == func) {
            m_List.erase(it);
            break;
        }
    }
    delete func;
}

void CQXFuncManager::clear() {
    // The registry is emptied before any destructor runs, so a function that looks at the
    // registry while it is destroyed finds no dangling entries.
    ++m_Generation;
    std::vector<CQXFunction*> doomed;
    doomed.swap(m_List);
    m_Index.clear();
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) delete *it;
}
