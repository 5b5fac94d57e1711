#include "BtnEditKV.h"

KV_PUBLISHED_METACLASS(TBtnEditKV, &TCustomBtnEditKV::ClassInfo())

void TBtnEditKV::Publish(TPublisher<TBtnEditKV>& P) {
    P.Prop("BtnHotKey", &TBtnEditKV::GetBtnHotKey, &TBtnEditKV::SetBtnHotKey).Default(true);
    P.Prop("OnBtnClick", &TBtnEditKV::OnBtnClick, &TBtnEditKV::OnBtnClick);
    P.Prop("BtnGlyph", &TBtnEditKV::GetBtnGlyph, &TBtnEditKV::SetBtnGlyph);
    P.Prop("BtnNumGlyphs", &TBtnEditKV::GetBtnNumGlyphs, &TBtnEditKV::SetBtnNumGlyphs).Default(1);
    P.Prop("BtnLayout", &TBtnEditKV::GetBtnLayout, &TBtnEditKV::SetBtnLayout).Default(blGlyphLeft);
    P.Prop("BtnMargin", &TBtnEditKV::GetBtnMargin, &TBtnEditKV::SetBtnMargin).Default(-1);
    P.Prop("BtnWidth", &TBtnEditKV::GetBtnWidth, &TBtnEditKV::SetBtnWidth).Default(0);
    P.Prop("BtnGroupIndex", &TBtnEditKV::GetBtnGroupIndex, &TBtnEditKV::SetBtnGroupIndex).Default(0);
    P.Prop("BtnHint", &TBtnEditKV::GetBtnHint, &TBtnEditKV::SetBtnHint);
    P.Prop("BtnShowHint", &TBtnEditKV::GetBtnShowHint, &TBtnEditKV::SetBtnShowHint).Default(false);
    P.Prop("BtnEnabled", &TBtnEditKV::GetBtnEnabled, &TBtnEditKV::SetBtnEnabled).Default(true);
    P.Prop("BtnDown", &TBtnEditKV::GetBtnDown, &TBtnEditKV::SetBtnDown).Default(false);
    P.Prop("BtnAllowAllUp", &TBtnEditKV::GetBtnAllowAllUp, &TBtnEditKV::SetBtnAllowAllUp).Default(false);
}

namespace Btneditkv {

void Register() {
    RegisterComponents("KV", {&TBtnEditKV::ClassInfo()});
}

} // namespace Btneditkv
