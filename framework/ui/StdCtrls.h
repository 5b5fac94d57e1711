// Standard controls: edit, button, check box, label and static text.
#pragma once

#include "Controls.h"

class QLineEdit;
class QPushButton;
class QCheckBox;
class QLabel;

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
KV_ENUM_TYPEINFO(TScrollStyle, "ssNone", "ssHorizontal", "ssVertical", "ssBoth")

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
KV_ENUM_TYPEINFO(TEditCharCase, "ecNormal", "ecUpperCase", "ecLowerCase")

// A single-line edit. Text set by code and text typed by the user both
// fire OnChange (not while the form is being read). Ctrl+V, Ctrl+X, Ctrl+C
// and Ctrl+Z reach the control as WM_PASTE, WM_CUT, WM_COPY and WM_UNDO
// (after their WM_CHAR 22, 24, 3, 26), so a message map can filter them.
class TCustomEdit : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomEdit>& P);

    explicit TCustomEdit(TComponent* AOwner);

    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    char GetPasswordChar() const { return FPasswordChar; }
    virtual void SetPasswordChar(char Value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool GetAutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool Value) { FAutoSelect = Value; }
    TEditCharCase GetCharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    bool GetModified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    // Selection in characters (code points).
    int GetSelStart() const;
    void SetSelStart(int Value);
    int GetSelLength() const;
    void SetSelLength(int Value);
    AnsiString GetSelText() const;
    void SetSelText(const AnsiString& Value);
    void SelectAll();
    void Clear() { SetText(AnsiString()); }
    void CopyToClipboard() { Perform(WM_COPY); }
    void CutToClipboard() { Perform(WM_CUT); }
    void PasteFromClipboard() { Perform(WM_PASTE); }
    void Undo() { Perform(WM_UNDO); }

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    QLineEdit* Edit() const;

private:
    void UserChangedText(const AnsiString& Text);
    int FMaxLength = 0;
    char FPasswordChar = 0;
    bool FReadOnly = false;
    bool FAutoSelect = true;
    TEditCharCase FCharCase = ecNormal;
    bool FModified = false;
    bool FPushing = false;             // the widget is being given our text
    int FSelStart = 0, FSelLength = 0; // kept while there is no widget
};

class TEdit : public TCustomEdit {
public:
    KV_METACLASS_DECL
    using TCustomEdit::TCustomEdit;
};

// A push button. With ModalResult set, a click sets the form's ModalResult
// first and then fires OnClick. Return clicks the focused button or else the
// Default one, Escape the Cancel one.
class TButton : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TButton>& P);

    explicit TButton(TComponent* AOwner);
    void Click() override;
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool Value);
    bool GetCancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    int GetModalResult() const { return FModalResult; }
    void SetModalResult(int Value) { FModalResult = Value; }

protected:
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void Dispatch(TMessage& Message) override;
    void CMDialogKey(TMessage& Message);

private:
    bool FDefault = false;
    bool FCancel = false;
    int FModalResult = 0;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
KV_ENUM_TYPEINFO(TCheckBoxState, "cbUnchecked", "cbChecked", "cbGrayed")

// A check box. A change of its state, by the user or by code, fires OnClick.
class TCheckBox : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCheckBox>& P);

    explicit TCheckBox(TComponent* AOwner);
    bool GetChecked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState GetState() const { return FState; }
    virtual void SetState(TCheckBoxState Value);
    bool GetAllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value);

protected:
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;

private:
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
};

// What labels and static texts share: the caption with its accelerator
// ('&' before a letter; "&&" stands for '&') that gives the focus to
// FocusControl, alignment and automatic size.
class TLabelSupport {
public:
    TWinControl* FocusControl = nullptr;
    bool ShowAccelChar = true;
    bool AutoSize = true;
    bool WordWrap = false;
    TAlignment Alignment = taLeftJustify;
};

// The caption as shown: without accelerator marks.
AnsiString StripAccelChars(const AnsiString& Caption);

class TCustomLabel : public TGraphicControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomLabel>& P);

    explicit TCustomLabel(TComponent* AOwner);
    TWinControl* GetFocusControl() const { return FLabel.FocusControl; }
    void SetFocusControl(TWinControl* Value);
    bool GetShowAccelChar() const { return FLabel.ShowAccelChar; }
    void SetShowAccelChar(bool Value);
    bool GetAutoSize() const { return FLabel.AutoSize; }
    void SetAutoSize(bool Value);
    bool GetWordWrap() const { return FLabel.WordWrap; }
    void SetWordWrap(bool Value);
    TAlignment GetAlignment() const { return FLabel.Alignment; }
    void SetAlignment(TAlignment Value);

protected:
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void FontChanged() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Dispatch(TMessage& Message) override;
    void AdjustBounds();
    void UpdateLabel();

    TLabelSupport FLabel;
};

class TLabel : public TCustomLabel {
public:
    KV_METACLASS_DECL
    using TCustomLabel::TCustomLabel;
};

// A static text: a label with a window of its own.
class TStaticText : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TStaticText>& P);

    explicit TStaticText(TComponent* AOwner);
    TWinControl* GetFocusControl() const { return FLabel.FocusControl; }
    void SetFocusControl(TWinControl* Value);
    bool GetShowAccelChar() const { return FLabel.ShowAccelChar; }
    void SetShowAccelChar(bool Value);
    bool GetAutoSize() const { return FLabel.AutoSize; }
    void SetAutoSize(bool Value);
    TAlignment GetAlignment() const { return FLabel.Alignment; }
    void SetAlignment(TAlignment Value);

protected:
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void FontChanged() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Dispatch(TMessage& Message) override;
    void AdjustBounds();
    void UpdateLabel();

    TLabelSupport FLabel;
};
