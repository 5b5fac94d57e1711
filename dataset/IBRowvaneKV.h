// The scrollable dataset over InterBase-family databases and its companion
// classes.
#pragma once

#include "DB.h"
#include "IBBlob.h"
#include "IBFields.h"
#include "IBSQL.h"
#include "Ibconstkv.h"
#include "SQLSelectParserKV.h"
#include "SysUtils.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

class TIBRowvaneKV;
template <class C> class TPublisher;

// The dataset's error codes; each has one message in Ibconstkv, in this order.
enum TIBRVError : Byte {
    rveEmptyQuery = 0,
    rveBmRecMismatch = 1,
    rveFieldNotFound = 2,
    rveRecordNotFound = 3,
    rveFieldTypeMismatch = 4,
    rveFieldSizeMismatch = 5,
    rveNoWriteMode = 6,
    rveBCDConvertError = 7,
    rveCannotDelete = 8,
    rveCannotUpdate = 9,
    rveDatasetOpen = 10,
    rveDatabaseNotAssigned = 11,
    rveTransactionNotAssigned = 12,
    rveExactPkeySearch = 13,
    rvePartialPkeySearch = 14,
    rveEmptyDataset = 15,
    rveNoSetKeyMode = 16,
    rveFieldTypeNoSupport = 17,
    rveKeyColumnsMissing = 18,
    rveNoSortOrder = 19,
    rveInvalidSortColCount = 20,
    rveParamNotFound = 21,
    rveInvalidModifySQL = 22,
    rveInvalidInsertSQL = 23,
    rveTableNameEmpty = 24,
    rveFieldCannotModify = 25,
    rveFieldNoBlobType = 26,
    rveInvalidOrderByClause = 27,
    rveOrderItemsIncomplete = 28,
    rveInvalidOrderItemId = 29,
    rveGeneratorIncomplete = 30,
    rveInvalidBlobStreamHandle = 31,
    rveNoRowvaneField = 32,
};

// The one exception class of the dataset and its companions. The message is
// the code's text, looked up when the exception is built (so a language
// bound at run time takes effect), with the argument, when one is given, put
// in place of "%s". Nothing else in the text is interpreted.
class EIBRVError : public EDatabaseError {
public:
    explicit EIBRVError(TIBRVError Code, std::initializer_list<TVarRec> Args = {});

    TIBRVError ErrorCode;
};

// ---------------------------------------------------------------------------
// Column lists

// Asks for the SQL dialect; the handler overwrites the value it is given.
using TIBRVGetSQLDialectEvent = std::function<void(int& Dialect)>;

// One column reference of a key or order list: an optional qualifier, a
// column name, both exactly as written, and a sort direction (sitOther for
// none, sitAsc, sitDesc). The owner only supplies the SQL dialect.
class TIBRVColumn : public TObject {
public:
    explicit TIBRVColumn(TObject* AOwner);

    TObject* GetOwner() const { return FOwner; }
    const AnsiString& GetTableName() const { return FTableName; }
    void SetTableName(const AnsiString& Value) { FTableName = Value; }
    const AnsiString& GetColumnName() const { return FColumnName; }
    void SetColumnName(const AnsiString& Value) { FColumnName = Value; }
    int GetOrderType() const { return FOrderType; }
    void SetOrderType(int Value) { FOrderType = Value; }

    // Qualifier "." column as written (the column alone without qualifier).
    AnsiString GetFullColumnName() const;
    // The names as the server reports them, normalised at the column's dialect.
    AnsiString GetTableNameEx() const;
    AnsiString GetColumnNameEx() const;
    AnsiString GetFullColumnNameEx() const;
    // The owning list's dialect; 1 without one. Asked anew at every call.
    int GetSQLDialect() const;

private:
    TObject* FOwner;
    AnsiString FTableName;
    AnsiString FColumnName;
    int FOrderType = sitOther;
};

// What the key list and the order lists share: owned columns in order and
// the dialect supplier.
class TIBRVColumnList : public TObject {
public:
    int GetCount() const { return FItems.GetCount(); }
    // Index 0 .. count-1; anything else raises the framework's list error.
    TIBRVColumn* GetItem(int Index) const { return FItems.Get(Index); }
    // A new column owned by this list, appended or inserted (index 0 .. count).
    TIBRVColumn* AddItem();
    TIBRVColumn* InsertItem(int Index);
    void Delete(int Index);
    void Clear();
    // 1, or what OnGetSQLDialect makes of it.
    int GetSQLDialect() const;

    TIBRVGetSQLDialectEvent OnGetSQLDialect;

protected:
    TIBRVColumnList() = default;

    TObjectList<TIBRVColumn> FItems;
};

// The KeyColumns property: [table.]column items separated by commas.
class TIBRVKeyColumns : public TIBRVColumnList {
public:
    TIBRVKeyColumns() = default;

    AnsiString GetText() const;
    // Splits at "," and "." without trimming, case change or regard for quotes.
    void SetText(const AnsiString& Text);
};

// A sort order: the columns of an ORDER BY list with their directions.
class TIBRVOrderColumns : public TIBRVColumnList {
public:
    TIBRVOrderColumns() = default;

    using TIBRVColumnList::AddItem;
    using TIBRVColumnList::InsertItem;
    // Takes ownership of an existing column; returns its index.
    int AddItem(TIBRVColumn* Column);
    // Index above the count: ERangeError, and the column stays the caller's.
    void InsertItem(int Index, TIBRVColumn* Column);

    // "T.C DESC, C2 ASC": every column with its direction.
    AnsiString GetOrderBy() const;
    // Parses an ORDER BY list (with or without the keyword); anything but
    // columns, qualifiers, directions, "." and "," raises code 27.
    void SetOrderBy(const AnsiString& Text);
    // Ascending becomes descending and every other direction ascending.
    void InvertOrderTypes();
};

// ---------------------------------------------------------------------------
// Order items and table aliases

class TIBRVOrderItemsItem : public TObject {
public:
    TIBRVOrderItemsItem() = default;

    int GetId() const { return FId; }
    void SetId(int Value) { FId = Value; }
    const AnsiString& GetOrderBy() const { return FOrderBy; }
    void SetOrderBy(const AnsiString& Value) { FOrderBy = Value; }

private:
    int FId = 0;
    AnsiString FOrderBy;
};

// The OrderItems property: lines "id;order by list". Every outermost change
// fires OnChanging before and OnChange after; an OnChanging handler that
// raises stops the change before anything is changed. Owns its items.
class TIBRVOrderItems : public TStrings {
public:
    TIBRVOrderItems() = default;

    AnsiString Get(int Index) const override;
    int GetCount() const override { return FItems.GetCount(); }
    // A line without ";" raises code 28, a non-numeric id the conversion
    // error; the list is then left without the new item.
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    AnsiString ClassName() const override { return "TIBRVOrderItems"; }

    // A new empty item at Index (0 .. count, above: ERangeError); no events.
    TIBRVOrderItemsItem* InsertItem(int Index);
    TIBRVOrderItemsItem* AddItem() { return InsertItem(GetCount()); }
    TIBRVOrderItemsItem* GetItem(int Index) const { return FItems.Get(Index); }
    // The first item with exactly this id; none raises code 29.
    TIBRVOrderItemsItem* GetItemById(int Id) const;
    // Deletes the item when it is in the list.
    void DeleteItem(TIBRVOrderItemsItem* Item);

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changing();
    virtual void Changed();

private:
    TObjectList<TIBRVOrderItemsItem> FItems{8};
};

// Table name to alias, from the FROM clause of the select statement. Lines
// "TABLE=ALIAS", both sides normalised at the database's dialect.
class TIBRVTableAliasList : public TObject {
public:
    TIBRVTableAliasList();

    // Rebuilds the lines from the statement's text; the statement names its database.
    void BuildList(TIBSQL* Query);
    // The alias of the first line for exactly this table; empty when none.
    AnsiString GetAlias(const AnsiString& Table) const;
    TStringList* GetAliases() const { return FAliases.get(); }

private:
    std::unique_ptr<TStringList> FAliases;
};

// The SelectSQL property: a string list without lines of its own that reads
// and writes the SQL lines of the main select statement, and reports each
// change as OnChanging before and OnChange after (once per outermost update
// bracket). Does not own the statement.
class TIBRVSQLText : public TStrings {
public:
    explicit TIBRVSQLText(TIBSQL* Query) : FQuery(Query) {}

    TIBSQL* GetQuery() const { return FQuery; }
    AnsiString Get(int Index) const override;
    int GetCount() const override;
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    AnsiString ClassName() const override { return "TIBRVSQLText"; }

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changing();
    virtual void Changed();

private:
    TIBSQL* FQuery;
};

// ---------------------------------------------------------------------------
// Generator fields

class TIBRVGeneratorFields;

class TIBRVGeneratorFieldsItem : public TObject {
public:
    TIBRVGeneratorFieldsItem() = default;

    TIBRVGeneratorFields* GetOwner() const { return FOwner; }
    int GetIncrement() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value; }
    const AnsiString& GetGeneratorName() const { return FGeneratorName; }
    void SetGeneratorName(const AnsiString& Value) { FGeneratorName = Value; }
    const AnsiString& GetFieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& Value) { FFieldName = Value; }

    // Stores the generator's next value into the field. An integer field
    // that cannot hold the value raises the framework's range error (the
    // value is never cut to 32 bits); a large-integer field takes it whole.
    void Apply();

private:
    friend class TIBRVGeneratorFields;
    TIBRVGeneratorFields* FOwner = nullptr;
    int FIncrement = 0;
    AnsiString FGeneratorName;
    AnsiString FFieldName;
};

// The GeneratorFields property: lines "field;generator;increment". Owns its
// items and the one statement that fetches generator values; changes are
// not reported to the dataset.
class TIBRVGeneratorFields : public TStrings {
public:
    explicit TIBRVGeneratorFields(TIBRowvaneKV* DataSet) : FDataSet(DataSet) {}
    ~TIBRVGeneratorFields() override;

    AnsiString Get(int Index) const override;
    int GetCount() const override { return FItems.GetCount(); }
    // Fewer than three fields raise code 30, a non-numeric increment the
    // conversion error; the list is then as before.
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    AnsiString ClassName() const override { return "TIBRVGeneratorFields"; }

    TIBRVGeneratorFieldsItem* InsertItem(int Index);
    TIBRVGeneratorFieldsItem* GetItem(int Index) const { return FItems.Get(Index); }
    void DeleteItem(TIBRVGeneratorFieldsItem* Item);
    // Makes the statement the one of Item; nothing when it is already.
    void InternalPrepare(TIBRVGeneratorFieldsItem* Item);
    // Closes the statement and frees its handle.
    void Unprepare();

    TIBRowvaneKV* GetDataSet() const { return FDataSet; }
    TIBRVGeneratorFieldsItem* GetPreparedItem() const { return FPreparedItem; }
    TIBSQL* GetQuery() const { return FQuery.get(); }

private:
    TIBRowvaneKV* FDataSet;
    TIBRVGeneratorFieldsItem* FPreparedItem = nullptr;
    TObjectList<TIBRVGeneratorFieldsItem> FItems;
    std::unique_ptr<TIBSQL> FQuery;
};

// ---------------------------------------------------------------------------
// Blob streams

// The contents of one blob field of the current record, held in memory.
// Changes stay here until Apply writes them as a new blob at post.
class TIBRVNativeBlobStream : public TIBBlobStream {
public:
    // Loads nothing yet: takes the field's blob id when the field has a value.
    explicit TIBRVNativeBlobStream(TBlobField* Field);

    TBlobField* GetField() const { return FField; }
    bool GetModified() const { return FModified; }
    // While on (the default), size changes do not count as modifications.
    bool GetSizeGuard() const { return FSizeGuard; }
    void SetSizeGuard(bool Value) { FSizeGuard = Value; }
    // Unique for the life of the process: tells a stream from a later one
    // made for the same field at the same address.
    std::uint64_t GetSerial() const { return FSerial; }
    // The field's dataset; code 32 when that is not a TIBRowvaneKV.
    TIBRowvaneKV* GetDataSet() const;
    // Holds the blob whose id the field has in the dataset's record now.
    bool IsBlobOfRecord() const;

    int Write(const void* Buffer, int Count) override;
    void SetSize(Int64 NewSize) override;
    // Writes the contents as a new blob and stores its id into the field.
    void Apply();
    // Back to the blob the field held when the stream was made.
    void CancelChanges();

protected:
    TBlobField* FField;
    bool FSizeGuard = true;
    bool FModified = false;

private:
    ISC_QUAD FStoredBlobID{};
    std::uint64_t FSerial;
};

// The native streams of the current record, at most one per field; owns them.
class TIBRVNativeBlobStreamList : public TObject {
public:
    TIBRVNativeBlobStreamList() = default;

    // The field's stream, made (read-write) when it has none.
    TIBRVNativeBlobStream* CreateStream(TBlobField* Field);
    void DeleteStream(int Index);
    void DeleteStream(TBlobField* Field);
    void Clear();
    int GetCount() const { return FItems.GetCount(); }
    TIBRVNativeBlobStream* GetItem(int Index) const { return FItems.Get(Index); }
    TIBRVNativeBlobStream* GetItemByField(const TBlobField* Field) const;
    // Every modified stream writes its blob, in list order (at post).
    void ApplyChanges();
    // Every stream drops its changes (at the cancel of an edit).
    void CancelChanges();

private:
    TObjectList<TIBRVNativeBlobStream> FItems;
};

// What CreateBlobStream hands out: a stream over the field's native stream
// that checks that writing is allowed. The caller owns it; it owns nothing.
// An unchanged native stream whose blob is no longer the record's (the row
// was read again) is made anew. Once the native stream a stream was made on
// is dropped (scroll, post, close), every use raises code 31, also when the
// field has a new native stream.
class TIBRVBlobStream : public TStream {
public:
    TIBRVBlobStream(TBlobField* Field, TBlobStreamMode Mode);
    ~TIBRVBlobStream() override;

    int Read(void* Buffer, int Count) override;
    // Code 6 outside dsEdit and dsInsert or through a read stream.
    int Write(const void* Buffer, int Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    // A change of size is a write: the same checks as Write.
    void SetSize(Int64 NewSize) override;
    void Truncate() { SetSize(0); }

    bool GetModified() const { return FModified; }
    TBlobStreamMode GetMode() const { return FMode; }
    TBlobField* GetField() const { return FField; }
    // The field's native stream; code 31 when it was dropped.
    TIBRVNativeBlobStream* GetStream() const;
    // The field's dataset; code 32 when that is not a TIBRowvaneKV.
    TIBRowvaneKV* GetDataSet() const;

private:
    void CheckWritable() const;
    void MarkModified();

    bool FModified = false;
    TBlobStreamMode FMode;
    TBlobField* FField;
    std::uint64_t FSerial = 0;
};

// ---------------------------------------------------------------------------
// Record buffers
//
// A record buffer is one block: a header (ValidFlag int32, BookmarkFlag byte,
// FieldCount int32, RecordSize int32), FieldCount packed FieldHdr entries,
// the columns' data back to back at their offsets, then the framework's
// calculated-field area. Nothing is aligned, so every value is read and
// written byte-wise. Values are held as the engine gives them: a string's
// bytes (a CHAR of a multi-byte set cut to its declared characters), a
// NUMERIC or DECIMAL as its scaled 64-bit integer, TIME and TIMESTAMP to
// 1/10000 s (IBRowvaneKVInternal.h); the fields read and write their own
// forms through GetFieldData and SetFieldData.

// One column's description and state, as values.
struct TFieldHdr {
    TFieldType FieldType = ftUnknown;
    int SQLType = 0;
    bool Required = false;
    bool IsNull = true;
    int DataSize = 0;
    int ActualLength = 0; // strings: bytes held; BCD: the scale (decimals)
    int Precision = 0;
    int Offset = 0; // of the data, from the start of the buffer
};

namespace Ibrowvanekv {
// Packed values, read and written byte-wise (inline: every row read uses them).
template <class T> T ReadPacked(const char* P) {
    T value;
    std::memcpy(&value, P, sizeof value);
    return value;
}
template <class T> void WritePacked(char* P, T Value) {
    std::memcpy(P, &Value, sizeof Value);
}
} // namespace Ibrowvanekv

// A FieldHdr where it lies in a buffer or a bookmark; empty for none.
class PFieldHdr {
public:
    static constexpr int Size = 23; // type byte, SQLType, two flags, four int32

    PFieldHdr() = default;
    explicit PFieldHdr(char* Address) : FAddress(Address) {}
    explicit operator bool() const { return FAddress != nullptr; }
    char* Address() const { return FAddress; }

    TFieldType GetFieldType() const { return static_cast<TFieldType>(Get<Byte>(FieldType)); }
    void SetFieldType(TFieldType Value) const { Set<Byte>(FieldType, static_cast<Byte>(Value)); }
    int GetSQLType() const { return Get<std::int32_t>(SQLType); }
    void SetSQLType(int Value) const { Set<std::int32_t>(SQLType, Value); }
    bool GetRequired() const { return Get<Byte>(Required) != 0; }
    void SetRequired(bool Value) const { Set<Byte>(Required, Value ? 1 : 0); }
    bool GetIsNull() const { return Get<Byte>(IsNull) != 0; }
    void SetIsNull(bool Value) const { Set<Byte>(IsNull, Value ? 1 : 0); }
    int GetDataSize() const { return Get<std::int32_t>(DataSize); }
    void SetDataSize(int Value) const { Set<std::int32_t>(DataSize, Value); }
    int GetActualLength() const { return Get<std::int32_t>(ActualLength); }
    void SetActualLength(int Value) const { Set<std::int32_t>(ActualLength, Value); }
    int GetPrecision() const { return Get<std::int32_t>(Precision); }
    void SetPrecision(int Value) const { Set<std::int32_t>(Precision, Value); }
    int GetOffset() const { return Get<std::int32_t>(Offset); }
    void SetOffset(int Value) const { Set<std::int32_t>(Offset, Value); }

    TFieldHdr Load() const;
    void Store(const TFieldHdr& Hdr) const;

private:
    // Where each value lies inside a FieldHdr.
    enum : int {
        FieldType = 0,
        SQLType = 1,
        Required = 5,
        IsNull = 6,
        DataSize = 7,
        ActualLength = 11,
        Precision = 15,
        Offset = 19
    };
    static_assert(Offset + 4 == Size);
    template <class T> T Get(int At) const { return Ibrowvanekv::ReadPacked<T>(FAddress + At); }
    template <class T> void Set(int At, T Value) const { Ibrowvanekv::WritePacked<T>(FAddress + At, Value); }

    char* FAddress = nullptr;
};

// The header fields of a record buffer (or of a bookmark, which has the same header).
class TIBRVRecordBuffer {
public:
    static constexpr int HeaderSize = 13;
    // ValidFlag values.
    static constexpr int NoRow = -1, OnRow = 0, AfterLast = 1;

    static int GetValidFlag(const char* Buffer) {
        return Ibrowvanekv::ReadPacked<std::int32_t>(Buffer + ValidFlag);
    }
    static void SetValidFlag(char* Buffer, int Value) {
        Ibrowvanekv::WritePacked<std::int32_t>(Buffer + ValidFlag, Value);
    }
    static TBookmarkFlag GetBookmarkFlag(const char* Buffer) {
        return static_cast<TBookmarkFlag>(Ibrowvanekv::ReadPacked<Byte>(Buffer + BookmarkFlag));
    }
    static void SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) {
        Ibrowvanekv::WritePacked<Byte>(Buffer + BookmarkFlag, static_cast<Byte>(Value));
    }
    static int GetFieldCount(const char* Buffer) {
        return Ibrowvanekv::ReadPacked<std::int32_t>(Buffer + FieldCount);
    }
    static void SetFieldCount(char* Buffer, int Value) {
        Ibrowvanekv::WritePacked<std::int32_t>(Buffer + FieldCount, Value);
    }
    static int GetRecordSize(const char* Buffer) {
        return Ibrowvanekv::ReadPacked<std::int32_t>(Buffer + RecordSize);
    }
    static void SetRecordSize(char* Buffer, int Value) {
        Ibrowvanekv::WritePacked<std::int32_t>(Buffer + RecordSize, Value);
    }
    // FieldHdr Index (0-based) of the buffer.
    static PFieldHdr FieldHdr(char* Buffer, int Index) {
        return PFieldHdr(Buffer + HeaderSize + Index * PFieldHdr::Size);
    }

private:
    // Where each value lies inside the header.
    enum : int { ValidFlag = 0, BookmarkFlag = 4, FieldCount = 5, RecordSize = 9 };
    static_assert(RecordSize + 4 == HeaderSize);
};

// ---------------------------------------------------------------------------
// The dataset

// A dataset over one SELECT that never holds the result set: it keeps the
// current position and the row under each of its two cursors. Owns its link,
// its statements (components it owns), its text and column lists and, while
// open, its record buffers and blob streams; borrows database and transaction.
// While open, an order whose values may repeat is followed by the key columns
// it lacks, so that both cursors read one total order; a select its parser
// would change, or whose rows FIRST, SKIP or ROWS limit, is refused at open.
// Published properties and their defaults: Database, Transaction, SelectSQL,
// ModifySQL, InsertSQL (lines), WhereClause (not stored), OrderItems, GeneratorFields (lines),
// OrderItemId (0), KeyColumns, MainTable (empty), ReadOnly,
// PessimisticLocking, RefreshBeforeEdit (false); the framework's Active,
// AutoCalcFields, Filtered and events as TDataSet has them.
class TIBRowvaneKV : public TDataSet {
    // The blob streams reach the native list, the modified flag and the
    // field-change notice.
    friend class TIBRVBlobStream;
    friend class TIBRVNativeBlobStream;

public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TIBRowvaneKV>& P);
    explicit TIBRowvaneKV(TComponent* AOwner);
    ~TIBRowvaneKV() override;

    // ---- Properties; the statement-shaping ones refuse changes while open (code 10)
    TIBDatabase* GetDatabase() const;
    void SetDatabase(TIBDatabase* Value);
    TIBTransaction* GetTransaction() const;
    void SetTransaction(TIBTransaction* Value);
    TStrings* GetSelectSQL() const { return FSelectSQL.get(); }
    void SetSelectSQL(const TStrings* Value) { FSelectSQL->Assign(Value); }
    TStrings* GetModifySQL() const { return FModifySQL.get(); }
    void SetModifySQL(const TStrings* Value) { FModifySQL->Assign(Value); }
    TStrings* GetInsertSQL() const { return FInsertSQL.get(); }
    void SetInsertSQL(const TStrings* Value) { FInsertSQL->Assign(Value); }
    TIBRVOrderItems* GetOrderItems() const { return FOrderItems.get(); }
    void SetOrderItems(const TStrings* Value) { FOrderItems->Assign(Value); }
    TIBRVGeneratorFields* GetGeneratorFields() const { return FGeneratorFields.get(); }
    void SetGeneratorFields(const TStrings* Value) { FGeneratorFields->Assign(Value); }
    int GetOrderItemId() const { return FOrderItemId; }
    // Allowed while open. A negative id reads item -id in the inverted order.
    void SetOrderItemId(int Value);
    AnsiString GetKeyColumns() const;
    void SetKeyColumns(const AnsiString& Value);
    const AnsiString& GetMainTable() const { return FMainTable; }
    void SetMainTable(const AnsiString& Value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool GetPessimisticLocking() const { return FPessimisticLocking; }
    void SetPessimisticLocking(bool Value);
    bool GetRefreshBeforeEdit() const { return FRefreshBeforeEdit; }
    void SetRefreshBeforeEdit(bool Value) { FRefreshBeforeEdit = Value; }
    // The main select's parameters (prepares it when needed).
    TIBXSQLDA* GetParams() const;
    // The condition of the select's WHERE clause, without the keyword. Allowed
    // while open: the new text goes straight into the main statement (no
    // change events, order lists kept); refresh afterwards to see its rows.
    AnsiString GetWhereClause() const;
    void SetWhereClause(const AnsiString& Value);
    // The database's dialect, 1 without a database.
    int GetSQLDialect() const;

    bool GetCanModify() override;
    bool IsSequenced() override { return false; }

    // ---- Field data
    using TDataSet::GetFieldData;
    using TDataSet::SetFieldData;
    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, void* Buffer) override;
    // A TIBRVBlobStream, owned by the caller; code 26 for a field that is not a blob field.
    TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
    bool BookmarkValid(TBookmark Bookmark) override;

    // ---- Bookmarks and key search
    // Goes to the bookmarked row (re-read by its key values) and centres it
    // in the window; nothing for no bookmark. Code 3 when the row is gone.
    void GotoBookmark(TBookmark Bookmark) override;
    // The same, centred only when Centre is set.
    void GotoBookmark(TBookmark Bookmark, bool Centre);
    // Enters the set-key state: the fields then read and write the key
    // buffer, emptied (Clear) or holding a copy of the current row.
    void SetKey(bool Clear);
    // Leaves the set-key state and searches the row of the key buffer: by
    // the key columns (exact only, all of them: codes 13 and 14) or by the
    // first ColumnCount order columns (-1: all), exactly or the nearest row
    // at or after the key. The row found becomes current (centred when Centre).
    bool GotoKey(bool Exact, bool ByPrimaryKey, int ColumnCount, bool Centre);

    // ---- Editing
    // Re-reads the current row by its key into the active record (code 15
    // when empty, 3 when the row is gone or the filter rejects it).
    void RefreshActiveRecord();
    // The framework's post and cancel; both also leave the set-key state.
    void Post() override;
    void Cancel() override;

protected:
    // ---- New virtual operations
    virtual void CheckSetKeyMode();
    // The buffer field reads and writes use in the current state.
    virtual char* GetActiveBuf();
    virtual bool FilterRecord(char* Buffer);

    // ---- The framework's protocol
    char* AllocRecordBuffer() override;
    void FreeRecordBuffer(char*& Buffer) override;
    // The framework's 16-bit record size; ERangeError for a larger record
    // (the dataset itself uses CalcRecordSize).
    Word GetRecordSize() override;
    TGetResult GetRecord(char* Buffer, TGetMode GetMode, bool DoCheck) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(char* Buffer) override;
    void GetBookmarkData(char* Buffer, void* Data) override;
    void SetBookmarkData(char* Buffer, void* Data) override;
    TBookmarkFlag GetBookmarkFlag(char* Buffer) override;
    void SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) override;
    void InternalGotoBookmark(void* Bookmark) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() override { return FCursorIsOpen; }
    void InternalInitFieldDefs() override;
    void InternalHandleException() override {}
    void InternalInitRecord(char* Buffer) override;
    void InternalAddRecord(void* Buffer, bool Append) override;
    void InternalEdit() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalCancel() override;
    void DoBeforeInsert() override;
    void DoBeforeScroll() override;
    void DoOnNewRecord() override;
    void InternalRefresh() override;
    void ClearCalcFields(char* Buffer) override;
    TFieldClass GetFieldClass(TFieldType FieldType) override;

    // ---- Connection, transaction and preparation
    void GetSQLDialectEvent(int& Dialect) const;
    void CheckDatasetClosed() const;
    void ActivateConnection();
    void DeactivateConnection();
    bool ActivateTransaction();
    void DeactivateTransaction();
    void InternalPrepare(bool DeactivateAfter);
    void InternalUnprepare();
    void InternalUnprepareQuery(TIBSQL* Query);
    bool GetInternalPrepared() const;

    // ---- Record buffers
    int GetBufferHeaderSize() const { return TIBRVRecordBuffer::HeaderSize + FColumnCount * PFieldHdr::Size; }
    // The whole buffer: header part, field data and calculated fields (32-bit).
    int CalcRecordSize() const;
    int GetCalcFieldsOffset() const;
    int CalcFieldDataSize(TIBSQL* Query) const;
    void CreateModelBuffer();
    void SetValidRecordFlag(char* Buffer, int Value);
    int GetValidRecordFlag(const char* Buffer) const {
        return Buffer ? TIBRVRecordBuffer::GetValidFlag(Buffer) : TIBRVRecordBuffer::NoRow;
    }
    // Copies the smaller of both record sizes; nothing when either is missing.
    void SaveRecord(char* Dest, const char* Source);
    void FetchRecordToBuffer(char* Buffer, TIBXSQLDA* Row);
    void FetchFieldToBuffer(TIBXSQLVAR* Column, PFieldHdr Hdr, char* Data);
    // The mapping of a column's SQL type; code 17 for a type it has none for.
    void GetFieldHeader(TIBXSQLVAR* Column, TFieldHdr& Hdr) const;
    // The buffer's FieldHdr of a select column by its own name and table (or alias).
    PFieldHdr GetFieldHeader(char* Buffer, const AnsiString& TableName, const AnsiString& ColumnName) const;
    // The same as a column index; -1 when not found. An unqualified name
    // that no table column of the select has may be the name the select list
    // gives a column ("PRICE * 2 AS TOTAL"): the engine orders by that too.
    int GetFieldIndex(const char* Buffer, const AnsiString& TableName, const AnsiString& ColumnName) const;
    // By the column's own name in its table (and the table or its alias) only.
    int GetTableColumnIndex(const char* Buffer, const AnsiString& TableName,
                            const AnsiString& ColumnName) const;
    // By the name the select list gives the column only.
    int GetSelectNameIndex(const char* Buffer, const AnsiString& ColumnName) const;
    bool IsDsWriteMode() const;
    void CheckSetFieldChange(TField* Field);
    int CalcBookmarkSize();
    int CalcBookmarkDataSize();
    // Equal key (or order) values in both buffers; a NULL equals a NULL only.
    bool CompareRecordPos(char* Buffer1, char* Buffer2, bool ByKey, int Count);

    // ---- Statement parameters: values travel only as parameters
    // The position parameters _LOCATE1.._LOCATEn from the key columns (ByKey)
    // or the forward order columns; Count -1: all of them.
    void SetQueryLocateValues(TIBSQL* Query, char* Buffer, bool ByKey, int Count);
    // Every other parameter from the field of its name (code 21 for none).
    void SetQueryFieldValues(TIBSQL* Query, char* Buffer);
    // One parameter from one column of a buffer, converted by the column's type.
    void SetQryParamFromBuf(TIBSQL* Query, TIBXSQLVAR* Param, char* Buffer, PFieldHdr Hdr);
    void SetQryParamFromBuf(TIBSQL* Query, const AnsiString& ParamName, char* Buffer, PFieldHdr Hdr);
    void SetQryParamFromBuf(TIBSQL* Query, const AnsiString& ParamName, char* Buffer,
                            const AnsiString& TableName, const AnsiString& ColumnName);
    // The source's parameter values into the destination's parameters of the same names.
    void SetQryParamFromQry(TIBSQL* Source, TIBSQL* Dest);

    // ---- Order columns, main table, generated select texts, cursors
    // Both orders anew from the order item or the select's ORDER BY. While
    // open every order column must be a select column (code 2), an order
    // that may tie is made total by the key columns it lacks, and without an
    // order the key columns are the order (ascending; inverted descending).
    void RefreshOrderColumns();
    int AppendTieBreakers(TIBRVOrderColumns& Forward, TIBRVOrderColumns& Backward);
    void CheckOrderColumns(const TIBRVOrderColumns& Order);
    // Every key column is a table column of the select by its own name (code 2),
    // as the bookmark size would find it without the select list's names.
    void CheckKeyColumns();
    // Some unique index of the main table lies within these NOT NULL select columns.
    bool HasUniqueIndexWithin(const std::vector<int>& Columns);
    // The main table's active unique indexes, each as its column names in
    // order; read from the catalogue once per open.
    const std::vector<std::vector<AnsiString>>& GetUniqueIndexes(const AnsiString& Table);
    // Back to the order as written: what open added goes.
    void RemoveTieBreakers();
    // The order columns as written, without the appended key columns.
    int GetOrderColumnCount() const;
    AnsiString GetMainTableName();
    // The ORDER BY of a select text := the current order, or its inversion.
    void ModifySelectQueryOrderBy(AnsiString& Text, bool Ascending);
    // Adds the keyset condition over the first Count order columns (-1: all):
    // the rows at or after the position in the cursor's order, or with Equal
    // the rows whose values equal the position's, as the engine compares them.
    void ModifySelectQueryWhereForLocate(AnsiString& Text, bool Ascending, int Count, bool Equal = false);
    // An order column as a condition compares it: as written, or for a name
    // the select list gives an expression (known to ORDER BY only) that
    // expression in parentheses.
    AnsiString ConditionColumn(const TSQLSelectParserSectionKV& Select, const TIBRVColumn& Column);
    // Builds and prepares the statement that re-reads one row by key.
    void InternalPrepareRefreshQuery();
    // Refuses a select the parser does not take apart and rebuild without
    // loss, or one with a comment, a ";", a common table expression, a UNION, an
    // ORDER in its PLAN, a "?" parameter, or rows limited by FIRST, SKIP or
    // ROWS: the cursors could not run it as written. Code 27 (21 for "?"),
    // its text followed by what to write instead.
    void CheckSelectStatement(const AnsiString& Text);
    // Modes: 0 unprepared, 1 forward order, 2 forward from the position,
    // 3 backward order, 4 backward from the position, 5 forward through the
    // rows equal to the position (an exact key search: the engine's
    // comparison decides, its collation's included).
    void InternalPrepareSelectQuery(TIBSQL* Query, int Mode, int Count);
    void InternalPrepareSelectQueryFwd(int Mode, int Count);
    void InternalPrepareSelectQueryBwd(int Mode);
    void InternalCloseSelectQueryFwd();
    void InternalCloseSelectQueryBwd();
    // The row a cursor read (into a ring buffer) becomes its own and the position.
    void StoreCursorRow(char* CursorBuffer, bool& CursorOnPosition, const char* Buffer);
    TGetResult InternalGetNextRecord(char* Buffer);
    TGetResult InternalGetPrevRecord(char* Buffer);
    TGetResult InternalGetCurrRecord(char* Buffer);
    // One row of the mode, the filter aside.
    TGetResult GetRecordUnfiltered(char* Buffer, TGetMode GetMode);
    TGetResult GetRecordFiltered(char* Buffer, TGetMode GetMode);
    // Re-reads the row whose key stands in KeyBuffer into Target (may be the same buffer).
    bool InternalGetRecordFromBuf(char* Target, char* KeyBuffer);
    // Moves a re-opened cursor onto the position: true when it stands on the
    // position row, false when on the row after it (or at its end).
    bool LocateQueryToRecord(TIBSQL* Query, char* Position);

    // ---- Handlers of the link's and the text lists' events
    void BeforeDatabaseDisconnect(TObject* Sender);
    void BeforeTransactionEnd(TObject* Sender);
    void TransactionFree(TObject* Sender);
    void GenericSQLChanging(TObject* Sender);
    void SelectSQLChange(TObject* Sender);
    void OrderItemsChanging(TObject* Sender);
    void OrderItemsChange(TObject* Sender);

    // ---- Bookmarks: the record format cut down to the key columns
    // Valid against Buffer's layout: the key columns' count and field types
    // match, and every value lies inside the bookmark.
    bool BookmarkValid(char* Buffer, TBookmark Bookmark);
    // The bookmark's key values into Buffer (code 1 when it does not fit).
    void SetBufferValuesFromBookmark(char* Buffer, void* Bookmark);

    // ---- Modify statements, made on first use and kept prepared
    // Locks the active record's row by updating it to itself.
    void LockRecord();
    // A key column of Buffer is null.
    bool HasNullKey(char* Buffer);
    void InternalPrepareDeleteQuery();
    void InternalPrepareModifyQuery();
    void InternalPrepareInsertQuery();
    void InternalPrepareLockQuery();
    // "WHERE K1 = :_LOCATE1 AND ..." over the key columns, appended.
    void AddPKeyQueryFields(AnsiString& Text);
    // The SET list of ModifySQL (or the default list), appended; code 22 for a line without "=".
    void AddModifyQueryFields(AnsiString& Text);
    // The column and value lists of InsertSQL (or the default list), appended; code 23.
    void AddInsertQueryFields(AnsiString& Text);
    // The default list: "COLUMN=:FIELD" for every writable data field of the main table.
    void GetUpdateQueryFields(TStrings* List);

    // ---- Fields (see the class comment for what is owned)
    bool FCursorIsOpen = false;
    bool FPositionSet = false;
    bool FReadOnly = false;
    bool FPessimisticLocking = false;
    bool FRefreshBeforeEdit = false;
    int FOrderItemId = 0;
    int FFieldDataSize = -1;
    int FColumnCount = -1;
    AnsiString FSavedOrderBy;
    AnsiString FMainTable;
    std::unique_ptr<TIBRVOrderItems> FOrderItems;
    std::unique_ptr<TIBRVKeyColumns> FKeyColumns;
    std::unique_ptr<TIBRVSQLText> FSelectSQL;
    std::unique_ptr<TStringList> FModifySQL;
    std::unique_ptr<TStringList> FInsertSQL;
    std::unique_ptr<TIBRVTableAliasList> FTableAliases;
    std::unique_ptr<TIBRVGeneratorFields> FGeneratorFields;
    std::unique_ptr<TIBRVNativeBlobStreamList> FBlobStreams;
    std::unique_ptr<TIBBase> FLink;
    // Statements: components owned by the dataset.
    TIBSQL* FQrySelect = nullptr;
    TIBSQL* FQryForward = nullptr;
    TIBSQL* FQryBackward = nullptr;
    TIBSQL* FQryRefresh = nullptr;
    TIBSQL* FQryDelete = nullptr;
    TIBSQL* FQryModify = nullptr;
    TIBSQL* FQryInsert = nullptr;
    TIBSQL* FQryLock = nullptr;
    std::unique_ptr<TIBRVOrderColumns> FOrderColumnsFwd;
    std::unique_ptr<TIBRVOrderColumns> FOrderColumnsBwd;
    int FFwdCount = -1;
    int FFwdMode = 0;
    int FBwdMode = 0;
    // Record buffers, from AllocRecordBuffer, while open (FFilterBuffer is borrowed).
    char* FPositionBuffer = nullptr;
    char* FForwardBuffer = nullptr;
    char* FBackwardBuffer = nullptr;
    std::unique_ptr<char[]> FModelBuffer;
    char* FFilterBuffer = nullptr;
    char* FKeyBuffer = nullptr;
    char* FSavedBuffer = nullptr;

private:
    void FreeBuffers();
    std::unique_ptr<TIBRVOrderColumns> NewOrderColumns();

    // The text of a cursor statement in a mode (1 to 5) with a count of
    // keyset columns. Built by the parser once for the inputs it is made
    // from (SelectTextInputs), kept by mode and count until they change.
    AnsiString CursorSelectText(int Mode, int Count);
    AnsiString SelectTextInputs();
    // Which of the first Count columns of an order list may be NULL.
    std::vector<bool> OrderColumnsNullable(TIBRVOrderColumns& Order, int Count);
    AnsiString FSelectTextInputs;
    std::map<std::pair<int, int>, AnsiString> FSelectTexts;
    // The refresh statement's text, kept with the inputs it was built from.
    AnsiString FRefreshTextInputs;
    AnsiString FRefreshText;

    // How each select column goes from a fetched row into a record buffer,
    // made with the model buffer: every row read takes the descriptors of the
    // row directly, without a lookup or a converting getter per column.
    struct TColumnFetch {
        enum TKind : Byte {
            Text,      // CHAR counted in bytes
            TextChars, // CHAR counted in characters: cut to CharCount of them
            Varying,
            Short,
            Long,
            Large,
            ScaledShort, // NUMERIC and DECIMAL: the scaled integer as it is
            ScaledLong,
            ScaledLarge,
            Double,
            Date,
            Time,
            TimeStamp,
            Id,
            Other
        };
        TKind Kind = Other;
        int SQLType = 0;
        int Scale = 0;
        int Offset = 0;    // of the data in the buffer
        int HdrAt = 0;     // of the FieldHdr in the buffer
        int DataSize = 0;  // in the buffer
        int CharSize = 1;  // strings: the unit of the length (TIBXSQLVAR::GetCharSize)
        int CharCount = 0; // strings: the declared length in that unit
    };
    static TColumnFetch ColumnFetch(TIBXSQLVAR* Column, const TFieldHdr& Hdr);
    // A value that is not null by its plan; false when the column has to
    // go through FetchFieldToBuffer.
    static bool FetchDirect(const TColumnFetch& Fetch, const XSQLVAR& Column, char* Buffer);
    // The row's descriptors have the types and scales of the plan. Checked
    // once per descriptor list: the statements of one open dataset all read
    // the columns of its select.
    bool PlanFits(const XSQLDA* Row) { return Row == FPlanFitsRow || PlanFitsNewRow(Row); }
    bool PlanFitsNewRow(const XSQLDA* Row);
    std::vector<TColumnFetch> FColumnFetch;
    const XSQLDA* FPlanFitsRow = nullptr;

    // The select column of each key and forward order column (Index -1:
    // none) and where it lies in a buffer, looked up once per open and
    // order: every row read compares by them.
    struct TPositionColumn {
        // How the engine compares two values: by their bytes, as text with
        // trailing blanks ignored, or as floating point numbers (0 = -0).
        enum TKind : Byte { Bytes, Text, Float };
        int Index = -1;
        int HdrAt = 0;  // of the FieldHdr
        int Offset = 0; // of the data
        size_t DataSize = 0;
        TKind Kind = Bytes;
    };
    static bool SameValue(const TPositionColumn& Column, const char* Buffer1, const char* Buffer2);
    void FindPositionColumns(const char* Buffer);
    bool FKeyColumnsComparable = false; // every key column found
    bool KeysComparable() const { return FPositionColumnsFound && FKeyColumnsComparable; }
    // A cursor's buffer holds the position row byte for byte, so comparing
    // the two by key would answer true: set when a row read stores both,
    // cleared whenever either buffer is written otherwise (BufferChanging).
    bool FForwardOnPosition = false;
    bool FBackwardOnPosition = false;
    void BufferChanging(const char* Buffer) {
        if (Buffer == FPositionBuffer) {
            FForwardOnPosition = false;
            FBackwardOnPosition = false;
        } else if (Buffer == FForwardBuffer) {
            FForwardOnPosition = false;
        } else if (Buffer == FBackwardBuffer) {
            FBackwardOnPosition = false;
        }
    }
    // The key or order columns to compare by; raises when there are none.
    const std::vector<TPositionColumn>& PositionColumns(bool ByKey, const char* Buffer) {
        const std::vector<TPositionColumn>& found = ByKey ? FKeyPositionColumns : FOrderPositionColumns;
        if (FPositionColumnsFound && !found.empty() && (ByKey || FOrderColumnsBwd->GetCount() != 0)) return found;
        return FindPositionColumnsChecked(ByKey, Buffer);
    }
    const std::vector<TPositionColumn>& FindPositionColumnsChecked(bool ByKey, const char* Buffer);
    std::vector<TPositionColumn> FKeyPositionColumns;
    std::vector<TPositionColumn> FOrderPositionColumns;
    bool FPositionColumnsFound = false;

    // Key columns appended to both order lists to make the order total.
    int FTieBreakCount = 0;
    // Without an order of its own the open dataset is ordered by its key columns.
    bool FOrderByKey = false;
    std::vector<std::vector<AnsiString>> FUniqueIndexes;
    bool FUniqueIndexesRead = false;
};
