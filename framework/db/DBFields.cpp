#include "DB.h"

#include "DateUtils.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

using namespace Dbconsts;

KV_PUBLISHED_ABSTRACT_METACLASS(TField, nullptr)
KV_PUBLISHED_METACLASS(TStringField, &TField::ClassInfo())
KV_PUBLISHED_ABSTRACT_METACLASS(TNumericField, &TField::ClassInfo())
KV_PUBLISHED_METACLASS(TIntegerField, &TNumericField::ClassInfo())
KV_METACLASS(TSmallintField, &TIntegerField::ClassInfo())
KV_PUBLISHED_METACLASS(TLargeintField, &TNumericField::ClassInfo())
KV_PUBLISHED_METACLASS(TFloatField, &TNumericField::ClassInfo())
KV_PUBLISHED_METACLASS(TBCDField, &TNumericField::ClassInfo())
KV_METACLASS(TDateTimeField, &TField::ClassInfo())
KV_METACLASS(TDateField, &TDateTimeField::ClassInfo())
KV_METACLASS(TTimeField, &TDateTimeField::ClassInfo())
KV_PUBLISHED_METACLASS(TBlobField, &TField::ClassInfo())
KV_METACLASS(TMemoField, &TBlobField::ClassInfo())
KV_METACLASS(TGraphicField, &TBlobField::ClassInfo())

// ---- Published properties -------------------------------------------------

void TField::Publish(TPublisher<TField>& P) {
    P.Prop("DisplayLabel", &TField::GetDisplayLabel, &TField::SetDisplayLabel);
    P.Prop("DisplayWidth", &TField::GetDisplayWidth, &TField::SetDisplayWidth)
        .NoDefault()
        .StoredIf([](const TField& f) { return f.FDisplayWidth > 0; });
    // The kind before the name: form text written by others puts it first too.
    P.Prop("FieldKind", &TField::GetFieldKind, &TField::SetFieldKind).Default(fkData);
    P.Prop("FieldName", &TField::GetFieldName, &TField::SetFieldName);
    // Older texts say Calculated = True instead of the kind.
    P.Prop("Calculated", &TField::GetCalculated, &TField::SetCalculated).Stored(false);
    P.Prop("ReadOnly", &TField::GetReadOnly, &TField::SetReadOnly).Default(false);
    P.Prop("Required", &TField::GetRequired, &TField::SetRequired).Default(false);
    P.Prop("Visible", &TField::GetVisible, &TField::SetVisible).Default(true);
    P.Prop("OnChange", &TField::OnChange, &TField::OnChange);
    P.Prop("OnGetText", &TField::OnGetText, &TField::OnGetText);
    P.Prop("OnSetText", &TField::OnSetText, &TField::OnSetText);
    P.Prop("OnValidate", &TField::OnValidate, &TField::OnValidate);
    // A field written inside its dataset belongs to it; it joins once its
    // name has been read (a dataset finds its fields by name).
    P.ParentHook(
        [](TComponent* Child, TComponent* Parent) {
            auto* field = static_cast<TField*>(Child);
            auto* dataSet = dynamic_cast<TDataSet*>(Parent);
            if (!dataSet) {
                if (Parent && Parent == Child->GetOwner()) return; // directly in the form: no dataset
                throw EComponentError("Field " + Child->GetName() + " cannot be placed in " +
                                      (Parent ? Parent->ClassName() : AnsiString("nothing")) +
                                      ", which is no dataset");
            }
            field->FStreamedDataSet = dataSet;
            if (!field->FFieldName.empty()) field->JoinStreamedDataSet();
        },
        [](const TComponent* Child) -> TComponent* {
            return static_cast<const TField*>(Child)->GetDataSet();
        });
}

void TField::Loaded() {
    TComponent::Loaded();
    JoinStreamedDataSet();
}

void TField::JoinStreamedDataSet() {
    if (TDataSet* dataSet = FStreamedDataSet) {
        FStreamedDataSet = nullptr;
        SetDataSet(dataSet);
    }
}

void TStringField::Publish(TPublisher<TStringField>& P) {
    P.Prop("FixedChar", &TStringField::GetFixedChar, &TStringField::SetFixedChar).Default(false);
    P.Prop("Size", &TField::GetSize, &TField::SetSize).Default(20);
}

void TNumericField::Publish(TPublisher<TNumericField>& P) {
    P.Prop("DisplayFormat", &TNumericField::GetDisplayFormat, &TNumericField::SetDisplayFormat);
    P.Prop("EditFormat", &TNumericField::GetEditFormat, &TNumericField::SetEditFormat);
}

void TIntegerField::Publish(TPublisher<TIntegerField>& P) {
    P.Prop("MaxValue", &TIntegerField::GetMaxValue, &TIntegerField::SetMaxValue).Default(0);
    P.Prop("MinValue", &TIntegerField::GetMinValue, &TIntegerField::SetMinValue).Default(0);
}

void TLargeintField::Publish(TPublisher<TLargeintField>& P) {
    P.Prop("MaxValue", &TLargeintField::GetMaxValue, &TLargeintField::SetMaxValue).Default(Int64{0});
    P.Prop("MinValue", &TLargeintField::GetMinValue, &TLargeintField::SetMinValue).Default(Int64{0});
}

void TFloatField::Publish(TPublisher<TFloatField>& P) {
    P.Prop("Currency", &TFloatField::GetCurrency, &TFloatField::SetCurrency).Default(false);
    P.Prop("MaxValue", &TFloatField::GetMaxValue, &TFloatField::SetMaxValue);
    P.Prop("MinValue", &TFloatField::GetMinValue, &TFloatField::SetMinValue);
    P.Prop("Precision", &TFloatField::GetPrecision, &TFloatField::SetPrecision).Default(15);
}

void TBCDField::Publish(TPublisher<TBCDField>& P) {
    P.Prop("Currency", &TBCDField::GetCurrency, &TBCDField::SetCurrency).Default(false);
    P.Prop("Precision", &TBCDField::GetPrecision, &TBCDField::SetPrecision).Default(0);
    P.Prop("Size", &TField::GetSize, &TField::SetSize).Default(4);
}

void TBlobField::Publish(TPublisher<TBlobField>& P) {
    P.Prop("Size", &TField::GetSize, &TField::SetSize).Default(0);
}

namespace {

// Form descriptions name field classes; make them known by name while this
// code is loaded. The registry outlives a library that is unloaded again, so
// the classes leave it with the library.
class TFieldClassRegistration {
public:
    TFieldClassRegistration() {
        // The registry is built by the first registration, before this
        // object, and so is destroyed after it at exit.
        for (TComponentClass c : Classes()) RegisterClass(c);
    }
    ~TFieldClassRegistration() {
        for (TComponentClass c : Classes()) UnRegisterClass(c);
    }
    TFieldClassRegistration(const TFieldClassRegistration&) = delete;
    TFieldClassRegistration& operator=(const TFieldClassRegistration&) = delete;

private:
    static std::array<TComponentClass, 13> Classes() {
        return {&TStringField::ClassInfo(),   &TIntegerField::ClassInfo(), &TSmallintField::ClassInfo(),
                &TLargeintField::ClassInfo(), &TFloatField::ClassInfo(),   &TBCDField::ClassInfo(),
                &TDateTimeField::ClassInfo(), &TDateField::ClassInfo(),    &TTimeField::ClassInfo(),
                &TBlobField::ClassInfo(),     &TMemoField::ClassInfo(),    &TGraphicField::ClassInfo(),
                &TDataSource::ClassInfo()};
    }
};

const TFieldClassRegistration FieldClassRegistration;

// ---- Number formatting ----------------------------------------------------

// A decimal value 0.Digits x 10^Exponent; no leading or trailing zero
// digits; empty Digits is zero.
struct TDecimal {
    bool Negative = false;
    std::string Digits;
    int Exponent = 0;

    bool IsZero() const { return Digits.empty(); }
    void Normalize() {
        size_t lead = Digits.find_first_not_of('0');
        if (lead == std::string::npos) {
            Digits.clear();
            Exponent = 0;
            return;
        }
        Digits.erase(0, lead);
        Exponent -= static_cast<int>(lead);
        Digits.erase(Digits.find_last_not_of('0') + 1);
    }
    // Rounds half away from zero to Decimals places after the point.
    void Round(int Decimals) {
        if (IsZero()) return;
        int keep = Exponent + Decimals;
        if (keep >= static_cast<int>(Digits.size())) return;
        if (keep < 0) {
            Digits.clear();
            return;
        }
        bool up = Digits[static_cast<size_t>(keep)] >= '5';
        Digits.resize(static_cast<size_t>(keep));
        for (size_t i = Digits.size(); up && i-- > 0;) {
            if (Digits[i] == '9') {
                Digits[i] = '0';
            } else {
                ++Digits[i];
                up = false;
            }
        }
        if (up) {
            Digits.insert(Digits.begin(), '1');
            ++Exponent;
        }
        Normalize();
    }
    // Digit at 10^Power (0 for the units).
    char DigitAt(int Power) const {
        int index = Exponent - 1 - Power;
        return index >= 0 && index < static_cast<int>(Digits.size()) ? Digits[static_cast<size_t>(index)]
                                                                     : '0';
    }
};

TDecimal DecimalFromDouble(double Value) {
    TDecimal d;
    d.Negative = std::signbit(Value) && Value != 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(Value)); // 15 significant digits
    const char* e = std::strchr(buf, 'e');
    d.Digits.assign(buf, 1);
    d.Digits.append(buf + 2, static_cast<size_t>(e - (buf + 2)));
    d.Exponent = std::atoi(e + 1) + 1;
    d.Normalize();
    if (d.IsZero()) d.Negative = false;
    return d;
}

TDecimal DecimalFromInt64(Int64 Value) {
    TDecimal d;
    d.Negative = Value < 0;
    unsigned long long m =
        d.Negative ? 0 - static_cast<unsigned long long>(Value) : static_cast<unsigned long long>(Value);
    d.Digits = std::to_string(m);
    d.Exponent = static_cast<int>(d.Digits.size());
    d.Normalize();
    return d;
}

TDecimal DecimalFromBcd(const TBcd& Value) {
    AnsiString text = BcdToStr(Value);
    TDecimal d;
    d.Negative = !text.empty() && text[0] == '-';
    size_t dot = text.find('.');
    size_t start = d.Negative ? 1 : 0;
    AnsiString whole = text.substr(start, dot == AnsiString::npos ? AnsiString::npos : dot - start);
    d.Digits = whole + (dot == AnsiString::npos ? AnsiString() : text.substr(dot + 1));
    d.Exponent = static_cast<int>(whole.size());
    d.Normalize();
    if (d.IsZero()) d.Negative = false;
    return d;
}

// A BCD value as Currency shows itself: no trailing zeros, no empty fraction.
AnsiString GeneralBcdText(const TBcd& Value) {
    AnsiString text = BcdToStr(Value);
    if (text.find('.') == AnsiString::npos) return text;
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? AnsiString("0") : text;
}

struct TSection {
    AnsiString Prefix, Suffix;
    int MinInt = 0, MinDec = 0, MaxDec = 0, ExpDigits = 0;
    bool Thousands = false, Scientific = false, ExpPlus = false, Placeholders = false;
};

std::vector<AnsiString> SplitSections(const AnsiString& Format) {
    std::vector<AnsiString> sections(1);
    char quote = 0;
    for (char ch : Format) {
        if (quote) {
            if (ch == quote) quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += ch;
    }
    return sections;
}

TSection ParseSection(const AnsiString& Text) {
    TSection s;
    bool decimal = false, intZero = false;
    int decPlaces = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        char ch = Text[i];
        AnsiString& literal = s.Placeholders ? s.Suffix : s.Prefix;
        if (ch == '"' || ch == '\'') {
            size_t end = Text.find(ch, i + 1);
            if (end == AnsiString::npos) end = Text.size();
            literal += Text.substr(i + 1, end - i - 1);
            i = end;
        } else if (ch == '0' || ch == '#') {
            if (s.Scientific) {
                ++s.ExpDigits;
                continue;
            }
            s.Placeholders = true;
            if (decimal) {
                ++decPlaces;
                if (ch == '0') s.MinDec = decPlaces;
            } else if (ch == '0' || intZero) {
                intZero = true;
                ++s.MinInt;
            }
        } else if (ch == '.' && !decimal && !s.Scientific) {
            decimal = true;
            s.Placeholders = true;
        } else if (ch == ',' && !decimal && !s.Scientific) {
            s.Thousands = true;
        } else if ((ch == 'E' || ch == 'e') && s.Placeholders && !s.Scientific && i + 1 < Text.size() &&
                   (Text[i + 1] == '+' || Text[i + 1] == '-')) {
            s.Scientific = true;
            s.ExpPlus = Text[i + 1] == '+';
            ++i;
        } else {
            literal += ch;
        }
    }
    s.MaxDec = decPlaces;
    return s;
}

AnsiString FormatFixed(const TSection& s, const TDecimal& Value) {
    AnsiString whole;
    for (int p = std::max(Value.Exponent, s.MinInt) - 1; p >= 0; --p)
        whole += Value.DigitAt(p);
    size_t lead = whole.find_first_not_of('0');
    whole.erase(0, std::min(lead == AnsiString::npos ? whole.size() : lead,
                            whole.size() - std::min(whole.size(), static_cast<size_t>(s.MinInt))));
    if (s.Thousands && whole.size() > 3) {
        AnsiString grouped;
        for (size_t i = 0; i < whole.size(); ++i) {
            if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
            grouped += whole[i];
        }
        whole = grouped;
    }
    AnsiString fraction;
    for (int p = -1; p >= -s.MaxDec; --p)
        fraction += Value.DigitAt(p);
    while (static_cast<int>(fraction.size()) > s.MinDec && fraction.back() == '0')
        fraction.pop_back();
    AnsiString text = whole;
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

AnsiString FormatScientific(const TSection& s, TDecimal Value) {
    int intDigits = std::max(s.MinInt, 1);
    int exponent = 0;
    if (!Value.IsZero()) {
        exponent = Value.Exponent - intDigits;
        Value.Exponent = intDigits;
        Value.Round(s.MaxDec);
        if (Value.Exponent > intDigits) { // rounding carried into a new digit
            ++exponent;
            Value.Exponent = intDigits;
        }
    }
    TSection mantissa = s;
    mantissa.MinInt = intDigits;
    mantissa.Thousands = false;
    AnsiString text = FormatFixed(mantissa, Value);
    text += 'E';
    if (exponent < 0)
        text += '-';
    else if (s.ExpPlus)
        text += '+';
    AnsiString digits = std::to_string(std::abs(exponent));
    if (static_cast<int>(digits.size()) < s.ExpDigits)
        digits.insert(0, static_cast<size_t>(s.ExpDigits) - digits.size(), '0');
    return text + digits;
}

AnsiString FormatSection(const TSection& s, TDecimal Value) {
    if (!s.Placeholders) return s.Prefix + s.Suffix;
    if (!s.Scientific) Value.Round(s.MaxDec);
    return s.Prefix + (s.Scientific ? FormatScientific(s, Value) : FormatFixed(s, Value)) + s.Suffix;
}

AnsiString FormatDecimal(const AnsiString& Format, TDecimal Value, const AnsiString& General) {
    if (Format.empty()) return General;
    std::vector<AnsiString> sections = SplitSections(Format);
    TSection first = ParseSection(sections[0]);
    TDecimal rounded = Value;
    if (!first.Scientific) rounded.Round(first.MaxDec);
    if (rounded.IsZero() && sections.size() >= 3 && !sections[2].empty())
        return FormatSection(ParseSection(sections[2]), Value);
    if (Value.Negative && !rounded.IsZero()) {
        if (sections.size() >= 2 && !sections[1].empty())
            return FormatSection(ParseSection(sections[1]), Value);
        return "-" + FormatSection(first, Value);
    }
    return FormatSection(first, Value);
}

AnsiString FormatFloatText(const AnsiString& Format, double Value) {
    return FormatDecimal(Format, DecimalFromDouble(Value), FloatToStr(Value));
}

AnsiString FormatIntText(const AnsiString& Format, Int64 Value) {
    return FormatDecimal(Format, DecimalFromInt64(Value), IntToStr(Value));
}

AnsiString GeneralFloat(double Value, int Precision) {
    if (!std::isfinite(Value)) return FloatToStr(Value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", std::clamp(Precision, 1, 17), Value);
    return buf;
}

// ---- Date and time text -------------------------------------------------

bool ReadNumber(const AnsiString& S, size_t& Pos, int MaxDigits, int& Value) {
    size_t start = Pos;
    Value = 0;
    while (Pos < S.size() && Pos - start < static_cast<size_t>(MaxDigits) && S[Pos] >= '0' && S[Pos] <= '9')
        Value = Value * 10 + (S[Pos++] - '0');
    return Pos > start;
}

bool Expect(const AnsiString& S, size_t& Pos, char Ch) {
    if (Pos >= S.size() || S[Pos] != Ch) return false;
    ++Pos;
    return true;
}

bool ParseDatePart(const AnsiString& S, size_t& Pos, TDateTime& Value) {
    int y, m, d;
    return ReadNumber(S, Pos, 4, y) && Expect(S, Pos, '-') && ReadNumber(S, Pos, 2, m) &&
           Expect(S, Pos, '-') && ReadNumber(S, Pos, 2, d) && TryEncodeDate(y, m, d, Value);
}

bool ParseTimePart(const AnsiString& S, size_t& Pos, TDateTime& Value) {
    int h, mi, sec = 0, ms = 0;
    if (!ReadNumber(S, Pos, 2, h) || !Expect(S, Pos, ':') || !ReadNumber(S, Pos, 2, mi)) return false;
    if (Pos < S.size() && S[Pos] == ':') {
        ++Pos;
        if (!ReadNumber(S, Pos, 2, sec)) return false;
        if (Pos < S.size() && S[Pos] == '.') {
            ++Pos;
            size_t start = Pos;
            if (!ReadNumber(S, Pos, 3, ms)) return false;
            for (size_t n = Pos - start; n < 3; ++n)
                ms *= 10;
        }
    }
    return TryEncodeTime(h, mi, sec, ms, Value);
}

bool ParseDateTimeText(const AnsiString& Text, TFieldType Type, TDateTime& Value) {
    AnsiString s = Trim(Text);
    size_t pos = 0;
    TDateTime date = 0, time = 0;
    switch (Type) {
    case ftDate:
        if (!ParseDatePart(s, pos, date)) return false;
        break;
    case ftTime:
        if (!ParseTimePart(s, pos, time)) return false;
        break;
    default:
        if (!ParseDatePart(s, pos, date)) return false;
        if (pos < s.size()) {
            if (s[pos] != ' ' && s[pos] != 'T') return false;
            ++pos;
            if (!ParseTimePart(s, pos, time)) return false;
        }
        break;
    }
    if (pos != s.size()) return false;
    Value = date < 0 ? date - time : date + time;
    return true;
}

bool InInt64Range(double Value) {
    return std::isfinite(Value) && Value >= -9223372036854775808.0 && Value < 9223372036854775808.0;
}

} // namespace

// ---------------------------------------------------------------------------
// TFieldDef, TFieldDefs

TFieldDef::TFieldDef(TFieldDefs* Owner) : FOwner(Owner) {}

void TFieldDef::SetName(const AnsiString& Value) {
    if (!Value.empty() && !SameText(Value, FName) && FOwner && FOwner->IndexOf(Value) >= 0)
        DatabaseErrorFmt(SDuplicateName, {Value, FOwner->ClassName()});
    FName = Value;
}

void TFieldDef::SetRequired(bool Value) {
    if (Value)
        FAttributes.Include(faRequired);
    else
        FAttributes.Exclude(faRequired);
}

int TFieldDef::GetIndex() const {
    if (!FOwner) return -1;
    for (int i = 0; i < FOwner->GetCount(); ++i)
        if (FOwner->GetItem(i) == this) return i;
    return -1;
}

TFieldClass TFieldDef::GetFieldClass() const {
    TDataSet* dataSet = FOwner ? FOwner->GetDataSet() : nullptr;
    return dataSet ? dataSet->GetFieldClass(FDataType) : nullptr;
}

TField* TFieldDef::CreateField(TComponent* Owner) {
    TFieldClass fieldClass = GetFieldClass();
    if (!fieldClass) DatabaseErrorFmt(SUnknownFieldType, {FName});
    std::unique_ptr<TComponent> component(fieldClass->Create(Owner));
    auto* field = dynamic_cast<TField*>(component.get());
    if (!field) DatabaseErrorFmt(SUnknownFieldType, {FName});
    switch (FDataType) {
    case ftString:
    case ftBCD:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
        field->SetSize(FSize);
        break;
    default:
        break;
    }
    field->SetFieldName(FName);
    field->SetRequired(GetRequired());
    if (FAttributes.Contains(faReadonly)) field->SetReadOnly(true);
    if (FInternalCalcField) field->SetFieldKind(fkInternalCalc);
    if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(FPrecision);
    if (auto* text = dynamic_cast<TStringField*>(field)) {
        text->SetFixedChar(FAttributes.Contains(faFixed));
        text->SetCharSize(FCharSize);
    }
    field->SetDataSet(FOwner->GetDataSet());
    component.release();
    return field;
}

TFieldDef* TFieldDefs::AddFieldDef() {
    auto def = std::make_unique<TFieldDef>(this);
    def->SetFieldNo(GetCount() + 1);
    FItems.Add(def.get());
    FUpdated = false;
    return def.release();
}

TFieldDef* TFieldDefs::Add(const AnsiString& Name, TFieldType DataType, int Size, bool Required) {
    if (IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateName, {Name, ClassName()});
    TFieldDef* def = AddFieldDef();
    def->SetName(Name);
    def->SetDataType(DataType);
    def->SetSize(Size);
    def->SetRequired(Required);
    return def;
}

void TFieldDefs::Delete(int Index) {
    FItems.Delete(Index);
    FUpdated = false;
}

void TFieldDefs::Clear() {
    FItems.Clear();
    FUpdated = false;
}

int TFieldDefs::IndexOf(const AnsiString& Name) const {
    for (int i = 0; i < GetCount(); ++i)
        if (SameText(FItems.Get(i)->GetName(), Name)) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const AnsiString& Name) const {
    int i = IndexOf(Name);
    if (i < 0) DatabaseErrorFmt(SFieldNotFound, {Name}, FDataSet);
    return FItems.Get(i);
}

void TFieldDefs::EndUpdate() {
    assert(FUpdateCount > 0);
    if (FUpdateCount > 0) --FUpdateCount;
}

void TFieldDefs::Update() {
    if (!FUpdated && FDataSet) FDataSet->InitFieldDefs();
}

// ---------------------------------------------------------------------------
// TField

TField::TField(TComponent* AOwner) : TComponent(AOwner) {
    FValidChars.set();
}

TField::~TField() {
    Destroying();
    if (TDataSet* dataSet = FDataSet) {
        try {
            dataSet->Close();
        } catch (...) {
            // A destructor cannot report; the dataset is closed as far as it got.
        }
        if (FDataSet) FDataSet->FFields->Remove(this);
        FDataSet = nullptr;
    }
}

void TField::CheckInactive() const {
    if (FDataSet) FDataSet->CheckInactive();
}

void TField::SetFieldName(const AnsiString& Value) {
    CheckInactive();
    if (FDataSet && !SameText(Value, FFieldName)) {
        TField* other = FDataSet->FindField(Value);
        if (other && other != this) DatabaseErrorFmt(SDuplicateFieldName, {Value}, FDataSet);
    }
    FFieldName = Value;
    // Read inside its dataset: the name was what it waited for.
    if (FStreamedDataSet && !FFieldName.empty()) JoinStreamedDataSet();
}

void TField::SetSize(int Value) {
    CheckInactive();
    CheckTypeSize(Value);
    FSize = Value;
}

void TField::CheckTypeSize(int Value) {
    if (Value != 0) DatabaseErrorFmt(SInvalidFieldSize, {});
}

void TField::SetDataSet(TDataSet* ADataSet) {
    if (ADataSet == FDataSet) return;
    if (FDataSet) FDataSet->CheckInactive();
    if (ADataSet) {
        ADataSet->CheckInactive();
        if (FFieldName.empty()) DatabaseErrorFmt(SFieldNameMissing, {}, ADataSet);
        if (ADataSet->FindField(FFieldName))
            DatabaseErrorFmt(SDuplicateFieldName, {GetDisplayName()}, ADataSet);
    }
    if (FDataSet) FDataSet->FFields->Remove(this);
    if (ADataSet) ADataSet->FFields->Add(this);
    FDataSet = ADataSet;
}

void TField::SetFieldKind(TFieldKind Value) {
    if (Value == FFieldKind) return;
    CheckInactive();
    if (Value != fkData && Value != fkCalculated && Value != fkInternalCalc)
        DatabaseErrorFmt(SInvalidFieldKind, {});
    FFieldKind = Value;
}

void TField::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    PropertyChanged(true);
}

void TField::SetDisplayLabel(const AnsiString& Value) {
    if (FDisplayLabel == Value) return;
    FDisplayLabel = Value == FFieldName ? AnsiString() : Value;
    PropertyChanged(true);
}

void TField::SetDisplayWidth(int Value) {
    if (FDisplayWidth == Value) return;
    FDisplayWidth = Value;
    PropertyChanged(true);
}

void TField::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    PropertyChanged(false);
}

void TField::SetValidChars(const char* Chars) {
    FValidChars.reset();
    for (const char* p = Chars; *p; ++p)
        FValidChars.set(static_cast<unsigned char>(*p));
}

int TField::GetIndex() const {
    return FDataSet ? FDataSet->FFields->IndexOf(this) : -1;
}

void TField::PropertyChanged(bool LayoutAffected) {
    if (FDataSet && FDataSet->GetActive())
        FDataSet->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::AccessError(const AnsiString& TypeName) const {
    DatabaseErrorFmt(SFieldAccessError, {GetDisplayName(), TypeName});
}

void TField::RangeError(const AnsiString& Value, const AnsiString& Min, const AnsiString& Max) const {
    DatabaseErrorFmt(SFieldRangeError, {Value, GetDisplayName(), Min, Max});
}

bool TField::GetData(void* Buffer, bool NativeFormat) {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
    if (FValidating) {
        if (!FValueBuffer) return false;
        if (Buffer) {
            if (NativeFormat)
                std::memcpy(Buffer, FValueBuffer, static_cast<size_t>(GetDataSize()));
            else
                FDataSet->DataConvert(this, FValueBuffer, Buffer, false);
        }
        return true;
    }
    return FDataSet->GetFieldData(this, Buffer, NativeFormat);
}

void TField::SetData(void* Buffer, bool NativeFormat) {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
    FDataSet->SetFieldData(this, Buffer, NativeFormat);
}

bool TField::GetDataSetValue(void* Buffer, size_t Size) {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
    if (FValidating) {
        if (!FValueBuffer) return false;
        if (Buffer) std::memcpy(Buffer, FValueBuffer, Size);
        return true;
    }
    return FDataSet->GetFieldData(this, Buffer);
}

void TField::SetDataSetValue(void* Buffer) {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
    FDataSet->SetFieldData(this, Buffer);
}

void TField::Validate(void* Buffer) {
    if (!OnValidate) return;
    FValueBuffer = Buffer;
    FValidating = true;
    try {
        OnValidate(this);
    } catch (...) {
        FValidating = false;
        FValueBuffer = nullptr;
        throw;
    }
    FValidating = false;
    FValueBuffer = nullptr;
}

bool TField::IsValidChar(char Ch) {
    return FValidChars.test(static_cast<unsigned char>(Ch));
}

void TField::FocusControl() {
    if (!FDataSet || !FDataSet->GetActive()) return;
    TField* field = this;
    FDataSet->DataEvent(deFocusControl, reinterpret_cast<TDataEventInfo>(&field));
}

bool TField::GetCanModify() {
    if (!FDataSet || FFieldNo <= 0) return false;
    if (FDataSet->GetState() == dsSetKey) return true;
    return !FReadOnly && FDataSet->CanModify();
}

void TField::Change() {
    if (OnChange) OnChange(this);
}

bool TField::GetIsNull() {
    return !GetData(nullptr);
}

void TField::Clear() {
    SetData(nullptr);
}

AnsiString TField::GetClassDesc() {
    AnsiString name = FieldTypeName(FDataType);
    return "(" + (GetIsNull() ? LowerCase(name) : UpperCase(name)) + ")";
}

void TField::GetFieldText(AnsiString& Text, bool DisplayText) {
    (void)DisplayText;
    Text = GetAsString();
}

void TField::SetFieldText(const AnsiString& Value) {
    SetAsString(Value);
}

AnsiString TField::GetText() {
    AnsiString text;
    if (OnGetText)
        OnGetText(this, text, false);
    else
        GetFieldText(text, false);
    return text;
}

void TField::SetText(const AnsiString& Value) {
    if (OnSetText)
        OnSetText(this, Value);
    else
        SetFieldText(Value);
}

AnsiString TField::GetDisplayText() {
    AnsiString text;
    if (OnGetText)
        OnGetText(this, text, true);
    else
        GetFieldText(text, true);
    return text;
}

bool TField::GetAsBoolean() {
    AccessError("Boolean");
}
void TField::SetAsBoolean(bool) {
    AccessError("Boolean");
}
Currency TField::GetAsCurrency() {
    return Currency::FromDouble(GetAsFloat());
}
void TField::SetAsCurrency(Currency Value) {
    SetAsFloat(Value.ToDouble());
}
TDateTime TField::GetAsDateTime() {
    AccessError("DateTime");
}
void TField::SetAsDateTime(TDateTime) {
    AccessError("DateTime");
}
double TField::GetAsFloat() {
    AccessError("Float");
}
void TField::SetAsFloat(double) {
    AccessError("Float");
}
int TField::GetAsInteger() {
    AccessError("Integer");
}
void TField::SetAsInteger(int) {
    AccessError("Integer");
}
Int64 TField::GetAsLargeint() {
    AccessError("Largeint");
}
void TField::SetAsLargeint(Int64) {
    AccessError("Largeint");
}
AnsiString TField::GetAsString() {
    return GetClassDesc();
}
void TField::SetAsString(const AnsiString&) {
    AccessError("String");
}

// ---------------------------------------------------------------------------
// TStringField

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
    SetDataType(ftString);
    TField::SetSize(20);
}

void TStringField::CheckTypeSize(int Value) {
    if (Value < 0 || Value > dsMaxStringSize) DatabaseErrorFmt(SInvalidFieldSize, {});
}

bool TStringField::GetValue(AnsiString& Value) {
    // One byte beyond the value's size stays zero whatever the dataset writes.
    std::vector<char> buffer(static_cast<size_t>(GetDataSize()) + 1, 0);
    if (!GetData(buffer.data())) return false;
    Value.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return true;
}

AnsiString TStringField::GetAsString() {
    AnsiString value;
    return GetValue(value) ? value : AnsiString();
}

void TStringField::SetCharSize(int Value) {
    CheckInactive();
    if (Value < 1 || Value > 4) DatabaseErrorFmt(SInvalidFieldSize, {});
    FCharSize = Value;
}

int TStringField::ValueLength(const AnsiString& Value) const {
    if (GetCountsBytes()) return static_cast<int>(std::min<size_t>(Value.size(), INT_MAX));
    int n = 0;
    for (unsigned char c : Value)
        n += (c & 0xC0) != 0x80; // every byte but a UTF-8 continuation starts a character
    return n;
}

bool TStringField::ValueFits(const AnsiString& Value) const {
    return ValueLength(Value) <= GetSize() && Value.size() < static_cast<size_t>(GetDataSize());
}

void TStringField::SetAsString(const AnsiString& Value) {
    if (!ValueFits(Value))
        DatabaseErrorFmt(GetCountsBytes() ? SFieldValueTooLongBytes : SFieldValueTooLong,
                         {GetDisplayName(), IntToStr(ValueLength(Value)), IntToStr(GetSize())});
    if (Value.find('\0') != AnsiString::npos) DatabaseErrorFmt(SFieldValueZeroChar, {GetDisplayName()});
    std::vector<char> buffer(static_cast<size_t>(GetDataSize()), 0);
    std::memcpy(buffer.data(), Value.data(), Value.size());
    SetData(buffer.data());
}

int TStringField::GetAsInteger() {
    return StrToInt(GetAsString());
}
void TStringField::SetAsInteger(int Value) {
    SetAsString(IntToStr(Value));
}
Int64 TStringField::GetAsLargeint() {
    return StrToInt64(GetAsString());
}
void TStringField::SetAsLargeint(Int64 Value) {
    SetAsString(IntToStr(Value));
}
double TStringField::GetAsFloat() {
    return StrToFloat(GetAsString());
}
void TStringField::SetAsFloat(double Value) {
    SetAsString(FloatToStr(Value));
}

bool TStringField::GetAsBoolean() {
    AnsiString s = GetAsString();
    return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsBoolean(bool Value) {
    SetAsString(Value ? "True" : "False");
}

// ---------------------------------------------------------------------------
// Numeric fields

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner) {
    SetAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const AnsiString& Value) {
    if (FDisplayFormat == Value) return;
    FDisplayFormat = Value;
    PropertyChanged(false);
}

void TNumericField::SetEditFormat(const AnsiString& Value) {
    if (FEditFormat == Value) return;
    FEditFormat = Value;
    PropertyChanged(false);
}

const AnsiString& TNumericField::TextFormat(bool DisplayText) const {
    return DisplayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
}

TIntegerField::TIntegerField(TComponent* AOwner)
    : TIntegerField(AOwner, ftInteger, std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max()) {}

TIntegerField::TIntegerField(TComponent* AOwner, TFieldType DataType, int MinRange, int MaxRange)
    : TNumericField(AOwner), FMinRange(MinRange), FMaxRange(MaxRange) {
    SetDataType(DataType);
    SetValidChars("+-0123456789");
}

void TIntegerField::CheckRange(Int64 Value) const {
    Int64 lo = FMinRange, hi = FMaxRange;
    if (FMinValue != 0 || FMaxValue != 0) {
        lo = std::max<Int64>(lo, FMinValue);
        hi = std::min<Int64>(hi, FMaxValue);
    }
    if (Value < lo || Value > hi) RangeError(IntToStr(Value), IntToStr(lo), IntToStr(hi));
}

bool TIntegerField::GetValue(int& Value) {
    std::int32_t v;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

int TIntegerField::GetAsInteger() {
    int v;
    return GetValue(v) ? v : 0;
}

Int64 TIntegerField::GetAsLargeint() {
    return GetAsInteger();
}
double TIntegerField::GetAsFloat() {
    return GetAsInteger();
}

AnsiString TIntegerField::GetAsString() {
    int v;
    return GetValue(v) ? IntToStr(v) : AnsiString();
}

void TIntegerField::GetFieldText(AnsiString& Text, bool DisplayText) {
    int v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = TextFormat(DisplayText);
    Text = fmt.empty() ? IntToStr(v) : FormatIntText(fmt, v);
}

void TIntegerField::SetAsInteger(int Value) {
    SetAsLargeint(Value);
}

void TIntegerField::SetAsLargeint(Int64 Value) {
    CheckRange(Value);
    auto v = static_cast<std::int32_t>(Value);
    SetData(&v);
}

void TIntegerField::SetAsFloat(double Value) {
    double rounded = std::nearbyint(Value);
    if (!InInt64Range(rounded)) RangeError(FloatToStr(Value), IntToStr(FMinRange), IntToStr(FMaxRange));
    SetAsLargeint(static_cast<Int64>(rounded));
}

void TIntegerField::SetAsString(const AnsiString& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    Int64 v;
    if (!TryStrToInt64(Value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, GetDisplayName()});
    SetAsLargeint(v);
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner, ftSmallint, -32768, 32767) {}

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner) {
    SetDataType(ftLargeint);
    SetValidChars("+-0123456789");
}

void TLargeintField::CheckRange(Int64 Value) const {
    if ((FMinValue != 0 || FMaxValue != 0) && (Value < FMinValue || Value > FMaxValue))
        RangeError(IntToStr(Value), IntToStr(FMinValue), IntToStr(FMaxValue));
}

bool TLargeintField::GetValue(Int64& Value) {
    std::int64_t v;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

Int64 TLargeintField::GetAsLargeint() {
    Int64 v;
    return GetValue(v) ? v : 0;
}

int TLargeintField::GetAsInteger() {
    Int64 v = GetAsLargeint();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        RangeError(IntToStr(v), IntToStr(std::numeric_limits<std::int32_t>::min()),
                   IntToStr(std::numeric_limits<std::int32_t>::max()));
    return static_cast<int>(v);
}

double TLargeintField::GetAsFloat() {
    return static_cast<double>(GetAsLargeint());
}

AnsiString TLargeintField::GetAsString() {
    Int64 v;
    return GetValue(v) ? IntToStr(v) : AnsiString();
}

void TLargeintField::GetFieldText(AnsiString& Text, bool DisplayText) {
    Int64 v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = TextFormat(DisplayText);
    Text = fmt.empty() ? IntToStr(v) : FormatIntText(fmt, v);
}

void TLargeintField::SetAsLargeint(Int64 Value) {
    CheckRange(Value);
    std::int64_t v = Value;
    SetData(&v);
}

void TLargeintField::SetAsInteger(int Value) {
    SetAsLargeint(Value);
}

void TLargeintField::SetAsFloat(double Value) {
    double rounded = std::nearbyint(Value);
    if (!InInt64Range(rounded))
        RangeError(FloatToStr(Value), IntToStr(std::numeric_limits<Int64>::min()),
                   IntToStr(std::numeric_limits<Int64>::max()));
    SetAsLargeint(static_cast<Int64>(rounded));
}

void TLargeintField::SetAsString(const AnsiString& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    Int64 v;
    if (!TryStrToInt64(Value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, GetDisplayName()});
    SetAsLargeint(v);
}

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) {
    SetDataType(ftFloat);
    SetValidChars("+-0123456789.Ee");
}

void TFloatField::SetPrecision(int Value) {
    Value = std::clamp(Value, 2, 15);
    if (FPrecision == Value) return;
    FPrecision = Value;
    PropertyChanged(false);
}

void TFloatField::SetCurrency(bool Value) {
    if (FCurrency == Value) return;
    FCurrency = Value;
    PropertyChanged(false);
}

bool TFloatField::GetValue(double& Value) {
    return GetData(&Value);
}

double TFloatField::GetAsFloat() {
    double v;
    return GetValue(v) ? v : 0;
}

int TFloatField::GetAsInteger() {
    double v = std::nearbyint(GetAsFloat());
    if (!(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()))
        RangeError(FloatToStr(v), IntToStr(std::numeric_limits<std::int32_t>::min()),
                   IntToStr(std::numeric_limits<std::int32_t>::max()));
    return static_cast<int>(v);
}

Int64 TFloatField::GetAsLargeint() {
    double v = std::nearbyint(GetAsFloat());
    if (!InInt64Range(v))
        RangeError(FloatToStr(v), IntToStr(std::numeric_limits<Int64>::min()),
                   IntToStr(std::numeric_limits<Int64>::max()));
    return static_cast<Int64>(v);
}

AnsiString TFloatField::GetAsString() {
    double v;
    return GetValue(v) ? FloatToStr(v) : AnsiString();
}

void TFloatField::GetFieldText(AnsiString& Text, bool DisplayText) {
    double v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = TextFormat(DisplayText);
    if (!fmt.empty())
        Text = FormatFloatText(fmt, v);
    else if (FCurrency)
        Text = FormatFloatText("0.00", v);
    else
        Text = GeneralFloat(v, FPrecision);
}

void TFloatField::SetAsFloat(double Value) {
    if (!std::isfinite(Value)) DatabaseErrorFmt(SInvalidFloatValue, {FloatToStr(Value), GetDisplayName()});
    if ((FMinValue != 0 || FMaxValue != 0) && (Value < FMinValue || Value > FMaxValue))
        RangeError(FloatToStr(Value), FloatToStr(FMinValue), FloatToStr(FMaxValue));
    SetData(&Value);
}

void TFloatField::SetAsInteger(int Value) {
    SetAsFloat(Value);
}
void TFloatField::SetAsLargeint(Int64 Value) {
    SetAsFloat(static_cast<double>(Value));
}

void TFloatField::SetAsString(const AnsiString& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    double v;
    if (!TryStrToFloat(Value, v)) DatabaseErrorFmt(SInvalidFloatValue, {Value, GetDisplayName()});
    SetAsFloat(v);
}

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner) {
    SetDataType(ftBCD);
    TField::SetSize(4);
    SetValidChars("+-0123456789.");
}

void TBCDField::CheckTypeSize(int Value) {
    // The decimals of a NUMERIC: at most 18.
    if (Value < 0 || Value > 18) DatabaseErrorFmt(SInvalidFieldSize, {});
}

void TBCDField::SetPrecision(int Value) {
    if (Value < 0 || Value > MaxBcdDigits) DatabaseErrorFmt(SInvalidFieldSize, {});
    if (FPrecision == Value) return;
    FPrecision = Value;
    PropertyChanged(false);
}

void TBCDField::SetCurrency(bool Value) {
    if (FCurrency == Value) return;
    FCurrency = Value;
    PropertyChanged(false);
}

void TBCDField::OutOfRange() const {
    DatabaseErrorFmt(SFieldOutOfRange, {GetDisplayName()});
}

bool TBCDField::GetValue(TBcd& Value) {
    return GetDataSetValue(&Value, sizeof Value);
}

bool TBCDField::GetValue(Currency& Value) {
    TBcd bcd;
    if (!GetValue(bcd)) return false;
    if (!BCDToCurr(bcd, Value)) OutOfRange();
    return true;
}

TBcd TBCDField::GetAsBCD() {
    TBcd bcd;
    if (!GetValue(bcd)) ScaledToBCD(0, 0, bcd, 32, GetSize());
    return bcd;
}

Currency TBCDField::GetAsCurrency() {
    Currency v;
    return GetValue(v) ? v : Currency();
}

double TBCDField::GetAsFloat() {
    TBcd bcd;
    return GetValue(bcd) ? BcdToDouble(bcd) : 0;
}

Int64 TBCDField::GetAsLargeint() {
    TBcd bcd;
    if (!GetValue(bcd)) return 0;
    Int64 v;
    if (!BCDToScaled(bcd, 0, v)) OutOfRange();
    return v;
}

int TBCDField::GetAsInteger() {
    Int64 v = GetAsLargeint();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        RangeError(IntToStr(v), IntToStr(std::numeric_limits<std::int32_t>::min()),
                   IntToStr(std::numeric_limits<std::int32_t>::max()));
    return static_cast<int>(v);
}

AnsiString TBCDField::GetAsString() {
    TBcd bcd;
    return GetValue(bcd) ? GeneralBcdText(bcd) : AnsiString();
}

void TBCDField::GetFieldText(AnsiString& Text, bool DisplayText) {
    TBcd bcd;
    if (!GetValue(bcd)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = TextFormat(DisplayText);
    AnsiString general = GeneralBcdText(bcd);
    if (!fmt.empty())
        Text = FormatDecimal(fmt, DecimalFromBcd(bcd), general);
    else if (FCurrency)
        Text = FormatDecimal("0.00", DecimalFromBcd(bcd), general);
    else
        Text = general;
}

void TBCDField::WriteBCD(const TBcd& Value) {
    TBcd bcd;
    if (!TryStrToBCD(BcdToStr(Value), bcd, GetSize())) OutOfRange();
    if (FMinValue != Currency() || FMaxValue != Currency()) {
        // Beyond Currency is beyond any bound Currency can give.
        Currency c;
        if (!BCDToCurr(bcd, c) || c < FMinValue || c > FMaxValue)
            RangeError(GeneralBcdText(bcd), CurrToStr(FMinValue), CurrToStr(FMaxValue));
    }
    SetDataSetValue(&bcd);
}

void TBCDField::SetAsBCD(const TBcd& Value) {
    WriteBCD(Value);
}

void TBCDField::SetAsCurrency(Currency Value) {
    TBcd bcd;
    CurrToBCD(Value, bcd, 32, 4);
    WriteBCD(bcd);
}

void TBCDField::SetAsFloat(double Value) {
    // The shortest text that reads back as this double, without exponent.
    char buf[400];
    auto [end, error] = std::isfinite(Value)
                            ? std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed)
                            : std::to_chars_result{buf, std::errc::invalid_argument};
    TBcd bcd;
    if (error != std::errc() || !TryStrToBCD(AnsiString(buf, end), bcd, GetSize())) OutOfRange();
    WriteBCD(bcd);
}

void TBCDField::SetAsInteger(int Value) {
    SetAsLargeint(Value);
}

void TBCDField::SetAsLargeint(Int64 Value) {
    TBcd bcd;
    ScaledToBCD(Value, 0, bcd, 32, 0);
    WriteBCD(bcd);
}

void TBCDField::SetAsString(const AnsiString& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    TBcd bcd;
    if (!TryStrToBCD(Value, bcd, GetSize())) DatabaseErrorFmt(SInvalidFloatValue, {Value, GetDisplayName()});
    WriteBCD(bcd);
}

// ---------------------------------------------------------------------------
// Date and time fields

TDateTimeField::TDateTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* AOwner, TFieldType DataType) : TField(AOwner) {
    SetDataType(DataType);
}

TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner, ftDate) {}
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftTime) {}

bool TDateTimeField::GetValue(TDateTime& Value) {
    return GetData(&Value, false);
}

TDateTime TDateTimeField::GetAsDateTime() {
    TDateTime v;
    return GetValue(v) ? v : 0;
}

double TDateTimeField::GetAsFloat() {
    return GetAsDateTime();
}

AnsiString TDateTimeField::GetAsString() {
    AnsiString text;
    GetFieldText(text, false);
    return text;
}

void TDateTimeField::GetFieldText(AnsiString& Text, bool DisplayText) {
    (void)DisplayText;
    TDateTime v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    switch (GetDataType()) {
    case ftDate:
        Text = DateToStr(v);
        break;
    case ftTime:
        Text = TimeToStr(v);
        break;
    default:
        Text = DateTimeToStr(v);
        break;
    }
}

void TDateTimeField::SetAsDateTime(TDateTime Value) {
    // The native forms hold the years 1 to 9999.
    constexpr TDateTime First = 1 - DateDelta, AfterLast = 2958466;
    if (!(Value >= First && Value < AfterLast))
        DatabaseErrorFmt(SInvalidDateTimeValue, {FloatToStr(Value), GetDisplayName()});
    SetData(&Value, false);
}

void TDateTimeField::SetAsFloat(double Value) {
    SetAsDateTime(Value);
}

void TDateTimeField::SetAsString(const AnsiString& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    TDateTime v;
    if (!ParseDateTimeText(Value, GetDataType(), v)) {
        const TResStringRec& message = GetDataType() == ftDate   ? SInvalidDateValue
                                       : GetDataType() == ftTime ? SInvalidTimeValue
                                                                 : SInvalidDateTimeValue;
        throw EConvertError(LoadDBMessage(message, {Value, GetDisplayName()}));
    }
    SetAsDateTime(v);
}

// ---------------------------------------------------------------------------
// Blob fields

TBlobField::TBlobField(TComponent* AOwner) : TBlobField(AOwner, ftBlob) {}
TBlobField::TBlobField(TComponent* AOwner, TFieldType DataType) : TField(AOwner) {
    SetDataType(DataType);
}
TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner, ftMemo) {}
TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner, ftGraphic) {}

void TBlobField::CheckTypeSize(int Value) {
    if (Value < 0) DatabaseErrorFmt(SInvalidFieldSize, {});
}

void TBlobField::SetBlobType(TFieldType Value) {
    if (Value < ftBlob || Value > ftTypedBinary) DatabaseErrorFmt(SInvalidFieldKind, {});
    CheckInactive();
    SetDataType(Value);
}

std::unique_ptr<TStream> TBlobField::OpenStream(TBlobStreamMode Mode) {
    if (!GetDataSet()) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
    return std::unique_ptr<TStream>(GetDataSet()->CreateBlobStream(this, Mode));
}

AnsiString TBlobField::GetAsString() {
    std::unique_ptr<TStream> stream = OpenStream(bmRead);
    if (!stream) return AnsiString();
    Int64 size = stream->GetSize();
    if (size > std::numeric_limits<int>::max()) DatabaseErrorFmt(SFieldOutOfRange, {GetDisplayName()});
    AnsiString value(static_cast<size_t>(size), '\0');
    if (size > 0) stream->ReadBuffer(value.data(), static_cast<int>(size));
    return value;
}

void TBlobField::SetAsString(const AnsiString& Value) {
    if (Value.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        DatabaseErrorFmt(SFieldOutOfRange, {GetDisplayName()});
    std::unique_ptr<TStream> stream = OpenStream(bmWrite);
    if (!stream) DatabaseErrorFmt(SFieldAccessError, {GetDisplayName(), "Blob"});
    if (!Value.empty()) stream->WriteBuffer(Value.data(), static_cast<int>(Value.size()));
}

void TBlobField::Clear() {
    OpenStream(bmWrite);
}

bool TBlobField::GetIsNull() {
    if (!FModified) return TField::GetIsNull();
    std::unique_ptr<TStream> stream = OpenStream(bmRead);
    return !stream || stream->GetSize() == 0;
}

int TBlobField::GetBlobSize() {
    std::unique_ptr<TStream> stream = OpenStream(bmRead);
    return stream ? static_cast<int>(stream->GetSize()) : 0;
}

void TBlobField::LoadFromStream(TStream& Stream) {
    std::unique_ptr<TStream> stream = OpenStream(bmWrite);
    if (!stream) DatabaseErrorFmt(SFieldAccessError, {GetDisplayName(), "Blob"});
    stream->CopyFrom(Stream, 0);
}

void TBlobField::SaveToStream(TStream& Stream) {
    std::unique_ptr<TStream> stream = OpenStream(bmRead);
    if (stream && stream->GetSize() > 0) Stream.CopyFrom(*stream, 0);
}

AnsiString TBlobField::GetClassDesc() {
    AnsiString name = GetDataType() == ftMemo ? "Memo" : GetDataType() == ftGraphic ? "Graphic" : "Blob";
    return "(" + (GetIsNull() ? LowerCase(name) : UpperCase(name)) + ")";
}

void TBlobField::GetFieldText(AnsiString& Text, bool DisplayText) {
    (void)DisplayText;
    Text = GetClassDesc();
}

// ---------------------------------------------------------------------------
// TFields

TField* TFields::FindField(const AnsiString& FieldName) const {
    for (TField* field : FList)
        if (SameText(field->GetFieldName(), FieldName)) return field;
    return nullptr;
}

TField* TFields::FieldByName(const AnsiString& FieldName) const {
    TField* field = FindField(FieldName);
    if (!field) DatabaseErrorFmt(SFieldNotFound, {FieldName}, FDataSet);
    return field;
}

TField* TFields::FieldByNumber(int FieldNo) const {
    for (TField* field : FList)
        if (field->GetFieldNo() == FieldNo) return field;
    return nullptr;
}

void TFields::GetFieldNames(TStrings& List) const {
    List.BeginUpdate();
    try {
        List.Clear();
        for (TField* field : FList)
            List.Add(field->GetFieldName());
    } catch (...) {
        List.EndUpdate();
        throw;
    }
    List.EndUpdate();
}
