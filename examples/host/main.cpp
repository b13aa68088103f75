// Example host program for qx. It owns a 3x4 matrix of samples as plain row arrays, lends it
// to a script by reference, adds a resizable result and a host function, compiles the script
// once and runs it after every change of its data, calls a script function directly, and
// shows how errors are reported. It exits 0 when every result is as the host expects.
#include <qx/qx.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const int kRows = 3;
const int kCols = 4;

// clip(x, lo, hi): x with every element held within lo .. hi. A host function: derive from
// CQXFunction, declare the parameters in the constructor, write the result in Call.
class CClip : public CQXFunction {
public:
    explicit CClip(CQXSharedParameter* shared) : CQXFunction("clip", shared) {
        setParamCount(3);  // x, lo, hi: value parameters, so they arrive as double matrices
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        const CQXVariable* x = (*args)[0];
        double lo = (*args)[1]->getData(0, 0);
        double hi = (*args)[2]->getData(0, 0);
        if (lo > hi) {
            m_Error.setException("clip: lo must not exceed hi", -1, -1, "");
            return isEXCEPTION;
        }
        if (m_ReturnValue.getRows() != x->getRows() || m_ReturnValue.getCols() != x->getCols())
            resizeReturnVar(x->getRows(), x->getCols());
        for (int r = 0; r < x->getRows(); ++r)
            for (int c = 0; c < x->getCols(); ++c)
                m_ReturnValue.setData(r, c, std::fmin(hi, std::fmax(lo, x->getData(r, c))));
        return isOK;
    }
};

const char* const kScript =
    "// Clip the samples to 0..10, total them, and count the clipped ones.\n"
    "double total, clipped;\n"
    "result = clip(samples, 0, 10);\n"
    "total = result.sum;\n"
    "clipped = (samples !=. result).sum;  // !=. compares element by element\n"
    "func rms(v[3][4]) { return sqrt((v .* v).mean); }\n";

// The host's own storage: one block of elements and a row array over it.
struct sBuffer {
    std::vector<double> elements = std::vector<double>(kRows * kCols);
    std::vector<double*> rows = std::vector<double*>(kRows);
    sBuffer() {
        for (int r = 0; r < kRows; ++r) rows[r] = &elements[r * kCols];
    }
};

bool check(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "host example: %s\n", what);
    return ok;
}

// Fills the samples with values from -6 up in steps of step.
void fill(sBuffer& buffer, double step) {
    for (int i = 0; i < kRows * kCols; ++i) buffer.elements[i] = -6 + i * step;
}

// Runs the compiled program once and compares its results with the host's own computation.
bool runOnce(CQXCompiler& qx, const sBuffer& samples, CQXVariable* result) {
    if (!qx.runInterpreter()) {
        std::fprintf(stderr, "%s\n", qx.getException().c_str());
        return false;
    }
    double total = 0;
    int clipped = 0;
    for (double v : samples.elements) {
        total += std::fmin(10, std::fmax(0, v));
        clipped += v < 0 || v > 10;
    }
    double got = qx.getVar("total")->getData(0, 0);
    double gotClipped = qx.getVar("clipped")->getData(0, 0);
    std::printf("total of the clipped samples: %g (%g clipped)\n", got, gotClipped);
    return check(result->getRows() == kRows && result->getCols() == kCols, "result shape") &&
           check(std::fabs(got - total) < 1e-9, "total") && check(gotClipped == clipped, "count");
}

// Calls the script function rms with the host's variable and reads its return value.
bool callRms(CQXCompiler& qx, CQXVariable* samples, const sBuffer& buffer) {
    if (!qx.callFuncByName("rms", 1, samples)) {
        std::fprintf(stderr, "rms failed: %s\n", qx.getException().c_str());
        return false;
    }
    double sum = 0;
    for (double v : buffer.elements) sum += v * v;
    double got = qx.getFunc("rms")->getReturnValue()->getData(0, 0);
    std::printf("rms of the samples: %g\n", got);
    return check(std::fabs(got - std::sqrt(sum / (kRows * kCols))) < 1e-9, "rms");
}

// Shows the two error reports on a compiler of its own.
bool showErrors() {
    CQXCompiler qx;
    qx.loadStdFunctions();
    if (qx.runCompiler("double x; x = ;")) return check(false, "a bad script compiled");
    std::printf("compile error: %s\n", qx.getError().c_str());
    if (!qx.runCompiler("double m[2][2]; m[2][0] = 1;")) return check(false, "compile");
    if (qx.runInterpreter()) return check(false, "an index out of range ran");
    int line = 0, pos = 0;
    std::string text;
    qx.getException(line, pos, text);
    std::printf("run-time error: %s (line %d)\n", text.c_str(), line);
    return check(line == 1, "error line");
}

}  // namespace

int main() {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    // The compiler owns the function once addFunc accepts it.
    if (!qx.addFunc(new CClip(qx.getSharedParameter()))) return 1;

    sBuffer first, second;
    CQXVariable* samples = qx.addReferenceVar("samples", kRows, kCols, first.rows.data());
    CQXVariable* result = qx.addResizeDoubleVar("result");
    if (!qx.runCompiler(kScript)) {
        std::fprintf(stderr, "%s\n", qx.getError().c_str());
        return 1;
    }
    bool ok = true;
    // The host changes its data in place between runs; the script sees the new values.
    for (double step : {0.5, 1.0, 2.0}) {
        fill(first, step);
        ok = runOnce(qx, first, result) && ok;
    }
    // Point the variable at another buffer of the host, then run and call again.
    fill(second, 1.5);
    ok = check(samples->changeReference(kRows, kCols, second.rows.data()), "re-point") && ok;
    ok = runOnce(qx, second, result) && ok;
    ok = callRms(qx, samples, second) && ok;
    ok = showErrors() && ok;
    return ok ? 0 : 1;
}
