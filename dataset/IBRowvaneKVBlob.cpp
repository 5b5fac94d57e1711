// The blob streams: the native streams of the current record, their list,
// and the light streams the dataset hands out over them.
#include "IBRowvaneKVInternal.h"

#include <cstring>

namespace {

bool SameBlobID(const ISC_QUAD& A, const ISC_QUAD& B) {
    return A.gds_quad_high == B.gds_quad_high && A.gds_quad_low == B.gds_quad_low;
}

bool IsWriteState(TDataSetState State) {
    return State == dsEdit || State == dsInsert;
}

// Never reused, so a stream can tell its native stream from a later one.
std::uint64_t NextSerial() {
    static std::uint64_t serial = 0;
    return ++serial;
}

} // namespace

// ---------------------------------------------------------------------------
// TIBRVNativeBlobStream

TIBRVNativeBlobStream::TIBRVNativeBlobStream(TBlobField* Field) : FField(Field), FSerial(NextSerial()) {
    TIBRowvaneKV* dataSet = GetDataSet();
    SetDatabase(dataSet->GetDatabase());
    SetTransaction(dataSet->GetTransaction());
    ISC_QUAD id{};
    if (dataSet->GetFieldData(FField, &id)) {
        SetBlobID(id);
        FStoredBlobID = id;
    }
}

TIBRowvaneKV* TIBRVNativeBlobStream::GetDataSet() const {
    auto* dataSet = dynamic_cast<TIBRowvaneKV*>(FField->GetDataSet());
    if (!dataSet) throw EIBRVError(rveNoRowvaneField, {FField->GetFieldName()});
    return dataSet;
}

bool TIBRVNativeBlobStream::IsBlobOfRecord() const {
    ISC_QUAD id{};
    GetDataSet()->GetFieldData(FField, &id); // null: no blob, the zero id
    return SameBlobID(id, GetBlobID());
}

int TIBRVNativeBlobStream::Write(const void* Buffer, int Count) {
    int written = TIBBlobStream::Write(Buffer, Count);
    FModified = true;
    return written;
}

void TIBRVNativeBlobStream::SetSize(Int64 NewSize) {
    // GetSize loads the blob first, so the comparison is with its real size.
    if (!FSizeGuard && NewSize != TIBBlobStream::GetSize()) FModified = true;
    TIBBlobStream::SetSize(NewSize);
}

void TIBRVNativeBlobStream::Apply() {
    Finalize();
    ISC_QUAD id = GetBlobID();
    GetDataSet()->SetFieldData(FField, &id);
}

void TIBRVNativeBlobStream::CancelChanges() {
    bool baseModified = TIBBlobStream::GetModified();
    Cancel();
    if (!SameBlobID(GetBlobID(), FStoredBlobID)) {
        // Apply wrote a new blob (a post that then failed): the row still
        // holds the stored one, so the stream goes back to it.
        SetBlobID(FStoredBlobID);
    } else if (FModified && !baseModified) {
        OpenBlob();
    }
    FModified = false;
}

// ---------------------------------------------------------------------------
// TIBRVNativeBlobStreamList

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

void TIBRVNativeBlobStreamList::ApplyChanges() {
    for (TIBRVNativeBlobStream* stream : FItems)
        if (stream->GetModified()) stream->Apply();
}

void TIBRVNativeBlobStreamList::CancelChanges() {
    for (TIBRVNativeBlobStream* stream : FItems)
        stream->CancelChanges();
}

// ---------------------------------------------------------------------------
// TIBRVBlobStream

TIBRVBlobStream::TIBRVBlobStream(TBlobField* Field, TBlobStreamMode Mode) : FMode(Mode), FField(Field) {
    TIBRowvaneKV* dataSet = GetDataSet();
    TIBRVNativeBlobStreamList* list = dataSet->FBlobStreams.get();
    if (!list) throw EIBRVError(rveInvalidBlobStreamHandle);
    TIBRVNativeBlobStream* native = list->GetItemByField(FField);
    if (native && !native->GetModified() && !native->IsBlobOfRecord()) {
        // The record was read again (a refresh) or is another row: the
        // contents held are not its own.
        list->DeleteStream(FField);
        native = nullptr;
    }
    bool made = !native;
    if (made) native = list->CreateStream(FField);
    FSerial = native->GetSerial();
    try {
        if (FMode != bmRead) {
            if (FField->GetModified()) {
                if (!FField->CanModify()) throw EIBRVError(rveFieldCannotModify, {FField->GetFieldName()});
            } else if (!IsWriteState(dataSet->GetState())) {
                throw EIBRVError(rveNoWriteMode);
            }
        }
        Seek(0, soBeginning); // loads the stored contents
        if (FMode == bmWrite) Truncate();
    } catch (...) {
        if (made) list->DeleteStream(FField);
        throw;
    }
}

TIBRVBlobStream::~TIBRVBlobStream() {
    if (!FModified) return;
    try {
        // A closed dataset has no record left to tell about.
        TIBRowvaneKV* dataSet = GetDataSet();
        if (dataSet->GetActive()) dataSet->CheckSetFieldChange(FField);
    } catch (...) {
        // A destructor cannot report it; the field keeps its contents.
    }
}

TIBRowvaneKV* TIBRVBlobStream::GetDataSet() const {
    auto* dataSet = dynamic_cast<TIBRowvaneKV*>(FField->GetDataSet());
    if (!dataSet) throw EIBRVError(rveNoRowvaneField, {FField->GetFieldName()});
    return dataSet;
}

TIBRVNativeBlobStream* TIBRVBlobStream::GetStream() const {
    TIBRVNativeBlobStreamList* list = GetDataSet()->FBlobStreams.get();
    TIBRVNativeBlobStream* native = list ? list->GetItemByField(FField) : nullptr;
    if (!native || native->GetSerial() != FSerial) throw EIBRVError(rveInvalidBlobStreamHandle);
    return native;
}

void TIBRVBlobStream::CheckWritable() const {
    if (FMode == bmRead || !IsWriteState(GetDataSet()->GetState())) throw EIBRVError(rveNoWriteMode);
}

void TIBRVBlobStream::MarkModified() {
    FModified = true;
    GetDataSet()->SetModified(true);
    FField->SetModified(true);
}

int TIBRVBlobStream::Read(void* Buffer, int Count) {
    return GetStream()->Read(Buffer, Count);
}

int TIBRVBlobStream::Write(const void* Buffer, int Count) {
    CheckWritable();
    int written = GetStream()->Write(Buffer, Count);
    MarkModified();
    return written;
}

Int64 TIBRVBlobStream::Seek(Int64 Offset, TSeekOrigin Origin) {
    return GetStream()->Seek(Offset, Origin);
}

void TIBRVBlobStream::SetSize(Int64 NewSize) {
    CheckWritable();
    TIBRVNativeBlobStream* native = GetStream();
    native->SetSizeGuard(false);
    try {
        native->SetSize(NewSize);
    } catch (...) {
        native->SetSizeGuard(true);
        throw;
    }
    native->SetSizeGuard(true);
    if (native->GetModified() && !FModified) MarkModified();
}
