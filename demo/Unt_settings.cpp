#include "Unt_settings.h"

#include <climits>
#include <unistd.h>

TSettings* Settings = nullptr;

namespace {

const char* const SectionName = "Database Settings";
const char* const RememberKey = "Remeber"; // the name the file has always used
const char* const IniName = "IbRowvaneDemo.ini";

AnsiString& ModuleFileNameOverride() {
    static AnsiString path;
    return path;
}

} // namespace

AnsiString GetModuleFileName() {
    if (!ModuleFileNameOverride().empty()) return ModuleFileNameOverride();
    // The whole path, however long: a cut path would name another folder.
    AnsiString buffer(PATH_MAX, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) throw Exception("Cannot find the program file");
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void SetModuleFileNameForTesting(const AnsiString& Path) {
    ModuleFileNameOverride() = Path;
}

TSettings::TSettings() {
    // Raised before anything is made: the global keeps the settings it has.
    if (Settings) throw Exception("Settings class already exists");
    // The file holds a password: it is created readable by its owner only.
    FIniFile = std::make_unique<TIniFile>(GetIniFileName(), 0600);
    Settings = this;
}

TSettings::~TSettings() {
    FIniFile.reset();
    if (Settings == this) Settings = nullptr;
}

AnsiString TSettings::GetIniFileName() const {
    AnsiString path = GetModuleFileName();
    size_t slash = path.rfind('/');
    return (slash == AnsiString::npos ? AnsiString() : path.substr(0, slash + 1)) + IniName;
}

bool TSettings::GetRemember() const {
    return FIniFile->ReadBool(SectionName, RememberKey, false);
}

void TSettings::SetRemember(bool Value) {
    FIniFile->WriteBool(SectionName, RememberKey, Value);
    if (!Value)
        for (const char* key : {"Server", "Database", "Username", "Password"})
            FIniFile->DeleteKey(SectionName, key);
}

AnsiString TSettings::ReadValue(const AnsiString& Key, const std::unique_ptr<AnsiString>& Held) const {
    if (Held) return *Held;
    if (GetRemember()) return FIniFile->ReadString(SectionName, Key, AnsiString());
    return AnsiString();
}

void TSettings::WriteValue(const AnsiString& Key, std::unique_ptr<AnsiString>& Field,
                           const AnsiString& Value) {
    if (!Field)
        Field = std::make_unique<AnsiString>(Value);
    else
        *Field = Value;
    if (GetRemember()) FIniFile->WriteString(SectionName, Key, Value);
}

AnsiString TSettings::GetConnectString() const {
    AnsiString server = GetServer();
    if (!server.empty()) return server + ":" + GetDatabase();
    return GetDatabase();
}
