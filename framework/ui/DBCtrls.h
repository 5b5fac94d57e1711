// The data navigator: a row of buttons that move through a dataset and
// edit it, each enabled only when its action can run (First and Prior not
// at the start, Next and Last not at the end, Insert, Delete and Edit when
// the dataset can be changed, Post and Cancel while it is being edited).
// The navigator owns its buttons; they lie side by side over its width.
#pragma once

#include "Buttons.h"
#include "DB.h"
#include "ExtCtrls.h"

#include <array>

enum TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
KV_ENUM_TYPEINFO(TNavigateBtn, "nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete", "nbEdit",
                 "nbPost", "nbCancel", "nbRefresh")
using TButtonSet = TSet<TNavigateBtn, Word>;
inline constexpr TButtonSet AllNavigateButtons{nbFirst,  nbPrior, nbNext, nbLast,   nbInsert,
                                               nbDelete, nbEdit,  nbPost, nbCancel, nbRefresh};

using TNavClick = std::function<void(TObject* Sender, TNavigateBtn Button)>;

class TDBNavigator;

// One button of a navigator.
class TNavButton : public TSpeedButton {
public:
    TNavButton(TDBNavigator* Navigator, TNavigateBtn Index);
    TNavigateBtn GetIndex() const { return FIndex; }

private:
    TNavigateBtn FIndex;
};

class TNavDataLink : public TDataLink {
public:
    explicit TNavDataLink(TDBNavigator* Navigator) : FNavigator(Navigator) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;

private:
    TDBNavigator* FNavigator;
};

class TDBNavigator : public TCustomPanel {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDBNavigator>& P);

    explicit TDBNavigator(TComponent* AOwner);
    ~TDBNavigator() override;

    TDataSource* GetDataSource() const { return FDataLink ? FDataLink->GetDataSource() : nullptr; }
    void SetDataSource(TDataSource* Value);
    TButtonSet GetVisibleButtons() const { return FVisibleButtons; }
    void SetVisibleButtons(TButtonSet Value);
    // The buttons' hints in button order; an empty or missing line keeps the
    // button's own hint.
    TStrings* GetHints() const { return FHints.get(); }
    void SetHints(const TStrings* Value) { FHints->Assign(Value); }
    // Delete asks "Delete record?" first.
    bool GetConfirmDelete() const { return FConfirmDelete; }
    void SetConfirmDelete(bool Value) { FConfirmDelete = Value; }
    bool GetFlat() const { return FFlat; }
    void SetFlat(bool Value);
    TNavButton* GetButton(TNavigateBtn Index) const { return FButtons[static_cast<size_t>(Index)]; }

    // Runs the button's action on the dataset (BeforeAction first, OnClick after).
    virtual void BtnClick(TNavigateBtn Index);

    TNavClick BeforeAction;
    TNavClick OnNavClick; // published as OnClick

protected:
    friend class TNavDataLink;
    void Resize() override;
    void Dispatch(TMessage& Message) override;
    void Loaded() override;

    void ActiveChanged();
    void DataChanged();
    void EditingChanged();

private:
    void LayoutButtons();
    void HintsChanged();

    std::unique_ptr<TNavDataLink> FDataLink;
    std::array<TNavButton*, 10> FButtons{};
    std::unique_ptr<TStringList> FHints;
    TButtonSet FVisibleButtons = AllNavigateButtons;
    bool FConfirmDelete = true;
    bool FFlat = false;
};
