// One argument of a host call (CQXCompiler::callFunc): one of the compiler's variables, or a
// value the call makes a temporary variable of for its own duration (a number, or an array of
// the host's), so a host passes numbers and its own data without adding global variables that
// scripts would see.
#pragma once

#include "qx/export.h"

class CQXVariable;

enum eCallArgumentKind {
    cakVARIABLE = 0,  // m_pVar itself: a reference parameter writes it
    cakNUMBER = 1,    // m_Value as a 1x1 double
    cakSPAN = 2,      // m_Rows x m_Cols doubles at m_pData, row by row, in the host's memory
    cakCONSTSPAN = 3  // the same, read only: copied, and refused for a reference parameter
};

struct sCallArgument {
    // A variable of the compiler (from an add operation or getVar).
    sCallArgument(CQXVariable* var) : m_Kind(cakVARIABLE), m_pVar(var) {}
    // A number. The int form makes a literal 0 a number rather than a null variable.
    sCallArgument(double value) : m_Kind(cakNUMBER), m_Value(value) {}
    sCallArgument(int value) : m_Kind(cakNUMBER), m_Value(value) {}
    // The host's rows x cols doubles, row by row. A reference parameter writes them in place;
    // they must stay valid until the call returns.
    sCallArgument(double* data, int rows, int cols)
        : m_Kind(cakSPAN), m_pData(data), m_Rows(rows), m_Cols(cols) {}
    sCallArgument(const double* data, int rows, int cols)
        : m_Kind(cakCONSTSPAN), m_pData(data), m_Rows(rows), m_Cols(cols) {}

    eCallArgumentKind m_Kind;
    CQXVariable* m_pVar = nullptr;
    double m_Value = 0;
    const double* m_pData = nullptr;
    int m_Rows = 0;
    int m_Cols = 0;
};
