#include "NetResourceListKV.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace {

const char* const SNetworkError = "Es ist ein Netzwerkfehler aufgetreten";

constexpr DWORD EnumBufferSize = 1024;
constexpr DWORD AllThatFit = 0xFFFFFFFF;

AnsiString TextOf(const char* Text) {
    return Text ? AnsiString(Text) : AnsiString();
}

// Closes an open enumeration on every path.
struct TEnumHandle {
    HANDLE Handle = nullptr;
    ~TEnumHandle() {
        if (Handle) WNetCloseEnum(Handle);
    }
};

} // namespace

void TNetResourceListItemKV::InitFromStruct(const NETRESOURCEA& Struct) {
    Scope = Struct.dwScope;
    Type = Struct.dwType;
    DisplayType = Struct.dwDisplayType;
    Usage = Struct.dwUsage;
    RemoteName = TextOf(Struct.lpRemoteName);
    LocalName = TextOf(Struct.lpLocalName);
    Provider = TextOf(Struct.lpProvider);
    Comment = TextOf(Struct.lpComment);
}

void TNetResourceListItemKV::InitStruct(NETRESOURCEA* Struct) {
    Struct->dwScope = Scope;
    Struct->dwType = Type;
    Struct->dwDisplayType = DisplayType;
    Struct->dwUsage = Usage;
    Struct->lpLocalName = LocalName.data();
    Struct->lpRemoteName = RemoteName.data();
    Struct->lpComment = Comment.data();
    Struct->lpProvider = Provider.data();
}

void TNetResourceListItemKV::CopyObject(const TNetResourceListItemKV& Item) {
    if (&Item == this) return;
    Scope = Item.Scope;
    Type = Item.Type;
    DisplayType = Item.DisplayType;
    Usage = Item.Usage;
    RemoteName = Item.RemoteName;
    LocalName = Item.LocalName;
    Provider = Item.Provider;
    Comment = Item.Comment;
}

void TNetResourceListKV::AddItem(TNetResourceListItemKV* Item) {
    std::unique_ptr<TNetResourceListItemKV> owned(Item);
    if (!Item) throw EInvalidOperation("A network resource list takes no empty item");
    ItemList.Add(Item);
    owned.release();
}

void TNetResourceListKV::ClearItemList() {
    while (ItemList.GetCount() > 0)
        ItemList.Delete(0);
}

int TNetResourceListKV::IndexOfRemoteName(const AnsiString& Name) const {
    for (int i = 0; i < ItemList.GetCount(); ++i)
        if (ItemList[i]->RemoteName == Name) return i;
    return -1;
}

void TNetResourceListKV::Refresh() {
    ClearItemList();
    DWORD bufferSize = EnumBufferSize;
    TEnumHandle handle;
    DWORD result;
    if (ParentItem.RemoteName.empty() && ParentItem.LocalName.empty() && ParentItem.Provider.empty()) {
        result = WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &handle.Handle);
    } else {
        NETRESOURCEA parent;
        ParentItem.InitStruct(&parent);
        result = WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, &parent, &handle.Handle);
    }
    if (result != NO_ERROR) throw Exception(SNetworkError);

    // Records must be aligned: max_align_t blocks of the buffer's size.
    std::vector<std::max_align_t> buffer(EnumBufferSize / sizeof(std::max_align_t));
    auto* records = reinterpret_cast<NETRESOURCEA*>(buffer.data());
    for (;;) {
        DWORD count = AllThatFit;
        result = WNetEnumResourceA(handle.Handle, &count, buffer.data(), &bufferSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != NO_ERROR) throw Exception(SNetworkError);
        for (DWORD i = 0; i < count; ++i)
            AddItem(new TNetResourceListItemKV(records[i]));
    }
}
