// A component whose insertion into its owner fails half-way does not stay
// behind in the owner.
#include "Classes.h"

#include <gtest/gtest.h>

namespace {

// Refuses to hear of a new sibling once armed.
struct TRefusingChild : TComponent {
    using TComponent::TComponent;
    bool Armed = false;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        if (Armed && Operation == opInsert) throw EComponentError("refused");
        TComponent::Notification(AComponent, Operation);
    }
};

TEST(ComponentConstruction, AFailedInsertionLeavesTheOwnerAsItWas) {
    TComponent owner(nullptr);
    auto* child = new TRefusingChild(&owner);
    child->Armed = true;
    EXPECT_THROW({ TComponent late(&owner); }, EComponentError);
    ASSERT_EQ(owner.GetComponentCount(), 1);
    EXPECT_EQ(owner.GetComponent(0), child);
    child->Armed = false;
    TComponent fine(&owner);
    EXPECT_EQ(owner.GetComponentCount(), 2);
}

} // namespace
