// The main window: its form, start-up state, settings, sample database,
// opening and closing, errors, and shutting down.
#include "CaptionFit.h"
#include "Frm_dbsettings.h"
#include "MainWindowFixture.h"
#include "Unt_settings.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest/QTest>

#include <filesystem>

namespace {

using IBTest::ServerUnavailableReason;
using IBTest::TRoute;
using IBTest::TTestDatabase;

// The seven controls that work only while the database is open.
std::vector<TControl*> OpenOnly(TFrmMain& W) {
    return {W.EdtSearch,     W.BtnGetBM,  W.BtnGotoBM,  W.BtnRefreshActive,
            W.BtnRefreshAll, W.BtnCommit, W.BtnRollback};
}
std::vector<TSpeedButton*> SortButtons(TFrmMain& W) {
    return {W.BtnSortIdAsc, W.BtnSortIdDesc, W.BtnSortDescrAsc, W.BtnSortDescrDesc};
}

// The buttons and the search box as the closed or the open state shows them.
void ExpectState(TFrmMain& W, bool Open) {
    EXPECT_EQ(W.BtnOpenClose->GetCaption(), Open ? "Close" : "Open");
    EXPECT_EQ(W.BtnSettings->GetEnabled(), !Open);
    EXPECT_EQ(W.BtnCreateDb->GetEnabled(), !Open);
    for (TControl* c : OpenOnly(W))
        EXPECT_EQ(c->GetEnabled(), Open) << c->GetName();
    // The filter and sort buttons work in both states.
    EXPECT_TRUE(W.BtnClientFilter->GetEnabled());
    EXPECT_TRUE(W.BtnServerFilter->GetEnabled());
    for (TSpeedButton* b : SortButtons(W))
        EXPECT_TRUE(b->GetEnabled()) << b->GetName();
    EXPECT_EQ(W.DataSet->GetActive(), Open);
}

TEST_F(MainWindowTest, StartsClosedWithTheComponentsSetUp) {
    TFrmMain& w = *Win;
    ExpectState(w, false);
    EXPECT_FALSE(w.Db->GetConnected());
    EXPECT_EQ(w.GetHeldBookmark(), nullptr);
    EXPECT_TRUE(w.BtnSortIdAsc->GetDown());
    EXPECT_EQ(w.EdtSearch->GetText(), "");
    ASSERT_NE(Settings, nullptr);
    EXPECT_EQ(Settings->GetIniFileName(), Program.IniFile());

    EXPECT_EQ(w.Db->GetSQLDialect(), 3);
    EXPECT_FALSE(w.Db->GetLoginPrompt());
    EXPECT_FALSE(w.Db->GetAllowStreamedConnected());
    EXPECT_EQ(w.Db->GetIdleTimer(), 0);
    EXPECT_EQ(w.Db->GetDefaultTransaction(), w.Tr);
    EXPECT_FALSE(w.Tr->GetActive());
    EXPECT_EQ(w.Tr->GetDefaultDatabase(), w.Db);
    EXPECT_EQ(w.Tr->GetDefaultAction(), TARollback);
    EXPECT_EQ(w.Tr->GetAutoStopAction(), saNone);
    EXPECT_EQ(w.Tr->GetParams()->GetText(), "read_committed\r\nnowait\r\n");
    EXPECT_EQ(w.DataSrc->GetDataSet(), w.DataSet);
    EXPECT_EQ(w.IBSQL->GetDatabase(), w.Db);
    EXPECT_EQ(w.IBSQL->GetTransaction(), w.Tr);
    EXPECT_TRUE(w.IBSQL->GetParamCheck());
    EXPECT_EQ(w.DbGrid->GetDataSource(), w.DataSrc);
    EXPECT_EQ(w.Nav->GetDataSource(), w.DataSrc);

    TIBRowvaneKV& ds = *w.DataSet;
    EXPECT_EQ(ds.GetDatabase(), w.Db);
    EXPECT_EQ(ds.GetTransaction(), w.Tr);
    EXPECT_EQ(ds.GetSelectSQL()->GetText(), "SELECT * FROM ITEM\r\n");
    EXPECT_EQ(ds.GetKeyColumns(), "ID");
    EXPECT_EQ(ds.GetOrderItems()->GetText(), "1;ID\r\n2;DESCRIPTION\r\n");
    EXPECT_EQ(ds.GetOrderItemId(), 1);
    EXPECT_TRUE(ds.GetPessimisticLocking());
    EXPECT_TRUE(ds.GetRefreshBeforeEdit());
    EXPECT_EQ(ds.GetGeneratorFields()->GetText(), "ID;GEN_ITEM_ID;1\r\n");
    EXPECT_EQ(GetMethodRef(ds.OnCalcFields).Name, "DataSetCalcFields");
    EXPECT_EQ(GetMethodRef(ds.GetOnFilterRecord()).Name, "DataSetFilterRecord");
    EXPECT_FALSE(ds.GetFiltered());

    // The persistent fields, in order, with their settings.
    ASSERT_EQ(ds.GetFieldCount(), 5);
    const TField* fields[] = {w.DataSetID, w.DataSetDESCRIPTION, w.DataSetQUANTITY, w.DataSetPRICE,
                              w.DataSetSUM};
    const char* names[] = {"ID", "DESCRIPTION", "QUANTITY", "PRICE", "SUM"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ds.GetFields()->GetField(i), fields[i]) << i;
        EXPECT_EQ(ds.GetFields()->GetField(i)->GetFieldName(), names[i]);
        EXPECT_EQ(ds.GetFields()->GetField(i)->GetOwner(), &w);
    }
    EXPECT_TRUE(w.DataSetID->GetRequired());
    EXPECT_TRUE(w.DataSetDESCRIPTION->GetRequired());
    EXPECT_EQ(w.DataSetDESCRIPTION->GetSize(), 30);
    for (TIBBCDField* f : {w.DataSetQUANTITY, w.DataSetPRICE}) {
        EXPECT_FALSE(f->GetRequired());
        EXPECT_EQ(f->GetPrecision(), 10);
        EXPECT_EQ(f->GetSize(), 2);
    }
    EXPECT_EQ(w.DataSetSUM->GetFieldKind(), fkCalculated);
    EXPECT_EQ(dynamic_cast<TIBBCDField*>(w.DataSetSUM), nullptr); // the framework's own BCD field

    // The application's hints wrap at 180 pixels.
    ASSERT_TRUE(Application->OnShowHint);
    AnsiString hint = "a hint";
    bool show = true;
    THintInfo info;
    info.HintMaxWidth = 1000;
    Application->OnShowHint(hint, show, info);
    EXPECT_EQ(info.HintMaxWidth, 180);
    EXPECT_TRUE(show);
    EXPECT_EQ(hint, "a hint");
}

TEST_F(MainWindowTest, TheFormHasTheLayoutOfItsDescription) {
    TFrmMain& w = *Win;
    EXPECT_EQ(w.GetCaption(), "IBRowvane Demo");
    EXPECT_EQ(w.GetWidth(), 619);
    EXPECT_EQ(w.GetHeight(), 431);
    EXPECT_EQ(w.GetConstraints()->GetMinWidth(), 619);
    EXPECT_EQ(w.GetConstraints()->GetMinHeight(), 431);
    EXPECT_EQ(w.GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(w.GetFont()->GetHeight(), -11);
    EXPECT_EQ(w.PnlMain->GetAlign(), alClient);
    EXPECT_EQ(w.PnlMain->GetBevelInner(), bvLowered);
    EXPECT_EQ(w.PnlMain->GetBevelOuter(), bvNone);
    EXPECT_EQ(w.DbGrid->GetAlign(), alClient);
    // The grid shows all the sample rows at once, and one more.
    EXPECT_GE(w.DbGrid->GetVisibleRowCount(), static_cast<int>(SampleRows.size()) + 1);

    const TAnchors all{akLeft, akTop, akRight, akBottom};
    struct Panel {
        TControl* Inside;
        QRect Bounds;
        TAnchors Anchors;
    };
    const Panel panels[] = {
        {w.DbGrid, QRect(1, 1, 494, 308), all},
        {w.BtnGetBM, QRect(495, 1, 115, 77), {akTop, akRight}},
        {w.BtnRefreshActive, QRect(495, 78, 115, 77), {akTop, akRight}},
        {w.BtnCommit, QRect(495, 155, 115, 77), {akTop, akRight}},
        {w.BtnClientFilter, QRect(495, 232, 115, 77), {akTop, akRight}},
        {w.Nav, QRect(1, 309, 312, 46), {akLeft, akBottom}},
        {w.BtnSortIdAsc, QRect(313, 309, 297, 46), {akLeft, akRight, akBottom}},
        {w.BtnSettings, QRect(1, 355, 312, 48), {akLeft, akBottom}},
        {w.EdtSearch, QRect(313, 355, 297, 48), {akLeft, akRight, akBottom}},
    };
    for (const Panel& p : panels) {
        TWinControl* panel = p.Inside->GetParent();
        ASSERT_NE(dynamic_cast<TPanel*>(panel), nullptr) << p.Inside->GetName();
        EXPECT_EQ(panel->GetParent(), w.PnlMain) << p.Inside->GetName();
        EXPECT_EQ(panel->GetBoundsRect(), p.Bounds) << p.Inside->GetName();
        EXPECT_EQ(panel->GetAnchors(), p.Anchors) << p.Inside->GetName();
        EXPECT_EQ(static_cast<TPanel*>(panel)->GetBevelOuter(), bvNone) << p.Inside->GetName();
    }
    // The empty panel that fills the right column as the form grows.
    bool filler = false;
    for (int i = 0; i < w.PnlMain->GetControlCount(); ++i) {
        auto* c = dynamic_cast<TPanel*>(w.PnlMain->GetControl(i));
        if (c && c->GetBoundsRect() == QRect(495, 309, 115, 0)) {
            filler = true;
            EXPECT_EQ(c->GetControlCount(), 0);
            EXPECT_EQ(c->GetAnchors(), (TAnchors{akTop, akRight, akBottom}));
        }
    }
    EXPECT_TRUE(filler);

    struct Place {
        TControl* Control;
        QRect Bounds;
        const char* Caption;
    };
    const Place places[] = {
        {w.BtnGetBM, QRect(13, 9, 89, 27), "Get Bookmark"},
        {w.BtnGotoBM, QRect(13, 41, 89, 27), "Goto Bookmark"},
        {w.BtnRefreshActive, QRect(13, 9, 89, 27), "Refresh Active"},
        {w.BtnRefreshAll, QRect(13, 41, 89, 27), "Refresh All"},
        {w.BtnCommit, QRect(13, 9, 89, 27), "Commit + Start"},
        {w.BtnRollback, QRect(13, 41, 89, 27), "Rollback + Start"},
        {w.BtnClientFilter, QRect(13, 9, 89, 27), "Client Filter"},
        {w.BtnServerFilter, QRect(13, 41, 89, 27), "Server Filter"},
        {w.Nav, QRect(10, 10, 290, 27), ""},
        {w.BtnSortIdAsc, QRect(10, 11, 62, 27), "ID"},
        {w.BtnSortIdDesc, QRect(81, 11, 62, 27), "ID"},
        {w.BtnSortDescrAsc, QRect(151, 11, 62, 27), "Descr."},
        {w.BtnSortDescrDesc, QRect(222, 11, 62, 27), "Descr."},
        {w.BtnSettings, QRect(10, 11, 89, 27), "DB Settings"},
        {w.BtnCreateDb, QRect(111, 11, 89, 27), "Create DB"},
        {w.BtnOpenClose, QRect(211, 11, 89, 27), "Open"},
        {w.TxtSearch, QRect(12, 16, 42, 17), "&Search :"},
        {w.EdtSearch, QRect(56, 14, 228, 21), ""},
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.Control->GetBoundsRect(), p.Bounds) << p.Control->GetName();
        EXPECT_EQ(p.Control->GetCaption(), p.Caption) << p.Control->GetName();
    }
    EXPECT_EQ(w.EdtSearch->GetAnchors(), (TAnchors{akLeft, akTop, akRight}));
    EXPECT_EQ(w.TxtSearch->GetFocusControl(), w.EdtSearch);
    EXPECT_EQ(w.TxtSearch->GetParent(), w.EdtSearch->GetParent());
    EXPECT_EQ(GetMethodRef(w.EdtSearch->OnChange).Name, "EdtSearchChange");
    EXPECT_EQ(GetMethodRef(w.EdtSearch->OnExit).Name, "EdtSearchExit");

    // Each button to its handler; the four sort buttons share one.
    struct Handler {
        TControl* Button;
        const char* Name;
    };
    const Handler handlers[] = {
        {w.BtnSettings, "BtnSettingsClick"},
        {w.BtnCreateDb, "BtnCreateDbClick"},
        {w.BtnOpenClose, "BtnOpenCloseClick"},
        {w.BtnGetBM, "BtnGetBMClick"},
        {w.BtnGotoBM, "BtnGotoBMClick"},
        {w.BtnRefreshActive, "BtnRefreshActiveClick"},
        {w.BtnRefreshAll, "BtnRefreshAllClick"},
        {w.BtnCommit, "BtnCommitClick"},
        {w.BtnRollback, "BtnRollbackClick"},
        {w.BtnClientFilter, "BtnClientFilterClick"},
        {w.BtnServerFilter, "BtnServerFilterClick"},
        {w.BtnSortIdAsc, "BtnSortGenericGlick"},
        {w.BtnSortIdDesc, "BtnSortGenericGlick"},
        {w.BtnSortDescrAsc, "BtnSortGenericGlick"},
        {w.BtnSortDescrDesc, "BtnSortGenericGlick"},
    };
    for (const Handler& h : handlers)
        EXPECT_EQ(GetMethodRef(h.Button->OnClick).Name, h.Name) << h.Button->GetName();

    // Toggles: three independent on/off buttons, and the sort group of four.
    struct Toggle {
        TSpeedButton* Button;
        int Group;
        bool AllUp;
        int Tag;
    };
    const Toggle toggles[] = {
        {w.BtnGetBM, 1, true, 0},         {w.BtnClientFilter, 1, true, 0},    {w.BtnServerFilter, 2, true, 0},
        {w.BtnGotoBM, 0, false, 0},       {w.BtnSortIdAsc, 1, false, 1},      {w.BtnSortIdDesc, 1, false, -1},
        {w.BtnSortDescrAsc, 1, false, 2}, {w.BtnSortDescrDesc, 1, false, -2},
    };
    for (const Toggle& t : toggles) {
        EXPECT_EQ(t.Button->GetGroupIndex(), t.Group) << t.Button->GetName();
        EXPECT_EQ(t.Button->GetAllowAllUp(), t.AllUp) << t.Button->GetName();
        EXPECT_EQ(t.Button->GetTag(), t.Tag) << t.Button->GetName();
    }

    // The sort glyphs: a triangle up or down right of the caption, with a disabled image.
    for (TSpeedButton* b : SortButtons(w)) {
        SCOPED_TRACE(b->GetName());
        EXPECT_EQ(b->GetLayout(), blGlyphRight);
        EXPECT_EQ(b->GetNumGlyphs(), 2);
        QImage up = b->GlyphImage(0), disabled = b->GlyphImage(1);
        ASSERT_EQ(up.size(), QSize(16, 11));
        ASSERT_EQ(disabled.size(), QSize(16, 11));
        bool pointsUp = b->GetTag() > 0;
        // The base of the triangle is a wide row, its tip a single pixel.
        int baseRow = pointsUp ? 7 : 3, tipRow = pointsUp ? 3 : 7;
        EXPECT_GT(qAlpha(up.pixel(3, baseRow)), 0);
        EXPECT_LT(qGray(up.pixel(3, baseRow)), 60);
        EXPECT_EQ(qAlpha(up.pixel(3, tipRow)), 0); // transparent around it
        EXPECT_GT(qAlpha(up.pixel(7, tipRow)), 0);
        EXPECT_EQ(qAlpha(up.pixel(0, 10)), 0);
        EXPECT_GT(qAlpha(disabled.pixel(3, baseRow)), 0);
        EXPECT_GT(qGray(disabled.pixel(3, baseRow)), 60); // greyed out
    }
}

// The forms were laid out for a narrow 8-point font; the font that stands
// in for it must let every caption of both windows show whole.
TEST_F(MainWindowTest, EveryCaptionOfBothWindowsShowsWhole) {
    EXPECT_EQ(CaptionsThatDoNotFit(*Win), std::vector<std::string>{});
    Win->DataSet->SetActive(false);
    // The states change captions and glyphs: "Close", and the down sort button.
    Win->BtnOpenClose->SetCaption("Close");
    Win->BtnSortDescrDesc->SetDown(true);
    EXPECT_EQ(CaptionsThatDoNotFit(*Win), std::vector<std::string>{});
    WithSettingsDialog([](TFrmDbSettings& D) {
        EXPECT_EQ(CaptionsThatDoNotFit(D), std::vector<std::string>{});
        D.ChkRemember->SetChecked(true);
        EXPECT_EQ(CaptionsThatDoNotFit(D), std::vector<std::string>{});
    });
}

TEST_F(MainWindowTest, OnlyTheSixButtonsWithHintsShowThem) {
    struct Hint {
        TControl* Button;
        const char* Text;
    };
    const Hint hints[] = {
        {Win->BtnRefreshActive, "Refreshes the active record only"},
        {Win->BtnRefreshAll, "Refreshes the whole dataset"},
        {Win->BtnCommit, "Commit the current transaction (hard commit) and restarts it"},
        {Win->BtnRollback, "Rolls back the current transaction and restarts it"},
        {Win->BtnClientFilter, "Activates a clientside filter (shows only records with even ID)"},
        {Win->BtnServerFilter, "Activates a serverside filter (shows only records with QUANTITY greater 5)"},
    };
    for (const Hint& h : hints) {
        EXPECT_EQ(h.Button->GetHint(), h.Text);
        Application->ActivateHint(h.Button, h.Button->ClientToScreen(QPoint(5, 5)));
        AnsiString shown = Application->GetHintText();
        EXPECT_FALSE(shown.empty()) << h.Button->GetName();
        // Long hints wrap (at 180 pixels); the words stay.
        EXPECT_EQ(StringReplaceAll(shown, "\n", " "), h.Text);
        if (AnsiString(h.Text).size() > 40) {
            EXPECT_NE(shown.find('\n'), AnsiString::npos) << h.Text;
        }
    }
    for (TControl* c : {static_cast<TControl*>(Win->BtnGetBM), static_cast<TControl*>(Win->BtnGotoBM),
                        static_cast<TControl*>(Win->BtnSettings), static_cast<TControl*>(Win->BtnSortIdAsc),
                        static_cast<TControl*>(Win->EdtSearch), static_cast<TControl*>(Win->DbGrid)}) {
        Application->ActivateHint(c, c->ClientToScreen(QPoint(5, 5)));
        EXPECT_EQ(Application->GetHintText(), "") << c->GetName();
    }
    Application->CancelHint();
}

TEST_F(MainWindowTest, AGrowingFormMovesTheRightAndBottomPanels) {
    Win->SetBounds(Win->GetLeft(), Win->GetTop(), 719, 531);
    EXPECT_EQ(Win->DbGrid->GetParent()->GetBoundsRect(), QRect(1, 1, 594, 408));
    EXPECT_EQ(Win->BtnGetBM->GetParent()->GetBoundsRect(), QRect(595, 1, 115, 77));
    EXPECT_EQ(Win->Nav->GetParent()->GetBoundsRect(), QRect(1, 409, 312, 46));
    EXPECT_EQ(Win->BtnSortIdAsc->GetParent()->GetBoundsRect(), QRect(313, 409, 397, 46));
    EXPECT_EQ(Win->EdtSearch->GetBoundsRect(), QRect(56, 14, 328, 21));
    // Not smaller than designed.
    Win->SetBounds(Win->GetLeft(), Win->GetTop(), 400, 300);
    EXPECT_EQ(Win->GetWidth(), 619);
    EXPECT_EQ(Win->GetHeight(), 431);
}

TEST_F(MainWindowTest, SettingsConfirmedWithRememberAreSavedForTheNextRun) {
    WithSettingsDialog([&](TFrmDbSettings& d) {
        EXPECT_EQ(d.GetOwner(), Win.get());
        EXPECT_EQ(d.EdtDatabase->GetText(), "");
        d.EdtDatabase->SetText(Path);
        d.EdtUsername->SetText("SYSDBA");
        d.EdtPassword->SetText("masterkey");
        if (!d.ChkRemember->GetChecked()) Click(d.ChkRemember);
        Click(d.BtnOK);
    });
    EXPECT_EQ(Settings->GetConnectString(), Path);
    EXPECT_EQ(Program.IniText(), "[Database Settings]\nRemeber=1\nServer=\nDatabase=" + Path +
                                     "\nUsername=SYSDBA\nPassword=masterkey\n");
    // The next run opens with them.
    Win.reset();
    EXPECT_EQ(Settings, nullptr);
    Win = std::make_unique<TFrmMain>(nullptr);
    Win->Show();
    EXPECT_EQ(Settings->GetDatabase(), Path);
    CreateDb();
    Open();
    EXPECT_EQ(Win->Db->GetDatabaseName(), Path);
}

TEST_F(MainWindowTest, SettingsConfirmedWithoutRememberServeThisRunOnly) {
    WithSettingsDialog([&](TFrmDbSettings& d) {
        d.EdtDatabase->SetText(Path);
        d.EdtUsername->SetText("SYSDBA");
        d.EdtPassword->SetText("masterkey");
        Click(d.BtnOK);
    });
    EXPECT_EQ(Program.IniText(), "[Database Settings]\nRemeber=0\n");
    CreateDb();
    Open();
    EXPECT_EQ(Win->Db->GetDatabaseName(), Path);
    Click(Win->BtnOpenClose);
    Win.reset();
    Win = std::make_unique<TFrmMain>(nullptr);
    EXPECT_EQ(Settings->GetDatabase(), "");
}

TEST_F(MainWindowTest, CancelledSettingsChangeNothing) {
    UseDatabase(Path);
    WithSettingsDialog([&](TFrmDbSettings& d) {
        EXPECT_EQ(d.EdtDatabase->GetText(), Path); // shows what this run holds
        d.EdtDatabase->SetText("/elsewhere.fdb");
        if (!d.ChkRemember->GetChecked()) Click(d.ChkRemember);
        Click(d.BtnCancel);
    });
    EXPECT_EQ(Settings->GetDatabase(), Path);
    EXPECT_FALSE(Settings->GetRemember());
    EXPECT_EQ(Program.IniText(), "");
}

TEST_F(MainWindowTest, CreateDbMakesTheSampleDatabaseAndTheWindowStaysClosed) {
    UseDatabase(Path);
    CreateDb();
    EXPECT_TRUE(std::filesystem::exists(Path));
    EXPECT_FALSE(Win->Db->GetConnected());
    EXPECT_FALSE(Win->Tr->GetInTransaction());
    ExpectState(*Win, false);
    auto db = Attach();
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM ITEM"), std::vector<AnsiString>{"0"});
    db.reset();
    // Open then shows the empty table.
    Open();
    EXPECT_TRUE(Win->DataSet->IsEmpty());
    EXPECT_EQ(Win->DbGrid->GetRowCount(), 0);
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, CreateDbOnAnExistingDatabaseIsAnErrorAndChangesNothing) {
    UseDatabase(Path);
    CreateDb();
    {
        auto db = Attach();
        Exec(*db, "INSERT INTO ITEM (DESCRIPTION) VALUES ('kept')");
    }
    Click(Win->BtnCreateDb);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_FALSE(Win->Db->GetConnected());
    ExpectState(*Win, false);
    // Still usable: the database opens, with its row.
    Open();
    EXPECT_EQ(RowsInWindow("SELECT ID, DESCRIPTION FROM ITEM"), std::vector<AnsiString>{"1|kept"});
}

TEST_F(MainWindowTest, OpenConnectsWithTheSettingsAndCloseDisconnects) {
    UseDatabase(Path, "any password will do");
    CreateDb();
    Open();
    TFrmMain& w = *Win;
    ExpectState(w, true);
    EXPECT_TRUE(w.Db->GetConnected());
    EXPECT_EQ(w.Db->GetDatabaseName(), Path);
    EXPECT_EQ(w.Db->GetParams()->GetText(), "USER_NAME=SYSDBA\r\nPASSWORD=any password will do\r\n");
    EXPECT_TRUE(w.Tr->GetInTransaction());

    // Alt+S goes to the search box.
    w.DbGrid->SetFocus();
    QTest::keyClick(w.DbGrid->GetHandle(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(w.EdtSearch->Focused());

    // Filter and sort buttons keep their states across closing and opening.
    Click(w.BtnClientFilter);
    Click(w.BtnSortDescrDesc);
    Click(w.BtnOpenClose);
    ExpectState(w, false);
    EXPECT_FALSE(w.Db->GetConnected());
    EXPECT_FALSE(w.Tr->GetInTransaction());
    EXPECT_TRUE(w.BtnClientFilter->GetDown());
    EXPECT_TRUE(w.BtnSortDescrDesc->GetDown());
    Open();
    ExpectState(w, true);
    EXPECT_TRUE(w.DataSet->GetFiltered());
    EXPECT_EQ(w.DataSet->GetOrderItemId(), -2);
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, AMissingDatabaseIsShownAndTheWindowStaysUsable) {
    UseDatabase(Data.Path() + "/missing.fdb");
    Click(Win->BtnOpenClose);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_NE(ErrorTexts()[0].find("missing.fdb"), std::string::npos) << ErrorTexts()[0];
    EXPECT_FALSE(Win->Db->GetConnected());
    ExpectState(*Win, false);
    // The user corrects the settings and goes on.
    UseDatabase(Path);
    CreateDb();
    Open();
    ExpectState(*Win, true);
}

// The database connects but the dataset cannot open on it (ITEM has no ID):
// the connection goes again, so settings, Create DB and Open work on.
TEST_F(MainWindowTest, ADatasetThatCannotOpenLeavesTheDatabaseDisconnected) {
    TTestDatabase noKey(TRoute::Embedded, "nokey.fdb");
    noKey.Execute({"CREATE TABLE ITEM (DESCRIPTION VARCHAR(30) NOT NULL)"});
    UseDatabase(noKey.GetFilePath(), noKey.GetPassword());
    Click(Win->BtnOpenClose);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_NE(ErrorTexts()[0].find("ID"), std::string::npos) << ErrorTexts()[0];
    EXPECT_FALSE(Win->Db->GetConnected());
    EXPECT_FALSE(Win->Tr->GetInTransaction());
    ExpectState(*Win, false);

    UseDatabase(Path);
    CreateDb();
    Open();
    ExpectState(*Win, true);
    EXPECT_EQ(ErrorTexts().size(), 1u);
}

TEST_F(MainWindowTest, AWrongPasswordIsShownAndTheWindowStaysUsable) {
    // The embedded engine takes any password: this needs the test server.
    AnsiString unavailable = ServerUnavailableReason();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    TTestDatabase server(TRoute::Server, "demo.fdb");
    server.Execute({"CREATE TABLE ITEM (ID INTEGER NOT NULL PRIMARY KEY, DESCRIPTION VARCHAR(30) NOT NULL, "
                    "QUANTITY NUMERIC(5,2), PRICE NUMERIC(8,2))"});
    // The settings hold server and path apart: host (or host/port) before the first colon.
    const AnsiString& name = server.GetDatabaseName();
    size_t colon = name.find(':');
    AnsiString host = name.substr(0, colon), path = name.substr(colon + 1);
    UseDatabase(path, "wrong", host);
    Click(Win->BtnOpenClose);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_FALSE(Win->Db->GetConnected());
    ExpectState(*Win, false);
    UseDatabase(path, server.GetPassword(), host);
    Open();
    EXPECT_EQ(Win->Db->GetDatabaseName(), host + ":" + path);
    ExpectState(*Win, true);
    Click(Win->BtnOpenClose);
}

TEST_F(MainWindowTest, ShuttingDownWhileOpenClosesTheDatasetThenTheDatabase) {
    UseDatabase(Path);
    CreateDb();
    Open();
    std::vector<std::string> events;
    Win->DataSet->AfterClose = [&](TDataSet*) { events.push_back("dataset closed"); };
    Win->Db->AfterDisconnect = [&](TObject*) { events.push_back("database disconnected"); };
    // A row written in the window's transaction and not committed.
    Win->IBSQL->GetSQL()->SetText("INSERT INTO ITEM (DESCRIPTION) VALUES ('uncommitted')");
    Win->IBSQL->ExecQuery();
    Win.reset();
    EXPECT_EQ(events, (std::vector<std::string>{"dataset closed", "database disconnected"}));
    EXPECT_EQ(Settings, nullptr);
    EXPECT_FALSE(Application->OnShowHint);
    EXPECT_TRUE(ErrorTexts().empty());
    // The transaction's default action rolled it back.
    auto db = Attach();
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM ITEM"), std::vector<AnsiString>{"0"});
}

TEST_F(MainWindowTest, ASecondMainWindowIsRefusedAndTheFirstKeepsItsSettings) {
    TSettings* first = Settings;
    EXPECT_THROW(TFrmMain second(nullptr), Exception);
    EXPECT_EQ(Settings, first);
    // The first window's hint handler stays in place.
    ASSERT_TRUE(Application->OnShowHint);
    EXPECT_EQ(GetMethodRef(Application->OnShowHint).Data, Win.get());
}

TEST_F(MainWindowTest, CommitAndRollbackEndTheTransactionAndStartANewOne) {
    UseDatabase(Path);
    CreateDb();
    Open();
    int refreshes = 0;
    Win->DataSet->AfterRefresh = [&](TDataSet*) { ++refreshes; };
    auto insert = [&](const char* Description) {
        Win->IBSQL->GetSQL()->SetText(AnsiString("INSERT INTO ITEM (DESCRIPTION) VALUES ('") + Description +
                                      "')");
        Win->IBSQL->ExecQuery();
    };
    auto other = Attach();

    insert("committed");
    EXPECT_EQ(Rows(*other, "SELECT COUNT(*) FROM ITEM"), std::vector<AnsiString>{"0"});
    Click(Win->BtnCommit);
    EXPECT_TRUE(Win->Tr->GetInTransaction());
    EXPECT_TRUE(Win->DataSet->GetActive());
    EXPECT_EQ(refreshes, 0); // commit does not refresh
    EXPECT_EQ(Rows(*other, "SELECT DESCRIPTION FROM ITEM"), std::vector<AnsiString>{"committed"});

    insert("rolled back");
    Click(Win->BtnRollback);
    EXPECT_TRUE(Win->Tr->GetInTransaction());
    EXPECT_TRUE(Win->DataSet->GetActive());
    EXPECT_EQ(refreshes, 1); // rollback does
    EXPECT_EQ(RowsInWindow("SELECT DESCRIPTION FROM ITEM"), std::vector<AnsiString>{"committed"});
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, EachSortButtonChoosesItsOrderItem) {
    struct Case {
        TSpeedButton* Button;
        int Id;
    };
    const Case cases[] = {{Win->BtnSortIdDesc, -1},
                          {Win->BtnSortDescrAsc, 2},
                          {Win->BtnSortDescrDesc, -2},
                          {Win->BtnSortIdAsc, 1}};
    auto run = [&] {
        for (const Case& c : cases) {
            Click(c.Button);
            EXPECT_EQ(Win->DataSet->GetOrderItemId(), c.Id) << c.Button->GetName();
            for (TSpeedButton* b : SortButtons(*Win))
                EXPECT_EQ(b->GetDown(), b == c.Button) << b->GetName();
        }
        // Exactly one stays down: a click on it keeps it down.
        Click(Win->BtnSortIdAsc);
        EXPECT_TRUE(Win->BtnSortIdAsc->GetDown());
        EXPECT_EQ(Win->DataSet->GetOrderItemId(), 1);
    };
    run(); // closed
    UseDatabase(Path);
    CreateDb();
    Open();
    run(); // open
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, TheClientFilterButtonSwitchesTheDatasetsFilter) {
    Click(Win->BtnClientFilter);
    EXPECT_TRUE(Win->BtnClientFilter->GetDown());
    EXPECT_TRUE(Win->DataSet->GetFiltered());
    // Independent of the bookmark button, which shares its group number in another panel.
    EXPECT_FALSE(Win->BtnGetBM->GetDown());
    Click(Win->BtnClientFilter);
    EXPECT_FALSE(Win->BtnClientFilter->GetDown());
    EXPECT_FALSE(Win->DataSet->GetFiltered());
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, GotoBookmarkWithoutABookmarkDoesNothing) {
    UseDatabase(Path);
    CreateDb();
    Open();
    int scrolls = 0;
    Win->DataSet->BeforeScroll = [&](TDataSet*) { ++scrolls; };
    Click(Win->BtnGotoBM);
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(ErrorTexts().empty());
    // On an empty table there is nothing to take a bookmark of.
    Click(Win->BtnGetBM);
    EXPECT_TRUE(Win->BtnGetBM->GetDown());
    EXPECT_EQ(Win->GetHeldBookmark(), nullptr);
    Click(Win->BtnGetBM);
    EXPECT_FALSE(Win->BtnGetBM->GetDown());
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, TheSearchShowsAFailedPostOfAPendingEditAndKeepsTheEdit) {
    UseDatabase(Path);
    CreateDb();
    Open();
    // A new row without its required DESCRIPTION: its post cannot succeed.
    Click(Win->Nav->GetButton(nbInsert));
    ASSERT_EQ(Win->DataSet->GetState(), dsInsert);
    Win->DataSetQUANTITY->SetAsString("2");
    Win->EdtSearch->SetFocus();
    Type("1");
    // Shown, not swallowed with the search's own errors; the edit is still there.
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(Win->DataSet->GetState(), dsInsert);
    EXPECT_EQ(Win->DataSetQUANTITY->GetAsString(), "2");
    EXPECT_EQ(RowsInWindow("SELECT COUNT(*) FROM ITEM"), std::vector<AnsiString>{"0"});
    Click(Win->Nav->GetButton(nbCancel));
    EXPECT_EQ(Win->DataSet->GetState(), dsBrowse);
}

// ---------------------------------------------------------------------------
// The product of two currency values

TEST(CurrencyProductTest, MultipliesExactlyWithTruncationTowardZero) {
    struct Case {
        Int64 A, B, Product; // raw values, scaled by 10000
    };
    const Case cases[] = {
        {15000, 22500, 33750},   // 1.50 x 2.25 = 3.375
        {-15000, 22500, -33750}, // signs
        {0, 22500, 0},           // a missing value reads as 0
        {1, 5000, 0},            // 0.0001 x 0.5 = 0.00005, cut
        {-1, 5000, 0},           // toward zero, not down to -0.0001
        {-3, 5000, -1},          // -0.00015 -> -0.0001
        // 999999.99 x 99999999.99: the scaled product needs more than 64 bits, the result does not.
        {9999999900, 999999999900, 999999989900000001},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CurrencyProduct(Currency::FromRaw(c.A), Currency::FromRaw(c.B)).Raw(), c.Product)
            << c.A << " x " << c.B;
}

TEST(CurrencyProductTest, AResultOutsideTheCurrencyRangeRaises) {
    Currency big = Currency::FromRaw(std::numeric_limits<Int64>::max());
    EXPECT_THROW(CurrencyProduct(big, Currency::FromRaw(20000)), ERangeError);
    EXPECT_THROW(CurrencyProduct(big, Currency::FromRaw(-20000)), ERangeError);
    EXPECT_EQ(CurrencyProduct(big, Currency::FromRaw(10000)), big);
}

} // namespace
