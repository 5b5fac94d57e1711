// A single-line edit with a push button glued to its right edge: a panel
// without bevels that owns a validating edit and a speed button and looks
// like one edit control. It forwards the edit's properties, turns the
// button's events into its own, and lets Alt+Up and Alt+Down press the
// button. Owns the edit and the button.
#pragma once

#include "Buttons.h"
#include "EditKV.h"
#include "ExtCtrls.h"

class TCustomBtnEditKV : public TCustomPanel {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomBtnEditKV>& P);

    explicit TCustomBtnEditKV(TComponent* AOwner);
    ~TCustomBtnEditKV() override;

    // Clicks the button, also while it is disabled: fires ClickBtn.
    void BtnClick();
    // Button flush right and as high as the client area, the edit inset by
    // one pixel beside it; only while the window exists.
    void ResizeControls();
    void SetFocus() override;
    // The text follows the name while it equals it (not while the owning
    // form is read); the panel's caption stays.
    void SetName(const AnsiString& NewName) override;

    bool GetModified() const { return FEdit->GetModified(); }
    void SetModified(bool Value);
    int GetSelStart() const { return FEdit->GetSelStart(); }
    void SetSelStart(int Value);
    int GetSelLength() const { return FEdit->GetSelLength(); }
    void SetSelLength(int Value);
    TStringList* GetDropFilesList() const { return FEdit->GetDropFilesList(); }
    QPoint GetCaretPosPix() const { return FEdit->GetCaretPosPix(); }
    void ReplaceTextA(bool CanUndo, const AnsiString& Text) { FEdit->ReplaceTextA(CanUndo, Text); }

    // Properties of the edit and the panel (see Publish).
    void SetWidthOf(int Value);
    void SetHeightOf(int Value);
    void SetCursorOf(TCursor Value);
    const TNotifyEvent& GetOnChange() const { return FEdit->OnChange; }
    void SetOnChange(const TNotifyEvent& Value) { FEdit->OnChange = Value; }
    const TNotifyEvent& GetOnEnter() const { return FEdit->OnEnter; }
    void SetOnEnter(const TNotifyEvent& Value) { FEdit->OnEnter = Value; }
    const TNotifyEvent& GetOnExit() const { return FEdit->OnExit; }
    void SetOnExit(const TNotifyEvent& Value) { FEdit->OnExit = Value; }
    bool GetTabStopOf() const { return FEdit->GetTabStop(); }
    void SetTabStopOf(bool Value);
    bool GetEnabled() const override;
    void SetEnabled(bool Value) override;
    TAlignment GetAlignment() const { return FEdit->GetAlignment(); }
    void SetAlignment(TAlignment Value);
    bool GetAutoSelect() const { return FEdit->GetAutoSelect(); }
    void SetAutoSelect(bool Value);
    bool GetAcceptDropFiles() const { return FEdit->GetAcceptDropFiles(); }
    void SetAcceptDropFiles(bool Value);
    TEditCharCase GetCharCase() const { return FEdit->GetCharCase(); }
    void SetCharCase(TEditCharCase Value);
    void SetColorOf(TColor Value);
    void SetDragCursorOf(TCursor Value);
    void SetDragMode(TDragMode Value) override;
    void SetFontOf(TFont* Value);
    bool GetHideSelection() const { return FEdit->GetHideSelection(); }
    void SetHideSelection(bool Value);
    int GetMarginLeft() const { return FEdit->GetMarginLeft(); }
    void SetMarginLeft(int Value);
    int GetMarginTop() const { return FEdit->GetMarginTop(); }
    void SetMarginTop(int Value);
    int GetMarginRight() const { return FEdit->GetMarginRight(); }
    void SetMarginRight(int Value);
    int GetMarginBottom() const { return FEdit->GetMarginBottom(); }
    void SetMarginBottom(int Value);
    int GetMaxLength() const { return FEdit->GetMaxLength(); }
    void SetMaxLength(int Value);
    bool GetOEMConvert() const { return FEdit->GetOEMConvert(); }
    void SetOEMConvert(bool Value);
    void SetParentColorOf(bool Value);
    void SetParentCtl3DOf(bool Value);
    void SetParentFontOf(bool Value);
    void SetParentShowHintOf(bool Value);
    char GetPasswordChar() const { return FEdit->GetPasswordChar(); }
    void SetPasswordChar(char Value);
    bool GetReadOnly() const { return FEdit->GetReadOnly(); }
    void SetReadOnly(bool Value);
    bool GetResetSelection() const { return FEdit->GetResetSelection(); }
    void SetResetSelection(bool Value);
    AnsiString GetText() const override { return FEdit->GetText(); }
    void SetText(const AnsiString& Value) override { FEdit->SetText(Value); }
    TValidDataSet GetValidData() const { return FEdit->GetValidData(); }
    void SetValidData(TValidDataSet Value);
    const AnsiString& GetValidDataString() const { return FEdit->GetValidDataString(); }
    void SetValidDataString(const AnsiString& Value);

    // Alt+Up and Alt+Down click the button.
    bool GetBtnHotKey() const { return FBtnHotKey; }
    void SetBtnHotKey(bool Value) { FBtnHotKey = Value; }

    // The button edit's own key event, called for each key of the edit
    // (the panel itself takes no keys).
    TKeyEvent OnKeyDown;
    TNotifyEvent OnBtnClick;
    TNotifyEvent OnDropFiles;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    MESSAGE_HANDLER(WM_SETFOCUS, WMSetFocus)
    END_MESSAGE_MAP(TCustomPanel)

    // What the children's events are bound to; a derived class changes the
    // behaviour by overriding them.
    virtual void ClickBtn(TObject* Sender);
    virtual void MouseDownBtn(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUpBtn(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMoveBtn(TObject* Sender, TShiftState Shift, int X, int Y);
    virtual void KeyDownEdt(TObject* Sender, Word& Key, TShiftState Shift);
    virtual void DoDropFiles(TObject* Sender);

    void Loaded() override;

    void WMSize(TMessage& Message);
    void WMSetFocus(TMessage& Message);

    // The button's properties, published by TBtnEditKV.
    TBitmap* GetBtnGlyph() const { return FButton->GetGlyph(); }
    void SetBtnGlyph(TBitmap* Value) { FButton->SetGlyph(Value); }
    int GetBtnNumGlyphs() const { return FButton->GetNumGlyphs(); }
    void SetBtnNumGlyphs(int Value) { FButton->SetNumGlyphs(Value); }
    TButtonLayout GetBtnLayout() const { return FButton->GetLayout(); }
    void SetBtnLayout(TButtonLayout Value) { FButton->SetLayout(Value); }
    int GetBtnMargin() const { return FButton->GetMargin(); }
    void SetBtnMargin(int Value) { FButton->SetMargin(Value); }
    int GetBtnWidth() const { return FButton->GetWidth(); }
    void SetBtnWidth(int Value);
    int GetBtnGroupIndex() const { return FButton->GetGroupIndex(); }
    void SetBtnGroupIndex(int Value) { FButton->SetGroupIndex(Value); }
    const AnsiString& GetBtnHint() const { return FButton->GetHint(); }
    void SetBtnHint(const AnsiString& Value) { FButton->SetHint(Value); }
    bool GetBtnShowHint() const { return FButton->GetShowHint(); }
    void SetBtnShowHint(bool Value) { FButton->SetShowHint(Value); }
    bool GetBtnEnabled() const { return FButton->GetEnabled(); }
    void SetBtnEnabled(bool Value) { FButton->SetEnabled(Value); }
    bool GetBtnDown() const { return FButton->GetDown(); }
    void SetBtnDown(bool Value) { FButton->SetDown(Value); }
    bool GetBtnAllowAllUp() const { return FButton->GetAllowAllUp(); }
    void SetBtnAllowAllUp(bool Value) { FButton->SetAllowAllUp(Value); }

    TMouseEvent OnBtnMouseDown;
    TMouseEvent OnBtnMouseUp;
    TMouseMoveEvent OnBtnMouseMove;

    TSpeedButton* FButton;
    TEditKV* FEdit;

private:
    bool FBtnHotKey = true;
};
