// The RTF reader: one pass over the bytes with an explicit stack of group
// states, so that nesting costs heap in proportion to the input and never
// the machine stack. Destinations it does not show are skipped whole by a
// scan that pushes nothing.
#include "Rtf.h"

#include "RtfText.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <unordered_map>

namespace {

// Deeper groups are skipped whole: no program nests formatting this deep,
// and the bound keeps the state stack small.
constexpr size_t MaxDepth = 2000;
constexpr int MaxIndentTw = 31680; // 22 inches
constexpr int MaxHalfPoints = 3276;

enum class TKw : std::uint8_t {
    // destinations
    Fonttbl,
    Colortbl,
    Pn,
    SkipDest,
    // character format
    Plain,
    F,
    Fs,
    B,
    I,
    Ul,
    UlNone,
    Strike,
    Cf,
    // paragraph format
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Li,
    Ri,
    Fi,
    Tx,
    Ls,
    PnLvlBlt,
    PnLvlBody,
    // text
    Par,
    Sect,
    Line,
    Tab,
    Cell,
    Char, // a character of its own (\emdash, \bullet, ...)
    U,
    Uc,
    Bin,
    // code pages and tables
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    FCharset,
    Cpg,
    Red,
    Green,
    Blue,
};

struct TKwInfo {
    TKw Kw;
    char32_t Char = 0;
};

// The kinds of underline, all read as underline.
constexpr std::string_view UnderlineWords =
    "uld uldash uldashd uldashdd uldb ulhwave ulldash ulth ulthd ulthdash ulthdashd ulthdashdd "
    "ulthldash ululdbwave ulw ulwave ";

// Destinations that hold no text of the document, skipped whole.
constexpr std::string_view SkippedDestinations =
    "aftncn aftnsep aftnsepc annotation atnauthor atndate atnid atnparent atnref atntime atrfend "
    "atrfstart author bkmkend bkmkstart buptim category colorschememapping comment company creatim "
    "datafield datastore defchp defpap do doccomm docvar falt fchars fldinst footer footerf footerl "
    "footerr footnote ftncn ftnsep ftnsepc generator header headerf headerl headerr hlinkbase info "
    "keywords latentstyles lchars listoverridetable listpicture listtable listtext manager mmathPr "
    "nonshppict object objdata operator panose pgdsctbl pict pntext pntxta pntxtb printim private "
    "propname protusertbl revtbl revtim rsidtbl rxe shp shpinst shppict shprslt shptxt sp stylesheet "
    "subject tc template themedata title txe userprops wgrffmtfilter xe xmlnstbl fontemb fontfile "
    "file filetbl result oldcprops oldpprops oldsprops oldtprops tcn ud ";

const std::unordered_map<std::string_view, TKwInfo>& Keywords() {
    static const std::unordered_map<std::string_view, TKwInfo> map = [] {
        std::unordered_map<std::string_view, TKwInfo> m = {
            {"fonttbl", {TKw::Fonttbl}},
            {"colortbl", {TKw::Colortbl}},
            {"pn", {TKw::Pn}},
            {"plain", {TKw::Plain}},
            {"f", {TKw::F}},
            {"fs", {TKw::Fs}},
            {"b", {TKw::B}},
            {"i", {TKw::I}},
            {"ul", {TKw::Ul}},
            {"ulnone", {TKw::UlNone}},
            {"strike", {TKw::Strike}},
            {"striked", {TKw::Strike}},
            {"cf", {TKw::Cf}},
            {"pard", {TKw::Pard}},
            {"ql", {TKw::Ql}},
            {"qc", {TKw::Qc}},
            {"qr", {TKw::Qr}},
            {"qj", {TKw::Qj}},
            {"qd", {TKw::Qj}},
            {"li", {TKw::Li}},
            {"ri", {TKw::Ri}},
            {"fi", {TKw::Fi}},
            {"tx", {TKw::Tx}},
            {"tb", {TKw::Tx}},
            {"ls", {TKw::Ls}},
            {"pnlvlblt", {TKw::PnLvlBlt}},
            {"pnlvlbody", {TKw::PnLvlBody}},
            {"par", {TKw::Par}},
            {"sect", {TKw::Sect}},
            {"row", {TKw::Par}},
            {"nestrow", {TKw::Par}},
            {"line", {TKw::Line}},
            {"tab", {TKw::Tab}},
            {"cell", {TKw::Cell}},
            {"nestcell", {TKw::Cell}},
            {"emdash", {TKw::Char, 0x2014}},
            {"endash", {TKw::Char, 0x2013}},
            {"emspace", {TKw::Char, 0x2003}},
            {"enspace", {TKw::Char, 0x2002}},
            {"qmspace", {TKw::Char, 0x2005}},
            {"bullet", {TKw::Char, 0x2022}},
            {"lquote", {TKw::Char, 0x2018}},
            {"rquote", {TKw::Char, 0x2019}},
            {"ldblquote", {TKw::Char, 0x201C}},
            {"rdblquote", {TKw::Char, 0x201D}},
            {"u", {TKw::U}},
            {"uc", {TKw::Uc}},
            {"bin", {TKw::Bin}},
            {"ansi", {TKw::Ansi}},
            {"mac", {TKw::Mac}},
            {"pc", {TKw::Pc}},
            {"pca", {TKw::Pca}},
            {"ansicpg", {TKw::AnsiCpg}},
            {"deff", {TKw::Deff}},
            {"fcharset", {TKw::FCharset}},
            {"cpg", {TKw::Cpg}},
            {"red", {TKw::Red}},
            {"green", {TKw::Green}},
            {"blue", {TKw::Blue}},
        };
        auto add = [&m](std::string_view Words, TKw Kw) {
            while (!Words.empty()) {
                size_t end = Words.find(' ');
                if (end != 0) m.emplace(Words.substr(0, end), TKwInfo{Kw});
                Words.remove_prefix(end == std::string_view::npos ? Words.size() : end + 1);
            }
        };
        add(UnderlineWords, TKw::Ul);
        add(SkippedDestinations, TKw::SkipDest);
        return m;
    }();
    return map;
}

enum class TDest : std::uint8_t { Text, Skip, FontTable, ColorTable, PnDef };

struct TState {
    TDest Dest = TDest::Text;
    int Uc = 1;
    // character format, RTF numbers
    int FontNo = -1; // -1: the default font
    int HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    int ColorNo = 0;
    // paragraph format
    TRtfAlign Align = TRtfAlign::Left;
    int Li = 0, Fi = 0, Ri = 0;
    bool Bullet = false;
    int TabCount = 0;
    std::array<int, RtfMaxTabs> Tabs{};

    void ResetChar() {
        FontNo = -1;
        HalfPoints = 24;
        Bold = Italic = Underline = StrikeOut = false;
        ColorNo = 0;
    }
    void ResetPara() {
        Align = TRtfAlign::Left;
        Li = Fi = Ri = 0;
        Bullet = false;
        TabCount = 0;
    }
    // Keeps the stops sorted and unique, the smallest RtfMaxTabs of them.
    void AddTab(int Tw) {
        if (Tw <= 0 || Tw > MaxIndentTw) return;
        int* end = Tabs.data() + TabCount;
        int* at = std::lower_bound(Tabs.data(), end, Tw);
        if (at != end && *at == Tw) return;
        if (TabCount == RtfMaxTabs) {
            if (at == end) return;
            --TabCount;
            --end;
        }
        std::copy_backward(at, end, end + 1);
        *at = Tw;
        ++TabCount;
    }
};

int CodePageOfCharset(int Charset, int DocCodePage) {
    switch (Charset) {
    case 0:
    case 2: // symbol fonts: their bytes read as Latin text, as far as text goes
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return DocCodePage;
    }
}

bool IsMultiByte(int CodePage) {
    return CodePage == 932 || CodePage == 936 || CodePage == 949 || CodePage == 950 || CodePage == 1361;
}

// Code pages other than 1252 through the C library's converters, opened once each.
class TCodePages {
public:
    ~TCodePages() {
        for (auto& [page, cd] : FOpen)
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }

    void Decode(int CodePage, const std::string& Bytes, AnsiString& Out) {
        iconv_t cd = CodePage == 1252 ? reinterpret_cast<iconv_t>(-1) : Converter(CodePage);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            for (unsigned char b : Bytes)
                AppendUtf8(Out, RtfText::FromCp1252(b));
            return;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(Bytes.data());
        size_t inLeft = Bytes.size();
        while (inLeft > 0) {
            char buf[512];
            char* out = buf;
            size_t outLeft = sizeof buf;
            size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
            Out.append(buf, static_cast<size_t>(out - buf));
            if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
            // A byte the code page does not know, or a character cut short.
            AppendUtf8(Out, 0xFFFD);
            if (errno != EILSEQ) break;
            ++in;
            --inLeft;
        }
    }

private:
    iconv_t Converter(int CodePage) {
        auto it = FOpen.find(CodePage);
        if (it != FOpen.end()) return it->second;
        std::string name;
        switch (CodePage) {
        case 950:
            name = "BIG5";
            break;
        case 1361:
            name = "JOHAB";
            break;
        case 10000:
            name = "MACINTOSH";
            break;
        default:
            name = "CP" + std::to_string(CodePage);
            break;
        }
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        FOpen.emplace(CodePage, cd);
        return cd;
    }
    std::map<int, iconv_t> FOpen;
};

class TRtfReader {
public:
    TRtfReader(const char* Data, size_t Size)
        : P(reinterpret_cast<const unsigned char*>(Data)), End(P + Size) {}

    TRtfDocument Read() {
        while (P < End && (*P == ' ' || *P == '\t' || *P == '\r' || *P == '\n'))
            ++P;
        while (P < End && !FEnded) {
            if (S.Dest == TDest::Skip) {
                ScanToGroupEnd();
                PopGroup();
                continue;
            }
            unsigned char c = *P++;
            switch (c) {
            case '{':
                Flush();
                FSkip = 0;
                PushGroup();
                break;
            case '}':
                Flush();
                FSkip = 0;
                PopGroup();
                break;
            case '\\':
                Backslash();
                break;
            case '\r':
            case '\n':
                break;
            default:
                if (FSkip > 0) {
                    --FSkip;
                    break;
                }
                if (c >= 0x80)
                    PutByte(c);
                else if (c == ';' && S.Dest == TDest::FontTable)
                    EndFontEntry();
                else if (c == ';' && S.Dest == TDest::ColorTable)
                    EndColorEntry();
                else if (c == '\t' || c >= 0x20)
                    PutChar(c == 0x7F ? 0 : c);
                break;
            }
        }
        Flush();
        if (!FEnded) EndDocument();
        return std::move(Doc);
    }

private:
    // ---- groups

    void PushGroup() {
        if (FStack.size() >= MaxDepth) {
            ScanToGroupEnd();
            return;
        }
        FStack.push_back(S);
    }

    void PopGroup() {
        if (S.Dest == TDest::FontTable && FTableEntryOpen) EndFontEntry();
        if (FStack.empty()) return;
        if (FStack.size() == 1) {
            // The document's own group closes: what follows is not read.
            EndDocument();
            FEnded = true;
            return;
        }
        bool bullet = S.Dest == TDest::PnDef && S.Bullet;
        FFormatDirty = true;
        S = FStack.back();
        FStack.pop_back();
        if (bullet) S.Bullet = true;
    }

    // Moves past the '}' that closes the group being read, without reading it.
    void ScanToGroupEnd() {
        int depth = 1;
        while (P < End) {
            unsigned char c = *P++;
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (--depth == 0) return;
            } else if (c == '\\' && P < End) {
                if (IsLetter(*P)) {
                    std::string_view word;
                    bool hasParam;
                    int param;
                    ReadWord(word, hasParam, param);
                    if (word == "bin" && hasParam && param > 0) SkipBytes(param);
                } else {
                    ++P;
                }
            }
        }
    }

    void SkipBytes(int Count) {
        size_t n = std::min(static_cast<size_t>(Count), static_cast<size_t>(End - P));
        P += n;
    }

    // ---- tokens

    static bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static int HexValue(unsigned char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // At the first letter of a control word: reads its name, its parameter
    // (saturated to the int range) and the space that may end it.
    void ReadWord(std::string_view& Word, bool& HasParam, int& Param) {
        const unsigned char* start = P;
        while (P < End && IsLetter(*P))
            ++P;
        Word = std::string_view(reinterpret_cast<const char*>(start),
                                std::min<size_t>(static_cast<size_t>(P - start), 32));
        HasParam = false;
        Param = 0;
        bool negative = false;
        if (P < End && *P == '-' && P + 1 < End && *(P + 1) >= '0' && *(P + 1) <= '9') {
            negative = true;
            ++P;
        }
        long long value = 0;
        while (P < End && *P >= '0' && *P <= '9') {
            HasParam = true;
            value = std::min<long long>(value * 10 + (*P - '0'), 0x7FFFFFFF);
            ++P;
        }
        Param = static_cast<int>(negative ? -value : value);
        if (P < End && *P == ' ') ++P;
    }

    void Backslash() {
        if (P >= End) return;
        unsigned char c = *P;
        if (IsLetter(c)) {
            std::string_view word;
            bool hasParam;
            int param;
            ReadWord(word, hasParam, param);
            bool ignorable = FIgnorable;
            FIgnorable = false;
            if (FSkip > 0) {
                --FSkip;
                if (word == "bin" && hasParam && param > 0) SkipBytes(param);
                return;
            }
            ControlWord(word, hasParam, param, ignorable);
            return;
        }
        ++P;
        if (c == '\'') {
            int hi = P < End ? HexValue(*P) : -1;
            int lo = P + 1 < End ? HexValue(*(P + 1)) : -1;
            if (hi < 0 || lo < 0) {
                // A broken escape: its two characters are no text.
                P += std::min<size_t>(2, static_cast<size_t>(End - P));
                return;
            }
            P += 2;
            if (FSkip > 0) {
                --FSkip;
                return;
            }
            PutByte(static_cast<unsigned char>(hi * 16 + lo));
            return;
        }
        if (c == '*') {
            FIgnorable = true;
            return;
        }
        if (FSkip > 0) {
            --FSkip;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            PutChar(c);
            break;
        case '~':
            PutChar(0xA0);
            break;
        case '_':
            PutChar(0x2011);
            break;
        case '\r':
        case '\n':
            Paragraph();
            break;
        default: // \- optional hyphen, \| \: and unknown symbols
            break;
        }
    }

    void ControlWord(std::string_view Word, bool HasParam, int Param, bool Ignorable) {
        FFormatDirty = true;
        const auto& map = Keywords();
        auto it = map.find(Word);
        if (it == map.end()) {
            // An unknown destination marked as such is skipped whole; other
            // unknown words are left out and the text goes on.
            if (Ignorable) S.Dest = TDest::Skip;
            return;
        }
        const TKwInfo& info = it->second;
        bool on = !HasParam || Param != 0;
        switch (info.Kw) {
        case TKw::Fonttbl:
            Flush();
            S.Dest = TDest::FontTable;
            break;
        case TKw::Colortbl:
            Flush();
            S.Dest = TDest::ColorTable;
            FColorMap.clear();
            FColorSet = false;
            FRed = FGreen = FBlue = 0;
            break;
        case TKw::Pn:
            S.Dest = TDest::PnDef;
            break;
        case TKw::SkipDest:
            S.Dest = TDest::Skip;
            break;
        case TKw::Plain:
            Flush();
            S.ResetChar();
            break;
        case TKw::F:
            Flush();
            if (S.Dest == TDest::FontTable) {
                if (FTableEntryOpen) EndFontEntry();
                FTableEntryOpen = true;
                FTableFontNo = Param;
                FTableCharset = -1;
                FTableCodePage = 0;
                FTableName.clear();
            } else {
                S.FontNo = Param;
            }
            break;
        case TKw::Fs:
            S.HalfPoints = HasParam && Param > 0 ? std::min(Param, MaxHalfPoints) : 24;
            break;
        case TKw::B:
            S.Bold = on;
            break;
        case TKw::I:
            S.Italic = on;
            break;
        case TKw::Ul:
            S.Underline = on;
            break;
        case TKw::UlNone:
            S.Underline = false;
            break;
        case TKw::Strike:
            S.StrikeOut = on;
            break;
        case TKw::Cf:
            S.ColorNo = Param;
            break;
        case TKw::Pard:
            S.ResetPara();
            break;
        case TKw::Ql:
            S.Align = TRtfAlign::Left;
            break;
        case TKw::Qc:
            S.Align = TRtfAlign::Center;
            break;
        case TKw::Qr:
            S.Align = TRtfAlign::Right;
            break;
        case TKw::Qj:
            S.Align = TRtfAlign::Justify;
            break;
        case TKw::Li:
            S.Li = std::clamp(Param, -MaxIndentTw, MaxIndentTw);
            break;
        case TKw::Ri:
            S.Ri = std::clamp(Param, -MaxIndentTw, MaxIndentTw);
            break;
        case TKw::Fi:
            S.Fi = std::clamp(Param, -MaxIndentTw, MaxIndentTw);
            break;
        case TKw::Tx:
            S.AddTab(Param);
            break;
        case TKw::Ls:
            S.Bullet = Param > 0;
            break;
        case TKw::PnLvlBlt:
        case TKw::PnLvlBody:
            if (S.Dest == TDest::PnDef) S.Bullet = true;
            break;
        case TKw::Par:
            Paragraph();
            break;
        case TKw::Sect:
            // A section ends its paragraph; after a paragraph mark it opens no empty one.
            Flush();
            if (!FRunText.empty() || !Doc.Paragraphs.back().Runs.empty()) Paragraph();
            break;
        case TKw::Line:
            PutChar('\n');
            break;
        case TKw::Tab:
        case TKw::Cell:
            PutChar('\t');
            break;
        case TKw::Char:
            PutChar(info.Char);
            break;
        case TKw::U: {
            int unit = Param < 0 ? Param + 65536 : Param;
            PutUnit(static_cast<char32_t>(unit & 0xFFFF));
            FSkip = S.Uc;
            break;
        }
        case TKw::Uc:
            S.Uc = std::clamp(Param, 0, 16);
            break;
        case TKw::Bin:
            if (HasParam && Param > 0) SkipBytes(Param);
            break;
        case TKw::Ansi:
            FDocCodePage = 1252;
            break;
        case TKw::Mac:
            FDocCodePage = 10000;
            break;
        case TKw::Pc:
            FDocCodePage = 437;
            break;
        case TKw::Pca:
            FDocCodePage = 850;
            break;
        case TKw::AnsiCpg:
            if (Param > 0 && Param < 65536) FDocCodePage = Param;
            break;
        case TKw::Deff:
            FDefaultFontNo = Param;
            break;
        case TKw::FCharset:
            if (S.Dest == TDest::FontTable) FTableCharset = Param;
            break;
        case TKw::Cpg:
            if (S.Dest == TDest::FontTable && Param > 0 && Param < 65536) FTableCodePage = Param;
            break;
        case TKw::Red:
            FRed = std::clamp(Param, 0, 255);
            FColorSet = true;
            break;
        case TKw::Green:
            FGreen = std::clamp(Param, 0, 255);
            FColorSet = true;
            break;
        case TKw::Blue:
            FBlue = std::clamp(Param, 0, 255);
            FColorSet = true;
            break;
        }
    }

    // ---- text

    struct TFontInfo {
        int Index;    // into Doc.Fonts
        int CodePage; // of its \'hh bytes
    };

    const TFontInfo* FontOf(int FontNo) const {
        auto it = FFonts.find(FontNo < 0 ? FDefaultFontNo : FontNo);
        if (it == FFonts.end() && FontNo >= 0) it = FFonts.find(FDefaultFontNo);
        return it == FFonts.end() ? nullptr : &it->second;
    }

    int CurrentCodePage() const {
        if (S.Dest == TDest::FontTable)
            return FTableCodePage ? FTableCodePage : CodePageOfCharset(FTableCharset, FDocCodePage);
        const TFontInfo* f = FontOf(S.FontNo);
        return f ? f->CodePage : FDocCodePage;
    }

    // A byte of the code page: gathered, since a character may take two.
    void PutByte(unsigned char B) {
        if (S.Dest != TDest::Text && S.Dest != TDest::FontTable) return;
        int page = CurrentCodePage();
        if (!FPending.empty() && page != FPendingPage) Flush();
        FPendingPage = page;
        FPending += static_cast<char>(B);
    }

    void Flush() {
        if (FPending.empty()) return;
        AnsiString text;
        FCodePages.Decode(FPendingPage, FPending, text);
        FPending.clear();
        size_t i = 0;
        while (i < text.size())
            PutCodePoint(RtfText::NextCodePoint(text, i));
    }

    // A UTF-16 unit of \u: surrogate halves pair up.
    void PutUnit(char32_t Unit) {
        Flush();
        if (Unit >= 0xDC00 && Unit <= 0xDFFF && FHighSurrogate) {
            char32_t c = 0x10000 + ((FHighSurrogate - 0xD800) << 10) + (Unit - 0xDC00);
            FHighSurrogate = 0;
            PutCodePoint(c);
            return;
        }
        if (Unit >= 0xD800 && Unit <= 0xDBFF) {
            if (FHighSurrogate) PutCodePoint(0xFFFD);
            FHighSurrogate = Unit;
            return;
        }
        PutCodePoint(Unit);
    }

    void PutChar(char32_t C) {
        if (!FPending.empty()) {
            // A trail byte of a two-byte code page may stand as plain ASCII.
            if (IsMultiByte(FPendingPage) && C >= 0x20 && C < 0x7F) {
                FPending += static_cast<char>(C);
                return;
            }
            Flush();
        }
        PutCodePoint(C);
    }

    void PutCodePoint(char32_t C) {
        if (FHighSurrogate) {
            FHighSurrogate = 0;
            PutCodePoint(0xFFFD);
        }
        if (C == 0x2028 || C == 0x2029) C = '\n';
        if ((C < 0x20 && C != '\t' && C != '\n') || C == 0x7F || (C >= 0x80 && C < 0xA0) ||
            (C >= 0xD800 && C <= 0xDFFF))
            return;
        switch (S.Dest) {
        case TDest::Text:
            if (!FRunFormatValid || FFormatDirty) {
                TRtfCharFormat now = CharFormatNow();
                FFormatDirty = false;
                if (FRunFormatValid && !(now == FRunFormat)) FlushRun();
                FRunFormat = now;
                FRunFormatValid = true;
            }
            AppendUtf8(FRunText, C);
            break;
        case TDest::FontTable:
            if (FTableEntryOpen && C != '\n' && C != '\t') AppendUtf8(FTableName, C);
            break;
        default:
            break;
        }
    }

    TRtfCharFormat CharFormatNow() const {
        TRtfCharFormat f;
        const TFontInfo* font = FontOf(S.FontNo);
        f.Font = font ? font->Index : Doc.Fonts.empty() ? -1 : 0;
        f.HalfPoints = S.HalfPoints;
        f.Bold = S.Bold;
        f.Italic = S.Italic;
        f.Underline = S.Underline;
        f.StrikeOut = S.StrikeOut;
        f.Color = S.ColorNo > 0 && static_cast<size_t>(S.ColorNo) < FColorMap.size()
                      ? FColorMap[static_cast<size_t>(S.ColorNo)]
                      : -1;
        return f;
    }

    void FlushRun() {
        if (FRunFormatValid && !FRunText.empty()) Doc.AppendText(FRunFormat, FRunText);
        FRunText.clear();
        FRunFormatValid = false;
    }

    void FinishParagraph() {
        Flush();
        FlushRun();
        TRtfParagraph& p = Doc.Paragraphs.back();
        p.Format.Align = S.Align;
        p.Format.LeftTw = S.Li;
        p.Format.FirstTw = S.Fi;
        p.Format.RightTw = S.Ri;
        p.Format.Bullet = S.Bullet;
        p.Format.TabsTw = TabsNow();
        p.MarkFormat = CharFormatNow();
    }

    // The state's stops as a list shared with every paragraph that has the
    // same: a document holds each set of stops once, however many paragraphs
    // carry it.
    TRtfTabs TabsNow() {
        const int* tabs = S.Tabs.data();
        const int* end = tabs + S.TabCount;
        if (tabs == end) return TRtfTabs();
        if (std::equal(tabs, end, FLastTabs.begin(), FLastTabs.end())) return FLastTabs;
        size_t hash = 14695981039346656037u;
        for (const int* t = tabs; t != end; ++t)
            hash = (hash ^ static_cast<unsigned>(*t)) * 1099511628211u;
        auto [first, last] = FTabsSeen.equal_range(hash);
        for (auto it = first; it != last; ++it)
            if (std::equal(tabs, end, it->second.begin(), it->second.end())) return FLastTabs = it->second;
        FLastTabs = TRtfTabs(std::vector<int>(tabs, end));
        FTabsSeen.emplace(hash, FLastTabs);
        return FLastTabs;
    }

    void Paragraph() {
        if (S.Dest != TDest::Text) return;
        FinishParagraph();
        Doc.Paragraphs.emplace_back();
    }

    void EndDocument() {
        Flush();
        FlushRun();
        TRtfParagraph& last = Doc.Paragraphs.back();
        // The mark after the last paragraph ends it; it opens no empty one.
        if (last.Runs.empty() && Doc.Paragraphs.size() > 1)
            Doc.Paragraphs.pop_back();
        else
            FinishParagraph();
        Doc.Paragraphs.shrink_to_fit(); // what the document keeps is what it holds
        // Text before the font table is in the default font as well.
        if (Doc.Fonts.empty()) return;
        const TFontInfo* f = FontOf(-1);
        int font = f ? f->Index : 0;
        for (TRtfParagraph& p : Doc.Paragraphs) {
            if (p.MarkFormat.Font < 0) p.MarkFormat.Font = font;
            std::vector<TRtfRun> runs;
            for (TRtfRun& r : p.Runs) {
                if (r.Format.Font < 0) r.Format.Font = font;
                if (!runs.empty() && runs.back().Format == r.Format)
                    runs.back().Text += r.Text;
                else
                    runs.push_back(std::move(r));
            }
            p.Runs = std::move(runs);
        }
    }

    // ---- tables

    void EndFontEntry() {
        Flush();
        if (FTableEntryOpen) {
            AnsiString name = FTableName;
            size_t b = name.find_first_not_of(' ');
            size_t e = name.find_last_not_of(' ');
            name = b == AnsiString::npos ? AnsiString() : name.substr(b, e - b + 1);
            int index = Doc.FindOrAddFont(name);
            int page = FTableCodePage ? FTableCodePage : CodePageOfCharset(FTableCharset, FDocCodePage);
            FFonts[FTableFontNo] = TFontInfo{index, page};
            if (FTableCharset >= 0) Doc.Fonts[static_cast<size_t>(index)].Charset = FTableCharset;
        }
        FTableEntryOpen = false;
        FTableName.clear();
    }

    void EndColorEntry() {
        FColorMap.push_back(FColorSet ? Doc.FindOrAddColor(TRtfColor{static_cast<std::uint8_t>(FRed),
                                                                     static_cast<std::uint8_t>(FGreen),
                                                                     static_cast<std::uint8_t>(FBlue)})
                                      : -1);
        FColorSet = false;
        FRed = FGreen = FBlue = 0;
    }

    const unsigned char* P;
    const unsigned char* End;
    TRtfDocument Doc;
    TState S;
    std::vector<TState> FStack;
    bool FEnded = false;
    bool FIgnorable = false;
    int FSkip = 0; // fallback characters of the last \u still to skip

    TCodePages FCodePages;
    int FDocCodePage = 1252;
    std::string FPending;
    int FPendingPage = 1252;
    char32_t FHighSurrogate = 0;

    TRtfTabs FLastTabs;
    std::unordered_multimap<size_t, TRtfTabs> FTabsSeen; // by a hash of the stops

    TRtfCharFormat FRunFormat;
    bool FRunFormatValid = false;
    bool FFormatDirty = true; // the state's character format may differ from FRunFormat
    AnsiString FRunText;

    int FDefaultFontNo = 0;
    std::unordered_map<int, TFontInfo> FFonts;
    bool FTableEntryOpen = false;
    int FTableFontNo = 0;
    int FTableCharset = -1;
    int FTableCodePage = 0;
    AnsiString FTableName;

    std::vector<int> FColorMap;
    bool FColorSet = false;
    int FRed = 0, FGreen = 0, FBlue = 0;
};

} // namespace

bool LooksLikeRtf(const char* Data, size_t Size) {
    size_t i = 0;
    if (Size >= 3 && std::memcmp(Data, "\xEF\xBB\xBF", 3) == 0) i = 3;
    while (i < Size && (Data[i] == ' ' || Data[i] == '\t' || Data[i] == '\r' || Data[i] == '\n'))
        ++i;
    return Size - i >= 5 && std::memcmp(Data + i, "{\\rtf", 5) == 0;
}

TRtfDocument ReadRtf(const char* Data, size_t Size) {
    if (!LooksLikeRtf(Data, Size)) throw ERtfError("The data is no RTF text");
    size_t i = 0;
    if (Size >= 3 && std::memcmp(Data, "\xEF\xBB\xBF", 3) == 0) i = 3;
    return TRtfReader(Data + i, Size - i).Read();
}
