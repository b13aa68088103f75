// qx's JavaScript API (emscripten bindings): the class Session over CWebSession, whose error
// records and variables arrive as plain JavaScript objects. docs/playground.md describes it.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include "web_session.h"

using emscripten::val;

namespace {

val toJs(const sWebError& error) {
    val out = val::object();
    out.set("type", error.m_Type);
    out.set("message", error.m_Message);
    out.set("line", error.m_Line);
    out.set("pos", error.m_Pos);
    out.set("column", error.m_Column);
    val trace = val::array();
    for (const sCallSite& site : error.m_Trace) {
        val entry = val::object();
        entry.set("function", site.m_Function);
        entry.set("line", site.m_Line);
        entry.set("pos", site.m_Pos);
        trace.call<void>("push", entry);
    }
    out.set("trace", trace);
    out.set("traceText", error.m_TraceText);
    return out;
}

val toJs(const sWebVariable& var) {
    val out = val::object();
    out.set("name", var.m_Name);
    out.set("type", var.m_Type);
    out.set("rows", var.m_Rows);
    out.set("cols", var.m_Cols);
    out.set("resizable", var.m_bResizable);
    out.set("constant", var.m_bConstant);
    // A copy: a view into the module's memory would go stale when the memory grows.
    const val view(emscripten::typed_memory_view(var.m_Values.size(), var.m_Values.data()));
    out.set("values", val::global("Float64Array").new_(view));
    return out;
}

val compileError(CWebSession& s) {
    return toJs(s.compileError());
}
val runError(CWebSession& s) {
    return toJs(s.runError());
}

// limit: how many values of each variable, row by row, at most.
val variables(CWebSession& s, int limit) {
    val list = val::array();
    for (const sWebVariable& var : s.variables(limit)) list.call<void>("push", toJs(var));
    return list;
}

void setClipping(CWebSession& s, bool on) {
    s.compiler().setClipping(on);
}
void setSmartError(CWebSession& s, bool on) {
    s.compiler().setSmartError(on);
}
// Counts cross as doubles (JavaScript numbers hold every count up to 2^53 exactly); 0 or less
// means no limit.
long long toCount(double n) {
    return n > 0 ? static_cast<long long>(n < 9e15 ? n : 9e15) : 0;
}
void setInstructionLimit(CWebSession& s, double n) {
    s.compiler().setInstructionLimit(toCount(n));
}
double getInstructionLimit(CWebSession& s) {
    return static_cast<double>(s.compiler().getInstructionLimit());
}
void setStorageLimit(CWebSession& s, double bytes) {
    s.compiler().setStorageLimit(toCount(bytes));
}
void setTotalStorageLimit(CWebSession& s, double bytes) {
    s.compiler().setTotalStorageLimit(toCount(bytes));
}
void interrupt(CWebSession& s) {
    s.compiler().interrupt();
}

}  // namespace

EMSCRIPTEN_BINDINGS(qx) {
    emscripten::class_<CWebSession>("Session")
        .constructor<bool>()
        .function("compile", &CWebSession::compile)
        .function("run", &CWebSession::run)
        .function("clearScript", &CWebSession::clearScript)
        .function("takeOutput", &CWebSession::takeOutput)
        .function("compileError", &compileError)
        .function("runError", &runError)
        .function("variables", &variables)
        .function("hasVariable", &CWebSession::hasVariable)
        .function("valueText", &CWebSession::valueText)
        .function("listing", &CWebSession::listing)
        .function("setClipping", &setClipping)
        .function("setSmartError", &setSmartError)
        .function("setInstructionLimit", &setInstructionLimit)
        .function("getInstructionLimit", &getInstructionLimit)
        .function("setStorageLimit", &setStorageLimit)
        .function("setTotalStorageLimit", &setTotalStorageLimit)
        .function("interrupt", &interrupt);
}
