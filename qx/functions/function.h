// The function object model: every function a script can call (standard, host-defined, or
// defined by the script with func) is an object of a class derived from CQXFunction, kept in
// the compiler's registry (CQXFuncManager) and invoked by the interpreter through Call.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "qx/core/error.h"
#include "qx/core/shared_parameter.h"
#include "qx/export.h"
#include "qx/values/var_manager.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"
// A function object holds its block (m_Block), so functions/ and vm/ include each other.
#include "qx/vm/interpreter.h"

class CQXSharedParameter;

enum eParameterType {
    ptVALUE = 0,     // the function reads the argument and leaves the caller's variable alone
    ptREFERENCE = 1  // output parameter: what the function stores lands in the caller's variable
};

// How a parameter takes its argument, as a host lists a function's signature.
enum eParameterKind {
    pkVALUE = 0,     // a copy of an argument of any shape (standard and host functions)
    pkSIZED = 1,     // a copy into a script function's parameter of a declared rows x cols
    pkREFERENCE = 2  // the function may write the caller's variable
};

// One parameter of a registered function (CQXFunction::getParamInfo).
struct sParameterInfo {
    std::string m_Name;  // the name a script function declared; empty for other functions
    eParameterKind m_Kind;
    int m_Rows;  // declared size of a pkSIZED parameter; 0 for the other kinds
    int m_Cols;
};

// Abstract base of every callable function. A host derives from it: in the constructor call
// CQXFunction(name, compiler.getSharedParameter()), then setParamCount, setParamType for
// reference parameters, setReturnType(false) for a function without value; override Call.
//
// Copying copies the name, the parameter list, the flags, the last result and the last error;
// compiled code and own variables are not copied (a copy has an empty block and variable list).
class QX_API CQXFunction {
public:
    CQXFunction(const CQXFunction& other);
    CQXFunction& operator=(const CQXFunction& other);
    virtual ~CQXFunction();

    bool getReturnType() const { return m_bReturnType; }
    int getParamCount() const { return m_ParamCount; }
    CQXVariable* getReturnValue() { return &m_ReturnValue; }
    const std::string& getName() const { return m_Name; }

    // Performs one call: reads the arguments (one variable per parameter, in order), writes the
    // result into m_ReturnValue and ptREFERENCE arguments, returns isOK; on failure fills
    // m_Error with setException(text, -1, -1, "") and returns isEXCEPTION.
    virtual eInterpreterState Call(const std::vector<CQXVariable*>* args) = 0;

    CQXError getError() const { return m_Error; }
    // The type of one parameter, counted from 0; ptVALUE for an index outside the list.
    eParameterType getParamType(int index) const;
    // Name, kind and declared size of one parameter, counted from 0; an index outside the
    // list gives an unnamed pkVALUE. Together with getParamCount and getReturnType this is
    // the function's signature.
    sParameterInfo getParamInfo(int index) const;
    // True for a function a script defined with func.
    bool isScriptFunction() const { return m_bIntern; }

#ifdef QX_INTERNAL_API
    // Gives the storage of a value of more than one element back: the return variable becomes
    // a 1x1 zero. Never throws (a value that cannot be replaced is kept).
    void releaseResult_intern();
    // Notes in the shared run state that the value just computed holds storage worth giving
    // back when the run ends.
    void noteResult_intern() {
        if (m_pShared != nullptr && (m_ReturnValue.getRows() > 1 || m_ReturnValue.getCols() > 1))
            m_pShared->m_bResultsHeld = true;
    }
#endif

protected:
    CQXFunction(const std::string& name, CQXSharedParameter* shared);

    // Sets the number of parameters (negative counts as 0); added entries are ptVALUE.
    void setParamCount(int count);
    // Sets the type of one parameter; an index outside the list is ignored.
    void setParamType(int index, eParameterType type);
    void setReturnType(bool hasValue) {
        m_bReturnType = hasValue;
    }
    void setIntern(bool intern) {
        m_bIntern = intern;
    }
    bool getIntern() const {
        return m_bIntern;
    }
    CQXVarManager* getVarlist() {
        return &m_Varlist;
    }
    CQXInterpreter* getBlock() {
        return m_bIntern ? &m_Block : nullptr;
    }
    // Resizes the return variable (contents become 0); sizes below 1 are refused.
    bool resizeReturnVar(int rows, int cols);
    // Gives the return variable the shape rows x cols (resized only when its shape differs) and
    // the values, row by row. False, with nothing changed, for sizes below 1 or a value count
    // that is not rows x cols.
    bool setReturnMatrix(int rows, int cols, const std::vector<double>& values);
    // Reports a failed call: fills m_Error and returns isEXCEPTION.
    eInterpreterState raise(const std::string& text);
    // True when args holds a non-null variable for each parameter. The interpreter always
    // passes such a list; a host calling Call directly may not, and then the call is refused
    // by raiseArgumentCount.
    bool hasArgs(const std::vector<CQXVariable*>* args) const;
    eInterpreterState raiseArgumentCount();

    CQXVariable m_ReturnValue;
    CQXError m_Error;
    CQXInterpreter m_Block;
    CQXSharedParameter* m_pShared;
    std::vector<eParameterType> m_ParamTypes;
    int m_ParamCount;
    bool m_bIntern;
    bool m_bReturnType;
    std::string m_Name;
    CQXVarManager m_Varlist;

    friend class CQXCompiler;
    friend class CQXInterpreter;
    friend class CQXFuncManager;
};

// The registry: owns every registered function; names are exact, case-sensitive and unique.
// Not copyable (two registries cannot own one function).
class QX_API CQXFuncManager {
public:
    CQXFuncManager(const CQXFuncManager&) = delete;
    CQXFuncManager& operator=(const CQXFuncManager&) = delete;
    virtual ~CQXFuncManager();

    // False for null or a name already registered (the caller keeps the object); otherwise
    // the registry owns it.
    bool addFunc(CQXFunction* func);
    CQXFunction* getFunc(const std::string& name) const;
    void delFunc(const std::string& name);
    // Deletes every function, the last registered first.
    void clear();
    int getFuncCount() const { return static_cast<int>(m_List.size()); }
    CQXFunction* getFunc(int index) const;

protected:
    CQXFuncManager();
    friend class CQXCompiler;

private:
    std::vector<CQXFunction*> m_List;                       // registration order
    std::unordered_map<std::string, CQXFunction*> m_Index;  // lookup by exact name
    // Counts every change of the registry, so a name looked up once can be kept until then.
    unsigned long long m_Generation = 0;
};

// Declares a standard function class: public constructor (script name, shared parameters),
// copy operations, virtual destructor and the Call override.
#define QX_DECLARE_STD_FUNCTION(Class)                                          \
    class QX_API Class : public CQXFunction {                                   \
    public:                                                                     \
        Class(const std::string& name, CQXSharedParameter* shared);             \
        Class(const Class&) = default;                                          \
        Class& operator=(const Class&) = default;                               \
        ~Class() override;                                                      \
                                                                                \
    protected:                                                                  \
        eInterpreterState Call(const std::vector<CQXVariable*>* args) override; \
    }
