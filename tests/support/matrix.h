// Fixtures shared by the unit tests: variables made from values and owned by one test, and the
// elements of a variable read back row by row.
#pragma once

#include <memory>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"

namespace qxtest {

using Values = std::vector<double>;

// The elements of v as doubles, row by row.
inline Values elements(const CQXVariable& v) {
    Values out;
    for (int r = 0; r < v.getRows(); ++r)
        for (int c = 0; c < v.getCols(); ++c) out.push_back(v.getData_intern(r, c));
    return out;
}

// Owns the variables of one test, all on one set of shared parameters (both options on).
class CMatrices {
public:
    // A rows x cols variable of the type holding values row by row, zeros where they run out.
    CQXVariable* make(int rows, int cols, const Values& values = {}, eDataType type = edtDOUBLE) {
        CQXVariable* v = fresh();
        v->initialize("", rows, cols, type);
        for (std::size_t k = 0; k < values.size(); ++k)
            v->setData_intern(static_cast<int>(k) / cols, static_cast<int>(k) % cols, values[k]);
        return v;
    }
    // A variable that was never given a shape: no rows, no storage.
    CQXVariable* fresh() {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        return m_Vars.back().get();
    }

    CQXSharedParameter m_Shared;

private:
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
};

}  // namespace qxtest
