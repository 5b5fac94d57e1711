#include "IBTestSupport.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// The engine keeps caches for the life of the process; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfbclient.so\nleak:libEngine12.so\nleak:libSrp.so\nleak:libfbintl.so\nleak:libicuuc."
           "so\nleak:libicui18n.so\n";
}

namespace IBTest {

namespace {
AnsiString EnvOr(const char* Name, const AnsiString& Default) {
    const char* v = std::getenv(Name);
    return v && *v ? AnsiString(v) : Default;
}
} // namespace

AnsiString TServerSettings::ConnectString(const AnsiString& Path) const {
    if (Port == 3050) return Host + ":" + Path;
    return Host + "/" + IntToStr(Port) + ":" + Path;
}

TServerSettings ServerSettings() {
    TServerSettings s;
    s.Port = StrToIntDef(EnvOr("KV_FB_PORT", "3050"), 3050);
    s.Password = EnvOr("KV_FB_PASSWORD", "kvtest");
    return s;
}

AnsiString ServerUnavailableReason() {
    static const AnsiString reason = [] {
        TServerSettings s = ServerSettings();
        AnsiString where = s.Host + ":" + IntToStr(s.Port);
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return AnsiString("no socket for ") + where;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(s.Port));
        inet_pton(AF_INET, s.Host.c_str(), &addr.sin_addr);
        int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        close(fd);
        if (rc != 0)
            return "no Firebird server listens on " + where +
                   " (scripts/fbserver start runs the test server)";
        // A login on a file that is not there tells a wrong password from a right one.
        TIBDatabase db(nullptr);
        db.SetDatabaseName(s.ConnectString("/nonexistent-kv-test/none.fdb"));
        db.GetParams()->Add("USER_NAME=" + s.User);
        db.GetParams()->Add("PASSWORD=" + s.Password);
        db.SetLoginPrompt(false);
        try {
            db.Open();
            db.Close();
        } catch (const EIBError& e) {
            if (e.GetIBErrorCode() == isc_login)
                return "the server on " + where + " does not take the test SYSDBA password";
            if (e.GetIBErrorCode() == isc_network_error) return "the server on " + where + " does not answer";
        }
        return AnsiString();
    }();
    return reason;
}

TTempFolder::TTempFolder(bool Shared) {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    AnsiString templ = (base / "kv-ibtest-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw Exception("Cannot create a temporary folder in " + base.string());
    FPath = templ;
    if (Shared) chmod(FPath.c_str(), 0777);
}

TTempFolder::~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

TTestDatabase::TTestDatabase(TRoute Route, const AnsiString& FileName)
    : FRoute(Route), FFolder(std::make_unique<TTempFolder>(Route == TRoute::Server)) {
    FFilePath = FFolder->Path() + "/" + FileName;
    if (Route == TRoute::Server) {
        TServerSettings s = ServerSettings();
        FDatabaseName = s.ConnectString(FFilePath);
        FUser = s.User;
        FPassword = s.Password;
    } else {
        FDatabaseName = FFilePath;
        FPassword = "masterkey"; // the embedded engine does not check it
    }
    TIBDatabase db(nullptr);
    db.SetDatabaseName(FDatabaseName);
    db.SetSQLDialect(3);
    db.GetParams()->Add("USER \"" + FUser + "\"");
    db.GetParams()->Add("PASSWORD \"" + FPassword + "\"");
    db.GetParams()->Add("PAGE_SIZE 4096");
    db.CreateDatabase();
    db.Close();
}

TTestDatabase::~TTestDatabase() {
    try {
        Drop();
    } catch (...) {
        // An attachment a test left open keeps the file; the folder goes anyway.
    }
}

void TTestDatabase::Drop() {
    auto db = Attach();
    db->DropDatabase();
}

void TTestDatabase::Configure(TIBDatabase& Db) const {
    Db.SetDatabaseName(FDatabaseName);
    Db.SetLoginPrompt(false);
    Db.SetSQLDialect(3);
    Db.GetParams()->Clear();
    Db.GetParams()->Add("USER_NAME=" + FUser);
    Db.GetParams()->Add("PASSWORD=" + FPassword);
}

std::unique_ptr<TIBDatabase> TTestDatabase::Attach() const {
    auto db = std::make_unique<TIBDatabase>(nullptr);
    Configure(*db);
    db->Open();
    return db;
}

void TTestDatabase::Execute(const std::vector<AnsiString>& Statements) const {
    auto db = Attach();
    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(db.get());
    TIBSQL sql(nullptr);
    sql.SetDatabase(db.get());
    sql.SetTransaction(&tr);
    sql.SetParamCheck(false);
    for (const AnsiString& s : Statements) {
        tr.StartTransaction();
        sql.GetSQL()->SetText(s);
        sql.ExecQuery();
        sql.FreeHandle();
        tr.Commit();
    }
}

void TIBDatabaseFixture::SetUp() {
    TestDb = std::make_unique<TTestDatabase>(Route());
    Db = std::make_unique<TIBDatabase>(nullptr);
    TestDb->Configure(*Db);
    Tr = std::make_unique<TIBTransaction>(nullptr);
    Tr->SetDefaultDatabase(Db.get());
    Tr->SetDefaultAction(TARollback);
    Db->Open();
}

void TIBDatabaseFixture::TearDown() {
    Statements.clear();
    Tr.reset();
    Db.reset();
    TestDb.reset();
}

void TIBDatabaseFixture::ExecSQL(const AnsiString& SQL) {
    if (!Tr->GetInTransaction()) Tr->StartTransaction();
    TIBSQL q(nullptr);
    q.SetDatabase(Db.get());
    q.SetTransaction(Tr.get());
    q.SetParamCheck(false);
    q.GetSQL()->SetText(SQL);
    q.ExecQuery();
}

TIBSQL* TIBDatabaseFixture::NewSQL(const AnsiString& SQL) {
    auto q = std::make_unique<TIBSQL>(nullptr);
    q->SetDatabase(Db.get());
    q->SetTransaction(Tr.get());
    if (!SQL.empty()) q->GetSQL()->SetText(SQL);
    Statements.push_back(std::move(q));
    return Statements.back().get();
}

void TIBServerDatabaseFixture::SetUp() {
    AnsiString why = ServerUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << "Firebird server tests skipped: " << why;
    TIBDatabaseFixture::SetUp();
}

void TIBRouteFixture::SetUp() {
    if (GetParam() == TRoute::Server) {
        AnsiString why = ServerUnavailableReason();
        if (!why.empty()) GTEST_SKIP() << "Firebird server tests skipped: " << why;
    }
    TIBDatabaseFixture::SetUp();
}

} // namespace IBTest
