// The help table of qxrun's interactive session: signature and one sentence per function.
#include "function_help.h"

#include <cstring>

const std::vector<sFunctionHelp>& functionHelp() {
    static const std::vector<sFunctionHelp> kHelp = {
        {"sin", "sin(x)", "sine of each element", true},
        {"cos", "cos(x)", "cosine of each element", true},
        {"tan", "tan(x)", "tangent of each element", true},
        {"asin", "asin(x)", "arc sine of each element", true},
        {"acos", "acos(x)", "arc cosine of each element", true},
        {"atan", "atan(x)", "arc tangent of each element", true},
        {"atan2", "atan2(y, x)", "arc tangent of y/x in the right quadrant, element by element",
         true},
        {"fabs", "fabs(x)", "absolute value of each element", true},
        {"exp", "exp(x)", "e raised to each element", true},
        {"log10", "log10(x)", "decimal logarithm of each element", true},
        {"log", "log(x)", "natural logarithm of each element", true},
        {"log2", "log2(x)", "base-2 logarithm of each element", true},
        {"floor", "floor(x)", "largest whole number not above each element", true},
        {"ceil", "ceil(x)", "smallest whole number not below each element", true},
        {"fmod", "fmod(x, y)", "remainder of x / y with the sign of x, element by element", true},
        {"modf", "modf(x)", "fractional part of each element", true},
        {"sqrt", "sqrt(x)", "square root of each element", true},
        {"pow", "pow(b, e)", "b raised to e, element by element", true},
        {"zeros", "zeros(rows, cols)", "a rows x cols matrix of zeros", true},
        {"ones", "ones(rows, cols)", "a rows x cols matrix of ones", true},
        {"identity", "identity(n)", "the n x n unit matrix", true},
        {"linspace", "linspace(a, b, n)", "one row of n evenly spaced values from a to b", true},
        {"rand", "rand(rows, cols, max)", "a rows x cols matrix of whole random numbers below max",
         true},
        {"srand", "srand(seed)", "seeds the random numbers of rand", true},
        {"rowins", "rowins(A, B, pos)", "A with the rows of B inserted before row pos", true},
        {"colins", "colins(A, B, pos)", "A with the columns of B inserted before column pos", true},
        {"rowdel", "rowdel(A, first, count)", "A without count rows from row first", true},
        {"coldel", "coldel(A, first, count)", "A without count columns from column first", true},
        {"transpose", "transpose(A)", "the transpose of A", true},
        {"sort", "sort(A, direction)",
         "all elements of A sorted in reading order; direction 0 ascending, else descending", true},
        {"where", "where(A, value)",
         "the columns (row 0) and rows (row 1) of the elements equal "
         "to value",
         true},
        {"tostr", "tostr(x, digits)", "the decimal text of x with digits decimals, as a string",
         true},
        {"addVarByName", "addVarByName(name, rows, cols, type)",
         "declares a global variable whose name is a string", true},
        {"getVarByName", "getVarByName(name)", "a copy of the global variable named by a string",
         true},
        {"setVarByName", "setVarByName(name, value)",
         "overwrites the global variable named by a string", true},
        {"min", "min(a, b)", "element-wise minimum of two matrices", true},
        {"max", "max(a, b)", "element-wise maximum of two matrices", true},
        {"median", "median(a, b, c)", "element-wise middle value of three matrices", true},
        {"inverse", "inverse(A)", "the inverse of the square matrix A", true},
        {"eigens", "eigens(A, V, D)",
         "eigenvectors (columns of V) and eigenvalues (diagonal of D) of the symmetric A", true},
        {"eigena", "eigena(A, B, V, D)", "the same for the generalized problem A v = lambda B v",
         true},
        {"print", "print(x)", "writes x as a value (qxrun)", false},
        {"puts", "puts(s)", "writes the string s as text and a line break (qxrun)", false},
    };
    return kHelp;
}

const sFunctionHelp* findFunctionHelp(const char* name) {
    for (const sFunctionHelp& entry : functionHelp())
        if (std::strcmp(entry.m_pName, name) == 0) return &entry;
    return nullptr;
}
