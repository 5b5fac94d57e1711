#include "DatasetOps.h"

#include "BenchStatements.h"
#include "IBRowvaneKV.h"

// The objects of the dataset side, created by the constructor; destroyed
// grid first, database last.
struct TDatasetBenchSide::TImpl {
    std::unique_ptr<TIBDatabase> Db;
    std::unique_ptr<TIBTransaction> Tr;
    std::unique_ptr<TIBRowvaneKV> DataSet;
    std::unique_ptr<TDataSource> Source;
    // As a grid's link: it asks the dataset for a window of WindowRows records.
    std::unique_ptr<TDataLink> Link;
    TField* Id = nullptr; // the ID field while open

    void Destroy() noexcept {
        try {
            if (DataSet) DataSet->Close();
        } catch (...) {
            // the rollback below ends what is left
        }
        Link.reset();
        Source.reset();
        DataSet.reset();
        try {
            if (Tr && Tr->GetInTransaction()) Tr->Rollback();
        } catch (...) {
        }
        Tr.reset();
        try {
            if (Db && Db->GetConnected()) Db->Close();
        } catch (...) {
        }
        Db.reset();
    }
};

bool DatasetSideAvailable() {
    return true;
}

bool DatasetSideSupports(TBenchOp) {
    return true;
}

std::unique_ptr<TBenchSide> CreateDatasetSide(const TBenchTarget& Target) {
    if (!DatasetSideAvailable()) return nullptr;
    return std::make_unique<TDatasetBenchSide>(Target);
}

TDatasetBenchSide::TDatasetBenchSide(const TBenchTarget& Target)
    : FTarget(Target), F(std::make_unique<TImpl>()) {
    try {
        F->Db = std::make_unique<TIBDatabase>(nullptr);
        F->Db->SetDatabaseName(Target.DatabaseName);
        F->Db->SetLoginPrompt(false);
        F->Db->SetSQLDialect(3);
        F->Db->GetParams()->Add("USER_NAME=" + Target.User);
        F->Db->GetParams()->Add("PASSWORD=" + Target.Password);
        F->Db->Open();
        F->Tr = std::make_unique<TIBTransaction>(nullptr);
        F->Tr->SetDefaultDatabase(F->Db.get());
        F->Tr->StartTransaction();

        F->DataSet = std::make_unique<TIBRowvaneKV>(nullptr);
        TIBRowvaneKV& ds = *F->DataSet;
        ds.SetDatabase(F->Db.get());
        ds.SetTransaction(F->Tr.get());
        ds.GetSelectSQL()->SetText(BenchSelectSQL);
        ds.SetKeyColumns(BenchKeyColumns);
        for (const char* item : BenchOrderItems)
            ds.GetOrderItems()->Add(item);
        ds.SetOrderItemId(BenchOrderItemId(Target.Order));

        F->Source = std::make_unique<TDataSource>(nullptr);
        F->Source->SetDataSet(&ds);
        F->Link = std::make_unique<TDataLink>();
        F->Link->SetBufferCount(Target.WindowRows);
        F->Link->SetDataSource(F->Source.get());
    } catch (...) {
        F->Destroy();
        throw;
    }
}

TDatasetBenchSide::~TDatasetBenchSide() {
    F->Destroy();
}

void TDatasetBenchSide::Open() {
    F->DataSet->Open();
    F->Id = F->DataSet->FieldByName("ID");
}

void TDatasetBenchSide::Close() {
    F->Id = nullptr;
    F->DataSet->Close();
}

void TDatasetBenchSide::First() {
    F->DataSet->First();
}

void TDatasetBenchSide::Last() {
    F->DataSet->Last();
}

void TDatasetBenchSide::PageDown() {
    TDataLink& link = *F->Link;
    F->DataSet->MoveBy(link.GetRecordCount() - 1 - link.GetActiveRecord());
    F->DataSet->MoveBy(FTarget.WindowRows);
}

void TDatasetBenchSide::PageUp() {
    TDataLink& link = *F->Link;
    F->DataSet->MoveBy(-link.GetActiveRecord());
    F->DataSet->MoveBy(-FTarget.WindowRows);
}

void TDatasetBenchSide::FindNearest(const TBenchKey& Key) {
    if (FTarget.Order == TBenchOrder::Quantity) throw EBenchUnsupported("no nearest search by QUANTITY");
    TIBRowvaneKV& ds = *F->DataSet;
    ds.SetKey(true);
    if (FTarget.Order == TBenchOrder::Id)
        ds.FieldByName("ID")->SetAsInteger(Key.Id);
    else
        ds.FieldByName("DESCRIPTION")->SetAsString(Key.Description);
    ds.GotoKey(false, false, -1, true);
}

void TDatasetBenchSide::FindByKey(int Id) {
    TIBRowvaneKV& ds = *F->DataSet;
    ds.SetKey(true);
    ds.FieldByName("ID")->SetAsInteger(Id);
    ds.GotoKey(true, true, -1, true);
}

Int64 TDatasetBenchSide::Scan() {
    TIBRowvaneKV& ds = *F->DataSet;
    ds.First();
    Int64 rows = ds.IsEmpty() ? 0 : 1;
    for (;;) {
        ds.Next();
        if (ds.Eof()) break;
        ++rows;
    }
    return rows;
}

void TDatasetBenchSide::EditPost(int PriceCents) {
    TIBRowvaneKV& ds = *F->DataSet;
    ds.Edit();
    ds.FieldByName("PRICE")->SetAsCurrency(Currency::FromRaw(static_cast<Int64>(PriceCents) * 100));
    ds.Post();
}

void TDatasetBenchSide::Restart() {
    if (F->Tr->GetInTransaction()) F->Tr->Rollback();
    F->Tr->StartTransaction();
}

TBenchWindow TDatasetBenchSide::Window() {
    TBenchWindow ids;
    TDataLink& link = *F->Link;
    int active = link.GetActiveRecord();
    for (int i = 0; i < link.GetRecordCount(); ++i) {
        link.SetActiveRecord(i);
        ids.push_back(F->Id->GetAsInteger());
    }
    if (link.GetRecordCount() > 0) link.SetActiveRecord(active);
    return ids;
}

Int64 TDatasetBenchSide::AttachmentId() {
    TIBSQL q(nullptr);
    q.SetDatabase(F->Db.get());
    q.SetTransaction(F->Tr.get());
    q.GetSQL()->SetText("SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
    q.ExecQuery();
    Int64 id = q.GetEOF() ? 0 : q.GetFields(0)->GetAsInt64();
    q.Close();
    return id;
}
