// Every SQL type written through a parameter and read back through a column,
// with NULLs, limits, early dates and NUMERIC scales; the conversions that do
// not fit raise instead of wrapping.
#include "IBBlob.h"
#include "IBTestSupport.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace IBTest;

namespace {

const char* CreateTypesTable = "CREATE TABLE T ("
                               " ID INTEGER NOT NULL PRIMARY KEY,"
                               " C_SMALL SMALLINT, C_INT INTEGER, C_BIG BIGINT,"
                               " C_FLOAT FLOAT, C_DOUBLE DOUBLE PRECISION,"
                               " C_N41 NUMERIC(4,1), C_N92 NUMERIC(9,2), C_N184 NUMERIC(18,4),"
                               " C_N186 NUMERIC(18,6), C_D152 DECIMAL(15,2),"
                               " C_CHAR CHAR(5), C_VARCHAR VARCHAR(30),"
                               " C_DATE DATE, C_TIME TIME, C_TS TIMESTAMP,"
                               " C_BLOB BLOB SUB_TYPE 0, C_MEMO BLOB SUB_TYPE 1, C_ARR INTEGER[3])";

TDateTime At(int Y, int M, int D, int H = 0, int N = 0, int S = 0, int MS = 0) {
    TTimeStamp ts = DateTimeToTimeStamp(EncodeDate(Y, M, D));
    ts.Time = ((H * 60 + N) * 60 + S) * 1000 + MS;
    return TimeStampToDateTime(ts);
}

// Compares date-times by their time stamp form, exact to the millisecond.
void ExpectSameMoment(TDateTime Expected, TDateTime Actual) {
    TTimeStamp e = DateTimeToTimeStamp(Expected), a = DateTimeToTimeStamp(Actual);
    EXPECT_EQ(e.Date, a.Date);
    EXPECT_EQ(e.Time, a.Time);
}

} // namespace

class IBTypes : public TIBRouteFixture {
protected:
    void SetUp() override {
        TIBRouteFixture::SetUp();
        if (IsSkipped()) return;
        ExecSQL(CreateTypesTable);
        Tr->Commit();
        Tr->StartTransaction();
    }

    // Writes one column of a new row through the parameter V.
    void Write(int Id, const AnsiString& Column, const std::function<void(TIBXSQLVAR&)>& Set) {
        TIBSQL* q = NewSQL("INSERT INTO T (ID, " + Column + ") VALUES (:ID, :V)");
        q->ParamByName("ID")->SetAsLong(Id);
        Set(*q->ParamByName("V"));
        q->ExecQuery();
    }

    // The column of one row; the statement stays open for the caller.
    TIBXSQLVAR& Read(int Id, const AnsiString& Column) {
        TIBSQL* q = NewSQL("SELECT " + Column + " FROM T WHERE ID = :ID");
        q->ParamByName("ID")->SetAsLong(Id);
        q->ExecQuery();
        EXPECT_FALSE(q->GetEOF());
        return *q->GetFields(0);
    }
};

TEST_P(IBTypes, DescribesEveryColumnType) {
    struct Expect {
        const char* Column;
        int Type, Scale, Subtype, Length;
    };
    const Expect cases[] = {
        {"C_SMALL", SQL_SHORT, 0, 0, 2},    {"C_INT", SQL_LONG, 0, 0, 4},
        {"C_BIG", SQL_INT64, 0, 0, 8},      {"C_FLOAT", SQL_FLOAT, 0, 0, 4},
        {"C_DOUBLE", SQL_DOUBLE, 0, 0, 8},  {"C_N41", SQL_SHORT, -1, 1, 2},
        {"C_N92", SQL_LONG, -2, 1, 4},      {"C_N184", SQL_INT64, -4, 1, 8},
        {"C_N186", SQL_INT64, -6, 1, 8},    {"C_D152", SQL_INT64, -2, 2, 8},
        {"C_CHAR", SQL_TEXT, 0, 0, 5},      {"C_VARCHAR", SQL_VARYING, 0, 0, 30},
        {"C_DATE", SQL_TYPE_DATE, 0, 0, 4}, {"C_TIME", SQL_TYPE_TIME, 0, 0, 4},
        {"C_TS", SQL_TIMESTAMP, 0, 0, 8},   {"C_BLOB", SQL_BLOB, 0, 0, 8},
        {"C_MEMO", SQL_BLOB, 0, 1, 8},      {"C_ARR", SQL_ARRAY, 0, 0, 8},
    };
    AnsiString list;
    for (const auto& c : cases)
        list += AnsiString(list.empty() ? "" : ", ") + c.Column;
    TIBSQL* q = NewSQL("SELECT ID, " + list + ", C_INT AS ALIASED, C_INT + 1 FROM T");
    q->Prepare();
    ASSERT_EQ(q->GetFieldCount(), 1 + static_cast<int>(std::size(cases)) + 2);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].Column);
        TIBXSQLVAR* v = q->GetFields(static_cast<int>(i) + 1);
        EXPECT_EQ(v->GetSQLType(), cases[i].Type);
        EXPECT_EQ(v->GetSQLScale(), cases[i].Scale);
        if (cases[i].Type != SQL_TEXT && cases[i].Type != SQL_VARYING) { // text keeps its character set there
            EXPECT_EQ(v->GetSQLSubtype(), cases[i].Subtype);
        }
        EXPECT_EQ(v->GetSize(), cases[i].Length);
        EXPECT_TRUE(v->GetIsNullable());
        EXPECT_EQ(v->GetSqlVar()->sqltype & 1, 1);
        EXPECT_EQ(v->GetSQLName(), cases[i].Column);
        EXPECT_EQ(v->GetRelName(), "T");
        EXPECT_EQ(v->GetName(), cases[i].Column);
    }
    TIBXSQLVAR* id = q->GetFields(0);
    EXPECT_FALSE(id->GetIsNullable());
    TIBXSQLVAR* aliased = q->FieldByName("aliased");
    EXPECT_EQ(aliased->GetSQLName(), "C_INT");
    EXPECT_EQ(aliased->GetAliasName(), "ALIASED");
    TIBXSQLVAR* expr = q->GetFields(q->GetFieldCount() - 1);
    EXPECT_EQ(expr->GetRelName(), "");
}

// A text's declared length counts characters where its character set's
// text is UTF-8, bytes everywhere else.
TEST_P(IBTypes, TextColumnsTellTheUnitOfTheirLength) {
    TIBSQL* q = NewSQL("SELECT CAST('a' AS VARCHAR(5) CHARACTER SET UTF8), CAST('a' AS CHAR(5) CHARACTER SET"
                       " UNICODE_FSS), CAST('a' AS CHAR(5) CHARACTER SET WIN1252), CAST('a' AS CHAR(5)), 1"
                       " FROM RDB$DATABASE");
    q->Prepare();
    const int sizes[] = {20, 15, 5, 5, 4}, charSizes[] = {4, 3, 1, 1, 1};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(q->GetFields(i)->GetSize(), sizes[i]);
        EXPECT_EQ(q->GetFields(i)->GetCharSize(), charSizes[i]);
    }
}

TEST_P(IBTypes, RoundTripsValuesAndLimits) {
    struct Case {
        const char* Name;
        const char* Column;
        std::function<void(TIBXSQLVAR&)> Set;
        std::function<void(const TIBXSQLVAR&)> Check;
    };
    const Int64 i64max = std::numeric_limits<Int64>::max(), i64min = std::numeric_limits<Int64>::min();
    const std::vector<Case> cases = {
        {"smallint min", "C_SMALL", [](auto& v) { v.SetAsLong(-32768); },
         [](auto& v) { EXPECT_EQ(v.GetAsLong(), -32768); }},
        {"smallint max", "C_SMALL", [](auto& v) { v.SetAsLong(32767); },
         [](auto& v) { EXPECT_EQ(v.GetAsString(), "32767"); }},
        {"integer min", "C_INT", [](auto& v) { v.SetAsLong(std::numeric_limits<int>::min()); },
         [](auto& v) { EXPECT_EQ(v.GetAsLong(), std::numeric_limits<int>::min()); }},
        {"integer max", "C_INT", [](auto& v) { v.SetAsLong(std::numeric_limits<int>::max()); },
         [](auto& v) { EXPECT_EQ(v.GetAsInt64(), std::numeric_limits<int>::max()); }},
        {"bigint min", "C_BIG", [=](auto& v) { v.SetAsInt64(i64min); },
         [=](auto& v) { EXPECT_EQ(v.GetAsInt64(), i64min); }},
        {"bigint max", "C_BIG", [=](auto& v) { v.SetAsInt64(i64max); },
         [](auto& v) { EXPECT_EQ(v.GetAsString(), "9223372036854775807"); }},
        {"float", "C_FLOAT", [](auto& v) { v.SetAsDouble(1.5); },
         [](auto& v) { EXPECT_EQ(v.GetAsDouble(), 1.5); }},
        {"double", "C_DOUBLE", [](auto& v) { v.SetAsDouble(-1.25e300); },
         [](auto& v) { EXPECT_EQ(v.GetAsDouble(), -1.25e300); }},
        {"numeric(4,1)", "C_N41", [](auto& v) { v.SetAsCurrency(Currency::FromRaw(1234000)); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsCurrency().Raw(), 1234000);
             EXPECT_EQ(v.GetAsString(), "123.4");
             EXPECT_DOUBLE_EQ(v.GetAsDouble(), 123.4);
         }},
        {"numeric(9,2) negative fraction", "C_N92", [](auto& v) { v.SetAsCurrency(Currency::FromRaw(-500)); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsString(), "-0.05");
             EXPECT_EQ(v.GetAsCurrency().Raw(), -500);
             EXPECT_EQ(v.GetAsLong(), 0);
         }},
        {"numeric(9,2) truncates to integer", "C_N92", [](auto& v) { v.SetAsString("-12.99"); },
         [](auto& v) { EXPECT_EQ(v.GetAsInt64(), -12); }},
        {"numeric(18,4) currency limit", "C_N184",
         [=](auto& v) { v.SetAsCurrency(Currency::FromRaw(i64max)); },
         [=](auto& v) {
             EXPECT_EQ(v.GetAsCurrency().Raw(), i64max);
             EXPECT_EQ(v.GetAsString(), "922337203685477.5807");
         }},
        {"numeric(18,6) beyond currency's decimals", "C_N186", [](auto& v) { v.SetAsString("123.456789"); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsString(), "123.456789");
             EXPECT_EQ(v.GetAsCurrency().Raw(), 1234568); // rounded to four decimals
             EXPECT_DOUBLE_EQ(v.GetAsDouble(), 123.456789);
         }},
        {"decimal(15,2) from an integer", "C_D152", [](auto& v) { v.SetAsInt64(42); },
         [](auto& v) { EXPECT_EQ(v.GetAsString(), "42.00"); }},
        {"char pads, AsString trims", "C_CHAR", [](auto& v) { v.SetAsString("ab"); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsString(), "ab");
             EXPECT_EQ(AnsiString(v.GetData(), 5), "ab   ");
         }},
        {"varchar with its length", "C_VARCHAR", [](auto& v) { v.SetAsString("hello world"); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsString(), "hello world");
             EXPECT_EQ(isc_vax_integer(v.GetData(), 2), 11);
         }},
        {"varchar bytes pass unchanged", "C_VARCHAR", [](auto& v) { v.SetAsString("\xC3\xA4\xC3\xB6\xFF"); },
         [](auto& v) { EXPECT_EQ(v.GetAsString(), "\xC3\xA4\xC3\xB6\xFF"); }},
        {"varchar empty is not null", "C_VARCHAR", [](auto& v) { v.SetAsString(""); },
         [](auto& v) {
             EXPECT_FALSE(v.GetIsNull());
             EXPECT_EQ(v.GetAsString(), "");
         }},
        {"date before 1900", "C_DATE", [](auto& v) { v.SetAsDateTime(At(1800, 2, 28)); },
         [](auto& v) { ExpectSameMoment(At(1800, 2, 28), v.GetAsDateTime()); }},
        {"date before the client's day 0", "C_DATE", [](auto& v) { v.SetAsDateTime(At(1858, 11, 16)); },
         [](auto& v) { ExpectSameMoment(At(1858, 11, 16), v.GetAsDateTime()); }},
        {"date first day", "C_DATE", [](auto& v) { v.SetAsDateTime(At(1, 1, 1)); },
         [](auto& v) { EXPECT_EQ(DateTimeToTimeStamp(v.GetAsDateTime()).Date, 1); }},
        {"date last day", "C_DATE", [](auto& v) { v.SetAsDateTime(At(9999, 12, 31, 13)); },
         [](auto& v) { ExpectSameMoment(At(9999, 12, 31), v.GetAsDateTime()); }},
        {"time last millisecond", "C_TIME", [](auto& v) { v.SetAsDateTime(At(2001, 5, 6, 23, 59, 59, 999)); },
         [](auto& v) { EXPECT_EQ(DateTimeToTimeStamp(v.GetAsDateTime()).Time, 86399999); }},
        {"timestamp before 1899-12-30", "C_TS", [](auto& v) { v.SetAsDateTime(At(1899, 12, 29, 6)); },
         [](auto& v) { ExpectSameMoment(At(1899, 12, 29, 6), v.GetAsDateTime()); }},
        {"timestamp 1700", "C_TS", [](auto& v) { v.SetAsDateTime(At(1700, 1, 1, 12, 34, 56, 789)); },
         [](auto& v) {
             ExpectSameMoment(At(1700, 1, 1, 12, 34, 56, 789), v.GetAsDateTime());
             EXPECT_EQ(v.GetAsString(), "1700-01-01 12:34:56");
         }},
        {"timestamp last moment", "C_TS", [](auto& v) { v.SetAsDateTime(At(9999, 12, 31, 23, 59, 59, 999)); },
         [](auto& v) { ExpectSameMoment(At(9999, 12, 31, 23, 59, 59, 999), v.GetAsDateTime()); }},
        {"numeric(9,1): the nearest double, not raw x pow(10, scale)", "C_N41",
         [](auto& v) { v.SetAsScaled(3, -1); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsDouble(), 0.3);
             EXPECT_EQ(v.GetAsScaled(-1), 3);
             EXPECT_EQ(v.GetAsScaled(-3), 300);
         }},
        {"numeric(18,6) beyond a double's digits, exactly", "C_N186",
         [](auto& v) { v.SetAsScaled(-123456789012123451, -6); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsScaled(-6), -123456789012123451);
             EXPECT_EQ(v.GetAsString(), "-123456789012.123451");
             EXPECT_EQ(v.GetAsDouble(), -123456789012.123451);
             EXPECT_EQ(v.GetAsScaled(-5), -12345678901212345); // fewer decimals: half away from zero
         }},
        {"numeric(18,2) beyond Currency, exactly", "C_D152",
         [](auto& v) { v.SetAsScaled(999999999999999999, -2); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsString(), "9999999999999999.99");
             EXPECT_EQ(v.GetAsScaled(-2), 999999999999999999);
             EXPECT_THROW(v.GetAsCurrency(), EIBClientError);
             EXPECT_THROW(v.GetAsScaled(-3), EIBClientError); // beyond 64 bits at that scale
         }},
        {"time to 1/10000 s", "C_TIME", [](auto& v) { v.SetAsISCTime(863999999); },
         [](auto& v) {
             EXPECT_EQ(v.GetAsISCTime(), 863999999u);
             EXPECT_EQ(DateTimeToTimeStamp(v.GetAsDateTime()).Time, 86399999);
         }},
        {"timestamp to 1/10000 s: 9999-12-31 23:59:59.9999", "C_TS",
         [](auto& v) {
             v.SetAsISCTimeStamp(ISC_TIMESTAMP{2973483, 863999999});
         },
         [](auto& v) {
             EXPECT_EQ(v.GetAsISCTimeStamp().timestamp_date, 2973483);
             EXPECT_EQ(v.GetAsISCTimeStamp().timestamp_time, 863999999u);
             EXPECT_EQ(v.GetAsISCTime(), 863999999u);
             ExpectSameMoment(At(9999, 12, 31, 23, 59, 59, 999), v.GetAsDateTime());
         }},
        {"memo from text", "C_MEMO", [](auto& v) { v.SetAsString("a memo\r\nline two"); },
         [](auto& v) { EXPECT_EQ(v.GetAsString(), "a memo\r\nline two"); }},
        {"text into an integer column", "C_INT", [](auto& v) { v.SetAsString(" 77 "); },
         [](auto& v) { EXPECT_EQ(v.GetAsLong(), 77); }},
    };
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ++id;
        Write(id, c.Column, c.Set);
        TIBXSQLVAR& v = Read(id, c.Column);
        EXPECT_FALSE(v.GetIsNull());
        c.Check(v);
    }
}

TEST_P(IBTypes, NullInEveryColumn) {
    const char* columns[] = {"C_SMALL", "C_INT",  "C_BIG",  "C_FLOAT", "C_DOUBLE", "C_N41",
                             "C_N92",   "C_N184", "C_N186", "C_D152",  "C_CHAR",   "C_VARCHAR",
                             "C_DATE",  "C_TIME", "C_TS",   "C_BLOB",  "C_MEMO"};
    int id = 0;
    for (const char* c : columns) {
        SCOPED_TRACE(c);
        ++id;
        Write(id, c, [](TIBXSQLVAR& v) { v.SetIsNull(true); });
        TIBXSQLVAR& v = Read(id, c);
        EXPECT_TRUE(v.GetIsNull());
        EXPECT_EQ(v.GetAsString(), "");
        EXPECT_EQ(v.GetAsInt64(), 0);
    }
}

// A statement reused after a NULL must not write NULL again, whatever setter follows.
TEST_P(IBTypes, EverySetterClearsTheNullFlag) {
    TIBBlobStream blob;
    blob.SetDatabase(Db.get());
    blob.SetTransaction(Tr.get());
    blob.SetMode(bmWrite);
    blob.WriteBuffer("blob", 4);
    blob.Finalize();
    const ISC_QUAD blobId = blob.GetBlobID();

    struct Case {
        const char* Column;
        std::function<void(TIBXSQLVAR&)> Set;
        const char* Text;
    };
    const Case cases[] = {
        {"C_INT", [](auto& v) { v.SetAsLong(5); }, "5"},
        {"C_BIG", [](auto& v) { v.SetAsInt64(6); }, "6"},
        {"C_DOUBLE", [](auto& v) { v.SetAsDouble(7); }, "7"},
        {"C_N184", [](auto& v) { v.SetAsCurrency(Currency::FromRaw(80000)); }, "8.0000"},
        {"C_DATE", [](auto& v) { v.SetAsDateTime(At(1900, 1, 2)); }, "1900-01-02"},
        {"C_VARCHAR", [](auto& v) { v.SetAsString("ten"); }, "ten"},
        {"C_BLOB", [=](auto& v) { v.SetAsQuad(blobId); }, "blob"},
        {"C_MEMO", [](auto& v) { v.SetAsString("memo"); }, "memo"},
    };
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Column);
        TIBSQL* q = NewSQL(AnsiString("INSERT INTO T (ID, ") + c.Column + ") VALUES (:ID, :V)");
        q->ParamByName("ID")->SetAsLong(++id);
        q->ParamByName("V")->SetIsNull(true);
        q->ExecQuery();
        q->ParamByName("ID")->SetAsLong(++id);
        c.Set(*q->ParamByName("V"));
        EXPECT_FALSE(q->ParamByName("V")->GetIsNull());
        q->ExecQuery();
        EXPECT_TRUE(Read(id - 1, c.Column).GetIsNull());
        EXPECT_EQ(Read(id, c.Column).GetAsString(), c.Text);
    }
}

TEST_P(IBTypes, ValuesThatDoNotFitRaise) {
    Write(1, "C_BIG", [](auto& v) { v.SetAsInt64(Int64(1) << 40); });
    Write(2, "C_BIG", [](auto& v) { v.SetAsInt64(1000000000000000); }); // 10^15
    Write(3, "C_DOUBLE", [](auto& v) { v.SetAsDouble(1e300); });

    auto expectRange = [](const std::function<void()>& f) {
        try {
            f();
            ADD_FAILURE() << "no error";
        } catch (const EIBClientError& e) {
            EXPECT_EQ(e.GetClientError(), TIBClientError::ValueOutOfRange) << e.Message();
            EXPECT_NE(e.Message().find("out of the range"), AnsiString::npos) << e.Message();
        }
    };
    expectRange([&] { Read(1, "C_BIG").GetAsLong(); });
    expectRange([&] { Read(2, "C_BIG").GetAsCurrency(); });
    expectRange([&] { Read(3, "C_DOUBLE").GetAsCurrency(); });
    expectRange([&] { Read(3, "C_DOUBLE").GetAsInt64(); });
    expectRange([&] { Write(9, "C_VARCHAR", [](auto& v) { v.SetAsString(AnsiString(40000, 'x')); }); });
    expectRange([&] { Write(9, "C_TS", [](auto& v) { v.SetAsDateTime(EncodeDate(9999, 12, 31) + 2); }); });
    expectRange([&] { Write(9, "C_DOUBLE", [](auto& v) { v.SetAsDouble(std::nan("")); }); });
    expectRange([&] { Write(9, "C_TIME", [](auto& v) { v.SetAsISCTime(864000000); }); }); // one day
    expectRange([&] { Write(9, "C_TS", [](auto& v) { v.SetAsISCTimeStamp(ISC_TIMESTAMP{2973484, 0}); }); });

    // The engine refuses what overflows the column's own type.
    struct Case {
        const char* Column;
        std::function<void(TIBXSQLVAR&)> Set;
    };
    const Case engine[] = {
        {"C_INT", [](auto& v) { v.SetAsInt64(Int64(1) << 40); }},
        {"C_SMALL", [](auto& v) { v.SetAsLong(40000); }},
        {"C_N41", [](auto& v) { v.SetAsCurrency(Currency::FromRaw(40000000)); }}, // 4000.0 needs 40000
        {"C_VARCHAR", [](auto& v) { v.SetAsString(AnsiString(31, 'x')); }},
    };
    int id = 10;
    for (const auto& c : engine) {
        SCOPED_TRACE(c.Column);
        try {
            Write(++id, c.Column, c.Set);
            ADD_FAILURE() << "no error";
        } catch (const EIBInterBaseError& e) {
            EXPECT_LT(e.GetSQLCode(), 0);
            EXPECT_NE(e.GetIBErrorCode(), 0);
            EXPECT_FALSE(e.Message().empty());
        }
    }
}

TEST_P(IBTypes, ReadingTheWrongKindRaises) {
    Write(1, "C_DATE", [](auto& v) { v.SetAsDateTime(At(2000, 1, 1)); });
    Write(2, "C_VARCHAR", [](auto& v) { v.SetAsString("not a number"); });
    EXPECT_THROW(Read(1, "C_DATE").GetAsLong(), EIBClientError);
    EXPECT_THROW(Read(1, "C_DATE").GetAsQuad(), EIBClientError);
    EXPECT_THROW(Read(2, "C_VARCHAR").GetAsInt64(), EIBClientError);
    EXPECT_THROW(Read(2, "C_VARCHAR").GetAsDateTime(), EIBClientError);
    TIBSQL* q = NewSQL("INSERT INTO T (ID, C_INT) VALUES (3, :V)");
    q->Prepare();
    EXPECT_THROW(q->ParamByName("V")->SetAsQuad(ISC_QUAD{}), EIBClientError);
}

TEST_P(IBTypes, ArrayColumnGivesItsId) {
    ExecSQL("INSERT INTO T (ID) VALUES (1)");
    TIBXSQLVAR& v = Read(1, "C_ARR");
    EXPECT_TRUE(v.GetIsNull());
    EXPECT_EQ(v.GetSQLType(), SQL_ARRAY);
    EXPECT_NO_THROW(v.GetAsQuad());
}

INSTANTIATE_TEST_SUITE_P(Routes, IBTypes, RouteValues(), RouteName);
