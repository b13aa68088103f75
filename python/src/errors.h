// The exceptions of the module: qx.Error and its two kinds, qx.CompileError (a script that does
// not compile) and qx.RunError (a run or a call that failed), with the library's error record
// as attributes, and the record types they carry.
#pragma once

#include <pybind11/pybind11.h>
#include <qx/qx.h>

#include <string>
#include <vector>

namespace qxpy {

namespace py = pybind11;

// An error record as the library reported it, read while the compiler's lock was held.
struct sErrorRecord {
    eErrorType m_Type = etUNKNOWN;
    int m_Line = -1;
    int m_Pos = -1;
    std::string m_Text;
    std::vector<sCallSite> m_Trace;
    // The library's report for people: the text, the source line with a caret, the calls.
    std::string m_Report;

    static sErrorRecord compileError(CQXCompiler& qx);
    static sErrorRecord runError(CQXCompiler& qx);
};

// Registers Error, CompileError, RunError, ErrorType and CallSite in the module.
void registerErrors(py::module_& module);

// Raise CompileError for a failed compile, RunError for a failed run, call or store (cause,
// when not None, becomes its __cause__: the Python exception that failed a host function).
[[noreturn]] void raiseCompileError(const sErrorRecord& record);
[[noreturn]] void raiseRunError(const sErrorRecord& record, const py::object& cause);

}  // namespace qxpy
