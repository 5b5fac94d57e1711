#include "Menus.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

// ---- TMenuItem ------------------------------------------------------------

KV_PUBLISHED_METACLASS(TMenuItem, nullptr)

void TMenuItem::Publish(TPublisher<TMenuItem>& P) {
    P.Prop("Caption", &TMenuItem::GetCaption, &TMenuItem::SetCaption);
    P.Prop("Enabled", &TMenuItem::GetEnabled, &TMenuItem::SetEnabled).Default(true);
    P.Prop("Visible", &TMenuItem::GetVisible, &TMenuItem::SetVisible).Default(true);
    P.Prop("OnClick", &TMenuItem::OnClick, &TMenuItem::OnClick);
}

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    Destroying();
    while (!FItems.empty()) {
        TMenuItem* item = FItems.back();
        Remove(item);
        delete item;
    }
    if (FParent) FParent->Remove(this);
}

TMenuItem* TMenuItem::GetItem(int Index) const {
    if (Index < 0 || Index >= GetCount())
        throw EListError("Menu index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(GetCount(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) throw EInvalidOperation("A menu item to insert must exist");
    if (Item->FParent) throw EInvalidOperation("Menu item " + Item->GetName() + " is already in a menu");
    if (Index < 0 || Index > GetCount())
        throw EListError("Menu index out of bounds (" + std::to_string(Index) + ")");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    Item->FParent = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::Click() {
    if (FEnabled && OnClick) OnClick(this);
}

// ---- TPopupMenu -----------------------------------------------------------

KV_PUBLISHED_METACLASS(TPopupMenu, nullptr)

void TPopupMenu::Publish(TPublisher<TPopupMenu>& P) {
    P.Prop("AutoPopup", &TPopupMenu::GetAutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
    P.Prop("OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::OnPopup);
}

TPopupMenu::TPopupMenu(TComponent* AOwner)
    : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() {
    Destroying();
    CloseMenu();
    FItems.reset();
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup() {
    if (OnPopup) OnPopup(this);
}

QMenu* TPopupMenu::GetMenuWidget() const {
    return FMenu && FMenu->isVisible() ? FMenu : nullptr;
}

void TPopupMenu::CloseMenu() {
    if (!FMenu) return;
    QMenu* menu = FMenu;
    FMenu = nullptr;
    menu->hide();
    if (FInAction > 0)
        menu->deleteLater();
    else
        delete menu;
}

void TPopupMenu::Popup(int X, int Y) {
    DoPopup();
    CloseMenu();
    FMenu = new QMenu();
    for (int i = 0; i < FItems->GetCount(); ++i) {
        TMenuItem* item = FItems->GetItem(i);
        if (!item->GetVisible()) continue;
        if (item->IsLine()) {
            FMenu->addSeparator();
            continue;
        }
        // Qt marks accelerators with '&' as the captions do.
        QAction* action = FMenu->addAction(QString::fromStdString(item->GetCaption()));
        action->setEnabled(item->GetEnabled());
        std::weak_ptr<int> itemLife = item->Life();
        std::weak_ptr<int> menuLife = FLife;
        QObject::connect(action, &QAction::triggered, FMenu, [this, item, itemLife, menuLife] {
            if (itemLife.expired()) return;
            ++FInAction;
            GuardedCall(item, [item] { item->Click(); });
            if (!menuLife.expired()) --FInAction; // the click may have freed the menu
        });
    }
    FMenu->popup(QPoint(X, Y));
}
