#include "CustomListBoxKV.h"

#include "Utilskv.h"

KV_ABSTRACT_METACLASS(TCustomListBoxKV, &TCustomListBox::ClassInfo())

TCustomListBoxKV::TCustomListBoxKV(TComponent* AOwner) : TCustomListBox(AOwner) {}

TCustomListBoxKV::~TCustomListBoxKV() {
    FDestroying = true;
    FDropFilesList.reset();
}

void TCustomListBoxKV::SelectTopItem() {
    Perform(LB_SETCURSEL, static_cast<WPARAM>(Perform(LB_GETTOPINDEX)));
    Click();
}

// ---- Setters, coupled so that multiple selection excludes the helpers ------

void TCustomListBoxKV::SetMultiSelect(bool Value) {
    if (Value == GetMultiSelect()) return;
    TCustomListBox::SetMultiSelect(Value);
    if (Value) {
        SetHideSelection(false);
        SetSelectOnEnter(false);
        SetSelectOnDelete(false);
    }
}

void TCustomListBoxKV::SetHideSelection(bool Value) {
    if (Value == FHideSelection) return;
    FHideSelection = Value;
    if (!Value) return;
    SetMultiSelect(false);
    if (!Focused()) SetItemIndex(-1);
}

void TCustomListBoxKV::SetSelectOnEnter(bool Value) {
    if (Value == FSelectOnEnter) return;
    FSelectOnEnter = Value;
    if (!Value) return;
    SetMultiSelect(false);
    if (Focused() && GetItemIndex() < 0 && GetItems()->GetCount() > 0) SelectTopItem();
}

void TCustomListBoxKV::SetSelectOnDelete(bool Value) {
    if (Value == FSelectOnDelete) return;
    FSelectOnDelete = Value;
    if (Value) SetMultiSelect(false);
}

void TCustomListBoxKV::SetAcceptDropFiles(bool Value) {
    if (Value == FAcceptDropFiles) return;
    FAcceptDropFiles = Value;
    if (HandleAllocated()) DragAcceptFiles(GetHandle(), Value);
}

// ---- Keeping a current item -------------------------------------------------

void TCustomListBoxKV::DeleteString(int Index) {
    int old = GetItemIndex();
    TCustomListBox::DeleteString(Index);
    if (FDestroying) return;
    int count = GetItems()->GetCount();
    if (count > 0) {
        if (FSelectOnDelete && old >= 0 && GetItemIndex() < 0) {
            SetItemIndex(old < count ? old : old - 1);
            Click();
        }
    } else if (Focused()) {
        // The focus goes and comes back, so the empty list shows it afresh.
        ::SetFocus(nullptr);
        ::SetFocus(GetHandle());
    }
}

void TCustomListBoxKV::WMSetFocus(TMessage& Message) {
    if (FSelectOnEnter && GetItemIndex() < 0 && GetItems()->GetCount() > 0 && !LeftButtonDownOn(this))
        SelectTopItem();
    TCustomListBox::Dispatch(Message);
}

void TCustomListBoxKV::WMKillFocus(TMessage& Message) {
    TCustomListBox::Dispatch(Message);
    if (FHideSelection) SetItemIndex(-1);
}

void TCustomListBoxKV::WMLButtonDown(TMessage& Message) {
    std::weak_ptr<int> life = Life();
    TCustomListBox::Dispatch(Message);
    if (life.expired() || !FSelectOnEnter) return;
    FClickPending = false;
    int top = static_cast<int>(Perform(LB_GETTOPINDEX));
    if (ItemAtPos(QPoint(MouseX(Message), MouseY(Message)), true) < 0 && GetItems()->GetCount() > 0 &&
        top != GetItemIndex()) {
        Perform(LB_SETCURSEL, static_cast<WPARAM>(top));
        FClickPending = true;
    }
}

void TCustomListBoxKV::WMLButtonUp(TMessage& Message) {
    if (FClickPending) {
        Click();
        FClickPending = false;
    }
    TCustomListBox::Dispatch(Message);
}

// ---- The right button -------------------------------------------------------

void TCustomListBoxKV::WMRButton(TMessage& Message) {
    if (FRButtonSelect) {
        FRButtonActive = true;
        try {
            Perform(Message.Msg == WM_RBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, Message.WParam,
                    Message.LParam);
        } catch (...) {
            FRButtonActive = false;
            throw;
        }
        FRButtonActive = false;
    }
    TCustomListBox::Dispatch(Message);
}

void TCustomListBoxKV::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!FRButtonActive) TCustomListBox::MouseDown(Button, Shift, X, Y);
}

void TCustomListBoxKV::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!FRButtonActive) TCustomListBox::MouseUp(Button, Shift, X, Y);
}

// ---- Dropped files ----------------------------------------------------------

void TCustomListBoxKV::WMDropFiles(TMessage& Message) {
    TCustomListBox::Dispatch(Message);
    if (TakeDroppedFiles(reinterpret_cast<HDROP>(Message.WParam), FAcceptDropFiles, FDropFilesList) &&
        OnDropFiles)
        OnDropFiles(this);
}

void TCustomListBoxKV::CreateWnd() {
    TCustomListBox::CreateWnd();
    if (FAcceptDropFiles) DragAcceptFiles(GetHandle(), true);
}

void TCustomListBoxKV::DestroyWnd() {
    if (FAcceptDropFiles && HandleAllocated()) DragAcceptFiles(GetHandle(), false);
    TCustomListBox::DestroyWnd();
}
