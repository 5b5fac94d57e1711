// The rich-text document and the RTF writer.
#include "Rtf.h"

#include "RtfText.h"

#include <algorithm>

// ---- TRtfTabs -------------------------------------------------------------

TRtfTabs::TRtfTabs(std::vector<int> Tw) {
    if (!Tw.empty()) FTw = std::make_shared<const std::vector<int>>(std::move(Tw));
}

bool TRtfTabs::operator==(const TRtfTabs& Other) const {
    return SharesWith(Other) || std::equal(begin(), end(), Other.begin(), Other.end());
}

bool TRtfTabs::operator==(const std::vector<int>& Tw) const {
    return std::equal(begin(), end(), Tw.begin(), Tw.end());
}

// ---- TRtfDocument ---------------------------------------------------------

namespace {

// The index of Wanted in Table through Index, which knows the first Indexed
// entries; entries added to the table directly are taken in first, and a
// table that shrank or changed in place is indexed anew. Missing: Make()
// is added.
template <class Entry, class Key, class KeyOf, class MakeEntry>
int FindOrAdd(std::vector<Entry>& Table, std::unordered_map<Key, int>& Index, size_t& Indexed, const Key& Wanted,
              KeyOf Of, MakeEntry Make) {
    auto catchUp = [&] {
        for (; Indexed < Table.size(); ++Indexed)
            Index.emplace(Of(Table[Indexed]), static_cast<int>(Indexed)); // the first stays
    };
    if (Indexed > Table.size()) {
        Index.clear();
        Indexed = 0;
    }
    catchUp();
    auto it = Index.find(Wanted);
    if (it != Index.end() && !(Of(Table[static_cast<size_t>(it->second)]) == Wanted)) {
        Index.clear();
        Indexed = 0;
        catchUp();
        it = Index.find(Wanted);
    }
    if (it != Index.end()) return it->second;
    Table.push_back(Make());
    Index.emplace(Wanted, static_cast<int>(Indexed));
    return static_cast<int>(Indexed++);
}

std::uint32_t ColorKey(const TRtfColor& C) {
    return std::uint32_t{C.R} << 16 | std::uint32_t{C.G} << 8 | C.B;
}

} // namespace

TRtfDocument::TRtfDocument() : Paragraphs(1) {}

int TRtfDocument::FindOrAddFont(const AnsiString& Name) {
    return FindOrAdd(
        Fonts, FFontIndex, FFontsIndexed, Name, [](const TRtfFont& F) -> const AnsiString& { return F.Name; },
        [&] { return TRtfFont{Name, 0}; });
}

int TRtfDocument::FindOrAddColor(TRtfColor Color) {
    return FindOrAdd(Colors, FColorIndex, FColorsIndexed, ColorKey(Color), ColorKey, [&] { return Color; });
}

void TRtfDocument::AppendText(const TRtfCharFormat& Format, const AnsiString& Text) {
    if (Text.empty()) return;
    std::vector<TRtfRun>& runs = Paragraphs.back().Runs;
    if (!runs.empty() && runs.back().Format == Format)
        runs.back().Text += Text;
    else
        runs.push_back(TRtfRun{Format, Text});
}

AnsiString TRtfDocument::PlainText() const {
    AnsiString out;
    for (size_t p = 0; p < Paragraphs.size(); ++p) {
        if (p > 0) out += "\r\n";
        for (const TRtfRun& r : Paragraphs[p].Runs)
            out += r.Text;
    }
    return out;
}

namespace {

// What a format means, fonts and colours resolved against their document.
struct TResolvedFormat {
    const AnsiString* Font;
    int HalfPoints;
    bool Bold, Italic, Underline, StrikeOut;
    const TRtfColor* Color;
};

TResolvedFormat Resolve(const TRtfDocument& D, const TRtfCharFormat& F) {
    auto valid = [](int i, size_t n) { return i >= 0 && static_cast<size_t>(i) < n; };
    return TResolvedFormat{
        valid(F.Font, D.Fonts.size()) ? &D.Fonts[static_cast<size_t>(F.Font)].Name : nullptr,
        F.HalfPoints,
        F.Bold,
        F.Italic,
        F.Underline,
        F.StrikeOut,
        valid(F.Color, D.Colors.size()) ? &D.Colors[static_cast<size_t>(F.Color)] : nullptr};
}

bool SameFormat(const TRtfDocument& A, const TRtfCharFormat& FA, const TRtfDocument& B,
                const TRtfCharFormat& FB) {
    TResolvedFormat a = Resolve(A, FA), b = Resolve(B, FB);
    if ((a.Font == nullptr) != (b.Font == nullptr) || (a.Font && *a.Font != *b.Font)) return false;
    if ((a.Color == nullptr) != (b.Color == nullptr) || (a.Color && *a.Color != *b.Color)) return false;
    return a.HalfPoints == b.HalfPoints && a.Bold == b.Bold && a.Italic == b.Italic &&
           a.Underline == b.Underline && a.StrikeOut == b.StrikeOut;
}

} // namespace

bool SameDocument(const TRtfDocument& A, const TRtfDocument& B) {
    if (A.Paragraphs.size() != B.Paragraphs.size()) return false;
    for (size_t p = 0; p < A.Paragraphs.size(); ++p) {
        const TRtfParagraph &pa = A.Paragraphs[p], &pb = B.Paragraphs[p];
        if (!(pa.Format == pb.Format) || pa.Runs.size() != pb.Runs.size()) return false;
        if (!SameFormat(A, pa.MarkFormat, B, pb.MarkFormat)) return false;
        for (size_t r = 0; r < pa.Runs.size(); ++r)
            if (pa.Runs[r].Text != pb.Runs[r].Text || !SameFormat(A, pa.Runs[r].Format, B, pb.Runs[r].Format))
                return false;
    }
    return true;
}

// ---- Writer ---------------------------------------------------------------

namespace {

class TRtfWriter {
public:
    explicit TRtfWriter(const TRtfDocument& D) : FDoc(D) {}

    AnsiString Write() {
        FOut.reserve(1024);
        FOut += "{\\rtf1\\ansi\\ansicpg1252";
        if (!FDoc.Fonts.empty()) FOut += "\\deff0";
        FOut += "\\uc1\n";
        WriteFontTable();
        WriteColorTable();
        const TRtfParaFormat* last = nullptr;
        for (const TRtfParagraph& p : FDoc.Paragraphs) {
            WriteParagraph(p, last && p.Format == *last);
            last = &p.Format;
        }
        FOut += "}\n";
        return std::move(FOut);
    }

private:
    void Number(const char* Word, int Value) {
        FOut += Word;
        FOut += std::to_string(Value);
    }

    void WriteFontTable() {
        if (FDoc.Fonts.empty()) return;
        FOut += "{\\fonttbl";
        for (size_t i = 0; i < FDoc.Fonts.size(); ++i) {
            Number("{\\f", static_cast<int>(i));
            FOut += "\\fnil\\fcharset0 ";
            Text(FDoc.Fonts[i].Name, true);
            FOut += ";}";
        }
        FOut += "}\n";
    }

    void WriteColorTable() {
        if (FDoc.Colors.empty()) return;
        FOut += "{\\colortbl ;";
        for (const TRtfColor& c : FDoc.Colors) {
            Number("\\red", c.R);
            Number("\\green", c.G);
            Number("\\blue", c.B);
            FOut += ';';
        }
        FOut += "}\n";
    }

    // A paragraph's format holds until the next \pard: the paragraphs after
    // one of the same format say nothing of it, however many stops it has.
    // A bullet's text still goes with each, for readers that show only that.
    void WriteParagraph(const TRtfParagraph& P, bool SameFormat) {
        if (SameFormat)
            WriteBulletText(P.Format);
        else
            WriteParaFormat(P.Format);
        for (const TRtfRun& r : P.Runs) {
            CharFormat(r.Format);
            FOut += ' ';
            Text(r.Text, false);
        }
        // The mark takes the character format in force, like a run would.
        if (!FCharFormat || !(*FCharFormat == P.MarkFormat)) CharFormat(P.MarkFormat);
        FOut += "\\par\n";
    }

    void WriteBulletText(const TRtfParaFormat& F) {
        if (F.Bullet) FOut += "{\\pntext \\u8226\\'95\\tab}";
    }

    void WriteParaFormat(const TRtfParaFormat& f) {
        FOut += "\\pard";
        switch (f.Align) {
        case TRtfAlign::Center:
            FOut += "\\qc";
            break;
        case TRtfAlign::Right:
            FOut += "\\qr";
            break;
        case TRtfAlign::Justify:
            FOut += "\\qj";
            break;
        default:
            break;
        }
        if (f.LeftTw) Number("\\li", f.LeftTw);
        if (f.FirstTw) Number("\\fi", f.FirstTw);
        if (f.RightTw) Number("\\ri", f.RightTw);
        for (int t : f.TabsTw)
            Number("\\tx", t);
        WriteBulletText(f);
        if (f.Bullet) FOut += "{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\u8226\\'95}}";
    }

    void CharFormat(const TRtfCharFormat& F) {
        FCharFormat = &F;
        FOut += "\\plain";
        // Without a font table every run is in the reader's default font.
        if (!FDoc.Fonts.empty())
            Number("\\f", F.Font >= 0 && static_cast<size_t>(F.Font) < FDoc.Fonts.size() ? F.Font : 0);
        Number("\\fs", F.HalfPoints);
        if (F.Bold) FOut += "\\b";
        if (F.Italic) FOut += "\\i";
        if (F.Underline) FOut += "\\ul";
        if (F.StrikeOut) FOut += "\\strike";
        if (F.Color >= 0 && static_cast<size_t>(F.Color) < FDoc.Colors.size()) Number("\\cf", F.Color + 1);
    }

    // Text in RTF: ASCII as it stands, the rest as \u escapes; in the font
    // table a ';' would end the name.
    void Text(const AnsiString& S, bool InFontTable) {
        size_t i = 0;
        while (i < S.size()) {
            char32_t c = RtfText::NextCodePoint(S, i);
            switch (c) {
            case '\\':
                FOut += "\\\\";
                continue;
            case '{':
                FOut += "\\{";
                continue;
            case '}':
                FOut += "\\}";
                continue;
            case '\t':
                FOut += "\\tab ";
                continue;
            case '\n':
                FOut += "\\line ";
                continue;
            case 0xA0:
                FOut += "\\~";
                continue;
            case ';':
                FOut += InFontTable ? "\\'3b" : ";";
                continue;
            default:
                break;
            }
            if (c < 0x20 || c == 0x7F) continue;
            if (c < 0x80) {
                FOut += static_cast<char>(c);
                continue;
            }
            if (c > 0xFFFF) {
                char32_t v = c - 0x10000;
                Unicode(0xD800 + (v >> 10), '?');
                Unicode(0xDC00 + (v & 0x3FF), '?');
                continue;
            }
            Unicode(c, RtfText::ToCp1252(c));
        }
    }

    // The fallback goes as a hex escape: some readers take a plain fallback
    // character and the text after it for one word and skip both.
    void Unicode(char32_t Unit, int Fallback) {
        static const char Hex[] = "0123456789abcdef";
        Number("\\u", static_cast<std::int16_t>(static_cast<std::uint16_t>(Unit)));
        FOut += "\\'";
        FOut += Hex[(Fallback >> 4) & 0xF];
        FOut += Hex[Fallback & 0xF];
    }

    const TRtfDocument& FDoc;
    AnsiString FOut;
    const TRtfCharFormat* FCharFormat = nullptr; // the one last written, in force until the next
};

} // namespace

AnsiString WriteRtf(const TRtfDocument& Document) {
    return TRtfWriter(Document).Write();
}
