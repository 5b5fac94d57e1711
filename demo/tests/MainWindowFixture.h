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
    ExceptionCatcher Errors;
    std::vector<AnsiString> Dialogs; // what message boxes were asked to show
    // Declared last: the window goes before everything it uses.
    std::unique_ptr<TFrmMain> Win;
};
