#include "IBDatabase.h"

#include "IBSQL.h"

#include <cstring>

KV_PUBLISHED_METACLASS(TIBDatabase, nullptr)
KV_PUBLISHED_METACLASS(TIBTransaction, nullptr)

void TIBDatabase::Publish(TPublisher<TIBDatabase>& P) {
    using T = TIBDatabase;
    P.Prop("AllowStreamedConnected", &T::GetAllowStreamedConnected, &T::SetAllowStreamedConnected)
        .Default(true);
    P.Prop("Connected", &T::GetConnected, &T::SetConnected).Default(false);
    P.Prop("DatabaseName", &T::GetDatabaseName, &T::SetDatabaseName);
    P.Prop("DefaultTransaction", &T::GetDefaultTransaction, &T::SetDefaultTransaction);
    P.Prop("IdleTimer", &T::GetIdleTimer, &T::SetIdleTimer).Default(0);
    P.Prop("LoginPrompt", &T::GetLoginPrompt, &T::SetLoginPrompt).Default(true);
    P.Prop("Params", &T::GetParams, &T::SetParams);
    P.Prop("SQLDialect", &T::GetSQLDialect, &T::SetSQLDialect).Default(3);
    P.Prop("AfterConnect", &T::AfterConnect, &T::AfterConnect);
    P.Prop("AfterDisconnect", &T::AfterDisconnect, &T::AfterDisconnect);
    P.Prop("BeforeConnect", &T::BeforeConnect, &T::BeforeConnect);
    P.Prop("BeforeDisconnect", &T::BeforeDisconnect, &T::BeforeDisconnect);
    P.Prop("OnLogin", &T::OnLogin, &T::OnLogin);
}

void TIBTransaction::Publish(TPublisher<TIBTransaction>& P) {
    using T = TIBTransaction;
    P.Prop("Active", &T::GetActive, &T::SetActive).Default(false);
    P.Prop("AutoStopAction", &T::GetAutoStopAction, &T::SetAutoStopAction).Default(saNone);
    P.Prop("DefaultAction", &T::GetDefaultAction, &T::SetDefaultAction).Default(TACommit);
    P.Prop("DefaultDatabase", &T::GetDefaultDatabase, &T::SetDefaultDatabase);
    P.Prop("Params", &T::GetParams, &T::SetParams);
}

namespace {

// Form descriptions name these classes: known by name while this code is
// loaded, and gone from the registry with it.
class TIBDatabaseClassRegistration {
public:
    TIBDatabaseClassRegistration() {
        RegisterClass(&TIBDatabase::ClassInfo());
        RegisterClass(&TIBTransaction::ClassInfo());
    }
    ~TIBDatabaseClassRegistration() {
        UnRegisterClass(&TIBTransaction::ClassInfo());
        UnRegisterClass(&TIBDatabase::ClassInfo());
    }
    TIBDatabaseClassRegistration(const TIBDatabaseClassRegistration&) = delete;
    TIBDatabaseClassRegistration& operator=(const TIBDatabaseClassRegistration&) = delete;
};

const TIBDatabaseClassRegistration IBDatabaseClassRegistration;

} // namespace

// ---------------------------------------------------------------------------
// Parameter blocks

namespace {

struct TParamName {
    const char* Name;
    int Code;
};

// Attachment parameters that carry text.
const TParamName DPBStrings[] = {
    {"user_name", isc_dpb_user_name},
    {"password", isc_dpb_password},
    {"password_enc", isc_dpb_password_enc},
    {"sql_role_name", isc_dpb_sql_role_name},
    {"lc_ctype", isc_dpb_lc_ctype},
    {"lc_messages", isc_dpb_lc_messages},
    {"set_db_charset", isc_dpb_set_db_charset},
    {"working_directory", isc_dpb_working_directory},
};

// Attachment parameters that carry a number.
const TParamName DPBNumbers[] = {
    {"num_buffers", isc_dpb_num_buffers},
    {"sql_dialect", isc_dpb_sql_dialect},
    {"force_write", isc_dpb_force_write},
    {"no_reserve", isc_dpb_no_reserve},
    {"connect_timeout", isc_dpb_connect_timeout},
    {"dummy_packet_interval", isc_dpb_dummy_packet_interval},
    {"sweep_interval", isc_dpb_sweep_interval},
    {"set_page_buffers", isc_dpb_set_page_buffers},
    {"set_db_readonly", isc_dpb_set_db_readonly},
    {"set_db_sql_dialect", isc_dpb_set_db_sql_dialect},
    {"no_garbage_collect", isc_dpb_no_garbage_collect},
    {"no_db_triggers", isc_dpb_no_db_triggers},
};

const TParamName TPBFlags[] = {
    {"consistency", isc_tpb_consistency},
    {"concurrency", isc_tpb_concurrency},
    {"shared", isc_tpb_shared},
    {"protected", isc_tpb_protected},
    {"exclusive", isc_tpb_exclusive},
    {"wait", isc_tpb_wait},
    {"nowait", isc_tpb_nowait},
    {"read", isc_tpb_read},
    {"write", isc_tpb_write},
    {"verb_time", isc_tpb_verb_time},
    {"commit_time", isc_tpb_commit_time},
    {"ignore_limbo", isc_tpb_ignore_limbo},
    {"read_committed", isc_tpb_read_committed},
    {"autocommit", isc_tpb_autocommit},
    {"rec_version", isc_tpb_rec_version},
    {"no_rec_version", isc_tpb_no_rec_version},
    {"restart_requests", isc_tpb_restart_requests},
    {"no_auto_undo", isc_tpb_no_auto_undo},
};

const TParamName TPBTables[] = {
    {"lock_read", isc_tpb_lock_read},
    {"lock_write", isc_tpb_lock_write},
};

template <size_t N> int FindParam(const TParamName (&Table)[N], const AnsiString& Name) {
    for (const auto& p : Table)
        if (Name == p.Name) return p.Code;
    return -1;
}

// Lower-cased and trimmed, without the optional "isc_dpb_"/"isc_tpb_" prefix.
AnsiString ParamName(const AnsiString& Raw, const char* Prefix) {
    AnsiString name = LowerCase(Trim(Raw));
    size_t n = std::strlen(Prefix);
    if (name.compare(0, n, Prefix) == 0) name.erase(0, n);
    return name;
}

void AppendText(AnsiString& Block, int Code, const AnsiString& Value, const AnsiString& Name,
                TIBClientError Err) {
    if (Value.size() > 255) IBError(Err, "The value of parameter " + Name + " is longer than 255 bytes");
    Block += static_cast<char>(Code);
    Block += static_cast<char>(Value.size());
    Block += Value;
}

void AppendInt(AnsiString& Block, int Code, Int64 Value) {
    Block += static_cast<char>(Code);
    Block += static_cast<char>(4);
    for (int i = 0; i < 4; ++i)
        Block += static_cast<char>((static_cast<uint64_t>(Value) >> (8 * i)) & 0xFF);
}

} // namespace

AnsiString GenerateDPB(const TStrings& Params) {
    AnsiString dpb(1, static_cast<char>(isc_dpb_version1));
    for (int i = 0; i < Params.GetCount(); ++i) {
        AnsiString line = Params.Get(i);
        size_t eq = line.find('=');
        if (eq == AnsiString::npos) continue; // not a parameter line
        AnsiString name = ParamName(line.substr(0, eq), "isc_dpb_");
        if (name.empty()) continue;
        AnsiString value = line.substr(eq + 1);
        int code = FindParam(DPBStrings, name);
        if (code >= 0) {
            AppendText(dpb, code, value, name, TIBClientError::DPBConstantUnknown);
            continue;
        }
        code = FindParam(DPBNumbers, name);
        if (code >= 0) {
            Int64 n = 0;
            if (!TryStrToInt64(Trim(value), n) || n < INT32_MIN || n > INT32_MAX)
                IBError(TIBClientError::DPBConstantUnknown,
                        "The value '" + value + "' of parameter " + name + " is not an integer");
            AppendInt(dpb, code, n);
            continue;
        }
        IBError(TIBClientError::DPBConstantUnknown, "DPB constant (isc_dpb_" + name + ") is unknown");
    }
    return dpb;
}

AnsiString GenerateTPB(const TStrings& Params) {
    AnsiString tpb;
    for (int i = 0; i < Params.GetCount(); ++i) {
        AnsiString line = Params.Get(i);
        size_t eq = line.find('=');
        AnsiString name = ParamName(eq == AnsiString::npos ? line : line.substr(0, eq), "isc_tpb_");
        if (name.empty()) continue;
        if (tpb.empty()) tpb += static_cast<char>(isc_tpb_version3);
        int code = FindParam(TPBFlags, name);
        if (code >= 0) {
            if (eq != AnsiString::npos)
                IBError(TIBClientError::TPBConstantUnknown,
                        "TPB constant (isc_tpb_" + name + ") takes no value");
            tpb += static_cast<char>(code);
            continue;
        }
        code = FindParam(TPBTables, name);
        if (code >= 0) {
            AnsiString table = eq == AnsiString::npos ? AnsiString() : Trim(line.substr(eq + 1));
            if (table.empty())
                IBError(TIBClientError::TPBConstantUnknown,
                        "TPB constant (isc_tpb_" + name + ") needs a table name");
            AppendText(tpb, code, table, name, TIBClientError::TPBConstantUnknown);
            continue;
        }
        IBError(TIBClientError::TPBConstantUnknown, "TPB constant (isc_tpb_" + name + ") is unknown");
    }
    return tpb;
}

// ---------------------------------------------------------------------------
// TIBBase

TIBBase::TIBBase(TObject* AOwner) : FOwner(AOwner) {}

TIBBase::~TIBBase() {
    SetDatabase(nullptr);
    SetTransaction(nullptr);
}

void TIBBase::SetDatabase(TIBDatabase* Value) {
    if (Value == FDatabase) return;
    if (FDatabase) FDatabase->RemoveSQLObject(this);
    FDatabase = Value;
    if (Value) {
        Value->AddSQLObject(this);
        if (!FTransaction) SetTransaction(Value->GetDefaultTransaction());
    }
}

void TIBBase::SetTransaction(TIBTransaction* Value) {
    if (Value == FTransaction) return;
    if (FTransaction) FTransaction->RemoveSQLObject(this);
    FTransaction = Value;
    if (Value) {
        Value->AddSQLObject(this);
        if (!FDatabase) SetDatabase(Value->GetDefaultDatabase());
    }
}

isc_db_handle* TIBBase::GetDBHandle() const {
    CheckDatabase();
    return FDatabase->GetHandlePtr();
}

isc_tr_handle* TIBBase::GetTRHandle() const {
    CheckTransaction();
    return FTransaction->GetHandlePtr();
}

void TIBBase::CheckDatabase() const {
    if (!FDatabase) IBError(TIBClientError::DatabaseNotAssigned, "Database not assigned");
    FDatabase->CheckActive();
}

void TIBBase::CheckTransaction() const {
    if (!FTransaction) IBError(TIBClientError::TransactionNotAssigned, "Transaction not assigned");
    FTransaction->CheckInTransaction();
}

void TIBBase::DoBeforeDatabaseDisconnect() {
    if (BeforeDatabaseDisconnect) BeforeDatabaseDisconnect(this);
}

void TIBBase::DoAfterDatabaseDisconnect() {
    if (AfterDatabaseDisconnect) AfterDatabaseDisconnect(this);
}

void TIBBase::DoDatabaseFree() {
    // Unlinked whatever the handler does: the other side is going away.
    try {
        if (OnDatabaseFree) OnDatabaseFree(this);
    } catch (...) {
        SetDatabase(nullptr);
        throw;
    }
    SetDatabase(nullptr);
}

void TIBBase::DoBeforeTransactionEnd() {
    if (BeforeTransactionEnd) BeforeTransactionEnd(this);
}

void TIBBase::DoAfterTransactionEnd() {
    if (AfterTransactionEnd) AfterTransactionEnd(this);
}

void TIBBase::DoTransactionFree() {
    // Unlinked whatever the handler does: the other side is going away.
    try {
        if (OnTransactionFree) OnTransactionFree(this);
    } catch (...) {
        SetTransaction(nullptr);
        throw;
    }
    SetTransaction(nullptr);
}

// ---------------------------------------------------------------------------
// TIBDatabase

TIBDatabase::TIBDatabase(TComponent* AOwner) : TComponent(AOwner) {
    CheckIBLoaded();
    FParams = std::make_unique<TStringList>();
    FParams->OnChanging = [this](TObject* Sender) { ParamsChanging(Sender); };
}

TIBDatabase::~TIBDatabase() {
    Destroying();
    if (FHandle) ForceClose();
    FComputedQuery.reset();
    FInternalTransaction.reset();
    FSQLObjects.ForEach([](TIBBase* b) {
        try {
            b->DoDatabaseFree();
        } catch (...) {
            // A destructor must not throw; the link is dropped all the same.
        }
    });
    FSQLObjects.Clear();
    FTransactions.ForEach([this](TIBTransaction* t) { t->RemoveDatabase(this); });
    FTransactions.Clear();
    FDefaultTransaction = nullptr;
}

void TIBDatabase::ParamsChanging(TObject*) {
    if (GetConnected())
        IBError(TIBClientError::DatabaseOpen, "Cannot change the parameters of a connected database");
}

void TIBDatabase::SetDatabaseName(const AnsiString& Value) {
    if (Value == FDatabaseName) return;
    CheckInactive();
    FDatabaseName = Value;
}

void TIBDatabase::SetSQLDialect(int Value) {
    if (Value < 1 || Value > 3)
        IBError(TIBClientError::InvalidSQLDialect, "SQL dialect " + IntToStr(Value) + " is invalid");
    if (GetConnected() && Value > FDBSQLDialect)
        IBError(TIBClientError::InvalidSQLDialect, "SQL dialect " + IntToStr(Value) +
                                                       " is above the database's dialect " +
                                                       IntToStr(FDBSQLDialect));
    FSQLDialect = Value;
}

void TIBDatabase::SetDefaultTransaction(TIBTransaction* Value) {
    if (Value == FDefaultTransaction) return;
    if (FDefaultTransaction) FDefaultTransaction->RemoveFreeNotification(this);
    FDefaultTransaction = Value;
    if (Value) {
        Value->FreeNotification(this);
        Value->AddDatabase(this);
    }
}

void TIBDatabase::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDefaultTransaction) FDefaultTransaction = nullptr;
}

void TIBDatabase::SetConnected(bool Value) {
    if (IsLoading()) {
        FStreamedConnected = Value;
        return;
    }
    if (Value == GetConnected()) return;
    if (Value)
        DoConnect();
    else
        InternalClose(false);
}

void TIBDatabase::Loaded() {
    TComponent::Loaded();
    if (FStreamedConnected && FAllowStreamedConnected) Open();
    FStreamedConnected = false;
}

void TIBDatabase::CheckActive() const {
    if (!FHandle) IBError(TIBClientError::DatabaseClosed, "Database " + FDatabaseName + " is not connected");
}

void TIBDatabase::CheckInactive() const {
    if (FHandle) IBError(TIBClientError::DatabaseOpen, "Database " + FDatabaseName + " is connected");
}

void TIBDatabase::CheckDatabaseName() const {
    if (Trim(FDatabaseName).empty()) IBError(TIBClientError::DatabaseNameMissing, "Database name is missing");
}

void TIBDatabase::DoConnect() {
    CheckInactive();
    CheckDatabaseName();
    if (BeforeConnect) BeforeConnect(this);
    TStringList params;
    params.Assign(FParams.get());
    if (FLoginPrompt && OnLogin) OnLogin(this, &params);
    AnsiString dpb = GenerateDPB(params);
    CheckEmbeddedAccess(FDatabaseName);
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = 0;
    if (lib.isc_attach_database(status, 0, FDatabaseName.c_str(), &handle, static_cast<short>(dpb.size()),
                                dpb.data())) {
        if (handle) lib.isc_detach_database(status, &handle);
        IBDataBaseError(status);
    }
    FHandle = handle;
    try {
        ReadDialect();
    } catch (...) {
        ForceClose();
        throw;
    }
    if (AfterConnect) AfterConnect(this);
}

void TIBDatabase::ReadDialect() {
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    char item = isc_info_db_sql_dialect;
    char result[32] = {};
    IBCheck(lib.isc_database_info(status, &FHandle, 1, &item, sizeof result, result), status);
    FDBSQLDialect = 1; // older databases do not report one
    if (result[0] == isc_info_db_sql_dialect) {
        int len = isc_vax_integer(result + 1, 2);
        FDBSQLDialect = isc_vax_integer(result + 3, static_cast<short>(len));
    }
    if (FSQLDialect > FDBSQLDialect) FSQLDialect = FDBSQLDialect;
}

void TIBDatabase::TellBeforeDisconnect(bool Force) {
    if (BeforeDisconnect && !Force) BeforeDisconnect(this);
    FSQLObjects.ForEach([Force](TIBBase* b) {
        if (!Force) {
            b->DoBeforeDatabaseDisconnect();
            return;
        }
        try {
            b->DoBeforeDatabaseDisconnect();
        } catch (...) {
        }
    });
    FTransactions.ForEach([this, Force](TIBTransaction* t) { t->BeforeDatabaseDisconnect(this, Force); });
}

void TIBDatabase::TellAfterDisconnect() {
    FSQLObjects.ForEach([](TIBBase* b) { b->DoAfterDatabaseDisconnect(); });
}

void TIBDatabase::InternalClose(bool Force) {
    if (!FHandle) return;
    TellBeforeDisconnect(Force);
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    if (lib.isc_detach_database(status, &FHandle) && !Force) IBDataBaseError(status);
    FHandle = 0;
    FDBSQLDialect = 0;
    if (Force) {
        try {
            TellAfterDisconnect();
        } catch (...) {
        }
        return;
    }
    TellAfterDisconnect();
    if (AfterDisconnect) AfterDisconnect(this);
}

void TIBDatabase::ForceClose() {
    InternalClose(true);
}

void TIBDatabase::CreateDatabase() {
    CheckInactive();
    CheckDatabaseName();
    // Quotes inside the name are doubled so the name stays one literal.
    AnsiString sql = "CREATE DATABASE " + QuotedStr(FDatabaseName) + " " + FParams->GetText();
    if (sql.size() > 65535)
        IBError(TIBClientError::ValueOutOfRange, "The CREATE DATABASE statement is too long");
    CheckEmbeddedAccess(FDatabaseName);
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = 0;
    isc_tr_handle tr = 0;
    if (lib.isc_dsql_execute_immediate(status, &handle, &tr, static_cast<unsigned short>(sql.size()),
                                       sql.c_str(), static_cast<unsigned short>(FSQLDialect), nullptr)) {
        if (handle) lib.isc_detach_database(status, &handle);
        IBDataBaseError(status);
    }
    FHandle = handle;
    try {
        ReadDialect();
    } catch (...) {
        ForceClose();
        throw;
    }
}

void TIBDatabase::DropDatabase() {
    CheckActive();
    TellBeforeDisconnect(false);
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    if (lib.isc_drop_database(status, &FHandle)) IBDataBaseError(status);
    FHandle = 0;
    FDBSQLDialect = 0;
    TellAfterDisconnect();
}

void TIBDatabase::AddTransaction(TIBTransaction* Value) {
    if (Value && FTransactions.IndexOf(Value) < 0) FTransactions.Add(Value);
}

void TIBDatabase::RemoveTransaction(TIBTransaction* Value) {
    FTransactions.Remove(Value);
    if (Value == FDefaultTransaction) {
        FDefaultTransaction->RemoveFreeNotification(this);
        FDefaultTransaction = nullptr;
    }
}

bool TIBDatabase::Has_COMPUTED_BLR(const AnsiString& Relation, const AnsiString& Field) {
    CheckActive();
    if (!FInternalTransaction) {
        FInternalTransaction = std::make_unique<TIBTransaction>(nullptr);
        FInternalTransaction->GetParams()->Add("read_committed");
        FInternalTransaction->GetParams()->Add("rec_version");
        FInternalTransaction->GetParams()->Add("nowait");
        FInternalTransaction->GetParams()->Add("read");
        FInternalTransaction->SetDefaultDatabase(this);
    }
    // A read-only read-committed transaction sees every commit and holds
    // back no garbage collection: it stays active from the first question to
    // the disconnect (which ends it), so the columns of every dataset that opens
    // cost no transaction each.
    TIBTransaction& tr = *FInternalTransaction;
    if (!tr.GetInTransaction()) tr.StartTransaction();
    bool computed = false;
    {
        // Asked once per column of every dataset that opens: the statement is
        // prepared once and loses its handle when the database disconnects.
        if (!FComputedQuery) {
            FComputedQuery = std::make_unique<TIBSQL>(nullptr);
            FComputedQuery->SetDatabase(this);
            FComputedQuery->SetTransaction(&tr);
            FComputedQuery->GetSQL()->SetText(
                "SELECT F.RDB$COMPUTED_BLR FROM RDB$RELATION_FIELDS R, RDB$FIELDS F"
                " WHERE R.RDB$RELATION_NAME = :RELATION AND R.RDB$FIELD_NAME = :FIELDNAME"
                " AND R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME");
        }
        TIBSQL& query = *FComputedQuery;
        if (query.GetOpen()) query.Close();
        query.Prepare();
        query.GetSQLParams()->GetXSQLVAR(0)->SetAsString(Relation);
        query.GetSQLParams()->GetXSQLVAR(1)->SetAsString(Field);
        query.ExecQuery();
        computed = !query.GetEOF() && !query.GetFields(0)->GetIsNull();
        query.Close();
    }
    return computed;
}

// ---------------------------------------------------------------------------
// TIBTransaction

namespace {
// The retaining actions would leave the transaction open; where it has to
// end, they end it the same way without retaining.
TTransactionAction HardAction(TTransactionAction Action) {
    switch (Action) {
    case TACommitRetaining:
        return TACommit;
    case TARollbackRetaining:
        return TARollback;
    default:
        return Action;
    }
}
} // namespace

TIBTransaction::TIBTransaction(TComponent* AOwner) : TComponent(AOwner) {
    CheckIBLoaded();
    FParams = std::make_unique<TStringList>();
    FParams->OnChanging = [this](TObject* Sender) { ParamsChanging(Sender); };
}

TIBTransaction::~TIBTransaction() {
    Destroying();
    if (FHandle) {
        try {
            EndTransaction(HardAction(FDefaultAction), true);
        } catch (...) {
        }
    }
    FSQLObjects.ForEach([](TIBBase* b) {
        try {
            b->DoTransactionFree();
        } catch (...) {
            // A destructor must not throw; the link is dropped all the same.
        }
    });
    FSQLObjects.Clear();
    FDatabases.ForEach([this](TIBDatabase* d) { d->RemoveTransaction(this); });
    FDatabases.Clear();
    FDefaultDatabase = nullptr;
}

void TIBTransaction::ParamsChanging(TObject*) {
    if (GetInTransaction())
        IBError(TIBClientError::InTransaction, "Cannot change the parameters of an active transaction");
}

void TIBTransaction::SetActive(bool Value) {
    if (IsLoading()) {
        FStreamedActive = Value;
        return;
    }
    if (Value && !GetInTransaction())
        StartTransaction();
    else if (!Value && GetInTransaction())
        Rollback();
}

void TIBTransaction::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive && !GetInTransaction()) StartTransaction();
    FStreamedActive = false;
}

void TIBTransaction::SetDefaultDatabase(TIBDatabase* Value) {
    if (Value == FDefaultDatabase) return;
    CheckNotInTransaction();
    if (FDefaultDatabase) RemoveDatabase(FDefaultDatabase);
    FDefaultDatabase = Value;
    if (Value) {
        AddDatabase(Value);
        // Links that have no database yet take the new default.
        FSQLObjects.ForEach([Value](TIBBase* b) {
            if (!b->GetDatabase()) b->SetDatabase(Value);
        });
    }
}

void TIBTransaction::AddDatabase(TIBDatabase* Value) {
    if (!Value || FDatabases.IndexOf(Value) >= 0) return;
    FDatabases.Add(Value);
    Value->AddTransaction(this);
    if (!FDefaultDatabase) FDefaultDatabase = Value;
}

void TIBTransaction::RemoveDatabase(TIBDatabase* Value) {
    if (!Value || FDatabases.IndexOf(Value) < 0) return;
    FDatabases.Remove(Value);
    if (Value == FDefaultDatabase) FDefaultDatabase = nullptr;
    Value->RemoveTransaction(this);
}

void TIBTransaction::CheckInTransaction() const {
    if (!FHandle) IBError(TIBClientError::NotInTransaction, "Transaction is not active");
}

void TIBTransaction::CheckNotInTransaction() const {
    if (FHandle) IBError(TIBClientError::InTransaction, "Transaction is active");
}

namespace {
// One entry of the transaction's list of databases, as isc_start_multiple reads it.
struct TTransactionEntry {
    isc_db_handle* Database;
    int TPBLength;
    const char* TPB;
};
} // namespace

void TIBTransaction::StartTransaction() {
    CheckNotInTransaction();
    if (FDatabases.Count() == 0)
        IBError(TIBClientError::NoDatabasesInTransaction, "No databases are listed in the transaction");
    AnsiString tpb = GenerateTPB(*FParams);
    std::vector<TTransactionEntry> entries;
    FDatabases.ForEach([&](TIBDatabase* d) {
        d->CheckActive();
        entries.push_back(
            {d->GetHandlePtr(), static_cast<int>(tpb.size()), tpb.empty() ? nullptr : tpb.data()});
    });
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    isc_tr_handle handle = 0;
    IBCheck(lib.isc_start_multiple(status, &handle, static_cast<short>(entries.size()), entries.data()),
            status);
    FHandle = handle;
}

void TIBTransaction::Commit() {
    EndTransaction(TACommit, false);
}
void TIBTransaction::Rollback() {
    EndTransaction(TARollback, false);
}
void TIBTransaction::CommitRetaining() {
    EndTransaction(TACommitRetaining, false);
}
void TIBTransaction::RollbackRetaining() {
    EndTransaction(TARollbackRetaining, false);
}

void TIBTransaction::EndTransaction(TTransactionAction Action, bool Force) {
    CheckInTransaction();
    TIBClientLibrary& lib = GetGDSLibrary();
    ISC_STATUS_ARRAY status = {};
    switch (Action) {
    case TACommitRetaining:
        IBCheck(lib.isc_commit_retaining(status, &FHandle), status);
        return;
    case TARollbackRetaining:
        IBCheck(lib.isc_rollback_retaining(status, &FHandle), status);
        return;
    case TACommit:
    case TARollback:
        break;
    }
    FSQLObjects.ForEach([Force](TIBBase* b) {
        if (!Force) {
            b->DoBeforeTransactionEnd();
            return;
        }
        try {
            b->DoBeforeTransactionEnd();
        } catch (...) {
        }
    });
    if (!FHandle) return; // a link ended it meanwhile
    ISC_STATUS failed = Action == TARollback ? lib.isc_rollback_transaction(status, &FHandle)
                                             : lib.isc_commit_transaction(status, &FHandle);
    if (failed) {
        if (!Force) IBDataBaseError(status); // still active: the caller may retry or roll back
        if (FHandle) lib.isc_rollback_transaction(status, &FHandle);
    }
    FHandle = 0;
    FSQLObjects.ForEach([Force](TIBBase* b) {
        if (!Force) {
            b->DoAfterTransactionEnd();
            return;
        }
        try {
            b->DoAfterTransactionEnd();
        } catch (...) {
        }
    });
}

void TIBTransaction::BeforeDatabaseDisconnect(TIBDatabase*, bool Force) {
    if (GetInTransaction()) EndTransaction(HardAction(FDefaultAction), Force);
}

void TIBTransaction::CheckAutoStop() {
    if (FAutoStopAction == saNone || !GetInTransaction()) return;
    bool inUse = false;
    FSQLObjects.ForEach([&](TIBBase* b) {
        if (b->OnGetOwnerActive && b->OnGetOwnerActive()) inUse = true;
    });
    if (inUse) return;
    switch (FAutoStopAction) {
    case saRollback:
        EndTransaction(TARollback, false);
        break;
    case saCommit:
        EndTransaction(TACommit, false);
        break;
    case saRollbackRetaining:
        EndTransaction(TARollbackRetaining, false);
        break;
    case saCommitRetaining:
        EndTransaction(TACommitRetaining, false);
        break;
    case saNone:
        break;
    }
}
