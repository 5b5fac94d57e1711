// The measured operations, composed from the sides' moves (BenchSide.h), so
// that every side runs the same sequence. Each has an untimed set-up, the
// timed work and an untimed clean-up, and a window that every side must show
// afterwards (checked with --kv-check, never while timing).
//
// | operation      | set-up           | timed                                   | window after          |
// |----------------|------------------|-----------------------------------------|-----------------------|
// | Open           | -                | Open (prepare, first window)            | rows 0..19            |
// | Last           | Open             | Last                                    | the last 20 rows      |
// | FirstAfterLast | Open, Last (*)   | First                                   | rows 0..19            |
// | PageDown       | Open             | 100 x PageDown (the cursor continues)   | rows 2000..2019       |
// | PageUpDown     | Open, PageDown   | 100 x PageUp and PageDown in turn       | rows 20..39           |
// | FindNearest    | Open             | 100 x nearest search by the order       | centred on the last   |
// | FindByKey      | Open             | 100 x search by primary key             | centred on the last   |
// | Scan           | Open             | First, Next to the end                  | the last 20 rows      |
// | EditPost       | Open             | 100 x edit PRICE of the top row, post   | rows 0..19            |
// | Middle         | Open             | the window centred on the middle row    | centred on n / 2      |
// | PageDownMiddle | Open, Middle     | 10 x PageDown                           | 200 rows further      |
//
// (*) OFFSET paging moves one page instead: it reads the first page alike
// from anywhere, and its untimed Last would dominate the run.
//
// Rows are counted by their place in the order. Every operation ends with
// Close; EditPost also rolls back its changes (Restart). The middle window is
// a search by primary key for the keyset sides and a page read by its place
// for OFFSET paging.
#pragma once

#include "BenchDatabase.h"

#include <memory>
#include <vector>

constexpr int BenchRepeat = 100;
// Page-downs from the middle: each costs OFFSET paging a read of half the table.
constexpr int BenchMiddleRepeat = 10;

// The sides of a run by name, in the table's order: "bare", "lean", "dataset",
// "qt", "offset"; through a server also "bounded" (the lean client with ROWS).
std::vector<AnsiString> BenchSides(bool Remote);
// The sides whose memory is measured: "bare", "dataset", "qt".
extern const char* const MemorySideNames[3];
// Empty when the side can run here; else why not.
AnsiString SideUnavailableReason(const AnsiString& Name);
// Whether the side measures the operation.
bool SideSupports(const AnsiString& Name, TBenchOp Op);
// Whether the operation is measured in the order. The QUANTITY order, which
// has no index, re-sorts the table at every re-opened cursor: it measures the
// moves that read on (open, Last, First, page-downs).
bool OrderSupports(TBenchOrder Order, TBenchOp Op);
// Whether the side measures the operation in the order: both of the above,
// and in the QUANTITY order neither the ROWS-bounded side nor OFFSET paging,
// whose every page sorts the table anew.
bool Measured(const AnsiString& Side, TBenchOrder Order, TBenchOp Op);
std::unique_ptr<TBenchSide> CreateBenchSide(const AnsiString& Name, const TBenchTarget& Target);

struct TBenchOpInfo {
    TBenchOp Op;
    const char* Name;  // in benchmark names
    const char* Title; // in the table
};

const std::vector<TBenchOpInfo>& BenchOps();
const TBenchOpInfo& BenchOpInfo(TBenchOp Op);

// The fixed inputs of the searches and edits for one table and order.
struct TBenchPlan {
    std::vector<TBenchKey> Nearest; // search values of FindNearest (ID and DESCRIPTION orders)
    std::vector<Int64> NearestRank; // the place each one finds
    std::vector<int> ByKey;         // IDs of FindByKey
    std::vector<Int64> ByKeyRank;
    Int64 MiddleRank = 0; // the row the middle window is centred on
    int MiddleId = 0;
};

TBenchPlan MakeBenchPlan(const TBenchData& Data, TBenchOrder Order, int WindowRows);

void SetUpOp(TBenchOp Op, TBenchSide& Side, const TBenchPlan& Plan);
void RunOp(TBenchOp Op, TBenchSide& Side, const TBenchPlan& Plan, Int64 RowCount);
void TearDownOp(TBenchOp Op, TBenchSide& Side);

TBenchWindow ExpectedWindow(TBenchOp Op, const TBenchData& Data, TBenchOrder Order, const TBenchPlan& Plan,
                            int WindowRows);

// The work whose memory growth is measured: Open, Last, First, 100 page-downs
// and a whole scan, as far as the side offers them; the result stays open.
void RunMemorySequence(TBenchSide& Side, Int64 RowCount);
