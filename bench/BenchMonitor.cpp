#include "BenchMonitor.h"

#include "IBDatabase.h"
#include "IBSQL.h"

struct TEngineMonitor::TImpl {
    TIBDatabase Db{nullptr};
    TIBTransaction Tr{nullptr};
    TIBSQL Q{nullptr};
};

TEngineMonitor::TEngineMonitor(const TBenchTarget& Target) : F(std::make_unique<TImpl>()) {
    F->Db.SetDatabaseName(Target.DatabaseName);
    F->Db.SetLoginPrompt(false);
    F->Db.GetParams()->Add("USER_NAME=" + Target.User);
    F->Db.GetParams()->Add("PASSWORD=" + Target.Password);
    F->Db.Open();
    F->Tr.SetDefaultDatabase(&F->Db);
    F->Q.SetDatabase(&F->Db);
    F->Q.SetTransaction(&F->Tr);
    F->Q.GetSQL()->SetText("SELECT R.MON$RECORD_SEQ_READS + R.MON$RECORD_IDX_READS, I.MON$PAGE_FETCHES\n"
                           "FROM MON$ATTACHMENTS A\n"
                           "JOIN MON$RECORD_STATS R ON R.MON$STAT_ID = A.MON$STAT_ID\n"
                           "JOIN MON$IO_STATS I ON I.MON$STAT_ID = A.MON$STAT_ID\n"
                           "WHERE A.MON$ATTACHMENT_ID = :ID");
}

TEngineMonitor::~TEngineMonitor() = default;

TEngineWork TEngineMonitor::Read(Int64 AttachmentId) {
    // A new snapshot of the monitoring tables in every transaction.
    F->Tr.StartTransaction();
    TEngineWork w;
    try {
        F->Q.ParamByName("ID")->SetAsInt64(AttachmentId);
        F->Q.ExecQuery();
        if (F->Q.GetEOF())
            throw Exception("no attachment " + IntToStr(AttachmentId) + " in the monitoring tables");
        w.RecordReads = F->Q.GetFields(0)->GetAsInt64();
        w.PageFetches = F->Q.GetFields(1)->GetAsInt64();
        F->Q.Close();
        F->Tr.Commit();
    } catch (...) {
        F->Tr.Rollback();
        throw;
    }
    return w;
}
