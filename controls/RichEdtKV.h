// The rich-text editor with a German formatting tool bar (cut, copy, paste,
// bold, italic, underline, colour, size, alignment, two kinds of indent), a
// context menu and the shortcuts Ctrl+F, Ctrl+K and Ctrl+U. Before each
// change the user is about to make it asks OnAllowChangeQuery, so the form
// can veto it. It keeps every paragraph on a grid of tab stops TabPos points
// apart and indents by the same step.
//
// Owns its parts: the tool bar and editor panels, the timer, the context
// menu and its items directly; the buttons, the size field and its arrows
// through the tool bar; the editor through its panel.
#pragma once

#include "Buttons.h"
#include "ComCtrls.h"
#include "EditKV.h"
#include "ExtCtrls.h"
#include "Menus.h"

#include <memory>

using TAllowChangeQueryEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// The default format, recorded once.
struct TRichEdtDefaultAttr {
    int Size = 0; // points
    Byte Alignment = taLeftJustify;
    int FirstIndent = 0; // points
    int LeftIndent = 0;  // points
    Byte Numbering = nsNone;
    int RightIndent = 0; // points
};

class TRichEdtKV : public TCustomPanel {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TRichEdtKV>& P);

    explicit TRichEdtKV(TComponent* AOwner);
    ~TRichEdtKV() override;

    // Raised first by RichEdtKeyDown and RichEdtKeyPress, Sender the editor.
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    // The veto question before a change of the text or its format.
    TAllowChangeQueryEvent OnAllowChangeQuery;

    // Tab-stop grid and indent step, in points.
    int TabPos = 32;

    // Empties the editor and restores the default format; no OnChange, not modified.
    void Clear();
    int FindTextA(const AnsiString& SearchStr, int StartPos, int Length, TSearchTypes Options);
    bool EditHasFocus() const;
    bool GetModified() const;
    void SetModified(bool Value);

    void SaveDefaultAttr();
    void RestoreDefaultAttr();
    void SetEditRect();
    void CreatePopupMenu();
    void DestroyPopupMenu();

    // Properties
    TNotifyEvent GetOnEnter() const;
    void SetOnEnter(const TNotifyEvent& Value);
    TNotifyEvent GetOnExit() const;
    void SetOnExit(const TNotifyEvent& Value);
    TNotifyEvent GetOnChange() const;
    void SetOnChange(const TNotifyEvent& Value);
    TColor GetEditorColor() const;
    void SetEditorColor(TColor Value);
    bool GetPlainText() const;
    void SetPlainText(bool Value);
    bool GetReadOnly() const;
    void SetReadOnly(bool Value);
    bool GetEditorTabStop() const;
    void SetEditorTabStop(bool Value);
    bool GetWantTabs() const;
    void SetWantTabs(bool Value);
    bool GetWantReturns() const;
    void SetWantReturns(bool Value);
    AnsiString GetText() const override;
    void SetText(const AnsiString& Value) override;
    int GetMaxLength() const;
    void SetMaxLength(int Value);
    int GetMarginLeft() const { return MarginLeft; }
    void SetMarginLeft(int Value);
    int GetMarginRight() const { return MarginRight; }
    void SetMarginRight(int Value);
    int GetMarginTop() const { return MarginTop; }
    void SetMarginTop(int Value);
    int GetMarginBottom() const { return MarginBottom; }
    void SetMarginBottom(int Value);
    TStrings* GetLines() const;
    void SetLines(TStrings* Value);
    TFont* GetEditorFont() const;
    void SetEditorFont(TFont* Value);

    // Handlers of the parts
    void BtnCutClick(TObject* Sender);
    void BtnCopyClick(TObject* Sender);
    void BtnPasteClick(TObject* Sender);
    void BtnBoldClick(TObject* Sender);
    void BtnItalicClick(TObject* Sender);
    void BtnUnderlineClick(TObject* Sender);
    void BtnColorClick(TObject* Sender);
    void BtnLeftClick(TObject* Sender);
    void BtnCenterClick(TObject* Sender);
    void BtnRightClick(TObject* Sender);
    void BtnIndentClick(TObject* Sender);
    void BtnIndentFClick(TObject* Sender);
    void BtnOutdentClick(TObject* Sender);
    void BtnOutdentFClick(TObject* Sender);
    void UdnFontsizeClick(TObject* Sender, TUDBtnType Button);
    void UdnFontsizeChanging(TObject* Sender, bool& AllowChange);
    void EdtFontsizeChange(TObject* Sender);
    void Tim1OnTimer(TObject* Sender);
    void PopMainPopup(TObject* Sender);
    void PopUndoClick(TObject* Sender);
    void PopDeleteClick(TObject* Sender);
    void PopMarkClick(TObject* Sender);

    virtual void RichEdtKeyPress(TObject* Sender, TKeyChar& Key);
    virtual void RichEdtKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
    virtual void EdtRichSelectionChange(TObject* Sender);

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    MESSAGE_HANDLER(WM_SETFOCUS, WMSetFocus)
    MESSAGE_HANDLER(WM_PAINT, WMPaint)
    END_MESSAGE_MAP(TCustomPanel)

    void Loaded() override;
    void CreateWnd() override;

    void WMSize(TMessage& Message);
    void WMSetFocus(TMessage& Message);
    void WMPaint(TMessage& Message);

    // The parts; derived classes work on the editor.
    TTimer* Tim1 = nullptr;
    TSpeedButton* BtnBold = nullptr;
    TSpeedButton* BtnItalic = nullptr;
    TSpeedButton* BtnUnderline = nullptr;
    TSpeedButton* BtnColor = nullptr;
    TSpeedButton* BtnLeft = nullptr;
    TSpeedButton* BtnCenter = nullptr;
    TSpeedButton* BtnRight = nullptr;
    TSpeedButton* BtnIndent = nullptr;
    TSpeedButton* BtnOutdent = nullptr;
    TSpeedButton* BtnIndentF = nullptr;
    TSpeedButton* BtnOutdentF = nullptr;
    TSpeedButton* BtnCut = nullptr;
    TSpeedButton* BtnCopy = nullptr;
    TSpeedButton* BtnPaste = nullptr;
    TPopupMenu* PopMain = nullptr;
    TMenuItem* PopUndo = nullptr;
    TMenuItem* PopCut = nullptr;
    TMenuItem* PopCopy = nullptr;
    TMenuItem* PopPaste = nullptr;
    TMenuItem* PopDelete = nullptr;
    TMenuItem* PopMark = nullptr;
    TMenuItem* PopLine1 = nullptr;
    TMenuItem* PopLine2 = nullptr;
    TEditKV* EdtFontsize = nullptr;
    TPanel* PnlToolBar = nullptr;
    TPanel* PnlEditor = nullptr;
    TUpDown* UdnFontsize = nullptr;
    TRichEdit* EdtRich = nullptr;

private:
    // Asks OnAllowChangeQuery; true when the change may go on.
    bool AllowChange();
    // Puts every paragraph onto the TabPos grid, the selection, the modified
    // flag and the editor's events as they were.
    void ReTab();
    void StyleClick(TSpeedButton* Button, TFontStyle Style, TObject* Sender);
    void AlignClick(TAlignment Alignment, TObject* Sender);
    void IndentClick(bool First, int Step);
    bool ClipboardHasText() const;

    bool FUpdating = false;
    bool FFirstPaint = true;
    int MarginLeft = -1, MarginRight = -1, MarginTop = -1, MarginBottom = -1;
    std::unique_ptr<TRichEdtDefaultAttr> FDefaultAttr;
};

namespace Richedtkv {

// Puts TRichEdtKV on the palette page "KV".
void Register();

} // namespace Richedtkv
