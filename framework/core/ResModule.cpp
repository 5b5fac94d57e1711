#include "ResModule.h"

#include "SysUtils.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cassert>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>

struct TResourceModule {
    void* Handle;
    const TResModuleData* Data;
    AnsiString FileName;
};

namespace {

struct TLanguageAbbreviation {
    const char* Language;
    const char* Territory;
    const char* Abbreviation;
};

// The framework's three-letter language abbreviations, by ISO language and
// territory; the first row of a language is its default.
const TLanguageAbbreviation Abbreviations[] = {
    {"de", "DE", "DEU"}, {"de", "AT", "DEA"}, {"de", "CH", "DES"}, {"de", "LU", "DEL"}, {"de", "LI", "DEC"},
    {"en", "US", "ENU"}, {"en", "GB", "ENG"}, {"en", "AU", "ENA"}, {"en", "CA", "ENC"}, {"en", "NZ", "ENZ"},
    {"en", "IE", "ENI"}, {"fr", "FR", "FRA"}, {"fr", "BE", "FRB"}, {"fr", "CA", "FRC"}, {"fr", "CH", "FRS"},
    {"fr", "LU", "FRL"}, {"it", "IT", "ITA"}, {"it", "CH", "ITS"}, {"es", "ES", "ESP"}, {"es", "MX", "ESM"},
    {"nl", "NL", "NLD"}, {"nl", "BE", "NLB"}, {"pt", "PT", "PTG"}, {"pt", "BR", "PTB"}, {"da", "DK", "DAN"},
    {"sv", "SE", "SVE"}, {"nb", "NO", "NOR"}, {"no", "NO", "NOR"}, {"fi", "FI", "FIN"}, {"pl", "PL", "PLK"},
    {"cs", "CZ", "CSY"}, {"hu", "HU", "HUN"}, {"ru", "RU", "RUS"}, {"el", "GR", "ELL"}, {"tr", "TR", "TRK"},
    {"ja", "JP", "JPN"}, {"ko", "KR", "KOR"}, {"zh", "CN", "CHS"}, {"zh", "TW", "CHT"},
};

// Language libraries are small; a larger file is not one.
constexpr std::size_t MaxLibrarySize = 16u << 20;

bool ReadFileBytes(const AnsiString& FileName, std::string& Bytes) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::size_t>(size) > MaxLibrarySize) return false;
    in.seekg(0, std::ios::beg);
    Bytes.assign(static_cast<std::size_t>(size), '\0');
    return static_cast<bool>(in.read(Bytes.data(), size));
}

template <class T> bool ReadAt(const std::string& Image, std::size_t Offset, T& Value) {
    if (Offset > Image.size() || Image.size() - Offset < sizeof(T)) return false;
    std::memcpy(&Value, Image.data() + Offset, sizeof(T));
    return true;
}

// Loading a language library must run nothing of it and pull in nothing
// else: it is a shared object of this machine's class with a dynamic
// section, no executable segment, no executable stack, no interpreter, and
// no initialisers, finalisers, needed libraries, filters or auditors.
bool IsDataOnlyLibrary(const std::string& Image) {
    using Ehdr = ElfW(Ehdr);
    using Phdr = ElfW(Phdr);
    using Dyn = ElfW(Dyn);
    Ehdr header;
    if (!ReadAt(Image, 0, header)) return false;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return false;
    if (header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32)) return false;
    if (header.e_type != ET_DYN || header.e_phentsize != sizeof(Phdr) || header.e_phnum == 0) return false;
    bool dynamic = false;
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        Phdr segment;
        if (!ReadAt(Image, header.e_phoff + i * sizeof(Phdr), segment)) return false;
        if (segment.p_type == PT_INTERP) return false;
        bool mapped = segment.p_type == PT_LOAD || segment.p_type == PT_GNU_STACK;
        if (mapped && (segment.p_flags & PF_X)) return false;
        if (segment.p_type != PT_DYNAMIC) continue;
        if (segment.p_offset > Image.size()) return false;
        if (segment.p_filesz > Image.size() - segment.p_offset) return false;
        dynamic = true;
        for (std::size_t at = 0; at + sizeof(Dyn) <= segment.p_filesz; at += sizeof(Dyn)) {
            Dyn entry;
            if (!ReadAt(Image, segment.p_offset + at, entry)) return false;
            if (entry.d_tag == DT_NULL) break;
            switch (entry.d_tag) {
            case DT_NEEDED:
            case DT_INIT:
            case DT_FINI:
            case DT_INIT_ARRAY:
            case DT_FINI_ARRAY:
            case DT_PREINIT_ARRAY:
            case DT_AUXILIARY:
            case DT_FILTER:
            case DT_AUDIT:
            case DT_DEPAUDIT:
                return false;
            default:
                break;
            }
        }
    }
    return dynamic;
}

HRESMODULE TryLoad(const AnsiString& FileName) {
    std::string image;
    if (!ReadFileBytes(FileName, image) || !IsDataOnlyLibrary(image)) return nullptr;
    void* handle = dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    auto* data = static_cast<const TResModuleData*>(dlsym(handle, KV_RESOURCE_MODULE_SYMBOL));
    if (!data || data->Magic != ResModuleMagic || data->Format != ResModuleFormat) {
        dlclose(handle);
        return nullptr;
    }
    auto module = std::make_unique<TResourceModule>();
    module->Handle = handle;
    module->Data = data;
    module->FileName = FileName;
    return module.release();
}

bool IsLetters(const AnsiString& S) {
    for (char c : S)
        if (!std::isalpha(static_cast<unsigned char>(c))) return false;
    return true;
}

// "KVIB5.so", "KVIB5.so.5" and "KVIB5.bpl" all name the module "KVIB5".
AnsiString ModuleBaseName(const AnsiString& Name) {
    for (std::size_t at = Name.find(".so", 1); at != AnsiString::npos; at = Name.find(".so", at + 1))
        if (at + 3 == Name.size() || Name[at + 3] == '.') return Name.substr(0, at);
    std::size_t dot = Name.rfind('.');
    return dot == AnsiString::npos || dot == 0 ? Name : Name.substr(0, dot);
}

} // namespace

AnsiString GetUserLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return AnsiString();
}

std::vector<AnsiString> GetLanguageAbbreviations(const AnsiString& Locale) {
    AnsiString name = Locale.substr(0, Locale.find_first_of(".@"));
    std::size_t separator = name.find('_');
    AnsiString language = LowerCase(name.substr(0, separator));
    AnsiString territory;
    if (separator != AnsiString::npos) territory = UpperCase(name.substr(separator + 1));
    // Two or three letters: this also rules out C and POSIX.
    if (language.size() < 2 || language.size() > 3 || !IsLetters(language)) return {};
    const TLanguageAbbreviation* found = nullptr;
    for (const TLanguageAbbreviation& row : Abbreviations) {
        if (language != row.Language) continue;
        if (!found) found = &row;
        if (territory == row.Territory) {
            found = &row;
            break;
        }
    }
    if (!found) return {UpperCase(language)};
    AnsiString three = found->Abbreviation;
    return {three, three.substr(0, 2)};
}

std::vector<AnsiString> GetResourceModuleNames(const AnsiString& ModuleFileName, const AnsiString& Locale) {
    std::size_t slash = ModuleFileName.rfind('/');
    // dlopen searches the library path for a name without a slash: keep it here.
    AnsiString folder = slash == AnsiString::npos ? AnsiString("./") : ModuleFileName.substr(0, slash + 1);
    AnsiString file = slash == AnsiString::npos ? ModuleFileName : ModuleFileName.substr(slash + 1);
    AnsiString base = ModuleBaseName(file);
    std::vector<AnsiString> names;
    if (base.empty()) return names;
    for (const AnsiString& abbreviation : GetLanguageAbbreviations(Locale)) {
        names.push_back(folder + base + "." + UpperCase(abbreviation));
        names.push_back(folder + base + "." + LowerCase(abbreviation));
    }
    return names;
}

HRESMODULE LoadResourceModule(const AnsiString& ModuleFileName) {
    for (const AnsiString& name : GetResourceModuleNames(ModuleFileName, GetUserLanguage()))
        if (HRESMODULE module = TryLoad(name)) return module;
    return nullptr;
}

void FreeResourceModule(HRESMODULE Module) {
    std::unique_ptr<TResourceModule> owned(Module);
    if (owned) dlclose(owned->Handle);
}

const TResModuleData& GetResourceModuleData(HRESMODULE Module) {
    assert(Module);
    return *Module->Data;
}

AnsiString GetResourceModuleFileName(HRESMODULE Module) {
    assert(Module);
    return Module->FileName;
}

const TResModuleTable* FindResourceTable(HRESMODULE Module, const AnsiString& Unit) {
    const TResModuleData& data = GetResourceModuleData(Module);
    for (std::size_t i = 0; i < data.TableCount; ++i)
        if (data.Tables[i].Unit && Unit == data.Tables[i].Unit) return &data.Tables[i];
    return nullptr;
}

bool BindResourceTable(HRESMODULE Module, const AnsiString& Unit) {
    const TResModuleTable* table = FindResourceTable(Module, Unit);
    if (!table) return false;
    BindLanguageTable(Unit, table->Entries, table->Count);
    return true;
}

AnsiString GetModuleFileNameOf(const void* Address) {
    Dl_info info;
    if (!dladdr(Address, &info) || !info.dli_fname) return AnsiString();
    return info.dli_fname;
}
