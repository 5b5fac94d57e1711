#include "DB.h"

#include <algorithm>
#include <cassert>
#include <vector>

using namespace Dbconsts;

KV_PUBLISHED_METACLASS(TDataSource, nullptr)

void TDataSource::Publish(TPublisher<TDataSource>& P) {
    P.Prop("AutoEdit", &TDataSource::GetAutoEdit, &TDataSource::SetAutoEdit).Default(true);
    P.Prop("DataSet", &TDataSource::GetDataSet, &TDataSource::SetDataSet);
    P.Prop("Enabled", &TDataSource::GetEnabled, &TDataSource::SetEnabled).Default(true);
    P.Prop("OnDataChange", &TDataSource::OnDataChange, &TDataSource::OnDataChange);
    P.Prop("OnStateChange", &TDataSource::OnStateChange, &TDataSource::OnStateChange);
    P.Prop("OnUpdateData", &TDataSource::OnUpdateData, &TDataSource::OnUpdateData);
}

// ---------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

// Whatever its links' handlers raise while they are told, a data source
// goes away quietly; the dataset keeps the failure for its next operation.
TDataSource::~TDataSource() {
    Destroying();
    OnStateChange = nullptr;
    OnDataChange = nullptr;
    OnUpdateData = nullptr;
    TDataSet* dataSet = FDataSet;
    try {
        SetDataSet(nullptr);
    } catch (...) {
        if (dataSet) dataSet->KeepFailure();
    }
    while (FDataLinks.GetCount() > 0) {
        try {
            RemoveDataLink(FDataLinks.Last(), true);
        } catch (...) {
            // The link is gone from the list; no dataset is left to keep the failure.
        }
    }
}

void TDataSource::SetDataSet(TDataSet* ADataSet) {
    if (ADataSet == FDataSet) return;
    if (FDataSet) {
        TDataSet* old = FDataSet;
        RemoveFreeNotification(old);
        old->RemoveDataSource(this);
    }
    if (ADataSet) {
        ADataSet->FreeNotification(this);
        ADataSet->AddDataSource(this);
    }
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && FDataSet && AComponent == FDataSet) SetDataSet(nullptr);
}

void TDataSource::SetEnabled(bool Value) {
    FEnabled = Value;
    UpdateState();
}

void TDataSource::Edit() {
    if (FAutoEdit && FState == dsBrowse) FDataSet->Edit();
}

void TDataSource::UpdateState() {
    SetState(FEnabled && FDataSet ? FDataSet->GetState() : dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
    if (FState == Value) return;
    TDataSetState prior = FState;
    FState = Value;
    NotifyDataLinks(deUpdateState, 0);
    if (IsDestroying()) return;
    if (OnStateChange) OnStateChange(this);
    if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyDataLinks(TDataEvent Event, TDataEventInfo Info) {
    // A link may leave while it is told.
    FDataLinks.ForEachListed([Event, Info](TDataLink* Link) { Link->DataEvent(Event, Info); });
}

void TDataSource::DataEvent(TDataEvent Event, TDataEventInfo Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (FState == dsInactive) return;
    NotifyDataLinks(Event, Info);
    switch (Event) {
    case deFieldChange:
        if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(Info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange) OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData) OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
    FDataLinks.Add(DataLink);
    DataLink->FDataSource = this;
    if (FDataSet) FDataSet->UpdateBufferCount();
    DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink, bool Notify) {
    DataLink->FDataSource = nullptr;
    FDataLinks.Remove(DataLink);
    if (Notify) DataLink->UpdateState();
    if (FDataSet) FDataSet->UpdateBufferCount();
}

// ---------------------------------------------------------------------------
// TDataLink

TDataLink::~TDataLink() {
    if (!FDataSource) return;
    TDataSet* dataSet = FDataSource->FDataSet;
    try {
        FDataSource->RemoveDataLink(this, false);
    } catch (...) {
        if (dataSet) dataSet->KeepFailure();
    }
}

TDataSet* TDataLink::GetDataSet() const {
    return FDataSource ? FDataSource->FDataSet : nullptr;
}

void TDataLink::SetDataSource(TDataSource* ADataSource) {
    if (ADataSource == FDataSource) return;
    if (FDataSourceFixed) DatabaseErrorFmt(SDataSourceChange, {});
    if (FDataSource) FDataSource->RemoveDataLink(this, true);
    if (ADataSource) ADataSource->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool Value) {
    if (FReadOnly == Value) return;
    FReadOnly = Value;
    UpdateState();
}

void TDataLink::UpdateState() {
    SetActive(FDataSource && FDataSource->FState != dsInactive);
    SetEditing(FDataSource && dsEditModes.Contains(FDataSource->FState) && !FReadOnly);
}

void TDataLink::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    if (Value)
        UpdateRange();
    else
        FFirstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
    if (FEditing == Value) return;
    FEditing = Value;
    EditingChanged();
}

void TDataLink::SetBufferCount(int Value) {
    Value = std::max(Value, 1);
    if (FBufferCount == Value) return;
    FBufferCount = Value;
    if (TDataSet* dataSet = GetDataSet()) {
        if (FActive) UpdateRange();
        dataSet->UpdateBufferCount();
        if (FActive) UpdateRange();
    }
}

void TDataLink::UpdateRange() {
    TDataSet* dataSet = GetDataSet();
    if (!dataSet) return;
    int active = dataSet->FActiveRecord;
    int count = dataSet->FRecordCount;
    // The active record stays in the window, and the window shows as many
    // records of the ring as it can.
    int low = std::max(0, active - FBufferCount + 1);
    int high = std::min(active, std::max(0, count - FBufferCount));
    FFirstRecord = std::clamp(FFirstRecord, low, std::max(low, high));
}

int TDataLink::GetActiveRecord() const {
    TDataSet* dataSet = GetDataSet();
    if (!dataSet || FDataSource->FState == dsSetKey) return 0;
    return dataSet->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecord(int Value) {
    TDataSet* dataSet = GetDataSet();
    if (!dataSet || FDataSource->FState == dsSetKey) return;
    int index = Value + FFirstRecord;
    assert(index >= 0 && index < std::max(dataSet->FRecordCount, 1));
    dataSet->FActiveRecord = std::clamp(index, 0, std::max(dataSet->FRecordCount - 1, 0));
}

int TDataLink::GetRecordCount() const {
    TDataSet* dataSet = GetDataSet();
    if (!dataSet || !FActive) return 0;
    if (FDataSource->FState == dsSetKey) return 1;
    return std::clamp(dataSet->FRecordCount - FFirstRecord, 0, FBufferCount);
}

bool TDataLink::Edit() {
    if (!FReadOnly && FDataSource) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

int TDataLink::MoveBy(int Distance) {
    TDataSet* dataSet = GetDataSet();
    return dataSet ? dataSet->MoveBy(Distance) : 0;
}

bool TDataLink::Bof() const {
    TDataSet* dataSet = GetDataSet();
    return !dataSet || dataSet->Bof();
}

bool TDataLink::Eof() const {
    TDataSet* dataSet = GetDataSet();
    return !dataSet || dataSet->Eof();
}

void TDataLink::DataEvent(TDataEvent Event, TDataEventInfo Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    switch (Event) {
    case deFieldChange:
    case deRecordChange:
        if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(Info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int moved = 0;
        if (FDataSource->FState != dsSetKey) {
            int old = FFirstRecord;
            // After a scroll the ring moved by Info records under the window.
            int shift = Event == deDataSetScroll ? static_cast<int>(Info) : 0;
            FFirstRecord -= shift;
            UpdateRange();
            moved = FFirstRecord - old + shift;
        }
        if (Event == deDataSetChange)
            DataSetChanged();
        else if (Event == deDataSetScroll)
            DataSetScrolled(moved);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField**>(Info));
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// TFieldDataLink

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return FFieldEditing;
}

bool TFieldDataLink::GetCanModify() const {
    return !GetReadOnly() && FField && FField->CanModify();
}

void TFieldDataLink::SetFieldName(const AnsiString& Value) {
    if (FFieldName == Value) return;
    FFieldName = Value;
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    if (GetActive() && !FFieldName.empty()) {
        // The control hears of the new field once, not of "no field" first.
        FField = nullptr;
        SetField(GetDataSet()->FieldByName(FFieldName));
    } else {
        SetField(nullptr);
    }
}

void TFieldDataLink::SetField(TField* Value) {
    if (FField == Value) return;
    FField = Value;
    EditingChanged();
    RecordChanged(nullptr);
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
    SetFieldEditing(TDataLink::GetEditing() && CanModify());
}

void TFieldDataLink::SetFieldEditing(bool Value) {
    if (FFieldEditing == Value) return;
    FFieldEditing = Value;
    FModified = false;
    if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::LayoutChanged() {
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* Field) {
    if (Field && Field != FField) return;
    if (OnDataChange) OnDataChange(this);
    FModified = false;
}

void TFieldDataLink::UpdateData() {
    if (!FModified) return;
    if (FField && OnUpdateData) OnUpdateData(this);
    FModified = false;
}
