// Rich text as the rich edit holds it, and its RTF form: a reader for RTF 1.x
// as other programs write it and a writer for what the editor holds. Neither
// needs a window; the rich edit converts between this document and its own.
//
// Text is UTF-8. Inside a run, '\t' is a tab and '\n' a line break within the
// paragraph; paragraphs are separate. Measures are twips (20 to the point).
#pragma once

#include "SysUtils.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <vector>

FRAMEWORK_EXCEPTION(ERtfError, EConvertError);

enum class TRtfAlign : std::uint8_t { Left, Center, Right, Justify };

struct TRtfColor {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRtfColor&) const = default;
};

struct TRtfFont {
    AnsiString Name;
    int Charset = 0; // as read; decides the code page of \'hh text in this font
};

struct TRtfCharFormat {
    int Font = -1;       // index into TRtfDocument::Fonts; -1 none
    int HalfPoints = 24; // size in half points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int Color = -1; // index into TRtfDocument::Colors; -1 automatic (window text)
    bool operator==(const TRtfCharFormat&) const = default;
};

constexpr int RtfMaxTabs = 32;

// Tab stops in twips: ascending, positive, at most RtfMaxTabs. A value whose
// copies share one list, so that paragraphs with the same stops, however
// many, hold them once.
class TRtfTabs {
public:
    using value_type = int;
    using const_iterator = const int*;
    using iterator = const_iterator;

    TRtfTabs() = default;
    TRtfTabs(std::vector<int> Tw);
    TRtfTabs(std::initializer_list<int> Tw) : TRtfTabs(std::vector<int>(Tw)) {}

    const int* begin() const { return FTw ? FTw->data() : nullptr; }
    const int* end() const { return FTw ? FTw->data() + FTw->size() : nullptr; }
    size_t size() const { return FTw ? FTw->size() : 0; }
    bool empty() const { return size() == 0; }
    int operator[](size_t I) const { return (*FTw)[I]; }
    // Whether both hold the same list: equal stops, told without comparing them.
    bool SharesWith(const TRtfTabs& Other) const { return FTw == Other.FTw; }

    bool operator==(const TRtfTabs& Other) const;
    bool operator==(const std::vector<int>& Tw) const;

private:
    std::shared_ptr<const std::vector<int>> FTw; // null: no stops
};

// Indents as RTF holds them: LeftTw places every line, FirstTw moves the
// first line relative to it.
struct TRtfParaFormat {
    TRtfAlign Align = TRtfAlign::Left;
    bool Bullet = false;
    int LeftTw = 0;
    int FirstTw = 0;
    int RightTw = 0;
    TRtfTabs TabsTw;
    bool operator==(const TRtfParaFormat&) const = default;
};

struct TRtfRun {
    TRtfCharFormat Format;
    AnsiString Text;
};

struct TRtfParagraph {
    TRtfParaFormat Format;
    std::vector<TRtfRun> Runs; // no empty runs; neighbours differ in format
    TRtfCharFormat MarkFormat; // the paragraph mark's format (what an empty line shows)
};

struct TRtfDocument {
    std::vector<TRtfFont> Fonts;
    std::vector<TRtfColor> Colors;
    std::vector<TRtfParagraph> Paragraphs; // at least one

    TRtfDocument();
    // The index of the first font of that name (colour of that value),
    // added when there is none; found in constant time, however long the
    // table. Entries put into the tables directly count from the next call.
    int FindOrAddFont(const AnsiString& Name);
    int FindOrAddColor(TRtfColor Color);
    // Appends text in a format to the last paragraph, merging with its last run.
    void AppendText(const TRtfCharFormat& Format, const AnsiString& Text);
    // The text, paragraphs joined with CR LF.
    AnsiString PlainText() const;

private:
    // Where each name and value first stands, for the first so many entries.
    std::unordered_map<AnsiString, int> FFontIndex;
    std::unordered_map<std::uint32_t, int> FColorIndex;
    size_t FFontsIndexed = 0, FColorsIndexed = 0;
};

// Same text and the same formatting, fonts and colours compared by name and value.
bool SameDocument(const TRtfDocument& A, const TRtfDocument& B);

// Whether the data starts as RTF does ("{\rtf", after blanks).
bool LooksLikeRtf(const char* Data, size_t Size);

// Reads RTF. Damaged input reads as far as it makes sense; only data that is
// no RTF at all raises ERtfError. Memory stays in proportion to the input.
TRtfDocument ReadRtf(const char* Data, size_t Size);
inline TRtfDocument ReadRtf(const AnsiString& Data) {
    return ReadRtf(Data.data(), Data.size());
}

// Writes the document as RTF 1.5 (ASCII; other characters as \u escapes with
// a code-page 1252 fallback).
AnsiString WriteRtf(const TRtfDocument& Document);
