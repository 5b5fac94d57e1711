#include "Classes.h"

#include <gtest/gtest.h>

namespace {

// Records the event order of a string list.
struct Recorder {
    std::vector<AnsiString> Events;
    void Attach(TStringList& list) {
        list.OnChanging = [this, &list](TObject*) { Events.push_back("changing:" + IntToStr(list.Count())); };
        list.OnChange = [this, &list](TObject*) { Events.push_back("change:" + IntToStr(list.Count())); };
    }
};

TEST(StringList, EventsFireAroundEachChangeAndOnceAroundABracket) {
    TStringList list;
    Recorder rec;
    rec.Attach(list);
    list.Add("a");
    EXPECT_EQ(rec.Events, (std::vector<AnsiString>{"changing:0", "change:1"}));
    rec.Events.clear();
    list.SetText("x\r\ny\nz");
    EXPECT_EQ(rec.Events, (std::vector<AnsiString>{"changing:1", "change:3"}));
    rec.Events.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("w");
    list.EndUpdate();
    EXPECT_EQ(rec.Events, (std::vector<AnsiString>{"changing:3"}));
    list.EndUpdate();
    EXPECT_EQ(rec.Events, (std::vector<AnsiString>{"changing:3", "change:4"}));
}

TEST(StringList, RaisingOnChangingStopsTheChangeAndLeavesTheCounter) {
    TStringList list;
    list.Add("keep");
    list.OnChanging = [](TObject*) { throw Exception("refused"); };
    bool changed = false;
    list.OnChange = [&](TObject*) { changed = true; };
    EXPECT_THROW(list.SetText("a\r\nb"), Exception);
    EXPECT_THROW(list.Add("x"), Exception);
    EXPECT_EQ(list.GetText(), "keep\r\n");
    EXPECT_EQ(list.GetUpdateCount(), 0);
    EXPECT_FALSE(changed);
}

TEST(StringList, TextSplitsEveryLineBreakKindAndJoinsWithCrLf) {
    TStringList list;
    list.SetText("a\r\nb\rc\nd\r\n");
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[2], "c");
    EXPECT_EQ(list.GetText(), "a\r\nb\r\nc\r\nd\r\n");
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    list.SetText("\r\n\r\n");
    EXPECT_EQ(list.Count(), 2);
}

TEST(StringList, IndexErrorsCarryTheIndex) {
    TStringList list;
    list.Add("a");
    try {
        list.Get(5);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    }
    EXPECT_THROW(list.Insert(2, "x"), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    list.Insert(1, "b");
    EXPECT_EQ(list.GetCommaText(), "a,b");
}

TEST(StringList, NamesAndValues) {
    TStringList list;
    list.SetText("USER_NAME=sysdba\r\nPASSWORD=a=b\r\nplain");
    EXPECT_EQ(list.GetName(1), "PASSWORD");
    EXPECT_EQ(list.GetValue("password"), "a=b");
    EXPECT_EQ(list.GetValue("plain"), "");
    list.SetValue("USER_NAME", "x");
    EXPECT_EQ(list[0], "USER_NAME=x");
    list.SetValue("USER_NAME", "");
    EXPECT_EQ(list.IndexOfName("USER_NAME"), -1);
    list.SetValue("NEW", "1");
    EXPECT_EQ(list[list.Count() - 1], "NEW=1");
}

TEST(StringList, AssignCopiesInOneBracket) {
    TStringList source, dest;
    source.SetText("1;ID\r\n2;DESCRIPTION\r\n3;QUANTITY DESC");
    Recorder rec;
    rec.Attach(dest);
    dest.Add("old");
    rec.Events.clear();
    dest.Assign(source);
    EXPECT_TRUE(dest.Equals(source));
    EXPECT_EQ(rec.Events, (std::vector<AnsiString>{"changing:1", "change:3"}));
}

TEST(StringList, SortedFindAndDuplicates) {
    TStringList list;
    list.SetSorted(true);
    list.Add("c");
    list.Add("A");
    list.Add("b");
    list.Add("a"); // ignored: case-insensitive duplicate
    EXPECT_EQ(list.GetCommaText(), "A,b,c");
    int index;
    EXPECT_TRUE(list.Find("B", index));
    EXPECT_EQ(index, 1);
    list.SetDuplicates(dupError);
    EXPECT_THROW(list.Add("C"), EStringListError);
}

TEST(ObjectList, OwnsAndChecksIndexes) {
    static int alive = 0;
    struct Counted : TObject {
        Counted() { ++alive; }
        ~Counted() override { --alive; }
    };
    {
        TObjectList<Counted> list;
        list.Add(new Counted);
        list.Insert(0, new Counted);
        EXPECT_THROW(list.Insert(3, nullptr), EListError);
        EXPECT_THROW(list.Get(2), EListError);
        list.Delete(0);
        EXPECT_EQ(alive, 1);
        auto* extracted = list.Extract(0);
        EXPECT_EQ(alive, 1);
        delete extracted;
        list.Add(new Counted);
    }
    EXPECT_EQ(alive, 0);
}

TEST(MemoryStream, ReadWriteSeekAndCopy) {
    TMemoryStream a;
    a.WriteBuffer("hello", 5);
    a.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(a.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "ello");
    TMemoryStream b;
    b.CopyFrom(a, 0);
    EXPECT_EQ(b.GetSize(), 5);
    b.SetSize(2);
    EXPECT_EQ(b.GetPosition(), 2);
    EXPECT_THROW(b.ReadBuffer(buf, 1), EStreamError);
    EXPECT_THROW(b.Seek(-1, soBeginning), EStreamError);
}

} // namespace
