// Calls of one function from the host: a script function (its parameters receive copies of the
// host's variables, reference parameters are bound to them), or a library or host function
// (which reads and writes the host's variables directly).
#include <cstdarg>
#include <exception>

#include "qx/core/compiler.h"

namespace {

// Arguments of the variadic forms up to this count are collected on the stack; a script
// function called with them needs no allocation at all.
constexpr int kInlineArguments = 8;

// Reads count arguments of type CQXVariable* into a buffer of at least count entries.
void collectArguments(int count, va_list args, CQXVariable** out) {
    for (int i = 0; i < count; ++i) out[i] = va_arg(args, CQXVariable*);
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
    const bool ok = callVariadic(func, count, args);
    va_end(args);
    return ok;
}

bool CQXCompiler::callFuncByAddr(CQXFunction* func, int count, ...) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (!func || count != func->m_ParamCount) return false;
    va_list args;
    va_start(args, count);
    const bool ok = callVariadic(func, count, args);
    va_end(args);
    return ok;
}

// count equals the function's parameter count. Few arguments go into a buffer on the stack;
// library functions take their arguments as a vector, which is built from it.
bool CQXCompiler::callVariadic(CQXFunction* func, int count, va_list args) {
    if (count <= kInlineArguments) {
        CQXVariable* buffer[kInlineArguments] = {};
        collectArguments(count, args, buffer);
        if (func->m_bIntern) return callFunction(func, buffer, nullptr);
        return callFunction(func, std::vector<CQXVariable*>(buffer, buffer + count));
    }
    std::vector<CQXVariable*> list(static_cast<size_t>(count));
    collectArguments(count, args, list.data());
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
    return callFunction(func, args.data(), &args);
}

// args holds exactly the function's parameter count of arguments; list is the same arguments
// as a vector, or null when the caller has none (then the function is a script function).
bool CQXCompiler::callFunction(CQXFunction* func, CQXVariable* const* args,
                               const std::vector<CQXVariable*>* list) {
    for (int i = 0; i < func->m_ParamCount; ++i)
        if (!args[i]) return false;
    // A host function that calls back in nests its calls on the native stack, where the
    // interpreter's bound on running blocks does not see them: they are bounded here alike.
    if (m_RunDepth >= CQXInterpreter::kMaxRunDepth) {
        takeTrace(false, nullptr);
        return m_Exception.setException("Call nesting too deep", -1, -1, "");
    }
    if (m_RunDepth++ == 0) m_Shared.beginRun();
    bool ok = func->m_bIntern ? callScriptFunction(func, args) : callLibraryFunction(func, *list);
    --m_RunDepth;
    return ok;
}

bool CQXCompiler::callLibraryFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    eInterpreterState state;
    try {
        state = func->Call(&args);
    } catch (...) {
        takeTrace(false, func);
        return m_Exception.setException("Unknown Exception", -1, -1, "");
    }
    if (state == isOK) return true;
    m_Exception = func->getError();
    takeTrace(false, func);
    return false;
}

// Value parameters must match the argument's shape and take a copy of it; a reference
// parameter is bound to the host's variable for the call, as a compiled call binds it.
bool CQXCompiler::callScriptFunction(CQXFunction* func, CQXVariable* const* args) {
    for (int i = 0; i < func->m_ParamCount; ++i) {
        CQXVariable* param = func->m_Varlist.getVar(i);
        CQXVariable* arg = args[i];
        if (param->getVarState(vsREFERENCE)) {
            // A resizable variable is refused, as a compiled call refuses it: the body could
            // resize it and leave the parameter pointing at the storage that resize freed.
            if (arg->getVarState(vsRESIZABLE) || !param->bindCopyOf_intern(*arg)) return false;
        } else {
            if (!param->compareVar(arg)) return false;
            param->setmatrix(arg);
        }
    }
    eInterpreterState state;
    try {
        state = func->Call(nullptr);
    } catch (...) {
        takeTrace(false, func);
        return m_Exception.setException("Unknown Exception", -1, -1, "");
    }
    if (state == isOK || state == isRETURN) return true;
    m_Exception = func->m_Block.getError();
    takeTrace(state == isEXCEPTION, func);
    return false;
}
