// The native blob streams of the current record.
#include "IBRowvaneKVInternal.h"

TIBRVNativeBlobStream::TIBRVNativeBlobStream(TBlobField* Field) : FField(Field) {
    TIBRowvaneKV* dataSet = GetDataSet();
    SetDatabase(dataSet->GetDatabase());
    SetTransaction(dataSet->GetTransaction());
    ISC_QUAD id;
    if (dataSet->GetFieldData(FField, &id)) SetBlobID(id);
}

TIBRowvaneKV* TIBRVNativeBlobStream::GetDataSet() const {
    auto* dataSet = dynamic_cast<TIBRowvaneKV*>(FField->GetDataSet());
    if (!dataSet) throw EIBRVError(rveNoRowvaneField, {FField->GetFieldName()});
    return dataSet;
}

TIBRVNativeBlobStream* TIBRVNativeBlobStreamList::CreateStream(TBlobField* Field) {
    if (TIBRVNativeBlobStream* existing = GetItemByField(Field)) return existing;
    auto stream = std::make_unique<TIBRVNativeBlobStream>(Field);
    stream->SetMode(bmReadWrite);
    FItems.Add(stream.get());
    return stream.release();
}

void TIBRVNativeBlobStreamList::DeleteStream(int Index) {
    FItems.Delete(Index);
}

void TIBRVNativeBlobStreamList::DeleteStream(TBlobField* Field) {
    int index = FItems.IndexOf(GetItemByField(Field));
    if (index >= 0) DeleteStream(index);
}

void TIBRVNativeBlobStreamList::Clear() {
    while (GetCount() > 0)
        DeleteStream(0);
}

TIBRVNativeBlobStream* TIBRVNativeBlobStreamList::GetItemByField(const TBlobField* Field) const {
    for (TIBRVNativeBlobStream* stream : FItems)
        if (stream->GetField() == Field) return stream;
    return nullptr;
}
