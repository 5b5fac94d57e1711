// The scrollable dataset over InterBase-family databases and its companion
// classes.
#pragma once

#include "Ibconstkv.h"
#include "SysUtils.h"

#include <initializer_list>

// The dataset's error codes; each has one message in Ibconstkv, in this order.
enum TIBRVError : Byte {
    rveEmptyQuery = 0,
    rveBmRecMismatch = 1,
    rveFieldNotFound = 2,
    rveRecordNotFound = 3,
    rveFieldTypeMismatch = 4,
    rveFieldSizeMismatch = 5,
    rveNoWriteMode = 6,
    rveBCDConvertError = 7,
    rveCannotDelete = 8,
    rveCannotUpdate = 9,
    rveDatasetOpen = 10,
    rveDatabaseNotAssigned = 11,
    rveTransactionNotAssigned = 12,
    rveExactPkeySearch = 13,
    rvePartialPkeySearch = 14,
    rveEmptyDataset = 15,
    rveNoSetKeyMode = 16,
    rveFieldTypeNoSupport = 17,
    rveKeyColumnsMissing = 18,
    rveNoSortOrder = 19,
    rveInvalidSortColCount = 20,
    rveParamNotFound = 21,
    rveInvalidModifySQL = 22,
    rveInvalidInsertSQL = 23,
    rveTableNameEmpty = 24,
    rveFieldCannotModify = 25,
    rveFieldNoBlobType = 26,
    rveInvalidOrderByClause = 27,
    rveOrderItemsIncomplete = 28,
    rveInvalidOrderItemId = 29,
    rveGeneratorIncomplete = 30,
    rveInvalidBlobStreamHandle = 31,
    rveNoRowvaneField = 32,
};

// The one exception class of the dataset and its companions. The message is
// the code's text, looked up when the exception is built (so a language
// bound at run time takes effect), with the argument, when one is given, put
// in place of "%s". Nothing else in the text is interpreted.
class EIBRVError : public EDatabaseError {
public:
    explicit EIBRVError(TIBRVError Code, std::initializer_list<TVarRec> Args = {});

    TIBRVError ErrorCode;
};
