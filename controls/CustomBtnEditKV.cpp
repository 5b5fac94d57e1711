#include "CustomBtnEditKV.h"

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomBtnEditKV, &TCustomPanel::ClassInfo())

void TCustomBtnEditKV::Publish(TPublisher<TCustomBtnEditKV>& P) {
    using C = TCustomBtnEditKV;
    P.Prop("Width", &TControl::GetWidth, &C::SetWidthOf).Default(0);
    P.Prop("Height", &TControl::GetHeight, &C::SetHeightOf).Default(0);
    P.Prop("Cursor", &TControl::GetCursor, &C::SetCursorOf).Default(crDefault).Idents(&CursorIdents());
    P.Prop("OnChange", &C::GetOnChange, &C::SetOnChange);
    P.Prop("OnEnter", &C::GetOnEnter, &C::SetOnEnter);
    P.Prop("OnExit", &C::GetOnExit, &C::SetOnExit);
    P.Prop("OnKeyDown", &C::OnKeyDown, &C::OnKeyDown);
    P.Prop("TabStop", &C::GetTabStopOf, &C::SetTabStopOf).Default(true);
    P.Prop("Enabled", &C::GetEnabled, &C::SetEnabled).Default(true);
    P.Prop("Alignment", &C::GetAlignment, &C::SetAlignment).Default(taLeftJustify);
    P.Prop("AutoSelect", &C::GetAutoSelect, &C::SetAutoSelect).Default(true);
    P.Prop("AcceptDropFiles", &C::GetAcceptDropFiles, &C::SetAcceptDropFiles).Default(false);
    P.Prop("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsSingle);
    P.Prop("CharCase", &C::GetCharCase, &C::SetCharCase).Default(ecNormal);
    P.Prop("Color", &TControl::GetColor, &C::SetColorOf)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const C& c) { return !c.GetParentColor(); });
    P.Prop("Ctl3D", &TWinControl::GetCtl3D, &TWinControl::SetCtl3D).Default(true).StoredIf([](const C& c) {
        return !c.GetParentCtl3D();
    });
    P.Prop("DragCursor", &TControl::GetDragCursor, &C::SetDragCursorOf)
        .Default(crDrag)
        .Idents(&CursorIdents());
    P.Prop("DragMode", &TControl::GetDragMode, &C::SetDragMode).Default(dmManual);
    P.Prop("Font", &TControl::GetFont, &C::SetFontOf).StoredIf([](const C& c) { return !c.GetParentFont(); });
    P.Prop("HideSelection", &C::GetHideSelection, &C::SetHideSelection).Default(true);
    P.Prop("MarginBottom", &C::GetMarginBottom, &C::SetMarginBottom).Default(0);
    P.Prop("MarginLeft", &C::GetMarginLeft, &C::SetMarginLeft).Default(0);
    P.Prop("MarginRight", &C::GetMarginRight, &C::SetMarginRight).Default(0);
    P.Prop("OnDropFiles", &C::OnDropFiles, &C::OnDropFiles);
    P.Prop("MarginTop", &C::GetMarginTop, &C::SetMarginTop).Default(0);
    P.Prop("MaxLength", &C::GetMaxLength, &C::SetMaxLength).Default(0);
    P.Prop("OEMConvert", &C::GetOEMConvert, &C::SetOEMConvert).Default(false);
    P.Prop("ParentColor", &TControl::GetParentColor, &C::SetParentColorOf).Default(false);
    P.Prop("ParentCtl3D", &TWinControl::GetParentCtl3D, &C::SetParentCtl3DOf).Default(false);
    P.Prop("ParentFont", &TControl::GetParentFont, &C::SetParentFontOf).Default(true);
    P.Prop("ParentShowHint", &TControl::GetParentShowHint, &C::SetParentShowHintOf).Default(true);
    P.Prop("PasswordChar", &C::GetPasswordChar, &C::SetPasswordChar).Default('\0');
    P.Prop("ReadOnly", &C::GetReadOnly, &C::SetReadOnly).Default(false);
    P.Prop("ResetSelection", &C::GetResetSelection, &C::SetResetSelection).Default(false);
    P.Prop("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint).Default(false);
    P.Prop("Text", &TControl::GetText, &TControl::SetText);
    P.Prop("ValidData", &C::GetValidData, &C::SetValidData).Default(TValidDataSet{});
    P.Prop("ValidDataString", &C::GetValidDataString, &C::SetValidDataString);
}

TCustomBtnEditKV::TCustomBtnEditKV(TComponent* AOwner) : TCustomPanel(AOwner) {
    ControlStyle >> csAcceptsControls;

    FButton = new TSpeedButton(this);
    FButton->SetParent(this);
    FButton->SetEnabled(true);
    FButton->SetNumGlyphs(1);
    FButton->SetMargin(-1);
    FButton->SetWidth(19);
    FButton->OnClick = [this](TObject* Sender) { ClickBtn(Sender); };
    FButton->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        MouseDownBtn(Sender, Button, Shift, X, Y);
    };
    FButton->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        MouseUpBtn(Sender, Button, Shift, X, Y);
    };
    FButton->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
        MouseMoveBtn(Sender, Shift, X, Y);
    };

    FEdit = new TEditKV(this);
    FEdit->SetParent(this);
    FEdit->SetAlign(alNone);
    FEdit->SetBorderStyle(bsNone);
    FEdit->SetAutoSelect(true);
    FEdit->SetEnabled(true);
    FEdit->SetColor(clWindow);
    FEdit->SetMultiLine(false);
    FEdit->SetHideSelection(true);
    FEdit->SetWantReturns(false);
    FEdit->SetWordWrap(false);
    FEdit->OnKeyDown = [this](TObject* Sender, Word& Key, TShiftState Shift) {
        KeyDownEdt(Sender, Key, Shift);
    };
    FEdit->OnDropFiles = [this](TObject* Sender) { DoDropFiles(Sender); };

    SetBevelInner(bvNone);
    SetBevelOuter(bvNone);
    SetBorderStyle(bsSingle);
    SetColor(clWindow);
    SetCtl3D(true);
    TCustomPanel::SetEnabled(true);
    SetHeight(21);
}

TCustomBtnEditKV::~TCustomBtnEditKV() {
    delete FButton;
    delete FEdit;
}

// ---- Layout ----------------------------------------------------------------

void TCustomBtnEditKV::ResizeControls() {
    if (!HandleAllocated()) return;
    int cw = GetClientWidth(), ch = GetClientHeight();
    int bw = FButton->GetWidth();
    FButton->SetBounds(cw - bw, FButton->GetTop(), bw, ch);
    FEdit->SetBounds(1, 1, cw - bw - 2, ch - 2);
}

void TCustomBtnEditKV::Loaded() {
    TCustomPanel::Loaded();
    ResizeControls();
}

void TCustomBtnEditKV::WMSize(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    ResizeControls();
}

void TCustomBtnEditKV::SetWidthOf(int Value) {
    if (Value == GetWidth()) return;
    SetWidth(Value);
    ResizeControls();
}

void TCustomBtnEditKV::SetHeightOf(int Value) {
    if (Value == GetHeight()) return;
    SetHeight(Value);
    ResizeControls();
}

void TCustomBtnEditKV::SetBtnWidth(int Value) {
    FButton->SetWidth(Value);
    ResizeControls();
}

// ---- Focus -----------------------------------------------------------------

void TCustomBtnEditKV::SetFocus() {
    TCustomPanel::SetFocus();
    FEdit->SetFocus();
}

void TCustomBtnEditKV::WMSetFocus(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    if (!FEdit->Focused()) FEdit->SetFocus();
}

// ---- Events of the children ------------------------------------------------

void TCustomBtnEditKV::BtnClick() {
    FButton->Click();
}

void TCustomBtnEditKV::ClickBtn(TObject*) {
    if (OnBtnClick) OnBtnClick(this);
}

void TCustomBtnEditKV::MouseDownBtn(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnBtnMouseDown) OnBtnMouseDown(this, Button, Shift, X, Y);
}

void TCustomBtnEditKV::MouseUpBtn(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnBtnMouseUp) OnBtnMouseUp(this, Button, Shift, X, Y);
}

void TCustomBtnEditKV::MouseMoveBtn(TObject*, TShiftState Shift, int X, int Y) {
    if (OnBtnMouseMove) OnBtnMouseMove(this, Shift, X, Y);
}

void TCustomBtnEditKV::KeyDownEdt(TObject*, Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    if ((Key == VK_UP || Key == VK_DOWN) && Shift.Contains(ssAlt) && FBtnHotKey) {
        BtnClick();
        Key = 0;
    }
}

void TCustomBtnEditKV::DoDropFiles(TObject*) {
    if (OnDropFiles) OnDropFiles(this);
}

// ---- Name ------------------------------------------------------------------

void TCustomBtnEditKV::SetName(const AnsiString& NewName) {
    // The text follows the name while it equals it, except while the form
    // that owns the control is being read.
    auto* ownerControl = dynamic_cast<TControl*>(GetOwner());
    bool follow = FEdit->GetText() == GetName() && !(ownerControl && ownerControl->IsLoading());
    TComponent::SetName(NewName); // the panel's caption stays
    if (follow) FEdit->SetText(NewName);
}

// ---- Properties of the edit and the panel -----------------------------------

namespace {

// Sets an edit's property when the value differs from what it holds.
template <class T, class G, class S> void SetIfChanged(TEditKV* Edit, G Get, S Set, const T& Value) {
    if ((Edit->*Get)() != Value) (Edit->*Set)(Value);
}

} // namespace

bool TCustomBtnEditKV::GetEnabled() const {
    return TCustomPanel::GetEnabled();
}

void TCustomBtnEditKV::SetEnabled(bool Value) {
    if (Value == GetEnabled()) return;
    TCustomPanel::SetEnabled(Value);
    FEdit->SetEnabled(Value);
    SetBtnEnabled(Value);
}

void TCustomBtnEditKV::SetCursorOf(TCursor Value) {
    if (Value == GetCursor()) return;
    SetCursor(Value);
    FEdit->SetCursor(Value);
    FButton->SetCursor(Value);
}

void TCustomBtnEditKV::SetTabStopOf(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetTabStop, &TEditKV::SetTabStop, Value);
}

void TCustomBtnEditKV::SetAlignment(TAlignment Value) {
    SetIfChanged(FEdit, &TEditKV::GetAlignment, &TEditKV::SetAlignment, Value);
}

void TCustomBtnEditKV::SetAutoSelect(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetAutoSelect, &TEditKV::SetAutoSelect, Value);
}

void TCustomBtnEditKV::SetAcceptDropFiles(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetAcceptDropFiles, &TEditKV::SetAcceptDropFiles, Value);
}

void TCustomBtnEditKV::SetCharCase(TEditCharCase Value) {
    SetIfChanged(FEdit, &TEditKV::GetCharCase, &TEditKV::SetCharCase, Value);
}

void TCustomBtnEditKV::SetColorOf(TColor Value) {
    if (Value == GetColor() && !GetParentColor()) return;
    SetColor(Value);
    FEdit->SetColor(Value);
}

void TCustomBtnEditKV::SetDragCursorOf(TCursor Value) {
    if (Value == GetDragCursor()) return;
    SetDragCursor(Value);
    FEdit->SetDragCursor(Value);
}

void TCustomBtnEditKV::SetDragMode(TDragMode Value) {
    if (Value == GetDragMode()) return;
    TCustomPanel::SetDragMode(Value);
    FEdit->SetDragMode(Value);
}

void TCustomBtnEditKV::SetFontOf(TFont* Value) {
    SetFont(Value);
    FEdit->SetFont(Value);
    FButton->SetFont(Value);
}

void TCustomBtnEditKV::SetHideSelection(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetHideSelection, &TEditKV::SetHideSelection, Value);
}

void TCustomBtnEditKV::SetMarginLeft(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetMarginLeft, &TEditKV::SetMarginLeft, Value);
}

void TCustomBtnEditKV::SetMarginTop(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetMarginTop, &TEditKV::SetMarginTop, Value);
}

void TCustomBtnEditKV::SetMarginRight(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetMarginRight, &TEditKV::SetMarginRight, Value);
}

void TCustomBtnEditKV::SetMarginBottom(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetMarginBottom, &TEditKV::SetMarginBottom, Value);
}

void TCustomBtnEditKV::SetMaxLength(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetMaxLength, &TEditKV::SetMaxLength, Value);
}

void TCustomBtnEditKV::SetOEMConvert(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetOEMConvert, &TEditKV::SetOEMConvert, Value);
}

void TCustomBtnEditKV::SetParentColorOf(bool Value) {
    if (Value == GetParentColor()) return;
    SetParentColor(Value);
    FEdit->SetParentColor(Value);
}

void TCustomBtnEditKV::SetParentCtl3DOf(bool Value) {
    if (Value == GetParentCtl3D()) return;
    SetParentCtl3D(Value);
    FEdit->SetParentCtl3D(Value);
}

void TCustomBtnEditKV::SetParentFontOf(bool Value) {
    if (Value == GetParentFont()) return;
    SetParentFont(Value);
    FEdit->SetParentFont(Value);
    FButton->SetParentFont(Value);
}

void TCustomBtnEditKV::SetParentShowHintOf(bool Value) {
    if (Value == GetParentShowHint()) return;
    SetParentShowHint(Value);
    FButton->SetParentShowHint(Value);
}

void TCustomBtnEditKV::SetPasswordChar(char Value) {
    SetIfChanged(FEdit, &TEditKV::GetPasswordChar, &TEditKV::SetPasswordChar, Value);
}

void TCustomBtnEditKV::SetReadOnly(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetReadOnly, &TEditKV::SetReadOnly, Value);
}

void TCustomBtnEditKV::SetResetSelection(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetResetSelection, &TEditKV::SetResetSelection, Value);
}

void TCustomBtnEditKV::SetValidData(TValidDataSet Value) {
    SetIfChanged(FEdit, &TEditKV::GetValidData, &TEditKV::SetValidData, Value);
}

void TCustomBtnEditKV::SetValidDataString(const AnsiString& Value) {
    SetIfChanged(FEdit, &TEditKV::GetValidDataString, &TEditKV::SetValidDataString, Value);
}

void TCustomBtnEditKV::SetModified(bool Value) {
    SetIfChanged(FEdit, &TEditKV::GetModified, &TEditKV::SetModified, Value);
}

void TCustomBtnEditKV::SetSelStart(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetSelStart, &TEditKV::SetSelStart, Value);
}

void TCustomBtnEditKV::SetSelLength(int Value) {
    SetIfChanged(FEdit, &TEditKV::GetSelLength, &TEditKV::SetSelLength, Value);
}
