#include "ResModule.h"

#include "SysUtils.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string_view>

struct TResourceModule {
    AnsiString FileName;
    TResModuleData Data{};
    // Every text lives here; the tables point into it. A deque never moves
    // its elements, so the pointers stay valid while the module lives.
    std::deque<std::string> Strings;
    std::vector<std::vector<TResLangEntry>> Entries;
    std::vector<TResModuleTable> Tables;
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

// ---- The file image

constexpr char Magic[4] = {'K', 'V', 'R', 'M'};
constexpr std::size_t ChecksumSize = 4;

constexpr std::array<Cardinal, 256> MakeCrcTable() {
    std::array<Cardinal, 256> table{};
    for (Cardinal n = 0; n < 256; ++n) {
        Cardinal c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<Cardinal, 256> CrcTable = MakeCrcTable();

bool IsUtf8(const char* Text, std::size_t Size) {
    const auto* p = reinterpret_cast<const unsigned char*>(Text);
    std::size_t i = 0;
    while (i < Size) {
        unsigned char c = p[i];
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t more;
        Cardinal code, least;
        if ((c & 0xE0) == 0xC0) {
            more = 1, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (Size - i <= more) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        // No overlong forms, no surrogates, nothing beyond Unicode.
        if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += more + 1;
    }
    return true;
}

void PutInteger(AnsiString& Image, Cardinal Value, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
        Image += static_cast<char>((Value >> (8 * i)) & 0xFF);
}

void PutString(AnsiString& Image, const char* Text, bool Name) {
    std::size_t size = Text ? std::strlen(Text) : 0;
    if (Name && size == 0) throw EConvertError("A language library entry needs a name");
    if (!IsUtf8(Text ? Text : "", size))
        throw EConvertError(AnsiString("Text of a language library is no UTF-8: ") + Text);
    if (size > MaxResourceModuleSize) throw EConvertError("Text too long for a language library");
    PutInteger(Image, static_cast<Cardinal>(size), 4);
    Image.append(Text ? Text : "", size);
}

// Reads an image front to back. Every read checks what is left, so no count
// or length in the file can lead a read or an allocation past its end.
class TImageReader {
public:
    explicit TImageReader(std::string_view Image) : FImage(Image) {}

    bool Integer(Cardinal& Value, int Bytes) {
        if (Left() < static_cast<std::size_t>(Bytes)) return false;
        Value = 0;
        for (int i = 0; i < Bytes; ++i)
            Value |= static_cast<Cardinal>(static_cast<unsigned char>(FImage[FAt + i])) << (8 * i);
        FAt += static_cast<std::size_t>(Bytes);
        return true;
    }
    bool String(std::string& Value, bool Name) {
        Cardinal size;
        if (!Integer(size, 4) || size > Left()) return false;
        if (Name && size == 0) return false;
        if (!IsUtf8(FImage.data() + FAt, size)) return false;
        Value.assign(FImage.substr(FAt, size));
        FAt += size;
        return true;
    }
    // Whether Count items of at least MinSize bytes each can still follow.
    bool Fits(Cardinal Count, std::size_t MinSize) const { return Count <= Left() / MinSize; }
    std::size_t Left() const { return FImage.size() - FAt; }

private:
    std::string_view FImage;
    std::size_t FAt = 0;
};

// ---- Reading a file

// Closes a descriptor on every path.
struct TFileHandle {
    int Fd;
    ~TFileHandle() {
        if (Fd >= 0) ::close(Fd);
    }
};

// The whole content of a regular file of at most MaxResourceModuleSize
// bytes, read through one descriptor, so what was checked is what is read.
bool ReadSmallFile(const AnsiString& FileName, AnsiString& Bytes) {
    // Looked at before it is opened: opening a device or a pipe may block
    // or do something by itself.
    struct stat info {};
    if (::stat(FileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    TFileHandle file{::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.Fd < 0) return false;
    // What was opened may have been swapped in after the look.
    if (::fstat(file.Fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size <= 0 || static_cast<std::size_t>(info.st_size) > MaxResourceModuleSize) return false;
    // The file may grow while it is read: one byte beyond the bound tells.
    Bytes.assign(MaxResourceModuleSize + 1, '\0');
    std::size_t done = 0;
    while (done < Bytes.size()) {
        ssize_t n = ::read(file.Fd, Bytes.data() + done, Bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done == 0 || done > MaxResourceModuleSize) return false;
    Bytes.resize(done);
    return true;
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
    // A module named without a folder is looked for in the current one.
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

Cardinal ResModuleChecksum(const char* Bytes, std::size_t Size) {
    Cardinal c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < Size; ++i)
        c = CrcTable[(c ^ static_cast<unsigned char>(Bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

AnsiString ResourceModuleImage(const TResModuleData& Data) {
    AnsiString image(Magic, sizeof Magic);
    PutInteger(image, ResModuleFormat, 4);
    for (Word part :
         {Data.FileVersion.Major, Data.FileVersion.Minor, Data.FileVersion.Release, Data.FileVersion.Build})
        PutInteger(image, part, 2);
    PutInteger(image, static_cast<Cardinal>(Data.TableCount), 4);
    for (std::size_t t = 0; t < Data.TableCount; ++t) {
        const TResModuleTable& table = Data.Tables[t];
        PutString(image, table.Unit, true);
        PutInteger(image, static_cast<Cardinal>(table.Count), 4);
        for (std::size_t e = 0; e < table.Count; ++e) {
            const TResLangEntry& entry = table.Entries[e];
            PutInteger(image, static_cast<Cardinal>(entry.Identifier), 4);
            PutString(image, entry.Name, true);
            PutString(image, entry.Text, false);
        }
    }
    PutInteger(image, ResModuleChecksum(image.data(), image.size()), 4);
    if (image.size() > MaxResourceModuleSize) throw EConvertError("Too many texts for a language library");
    return image;
}

void SaveResourceModule(const AnsiString& FileName, const TResModuleData& Data) {
    AnsiString image = ResourceModuleImage(Data);
    // Written beside the target and renamed over it: a reader never sees half a file.
    AnsiString temp = FileName + ".tmp" + IntToStr(getpid());
    TFileHandle file{::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    auto fail = [&](int Error) {
        ::unlink(temp.c_str());
        throw EStreamError("Cannot write " + FileName + ": " + std::strerror(Error));
    };
    if (file.Fd < 0) fail(errno);
    std::size_t done = 0;
    while (done < image.size()) {
        ssize_t n = ::write(file.Fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        done += static_cast<std::size_t>(n);
    }
    int fd = file.Fd;
    file.Fd = -1;
    if (::close(fd) != 0) fail(errno);
    if (::rename(temp.c_str(), FileName.c_str()) != 0) fail(errno);
}

HRESMODULE ReadResourceModule(const AnsiString& Image, const AnsiString& FileName) {
    if (Image.size() < sizeof Magic + ChecksumSize || Image.size() > MaxResourceModuleSize) return nullptr;
    std::string_view image(Image);
    std::size_t bodySize = image.size() - ChecksumSize;
    TImageReader checksum(image.substr(bodySize));
    Cardinal stored = 0;
    if (!checksum.Integer(stored, 4) || stored != ResModuleChecksum(image.data(), bodySize)) return nullptr;
    std::string_view body = image.substr(0, bodySize);
    if (body.substr(0, sizeof Magic) != std::string_view(Magic, sizeof Magic)) return nullptr;
    TImageReader in(body.substr(sizeof Magic));

    auto module = std::make_unique<TResourceModule>();
    module->FileName = FileName;
    Cardinal format = 0, parts[4] = {}, tables = 0;
    if (!in.Integer(format, 4) || format != ResModuleFormat) return nullptr;
    for (Cardinal& part : parts)
        if (!in.Integer(part, 2)) return nullptr;
    module->Data.FileVersion = {static_cast<Word>(parts[0]), static_cast<Word>(parts[1]),
                                static_cast<Word>(parts[2]), static_cast<Word>(parts[3])};
    // The smallest table: a name of one byte and a count of entries.
    if (!in.Integer(tables, 4) || !in.Fits(tables, 4 + 1 + 4)) return nullptr;
    module->Entries.resize(tables);
    for (Cardinal t = 0; t < tables; ++t) {
        std::string& unit = module->Strings.emplace_back();
        Cardinal count = 0;
        // The smallest entry: an identifier, a name of one byte, an empty text.
        if (!in.String(unit, true) || !in.Integer(count, 4) || !in.Fits(count, 4 + 4 + 1 + 4)) return nullptr;
        std::vector<TResLangEntry>& entries = module->Entries[t];
        entries.reserve(count);
        for (Cardinal e = 0; e < count; ++e) {
            Cardinal identifier = 0;
            if (!in.Integer(identifier, 4)) return nullptr;
            std::string& name = module->Strings.emplace_back();
            std::string& text = module->Strings.emplace_back();
            if (!in.String(name, true) || !in.String(text, false)) return nullptr;
            entries.push_back({static_cast<int>(identifier), name.c_str(), text.c_str()});
        }
        module->Tables.push_back({unit.c_str(), entries.data(), entries.size()});
    }
    if (in.Left() != 0) return nullptr;
    module->Data.Tables = module->Tables.data();
    module->Data.TableCount = module->Tables.size();
    return module.release();
}

HRESMODULE LoadResourceModuleFile(const AnsiString& FileName) {
    AnsiString image;
    if (!ReadSmallFile(FileName, image)) return nullptr;
    return ReadResourceModule(image, FileName);
}

HRESMODULE LoadResourceModule(const AnsiString& ModuleFileName) {
    for (const AnsiString& name : GetResourceModuleNames(ModuleFileName, GetUserLanguage()))
        if (HRESMODULE module = LoadResourceModuleFile(name)) return module;
    return nullptr;
}

void FreeResourceModule(HRESMODULE Module) {
    std::unique_ptr<TResourceModule> owned(Module);
}

const TResModuleData& GetResourceModuleData(HRESMODULE Module) {
    assert(Module);
    return Module->Data;
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
