// The drop-down edit: a button edit whose button opens a pick list under
// the field, like a combo box whose edit keeps all the validation of the
// library's edit. Choosing an item (a click, a press-drag-release from the
// button, or the arrow keys in the edit) copies its text into the edit.
#pragma once

#include "CustomBtnEditKV.h"
#include "ExtCtrls.h"
#include "StdCtrls.h"

class TDropDownEditKV;

// The pick list: a list box on the desktop, a window of its own above all
// others that never takes the focus, so it hangs below the form's edge
// while the keyboard stays in the edit. While open it usually holds the
// mouse capture: a press outside closes it, a release over an item picks
// the item; holding the button above or below it scrolls it, the faster the
// farther away. It reaches its drop-down edit through its owner.
class TDropDownEditListBoxKV : public TListBox {
public:
    KV_METACLASS_DECL

    explicit TDropDownEditListBoxKV(TComponent* AOwner);
    ~TDropDownEditListBoxKV() override;

    void CloseBox();
    // The hook on the application's main window: switching to another
    // application closes the list. Never handles the message.
    bool HookMainWindow(TMessage& Message);
    void ScrlTimerTimer(TObject* Sender);

    // The auto-scroll timer while there is one, and whether the hook is in.
    TTimer* GetScrollTimer() const { return ScrollTimer; }
    bool GetHooked() const { return Hooked; }

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, WMPaint)
    MESSAGE_HANDLER(WM_HSCROLL, WMScroll)
    MESSAGE_HANDLER(WM_VSCROLL, WMScroll)
    MESSAGE_HANDLER(WM_MOUSEMOVE, WMMouseMove)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, WMLButtonDown)
    MESSAGE_HANDLER(WM_LBUTTONUP, WMLButtonUp)
    END_MESSAGE_MAP(TListBox)

    void CreateParams(TCreateParams& Params) override;

    void WMPaint(TMessage& Message);
    void WMScroll(TMessage& Message);
    void WMMouseMove(TMessage& Message);
    void WMLButtonDown(TMessage& Message);
    void WMLButtonUp(TMessage& Message);

private:
    friend class TDropDownEditKV;
    TDropDownEditKV* DropDownEdit() const;
    void StopScrolling();

    TTimer* ScrollTimer = nullptr; // owned; only while auto-scrolling
    bool Hooked = false;
};

class TDropDownEditKV : public TCustomBtnEditKV {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDropDownEditKV>& P);

    explicit TDropDownEditKV(TComponent* AOwner);
    ~TDropDownEditKV() override;

    int GetDropDownCount() const { return DropDownCount; }
    void SetDropDownCount(int Value);
    bool GetSorted() const;
    void SetSorted(bool Value);
    TStrings* GetItems() const;
    void SetItems(TStrings* Value); // copies the lines
    TDropDownEditListBoxKV* GetListBox() const { return ListBox; }
    // Places the list under the control: its left edge and width, its
    // bottom edge as the list's top, in screen coordinates; as many rows
    // as there are items, at most DropDownCount, at least one.
    void ResizeListBox();

    TNotifyEvent OnChange; // in place of the inner edit's, which CtrlChange takes
    TKeyEvent OnKeyDown;   // in place of the button edit's, which CtrlKeyDown takes

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_MOVE, WMMoveSize)
    MESSAGE_HANDLER(WM_SIZE, WMMoveSize)
    END_MESSAGE_MAP(TCustomBtnEditKV)

    virtual void ButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void ButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void ButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    virtual void CtrlChange(TObject* Sender);
    void CtrlKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
    void Loaded() override;

    void WMMoveSize(TMessage& Message);

private:
    friend class TDropDownEditListBoxKV;
    // The list as the control wants it: flat frame, one selection, whole rows, no tab stop.
    void SetUpListBox();
    // Sets the text to the selected item's, selecting it when AutoSelect is on.
    void TakeSelectedItem();

    bool InKeyDown = false;
    int DropDownCount = 8;
    TDropDownEditListBoxKV* ListBox;
};

namespace Dropdowneditkv {

// Puts TDropDownEditKV on the palette page "KV".
void Register();

} // namespace Dropdowneditkv
