#include "Dbconstkv.h"
#include "Ibconstkv.h"
#include "MessagesDe.h"

const TResLangEntry DbconstkvGerman[] = {
#define KV_MESSAGE(name, identifier, english, german) {identifier, #name, german},
#include "Dbconstkv.def"
#undef KV_MESSAGE
};
const std::size_t DbconstkvGermanCount = sizeof(DbconstkvGerman) / sizeof(DbconstkvGerman[0]);

void BindGermanMessages() {
    BindLanguageTable(IbconstkvModule, IbconstkvGerman, IbconstkvGermanCount);
    BindLanguageTable(DbconstkvModule, DbconstkvGerman, DbconstkvGermanCount);
}
