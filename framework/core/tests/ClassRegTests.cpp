#include "ClassReg.h"

#include <gtest/gtest.h>

namespace {

struct TBase : TComponent {
    using TComponent::TComponent;
    KV_METACLASS_DECL
};
struct TLeaf : TBase {
    using TBase::TBase;
    KV_METACLASS_DECL
};

} // namespace

KV_ABSTRACT_METACLASS(TBase, nullptr)
KV_METACLASS(TLeaf, &TBase::ClassInfo())

namespace {

TEST(ClassRegistry, CreatesByNameAndKeepsPalettePages) {
    RegisterComponents("TestPage", {&TLeaf::ClassInfo()});
    EXPECT_EQ(GetClass("tleaf"), &TLeaf::ClassInfo());
    EXPECT_TRUE(TLeaf::ClassInfo().InheritsFrom(&TBase::ClassInfo()));
    TComponent owner(nullptr);
    TComponent* made = FindClass("TLeaf")->Create(&owner);
    EXPECT_NE(dynamic_cast<TLeaf*>(made), nullptr);
    EXPECT_EQ(owner.GetComponentCount(), 1);
    EXPECT_THROW(TBase::ClassInfo().Create(&owner), EComponentError);
    EXPECT_THROW(FindClass("TNone"), EClassNotFound);
    ASSERT_EQ(GetPaletteClasses("TestPage").size(), 1u);

    static const TMetaClass impostor("TLeaf", nullptr, nullptr);
    EXPECT_THROW(RegisterClass(&impostor), EComponentError);

    UnRegisterComponents({&TLeaf::ClassInfo()});
    EXPECT_EQ(GetClass("TLeaf"), nullptr);
    EXPECT_TRUE(GetPaletteClasses("TestPage").empty());
}

} // namespace
