// The tokenizer of the SELECT parser. Besides the parser, the tests and the
// dataset's check that a statement survives the parser's rebuild read it.
#pragma once

#include "SQLSelectParserKV.h"

namespace SQLSelectParserKV {

// Skips blanks and reads one raw token (quotes included) from a
// NUL-terminated text. False, with Token untouched and the cursor on the
// NUL, when only blanks are left.
bool ScanToken(const char*& Cursor, AnsiString& Token);

// Reads and classifies the next token; sitEnd at the end of the text (Token
// untouched). Two- and three-word keywords come back as one token whose
// words are joined by one blank.
TSQLItemType GetNextToken(const char*& Cursor, AnsiString& Token);

} // namespace SQLSelectParserKV
