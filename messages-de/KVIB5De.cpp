// Writes KVIB5.de, the package's German language library: the German table
// of the dataset's messages (IbconstkvDe.cpp, the same table the
// demonstration program compiles in) under the library's file version.
// The parser's message has no entry: the package shows its English text.
//
//   kvib5de_writer <file>
#include "Ibconstkv.h"
#include "MessagesDe.h"
#include "ResModule.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
        return 2;
    }
    const TResModuleTable tables[] = {
        {IbconstkvModule, IbconstkvGerman, IbconstkvGermanCount},
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
