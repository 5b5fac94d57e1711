// What the bookmark, key-search and editing tests share: the demonstration
// program's dataset over ITEM with a grid's link of 20 rows that records what
// it is told, and another user with an attachment and a transaction of its own.
#pragma once

#include "RowvaneFixture.h"

#include <gmock/gmock.h>

#include <algorithm>

#include <string>
#include <vector>

// A grid's link that also records the events it received ("change",
// "record", "scroll", "layout", "editing") in order.
class TRecordingLink : public TGridLink {
public:
    using TGridLink::TGridLink;

    int Active() const { return GetActiveRecord(); }

    std::vector<std::string> Events;

protected:
    void DataSetChanged() override { Events.push_back("change"); }
    void DataSetScrolled(int) override { Events.push_back("scroll"); }
    void LayoutChanged() override { Events.push_back("layout"); }
    void RecordChanged(TField* Field) override {
        if (!Field) Events.push_back("record");
    }
    void EditingChanged() override { Events.push_back("editing"); }
};

class EditingTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        // As the demonstration program's transaction.
        Tr->GetParams()->SetText("read_committed\r\nrec_version\r\nnowait");
        Source = std::make_unique<TDataSource>(nullptr);
    }
    void TearDown() override {
        Source->SetDataSet(nullptr);
        Grid.reset();
        Source.reset();
        Other.reset();
        RowvaneTest::TearDown();
    }

    // The demonstration program's dataset over ITEM with a grid on it; opened.
    void OpenItems(int OrderItemId = 1) {
        Use("SELECT * FROM ITEM");
        DS->SetKeyColumns("ID");
        DS->GetOrderItems()->SetText("1;ID\r\n2;DESCRIPTION\r\n3;QUANTITY, ID\r\n4;PRICE\r\n5;QUANTITY");
        DS->SetOrderItemId(OrderItemId);
        Source->SetDataSet(DS.get());
        Grid = std::make_unique<TRecordingLink>();
        Grid->SetDataSource(Source.get());
        DS->Open();
    }
    // Replaces the sample rows by Count rows: DESCRIPTION unique and
    // scattered ("D" and five digits), QUANTITY 0..9 repeating, PRICE = ID.
    void FillItems(int Count) {
        ExecSQL("DELETE FROM ITEM");
        ExecSQL("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " + IntToStr(Count) +
                ") DO BEGIN INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (:I,"
                " 'D' || LPAD(CAST(MOD(:I * 7919, 3001) AS VARCHAR(5)), 5, '0'), MOD(:I, 10), :I);"
                " I = I + 1; END END");
        Commit();
    }
    // The IDs in an order, as the engine gives them in the dataset's transaction.
    std::vector<int> EngineOrder(const AnsiString& OrderBy) {
        return EngineColumn("SELECT ID FROM ITEM ORDER BY " + OrderBy);
    }
    // The window a grid of Rows rows shows with row Id on its line Line (or
    // as near to it as the ends allow).
    static std::vector<int> WindowAround(const std::vector<int>& Order, int Id, int Line, int Rows = 20) {
        auto at = std::find(Order.begin(), Order.end(), Id);
        int pos = static_cast<int>(at - Order.begin());
        int n = static_cast<int>(Order.size());
        int top = std::max(0, std::min(pos - Line, n - Rows));
        return std::vector<int>(Order.begin() + top, Order.begin() + std::min(n, top + Rows));
    }
    // A value of ITEM as the other user reads it now (committed data).
    AnsiString Stored(const AnsiString& Column, int Id) {
        if (!Other) Other = std::make_unique<TOtherUser>(*TestDb);
        return Other->Value("SELECT " + Column + " FROM ITEM WHERE ID = " + IntToStr(Id));
    }
    TOtherUser& OtherUser() {
        if (!Other) Other = std::make_unique<TOtherUser>(*TestDb);
        return *Other;
    }
    // The statement's text, lines joined by CR LF.
    static AnsiString TextOf(TIBSQL* Query) {
        AnsiString text = Query->GetSQL()->GetText();
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
        return text;
    }
    int Id() { return DS->FieldByName("ID")->GetAsInteger(); }

    std::unique_ptr<TDataSource> Source;
    std::unique_ptr<TRecordingLink> Grid;
    std::unique_ptr<TOtherUser> Other;
};
