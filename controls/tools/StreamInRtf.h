// Fills a rich-text editor with RTF for the documentation pictures, through
// its inner rich edit as a stream would, so that the formatting shows.
#pragma once

#include "RichEdtKV.h"

#include <algorithm>
#include <functional>

// Returns the editor's inner rich edit (the one TRichEdit in it), now holding Rtf.
inline TRichEdit* StreamInRtf(TRichEdtKV& Rich, const AnsiString& Rtf) {
    Rich.SetText("");
    TEditStream stream;
    struct TSource {
        const AnsiString* Data;
        size_t At = 0;
    } source{&Rtf};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = [](DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) -> DWORD {
        auto* s = reinterpret_cast<TSource*>(Cookie);
        size_t n = std::min(static_cast<size_t>(Count), s->Data->size() - s->At);
        std::copy_n(s->Data->data() + s->At, n, Buffer);
        s->At += n;
        *Done = static_cast<LONG>(n);
        return 0;
    };
    std::function<TRichEdit*(TWinControl*)> find = [&](TWinControl* w) -> TRichEdit* {
        for (int i = 0; i < w->GetControlCount(); ++i) {
            if (auto* e = dynamic_cast<TRichEdit*>(w->GetControl(i))) return e;
            if (auto* c = dynamic_cast<TWinControl*>(w->GetControl(i)))
                if (TRichEdit* e = find(c)) return e;
        }
        return nullptr;
    };
    TRichEdit* edit = find(&Rich);
    edit->Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return edit;
}
