#include "ResModule.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Sets the three language variables for one test and restores them after.
class TLanguageGuard {
public:
    TLanguageGuard(const char* LcAll, const char* LcMessages, const char* Lang) {
        const char* values[] = {LcAll, LcMessages, Lang};
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(Names[i]);
            FSaved[i] = old ? std::optional<std::string>(old) : std::nullopt;
            Set(Names[i], values[i] ? std::optional<std::string>(values[i]) : std::nullopt);
        }
    }
    ~TLanguageGuard() {
        for (int i = 0; i < 3; ++i) Set(Names[i], FSaved[i]);
    }

private:
    static void Set(const char* Name, const std::optional<std::string>& Value) {
        if (Value) setenv(Name, Value->c_str(), 1);
        else unsetenv(Name);
    }
    static constexpr const char* Names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> FSaved[3];
};

TEST(ResourceModules, UserLanguageComesFromLcAllThenLcMessagesThenLang) {
    struct Case {
        const char *LcAll, *LcMessages, *Lang, *Expected;
    } cases[] = {
        {"fr_FR", "de_DE", "en_US", "fr_FR"},
        {nullptr, "de_DE", "en_US", "de_DE"},
        {"", "", "de_AT.UTF-8", "de_AT.UTF-8"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        TLanguageGuard language(c.LcAll, c.LcMessages, c.Lang);
        EXPECT_EQ(GetUserLanguage(), c.Expected);
    }
}

TEST(ResourceModules, AbbreviationsOfALocale) {
    using Names = std::vector<AnsiString>;
    struct Case {
        const char* Locale;
        Names Expected;
    } cases[] = {
        {"de_DE.UTF-8", {"DEU", "DE"}},
        {"de_AT.ISO-8859-1@euro", {"DEA", "DE"}},
        {"de", {"DEU", "DE"}},
        {"DE_ch", {"DES", "DE"}},
        {"de_XX", {"DEU", "DE"}}, // an unknown territory takes the language's default
        {"en_GB.UTF-8", {"ENG", "EN"}},
        {"zh_TW", {"CHT", "CH"}}, // two letters of the abbreviation, not of the ISO code
        {"eo.UTF-8", {"EO"}},     // no abbreviation of its own
        {"C", {}},
        {"C.UTF-8", {}},
        {"POSIX", {}},
        {"", {}},
        {"d3_DE", {}},
        {"_DE", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(GetLanguageAbbreviations(c.Locale), c.Expected) << c.Locale;
}

TEST(ResourceModules, CandidateNamesBesideTheModule) {
    using Names = std::vector<AnsiString>;
    EXPECT_EQ(GetResourceModuleNames("/opt/kv/lib/KVIB5.so", "de_DE.UTF-8"),
              (Names{"/opt/kv/lib/KVIB5.DEU", "/opt/kv/lib/KVIB5.deu", "/opt/kv/lib/KVIB5.DE",
                     "/opt/kv/lib/KVIB5.de"}));
    EXPECT_EQ(GetResourceModuleNames("KVIB5.so.5", "de_CH"),
              (Names{"./KVIB5.DES", "./KVIB5.des", "./KVIB5.DE", "./KVIB5.de"}));
    EXPECT_EQ(GetResourceModuleNames("/x.so.d/my.solver.so", "eo"),
              (Names{"/x.so.d/my.solver.EO", "/x.so.d/my.solver.eo"}));
    EXPECT_EQ(GetResourceModuleNames("/x/prog", "eo"), (Names{"/x/prog.EO", "/x/prog.eo"}));
    EXPECT_EQ(GetResourceModuleNames("/x/KVIB5.so", "C"), Names{});
    EXPECT_EQ(GetResourceModuleNames("/x/", "de"), Names{});
}

// ---- Language library images

// Little-endian pieces of an image, for images the writer would not make.
struct TImage {
    AnsiString Bytes;
    TImage& U32(Cardinal V) {
        for (int i = 0; i < 4; ++i)
            Bytes += static_cast<char>((V >> (8 * i)) & 0xFF);
        return *this;
    }
    TImage& U16(Word V) {
        Bytes += static_cast<char>(V & 0xFF);
        Bytes += static_cast<char>(V >> 8);
        return *this;
    }
    TImage& Str(const std::string& S) {
        U32(static_cast<Cardinal>(S.size()));
        Bytes += S;
        return *this;
    }
    TImage& Header(Cardinal Format = ResModuleFormat) {
        Bytes += "KVRM";
        U32(Format);
        return U16(1).U16(2).U16(3).U16(4);
    }
    // The body closed with its checksum.
    AnsiString Sealed() const {
        TImage sealed{Bytes};
        return sealed.U32(ResModuleChecksum(Bytes.data(), Bytes.size())).Bytes;
    }
};

const TResLangEntry UnitA[] = {{65504, "SEmptyDataset", "Datenmenge ist leer"},
                               {65526, "SFieldSizeMismatch", "Unterschiedliche Größenangaben für Feld \"%s\""},
                               {-7, "SBlank", ""}};
const TResLangEntry UnitB[] = {{1, "SOne", "Eins"}};
const TResModuleTable SampleTables[] = {{"UnitA", UnitA, 3}, {"UnitB", UnitB, 1}};
const TResModuleData Sample = {{5, 0, 0, 1}, SampleTables, 2};

// A module's tables as text, to compare one with another.
std::string Dump(HRESMODULE Module) {
    if (!Module) return "(none)";
    const TResModuleData& d = GetResourceModuleData(Module);
    std::string out = std::to_string(d.FileVersion.Major) + "." + std::to_string(d.FileVersion.Minor) + "." +
                      std::to_string(d.FileVersion.Release) + "." + std::to_string(d.FileVersion.Build);
    for (std::size_t t = 0; t < d.TableCount; ++t) {
        out += std::string("\n[") + d.Tables[t].Unit + "]";
        for (std::size_t e = 0; e < d.Tables[t].Count; ++e) {
            const TResLangEntry& entry = d.Tables[t].Entries[e];
            out += "\n" + std::to_string(entry.Identifier) + " " + entry.Name + "=" + entry.Text;
        }
    }
    return out;
}

TEST(ResourceModules, AnImageReadsBackAsItWasWritten) {
    const std::string expected = "5.0.0.1\n[UnitA]\n65504 SEmptyDataset=Datenmenge ist leer\n"
                                 "65526 SFieldSizeMismatch=Unterschiedliche Größenangaben für Feld \"%s\"\n"
                                 "-7 SBlank=\n[UnitB]\n1 SOne=Eins";
    TResourceModulePtr read(ReadResourceModule(ResourceModuleImage(Sample), "x.de"));
    EXPECT_EQ(Dump(read.get()), expected);
    EXPECT_EQ(GetResourceModuleFileName(read.get()), "x.de");
    ASSERT_NE(FindResourceTable(read.get(), "UnitB"), nullptr);
    EXPECT_EQ(FindResourceTable(read.get(), "UnitC"), nullptr);

    const TResModuleData empty = {{1, 2, 3, 4}, nullptr, 0};
    TResourceModulePtr none(ReadResourceModule(ResourceModuleImage(empty)));
    EXPECT_EQ(Dump(none.get()), "1.2.3.4");
}

TEST(ResourceModules, TheWriterRefusesWhatTheFormatCannotHold) {
    const TResLangEntry noName[] = {{1, "", "x"}};
    const TResLangEntry notUtf8[] = {{1, "S", "Gr\xF6\xDF"}}; // Latin-1
    for (const TResLangEntry* entries : {noName, notUtf8}) {
        const TResModuleTable table[] = {{"U", entries, 1}};
        EXPECT_THROW(ResourceModuleImage({{5, 0, 0, 1}, table, 1}), EConvertError);
    }
}

// Whatever an image holds, the reader checks it before it believes it: a
// damaged or crafted image is no library, and no count in it allocates or
// reads beyond what the image holds.
TEST(ResourceModules, ADamagedOrCraftedImageIsNoLibrary) {
    const AnsiString good = ResourceModuleImage(Sample);
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_EQ(ReadResourceModule(good.substr(0, size)), nullptr) << "cut to " << size;
    for (std::size_t at = 0; at < good.size(); ++at) {
        AnsiString damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        EXPECT_EQ(ReadResourceModule(damaged), nullptr) << "byte " << at;
    }
    EXPECT_EQ(ReadResourceModule(good + '\0'), nullptr);

    auto entry = [](TImage& I, const std::string& Name, const std::string& Text) -> TImage& {
        return I.U32(65504).Str(Name).Str(Text);
    };
    auto oneEntry = [&](const std::string& Name, const std::string& Text) {
        TImage i;
        i.Header().U32(1).Str("U").U32(1);
        return entry(i, Name, Text).Sealed();
    };
    TImage valid;
    valid.Header().U32(1).Str("U").U32(1);
    entry(valid, "S", "Text");
    ASSERT_NE(TResourceModulePtr(ReadResourceModule(valid.Sealed())), nullptr);

    struct Case {
        const char* What;
        AnsiString Image;
    } cases[] = {
        {"another format", TImage().Header(1).U32(0).Sealed()},
        {"another magic", [] {
             TImage i;
             i.Bytes = "KVRN";
             return i.U32(ResModuleFormat).U16(1).U16(2).U16(3).U16(4).U32(0).Sealed();
         }()},
        {"a huge table count", TImage().Header().U32(0x10000000).Sealed()},
        {"the largest table count", TImage().Header().U32(0xFFFFFFFF).Str("U").U32(0).Sealed()},
        {"a huge entry count", TImage().Header().U32(1).Str("U").U32(0x10000000).Sealed()},
        {"a unit name longer than the image", TImage().Header().U32(1).U32(0xFFFFFFFF).Sealed()},
        {"a text longer than the image", TImage().Header().U32(1).Str("U").U32(1).U32(1).Str("S").U32(200).Sealed()},
        {"an empty unit name", TImage().Header().U32(1).Str("").U32(0).Sealed()},
        {"an empty entry name", oneEntry("", "Text")},
        {"a zero byte in a text", oneEntry("S", std::string("Te\0xt", 5))},
        {"a text in Latin-1", oneEntry("S", "Gr\xF6\xDF")},
        {"an overlong UTF-8 form", oneEntry("S", "\xC0\xAF")},
        {"a UTF-8 surrogate", oneEntry("S", "\xED\xA0\x80")},
        {"a cut UTF-8 sequence", oneEntry("S", "Gr\xC3")},
        {"bytes after the last table", TImage{valid.Bytes + "x"}.Sealed()},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadResourceModule(c.Image), nullptr) << c.What;
}

// Only a regular file that holds a language library is read; anything else
// under a candidate name is passed over without blocking. (That a shared
// object there never runs, the package's tests show.)
TEST(ResourceModules, OnlyARegularFileWithALibraryIsRead) {
    TLanguageGuard language(nullptr, nullptr, "de_DE.UTF-8");
    std::string pattern = testing::TempDir() + "resmodule-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    fs::path folder = pattern;
    const AnsiString module = (folder / "M.so").string();
    const fs::path file = folder / "M.de";
    EXPECT_EQ(LoadResourceModule(module), nullptr) << "nothing there";

    const std::string library = GetModuleFileNameOf(reinterpret_cast<const void*>(&std::terminate));
    ASSERT_NE(library.find("libstdc++"), std::string::npos) << library;
    auto put = [&](const AnsiString& Bytes) { std::ofstream(file, std::ios::binary | std::ios::trunc) << Bytes; };
    struct Case {
        const char* What;
        std::function<void()> Make;
    } cases[] = {
        {"an empty file", [&] { put(""); }},
        {"a text file", [&] { put("Datenmenge ist leer\n"); }},
        {"a shared library", [&] { fs::copy_file(library, file); }},
        {"a folder", [&] { fs::create_directory(file); }},
        {"a pipe", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }},
        {"a device", [&] { fs::create_symlink("/dev/zero", file); }},
        {"a file beyond the size bound", [&] {
             put(ResourceModuleImage(Sample));
             fs::resize_file(file, MaxResourceModuleSize + 1);
         }},
        {"a link to nowhere", [&] { fs::create_symlink(folder / "gone", file); }},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove_all(file, ec);
        c.Make();
        EXPECT_EQ(LoadResourceModule(module), nullptr) << c.What;
    }

    fs::remove_all(file);
    SaveResourceModule(file.string(), Sample);
    TResourceModulePtr read(LoadResourceModule(module));
    EXPECT_EQ(Dump(read.get()), Dump(TResourceModulePtr(ReadResourceModule(ResourceModuleImage(Sample))).get()));
    EXPECT_EQ(GetResourceModuleFileName(read.get()), file.string());
    fs::remove_all(folder);
}

} // namespace
