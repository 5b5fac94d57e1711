#include "IBSQL.h"

#include "IBBlob.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int MaxParamLength = 32767; // the descriptor's data length is 16-bit

// The engine's numbers of the character sets whose text is UTF-8.
constexpr int CharSetUnicodeFSS = 3;
constexpr int CharSetUTF8 = 4;

// Day number of 17 November 1858 (the client's day 0) in the time stamp form.
constexpr int ISCDateDelta = DateDelta - 15018;
constexpr int MinTimeStampDate = 1;       // 1 January 1
constexpr int MaxTimeStampDate = 3652059; // 31 December 9999

// The unscaled value of a SHORT, LONG or INT64 column's data.
Int64 ReadInteger(int SQLType, const char* Data) {
    if (SQLType == SQL_SHORT) {
        ISC_SHORT x;
        std::memcpy(&x, Data, sizeof x);
        return x;
    }
    if (SQLType == SQL_LONG) {
        ISC_LONG x;
        std::memcpy(&x, Data, sizeof x);
        return x;
    }
    Int64 x;
    std::memcpy(&x, Data, sizeof x);
    return x;
}

Int64 Power10(int n) {
    Int64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Exact decimal text of a scaled integer.
AnsiString ScaledToString(Int64 Raw, int Scale) {
    if (Scale >= 0) {
        AnsiString s = IntToStr(Raw);
        if (Raw != 0) s.append(static_cast<size_t>(Scale), '0');
        return s;
    }
    bool negative = Raw < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(Raw) : static_cast<uint64_t>(Raw);
    AnsiString digits = std::to_string(magnitude);
    size_t decimals = static_cast<size_t>(-Scale);
    if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
    digits.insert(digits.size() - decimals, 1, '.');
    return negative ? "-" + digits : digits;
}

// Integer part of a scaled integer, truncated toward zero.
Int64 ScaledTrunc(Int64 Raw, int Scale) {
    if (Scale >= 0) return Raw * Power10(Scale);
    if (Scale < -18) return 0;
    return Raw / Power10(-Scale);
}

// The double nearest to Raw x 10^Scale. Raw and a power of ten up to 10^22
// are exact doubles, so one division or product rounds once, correctly;
// anything else is read from the exact decimal text, which from_chars
// rounds correctly too (multiplying by pow(10, Scale) rounds twice).
double ScaledToDouble(Int64 Raw, int Scale) {
    constexpr Int64 ExactLimit = Int64{1} << 53;
    static constexpr double Powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (Raw > -ExactLimit && Raw < ExactLimit && Scale >= -22 && Scale <= 22) {
        double raw = static_cast<double>(Raw);
        return Scale < 0 ? raw / Powers[-Scale] : raw * Powers[Scale];
    }
    AnsiString text = ScaledToString(Raw, Scale);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Raw (10^From units) as a count of 10^To units; false when it does not fit.
bool Rescale(Int64 Raw, int From, int To, Int64& Result) {
    if (From == To) {
        Result = Raw;
        return true;
    }
    if (From > To) { // fewer decimals than asked for: exact, if it fits
        int shift = From - To;
        return shift <= 18 && !__builtin_mul_overflow(Raw, Power10(shift), &Result);
    }
    int shift = To - From;
    if (shift > 18) {
        Result = 0;
        return true;
    }
    Int64 div = Power10(shift);
    Int64 q = Raw / div, r = Raw % div;
    if (2 * (r < 0 ? -r : r) >= div) q += Raw < 0 ? -1 : 1; // half away from zero
    Result = q;
    return true;
}

// The client's TIME: 1/10000 s since midnight, below one day.
constexpr ISC_TIME ISCTimePerDay = 864000000;

bool DoubleFitsInt64(double v) {
    return v >= -9223372036854775808.0 && v < 9223372036854775808.0;
}

AnsiString FloatText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

ISC_QUAD ZeroQuad() {
    ISC_QUAD q;
    std::memset(&q, 0, sizeof q);
    return q;
}

} // namespace

// ---------------------------------------------------------------------------
// TIBXSQLVAR

TIBXSQLVAR::TIBXSQLVAR(TIBXSQLDA* Parent, int Index) : FParent(Parent), FIndex(Index) {}

XSQLVAR* TIBXSQLVAR::GetSqlVar() const {
    return &reinterpret_cast<XSQLDA*>(FParent->FBlock.get())->sqlvar[FIndex];
}

int TIBXSQLVAR::GetSQLType() const {
    return GetSqlVar()->sqltype & ~1;
}
int TIBXSQLVAR::GetSQLScale() const {
    return GetSqlVar()->sqlscale;
}
int TIBXSQLVAR::GetSQLSubtype() const {
    return GetSqlVar()->sqlsubtype;
}
int TIBXSQLVAR::GetSize() const {
    return GetSqlVar()->sqllen;
}
int TIBXSQLVAR::GetCharSize() const {
    int type = GetSQLType();
    if (type != SQL_TEXT && type != SQL_VARYING) return 1;
    switch (GetSQLSubtype() & 0xFF) { // the character set; a collation would stand above it
    case CharSetUnicodeFSS:
        return 3;
    case CharSetUTF8:
        return 4;
    default:
        return 1;
    }
}

char* TIBXSQLVAR::GetData() const {
    return GetSqlVar()->sqldata;
}

AnsiString TIBXSQLVAR::GetSQLName() const {
    XSQLVAR* v = GetSqlVar();
    return AnsiString(v->sqlname,
                      static_cast<size_t>(std::max<short>(0, std::min<short>(v->sqlname_length, 32))));
}
AnsiString TIBXSQLVAR::GetRelName() const {
    XSQLVAR* v = GetSqlVar();
    return AnsiString(v->relname,
                      static_cast<size_t>(std::max<short>(0, std::min<short>(v->relname_length, 32))));
}
AnsiString TIBXSQLVAR::GetOwnName() const {
    XSQLVAR* v = GetSqlVar();
    return AnsiString(v->ownname,
                      static_cast<size_t>(std::max<short>(0, std::min<short>(v->ownname_length, 32))));
}
AnsiString TIBXSQLVAR::GetAliasName() const {
    XSQLVAR* v = GetSqlVar();
    return AnsiString(v->aliasname,
                      static_cast<size_t>(std::max<short>(0, std::min<short>(v->aliasname_length, 32))));
}

AnsiString TIBXSQLVAR::Describe() const {
    AnsiString what = FParent->IsInput() ? "parameter" : "column";
    if (FName.empty()) return what + " " + IntToStr(FIndex + 1);
    return what + " " + FName;
}

void TIBXSQLVAR::ConversionError(const char* Target) const {
    IBError(TIBClientError::InvalidDataConversion, "Invalid data conversion: " + Describe() +
                                                       " of SQL type " + IntToStr(GetSQLType()) +
                                                       " cannot be read as " + Target);
}

void TIBXSQLVAR::RangeError(const AnsiString& Value, const char* Target) const {
    IBError(TIBClientError::ValueOutOfRange,
            "Value " + Value + " of " + Describe() + " is out of the range of " + Target);
}

void TIBXSQLVAR::Allocate() {
    XSQLVAR* v = GetSqlVar();
    int type = v->sqltype & ~1;
    size_t size = static_cast<size_t>(std::max<short>(v->sqllen, 0));
    if (type == SQL_VARYING) size += 2;
    if (size == 0) size = 1; // keep a valid address
    FData.assign(size, 0);
    v->sqldata = FData.data();
    v->sqlind = &FNullIndicator;
}

void TIBXSQLVAR::SetType(int SQLType, int Length, int Scale) {
    XSQLVAR* v = GetSqlVar();
    v->sqltype = static_cast<short>(SQLType | (v->sqltype & 1));
    v->sqllen = static_cast<short>(Length);
    v->sqlscale = static_cast<short>(Scale);
    if (SQLType != SQL_TEXT && SQLType != SQL_VARYING && SQLType != SQL_BLOB) v->sqlsubtype = 0;
    Allocate();
}

void TIBXSQLVAR::ClearNull() {
    FNullIndicator = 0;
    FModified = true;
}

template <class F> void TIBXSQLVAR::ForSameName(F f) {
    if (FName.empty()) {
        f(*this);
        return;
    }
    for (auto& v : FParent->FVars)
        if (v->FName == FName) f(*v);
}

bool TIBXSQLVAR::GetIsNull() const {
    return GetIsNullable() && FNullIndicator == -1;
}

bool TIBXSQLVAR::GetIsNullable() const {
    return (GetSqlVar()->sqltype & 1) != 0;
}

void TIBXSQLVAR::SetIsNullable(bool Value) {
    XSQLVAR* v = GetSqlVar();
    if (Value) {
        v->sqltype = static_cast<short>(v->sqltype | 1);
    } else {
        v->sqltype = static_cast<short>(v->sqltype & ~1);
        FNullIndicator = 0;
    }
    v->sqlind = &FNullIndicator;
}

void TIBXSQLVAR::SetIsNull(bool Value) {
    ForSameName([Value](TIBXSQLVAR& v) {
        if (Value) {
            v.SetIsNullable(true);
            v.FNullIndicator = -1;
        } else {
            v.FNullIndicator = 0;
        }
        v.FModified = true;
    });
}

int TIBXSQLVAR::GetAsLong() const {
    if (GetIsNull()) return 0;
    Int64 v = GetAsInt64();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        RangeError(IntToStr(v), "a 32-bit integer");
    return static_cast<int>(v);
}

Int64 TIBXSQLVAR::GetAsInt64() const {
    if (GetIsNull()) return 0;
    const char* d = GetData();
    int scale = GetSQLScale();
    switch (GetSQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return ScaledTrunc(ReadInteger(GetSQLType(), d), scale);
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double x = GetAsDouble();
        if (std::isnan(x) || !DoubleFitsInt64(std::trunc(x))) RangeError(FloatText(x), "a 64-bit integer");
        return static_cast<Int64>(std::trunc(x));
    }
    case SQL_TEXT:
    case SQL_VARYING: {
        AnsiString s = Trim(GetAsString());
        Int64 x = 0;
        if (!TryStrToInt64(s, x)) ConversionError("an integer");
        return x;
    }
    default:
        ConversionError("an integer");
    }
}

double TIBXSQLVAR::GetAsDouble() const {
    if (GetIsNull()) return 0;
    const char* d = GetData();
    switch (GetSQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        Int64 raw = ReadInteger(GetSQLType(), d);
        return ScaledToDouble(raw, GetSQLScale());
    }
    case SQL_FLOAT:
    case SQL_D_FLOAT:
        if (GetSize() == sizeof(float)) {
            float x;
            std::memcpy(&x, d, sizeof x);
            return x;
        }
        [[fallthrough]];
    case SQL_DOUBLE: {
        double x;
        std::memcpy(&x, d, sizeof x);
        return x;
    }
    case SQL_TEXT:
    case SQL_VARYING: {
        double x = 0;
        if (!TryStrToFloat(Trim(GetAsString()), x)) ConversionError("a floating point number");
        return x;
    }
    default:
        ConversionError("a floating point number");
    }
}

Currency TIBXSQLVAR::GetAsCurrency() const {
    if (GetIsNull()) return Currency();
    const char* d = GetData();
    switch (GetSQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        Int64 raw = ReadInteger(GetSQLType(), d);
        int scale = GetSQLScale();
        int shift = 4 + scale; // decimal places to add to reach four
        if (shift >= 0) {
            Int64 result = 0;
            if (shift > 18 || __builtin_mul_overflow(raw, Power10(shift), &result))
                RangeError(ScaledToString(raw, scale), "Currency");
            return Currency::FromRaw(result);
        }
        if (-shift > 18) return Currency();
        Int64 div = Power10(-shift);
        Int64 q = raw / div, r = raw % div;
        if (2 * (r < 0 ? -r : r) >= div) q += raw < 0 ? -1 : 1; // half away from zero
        return Currency::FromRaw(q);
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double x = GetAsDouble();
        if (std::isnan(x) || std::fabs(x) >= 922337203685477.5807) RangeError(FloatText(x), "Currency");
        return Currency::FromDouble(x);
    }
    case SQL_TEXT:
    case SQL_VARYING:
        break;
    default:
        ConversionError("Currency");
    }
    try {
        return StrToCurr(Trim(GetAsString()));
    } catch (const Exception&) {
        ConversionError("Currency");
    }
}

TDateTime TIBXSQLVAR::GetAsDateTime() const {
    if (GetIsNull()) return 0;
    const char* d = GetData();
    TTimeStamp ts;
    switch (GetSQLType()) {
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP x;
        std::memcpy(&x, d, sizeof x);
        ts.Date = x.timestamp_date + ISCDateDelta;
        ts.Time = static_cast<int>(x.timestamp_time / 10);
        break;
    }
    case SQL_TYPE_DATE: {
        ISC_DATE x;
        std::memcpy(&x, d, sizeof x);
        ts.Date = x + ISCDateDelta;
        ts.Time = 0;
        break;
    }
    case SQL_TYPE_TIME: {
        ISC_TIME x;
        std::memcpy(&x, d, sizeof x);
        ts.Date = DateDelta; // the time alone: day 0 of TDateTime
        ts.Time = static_cast<int>(x / 10);
        break;
    }
    default:
        ConversionError("a date and time");
    }
    return TimeStampToDateTime(ts);
}

Int64 TIBXSQLVAR::GetAsScaled(int Scale) const {
    if (GetIsNull()) return 0;
    switch (GetSQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        Int64 raw = ReadInteger(GetSQLType(), GetData()), result;
        if (!Rescale(raw, GetSQLScale(), Scale, result))
            RangeError(ScaledToString(raw, GetSQLScale()), "a 64-bit integer of its scale");
        return result;
    }
    default:
        ConversionError("a scaled integer");
    }
}

ISC_TIMESTAMP TIBXSQLVAR::GetAsISCTimeStamp() const {
    ISC_TIMESTAMP x{};
    if (GetIsNull()) return x;
    switch (GetSQLType()) {
    case SQL_TIMESTAMP:
        std::memcpy(&x, GetData(), sizeof x);
        return x;
    case SQL_TYPE_DATE:
        std::memcpy(&x.timestamp_date, GetData(), sizeof x.timestamp_date);
        return x;
    default:
        ConversionError("a time stamp");
    }
}

ISC_TIME TIBXSQLVAR::GetAsISCTime() const {
    if (GetIsNull()) return 0;
    switch (GetSQLType()) {
    case SQL_TYPE_TIME: {
        ISC_TIME x;
        std::memcpy(&x, GetData(), sizeof x);
        return x;
    }
    case SQL_TIMESTAMP:
        return GetAsISCTimeStamp().timestamp_time;
    default:
        ConversionError("a time");
    }
}

AnsiString TIBXSQLVAR::GetAsString() const {
    if (GetIsNull()) return AnsiString();
    const char* d = GetData();
    switch (GetSQLType()) {
    case SQL_TEXT: {
        AnsiString s(d, static_cast<size_t>(std::max(0, GetSize())));
        size_t end = s.find_last_not_of(' ');
        s.resize(end == AnsiString::npos ? 0 : end + 1);
        return s;
    }
    case SQL_VARYING: {
        int len = isc_vax_integer(d, 2);
        len = std::max(0, std::min(len, GetSize()));
        return AnsiString(d + 2, static_cast<size_t>(len));
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        Int64 raw = ReadInteger(GetSQLType(), d);
        return ScaledToString(raw, GetSQLScale());
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return FloatToStr(GetAsDouble());
    case SQL_TYPE_DATE:
        return DateToStr(GetAsDateTime());
    case SQL_TYPE_TIME:
        return TimeToStr(GetAsDateTime());
    case SQL_TIMESTAMP:
        return DateTimeToStr(GetAsDateTime());
    case SQL_BLOB: {
        TIBSQL* q = FParent->GetQuery();
        TIBBlobStream blob;
        blob.SetDatabase(q->GetDatabase());
        blob.SetTransaction(q->GetTransaction());
        blob.SetBlobID(GetAsQuad());
        blob.SetMode(bmRead);
        AnsiString s(static_cast<size_t>(blob.GetSize()), '\0');
        if (!s.empty()) blob.ReadBuffer(s.data(), static_cast<int>(s.size()));
        return s;
    }
    default:
        ConversionError("a string");
    }
}

ISC_QUAD TIBXSQLVAR::GetAsQuad() const {
    if (GetIsNull()) return ZeroQuad();
    switch (GetSQLType()) {
    case SQL_BLOB:
    case SQL_ARRAY:
    case SQL_QUAD: {
        ISC_QUAD q;
        std::memcpy(&q, GetData(), sizeof q);
        return q;
    }
    default:
        ConversionError("a blob id");
    }
}

void TIBXSQLVAR::SetAsLong(int Value) {
    ForSameName([Value](TIBXSQLVAR& v) {
        v.SetType(SQL_LONG, sizeof(ISC_LONG), 0);
        ISC_LONG x = Value;
        std::memcpy(v.GetData(), &x, sizeof x);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsInt64(Int64 Value) {
    ForSameName([Value](TIBXSQLVAR& v) {
        v.SetType(SQL_INT64, sizeof(ISC_INT64), 0);
        ISC_INT64 x = Value;
        std::memcpy(v.GetData(), &x, sizeof x);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsDouble(double Value) {
    if (!std::isfinite(Value)) RangeError(FloatText(Value), "a finite number");
    ForSameName([Value](TIBXSQLVAR& v) {
        v.SetType(SQL_DOUBLE, sizeof(double), 0);
        std::memcpy(v.GetData(), &Value, sizeof Value);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsCurrency(Currency Value) {
    ForSameName([Value](TIBXSQLVAR& v) {
        v.SetType(SQL_INT64, sizeof(ISC_INT64), -4);
        ISC_INT64 x = Value.Raw();
        std::memcpy(v.GetData(), &x, sizeof x);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsDateTime(TDateTime Value) {
    if (std::isnan(Value) || Value < -693593.0 || Value >= 2958466.0)
        RangeError(FloatText(Value), "dates (years 1 to 9999)");
    TTimeStamp ts = DateTimeToTimeStamp(Value);
    if (ts.Date < MinTimeStampDate || ts.Date > MaxTimeStampDate)
        RangeError(FloatText(Value), "dates (years 1 to 9999)");
    ISC_TIMESTAMP x;
    x.timestamp_date = ts.Date - ISCDateDelta;
    x.timestamp_time = static_cast<ISC_TIME>(ts.Time) * 10;
    ForSameName([&x](TIBXSQLVAR& v) {
        v.SetType(SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP), 0);
        std::memcpy(v.GetData(), &x, sizeof x);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsScaled(Int64 Value, int Scale) {
    ForSameName([Value, Scale](TIBXSQLVAR& v) {
        v.SetType(SQL_INT64, sizeof(ISC_INT64), Scale);
        ISC_INT64 x = Value;
        std::memcpy(v.GetData(), &x, sizeof x);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsISCTimeStamp(const ISC_TIMESTAMP& Value) {
    if (Value.timestamp_date < MinTimeStampDate - ISCDateDelta ||
        Value.timestamp_date > MaxTimeStampDate - ISCDateDelta || Value.timestamp_time >= ISCTimePerDay)
        RangeError(IntToStr(Value.timestamp_date) + "/" + IntToStr(Value.timestamp_time),
                   "time stamps (years 1 to 9999)");
    ForSameName([&Value](TIBXSQLVAR& v) {
        v.SetType(SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP), 0);
        std::memcpy(v.GetData(), &Value, sizeof Value);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsISCTime(ISC_TIME Value) {
    if (Value >= ISCTimePerDay) RangeError(IntToStr(Value), "times of day");
    ForSameName([Value](TIBXSQLVAR& v) {
        v.SetType(SQL_TYPE_TIME, sizeof(ISC_TIME), 0);
        std::memcpy(v.GetData(), &Value, sizeof Value);
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsString(const AnsiString& Value) {
    if (GetSQLType() == SQL_BLOB) {
        // The contents go into a new blob; the parameter takes its id.
        TIBSQL* q = FParent->GetQuery();
        TIBBlobStream blob;
        blob.SetDatabase(q->GetDatabase());
        blob.SetTransaction(q->GetTransaction());
        blob.SetMode(bmWrite);
        if (!Value.empty()) blob.WriteBuffer(Value.data(), static_cast<int>(Value.size()));
        blob.Finalize();
        SetAsQuad(blob.GetBlobID());
        return;
    }
    if (Value.size() > static_cast<size_t>(MaxParamLength))
        RangeError("of " + IntToStr(static_cast<Int64>(Value.size())) + " bytes",
                   "a text parameter (32767 bytes)");
    ForSameName([&Value](TIBXSQLVAR& v) {
        int type = v.GetSQLType();
        if (type != SQL_TEXT && type != SQL_VARYING)
            v.GetSqlVar()->sqlsubtype = 0; // no character set of its own
        v.SetType(SQL_TEXT, static_cast<int>(Value.size()), 0);
        if (!Value.empty()) std::memcpy(v.GetData(), Value.data(), Value.size());
        v.ClearNull();
    });
}

void TIBXSQLVAR::SetAsQuad(const ISC_QUAD& Value) {
    int type = GetSQLType();
    if (type != SQL_BLOB && type != SQL_ARRAY && type != SQL_QUAD)
        IBError(TIBClientError::InvalidDataConversion, "Invalid data conversion: " + Describe() +
                                                           " of SQL type " + IntToStr(type) +
                                                           " takes no blob id");
    ForSameName([&Value](TIBXSQLVAR& v) {
        int t = v.GetSQLType();
        if (t != SQL_BLOB && t != SQL_ARRAY && t != SQL_QUAD) t = SQL_BLOB;
        XSQLVAR* sv = v.GetSqlVar();
        short subtype = sv->sqlsubtype;
        v.SetType(t, sizeof(ISC_QUAD), 0);
        sv->sqlsubtype = subtype;
        std::memcpy(v.GetData(), &Value, sizeof Value);
        v.ClearNull();
    });
}

void TIBXSQLVAR::Assign(const TIBXSQLVAR& Source) {
    if (&Source == this) return;
    if (Source.GetIsNull()) {
        SetIsNull(true);
        return;
    }
    const XSQLVAR* src = Source.GetSqlVar();
    int type = src->sqltype & ~1;
    size_t size = static_cast<size_t>(std::max<short>(src->sqllen, 0));
    if (type == SQL_VARYING) size += 2;
    ForSameName([&](TIBXSQLVAR& v) {
        if (&v == &Source) return;
        XSQLVAR* dst = v.GetSqlVar();
        dst->sqltype = static_cast<short>(type | (dst->sqltype & 1));
        dst->sqllen = src->sqllen;
        dst->sqlscale = src->sqlscale;
        dst->sqlsubtype = src->sqlsubtype;
        v.Allocate();
        std::memcpy(v.GetData(), src->sqldata, std::min(size, v.FData.size()));
        v.ClearNull();
    });
}

// ---------------------------------------------------------------------------
// TIBXSQLDA

TIBXSQLDA::TIBXSQLDA(TIBSQL* Query, bool Input) : FQuery(Query), FInput(Input) {}

void TIBXSQLDA::SetCount(int Value) {
    if (Value < 0) Value = 0;
    // Rebuild the block; variables keep their objects but lose their buffers.
    FVars.resize(static_cast<size_t>(Value));
    int n = std::max(Value, 1);
    FBlock = std::make_unique<char[]>(XSQLDA_LENGTH(n));
    std::memset(FBlock.get(), 0, XSQLDA_LENGTH(n));
    auto* da = reinterpret_cast<XSQLDA*>(FBlock.get());
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(n);
    for (int i = 0; i < Value; ++i) {
        if (!FVars[static_cast<size_t>(i)])
            FVars[static_cast<size_t>(i)] = std::make_unique<TIBXSQLVAR>(this, i);
        FVars[static_cast<size_t>(i)]->FData.clear();
        FVars[static_cast<size_t>(i)]->FName.clear();
    }
}

void TIBXSQLDA::Initialize(const std::vector<AnsiString>& Names) {
    for (size_t i = 0; i < FVars.size(); ++i) {
        TIBXSQLVAR& v = *FVars[i];
        v.Allocate();
        v.FModified = false;
        if (FInput) {
            v.FName = i < Names.size() ? Names[i] : AnsiString();
            // A parameter nobody set is NULL, not a zero.
            v.SetIsNullable(true);
            v.FNullIndicator = -1;
        } else {
            v.FName = v.GetAliasName();
            v.FNullIndicator = 0;
        }
    }
}

TIBXSQLVAR* TIBXSQLDA::GetXSQLVAR(int Index) const {
    if (Index < 0 || Index >= GetCount())
        IBError(TIBClientError::FieldNotFound, AnsiString(FInput ? "Parameter" : "Field") + " index " +
                                                   IntToStr(Index) + " is out of range (count " +
                                                   IntToStr(GetCount()) + ")");
    return FVars[static_cast<size_t>(Index)].get();
}

AnsiString TIBXSQLDA::NormaliseName(const AnsiString& Name) const {
    return ExtractIdentifier(FQuery->GetSQLDialect(), Name);
}

TIBXSQLVAR* TIBXSQLDA::GetXSQLVARByName(const AnsiString& Name) const {
    AnsiString n = NormaliseName(Name);
    for (const auto& v : FVars)
        if (!v->FName.empty() && v->FName == n) return v.get();
    return nullptr;
}

TIBXSQLVAR* TIBXSQLDA::ByName(const AnsiString& Name) const {
    TIBXSQLVAR* v = GetXSQLVARByName(Name);
    if (!v)
        IBError(TIBClientError::FieldNotFound,
                AnsiString(FInput ? "Parameter" : "Field") + " \"" + Name + "\" not found");
    return v;
}

AnsiString TIBXSQLDA::GetNames() const {
    AnsiString s;
    for (const auto& v : FVars)
        s += v->FName + "\r\n";
    return s;
}

bool TIBXSQLDA::GetModified() const {
    for (const auto& v : FVars)
        if (v->FModified) return true;
    return false;
}

// ---------------------------------------------------------------------------
// TIBSQL

KV_PUBLISHED_METACLASS(TIBSQL, nullptr)

void TIBSQL::Publish(TPublisher<TIBSQL>& P) {
    P.Prop("Database", &TIBSQL::GetDatabase, &TIBSQL::SetDatabase);
    P.Prop("GoToFirstRecordOnExecute", &TIBSQL::GetGoToFirstRecordOnExecute,
           &TIBSQL::SetGoToFirstRecordOnExecute)
        .Default(true);
    P.Prop("ParamCheck", &TIBSQL::GetParamCheck, &TIBSQL::SetParamCheck).Default(true);
    P.Prop("SQL", &TIBSQL::GetSQL, &TIBSQL::SetSQL);
    P.Prop("Transaction", &TIBSQL::GetTransaction, &TIBSQL::SetTransaction);
}

namespace {

// Known by name for form descriptions while this code is loaded.
class TIBSQLClassRegistration {
public:
    TIBSQLClassRegistration() { RegisterClass(&TIBSQL::ClassInfo()); }
    ~TIBSQLClassRegistration() { UnRegisterClass(&TIBSQL::ClassInfo()); }
    TIBSQLClassRegistration(const TIBSQLClassRegistration&) = delete;
    TIBSQLClassRegistration& operator=(const TIBSQLClassRegistration&) = delete;
};

const TIBSQLClassRegistration IBSQLClassRegistration;

} // namespace

TIBSQL::TIBSQL(TComponent* AOwner) : TComponent(AOwner) {
    CheckIBLoaded();
    FBase = std::make_unique<TIBBase>(this);
    FBase->BeforeDatabaseDisconnect = [this](TObject*) { FreeHandle(); };
    FBase->BeforeTransactionEnd = [this](TObject*) {
        if (FOpen) Close();
    };
    FSQL = std::make_unique<TStringList>();
    FSQL->OnChanging = [this](TObject*) { SQLChanging(); };
    FSQLParams = std::make_unique<TIBXSQLDA>(this, true);
    FSQLRecord = std::make_unique<TIBXSQLDA>(this, false);
}

TIBSQL::~TIBSQL() {
    Destroying();
    FreeHandle();
    FBase.reset();
}

void TIBSQL::SetDatabase(TIBDatabase* Value) {
    if (Value == FBase->GetDatabase()) return;
    FreeHandle(); // the handle belongs to the old attachment
    FBase->SetDatabase(Value);
}

void TIBSQL::SetTransaction(TIBTransaction* Value) {
    if (Value == FBase->GetTransaction()) return;
    if (FOpen) Close();
    FBase->SetTransaction(Value);
}

void TIBSQL::SetParamCheck(bool Value) {
    if (Value == FParamCheck) return;
    FreeHandle();
    FParamCheck = Value;
}

void TIBSQL::SQLChanging() {
    if (OnSQLChanging) OnSQLChanging(this);
    FreeHandle();
}

int TIBSQL::GetSQLDialect() const {
    TIBDatabase* db = FBase->GetDatabase();
    return db ? db->GetSQLDialect() : 3;
}

void TIBSQL::CheckClosed() const {
    if (FOpen) IBError(TIBClientError::CursorOpen, "The statement's cursor is open");
}

void TIBSQL::CursorNotOpen() {
    IBError(TIBClientError::CursorClosed, "The statement's cursor is not open");
}

void TIBSQL::CheckValidStatement() const {
    if (!FPrepared || !FHandle) IBError(TIBClientError::NotPrepared, "The statement is not prepared");
}

TIBXSQLVAR* TIBSQL::GetFields(int Index) const {
    return FSQLRecord->GetXSQLVAR(Index);
}

TIBXSQLDA* TIBSQL::GetSQLParams() {
    if (!FPrepared) Prepare();
    return FSQLParams.get();
}

namespace {
bool IsParamChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}
} // namespace

void TIBSQL::PreprocessSQL(const AnsiString& Text, std::vector<AnsiString>& Names) {
    AnsiString out;
    out.reserve(Text.size());
    int dialect = GetSQLDialect();
    size_t i = 0, n = Text.size();
    while (i < n) {
        char c = Text[i];
        if (c == '\'' || c == '"') {
            // A string literal or a quoted identifier, with doubled quotes inside.
            size_t j = i + 1;
            while (j < n) {
                if (Text[j] == c) {
                    if (j + 1 < n && Text[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            size_t end = j < n ? j + 1 : n;
            out.append(Text, i, end - i);
            i = end;
        } else if (c == '-' && i + 1 < n && Text[i + 1] == '-') {
            size_t j = Text.find('\n', i);
            size_t end = j == AnsiString::npos ? n : j;
            out.append(Text, i, end - i);
            i = end;
        } else if (c == '/' && i + 1 < n && Text[i + 1] == '*') {
            size_t j = Text.find("*/", i + 2);
            size_t end = j == AnsiString::npos ? n : j + 2;
            out.append(Text, i, end - i);
            i = end;
        } else if (c == '?') {
            Names.emplace_back();
            out += '?';
            ++i;
        } else if (c == ':' && i + 1 < n && Text[i + 1] == '"') {
            size_t j = i + 2;
            while (j < n) {
                if (Text[j] == '"') {
                    if (j + 1 < n && Text[j + 1] == '"') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            size_t end = j < n ? j + 1 : n;
            Names.push_back(ExtractIdentifier(dialect, Text.substr(i + 1, end - i - 1)));
            out += '?';
            i = end;
        } else if (c == ':' && i + 1 < n && IsParamChar(Text[i + 1])) {
            size_t j = i + 1;
            while (j < n && IsParamChar(Text[j]))
                ++j;
            Names.push_back(ExtractIdentifier(dialect, Text.substr(i + 1, j - i - 1)));
            out += '?';
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    FProcessedSQL = out;
}

void TIBSQL::Describe(TIBXSQLDA& Da, bool Input) {
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    auto describe = [&]() {
        XSQLDA* x = reinterpret_cast<XSQLDA*>(Da.FBlock.get());
        unsigned short dialect = static_cast<unsigned short>(GetSQLDialect());
        IBCheck(Input ? lib.isc_dsql_describe_bind(status, &FHandle, dialect, x)
                      : lib.isc_dsql_describe(status, &FHandle, dialect, x),
                status);
        return x->sqld;
    };
    Da.SetCount(1);
    int count = describe();
    if (count > 1) {
        Da.SetCount(count);
        describe();
    } else if (count == 0) {
        Da.SetCount(0);
    }
}

void TIBSQL::Prepare() {
    CheckClosed();
    FBase->CheckDatabase();
    FBase->CheckTransaction();
    if (FPrepared) return;
    AnsiString text = FSQL->GetText();
    if (Trim(text).empty()) IBError(TIBClientError::EmptyQuery, "The statement's SQL text is empty");
    std::vector<AnsiString> names;
    if (FParamCheck)
        PreprocessSQL(text, names);
    else
        FProcessedSQL = text;
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    try {
        IBCheck(lib.isc_dsql_allocate_statement(status, FBase->GetDBHandle(), &FHandle), status);
        IBCheck(lib.isc_dsql_prepare(status, FBase->GetTRHandle(), &FHandle, 0, FProcessedSQL.c_str(),
                                     static_cast<unsigned short>(GetSQLDialect()), nullptr),
                status);
        char item = isc_info_sql_stmt_type;
        char result[16] = {};
        IBCheck(lib.isc_dsql_sql_info(status, &FHandle, 1, &item, sizeof result, result), status);
        FSQLType = SQLUnknown;
        if (result[0] == isc_info_sql_stmt_type) {
            int len = isc_vax_integer(result + 1, 2);
            FSQLType = static_cast<TIBSQLTypes>(isc_vax_integer(result + 3, static_cast<short>(len)));
        }
        switch (FSQLType) {
        case SQLGetSegment:
        case SQLPutSegment:
        case SQLStartTransaction:
            IBError(TIBClientError::NotPermitted, "This kind of statement is not permitted here");
        default:
            break;
        }
        Describe(*FSQLParams, true);
        FSQLParams->Initialize(names);
        if (FSQLType == SQLSelect || FSQLType == SQLSelectForUpdate || FSQLType == SQLExecProcedure)
            Describe(*FSQLRecord, false);
        else
            FSQLRecord->SetCount(0);
        FSQLRecord->Initialize({});
        FPrepared = true;
    } catch (...) {
        FreeHandle();
        throw;
    }
}

void TIBSQL::ExecQuery() {
    CheckClosed();
    if (!FPrepared) Prepare();
    CheckValidStatement();
    FBase->CheckDatabase();
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    isc_tr_handle* tr = FBase->GetTRHandle();
    unsigned short dialect = static_cast<unsigned short>(GetSQLDialect());
    switch (FSQLType) {
    case SQLSelect:
    case SQLSelectForUpdate:
        IBCheck(lib.isc_dsql_execute2(status, tr, &FHandle, dialect, FSQLParams->AsXSQLDA(), nullptr),
                status);
        FOpen = true;
        FBOF = true;
        FEOF = false;
        FRecordCount = 0;
        if (FGoToFirstRecordOnExecute) Next();
        break;
    case SQLExecProcedure:
        IBCheck(lib.isc_dsql_execute2(status, tr, &FHandle, dialect, FSQLParams->AsXSQLDA(),
                                      FSQLRecord->AsXSQLDA()),
                status);
        break;
    default:
        IBCheck(lib.isc_dsql_execute(status, tr, &FHandle, dialect, FSQLParams->AsXSQLDA()), status);
        break;
    }
}

TIBXSQLDA* TIBSQL::Next() {
    if (FEOF) return nullptr;
    CheckOpen();
    TIBClientLibrary& lib = GetGDSLibrary();
    // Not cleared first: the client writes the status of every call, and
    // this runs for every row.
    ISC_STATUS_ARRAY status;
    ISC_STATUS res = lib.isc_dsql_fetch(status, &FHandle, static_cast<unsigned short>(GetSQLDialect()),
                                        FSQLRecord->AsXSQLDA());
    if (res == 100) {
        FEOF = true;
        return nullptr;
    }
    if (res != 0) {
        ISC_STATUS_ARRAY copy;
        std::memcpy(copy, status, sizeof copy);
        Close();
        IBDataBaseError(copy);
    }
    ++FRecordCount;
    FBOF = false;
    return FSQLRecord.get();
}

void TIBSQL::Close() {
    if (FHandle && FOpen) {
        TIBClientLibrary& lib = GetGDSLibrary();
        ISC_STATUS_ARRAY status = {};
        // A cursor the engine already closed (its transaction ended) needs nothing more.
        lib.isc_dsql_free_statement(status, &FHandle, DSQL_close);
    }
    FEOF = false;
    FBOF = false;
    FOpen = false;
    FRecordCount = 0;
}

void TIBSQL::FreeHandle() {
    Close();
    if (FHandle) {
        TIBClientLibrary& lib = GetGDSLibrary();
        ISC_STATUS_ARRAY status = {};
        // Fails only when the attachment is gone, and the handle with it.
        lib.isc_dsql_free_statement(status, &FHandle, DSQL_drop);
    }
    FHandle = 0;
    FPrepared = false;
    FSQLType = SQLUnknown;
    FSQLRecord->SetCount(0);
    FSQLParams->SetCount(0);
}

int TIBSQL::GetRowsAffected() {
    if (!FHandle) return -1;
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    char item = isc_info_sql_records;
    char result[64] = {};
    IBCheck(lib.isc_dsql_sql_info(status, &FHandle, 1, &item, sizeof result, result), status);
    if (result[0] != isc_info_sql_records) return -1;
    int counts[4] = {0, 0, 0, 0}; // select, insert, update, delete
    const char* p = result + 3;
    const char* end = result + sizeof result;
    while (p < end && *p != isc_info_end) {
        char code = *p++;
        if (p + 2 > end) break;
        int len = isc_vax_integer(p, 2);
        p += 2;
        if (len < 0 || p + len > end) break;
        int value = isc_vax_integer(p, static_cast<short>(len));
        p += len;
        if (code >= isc_info_req_select_count && code <= isc_info_req_delete_count)
            counts[code - isc_info_req_select_count] = value;
    }
    switch (FSQLType) {
    case SQLSelect:
    case SQLSelectForUpdate:
        return counts[0];
    case SQLInsert:
        return counts[1];
    case SQLUpdate:
        return counts[2];
    case SQLDelete:
        return counts[3];
    case SQLExecProcedure:
        return counts[1] + counts[2] + counts[3];
    default:
        return -1;
    }
}

// ---------------------------------------------------------------------------
// Identifiers

AnsiString QuoteIdentifier(int Dialect, const AnsiString& Value) {
    if (Dialect == 1) return UpperCase(Trim(Value));
    return '"' + StringReplaceAll(Value, "\"", "\"\"") + '"';
}

AnsiString ExtractIdentifier(int Dialect, const AnsiString& Value) {
    AnsiString v = Trim(Value);
    if (Dialect == 1) return UpperCase(v);
    if (!v.empty() && v[0] == '"') {
        v.erase(0, 1);
        if (!v.empty()) v.pop_back();
        return StringReplaceAll(v, "\"\"", "\"");
    }
    return UpperCase(v);
}
