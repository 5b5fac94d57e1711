// The statements the dataset sends for the bench table, character for
// character (lines joined by CR LF), for SelectSQL "SELECT * FROM ITEM",
// KeyColumns "ID" and the order items "1;ID" and "2;DESCRIPTION", at SQL
// dialect 3. The bare client sends the same texts, so that both sides ask the
// engine for the same work.
#pragma once

#include "BenchSide.h"

struct TBenchStatements {
    AnsiString Select;     // the main select, prepared at open
    AnsiString Forward;    // forward cursor, mode 1: the order
    AnsiString ForwardAt;  // forward cursor, mode 2: the order and the keyset condition
    AnsiString Backward;   // backward cursor, mode 3: the inverted order
    AnsiString BackwardAt; // backward cursor, mode 4: the inverted order and the keyset condition
    AnsiString Refresh;    // one row by key
    AnsiString Update;     // post of an edit, the default column list
};

// The dataset's properties the texts come from.
constexpr const char* BenchSelectSQL = "SELECT * FROM ITEM";
constexpr const char* BenchKeyColumns = "ID";
constexpr const char* BenchOrderItems[] = {"1;ID", "2;DESCRIPTION"};
// The OrderItemId of an order.
int BenchOrderItemId(TBenchOrder Order);

const TBenchStatements& BenchStatements(TBenchOrder Order);

// The text as the engine receives it: every ":NAME" and ":\"Name\"" parameter
// replaced by "?", as the statement component sends it.
AnsiString EngineText(const AnsiString& Text);
