// Database connection, transaction and the link through which statements,
// blob streams and datasets hear about both.
//
// A TIBDatabase knows every link (TIBBase) that names it and every
// transaction that lists it; a TIBTransaction knows its databases and its
// links. Before a database disconnects it tells its links (datasets close,
// statements free their handles) and then ends its open transactions with
// their DefaultAction. Commit and Rollback tell the transaction's links
// before the transaction ends; destroying a transaction tells them too.
#pragma once

#include "ClassReg.h"
#include "Classes.h"
#include "IB.h"

#include <functional>
#include <memory>
#include <vector>

class TIBDatabase;
class TIBTransaction;
class TIBSQL;

enum TTransactionAction { TARollback, TACommit, TARollbackRetaining, TACommitRetaining };
enum TAutoStopAction { saNone, saRollback, saCommit, saRollbackRetaining, saCommitRetaining };

// The link of one user (statement, blob stream, dataset) to a database and a
// transaction. It registers itself with both and passes their events on to
// its owner; it owns nothing.
class TIBBase : public TObject {
public:
    explicit TIBBase(TObject* AOwner);
    ~TIBBase() override;

    TObject* GetOwner() const { return FOwner; }
    TIBDatabase* GetDatabase() const { return FDatabase; }
    // Also takes the database's default transaction when none is set.
    void SetDatabase(TIBDatabase* Value);
    TIBTransaction* GetTransaction() const { return FTransaction; }
    // Also takes the transaction's default database when none is set.
    void SetTransaction(TIBTransaction* Value);

    isc_db_handle* GetDBHandle() const;
    isc_tr_handle* GetTRHandle() const;

    // A database is assigned and connected / a transaction is assigned and active.
    void CheckDatabase() const;
    void CheckTransaction() const;

    // Called by the database and the transaction.
    virtual void DoBeforeDatabaseDisconnect();
    virtual void DoAfterDatabaseDisconnect();
    virtual void DoDatabaseFree();
    virtual void DoBeforeTransactionEnd();
    virtual void DoAfterTransactionEnd();
    virtual void DoTransactionFree();

    // Events; the sender is this link.
    TNotifyEvent OnDatabaseFree;
    TNotifyEvent BeforeDatabaseDisconnect;
    TNotifyEvent AfterDatabaseDisconnect;
    TNotifyEvent OnTransactionFree;
    TNotifyEvent BeforeTransactionEnd;
    TNotifyEvent AfterTransactionEnd;
    // Whether the owner keeps the transaction in use (an open dataset); the
    // transaction's automatic stop waits while any link answers true.
    std::function<bool()> OnGetOwnerActive;

private:
    TObject* FOwner;
    TIBDatabase* FDatabase = nullptr;
    TIBTransaction* FTransaction = nullptr;
};

// Slots of borrowed pointers: removal empties a slot, so a list can be walked
// by index while the objects told unregister themselves.
template <class T> class TIBLinkList {
public:
    int Add(T* Item) {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (!FItems[i]) {
                FItems[i] = Item;
                return static_cast<int>(i);
            }
        FItems.push_back(Item);
        return static_cast<int>(FItems.size()) - 1;
    }
    void Remove(T* Item) {
        for (auto& p : FItems)
            if (p == Item) p = nullptr;
    }
    int IndexOf(const T* Item) const {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (Item && FItems[i] == Item) return static_cast<int>(i);
        return -1;
    }
    int Slots() const { return static_cast<int>(FItems.size()); }
    T* Slot(int Index) const { return FItems[static_cast<size_t>(Index)]; }
    int Count() const {
        int n = 0;
        for (T* p : FItems)
            n += p != nullptr;
        return n;
    }
    // The Index-th present item (0-based), or nullptr.
    T* Item(int Index) const {
        for (T* p : FItems)
            if (p && Index-- == 0) return p;
        return nullptr;
    }
    template <class F> void ForEach(F f) const {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (T* p = FItems[i]) f(p);
    }
    void Clear() { FItems.clear(); }

private:
    std::vector<T*> FItems;
};

using TIBLoginEvent = std::function<void(TIBDatabase* Database, TStrings* LoginParams)>;

// One attachment to a database: DatabaseName is a path (opened through the
// embedded engine) or host:path (through the server). Params lines become
// the attachment's parameter block; lines without "=" are not parameters.
class TIBDatabase : public TComponent {
public:
    KV_METACLASS_DECL
    explicit TIBDatabase(TComponent* AOwner);
    ~TIBDatabase() override;

    const AnsiString& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const AnsiString& Value);
    TStrings* GetParams() const { return FParams.get(); }
    void SetParams(const TStrings* Value) { FParams->Assign(Value); }
    int GetSQLDialect() const { return FSQLDialect; }
    void SetSQLDialect(int Value);
    // The dialect of the connected database; 0 while disconnected.
    int GetDBSQLDialect() const { return FDBSQLDialect; }
    bool GetLoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool Value) { FLoginPrompt = Value; }
    TIBTransaction* GetDefaultTransaction() const { return FDefaultTransaction; }
    void SetDefaultTransaction(TIBTransaction* Value);
    // Stored for the form description; connections are not closed when idle.
    int GetIdleTimer() const { return FIdleTimer; }
    void SetIdleTimer(int Value) { FIdleTimer = Value; }
    bool GetAllowStreamedConnected() const { return FAllowStreamedConnected; }
    void SetAllowStreamedConnected(bool Value) { FAllowStreamedConnected = Value; }

    bool GetConnected() const { return FHandle != 0; }
    void SetConnected(bool Value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    // Disconnects whatever fails on the way; for destruction.
    void ForceClose();

    // Sends "CREATE DATABASE '<DatabaseName>' " followed by the Params lines,
    // each ended by a line break, in SQLDialect; afterwards the database is
    // connected to the new database.
    void CreateDatabase();
    // Removes the connected database's file; afterwards it is disconnected.
    void DropDatabase();

    void CheckActive() const;
    void CheckInactive() const;
    void CheckDatabaseName() const;
    // Whether a table's column is computed.
    bool Has_COMPUTED_BLR(const AnsiString& Relation, const AnsiString& Field);

    isc_db_handle GetHandle() const { return FHandle; }
    isc_db_handle* GetHandlePtr() { return &FHandle; }

    int GetTransactionCount() const { return FTransactions.Count(); }
    TIBTransaction* GetTransaction(int Index) const { return FTransactions.Item(Index); }
    int FindTransaction(const TIBTransaction* Value) const { return FTransactions.IndexOf(Value); }
    void AddTransaction(TIBTransaction* Value);
    void RemoveTransaction(TIBTransaction* Value);

    int GetSQLObjectCount() const { return FSQLObjects.Count(); }
    TIBBase* GetSQLObject(int Index) const { return FSQLObjects.Item(Index); }
    void AddSQLObject(TIBBase* Value) { FSQLObjects.Add(Value); }
    void RemoveSQLObject(TIBBase* Value) { FSQLObjects.Remove(Value); }

    void Loaded() override;

    TNotifyEvent BeforeConnect;
    TNotifyEvent AfterConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;
    // Called before connecting when LoginPrompt is set, with a copy of Params
    // that it may change; there is no login dialog of its own.
    TIBLoginEvent OnLogin;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void DoConnect();
    void InternalClose(bool Force);
    void TellBeforeDisconnect(bool Force);
    void TellAfterDisconnect();
    void ReadDialect();
    void ParamsChanging(TObject* Sender);

    AnsiString FDatabaseName;
    std::unique_ptr<TStringList> FParams;
    isc_db_handle FHandle = 0;
    int FSQLDialect = 3;
    int FDBSQLDialect = 0;
    bool FLoginPrompt = true;
    int FIdleTimer = 0;
    bool FAllowStreamedConnected = true;
    bool FStreamedConnected = false;
    TIBTransaction* FDefaultTransaction = nullptr;
    std::unique_ptr<TIBTransaction> FInternalTransaction;
    // Has_COMPUTED_BLR's statement, prepared at its first use for the connection.
    std::unique_ptr<TIBSQL> FComputedQuery;
    TIBLinkList<TIBTransaction> FTransactions;
    TIBLinkList<TIBBase> FSQLObjects;
};

// One transaction over one or more databases. Params names ("read_committed",
// "nowait", "rec_version", "concurrency", ...) become its parameter block;
// without Params the engine's default (concurrency, wait, write) applies.
class TIBTransaction : public TComponent {
public:
    KV_METACLASS_DECL
    explicit TIBTransaction(TComponent* AOwner);
    ~TIBTransaction() override;

    bool GetInTransaction() const { return FHandle != 0; }
    bool GetActive() const { return GetInTransaction(); }
    void SetActive(bool Value);
    TStrings* GetParams() const { return FParams.get(); }
    void SetParams(const TStrings* Value) { FParams->Assign(Value); }
    TIBDatabase* GetDefaultDatabase() const { return FDefaultDatabase; }
    void SetDefaultDatabase(TIBDatabase* Value);
    TTransactionAction GetDefaultAction() const { return FDefaultAction; }
    void SetDefaultAction(TTransactionAction Value) { FDefaultAction = Value; }
    TAutoStopAction GetAutoStopAction() const { return FAutoStopAction; }
    void SetAutoStopAction(TAutoStopAction Value) { FAutoStopAction = Value; }

    int GetDatabaseCount() const { return FDatabases.Count(); }
    TIBDatabase* GetDatabase(int Index) const { return FDatabases.Item(Index); }
    int FindDatabase(const TIBDatabase* Value) const { return FDatabases.IndexOf(Value); }
    void AddDatabase(TIBDatabase* Value);
    void RemoveDatabase(TIBDatabase* Value);

    void StartTransaction();
    // Commit and Rollback tell every link before the transaction ends.
    void Commit();
    void Rollback();
    void CommitRetaining();
    void RollbackRetaining();
    // Ends the transaction with AutoStopAction when that is not saNone and no
    // link's owner keeps it in use.
    void CheckAutoStop();
    void CheckInTransaction() const;
    void CheckNotInTransaction() const;

    isc_tr_handle GetHandle() const { return FHandle; }
    isc_tr_handle* GetHandlePtr() { return &FHandle; }

    int GetSQLObjectCount() const { return FSQLObjects.Count(); }
    TIBBase* GetSQLObject(int Index) const { return FSQLObjects.Item(Index); }
    void AddSQLObject(TIBBase* Value) { FSQLObjects.Add(Value); }
    void RemoveSQLObject(TIBBase* Value) { FSQLObjects.Remove(Value); }

    void Loaded() override;

private:
    friend class TIBDatabase;
    // Force: used when the transaction must end whatever happens (destruction,
    // a database that goes away); a failed commit then rolls back.
    void EndTransaction(TTransactionAction Action, bool Force);
    void BeforeDatabaseDisconnect(TIBDatabase* Database, bool Force);
    void ParamsChanging(TObject* Sender);

    std::unique_ptr<TStringList> FParams;
    isc_tr_handle FHandle = 0;
    TIBDatabase* FDefaultDatabase = nullptr;
    TTransactionAction FDefaultAction = TACommit;
    TAutoStopAction FAutoStopAction = saNone;
    bool FStreamedActive = false;
    TIBLinkList<TIBDatabase> FDatabases;
    TIBLinkList<TIBBase> FSQLObjects;
};

// The parameter blocks made from Params lines; unknown names raise.
AnsiString GenerateDPB(const TStrings& Params);
AnsiString GenerateTPB(const TStrings& Params);
