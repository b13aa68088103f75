// The host side of qxrun: sets up a compiler object the way a host program would (options,
// standard library, a host function, host variables), runs programs and turns the library's
// error records into reports with the offending source line.
#include "session.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "csv.h"
#include "hints.h"
#include "print_function.h"
#include "printer.h"

CRunSession::CRunSession(const sRunOptions& opts, std::ostream& out, std::ostream& err)
    : m_Opts(opts), m_Out(out), m_Err(err), m_pCompiler(new CQXCompiler()) {}

namespace {

// The compiler whose script is running; Ctrl-C asks it to stop at its next instruction. An
// atomic store is all the handler does, which is safe in a signal handler.
std::atomic<CQXCompiler*> g_pRunning{nullptr};

extern "C" void interruptRunningScript(int) {
    if (CQXCompiler* qx = g_pRunning.load()) qx->interrupt();
}

// While a script runs, Ctrl-C interrupts it (a run-time error, "Interrupted") instead of
// ending qxrun; outside runs the usual handling applies.
class CInterruptScope {
public:
    explicit CInterruptScope(CQXCompiler* qx) {
        g_pRunning.store(qx);
        m_Previous = std::signal(SIGINT, interruptRunningScript);
    }
    ~CInterruptScope() {
        std::signal(SIGINT, m_Previous == SIG_ERR ? SIG_DFL : m_Previous);
        g_pRunning.store(nullptr);
    }
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

private:
    void (*m_Previous)(int);
};

}  // namespace

bool CRunSession::setUp() {
    CQXCompiler& qx = *m_pCompiler;
    qx.setClipping(m_Opts.clipping);
    qx.setSmartError(m_Opts.smartError);
    qx.setInstructionLimit(m_Opts.maxInstructions);
    qx.loadStdFunctions();
    // The registry owns print and puts once addFunc accepts them; it refuses only a taken name.
    CPrintFunction* print = new CPrintFunction(qx.getSharedParameter(), m_Out);
    print->setMaxElements(m_MaxShown);
    m_pPrint = print;
    if (!qx.addFunc(print)) {
        delete print;
        m_pPrint = nullptr;
    }
    CPutsFunction* puts = new CPutsFunction(qx.getSharedParameter(), m_Out);
    if (!qx.addFunc(puts)) delete puts;
    for (const sVarSpec& item : m_Opts.vars)
        if (!declareVar(item)) return false;
    for (const sFileSpec& item : m_Opts.loads)
        if (!loadVar(item)) return false;
    qx.loadStdVars();
    return true;
}

bool CRunSession::reset() {
    m_pCompiler->clear(true);
    return setUp();
}

bool CRunSession::declareVar(const sVarSpec& item) {
    CQXCompiler& qx = *m_pCompiler;
    CQXVariable* var = nullptr;
    switch (item.type) {
        case edtBYTE:
            var = item.resizable ? qx.addResizeByteVar(item.name)
                                 : qx.addByteVar(item.name, item.rows, item.cols);
            break;
        case edtSHORT:
            var = item.resizable ? qx.addResizeShortVar(item.name)
                                 : qx.addShortVar(item.name, item.rows, item.cols);
            break;
        case edtINT:
            var = item.resizable ? qx.addResizeIntVar(item.name)
                                 : qx.addIntVar(item.name, item.rows, item.cols);
            break;
        case edtFLOAT:
            var = item.resizable ? qx.addResizeFloatVar(item.name)
                                 : qx.addFloatVar(item.name, item.rows, item.cols);
            break;
        case edtDOUBLE:
            var = item.resizable ? qx.addResizeDoubleVar(item.name)
                                 : qx.addDoubleVar(item.name, item.rows, item.cols);
            break;
    }
    if (var == nullptr) m_Err << "qxrun: --var: the name '" << item.name << "' is taken\n";
    return var != nullptr;
}

bool CRunSession::loadVar(const sFileSpec& item) {
    sCsvData data;
    std::string error;
    if (!readCsvFile(item.path, data, error)) {
        m_Err << "qxrun: --load: " << error << "\n";
        return false;
    }
    CQXVariable* var = m_pCompiler->addResizeDoubleVar(item.name);
    if (var == nullptr) {
        m_Err << "qxrun: --load: the name '" << item.name << "' is taken\n";
        return false;
    }
    var->resizeVar(data.rows, data.cols);
    for (int r = 0; r < data.rows; ++r)
        for (int c = 0; c < data.cols; ++c)
            var->setData(r, c, data.values[static_cast<size_t>(r) * data.cols + c]);
    return true;
}

// "m is a 3×3 double" for a run-time error on a global variable in the program itself (inside a
// function the name may stand for a parameter or a local, which the host cannot see).
std::string CRunSession::variableNote(const std::string& text) {
    static const char* const kTypeNames[] = {"", "byte", "short", "int", "float", "double"};
    std::string name = CQXReport::variableNamed(text);
    CQXVariable* var = name.empty() ? nullptr : m_pCompiler->getVar(name);
    if (var == nullptr) return std::string();
    int type = var->getDataType();
    if (type < edtBYTE || type > edtDOUBLE) return std::string();
    return name + " is a " + std::to_string(var->getRows()) + "\u00d7" +
           std::to_string(var->getCols()) + " " + kTypeNames[type];
}

void CRunSession::reportCompileError(const std::string& text, int line, int pos,
                                     const std::string& source, const sShownText* shown) {
    std::string report;
    std::string hint;
    if (shown != nullptr) {
        report = shownReport(text, line, pos, *shown);
        mapToShown(shown->m_Text, shown->m_Prefix, line, pos);
        hint = compileHint(*m_pCompiler, text, shown->m_Text, line, pos);
    } else {
        report = m_pCompiler->formatError();
        hint = compileHint(*m_pCompiler, text, source, line, pos);
    }
    m_Out.flush();
    m_Err << report << hint;
    m_Err.flush();
}

// The trace's first entry lies in the program itself when no call follows it.
void CRunSession::reportRunError(const sShownText* shown) {
    CQXCompiler& qx = *m_pCompiler;
    int line = 0;
    int pos = 0;
    std::string text;
    qx.getException(line, pos, text);
    const std::vector<sCallSite> trace = qx.getExceptionTrace();
    const bool inProgram = trace.size() <= 1;
    std::string report;
    if (shown != nullptr && inProgram)
        report = shownReport(text, line, pos, *shown) + CQXReport::formatTrace(trace);
    else
        report = qx.formatException();
    const std::string note = inProgram && line != -1 ? variableNote(text) : std::string();
    if (!note.empty()) report += "note: " + note + "\n";
    report += runHint(text);
    m_Out.flush();
    // Ctrl-C on a terminal leaves "^C" where the cursor stood: the report starts a line.
    if (text.find("Interrupted") != std::string::npos && isatty(STDERR_FILENO)) m_Err << '\n';
    m_Err << report;
    m_Err.flush();
}

int CRunSession::execute(const std::string& source, const sShownText* shown) {
    if (!m_pCompiler->tryCompile(source)) {
        int line = 0;
        int pos = 0;
        std::string text;
        m_pCompiler->getError(line, pos, text);
        reportCompileError(text, line, pos, source, shown);
        return kExitCompileError;
    }
    return runCompiled(shown);
}

int CRunSession::runCompiled(const sShownText* shown) {
    CQXCompiler& qx = *m_pCompiler;
    bool ran;
    {
        CInterruptScope interruptible(&qx);
        ran = qx.runInterpreter();
    }
    if (ran) return kExitOk;
    reportRunError(shown);
    return isOutOfMemory(qx.getException()) ? kExitOutOfMemory : kExitRunError;
}

void CRunSession::setMaxShown(long long count) {
    m_MaxShown = count;
    if (m_pPrint != nullptr) m_pPrint->setMaxElements(count);
}

void CRunSession::listFrom(int first, bool withConstants) {
    std::string constants;
    for (int i = first; i < m_pCompiler->getVarCount(); ++i) {
        const CQXVariable& var = *m_pCompiler->getVar(i);
        if (withConstants || !var.getConst())
            m_Out << formatAssignment(var, m_MaxShown) << '\n';
        else
            constants += (constants.empty() ? "" : ", ") + var.getName();
    }
    if (!constants.empty()) m_Out << "// constants: " << constants << '\n';
}

bool CRunSession::checkNames(const std::vector<std::string>& names, const char* option) {
    for (const std::string& name : names) {
        if (m_pCompiler->getVar(name) == nullptr) {
            m_Err << "qxrun: " << option << ": no variable '" << name << "'\n";
            return false;
        }
    }
    return true;
}

bool CRunSession::listNamed(const std::vector<std::string>& names) {
    if (!checkNames(names, "--print")) return false;
    for (const std::string& name : names)
        m_Out << formatAssignment(*m_pCompiler->getVar(name)) << '\n';
    return true;
}

bool CRunSession::saveAll() {
    std::vector<std::string> names;
    for (const sFileSpec& item : m_Opts.saves) names.push_back(item.name);
    if (!checkNames(names, "--save")) return false;
    for (const sFileSpec& item : m_Opts.saves) {
        std::string error;
        if (!writeCsvFile(item.path, *m_pCompiler->getVar(item.name), error)) {
            m_Err << "qxrun: --save: " << error << "\n";
            return false;
        }
    }
    return true;
}
