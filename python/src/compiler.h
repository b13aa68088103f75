// qx.Compiler: one CQXCompiler driven from Python. Numpy arrays are lent to it in place,
// scripts compile and run with the GIL released, Python callables become host functions, and
// every failure the library reports becomes an exception.
#pragma once

#include <pybind11/pybind11.h>
#include <qx/qx.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "arrays.h"
#include "errors.h"
#include "host_function.h"

namespace qxpy {

namespace py = pybind11;

class CInterruptScope;

class CPyCompiler {
public:
    explicit CPyCompiler(bool loadStd);
    CPyCompiler(const CPyCompiler&) = delete;
    CPyCompiler& operator=(const CPyCompiler&) = delete;
    ~CPyCompiler();

    void bind(const std::string& name, const py::array& array, bool constant);
    void unbind(const std::string& name);
    void declare(const std::string& name, const py::handle& dtype, const py::handle& shape);
    py::object get(const std::string& name);
    void set(const std::string& name, const py::handle& value);
    bool contains(const std::string& name);
    std::string repr();

    void compile(const std::string& text);
    void run();
    py::object call(const std::string& name, const py::args& args);
    std::string listing();
    py::tuple access(const py::object& function);

    void loadStd();
    void registerFunction(const std::string& name, const py::object& callable,
                          const py::object& params, bool returns);
    void interrupt() { m_pQx->interrupt(); }
    void setInstructionLimit(long long count);
    bool clipping() const { return m_pQx->getClipping(); }
    void setClipping(bool on);
    bool smartError() const { return m_pQx->getSmartError(); }
    void setSmartError(bool on);
    void clear();
    void clearScript();

    // For the garbage collector: the Python objects this compiler holds (arrays, callables).
    int traverse(visitproc visit, void* arg);
    void dropPythonObjects();

private:
    // A Python host function as registered, so that loadStd can register it again after the
    // library has emptied its registry.
    struct sRegistered {
        std::string m_Name;
        py::object m_Callable;
        std::vector<eParameterType> m_Params;
        bool m_bReturns;
    };
    class CLocked;
    class CRunning;

    void refuseWhileRunning(const char* what) const;
    template <class Work>
    bool runLocked(Work work, sErrorRecord& record);
    void finishRun(bool ok, const sErrorRecord& record, const CInterruptScope& ctrlC);
    bool addPythonFunction(const sRegistered& entry);
    CQXVariable* variable(const std::string& name);

    // Declared before the compiler, so they outlive it: the compiler's variables refer to the
    // lent arrays and its Python functions to the call state until it is destroyed.
    sCallState m_State;
    std::map<std::string, std::unique_ptr<sLentArray>> m_Bound;
    std::vector<sRegistered> m_Registered;
    std::unique_ptr<CQXCompiler> m_pQx;
};

}  // namespace qxpy
