// Takes the picture of the main window for the documentation: the program's
// own window over a new sample database with a few rows, opened on the
// embedded engine, drawn by Qt into a PNG file.
//
//   demo_screenshot <file.png> [<settings.png>]      (scripts/screenshot runs it under xvfb-run)
// The second file, when given, gets the settings dialog as it opens.
#include "Frm_dbsettings.h"
#include "Frm_main.h"
#include "MessagesDe.h"
#include "Unt_settings.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct TRow {
    const char* Description;
    const char* Quantity;
    const char* Price;
};

const TRow Rows[] = {
    {"Apple", "1.50", "2.25"},  {"Apricot", "10", "0.40"}, {"Banana", "6", "0.25"},
    {"Cherry", "2.50", "3.00"}, {"Date", "7", "1.10"},     {"Elderberry", "12", "1.20"},
    {"Fig", "3", "0.90"},       {"Grape", "20", "2.00"},   {"Kiwi", "8", "0.35"},
    {"Lemon", "4", "0.60"},     {"Mango", "2", "1.75"},    {"Nectarine", "5", "0.80"},
};

void Exec(TIBDatabase& Db, const AnsiString& SQL) {
    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(&Db);
    TIBSQL q(nullptr);
    q.SetDatabase(&Db);
    q.SetTransaction(&tr);
    tr.StartTransaction();
    q.GetSQL()->SetText(SQL);
    q.ExecQuery();
    tr.Commit();
}

// A temporary folder, removed again.
class TScratch {
public:
    TScratch() {
        std::string templ = (std::filesystem::temp_directory_path() / "kv-screenshot-XXXXXX").string();
        if (!mkdtemp(templ.data())) throw Exception("Cannot create a temporary folder");
        FPath = templ;
    }
    ~TScratch() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

void Save(QWidget* Widget, const char* Output) {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    QImage image = Widget->grab().toImage();
    if (!image.save(Output, "PNG")) throw Exception(AnsiString("Cannot write ") + Output);
}

int Run(const char* Output, const char* SettingsOutput) {
    BindGermanMessages();
    TScratch scratch;
    AnsiString path = scratch.Path() + "/demo.fdb";
    Application->SetTitle("IBRowvaneDemo");
    Application->CreateForm(FrmMain);
    TFrmMain& w = *FrmMain;
    // What the README tells a newcomer to type into "DB Settings".
    Settings->SetServer("");
    Settings->SetDatabase(path);
    Settings->SetUsername("SYSDBA");
    Settings->SetPassword("masterkey");
    w.BtnCreateDb->Click();
    {
        TIBDatabase db(nullptr);
        db.SetDatabaseName(path);
        db.SetLoginPrompt(false);
        db.GetParams()->Add("USER_NAME=SYSDBA");
        db.GetParams()->Add("PASSWORD=masterkey");
        db.Open();
        for (const TRow& r : Rows)
            Exec(db, AnsiString("INSERT INTO ITEM (DESCRIPTION, QUANTITY, PRICE) VALUES ('") + r.Description +
                         "', " + r.Quantity + ", " + r.Price + ")");
    }
    w.Show();
    w.BtnOpenClose->Click();
    if (!w.DataSet->GetActive()) throw Exception("The sample database did not open");
    if (!w.DataSet->IsEmpty()) w.DataSet->MoveBy(2);
    w.DbGrid->SetFocus();
    Save(w.GetHandle(), Output);
    QImage image(Output);
    std::printf("%s: %dx%d, %s\n", Output, image.width(), image.height(),
                w.DataSet->IsEmpty() ? "the grid shows no rows (the dataset delivers none yet)"
                                     : "the grid shows the sample rows");
    w.BtnOpenClose->Click();
    if (SettingsOutput) {
        TFrmDbSettings dialog(&w);
        dialog.Show();
        Save(dialog.GetHandle(), SettingsOutput);
        std::printf("%s: the settings dialog\n", SettingsOutput);
    }
    delete FrmMain;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: demo_screenshot <file.png> [<settings.png>]\n");
        return 2;
    }
    try {
        TApplication application(argc, argv);
        // Errors of the window's handlers end the run instead of showing a box nobody closes.
        Application->OnException = [](TObject*, const std::exception& E) {
            std::fprintf(stderr, "demo_screenshot: %s\n", E.what());
            std::exit(1);
        };
        return Run(argv[1], argc == 3 ? argv[2] : nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo_screenshot: %s\n", e.what());
        return 1;
    }
}
