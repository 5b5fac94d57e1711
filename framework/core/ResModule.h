// Language resource modules: libraries that hold a module's message texts in
// another language, found beside the module by the user's language and
// loaded as data.
//
// A language library is a shared object without code: no executable
// segment, no initialisers or finalisers, no libraries it needs. It exports
// one record, KVResourceModuleData (TResModuleData), that lists its language
// tables by message unit and gives its file version. Such a file is checked
// before it is mapped, so nothing of it ever runs.
//
// Finding it. The user's language is the first non-empty one of LC_ALL,
// LC_MESSAGES and LANG ("de_DE.UTF-8"). For the module "/dir/KVIB5.so" the
// candidates are "/dir/KVIB5." followed by the language's three-letter
// abbreviation (DEU), then by its first two letters (DE), each in upper case
// and then in lower case: KVIB5.DEU, KVIB5.deu, KVIB5.DE, KVIB5.de. File
// names keep their case on Linux, so these four spellings are the ones
// accepted; mixed case ("KVIB5.De") is not. The first candidate that is a
// valid language library wins; missing or invalid ones are passed over. The
// locales C and POSIX, and no language at all, have no candidates.
#pragma once

#include "ResStr.h"

#include <cstddef>
#include <memory>
#include <vector>

inline constexpr Cardinal ResModuleMagic = 0x4d52564b; // "KVRM"
inline constexpr Cardinal ResModuleFormat = 1;
#define KV_RESOURCE_MODULE_SYMBOL "KVResourceModuleData"

struct TResModuleVersion {
    Word Major;
    Word Minor;
    Word Release;
    Word Build;
};

// The texts of one message unit in the library's language.
struct TResModuleTable {
    const char* Unit;
    const TResLangEntry* Entries;
    std::size_t Count;
};

// The record a language library exports under KV_RESOURCE_MODULE_SYMBOL.
struct TResModuleData {
    Cardinal Magic;  // ResModuleMagic
    Cardinal Format; // ResModuleFormat
    TResModuleVersion FileVersion;
    const TResModuleTable* Tables;
    std::size_t TableCount;
};

// A loaded language library; opaque, freed with FreeResourceModule.
struct TResourceModule;
using HRESMODULE = TResourceModule*;

// The user's language setting as the environment gives it; "" when none is set.
AnsiString GetUserLanguage();
// The abbreviations tried for a locale, in order: "de_DE.UTF-8" -> DEU, DE;
// "de_AT" -> DEA, DE. A language without a three-letter abbreviation of its
// own gives its two-letter code only; C, POSIX and malformed names give none.
std::vector<AnsiString> GetLanguageAbbreviations(const AnsiString& Locale);
// The file names tried for a module under a locale, in order.
std::vector<AnsiString> GetResourceModuleNames(const AnsiString& ModuleFileName, const AnsiString& Locale);

// Finds and loads the language library of a module for the user's language;
// nullptr when there is none.
HRESMODULE LoadResourceModule(const AnsiString& ModuleFileName);
void FreeResourceModule(HRESMODULE Module);

struct TResourceModuleFree {
    void operator()(HRESMODULE Module) const { FreeResourceModule(Module); }
};
using TResourceModulePtr = std::unique_ptr<TResourceModule, TResourceModuleFree>;

const TResModuleData& GetResourceModuleData(HRESMODULE Module);
AnsiString GetResourceModuleFileName(HRESMODULE Module);
// The library's table for a message unit; nullptr when it has none.
const TResModuleTable* FindResourceTable(HRESMODULE Module, const AnsiString& Unit);
// Binds the library's table for Unit to that unit (BindLanguageTable); false
// when the library has no table for it. The binding must be removed before
// the library is freed.
bool BindResourceTable(HRESMODULE Module, const AnsiString& Unit);

// The file of the loaded module (program or shared library) that holds
// Address; "" when no module holds it.
AnsiString GetModuleFileNameOf(const void* Address);
