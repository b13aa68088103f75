// What an instruction's operand addresses in its variable: the variables it names, and the one
// resolver of its index record into rows and columns (or the fault that stops it). Every tier
// addresses operands through here: the general path, which turns a fault into its error text;
// the operand cache of the direct path; and the fused chains, which leave a faulting operand to
// the general path. Library-internal; not installed.
#pragma once

#include "qx/values/rows_internal.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"

// Calls f with each index variable of the record, null where it has none: row, column, first
// row, first column, row count, column count.
template <class F>
void forEachIndexVariable(const sByteCodeIndex& index, F f) {
    for (CQXVariable* v : {index.m_pRow, index.m_pCol, index.m_pRowFrom, index.m_pColFrom,
                           index.m_pRowCount, index.m_pColCount})
        f(v);
}

// Calls f with every variable an operand names, null where it has none: its own variable first,
// then the index variables. Every pass over the variables an instruction reads goes through
// here, so none can miss one.
template <class F>
void forEachVariable(const sByteCodeOperand& operand, F f) {
    f(operand.m_pVar);
    forEachIndexVariable(operand.index(), f);
}

namespace qxaddr {

// Why an operand cannot be addressed, in the order the checks are made: the index variables of
// the rows, then of the columns, must be singles; then the row index or span, then the column
// one, must lie within the variable. kRowAbsent only comes from rowsPresent: the general path
// addresses a row that a host left absent (its view has no storage), the tiers that read
// storage directly do not.
enum class eFault : unsigned char {
    kNone,
    kRowNotSingle,
    kColNotSingle,
    kRowOutOfRange,
    kColOutOfRange,
    kRowAbsent,
};

// Rows row0 .. row0 + rows - 1 and columns col0 .. col0 + cols - 1 of the operand's variable.
struct sAddress {
    int row0 = 0;
    int col0 = 0;
    int rows = 0;
    int cols = 0;
};

// An index read from a double and truncated toward zero must lie in 0 .. limit-1. The test is
// made on the double, so NaN and values beyond the int range never reach the conversion.
inline bool indexIn(double value, int limit, int& out) {
    if (!(value > -1.0 && value < static_cast<double>(limit))) return false;
    out = static_cast<int>(value);
    return true;
}

// A first index and a count, both truncated toward zero, must address a span within 0 .. limit.
// A negative count is out of range; the end is computed in 64 bits.
inline bool spanIn(double from, double count, int limit, int& first, int& n) {
    const double bound = static_cast<double>(limit) + 1.0;
    if (!(from > -1.0 && from < bound) || !(count > -1.0 && count < bound)) return false;
    first = static_cast<int>(from);
    n = static_cast<int>(count);
    return static_cast<long long>(first) + n <= limit;
}

// Element (row, col), given as doubles, of a rows x cols variable.
inline eFault elementAt(double row, double col, int rows, int cols, sAddress& out) {
    if (!indexIn(row, rows, out.row0)) return eFault::kRowOutOfRange;
    if (!indexIn(col, cols, out.col0)) return eFault::kColOutOfRange;
    out.rows = 1;
    out.cols = 1;
    return eFault::kNone;
}

inline eFault element(const CQXVariable& var, const sByteCodeIndex& index, sAddress& out) {
    using qxrows::isSingle;
    using qxrows::scalarOf;
    if (!isSingle(index.m_pRow)) return eFault::kRowNotSingle;
    if (!isSingle(index.m_pCol)) return eFault::kColNotSingle;
    return elementAt(scalarOf(index.m_pRow), scalarOf(index.m_pCol), var.getRows(), var.getCols(),
                     out);
}

inline eFault range(const CQXVariable& var, const sByteCodeIndex& index, sAddress& out) {
    using qxrows::isSingle;
    using qxrows::scalarOf;
    if (!isSingle(index.m_pRowFrom) || !isSingle(index.m_pRowCount)) return eFault::kRowNotSingle;
    if (!isSingle(index.m_pColFrom) || !isSingle(index.m_pColCount)) return eFault::kColNotSingle;
    if (!spanIn(scalarOf(index.m_pRowFrom), scalarOf(index.m_pRowCount), var.getRows(), out.row0,
                out.rows))
        return eFault::kRowOutOfRange;
    if (!spanIn(scalarOf(index.m_pColFrom), scalarOf(index.m_pColCount), var.getCols(), out.col0,
                out.cols))
        return eFault::kColOutOfRange;
    return eFault::kNone;
}

// What the operand addresses: its element, its range, or the whole variable.
inline eFault resolve(const sByteCodeOperand& operand, sAddress& out) {
    const CQXVariable& var = *operand.m_pVar;
    if (operand.isSingle()) return element(var, operand.index(), out);
    if (operand.isRange()) return range(var, operand.index(), out);
    out = sAddress{0, 0, var.getRows(), var.getCols()};
    return eFault::kNone;
}

// Whether every addressed row of var has storage (kRowAbsent where one does not); an address
// without elements has none to miss.
inline eFault rowsPresent(const CQXVariable& var, const sAddress& at) {
    if (at.rows < 1 || at.cols < 1) return eFault::kNone;
    bool present = false;
    qxrows::withRowArray(var, [&](auto rowArray) {
        present = rowArray != nullptr;
        for (int i = 0; present && i < at.rows; ++i) present = rowArray[at.row0 + i] != nullptr;
    });
    return present ? eFault::kNone : eFault::kRowAbsent;
}

}  // namespace qxaddr
