// The lexer: the first stage of the pipeline (script text -> lexer -> compiler -> blocks of
// instructions -> interpreter -> variables). It classifies one token at a time for the compiler
// and keeps the line and line-start counters from which every compile error takes its position.
#include "qx/lexer/lexer.h"

#include <algorithm>
#include <climits>

#include "qx/numtext_internal.h"

namespace {

// The reserved words, indexed by eReservedWord; matching is exact and case-sensitive.
const char* const kReservedWords[] = {"func", "return", "if",       "while", "for",
                                      "else", "break",  "continue", "byte",  "short",
                                      "int",  "float",  "double"};
constexpr int kReservedCount = sizeof kReservedWords / sizeof kReservedWords[0];

// The counters are ints, so a text longer than this reads as if it ended here. Keeping the
// cursor below INT_MAX leaves room for the look-ahead arithmetic (cursor + 2) without overflow.
constexpr long long kTextLimit = INT_MAX - 4;

// Character classes of the "C" locale, written out so that neither the host's locale nor the
// sign of char changes them; bytes from 0x80 up belong to no class.
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isNameChar(char c) {
    return isLetter(c) || isDigit(c) || c == '_';
}

// The character at index i, or NUL past the usable text or without a text at all. Callers
// never step past a NUL, so every index asked for lies inside the string.
char charAt(const CQXParser& p, long long i) {
    if (p.m_pBuffer == nullptr || i < 0 || i >= kTextLimit) return '\0';
    return p.m_pBuffer[i];
}

char current(const CQXParser& p) {
    return charAt(p, p.m_Cursor);
}
char ahead(const CQXParser& p, int n) {
    return charAt(p, static_cast<long long>(p.m_Cursor) + n);
}

// Counts the line feed at the cursor as a line break whose next line starts right after it
// (the rule inside comments and strings, where the first character then stands at position 0).
void breakLineAfterCursor(CQXParser& p) {
    ++p.m_Line;
    p.m_LineStart = p.m_Cursor + 1;
}

// Skips the rest of a // comment, the cursor standing on its second slash. True when a line
// feed ended it, false when the text ended first (the cursor then rests on the NUL).
bool passLineComment(CQXParser& p) {
    ++p.m_Cursor;
    for (char c = current(p); c != '\0'; c = current(p)) {
        if (c == '\n') {
            breakLineAfterCursor(p);
            ++p.m_Cursor;
            return true;
        }
        ++p.m_Cursor;
    }
    return false;
}

// Skips the rest of a block comment, the cursor standing on the star of its opening. True when
// the closing star and slash were passed, false when the text ended first. Comments do not nest.
bool passBlockComment(CQXParser& p) {
    ++p.m_Cursor;
    for (char c = current(p); c != '\0'; c = current(p)) {
        if (c == '*' && ahead(p, 1) == '/') {
            p.m_Cursor += 2;
            return true;
        }
        if (c == '\n') breakLineAfterCursor(p);
        ++p.m_Cursor;
    }
    return false;
}

// A text that ends inside a comment ends there: the end token starts on the NUL, so a token
// given back and read again does not pass the comment (and count its line feeds) a second time.
eTokenType endInComment(CQXParser& p) {
    p.m_TokenStart = p.m_Cursor;
    return ttEND;
}

// Consumes n characters and answers the token they form.
eTokenType take(CQXParser& p, int n, eTokenType type) {
    p.m_Cursor += n;
    return type;
}

// A two-character operator, or its three-character form when a dot follows. The third character
// is looked at only after the second matched, so the look-ahead never passes the NUL.
eTokenType pairOrDotted(CQXParser& p, eTokenType pair, eTokenType dotted) {
    return ahead(p, 2) == '.' ? take(p, 3, dotted) : take(p, 2, pair);
}

// Operators whose first character is one of ! & | (the cursor is on that character).
eTokenType logicalOperator(CQXParser& p, char c) {
    const char next = ahead(p, 1);
    if (c == '!') {
        return next == '=' ? pairOrDotted(p, ttNOTEQUAL, ttNOTEQUALDOT) : take(p, 1, ttNOT);
    }
    if (c == '&') {
        return next == '&' ? pairOrDotted(p, ttAND, ttANDDOT) : take(p, 1, ttAMPERSAND);
    }
    // A vertical bar: a single one starts no token but is still passed over.
    return next == '|' ? pairOrDotted(p, ttOR, ttORDOT) : take(p, 1, ttUNKNOWN);
}

// Operators of one or two characters (a slash is handled by the caller for the comments).
eTokenType arithmeticOperator(CQXParser& p, char c) {
    const char next = ahead(p, 1);
    switch (c) {
        case '+':
            if (next == '+') return take(p, 2, ttINC);
            return next == '=' ? take(p, 2, ttADDASSIGN) : take(p, 1, ttPLUS);
        case '-':
            if (next == '-') return take(p, 2, ttDEC);
            return next == '=' ? take(p, 2, ttSUBASSIGN) : take(p, 1, ttMINUS);
        case '*':
            return next == '=' ? take(p, 2, ttMULASSIGN) : take(p, 1, ttMUL);
        case '/':
            return next == '=' ? take(p, 2, ttDIVASSIGN) : take(p, 1, ttDIV);
        case '.':
            if (next == '*') return take(p, 2, ttELEMMUL);
            return next == '/' ? take(p, 2, ttELEMDIV) : take(p, 1, ttDOT);
        case '=':
            return next == '=' ? take(p, 2, ttEQUAL) : take(p, 1, ttASSIGN);
        case '<':
            return next == '=' ? take(p, 2, ttLESSEQUAL) : take(p, 1, ttLESS);
        case '>':
            return next == '=' ? take(p, 2, ttGREATEREQUAL) : take(p, 1, ttGREATER);
        default:
            return ttUNKNOWN;
    }
}

// Single-character tokens; anything else starts no token and leaves the cursor where it is.
eTokenType punctuation(CQXParser& p, char c) {
    switch (c) {
        case '"':
            return take(p, 1, ttQUOTE);
        case '%':
            return take(p, 1, ttMODULO);
        case '(':
            return take(p, 1, ttLPAREN);
        case ')':
            return take(p, 1, ttRPAREN);
        case '[':
            return take(p, 1, ttLBRACKET);
        case ']':
            return take(p, 1, ttRBRACKET);
        case '{':
            return take(p, 1, ttLBRACE);
        case '}':
            return take(p, 1, ttRBRACE);
        case ',':
            return take(p, 1, ttCOMMA);
        case ';':
            return take(p, 1, ttSEMICOLON);
        case '^':
            return take(p, 1, ttPOWER);
        default:
            return ttUNKNOWN;
    }
}

// Classifies the operator or punctuation character c at the cursor.
eTokenType symbolToken(CQXParser& p, char c) {
    switch (c) {
        case '!':
        case '&':
        case '|':
            return logicalOperator(p, c);
        case '+':
        case '-':
        case '*':
        case '/':
        case '.':
        case '=':
        case '<':
        case '>':
            return arithmeticOperator(p, c);
        default:
            return punctuation(p, c);
    }
}

}  // namespace

CQXParser::CQXParser()
    : m_Line(1), m_Cursor(0), m_LineStart(0), m_pBuffer(nullptr), m_TokenStart(0) {}

CQXParser::~CQXParser() = default;

void CQXParser::setBuffer(std::string& text) {
    m_pBuffer = text.c_str();
}

void CQXParser::clear() {
    m_Line = 1;
    m_Cursor = 0;
    m_LineStart = 0;
    m_TokenStart = 0;
}

// Comments are skipped in a loop rather than by the comment skippers calling back into
// nextToken, so a text made of many comments cannot exhaust the stack.
eTokenType CQXParser::nextToken() {
    for (;;) {
        skipWhiteSpace();
        m_TokenStart = m_Cursor;
        const char c = current(*this);
        if (c == '\0') return ttEND;
        if (isLetter(c) || c == '_') {
            const bool reserved = getReserved() != rwNONE;
            m_Cursor = m_TokenStart;
            return reserved ? ttRESERVED : ttNAME;
        }
        if (isDigit(c)) return ttNUMBER;
        if (c == '/' && (ahead(*this, 1) == '/' || ahead(*this, 1) == '*')) {
            ++m_Cursor;
            const bool closed =
                current(*this) == '/' ? passLineComment(*this) : passBlockComment(*this);
            if (!closed) return endInComment(*this);
            continue;
        }
        return symbolToken(*this, c);
    }
}

std::string CQXParser::getName(bool consume) {
    const int start = m_Cursor;
    std::string name;
    // The first character is taken unchecked (callers know a name starts here), but never the
    // terminating NUL.
    if (current(*this) != '\0') name += m_pBuffer[m_Cursor++];
    for (char c = current(*this);; c = current(*this)) {
        const bool colon = c == ':' && ahead(*this, 1) != ':';
        if (!isNameChar(c) && !colon) break;
        name += c;
        ++m_Cursor;
    }
    if (!consume) m_Cursor = start;
    return name;
}

double CQXParser::getNumber() {
    if (m_pBuffer == nullptr || current(*this) == '\0') return 0.0;
    const char* start = m_pBuffer + m_Cursor;
    char* end = nullptr;
    double value;
    // Only a lowercase x selects the integer hexadecimal form; 0X... is left to the decimal
    // reader, which has hexadecimal forms of its own.
    if (start[0] == '0' && start[1] == 'x') {
        value = static_cast<double>(qxtext::toLong(start, &end, 16));
    } else {
        value = qxtext::toDouble(start, &end);
    }
    const long long stop = static_cast<long long>(m_Cursor) + (end - start);
    m_Cursor = static_cast<int>(stop < kTextLimit ? stop : kTextLimit);
    return value;
}

std::string CQXParser::getString() {
    std::string text;
    for (char c = current(*this); c != '\0' && c != '"'; c = current(*this)) {
        if (c == '\n') {
            breakLineAfterCursor(*this);
        } else {
            text += c;
        }
        ++m_Cursor;
    }
    return text;
}

eReservedWord CQXParser::getReserved() {
    const std::string name = getName(true);
    for (int i = 0; i < kReservedCount; ++i) {
        if (name == kReservedWords[i]) return static_cast<eReservedWord>(i);
    }
    return rwNONE;
}

bool CQXParser::isReservedWord(const std::string& text) {
    return std::find(kReservedWords, kReservedWords + kReservedCount, text) !=
           kReservedWords + kReservedCount;
}

std::vector<std::string> CQXParser::reservedWords() {
    return std::vector<std::string>(kReservedWords, kReservedWords + kReservedCount);
}

// Read as getName reads it: the whole text must be taken, and it must start as a name does.
bool CQXParser::isName(const std::string& text) {
    if (text.empty() || !(isLetter(text[0]) || text[0] == '_')) return false;
    for (size_t i = 1; i < text.size(); ++i) {
        const bool colon = text[i] == ':' && (i + 1 == text.size() || text[i + 1] != ':');
        if (!isNameChar(text[i]) && !colon) return false;
    }
    return !isReservedWord(text);
}

void CQXParser::getBack() {
    m_Cursor = m_TokenStart;
}

// A line feed skipped as white space becomes the start of the next line itself, so the first
// character of that line stands at position 1.
void CQXParser::skipWhiteSpace() {
    for (char c = current(*this); isSpace(c); c = current(*this)) {
        if (c == '\n') {
            ++m_Line;
            m_LineStart = m_Cursor;
        }
        ++m_Cursor;
    }
}

eTokenType CQXParser::skipSingleComment() {
    if (!passLineComment(*this)) return endInComment(*this);
    return nextToken();
}

eTokenType CQXParser::skipMultiComment() {
    if (!passBlockComment(*this)) return endInComment(*this);
    return nextToken();
}
