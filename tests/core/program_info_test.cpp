// Tests of what a host learns about a compiled program without running it: the listing (a
// golden text), the global variables it reads and writes, and the signatures of the
// registered functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qx/qx.h"

namespace {

std::string names(const std::vector<CQXVariable*>& vars) {
    std::string text;
    for (const CQXVariable* v : vars) text += (text.empty() ? "" : " ") + v->getName();
    return text;
}

TEST(ProgramListing, ShowsEveryBlockWithOperandsAndPositions) {
    CQXCompiler c;
    c.loadStdFunctions();
    ASSERT_TRUE(
        c.runCompiler("double v[2][3], s, i;\n"
                      "func scale(m[2][3], &out) { out = m * 2; return m.sum; }\n"
                      "s = scale(v, v) + sqrt(\"ab\");\n"
                      "while (i < 2) { v[i][*] = v[0, 1][*]; i++; }\n"))
        << c.getError();
    EXPECT_EQ(c.getListing(),
              "main: 8 instructions\n"
              "   0  [3:14]    otREFERENCE    A=out  B=v\n"
              "   1  [3:14]    otASSIGN       A=m  B=v\n"
              "   2  [3:15]    otCALL         F=scale()  R=t0\n"
              "   3  [3:27]    otASSIGN       A=t1  B=\"ab\"\n"
              "   4  [3:28]    otCALL         F=sqrt(t1)  R=t2\n"
              "   5  [3:28]    otADD          A=t0  B=t2  R=t3\n"
              "   6  [3:29]    otASSIGN       A=s  B=t3\n"
              "   7  [4:7]     otBLOCK\n"
              "      block: 2 instructions\n"
              "         0  [4:12]    otLESS         A=i  B=2  R=t4\n"
              "         1  [4:13]    otCONDITION    A=t4  repeat\n"
              "            then: 2 instructions\n"
              "               0  [4:37]    otASSIGN       A=v[i, 1][0, 3]  B=v[0, 1][0, 3]\n"
              "               1  [4:41]    otINC          A=i\n"
              "\n"
              "func scale(m[2][3], &out) returns a value: 4 instructions\n"
              "   0  [2:39]    otMUL          A=m  B=2  R=t5\n"
              "   1  [2:40]    otASSIGN       A=out  B=t5\n"
              "   2  [2:53]    otSUM          A=m  R=t6\n"
              "   3  [2:54]    otRETURN       A=return  B=t6\n");
}

TEST(ProgramAccess, ListsTheGlobalsAProgramReadsAndWrites) {
    CQXCompiler c;
    c.loadStdFunctions();
    for (const char* name : {"a", "b", "idx", "vec", "val", "out", "unused"})
        ASSERT_NE(c.addDoubleVar(name, 2, 2), nullptr);
    std::vector<CQXVariable*> reads;
    std::vector<CQXVariable*> writes;
    EXPECT_FALSE(c.getVarAccess(reads, writes));  // nothing compiled yet
    ASSERT_TRUE(
        c.runCompiler("func fill(&r, x) { r[0][*] = x; }\n"  // writes through a reference parameter
                      "func pass(&q) { fill(q, 1); }\n"      // ... handed on to another function
                      "func peek() { return a[0][0]; }\n"    // reads a global directly
                      "b[idx[0][0]][0] = peek();\n"          // an index is read, b is written
                      "eigens(b, vec, val);\n"               // reference arguments are written
                      "pass(out);\n"))
        << c.getError();
    ASSERT_TRUE(c.getVarAccess(reads, writes));
    // fill reads the column count of r for r[0][*]: out is read as well.
    EXPECT_EQ(names(reads), "a b idx out");
    EXPECT_EQ(names(writes), "b vec val out");
    // One script function alone; a function that is not a script function has no body.
    ASSERT_TRUE(c.getVarAccess(reads, writes, c.getFunc("peek")));
    EXPECT_EQ(names(reads), "a");
    EXPECT_EQ(names(writes), "");
    EXPECT_FALSE(c.getVarAccess(reads, writes, c.getFunc("eigens")));
    EXPECT_TRUE(reads.empty() && writes.empty());
}

TEST(FunctionSignatures, GiveParameterKindsAndReturnKind) {
    CQXCompiler c;
    c.loadStdFunctions();
    ASSERT_TRUE(c.runCompiler("func f(a, m[2][3], &r) { r = a; }\n")) << c.getError();
    std::string all;
    for (int i = 0; i < c.getFuncCount(); ++i) {
        const CQXFunction* func = c.getFunc(i);
        if (func->getName() != "eigens" && func->getName() != "f") continue;
        all += func->getName() + (func->isScriptFunction() ? " script" : " library") +
               (func->getReturnType() ? " value:" : " none:");
        for (int p = 0; p < func->getParamCount(); ++p) {
            const sParameterInfo info = func->getParamInfo(p);
            all += " " + info.m_Name + "/" + std::to_string(info.m_Kind) + "/" +
                   std::to_string(info.m_Rows) + "x" + std::to_string(info.m_Cols);
        }
        all += ";";
    }
    EXPECT_EQ(all,
              "eigens library value: /0/0x0 /2/0x0 /2/0x0;f script none: a/1/1x1 m/1/2x3 r/2/0x0;");
    EXPECT_EQ(c.getFunc(c.getFuncCount()), nullptr);
    EXPECT_EQ(c.getFunc(-1), nullptr);
}

}  // namespace
