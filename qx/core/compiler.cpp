// The compiler object: construction, options, the host's variables and functions, the error
// records, clearing, and the two entry points runCompiler (script text -> blocks) and
// runInterpreter (run the main block against the variables' current values).
#include "qx/core/compiler.h"

#include <climits>
#include <memory>
#include <new>

#include "qx/compiler/program_store_internal.h"
#include "qx/compiler/script_function.h"
#include "qx/core/report.h"
#include "qx/core/run_state_internal.h"

CQXCompiler::CQXCompiler()
    : m_MainBlock(&m_Shared),
      m_GlobalVars(&m_Shared),
      m_TmpVars(&m_Shared),
      m_pCurFunc(nullptr),
      m_OpenBrackets(0),
      m_OpenBlocks(0),
      m_bParamDecl(false),
      m_bCompiled(false),
      m_DeclRows(0),
      m_DeclCols(0),
      m_DeclKind(0),
      m_Source(std::make_shared<std::string>()),
      m_Depth(0),
      m_RunDepth(0) {
    m_TmpVars.usePool_intern();
    m_Parser.setBuffer(*m_Source);
    m_Parser.clear();
    clear(true);
}

CQXCompiler::~CQXCompiler() {
    delete m_pCurFunc;
    resetWorkingState();
}

void CQXCompiler::setClipping(bool on) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    m_Shared.m_bClipping = on;
}

bool CQXCompiler::getClipping() const {
    return m_Shared.m_bClipping;
}

void CQXCompiler::setSmartError(bool on) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    m_Shared.m_bSmartError = on;
}

bool CQXCompiler::getSmartError() const {
    return m_Shared.m_bSmartError;
}

void CQXCompiler::setReferenceMode(bool on) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    m_Shared.m_bReferenceMode = on;
}

bool CQXCompiler::getReferenceMode() const {
    return m_Shared.m_bReferenceMode;
}

namespace {

// The three limits share one rule: set under the lock, and 0 (none) for anything not positive.
void setLimit(CQXSharedParameter& shared, long long CQXSharedParameter::*limit, long long value) {
    CQXCriticalSectionLock lock(&shared.m_Lock);
    shared.*limit = value > 0 ? value : 0;
}

}  // namespace

void CQXCompiler::setInstructionLimit(long long n) {
    setLimit(m_Shared, &CQXSharedParameter::m_InstructionLimit, n);
}

long long CQXCompiler::getInstructionLimit() const {
    return m_Shared.m_InstructionLimit;
}

void CQXCompiler::interrupt() {
    m_Shared.m_bInterrupt.store(true, std::memory_order_relaxed);
}

void CQXCompiler::setStorageLimit(long long bytes) {
    setLimit(m_Shared, &CQXSharedParameter::m_StorageLimit, bytes);
}

long long CQXCompiler::getStorageLimit() const {
    return m_Shared.m_StorageLimit;
}

void CQXCompiler::setTotalStorageLimit(long long bytes) {
    setLimit(m_Shared, &CQXSharedParameter::m_TotalStorageLimit, bytes);
}

long long CQXCompiler::getTotalStorageLimit() const {
    return m_Shared.m_TotalStorageLimit;
}

long long CQXCompiler::getScriptStorage() const {
    return m_Shared.m_StorageCounted;
}

CQXVariable* CQXCompiler::addByteVar(const std::string& name, int rows, int cols) {
    return m_GlobalVars.addVar(name, rows, cols, edtBYTE);
}
CQXVariable* CQXCompiler::addShortVar(const std::string& name, int rows, int cols) {
    return m_GlobalVars.addVar(name, rows, cols, edtSHORT);
}
CQXVariable* CQXCompiler::addIntVar(const std::string& name, int rows, int cols) {
    return m_GlobalVars.addVar(name, rows, cols, edtINT);
}
CQXVariable* CQXCompiler::addFloatVar(const std::string& name, int rows, int cols) {
    return m_GlobalVars.addVar(name, rows, cols, edtFLOAT);
}
CQXVariable* CQXCompiler::addDoubleVar(const std::string& name, int rows, int cols) {
    return m_GlobalVars.addVar(name, rows, cols, edtDOUBLE);
}

CQXVariable* CQXCompiler::addReferenceVar(const std::string& name, int rows, int cols,
                                          unsigned char** data) {
    return m_GlobalVars.addByteVar(name, rows, cols, data);
}
CQXVariable* CQXCompiler::addReferenceVar(const std::string& name, int rows, int cols,
                                          unsigned short** data) {
    return m_GlobalVars.addShortVar(name, rows, cols, data);
}
CQXVariable* CQXCompiler::addReferenceVar(const std::string& name, int rows, int cols, int** data) {
    return m_GlobalVars.addIntVar(name, rows, cols, data);
}
CQXVariable* CQXCompiler::addReferenceVar(const std::string& name, int rows, int cols,
                                          float** data) {
    return m_GlobalVars.addFloatVar(name, rows, cols, data);
}
CQXVariable* CQXCompiler::addReferenceVar(const std::string& name, int rows, int cols,
                                          double** data) {
    return m_GlobalVars.addDoubleVar(name, rows, cols, data);
}

CQXVariable* CQXCompiler::addResizeByteVar(const std::string& name) {
    return m_GlobalVars.addResizeVar(name, edtBYTE);
}
CQXVariable* CQXCompiler::addResizeShortVar(const std::string& name) {
    return m_GlobalVars.addResizeVar(name, edtSHORT);
}
CQXVariable* CQXCompiler::addResizeIntVar(const std::string& name) {
    return m_GlobalVars.addResizeVar(name, edtINT);
}
CQXVariable* CQXCompiler::addResizeFloatVar(const std::string& name) {
    return m_GlobalVars.addResizeVar(name, edtFLOAT);
}
CQXVariable* CQXCompiler::addResizeDoubleVar(const std::string& name) {
    return m_GlobalVars.addResizeVar(name, edtDOUBLE);
}

CQXVariable* CQXCompiler::getVar(const std::string& name) {
    return m_GlobalVars.getVar(name);
}
CQXVariable* CQXCompiler::getVar(int index) {
    return m_GlobalVars.getVar(index);
}
int CQXCompiler::getVarCount() const {
    return m_GlobalVars.getVarCount();
}
CQXVariable* CQXCompiler::getTmpVar(int index) {
    return m_TmpVars.getVar(index);
}
int CQXCompiler::getTmpVarCount() const {
    return m_TmpVars.getVarCount();
}

bool CQXCompiler::addFunc(CQXFunction* func) {
    return m_FuncManager.addFunc(func);
}
CQXFunction* CQXCompiler::getFunc(const std::string& name) {
    return m_FuncManager.getFunc(name);
}
int CQXCompiler::getFuncCount() const {
    return m_FuncManager.getFuncCount();
}
CQXFunction* CQXCompiler::getFunc(int index) {
    return m_FuncManager.getFunc(index);
}

std::string CQXCompiler::getError() {
    return m_Error.getError();
}
std::string CQXCompiler::getException() {
    return m_Exception.getError();
}
eErrorType CQXCompiler::getError(int& line, int& pos, std::string& text) {
    return m_Error.getError(line, pos, text);
}
eErrorType CQXCompiler::getException(int& line, int& pos, std::string& text) {
    return m_Exception.getError(line, pos, text);
}

std::vector<sCallSite> CQXCompiler::getExceptionTrace() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    return m_ExceptionTrace;
}

// Runs on the failure path only, and cannot throw: a trace that cannot be kept is lost, the
// error and the state of the compiler are not.
void CQXCompiler::takeTrace(bool unwound, const CQXFunction* called) {
    m_ExceptionTrace.clear();
    if (unwound) m_ExceptionTrace.swap(m_Shared.m_Unwound);
    m_Shared.m_Unwound.clear();
    if (called != nullptr) {
        try {
            m_ExceptionTrace.push_back(sCallSite{called->getName(), -1, -1});
        } catch (...) {
        }
    }
    m_pExceptionText = traceText(called);
}

// The first entry lies in the body of the function the next named entry called; without one,
// in the program (or, for a host call, nowhere in a text).
std::shared_ptr<const std::string> CQXCompiler::traceText(const CQXFunction* called) const {
    for (std::size_t i = 1; i < m_ExceptionTrace.size(); ++i) {
        const std::string& name = m_ExceptionTrace[i].m_Function;
        if (name.empty()) continue;
        const CQXFunction* func = m_FuncManager.getFunc(name);
        if (func == nullptr || !func->m_bIntern) return nullptr;
        return static_cast<const CDummyFunc*>(func)->m_pSource;
    }
    if (called != nullptr) return nullptr;
    return m_Source;
}

std::string CQXCompiler::formatError() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    return CQXReport::format(m_Error.getError(), *m_Source, m_Error.m_Line, m_Error.m_Pos);
}

std::string CQXCompiler::formatException() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    const std::string text = m_Exception.getError();
    std::string report =
        m_pExceptionText != nullptr
            ? CQXReport::format(text, *m_pExceptionText, m_Exception.m_Line, m_Exception.m_Pos)
            : text + "\n";
    return report + CQXReport::formatTrace(m_ExceptionTrace);
}

void CQXCompiler::clear(bool all) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    // A host function called by a running script must not delete the code that runs it.
    if (m_RunDepth > 0) return;
    if (all) {
        removeScriptFunctions();
        m_GlobalVars.clear();
        m_ScriptVars.clear();
    }
    retireProgram();
    releaseResults();
    m_bCompiled = false;
    m_TmpVars.addVar("null", 1, 1, edtDOUBLE)->setsingle(0.0);
    m_TmpVars.addVar("eins", 1, 1, edtDOUBLE)->setsingle(1.0);
    m_BlockManager.clear();
    m_MainBlock.clear();
    m_Parser.clear();
    delete m_pCurFunc;
    m_pCurFunc = nullptr;
    m_OpenBrackets = 0;
    m_OpenBlocks = 0;
    m_bParamDecl = false;
}

// The functions and the program go first: their code and temporaries refer to the globals that
// go after them.
void CQXCompiler::clearScript() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (m_RunDepth > 0) return;
    removeScriptFunctions();
    clear(false);
    m_GlobalVars.remove_intern(m_ScriptVars);
    m_ScriptVars.clear();
}

void CQXCompiler::clearScriptFunctions() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (m_RunDepth > 0) return;
    removeScriptFunctions();
    clear(false);
}

// The temporaries and blocks of the program being cleared go to the script functions compiled
// in it (their code refers to them); without such functions they are simply deleted.
void CQXCompiler::retireProgram() {
    if (!m_ProgramFuncs.empty()) {
        auto store = std::make_shared<CQXProgramStore>(m_TmpVars.releasePool_intern(),
                                                       m_BlockManager.release_intern());
        for (CDummyFunc* func : m_ProgramFuncs) func->m_pStore = store;
        m_ProgramFuncs.clear();
    }
    m_TmpVars.clear();
}

// Script functions refer to global variables; when those go, the functions go with them.
void CQXCompiler::removeScriptFunctions() {
    std::vector<std::string> names;
    for (int i = 0; i < m_FuncManager.getFuncCount(); ++i) {
        CQXFunction* func = m_FuncManager.getFunc(i);
        if (func->m_bIntern) names.push_back(func->m_Name);
    }
    for (const std::string& name : names) m_FuncManager.delFunc(name);
    m_ProgramFuncs.clear();
}

void CQXCompiler::undoCompile(int firstGlobal) {
    std::vector<std::string> names;
    for (const CDummyFunc* func : m_ProgramFuncs) names.push_back(func->m_Name);
    m_ProgramFuncs.clear();
    for (const std::string& name : names) m_FuncManager.delFunc(name);
    clear(false);
    std::unordered_set<const CQXVariable*> declared;
    for (int i = firstGlobal; i < m_GlobalVars.getVarCount(); ++i)
        declared.insert(m_GlobalVars.getVar(i));
    for (const CQXVariable* var : declared) m_ScriptVars.erase(var);
    m_GlobalVars.remove_intern(declared);
}

void CQXCompiler::releaseResults() {
    if (!m_Shared.m_bResultsHeld) return;
    for (int i = 0; i < m_FuncManager.getFuncCount(); ++i)
        m_FuncManager.getFunc(i)->releaseResult_intern();
    m_Shared.m_bResultsHeld = false;
}

void CQXCompiler::invalidateProgram() {
    m_bCompiled = false;
    m_MainBlock.clear();
    m_ProgramFuncs.clear();
}

bool CQXCompiler::runCompiler(const std::string& text) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (m_RunDepth > 0)
        return syntaxErrorAt(etSYNTAX, -1, -1, "cannot compile while a script runs");
    resetWorkingState();
    clear(false);
    // The new text replaces the old one only for this compiler: script functions of earlier
    // compiles keep theirs.
    m_Source = std::make_shared<std::string>();
    m_Parser.setBuffer(*m_Source);
    if (text.size() >= static_cast<size_t>(INT_MAX))
        return syntaxErrorAt(etSYNTAX, 1, 0, "script too long");
    *m_Source = text;
    m_Parser.setBuffer(*m_Source);
    return compileSource();
}

bool CQXCompiler::tryCompile(const std::string& text) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    const int globals = m_GlobalVars.getVarCount();
    if (runCompiler(text)) return true;
    // A refusal while a script runs compiled nothing, and must not touch the running program.
    if (m_RunDepth == 0) undoCompile(globals);
    return false;
}

bool CQXCompiler::compileSource() {
    const CQXCompileScope counting(m_Shared);
    try {
        if (!evalStart(&m_MainBlock)) return false;
    } catch (const std::bad_alloc&) {
        // A declaration or literal too large to allocate fails the compile, not the host.
        return syntaxError(etSYNTAX, "out of memory");
    }
    if (m_OpenBrackets != 0 || m_OpenBlocks != 0)
        return syntaxError(etSYNTAX, "unexpected end. missing bracket?");
    // The room the lists grew into beyond their contents would stay with the program for as
    // long as it lives.
    m_MainBlock.trim_intern();
    m_BlockManager.trim_intern();
    m_TmpVars.trim_intern();
    m_Parser.clear();
    m_bCompiled = true;
    return true;
}

bool CQXCompiler::runInterpreter() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (!m_bCompiled) {
        takeTrace(false, nullptr);
        return m_Exception.setException("Nothing to Interprete", -1, -1, "");
    }
    const bool ran = runMainBlock();
    if (m_RunDepth == 0) releaseResults();
    return ran;
}

bool CQXCompiler::runMainBlock() {
    const CQXRunScope run(m_RunDepth, m_Shared);
    try {
        const eInterpreterState state = m_MainBlock.Interprete();
        if (state == isOK) return true;
        m_Exception = m_MainBlock.getError();
        takeTrace(state == isEXCEPTION, nullptr);
        return false;
    } catch (...) {
        return failCaught(nullptr);
    }
}
