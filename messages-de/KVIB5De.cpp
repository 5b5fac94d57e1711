// Writes KVIB5.de, the package's German language library: the German texts
// of the dataset's messages of codes 0 to 32 (from IbconstkvDe.cpp, the same
// table the demonstration program compiles in) under the library's file
// version. The parser's message has no entry: the package shows its English
// text; nor has any message added to the dataset after those 33.
//
//   kvib5de_writer <file>
#include "Ibconstkv.h"
#include "MessagesDe.h"
#include "ResModule.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

// What the library has always held: one entry per code 0 to 32.
constexpr std::size_t LibraryEntries = 33;

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
        return 2;
    }
    const TResModuleTable tables[] = {
        {IbconstkvModule, IbconstkvGerman, std::min(IbconstkvGermanCount, LibraryEntries)},
    };
    const TResModuleData library = {{5, 0, 0, 1}, tables, sizeof(tables) / sizeof(tables[0])};
    try {
        SaveResourceModule(argv[1], library);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
