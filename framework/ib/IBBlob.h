// A blob as a stream: the whole contents held in memory. Reading loads the
// stored blob on first use; changes stay in memory until Finalize writes them
// as a new blob, whose id the stream then holds. Owns its link and buffer.
#pragma once

#include "Classes.h"
#include "DBTypes.h"
#include "IBDatabase.h"

#include <vector>

class TIBBlobStream : public TStream {
public:
    TIBBlobStream();
    ~TIBBlobStream() override;

    TIBBase* GetBase() const { return FBase.get(); }
    TIBDatabase* GetDatabase() const { return FBase->GetDatabase(); }
    void SetDatabase(TIBDatabase* Value) { FBase->SetDatabase(Value); }
    TIBTransaction* GetTransaction() const { return FBase->GetTransaction(); }
    void SetTransaction(TIBTransaction* Value) { FBase->SetTransaction(Value); }

    const ISC_QUAD& GetBlobID() const { return FBlobID; }
    // A new id drops what the stream held; a zero id is an empty blob.
    void SetBlobID(const ISC_QUAD& Value);
    void SetBlobID(const void* Id8);
    TBlobStreamMode GetMode() const { return FMode; }
    void SetMode(TBlobStreamMode Value);
    bool GetModified() const { return FModified; }
    Int64 GetBlobSize() const { return static_cast<Int64>(FBuffer.size()); }
    int GetBlobNumSegments() const { return FBlobNumSegments; }
    int GetBlobMaxSegmentSize() const { return FBlobMaxSegmentSize; }
    int GetBlobType() const { return FBlobType; }

    // Loads the stored contents (again), dropping changes.
    void OpenBlob();
    // Starts empty contents for a new blob.
    void CreateBlob();
    // Writes changed contents as a new blob and takes its id.
    void Finalize();
    // Drops changes: the stored contents come back.
    void Cancel();
    void CheckReadable() const;
    void CheckWritable() const;

    int Read(void* Buffer, int Count) override;
    int Write(const void* Buffer, int Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    // A change of size counts as a change of the contents.
    void SetSize(Int64 NewSize) override;
    Int64 GetSize() override;
    void Truncate() { SetSize(0); }
    void LoadFromStream(TStream& Source);
    void SaveToStream(TStream& Dest);

private:
    void EnsureBlobInitialized();

    std::unique_ptr<TIBBase> FBase;
    ISC_QUAD FBlobID{};
    TBlobStreamMode FMode = bmReadWrite;
    std::vector<char> FBuffer;
    Int64 FPosition = 0;
    bool FBlobInitialized = false;
    bool FModified = false;
    int FBlobNumSegments = 0;
    int FBlobMaxSegmentSize = 0;
    int FBlobType = 0;
};
