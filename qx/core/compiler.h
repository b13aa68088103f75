// CQXCompiler: the one object a host creates. It owns the options and the lock, the host's and
// the script's global variables, the temporaries, the registry of functions, the compiled
// program (main block and sub-blocks) and both error records. A host adds its variables, loads
// the standard library, compiles a script once with runCompiler and runs it with runInterpreter
// as often as it likes; single functions can be called with callFuncByName / callFuncByAddr.
#pragma once

#include <cstdarg>
#include <list>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "qx/core/call_argument.h"
#include "qx/core/error.h"
#include "qx/core/shared_parameter.h"
#include "qx/export.h"
#include "qx/functions/function.h"
#include "qx/lexer/lexer.h"
#include "qx/values/var_manager.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"
#include "qx/vm/interpreter.h"

class CDummyFunc;
// One entry of the expression compiler's operator stack (pending_operator_internal.h).
struct sPendingOperator;

// The compiled program as the listing and the access analysis see it (program_info.cpp).
struct sProgramView;

// Not copyable: a compiler owns its variables, functions and blocks.
class QX_API CQXCompiler {
public:
    CQXCompiler();
    CQXCompiler(const CQXCompiler&) = delete;
    CQXCompiler& operator=(const CQXCompiler&) = delete;
    virtual ~CQXCompiler();

    // Options (both on by default). The setters hold the lock.
    void setClipping(bool on);
    bool getClipping() const;
    void setSmartError(bool on);
    bool getSmartError() const;
    // Reference mode (off by default): every instruction runs on the interpreter's general path,
    // none on its fast paths (the direct path of 1x1 doubles, the operand cache, the fused
    // element-wise chains). Results, errors and instruction counts are the same; runs are only
    // slower. Meant as the oracle of tests and fuzzers, and for a host that suspects a fast
    // path. May be switched between runs of one compiled program. Holds the lock.
    void setReferenceMode(bool on);
    bool getReferenceMode() const;
    CQXSharedParameter* getSharedParameter() { return &m_Shared; }

    // Limits for running scripts written by the host's users.
    // A run (runInterpreter or a host call) that executes more than n instructions, counted
    // over all blocks, stops with the run-time error "Instruction limit exceeded" at the
    // instruction where it stopped. 0 (the default) means no limit. Holds the lock.
    void setInstructionLimit(long long n);
    long long getInstructionLimit() const;
    // Stops the running script at its next instruction with the run-time error "Interrupted".
    // Safe to call from any thread at any time (no lock); the request is forgotten when the
    // next run starts.
    void interrupt();
    // The most storage, in bytes, one variable may allocate (0, the default, is the built-in
    // cap of 1 TiB). A larger request fails: at run time with "Storage limit exceeded" ("Unknown
    // Exception" beyond the built-in cap), at compile time with "out of memory". Holds the lock.
    void setStorageLimit(long long bytes);
    long long getStorageLimit() const;
    // The most storage, in bytes, that what compiles and runs allocate for variables and
    // temporaries may hold at once (0, the default, means no limit). Counted is every block a
    // compile or a run allocates (declarations, literals, temporaries, function results, resized
    // variables, addVarByName) for as long as it is held; host variables added outside runs
    // are not. A request beyond it fails as one beyond the limit of one variable does. Holds
    // the lock. getScriptStorage is the counted storage held now.
    void setTotalStorageLimit(long long bytes);
    long long getTotalStorageLimit() const;
    long long getScriptStorage() const;

    // Host variables: owned matrices of zeros; null when the name is taken.
    CQXVariable* addByteVar(const std::string& name, int rows, int cols);
    CQXVariable* addShortVar(const std::string& name, int rows, int cols);
    CQXVariable* addIntVar(const std::string& name, int rows, int cols);
    CQXVariable* addFloatVar(const std::string& name, int rows, int cols);
    CQXVariable* addDoubleVar(const std::string& name, int rows, int cols);
    // Host variables over the host's own row arrays (read and written in place).
    CQXVariable* addReferenceVar(const std::string& name, int rows, int cols, unsigned char** data);
    CQXVariable* addReferenceVar(const std::string& name, int rows, int cols,
                                 unsigned short** data);
    CQXVariable* addReferenceVar(const std::string& name, int rows, int cols, int** data);
    CQXVariable* addReferenceVar(const std::string& name, int rows, int cols, float** data);
    CQXVariable* addReferenceVar(const std::string& name, int rows, int cols, double** data);
    // Host variables whose size scripts may change (1x1 zero at first).
    CQXVariable* addResizeByteVar(const std::string& name);
    CQXVariable* addResizeShortVar(const std::string& name);
    CQXVariable* addResizeIntVar(const std::string& name);
    CQXVariable* addResizeFloatVar(const std::string& name);
    CQXVariable* addResizeDoubleVar(const std::string& name);

    CQXVariable* getVar(const std::string& name);
    CQXVariable* getVar(int index);
    int getVarCount() const;
    // Stores value into target as the script statement `target = value;` does: converted to
    // target's element type with the clipping option, a 1x1 value filling every element, a
    // resizable target taking value's shape. False, with the reason in getException(), when
    // the shapes do not fit; false for null. Holds the lock; also allowed while a script runs.
    bool assignVar(CQXVariable* target, CQXVariable* value);
    // Deletes the global variable of that name (the host's or a script's). Compiled code may
    // refer to it, so the compiled program and every script function go as well, as with
    // clearScriptFunctions. False, changing nothing, for a name no global has and while a
    // script runs. Holds the lock.
    bool removeVar(const std::string& name);
    CQXVariable* getTmpVar(int index);
    int getTmpVarCount() const;

    // Registers a heap-allocated function; the compiler owns it from then on. False for null or
    // a name already registered (the caller keeps the object).
    bool addFunc(CQXFunction* func);
    CQXFunction* getFunc(const std::string& name);
    int getFuncCount() const;
    // The registered function at a position in order of registration (0 .. getFuncCount()-1);
    // null out of range. With CQXFunction::getParamInfo a host lists every signature.
    CQXFunction* getFunc(int index);

    // Empties the registry (host and script functions included) and registers the 41
    // standard functions; adds the 12 standard constants (existing names are left alone).
    // Both hold the lock, so they wait for a script running on another thread.
    void loadStdFunctions();
    void loadStdVars();

    std::string getError();
    std::string getException();
    eErrorType getError(int& line, int& pos, std::string& text);
    eErrorType getException(int& line, int& pos, std::string& text);
    // Where the last run-time error (getException) happened, innermost first: the failing
    // instruction when it is not a call (no function name), then each call of a script,
    // standard or host function that led there, with the call's line and position. An error
    // raised inside a standard or host function has line -1 in its record; its first entry
    // names that function and where it was called. A failed host call ends the list with the
    // function the host called (line and position -1). Empty when the error arose before any
    // instruction ran. Kept until the next run-time error, like the record. Holds the lock.
    std::vector<sCallSite> getExceptionTrace();
    // The last compile error as people read it: getError(), then the line of the compiled text
    // it refers to and a caret under the token there (see CQXReport::format). Holds the lock.
    std::string formatError();
    // The last run-time error as people read it: getException(), the line of the text the
    // failing instruction was compiled from (the program's own, or the text that defined the
    // script function it failed in, also in an earlier compile) with a caret, then one line per
    // call that led there (CQXReport::formatTrace). Holds the lock.
    std::string formatException();

    // Drops the compiled program and its temporaries; with all, also every global variable
    // (the host's included) and the script-defined functions whose code refers to them.
    void clear(bool all);
    // Reloading a script: drops the compiled program, every script function and every global
    // variable that scripts declared (by declarations or addVarByName); keeps the host's
    // variables and their values, the host's and the standard functions, and the constants.
    // Pointers to the removed variables and functions become invalid. Holds the lock; does
    // nothing while a script runs (a host function cannot pull the running code away).
    void clearScript();
    // The same for the script functions alone: drops the compiled program and every script
    // function, and keeps every global variable (so functions can be defined anew).
    void clearScriptFunctions();
    bool runCompiler(const std::string& text);
    // Compiles as runCompiler does, but a compile that fails leaves nothing behind: the global
    // variables the text declared, the functions it defined and the storage they and the
    // compile's temporaries hold are removed again, so the text, once mended, compiles on the
    // same compiler. The previous program is dropped either way, as by runCompiler. For prompts
    // and editors where the user retries an entry. Holds the lock.
    bool tryCompile(const std::string& text);
    bool runInterpreter();

    // A text listing of the compiled program: every block with each instruction's index,
    // line and position, opcode name, operands (variable names, index records, the values of
    // constants) and result, the sub-blocks under the instruction that runs them, and the
    // body of every registered script function. Holds the lock.
    std::string getListing();
    // The global variables (in the order of getVar(index)) that the compiled program may read
    // and may write when it runs, script functions it calls and what their reference
    // parameters are bound to included; with func, those of that script function's body
    // instead. Names looked up while running (getVarByName, setVarByName) are not seen.
    // False, with both lists empty, when there is no compiled program or func is not a
    // registered script function. Holds the lock.
    bool getVarAccess(std::vector<CQXVariable*>& reads, std::vector<CQXVariable*>& writes,
                      const CQXFunction* func = nullptr);

    // Calls one function with the host's variables as arguments, in parameter order; the
    // value, if any, is then in func->getReturnValue(). The variadic forms take exactly count
    // arguments of type CQXVariable* and forward to the vector forms.
    bool callFuncByName(const std::string& name, int count, ...);
    bool callFuncByAddr(CQXFunction* func, int count, ...);
    bool callFuncByName(const std::string& name, const std::vector<CQXVariable*>& args);
    bool callFuncByAddr(CQXFunction* func, const std::vector<CQXVariable*>& args);
    // The same with arguments that may also be numbers and the host's arrays (sCallArgument):
    // each becomes a temporary variable for the call alone, named "argument N" in error texts,
    // so nothing is added that scripts could see.
    bool callFunc(const std::string& name, const std::vector<sCallArgument>& args);
    bool callFunc(CQXFunction* func, const std::vector<sCallArgument>& args);
    // Every host call that returns false says why in getException() and getExceptionTrace(),
    // whose last entry names the function the host called (line -1): an unknown name ("NAME:
    // function does not exist"), a wrong count ("Wrong number of Parameters"), a null argument,
    // an argument that does not fit its parameter, or a failure while the function ran.

    // Deepest nesting of brackets, braces, matrix literals, index expressions and call
    // arguments a script may use; deeper nesting fails the compile with "nesting too deep".
    // 256 levels are far beyond hand-written scripts and keep the recursive-descent compiler
    // well inside a thread's native stack.
    static const int kMaxNesting = 256;

    // The names of the methods an operand may carry (".rows" ... ".rank"), in the order of the
    // compiler's table; ".resize" is a statement of its own and not among them.
    static std::vector<std::string> methodNames();

#ifdef QX_INTERNAL_API
    const CQXInterpreter& getMainBlock_intern() const {
        return m_MainBlock;
    }
    const CQXFuncManager& getFuncManager_intern() const {
        return m_FuncManager;
    }
    // Marks a global as declared by a script (addVarByName), so clearScript removes it.
    void markScriptVar_intern(const CQXVariable* var) {
        m_ScriptVars.insert(var);
    }
#endif

private:
    // ---- statements (statements.cpp) ----
    bool evalStart(CQXInterpreter* block);
    bool evalSingleInstruction(CQXInterpreter* block);
    bool evalStatement(CQXInterpreter* block, eTokenType tok, bool& handled);
    bool evalNameStatement(CQXInterpreter* block);
    bool evalBracedBlock(CQXInterpreter* block);
    bool evalReturn(CQXInterpreter* block);
    bool evalIf(CQXInterpreter* block);
    bool evalWhile(CQXInterpreter* block);
    bool evalFor(CQXInterpreter* block);
    bool evalBreak(CQXInterpreter* block, eOptType op);
    bool evalForAssignment(CQXInterpreter* block);
    bool evalCloseBrace(CQXInterpreter* block);
    // ---- declarations and definitions (declarations.cpp) ----
    bool evalVarDef(eDataType type);
    bool declareVar(eDataType type);
    bool evalDeclSize();
    bool evalFuncDef();
    bool evalFuncBody();
    // ---- assignments (assignments.cpp) ----
    bool evalLVar(CQXInterpreter* block);
    bool evalResize(CQXInterpreter* block);
    bool evalVarModify(CQXInterpreter* block);
    // ---- expressions (expressions.cpp) ----
    static int getPriority(eTokenType tok);
    static eOptType getOperator(eTokenType tok);
    bool evalExpression(CQXInterpreter* block, sByteCodeVar& result, int level);
    bool evalOperand(CQXInterpreter* block, sByteCodeVar& operand, int level);
    bool evalOp(CQXInterpreter* block, sByteCodeVar& operand, sByteCodeVar& acc, int level,
                bool& more);
    bool evalAndRight(CQXInterpreter* block, sByteCodeVar& left, sByteCodeVar& acc, int level);
    void reduceLevel(CQXInterpreter* block, sByteCodeVar& result, int level, int minPriority);
    // ---- operands, indexing, methods (operands.cpp) ----
    bool evalVarOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate);
    bool evalVar(CQXInterpreter* block, sByteCodeVar& operand, int level);
    bool evalIndexExpression(CQXInterpreter* block, CQXVariable*& out, int level);
    CQXVariable* makeExtent(CQXInterpreter* block, const sByteCodeVar& operand, bool rows);
    void materialise(CQXInterpreter* block, sByteCodeVar& operand);
    bool evalMethod(CQXInterpreter* block, sByteCodeVar& operand);
    void applyPrefix(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate);
    // ---- literals (literals.cpp) ----
    bool evalNumberOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate);
    bool evalStringOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate);
    bool evalArrayOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                     int level);
    bool evalBraceOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                     int level);
    // ---- calls (calls.cpp) ----
    bool evalFunc(CQXInterpreter* block, CQXFunction*& func, sByteCodeVar& ret, int level);
    bool evalFuncOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                    int level);
    bool passLibraryArgument(CQXInterpreter* block, CQXFunction* func, int index,
                             const sByteCodeVar& arg, sByteCode& call,
                             std::vector<sByteCode>& bindings);
    bool passScriptArgument(CQXInterpreter* block, CQXFunction* func, int index,
                            const sByteCodeVar& arg, bool references);
    // ---- shared compiler helpers (compiler_support.cpp) ----
    // The one funnel of compile errors: the record takes the lexer's line and position at the
    // moment of the error (syntaxErrorAt: a place outside the text, for refusals before lexing).
    // All return false, so a compile function ends with `return syntaxError(...)`.
    bool syntaxError(eErrorType type, const std::string& detail = std::string());
    bool syntaxErrorAt(eErrorType type, int line, int pos, const std::string& detail);
    // Reads the next token (or takes the one already read) and fails with the error of the given
    // type and detail unless it is the expected token.
    bool expect(eTokenType token, eErrorType type, const std::string& detail = std::string());
    bool expect(eTokenType read, eTokenType token, eErrorType type,
                const std::string& detail = std::string());
    bool unknownName(const std::string& name);
    void emit(CQXInterpreter* block, const sByteCode& code);
    void emitAt(CQXInterpreter* block, const sByteCode& code, int line, int pos);
    CQXInterpreter* newBlock();
    // A new block and the otBLOCK instruction in block that runs it.
    CQXInterpreter* newRunBlock(CQXInterpreter* block);
    CQXVariable* newTemp();
    CQXVariable* newConst(int rows, int cols);
    CQXVariable* lookupVar(const std::string& name);
    bool enterNesting();
    void leaveNesting() {
        --m_Depth;
    }
    void resetWorkingState();
    void retireProgram();
    void removeScriptFunctions();
    // Undoes a failed compile: its functions, the globals it declared (those from index
    // firstGlobal on) and its program go.
    void undoCompile(int firstGlobal);
    // Functions keep their last value, which may be large: it goes when a run ends and on
    // clear (a host that called a function has read the value by then).
    void releaseResults();
    // Compiled code may call functions that are about to be deleted (loadStdFunctions): the
    // program is dropped so it can never run with dangling function pointers.
    void invalidateProgram();
    bool callFunction(CQXFunction* func, const std::vector<CQXVariable*>& args);
    bool callWithTemporaries(CQXFunction* func, const std::vector<sCallArgument>& args);
    // The one funnel of host calls refused before the function ran: the reason becomes the
    // run-time error, and the trace names the function the host called.
    bool refuseCall(const std::string& function, const std::string& text);
    bool refuseArgument(const CQXFunction* func, int index, const std::string& problem);
    bool callFunction(CQXFunction* func, CQXVariable* const* args,
                      const std::vector<CQXVariable*>* list);
    bool callVariadic(CQXFunction* func, int count, va_list args);
    // getFunc for callFuncByName, which keeps the last function found until the registry
    // changes: a host calling one function by name many times looks it up once.
    CQXFunction* findCalled(const std::string& name);
    bool callScriptFunction(CQXFunction* func, CQXVariable* const* args);
    bool callLibraryFunction(CQXFunction* func, const std::vector<CQXVariable*>& args);
    bool failCaught(const CQXFunction* called);
    // Sets the trace of the run-time error just recorded in m_Exception: the call sites it
    // unwound (when unwound), then the function a host call started (when called is not null).
    void takeTrace(bool unwound, const CQXFunction* called);
    // The text the location of the trace's first entry lies in: that of the script function
    // the next entry names, else the program's (null for a host call).
    std::shared_ptr<const std::string> traceText(const CQXFunction* called) const;
    bool compileSource();
    bool runMainBlock();
    // ---- listing and variable access (program_info.cpp) ----
    void viewProgram(sProgramView& view) const;

    CQXSharedParameter m_Shared;
    CQXInterpreter m_MainBlock;
    CQXBlockManager m_BlockManager;
    CQXFuncManager m_FuncManager;
    CQXVarManager m_GlobalVars;
    CQXVarManager m_TmpVars;
    CQXError m_Error;
    CQXError m_Exception;
    CQXParser m_Parser;
    sByteCodeVar m_LValue;
    CDummyFunc* m_pCurFunc;  // owned by the compiler until it is registered
    std::list<CQXInterpreter*> m_LoopBlocks;
    std::list<sPendingOperator*> m_PendingOps;
    int m_OpenBrackets;
    int m_OpenBlocks;
    bool m_bParamDecl;
    bool m_bCompiled;
    std::string m_DeclName;
    int m_DeclRows;
    int m_DeclCols;
    int m_DeclKind;
    // The text of the last compile, shared with the script functions it defined: error reports
    // show lines of it. The lexer reads from it while compiling.
    std::shared_ptr<std::string> m_Source;

    // Script functions registered since the program was last cleared: their code refers to the
    // current temporaries and blocks, which clear hands over to them (retireProgram).
    std::vector<CDummyFunc*> m_ProgramFuncs;
    // Globals that scripts declared (the others are the host's and the constants); clearScript
    // deletes them.
    std::unordered_set<const CQXVariable*> m_ScriptVars;
    int m_Depth;     // current nesting depth of the compile
    int m_RunDepth;  // runs in progress (a host function may start another one)
    std::vector<sCallSite> m_ExceptionTrace;  // where m_Exception's error happened
    // The text the location of m_Exception lies in; null when unknown.
    std::shared_ptr<const std::string> m_pExceptionText;
    // The function callFuncByName found last, its name, and the registry's generation then.
    std::string m_CalledName;
    CQXFunction* m_pCalledFunc = nullptr;
    unsigned long long m_CalledGeneration = 0;
};
