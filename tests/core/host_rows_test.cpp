// Host matrices whose rows are separate allocations, the usual way a host builds a double**:
// rows in static storage, on the heap and on the stack, allocated one by one, in descending
// address order, or at the two ends of one buffer with another variable's rows between them.
// Scripts must compute on them exactly as on a matrix held in one block.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

using Rows = std::vector<std::vector<double>>;

Rows valuesOf(CQXVariable* v) {
    Rows out(static_cast<std::size_t>(v->getRows()));
    for (int r = 0; r < v->getRows(); ++r) {
        for (int c = 0; c < v->getCols(); ++c) out[r].push_back(v->getData(r, c));
    }
    return out;
}

void run(CQXCompiler& qx, const std::string& text) {
    ASSERT_TRUE(qx.runCompiler(text)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter()) << qx.getException();
}

double staticRows[3][3];

// Rows in static storage, on the heap and on the stack lie far apart, and every allocation the
// library makes for a temporary falls between them.
TEST(HostRowsTest, RowsInStaticHeapAndStackStorage) {
    auto heap = std::make_unique<double[]>(9);
    double stack[3][3] = {};
    double* h[3] = {staticRows[0], &heap[0], stack[0]};
    double* v[3] = {stack[1], staticRows[1], &heap[3]};
    double* d[3] = {&heap[6], stack[2], staticRows[2]};
    CQXCompiler qx;
    qx.loadStdFunctions();
    qx.addReferenceVar("h", 3, 3, h);
    qx.addReferenceVar("v", 3, 3, v);
    qx.addReferenceVar("d", 3, 3, d);
    qx.addResizeDoubleVar("r");
    run(qx, "h = [2, 1, 0; 1, 2, 0; 0, 0, 5]; r = h * 2; eigens(h, v, d); h = h * 2;");
    EXPECT_EQ(valuesOf(qx.getVar("r")), (Rows{{4, 2, 0}, {2, 4, 0}, {0, 0, 10}}));
    EXPECT_EQ(valuesOf(qx.getVar("h")), (Rows{{4, 2, 0}, {2, 4, 0}, {0, 0, 10}}));
    const Rows values = valuesOf(qx.getVar("d"));
    const double expected[3] = {1, 3, 5};
    const double s = std::sqrt(0.5);
    const Rows vectors = {{s, s, 0}, {s, s, 0}, {0, 0, 1}};  // up to sign
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(values[i][j], i == j ? expected[i] : 0.0, 1e-12) << i << "," << j;
            EXPECT_NEAR(std::fabs(qx.getVar("v")->getData(i, j)), vectors[i][j], 1e-12);
        }
    }
}

// Rows allocated one by one, the same rows in descending order, and rows at the two ends of one
// buffer with the rows of another variable in the middle.
TEST(HostRowsTest, RowsAllocatedOneByOneOrFarApart) {
    std::vector<std::unique_ptr<double[]>> single;
    for (int i = 0; i < 4; ++i) single.push_back(std::make_unique<double[]>(2));
    std::vector<double> buffer(4096);
    double* const ends = buffer.data();
    const struct {
        const char* name;
        double* h[2];
        double* m[2];
    } layouts[] = {
        {"one by one", {single[0].get(), single[1].get()}, {single[2].get(), single[3].get()}},
        {"descending", {single[1].get(), single[0].get()}, {single[3].get(), single[2].get()}},
        {"far apart", {ends, ends + 4094}, {ends + 2000, ends + 2002}},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        double* h[2] = {layout.h[0], layout.h[1]};
        double* m[2] = {layout.m[0], layout.m[1]};
        CQXCompiler qx;
        qx.addReferenceVar("h", 2, 2, h);
        qx.addReferenceVar("m", 2, 2, m);
        qx.addResizeDoubleVar("r");
        run(qx, "h = [1, 2; 3, 4]; m = h + 1; r = h * m; h = h * 2; m = m - h;");
        EXPECT_EQ(valuesOf(qx.getVar("r")), (Rows{{10, 13}, {22, 29}}));
        EXPECT_EQ(valuesOf(qx.getVar("h")), (Rows{{2, 4}, {6, 8}}));
        EXPECT_EQ(valuesOf(qx.getVar("m")), (Rows{{0, -1}, {-2, -3}}));
    }
}

}  // namespace
