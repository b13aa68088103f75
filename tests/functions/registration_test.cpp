// The standard library as a compiler object installs it: the 41 functions with their classes
// and parameter lists, the 12 constants, loading twice, and host functions and variables that
// meet the library. Scripts using the library are golden scripts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "qx/core/compiler.h"
#include "qx/functions/by_name.h"
#include "qx/functions/constructors.h"
#include "qx/functions/editing.h"
#include "qx/functions/linalg_functions.h"
#include "qx/functions/math_functions.h"
#include "qx/functions/statistics.h"

namespace {

template <class Function>
bool isA(const CQXFunction* f) {
    return dynamic_cast<const Function*>(f) != nullptr;
}

// Name, class, parameter count, and which parameters are references (as a string of V and R).
struct sExpected {
    const char* m_pName;
    bool (*m_IsClass)(const CQXFunction*);
    const char* m_pParams;
};

const sExpected kFunctions[] = {
    {"sin", isA<CSin>, "V"},
    {"asin", isA<CArcSin>, "V"},
    {"cos", isA<CCos>, "V"},
    {"acos", isA<CArcCos>, "V"},
    {"tan", isA<CTan>, "V"},
    {"atan", isA<CArcTan>, "V"},
    {"atan2", isA<CArcTan2>, "VV"},
    {"fabs", isA<CAbs>, "V"},
    {"exp", isA<CExp>, "V"},
    {"log10", isA<CLog10>, "V"},
    {"log", isA<CLn>, "V"},
    {"log2", isA<CLd>, "V"},
    {"linspace", isA<CLinSpace>, "VVV"},
    {"rand", isA<CRandom>, "VVV"},
    {"srand", isA<CRandomize>, "V"},
    {"floor", isA<CFloor>, "V"},
    {"ceil", isA<CCeil>, "V"},
    {"fmod", isA<CFMod>, "VV"},
    {"modf", isA<CModF>, "V"},
    {"sqrt", isA<CSqrt>, "V"},
    {"pow", isA<CPow>, "VV"},
    {"sort", isA<CSort>, "VV"},
    {"min", isA<CMinimum>, "VV"},
    {"max", isA<CMaximum>, "VV"},
    {"median", isA<CMedian>, "VVV"},
    {"inverse", isA<CInverse>, "V"},
    {"transpose", isA<CTranspose>, "V"},
    {"identity", isA<CIdentity>, "V"},
    {"ones", isA<COnes>, "VV"},
    {"zeros", isA<CZeros>, "VV"},
    {"where", isA<CWhere>, "VV"},
    {"rowdel", isA<CRowDelete>, "VVV"},
    {"coldel", isA<CColDelete>, "VVV"},
    {"rowins", isA<CRowInsert>, "VVV"},
    {"colins", isA<CColInsert>, "VVV"},
    {"tostr", isA<CToString>, "VV"},
    {"eigens", isA<CEigenS>, "VRR"},
    {"eigena", isA<CEigenA>, "VVRR"},
    {"addVarByName", isA<CDeclareVarByName>, "VVVV"},
    {"getVarByName", isA<CGetVarByName>, "V"},
    {"setVarByName", isA<CSetVarByName>, "VV"},
};

const std::pair<const char*, double> kConstants[] = {
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

class CHostFunction : public CQXFunction {
public:
    explicit CHostFunction(CQXSharedParameter* shared) : CQXFunction("host", shared) {}
    eInterpreterState Call(const std::vector<CQXVariable*>*) override { return isOK; }
};

}  // namespace

TEST(RegistrationTest, LoadStdFunctionsRegistersEveryFunctionWithItsParameters) {
    CQXCompiler compiler;
    compiler.loadStdFunctions();
    ASSERT_EQ(compiler.getFuncCount(), 41);
    int index = 0;
    for (const sExpected& e : kFunctions) {
        SCOPED_TRACE(e.m_pName);
        CQXFunction* f = compiler.getFunc(e.m_pName);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(compiler.getFuncManager_intern().getFunc(index++), f) << "registration order";
        EXPECT_TRUE(e.m_IsClass(f));
        EXPECT_TRUE(f->getReturnType());
        const std::string params = e.m_pParams;
        ASSERT_EQ(f->getParamCount(), static_cast<int>(params.size()));
        for (int i = 0; i < f->getParamCount(); ++i) {
            EXPECT_EQ(f->getParamType(i), params[i] == 'R' ? ptREFERENCE : ptVALUE) << i;
        }
    }
    for (const char* absent : {"ln", "Sin", "abs", "ident", "addvarbyname"}) {
        EXPECT_EQ(compiler.getFunc(absent), nullptr) << absent;
    }
}

TEST(RegistrationTest, LoadingFunctionsAgainReplacesTheRegistryAndDropsTheProgram) {
    CQXCompiler compiler;
    compiler.loadStdFunctions();
    ASSERT_TRUE(compiler.addFunc(new CHostFunction(compiler.getSharedParameter())));
    CQXVariable* x = compiler.addDoubleVar("x", 1, 1);
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(16);")) << compiler.getError();
    compiler.loadStdFunctions();
    EXPECT_EQ(compiler.getFuncCount(), 41);
    EXPECT_EQ(compiler.getFunc("host"), nullptr);
    // The compiled code pointed at the deleted sqrt: it must not run.
    EXPECT_FALSE(compiler.runInterpreter());
    EXPECT_EQ(compiler.getException(), "Interpreter Error:  Nothing to Interprete");
    EXPECT_EQ(x->getData(0, 0), 0);
    ASSERT_TRUE(compiler.runCompiler("x = sqrt(25);")) << compiler.getError();
    ASSERT_TRUE(compiler.runInterpreter()) << compiler.getException();
    EXPECT_EQ(x->getData(0, 0), 5);
}

TEST(RegistrationTest, LoadStdVarsDeclaresTwelveConstantsOnce) {
    CQXCompiler compiler;
    compiler.loadStdVars();
    compiler.loadStdVars();
    ASSERT_EQ(compiler.getVarCount(), 12);
    int index = 0;
    for (const auto& c : kConstants) {
        SCOPED_TRACE(c.first);
        CQXVariable* v = compiler.getVar(index++);  // in declaration order
        EXPECT_EQ(v->getName(), c.first);
        EXPECT_EQ(v->getRows() * v->getCols(), 1);
        EXPECT_EQ(v->getDataType(), edtDOUBLE);
        EXPECT_TRUE(v->getConst());
        EXPECT_EQ(v->getData(0, 0), c.second);
    }
    // A host variable of a constant's name keeps its value and stays assignable.
    CQXCompiler host;
    CQXVariable* pi = host.addIntVar("pi", 1, 1);
    pi->setData(0, 0, 3);
    host.loadStdVars();
    EXPECT_EQ(host.getVar("pi"), pi);
    EXPECT_EQ(pi->getData(0, 0), 3);
    EXPECT_FALSE(pi->getConst());
}
