// The print host function of qxrun: derives from CQXFunction, declares one value parameter
// and no return value, and writes its argument to qxrun's standard output.
#include "print_function.h"

#include "printer.h"

CPrintFunction::CPrintFunction(CQXSharedParameter* shared, std::ostream& out)
    : CQXFunction("print", shared), m_Out(out) {
    setParamCount(1);
    setReturnType(false);
}

eInterpreterState CPrintFunction::Call(const std::vector<CQXVariable*>* args) {
    // The interpreter always passes one variable; a host calling Call directly might not.
    if (args == nullptr || args->size() != 1 || (*args)[0] == nullptr) {
        m_Error.setException("print needs one argument", -1, -1, "");
        return isEXCEPTION;
    }
    m_Out << formatValue(*(*args)[0]) << '\n';
    return isOK;
}
