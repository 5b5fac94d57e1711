// Class references for components: a metaclass per registered class (name,
// parent, factory), the process-wide class registry that form reading uses to
// create components by class name, and the palette registry that packages
// fill through RegisterComponents.
#pragma once

#include "Classes.h"

#include <initializer_list>
#include <vector>

FRAMEWORK_EXCEPTION(EClassNotFound, EComponentError);

class TMetaClass {
public:
    using TFactory = TComponent* (*)(TComponent* Owner);

    TMetaClass(const char* Name, const TMetaClass* Parent, TFactory Factory)
        : FName(Name), FParent(Parent), FFactory(Factory) {}
    TMetaClass(const TMetaClass&) = delete;
    TMetaClass& operator=(const TMetaClass&) = delete;

    const char* GetName() const { return FName; }
    const TMetaClass* GetParent() const { return FParent; }
    bool IsAbstract() const { return FFactory == nullptr; }
    bool InheritsFrom(const TMetaClass* Other) const;
    // Creates an instance owned by Owner; an abstract class raises EComponentError.
    TComponent* Create(TComponent* Owner) const;

private:
    const char* FName;
    const TMetaClass* FParent;
    TFactory FFactory;
};

using TComponentClass = const TMetaClass*;

template <class T> TComponent* CreateComponentOf(TComponent* Owner) { return new T(Owner); }

// Declares and defines the metaclass of a class, reachable as T::ClassInfo().
//   in the class:   KV_METACLASS_DECL
//   in a .cpp file: KV_METACLASS(TMyControl, &TWinControl::ClassInfo())
//                   KV_ABSTRACT_METACLASS(TCustomThing, nullptr)
#define KV_METACLASS_DECL static const TMetaClass& ClassInfo();
#define KV_METACLASS(Class, ParentInfo)                                                                      \
    const TMetaClass& Class::ClassInfo() {                                                                   \
        static const TMetaClass info(#Class, ParentInfo, &CreateComponentOf<Class>);                         \
        return info;                                                                                         \
    }
#define KV_ABSTRACT_METACLASS(Class, ParentInfo)                                                             \
    const TMetaClass& Class::ClassInfo() {                                                                   \
        static const TMetaClass info(#Class, ParentInfo, nullptr);                                           \
        return info;                                                                                         \
    }

// Classes known by name. Registering a second, different class under a name
// already taken raises EComponentError; registering the same one again is a no-op.
void RegisterClass(TComponentClass Class);
void UnRegisterClass(TComponentClass Class);
TComponentClass GetClass(const AnsiString& Name);  // nullptr when unknown (case-insensitive)
TComponentClass FindClass(const AnsiString& Name); // EClassNotFound "Class X not found"

// The component palette: classes by page, in registration order. Registering
// also makes the classes known by name.
void RegisterComponents(const AnsiString& Page, std::initializer_list<TComponentClass> Classes);
void UnRegisterComponents(std::initializer_list<TComponentClass> Classes);
std::vector<TComponentClass> GetPaletteClasses(const AnsiString& Page);
std::vector<AnsiString> GetPalettePages();
