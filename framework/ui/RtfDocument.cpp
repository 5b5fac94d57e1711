// The rich-text document and the RTF writer.
#include "Rtf.h"

#include "RtfText.h"

// ---- TRtfDocument ---------------------------------------------------------

TRtfDocument::TRtfDocument() : Paragraphs(1) {}

int TRtfDocument::FindOrAddFont(const AnsiString& Name) {
    for (size_t i = 0; i < Fonts.size(); ++i)
        if (Fonts[i].Name == Name) return static_cast<int>(i);
    Fonts.push_back(TRtfFont{Name, 0});
    return static_cast<int>(Fonts.size() - 1);
}

int TRtfDocument::FindOrAddColor(TRtfColor Color) {
    for (size_t i = 0; i < Colors.size(); ++i)
        if (Colors[i] == Color) return static_cast<int>(i);
    Colors.push_back(Color);
    return static_cast<int>(Colors.size() - 1);
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
        for (const TRtfParagraph& p : FDoc.Paragraphs)
            WriteParagraph(p);
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

    void WriteParagraph(const TRtfParagraph& P) {
        const TRtfParaFormat& f = P.Format;
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
        if (f.Bullet)
            FOut += "{\\pntext \\u8226\\'95\\tab}{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\u8226\\'95}}";
        const TRtfCharFormat* last = nullptr;
        for (const TRtfRun& r : P.Runs) {
            CharFormat(r.Format);
            FOut += ' ';
            Text(r.Text, false);
            last = &r.Format;
        }
        if (!last || !(*last == P.MarkFormat)) CharFormat(P.MarkFormat);
        FOut += "\\par\n";
    }

    void CharFormat(const TRtfCharFormat& F) {
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
};

} // namespace

AnsiString WriteRtf(const TRtfDocument& Document) {
    return TRtfWriter(Document).Write();
}
