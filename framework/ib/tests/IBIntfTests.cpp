// The embedded engine's lock folder: when this process takes one of its own,
// what it accepts as private, and which names and engine modes it concerns.
#include "IB.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

mode_t ModeOf(const fs::path& Path) {
    struct stat info {};
    ::lstat(Path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(EngineLockFolder, APrivateFolderIsARealFolderOfThisUserThatNobodyElseMayEnter) {
    TScratch scratch;
    const fs::path folder = scratch.Path() / "lock";
    struct Case {
        const char* What;
        std::function<void()> Make;
        bool Accepted;
    } cases[] = {
        {"missing: made", [] {}, true},
        {"this user's, open to others: closed",
         [&] {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms(0755));
         },
         true},
        {"a link to a folder", [&] { fs::create_directory_symlink(scratch.Path(), folder); }, false},
        {"a file", [&] { std::ofstream(folder) << "x"; }, false},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        c.Make();
        EXPECT_EQ(MakePrivateFolder(folder.string()), c.Accepted) << c.What;
        if (c.Accepted) {
            EXPECT_EQ(ModeOf(folder), 0700u) << c.What;
        }
    }
    if (geteuid() == 0) {
        // Another user's folder is never taken, however it is set up.
        fs::remove_all(folder);
        fs::create_directory(folder);
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        fs::permissions(folder, fs::perms(0700));
        EXPECT_FALSE(MakePrivateFolder(folder.string()));
    }
}

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
