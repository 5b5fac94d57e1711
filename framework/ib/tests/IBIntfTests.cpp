// The embedded engine's lock folder: when this process takes one of its own
// (a private folder, SysUtils' MakePrivateFolder), and which names and
// engine modes it concerns.
#include "IB.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

class TScratch {
public:
    TScratch() {
        std::string templ = testing::TempDir() + "kv-lock-XXXXXX";
        if (mkdtemp(templ.data())) FPath = templ;
    }
    ~TScratch() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    const fs::path& Path() const { return FPath; }

private:
    fs::path FPath;
};

TEST(EngineLockFolder, AFolderIsUsableWhenItOrTheFolderAboveCanBeWritten) {
    TScratch scratch;
    EXPECT_TRUE(IsLockFolderUsable((scratch.Path() / "firebird").string())); // made by the engine
    fs::create_directory(scratch.Path() / "firebird");
    std::ofstream(scratch.Path() / "firebird" / "fb_init");
    EXPECT_TRUE(IsLockFolderUsable((scratch.Path() / "firebird").string()));
    EXPECT_FALSE(IsLockFolderUsable((scratch.Path() / "missing" / "firebird").string()));
    std::ofstream(scratch.Path() / "file") << "x";
    EXPECT_FALSE(IsLockFolderUsable((scratch.Path() / "file").string()));
}

TEST(EngineLockFolder, ASetLockFolderIsLeftAsItIs) {
    std::optional<std::string> saved;
    if (const char* old = getenv("FIREBIRD_LOCK")) saved = old;
    setenv("FIREBIRD_LOCK", "/somewhere/chosen", 1);
    EXPECT_EQ(PrepareEngineLockFolder(), "");
    EXPECT_STREQ(getenv("FIREBIRD_LOCK"), "/somewhere/chosen");
    if (saved)
        setenv("FIREBIRD_LOCK", saved->c_str(), 1);
    else
        unsetenv("FIREBIRD_LOCK");
}

TEST(EngineLockFolder, OnlyAnEngineThatSharesFilesNeedsTheCommonFolder) {
    struct Case {
        const char* Mode;
        bool Shares;
    } cases[] = {{"", false},
                 {"Super", false},
                 {" super ", false},
                 {"ThreadedDedicated", false},
                 {"SuperClassic", true},
                 {"ThreadedShared", true},
                 {"Classic", true},
                 {"MultiProcess", true},
                 {"unknown", true}};
    for (const Case& c : cases)
        EXPECT_EQ(EngineSharesDatabaseFiles(c.Mode), c.Shares) << c.Mode;
}

TEST(EngineLockFolder, TheEmbeddedEngineOpensNamesWithoutAServer) {
    struct Case {
        const char* Name;
        bool Embedded;
    } cases[] = {
        {"/data/demo.fdb", true},
        {"demo.fdb", true},
        {"employee", true},
        {"/data/a:b.fdb", true},
        {"srv:/data/demo.fdb", false},
        {"127.0.0.1/3061:/d.fdb", false},
        {"inet://srv/data/demo.fdb", false},
        {"localhost:employee", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsEmbeddedDatabaseName(c.Name), c.Embedded) << c.Name;
}

} // namespace
