#include "DatasetOps.h"

#include "BenchStatements.h"

// The objects of the dataset side (database, transaction, dataset, data
// source, link), created by the constructor.
struct TDatasetBenchSide::TImpl {};

namespace {
[[noreturn]] void NotBuilt() {
    throw EBenchUnsupported("dataset not built yet");
}
} // namespace

bool DatasetSideAvailable() {
    return false;
}

std::unique_ptr<TBenchSide> CreateDatasetSide(const TBenchTarget& Target) {
    if (!DatasetSideAvailable()) return nullptr;
    return std::make_unique<TDatasetBenchSide>(Target);
}

TDatasetBenchSide::TDatasetBenchSide(const TBenchTarget& Target) : FTarget(Target) {
    NotBuilt();
}

TDatasetBenchSide::~TDatasetBenchSide() = default;

void TDatasetBenchSide::Open() {
    NotBuilt();
}

void TDatasetBenchSide::Close() {
    NotBuilt();
}

void TDatasetBenchSide::First() {
    NotBuilt();
}

void TDatasetBenchSide::Last() {
    NotBuilt();
}

void TDatasetBenchSide::PageDown() {
    NotBuilt();
}

void TDatasetBenchSide::PageUp() {
    NotBuilt();
}

void TDatasetBenchSide::FindNearest(const TBenchKey&) {
    NotBuilt();
}

void TDatasetBenchSide::FindByKey(int) {
    NotBuilt();
}

Int64 TDatasetBenchSide::Scan() {
    NotBuilt();
}

void TDatasetBenchSide::EditPost(int) {
    NotBuilt();
}

void TDatasetBenchSide::Restart() {
    NotBuilt();
}

TBenchWindow TDatasetBenchSide::Window() {
    NotBuilt();
}

Int64 TDatasetBenchSide::AttachmentId() {
    NotBuilt();
}
