// The data-aware edit over the dataset on the embedded engine, driven as a
// user drives it: typing, pasting, leaving the control, posting.
#include "Clipbrd.h"
#include "DBEditKV.h"
#include "EditingFixture.h"
#include "IBFields.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QtTest/QTest>

namespace {

// The edit with the designer's state reachable.
class TTestDBEdit : public TDBEditKV {
public:
    using TDBEditKV::TDBEditKV;
    void Design(bool Value) { SetDesigning(Value); }
};

class DBEditKV : public EditingTest {
protected:
    void SetUp() override {
        EditingTest::SetUp();
        ExecSQL("CREATE TABLE NOTES (ID INTEGER NOT NULL PRIMARY KEY, TITLE VARCHAR(20),"
                " BODY BLOB SUB_TYPE 1, DATA BLOB SUB_TYPE 0)");
        Commit();
        ExecSQL("INSERT INTO NOTES VALUES (1, 'three', 'one' || ASCII_CHAR(13) || ASCII_CHAR(10) || 'two'"
                " || ASCII_CHAR(13) || ASCII_CHAR(10) || 'three', 'bytes')");
        ExecSQL("INSERT INTO NOTES (ID) VALUES (2)");
        Commit();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 400, 300);
        E = new TTestDBEdit(Form.get());
        E->SetParent(Form.get());
        E->SetBounds(10, 10, 200, 60);
        Other = new TEdit(Form.get());
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Other->SetFocus(); // the edit is entered from elsewhere, as by Tab
        SetBeepHook([this](unsigned) { ++Beeps; });
    }
    void TearDown() override {
        SetBeepHook(nullptr);
        Form.reset();
        EditingTest::TearDown();
    }
    // The demonstration program's dataset over ITEM, the edit on Field.
    void Bind(const AnsiString& Field) {
        OpenItems();
        E->SetDataSource(Source.get());
        E->SetDataField(Field);
    }
    // The dataset over NOTES, the edit on Field.
    void BindNotes(const AnsiString& Field) {
        Use("SELECT * FROM NOTES");
        DS->SetKeyColumns("ID");
        DS->GetOrderItems()->SetText("1;ID");
        DS->SetOrderItemId(1);
        Source->SetDataSet(DS.get());
        DS->Open();
        E->SetDataSource(Source.get());
        E->SetDataField(Field);
    }
    void Type(const char* Keys) {
        E->SetFocus();
        QTest::keyClicks(E->GetHandle(), Keys);
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(E->GetHandle(), K, M); }
    AnsiString StoredNote(const AnsiString& Column, int Id) {
        return OtherUser().Value("SELECT " + Column + " FROM NOTES WHERE ID = " + IntToStr(Id));
    }

    std::unique_ptr<TForm> Form;
    TTestDBEdit* E = nullptr;
    TEdit* Other = nullptr;
    int Beeps = 0;
};

TEST_F(DBEditKV, StartsReadOnlyWithBothDefaultsAndAnswersTheLinkQuery) {
    EXPECT_TRUE(E->GetDefaultAlignment());
    EXPECT_TRUE(E->GetDefaultMaxLength());
    EXPECT_FALSE(E->GetReadOnly());
    EXPECT_TRUE(E->TCustomEdit::GetReadOnly()); // the window, until the link edits
    EXPECT_TRUE(E->ControlStyle.Contains(csReplicatable));
    EXPECT_EQ(E->GetField(), nullptr);
    auto* link = reinterpret_cast<TDataLink*>(E->Perform(CM_GETDATALINK));
    ASSERT_NE(link, nullptr);
    Bind("DESCRIPTION");
    EXPECT_EQ(link->GetDataSource(), Source.get());
    EXPECT_EQ(E->GetField(), DS->FieldByName("DESCRIPTION"));
}

TEST_F(DBEditKV, MaximumLengthAndAlignmentComeFromTheField) {
    Bind("DESCRIPTION");
    struct Case {
        const char* Field;
        int MaxLength;
        TAlignment Alignment;
        const char* Text;
    } cases[] = {
        {"DESCRIPTION", 30, taLeftJustify, "Apple"},
        {"ID", 0, taRightJustify, "1"},
        {"QUANTITY", 0, taRightJustify, "1.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Field);
        E->SetDataField(c.Field);
        EXPECT_EQ(E->GetMaxLength(), c.MaxLength);
        EXPECT_EQ(E->GetAlignment(), c.Alignment);
        EXPECT_EQ(E->GetText(), c.Text);
    }
    // Switched off, both keep what they have; on again, they follow the field.
    E->SetDataField("DESCRIPTION");
    E->SetDefaultMaxLength(false);
    E->SetDefaultAlignment(false);
    E->SetDataField("ID");
    EXPECT_EQ(E->GetMaxLength(), 30);
    EXPECT_EQ(E->GetAlignment(), taLeftJustify);
    E->SetDefaultMaxLength(true);
    EXPECT_EQ(E->GetMaxLength(), 0);
    E->SetDefaultAlignment(true);
    EXPECT_EQ(E->GetAlignment(), taRightJustify);
    EXPECT_EQ(E->GetText(), "1");
}

TEST_F(DBEditKV, AFocusedEditShowsTheEditTextAndAnUnfocusedOneTheDisplayText) {
    Bind("PRICE");
    auto* price = static_cast<TNumericField*>(DS->FieldByName("PRICE"));
    price->SetDisplayFormat("#,##0.00 EUR");
    price->SetEditFormat("0.##");
    DS->Next();
    DS->Next(); // 3, price 1.00
    EXPECT_EQ(E->GetText(), "1.00 EUR");
    E->SetFocus();
    DS->Prior(); // 2, price NULL
    DS->Next();
    EXPECT_EQ(E->GetText(), "1");
    // Read-only, the focused edit shows what the field displays.
    E->SetReadOnly(true);
    DS->Prior();
    DS->Next();
    EXPECT_EQ(E->GetText(), "1.00 EUR");
}

TEST_F(DBEditKV, WithoutAFieldTheEditShowsItsNameOnlyInTheDesigner) {
    E->SetName("EdtPrice");
    E->SetMaxLength(7);
    E->SetAlignment(taCenter);
    E->DataChange(nullptr);
    EXPECT_EQ(E->GetText(), "");
    EXPECT_EQ(E->GetMaxLength(), 0);
    EXPECT_EQ(E->GetAlignment(), taLeftJustify);
    E->Design(true);
    E->DataChange(nullptr);
    EXPECT_EQ(E->GetText(), "EdtPrice");
    E->Design(false);
    // Closing the dataset unbinds the field: the text goes.
    Bind("DESCRIPTION");
    EXPECT_EQ(E->GetText(), "Apple");
    DS->Close();
    EXPECT_EQ(E->GetText(), "");
}

TEST_F(DBEditKV, TypingEditsTheRowAndThePostWritesTheText) {
    Bind("DESCRIPTION");
    EXPECT_EQ(DS->GetState(), dsBrowse);
    Type("Kiwi"); // entering selects all, so the first key replaces the text
    EXPECT_EQ(DS->GetState(), dsEdit);
    EXPECT_FALSE(E->TCustomEdit::GetReadOnly());
    EXPECT_EQ(E->GetText(), "Kiwi");
    DS->Post();
    EXPECT_TRUE(E->TCustomEdit::GetReadOnly());
    Commit();
    EXPECT_EQ(Stored("DESCRIPTION", 1), "Kiwi");
    EXPECT_EQ(E->GetText(), "Kiwi");
    EXPECT_EQ(Beeps, 0);
}

TEST_F(DBEditKV, CharactersTheFieldRefusesBeepAndLeaveTheRowAlone) {
    Bind("QUANTITY");
    Type("x");
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(E->GetText(), "1.5");
    // A letter beyond ASCII is refused the same way.
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("ä"));
    QApplication::sendEvent(E->GetHandle(), &umlaut);
    EXPECT_EQ(Beeps, 2);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    Type("7");
    EXPECT_EQ(DS->GetState(), dsEdit);
    EXPECT_EQ(E->GetText(), "7");
    DS->Cancel();
    EXPECT_EQ(E->GetText(), "1.5");
    // A string field takes the umlaut, and it starts the edit.
    E->SetDataField("DESCRIPTION");
    E->SelectAll();
    QApplication::sendEvent(E->GetHandle(), &umlaut);
    EXPECT_EQ(DS->GetState(), dsEdit);
    EXPECT_EQ(E->GetText(), "ä");
    EXPECT_EQ(Beeps, 2);
}

TEST_F(DBEditKV, DeleteShiftInsertCutAndBackspaceStartTheEdit) {
    struct Case {
        const char* Name;
        std::function<void()> Act;
        const char* Text;
    } cases[] = {
        {"Delete", [this] { Key(Qt::Key_Delete); }, ""},
        {"Shift+Insert", [this] { Key(Qt::Key_Insert, Qt::ShiftModifier); }, "pasted"},
        {"Ctrl+X", [this] { Key(Qt::Key_X, Qt::ControlModifier); }, ""},
        {"Backspace", [this] { Key(Qt::Key_Backspace); }, ""},
        {"paste by code", [this] { E->PasteFromClipboard(); }, "pasted"},
    };
    Bind("DESCRIPTION");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Clipboard().SetAsText("pasted");
        E->SetFocus();
        E->SelectAll();
        c.Act();
        EXPECT_EQ(DS->GetState(), dsEdit);
        EXPECT_EQ(E->GetText(), c.Text);
        DS->Cancel();
        EXPECT_EQ(E->GetText(), "Apple");
    }
    // With ReadOnly on, none of them changes anything.
    E->SetReadOnly(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        E->SetFocus();
        E->SelectAll();
        c.Act();
        Type("z");
        EXPECT_EQ(DS->GetState(), dsBrowse);
        EXPECT_EQ(E->GetText(), "Apple");
    }
}

TEST_F(DBEditKV, LeavingWithATextTheFieldRefusesKeepsTheFocusAndSelectsTheText) {
    Bind("QUANTITY");
    ExceptionCatcher errors;
    Clipboard().SetAsText("1,5x");
    E->SetFocus();
    E->SelectAll();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(DS->GetState(), dsEdit);
    EXPECT_EQ(E->GetText(), "1,5x");
    Other->SetFocus();
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_THAT(errors.Messages[0], testing::HasSubstr("1,5x"));
    EXPECT_TRUE(E->Focused());
    EXPECT_EQ(E->GetSelStart(), 0);
    EXPECT_EQ(E->GetSelLength(), 4);
    EXPECT_EQ(DS->GetState(), dsEdit);
    // Corrected, the text goes into the field when the control is left.
    Type("2.25");
    Other->SetFocus();
    EXPECT_EQ(errors.Messages.size(), 1u);
    EXPECT_FALSE(E->Focused());
    EXPECT_EQ(DS->FieldByName("QUANTITY")->GetAsString(), "2.25");
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("QUANTITY", 1), "2.25");
}

TEST_F(DBEditKV, ARowChangedElsewhereFailsThePostAndTheTextStays) {
    struct Case {
        const char* Name;
        const char* Elsewhere;
        bool Commit; // else the other user holds the row
    } cases[] = {
        {"held by another user", "UPDATE ITEM SET DESCRIPTION = 'Theirs' WHERE ID = 1", false},
        {"re-keyed by another user", "UPDATE ITEM SET ID = 10 WHERE ID = 1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Bind("DESCRIPTION");
        Other->SetFocus();
        Type("Mine");
        if (c.Commit)
            OtherUser().Run(c.Elsewhere);
        else
            OtherUser().Exec(c.Elsewhere);
        try {
            DS->Post();
            ADD_FAILURE() << "the post went through";
        } catch (const EIBRVError& e) {
            EXPECT_TRUE(c.Commit) << e.Message();
            EXPECT_EQ(e.ErrorCode, rveRecordNotFound);
        } catch (const EIBError& e) {
            EXPECT_FALSE(c.Commit) << e.Message();
            EXPECT_THAT(e.Message(), testing::HasSubstr("conflict"));
        }
        EXPECT_EQ(DS->GetState(), dsEdit);
        EXPECT_EQ(E->GetText(), "Mine");
        EXPECT_FALSE(E->TCustomEdit::GetReadOnly());
        DS->Cancel();
        DS->Close();
        if (c.Commit)
            OtherUser().Run("UPDATE ITEM SET ID = 1 WHERE ID = 10");
        else
            OtherUser().Rollback();
    }
    EXPECT_EQ(Stored("DESCRIPTION", 1), "Apple");
}

TEST_F(DBEditKV, SwitchingDefaultAlignmentOnShowsTheFieldsTextAndWritesNothingTyped) {
    Bind("QUANTITY");
    E->SetDefaultAlignment(false);
    E->SetAlignment(taLeftJustify);
    Type("7");
    EXPECT_EQ(DS->GetState(), dsEdit);
    E->SetDefaultAlignment(true);
    EXPECT_EQ(E->GetAlignment(), taRightJustify);
    EXPECT_EQ(E->GetText(), "1.5");
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("QUANTITY", 1), "1.50");
}

TEST_F(DBEditKV, BlobFieldsShowTheirLinesAndKeepTheLastMaximumLength) {
    BindNotes("TITLE");
    ASSERT_NE(E->GetField(), nullptr);
    EXPECT_EQ(E->GetText(), "three");
    EXPECT_EQ(E->GetMaxLength(), 20);
    E->SetDataField("BODY");
    EXPECT_EQ(E->GetLines()->Count(), 3);
    EXPECT_EQ(E->GetLines()->Get(2), "three");
    EXPECT_EQ(E->GetMaxLength(), 20);
    E->SetDataField("DATA");
    EXPECT_EQ(E->GetText(), "bytes");
    // An empty blob row shows nothing.
    DS->Next();
    EXPECT_EQ(E->GetText(), "");
    DS->Prior();
    // A memo typed into reaches the database at the post.
    E->SetDataField("BODY");
    E->SetFocus();
    E->SelectAll();
    QTest::keyClicks(E->GetHandle(), "first");
    Key(Qt::Key_Return);
    QTest::keyClicks(E->GetHandle(), "second");
    DS->Post();
    Commit();
    EXPECT_EQ(StoredNote("BODY", 1), "first\r\nsecond");
}

// The edit never takes a text its field refuses: where the column counts
// bytes (character set NONE) it stops at the byte limit, typed or pasted;
// where it counts characters (UTF8) at the character limit.
TEST_F(DBEditKV, TypingAndPastingStopAtTheFieldsLimitInItsOwnUnit) {
    auto typeUmlauts = [this](int Count) {
        for (int i = 0; i < Count; ++i) {
            QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("ä"));
            QApplication::sendEvent(E->GetHandle(), &umlaut);
        }
    };
    auto umlauts = [](int Count) {
        AnsiString s;
        for (int i = 0; i < Count; ++i)
            s += "ä";
        return s;
    };
    Bind("DESCRIPTION"); // VARCHAR(30), character set NONE: 30 bytes
    EXPECT_EQ(E->GetMaxLength(), 30);
    E->SetFocus();
    E->SelectAll();
    typeUmlauts(16);
    EXPECT_EQ(E->GetText(), umlauts(15));
    EXPECT_EQ(Beeps, 1);
    Type("x");
    EXPECT_EQ(Beeps, 2);
    Key(Qt::Key_Backspace);
    Type("x"); // one byte fits where an umlaut went
    EXPECT_EQ(E->GetText(), umlauts(14) + "x");
    Other->SetFocus();
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("DESCRIPTION", 1), umlauts(14) + "x");
    Tr->StartTransaction();
    // Pasted, the text is cut at the last whole character within the limit.
    Clipboard().SetAsText("Käse-Würfel für Schüler 30 Zch"); // 30 characters, 34 bytes
    E->SetFocus();
    E->SelectAll();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(E->GetText(), "Käse-Würfel für Schüler 30");
    Other->SetFocus();
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("DESCRIPTION", 1), "Käse-Würfel für Schüler 30");
    EXPECT_EQ(Beeps, 2);

    E->SetDataSource(nullptr);
    DS->Close();
    ExecSQL("CREATE TABLE WORDS (ID INTEGER NOT NULL PRIMARY KEY, WORD VARCHAR(20) CHARACTER SET UTF8)");
    Commit();
    ExecSQL("INSERT INTO WORDS VALUES (1, 'x')");
    Commit();
    Use("SELECT * FROM WORDS");
    DS->SetKeyColumns("ID");
    Source->SetDataSet(DS.get());
    DS->Open();
    E->SetDataField("WORD"); // 20 characters of UTF-8
    E->SetDataSource(Source.get());
    E->SetFocus();
    E->SelectAll();
    typeUmlauts(21);
    EXPECT_EQ(E->GetText(), umlauts(20));
    EXPECT_EQ(Beeps, 2); // the edit's own MaxLength: a full window takes no more, quietly
    // An emoji is one of the 20 characters (two UTF-16 units): typed,
    // composed or pasted, it goes in whole or not at all.
    Key(Qt::Key_Backspace);
    TypeKeys(E->GetHandle(), "😀😀");
    EXPECT_EQ(E->GetText(), umlauts(19) + "😀");
    for (TTextWay way : {TTextWay::Composed, TTextWay::CtrlV}) {
        E->SelectAll();
        EnterText(E, way, (umlauts(18) + "😀😀😀").c_str());
        EXPECT_EQ(E->GetText(), umlauts(18) + "😀😀");
    }
    EXPECT_EQ(Beeps, 2);
    Other->SetFocus();
    DS->Post();
    Commit();
    EXPECT_EQ(
        OtherUser().Value("SELECT CAST(WORD AS VARCHAR(20) CHARACTER SET UTF8) FROM WORDS WHERE ID = 1"),
        umlauts(18) + "😀😀");
}

TEST_F(DBEditKV, RemovingTheDataSourceComponentUnbindsTheEdit) {
    Bind("DESCRIPTION");
    auto* owned = new TDataSource(Form.get());
    owned->SetDataSet(DS.get());
    E->SetDataSource(owned);
    EXPECT_EQ(E->GetText(), "Apple");
    delete owned;
    EXPECT_EQ(E->GetDataSource(), nullptr);
    EXPECT_EQ(E->GetField(), nullptr);
    EXPECT_EQ(E->GetText(), "");
}

} // namespace
