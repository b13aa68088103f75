// numpy arrays and qx variables: which dtypes map to the five element types, how an array's
// memory is lent to a variable as a row array (no copy), and how a variable's elements come
// back to Python as a copy or as a view.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <qx/qx.h>

#include <string>
#include <variant>
#include <vector>

namespace qxpy {

namespace py = pybind11;

// The element type of a numpy dtype (uint8, uint16, int32, float32, float64 in native byte
// order); false for any other dtype.
bool elementTypeOf(const py::dtype& dtype, eDataType& type);
py::dtype dtypeOf(eDataType type);
// "uint8" ... "float64": how Python users name the element types.
const char* dtypeName(eDataType type);
// The element type named by a qx type name ("byte" ... "double") or anything np.dtype accepts;
// TypeError for anything else.
eDataType elementTypeNamed(const py::handle& given);

// A numpy array whose memory a variable refers to: the array (kept alive as long as this
// lives) and the row array that points into it, one entry per row.
struct sLentArray {
    py::array m_Array;
    eDataType m_Type = edtDOUBLE;
    int m_Rows = 0;
    int m_Cols = 0;
    // The row array, of the element type's pointers.
    std::variant<std::vector<unsigned char*>, std::vector<unsigned short*>, std::vector<int*>,
                 std::vector<float*>, std::vector<double*>>
        m_RowPtrs;
};

// What a lent array is for: only memory a script may write must be writeable.
enum class eLend { kRead, kWrite };

// Checks that array can lend its memory as it is: 0-D (1x1), 1-D (1xN) or 2-D, a mapped dtype,
// native byte order, aligned, adjacent elements within each row (any row stride), at least one
// element, writeable when written. Anything else raises TypeError or ValueError saying what to
// pass instead; what names the array in the message.
sLentArray lendArray(const py::array& array, const std::string& what, eLend use);
// As lendArray, for values that are read once: anything np.asarray understands; what cannot be
// lent as it is (other dtypes, Python numbers and lists, scattered rows) is copied to float64.
sLentArray lendValue(const py::handle& value, const std::string& what);

// Adds a global variable over the lent array (null when the name is taken), re-points an
// existing reference variable to it (false when the library refuses), or adds an unnamed
// variable over it to a manager of the binding's own.
CQXVariable* addReference(CQXCompiler& qx, const std::string& name, sLentArray& lent);
bool changeReference(CQXVariable& var, sLentArray& lent);
CQXVariable* addTemporary(CQXVarManager& vars, sLentArray& lent);

// A new 2-D array with a copy of the variable's elements, of its element type; rows x cols
// zeros for a variable without storage. The caller holds the compiler's lock.
py::array copyOf(CQXVariable& var);
// A 2-D array over the variable's elements, kept alive by base, read-only unless writable;
// a copy (read-only) when the rows are not evenly spaced in memory. The caller holds the lock
// and must not let the array outlive the storage.
py::array viewOf(CQXVariable& var, const py::handle& base, bool writable);

}  // namespace qxpy
