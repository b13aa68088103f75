// numpy arrays lent to qx variables and qx variables read back into numpy arrays.
#include "arrays.h"

#include <climits>
#include <cstring>
#include <utility>

namespace qxpy {

namespace {

// Calls f with a null pointer of the element type, so that f can be one template for all five.
template <class F>
decltype(auto) withElementType(eDataType type, F&& f) {
    switch (type) {
        case edtBYTE:
            return f(static_cast<unsigned char*>(nullptr));
        case edtSHORT:
            return f(static_cast<unsigned short*>(nullptr));
        case edtINT:
            return f(static_cast<int*>(nullptr));
        case edtFLOAT:
            return f(static_cast<float*>(nullptr));
        default:
            return f(static_cast<double*>(nullptr));
    }
}

unsigned char** rowsOf(CQXVariable& var, unsigned char*) {
    return var.getBytePtr();
}
unsigned short** rowsOf(CQXVariable& var, unsigned short*) {
    return var.getShortPtr();
}
int** rowsOf(CQXVariable& var, int*) {
    return var.getIntPtr();
}
float** rowsOf(CQXVariable& var, float*) {
    return var.getFloatPtr();
}
double** rowsOf(CQXVariable& var, double*) {
    return var.getDoublePtr();
}

// Why an array cannot lend its memory as it is; kNone when it can.
enum class eProblem { kNone, kDims, kDType, kReadOnly, kAligned, kEmpty, kSize, kRowLayout };

struct sCheck {
    eProblem m_Problem = eProblem::kNone;
    std::string m_Message;
};

sCheck problem(eProblem kind, std::string message) {
    return sCheck{kind, std::move(message)};
}

std::string str(const py::handle& object) {
    return py::str(object).cast<std::string>();
}

// The shape an array has as a qx variable: 0-D is 1x1, 1-D is one row.
void shapeOf(const py::array& array, py::ssize_t& rows, py::ssize_t& cols) {
    rows = array.ndim() == 2 ? array.shape(0) : 1;
    cols = array.ndim() == 0 ? 1 : array.shape(array.ndim() - 1);
}

sCheck check(const py::array& array, eLend use, eDataType& type) {
    if (array.ndim() > 2)
        return problem(eProblem::kDims, "a " + std::to_string(array.ndim()) +
                                            "-D array has no qx shape; pass a 2-D or 1-D array "
                                            "(arr.reshape(rows, -1))");
    if (!elementTypeOf(array.dtype(), type))
        return problem(eProblem::kDType, "dtype " + str(array.dtype()) +
                                             " has no qx element type; pass uint8, uint16, int32, "
                                             "float32 or float64 (arr.astype(np.float64) copies)");
    if (use == eLend::kWrite && !array.writeable())
        return problem(eProblem::kReadOnly,
                       "the array is read-only and scripts may write it; pass a writeable array "
                       "(arr.copy())");
    if ((array.flags() & py::detail::npy_api::NPY_ARRAY_ALIGNED_) == 0)
        return problem(eProblem::kAligned,
                       "the array's elements are not aligned; pass an aligned array (arr.copy())");
    py::ssize_t rows = 0;
    py::ssize_t cols = 0;
    shapeOf(array, rows, cols);
    if (rows == 0 || cols == 0)
        return problem(eProblem::kEmpty,
                       "the array has no elements; qx variables have at least "
                       "one row and one column");
    if (rows > INT_MAX || cols > INT_MAX)
        return problem(eProblem::kSize, "the array has more rows or columns than qx can address (" +
                                            std::to_string(INT_MAX) + ")");
    const py::ssize_t step = array.ndim() == 0 ? array.itemsize() : array.strides(array.ndim() - 1);
    if (cols > 1 && step != array.itemsize())
        return problem(eProblem::kRowLayout,
                       "the elements of a row are " + std::to_string(step) +
                           " bytes apart, not adjacent; pass an array whose rows are contiguous "
                           "(np.ascontiguousarray(arr) copies)");
    return sCheck{};
}

// Fills the lent array's row array: row r starts r row strides after the first element.
template <class T>
void pointRows(sLentArray& lent) {
    const py::ssize_t stride = lent.m_Array.ndim() == 2 ? lent.m_Array.strides(0) : 0;
    char* first = static_cast<char*>(const_cast<void*>(lent.m_Array.data()));
    std::vector<T*> rows(static_cast<size_t>(lent.m_Rows));
    for (int r = 0; r < lent.m_Rows; ++r) rows[r] = reinterpret_cast<T*>(first + r * stride);
    lent.m_RowPtrs = std::move(rows);
}

sLentArray lent(const py::array& array, eDataType type) {
    sLentArray out;
    out.m_Array = array;
    out.m_Type = type;
    py::ssize_t rows = 0;
    py::ssize_t cols = 0;
    shapeOf(array, rows, cols);
    out.m_Rows = static_cast<int>(rows);
    out.m_Cols = static_cast<int>(cols);
    withElementType(type, [&](auto* tag) { pointRows<std::remove_pointer_t<decltype(tag)>>(out); });
    return out;
}

template <class T>
T** rowArray(sLentArray& lent) {
    return std::get<std::vector<T*>>(lent.m_RowPtrs).data();
}

}  // namespace

bool elementTypeOf(const py::dtype& dtype, eDataType& type) {
    if (!dtype.attr("isnative").cast<bool>()) return false;
    const char kind = dtype.kind();
    const py::ssize_t size = dtype.itemsize();
    if (kind == 'u' && size == 1)
        type = edtBYTE;
    else if (kind == 'u' && size == 2)
        type = edtSHORT;
    else if (kind == 'i' && size == 4)
        type = edtINT;
    else if (kind == 'f' && size == 4)
        type = edtFLOAT;
    else if (kind == 'f' && size == 8)
        type = edtDOUBLE;
    else
        return false;
    return true;
}

py::dtype dtypeOf(eDataType type) {
    return withElementType(
        type, [](auto* tag) { return py::dtype::of<std::remove_pointer_t<decltype(tag)>>(); });
}

const char* dtypeName(eDataType type) {
    static const char* const kNames[] = {"uint8", "uint16", "int32", "float32", "float64"};
    return type >= edtBYTE && type <= edtDOUBLE ? kNames[type - edtBYTE] : "float64";
}

eDataType elementTypeNamed(const py::handle& given) {
    static const char* const kQxNames[] = {"byte", "short", "int", "float", "double"};
    if (py::isinstance<py::str>(given)) {
        const std::string name = given.cast<std::string>();
        for (int i = 0; i < 5; ++i)
            if (name == kQxNames[i]) return static_cast<eDataType>(edtBYTE + i);
    }
    eDataType type = edtDOUBLE;
    try {
        if (elementTypeOf(py::dtype::from_args(py::reinterpret_borrow<py::object>(given)), type))
            return type;
    } catch (const py::error_already_set&) {
    }
    throw py::type_error("element type " + str(py::repr(given)) +
                         " is not one of 'byte', 'short', 'int', 'float', 'double' (or "
                         "np.uint8, np.uint16, np.int32, np.float32, np.float64)");
}

sLentArray lendArray(const py::array& array, const std::string& what, eLend use) {
    eDataType type = edtDOUBLE;
    const sCheck found = check(array, use, type);
    if (found.m_Problem == eProblem::kDType) throw py::type_error(what + ": " + found.m_Message);
    if (found.m_Problem != eProblem::kNone) throw py::value_error(what + ": " + found.m_Message);
    return lent(array, type);
}

sLentArray lendValue(const py::handle& value, const std::string& what) {
    py::array array = py::array::ensure(value);
    eDataType type = edtDOUBLE;
    if (array) {
        const sCheck found = check(array, eLend::kRead, type);
        if (found.m_Problem == eProblem::kNone) return lent(array, type);
        if (found.m_Problem != eProblem::kDType && found.m_Problem != eProblem::kRowLayout &&
            found.m_Problem != eProblem::kAligned)
            throw py::value_error(what + ": " + found.m_Message);
    }
    // Values cross element types as doubles; the library converts them on the way in.
    auto copy = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
    if (!copy)
        throw py::type_error(what + ": " + str(py::repr(value)) +
                             " is not a number or an array of numbers");
    return lendArray(copy, what, eLend::kRead);
}

CQXVariable* addReference(CQXCompiler& qx, const std::string& name, sLentArray& lent) {
    return withElementType(lent.m_Type, [&](auto* tag) {
        using T = std::remove_pointer_t<decltype(tag)>;
        return qx.addReferenceVar(name, lent.m_Rows, lent.m_Cols, rowArray<T>(lent));
    });
}

bool changeReference(CQXVariable& var, sLentArray& lent) {
    return withElementType(lent.m_Type, [&](auto* tag) {
        using T = std::remove_pointer_t<decltype(tag)>;
        return var.changeReference(lent.m_Rows, lent.m_Cols, rowArray<T>(lent));
    });
}

CQXVariable* addTemporary(CQXVarManager& vars, sLentArray& lent) {
    const int rows = lent.m_Rows;
    const int cols = lent.m_Cols;
    switch (lent.m_Type) {
        case edtBYTE:
            return vars.addByteVar("", rows, cols, rowArray<unsigned char>(lent));
        case edtSHORT:
            return vars.addShortVar("", rows, cols, rowArray<unsigned short>(lent));
        case edtINT:
            return vars.addIntVar("", rows, cols, rowArray<int>(lent));
        case edtFLOAT:
            return vars.addFloatVar("", rows, cols, rowArray<float>(lent));
        default:
            return vars.addDoubleVar("", rows, cols, rowArray<double>(lent));
    }
}

py::array copyOf(CQXVariable& var) {
    return withElementType(var.getDataType(), [&](auto* tag) -> py::array {
        using T = std::remove_pointer_t<decltype(tag)>;
        const int rows = var.getRows() > 0 ? var.getRows() : 0;
        const int cols = var.getCols() > 0 ? var.getCols() : 0;
        py::array_t<T> out({rows, cols});
        T* into = out.mutable_data();
        T** from = rowsOf(var, tag);
        for (int r = 0; r < rows; ++r) {
            T* row = into + static_cast<size_t>(r) * cols;
            if (from != nullptr && from[r] != nullptr) {
                std::memcpy(row, from[r], sizeof(T) * static_cast<size_t>(cols));
            } else {
                std::fill(row, row + cols, T(0));
            }
        }
        return std::move(out);
    });
}

py::array viewOf(CQXVariable& var, const py::handle& base, bool writable) {
    return withElementType(var.getDataType(), [&](auto* tag) -> py::array {
        using T = std::remove_pointer_t<decltype(tag)>;
        const int rows = var.getRows();
        const int cols = var.getCols();
        T** from = rowsOf(var, tag);
        if (from == nullptr || rows < 1 || cols < 1) return copyOf(var);
        const py::ssize_t stride =
            rows > 1 ? reinterpret_cast<char*>(from[1]) - reinterpret_cast<char*>(from[0])
                     : static_cast<py::ssize_t>(sizeof(T)) * cols;
        for (int r = 1; r < rows; ++r) {
            if (reinterpret_cast<char*>(from[r]) != reinterpret_cast<char*>(from[0]) + r * stride) {
                py::array copy = copyOf(var);
                copy.attr("setflags")(py::arg("write") = false);
                return copy;
            }
        }
        py::array view(py::dtype::of<T>(), {rows, cols},
                       {stride, static_cast<py::ssize_t>(sizeof(T))}, from[0], base);
        if (!writable) view.attr("setflags")(py::arg("write") = false);
        return view;
    });
}

}  // namespace qxpy
