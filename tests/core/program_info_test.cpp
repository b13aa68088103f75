// Tests of what a host learns about a compiled program without running it: the global
// variables it reads and writes, and the signatures of the registered functions. The listing
// is pinned by the golden scripts.
#include <gtest/gtest.h>

#include "qx/qx.h"

static std::string names(const std::vector<CQXVariable*>& vars) {
    std::string text;
    for (const CQXVariable* v : vars) text += (text.empty() ? "" : " ") + v->getName();
    return text;
}

TEST(ProgramInfo, GlobalsAProgramReadsAndWritesAndFunctionSignatures) {
    CQXCompiler c;
    c.loadStdFunctions();
    for (const char* name : {"a", "b", "idx", "vec", "val", "out", "unused"})
        ASSERT_NE(c.addDoubleVar(name, 2, 2), nullptr);
    std::vector<CQXVariable*> reads, writes;
    EXPECT_FALSE(c.getVarAccess(reads, writes));  // nothing compiled yet
    EXPECT_EQ(c.getListing(), "main: no compiled program\n");
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
    EXPECT_EQ(names(reads) + "|" + names(writes), "a b idx out|b vec val out");
    // One script function alone; a function that is not a script function has no body.
    ASSERT_TRUE(c.getVarAccess(reads, writes, c.getFunc("peek")));
    EXPECT_EQ(names(reads) + "|" + names(writes), "a|");
    EXPECT_FALSE(c.getVarAccess(reads, writes, c.getFunc("eigens")));
    EXPECT_TRUE(reads.empty() && writes.empty());

    // The signatures of a library and a script function.
    ASSERT_TRUE(c.runCompiler("func f(a, m[2][3], &r) { r = a; }\n")) << c.getError();
    std::string all;
    for (const char* name : {"eigens", "f"}) {
        const CQXFunction* func = c.getFunc(name);
        all += func->getName() + (func->isScriptFunction() ? " script" : " library") +
               (func->getReturnType() ? " value:" : " none:");
        for (int p = 0; p <= func->getParamCount(); ++p) {
            const sParameterInfo info = func->getParamInfo(p);
            all += " " + info.m_Name + "/" + std::to_string(info.m_Kind) + "/" +
                   std::to_string(info.m_Rows) + "x" + std::to_string(info.m_Cols);
        }
        all += ";";
    }
    // The entry past the last parameter is an unnamed value.
    EXPECT_EQ(all,
              "eigens library value: /0/0x0 /2/0x0 /2/0x0 /0/0x0;"
              "f script none: a/1/1x1 m/1/2x3 r/2/0x0 /0/0x0;");
    EXPECT_EQ(c.getFunc(c.getFuncCount() - 1), c.getFunc("f"));
    EXPECT_TRUE(c.getFunc(c.getFuncCount()) == nullptr && c.getFunc(-1) == nullptr);
}
