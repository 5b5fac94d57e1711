// The RTF reader and writer, without a window: text and formatting as other
// programs write them, damaged input, and what we write read back by us and
// by an independent reader (unrtf).
#include "Rtf.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace {

std::string ParaText(const TRtfParagraph& P) {
    std::string s;
    for (const TRtfRun& r : P.Runs)
        s += r.Text;
    return s;
}

std::vector<std::string> Texts(const TRtfDocument& D) {
    std::vector<std::string> out;
    for (const TRtfParagraph& p : D.Paragraphs)
        out.push_back(ParaText(p));
    return out;
}

// The run that holds Text, or null.
const TRtfRun* RunWith(const TRtfDocument& D, const std::string& Text) {
    for (const TRtfParagraph& p : D.Paragraphs)
        for (const TRtfRun& r : p.Runs)
            if (r.Text.find(Text) != std::string::npos) return &r;
    return nullptr;
}

std::string FontOf(const TRtfDocument& D, const TRtfRun& R) {
    return R.Format.Font < 0 ? std::string("(none)") : D.Fonts[static_cast<size_t>(R.Format.Font)].Name;
}

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string FixtureDir = KV_RTF_FIXTURES;

} // namespace

TEST(RtfReader, TextEscapesAndCodePages) {
    struct Case {
        const char* Rtf;
        const char* Text;
    };
    const Case cases[] = {
        {R"({\rtf1\ansi plain text})", "plain text"},
        {R"({\rtf1\ansi a\'e4\'f6\'fc\'df b\'80})", "aäöüß b€"},
        {R"({\rtf1\ansi\ansicpg1251 \'c6\'e8})", "Жи"},
        {R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0})", "あ"},
        {R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 X;}}\f0 \'83e})", "テ"}, // trail byte as ASCII
        {R"({\rtf1\ansi\uc1 \u8364\'80 and\u252?x})", "€ andüx"},
        {R"({\rtf1\ansi\uc2 \u1046\'3f\'3fy})", "Жy"},
        {R"({\rtf1\ansi\uc0 \u1046 y})", "Жy"},
        {R"({\rtf1\ansi\uc1 \u-4064?})", "\xEF\x80\xA0"},    // negative: 65536 - 4064
        {R"({\rtf1\ansi\uc1 \u-10179?\u-8704?})", "😀"},      // a surrogate pair
        {R"({\rtf1\ansi\uc1 \u-10179?x})", "\xEF\xBF\xBDx"}, // a lone half
        {R"({\rtf1\ansi{\uc3 \u1046 abcd}e})", "Жde"},       // uc is scoped to its group
        {R"({\rtf1\ansi a\tab b\line c\~d\emdash e\{\}\\})", "a\tb\nc\xC2\xA0"
                                                             "d—e{}\\"},
        {"{\\rtf1\\ansi one\r\ntwo \\\nthree}", "onetwo \r\nthree"},
        {R"({\rtf1\ansi a{\*\unknowndest hidden {nested}}b{\unknownword c}})", "abc"},
        {R"({\rtf1\ansi{\stylesheet{\s0 Normal;}}{\info{\title T}}{\header H}x})", "x"},
        {R"({\rtf1\ansi{\field{\*\fldinst HYPERLINK "u"}{\fldrslt link}}})", "link"},
        {R"({\rtf1\ansi a{\*\pict\bin6 }}{{{b}c})", "ac"}, // binary data with braces is skipped whole
        {R"({\rtf1\ansi x\bin2 {}y})", "xy"},
        {R"({\rtf1\ansi a\cell b\row c})", "a\tb\r\nc"},
        {R"({\rtf1\ansi {\upr{ansi}{\*\ud{unicode}}}})", "ansi"}, // one of the two versions
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadRtf(c.Rtf).PlainText(), c.Text) << c.Rtf;
}

TEST(RtfReader, CharacterFormatFollowsGroupsAndTables) {
    TRtfDocument d = ReadRtf(
        R"({\rtf1\ansi\deff1{\fonttbl{\f0\fswiss Arial;}{\f1\froman{\*\panose 0000}Times New Roman;}})"
        R"({\colortbl;\red255\green0\blue0;\red0\green0\blue128;})"
        R"(base {\b bold {\i both}} \ul under\ulnone  \f0\fs40 big\plain  plain {\cf1 red}{\cf2\strike navy}{\cf9 bad}})");
    const TRtfRun* base = RunWith(d, "base");
    ASSERT_TRUE(base);
    EXPECT_EQ(FontOf(d, *base), "Times New Roman"); // \deff1
    EXPECT_EQ(base->Format.HalfPoints, 24);
    EXPECT_FALSE(base->Format.Bold);
    EXPECT_TRUE(RunWith(d, "bold")->Format.Bold);
    EXPECT_FALSE(RunWith(d, "bold")->Format.Italic);
    EXPECT_TRUE(RunWith(d, "both")->Format.Bold && RunWith(d, "both")->Format.Italic);
    EXPECT_TRUE(RunWith(d, "under")->Format.Underline);
    EXPECT_FALSE(RunWith(d, "under")->Format.Bold); // the group ended
    const TRtfRun* big = RunWith(d, "big");
    EXPECT_EQ(FontOf(d, *big), "Arial");
    EXPECT_EQ(big->Format.HalfPoints, 40);
    EXPECT_FALSE(big->Format.Underline);
    const TRtfRun* plain = RunWith(d, "plain");
    EXPECT_EQ(FontOf(d, *plain), "Times New Roman");
    EXPECT_EQ(plain->Format.HalfPoints, 24);
    ASSERT_GE(RunWith(d, "red")->Format.Color, 0);
    EXPECT_EQ(d.Colors[static_cast<size_t>(RunWith(d, "red")->Format.Color)], (TRtfColor{255, 0, 0}));
    EXPECT_EQ(d.Colors[static_cast<size_t>(RunWith(d, "navy")->Format.Color)], (TRtfColor{0, 0, 128}));
    EXPECT_TRUE(RunWith(d, "navy")->Format.StrikeOut);
    EXPECT_EQ(RunWith(d, "bad")->Format.Color, -1); // beyond the table: automatic
}

TEST(RtfReader, ParagraphFormat) {
    TRtfDocument d = ReadRtf(R"({\rtf1\ansi\pard\qc\li720\fi-360\ri144\tx1440\tx360\tx1440 one\par )"
                             R"(two\par\pard\qr three\par)"
                             R"(\pard{\pntext\'b7\tab}{\*\pn\pnlvlblt{\pntxtb\'b7}}four\par)"
                             R"(\pard\ls1 five\par\pard\qj six})");
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"one", "two", "three", "four", "five", "six"}));
    const TRtfParaFormat& one = d.Paragraphs[0].Format;
    EXPECT_EQ(one.Align, TRtfAlign::Center);
    EXPECT_EQ(one.LeftTw, 720);
    EXPECT_EQ(one.FirstTw, -360);
    EXPECT_EQ(one.RightTw, 144);
    EXPECT_EQ(one.TabsTw, (std::vector<int>{360, 1440})); // sorted, once each
    EXPECT_EQ(d.Paragraphs[1].Format, one);               // kept until \pard
    EXPECT_EQ(d.Paragraphs[2].Format.Align, TRtfAlign::Right);
    EXPECT_EQ(d.Paragraphs[2].Format.LeftTw, 0);
    EXPECT_TRUE(d.Paragraphs[3].Format.Bullet);
    EXPECT_TRUE(d.Paragraphs[4].Format.Bullet);
    EXPECT_FALSE(d.Paragraphs[5].Format.Bullet);
    EXPECT_EQ(d.Paragraphs[5].Format.Align, TRtfAlign::Justify);
}

TEST(RtfReader, ParagraphMarks) {
    struct Case {
        const char* Rtf;
        std::vector<std::string> Paragraphs;
    };
    const Case cases[] = {
        {R"({\rtf1 a})", {"a"}},
        {R"({\rtf1 a\par})", {"a"}}, // the last mark opens no empty paragraph
        {R"({\rtf1 a\par\par})", {"a", ""}},
        {R"({\rtf1 a\par b})", {"a", "b"}},
        {R"({\rtf1})", {""}},
        {R"({\rtf1\par})", {""}},
        {R"({\rtf1 a\par\sect b\sect})", {"a", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts(ReadRtf(c.Rtf)), c.Paragraphs) << c.Rtf;
}

TEST(RtfReader, TabStopsAreBounded) {
    std::string rtf = R"({\rtf1\pard)";
    for (int i = 40; i >= 1; --i)
        rtf += "\\tx" + std::to_string(i * 100);
    rtf += R"(\tx-5\tx99999999999 x})";
    TRtfDocument d = ReadRtf(rtf);
    std::vector<int> expected;
    for (int i = 1; i <= RtfMaxTabs; ++i)
        expected.push_back(i * 100);
    EXPECT_EQ(d.Paragraphs[0].Format.TabsTw, expected);
}

// Paragraphs with the same stops hold one list of them, whether the stops
// carry over from paragraph to paragraph, come back when a group ends or
// are written out again for each.
TEST(RtfReader, EqualTabStopsAreHeldOnce) {
    std::string grid = R"(\pard)";
    for (int i = 1; i <= RtfMaxTabs; ++i)
        grid += "\\tx" + std::to_string(i * 640);
    const std::string carried = "{\\rtf1" + grid + " a\\par b\\par c\\par{\\pard d\\par}e\\par}";
    const std::string repeated =
        "{\\rtf1" + grid + " a\\par" + grid + " b\\par" + grid + " c\\par\\pard d\\par" + grid + " e}";
    for (const std::string& rtf : {carried, repeated}) {
        TRtfDocument d = ReadRtf(rtf);
        const TRtfTabs& first = d.Paragraphs[0].Format.TabsTw;
        ASSERT_EQ(first.size(), static_cast<size_t>(RtfMaxTabs)) << rtf;
        int shared = 0;
        for (const TRtfParagraph& p : d.Paragraphs)
            if (!p.Format.TabsTw.empty()) {
                EXPECT_TRUE(p.Format.TabsTw.SharesWith(first)) << ParaText(p);
                ++shared;
            }
        EXPECT_EQ(shared, 4) << rtf;
    }
}

TEST(RtfDocument, FontsAndColorsAreFoundByNameAndValue) {
    TRtfDocument d;
    EXPECT_EQ(d.FindOrAddFont("Arial"), 0);
    EXPECT_EQ(d.FindOrAddFont("Courier"), 1);
    EXPECT_EQ(d.FindOrAddFont("Arial"), 0);
    EXPECT_EQ(d.FindOrAddColor({1, 2, 3}), 0);
    EXPECT_EQ(d.FindOrAddColor({3, 2, 1}), 1);
    EXPECT_EQ(d.FindOrAddColor({1, 2, 3}), 0);
    // Entries put into the tables directly: found from the next call on,
    // the first of a name first; a table cut short or changed is read anew.
    d.Fonts.push_back(TRtfFont{"Times", 0});
    d.Fonts.push_back(TRtfFont{"Times", 0});
    d.Colors.push_back({9, 9, 9});
    EXPECT_EQ(d.FindOrAddFont("Times"), 2);
    EXPECT_EQ(d.FindOrAddColor({9, 9, 9}), 2);
    d.Fonts.erase(d.Fonts.begin());
    EXPECT_EQ(d.FindOrAddFont("Courier"), 0);
    EXPECT_EQ(d.FindOrAddFont("Arial"), 3);
    d.Fonts[0].Name = "Symbol";
    EXPECT_EQ(d.FindOrAddFont("Courier"), 4);
    EXPECT_EQ(d.FindOrAddFont("Symbol"), 0);
    EXPECT_EQ(d.Fonts.size(), 5u);
}

TEST(RtfReader, DamagedInputReadsAsFarAsItGoes) {
    struct Case {
        std::string Rtf;
        std::string Text;
    };
    const Case cases[] = {
        {R"({\rtf1 open {\b groups)", "open groups"},
        {R"({\rtf1 closed} after)", "closed"},
        {R"({\rtf1 x}}}})", "x"},
        {R"({\rtf1 a\'4)", "a"},
        {R"({\rtf1 a\'zzb})", "ab"},
        {R"({\rtf1 a\)", "a"},
        {R"({\rtf1 a\u)", "a"},
        {R"({\rtf1 \fs-5 a\fs999999999999 b\li-99999999 c})", "abc"},
        {R"({\rtf1 a\bin99999999 lost})", "a"},
        {std::string("{\\rtf1 a\0b\x01"
                     "c\x7f"
                     "d}",
                     15),
         "abcd"},
        {R"({\rtf1{\fonttbl{\f0 Arial)", ""},
        {R"({\rtf1{\colortbl\red300\green-1;}{\cf1 x}})", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadRtf(c.Rtf).PlainText(), c.Text) << c.Rtf;

    TRtfDocument d = ReadRtf(R"({\rtf1{\colortbl;\red300\green-1;}{\cf1 x}})");
    EXPECT_EQ(d.Colors[static_cast<size_t>(d.Paragraphs[0].Runs[0].Format.Color)], (TRtfColor{255, 0, 0}));
}

TEST(RtfReader, DeepNesting) {
    // Groups nested as deep as programs write them read normally.
    std::string rtf = R"({\rtf1 )";
    for (int i = 0; i < 500; ++i)
        rtf += "{\\b ";
    rtf += "deep";
    rtf += std::string(500, '}');
    rtf += " out}";
    TRtfDocument d = ReadRtf(rtf);
    EXPECT_EQ(d.PlainText(), "deep out");
    EXPECT_TRUE(RunWith(d, "deep")->Format.Bold);
    EXPECT_FALSE(RunWith(d, "out")->Format.Bold);

    // A million open groups: no stack overflow, no state per group kept.
    std::string hostile = R"({\rtf1 a)" + std::string(1000000, '{') + "b" + std::string(1000000, '}') + "c}";
    EXPECT_EQ(ReadRtf(hostile).PlainText().substr(0, 1), "a");
    std::string unclosed = R"({\rtf1 a)" + std::string(1000000, '{') + "b";
    EXPECT_NO_THROW(ReadRtf(unclosed));
}

TEST(RtfReader, NoRtfRaises) {
    EXPECT_THROW(ReadRtf("plain text"), ERtfError);
    EXPECT_THROW(ReadRtf(""), ERtfError);
    EXPECT_THROW(ReadRtf("{\\rt"), ERtfError);
    EXPECT_TRUE(LooksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1}", 13));
    EXPECT_EQ(ReadRtf("\xEF\xBB\xBF{\\rtf1 x}").PlainText(), "x");
}

// ---- RTF of other programs ------------------------------------------------

TEST(RtfReader, DocumentConverterOutput) {
    TRtfDocument d = ReadRtf(ReadFile(FixtureDir + "pandoc.rtf"));
    EXPECT_EQ(Texts(d),
              (std::vector<std::string>{
                  "Überschrift",
                  "Ein fetter und ein kursiver Satz mit Umlauten: äöü ÄÖÜ ß, dem Euro € und Кириллица.",
                  "•\terster Punkt", "•\tzweiter Punkt", "Letzter Absatz."}));
    const TRtfRun* heading = RunWith(d, "berschrift");
    EXPECT_TRUE(heading->Format.Bold);
    EXPECT_EQ(heading->Format.HalfPoints, 36);
    EXPECT_EQ(FontOf(d, *heading), "Helvetica");
    EXPECT_TRUE(RunWith(d, "fetter")->Format.Bold);
    EXPECT_FALSE(RunWith(d, " und ein ")->Format.Bold);
    EXPECT_TRUE(RunWith(d, "kursiver")->Format.Italic);
    EXPECT_EQ(d.Paragraphs[2].Format.LeftTw, 360);
    EXPECT_EQ(d.Paragraphs[2].Format.FirstTw, -360);
    EXPECT_EQ(d.Paragraphs[2].Format.TabsTw, std::vector<int>{360});
}

TEST(RtfReader, WordProcessorOutput) {
    TRtfDocument d = ReadRtf(ReadFile(FixtureDir + "abiword.rtf"));
    std::vector<std::string> texts = Texts(d);
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 6),
              (std::vector<std::string>{"Zentriert und fett", "Normal, kursiv, unterstrichen, rot und groß.",
                                        "Eingerückt um einen Zoll: Grüße.", "Rechtsbündig", "Punkt eins",
                                        "Punkt zwei"}));
    EXPECT_EQ(d.Paragraphs[0].Format.Align, TRtfAlign::Center);
    EXPECT_TRUE(RunWith(d, "Zentriert")->Format.Bold);
    EXPECT_TRUE(RunWith(d, "kursiv")->Format.Italic);
    EXPECT_TRUE(RunWith(d, "unterstrichen")->Format.Underline);
    const TRtfRun* red = RunWith(d, "rot");
    ASSERT_GE(red->Format.Color, 0);
    EXPECT_EQ(d.Colors[static_cast<size_t>(red->Format.Color)], (TRtfColor{255, 0, 0}));
    EXPECT_EQ(RunWith(d, "gro")->Format.HalfPoints, 40);
    EXPECT_EQ(FontOf(d, *RunWith(d, "Normal")), "Liberation Serif");
    EXPECT_EQ(d.Paragraphs[2].Format.LeftTw, 1440);
    EXPECT_EQ(d.Paragraphs[3].Format.Align, TRtfAlign::Right);
    EXPECT_TRUE(d.Paragraphs[4].Format.Bullet);
    EXPECT_TRUE(d.Paragraphs[5].Format.Bullet);
    EXPECT_EQ(d.Paragraphs[4].Format.LeftTw, 720);
    EXPECT_FALSE(d.Paragraphs[3].Format.Bullet);
}

// ---- Writer ---------------------------------------------------------------

namespace {

// A document with every kind of formatting the editor holds.
TRtfDocument SampleDocument() {
    TRtfDocument d;
    int arial = d.FindOrAddFont("Arial");
    int odd = d.FindOrAddFont("Odd; {Name}\\");
    int red = d.FindOrAddColor({255, 0, 0});
    TRtfCharFormat plain;
    plain.Font = arial;
    TRtfCharFormat bold = plain;
    bold.Bold = true;
    TRtfCharFormat styled = plain;
    styled.Italic = styled.Underline = styled.StrikeOut = true;
    styled.Color = red;
    styled.HalfPoints = 41;
    styled.Font = odd;

    d.Paragraphs[0].Format.Align = TRtfAlign::Center;
    d.Paragraphs[0].Format.TabsTw = {640, 1280};
    d.Paragraphs[0].MarkFormat = plain;
    d.AppendText(plain, "Plain {braces} \\ and\ttab, ");
    d.AppendText(bold, "bold");
    d.AppendText(styled, " Grüße € Ж 😀 \xC2\xA0;");

    d.Paragraphs.emplace_back();
    d.Paragraphs.back().Format.LeftTw = 1280;
    d.Paragraphs.back().Format.FirstTw = -640;
    d.Paragraphs.back().Format.RightTw = 200;
    d.Paragraphs.back().Format.Bullet = true;
    d.Paragraphs.back().MarkFormat = plain;
    d.AppendText(plain, "line one\nline two");

    d.Paragraphs.emplace_back(); // an empty paragraph with a size of its own
    d.Paragraphs.back().MarkFormat = styled;
    d.Paragraphs.emplace_back();
    d.Paragraphs.back().Format.Align = TRtfAlign::Right;
    d.Paragraphs.back().MarkFormat = bold;
    d.AppendText(bold, "last");
    return d;
}

std::string RunUnrtf(const std::string& Rtf) {
    char path[] = "/tmp/kv-rtf-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    if (write(fd, Rtf.data(), Rtf.size()) != static_cast<ssize_t>(Rtf.size())) return {};
    close(fd);
    std::string out;
    if (FILE* p = popen(("unrtf --html " + std::string(path) + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    unlink(path);
    return out;
}

} // namespace

TEST(RtfWriter, ReadsBackTheSameDocument) {
    TRtfDocument d = SampleDocument();
    std::string rtf = WriteRtf(d);
    for (unsigned char c : rtf)
        ASSERT_LT(c, 0x80) << "RTF is written in ASCII";
    TRtfDocument back = ReadRtf(rtf);
    EXPECT_TRUE(SameDocument(d, back)) << rtf;
    EXPECT_EQ(back.PlainText(), d.PlainText());
    EXPECT_EQ(WriteRtf(back), rtf);
}

// A run of paragraphs in one format says it once: a document of many
// paragraphs under 32 stops is written in proportion to its text, and reads
// back the same, here and in an independent reader.
TEST(RtfWriter, ParagraphsOfOneFormatSayItOnce) {
    TRtfDocument d;
    TRtfParaFormat grid;
    grid.Align = TRtfAlign::Center;
    std::vector<int> stops;
    for (int i = 1; i <= RtfMaxTabs; ++i)
        stops.push_back(i * 640);
    grid.TabsTw = stops;
    TRtfParaFormat bullet;
    bullet.Bullet = true;
    bullet.LeftTw = 720;
    d.Paragraphs.clear();
    for (int i = 0; i < 1000; ++i) {
        d.Paragraphs.emplace_back();
        d.Paragraphs.back().Format = i < 500 ? grid : bullet;
        d.AppendText(TRtfCharFormat(), "p" + std::to_string(i));
    }
    std::string rtf = WriteRtf(d);
    EXPECT_LT(rtf.size(), 60000u);
    TRtfDocument back = ReadRtf(rtf);
    EXPECT_TRUE(SameDocument(d, back));
    EXPECT_EQ(WriteRtf(back), rtf);

    std::string html = RunUnrtf(rtf);
    if (html.empty()) GTEST_SKIP() << "unrtf is not installed";
    size_t bullets = 0;
    for (size_t at = html.find("&bull;"); at != std::string::npos; at = html.find("&bull;", at + 1))
        ++bullets;
    EXPECT_EQ(bullets, 500u);
    for (const char* piece : {"p0", "p499", "p500", "p999", "<center>"})
        EXPECT_NE(html.find(piece), std::string::npos) << piece;
}

TEST(RtfWriter, EmptyDocumentsAndEmptyLinesStay) {
    for (int n : {1, 2, 3}) {
        TRtfDocument d;
        d.Paragraphs.resize(static_cast<size_t>(n));
        TRtfDocument back = ReadRtf(WriteRtf(d));
        EXPECT_EQ(back.Paragraphs.size(), static_cast<size_t>(n));
        EXPECT_TRUE(SameDocument(d, back));
    }
}

TEST(RtfWriter, AnIndependentReaderSeesTextAndStyles) {
    std::string html = RunUnrtf(WriteRtf(SampleDocument()));
    if (html.empty()) GTEST_SKIP() << "unrtf is not installed";
    std::string body = html.substr(html.find("<body>"));
    for (const char* piece :
         {"Plain {braces} \\ and", "<b>bold</b>", "Gr&uuml;&szlig;e &euro; &#1046;", "<center>",
          "font face=\"Arial\"", "#ff0000", "<i>", "<u>", "<s>", "line one", "line two", "last", "&bull;"})
        EXPECT_NE(body.find(piece), std::string::npos) << piece << "\n" << body;
}
