// Message unit of the SELECT parser.
#pragma once

#include "ResStr.h"

inline constexpr const char* DbconstkvModule = "Dbconstkv";

#define KV_MESSAGE(name, identifier, english, german) extern const TResStringRec name;
#include "Dbconstkv.def"
#undef KV_MESSAGE
