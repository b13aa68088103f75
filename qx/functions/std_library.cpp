// The standard library's vocabulary: the 41 functions that loadStdFunctions registers with the
// compiler object and the 12 named constants that loadStdVars declares as global variables.
// Scripts compiled afterwards find both by name; nothing inside the library calls these two.
#include <memory>

// loadStdFunctions and loadStdVars are members of the compiler object, hence core/ here.
#include "qx/core/compiler.h"
#include "qx/functions/by_name.h"
#include "qx/functions/constructors.h"
#include "qx/functions/editing.h"
#include "qx/functions/linalg_functions.h"
#include "qx/functions/math_functions.h"
#include "qx/functions/statistics.h"

namespace {

using Factory = CQXFunction* (*)(const std::string& name, CQXSharedParameter* shared,
                                 CQXCompiler* compiler);

template <class Function>
CQXFunction* make(const std::string& name, CQXSharedParameter* shared, CQXCompiler*) {
    return new Function(name, shared);
}

// The three by-name functions also need the compiler object, whose global variables they reach.
template <class Function>
CQXFunction* makeWithCompiler(const std::string& name, CQXSharedParameter* shared,
                              CQXCompiler* compiler) {
    return new Function(name, shared, compiler);
}

struct sStdFunction {
    const char* m_pName;  // exact and case-sensitive
    Factory m_Make;
};

// In registration order.
const sStdFunction kStdFunctions[] = {
    {"sin", make<CSin>},
    {"asin", make<CArcSin>},
    {"cos", make<CCos>},
    {"acos", make<CArcCos>},
    {"tan", make<CTan>},
    {"atan", make<CArcTan>},
    {"atan2", make<CArcTan2>},
    {"fabs", make<CAbs>},
    {"exp", make<CExp>},
    {"log10", make<CLog10>},
    {"log", make<CLn>},  // the natural logarithm
    {"log2", make<CLd>},
    {"linspace", make<CLinSpace>},
    {"rand", make<CRandom>},
    {"srand", make<CRandomize>},
    {"floor", make<CFloor>},
    {"ceil", make<CCeil>},
    {"fmod", make<CFMod>},
    {"modf", make<CModF>},
    {"sqrt", make<CSqrt>},
    {"pow", make<CPow>},
    {"sort", make<CSort>},
    {"min", make<CMinimum>},
    {"max", make<CMaximum>},
    {"median", make<CMedian>},
    {"inverse", make<CInverse>},
    {"transpose", make<CTranspose>},
    {"identity", make<CIdentity>},
    {"ones", make<COnes>},
    {"zeros", make<CZeros>},
    {"where", make<CWhere>},
    {"rowdel", make<CRowDelete>},
    {"coldel", make<CColDelete>},
    {"rowins", make<CRowInsert>},
    {"colins", make<CColInsert>},
    {"tostr", make<CToString>},
    {"eigens", make<CEigenS>},
    {"eigena", make<CEigenA>},
    {"addVarByName", makeWithCompiler<CDeclareVarByName>},
    {"getVarByName", makeWithCompiler<CGetVarByName>},
    {"setVarByName", makeWithCompiler<CSetVarByName>},
};

struct sStdConstant {
    const char* m_pName;
    double m_Value;
};

// In declaration order. The dt codes number the element types as addVarByName takes them; the
// fft codes are declared for scripts and hosts that use them, no standard function reads them.
const sStdConstant kStdConstants[] = {
    {"pi", 3.141592653589793},
    {"euler", 2.718281828459045},
    {"dtBYTE", 0},
    {"dtSHORT", 1},
    {"dtINT", 2},
    {"dtFLOAT", 3},
    {"dtDOUBLE", 4},
    {"fftAMPLITUDE", 0},
    {"fftPHASE", 1},
    {"fftPOWER", 2},
    {"fftNONE", 0},
    {"fftLOG", 1},
};

}  // namespace

// Whatever was registered before (host and script functions included) is deleted first, so the
// registry ends up holding exactly the standard set in table order. Called by a host function
// while a script runs, it does nothing: the running code still needs the functions.
// Under the lock, like every operation that changes what a running script uses: another
// thread's run finishes first, and on the running thread (a host function) nothing happens.
void CQXCompiler::loadStdFunctions() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (m_RunDepth > 0) return;
    invalidateProgram();
    m_FuncManager.clear();
    for (const sStdFunction& entry : kStdFunctions) {
        std::unique_ptr<CQXFunction> func(entry.m_Make(entry.m_pName, &m_Shared, this));
        if (m_FuncManager.addFunc(func.get())) func.release();
    }
}

// A name already declared (by an earlier call or by the host) keeps its variable and value.
void CQXCompiler::loadStdVars() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    for (const sStdConstant& entry : kStdConstants) {
        CQXVariable* var = m_GlobalVars.addVar(entry.m_pName, 1, 1, edtDOUBLE);
        if (var == nullptr) continue;
        var->setsingle(entry.m_Value);
        var->setConst_intern(true);
    }
}
