// The library as a whole: every control is on its palette page through its
// unit's Register, and goes to form text and back with its published
// properties. A new control joins by one line in Controls().
#include "BtnEditKV.h"
#include "CalendarKV.h"
#include "ComboBoxKV.h"
#include "DBEditKV.h"
#include "DBRichEdtKV.h"
#include "DateEditKV.h"
#include "DriveComboBoxKV.h"
#include "DropDownEditKV.h"
#include "EditKV.h"
#include "ListBoxKV.h"
#include "RichEdtKV.h"
#include "FormReader.h"
#include "UiTestEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace {

class TLibraryForm : public TForm {
public:
    KV_METACLASS_DECL
    using TForm::TForm;
};
KV_METACLASS(TLibraryForm, &TForm::ClassInfo())

struct TControlCase {
    const char* Page;
    void (*Register)();
    const TMetaClass* Class;
    // Gives published properties values other than their defaults.
    std::function<void(TControl* Control)> Fill;
};

template <class T> std::function<void(TControl*)> Filler(std::function<void(T*)> Fill) {
    return [Fill](TControl* Control) { Fill(static_cast<T*>(Control)); };
}

// A data source beside the control on its form, for the data-aware ones.
TDataSource* SourceOnForm(TControl* Control) {
    auto* source = new TDataSource(Control->GetOwner());
    source->SetName("Src");
    return source;
}

std::vector<TControlCase> Controls() {
    return {
        {"KV", Editkv::Register, &TEditKV::ClassInfo(), Filler<TEditKV>([](TEditKV* C) {
             C->SetValidData({vdNumeric, vdSign});
             C->SetValidDataString("e");
             C->GetLines()->SetText("12\r\n-3");
             C->SetMarginLeft(2);
             C->SetTabPos("8;16");
         })},
        {"KV", Btneditkv::Register, &TBtnEditKV::ClassInfo(), Filler<TBtnEditKV>([](TBtnEditKV* C) {
             C->SetText("file.txt");
             C->SetValidDataString("abc");
             C->SetMarginRight(4);
             C->SetMaxLength(40);
         })},
        {"KV", Dropdowneditkv::Register, &TDropDownEditKV::ClassInfo(),
         Filler<TDropDownEditKV>([](TDropDownEditKV* C) {
             C->GetItems()->SetText("Birne\r\nApfel");
             C->SetSorted(true);
             C->SetDropDownCount(4);
         })},
        {"KV", Listboxkv::Register, &TListBoxKV::ClassInfo(), Filler<TListBoxKV>([](TListBoxKV* C) {
             C->GetItems()->SetText("eins\r\nzwei");
             C->SetMultiSelect(true);
             C->SetSelectOnEnter(false);
             C->SetRButtonSelect(true);
         })},
        {"KV", Comboboxkv::Register, &TComboBoxKV::ClassInfo(), Filler<TComboBoxKV>([](TComboBoxKV* C) {
             C->GetItems()->SetText("rot\r\ngrün");
             C->SetReadOnly(true);
         })},
        {"KV", Drivecomboboxkv::Register, &TDriveComboBoxKV::ClassInfo(),
         Filler<TDriveComboBoxKV>([](TDriveComboBoxKV* C) { C->SetHint("Laufwerk"); })},
        {"KV", Calendarkv::Register, &TCalendarKV::ClassInfo(), Filler<TCalendarKV>([](TCalendarKV* C) {
             C->SetHeaderHeight(20);
             C->SetDaySelection(false);
         })},
        {"KV", Dateeditkv::Register, &TDateEditKV::ClassInfo(), Filler<TDateEditKV>([](TDateEditKV* C) {
             C->SetEnableLookup(true);
             C->SetMarginLeft(2);
         })},
        {"KV", Richedtkv::Register, &TRichEdtKV::ClassInfo(), Filler<TRichEdtKV>([](TRichEdtKV* C) {
             C->SetWantTabs(true);
             C->TabPos = 24;
         })},
        {"KVDB", Dbeditkv::Register, &TDBEditKV::ClassInfo(), Filler<TDBEditKV>([](TDBEditKV* C) {
             C->SetDataSource(SourceOnForm(C));
             C->SetDataField("DESCRIPTION");
             C->SetReadOnly(true);
             C->SetDefaultAlignment(false);
             C->SetDefaultMaxLength(false);
             C->SetValidData({vdAlpha});
         })},
        {"KVDB", Dbrichedtkv::Register, &TDBRichEdtKV::ClassInfo(), Filler<TDBRichEdtKV>([](TDBRichEdtKV* C) {
             C->SetPlainText(true);
             C->SetEditorColor(clInfoBk);
             C->TabPos = 24;
         })},
    };
}

TEST(ControlsLibrary, EveryControlIsOnItsPalettePage) {
    std::map<std::string, std::vector<TComponentClass>> pages;
    for (const TControlCase& c : Controls()) {
        c.Register();
        pages[c.Page].push_back(c.Class);
        EXPECT_EQ(GetClass(c.Class->GetName()), c.Class) << c.Class->GetName();
        EXPECT_TRUE(c.Class->InheritsFrom(&TControl::ClassInfo())) << c.Class->GetName();
        EXPECT_FALSE(c.Class->IsAbstract()) << c.Class->GetName();
    }
    EXPECT_THAT(pages, testing::SizeIs(2));
    for (const auto& [page, classes] : pages)
        EXPECT_THAT(GetPaletteClasses(page), testing::UnorderedElementsAreArray(classes)) << page;
}

TEST(ControlsLibrary, EveryControlGoesToFormTextAndBack) {
    RegisterClass(&TDataSource::ClassInfo());
    for (const TControlCase& c : Controls()) {
        SCOPED_TRACE(c.Class->GetName());
        c.Register();
        TLibraryForm form(nullptr);
        auto* control = static_cast<TControl*>(c.Class->Create(&form));
        control->SetName("Ctl");
        control->SetParent(&form);
        AnsiString plain = WriteComponentToText(&form, TLibraryForm::ClassInfo());
        c.Fill(control);
        AnsiString text = WriteComponentToText(&form, TLibraryForm::ClassInfo());
        EXPECT_NE(text, plain) << "the filler changed no published property";
        EXPECT_THAT(text, testing::HasSubstr(AnsiString("object Ctl: ") + c.Class->GetName()));

        TLibraryForm copy(nullptr);
        ReadComponentFromText(text, &copy, TLibraryForm::ClassInfo());
        auto* read = dynamic_cast<TControl*>(copy.FindComponent("Ctl"));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->GetParent(), &copy);
        EXPECT_EQ(WriteComponentToText(&copy, TLibraryForm::ClassInfo()), text);
    }
}

} // namespace
