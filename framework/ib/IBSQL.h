// One SQL statement over the client interface: its text, its parameters
// (collected by name from ":name" and ":\"Name\"" in the text), its cursor and
// the descriptors of its parameters and result columns.
#pragma once

#include "DateUtils.h"
#include "IBDatabase.h"

#include <memory>
#include <vector>

class TIBSQL;
class TIBXSQLDA;

// One parameter or result column: the client's descriptor (XSQLVAR) and the
// data and null indicator it points at, which this object owns.
//
// Getters convert from the column's SQL type; a value that does not fit the
// type asked for raises EIBClientError instead of wrapping. Setters give the
// parameter the SQL type of the value (the engine converts it to the
// column's type and refuses values that do not fit), clear the null flag,
// and set every parameter of the same name.
class TIBXSQLVAR : public TObject {
public:
    TIBXSQLVAR(TIBXSQLDA* Parent, int Index);

    int GetIndex() const { return FIndex; }
    // The parameter's name, or the column's alias name.
    const AnsiString& GetName() const { return FName; }
    XSQLVAR* GetSqlVar() const;

    // SQL type code with the nullable bit cleared.
    int GetSQLType() const;
    int GetSQLScale() const;
    int GetSQLSubtype() const;
    int GetSize() const; // the descriptor's data length
    // CHAR and VARCHAR: the unit of the declared length as the client sees
    // the text. 1 where it counts bytes (NONE, OCTETS, the single-byte sets,
    // and the multi-byte sets whose text is no UTF-8); else the most bytes
    // a character takes (UNICODE_FSS 3, UTF8 4), and the length counts
    // characters: GetSize() / GetCharSize() of them.
    int GetCharSize() const;
    char* GetData() const;
    AnsiString GetSQLName() const;
    AnsiString GetRelName() const;
    AnsiString GetOwnName() const;
    AnsiString GetAliasName() const;

    bool GetIsNull() const;
    // True makes the variable nullable first.
    void SetIsNull(bool Value);
    bool GetIsNullable() const;
    void SetIsNullable(bool Value);
    bool GetModified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    int GetAsLong() const;
    void SetAsLong(int Value);
    Int64 GetAsInt64() const;
    void SetAsInt64(Int64 Value);
    double GetAsDouble() const;
    void SetAsDouble(double Value);
    Currency GetAsCurrency() const;
    void SetAsCurrency(Currency Value);
    TDateTime GetAsDateTime() const;
    void SetAsDateTime(TDateTime Value);
    // A SHORT, LONG or INT64 value as a count of 10^Scale units (Scale <= 0:
    // the decimals of a NUMERIC), exact; a column with more decimals than
    // that rounds half away from zero. A value beyond 64 bits raises.
    Int64 GetAsScaled(int Scale) const;
    // Value x 10^Scale, exactly, as an INT64 parameter of that scale.
    void SetAsScaled(Int64 Value, int Scale);
    // TIMESTAMP (DATE: its midnight) and TIME (TIMESTAMP: its time of day)
    // as the engine keeps them, to 1/10000 s; the setters give the
    // parameter that type.
    ISC_TIMESTAMP GetAsISCTimeStamp() const;
    void SetAsISCTimeStamp(const ISC_TIMESTAMP& Value);
    ISC_TIME GetAsISCTime() const;
    void SetAsISCTime(ISC_TIME Value);
    // A BLOB reads and writes its contents; CHAR values lose trailing blanks.
    AnsiString GetAsString() const;
    void SetAsString(const AnsiString& Value);
    // The 8-byte id of a BLOB, ARRAY or QUAD.
    ISC_QUAD GetAsQuad() const;
    void SetAsQuad(const ISC_QUAD& Value);
    // Takes over the source's type, value and null state.
    void Assign(const TIBXSQLVAR& Source);

private:
    friend class TIBXSQLDA;
    friend class TIBSQL;

    // Buffers for the descriptor's current type and length; data zeroed.
    void Allocate();
    // Gives this variable a new type and a zeroed data area of Length bytes.
    void SetType(int SQLType, int Length, int Scale);
    void ClearNull();
    template <class F> void ForSameName(F f);
    [[noreturn]] void ConversionError(const char* Target) const;
    [[noreturn]] void RangeError(const AnsiString& Value, const char* Target) const;
    AnsiString Describe() const;

    TIBXSQLDA* FParent;
    int FIndex;
    AnsiString FName;
    std::vector<char> FData;
    short FNullIndicator = 0;
    bool FModified = false;
};

// The parameters or the result columns of one statement.
class TIBXSQLDA : public TObject {
public:
    TIBXSQLDA(TIBSQL* Query, bool Input);

    TIBSQL* GetQuery() const { return FQuery; }
    bool IsInput() const { return FInput; }
    int GetCount() const { return static_cast<int>(FVars.size()); }
    int Count() const { return GetCount(); }
    TIBXSQLVAR* GetXSQLVAR(int Index) const;
    TIBXSQLVAR* operator[](int Index) const { return GetXSQLVAR(Index); }
    // The first variable of that name (normalised like an identifier of the
    // statement's dialect); none raises EIBClientError.
    TIBXSQLVAR* ByName(const AnsiString& Name) const;
    TIBXSQLVAR* GetXSQLVARByName(const AnsiString& Name) const;
    // The names in order, one a line.
    AnsiString GetNames() const;
    bool GetModified() const;
    XSQLDA* AsXSQLDA() { return FVars.empty() ? nullptr : reinterpret_cast<XSQLDA*>(FBlock.get()); }

private:
    friend class TIBSQL;
    friend class TIBXSQLVAR;

    void SetCount(int Value);
    // After the engine described the variables: buffers and names.
    void Initialize(const std::vector<AnsiString>& Names);
    AnsiString NormaliseName(const AnsiString& Name) const;

    TIBSQL* FQuery;
    bool FInput;
    std::unique_ptr<char[]> FBlock; // the XSQLDA with its XSQLVARs
    std::vector<std::unique_ptr<TIBXSQLVAR>> FVars;
};

enum TIBSQLTypes {
    SQLUnknown,
    SQLSelect,
    SQLInsert,
    SQLUpdate,
    SQLDelete,
    SQLDDL,
    SQLGetSegment,
    SQLPutSegment,
    SQLExecProcedure,
    SQLStartTransaction,
    SQLCommit,
    SQLRollback,
    SQLSelectForUpdate,
    SQLSetGenerator,
    SQLSavePoint
};

// A statement: prepared on demand, executed, read row by row. It closes its
// cursor when its transaction ends and frees its handle when its database
// disconnects. Owns its link, its text and both descriptor lists.
class TIBSQL : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TIBSQL>& P);
    explicit TIBSQL(TComponent* AOwner);
    ~TIBSQL() override;

    TIBBase* GetBase() const { return FBase.get(); }
    TIBDatabase* GetDatabase() const { return FBase->GetDatabase(); }
    void SetDatabase(TIBDatabase* Value);
    TIBTransaction* GetTransaction() const { return FBase->GetTransaction(); }
    void SetTransaction(TIBTransaction* Value);
    // Changing the text unprepares the statement.
    TStrings* GetSQL() const { return FSQL.get(); }
    void SetSQL(const TStrings* Value) { FSQL->Assign(Value); }
    bool GetParamCheck() const { return FParamCheck; }
    void SetParamCheck(bool Value);
    bool GetGoToFirstRecordOnExecute() const { return FGoToFirstRecordOnExecute; }
    void SetGoToFirstRecordOnExecute(bool Value) { FGoToFirstRecordOnExecute = Value; }

    void Prepare();
    // Prepares when needed; a SELECT opens its cursor (and fetches the first
    // row when GoToFirstRecordOnExecute is set).
    void ExecQuery();
    // The next row, or nullptr at the end (then EOF).
    TIBXSQLDA* Next();
    void Close();
    void FreeHandle();

    bool GetEOF() const { return FEOF || !FOpen; }
    bool GetBOF() const { return FBOF; }
    bool GetOpen() const { return FOpen; }
    bool GetPrepared() const { return FPrepared; }
    TIBXSQLDA* Current() const { return FSQLRecord.get(); }
    TIBXSQLVAR* GetFields(int Index) const;
    int GetFieldCount() const { return FSQLRecord->GetCount(); }
    TIBXSQLVAR* FieldByName(const AnsiString& Name) const { return FSQLRecord->ByName(Name); }
    // The parameters; prepares the statement first when it is not prepared.
    TIBXSQLDA* GetSQLParams();
    TIBXSQLVAR* ParamByName(const AnsiString& Name) { return GetSQLParams()->ByName(Name); }
    TIBSQLTypes GetSQLType() const { return FSQLType; }
    // Rows fetched since the cursor opened.
    int GetRecordCount() const { return FRecordCount; }
    // Rows the last execution inserted, updated, deleted or selected; -1 when unknown.
    int GetRowsAffected();
    // The text sent to the engine: parameters replaced by "?".
    const AnsiString& GetProcessedSQL() const { return FProcessedSQL; }
    isc_stmt_handle GetHandle() const { return FHandle; }
    int GetSQLDialect() const;

    void CheckClosed() const;
    void CheckOpen() const {
        if (!FOpen) CursorNotOpen();
    }
    [[noreturn]] static void CursorNotOpen();
    void CheckValidStatement() const;

    TNotifyEvent OnSQLChanging;

private:
    void SQLChanging();
    void PreprocessSQL(const AnsiString& Text, std::vector<AnsiString>& Names);
    void Describe(TIBXSQLDA& Da, bool Input);

    std::unique_ptr<TIBBase> FBase;
    std::unique_ptr<TStringList> FSQL;
    std::unique_ptr<TIBXSQLDA> FSQLParams;
    std::unique_ptr<TIBXSQLDA> FSQLRecord;
    AnsiString FProcessedSQL;
    isc_stmt_handle FHandle = 0;
    TIBSQLTypes FSQLType = SQLUnknown;
    bool FParamCheck = true;
    bool FGoToFirstRecordOnExecute = true;
    bool FPrepared = false;
    bool FOpen = false;
    bool FEOF = false;
    bool FBOF = false;
    int FRecordCount = 0;
};

// Identifiers of a statement's SQL dialect.
// QuoteIdentifier: dialect 1 trimmed and upper-cased; otherwise in double
// quotes with inner double quotes doubled.
AnsiString QuoteIdentifier(int Dialect, const AnsiString& Value);
// ExtractIdentifier: trimmed; dialect 1 upper-cased; otherwise a name in
// double quotes loses them (doubled quotes become one), any other is upper-cased.
AnsiString ExtractIdentifier(int Dialect, const AnsiString& Value);
