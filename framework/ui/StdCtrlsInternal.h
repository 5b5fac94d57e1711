// Internals shared by the list and combo box files: the lines a control of
// either kind keeps for its window. Not part of the framework's interface.
#pragma once

#include "StdCtrls.h"

#include <algorithm>
#include <vector>

// A line of a list or combo box and its object.
struct TStringItem {
    AnsiString Text;
    TObject* Object = nullptr;
};

// Where Add puts a line: at the end, or while sorted after the lines that
// compare equal or less, case-insensitively.
inline int AddPlace(const std::vector<TStringItem>& Items, bool Sorted, const AnsiString& S) {
    if (!Sorted) return static_cast<int>(Items.size());
    auto it = std::upper_bound(Items.begin(), Items.end(), S, [](const AnsiString& s, const TStringItem& i) {
        return CompareText(s, i.Text) < 0;
    });
    return static_cast<int>(it - Items.begin());
}

inline void SortItems(std::vector<TStringItem>& Items) {
    std::stable_sort(Items.begin(), Items.end(),
                     [](const TStringItem& a, const TStringItem& b) { return CompareText(a.Text, b.Text) < 0; });
}

// The lines of a list or combo box for its control: what changes under the
// selection goes to the control, which keeps the window up to date.
template <class Control> class TItemStrings : public TStrings {
public:
    explicit TItemStrings(Control* Owner) : FOwner(Owner) {}
    AnsiString Get(int Index) const override { return At(Index).Text; }
    int GetCount() const override { return static_cast<int>(FItems.size()); }
    TObject* GetObject(int Index) const override { return At(Index).Object; }
    void PutObject(int Index, TObject* Object) override { At(Index).Object = Object; }
    // Replaces the text in place: the selection stays.
    void Put(int Index, const AnsiString& S) override {
        At(Index).Text = S;
        FOwner->ItemChanged(Index);
    }
    void Insert(int Index, const AnsiString& S) override { InsertObject(Index, S, nullptr); }
    void InsertObject(int Index, const AnsiString& S, TObject* Object) override {
        if (Index < 0 || Index > GetCount()) Error(Index);
        FItems.insert(FItems.begin() + Index, TStringItem{S, Object});
        FOwner->ItemInserted(Index);
    }
    int Add(const AnsiString& S) override { return AddObject(S, nullptr); }
    int AddObject(const AnsiString& S, TObject* Object) override {
        int at = AddPlace(FItems, FOwner->GetSorted(), S);
        InsertObject(at, S, Object);
        return at;
    }
    void Clear() override {
        FItems.clear();
        FOwner->ItemsCleared();
    }
    // Takes the line out (the control's part of deleting).
    void Remove(int Index) {
        At(Index);
        FItems.erase(FItems.begin() + Index);
    }
    void Sort() { SortItems(FItems); }

protected:
    TStringItem& At(int Index) {
        if (Index < 0 || Index >= GetCount()) Error(Index);
        return FItems[static_cast<size_t>(Index)];
    }
    const TStringItem& At(int Index) const { return const_cast<TItemStrings*>(this)->At(Index); }

    Control* FOwner;
    std::vector<TStringItem> FItems;
};
