// Editing: lock and re-read before edit, post through the generated UPDATE
// or INSERT, delete by key, cancel, and the hooks on insert, scroll and new
// record. The four modify statements are built for the main table on first
// use and stay prepared until the dataset is closed.
#include "IBRowvaneKVInternal.h"

#include <memory>

namespace {

using RB = TIBRVRecordBuffer;

// A record buffer for one operation: record buffers are plain blocks of
// new char[] (AllocRecordBuffer, FreeRecordBuffer).
using TScratchBuffer = std::unique_ptr<char[]>;

// One line of a column list: "column=value", both trimmed; false without "=".
bool SplitColumnLine(const AnsiString& Line, AnsiString& Column, AnsiString& Value) {
    size_t eq = Line.find('=');
    if (eq == AnsiString::npos) return false;
    Column = Trim(Line.substr(0, eq));
    Value = Trim(Line.substr(eq + 1));
    return true;
}

// A statement that must have changed the row it names: none changed means
// the row was deleted or re-keyed by someone else, and the change did not
// happen. (An engine that cannot tell reports -1, which is let pass.)
void CheckRowChanged(TIBSQL* Query) {
    if (Query->GetRowsAffected() == 0) throw EIBRVError(rveRecordNotFound);
}

} // namespace

// ---------------------------------------------------------------------------
// The framework's edit protocol

void TIBRowvaneKV::InternalEdit() {
    TDataSet::InternalEdit();
    if (FPessimisticLocking) LockRecord();
    // Once the row is locked it is read again: the values in the window may
    // be older than the lock, and a post would write them back over what
    // another user committed in between.
    if (FRefreshBeforeEdit || FPessimisticLocking) RefreshActiveRecord();
    SaveRecord(FSavedBuffer, GetActiveBuf());
}

void TIBRowvaneKV::InternalPost() {
    char* buffer = GetActiveBuf();
    if (!buffer) throw EIBRVError(rveCannotUpdate);
    TIBSQL* query;
    switch (GetState()) {
    case dsEdit:
        FBlobStreams->ApplyChanges();
        InternalPrepareModifyQuery();
        query = FQryModify;
        SetQueryLocateValues(query, FSavedBuffer, true, -1);
        SetQueryFieldValues(query, buffer);
        query->ExecQuery();
        CheckRowChanged(query);
        break;
    case dsInsert:
        FBlobStreams->ApplyChanges();
        InternalPrepareInsertQuery();
        query = FQryInsert;
        SetQueryFieldValues(query, buffer);
        query->ExecQuery();
        break;
    default:
        return;
    }
    // A new row without its key (the engine gives it one) cannot be read
    // back, nor can a cursor start at it: the row that was current before
    // the insert stays current instead of the window coming up empty.
    if (GetState() == dsInsert && HasNullKey(buffer))
        SaveRecord(FPositionBuffer, FSavedBuffer);
    else
        SaveRecord(FPositionBuffer, buffer);
    FBlobStreams->Clear();
    // The row may have moved in the order: neither cursor may go on from
    // where the row stood before, so both re-open at the new position.
    InternalCloseSelectQueryFwd();
    InternalCloseSelectQueryBwd();
}

bool TIBRowvaneKV::HasNullKey(char* Buffer) {
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        TIBRVColumn* column = FKeyColumns->GetItem(i);
        PFieldHdr hdr = GetFieldHeader(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
        if (hdr && hdr.GetIsNull()) return true;
    }
    return false;
}

void TIBRowvaneKV::InternalDelete() {
    char* buffer;
    if (GetState() == dsEdit) {
        // The row as it was before the edit: its key may have been edited.
        buffer = FSavedBuffer;
        SaveRecord(FPositionBuffer, FSavedBuffer);
    } else {
        buffer = GetActiveBuf();
    }
    if (!buffer || IsEmpty()) throw EIBRVError(rveCannotDelete);
    InternalPrepareDeleteQuery();
    SetQueryLocateValues(FQryDelete, buffer, true, -1);
    FQryDelete->ExecQuery();
    CheckRowChanged(FQryDelete);
    DataEvent(deLayoutChange, 0);
}

void TIBRowvaneKV::InternalCancel() {
    TDataSet::InternalCancel();
    if (GetState() != dsInsert) {
        // The row as it was when the edit began, without asking the server:
        // a cancel must succeed also when the transaction has ended.
        SaveRecord(GetActiveBuf(), FSavedBuffer);
        try {
            FBlobStreams->CancelChanges();
        } catch (...) {
            // A stream that cannot go back is dropped: the restored record
            // names the blob it held, and a new stream reads it from there.
            FBlobStreams->Clear();
        }
    } else {
        SaveRecord(FPositionBuffer, FSavedBuffer);
        // What was written into the new record's blobs must never reach
        // another row through a later post.
        FBlobStreams->Clear();
    }
}

void TIBRowvaneKV::InternalAddRecord(void*, bool) {}

void TIBRowvaneKV::Post() {
    TDataSet::Post();
    if (GetState() == dsSetKey) {
        DataEvent(deCheckBrowseMode, 0);
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
    }
}

void TIBRowvaneKV::Cancel() {
    TDataSet::Cancel();
    if (GetState() == dsSetKey) {
        DataEvent(deCheckBrowseMode, 0);
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
    }
}

void TIBRowvaneKV::DoBeforeInsert() {
    if (IsEmpty())
        SetValidRecordFlag(FSavedBuffer, RB::NoRow);
    else
        SaveRecord(FSavedBuffer, GetActiveBuf());
    TDataSet::DoBeforeInsert();
}

void TIBRowvaneKV::DoBeforeScroll() {
    TDataSet::DoBeforeScroll();
    if (FBlobStreams) FBlobStreams->Clear();
}

void TIBRowvaneKV::DoOnNewRecord() {
    for (int i = 0; i < FGeneratorFields->GetCount(); ++i)
        FGeneratorFields->GetItem(i)->Apply();
    TDataSet::DoOnNewRecord();
}

void TIBRowvaneKV::RefreshActiveRecord() {
    if (IsEmpty()) throw EIBRVError(rveEmptyDataset);
    char* active = GetActiveBuf();
    if (!active) throw EIBRVError(rveRecordNotFound);
    TScratchBuffer owned(AllocRecordBuffer());
    char* buffer = owned.get();
    if (!InternalGetRecordFromBuf(buffer, active)) throw EIBRVError(rveRecordNotFound);
    SetBookmarkFlag(buffer, bfCurrent);
    GetCalcFields(buffer);
    if (!FilterRecord(buffer)) throw EIBRVError(rveRecordNotFound);
    SaveRecord(active, buffer);
    // The streams held the contents of the row as it was read before.
    if (FBlobStreams) FBlobStreams->Clear();
    DataEvent(deRecordChange, 0);
}

void TIBRowvaneKV::LockRecord() {
    char* buffer = GetActiveBuf();
    if (!buffer) throw EIBRVError(rveCannotUpdate);
    InternalPrepareLockQuery();
    SetQueryLocateValues(FQryLock, buffer, true, -1);
    FQryLock->ExecQuery();
    CheckRowChanged(FQryLock);
}

// ---------------------------------------------------------------------------
// The modify statements

namespace {

// Creates the statement on first use over the main select's database and
// transaction; true when it still has to be built and prepared.
bool NeedsPreparing(TIBSQL*& Query, TIBRowvaneKV* Owner, TIBSQL* Select) {
    if (!Query) {
        Query = new TIBSQL(Owner); // owned by the dataset
        Query->SetDatabase(Select->GetDatabase());
        Query->SetTransaction(Select->GetTransaction());
    }
    return !Query->GetPrepared();
}

void PrepareText(TIBSQL* Query, const AnsiString& Text) {
    Query->GetSQL()->SetText(Text);
    Query->Prepare();
}

} // namespace

void TIBRowvaneKV::InternalPrepareDeleteQuery() {
    if (!NeedsPreparing(FQryDelete, this, FQrySelect)) return;
    AnsiString text = "DELETE FROM " + QuoteIdentifier(GetSQLDialect(), GetMainTableName());
    AddPKeyQueryFields(text);
    PrepareText(FQryDelete, text);
}

void TIBRowvaneKV::InternalPrepareModifyQuery() {
    if (!NeedsPreparing(FQryModify, this, FQrySelect)) return;
    AnsiString text = "UPDATE " + QuoteIdentifier(GetSQLDialect(), GetMainTableName()) + " SET";
    AddModifyQueryFields(text);
    AddPKeyQueryFields(text);
    PrepareText(FQryModify, text);
}

void TIBRowvaneKV::InternalPrepareInsertQuery() {
    if (!NeedsPreparing(FQryInsert, this, FQrySelect)) return;
    AnsiString text = "INSERT INTO " + QuoteIdentifier(GetSQLDialect(), GetMainTableName());
    AddInsertQueryFields(text);
    PrepareText(FQryInsert, text);
}

void TIBRowvaneKV::InternalPrepareLockQuery() {
    if (!NeedsPreparing(FQryLock, this, FQrySelect)) return;
    // Without key columns the text has no first column and fails to prepare.
    AnsiString first = FKeyColumns->GetCount() > 0 ? FKeyColumns->GetItem(0)->GetColumnName() : AnsiString();
    AnsiString text =
        "UPDATE " + QuoteIdentifier(GetSQLDialect(), GetMainTableName()) + " SET\r\n" + first + " = " + first;
    AddPKeyQueryFields(text);
    PrepareText(FQryLock, text);
}

void TIBRowvaneKV::AddPKeyQueryFields(AnsiString& Text) {
    Text += "\r\nWHERE ";
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        if (i > 0) Text += " AND ";
        Text += FKeyColumns->GetItem(i)->GetColumnName() + " = :" + Ibrowvanekv::LocateParamName(i + 1);
    }
}

void TIBRowvaneKV::AddModifyQueryFields(AnsiString& Text) {
    TStringList defaults;
    TStrings* lines = FModifySQL.get();
    if (lines->GetCount() == 0) {
        GetUpdateQueryFields(&defaults);
        lines = &defaults;
    }
    for (int i = 0; i < lines->GetCount(); ++i) {
        AnsiString column, value;
        if (!SplitColumnLine(lines->Get(i), column, value)) throw EIBRVError(rveInvalidModifySQL);
        Text += (i == 0 ? "\r\n" : ",\r\n") + column + " = " + value;
    }
}

void TIBRowvaneKV::AddInsertQueryFields(AnsiString& Text) {
    TStringList defaults;
    TStrings* lines = FInsertSQL.get();
    if (lines->GetCount() == 0) {
        GetUpdateQueryFields(&defaults);
        lines = &defaults;
    }
    AnsiString columns, values;
    for (int i = 0; i < lines->GetCount(); ++i) {
        AnsiString column, value;
        if (!SplitColumnLine(lines->Get(i), column, value)) throw EIBRVError(rveInvalidInsertSQL);
        columns += (i == 0 ? "\r\n(" : ",\r\n") + column;
        values += (i == 0 ? "\r\n(" : ",\r\n") + value;
    }
    Text += columns + ")\r\nVALUES" + values + ")";
}

void TIBRowvaneKV::GetUpdateQueryFields(TStrings* List) {
    int dialect = GetSQLDialect();
    AnsiString mainTable = GetMainTableName();
    for (TField* field : *GetFields()) {
        if (field->GetFieldKind() != fkData) continue;
        TFieldDef* def = GetFieldDefs()->Find(field->GetFieldName());
        if (def->GetInternalCalcField() || def->GetAttributes().Contains(faReadonly)) continue;
        TIBXSQLVAR* column = FQrySelect->GetFields(def->GetFieldNo() - 1);
        if (column->GetRelName() != mainTable) continue;
        List->Add(QuoteIdentifier(dialect, column->GetSQLName()) +
                  "=:" + QuoteIdentifier(dialect, def->GetName()));
    }
}
