// The settings store: values in memory and, while remembered, in the INI file.
#include "DemoTestEnv.h"
#include "Unt_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_EQ(Settings, nullptr) << "a test left the settings object"; }

    void SetAll(TSettings& S, const AnsiString& Suffix) {
        S.SetServer("srv" + Suffix);
        S.SetDatabase("/data/demo" + Suffix + ".gdb");
        S.SetUsername("user" + Suffix);
        S.SetPassword("pw" + Suffix);
    }
    static std::vector<AnsiString> Values(const TSettings& S) {
        return {S.GetServer(), S.GetDatabase(), S.GetUsername(), S.GetPassword()};
    }

    TProgramFolder Folder;
};

TEST_F(SettingsTest, TheFileLivesBesideTheProgram) {
    SetModuleFileNameForTesting(AnsiString());
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(GetModuleFileName(), exe);
    TSettings s;
    EXPECT_EQ(s.GetIniFileName(), std::filesystem::path(exe).parent_path().string() + "/IbRowvaneDemo.ini");
    SetModuleFileNameForTesting(Folder.Path() + "/IBRowvaneDemo");
    EXPECT_EQ(s.GetIniFileName(), Folder.IniFile());
}

TEST_F(SettingsTest, OneObjectPerRunAndAFailedSecondKeepsTheFirst) {
    auto first = std::make_unique<TSettings>();
    EXPECT_EQ(Settings, first.get());
    try {
        TSettings second;
        ADD_FAILURE() << "a second settings object was made";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Settings class already exists");
    }
    EXPECT_EQ(Settings, first.get());
    first->SetServer("still here");
    EXPECT_EQ(Settings->GetServer(), "still here");
    first.reset();
    EXPECT_EQ(Settings, nullptr);
    TSettings again; // the way is free once the first is gone
    EXPECT_EQ(Settings, &again);
    EXPECT_EQ(again.GetServer(), ""); // nothing carried over
}

TEST_F(SettingsTest, FirstRunStartsEmptyAndTouchesNoFile) {
    TSettings s;
    EXPECT_FALSE(s.GetRemember());
    EXPECT_EQ(Values(s), (std::vector<AnsiString>{"", "", "", ""}));
    EXPECT_EQ(s.GetConnectString(), "");
    SetAll(s, "1"); // not remembered: memory only
    EXPECT_EQ(Values(s), (std::vector<AnsiString>{"srv1", "/data/demo1.gdb", "user1", "pw1"}));
    EXPECT_FALSE(std::filesystem::exists(Folder.IniFile()));
}

TEST_F(SettingsTest, RememberedValuesAreSavedPrivatelyAndComeBackNextRun) {
    mode_t old = umask(022);
    {
        TSettings s;
        s.SetRemember(true);
        SetAll(s, "");
    }
    umask(old);
    EXPECT_EQ(Folder.IniText(), "[Database Settings]\nRemeber=1\nServer=srv\nDatabase=/data/demo.gdb\n"
                                "Username=user\nPassword=pw\n");
    struct stat st {};
    ASSERT_EQ(::stat(Folder.IniFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds a password

    TSettings next;
    EXPECT_TRUE(next.GetRemember());
    EXPECT_EQ(Values(next), (std::vector<AnsiString>{"srv", "/data/demo.gdb", "user", "pw"}));
    EXPECT_EQ(next.GetConnectString(), "srv:/data/demo.gdb");

    // Opened up by hand, the file is its owner's alone again once the password goes in.
    ::chmod(Folder.IniFile().c_str(), 0644);
    next.SetPassword("new");
    ASSERT_EQ(::stat(Folder.IniFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsTest, NotRememberedValuesServeThisRunOnly) {
    {
        TSettings s;
        s.SetRemember(true);
        SetAll(s, "");
        s.SetRemember(false); // takes the values out of the file, not out of memory
        EXPECT_EQ(Values(s), (std::vector<AnsiString>{"srv", "/data/demo.gdb", "user", "pw"}));
        s.SetPassword("later"); // not written while off
        EXPECT_EQ(s.GetPassword(), "later");
    }
    EXPECT_EQ(Folder.IniText(), "[Database Settings]\nRemeber=0\n");
    TSettings next;
    EXPECT_FALSE(next.GetRemember());
    EXPECT_EQ(Values(next), (std::vector<AnsiString>{"", "", "", ""}));
}

TEST_F(SettingsTest, TheFileCountsOnlyWhileItsFlagIsOnAndUntilAValueIsSet) {
    const char* values = "Server=fs\nDatabase=/f.gdb\nUsername=fu\nPassword=fp\n";
    Folder.PutIni(AnsiString("[Database Settings]\nRemeber=0\n") + values);
    {
        TSettings s;
        EXPECT_EQ(Values(s), (std::vector<AnsiString>{"", "", "", ""}));
    }
    for (const char* flag : {"1", "0x1", "7"}) {
        Folder.PutIni(AnsiString("[Database Settings]\nRemeber=") + flag + "\n" + values);
        TSettings s;
        EXPECT_TRUE(s.GetRemember()) << flag;
        EXPECT_EQ(Values(s), (std::vector<AnsiString>{"fs", "/f.gdb", "fu", "fp"})) << flag;
    }
    Folder.PutIni(AnsiString("[Database Settings]\nRemeber=1\n") + values);
    TSettings s;
    EXPECT_EQ(s.GetServer(), "fs");
    // Read from the file each time, until set in this run.
    Folder.PutIni("[Database Settings]\nRemeber=1\nServer=changed\n");
    EXPECT_EQ(s.GetServer(), "changed");
    s.SetServer("mine");
    Folder.PutIni("[Database Settings]\nRemeber=1\nServer=changed again\n");
    EXPECT_EQ(s.GetServer(), "mine");
    Folder.PutIni("[Database Settings]\nRemeber=no\nServer=x\n");
    EXPECT_FALSE(s.GetRemember());
}

TEST_F(SettingsTest, ConnectStringJoinsServerAndPath) {
    struct Case {
        const char* Server;
        const char* Database;
        const char* Expected;
    };
    const Case cases[] = {{"srv", "/data/demo.gdb", "srv:/data/demo.gdb"},
                          {"", "/data/demo.gdb", "/data/demo.gdb"},
                          {"srv", "", "srv:"},
                          {" ", "x", " :x"}}; // taken as typed
    TSettings s;
    for (const Case& c : cases) {
        s.SetServer(c.Server);
        s.SetDatabase(c.Database);
        EXPECT_EQ(s.GetConnectString(), c.Expected);
    }
}

// Neither the program folder nor the user's configuration folder can take
// the file: the program folder is missing, the configuration folder would
// have to be made inside a file.
void NowhereToWrite(const TProgramFolder& Folder) {
    SetModuleFileNameForTesting(Folder.Path() + "/missing/IBRowvaneDemo");
    std::ofstream(Folder.Path() + "/file") << "x";
    setenv("XDG_CONFIG_HOME", (Folder.Path() + "/file/config").c_str(), 1);
}

TEST_F(SettingsTest, AFailedWriteNamesTheFileAndKeepsWhatWasSet) {
    NowhereToWrite(Folder);
    TSettings s;
    s.SetServer("kept");
    try {
        s.SetRemember(true);
        ADD_FAILURE() << "the write did not fail";
    } catch (const EIniFileException& e) {
        EXPECT_NE(e.Message().find("Unable to write to " + Folder.Path() + "/file/config/IbRowvaneDemo.ini"),
                  AnsiString::npos)
            << e.Message();
    }
    EXPECT_EQ(s.GetServer(), "kept");
    EXPECT_FALSE(s.GetRemember());
    // Not remembering needs no file at all.
    EXPECT_NO_THROW(s.SetRemember(false));
    s.SetPassword("pw");
    EXPECT_EQ(s.GetPassword(), "pw");
}

TEST_F(SettingsTest, WhenTheProgramFolderCannotBeWrittenTheFileGoesToTheUsersFolder) {
    SetModuleFileNameForTesting(Folder.Path() + "/missing/IBRowvaneDemo");
    {
        TSettings s;
        s.SetRemember(true);
        SetAll(s, "");
    }
    EXPECT_EQ(
        TProgramFolder::TextOf(Folder.UserIniFile()),
        "[Database Settings]\nRemeber=1\nServer=srv\nDatabase=/data/demo.gdb\nUsername=user\nPassword=pw\n");
    struct stat st {};
    ASSERT_EQ(::stat(Folder.UserIniFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        TSettings next; // read from there next time
        EXPECT_EQ(Values(next), (std::vector<AnsiString>{"srv", "/data/demo.gdb", "user", "pw"}));
        // Once it is there, the user's file stays in use even where the program's folder could take one.
        SetModuleFileNameForTesting(Folder.Path() + "/IBRowvaneDemo");
        next.SetPassword("changed");
        EXPECT_FALSE(std::filesystem::exists(Folder.IniFile()));
    }
    // A file in the program's folder comes first.
    Folder.PutIni("[Database Settings]\nRemeber=1\nServer=beside the program\n");
    TSettings s;
    EXPECT_EQ(s.GetServer(), "beside the program");
    EXPECT_EQ(s.GetPassword(), "");
    s.SetRemember(false);
    EXPECT_EQ(Folder.IniText(), "[Database Settings]\nRemeber=0\n");
    EXPECT_NE(TProgramFolder::TextOf(Folder.UserIniFile()).find("Password=changed"), AnsiString::npos);
}

// The file beside the program may be a link: the settings are kept where
// it leads, and the link stays. A link that leads into a missing folder can
// take no file, so the user's own file is used instead.
TEST_F(SettingsTest, AFileBesideTheProgramThatIsALinkIsKeptWhereItLeads) {
    namespace fs = std::filesystem;
    const AnsiString elsewhere = Folder.Path() + "/elsewhere";
    fs::create_directory(elsewhere);
    struct Case {
        const char* Name;
        AnsiString Target;   // what the link says
        const char* Before;  // the file it leads to, nullptr for none
        AnsiString Settings; // where the settings end up
    } cases[] = {
        {"a link to a file", elsewhere + "/real.ini", "[Database Settings]\nRemeber=1\nServer=there\n",
         elsewhere + "/real.ini"},
        {"a link to no file yet", "elsewhere/new.ini", nullptr, elsewhere + "/new.ini"},
        {"a link into a missing folder", elsewhere + "/missing/new.ini", nullptr, Folder.UserIniFile()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(Folder.ConfigFolder());
        fs::remove(Folder.IniFile());
        if (c.Before) std::ofstream(c.Target, std::ios::binary) << c.Before;
        fs::create_symlink(c.Target, Folder.IniFile());
        {
            TSettings s;
            EXPECT_EQ(s.GetServer(), c.Before ? "there" : "");
            EXPECT_NO_THROW({
                s.SetRemember(true);
                s.SetServer("srv");
            });
        }
        EXPECT_EQ(TProgramFolder::TextOf(c.Settings), "[Database Settings]\nRemeber=1\nServer=srv\n");
        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(Folder.IniFile(), ec).string(), c.Target) << ec.message();
        EXPECT_EQ(fs::exists(Folder.UserIniFile()), c.Settings == Folder.UserIniFile());
        TSettings next; // and read from there next time
        EXPECT_EQ(next.GetServer(), "srv");
    }
}

TEST_F(SettingsTest, TheUsersFolderFollowsXdgConfigHomeElseHome) {
    struct Case {
        const char* ConfigHome;
        const char* Home;
        const char* Expected;
    } cases[] = {
        {"/cfg", "/home/u", "/cfg/IbRowvaneDemo.ini"},
        {nullptr, "/home/u", "/home/u/.config/IbRowvaneDemo.ini"},
        {"", "/home/u", "/home/u/.config/IbRowvaneDemo.ini"},
        {"relative/cfg", "/home/u", "/home/u/.config/IbRowvaneDemo.ini"}, // only an absolute path counts
    };
    std::optional<std::string> home;
    if (const char* h = getenv("HOME")) home = h;
    TSettings s;
    for (const Case& c : cases) {
        if (c.ConfigHome)
            setenv("XDG_CONFIG_HOME", c.ConfigHome, 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        setenv("HOME", c.Home, 1);
        EXPECT_EQ(s.GetUserIniFileName(), c.Expected) << (c.ConfigHome ? c.ConfigHome : "(unset)");
    }
    if (home)
        setenv("HOME", home->c_str(), 1);
    else
        unsetenv("HOME");
}

} // namespace
