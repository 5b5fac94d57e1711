// The button edit as the palette offers it: publishes (and makes public)
// the button's properties.
#pragma once

#include "CustomBtnEditKV.h"

class TBtnEditKV : public TCustomBtnEditKV {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBtnEditKV>& P);
    using TCustomBtnEditKV::TCustomBtnEditKV;

    using TCustomBtnEditKV::GetBtnAllowAllUp;
    using TCustomBtnEditKV::GetBtnDown;
    using TCustomBtnEditKV::GetBtnEnabled;
    using TCustomBtnEditKV::GetBtnGlyph;
    using TCustomBtnEditKV::GetBtnGroupIndex;
    using TCustomBtnEditKV::GetBtnHint;
    using TCustomBtnEditKV::GetBtnLayout;
    using TCustomBtnEditKV::GetBtnMargin;
    using TCustomBtnEditKV::GetBtnNumGlyphs;
    using TCustomBtnEditKV::GetBtnShowHint;
    using TCustomBtnEditKV::GetBtnWidth;
    using TCustomBtnEditKV::SetBtnAllowAllUp;
    using TCustomBtnEditKV::SetBtnDown;
    using TCustomBtnEditKV::SetBtnEnabled;
    using TCustomBtnEditKV::SetBtnGlyph;
    using TCustomBtnEditKV::SetBtnGroupIndex;
    using TCustomBtnEditKV::SetBtnHint;
    using TCustomBtnEditKV::SetBtnLayout;
    using TCustomBtnEditKV::SetBtnMargin;
    using TCustomBtnEditKV::SetBtnNumGlyphs;
    using TCustomBtnEditKV::SetBtnShowHint;
    using TCustomBtnEditKV::SetBtnWidth;
};

namespace Btneditkv {

// Puts TBtnEditKV on the palette page "KV".
void Register();

} // namespace Btneditkv
