// The validating edit bound to one field of a dataset through a field data
// link: it shows the field's text, puts the dataset into edit mode when the
// user starts to change the text, writes the text back when the record is
// updated or the control is left, takes alignment and maximum length from
// the field, and shows blob fields as multi-line text. Owns its data link.
//
// Two read-only states live side by side: ReadOnly (the link's flag, which
// keeps the link from editing) and the window's own, which is on exactly
// while the link is not editing, so that nothing is typed into a record the
// dataset is not editing.
#pragma once

#include "CustomEditKV.h"
#include "DB.h"

#include <memory>

class TDBEditKV : public TCustomEditKV {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDBEditKV>& P);

    explicit TDBEditKV(TComponent* AOwner);
    ~TDBEditKV() override;

    // The link's field, null when none.
    TField* GetField() const;
    // Writes the text into the field when the link holds a change.
    void UpdateDBField();

    // The data link's read-only flag; it hides the edit's own, which
    // follows the link's editing state.
    bool GetReadOnly() const;
    void SetReadOnly(bool Value);
    bool GetDefaultAlignment() const { return FDefaultAlignment; }
    void SetDefaultAlignment(bool Value);
    bool GetDefaultMaxLength() const { return FDefaultMaxLength; }
    void SetDefaultMaxLength(bool Value);
    AnsiString GetDataField() const;
    void SetDataField(const AnsiString& Value);
    TDataSource* GetDataSource() const;
    void SetDataSource(TDataSource* Value);

    // The data link's events.
    void DataChange(TObject* Sender);
    void EditingChange(TObject* Sender);
    void UpdateData(TObject* Sender);
    // Loads a blob field's value into the lines; a value that cannot be
    // read as text shows its error message in parentheses instead.
    void LoadMemo();

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_CUT, WMCut)
    MESSAGE_HANDLER(WM_PASTE, WMPaste)
    MESSAGE_HANDLER(CM_EXIT, CMExit)
    MESSAGE_HANDLER(CM_GETDATALINK, CMGetDataLink)
    END_MESSAGE_MAP(TCustomEditKV)

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Change() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;
    // Cut to the bytes a byte-counted string field still takes.
    AnsiString PasteText(const AnsiString& Text) override;

    void WMCut(TMessage& Message);
    void WMPaste(TMessage& Message);
    void CMExit(TMessage& Message);
    void CMGetDataLink(TMessage& Message);

private:
    // Asks the link to edit (nothing while the control is being destroyed).
    void EditField();
    // Whether the field takes the typed character.
    static bool FieldTakes(TField* Field, TKeyChar Key);
    // A string field's size, else 0 (no limit).
    static int FieldMaxLength(TField* Field);
    // A string field that counts bytes (its character set is NONE or a
    // single-byte set) limits the UTF-8 bytes of the text, where MaxLength
    // counts characters: the bytes the text may still take in place of the
    // selection; -1 without such a limit.
    int ByteRoom() const;

    std::unique_ptr<TFieldDataLink> FDataLink;
    bool FDefaultAlignment = true;
    bool FDefaultMaxLength = true;
};

namespace Dbeditkv {

// Puts TDBEditKV on the palette page "KVDB".
void Register();

} // namespace Dbeditkv
