// Smoke test of the installed package: compile and run a script against a host variable.
#include <qx/qx.h>

#include <cstdio>

int main() {
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.loadStdVars();
    CQXVariable* v = qx.addDoubleVar("v", 1, 3);
    v->setData(0, 0, 1.0);
    v->setData(0, 1, 2.0);
    v->setData(0, 2, 3.0);
    if (!qx.runCompiler("v = v * 2;") || !qx.runInterpreter()) {
        std::fprintf(stderr, "%s%s\n", qx.getError().c_str(), qx.getException().c_str());
        return 1;
    }
    if (v->getData(0, 0) != 2.0 || v->getData(0, 2) != 6.0) return 1;
    std::printf("package ok: %s", v->toString().c_str());
    return 0;
}
