// The clipboard, as far as text goes.
#pragma once

#include "System.h"

constexpr unsigned CF_TEXT = 1;

class TClipboard {
public:
    bool HasFormat(unsigned Format) const; // CF_TEXT: there is text (possibly empty)
    AnsiString GetAsText() const;          // UTF-8; line breaks as CR LF
    void SetAsText(const AnsiString& Value);
    void Clear();
};

// The application's clipboard (needs the application object).
TClipboard& Clipboard();
