// Standard functions that rearrange the elements of a matrix or turn a number into text: rowins,
// colins, rowdel, coldel, transpose, sort, where, tostr. The interpreter reaches them through
// CQXFunction::Call; each result is the function's resizable double return variable.
#include "qx/functions/editing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "qx/functions/calculation_routines.h"
#include "qx/numtext_internal.h"
#include "qx/values/rows_internal.h"

namespace {

using Index = std::int64_t;

// No variable can hold a result without elements, so arguments that would give one are refused
// rather than answered with whatever the previous call left in the result.
const char* const kEmptyText = "Parameters must not be empty";

Index rowsOf(const CQXVariable& var) {
    return var.getRows() > 0 ? var.getRows() : 0;
}
Index colsOf(const CQXVariable& var) {
    return var.getCols() > 0 ? var.getCols() : 0;
}

// A matrix argument read into doubles, row by row. The functions read their arguments
// completely before they touch the result, so an argument that shares storage with the return
// variable (a host passing it back in) is never read after the result was resized or written.
struct sDense {
    Index m_Rows;
    Index m_Cols;
    std::vector<double> m_Values;

    explicit sDense(const CQXVariable& var) : m_Rows(rowsOf(var)), m_Cols(colsOf(var)) {
        m_Values.reserve(static_cast<std::size_t>(m_Rows * m_Cols));
        for (Index r = 0; r < m_Rows; ++r) {
            for (Index c = 0; c < m_Cols; ++c) {
                m_Values.push_back(var.getData_intern(static_cast<int>(r), static_cast<int>(c)));
            }
        }
    }
    bool empty() const { return m_Rows == 0 || m_Cols == 0; }
    double at(Index r, Index c) const { return m_Values[static_cast<std::size_t>(r * m_Cols + c)]; }
};

// Converts a size computed in 64 bits to the variable's int fields. A size beyond them can never
// be allocated, so it fails as an allocation failure does (std::bad_alloc, which the interpreter
// reports as "Unknown Exception").
int checkedSize(Index size) {
    if (size > INT32_MAX) throw std::bad_alloc();
    return static_cast<int>(size);
}

// A position, index or count argument truncated toward zero (NaN stays NaN and fails every
// range test of the callers, so nothing is converted before it is known to be in range).
double truncatedAt(const std::vector<CQXVariable*>& args, std::size_t index) {
    return std::trunc(qxrows::scalarOf(args[index]));
}

// The rows of a, with the rows of b inserted before row pos (row-major values).
std::vector<double> insertRows(const sDense& a, const sDense& b, Index pos) {
    std::vector<double> out;
    out.reserve(a.m_Values.size() + b.m_Values.size());
    const auto aSplit = a.m_Values.begin() + static_cast<std::ptrdiff_t>(pos * a.m_Cols);
    out.insert(out.end(), a.m_Values.begin(), aSplit);
    out.insert(out.end(), b.m_Values.begin(), b.m_Values.end());
    out.insert(out.end(), aSplit, a.m_Values.end());
    return out;
}

// Every row of a, with the columns of b inserted before column pos.
std::vector<double> insertCols(const sDense& a, const sDense& b, Index pos) {
    std::vector<double> out;
    out.reserve(a.m_Values.size() + b.m_Values.size());
    for (Index r = 0; r < a.m_Rows; ++r) {
        for (Index c = 0; c < pos; ++c) out.push_back(a.at(r, c));
        for (Index c = 0; c < b.m_Cols; ++c) out.push_back(b.at(r, c));
        for (Index c = pos; c < a.m_Cols; ++c) out.push_back(a.at(r, c));
    }
    return out;
}

// The elements of a without rows (or columns) first ... first + count - 1.
std::vector<double> withoutRows(const sDense& a, Index first, Index count) {
    std::vector<double> out(a.m_Values.begin(),
                            a.m_Values.begin() + static_cast<std::ptrdiff_t>(first * a.m_Cols));
    out.insert(out.end(),
               a.m_Values.begin() + static_cast<std::ptrdiff_t>((first + count) * a.m_Cols),
               a.m_Values.end());
    return out;
}

std::vector<double> withoutCols(const sDense& a, Index first, Index count) {
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(a.m_Rows * (a.m_Cols - count)));
    for (Index r = 0; r < a.m_Rows; ++r) {
        for (Index c = 0; c < a.m_Cols; ++c) {
            if (c < first || c >= first + count) out.push_back(a.at(r, c));
        }
    }
    return out;
}

// Whether first and count (both truncated) delete a run inside an extent of size, leaving at
// least one row or column: a matrix without rows or columns cannot be held by any variable, so
// deleting all of them is refused rather than reported as a success that changed nothing.
bool validDeletion(double first, double count, Index size, Index otherSize) {
    return first >= 0.0 && count >= 0.0 && first < size && count < size && first + count <= size &&
           otherSize >= 1;
}

// Orders that put NaN after every number in either direction, so the sort always sees a strict
// weak ordering (a plain < with NaN elements would leave the sort's behaviour undefined).
bool ascending(double a, double b) {
    return !std::isnan(a) && (std::isnan(b) || a < b);
}
bool descending(double a, double b) {
    return !std::isnan(a) && (std::isnan(b) || a > b);
}

// The precision of tostr: a negative digit count (or NaN) means the default of six decimals, and
// counts above qxtext::kMaxPrecision (340) are clamped to it: 340 decimals already reach some
// seventeen significant digits past the smallest double (about 4.9e-324), and they bound the
// text of any number to a few hundred characters.
int precisionOf(double digits) {
    if (!(digits >= 0.0)) return 6;
    if (digits > qxtext::kMaxPrecision) return qxtext::kMaxPrecision;
    return static_cast<int>(digits);
}

}  // namespace

// ---- rowins(A, B, pos) ----

CRowInsert::CRowInsert(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(3);
}

CRowInsert::~CRowInsert() = default;

eInterpreterState CRowInsert::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const sDense a(*(*args)[0]);
    const sDense b(*(*args)[1]);
    if (a.m_Cols != b.m_Cols) return raise("Rowinsert: cols of arguments must match");
    const double pos = truncatedAt(*args, 2);
    if (!(pos >= 0.0 && pos <= a.m_Rows)) return raise("Rowinsert: rowposition out of range");
    const Index rows = a.m_Rows + b.m_Rows;
    if (rows == 0 || a.m_Cols == 0) return raise(kEmptyText);
    setReturnMatrix(checkedSize(rows), checkedSize(a.m_Cols),
                    insertRows(a, b, static_cast<Index>(pos)));
    return isOK;
}

// ---- colins(A, B, pos) ----

CColInsert::CColInsert(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(3);
}

CColInsert::~CColInsert() = default;

eInterpreterState CColInsert::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const sDense a(*(*args)[0]);
    const sDense b(*(*args)[1]);
    if (a.m_Rows != b.m_Rows) return raise("Colinsert: rows of arguments must match");
    const double pos = truncatedAt(*args, 2);
    if (!(pos >= 0.0 && pos <= a.m_Cols)) return raise("Colinsert: colposition out of range");
    const Index cols = a.m_Cols + b.m_Cols;
    if (a.m_Rows == 0 || cols == 0) return raise(kEmptyText);
    setReturnMatrix(checkedSize(a.m_Rows), checkedSize(cols),
                    insertCols(a, b, static_cast<Index>(pos)));
    return isOK;
}

// ---- rowdel(A, first, count) ----

CRowDelete::CRowDelete(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(3);
}

CRowDelete::~CRowDelete() = default;

eInterpreterState CRowDelete::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const sDense a(*(*args)[0]);
    const double first = truncatedAt(*args, 1);
    const double count = truncatedAt(*args, 2);
    if (!validDeletion(first, count, a.m_Rows, a.m_Cols)) {
        return raise("Parameters out of Range in Function rowdel");
    }
    const Index n = static_cast<Index>(count);
    setReturnMatrix(checkedSize(a.m_Rows - n), checkedSize(a.m_Cols),
                    withoutRows(a, static_cast<Index>(first), n));
    return isOK;
}

// ---- coldel(A, first, count) ----

CColDelete::CColDelete(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(3);
}

CColDelete::~CColDelete() = default;

eInterpreterState CColDelete::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const sDense a(*(*args)[0]);
    const double first = truncatedAt(*args, 1);
    const double count = truncatedAt(*args, 2);
    if (!validDeletion(first, count, a.m_Cols, a.m_Rows)) {
        return raise("Parameters out of Range in Function coldel");
    }
    const Index n = static_cast<Index>(count);
    setReturnMatrix(checkedSize(a.m_Rows), checkedSize(a.m_Cols - n),
                    withoutCols(a, static_cast<Index>(first), n));
    return isOK;
}

// ---- transpose(A) ----

CTranspose::CTranspose(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(1);
}

CTranspose::~CTranspose() = default;

// An argument that shares storage with the result is transposed from an owned copy: resizing or
// writing the result in place would destroy what is still to be read.
eInterpreterState CTranspose::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    CQXVariable* a = (*args)[0];
    const int rows = a->getRows();
    const int cols = a->getCols();
    if (rows < 1 || cols < 1) return raise(kEmptyText);
    CQXVariable copy(m_pShared);
    if (a->sharesStorageWith(m_ReturnValue)) {
        const sDense values(*a);
        copy.initialize("", rows, cols, edtDOUBLE);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) copy.setData_intern(r, c, values.at(r, c));
        }
        a = &copy;
    }
    if (m_ReturnValue.getRows() != cols || m_ReturnValue.getCols() != rows) {
        resizeReturnVar(cols, rows);
    }
    CQXCalculation(m_pShared).transpose(a, &m_ReturnValue);
    return isOK;
}

// ---- sort(A, direction) ----

CSort::CSort(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(2);
}

CSort::~CSort() = default;

// The whole matrix is sorted in reading order (not column by column); NaN elements go last.
eInterpreterState CSort::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    sDense a(*(*args)[0]);
    if (a.empty()) return raise(kEmptyText);
    const bool down = qxrows::scalarOf((*args)[1]) != 0.0;
    std::sort(a.m_Values.begin(), a.m_Values.end(), down ? descending : ascending);
    setReturnMatrix(checkedSize(a.m_Rows), checkedSize(a.m_Cols), a.m_Values);
    return isOK;
}

// ---- where(A, value) ----

CWhere::CWhere(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(2);
}

CWhere::~CWhere() = default;

// Row 0 of the result holds the column index of each exact match, row 1 its row index, in
// reading order; without a match (an A without elements included) the result is the column
// (-1; -1). NaN never matches.
eInterpreterState CWhere::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const sDense a(*(*args)[0]);
    const double value = qxrows::scalarOf((*args)[1]);
    std::vector<double> colIndex;
    std::vector<double> rowIndex;
    for (Index r = 0; r < a.m_Rows; ++r) {
        for (Index c = 0; c < a.m_Cols; ++c) {
            if (a.at(r, c) != value) continue;
            colIndex.push_back(static_cast<double>(c));
            rowIndex.push_back(static_cast<double>(r));
        }
    }
    if (colIndex.empty()) {
        colIndex.push_back(-1.0);
        rowIndex.push_back(-1.0);
    }
    const int n = checkedSize(static_cast<Index>(colIndex.size()));
    colIndex.insert(colIndex.end(), rowIndex.begin(), rowIndex.end());
    setReturnMatrix(2, n, colIndex);
    return isOK;
}

// ---- tostr(x, digits) ----

CToString::CToString(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(2);
}

CToString::~CToString() = default;

// The fixed-point text of element (0, 0) of x, with a decimal point whatever the host's locale,
// as a string: one row of character codes.
eInterpreterState CToString::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const int precision = precisionOf(truncatedAt(*args, 1));
    const std::string text = qxtext::formatFixed(qxrows::scalarOf((*args)[0]), precision);
    std::vector<double> codes;
    codes.reserve(text.size());
    for (char ch : text) codes.push_back(static_cast<signed char>(ch));
    setReturnMatrix(1, checkedSize(static_cast<Index>(codes.size())), codes);
    return isOK;
}
