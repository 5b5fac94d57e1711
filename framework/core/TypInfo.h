// Published-property metadata: what the form reader and writer know of a
// class. Every metaclass may have a property table (properties with type,
// default and accessors; handler methods; component fields; hooks for the
// parent/child tree); lookups walk the metaclass parent chain, so a class
// inherits what its ancestors publish.
//
// A class publishes by declaring `static void Publish(TPublisher<TMyClass>& P);`
// next to KV_METACLASS_DECL and defining its metaclass with
// KV_PUBLISHED_METACLASS (or KV_PUBLISHED_ABSTRACT_METACLASS) instead of
// KV_METACLASS:
//
//   void TMyButton::Publish(TPublisher<TMyButton>& P) {
//       P.Prop("Caption", &TMyButton::GetCaption, &TMyButton::SetCaption);
//       P.Prop("Down", &TMyButton::GetDown, &TMyButton::SetDown).Default(false);
//       P.Prop("OnClick", &TMyButton::OnClick);      // an event field
//   }
#pragma once

#include "ClassReg.h"
#include "Sets.h"

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <typeinfo>
#include <vector>

FRAMEWORK_EXCEPTION(EPropertyError, EComponentError);

// ---------------------------------------------------------------------------
// Type information of property types

enum TTypeKind {
    tkInteger,
    tkInt64,
    tkChar,
    tkEnumeration,
    tkSet,
    tkFloat,
    tkString,
    tkClass,
    tkMethod,
    tkDefined
};

struct TTypeInfo {
    TTypeKind Kind;
    AnsiString Name;
    std::vector<AnsiString> Names;       // enumeration: identifier of value i
    const TTypeInfo* CompType = nullptr; // set: its element enumeration

    int GetEnumValue(const AnsiString& Ident) const; // case-insensitive; -1 when unknown
    AnsiString GetEnumName(int Value) const;         // "" when out of range
};

TTypeInfo MakeEnumTypeInfo(const char* Name, std::initializer_list<const char*> Names);
const TTypeInfo* BooleanTypeInfo();
const TTypeInfo* SetTypeInfoFor(const TTypeInfo* Element); // one per element type

// Declares the identifiers of an enumeration, in value order (0, 1, ...):
//   KV_ENUM_TYPEINFO(TAlign, "alNone", "alTop", ...)
// in the namespace of the enumeration (it is found by argument-dependent lookup).
#define KV_ENUM_TYPEINFO(Type, ...)                                                                          \
    inline const TTypeInfo* TypeInfoOf(Type*) {                                                              \
        static const TTypeInfo info = MakeEnumTypeInfo(#Type, {__VA_ARGS__});                                \
        return &info;                                                                                        \
    }

// Integer constants that have names in form text (colours, cursors).
struct TIdentMapEntry {
    Int64 Value;
    const char* Name;
};
using TIdentMap = std::vector<TIdentMapEntry>;

// ---------------------------------------------------------------------------
// Values as they stand in form text

struct TFormProperty;

struct TFormValue {
    enum TKind {
        vaNull,
        vaInt,
        vaFloat,
        vaString,
        vaIdent,
        vaSet,
        vaList,
        vaBinary,
        vaCollection
    } Kind = vaNull;
    Int64 Int = 0;
    double Float = 0;
    AnsiString Str;                                     // string text, identifier, or binary bytes
    std::vector<AnsiString> SetItems;                   // vaSet
    std::vector<TFormValue> Items;                      // vaList
    std::vector<std::vector<TFormProperty>> Collection; // vaCollection: the properties of each item
    int Line = 0;

    static TFormValue FromInt(Int64 v);
    static TFormValue FromString(const AnsiString& s);
    static TFormValue FromIdent(const AnsiString& s);
};

struct TFormProperty {
    AnsiString Name; // may be dotted: Font.Name, Lines.Strings
    TFormValue Value;
    int Line = 0;
};

// ---------------------------------------------------------------------------
// Handlers bound by name

// What an event holds when it was bound by name: the object, the handler's
// name (so the writer can write it back) and the call.
template <class Sig> struct TMethodClosure;
template <class R, class... A> struct TMethodClosure<R(A...)> {
    TObject* Data;
    AnsiString Name;
    std::function<R(A...)> Code;
    R operator()(A... Args) const { return Code(std::forward<A>(Args)...); }
};

// The object and name of a handler bound by name, or {nullptr, ""}.
struct TMethodRef {
    TObject* Data = nullptr;
    AnsiString Name;
};
template <class R, class... A> TMethodRef GetMethodRef(const std::function<R(A...)>& Event) {
    if (auto* c = Event.template target<TMethodClosure<R(A...)>>()) return {c->Data, c->Name};
    return {};
}

template <class T> struct EventSignature;
template <class R, class... A> struct EventSignature<std::function<R(A...)>> { using Type = R(A...); };

// ---------------------------------------------------------------------------
// Property, method and field descriptions

class TPropInfo {
public:
    AnsiString Name;
    TTypeKind Kind = tkInteger;
    const TTypeInfo* TypeInfo = nullptr;        // enumeration and set
    const TMetaClass* PropClass = nullptr;      // class properties: the static class
    bool IsComponentRef = false;                // class property naming another component
    const std::type_info* MethodType = nullptr; // method properties: the handler signature
    const TIdentMap* Idents = nullptr;          // integer properties with named values
    std::optional<Int64> Default;               // ordinal kinds: the value the writer leaves out

    std::function<Int64(const TObject*)> GetOrd;
    std::function<void(TObject*, Int64)> SetOrd;
    std::function<double(const TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<AnsiString(const TObject*)> GetStr;
    std::function<void(TObject*, const AnsiString&)> SetStr;
    std::function<TObject*(const TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj;
    std::function<bool(const TObject*)> AcceptsObj; // reference: is the named component of the right class
    std::function<TMethodRef(const TObject*)> GetMethod;
    std::function<void(TObject*, const std::any&)> SetMethod; // the any holds std::function<Sig>
    std::function<void(TObject*, const TFormValue&)> ReadDefined;
    std::function<TFormValue(const TObject*)> WriteDefined;
    std::function<bool(const TObject*)> Stored; // empty: always stored

    bool IsStored(const TObject* Instance) const { return !Stored || Stored(Instance); }
    bool IsReadOnly() const;
};

struct TMethodEntry {
    AnsiString Name;
    const std::type_info* Signature;
    // Returns std::function<Sig> bound to Instance (a TMethodClosure inside).
    std::function<std::any(TObject* Instance)> Bind;
};

struct TFieldEntry {
    AnsiString Name;
    AnsiString ClassName;                                          // class of the field, for messages
    std::function<bool(TObject* Instance, TComponent* Value)> Set; // false: wrong class
    std::function<TComponent*(const TObject* Instance)> Get;
};

class TPropTable {
public:
    // Places a component read inside another object of form text in it
    // (a control in its parent, a field in its dataset).
    using TParentHook = std::function<void(TComponent* Child, TComponent* Parent)>;
    // The component it nests in when written, or null (directly in the root).
    using TParentGetter = std::function<TComponent*(const TComponent* Child)>;

    explicit TPropTable(const TMetaClass* Class, const TPropTable* Parent) : FClass(Class), FParent(Parent) {}
    TPropTable(const TPropTable&) = delete;
    TPropTable& operator=(const TPropTable&) = delete;

    const TMetaClass* GetClass() const { return FClass; }
    const TPropTable* GetParent() const { return FParent; }

    // Own entries first, then the ancestors'; case-insensitive.
    const TPropInfo* FindProp(const AnsiString& Name) const;
    const TMethodEntry* FindMethod(const AnsiString& Name) const;
    const TFieldEntry* FindField(const AnsiString& Name) const;
    // Every property, the ancestors' first; a redeclared name keeps its place.
    std::vector<const TPropInfo*> GetProps() const;
    std::vector<const TFieldEntry*> GetFields() const;
    // The nearest hook along the chain, or empty.
    const TParentHook* GetParentHook() const;
    const TParentGetter* GetParentGetter() const;

    TPropInfo& AddProp(TPropInfo Info);
    void AddMethod(TMethodEntry Entry);
    void AddField(TFieldEntry Entry);
    void SetParentHook(TParentHook Hook) { FParentHook = std::move(Hook); }
    void SetParentGetter(TParentGetter Getter) { FParentGetter = std::move(Getter); }

private:
    const TMetaClass* FClass;
    const TPropTable* FParent;
    std::vector<TPropInfo> FProps;
    std::vector<TMethodEntry> FMethods;
    std::vector<TFieldEntry> FFields;
    TParentHook FParentHook;
    TParentGetter FParentGetter;
};

// Records the publishing function of a metaclass (done by the metaclass
// macros below); returns true so it can initialise a static.
bool RegisterPublisher(const TMetaClass* Class, void (*Publish)(TPropTable&));
// The table of a class, built on first use; never null (a class that
// publishes nothing has an empty table chained to its ancestors).
const TPropTable* GetPropTable(const TMetaClass* Class);
const TPropInfo* GetPropInfo(const TMetaClass* Class, const AnsiString& Name); // nullptr when unknown

// Metaclasses of the core's persistent classes that are not components.
const TMetaClass& StringsClassInfo(); // TStrings: defined property "Strings" (a list of texts)

// The metaclass a property of type T* walks into; string lists without a
// metaclass of their own take the one of TStrings.
template <class T> const TMetaClass& ClassInfoOf() {
    if constexpr (requires { T::ClassInfo(); })
        return T::ClassInfo();
    else if constexpr (std::is_base_of_v<TStrings, T>)
        return StringsClassInfo();
    else
        static_assert(sizeof(T) == 0, "a class property needs a class with a metaclass");
}

// ---------------------------------------------------------------------------
// Publishing

namespace typinfo_detail {

template <class T> constexpr bool IsEnumType = std::is_enum_v<T>;

template <class T> Int64 ToOrd(T v) {
    if constexpr (IsTSet<T>::value)
        return static_cast<Int64>(v.ToInt());
    else
        return static_cast<Int64>(v);
}
template <class T> T FromOrd(Int64 v) {
    if constexpr (IsTSet<T>::value)
        return T::FromInt(static_cast<typename T::Storage>(v));
    else if constexpr (std::is_same_v<T, bool>)
        return v != 0;
    else
        return static_cast<T>(v);
}

template <class C, class G> decltype(auto) Read(const C& c, G g) {
    if constexpr (std::is_member_function_pointer_v<G>)
        return (c.*g)();
    else
        return (c.*g);
}
template <class C, class S, class V> void Write(C& c, S s, V&& v) {
    if constexpr (std::is_member_function_pointer_v<S>)
        (c.*s)(std::forward<V>(v));
    else
        c.*s = std::forward<V>(v);
}

template <class C> const C& Cast(const TObject* o) {
    auto* c = dynamic_cast<const C*>(o);
    if (!c) throw EPropertyError("Property accessor called on an object of another class");
    return *c;
}
template <class C> C& Cast(TObject* o) {
    auto* c = dynamic_cast<C*>(o);
    if (!c) throw EPropertyError("Property accessor called on an object of another class");
    return *c;
}

} // namespace typinfo_detail

template <class C> class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo& Info) : FInfo(Info) {}
    template <class V> TPropBuilder& Default(V Value) {
        if constexpr (std::is_same_v<V, char>)
            FInfo.Default = static_cast<unsigned char>(Value);
        else
            FInfo.Default = typinfo_detail::ToOrd(Value);
        return *this;
    }
    TPropBuilder& NoDefault() {
        FInfo.Default.reset();
        return *this;
    }
    TPropBuilder& Stored(bool Value) {
        FInfo.Stored = [Value](const TObject*) { return Value; };
        return *this;
    }
    template <class B> TPropBuilder& Stored(bool (B::*Pred)() const) {
        FInfo.Stored = [Pred](const TObject* o) { return (typinfo_detail::Cast<C>(o).*Pred)(); };
        return *this;
    }
    template <class F>
    requires std::is_invocable_r_v<bool, F, const C&> TPropBuilder& StoredIf(F Pred) {
        FInfo.Stored = [Pred](const TObject* o) { return Pred(typinfo_detail::Cast<C>(o)); };
        return *this;
    }
    TPropBuilder& Idents(const TIdentMap* Map) {
        FInfo.Idents = Map;
        return *this;
    }
    TPropInfo& Info() { return FInfo; }

private:
    TPropInfo& FInfo;
};

template <class C> class TPublisher {
public:
    explicit TPublisher(TPropTable& Table) : FTable(Table) {}

    // A published property. Get is a const member function or a data member;
    // Set a member function taking the value, a data member, or nullptr
    // (read-only: only sub-objects may be read-only). The kind follows
    // from the type: bool, char, enumerations, TSet, integers, double,
    // AnsiString, pointers to classes (components are references, other
    // persistent objects sub-objects), std::function events.
    template <class G, class S> TPropBuilder<C> Prop(const char* Name, G Get, S Set) {
        using T = std::remove_cv_t<
            std::remove_reference_t<decltype(typinfo_detail::Read(std::declval<const C&>(), Get))>>;
        namespace d = typinfo_detail;
        TPropInfo info;
        info.Name = Name;
        constexpr bool ReadOnly = std::is_null_pointer_v<S>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, char> || d::IsEnumType<T> ||
                      IsTSet<T>::value || std::is_integral_v<T>) {
            static_assert(!ReadOnly, "ordinal properties need a setter");
            if constexpr (std::is_same_v<T, bool>) {
                info.Kind = tkEnumeration;
                info.TypeInfo = BooleanTypeInfo();
                info.Default = 0;
            } else if constexpr (std::is_same_v<T, char>) {
                info.Kind = tkChar;
                info.Default = 0;
            } else if constexpr (d::IsEnumType<T>) {
                info.Kind = tkEnumeration;
                info.TypeInfo = TypeInfoOf(static_cast<T*>(nullptr));
                info.Default = 0;
            } else if constexpr (IsTSet<T>::value) {
                info.Kind = tkSet;
                info.TypeInfo = SetTypeInfoFor(TypeInfoOf(static_cast<typename T::Element*>(nullptr)));
                info.Default = 0;
            } else {
                info.Kind = sizeof(T) > 4 ? tkInt64 : tkInteger;
                info.Default = 0;
            }
            info.GetOrd = [Get](const TObject* o) -> Int64 {
                T v = d::Read(d::Cast<C>(o), Get);
                if constexpr (std::is_same_v<T, char>)
                    return static_cast<unsigned char>(v);
                else
                    return d::ToOrd(v);
            };
            info.SetOrd = [Set](TObject* o, Int64 v) { d::Write(d::Cast<C>(o), Set, d::FromOrd<T>(v)); };
        } else if constexpr (std::is_floating_point_v<T>) {
            static_assert(!ReadOnly, "float properties need a setter");
            info.Kind = tkFloat;
            info.GetFloat = [Get](const TObject* o) {
                return static_cast<double>(d::Read(d::Cast<C>(o), Get));
            };
            info.SetFloat = [Set](TObject* o, double v) { d::Write(d::Cast<C>(o), Set, static_cast<T>(v)); };
        } else if constexpr (std::is_same_v<T, AnsiString>) {
            static_assert(!ReadOnly, "string properties need a setter");
            info.Kind = tkString;
            info.GetStr = [Get](const TObject* o) { return AnsiString(d::Read(d::Cast<C>(o), Get)); };
            info.SetStr = [Set](TObject* o, const AnsiString& v) { d::Write(d::Cast<C>(o), Set, v); };
        } else if constexpr (std::is_pointer_v<T>) {
            using P = std::remove_cv_t<std::remove_pointer_t<T>>;
            info.Kind = tkClass;
            info.PropClass = &ClassInfoOf<P>();
            info.IsComponentRef = std::is_base_of_v<TComponent, P>;
            info.GetObj = [Get](const TObject* o) -> TObject* {
                return const_cast<P*>(static_cast<const P*>(d::Read(d::Cast<C>(o), Get)));
            };
            info.AcceptsObj = [](const TObject* v) {
                return v == nullptr || dynamic_cast<const P*>(v) != nullptr;
            };
            if constexpr (!ReadOnly)
                info.SetObj = [Set](TObject* o, TObject* v) {
                    d::Write(d::Cast<C>(o), Set, dynamic_cast<P*>(v));
                };
        } else if constexpr (requires { typename EventSignature<T>::Type; }) {
            static_assert(!ReadOnly, "events need a setter");
            using Sig = typename EventSignature<T>::Type;
            info.Kind = tkMethod;
            info.MethodType = &typeid(Sig);
            info.GetMethod = [Get](const TObject* o) { return GetMethodRef(d::Read(d::Cast<C>(o), Get)); };
            info.SetMethod = [Set](TObject* o, const std::any& v) {
                d::Write(d::Cast<C>(o), Set, std::any_cast<const std::function<Sig>&>(v));
            };
        } else {
            static_assert(sizeof(T) == 0, "unsupported property type");
        }
        return TPropBuilder<C>(FTable.AddProp(std::move(info)));
    }

    // A property streamed by functions of its own (lists, binary data,
    // values that are not published as such).
    template <class R, class W> TPropBuilder<C> Defined(const char* Name, R Read, W Write) {
        namespace d = typinfo_detail;
        TPropInfo info;
        info.Name = Name;
        info.Kind = tkDefined;
        info.ReadDefined = [Read](TObject* o, const TFormValue& v) { Read(d::Cast<C>(o), v); };
        info.WriteDefined = [Write](const TObject* o) { return TFormValue(Write(d::Cast<C>(o))); };
        return TPropBuilder<C>(FTable.AddProp(std::move(info)));
    }

    // A handler that form text may name in event properties.
    template <class D, class R, class... A> void Method(const char* Name, R (D::*Handler)(A...)) {
        static_assert(std::is_base_of_v<D, C> || std::is_same_v<D, C>);
        AnsiString name = Name;
        FTable.AddMethod(
            {name, &typeid(R(A...)), [Handler, name](TObject* Instance) -> std::any {
                 D* target = dynamic_cast<D*>(Instance);
                 if (!target)
                     throw EPropertyError("Handler " + name + " bound to an object of another class");
                 TMethodClosure<R(A...)> closure{Instance, name, [target, Handler](A... Args) -> R {
                                                     return (target->*Handler)(std::forward<A>(Args)...);
                                                 }};
                 return std::function<R(A...)>(std::move(closure));
             }});
    }

    // A field that receives the component of the same name when form text is read.
    template <class D, class T> void Field(const char* Name, T* D::*Member) {
        static_assert(std::is_base_of_v<TComponent, T>);
        FTable.AddField({Name, ClassInfoOf<T>().GetName(),
                         [Member](TObject* Instance, TComponent* Value) {
                             T* typed = dynamic_cast<T*>(Value);
                             if (Value && !typed) return false;
                             typinfo_detail::Cast<C>(Instance).*Member = typed;
                             return true;
                         },
                         [Member](const TObject* Instance) -> TComponent* {
                             return typinfo_detail::Cast<C>(Instance).*Member;
                         }});
    }

    // How form text nests this class's components: Set places a component
    // read inside another object; Get tells where the writer nests it.
    void ParentHook(TPropTable::TParentHook Set, TPropTable::TParentGetter Get) {
        FTable.SetParentHook(std::move(Set));
        FTable.SetParentGetter(std::move(Get));
    }
    TPropTable& Table() { return FTable; }

private:
    TPropTable& FTable;
};

#define KV_PUBLISHED_METACLASS_IMPL(Class, ParentInfo, Factory)                                              \
    const TMetaClass& Class::ClassInfo() {                                                                   \
        static const TMetaClass info(#Class, ParentInfo, Factory);                                           \
        static const bool published = RegisterPublisher(&info, [](TPropTable& Table) {                       \
            TPublisher<Class> publisher(Table);                                                              \
            Class::Publish(publisher);                                                                       \
        });                                                                                                  \
        (void)published;                                                                                     \
        return info;                                                                                         \
    }
#define KV_PUBLISHED_METACLASS(Class, ParentInfo)                                                            \
    KV_PUBLISHED_METACLASS_IMPL(Class, ParentInfo, &CreateComponentOf<Class>)
// Abstract classes and persistent classes that are not components.
#define KV_PUBLISHED_ABSTRACT_METACLASS(Class, ParentInfo)                                                   \
    KV_PUBLISHED_METACLASS_IMPL(Class, ParentInfo, nullptr)

// ---------------------------------------------------------------------------
// Access by name (raise EPropertyError for unknown names and wrong kinds)

Int64 GetOrdProp(const TObject* Instance, const TMetaClass* Class, const AnsiString& Name);
void SetOrdProp(TObject* Instance, const TMetaClass* Class, const AnsiString& Name, Int64 Value);
AnsiString GetStrProp(const TObject* Instance, const TMetaClass* Class, const AnsiString& Name);
void SetStrProp(TObject* Instance, const TMetaClass* Class, const AnsiString& Name, const AnsiString& Value);
