// Errors of the database layer. Failures reported by the engine carry its
// SQLCODE, its error code (the first code of the status vector) and its
// message text; failures found by the layer itself name what is wrong.
#pragma once

#include "IBHeader.h"

class EIBError : public EDatabaseError {
public:
    EIBError(long SQLCode, const AnsiString& Msg) : EDatabaseError(Msg), FSQLCode(SQLCode) {}
    EIBError(long SQLCode, long IBErrorCode, const AnsiString& Msg)
        : EDatabaseError(Msg), FSQLCode(SQLCode), FIBErrorCode(IBErrorCode) {}

    long GetSQLCode() const { return FSQLCode; }
    long GetIBErrorCode() const { return FIBErrorCode; }

private:
    long FSQLCode = 0;
    long FIBErrorCode = 0;
};

// An error of the engine or of the connection to it.
class EIBInterBaseError : public EIBError {
public:
    using EIBError::EIBError;
};

// What the layer itself refuses, before or instead of asking the engine.
enum class TIBClientError {
    LibraryNotLoaded,
    DatabaseNotAssigned,
    TransactionNotAssigned,
    DatabaseClosed,
    DatabaseOpen,
    DatabaseNameMissing,
    NotInTransaction,
    InTransaction,
    NoDatabasesInTransaction,
    EmptyQuery,
    CursorOpen,
    CursorClosed,
    NotPrepared,
    NotPermitted,
    FieldNotFound,
    InvalidDataConversion,
    ValueOutOfRange,
    DPBConstantUnknown,
    TPBConstantUnknown,
    InvalidSQLDialect,
    BlobCannotBeRead,
    BlobCannotBeWritten,
};

class EIBClientError : public EIBError {
public:
    EIBClientError(TIBClientError Code, const AnsiString& Msg) : EIBError(0, Msg), FCode(Code) {}
    TIBClientError GetClientError() const { return FCode; }

private:
    TIBClientError FCode;
};

[[noreturn]] void IBError(TIBClientError Code, const AnsiString& Msg);

// Raises EIBInterBaseError from a status vector that reports an error.
[[noreturn]] void IBDataBaseError(const ISC_STATUS* StatusVector);

// The engine's message text of a status vector, its lines joined by "\n".
AnsiString IBStatusText(const ISC_STATUS* StatusVector);

// Raises from the status vector when Status reports an error; returns it otherwise.
inline ISC_STATUS IBCheck(ISC_STATUS Status, const ISC_STATUS* StatusVector) {
    if (Status != 0 && StatusVector[0] == 1 && StatusVector[1] != 0) IBDataBaseError(StatusVector);
    return Status;
}
