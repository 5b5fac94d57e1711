// A test-only dataset over an in-memory table, and a data link that records
// what it is told. Rows are kept sorted by the integer key in column 0; the
// cursor stands before the first row, on a key or after the last row, and a
// key whose row was deleted keeps its place between its neighbours, as a
// keyed database cursor does. Every call of the record-buffer protocol that
// positions or fetches is written to a shared log.
#pragma once

#include "DB.h"

#include <map>
#include <string>
#include <variant>
#include <vector>

using TEventLog = std::vector<std::string>;
using TMemValue = std::variant<std::monostate, Int64, double, AnsiString, Currency>;

struct TMemColumn {
    AnsiString Name;
    TFieldType Type = ftInteger;
    int Size = 0;
    bool Required = false;
    int Precision = 0;
    bool Fixed = false;
    bool Computed = false; // an internal calculated, read-only column
    int CharSize = 1;      // strings: Size counts characters of up to this many bytes
};

class TMemTable {
public:
    explicit TMemTable(std::vector<TMemColumn> Columns);

    // Values in column order; missing trailing values are null.
    void AddRow(std::initializer_list<TMemValue> Values);
    void AddRows(int First, int Last); // keys First .. Last, NAME "rowN" when there is such a column
    void DeleteKey(int Key);
    std::vector<int> Keys() const;
    int FindKey(int Key) const; // row index or -1

    static int ColumnSize(const TMemColumn& Column);
    int ColumnOffset(int Column) const { return FOffsets[static_cast<size_t>(Column)]; }
    int DataSize() const { return FDataSize; }

    std::vector<TMemColumn> Columns;
    std::vector<std::vector<char>> Rows; // data areas: per column a has-value byte and the native value
    std::map<Int64, AnsiString> Blobs;
    Int64 NextBlobId = 1;

    void Insert(std::vector<char> Row); // keeps the order by key
    static int RowKey(const std::vector<char>& Row);

private:
    std::vector<int> FOffsets;
    int FDataSize = 0;
};

class TMemDataSet : public TDataSet {
public:
    TMemDataSet(TComponent* AOwner, TMemTable& Table, TEventLog& Log);
    ~TMemDataSet() override;

    // Test hooks.
    int LiveBuffers = 0;           // record buffers allocated and not freed
    bool FailOpen = false;         // InternalOpen raises after binding the fields
    int FailPosts = 0;             // so many posts raise first
    int FetchesBeforeFailure = -1; // GetRecord raises after so many more calls (-1: never)
    bool Logging = true;
    bool ReadOnly = false;

    int RingRecordCount() const { return GetBufferedRecordCount(); }
    int RingActiveRecord() const { return GetActiveRecord(); }
    int RingBufferCount() const { return GetBufferCount(); }
    int CursorRecord() const { return GetCurrentRecordIndex(); }
    char* RingCalcBuffer() const { return CalcBuffer(); }
    using TDataSet::CalcBuffer;
    using TDataSet::GetCalcFieldsSize;
    using TDataSet::RestoreState;
    using TDataSet::Resync;
    using TDataSet::SetTempState;
    TMemTable& Table() { return FTable; }

    bool BookmarkValid(TBookmark Bookmark) override;
    TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
    using TDataSet::GetFieldData;
    using TDataSet::SetFieldData;
    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, void* Buffer) override;
    bool GetCanModify() override { return !ReadOnly; }

protected:
    char* AllocRecordBuffer() override;
    void FreeRecordBuffer(char*& Buffer) override;
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
    bool IsCursorOpen() override { return FOpen; }
    void InternalInitFieldDefs() override;
    void InternalHandleException() override;
    void InternalInitRecord(char* Buffer) override;
    void InternalAddRecord(void* Buffer, bool Append) override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalEdit() override;
    void InternalCancel() override;
    void InternalRefresh() override;
    void InternalInsert() override;
    void ClearCalcFields(char* Buffer) override;

private:
    friend class TMemBlobStream;
    enum TPlace { BeforeFirst, OnKey, AfterLast };
    struct TPosition {
        TPlace Place = BeforeFirst;
        int Key = 0;
    };
    static constexpr int HeaderSize = 8; // flag byte, 3 spare, 32-bit key

    void Note(const std::string& Text);
    char* RecordBuffer() const; // the buffer the state reads and writes
    char* ColumnData(char* Buffer, int Column) const;
    static int BufferKey(const char* Buffer);
    static void SetBufferKey(char* Buffer, int Key);
    int DataKey(const char* Buffer) const; // the key column's value, -1 when null
    bool Accept(char* Buffer);

    TMemTable& FTable;
    TEventLog& FLog;
    TPosition FPos;
    bool FOpen = false;
    int FEditKey = 0;
    char* FFilterBuffer = nullptr;
};

// Stands in for a grid: it records each event and reads its window.
class TRecordingLink : public TDataLink {
public:
    explicit TRecordingLink(TEventLog& Log, const char* Name = "link") : FLog(Log), FName(Name) {}
    // The keys in the window, an inserted (keyless) record as 0.
    std::vector<int> Window();

protected:
    void ActiveChanged() override { Note("ActiveChanged"); }
    void CheckBrowseMode() override { Note("CheckBrowseMode"); }
    void DataSetChanged() override { Note("DataSetChanged"); }
    void DataSetScrolled(int Distance) override { Note("DataSetScrolled(" + std::to_string(Distance) + ")"); }
    void EditingChanged() override { Note(GetEditing() ? "EditingChanged(on)" : "EditingChanged(off)"); }
    void LayoutChanged() override { Note("LayoutChanged"); }
    void RecordChanged(TField* Field) override;
    void UpdateData() override { Note("UpdateData"); }
    void FocusControl(TField** Field) override;

private:
    void Note(const std::string& Text) { FLog.push_back(FName + ":" + Text); }
    TEventLog& FLog;
    std::string FName;
};

// Writes every Before/After event and OnNewRecord of the dataset to the log.
void LogDataSetEvents(TDataSet& DataSet, TEventLog& Log);
