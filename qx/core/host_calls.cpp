// Calls of one function from the host: a script function (its parameters receive copies of the
// host's variables, reference parameters are bound to them), or a library or host function
// (which reads and writes the host's variables directly).
#include <cstdarg>
#include <exception>

#include "qx/core/compiler.h"

namespace {

std::vector<CQXVariable*> collectArguments(int count, va_list args) {
    std::vector<CQXVariable*> list;
    list.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) list.push_back(va_arg(args, CQXVariable*));
    return list;
}

}  // namespace

bool CQXCompiler::callFuncByName(const std::string& name, int count, ...) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    CQXFunction* func = getFunc(name);
    // The arguments are read only when their count is right: a wrong count must never make us
    // read arguments the host did not pass.
    if (!func || count != func->m_ParamCount) return false;
    va_list args;
    va_start(args, count);
    std::vector<CQXVariable*> list = collectArguments(count, args);
    va_end(args);
    return callFunction(func, list);
}

bool CQXCompiler::callFuncByAddr(CQXFunction* func, int count, ...) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (!func || count != func->m_ParamCount) return false;
    va_list args;
    va_start(args, count);
    std::vector<CQXVariable*> list = collectArguments(count, args);
    va_end(args);
    return callFunction(func, list);
}

bool CQXCompiler::callFuncByName(const std::string& name, const std::vector<CQXVariable*>& args) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    return callFunction(getFunc(name), args);
}

bool CQXCompiler::callFuncByAddr(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    return callFunction(func, args);
}

bool CQXCompiler::callFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    if (!func || static_cast<int>(args.size()) != func->m_ParamCount) return false;
    for (CQXVariable* arg : args)
        if (!arg) return false;
    if (m_RunDepth++ == 0) m_Shared.beginRun();
    bool ok = func->m_bIntern ? callScriptFunction(func, args) : callLibraryFunction(func, args);
    --m_RunDepth;
    return ok;
}

bool CQXCompiler::callLibraryFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    eInterpreterState state;
    try {
        state = func->Call(&args);
    } catch (...) {
        return m_Exception.setException("Unknown Exception", -1, -1, "");
    }
    if (state == isOK) return true;
    m_Exception = func->getError();
    return false;
}

// Value parameters must match the argument's shape and take a copy of it; a reference
// parameter is bound to the host's variable for the call, as a compiled call binds it.
bool CQXCompiler::callScriptFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    for (int i = 0; i < func->m_ParamCount; ++i) {
        CQXVariable* param = func->m_Varlist.getVar(i);
        CQXVariable* arg = args[static_cast<size_t>(i)];
        if (param->getVarState(vsREFERENCE)) {
            if (!param->bindCopyOf_intern(*arg)) return false;
        } else {
            if (!param->compareVar(arg)) return false;
            param->setmatrix(arg);
        }
    }
    eInterpreterState state;
    try {
        state = func->Call(nullptr);
    } catch (...) {
        return m_Exception.setException("Unknown Exception", -1, -1, "");
    }
    if (state == isOK || state == isRETURN) return true;
    m_Exception = func->m_Block.getError();
    return false;
}
