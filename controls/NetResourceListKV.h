// The network resources one level below a parent resource (the whole
// network while the parent is empty). Not a component: its user creates and
// deletes it, and browses the network by making an entry the parent and
// refreshing again.
#pragma once

#include "Classes.h"
#include "WinNetwk.h"

// An owned copy of one NETRESOURCEA record, its texts held as strings.
class TNetResourceListItemKV : public TObject {
public:
    TNetResourceListItemKV() = default;
    explicit TNetResourceListItemKV(const NETRESOURCEA& Struct) { InitFromStruct(Struct); }
    TNetResourceListItemKV(const TNetResourceListItemKV& Item) : TObject() { CopyObject(Item); }

    // Copies the numbers and the texts; a null text becomes an empty string.
    void InitFromStruct(const NETRESOURCEA& Struct);
    // Fills Struct with the numbers and with pointers at this item's texts,
    // an empty text as "" (never null). The pointers hold while this item
    // lives unchanged.
    void InitStruct(NETRESOURCEA* Struct);
    void CopyObject(const TNetResourceListItemKV& Item);

    TNetResourceListItemKV& operator=(const NETRESOURCEA& Struct) {
        InitFromStruct(Struct);
        return *this;
    }
    TNetResourceListItemKV& operator=(const TNetResourceListItemKV& Item) {
        CopyObject(Item);
        return *this;
    }

    Cardinal Scope = 0;
    Cardinal Type = 0;
    Cardinal DisplayType = 0;
    Cardinal Usage = 0;
    AnsiString RemoteName;
    AnsiString LocalName;
    AnsiString Provider;
    AnsiString Comment;
};

// Owns its items and its parent item.
class TNetResourceListKV : public TObject {
public:
    int GetCount() const { return ItemList.GetCount(); }
    // The item at Index, borrowed; EListError outside the list.
    TNetResourceListItemKV* GetItems(int Index) const { return ItemList[Index]; }
    // Copies Item into the item at Index; the caller keeps Item.
    void SetItems(int Index, const TNetResourceListItemKV& Item) { *ItemList[Index] = Item; }
    // Appends Item and takes it over (also when appending fails).
    void AddItem(TNetResourceListItemKV* Item);
    void DeleteItem(int Index) { ItemList.Delete(Index); }
    void ClearItemList();
    // Copies Item into the parent item.
    void SetParent(const TNetResourceListItemKV& Item) { ParentItem = Item; }
    // The first item whose RemoteName equals Name exactly (case counts); -1 when none.
    int IndexOfRemoteName(const AnsiString& Name) const;
    // Lists the resources below the parent. On a network error raises
    // Exception "Es ist ein Netzwerkfehler aufgetreten" and keeps the items
    // read until then.
    void Refresh();

private:
    TObjectList<TNetResourceListItemKV> ItemList;
    TNetResourceListItemKV ParentItem;
};
