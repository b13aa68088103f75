// What a host can see of a compiler after a compile or a run, exactly: the outcome, the whole
// error record with its trace, and every global variable bit for bit (element type, shape, raw
// bytes of every row, so NaN payloads and signs count). The oracle test and the tier fuzzer
// compare a compiler in reference mode with one on the fast paths through it. Only the public
// interface of qx is used, as a host would.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "qx/qx.h"
#include "tests/support/host_layouts.h"

namespace qxtest {

// One global variable as its bits. A row the host left absent reads as no bytes at all and is
// marked, so it differs from any row that is there.
struct sVariableBits {
    std::string name;
    int type = 0;
    int varType = 0;
    int rows = 0;
    int cols = 0;
    std::size_t elementSize = 0;
    std::vector<bool> rowPresent;
    std::string bytes;

    bool operator==(const sVariableBits& o) const {
        return name == o.name && type == o.type && varType == o.varType && rows == o.rows &&
               cols == o.cols && rowPresent == o.rowPresent && bytes == o.bytes;
    }
    bool operator!=(const sVariableBits& o) const { return !(*this == o); }
};

// The outcome of one compile or run, the error record as every getter gives it, and the
// globals.
struct sTierState {
    bool ok = false;
    std::string message;  // getException() after a run, getError() after a compile
    int type = 0;
    int line = 0;
    int pos = 0;
    std::string text;
    std::string trace;  // getExceptionTrace(): "function line pos" per call site
    std::vector<sVariableBits> globals;

    bool sameOutcome(const sTierState& o) const {
        return ok == o.ok && message == o.message && type == o.type && line == o.line &&
               pos == o.pos && text == o.text && trace == o.trace;
    }
    bool operator==(const sTierState& o) const { return sameOutcome(o) && globals == o.globals; }
    bool operator!=(const sTierState& o) const { return !(*this == o); }
};

inline sVariableBits bitsOf(CQXVariable* v) {
    sVariableBits bits;
    bits.name = v->getName();
    bits.type = v->getDataType();
    bits.varType = v->getVarType();
    bits.rows = v->getRows();
    bits.cols = v->getCols();
    withElementType(v->getDataType(), [&](auto tag) {
        using T = std::remove_pointer_t<decltype(tag)>;
        bits.elementSize = sizeof(T);
        T** rows = rowsOf<T>(v);
        for (int r = 0; rows != nullptr && r < bits.rows; ++r) {
            bits.rowPresent.push_back(rows[r] != nullptr);
            if (rows[r] == nullptr || bits.cols < 1) continue;
            bits.bytes.append(reinterpret_cast<const char*>(rows[r]),
                              sizeof(T) * static_cast<std::size_t>(bits.cols));
        }
    });
    return bits;
}

// Rewrites every NaN among the double and float elements of the state to one quiet NaN, for a
// comparison that looks past which NaN an operation passes on.
inline void unifyNaNs(sTierState& state) {
    for (sVariableBits& v : state.globals) {
        auto unify = [&v](auto nan) {
            using T = decltype(nan);
            for (std::size_t at = 0; at + sizeof(T) <= v.bytes.size(); at += sizeof(T)) {
                T x;
                std::memcpy(&x, v.bytes.data() + at, sizeof(T));
                if (x == x) continue;
                std::memcpy(&v.bytes[at], &nan, sizeof(T));
            }
        };
        if (v.type == edtDOUBLE) unify(std::numeric_limits<double>::quiet_NaN());
        if (v.type == edtFLOAT) unify(std::numeric_limits<float>::quiet_NaN());
    }
}

// The state after a run that returned ok (the error record of a failed run; the last one's, which
// both sides must keep alike, after a successful one).
inline sTierState runStateOf(CQXCompiler& qx, bool ok) {
    sTierState state;
    state.ok = ok;
    state.message = qx.getException();
    state.type = qx.getException(state.line, state.pos, state.text);
    for (const sCallSite& site : qx.getExceptionTrace())
        state.trace += site.m_Function + " " + std::to_string(site.m_Line) + " " +
                       std::to_string(site.m_Pos) + "\n";
    for (int i = 0; i < qx.getVarCount(); ++i) state.globals.push_back(bitsOf(qx.getVar(i)));
    return state;
}

// The state after a compile that returned ok.
inline sTierState compileStateOf(CQXCompiler& qx, bool ok) {
    sTierState state;
    state.ok = ok;
    state.message = qx.getError();
    state.type = qx.getError(state.line, state.pos, state.text);
    for (int i = 0; i < qx.getVarCount(); ++i) state.globals.push_back(bitsOf(qx.getVar(i)));
    return state;
}

// Element k of a variable's bytes in hex, as stored (little-endian machines show the sign last).
inline std::string hexElement(const sVariableBits& v, std::size_t k) {
    std::string out;
    char digits[3];
    for (std::size_t b = v.elementSize; b-- > 0;) {
        const std::size_t at = k * v.elementSize + b;
        if (at >= v.bytes.size()) break;
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(v.bytes[at]));
        out += digits;
    }
    return out;
}

inline std::string describeVariable(const sVariableBits& v) {
    return v.name + ": type " + std::to_string(v.type) + " var " + std::to_string(v.varType) + " " +
           std::to_string(v.rows) + "x" + std::to_string(v.cols) + " (" +
           std::to_string(v.bytes.size()) + " bytes)";
}

// What differs between two states, for a person: the outcomes when they differ, then each
// variable that differs with its first differing elements in hex. Empty when they are equal.
inline std::string describeDifference(const sTierState& a, const sTierState& b,
                                      const char* nameA = "reference", const char* nameB = "fast") {
    std::string out;
    if (!a.sameOutcome(b)) {
        for (const auto& [label, s] : {std::make_pair(nameA, &a), std::make_pair(nameB, &b)}) {
            out += std::string(label) + ": " + (s->ok ? "ok" : "failed") + " | " + s->message +
                   " | type " + std::to_string(s->type) + " line " + std::to_string(s->line) +
                   " pos " + std::to_string(s->pos) + " | " + s->text + "\n" + s->trace;
        }
    }
    if (a.globals.size() != b.globals.size())
        out += "global count " + std::to_string(a.globals.size()) + " vs " +
               std::to_string(b.globals.size()) + "\n";
    for (std::size_t i = 0; i < a.globals.size() && i < b.globals.size(); ++i) {
        const sVariableBits& x = a.globals[i];
        const sVariableBits& y = b.globals[i];
        if (x == y) continue;
        out += nameA + std::string(" ") + describeVariable(x) + "\n" + nameB + " " +
               describeVariable(y) + "\n";
        const std::size_t size = x.elementSize == 0 ? 1 : x.elementSize;
        int shown = 0;
        for (std::size_t k = 0; k * size < x.bytes.size() && shown < 8; ++k) {
            if (x.elementSize == y.elementSize && k * size < y.bytes.size() &&
                std::memcmp(x.bytes.data() + k * size, y.bytes.data() + k * size,
                            std::min(size, y.bytes.size() - k * size)) == 0)
                continue;
            out += "  element " + std::to_string(k) + ": " + hexElement(x, k) + " vs " +
                   hexElement(y, k) + "\n";
            ++shown;
        }
    }
    return out;
}

// Compiles text on qx and runs the program `runs` times, on a thread of its own: rand's generator
// is kept per thread, so every side starts from the same state. The states after the compile and
// after each run.
inline std::vector<sTierState> compileAndRun(CQXCompiler& qx, const std::string& text, int runs) {
    std::vector<sTierState> states;
    std::thread([&] {
        const bool ok = qx.runCompiler(text);
        states.push_back(compileStateOf(qx, ok));
        for (int k = 0; ok && k < runs; ++k) states.push_back(runStateOf(qx, qx.runInterpreter()));
    }).join();
    return states;
}

// Empty when the two sides agree after the compile and after every run; else where and how they
// first differ.
inline std::string firstDifference(const std::vector<sTierState>& reference,
                                   const std::vector<sTierState>& fast) {
    if (reference.size() != fast.size())
        return "the sides ran " + std::to_string(reference.size()) + " and " +
               std::to_string(fast.size()) + " steps\n";
    for (std::size_t k = 0; k < reference.size(); ++k) {
        if (reference[k] == fast[k]) continue;
        return (k == 0 ? std::string("after the compile") : "after run " + std::to_string(k)) +
               ":\n" + describeDifference(reference[k], fast[k]);
    }
    return std::string();
}

}  // namespace qxtest
