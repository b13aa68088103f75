// The Python module qx: its classes, their methods and their documentation. The work is done
// by CPyCompiler (compiler.cpp) on the library's public API.
#include <pybind11/pybind11.h>

#include "compiler.h"
#include "errors.h"
#include "interrupt.h"

namespace py = pybind11;
using qxpy::CPyCompiler;

namespace {

const char* const kModuleDoc =
    R"(qx: the matrix scripting language, with numpy arrays as its variables.

    import numpy as np, qx
    c = qx.Compiler()                      # standard functions and constants loaded
    signal = np.random.default_rng(1).normal(size=1000)
    c.bind("x", signal)                    # lent in place, no copy
    c.declare("y", "double")               # resizable: scripts give it its shape
    c.compile("y = x * 2;")
    c.run()
    c["y"]                                 # a copy of y as a numpy array

Arrays of dtype uint8, uint16, int32, float32 and float64 map to the element types byte,
short, int, float and double. Failures raise qx.CompileError or qx.RunError (both qx.Error).
Scripts run with the GIL released; Ctrl-C or Compiler.interrupt() stops them.
)";

const char* const kCompilerDoc =
    R"(One script environment: variables, functions, a compiled program.

Compiler(std=True): with std, the 41 standard functions and 12 constants are loaded.
c[name] reads a variable (the bound array itself for a bound name, else a copy),
c[name] = value stores into one as a script assignment does (conversion, clipping),
name in c tells whether a variable exists, repr(c) lists the variables.
)";

// GC support: a host function that refers to its compiler makes a cycle through the compiler.
void setUpGarbageCollection(PyHeapTypeObject* heapType) {
    PyTypeObject* type = &heapType->ht_type;
    type->tp_flags |= Py_TPFLAGS_HAVE_GC;
    type->tp_traverse = [](PyObject* self, visitproc visit, void* arg) {
        Py_VISIT(Py_TYPE(self));
        auto holder = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
        if (!holder.holder_constructed()) return 0;
        return holder.value_ptr<CPyCompiler>()->traverse(visit, arg);
    };
    type->tp_clear = [](PyObject* self) {
        auto holder = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
        if (holder.holder_constructed()) holder.value_ptr<CPyCompiler>()->dropPythonObjects();
        return 0;
    };
}

}  // namespace

PYBIND11_MODULE(qx, module) {
    module.doc() = kModuleDoc;
    qxpy::initInterrupts();
    qxpy::registerErrors(module);

    py::class_<CPyCompiler>(module, "Compiler", kCompilerDoc,
                            py::custom_type_setup(setUpGarbageCollection))
        .def(py::init<bool>(), py::arg("std") = true)
        .def("bind", &CPyCompiler::bind, py::arg("name"), py::arg("array"), py::kw_only(),
             py::arg("const") = false,
             "Lend a numpy array to scripts as the variable name, without copying: a 2-D array "
             "whose rows are contiguous (any row stride), a 1-D array as one row, a 0-D array "
             "as 1x1. Script writes land in the array at once; the compiler keeps it alive until "
             "unbind or clear. Binding a bound name again re-points the variable (compiled "
             "code stays). With const, scripts cannot assign it (a read-only array is then "
             "bound as a copy). TypeError for other dtypes, ValueError for other layouts.")
        .def("unbind", &CPyCompiler::unbind, py::arg("name"),
             "Remove a bound variable and release its array. Compiled code may refer to it, so "
             "the compiled program and the script functions are dropped: compile again.")
        .def("declare", &CPyCompiler::declare, py::arg("name"), py::arg("dtype") = "double",
             py::arg("shape") = py::none(),
             "Add a variable the compiler owns, of zeros: resizable when shape is None (scripts "
             "give it its shape), else of shape n, (n,) or (rows, cols). dtype is 'byte', "
             "'short', 'int', 'float', 'double' or a numpy dtype of those.")
        .def("__getitem__", &CPyCompiler::get, py::arg("name"),
             "The variable as a numpy array: the bound array itself, or a 2-D copy of a "
             "variable the compiler owns (its storage moves when resized or cleared).")
        .def("__setitem__", &CPyCompiler::set, py::arg("name"), py::arg("value"),
             "Store a number or array as the script statement name = value; does: converted to "
             "the element type with clipping, a single number filling every element, a "
             "resizable variable taking the value's shape. RunError when the shapes differ.")
        .def("__contains__", &CPyCompiler::contains, py::arg("name"),
             "Whether a global variable of that name exists.")
        .def("__repr__", &CPyCompiler::repr)
        .def("compile", &CPyCompiler::compile, py::arg("text"),
             "Compile a script; it replaces the compiled program. Global variables persist "
             "across compiles. CompileError on the first error; a failed compile leaves no "
             "declarations or functions behind.")
        .def("run", &CPyCompiler::run,
             "Run the compiled program, with the GIL released. RunError when it fails (also "
             "'Nothing to Interprete' without a compiled program); KeyboardInterrupt on Ctrl-C.")
        .def("call", &CPyCompiler::call, py::arg("name"),
             "call(name, *args): call a script, standard or host function with numbers or "
             "arrays (no variables are created for them; a reference parameter takes a "
             "writeable array, which it writes). Returns the value as a 2-D float64 array, or "
             "None for a function without value.")
        .def("listing", &CPyCompiler::listing, "The compiled program as text, for people.")
        .def("access", &CPyCompiler::access, py::arg("function") = py::none(),
             "(reads, writes): names of the global variables the compiled program (or the "
             "script function named) may read and write.")
        .def("std", &CPyCompiler::loadStd,
             "Load the standard functions and constants. Drops the compiled program and the "
             "script functions; Python functions registered here stay registered.")
        .def("register", &CPyCompiler::registerFunction, py::arg("name"), py::arg("function"),
             py::arg("params") = py::none(), py::kw_only(), py::arg("returns") = true,
             "Make a Python callable a function scripts call. params: a sequence of 'value' and "
             "'ref' (default: one value parameter per positional parameter). Arguments arrive "
             "as numpy views valid during the call (reference parameters writable); with "
             "returns, the value returned (number or array) is the call's value. An exception "
             "fails the script with its message; the RunError's __cause__ is the exception.")
        .def("interrupt", &CPyCompiler::interrupt,
             "Stop the running script at its next instruction (RunError 'Interrupted'). Safe "
             "from any thread; forgotten when the next run starts.")
        .def("set_instruction_limit", &CPyCompiler::setInstructionLimit, py::arg("count"),
             "Stop any run after count instructions with RunError 'Instruction limit exceeded' "
             "(0: no limit).")
        .def_property("clipping", &CPyCompiler::clipping, &CPyCompiler::setClipping,
                      "Whether stores saturate to the element type's range (default True).")
        .def_property("smart_error", &CPyCompiler::smartError, &CPyCompiler::setSmartError,
                      "Whether math domain errors give substitute values instead of run-time "
                      "errors (default True).")
        .def("clear", &CPyCompiler::clear,
             "Drop every variable (releasing bound arrays), the compiled program and the "
             "script functions.")
        .def("clear_script", &CPyCompiler::clearScript,
             "Drop what scripts made (program, script functions, their variables); keep bound "
             "arrays, declared variables, constants and registered functions.");
}
