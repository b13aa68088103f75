// The host functions of qxrun, print and puts: each derives from CQXFunction, declares one value
// parameter and no return value, and writes its argument to qxrun's standard output.
#include "print_function.h"

#include <cmath>

const char* const kPutsNeedsString = "puts needs a string (one row of character codes)";

namespace {

// The interpreter always passes one variable; a host calling Call directly might not.
bool oneArgument(const std::vector<CQXVariable*>* args) {
    return args != nullptr && args->size() == 1 && (*args)[0] != nullptr;
}

// The remainder is taken on the double, exact for every finite value: no conversion overflows.
char charOf(double code) {
    if (!std::isfinite(code)) return '\0';
    double low = std::fmod(std::trunc(code), 256.0);
    if (low < 0.0) low += 256.0;
    return static_cast<char>(static_cast<unsigned char>(low));
}

}  // namespace

std::string textOf(const CQXVariable& var) {
    std::string text;
    for (int c = 0; c < var.getCols(); ++c) text += charOf(var.getData(0, c));
    return text;
}

CPrintFunction::CPrintFunction(CQXSharedParameter* shared, std::ostream& out)
    : CQXFunction("print", shared), m_Out(out) {
    setParamCount(1);
    setReturnType(false);
}

eInterpreterState CPrintFunction::Call(const std::vector<CQXVariable*>* args) {
    if (!oneArgument(args)) {
        m_Error.setException("print needs one argument", -1, -1, "");
        return isEXCEPTION;
    }
    m_Out << (*args)[0]->toText(0, m_MaxElements) << '\n';
    return isOK;
}

CPutsFunction::CPutsFunction(CQXSharedParameter* shared, std::ostream& out)
    : CQXFunction("puts", shared), m_Out(out) {
    setParamCount(1);
    setReturnType(false);
}

eInterpreterState CPutsFunction::Call(const std::vector<CQXVariable*>* args) {
    if (!oneArgument(args) || (*args)[0]->getRows() != 1) {
        m_Error.setException(kPutsNeedsString, -1, -1, "");
        return isEXCEPTION;
    }
    m_Out << textOf(*(*args)[0]) << '\n';
    return isOK;
}
