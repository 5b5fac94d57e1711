// The bench database: table ITEM shaped like the sample database's (same
// columns, types, indexes, generator and trigger), filled with RowCount rows
// on the server side, and the rule by which its rows are made, so that the
// harness knows which rows every window must show.
#pragma once

#include "BenchSide.h"

#include <vector>

// The rows: ID 1..N; DESCRIPTION "Item " and eight digits of P(ID), where P
// maps 0..N-1 onto itself by a multiplication, so that DESCRIPTION is unique
// and its order scatters the rows of the ID order; QUANTITY and PRICE are
// derived from ID, some NULL (QUANTITY takes 99,999 values, so at 10^6 rows
// each stands about ten times, and NULL a seventh of the rows).
class TBenchData {
public:
    explicit TBenchData(Int64 RowCount);

    Int64 GetRowCount() const { return FRowCount; }
    Int64 GetMultiplier() const { return FMultiplier; }
    Int64 GetOffset() const { return FOffset; }

    // 0-based place of a row in the order.
    Int64 RankOf(TBenchOrder Order, int Id) const;
    int IdAtRank(TBenchOrder Order, Int64 Rank) const;
    // QUANTITY of a row in hundredths; false for NULL.
    static bool Quantity(int Id, Int64& Hundredths);
    AnsiString Description(int Id) const;
    // The DESCRIPTION text of a place in the DESCRIPTION order.
    static AnsiString DescriptionOfRank(Int64 Rank);

private:
    Int64 FRowCount;
    Int64 FMultiplier;
    Int64 FOffset;
    Int64 FInverse; // of FMultiplier modulo FRowCount
    // The QUANTITY order (NULL first, then by value, then by ID), made at its
    // first use: the IDs by place, and each ID's place.
    void MakeQuantityOrder() const;
    mutable std::vector<int> FQuantityIds;
    mutable std::vector<Int64> FQuantityRanks;
};

// The database file for RowCount rows in Folder, made when it is missing or
// was not completed (a marker file is written after the last commit). Made
// and checked through the framework's database classes. Returns the path.
AnsiString EnsureBenchDatabase(const AnsiString& Folder, Int64 RowCount, bool Verbose);
// The file of RowCount rows in Folder, as an absolute path (a server has a
// working folder of its own).
AnsiString BenchDatabaseFile(const AnsiString& Folder, Int64 RowCount);
// The file is there and complete (no attachment needed to tell).
bool BenchDatabaseReady(const AnsiString& Folder, Int64 RowCount);
