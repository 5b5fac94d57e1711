#include "DropDownEditKV.h"

#include "Forms.h"

#include <algorithm>

namespace {

// The button's glyph: a small black arrow pointing down, on the button face
// colour that the bottom-left pixel makes transparent; 11 x 11 in 16 colours.
QImage DrawDropDownArrow() {
    QImage image(11, 11, QImage::Format_Indexed8);
    QList<QRgb> colours = {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
                           qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
                           qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
                           qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    image.setColorTable(colours);
    image.fill(7); // silver
    for (int row = 0; row < 4; ++row)
        for (int x = 2 + row; x <= 8 - row; ++x)
            image.setPixel(x, 4 + row, 0);
    return image;
}

KV_BITMAP_RESOURCE(DROPDOWNARROW, DrawDropDownArrow)

// The auto-scroll interval for a pointer that far outside the list.
int ScrollInterval(int Distance) {
    return Distance > 20 ? 50 : Distance > 5 ? 150 : 400;
}

// Whether a screen point lies on a control's bounds, the edges included.
bool OnBounds(const TControl* Control, QPoint P) {
    return P.x() >= Control->GetLeft() && P.x() <= Control->GetLeft() + Control->GetWidth() &&
           P.y() >= Control->GetTop() && P.y() <= Control->GetTop() + Control->GetHeight();
}

} // namespace

// ---- TDropDownEditListBoxKV -------------------------------------------------

KV_METACLASS(TDropDownEditListBoxKV, &TListBox::ClassInfo())

TDropDownEditListBoxKV::TDropDownEditListBoxKV(TComponent* AOwner) : TListBox(AOwner) {
    ControlStyle << csNoDesignVisible >> csDoubleClicks;
}

TDropDownEditListBoxKV::~TDropDownEditListBoxKV() {
    if (Hooked && Application) Application->UnhookMainWindow(this);
    delete ScrollTimer;
    ScrollTimer = nullptr;
}

TDropDownEditKV* TDropDownEditListBoxKV::DropDownEdit() const {
    return static_cast<TDropDownEditKV*>(GetOwner());
}

void TDropDownEditListBoxKV::CreateParams(TCreateParams& Params) {
    TListBox::CreateParams(Params);
    Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void TDropDownEditListBoxKV::CloseBox() {
    if (Application) Application->UnhookMainWindow(this);
    Hooked = false;
    Hide();
    ReleaseCapture();
    ::SetFocus(DropDownEdit()->FEdit->GetHandle());
}

bool TDropDownEditListBoxKV::HookMainWindow(TMessage& Message) {
    if (Message.Msg == WM_ACTIVATEAPP) CloseBox();
    return false;
}

void TDropDownEditListBoxKV::StopScrolling() {
    delete ScrollTimer;
    ScrollTimer = nullptr;
}

void TDropDownEditListBoxKV::ScrlTimerTimer(TObject*) {
    Perform(WM_VSCROLL, ScrollTimer && ScrollTimer->GetTag() < 0 ? SB_LINEUP : SB_LINEDOWN);
}

void TDropDownEditListBoxKV::WMPaint(TMessage& Message) {
    DropDownEdit()->ResizeListBox();
    TListBox::Dispatch(Message);
}

void TDropDownEditListBoxKV::WMScroll(TMessage& Message) {
    TListBox::Dispatch(Message);
    if (LoWord(Message.WParam) == SB_ENDSCROLL) SetCapture(GetHandle());
}

void TDropDownEditListBoxKV::WMMouseMove(TMessage& Message) {
    int y = MouseY(Message);
    int item = ItemAtPos(QPoint(MouseX(Message), y), true);
    if (!(Message.WParam & MK_LBUTTON)) {
        // Without the button the selection follows the pointer over the items.
        if (item != -1) SetItemIndex(item);
        return;
    }
    SetItemIndex(item);
    int bottom = GetClientHeight();
    if (y < 0 || y > bottom) {
        Perform(WM_VSCROLL, y < 0 ? SB_LINEUP : SB_LINEDOWN);
        if (!ScrollTimer) {
            ScrollTimer = new TTimer(this);
            ScrollTimer->SetOnTimer([this](TObject* Sender) { ScrlTimerTimer(Sender); });
        }
        ScrollTimer->SetInterval(ScrollInterval(y < 0 ? -y : y - bottom));
        ScrollTimer->SetTag(y < 0 ? -1 : 1);
        ScrollTimer->SetEnabled(true);
    } else if (ScrollTimer) {
        ScrollTimer->SetEnabled(false);
        StopScrolling();
    }
}

void TDropDownEditListBoxKV::WMLButtonDown(TMessage& Message) {
    QPoint screen = ClientToScreen(QPoint(MouseX(Message), MouseY(Message)));
    if (!OnBounds(this, screen)) {
        CloseBox();
        return;
    }
    // The scroll bars work as usual; any other press waits for its release.
    TMessage hit;
    hit.Msg = WM_NCHITTEST;
    hit.LParam = MakeLParam(screen.x(), screen.y());
    DefaultHandler(hit);
    if (hit.Result == HTHSCROLL || hit.Result == HTVSCROLL) {
        ReleaseCapture();
        Perform(WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit.Result), hit.LParam);
    }
}

void TDropDownEditListBoxKV::WMLButtonUp(TMessage& Message) {
    StopScrolling();
    TDropDownEditKV* edit = DropDownEdit();
    // A release over an item takes the selected one; without a selection
    // the text stays as it is.
    if (ItemAtPos(QPoint(MouseX(Message), MouseY(Message)), true) != -1 && GetItemIndex() >= 0)
        edit->SetText(GetItems()->Get(GetItemIndex()));
    CloseBox();
    if (edit->GetAutoSelect()) edit->FEdit->SelectAll();
}

// ---- TDropDownEditKV --------------------------------------------------------

KV_PUBLISHED_METACLASS(TDropDownEditKV, &TCustomBtnEditKV::ClassInfo())

void TDropDownEditKV::Publish(TPublisher<TDropDownEditKV>& P) {
    P.Prop("OnChange", &TDropDownEditKV::OnChange, &TDropDownEditKV::OnChange);
    P.Prop("OnKeyDown", &TDropDownEditKV::OnKeyDown, &TDropDownEditKV::OnKeyDown);
    P.Prop("DropDownCount", &TDropDownEditKV::GetDropDownCount, &TDropDownEditKV::SetDropDownCount)
        .Default(8);
    P.Prop("Sorted", &TDropDownEditKV::GetSorted, &TDropDownEditKV::SetSorted).Default(false);
    P.Prop("Items", &TDropDownEditKV::GetItems, &TDropDownEditKV::SetItems);
}

TDropDownEditKV::TDropDownEditKV(TComponent* AOwner) : TCustomBtnEditKV(AOwner) {
    SetBtnMargin(0);
    SetBtnWidth(16);
    OnBtnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
        ButtonMouseDown(S, B, Sh, X, Y);
    };
    OnBtnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
        ButtonMouseUp(S, B, Sh, X, Y);
    };
    OnBtnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) { ButtonMouseMove(S, Sh, X, Y); };
    ListBox = new TDropDownEditListBoxKV(this);
    ListBox->SetVisible(false);
    ListBox->SetParentWindow(GetDesktopWindow());
    // What Loaded sets, also for a control made at run time: a list with a
    // flat one-pixel frame fits the rows ResizeListBox gives it exactly.
    SetUpListBox();
    FEdit->OnChange = [this](TObject* Sender) { CtrlChange(Sender); };
    TCustomBtnEditKV::OnKeyDown = [this](TObject* Sender, Word& Key, TShiftState Shift) {
        CtrlKeyDown(Sender, Key, Shift);
    };
    // While the list is open the edit claims Return and Escape, which close
    // it, before the form's default and cancel buttons can take them.
    FEdit->WindowProc = [this, edit = FEdit->WindowProc](TMessage& Message) {
        edit(Message);
        if (Message.Msg == CM_WANTSPECIALKEY && ListBox && ListBox->GetVisible() &&
            (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE))
            Message.Result = 1;
    };
    GetBtnGlyph()->LoadFromResourceName("DROPDOWNARROW");
}

TDropDownEditKV::~TDropDownEditKV() {
    delete ListBox;
    ListBox = nullptr;
}

void TDropDownEditKV::SetUpListBox() {
    ListBox->SetCtl3D(false);
    ListBox->SetMultiSelect(false);
    ListBox->SetExtendedSelect(false);
    ListBox->SetIntegralHeight(true);
    ListBox->SetTabStop(false);
}

void TDropDownEditKV::Loaded() {
    TCustomBtnEditKV::Loaded();
    SetUpListBox();
    ResizeListBox();
}

void TDropDownEditKV::SetDropDownCount(int Value) {
    if (Value == DropDownCount) return;
    DropDownCount = Value;
    ResizeListBox();
}

bool TDropDownEditKV::GetSorted() const {
    return ListBox->GetSorted();
}

void TDropDownEditKV::SetSorted(bool Value) {
    if (Value != ListBox->GetSorted()) ListBox->SetSorted(Value);
}

TStrings* TDropDownEditKV::GetItems() const {
    return ListBox->GetItems();
}

void TDropDownEditKV::SetItems(TStrings* Value) {
    ListBox->GetItems()->Assign(Value);
}

void TDropDownEditKV::ResizeListBox() {
    if (!ListBox) return;
    // Without a parent there is no place to convert from: the list stays.
    if (!GetParent()) return;
    QPoint corner = GetParent()->ClientToScreen(QPoint(GetLeft(), GetTop()));
    int rows = std::max(1, std::min(ListBox->GetItems()->GetCount(), DropDownCount));
    ListBox->SetBounds(corner.x(), corner.y() + GetHeight(), GetWidth(), rows * ListBox->GetItemHeight() + 2);
}

void TDropDownEditKV::WMMoveSize(TMessage& Message) {
    TCustomBtnEditKV::Dispatch(Message);
    ResizeListBox();
}

// -- Opening and picking with the mouse

void TDropDownEditKV::ButtonMouseDown(TObject*, TMouseButton Button, TShiftState, int, int) {
    if (Button != mbLeft) return;
    if (GetAutoSelect()) FEdit->SelectAll();
    ::SetFocus(FEdit->GetHandle());
    ListBox->SetItemIndex(-1);
    ListBox->SetTopIndex(std::max(0, GetItems()->IndexOf(GetText())));
    ListBox->BringToFront();
    ListBox->Show();
    Application->HookMainWindow(ListBox, [list = ListBox](TMessage& M) { return list->HookMainWindow(M); });
    ListBox->Hooked = true;
}

void TDropDownEditKV::ButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    if (!ListBox->GetVisible()) return;
    ListBox->SetItemIndex(GetItems()->IndexOf(GetText()));
    SetCapture(ListBox->GetHandle());
}

void TDropDownEditKV::ButtonMouseMove(TObject*, TShiftState, int X, int Y) {
    if (!ListBox->GetVisible()) return;
    TSpeedButton* button = FButton;
    if (!OnBounds(ListBox, button->ClientToScreen(QPoint(X, Y)))) return;
    // Dragged onto the list: the button pops up and the list takes the mouse.
    button->Perform(WM_LBUTTONUP, 0, MakeLParam(X, Y));
    SetCapture(ListBox->GetHandle());
}

// -- Keys and typing

void TDropDownEditKV::TakeSelectedItem() {
    SetText(GetItems()->Get(ListBox->GetItemIndex()));
    if (GetAutoSelect()) FEdit->SelectAll();
}

void TDropDownEditKV::CtrlKeyDown(TObject*, Word& Key, TShiftState Shift) {
    InKeyDown = true;
    try {
        if (OnKeyDown) OnKeyDown(this, Key, Shift);
        TStrings* items = GetItems();
        int last = items->GetCount() - 1;
        auto start = [&] {
            if (ListBox->GetItemIndex() < 0) {
                int i = items->IndexOf(GetText());
                if (i >= 0) ListBox->SetItemIndex(i);
            }
        };
        // A DropDownCount below 1 pages by one row.
        bool alt = Shift.Contains(ssAlt);
        int to = -2; // where the selection moves; -2: nowhere
        switch (Key) {
        case VK_RETURN:
        case VK_ESCAPE:
            if (ListBox->GetVisible()) ListBox->CloseBox();
            Key = 0;
            break;
        case VK_UP:
        case VK_DOWN:
            if (alt) {
                if (ListBox->GetVisible()) {
                    ListBox->CloseBox();
                } else {
                    ButtonMouseDown(FButton, mbLeft, TShiftState(), 0, 0);
                    ButtonMouseUp(FButton, mbLeft, TShiftState(), 0, 0);
                }
            } else {
                start();
                int sel = ListBox->GetItemIndex();
                if (sel < 0)
                    to = last >= 0 ? 0 : -2;
                else if (Key == VK_UP && sel > 0)
                    to = sel - 1;
                else if (Key == VK_DOWN && sel < last)
                    to = sel + 1;
            }
            Key = 0;
            break;
        case VK_PRIOR: {
            start();
            int sel = ListBox->GetItemIndex();
            if (sel > 0)
                to = DropDownCount >= 1 ? std::max(0, sel - DropDownCount - 1) : sel - 1;
            else if (sel < 0 && last >= 0)
                to = 0;
            Key = 0;
            break;
        }
        case VK_NEXT: {
            start();
            int sel = ListBox->GetItemIndex();
            if (sel < 0)
                to = DropDownCount >= 1 ? std::min(DropDownCount - 1, last) : 0;
            else if (sel < last)
                to = DropDownCount >= 1 ? std::min(sel + DropDownCount - 1, last) : sel + 1;
            Key = 0;
            break;
        }
        default:
            break;
        }
        if (to >= 0 && to <= last) {
            ListBox->SetItemIndex(to);
            TakeSelectedItem();
        }
    } catch (...) {
        InKeyDown = false;
        throw;
    }
    InKeyDown = false;
}

void TDropDownEditKV::CtrlChange(TObject*) {
    if (OnChange) OnChange(this);
    if (!InKeyDown) ListBox->SetItemIndex(-1);
}

namespace Dropdowneditkv {

void Register() {
    RegisterComponents("KV", {&TDropDownEditKV::ClassInfo()});
}

} // namespace Dropdowneditkv
