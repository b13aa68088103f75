// The host behind qx's JavaScript API (web_session.h): a compiler object like qxrun's, whose
// errors are located and whose values are written by the library's report and text functions,
// as qxrun's are.
#include "web_session.h"

#include "print_function.h"

const char* dataTypeName(eDataType type) {
    switch (type) {
        case edtBYTE:
            return "byte";
        case edtSHORT:
            return "short";
        case edtINT:
            return "int";
        case edtFLOAT:
            return "float";
        default:
            return "double";
    }
}

// The output stream is a member declared before the compiler, so the print functions the
// compiler owns never outlive it.
CWebSession::CWebSession(bool withOutput) {
    m_Compiler.loadStdFunctions();
    if (withOutput) {
        m_Compiler.addFunc(new CPrintFunction(m_Compiler.getSharedParameter(), m_Output));
        m_Compiler.addFunc(new CPutsFunction(m_Compiler.getSharedParameter(), m_Output));
    }
    m_Compiler.loadStdVars();
}

bool CWebSession::compile(const std::string& text) {
    m_Source = text;
    return m_Compiler.runCompiler(text);
}

bool CWebSession::run() {
    return m_Compiler.runInterpreter();
}

std::string CWebSession::takeOutput() {
    std::string text = m_Output.str();
    m_Output.str(std::string());
    return text;
}

sWebError CWebSession::compileError() {
    int line = -1, pos = -1;
    std::string text;
    const eErrorType type = m_Compiler.getError(line, pos, text);
    return describe(type, line, pos, text, false);
}

sWebError CWebSession::runError() {
    int line = -1, pos = -1;
    std::string text;
    const eErrorType type = m_Compiler.getException(line, pos, text);
    sWebError error = describe(type, line, pos, text, true);
    error.m_Trace = m_Compiler.getExceptionTrace();
    error.m_TraceText = CQXReport::formatTrace(error.m_Trace);
    return error;
}

// The column is the one qxrun puts its caret under: the token at or before the lexer's cursor,
// or for a run-time error on a variable that variable's last mention before it.
sWebError CWebSession::describe(eErrorType type, int line, int pos, const std::string& message,
                                bool runTime) {
    sWebError error;
    error.m_Type = type;
    error.m_Message = message;
    error.m_Line = line;
    error.m_Pos = pos;
    std::string lineText;
    if (line != -1 && CQXReport::sourceLine(m_Source, line, lineText)) {
        const std::string name = runTime ? CQXReport::variableNamed(message) : std::string();
        error.m_Column =
            CQXReport::tokenColumn(lineText, CQXReport::cursorColumn(m_Source, line, pos), name);
    }
    return error;
}

std::vector<sWebVariable> CWebSession::variables(int limit) {
    std::vector<sWebVariable> list;
    for (int i = 0; i < m_Compiler.getVarCount(); ++i) {
        const CQXVariable* var = m_Compiler.getVar(i);
        sWebVariable item;
        item.m_Name = var->getName();
        item.m_Type = dataTypeName(var->getDataType());
        item.m_Rows = var->getRows();
        item.m_Cols = var->getCols();
        item.m_bResizable = var->getVarState(vsRESIZABLE);
        item.m_bConstant = var->getConst();
        const long long count = static_cast<long long>(item.m_Rows) * item.m_Cols;
        const long long shown = count < limit ? count : limit;
        for (long long k = 0; k < shown; ++k)
            item.m_Values.push_back(
                var->getData(static_cast<int>(k / item.m_Cols), static_cast<int>(k % item.m_Cols)));
        list.push_back(item);
    }
    return list;
}

std::string CWebSession::valueText(const std::string& name) {
    const CQXVariable* var = m_Compiler.getVar(name);
    return var == nullptr ? std::string() : var->toText();
}
