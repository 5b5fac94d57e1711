// The dataset component: construction, properties, following database and
// transaction, preparation, open and close, field definitions, the order
// columns and the main table.
#include "IBRowvaneKVInternal.h"

#include "TypInfo.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

KV_PUBLISHED_METACLASS(TIBRowvaneKV, &TDataSet::ClassInfo())

void TIBRowvaneKV::Publish(TPublisher<TIBRowvaneKV>& P) {
    using T = TIBRowvaneKV;
    P.Prop("Database", &T::GetDatabase, &T::SetDatabase);
    P.Prop("Transaction", &T::GetTransaction, &T::SetTransaction);
    P.Prop("SelectSQL", &T::GetSelectSQL, &T::SetSelectSQL);
    P.Prop("ModifySQL", &T::GetModifySQL, &T::SetModifySQL);
    P.Prop("InsertSQL", &T::GetInsertSQL, &T::SetInsertSQL);
    P.Prop("WhereClause", &T::GetWhereClause, &T::SetWhereClause).Stored(false);
    P.Prop("OrderItems", &T::GetOrderItems, &T::SetOrderItems);
    P.Prop("GeneratorFields", &T::GetGeneratorFields, &T::SetGeneratorFields);
    P.Prop("OrderItemId", &T::GetOrderItemId, &T::SetOrderItemId).Default(0);
    P.Prop("KeyColumns", &T::GetKeyColumns, &T::SetKeyColumns);
    P.Prop("MainTable", &T::GetMainTable, &T::SetMainTable);
    P.Prop("ReadOnly", &T::GetReadOnly, &T::SetReadOnly).Default(false);
    P.Prop("PessimisticLocking", &T::GetPessimisticLocking, &T::SetPessimisticLocking).Default(false);
    P.Prop("RefreshBeforeEdit", &T::GetRefreshBeforeEdit, &T::SetRefreshBeforeEdit).Default(false);
    // The framework's own, republished unchanged.
    P.Prop("Active", &TDataSet::GetActive, &TDataSet::SetActive).Default(false);
    P.Prop("AutoCalcFields", &TDataSet::GetAutoCalcFields, &TDataSet::SetAutoCalcFields).Default(true);
    P.Prop("Filtered", &TDataSet::GetFiltered, &TDataSet::SetFiltered).Default(false);
    P.Prop("AfterCancel", &TDataSet::AfterCancel, &TDataSet::AfterCancel);
    P.Prop("AfterClose", &TDataSet::AfterClose, &TDataSet::AfterClose);
    P.Prop("AfterDelete", &TDataSet::AfterDelete, &TDataSet::AfterDelete);
    P.Prop("AfterEdit", &TDataSet::AfterEdit, &TDataSet::AfterEdit);
    P.Prop("AfterInsert", &TDataSet::AfterInsert, &TDataSet::AfterInsert);
    P.Prop("AfterOpen", &TDataSet::AfterOpen, &TDataSet::AfterOpen);
    P.Prop("AfterPost", &TDataSet::AfterPost, &TDataSet::AfterPost);
    P.Prop("AfterRefresh", &TDataSet::AfterRefresh, &TDataSet::AfterRefresh);
    P.Prop("AfterScroll", &TDataSet::AfterScroll, &TDataSet::AfterScroll);
    P.Prop("BeforeCancel", &TDataSet::BeforeCancel, &TDataSet::BeforeCancel);
    P.Prop("BeforeClose", &TDataSet::BeforeClose, &TDataSet::BeforeClose);
    P.Prop("BeforeDelete", &TDataSet::BeforeDelete, &TDataSet::BeforeDelete);
    P.Prop("BeforeEdit", &TDataSet::BeforeEdit, &TDataSet::BeforeEdit);
    P.Prop("BeforeInsert", &TDataSet::BeforeInsert, &TDataSet::BeforeInsert);
    P.Prop("BeforeOpen", &TDataSet::BeforeOpen, &TDataSet::BeforeOpen);
    P.Prop("BeforePost", &TDataSet::BeforePost, &TDataSet::BeforePost);
    P.Prop("BeforeScroll", &TDataSet::BeforeScroll, &TDataSet::BeforeScroll);
    P.Prop("OnCalcFields", &TDataSet::OnCalcFields, &TDataSet::OnCalcFields);
    P.Prop("OnDeleteError", &TDataSet::OnDeleteError, &TDataSet::OnDeleteError);
    P.Prop("OnEditError", &TDataSet::OnEditError, &TDataSet::OnEditError);
    P.Prop("OnFilterRecord", &TDataSet::GetOnFilterRecord, &TDataSet::SetOnFilterRecord);
    P.Prop("OnNewRecord", &TDataSet::OnNewRecord, &TDataSet::OnNewRecord);
    P.Prop("OnPostError", &TDataSet::OnPostError, &TDataSet::OnPostError);
}

namespace {

// Form descriptions name the dataset: known by name while this code is
// loaded (the palette registration is the package's business), and gone
// from the registry with it.
class TIBRowvaneKVClassRegistration {
public:
    TIBRowvaneKVClassRegistration() { RegisterClass(&TIBRowvaneKV::ClassInfo()); }
    ~TIBRowvaneKVClassRegistration() { UnRegisterClass(&TIBRowvaneKV::ClassInfo()); }
    TIBRowvaneKVClassRegistration(const TIBRowvaneKVClassRegistration&) = delete;
    TIBRowvaneKVClassRegistration& operator=(const TIBRowvaneKVClassRegistration&) = delete;
};

const TIBRowvaneKVClassRegistration IBRowvaneKVClassRegistration;

} // namespace

namespace Ibrowvanekv {

void InsertRangeError(int Index) {
    throw ERangeError("Index " + IntToStr(Index) + " is out of range");
}

std::unique_ptr<TSQLSelectParserKV> NewParser(int Dialect) {
    auto parser = std::make_unique<TSQLSelectParserKV>();
    parser->SQLDialect = Dialect;
    return parser;
}

void Refuse(TIBRVError Code, std::initializer_list<TVarRec> Args, const AnsiString& Why) {
    EIBRVError error(Code, Args);
    error.SetMessage(error.Message() + ": " + Why);
    throw error;
}

} // namespace Ibrowvanekv

using Ibrowvanekv::NewParser;
using Ibrowvanekv::Refuse;

EIBRVError::EIBRVError(TIBRVError Code, std::initializer_list<TVarRec> Args)
    : EDatabaseError(), ErrorCode(Code) {
    assert(Args.size() <= 1);
    if (const TResStringRec* rec = IbconstkvMessage(Code)) SetMessage(LoadResString(rec));
    if (Args.size() != 0) SetMessage(SubstituteArg(Message(), VarRecToString(*Args.begin())));
}

namespace {

// The item id an order item id stands for (its absolute value); none for the
// one negative id that has no positive counterpart.
int ItemIdOf(int OrderItemId) {
    if (OrderItemId == INT_MIN) throw EIBRVError(rveInvalidOrderItemId);
    return OrderItemId < 0 ? -OrderItemId : OrderItemId;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

TIBRowvaneKV::TIBRowvaneKV(TComponent* AOwner) : TDataSet(AOwner) {
    // Whatever this creates is freed again when a later step fails: the
    // objects by their owners, the statements by this component as their owner.
    FLink = std::make_unique<TIBBase>(this);
    FQrySelect = new TIBSQL(this);
    FQryForward = new TIBSQL(this);
    FQryBackward = new TIBSQL(this);
    FQryRefresh = new TIBSQL(this);
    FSelectSQL = std::make_unique<TIBRVSQLText>(FQrySelect);
    FOrderItems = std::make_unique<TIBRVOrderItems>();
    FOrderColumnsFwd = NewOrderColumns();
    FOrderColumnsBwd = NewOrderColumns();
    FKeyColumns = std::make_unique<TIBRVKeyColumns>();
    FModifySQL = std::make_unique<TStringList>();
    FInsertSQL = std::make_unique<TStringList>();
    FTableAliases = std::make_unique<TIBRVTableAliasList>();
    FGeneratorFields = std::make_unique<TIBRVGeneratorFields>(this);

    FKeyColumns->OnGetSQLDialect = [this](int& Dialect) { GetSQLDialectEvent(Dialect); };
    FSelectSQL->OnChange = [this](TObject* Sender) { SelectSQLChange(Sender); };
    FModifySQL->OnChanging = [this](TObject* Sender) { GenericSQLChanging(Sender); };
    FInsertSQL->OnChanging = [this](TObject* Sender) { GenericSQLChanging(Sender); };
    FSelectSQL->OnChanging = [this](TObject* Sender) { GenericSQLChanging(Sender); };
    FOrderItems->OnChanging = [this](TObject* Sender) { OrderItemsChanging(Sender); };
    FOrderItems->OnChange = [this](TObject* Sender) { OrderItemsChange(Sender); };
    FLink->BeforeDatabaseDisconnect = [this](TObject* Sender) { BeforeDatabaseDisconnect(Sender); };
    FLink->BeforeTransactionEnd = [this](TObject* Sender) { BeforeTransactionEnd(Sender); };
    FLink->OnTransactionFree = [this](TObject* Sender) { TransactionFree(Sender); };
    // An open dataset keeps its transaction from stopping automatically.
    FLink->OnGetOwnerActive = [this] { return GetActive(); };

    FQryForward->SetGoToFirstRecordOnExecute(false);
    FQryBackward->SetGoToFirstRecordOnExecute(false);
}

TIBRowvaneKV::~TIBRowvaneKV() {
    Destroying();
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; the close sequence has freed what it held.
    }
    FSelectSQL.reset();
    FModifySQL.reset();
    FInsertSQL.reset();
    for (TIBSQL** query : {&FQrySelect, &FQryForward, &FQryBackward, &FQryRefresh, &FQryDelete, &FQryModify,
                           &FQryInsert, &FQryLock}) {
        delete *query; // owned components: deleting one also takes it off the owner
        *query = nullptr;
    }
    FGeneratorFields.reset();
    FTableAliases.reset();
    FLink.reset();
    FKeyColumns.reset();
    FOrderItems.reset();
    FOrderColumnsFwd.reset();
    FOrderColumnsBwd.reset();
}

std::unique_ptr<TIBRVOrderColumns> TIBRowvaneKV::NewOrderColumns() {
    auto columns = std::make_unique<TIBRVOrderColumns>();
    columns->OnGetSQLDialect = [this](int& Dialect) { GetSQLDialectEvent(Dialect); };
    return columns;
}

// ---------------------------------------------------------------------------
// Properties

TIBDatabase* TIBRowvaneKV::GetDatabase() const {
    return FLink->GetDatabase();
}

void TIBRowvaneKV::SetDatabase(TIBDatabase* Value) {
    if (Value == FLink->GetDatabase()) return;
    CheckDatasetClosed();
    FLink->SetDatabase(Value);
    for (TIBSQL* query :
         {FQrySelect, FQryForward, FQryBackward, FQryRefresh, FQryModify, FQryInsert, FQryDelete, FQryLock})
        if (query) query->SetDatabase(Value);
}

TIBTransaction* TIBRowvaneKV::GetTransaction() const {
    return FLink->GetTransaction();
}

void TIBRowvaneKV::SetTransaction(TIBTransaction* Value) {
    if (Value == FLink->GetTransaction()) return;
    CheckDatasetClosed();
    FLink->SetTransaction(Value);
    for (TIBSQL* query :
         {FQrySelect, FQryForward, FQryBackward, FQryRefresh, FQryInsert, FQryModify, FQryDelete, FQryLock})
        if (query) query->SetTransaction(Value);
}

void TIBRowvaneKV::SetOrderItemId(int Value) {
    if (Value == FOrderItemId) return;
    if (Value != 0) FOrderItems->GetItemById(ItemIdOf(Value));
    int old = FOrderItemId;
    FOrderItemId = Value;
    try {
        RefreshOrderColumns();
    } catch (...) {
        // The order lists are unchanged: the choice did not happen.
        FOrderItemId = old;
        throw;
    }
    if (GetActive()) {
        InternalPrepareSelectQueryFwd(0, -1);
        InternalPrepareSelectQueryBwd(0);
        Refresh();
    }
}

AnsiString TIBRowvaneKV::GetKeyColumns() const {
    return FKeyColumns->GetText();
}

void TIBRowvaneKV::SetKeyColumns(const AnsiString& Value) {
    if (Value == FKeyColumns->GetText()) return;
    CheckDatasetClosed();
    FKeyColumns->SetText(Value);
}

void TIBRowvaneKV::SetMainTable(const AnsiString& Value) {
    CheckDatasetClosed();
    if (Value != FMainTable) FMainTable = Value;
}

void TIBRowvaneKV::SetPessimisticLocking(bool Value) {
    if (Value == FPessimisticLocking) return;
    if (!Value && FQryLock) {
        InternalUnprepareQuery(FQryLock);
        delete FQryLock; // an owned component: it leaves its owner
        FQryLock = nullptr;
    }
    FPessimisticLocking = Value;
}

TIBXSQLDA* TIBRowvaneKV::GetParams() const {
    return FQrySelect->GetSQLParams();
}

int TIBRowvaneKV::GetSQLDialect() const {
    int dialect = 1;
    GetSQLDialectEvent(dialect);
    return dialect;
}

void TIBRowvaneKV::GetSQLDialectEvent(int& Dialect) const {
    Dialect = 1;
    if (TIBDatabase* db = GetDatabase()) Dialect = db->GetSQLDialect();
}

bool TIBRowvaneKV::GetCanModify() {
    return TDataSet::GetCanModify() && !FReadOnly;
}

// ---------------------------------------------------------------------------
// Connection, transaction and preparation

void TIBRowvaneKV::CheckDatasetClosed() const {
    if (FCursorIsOpen) throw EIBRVError(rveDatasetOpen);
}

void TIBRowvaneKV::ActivateConnection() {
    TIBDatabase* db = GetDatabase();
    if (!db) throw EIBRVError(rveDatabaseNotAssigned);
    if (!GetTransaction()) throw EIBRVError(rveTransactionNotAssigned);
    if (!db->GetConnected()) db->Open();
}

void TIBRowvaneKV::DeactivateConnection() {
    TIBDatabase* db = GetDatabase();
    if (!db) throw EIBRVError(rveDatabaseNotAssigned);
    if (db->GetConnected()) db->Close();
}

bool TIBRowvaneKV::ActivateTransaction() {
    TIBTransaction* tr = GetTransaction();
    if (!tr) throw EIBRVError(rveTransactionNotAssigned);
    if (tr->GetInTransaction()) return false;
    tr->StartTransaction();
    return true;
}

void TIBRowvaneKV::DeactivateTransaction() {
    TIBTransaction* tr = GetTransaction();
    if (!tr) throw EIBRVError(rveTransactionNotAssigned);
    tr->CheckAutoStop();
}

bool TIBRowvaneKV::GetInternalPrepared() const {
    return FQrySelect->GetPrepared();
}

void TIBRowvaneKV::InternalPrepare(bool DeactivateAfter) {
    if (GetInternalPrepared()) return;
    ActivateConnection();
    bool started = ActivateTransaction();
    try {
        FQrySelect->Prepare();
    } catch (...) {
        if (started && DeactivateAfter) DeactivateTransaction();
        throw;
    }
    if (started && DeactivateAfter) DeactivateTransaction();
}

void TIBRowvaneKV::InternalUnprepare() {
    InternalPrepareSelectQueryFwd(0, -1);
    InternalPrepareSelectQueryBwd(0);
    for (TIBSQL* query : {FQryRefresh, FQryDelete, FQryInsert, FQryModify, FQryLock, FQrySelect})
        InternalUnprepareQuery(query);
    FGeneratorFields->Unprepare();
}

void TIBRowvaneKV::InternalUnprepareQuery(TIBSQL* Query) {
    if (!Query) return;
    if (Query->GetOpen()) Query->Close();
    Query->FreeHandle();
}

// ---------------------------------------------------------------------------
// Open and close

void TIBRowvaneKV::InternalOpen() {
    FPositionColumnsFound = false;
    ActivateConnection();
    ActivateTransaction(); // a transaction started here stays active
    FLink->CheckDatabase();
    FLink->CheckTransaction();
    if (FSelectSQL->GetText().empty()) throw EIBRVError(rveEmptyQuery);
    CheckSelectStatement(FSelectSQL->GetText());
    InternalPrepare(false);
    FTableAliases->BuildList(FQrySelect);
    InitFieldDefs();
    if (GetDefaultFields()) CreateFields();
    BindFields(true);
    FFieldDataSize = CalcFieldDataSize(FQrySelect);
    FColumnCount = FQrySelect->Current()->GetCount();
    CreateModelBuffer();
    CheckKeyColumns();
    RefreshOrderColumns(); // now it can be checked and made total
    SetBookmarkSize(CalcBookmarkSize());
    for (char** buffer : {&FPositionBuffer, &FForwardBuffer, &FBackwardBuffer, &FKeyBuffer, &FSavedBuffer})
        *buffer = AllocRecordBuffer();
    FForwardOnPosition = FBackwardOnPosition = false;
    FBlobStreams = std::make_unique<TIBRVNativeBlobStreamList>();
    FCursorIsOpen = true;
}

void TIBRowvaneKV::InternalClose() {
    // Every step runs, also after a failing one (close follows a partial open
    // too, and must not leave buffers behind); the first failure is raised at the end.
    std::exception_ptr failure;
    auto step = [&failure](auto&& Action) {
        try {
            Action();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    };
    FBlobStreams.reset();
    RemoveTieBreakers();
    FUniqueIndexes.clear();
    FUniqueIndexesRead = false;
    step([this] { InternalUnprepare(); });
    step([this] { DeactivateTransaction(); });
    step([this] { BindFields(false); });
    step([this] {
        if (GetDefaultFields()) DestroyFields();
    });
    FreeBuffers();
    FFieldDataSize = -1;
    FColumnCount = -1;
    FCursorIsOpen = false;
    if (failure) std::rethrow_exception(failure);
}

void TIBRowvaneKV::FreeBuffers() {
    FModelBuffer.reset();
    FColumnFetch.clear();
    FPlanFitsRow = nullptr;
    for (char** buffer : {&FPositionBuffer, &FForwardBuffer, &FBackwardBuffer, &FKeyBuffer, &FSavedBuffer})
        if (*buffer) FreeRecordBuffer(*buffer);
    FForwardOnPosition = FBackwardOnPosition = false;
    FFilterBuffer = nullptr;
}

void TIBRowvaneKV::InternalInitFieldDefs() {
    bool wasPrepared = GetInternalPrepared();
    if (!wasPrepared) InternalPrepare(true);
    TFieldDefs* defs = GetFieldDefs();
    defs->BeginUpdate();
    auto finish = [&] {
        if (!wasPrepared) InternalUnprepare();
        defs->EndUpdate();
    };
    try {
        AnsiString mainTable = GetMainTableName();
        defs->Clear();
        TIBXSQLDA* row = FQrySelect->Current();
        for (int i = 0; i < row->GetCount(); ++i) {
            TIBXSQLVAR* column = row->GetXSQLVAR(i);
            TFieldDef* def = nullptr;
            try {
                def = defs->AddFieldDef();
                TFieldHdr hdr;
                GetFieldHeader(column, hdr);
                def->SetName(column->GetAliasName());
                def->SetRequired(hdr.Required);
                def->SetDataType(hdr.FieldType);
                def->SetFieldNo(i + 1);
                switch (hdr.FieldType) {
                case ftString:
                    // In the column's unit: bytes, or the characters of a multi-byte set.
                    def->SetCharSize(column->GetCharSize());
                    def->SetSize(hdr.DataSize / column->GetCharSize());
                    break;
                case ftBlob:
                case ftMemo:
                case ftGraphic:
                    def->SetSize(hdr.DataSize);
                    break;
                case ftBCD:
                    def->SetPrecision(hdr.Precision);
                    def->SetSize(hdr.ActualLength);
                    break;
                default:
                    break;
                }
                TFieldAttributes attributes = def->GetAttributes();
                AnsiString table = column->GetRelName(), name = column->GetSQLName();
                if (!table.empty() && !name.empty()) {
                    if (GetDatabase()->Has_COMPUTED_BLR(table, name)) {
                        attributes.Include(faReadonly);
                        def->SetInternalCalcField(true);
                    } else if (table != mainTable) {
                        attributes.Include(faReadonly); // a column of another table
                    }
                }
                if (hdr.SQLType == SQL_TEXT) attributes.Include(faFixed);
                def->SetAttributes(attributes);
            } catch (...) {
                if (def && defs->GetCount() > 0) defs->Delete(defs->GetCount() - 1);
                throw;
            }
        }
    } catch (...) {
        try {
            finish();
        } catch (...) {
            // The definitions' failure is the one reported.
        }
        throw;
    }
    finish();
}

// ---------------------------------------------------------------------------
// Notifications

void TIBRowvaneKV::BeforeDatabaseDisconnect(TObject*) {
    if (GetActive()) SetActive(false);
}

void TIBRowvaneKV::BeforeTransactionEnd(TObject*) {
    InternalCloseSelectQueryFwd();
    InternalCloseSelectQueryBwd();
}

void TIBRowvaneKV::TransactionFree(TObject*) {
    try {
        if (GetActive()) SetActive(false);
    } catch (...) {
        SetTransaction(nullptr); // closed all the same; the transaction goes away
        throw;
    }
    SetTransaction(nullptr);
}

void TIBRowvaneKV::GenericSQLChanging(TObject*) {
    CheckDatasetClosed();
}

void TIBRowvaneKV::SelectSQLChange(TObject*) {
    if (FOrderItemId == 0) RefreshOrderColumns();
}

void TIBRowvaneKV::OrderItemsChanging(TObject*) {
    CheckDatasetClosed();
    if (FOrderItemId == 0) return;
    try {
        FSavedOrderBy = FOrderItems->GetItemById(ItemIdOf(FOrderItemId))->GetOrderBy();
    } catch (const EIBRVError&) {
        FSavedOrderBy.clear(); // the chosen item is already gone: the change resets the choice
    }
}

void TIBRowvaneKV::OrderItemsChange(TObject*) {
    if (FOrderItemId == 0) return;
    try {
        if (FOrderItems->GetItemById(ItemIdOf(FOrderItemId))->GetOrderBy() != FSavedOrderBy)
            RefreshOrderColumns();
    } catch (...) {
        // The chosen item is gone or unreadable: back to the select's own order.
        try {
            SetOrderItemId(0);
        } catch (...) {
            // Not even that order is readable: no order at all, and the error is reported.
            FOrderItemId = 0;
            FOrderColumnsFwd = NewOrderColumns();
            FOrderColumnsBwd = NewOrderColumns();
            throw;
        }
    }
}

// ---------------------------------------------------------------------------
// Order columns and main table

void TIBRowvaneKV::RefreshOrderColumns() {
    // Both lists are built aside and replace the old ones only together, so
    // a failure leaves the forward and the backward order as they were.
    auto forward = NewOrderColumns();
    auto backward = NewOrderColumns();
    if (FOrderItemId != 0) {
        forward->SetOrderBy(FOrderItems->GetItemById(ItemIdOf(FOrderItemId))->GetOrderBy());
    } else if (FSelectSQL->GetCount() > 0) {
        auto parser = NewParser(GetSQLDialect());
        parser->SetSQLText(FSelectSQL->GetText());
        TSQLSelectParserSectionKV* orderBy = parser->GetSectionByType(sitOrderBy);
        if (orderBy->GetCount() > 0) forward->SetOrderBy(orderBy->GetSQLText());
    }
    if (forward->GetCount() > 0) {
        backward->SetOrderBy(forward->GetOrderBy());
        backward->InvertOrderTypes();
    }
    // Only an open dataset knows its columns and can tell a unique order.
    int ties = 0;
    bool byKey = false;
    if (FModelBuffer) {
        // Without key columns nothing after the first row is read (code 18).
        if (FKeyColumns->GetCount() > 0) CheckOrderColumns(*forward);
        byKey = forward->GetCount() == 0 && FKeyColumns->GetCount() > 0;
        ties = AppendTieBreakers(*forward, *backward);
    }
    FOrderColumnsFwd = std::move(forward);
    FOrderColumnsBwd = std::move(backward);
    // Key columns that stand in for a missing order are the order itself:
    // a search "by all order columns" searches them.
    FTieBreakCount = byKey ? 0 : ties;
    FOrderByKey = byKey;
    FPositionColumnsFound = false;
}

void TIBRowvaneKV::CheckOrderColumns(const TIBRVOrderColumns& Order) {
    // Every move past the first rows compares and binds the order columns:
    // one the select does not deliver is refused now, not at the second page.
    char* model = FModelBuffer.get();
    for (int i = 0; i < Order.GetCount(); ++i) {
        const TIBRVColumn* column = Order.GetItem(i);
        AnsiString table = column->GetTableNameEx(), name = column->GetColumnNameEx();
        if (GetFieldIndex(model, table, name) < 0)
            Refuse(rveFieldNotFound, {column->GetFullColumnNameEx()},
                   "an order column must be a column of the select list (an expression by the name the "
                   "select list gives it); add " +
                       column->GetFullColumnName() + " to the select list");
        // The engine orders by the select list's name first, the dataset
        // finds a table's column first: they must not mean two columns.
        int own = GetTableColumnIndex(model, table, name);
        int named = table.empty() ? GetSelectNameIndex(model, name) : -1;
        if (own >= 0 && named >= 0 && own != named)
            Refuse(
                rveInvalidOrderByClause, {},
                name +
                    " is the name the select list gives one column and the own name of another; order by a "
                    "name that stands for one column only");
    }
}

void TIBRowvaneKV::CheckKeyColumns() {
    // The statements that re-read, change and delete a row compare the key
    // columns in their WHERE, where the engine knows the tables' names only:
    // a name the select list gives a column is none.
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        const TIBRVColumn* key = FKeyColumns->GetItem(i);
        if (GetTableColumnIndex(FModelBuffer.get(), key->GetTableNameEx(), key->GetColumnNameEx()) < 0)
            throw EIBRVError(rveFieldNotFound, {key->GetFullColumnNameEx()});
    }
}

// Rows that stand level in the order cannot be told apart by a cursor
// re-opened at the position, and the engine need not read them backward in
// the reverse of their forward order. Unless the order is known to be
// unique, the key columns it lacks therefore follow it: ascending in the
// order as written, descending in the inverted one; an empty order gains them
// all. Returns their number.
int TIBRowvaneKV::AppendTieBreakers(TIBRVOrderColumns& Forward, TIBRVOrderColumns& Backward) {
    if (FKeyColumns->GetCount() == 0) return 0;
    char* model = FModelBuffer.get();
    auto selectColumn = [this, model](const TIBRVColumn* Column) {
        return GetFieldIndex(model, Column->GetTableNameEx(), Column->GetColumnNameEx());
    };
    std::vector<int> order;
    for (int i = 0; i < Forward.GetCount(); ++i)
        order.push_back(selectColumn(Forward.GetItem(i)));
    std::vector<const TIBRVColumn*> missing;
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        const TIBRVColumn* key = FKeyColumns->GetItem(i);
        int index = selectColumn(key);
        bool inOrder = false;
        for (int j = 0; j < Forward.GetCount() && !inOrder; ++j) {
            const TIBRVColumn* column = Forward.GetItem(j);
            inOrder = index >= 0 ? order[static_cast<size_t>(j)] == index
                                 : column->GetTableNameEx() == key->GetTableNameEx() &&
                                       column->GetColumnNameEx() == key->GetColumnNameEx();
        }
        if (!inOrder) missing.push_back(key);
    }
    // No order at all: the key alone orders, whether unique or not.
    if (missing.empty() || (!order.empty() && HasUniqueIndexWithin(order))) return 0;
    for (const TIBRVColumn* key : missing) {
        for (auto [list, direction] : {std::pair{&Forward, sitAsc}, std::pair{&Backward, sitDesc}}) {
            TIBRVColumn* column = list->AddItem();
            column->SetTableName(key->GetTableName());
            column->SetColumnName(key->GetColumnName());
            column->SetOrderType(direction);
        }
    }
    return static_cast<int>(missing.size());
}

bool TIBRowvaneKV::HasUniqueIndexWithin(const std::vector<int>& Columns) {
    // The own names of the NOT NULL columns of the main table among them: a
    // unique index allows any number of rows with NULL.
    AnsiString table = GetMainTableName();
    std::vector<AnsiString> names;
    for (int index : Columns) {
        if (index < 0) continue;
        TIBXSQLVAR* column = FQrySelect->GetFields(index);
        if (column->GetRelName() == table && TIBRVRecordBuffer::FieldHdr(FModelBuffer.get(), index).GetRequired())
            names.push_back(column->GetSQLName());
    }
    if (names.empty()) return false;
    for (const std::vector<AnsiString>& unique : GetUniqueIndexes(table)) {
        bool covered = std::all_of(unique.begin(), unique.end(), [&names](const AnsiString& Name) {
            return std::find(names.begin(), names.end(), Name) != names.end();
        });
        if (covered) return true;
    }
    return false;
}

const std::vector<std::vector<AnsiString>>& TIBRowvaneKV::GetUniqueIndexes(const AnsiString& Table) {
    if (FUniqueIndexesRead) return FUniqueIndexes;
    // Read once per open, in the dataset's transaction; an expression index
    // has no segments and so takes no part.
    TIBSQL query(nullptr);
    query.SetDatabase(GetDatabase());
    query.SetTransaction(GetTransaction());
    query.GetSQL()->SetText(
        "SELECT I.RDB$INDEX_NAME, S.RDB$FIELD_NAME FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S"
        " ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = :RELATION"
        " AND I.RDB$UNIQUE_FLAG = 1 AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0"
        " ORDER BY I.RDB$INDEX_NAME, S.RDB$FIELD_POSITION");
    query.Prepare();
    query.GetSQLParams()->ByName("RELATION")->SetAsString(Table);
    std::vector<std::vector<AnsiString>> indexes;
    AnsiString current;
    for (query.ExecQuery(); !query.GetEOF(); query.Next()) {
        AnsiString name = TrimRight(query.GetFields(0)->GetAsString());
        if (indexes.empty() || name != current) indexes.emplace_back();
        current = name;
        indexes.back().push_back(TrimRight(query.GetFields(1)->GetAsString()));
    }
    query.Close();
    FUniqueIndexes = std::move(indexes);
    FUniqueIndexesRead = true;
    return FUniqueIndexes;
}

void TIBRowvaneKV::RemoveTieBreakers() {
    for (TIBRVOrderColumns* list : {FOrderColumnsFwd.get(), FOrderColumnsBwd.get()}) {
        if (FOrderByKey) list->Clear();
        for (int i = 0; i < FTieBreakCount && list->GetCount() > 0; ++i)
            list->Delete(list->GetCount() - 1);
    }
    FTieBreakCount = 0;
    FOrderByKey = false;
    FPositionColumnsFound = false;
}

int TIBRowvaneKV::GetOrderColumnCount() const {
    return FOrderColumnsFwd->GetCount() - FTieBreakCount;
}

AnsiString TIBRowvaneKV::GetMainTableName() {
    AnsiString name = FMainTable;
    int dialect = GetSQLDialect();
    if (name.empty()) {
        // At the database's dialect: a table written in double quotes is the
        // table (dialect 3), not a string that its alias would stand in for.
        auto parser = NewParser(dialect);
        parser->SetSQLText(FQrySelect->GetSQL()->GetText());
        TSQLSelectParserSectionKV* from = parser->GetSectionByType(sitFrom);
        for (int i = 0; i < from->GetCount() && name.empty(); ++i)
            if (from->GetItem(i)->ItemType == sitTable) name = from->GetItem(i)->GetQuotedText();
        if (name.empty()) throw EIBRVError(rveTableNameEmpty);
    }
    return ExtractIdentifier(dialect, name);
}

// ---------------------------------------------------------------------------
// Key search

void TIBRowvaneKV::CheckSetKeyMode() {
    if (GetState() != dsSetKey) throw EIBRVError(rveNoSetKeyMode);
    CheckActive();
}
