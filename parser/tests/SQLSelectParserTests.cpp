#include "SQLSelectParserKV.h"

#include "Dbconstkv.h"
#include "Ibconstkv.h"
#include "MessagesDe.h"
#include "ParserRoundTrip.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

AnsiString Rebuilt(const AnsiString& statement, int dialect = 1) {
    TSQLSelectParserKV parser;
    parser.SQLDialect = dialect;
    parser.SetSQLText(statement);
    return parser.GetSQLText();
}

struct TItem {
    std::string Text;
    int Type;
    int QuoteKind = 0;
    bool operator==(const TItem&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TItem& i) {
    return os << "[" << i.Text << "]/" << i.Type << "/q" << i.QuoteKind;
}

std::vector<TItem> Items(const TSQLSelectParserSectionKV& section) {
    std::vector<TItem> result;
    for (int i = 0; i < section.GetCount(); ++i) {
        const TSQLSelectParserItemKV* item = section.GetItem(i);
        EXPECT_EQ(item->Section, &section);
        result.push_back({item->Text, item->ItemType, item->QuoteKind});
    }
    return result;
}

TEST(SelectParser, ConstructorBuildsTheClauseTable) {
    TSQLSelectParserKV parser;
    EXPECT_EQ(parser.SQLDialect, 1);
    const char* names[] = {"SELECT", "FROM", "WHERE",    "GROUP BY",  "HAVING",
                           "UNION",  "PLAN", "ORDER BY", "FOR UPDATE"};
    ASSERT_EQ(parser.GetCount(), 9);
    for (int i = 0; i < 9; ++i) {
        TSQLSelectParserSectionKV* section = parser.GetSection(i);
        EXPECT_EQ(section->Name, names[i]);
        EXPECT_EQ(section->SectionType, i + 1);
        EXPECT_EQ(section->Parser, &parser);
        EXPECT_EQ(section->GetCount(), 0);
        EXPECT_EQ(parser.GetSectionByType(static_cast<TSQLItemType>(i + 1)), section);
    }
    EXPECT_EQ(parser.GetSQLText(), "");
}

// Each statement and its rebuilt text; lines are joined by CR LF.
TEST(SelectParser, SplitsAndRebuildsStatements) {
    struct Case {
        const char* Statement;
        const char* Expected;
    } cases[] = {
        {"SELECT a, b FROM t WHERE x = 1 ORDER BY a", "SELECT a, b\r\nFROM t\r\nWHERE x = 1\r\nORDER BY a"},
        {"select a from t", "SELECT a\r\nFROM t"},
        {"xyz SELECT a FROM t", "SELECT a\r\nFROM t"},
        {"SELECT\r\n\ta,\t  b\r\nFROM   t\r\n", "SELECT a, b\r\nFROM t"},
        {"SELECT T.A, COUNT(*) FROM T X", "SELECT T.A, COUNT (*)\r\nFROM T X"},
        {"SELECT a FROM t WHERE a = 'it''s'", "SELECT a\r\nFROM t\r\nWHERE a = 'it''s'"},
        {"SELECT \"a\" FROM t", "SELECT \"a\"\r\nFROM t"},
        {"SELECT a FROM t WHERE a = 'abc", "SELECT a\r\nFROM t\r\nWHERE a = 'abc'"},
        {"SELECT a FROM t LEFT  OUTER JOIN u ON t.id=u.id",
         "SELECT a\r\nFROM t LEFT OUTER JOIN u ON t.id = u.id"},
        {"SELECT a FROM t WHERE (a>=:p1 OR b<>-1.5) AND c IS NOT NULL",
         "SELECT a\r\nFROM t\r\nWHERE (a >= :p1 OR b <> - 1.5) AND c IS NOT NULL"},
        {"SELECT CAST(a AS VARCHAR(10)) FROM t", "SELECT CAST (a AS VARCHAR (10))\r\nFROM t"},
        // Clauses come back in table order, whatever order they were written in.
        {"SELECT a FROM t ORDER BY a WHERE b = 1", "SELECT a\r\nFROM t\r\nWHERE b = 1\r\nORDER BY a"},
        {"SELECT a FROM t WHERE b = 1 GROUP BY a HAVING COUNT(*) > 1 UNION SELECT c FROM u "
         "PLAN (t NATURAL) ORDER BY 1 FOR UPDATE OF a",
         "SELECT a\r\nFROM t\r\nWHERE b = 1\r\nGROUP BY a\r\nHAVING COUNT (*) > 1\r\nUNION SELECT c FROM "
         "u\r\n"
         "PLAN (t NATURAL)\r\nORDER BY 1\r\nFOR UPDATE OF a"},
        // A nested select stays in a condition up to a keyword that ends the condition.
        {"SELECT a FROM t WHERE a IN (SELECT b FROM c WHERE d = 1)",
         "SELECT a\r\nFROM t\r\nWHERE a IN (SELECT b FROM c WHERE d = 1)"},
        {"SELECT a FROM t WHERE a IN (SELECT b FROM c GROUP BY b)",
         "SELECT a\r\nFROM t\r\nWHERE a IN (SELECT b FROM c\r\nGROUP BY b)"},
        {"SELECT a FROM t UNION SELECT b FROM u WHERE c = 1",
         "SELECT a\r\nFROM t\r\nUNION SELECT b FROM u WHERE c = 1"},
        // Known limits: a repeated clause keyword restarts its clause...
        {"SELECT a FROM (SELECT b FROM c) x", "SELECT b\r\nFROM c) x"},
        {"SELECT a FROM t ORDER BY a ORDER BY b", "SELECT a\r\nFROM t\r\nORDER BY b"},
        // ...and comments are split like other text.
        {"SELECT a /* FROM x */ FROM t", "SELECT a / *\r\nFROM t"},
        {"-- note\nSELECT a FROM t", "SELECT a\r\nFROM t"},
        // Clauses without items leave no line.
        {"SELECT A FROM T FOR UPDATE", "SELECT A\r\nFROM T"},
        {"SELECT A FROM T ORDER BY A FOR UPDATE OF B", "SELECT A\r\nFROM T\r\nORDER BY A\r\nFOR UPDATE OF B"},
        {"SELECT", ""},
        {"", ""},
        {"   ", ""},
        {"no clause here", ""},
        // A clause may repeat its keyword once; WHERE stays an item in a condition after that.
        {"SELECT SELECT a FROM FROM t", "SELECT a\r\nFROM t"},
        {"SELECT a FROM t WHERE WHERE x", "SELECT a\r\nFROM t\r\nWHERE x"},
        {"SELECT a FROM t WHERE x = 1 WHERE y", "SELECT a\r\nFROM t\r\nWHERE x = 1 WHERE y"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rebuilt(c.Statement), c.Expected) << "statement: " << c.Statement;
}

// A literal written right after a word reaches the rebuilt text unchanged and
// does not swallow the clauses after it.
TEST(SelectParser, LiteralAfterWordStaysWhole) {
    struct Case {
        const char* Statement;
        const char* Expected;
    } cases[] = {
        {"SELECT X||'a,b' FROM t", "SELECT X|| 'a,b'\r\nFROM t"},
        {"SELECT X||' - '||Y FROM t WHERE Z = 1", "SELECT X|| ' - ' ||Y\r\nFROM t\r\nWHERE Z = 1"},
        {"SELECT a FROM t WHERE n LIKE 'x%'||'  y' ORDER BY a",
         "SELECT a\r\nFROM t\r\nWHERE n LIKE 'x%' || '  y'\r\nORDER BY a"},
        {"SELECT a FROM t WHERE n=\"A  B\"", "SELECT a\r\nFROM t\r\nWHERE n = \"A  B\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rebuilt(c.Statement), c.Expected) << "statement: " << c.Statement;

    TSQLSelectParserKV parser;
    parser.SetSQLText("SELECT X||' - '||Y FROM t WHERE Z = 1");
    EXPECT_EQ(Items(*parser.GetSectionByType(sitSelect)),
              (std::vector<TItem>{{"X||", 35}, {" - ", 50, 1}, {"||Y", 35}}));
    EXPECT_EQ(parser.GetSectionByType(sitWhere)->GetSQLText(), "Z = 1");
}

// The rebuild never glues tokens that would read back as one.
TEST(SelectParser, RebuildKeepsTokensApart) {
    struct Case {
        const char* Statement;
        const char* Expected;
    } cases[] = {
        // "1" and "." glued would read back as the number "1.".
        {"SELECT 1 . x FROM t", "SELECT 1 .x\r\nFROM t"},
        {"SELECT a FROM t WHERE b = 1 .5", "SELECT a\r\nFROM t\r\nWHERE b = 1 .5"},
        {"SELECT a FROM t WHERE b = :p . c", "SELECT a\r\nFROM t\r\nWHERE b = :p.c"},
        // The clause's own keyword as first item is written twice, as a second split skips one.
        {"SELECT a FROM t WHERE WHERE WHERE x", "SELECT a\r\nFROM t\r\nWHERE WHERE WHERE x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rebuilt(c.Statement), c.Expected) << "statement: " << c.Statement;
        EXPECT_EQ(ParserRoundTrip::Check(c.Statement, 1), "") << "statement: " << c.Statement;
    }
}

// Parsing the rebuilt text gives the same items and the same text again.
TEST(SelectParser, RebuiltTextSplitsIntoTheSameItems) {
    const char* statements[] = {
        "SELECT a, b FROM t WHERE x = 1 ORDER BY a",
        "select T.A, count(*), sum(t.b) from T X, U where X.ID = U.ID and U.N starting with 'A'",
        "SELECT DISTINCT I.ID, I.DESCRIPTION FROM ITEM I LEFT OUTER JOIN ORDERS O ON O.ITEM = I.ID "
        "WHERE I.QUANTITY > 5 AND (O.ID IS NULL OR O.DATE >= '2001-01-01') ORDER BY I.DESCRIPTION DESC, I.ID",
        "SELECT \"Mixed Case\".\"Col\" FROM \"Mixed Case\" WHERE \"Col\" <> 'x''y' COLLATE DE_DE",
        "SELECT * FROM T WHERE A BETWEEN :LO AND :HI AND B NOT LIKE 'a\\_%' ESCAPE '\\'",
        "SELECT A FROM T WHERE EXISTS (SELECT 1 FROM U WHERE U.A = T.A) OR SINGULAR (SELECT * FROM V)",
        "SELECT A FROM T GROUP BY A HAVING MAX(B) > ALL (SELECT C FROM U) UNION SELECT D FROM V",
        "SELECT GEN_ID(G, 1) FROM RDB$DATABASE PLAN (RDB$DATABASE NATURAL)",
        "SELECT X||' - '||Y, 'a,b'||Z FROM T WHERE N CONTAINING 'q' FOR UPDATE OF X",
        "SELECT 1.5 . x, 2 .y, .5, 1.e3 FROM t WHERE a !< 1 AND b != 2 AND c !> 3 AND d = -.1",
        "SELECT a FROM t WHERE WHERE WHERE x AND a = 'unterminated",
        "SELECT a FROM (SELECT b FROM c) x WHERE y IN (SELECT z FROM w ORDER BY z)",
        "xyz SELECT ORDER FOR GROUP LEFT OUTER FROM t STARTING x FULL JOIN u ON 1=1",
        "SELECT \"\" , '' , 'it''s' , \"a\"\"b\" FROM t -- comment\r\n/* x */",
        "SELECT a FROM t WHERE b = 'line\r\nbreak' AND c = \"tab\there\"",
        "SELECT a FROM t ORDER BY a COLLATE PXW_CSY ASCENDING, b DESCENDING",
    };
    for (const char* statement : statements)
        for (int dialect : {1, 3})
            EXPECT_EQ(ParserRoundTrip::Check(statement, dialect), "")
                << "dialect " << dialect << ", statement: " << statement;
}

// Item types after the clause is read: keywords keep the tokenizer's type,
// words and stars get theirs from the clause and their neighbours.
TEST(SelectParser, ReclassifiesItemsByClauseAndNeighbours) {
    struct Case {
        const char* Statement;
        int Dialect;
        TSQLItemType Section;
        std::vector<TItem> Expected;
    } cases[] = {
        {"SELECT T.A, COUNT(*) FROM T X",
         1,
         sitSelect,
         {{"T", 34}, {".", 43}, {"A", 35}, {",", 44}, {"COUNT", 35}, {"(", 37}, {"*", 13}, {")", 38}}},
        {"SELECT T.A, COUNT(*) FROM T X", 1, sitFrom, {{"T", 34}, {"X", 36}}},
        {"SELECT * FROM T", 1, sitSelect, {{"*", 13}}},
        {"SELECT T.* FROM T", 1, sitSelect, {{"T", 34}, {".", 43}, {"*", 13}}},
        {"SELECT a.b.c FROM T", 1, sitSelect, {{"a", 34}, {".", 43}, {"b", 34}, {".", 43}, {"c", 35}}},
        // AS before an alias is no alias itself.
        {"SELECT X FROM A AS X", 1, sitFrom, {{"A", 34}, {"AS", 51}, {"X", 36}}},
        {"SELECT X FROM A as X JOIN B AS Y ON X.I = Y.I, C",
         1,
         sitFrom,
         {{"A", 34},
          {"as", 51},
          {"X", 36},
          {"JOIN", 20},
          {"B", 34},
          {"AS", 51},
          {"Y", 36},
          {"ON", 47},
          {"X", 34},
          {".", 43},
          {"I", 34},
          {"=", 25},
          {"Y", 34},
          {".", 43},
          {"I", 34},
          {",", 44},
          {"C", 34}}},
        {"SELECT X FROM \"T\" AS \"as\"", 3, sitFrom, {{"T", 34, 2}, {"AS", 51}, {"as", 36, 2}}},
        {"SELECT X FROM A B C", 1, sitFrom, {{"A", 34}, {"B", 36}, {"C", 34}}},
        {"SELECT X FROM ITEM I JOIN ORDERS O ON I.ID = O.ITEM",
         1,
         sitFrom,
         {{"ITEM", 34},
          {"I", 36},
          {"JOIN", 20},
          {"ORDERS", 34},
          {"O", 36},
          {"ON", 47},
          {"I", 34},
          {".", 43},
          {"ID", 34},
          {"=", 25},
          {"O", 34},
          {".", 43},
          {"ITEM", 34}}},
        {"SELECT X FROM T ORDER BY a DESC, b",
         1,
         sitOrderBy,
         {{"a", 35}, {"DESC", 19}, {",", 44}, {"b", 35}}},
        {"SELECT X FROM T WHERE x COLLATE DE_DE", 1, sitWhere, {{"x", 35}, {"COLLATE", 16}, {"DE_DE", 17}}},
        {"SELECT X FROM T PLAN (T NATURAL)", 1, sitPlan, {{"(", 37}, {"T", 51}, {"NATURAL", 51}, {")", 38}}},
        {"SELECT X FROM T WHERE a = 'it''s'", 1, sitWhere, {{"a", 35}, {"=", 25}, {"it's", 50, 1}}},
        {"SELECT X FROM T HAVING COUNT(*) > 1",
         1,
         sitHaving,
         {{"COUNT", 35}, {"(", 37}, {"*", 32}, {")", 38}, {">", 25}, {"1", 49}}},
        // A star counts only between parentheses and with two items ahead of it.
        {"SELECT X FROM T WHERE (*) = a * b",
         1,
         sitWhere,
         {{"(", 37}, {"*", 41}, {")", 38}, {"=", 25}, {"a", 35}, {"*", 41}, {"b", 35}}},
        {"SELECT X FROM T WHERE ID = :_LOCATE1 AND N IS NOT NULL",
         1,
         sitWhere,
         {{"ID", 35},
          {"=", 25},
          {":_LOCATE1", 33},
          {"AND", 21},
          {"N", 35},
          {"IS", 24},
          {"NOT", 23},
          {"NULL", 48}}},
        {"SELECT X FROM T WHERE A IN (SELECT B FROM C)",
         1,
         sitWhere,
         {{"A", 35}, {"IN", 35}, {"(", 37}, {"SELECT", 1}, {"B", 35}, {"FROM", 2}, {"C", 35}, {")", 38}}},
        // Double quotes: a string below dialect 3, a name from dialect 3 on.
        {"SELECT X FROM T WHERE \"Name\" = 1", 1, sitWhere, {{"Name", 50, 2}, {"=", 25}, {"1", 49}}},
        {"SELECT X FROM T WHERE \"Name\" = 1", 3, sitWhere, {{"Name", 35, 2}, {"=", 25}, {"1", 49}}},
        {"SELECT \"T\".\"C\" FROM T", 3, sitSelect, {{"T", 34, 2}, {".", 43}, {"C", 35, 2}}},
        {"SELECT X FROM \"Item\" I", 3, sitFrom, {{"Item", 34, 2}, {"I", 36}}},
        {"SELECT X FROM \"Item\" I", 1, sitFrom, {{"Item", 50, 2}, {"I", 34}}},
        {"SELECT X FROM T WHERE a = 'x' COLLATE \"C\"",
         3,
         sitWhere,
         {{"a", 35}, {"=", 25}, {"x", 50, 1}, {"COLLATE", 16}, {"C", 17, 2}}},
    };
    for (const auto& c : cases) {
        TSQLSelectParserKV parser;
        parser.SQLDialect = c.Dialect;
        parser.SetSQLText(c.Statement);
        EXPECT_EQ(Items(*parser.GetSectionByType(c.Section)), c.Expected)
            << "dialect " << c.Dialect << ", statement: " << c.Statement;
    }
}

TEST(SelectParserSection, ReadsAClauseWithOrWithoutItsKeyword) {
    TSQLSelectParserKV parser;
    TSQLSelectParserSectionKV* where = parser.GetSectionByType(sitWhere);
    where->SetSQLText("WHERE QUANTITY > 5");
    const auto withKeyword = Items(*where);
    where->SetSQLText("QUANTITY > 5");
    EXPECT_EQ(Items(*where), withKeyword);
    EXPECT_EQ(where->GetSQLText(), "QUANTITY > 5");

    // Text after a keyword that ends the clause is dropped; other clauses stay as they were.
    parser.GetSectionByType(sitOrderBy)->SetSQLText("ORDER BY A");
    where->SetSQLText("x = 1 ORDER BY y");
    EXPECT_EQ(where->GetSQLText(), "x = 1");
    EXPECT_EQ(parser.GetSectionByType(sitOrderBy)->GetSQLText(), "A");

    where->SetSQLText("");
    EXPECT_EQ(where->GetCount(), 0);
    EXPECT_EQ(where->GetSQLText(), "");
    EXPECT_EQ(parser.GetSQLText(), "ORDER BY A");
}

TEST(SelectParserSection, InternalSetSQLTextReturnsTheKeywordThatEndedTheClause) {
    TSQLSelectParserKV parser;
    const std::string text = "a, b FROM t ORDER BY c";
    const char* cursor = text.c_str();
    EXPECT_EQ(parser.GetSectionByType(sitSelect)->InternalSetSQLText(cursor), sitFrom);
    EXPECT_EQ(parser.GetSectionByType(sitFrom)->InternalSetSQLText(cursor), sitOrderBy);
    EXPECT_EQ(parser.GetSectionByType(sitOrderBy)->InternalSetSQLText(cursor), sitEnd);
    EXPECT_EQ(*cursor, '\0');
    EXPECT_EQ(parser.GetSQLText(), "SELECT a, b\r\nFROM t\r\nORDER BY c");
}

TEST(SelectParser, SettingTextAgainReplacesEveryClause) {
    TSQLSelectParserKV parser;
    parser.SetSQLText("SELECT a FROM t WHERE b = 1 ORDER BY a");
    parser.SetSQLText("SELECT c FROM u");
    EXPECT_EQ(parser.GetSQLText(), "SELECT c\r\nFROM u");
    parser.ClearSections();
    EXPECT_EQ(parser.GetCount(), 9);
    EXPECT_EQ(parser.GetSQLText(), "");
}

// The items callers insert keep text and type; the clause rebuilds them with
// the spacing rules (here the keyset and refresh conditions of the dataset).
TEST(SelectParserSection, CallerItemsRebuildWithTheSpacingRules) {
    TSQLSelectParserKV parser;
    parser.SetSQLText("SELECT ID FROM ITEM WHERE QUANTITY > 5");
    TSQLSelectParserSectionKV* w = parser.GetSectionByType(sitWhere);
    w->InsertItem(0, "(", sitOpenParen);
    w->AddItem(")", sitCloseParen);
    w->InsertItem(0, "AND", sitAnd);
    w->InsertItem(0, ")", sitCloseParen);
    w->InsertItem(0, "(", sitOpenParen);
    int at = 1;
    for (auto [text, type] : {std::pair{"A", sitColumn}, {">=", sitComparison}, {":_LOCATE1", sitParameter}})
        w->InsertItem(at++, text, type);
    EXPECT_EQ(w->GetSQLText(), "(A >= :_LOCATE1) AND (QUANTITY > 5)");
    EXPECT_EQ(parser.GetSQLText(), "SELECT ID\r\nFROM ITEM\r\nWHERE (A >= :_LOCATE1) AND (QUANTITY > 5)");

    TSQLSelectParserSectionKV lone;
    EXPECT_EQ(lone.AddItem("T", sitTable), 0);
    EXPECT_EQ(lone.AddItem(".", sitDot), 1);
    EXPECT_EQ(lone.AddItem("C", sitColumn), 2);
    EXPECT_EQ(lone.AddItem(",", sitComma), 3);
    EXPECT_EQ(lone.AddItem("'x'", sitOther), 4);
    EXPECT_EQ(lone.GetSQLText(), "T.C, 'x'");
    EXPECT_EQ(lone.GetItem(4)->QuoteKind, 0);
    EXPECT_EQ(lone.GetItem(4)->ItemType, sitOther);
}

TEST(SelectParserItem, GetQuotedTextRestoresQuotes) {
    struct Case {
        const char* Text;
        int QuoteKind;
        const char* Expected;
    } cases[] = {
        {"it's", 1, "'it''s'"}, {"a\"b", 2, "\"a\"\"b\""}, {"a\"b", 1, "'a\"b'"},
        {"", 1, "''"},          {"x'y", 0, "x'y"},
    };
    for (const auto& c : cases) {
        TSQLSelectParserItemKV item;
        item.Text = c.Text;
        item.QuoteKind = c.QuoteKind;
        EXPECT_EQ(item.GetQuotedText(), c.Expected);
    }
    TSQLSelectParserItemKV fresh;
    EXPECT_EQ(fresh.Text, "");
    EXPECT_EQ(fresh.ItemType, sitOther);
    EXPECT_EQ(fresh.QuoteKind, 0);
    EXPECT_EQ(fresh.Section, nullptr);
}

TEST(SelectParserSection, DialectComesFromTheParser) {
    TSQLSelectParserSectionKV lone;
    EXPECT_EQ(lone.GetSQLDialect(), 1);
    EXPECT_EQ(lone.SectionType, sitOther);
    EXPECT_EQ(lone.Name, "");
    EXPECT_EQ(lone.Parser, nullptr);
    TSQLSelectParserKV parser;
    parser.SQLDialect = 3;
    EXPECT_EQ(parser.GetSection(0)->GetSQLDialect(), 3);
}

void ExpectListError(const std::function<void()>& f, int index) {
    try {
        f();
        ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
    }
}

TEST(SelectParserSection, IndexErrorsLeaveTheItemsAlone) {
    TSQLSelectParserSectionKV section;
    section.AddItem("a", sitColumn);
    section.AddItem("b", sitColumn);
    ExpectListError([&] { section.InsertItem(3, "x", sitOther); }, 3);
    ExpectListError([&] { section.InsertItem(-1, "x", sitOther); }, -1);
    ExpectListError([&] { section.GetItem(2); }, 2);
    ExpectListError([&] { section.DeleteItem(2); }, 2);
    ExpectListError([&] { section.DeleteItem(-1); }, -1);
    TSQLSelectParserSectionKV other;
    other.AddItem("c", sitColumn);
    ExpectListError([&] { section.DeleteItem(other.GetItem(0)); }, -1);
    EXPECT_EQ(section.GetSQLText(), "a b");
    EXPECT_EQ(other.GetCount(), 1);

    section.InsertItem(2, "c", sitColumn);
    section.InsertItem(0, "z", sitColumn);
    EXPECT_EQ(section.GetSQLText(), "z a b c");
    section.DeleteItem(section.GetItem(1));
    section.DeleteItem(0);
    EXPECT_EQ(section.GetSQLText(), "b c");
    section.Clear();
    EXPECT_EQ(section.GetCount(), 0);
}

TEST(SelectParser, SectionsAddedByTheCaller) {
    TSQLSelectParserKV parser;
    EXPECT_EQ(parser.AddSection("ROWS", sitOther), 9);
    EXPECT_EQ(parser.AddSection("AGAIN", sitWhere), 10);
    TSQLSelectParserSectionKV* rows = parser.GetSection(9);
    EXPECT_EQ(rows->Parser, &parser);
    EXPECT_EQ(rows->Name, "ROWS");
    EXPECT_EQ(parser.GetSectionByType(sitWhere), parser.GetSection(2)); // first in table order
    rows->AddItem("10", sitNumber);
    parser.GetSection(0)->AddItem("a", sitColumn);
    EXPECT_EQ(parser.GetSQLText(), "SELECT a\r\nROWS 10");
    ExpectListError([&] { parser.GetSection(11); }, 11);
    ExpectListError([&] { parser.GetSection(-1); }, -1);
}

TEST(SelectParser, UnknownSectionTypeRaisesDatabaseError) {
    TSQLSelectParserKV parser;
    for (TSQLItemType type : {sitTransaction, sitOther, sitEnd}) {
        try {
            parser.GetSectionByType(type);
            ADD_FAILURE() << "no error for type " << int(type);
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "SQL-Parser section not found");
        }
    }
    struct GermanBound {
        GermanBound() { BindGermanMessages(); }
        ~GermanBound() {
            UnbindLanguageTable(IbconstkvModule);
            UnbindLanguageTable(DbconstkvModule);
        }
    } german;
    try {
        parser.GetSectionByType(sitTransaction);
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "SQL-Parser Sektion nicht gefunden");
    }
}

} // namespace
