#include "Ibconstkv.h"

#define KV_MESSAGE(code, name, identifier, english, german)                                                 \
    const TResStringRec name = {IbconstkvModule, identifier, #name, english};
#include "Ibconstkv.def"
#undef KV_MESSAGE

const TResStringRec* IbconstkvMessage(int Code) {
    static const TResStringRec* const Table[] = {
#define KV_MESSAGE(code, name, identifier, english, german) &name,
#include "Ibconstkv.def"
#undef KV_MESSAGE
    };
    static_assert(sizeof(Table) / sizeof(Table[0]) == IbconstkvMessageCount);
    if (Code < 0 || Code >= IbconstkvMessageCount) return nullptr;
    return Table[Code];
}
