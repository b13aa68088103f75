// Operand resolution: element and range operands become views of the variable's own storage,
// checked in a fixed order with errors that name the operand's variable and carry the
// instruction's position.
#include <climits>
#include <limits>

#include "tests/vm/vm_fixture.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

class VmResolutionTest : public VmFixture {};

TEST_F(VmResolutionTest, ElementWritesInPlaceWithTheVariablesTypeAndClipping) {
    CQXVariable* x = var("x", 2, 2, {}, edtBYTE);
    EXPECT_EQ(run(otASSIGN, elem(x, 1, 0), num(5)), isOK);
    EXPECT_EQ(values(x), (Values{0, 0, 5, 0}));
    run(otASSIGN, elem(x, 0, 1), num(300));
    EXPECT_EQ(at(x), 0);
    EXPECT_EQ(x->getData(0, 1), 255);  // clipped to the byte range
    run(otINC, elem(x, 0, 1), nullptr);
    EXPECT_EQ(x->getData(0, 1), 255);  // stops at the bound
    m_Shared.m_bClipping = false;
    run(otINC, elem(x, 0, 1), nullptr);
    EXPECT_EQ(x->getData(0, 1), 0);  // wraps
    run(otASSIGN, elem(x, 1, 1), num(300));
    EXPECT_EQ(x->getData(1, 1), 44);

    CQXVariable* n = var("n", 1, 3, {}, edtINT);
    run(otASSIGN, elem(n, 0.9, -0.5), num(2.9));  // indices truncate toward zero: (0, 0)
    run(otASSIGN, elem(n, 0, 2.99), num(-2.9));
    EXPECT_EQ(values(n), (Values{2, 0, -2}));
}

TEST_F(VmResolutionTest, ElementErrorsNameTheOperandAndCarryThePosition) {
    CQXVariable* x = var("x", 2, 2, {1, 2, 3, 4});
    CQXVariable* y = var("y", 1, 1, {7});
    CQXVariable* pair = var("p", 1, 2, {0, 0});
    CQXInterpreter* b = block();
    b->addByteCode(sByteCode(otASSIGN, elem(x, 2, 0), num(5), nullptr), 3, 7);
    EXPECT_EQ(b->Interprete(), isEXCEPTION);
    EXPECT_EQ(b->getError().getText(), "Row-Index out of Range accessing Variable x");
    EXPECT_EQ(b->getError().getLine(), 3);
    EXPECT_EQ(b->getError().getPos(), 7);
    EXPECT_EQ(values(x), (Values{1, 2, 3, 4}));

    const struct {
        sByteCodeVar a, b;
        const char* text;
    } cases[] = {
        {elem(x, 0, 2), y, "Column-Index out of Range accessing Variable x"},
        {elem(x, -1, 0), y, "Row-Index out of Range accessing Variable x"},
        {elem(x, kNaN, 0), y, "Row-Index out of Range accessing Variable x"},
        {elem(x, 1e300, 0), y, "Row-Index out of Range accessing Variable x"},
        {elem(x, 0, -3e9), y, "Column-Index out of Range accessing Variable x"},
        {elemBy(x, pair, num(0)), y, "Row-Index must be SINGLE accessing Variable x"},
        {elemBy(x, num(0), pair), y, "Column-Index must be SINGLE accessing Variable x"},
        {elemBy(x, nullptr, num(0)), y, "Row-Index must be SINGLE accessing Variable x"},
        // Both index variables are checked for shape before either value is.
        {elemBy(x, num(9), pair), y, "Column-Index must be SINGLE accessing Variable x"},
        {x, elem(y, 0, 1), "Column-Index out of Range accessing Variable y"},
        // B's element comes before A's range.
        {range(x, 5, 1, 0, 1), elem(y, 3, 0), "Row-Index out of Range accessing Variable y"},
        // A range is taken from A's own variable even after an element view was made.
        {[&] {
             sByteCodeVar both = elem(x, 0, 0);
             sByteCodeVar r = range(x, 1, 2, 0, 1);
             both.m_bRange = true;
             both.m_pRowFrom = r.m_pRowFrom;
             both.m_pRowCount = r.m_pRowCount;
             both.m_pColFrom = r.m_pColFrom;
             both.m_pColCount = r.m_pColCount;
             return both;
         }(),
         y, "Row-Index out of Range accessing Variable x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(otASSIGN, c.a, c.b), isEXCEPTION) << c.text;
        EXPECT_EQ(lastError(), c.text);
    }
    EXPECT_EQ(values(x), (Values{1, 2, 3, 4}));
}

TEST_F(VmResolutionTest, RangesAddressSubMatricesInPlace) {
    CQXVariable* x = var("x", 3, 3, {}, edtINT);
    EXPECT_EQ(run(otASSIGN, range(x, 1, 2, 0, 2), num(7)), isOK);
    EXPECT_EQ(values(x), (Values{0, 0, 0, 7, 7, 0, 7, 7, 0}));
    CQXVariable* src = var("s", 2, 2, {2.7, -2.7, 3e10, -3e10});
    EXPECT_EQ(run(otASSIGN, range(x, 0, 2, 1, 2), src), isOK);
    EXPECT_EQ(values(x), (Values{0, 2, -2, 7, INT_MAX, INT_MIN, 7, 7, 0}));

    // A range of both operands, from two different variables. Overlapping views of one
    // variable are pinned by the overlap golden script.
    CQXVariable* r = temp();
    CQXVariable* y = var("y", 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(run(otADD, range(x, 2, 1, 0, 2), range(y, 1, 1, 0, 2), r), isOK);
    EXPECT_EQ(values(r), (Values{10, 11}));
}

TEST_F(VmResolutionTest, RangeBoundsCountsAndTheirErrors) {
    CQXVariable* x = var("x", 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    CQXVariable* r = temp();
    EXPECT_EQ(run(otNEGATE, range(x, 1, 2, 0, 1), nullptr, r), isOK);
    EXPECT_EQ(values(r), (Values{-4, -7}));

    CQXVariable* pair = var("p", 1, 2, {0, 0});
    sByteCodeVar notSingleCount = range(x, 0, 1, 0, 1);
    notSingleCount.m_pRowCount = pair;
    sByteCodeVar notSingleColumn = range(x, 0, 1, 0, 1);
    notSingleColumn.m_pColFrom = pair;
    const struct {
        sByteCodeVar a;
        const char* text;
    } cases[] = {
        {range(x, 2, 2, 0, 1), "Row-Index out of Range accessing Variable x"},
        {range(x, -1, 1, 0, 1), "Row-Index out of Range accessing Variable x"},
        {range(x, 1, -1, 0, 1), "Row-Index out of Range accessing Variable x"},
        {range(x, 0, kNaN, 0, 1), "Row-Index out of Range accessing Variable x"},
        {range(x, 0, 1, 2, 2), "Column-Index out of Range accessing Variable x"},
        {range(x, 0, 1, 0, -1), "Column-Index out of Range accessing Variable x"},
        {range(x, 0, 1, 1e10, 1), "Column-Index out of Range accessing Variable x"},
        {notSingleCount, "Row-Index must be SINGLE accessing Variable x"},
        {notSingleColumn, "Column-Index must be SINGLE accessing Variable x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(otNEGATE, c.a, nullptr, r), isEXCEPTION) << c.text;
        EXPECT_EQ(lastError(), c.text);
    }

    // The end of a range is computed without overflow: a first row and a count that each fit
    // a variable of INT_MAX rows do not wrap around when added. The rows are never read.
    double* row = nullptr;
    CQXVariable* huge = hollow("h", 1, 1);
    huge->setDouble("h", INT_MAX, 1, &row);
    EXPECT_EQ(run(otASSIGN, range(huge, INT_MAX, INT_MAX, 0, 1), num(1)), isEXCEPTION);
    EXPECT_EQ(lastError(), "Row-Index out of Range accessing Variable h");
}

TEST_F(VmResolutionTest, EmptyRangesAndOperandsWithoutStorageAreNeverDereferenced) {
    CQXVariable* x = var("x", 2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(run(otASSIGN, range(x, 2, 0, 0, 3), num(9)), isOK);  // first row == rows, count 0
    EXPECT_EQ(run(otASSIGN, range(x, 0, 2, 3, 0), num(9)), isOK);
    EXPECT_EQ(values(x), (Values{1, 2, 3, 4, 5, 6}));

    CQXVariable* h = hollow("h", 2, 2);
    CQXVariable* r = temp();
    const eOptType ops[] = {otASSIGN, otADD, otAND,    otOR,  otNOT,     otPOWER,
                            otEQUAL,  otINC, otMEDIAN, otSUM, otELEMXOR, otCOLCONCAT};
    for (eOptType op : ops) {
        EXPECT_NE(run(op, elem(h, 1, 1), elem(h, 0, 0), r), isEXCEPTION) << opcodeName(op);
        run(op, range(h, 0, 2, 0, 2), range(h, 1, 1, 1, 1), r);
        run(op, h, h, r);
    }
    EXPECT_EQ(run(otOR, elem(h, 1, 1), num(0), r), isOK);
    EXPECT_EQ(at(r), 0);  // an element without storage reads 0

    // Without a variable in A, nothing is resolved and the opcode does nothing.
    sByteCodeVar none = elem(nullptr, 9, 9);
    EXPECT_EQ(run(otASSIGN, none, elem(x, 9, 9)), isOK);
    EXPECT_EQ(run(otADD, x, sByteCodeVar(), r), isOK);
}

TEST_F(VmResolutionTest, ReferenceToARangeKeepsItsOwnRowsAfterTheViewMovesOn) {
    CQXVariable* x = var("x", 3, 2, {1, 2, 3, 4, 5, 6}, edtFLOAT);
    CQXVariable* y = var("y", 3, 2, {10, 20, 30, 40, 50, 60});
    CQXVariable* ref = hollow("ref", 1, 1);
    CQXInterpreter* b = block();
    b->addByteCode(sByteCode(otREFERENCE, ref, range(x, 1, 2, 0, 2), nullptr), 1, 1);
    // The next instruction re-points the same range view at y.
    b->addByteCode(sByteCode(otADD, num(0), range(y, 0, 2, 0, 2), temp()), 2, 1);
    b->addByteCode(sByteCode(otASSIGN, elem(ref, 1, 1), num(-1), nullptr), 3, 1);
    ASSERT_EQ(b->Interprete(), isOK);
    EXPECT_EQ(ref->getDataType(), edtFLOAT);
    EXPECT_EQ(values(ref), (Values{3, 4, 5, -1}));
    EXPECT_EQ(values(x), (Values{1, 2, 3, 4, 5, -1}));
}
