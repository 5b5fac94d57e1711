// The GeneratorFields list and the fetching of generator values.
#include "IBRowvaneKVInternal.h"

#include <cassert>
#include <limits>

using Ibrowvanekv::InsertRangeError;

TIBRVGeneratorFields::~TIBRVGeneratorFields() {
    FPreparedItem = nullptr;
    FItems.Clear();
    FQuery.reset();
}

AnsiString TIBRVGeneratorFields::Get(int Index) const {
    TIBRVGeneratorFieldsItem* item = FItems.Get(Index);
    return item->GetFieldName() + ";" + item->GetGeneratorName() + ";" + IntToStr(item->GetIncrement());
}

void TIBRVGeneratorFields::Insert(int Index, const AnsiString& S) {
    BeginUpdate();
    TIBRVGeneratorFieldsItem* item = nullptr;
    try {
        item = InsertItem(Index);
        // Three fields, each up to the next ";" or the end; text after a third ";" is ignored.
        size_t start = 0;
        auto next = [&](bool& complete) {
            size_t end = S.find(';', start);
            AnsiString field = S.substr(start, end == AnsiString::npos ? AnsiString::npos : end - start);
            complete = end != AnsiString::npos;
            start = complete ? end + 1 : S.size();
            return field;
        };
        bool complete = false;
        item->SetFieldName(Trim(next(complete)));
        if (!complete) throw EIBRVError(rveGeneratorIncomplete);
        item->SetGeneratorName(Trim(next(complete)));
        if (!complete) throw EIBRVError(rveGeneratorIncomplete);
        item->SetIncrement(StrToInt(next(complete)));
    } catch (...) {
        if (item) DeleteItem(item);
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIBRVGeneratorFields::Delete(int Index) {
    Unprepare();
    InUpdate([&] { FItems.Delete(Index); });
}

void TIBRVGeneratorFields::Clear() {
    ClearByDelete();
}

TIBRVGeneratorFieldsItem* TIBRVGeneratorFields::InsertItem(int Index) {
    Unprepare();
    if (Index > GetCount()) InsertRangeError(Index);
    auto item = std::make_unique<TIBRVGeneratorFieldsItem>();
    item->FOwner = this;
    FItems.Insert(Index, item.get());
    return item.release();
}

void TIBRVGeneratorFields::DeleteItem(TIBRVGeneratorFieldsItem* Item) {
    int index = FItems.IndexOf(Item);
    if (index >= 0) Delete(index);
}

void TIBRVGeneratorFields::Unprepare() {
    if (FQuery) {
        FQuery->Close();
        if (FQuery->GetPrepared()) FQuery->FreeHandle();
    }
    FPreparedItem = nullptr;
}

void TIBRVGeneratorFields::InternalPrepare(TIBRVGeneratorFieldsItem* Item) {
    if (Item == FPreparedItem) return;
    assert(FDataSet);
    if (!FQuery) {
        FQuery = std::make_unique<TIBSQL>(nullptr);
    } else {
        FQuery->Close();
        if (FQuery->GetPrepared()) FQuery->FreeHandle();
    }
    // Until the prepare succeeds the statement is no item's: a failed one
    // must not leave an earlier item running this item's text.
    FPreparedItem = nullptr;
    FQuery->SetDatabase(FDataSet->GetDatabase());
    FQuery->SetTransaction(FDataSet->GetTransaction());
    FQuery->GetSQL()->SetText("SELECT GEN_ID(" +
                              QuoteIdentifier(FDataSet->GetSQLDialect(), Item->GetGeneratorName()) + ", " +
                              IntToStr(Item->GetIncrement()) + ") FROM RDB$DATABASE");
    FQuery->Prepare();
    FPreparedItem = Item;
}

void TIBRVGeneratorFieldsItem::Apply() {
    assert(FOwner && FOwner->GetDataSet());
    FOwner->InternalPrepare(this);
    TField* field = FOwner->GetDataSet()->FieldByName(FFieldName);
    if (!field) throw EIBRVError(rveFieldNotFound, {FFieldName});
    TIBSQL* query = FOwner->GetQuery();
    if (query->GetOpen()) query->Close();
    query->ExecQuery();
    Int64 value;
    try {
        value = query->GetFields(0)->GetAsInt64();
    } catch (...) {
        query->Close();
        throw;
    }
    query->Close(); // stays prepared for the next row
    if (auto* large = dynamic_cast<TLargeintField*>(field)) {
        large->SetAsLargeint(value);
    } else if (value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max()) {
        field->SetAsInteger(static_cast<int>(value));
    } else {
        // Whole: a field that cannot hold it raises the framework's range error.
        field->SetAsLargeint(value);
    }
}
