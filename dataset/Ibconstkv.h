// Message unit of the dataset: one named resource string per error code.
#pragma once

#include "ResStr.h"

// Module name under which the dataset's messages are stored and bound.
inline constexpr const char* IbconstkvModule = "Ibconstkv";
inline constexpr int IbconstkvMessageCount = 33;

#define KV_MESSAGE(code, name, identifier, english, german) extern const TResStringRec name;
#include "Ibconstkv.def"
#undef KV_MESSAGE

// The message of an error code; nullptr for a code outside 0 .. 32.
const TResStringRec* IbconstkvMessage(int Code);
