#include "MainWindowFixture.h"

#include "Dialogs.h"
#include "Frm_dbsettings.h"
#include "Ibconstkv.h"
#include "MessagesDe.h"
#include "Dbconstkv.h"
#include "Unt_settings.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>

const std::vector<TSampleRow> SampleRows = {
    {-3, "Zucchini", "2", "1.10"},    {1, "Apple", "1.50", "2.25"}, {2, "Apricot", "10", "0.40"},
    {3, "Banana", "6", "0.25"},       {5, "Cherry", "", "3.00"},    {8, "Date", "7", ""},
    {10, "Elderberry", "12", "1.20"}, {11, "Fig", "3", "0.90"},     {13, "Grape", "20", "2.00"},
    {15, "Kiwi", "8", "0.35"},        {20, "Lemon", "4", "0.60"},
};

MainWindowTest::MainWindowTest() {
    // The program runs with its German messages.
    BindGermanMessages();
    SetMessageDlgHook([this](const AnsiString& Msg, TMsgDlgType, TMsgDlgButtons) {
        Dialogs.push_back(Msg);
        return mrOk;
    });
    Win = std::make_unique<TFrmMain>(nullptr);
    Win->Show();
    QApplication::setActiveWindow(Win->GetHandle());
}

MainWindowTest::~MainWindowTest() {
    Win.reset();
    SetMessageDlgHook(nullptr);
    UnbindLanguageTable(IbconstkvModule);
    UnbindLanguageTable(DbconstkvModule);
}

void MainWindowTest::UseDatabase(const AnsiString& DatabasePath, const AnsiString& Password,
                                 const AnsiString& Server, const AnsiString& User) {
    Settings->SetServer(Server);
    Settings->SetDatabase(DatabasePath);
    Settings->SetUsername(User);
    Settings->SetPassword(Password);
}

void MainWindowTest::Click(TControl* Control) {
    ASSERT_NE(Control->GetWidget(), nullptr) << Control->GetName();
    QTest::mouseClick(Control->GetWidget(), Qt::LeftButton, {}, Control->GetWidget()->rect().center());
}

void MainWindowTest::Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers) {
    QTest::keyClick(QApplication::focusWidget(), Key, Modifiers);
}

void MainWindowTest::Type(const QString& Text) {
    for (QChar c : Text)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
}

void MainWindowTest::WithSettingsDialog(const std::function<void(TFrmDbSettings&)>& Action) {
    int components = Win->GetComponentCount();
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<TFrmDbSettings*>(Win->FindComponent("FrmDbSettings"));
        if (!dialog) return;
        ran = true;
        if (dialog->IsModal()) Action(*dialog);
        // Whatever the action did, the modal loop must end.
        if (dialog->IsModal()) dialog->SetModalResult(mrCancel);
    });
    Click(Win->BtnSettings);
    EXPECT_TRUE(ran) << "the settings dialog did not show";
    // The dialog is gone again.
    EXPECT_EQ(Win->GetComponentCount(), components);
}

void MainWindowTest::CreateDb() {
    size_t before = Errors.Messages.size();
    Click(Win->BtnCreateDb);
    ASSERT_EQ(Errors.Messages.size(), before) << Errors.Messages.back();
}

void MainWindowTest::Open() {
    size_t before = Errors.Messages.size();
    Click(Win->BtnOpenClose);
    ASSERT_EQ(Errors.Messages.size(), before) << Errors.Messages.back();
    ASSERT_TRUE(Win->DataSet->GetActive());
}

void MainWindowTest::OpenSample() {
    UseDatabase(Path);
    CreateDb();
    {
        auto db = Attach();
        Exec(*db, "SET GENERATOR GEN_ITEM_ID TO 100");
        for (const TSampleRow& r : SampleRows) {
            auto value = [](const char* V) { return *V ? AnsiString(V) : AnsiString("NULL"); };
            Exec(*db, "INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (" + IntToStr(r.Id) +
                          ", '" + r.Description + "', " + value(r.Quantity) + ", " + value(r.Price) + ")");
        }
    }
    Open();
}

std::unique_ptr<TIBDatabase> MainWindowTest::Attach() const {
    auto db = std::make_unique<TIBDatabase>(nullptr);
    db->SetDatabaseName(Path);
    db->SetLoginPrompt(false);
    db->GetParams()->Add("USER_NAME=SYSDBA");
    db->GetParams()->Add("PASSWORD=masterkey");
    db->Open();
    return db;
}

namespace {

std::vector<AnsiString> RowsOf(TIBDatabase& Db, TIBTransaction& Tr, const AnsiString& SQL) {
    TIBSQL q(nullptr);
    q.SetDatabase(&Db);
    q.SetTransaction(&Tr);
    q.GetSQL()->SetText(SQL);
    q.ExecQuery();
    std::vector<AnsiString> rows;
    while (!q.GetEOF()) {
        AnsiString row;
        for (int i = 0; i < q.GetFieldCount(); ++i)
            row += (i ? "|" : "") +
                   (q.GetFields(i)->GetIsNull() ? AnsiString("null") : Trim(q.GetFields(i)->GetAsString()));
        rows.push_back(row);
        q.Next();
    }
    q.Close();
    return rows;
}

} // namespace

std::vector<AnsiString> MainWindowTest::Rows(TIBDatabase& Db, const AnsiString& SQL) {
    TIBTransaction tr(nullptr);
    tr.SetDefaultDatabase(&Db);
    // Rows another transaction has not committed are passed over, not waited for.
    tr.GetParams()->Add("read_committed");
    tr.GetParams()->Add("rec_version");
    tr.GetParams()->Add("nowait");
    tr.StartTransaction();
    std::vector<AnsiString> rows = RowsOf(Db, tr, SQL);
    tr.Commit();
    return rows;
}

void MainWindowTest::Exec(TIBDatabase& Db, const AnsiString& SQL) {
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

std::vector<AnsiString> MainWindowTest::RowsInWindow(const AnsiString& SQL) {
    return RowsOf(*Win->Db, *Win->Tr, SQL);
}

int MainWindowTest::CurrentId() const {
    return Win->DataSetID->GetAsInteger();
}

std::vector<int> MainWindowTest::GridIds() const {
    std::vector<int> ids;
    for (int r = 0; r < Win->DbGrid->GetRowCount(); ++r)
        ids.push_back(StrToInt(Win->DbGrid->GetCellText(0, r)));
    return ids;
}

std::vector<int> MainWindowTest::DataSetIds() {
    std::vector<int> ids;
    for (Win->DataSet->First(); !Win->DataSet->Eof(); Win->DataSet->Next())
        ids.push_back(CurrentId());
    return ids;
}

void MainWindowTest::GoTo(int Id) {
    for (Win->DataSet->First(); !Win->DataSet->Eof(); Win->DataSet->Next())
        if (CurrentId() == Id) return;
    FAIL() << "no row with ID " << Id;
}
