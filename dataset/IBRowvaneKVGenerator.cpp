// The GeneratorFields list.
#include "IBRowvaneKVInternal.h"

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
    BeginUpdate();
    try {
        FItems.Delete(Index);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIBRVGeneratorFields::Clear() {
    if (GetCount() == 0) return;
    BeginUpdate();
    try {
        while (GetCount() > 0)
            Delete(0);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
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
