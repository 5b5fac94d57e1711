// Data sources and data links: how controls see a dataset. A TDataSource (a
// component) joins one dataset to any number of links; a TDataLink (owned by
// the control that uses it) receives the dataset's events as virtual calls
// and sees a window of BufferCount records of the dataset's buffer ring. A
// TFieldDataLink binds one field for an edit control.
#pragma once

#include "DBTypes.h"

class TDataSource : public TComponent {
    friend class TDataSet;
    friend class TDataLink;

public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDataSource>& P);
    explicit TDataSource(TComponent* AOwner);
    ~TDataSource() override;

    // Puts a browsing dataset into edit state when AutoEdit is on.
    void Edit();

    TDataSet* GetDataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* ADataSet);
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool GetAutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool Value) { FAutoEdit = Value; }
    // The dataset's state as the links see it (dsInactive while disabled).
    TDataSetState GetState() const { return FState; }
    int GetDataLinkCount() const { return FDataLinks.GetCount(); }

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void AddDataLink(TDataLink* DataLink);
    void RemoveDataLink(TDataLink* DataLink, bool Notify);
    void DataEvent(TDataEvent Event, TDataEventInfo Info);
    void NotifyDataLinks(TDataEvent Event, TDataEventInfo Info);
    void SetState(TDataSetState Value);
    void UpdateState();

    TDataSet* FDataSet = nullptr;
    TList<TDataLink> FDataLinks;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FState = dsInactive;
};

class TDataLink : public TPersistent {
    friend class TDataSet;
    friend class TDataSource;

public:
    TDataLink() = default;
    // Leaves its data source quietly: no event reaches a link being destroyed.
    ~TDataLink() override;

    // Asks the data source to edit (unless read-only); true when editing then.
    bool Edit();
    // Lets the link write pending changes (UpdateData).
    void UpdateRecord();
    int MoveBy(int Distance);

    bool GetActive() const { return FActive; }
    bool Active() const { return FActive; }
    // The active record's place in this link's window (0 in set-key state).
    int GetActiveRecord() const;
    void SetActiveRecord(int Value);
    // Records this link wants to see; the dataset keeps the largest count asked.
    int GetBufferCount() const { return FBufferCount; }
    void SetBufferCount(int Value);
    // Records of the window that hold a row (at most BufferCount).
    int GetRecordCount() const;
    TDataSet* GetDataSet() const;
    TDataSource* GetDataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* ADataSource);
    bool GetDataSourceFixed() const { return FDataSourceFixed; }
    void SetDataSourceFixed(bool Value) { FDataSourceFixed = Value; }
    virtual bool GetEditing() const { return FEditing; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool Bof() const;
    bool Eof() const;

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // Distance: how many records the window moved (positive: forward).
    virtual void DataSetScrolled(int Distance) {
        (void)Distance;
        DataSetChanged();
    }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField** Field) { (void)Field; }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* Field) { (void)Field; }
    virtual void UpdateData() {}
    // Where the window starts in the dataset's buffer ring.
    int GetFirstRecord() const { return FFirstRecord; }

private:
    void DataEvent(TDataEvent Event, TDataEventInfo Info);
    void UpdateState();
    void SetActive(bool Value);
    void SetEditing(bool Value);
    void UpdateRange();

    TDataSource* FDataSource = nullptr;
    int FFirstRecord = 0;
    int FBufferCount = 1;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
    bool FDataSourceFixed = false;
};

// One field for an edit control: tells the control when the value or the
// editing state changes and asks it for the new value on update.
class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;

    // Puts the dataset into edit state when the field can be modified;
    // true when the link is editing afterwards.
    bool Edit();
    // Marks the control's value as changed; UpdateRecord then calls OnUpdateData.
    void Modified() { FModified = true; }
    bool GetModified() const { return FModified; }
    // Reloads the control from the field (OnDataChange) and drops the change mark.
    void Reset() { RecordChanged(nullptr); }
    bool GetCanModify() const;
    bool CanModify() const { return GetCanModify(); }
    bool GetEditing() const override { return FFieldEditing; }

    TField* GetField() const { return FField; }
    const AnsiString& GetFieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& Value);
    TComponent* GetControl() const { return FControl; }
    void SetControl(TComponent* Value) { FControl = Value; }

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;

private:
    void SetField(TField* Value);
    void SetFieldEditing(bool Value);
    void UpdateField();

    TField* FField = nullptr;
    AnsiString FFieldName;
    TComponent* FControl = nullptr;
    bool FFieldEditing = false;
    bool FModified = false;
};
