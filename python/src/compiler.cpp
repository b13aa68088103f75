// qx.Compiler (see compiler.h). Lock discipline: a thread never waits for the compiler's lock
// while it holds the GIL. Every library call that locks runs with the GIL released, and the
// binding takes the lock itself (CLocked) with the GIL released, then takes the GIL back. So a
// script that calls a Python host function, which needs the GIL, can always go on.
#include "compiler.h"

#include <climits>
#include <mutex>
#include <utility>

#include "errors.h"
#include "interrupt.h"

namespace qxpy {

// The compiler's lock for the scope, taken with the GIL released and then held with the GIL.
class CPyCompiler::CLocked {
public:
    explicit CLocked(CPyCompiler& owner)
        : m_Lock(owner.m_pQx->getSharedParameter()->m_Lock, std::defer_lock) {
        py::gil_scoped_release nogil;
        m_Lock.lock();
    }

private:
    std::unique_lock<std::recursive_mutex> m_Lock;
};

// A run or call of this compiler in progress (the caller holds the lock).
class CPyCompiler::CRunning {
public:
    explicit CRunning(sCallState& state) : m_State(state) { ++m_State.m_Running; }
    ~CRunning() { --m_State.m_Running; }
    CRunning(const CRunning&) = delete;
    CRunning& operator=(const CRunning&) = delete;

private:
    sCallState& m_State;
};

namespace {

using AddOwned = CQXVariable* (CQXCompiler::*)(const std::string&, int, int);
using AddResizable = CQXVariable* (CQXCompiler::*)(const std::string&);
const AddOwned kAddOwned[] = {&CQXCompiler::addByteVar, &CQXCompiler::addShortVar,
                              &CQXCompiler::addIntVar, &CQXCompiler::addFloatVar,
                              &CQXCompiler::addDoubleVar};
const AddResizable kAddResizable[] = {
    &CQXCompiler::addResizeByteVar, &CQXCompiler::addResizeShortVar, &CQXCompiler::addResizeIntVar,
    &CQXCompiler::addResizeFloatVar, &CQXCompiler::addResizeDoubleVar};

std::string quoted(const std::string& name) {
    return "'" + name + "'";
}

int sizeFrom(const py::handle& value) {
    const long long size = py::int_(py::reinterpret_borrow<py::object>(value)).cast<long long>();
    if (size < 1 || size > INT_MAX)
        throw py::value_error("sizes are at least 1 and at most " + std::to_string(INT_MAX));
    return static_cast<int>(size);
}

// A shape as declare takes it: n or (n,) is one row of n, (rows, cols) a matrix.
void shapeFrom(const py::handle& shape, int& rows, int& cols) {
    if (py::isinstance<py::int_>(shape)) {
        rows = 1;
        cols = sizeFrom(shape);
        return;
    }
    const py::tuple parts = py::tuple(py::reinterpret_borrow<py::object>(shape));
    if (parts.size() == 1 || parts.size() == 2) {
        rows = parts.size() == 2 ? sizeFrom(parts[0]) : 1;
        cols = sizeFrom(parts[parts.size() - 1]);
        return;
    }
    throw py::type_error("a shape is n, (n,) or (rows, cols)");
}

// The parameter kinds of a host function: a sequence of "value" and "ref", or, without one,
// one value parameter per positional parameter without a default.
std::vector<eParameterType> paramsFrom(const py::object& params, const py::object& callable) {
    std::vector<eParameterType> kinds;
    if (params.is_none()) {
        py::module_ inspect = py::module_::import("inspect");
        py::object empty = inspect.attr("Parameter").attr("empty");
        py::object signature = inspect.attr("signature")(callable);
        for (const py::handle& param : signature.attr("parameters").attr("values")()) {
            const std::string kind = py::str(param.attr("kind").attr("name")).cast<std::string>();
            const bool positional = kind == "POSITIONAL_ONLY" || kind == "POSITIONAL_OR_KEYWORD";
            if (positional && py::object(param.attr("default")).is(empty)) kinds.push_back(ptVALUE);
        }
        return kinds;
    }
    if (py::isinstance<py::str>(params)) throw py::type_error("params is a sequence of kinds");
    for (const py::handle& item : params) {
        const std::string kind = py::str(item).cast<std::string>();
        if (kind == "value") {
            kinds.push_back(ptVALUE);
        } else if (kind == "ref" || kind == "reference") {
            kinds.push_back(ptREFERENCE);
        } else {
            throw py::value_error("parameter kind " + quoted(kind) + " is not 'value' or 'ref'");
        }
    }
    return kinds;
}

py::list namesOf(const std::vector<CQXVariable*>& vars) {
    py::list names;
    for (CQXVariable* var : vars) names.append(var->getName());
    return names;
}

std::string describe(CQXVariable& var, bool bound) {
    std::string text = "  " + var.getName() + ": " + std::to_string(var.getRows()) + "x" +
                       std::to_string(var.getCols()) + " " + dtypeName(var.getDataType());
    if (bound) text += ", bound";
    if (var.getVarState(vsRESIZABLE)) text += ", resizable";
    if (var.getConst()) text += ", constant";
    return text;
}

// A call argument as a temporary variable: what a reference parameter takes is lent in place
// and writeable; a value is read once, so anything numeric will do, and a Python number goes
// straight into a 1x1 double.
CQXVariable* argument(CQXVarManager& temporaries, std::vector<sLentArray>& lent,
                      const CQXFunction* func, int index, const py::handle& value) {
    const bool reference = func != nullptr && func->getParamInfo(index).m_Kind == pkREFERENCE;
    if (!reference && (PyFloat_Check(value.ptr()) || PyLong_Check(value.ptr()))) {
        CQXVariable* number = temporaries.addVar("", 1, 1, edtDOUBLE);
        number->setData(0, 0, value.cast<double>());
        return number;
    }
    const std::string what = "argument " + std::to_string(index + 1);
    if (!reference) {
        lent.push_back(lendValue(value, what));
    } else if (py::isinstance<py::array>(value)) {
        lent.push_back(lendArray(py::reinterpret_borrow<py::array>(value), what, eLend::kWrite));
    } else {
        throw py::type_error(what +
                             " is a reference parameter: pass a writeable numpy array, "
                             "which the function may write");
    }
    return addTemporary(temporaries, lent.back());
}

}  // namespace

CPyCompiler::CPyCompiler(bool loadStd) : m_pQx(std::make_unique<CQXCompiler>()) {
    if (loadStd) {
        m_pQx->loadStdFunctions();
        m_pQx->loadStdVars();
    }
}

CPyCompiler::~CPyCompiler() = default;

// Runs work (a run, call or store of the library) as a run of this compiler, with the GIL
// released; a failure's record is read before the lock is let go, so no other thread's error
// can take its place.
template <class Work>
bool CPyCompiler::runLocked(Work work, sErrorRecord& record) {
    py::gil_scoped_release nogil;
    CQXCriticalSectionLock lock(&m_pQx->getSharedParameter()->m_Lock);
    CRunning running(m_State);
    const bool ok = work();
    if (!ok) record = sErrorRecord::runError(*m_pQx);
    return ok;
}

CQXVariable* CPyCompiler::variable(const std::string& name) {
    CQXVariable* var = m_pQx->getVar(name);
    if (var == nullptr) throw py::key_error(quoted(name) + " is no variable of this compiler");
    return var;
}

void CPyCompiler::refuseWhileRunning(const char* what) const {
    if (m_State.m_Running > 0)
        throw std::runtime_error(std::string("cannot ") + what +
                                 " while a script of this compiler runs");
}

void CPyCompiler::bind(const std::string& name, const py::array& array, bool constant) {
    // Scripts can write even constants by name (setVarByName), and a read-only array's memory
    // may not take writes: such an array is bound as a copy.
    py::array source = array;
    if (constant && !array.writeable()) source = array.attr("copy")();
    auto lent = std::make_unique<sLentArray>(lendArray(source, quoted(name), eLend::kWrite));
    CLocked lock(*this);
    auto bound = m_Bound.find(name);
    if (bound != m_Bound.end()) {
        CQXVariable* var = variable(name);
        if (!changeReference(*var, *lent))
            throw std::runtime_error(quoted(name) +
                                     " is bound to a reference parameter of a "
                                     "running call; bind it again afterwards");
        var->setConst(constant);
        bound->second = std::move(lent);
        return;
    }
    CQXVariable* var = addReference(*m_pQx, name, *lent);
    if (var == nullptr)
        throw py::value_error(quoted(name) + " is already a variable (declared, or by a script)");
    var->setConst(constant);
    m_Bound.emplace(name, std::move(lent));
}

void CPyCompiler::unbind(const std::string& name) {
    CLocked lock(*this);
    if (m_Bound.count(name) == 0) throw py::key_error(quoted(name) + " is no bound array");
    refuseWhileRunning("unbind");
    bool removed = false;
    {
        py::gil_scoped_release nogil;
        removed = m_pQx->removeVar(name);
    }
    if (!removed) throw std::runtime_error("cannot unbind " + quoted(name));
    m_Bound.erase(name);
}

void CPyCompiler::declare(const std::string& name, const py::handle& dtype,
                          const py::handle& shape) {
    const eDataType type = elementTypeNamed(dtype);
    int rows = 0;
    int cols = 0;
    if (!shape.is_none()) shapeFrom(shape, rows, cols);
    CLocked lock(*this);
    CQXVariable* var = shape.is_none()
                           ? (m_pQx.get()->*kAddResizable[type - edtBYTE])(name)
                           : (m_pQx.get()->*kAddOwned[type - edtBYTE])(name, rows, cols);
    if (var == nullptr) throw py::value_error(quoted(name) + " is already a variable");
}

py::object CPyCompiler::get(const std::string& name) {
    CLocked lock(*this);
    auto bound = m_Bound.find(name);
    if (bound != m_Bound.end()) return bound->second->m_Array;
    return copyOf(*variable(name));
}

void CPyCompiler::set(const std::string& name, const py::handle& value) {
    sLentArray lent = lendValue(value, "value for " + quoted(name));
    CLocked lock(*this);
    CQXVariable* target = variable(name);
    CQXVarManager temporaries(m_pQx->getSharedParameter());
    CQXVariable* source = addTemporary(temporaries, lent);
    sErrorRecord record;
    const bool ok = runLocked([&] { return m_pQx->assignVar(target, source); }, record);
    if (!ok) raiseRunError(record, py::none());
}

bool CPyCompiler::contains(const std::string& name) {
    CLocked lock(*this);
    return m_pQx->getVar(name) != nullptr;
}

std::string CPyCompiler::repr() {
    CLocked lock(*this);
    const int count = m_pQx->getVarCount();
    std::string text =
        "<qx.Compiler with " + std::to_string(count) + (count == 1 ? " variable" : " variables");
    for (int i = 0; i < count; ++i) {
        CQXVariable* var = m_pQx->getVar(i);
        text += "\n" + describe(*var, m_Bound.count(var->getName()) != 0);
    }
    return text + ">";
}

void CPyCompiler::compile(const std::string& text) {
    bool ok = false;
    sErrorRecord record;
    {
        py::gil_scoped_release nogil;
        CQXCriticalSectionLock lock(&m_pQx->getSharedParameter()->m_Lock);
        // A failed compile leaves nothing behind, so the mended text compiles on this compiler.
        ok = m_pQx->tryCompile(text);
        if (!ok) record = sErrorRecord::compileError(*m_pQx);
    }
    if (!ok) raiseCompileError(record);
}

// After a run or call: an exception a host function raised that is no error of its own
// (KeyboardInterrupt) comes first, then a pending signal, then the run's own error, whose
// cause is the exception of the Python host function that failed it.
void CPyCompiler::finishRun(bool ok, const sErrorRecord& record, const CInterruptScope& ctrlC) {
    if (m_State.m_Pending) {
        py::object pending = std::move(m_State.m_Pending);
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(pending.ptr())), pending.ptr());
        throw py::error_already_set();
    }
    py::object cause = std::move(m_State.m_LastError);
    if (ok) return;
    ctrlC.raisePending();
    raiseRunError(record, cause);
}

void CPyCompiler::run() {
    CInterruptScope ctrlC(*m_pQx);
    m_State.m_LastError = py::object();
    sErrorRecord record;
    const bool ok = runLocked([&] { return m_pQx->runInterpreter(); }, record);
    finishRun(ok, record, ctrlC);
}

py::object CPyCompiler::call(const std::string& name, const py::args& args) {
    CInterruptScope ctrlC(*m_pQx);
    m_State.m_LastError = py::object();
    CLocked lock(*this);
    // Unknown functions, argument counts and shapes are judged by the library, which says why.
    CQXFunction* func = m_pQx->getFunc(name);
    const int count = static_cast<int>(args.size());
    // The lent arrays outlive the temporary variables over them.
    std::vector<sLentArray> lent;
    lent.reserve(args.size());
    CQXVarManager temporaries(m_pQx->getSharedParameter());
    std::vector<CQXVariable*> vars;
    for (int i = 0; i < count; ++i) vars.push_back(argument(temporaries, lent, func, i, args[i]));
    sErrorRecord record;
    const bool ok = runLocked(
        [&] {
            return func ? m_pQx->callFuncByAddr(func, vars) : m_pQx->callFuncByName(name, vars);
        },
        record);
    finishRun(ok, record, ctrlC);
    if (!func->getReturnType()) return py::none();
    return copyOf(*func->getReturnValue());
}

std::string CPyCompiler::listing() {
    py::gil_scoped_release nogil;
    return m_pQx->getListing();
}

py::tuple CPyCompiler::access(const py::object& function) {
    CLocked lock(*this);
    const CQXFunction* func = nullptr;
    std::string name;
    if (!function.is_none()) {
        name = py::str(function).cast<std::string>();
        func = m_pQx->getFunc(name);
        if (func == nullptr) throw py::key_error("no function named " + quoted(name));
    }
    std::vector<CQXVariable*> reads;
    std::vector<CQXVariable*> writes;
    bool ok = false;
    {
        py::gil_scoped_release nogil;
        ok = m_pQx->getVarAccess(reads, writes, func);
    }
    if (!ok)
        throw py::value_error(func ? quoted(name) + " is no script function"
                                   : std::string("no compiled program"));
    return py::make_tuple(namesOf(reads), namesOf(writes));
}

bool CPyCompiler::addPythonFunction(const sRegistered& entry) {
    auto func = std::make_unique<CPythonFunction>(entry.m_Name, m_pQx->getSharedParameter(),
                                                  entry.m_Callable, entry.m_Params,
                                                  entry.m_bReturns, m_State);
    if (!m_pQx->addFunc(func.get())) return false;
    func.release();  // the registry owns it now
    return true;
}

// The library empties its registry first; the Python functions registered here come back.
void CPyCompiler::loadStd() {
    CLocked lock(*this);
    refuseWhileRunning("load the standard library");
    {
        py::gil_scoped_release nogil;
        m_pQx->loadStdFunctions();
        m_pQx->loadStdVars();
    }
    std::string lost;
    for (auto entry = m_Registered.begin(); entry != m_Registered.end();) {
        if (addPythonFunction(*entry)) {
            ++entry;
            continue;
        }
        lost += (lost.empty() ? "" : ", ") + entry->m_Name;
        entry = m_Registered.erase(entry);
    }
    if (!lost.empty() &&
        PyErr_WarnEx(PyExc_RuntimeWarning,
                     ("standard functions replace the Python functions " + lost).c_str(), 1) != 0)
        throw py::error_already_set();
}

void CPyCompiler::registerFunction(const std::string& name, const py::object& callable,
                                   const py::object& params, bool returns) {
    if (!PyCallable_Check(callable.ptr())) throw py::type_error("the function must be callable");
    sRegistered entry{name, callable, paramsFrom(params, callable), returns};
    CLocked lock(*this);
    if (!addPythonFunction(entry))
        throw py::value_error("a function named " + quoted(name) + " is already registered");
    m_Registered.push_back(std::move(entry));
}

void CPyCompiler::setInstructionLimit(long long count) {
    py::gil_scoped_release nogil;
    m_pQx->setInstructionLimit(count);
}

void CPyCompiler::setClipping(bool on) {
    py::gil_scoped_release nogil;
    m_pQx->setClipping(on);
}

void CPyCompiler::setSmartError(bool on) {
    py::gil_scoped_release nogil;
    m_pQx->setSmartError(on);
}

void CPyCompiler::clear() {
    CLocked lock(*this);
    refuseWhileRunning("clear");
    {
        py::gil_scoped_release nogil;
        m_pQx->clear(true);
    }
    m_Bound.clear();
}

void CPyCompiler::clearScript() {
    CLocked lock(*this);
    refuseWhileRunning("clear the script");
    py::gil_scoped_release nogil;
    m_pQx->clearScript();
}

int CPyCompiler::traverse(visitproc visit, void* arg) {
    for (const auto& bound : m_Bound) Py_VISIT(bound.second->m_Array.ptr());
    for (const sRegistered& entry : m_Registered) Py_VISIT(entry.m_Callable.ptr());
    Py_VISIT(m_State.m_LastError.ptr());
    Py_VISIT(m_State.m_Pending.ptr());
    return 0;
}

// Breaks a reference cycle through a host function (a callable that refers to this compiler):
// the compiler goes first, since its variables and functions refer to what is dropped.
void CPyCompiler::dropPythonObjects() {
    m_pQx = std::make_unique<CQXCompiler>();
    m_Bound.clear();
    m_Registered.clear();
    m_State.m_LastError = py::object();
    m_State.m_Pending = py::object();
}

}  // namespace qxpy
