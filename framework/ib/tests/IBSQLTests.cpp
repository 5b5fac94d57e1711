// Statements: parameters by name, the cursor's life, affected rows, and the
// identifier helpers.
#include "IBTestSupport.h"

using namespace IBTest;

class IBSQLStatement : public TIBRouteFixture {
protected:
    void SetUp() override {
        TIBRouteFixture::SetUp();
        if (IsSkipped()) return;
        ExecSQL(
            "CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER, B INTEGER, \"Mixed\" VARCHAR(10))");
        Tr->Commit();
        Tr->StartTransaction();
        ExecSQL("INSERT INTO P VALUES (1, 10, 20, 'one')");
        ExecSQL("INSERT INTO P VALUES (2, 20, 10, 'two')");
        ExecSQL("INSERT INTO P VALUES (3, 30, 30, 'three')");
    }

    std::vector<int> Ids(TIBSQL& q) {
        std::vector<int> ids;
        if (!q.GetOpen()) q.ExecQuery();
        while (!q.GetEOF()) {
            ids.push_back(q.FieldByName("ID")->GetAsLong());
            q.Next();
        }
        q.Close();
        return ids;
    }
};

TEST_P(IBSQLStatement, ParametersByNameRepeatedAndQuoted) {
    TIBSQL* q =
        NewSQL("SELECT ID FROM P WHERE (A = :val OR B = :VAL) AND \"Mixed\" <> :\"Name\" ORDER BY ID");
    TIBXSQLDA* params = q->GetSQLParams(); // prepares
    ASSERT_EQ(params->GetCount(), 3);
    EXPECT_EQ(params->GetNames(), "VAL\r\nVAL\r\nName\r\n");
    EXPECT_EQ(q->GetProcessedSQL(),
              "SELECT ID FROM P WHERE (A = ? OR B = ?) AND \"Mixed\" <> ? ORDER BY ID\r\n");
    // One setter sets both occurrences.
    q->ParamByName("Val")->SetAsLong(10);
    EXPECT_EQ(params->GetXSQLVAR(1)->GetAsLong(), 10);
    EXPECT_THROW(q->ParamByName("Name"), EIBClientError); // quoted names keep their case
    q->ParamByName("\"Name\"")->SetAsString("none");
    EXPECT_EQ(Ids(*q), (std::vector<int>{1, 2}));
    q->ParamByName("\"Name\"")->SetAsString("two");
    EXPECT_EQ(Ids(*q), (std::vector<int>{1}));
    try {
        q->ParamByName("MISSING");
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.GetClientError(), TIBClientError::FieldNotFound);
        EXPECT_NE(e.Message().find("MISSING"), AnsiString::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, IBSQLStatement, RouteValues(), RouteName);

class IBSQLEmbedded : public TIBDatabaseFixture {
protected:
    void SetUp() override {
        TIBDatabaseFixture::SetUp();
        ExecSQL("CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER, S VARCHAR(20))");
        Tr->Commit();
        Tr->StartTransaction();
        for (int i = 1; i <= 3; ++i)
            ExecSQL("INSERT INTO P VALUES (" + IntToStr(i) + ", " + IntToStr(i * 10) + ", NULL)");
    }
};

TEST_F(IBSQLEmbedded, ParameterMarksInLiteralsCommentsAndQuotedNamesAreText) {
    TIBSQL* q = NewSQL("SELECT ':no' AS \"c:x\", 'it''s :no' AS S2 /* :no */ FROM P -- :no\r\n"
                       "WHERE ID = :ID AND ID = ?");
    TIBXSQLDA* params = q->GetSQLParams();
    ASSERT_EQ(params->GetCount(), 2);
    EXPECT_EQ(params->GetXSQLVAR(0)->GetName(), "ID");
    EXPECT_EQ(params->GetXSQLVAR(1)->GetName(), ""); // a plain "?" has no name
    params->GetXSQLVAR(0)->SetAsLong(2);
    params->GetXSQLVAR(1)->SetAsLong(2);
    q->ExecQuery();
    ASSERT_FALSE(q->GetEOF());
    EXPECT_EQ(q->FieldByName("\"c:x\"")->GetAsString(), ":no");
    EXPECT_EQ(q->FieldByName("S2")->GetAsString(), "it's :no");
}

TEST_F(IBSQLEmbedded, UnsetParametersAreNull) {
    TIBSQL* ins = NewSQL("INSERT INTO P (ID, A, S) VALUES (:ID, :A, :S)");
    ins->ParamByName("ID")->SetAsLong(9);
    ins->ExecQuery();
    TIBSQL* q = NewSQL("SELECT A, S FROM P WHERE ID = 9");
    q->ExecQuery();
    EXPECT_TRUE(q->GetFields(0)->GetIsNull());
    EXPECT_TRUE(q->GetFields(1)->GetIsNull());
}

TEST_F(IBSQLEmbedded, WithoutParamCheckTheTextGoesAsWritten) {
    TIBSQL* q = NewSQL();
    q->SetParamCheck(false);
    q->GetSQL()->SetText("SELECT ID FROM P WHERE ID = ?");
    q->GetSQLParams()->GetXSQLVAR(0)->SetAsLong(3);
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->GetAsLong(), 3);
    q->Close();
    q->GetSQL()->SetText("SELECT ID FROM P WHERE ID = :X");
    EXPECT_THROW(q->Prepare(), EIBInterBaseError); // the engine does not know ":X"
}

TEST_F(IBSQLEmbedded, CursorLifeAndEndOfFile) {
    TIBSQL* q = NewSQL("SELECT ID FROM P ORDER BY ID");
    EXPECT_TRUE(q->GetEOF()); // not open
    q->ExecQuery();           // fetches the first row
    EXPECT_TRUE(q->GetOpen());
    EXPECT_EQ(q->Current()->GetXSQLVAR(0)->GetAsLong(), 1);
    EXPECT_THROW(q->ExecQuery(), EIBClientError); // still open
    EXPECT_NE(q->Next(), nullptr);
    EXPECT_NE(q->Next(), nullptr);
    EXPECT_EQ(q->GetRecordCount(), 3);
    EXPECT_EQ(q->Next(), nullptr);
    EXPECT_TRUE(q->GetEOF());
    EXPECT_EQ(q->Next(), nullptr); // no error at the end
    q->Close();
    EXPECT_FALSE(q->GetOpen());
    EXPECT_TRUE(q->GetPrepared());

    q->SetGoToFirstRecordOnExecute(false);
    q->ExecQuery();
    EXPECT_TRUE(q->GetBOF());
    EXPECT_EQ(q->GetRecordCount(), 0);
    ASSERT_NE(q->Next(), nullptr);
    EXPECT_EQ(q->GetFields(0)->GetAsLong(), 1);
    EXPECT_THROW(q->GetFields(1), EIBClientError);
}

TEST_F(IBSQLEmbedded, ChangingTheTextUnprepares) {
    TIBSQL* q = NewSQL("SELECT ID FROM P");
    int changing = 0;
    q->OnSQLChanging = [&](TObject*) { ++changing; };
    q->ExecQuery();
    q->GetSQL()->SetText("SELECT A FROM P WHERE ID = 2");
    EXPECT_EQ(changing, 1);
    EXPECT_FALSE(q->GetPrepared());
    EXPECT_FALSE(q->GetOpen());
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->GetAsLong(), 20);
    q->FreeHandle();
    EXPECT_FALSE(q->GetPrepared());
    EXPECT_EQ(q->GetHandle(), 0u);
}

TEST_F(IBSQLEmbedded, EmptyTextAndMissingLinksRaise) {
    TIBSQL* q = NewSQL(" \r\n ");
    EXPECT_THROW(q->Prepare(), EIBClientError);
    TIBSQL loose(nullptr);
    loose.GetSQL()->SetText("SELECT 1 FROM RDB$DATABASE");
    EXPECT_THROW(loose.Prepare(), EIBClientError);
    loose.SetDatabase(Db.get()); // Db has no default transaction
    try {
        loose.ExecQuery();
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.GetClientError(), TIBClientError::TransactionNotAssigned);
    }
    loose.SetTransaction(Tr.get());
    Tr->Commit();
    try {
        loose.ExecQuery();
        ADD_FAILURE();
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.GetClientError(), TIBClientError::NotInTransaction);
    }
}

TEST_F(IBSQLEmbedded, RowsAffected) {
    struct Case {
        const char* SQL;
        TIBSQLTypes Type;
        int Rows;
    };
    const Case cases[] = {
        {"UPDATE P SET A = A + 1 WHERE ID >= 2", SQLUpdate, 2},
        {"INSERT INTO P (ID) VALUES (4)", SQLInsert, 1},
        {"DELETE FROM P", SQLDelete, 4},
        {"UPDATE P SET A = 0 WHERE ID = 99", SQLUpdate, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.SQL);
        TIBSQL* q = NewSQL(c.SQL);
        q->ExecQuery();
        EXPECT_EQ(q->GetSQLType(), c.Type);
        EXPECT_EQ(q->GetRowsAffected(), c.Rows);
    }
}

TEST_F(IBSQLEmbedded, TransactionEndClosesTheCursorDisconnectFreesTheHandle) {
    TIBSQL* q = NewSQL("SELECT ID FROM P");
    q->ExecQuery();
    Tr->CommitRetaining();
    EXPECT_TRUE(q->GetOpen()); // retaining keeps the cursor
    EXPECT_NE(q->Next(), nullptr);
    Tr->Commit();
    EXPECT_FALSE(q->GetOpen());
    EXPECT_TRUE(q->GetPrepared());
    Tr->StartTransaction();
    q->ExecQuery(); // still prepared: runs in the new transaction
    EXPECT_EQ(q->GetFields(0)->GetAsLong(), 1);
    Db->Close();
    EXPECT_FALSE(q->GetOpen());
    EXPECT_FALSE(q->GetPrepared());
}

TEST_F(IBSQLEmbedded, AssignCopiesValueAndNullToEveryParameterOfTheName) {
    TIBSQL* src = NewSQL("SELECT ID, A, S FROM P WHERE ID = 1");
    src->ExecQuery();
    TIBSQL* dst = NewSQL("SELECT COUNT(*) FROM P WHERE A = :A OR ID = :A OR S IS NOT DISTINCT FROM :S");
    dst->ParamByName("A")->Assign(*src->FieldByName("A"));
    EXPECT_EQ(dst->GetSQLParams()->GetXSQLVAR(0)->GetAsLong(), 10);
    EXPECT_EQ(dst->GetSQLParams()->GetXSQLVAR(1)->GetAsLong(), 10);
    dst->ParamByName("S")->SetAsString("x");
    dst->ParamByName("S")->Assign(*src->FieldByName("S")); // NULL
    EXPECT_TRUE(dst->ParamByName("S")->GetIsNull());
    dst->ExecQuery();
    EXPECT_EQ(dst->GetFields(0)->GetAsLong(), 3); // every S is NULL
}

TEST(IBIdentifiers, QuoteAndExtract) {
    struct Case {
        int Dialect;
        const char* In;
        const char* Quoted;
        const char* Extracted;
    };
    const Case cases[] = {
        {1, " item ", "ITEM", "ITEM"},
        {1, "\"Item\"", "\"ITEM\"", "\"ITEM\""},
        {3, "Item", "\"Item\"", "ITEM"},
        {3, "say \"hi\"", "\"say \"\"hi\"\"\"", "SAY \"HI\""},
        {3, " \"My \"\"Col\"\"\" ", "\" \"\"My \"\"\"\"Col\"\"\"\"\"\" \"", "My \"Col\""},
        {3, "", "\"\"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.In);
        EXPECT_EQ(QuoteIdentifier(c.Dialect, c.In), c.Quoted);
        EXPECT_EQ(ExtractIdentifier(c.Dialect, c.In), c.Extracted);
    }
}

TEST(IBVaxInteger, ReadsLittleEndianLengths) {
    const char two[] = {0x1E, 0x00};
    const char big[] = {static_cast<char>(0xFD), 0x7F};
    const char four[] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(isc_vax_integer(two, 2), 30);
    EXPECT_EQ(isc_vax_integer(big, 2), 32765);
    EXPECT_EQ(isc_vax_integer(four, 4), 0x04030201);
    EXPECT_EQ(isc_vax_integer(four, 0), 0);
}
