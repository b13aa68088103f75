// The listing of qxrun: comment lines where no qx text gives a value back, and for names a
// script cannot write.
#include "printer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(QxrunPrinterTest, ListingsWithoutQxTextAreComments) {
    const double inf = std::numeric_limits<double>::infinity();
    CQXCompiler qx;
    CQXVariable* m = qx.addDoubleVar("m", 2, 2);
    const double values[] = {1, inf, NAN, -inf};
    for (int i = 0; i < 4; ++i) m->setData(i / 2, i % 2, values[i]);
    const std::string listing = formatAssignment(*m);
    EXPECT_EQ(listing,
              "// m cannot be written as qx text (it holds inf or nan):\n"
              "// m = [  1,  inf;\n"
              "//      nan, -inf];");
    EXPECT_TRUE(qx.runCompiler(listing)) << qx.getError();
    // Only a host can make an empty variable.
    EXPECT_EQ(formatAssignment(*qx.addDoubleVar("e", 0, 3)), "// e is empty");
}
