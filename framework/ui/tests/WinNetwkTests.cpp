#include "WinNetwk.h"

#include "TestDaemons.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

struct Resource {
    DWORD Scope, Type, DisplayType, Usage;
    std::string LocalName, RemoteName, Comment, Provider;
    bool NullLocalName;
};

std::string Text(const char* S) {
    return S ? S : "";
}

// An aligned buffer of Size bytes.
struct Buffer {
    explicit Buffer(size_t Size)
        : Blocks(Size / sizeof(std::max_align_t) + 1), Size(static_cast<DWORD>(Size)) {}
    void* Data() { return Blocks.data(); }
    const NETRESOURCEA* Records() { return reinterpret_cast<const NETRESOURCEA*>(Blocks.data()); }
    std::vector<std::max_align_t> Blocks;
    DWORD Size;
};

// Reads one level whole, with a buffer of BufferSize bytes.
DWORD ReadAll(const NETRESOURCEA* Parent, std::vector<Resource>& Out, DWORD Type = RESOURCETYPE_ANY,
              size_t BufferSize = 64 * 1024) {
    HANDLE h = nullptr;
    DWORD r = WNetOpenEnumA(RESOURCE_GLOBALNET, Type, 0, Parent, &h);
    if (r != NO_ERROR) return r;
    Buffer buffer(BufferSize);
    for (;;) {
        DWORD count = 0xFFFFFFFF, size = buffer.Size;
        r = WNetEnumResourceA(h, &count, buffer.Data(), &size);
        if (r != NO_ERROR) break;
        for (DWORD i = 0; i < count; ++i) {
            const NETRESOURCEA& n = buffer.Records()[i];
            Out.push_back({n.dwScope, n.dwType, n.dwDisplayType, n.dwUsage, Text(n.lpLocalName),
                           Text(n.lpRemoteName), Text(n.lpComment), Text(n.lpProvider),
                           n.lpLocalName == nullptr});
        }
    }
    EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
    return r == ERROR_NO_MORE_ITEMS ? NO_ERROR : r;
}

// A parent resource pointing at RemoteName, which must outlive it.
NETRESOURCEA Named(const std::string& RemoteName) {
    NETRESOURCEA n{};
    n.lpRemoteName = const_cast<char*>(RemoteName.c_str());
    return n;
}
NETRESOURCEA Named(std::string&&) = delete;

using testdaemons::SambaTest;

TEST_F(SambaTest, AServerListsItsDiskAndPrintSharesButNoIpcShare) {
    std::vector<Resource> got;
    NETRESOURCEA parent = Named(Server);
    ASSERT_EQ(ReadAll(&parent, got), NO_ERROR);
    struct Expected {
        std::string Name, Comment;
        DWORD Type;
    };
    const std::vector<Expected> expected = {{"public", "Öffentliche Ablage", RESOURCETYPE_DISK},
                                            {"Scratch", "Temporary files", RESOURCETYPE_DISK},
                                            {"labels", "Label printer", RESOURCETYPE_PRINT}};
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(expected[i].Name);
        EXPECT_EQ(got[i].RemoteName, Prefix + expected[i].Name);
        EXPECT_EQ(got[i].Comment, expected[i].Comment);
        EXPECT_EQ(got[i].Type, expected[i].Type);
        EXPECT_EQ(got[i].DisplayType, RESOURCEDISPLAYTYPE_SHARE);
        EXPECT_EQ(got[i].Usage, RESOURCEUSAGE_CONNECTABLE);
        EXPECT_EQ(got[i].Scope, RESOURCE_GLOBALNET);
        EXPECT_EQ(got[i].Provider, SNetworkProvider);
        EXPECT_TRUE(got[i].NullLocalName);
    }

    std::vector<Resource> printers;
    ASSERT_EQ(ReadAll(&parent, printers, RESOURCETYPE_PRINT), NO_ERROR);
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0].RemoteName, Prefix + "labels");
}

TEST_F(SambaTest, TheBufferTakesWhatFitsAndNamesTheSizeOfARecordThatDoesNot) {
    NETRESOURCEA parent = Named(Server);
    HANDLE h = nullptr;
    ASSERT_EQ(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, &parent, &h), NO_ERROR);

    Buffer small(sizeof(NETRESOURCEA));
    DWORD count = 0xFFFFFFFF, size = small.Size;
    ASSERT_EQ(WNetEnumResourceA(h, &count, small.Data(), &size), ERROR_MORE_DATA);
    const std::string first = Prefix + "public";
    const DWORD need = sizeof(NETRESOURCEA) + first.size() + 1 + sizeof("Öffentliche Ablage") +
                       std::string(SNetworkProvider).size() + 1;
    EXPECT_EQ(size, need);

    // Exactly that size holds the one record; nothing spills past it.
    Buffer exact(size);
    reinterpret_cast<unsigned char*>(exact.Data())[size] = 0xAB;
    count = 0xFFFFFFFF;
    ASSERT_EQ(WNetEnumResourceA(h, &count, exact.Data(), &size), NO_ERROR);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Text(exact.Records()[0].lpRemoteName), first);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(exact.Data())[size], 0xAB);

    // A count limits the records as well.
    Buffer big(4096);
    count = 1;
    size = big.Size;
    ASSERT_EQ(WNetEnumResourceA(h, &count, big.Data(), &size), NO_ERROR);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Text(big.Records()[0].lpRemoteName), Prefix + "Scratch");
    count = 0xFFFFFFFF;
    ASSERT_EQ(WNetEnumResourceA(h, &count, big.Data(), &size), NO_ERROR);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(WNetEnumResourceA(h, &count, big.Data(), &size), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
}

// The logon "longnames" sees shares named by 250 and by 900 letters; the
// client library cuts the second to 255.
TEST_F(SambaTest, LongNamesPassWholeAndNamesTheLibraryCutAreLeftOut) {
    std::string reason, url = testdaemons::SambaServerUrl(reason, "longnames:secret");
    NETRESOURCEA parent = Named(url);
    std::vector<Resource> got;
    ASSERT_EQ(ReadAll(&parent, got), NO_ERROR);
    std::vector<std::string> names;
    for (const Resource& r : got) {
        EXPECT_EQ(r.RemoteName.find("secret"), std::string::npos) << "the logon stays out of the names";
        EXPECT_EQ(r.RemoteName.find("nnn"), std::string::npos) << "a cut name is left out";
        names.push_back(r.RemoteName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{Prefix + "public", Prefix + "Scratch", Prefix + "labels",
                                               Prefix + std::string(250, 'l')}));
}

// Port and logon belong to the server's name: one listing never answers for another.
TEST_F(SambaTest, EachListingReachesTheServerItNames) {
    std::string reason, longnames = testdaemons::SambaServerUrl(reason, "longnames:x"),
                        closed = "smb://127.0.0.1:1";
    NETRESOURCEA guest = Named(Server), logon = Named(longnames), closedPort = Named(closed);
    std::vector<Resource> first, second, third;
    ASSERT_EQ(ReadAll(&guest, first), NO_ERROR);
    ASSERT_EQ(ReadAll(&logon, second), NO_ERROR);
    EXPECT_EQ(second.size(), first.size() + 1);
    EXPECT_EQ(ReadAll(&closedPort, third), ERROR_BAD_NETPATH);
    EXPECT_TRUE(third.empty());
}

TEST_F(SambaTest, AShareIsNoContainer) {
    std::string share = Prefix + "public";
    NETRESOURCEA parent = Named(share);
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, &parent, &h), ERROR_NOT_CONTAINER);
    EXPECT_EQ(h, nullptr);
}

// The top level holds whatever workgroups answer, possibly none, but never shares.
TEST(WinNetwk, TheTopLevelOpensWithoutAParentOrWithAnEmptyName) {
    for (bool empty : {false, true}) {
        std::string none;
        NETRESOURCEA parent = Named(none);
        std::vector<Resource> got;
        ASSERT_EQ(ReadAll(empty ? &parent : nullptr, got), NO_ERROR);
        for (const Resource& r : got)
            EXPECT_EQ(r.DisplayType, RESOURCEDISPLAYTYPE_DOMAIN) << r.RemoteName;
    }
}

TEST(WinNetwk, BadCallsGiveTheirResultCodes) {
    std::string closedName = "smb://127.0.0.1:1", notSmbName = "http://127.0.0.1/";
    NETRESOURCEA closed = Named(closedName);
    NETRESOURCEA notSmb = Named(notSmbName);
    HANDLE h = nullptr;
    struct Case {
        const char* What;
        DWORD Scope, Type;
        const NETRESOURCEA* Parent;
        DWORD Result;
    };
    for (const Case& c :
         {Case{"unreachable server", RESOURCE_GLOBALNET, RESOURCETYPE_ANY, &closed, ERROR_BAD_NETPATH},
          Case{"not an SMB name", RESOURCE_GLOBALNET, RESOURCETYPE_ANY, &notSmb, ERROR_BAD_NET_NAME},
          Case{"connected scope", RESOURCE_CONNECTED, RESOURCETYPE_ANY, nullptr, ERROR_NOT_SUPPORTED},
          Case{"unknown type", RESOURCE_GLOBALNET, 7, nullptr, ERROR_INVALID_PARAMETER}})
        EXPECT_EQ(WNetOpenEnumA(c.Scope, c.Type, 0, c.Parent, &h), c.Result) << c.What;
    EXPECT_EQ(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);

    int notAHandle = 0;
    DWORD count = 1, size = 0;
    EXPECT_EQ(WNetEnumResourceA(&notAHandle, &count, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WNetCloseEnum(&notAHandle), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WNetCloseEnum(nullptr), ERROR_INVALID_HANDLE);
}

TEST(WinNetwk, AClosedHandleIsNoLongerValidAndBadArgumentsAreRefused) {
    HANDLE h = nullptr;
    ASSERT_EQ(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &h), NO_ERROR);
    Buffer buffer(1024);
    DWORD count = 0, size = buffer.Size;
    EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.Data(), &size), ERROR_INVALID_PARAMETER);
    count = 1;
    EXPECT_EQ(WNetEnumResourceA(h, &count, static_cast<char*>(buffer.Data()) + 1, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WNetEnumResourceA(h, nullptr, buffer.Data(), &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.Data(), nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
    EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.Data(), &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WNetCloseEnum(h), ERROR_INVALID_HANDLE);
}

} // namespace
