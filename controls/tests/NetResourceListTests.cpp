#include "NetResourceListKV.h"

#include "TestDaemons.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

namespace {

const char* const NetworkError = "Es ist ein Netzwerkfehler aufgetreten";

std::unique_ptr<TNetResourceListItemKV> ItemNamed(const AnsiString& RemoteName,
                                                  const AnsiString& Comment = "") {
    auto item = std::make_unique<TNetResourceListItemKV>();
    item->RemoteName = RemoteName;
    item->Comment = Comment;
    return item;
}

void ExpectSame(const TNetResourceListItemKV& A, const TNetResourceListItemKV& B) {
    EXPECT_EQ(A.Scope, B.Scope);
    EXPECT_EQ(A.Type, B.Type);
    EXPECT_EQ(A.DisplayType, B.DisplayType);
    EXPECT_EQ(A.Usage, B.Usage);
    EXPECT_EQ(A.RemoteName, B.RemoteName);
    EXPECT_EQ(A.LocalName, B.LocalName);
    EXPECT_EQ(A.Provider, B.Provider);
    EXPECT_EQ(A.Comment, B.Comment);
}

TEST(NetResourceListItem, CopiesARecordAndGivesItBackWithoutNullTexts) {
    char remote[] = "smb://host/share", provider[] = "Net";
    NETRESOURCEA in{1, 2, 3, 4, nullptr, remote, nullptr, provider};
    TNetResourceListItemKV item(in);
    EXPECT_EQ(item.Scope, 1u);
    EXPECT_EQ(item.Type, 2u);
    EXPECT_EQ(item.DisplayType, 3u);
    EXPECT_EQ(item.Usage, 4u);
    EXPECT_EQ(item.RemoteName, "smb://host/share");
    EXPECT_EQ(item.Provider, "Net");
    EXPECT_EQ(item.LocalName, "");
    EXPECT_EQ(item.Comment, "");

    remote[0] = 'X'; // the item holds copies
    EXPECT_EQ(item.RemoteName, "smb://host/share");

    NETRESOURCEA out{};
    item.InitStruct(&out);
    EXPECT_EQ(out.dwScope, 1u);
    EXPECT_EQ(out.dwUsage, 4u);
    ASSERT_NE(out.lpLocalName, nullptr);
    ASSERT_NE(out.lpComment, nullptr);
    EXPECT_STREQ(out.lpLocalName, "");
    EXPECT_STREQ(out.lpComment, "");
    EXPECT_STREQ(out.lpRemoteName, "smb://host/share");
    EXPECT_STREQ(out.lpProvider, "Net");

    TNetResourceListItemKV back(out);
    ExpectSame(back, item);
}

TEST(NetResourceListItem, CopyAndAssignmentTakeAllEightFields) {
    TNetResourceListItemKV empty;
    ExpectSame(empty, TNetResourceListItemKV(NETRESOURCEA{}));

    char local[] = "L:", remote[] = "R", comment[] = "C", provider[] = "P";
    TNetResourceListItemKV source(NETRESOURCEA{5, 6, 7, 8, local, remote, comment, provider});
    TNetResourceListItemKV copy(source);
    ExpectSame(copy, source);
    TNetResourceListItemKV assigned;
    assigned = source;
    ExpectSame(assigned, source);
    assigned = NETRESOURCEA{};
    ExpectSame(assigned, empty);
    assigned.CopyObject(assigned);
    ExpectSame(assigned, empty);
}

TEST(NetResourceList, OwnsItsItemsAndCopiesWhatItIsGiven) {
    TNetResourceListKV list;
    EXPECT_EQ(list.GetCount(), 0);
    for (const char* name : {"smb://a/one", "smb://a/Two", "smb://a/two"})
        list.AddItem(ItemNamed(name).release());
    ASSERT_EQ(list.GetCount(), 3);

    struct Case {
        const char* Name;
        int Index;
    };
    for (const Case& c : {Case{"smb://a/one", 0}, Case{"smb://a/Two", 1}, Case{"smb://a/two", 2},
                          Case{"smb://a/ONE", -1}, Case{"smb://a/on", -1}, Case{"", -1}})
        EXPECT_EQ(list.IndexOfRemoteName(c.Name), c.Index) << c.Name;

    auto given = ItemNamed("smb://b/given", "first");
    list.SetItems(1, *given);
    given->RemoteName = "smb://b/changed";
    given->Comment = "changed";
    EXPECT_EQ(list.GetItems(1)->RemoteName, "smb://b/given");
    EXPECT_EQ(list.GetItems(1)->Comment, "first");
    EXPECT_NE(list.GetItems(1), given.get());

    EXPECT_THROW(list.GetItems(3), EListError);
    EXPECT_THROW(list.GetItems(-1), EListError);
    EXPECT_THROW(list.SetItems(3, *given), EListError);
    EXPECT_THROW(list.DeleteItem(3), EListError);
    EXPECT_THROW(list.AddItem(nullptr), EInvalidOperation);
    EXPECT_EQ(list.GetCount(), 3);

    list.DeleteItem(0);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetItems(0)->RemoteName, "smb://b/given");
    list.ClearItemList();
    EXPECT_EQ(list.GetCount(), 0);
}

class NetResourceListSamba : public testdaemons::SambaTest {
protected:
    // Refresh that must fail with the general exception and the network error.
    static void RefreshFails(TNetResourceListKV& List) {
        try {
            List.Refresh();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(typeid(e), typeid(Exception));
            EXPECT_STREQ(e.what(), NetworkError);
        }
    }
};

TEST_F(NetResourceListSamba, AServersSharesBecomeItemsWithNamesCommentsAndTypes) {
    TNetResourceListKV list;
    list.SetParent(*ItemNamed(Server));
    list.Refresh();
    struct Expected {
        std::string Name, Comment;
        Cardinal Type;
    };
    const Expected expected[] = {{"public", "Öffentliche Ablage", RESOURCETYPE_DISK},
                                 {"Scratch", "Temporary files", RESOURCETYPE_DISK},
                                 {"labels", "Label printer", RESOURCETYPE_PRINT}};
    ASSERT_EQ(list.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const TNetResourceListItemKV& item = *list.GetItems(i);
        SCOPED_TRACE(expected[i].Name);
        EXPECT_EQ(item.RemoteName, Prefix + expected[i].Name);
        EXPECT_EQ(item.Comment, expected[i].Comment);
        EXPECT_EQ(item.Type, expected[i].Type);
        EXPECT_EQ(item.DisplayType, RESOURCEDISPLAYTYPE_SHARE);
        EXPECT_EQ(item.Usage, RESOURCEUSAGE_CONNECTABLE);
        EXPECT_EQ(item.Scope, RESOURCE_GLOBALNET);
        EXPECT_EQ(item.LocalName, "");
        EXPECT_EQ(item.Provider, SNetworkProvider);
    }
    EXPECT_EQ(list.IndexOfRemoteName(Prefix + "Scratch"), 1);
    EXPECT_EQ(list.IndexOfRemoteName(Prefix + "scratch"), -1);

    // A second refresh replaces the items.
    list.Refresh();
    EXPECT_EQ(list.GetCount(), 3);
}

// A fresh list, and a parent with only a comment, list the top of the
// network: the workgroups that answer (perhaps none), never the server's shares.
TEST_F(NetResourceListSamba, AnEmptyParentListsTheTopLevel) {
    TNetResourceListKV list;
    list.Refresh();
    for (int i = 0; i < list.GetCount(); ++i)
        EXPECT_EQ(list.GetItems(i)->DisplayType, RESOURCEDISPLAYTYPE_DOMAIN);

    list.SetParent(*ItemNamed(Server));
    list.Refresh();
    ASSERT_EQ(list.GetCount(), 3);
    list.SetParent(*ItemNamed("", "only a comment"));
    list.Refresh();
    EXPECT_EQ(list.IndexOfRemoteName(Prefix + "public"), -1);
    for (int i = 0; i < list.GetCount(); ++i)
        EXPECT_EQ(list.GetItems(i)->DisplayType, RESOURCEDISPLAYTYPE_DOMAIN);
}

TEST_F(NetResourceListSamba, AnUnreachableServerIsANetworkError) {
    TNetResourceListKV list;
    list.SetParent(*ItemNamed(Server));
    list.Refresh();
    ASSERT_EQ(list.GetCount(), 3);
    list.SetParent(*ItemNamed("smb://127.0.0.1:1"));
    RefreshFails(list);
    EXPECT_EQ(list.GetCount(), 0); // nothing was read from it
}

// A share whose record does not fit into the list's buffer stops the listing
// with the network error; the shares read before it stay. The logon
// "longnames" adds a share named by 250 letters after the three others, and
// the port written with 700 leading zeros lengthens every remote name: each
// record then takes more than half the buffer, that share's more than all.
TEST_F(NetResourceListSamba, ARecordTooLargeForTheBufferKeepsTheItemsReadBeforeIt) {
    const std::string server = "127.0.0.1:" + std::string(700, '0') + std::getenv("KV_SMB_PORT");
    TNetResourceListKV list;
    list.SetParent(*ItemNamed("smb://longnames:any@" + server));
    RefreshFails(list);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetItems(0)->RemoteName, "smb://" + server + "/public");
    EXPECT_EQ(list.GetItems(1)->RemoteName, "smb://" + server + "/Scratch");
    EXPECT_EQ(list.GetItems(2)->RemoteName, "smb://" + server + "/labels");
}

} // namespace
