// The component model and the container classes of the framework: pointer
// lists, string lists with update brackets, streams, persistent objects and
// components with owners and free notification.
#pragma once

#include "SysUtils.h"

#include <algorithm>
#include <memory>
#include <vector>

// ---------------------------------------------------------------------------
// Pointer lists

[[noreturn]] void ListIndexError(int Index); // EListError "List index out of bounds (N)"

// A list of borrowed pointers with the framework's index rules: reading,
// deleting and replacing take 0 .. Count-1, inserting takes 0 .. Count.
template <class T> class TList {
public:
    TList() = default;
    explicit TList(int Capacity) { FItems.reserve(static_cast<size_t>(Capacity)); }
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    virtual ~TList() = default;

    int GetCount() const { return static_cast<int>(FItems.size()); }
    int Count() const { return GetCount(); }
    int GetCapacity() const { return static_cast<int>(FItems.capacity()); }
    T* Get(int Index) const {
        Check(Index, GetCount() - 1);
        return FItems[static_cast<size_t>(Index)];
    }
    T* operator[](int Index) const { return Get(Index); }
    void Put(int Index, T* Item) {
        Check(Index, GetCount() - 1);
        FItems[static_cast<size_t>(Index)] = Item;
    }
    int Add(T* Item) {
        FItems.push_back(Item);
        return GetCount() - 1;
    }
    void Insert(int Index, T* Item) {
        Check(Index, GetCount());
        FItems.insert(FItems.begin() + Index, Item);
    }
    int IndexOf(const T* Item) const {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i] == Item) return static_cast<int>(i);
        return -1;
    }
    // Removes the entry without freeing it and returns it.
    T* Extract(int Index) {
        T* item = Get(Index);
        FItems.erase(FItems.begin() + Index);
        return item;
    }
    void Exchange(int A, int B) {
        Check(A, GetCount() - 1);
        Check(B, GetCount() - 1);
        std::swap(FItems[static_cast<size_t>(A)], FItems[static_cast<size_t>(B)]);
    }
    void Move(int From, int To) {
        T* item = Extract(From);
        Insert(To, item);
    }
    T* First() const { return Get(0); }
    T* Last() const { return Get(GetCount() - 1); }

    // Removes entries; an owning list frees them as well.
    virtual void Delete(int Index) { Extract(Index); }
    int Remove(T* Item) {
        int i = IndexOf(Item);
        if (i >= 0) Delete(i);
        return i;
    }
    virtual void Clear() { FItems.clear(); }

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

    // Calls F with each entry of the list as it stands now that is still
    // listed when its turn comes: F may remove entries. The usual few
    // entries are copied without the heap (this runs for every row a
    // dataset moves to).
    template <class F> void ForEachListed(F f) const {
        constexpr size_t Few = 8;
        T* few[Few];
        std::vector<T*> many;
        T** items = few;
        size_t n = FItems.size();
        if (n > Few) {
            many = FItems;
            items = many.data();
        } else {
            std::copy(FItems.begin(), FItems.end(), few);
        }
        for (size_t i = 0; i < n; ++i)
            if (IndexOf(items[i]) >= 0) f(items[i]);
    }

protected:
    static void Check(int Index, int Max) {
        if (Index < 0 || Index > Max) ListIndexError(Index);
    }
    std::vector<T*> FItems;
};

// A list that owns its entries: Delete, Clear and destruction free them.
template <class T> class TObjectList : public TList<T> {
public:
    using TList<T>::TList;
    ~TObjectList() override { FreeAll(); }

    void Delete(int Index) override { delete this->Extract(Index); }
    void Clear() override { FreeAll(); }

private:
    void FreeAll() {
        while (!this->FItems.empty()) {
            T* item = this->FItems.back();
            this->FItems.pop_back();
            delete item;
        }
    }
};

// ---------------------------------------------------------------------------
// Persistent objects

class TFiler;

class TPersistent : public TObject {
public:
    // Copies Source into this object; the default asks Source to AssignTo
    // and, when nobody can, raises EConvertError "Cannot assign a X to a Y".
    virtual void Assign(const TPersistent* Source);
    virtual AnsiString ClassName() const;

protected:
    friend class TFiler;
    virtual void AssignTo(TPersistent* Dest) const;
    // Declares the values form text holds for the object beyond its
    // published properties, one Filer->DefineProperty each.
    virtual void DefineProperties(TFiler* Filer) { (void)Filer; }
};

class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader& Reader)>;
using TWriterProc = std::function<void(TWriter& Writer)>;

// The form reader or writer as DefineProperties sees it.
class TFiler {
public:
    virtual ~TFiler() = default;
    // The reader calls ReadData when the text holds a value named Name for
    // the object; the writer calls WriteData, which writes one value (or
    // one list), when HasData.
    virtual void DefineProperty(const AnsiString& Name, const TReaderProc& ReadData,
                                const TWriterProc& WriteData, bool HasData) = 0;

protected:
    static void DefinePropertiesOf(TPersistent* Instance, TFiler& Filer) {
        Instance->DefineProperties(&Filer);
    }
};

// Reading a value of another kind, or past the end of a list, raises an
// error that the form reader reports with the property and its line.
class TReader : public TFiler {
public:
    virtual int ReadInteger() = 0;
    virtual AnsiString ReadString() = 0;
    virtual void ReadListBegin() = 0;
    virtual bool EndOfList() = 0;
    virtual void ReadListEnd() = 0;
};

class TWriter : public TFiler {
public:
    virtual void WriteInteger(int Value) = 0;
    virtual void WriteString(const AnsiString& Value) = 0;
    virtual void WriteListBegin() = 0;
    virtual void WriteListEnd() = 0;
};

// ---------------------------------------------------------------------------
// Streams

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
    virtual int Read(void* Buffer, int Count) = 0;
    virtual int Write(const void* Buffer, int Count) = 0;
    virtual Int64 Seek(Int64 Offset, TSeekOrigin Origin) = 0;
    virtual Int64 GetSize();
    virtual void SetSize(Int64 NewSize) = 0;

    Int64 GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(Int64 Pos) { Seek(Pos, soBeginning); }
    // Whole transfers; a short read or write raises EStreamError.
    void ReadBuffer(void* Buffer, int Count);
    void WriteBuffer(const void* Buffer, int Count);
    // Copies Count bytes from Source's position; 0 copies all of Source from its start.
    Int64 CopyFrom(TStream& Source, Int64 Count);
};

class TMemoryStream : public TStream {
public:
    int Read(void* Buffer, int Count) override;
    int Write(const void* Buffer, int Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    void SetSize(Int64 NewSize) override;
    Int64 GetSize() override { return static_cast<Int64>(FData.size()); }

    char* Memory() { return FData.data(); }
    const char* Memory() const { return FData.data(); }
    void Clear();
    void LoadFromStream(TStream& Source);
    void SaveToStream(TStream& Dest);
    void LoadFromFile(const AnsiString& FileName);
    void SaveToFile(const AnsiString& FileName);

private:
    std::vector<char> FData;
    Int64 FPosition = 0;
};

// ---------------------------------------------------------------------------
// String lists

// The abstract string list. Descendants supply Get, GetCount, Insert,
// Delete and Clear; everything else is built on them. BeginUpdate and
// EndUpdate nest: SetUpdateState is called only when the outermost bracket
// opens (before the counter rises, so a raising SetUpdateState leaves the
// counter alone) and when it closes.
class TStrings : public TPersistent {
public:
    virtual AnsiString Get(int Index) const = 0;
    virtual int GetCount() const = 0;
    virtual TObject* GetObject(int Index) const;
    virtual void PutObject(int Index, TObject* Object);
    // Replaces a line: deletes it and inserts the new text with the same object.
    virtual void Put(int Index, const AnsiString& S);
    virtual void Insert(int Index, const AnsiString& S) = 0;
    virtual void InsertObject(int Index, const AnsiString& S, TObject* Object);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const AnsiString& S);
    virtual int AddObject(const AnsiString& S, TObject* Object);
    virtual int IndexOf(const AnsiString& S) const; // case-insensitive
    virtual AnsiString GetText() const;             // every line followed by CR LF
    virtual void SetText(const AnsiString& Text);   // splits at CR LF, CR or LF, in one bracket

    void Append(const AnsiString& S) { Add(S); }
    void AddStrings(const TStrings& Strings);
    void Assign(const TPersistent* Source) override;
    void Assign(const TStrings& Source) { Assign(static_cast<const TPersistent*>(&Source)); }
    void BeginUpdate();
    void EndUpdate();
    int GetUpdateCount() const { return FUpdateCount; }
    // Runs Body inside one update bracket, which closes on every path; an
    // error of Body passes on after the bracket has closed.
    template <class F> void InUpdate(F&& Body) {
        BeginUpdate();
        try {
            Body();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }
    bool Equals(const TStrings& Other) const;
    void Exchange(int A, int B);
    void Move(int From, int To);
    int Count() const { return GetCount(); }
    AnsiString operator[](int Index) const { return Get(Index); }

    // Name=value lines: the name is the text before the first "=" (compared case-insensitively).
    AnsiString GetName(int Index) const;
    AnsiString GetValueFromIndex(int Index) const;
    AnsiString GetValue(const AnsiString& Name) const;
    void SetValue(const AnsiString& Name, const AnsiString& Value); // empty value deletes the line
    int IndexOfName(const AnsiString& Name) const;

    // Comma text: items separated by commas or blanks, quoted with '"' when needed.
    AnsiString GetCommaText() const;
    void SetCommaText(const AnsiString& Text);

    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;
    void LoadFromFile(const AnsiString& FileName);
    void SaveToFile(const AnsiString& FileName) const;

protected:
    virtual void SetUpdateState(bool Updating);
    // Clear for lists whose lines go one by one: deletes line 0 until none is
    // left, in one bracket; nothing happens to an empty list.
    void ClearByDelete() {
        if (GetCount() == 0) return;
        InUpdate([this] {
            while (GetCount() > 0)
                Delete(0);
        });
    }
    [[noreturn]] static void Error(int Index); // EStringListError "List index out of bounds (N)"

private:
    void AssignTo(TPersistent* Dest) const override;
    int FUpdateCount = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// A string list that holds its lines. OnChanging and OnChange fire around
// every change made outside an update bracket, and once around a bracket.
class TStringList : public TStrings {
public:
    AnsiString Get(int Index) const override;
    int GetCount() const override { return static_cast<int>(FList.size()); }
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* Object) override;
    void Put(int Index, const AnsiString& S) override;
    void Insert(int Index, const AnsiString& S) override;
    void InsertObject(int Index, const AnsiString& S, TObject* Object) override;
    void Delete(int Index) override;
    void Clear() override;
    int Add(const AnsiString& S) override;
    int AddObject(const AnsiString& S, TObject* Object) override;
    int IndexOf(const AnsiString& S) const override;

    bool GetSorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates GetDuplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    bool GetCaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    // Binary search on a sorted list: true when found; Index is the place either way.
    bool Find(const AnsiString& S, int& Index) const;
    void Sort();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changing();
    virtual void Changed();

private:
    struct Item {
        AnsiString Text;
        TObject* Object = nullptr;
    };
    int Compare(const AnsiString& A, const AnsiString& B) const;
    void InsertItem(int Index, const AnsiString& S, TObject* Object);

    std::vector<Item> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = dupIgnore;
};

// ---------------------------------------------------------------------------
// Components

enum TOperation { opInsert, opRemove };

// Horizontal alignment of text in a control or a field's display.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
    csUpdating = 1u << 5,
};

// A component belongs to its owner, which frees it. Components that hold a
// pointer to another component ask it for FreeNotification and hear through
// Notification(..., opRemove) when it goes away.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* GetOwner() const { return FOwner; }
    const AnsiString& GetName() const { return FName; }
    // Checks the name is an identifier (or empty) and unique among the owner's components.
    virtual void SetName(const AnsiString& NewName);
    int GetTag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }
    unsigned GetComponentState() const { return FComponentState; }
    bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }
    bool IsLoading() const { return (FComponentState & csLoading) != 0; }
    bool IsDesigning() const { return (FComponentState & csDesigning) != 0; }

    int GetComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* GetComponent(int Index) const;
    int GetComponentIndex() const;
    TComponent* FindComponent(const AnsiString& Name) const; // case-insensitive

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Marks the component as being read from a form description and ends that.
    void SetLoading(bool Loading);
    virtual void Loaded();

protected:
    // Told when a component is inserted into or removed from this one's tree,
    // or when a component this one asked for free notification goes away.
    // The default removes the free-notification link and passes the call on
    // to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    void Destroying() { FComponentState |= csDestroying; }
    void SetDesigning(bool Value);

private:
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);

    TComponent* FOwner = nullptr;
    AnsiString FName;
    int FTag = 0;
    unsigned FComponentState = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};

bool IsValidIdent(const AnsiString& Ident);
