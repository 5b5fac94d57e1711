// Test support for everything that needs a real database: a new database in
// a temporary folder of its own for each test, made through the embedded
// engine or through the private test server (scripts/fbserver), and dropped
// with its folder afterwards. Link framework_ib_test_support.
#pragma once

#include "IBDatabase.h"
#include "IBSQL.h"

#include <gtest/gtest.h>

#include <memory>

namespace IBTest {

// The private test server: 127.0.0.1, port KV_FB_PORT (3050), SYSDBA with
// password KV_FB_PASSWORD (kvtest), as scripts/fbserver sets them up.
struct TServerSettings {
    AnsiString Host = "127.0.0.1";
    int Port = 3050;
    AnsiString User = "SYSDBA";
    AnsiString Password = "kvtest";
    // host:path, or host/port:path for another port.
    AnsiString ConnectString(const AnsiString& Path) const;
};
TServerSettings ServerSettings();

// Empty when the test server runs and takes the test password; else why not.
AnsiString ServerUnavailableReason();

// A temporary folder, removed with its contents.
class TTempFolder {
public:
    // Shared: writable by everyone, for a server that runs as another user.
    explicit TTempFolder(bool Shared = false);
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const AnsiString& Path() const { return FPath; }

private:
    AnsiString FPath;
};

enum class TRoute { Embedded, Server };

// A new, empty database (dialect 3, page size 4096, character set NONE),
// dropped on destruction. The embedded engine and the server never open the
// same file: each database is reached by one route only.
class TTestDatabase {
public:
    explicit TTestDatabase(TRoute Route = TRoute::Embedded, const AnsiString& FileName = "test.fdb");
    ~TTestDatabase();
    TTestDatabase(const TTestDatabase&) = delete;
    TTestDatabase& operator=(const TTestDatabase&) = delete;

    TRoute GetRoute() const { return FRoute; }
    const AnsiString& GetFilePath() const { return FFilePath; }
    // What TIBDatabase::DatabaseName must be: the path, or host:path.
    const AnsiString& GetDatabaseName() const { return FDatabaseName; }
    const AnsiString& GetUser() const { return FUser; }
    const AnsiString& GetPassword() const { return FPassword; }
    const TTempFolder& GetFolder() const { return *FFolder; }

    // Sets name and USER_NAME/PASSWORD parameters; does not connect.
    void Configure(TIBDatabase& Db) const;
    // A new, connected attachment of its own (another user, as it were).
    std::unique_ptr<TIBDatabase> Attach() const;
    // Runs statements, each in a transaction of its own that is committed.
    void Execute(const std::vector<AnsiString>& Statements) const;

private:
    void Drop();

    TRoute FRoute;
    std::unique_ptr<TTempFolder> FFolder;
    AnsiString FFilePath;
    AnsiString FDatabaseName;
    AnsiString FUser = "SYSDBA";
    AnsiString FPassword;
};

// A fixture with a new database, a connected Db and a transaction Tr over it
// (not started, default action rollback).
class TIBDatabaseFixture : public ::testing::Test {
protected:
    virtual TRoute Route() const { return TRoute::Embedded; }
    void SetUp() override;
    void TearDown() override;

    // Runs one statement in Tr, starting it when needed; does not commit.
    void ExecSQL(const AnsiString& SQL);
    // A statement over Db and Tr, owned by the fixture.
    TIBSQL* NewSQL(const AnsiString& SQL = AnsiString());

    std::unique_ptr<TTestDatabase> TestDb;
    std::unique_ptr<TIBDatabase> Db;
    std::unique_ptr<TIBTransaction> Tr;
    std::vector<std::unique_ptr<TIBSQL>> Statements;
};

// The same through the test server; skipped when it does not run.
class TIBServerDatabaseFixture : public TIBDatabaseFixture {
protected:
    TRoute Route() const override { return TRoute::Server; }
    void SetUp() override;
};

// The same tests through either route: instantiate with RouteValues() and
// RouteName; the server route is skipped when the test server does not run.
class TIBRouteFixture : public TIBDatabaseFixture, public ::testing::WithParamInterface<TRoute> {
protected:
    TRoute Route() const override { return GetParam(); }
    void SetUp() override;
};

inline auto RouteValues() {
    return ::testing::Values(TRoute::Embedded, TRoute::Server);
}
inline std::string RouteName(const ::testing::TestParamInfo<TRoute>& Info) {
    return Info.param == TRoute::Server ? "Server" : "Embedded";
}

} // namespace IBTest
