// Compile errors: each script fails with its exact type text, line, position and detail. The
// position is taken from the lexer at the moment of the report, so these cases also pin down
// where each check happens in the compiler.
#include <gtest/gtest.h>

#include "qx/qx.h"

namespace {

struct ErrorCase {
    const char* script;
    const char* error;
};

void expectCompileErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        CQXCompiler qx;
        qx.loadStdFunctions();
        qx.loadStdVars();
        EXPECT_FALSE(qx.runCompiler(c.script)) << c.script;
        EXPECT_EQ(qx.getError(), c.error) << c.script;
        EXPECT_FALSE(qx.runInterpreter()) << "a failed compile must leave nothing to run";
    }
}

TEST(CompileErrorTest, Statements) {
    expectCompileErrors({
        {"x = 1;", "Unknown Identifier on line 1, position 0. \nName= x"},
        {";", "Syntaxerror on line 1, position 0. unexpected symbol"},
        {"#", "Syntaxerror on line 1, position -1. unexpected symbol"},
        {"double a; if (a) ;", "Syntaxerror on line 1, position 17. unexpected symbol"},
        {"double a; if (a) double b;",
         "Syntaxerror on line 1, position 22. no empty instructions allowed"},
        {"break;", "Syntaxerror on line 1, position 4. break unexpected"},
        {"continue;", "Syntaxerror on line 1, position 7. break unexpected"},
        {"double a, x; while (a) x = x - 1; break;",
         "Syntaxerror on line 1, position 38. break unexpected"},
        {"return 1;", "Syntaxerror on line 1, position 5. no global return allowed"},
        {"double a; if (a) {",
         "Syntaxerror on line 1, position 17. unexpected end. missing bracket?"},
        {"}", "Syntaxerror on line 1, position 0. } unexpected"},
        {"{", "Syntaxerror on line 1, position 0. unexpected end. missing bracket?"},
        {"double i; for (double i = 0; i < 3; i++;) {}",
         "Syntaxerror on line 1, position 14. name expected"},
        {"double i, x; for (i = 0; i < 3; i++) x++;",
         "Syntaxerror on line 1, position 35. colon expected"},
        {"double x; x = 1", "Syntaxerror on line 1, position 14. colon expected"},
        {"double a; if a) x;", "( or { or [ expected on line 1, position 12. "},
        {"double a; else a = 1;", "Syntaxerror on line 1, position 13. unexpected symbol"},
        {"while (1) { func f() { break; } }",
         "Syntaxerror on line 1, position 27. break unexpected"},
    });
}

TEST(CompileErrorTest, LinesAndPositionsFollowTheLexer) {
    expectCompileErrors({
        // After a line break skipped as white space a line counts from 1, after a comment
        // from 0.
        {"double a;\nb = 1;", "Unknown Identifier on line 2, position 1. \nName= b"},
        {"// note\nb = 1;", "Unknown Identifier on line 2, position 0. \nName= b"},
        {"/* one\ntwo */ b = 1;", "Unknown Identifier on line 2, position 7. \nName= b"},
    });
}

TEST(CompileErrorTest, Declarations) {
    expectCompileErrors({
        {"int m[3];", "( or { or [ expected on line 1, position 8. "},
        {"double a[0][2];", "Index Error on line 1, position 9. "},
        {"double a[0.5][1];", "Index Error on line 1, position 11. "},
        {"double a[-1][2];", "Syntaxerror on line 1, position 9. numeric Value expected"},
        {"double a = 1;", "Syntaxerror on line 1, position 9. unexpected end of deklaration"},
        {"double a", "Syntaxerror on line 1, position 7. unexpected end of deklaration"},
        {"double x; double x;",
         "Error in Declaration or Variable already declared on line 1, position 18. "},
        {"double pi;", "Error in Declaration or Variable already declared on line 1, position 9. "},
        {"double 1;", "Name expected on line 1, position 6. "},
    });
}

TEST(CompileErrorTest, FunctionDefinitions) {
    expectCompileErrors({
        {"func f(&a[2][2]) { }",
         "Can't refere to Expression or resizable Variable on line 1, position 9. "},
        {"func f(a[]) { }", "Unexpected undefined Variable on line 1, position 9. "},
        {"func sin(x) { return x; }", "Function already declared on line 1, position 7. "},
        {"double v; func v() { }", "Variable already declared on line 1, position 15. "},
        {"func f { }", "( or { or [ expected on line 1, position 7. "},
        {"func f() return 1;", "( or { or [ expected on line 1, position 8. "},
        {"func f(a b) { }", "Syntaxerror on line 1, position 8. unexpected end of deklaration"},
        {"func f() { func g() { } }",
         "Syntaxerror on line 1, position 14. no local function declaration allowed"},
        {"func f() { if (1) {",
         "Syntaxerror on line 1, position 18. unexpected end. missing bracket?"},
        {"func f() { return f(); }", "Unknown Identifier on line 1, position 17. \nName= f"},
        {"double x; func h() { x = 1; } x = h();",
         "Function has no Return Type on line 1, position 36. "},
        {"func g(&r) { r = 1; } double a; g(a + 1);",
         "Can't refere to Expression or resizable Variable on line 1, position 38. "},
        {"func g(&r) { r = 1; } double a[2][2]; g(a[0][0]);",
         "Can't refere to Expression or resizable Variable on line 1, position 46. "},
        {"func g(&r) { r = 1; } double a[]; g(a);",
         "Can't refere to Expression or resizable Variable on line 1, position 36. "},
        {"func g(&r) { r = 1; } g(pi);",
         "Constant can not be LValue or Reference on line 1, position 25. "},
    });
}

TEST(CompileErrorTest, AssignmentTargets) {
    expectCompileErrors({
        {"double c[2][2]; c.resize(2, 3);",
         "Can't change size of non resizeable Variable on line 1, position 23. "},
        {"double c[]; c[0][0].resize(2, 3);",
         "Can't change size of non resizeable Variable on line 1, position 25. "},
        {"double r[]; r.resize(2);",
         "Syntaxerror on line 1, position 22. method needs more arguments"},
        {"double c; c.rows;", "Syntaxerror on line 1, position 15. unknown method"},
        {"double c; c.;", "Syntaxerror on line 1, position 12. method expected"},
        {"pi = 1;", "Constant can not be LValue or Reference on line 1, position 2. "},
        {"pi++;", "Constant can not be LValue or Reference on line 1, position 1. "},
        {"double c; c + 1;", "Syntaxerror on line 1, position 12. unexpected symbol"},
        {"double c; ++c;", "Syntaxerror on line 1, position 11. unexpected symbol"},
    });
}

TEST(CompileErrorTest, Expressions) {
    expectCompileErrors({
        {"double a, b; b = - -a;", "Syntaxerror on line 1, position 19. unexpected symbol"},
        {"double a, b; b = -!a;", "Syntaxerror on line 1, position 18. unexpected symbol"},
        {"double b; b = foo;", "Unknown Identifier on line 1, position 13. \nName= foo"},
        {"double b; b = b.resize;", "Syntaxerror on line 1, position 21. unknown method"},
        {"double b; b = b.;", "Syntaxerror on line 1, position 16. method expected"},
        {"double a; a = [1 2];", "Syntaxerror on line 1, position 16. unexpected token"},
        {"double a; a = [];", "Syntaxerror on line 1, position 15. unexpected symbol"},
        {"double a; a = [1, ];", "Syntaxerror on line 1, position 18. unexpected symbol"},
        {"double a; a = [1, 2", ") or } or ] expected on line 1, position 18. "},
        {"double a; a = (1 + 2;", ") or } or ] expected on line 1, position 20. "},
        {"double a; a = -\"AB\";",
         "Syntaxerror on line 1, position 18. cant't negate string constant"},
        {"double a; a = !\"AB\";",
         "Syntaxerror on line 1, position 18. cant't negate string constant"},
        {"double a; a = \"\";", "Syntaxerror on line 1, position 15. empty string constant"},
        {"double a; a = \"AB", "Syntaxerror on line 1, position 16. unterminated string constant"},
        {"double a; a[1] = 2;", "( or { or [ expected on line 1, position 15. "},
        {"double a; a[1,2,3][0] = 1;", ") or } or ] expected on line 1, position 15. "},
        {"double a; a[1][*; = 1;", ") or } or ] expected on line 1, position 16. "},
        {"double a, b; a = b[b[0,1][*]][0];", "Index Error on line 1, position 27. "},
    });
}

TEST(CompileErrorTest, Calls) {
    expectCompileErrors({
        {"double a; a = atan2(1);",
         "Syntaxerror on line 1, position 21. function needs more arguments"},
        {"double a; a = atan2(1, 2, 3);", ") or } or ] expected on line 1, position 24. "},
        {"double a; a = atan2(1, );", "Syntaxerror on line 1, position 23. unexpected symbol"},
        {"double a; a = sin;", "( or { or [ expected on line 1, position 17. "},
        {"double m, w; eigens(m, pi, w);",
         "Constant can not be LValue or Reference on line 1, position 24. "},
        {"double m, w; eigens(m, w.max, w);",
         "Constant can not be LValue or Reference on line 1, position 27. "},
        {"sin(1)", "Syntaxerror on line 1, position 5. colon expected"},
    });
}

TEST(CompileErrorTest, NestingDeeperThanTheLimitFailsCleanly) {
    CQXCompiler qx;
    std::string deep =
        "double a; a = " + std::string(1000000, '(') + "1" + std::string(1000000, ')') + ";";
    EXPECT_FALSE(qx.runCompiler(deep));
    EXPECT_NE(qx.getError().find("nesting too deep"), std::string::npos) << qx.getError();
    std::string braces = std::string(100000, '{') + std::string(100000, '}');
    EXPECT_FALSE(qx.runCompiler(braces));
    EXPECT_NE(qx.getError().find("nesting too deep"), std::string::npos);
    std::string literal =
        "double a; a = " + std::string(5000, '[') + "1" + std::string(5000, ']') + ";";
    EXPECT_FALSE(qx.runCompiler(literal));
    // Nesting just inside the limit compiles and runs.
    int depth = CQXCompiler::kMaxNesting - 8;
    std::string ok = "a = " + std::string(depth, '(') + "2" + std::string(depth, ')') + ";";
    ASSERT_TRUE(qx.runCompiler(ok)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 2.0);
}

TEST(CompileErrorTest, LongFlatExpressionsAndListsDoNotRecurse) {
    CQXCompiler qx;
    std::string sum = "double a; a = 0";
    for (int i = 0; i < 200000; ++i) sum += "+1";
    sum += ";";
    ASSERT_TRUE(qx.runCompiler(sum)) << qx.getError();
    ASSERT_TRUE(qx.runInterpreter());
    EXPECT_EQ(qx.getVar("a")->getData(0, 0), 200000.0);
    std::string decl = "double v0";
    for (int i = 1; i < 100000; ++i) decl += ", v" + std::to_string(i);
    decl += ";";
    CQXCompiler qx2;
    ASSERT_TRUE(qx2.runCompiler(decl)) << qx2.getError();
    EXPECT_EQ(qx2.getVarCount(), 100000);
}

}  // namespace
