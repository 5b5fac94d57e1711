#include "BenchDatabase.h"

#include "IBDatabase.h"
#include "IBSQL.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

namespace {

// Bumped whenever the table's layout or its rows change, so that a cached
// file of an older layout is made again.
constexpr const char* LayoutMarker = "kv-bench ITEM layout 1";

Int64 ModInverse(Int64 a, Int64 n) {
    Int64 t = 0, newt = 1, r = n, newr = a % n;
    while (newr != 0) {
        Int64 q = r / newr;
        Int64 tmp = t - q * newt;
        t = newt;
        newt = tmp;
        tmp = r - q * newr;
        r = newr;
        newr = tmp;
    }
    if (t < 0) t += n;
    return t;
}

} // namespace

TBenchData::TBenchData(Int64 RowCount) : FRowCount(RowCount) {
    if (RowCount < 1) throw Exception("The bench table needs at least one row");
    // Near the golden section of N: neighbours in ID order land far apart in
    // DESCRIPTION order.
    FMultiplier = std::max<Int64>(1, static_cast<Int64>(static_cast<double>(RowCount) * 0.6180339887));
    while (std::gcd(FMultiplier, RowCount) != 1)
        ++FMultiplier;
    FOffset = RowCount / 3;
    FInverse = RowCount == 1 ? 0 : ModInverse(FMultiplier % RowCount, RowCount);
}

Int64 TBenchData::RankOf(TBenchOrder Order, int Id) const {
    Int64 i = Id - 1;
    switch (Order) {
    case TBenchOrder::Id:
        return i;
    case TBenchOrder::Description:
        return (i * FMultiplier + FOffset) % FRowCount;
    case TBenchOrder::Quantity:
        break;
    }
    MakeQuantityOrder();
    return FQuantityRanks[static_cast<size_t>(i)];
}

int TBenchData::IdAtRank(TBenchOrder Order, Int64 Rank) const {
    switch (Order) {
    case TBenchOrder::Id:
        return static_cast<int>(Rank + 1);
    case TBenchOrder::Description: {
        Int64 i = ((Rank - FOffset) % FRowCount + FRowCount) % FRowCount * FInverse % FRowCount;
        return static_cast<int>(i + 1);
    }
    case TBenchOrder::Quantity:
        break;
    }
    MakeQuantityOrder();
    return FQuantityIds[static_cast<size_t>(Rank)];
}

bool TBenchData::Quantity(int Id, Int64& Hundredths) {
    Int64 i = Id - 1; // as FillBlock writes it
    if (i % 7 == 6) return false;
    Hundredths = i * 13 % 99999;
    return true;
}

void TBenchData::MakeQuantityOrder() const {
    if (!FQuantityIds.empty()) return;
    // NULL (as -1) sorts before every value, as the engine sorts it ascending.
    std::vector<std::pair<Int64, int>> rows(static_cast<size_t>(FRowCount));
    for (int id = 1; id <= FRowCount; ++id) {
        Int64 q = -1;
        Quantity(id, q);
        rows[static_cast<size_t>(id - 1)] = {q, id};
    }
    std::sort(rows.begin(), rows.end());
    FQuantityIds.resize(rows.size());
    FQuantityRanks.resize(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        FQuantityIds[r] = rows[r].second;
        FQuantityRanks[static_cast<size_t>(rows[r].second - 1)] = static_cast<Int64>(r);
    }
}

AnsiString TBenchData::DescriptionOfRank(Int64 Rank) {
    char text[32];
    std::snprintf(text, sizeof text, "Item %08lld", static_cast<long long>(Rank));
    return text;
}

AnsiString TBenchData::Description(int Id) const {
    return DescriptionOfRank(RankOf(TBenchOrder::Description, Id));
}

namespace {

void Exec(TIBSQL& Q, TIBTransaction& Tr, const AnsiString& Text) {
    if (!Tr.GetInTransaction()) Tr.StartTransaction();
    Q.GetSQL()->SetText(Text);
    Q.ExecQuery();
    Q.FreeHandle();
    Tr.Commit();
}

// Fills rows First..Last-1 (0-based) in one statement.
AnsiString FillBlock(const TBenchData& Data, Int64 First, Int64 Last) {
    std::ostringstream s;
    s << "EXECUTE BLOCK AS\n"
         "DECLARE I BIGINT = "
      << First
      << ";\n"
         "BEGIN\n"
         "  WHILE (I < "
      << Last
      << ") DO\n"
         "  BEGIN\n"
         "    INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (:I + 1,\n"
         "      'Item ' || LPAD(MOD(:I * "
      << Data.GetMultiplier() << " + " << Data.GetOffset() << ", " << Data.GetRowCount()
      << "), 8, '0'),\n"
         "      IIF(MOD(:I, 7) = 6, NULL, MOD(:I * 13, 99999) * 0.01),\n"
         "      IIF(MOD(:I, 11) = 10, NULL, MOD(:I * 7919 + 17, 9999999) * 0.01));\n"
         "    I = I + 1;\n"
         "  END\n"
         "END";
    return s.str();
}

void CreateBenchDatabase(const AnsiString& Path, Int64 RowCount, bool Verbose) {
    TBenchData data(RowCount);
    TIBDatabase db(nullptr);
    db.SetDatabaseName(Path);
    db.SetSQLDialect(3);
    db.SetLoginPrompt(false);
    db.GetParams()->Add("USER \"SYSDBA\"");
    db.GetParams()->Add("PASSWORD \"masterkey\"");
    db.GetParams()->Add("PAGE_SIZE 4096");
    db.CreateDatabase();

    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(&db);
    TIBSQL q(nullptr);
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetParamCheck(false);

    Exec(q, tr,
         "CREATE TABLE ITEM\n(\nID INTEGER NOT NULL,\nDESCRIPTION VARCHAR(30) NOT NULL,\nQUANTITY "
         "NUMERIC(5,2),\n"
         "PRICE NUMERIC(8,2),\nCONSTRAINT PKY_ITEM PRIMARY KEY (ID)\n)");
    // A few large transactions; the secondary indexes are built afterwards,
    // which is much faster than keeping them up to date row by row.
    Int64 chunk = std::max<Int64>(250000, (RowCount + 7) / 8);
    for (Int64 first = 0; first < RowCount; first += chunk) {
        Exec(q, tr, FillBlock(data, first, std::min(RowCount, first + chunk)));
        if (Verbose)
            std::fprintf(stderr, "bench: %lld of %lld rows\n",
                         static_cast<long long>(std::min(RowCount, first + chunk)),
                         static_cast<long long>(RowCount));
    }
    Exec(q, tr, "CREATE UNIQUE DESC INDEX\nIXD_ITEM_ID ON ITEM (ID)");
    Exec(q, tr, "CREATE UNIQUE ASC INDEX\nIXA_ITEM_DESCRIPTION ON ITEM (DESCRIPTION)");
    Exec(q, tr, "CREATE UNIQUE DESC INDEX\nIXD_ITEM_DESCRIPTION ON ITEM (DESCRIPTION)");
    Exec(q, tr, "CREATE GENERATOR GEN_ITEM_ID");
    Exec(q, tr, "SET GENERATOR GEN_ITEM_ID TO " + IntToStr(RowCount));
    Exec(q, tr,
         "CREATE TRIGGER TRG_ITEM_BI_PKY\nFOR ITEM\nACTIVE BEFORE INSERT POSITION 0\nAS\nBEGIN\nIF (\n"
         "NEW.ID IS NULL\nOR\nNEW.ID > GEN_ID(GEN_ITEM_ID, 0)\n)\nTHEN\nNEW.ID = GEN_ID(GEN_ITEM_ID, "
         "1);\nEND");

    tr.StartTransaction();
    q.GetSQL()->SetText("SELECT COUNT(*), MIN(ID), MAX(ID), COUNT(DISTINCT DESCRIPTION) FROM ITEM");
    q.ExecQuery();
    Int64 count = q.GetFields(0)->GetAsInt64();
    Int64 lo = q.GetFields(1)->GetAsInt64();
    Int64 hi = q.GetFields(2)->GetAsInt64();
    Int64 distinct = q.GetFields(3)->GetAsInt64();
    q.Close();
    q.FreeHandle();
    tr.Commit();
    db.Close();
    if (count != RowCount || lo != 1 || hi != RowCount || distinct != RowCount)
        throw Exception("The bench table of " + Path + " was not filled as intended");
}

} // namespace

AnsiString BenchDatabaseFile(const AnsiString& Folder, Int64 RowCount) {
    return std::filesystem::absolute(std::filesystem::path(Folder) / ("items-" + IntToStr(RowCount) + ".fdb"))
        .lexically_normal()
        .string();
}

namespace {

AnsiString MarkerText(Int64 RowCount) {
    return AnsiString(LayoutMarker) + " rows " + IntToStr(RowCount);
}

} // namespace

bool BenchDatabaseReady(const AnsiString& Folder, Int64 RowCount) {
    AnsiString path = BenchDatabaseFile(Folder, RowCount);
    std::ifstream in(path + ".ok");
    std::string line;
    return in && std::getline(in, line) && line == MarkerText(RowCount) && std::filesystem::exists(path);
}

AnsiString EnsureBenchDatabase(const AnsiString& Folder, Int64 RowCount, bool Verbose) {
    namespace fs = std::filesystem;
    fs::create_directories(Folder);
    AnsiString path = BenchDatabaseFile(Folder, RowCount);
    AnsiString marker = path + ".ok";
    AnsiString expected = MarkerText(RowCount);
    if (BenchDatabaseReady(Folder, RowCount)) return path;
    std::error_code ec;
    fs::remove(marker, ec);
    fs::remove(path, ec);
    auto start = std::chrono::steady_clock::now();
    if (Verbose) std::fprintf(stderr, "bench: making %s\n", path.c_str());
    CreateBenchDatabase(path, RowCount, Verbose);
    std::ofstream out(marker);
    out << expected << "\n";
    if (!out) throw Exception("Cannot write " + marker);
    if (Verbose)
        std::fprintf(stderr, "bench: made %s in %.1f s\n", path.c_str(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return path;
}
