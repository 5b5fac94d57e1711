#include "IBBlob.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned short MaxSegment = 65535;

bool IsZero(const ISC_QUAD& Id) {
    return Id.gds_quad_high == 0 && Id.gds_quad_low == 0;
}

// Closes an open blob handle on every path.
class TBlobHandle {
public:
    isc_blob_handle Handle = 0;
    TBlobHandle() = default;
    TBlobHandle(const TBlobHandle&) = delete;
    TBlobHandle& operator=(const TBlobHandle&) = delete;
    ~TBlobHandle() {
        if (Handle) {
            ISC_STATUS_ARRAY status = {};
            GetGDSLibrary().isc_cancel_blob(status, &Handle);
        }
    }
    void Close() {
        ISC_STATUS_ARRAY status = {};
        IBCheck(GetGDSLibrary().isc_close_blob(status, &Handle), status);
        Handle = 0;
    }
};

} // namespace

TIBBlobStream::TIBBlobStream() {
    CheckIBLoaded();
    FBase = std::make_unique<TIBBase>(this);
}

TIBBlobStream::~TIBBlobStream() = default;

void TIBBlobStream::SetBlobID(const ISC_QUAD& Value) {
    FBlobID = Value;
    FBlobInitialized = false;
    FModified = false;
}

void TIBBlobStream::SetBlobID(const void* Id8) {
    ISC_QUAD id;
    std::memcpy(&id, Id8, sizeof id);
    SetBlobID(id);
}

void TIBBlobStream::SetMode(TBlobStreamMode Value) {
    FMode = Value;
    FBlobInitialized = false;
}

void TIBBlobStream::CheckReadable() const {
    if (FMode == bmWrite)
        IBError(TIBClientError::BlobCannotBeRead, "The blob stream is open for writing only");
}

void TIBBlobStream::CheckWritable() const {
    if (FMode == bmRead)
        IBError(TIBClientError::BlobCannotBeWritten, "The blob stream is open for reading only");
}

void TIBBlobStream::EnsureBlobInitialized() {
    if (FBlobInitialized) return;
    if (FMode == bmWrite || (FMode == bmReadWrite && IsZero(FBlobID)))
        CreateBlob();
    else
        OpenBlob();
}

void TIBBlobStream::CreateBlob() {
    CheckWritable();
    std::memset(&FBlobID, 0, sizeof FBlobID);
    FBuffer.clear();
    FPosition = 0;
    FBlobNumSegments = FBlobMaxSegmentSize = FBlobType = 0;
    FBlobInitialized = true;
    // A write-only stream always makes a new blob, an empty one too.
    FModified = FMode == bmWrite;
}

void TIBBlobStream::OpenBlob() {
    CheckReadable();
    std::vector<char> data;
    int segments = 0, maxSegment = 0, type = 0;
    if (!IsZero(FBlobID)) {
        TIBClientLibrary& lib = GetGDSLibrary();
        ISC_STATUS_ARRAY status = {};
        isc_db_handle* db = FBase->GetDBHandle();
        isc_tr_handle* tr = FBase->GetTRHandle();
        TBlobHandle blob;
        IBCheck(lib.isc_open_blob2(status, db, tr, &blob.Handle, &FBlobID, 0, nullptr), status);

        char items[] = {isc_info_blob_num_segments, isc_info_blob_max_segment, isc_info_blob_total_length,
                        isc_info_blob_type};
        char info[64] = {};
        IBCheck(lib.isc_blob_info(status, &blob.Handle, sizeof items, items, sizeof info, info), status);
        Int64 total = 0;
        for (const char* p = info; p < info + sizeof info && *p != isc_info_end;) {
            char item = *p++;
            int len = isc_vax_integer(p, 2);
            p += 2;
            if (len < 0 || p + len > info + sizeof info) break;
            int value = isc_vax_integer(p, static_cast<short>(len));
            p += len;
            if (item == isc_info_blob_num_segments)
                segments = value;
            else if (item == isc_info_blob_max_segment)
                maxSegment = value;
            else if (item == isc_info_blob_total_length)
                total = static_cast<unsigned>(value);
            else if (item == isc_info_blob_type)
                type = value;
        }
        data.reserve(static_cast<size_t>(total));
        for (;;) {
            size_t at = data.size();
            data.resize(at + MaxSegment);
            unsigned short got = 0;
            ISC_STATUS res = lib.isc_get_segment(status, &blob.Handle, &got, MaxSegment, data.data() + at);
            data.resize(at + got);
            if (res == 0 || status[1] == isc_segment) continue;
            if (status[1] == isc_segstr_eof) break;
            IBDataBaseError(status);
        }
        blob.Close();
    }
    FBuffer = std::move(data);
    FBlobNumSegments = segments;
    FBlobMaxSegmentSize = maxSegment;
    FBlobType = type;
    FPosition = std::min<Int64>(FPosition, GetBlobSize());
    FBlobInitialized = true;
    FModified = false;
}

void TIBBlobStream::Finalize() {
    if (!FBlobInitialized || FMode == bmRead || !FModified) return;
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle* db = FBase->GetDBHandle();
    isc_tr_handle* tr = FBase->GetTRHandle();
    TBlobHandle blob;
    ISC_QUAD id{};
    IBCheck(lib.isc_create_blob2(status, db, tr, &blob.Handle, &id, 0, nullptr), status);
    size_t done = 0;
    while (done < FBuffer.size()) {
        auto n = static_cast<unsigned short>(std::min<size_t>(MaxSegment, FBuffer.size() - done));
        IBCheck(lib.isc_put_segment(status, &blob.Handle, n, FBuffer.data() + done), status);
        done += n;
    }
    blob.Close();
    FBlobID = id;
    FModified = false;
}

void TIBBlobStream::Cancel() {
    if (!FBlobInitialized || FMode == bmRead) return;
    if (FModified) {
        if (FMode == bmWrite) {
            CreateBlob();
            FModified = false;
        } else {
            OpenBlob();
        }
    }
    FModified = false;
}

int TIBBlobStream::Read(void* Buffer, int Count) {
    CheckReadable();
    EnsureBlobInitialized();
    if (Count <= 0 || FPosition >= GetBlobSize()) return 0;
    Int64 n = std::min<Int64>(Count, GetBlobSize() - FPosition);
    std::memcpy(Buffer, FBuffer.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return static_cast<int>(n);
}

int TIBBlobStream::Write(const void* Buffer, int Count) {
    CheckWritable();
    EnsureBlobInitialized();
    if (Count <= 0) return 0;
    Int64 end = FPosition + Count;
    if (end > GetBlobSize()) FBuffer.resize(static_cast<size_t>(end), 0);
    std::memcpy(FBuffer.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = end;
    FModified = true;
    return Count;
}

Int64 TIBBlobStream::Seek(Int64 Offset, TSeekOrigin Origin) {
    EnsureBlobInitialized();
    Int64 base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : GetBlobSize();
    Int64 pos = base + Offset;
    if (pos < 0) throw EStreamError("Stream seek error");
    FPosition = pos;
    return FPosition;
}

void TIBBlobStream::SetSize(Int64 NewSize) {
    if (NewSize < 0) throw EStreamError("Invalid stream size");
    CheckWritable();
    EnsureBlobInitialized();
    if (NewSize == GetBlobSize()) return;
    FBuffer.resize(static_cast<size_t>(NewSize), 0);
    FPosition = std::min(FPosition, NewSize);
    FModified = true;
}

Int64 TIBBlobStream::GetSize() {
    EnsureBlobInitialized();
    return GetBlobSize();
}

void TIBBlobStream::LoadFromStream(TStream& Source) {
    CheckWritable();
    EnsureBlobInitialized();
    Source.SetPosition(0);
    Int64 size = Source.GetSize();
    std::vector<char> data(static_cast<size_t>(size));
    if (size > 0) Source.ReadBuffer(data.data(), static_cast<int>(size));
    FBuffer = std::move(data);
    FPosition = 0;
    FModified = true;
}

void TIBBlobStream::SaveToStream(TStream& Dest) {
    CheckReadable();
    EnsureBlobInitialized();
    if (!FBuffer.empty()) Dest.WriteBuffer(FBuffer.data(), static_cast<int>(FBuffer.size()));
}
