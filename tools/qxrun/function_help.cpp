// The help table of qxrun's interactive session: signature and one sentence per function.
#include "function_help.h"

#include <cstring>
#include <string>

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

const std::vector<sFunctionHelp>& languageHelp() {
    static const std::vector<sFunctionHelp> kHelp = {
        {"rows", "m.rows", "method: the number of rows", false},
        {"cols", "m.cols", "method: the number of columns", false},
        {"size", "m.size", "method: the number of elements", false},
        {"min", "m.min", "method: the smallest element (min(a, b) is element-wise)", false},
        {"max", "m.max", "method: the largest element (max(a, b) is element-wise)", false},
        {"sum", "m.sum", "method: the sum of all elements", false},
        {"mean", "m.mean", "method: the mean of all elements", false},
        {"median", "m.median", "method: the middle element; for an even count the lower one",
         false},
        {"variance", "m.variance", "method: the population variance (divided by N)", false},
        {"std", "m.std", "method: the population standard deviation", false},
        {"det", "m.det", "method: the determinant of a square matrix", false},
        {"rank", "m.rank", "method: the rank of a square matrix", false},
        {"resize", "m.resize(r, c);", "statement: a resizable m gets r x c zeros", false},
        {"func", "func name(a, m[2][2], &r) { ... return e; }",
         "defines a function: value parameters of a size, reference parameters with &", false},
        {"return", "return e;", "ends a function body with its value", false},
        {"if", "if (c) s  /  if (c) s else s", "runs s when c is true (not all zeros)", false},
        {"else", "if (c) s else s", "the other branch of the nearest if", false},
        {"while", "while (c) s", "runs s as long as c is true", false},
        {"for", "for (i = 0; i < n; i++;) s", "the step ends with its own ';' before ')'", false},
        {"break", "break;", "leaves the innermost loop", false},
        {"continue", "continue;", "goes to the next pass of the innermost loop (a for's step)",
         false},
        {"byte", "byte b, m[2][3], r[];", "declares unsigned 8-bit variables (0 .. 255)", false},
        {"short", "short s;", "declares unsigned 16-bit variables (0 .. 65535)", false},
        {"int", "int i;", "declares signed 32-bit variables", false},
        {"float", "float f;", "declares 32-bit floating-point variables", false},
        {"double", "double x, m[2][3], r[];",
         "declares 64-bit floating-point variables: 1x1, "
         "rows x cols, resizable",
         false},
        {"=", "x = e;", "assigns; a 1x1 fills every element, a resizable x takes e's shape", false},
        {"+", "a + b", "element-wise sum; a 1x1 on either side", false},
        {"-", "a - b, -a", "element-wise difference (a 1x1 on the right); negation", false},
        {"*", "a * b", "matrix product, or scaling by a 1x1", false},
        {"/", "a / b", "division by a 1x1", false},
        {".*", "a .* b", "element-wise product of equal shapes", false},
        {"./", "a ./ b", "element-wise quotient of equal shapes", false},
        {"%", "a % b", "remainder by a 1x1, with the sign of a", false},
        {"^", "a ^ b", "power of two 1x1 values; groups to the left, -2 ^ 2 is 4", false},
        {"==", "a == b", "1 when all elements are equal", false},
        {"!=", "a != b", "1 when not all elements are equal", false},
        {"<", "a < b", "1 when it holds for every element (also > <= >=)", false},
        {">", "a > b", "1 when it holds for every element", false},
        {"<=", "a <= b", "1 when it holds for every element", false},
        {">=", "a >= b", "1 when it holds for every element", false},
        {"&&", "a && b", "1 when both [0][0] are true; b runs only when a is true", false},
        {"||", "a || b", "1 when either [0][0] is true", false},
        {"!", "!a", "1 when element [0][0] is 0, else 0", false},
        {"&&.", "a &&. b", "element-wise and", false},
        {"||.", "a ||. b", "element-wise or", false},
        {"!=.", "a !=. b", "element-wise exclusive or", false},
        {"++", "x++;", "adds 1 to every element (a statement)", false},
        {"--", "x--;", "subtracts 1 from every element (a statement)", false},
        {"+=", "x += e;", "x = x + e (also -=, *= as matrix product, /= by a 1x1)", false},
        {"-=", "x -= e;", "x = x - e", false},
        {"*=", "x *= e;", "x = x * e (matrix product)", false},
        {"/=", "x /= e;", "x = x / e (e 1x1)", false},
    };
    return kHelp;
}

const sFunctionHelp* findLanguageHelp(const std::string& name) {
    const std::string word =
        !name.empty() && name[0] == '.' && name.size() > 1 && name != ".*" && name != "./"
            ? name.substr(1)
            : name;
    for (const sFunctionHelp& entry : languageHelp())
        if (word == entry.m_pName) return &entry;
    return nullptr;
}
