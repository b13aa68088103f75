// The host functions that qxrun registers for its scripts, examples of host functions: print(x)
// writes x as a qx value and a line feed; puts(s) writes a string (one row of character codes)
// as text and a line feed, so a script can label its output.
#pragma once

#include <qx/qx.h>

#include <ostream>
#include <string>
#include <vector>

// One value parameter, no return value. The argument arrives as a double matrix (value
// arguments of host functions always do), so print shows integers without decimals and every
// other number in its shortest round-trip form.
class CPrintFunction : public CQXFunction {
public:
    CPrintFunction(CQXSharedParameter* shared, std::ostream& out);
    // Values of more elements are shown in part (0: every value whole).
    void setMaxElements(long long count) { m_MaxElements = count; }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override;

private:
    std::ostream& m_Out;
    long long m_MaxElements = 0;
};

// One value parameter, no return value. A matrix of one row is written as the characters of its
// codes (puts("rms ="), puts(tostr(x, 3))); anything else is refused with kPutsNeedsString.
class CPutsFunction : public CQXFunction {
public:
    CPutsFunction(CQXSharedParameter* shared, std::ostream& out);

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override;

private:
    std::ostream& m_Out;
};

// The run-time error of puts for an argument that is not one row.
extern const char* const kPutsNeedsString;

// The text of a string value: each element truncated toward zero, and of that integer the low
// 8 bits (as the standard functions read names: 321 gives "A", the code -28 of a byte 0xE4 in
// a string literal gives the byte back); NaN and the infinities give the character 0.
std::string textOf(const CQXVariable& var);
