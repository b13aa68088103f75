// Exceptions of the module and the records they carry.
#include "errors.h"

#include <utility>

namespace qxpy {

namespace {

// The exception classes, created once when the module is imported and kept for the life of
// the process (the module holds them too).
PyObject* g_Error = nullptr;
PyObject* g_CompileError = nullptr;
PyObject* g_RunError = nullptr;

PyObject* newException(py::module_& module, const char* name, const char* doc, PyObject* base) {
    const std::string full = std::string("qx.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(full.c_str(), doc, base, nullptr);
    if (type == nullptr) throw py::error_already_set();
    module.add_object(name, py::handle(type));  // the module takes a reference of its own
    return type;
}

// An exception's message has no line feed at its end; the library's reports do.
std::string withoutLastFeed(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Raises an exception of type with message and the record's attributes.
[[noreturn]] void raiseWith(PyObject* type, const std::string& message, const sErrorRecord& record,
                            const py::object& cause) {
    py::object error = py::reinterpret_borrow<py::object>(type)(message);
    error.attr("type") = py::cast(record.m_Type);
    error.attr("line") = record.m_Line;
    error.attr("pos") = record.m_Pos;
    error.attr("text") = record.m_Text;
    if (type == g_RunError) {
        py::list trace;
        for (const sCallSite& site : record.m_Trace) trace.append(py::cast(site));
        error.attr("trace") = trace;
    }
    if (cause && !cause.is_none()) error.attr("__cause__") = cause;
    PyErr_SetObject(type, error.ptr());
    throw py::error_already_set();
}

const char* const kErrorDoc =
    "Base class of the errors qx reports. Attributes: type (ErrorType), line (counted from 1; "
    "-1 when the error has no place in the script), pos (the position as the library stores it, "
    "one more than the number in the text) and text (the library's own message).";
const char* const kCompileErrorDoc =
    "A script that does not compile (Compiler.compile). str(error) is the library's message with "
    "the source line and a caret under the place it reports.";
const char* const kRunErrorDoc =
    "A run or a call that failed (Compiler.run, Compiler.call, a store that does not fit). The "
    "attribute trace lists the CallSite entries the error passed, innermost first; when a "
    "Python host function raised, its exception is the __cause__.";

}  // namespace

sErrorRecord sErrorRecord::compileError(CQXCompiler& qx) {
    sErrorRecord record;
    std::string rendered;
    record.m_Type = qx.getError(record.m_Line, record.m_Pos, rendered);
    record.m_Text = std::move(rendered);
    record.m_Report = qx.formatError();
    return record;
}

sErrorRecord sErrorRecord::runError(CQXCompiler& qx) {
    sErrorRecord record;
    std::string rendered;
    record.m_Type = qx.getException(record.m_Line, record.m_Pos, rendered);
    record.m_Text = std::move(rendered);
    record.m_Trace = qx.getExceptionTrace();
    record.m_Report = qx.formatException();
    return record;
}

void registerErrors(py::module_& module) {
    py::enum_<eErrorType>(module, "ErrorType", py::arithmetic(),
                          "The type of an error record; its value is the library's number.")
        .value("NOERROR", etNOERROR)
        .value("UNKNOWN", etUNKNOWN)
        .value("SYNTAX", etSYNTAX)
        .value("DECLARATION", etDECLARATION)
        .value("RESERVEDWORD", etRESERVEDWORD)
        .value("INDEX", etINDEX)
        .value("CONSTLVALUE", etCONSTLVALUE)
        .value("TYPEMISMATCH", etTYPEMISMATCH)
        .value("NAMEEXPECTED", etNAMEEXPECTED)
        .value("FUNCDECLARED", etFUNCDECLARED)
        .value("VARDECLARED", etVARDECLARED)
        .value("OPENEXPECTED", etOPENEXPECTED)
        .value("CLOSEEXPECTED", etCLOSEEXPECTED)
        .value("UNDEFINEDVAR", etUNDEFINEDVAR)
        .value("NORETURNTYPE", etNORETURNTYPE)
        .value("UNKNOWNIDENT", etUNKNOWNIDENT)
        .value("NOREFERENCE", etNOREFERENCE)
        .value("INTERPRETER", etINTERPRETER)
        .value("DIVZERO", etDIVZERO)
        .value("NOTRESIZEABLE", etNOTRESIZEABLE);

    py::class_<sCallSite>(module, "CallSite",
                          "One step of a run-time error's way: the function a call led to (empty "
                          "for the failing instruction itself), and the line and position of "
                          "the call (-1 for a call the host made).")
        .def_readonly("function", &sCallSite::m_Function, "Name of the called function.")
        .def_readonly("line", &sCallSite::m_Line, "Line of the call, from 1; -1 for the host.")
        .def_readonly("pos", &sCallSite::m_Pos, "Stored position of the call; -1 for the host.")
        .def("__repr__", [](const sCallSite& site) {
            return "CallSite(function=" + py::repr(py::str(site.m_Function)).cast<std::string>() +
                   ", line=" + std::to_string(site.m_Line) + ", pos=" + std::to_string(site.m_Pos) +
                   ")";
        });

    g_Error = newException(module, "Error", kErrorDoc, PyExc_Exception);
    g_CompileError = newException(module, "CompileError", kCompileErrorDoc, g_Error);
    g_RunError = newException(module, "RunError", kRunErrorDoc, g_Error);
}

void raiseCompileError(const sErrorRecord& record) {
    raiseWith(g_CompileError, withoutLastFeed(record.m_Report), record, py::none());
}

void raiseRunError(const sErrorRecord& record, const py::object& cause) {
    raiseWith(g_RunError, withoutLastFeed(record.m_Report), record, cause);
}

}  // namespace qxpy
