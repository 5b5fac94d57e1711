// The statements the dataset sends for the bench table, character for
// character (lines joined by CR LF), for SelectSQL "SELECT * FROM ITEM",
// KeyColumns "ID" and the order items "1;ID", "2;DESCRIPTION" and
// "3;QUANTITY", at SQL dialect 3. The bare client sends the same texts, so
// that both sides ask the engine for the same work.
#pragma once

#include "BenchSide.h"

#include <vector>

struct TBenchStatements {
    AnsiString Select;     // the main select, prepared at open
    AnsiString Forward;    // forward cursor, mode 1: the order
    AnsiString ForwardAt;  // forward cursor, mode 2: the order and the keyset condition
    AnsiString Backward;   // backward cursor, mode 3: the inverted order
    AnsiString BackwardAt; // backward cursor, mode 4: the inverted order and the keyset condition
    AnsiString Refresh;    // one row by key
    AnsiString Update;     // post of an edit, the default column list
};

// What the dataset reads from the catalogue at open when the order does not
// hold the key: the main table's unique indexes (parameter RELATION).
constexpr const char* BenchUniqueIndexesSQL =
    "SELECT I.RDB$INDEX_NAME, S.RDB$FIELD_NAME FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S"
    " ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = :RELATION"
    " AND I.RDB$UNIQUE_FLAG = 1 AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0"
    " ORDER BY I.RDB$INDEX_NAME, S.RDB$FIELD_POSITION";

// The dataset's properties the texts come from.
constexpr const char* BenchSelectSQL = "SELECT * FROM ITEM";
constexpr const char* BenchKeyColumns = "ID";
constexpr const char* BenchOrderItems[] = {"1;ID", "2;DESCRIPTION", "3;QUANTITY"};
// The OrderItemId of an order.
int BenchOrderItemId(TBenchOrder Order);

const TBenchStatements& BenchStatements(TBenchOrder Order);

// The text as the engine receives it: every ":NAME" and ":\"Name\"" parameter
// replaced by "?", as the statement component sends it.
// Names, when given, receives the parameters' names in the order of their "?".
AnsiString EngineText(const AnsiString& Text, std::vector<AnsiString>* Names = nullptr);
