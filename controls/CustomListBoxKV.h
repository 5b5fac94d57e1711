// The library's list box: keeps a current item when it gets the focus or
// loses the selected line, can drop its selection when it loses the focus,
// lets the right mouse button select like the left one, and takes files
// dropped from the desktop. Multiple selection never goes together with the
// three selection helpers: switching one on switches the other off.
#pragma once

#include "StdCtrls.h"

#include <memory>

class TCustomListBoxKV : public TCustomListBox {
public:
    KV_METACLASS_DECL

    explicit TCustomListBoxKV(TComponent* AOwner);
    ~TCustomListBoxKV() override;

    void SetMultiSelect(bool Value) override;
    bool GetHideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value);
    bool GetSelectOnEnter() const { return FSelectOnEnter; }
    void SetSelectOnEnter(bool Value);
    bool GetSelectOnDelete() const { return FSelectOnDelete; }
    void SetSelectOnDelete(bool Value);
    bool GetRButtonSelect() const { return FRButtonSelect; }
    void SetRButtonSelect(bool Value) { FRButtonSelect = Value; }
    bool GetAcceptDropFiles() const { return FAcceptDropFiles; }
    void SetAcceptDropFiles(bool Value);
    // Full paths of the last files dropped, or null before the first drop.
    TStringList* GetDropFilesList() const { return FDropFilesList.get(); }

    TNotifyEvent OnDropFiles; // after each accepted drop

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SETFOCUS, WMSetFocus)
    MESSAGE_HANDLER(WM_KILLFOCUS, WMKillFocus)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, WMLButtonDown)
    MESSAGE_HANDLER(WM_LBUTTONUP, WMLButtonUp)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, WMRButton)
    MESSAGE_HANDLER(WM_RBUTTONUP, WMRButton)
    MESSAGE_HANDLER(WM_DROPFILES, WMDropFiles)
    END_MESSAGE_MAP(TCustomListBox)

    void CreateWnd() override;
    void DestroyWnd() override;
    void DeleteString(int Index) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    void WMSetFocus(TMessage& Message);
    void WMKillFocus(TMessage& Message);
    void WMLButtonDown(TMessage& Message);
    void WMLButtonUp(TMessage& Message);
    void WMRButton(TMessage& Message);
    void WMDropFiles(TMessage& Message);

private:
    // Selects the first visible item and fires OnClick.
    void SelectTopItem();

    bool FDestroying = false;
    bool FHideSelection = false;
    bool FSelectOnEnter = true;
    bool FSelectOnDelete = true;
    bool FRButtonSelect = false;
    bool FAcceptDropFiles = false;
    bool FClickPending = false;  // a press beside the items selected the top one; Click is due at release
    bool FRButtonActive = false; // a right-button message is being replayed as a left-button one
    std::unique_ptr<TStringList> FDropFilesList;
};
