#include "QtSqlSide.h"

#include "BenchStatements.h"
#include "SysUtils.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>

#include <atomic>

namespace {

AnsiString Text(const QString& S) {
    return S.toStdString();
}

} // namespace

struct TQtSqlSide::TImpl {
    TBenchTarget Target;
    QString Connection;
    std::unique_ptr<QSqlQueryModel> Model;
    int Top = 0; // first row of the window in the model
    // Cell reads are kept so that they are not optimised away.
    Int64 CellsRead = 0;

    QSqlDatabase Db() const { return QSqlDatabase::database(Connection, false); }

    // Reads the window's cells as a grid paints them.
    void ReadWindow() {
        int rows = Model->rowCount();
        int columns = Model->columnCount();
        int end = std::min(rows, Top + Target.WindowRows);
        for (int r = Top; r < end; ++r)
            for (int c = 0; c < columns; ++c)
                CellsRead += Model->data(Model->index(r, c)).isValid();
    }
    void CheckModel() {
        QSqlError e = Model->lastError();
        if (e.isValid()) throw Exception("Qt SQL side: " + Text(e.text()));
    }
};

AnsiString TQtSqlSide::UnavailableReason() {
    if (!QSqlDatabase::isDriverAvailable("QIBASE"))
        return "Qt's Firebird driver QIBASE is not installed (Debian package libqt6sql6-ibase)";
    return AnsiString();
}

TQtSqlSide::TQtSqlSide(const TBenchTarget& Target) : F(std::make_unique<TImpl>()) {
    static std::atomic<int> counter{0};
    F->Target = Target;
    F->Connection = QString("kvbench-%1").arg(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QIBASE", F->Connection);
        db.setDatabaseName(QString::fromStdString(Target.DatabaseName));
        db.setUserName(QString::fromStdString(Target.User));
        db.setPassword(QString::fromStdString(Target.Password));
        if (!db.open()) {
            AnsiString why = Text(db.lastError().text());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(F->Connection);
            throw Exception("Qt SQL side: cannot open " + Target.DatabaseName + ": " + why);
        }
    }
    F->Model = std::make_unique<QSqlQueryModel>();
}

TQtSqlSide::~TQtSqlSide() {
    F->Model.reset();
    {
        QSqlDatabase db = F->Db();
        db.close();
    }
    QSqlDatabase::removeDatabase(F->Connection);
}

void TQtSqlSide::Open() {
    QSqlQuery query(F->Db());
    if (!query.exec(QString::fromStdString(BenchStatements(F->Target.Order).Forward)))
        throw Exception("Qt SQL side: " + Text(query.lastError().text()));
    F->Model->setQuery(std::move(query));
    F->CheckModel();
    while (F->Model->rowCount() < F->Target.WindowRows && F->Model->canFetchMore())
        F->Model->fetchMore();
    F->Top = 0;
    F->ReadWindow();
}

void TQtSqlSide::Close() {
    F->Model->clear();
    F->Top = 0;
}

void TQtSqlSide::Last() {
    while (F->Model->canFetchMore())
        F->Model->fetchMore();
    F->CheckModel();
    F->Top = std::max(0, F->Model->rowCount() - F->Target.WindowRows);
    F->ReadWindow();
}


TBenchWindow TQtSqlSide::Window() {
    TBenchWindow ids;
    int end = std::min(F->Model->rowCount(), F->Top + F->Target.WindowRows);
    for (int r = F->Top; r < end; ++r)
        ids.push_back(F->Model->data(F->Model->index(r, 0)).toInt());
    return ids;
}

Int64 TQtSqlSide::AttachmentId() {
    QSqlQuery query(F->Db());
    if (!query.exec("SELECT CURRENT_CONNECTION FROM RDB$DATABASE") || !query.next())
        throw Exception("Qt SQL side: " + Text(query.lastError().text()));
    return query.value(0).toLongLong();
}
