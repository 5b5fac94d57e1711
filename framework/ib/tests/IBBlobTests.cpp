// Blob streams: whole contents in memory, a new blob on Finalize.
#include "IBBlob.h"
#include "IBTestSupport.h"

#include <cstring>

using namespace IBTest;

class IBBlob : public TIBRouteFixture {
protected:
    void SetUp() override {
        TIBRouteFixture::SetUp();
        if (IsSkipped()) return;
        ExecSQL("CREATE TABLE B (ID INTEGER NOT NULL PRIMARY KEY, DATA BLOB SUB_TYPE 0)");
        Tr->Commit();
        Tr->StartTransaction();
    }

    std::unique_ptr<TIBBlobStream> Stream(TBlobStreamMode Mode, const ISC_QUAD* Id = nullptr) {
        auto s = std::make_unique<TIBBlobStream>();
        s->SetDatabase(Db.get());
        s->SetTransaction(Tr.get());
        if (Id) s->SetBlobID(*Id);
        s->SetMode(Mode);
        return s;
    }

    void Store(int Id, const ISC_QUAD& Blob) {
        TIBSQL* q = NewSQL("INSERT INTO B (ID, DATA) VALUES (:ID, :DATA)");
        q->ParamByName("ID")->SetAsLong(Id);
        q->ParamByName("DATA")->SetAsQuad(Blob);
        q->ExecQuery();
    }

    ISC_QUAD Stored(int Id) {
        TIBSQL* q = NewSQL("SELECT DATA FROM B WHERE ID = :ID");
        q->ParamByName("ID")->SetAsLong(Id);
        q->ExecQuery();
        EXPECT_FALSE(q->GetFields(0)->GetIsNull());
        return q->GetFields(0)->GetAsQuad();
    }

    AnsiString Contents(const ISC_QUAD& Id) {
        auto s = Stream(bmRead, &Id);
        AnsiString data(static_cast<size_t>(s->GetSize()), '\0');
        if (!data.empty()) s->ReadBuffer(data.data(), static_cast<int>(data.size()));
        return data;
    }
};

TEST_P(IBBlob, EmptyAndTenMebibyteBlobsRoundTrip) {
    AnsiString big(10 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 131) ^ (i >> 11));
    const AnsiString contents[] = {AnsiString(), big, AnsiString("x")};
    int id = 0;
    for (const AnsiString& c : contents) {
        SCOPED_TRACE(c.size());
        auto w = Stream(bmWrite);
        if (!c.empty()) w->WriteBuffer(c.data(), static_cast<int>(c.size()));
        w->Finalize();
        EXPECT_FALSE(w->GetModified());
        Store(++id, w->GetBlobID()); // a 0-byte blob is a blob, not NULL
    }
    Tr->Commit();
    Tr->StartTransaction();
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        ISC_QUAD blob = Stored(i);
        AnsiString got = Contents(blob);
        EXPECT_EQ(got.size(), contents[i - 1].size());
        EXPECT_TRUE(got == contents[i - 1]);
    }
    auto r = Stream(bmRead, nullptr);
    ISC_QUAD bigId = Stored(2);
    r->SetBlobID(bigId);
    EXPECT_EQ(r->GetSize(), static_cast<Int64>(big.size()));
    EXPECT_GT(r->GetBlobNumSegments(), 1);
}

TEST_P(IBBlob, BlobColumnsReadAndWriteAsText) {
    TIBSQL* ins = NewSQL("INSERT INTO B (ID, DATA) VALUES (:ID, :DATA)");
    ins->ParamByName("ID")->SetAsLong(1);
    ins->ParamByName("DATA")->SetAsString(AnsiString("a\0b", 3));
    ins->ExecQuery();
    ins->ParamByName("ID")->SetAsLong(2);
    ins->ParamByName("DATA")->SetAsString("");
    ins->ExecQuery();
    TIBSQL* q = NewSQL("SELECT DATA FROM B ORDER BY ID");
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->GetAsString(), AnsiString("a\0b", 3));
    q->Next();
    EXPECT_FALSE(q->GetFields(0)->GetIsNull());
    EXPECT_EQ(q->GetFields(0)->GetAsString(), "");
}

INSTANTIATE_TEST_SUITE_P(Routes, IBBlob, RouteValues(), RouteName);

class IBBlobStreamEmbedded : public IBBlob {};

TEST_P(IBBlobStreamEmbedded, ChangesStayInMemoryUntilFinalize) {
    auto w = Stream(bmWrite);
    w->WriteBuffer("0123456789", 10);
    w->Finalize();
    const ISC_QUAD original = w->GetBlobID();

    auto rw = Stream(bmReadWrite, &original);
    char buf[16] = {};
    EXPECT_EQ(rw->Read(buf, 4), 4);
    EXPECT_EQ(AnsiString(buf, 4), "0123");
    EXPECT_FALSE(rw->GetModified());
    rw->Seek(0, soEnd);
    rw->WriteBuffer("AB", 2);
    EXPECT_TRUE(rw->GetModified());
    rw->Cancel(); // the stored contents come back
    EXPECT_FALSE(rw->GetModified());
    EXPECT_EQ(rw->GetSize(), 10);

    rw->SetSize(10); // the same size changes nothing
    EXPECT_FALSE(rw->GetModified());
    rw->SetSize(3); // a truncation is a change and is written
    EXPECT_TRUE(rw->GetModified());
    rw->Finalize();
    EXPECT_NE(std::memcmp(&rw->GetBlobID(), &original, sizeof original), 0);
    EXPECT_EQ(Contents(rw->GetBlobID()), "012");
    EXPECT_EQ(Contents(original), "0123456789"); // the old blob is untouched

    rw->Seek(100, soBeginning); // past the end reads nothing
    EXPECT_EQ(rw->Read(buf, 4), 0);
    rw->WriteBuffer("z", 1); // and writing there fills the gap with zeros
    EXPECT_EQ(rw->GetSize(), 101);
    EXPECT_THROW(rw->Seek(-1, soBeginning), EStreamError);
    EXPECT_THROW(rw->SetSize(-1), EStreamError);
}

TEST_P(IBBlobStreamEmbedded, ModesAndMissingLinksAreChecked) {
    auto w = Stream(bmWrite);
    char c;
    EXPECT_THROW(w->Read(&c, 1), EIBClientError);
    ISC_QUAD zero{};
    auto r = Stream(bmRead, &zero);
    EXPECT_EQ(r->GetSize(), 0); // a zero id is an empty blob
    EXPECT_THROW(r->Write("x", 1), EIBClientError);
    EXPECT_THROW(r->SetSize(1), EIBClientError);

    ExecSQL("INSERT INTO B (ID, DATA) VALUES (1, 'stored')");
    ISC_QUAD id = Stored(1);
    TIBBlobStream loose;
    loose.SetBlobID(id);
    loose.SetMode(bmRead);
    EXPECT_THROW(loose.GetSize(), EIBClientError); // no database
    Tr->Commit();
    auto late = Stream(bmRead, &id);
    EXPECT_THROW(late->GetSize(), EIBClientError); // no active transaction
}

INSTANTIATE_TEST_SUITE_P(Embedded, IBBlobStreamEmbedded, ::testing::Values(TRoute::Embedded), RouteName);
