// Typed access to a variable's row array for the kernels: the element type is decided once per
// call and the loops inside are written for the concrete type. Library-internal; not installed.
#pragma once

#include "qx/values/variable.h"

namespace qxrows {

template <class T, class Visit>
bool visitIfPresent(T** rows, Visit& visit) {
    if (rows == nullptr) return false;
    visit(rows);
    return true;
}

// Calls visit with the variable's row array in its own element type. False, and nothing
// visited, when the row array is absent.
template <class Visit>
bool withRows(const CQXVariable& v, Visit&& visit) {
    switch (v.getDataType()) {
        case edtBYTE:
            return visitIfPresent(v.getBytePtr_intern(), visit);
        case edtSHORT:
            return visitIfPresent(v.getShortPtr_intern(), visit);
        case edtINT:
            return visitIfPresent(v.getIntPtr_intern(), visit);
        case edtFLOAT:
            return visitIfPresent(v.getFloatPtr_intern(), visit);
        case edtDOUBLE:
            return visitIfPresent(v.getDoublePtr_intern(), visit);
    }
    return false;
}

}  // namespace qxrows
