// Python callables registered as host functions: scripts call them like any other function;
// their arguments arrive as numpy views, their value goes back into the function's return
// variable, and a Python exception becomes the call's run-time error.
#pragma once

#include <pybind11/pybind11.h>
#include <qx/qx.h>

#include <string>
#include <vector>

namespace qxpy {

namespace py = pybind11;

// What the Python side of one compiler keeps across runs; touched only with the GIL held.
struct sCallState {
    // The exception a Python host function raised last: the __cause__ of the RunError it led to.
    py::object m_LastError;
    // An exception that is no error of the function (KeyboardInterrupt, SystemExit): it stops
    // the run and is raised again once the run has ended.
    py::object m_Pending;
    // Runs and calls of this compiler in progress on the thread that holds its lock.
    int m_Running = 0;
};

class CPythonFunction : public CQXFunction {
public:
    // params: the kind of each parameter; returns: whether a call delivers a value. The
    // callable and state belong to the Python compiler object, which keeps both alive for as
    // long as its compiler, and so every function registered there, exists.
    CPythonFunction(const std::string& name, CQXSharedParameter* shared, py::handle callable,
                    const std::vector<eParameterType>& params, bool returns, sCallState& state);
    CPythonFunction(const CPythonFunction&) = delete;
    CPythonFunction& operator=(const CPythonFunction&) = delete;
    ~CPythonFunction() override = default;

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override;

private:
    // Calls the callable with views of args, based on lease; the value, when the function
    // has one, goes to values and the shape to rows and cols.
    void callPython(const std::vector<CQXVariable*>& args, const py::handle& lease,
                    std::vector<double>& values, int& rows, int& cols);
    std::string failure(py::error_already_set& error);

    py::handle m_Callable;  // borrowed: see the constructor
    sCallState& m_State;
};

}  // namespace qxpy
