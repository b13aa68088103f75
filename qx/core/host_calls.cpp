// Calls of one function from the host: a script function (its parameters receive copies of the
// host's variables, reference parameters are bound to them), or a library or host function
// (which reads and writes the host's variables directly).
#include <cstdarg>
#include <deque>
#include <exception>
#include <string>

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

const char* const kNoFunctionText = "No function given (null)";

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
    if (func == nullptr) return refuseCall(name, name + ": function does not exist");
    // The arguments are read only when their count is right: a wrong count must never make us
    // read arguments the host did not pass.
    if (count != func->m_ParamCount) return refuseCall(name, "Wrong number of Parameters");
    va_list args;
    va_start(args, count);
    const bool ok = callVariadic(func, count, args);
    va_end(args);
    return ok;
}

bool CQXCompiler::callFuncByAddr(CQXFunction* func, int count, ...) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (func == nullptr) return refuseCall(std::string(), kNoFunctionText);
    if (count != func->m_ParamCount) return refuseCall(func->m_Name, "Wrong number of Parameters");
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
    CQXFunction* func = findCalled(name);
    if (func == nullptr) return refuseCall(name, name + ": function does not exist");
    return callFunction(func, args);
}

bool CQXCompiler::callFuncByAddr(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    return callFunction(func, args);
}

bool CQXCompiler::callFunction(CQXFunction* func, const std::vector<CQXVariable*>& args) {
    if (func == nullptr) return refuseCall(std::string(), kNoFunctionText);
    if (static_cast<int>(args.size()) != func->m_ParamCount)
        return refuseCall(func->m_Name, "Wrong number of Parameters");
    return callFunction(func, args.data(), &args);
}

bool CQXCompiler::callFunc(const std::string& name, const std::vector<sCallArgument>& args) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    CQXFunction* func = findCalled(name);
    if (func == nullptr) return refuseCall(name, name + ": function does not exist");
    return callWithTemporaries(func, args);
}

bool CQXCompiler::callFunc(CQXFunction* func, const std::vector<sCallArgument>& args) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (func == nullptr) return refuseCall(std::string(), kNoFunctionText);
    return callWithTemporaries(func, args);
}

namespace {

// The temporary variables of one host call and the row tables of the host's arrays among them;
// all go when the call has returned.
struct sTemporaries {
    std::deque<CQXVariable> vars;
    std::deque<std::vector<double*>> rows;
};

std::string argumentName(int index) {
    return "argument " + std::to_string(index + 1);
}

// A temporary for one argument that is no variable of the compiler: a 1x1 number, a copy of a
// read-only array, or a reference to the host's writable array. Null for an array that cannot
// be one (no elements, no data).
CQXVariable* makeTemporary(const sCallArgument& arg, int index, CQXSharedParameter* shared,
                           sTemporaries& temps) {
    const int rows = arg.m_Kind == cakNUMBER ? 1 : arg.m_Rows;
    const int cols = arg.m_Kind == cakNUMBER ? 1 : arg.m_Cols;
    if (rows < 1 || cols < 1 || (arg.m_Kind != cakNUMBER && arg.m_pData == nullptr)) return nullptr;
    temps.vars.emplace_back(shared);
    CQXVariable& var = temps.vars.back();
    if (arg.m_Kind == cakSPAN) {
        double* data = const_cast<double*>(arg.m_pData);  // cakSPAN was made from a double*
        temps.rows.emplace_back(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) temps.rows.back()[r] = data + static_cast<size_t>(r) * cols;
        var.setDouble(argumentName(index), rows, cols, temps.rows.back().data());
        return &var;
    }
    var.initialize(argumentName(index), rows, cols, edtDOUBLE);
    if (arg.m_Kind == cakNUMBER) var.setsingle(arg.m_Value);
    for (int r = 0; arg.m_Kind == cakCONSTSPAN && r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            var.setData_intern(r, c, arg.m_pData[static_cast<size_t>(r) * cols + c]);
    return &var;
}

}  // namespace

// Arguments that are no variables of the compiler become temporaries; a number or a read-only
// array cannot take what a reference parameter writes.
bool CQXCompiler::callWithTemporaries(CQXFunction* func, const std::vector<sCallArgument>& args) {
    if (static_cast<int>(args.size()) != func->m_ParamCount)
        return refuseCall(func->m_Name, "Wrong number of Parameters");
    sTemporaries temps;
    std::vector<CQXVariable*> list;
    try {
        list.reserve(args.size());
        for (int i = 0; i < func->m_ParamCount; ++i) {
            const sCallArgument& arg = args[static_cast<size_t>(i)];
            const bool writes = func->getParamInfo(i).m_Kind == pkREFERENCE;
            if (arg.m_Kind == cakVARIABLE) {
                list.push_back(arg.m_pVar);
                continue;
            }
            if (writes && arg.m_Kind != cakSPAN)
                return refuseArgument(func, i, "can't be written by a reference parameter");
            CQXVariable* temp = makeTemporary(arg, i, &m_Shared, temps);
            if (temp == nullptr) return refuseArgument(func, i, "has no elements");
            list.push_back(temp);
        }
    } catch (...) {
        return failCaught(func);
    }
    return callFunction(func, list);
}

bool CQXCompiler::refuseCall(const std::string& function, const std::string& text) {
    m_Exception.setException(text, -1, -1, "");
    m_Shared.m_Unwound.clear();
    m_ExceptionTrace.clear();
    try {
        m_ExceptionTrace.push_back(sCallSite{function, -1, -1});
    } catch (...) {
    }
    m_pExceptionText = nullptr;
    return false;
}

// "Argument 2 is null (parameter m)": counted from 1 as a host counts them, with the name a
// script function gave the parameter.
bool CQXCompiler::refuseArgument(const CQXFunction* func, int index, const std::string& problem) {
    std::string text = "Argument " + std::to_string(index + 1) + " " + problem;
    const std::string param = func->getParamInfo(index).m_Name;
    if (!param.empty()) text += " (parameter " + param + ")";
    return refuseCall(func->m_Name, text);
}

// args holds exactly the function's parameter count of arguments; list is the same arguments
// as a vector, or null when the caller has none (then the function is a script function). No
// exception leaves a host call: it becomes the run-time error, and the run ends on every path.
bool CQXCompiler::callFunction(CQXFunction* func, CQXVariable* const* args,
                               const std::vector<CQXVariable*>* list) {
    for (int i = 0; i < func->m_ParamCount; ++i)
        if (!args[i]) return refuseArgument(func, i, "is null");
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
    func->noteResult_intern();
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
    if (params.getVarCount() < func->m_ParamCount)
        return refuseCall(func->m_Name, "Wrong number of Parameters");
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
            if (arg->getVarState(vsRESIZABLE))
                return refuseArgument(func, i, "can't be resizable for a reference parameter");
            if (!param->bindArgument_intern(*arg, *arg))
                return refuseArgument(func, i, "has no elements");
        } else {
            if (!param->compareVar(arg))
                return refuseArgument(func, i,
                                      "must be " + std::to_string(param->getRows()) + "x" +
                                          std::to_string(param->getCols()));
            param->setmatrix(arg);
        }
    }
    const eInterpreterState state = func->Call(nullptr);
    func->noteResult_intern();
    if (state == isOK || state == isRETURN) return true;
    m_Exception = func->m_Block.getError();
    takeTrace(state == isEXCEPTION, func);
    return false;
}
