// The host behind qx's JavaScript API: one compiler object with the standard library and, for
// the playground, the print and puts functions of qxrun writing into an output buffer. It
// compiles and runs scripts and hands out what a page shows: the output, the variables, the
// listing and the error records with the column of the token they point at.
#pragma once

#include <qx/qx.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

// One error record as the page shows it.
struct sWebError {
    int m_Type = 0;
    std::string m_Message;  // getError() / getException() as the library renders it
    int m_Line = -1;        // 1-based; -1 when the error has no place in the text
    int m_Pos = -1;         // the stored position, as getError(line, pos, text) gives it
    int m_Column = -1;      // 0-based column of the token the error points at; -1 without line
    std::vector<sCallSite> m_Trace;
    std::string m_TraceText;  // "  in f, called at line 3" lines
};

// One global variable; at most the first `limit` values of its row-major elements.
struct sWebVariable {
    std::string m_Name;
    std::string m_Type;  // "byte", "short", "int", "float", "double"
    int m_Rows = 0;
    int m_Cols = 0;
    bool m_bResizable = false;
    bool m_bConstant = false;
    std::vector<double> m_Values;
};

class CWebSession {
public:
    // withOutput registers print and puts, whose text collects until takeOutput.
    explicit CWebSession(bool withOutput);

    bool compile(const std::string& text);
    bool run();
    // Drops the compiled program, the script's functions and the globals it declared.
    void clearScript() { m_Compiler.clearScript(); }
    std::string takeOutput();

    sWebError compileError();
    sWebError runError();
    std::vector<sWebVariable> variables(int limit);
    // The variable's values as qx text (a matrix literal); empty for an unknown name.
    std::string valueText(const std::string& name);
    bool hasVariable(const std::string& name) { return m_Compiler.getVar(name) != nullptr; }
    std::string listing() { return m_Compiler.getListing(); }

    CQXCompiler& compiler() { return m_Compiler; }

private:
    sWebError describe(eErrorType type, int line, int pos, const std::string& message,
                       bool runTime);

    std::ostringstream m_Output;
    CQXCompiler m_Compiler;
    std::string m_Source;  // the text compiled last: error columns are found in it
};

// The names of the element types, by eDataType.
const char* dataTypeName(eDataType type);
