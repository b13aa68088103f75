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

// Installs onInterrupt when Python handles SIGINT with a handler of its own.
bool install() {
    struct sigaction current;
    if (sigaction(SIGINT, nullptr, &current) != 0) return false;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler == SIG_DFL ||
        current.sa_handler == SIG_IGN)
        return false;
    g_Previous = current;
    struct sigaction ours = current;
    ours.sa_handler = onInterrupt;
    return sigaction(SIGINT, &ours, nullptr) == 0;
}

}  // namespace

void initInterrupts() {
    g_MainThread =
        py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
}

CInterruptScope::CInterruptScope(CQXCompiler& qx) {
    if (PyThread_get_thread_ident() != g_MainThread) return;
    const int depth = g_Count.load();
    if (depth >= kMaxNested) return;
    if (depth == 0 && !install()) return;
    g_Running[depth].store(&qx);
    g_Count.store(depth + 1);
    m_bActive = true;
}

CInterruptScope::~CInterruptScope() {
    if (!m_bActive) return;
    const int depth = g_Count.load() - 1;
    g_Count.store(depth);
    g_Running[depth].store(nullptr);
    if (depth == 0) sigaction(SIGINT, &g_Previous, nullptr);
}

void CInterruptScope::raisePending() const {
    if (m_bActive && PyErr_CheckSignals() != 0) throw py::error_already_set();
}

}  // namespace qxpy
