// The text lists of the dataset: order items with their events, the
// table-alias list built from a FROM clause, the SQL text that writes
// through to its statement, and the generator-field lines.
#include "RowvaneFixture.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

template <class L> void Record(L& List, Events& Log) {
    List.OnChanging = [&Log](TObject*) { Log.push_back("changing"); };
    List.OnChange = [&Log](TObject*) { Log.push_back("change"); };
}

TEST(OrderItems, LinesParseIntoIdAndTrimmedOrderBy) {
    TIBRVOrderItems items;
    items.Add("1;DESCRIPTION");
    items.Add("2;  ITEM.QUANTITY DESC , ID  ;x");
    items.Add("3;");
    items.Add("-4;A");
    EXPECT_EQ(items.GetItem(0)->GetId(), 1);
    EXPECT_EQ(items.GetItem(0)->GetOrderBy(), "DESCRIPTION");
    EXPECT_EQ(items.GetItem(1)->GetOrderBy(), "ITEM.QUANTITY DESC , ID");
    EXPECT_EQ(items.GetItem(2)->GetOrderBy(), "");
    EXPECT_EQ(items.GetText(), "1;DESCRIPTION\r\n2;ITEM.QUANTITY DESC , ID\r\n3;\r\n-4;A\r\n");
    EXPECT_THROW(items.Get(4), EListError);
}

TEST(OrderItems, ABadLineLeavesTheListAsItWasButStillFiresBothEvents) {
    TIBRVOrderItems items;
    items.Add("1;ID");
    Events log;
    Record(items, log);
    EXPECT_RV_ERROR(items.Add("5"), rveOrderItemsIncomplete);
    EXPECT_THROW(items.Add("x;A"), EConvertError);
    EXPECT_THROW(items.Add(" 7 ;A"), EConvertError); // the id is not trimmed
    EXPECT_THROW(items.InsertItem(3), ERangeError);
    EXPECT_EQ(items.GetCount(), 1);
    EXPECT_EQ(log, (Events{"changing", "change", "changing", "change", "changing", "change"}));
}

TEST(OrderItems, OneAssignmentFiresOneEventPairAndAVetoChangesNothing) {
    TIBRVOrderItems items;
    Events log;
    Record(items, log);
    TStringList lines;
    lines.SetText("1;ID\r\n2;DESCRIPTION\r\n3;QUANTITY DESC");
    items.Assign(lines);
    EXPECT_EQ(log, (Events{"changing", "change"}));
    EXPECT_EQ(items.GetCount(), 3);

    log.clear();
    items.Clear();
    items.Clear(); // empty: no events
    EXPECT_EQ(log, (Events{"changing", "change"}));

    items.Add("1;ID");
    log.clear();
    items.OnChanging = [](TObject*) { throw EIBRVError(rveDatasetOpen); };
    EXPECT_RV_ERROR(items.Add("2;X"), rveDatasetOpen);
    EXPECT_RV_ERROR(items.Delete(0), rveDatasetOpen);
    EXPECT_RV_ERROR(items.Assign(lines), rveDatasetOpen);
    EXPECT_EQ(items.GetText(), "1;ID\r\n");
    EXPECT_TRUE(log.empty());
}

TEST(OrderItems, LookupByIdTakesTheFirstExactMatch) {
    TIBRVOrderItems items;
    items.SetText("4;A\r\n4;B\r\n-2;C");
    EXPECT_EQ(items.GetItemById(4)->GetOrderBy(), "A");
    EXPECT_EQ(items.GetItemById(-2)->GetOrderBy(), "C");
    EXPECT_RV_ERROR(items.GetItemById(9), rveInvalidOrderItemId);
    EXPECT_RV_ERROR(items.GetItemById(2), rveInvalidOrderItemId); // the sign counts
    TIBRVOrderItemsItem stranger;
    items.DeleteItem(&stranger); // not in the list: ignored
    items.DeleteItem(items.GetItem(0));
    EXPECT_EQ(items.GetItemById(4)->GetOrderBy(), "B");
}

TEST(TableAliases, BuildListReadsTablesAndAliasesOfTheFromClause) {
    TIBSQL query(nullptr); // no database: the dialect of the identifiers is 3
    TIBRVTableAliasList aliases;
    struct Case {
        const char* Select;
        const char* Lines;
    } cases[] = {
        {"SELECT I.ID FROM ITEM I", "ITEM=I\r\n"},
        {"SELECT * FROM A a JOIN B b ON a.X = b.Y, C", "A=A\r\nB=B\r\n"},
        // Double-quoted names are names at dialect 3; AS is no alias.
        {"SELECT * FROM \"Item\" x", "Item=X\r\n"},
        {"SELECT * FROM \"Item\" AS \"x\", ITEM as y", "Item=x\r\nITEM=Y\r\n"},
        {"SELECT X.ID FROM ITEM AS X", "ITEM=X\r\n"},
        {"SELECT * FROM A LEFT JOIN B bb ON A.K = bb.K AND x y", "B=BB\r\n"},
        {"SELECT 1 FROM RDB$DATABASE", ""},
    };
    for (const auto& c : cases) {
        query.GetSQL()->SetText(c.Select);
        aliases.BuildList(&query);
        EXPECT_EQ(aliases.GetAliases()->GetText(), c.Lines) << c.Select;
    }
    query.GetSQL()->SetText("SELECT * FROM ITEM I, ITEM J");
    aliases.BuildList(&query);
    EXPECT_EQ(aliases.GetAlias("ITEM"), "I"); // the first line wins
    EXPECT_EQ(aliases.GetAlias("item"), "");
    EXPECT_EQ(aliases.GetAlias("OTHER"), "");
}

TEST(SQLText, WritesThroughToTheStatementWithOneEventPairPerChange) {
    TIBSQL query(nullptr);
    auto text = std::make_unique<TIBRVSQLText>(&query);
    Events log;
    Record(*text, log);
    query.GetSQL()->Add("SELECT 1"); // straight into the statement
    EXPECT_EQ(text->GetCount(), 1);
    EXPECT_TRUE(log.empty());

    text->SetText("SELECT ID\r\nFROM ITEM\r\nWHERE ID > 1");
    EXPECT_EQ(log, (Events{"changing", "change"}));
    EXPECT_EQ(query.GetSQL()->GetText(), "SELECT ID\r\nFROM ITEM\r\nWHERE ID > 1\r\n");

    log.clear();
    text->Add("ORDER BY ID");
    EXPECT_EQ(log, (Events{"changing", "change"}));
    EXPECT_EQ(query.GetSQL()->GetCount(), 4);

    log.clear();
    EXPECT_THROW(text->Delete(9), EListError);
    EXPECT_EQ(log, (Events{"changing", "change"})); // the bracket closes on the error

    log.clear();
    text->OnChanging = [](TObject*) { throw EIBRVError(rveDatasetOpen); };
    EXPECT_RV_ERROR(text->Add("x"), rveDatasetOpen);
    EXPECT_RV_ERROR(text->Clear(), rveDatasetOpen);
    EXPECT_EQ(query.GetSQL()->GetCount(), 4);
    EXPECT_TRUE(log.empty());

    text->OnChanging = nullptr;
    text->Clear();
    EXPECT_EQ(query.GetSQL()->GetCount(), 0);
    text->Clear(); // empty: no events
    EXPECT_EQ(log, (Events{"change"}));

    query.GetSQL()->Add("SELECT 2");
    text.reset(); // the statement and its lines stay
    EXPECT_EQ(query.GetSQL()->GetText(), "SELECT 2\r\n");
}

TEST(GeneratorFields, LinesParseIntoFieldGeneratorAndIncrement) {
    TIBRVGeneratorFields gens(nullptr);
    gens.Add("ID;GEN_ITEM_ID;1");
    gens.Add(" ID ; GEN_ITEM_ID ;-1;x");
    EXPECT_EQ(gens.GetText(), "ID;GEN_ITEM_ID;1\r\nID;GEN_ITEM_ID;-1\r\n");
    EXPECT_EQ(gens.GetItem(1)->GetIncrement(), -1);
    EXPECT_EQ(gens.GetItem(1)->GetOwner(), &gens);
    EXPECT_RV_ERROR(gens.Add("ID;GEN_ITEM_ID"), rveGeneratorIncomplete);
    EXPECT_RV_ERROR(gens.Add("ID"), rveGeneratorIncomplete);
    EXPECT_THROW(gens.Add("ID;GEN_ITEM_ID;"), EConvertError);
    EXPECT_THROW(gens.Add("ID;GEN_ITEM_ID;one"), EConvertError);
    EXPECT_EQ(gens.GetCount(), 2);
}

} // namespace
