// Connections, transactions and what they tell their links, in order.
#include "IBTestSupport.h"

#include <unistd.h>

using namespace IBTest;

namespace {

// A link that writes down every event it hears.
struct TRecorder {
    std::vector<AnsiString>& Log;
    TIBBase Link;
    TRecorder(std::vector<AnsiString>& L, const AnsiString& Name) : Log(L), Link(nullptr) {
        Link.BeforeDatabaseDisconnect = [this, Name](TObject*) {
            Log.push_back(Name + ":BeforeDatabaseDisconnect");
        };
        Link.AfterDatabaseDisconnect = [this, Name](TObject*) {
            Log.push_back(Name + ":AfterDatabaseDisconnect");
        };
        Link.OnDatabaseFree = [this, Name](TObject*) { Log.push_back(Name + ":DatabaseFree"); };
        Link.BeforeTransactionEnd = [this, Name](TObject*) { Log.push_back(Name + ":BeforeTransactionEnd"); };
        Link.AfterTransactionEnd = [this, Name](TObject*) { Log.push_back(Name + ":AfterTransactionEnd"); };
        Link.OnTransactionFree = [this, Name](TObject*) { Log.push_back(Name + ":TransactionFree"); };
    }
};

int CountRows(TIBDatabase& Db, const AnsiString& Table) {
    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(&Db);
    tr.StartTransaction();
    TIBSQL q(nullptr);
    q.SetDatabase(&Db);
    q.SetTransaction(&tr);
    q.GetSQL()->SetText("SELECT COUNT(*) FROM " + Table);
    q.ExecQuery();
    return q.GetFields(0)->GetAsLong();
}

} // namespace

class IBConnection : public TIBDatabaseFixture {
protected:
    void SetUp() override {
        TIBDatabaseFixture::SetUp();
        ExecSQL("CREATE TABLE R (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10), C COMPUTED BY (ID * 2))");
        Tr->Commit();
    }
};

TEST_F(IBConnection, DisconnectTellsLinksThenEndsTransactionsWithTheirDefaultAction) {
    std::vector<AnsiString> log;
    TRecorder a(log, "a"), b(log, "b");
    a.Link.SetDatabase(Db.get());
    a.Link.SetTransaction(Tr.get());
    b.Link.SetDatabase(Db.get());
    Db->BeforeDisconnect = [&](TObject*) { log.push_back("db:BeforeDisconnect"); };
    Db->AfterDisconnect = [&](TObject*) { log.push_back("db:AfterDisconnect"); };
    // The dataset's way of answering: a link's handler may look at the transaction.
    a.Link.BeforeDatabaseDisconnect = [&](TObject*) {
        log.push_back(AnsiString("a:BeforeDatabaseDisconnect in transaction ") +
                      (Tr->GetInTransaction() ? "yes" : "no"));
    };
    Tr->StartTransaction();
    ExecSQL("INSERT INTO R (ID) VALUES (1)");
    Db->Close();
    const std::vector<AnsiString> expected = {
        "db:BeforeDisconnect",        "a:BeforeDatabaseDisconnect in transaction yes",
        "b:BeforeDatabaseDisconnect", "a:BeforeTransactionEnd",
        "a:AfterTransactionEnd",      "a:AfterDatabaseDisconnect",
        "b:AfterDatabaseDisconnect",  "db:AfterDisconnect",
    };
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(Tr->GetInTransaction());
    Db->Open();
    EXPECT_EQ(CountRows(*Db, "R"), 0); // rolled back: the fixture's default action

    Tr->SetDefaultAction(TACommitRetaining); // must still end the transaction
    Tr->StartTransaction();
    ExecSQL("INSERT INTO R (ID) VALUES (2)");
    Db->Close();
    EXPECT_FALSE(Tr->GetInTransaction());
    Db->Open();
    EXPECT_EQ(CountRows(*Db, "R"), 1);
}

TEST_F(IBConnection, CommitAndRollbackTellLinksBeforeTheyEndRetainingDoesNot) {
    std::vector<AnsiString> log;
    TRecorder a(log, "a");
    a.Link.SetTransaction(Tr.get());
    EXPECT_EQ(a.Link.GetDatabase(), Db.get()); // the transaction's default database
    bool activeWhenTold = false;
    a.Link.BeforeTransactionEnd = [&](TObject*) {
        activeWhenTold = Tr->GetInTransaction();
        log.push_back("a:BeforeTransactionEnd");
    };
    Tr->StartTransaction();
    Tr->CommitRetaining();
    Tr->RollbackRetaining();
    EXPECT_TRUE(log.empty());
    Tr->Commit();
    EXPECT_TRUE(activeWhenTold);
    Tr->StartTransaction();
    Tr->Rollback();
    const std::vector<AnsiString> expected = {"a:BeforeTransactionEnd", "a:AfterTransactionEnd",
                                              "a:BeforeTransactionEnd", "a:AfterTransactionEnd"};
    EXPECT_EQ(log, expected);
    EXPECT_THROW(Tr->Commit(), EIBClientError);
}

TEST_F(IBConnection, FreeingTheTransactionOrTheDatabaseTellsTheLinks) {
    std::vector<AnsiString> log;
    TRecorder a(log, "a");
    {
        auto tr = std::make_unique<TIBTransaction>(nullptr);
        tr->SetDefaultDatabase(Db.get());
        a.Link.SetTransaction(tr.get());
        tr->StartTransaction();
        tr.reset();
    }
    EXPECT_EQ(a.Link.GetTransaction(), nullptr);
    EXPECT_EQ(log, (std::vector<AnsiString>{"a:BeforeTransactionEnd", "a:AfterTransactionEnd",
                                            "a:TransactionFree"}));
    log.clear();
    auto db = TestDb->Attach();
    a.Link.SetDatabase(db.get());
    db.reset();
    EXPECT_EQ(a.Link.GetDatabase(), nullptr);
    // A connected database disconnects first.
    EXPECT_EQ(log, (std::vector<AnsiString>{"a:BeforeDatabaseDisconnect", "a:AfterDatabaseDisconnect",
                                            "a:DatabaseFree"}));
}

TEST_F(IBConnection, ComponentsForgetWhatTheyOwnedOrWereToldIsGone) {
    TComponent owner(nullptr);
    auto* db = new TIBDatabase(&owner);
    auto* tr = new TIBTransaction(&owner);
    auto* q = new TIBSQL(&owner);
    db->SetDefaultTransaction(tr);
    EXPECT_EQ(tr->GetDefaultDatabase(), db);
    q->SetDatabase(db);
    EXPECT_EQ(q->GetTransaction(), tr); // the database's default transaction
    TestDb->Configure(*db);
    db->Open();
    tr->StartTransaction();
    q->GetSQL()->SetText("SELECT ID FROM R");
    q->ExecQuery();
    delete tr; // the database and the statement hear of it
    EXPECT_EQ(db->GetDefaultTransaction(), nullptr);
    EXPECT_EQ(q->GetTransaction(), nullptr);
    EXPECT_FALSE(q->GetOpen());
    // The owner frees the rest, the connected database too.
}

TEST_F(IBConnection, AutoStopEndsOnlyWhenNoOwnerIsActive) {
    TIBBase link(nullptr);
    link.SetTransaction(Tr.get());
    bool ownerActive = true;
    link.OnGetOwnerActive = [&] { return ownerActive; };
    Tr->StartTransaction();
    Tr->CheckAutoStop(); // saNone
    EXPECT_TRUE(Tr->GetInTransaction());
    Tr->SetAutoStopAction(saCommit);
    Tr->CheckAutoStop();
    EXPECT_TRUE(Tr->GetInTransaction());
    ExecSQL("INSERT INTO R (ID) VALUES (7)");
    ownerActive = false;
    Tr->CheckAutoStop();
    EXPECT_FALSE(Tr->GetInTransaction());
    EXPECT_EQ(CountRows(*Db, "R"), 1);
}

TEST_F(IBConnection, ParamsBecomeParameterBlocks) {
    TStringList p;
    p.Add("read_committed");
    p.Add(" NOWAIT ");
    p.Add("isc_tpb_rec_version");
    p.Add("lock_write=R");
    const char tpb[] = {isc_tpb_version3,
                        isc_tpb_read_committed,
                        isc_tpb_nowait,
                        isc_tpb_rec_version,
                        isc_tpb_lock_write,
                        1,
                        'R'};
    EXPECT_EQ(GenerateTPB(p), AnsiString(tpb, sizeof tpb));
    EXPECT_EQ(GenerateTPB(TStringList()), "");
    p.Add("snapshot_please");
    EXPECT_THROW(GenerateTPB(p), EIBClientError);

    TStringList d;
    d.Add("USER_NAME=sysdba");
    d.Add("password= pw ");
    d.Add("USER \"x\""); // not a parameter line: CreateDatabase's text
    d.Add("num_buffers=1000");
    const char dpb[] = {isc_dpb_version1,
                        isc_dpb_user_name,
                        6,
                        's',
                        'y',
                        's',
                        'd',
                        'b',
                        'a',
                        isc_dpb_password,
                        4,
                        ' ',
                        'p',
                        'w',
                        ' ',
                        isc_dpb_num_buffers,
                        4,
                        static_cast<char>(0xE8),
                        0x03,
                        0,
                        0};
    EXPECT_EQ(GenerateDPB(d), AnsiString(dpb, sizeof dpb));
    d.Add("lc_ctype=" + AnsiString(300, 'x'));
    EXPECT_THROW(GenerateDPB(d), EIBClientError);
    TStringList bad;
    bad.Add("no_such_thing=1");
    try {
        GenerateDPB(bad);
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.GetClientError(), TIBClientError::DPBConstantUnknown);
        EXPECT_NE(e.Message().find("no_such_thing"), AnsiString::npos);
    }
}

TEST_F(IBConnection, CharacterSetIsNoneUnlessParamsNameOne) {
    auto charset = [](TIBDatabase& db) {
        TIBTransaction tr(nullptr);
        tr.SetDefaultDatabase(&db);
        tr.StartTransaction();
        TIBSQL q(nullptr);
        q.SetTransaction(&tr);
        q.GetSQL()->SetText("SELECT MON$CHARACTER_SET_ID FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = "
                            "CURRENT_CONNECTION");
        q.ExecQuery();
        return q.GetFields(0)->GetAsLong();
    };
    EXPECT_EQ(charset(*Db), 0); // NONE
    auto utf8 = std::make_unique<TIBDatabase>(nullptr);
    TestDb->Configure(*utf8);
    utf8->GetParams()->Add("lc_ctype=UTF8");
    utf8->Open();
    EXPECT_EQ(charset(*utf8), 4);
}

TEST_F(IBConnection, LoginEventFillsParamsOnlyWithLoginPrompt) {
    TIBDatabase db(nullptr);
    TestDb->Configure(db);
    db.GetParams()->Clear();
    int calls = 0;
    db.OnLogin = [&](TIBDatabase* sender, TStrings* params) {
        ++calls;
        EXPECT_EQ(sender, &db);
        params->Add("USER_NAME=" + TestDb->GetUser());
        params->Add("PASSWORD=" + TestDb->GetPassword());
    };
    db.Open(); // LoginPrompt is off after Configure
    EXPECT_EQ(calls, 0);
    db.Close();
    db.SetLoginPrompt(true);
    db.Open();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(db.GetParams()->GetCount(), 0); // the event works on a copy
}

TEST_F(IBConnection, ChangesOfAConnectedDatabaseAreRefused) {
    EXPECT_THROW(Db->SetDatabaseName("/tmp/other.fdb"), EIBClientError);
    EXPECT_THROW(Db->GetParams()->Add("lc_ctype=UTF8"), EIBClientError);
    EXPECT_EQ(Db->GetParams()->GetCount(), 2);
    EXPECT_THROW(Db->CreateDatabase(), EIBClientError);
    Tr->StartTransaction();
    EXPECT_THROW(Tr->GetParams()->Add("nowait"), EIBClientError);
    EXPECT_THROW(Tr->StartTransaction(), EIBClientError);
    Db->Close();
    EXPECT_THROW(Tr->StartTransaction(), EIBClientError); // its database is not connected
    TIBTransaction lonely(nullptr);
    EXPECT_THROW(lonely.StartTransaction(), EIBClientError);
    TIBDatabase unnamed(nullptr);
    EXPECT_THROW(unnamed.Open(), EIBClientError);
}

TEST_F(IBConnection, HasComputedBlrAndDialect) {
    EXPECT_TRUE(Db->Has_COMPUTED_BLR("R", "C"));
    EXPECT_FALSE(Db->Has_COMPUTED_BLR("R", "ID"));
    EXPECT_FALSE(Db->Has_COMPUTED_BLR("NO_TABLE", "ID"));
    EXPECT_EQ(Db->GetSQLDialect(), 3);
    EXPECT_EQ(Db->GetDBSQLDialect(), 3);
    EXPECT_THROW(Db->SetSQLDialect(4), EIBClientError);
    Db->SetSQLDialect(1);
    EXPECT_EQ(Db->GetSQLDialect(), 1);
}

TEST_F(IBConnection, CreateDatabaseSendsTheStatementWithParamsLines) {
    TTempFolder folder;
    TIBDatabase db(nullptr);
    db.SetDatabaseName(folder.Path() + "/it's here.fdb"); // a quote in the name stays part of it
    db.SetSQLDialect(1);
    db.GetParams()->Add("USER \"SYSDBA\"");
    db.GetParams()->Add("PASSWORD \"masterkey\"");
    db.GetParams()->Add("PAGE_SIZE 8192");
    db.CreateDatabase();
    ASSERT_TRUE(db.GetConnected());
    EXPECT_EQ(db.GetDBSQLDialect(), 1);
    EXPECT_EQ(access((folder.Path() + "/it's here.fdb").c_str(), F_OK), 0);
    {
        TIBTransaction tr(nullptr);
        tr.SetDefaultDatabase(&db);
        tr.StartTransaction();
        TIBSQL q(nullptr);
        q.SetTransaction(&tr);
        q.GetSQL()->SetText("SELECT MON$PAGE_SIZE FROM MON$DATABASE");
        q.ExecQuery();
        EXPECT_EQ(q.GetFields(0)->GetAsLong(), 8192);
    }
    db.Close();
    try {
        db.CreateDatabase(); // exists already
        ADD_FAILURE();
    } catch (const EIBInterBaseError& e) {
        EXPECT_NE(e.GetIBErrorCode(), 0);
    }
    EXPECT_FALSE(db.GetConnected());
    db.GetParams()->Clear();
    db.GetParams()->Add("USER_NAME=SYSDBA");
    db.Open();
    db.DropDatabase();
    EXPECT_FALSE(db.GetConnected());
    EXPECT_NE(access((folder.Path() + "/it's here.fdb").c_str(), F_OK), 0);
}

class IBLockConflict : public TIBRouteFixture {};

TEST_P(IBLockConflict, UnderNowaitFromASecondAttachment) {
    ExecSQL("CREATE TABLE R (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10))");
    Tr->Commit();
    Tr->StartTransaction();
    ExecSQL("INSERT INTO R (ID, V) VALUES (1, 'a')");
    Tr->Commit();
    Tr->StartTransaction();
    ExecSQL("UPDATE R SET V = 'mine' WHERE ID = 1");

    auto other = TestDb->Attach();
    TIBTransaction tr2(nullptr);
    tr2.SetDefaultDatabase(other.get());
    tr2.GetParams()->Add("read_committed");
    tr2.GetParams()->Add("rec_version");
    tr2.GetParams()->Add("nowait");
    tr2.StartTransaction();
    TIBSQL q(nullptr);
    q.SetTransaction(&tr2);
    q.GetSQL()->SetText("UPDATE R SET V = 'theirs' WHERE ID = 1");
    try {
        q.ExecQuery();
        ADD_FAILURE() << "no lock conflict";
    } catch (const EIBInterBaseError& e) {
        // The engine reports the conflict as a deadlock of the update.
        EXPECT_TRUE(e.GetIBErrorCode() == isc_deadlock || e.GetIBErrorCode() == isc_lock_conflict)
            << e.Message();
        EXPECT_EQ(e.GetSQLCode(), -913);
        EXPECT_NE(e.Message().find("update conflicts with concurrent update"), AnsiString::npos)
            << e.Message();
    }
    EXPECT_TRUE(tr2.GetInTransaction());
    tr2.Rollback();
}

INSTANTIATE_TEST_SUITE_P(Routes, IBLockConflict, RouteValues(), RouteName);

TEST(IBConnectionFailure, RefusedConnectionRaisesAClearError) {
    TIBDatabase db(nullptr);
    db.SetDatabaseName("127.0.0.1/1:/tmp/none.fdb"); // nothing listens on port 1
    db.SetLoginPrompt(false);
    db.GetParams()->Add("USER_NAME=SYSDBA");
    db.GetParams()->Add("PASSWORD=x");
    try {
        db.Open();
        ADD_FAILURE();
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.GetIBErrorCode(), isc_network_error);
        EXPECT_EQ(e.GetSQLCode(), -902);
        EXPECT_NE(e.Message().find("127.0.0.1"), AnsiString::npos) << e.Message();
    }
    EXPECT_FALSE(db.GetConnected());
}

TEST(IBConnectionFailure, MissingFileRaisesAClearError) {
    TIBDatabase db(nullptr);
    db.SetDatabaseName("/nonexistent-kv-folder/none.fdb");
    db.GetParams()->Add("USER_NAME=SYSDBA");
    EXPECT_THROW(db.Open(), EIBInterBaseError);
    EXPECT_FALSE(db.GetConnected());
}

TEST(IBConnectionFailure, MissingClientLibraryIsNamed) {
    try {
        TIBClientLibrary lib("libkv-no-such-client.so.9");
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.GetClientError(), TIBClientError::LibraryNotLoaded);
        EXPECT_NE(e.Message().find("libkv-no-such-client.so.9"), AnsiString::npos) << e.Message();
    }
    try {
        TIBClientLibrary lib("libc.so.6"); // loads, but is no client library
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_NE(e.Message().find("isc_attach_database"), AnsiString::npos) << e.Message();
    }
}

class IBServerLogin : public TIBServerDatabaseFixture {};

TEST_F(IBServerLogin, WrongPasswordRaisesAClearError) {
    TIBDatabase db(nullptr);
    TestDb->Configure(db);
    db.GetParams()->Clear();
    db.GetParams()->Add("USER_NAME=SYSDBA");
    db.GetParams()->Add("PASSWORD=wrong-" + TestDb->GetPassword());
    try {
        db.Open();
        ADD_FAILURE();
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.GetIBErrorCode(), isc_login);
        EXPECT_NE(e.Message().find("password"), AnsiString::npos) << e.Message();
    }
    EXPECT_FALSE(db.GetConnected());
    EXPECT_TRUE(Db->GetConnected()); // the right one still works
}
