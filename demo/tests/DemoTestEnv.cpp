#include "DemoTestEnv.h"

#include "Unt_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// The Firebird client is loaded with dlopen, so its thread-local data lives
// in dynamic TLS blocks. The leak checker's tracking of those blocks (it
// intercepts __tls_get_addr) guesses a block's bounds from a header that
// glibc no longer writes, and when a block happens to sit 16 bytes into a
// page it reads garbage bounds and crashes at exit; which test that hits
// depends on the memory layout, down to the length of the program's path.
// Without the tracking the checker scans no dynamic TLS, which can only
// report more leaks, never fewer.
#if defined(__SANITIZE_ADDRESS__)
#define KV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_ASAN 1
#endif
#endif
#ifdef KV_ASAN
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
#endif

TProgramFolder::TProgramFolder() {
    AnsiString templ = (std::filesystem::temp_directory_path() / "kv-demo-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw Exception("Cannot create a temporary folder");
    FPath = templ;
    SetModuleFileNameForTesting(FPath + "/IBRowvaneDemo");
    if (const char* old = getenv("XDG_CONFIG_HOME")) FSavedConfigHome = old;
    setenv("XDG_CONFIG_HOME", ConfigFolder().c_str(), 1);
}

TProgramFolder::~TProgramFolder() {
    SetModuleFileNameForTesting(AnsiString());
    if (FSavedConfigHome)
        setenv("XDG_CONFIG_HOME", FSavedConfigHome->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

AnsiString TProgramFolder::TextOf(const AnsiString& File) {
    std::ifstream in(File, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void TProgramFolder::PutIni(const AnsiString& Text) const {
    std::ofstream(IniFile(), std::ios::binary) << Text;
}
