#include "ComboBoxKV.h"

KV_PUBLISHED_METACLASS(TComboBoxKV, &TComboBox::ClassInfo())

void TComboBoxKV::Publish(TPublisher<TComboBoxKV>& P) {
    P.Prop("ReadOnly", &TComboBoxKV::GetReadOnly, &TComboBoxKV::SetReadOnly).Default(false);
}

TComboBoxKV::TComboBoxKV(TComponent* AOwner) : TComboBox(AOwner) {}

TComboBoxKV::~TComboBoxKV() = default;

void TComboBoxKV::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    if (!IsListStyle() && HasEditPart()) EditPerform(EM_SETREADONLY, Value ? 1 : 0);
}

bool TComboBoxKV::GetModified() const {
    if (FModified) return true;
    return HasEditPart() && const_cast<TComboBoxKV*>(this)->EditPerform(EM_GETMODIFY) != 0;
}

void TComboBoxKV::SetModified(bool Value) {
    FModified = Value;
    if (HasEditPart()) EditPerform(EM_SETMODIFY, Value ? 1 : 0);
}

void TComboBoxKV::SaveOldText() {
    if (GetItemIndex() == -1)
        FOldText.reset();
    else
        FOldText = std::make_unique<AnsiString>(GetText());
}

void TComboBoxKV::WndProc(TMessage& Message) {
    if (Message.Msg == WM_COMMAND && HiWord(Message.WParam) == CBN_SELCHANGE) {
        if (FReadOnly) {
            if (GetStyle() == csSimple) return;
            // Undo the user's pick and close the list.
            SetItemIndex(FOldText ? GetItems()->IndexOf(*FOldText) : -1);
            PostMessage(GetHandle(), CB_SHOWDROPDOWN, 0, 0);
            return;
        }
        FModified = true;
    }
    TComboBox::WndProc(Message);
}

void TComboBoxKV::DropDown() {
    if (FReadOnly) SaveOldText();
    TComboBox::DropDown();
}

void TComboBoxKV::KeyPress(TKeyChar& Key) {
    TComboBox::KeyPress(Key);
    if (FReadOnly) {
        Key = 0;
        return;
    }
    if (!IsListStyle() || Key != ' ') return;
    int empty = GetItems()->IndexOf(AnsiString());
    if (empty >= 0 && empty != GetItemIndex()) {
        SetItemIndex(empty);
        FModified = true;
        Change();
    }
    Key = 0;
}

void TComboBoxKV::KeyDown(Word& Key, TShiftState Shift) {
    TComboBox::KeyDown(Key, Shift);
    if (FReadOnly) {
        if (Key != VK_ESCAPE) Key = 0;
    } else if (IsListStyle() && Key == VK_DELETE) {
        TKeyChar space = ' ';
        KeyPress(space);
        Key = 0;
    }
}

void TComboBoxKV::CreateWnd() {
    TComboBox::CreateWnd();
    if (!IsListStyle() && HasEditPart()) EditPerform(EM_SETREADONLY, FReadOnly ? 1 : 0);
}

namespace Comboboxkv {

void Register() {
    RegisterComponents("KV", {&TComboBoxKV::ClassInfo()});
}

} // namespace Comboboxkv
