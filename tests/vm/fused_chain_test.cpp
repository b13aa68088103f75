// Tests of the fused element-wise chains: a program's first run executes its instructions one by
// one and shapes the temporaries, later runs may fuse. Every fused run must give the bits and the
// errors of the one-by-one run, and every check that refuses a fused run is pinned here by a case
// that would come out wrong without it. Also the operand address resolver every tier shares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.h"
#include "qx/vm/fused_chain_internal.h"
#include "qx/vm/interpreter.h"
#include "qx/vm/operand_address_internal.h"
#include "tests/support/matrix.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
constexpr int kN = 20;  // 400 elements: enough for a chain to fuse

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

bool signOf(double v) {
    return (bitsOf(v) >> 63) != 0;
}

// Values with every kind of double a kernel may meet: signed zeros, NaN, infinities, the largest
// double, and ordinary values of both signs.
double sample(int i, int j, int seed) {
    const int k = (i * 31 + j * 17 + seed * 7) % 29;
    switch (k) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return kNaN;
        case 3:
            return -kInf;
        case 4:
            return 1.7976931348623157e308;
        default:
            return (k - 14) * 0.37 + seed;
    }
}

// What one run left: its error text (empty when it succeeded), the bits of every element of the
// watched variables, and whether a chain ran fused.
struct Outcome {
    std::string error;
    std::vector<std::uint64_t> bits;
    bool fused;
};

// A compiled program over host variables. fill() restores the inputs before each run.
class Program {
public:
    CQXCompiler c;

    CQXVariable* matrix(const std::string& name, int rows, int cols, int seed) {
        CQXVariable* v = c.addDoubleVar(name, rows, cols);
        m_Fills.push_back([=] { fillWith(v, seed); });
        return v;
    }
    CQXVariable* value(const std::string& name, double x) {
        CQXVariable* v = c.addDoubleVar(name, 1, 1);
        m_Fills.push_back([=] { v->setData(0, 0, x); });
        return v;
    }
    void onFill(std::function<void()> fill) { m_Fills.push_back(std::move(fill)); }
    void watch(const CQXVariable* v) { m_Watched.push_back(v); }
    bool compile(const std::string& text) {
        m_Text = text;
        const bool ok = c.runCompiler(text);
        EXPECT_TRUE(ok) << text << ": " << c.getError();
        return ok;
    }
    Outcome run() {
        for (const auto& fill : m_Fills) fill();
        const unsigned long long before = qxfuse::fusedRunCount();
        Outcome r;
        if (!c.runInterpreter()) r.error = c.getException();
        r.fused = qxfuse::fusedRunCount() != before;
        for (const CQXVariable* v : m_Watched) {
            for (int i = 0; i < v->getRows(); ++i) {
                for (int j = 0; j < v->getCols(); ++j) r.bits.push_back(bitsOf(v->getData(i, j)));
            }
        }
        return r;
    }
    static void fillWith(CQXVariable* v, int seed) {
        for (int i = 0; i < v->getRows(); ++i) {
            for (int j = 0; j < v->getCols(); ++j) v->setData(i, j, sample(i, j, seed));
        }
    }

private:
    std::string m_Text;
    std::vector<std::function<void()>> m_Fills;
    std::vector<const CQXVariable*> m_Watched;
};

// Runs 2 and 3 against run 1, which executes the instructions one by one: the same error and the
// same bits, byte for byte; `fuses` says whether runs 2 and 3 fused.
void expectRunsAgree(Program& p, bool fuses, const std::string& what) {
    const Outcome first = p.run();
    const Outcome second = p.run();
    const Outcome third = p.run();
    EXPECT_FALSE(first.fused) << what;
    EXPECT_EQ(second.fused, fuses) << what;
    EXPECT_EQ(third.fused, fuses) << what;
    EXPECT_EQ(second.error, first.error) << what;
    EXPECT_EQ(third.error, first.error) << what;
    ASSERT_EQ(second.bits.size(), first.bits.size()) << what;
    EXPECT_EQ(std::memcmp(second.bits.data(), first.bits.data(), first.bits.size() * 8), 0) << what;
    EXPECT_EQ(std::memcmp(third.bits.data(), first.bits.data(), first.bits.size() * 8), 0) << what;
}

// A program over a, b, c (kN x kN doubles), s (1x1) and the resizable result y.
struct Standard : Program {
    explicit Standard(const std::string& text, double single = 3.0, bool smart = true) {
        c.setSmartError(smart);
        matrix("a", kN, kN, 1);
        matrix("b", kN, kN, 2);
        matrix("c", kN, kN, 3);
        value("s", single);
        watch(c.addResizeDoubleVar("y"));
        compile(text);
    }
};

// Every element-wise form fuses where its handler computes element by element, with a single on
// each side it accepts, and gives the one-by-one bits, the infinities, NaNs and signed zeros of
// the operands included.
TEST(FusedChainTest, EveryElementwiseFormFusesBitForBit) {
    const char* chains[] = {
        "y = a + b + c;",
        "y = a - b - c;",
        "y = s + a - s;",
        "y = a .* b .* c;",
        "y = s * a * s;",
        "y = s .* a .* s;",
        "y = a / s / s;",
        "y = a ./ s ./ b;",
        "y = a ./ b ./ c;",  // the samples hold zero divisors: the smart quotient
        "y = -a - -b;",
        "y = (a &&. b) + (b ||. c) - (a !=. c);",
        "y = -(a - c) / 4 .* (b &&. c) + (a ||. b) - s * b;",
    };
    for (const char* text : chains) {
        Standard p(text);
        expectRunsAgree(p, true, text);
    }
}

// When both operands of + or * are NaN the result is the left operand's NaN, on every tier: the
// kernels, the fused strips and the direct path of 1x1 values. -a is a NaN with the sign set.
TEST(FusedChainTest, TheLeftOperandsNaNWinsOnEveryTier) {
    const std::uint64_t signaling = 0x7ff4000000000123;  // a signaling NaN with a payload
    double payload;
    std::memcpy(&payload, &signaling, sizeof payload);
    for (double input : {kNaN, payload}) {
        for (int n : {kN, 3}) {  // 3x3 never fuses
            for (const char* text :
                 {"b = -a + nn;", "b = -a .* nn;", "b = nn + -a;", "b = nn .* -a;"}) {
                Program p;
                CQXVariable* a = p.c.addDoubleVar("a", n, n);
                CQXVariable* nn = p.c.addDoubleVar("nn", n, n);
                CQXVariable* b = p.c.addResizeDoubleVar("b");
                p.onFill([=] {
                    for (int i = 0; i < n; ++i) {
                        for (int j = 0; j < n; ++j) {
                            a->setData(i, j, input);
                            nn->setData(i, j, kNaN);
                        }
                    }
                });
                p.watch(b);
                ASSERT_TRUE(p.compile(text));
                const bool negative = text[4] == '-';
                const Outcome first = p.run();
                EXPECT_FALSE(first.fused);
                EXPECT_TRUE(std::isnan(b->getData(1, 2))) << text;
                EXPECT_EQ(signOf(b->getData(1, 2)), negative) << text;
                EXPECT_EQ(signOf(b->getData(n - 1, n - 1)), negative) << text;
                for (int run = 2; run <= 3; ++run) {
                    const Outcome later = p.run();
                    EXPECT_EQ(later.fused, n == kN) << text;
                    EXPECT_EQ(later.bits, first.bits) << text << " run " << run;
                }
            }
        }
        CQXCompiler c;
        c.addDoubleVar("x", 1, 1)->setData(0, 0, input);
        c.addDoubleVar("w", 1, 1)->setData(0, 0, kNaN);
        CQXVariable* r = c.addDoubleVar("r", 1, 1);
        ASSERT_TRUE(c.runCompiler("r = -x + w; r = r .* w;"));
        ASSERT_TRUE(c.runInterpreter());
        EXPECT_TRUE(signOf(r->getData(0, 0)));
    }
}

// An operand whose shape no longer matches the temporaries' stops the chain: the instruction
// reports it, as run one by one, instead of a strip walking past the operand's storage.
TEST(FusedChainTest, AnOperandOfAnotherShapeIsLeftToTheInstruction) {
    Program warm;
    warm.matrix("a", kN, kN, 1);
    warm.matrix("b", kN, kN, 2);
    CQXVariable* d = warm.c.addResizeDoubleVar("d");
    ASSERT_TRUE(d->resizeVar(kN, kN));
    warm.watch(warm.c.addResizeDoubleVar("y"));
    ASSERT_TRUE(warm.compile("y = a .* b + d;"));
    EXPECT_TRUE(warm.run().error.empty());
    EXPECT_TRUE(warm.run().fused);
    ASSERT_TRUE(d->resizeVar(kN, kN - 1));
    const Outcome refused = warm.run();
    EXPECT_FALSE(refused.fused);
    EXPECT_NE(refused.error.find("Size mismatch in Addition"), std::string::npos) << refused.error;
}

// A program warmed up with one set of inputs, then run with another, against a fresh program
// whose first run takes the second set one by one.
void expectWarmRunMatchesFirstRun(const std::string& text,
                                  const std::function<void(Program&)>& warm,
                                  const std::function<void(Program&)>& actual, bool smart = true) {
    Standard warmed(text, 3.0, smart);
    warm(warmed);
    EXPECT_EQ(warmed.run().error, "") << text;
    const Outcome shaped = warmed.run();
    EXPECT_TRUE(shaped.fused) << text;
    actual(warmed);
    const Outcome later = warmed.run();
    Standard fresh(text, 3.0, smart);
    actual(fresh);
    const Outcome first = fresh.run();
    EXPECT_FALSE(later.fused) << text;
    EXPECT_EQ(later.error, first.error) << text;
    // A failed run leaves the target as it was.
    EXPECT_EQ(later.bits, first.error.empty() ? first.bits : shaped.bits) << text;
}

// A single divisor of 0 fills the quotient with the largest double (smart errors on) or fails;
// strips would divide by it.
TEST(FusedChainTest, AZeroSingleDivisorIsLeftToTheInstruction) {
    for (const char* text : {"y = a / s + b;", "y = a ./ s + b;"}) {
        for (bool smart : {true, false}) {
            expectWarmRunMatchesFirstRun(
                text, [](Program&) {},
                [](Program& p) {
                    CQXVariable* single = p.c.getVar("s");
                    p.onFill([single] { single->setData(0, 0, 0.0); });
                },
                smart);
        }
    }
}

// s - A and s / A are errors, not the element-wise A - s and A / s a strip would compute. A
// single on the left of + and * is the kernel's argument and fuses.
TEST(FusedChainTest, ASingleOnTheWrongSideOfMinusOrDivideIsLeftToTheInstruction) {
    for (const char* text : {"y = t - a + b;", "y = t / a + b;", "y = t ./ a + b;"}) {
        Program warm;
        CQXVariable* t = warm.c.addResizeDoubleVar("t");
        ASSERT_TRUE(t->resizeVar(kN, kN));
        warm.matrix("a", kN, kN, 1);
        warm.matrix("b", kN, kN, 2);
        warm.onFill([=] { Program::fillWith(t, 4); });
        CQXVariable* y = warm.c.addResizeDoubleVar("y");
        warm.watch(y);
        ASSERT_TRUE(warm.compile(text));
        warm.run();
        warm.run();  // a / a and a - a fuse or not, as their forms say
        ASSERT_TRUE(t->resizeVar(1, 1));
        const Outcome later = warm.run();
        EXPECT_FALSE(later.fused) << text;
        EXPECT_NE(later.error, "") << text;
        // Outcome one by one from the start, the program fails the same way.
        Program fresh;
        CQXVariable* t1 = fresh.c.addResizeDoubleVar("t");
        ASSERT_TRUE(t1->resizeVar(1, 1));
        fresh.matrix("a", kN, kN, 1);
        fresh.matrix("b", kN, kN, 2);
        fresh.onFill([=] { Program::fillWith(t1, 4); });
        fresh.c.addResizeDoubleVar("y");
        ASSERT_TRUE(fresh.compile(text));
        EXPECT_EQ(later.error, fresh.run().error) << text;
    }
}

// A target whose rows are an operand's rows shifted by one: each strip would overwrite elements
// the next strip still reads. A target that is an operand element for element fuses.
TEST(FusedChainTest, ATargetOverlappingAnOperandShiftedIsLeftToTheInstructions) {
    for (int shift : {1, -1, 0}) {
        // y's rows start at row 0 of the buffer, z's at row `shift` (y's at -shift when negative).
        Program p;
        auto buffer = std::make_shared<std::vector<double>>((kN + 1) * kN);
        auto rows = std::make_shared<std::vector<double*>>(2 * kN);
        for (int i = 0; i < kN; ++i) {
            (*rows)[i] = buffer->data() + (i + (shift < 0 ? 1 : 0)) * kN;
            (*rows)[kN + i] = buffer->data() + (i + (shift > 0 ? 1 : 0)) * kN;
        }
        CQXVariable* y = p.c.addReferenceVar("y", kN, kN, rows->data());
        p.c.addReferenceVar("z", kN, kN, rows->data() + kN);
        p.matrix("c", kN, kN, 3);
        p.matrix("b", kN, kN, 2);
        p.onFill([=] {
            for (std::size_t k = 0; k < buffer->size(); ++k)
                (*buffer)[k] = sample(static_cast<int>(k) / kN, static_cast<int>(k) % kN, 5);
        });
        p.watch(y);
        ASSERT_TRUE(p.compile("y = z .* c + b;"));
        expectRunsAgree(p, shift == 0, "shift " + std::to_string(shift));
    }
}

// A host row left absent: the kernels skip it (the result keeps that row), strips would read
// through a null row.
TEST(FusedChainTest, AnAbsentHostRowIsLeftToTheInstructions) {
    Program p;
    auto data = std::make_shared<std::vector<double>>(kN * kN);
    auto rows = std::make_shared<std::vector<double*>>(kN);
    for (int i = 0; i < kN; ++i) (*rows)[i] = i == 5 ? nullptr : data->data() + i * kN;
    p.c.addReferenceVar("h", kN, kN, rows->data());
    p.onFill([=] {
        for (std::size_t k = 0; k < data->size(); ++k) (*data)[k] = static_cast<double>(k) - 7.5;
    });
    p.matrix("c", kN, kN, 3);
    p.matrix("b", kN, kN, 2);
    p.watch(p.c.addResizeDoubleVar("y"));
    ASSERT_TRUE(p.compile("y = h .* c + b;"));
    expectRunsAgree(p, false, "absent row");
}

// A target of another element type than double: the assignment converts (and clips), a strip
// would store doubles into its rows.
TEST(FusedChainTest, ATargetOfAnotherElementTypeIsLeftToTheInstructions) {
    for (bool resizable : {true, false}) {
        Program p;
        p.matrix("a", kN, kN, 1);
        p.matrix("b", kN, kN, 2);
        CQXVariable* y = resizable ? p.c.addResizeFloatVar("y") : p.c.addFloatVar("y", kN, kN);
        p.watch(y);
        ASSERT_TRUE(p.compile("y = a .* b + a;"));
        expectRunsAgree(p, false, resizable ? "resizable float" : "float");
    }
}

// With smart errors off a zero divisor of ./ stops the instruction with an error, whatever was
// written before it; a fused chain would divide and go on. Without a zero divisor it stays
// unfused too: the kernel's walk can stop, the strips' cannot.
TEST(FusedChainTest, ElementwiseDivisionWithoutSmartErrorsIsLeftToTheInstructions) {
    for (bool zero : {true, false}) {
        Program p;
        p.c.setSmartError(false);
        p.matrix("a", kN, kN, 1);
        CQXVariable* b = p.c.addDoubleVar("b", kN, kN);
        p.onFill([=] {
            for (int i = 0; i < kN; ++i) {
                for (int j = 0; j < kN; ++j) b->setData(i, j, zero && i == 3 && j == 4 ? 0 : i + 1);
            }
        });
        p.matrix("c", kN, kN, 3);
        CQXVariable* y = p.c.addResizeDoubleVar("y");
        p.watch(y);
        ASSERT_TRUE(p.compile("y = a ./ b + c;"));
        expectRunsAgree(p, false, zero ? "zero divisor" : "no zero divisor");
    }
}

// A run whose instruction budget ends inside the chain stops at the instruction where it ends,
// with the target unchanged; a fused run would finish the chain first.
TEST(FusedChainTest, AnInstructionBudgetSmallerThanTheChainIsLeftToTheInstructions) {
    const char* text = "y = a .* b + c - a;";  // three steps and the assignment
    Standard warmed(text);
    warmed.run();
    EXPECT_TRUE(warmed.run().fused);
    const Outcome before = warmed.run();
    // From now on the chain would give another y than before: a changes.
    CQXVariable* a = warmed.c.getVar("a");
    warmed.onFill([a] { a->setData(0, 0, 12345.0); });
    for (long long limit : {1, 2, 3}) {
        warmed.c.setInstructionLimit(limit);
        const Outcome cut = warmed.run();
        EXPECT_FALSE(cut.fused) << limit;
        EXPECT_EQ(cut.bits, before.bits) << limit;
        Standard fresh(text);
        fresh.c.setInstructionLimit(limit);
        EXPECT_EQ(cut.error, fresh.run().error) << limit;
        EXPECT_NE(cut.error, "") << limit;
    }
    warmed.c.setInstructionLimit(4);
    const Outcome whole = warmed.run();
    EXPECT_TRUE(whole.fused);
    EXPECT_EQ(whole.error, "");
    EXPECT_NE(whole.bits, before.bits);
}

// An element of a temporary is no link to the step that computes it: a strip of the whole
// temporary is not the element.
TEST(FusedChainTest, AnElementOfATemporaryIsNoLink) {
    for (const char* text : {"y = (a .* b)[1][2] + c;", "y = c .* s - (a + b)[3][0];"}) {
        Standard p(text);
        expectRunsAgree(p, false, text);
    }
}

// A temporary keeps the shape its last run gave it, also when that run stopped at an error
// before reaching it: its shape then differs from the chain's, and the instructions run one by
// one and give the assignment's target the operands' new shape.
TEST(FusedChainTest, ATemporaryLeftWithAnotherShapeIsLeftToTheInstructions) {
    Program p;
    CQXVariable* a = p.c.addResizeDoubleVar("a");
    CQXVariable* b = p.c.addResizeDoubleVar("b");
    CQXVariable* y = p.c.addResizeDoubleVar("y");
    const auto shape = [&](int aCols, int bCols) {
        ASSERT_TRUE(a->resizeVar(2, aCols));
        ASSERT_TRUE(b->resizeVar(2, bCols));
        Program::fillWith(a, 1);
        Program::fillWith(b, 2);
    };
    p.watch(y);
    ASSERT_TRUE(p.compile("y = a .* 2 + b;"));
    shape(kN * 10, kN * 10);
    EXPECT_EQ(p.run().error, "");
    EXPECT_TRUE(p.run().fused);
    shape(kN * 5, kN * 10);  // the first step runs, the second fails on b
    const Outcome failed = p.run();
    EXPECT_FALSE(failed.fused);
    EXPECT_NE(failed.error.find("Size mismatch"), std::string::npos) << failed.error;
    shape(kN * 5, kN * 5);
    const Outcome later = p.run();
    EXPECT_FALSE(later.fused);
    EXPECT_EQ(later.error, "");
    EXPECT_EQ(y->getRows(), 2);
    EXPECT_EQ(y->getCols(), kN * 5);
    EXPECT_EQ(y->getData(1, kN * 5 - 1), a->getData(1, kN * 5 - 1) * 2 + b->getData(1, kN * 5 - 1));
    // The temporaries have the operands' shape again: the chain fuses from the next run on.
    const Outcome next = p.run();
    EXPECT_TRUE(next.fused);
    EXPECT_EQ(next.bits, later.bits);
}

// Instructions built by hand: a chain whose first temporary is also read by a later instruction
// does not form (the fused run would leave that temporary unwritten), one without such a reader
// does, and both blocks give what their instructions give one by one.
class FusedBlockTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXVariable* named(const std::string& name, int seed) {
        CQXVariable* v = make(kN, kN);
        v->setName_intern(name);
        Program::fillWith(v, seed);
        return v;
    }
    CQXVariable* temp() {
        CQXVariable* v = make(1, 1);
        v->setVarState(vsRESIZABLE);
        return v;
    }
};

TEST_F(FusedBlockTest, ATemporaryReadElsewhereEndsNoChainEarly) {
    CQXVariable* a = named("a", 1);
    CQXVariable* b = named("b", 2);
    CQXVariable* t0 = temp();
    CQXVariable* t1 = temp();
    CQXVariable* t2 = temp();
    for (bool readElsewhere : {true, false}) {
        CQXInterpreter block(&m_Shared);
        block.addByteCode(sByteCode(otELEMMUL, a, b, t0), 1, 1);
        block.addByteCode(sByteCode(otADD, t0, a, t1), 1, 2);
        block.addByteCode(sByteCode(otSUB, readElsewhere ? t0 : a, b, t2), 2, 1);
        const std::vector<qxfuse::Chain> chains = qxfuse::findChains(block.getByteCode());
        EXPECT_EQ(chains.empty(), readElsewhere);
        m_Shared.m_InstructionsLeft = 1000;
        ASSERT_EQ(block.Interprete(), isOK);
        a->setData(0, 0, 40.0);  // t0 changes with it
        const unsigned long long before = qxfuse::fusedRunCount();
        ASSERT_EQ(block.Interprete(), isOK);
        EXPECT_EQ(qxfuse::fusedRunCount() != before, !readElsewhere);
        const double t00 = 40.0 * b->getData(0, 0);
        EXPECT_EQ(bitsOf(t1->getData(0, 0)), bitsOf(t00 + 40.0));
        if (readElsewhere) {
            EXPECT_EQ(bitsOf(t2->getData(0, 0)), bitsOf(t00 - b->getData(0, 0)));
        }
    }
}

// A host reference over the rows of the chain's first temporary, read beside that temporary:
// one by one it reads the value the first instruction has just stored, a fused run would read
// what the run before left there. The chain is left to the instructions.
TEST_F(FusedBlockTest, AnOperandOverATemporarysRowsIsLeftToTheInstructions) {
    CQXVariable* a = named("a", 1);
    CQXVariable* b = named("b", 2);
    CQXVariable* t0 = temp();
    CQXVariable* t1 = temp();
    ASSERT_TRUE(t0->resizeVar_intern(kN, kN));
    CQXVariable* r = fresh();
    r->setDouble("r", kN, kN, t0->getDoublePtr_intern());
    ASSERT_TRUE(r->sharesStorageWith(*t0));
    CQXInterpreter block(&m_Shared);
    block.addByteCode(sByteCode(otELEMMUL, a, b, t0), 1, 1);
    block.addByteCode(sByteCode(otADD, t0, r, t1), 1, 2);
    ASSERT_EQ(qxfuse::findChains(block.getByteCode()).size(), 1u);
    for (double first : {40.0, -3.0}) {
        a->setData(0, 0, first);
        m_Shared.m_InstructionsLeft = 1000;
        const unsigned long long before = qxfuse::fusedRunCount();
        ASSERT_EQ(block.Interprete(), isOK);
        EXPECT_EQ(qxfuse::fusedRunCount(), before);
        const double t00 = first * b->getData(0, 0);
        EXPECT_EQ(bitsOf(t1->getData(0, 0)), bitsOf(t00 + t00));
        ASSERT_TRUE(r->sharesStorageWith(*t0));  // the temporary kept its rows
    }
}

// A binary instruction without its second operand does nothing; it joins no chain, whose strips
// would read through the missing variable.
TEST_F(FusedBlockTest, AnInstructionWithoutItsSecondOperandJoinsNoChain) {
    CQXVariable* a = named("a", 1);
    CQXVariable* b = named("b", 2);
    CQXVariable* t0 = temp();
    CQXVariable* t1 = temp();
    t1->setData(0, 0, 7.0);
    CQXInterpreter block(&m_Shared);
    block.addByteCode(sByteCode(otELEMMUL, a, b, t0), 1, 1);
    block.addByteCode(sByteCode(otADD, t0, sByteCodeVar(), t1), 1, 2);
    EXPECT_TRUE(qxfuse::findChains(block.getByteCode()).empty());
    for (int run = 0; run < 2; ++run) {
        m_Shared.m_InstructionsLeft = 1000;
        ASSERT_EQ(block.Interprete(), isOK);
        EXPECT_EQ(t1->getData(0, 0), 7.0);
    }
}

// ---- The operand address resolver ----

class AddressTest : public ::testing::Test, protected qxtest::CMatrices {
protected:
    CQXVariable* num(double value) { return make(1, 1, {value}); }
    // An element operand of a 3x4 matrix, or a range operand given first row, row count, first
    // column and column count; a null index stands for a 2x2 matrix (not a single).
    sByteCodeOperand element(CQXVariable* row, CQXVariable* col) {
        sByteCodeVar o(m_Var);
        o.m_bSingle = true;
        o.m_pRow = row;
        o.m_pCol = col;
        return o;
    }
    sByteCodeOperand range(CQXVariable* r0, CQXVariable* nr, CQXVariable* c0, CQXVariable* nc) {
        sByteCodeVar o(m_Var);
        o.m_bRange = true;
        o.m_pRowFrom = r0;
        o.m_pRowCount = nr;
        o.m_pColFrom = c0;
        o.m_pColCount = nc;
        return o;
    }
    qxaddr::eFault fault(const sByteCodeOperand& op) {
        qxaddr::sAddress at;
        return qxaddr::resolve(op, at);
    }
    CQXVariable* m_Var = make(3, 4);
    CQXVariable* m_Pair = make(2, 2);
};

TEST_F(AddressTest, ElementFaultsInTheirOrder) {
    using qxaddr::eFault;
    EXPECT_EQ(fault(element(m_Pair, m_Pair)), eFault::kRowNotSingle);
    EXPECT_EQ(fault(element(num(9), m_Pair)), eFault::kColNotSingle);
    EXPECT_EQ(fault(element(num(3), num(9))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(element(num(-1), num(0))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(element(num(kNaN), num(0))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(element(num(1e300), num(0))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(element(num(2), num(4))), eFault::kColOutOfRange);
    EXPECT_EQ(fault(element(num(2), num(-kInf))), eFault::kColOutOfRange);
    qxaddr::sAddress at;
    EXPECT_EQ(qxaddr::resolve(element(num(2.9), num(-0.5)), at), eFault::kNone);
    EXPECT_EQ(at.row0, 2);
    EXPECT_EQ(at.col0, 0);
    EXPECT_EQ(at.rows, 1);
    EXPECT_EQ(at.cols, 1);
}

TEST_F(AddressTest, RangeFaultsInTheirOrder) {
    using qxaddr::eFault;
    EXPECT_EQ(fault(range(m_Pair, num(1), m_Pair, num(1))), eFault::kRowNotSingle);
    EXPECT_EQ(fault(range(num(0), m_Pair, num(0), num(1))), eFault::kRowNotSingle);
    EXPECT_EQ(fault(range(num(0), num(1), m_Pair, num(1))), eFault::kColNotSingle);
    EXPECT_EQ(fault(range(num(0), num(1), num(0), m_Pair)), eFault::kColNotSingle);
    EXPECT_EQ(fault(range(num(2), num(2), num(9), num(9))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(range(num(0), num(-1), num(0), num(1))), eFault::kRowOutOfRange);
    EXPECT_EQ(fault(range(num(0), num(3), num(1), num(4))), eFault::kColOutOfRange);
    qxaddr::sAddress at;
    EXPECT_EQ(qxaddr::resolve(range(num(1), num(2), num(3), num(1)), at), eFault::kNone);
    EXPECT_EQ(at.row0, 1);
    EXPECT_EQ(at.rows, 2);
    EXPECT_EQ(at.col0, 3);
    EXPECT_EQ(at.cols, 1);
    EXPECT_EQ(qxaddr::resolve(range(num(3), num(0), num(4), num(0)), at), eFault::kNone);
    EXPECT_EQ(at.rows, 0);
    EXPECT_EQ(at.cols, 0);
    EXPECT_EQ(qxaddr::resolve(sByteCodeOperand(m_Var), at), eFault::kNone);
    EXPECT_EQ(at.rows, 3);
    EXPECT_EQ(at.cols, 4);
}

// The tiers that read storage directly refuse an address that covers an absent host row.
TEST_F(AddressTest, AnAbsentRowIsAFaultOnlyWhereTheAddressCoversIt) {
    double data[2][4] = {};
    double* rows[3] = {data[0], nullptr, data[1]};
    CQXVariable* host = fresh();
    host->setDouble("h", 3, 4, rows);
    EXPECT_EQ(qxaddr::rowsPresent(*host, {0, 0, 3, 4}), qxaddr::eFault::kRowAbsent);
    EXPECT_EQ(qxaddr::rowsPresent(*host, {1, 2, 1, 1}), qxaddr::eFault::kRowAbsent);
    EXPECT_EQ(qxaddr::rowsPresent(*host, {2, 0, 1, 4}), qxaddr::eFault::kNone);
    EXPECT_EQ(qxaddr::rowsPresent(*host, {0, 0, 1, 4}), qxaddr::eFault::kNone);
    EXPECT_EQ(qxaddr::rowsPresent(*host, {1, 0, 0, 4}), qxaddr::eFault::kNone);
    CQXVariable* none = fresh();
    none->setDouble("n", 3, 4, nullptr);
    EXPECT_EQ(qxaddr::rowsPresent(*none, {0, 0, 1, 1}), qxaddr::eFault::kRowAbsent);
}

}  // namespace
