// The eighteen element-wise math functions: each applies one numeric function to every
// element of its argument(s) and returns a double matrix of the same shape. Partial functions
// fail with a run-time error, or give a substitute value when the smart-error option is on.
#pragma once

#include "qx/functions/function.h"

QX_DECLARE_STD_FUNCTION(CSin);
QX_DECLARE_STD_FUNCTION(CArcSin);
QX_DECLARE_STD_FUNCTION(CCos);
QX_DECLARE_STD_FUNCTION(CArcCos);
QX_DECLARE_STD_FUNCTION(CTan);
QX_DECLARE_STD_FUNCTION(CArcTan);
QX_DECLARE_STD_FUNCTION(CArcTan2);
QX_DECLARE_STD_FUNCTION(CAbs);
QX_DECLARE_STD_FUNCTION(CExp);
QX_DECLARE_STD_FUNCTION(CLog10);
QX_DECLARE_STD_FUNCTION(CLn);
QX_DECLARE_STD_FUNCTION(CLd);
QX_DECLARE_STD_FUNCTION(CFloor);
QX_DECLARE_STD_FUNCTION(CCeil);
QX_DECLARE_STD_FUNCTION(CFMod);
QX_DECLARE_STD_FUNCTION(CModF);
QX_DECLARE_STD_FUNCTION(CSqrt);
QX_DECLARE_STD_FUNCTION(CPow);
