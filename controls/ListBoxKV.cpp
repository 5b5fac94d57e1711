#include "ListBoxKV.h"

KV_PUBLISHED_METACLASS(TListBoxKV, &TCustomListBoxKV::ClassInfo())

void TListBoxKV::Publish(TPublisher<TListBoxKV>& P) {
    P.Prop("MultiSelect", &TCustomListBox::GetMultiSelect, &TListBoxKV::SetMultiSelect).Default(false);
    P.Prop("HideSelection", &TListBoxKV::GetHideSelection, &TListBoxKV::SetHideSelection).Default(false);
    P.Prop("SelectOnEnter", &TListBoxKV::GetSelectOnEnter, &TListBoxKV::SetSelectOnEnter).Default(true);
    P.Prop("SelectOnDelete", &TListBoxKV::GetSelectOnDelete, &TListBoxKV::SetSelectOnDelete).Default(true);
    P.Prop("RButtonSelect", &TListBoxKV::GetRButtonSelect, &TListBoxKV::SetRButtonSelect).Default(false);
    P.Prop("AcceptDropFiles", &TListBoxKV::GetAcceptDropFiles, &TListBoxKV::SetAcceptDropFiles)
        .Default(false);
    P.Prop("OnDropFiles", &TListBoxKV::OnDropFiles, &TListBoxKV::OnDropFiles);
}

namespace Listboxkv {

void Register() {
    RegisterComponents("KV", {&TListBoxKV::ClassInfo()});
}

} // namespace Listboxkv
