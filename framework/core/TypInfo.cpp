#include "TypInfo.h"

#include <map>
#include <memory>
#include <mutex>

int TTypeInfo::GetEnumValue(const AnsiString& Ident) const {
    for (size_t i = 0; i < Names.size(); ++i)
        if (SameText(Names[i], Ident)) return static_cast<int>(i);
    return -1;
}

AnsiString TTypeInfo::GetEnumName(int Value) const {
    if (Value < 0 || static_cast<size_t>(Value) >= Names.size()) return AnsiString();
    return Names[static_cast<size_t>(Value)];
}

TTypeInfo MakeEnumTypeInfo(const char* Name, std::initializer_list<const char*> Names) {
    TTypeInfo info{tkEnumeration, Name, {}, nullptr};
    for (const char* n : Names)
        info.Names.emplace_back(n);
    return info;
}

const TTypeInfo* BooleanTypeInfo() {
    static const TTypeInfo info = MakeEnumTypeInfo("Boolean", {"False", "True"});
    return &info;
}

const TTypeInfo* SetTypeInfoFor(const TTypeInfo* Element) {
    static std::mutex lock;
    static std::map<const TTypeInfo*, std::unique_ptr<TTypeInfo>> sets;
    std::lock_guard<std::mutex> guard(lock);
    auto& slot = sets[Element];
    if (!slot) slot.reset(new TTypeInfo{tkSet, "set of " + Element->Name, {}, Element});
    return slot.get();
}

TFormValue TFormValue::FromInt(Int64 v) {
    TFormValue r;
    r.Kind = vaInt;
    r.Int = v;
    return r;
}

TFormValue TFormValue::FromString(const AnsiString& s) {
    TFormValue r;
    r.Kind = vaString;
    r.Str = s;
    return r;
}

TFormValue TFormValue::FromIdent(const AnsiString& s) {
    TFormValue r;
    r.Kind = vaIdent;
    r.Str = s;
    return r;
}

bool TPropInfo::IsReadOnly() const {
    switch (Kind) {
    case tkClass:
        return !SetObj;
    case tkDefined:
        return !ReadDefined;
    default:
        return false;
    }
}

// ---- Tables ---------------------------------------------------------------

const TPropInfo* TPropTable::FindProp(const AnsiString& Name) const {
    for (const TPropTable* t = this; t; t = t->FParent)
        for (const TPropInfo& p : t->FProps)
            if (SameText(p.Name, Name)) return &p;
    return nullptr;
}

const TMethodEntry* TPropTable::FindMethod(const AnsiString& Name) const {
    for (const TPropTable* t = this; t; t = t->FParent)
        for (const TMethodEntry& m : t->FMethods)
            if (SameText(m.Name, Name)) return &m;
    return nullptr;
}

const TFieldEntry* TPropTable::FindField(const AnsiString& Name) const {
    for (const TPropTable* t = this; t; t = t->FParent)
        for (const TFieldEntry& f : t->FFields)
            if (SameText(f.Name, Name)) return &f;
    return nullptr;
}

std::vector<const TPropInfo*> TPropTable::GetProps() const {
    std::vector<const TPropInfo*> result = FParent ? FParent->GetProps() : std::vector<const TPropInfo*>();
    for (const TPropInfo& p : FProps) {
        bool replaced = false;
        for (auto& slot : result)
            if (SameText(slot->Name, p.Name)) {
                slot = &p;
                replaced = true;
            }
        if (!replaced) result.push_back(&p);
    }
    return result;
}

std::vector<const TFieldEntry*> TPropTable::GetFields() const {
    std::vector<const TFieldEntry*> result =
        FParent ? FParent->GetFields() : std::vector<const TFieldEntry*>();
    for (const TFieldEntry& f : FFields)
        result.push_back(&f);
    return result;
}

const TPropTable::TParentHook* TPropTable::GetParentHook() const {
    for (const TPropTable* t = this; t; t = t->FParent)
        if (t->FParentHook) return &t->FParentHook;
    return nullptr;
}

const TPropTable::TParentGetter* TPropTable::GetParentGetter() const {
    for (const TPropTable* t = this; t; t = t->FParent)
        if (t->FParentGetter) return &t->FParentGetter;
    return nullptr;
}

TPropInfo& TPropTable::AddProp(TPropInfo Info) {
    for (TPropInfo& p : FProps)
        if (SameText(p.Name, Info.Name)) throw EPropertyError("Property " + Info.Name + " published twice");
    FProps.push_back(std::move(Info));
    return FProps.back();
}

void TPropTable::AddMethod(TMethodEntry Entry) {
    FMethods.push_back(std::move(Entry));
}
void TPropTable::AddField(TFieldEntry Entry) {
    FFields.push_back(std::move(Entry));
}

namespace {

struct TableRegistry {
    std::recursive_mutex Lock;
    std::map<const TMetaClass*, void (*)(TPropTable&)> Publishers;
    // std::map keeps element addresses stable; tables point at their parents.
    std::map<const TMetaClass*, std::unique_ptr<TPropTable>> Tables;
};

TableRegistry& Tables() {
    static TableRegistry r;
    return r;
}

const TPropTable* BuildLocked(TableRegistry& r, const TMetaClass* Class) {
    auto it = r.Tables.find(Class);
    if (it != r.Tables.end()) return it->second.get();
    const TPropTable* parent = Class->GetParent() ? BuildLocked(r, Class->GetParent()) : nullptr;
    auto table = std::make_unique<TPropTable>(Class, parent);
    auto pub = r.Publishers.find(Class);
    if (pub != r.Publishers.end()) pub->second(*table);
    const TPropTable* result = table.get();
    r.Tables.emplace(Class, std::move(table));
    return result;
}

} // namespace

bool RegisterPublisher(const TMetaClass* Class, void (*Publish)(TPropTable&)) {
    TableRegistry& r = Tables();
    std::lock_guard<std::recursive_mutex> guard(r.Lock);
    r.Publishers[Class] = Publish;
    return true;
}

const TPropTable* GetPropTable(const TMetaClass* Class) {
    TableRegistry& r = Tables();
    std::lock_guard<std::recursive_mutex> guard(r.Lock);
    return BuildLocked(r, Class);
}

const TPropInfo* GetPropInfo(const TMetaClass* Class, const AnsiString& Name) {
    return GetPropTable(Class)->FindProp(Name);
}

// ---- TStrings -------------------------------------------------------------

namespace {

// TStrings is no component and has no metaclass of its own in Classes.h.
struct TStringsPublisher {
    static void Publish(TPropTable& Table) {
        TPublisher<TStrings> p(Table);
        p.Defined(
             "Strings",
             [](TStrings& s, const TFormValue& v) {
                 if (v.Kind != TFormValue::vaList) throw EPropertyError("A list of strings expected");
                 s.BeginUpdate();
                 try {
                     s.Clear();
                     for (const TFormValue& item : v.Items) {
                         if (item.Kind != TFormValue::vaString)
                             throw EPropertyError("A list of strings expected");
                         s.Add(item.Str);
                     }
                 } catch (...) {
                     s.EndUpdate();
                     throw;
                 }
                 s.EndUpdate();
             },
             [](const TStrings& s) {
                 TFormValue v;
                 v.Kind = TFormValue::vaList;
                 for (int i = 0; i < s.GetCount(); ++i)
                     v.Items.push_back(TFormValue::FromString(s.Get(i)));
                 return v;
             })
            .StoredIf([](const TStrings& s) { return s.GetCount() > 0; });
    }
};

} // namespace

const TMetaClass& StringsClassInfo() {
    static const TMetaClass info("TStrings", nullptr, nullptr);
    static const bool published = RegisterPublisher(&info, &TStringsPublisher::Publish);
    (void)published;
    return info;
}

// ---- Access by name -------------------------------------------------------

namespace {

const TPropInfo& NeedProp(const TMetaClass* Class, const AnsiString& Name) {
    const TPropInfo* p = GetPropInfo(Class, Name);
    if (!p) throw EPropertyError("Property " + Name + " does not exist");
    return *p;
}

bool IsOrdinal(TTypeKind k) {
    return k == tkInteger || k == tkInt64 || k == tkChar || k == tkEnumeration || k == tkSet;
}

} // namespace

Int64 GetOrdProp(const TObject* Instance, const TMetaClass* Class, const AnsiString& Name) {
    const TPropInfo& p = NeedProp(Class, Name);
    if (!IsOrdinal(p.Kind)) throw EPropertyError("Property " + Name + " is not ordinal");
    return p.GetOrd(Instance);
}

void SetOrdProp(TObject* Instance, const TMetaClass* Class, const AnsiString& Name, Int64 Value) {
    const TPropInfo& p = NeedProp(Class, Name);
    if (!IsOrdinal(p.Kind)) throw EPropertyError("Property " + Name + " is not ordinal");
    p.SetOrd(Instance, Value);
}

AnsiString GetStrProp(const TObject* Instance, const TMetaClass* Class, const AnsiString& Name) {
    const TPropInfo& p = NeedProp(Class, Name);
    if (p.Kind != tkString) throw EPropertyError("Property " + Name + " is not a string");
    return p.GetStr(Instance);
}

void SetStrProp(TObject* Instance, const TMetaClass* Class, const AnsiString& Name, const AnsiString& Value) {
    const TPropInfo& p = NeedProp(Class, Name);
    if (p.Kind != tkString) throw EPropertyError("Property " + Name + " is not a string");
    p.SetStr(Instance, Value);
}
