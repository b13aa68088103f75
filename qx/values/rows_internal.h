// Typed access to a variable's elements: the one switch over the element type, the visitors
// built on it (the type is decided once per call, the loops inside are written for the concrete
// type), and the small operand tests every layer shares. Library-internal; not installed.
#pragma once

#include <type_traits>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace qxrows {

// Names an element type where no row array is involved.
template <class T>
struct TypeTag {
    using type = T;
};

// Element type behind a row-array type such as double**.
template <class RowArray>
using ElemOf = std::remove_pointer_t<std::remove_pointer_t<RowArray>>;

template <class T>
constexpr eDataType dataTypeOf() {
    if constexpr (std::is_same_v<T, unsigned char>) return edtBYTE;
    if constexpr (std::is_same_v<T, unsigned short>) return edtSHORT;
    if constexpr (std::is_same_v<T, int>) return edtINT;
    if constexpr (std::is_same_v<T, float>) return edtFLOAT;
    if constexpr (std::is_same_v<T, double>) return edtDOUBLE;
}

// Calls f with the TypeTag of the element type and returns its result; a value outside the
// enumeration calls nothing and gives the result type's value-initialised value.
template <class F>
decltype(auto) withType(eDataType type, F&& f) {
    switch (type) {
        case edtBYTE:
            return f(TypeTag<unsigned char>{});
        case edtSHORT:
            return f(TypeTag<unsigned short>{});
        case edtINT:
            return f(TypeTag<int>{});
        case edtFLOAT:
            return f(TypeTag<float>{});
        case edtDOUBLE:
            return f(TypeTag<double>{});
    }
    return decltype(f(TypeTag<double>{}))();
}

// The variable's row array in element type T (null when it has none or holds another type).
template <class T>
T** rowArrayOf(const CQXVariable& v) {
    if constexpr (std::is_same_v<T, unsigned char>) return v.getBytePtr_intern();
    if constexpr (std::is_same_v<T, unsigned short>) return v.getShortPtr_intern();
    if constexpr (std::is_same_v<T, int>) return v.getIntPtr_intern();
    if constexpr (std::is_same_v<T, float>) return v.getFloatPtr_intern();
    if constexpr (std::is_same_v<T, double>) return v.getDoublePtr_intern();
}

// Calls f with the variable's row array in its own element type, which may be null.
template <class F>
void withRowArray(const CQXVariable& v, F&& f) {
    withType(v.getDataType(), [&](auto tag) { f(rowArrayOf<typename decltype(tag)::type>(v)); });
}

// Calls visit with the variable's row array in its own element type. False, and nothing
// visited, when the row array is absent.
template <class Visit>
bool withRows(const CQXVariable& v, Visit&& visit) {
    bool present = false;
    withRowArray(v, [&](auto** rows) {
        if (rows == nullptr) return;
        present = true;
        visit(rows);
    });
    return present;
}

inline bool isSingle(const CQXVariable* v) {
    return v != nullptr && v->getVarType() == vtSINGLE;
}

// Element (0, 0) as a double; a variable without storage reads 0.
inline double scalarOf(const CQXVariable* v) {
    return v->hasStorage() ? v->getData_intern(0, 0) : 0.0;
}

inline bool sameShape(const CQXVariable* a, const CQXVariable* b) {
    return a->getRows() == b->getRows() && a->getCols() == b->getCols();
}

// Whether stores into v saturate; a variable made without shared parameters behaves as with the
// default options.
inline bool clippingOn(const CQXVariable& v) {
    const CQXSharedParameter* shared = v.getShared_intern();
    return shared == nullptr || shared->m_bClipping;
}

// Whether an undefined result gets a substitute (the largest double for a zero divisor, say)
// instead of an error; without shared parameters the option is on, as by default.
inline bool smartErrorOn(const CQXSharedParameter* shared) {
    return shared == nullptr || shared->m_bSmartError;
}
inline bool smartErrorOn(const CQXVariable& v) {
    return smartErrorOn(v.getShared_intern());
}

}  // namespace qxrows
