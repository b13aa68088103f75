// The opcodes on whole variables: results, the sizing of R, and every run-time error text with
// the variable it names.
#include <cfloat>
#include <cmath>
#include <limits>

#include "tests/vm/vm_fixture.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class VmOpcodeTest : public VmFixture {
protected:
    // Runs op on (a, b) into a fresh temporary and returns it.
    CQXVariable* result(eOptType op, CQXVariable* a, CQXVariable* b) {
        CQXVariable* r = temp();
        EXPECT_EQ(run(op, a, b, r), isOK) << opcodeName(op) << ": " << lastError();
        return r;
    }
    // Runs op on (a, b) and expects the run to fail with text.
    void fails(eOptType op, CQXVariable* a, CQXVariable* b, const std::string& text) {
        EXPECT_EQ(run(op, a, b, temp()), isEXCEPTION) << opcodeName(op);
        EXPECT_EQ(lastError(), text) << opcodeName(op);
    }
};

TEST_F(VmOpcodeTest, AssignFillsCopiesAndResizesOnlyResizableTargets) {
    CQXVariable* a = var("a", 3, 3, {});
    EXPECT_EQ(run(otASSIGN, a, num(4)), isOK);
    EXPECT_EQ(values(a), Values(9, 4));
    CQXVariable* b = var("b", 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(run(otASSIGN, a, b), isEXCEPTION);
    EXPECT_EQ(lastError(), "LValue Size mismatch accessing Variable a");
    EXPECT_EQ(values(a), Values(9, 4));

    CQXVariable* r = var("r", 1, 1, {}, edtSHORT, vsRESIZABLE);
    EXPECT_EQ(run(otASSIGN, r, b), isOK);
    EXPECT_EQ(values(r), (Values{1, 2, 3, 4}));
    // A part of the target assigned to the whole target: the part is read before the resize.
    EXPECT_EQ(run(otASSIGN, r, range(r, 1, 1, 0, 2)), isOK);
    EXPECT_EQ(values(r), (Values{3, 4}));
    // A source without a shape cannot give the target one.
    EXPECT_EQ(run(otASSIGN, r, unshaped("u")), isEXCEPTION);
    EXPECT_EQ(lastError(), "LValue Size mismatch accessing Variable r");
}

TEST_F(VmOpcodeTest, ReturnTakesTheShapeOfTheValue) {
    CQXVariable* ret = var("", 2, 2, {}, edtDOUBLE, vsRESIZABLE);
    EXPECT_EQ(run(otRETURN, ret, num(5)), isRETURN);
    EXPECT_EQ(values(ret), (Values{5}));
    EXPECT_EQ(run(otRETURN, ret, var("m", 1, 3, {1, 2, 3})), isRETURN);
    EXPECT_EQ(values(ret), (Values{1, 2, 3}));
    CQXVariable* fixed = var("f", 2, 2, {});
    EXPECT_EQ(run(otRETURN, fixed, num(2)), isRETURN);
    EXPECT_EQ(values(fixed), Values(4, 2));
    EXPECT_EQ(run(otRETURN, fixed, var("m", 1, 3, {1, 2, 3})), isEXCEPTION);
    EXPECT_EQ(lastError(), "LValue Size mismatch accessing Variable f");
}

TEST_F(VmOpcodeTest, ArithmeticAcceptsScalarsWhereTheOperatorAllows) {
    CQXVariable* s = num(10);
    CQXVariable* m = var("m", 2, 2, {1, 2, 3, 4});
    CQXVariable* n = var("n", 2, 2, {4, 3, 2, 1});
    EXPECT_EQ(values(result(otADD, m, s)), (Values{11, 12, 13, 14}));
    EXPECT_EQ(values(result(otADD, s, m)), (Values{11, 12, 13, 14}));
    EXPECT_EQ(values(result(otADD, m, n)), (Values{5, 5, 5, 5}));
    EXPECT_EQ(values(result(otSUB, m, s)), (Values{-9, -8, -7, -6}));
    EXPECT_EQ(values(result(otSUB, m, n)), (Values{-3, -1, 1, 3}));
    EXPECT_EQ(values(result(otMUL, s, m)), (Values{10, 20, 30, 40}));
    EXPECT_EQ(values(result(otMUL, m, s)), (Values{10, 20, 30, 40}));
    CQXVariable* p = result(otMUL, var("a", 2, 3, {1, 2, 3, 4, 5, 6}),
                            var("b", 3, 4, {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1}));
    EXPECT_EQ(p->getRows(), 2);
    EXPECT_EQ(values(p), (Values{1, 2, 3, 6, 4, 5, 6, 15}));
    EXPECT_EQ(values(result(otDIV, m, var("two", 1, 1, {2}, edtBYTE))), (Values{.5, 1, 1.5, 2}));
    EXPECT_EQ(values(result(otNEGATE, m, nullptr)), (Values{-1, -2, -3, -4}));

    CQXVariable* row = var("row", 1, 3, {1, 2, 3});
    fails(otADD, m, row, "Size mismatch in Addition accessing Variable m");
    fails(otSUB, s, m, "Size mismatch in Subtraction");  // a scalar left of a matrix
    fails(otMUL, row, row, "Rows != Columns in Multiplication accessing Variable row");
    fails(otDIV, m, n, "Can only divide by SINGLE accessing Variable m");
    m_Shared.m_bSmartError = false;
    fails(otDIV, m, num(0), "Division by zero accessing Variable m");
    m_Shared.m_bSmartError = true;
    EXPECT_EQ(values(result(otDIV, m, num(0))), Values(4, DBL_MAX));
}

TEST_F(VmOpcodeTest, ElementwiseOperationsNeedEqualShapes) {
    CQXVariable* m = var("m", 1, 3, {1, 2, 0});
    CQXVariable* n = var("n", 1, 3, {2, 2, 4});
    EXPECT_EQ(values(result(otELEMMUL, m, n)), (Values{2, 4, 0}));
    EXPECT_EQ(values(result(otELEMMUL, num(3), m)), (Values{3, 6, 0}));
    EXPECT_EQ(values(result(otELEMDIV, m, n)), (Values{.5, 1, 0}));
    EXPECT_EQ(values(result(otELEMDIV, m, num(2))), (Values{.5, 1, 0}));
    EXPECT_EQ(values(result(otELEMAND, m, n)), (Values{1, 1, 0}));
    EXPECT_EQ(values(result(otELEMOR, m, var("z", 1, 3, {0, 0, 0}))), (Values{1, 1, 0}));
    EXPECT_EQ(values(result(otELEMXOR, m, n)), (Values{1, 0, 1}));
    EXPECT_EQ(values(result(otELEMXOR, num(1), num(2))), (Values{1}));
    EXPECT_EQ(values(result(otELEMAND, num(kNaN), num(1))), (Values{1}));

    // Two singles give a 1x1 result even where an earlier run made the result larger.
    CQXVariable* r = temp();
    CQXInterpreter* b = block();
    b->addByteCode(sByteCode(otELEMOR, m, n, r), 1, 1);
    b->addByteCode(sByteCode(otELEMOR, num(0), num(0), r), 2, 1);
    ASSERT_EQ(b->Interprete(), isOK);
    EXPECT_EQ(values(r), (Values{0}));

    CQXVariable* col = var("col", 3, 1, {1, 2, 3});
    fails(otELEMMUL, m, col, "Size mismatch in elementwise Multiplication accessing Variable m");
    fails(otELEMAND, m, col, "Size mismatch in elementwise Multiplication accessing Variable m");
    fails(otELEMOR, num(1), m, "Size mismatch in elementwise Multiplication");
    fails(otELEMXOR, m, col, "Size mismatch in elementwise Multiplication accessing Variable m");
    fails(otELEMDIV, m, col, "Size mismatch in elementwise Division accessing Variable m");
    m_Shared.m_bSmartError = false;
    fails(otELEMDIV, n, m, "Division by zero accessing Variable n");
    fails(otELEMDIV, n, num(0), "Division by zero accessing Variable n");
}

TEST_F(VmOpcodeTest, ComparisonsGiveOneTruthForTheWholeMatrix) {
    CQXVariable* m = var("m", 1, 3, {1, 2, 3});
    CQXVariable* same = var("same", 1, 3, {1, 2, 3}, edtBYTE);
    CQXVariable* other = var("other", 3, 1, {1, 2, 3});
    const struct {
        eOptType op;
        CQXVariable *a, *b;
        double expected;
    } cases[] = {
        {otLESS, m, num(4), 1},
        {otLESS, m, num(3), 0},
        {otLESS, num(0), m, 1},
        {otLESS, num(1), m, 0},  // every element of B above a
        {otGREATER, m, num(0), 1},
        {otGREATER, num(3), m, 0},
        {otLESSEQUAL, m, num(3), 1},
        {otLESSEQUAL, num(2), m, 0},
        {otGREATEREQUAL, m, num(1), 1},
        {otGREATEREQUAL, num(3), m, 1},
        {otEQUAL, m, same, 1},
        {otNOTEQUAL, m, same, 0},
        {otEQUAL, num(2), m, 0},
        {otNOTEQUAL, m, num(2), 1},
        {otLESSEQUAL, m, same, 1},
        {otGREATER, m, same, 0},
        {otEQUAL, num(kNaN), num(kNaN), 0},
        // Matrices of different shapes are never related.
        {otEQUAL, m, other, 0},
        {otNOTEQUAL, m, other, 1},
        {otLESSEQUAL, m, other, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(at(result(c.op, c.a, c.b)), c.expected) << opcodeName(c.op);
    }
}

TEST_F(VmOpcodeTest, LogicPowerAndModuloOnScalars) {
    EXPECT_EQ(at(result(otAND, num(2), num(kNaN))), 1);
    EXPECT_EQ(at(result(otAND, num(2), num(0))), 0);
    EXPECT_EQ(at(result(otOR, num(0), num(-1))), 1);
    EXPECT_EQ(at(result(otOR, num(0), num(0))), 0);
    EXPECT_EQ(values(result(otNOT, num(0), nullptr)), (Values{1}));
    EXPECT_EQ(values(result(otNOT, num(kNaN), nullptr)), (Values{0}));

    EXPECT_EQ(at(result(otPOWER, num(2), num(3))), 8);  // A is the base, B the exponent
    EXPECT_EQ(at(result(otPOWER, num(-2), num(3))), -8);
    EXPECT_EQ(at(result(otPOWER, num(10), num(400))), DBL_MAX);
    CQXVariable* m = var("m", 1, 2, {1, 2});
    fails(otPOWER, m, num(2), "Base must be SINGLE accessing Variable m");
    fails(otPOWER, num(2), m, "Exponent must be SINGLE accessing Variable m");
    m_Shared.m_bSmartError = false;
    fails(otPOWER, var("base", 1, 1, {-4}), num(.5),
          "Undefined power operation accessing Variable base");

    EXPECT_EQ(at(result(otMODULO, num(-7), num(3))), -1);
    // R keeps its 1x1 shape: the remainder of the first element.
    EXPECT_EQ(values(result(otMODULO, var("v", 1, 2, {5, 7}), num(3))), (Values{2}));
    fails(otMODULO, m, num(0), "Modulo by 0 not defined accessing Variable m");
}

TEST_F(VmOpcodeTest, IncDecAndShapeQueries) {
    CQXVariable* m = var("m", 2, 3, {1, 2, 3, 4, 5, 6}, edtSHORT);
    EXPECT_EQ(run(otINC, m, nullptr), isOK);
    EXPECT_EQ(values(m), (Values{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(run(otDEC, m, nullptr), isOK);
    EXPECT_EQ(run(otDEC, m, nullptr), isOK);
    EXPECT_EQ(values(m), (Values{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(at(result(otROWS, m, nullptr)), 2);
    EXPECT_EQ(at(result(otCOLS, m, nullptr)), 3);
    EXPECT_EQ(at(result(otSIZE, m, nullptr)), 6);
    EXPECT_EQ(at(result(otSIZE, unshaped("u"), nullptr)), 0);
}

TEST_F(VmOpcodeTest, ResizeTruncatesItsSizesBeforeTestingThem) {
    CQXVariable* target = var("t", 1, 1, {5}, edtINT, vsRESIZABLE);
    CQXVariable* rows = var("rows", 1, 1, {2.7});
    CQXVariable* cols = var("cols", 1, 1, {3});
    EXPECT_EQ(run(otRESIZE, rows, cols, target), isOK);
    EXPECT_EQ(values(target), Values(6, 0));
    EXPECT_EQ(target->getRows(), 2);

    const struct {
        double r, c;
        const char* text;
    } cases[] = {
        {0, 3, "Parameter 1 must be greater than zero accessing Variable rows"},
        {0.5, 3, "Parameter 1 must be greater than zero accessing Variable rows"},
        {kNaN, 3, "Parameter 1 must be greater than zero accessing Variable rows"},
        {-1e300, 3, "Parameter 1 must be greater than zero accessing Variable rows"},
        {2, -1, "Parameter 2 must be greater than zero accessing Variable cols"},
        {1e12, 3, "Unknown Exception"},  // a size beyond int cannot be allocated
        {2, kInf, "Unknown Exception"},
    };
    for (const auto& c : cases) {
        rows->setData(0, 0, c.r);
        cols->setData(0, 0, c.c);
        EXPECT_EQ(run(otRESIZE, rows, cols, target), isEXCEPTION) << c.text;
        EXPECT_EQ(lastError(), c.text);
    }
    CQXVariable* pair = var("pair", 1, 2, {1, 1});
    EXPECT_EQ(run(otRESIZE, pair, cols, target), isEXCEPTION);
    EXPECT_EQ(lastError(), "Parameter 1 must be single accessing Variable pair");
    EXPECT_EQ(run(otRESIZE, rows, pair, target), isEXCEPTION);
    EXPECT_EQ(lastError(), "Parameter 2 must be single accessing Variable pair");
    EXPECT_EQ(target->getRows(), 2);
    EXPECT_EQ(target->getCols(), 3);
}

TEST_F(VmOpcodeTest, ReductionsAndMatrixMethods) {
    CQXVariable* v = var("v", 1, 4, {4, 1, 3, 2}, edtBYTE);
    EXPECT_EQ(at(result(otMIN, v, nullptr)), 1);
    EXPECT_EQ(at(result(otMAX, v, nullptr)), 4);
    EXPECT_EQ(at(result(otSUM, v, nullptr)), 10);
    EXPECT_EQ(at(result(otMEAN, v, nullptr)), 2.5);
    EXPECT_EQ(at(result(otMEDIAN, v, nullptr)), 2);
    EXPECT_EQ(at(result(otVARIANCE, v, nullptr)), 1.25);
    EXPECT_DOUBLE_EQ(at(result(otSTD, v, nullptr)), std::sqrt(1.25));
    CQXVariable* sq = var("sq", 3, 3, {2, 0, 1, 1, 3, 2, 1, 1, 2});
    EXPECT_DOUBLE_EQ(at(result(otDETERMINANT, sq, nullptr)), 6);
    EXPECT_EQ(at(result(otRANK, var("low", 2, 2, {1, 2, 2, 4}), nullptr)), 1);
    // Methods of an element: the element is a 1x1 matrix.
    CQXVariable* r = temp();
    EXPECT_EQ(run(otDETERMINANT, elem(sq, 1, 1), nullptr, r), isOK);
    EXPECT_EQ(at(r), 3);
    fails(otDETERMINANT, v, nullptr, "Matrix must be NxN accessing Variable v");
    fails(otRANK, v, nullptr, "Matrix must be NxN accessing Variable v");
    fails(otDETERMINANT, unshaped("u"), nullptr, "Matrix must be NxN accessing Variable u");
}

TEST_F(VmOpcodeTest, ConcatenationCopiesWithoutClipping) {
    CQXVariable* a = var("a", 2, 3, {1, 2, 3, 4, 5, 6});
    CQXVariable* b = var("b", 1, 3, {kInf, 8, 9});
    CQXVariable* rows = result(otROWCONCAT, a, b);
    EXPECT_EQ(rows->getRows(), 3);
    EXPECT_EQ(values(rows), (Values{1, 2, 3, 4, 5, 6, kInf, 8, 9}));
    CQXVariable* cols = result(otCOLCONCAT, a, var("c", 2, 1, {7, 8}, edtBYTE));
    EXPECT_EQ(cols->getCols(), 4);
    EXPECT_EQ(values(cols), (Values{1, 2, 3, 7, 4, 5, 6, 8}));
    fails(otROWCONCAT, a, var("d", 2, 2, {}),
          "Row concatenate: Size mismatch accessing Variable a");
    fails(otCOLCONCAT, a, b, "Column concatenate Size mismatch accessing Variable a");
}

TEST_F(VmOpcodeTest, ReferenceBindsOnlyReferenceVariables) {
    CQXVariable* ref = hollow("ref", 1, 1);
    CQXVariable* bytes = var("bytes", 2, 2, {1, 2, 3, 4}, edtBYTE);
    EXPECT_EQ(run(otREFERENCE, ref, bytes), isOK);
    EXPECT_EQ(ref->getDataType(), edtBYTE);
    EXPECT_EQ(ref->getRows(), 2);
    ref->setData(1, 1, 40);
    EXPECT_EQ(bytes->getData(1, 1), 40);

    EXPECT_EQ(run(otREFERENCE, ref, elem(bytes, 0, 1)), isOK);
    ASSERT_EQ(ref->getRows(), 1);
    ref->setData(0, 0, 20);
    EXPECT_EQ(values(bytes), (Values{1, 20, 3, 40}));

    CQXVariable* owned = var("owned", 1, 1, {7});
    EXPECT_EQ(run(otREFERENCE, owned, bytes), isOK);
    EXPECT_EQ(values(owned), (Values{7}));
    EXPECT_EQ(run(otREFERENCE, ref, ref), isOK);  // binding to itself changes nothing
    EXPECT_EQ(at(ref), 20);
}

TEST_F(VmOpcodeTest, OpcodesOutsideTheSetDoNothing) {
    CQXVariable* a = var("a", 1, 1, {1});
    for (int op : {46, 63, -1}) {
        EXPECT_EQ(run(static_cast<eOptType>(op), elem(a, 0, 0), num(5), temp()), isOK) << op;
    }
    EXPECT_EQ(at(a), 1);
    EXPECT_STREQ(opcodeName(otADD), "otADD");
    EXPECT_STREQ(opcodeName(otELEMXOR), "otELEMXOR");
    EXPECT_STREQ(opcodeName(46), "?");
    EXPECT_STREQ(opcodeName(-1), "?");
}
