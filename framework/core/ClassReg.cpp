#include "ClassReg.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct Registry {
    std::mutex Lock;
    std::vector<TComponentClass> Classes;
    std::vector<std::pair<AnsiString, std::vector<TComponentClass>>> Pages;
};

Registry& TheRegistry() {
    static Registry r;
    return r;
}

TComponentClass FindLocked(Registry& r, const AnsiString& Name) {
    for (TComponentClass c : r.Classes)
        if (SameText(c->GetName(), Name)) return c;
    return nullptr;
}

void RegisterLocked(Registry& r, TComponentClass Class) {
    TComponentClass existing = FindLocked(r, Class->GetName());
    if (existing == Class) return;
    if (existing) throw EComponentError("A class named " + AnsiString(Class->GetName()) + " already exists");
    r.Classes.push_back(Class);
}

void UnregisterLocked(Registry& r, TComponentClass Class) {
    r.Classes.erase(std::remove(r.Classes.begin(), r.Classes.end(), Class), r.Classes.end());
    for (auto& page : r.Pages) page.second.erase(std::remove(page.second.begin(), page.second.end(), Class), page.second.end());
    r.Pages.erase(std::remove_if(r.Pages.begin(), r.Pages.end(), [](const auto& p) { return p.second.empty(); }),
                  r.Pages.end());
}

} // namespace

bool TMetaClass::InheritsFrom(const TMetaClass* Other) const {
    for (const TMetaClass* c = this; c; c = c->FParent)
        if (c == Other) return true;
    return false;
}

TComponent* TMetaClass::Create(TComponent* Owner) const {
    if (!FFactory) throw EComponentError("Cannot create an instance of abstract class " + AnsiString(FName));
    return FFactory(Owner);
}

void RegisterClass(TComponentClass Class) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    RegisterLocked(r, Class);
}

void UnRegisterClass(TComponentClass Class) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    UnregisterLocked(r, Class);
}

TComponentClass GetClass(const AnsiString& Name) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return FindLocked(r, Name);
}

TComponentClass FindClass(const AnsiString& Name) {
    TComponentClass c = GetClass(Name);
    if (!c) throw EClassNotFound("Class " + Name + " not found");
    return c;
}

void RegisterComponents(const AnsiString& Page, std::initializer_list<TComponentClass> Classes) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (TComponentClass c : Classes) RegisterLocked(r, c);
    auto it = std::find_if(r.Pages.begin(), r.Pages.end(), [&](const auto& p) { return p.first == Page; });
    if (it == r.Pages.end()) it = r.Pages.insert(r.Pages.end(), {Page, {}});
    for (TComponentClass c : Classes)
        if (std::find(it->second.begin(), it->second.end(), c) == it->second.end()) it->second.push_back(c);
}

void UnRegisterComponents(std::initializer_list<TComponentClass> Classes) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (TComponentClass c : Classes) UnregisterLocked(r, c);
}

std::vector<TComponentClass> GetPaletteClasses(const AnsiString& Page) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const auto& p : r.Pages)
        if (p.first == Page) return p.second;
    return {};
}

std::vector<AnsiString> GetPalettePages() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    std::vector<AnsiString> pages;
    for (const auto& p : r.Pages) pages.push_back(p.first);
    return pages;
}
