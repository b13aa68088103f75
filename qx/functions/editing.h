// Standard functions that rearrange the elements of a matrix or convert a number to text:
// rowins, colins, rowdel, coldel, transpose, sort, where, tostr.
#pragma once

#include "qx/functions/function.h"

QX_DECLARE_STD_FUNCTION(CRowInsert);
QX_DECLARE_STD_FUNCTION(CColInsert);
QX_DECLARE_STD_FUNCTION(CRowDelete);
QX_DECLARE_STD_FUNCTION(CColDelete);
QX_DECLARE_STD_FUNCTION(CTranspose);
QX_DECLARE_STD_FUNCTION(CSort);
QX_DECLARE_STD_FUNCTION(CWhere);
QX_DECLARE_STD_FUNCTION(CToString);
