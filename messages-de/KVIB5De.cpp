// The record that KVIB5 reads from its German language library KVIB5.de:
// the German table of the dataset's messages (IbconstkvDe.cpp, the same
// table the demonstration program compiles in) and the library's version.
// The parser's message has no entry: the package shows its English text.
// Data only: nothing here may need code to initialise.
#include "Ibconstkv.h"
#include "MessagesDe.h"
#include "ResModule.h"

namespace {

const TResModuleTable Tables[] = {
    {IbconstkvModule, IbconstkvGerman, IbconstkvMessageCount},
};

} // namespace

extern "C" __attribute__((visibility("default"))) const TResModuleData KVResourceModuleData = {
    ResModuleMagic, ResModuleFormat, {5, 0, 0, 1}, Tables, sizeof(Tables) / sizeof(Tables[0]),
};
