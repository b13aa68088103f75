// The blocked matrix product behind CQXVariable::mulmatrix for larger operands: the operands'
// rows are handed to a cache-blocked GEMM (mapped in place when they are equally spaced doubles,
// packed into contiguous doubles otherwise). Small products keep the simple kernel.
#pragma once

class CQXVariable;

namespace qxproduct {

// Products below this many multiply-adds, or with a side shorter than kMinSide, are faster in
// the simple kernel than with the set-up of the blocked one.
constexpr long long kMinWork = 16LL * 16 * 16;
constexpr int kMinSide = 8;

inline bool worthBlocking(int rows, int inner, int cols) {
    return rows >= kMinSide && inner >= kMinSide && cols >= kMinSide &&
           static_cast<long long>(rows) * inner * cols >= kMinWork;
}

// out (rows x cols, a row array of doubles) := a (rows x inner) * b (inner x cols). False, with
// nothing written, when a row of a, b or out is absent: the simple kernel then skips those rows
// as usual. out must not share storage with a or b.
bool blockedProduct(double** out, const CQXVariable& a, const CQXVariable& b, int rows, int inner,
                    int cols);

}  // namespace qxproduct
