// Checks that a statement's rebuilt text splits into the same items again
// and rebuilds to the same text: the dataset re-parses its own output.
// Shared by the unit tests and the fuzz target.
#pragma once

#include "SQLSelectParserKV.h"

namespace ParserRoundTrip {

// Empty when the items of both parsers agree, else what differs first.
inline AnsiString CompareItems(const TSQLSelectParserKV& A, const TSQLSelectParserKV& B) {
    for (int s = 0; s < A.GetCount(); ++s) {
        const TSQLSelectParserSectionKV* sa = A.GetSection(s);
        const TSQLSelectParserSectionKV* sb = B.GetSection(s);
        if (sa->GetCount() != sb->GetCount())
            return sa->Name + ": " + IntToStr(sa->GetCount()) + " items, then " + IntToStr(sb->GetCount());
        for (int i = 0; i < sa->GetCount(); ++i) {
            const TSQLSelectParserItemKV* ia = sa->GetItem(i);
            const TSQLSelectParserItemKV* ib = sb->GetItem(i);
            if (ia->Text != ib->Text || ia->ItemType != ib->ItemType || ia->QuoteKind != ib->QuoteKind)
                return sa->Name + " item " + IntToStr(i) + ": [" + ia->Text + "] type " +
                       IntToStr(ia->ItemType) + " quote " + IntToStr(ia->QuoteKind) + ", then [" + ib->Text +
                       "] type " + IntToStr(ib->ItemType) + " quote " + IntToStr(ib->QuoteKind);
        }
    }
    return AnsiString();
}

// Empty when Statement survives a rebuild and a second split unchanged.
inline AnsiString Check(const AnsiString& Statement, int Dialect) {
    TSQLSelectParserKV first;
    first.SQLDialect = Dialect;
    first.SetSQLText(Statement);
    const AnsiString rebuilt = first.GetSQLText();

    TSQLSelectParserKV second;
    second.SQLDialect = Dialect;
    second.SetSQLText(rebuilt);
    const AnsiString again = second.GetSQLText();
    if (again != rebuilt) return "rebuilt [" + rebuilt + "], then [" + again + "]";
    return CompareItems(first, second);
}

} // namespace ParserRoundTrip
