// Menus: menu items and the pop-up menu, shown as Qt menus.
#pragma once

#include "Controls.h"

#include <memory>
#include <vector>

class QMenu;

// An entry of a menu. The caption "-" makes a separator; '&' marks the
// accelerator letter ("&&" stands for '&'). An item frees the items it
// holds; freeing an item takes it out of its parent.
class TMenuItem : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TMenuItem>& P);

    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const AnsiString& GetCaption() const { return FCaption; }
    void SetCaption(const AnsiString& Value) { FCaption = Value; }
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    bool IsLine() const { return FCaption == "-"; }

    int GetCount() const { return static_cast<int>(FItems.size()); }
    TMenuItem* GetItem(int Index) const;
    TMenuItem* GetParent() const { return FParent; }
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    void Remove(TMenuItem* Item);
    int IndexOf(const TMenuItem* Item) const;

    // Fires OnClick (when enabled).
    virtual void Click();
    // Expires when the item is freed.
    std::weak_ptr<int> Life() const { return FLife; }

    TNotifyEvent OnClick;

private:
    std::shared_ptr<int> FLife = std::make_shared<int>(0);
    AnsiString FCaption;
    bool FEnabled = true;
    bool FVisible = true;
    TMenuItem* FParent = nullptr;
    std::vector<TMenuItem*> FItems;
};

// A menu that opens where it is asked to: at a control's context-menu
// request (a control's PopupMenu, while AutoPopup is on) or by Popup.
// OnPopup fires each time before it opens, so it can enable its items.
class TPopupMenu : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TPopupMenu>& P);

    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;

    TMenuItem* GetItems() const { return FItems.get(); }
    bool GetAutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool Value) { FAutoPopup = Value; }
    // The control whose context menu opened it last.
    TComponent* GetPopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }

    // Fires OnPopup, then shows the menu at the screen point; returns at
    // once, the chosen item's OnClick runs when the user picks it.
    virtual void Popup(int X, int Y);
    // The Qt menu while it is shown, else null.
    QMenu* GetMenuWidget() const;

    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void CloseMenu();
    std::unique_ptr<TMenuItem> FItems;
    bool FAutoPopup = true;
    TComponent* FPopupComponent = nullptr;
    QMenu* FMenu = nullptr;
    int FInAction = 0; // an item's click is running: the menu must outlive it
    std::shared_ptr<int> FLife = std::make_shared<int>(0);
};
