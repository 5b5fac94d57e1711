#include "Unt_settings.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

TSettings* Settings = nullptr;

namespace {

const char* const SectionName = "Database Settings";
const char* const RememberKey = "Remeber"; // the name the file has always used
const char* const IniName = "IbRowvaneDemo.ini";

// The file's mode: it holds a password.
constexpr mode_t PrivateMode = 0600;

bool Exists(const AnsiString& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0;
}

AnsiString FolderOf(const AnsiString& Path) {
    size_t slash = Path.rfind('/');
    return slash == AnsiString::npos ? AnsiString(".") : Path.substr(0, slash ? slash : 1);
}

// Whether this user may make files in the folder that a write of Path
// changes (a write puts a new file beside the old one and renames it over
// it): through a link, the folder of the file it leads to.
bool MayWriteFolderOf(const AnsiString& Path) {
    return ::euidaccess(FolderOf(TIniFile(Path).GetTargetFileName()).c_str(), W_OK | X_OK) == 0;
}

// Whether this user may read the file and write it again: another user's
// private file may not, and neither may a file in a folder that is closed to us.
bool MayReadAndWrite(const AnsiString& Path) {
    return ::euidaccess(Path.c_str(), R_OK | W_OK) == 0 && MayWriteFolderOf(Path);
}

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
    FIniFile = std::make_unique<TIniFile>(GetIniFileName(), PrivateMode);
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

AnsiString TSettings::GetUserIniFileName() const {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative setting is no setting.
    if (config && config[0] == '/') return AnsiString(config) + "/" + IniName;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return AnsiString();
    return AnsiString(home) + "/.config/" + IniName;
}

TIniFile& TSettings::IniFile(bool ForWrite) const {
    AnsiString local = GetIniFileName(), user = GetUserIniFileName();
    AnsiString name = local;
    if (!user.empty()) {
        bool passOver = Exists(local) ? !MayReadAndWrite(local) : (Exists(user) || !MayWriteFolderOf(local));
        if (passOver) name = user;
    }
    if (FIniFile->GetFileName() != name) FIniFile = std::make_unique<TIniFile>(name, PrivateMode);
    if (ForWrite && name == user) {
        // The write itself reports a folder that cannot be made.
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(FolderOf(user)), ec);
    }
    return *FIniFile;
}

bool TSettings::GetRemember() const {
    return IniFile(false).ReadBool(SectionName, RememberKey, false);
}

void TSettings::SetRemember(bool Value) {
    try {
        TIniFile& file = IniFile(true);
        file.WriteBool(SectionName, RememberKey, Value);
        if (!Value)
            for (const char* key : {"Server", "Database", "Username", "Password"})
                file.DeleteKey(SectionName, key);
    } catch (const EIniFileException&) {
        // Off needs no file: a file that cannot be written is harmless as
        // long as it does not remember anything either.
        if (Value || GetRemember()) throw;
    }
}

AnsiString TSettings::ReadValue(const AnsiString& Key, const std::unique_ptr<AnsiString>& Held) const {
    if (Held) return *Held;
    if (GetRemember()) return IniFile(false).ReadString(SectionName, Key, AnsiString());
    return AnsiString();
}

void TSettings::WriteValue(const AnsiString& Key, std::unique_ptr<AnsiString>& Field,
                           const AnsiString& Value) {
    if (!Field)
        Field = std::make_unique<AnsiString>(Value);
    else
        *Field = Value;
    if (GetRemember()) IniFile(true).WriteString(SectionName, Key, Value);
}

AnsiString TSettings::GetConnectString() const {
    AnsiString server = GetServer();
    if (!server.empty()) return server + ":" + GetDatabase();
    return GetDatabase();
}
