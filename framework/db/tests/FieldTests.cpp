// Field classes over the native value formats: conversions, text, nulls,
// range and conversion errors, validation, blobs, and field definitions.
#include "MemDataSet.h"

#include "DateUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

// The message of the exception the call raises; empty when it raises none.
std::string ErrorOf(const std::function<void()>& Call) {
    try {
        Call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

const TDateTime Day = EncodeDate(2024, 3, 1);
const TDateTime Noon = EncodeTime(12, 0, 0, 0);
const TDateTime Stamp = EncodeDate(2024, 3, 1) + EncodeTime(13, 30, 15, 250);

class FieldTest : public ::testing::Test {
protected:
    FieldTest() {
        Table.AddRow({Int64{1}, Int64{12}, Int64{5000000000}, 2.5, Currency::FromRaw(123400), Day, Noon,
                      Stamp, AnsiString("abc"), AnsiString("ab"), AnsiString("hello"),
                      AnsiString("\x01\x02", 2)});
        Table.AddRow({Int64{2}});
        DS = new TMemDataSet(&Owner, Table, Events);
        DS->SetName("Typed");
        DS->Logging = false;
    }
    TField* F(const char* Name) { return DS->FieldByName(Name); }

    TEventLog Events;
    TMemTable Table{{{"ID", ftInteger, 0, true},
                     {"SMALL", ftSmallint},
                     {"BIG", ftLargeint},
                     {"RATE", ftFloat},
                     {"AMOUNT", ftBCD, 2, false, 10},
                     {"DAY", ftDate},
                     {"CLOCK", ftTime},
                     {"STAMP", ftDateTime},
                     {"NAME", ftString, 10},
                     {"CODE", ftString, 5, false, 0, true},
                     {"NOTE", ftMemo},
                     {"DATA", ftBlob}}};
    TComponent Owner{nullptr};
    TMemDataSet* DS = nullptr;
};

} // namespace

TEST_F(FieldTest, DefaultFieldsTakeTheirClassAndShapeFromTheDefinitions) {
    DS->Open();
    EXPECT_NE(dynamic_cast<TSmallintField*>(F("SMALL")), nullptr);
    EXPECT_NE(dynamic_cast<TLargeintField*>(F("BIG")), nullptr);
    EXPECT_NE(dynamic_cast<TFloatField*>(F("RATE")), nullptr);
    EXPECT_NE(dynamic_cast<TDateField*>(F("DAY")), nullptr);
    EXPECT_NE(dynamic_cast<TTimeField*>(F("CLOCK")), nullptr);
    EXPECT_NE(dynamic_cast<TDateTimeField*>(F("STAMP")), nullptr);
    EXPECT_NE(dynamic_cast<TMemoField*>(F("NOTE")), nullptr);
    TField* data = F("DATA");
    EXPECT_EQ(typeid(*data), typeid(TBlobField));
    auto* amount = dynamic_cast<TBCDField*>(F("AMOUNT"));
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->GetPrecision(), 10);
    EXPECT_EQ(amount->GetSize(), 2);
    auto* code = dynamic_cast<TStringField*>(F("CODE"));
    ASSERT_NE(code, nullptr);
    EXPECT_TRUE(code->GetFixedChar());
    EXPECT_FALSE(dynamic_cast<TStringField*>(F("NAME"))->GetFixedChar());
    EXPECT_EQ(F("NAME")->GetSize(), 10);
    EXPECT_EQ(F("NAME")->GetDataSize(), 11);
    EXPECT_TRUE(F("ID")->GetRequired());
    EXPECT_EQ(F("ID")->GetAlignment(), taRightJustify);
    EXPECT_EQ(F("NAME")->GetAlignment(), taLeftJustify);
    EXPECT_EQ(F("AMOUNT")->GetFieldNo(), 5);
    EXPECT_EQ(F("amount"), F("AMOUNT"));
    EXPECT_EQ(DS->FindField("none"), nullptr);
    EXPECT_EQ(DS->FieldByNumber(9), F("NAME"));
    EXPECT_EQ(GetClass("TSmallintField"), &TSmallintField::ClassInfo());
    EXPECT_EQ(GetClass("TDataSource"), &TDataSource::ClassInfo());
}

TEST_F(FieldTest, ValuesReadAsTextInEveryForm) {
    DS->Open();
    struct Case {
        const char* Field;
        const char* AsString;
        const char* DisplayText;
    };
    const Case cases[] = {
        {"ID", "1", "1"},
        {"SMALL", "12", "12"},
        {"BIG", "5000000000", "5000000000"},
        {"RATE", "2.5", "2.5"},
        {"AMOUNT", "12.34", "12.34"},
        {"DAY", "2024-03-01", "2024-03-01"},
        {"CLOCK", "12:00:00", "12:00:00"},
        {"STAMP", "2024-03-01 13:30:15", "2024-03-01 13:30:15"},
        {"NAME", "abc", "abc"},
        {"CODE", "ab   ", "ab   "},
        {"NOTE", "hello", "(MEMO)"},
        {"DATA", "\x01\x02", "(BLOB)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Field);
        EXPECT_EQ(F(c.Field)->GetAsString(), c.AsString);
        EXPECT_EQ(F(c.Field)->GetDisplayText(), c.DisplayText);
        EXPECT_FALSE(F(c.Field)->GetIsNull());
    }
    EXPECT_EQ(F("SMALL")->GetAsInteger(), 12);
    EXPECT_EQ(F("BIG")->GetAsLargeint(), 5000000000);
    EXPECT_DOUBLE_EQ(F("RATE")->GetAsFloat(), 2.5);
    EXPECT_EQ(F("AMOUNT")->GetAsCurrency().Raw(), 123400);
    EXPECT_DOUBLE_EQ(F("STAMP")->GetAsDateTime(), Stamp);
    EXPECT_EQ(F("ID")->GetAsCurrency().Raw(), 10000);
}

TEST_F(FieldTest, NativeFormatsAreDayNumbersMillisecondsAndScaledDecimals) {
    DS->Open();
    std::int32_t day = 0, clock = 0;
    double stamp = 0;
    ASSERT_TRUE(F("DAY")->GetData(&day));
    ASSERT_TRUE(F("CLOCK")->GetData(&clock));
    ASSERT_TRUE(F("STAMP")->GetData(&stamp));
    EXPECT_EQ(day, DateTimeToTimeStamp(Day).Date);
    EXPECT_EQ(clock, 43200000);
    EXPECT_DOUBLE_EQ(stamp, static_cast<double>(DateTimeToTimeStamp(Day).Date) * 86400000.0 + 48615250.0);
    TBcd bcd;
    ASSERT_TRUE(F("AMOUNT")->GetData(&bcd));
    EXPECT_EQ(BcdToStr(bcd), "12.34");
    std::int32_t small = 0;
    EXPECT_EQ(F("SMALL")->GetDataSize(), 4); // the 32-bit form: a dataset may hold smallints in 4 bytes
    ASSERT_TRUE(F("SMALL")->GetData(&small));
    EXPECT_EQ(small, 12);

    DS->Edit();
    F("DAY")->SetAsDateTime(EncodeDate(1, 1, 1));
    ASSERT_TRUE(F("DAY")->GetData(&day));
    EXPECT_EQ(day, 1); // 1 January of the year 1 is day 1
    F("DAY")->SetAsDateTime(EncodeDate(1, 1, 2));
    ASSERT_TRUE(F("DAY")->GetData(&day));
    EXPECT_EQ(day, 2);
    F("SMALL")->SetAsInteger(-32768);
    EXPECT_EQ(F("SMALL")->GetAsInteger(), -32768);
}

TEST_F(FieldTest, NullValuesReadAsZeroAndEmptyText) {
    DS->Open();
    DS->Next();
    for (const char* name :
         {"SMALL", "BIG", "RATE", "AMOUNT", "DAY", "CLOCK", "STAMP", "NAME", "NOTE", "DATA"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(F(name)->GetIsNull());
        if (!F(name)->IsBlob()) {
            EXPECT_EQ(F(name)->GetDisplayText(), "");
        }
    }
    EXPECT_EQ(F("SMALL")->GetAsInteger(), 0);
    EXPECT_EQ(F("AMOUNT")->GetAsCurrency().Raw(), 0);
    EXPECT_EQ(F("RATE")->GetAsFloat(), 0);
    EXPECT_EQ(F("NAME")->GetAsString(), "");
    EXPECT_EQ(F("NOTE")->GetAsString(), "");
    EXPECT_EQ(F("NOTE")->GetDisplayText(), "(memo)");

    DS->Prior();
    DS->Edit();
    F("NAME")->Clear();
    F("ID")->SetAsString(""); // empty text clears a number
    EXPECT_TRUE(F("NAME")->GetIsNull());
    EXPECT_TRUE(F("ID")->GetIsNull());
    DS->Cancel();
}

TEST_F(FieldTest, WritesConvertAndRefuseBadValuesWithoutChangingTheField) {
    DS->Open();
    DS->Edit();
    struct Case {
        const char* What;
        std::function<void()> Write;
        const char* Error; // empty: accepted
        std::function<bool()> Check;
    };
    auto* id = dynamic_cast<TIntegerField*>(F("ID"));
    auto* rate = dynamic_cast<TFloatField*>(F("RATE"));
    const Case cases[] = {
        {"smallint above its range", [&] { F("SMALL")->SetAsInteger(40000); },
         "40000 is not a valid value for field 'SMALL'. The allowed range is -32768 to 32767",
         [&] { return F("SMALL")->GetAsInteger() == 12; }},
        {"smallint from text", [&] { F("SMALL")->SetAsString("-7"); }, "",
         [&] { return F("SMALL")->GetAsInteger() == -7; }},
        {"integer from non-numeric text", [&] { F("ID")->SetAsString("abc"); },
         "'abc' is not a valid integer value for field 'ID'", [&] { return F("ID")->GetAsInteger() == 1; }},
        {"integer from a float beyond 32 bits", [&] { F("ID")->SetAsFloat(1e12); },
         "1000000000000 is not a valid value for field 'ID'. The allowed range is -2147483648 to 2147483647",
         [&] { return F("ID")->GetAsInteger() == 1; }},
        {"integer from a float rounds", [&] { F("ID")->SetAsFloat(41.6); }, "",
         [&] { return F("ID")->GetAsInteger() == 42; }},
        {"integer outside MinValue .. MaxValue",
         [&] {
             id->SetMinValue(1);
             id->SetMaxValue(100);
             id->SetAsInteger(101);
         },
         "101 is not a valid value for field 'ID'. The allowed range is 1 to 100",
         [&] { return F("ID")->GetAsInteger() == 42; }},
        {"largeint read as integer beyond 32 bits", [&] { (void)F("BIG")->GetAsInteger(); },
         "5000000000 is not a valid value for field 'BIG'. The allowed range is -2147483648 to 2147483647",
         [&] { return F("BIG")->GetAsLargeint() == 5000000000; }},
        {"largeint from text", [&] { F("BIG")->SetAsString("-9000000000"); }, "",
         [&] { return F("BIG")->GetAsLargeint() == -9000000000; }},
        {"float from bad text", [&] { F("RATE")->SetAsString("2,5x"); },
         "'2,5x' is not a valid floating point value for field 'RATE'",
         [&] { return F("RATE")->GetAsFloat() == 2.5; }},
        {"float outside its range",
         [&] {
             rate->SetMinValue(0);
             rate->SetMaxValue(10);
             rate->SetAsFloat(10.5);
         },
         "10.5 is not a valid value for field 'RATE'. The allowed range is 0 to 10",
         [&] { return F("RATE")->GetAsFloat() == 2.5; }},
        {"bcd rounds to its decimals", [&] { F("AMOUNT")->SetAsCurrency(Currency::FromRaw(123450)); }, "",
         [&] { return F("AMOUNT")->GetAsCurrency().Raw() == 123500; }},
        {"bcd from text", [&] { F("AMOUNT")->SetAsString("-1.5"); }, "",
         [&] { return F("AMOUNT")->GetAsString() == "-1.5"; }},
        {"bcd from bad text", [&] { F("AMOUNT")->SetAsString("zz"); },
         "'zz' is not a valid floating point value for field 'AMOUNT'",
         [&] { return F("AMOUNT")->GetAsString() == "-1.5"; }},
        {"string longer than its size", [&] { F("NAME")->SetAsString("eleven char"); },
         "Value of field 'NAME' is too long: 11 bytes, at most 10 are allowed",
         [&] { return F("NAME")->GetAsString() == "abc"; }},
        {"a byte-counted string counts the bytes of its UTF-8", [&] { F("NAME")->SetAsString("Käse-Würf"); },
         "Value of field 'NAME' is too long: 11 bytes, at most 10 are allowed",
         [&] { return F("NAME")->GetAsString() == "abc"; }},
        {"bcd beyond Currency, exactly", [&] { F("AMOUNT")->SetAsString("9999999999999999.99"); }, "",
         [&] { return F("AMOUNT")->GetAsString() == "9999999999999999.99"; }},
        {"only its Currency raises", [&] { (void)F("AMOUNT")->GetAsCurrency(); },
         "Value of field 'AMOUNT' is out of range",
         [&] {
             return BcdToStr(dynamic_cast<TBCDField*>(F("AMOUNT"))->GetAsBCD()) == "9999999999999999.99";
         }},
        {"bcd beyond Currency from a float", [&] { F("AMOUNT")->SetAsFloat(5e15); }, "",
         [&] {
             return F("AMOUNT")->GetAsString() == "5000000000000000" && F("AMOUNT")->GetAsFloat() == 5e15;
         }},
        {"bcd from a float rounds to its decimals", [&] { F("AMOUNT")->SetAsFloat(0.125); }, "",
         [&] { return F("AMOUNT")->GetAsString() == "0.13"; }},
        {"bcd from a large integer", [&] { F("AMOUNT")->SetAsLargeint(-9000000000000000); }, "",
         [&] { return F("AMOUNT")->GetAsLargeint() == -9000000000000000; }},
        {"string with a zero byte", [&] { F("NAME")->SetAsString(AnsiString("a\0b", 3)); },
         "Value of field 'NAME' contains a zero character",
         [&] { return F("NAME")->GetAsString() == "abc"; }},
        {"string of exactly its size", [&] { F("NAME")->SetAsString("ten chars!"); }, "",
         [&] { return F("NAME")->GetAsString() == "ten chars!"; }},
        {"impossible date", [&] { F("DAY")->SetAsString("2023-02-29"); },
         "'2023-02-29' is not a valid date for field 'DAY'",
         [&] { return F("DAY")->GetAsDateTime() == Day; }},
        {"leap day", [&] { F("DAY")->SetAsString("2024-02-29"); }, "",
         [&] { return F("DAY")->GetAsDateTime() == EncodeDate(2024, 2, 29); }},
        {"impossible time", [&] { F("CLOCK")->SetAsString("25:00"); },
         "'25:00' is not a valid time for field 'CLOCK'",
         [&] { return F("CLOCK")->GetAsDateTime() == Noon; }},
        {"date and time from text", [&] { F("STAMP")->SetAsString("2024-03-01 08:05"); }, "",
         [&] { return F("STAMP")->GetAsString() == "2024-03-01 08:05:00"; }},
        {"a date beyond the year 9999", [&] { F("STAMP")->SetAsDateTime(3e6); },
         "'3000000' is not a valid date and time for field 'STAMP'",
         [&] { return F("STAMP")->GetAsString() == "2024-03-01 08:05:00"; }},
        {"a date written as an integer", [&] { F("DAY")->SetAsInteger(3); },
         "Cannot access field 'DAY' as type Integer",
         [&] { return F("DAY")->GetAsDateTime() == EncodeDate(2024, 2, 29); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(ErrorOf(c.Write), c.Error);
        EXPECT_TRUE(c.Check());
    }
}

// A string's Size counts bytes, or the characters of UTF-8 text in a
// field whose characters take up to CharSize bytes; the limit, its message
// and the field's buffer all follow that unit.
TEST(StringFieldUnits, TheLimitAndItsMessageCountTheFieldsUnit) {
    TEventLog events;
    TMemTable table{{{"ID", ftInteger, 0, true},
                     {"BYTES", ftString, 5},
                     {"CHARS", ftString, 5, false, 0, false, false, 4},
                     {"FIXED", ftString, 3, false, 0, true, false, 4}}};
    table.AddRow({Int64{1}});
    TMemDataSet ds(nullptr, table, events);
    ds.Logging = false;
    ds.Open();
    auto* bytes = dynamic_cast<TStringField*>(ds.FieldByName("BYTES"));
    auto* chars = dynamic_cast<TStringField*>(ds.FieldByName("CHARS"));
    ASSERT_TRUE(bytes && chars);
    EXPECT_TRUE(bytes->GetCountsBytes());
    EXPECT_EQ(bytes->GetDataSize(), 6);
    EXPECT_FALSE(chars->GetCountsBytes());
    EXPECT_EQ(chars->GetCharSize(), 4);
    EXPECT_EQ(chars->GetDataSize(), 21);
    ds.Edit();
    struct Case {
        TStringField* Field;
        const char* Value;
        const char* Error;
    };
    const Case cases[] = {
        {bytes, "abcde", ""},
        {bytes, "äöü", "Value of field 'BYTES' is too long: 6 bytes, at most 5 are allowed"},
        {bytes, "äö", ""},
        {chars, "äöüßé", ""},
        {chars, "Würfel", "Value of field 'CHARS' is too long: 6 characters, at most 5 are allowed"},
        {chars, "😀😀😀😀😀", ""}, // 4 bytes each
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(ErrorOf([&] { c.Field->SetAsString(c.Value); }), c.Error);
        if (!*c.Error) {
            EXPECT_EQ(c.Field->GetAsString(), c.Value);
        }
    }
    ds.Cancel();
    ds.Close();

    // A persistent field takes its CharSize from its definition when it is bound.
    TComponent owner(nullptr);
    TMemDataSet persistent(&owner, table, events);
    persistent.Logging = false;
    auto* word = new TStringField(&owner);
    word->SetFieldName("CHARS");
    word->SetSize(5);
    word->SetDataSet(&persistent);
    EXPECT_EQ(word->GetCharSize(), 1);
    persistent.Open();
    EXPECT_EQ(word->GetCharSize(), 4);
    EXPECT_EQ(word->GetDataSize(), 21);
    EXPECT_EQ(ErrorOf([&] { word->SetCharSize(2); }), "Cannot perform this operation on an open dataset");
}

TEST_F(FieldTest, ValidationSeesTheNewValueAndCanRefuseIt) {
    DS->Open();
    int seen = 0;
    TDateTime seenDay = 0;
    F("ID")->OnValidate = [&](TField* field) {
        seen = field->GetAsInteger();
        if (seen < 0) throw EDatabaseError("negative");
    };
    F("DAY")->OnValidate = [&](TField* field) { seenDay = field->GetAsDateTime(); };
    DS->Edit();
    F("ID")->SetAsInteger(7);
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(ErrorOf([&] { F("ID")->SetAsInteger(-3); }), "negative");
    EXPECT_EQ(seen, -3);
    EXPECT_EQ(F("ID")->GetAsInteger(), 7);
    F("DAY")->SetAsDateTime(EncodeDate(2000, 1, 2));
    EXPECT_EQ(seenDay, EncodeDate(2000, 1, 2));
}

TEST_F(FieldTest, DisplayAndEditFormats) {
    DS->Open();
    auto* rate = dynamic_cast<TFloatField*>(F("RATE"));
    struct Case {
        const char* Format;
        double Value;
        const char* Text;
    };
    const Case cases[] = {
        {"0.00", 2.5, "2.50"},
        {"#.##", 0.5, ".5"},
        {"#,##0", 1234567, "1,234,567"},
        {"#,##0.00", -1234.5, "-1,234.50"},
        {"0.0E+00", 12345, "1.2E+04"},
        {"0.00E-0", 0.00125, "1.25E-3"},
        {"0.00;(0.00)", -2.5, "(2.50)"},
        {"0.00;-0.00;'zero'", 0, "zero"},
        {"'$'0.00", 3, "$3.00"},
        {"000", 7, "007"},
        {"0", 2.5, "3"},
        {"0.###", 1.23456, "1.235"},
        {"0.00", -0.001, "0.00"},
    };
    DS->Edit();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Format);
        rate->SetDisplayFormat(c.Format);
        rate->SetAsFloat(c.Value);
        EXPECT_EQ(rate->GetDisplayText(), c.Text);
    }
    DS->Cancel();

    auto* big = dynamic_cast<TLargeintField*>(F("BIG"));
    big->SetDisplayFormat("#,##0");
    EXPECT_EQ(big->GetDisplayText(), "5,000,000,000");
    DS->Edit();
    big->SetAsLargeint(1234567890123456789); // every digit, not a float's fifteen
    EXPECT_EQ(big->GetDisplayText(), "1,234,567,890,123,456,789");
    DS->Cancel();

    auto* amount = dynamic_cast<TBCDField*>(F("AMOUNT"));
    amount->SetDisplayFormat("#,##0.00");
    EXPECT_EQ(amount->GetDisplayText(), "12.34");
    EXPECT_EQ(amount->GetText(), "12.34"); // no edit format: the display format serves
    amount->SetEditFormat("0.000");
    EXPECT_EQ(amount->GetText(), "12.340");
    amount->OnGetText = [](TField*, AnsiString& text, bool display) { text = display ? "shown" : "edited"; };
    EXPECT_EQ(amount->GetDisplayText(), "shown");
    EXPECT_EQ(amount->GetText(), "edited");
    AnsiString received;
    amount->OnSetText = [&](TField*, const AnsiString& text) { received = text; };
    amount->SetText("5");
    EXPECT_EQ(received, "5");

    EXPECT_TRUE(F("ID")->IsValidChar('7'));
    EXPECT_FALSE(F("ID")->IsValidChar('a'));
    EXPECT_TRUE(F("RATE")->IsValidChar('.'));
    EXPECT_TRUE(F("NAME")->IsValidChar('a'));
}

TEST_F(FieldTest, BlobsAreReadAndWrittenThroughStreamsAndMarkedModified) {
    DS->Open();
    auto* note = dynamic_cast<TBlobField*>(F("NOTE"));
    EXPECT_EQ(note->GetBlobSize(), 5);
    EXPECT_FALSE(ErrorOf([&] { note->SetAsString("x"); }).empty()); // not while browsing

    DS->Edit();
    EXPECT_FALSE(note->GetModified());
    note->SetAsString("changed");
    EXPECT_TRUE(note->GetModified());
    EXPECT_TRUE(DS->Modified());
    EXPECT_EQ(note->GetAsString(), "changed");
    note->Clear();
    EXPECT_TRUE(note->GetIsNull());
    TMemoryStream source;
    source.WriteBuffer("streamed", 8);
    note->LoadFromStream(source);
    DS->Post();
    EXPECT_FALSE(note->GetModified()); // posting ends the change
    EXPECT_EQ(note->GetAsString(), "streamed");
    TMemoryStream copy;
    note->SaveToStream(copy);
    EXPECT_EQ(AnsiString(copy.Memory(), static_cast<size_t>(copy.GetSize())), "streamed");
}

TEST_F(FieldTest, PersistentFieldsAreBoundByNameAndCheckedAtOpen) {
    auto* id = new TIntegerField(&Owner);
    id->SetFieldName("id");
    id->SetDataSet(DS);
    auto* missing = new TStringField(&Owner);
    missing->SetFieldName("NOPE");
    missing->SetDataSet(DS);
    EXPECT_EQ(ErrorOf([&] { DS->Open(); }), "Typed: Field 'NOPE' not found");
    EXPECT_FALSE(DS->Active());
    EXPECT_EQ(DS->LiveBuffers, 0);
    delete missing;

    auto* wrongType = new TStringField(&Owner);
    wrongType->SetFieldName("SMALL");
    wrongType->SetDataSet(DS);
    EXPECT_EQ(ErrorOf([&] { DS->Open(); }),
              "Typed: Type mismatch for field 'SMALL', expecting: String actual: SmallInt");
    delete wrongType;

    auto* twin = new TIntegerField(&Owner);
    twin->SetFieldName("ID");
    EXPECT_EQ(ErrorOf([&] { twin->SetDataSet(DS); }), "Typed: Duplicate field name 'ID'");
    auto* nameless = new TIntegerField(&Owner);
    EXPECT_EQ(ErrorOf([&] { nameless->SetDataSet(DS); }), "Typed: Field name missing");

    DS->Open();
    EXPECT_EQ(DS->GetFieldCount(), 1); // only the persistent field
    EXPECT_EQ(id->GetFieldNo(), 1);
    EXPECT_EQ(id->GetAsInteger(), 1);
    EXPECT_EQ(ErrorOf([&] { id->SetFieldName("OTHER"); }),
              "Typed: Cannot perform this operation on an open dataset");
    EXPECT_EQ(ErrorOf([&] { twin->SetDataSet(DS); }),
              "Typed: Cannot perform this operation on an open dataset");

    delete id; // a field cannot leave an open dataset: it closes
    EXPECT_FALSE(DS->Active());
    EXPECT_EQ(DS->GetFieldCount(), 0);
}

TEST_F(FieldTest, FieldDefinitionsRefuseDuplicateNamesIgnoringCase) {
    TFieldDefs* defs = DS->FieldDefs();
    defs->Update(); // asks the closed dataset for its definitions
    EXPECT_EQ(defs->Count(), 12);
    EXPECT_EQ(defs->IndexOf("amount"), 4);
    EXPECT_EQ(defs->Find("Amount")->GetFieldNo(), 5);
    EXPECT_EQ(ErrorOf([&] { defs->Find("X"); }), "Typed: Field 'X' not found");
    EXPECT_EQ(ErrorOf([&] { defs->Add("id", ftInteger); }), "Duplicate name 'id' in TFieldDefs");
    EXPECT_EQ(defs->Count(), 12);

    TFieldDef* added = defs->AddFieldDef();
    EXPECT_EQ(added->GetFieldNo(), 13);
    EXPECT_EQ(ErrorOf([&] { added->SetName("Note"); }), "Duplicate name 'Note' in TFieldDefs");
    added->SetName("EXTRA");
    added->SetRequired(true);
    EXPECT_TRUE(added->GetAttributes().Contains(faRequired));
    EXPECT_EQ(added->GetIndex(), 12);
    defs->Delete(12);
    EXPECT_EQ(defs->IndexOf("EXTRA"), -1);
}

TEST_F(FieldTest, ColumnsWithoutAFieldTypeGetNoDefaultField) {
    TMemTable table{{{"ID", ftInteger, 0, true}, {"ARR", ftUnknown}}};
    table.AddRow({Int64{1}});
    TMemDataSet ds(nullptr, table, Events);
    ds.Open();
    EXPECT_EQ(ds.GetFieldCount(), 1);
    EXPECT_EQ(ds.FieldDefs()->Count(), 2);
}

namespace {

// A descendant's own string class, as a database layer supplies one.
class TShoutingField : public TStringField {
public:
    KV_METACLASS_DECL
    using TStringField::TStringField;
    AnsiString GetAsString() override { return UpperCase(TStringField::GetAsString()); }
};
KV_METACLASS(TShoutingField, &TStringField::ClassInfo())

class TShoutingDataSet : public TMemDataSet {
public:
    using TMemDataSet::TMemDataSet;

protected:
    TFieldClass GetFieldClass(TFieldType FieldType) override {
        return FieldType == ftString ? &TShoutingField::ClassInfo() : TMemDataSet::GetFieldClass(FieldType);
    }
};

} // namespace

TEST_F(FieldTest, ADescendantChoosesTheClassOfItsDefaultFields) {
    TShoutingDataSet ds(nullptr, Table, Events);
    ds.Open();
    EXPECT_NE(dynamic_cast<TShoutingField*>(ds.FieldByName("NAME")), nullptr);
    EXPECT_EQ(ds.FieldByName("NAME")->GetAsString(), "ABC");
    EXPECT_NE(dynamic_cast<TIntegerField*>(ds.FieldByName("ID")), nullptr);
}

TEST_F(FieldTest, ComputedColumnsBecomeReadOnlyInternalCalculatedFields) {
    TMemTable table{{{"ID", ftInteger, 0, true}, {"TOTAL", ftInteger, 0, false, 0, false, true}}};
    table.AddRow({Int64{1}, Int64{10}});
    TMemDataSet ds(nullptr, table, Events);
    int calculations = 0;
    ds.OnCalcFields = [&](TDataSet*) { ++calculations; };
    ds.Open();
    TField* total = ds.FieldByName("TOTAL");
    EXPECT_EQ(total->GetFieldKind(), fkInternalCalc);
    EXPECT_TRUE(total->GetReadOnly());
    EXPECT_EQ(total->GetFieldNo(), 2); // its value lives in the record like a data field's
    EXPECT_EQ(total->GetAsInteger(), 10);
    EXPECT_FALSE(total->GetCanModify());
    EXPECT_EQ(ds.GetCalcFieldsSize(), 0);
    EXPECT_EQ(calculations, 1); // calculated per record although no field is fkCalculated
}

TEST_F(FieldTest, ADestroyedDatasetLeavesFieldsOfOtherOwnersToThem) {
    auto* id = new TIntegerField(&Owner);
    id->SetFieldName("ID");
    id->SetDataSet(DS);
    DS->Open();
    delete DS;
    EXPECT_EQ(id->GetDataSet(), nullptr); // still alive, owned by Owner, detached
    EXPECT_EQ(Owner.GetComponentCount(), 1);
}
