// Standard functions that build new matrices from scalar arguments: zeros, ones, identity,
// linspace, rand, and srand, which seeds rand's per-thread generator.
#pragma once

#include "qx/functions/function.h"

QX_DECLARE_STD_FUNCTION(CZeros);
QX_DECLARE_STD_FUNCTION(COnes);
QX_DECLARE_STD_FUNCTION(CIdentity);
QX_DECLARE_STD_FUNCTION(CLinSpace);
QX_DECLARE_STD_FUNCTION(CRandom);
QX_DECLARE_STD_FUNCTION(CRandomize);
