// The engine's own count of the work an attachment did (records read, pages
// fetched), read from the monitoring tables through an attachment of its
// own. The check compares it between the sides: the dataset and the bare
// client must make the engine read the same records.
#pragma once

#include "BenchSide.h"

#include <memory>

struct TEngineWork {
    Int64 RecordReads = 0; // sequential and indexed
    Int64 PageFetches = 0;
    TEngineWork operator-(const TEngineWork& B) const {
        return {RecordReads - B.RecordReads, PageFetches - B.PageFetches};
    }
};

class TEngineMonitor {
public:
    explicit TEngineMonitor(const TBenchTarget& Target);
    ~TEngineMonitor();
    TEngineWork Read(Int64 AttachmentId);

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};
