// The statements derived from SelectSQL: the WHERE clause as a property, the
// ORDER BY of the cursors, the keyset condition that starts a cursor at the
// position, and the statement that re-reads one row by key. Each operation
// works on a parser of its own.
#include "IBRowvaneKVInternal.h"

#include <algorithm>
#include <vector>

using Ibrowvanekv::LocateParamName;
using Ibrowvanekv::NewParser;

// ---------------------------------------------------------------------------
// WhereClause

AnsiString TIBRowvaneKV::GetWhereClause() const {
    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(FQrySelect->GetSQL()->GetText());
    return parser->GetSectionByType(sitWhere)->GetSQLText();
}

void TIBRowvaneKV::SetWhereClause(const AnsiString& Value) {
    auto parser = NewParser(GetSQLDialect());
    AnsiString oldText = FQrySelect->GetSQL()->GetText();
    parser->SetSQLText(oldText);
    TSQLSelectParserSectionKV* where = parser->GetSectionByType(sitWhere);
    if (where->GetSQLText() == Value) return;
    bool wasPrepared = GetInternalPrepared();
    InternalPrepareSelectQueryFwd(0, -1);
    InternalPrepareSelectQueryBwd(0);
    InternalUnprepareQuery(FQryRefresh);
    InternalUnprepareQuery(FQrySelect);
    where->SetSQLText(Value);
    // Straight into the statement: the SelectSQL events stay quiet, so this
    // is allowed while open and keeps the order lists.
    FQrySelect->GetSQL()->SetText(parser->GetSQLText());
    if (!wasPrepared) return;
    try {
        InternalPrepare(!FCursorIsOpen);
    } catch (...) {
        // A condition the server refuses is not kept: the select goes back
        // to its old text and stays usable.
        FQrySelect->GetSQL()->SetText(oldText);
        try {
            InternalPrepare(!FCursorIsOpen);
        } catch (...) {
            // The refusal of the new condition is the error reported.
        }
        throw;
    }
}

// ---------------------------------------------------------------------------
// Cursor statements

void TIBRowvaneKV::ModifySelectQueryOrderBy(AnsiString& Text, bool Ascending) {
    if (FOrderItemId < 0) Ascending = !Ascending;
    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(Text);
    TIBRVOrderColumns* order = Ascending ? FOrderColumnsFwd.get() : FOrderColumnsBwd.get();
    parser->GetSectionByType(sitOrderBy)->SetSQLText(order->GetOrderBy());
    Text = parser->GetSQLText();
}

std::vector<bool> TIBRowvaneKV::OrderColumnsNullable(TIBRVOrderColumns& Order, int Count) {
    // Nullable: a select column that the descriptors do not mark NOT NULL.
    // Without an open dataset (no model) or for a column outside the select
    // list the comparison stays plain; binding the position fails there anyway.
    std::vector<bool> nullable(static_cast<size_t>(std::max(Count, 0)), false);
    if (!FModelBuffer) return nullable;
    for (int i = 0; i < Count; ++i) {
        TIBRVColumn* column = Order.GetItem(i);
        PFieldHdr hdr =
            GetFieldHeader(FModelBuffer.get(), column->GetTableNameEx(), column->GetColumnNameEx());
        nullable[static_cast<size_t>(i)] = hdr && !hdr.GetRequired();
    }
    return nullable;
}

// The condition reads, for order columns c1..cn and position values p1..pn,
//   (c1 = p1 AND .. AND cn >= pn) OR (c1 = p1 AND .. c(n-1) > p(n-1)) OR .. OR (c1 > p1)
// with "<=" and "<" for a descending column. The engine sorts NULL before
// every value in ascending and after every value in descending order, so a
// column that may hold NULL compares through terms that place NULL there:
//   equal         (c = p OR (c IS NULL AND p IS NULL))
//   ascending     (c >= p OR p IS NULL)        (c > p OR (c IS NOT NULL AND p IS NULL))
//   descending    (c <= p OR c IS NULL)        (c < p OR (c IS NULL AND p IS NOT NULL))
// A column declared NOT NULL keeps the plain comparison.
void TIBRowvaneKV::ModifySelectQueryWhereForLocate(AnsiString& Text, bool Ascending, int Count) {
    if (FOrderItemId < 0) Ascending = !Ascending;
    TIBRVOrderColumns* order = Ascending ? FOrderColumnsFwd.get() : FOrderColumnsBwd.get();
    int n = order->GetCount();
    if (Count != -1) {
        if (Count > n) throw EIBRVError(rveInvalidSortColCount);
        n = Count;
    }
    if (n <= 0) return; // no condition at all, not an empty pair of parentheses

    std::vector<bool> nullable = OrderColumnsNullable(*order, n);

    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(Text);
    TSQLSelectParserSectionKV* where = parser->GetSectionByType(sitWhere);
    if (where->GetCount() > 0) {
        where->InsertItem(0, "(", sitOpenParen);
        where->AddItem(")", sitCloseParen);
        where->InsertItem(0, "AND", sitAnd);
    }
    int at = 0;
    auto put = [&](const AnsiString& Item, TSQLItemType Type) { where->InsertItem(at++, Item, Type); };
    auto isNull = [&](const AnsiString& Item, bool Not) {
        put(Item, Item[0] == ':' ? sitParameter : sitColumn);
        put("IS", sitIs);
        if (Not) put("NOT", sitNot);
        put("NULL", sitNull);
    };
    put("(", sitOpenParen);
    for (int g = 0; g < n; ++g) {
        int last = n - g; // the group compares the first n - g columns
        if (n > 1) put("(", sitOpenParen);
        for (int i = 1; i <= last; ++i) {
            TIBRVColumn* column = order->GetItem(i - 1);
            AnsiString name = column->GetFullColumnName();
            AnsiString param = ":" + LocateParamName(i);
            bool ascending = column->GetOrderType() == sitAsc;
            AnsiString op = i < last ? "=" : ascending ? (g == 0 ? ">=" : ">") : (g == 0 ? "<=" : "<");
            if (!nullable[static_cast<size_t>(i - 1)]) {
                put(name, sitColumn);
                put(op, sitComparison);
                put(param, sitParameter);
            } else {
                put("(", sitOpenParen);
                put(name, sitColumn);
                put(op, sitComparison);
                put(param, sitParameter);
                put("OR", sitOr);
                if (i < last) { // equal, NULL equal to NULL
                    put("(", sitOpenParen);
                    isNull(name, false);
                    put("AND", sitAnd);
                    isNull(param, false);
                    put(")", sitCloseParen);
                } else if (ascending && g == 0) { // every row is at or after NULL
                    isNull(param, false);
                } else if (ascending) { // every value is after NULL
                    put("(", sitOpenParen);
                    isNull(name, true);
                    put("AND", sitAnd);
                    isNull(param, false);
                    put(")", sitCloseParen);
                } else if (g == 0) { // NULL is at or after every value
                    isNull(name, false);
                } else { // NULL is after every value but itself
                    put("(", sitOpenParen);
                    isNull(name, false);
                    put("AND", sitAnd);
                    isNull(param, true);
                    put(")", sitCloseParen);
                }
                put(")", sitCloseParen);
            }
            if (i < last) put("AND", sitAnd);
        }
        if (n > 1) put(")", sitCloseParen);
        if (g < n - 1) put("OR", sitOr);
    }
    put(")", sitCloseParen);
    Text = parser->GetSQLText();
}

// ---------------------------------------------------------------------------
// The texts of the cursor and refresh statements, built once for their inputs

AnsiString TIBRowvaneKV::SelectTextInputs() {
    // Everything the builders read: the text, the dialect, the direction of
    // the order item, the order lists as written (with any columns appended)
    // and which of the order columns may be NULL.
    AnsiString inputs = FSelectSQL->GetText();
    inputs += '\0' + IntToStr(GetSQLDialect()) + (FOrderItemId < 0 ? "-" : "+");
    inputs += '\0' + FOrderColumnsFwd->GetOrderBy() + '\0' + FOrderColumnsBwd->GetOrderBy() + '\0';
    for (bool nullable : OrderColumnsNullable(*FOrderColumnsFwd, FOrderColumnsFwd->GetCount()))
        inputs += nullable ? '1' : '0';
    return inputs;
}

AnsiString TIBRowvaneKV::CursorSelectText(int Mode, int Count) {
    AnsiString inputs = SelectTextInputs();
    if (inputs != FSelectTextInputs) {
        FSelectTexts.clear();
        FSelectTextInputs = inputs;
    }
    std::pair<int, int> key{Mode, Mode == 2 ? Count : -1};
    auto known = FSelectTexts.find(key);
    if (known != FSelectTexts.end()) return known->second;
    AnsiString text = FSelectSQL->GetText();
    bool ascending = Mode <= 2;
    ModifySelectQueryOrderBy(text, ascending);
    if (Mode == 2) ModifySelectQueryWhereForLocate(text, true, Count);
    if (Mode == 4) ModifySelectQueryWhereForLocate(text, false, -1);
    FSelectTexts.emplace(key, text);
    return text;
}

// ---------------------------------------------------------------------------
// Refresh statement

void TIBRowvaneKV::InternalPrepareRefreshQuery() {
    if (FQryRefresh->GetPrepared()) return;
    if (FQryRefresh->GetOpen()) FQryRefresh->Close();
    // Without a key it would re-read some row, not the one asked for.
    if (FKeyColumns->GetCount() == 0) throw EIBRVError(rveKeyColumnsMissing);
    int dialect = GetSQLDialect();
    AnsiString inputs =
        FQrySelect->GetSQL()->GetText() + '\0' + IntToStr(dialect) + '\0' + FKeyColumns->GetText();
    if (inputs == FRefreshTextInputs) {
        FQryRefresh->GetSQL()->SetText(FRefreshText);
        FQryRefresh->Prepare();
        return;
    }
    auto source = NewParser(dialect);
    source->SetSQLText(FQrySelect->GetSQL()->GetText());
    auto target = NewParser(dialect);
    target->GetSectionByType(sitSelect)->SetSQLText(source->GetSectionByType(sitSelect)->GetSQLText());
    target->GetSectionByType(sitFrom)->SetSQLText(source->GetSectionByType(sitFrom)->GetSQLText());
    TSQLSelectParserSectionKV* where = target->GetSectionByType(sitWhere);
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        if (i > 0) where->AddItem("AND", sitAnd);
        where->AddItem(FKeyColumns->GetItem(i)->GetFullColumnName(), sitColumn);
        where->AddItem("=", sitComparison);
        where->AddItem(":" + LocateParamName(i + 1), sitParameter);
    }
    TSQLSelectParserSectionKV* condition = source->GetSectionByType(sitWhere);
    if (condition->GetCount() > 0) {
        where->InsertItem(0, "(", sitOpenParen);
        where->AddItem(")", sitCloseParen);
        where->AddItem("AND", sitAnd);
        where->AddItem("(", sitOpenParen);
        where->SetSQLText(where->GetSQLText() + condition->GetSQLText());
        where->AddItem(")", sitCloseParen);
    }
    AnsiString text = target->GetSQLText();
    FQryRefresh->GetSQL()->SetText(text);
    FQryRefresh->Prepare();
    FRefreshTextInputs = inputs;
    FRefreshText = text;
}
