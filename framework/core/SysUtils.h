// Exceptions, formatting and string conversions of the framework.
#pragma once

#include "System.h"

#include <exception>
#include <initializer_list>

// Root of the framework's exception family. The message is plain text.
class Exception : public std::exception {
public:
    explicit Exception(AnsiString Msg = AnsiString()) : FMessage(std::move(Msg)) {}
    // Builds the message with Format; use only with a format string written in code.
    static Exception CreateFmt(const AnsiString& Fmt, std::initializer_list<TVarRec> Args);

    const AnsiString& Message() const { return FMessage; }
    void SetMessage(const AnsiString& Msg) { FMessage = Msg; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    AnsiString FMessage;
};

#define FRAMEWORK_EXCEPTION(Name, Base)                                                                      \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
    }

FRAMEWORK_EXCEPTION(EDatabaseError, Exception);
FRAMEWORK_EXCEPTION(EListError, Exception);
FRAMEWORK_EXCEPTION(EStringListError, EListError);
FRAMEWORK_EXCEPTION(EConvertError, Exception);
FRAMEWORK_EXCEPTION(ERangeError, Exception);
FRAMEWORK_EXCEPTION(EOverflow, Exception);
FRAMEWORK_EXCEPTION(EStreamError, Exception);
FRAMEWORK_EXCEPTION(EInvalidOperation, Exception);
FRAMEWORK_EXCEPTION(EComponentError, Exception);
FRAMEWORK_EXCEPTION(EOutOfResources, Exception);
// The silent exception: it ends an operation without a message to the user.
FRAMEWORK_EXCEPTION(EAbort, Exception);
[[noreturn]] inline void Abort() { throw EAbort("Operation aborted"); }

// The framework's Format: %[index:][-][width][.precision]type with the types
// d u x s f g e n m p and %%. A mismatch of type and argument, or a missing
// argument, raises EConvertError.
AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args);

// Replaces each "%s" of Text by Arg and leaves every other character as it
// stands: message texts loaded at run time are never interpreted as formats.
AnsiString SubstituteArg(const AnsiString& Text, const AnsiString& Arg);

// Text of one argument as "%s" shows it.
AnsiString VarRecToString(const TVarRec& V);

AnsiString IntToStr(Int64 Value);
AnsiString IntToHex(Int64 Value, int Digits);
// Decimal, or hexadecimal with "$" or "0x"; an optional sign; leading blanks
// allowed; anything else raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const AnsiString& S);
Int64 StrToInt64(const AnsiString& S);
int StrToIntDef(const AnsiString& S, int Default);
bool TryStrToInt(const AnsiString& S, int& Value);
bool TryStrToInt64(const AnsiString& S, Int64& Value);

AnsiString FloatToStr(double Value);
double StrToFloat(const AnsiString& S); // '.' as decimal separator
bool TryStrToFloat(const AnsiString& S, double& Value);
AnsiString CurrToStr(Currency Value);
Currency StrToCurr(const AnsiString& S);

// Trim removes characters up to and including blank (code 32) from both ends.
AnsiString Trim(const AnsiString& S);
AnsiString TrimLeft(const AnsiString& S);
AnsiString TrimRight(const AnsiString& S);

// Case mapping is ASCII only: deterministic whatever the locale.
AnsiString UpperCase(const AnsiString& S);
AnsiString LowerCase(const AnsiString& S);
inline AnsiString AnsiUpperCase(const AnsiString& S) { return UpperCase(S); }
inline AnsiString AnsiLowerCase(const AnsiString& S) { return LowerCase(S); }
int CompareText(const AnsiString& A, const AnsiString& B); // case-insensitive, <0, 0, >0
bool SameText(const AnsiString& A, const AnsiString& B);
inline int AnsiCompareText(const AnsiString& A, const AnsiString& B) { return CompareText(A, B); }
inline bool AnsiSameText(const AnsiString& A, const AnsiString& B) { return SameText(A, B); }

// Encloses S in Quote and doubles every Quote inside.
AnsiString AnsiQuotedStr(const AnsiString& S, char Quote);
inline AnsiString QuotedStr(const AnsiString& S) { return AnsiQuotedStr(S, '\''); }
// S must start with Quote: returns the value up to the closing quote with
// doubled quotes reduced to one; an unterminated value runs to the end.
// Text that does not start with Quote gives an empty result.
AnsiString AnsiExtractQuotedStr(const AnsiString& S, char Quote);
// Removes enclosing quotes when S starts with Quote, else returns S.
AnsiString AnsiDequotedStr(const AnsiString& S, char Quote);

// Appends code point C to S in UTF-8; a surrogate or a value beyond U+10FFFF
// appends U+FFFD.
void AppendUtf8(AnsiString& S, char32_t C);

// 1-based position of Sub in S, 0 when absent.
int Pos(const AnsiString& Sub, const AnsiString& S);
AnsiString StringReplaceAll(const AnsiString& S, const AnsiString& Old, const AnsiString& New);

// Folders
// Makes Path a folder of this process's user that nobody else may enter,
// or accepts one that is already that; false for anything else (a link, a
// file, another user's folder).
bool MakePrivateFolder(const AnsiString& Path);
