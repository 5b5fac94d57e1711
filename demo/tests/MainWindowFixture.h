// The main window on real (offscreen) windows: a fixture that makes it in a
// program folder of its own, points its settings at a database in a
// temporary folder, and drives it with Qt's test tools.
#pragma once

#include "DemoTestEnv.h"
#include "Frm_main.h"
#include "IBTestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the dataset offers beyond the framework's dataset. Some of it comes
// with its navigation, key search and editing; tests of the window that need
// an operation it does not have yet are skipped, naming it.
template <class D> constexpr bool KeySearchIn = requires(D& d) {
    d.SetKey(true);
    d.GotoKey(false, false, -1, true);
};
template <class D> constexpr bool WhereClauseIn = requires(D& d, const AnsiString& v) {
    d.SetWhereClause(v);
    d.GetWhereClause();
};
template <class D> constexpr bool RefreshActiveIn = requires(D& d) {
    d.RefreshActiveRecord();
};
template <class D> constexpr bool GotoBookmarkCentreIn = requires(D& d, TBookmark b) {
    d.GotoBookmark(b, false);
};
inline constexpr bool HasKeySearch = KeySearchIn<TIBRowvaneKV>;
inline constexpr bool HasWhereClause = WhereClauseIn<TIBRowvaneKV>;
inline constexpr bool HasRefreshActive = RefreshActiveIn<TIBRowvaneKV>;
inline constexpr bool HasGotoBookmarkCentre = GotoBookmarkCentreIn<TIBRowvaneKV>;

// The dataset's WhereClause, where it has one.
template <class D> AnsiString CurrentWhereClause(D& DataSet) {
    if constexpr (WhereClauseIn<D>)
        return DataSet.GetWhereClause();
    else
        return "(no WhereClause)";
}

#define KV_SKIP_WITHOUT(Flag, Why)                                                                           \
    if (!(Flag)) GTEST_SKIP() << Why

// The sample rows (the generator stands at 100, so these IDs stay as given):
// ID, DESCRIPTION, QUANTITY, PRICE ("" = null).
struct TSampleRow {
    int Id;
    const char* Description;
    const char* Quantity;
    const char* Price;
};
extern const std::vector<TSampleRow> SampleRows;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest();
    ~MainWindowTest() override;

    // The connection settings of this run (in memory, not remembered).
    void UseDatabase(const AnsiString& DatabasePath, const AnsiString& Password = "masterkey",
                     const AnsiString& Server = AnsiString(), const AnsiString& User = "SYSDBA");

    // A mouse click on a control's window, as the user makes it.
    static void Click(TControl* Control);
    // Keys and text go where the focus is, as they would from the keyboard.
    static void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
    static void Type(const QString& Text);
    // Runs Action on the settings dialog while "DB Settings" shows it modally.
    void WithSettingsDialog(const std::function<void(class TFrmDbSettings&)>& Action);

    // Clicks "Create DB" / "Open" and expects no error.
    void CreateDb();
    void Open();
    // The sample database with its rows, opened in the window.
    void OpenSample();
    // Whether the window's dataset shows the rows the table has; the tests
    // that need rows are skipped when it does not.
    bool RowsDelivered();
    // Whether the dataset posts a change: the current row is edited to the
    // text it has and posted; false (the edit cancelled) when the dataset
    // refuses with "cannot update", the answer it gives before editing is in place.
    bool CanPost();

    // A connection of its own to the database, standing in for another user.
    std::unique_ptr<TIBDatabase> Attach() const;
    // A query's rows in a transaction of its own, columns joined by "|".
    static std::vector<AnsiString> Rows(TIBDatabase& Db, const AnsiString& SQL);
    static void Exec(TIBDatabase& Db, const AnsiString& SQL);
    // The same in the window's own transaction (sees what it has not committed).
    std::vector<AnsiString> RowsInWindow(const AnsiString& SQL);

    // The dataset's current ID, and the IDs the grid shows, top to bottom.
    int CurrentId() const;
    std::vector<int> GridIds() const;
    // Every ID the dataset delivers, first to last (moves the current row).
    std::vector<int> DataSetIds();
    // Puts the dataset on the row with this ID, reading from the first.
    void GoTo(int Id);

    std::vector<std::string> ErrorTexts() const { return Errors.Messages; }

    TProgramFolder Program;
    IBTest::TTempFolder Data;
    AnsiString Path = Data.Path() + "/demo.fdb";
    TExceptionCatcher Errors;
    std::vector<AnsiString> Dialogs; // what message boxes were asked to show
    // Declared last: the window goes before everything it uses.
    std::unique_ptr<TFrmMain> Win;
};

inline constexpr const char* NoRows =
    "TIBRowvaneKV delivers no rows yet: its GetRecord answers grEOF until the navigation through its "
    "two cursors is in place";
inline constexpr const char* NoKeySearch = "TIBRowvaneKV has no key search yet (SetKey, GotoKey)";
inline constexpr const char* NoWhereClause =
    "TIBRowvaneKV has no WhereClause yet (GetWhereClause, SetWhereClause)";
inline constexpr const char* NoRefreshActive = "TIBRowvaneKV has no RefreshActiveRecord yet";
inline constexpr const char* NoGotoBookmarkCentre = "TIBRowvaneKV has no GotoBookmark(bookmark, centre) yet";
inline constexpr const char* NoPost =
    "TIBRowvaneKV cannot post yet: its InternalPost raises \"cannot update\" until editing is in place";
