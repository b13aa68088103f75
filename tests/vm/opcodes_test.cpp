// The opcodes on whole variables: results the golden scripts cannot reach, the sizing of R,
// and every run-time error text with the variable it names.
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

TEST_F(VmOpcodeTest, OperatorResultsOnScalarsMatricesAndMixedTypes) {
    // Operator combinations the golden scripts leave out: scalars on either side, integer
    // operands, NaN, the smart-error substitutes, and R keeping its shape where it should.
    CQXVariable* s = num(10);
    CQXVariable* m = var("m", 2, 2, {1, 2, 3, 4});
    CQXVariable* v = var("v", 1, 3, {1, 2, 0});
    CQXVariable* w = var("w", 1, 3, {2, 2, 4});
    const struct {
        eOptType op;
        CQXVariable *a, *b;
        Values expected;
    } cases[] = {
        {otADD, s, m, {11, 12, 13, 14}},
        {otSUB, m, s, {-9, -8, -7, -6}},
        {otMUL, m, s, {10, 20, 30, 40}},
        {otMUL,
         var("a", 2, 3, {1, 2, 3, 4, 5, 6}),
         var("b", 3, 4, {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1}),
         {1, 2, 3, 6, 4, 5, 6, 15}},
        {otDIV, m, var("two", 1, 1, {2}, edtBYTE), {.5, 1, 1.5, 2}},
        {otDIV, m, num(0), Values(4, DBL_MAX)},
        {otNEGATE, m, nullptr, {-1, -2, -3, -4}},
        {otELEMMUL, v, w, {2, 4, 0}},
        {otELEMMUL, num(3), v, {3, 6, 0}},
        {otELEMDIV, v, w, {.5, 1, 0}},
        {otELEMDIV, v, num(2), {.5, 1, 0}},
        {otELEMXOR, v, w, {1, 0, 1}},
        {otELEMXOR, num(1), num(2), {1}},
        {otELEMAND, num(kNaN), num(1), {1}},
        {otAND, num(2), num(kNaN), {1}},
        {otOR, num(0), num(-1), {1}},
        {otNOT, num(kNaN), nullptr, {0}},
        {otPOWER, num(-2), num(3), {-8}},  // A is the base, B the exponent
        {otPOWER, num(10), num(400), {DBL_MAX}},
        {otMODULO, num(-7), num(3), {-1}},
        {otMODULO, var("p", 1, 2, {5, 7}), num(3), {2}},  // R keeps its 1x1 shape
        {otSIZE, unshaped("u"), nullptr, {0}},
        {otROWCONCAT, var("r", 1, 1, {1}), var("i", 1, 1, {kInf}), {1, kInf}},
        {otCOLCONCAT, var("x", 2, 1, {1, 2}), var("y", 2, 1, {7, 8}, edtBYTE), {1, 7, 2, 8}},
        // Comparisons: one truth for the whole matrix; different shapes are never related.
        {otLESS, num(1), v, {0}},  // every element of B above a
        {otGREATEREQUAL, num(2), v, {1}},
        {otEQUAL, v, var("same", 1, 3, {1, 2, 0}, edtBYTE), {1}},
        {otEQUAL, num(kNaN), num(kNaN), {0}},
        {otNOTEQUAL, v, var("col", 3, 1, {1, 2, 0}), {1}},
        {otLESSEQUAL, v, var("col", 3, 1, {1, 2, 0}), {0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(values(result(c.op, c.a, c.b)), c.expected) << opcodeName(c.op);
    }
    // Two singles give a 1x1 result even where an earlier run made the result larger.
    CQXVariable* r = temp();
    CQXInterpreter* b = block();
    b->addByteCode(sByteCode(otELEMOR, v, w, r), 1, 1);
    b->addByteCode(sByteCode(otELEMOR, num(0), num(0), r), 2, 1);
    ASSERT_EQ(b->Interprete(), isOK);
    EXPECT_EQ(values(r), (Values{0}));
    // Methods of an element: the element is a 1x1 matrix.
    EXPECT_EQ(run(otDETERMINANT, elem(m, 1, 1), nullptr, r), isOK);
    EXPECT_EQ(at(r), 4);
}

TEST_F(VmOpcodeTest, RunTimeErrorsNameTheVariable) {
    CQXVariable* m = var("m", 2, 2, {1, 2, 3, 4});
    CQXVariable* n = var("n", 2, 2, {4, 3, 2, 1});
    CQXVariable* row = var("row", 1, 3, {1, 2, 3});
    CQXVariable* col = var("col", 3, 1, {1, 2, 3});
    const struct {
        eOptType op;
        CQXVariable *a, *b;
        const char* text;
        bool smart = true;
    } cases[] = {
        {otADD, m, row, "Size mismatch in Addition accessing Variable m"},
        {otSUB, num(1), m, "Size mismatch in Subtraction"},  // a scalar left of a matrix
        {otMUL, row, row, "Rows != Columns in Multiplication accessing Variable row"},
        {otDIV, m, n, "Can only divide by SINGLE accessing Variable m"},
        {otDIV, m, num(0), "Division by zero accessing Variable m", false},
        {otELEMMUL, row, col, "Size mismatch in elementwise Multiplication accessing Variable row"},
        {otELEMAND, row, col, "Size mismatch in elementwise Multiplication accessing Variable row"},
        {otELEMOR, num(1), row, "Size mismatch in elementwise Multiplication"},
        {otELEMXOR, row, col, "Size mismatch in elementwise Multiplication accessing Variable row"},
        {otELEMDIV, row, col, "Size mismatch in elementwise Division accessing Variable row"},
        {otELEMDIV, n, var("z", 2, 2, {1, 0, 1, 1}), "Division by zero accessing Variable n",
         false},
        {otELEMDIV, n, num(0), "Division by zero accessing Variable n", false},
        {otPOWER, row, num(2), "Base must be SINGLE accessing Variable row"},
        {otPOWER, num(2), row, "Exponent must be SINGLE accessing Variable row"},
        {otPOWER, var("base", 1, 1, {-4}), num(.5),
         "Undefined power operation accessing Variable base", false},
        {otMODULO, row, num(0), "Modulo by 0 not defined accessing Variable row", false},
        {otDETERMINANT, row, nullptr, "Matrix must be NxN accessing Variable row"},
        {otRANK, row, nullptr, "Matrix must be NxN accessing Variable row"},
        {otDETERMINANT, unshaped("u"), nullptr, "Matrix must be NxN accessing Variable u"},
        {otROWCONCAT, m, row, "Row concatenate: Size mismatch accessing Variable m"},
        {otCOLCONCAT, m, row, "Column concatenate Size mismatch accessing Variable m"},
    };
    for (const auto& c : cases) {
        m_Shared.m_bSmartError = c.smart;
        fails(c.op, c.a, c.b, c.text);
    }
}

// No instruction succeeds without writing its result. An operand without elements gives a
// shape no result can take; a result whose resize would free what an operand reads, and a
// result that cannot be resized, cannot take the shape either. Each stops the run and names
// the operand (or the result) at fault.
TEST_F(VmOpcodeTest, ResultsThatCannotTakeTheirShapeStopTheRun) {
    CQXVariable* a = var("a", 2, 2, {1, 2, 3, 4});
    CQXVariable* b = var("b", 2, 2, {5, 6, 7, 8});
    const sByteCodeVar aNoRows = range(a, 0, 0, 0, 2);
    const sByteCodeVar aNoCols = range(a, 0, 2, 1, 0);
    const sByteCodeVar bNoRows = range(b, 0, 0, 0, 2);
    const sByteCodeVar bNoCols = range(b, 0, 2, 1, 0);
    const char* const inA = "Operand has no elements accessing Variable a";
    const char* const inB = "Operand has no elements accessing Variable b";
    const struct {
        eOptType op;
        sByteCodeVar a, b;
        const char* text;
    } cases[] = {
        {otADD, aNoRows, num(7), inA},        {otADD, num(7), bNoCols, inB},
        {otSUB, aNoRows, num(1), inA},        {otMUL, aNoRows, num(2), inA},
        {otMUL, num(2), bNoCols, inB},        {otMUL, a, bNoCols, inB},
        {otDIV, aNoCols, num(2), inA},        {otELEMDIV, aNoRows, num(2), inA},
        {otELEMMUL, aNoRows, bNoRows, inA},   {otELEMXOR, aNoCols, bNoCols, inA},
        {otNEGATE, aNoRows, {}, inA},         {otROWCONCAT, aNoRows, bNoRows, inA},
        {otCOLCONCAT, aNoCols, bNoCols, inA},
    };
    for (const auto& c : cases) {
        CQXVariable* r = var("", 1, 1, {42}, edtDOUBLE, vsRESIZABLE);
        EXPECT_EQ(run(c.op, c.a, c.b, r), isEXCEPTION) << opcodeName(c.op);
        EXPECT_EQ(lastError(), c.text) << opcodeName(c.op);
    }

    CQXVariable* t = var("t", 2, 2, {1, 2, 3, 4}, edtDOUBLE, vsRESIZABLE);
    EXPECT_EQ(run(otADD, range(t, 0, 1, 0, 2), num(1), t), isEXCEPTION);
    EXPECT_EQ(lastError(), "Operand shares storage with the result accessing Variable t");
    EXPECT_EQ(run(otMUL, num(2), range(t, 1, 1, 0, 2), t), isEXCEPTION);
    EXPECT_EQ(lastError(), "Operand shares storage with the result accessing Variable t");
    EXPECT_EQ(values(t), (Values{1, 2, 3, 4}));
    EXPECT_EQ(run(otADD, t, num(1), t), isOK);  // no resize: computed in place
    EXPECT_EQ(values(t), (Values{2, 3, 4, 5}));

    CQXVariable* fixed = var("fixed", 1, 1, {5});
    EXPECT_EQ(run(otADD, a, num(1), fixed), isEXCEPTION);
    EXPECT_EQ(lastError(), "LValue Size mismatch accessing Variable fixed");
    EXPECT_EQ(run(otRESIZE, num(2), num(3), fixed), isEXCEPTION);
    EXPECT_EQ(lastError(), "Can't change size of non resizeable Variable accessing Variable fixed");
    EXPECT_EQ(values(fixed), (Values{5}));
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
