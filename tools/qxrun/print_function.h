// The print function that qxrun registers for its scripts: an example of a host function. A
// script calls print(x); qxrun writes x as a qx value (formatValue) and a line feed.
#pragma once

#include <qx/qx.h>

#include <ostream>
#include <vector>

// One value parameter, no return value. The argument arrives as a double matrix (value
// arguments of host functions always do), so print shows integers without decimals and every
// other number in its shortest round-trip form.
class CPrintFunction : public CQXFunction {
public:
    CPrintFunction(CQXSharedParameter* shared, std::ostream& out);

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override;

private:
    std::ostream& m_Out;
};
