#include "Classes.h"

#include <algorithm>
#include <cstring>
#include <cxxabi.h>
#include <fstream>
#include <iterator>
#include <typeinfo>

void ListIndexError(int Index) { throw EListError("List index out of bounds (" + IntToStr(Index) + ")"); }

// ---- TPersistent ----------------------------------------------------------

AnsiString TPersistent::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    AnsiString name = status == 0 && demangled ? demangled.get() : mangled;
    size_t colon = name.rfind("::");
    return colon == AnsiString::npos ? name : name.substr(colon + 2);
}

void TPersistent::Assign(const TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* Dest) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest->ClassName());
}

// ---- Streams --------------------------------------------------------------

Int64 TStream::GetSize() {
    Int64 pos = Seek(0, soCurrent);
    Int64 size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* Buffer, int Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EStreamError("Stream write error");
}

Int64 TStream::CopyFrom(TStream& Source, Int64 Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.GetSize();
    }
    Int64 result = Count;
    std::vector<char> buffer(static_cast<size_t>(std::min<Int64>(Count, 0xF000)) + 1);
    while (Count > 0) {
        int n = static_cast<int>(std::min<Int64>(Count, static_cast<Int64>(buffer.size())));
        Source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        Count -= n;
    }
    return result;
}

int TMemoryStream::Read(void* Buffer, int Count) {
    if (Count <= 0 || FPosition >= GetSize()) return 0;
    Int64 n = std::min<Int64>(Count, GetSize() - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return static_cast<int>(n);
}

int TMemoryStream::Write(const void* Buffer, int Count) {
    if (Count <= 0) return 0;
    Int64 end = FPosition + Count;
    if (end > GetSize()) FData.resize(static_cast<size_t>(end));
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = end;
    return Count;
}

Int64 TMemoryStream::Seek(Int64 Offset, TSeekOrigin Origin) {
    Int64 base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : GetSize();
    Int64 pos = base + Offset;
    if (pos < 0) throw EStreamError("Stream seek error");
    FPosition = pos;
    return FPosition;
}

void TMemoryStream::SetSize(Int64 NewSize) {
    if (NewSize < 0) throw EStreamError("Invalid stream size");
    FData.resize(static_cast<size_t>(NewSize));
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
    Source.SetPosition(0);
    Int64 size = Source.GetSize();
    SetSize(size);
    if (size != 0) Source.ReadBuffer(FData.data(), static_cast<int>(size));
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& Dest) {
    if (!FData.empty()) Dest.WriteBuffer(FData.data(), static_cast<int>(FData.size()));
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw EStreamError("Cannot open file \"" + FileName + "\"");
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EStreamError("Cannot read file \"" + FileName + "\"");
    FData = std::move(data);
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const AnsiString& FileName) {
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    if (!out) throw EStreamError("Cannot create file \"" + FileName + "\"");
    out.write(FData.data(), static_cast<std::streamsize>(FData.size()));
    out.flush();
    if (!out) throw EStreamError("Cannot write file \"" + FileName + "\"");
}

// ---- TStrings -------------------------------------------------------------

void TStrings::Error(int Index) { throw EStringListError("List index out of bounds (" + IntToStr(Index) + ")"); }

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

void TStrings::Put(int Index, const AnsiString& S) {
    TObject* object = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, object);
}

void TStrings::InsertObject(int Index, const AnsiString& S, TObject* Object) {
    Insert(Index, S);
    PutObject(Index, Object);
}

int TStrings::Add(const AnsiString& S) {
    int index = GetCount();
    Insert(index, S);
    return index;
}

int TStrings::AddObject(const AnsiString& S, TObject* Object) {
    int index = Add(S);
    PutObject(index, Object);
    return index;
}

void TStrings::AddStrings(const TStrings& Strings) {
    BeginUpdate();
    try {
        for (int i = 0; i < Strings.GetCount(); ++i) AddObject(Strings.Get(i), Strings.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TPersistent* Source) {
    if (auto source = dynamic_cast<const TStrings*>(Source)) {
        if (source == this) return;
        BeginUpdate();
        try {
            Clear();
            AddStrings(*source);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::AssignTo(TPersistent* Dest) const {
    if (auto dest = dynamic_cast<TStrings*>(Dest)) {
        dest->Assign(static_cast<const TPersistent*>(this));
        return;
    }
    TPersistent::AssignTo(Dest);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount <= 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

int TStrings::IndexOf(const AnsiString& S) const {
    for (int i = 0; i < GetCount(); ++i)
        if (CompareText(Get(i), S) == 0) return i;
    return -1;
}

AnsiString TStrings::GetText() const {
    AnsiString text;
    for (int i = 0; i < GetCount(); ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetText(const AnsiString& Text) {
    BeginUpdate();
    try {
        Clear();
        size_t start = 0;
        while (start < Text.size()) {
            size_t end = Text.find_first_of("\r\n", start);
            if (end == AnsiString::npos) {
                Add(Text.substr(start));
                break;
            }
            Add(Text.substr(start, end - start));
            start = end + 1;
            if (Text[end] == '\r' && start < Text.size() && Text[start] == '\n') ++start;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

bool TStrings::Equals(const TStrings& Other) const {
    if (GetCount() != Other.GetCount()) return false;
    for (int i = 0; i < GetCount(); ++i)
        if (Get(i) != Other.Get(i)) return false;
    return true;
}

void TStrings::Exchange(int A, int B) {
    BeginUpdate();
    try {
        AnsiString textA = Get(A), textB = Get(B);
        TObject *objectA = GetObject(A), *objectB = GetObject(B);
        Put(A, textB);
        PutObject(A, objectB);
        Put(B, textA);
        PutObject(B, objectA);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Move(int From, int To) {
    if (From == To) return;
    BeginUpdate();
    try {
        AnsiString text = Get(From);
        TObject* object = GetObject(From);
        Delete(From);
        InsertObject(To, text, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

AnsiString TStrings::GetName(int Index) const {
    AnsiString line = Get(Index);
    size_t p = line.find('=');
    return p == AnsiString::npos ? AnsiString() : line.substr(0, p);
}

AnsiString TStrings::GetValueFromIndex(int Index) const {
    AnsiString line = Get(Index);
    size_t p = line.find('=');
    return p == AnsiString::npos ? AnsiString() : line.substr(p + 1);
}

int TStrings::IndexOfName(const AnsiString& Name) const {
    for (int i = 0; i < GetCount(); ++i) {
        AnsiString line = Get(i);
        size_t p = line.find('=');
        if (p != AnsiString::npos && CompareText(line.substr(0, p), Name) == 0) return i;
    }
    return -1;
}

AnsiString TStrings::GetValue(const AnsiString& Name) const {
    int i = IndexOfName(Name);
    return i < 0 ? AnsiString() : GetValueFromIndex(i);
}

void TStrings::SetValue(const AnsiString& Name, const AnsiString& Value) {
    int i = IndexOfName(Name);
    if (!Value.empty()) {
        if (i < 0)
            Add(Name + "=" + Value);
        else
            Put(i, Name + "=" + Value);
    } else if (i >= 0) {
        Delete(i);
    }
}

AnsiString TStrings::GetCommaText() const {
    AnsiString text;
    for (int i = 0; i < GetCount(); ++i) {
        AnsiString s = Get(i);
        bool quote = s.empty() || s.find_first_of(" \",\t\r\n") != AnsiString::npos;
        if (i > 0) text += ',';
        text += quote ? AnsiQuotedStr(s, '"') : s;
    }
    return text;
}

void TStrings::SetCommaText(const AnsiString& Text) {
    BeginUpdate();
    try {
        Clear();
        size_t i = 0;
        auto skipBlanks = [&] {
            while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= ' ') ++i;
        };
        skipBlanks();
        while (i < Text.size()) {
            AnsiString item;
            if (Text[i] == '"') {
                ++i;
                while (i < Text.size()) {
                    if (Text[i] == '"') {
                        if (i + 1 < Text.size() && Text[i + 1] == '"') {
                            item += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    item += Text[i++];
                }
            } else {
                while (i < Text.size() && static_cast<unsigned char>(Text[i]) > ' ' && Text[i] != ',')
                    item += Text[i++];
            }
            Add(item);
            skipBlanks();
            if (i < Text.size() && Text[i] == ',') {
                ++i;
                skipBlanks();
                if (i >= Text.size()) Add(AnsiString());
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::LoadFromStream(TStream& Stream) {
    Int64 size = Stream.GetSize() - Stream.GetPosition();
    AnsiString text(static_cast<size_t>(std::max<Int64>(size, 0)), '\0');
    if (!text.empty()) Stream.ReadBuffer(text.data(), static_cast<int>(text.size()));
    SetText(text);
}

void TStrings::SaveToStream(TStream& Stream) const {
    AnsiString text = GetText();
    Stream.WriteBuffer(text.data(), static_cast<int>(text.size()));
}

void TStrings::LoadFromFile(const AnsiString& FileName) {
    TMemoryStream stream;
    stream.LoadFromFile(FileName);
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const AnsiString& FileName) const {
    TMemoryStream stream;
    SaveToStream(stream);
    stream.SaveToFile(FileName);
}

// ---- TStringList ----------------------------------------------------------

AnsiString TStringList::Get(int Index) const {
    if (Index < 0 || Index >= GetCount()) Error(Index);
    return FList[static_cast<size_t>(Index)].Text;
}

TObject* TStringList::GetObject(int Index) const {
    if (Index < 0 || Index >= GetCount()) Error(Index);
    return FList[static_cast<size_t>(Index)].Object;
}

void TStringList::PutObject(int Index, TObject* Object) {
    if (Index < 0 || Index >= GetCount()) Error(Index);
    Changing();
    FList[static_cast<size_t>(Index)].Object = Object;
    Changed();
}

void TStringList::Put(int Index, const AnsiString& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted string list");
    if (Index < 0 || Index >= GetCount()) Error(Index);
    Changing();
    FList[static_cast<size_t>(Index)].Text = S;
    Changed();
}

void TStringList::InsertItem(int Index, const AnsiString& S, TObject* Object) {
    Changing();
    FList.insert(FList.begin() + Index, Item{S, Object});
    Changed();
}

void TStringList::Insert(int Index, const AnsiString& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const AnsiString& S, TObject* Object) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted string list");
    if (Index < 0 || Index > GetCount()) Error(Index);
    InsertItem(Index, S, Object);
}

void TStringList::Delete(int Index) {
    if (Index < 0 || Index >= GetCount()) Error(Index);
    Changing();
    FList.erase(FList.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (FList.empty()) return;
    Changing();
    FList.clear();
    Changed();
}

int TStringList::Add(const AnsiString& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const AnsiString& S, TObject* Object) {
    int index;
    if (!FSorted) {
        index = GetCount();
    } else if (Find(S, index)) {
        if (FDuplicates == dupIgnore) return index;
        if (FDuplicates == dupError) throw EStringListError("String list does not allow duplicates");
    }
    InsertItem(index, S, Object);
    return index;
}

int TStringList::Compare(const AnsiString& A, const AnsiString& B) const {
    if (FCaseSensitive) return A < B ? -1 : (A == B ? 0 : 1);
    return CompareText(A, B);
}

int TStringList::IndexOf(const AnsiString& S) const {
    if (!FSorted) {
        for (int i = 0; i < GetCount(); ++i)
            if (Compare(FList[static_cast<size_t>(i)].Text, S) == 0) return i;
        return -1;
    }
    int index;
    return Find(S, index) ? index : -1;
}

bool TStringList::Find(const AnsiString& S, int& Index) const {
    int low = 0, high = GetCount() - 1;
    bool found = false;
    while (low <= high) {
        int mid = (low + high) / 2;
        int c = Compare(FList[static_cast<size_t>(mid)].Text, S);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != dupAccept) low = mid;
            }
        }
    }
    Index = low;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FList.begin(), FList.end(),
                     [this](const Item& a, const Item& b) { return Compare(a.Text, b.Text) < 0; });
    Changed();
}

void TStringList::SetSorted(bool Value) {
    if (FSorted == Value) return;
    if (Value) Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
    if (FCaseSensitive == Value) return;
    FCaseSensitive = Value;
    if (FSorted) Sort();
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (GetUpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (GetUpdateCount() == 0 && OnChange) OnChange(this);
}

// ---- TComponent -----------------------------------------------------------

bool IsValidIdent(const AnsiString& Ident) {
    if (Ident.empty()) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(Ident[0])) return false;
    for (char c : Ident)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

TComponent::TComponent(TComponent* AOwner) {
    if (!AOwner) return;
    try {
        AOwner->InsertComponent(this);
    } catch (...) {
        // Told after it was inserted (a notification failed): the owner must
        // not keep a component whose construction did not complete.
        if (FOwner) FOwner->Remove(this);
        throw;
    }
}

TComponent::~TComponent() {
    Destroying();
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = other->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const AnsiString& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError("'" + NewName + "' is not a valid component name");
    if (FOwner && !NewName.empty()) {
        TComponent* other = FOwner->FindComponent(NewName);
        if (other && other != this) throw EComponentError("A component named " + NewName + " already exists");
    }
    FName = NewName;
}

TComponent* TComponent::GetComponent(int Index) const {
    if (Index < 0 || Index >= GetComponentCount()) ListIndexError(Index);
    return FComponents[static_cast<size_t>(Index)];
}

int TComponent::GetComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const AnsiString& Name) const {
    if (Name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, Name)) return c;
    return nullptr;
}

void TComponent::Insert(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
    AComponent->FOwner = nullptr;
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), AComponent), FComponents.end());
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError("A component named " + AComponent->FName + " already exists");
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    Notification(AComponent, opRemove);
    Remove(AComponent);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        Remove(c);
        delete c;
    }
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(AComponent);
        AComponent->FreeNotification(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (it == FFreeNotifies.end()) return;
    FFreeNotifies.erase(it);
    AComponent->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
    // Copy: a handler may free components while we walk.
    std::vector<TComponent*> children = FComponents;
    for (TComponent* c : children)
        if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end())
            c->Notification(AComponent, Operation);
}

void TComponent::SetLoading(bool Loading) {
    if (Loading)
        FComponentState |= csLoading;
    else
        FComponentState &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Loaded() { FComponentState &= ~static_cast<unsigned>(csLoading); }

void TComponent::SetDesigning(bool Value) {
    if (Value)
        FComponentState |= csDesigning;
    else
        FComponentState &= ~static_cast<unsigned>(csDesigning);
}
