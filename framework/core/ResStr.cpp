#include "ResStr.h"

#include <cstring>
#include <map>
#include <mutex>

namespace {

struct Table {
    const TResLangEntry* Entries;
    std::size_t Count;
};

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::map<AnsiString, Table>& Tables() {
    static std::map<AnsiString, Table> t;
    return t;
}

} // namespace

AnsiString LoadResString(const TResStringRec* Rec) {
    if (!Rec) return AnsiString();
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Tables().find(Rec->Module ? Rec->Module : "");
    if (it != Tables().end()) {
        const Table& t = it->second;
        for (std::size_t i = 0; i < t.Count; ++i) {
            const TResLangEntry& e = t.Entries[i];
            // The identifier finds the entry; the name guards against a table
            // built for another numbering.
            if (e.Identifier == Rec->Identifier && e.Name && Rec->Name && std::strcmp(e.Name, Rec->Name) == 0)
                return e.Text ? e.Text : "";
        }
    }
    return Rec->Text ? Rec->Text : "";
}

void BindLanguageTable(const AnsiString& Module, const TResLangEntry* Entries, std::size_t Count) {
    std::lock_guard<std::mutex> guard(Lock());
    Tables()[Module] = Table{Entries, Count};
}

void UnbindLanguageTable(const AnsiString& Module) {
    std::lock_guard<std::mutex> guard(Lock());
    Tables().erase(Module);
}

bool IsLanguageTableBound(const AnsiString& Module) {
    std::lock_guard<std::mutex> guard(Lock());
    return Tables().count(Module) != 0;
}
