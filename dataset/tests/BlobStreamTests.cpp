// Blob streams against the real engine: contents of 0 bytes, 1 byte and
// 10 MiB written, applied as new blobs and read back, cancelled; the write
// checks; streams sharing one native stream; handles that outlive their
// native stream; and the faults mended (a cancel after a failed post, size
// changes through a read stream, a stale stream meeting a newer native
// stream of its field).
//
// The record is put in place by hand (a row fetched into the active buffer,
// the edit state set for the moment); the post's part of the work is done
// as the dataset's post does it: apply the streams, write the ids, drop the
// streams. The tests through the dataset's own Edit, Post and Cancel stand
// at the end.
#include "RowvaneFixture.h"

#include <cstring>
#include <functional>
#include <memory>

namespace {

// Row Row of the select in the active record, and the dataset in State.
class TRecordState {
public:
    TRecordState(TTestRowvane& DataSet, int Row, TDataSetState State) : FDataSet(DataSet) {
        EXPECT_TRUE(FDataSet.FetchRow(FDataSet.ActiveBuffer(), Row));
        FSaved = FDataSet.SetTempState(State);
    }
    ~TRecordState() { FDataSet.RestoreState(FSaved); }

private:
    TTestRowvane& FDataSet;
    TDataSetState FSaved;
};

AnsiString Pattern(size_t Size) {
    AnsiString s(Size, '\0');
    for (size_t i = 0; i < Size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

class BlobStreamTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        Reopen();
    }
    // A new dataset over TYPES, open: row 1 (index 0) holds "bytes" and
    // "text", row 2 (index 1) nulls.
    void Reopen() {
        Use("SELECT ID, C_BLOB, C_MEMO FROM TYPES ORDER BY ID");
        DS->Open();
        Blob = static_cast<TBlobField*>(DS->FieldByName("C_BLOB"));
        Memo = static_cast<TBlobField*>(DS->FieldByName("C_MEMO"));
    }

    std::unique_ptr<TStream> Open(TBlobField* Field, TBlobStreamMode Mode) {
        return std::unique_ptr<TStream>(DS->CreateBlobStream(Field, Mode));
    }
    AnsiString ReadAll(TBlobField* Field) {
        std::unique_ptr<TStream> s = Open(Field, bmRead);
        AnsiString text(static_cast<size_t>(s->GetSize()), '\0');
        s->ReadBuffer(text.data(), static_cast<int>(text.size()));
        return text;
    }
    ISC_QUAD Id(TBlobField* Field) {
        ISC_QUAD id{};
        DS->GetFieldData(Field, &id);
        return id;
    }
    // The post's work on the active record: changed blobs written, their
    // ids stored in the row, the streams dropped.
    void Post(int RowId) {
        DS->BlobStreams()->ApplyChanges();
        TIBSQL* update = NewSQL("UPDATE TYPES SET C_BLOB = :B, C_MEMO = :M WHERE ID = :ID");
        for (auto [name, field] : {std::pair{"B", Blob}, std::pair{"M", Memo}}) {
            if (field->GetIsNull())
                update->ParamByName(name)->SetIsNull(true);
            else
                update->ParamByName(name)->SetAsQuad(Id(field));
        }
        update->ParamByName("ID")->SetAsLong(RowId);
        update->ExecQuery();
        DS->BlobStreams()->Clear();
    }
    // What the database holds now; "NULL" for null.
    AnsiString Stored(const char* Column, int RowId) {
        TIBSQL* q = NewSQL("SELECT " + AnsiString(Column) + " FROM TYPES WHERE ID = " + IntToStr(RowId));
        q->ExecQuery();
        AnsiString value = q->GetFields(0)->GetIsNull() ? AnsiString("NULL") : q->GetFields(0)->GetAsString();
        q->Close();
        return value;
    }

    TBlobField* Blob = nullptr;
    TBlobField* Memo = nullptr;
};

} // namespace

TEST_F(BlobStreamTest, ContentsOfEverySizeAreWrittenAsNewBlobsAtPostAndReadBack) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{10} << 20}) {
        for (int row : {0, 1}) {
            SCOPED_TRACE("size " + IntToStr(static_cast<Int64>(size)) + ", row " + IntToStr(row + 1));
            AnsiString contents = Pattern(size);
            AnsiString before = Stored("C_BLOB", row + 1);
            {
                TRecordState edit(*DS, row, dsEdit);
                ISC_QUAD old = Id(Blob);
                std::unique_ptr<TStream> s = Open(Blob, bmWrite);
                s->WriteBuffer(contents.data(), static_cast<int>(contents.size()));
                EXPECT_EQ(Stored("C_BLOB", row + 1), before); // nothing written before the post
                Post(row + 1);
                ISC_QUAD now = Id(Blob);
                if (size > 0) {
                    EXPECT_NE(std::memcmp(&now, &old, sizeof old), 0) << "a new blob";
                }
                EXPECT_EQ(Blob->GetIsNull(), size == 0);
                EXPECT_EQ(ReadAll(Blob), contents); // a new native stream, loaded from the new id
            }
            EXPECT_EQ(Stored("C_BLOB", row + 1), size == 0 ? AnsiString("NULL") : contents);
            EXPECT_EQ(Stored("C_MEMO", row + 1), row == 0 ? "text" : "NULL"); // not touched
        }
    }
}

TEST_F(BlobStreamTest, CancellingBringsBackTheStoredContents) {
    struct Case {
        const char* Name;
        std::function<void(TStream&)> Change;
    };
    AnsiString large = Pattern(size_t{10} << 20);
    const Case cases[] = {
        {"10 bytes written", [](TStream& s) { s.WriteBuffer("0123456789", 10); }},
        {"10 MiB written", [&](TStream& s) { s.WriteBuffer(large.data(), static_cast<int>(large.size())); }},
        {"grown only", [](TStream& s) { s.SetSize(100); }},
        {"emptied only", [](TStream& s) { s.SetSize(0); }},
    };
    TRecordState edit(*DS, 0, dsEdit);
    ISC_QUAD stored = Id(Blob);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            std::unique_ptr<TStream> s = Open(Blob, bmReadWrite);
            c.Change(*s);
        }
        EXPECT_NE(ReadAll(Blob), "bytes");
        DS->BlobStreams()->CancelChanges();
        EXPECT_FALSE(DS->BlobStreams()->GetItemByField(Blob)->GetModified());
        EXPECT_EQ(ReadAll(Blob), "bytes");
        DS->BlobStreams()->ApplyChanges(); // nothing left to write
        ISC_QUAD now = Id(Blob);
        EXPECT_EQ(std::memcmp(&now, &stored, sizeof stored), 0);
    }
}

// A post whose statement fails has already written the new blob and put its
// id into the record; the cancel that follows must not show that blob as
// the row's contents.
TEST_F(BlobStreamTest, ACancelAfterAFailedPostGoesBackToTheStoredBlob) {
    TRecordState edit(*DS, 0, dsEdit);
    {
        std::unique_ptr<TStream> s = Open(Blob, bmWrite);
        s->WriteBuffer("changed", 7);
    }
    ISC_QUAD stored = Id(Blob);
    DS->BlobStreams()->ApplyChanges(); // the statement would run next, and fails
    DS->BlobStreams()->CancelChanges();
    TIBRVNativeBlobStream* native = DS->BlobStreams()->GetItemByField(Blob);
    EXPECT_EQ(std::memcmp(&native->GetBlobID(), &stored, sizeof stored), 0);
    char text[8] = {};
    native->Seek(0, soBeginning);
    EXPECT_EQ(native->Read(text, 7), 5);
    EXPECT_STREQ(text, "bytes");
    ASSERT_TRUE(DS->FetchRow(DS->ActiveBuffer(), 0)); // the framework re-reads the row
    EXPECT_EQ(ReadAll(Blob), "bytes");
    EXPECT_EQ(Stored("C_BLOB", 1), "bytes");
}

// A refresh puts the row's blob ids, read again, into the record: a native
// stream still holding the contents of the ids before is not used for it.
TEST_F(BlobStreamTest, ARecordReadAgainGetsTheContentsOfItsOwnBlobs) {
    TRecordState edit(*DS, 0, dsEdit);
    EXPECT_EQ(ReadAll(Blob), "bytes");
    ExecSQL("UPDATE TYPES SET C_BLOB = 'again' WHERE ID = 1");
    ASSERT_TRUE(DS->FetchRow(DS->ActiveBuffer(), 0));
    EXPECT_EQ(ReadAll(Blob), "again");
    ASSERT_TRUE(DS->FetchRow(DS->ActiveBuffer(), 1)); // another row in the record
    EXPECT_EQ(ReadAll(Blob), "");
    EXPECT_EQ(DS->BlobStreams()->GetCount(), 1);
}

TEST_F(BlobStreamTest, WritingNeedsTheEditOrInsertStateAndAWriteStream) {
    ASSERT_EQ(DS->GetState(), dsBrowse);
    EXPECT_RV_ERROR(Open(Blob, bmWrite), rveNoWriteMode);
    EXPECT_RV_ERROR(Open(Blob, bmReadWrite), rveNoWriteMode);
    EXPECT_EQ(DS->BlobStreams()->GetItemByField(Blob), nullptr); // the stream made for it is gone again
    {
        TRecordState insert(*DS, 1, dsInsert);
        EXPECT_NO_THROW(Open(Blob, bmWrite));
    }
    TRecordState edit(*DS, 0, dsEdit);
    std::unique_ptr<TStream> reader = Open(Blob, bmRead);
    EXPECT_RV_ERROR(reader->Write("x", 1), rveNoWriteMode);
    // A change of size is a write too: a read stream cannot empty the field.
    EXPECT_RV_ERROR(reader->SetSize(0), rveNoWriteMode);
    std::unique_ptr<TStream> writer = Open(Blob, bmReadWrite);
    TDataSetState saved = DS->SetTempState(dsBrowse);
    EXPECT_RV_ERROR(writer->Write("x", 1), rveNoWriteMode);
    EXPECT_RV_ERROR(writer->SetSize(1), rveNoWriteMode);
    DS->RestoreState(saved);
    EXPECT_FALSE(DS->BlobStreams()->GetItemByField(Blob)->GetModified());
    EXPECT_FALSE(Blob->GetModified());
    EXPECT_EQ(ReadAll(Blob), "bytes");
}

TEST_F(BlobStreamTest, AWriteStreamEmptiesStoredContentsAtOnceAndMarksWhatChanged) {
    struct Case {
        int Row;
        const char* Field;
        bool MarkedAtOnce; // stored contents are emptied; an empty blob has nothing to lose
    };
    const Case cases[] = {
        {0, "C_BLOB", true}, {0, "C_MEMO", true}, {1, "C_BLOB", false}, {1, "C_MEMO", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(AnsiString(c.Field) + " of row " + IntToStr(c.Row + 1));
        Reopen();
        auto* field = static_cast<TBlobField*>(DS->FieldByName(c.Field));
        TRecordState edit(*DS, c.Row, dsEdit);
        std::unique_ptr<TStream> s = Open(field, bmWrite);
        TIBRVNativeBlobStream* native = DS->BlobStreams()->GetItemByField(field);
        EXPECT_EQ(s->GetSize(), 0);
        EXPECT_EQ(field->GetModified(), c.MarkedAtOnce);
        EXPECT_EQ(native->GetModified(), c.MarkedAtOnce);
        EXPECT_EQ(DS->GetModified(), c.MarkedAtOnce);
        s->WriteBuffer("w", 1);
        EXPECT_TRUE(field->GetModified());
        EXPECT_TRUE(native->GetModified());
        EXPECT_TRUE(DS->GetModified());
    }
}

TEST_F(BlobStreamTest, OnlyAChangeOfSizeMarksTheStreamTheFieldAndTheDataset) {
    TRecordState edit(*DS, 0, dsEdit);
    std::unique_ptr<TStream> s = Open(Blob, bmReadWrite);
    TIBRVNativeBlobStream* native = DS->BlobStreams()->GetItemByField(Blob);
    s->SetSize(5);
    EXPECT_FALSE(native->GetModified());
    EXPECT_FALSE(Blob->GetModified());
    EXPECT_FALSE(DS->GetModified());
    s->SetSize(3);
    EXPECT_TRUE(native->GetModified());
    EXPECT_TRUE(Blob->GetModified());
    EXPECT_TRUE(DS->GetModified());
    EXPECT_TRUE(native->GetSizeGuard()); // on again for the next load
    EXPECT_EQ(ReadAll(Blob), "byt");
}

TEST_F(BlobStreamTest, StreamsOfOneFieldShareContentsAndPosition) {
    TRecordState edit(*DS, 0, dsEdit);
    std::unique_ptr<TStream> a = Open(Blob, bmReadWrite);
    TIBRVNativeBlobStream* native = DS->BlobStreams()->GetItemByField(Blob);
    std::unique_ptr<TStream> b = Open(Blob, bmRead);
    EXPECT_EQ(DS->BlobStreams()->GetCount(), 1);
    EXPECT_EQ(DS->BlobStreams()->GetItemByField(Blob), native); // loaded once, kept for the row
    char c = 0;
    a->ReadBuffer(&c, 1);
    EXPECT_EQ(b->GetPosition(), 1); // one position for all
    a->Seek(0, soEnd);
    a->WriteBuffer("!", 1);
    EXPECT_EQ(ReadAll(Blob), "bytes!");
    std::unique_ptr<TStream> w = Open(Blob, bmWrite); // empties what all of them see
    EXPECT_EQ(b->GetSize(), 0);
    EXPECT_EQ(a->Read(&c, 1), 0);
}

TEST_F(BlobStreamTest, AStreamWhoseNativeStreamWasDroppedRaisesCode31) {
    std::unique_ptr<TStream> old;
    {
        TRecordState edit(*DS, 0, dsEdit);
        old = Open(Blob, bmReadWrite);
        DS->BlobStreams()->Clear(); // a scroll
        char c;
        EXPECT_RV_ERROR(old->Read(&c, 1), rveInvalidBlobStreamHandle);
        // The field's stream on the next row is not the old stream's.
        ASSERT_TRUE(DS->FetchRow(DS->ActiveBuffer(), 1));
        std::unique_ptr<TStream> now = Open(Blob, bmRead);
        EXPECT_RV_ERROR(old->Write("x", 1), rveInvalidBlobStreamHandle);
        EXPECT_RV_ERROR(old->Seek(0, soBeginning), rveInvalidBlobStreamHandle);
        EXPECT_EQ(now->GetSize(), 0); // a null blob reads nothing
    }
    // A field of no dataset of this kind.
    TBlobField loose(nullptr);
    loose.SetFieldName("LOOSE");
    try {
        TIBRVBlobStream s(&loose, bmRead);
        ADD_FAILURE() << "no error";
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveNoRowvaneField);
        EXPECT_EQ(e.Message(), "Field \"LOOSE\" is not linked to an IBRowvaneKV dataset");
    }
}

TEST_F(BlobStreamTest, AfterCloseRemainingStreamsRaiseCode31) {
    // Persistent fields (owned by the dataset) outlive the close, and so can a stream over them.
    Use("SELECT ID, C_BLOB FROM TYPES ORDER BY ID");
    auto* id = new TIntegerField(DS.get());
    id->SetFieldName("ID");
    id->SetDataSet(DS.get());
    auto* blob = new TBlobField(DS.get());
    blob->SetFieldName("C_BLOB");
    blob->SetDataSet(DS.get());
    DS->Open();
    std::unique_ptr<TStream> s;
    {
        TRecordState edit(*DS, 0, dsEdit);
        s.reset(DS->CreateBlobStream(blob, bmRead));
    }
    DS->Close();
    char c;
    EXPECT_RV_ERROR(s->Read(&c, 1), rveInvalidBlobStreamHandle);
    EXPECT_RV_ERROR(DS->CreateBlobStream(blob, bmRead), rveInvalidBlobStreamHandle);
}

TEST_F(BlobStreamTest, OnlyAStreamThatChangedTheFieldTellsAboutItWhenDestroyed) {
    TRecordState edit(*DS, 0, dsEdit);
    int changes = 0;
    Blob->OnChange = [&](TField*) { ++changes; };
    Open(Blob, bmRead).reset();
    EXPECT_EQ(changes, 0);
    std::unique_ptr<TStream> s = Open(Blob, bmReadWrite);
    s->Seek(0, soEnd);
    s->WriteBuffer("1", 1);
    s->WriteBuffer("2", 1);
    EXPECT_EQ(changes, 0);
    s.reset();
    EXPECT_EQ(changes, 1);
    // Once modified, the field opens for writing only while it can be changed.
    Blob->SetReadOnly(true);
    EXPECT_RV_ERROR(Open(Blob, bmReadWrite), rveFieldCannotModify);
    EXPECT_EQ(ReadAll(Blob), "bytes12");
}

// ---------------------------------------------------------------------------
// Through the dataset's own editing: edit, write, post, read back; cancel.

class BlobEditingTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        Use("SELECT ID, C_BLOB FROM TYPES ORDER BY ID");
        DS->SetKeyColumns("ID");
        DS->Open();
        Blob = static_cast<TBlobField*>(DS->FieldByName("C_BLOB"));
    }
    AnsiString Stored(int RowId) {
        TIBSQL* q = NewSQL("SELECT C_BLOB FROM TYPES WHERE ID = " + IntToStr(RowId));
        q->ExecQuery();
        AnsiString value = q->GetFields(0)->GetIsNull() ? AnsiString("NULL") : q->GetFields(0)->GetAsString();
        q->Close();
        return value;
    }

    TBlobField* Blob = nullptr;
};

TEST_F(BlobEditingTest, EditWritePostReadBackAndCancelEverySize) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{10} << 20}) {
        SCOPED_TRACE(IntToStr(static_cast<Int64>(size)));
        AnsiString contents = Pattern(size);
        DS->First();
        DS->Edit();
        Blob->SetAsString(contents);
        DS->Post();
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 1);
        EXPECT_EQ(Blob->GetAsString(), contents);
        EXPECT_EQ(Stored(1), size == 0 ? AnsiString("NULL") : contents);
        DS->Close();
        DS->Open();
        Blob = static_cast<TBlobField*>(DS->FieldByName("C_BLOB")); // the default fields are new
        EXPECT_EQ(Blob->GetAsString(), contents);
        // Written over and cancelled: the stored contents come back.
        DS->Edit();
        Blob->SetAsString(Pattern(size + 1) + "x");
        DS->Cancel();
        EXPECT_EQ(Blob->GetAsString(), contents);
        EXPECT_EQ(Stored(1), size == 0 ? AnsiString("NULL") : contents);
    }
}

TEST_F(BlobEditingTest, ACancelledEditOrInsertLeavesNothingForALaterPost) {
    DS->First();
    DS->Edit();
    Blob->SetAsString("0123456789");
    DS->Cancel();
    EXPECT_EQ(Blob->GetAsString(), "bytes");

    // An insert's contents must not reach the row that is current after its
    // cancel, even when that row's blob is null as the new record's was.
    DS->Next();
    ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), 2);
    DS->Insert();
    DS->FieldByName("ID")->SetAsInteger(3);
    Blob->SetAsString("inserted");
    DS->Cancel();
    ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), 2);
    DS->Edit();
    DS->Post();
    EXPECT_EQ(Stored(2), "NULL");
    EXPECT_TRUE(Blob->GetIsNull());
}

// A new record dropped because OnNewRecord failed goes the way of a cancel.
TEST_F(BlobEditingTest, ANewRecordDroppedByAFailingOnNewRecordLeavesNoContents) {
    DS->First();
    DS->Next();
    DS->OnNewRecord = [this](TDataSet*) {
        Blob->SetAsString("half-made");
        throw EDatabaseError("refused");
    };
    EXPECT_THROW(DS->Insert(), EDatabaseError);
    DS->OnNewRecord = nullptr;
    ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), 2);
    DS->Edit();
    DS->Post();
    EXPECT_EQ(Stored(2), "NULL");
}

// Both ways of reading the row again: the framework's refresh of the
// window and RefreshActiveRecord.
TEST_F(BlobEditingTest, ARefreshedRowShowsTheContentsNowStored) {
    TOtherUser other(*TestDb);
    DS->First();
    EXPECT_EQ(Blob->GetAsString(), "bytes"); // the row's native stream now holds it
    for (const char* contents : {"elsewhere", "again"}) {
        SCOPED_TRACE(contents);
        other.Run(AnsiString("UPDATE TYPES SET C_BLOB = '") + contents + "' WHERE ID = 1");
        Commit(); // a new transaction sees the other user's change
        Tr->StartTransaction();
        if (AnsiString(contents) == "elsewhere")
            DS->RefreshRows();
        else
            DS->RefreshActiveRecord();
        EXPECT_EQ(Blob->GetAsString(), contents);
        DS->Edit();
        DS->Post();
        EXPECT_EQ(Stored(1), contents);
        Commit(); // the other user may change the row again
        Tr->StartTransaction();
    }
}

// Re-reading the row while editing gives up what was written into its
// blobs: the post after it must not write them.
TEST_F(BlobEditingTest, RefreshWhileEditingDropsTheWrittenContents) {
    DS->First();
    DS->Edit();
    Blob->SetAsString("mine");
    DS->RefreshActiveRecord();
    EXPECT_EQ(Blob->GetAsString(), "bytes");
    DS->Post();
    EXPECT_EQ(Stored(1), "bytes");
}
