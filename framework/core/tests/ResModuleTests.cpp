#include "ResModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
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

// Only a data-only shared object is loaded; anything else under a candidate
// name is passed over, and nothing of it runs.
TEST(ResourceModules, RefusesFilesThatAreNotDataOnlyLibraries) {
    TLanguageGuard language(nullptr, nullptr, "de_DE.UTF-8");
    std::string pattern = testing::TempDir() + "resmodule-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    fs::path folder = pattern;
    const AnsiString module = (folder / "M.so").string();
    EXPECT_EQ(LoadResourceModule(module), nullptr) << "nothing there";

    const std::string program = "/proc/self/exe";
    const std::string library = GetModuleFileNameOf(reinterpret_cast<const void*>(&std::terminate));
    ASSERT_NE(library.find("libstdc++"), std::string::npos) << library;
    std::string header;
    {
        std::ifstream in(program, std::ios::binary);
        header.resize(40);
        in.read(header.data(), 40);
    }
    struct Case {
        const char* What;
        std::string Bytes;
        std::string CopyOf;
    } cases[] = {
        {"empty", "", ""},
        {"text", "Datenmenge ist leer\n", ""},
        {"a cut ELF header", header, ""},
        {"a program", "", program},
        {"a library with code", "", library},
    };
    for (const Case& c : cases) {
        fs::path file = folder / "M.de";
        if (!c.CopyOf.empty()) fs::copy_file(c.CopyOf, file, fs::copy_options::overwrite_existing);
        else std::ofstream(file, std::ios::binary | std::ios::trunc) << c.Bytes;
        EXPECT_EQ(LoadResourceModule(module), nullptr) << c.What;
    }
    fs::remove_all(folder);
}

} // namespace
