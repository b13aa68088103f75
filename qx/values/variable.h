// The one value type: a rows x cols matrix of one element type, held as a row array. Script
// variables, temporaries, constants, parameters, return values and the host's own matrices
// (bound by reference to the host's row arrays) are all CQXVariable objects.
#pragma once

#include <memory>
#include <string>

#include "qx/export.h"

class CQXSharedParameter;

// Element types. The script constants "dtBYTE" .. "dtDOUBLE" are these values minus one.
enum eDataType { edtBYTE = 1, edtSHORT = 2, edtINT = 3, edtFLOAT = 4, edtDOUBLE = 5 };

// Shape class, recomputed after every change of size.
enum eVariableType { vtSINGLE = 0, vtROW = 1, vtCOLUMN = 2, vtMATRIX = 3, vtUNDEFINED = 4 };

// Who owns the storage and whether the shape may change.
enum eVariableState {
    vsOWNED = 0,          // one block allocated by the variable
    vsREFERENCE = 1,      // row array and elements belong to the host or another variable
    vsRESIZABLE = 2,      // owned, and scripts may change the shape
    vsREFERENCE_FLAT = 3  // elements belong to the host, the one-entry row array is our own
};

// Copying: a copy of an owning variable (vsOWNED, vsRESIZABLE) gets its own storage with the
// same contents; a copy of a reference shares the referenced elements (and gets its own row
// array where the source owns one). No copy ever frees storage it does not own.
class QX_API CQXVariable {
public:
    CQXVariable(const CQXVariable& other);
    CQXVariable& operator=(const CQXVariable& other);
    virtual ~CQXVariable();

    // Row arrays of one element type, null when the element type differs. Locked.
    double** getDoublePtr();
    float** getFloatPtr();
    int** getIntPtr();
    unsigned short** getShortPtr();
    unsigned char** getBytePtr();

    eDataType getDataType() const { return m_DataType; }
    eVariableType getVarType() const { return m_VarType; }
    int getRows() const { return m_Rows; }
    int getCols() const { return m_Cols; }
    bool getConst() const { return m_bConst; }
    bool getVarState(eVariableState state) const { return m_VarState == state; }
    bool isInitialized() const { return m_VarType != vtUNDEFINED; }
    std::string getName() const { return nameRef(); }

    // Element access converted to and from double; outside the matrix reads 0 and writes
    // nothing. Stores use the plain conversion (no clipping). Not locked.
    double getData(int row, int col) const;
    void setData(int row, int col, double value);

    void setConst(bool isConst);         // locked
    bool resizeVar(int rows, int cols);  // locked; only vsRESIZABLE variables, sizes >= 1

    // resizeVar and changeReference refuse (false, nothing changes) while a running call has the
    // variable bound to a reference parameter; the host function that tried it then fails.

    // Re-point a reference variable (vsREFERENCE or vsREFERENCE_FLAT) to a flat host array:
    // the variable becomes a 1 x count row over data (vsREFERENCE_FLAT). Locked.
    bool changeReference(int count, unsigned char* data);
    bool changeReference(int count, unsigned short* data);
    bool changeReference(int count, int* data);
    bool changeReference(int count, float* data);
    bool changeReference(int count, double* data);
    // Re-point a reference variable to the host's row array (vsREFERENCE). Locked.
    bool changeReference(int rows, int cols, unsigned char** data);
    bool changeReference(int rows, int cols, unsigned short** data);
    bool changeReference(int rows, int cols, int** data);
    bool changeReference(int rows, int cols, float** data);
    bool changeReference(int rows, int cols, double** data);

    // Text form "name=v,v,\r\n..." (locked) and reductions over all elements (not locked).
    std::string toString();
    // The value as qx text that reads back to the same value: "3" for a 1x1, "[1, 2, 3]" for one
    // row, one row per line with right-aligned columns for several rows, whose continuation
    // lines start with indent + 1 blanks (to stand under a '[' at column indent). Integer types
    // as integers, float and double elements in the shortest form that reads back exactly,
    // whatever the locale; infinities and not-a-number read "inf", "-inf" and "nan", which no
    // qx text gives back. A variable without elements reads "[]". With maxElements above 0, a
    // value of more elements shows only its first and last kTextEdge rows and columns, "..." in
    // between, and ends in " // RxC, shown in part". Locked.
    std::string toText(int indent = 0, long long maxElements = 0) const;
    // One element as toText writes it.
    static std::string numberText(double value, eDataType type);
    static const int kTextEdge = 3;
    double getMin() const;
    double getMax() const;
    double getSum() const;
    double getMean() const;

#ifdef QX_INTERNAL_API
    // ---- Library-internal operations (not visible to hosts) ----
    explicit CQXVariable(CQXSharedParameter* shared);

    // Owned storage: one block of row pointers followed by the zeroed elements. Sizes below 1
    // allocate nothing. A size that cannot be allocated throws std::bad_alloc.
    void initialize(const std::string& name, int rows, int cols, eDataType type);
    // Releases storage according to the state; all row arrays become null.
    void clear();
    // Adopt a host row array (state vsREFERENCE).
    void setDouble(const std::string& name, int rows, int cols, double** data);
    void setFloat(const std::string& name, int rows, int cols, float** data);
    void setInt(const std::string& name, int rows, int cols, int** data);
    void setShort(const std::string& name, int rows, int cols, unsigned short** data);
    void setByte(const std::string& name, int rows, int cols, unsigned char** data);

    bool resizeVar_intern(int rows, int cols);
    bool changeReference_intern(int rows, int cols, unsigned char** data);
    bool changeReference_intern(int rows, int cols, unsigned short** data);
    bool changeReference_intern(int rows, int cols, int** data);
    bool changeReference_intern(int rows, int cols, float** data);
    bool changeReference_intern(int rows, int cols, double** data);
    // Binds this reference variable (vsREFERENCE) to the elements src currently addresses,
    // with a row array of its own copied from src's: used when src is a view whose row array
    // is released or re-pointed after the binding instruction. False for sizes below 1.
    bool bindCopyOf_intern(const CQXVariable& src);

    // ---- Reference parameters of a call ----
    // Binds this reference variable to the elements src addresses, for one call; owner is the
    // variable that holds them (src itself, or the variable behind the view src). A whole
    // variable's row array is shared, a view's is copied. False, leaving this variable unbound,
    // when src has no elements or this variable is not a reference or is pinned itself.
    bool bindArgument_intern(const CQXVariable& src, CQXVariable& owner);
    // The call starts: the owner's storage is pinned until the binding is released. While a
    // variable is pinned, its storage is neither resized nor re-pointed nor re-initialized:
    // internal operations throw CQXStorageFault, the host's operations return false.
    void pinArgument_intern();
    // The call has ended, or never started: forgets the binding and releases the pin.
    void unbindArgument_intern();
    bool isBound_intern() const {
        return m_pBoundTo != nullptr;
    }
    bool isArgumentPinned_intern() const {
        return m_bBindingPinned;
    }
    bool isPinned_intern() const {
        return m_Pins > 0;
    }

    // Element access without bounds checks (callers check); an absent row array reads 0 and
    // ignores writes.
    double getData_intern(int row, int col) const;
    void setData_intern(int row, int col, double value);
    bool hasStorage() const;  // the row array of the element type is not null, rows, cols >= 1

    double** getDoublePtr_intern() const {
        return m_ppDouble;
    }
    float** getFloatPtr_intern() const {
        return static_cast<float**>(narrowRows(edtFLOAT));
    }
    int** getIntPtr_intern() const {
        return static_cast<int**>(narrowRows(edtINT));
    }
    unsigned short** getShortPtr_intern() const {
        return static_cast<unsigned short**>(narrowRows(edtSHORT));
    }
    unsigned char** getBytePtr_intern() const {
        return static_cast<unsigned char**>(narrowRows(edtBYTE));
    }

    void getSinglePtr(int row, int col, unsigned char** out) const;
    void getSinglePtr(int row, int col, unsigned short** out) const;
    void getSinglePtr(int row, int col, int** out) const;
    void getSinglePtr(int row, int col, float** out) const;
    void getSinglePtr(int row, int col, double** out) const;
    void getRangePtr(int row, int count, int col, unsigned char** out) const;
    void getRangePtr(int row, int count, int col, unsigned short** out) const;
    void getRangePtr(int row, int count, int col, int** out) const;
    void getRangePtr(int row, int count, int col, float** out) const;
    void getRangePtr(int row, int count, int col, double** out) const;

    // Views built by the interpreter: a non-owning vsREFERENCE over a row array the caller owns
    // (rows or cols may be 0 for an empty range). releaseView_intern forgets the row array.
    void setView_intern(int rows, int cols, unsigned char** data);
    void setView_intern(int rows, int cols, unsigned short** data);
    void setView_intern(int rows, int cols, int** data);
    void setView_intern(int rows, int cols, float** data);
    void setView_intern(int rows, int cols, double** data);
    void releaseView_intern();
    void setName_intern(const std::string& name) {
        m_pName = makeName(name);
    }

    void examineVarType();
    void setConst_intern(bool isConst) {
        m_bConst = isConst;
    }
    // A change between owning states and reference states releases the storage first, so the
    // variable never frees memory it does not own.
    void setVarState(eVariableState state);
    eVariableState getState_intern() const {
        return m_VarState;
    }
    CQXSharedParameter* getShared_intern() const {
        return m_pShared;
    }
    bool compareVar(const CQXVariable* other) const;
    bool operator==(const std::string& name) const {
        return nameRef() == name;
    }
    // True when some element of one variable occupies memory of an element of the other,
    // judged row by row (O(n log n) in the row counts).
    bool sharesStorageWith(const CQXVariable& other) const;

    // Fill and copy with conversion and the clipping rule of the shared parameters.
    void setsingle(double value);
    // Copies src's elements over this variable's shape; src must be at least as large. When the
    // two share storage the source is read completely before anything is written.
    void setmatrix(const CQXVariable* src);

    // ---- Arithmetic kernels: the receiver is the double result R, sized by the caller ----
    void negate(const CQXVariable* a);
    void addsingle(double s, const CQXVariable* a);
    void subsingle(double s, const CQXVariable* a);
    void mulsingle(double s, const CQXVariable* a);
    bool divsingle(double s, const CQXVariable* a);
    void addmatrix(const CQXVariable* b, const CQXVariable* a);
    void submatrix(const CQXVariable* b, const CQXVariable* a);
    void mulmatrix(const CQXVariable* b, const CQXVariable* a);
    void elementmul(const CQXVariable* b, const CQXVariable* a);
    bool elementdiv(const CQXVariable* b, const CQXVariable* a);
    void elementand(const CQXVariable* b, const CQXVariable* a);
    void elementor(const CQXVariable* b, const CQXVariable* a);
    void elementxor(const CQXVariable* b, const CQXVariable* a);
    bool powersingle(double e, double x);
    bool modulosingle(double s, const CQXVariable* a);
    void inc();
    void dec();

    // ---- Comparisons: true when the relation holds for every element ----
    bool equalsingle(double v) const;
    bool lesssingle(double v) const;
    bool lessequalsingle(double v) const;
    bool moresingle(double v) const;
    bool moreequalsingle(double v) const;
    bool equalmatrix(const CQXVariable* o) const;
    bool lessmatrix(const CQXVariable* o) const;
    bool lessequalmatrix(const CQXVariable* o) const;
    bool morematrix(const CQXVariable* o) const;
    bool moreequalmatrix(const CQXVariable* o) const;
#endif

private:
    // The name, or an empty one; a name is kept out of line, since most variables (temporaries
    // and literal constants) have none. makeName gives null for the empty name.
    const std::string& nameRef() const;
    static std::unique_ptr<std::string> makeName(const std::string& name);
    void copyFrom(const CQXVariable& other);
    void adoptRows(int rows, int cols, eDataType type, void* rowArray);
    // Typed bodies shared by the five overloads of each family (defined in variable.cpp).
    template <class T>
    bool changeReferenceFlat(int count, T* data);
    template <class T>
    bool changeReferenceRows(int rows, int cols, T** data);
    template <class T>
    void bindRows(int rows, int cols, T** data, eVariableState state);
    bool ownsBlock() const;
    bool ownsRowArrayOnly() const;
    static void* duplicateStorage(const CQXVariable& src, long long* counted);
    // A host operation that would change pinned storage: noted for the running call, false.
    bool refuseChange() const;

    // An owned 1x1 variable keeps its one-entry row array and its element here, in the variable
    // itself, instead of in a block of its own.
    template <class T>
    T** inlineBlock();
    bool isInline(const void* rowArray) const {
        return rowArray == static_cast<const void*>(&m_InlineRow);
    }
    void* ownedBlock(eDataType type, int rows, int cols, const std::string& name,
                     long long* counted);

    // The row array of a type other than double, when the element type is that type.
    void* narrowRows(eDataType type) const {
        return m_DataType == type ? m_pNarrowRows : nullptr;
    }

    // The row array: m_ppDouble for doubles, m_pNarrowRows (of the element type) for the other
    // types; the one that does not hold it is null.
    void* m_pNarrowRows;
    double** m_ppDouble;
    int m_Rows;
    int m_Cols;
    std::unique_ptr<std::string> m_pName;  // null: no name
    // Narrow fields packed together, so that the variable stays small.
    eVariableType m_VarType : 8;
    eDataType m_DataType : 8;
    eVariableState m_VarState : 8;
    bool m_bConst;
    // A vsREFERENCE variable bound by bindCopyOf_intern owns its row array (not the elements).
    bool m_bOwnsRowArray;
    bool m_bBindingPinned;
    // Running calls whose reference parameters address this variable's elements.
    int m_Pins;
    CQXSharedParameter* m_pShared;
    // A reference parameter's binding: the variable holding the elements it addresses (null when
    // unbound), and whether the call it was bound for is running (the owner is then pinned).
    CQXVariable* m_pBoundTo;
    // Bytes of the owned block counted against the compiler's total storage limit.
    long long m_CountedBytes;
    union {
        unsigned char* m_pByte;
        unsigned short* m_pShort;
        int* m_pInt;
        float* m_pFloat;
        double* m_pDouble;
    } m_InlineRow;
    union {
        unsigned char m_Byte;
        unsigned short m_Short;
        int m_Int;
        float m_Float;
        double m_Double;
    } m_InlineCell;
};
