// A first application of the package KVIB5. It opens a database on the
// embedded engine (making it, with a small table, on first use), scrolls a
// TIBRowvaneKV over that table to the end and back, searches rows by key,
// edits and posts one, and shows a data-aware control on a window.
//
//   FirstApplication <database file> [--close]
// --close shows the window and closes it again at once, instead of waiting
// for the user to close it.
#include <KVIB5/DBEditKV.h>
#include <KVIB5/Forms.h>
#include <KVIB5/IBDatabase.h>
#include <KVIB5/IBRowvaneKV.h>
#include <KVIB5/IBSQL.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

namespace {

void Show(const char* What, TDataSet& Products) {
    std::printf("%-8s %s %s %s\n", What, Products.FieldByName("ID")->GetAsString().c_str(),
                Products.FieldByName("NAME")->GetAsString().c_str(),
                Products.FieldByName("PRICE")->GetAsString().c_str());
}

// Runs one statement in a transaction of its own. Components take an owner
// that deletes them; nullptr means none, so these live and go with the block.
void Execute(TIBDatabase& Db, const AnsiString& SQL) {
    TIBTransaction transaction(nullptr);
    transaction.SetDefaultDatabase(&Db);
    TIBSQL statement(nullptr);
    statement.SetDatabase(&Db);
    statement.SetTransaction(&transaction);
    transaction.StartTransaction();
    statement.GetSQL()->SetText(SQL);
    statement.ExecQuery();
    transaction.Commit();
}

// A new database file with the table PRODUCT and ten rows.
void CreateSampleDatabase(TIBDatabase& Db) {
    // CREATE DATABASE takes its options from Params, one per line; it leaves
    // the database connected.
    Db.GetParams()->Clear();
    Db.GetParams()->Add("USER 'SYSDBA'");
    Db.GetParams()->Add("PASSWORD 'masterkey'");
    Db.CreateDatabase();
    Execute(Db, "CREATE TABLE PRODUCT (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(30) NOT NULL,"
                " PRICE NUMERIC(8,2))");
    const char* names[] = {"Apple", "Banana", "Cherry", "Date", "Fig", "Grape", "Kiwi", "Lemon", "Mango", "Plum"};
    int id = 0;
    for (const char* name : names) {
        ++id;
        Execute(Db, "INSERT INTO PRODUCT (ID, NAME, PRICE) VALUES (" + IntToStr(id) + ", '" + name + "', " +
                        IntToStr(id) + ".25)");
    }
    Db.Close();
}

int Run(const char* Path, bool CloseAtOnce) {
    // The database: a path without "host:" (or "host/port:") in front is
    // opened by the embedded engine inside this process, no server needed.
    TIBDatabase db(nullptr);
    db.SetDatabaseName(Path);
    db.SetSQLDialect(3);
    db.SetLoginPrompt(false); // no dialog asks for the password: Params hold it
    if (!std::filesystem::exists(Path)) CreateSampleDatabase(db);
    db.GetParams()->Clear();
    db.GetParams()->Add("USER_NAME=SYSDBA");
    db.GetParams()->Add("PASSWORD=masterkey"); // the embedded engine checks no password
    db.Open();

    // Every statement runs in a transaction; the dataset never commits.
    TIBTransaction transaction(nullptr);
    transaction.SetDefaultDatabase(&db);
    transaction.GetParams()->Add("read_committed"); // sees what others committed
    transaction.GetParams()->Add("nowait");         // a locked row is an error at once, not a wait

    // The dataset: a SELECT, the key that tells its rows apart, and named
    // sort orders ("id;ORDER BY list"), one of which is chosen by its id.
    TIBRowvaneKV products(nullptr);
    products.SetDatabase(&db);
    products.SetTransaction(&transaction);
    products.GetSelectSQL()->Add("SELECT ID, NAME, PRICE FROM PRODUCT");
    products.SetKeyColumns("ID");
    products.GetOrderItems()->Add("1;ID");
    products.GetOrderItems()->Add("2;NAME");
    products.SetOrderItemId(1); // by ID; -1 would be by ID descending
    products.Open();            // starts the transaction when it is not active

    Show("first", products);
    products.Last();
    Show("last", products);
    products.First();
    Show("first", products);

    // A search fills a key buffer through the dataset's own fields (SetKey)
    // and looks for it (GotoKey). GotoKey(Exact, ByPrimaryKey, ColumnCount,
    // Centre): by primary key it reads the row with exactly these key values
    // (Exact must be true, ColumnCount -1); else it goes by the first
    // ColumnCount columns of the current sort order (-1: all), to the equal
    // row (Exact) or the nearest one at or after the key. Centre puts the row
    // found in the middle of the controls' window of rows. It returns
    // whether a row was found; without one the current row stays.
    products.SetKey(true); // true: an empty key buffer
    products.FieldByName("ID")->SetAsInteger(7);
    if (products.GotoKey(true, true, -1, false)) Show("found", products);
    products.SetOrderItemId(2); // by NAME
    products.SetKey(true);
    products.FieldByName("NAME")->SetAsString("L");
    if (products.GotoKey(false, false, -1, false)) Show("nearest", products); // the first name at or after "L"

    // Edit and Post: an UPDATE of the row by its key. Commit ends the
    // transaction; the dataset stays open and reads on in the next one.
    products.Edit();
    products.FieldByName("PRICE")->SetAsString("9.99");
    products.Post();
    transaction.Commit();
    transaction.StartTransaction();
    Show("posted", products);

    // A window with one data-aware control. The first form the application
    // makes is its main form; the form owns what is made with it as owner
    // and deletes it when it goes. SetParent puts a control on the window.
    TForm* window = nullptr;
    Application->CreateForm(window);
    window->SetCaption("First application");
    window->SetBounds(200, 200, 260, 80);
    auto* source = new TDataSource(window);
    source->SetDataSet(&products);
    auto* name = new TDBEditKV(window);
    name->SetParent(window);
    name->SetBounds(16, 16, 220, 21);
    name->SetDataSource(source);
    name->SetDataField("NAME"); // shows the current row's NAME; typing edits it
    if (CloseAtOnce) {
        window->Show();
        Application->ProcessMessages();
        std::printf("window   %s: %s\n", window->GetCaption().c_str(), name->GetText().c_str());
        return 0;
    }
    Application->Run(); // until the window closes
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--close") != 0)) {
        std::fprintf(stderr, "usage: %s <database file> [--close]\n", argv[0]);
        return 2;
    }
    try {
        // The application object comes first: windows, message boxes and
        // the default display of errors need it.
        TApplication application(argc, argv);
        return Run(argv[1], argc == 3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FirstApplication: %s\n", e.what());
        return 1;
    }
}
