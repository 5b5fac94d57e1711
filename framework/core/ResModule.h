// Language resource modules: files that hold a module's message texts in
// another language, found beside the module by the user's language and read
// as data.
//
// A language library is a plain data file, never mapped or run: it is read
// once into memory and every count, length and text in it is checked before
// anything of it is used. Anything that is not a regular file, is empty or
// larger than MaxResourceModuleSize, or fails a check is passed over as if
// it were not there.
//
// File format (integers little-endian):
//   "KVRM"  u32 format (ResModuleFormat)  u16 x 4 file version
//   u32 table count, then per table: string unit name, u32 entry count,
//     then per entry: i32 identifier, string name, string text
//   u32 checksum (CRC-32) of everything before it
// A string is a u32 byte count and that many bytes of UTF-8 without a zero
// byte; names are not empty. Nothing may follow the checksum.
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

inline constexpr Cardinal ResModuleMagic = 0x4d52564b; // "KVRM" as read little-endian
inline constexpr Cardinal ResModuleFormat = 2;
// Language libraries are small (a few kilobytes); a larger file is not one.
inline constexpr std::size_t MaxResourceModuleSize = 1u << 20;

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

// What a language library holds: its version and its tables.
struct TResModuleData {
    TResModuleVersion FileVersion;
    const TResModuleTable* Tables;
    std::size_t TableCount;
};

// The file image of a language library, checksum included; raises
// EConvertError for a table that the format cannot hold (an empty name, a
// text with a zero byte or that is no UTF-8).
AnsiString ResourceModuleImage(const TResModuleData& Data);
// Writes the image to a file, replacing it; raises EStreamError on failure.
void SaveResourceModule(const AnsiString& FileName, const TResModuleData& Data);
// The checksum that closes an image: CRC-32 (the polynomial of zip and PNG).
Cardinal ResModuleChecksum(const char* Bytes, std::size_t Size);

// A language library read into memory; opaque, freed with FreeResourceModule.
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

// Finds and reads the language library of a module for the user's language;
// nullptr when there is none.
HRESMODULE LoadResourceModule(const AnsiString& ModuleFileName);
// Reads one file as a language library; nullptr when it is none.
HRESMODULE LoadResourceModuleFile(const AnsiString& FileName);
// Reads a language library from its image; nullptr when the image is none.
HRESMODULE ReadResourceModule(const AnsiString& Image, const AnsiString& FileName = AnsiString());
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
