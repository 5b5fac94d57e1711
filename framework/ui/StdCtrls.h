// Standard controls: edit, memo, button, check box, label, static text, list
// box and combo box.
#pragma once

#include "Controls.h"

#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QString;
class QPushButton;
class QCheckBox;
class QLabel;

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
KV_ENUM_TYPEINFO(TEditCharCase, "ecNormal", "ecUpperCase", "ecLowerCase")

// An edit control. Its window is a single-line editor, or a multi-line one
// when CreateParams asks for ES_MULTILINE (the memo); both answer the edit
// messages of Messages.h in DefaultHandler, so a message map can filter
// them. Text set by code and text typed by the user both fire OnChange (not
// while the form is being read). Ctrl+V, Ctrl+X, Ctrl+C and Ctrl+Z reach the
// control as WM_PASTE, WM_CUT, WM_COPY and WM_UNDO (after their WM_CHAR 22,
// 24, 3, 26), as do Shift+Insert, Shift+Delete, Ctrl+Insert and the items of
// the context menu; characters an input method composes come as WM_CHAR. So
// a message map sees every way text comes in.
//
// Text, selection, modified flag and limits live in the control and survive
// a new window (RecreateWnd); the formatting rectangle, margins and tab
// stops belong to the window, as the edit messages set them. Positions count
// code points; in a multi-line window a line break counts as two (CR LF),
// as in Text. MaxLength counts the same positions and limits what comes in
// by typing, an input method, a paste and EM_REPLACESEL (SelText): a
// character that does not fit whole is refused, a longer text cut before it.
// Text set by code is not limited, nor cut when MaxLength drops below it.
class TCustomEdit : public TWinControl {
public:
    KV_METACLASS_DECL

    explicit TCustomEdit(TComponent* AOwner);

    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    char GetPasswordChar() const { return FPasswordChar; }
    virtual void SetPasswordChar(char Value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool GetAutoSelect() const { return FAutoSelect; }
    virtual void SetAutoSelect(bool Value) { FAutoSelect = Value; }
    TEditCharCase GetCharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    bool GetModified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    // Whether the selection disappears while the control has no focus.
    bool GetHideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value);
    // Kept for forms that set it; text needs no conversion here.
    bool GetOEMConvert() const { return FOEMConvert; }
    void SetOEMConvert(bool Value) { FOEMConvert = Value; }

    // Selection in characters (see above).
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

    // The area inside the border and the scroll bars.
    int GetClientWidth() const override;
    int GetClientHeight() const override;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void DestroyWnd() override;
    void TextChanged() override;
    void FontChanged() override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    // The single-line window, or null (no window, or a multi-line one).
    QLineEdit* Edit() const;
    // The multi-line window, or null.
    QPlainTextEdit* MultiLineEdit() const;
    bool IsMultiLineWindow() const;
    void Paint(QPainter& Painter) override;
    // The platform's sunken client edge: always around a multi-line window,
    // and around a memo's single-line one; other single-line windows have
    // the style's frame.
    bool HasSunkenEdge() const;
    // Width of the border inside the bounds, and of a scroll bar there.
    int BorderPixels() const;
    int ScrollBarPixels(bool Vertical) const;

private:
    friend class TEditWindows;
    QString WidgetText() const;
    void UserChangedText(const AnsiString& Text);
    void UpdatePassword();
    void UpdateHideSelection();
    void SetSelection(int Start, int Length);
    void SetSelectionOfWidget(int Start, int Length);
    // Replaces the selection as the user would (OnChange, modified), within MaxLength.
    void ReplaceSelection(const AnsiString& Text, bool CanUndo);
    // The positions MaxLength leaves for what replaces the selection
    // (INT_MAX without a limit), and what of Insert (widget text) fits there.
    int Room() const;
    QString FittingInsert(const QString& Insert) const;
    QRect FormatRect() const;
    LRESULT PosFromChar(int Pos) const;
    int LineFromChar(LPARAM Pos) const;

    int FMaxLength = 0;
    char FPasswordChar = 0;
    bool FReadOnly = false;
    bool FAutoSelect = true;
    TEditCharCase FCharCase = ecNormal;
    bool FModified = false;
    TBorderStyle FBorderStyle = bsSingle;
    bool FHideSelection = true;
    bool FOEMConvert = false;
    bool FPushing = false;             // the widget is being given our text
    int FSelStart = 0, FSelLength = 0; // kept while there is no widget
};

class TEdit : public TCustomEdit {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TEdit>& P);
    using TCustomEdit::TCustomEdit;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
KV_ENUM_TYPEINFO(TScrollStyle, "ssNone", "ssHorizontal", "ssVertical", "ssBoth")

// The largest tab stop EM_SETTABSTOPS takes, in dialog units (a quarter of
// the font's average character width); larger stops are cut to it,
// negative ones to 0.
constexpr int MaxTabStop = 32767;

// A multi-line edit. Lines are the text's lines (a line break that ends the
// text opens no further line). A Return reaches the text only with
// WantReturns (otherwise it is the form's dialog key), a Tab only with
// WantTabs (otherwise it moves the focus). Changing WordWrap recreates the
// window.
class TCustomMemo : public TCustomEdit {
public:
    KV_METACLASS_DECL

    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;

    TStrings* GetLines() const { return FLines.get(); }
    void SetLines(TStrings* Value);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TScrollStyle GetScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    bool GetWordWrap() const { return FWordWrap; }
    virtual void SetWordWrap(bool Value);
    bool GetWantReturns() const { return FWantReturns; }
    virtual void SetWantReturns(bool Value) { FWantReturns = Value; }
    bool GetWantTabs() const { return FWantTabs; }
    virtual void SetWantTabs(bool Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void KeyPress(TKeyChar& Key) override;
    void Dispatch(TMessage& Message) override;

private:
    void ApplyAlignment();
    std::unique_ptr<TStrings> FLines;
    TAlignment FAlignment = taLeftJustify;
    TScrollStyle FScrollBars = ssNone;
    bool FWordWrap = true;
    bool FWantReturns = true;
    bool FWantTabs = false;
};

class TMemo : public TCustomMemo {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TMemo>& P);
    using TCustomMemo::TCustomMemo;
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

// ---------------------------------------------------------------------------
// List boxes and combo boxes

class QComboBox;
class QLineEdit;
class QScrollBar;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
KV_ENUM_TYPEINFO(TListBoxStyle, "lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable")

template <class Control> class TItemStrings;
class TListBoxStrings;

// A list box. The control keeps its lines, selection and scroll position
// itself and draws them; the window shows them. Items holds the lines (the
// items' Delete goes through DeleteString); with Sorted, Add puts a line in
// its case-insensitive place. ItemIndex is the selected item (-1: none), or
// with MultiSelect the item with the focus, the selection being Selected[].
// TopIndex is the first visible item (the first of the first visible column
// with Columns > 0). The standard style's item height follows the font;
// the owner-drawn styles take ItemHeight and draw like the standard one.
// A change the user makes to the selection comes as WM_COMMAND with
// LBN_SELCHANGE to the control's own window procedure, which calls Click.
class TCustomListBox : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomListBox>& P);

    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    TStrings* GetItems() const;
    void SetItems(TStrings* Value); // copies the lines
    int GetItemIndex() const;
    void SetItemIndex(int Value);
    int GetTopIndex() const { return FTopIndex; }
    void SetTopIndex(int Value);
    int GetItemHeight() const;
    void SetItemHeight(int Value);
    // The item under a point of the client area; outside every item -1, or
    // with Existing false the item count when the point lies below the items.
    int ItemAtPos(QPoint Pos, bool Existing) const;
    QRect ItemRect(int Index) const; // client coordinates
    bool GetIntegralHeight() const { return FIntegralHeight; }
    void SetIntegralHeight(bool Value);
    bool GetSorted() const { return FSorted; }
    void SetSorted(bool Value);
    TListBoxStyle GetStyle() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    int GetColumns() const { return FColumns; }
    void SetColumns(int Value);
    bool GetMultiSelect() const { return FMultiSelect; }
    virtual void SetMultiSelect(bool Value);
    bool GetExtendedSelect() const { return FExtendedSelect; }
    void SetExtendedSelect(bool Value);
    int GetTabWidth() const { return FTabWidth; } // dialog units, 0: every 32
    void SetTabWidth(int Value);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    int GetSelCount() const; // -1 without MultiSelect
    bool GetSelected(int Index) const;
    void SetSelected(int Index, bool Value);
    void Clear();

    int GetClientWidth() const override;
    int GetClientHeight() const override;

protected:
    // Removes one line (LB_DELETESTRING); the items' Delete calls it.
    virtual void DeleteString(int Index);
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void DestroyWnd() override;
    void Paint(QPainter& Painter) override;
    void UpdateWidgetBounds() override;
    void FontChanged() override;
    void Resize() override;
    QPoint ClientOffset() const override;

private:
    template <class> friend class TItemStrings;
    friend class TListBoxStrings;
    struct TLayout {
        int Frame = 0;
        int VBar = 0, HBar = 0; // scroll bar extents, 0 when hidden
        int ClientWidth = 0, ClientHeight = 0;
        int Rows = 1;     // rows that fit whole (at least 1)
        int ColWidth = 0; // with Columns > 0
        int ColsNeeded = 0;
    };
    TLayout Layout() const;
    int WindowHeight() const; // Height, cut to whole items with IntegralHeight
    int MaxTopIndex() const;
    void ClampTopIndex();
    void MakeVisible(int Index);
    void LayoutChanged();
    void UpdateScrollBars();
    void ScrollBy(int Lines, bool Horizontal);
    // The lines changed under the selection.
    void ItemInserted(int Index);
    void ItemRemoved(int Index);
    void ItemChanged(int Index);
    void ItemsCleared();
    // Selection by the user, then LBN_SELCHANGE.
    void SelectByUser(int Index, bool Shift, bool Ctrl);
    void NotifySelChange();
    void MouseDefault(TMessage& Message);
    bool KeyDefault(Word Key, TShiftState Shift);
    bool CharDefault(TKeyChar Key);
    LRESULT ListMessage(TMessage& Message, bool& Handled);

    std::unique_ptr<TListBoxStrings> FItems;
    int FItemIndex = -1;
    std::vector<bool> FSelected; // with MultiSelect
    int FAnchor = -1;            // extended selection: where Shift ranges start
    int FTopIndex = 0;
    int FItemHeight = 16;
    bool FIntegralHeight = false;
    bool FSorted = false;
    TListBoxStyle FStyle = lbStandard;
    int FColumns = 0;
    bool FMultiSelect = false;
    bool FExtendedSelect = true;
    int FTabWidth = 0;
    TBorderStyle FBorderStyle = bsSingle;
    bool FTracking = false; // the left button went down on an item
    int FUpdating = 0;
    QScrollBar* FVBar = nullptr;
    QScrollBar* FHBar = nullptr;
};

class TListBox : public TCustomListBox {
public:
    KV_METACLASS_DECL
    using TCustomListBox::TCustomListBox;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
KV_ENUM_TYPEINFO(TComboBoxStyle, "csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed",
                 "csOwnerDrawVariable")

class TComboBoxStrings;

// A combo box in five styles: csDropDown (an edit part over a list that
// drops down), csSimple (an edit part over a list that is always there),
// csDropDownList and the owner-drawn styles (a list that drops down, no
// edit part; they draw like csDropDownList). The text of the list styles
// is the selected item's. What the user does comes as WM_COMMAND to the
// control's own window procedure: CBN_SELCHANGE once the selection (and
// the text) changed, CBN_EDITCHANGE after typing, CBN_DROPDOWN before the
// list drops down; the default handling takes the selected item's text and
// fires OnClick and OnChange, OnChange, and DropDown (OnDropDown).
// MaxLength (0: none) counts the edit part's code points, as the edit's does,
// and limits typing, an input method and a paste (WM_PASTE): a character that
// does not fit whole is refused, a longer text cut before it. Text set by
// code is not limited, nor cut when MaxLength drops below it.
class TCustomComboBox : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomComboBox>& P);

    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TStrings* GetItems() const;
    void SetItems(TStrings* Value); // copies the lines
    int GetItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    TComboBoxStyle GetStyle() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    int GetDropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int Value);
    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    bool GetSorted() const { return FSorted; }
    void SetSorted(bool Value);
    int GetItemHeight() const;
    void SetItemHeight(int Value);
    bool GetDroppedDown() const;
    void SetDroppedDown(bool Value);
    int GetSelStart() const;
    void SetSelStart(int Value);
    int GetSelLength() const;
    void SetSelLength(int Value);
    AnsiString GetSelText() const;
    void SelectAll();
    void Clear();

    // The edit part (styles csDropDown and csSimple, while the window exists).
    bool HasEditPart() const;
    // An edit message to the edit part: EM_SETREADONLY, EM_GETMODIFY,
    // EM_SETMODIFY. Without an edit part nothing happens and the result is 0.
    LRESULT EditPerform(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

protected:
    virtual void Change();
    virtual void DropDown();
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    template <class> friend class TItemStrings;
    friend class TComboBoxStrings;
    friend class TSimpleComboWidget;
    friend class TComboEditWidget;
    bool IsListStyle() const { return FStyle >= csDropDownList; }
    QComboBox* Combo() const;
    QLineEdit* EditPart() const;
    // The code points MaxLength leaves the edit part for what replaces its
    // selection (INT_MAX without a limit or an edit part).
    int Room() const;
    void ItemInserted(int Index);
    void ItemRemoved(int Index);
    void ItemChanged(int Index);
    void ItemsCleared();
    void PushItems();
    void PushSelection();
    void UserSelected(int Index);
    void UserEdited(const AnsiString& Text);

    std::unique_ptr<TComboBoxStrings> FItems;
    int FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    int FDropDownCount = 8;
    int FMaxLength = 0;
    bool FSorted = false;
    int FItemHeight = 16;
    bool FPushing = false; // the window is being given our state
};

class TComboBox : public TCustomComboBox {
public:
    KV_METACLASS_DECL
    using TCustomComboBox::TCustomComboBox;
};
