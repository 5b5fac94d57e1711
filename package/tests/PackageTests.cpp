// A host that loads the package with dlopen, as a designer would. The host
// links the framework runtime only, never the package: what it sees of the
// registry and of the language binding is what the package did.
#include "ClassReg.h"
#include "Dbconstkv.h"
#include "IBRowvaneKV.h"
#include "ResModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The dataset component. Until its unit defines it this declaration stands,
// and the palette test expects nothing of the package.
class TIBRowvaneKV;

namespace {

namespace fs = std::filesystem;

template <class T> constexpr bool IsDefined = requires { sizeof(T); };

// What Register must put on "KVDB".
std::vector<AnsiString> PackagePalette() {
    if (IsDefined<TIBRowvaneKV>) return {"TIBRowvaneKV"};
    return {};
}

struct THostProbe : TComponent {
    using TComponent::TComponent;
    KV_METACLASS_DECL
};

} // namespace

KV_METACLASS(THostProbe, nullptr)

namespace {

struct TLanguage {
    const char* LcAll;
    const char* LcMessages;
    const char* Lang;
};

const TLanguage German = {nullptr, nullptr, "de_DE.UTF-8"};

const char* const LanguageVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

// The files of every object loaded into the process now.
std::set<std::string> LoadedObjects() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<std::set<std::string>*>(data)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

bool IsLoaded(const char* File) {
    void* handle = dlopen(File, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

std::vector<AnsiString> PageNames(const AnsiString& Page) {
    std::vector<AnsiString> names;
    for (TComponentClass c : GetPaletteClasses(Page)) names.push_back(c->GetName());
    return names;
}

class PackageTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* variable : LanguageVariables) {
            const char* value = std::getenv(variable);
            FSaved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }

    void TearDown() override {
        Unload();
        for (std::size_t i = 0; i < FSaved.size(); ++i) SetVariable(LanguageVariables[i], FSaved[i]);
        if (!FFolder.empty()) fs::remove_all(FFolder);
    }

    static void SetVariable(const char* Name, const std::optional<std::string>& Value) {
        if (Value) setenv(Name, Value->c_str(), 1);
        else unsetenv(Name);
    }

    static void SetLanguage(const TLanguage& Language) {
        const char* values[] = {Language.LcAll, Language.LcMessages, Language.Lang};
        for (int i = 0; i < 3; ++i) {
            if (values[i]) setenv(LanguageVariables[i], values[i], 1);
            else unsetenv(LanguageVariables[i]);
        }
    }

    void Load(const std::string& File = KVIB5_FILE) {
        ASSERT_EQ(FHandle, nullptr);
        FHandle = dlopen(File.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(FHandle, nullptr) << dlerror();
    }

    void Unload() {
        if (FHandle) dlclose(FHandle);
        FHandle = nullptr;
    }

    void* Symbol(const char* Name) {
        void* address = dlsym(FHandle, Name);
        EXPECT_NE(address, nullptr) << Name;
        return address;
    }

    // A missing entry has failed the test already; not calling it keeps the run going.
    void Call(const char* Entry) {
        if (void* entry = Symbol(Entry)) reinterpret_cast<void (*)()>(entry)();
    }

    std::string Raise(TIBRVError Code, const char* Argument = nullptr) {
        auto raise = reinterpret_cast<void (*)(unsigned char, const char*)>(Symbol("KVIB5RaiseError"));
        if (!raise) return "(no entry)";
        try {
            raise(Code, Argument);
        } catch (const EIBRVError& e) {
            EXPECT_EQ(e.ErrorCode, Code);
            return e.Message();
        }
        return "(nothing raised)";
    }

    // A message of the package, looked up by the host.
    AnsiString Text(const char* Message) {
        auto rec = static_cast<const TResStringRec*>(Symbol(Message));
        return rec ? LoadResString(rec) : "(no message)";
    }

    fs::path Folder() {
        std::string pattern = testing::TempDir() + "kvib5-XXXXXX";
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        FFolder = pattern;
        return FFolder;
    }

    void* FHandle = nullptr;

private:
    std::vector<std::optional<std::string>> FSaved;
    fs::path FFolder;
};

TEST_F(PackageTest, MessagesFollowTheUserLanguageAtEachLoad) {
    struct Case {
        TLanguage Language;
        bool German;
    } cases[] = {
        {German, true},
        {{nullptr, nullptr, "C"}, false},
        {{"C", nullptr, "de_DE.UTF-8"}, false}, // LC_ALL comes first
        {{nullptr, "de_AT.UTF-8", "en_US.UTF-8"}, true}, // then LC_MESSAGES; DEA, then DE
        {{"", "", "de_DE"}, true}, // empty counts as unset
        {{nullptr, nullptr, "fr_FR.UTF-8"}, false}, // no French library
        {German, true}, // and again after unloading
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Language.LcAll ? c.Language.LcAll : "-") + " " +
                     (c.Language.LcMessages ? c.Language.LcMessages : "-") + " " + c.Language.Lang);
        SetLanguage(c.Language);
        Load();
        EXPECT_EQ(Raise(rveEmptyDataset), c.German ? "Datenmenge ist leer" : "Dataset is empty");
        EXPECT_EQ(Raise(rveFieldNotFound, "ID"),
                  c.German ? "Feld \"ID\" nicht vorhanden" : "Field \"ID\" not found");
        // The host reads the binding the package made.
        EXPECT_EQ(IsLanguageTableBound(IbconstkvModule), c.German);
        EXPECT_EQ(Text("SRecordNotFound"), c.German ? "Datensatz nicht gefunden" : "Record not found");
        // The language library has no entry for the parser's message.
        EXPECT_FALSE(IsLanguageTableBound(DbconstkvModule));
        EXPECT_EQ(Text("SInvalidParseSec"), "SQL-Parser section not found");
        Unload();
        EXPECT_FALSE(IsLanguageTableBound(IbconstkvModule));
        EXPECT_EQ(dlopen(KVIB5_FILE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the package stayed loaded";
    }
}

TEST_F(PackageTest, FindsItsLanguageLibraryBesideItsOwnFileOnly) {
    // An installed layout of its own: the package, its language library and
    // the runtime it loads from its folder.
    fs::path folder = Folder();
    fs::copy_file(KVIB5_FILE, folder / "KVIB5.so");
    fs::copy_file(KVIB5_DE_FILE, folder / "KVIB5.de");
    for (const char* file : {KV_RUNTIME_FILES})
        fs::copy_file(file, folder / fs::path(file).filename());
    SetLanguage(German);
    ASSERT_NO_FATAL_FAILURE(Load(folder / "KVIB5.so"));
    EXPECT_EQ(Raise(rveRecordNotFound), "Datensatz nicht gefunden");
    Unload();

    // The build's KVIB5.de still lies beside the original: the copy must not use it.
    fs::remove(folder / "KVIB5.de");
    ASSERT_NO_FATAL_FAILURE(Load(folder / "KVIB5.so"));
    EXPECT_EQ(Raise(rveRecordNotFound), "Record not found");
    EXPECT_EQ(Raise(rveFieldNotFound, "ID"), "Field \"ID\" not found");
    EXPECT_FALSE(IsLanguageTableBound(IbconstkvModule));
}

// The language library is read as data: whatever stands under its name,
// nothing of it runs, and anything but a sound library leaves the messages
// in English.
TEST_F(PackageTest, ALanguageLibraryThatIsNoneLeavesTheMessagesInEnglish) {
    fs::path folder = Folder();
    fs::copy_file(KVIB5_FILE, folder / "KVIB5.so");
    for (const char* file : {KV_RUNTIME_FILES})
        fs::copy_file(file, folder / fs::path(file).filename());
    std::string good;
    {
        std::ifstream in(KVIB5_DE_FILE, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(good.size(), 100u);
    const fs::path library = folder / "KVIB5.de";
    auto put = [&](const std::string& Bytes) { std::ofstream(library, std::ios::binary) << Bytes; };
    struct Case {
        const char* What;
        std::function<void()> Make;
        bool German;
    } cases[] = {
        {"a shared object with code", [&] { fs::copy_file(HOSTILE_LIBRARY_FILE, library); }, false},
        {"a damaged copy", [&] { put(good.substr(0, 60) + 'X' + good.substr(61)); }, false},
        {"a cut copy", [&] { put(good.substr(0, good.size() / 2)); }, false},
        {"an empty file", [&] { put(""); }, false},
        {"a pipe", [&] { ASSERT_EQ(mkfifo(library.c_str(), 0600), 0); }, false},
        {"a folder", [&] { fs::create_directory(library); }, false},
        {"a sound copy", [&] { put(good); }, true},
    };
    SetLanguage(German);
    unsetenv("KV_HOSTILE_LIBRARY_RAN");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::error_code ec;
        fs::remove_all(library, ec);
        c.Make();
        ASSERT_NO_FATAL_FAILURE(Load(folder / "KVIB5.so"));
        EXPECT_EQ(Raise(rveRecordNotFound), c.German ? "Datensatz nicht gefunden" : "Record not found");
        EXPECT_EQ(IsLanguageTableBound(IbconstkvModule), c.German);
        Unload();
        EXPECT_EQ(std::getenv("KV_HOSTILE_LIBRARY_RAN"), nullptr);
    }
}

// Whatever loading the package brought in (its language library, runtime
// layers the host does not use itself) goes away with it: nothing pins it.
TEST_F(PackageTest, UnloadingLeavesNothingOfThePackageBehind) {
    SetLanguage(German);
    std::set<std::string> before = LoadedObjects();
    Load();
    Call("Register");
    EXPECT_EQ(Raise(rveFieldNotFound, "ID"), "Feld \"ID\" nicht vorhanden");
    EXPECT_EQ(Text("SRecordNotFound"), "Datensatz nicht gefunden");
    EXPECT_GT(LoadedObjects().size(), before.size());
    Unload();
    EXPECT_EQ(LoadedObjects(), before);
}

// Each layer of the framework runtime unloads again and takes out of the
// host's registries what it put there, so a package that uses it can unload
// too. The database layer makes its field classes known by name.
TEST_F(PackageTest, EveryRuntimeLayerUnloads) {
    for (int round = 1; round <= 2; ++round) { // the second load meets nothing left of the first
        for (const char* file : {KV_RUNTIME_FILES}) {
            SCOPED_TRACE(std::string(file) + ", load " + std::to_string(round));
            if (IsLoaded(file)) continue; // the host's own, loaded for good
            void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(handle, nullptr) << dlerror();
            if (fs::path(file).filename() == "libkvdb.so") {
                EXPECT_NE(GetClass("TStringField"), nullptr);
            }
            dlclose(handle);
            EXPECT_FALSE(IsLoaded(file)) << "the layer stayed loaded";
            EXPECT_EQ(GetClass("TStringField"), nullptr);
        }
    }
}

TEST_F(PackageTest, FinalizeReleasesTheLanguageAndInitializeBindsItAgain) {
    SetLanguage(German);
    Load();
    Call("Initialize"); // bound at load already: nothing changes
    EXPECT_EQ(Raise(rveEmptyDataset), "Datenmenge ist leer");
    Call("Finalize");
    EXPECT_FALSE(IsLanguageTableBound(IbconstkvModule));
    EXPECT_EQ(Raise(rveEmptyDataset), "Dataset is empty");
    Call("Finalize");
    Call("Initialize");
    EXPECT_EQ(Raise(rveFieldNotFound, "ID"), "Feld \"ID\" nicht vorhanden");
}

TEST_F(PackageTest, RegisterFillsThePalettePageUntilTheClassesGoAway) {
    // The host's own class on the same page: host and package share one
    // registry, and the package takes off only what it put there.
    RegisterComponents("KVDB", {&THostProbe::ClassInfo()});
    std::vector<AnsiString> filled = {"THostProbe"};
    for (const AnsiString& name : PackagePalette()) filled.push_back(name);

    Load();
    Call("Register");
    EXPECT_EQ(PageNames("KVDB"), filled);
    for (const AnsiString& name : PackagePalette()) EXPECT_NE(GetClass(name), nullptr) << name;
    Call("Finalize");
    EXPECT_EQ(PageNames("KVDB"), std::vector<AnsiString>{"THostProbe"});

    Call("Register");
    EXPECT_EQ(PageNames("KVDB"), filled);
    Unload(); // without Finalize: unloading takes the classes off as well
    EXPECT_EQ(PageNames("KVDB"), std::vector<AnsiString>{"THostProbe"});
    for (const AnsiString& name : PackagePalette()) EXPECT_EQ(GetClass(name), nullptr) << name;
    UnRegisterComponents({&THostProbe::ClassInfo()});
}

TEST_F(PackageTest, UsesTheFrameworkRuntimeOfTheHost) {
    Load();
    const void* functions[] = {reinterpret_cast<const void*>(&RegisterComponents),
                               reinterpret_cast<const void*>(&BindLanguageTable),
                               reinterpret_cast<const void*>(&LoadResString)};
    for (const void* function : functions) {
        Dl_info info;
        ASSERT_NE(dladdr(function, &info), 0);
        ASSERT_NE(info.dli_sname, nullptr);
        // Resolved from the package, the name must lead into the runtime, not into a copy of its own.
        void* resolved = dlsym(FHandle, info.dli_sname);
        EXPECT_EQ(resolved, function) << info.dli_sname;
        EXPECT_TRUE(fs::equivalent(GetModuleFileNameOf(resolved), KVCORE_FILE)) << info.dli_sname;
    }
}

} // namespace
