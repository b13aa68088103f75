// SIGINT forwarding to running compilers (see interrupt.h).
#include "interrupt.h"

#include <pybind11/pybind11.h>
#include <signal.h>

#include <atomic>

namespace qxpy {

namespace {

namespace py = pybind11;

// Runs nested on the main thread (a Python host function may run another compiler) that a
// signal interrupts; deeper runs stop when the outer ones do.
constexpr int kMaxNested = 64;
std::atomic<CQXCompiler*> g_Running[kMaxNested];
std::atomic<int> g_Count{0};
struct sigaction g_Previous;
unsigned long g_MainThread = 0;

// Only async-signal-safe work: atomic loads, the compilers' atomic interrupt flags, and
// Python's own handler, which records the signal for the interpreter.
extern "C" void onInterrupt(int signal) {
    const int count = g_Count.load();
    for (int i = 0; i < count && i < kMaxNested; ++i) {
        CQXCompiler* qx = g_Running[i].load();
        if (qx != nullptr) qx->interrupt();
    }
    if ((g_Previous.sa_flags & SA_SIGINFO) == 0 && g_Previous.sa_handler != SIG_DFL &&
        g_Previous.sa_handler != SIG_IGN)
        g_Previous.sa_handler(signal);
}

// Our handler stays installed once it is (changing signal dispositions costs two system calls
// per run, more than a short run itself): between runs it only passes the signal on. Python's
// own handler may be replaced through the signal module; then what is in place is looked at
// again. True when SIGINT reaches onInterrupt.
PyObject* g_PythonHandler = nullptr;  // signal.getsignal(SIGINT) when last looked at
bool g_Installed = false;

bool ensureInstalled() {
    static PyObject* getsignal =
        py::object(py::module_::import("_signal").attr("getsignal")).release().ptr();
    py::object handler =
        py::reinterpret_steal<py::object>(PyObject_CallFunction(getsignal, "i", SIGINT));
    if (!handler) throw py::error_already_set();
    if (handler.ptr() == g_PythonHandler) return g_Installed;
    Py_XDECREF(g_PythonHandler);
    g_PythonHandler = handler.release().ptr();
    struct sigaction current;
    g_Installed = false;
    if (sigaction(SIGINT, nullptr, &current) != 0) return false;
    if (current.sa_handler == onInterrupt) return g_Installed = true;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler == SIG_DFL ||
        current.sa_handler == SIG_IGN)
        return false;
    g_Previous = current;
    struct sigaction ours = current;
    ours.sa_handler = onInterrupt;
    g_Installed = sigaction(SIGINT, &ours, nullptr) == 0;
    return g_Installed;
}

}  // namespace

void initInterrupts() {
    g_MainThread =
        py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
}

CInterruptScope::CInterruptScope(CQXCompiler& qx) {
    if (PyThread_get_thread_ident() != g_MainThread) return;
    const int depth = g_Count.load();
    if (depth >= kMaxNested || !ensureInstalled()) return;
    g_Running[depth].store(&qx);
    g_Count.store(depth + 1);
    m_bActive = true;
}

CInterruptScope::~CInterruptScope() {
    if (!m_bActive) return;
    const int depth = g_Count.load() - 1;
    g_Count.store(depth);
    g_Running[depth].store(nullptr);
}

void CInterruptScope::raisePending() const {
    if (m_bActive && PyErr_CheckSignals() != 0) throw py::error_already_set();
}

}  // namespace qxpy
