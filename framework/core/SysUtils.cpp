#include "SysUtils.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

// ---- Currency -------------------------------------------------------------

Currency Currency::FromInt64(Int64 v) {
    constexpr Int64 Limit = std::numeric_limits<Int64>::max() / Scale;
    if (v > Limit || v < -Limit) throw ERangeError("Currency value out of range: " + IntToStr(v));
    return FromRaw(v * Scale);
}

Currency Currency::FromDouble(double v) {
    double scaled = std::round(v * Scale);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        throw ERangeError("Currency value out of range: " + FloatToStr(v));
    return FromRaw(static_cast<Int64>(scaled));
}

Currency Currency::operator+(Currency o) const {
    Int64 r;
    if (__builtin_add_overflow(FValue, o.FValue, &r)) throw ERangeError("Currency overflow");
    return FromRaw(r);
}

Currency Currency::operator-(Currency o) const {
    Int64 r;
    if (__builtin_sub_overflow(FValue, o.FValue, &r)) throw ERangeError("Currency overflow");
    return FromRaw(r);
}

Currency Currency::operator-() const {
    if (FValue == std::numeric_limits<Int64>::min()) throw ERangeError("Currency overflow");
    return FromRaw(-FValue);
}

// ---- Exceptions and Format ------------------------------------------------

Exception Exception::CreateFmt(const AnsiString& Fmt, std::initializer_list<TVarRec> Args) {
    return Exception(Format(Fmt, Args));
}

AnsiString VarRecToString(const TVarRec& V) {
    struct Visitor {
        AnsiString operator()(Int64 i) const { return IntToStr(i); }
        AnsiString operator()(double d) const { return FloatToStr(d); }
        AnsiString operator()(const AnsiString& s) const { return s; }
        AnsiString operator()(Currency c) const { return CurrToStr(c); }
        AnsiString operator()(const void* p) const {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%p", p);
            return buf;
        }
    };
    return std::visit(Visitor{}, V.Get());
}

namespace {

[[noreturn]] void FormatError(const AnsiString& Fmt) {
    throw EConvertError("Format '" + Fmt + "' invalid or incompatible with argument");
}

AnsiString Pad(AnsiString s, int width, bool left) {
    if (width > 0 && static_cast<int>(s.size()) < width) {
        AnsiString fill(static_cast<size_t>(width) - s.size(), ' ');
        s = left ? s + fill : fill + s;
    }
    return s;
}

// Adds thousands separators to the integer part of a fixed-point text.
AnsiString GroupThousands(const AnsiString& s) {
    size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
    size_t dot = s.find('.');
    size_t intEnd = dot == AnsiString::npos ? s.size() : dot;
    AnsiString out = s.substr(0, start);
    for (size_t i = start; i < intEnd; ++i) {
        out += s[i];
        size_t remaining = intEnd - i - 1;
        if (remaining > 0 && remaining % 3 == 0) out += ',';
    }
    return out + s.substr(intEnd);
}

bool NumericArg(const TVarRec& v, double& d) {
    if (auto p = std::get_if<double>(&v.Get())) return d = *p, true;
    if (auto c = std::get_if<Currency>(&v.Get())) return d = c->ToDouble(), true;
    return false;
}

} // namespace

AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args) {
    const TVarRec* args = Args.begin();
    const size_t count = Args.size();
    size_t argIndex = 0;
    AnsiString out;
    for (size_t i = 0; i < Fmt.size();) {
        char c = Fmt[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        ++i;
        if (i >= Fmt.size()) FormatError(Fmt);
        if (Fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        auto readNumber = [&](int& value) -> bool {
            if (i < Fmt.size() && Fmt[i] == '*') {
                if (argIndex >= count) FormatError(Fmt);
                auto p = std::get_if<Int64>(&args[argIndex++].Get());
                if (!p) FormatError(Fmt);
                value = static_cast<int>(*p);
                ++i;
                return true;
            }
            size_t start = i;
            value = 0;
            while (i < Fmt.size() && Fmt[i] >= '0' && Fmt[i] <= '9') {
                if (value > 100000) FormatError(Fmt);
                value = value * 10 + (Fmt[i] - '0');
                ++i;
            }
            return i > start;
        };
        int number = 0;
        bool have = readNumber(number);
        if (have && i < Fmt.size() && Fmt[i] == ':') {
            argIndex = static_cast<size_t>(number);
            ++i;
            have = false;
        }
        bool left = false;
        if (!have && i < Fmt.size() && Fmt[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        if (have)
            width = number;
        else
            readNumber(width);
        int precision = -1;
        if (i < Fmt.size() && Fmt[i] == '.') {
            ++i;
            if (!readNumber(precision)) precision = 0;
        }
        if (i >= Fmt.size()) FormatError(Fmt);
        char type = static_cast<char>(Fmt[i] | 0x20);
        ++i;
        if (argIndex >= count) FormatError(Fmt);
        const TVarRec& arg = args[argIndex++];
        AnsiString text;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            auto p = std::get_if<Int64>(&arg.Get());
            if (!p) FormatError(Fmt);
            Int64 v = *p;
            if (type == 'x') {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
                text = buf;
            } else if (type == 'u') {
                text = std::to_string(static_cast<unsigned long long>(v));
            } else {
                unsigned long long magnitude =
                    v < 0 ? 0 - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
                text = std::to_string(magnitude);
            }
            if (precision > static_cast<int>(text.size()))
                text.insert(0, static_cast<size_t>(precision) - text.size(), '0');
            if (type == 'd' && v < 0) text.insert(0, 1, '-');
            break;
        }
        case 's': {
            if (std::holds_alternative<const void*>(arg.Get())) FormatError(Fmt);
            if (!std::holds_alternative<AnsiString>(arg.Get())) FormatError(Fmt);
            text = std::get<AnsiString>(arg.Get());
            if (precision >= 0 && static_cast<int>(text.size()) > precision)
                text.resize(static_cast<size_t>(precision));
            break;
        }
        case 'f':
        case 'n':
        case 'm':
        case 'e':
        case 'g': {
            double d;
            if (!NumericArg(arg, d)) FormatError(Fmt);
            char buf[512];
            if (type == 'e')
                std::snprintf(buf, sizeof buf, "%.*E", precision < 0 ? 15 : precision, d);
            else if (type == 'g')
                std::snprintf(buf, sizeof buf, "%.*G", precision < 0 ? 15 : precision, d);
            else
                std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 2 : precision, d);
            text = buf;
            if (type == 'n' || type == 'm') text = GroupThousands(text);
            break;
        }
        case 'p': {
            auto p = std::get_if<const void*>(&arg.Get());
            if (!p) FormatError(Fmt);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(*p)));
            text = buf;
            break;
        }
        default:
            FormatError(Fmt);
        }
        out += Pad(text, width, left);
    }
    return out;
}

AnsiString SubstituteArg(const AnsiString& Text, const AnsiString& Arg) {
    AnsiString out;
    out.reserve(Text.size() + Arg.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '%' && i + 1 < Text.size() && Text[i + 1] == 's') {
            out += Arg;
            ++i;
        } else {
            out += Text[i];
        }
    }
    return out;
}

// ---- Integer conversions --------------------------------------------------

AnsiString IntToStr(Int64 Value) { return std::to_string(Value); }

AnsiString IntToHex(Int64 Value, int Digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llX", Digits, static_cast<unsigned long long>(Value));
    return buf;
}

bool TryStrToInt64(const AnsiString& S, Int64& Value) {
    size_t i = 0;
    while (i < S.size() && S[i] == ' ') ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
    int base = 10;
    if (i < S.size() && S[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= S.size()) return false;
    unsigned long long magnitude = 0;
    auto res = std::from_chars(S.data() + i, S.data() + S.size(), magnitude, base);
    if (res.ec != std::errc() || res.ptr != S.data() + S.size()) return false;
    if (base == 16) { // hexadecimal covers the whole 64-bit pattern
        Value = static_cast<Int64>(negative ? 0 - magnitude : magnitude);
        return true;
    }
    constexpr unsigned long long Max = static_cast<unsigned long long>(std::numeric_limits<Int64>::max());
    if (magnitude > Max + (negative ? 1 : 0)) return false;
    Value = negative ? static_cast<Int64>(0 - magnitude) : static_cast<Int64>(magnitude);
    return true;
}

bool TryStrToInt(const AnsiString& S, int& Value) {
    Int64 v;
    if (!TryStrToInt64(S, v)) return false;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    Value = static_cast<int>(v);
    return true;
}

int StrToInt(const AnsiString& S) {
    int v;
    if (!TryStrToInt(S, v)) throw EConvertError("'" + S + "' is not a valid integer value");
    return v;
}

Int64 StrToInt64(const AnsiString& S) {
    Int64 v;
    if (!TryStrToInt64(S, v)) throw EConvertError("'" + S + "' is not a valid integer value");
    return v;
}

int StrToIntDef(const AnsiString& S, int Default) {
    int v;
    return TryStrToInt(S, v) ? v : Default;
}

// ---- Floating point and currency ------------------------------------------

AnsiString FloatToStr(double Value) {
    if (std::isnan(Value)) return "NAN";
    if (std::isinf(Value)) return Value > 0 ? "INF" : "-INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", Value);
    return buf;
}

bool TryStrToFloat(const AnsiString& S, double& Value) {
    AnsiString t = Trim(S);
    if (t.empty()) return false;
    const char* begin = t.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end != begin + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
    for (char ch : t) // strtod also reads "inf", "nan" and hexadecimal floats
        if (!(ch == '+' || ch == '-' || ch == '.' || ch == 'e' || ch == 'E' || (ch >= '0' && ch <= '9')))
            return false;
    Value = v;
    return true;
}

double StrToFloat(const AnsiString& S) {
    double v;
    if (!TryStrToFloat(S, v)) throw EConvertError("'" + S + "' is not a valid floating point value");
    return v;
}

AnsiString CurrToStr(Currency Value) {
    Int64 raw = Value.Raw();
    bool negative = raw < 0;
    unsigned long long magnitude =
        negative ? 0 - static_cast<unsigned long long>(raw) : static_cast<unsigned long long>(raw);
    AnsiString text = std::to_string(magnitude / Currency::Scale);
    unsigned long long fraction = magnitude % Currency::Scale;
    if (fraction != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04llu", fraction);
        AnsiString f = buf;
        while (!f.empty() && f.back() == '0') f.pop_back();
        text += "." + f;
    }
    return negative ? "-" + text : text;
}

Currency StrToCurr(const AnsiString& S) {
    AnsiString t = Trim(S);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    unsigned long long whole = 0, fraction = 0;
    int fractionDigits = 0;
    bool digits = false, dot = false;
    auto fail = [&] { throw EConvertError("'" + S + "' is not a valid currency value"); };
    for (; i < t.size(); ++i) {
        char ch = t[i];
        if (ch == '.' && !dot) {
            dot = true;
            continue;
        }
        if (ch < '0' || ch > '9') fail();
        digits = true;
        if (!dot) {
            if (whole > (std::numeric_limits<unsigned long long>::max() - 9) / 10) fail();
            whole = whole * 10 + static_cast<unsigned>(ch - '0');
        } else if (fractionDigits < 4) {
            fraction = fraction * 10 + static_cast<unsigned>(ch - '0');
            ++fractionDigits;
        } else if (fractionDigits == 4) {
            if (ch >= '5') ++fraction; // round half away from zero on the fifth decimal
            ++fractionDigits;
        }
    }
    if (!digits) fail();
    while (fractionDigits < 4) fraction *= 10, ++fractionDigits;
    constexpr unsigned long long Max = static_cast<unsigned long long>(std::numeric_limits<Int64>::max());
    if (whole > Max / Currency::Scale) fail();
    unsigned long long raw = whole * Currency::Scale + fraction;
    if (raw > Max + (negative ? 1 : 0)) fail();
    return Currency::FromRaw(negative ? static_cast<Int64>(0 - raw) : static_cast<Int64>(raw));
}

// ---- Strings --------------------------------------------------------------

AnsiString Trim(const AnsiString& S) { return TrimLeft(TrimRight(S)); }

AnsiString TrimLeft(const AnsiString& S) {
    size_t i = 0;
    while (i < S.size() && static_cast<unsigned char>(S[i]) <= ' ') ++i;
    return S.substr(i);
}

AnsiString TrimRight(const AnsiString& S) {
    size_t n = S.size();
    while (n > 0 && static_cast<unsigned char>(S[n - 1]) <= ' ') --n;
    return S.substr(0, n);
}

AnsiString UpperCase(const AnsiString& S) {
    AnsiString r = S;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

AnsiString LowerCase(const AnsiString& S) {
    AnsiString r = S;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

int CompareText(const AnsiString& A, const AnsiString& B) {
    size_t n = std::min(A.size(), B.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(A[i]), b = static_cast<unsigned char>(B[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
        if (a != b) return a < b ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool SameText(const AnsiString& A, const AnsiString& B) { return CompareText(A, B) == 0; }

AnsiString AnsiQuotedStr(const AnsiString& S, char Quote) {
    AnsiString r(1, Quote);
    for (char c : S) {
        r += c;
        if (c == Quote) r += c;
    }
    r += Quote;
    return r;
}

AnsiString AnsiExtractQuotedStr(const AnsiString& S, char Quote) {
    if (S.empty() || S[0] != Quote) return AnsiString();
    AnsiString r;
    for (size_t i = 1; i < S.size(); ++i) {
        if (S[i] == Quote) {
            if (i + 1 < S.size() && S[i + 1] == Quote) {
                r += Quote;
                ++i;
            } else {
                break;
            }
        } else {
            r += S[i];
        }
    }
    return r;
}

AnsiString AnsiDequotedStr(const AnsiString& S, char Quote) {
    if (S.empty() || S[0] != Quote) return S;
    return AnsiExtractQuotedStr(S, Quote);
}

int Pos(const AnsiString& Sub, const AnsiString& S) {
    if (Sub.empty()) return 0;
    size_t p = S.find(Sub);
    return p == AnsiString::npos ? 0 : static_cast<int>(p) + 1;
}

AnsiString StringReplaceAll(const AnsiString& S, const AnsiString& Old, const AnsiString& New) {
    if (Old.empty()) return S;
    AnsiString r;
    size_t start = 0, p;
    while ((p = S.find(Old, start)) != AnsiString::npos) {
        r.append(S, start, p - start);
        r += New;
        start = p + Old.size();
    }
    r.append(S, start, AnsiString::npos);
    return r;
}

void AppendUtf8(AnsiString& S, char32_t C) {
    if (C >= 0xD800 && C <= 0xDFFF) C = 0xFFFD;
    if (C < 0x80) {
        S += static_cast<char>(C);
    } else if (C < 0x800) {
        S += static_cast<char>(0xC0 | (C >> 6));
        S += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        S += static_cast<char>(0xE0 | (C >> 12));
        S += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        S += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x110000) {
        S += static_cast<char>(0xF0 | (C >> 18));
        S += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
        S += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        S += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        AppendUtf8(S, 0xFFFD);
    }
}

bool MakePrivateFolder(const AnsiString& Path) {
    if (::mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    // Not followed: a link placed there by someone else must not lead us.
    struct stat info {};
    if (::lstat(Path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 077) != 0 && ::chmod(Path.c_str(), 0700) != 0) return false;
    return true;
}
