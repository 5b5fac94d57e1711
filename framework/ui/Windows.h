// Win32 functions the controls call that belong to no other unit of the
// framework: the font-family enumeration, over Qt's font database.
#pragma once

#include "Messages.h"

// A font as the enumeration describes it. The face name is held whole.
struct LOGFONT {
    int lfHeight = 0;
    int lfWeight = 400; // 400 normal, 700 bold
    Byte lfItalic = 0;
    Byte lfPitchAndFamily = 0;
    AnsiString lfFaceName;
};

// Measures of the font at the size of LOGFONT::lfHeight, in pixels.
struct TEXTMETRIC {
    int tmHeight = 0;
    int tmAscent = 0;
    int tmDescent = 0;
    int tmAveCharWidth = 0;
    int tmMaxCharWidth = 0;
    int tmWeight = 400;
};

constexpr Byte FIXED_PITCH = 1;
constexpr Byte VARIABLE_PITCH = 2;
constexpr Cardinal RASTER_FONTTYPE = 0x0001;
constexpr Cardinal TRUETYPE_FONTTYPE = 0x0004;

// Called once per font; returning 0 ends the enumeration.
using FONTENUMPROC = int (*)(const LOGFONT* LogFont, const TEXTMETRIC* Metric, Cardinal FontType,
                             LPARAM Data);

// With an empty Family, Proc sees one font of each installed family;
// otherwise each style of that family. Returns what Proc returned last (0
// when it was never called).
int EnumFontFamilies(const AnsiString& Family, FONTENUMPROC Proc, LPARAM Data);
