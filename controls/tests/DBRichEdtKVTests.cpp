// The data-aware rich-text editor over the dataset on the embedded engine:
// its contents saved into a memo blob and a binary blob as RTF or as plain
// text, read back after the dataset is closed and opened again.
#include "DBRichEdtKV.h"
#include "EditingFixture.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QtTest/QTest>

namespace {

// A blob stream whose every transfer fails, as over a broken connection.
class TBrokenStream : public TStream {
public:
    int Read(void*, int) override { throw EStreamError("Verbindung verloren"); }
    int Write(const void*, int) override { throw EStreamError("Verbindung verloren"); }
    Int64 Seek(Int64, TSeekOrigin) override { return 0; }
    void SetSize(Int64) override {}
};

// The dataset handing out broken blob streams.
class TBrokenRowvane : public TTestRowvane {
public:
    using TTestRowvane::TTestRowvane;
    TStream* CreateBlobStream(TField*, TBlobStreamMode) override { return new TBrokenStream; }
};

// The editor with its inner rich edit in reach.
class TProbe : public TDBRichEdtKV {
public:
    using TDBRichEdtKV::EdtRich;
    using TDBRichEdtKV::TDBRichEdtKV;
};

class DBRichEdtKV : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        ExecSQL("CREATE TABLE NOTES (ID INTEGER NOT NULL PRIMARY KEY, BODY BLOB SUB_TYPE 1,"
                " DATA BLOB SUB_TYPE 0, TITLE VARCHAR(20))");
        Commit();
        ExecSQL("INSERT INTO NOTES (ID, TITLE) VALUES (1, 'eins')");
        Commit();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 500, 300);
        R = new TProbe(Form.get());
        R->SetParent(Form.get());
        R->SetBounds(10, 10, 460, 250);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Reopen();
    }
    void TearDown() override {
        Form.reset();
        RowvaneTest::TearDown();
    }
    // The dataset over NOTES, opened anew.
    void Reopen() {
        Commit();
        Use("SELECT * FROM NOTES");
        DS->SetKeyColumns("ID");
        DS->Open();
    }
    // The same, its blob streams broken.
    void ReopenBroken() {
        Commit();
        DS = std::make_unique<TBrokenRowvane>(nullptr);
        DS->SetDatabase(Db.get());
        DS->SetTransaction(Tr.get());
        DS->GetSelectSQL()->SetText("SELECT * FROM NOTES");
        DS->SetKeyColumns("ID");
        DS->Open();
    }
    TField* Field(const char* Name) { return DS->FieldByName(Name); }
    // Bold "Fett", then " und normal".
    void Write() {
        R->EdtRich->SetText("Fett und normal");
        R->EdtRich->SetSelStart(0);
        R->EdtRich->SetSelLength(4);
        R->EdtRich->GetSelAttributes()->SetStyle({fsBold});
    }
    bool BoldAt(int Pos) {
        R->EdtRich->SetSelStart(Pos);
        R->EdtRich->SetSelLength(1);
        return R->EdtRich->GetSelAttributes()->GetStyle().Contains(fsBold);
    }

    std::unique_ptr<TForm> Form;
    TProbe* R = nullptr;
};

TEST_F(DBRichEdtKV, SavedTextReadsBackTheSameAfterCloseAndReopen) {
    struct Case {
        const char* Column;
        bool PlainText;
    } cases[] = {{"BODY", false}, {"DATA", false}, {"BODY", true}, {"DATA", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Column) + (c.PlainText ? " plain" : " RTF"));
        R->SetPlainText(c.PlainText);
        Write();
        DS->Edit();
        R->SaveToDatabase(Field(c.Column));
        DS->Post();
        Reopen();
        AnsiString stored = Field(c.Column)->GetAsString();
        if (c.PlainText)
            EXPECT_EQ(stored, "Fett und normal");
        else
            EXPECT_EQ(stored.rfind("{\\rtf", 0), 0u) << stored;
        R->Clear();
        int changes = 0;
        R->SetOnChange([&changes](TObject*) { ++changes; });
        R->SetModified(true);
        R->LoadFromDatabase(Field(c.Column));
        EXPECT_EQ(changes, 0);
        EXPECT_FALSE(R->GetModified());
        EXPECT_EQ(R->EdtRich->GetText(), "Fett und normal");
        EXPECT_EQ(BoldAt(1), !c.PlainText);
        EXPECT_FALSE(BoldAt(6));
        // OnChange is the caller's again.
        R->EdtRich->SetText("x");
        EXPECT_EQ(changes, 1);
        R->SetOnChange(nullptr);
    }
}

TEST_F(DBRichEdtKV, ANullFieldEmptiesTheEditorAndItsUndoHistory) {
    R->EdtRich->SetFocus();
    QTest::keyClicks(R->EdtRich->GetWidget(), "getippt");
    ASSERT_NE(R->EdtRich->Perform(EM_CANUNDO), 0);
    R->LoadFromDatabase(Field("BODY"));
    EXPECT_EQ(R->EdtRich->GetText(), "");
    EXPECT_EQ(R->EdtRich->Perform(EM_CANUNDO), 0);
    EXPECT_FALSE(R->GetModified());
}

TEST_F(DBRichEdtKV, AnEmptyEditorStoresNull) {
    for (const char* column : {"BODY", "DATA"}) {
        SCOPED_TRACE(column);
        Write();
        DS->Edit();
        R->SaveToDatabase(Field(column));
        DS->Post();
        R->Clear();
        DS->Edit();
        R->SaveToDatabase(Field(column));
        DS->Post();
        Reopen();
        EXPECT_TRUE(Field(column)->GetIsNull());
    }
}

TEST_F(DBRichEdtKV, AFailedLoadKeepsTheEditorsOnChange) {
    // TITLE is no blob: the dataset refuses a blob stream for it.
    int changes = 0;
    R->SetOnChange([&changes](TObject*) { ++changes; });
    EXPECT_THROW(R->LoadFromDatabase(Field("TITLE")), EIBRVError);
    R->EdtRich->SetText("danach");
    EXPECT_EQ(changes, 1);
}

TEST_F(DBRichEdtKV, NoFieldRaisesAndChangesNothing) {
    int changes = 0;
    R->SetOnChange([&changes](TObject*) { ++changes; });
    for (const AnsiString& text : {AnsiString("im Editor"), AnsiString()}) {
        R->EdtRich->SetText(text);
        R->SetModified(true);
        changes = 0;
        EXPECT_THROW(R->LoadFromDatabase(nullptr), EInvalidOperation) << text;
        EXPECT_THROW(R->SaveToDatabase(nullptr), EInvalidOperation) << text;
        EXPECT_EQ(R->EdtRich->GetText(), text);
        EXPECT_TRUE(R->GetModified());
        EXPECT_EQ(changes, 0);
    }
}

TEST_F(DBRichEdtKV, BrokenStreamsRaiseTheirMessagesAndLoseNothing) {
    ExecSQL("UPDATE NOTES SET BODY = 'gespeichert' WHERE ID = 1");
    ReopenBroken();
    int changes = 0;
    R->SetOnChange([&changes](TObject*) { ++changes; });
    R->EdtRich->SetText("im Editor");
    changes = 0;
    R->SetModified(true);
    try {
        R->LoadFromDatabase(Field("BODY"));
        ADD_FAILURE() << "the load did not fail";
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.Message(), "Das Laden des Streams ist mißlungen");
    }
    EXPECT_EQ(R->EdtRich->GetText(), "im Editor");
    EXPECT_TRUE(R->GetModified());
    EXPECT_EQ(changes, 0);
    R->EdtRich->SetText("danach");
    EXPECT_EQ(changes, 1);

    DS->Edit();
    try {
        R->SaveToDatabase(Field("BODY"));
        ADD_FAILURE() << "the save did not fail";
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.Message(), "Das Speichern des Streams ist mißlungen");
    }
    DS->Cancel();
    EXPECT_EQ(R->EdtRich->GetText(), "danach");
}

} // namespace
