// KVIB5.de as the framework's resource-module rule finds and reads it.
#include "Dbconstkv.h"
#include "IBRowvaneKV.h"
#include "MessagesDe.h"
#include "ResModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

class LanguageLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(Names[i]);
            FSaved[i] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        SetLanguage("de_DE.UTF-8");
        std::string pattern = testing::TempDir() + "kvib5de-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        FFolder = pattern;
    }
    void TearDown() override {
        for (int i = 0; i < 3; ++i) Set(Names[i], FSaved[i]);
        fs::remove_all(FFolder);
    }

    static void SetLanguage(const char* Lang) {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", Lang, 1);
    }

    // A folder holding the given files, each a copy of KVIB5.de or, when its
    // name is in Garbage, a text file.
    using TNames = std::vector<std::string>;
    AnsiString ModuleIn(const TNames& Copies, const TNames& Garbage = {}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(FFolder)) fs::remove(entry.path());
        for (const std::string& name : Copies) fs::copy_file(KVIB5_DE_FILE, FFolder / name);
        for (const std::string& name : Garbage) std::ofstream(FFolder / name) << "Datenmenge ist leer\n";
        return (FFolder / "KVIB5.so").string();
    }

    static AnsiString FileNameOf(HRESMODULE Module) {
        if (!Module) return "(none)";
        return fs::path(GetResourceModuleFileName(Module)).filename().string();
    }

private:
    static void Set(const char* Name, const std::optional<std::string>& Value) {
        if (Value) setenv(Name, Value->c_str(), 1);
        else unsetenv(Name);
    }
    static constexpr const char* Names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> FSaved[3];
    fs::path FFolder;
};

TEST_F(LanguageLibraryTest, HoldsTheGermanDatasetMessagesOnlyAndItsVersion) {
    fs::path package = fs::path(KVIB5_DE_FILE).parent_path() / "KVIB5.so";
    TResourceModulePtr library(LoadResourceModule(package.string()));
    ASSERT_NE(library, nullptr);
    const TResModuleData& data = GetResourceModuleData(library.get());
    EXPECT_EQ(data.FileVersion.Major, 5);
    EXPECT_EQ(data.FileVersion.Minor, 0);
    EXPECT_EQ(data.FileVersion.Release, 0);
    EXPECT_EQ(data.FileVersion.Build, 1);
    ASSERT_EQ(data.TableCount, 1u);
    EXPECT_EQ(FindResourceTable(library.get(), DbconstkvModule), nullptr);

    const TResModuleTable* table = FindResourceTable(library.get(), IbconstkvModule);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->Count, 33u);
    for (int code = 0; code < IbconstkvMessageCount; ++code) {
        const TResLangEntry& entry = table->Entries[code];
        const TResStringRec* english = IbconstkvMessage(code);
        // Keyed like the package's own message, worded like the program's German table.
        EXPECT_EQ(entry.Identifier, english->Identifier) << code;
        EXPECT_STREQ(entry.Name, english->Name) << code;
        EXPECT_STREQ(entry.Text, IbconstkvGerman[code].Text) << code;
        EXPECT_STRNE(entry.Name, SInvalidParseSec.Name);
        EXPECT_NE(entry.Identifier, SInvalidParseSec.Identifier);
    }
    EXPECT_STREQ(table->Entries[rveEmptyDataset].Text, "Datenmenge ist leer");
}

TEST_F(LanguageLibraryTest, FoundUnderTheSpellingsTheRuleAccepts) {
    struct Case {
        const char* Lang;
        std::vector<std::string> Files;
        const char* Found;
    } cases[] = {
        {"de_DE.UTF-8", {"KVIB5.DEU"}, "KVIB5.DEU"},
        {"de_DE.UTF-8", {"KVIB5.deu"}, "KVIB5.deu"},
        {"de_DE.UTF-8", {"KVIB5.DE"}, "KVIB5.DE"},
        {"de_DE.UTF-8", {"KVIB5.de"}, "KVIB5.de"},
        {"de_DE.UTF-8", {"KVIB5.De"}, "(none)"},
        {"de_DE.UTF-8", {"KVIB5.de", "KVIB5.DEU"}, "KVIB5.DEU"}, // three letters first
        {"de_CH.UTF-8", {"KVIB5.de"}, "KVIB5.de"},
        {"de_AT.UTF-8", {"KVIB5.DEU"}, "(none)"}, // Austrian German is DEA, then DE
        {"fr_FR.UTF-8", {"KVIB5.de"}, "(none)"},
        {"C", {"KVIB5.de"}, "(none)"},
    };
    for (const Case& c : cases) {
        SetLanguage(c.Lang);
        AnsiString module = ModuleIn(c.Files);
        TResourceModulePtr library(LoadResourceModule(module));
        EXPECT_EQ(FileNameOf(library.get()), c.Found) << c.Lang << " " << c.Files.front();
    }
}

TEST_F(LanguageLibraryTest, PassesOverACandidateThatIsNoLanguageLibrary) {
    AnsiString module = ModuleIn({"KVIB5.de"}, {"KVIB5.DEU", "KVIB5.DE"});
    TResourceModulePtr library(LoadResourceModule(module));
    EXPECT_EQ(FileNameOf(library.get()), "KVIB5.de");
}

TEST_F(LanguageLibraryTest, BindsItsTableToTheDatasetMessages) {
    TResourceModulePtr library(LoadResourceModule(ModuleIn({"KVIB5.de"})));
    ASSERT_NE(library, nullptr);
    EXPECT_FALSE(BindResourceTable(library.get(), DbconstkvModule));
    ASSERT_TRUE(BindResourceTable(library.get(), IbconstkvModule));
    EXPECT_EQ(EIBRVError(rveFieldNotFound, {"ID"}).Message(), "Feld \"ID\" nicht vorhanden");
    EXPECT_EQ(LoadResString(&SInvalidParseSec), "SQL-Parser section not found");
    UnbindLanguageTable(IbconstkvModule);
    EXPECT_EQ(EIBRVError(rveEmptyDataset).Message(), "Dataset is empty");
}

} // namespace
