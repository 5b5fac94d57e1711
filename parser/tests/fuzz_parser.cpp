// Arbitrary bytes as a statement: the parser must split and rebuild any text
// without a fault, and the rebuilt text must split into the same items again.
#include "ParserRoundTrip.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const AnsiString statement(reinterpret_cast<const char*>(Data), Size);
    for (int dialect : {1, 3}) {
        const AnsiString fault = ParserRoundTrip::Check(statement, dialect);
        if (!fault.empty()) {
            std::fprintf(stderr, "rebuild not stable at dialect %d: %s\n", dialect, fault.c_str());
            std::abort();
        }
    }

    // A clause read on its own, with and without a parser behind it.
    TSQLSelectParserKV parser;
    for (int s = 0; s < parser.GetCount(); ++s) {
        TSQLSelectParserSectionKV* section = parser.GetSection(s);
        section->SetSQLText(statement);
        (void)section->GetSQLText();
    }
    TSQLSelectParserSectionKV lone;
    lone.SetSQLText(statement);
    (void)lone.GetSQLText();
    return 0;
}
