// Basic types of the component framework: strings, the root object, the
// variant argument record used by Format and exception constructors, and the
// fixed-point currency type.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

using AnsiString = std::string; // 8-bit text; holds UTF-8 or raw bytes
using Byte = std::uint8_t;
using Word = std::uint16_t;
using Cardinal = std::uint32_t;
using Int64 = std::int64_t;
using TDateTime = double; // whole days since 1899-12-30 plus the time as fraction

// The root of every framework class. Objects are polymorphic so that owners
// can free what they hold through a base pointer.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Fixed-point number with four decimals, held as a 64-bit integer scaled by
// 10^4. Arithmetic that leaves the range raises EOverflow-style ERangeError.
class Currency {
public:
    static constexpr Int64 Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency FromRaw(Int64 raw) {
        Currency c;
        c.FValue = raw;
        return c;
    }
    static Currency FromInt64(Int64 v);   // raises ERangeError when out of range
    static Currency FromDouble(double v); // rounds half away from zero; range checked

    constexpr Int64 Raw() const { return FValue; }
    double ToDouble() const { return static_cast<double>(FValue) / Scale; }
    Int64 Truncated() const { return FValue / Scale; }

    friend constexpr bool operator==(Currency a, Currency b) { return a.FValue == b.FValue; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.FValue <=> b.FValue; }
    Currency operator+(Currency o) const;
    Currency operator-(Currency o) const;
    Currency operator-() const;

private:
    Int64 FValue = 0;
};

// One argument of Format and of message constructors (the framework's open
// array of variant arguments).
class TVarRec {
public:
    using Value = std::variant<Int64, double, AnsiString, Currency, const void*>;

    TVarRec(int v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(long v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(long long v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(unsigned v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(unsigned long v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(unsigned long long v) : FValue(static_cast<Int64>(v)) {}
    TVarRec(double v) : FValue(v) {}
    TVarRec(Currency v) : FValue(v) {}
    TVarRec(const char* v) : FValue(AnsiString(v ? v : "")) {}
    TVarRec(const AnsiString& v) : FValue(v) {}
    TVarRec(const void* p) : FValue(p) {}

    const Value& Get() const { return FValue; }

private:
    Value FValue;
};
