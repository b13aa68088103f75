// Python callables as host functions (see host_function.h).
#include "host_function.h"

#include <pybind11/numpy.h>

#include <climits>
#include <utility>

#include "arrays.h"

namespace qxpy {

namespace {

const char* const kKeptView =
    "kept a view of an argument after returning; the views are valid only during the call "
    "(keep arr.copy() instead)";

std::string typeNameOf(const py::handle& object) {
    return py::str(py::type::handle_of(object).attr("__name__")).cast<std::string>();
}

// The value a Python function returned, as the rows of a double matrix.
std::string readValue(const py::object& result, std::vector<double>& values, int& rows, int& cols) {
    auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(result);
    if (result.is_none() || !array)
        return "returned " + typeNameOf(result) + ", not a number or an array of numbers";
    if (array.ndim() > 2) return "returned a " + std::to_string(array.ndim()) + "-D array";
    const py::ssize_t r = array.ndim() == 2 ? array.shape(0) : 1;
    const py::ssize_t c = array.ndim() == 0 ? 1 : array.shape(array.ndim() - 1);
    if (r == 0 || c == 0) return "returned an empty array";
    if (r > INT_MAX || c > INT_MAX) return "returned an array too large for qx";
    values.assign(array.data(), array.data() + r * c);
    rows = static_cast<int>(r);
    cols = static_cast<int>(c);
    return std::string();
}

}  // namespace

CPythonFunction::CPythonFunction(const std::string& name, CQXSharedParameter* shared,
                                 py::handle callable, const std::vector<eParameterType>& params,
                                 bool returns, sCallState& state)
    : CQXFunction(name, shared), m_Callable(callable), m_State(state) {
    setParamCount(static_cast<int>(params.size()));
    for (size_t i = 0; i < params.size(); ++i) setParamType(static_cast<int>(i), params[i]);
    setReturnType(returns);
}

eInterpreterState CPythonFunction::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    if (!Py_IsInitialized()) return raise("Python has shut down");
    std::vector<double> values;
    int rows = 0;
    int cols = 0;
    std::string failed;
    {
        py::gil_scoped_acquire gil;
        // Every view of an argument is based on the lease; a view still alive when the call
        // has returned would outlive the storage it shows.
        py::capsule lease(this);
        try {
            callPython(*args, lease, values, rows, cols);
        } catch (py::error_already_set& error) {
            failed = failure(error);
        } catch (const std::exception& error) {
            failed = error.what();
        }
        if (failed.empty() && lease.ref_count() > 1) failed = kKeptView;
    }
    if (!failed.empty()) return raise(failed);
    if (getReturnType() && !setReturnMatrix(rows, cols, values)) return raise("no value");
    return isOK;
}

void CPythonFunction::callPython(const std::vector<CQXVariable*>& args, const py::handle& lease,
                                 std::vector<double>& values, int& rows, int& cols) {
    py::tuple views(args.size());
    for (size_t i = 0; i < args.size(); ++i)
        views[i] = viewOf(*args[i], lease, getParamType(static_cast<int>(i)) == ptREFERENCE);
    py::object result = m_Callable(*views);
    views = py::tuple();
    if (!getReturnType()) return;
    const std::string problem = readValue(result, values, rows, cols);
    if (!problem.empty()) throw std::runtime_error(problem);
}

// The text of the run-time error for an exception the callable raised. Its frames are cleared,
// so that neither it nor its traceback keeps views of the arguments.
std::string CPythonFunction::failure(py::error_already_set& error) {
    py::object value = error.value();
    if (error.trace()) {
        py::module_::import("traceback").attr("clear_frames")(error.trace());
        PyException_SetTraceback(value.ptr(), error.trace().ptr());
    }
    const std::string type = typeNameOf(value);
    if (!error.matches(PyExc_Exception)) {
        m_State.m_Pending = value;
        return type;
    }
    m_State.m_LastError = value;
    const std::string message = py::str(value).cast<std::string>();
    return message.empty() ? type : type + ": " + message;
}

}  // namespace qxpy
