// The list box: its lines, its window with the scroll bars it lays out
// itself, the keys and the mouse, and the painting of its items.
#include "StdCtrls.h"

#include "StdCtrlsInternal.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextOption>
#include <QWheelEvent>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>

static int ScrollBarExtent() {
    QStyle* style = QApplication::instance() ? QApplication::style() : nullptr;
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

class TListBoxStrings : public TItemStrings<TCustomListBox> {
public:
    using TItemStrings::TItemStrings;
    void Delete(int Index) override {
        At(Index);
        FOwner->DeleteString(Index);
    }

protected:
    void SetUpdateState(bool Updating) override {
        FOwner->FUpdating += Updating ? 1 : -1;
        if (!Updating) FOwner->LayoutChanged();
    }
};

// A scroll bar of a list box; letting it go ends the scrolling (SB_ENDSCROLL).
class TListScrollBar : public QScrollBar {
public:
    TListScrollBar(Qt::Orientation Orientation, QWidget* Parent, TCustomListBox* ListBox)
        : QScrollBar(Orientation, Parent), FListBox(ListBox) {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override {
        QScrollBar::mouseReleaseEvent(Event);
        if (QWidget::mouseGrabber() == this) releaseMouse();
        TCustomListBox* list = FListBox;
        Cardinal msg = orientation() == Qt::Vertical ? WM_VSCROLL : WM_HSCROLL;
        GuardedCall(list, [&] { list->Perform(msg, SB_ENDSCROLL); });
    }

private:
    TCustomListBox* FListBox;
};

// The window of a list box: its frame, and the wheel as WM_MOUSEWHEEL.
class TListBoxWidget : public QFrame {
public:
    explicit TListBoxWidget(QWidget* Parent) : QFrame(Parent) {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void wheelEvent(QWheelEvent* Event) override {
        Event->accept();
        auto* list = dynamic_cast<TCustomListBox*>(FindControl(this));
        int delta = Event->angleDelta().y();
        if (!list || delta == 0) return;
        WPARAM wParam = static_cast<WPARAM>(static_cast<Word>(static_cast<std::int16_t>(delta))) << 16;
        GuardedCall(list, [&] { list->Perform(WM_MOUSEWHEEL, wParam, 0); });
    }
};

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomListBox, &TWinControl::ClassInfo())
KV_METACLASS(TListBox, &TCustomListBox::ClassInfo())

void TCustomListBox::Publish(TPublisher<TCustomListBox>& P) {
    P.Prop("BorderStyle", &TCustomListBox::GetBorderStyle, &TCustomListBox::SetBorderStyle).Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCustomListBox& l) { return !l.GetParentColor(); });
    P.Prop("Columns", &TCustomListBox::GetColumns, &TCustomListBox::SetColumns).Default(0);
    P.Prop("ExtendedSelect", &TCustomListBox::GetExtendedSelect, &TCustomListBox::SetExtendedSelect)
        .Default(true);
    P.Prop("IntegralHeight", &TCustomListBox::GetIntegralHeight, &TCustomListBox::SetIntegralHeight)
        .Default(false);
    P.Prop("ItemHeight", &TCustomListBox::FItemHeight, &TCustomListBox::SetItemHeight).Default(16);
    P.Prop("Items", &TCustomListBox::GetItems, &TCustomListBox::SetItems);
    P.Prop("MultiSelect", &TCustomListBox::GetMultiSelect, &TCustomListBox::SetMultiSelect).Default(false);
    P.Prop("Sorted", &TCustomListBox::GetSorted, &TCustomListBox::SetSorted).Default(false);
    P.Prop("Style", &TCustomListBox::GetStyle, &TCustomListBox::SetStyle).Default(lbStandard);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("TabWidth", &TCustomListBox::GetTabWidth, &TCustomListBox::SetTabWidth).Default(0);
}

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TListBoxStrings>(this)) {
    // Click comes with a change of the selection, not with every button release.
    ControlStyle >> csClickEvents >> csSetCaption;
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() {
    Destroying();
    DestroyHandle();
}

TStrings* TCustomListBox::GetItems() const {
    return FItems.get();
}

void TCustomListBox::SetItems(TStrings* Value) {
    FItems->Assign(Value);
}

int TCustomListBox::GetItemIndex() const {
    return FItemIndex;
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value == GetItemIndex()) return;
    if (!FMultiSelect) {
        Perform(LB_SETCURSEL, static_cast<WPARAM>(Value));
        return;
    }
    if (Value < 0 || Value >= FItems->GetCount()) return;
    FItemIndex = Value;
    MakeVisible(Value);
    Invalidate();
}

void TCustomListBox::SetTopIndex(int Value) {
    int old = FTopIndex;
    FTopIndex = Value;
    ClampTopIndex();
    if (FTopIndex == old) return;
    UpdateScrollBars();
    Invalidate();
}

int TCustomListBox::GetItemHeight() const {
    return FStyle == lbStandard ? TextLineHeight(*GetFont()) : FItemHeight;
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value <= 0 || Value == FItemHeight) return;
    FItemHeight = Value;
    if (FStyle != lbStandard) LayoutChanged();
}

void TCustomListBox::SetIntegralHeight(bool Value) {
    if (Value == FIntegralHeight) return;
    FIntegralHeight = Value;
    LayoutChanged();
}

void TCustomListBox::SetSorted(bool Value) {
    if (Value == FSorted) return;
    FSorted = Value;
    if (Value) {
        FItems->Sort();
        LayoutChanged();
    }
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    LayoutChanged();
}

void TCustomListBox::SetColumns(int Value) {
    Value = std::max(0, Value);
    if (Value == FColumns) return;
    FColumns = Value;
    FTopIndex = 0;
    LayoutChanged();
    if (FItemIndex >= 0) MakeVisible(FItemIndex);
}

void TCustomListBox::SetMultiSelect(bool Value) {
    if (Value == FMultiSelect) return;
    FMultiSelect = Value;
    FSelected.assign(Value ? static_cast<size_t>(FItems->GetCount()) : 0, false);
    if (Value && FItemIndex >= 0) FSelected[static_cast<size_t>(FItemIndex)] = true;
    FAnchor = FItemIndex;
    Invalidate();
}

void TCustomListBox::SetExtendedSelect(bool Value) {
    FExtendedSelect = Value;
}

void TCustomListBox::SetTabWidth(int Value) {
    if (Value == FTabWidth) return;
    FTabWidth = std::max(0, Value);
    Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (FWidget) RecreateWnd();
}

int TCustomListBox::GetSelCount() const {
    if (!FMultiSelect) return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

bool TCustomListBox::GetSelected(int Index) const {
    if (Index < 0 || Index >= FItems->GetCount()) ListIndexError(Index);
    return FMultiSelect ? FSelected[static_cast<size_t>(Index)] : Index == FItemIndex;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (Index < 0 || Index >= FItems->GetCount()) ListIndexError(Index);
    if (FMultiSelect)
        Perform(LB_SETSEL, Value ? 1 : 0, Index);
    else if (Value)
        SetItemIndex(Index);
    else if (Index == FItemIndex)
        SetItemIndex(-1);
}

void TCustomListBox::Clear() {
    FItems->Clear();
}

void TCustomListBox::DeleteString(int Index) {
    Perform(LB_DELETESTRING, static_cast<WPARAM>(Index));
}

// -- Geometry

int TCustomListBox::WindowHeight() const {
    if (!FIntegralHeight || FColumns > 0) return GetHeight();
    int frame = FBorderStyle == bsSingle ? (GetCtl3D() ? 2 : 1) : 0;
    int ih = std::max(1, GetItemHeight());
    int rows = std::max(0, GetHeight() - 2 * frame) / ih;
    return 2 * frame + rows * ih;
}

TCustomListBox::TLayout TCustomListBox::Layout() const {
    TLayout l;
    l.Frame = FBorderStyle == bsSingle ? (GetCtl3D() ? 2 : 1) : 0;
    int ih = std::max(1, GetItemHeight());
    int w = std::max(0, GetWidth() - 2 * l.Frame);
    int h = std::max(0, WindowHeight() - 2 * l.Frame);
    int count = FItems->GetCount();
    if (FColumns <= 0) {
        if (count > h / ih) l.VBar = ScrollBarExtent();
    } else {
        int rows = std::max(1, h / ih);
        l.ColsNeeded = (count + rows - 1) / rows;
        if (l.ColsNeeded > FColumns) {
            l.HBar = ScrollBarExtent();
            h = std::max(0, h - l.HBar);
            rows = std::max(1, h / ih);
            l.ColsNeeded = (count + rows - 1) / rows;
        }
    }
    l.Rows = std::max(1, h / ih);
    l.ClientWidth = std::max(0, w - l.VBar);
    l.ClientHeight = h;
    if (FColumns > 0) l.ColWidth = std::max(1, l.ClientWidth / FColumns);
    return l;
}

int TCustomListBox::GetClientWidth() const {
    return Layout().ClientWidth;
}

int TCustomListBox::GetClientHeight() const {
    return Layout().ClientHeight;
}

QPoint TCustomListBox::ClientOffset() const {
    int f = Layout().Frame;
    return QPoint(f, f);
}

int TCustomListBox::MaxTopIndex() const {
    TLayout l = Layout();
    int count = FItems->GetCount();
    if (FColumns > 0) return std::max(0, l.ColsNeeded - FColumns) * l.Rows;
    int whole = l.ClientHeight / std::max(1, GetItemHeight());
    return std::max(0, count - whole);
}

void TCustomListBox::ClampTopIndex() {
    FTopIndex = std::clamp(FTopIndex, 0, MaxTopIndex());
    if (FColumns > 0) {
        int rows = Layout().Rows;
        assert(rows > 0); // Layout() gives at least one row
        FTopIndex -= FTopIndex % rows;
    }
}

void TCustomListBox::MakeVisible(int Index) {
    if (Index < 0 || Index >= FItems->GetCount()) return;
    TLayout l = Layout();
    int top = FTopIndex;
    if (FColumns <= 0) {
        int whole = std::max(1, l.ClientHeight / std::max(1, GetItemHeight()));
        if (Index < top)
            top = Index;
        else if (Index >= top + whole)
            top = Index - whole + 1;
    } else {
        int col = Index / l.Rows, topCol = top / l.Rows;
        if (col < topCol)
            topCol = col;
        else if (col >= topCol + FColumns)
            topCol = col - FColumns + 1;
        top = topCol * l.Rows;
    }
    SetTopIndex(top);
}

QRect TCustomListBox::ItemRect(int Index) const {
    TLayout l = Layout();
    int ih = std::max(1, GetItemHeight());
    if (FColumns <= 0) return QRect(0, (Index - FTopIndex) * ih, l.ClientWidth, ih);
    int col = Index / l.Rows - FTopIndex / l.Rows;
    return QRect(col * l.ColWidth, (Index % l.Rows) * ih, l.ColWidth, ih);
}

int TCustomListBox::ItemAtPos(QPoint Pos, bool Existing) const {
    TLayout l = Layout();
    int count = FItems->GetCount();
    if (Pos.x() >= 0 && Pos.y() >= 0 && Pos.x() < l.ClientWidth && Pos.y() < l.ClientHeight) {
        int ih = std::max(1, GetItemHeight());
        int index;
        if (FColumns <= 0) {
            index = FTopIndex + Pos.y() / ih;
        } else {
            int row = Pos.y() / ih;
            index = row < l.Rows ? FTopIndex + (Pos.x() / l.ColWidth) * l.Rows + row : count;
        }
        if (index < count) return index;
        if (!Existing) return count;
    }
    return -1;
}

void TCustomListBox::LayoutChanged() {
    if (FUpdating > 0) return;
    ClampTopIndex();
    if (!FWidget) return;
    UpdateWidgetBounds();
    Invalidate();
}

void TCustomListBox::UpdateWidgetBounds() {
    if (!FWidget) return;
    FWidget->setGeometry(GetLeft(), GetTop(), GetWidth(), WindowHeight());
    UpdateScrollBars();
}

void TCustomListBox::UpdateScrollBars() {
    if (!FWidget || !FVBar) return;
    TLayout l = Layout();
    FVBar->setVisible(l.VBar > 0);
    FHBar->setVisible(l.HBar > 0);
    if (l.VBar > 0) {
        FVBar->setGeometry(GetWidth() - l.Frame - l.VBar, l.Frame, l.VBar, l.ClientHeight);
        QSignalBlocker block(FVBar);
        FVBar->setRange(0, MaxTopIndex());
        FVBar->setPageStep(std::max(1, l.ClientHeight / std::max(1, GetItemHeight())));
        FVBar->setValue(FTopIndex);
        FVBar->setSliderPosition(FTopIndex);
    }
    if (l.HBar > 0) {
        FHBar->setGeometry(l.Frame, l.Frame + l.ClientHeight, l.ClientWidth, l.HBar);
        QSignalBlocker block(FHBar);
        FHBar->setRange(0, std::max(0, l.ColsNeeded - FColumns));
        FHBar->setPageStep(std::max(1, FColumns));
        FHBar->setValue(FTopIndex / l.Rows);
        FHBar->setSliderPosition(FTopIndex / l.Rows);
    }
}

void TCustomListBox::ScrollBy(int Lines, bool Horizontal) {
    if (Horizontal && FColumns > 0)
        SetTopIndex(FTopIndex + Lines * Layout().Rows);
    else if (!Horizontal && FColumns <= 0)
        SetTopIndex(FTopIndex + Lines);
}

// -- The lines under the selection

void TCustomListBox::ItemInserted(int Index) {
    if (FMultiSelect) FSelected.insert(FSelected.begin() + Index, false);
    if (FItemIndex >= Index) ++FItemIndex;
    if (FAnchor >= Index) ++FAnchor;
    LayoutChanged();
}

void TCustomListBox::ItemRemoved(int Index) {
    int count = FItems->GetCount();
    if (FMultiSelect) {
        FSelected.erase(FSelected.begin() + Index);
        if (FItemIndex > Index || FItemIndex >= count) --FItemIndex;
    } else if (FItemIndex == Index) {
        FItemIndex = -1;
    } else if (FItemIndex > Index) {
        --FItemIndex;
    }
    if (FAnchor > Index || FAnchor >= count) --FAnchor;
    LayoutChanged();
}

void TCustomListBox::ItemChanged(int) {
    Invalidate();
}

void TCustomListBox::ItemsCleared() {
    FItemIndex = -1;
    FAnchor = -1;
    FSelected.clear();
    FTopIndex = 0;
    LayoutChanged();
}

// -- What the user does

void TCustomListBox::NotifySelChange() {
    Perform(WM_COMMAND, MakeWParam(0, LBN_SELCHANGE), 0);
}

void TCustomListBox::SelectByUser(int Index, bool Shift, bool Ctrl) {
    if (Index < 0 || Index >= FItems->GetCount()) return;
    if (FMultiSelect && FExtendedSelect) {
        if (Shift && FAnchor >= 0) {
            if (!Ctrl) std::fill(FSelected.begin(), FSelected.end(), false);
            for (int i = std::min(FAnchor, Index); i <= std::max(FAnchor, Index); ++i)
                FSelected[static_cast<size_t>(i)] = true;
        } else {
            if (!Ctrl) std::fill(FSelected.begin(), FSelected.end(), false);
            FSelected[static_cast<size_t>(Index)] = Ctrl ? !FSelected[static_cast<size_t>(Index)] : true;
            FAnchor = Index;
        }
    }
    FItemIndex = Index;
    MakeVisible(Index);
    Invalidate();
    NotifySelChange();
}

void TCustomListBox::MouseDefault(TMessage& Message) {
    if (Message.Context) {
        Message.Context->Done = true;
        Message.Context->Result = true;
    }
    QPoint pt(MouseX(Message), MouseY(Message));
    bool shift = Message.WParam & MK_SHIFT, ctrl = Message.WParam & MK_CONTROL;
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (FWidget && !FWidget->hasFocus() && FWidget->focusPolicy() != Qt::NoFocus && CanFocus())
            FWidget->setFocus(Qt::MouseFocusReason);
        int index = ItemAtPos(pt, true);
        if (index < 0) return;
        FTracking = true;
        if (FMultiSelect && !FExtendedSelect) {
            FSelected[static_cast<size_t>(index)] = !FSelected[static_cast<size_t>(index)];
            FItemIndex = index;
            Invalidate();
            NotifySelChange();
        } else {
            SelectByUser(index, shift, ctrl);
        }
        break;
    }
    case WM_MOUSEMOVE: {
        if (!FTracking || !(Message.WParam & MK_LBUTTON) || (FMultiSelect && !FExtendedSelect)) return;
        TLayout l = Layout();
        int count = FItems->GetCount();
        if (count == 0) return;
        int index;
        if (FColumns <= 0 && pt.y() < 0) {
            ScrollBy(-1, false);
            index = FTopIndex;
        } else if (FColumns <= 0 && pt.y() >= l.ClientHeight) {
            ScrollBy(1, false);
            index = std::min(count - 1, FTopIndex + l.ClientHeight / std::max(1, GetItemHeight()) - 1);
        } else {
            index = ItemAtPos(QPoint(std::clamp(pt.x(), 0, std::max(0, l.ClientWidth - 1)), pt.y()), true);
            if (index < 0) index = count - 1;
        }
        if (index != FItemIndex) SelectByUser(index, FMultiSelect, false);
        break;
    }
    case WM_LBUTTONUP:
        FTracking = false;
        break;
    default:
        break;
    }
}

bool TCustomListBox::KeyDefault(Word Key, TShiftState Shift) {
    int count = FItems->GetCount();
    if (FMultiSelect && !FExtendedSelect && Key == VK_SPACE) {
        if (FItemIndex < 0) return true;
        FSelected[static_cast<size_t>(FItemIndex)] = !FSelected[static_cast<size_t>(FItemIndex)];
        Invalidate();
        NotifySelChange();
        return true;
    }
    TLayout l = Layout();
    int page =
        FColumns > 0 ? l.Rows * FColumns : std::max(1, l.ClientHeight / std::max(1, GetItemHeight()) - 1);
    int step;
    switch (Key) {
    case VK_UP:
        step = -1;
        break;
    case VK_DOWN:
        step = 1;
        break;
    case VK_LEFT:
        step = FColumns > 0 ? -l.Rows : -1;
        break;
    case VK_RIGHT:
        step = FColumns > 0 ? l.Rows : 1;
        break;
    case VK_PRIOR:
        step = -page;
        break;
    case VK_NEXT:
        step = page;
        break;
    case VK_HOME:
        step = -count;
        break;
    case VK_END:
        step = count;
        break;
    default:
        return false;
    }
    if (count == 0) return true;
    int index =
        FItemIndex < 0 ? (Key == VK_END ? count - 1 : 0) : std::clamp(FItemIndex + step, 0, count - 1);
    bool shift = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl);
    if (FMultiSelect && (!FExtendedSelect || ctrl) && !shift) {
        // The focus moves; the selection stays.
        FItemIndex = index;
        MakeVisible(index);
        Invalidate();
        NotifySelChange();
    } else if (index != FItemIndex || FMultiSelect) {
        SelectByUser(index, shift, false);
    }
    return true;
}

bool TCustomListBox::CharDefault(TKeyChar Key) {
    if (Key < 32) return false;
    int count = FItems->GetCount();
    QString wanted = QString::fromUcs4(&Key, 1).toCaseFolded();
    // The next item after the current one that starts with the character.
    for (int n = 1; n <= count; ++n) {
        int i = (std::max(FItemIndex, -1) + n) % count;
        QString text = Q(FItems->Get(i));
        if (!text.isEmpty() && text.left(1).toCaseFolded() == wanted) {
            SelectByUser(i, false, false);
            break;
        }
    }
    return true;
}

// -- Messages

void TCustomListBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        if (HiWord(Message.WParam) == LBN_SELCHANGE) Click();
        break;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        break;
    case CM_CTL3DCHANGED:
        if (FWidget) RecreateWnd();
        LayoutChanged();
        TWinControl::Dispatch(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

LRESULT TCustomListBox::ListMessage(TMessage& Message, bool& Handled) {
    Handled = true;
    int count = FItems->GetCount();
    auto index = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
    switch (Message.Msg) {
    case LB_GETCOUNT:
        return count;
    case LB_GETCURSEL:
        return FItemIndex;
    case LB_SETCURSEL:
        if (FMultiSelect) return LB_ERR;
        if (index < 0 || index >= count) {
            if (FItemIndex >= 0) Invalidate();
            FItemIndex = -1;
            return LB_ERR;
        }
        FItemIndex = index;
        MakeVisible(index);
        Invalidate();
        return index;
    case LB_GETTOPINDEX:
        return FTopIndex;
    case LB_SETTOPINDEX:
        if (index < 0 || index >= std::max(count, 1)) return LB_ERR;
        SetTopIndex(index);
        return 0;
    case LB_GETITEMHEIGHT:
        return GetItemHeight();
    case LB_GETSEL:
        if (index < 0 || index >= count) return LB_ERR;
        return GetSelected(index) ? 1 : 0;
    case LB_SETSEL: {
        if (!FMultiSelect) return LB_ERR;
        auto at = static_cast<int>(Message.LParam);
        if (at < -1 || at >= count) return LB_ERR;
        for (int i = 0; i < count; ++i)
            if (at == -1 || i == at) FSelected[static_cast<size_t>(i)] = Message.WParam != 0;
        Invalidate();
        return 0;
    }
    case LB_GETSELCOUNT:
        return FMultiSelect ? GetSelCount() : LB_ERR;
    case LB_DELETESTRING:
        if (index < 0 || index >= count) return LB_ERR;
        FItems->Remove(index);
        ItemRemoved(index);
        return FItems->GetCount();
    default:
        Handled = false;
        return 0;
    }
}

void TCustomListBox::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        MouseDefault(Message);
        return;
    case WM_KEYDOWN:
        if (KeyDefault(static_cast<Word>(Message.WParam), KeyDataToShiftState(Message.LParam))) {
            if (Message.Context) {
                Message.Context->Done = true;
                Message.Context->Result = true;
                Message.Context->SkipChar = true;
            }
            return;
        }
        break;
    case WM_CHAR:
        if (CharDefault(static_cast<TKeyChar>(Message.WParam))) {
            if (Message.Context) {
                Message.Context->Done = true;
                Message.Context->Result = true;
            }
            return;
        }
        break;
    case WM_MOUSEWHEEL: {
        auto delta = static_cast<std::int16_t>(HiWord(Message.WParam));
        ScrollBy(-delta / 40, FColumns > 0);
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        bool horizontal = Message.Msg == WM_HSCROLL;
        TLayout l = Layout();
        int page =
            horizontal ? std::max(1, FColumns) : std::max(1, l.ClientHeight / std::max(1, GetItemHeight()));
        switch (LoWord(Message.WParam)) {
        case SB_LINEUP:
            ScrollBy(-1, horizontal);
            break;
        case SB_LINEDOWN:
            ScrollBy(1, horizontal);
            break;
        case SB_PAGEUP:
            ScrollBy(-page, horizontal);
            break;
        case SB_PAGEDOWN:
            ScrollBy(page, horizontal);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            if (horizontal == (FColumns > 0)) SetTopIndex(HiWord(Message.WParam) * (horizontal ? l.Rows : 1));
            break;
        case SB_TOP:
            SetTopIndex(0);
            break;
        case SB_BOTTOM:
            SetTopIndex(MaxTopIndex());
            break;
        default:
            break;
        }
        return;
    }
    case WM_NCHITTEST: {
        Message.Result = HTNOWHERE;
        if (!FWidget) return;
        QPoint pt = FWidget->mapFromGlobal(QPoint(MouseX(Message), MouseY(Message)));
        TLayout l = Layout();
        if (FVBar && FVBar->isVisible() && FVBar->geometry().contains(pt))
            Message.Result = HTVSCROLL;
        else if (FHBar && FHBar->isVisible() && FHBar->geometry().contains(pt))
            Message.Result = HTHSCROLL;
        else if (QRect(ClientOffset(), QSize(l.ClientWidth, l.ClientHeight)).contains(pt))
            Message.Result = HTCLIENT;
        else if (FWidget->rect().contains(pt))
            Message.Result = HTBORDER;
        return;
    }
    case WM_NCLBUTTONDOWN: {
        QScrollBar* bar = Message.WParam == static_cast<WPARAM>(HTVSCROLL)   ? FVBar
                          : Message.WParam == static_cast<WPARAM>(HTHSCROLL) ? FHBar
                                                                             : nullptr;
        if (!bar || !bar->isVisible()) return;
        // The bar takes the press and keeps the mouse until the button is let go.
        QPoint global(MouseX(Message), MouseY(Message));
        QPoint local = bar->mapFromGlobal(global);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          QGuiApplication::keyboardModifiers());
        QApplication::sendEvent(bar, &press);
        bar->grabMouse();
        return;
    }
    default: {
        bool handled = false;
        LRESULT result = ListMessage(Message, handled);
        if (handled) {
            Message.Result = result;
            return;
        }
        break;
    }
    }
    TWinControl::DefaultHandler(Message);
}

// -- The window

QWidget* TCustomListBox::CreateWidget(const TCreateParams& Params) {
    return new TControlWidget<TListBoxWidget>(this, Params.WndParent);
}

void TCustomListBox::InitWidget() {
    TWinControl::InitWidget();
    auto* frame = static_cast<QFrame*>(FWidget);
    int f = Layout().Frame;
    if (f == 0)
        frame->setFrameStyle(QFrame::NoFrame);
    else if (f == 1)
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    else
        frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    frame->setLineWidth(1);
    FVBar = new TListScrollBar(Qt::Vertical, FWidget, this);
    FHBar = new TListScrollBar(Qt::Horizontal, FWidget, this);
    std::weak_ptr<int> life = Life();
    auto bind = [this, life](QScrollBar* Bar, Cardinal Msg) {
        QObject::connect(Bar, &QAbstractSlider::actionTriggered, Bar, [this, life, Bar, Msg](int Action) {
            int code = ScrollCodeOfAction(Action);
            if (code < 0) return;
            WPARAM w =
                static_cast<WPARAM>(code) | (static_cast<WPARAM>(Bar->sliderPosition() & 0xFFFF) << 16);
            GuardedCall(this, [&] { Perform(Msg, w); });
            if (!life.expired()) UpdateScrollBars();
        });
    };
    bind(FVBar, WM_VSCROLL);
    bind(FHBar, WM_HSCROLL);
    UpdateWidgetBounds();
}

void TCustomListBox::DestroyWnd() {
    FVBar = FHBar = nullptr;
    TWinControl::DestroyWnd();
}

// A new size keeps the list filled to the bottom where it can.
void TCustomListBox::Resize() {
    ClampTopIndex();
    UpdateScrollBars();
    TWinControl::Resize();
}

void TCustomListBox::FontChanged() {
    TWinControl::FontChanged();
    LayoutChanged();
}

void TCustomListBox::Paint(QPainter& Painter) {
    TLayout l = Layout();
    QPoint offset = ClientOffset();
    QRect client(offset, QSize(l.ClientWidth, l.ClientHeight));
    Painter.setClipRect(client);
    QPalette pal = FWidget->palette();
    Painter.fillRect(client, ColorToQColor(GetColor()).isValid() ? ColorToQColor(GetColor())
                                                                 : pal.color(QPalette::Base));
    QFont font = GetFont()->ToQFont();
    Painter.setFont(font);
    QFontMetrics metrics(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    option.setTabStopDistance((FTabWidth > 0 ? FTabWidth : 32) * metrics.averageCharWidth() / 4.0);
    QColor text =
        GetEnabled() ? ColorToQColor(GetFont()->GetColor()) : pal.color(QPalette::Disabled, QPalette::Text);
    int count = FItems->GetCount();
    for (int i = FTopIndex; i < count; ++i) {
        QRect r = ItemRect(i);
        if (r.left() >= l.ClientWidth) break;
        if (r.top() >= l.ClientHeight) {
            if (FColumns <= 0) break;
            continue;
        }
        r.translate(offset);
        bool selected = GetSelected(i);
        if (selected) Painter.fillRect(r, pal.color(QPalette::Highlight));
        Painter.setPen(selected ? pal.color(QPalette::HighlightedText) : text);
        Painter.drawText(QRectF(r.adjusted(2, 0, -1, 0)), Q(FItems->Get(i)), option);
    }
    if (FWidget->hasFocus() && count > 0) {
        QRect r = ItemRect(std::max(FItemIndex, 0)).translated(offset);
        QStyleOptionFocusRect focus;
        focus.initFrom(FWidget);
        focus.rect = r;
        focus.backgroundColor =
            GetSelected(std::max(FItemIndex, 0)) ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        FWidget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &Painter, FWidget);
    }
}
