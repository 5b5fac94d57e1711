#include "MessagesDe.h"

const TResLangEntry IbconstkvGerman[] = {
#define KV_MESSAGE(code, name, identifier, english, german) {identifier, #name, german},
#include "Ibconstkv.def"
#undef KV_MESSAGE
};
const std::size_t IbconstkvGermanCount = sizeof(IbconstkvGerman) / sizeof(IbconstkvGerman[0]);
