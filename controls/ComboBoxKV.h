// The library's combo box: a read-only mode in which the user changes
// neither text nor selection, and a Modified flag set by the user's picks
// and by typing in the edit part. In the list styles Space and Delete choose
// the empty line, when there is one.
#pragma once

#include "StdCtrls.h"

#include <memory>

class TComboBoxKV : public TComboBox {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TComboBoxKV>& P);

    explicit TComboBoxKV(TComponent* AOwner);
    ~TComboBoxKV() override;

    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool GetModified() const;
    void SetModified(bool Value);
    // Keeps the selected line's text, to put it back after a pick while read-only.
    void SaveOldText();

protected:
    void WndProc(TMessage& Message) override;
    void CreateWnd() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;
    void DropDown() override;

private:
    bool IsListStyle() const { return GetStyle() >= csDropDownList; }

    bool FReadOnly = false;
    bool FModified = false;
    std::unique_ptr<AnsiString> FOldText; // the selected line's text when a read-only box dropped down
};

namespace Comboboxkv {

// Puts TComboBoxKV on the palette page "KV".
void Register();

} // namespace Comboboxkv
