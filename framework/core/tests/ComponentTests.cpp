#include "Classes.h"

#include <gtest/gtest.h>

namespace {

struct Watcher : TComponent {
    using TComponent::TComponent;
    std::vector<std::pair<TComponent*, TOperation>> Seen;
    TComponent* Watched = nullptr;
    void Watch(TComponent* c) {
        Watched = c;
        c->FreeNotification(this);
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        Seen.emplace_back(AComponent, Operation);
        if (Operation == opRemove && AComponent == Watched) Watched = nullptr;
    }
};

TEST(Component, OwnerFreesWhatItOwnsAndTellsTheTree) {
    auto* owner = new Watcher(nullptr);
    auto* child = new Watcher(owner);
    auto* other = new TComponent(owner);
    ASSERT_EQ(owner->GetComponentCount(), 2);
    EXPECT_EQ(child->Seen.back(), std::make_pair(other, opInsert)); // insertion reaches siblings
    delete other;
    EXPECT_EQ(owner->GetComponentCount(), 1);
    EXPECT_EQ(owner->Seen.back(), std::make_pair(other, opRemove));
    delete owner; // frees child; sanitizer builds catch a leak or double free
}

TEST(Component, FreeNotificationClearsBorrowedPointers) {
    Watcher watcher(nullptr);
    auto* target = new TComponent(nullptr);
    watcher.Watch(target);
    delete target;
    EXPECT_EQ(watcher.Watched, nullptr);
    // The link is gone both ways: destroying the watcher later touches nothing.
    auto* second = new TComponent(nullptr);
    watcher.Watch(second);
    watcher.RemoveFreeNotification(second);
    delete second;
    EXPECT_NE(watcher.Watched, nullptr);
}

TEST(Component, NamesAreIdentifiersAndUniquePerOwner) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("BtnOpen");
    EXPECT_THROW(b->SetName("btnopen"), EComponentError);
    EXPECT_THROW(b->SetName("1x"), EComponentError);
    b->SetName("BtnClose");
    EXPECT_EQ(owner.FindComponent("BTNCLOSE"), b);
    EXPECT_EQ(owner.FindComponent("none"), nullptr);
    EXPECT_EQ(b->ClassName(), "TComponent");
}

} // namespace
