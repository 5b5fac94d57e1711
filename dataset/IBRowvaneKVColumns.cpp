// Column lists, order items, the table-alias list and the SQL text property.
#include "IBRowvaneKVInternal.h"

using Ibrowvanekv::InsertRangeError;
using Ibrowvanekv::NewParser;
using Ibrowvanekv::Refuse;

// ---------------------------------------------------------------------------
// TIBRVColumn

TIBRVColumn::TIBRVColumn(TObject* AOwner) : FOwner(AOwner) {}

AnsiString TIBRVColumn::GetFullColumnName() const {
    if (FTableName.empty()) return FColumnName;
    return FTableName + "." + FColumnName;
}

AnsiString TIBRVColumn::GetTableNameEx() const {
    return ExtractIdentifier(GetSQLDialect(), FTableName);
}

AnsiString TIBRVColumn::GetColumnNameEx() const {
    return ExtractIdentifier(GetSQLDialect(), FColumnName);
}

AnsiString TIBRVColumn::GetFullColumnNameEx() const {
    // The test is made on the normalised qualifier: blanks count as none.
    AnsiString table = GetTableNameEx();
    if (table.empty()) return GetColumnNameEx();
    return table + "." + GetColumnNameEx();
}

int TIBRVColumn::GetSQLDialect() const {
    if (auto* list = dynamic_cast<const TIBRVColumnList*>(FOwner)) return list->GetSQLDialect();
    return 1;
}

// ---------------------------------------------------------------------------
// TIBRVColumnList

TIBRVColumn* TIBRVColumnList::AddItem() {
    return InsertItem(GetCount());
}

TIBRVColumn* TIBRVColumnList::InsertItem(int Index) {
    auto column = std::make_unique<TIBRVColumn>(this);
    FItems.Insert(Index, column.get());
    return column.release();
}

void TIBRVColumnList::Delete(int Index) {
    FItems.Delete(Index);
}

void TIBRVColumnList::Clear() {
    while (GetCount() > 0)
        Delete(0);
}

int TIBRVColumnList::GetSQLDialect() const {
    int dialect = 1;
    if (OnGetSQLDialect) OnGetSQLDialect(dialect);
    return dialect;
}

// ---------------------------------------------------------------------------
// TIBRVKeyColumns

AnsiString TIBRVKeyColumns::GetText() const {
    AnsiString text;
    for (TIBRVColumn* column : FItems) {
        if (!text.empty()) text += ",";
        text += column->GetFullColumnName();
    }
    return text;
}

void TIBRVKeyColumns::SetText(const AnsiString& Text) {
    Clear();
    size_t start = 0;
    AnsiString table;
    for (size_t i = 0;; ++i) {
        bool atEnd = i == Text.size();
        char c = atEnd ? ',' : Text[i];
        if (c == '.') {
            table = Text.substr(start, i - start);
            start = i + 1;
        } else if (c == ',') {
            TIBRVColumn* column = AddItem();
            column->SetColumnName(Text.substr(start, i - start));
            column->SetTableName(table);
            table.clear();
            if (atEnd) break;
            start = i + 1;
        }
    }
}

// ---------------------------------------------------------------------------
// TIBRVOrderColumns

int TIBRVOrderColumns::AddItem(TIBRVColumn* Column) {
    InsertItem(GetCount(), Column);
    return GetCount() - 1;
}

void TIBRVOrderColumns::InsertItem(int Index, TIBRVColumn* Column) {
    if (Index > GetCount()) InsertRangeError(Index);
    FItems.Insert(Index, Column);
}

AnsiString TIBRVOrderColumns::GetOrderBy() const {
    AnsiString text;
    for (TIBRVColumn* column : FItems) {
        if (!text.empty()) text += ", ";
        text += column->GetFullColumnName();
        if (column->GetOrderType() == sitAsc)
            text += " ASC";
        else if (column->GetOrderType() == sitDesc)
            text += " DESC";
    }
    return text;
}

void TIBRVOrderColumns::SetOrderBy(const AnsiString& Text) {
    if (GetCount() > 0) Clear();
    auto parser = NewParser(GetSQLDialect());
    TSQLSelectParserSectionKV* section = parser->GetSectionByType(sitOrderBy);
    section->SetSQLText(Text);

    std::unique_ptr<TIBRVColumn> pending;
    auto appendPending = [&] {
        if (!pending) return;
        AddItem(pending.get());
        pending.release();
    };
    auto newPending = [&] {
        pending = std::make_unique<TIBRVColumn>(this);
        pending->SetOrderType(sitAsc);
    };
    auto word = [section](int Index) {
        const TSQLSelectParserItemKV* item = Index < section->GetCount() ? section->GetItem(Index) : nullptr;
        return item && item->QuoteKind == 0 ? UpperCase(item->Text) : AnsiString();
    };
    for (int i = 0; i < section->GetCount(); ++i) {
        TSQLSelectParserItemKV* item = section->GetItem(i);
        // Read as two columns, NULLS FIRST would reach the engine as such.
        if (word(i) == "NULLS" && (word(i + 1) == "FIRST" || word(i + 1) == "LAST"))
            Refuse(rveInvalidOrderByClause, {},
                   "NULLS " + word(i + 1) +
                       " is not supported: the dataset places NULL where the engine does"
                       " by default (first ascending, last descending); leave it out");
        switch (item->ItemType) {
        case sitAsc:
        case sitDesc:
            if (pending) pending->SetOrderType(item->ItemType);
            break;
        case sitTable:
            appendPending();
            newPending();
            pending->SetTableName(item->GetQuotedText());
            break;
        case sitColumn:
            if (pending && pending->GetColumnName().empty()) {
                pending->SetColumnName(item->GetQuotedText()); // completes a qualified name
            } else {
                appendPending();
                newPending();
                pending->SetColumnName(item->GetQuotedText());
            }
            break;
        case sitDot:
        case sitComma:
            break;
        default:
            throw EIBRVError(rveInvalidOrderByClause);
        }
    }
    // A qualifier without a column name is dropped.
    if (pending && !pending->GetColumnName().empty()) appendPending();
}

void TIBRVOrderColumns::InvertOrderTypes() {
    for (TIBRVColumn* column : FItems)
        column->SetOrderType(column->GetOrderType() == sitAsc ? sitDesc : sitAsc);
}

// ---------------------------------------------------------------------------
// TIBRVOrderItems

AnsiString TIBRVOrderItems::Get(int Index) const {
    TIBRVOrderItemsItem* item = FItems.Get(Index);
    return IntToStr(item->GetId()) + ";" + item->GetOrderBy();
}

void TIBRVOrderItems::Insert(int Index, const AnsiString& S) {
    BeginUpdate();
    TIBRVOrderItemsItem* item = nullptr;
    try {
        item = InsertItem(Index);
        size_t semicolon = S.find(';');
        item->SetId(StrToInt(S.substr(0, semicolon)));
        if (semicolon == AnsiString::npos) throw EIBRVError(rveOrderItemsIncomplete);
        size_t end = S.find(';', semicolon + 1);
        item->SetOrderBy(Trim(S.substr(semicolon + 1, end == AnsiString::npos ? end : end - semicolon - 1)));
    } catch (...) {
        if (item) DeleteItem(item);
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIBRVOrderItems::Delete(int Index) {
    InUpdate([&] { FItems.Delete(Index); });
}

void TIBRVOrderItems::Clear() {
    ClearByDelete();
}

TIBRVOrderItemsItem* TIBRVOrderItems::InsertItem(int Index) {
    if (Index > GetCount()) InsertRangeError(Index);
    auto item = std::make_unique<TIBRVOrderItemsItem>();
    FItems.Insert(Index, item.get());
    return item.release();
}

TIBRVOrderItemsItem* TIBRVOrderItems::GetItemById(int Id) const {
    for (TIBRVOrderItemsItem* item : FItems)
        if (item->GetId() == Id) return item;
    throw EIBRVError(rveInvalidOrderItemId);
}

void TIBRVOrderItems::DeleteItem(TIBRVOrderItemsItem* Item) {
    int index = FItems.IndexOf(Item);
    if (index >= 0) Delete(index);
}

void TIBRVOrderItems::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TIBRVOrderItems::Changing() {
    if (OnChanging) OnChanging(this);
}

void TIBRVOrderItems::Changed() {
    if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
// TIBRVTableAliasList

TIBRVTableAliasList::TIBRVTableAliasList() : FAliases(std::make_unique<TStringList>()) {}

void TIBRVTableAliasList::BuildList(TIBSQL* Query) {
    // At the database's dialect, so that a table or alias written in double
    // quotes (dialect 3) is a name here as it is to the engine.
    int dialect = Query->GetSQLDialect();
    auto parser = NewParser(dialect);
    parser->SetSQLText(Query->GetSQL()->GetText());
    TSQLSelectParserSectionKV* from = parser->GetSectionByType(sitFrom);
    if (FAliases->GetCount() > 0) FAliases->Clear();
    bool skip = false;
    AnsiString table;
    for (int i = 0; i < from->GetCount(); ++i) {
        TSQLSelectParserItemKV* item = from->GetItem(i);
        if (item->ItemType == sitOn) {
            skip = true; // the join condition that follows is not read
        } else if (item->ItemType == sitJoin || item->ItemType == sitComma) {
            skip = false;
        } else if (skip) {
            continue;
        } else if (item->ItemType == sitTable) {
            table = ExtractIdentifier(dialect, item->GetQuotedText());
        } else if (item->ItemType == sitTableAlias && !table.empty()) {
            FAliases->Add(table + "=" + ExtractIdentifier(dialect, item->GetQuotedText()));
            table.clear();
        }
    }
}

AnsiString TIBRVTableAliasList::GetAlias(const AnsiString& Table) const {
    for (int i = 0; i < FAliases->GetCount(); ++i) {
        AnsiString line = FAliases->Get(i);
        size_t eq = line.find('=');
        if (eq != AnsiString::npos && line.compare(0, eq, Table) == 0) return line.substr(eq + 1);
    }
    return AnsiString();
}

// ---------------------------------------------------------------------------
// TIBRVSQLText

AnsiString TIBRVSQLText::Get(int Index) const {
    return FQuery->GetSQL()->Get(Index);
}

int TIBRVSQLText::GetCount() const {
    return FQuery->GetSQL()->GetCount();
}

void TIBRVSQLText::Insert(int Index, const AnsiString& S) {
    InUpdate([&] { FQuery->GetSQL()->Insert(Index, S); });
}

void TIBRVSQLText::Delete(int Index) {
    InUpdate([&] { FQuery->GetSQL()->Delete(Index); });
}

void TIBRVSQLText::Clear() {
    ClearByDelete();
}

void TIBRVSQLText::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TIBRVSQLText::Changing() {
    if (OnChanging) OnChanging(this);
}

void TIBRVSQLText::Changed() {
    if (OnChange) OnChange(this);
}
