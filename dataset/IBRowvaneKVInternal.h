// Helpers shared by the implementation files of the IBRowvaneKV unit.
#pragma once

#include "IBRowvaneKV.h"

#include <memory>

namespace Ibrowvanekv {

// The framework's ERangeError of an insertion beyond the end, carrying the index.
[[noreturn]] void InsertRangeError(int Index);

// The dataset's error of Code, its text followed by what the dataset cannot
// do and what to write instead.
[[noreturn]] void Refuse(TIBRVError Code, std::initializer_list<TVarRec> Args, const AnsiString& Why);

// A parser for one operation, at the given dialect.
std::unique_ptr<TSQLSelectParserKV> NewParser(int Dialect);

// "_LOCATE" and the 1-based index: the name of a position parameter.
AnsiString LocateParamName(int Index);

} // namespace Ibrowvanekv
