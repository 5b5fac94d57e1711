// Resident memory of this process, and the memory probe: one side's growth
// over RunMemorySequence, measured in a child process of its own, so that no
// other side's heap or engine cache is counted. The embedded engine opens a
// database file for one process only; the parent keeps no attachment while
// its probes run.
#pragma once

#include "BenchSide.h"

#include <vector>

Int64 ResidentKiB();     // from /proc/self/statm
Int64 PeakResidentKiB(); // VmHWM from /proc/self/status
void ResetPeakResident();

struct TMemoryFigure {
    bool Valid = false;
    AnsiString Error;
    Int64 BeforeKiB = 0; // attached, nothing opened
    Int64 AfterKiB = 0;  // after the sequence, the result still open
    Int64 PeakKiB = 0;
    Int64 GrowthKiB() const { return AfterKiB - BeforeKiB; }
    Int64 PeakGrowthKiB() const { return PeakKiB - BeforeKiB; }
};

// In the child: warms the engine's cache with the bare client's run of the
// same sequence, then measures Side's run. Prints one "KVMEM" line.
int RunMemoryProbe(const AnsiString& SideName, const TBenchTarget& Target);

// In the parent: runs this program with Args and returns what it printed
// (stdout); throws when it fails.
AnsiString RunSelf(const std::vector<AnsiString>& Args);
TMemoryFigure ParseMemoryProbe(const AnsiString& Output);
