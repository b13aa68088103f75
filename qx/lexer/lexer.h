// The lexer: splits the script text into tokens for the one-pass compiler and keeps the line
// and line-start counters from which every compile error's position is taken. Names, numbers
// and strings are classified by nextToken and then read by getName, getNumber or getString.
#pragma once

#include <string>
#include <vector>

#include "qx/export.h"

enum eTokenType {
    ttUNKNOWN = 0,
    ttNAME = 1,
    ttNUMBER = 2,
    ttRESERVED = 3,
    ttSEMICOLON = 4,
    ttCOMMA = 5,
    ttLBRACKET = 6,
    ttRBRACKET = 7,
    ttLBRACE = 8,
    ttRBRACE = 9,
    ttLPAREN = 10,
    ttRPAREN = 11,
    ttASSIGN = 12,
    ttEQUAL = 13,
    ttPLUS = 14,
    ttMINUS = 15,
    ttMUL = 16,
    ttDIV = 17,
    ttEND = 18,
    ttLESS = 19,
    ttGREATER = 20,
    ttLESSEQUAL = 21,
    ttGREATEREQUAL = 22,
    ttNOTEQUAL = 23,
    ttNOT = 24,
    ttAND = 25,
    ttOR = 26,
    ttINC = 27,
    ttDEC = 28,
    ttPOWER = 29,
    ttELEMMUL = 30,
    ttELEMDIV = 31,
    ttADDASSIGN = 32,
    ttSUBASSIGN = 33,
    ttMULASSIGN = 34,
    ttDIVASSIGN = 35,
    ttMODULO = 36,
    ttDOT = 37,
    ttAMPERSAND = 38,
    ttQUOTE = 39,
    ttANDDOT = 40,
    ttORDOT = 41,
    ttNOTEQUALDOT = 42
};

enum eReservedWord {
    rwNONE = -1,
    rwFUNC = 0,
    rwRETURN,
    rwIF,
    rwWHILE,
    rwFOR,
    rwELSE,
    rwBREAK,
    rwCONTINUE,
    rwBYTE,
    rwSHORT,
    rwINT,
    rwFLOAT,
    rwDOUBLE
};

class QX_API CQXParser {
public:
    CQXParser(const CQXParser& other) = default;
    CQXParser& operator=(const CQXParser& other) = default;
    virtual ~CQXParser();

    // Points the lexer at the string's characters; the string must outlive the parsing.
    void setBuffer(std::string& text);
    // Line 1, cursor 0, line start 0, token start 0; the text pointer stays.
    void clear();
    eTokenType nextToken();
    std::string getName(bool consume);
    double getNumber();
    std::string getString();
    eReservedWord getReserved();
    void getBack();
    void skipWhiteSpace();
    eTokenType skipSingleComment();
    eTokenType skipMultiComment();

    // The position errors report: cursor minus line start.
    int getPosition() const { return m_Cursor - m_LineStart; }

    // The rules of names, for hosts that build script text or offer names to complete: a word
    // the lexer reads whole as one name (a letter or '_', then letters, digits, '_' and colons
    // not followed by another colon) that is no reserved word.
    static bool isName(const std::string& text);
    static bool isReservedWord(const std::string& text);
    // The reserved words in the order of eReservedWord.
    static std::vector<std::string> reservedWords();

    int m_Line;             // current line, 1-based
    int m_Cursor;           // index of the next character to read
    int m_LineStart;        // index from which positions on the current line are counted
    const char* m_pBuffer;  // the NUL-terminated text; not owned
    int m_TokenStart;       // value of m_Cursor where the last token began

protected:
    CQXParser();
    friend class CQXCompiler;
};
