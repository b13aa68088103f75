// libFuzzer target for the whole pipeline (script text -> lexer -> compiler -> blocks ->
// interpreter -> variables): the input is compiled and run twice against host variables of every
// element type and state, their rows laid out as one of the host layouts of
// tests/support/host_layouts.h, then every function the script names is called from the host.
// The host's own functions re-point and resize its variables, call back into the compiler and
// throw. After that the host's storage must be where the host put it, and the compiler must
// still work.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

namespace {

// Limits that keep every run short and small, whatever the script does (64 KiB still holds a
// 90 x 90 matrix of doubles). The storage limit holds per variable, and addVarByName in a loop
// declares a new variable every ten or so instructions, so one run may still allocate a hundred
// megabytes; the watchdog below bounds what all runs of one input allocate together.
constexpr long long kInstructionLimit = 20000;
constexpr long long kStorageLimit = 64 << 10;
// Functions called from the host per input, so one input cannot take long.
constexpr std::size_t kMaxHostCalls = 12;
// Budgets of one input. The instruction limit ends every loop, but one instruction over a large
// matrix (a product, a decomposition) can take a good part of a second, so a loop of them runs
// for hours within the limit; and memory grows with every run. The host's way out is
// interrupt(), which the watchdog calls once either budget is spent.
constexpr std::chrono::milliseconds kTimeBudget{2000};
constexpr long long kMemoryBudget = 256LL << 20;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "run_fuzzer: invariant broken: %s\n", what);
    std::abort();
}

// The resident size of this process in bytes, 0 when it cannot be read.
long long residentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0;
    long long pages = 0, resident = 0;
    if (std::fscanf(file, "%lld %lld", &pages, &resident) != 2) resident = 0;
    std::fclose(file);
    return resident * sysconf(_SC_PAGESIZE);
}

// A host's watchdog thread. While a compiler is armed and its deadline has passed or the process
// has grown by more than the memory budget, the input has expired: the watchdog asks the compiler
// to stop, again and again since every new run forgets an earlier request, and the host makes
// no further calls for this input.
class CWatchdog {
public:
    CWatchdog() {
        std::thread([this] { watch(); }).detach();
    }

    // Starts the budgets of a new input.
    void begin() {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_Deadline = std::chrono::steady_clock::now() + kTimeBudget;
        m_MemoryLimit = residentBytes() + kMemoryBudget;
        m_bExpired = false;
    }
    void arm(CQXCompiler* qx) {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_pQx = qx;
    }
    // After this returns the watchdog no longer touches the compiler, which may then go.
    void disarm() {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_pQx = nullptr;
    }
    bool expired() const { return m_bExpired; }

private:
    void watch() {
        std::unique_lock<std::mutex> hold(m_Mutex);
        for (;;) {
            m_Wake.wait_for(hold, std::chrono::milliseconds(5));
            if (m_pQx == nullptr) continue;
            if (std::chrono::steady_clock::now() > m_Deadline || residentBytes() > m_MemoryLimit)
                m_bExpired = true;
            if (m_bExpired) m_pQx->interrupt();
        }
    }

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    CQXCompiler* m_pQx = nullptr;
    std::chrono::steady_clock::time_point m_Deadline;
    long long m_MemoryLimit = 0;
    std::atomic<bool> m_bExpired{false};
};

// One watchdog for the whole process; it lives as long as the process.
CWatchdog& watchdog() {
    static CWatchdog* dog = new CWatchdog;
    return *dog;
}

// twice(x): 2 * x element by element, as a host writes a value function.
class CTwice : public CQXFunction {
public:
    explicit CTwice(CQXSharedParameter* shared) : CQXFunction("twice", shared) { setParamCount(1); }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        const CQXVariable* x = (*args)[0];
        if (x->getRows() < 1 || x->getCols() < 1) return raise("twice: empty argument");
        if (m_ReturnValue.getRows() != x->getRows() || m_ReturnValue.getCols() != x->getCols())
            if (!resizeReturnVar(x->getRows(), x->getCols())) return raise("twice: no storage");
        for (int r = 0; r < x->getRows(); ++r)
            for (int c = 0; c < x->getCols(); ++c)
                m_ReturnValue.setData(r, c, 2 * x->getData(r, c));
        return isOK;
    }
};

// fill(&out, v): stores v into every element of out, through the locking row-array getter as
// a host function may (the lock is already held by the run).
class CFill : public CQXFunction {
public:
    explicit CFill(CQXSharedParameter* shared) : CQXFunction("fill", shared) {
        setParamCount(2);
        setParamType(0, ptREFERENCE);
        setReturnType(false);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        CQXVariable* out = (*args)[0];
        const double v = (*args)[1]->getData(0, 0);
        if (double** rows = out->getDoublePtr()) {
            for (int r = 0; r < out->getRows(); ++r)
                if (rows[r] != nullptr)
                    for (int c = 0; c < out->getCols(); ++c) rows[r][c] = v;
            return isOK;
        }
        for (int r = 0; r < out->getRows(); ++r)
            for (int c = 0; c < out->getCols(); ++c) out->setData(r, c, v);
        return isOK;
    }
};

// The numbers first, first + 1, ... (small enough for every element type).
std::vector<double> counting(int count, double first) {
    std::vector<double> values;
    for (int k = 0; k < count; ++k) values.push_back(first + k);
    return values;
}

// The host's matrices that scripts see by reference: one of each element type, a flat one of
// each, a row (a flat reference in the flat layout), and three without rows or columns.
void declareOwnMatrices(qxtest::CHostMatrices& own) {
    const char* const tags[] = {"b", "s", "i", "f", "d"};
    for (int t = 0; t < 5; ++t) {
        const eDataType type = static_cast<eDataType>(edtBYTE + t);
        const int rows = type == edtDOUBLE ? 4 : 3;
        own.add({std::string("h") + tags[t], type, rows, 4, counting(rows * 4, 1)});
    }
    for (int t = 0; t < 5; ++t) {
        const eDataType type = static_cast<eDataType>(edtBYTE + t);
        const int count = type == edtDOUBLE ? 7 : 5;
        own.add({std::string("f") + tags[t], type, 1, count, counting(count, 2), true});
    }
    own.add({"hv", edtDOUBLE, 1, 6, counting(6, -3)});
    own.add({"hn", edtDOUBLE, 0, 3, {}});
    own.add({"hc", edtINT, 3, 0, {}});
    own.add({"he", edtBYTE, 0, 0, {}});
}

// Storage of other shapes that the host lends its references for a while: a 2 x 5 matrix of
// each element type (entries 0 to 4), then a flat block of 3 of each (entries 5 to 9).
void declareOtherMatrices(qxtest::CHostMatrices& other) {
    for (int t = 0; t < 5; ++t)
        other.add({"", static_cast<eDataType>(edtBYTE + t), 2, 5, counting(10, 7)});
    for (int t = 0; t < 5; ++t)
        other.add({"", static_cast<eDataType>(edtBYTE + t), 1, 3, counting(3, 9), true});
}
constexpr std::size_t kOwnDouble = 4;      // hd
constexpr std::size_t kOwnFlatDouble = 9;  // fd
constexpr std::size_t kOtherDouble = 4;
constexpr std::size_t kOtherFlatDouble = 9;

// The host's side of one input: its storage, its variables, and what it expects of them.
struct sHost {
    explicit sHost(qxtest::eHostLayout layout) : own(layout), other(layout) {
        declareOwnMatrices(own);
        own.build();
        declareOtherMatrices(other);
        other.build();
        lent.assign(own.size(), false);
    }
    qxtest::CHostMatrices own;
    qxtest::CHostMatrices other;
    std::vector<CQXVariable*> ownVars;  // the variables over own's matrices, in its order
    std::vector<bool> lent;             // ownVars[i] refers to other storage for now
    // A row array with an absent row, which the library must never dereference.
    std::unique_ptr<double[]> partialRow{new double[3]{1, 2, 3}};
    std::vector<double*> partial{partialRow.get(), nullptr};
    std::vector<CQXVariable*> args;  // every host variable, in a fixed order
    std::vector<std::string> names;  // the names in the script's text
    std::string text;                // the script
    CQXCompiler* qx = nullptr;
};

// A script's number as a choice among n (0 for NaN, negative or huge numbers).
std::size_t choice(double k, std::size_t n) {
    if (!(k >= 0 && k < 1e9) || n == 0) return 0;
    return static_cast<std::size_t>(k) % n;
}

// The shape and first row of a variable, to tell whether a refused change left it alone.
struct sSnapshot {
    int rows, cols, type;
    const void* first;
    explicit sSnapshot(CQXVariable* v)
        : rows(v->getRows()), cols(v->getCols()), type(v->getDataType()), first(firstRow(v)) {}
    static const void* firstRow(CQXVariable* v) {
        switch (v->getDataType()) {
            case edtBYTE:
                return v->getBytePtr();
            case edtSHORT:
                return v->getShortPtr();
            case edtINT:
                return v->getIntPtr();
            case edtFLOAT:
                return v->getFloatPtr();
            default:
                return v->getDoublePtr();
        }
    }
    bool operator==(const sSnapshot& o) const {
        return rows == o.rows && cols == o.cols && type == o.type && first == o.first;
    }
};

// Re-points v through change. A running call that has v bound to a reference parameter makes
// the library refuse (and fail the host function that tried); a refusal changes nothing.
template <class F>
bool repointOrRefused(CQXVariable* v, F change) {
    const sSnapshot before(v);
    if (change()) return true;
    require(sSnapshot(v) == before, "a refused re-pointing changes nothing");
    return false;
}

// Points reference variable own[k % n] at other storage (a matrix or a flat block, of any
// element type) or back at its own, as a host re-points a variable while a script runs.
void lendStorage(sHost& host, std::size_t k) {
    const std::size_t n = host.own.size();
    const std::size_t i = k % n;
    const qxtest::sHostMatrixDesc& desc = host.own.desc(i);
    if (desc.rows < 1 || desc.cols < 1) return;
    const std::size_t target = (k / n) % 3;
    const std::size_t type = (k / n / 3) % 5;
    if (target == 2) {
        CQXVariable* v = host.ownVars[i];
        if (repointOrRefused(v, [&] { return host.own.pointAt(i, v); })) host.lent[i] = false;
        return;
    }
    CQXVariable* v = host.ownVars[i];
    if (repointOrRefused(v, [&] { return host.other.pointAt(target * 5 + type, v); }))
        host.lent[i] = true;
}

// Points every lent reference back at its own storage.
void takeBack(sHost& host) {
    for (std::size_t i = 0; i < host.own.size(); ++i) {
        if (!host.lent[i]) continue;
        require(host.own.pointAt(i, host.ownVars[i]), "a reference can be pointed back");
        host.lent[i] = false;
    }
}

// Resizes one of the host's resizable variables (chosen by k) to a small shape.
void regrowVariable(sHost& host, std::size_t k) {
    static const char* const names[] = {"rb", "rs", "ri", "rf", "rd"};
    CQXVariable* v = host.qx->getVar(names[k % 5]);
    if (v != nullptr)
        v->resizeVar(1 + static_cast<int>(k / 5 % 4), 1 + static_cast<int>(k / 20 % 4));
}

// Calls the function the text names at position j from the host, with arguments that the
// host takes from getVar: the variables the text names after it (d1 where a name is none).
bool callNamedWithGlobals(sHost& host, std::size_t j) {
    const std::string& name = host.names[j];
    const CQXFunction* func = host.qx->getFunc(name);
    const std::size_t n = func != nullptr ? static_cast<std::size_t>(func->getParamCount()) : 0;
    std::vector<CQXVariable*> args;
    for (std::size_t p = 0; p < n; ++p) {
        CQXVariable* v = host.qx->getVar(host.names[(j + 1 + p) % host.names.size()]);
        args.push_back(v != nullptr ? v : host.qx->getVar("d1"));
    }
    return host.qx->callFuncByName(name, args);
}

// reenter(k): a host function that drives its own compiler while a script runs, as careless
// hosts do: k selects the call (compile, clear, reload the library, run, call itself, call the
// function named k - 7 in the script's text with 1x1 arguments, or named k - 7 - N (N names)
// with variables the host looks up by name).
class CReenter : public CQXFunction {
public:
    CReenter(CQXSharedParameter* shared, sHost* host)
        : CQXFunction("reenter", shared), m_pHost(host) {
        setParamCount(1);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        CQXCompiler* qx = m_pHost->qx;
        const double k = (*args)[0]->getData(0, 0);
        const double names = static_cast<double>(m_pHost->names.size());
        bool ok = true;
        if (k == 0) ok = qx->runCompiler("double q; q = 1;");
        if (k == 1) qx->clear(true);
        if (k == 2) qx->clear(false);
        if (k == 3) qx->loadStdFunctions();
        if (k == 4) ok = qx->runInterpreter();
        if (k == 5) ok = qx->callFuncByName("twice", {(*args)[0]});
        // Calls that come back here have no bound of their own: the compiler's nesting bound
        // must stop them.
        const bool named = k >= 7 && k < 7 + names;
        if (k == 6 || named) {
            const std::string name =
                named ? m_pHost->names[static_cast<std::size_t>(k) - 7] : "reenter";
            const CQXFunction* func = qx->getFunc(name);
            const std::size_t n =
                func != nullptr ? static_cast<std::size_t>(func->getParamCount()) : 0;
            ok = qx->callFuncByName(name, std::vector<CQXVariable*>(n, (*args)[0]));
        }
        if (k >= 7 + names && k < 7 + 2 * names)
            ok = callNamedWithGlobals(*m_pHost, static_cast<std::size_t>(k - 7 - names));
        qx->getException();
        return ok ? isOK : raise("reenter: the nested call failed");
    }

private:
    sHost* m_pHost;
};

// repoint(k): re-points one of the host's reference variables while the script runs
// (lendStorage), and regrow(k) resizes one of its resizable variables; both are allowed to a
// host function, whatever the script is doing with the variable at the time.
class CRepoint : public CQXFunction {
public:
    CRepoint(CQXSharedParameter* shared, sHost* host)
        : CQXFunction("repoint", shared), m_pHost(host) {
        setParamCount(1);
        setReturnType(false);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        lendStorage(*m_pHost, choice((*args)[0]->getData(0, 0), 1000000));
        return isOK;
    }

private:
    sHost* m_pHost;
};

class CRegrow : public CQXFunction {
public:
    CRegrow(CQXSharedParameter* shared, sHost* host)
        : CQXFunction("regrow", shared), m_pHost(host) {
        setParamCount(1);
        setReturnType(false);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        regrowVariable(*m_pHost, choice((*args)[0]->getData(0, 0), 1000000));
        return isOK;
    }

private:
    sHost* m_pHost;
};

// boom(k): does one thing a host function may do (nothing, repoint, regrow, or call a function
// the text names with variables looked up by name) and then throws, as host code does when
// it fails: a standard exception, bad_alloc, or something that is no exception class at all.
class CBoom : public CQXFunction {
public:
    CBoom(CQXSharedParameter* shared, sHost* host) : CQXFunction("boom", shared), m_pHost(host) {
        setParamCount(1);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        const std::size_t k = choice((*args)[0]->getData(0, 0), 1000000);
        const std::size_t rest = k / 4;
        if (k % 4 == 1) lendStorage(*m_pHost, rest);
        if (k % 4 == 2) regrowVariable(*m_pHost, rest);
        if (k % 4 == 3 && !m_pHost->names.empty())
            callNamedWithGlobals(*m_pHost, rest % m_pHost->names.size());
        if (rest % 3 == 0) throw std::runtime_error("boom");
        if (rest % 3 == 1) throw std::bad_alloc();
        throw 42;
    }

private:
    sHost* m_pHost;
};

void addHostVariables(CQXCompiler& qx, sHost& host) {
    host.qx = &qx;
    std::vector<CQXVariable*>& a = host.args;
    a.push_back(qx.addDoubleVar("d1", 1, 1));
    a.push_back(qx.addDoubleVar("d22", 2, 2));
    a.push_back(qx.addByteVar("ob", 2, 3));
    a.push_back(qx.addShortVar("os", 3, 1));
    a.push_back(qx.addIntVar("oi", 1, 4));
    a.push_back(qx.addFloatVar("of", 3, 3));
    a.push_back(qx.addResizeByteVar("rb"));
    a.push_back(qx.addResizeShortVar("rs"));
    a.push_back(qx.addResizeIntVar("ri"));
    a.push_back(qx.addResizeFloatVar("rf"));
    a.push_back(qx.addResizeDoubleVar("rd"));
    host.ownVars = host.own.addTo(qx);
    a.insert(a.end(), host.ownVars.begin(), host.ownVars.end());
    a.push_back(qx.addReferenceVar("hp", 2, 3, host.partial.data()));
    a.push_back(qx.addReferenceVar("hz", 2, 2, static_cast<double**>(nullptr)));
    for (CQXVariable* v : a) require(v != nullptr, "every host variable is added");
    CQXSharedParameter* shared = qx.getSharedParameter();
    qx.addFunc(new CTwice(shared));
    qx.addFunc(new CFill(shared));
    qx.addFunc(new CReenter(shared, &host));
    qx.addFunc(new CRepoint(shared, &host));
    qx.addFunc(new CRegrow(shared, &host));
    qx.addFunc(new CBoom(shared, &host));
}

// The names in the text, in order of first appearance: candidates for host calls.
std::vector<std::string> namesIn(const std::string& text) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    auto isStart = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto isPart = [&](char c) { return isStart(c) || (c >= '0' && c <= '9') || c == '_'; };
    for (std::size_t at = 0; at < text.size();) {
        if (!isStart(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && isPart(text[end])) ++end;
        std::string name = text.substr(at, end - at);
        if (seen.insert(name).second) names.push_back(name);
        at = end;
    }
    return names;
}

// A declared size in a parameter list ("[12]" at text[at]): the number, 0 when there is none
// or it is implausibly large for a host to pass.
int declaredSize(const std::string& text, std::size_t& at) {
    int size = 0;
    if (at < text.size() && text[at] == '[') ++at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        size = size > 1000 ? 1001 : size * 10 + (text[at] - '0');
    if (at < text.size() && text[at] == ']') ++at;
    return size <= 1000 ? size : 0;
}

// The arguments a careful host passes to the script function `name`, read from its definition
// in the text: for a value parameter a double matrix of the declared shape (new, filled with
// small numbers), for a reference parameter a fixed-size host variable. Empty when the
// definition is not found or a shape cannot be read.
std::vector<CQXVariable*> declaredArguments(CQXCompiler& qx, const std::string& text,
                                            const std::string& name) {
    const std::size_t def = text.find("func " + name + "(");
    if (def == std::string::npos) return {};
    std::vector<CQXVariable*> args;
    std::size_t at = def + 6 + name.size();
    while (at < text.size() && text[at] != ')' && text[at] != '{') {
        while (at < text.size() && (text[at] == ' ' || text[at] == ',')) ++at;
        if (at < text.size() && text[at] == '&') {
            args.push_back(qx.getVar("d22"));
        } else {
            while (at < text.size() && text[at] != '[' && text[at] != ',' && text[at] != ')') ++at;
            const bool sized = at < text.size() && text[at] == '[';
            const int rows = sized ? declaredSize(text, at) : 1;
            const int cols = sized ? declaredSize(text, at) : 1;
            if (rows < 1 || cols < 1) return {};
            CQXVariable* arg = qx.addDoubleVar("", rows, cols);
            for (int k = 0; k < rows * cols; ++k) arg->setData(k / cols, k % cols, k % 7 - 2);
            args.push_back(arg);
        }
        while (at < text.size() && text[at] != ',' && text[at] != ')') ++at;
    }
    return args;
}

// Calls one function with a few argument lists: all 1x1, all 2x2, all resizable, all the
// function's own return value (a host may pass a result back in), the shapes its definition
// declares, and a mix of host variables that depends on the call's number.
void callFromHost(CQXCompiler& qx, sHost& host, const std::string& name, std::size_t salt) {
    CQXFunction* func = qx.getFunc(name);
    if (func == nullptr) return;
    const std::size_t n = static_cast<std::size_t>(func->getParamCount());
    std::vector<CQXVariable*> declared;
    try {
        declared = declaredArguments(qx, host.text, name);
    } catch (const std::bad_alloc&) {
        // A declared shape beyond the storage limit: the host's own allocation fails.
    }
    const std::vector<CQXVariable*> fixed[] = {std::vector<CQXVariable*>(n, qx.getVar("d1")),
                                               std::vector<CQXVariable*>(n, qx.getVar("d22")),
                                               std::vector<CQXVariable*>(n, qx.getVar("rd")),
                                               std::vector<CQXVariable*>(n, func->getReturnValue()),
                                               declared};
    for (const std::vector<CQXVariable*>& args : fixed)
        if (!watchdog().expired()) qx.callFuncByName(name, args);
    std::vector<CQXVariable*> mix;
    for (std::size_t k = 0; k < n; ++k)
        mix.push_back(host.args[(salt * 7 + k * 3) % host.args.size()]);
    if (qx.callFuncByAddr(qx.getFunc(name), mix) && qx.getFunc(name) != nullptr)
        qx.getFunc(name)->getReturnValue()->toString();
    qx.getException();
}

void checkHost(CQXCompiler& qx, sHost& host) {
    for (std::size_t i = 0; i < host.own.size(); ++i)
        require(host.own.refersTo(i, host.ownVars[i]),
                "a reference keeps the host's storage, shape and row array");
    require(host.own.guardsIntact() && host.other.guardsIntact(),
            "nothing is written between the host's rows");
    require(qx.getVar("hp")->getDoublePtr() == host.partial.data() && host.partial[1] == nullptr,
            "a reference with an absent row keeps it absent");
    require(qx.getVar("hz")->getDoublePtr() == nullptr, "a reference without rows stays so");
    require(qx.getVar("d22")->getRows() == 2 && qx.getVar("d22")->getCols() == 2,
            "an owned variable keeps its shape");
    // Copies made by the host read the same elements and free only what they own.
    for (CQXVariable* v : host.args) CQXVariable(*v).toString();
    // A host may look at the temporaries too (a debugger's dump, say): every one must read.
    for (int i = 0; i < qx.getTmpVarCount(); ++i) {
        CQXVariable* v = qx.getTmpVar(i);
        v->getData(0, 0);
        v->getData(v->getRows() - 1, v->getCols() - 1);
        if (static_cast<long long>(v->getRows()) * v->getCols() <= 64) v->toString();
    }
}

// Calls the functions the text names, the first kMaxHostCalls of them.
void callNamedFunctions(CQXCompiler& qx, sHost& host) {
    std::size_t calls = 0;
    for (const std::string& name : host.names) {
        if (qx.getFunc(name) == nullptr) continue;
        if (calls == kMaxHostCalls || watchdog().expired()) break;
        callFromHost(qx, host, name, calls++);
    }
}

// The compiled program must not rely on the shapes its variables had when it was compiled: the
// host points two references at a buffer of another shape and resizes a variable, runs once
// more, and restores its references.
void rerunWithOtherShapes(CQXCompiler& qx, sHost& host) {
    require(host.other.pointAt(kOtherDouble, host.ownVars[kOwnDouble]), "a reference can be lent");
    require(host.other.pointAt(kOtherFlatDouble, host.ownVars[kOwnFlatDouble]), "and made flat");
    host.lent[kOwnDouble] = host.lent[kOwnFlatDouble] = true;
    qx.getVar("rd")->resizeVar(3, 2);
    qx.runInterpreter();
    takeBack(host);
}

// Compiles the text and runs it twice, then calls the functions it names from the host.
void runFirstProgram(CQXCompiler& qx, sHost& host) {
    const bool compiled = qx.runCompiler(host.text);
    qx.getError();
    watchdog().arm(&qx);
    if (compiled) {
        qx.runInterpreter();
        qx.runInterpreter();
        qx.getException();
        callNamedFunctions(qx, host);
        takeBack(host);
        rerunWithOtherShapes(qx, host);
    }
    watchdog().disarm();
    takeBack(host);
    checkHost(qx, host);
}

// The script's functions and globals outlive its program: the second half of the text,
// compiled as a program of its own, may call them, and called again from the host they run
// the code that the later compiles retired.
void runLaterPrograms(CQXCompiler& qx, sHost& host) {
    const std::size_t cut = host.text.find_first_of(";}", host.text.size() / 2);
    watchdog().arm(&qx);
    if (qx.runCompiler(cut == std::string::npos ? "" : host.text.substr(cut + 1)))
        qx.runInterpreter();
    qx.getError();
    qx.getException();
    callNamedFunctions(qx, host);
    watchdog().disarm();
    takeBack(host);
    checkHost(qx, host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    watchdog().begin();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The options and the layout of the host's matrices follow from the text, so one input
    // always runs the same way.
    const std::size_t bits = std::hash<std::string>()(text);
    sHost host(qxtest::kHostLayouts[(bits >> 2) % qxtest::kHostLayoutCount]);
    host.text = text;
    host.names = namesIn(host.text);
    CQXCompiler qx;
    qx.setClipping((bits & 1) != 0);
    qx.setSmartError((bits & 2) != 0);
    qx.setInstructionLimit(kInstructionLimit);
    qx.setStorageLimit(kStorageLimit);
    qx.loadStdFunctions();
    qx.loadStdVars();
    addHostVariables(qx, host);

    runFirstProgram(qx, host);
    // The compiler object must still do its job after whatever the script did.
    require(qx.runCompiler("d1 = 41 + 1;"), "a trivial script compiles");
    require(qx.runInterpreter(), "a trivial script runs");
    require(qx.getVar("d1")->getData(0, 0) == 42.0, "a trivial script computes");
    runLaterPrograms(qx, host);

    // Reloading the library deletes the script's functions and with them the program.
    qx.loadStdFunctions();
    require(!qx.runInterpreter(), "a program that may call deleted functions does not run");
    return 0;
}
