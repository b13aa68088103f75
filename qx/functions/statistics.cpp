// The standard functions min, max and median: each combines two or three matrices of equal
// shape element by element into its return variable. The whole-matrix reductions (the median,
// variance and std methods) live in CQXCalculation.
#include "qx/functions/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "qx/values/rows_internal.h"

namespace {

const char* const kSizeText = "Size of Parameters must be equal";
// A result has at least one element, so arguments without any cannot be combined.
const char* const kEmptyText = "Parameters must not be empty";

using qxrows::sameShape;

// b when it is less than or equal to a, or when the two are unordered (a NaN on either side).
double pickMin(double a, double b) {
    return a < b ? a : b;
}
// b when it is greater than or equal to a, or when the two are unordered.
double pickMax(double a, double b) {
    return a > b ? a : b;
}

// The middle of three values in an order that puts NaN after every number (as the median
// method does), so one NaN among three gives the larger of the two numbers and two or three
// NaNs give NaN.
double pickMiddle(double a, double b, double c) {
    double v[3] = {a, b, c};
    std::sort(v, v + 3, [](double x, double y) {
        if (std::isnan(x)) return false;
        return std::isnan(y) || x < y;
    });
    return v[1];
}

// What combining the arguments gave: an error text, or the shape and the values row by row.
struct Combined {
    const char* error = nullptr;
    int rows = 0;
    int cols = 0;
    std::vector<double> values;
};

// Checks that the first count arguments share one shape with at least one element, then
// combines element (r, c) of each by pick. The values are gathered before the return variable
// is touched, because resizing it may release storage an argument refers to.
template <typename Pick>
Combined combine(const std::vector<CQXVariable*>& args, std::size_t count, Pick pick) {
    Combined out;
    for (std::size_t i = 1; i < count; ++i) {
        if (!sameShape(args[0], args[i])) {
            out.error = kSizeText;
            return out;
        }
    }
    out.rows = args[0]->getRows();
    out.cols = args[0]->getCols();
    if (out.rows < 1 || out.cols < 1) {
        out.error = kEmptyText;
        return out;
    }
    out.values.reserve(static_cast<std::size_t>(out.rows) * static_cast<std::size_t>(out.cols));
    double v[3] = {0.0, 0.0, 0.0};
    for (int r = 0; r < out.rows; ++r) {
        for (int c = 0; c < out.cols; ++c) {
            for (std::size_t i = 0; i < count; ++i) v[i] = args[i]->getData_intern(r, c);
            out.values.push_back(pick(v));
        }
    }
    return out;
}

}  // namespace

CMinimum::CMinimum(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(2);
}

CMinimum::~CMinimum() = default;

eInterpreterState CMinimum::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const Combined out = combine(*args, 2, [](const double* v) { return pickMin(v[0], v[1]); });
    if (out.error != nullptr) return raise(out.error);
    return setReturnMatrix(out.rows, out.cols, out.values) ? isOK : raise(kEmptyText);
}

CMaximum::CMaximum(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(2);
}

CMaximum::~CMaximum() = default;

eInterpreterState CMaximum::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const Combined out = combine(*args, 2, [](const double* v) { return pickMax(v[0], v[1]); });
    if (out.error != nullptr) return raise(out.error);
    return setReturnMatrix(out.rows, out.cols, out.values) ? isOK : raise(kEmptyText);
}

CMedian::CMedian(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(3);
}

CMedian::~CMedian() = default;

eInterpreterState CMedian::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const Combined out =
        combine(*args, 3, [](const double* v) { return pickMiddle(v[0], v[1], v[2]); });
    if (out.error != nullptr) return raise(out.error);
    return setReturnMatrix(out.rows, out.cols, out.values) ? isOK : raise(kEmptyText);
}
