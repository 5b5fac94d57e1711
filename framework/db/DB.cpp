#include "DB.h"

#include "DateUtils.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>
#include <utility>

using namespace Dbconsts;

KV_ABSTRACT_METACLASS(TDataSet, nullptr)

void DatabaseError(const AnsiString& Message, const TComponent* Component) {
    if (Component && !Component->GetName().empty())
        throw EDatabaseError(Component->GetName() + ": " + Message);
    throw EDatabaseError(Message);
}

void DatabaseErrorFmt(const TResStringRec& Message, std::initializer_list<AnsiString> Args,
                      const TComponent* Component) {
    DatabaseError(LoadDBMessage(Message, Args), Component);
}

const char* FieldTypeName(TFieldType Type) {
    static const char* const Names[] = {
        "Unknown",     "String", "SmallInt",  "Integer",    "Word",     "Boolean",    "Float",
        "Currency",    "BCD",    "Date",      "Time",       "DateTime", "Bytes",      "VarBytes",
        "AutoInc",     "Blob",   "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle", "DBaseOle",
        "TypedBinary", "Cursor", "FixedChar", "WideString", "Largeint"};
    auto i = static_cast<size_t>(Type);
    return i < sizeof(Names) / sizeof(Names[0]) ? Names[i] : "Unknown";
}

// ---------------------------------------------------------------------------
// Construction

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner), FFields(std::make_unique<TFields>(this)),
      FFieldDefs(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet() {
    Destroying();
    // Closing needs the descendant's overrides: its destructor closes.
    assert(FState == dsInactive && FBuffers.empty());
    while (FDataSources.GetCount() > 0) {
        try {
            RemoveDataSource(FDataSources.Last());
        } catch (...) {
            // A link's handler failed while it was told: nothing is left to report it to.
        }
    }
    // Our own fields go with us; fields of another owner stay its to free.
    while (FFields->GetCount() > 0) {
        TField* field = FFields->GetField(FFields->GetCount() - 1);
        FFields->Remove(field);
        field->FDataSet = nullptr;
        if (field->GetOwner() == this && !field->IsDestroying()) delete field;
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    try {
        if (FStreamedActive) SetActive(true);
    } catch (...) {
        if (!IsDesigning()) throw;
        InternalHandleException();
    }
}

// ---------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool Value) {
    if (IsLoading()) {
        FStreamedActive = Value;
        return;
    }
    if (GetActive() == Value) return;
    if (Value) {
        DoBeforeOpen();
        try {
            OpenCursor();
        } catch (...) {
            if (!FInternalOpenComplete) {
                // The descendant frees whatever its partial open made.
                try {
                    CloseCursor();
                } catch (...) {
                }
                throw;
            }
            // Opened, but filling the window failed: the dataset stays open
            // with the records it got, and the error is reported.
            SetState(dsBrowse);
            DoAfterOpen();
            if (!IsEmpty()) DoAfterScroll();
            throw;
        }
        SetState(dsBrowse);
        DoAfterOpen();
        if (!IsEmpty()) DoAfterScroll();
    } else {
        if (!IsDestroying()) DoBeforeClose();
        SetState(dsInactive);
        CloseCursor();
        if (!IsDestroying()) DoAfterClose();
    }
}

void TDataSet::OpenCursor() {
    ClearBuffers();
    FReadFailed = false;
    FKeptFailure = nullptr;
    FDefaultFields = GetFieldCount() == 0;
    InternalOpen();
    FInternalOpenComplete = true;
    UpdateBufferCount();
    FBOF = true;
    CheckRing();
}

void TDataSet::CloseCursor() {
    FInternalOpenComplete = false;
    FKeptFailure = nullptr;
    FreeFieldBuffers();
    ClearBuffers();
    SetBufferCount(0);
    InternalClose();
}

void TDataSet::InitFieldDefs() {
    InternalInitFieldDefs();
    FFieldDefs->SetUpdated(true);
}

void TDataSet::CheckActive() const {
    if (FState == dsInactive) DatabaseErrorFmt(SDataSetClosed, {}, this);
}

void TDataSet::CheckInactive() {
    if (GetActive()) DatabaseErrorFmt(SDataSetOpen, {}, this);
}

void TDataSet::CheckCanModify() {
    if (!GetCanModify()) DatabaseErrorFmt(SDataSetReadOnly, {}, this);
}

// ---------------------------------------------------------------------------
// The buffer ring

char* TDataSet::ActiveBuffer() const {
    return FBuffers.empty() ? nullptr : Slot(FActiveRecord);
}

char* TDataSet::GetBuffer(int Index) const {
    assert(Index >= 0 && Index < static_cast<int>(FBuffers.size()));
    return Slot(Index);
}

void TDataSet::CheckRing() const {
#ifndef NDEBUG
    if (FBuffers.empty()) {
        assert(FBufferCount == 0 && FRecordCount == 0);
        return;
    }
    assert(static_cast<int>(FBuffers.size()) == FBufferCount + 1);
    assert(FRecordCount >= 0 && FRecordCount <= FBufferCount);
    assert(FActiveRecord >= 0 && (FRecordCount == 0 ? FActiveRecord == 0 : FActiveRecord < FRecordCount));
    assert(FCurrentRecord >= -1 && FCurrentRecord < FRecordCount);
#endif
}

void TDataSet::ClearBuffers() {
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = true;
    FEOF = true;
}

void TDataSet::ActivateBuffers() {
    FReadFailed = false;
    FRecordCount = 1;
    FActiveRecord = 0;
    FEOF = false;
    FBOF = false;
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    int last = static_cast<int>(FBuffers.size()) - 1;
    if (CurIndex == 0 && NewIndex == last) {
        TurnRing();
    } else if (CurIndex == last && NewIndex == 0) {
        FRingStart = FRingStart == 0 ? static_cast<size_t>(last) : FRingStart - 1;
    } else {
        char* buffer = Slot(CurIndex);
        int step = CurIndex < NewIndex ? 1 : -1;
        for (int i = CurIndex; i != NewIndex; i += step)
            Slot(i) = Slot(i + step);
        Slot(NewIndex) = buffer;
    }
    // The cursor stays on its record wherever that buffer went.
    if (FCurrentRecord == CurIndex)
        FCurrentRecord = NewIndex;
    else if (CurIndex < NewIndex && FCurrentRecord > CurIndex && FCurrentRecord <= NewIndex)
        --FCurrentRecord;
    else if (NewIndex < CurIndex && FCurrentRecord >= NewIndex && FCurrentRecord < CurIndex)
        ++FCurrentRecord;
}

void TDataSet::SetCurrentRecord(int Index) {
    if (FCurrentRecord == Index) return;
    char* buffer = GetBuffer(Index);
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffer);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
    if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

TGetResult TDataSet::FetchRecord(char* Buffer, TGetMode Mode, bool DoCheck) {
    try {
        return GetRecord(Buffer, Mode, DoCheck);
    } catch (...) {
        // The ring is as it was, but the descendant's cursor may have moved:
        // the next fetch places it again. An empty ring now says nothing
        // about the rows there are.
        CursorPosChanged();
        if (FRecordCount == 0) FReadFailed = true;
        throw;
    }
}

bool TDataSet::ReadEndRecord(TGetMode Mode) {
    // Into the spare buffer: should the read fail, the window stays as it was.
    if (FetchRecord(Slot(FRecordCount), Mode, true) != grOK) {
        ClearBuffers();
        FReadFailed = false; // there is no row
        return false;
    }
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    FCurrentRecord = 0;
    return true;
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (FRecordCount > 0) {
        SetCurrentRecord(FRecordCount - 1);
        // An inserted record at the end stands for the record it was
        // inserted before, which left the ring: that record comes next.
        if (FState == dsInsert && FCurrentRecord == FActiveRecord &&
            GetBookmarkFlag(ActiveBuffer()) == bfInserted)
            mode = gmCurrent;
    }
    bool ok = FetchRecord(Slot(FRecordCount), mode, true) == grOK;
    if (ok) {
        if (FRecordCount == 0)
            ActivateBuffers();
        else if (FRecordCount < FBufferCount)
            ++FRecordCount;
        else
            TurnRing(); // MoveBuffer(0, FRecordCount): the row read is the last
        FCurrentRecord = FRecordCount - 1;
    } else {
        CursorPosChanged();
    }
    CheckRing();
    return ok;
}

bool TDataSet::GetPriorRecord() {
    if (FRecordCount > 0) SetCurrentRecord(0);
    bool ok = FetchRecord(Slot(FRecordCount), gmPrior, true) == grOK;
    if (ok) {
        if (FRecordCount == 0) {
            ActivateBuffers();
        } else {
            MoveBuffer(FRecordCount, 0);
            if (FRecordCount < FBufferCount) {
                ++FRecordCount;
                ++FActiveRecord;
            }
        }
        FCurrentRecord = 0;
    } else {
        CursorPosChanged();
    }
    CheckRing();
    return ok;
}

int TDataSet::GetNextRecords() {
    int count = 0;
    while (FRecordCount < FBufferCount && GetNextRecord())
        ++count;
    return count;
}

int TDataSet::GetPriorRecords() {
    int count = 0;
    while (FRecordCount < FBufferCount && GetPriorRecord())
        ++count;
    return count;
}

void TDataSet::AdjustFirstRecord(int Delta) {
    if (Delta == 0) return;
    for (TDataSource* source : FDataSources)
        for (TDataLink* link : source->FDataLinks)
            if (link->FActive) link->FFirstRecord = std::max(0, link->FFirstRecord + Delta);
}

void TDataSet::UpdateBufferCount() {
    if (!FInternalOpenComplete || !IsCursorOpen()) return;
    int wanted = 1;
    for (TDataSource* source : FDataSources)
        for (TDataLink* link : source->FDataLinks)
            wanted = std::max(wanted, link->FBufferCount);
    SetBufferCount(wanted);
}

void TDataSet::StraightenRing() {
    std::rotate(FBuffers.begin(), FBuffers.begin() + static_cast<long>(FRingStart), FBuffers.end());
    FRingStart = 0;
}

void TDataSet::SetBufferCount(int Value) {
    assert(Value >= 0);
    if (FBufferCount == Value) return;
    StraightenRing();
    if (Value < FBufferCount && FRecordCount > 0) {
        // Keep the active record, and as much of the links' windows as fits.
        int first = FActiveRecord;
        for (TDataSource* source : FDataSources)
            for (TDataLink* link : source->FDataLinks)
                if (link->FActive) first = std::min(first, link->FFirstRecord);
        int start = Value == 0 ? 0 : std::clamp(first, std::max(0, FActiveRecord - Value + 1), FActiveRecord);
        if (start > 0) {
            std::rotate(FBuffers.begin(), FBuffers.begin() + start, FBuffers.end());
            FRecordCount -= start;
            FActiveRecord -= start;
            FCurrentRecord = FCurrentRecord >= start ? FCurrentRecord - start : -1;
            AdjustFirstRecord(-start);
        }
        if (FRecordCount > Value) FRecordCount = Value;
        if (FCurrentRecord >= FRecordCount) FCurrentRecord = -1;
    }
    size_t wanted = Value == 0 ? 0 : static_cast<size_t>(Value) + 1;
    if (FBuffers.size() < wanted) {
        size_t before = FBuffers.size();
        FBuffers.reserve(wanted);
        try {
            while (FBuffers.size() < wanted)
                FBuffers.push_back(AllocRecordBuffer());
        } catch (...) {
            while (FBuffers.size() > before) {
                FreeRecordBuffer(FBuffers.back());
                FBuffers.pop_back();
            }
            throw;
        }
    }
    while (FBuffers.size() > wanted) {
        FreeRecordBuffer(FBuffers.back());
        FBuffers.pop_back();
    }
    bool grows = Value > FBufferCount;
    FBufferCount = Value;
    if (FRecordCount == 0) FActiveRecord = 0;
    CheckRing();
    // A smaller window holds what it had: a link going away (often in a
    // destructor) reads nothing from the database.
    if (!grows) return;
    GetNextRecords();
    AdjustFirstRecord(GetPriorRecords());
}

// ---------------------------------------------------------------------------
// Navigation

// First and Last read their first record before they give up the window:
// when that read fails, the window and the current record stay as they were.
// A later read that fails leaves a shorter window of the right records.
void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    bool read = false;
    try {
        InternalFirst();
        read = ReadEndRecord(gmNext);
        if (read) GetNextRecords();
    } catch (...) {
        if (read) FBOF = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
        throw;
    }
    FBOF = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    bool read = false;
    try {
        InternalLast();
        read = ReadEndRecord(gmPrior);
        if (read) GetPriorRecords();
    } catch (...) {
        if (read) FEOF = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
        throw;
    }
    FEOF = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int Distance) {
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF)) {
        FBOF = false;
        FEOF = false;
        int scrollCount = 0;
        auto finish = [&] {
            DataEvent(deDataSetScroll, scrollCount);
            DoAfterScroll();
        };
        try {
            while (Distance > 0) {
                if (FActiveRecord < FRecordCount - 1) {
                    ++FActiveRecord;
                } else {
                    bool full = FRecordCount >= FBufferCount;
                    if (!GetNextRecord()) {
                        FEOF = true;
                        break;
                    }
                    // A full ring shifted down under the active index; a
                    // growing one gained a record after it.
                    if (full)
                        ++scrollCount;
                    else
                        FActiveRecord = FRecordCount - 1;
                }
                --Distance;
                ++result;
            }
            while (Distance < 0) {
                if (FActiveRecord > 0) {
                    --FActiveRecord;
                } else {
                    bool full = FRecordCount >= FBufferCount;
                    if (!GetPriorRecord()) {
                        FBOF = true;
                        break;
                    }
                    // Either way the records moved up one place; a growing
                    // ring kept the active index on the old record.
                    --scrollCount;
                    if (!full) FActiveRecord = 0;
                }
                ++Distance;
                --result;
            }
        } catch (...) {
            finish();
            throw;
        }
        CheckRing();
        finish();
    }
    return result;
}

void TDataSet::Refresh() {
    DoBeforeRefresh();
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    Resync({});
    DoAfterRefresh();
}

void TDataSet::Resync(TResyncMode Mode) {
    CheckActive();
    char* spare = Slot(FRecordCount);
    if (Mode.Contains(rmExact)) {
        CursorPosChanged();
        if (FetchRecord(spare, gmCurrent, true) != grOK) DatabaseErrorFmt(SRecordNotFound, {}, this);
    } else if (FetchRecord(spare, gmCurrent, false) != grOK && FetchRecord(spare, gmNext, false) != grOK &&
               FetchRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        FReadFailed = false; // there is no row
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = Mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    FCurrentRecord = 0; // the cursor stands on the record just read
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    CheckRing();
    DataEvent(deDataSetChange, 0);
}

// ---------------------------------------------------------------------------
// Editing

void TDataSet::CheckOperation(TDataOperation Operation, const TDataSetErrorEvent& ErrorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            (this->*Operation)();
            return;
        } catch (EDatabaseError& E) {
            TDataAction action = daFail;
            if (ErrorEvent) ErrorEvent(this, E, action);
            if (action == daFail) throw;
            if (action == daAbort) Abort();
        }
    }
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (FKeptFailure) std::rethrow_exception(std::exchange(FKeptFailure, nullptr));
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (FModified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::UpdateRecord() {
    if (!dsEditModes.Contains(FState)) DatabaseErrorFmt(SNotEditing, {}, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::InitRecord(char* Buffer) {
    InternalInitRecord(Buffer);
    ClearCalcFields(Buffer);
    SetBookmarkFlag(Buffer, bfInserted);
}

bool TDataSet::BookmarkAvailable() {
    return (FState == dsBrowse || FState == dsEdit || FState == dsInsert) && !IsEmpty() &&
           GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert) return;
    if (FRecordCount == 0) {
        // An empty window after a failed read need not be an empty dataset.
        if (FReadFailed) DatabaseErrorFmt(SDataSetNeedsRefresh, {}, this);
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation(&TDataSet::InternalEdit, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        // The new record is dropped as a cancel would drop it.
        try {
            UpdateCursorPos();
            InternalCancel();
        } catch (...) {
        }
        EndCancel();
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    std::vector<char> oldCurrent;
    bool haveBookmark = BookmarkAvailable();
    if (haveBookmark) {
        oldCurrent.assign(static_cast<size_t>(std::max(FBookmarkSize, 1)), 0);
        GetBookmarkData(ActiveBuffer(), oldCurrent.data());
    }
    int oldCount = FRecordCount;
    MoveBuffer(FRecordCount, FActiveRecord);
    try {
        char* buffer = ActiveBuffer();
        InitRecord(buffer);
        if (FRecordCount == 0)
            SetBookmarkFlag(buffer, bfBOF);
        else if (haveBookmark)
            SetBookmarkData(buffer, oldCurrent.data());
        if (FRecordCount < FBufferCount) ++FRecordCount;
        FInsertGrewRing = FRecordCount > oldCount;
        if (FCurrentRecord >= FRecordCount) CursorPosChanged();
        InternalInsert();
    } catch (...) {
        FRecordCount = oldCount;
        MoveBuffer(FActiveRecord, FRecordCount);
        CursorPosChanged();
        throw;
    }
    CheckRing();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    try {
        char* buffer = Slot(0);
        InitRecord(buffer);
        SetBookmarkFlag(buffer, bfEOF);
        FRecordCount = 1;
        FBOF = false;
        GetPriorRecords();
    } catch (...) {
        ClearBuffers();
        try {
            Resync({});
        } catch (...) {
            DataEvent(deDataSetChange, 0);
        }
        throw;
    }
    CheckRing();
    EndInsertAppend();
}

void TDataSet::Post() {
    UpdateRecord();
    if (FState != dsEdit && FState != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(&TDataSet::CheckedInternalPost, OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
}

void TDataSet::CheckRequiredFields() {
    for (TField* field : *FFields)
        if (field->GetRequired() && !field->GetReadOnly() && field->GetFieldKind() == fkData &&
            field->GetIsNull()) {
            field->FocusControl();
            DatabaseErrorFmt(SFieldRequired, {field->GetDisplayName()});
        }
}

void TDataSet::CheckedInternalPost() {
    CheckRequiredFields();
    InternalPost();
}

void TDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    bool scrolls = FState == dsInsert;
    if (scrolls) DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    EndCancel();
    DoAfterCancel();
    if (scrolls) DoAfterScroll();
}

void TDataSet::EndCancel() {
    bool inserted = FState == dsInsert;
    FreeFieldBuffers();
    SetState(dsBrowse);
    if (inserted) DropInsertedRecord();
    try {
        Resync({});
    } catch (...) {
        // Dropping the edit needs no database; reading the window again
        // does. Without it the window stays as the drop left it, and the
        // next read meets the failure and reports it.
        CursorPosChanged();
        DataEvent(deDataSetChange, 0);
    }
}

void TDataSet::DropInsertedRecord() {
    if (FRecordCount == 0) return;
    char* inserted = ActiveBuffer();
    if (GetBookmarkFlag(inserted) == bfEOF) {
        // Appended: the last record, after the rows read before it.
        --FRecordCount;
        FActiveRecord = std::max(FRecordCount - 1, 0);
    } else {
        // Inserted before the active record: the records after it move back
        // up, and the one a full ring had pushed into the spare returns.
        MoveBuffer(FActiveRecord, FRecordCount);
        if (FInsertGrewRing) --FRecordCount;
        if (FRecordCount == 0) FActiveRecord = 0;
    }
    CursorPosChanged();
    CheckRing();
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0) DatabaseErrorFmt(SDataSetEmpty, {}, this);
    CheckCanModify();
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::ClearFields() {
    if (!dsEditModes.Contains(FState)) DatabaseErrorFmt(SNotEditing, {}, this);
    DataEvent(deCheckBrowseMode, 0);
    FreeFieldBuffers();
    InternalInitRecord(ActiveBuffer());
    if (FState != dsSetKey) GetCalcFields(ActiveBuffer());
    DataEvent(deRecordChange, 0);
}

void TDataSet::FreeFieldBuffers() {
    for (TField* field : *FFields)
        field->FreeBuffers();
}

// ---------------------------------------------------------------------------
// State, events and calculated fields

void TDataSet::SetState(TDataSetState Value) {
    if (FState == Value) return;
    FState = Value;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
    TDataSetState old = FState;
    FState = Value;
    ++FDisableCount;
    return old;
}

void TDataSet::RestoreState(TDataSetState Value) {
    assert(FDisableCount > 0);
    FState = Value;
    --FDisableCount;
}

void TDataSet::DisableControls() {
    if (FDisableCount == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return;
    if (--FDisableCount != 0) return;
    if (FDisableState != FState) DataEvent(deUpdateState, 0);
    if (FDisableState != dsInactive && FState != dsInactive) DataEvent(FEnableEvent, 0);
}

void TDataSet::DataEvent(TDataEvent Event, TDataEventInfo Info) {
    switch (Event) {
    case deFieldChange: {
        TField* field = reinterpret_cast<TField*>(Info);
        assert(field);
        TFieldKind kind = field->GetFieldKind();
        if (kind == fkData || kind == fkInternalCalc) SetModified(true);
        if (FState != dsSetKey) {
            if (FInternalCalcFields && kind == fkData) RefreshInternalCalcFields(ActiveBuffer());
            if (FCalcFieldsSize != 0 && FAutoCalcFields && kind == fkData) CalculateFields(ActiveBuffer());
            field->Change();
        }
        break;
    }
    case dePropertyChange:
        FFieldDefs->SetUpdated(false);
        break;
    default:
        break;
    }
    if (FDisableCount == 0) {
        // A handler may detach a data source.
        FDataSources.ForEachListed([Event, Info](TDataSource* Source) { Source->DataEvent(Event, Info); });
    } else if (Event == deLayoutChange) {
        FEnableEvent = deLayoutChange;
    }
}

void TDataSet::GetCalcFields(char* Buffer) {
    if (FCalcFieldsSize == 0 && !FInternalCalcFields) return;
    TDataSetState saved = SetTempState(dsCalcFields);
    try {
        CalculateFields(Buffer);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
}

void TDataSet::CalculateFields(char* Buffer) {
    FCalcBuffer = Buffer;
    if (FState != dsInternalCalc) ClearCalcFields(Buffer);
    DoOnCalcFields();
}

void TDataSet::SetFiltered(bool Value) {
    if (!GetActive()) {
        FFiltered = Value;
        return;
    }
    CheckBrowseMode();
    if (FFiltered == Value) return;
    FFiltered = Value;
    First();
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) {
    if (!GetActive()) {
        FOnFilterRecord = Value;
        return;
    }
    CheckBrowseMode();
    FOnFilterRecord = Value;
    if (FFiltered) First();
}

// ---------------------------------------------------------------------------
// Fields

void TDataSet::BindFields(bool Binding) {
    FCalcFieldsSize = 0;
    FInternalCalcFields = false;
    for (TField* field : *FFields) {
        if (!Binding) {
            field->Bind(false);
            field->FFieldNo = 0;
            field->FOffset = 0;
            continue;
        }
        if (field->GetFieldKind() == fkCalculated || field->GetFieldKind() == fkLookup) {
            field->FFieldNo = -1;
            field->FOffset = FCalcFieldsSize;
            FCalcFieldsSize += field->GetDataSize() + 1;
        } else {
            int index = FFieldDefs->IndexOf(field->GetFieldName());
            if (index < 0) DatabaseErrorFmt(SFieldNotFound, {field->GetDisplayName()}, this);
            TFieldDef* def = FFieldDefs->GetItem(index);
            if (def->GetDataType() != field->GetDataType())
                DatabaseErrorFmt(SFieldTypeMismatch,
                                 {field->GetDisplayName(), FieldTypeName(field->GetDataType()),
                                  FieldTypeName(def->GetDataType())},
                                 this);
            if (field->GetFieldKind() == fkInternalCalc || def->GetInternalCalcField())
                FInternalCalcFields = true;
            // A text counts in its column's unit, which the definition knows.
            if (auto* text = dynamic_cast<TStringField*>(field)) text->FCharSize = def->GetCharSize();
            field->FFieldNo = def->GetFieldNo();
            field->FOffset = 0;
        }
        field->Bind(true);
    }
}

void TDataSet::CreateFields() {
    for (int i = 0; i < FFieldDefs->GetCount(); ++i) {
        TFieldDef* def = FFieldDefs->GetItem(i);
        if (def->GetDataType() != ftUnknown && !def->GetAttributes().Contains(faHiddenCol))
            def->CreateField(this);
    }
}

void TDataSet::DestroyFields() {
    while (FFields->GetCount() > 0) {
        TField* field = FFields->GetField(FFields->GetCount() - 1);
        FFields->Remove(field);
        field->FDataSet = nullptr;
        // A field that is being destroyed (and closed us) finishes on its own.
        if (!field->IsDestroying()) delete field;
    }
}

TField* TDataSet::FindField(const AnsiString& FieldName) const {
    return FFields->FindField(FieldName);
}

TField* TDataSet::FieldByName(const AnsiString& FieldName) const {
    TField* field = FindField(FieldName);
    if (!field) DatabaseErrorFmt(SFieldNotFound, {FieldName}, this);
    return field;
}

TField* TDataSet::FieldByNumber(int FieldNo) const {
    return FFields->FieldByNumber(FieldNo);
}

bool TDataSet::GetFieldData(TField* Field, void* Buffer) {
    (void)Field;
    (void)Buffer;
    return false;
}

bool TDataSet::GetFieldData(int FieldNo, void* Buffer) {
    TField* field = FieldByNumber(FieldNo);
    return field && GetFieldData(field, Buffer);
}

namespace {

// Room for any native value a field reads: its own size, and at least a
// BCD record, which a dataset may deliver for a field that reports less.
class TScratch {
public:
    explicit TScratch(const TField* Field) {
        size_t size = std::max<size_t>(static_cast<size_t>(std::max(Field->GetDataSize(), 0)), sizeof(TBcd));
        if (size > sizeof(FSmall)) {
            FLarge.assign(size, 0);
            FData = FLarge.data();
        }
    }
    void* Data() { return FData; }

private:
    alignas(8) char FSmall[64] = {};
    std::vector<char> FLarge;
    char* FData = FSmall;
};

} // namespace

bool TDataSet::GetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
    if (NativeFormat) return GetFieldData(Field, Buffer);
    if (!Buffer) return GetFieldData(Field, nullptr);
    TScratch scratch(Field);
    bool result = GetFieldData(Field, scratch.Data());
    if (result) DataConvert(Field, scratch.Data(), Buffer, false);
    return result;
}

void TDataSet::SetFieldData(TField* Field, void* Buffer) {
    (void)Field;
    (void)Buffer;
}

void TDataSet::SetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
    if (NativeFormat || !Buffer) {
        SetFieldData(Field, Buffer);
        return;
    }
    TScratch scratch(Field);
    DataConvert(Field, Buffer, scratch.Data(), true);
    SetFieldData(Field, scratch.Data());
}

void TDataSet::DataConvert(TField* Field, void* Source, void* Dest, bool ToNative) {
    switch (Field->GetDataType()) {
    case ftDate:
    case ftTime: {
        if (ToNative) {
            TDateTime value;
            std::memcpy(&value, Source, sizeof value);
            TTimeStamp ts = DateTimeToTimeStamp(value);
            std::int32_t native = Field->GetDataType() == ftDate ? ts.Date : ts.Time;
            std::memcpy(Dest, &native, sizeof native);
        } else {
            std::int32_t native;
            std::memcpy(&native, Source, sizeof native);
            TTimeStamp ts;
            if (Field->GetDataType() == ftDate) {
                ts.Date = native;
            } else {
                ts.Date = DateDelta;
                ts.Time = native;
            }
            TDateTime value = TimeStampToDateTime(ts);
            std::memcpy(Dest, &value, sizeof value);
        }
        break;
    }
    case ftDateTime: {
        double value;
        std::memcpy(&value, Source, sizeof value);
        value = ToNative ? TimeStampToMSecs(DateTimeToTimeStamp(value))
                         : TimeStampToDateTime(MSecsToTimeStamp(value));
        std::memcpy(Dest, &value, sizeof value);
        break;
    }
    case ftBCD: {
        if (ToNative) {
            Int64 raw;
            std::memcpy(&raw, Source, sizeof raw);
            TBcd bcd;
            if (!CurrToBCD(Currency::FromRaw(raw), bcd, 32, Field->GetSize()))
                DatabaseErrorFmt(SFieldOutOfRange, {Field->GetDisplayName()});
            std::memcpy(Dest, &bcd, sizeof bcd);
        } else {
            TBcd bcd;
            std::memcpy(&bcd, Source, sizeof bcd);
            Currency value;
            if (!BCDToCurr(bcd, value)) DatabaseErrorFmt(SFieldOutOfRange, {Field->GetDisplayName()});
            Int64 raw = value.Raw();
            std::memcpy(Dest, &raw, sizeof raw);
        }
        break;
    }
    default:
        std::memcpy(Dest, Source, static_cast<size_t>(std::max(Field->GetDataSize(), 0)));
        break;
    }
}

TStream* TDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    (void)Field;
    (void)Mode;
    return nullptr;
}

TFieldClass TDataSet::GetFieldClass(TFieldType FieldType) {
    switch (FieldType) {
    case ftString:
        return &TStringField::ClassInfo();
    case ftSmallint:
        return &TSmallintField::ClassInfo();
    case ftInteger:
        return &TIntegerField::ClassInfo();
    case ftLargeint:
        return &TLargeintField::ClassInfo();
    case ftFloat:
        return &TFloatField::ClassInfo();
    case ftBCD:
        return &TBCDField::ClassInfo();
    case ftDate:
        return &TDateField::ClassInfo();
    case ftTime:
        return &TTimeField::ClassInfo();
    case ftDateTime:
        return &TDateTimeField::ClassInfo();
    case ftBlob:
        return &TBlobField::ClassInfo();
    case ftMemo:
        return &TMemoField::ClassInfo();
    case ftGraphic:
        return &TGraphicField::ClassInfo();
    default:
        return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Bookmarks

TBookmark TDataSet::GetBookmark() {
    if (!BookmarkAvailable()) return nullptr;
    // Zeroed, so that bookmarks of one record compare equal byte for byte.
    std::unique_ptr<char[]> bookmark(new char[static_cast<size_t>(std::max(FBookmarkSize, 1))]());
    GetBookmarkData(ActiveBuffer(), bookmark.get());
    return bookmark.release();
}

void TDataSet::GotoBookmark(TBookmark Bookmark) {
    if (!Bookmark) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(Bookmark);
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

void TDataSet::FreeBookmark(TBookmark Bookmark) {
    delete[] static_cast<char*>(Bookmark);
}

bool TDataSet::BookmarkValid(TBookmark Bookmark) {
    (void)Bookmark;
    return false;
}

int TDataSet::CompareBookmarks(TBookmark Bookmark1, TBookmark Bookmark2) {
    if (Bookmark1 == Bookmark2) return 0;
    if (!Bookmark1) return -1;
    if (!Bookmark2) return 1;
    int r = std::memcmp(Bookmark1, Bookmark2, static_cast<size_t>(std::max(FBookmarkSize, 0)));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Data sources

void TDataSet::AddDataSource(TDataSource* DataSource) {
    FDataSources.Add(DataSource);
    DataSource->FDataSet = this;
    UpdateBufferCount();
    DataSource->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
    DataSource->FDataSet = nullptr;
    FDataSources.Remove(DataSource);
    // The ring shrinks to what the remaining links want even when a link's
    // handler fails while it is told.
    std::exception_ptr failure;
    try {
        DataSource->UpdateState();
    } catch (...) {
        failure = std::current_exception();
    }
    UpdateBufferCount();
    if (failure) std::rethrow_exception(failure);
}

void TDataSet::KeepFailure() noexcept {
    if (!FKeptFailure && GetActive()) FKeptFailure = std::current_exception();
}

// ---------------------------------------------------------------------------
// Event hooks

#define KV_DATASET_EVENT(Hook, Event)                                                                        \
    void TDataSet::Hook() {                                                                                  \
        if (Event) Event(this);                                                                              \
    }
KV_DATASET_EVENT(DoAfterCancel, AfterCancel)
KV_DATASET_EVENT(DoAfterClose, AfterClose)
KV_DATASET_EVENT(DoAfterDelete, AfterDelete)
KV_DATASET_EVENT(DoAfterEdit, AfterEdit)
KV_DATASET_EVENT(DoAfterInsert, AfterInsert)
KV_DATASET_EVENT(DoAfterOpen, AfterOpen)
KV_DATASET_EVENT(DoAfterPost, AfterPost)
KV_DATASET_EVENT(DoAfterRefresh, AfterRefresh)
KV_DATASET_EVENT(DoAfterScroll, AfterScroll)
KV_DATASET_EVENT(DoBeforeCancel, BeforeCancel)
KV_DATASET_EVENT(DoBeforeClose, BeforeClose)
KV_DATASET_EVENT(DoBeforeDelete, BeforeDelete)
KV_DATASET_EVENT(DoBeforeEdit, BeforeEdit)
KV_DATASET_EVENT(DoBeforeInsert, BeforeInsert)
KV_DATASET_EVENT(DoBeforeOpen, BeforeOpen)
KV_DATASET_EVENT(DoBeforePost, BeforePost)
KV_DATASET_EVENT(DoBeforeRefresh, BeforeRefresh)
KV_DATASET_EVENT(DoBeforeScroll, BeforeScroll)
KV_DATASET_EVENT(DoOnCalcFields, OnCalcFields)
KV_DATASET_EVENT(DoOnNewRecord, OnNewRecord)
#undef KV_DATASET_EVENT
