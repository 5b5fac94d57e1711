// Generator fields against the real engine: the statement each line runs at
// either dialect, the statement kept prepared while one line is applied
// again, a generator shared by two attachments, values that do not fit
// their field, and failures that leave the other lines working.
#include "RowvaneFixture.h"

#include <limits>

namespace {

// A new record of the open dataset, in the insert state, for the fields to
// be written as the dataset's new-record step writes them.
class TNewRecord {
public:
    explicit TNewRecord(TTestRowvane& DataSet) : FDataSet(DataSet) {
        FDataSet.InternalInitRecord(FDataSet.ActiveBuffer());
        FSaved = FDataSet.SetTempState(dsInsert);
    }
    ~TNewRecord() { FDataSet.RestoreState(FSaved); }

private:
    TTestRowvane& FDataSet;
    TDataSetState FSaved;
};

class GeneratorFieldsTest : public RowvaneTest {
protected:
    // The generator's value now, read through an attachment of its own so
    // that no transaction of the test is involved.
    Int64 Generator() {
        return StrToInt64(TOtherUser(*TestDb).Value("SELECT GEN_ID(GEN_ITEM_ID, 0) FROM RDB$DATABASE"));
    }
    void SetGenerator(Int64 Value) { TestDb->Execute({"SET GENERATOR GEN_ITEM_ID TO " + IntToStr(Value)}); }
    // Counts the statement's preparations: each one sets its text first.
    void CountPrepares(TIBSQL* Query) {
        ASSERT_NE(Query, nullptr);
        Query->OnSQLChanging = [this](TObject*) { ++Prepares; };
    }
    void ApplyAll() {
        TIBRVGeneratorFields* gens = DS->GetGeneratorFields();
        for (int i = 0; i < gens->GetCount(); ++i)
            gens->GetItem(i)->Apply();
    }

    int Prepares = 0;
};

} // namespace

TEST_F(GeneratorFieldsTest, OneLineIsPreparedOnceAndEveryLineOfSeveralInTurn) {
    Use("SELECT * FROM ITEM");
    DS->GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
    DS->Open();
    TNewRecord row(*DS);
    Int64 start = Generator();
    TIBRVGeneratorFields* gens = DS->GetGeneratorFields();
    TField* id = DS->FieldByName("ID");

    ApplyAll();
    EXPECT_EQ(id->GetAsInteger(), start + 1);
    EXPECT_EQ(gens->GetQuery()->GetSQL()->GetText(),
              "SELECT GEN_ID(\"GEN_ITEM_ID\", 1) FROM RDB$DATABASE\r\n");
    EXPECT_EQ(gens->GetPreparedItem(), gens->GetItem(0));
    EXPECT_FALSE(gens->GetQuery()->GetOpen()); // closed after each value, prepared for the next
    CountPrepares(gens->GetQuery());
    ApplyAll();
    ApplyAll();
    EXPECT_EQ(id->GetAsInteger(), start + 3);
    EXPECT_EQ(Prepares, 0);

    // Two lines take turns: each new row prepares both again.
    gens->Add("QUANTITY;GEN_ITEM_ID;0");
    EXPECT_EQ(gens->GetPreparedItem(), nullptr); // every change drops the statement
    ApplyAll();
    ApplyAll();
    EXPECT_EQ(Prepares, 4);
    EXPECT_EQ(id->GetAsInteger(), start + 5);
    EXPECT_EQ(DS->FieldByName("QUANTITY")->GetAsCurrency(), Currency::FromInt64(start + 5));

    // Close unprepares; the lines stay.
    DS->Close();
    EXPECT_EQ(gens->GetPreparedItem(), nullptr);
    EXPECT_FALSE(gens->GetQuery()->GetPrepared());
    EXPECT_EQ(gens->GetCount(), 2);
}

TEST_F(GeneratorFieldsTest, TheStatementQuotesTheGeneratorAtTheDatabasesDialect) {
    struct Case {
        int Dialect;
        const char* Line;
        const char* Text;
        int Step; // how far the field moves from the generator's value
    };
    const Case cases[] = {
        {3, "ID;GEN_ITEM_ID;1", "SELECT GEN_ID(\"GEN_ITEM_ID\", 1) FROM RDB$DATABASE\r\n", 1},
        {1, "ID;gen_item_id;-1", "SELECT GEN_ID(GEN_ITEM_ID, -1) FROM RDB$DATABASE\r\n", -1},
        {1, "ID; GEN_ITEM_ID ;25", "SELECT GEN_ID(GEN_ITEM_ID, 25) FROM RDB$DATABASE\r\n", 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Line);
        Db->SetSQLDialect(c.Dialect);
        Use("SELECT * FROM ITEM");
        DS->GetGeneratorFields()->Add(c.Line);
        DS->Open();
        TNewRecord row(*DS);
        Int64 start = Generator();
        ApplyAll();
        EXPECT_EQ(DS->GetGeneratorFields()->GetQuery()->GetSQL()->GetText(), c.Text);
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), start + c.Step);
        EXPECT_EQ(Generator(), start + c.Step);
    }
}

TEST_F(GeneratorFieldsTest, FailuresPassThroughAndLeaveTheOtherLinesWorking) {
    Use("SELECT * FROM ITEM");
    TIBRVGeneratorFields* gens = DS->GetGeneratorFields();
    gens->Add("ID;GEN_ITEM_ID;1");
    gens->Add("ID;gen_item_id;1"); // at dialect 3 a generator of another name
    gens->Add("NOPE;GEN_ITEM_ID;1");
    DS->Open();
    TNewRecord row(*DS);
    Int64 start = Generator();
    TField* id = DS->FieldByName("ID");

    gens->GetItem(0)->Apply();
    EXPECT_EQ(id->GetAsInteger(), start + 1);
    EXPECT_THROW(gens->GetItem(1)->Apply(), EIBError);
    EXPECT_EQ(id->GetAsInteger(), start + 1);
    // The failed preparation left the statement to no line: the first line
    // prepares its own text again and fetches from its own generator.
    EXPECT_EQ(gens->GetPreparedItem(), nullptr);
    gens->GetItem(0)->Apply();
    EXPECT_EQ(id->GetAsInteger(), start + 2);
    // A field the dataset does not have: the framework's lookup error, and
    // the generator does not advance.
    EXPECT_THROW(gens->GetItem(2)->Apply(), EDatabaseError);
    EXPECT_EQ(Generator(), start + 2);
}

// The generator is shared by every attachment and outside transactions:
// two users never receive the same value, whatever their transactions do.
TEST_F(GeneratorFieldsTest, TwoAttachmentsDrawDistinctValuesFromOneGenerator) {
    Use("SELECT * FROM ITEM");
    DS->GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
    auto db2 = TestDb->Attach();
    TIBTransaction tr2(nullptr);
    tr2.SetDefaultDatabase(db2.get());
    TTestRowvane other(nullptr);
    other.SetDatabase(db2.get());
    other.SetTransaction(&tr2);
    other.GetSelectSQL()->SetText("SELECT * FROM ITEM");
    other.GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
    DS->Open();
    other.Open();
    Int64 start = Generator();
    TField* mine = DS->FieldByName("ID");
    TField* theirs = other.FieldByName("ID");
    {
        TNewRecord a(*DS), b(other);
        for (int round = 0; round < 3; ++round) {
            DS->GetGeneratorFields()->GetItem(0)->Apply();
            EXPECT_EQ(mine->GetAsInteger(), start + 2 * round + 1);
            other.GetGeneratorFields()->GetItem(0)->Apply();
            EXPECT_EQ(theirs->GetAsInteger(), start + 2 * round + 2);
        }
    }
    tr2.Rollback(); // no effect on the generator
    Tr->Rollback();
    EXPECT_EQ(Generator(), start + 6);
    other.Close();
}

// Values beyond 32 bits are never cut: an integer field refuses them with
// the framework's range error and keeps its value, a large integer field
// takes them whole.
TEST_F(GeneratorFieldsTest, AValueThatDoesNotFitItsFieldRaisesARangeError) {
    constexpr Int64 IntMax = std::numeric_limits<std::int32_t>::max();
    constexpr Int64 IntMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* Line;
        Int64 Start;
        bool Fits;
    };
    const Case cases[] = {
        {"C_INT;GEN_ITEM_ID;1", IntMax - 1, true},     {"C_INT;GEN_ITEM_ID;1", IntMax, false},
        {"C_INT;GEN_ITEM_ID;-1", IntMin + 1, true},    {"C_INT;GEN_ITEM_ID;-1", IntMin, false},
        {"C_BIG;GEN_ITEM_ID;1", IntMax, true},         {"C_BIG;GEN_ITEM_ID;-2147483648", IntMin, true},
        {"C_SMALL;GEN_ITEM_ID;1", 32766, true},        {"C_SMALL;GEN_ITEM_ID;1", 32767, false},
        {"C_N184;GEN_ITEM_ID;1", IntMax + 1000, true}, // BCD takes it whole
    };
    Use("SELECT * FROM TYPES ORDER BY ID");
    DS->Open();
    TNewRecord row(*DS);
    for (const Case& c : cases) {
        SCOPED_TRACE(AnsiString(c.Line) + " from " + IntToStr(c.Start));
        TIBRVGeneratorFields* gens = DS->GetGeneratorFields();
        gens->Clear();
        gens->Add(c.Line);
        TField* field = DS->FieldByName(gens->GetItem(0)->GetFieldName());
        field->SetAsInteger(7);
        SetGenerator(c.Start);
        Int64 expected = c.Start + gens->GetItem(0)->GetIncrement();
        if (c.Fits) {
            gens->GetItem(0)->Apply();
            EXPECT_EQ(field->GetAsString(), IntToStr(expected));
        } else {
            try {
                gens->GetItem(0)->Apply();
                ADD_FAILURE() << "no error";
            } catch (const EIBRVError&) {
                ADD_FAILURE() << "not the range error";
            } catch (const EDatabaseError& e) {
                EXPECT_NE(e.Message().find(IntToStr(expected)), AnsiString::npos) << e.Message();
            }
            EXPECT_EQ(field->GetAsInteger(), 7);
        }
    }
}
