// Named resource strings with run-time language binding.
//
// A message unit declares its strings as TResStringRec records: the module
// that owns them, a numeric identifier fixed per name, the name and the text
// compiled into the module. LoadResString looks the text up at the moment it
// is called: when a language table is bound to the record's module, the
// bound text of the same identifier and name wins, otherwise the compiled-in
// text stands. Binding is process-wide and may change at run time.
#pragma once

#include "System.h"

#include <cstddef>

struct TResStringRec {
    const char* Module;
    int Identifier;
    const char* Name;
    const char* Text;
};

// One entry of a language table: the text of one message in another language.
struct TResLangEntry {
    int Identifier;
    const char* Name;
    const char* Text;
};

AnsiString LoadResString(const TResStringRec* Rec);

// Binds a language table to a module, replacing any earlier one. The table
// must stay alive until it is unbound.
void BindLanguageTable(const AnsiString& Module, const TResLangEntry* Entries, std::size_t Count);
void UnbindLanguageTable(const AnsiString& Module);
bool IsLanguageTableBound(const AnsiString& Module);
