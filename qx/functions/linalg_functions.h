// Standard functions of linear algebra: inverse, and the symmetric and generalized eigen
// decompositions, which write their results into two reference arguments.
#pragma once

#include "qx/functions/function.h"

QX_DECLARE_STD_FUNCTION(CInverse);
QX_DECLARE_STD_FUNCTION(CEigenS);
QX_DECLARE_STD_FUNCTION(CEigenA);
