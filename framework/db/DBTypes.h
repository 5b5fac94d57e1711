// Enumerations, sets and basic types of the dataset framework. The numeric
// values are the framework's: datasets test and pass them as numbers.
#pragma once

#include "ClassReg.h"
#include "Classes.h"
#include "DBConsts.h"
#include "Sets.h"
#include "TypInfo.h"

#include <cstdint>
#include <functional>

class TDataSet;
class TDataSource;
class TDataLink;
class TField;
class TFieldDef;
class TFieldDefs;
class TFields;

enum TDataSetState : Byte {
    dsInactive = 0,
    dsBrowse = 1,
    dsEdit = 2,
    dsInsert = 3,
    dsSetKey = 4,
    dsCalcFields = 5,
    dsFilter = 6,
    dsNewValue = 7,
    dsOldValue = 8,
    dsCurValue = 9,
    dsBlockRead = 10,
    dsInternalCalc = 11,
    dsOpening = 12,
};

using TDataSetStates = TSet<TDataSetState>;
inline constexpr TDataSetStates dsEditModes{dsEdit, dsInsert, dsSetKey};
inline constexpr TDataSetStates dsWriteModes{dsEdit,   dsInsert,   dsSetKey,      dsCalcFields,
                                             dsFilter, dsNewValue, dsInternalCalc};

enum TGetMode : Byte { gmCurrent = 0, gmNext = 1, gmPrior = 2 };
enum TGetResult : Byte { grOK = 0, grBOF = 1, grEOF = 2, grError = 3 };

enum TDataEvent : Byte {
    deFieldChange = 0,
    deRecordChange = 1,
    deDataSetChange = 2,
    deDataSetScroll = 3,
    deLayoutChange = 4,
    deUpdateRecord = 5,
    deUpdateState = 6,
    deCheckBrowseMode = 7,
    dePropertyChange = 8,
    deFieldListChange = 9,
    deFocusControl = 10,
    deParentScroll = 11,
};

// The information a data event carries: a TField* for deFieldChange and
// deRecordChange (0 for "the whole record"), the scroll distance for
// deDataSetScroll, a TField** for deFocusControl, otherwise 0.
using TDataEventInfo = std::intptr_t;
inline TDataEventInfo FieldEventInfo(TField* Field) {
    return reinterpret_cast<TDataEventInfo>(Field);
}

enum TResyncModeItem : Byte { rmExact = 0, rmCenter = 1 };
using TResyncMode = TSet<TResyncModeItem>;

enum TBookmarkFlag : Byte { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

enum TDataAction : Byte { daFail = 0, daAbort = 1, daRetry = 2 };

enum TBlobStreamMode : Byte { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };

enum TFieldType : Byte {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftCursor = 22,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
};

// The framework's name of a field type ("String", "Integer", ...).
const char* FieldTypeName(TFieldType Type);

enum TFieldKind : Byte { fkData = 0, fkCalculated = 1, fkLookup = 2, fkInternalCalc = 3, fkAggregate = 4 };
KV_ENUM_TYPEINFO(TFieldKind, "fkData", "fkCalculated", "fkLookup", "fkInternalCalc", "fkAggregate")

enum TFieldAttribute : Byte {
    faHiddenCol = 0,
    faReadonly = 1,
    faRequired = 2,
    faLink = 3,
    faUnNamed = 4,
    faFixed = 5
};
using TFieldAttributes = TSet<TFieldAttribute>;

// Record buffers are raw blocks that the descendant allocates and lays out;
// a bookmark is a block of BookmarkSize bytes from GetBookmark.
using PChar = char*;
using TRecordBuffer = char*;
using TBookmark = void*;

// A field class reference: the metaclass of a TField descendant.
using TFieldClass = const TMetaClass*;

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const AnsiString& Text)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

// Raises EDatabaseError with Message, prefixed "Name: " when Component has a name.
[[noreturn]] void DatabaseError(const AnsiString& Message, const TComponent* Component = nullptr);
// The same with a message of the framework's message unit and its arguments.
[[noreturn]] void DatabaseErrorFmt(const TResStringRec& Message, std::initializer_list<AnsiString> Args,
                                   const TComponent* Component = nullptr);
