#include "FormReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

// ---- Parser ---------------------------------------------------------------

AnsiString LineSuffix(int Line) {
    return " on line " + IntToStr(Line);
}

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TTextParser {
public:
    explicit TTextParser(const AnsiString& Text) : FText(Text) {}

    TFormObject ParseRoot() {
        SkipBlanks();
        TFormObject root = ParseObject();
        SkipBlanks();
        if (FPos < FText.size()) Error("End of text expected after the last 'end'");
        return root;
    }

private:
    [[noreturn]] void Error(const AnsiString& Msg) const { throw EParserError(Msg + LineSuffix(FLine)); }

    char Peek(size_t Ahead = 0) const { return FPos + Ahead < FText.size() ? FText[FPos + Ahead] : '\0'; }
    bool AtEnd() const { return FPos >= FText.size(); }

    void SkipBlanks() {
        while (!AtEnd()) {
            char c = Peek();
            if (c == '\n') {
                ++FLine;
                ++FPos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f') {
                ++FPos;
            } else if (c == '/' && Peek(1) == '/') {
                while (!AtEnd() && Peek() != '\n')
                    ++FPos;
            } else {
                break;
            }
        }
    }

    AnsiString ReadIdent(bool Dotted) {
        SkipBlanks();
        if (!IsIdentStart(Peek())) Error("Identifier expected");
        size_t start = FPos;
        for (;;) {
            while (IsIdentChar(Peek()))
                ++FPos;
            if (Dotted && Peek() == '.' && IsIdentStart(Peek(1))) {
                ++FPos;
                continue;
            }
            break;
        }
        return FText.substr(start, FPos - start);
    }

    bool PeekKeyword(const char* Word) {
        SkipBlanks();
        size_t n = std::char_traits<char>::length(Word);
        if (FPos + n > FText.size()) return false;
        if (!SameText(FText.substr(FPos, n), Word)) return false;
        return !IsIdentChar(Peek(n));
    }

    void Expect(char c) {
        SkipBlanks();
        if (Peek() != c) Error(AnsiString("'") + c + "' expected");
        ++FPos;
    }

    TFormObject ParseObject() {
        TFormObject obj;
        obj.Line = FLine;
        if (PeekKeyword("inherited") || PeekKeyword("inline")) Error("Inherited form text is not supported");
        if (!PeekKeyword("object")) Error("'object' expected");
        ReadIdent(false);
        AnsiString first = ReadIdent(false);
        SkipBlanks();
        if (Peek() == ':') {
            ++FPos;
            obj.Name = first;
            obj.ClassName = ReadIdent(false);
        } else {
            obj.ClassName = first;
        }
        for (;;) {
            SkipBlanks();
            if (AtEnd()) Error("'end' expected");
            if (PeekKeyword("end")) {
                ReadIdent(false);
                return obj;
            }
            if (PeekKeyword("object") || PeekKeyword("inherited") || PeekKeyword("inline")) {
                obj.Children.push_back(ParseObject());
                continue;
            }
            if (!obj.Children.empty()) Error("Properties must come before nested objects");
            obj.Props.push_back(ParseProperty());
        }
    }

    TFormProperty ParseProperty() {
        TFormProperty p;
        p.Line = FLine;
        p.Name = ReadIdent(true);
        Expect('=');
        p.Value = ParseValue();
        return p;
    }

    // One string value: quoted runs and #n codes written without blanks in
    // between, joined by '+' across lines.
    AnsiString ParseString() {
        AnsiString result;
        for (;;) {
            bool any = false;
            while (Peek() == '\'' || Peek() == '#') {
                any = true;
                if (Peek() == '\'') {
                    ++FPos;
                    for (;;) {
                        if (AtEnd() || Peek() == '\n' || Peek() == '\r') Error("Unterminated string");
                        char c = FText[FPos++];
                        if (c == '\'') {
                            if (Peek() == '\'') {
                                result += '\'';
                                ++FPos;
                                continue;
                            }
                            break;
                        }
                        result += c;
                    }
                } else {
                    ++FPos;
                    unsigned long code = 0;
                    bool digits = false;
                    if (Peek() == '$') {
                        ++FPos;
                        while (HexValue(Peek()) >= 0) {
                            code = code * 16 + static_cast<unsigned long>(HexValue(FText[FPos++]));
                            digits = true;
                            if (code > 0x10FFFF) Error("Character code out of range");
                        }
                    } else {
                        while (IsDigit(Peek())) {
                            code = code * 10 + static_cast<unsigned long>(FText[FPos++] - '0');
                            digits = true;
                            if (code > 0x10FFFF) Error("Character code out of range");
                        }
                    }
                    if (!digits) Error("Character code expected after '#'");
                    if (code >= 0xD800 && code <= 0xDFFF) Error("Character code out of range");
                    AppendUtf8(result, static_cast<char32_t>(code));
                }
            }
            if (!any) Error("String expected");
            size_t save = FPos;
            int saveLine = FLine;
            SkipBlanks();
            if (Peek() == '+') {
                ++FPos;
                SkipBlanks();
                if (Peek() != '\'' && Peek() != '#') Error("String expected after '+'");
                continue;
            }
            FPos = save;
            FLine = saveLine;
            return result;
        }
    }

    TFormValue ParseNumber() {
        TFormValue v;
        v.Line = FLine;
        size_t start = FPos;
        bool negative = false;
        if (Peek() == '-' || Peek() == '+') {
            negative = Peek() == '-';
            ++FPos;
        }
        if (Peek() == '$') {
            ++FPos;
            Int64 value = 0;
            bool digits = false;
            while (HexValue(Peek()) >= 0) {
                if (value > (INT64_MAX >> 4)) Error("Number out of range");
                value = value * 16 + HexValue(FText[FPos++]);
                digits = true;
            }
            if (!digits) Error("Hexadecimal digits expected");
            v.Kind = TFormValue::vaInt;
            v.Int = negative ? -value : value;
        } else {
            if (!IsDigit(Peek())) Error("Number expected");
            while (IsDigit(Peek()))
                ++FPos;
            bool isFloat = false;
            if (Peek() == '.' && IsDigit(Peek(1))) {
                isFloat = true;
                ++FPos;
                while (IsDigit(Peek()))
                    ++FPos;
            }
            if ((Peek() == 'e' || Peek() == 'E') &&
                (IsDigit(Peek(1)) || ((Peek(1) == '-' || Peek(1) == '+') && IsDigit(Peek(2))))) {
                isFloat = true;
                FPos += 2;
                while (IsDigit(Peek()))
                    ++FPos;
            }
            AnsiString text = FText.substr(start, FPos - start);
            if (isFloat) {
                v.Kind = TFormValue::vaFloat;
                if (!TryStrToFloat(text, v.Float)) Error("Invalid number " + text);
            } else {
                v.Kind = TFormValue::vaInt;
                if (!TryStrToInt64(text, v.Int)) Error("Number out of range: " + text);
            }
        }
        if (IsIdentChar(Peek())) Error("Invalid number");
        return v;
    }

    TFormValue ParseValue() {
        SkipBlanks();
        TFormValue v;
        v.Line = FLine;
        char c = Peek();
        if (c == '\'' || c == '#') {
            v.Kind = TFormValue::vaString;
            v.Str = ParseString();
        } else if (IsDigit(c) || ((c == '-' || c == '+') && (IsDigit(Peek(1)) || Peek(1) == '$')) ||
                   c == '$') {
            v = ParseNumber();
        } else if (IsIdentStart(c)) {
            v.Kind = TFormValue::vaIdent;
            v.Str = ReadIdent(true);
        } else if (c == '[') {
            ++FPos;
            v.Kind = TFormValue::vaSet;
            SkipBlanks();
            if (Peek() != ']') {
                for (;;) {
                    v.SetItems.push_back(ReadIdent(false));
                    SkipBlanks();
                    if (Peek() == ',') {
                        ++FPos;
                        continue;
                    }
                    break;
                }
            }
            Expect(']');
        } else if (c == '(') {
            ++FPos;
            v.Kind = TFormValue::vaList;
            for (;;) {
                SkipBlanks();
                if (AtEnd()) Error("')' expected");
                if (Peek() == ')') {
                    ++FPos;
                    break;
                }
                v.Items.push_back(ParseValue());
            }
        } else if (c == '{') {
            ++FPos;
            v.Kind = TFormValue::vaBinary;
            for (;;) {
                SkipBlanks();
                if (AtEnd()) Error("'}' expected");
                if (Peek() == '}') {
                    ++FPos;
                    break;
                }
                int hi = HexValue(Peek());
                int lo = HexValue(Peek(1));
                if (hi < 0 || lo < 0) Error("Hexadecimal pairs expected in binary data");
                v.Str += static_cast<char>(hi * 16 + lo);
                FPos += 2;
            }
        } else if (c == '<') {
            ++FPos;
            v.Kind = TFormValue::vaCollection;
            for (;;) {
                SkipBlanks();
                if (AtEnd()) Error("'>' expected");
                if (Peek() == '>') {
                    ++FPos;
                    break;
                }
                if (!PeekKeyword("item")) Error("'item' expected");
                ReadIdent(false);
                std::vector<TFormProperty> item;
                while (!PeekKeyword("end")) {
                    if (AtEnd()) Error("'end' expected");
                    item.push_back(ParseProperty());
                }
                ReadIdent(false);
                v.Collection.push_back(std::move(item));
            }
        } else if (AtEnd()) {
            Error("Property value expected");
        } else {
            Error(AnsiString("Invalid character '") + c + "'");
        }
        return v;
    }

    const AnsiString& FText;
    size_t FPos = 0;
    int FLine = 1;
};

// ---- Reader ---------------------------------------------------------------

const char* ValueKindName(TFormValue::TKind k) {
    switch (k) {
    case TFormValue::vaInt:
        return "an integer";
    case TFormValue::vaFloat:
        return "a number";
    case TFormValue::vaString:
        return "a string";
    case TFormValue::vaIdent:
        return "an identifier";
    case TFormValue::vaSet:
        return "a set";
    case TFormValue::vaList:
        return "a list";
    case TFormValue::vaBinary:
        return "binary data";
    case TFormValue::vaCollection:
        return "a collection";
    default:
        return "nothing";
    }
}

// Hands one value of form text to the DefineProperties of an object.
class TValueReader : public TReader {
public:
    TValueReader(const AnsiString& Name, const TFormValue& Value) : FName(Name), FValue(Value) {}
    void Offer(TPersistent* Instance) { DefinePropertiesOf(Instance, *this); }
    bool Found() const { return FFound; }

    void DefineProperty(const AnsiString& Name, const TReaderProc& ReadData, const TWriterProc&,
                        bool) override {
        if (FFound || !ReadData || !SameText(Name, FName)) return;
        FFound = true;
        ReadData(*this);
    }
    int ReadInteger() override {
        const TFormValue& v = Next("an integer");
        if (v.Kind != TFormValue::vaInt) Mismatch("an integer", v);
        if (v.Int < INT32_MIN || v.Int > INT32_MAX)
            throw EConvertError("Invalid property value: " + IntToStr(v.Int) + " is out of range");
        return static_cast<int>(v.Int);
    }
    AnsiString ReadString() override {
        const TFormValue& v = Next("a string");
        if (v.Kind != TFormValue::vaString) Mismatch("a string", v);
        return v.Str;
    }
    void ReadListBegin() override {
        const TFormValue& v = Next("a list");
        if (v.Kind != TFormValue::vaList) Mismatch("a list", v);
        FLists.push_back({&v, 0});
    }
    bool EndOfList() override {
        return FLists.empty() || FLists.back().Next >= FLists.back().List->Items.size();
    }
    void ReadListEnd() override {
        if (!EndOfList()) throw EConvertError("Invalid property value: end of list expected");
        FLists.pop_back();
    }

private:
    struct Open {
        const TFormValue* List;
        size_t Next;
    };
    const TFormValue& Next(const char* What) {
        if (!FLists.empty()) {
            Open& o = FLists.back();
            if (o.Next >= o.List->Items.size())
                throw EConvertError(AnsiString("Invalid property value: ") + What +
                                    " expected, found the end of a list");
            return o.List->Items[o.Next++];
        }
        if (FTaken)
            throw EConvertError(AnsiString("Invalid property value: ") + What + " expected after the value");
        FTaken = true;
        return FValue;
    }
    [[noreturn]] static void Mismatch(const char* What, const TFormValue& V) {
        throw EConvertError(AnsiString("Invalid property value: ") + What + " expected, found " +
                            ValueKindName(V.Kind));
    }
    AnsiString FName;
    const TFormValue& FValue;
    bool FFound = false;
    bool FTaken = false;
    std::vector<Open> FLists;
};

// Collects the values DefineProperties writes for an object.
class TValueWriter : public TWriter {
public:
    using TSink = std::function<void(const AnsiString& Name, const TFormValue& Value)>;
    explicit TValueWriter(TSink Sink) : FSink(std::move(Sink)) {}
    void Collect(TPersistent* Instance) { DefinePropertiesOf(Instance, *this); }

    void DefineProperty(const AnsiString& Name, const TReaderProc&, const TWriterProc& WriteData,
                        bool HasData) override {
        if (!HasData || !WriteData) return;
        FValues.clear();
        FLists.clear();
        WriteData(*this);
        if (!FLists.empty()) throw EWriteError("Property " + Name + " leaves a list open");
        if (FValues.size() != 1) throw EWriteError("Property " + Name + " must write exactly one value");
        FSink(Name, FValues[0]);
    }
    void WriteInteger(int Value) override { Put(TFormValue::FromInt(Value)); }
    void WriteString(const AnsiString& Value) override { Put(TFormValue::FromString(Value)); }
    void WriteListBegin() override {
        TFormValue list;
        list.Kind = TFormValue::vaList;
        FLists.push_back(list);
    }
    void WriteListEnd() override {
        if (FLists.empty()) throw EWriteError("WriteListEnd without WriteListBegin");
        TFormValue list = std::move(FLists.back());
        FLists.pop_back();
        Put(list);
    }

private:
    void Put(const TFormValue& V) {
        if (FLists.empty())
            FValues.push_back(V);
        else
            FLists.back().Items.push_back(V);
    }
    TSink FSink;
    std::vector<TFormValue> FValues;
    std::vector<TFormValue> FLists;
};

class TFormReaderImpl {
public:
    TFormReaderImpl(TComponent* Root, const TMetaClass& RootClass)
        : FRoot(Root), FRootClass(RootClass), FRootTable(GetPropTable(&RootClass)) {}

    void Read(const TFormObject& Node) {
        if (!SameText(Node.ClassName, FRootClass.GetName()))
            throw EReadError("Form text is for class " + Node.ClassName + ", not " + FRootClass.GetName() +
                             LineSuffix(Node.Line));
        FRoot->SetLoading(true);
        try {
            if (!Node.Name.empty()) SetRootName(Node.Name, Node.Line);
            ReadProperties(FRoot, FRootTable, Node, RootDisplayName());
            for (const TFormObject& child : Node.Children)
                ReadChild(child, FRoot);
            ResolveFixups();
            CheckFields();
        } catch (...) {
            Rollback();
            throw;
        }
        std::vector<TComponent*> loaded;
        loaded.push_back(FRoot);
        loaded.insert(loaded.end(), FCreated.begin(), FCreated.end());
        // A failing Loaded leaves no component marked as loading.
        for (size_t i = 0; i < loaded.size(); ++i) {
            try {
                loaded[i]->Loaded();
            } catch (...) {
                for (size_t k = i; k < loaded.size(); ++k)
                    loaded[k]->SetLoading(false);
                FRoot->SetLoading(false);
                throw;
            }
        }
        FRoot->SetLoading(false);
    }

private:
    struct Fixup {
        TObject* Instance;
        const TPropInfo* Prop;
        AnsiString Target;
        AnsiString Where;
        int Line;
    };

    AnsiString RootDisplayName() const {
        return FRoot->GetName().empty() ? AnsiString(FRootClass.GetName()) : FRoot->GetName();
    }

    [[noreturn]] static void Fail(const AnsiString& Where, const AnsiString& Msg, int Line) {
        throw EReadError("Error reading " + Where + LineSuffix(Line) + ": " + Msg);
    }

    void SetRootName(const AnsiString& Name, int Line) {
        // A second instance of a form gets a numbered name, as its owner
        // cannot hold two components of one name.
        TComponent* owner = FRoot->GetOwner();
        AnsiString name = Name;
        for (int n = 1; owner && owner->FindComponent(name) && owner->FindComponent(name) != FRoot; ++n)
            name = Name + "_" + IntToStr(n);
        try {
            FRoot->SetName(name);
        } catch (const Exception& e) {
            Fail(Name, e.Message(), Line);
        }
    }

    void ReadChild(const TFormObject& Node, TComponent* Parent) {
        AnsiString where = Node.Name.empty() ? Node.ClassName : Node.Name;
        TComponentClass cls = GetClass(Node.ClassName);
        if (!cls) throw EReadError("Class " + Node.ClassName + " not found" + LineSuffix(Node.Line));
        if (cls->IsAbstract())
            Fail(where, "Cannot create an instance of abstract class " + Node.ClassName, Node.Line);
        if (!Node.Name.empty() && (FRoot->FindComponent(Node.Name) || SameText(FRoot->GetName(), Node.Name)))
            Fail(where, "A component named " + Node.Name + " already exists", Node.Line);
        TComponent* c = nullptr;
        try {
            c = cls->Create(FRoot);
        } catch (const Exception& e) {
            Fail(where, e.Message(), Node.Line);
        }
        FCreated.push_back(c);
        c->SetLoading(true);
        const TPropTable* table = GetPropTable(cls);
        try {
            if (!Node.Name.empty()) c->SetName(Node.Name);
            if (const auto* hook = table->GetParentHook()) (*hook)(c, Parent);
        } catch (const EReadError&) {
            throw;
        } catch (const Exception& e) {
            Fail(where, e.Message(), Node.Line);
        }
        if (!Node.Name.empty()) {
            if (const TFieldEntry* f = FRootTable->FindField(Node.Name)) {
                if (!f->Set(FRoot, c))
                    Fail(where,
                         "Field " + f->Name + " of " + FRootClass.GetName() + " is a " + f->ClassName +
                             ", not a " + Node.ClassName,
                         Node.Line);
                FFieldsSet.push_back(f);
            }
        }
        ReadProperties(c, table, Node, where);
        for (const TFormObject& child : Node.Children)
            ReadChild(child, c);
    }

    void ReadProperties(TObject* Instance, const TPropTable* Table, const TFormObject& Node,
                        const AnsiString& Where) {
        for (const TFormProperty& p : Node.Props)
            SetProperty(Instance, Table, p, Where);
    }

    void SetProperty(TObject* Instance, const TPropTable* Table, const TFormProperty& P,
                     const AnsiString& Where) {
        AnsiString where = Where + "." + P.Name;
        // Dotted names walk into sub-objects: Font.Name, Lines.Strings.
        AnsiString path = P.Name;
        TObject* target = Instance;
        const TPropTable* table = Table;
        for (;;) {
            size_t dot = path.find('.');
            if (dot == AnsiString::npos) break;
            AnsiString head = path.substr(0, dot);
            const TPropInfo* sub = table->FindProp(head);
            if (!sub) Fail(where, "Property " + head + " does not exist", P.Line);
            if (sub->Kind != tkClass || sub->IsComponentRef)
                Fail(where, "Property " + head + " has no parts", P.Line);
            target = sub->GetObj(target);
            if (!target) Fail(where, "Property " + head + " holds no object", P.Line);
            table = GetPropTable(sub->PropClass);
            path = path.substr(dot + 1);
        }
        const TPropInfo* info = table->FindProp(path);
        if (!info) {
            if (ReadDefinedProperty(target, path, P.Value, where)) return;
            Fail(where, "Property " + path + " does not exist", P.Line);
        }
        try {
            Assign(target, *info, P.Value, where);
        } catch (const EReadError&) {
            throw;
        } catch (const Exception& e) {
            Fail(where, e.Message(), P.Line);
        }
    }

    // Offers the value to the object's DefineProperties; false when no
    // definition takes it.
    bool ReadDefinedProperty(TObject* Instance, const AnsiString& Name, const TFormValue& V,
                             const AnsiString& Where) {
        auto* persistent = dynamic_cast<TPersistent*>(Instance);
        if (!persistent) return false;
        TValueReader reader(Name, V);
        try {
            reader.Offer(persistent);
        } catch (const EReadError&) {
            throw;
        } catch (const Exception& e) {
            Fail(Where, e.Message(), V.Line);
        }
        return reader.Found();
    }

    [[noreturn]] void BadValue(const AnsiString& Where, const TPropInfo& Info, const TFormValue& V,
                               const AnsiString& Why) {
        (void)Info;
        Fail(Where, "Invalid property value" + (Why.empty() ? AnsiString() : ": " + Why), V.Line);
    }

    void Assign(TObject* Instance, const TPropInfo& Info, const TFormValue& V, const AnsiString& Where) {
        auto expect = [&](TFormValue::TKind k) {
            if (V.Kind != k)
                BadValue(Where, Info, V,
                         AnsiString(ValueKindName(k)) + " expected, found " + ValueKindName(V.Kind));
        };
        switch (Info.Kind) {
        case tkInteger:
        case tkInt64: {
            Int64 value = 0;
            if (V.Kind == TFormValue::vaIdent && Info.Idents) {
                bool found = false;
                for (const TIdentMapEntry& e : *Info.Idents)
                    if (SameText(e.Name, V.Str)) {
                        value = e.Value;
                        found = true;
                    }
                if (!found) BadValue(Where, Info, V, "unknown value " + V.Str);
            } else {
                expect(TFormValue::vaInt);
                value = V.Int;
            }
            if (Info.Kind == tkInteger && (value < INT32_MIN || value > INT32_MAX))
                BadValue(Where, Info, V, IntToStr(value) + " is out of range");
            Info.SetOrd(Instance, value);
            break;
        }
        case tkChar: {
            expect(TFormValue::vaString);
            if (V.Str.size() != 1) BadValue(Where, Info, V, "one character expected");
            Info.SetOrd(Instance, static_cast<unsigned char>(V.Str[0]));
            break;
        }
        case tkEnumeration: {
            expect(TFormValue::vaIdent);
            int value = Info.TypeInfo->GetEnumValue(V.Str);
            if (value < 0) BadValue(Where, Info, V, "unknown value " + V.Str);
            Info.SetOrd(Instance, value);
            break;
        }
        case tkSet: {
            expect(TFormValue::vaSet);
            Int64 bits = 0;
            for (const AnsiString& item : V.SetItems) {
                int value = Info.TypeInfo->CompType->GetEnumValue(item);
                if (value < 0 || value >= 64) BadValue(Where, Info, V, "unknown value " + item);
                bits |= Int64(1) << value;
            }
            Info.SetOrd(Instance, bits);
            break;
        }
        case tkFloat: {
            if (V.Kind == TFormValue::vaInt)
                Info.SetFloat(Instance, static_cast<double>(V.Int));
            else {
                expect(TFormValue::vaFloat);
                Info.SetFloat(Instance, V.Float);
            }
            break;
        }
        case tkString:
            expect(TFormValue::vaString);
            Info.SetStr(Instance, V.Str);
            break;
        case tkClass:
            if (!Info.IsComponentRef || !Info.SetObj)
                BadValue(Where, Info, V, "set the parts of " + Info.Name + " one by one");
            expect(TFormValue::vaIdent);
            if (SameText(V.Str, "nil"))
                Info.SetObj(Instance, nullptr);
            else
                FFixups.push_back({Instance, &Info, V.Str, Where, V.Line});
            break;
        case tkMethod: {
            expect(TFormValue::vaIdent);
            const TMethodEntry* m = FRootTable->FindMethod(V.Str);
            if (!m) BadValue(Where, Info, V, "handler " + V.Str + " not found in " + FRootClass.GetName());
            if (*m->Signature != *Info.MethodType)
                BadValue(Where, Info, V, "handler " + V.Str + " does not fit event " + Info.Name);
            Info.SetMethod(Instance, m->Bind(FRoot));
            break;
        }
        case tkDefined:
            if (!Info.ReadDefined) BadValue(Where, Info, V, "property cannot be read");
            Info.ReadDefined(Instance, V);
            break;
        }
    }

    TComponent* FindByName(const AnsiString& Name) const {
        size_t dot = Name.find('.');
        if (dot != AnsiString::npos) {
            // Only the root may be named as owner.
            if (!SameText(Name.substr(0, dot), FRoot->GetName())) return nullptr;
            return FRoot->FindComponent(Name.substr(dot + 1));
        }
        if (TComponent* c = FRoot->FindComponent(Name)) return c;
        if (SameText(FRoot->GetName(), Name)) return FRoot;
        return nullptr;
    }

    void ResolveFixups() {
        for (const Fixup& f : FFixups) {
            TComponent* c = FindByName(f.Target);
            if (!c) Fail(f.Where, "Component " + f.Target + " not found", f.Line);
            if (!f.Prop->AcceptsObj(c))
                Fail(f.Where,
                     "Component " + f.Target + " is a " + c->ClassName() + ", not a " +
                         f.Prop->PropClass->GetName(),
                     f.Line);
            try {
                f.Prop->SetObj(f.Instance, c);
            } catch (const Exception& e) {
                Fail(f.Where, e.Message(), f.Line);
            }
        }
    }

    void CheckFields() {
        for (const TFieldEntry* f : FRootTable->GetFields())
            if (!f->Get(FRoot))
                throw EReadError("Field " + f->Name + " of " + FRootClass.GetName() +
                                 " has no component in the form text");
    }

    void Rollback() {
        for (const TFieldEntry* f : FFieldsSet)
            f->Set(FRoot, nullptr);
        for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
            delete *it;
        FCreated.clear();
        FRoot->SetLoading(false);
    }

    TComponent* FRoot;
    const TMetaClass& FRootClass;
    const TPropTable* FRootTable;
    std::vector<TComponent*> FCreated;
    std::vector<const TFieldEntry*> FFieldsSet;
    std::vector<Fixup> FFixups;
};

// ---- Writer ---------------------------------------------------------------

class TFormWriterImpl {
public:
    explicit TFormWriterImpl(const TComponent* Root) : FRoot(Root) {}

    void WriteObject(const TComponent* C, const TMetaClass& Class, int Indent) {
        Line(Indent,
             "object " + (C->GetName().empty() ? AnsiString() : C->GetName() + ": ") + Class.GetName());
        const TPropTable* table = GetPropTable(&Class);
        WriteProps(C, table, "", Indent + 1);
        auto write = [&](TComponent* child) {
            TComponentClass cls = GetClass(child->ClassName());
            if (!cls) throw EWriteError("Class " + child->ClassName() + " is not registered");
            WriteObject(child, *cls, Indent + 1);
        };
        // The root's components, each inside the one it nests in.
        for (int i = 0; i < FRoot->GetComponentCount(); ++i) {
            TComponent* child = FRoot->GetComponent(i);
            TComponent* parent = ParentOf(child);
            if (parent == C || (C == FRoot && !parent)) write(child);
        }
        Line(Indent, "end");
    }

    AnsiString Text() const { return FOut; }

private:
    static TComponent* ParentOf(const TComponent* C) {
        TComponentClass cls = GetClass(C->ClassName());
        if (!cls) return nullptr;
        const auto* getter = GetPropTable(cls)->GetParentGetter();
        return getter ? (*getter)(C) : nullptr;
    }

    void Line(int Indent, const AnsiString& S) {
        FOut += AnsiString(static_cast<size_t>(Indent) * 2, ' ') + S + "\r\n";
    }

    void WriteProps(const TObject* Obj, const TPropTable* Table, const AnsiString& Prefix, int Indent) {
        for (const TPropInfo* p : Table->GetProps()) {
            if (!p->IsStored(Obj)) continue;
            AnsiString name = Prefix + p->Name;
            switch (p->Kind) {
            case tkInteger:
            case tkInt64:
            case tkChar:
            case tkEnumeration:
            case tkSet: {
                Int64 v = p->GetOrd(Obj);
                if (p->Default && *p->Default == v) continue;
                Line(Indent, name + " = " + OrdText(*p, v));
                break;
            }
            case tkFloat: {
                double v = p->GetFloat(Obj);
                if (v == 0) continue;
                char buf[40];
                std::snprintf(buf, sizeof buf, "%.17g", v);
                AnsiString t = buf;
                if (t.find_first_of(".e") == AnsiString::npos) t += ".0";
                Line(Indent, name + " = " + t);
                break;
            }
            case tkString: {
                AnsiString v = p->GetStr(Obj);
                if (v.empty()) continue;
                WriteValue(Indent, name + " = ", TFormValue::FromString(v));
                break;
            }
            case tkClass: {
                TObject* v = p->GetObj(Obj);
                if (!v) continue;
                if (p->IsComponentRef) {
                    auto* c = dynamic_cast<const TComponent*>(v);
                    if (!c || c->GetName().empty()) continue;
                    AnsiString ref = c->GetName();
                    if (c != FRoot && c->GetOwner() != FRoot && c->GetOwner())
                        ref = c->GetOwner()->GetName() + "." + ref;
                    Line(Indent, name + " = " + ref);
                } else {
                    WriteProps(v, GetPropTable(p->PropClass), name + ".", Indent);
                }
                break;
            }
            case tkMethod: {
                // Only handlers of the root can be named: the reader looks
                // them up there.
                TMethodRef m = p->GetMethod(Obj);
                if (m.Name.empty() || m.Data != FRoot) continue;
                Line(Indent, name + " = " + m.Name);
                break;
            }
            case tkDefined:
                if (!p->WriteDefined) continue;
                WriteValue(Indent, name + " = ", p->WriteDefined(Obj));
                break;
            }
        }
        // What the object declares beyond its published properties.
        if (auto* persistent = dynamic_cast<const TPersistent*>(Obj))
            TValueWriter([&](const AnsiString& Name, const TFormValue& V) {
                WriteValue(Indent, Prefix + Name + " = ", V);
            }).Collect(const_cast<TPersistent*>(persistent));
    }

    static AnsiString OrdText(const TPropInfo& P, Int64 V) {
        switch (P.Kind) {
        case tkChar: {
            unsigned char c = static_cast<unsigned char>(V);
            if (c >= 32 && c < 127 && c != '\'') return AnsiString("'") + static_cast<char>(c) + "'";
            return "#" + IntToStr(c);
        }
        case tkEnumeration: {
            AnsiString n = P.TypeInfo->GetEnumName(static_cast<int>(V));
            if (n.empty())
                throw EWriteError("Property " + P.Name + " holds a value without a name: " + IntToStr(V));
            return n;
        }
        case tkSet: {
            AnsiString s = "[";
            for (int i = 0; i < 64; ++i)
                if (V & (Int64(1) << i)) {
                    AnsiString n = P.TypeInfo->CompType->GetEnumName(i);
                    if (n.empty())
                        throw EWriteError("Property " + P.Name + " holds a set element without a name");
                    if (s.size() > 1) s += ", ";
                    s += n;
                }
            return s + "]";
        }
        default:
            if (P.Idents)
                for (const TIdentMapEntry& e : *P.Idents)
                    if (e.Value == V) return e.Name;
            return IntToStr(V);
        }
    }

    // A string literal: printable ASCII quoted, control characters and
    // non-ASCII code points as #n, invalid UTF-8 bytes kept raw in quotes.
    static std::vector<AnsiString> StringChunks(const AnsiString& S) {
        std::vector<AnsiString> chunks;
        AnsiString cur;
        bool quoted = false;
        size_t inChunk = 0;
        auto flush = [&] {
            if (quoted) cur += '\'';
            quoted = false;
            if (!cur.empty()) chunks.push_back(cur);
            cur.clear();
            inChunk = 0;
        };
        auto raw = [&](char c) {
            if (!quoted) {
                cur += '\'';
                quoted = true;
            }
            if (c == '\'') cur += '\'';
            cur += c;
        };
        size_t i = 0;
        while (i < S.size()) {
            if (inChunk >= 64) flush();
            unsigned char c = static_cast<unsigned char>(S[i]);
            if (c >= 32 && c < 127) {
                raw(static_cast<char>(c));
                ++i;
            } else if (c < 32 || c == 127) {
                if (quoted) {
                    cur += '\'';
                    quoted = false;
                }
                cur += "#" + IntToStr(c);
                ++i;
            } else {
                // Decode one UTF-8 sequence.
                int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
                unsigned long cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
                bool ok = len > 0 && i + static_cast<size_t>(len) <= S.size();
                for (int k = 1; ok && k < len; ++k) {
                    unsigned char cc = static_cast<unsigned char>(S[i + static_cast<size_t>(k)]);
                    if ((cc & 0xC0) != 0x80) ok = false;
                    cp = (cp << 6) | (cc & 0x3F);
                }
                if (ok) {
                    static const unsigned long minimum[] = {0, 0, 0x80, 0x800, 0x10000};
                    ok = cp >= minimum[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
                }
                if (ok) {
                    if (quoted) {
                        cur += '\'';
                        quoted = false;
                    }
                    cur += "#" + IntToStr(static_cast<Int64>(cp));
                    i += static_cast<size_t>(len);
                } else {
                    raw(static_cast<char>(c));
                    ++i;
                }
            }
            ++inChunk;
        }
        flush();
        if (chunks.empty()) chunks.push_back("''");
        return chunks;
    }

    void WriteValue(int Indent, const AnsiString& Head, const TFormValue& V) {
        switch (V.Kind) {
        case TFormValue::vaString: {
            auto chunks = StringChunks(V.Str);
            if (chunks.size() == 1) {
                Line(Indent, Head + chunks[0]);
            } else {
                Line(Indent, Head);
                for (size_t i = 0; i < chunks.size(); ++i)
                    Line(Indent + 1, chunks[i] + (i + 1 < chunks.size() ? " +" : ""));
            }
            break;
        }
        case TFormValue::vaInt:
            Line(Indent, Head + IntToStr(V.Int));
            break;
        case TFormValue::vaIdent:
            Line(Indent, Head + V.Str);
            break;
        case TFormValue::vaFloat: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", V.Float);
            Line(Indent, Head + buf);
            break;
        }
        case TFormValue::vaSet: {
            AnsiString s = "[";
            for (size_t i = 0; i < V.SetItems.size(); ++i)
                s += (i ? ", " : "") + V.SetItems[i];
            Line(Indent, Head + s + "]");
            break;
        }
        case TFormValue::vaList: {
            Line(Indent, Head + "(");
            for (const TFormValue& item : V.Items)
                WriteValue(Indent + 1, "", item);
            FOut.insert(FOut.size() - 2, ")");
            break;
        }
        case TFormValue::vaBinary: {
            Line(Indent, Head + "{");
            static const char* hex = "0123456789ABCDEF";
            for (size_t i = 0; i < V.Str.size(); i += 32) {
                AnsiString row;
                for (size_t k = i; k < std::min(V.Str.size(), i + 32); ++k) {
                    unsigned char b = static_cast<unsigned char>(V.Str[k]);
                    row += hex[b >> 4];
                    row += hex[b & 15];
                }
                Line(Indent + 1, row);
            }
            FOut.insert(FOut.size() - 2, "}");
            break;
        }
        case TFormValue::vaCollection:
        case TFormValue::vaNull:
            throw EWriteError("Cannot write this kind of value");
        }
    }

    const TComponent* FRoot;
    AnsiString FOut;
};

struct ResourceRegistry {
    std::mutex Lock;
    std::map<AnsiString, const char*> Texts; // key upper-cased
};

ResourceRegistry& Resources() {
    static ResourceRegistry r;
    return r;
}

} // namespace

TFormObject ParseFormText(const AnsiString& Text) {
    return TTextParser(Text).ParseRoot();
}

void ReadComponentFromText(const AnsiString& Text, TComponent* Root, const TMetaClass& RootClass) {
    TFormObject node = ParseFormText(Text);
    TFormReaderImpl(Root, RootClass).Read(node);
}

AnsiString WriteComponentToText(const TComponent* Root, const TMetaClass& RootClass) {
    TFormWriterImpl w(Root);
    w.WriteObject(Root, RootClass, 0);
    return w.Text();
}

void RegisterFormResource(const AnsiString& Name, const char* Text) {
    ResourceRegistry& r = Resources();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Texts[UpperCase(Name)] = Text;
}

const char* FindFormResource(const AnsiString& Name) {
    ResourceRegistry& r = Resources();
    std::lock_guard<std::mutex> guard(r.Lock);
    auto it = r.Texts.find(UpperCase(Name));
    return it == r.Texts.end() ? nullptr : it->second;
}

void ReadComponentRes(TComponent* Root, const TMetaClass& RootClass) {
    const char* text = FindFormResource(RootClass.GetName());
    if (!text) throw EResNotFound("Resource " + UpperCase(RootClass.GetName()) + " not found");
    ReadComponentFromText(text, Root, RootClass);
}
