// The error record that carries every failure: compile errors (the compiler's m_Error) and
// run-time errors (the compiler's m_Exception, a block's or a function's record). It renders
// type text, location and detail into the one message text the host shows.
#pragma once

#include <string>

#include "qx/export.h"

enum eErrorType {
    etNOERROR = 0,
    etUNKNOWN = 1,
    etSYNTAX = 2,
    etDECLARATION = 3,
    etRESERVEDWORD = 4,
    etINDEX = 5,
    etCONSTLVALUE = 6,
    etTYPEMISMATCH = 7,
    etNAMEEXPECTED = 8,
    etFUNCDECLARED = 9,
    etVARDECLARED = 10,
    etOPENEXPECTED = 11,
    etCLOSEEXPECTED = 12,
    etUNDEFINEDVAR = 13,
    etNORETURNTYPE = 14,
    etUNKNOWNIDENT = 15,
    // 16 has no name and no text of its own: it renders as "No Error".
    etNOREFERENCE = 17,
    etINTERPRETER = 18,
    etDIVZERO = 19,
    etNOTRESIZEABLE = 20
};

// One step on the way to a run-time error, as CQXCompiler::getExceptionTrace lists them: the
// line and position (stored as an error record stores them) of an instruction, and the name of
// the function that instruction called. An empty name marks the failing instruction itself when
// it is not a call; line and position -1 mark the function a host call started.
struct sCallSite {
    std::string m_Function;
    int m_Line;
    int m_Pos;
};

class QX_API CQXError {
public:
    CQXError(const CQXError& other) = default;
    CQXError& operator=(const CQXError& other) = default;
    virtual ~CQXError();

    // Overwrites all four fields; always returns false so a reporter can return its result.
    bool setError(eErrorType type, int line, int pos, std::string text);
    // Run-time error: type etINTERPRETER, the message, and " accessing Variable <name>" when
    // varName is not empty. Always returns false.
    bool setException(const std::string& msg, int line, int pos, const std::string& varName);

    // Type text, then " on line L, position P-1." unless the line is -1, one blank, the detail.
    std::string getError() const;
    // The rendered text and the stored line and position (not reduced by one); returns the type.
    eErrorType getError(int& line, int& pos, std::string& text) const;

    eErrorType getType() const { return m_Type; }
    int getLine() const { return m_Line; }
    int getPos() const { return m_Pos; }
    const std::string& getText() const { return m_Text; }

    // The fixed text of an error type; any value outside 1..20 (and 16) reads "No Error".
    static const char* typeText(int type);

protected:
    explicit CQXError(eErrorType type = etUNKNOWN, int line = 0, int pos = 0);
    friend class CQXCompiler;
    friend class CQXInterpreter;
    friend class CQXFunction;

    eErrorType m_Type;
    int m_Line;
    int m_Pos;
    std::string m_Text;
};
