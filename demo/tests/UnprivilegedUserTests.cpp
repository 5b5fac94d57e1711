// The program as a user meets it who is neither root nor in the engine's
// group, on a machine set up by scripts/setup alone: the open sequence and
// the settings dialog run in a process of that user (demo_user_session),
// with the program in a folder the user may not write. Making such a user
// needs root; the tests make it when run as root (as CI runs) and are
// skipped otherwise.
#include "DemoTestEnv.h"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "Unt_settings.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const UserName = "kvdemouser";
const char* const EngineGroup = "firebird";

// Runs a program to its end; its exit code, or -1.
int RunProgram(const std::vector<std::string>& Args) {
    std::vector<char*> argv;
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The test user, made when missing; empty with the reason when there is none.
std::optional<passwd> TestUser(std::string& Why) {
    // Test runs of other checkouts may make it at the same time: 9 means made
    // meanwhile, 1 and 10 that the user files were locked for a moment.
    for (int attempt = 0; !getpwnam(UserName); ++attempt) {
        int rc = RunProgram({"/usr/sbin/useradd", "--system", "--user-group", "--no-create-home",
                             "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin", UserName});
        if (rc == 0 || rc == 9) break;
        if ((rc != 1 && rc != 10) || attempt == 10) {
            Why = "useradd failed (" + std::to_string(rc) + ")";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    passwd* user = getpwnam(UserName);
    if (!user) {
        Why = std::string("no user ") + UserName;
        return std::nullopt;
    }
    passwd found = *user;
    if (group* engine = getgrnam(EngineGroup)) {
        int count = 64;
        std::vector<gid_t> groups(static_cast<size_t>(count));
        if (getgrouplist(UserName, found.pw_gid, groups.data(), &count) < 0) {
            Why = "cannot read the groups of the test user";
            return std::nullopt;
        }
        for (int i = 0; i < count; ++i)
            if (groups[static_cast<size_t>(i)] == engine->gr_gid) {
                Why = std::string("the test user ") + UserName + " is in the group " + EngineGroup;
                return std::nullopt;
            }
    }
    return found;
}

// A process of the test user with pipes to its input and output.
class TUserProcess {
public:
    TUserProcess(const passwd& User, const std::string& Program, const std::vector<std::string>& Args,
                 const std::vector<std::string>& Environment) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        std::vector<char*> argv{const_cast<char*>(Program.c_str())}, envp;
        for (const std::string& a : Args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : Environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        FPid = fork();
        if (FPid == 0) {
            // Only calls that are safe after fork from here on.
            if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0) _exit(126);
            if (setgroups(0, nullptr) != 0 || setgid(User.pw_gid) != 0 || setuid(User.pw_uid) != 0)
                _exit(126);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        FIn = in[1];
        FOut = out[0];
    }
    ~TUserProcess() {
        if (FIn >= 0) close(FIn);
        if (FOut >= 0) close(FOut);
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }

    // The next line of its output; nothing when it ends or stays silent too long.
    std::optional<std::string> ReadLine(std::chrono::seconds Timeout = std::chrono::seconds(120)) {
        auto deadline = std::chrono::steady_clock::now() + Timeout;
        for (;;) {
            size_t eol = FBuffer.find('\n');
            if (eol != std::string::npos) {
                std::string line = FBuffer.substr(0, eol);
                FBuffer.erase(0, eol + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (FOut < 0 || left.count() <= 0) return std::nullopt;
            pollfd p{FOut, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[4096];
            ssize_t n = read(FOut, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            FBuffer.append(chunk, static_cast<size_t>(n));
        }
    }
    void WriteLine(const std::string& Line) {
        std::string text = Line + "\n";
        if (write(FIn, text.data(), text.size()) < 0) ADD_FAILURE() << "cannot write to the user's process";
    }
    // Its exit code once it has ended, -1 when it did not end normally.
    int Wait() {
        int status = 0;
        pid_t pid = FPid;
        FPid = -1;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    bool Started() const { return FPid > 0; }

private:
    pid_t FPid = -1;
    int FIn = -1, FOut = -1;
    std::string FBuffer;
};

std::string ReadFile(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectPrivateFileOf(uid_t Owner, const fs::path& File) {
    struct stat info {};
    ASSERT_EQ(::stat(File.c_str(), &info), 0) << File;
    EXPECT_EQ(info.st_uid, Owner) << File;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << File;
}

// The program in a folder of root's that the user may read but not write,
// the user's home with a database folder of its own.
class UnprivilegedUser : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "making a user who is not root needs root (CI runs the tests as root)";
        std::string why;
        User = TestUser(why);
        if (!User) GTEST_SKIP() << why;
        fs::permissions(Program.Path(), fs::perms(0755));
        for (const fs::path& folder : {Home, Home / "data", Home / "run"}) {
            fs::create_directory(folder);
            ASSERT_EQ(chown(folder.c_str(), User->pw_uid, User->pw_gid), 0);
            fs::permissions(folder, fs::perms(0700));
        }
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Home, ec);
    }

    // Runs demo_user_session, copied into the program folder as the program file, as the user.
    std::unique_ptr<TUserProcess> Start(const std::vector<std::string>& Args) {
        const fs::path program = fs::path(Program.Path()) / "IBRowvaneDemo";
        if (!fs::exists(program)) fs::copy_file(DEMO_USER_SESSION_FILE, program);
        std::vector<std::string> environment = {"HOME=" + Home.string(), "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                                "QT_QPA_PLATFORM=offscreen",
                                                "XDG_RUNTIME_DIR=" + (Home / "run").string()};
        for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* value = getenv(pass)) environment.push_back(std::string(pass) + "=" + value);
        return std::make_unique<TUserProcess>(*User, program.string(), Args, environment);
    }

    std::optional<passwd> User;
    TProgramFolder Program;
    const fs::path Home = fs::path(Program.Path() + "-home");
    const fs::path UserSettings = Home / ".config" / "IbRowvaneDemo.ini";
};

TEST_F(UnprivilegedUser, OpensCreatesAndEditsADatabaseWithoutAnyStepByRoot) {
    const std::string database = (Home / "data" / "demo.fdb").string();
    std::unique_ptr<TUserProcess> started = Start({"open", database});
    TUserProcess& process = *started;
    ASSERT_TRUE(process.Started());

    std::vector<std::string> said;
    while (said.empty() || said.back() != "open") {
        std::optional<std::string> line = process.ReadLine();
        ASSERT_TRUE(line) << "the user's program ended or stalled after: " << testing::PrintToString(said);
        said.push_back(*line);
        ASSERT_EQ(line->rfind("error:", 0), std::string::npos) << *line;
    }
    // The settings went to the user's configuration folder, readable by the
    // user alone; the engine's lock files to a folder of the user's own.
    EXPECT_EQ(said, (std::vector<std::string>{"settings " + UserSettings.string(),
                                              "lock " + (Home / "run" / "firebird").string(), "open"}));
    ExpectPrivateFileOf(User->pw_uid, UserSettings);
    EXPECT_NE(ReadFile(UserSettings).find("Database=" + database), std::string::npos);
    EXPECT_FALSE(fs::exists(Program.IniFile()));

    // While the user's program holds the database, a process with the
    // engine's own lock folder cannot open the file beside it.
    TIBDatabase db(nullptr);
    db.SetDatabaseName(database);
    db.SetLoginPrompt(false);
    db.GetParams()->Add("USER_NAME=SYSDBA");
    try {
        db.SetConnected(true);
        ADD_FAILURE() << "a second process opened the database while the first held it";
    } catch (const EIBError& e) {
        EXPECT_NE(e.Message().find("lock"), AnsiString::npos) << e.Message();
    }
    EXPECT_FALSE(db.GetConnected());

    process.WriteLine("close");
    EXPECT_EQ(process.ReadLine(), std::optional<std::string>("closed"));
    EXPECT_EQ(process.Wait(), 0);

    // Closed, the database is anyone's again, with the row the user posted.
    db.SetConnected(true);
    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(&db);
    TIBSQL q(nullptr);
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    tr.StartTransaction();
    q.GetSQL()->SetText("SELECT ID, DESCRIPTION FROM ITEM");
    q.ExecQuery();
    ASSERT_FALSE(q.GetEOF());
    EXPECT_EQ(q.FieldByName("ID")->GetAsLong(), 1);
    EXPECT_EQ(q.FieldByName("DESCRIPTION")->GetAsString(), "Typed by a user");
    q.Close();
    tr.Commit();
    db.SetConnected(false);
}

// Root ticked Remember first: the file beside the program is root's, for
// root's eyes only. The second user's dialog passes it over for the user's
// own file, reading and writing, and root's file stays as it was.
TEST_F(UnprivilegedUser, PassesOverAnotherUsersSettingsFileBesideTheProgram) {
    {
        TSettings root;
        root.SetRemember(true);
        root.SetDatabase("/srv/root.fdb");
    }
    ExpectPrivateFileOf(0, Program.IniFile().c_str());
    const std::string rootsFile = ReadFile(Program.IniFile().c_str());

    const std::string database = (Home / "data" / "mine.fdb").string();
    // The first run finds nothing of its own; the second finds what the first saved.
    for (const std::string& shown : {std::string("shown 0 "), "shown 1 " + database}) {
        std::unique_ptr<TUserProcess> process = Start({"settings", database});
        ASSERT_TRUE(process->Started());
        EXPECT_EQ(process->ReadLine(), shown);
        EXPECT_EQ(process->ReadLine(), std::optional<std::string>("saved"));
        EXPECT_EQ(process->Wait(), 0);
    }
    ExpectPrivateFileOf(User->pw_uid, UserSettings);
    EXPECT_EQ(ReadFile(UserSettings), "[Database Settings]\nRemeber=1\nServer=\nDatabase=" + database +
                                          "\nUsername=SYSDBA\nPassword=\n");

    EXPECT_EQ(ReadFile(Program.IniFile().c_str()), rootsFile);
    TSettings root;
    EXPECT_EQ(root.GetDatabase(), "/srv/root.fdb");
}

// Root linked the settings file beside the program to one in the user's
// home. The user may not make files beside the program but may beside the
// file the link leads to: the dialog reads and writes that file, and the
// link stays.
TEST_F(UnprivilegedUser, UsesASettingsFileBesideTheProgramThatLinksToAFileOfTheUsers) {
    const fs::path linked = Home / "demo.ini";
    std::ofstream(linked) << "[Database Settings]\nRemeber=1\nDatabase=/srv/linked.fdb\n";
    ASSERT_EQ(chown(linked.c_str(), User->pw_uid, User->pw_gid), 0);
    fs::permissions(linked, fs::perms(0600));
    fs::create_symlink(linked, Program.IniFile());

    const std::string database = (Home / "data" / "mine.fdb").string();
    std::unique_ptr<TUserProcess> process = Start({"settings", database});
    ASSERT_TRUE(process->Started());
    EXPECT_EQ(process->ReadLine(), std::optional<std::string>("shown 1 /srv/linked.fdb"));
    EXPECT_EQ(process->ReadLine(), std::optional<std::string>("saved"));
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_EQ(ReadFile(linked), "[Database Settings]\nRemeber=1\nDatabase=" + database +
                                    "\nServer=\nUsername=SYSDBA\nPassword=\n");
    ExpectPrivateFileOf(User->pw_uid, linked);
    EXPECT_EQ(fs::read_symlink(Program.IniFile()), linked);
    EXPECT_FALSE(fs::exists(UserSettings));
}

} // namespace
