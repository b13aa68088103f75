// Standard functions that reach the compiler's global variables through a name computed at run
// time: addVarByName, getVarByName, setVarByName. The name is a string (one row of character
// codes); the variables are the same ones the host finds with CQXCompiler::getVar.
#include "qx/functions/by_name.h"

#include <cmath>
#include <cstddef>
#include <new>
#include <string>
#include <vector>

// These functions hold the compiler object they read, so functions/ and core/ meet here.
#include "qx/core/compiler.h"
#include "qx/values/rows_internal.h"

namespace {

const char* const kNotAString = "Parameter 1 must be 1xX matrix (string) ";

// No variable can hold a result without elements, so reading a variable without any is refused.
const char* const kEmptyText = "Parameters must not be empty";

bool isString(const CQXVariable* var) {
    return var->getRows() == 1;
}

// The character code of one name element: the element truncated toward zero, and of that integer
// the low 8 bits as two's complement has them (321 gives 65, -1 gives 255). The remainder is
// taken on the double, which is exact for every finite value, so no conversion can overflow.
// NaN and the infinities have no integer value and give 0.
char nameCharOf(double element) {
    if (!std::isfinite(element)) return '\0';
    double low = std::fmod(std::trunc(element), 256.0);
    if (low < 0.0) low += 256.0;
    return static_cast<char>(static_cast<unsigned char>(low));
}

// The name held by a string argument, read in column order; it may contain any byte.
std::string nameOf(const CQXVariable* var) {
    std::string name;
    for (int c = 0; c < var->getCols(); ++c) name += nameCharOf(var->getData_intern(0, c));
    return name;
}

CQXVariable* globalNamed(CQXCompiler* compiler, const std::string& name) {
    return compiler != nullptr ? compiler->getVar(name) : nullptr;
}

// Callers have checked size >= 1. A size beyond the int range can never be allocated, so it fails
// as an allocation failure does (std::bad_alloc, reported by the interpreter as "Unknown
// Exception").
int checkedSize(double size) {
    if (size >= 2147483648.0) throw std::bad_alloc();
    return static_cast<int>(size);
}

// The variable's elements as doubles, row by row: read completely before anything is written,
// so source and destination may share storage.
std::vector<double> elementsOf(const CQXVariable* var, int rows, int cols) {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) values.push_back(var->getData_intern(r, c));
    }
    return values;
}

void storeElements(CQXVariable* var, int rows, int cols, const std::vector<double>& values) {
    std::size_t next = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) var->setData_intern(r, c, values[next++]);
    }
}

int rowsOf(const CQXVariable* var) {
    return var->getRows() > 0 ? var->getRows() : 0;
}
int colsOf(const CQXVariable* var) {
    return var->getCols() > 0 ? var->getCols() : 0;
}

// The compiler's add operations in the order of the script's type codes dtBYTE ... dtDOUBLE.
using AddVar = CQXVariable* (CQXCompiler::*)(const std::string&, int, int);
const AddVar kAddByTypeCode[] = {&CQXCompiler::addByteVar, &CQXCompiler::addShortVar,
                                 &CQXCompiler::addIntVar, &CQXCompiler::addFloatVar,
                                 &CQXCompiler::addDoubleVar};

}  // namespace

// ---- addVarByName(name, rows, cols, type) ----

CDeclareVarByName::CDeclareVarByName(const std::string& name, CQXSharedParameter* shared,
                                     CQXCompiler* compiler)
    : CQXFunction(name, shared), m_pCompiler(compiler) {
    setParamCount(4);
}

CDeclareVarByName::~CDeclareVarByName() = default;

// Declares an owned global matrix of zeros. Sizes below 1 (0.5 included, which would truncate to
// an empty matrix) are refused with the texts of 0.
eInterpreterState CDeclareVarByName::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const CQXVariable* nameArg = (*args)[0];
    if (!isString(nameArg)) return raise(kNotAString);
    const double rows = qxrows::scalarOf((*args)[1]);
    if (!(rows >= 1.0)) return raise("Parameter 2 (Rows) must be > 0 ");
    const double cols = qxrows::scalarOf((*args)[2]);
    if (!(cols >= 1.0)) return raise("Parameter 3 (Columns) must be > 0 ");
    const std::string name = nameOf(nameArg);
    const double type = std::trunc(qxrows::scalarOf((*args)[3]));
    if (!(type >= 0.0 && type <= 4.0)) return raise("Paramter 4 is an unknown datatype");
    const AddVar add = kAddByTypeCode[static_cast<int>(type)];
    const int r = checkedSize(rows);
    const int c = checkedSize(cols);
    CQXVariable* var = m_pCompiler == nullptr ? nullptr : (m_pCompiler->*add)(name, r, c);
    if (var == nullptr) {
        return raise(name + ": error declaring variable per name (already declared?)");
    }
    m_pCompiler->markScriptVar_intern(var);
    return isOK;
}

// ---- getVarByName(name) ----

CGetVarByName::CGetVarByName(const std::string& name, CQXSharedParameter* shared,
                             CQXCompiler* compiler)
    : CQXFunction(name, shared), m_pCompiler(compiler) {
    setParamCount(1);
}

CGetVarByName::~CGetVarByName() = default;

// The result is a double copy of the variable, whatever its element type.
eInterpreterState CGetVarByName::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const CQXVariable* nameArg = (*args)[0];
    if (!isString(nameArg)) return raise(kNotAString);
    const std::string name = nameOf(nameArg);
    const CQXVariable* var = globalNamed(m_pCompiler, name);
    if (var == nullptr) return raise(name + ": variable does not exist");
    const int rows = rowsOf(var);
    const int cols = colsOf(var);
    if (rows == 0 || cols == 0) return raise(kEmptyText);
    setReturnMatrix(rows, cols, elementsOf(var, rows, cols));
    return isOK;
}

// ---- setVarByName(name, value) ----

CSetVarByName::CSetVarByName(const std::string& name, CQXSharedParameter* shared,
                             CQXCompiler* compiler)
    : CQXFunction(name, shared), m_pCompiler(compiler) {
    setParamCount(2);
}

CSetVarByName::~CSetVarByName() = default;

// Overwrites the variable with the plain conversion to its element type (no clipping). The
// constant flag is not consulted: this is the one way a script can change a named constant.
eInterpreterState CSetVarByName::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const CQXVariable* nameArg = (*args)[0];
    if (!isString(nameArg)) return raise(kNotAString);
    const std::string name = nameOf(nameArg);
    CQXVariable* var = globalNamed(m_pCompiler, name);
    if (var == nullptr) return raise(name + ": variable does not exist");
    const CQXVariable* value = (*args)[1];
    const int rows = rowsOf(var);
    const int cols = colsOf(var);
    if (rowsOf(value) != rows || colsOf(value) != cols) {
        return raise("Size mismatch");
    }
    storeElements(var, rows, cols, elementsOf(value, rows, cols));
    return isOK;
}
