// Message unit of the dataset framework.
#pragma once

#include "ResStr.h"

#include <initializer_list>

inline constexpr const char* DBConstsModule = "DBConsts";

// In the unit's namespace: message units built on the framework use some of
// the same names (SRecordNotFound, SFieldNotFound, ...) and are linked into
// one library with it.
namespace Dbconsts {
#define DB_MESSAGE(name, identifier, text) extern const TResStringRec name;
#include "DBConsts.def"
#undef DB_MESSAGE
} // namespace Dbconsts

// The message's text (bound language first) with each "%s" replaced by the
// next argument; surplus "%s" stay empty, nothing else is interpreted.
AnsiString LoadDBMessage(const TResStringRec& Message, std::initializer_list<AnsiString> Args = {});
