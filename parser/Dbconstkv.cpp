#include "Dbconstkv.h"

#define KV_MESSAGE(name, identifier, english, german)                                                       \
    const TResStringRec name = {DbconstkvModule, identifier, #name, english};
#include "Dbconstkv.def"
#undef KV_MESSAGE
