// Standard functions that combine two or three matrices of equal shape element by element:
// min, max, median.
#pragma once

#include "qx/functions/function.h"

QX_DECLARE_STD_FUNCTION(CMinimum);
QX_DECLARE_STD_FUNCTION(CMaximum);
QX_DECLARE_STD_FUNCTION(CMedian);
