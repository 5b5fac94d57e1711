// Key and order column lists: their text forms, the parsing of ORDER BY
// lists and its errors, the dialect rules and the inversion of an order.
#include "RowvaneFixture.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace {

struct TCol {
    std::string Table, Column;
    int Order;
    bool operator==(const TCol&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TCol& c) {
    return os << "(" << c.Table << "|" << c.Column << "|" << c.Order << ")";
}

std::vector<TCol> Columns(const TIBRVColumnList& List) {
    std::vector<TCol> out;
    for (int i = 0; i < List.GetCount(); ++i) {
        TIBRVColumn* c = List.GetItem(i);
        out.push_back({c->GetTableName(), c->GetColumnName(), c->GetOrderType()});
    }
    return out;
}

template <class L> std::unique_ptr<L> AtDialect(int Dialect) {
    auto list = std::make_unique<L>();
    list->OnGetSQLDialect = [Dialect](int& D) { D = Dialect; };
    return list;
}

TEST(KeyColumns, SetTextSplitsAsWrittenAndGetTextJoins) {
    struct Case {
        const char* Text;
        std::vector<TCol> Expected;
        const char* Back;
    } cases[] = {
        {"", {{"", "", sitOther}}, ""},
        {"A,,B", {{"", "A", sitOther}, {"", "", sitOther}, {"", "B", sitOther}}, "A,,B"},
        {"S.T.C", {{"T", "C", sitOther}}, "T.C"}, // the last qualifier wins
        {" ID , X", {{"", " ID ", sitOther}, {"", " X", sitOther}}, " ID , X"},
        {"ITEM.ID,DESCRIPTION",
         {{"ITEM", "ID", sitOther}, {"", "DESCRIPTION", sitOther}},
         "ITEM.ID,DESCRIPTION"},
        {",B", {{"", "", sitOther}, {"", "B", sitOther}}, "B"}, // an empty first entry leaves no comma
        {"\"a.b\",c",
         {{"\"a", "b\"", sitOther}, {"", "c", sitOther}},
         "\"a.b\",c"}, // quotes are not regarded
    };
    TIBRVKeyColumns keys;
    for (const auto& c : cases) {
        keys.SetText(c.Text);
        EXPECT_EQ(Columns(keys), c.Expected) << c.Text;
        EXPECT_EQ(keys.GetText(), c.Back) << c.Text;
    }
}

TEST(OrderColumns, SetOrderByParsesColumnsAndDirections) {
    struct Case {
        const char* Text;
        std::vector<TCol> Expected;
        const char* Back;
    } cases[] = {
        {"DESCRIPTION DESC, ID",
         {{"", "DESCRIPTION", sitDesc}, {"", "ID", sitAsc}},
         "DESCRIPTION DESC, ID ASC"},
        {"ORDER BY I.QUANTITY", {{"I", "QUANTITY", sitAsc}}, "I.QUANTITY ASC"},
        {"A B", {{"", "A", sitAsc}, {"", "B", sitAsc}}, "A ASC, B ASC"}, // commas are not required
        {"a descending , T.b ascending", {{"", "a", sitDesc}, {"T", "b", sitAsc}}, "a DESC, T.b ASC"},
        {"", {}, ""},
        {"T.", {}, ""}, // a qualifier without column is dropped
    };
    TIBRVOrderColumns order;
    for (const auto& c : cases) {
        order.SetOrderBy(c.Text);
        EXPECT_EQ(Columns(order), c.Expected) << c.Text;
        EXPECT_EQ(order.GetOrderBy(), c.Back) << c.Text;
    }
}

TEST(OrderColumns, WhatIsNotAColumnListRaisesCode27AndKeepsTheColumnsBeforeIt) {
    TIBRVOrderColumns order;
    for (const char* text : {"1", "UPPER(NAME)", "NAME COLLATE DE_DE", "A, B, 'x'"}) {
        EXPECT_RV_ERROR(order.SetOrderBy(text), rveInvalidOrderByClause);
    }
    EXPECT_EQ(Columns(order), (std::vector<TCol>{{"", "A", sitAsc}}));
    // Dialect 1 reads a double-quoted name as a string, dialect 3 as a name that keeps its quotes.
    auto d1 = AtDialect<TIBRVOrderColumns>(1);
    EXPECT_RV_ERROR(d1->SetOrderBy("\"Name\""), rveInvalidOrderByClause);
    auto d3 = AtDialect<TIBRVOrderColumns>(3);
    d3->SetOrderBy("\"Name\" DESC");
    EXPECT_EQ(Columns(*d3), (std::vector<TCol>{{"", "\"Name\"", sitDesc}}));
}

TEST(OrderColumns, InsertingPastTheEndRaisesERangeErrorAndLeavesTheColumnWithTheCaller) {
    TIBRVOrderColumns order;
    auto column = std::make_unique<TIBRVColumn>(&order);
    try {
        order.InsertItem(1, column.get());
        ADD_FAILURE();
    } catch (const ERangeError& e) {
        EXPECT_THAT(e.Message(), testing::HasSubstr("1"));
    }
    EXPECT_THROW(order.InsertItem(-1, column.get()), EListError);
    EXPECT_EQ(order.GetCount(), 0);
    EXPECT_EQ(order.AddItem(column.release()), 0);
    EXPECT_THROW(order.GetItem(1), EListError);
    EXPECT_THROW(order.Delete(1), EListError);
    EXPECT_EQ(order.GetCount(), 1);
}

TEST(OrderColumns, InvertingExchangesTheDirections) {
    TIBRVOrderColumns order;
    order.SetOrderBy("A DESC, B, C ASC");
    order.AddItem()->SetColumnName("D"); // no direction of its own
    order.InvertOrderTypes();
    EXPECT_EQ(order.GetOrderBy(), "A ASC, B DESC, C DESC, D ASC");
}

TEST(Columns, NormalisedNamesFollowTheListsDialectAskedAtEveryCall) {
    int dialect = 1;
    TIBRVKeyColumns keys;
    keys.OnGetSQLDialect = [&dialect](int& D) { D = dialect; };
    keys.SetText("item.id,\"Item\".\"Mixed\"\"Case\", . x");
    TIBRVColumn* plain = keys.GetItem(0);
    TIBRVColumn* quoted = keys.GetItem(1);
    TIBRVColumn* blank = keys.GetItem(2);
    EXPECT_EQ(plain->GetFullColumnNameEx(), "ITEM.ID");
    EXPECT_EQ(quoted->GetFullColumnNameEx(), "\"ITEM\".\"MIXED\"\"CASE\"");
    // A qualifier of blanks counts as none in the normalised form only.
    EXPECT_EQ(blank->GetFullColumnName(), " . x");
    EXPECT_EQ(blank->GetFullColumnNameEx(), "X");
    dialect = 3;
    EXPECT_EQ(plain->GetFullColumnNameEx(), "ITEM.ID");
    EXPECT_EQ(quoted->GetTableNameEx(), "Item");
    EXPECT_EQ(quoted->GetColumnNameEx(), "Mixed\"Case");
    // Without a dialect handler, and without an owning list, the dialect is 1.
    TIBRVOrderColumns order;
    EXPECT_EQ(order.AddItem()->GetSQLDialect(), 1);
    TIBRVColumn loose(nullptr);
    loose.SetColumnName("\"x\"");
    EXPECT_EQ(loose.GetSQLDialect(), 1);
    EXPECT_EQ(loose.GetColumnNameEx(), "\"X\"");
}

} // namespace
