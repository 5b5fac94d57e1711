// The data-aware validating edit: its data link's events, the field's
// limits on what is typed and pasted, and leaving the control.
#include "DBEditKV.h"

#include "Forms.h"

#include <algorithm>

KV_PUBLISHED_METACLASS(TDBEditKV, &TCustomEditKV::ClassInfo())

void TDBEditKV::Publish(TPublisher<TDBEditKV>& P) {
    P.Prop("ReadOnly", &TDBEditKV::GetReadOnly, &TDBEditKV::SetReadOnly).Default(false);
    P.Prop("DefaultAlignment", &TDBEditKV::GetDefaultAlignment, &TDBEditKV::SetDefaultAlignment)
        .Default(true);
    P.Prop("DefaultMaxLength", &TDBEditKV::GetDefaultMaxLength, &TDBEditKV::SetDefaultMaxLength)
        .Default(true);
    P.Prop("DataField", &TDBEditKV::GetDataField, &TDBEditKV::SetDataField);
    P.Prop("DataSource", &TDBEditKV::GetDataSource, &TDBEditKV::SetDataSource);
}

TDBEditKV::TDBEditKV(TComponent* AOwner) : TCustomEditKV(AOwner), FDataLink(std::make_unique<TFieldDataLink>()) {
    TCustomEdit::SetReadOnly(true);
    ControlStyle << csReplicatable;
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = [this](TObject* Sender) { DataChange(Sender); };
    FDataLink->OnEditingChange = [this](TObject* Sender) { EditingChange(Sender); };
    FDataLink->OnUpdateData = [this](TObject* Sender) { UpdateData(Sender); };
}

TDBEditKV::~TDBEditKV() {
    Destroying();
    // The link goes first: it leaves its data source quietly, and whatever
    // the window's destruction still sends finds no link to act on.
    FDataLink.reset();
}

// ---- Properties -------------------------------------------------------------

TField* TDBEditKV::GetField() const {
    return FDataLink ? FDataLink->GetField() : nullptr;
}

void TDBEditKV::UpdateDBField() {
    if (FDataLink) FDataLink->UpdateRecord();
}

bool TDBEditKV::GetReadOnly() const {
    return FDataLink->GetReadOnly();
}

void TDBEditKV::SetReadOnly(bool Value) {
    FDataLink->SetReadOnly(Value);
}

AnsiString TDBEditKV::GetDataField() const {
    return FDataLink->GetFieldName();
}

void TDBEditKV::SetDataField(const AnsiString& Value) {
    FDataLink->SetFieldName(Value);
}

TDataSource* TDBEditKV::GetDataSource() const {
    return FDataLink->GetDataSource();
}

void TDBEditKV::SetDataSource(TDataSource* Value) {
    FDataLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
}

int TDBEditKV::FieldMaxLength(TField* Field) {
    return Field && Field->GetDataType() == ftString ? Field->GetSize() : 0;
}

int TDBEditKV::ByteRoom() const {
    auto* text = dynamic_cast<TStringField*>(GetField());
    if (!FDefaultMaxLength || !text || !text->GetCountsBytes() || text->GetSize() <= 0) return -1;
    auto kept = static_cast<int>(GetText().size() - GetSelText().size());
    return std::max(0, text->GetSize() - kept);
}

void TDBEditKV::SetDefaultMaxLength(bool Value) {
    if (Value == FDefaultMaxLength) return;
    FDefaultMaxLength = Value;
    if (Value) SetMaxLength(FieldMaxLength(GetField()));
}

void TDBEditKV::SetDefaultAlignment(bool Value) {
    if (Value == FDefaultAlignment) return;
    FDefaultAlignment = Value;
    if (!Value) return;
    if (TField* field = GetField()) {
        if (field->GetAlignment() == GetAlignment()) return;
        // The field's text comes back in the new alignment: an unposted
        // change is dropped, never written as an empty value.
        SetAlignment(field->GetAlignment());
        FDataLink->Reset();
    } else if (GetAlignment() != taLeftJustify) {
        SetText(AnsiString());
        SetAlignment(taLeftJustify);
    }
}

void TDBEditKV::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomEditKV::Notification(AComponent, Operation);
    if (Operation == opRemove && FDataLink && AComponent == GetDataSource()) SetDataSource(nullptr);
}

// ---- The link's events --------------------------------------------------------

void TDBEditKV::DataChange(TObject*) {
    TField* field = GetField();
    if (!field) {
        if (FDefaultAlignment) SetAlignment(taLeftJustify);
        if (FDefaultMaxLength) SetMaxLength(0);
        SetText(IsDesigning() ? GetName() : AnsiString());
        return;
    }
    if (FDefaultAlignment && field->GetAlignment() != GetAlignment()) {
        SetText(AnsiString());
        SetAlignment(field->GetAlignment());
    }
    if (dynamic_cast<TBlobField*>(field)) {
        LoadMemo(); // the maximum length stays as it was
        return;
    }
    if (FDefaultMaxLength) SetMaxLength(FieldMaxLength(field));
    SetText(Focused() && FDataLink->CanModify() ? field->GetText() : field->GetDisplayText());
}

void TDBEditKV::LoadMemo() {
    try {
        GetLines()->SetText(GetField()->GetAsString());
    } catch (const EInvalidOperation& e) {
        GetLines()->SetText("(" + e.Message() + ")");
    }
}

void TDBEditKV::EditingChange(TObject*) {
    TCustomEdit::SetReadOnly(!FDataLink->GetEditing());
}

void TDBEditKV::UpdateData(TObject*) {
    TField* field = GetField();
    if (dynamic_cast<TBlobField*>(field))
        field->SetAsString(GetText());
    else
        field->SetText(GetText());
}

// ---- Starting to edit -----------------------------------------------------------

void TDBEditKV::EditField() {
    if (FDataLink && !IsDestroying()) FDataLink->Edit();
}

bool TDBEditKV::FieldTakes(TField* Field, TKeyChar Key) {
    // A character beyond ASCII is as many bytes as its UTF-8 form; the
    // field takes it when it takes each of them.
    for (char c : KeyCharToStr(Key))
        if (!Field->IsValidChar(c)) return false;
    return true;
}

void TDBEditKV::KeyDown(Word& Key, TShiftState Shift) {
    TCustomEditKV::KeyDown(Key, Shift);
    if (Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift))) EditField();
}

void TDBEditKV::KeyPress(TKeyChar& Key) {
    TCustomEditKV::KeyPress(Key);
    TField* field = GetField();
    if (Key >= 32 && field && !FieldTakes(field, Key)) {
        MessageBeep(0);
        Key = 0;
    }
    // A text the field would refuse is not typed: its limit may count bytes.
    if (Key >= 32 || Key == 9 || Key == 13) {
        int room = ByteRoom();
        size_t bytes = Key == 13 ? 2 : KeyCharToStr(Key).size(); // a line break is CR LF
        if (room >= 0 && bytes > static_cast<size_t>(room)) {
            MessageBeep(0);
            Key = 0;
        }
    }
    switch (Key) {
    case 8:
    case 9:
    case 10:
    case 13:
    case 22:
    case 24:
        EditField();
        break;
    default:
        if (Key >= 32) EditField();
        break;
    }
}

void TDBEditKV::WMCut(TMessage& Message) {
    EditField();
    TCustomEditKV::Dispatch(Message);
}

void TDBEditKV::WMPaste(TMessage& Message) {
    EditField();
    TCustomEditKV::Dispatch(Message);
}

AnsiString TDBEditKV::PasteText(const AnsiString& Text) {
    int room = ByteRoom();
    if (room < 0 || Text.size() <= static_cast<size_t>(room)) return Text;
    // Whole characters only: a UTF-8 sequence is never split.
    size_t n = static_cast<size_t>(room);
    while (n > 0 && (static_cast<unsigned char>(Text[n]) & 0xC0) == 0x80)
        --n;
    if (n > 0 && Text[n - 1] == '\r' && Text[n] == '\n') --n; // nor a line break
    return Text.substr(0, n);
}

void TDBEditKV::Change() {
    if (FDataLink) FDataLink->Modified();
    TCustomEditKV::Change();
}

// ---- Leaving and the link query -------------------------------------------------

void TDBEditKV::CMExit(TMessage& Message) {
    try {
        UpdateDBField();
    } catch (...) {
        SelectAll();
        SetFocus();
        throw;
    }
    TCustomEditKV::Dispatch(Message);
}

void TDBEditKV::CMGetDataLink(TMessage& Message) {
    Message.Result = reinterpret_cast<LRESULT>(static_cast<TDataLink*>(FDataLink.get()));
}

namespace Dbeditkv {

void Register() {
    RegisterComponents("KVDB", {&TDBEditKV::ClassInfo()});
}

} // namespace Dbeditkv
