// Calls of one function from the host: a script function (its parameters receive copies of the
// host's variables, reference parameters are bound to them), or a library or host function
// (which reads and writes the host's variables directly).
#include <cstdarg>
#include <exception>

#include "qx/core/compiler.h"
#include "qx/core/run_state_internal.h"
#include "qx/values/storage_fault_internal.h"

namespace {

// True when a constant is passed to a parameter that writes its argument (ptREFERENCE of a
// library or host function, &name of a script function). Such a call is refused before anything
// is copied or run, as a compiled call is refused, so the constant can never change.
bool bindsConstant(const CQXFunction& func, CQXVariable* const* args) {
    for (int i = 0; i < func.getParamCount(); ++i)
        if (args[i]->getConst() && func.getParamInfo(i).m_Kind == pkREFERENCE) return true;
    return false;
}

// Arguments of the variadic forms up to this count are collected on the stack; a script
// function called with them needs no allocation at all.
constexpr int kInlineArguments = 8;

// Reads count arguments of type CQXVariable* into a buffer of at least count entries.
void collectArguments(int count, va_list args, CQXVariable** out) {
    for (int i = 0; i < count; ++i) out[i] = va_arg(args, CQXVariable*);
}

}  // namespace

CQXFunction* CQXCompiler::findCalled(const std::string& name) {
    if (m_pCalledFunc != nullptr && m_CalledGeneration == m_FuncManager.m_Generation &&
        name == m_CalledName)
        return m_pCalledFunc;
    CQXFunction* func = getFunc(name);
    if (func == nullptr) return nullptr;
    // A name that cannot be kept (no memory for it) is simply looked up again next time.
    m_pCalledFunc = nullptr;
    try {
        m_CalledName = name;
    } catch (...) {
        return func;
    }
    m_pCalledFunc = func;
    m_CalledGeneration = m_FuncManager.m_Generation;
    return func;
}

bool CQXCompiler::callFuncByName(const std::string& name, int count, ...) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    CQXFunction* func = findCalled(name);
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
    return callFunction(findCalled(name), args);
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
// as a vector, or null when the caller has none (then the function is a script function). No
// exception leaves a host call: it becomes the run-time error, and the run ends on every path.
bool CQXCompiler::callFunction(CQXFunction* func, CQXVariable* const* args,
                               const std::vector<CQXVariable*>* list) {
    for (int i = 0; i < func->m_ParamCount; ++i)
        if (!args[i]) return false;
    if (bindsConstant(*func, args)) {
        takeTrace(false, func);
        return m_Exception.setError(etCONSTLVALUE, -1, -1, "");
    }
    // A host function that calls back in nests its calls on the native stack, where the
    // interpreter's bound on running blocks does not see them: they are bounded here alike.
    if (m_RunDepth >= CQXInterpreter::kMaxRunDepth) {
        takeTrace(false, nullptr);
        return m_Exception.setException("Call nesting too deep", -1, -1, "");
    }
    const CQXRunScope run(m_RunDepth, m_Shared);
    try {
        return func->m_bIntern ? callScriptFunction(func, args) : callLibraryFunction(func, *list);
    } catch (...) {
        return failCaught(func);
    }
}

// Called inside a handler: the exception that left a run (or the host call of called) becomes
// its run-time error. Should even recording the error fail, the run still fails.
bool CQXCompiler::failCaught(const CQXFunction* called) {
    try {
        try {
            throw;
        } catch (const CQXStorageFault& fault) {
            m_Exception.setException(fault.what(), -1, -1, fault.name());
        } catch (...) {
            m_Exception.setException("Unknown Exception", -1, -1, "");
        }
    } catch (...) {
    }
    takeTrace(false, called);
    return false;
}

// A host function that tried to change storage bound by a running call fails even when it
// reports success: the change it relied on did not happen.
bool CQXCompiler::callLibraryFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    const CQXRefusedChanges refusals(&m_Shared);
    const eInterpreterState state = func->Call(&args);
    if (state != isOK) {
        m_Exception = func->getError();
        takeTrace(false, func);
        return false;
    }
    if (const CQXVariable* refused = refusals.refused()) {
        m_Exception.setException(kBoundStorageText, -1, -1, refused->getName());
        takeTrace(false, func);
        return false;
    }
    return true;
}

namespace {

// The reference parameters a host call binds: those the call never started with (a later
// argument was refused) are unbound again; a started call unbinds its own when it ends.
class HostBindings {
public:
    HostBindings(CQXVarManager& params, int count) : m_Params(params), m_Count(count) {}
    HostBindings(const HostBindings&) = delete;
    HostBindings& operator=(const HostBindings&) = delete;
    ~HostBindings() {
        for (int i = 0; i < m_Count; ++i) {
            CQXVariable* param = m_Params.at_intern(i);
            if (param->isBound_intern() && !param->isArgumentPinned_intern())
                param->unbindArgument_intern();
        }
    }

private:
    CQXVarManager& m_Params;
    int m_Count;
};

// A script function whose reference parameters are bound for a running call is running: it is
// not re-entrant, and binding them anew would pull the storage from under that call.
const CQXVariable* boundForRunningCall(CQXVarManager& params, int count) {
    for (int i = 0; i < count; ++i) {
        const CQXVariable* param = params.at_intern(i);
        if (param->isArgumentPinned_intern() || param->isPinned_intern()) return param;
    }
    return nullptr;
}

}  // namespace

// Value parameters must match the argument's shape and take a copy of it; a reference
// parameter is bound to the host's variable for the call, as a compiled call binds it.
bool CQXCompiler::callScriptFunction(CQXFunction* func, CQXVariable* const* args) {
    CQXVarManager& params = func->m_Varlist;
    if (params.getVarCount() < func->m_ParamCount) return false;
    if (const CQXVariable* busy = boundForRunningCall(params, func->m_ParamCount)) {
        m_Exception.setException("Reference parameter already in use", -1, -1, busy->getName());
        takeTrace(false, func);
        return false;
    }
    const HostBindings bindings(params, func->m_ParamCount);
    for (int i = 0; i < func->m_ParamCount; ++i) {
        CQXVariable* param = params.at_intern(i);
        CQXVariable* arg = args[i];
        if (param->getVarState(vsREFERENCE)) {
            // A resizable variable is refused, as a compiled call refuses it.
            if (arg->getVarState(vsRESIZABLE) || !param->bindArgument_intern(*arg, *arg))
                return false;
        } else {
            if (!param->compareVar(arg)) return false;
            param->setmatrix(arg);
        }
    }
    const eInterpreterState state = func->Call(nullptr);
    if (state == isOK || state == isRETURN) return true;
    m_Exception = func->m_Block.getError();
    takeTrace(state == isEXCEPTION, func);
    return false;
}
