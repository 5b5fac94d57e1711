// The dataset framework: TDataSet and its record-buffer protocol.
//
// TDataSet owns a ring of record buffers (BufferCount of them, the largest
// count any data link asks for, plus one spare used to fetch into), the
// dataset state, the field list and definitions, and its data sources. A
// descendant supplies the buffers (AllocRecordBuffer), fills them
// (GetRecord), moves its cursor (InternalFirst, InternalLast,
// InternalSetToRecord, InternalGotoBookmark) and writes changes
// (InternalPost, InternalDelete, ...); TDataSet decides when to call each
// operation and tells the links what changed.
//
// The cursor protocol: the descendant's cursor stands on the record last
// fetched or set. Before it asks for the next (prior) record, TDataSet puts
// the cursor on its last (first) buffer with SetCurrentRecord, which calls
// InternalSetToRecord, InternalFirst or InternalLast by the buffer's
// bookmark flag, and only when the cursor is not already on that buffer.
//
// A descendant's destructor must call Destroying() and Close(): closing runs
// the descendant's overrides, which no longer exist once ~TDataSet runs
// (Destroying keeps BeforeClose and AfterClose from firing then).
#pragma once

#include "DBFields.h"
#include "DBLinks.h"

#include <exception>
#include <memory>
#include <vector>

class TDataSet : public TComponent {
    friend class TField;
    friend class TFieldDef;
    friend class TFieldDefs;
    friend class TDataSource;
    friend class TDataLink;

public:
    KV_METACLASS_DECL
    explicit TDataSet(TComponent* AOwner);
    ~TDataSet() override;

    // ---- Opening and closing
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool GetActive() const { return FState != dsInactive && FState != dsOpening; }
    bool Active() const { return GetActive(); }
    // While loading from a form description the value is kept until Loaded.
    virtual void SetActive(bool Value);

    // ---- Navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves the active record; returns how far it moved (negative: back).
    int MoveBy(int Distance);
    bool GetBof() const { return FBOF; }
    bool GetEof() const { return FEOF; }
    bool Bof() const { return FBOF; }
    bool Eof() const { return FEOF; }
    bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
    // Re-reads the data around the current record.
    void Refresh();
    // Refills the window around the cursor's record: rmExact raises the
    // record-not-found error when that record is gone, rmCenter centres it;
    // without rmExact the current, else the next, else the prior record is used.
    virtual void Resync(TResyncMode Mode);

    // ---- Editing
    void Edit();
    void Insert();
    void Append();
    virtual void Post();
    virtual void Cancel();
    void Delete();
    // Posts a changed record, cancels an unchanged one (also posts in set-key state).
    void CheckBrowseMode();
    // Lets the links write their pending values into the fields.
    void UpdateRecord();
    // Empties every field of the record being edited.
    void ClearFields();

    // ---- Fields
    TField* FieldByName(const AnsiString& FieldName) const;
    TField* FindField(const AnsiString& FieldName) const;
    TField* FieldByNumber(int FieldNo) const;
    TFields* GetFields() const { return FFields.get(); }
    TFields* Fields() const { return FFields.get(); }
    int GetFieldCount() const { return FFields->GetCount(); }
    TFieldDefs* GetFieldDefs() const { return FFieldDefs.get(); }
    TFieldDefs* FieldDefs() const { return FFieldDefs.get(); }
    void GetFieldNames(TStrings& List) const { FFields->GetFieldNames(List); }
    // Brings the field definitions up to date (also while closed).
    void InitFieldDefs();

    // Field values as fields read and write them: the first form in the
    // native format; the NativeFormat form converts dates and BCD values to
    // and from their As... forms through DataConvert.
    virtual bool GetFieldData(TField* Field, void* Buffer);
    virtual bool GetFieldData(int FieldNo, void* Buffer);
    virtual bool GetFieldData(TField* Field, void* Buffer, bool NativeFormat);
    virtual void SetFieldData(TField* Field, void* Buffer);
    virtual void SetFieldData(TField* Field, void* Buffer, bool NativeFormat);
    // A stream over a blob field of the current record; the caller owns it.
    virtual TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode);

    // ---- Bookmarks: blocks of BookmarkSize bytes, freed with FreeBookmark
    virtual TBookmark GetBookmark();               // nullptr when there is no current record
    virtual void GotoBookmark(TBookmark Bookmark); // nothing for nullptr
    virtual void FreeBookmark(TBookmark Bookmark);
    virtual bool BookmarkValid(TBookmark Bookmark);
    // 0 when both denote the same record; nullptr sorts first.
    virtual int CompareBookmarks(TBookmark Bookmark1, TBookmark Bookmark2);

    // ---- State and properties
    TDataSetState GetState() const { return FState; }
    TDataSetState State() const { return FState; }
    bool GetModified() const { return FModified; }
    bool Modified() const { return FModified; }
    bool CanModify() { return GetCanModify(); }
    virtual bool GetCanModify() { return true; }
    virtual bool IsSequenced() { return true; }
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    bool GetDefaultFields() const { return FDefaultFields; }
    bool GetAutoCalcFields() const { return FAutoCalcFields; }
    void SetAutoCalcFields(bool Value) { FAutoCalcFields = Value; }
    bool GetFiltered() const { return FFiltered; }
    // While open: the edit is settled and the dataset goes to its first record.
    virtual void SetFiltered(bool Value);
    const TFilterRecordEvent& GetOnFilterRecord() const { return FOnFilterRecord; }
    virtual void SetOnFilterRecord(const TFilterRecordEvent& Value);
    // The record buffer the current record is in (nullptr when closed).
    char* ActiveBuffer() const;
    void CursorPosChanged() { FCurrentRecord = -1; }
    // Puts the descendant's cursor on the active record.
    void UpdateCursorPos();
    // Data events and state changes stop reaching the links until the
    // matching EnableControls, which then reports the change in one event.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

    void Loaded() override;

protected:
    // ---- The descendant's protocol
    virtual char* AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(char*& Buffer) = 0;
    virtual Word GetRecordSize() = 0;
    virtual TGetResult GetRecord(char* Buffer, TGetMode GetMode, bool DoCheck) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalSetToRecord(char* Buffer) = 0;
    virtual void GetBookmarkData(char* Buffer, void* Data) = 0;
    virtual void SetBookmarkData(char* Buffer, void* Data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(char* Buffer) = 0;
    virtual void SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) = 0;
    virtual void InternalGotoBookmark(void* Bookmark) = 0;
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalHandleException() = 0;
    virtual void InternalInitRecord(char* Buffer) = 0;
    virtual void InternalAddRecord(void* Buffer, bool Append) = 0;
    virtual void InternalPost() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalEdit() {}
    virtual void InternalCancel() {}
    virtual void InternalRefresh() {}
    virtual void InternalInsert() {}
    virtual void ClearCalcFields(char* Buffer) { (void)Buffer; }
    virtual void RefreshInternalCalcFields(char* Buffer) { (void)Buffer; }
    virtual TFieldClass GetFieldClass(TFieldType FieldType);
    // Converts a field value between the native format and the As... form.
    virtual void DataConvert(TField* Field, void* Source, void* Dest, bool ToNative);

    // ---- Services for the descendant
    char* CalcBuffer() const { return FCalcBuffer; }
    int GetCalcFieldsSize() const { return FCalcFieldsSize; }
    int GetBookmarkSize() const { return FBookmarkSize; }
    void SetBookmarkSize(int Value) { FBookmarkSize = Value; }
    int GetBufferCount() const { return FBufferCount; }
    int GetActiveRecord() const { return FActiveRecord; }
    int GetCurrentRecordIndex() const { return FCurrentRecord; }
    // Records held in the ring (at most BufferCount).
    int GetBufferedRecordCount() const { return FRecordCount; }
    char* GetBuffer(int Index) const;
    // The spare buffer, which the next fetch fills.
    char* TempBuffer() const { return FBuffers.empty() ? nullptr : Slot(FRecordCount); }
    void SetState(TDataSetState Value);
    // Switches the state without telling the links; RestoreState ends it.
    TDataSetState SetTempState(TDataSetState Value);
    void RestoreState(TDataSetState Value);
    virtual void DataEvent(TDataEvent Event, TDataEventInfo Info);
    // Computes the calculated fields of Buffer in the dsCalcFields state.
    virtual void GetCalcFields(char* Buffer);
    void CalculateFields(char* Buffer);
    void BindFields(bool Binding);
    // Fields for the definitions (the default fields), owned by the dataset.
    virtual void CreateFields();
    virtual void DestroyFields();
    void SetModified(bool Value) { FModified = Value; }
    void CheckActive() const;
    void CheckInactive();
    void CheckCanModify();
    virtual void InitRecord(char* Buffer);
    virtual bool GetNextRecord();
    virtual bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    virtual void SetCurrentRecord(int Index);
    void ClearBuffers();
    void ActivateBuffers();
    void MoveBuffer(int CurIndex, int NewIndex);
    void UpdateBufferCount();
    virtual void SetBufferCount(int Value);
    void FreeFieldBuffers();
    virtual void CloseBlob(TField* Field) { (void)Field; }

    virtual void DoAfterCancel();
    virtual void DoAfterClose();
    virtual void DoAfterDelete();
    virtual void DoAfterEdit();
    virtual void DoAfterInsert();
    virtual void DoAfterOpen();
    virtual void DoAfterPost();
    virtual void DoAfterRefresh();
    virtual void DoAfterScroll();
    virtual void DoBeforeCancel();
    virtual void DoBeforeClose();
    virtual void DoBeforeDelete();
    virtual void DoBeforeEdit();
    virtual void DoBeforeInsert();
    virtual void DoBeforeOpen();
    virtual void DoBeforePost();
    virtual void DoBeforeRefresh();
    virtual void DoBeforeScroll();
    virtual void DoOnCalcFields();
    virtual void DoOnNewRecord();

private:
    using TDataOperation = void (TDataSet::*)();
    // GetRecord, noting a failure (see FReadFailed).
    TGetResult FetchRecord(char* Buffer, TGetMode Mode, bool DoCheck);
    // The first (gmNext) or last (gmPrior) record as the whole window; false
    // for no record. A failure leaves the window as it was.
    bool ReadEndRecord(TGetMode Mode);
    // After an edit or insert was dropped: browse, and the window read again.
    void EndCancel();
    void DropInsertedRecord();
    // Keeps the exception being handled for the next operation (while open).
    void KeepFailure() noexcept;
    void CheckOperation(TDataOperation Operation, const TDataSetErrorEvent& ErrorEvent);
    // A data field that is required, not read-only and empty stops the
    // post before the dataset writes anything: its controls get the focus
    // and "Field '<name>' must have a value" is raised.
    void CheckRequiredFields();
    void CheckedInternalPost();
    void OpenCursor();
    void CloseCursor();
    void BeginInsertAppend();
    void EndInsertAppend();
    bool BookmarkAvailable();
    void AddDataSource(TDataSource* DataSource);
    void RemoveDataSource(TDataSource* DataSource);
    void AdjustFirstRecord(int Delta);
    void CheckRing() const;

    std::unique_ptr<TFields> FFields;
    std::unique_ptr<TFieldDefs> FFieldDefs;
    TList<TDataSource> FDataSources;
    // FBufferCount + 1 while open, the last is spare. A ring: record Index
    // lies at FBuffers[(FRingStart + Index) mod size], so that moving the
    // first buffer to the end (a row read on at the bottom) moves no pointer.
    std::vector<char*> FBuffers;
    size_t FRingStart = 0;
    size_t SlotIndex(int Index) const {
        size_t i = FRingStart + static_cast<size_t>(Index);
        return i < FBuffers.size() ? i : i - FBuffers.size();
    }
    char*& Slot(int Index) { return FBuffers[SlotIndex(Index)]; }
    char* Slot(int Index) const { return FBuffers[SlotIndex(Index)]; }
    // The first buffer to the end (every row a scroll reads at the bottom).
    void TurnRing() { FRingStart = FRingStart + 1 == FBuffers.size() ? 0 : FRingStart + 1; }
    // The ring laid out from FBuffers[0] again.
    void StraightenRing();
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    int FCalcFieldsSize = 0;
    int FBookmarkSize = 0;
    int FDisableCount = 0;
    char* FCalcBuffer = nullptr;
    TDataSetState FState = dsInactive;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
    bool FBOF = true;
    bool FEOF = true;
    bool FModified = false;
    bool FDefaultFields = false;
    bool FInternalCalcFields = false;
    bool FInternalOpenComplete = false;
    bool FStreamedActive = false;
    bool FAutoCalcFields = true;
    bool FFiltered = false;
    // The ring went empty because a read failed: it says nothing about the
    // rows, so Edit reports that instead of inserting.
    bool FReadFailed = false;
    // Whether the last Insert added a record to the ring (else one left it).
    bool FInsertGrewRing = false;
    // A failure where none could be raised; the next operation that checks
    // the browse mode raises it.
    std::exception_ptr FKeptFailure;
    TFilterRecordEvent FOnFilterRecord;
};
