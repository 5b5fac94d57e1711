// Field definitions and fields of the dataset framework. A TFieldDef
// describes one column the dataset offers; a TField (a component, owned like
// any component) reads and writes one column of the dataset's current record
// through TDataSet::GetFieldData and SetFieldData, converting between the
// dataset's native value format and the As... accessors.
//
// Native formats (what a dataset's GetFieldData delivers and SetFieldData
// takes): ftString: the text and a zero byte (DataSize bytes);
// ftSmallint and ftInteger: a signed 32-bit integer (a smallint field range
// checks to 16 bits but holds 32, so a dataset may keep smallints in 4
// bytes); ftLargeint: signed 64 bits; ftFloat: a double; ftBCD: a TBcd
// record, which holds the value exactly; ftDate: a 32-bit day number, 1 = 1 January of the year 1; ftTime:
// 32-bit milliseconds since midnight; ftDateTime: a double, day number x
// 86400000 + milliseconds; blobs: whatever the dataset keeps (its id).
#pragma once

#include "DBTypes.h"
#include "FMTBcd.h"

#include <bitset>
#include <memory>

// Strings up to this many characters (the largest text column of the databases served).
inline constexpr int dsMaxStringSize = 32767;

// ---------------------------------------------------------------------------
// Field definitions

class TFieldDef : public TPersistent {
public:
    explicit TFieldDef(TFieldDefs* Owner);

    const AnsiString& GetName() const { return FName; }
    // Refuses a name another definition of the list has (ignoring case).
    void SetName(const AnsiString& Value);
    AnsiString GetDisplayName() const { return FName; }
    TFieldType GetDataType() const { return FDataType; }
    void SetDataType(TFieldType Value) { FDataType = Value; }
    int GetSize() const { return FSize; }
    void SetSize(int Value) { FSize = Value; }
    int GetPrecision() const { return FPrecision; }
    void SetPrecision(int Value) { FPrecision = Value; }
    // Strings: the most bytes one character takes (TStringField::CharSize).
    int GetCharSize() const { return FCharSize; }
    void SetCharSize(int Value) { FCharSize = Value; }
    // Required is the faRequired attribute.
    bool GetRequired() const { return FAttributes.Contains(faRequired); }
    void SetRequired(bool Value);
    TFieldAttributes GetAttributes() const { return FAttributes; }
    void SetAttributes(TFieldAttributes Value) { FAttributes = Value; }
    int GetFieldNo() const { return FFieldNo; }
    void SetFieldNo(int Value) { FFieldNo = Value; }
    bool GetInternalCalcField() const { return FInternalCalcField; }
    void SetInternalCalcField(bool Value) { FInternalCalcField = Value; }
    int GetIndex() const;
    TFieldDefs* GetCollection() const { return FOwner; }

    // The dataset's field class for the data type; nullptr when it has none.
    TFieldClass GetFieldClass() const;
    // A field of that class, named and sized after this definition, added to
    // the dataset's fields and owned by Owner.
    TField* CreateField(TComponent* Owner);

    AnsiString ClassName() const override { return "TFieldDef"; }

private:
    TFieldDefs* FOwner;
    AnsiString FName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    int FPrecision = 0;
    int FCharSize = 1;
    TFieldAttributes FAttributes;
    int FFieldNo = 0;
    bool FInternalCalcField = false;
};

// The dataset's column descriptions, owned by the dataset; owns its definitions.
class TFieldDefs : public TPersistent {
public:
    explicit TFieldDefs(TDataSet* DataSet) : FDataSet(DataSet) {}

    // A new definition at the end, field number its position (1-based).
    TFieldDef* AddFieldDef();
    TFieldDef* Add(const AnsiString& Name, TFieldType DataType, int Size = 0, bool Required = false);
    void Delete(int Index);
    void Clear();

    int GetCount() const { return FItems.GetCount(); }
    int Count() const { return GetCount(); }
    TFieldDef* GetItem(int Index) const { return FItems.Get(Index); }
    TFieldDef* operator[](int Index) const { return GetItem(Index); }
    int IndexOf(const AnsiString& Name) const;     // case-insensitive, -1 when absent
    TFieldDef* Find(const AnsiString& Name) const; // raises SFieldNotFound when absent

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int GetUpdateCount() const { return FUpdateCount; }
    bool GetUpdated() const { return FUpdated; }
    void SetUpdated(bool Value) { FUpdated = Value; }
    // Asks the dataset for its definitions when they are not up to date.
    void Update();

    TDataSet* GetDataSet() const { return FDataSet; }
    AnsiString ClassName() const override { return "TFieldDefs"; }

private:
    TDataSet* FDataSet;
    TObjectList<TFieldDef> FItems;
    int FUpdateCount = 0;
    bool FUpdated = false;
};

// ---------------------------------------------------------------------------
// Fields

class TField : public TComponent {
    friend class TDataSet;
    friend class TFields;

public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TField>& P);
    explicit TField(TComponent* AOwner);
    // Closes the dataset (a field cannot vanish from an open one) and leaves its field list.
    ~TField() override;

    virtual bool GetAsBoolean();
    virtual void SetAsBoolean(bool Value);
    virtual Currency GetAsCurrency();
    virtual void SetAsCurrency(Currency Value);
    virtual TDateTime GetAsDateTime();
    virtual void SetAsDateTime(TDateTime Value);
    virtual double GetAsFloat();
    virtual void SetAsFloat(double Value);
    virtual int GetAsInteger();
    virtual void SetAsInteger(int Value);
    virtual Int64 GetAsLargeint();
    virtual void SetAsLargeint(Int64 Value);
    virtual AnsiString GetAsString();
    virtual void SetAsString(const AnsiString& Value);

    virtual bool GetIsNull();
    virtual void Clear();
    // The Text property: the edit form, through OnGetText / OnSetText when assigned.
    AnsiString GetText();
    void SetText(const AnsiString& Value);
    // The display form (display formats applied), through OnGetText when assigned.
    AnsiString GetDisplayText();

    // The value in the native format (or the As... form with NativeFormat
    // false); Buffer nullptr only asks whether there is a value. While
    // OnValidate runs, GetData returns the value being validated.
    virtual bool GetData(void* Buffer, bool NativeFormat = true);
    // Writes Buffer (native format, or As... form with NativeFormat false);
    // nullptr writes null.
    virtual void SetData(void* Buffer, bool NativeFormat = true);
    // Runs OnValidate with the native value about to be written; a handler
    // that raises stops the write.
    virtual void Validate(void* Buffer);
    virtual bool IsValidChar(char Ch);
    virtual bool IsBlob() const { return false; }
    virtual void FocusControl();

    // Bytes of the native value (string: Size + 1).
    virtual int GetDataSize() const { return 0; }
    virtual bool GetCanModify();
    bool CanModify() { return GetCanModify(); }

    const AnsiString& GetFieldName() const { return FFieldName; }
    // Refuses a name another field of the dataset has; not while the dataset is open.
    void SetFieldName(const AnsiString& Value);
    // Field number of the bound column (1-based); -1 for calculated fields; 0 unbound.
    int GetFieldNo() const { return FFieldNo; }
    // Offset of the field's flag byte in the calculated-field area.
    int GetOffset() const { return FOffset; }
    TFieldType GetDataType() const { return FDataType; }
    int GetSize() const { return FSize; }
    void SetSize(int Value);
    TDataSet* GetDataSet() const { return FDataSet; }
    // Joins Dataset's fields (the dataset must be closed and not hold the name).
    virtual void SetDataSet(TDataSet* ADataSet);
    TFieldKind GetFieldKind() const { return FFieldKind; }
    void SetFieldKind(TFieldKind Value);
    bool GetCalculated() const { return FFieldKind == fkCalculated; }
    void SetCalculated(bool Value) { SetFieldKind(Value ? fkCalculated : fkData); }
    bool GetRequired() const { return FRequired; }
    void SetRequired(bool Value) { FRequired = Value; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool Value);
    const AnsiString& GetDisplayLabel() const { return FDisplayLabel; }
    void SetDisplayLabel(const AnsiString& Value);
    AnsiString GetDisplayName() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
    int GetDisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : GetDefaultWidth(); }
    void SetDisplayWidth(int Value);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    const std::bitset<256>& GetValidChars() const { return FValidChars; }
    void SetValidChars(const std::bitset<256>& Value) { FValidChars = Value; }
    void SetValidChars(const char* Chars);
    // Position in the dataset's field list; -1 without a dataset.
    int GetIndex() const;
    // A field read from form text inside its dataset joins it once its
    // name is known; without a name it fails here.
    void Loaded() override;

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    // The value in the form the dataset's GetFieldData delivers and its
    // SetFieldData takes, whatever native form the field gives itself
    // (while OnValidate runs, Size bytes of the value being validated).
    bool GetDataSetValue(void* Buffer, size_t Size);
    void SetDataSetValue(void* Buffer);
    virtual void Change();
    virtual void CheckTypeSize(int Value);
    virtual void Bind(bool Binding) { (void)Binding; }
    virtual void FreeBuffers() {}
    virtual AnsiString GetClassDesc();
    virtual int GetDefaultWidth() const { return 10; }
    virtual void GetFieldText(AnsiString& Text, bool DisplayText);
    virtual void SetFieldText(const AnsiString& Value);
    void SetDataType(TFieldType Value) { FDataType = Value; }
    void CheckInactive() const;
    void PropertyChanged(bool LayoutAffected);
    [[noreturn]] void AccessError(const AnsiString& TypeName) const;
    [[noreturn]] void RangeError(const AnsiString& Value, const AnsiString& Min, const AnsiString& Max) const;

private:
    TDataSet* FDataSet = nullptr;
    AnsiString FFieldName;
    AnsiString FDisplayLabel;
    TFieldType FDataType = ftUnknown;
    TFieldKind FFieldKind = fkData;
    TAlignment FAlignment = taLeftJustify;
    int FSize = 0;
    int FFieldNo = 0;
    int FOffset = 0;
    int FDisplayWidth = 0;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FVisible = true;
    bool FValidating = false;
    void* FValueBuffer = nullptr;
    std::bitset<256> FValidChars;
    TDataSet* FStreamedDataSet = nullptr; // the dataset it was read in, until it joins
    void JoinStreamedDataSet();
};

// Fixed-length or variable text. Size is the most it holds, in the field's
// unit: bytes where every character is one byte (CharSize 1: the character
// set NONE and the single-byte sets), characters of UTF-8 text where one
// takes up to CharSize bytes (a multi-byte set such as UTF8). A bound field
// takes CharSize from its field definition.
class TStringField : public TField {
    friend class TDataSet;

public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TStringField>& P);
    explicit TStringField(TComponent* AOwner);

    AnsiString GetAsString() override;
    // Text longer than Size (in the field's unit, which the message names)
    // or holding a zero byte is refused, never cut.
    void SetAsString(const AnsiString& Value) override;
    int GetAsInteger() override;
    void SetAsInteger(int Value) override;
    Int64 GetAsLargeint() override;
    void SetAsLargeint(Int64 Value) override;
    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    bool GetAsBoolean() override;
    void SetAsBoolean(bool Value) override;

    int GetDataSize() const override { return GetSize() * FCharSize + 1; }
    // 1 (the default) .. 4; not while the dataset is open.
    int GetCharSize() const { return FCharSize; }
    void SetCharSize(int Value);
    // Whether Size counts bytes (CharSize 1) rather than characters.
    bool GetCountsBytes() const { return FCharSize == 1; }
    // A text's length in the field's unit: bytes, or UTF-8 characters.
    int ValueLength(const AnsiString& Value) const;
    // Whether the field takes a text of this length (in both units it keeps).
    bool ValueFits(const AnsiString& Value) const;
    // Fixed-char: the dataset pads the value with blanks to Size.
    bool GetFixedChar() const { return FFixedChar; }
    void SetFixedChar(bool Value) { FFixedChar = Value; }
    virtual bool GetValue(AnsiString& Value);

protected:
    void CheckTypeSize(int Value) override;
    int GetDefaultWidth() const override { return GetSize(); }

private:
    bool FFixedChar = false;
    int FCharSize = 1;
};

// Numbers: right-aligned, with display and edit formats (FormatFloat style:
// sections "pos;neg;zero", 0 # . , E+ E-, quoted literals).
class TNumericField : public TField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TNumericField>& P);
    explicit TNumericField(TComponent* AOwner);

    const AnsiString& GetDisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    const AnsiString& GetEditFormat() const { return FEditFormat; }
    void SetEditFormat(const AnsiString& Value);

protected:
    // The format for GetFieldText: the display format for display, else the edit
    // format when there is one, else the display format.
    const AnsiString& TextFormat(bool DisplayText) const;

private:
    AnsiString FDisplayFormat;
    AnsiString FEditFormat;
};

class TIntegerField : public TNumericField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TIntegerField>& P);
    explicit TIntegerField(TComponent* AOwner);

    int GetAsInteger() override;
    void SetAsInteger(int Value) override;
    Int64 GetAsLargeint() override;
    void SetAsLargeint(Int64 Value) override;
    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;

    int GetDataSize() const override { return 4; }
    // Both 0: only the type's own range applies.
    int GetMinValue() const { return FMinValue; }
    void SetMinValue(int Value) { FMinValue = Value; }
    int GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value) { FMaxValue = Value; }
    bool GetValue(int& Value);

protected:
    TIntegerField(TComponent* AOwner, TFieldType DataType, int MinRange, int MaxRange);
    void GetFieldText(AnsiString& Text, bool DisplayText) override;
    int GetDefaultWidth() const override { return 11; }
    void CheckRange(Int64 Value) const;

private:
    int FMinRange, FMaxRange;
    int FMinValue = 0, FMaxValue = 0;
};

// A 16-bit range held in the 32-bit integer format (see above).
class TSmallintField : public TIntegerField {
public:
    KV_METACLASS_DECL
    explicit TSmallintField(TComponent* AOwner);

protected:
    int GetDefaultWidth() const override { return 6; }
};

class TLargeintField : public TNumericField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TLargeintField>& P);
    explicit TLargeintField(TComponent* AOwner);

    Int64 GetAsLargeint() override;
    void SetAsLargeint(Int64 Value) override;
    // Raises a range error for a value outside 32 bits instead of cutting it.
    int GetAsInteger() override;
    void SetAsInteger(int Value) override;
    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;

    int GetDataSize() const override { return 8; }
    Int64 GetMinValue() const { return FMinValue; }
    void SetMinValue(Int64 Value) { FMinValue = Value; }
    Int64 GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(Int64 Value) { FMaxValue = Value; }
    bool GetValue(Int64& Value);

protected:
    void GetFieldText(AnsiString& Text, bool DisplayText) override;
    int GetDefaultWidth() const override { return 15; }

private:
    void CheckRange(Int64 Value) const;
    Int64 FMinValue = 0, FMaxValue = 0;
};

class TFloatField : public TNumericField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TFloatField>& P);
    explicit TFloatField(TComponent* AOwner);

    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    int GetAsInteger() override;
    void SetAsInteger(int Value) override;
    Int64 GetAsLargeint() override;
    void SetAsLargeint(Int64 Value) override;
    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;

    int GetDataSize() const override { return 8; }
    // Significant digits of the default text.
    int GetPrecision() const { return FPrecision; }
    void SetPrecision(int Value);
    // Shows the value as money (two decimals) when no format is set.
    bool GetCurrency() const { return FCurrency; }
    void SetCurrency(bool Value);
    // Both 0: no range check.
    double GetMinValue() const { return FMinValue; }
    void SetMinValue(double Value) { FMinValue = Value; }
    double GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value) { FMaxValue = Value; }
    bool GetValue(double& Value);

protected:
    void GetFieldText(AnsiString& Text, bool DisplayText) override;

private:
    int FPrecision = 15;
    bool FCurrency = false;
    double FMinValue = 0, FMaxValue = 0;
};

// Fixed-point decimals. The dataset hands the value over as a TBcd record,
// which holds it exactly, so text, BCD and the largest values a NUMERIC
// holds are read and written without loss; Currency is only one view of
// it: AsCurrency raises for a value beyond Currency's range. Size is the
// number of decimals (0 .. 18), Precision the number of digits. Every value
// written is rounded half away from zero to Size decimals.
class TBCDField : public TNumericField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBCDField>& P);
    explicit TBCDField(TComponent* AOwner);

    Currency GetAsCurrency() override;
    void SetAsCurrency(Currency Value) override;
    // The nearest double.
    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    int GetAsInteger() override;
    void SetAsInteger(int Value) override;
    // Rounded half away from zero.
    Int64 GetAsLargeint() override;
    void SetAsLargeint(Int64 Value) override;
    // Exact: "-12.3" for -12.30 (no trailing zeros).
    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;
    TBcd GetAsBCD();
    void SetAsBCD(const TBcd& Value);

    int GetDataSize() const override { return static_cast<int>(sizeof(TBcd)); }
    int GetPrecision() const { return FPrecision; }
    void SetPrecision(int Value);
    bool GetCurrency() const { return FCurrency; }
    void SetCurrency(bool Value);
    // Both 0: no range check.
    Currency GetMinValue() const { return FMinValue; }
    void SetMinValue(Currency Value) { FMinValue = Value; }
    Currency GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(Currency Value) { FMaxValue = Value; }
    // Raises (out of range) for a value Currency cannot hold.
    virtual bool GetValue(Currency& Value);
    bool GetValue(TBcd& Value);

protected:
    void CheckTypeSize(int Value) override;
    void GetFieldText(AnsiString& Text, bool DisplayText) override;
    int GetDefaultWidth() const override { return FPrecision > 0 ? FPrecision + 2 : 10; }

private:
    [[noreturn]] void OutOfRange() const;
    // Rounds to Size decimals, checks the range and writes.
    void WriteBCD(const TBcd& Value);

    int FPrecision = 0;
    bool FCurrency = false;
    Currency FMinValue, FMaxValue;
};

// Date and time values; text in the fixed forms of DateToStr, TimeToStr and
// DateTimeToStr, and read back from the same forms.
class TDateTimeField : public TField {
public:
    KV_METACLASS_DECL
    explicit TDateTimeField(TComponent* AOwner);

    TDateTime GetAsDateTime() override;
    void SetAsDateTime(TDateTime Value) override;
    double GetAsFloat() override;
    void SetAsFloat(double Value) override;
    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;

    int GetDataSize() const override { return 8; }
    bool GetValue(TDateTime& Value);

protected:
    TDateTimeField(TComponent* AOwner, TFieldType DataType);
    void GetFieldText(AnsiString& Text, bool DisplayText) override;
    int GetDefaultWidth() const override { return 19; }
};

class TDateField : public TDateTimeField {
public:
    KV_METACLASS_DECL
    explicit TDateField(TComponent* AOwner);
    int GetDataSize() const override { return 4; }

protected:
    int GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
public:
    KV_METACLASS_DECL
    explicit TTimeField(TComponent* AOwner);
    int GetDataSize() const override { return 4; }

protected:
    int GetDefaultWidth() const override { return 8; }
};

// Binary large objects, read and written through the dataset's blob streams.
// Modified is set by the dataset's stream when it changes the contents and
// cleared when the record is posted or cancelled.
class TBlobField : public TField {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBlobField>& P);
    explicit TBlobField(TComponent* AOwner);

    AnsiString GetAsString() override;
    void SetAsString(const AnsiString& Value) override;
    // Empties the contents through a write stream.
    void Clear() override;
    // After a change: null when the contents are empty.
    bool GetIsNull() override;
    bool IsBlob() const override { return true; }

    int GetBlobSize();
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream);
    bool GetModified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    TFieldType GetBlobType() const { return GetDataType(); }
    void SetBlobType(TFieldType Value);

protected:
    TBlobField(TComponent* AOwner, TFieldType DataType);
    void CheckTypeSize(int Value) override;
    void FreeBuffers() override { FModified = false; }
    AnsiString GetClassDesc() override;
    void GetFieldText(AnsiString& Text, bool DisplayText) override;

private:
    std::unique_ptr<TStream> OpenStream(TBlobStreamMode Mode);
    bool FModified = false;
};

class TMemoField : public TBlobField {
public:
    KV_METACLASS_DECL
    explicit TMemoField(TComponent* AOwner);
};

class TGraphicField : public TBlobField {
public:
    KV_METACLASS_DECL
    explicit TGraphicField(TComponent* AOwner);
};

// ---------------------------------------------------------------------------
// The dataset's field list: borrowed pointers in order (fields are owned by
// their owner component, or freed by the dataset's DestroyFields).
class TFields : public TObject {
public:
    explicit TFields(TDataSet* DataSet) : FDataSet(DataSet) {}

    int GetCount() const { return FList.GetCount(); }
    int Count() const { return GetCount(); }
    TField* GetField(int Index) const { return FList.Get(Index); }
    TField* operator[](int Index) const { return GetField(Index); }
    int IndexOf(const TField* Field) const { return FList.IndexOf(Field); }
    TField* FindField(const AnsiString& FieldName) const;   // case-insensitive; nullptr when absent
    TField* FieldByName(const AnsiString& FieldName) const; // raises SFieldNotFound
    TField* FieldByNumber(int FieldNo) const;               // nullptr when absent
    void GetFieldNames(TStrings& List) const;
    TDataSet* GetDataSet() const { return FDataSet; }

    void Add(TField* Field) { FList.Add(Field); }
    void Remove(TField* Field) { FList.Remove(Field); }
    void Clear() { FList.Clear(); }

    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

private:
    TDataSet* FDataSet;
    TList<TField> FList;
};
