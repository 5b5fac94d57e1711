// The dataset's tests against the real engine: the sample schema (table
// ITEM with its indexes, generator and trigger) in a database of its own, a
// table of every column type beside it, and a dataset whose protected parts
// a test subclass opens up.
#pragma once

#include "IBRowvaneKV.h"
#include "IBTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The dataset with its inner workings reachable from the tests.
class TTestRowvane : public TIBRowvaneKV {
public:
    using TIBRowvaneKV::TIBRowvaneKV;

    using TIBRowvaneKV::CalcBookmarkSize;
    using TIBRowvaneKV::CalcRecordSize;
    using TIBRowvaneKV::CompareRecordPos;
    using TIBRowvaneKV::FetchRecordToBuffer;
    using TIBRowvaneKV::GetActiveBuf;
    using TIBRowvaneKV::GetBufferHeaderSize;
    using TIBRowvaneKV::GetCalcFieldsOffset;
    using TIBRowvaneKV::GetFieldHeader;
    using TIBRowvaneKV::GetInternalPrepared;
    using TIBRowvaneKV::GetMainTableName;
    using TIBRowvaneKV::GetRecordSize;
    using TIBRowvaneKV::InternalInitRecord;
    using TIBRowvaneKV::InternalPrepare;
    using TIBRowvaneKV::InternalUnprepare;
    using TIBRowvaneKV::RestoreState;
    using TIBRowvaneKV::SaveRecord;
    using TIBRowvaneKV::SetTempState;
    // Navigation, statements and their parameters
    using TIBRowvaneKV::GetRecord;
    using TIBRowvaneKV::InternalFirst;
    using TIBRowvaneKV::InternalGetRecordFromBuf;
    using TIBRowvaneKV::InternalLast;
    using TIBRowvaneKV::InternalPrepareRefreshQuery;
    using TIBRowvaneKV::InternalPrepareSelectQueryBwd;
    using TIBRowvaneKV::InternalPrepareSelectQueryFwd;
    using TIBRowvaneKV::InternalRefresh;
    using TIBRowvaneKV::InternalSetToRecord;
    using TIBRowvaneKV::ModifySelectQueryOrderBy;
    using TIBRowvaneKV::ModifySelectQueryWhereForLocate;
    using TIBRowvaneKV::SetQryParamFromBuf;
    using TIBRowvaneKV::SetQryParamFromQry;
    using TIBRowvaneKV::SetQueryFieldValues;
    using TIBRowvaneKV::SetQueryLocateValues;

    TIBSQL* Select() const { return FQrySelect; }
    TIBSQL* Forward() const { return FQryForward; }
    TIBSQL* Backward() const { return FQryBackward; }
    TIBSQL* Refresh() const { return FQryRefresh; }
    TIBRVOrderColumns* OrderFwd() const { return FOrderColumnsFwd.get(); }
    TIBRVOrderColumns* OrderBwd() const { return FOrderColumnsBwd.get(); }
    TIBRVTableAliasList* Aliases() const { return FTableAliases.get(); }
    TIBRVNativeBlobStreamList* BlobStreams() const { return FBlobStreams.get(); }
    char* KeyBuffer() const { return FKeyBuffer; }
    char* SavedBuffer() const { return FSavedBuffer; }
    char* PositionBuffer() const { return FPositionBuffer; }
    char* ForwardBuffer() const { return FForwardBuffer; }
    char* BackwardBuffer() const { return FBackwardBuffer; }
    const char* ModelBuffer() const { return FModelBuffer.get(); }
    int ColumnCount() const { return FColumnCount; }
    int FieldDataSize() const { return FFieldDataSize; }
    int BookmarkSize() const { return GetBookmarkSize(); }
    int CalcSize() const { return GetCalcFieldsSize(); }
    int FwdMode() const { return FFwdMode; }
    int FwdCount() const { return FFwdCount; }
    int BwdMode() const { return FBwdMode; }
    void SetPositionSet(bool Value) { FPositionSet = Value; }
    bool GetPositionSet() const { return FPositionSet; }
    // The framework's Refresh (Refresh() above names the refresh statement).
    void RefreshRows() { TDataSet::Refresh(); }
    bool CursorIsOpen() { return IsCursorOpen(); }
    char* NewBuffer() { return AllocRecordBuffer(); }
    void FreeBuffer(char*& Buffer) { FreeRecordBuffer(Buffer); }
    PFieldHdr Hdr(char* Buffer, int Column) const { return TIBRVRecordBuffer::FieldHdr(Buffer, Column); }

    // Opens the main select's own cursor and fills Buffer from its row
    // number Row (0-based) in the select's order; false when there is none.
    bool FetchRow(char* Buffer, int Row);

    // Bookmarks and editing
    using TIBRowvaneKV::BookmarkValid;
    using TIBRowvaneKV::GetBookmarkData;
    using TIBRowvaneKV::GetUpdateQueryFields;
    using TIBRowvaneKV::InternalPrepareDeleteQuery;
    using TIBRowvaneKV::InternalPrepareInsertQuery;
    using TIBRowvaneKV::InternalPrepareLockQuery;
    using TIBRowvaneKV::InternalPrepareModifyQuery;
    using TIBRowvaneKV::SetBookmarkData;
    using TIBRowvaneKV::SetBufferValuesFromBookmark;
    TIBSQL* QryDelete() const { return FQryDelete; }
    TIBSQL* QryModify() const { return FQryModify; }
    TIBSQL* QryInsert() const { return FQryInsert; }
    TIBSQL* QryLock() const { return FQryLock; }
};

// A grid's link: a window of Rows records of the dataset's ring.
class TGridLink : public TDataLink {
public:
    explicit TGridLink(int Rows = 20) { SetBufferCount(Rows); }

    // The window's values of a field (an integer), top to bottom, read as a grid paints them.
    std::vector<int> Window(const AnsiString& Field = "ID") {
        std::vector<int> values;
        int active = GetActiveRecord();
        for (int i = 0; i < GetRecordCount(); ++i) {
            SetActiveRecord(i);
            values.push_back(GetDataSet()->FieldByName(Field)->GetAsInteger());
        }
        if (GetRecordCount() > 0) SetActiveRecord(active);
        return values;
    }
    // The grid's page keys: to the window's last (first) row, then a page on (back).
    void PageDown() {
        GetDataSet()->MoveBy(GetRecordCount() - 1 - GetActiveRecord());
        GetDataSet()->MoveBy(GetBufferCount());
    }
    void PageUp() {
        GetDataSet()->MoveBy(-GetActiveRecord());
        GetDataSet()->MoveBy(-GetBufferCount());
    }
};

// A record buffer of the dataset, freed with it.
class TScopedBuffer {
public:
    explicit TScopedBuffer(TTestRowvane& DataSet) : FDataSet(DataSet), FBuffer(DataSet.NewBuffer()) {}
    ~TScopedBuffer() { FDataSet.FreeBuffer(FBuffer); }
    TScopedBuffer(const TScopedBuffer&) = delete;
    TScopedBuffer& operator=(const TScopedBuffer&) = delete;
    operator char*() const { return FBuffer; }

private:
    TTestRowvane& FDataSet;
    char* FBuffer;
};

// Another user of the database: an attachment and a transaction of its own
// (read committed, no wait), started when a statement needs it.
class TOtherUser {
public:
    explicit TOtherUser(const IBTest::TTestDatabase& Database) : FDb(Database.Attach()) {
        FTr.SetDefaultDatabase(FDb.get());
        FTr.GetParams()->SetText("read_committed\r\nrec_version\r\nnowait");
        FQuery.SetDatabase(FDb.get());
        FQuery.SetTransaction(&FTr);
    }
    ~TOtherUser() {
        FQuery.Close();
        if (FTr.GetInTransaction()) FTr.Rollback();
    }
    // Runs a statement in the open transaction; does not commit.
    void Exec(const AnsiString& SQL) {
        Start();
        FQuery.Close();
        FQuery.GetSQL()->SetText(SQL);
        FQuery.ExecQuery();
        FQuery.Close();
    }
    // Runs a statement and commits it.
    void Run(const AnsiString& SQL) {
        Exec(SQL);
        FTr.Commit();
    }
    // The first column of the first row as text ("NULL", "none" without a row).
    AnsiString Value(const AnsiString& SQL) {
        Start();
        FQuery.Close();
        FQuery.GetSQL()->SetText(SQL);
        FQuery.ExecQuery();
        AnsiString value = FQuery.GetEOF()                    ? AnsiString("none")
                           : FQuery.GetFields(0)->GetIsNull() ? AnsiString("NULL")
                                                              : FQuery.GetFields(0)->GetAsString();
        FQuery.Close();
        return value;
    }
    void Commit() { FTr.Commit(); }
    void Rollback() { FTr.Rollback(); }

private:
    void Start() {
        if (!FTr.GetInTransaction()) FTr.StartTransaction();
    }

    std::unique_ptr<TIBDatabase> FDb;
    TIBTransaction FTr{nullptr};
    TIBSQL FQuery{nullptr};
};

// A database with the sample schema and rows:
//   ID DESCRIPTION QUANTITY PRICE
//    1 Apple       1.50     2.25
//    2 Pear        NULL     NULL
//    3 Cherry      0.00     1.00
//    4 Banana split 12.34   99.99
// a table TYPES of every column type, and a dataset DS over Db and Tr.
class RowvaneTest : public IBTest::TIBDatabaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // DS over Db and Tr with this select; not opened.
    void Use(const AnsiString& Select);
    void Commit();
    // The first column (an integer) of the engine's rows for a select, read in Tr.
    std::vector<int> EngineColumn(const AnsiString& Select);

    std::unique_ptr<TTestRowvane> DS;
};

// True when Statement raises EIBRVError with this code.
#define EXPECT_RV_ERROR(Statement, Code)                                                                     \
    do {                                                                                                     \
        try {                                                                                                \
            Statement;                                                                                       \
            ADD_FAILURE() << "no error raised by " #Statement;                                               \
        } catch (const EIBRVError& e) {                                                                      \
            EXPECT_EQ(static_cast<int>(e.ErrorCode), static_cast<int>(Code)) << e.Message();                 \
        }                                                                                                    \
    } while (0)
