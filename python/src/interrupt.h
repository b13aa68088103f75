// Ctrl-C while a script runs: Python only sees SIGINT between its own bytecodes, and a script
// runs inside one call. From the first run on the main thread, a SIGINT handler of ours stands
// before Python's: it interrupts the compilers running on the main thread, if any, and passes
// the signal on, so the run ends with "Interrupted" and the caller raises the
// KeyboardInterrupt that Python has pending.
#pragma once

#include <qx/qx.h>

namespace qxpy {

// Notes the main thread's identity; called when the module is imported.
void initInterrupts();

// For as long as it lives (construct and destroy it with the GIL held), SIGINT interrupts qx.
// Nothing is done off the main thread or when Python does not handle SIGINT.
class CInterruptScope {
public:
    explicit CInterruptScope(CQXCompiler& qx);
    ~CInterruptScope();
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

    // After a failed run: raises the exception of a pending signal (KeyboardInterrupt), if any.
    void raisePending() const;

private:
    bool m_bActive = false;
};

}  // namespace qxpy
