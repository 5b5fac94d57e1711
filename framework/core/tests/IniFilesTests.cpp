#include "IniFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    IniFileTest() {
        AnsiString templ = (fs::temp_directory_path() / "kv-ini-XXXXXX").string();
        Dir = mkdtemp(templ.data());
        Path = Dir + "/test.ini";
    }
    ~IniFileTest() override { fs::remove_all(Dir); }

    AnsiString FileText() const {
        std::ifstream in(Path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void PutFile(const AnsiString& Text) const { std::ofstream(Path, std::ios::binary) << Text; }
    mode_t Mode() const {
        struct stat st {};
        ::stat(Path.c_str(), &st);
        return st.st_mode & 0777;
    }

    AnsiString Dir, Path;
};

// Expects Call to raise EIniFileException with a message that holds each of Parts.
template <class F> void ExpectIniError(F Call, std::initializer_list<AnsiString> Parts) {
    try {
        Call();
        ADD_FAILURE() << "no error";
    } catch (const EIniFileException& e) {
        for (const AnsiString& part : Parts)
            EXPECT_NE(e.Message().find(part), AnsiString::npos) << e.Message();
    }
}

TEST_F(IniFileTest, MissingFileReadsDefaultsAndTheFirstWriteCreatesIt) {
    {
        TIniFile ini(Path);
        EXPECT_EQ(ini.ReadString("Database Settings", "Server", "none"), "none");
        EXPECT_FALSE(ini.ReadBool("Database Settings", "Remeber", false));
        EXPECT_FALSE(ini.SectionExists("Database Settings"));
        ini.DeleteKey("Database Settings", "Server");
        ini.EraseSection("Database Settings");
        EXPECT_FALSE(fs::exists(Path)); // reading and removing create nothing
        ini.WriteBool("Database Settings", "Remeber", true);
        ini.WriteString("Database Settings", "Server", "srv");
        ini.WriteInteger("Other", "Count", 12);
    }
    EXPECT_EQ(FileText(), "[Database Settings]\nRemeber=1\nServer=srv\n\n[Other]\nCount=12\n");
    TIniFile again(Path); // the next run
    EXPECT_TRUE(again.ReadBool("database settings", "REMEBER", false));
    EXPECT_EQ(again.ReadString("Database Settings", "server", ""), "srv");
    EXPECT_EQ(again.ReadInteger("Other", "Count", 0), 12);
    EXPECT_TRUE(again.ValueExists("Other", "count"));
    EXPECT_FALSE(again.ValueExists("Other", "Server"));
}

TEST_F(IniFileTest, ValuesComeBackAsWritten) {
    TIniFile ini(Path);
    const AnsiString values[] = {"",      "plain", " leading", "trailing ",       "\"quoted\"", "'single'",
                                 "a=b=c", "\"",    "it's \"x", "; not a comment", "[x]",        "ümlaut"};
    int n = 0;
    for (const AnsiString& v : values)
        ini.WriteString("S", "K" + IntToStr(n++), v);
    n = 0;
    for (const AnsiString& v : values)
        EXPECT_EQ(ini.ReadString("S", "K" + IntToStr(n++), "?"), v);
    // Overwriting keeps one line per key.
    ini.WriteString("S", "k0", "new");
    EXPECT_EQ(ini.ReadString("S", "K0", ""), "new");
    TStringList keys;
    ini.ReadSection("S", &keys);
    EXPECT_EQ(keys.Count(), 12);
    EXPECT_EQ(keys[0], "K0");
}

// A value that is most of the file comes back whole, quoted or not, and so
// do the short values around it.
TEST_F(IniFileTest, AVeryLongValueComesBackWhole) {
    const AnsiString longValue = " " + AnsiString(1 << 20, 'x') + "y ";
    TIniFile ini(Path);
    ini.WriteString("S", "Before", "b");
    ini.WriteString("S", "Long", longValue);
    ini.WriteString("S", "After", "a");
    EXPECT_EQ(ini.ReadString("S", "Long", ""), longValue);
    EXPECT_EQ(ini.ReadString("S", "Before", ""), "b");
    EXPECT_EQ(ini.ReadString("S", "After", ""), "a");
    PutFile("[S]\nLong=" + AnsiString(1 << 20, 'z') + "\n");
    EXPECT_EQ(ini.ReadString("S", "Long", ""), AnsiString(1 << 20, 'z'));
}

TEST_F(IniFileTest, IntegersAndFlagsReadLikeTheFramework) {
    PutFile("[S]\none=1\nzero=0\nhex=0x1F\ndollar=$10\nneg=-3\nblank=\ntext=yes\n  spaced  =  7  \n");
    TIniFile ini(Path);
    struct Case {
        const char* Key;
        int Int;
        bool Bool;
    };
    const Case cases[] = {{"one", 1, true},     {"zero", 0, false},  {"hex", 31, true},
                          {"dollar", 16, true}, {"neg", -3, true},   {"blank", 99, true},
                          {"text", 99, true},   {"spaced", 7, true}, {"missing", 99, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(ini.ReadInteger("S", c.Key, 99), c.Int) << c.Key;
        EXPECT_EQ(ini.ReadBool("S", c.Key, true), c.Bool) << c.Key;
    }
    EXPECT_FALSE(ini.ReadBool("S", "text", false)); // no number: the default
}

TEST_F(IniFileTest, OtherLinesStayAndRemovalTakesOnlyItsLines) {
    PutFile("; settings\r\n[A]\r\nx=1\r\n; about y\r\ny=2\r\n\r\n[B]\r\nz=3\r\nnot a key\r\n");
    TIniFile ini(Path);
    ini.DeleteKey("A", "x");
    ini.WriteString("A", "w", "4");
    EXPECT_EQ(FileText(), "; settings\r\n[A]\r\n; about y\r\ny=2\r\nw=4\r\n\r\n[B]\r\nz=3\r\nnot a key\r\n");
    TStringList list;
    ini.ReadSections(&list);
    EXPECT_EQ(list.GetText(), "A\r\nB\r\n");
    ini.ReadSectionValues("A", &list);
    EXPECT_EQ(list.GetText(), "y=2\r\nw=4\r\n");
    ini.EraseSection("A");
    EXPECT_EQ(FileText(), "; settings\r\n[B]\r\nz=3\r\nnot a key\r\n");
}

TEST_F(IniFileTest, CreateModeMakesNewFilesAndBoundsExistingOnes) {
    mode_t old = umask(022);
    TIniFile secret(Path, 0600);
    secret.WriteString("S", "Password", "pw");
    EXPECT_EQ(Mode(), 0600u);

    AnsiString other = Dir + "/other.ini";
    TIniFile plain(other);
    plain.WriteString("S", "K", "v");
    auto modeOf = [](const AnsiString& File) {
        struct stat st {};
        ::stat(File.c_str(), &st);
        return st.st_mode & 07777;
    };
    EXPECT_EQ(modeOf(other), 0644u);
    // An existing file keeps its mode across rewrites...
    ::chmod(other.c_str(), 0660);
    plain.WriteString("S", "K", "w");
    EXPECT_EQ(modeOf(other), 0660u);
    // ...but a file for secrets that others may read becomes its owner's
    // alone with the next write, whatever that write is.
    for (mode_t wider : {0644, 0666, 0640}) {
        ::chmod(Path.c_str(), wider);
        secret.WriteString("S", "Password", "new" + IntToStr(static_cast<int>(wider)));
        EXPECT_EQ(Mode(), 0600u) << std::oct << wider;
    }
    ::chmod(Path.c_str(), 0400); // narrower stays narrower
    secret.DeleteKey("S", "Password");
    EXPECT_EQ(Mode(), 0400u);
    umask(old);
}

TEST_F(IniFileTest, FailedWritesRaiseAndLeaveTheFileAsItWas) {
    PutFile("[S]\nK=old\n");
    TIniFile ini(Path);
    struct Case {
        AnsiString Section, Ident, Value, Expected;
    };
    const Case cases[] = {
        {"S", "K", "two\nlines", "the value of K holds a line break"},
        {"S", "K", "a\rb", "line break"},
        {"S", "K=1", "v", "invalid key name"},
        {"S", "", "v", "invalid key name"},
        {"S", "[K", "v", "invalid key name"},
        {"S]", "K", "v", "invalid section name"},
        {"", "K", "v", "invalid section name"},
    };
    for (const Case& c : cases) {
        try {
            ini.WriteString(c.Section, c.Ident, c.Value);
            ADD_FAILURE() << c.Ident;
        } catch (const EIniFileException& e) {
            EXPECT_NE(e.Message().find("Unable to write to " + Path), AnsiString::npos) << e.Message();
            EXPECT_NE(e.Message().find(c.Expected), AnsiString::npos) << e.Message();
        }
    }
    EXPECT_EQ(FileText(), "[S]\nK=old\n");

    // A folder that does not exist, and a path that cannot be read: nothing
    // is replaced by a file that would lack what could not be seen.
    TIniFile nowhere(Dir + "/missing/test.ini");
    EXPECT_THROW(nowhere.WriteString("S", "K", "v"), EIniFileException);
    TIniFile folder(Dir);
    EXPECT_EQ(folder.ReadString("S", "K", "default"), "default");
    EXPECT_THROW(folder.WriteString("S", "K", "v"), EIniFileException);
    EXPECT_THROW(folder.DeleteKey("S", "K"), EIniFileException);
    EXPECT_TRUE(fs::is_directory(Dir));
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(Dir))
        ++files;
    EXPECT_EQ(files, 1);
}

// A pipe or a device at the path reads as no file, at once, and is never
// written: opening a pipe would wait for a writer, reading a device would
// never end.
TEST_F(IniFileTest, OnlyARegularFileIsReadOrWritten) {
    const AnsiString settings = "[S]\nK=there\n";
    ASSERT_EQ(::mkfifo(Path.c_str(), 0600), 0);
    // A writer that keeps the pipe open with settings in it: a reader that
    // took it for a file would read them and then wait for more.
    int writer = ::open(Path.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, settings.data(), settings.size()), static_cast<ssize_t>(settings.size()));
    AnsiString zero = Dir + "/zero.ini";
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);

    for (const AnsiString& path : {Path, zero}) {
        SCOPED_TRACE(path);
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("S", "K", "default"), "default");
        EXPECT_FALSE(ini.SectionExists("S"));
        ExpectIniError([&] { ini.WriteString("S", "K", "v"); },
                       {"Unable to write to " + path, "not a regular file"});
        ExpectIniError([&] { ini.DeleteKey("S", "K"); }, {"not a regular file"});
        ExpectIniError([&] { ini.EraseSection("S"); }, {"not a regular file"});
    }
    // Both are still what they were, the pipe with its settings unread.
    struct stat info {};
    ASSERT_EQ(::lstat(Path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    char buf[64] = {};
    EXPECT_EQ(::read(writer, buf, sizeof buf), static_cast<ssize_t>(settings.size()));
    ::close(writer);
    EXPECT_EQ(fs::read_symlink(zero), "/dev/zero");
}

// A settings file may be a symbolic link (or a chain of them, each relative
// to its own folder): a write changes the file the links lead to, replaced
// beside it and keeping its mode, or makes it when there is none yet; the
// links stay as they are. A link to what is no regular file reads as no file
// and is never written; one into a missing folder cannot be written either.
TEST_F(IniFileTest, AWriteThroughALinkChangesTheFileItLeadsTo) {
    struct Case {
        const char* Name;
        // Link and what it says, in the case's folder; "@" is that folder's absolute path.
        std::vector<std::pair<const char*, const char*>> Links;
        const char* Target; // where the settings are, "" for none
        bool Exists;        // Target holds "[S]\nK=old\n", mode 0600
        const char* Why;    // without a Target: why a write fails
    };
    const Case cases[] = {
        {"a link beside its file", {{"test.ini", "real.ini"}}, "real.ini", true, ""},
        {"a link into another folder", {{"test.ini", "@/other/real.ini"}}, "other/real.ini", true, ""},
        {"a chain of relative links",
         {{"test.ini", "sub/next"}, {"sub/next", "../other/real.ini"}},
         "other/real.ini",
         true,
         ""},
        {"a link to no file yet", {{"test.ini", "other/new.ini"}}, "other/new.ini", false, ""},
        {"a link into a missing folder", {{"test.ini", "missing/new.ini"}}, "", false, "No such file"},
        {"a link to a folder", {{"test.ini", "other"}}, "", false, "not a regular file"},
        {"a link to a pipe", {{"test.ini", "other/pipe"}}, "", false, "not a regular file"},
    };
    mode_t oldMask = umask(022);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const AnsiString base = Dir + "/" + IntToStr(n++);
        fs::create_directories(base + "/other");
        fs::create_directories(base + "/sub");
        ASSERT_EQ(::mkfifo((base + "/other/pipe").c_str(), 0600), 0);
        const AnsiString target = base + "/" + c.Target;
        if (c.Exists) {
            std::ofstream(target, std::ios::binary) << "[S]\nK=old\n";
            ::chmod(target.c_str(), 0600);
        }
        auto says = [&](const char* To) { return To[0] == '@' ? base + (To + 1) : AnsiString(To); };
        for (const auto& [link, to] : c.Links)
            ASSERT_EQ(::symlink(says(to).c_str(), (base + "/" + link).c_str()), 0);
        auto entries = [&] {
            std::vector<AnsiString> names;
            for (auto& e : fs::recursive_directory_iterator(base))
                names.push_back(e.path().string());
            std::sort(names.begin(), names.end());
            return names;
        };
        const std::vector<AnsiString> before = entries();

        // CreateMode 0640: a file made has it, one written keeps its own 0600.
        TIniFile ini(base + "/test.ini", 0640);
        EXPECT_EQ(ini.ReadString("S", "K", "none"), c.Exists ? "old" : "none");
        if (*c.Target) {
            ini.WriteString("S", "K", "new");
            ini.WriteString("S", "L", "more");
            ini.DeleteKey("S", "L");
            EXPECT_EQ(TIniFile(target).ReadString("S", "K", ""), "new");
            EXPECT_EQ(ini.ReadString("S", "K", ""), "new");
            struct stat st {};
            EXPECT_EQ(::lstat(target.c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, c.Exists ? 0600u : 0640u);
        } else {
            ExpectIniError([&] { ini.WriteString("S", "K", "new"); },
                           {"Unable to write to " + base + "/test.ini", c.Why});
        }
        // The links say what they said, no temporary file is left anywhere,
        // and a failed write made nothing.
        for (const auto& [link, to] : c.Links) {
            std::error_code ec;
            EXPECT_EQ(fs::read_symlink(base + "/" + link, ec).string(), says(to))
                << link << ": " << ec.message();
        }
        std::vector<AnsiString> expected = before;
        if (*c.Target && !c.Exists) {
            expected.push_back(target);
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(entries(), expected);
    }
    umask(oldMask);
}

// A file past the limit is refused before any of it is read: a sparse file
// of a gigabyte costs neither the time nor the memory of reading it, and a
// write leaves it as it was, holes and all.
TEST_F(IniFileTest, AFileLargerThanTheLimitIsRefusedWhole) {
    auto sparse = [&](off_t Size) {
        PutFile("[S]\nK=v\n");
        ASSERT_EQ(::truncate(Path.c_str(), Size), 0);
    };
    const AnsiString tooLarge = "larger than 64 MiB";
    sparse(off_t(1) << 30);
    struct stat before {};
    ASSERT_EQ(::stat(Path.c_str(), &before), 0);
    TIniFile ini(Path);
    ExpectIniError([&] { ini.ReadString("S", "K", ""); },
                   {"Unable to read " + Path, "the file is " + tooLarge});
    ExpectIniError([&] { ini.ReadBool("S", "K", false); }, {tooLarge});
    TStringList list;
    ExpectIniError([&] { ini.ReadSections(&list); }, {tooLarge});
    ExpectIniError([&] { ini.WriteString("S", "K", "w"); }, {"Unable to write to " + Path, tooLarge});
    ExpectIniError([&] { ini.DeleteKey("S", "K"); }, {tooLarge});
    struct stat after {};
    ASSERT_EQ(::stat(Path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_blocks, before.st_blocks);

    // A file at the limit still reads; a write that would grow it is refused.
    sparse(static_cast<off_t>(MaxIniFileSize));
    EXPECT_EQ(ini.ReadString("S", "K", ""), "v");
    ExpectIniError([&] { ini.WriteString("S", "K", "longer"); }, {"the file would be " + tooLarge});
    EXPECT_EQ(fs::file_size(Path), MaxIniFileSize);

    // A value that would take the file past the limit: refused, the file kept.
    PutFile("[S]\nK=v\n");
    for (size_t size : {MaxIniFileSize - 4, MaxIniFileSize + 1})
        ExpectIniError([&] { ini.WriteString("S", "K", AnsiString(size, 'x')); },
                       {"the file would be " + tooLarge});
    EXPECT_EQ(FileText(), "[S]\nK=v\n");
}

// A NUL byte ends what a reader sees of a line; the line itself stays as it
// stands when other lines change, and no value can bring one in.
TEST_F(IniFileTest, ALineIsReadUpToItsFirstNulByte) {
    using namespace std::string_literals;
    const AnsiString text = "[S]\nA=va\0lue\nB\0=hidden\nC=c\0\n"s;
    PutFile(text);
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("S", "A", ""), "va");
    EXPECT_EQ(ini.ReadString("S", "B", "none"), "none");
    EXPECT_EQ(ini.ReadString("S", "C", ""), "c");
    TStringList keys;
    ini.ReadSection("S", &keys);
    EXPECT_EQ(keys.GetText(), "A\r\nC\r\n");
    ini.WriteString("S", "D", "d");
    EXPECT_EQ(FileText(), text + "D=d\n");
    ExpectIniError([&] { ini.WriteString("S", "E", "e\0e"s); }, {"the value of E holds a NUL byte"});
    ExpectIniError([&] { ini.WriteString("S", "E\0"s, "e"); }, {"invalid key name"});
    EXPECT_EQ(FileText(), text + "D=d\n");
}

} // namespace
