#include "MemDataSet.h"

#include "DateUtils.h"

#include <algorithm>
#include <cstring>

namespace {

const char* ModeName(TGetMode Mode) {
    switch (Mode) {
    case gmCurrent:
        return "gmCurrent";
    case gmNext:
        return "gmNext";
    default:
        return "gmPrior";
    }
}

const char* ResultName(TGetResult Result) {
    switch (Result) {
    case grOK:
        return "OK";
    case grBOF:
        return "BOF";
    case grEOF:
        return "EOF";
    default:
        return "Error";
    }
}

} // namespace

// ---------------------------------------------------------------------------
// TMemTable

TMemTable::TMemTable(std::vector<TMemColumn> AColumns) : Columns(std::move(AColumns)) {
    for (const TMemColumn& c : Columns) {
        FOffsets.push_back(FDataSize);
        FDataSize += 1 + ColumnSize(c);
    }
}

int TMemTable::ColumnSize(const TMemColumn& Column) {
    switch (Column.Type) {
    case ftString:
        return Column.Size * Column.CharSize + 1;
    case ftLargeint:
    case ftFloat:
    case ftDateTime:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
        return 8;
    case ftBCD:
        return static_cast<int>(sizeof(TBcd));
    default:
        return 4;
    }
}

int TMemTable::RowKey(const std::vector<char>& Row) {
    std::int32_t key;
    std::memcpy(&key, Row.data() + 1, sizeof key);
    return key;
}

void TMemTable::Insert(std::vector<char> Row) {
    int key = RowKey(Row);
    auto at = std::lower_bound(Rows.begin(), Rows.end(), key,
                               [](const std::vector<char>& r, int k) { return RowKey(r) < k; });
    Rows.insert(at, std::move(Row));
}

void TMemTable::AddRow(std::initializer_list<TMemValue> Values) {
    std::vector<char> row(static_cast<size_t>(FDataSize), 0);
    size_t i = 0;
    for (const TMemValue& v : Values) {
        const TMemColumn& c = Columns.at(i);
        char* p = row.data() + FOffsets[i++];
        if (std::holds_alternative<std::monostate>(v)) continue;
        p[0] = 1;
        char* data = p + 1;
        switch (c.Type) {
        case ftString: {
            const AnsiString& s = std::get<AnsiString>(v);
            std::memcpy(data, s.data(), std::min<size_t>(s.size(), static_cast<size_t>(c.Size)));
            if (c.Fixed)
                for (size_t k = s.size(); k < static_cast<size_t>(c.Size); ++k)
                    data[k] = ' ';
            break;
        }
        case ftSmallint:
        case ftInteger: {
            auto x = static_cast<std::int32_t>(std::get<Int64>(v));
            std::memcpy(data, &x, sizeof x);
            break;
        }
        case ftLargeint: {
            std::int64_t x = std::get<Int64>(v);
            std::memcpy(data, &x, sizeof x);
            break;
        }
        case ftFloat: {
            double x = std::get<double>(v);
            std::memcpy(data, &x, sizeof x);
            break;
        }
        case ftBCD: {
            TBcd bcd;
            CurrToBCD(std::get<Currency>(v), bcd, 32, c.Size);
            std::memcpy(data, &bcd, sizeof bcd);
            break;
        }
        case ftDate:
        case ftTime: {
            TTimeStamp ts = DateTimeToTimeStamp(std::get<double>(v));
            std::int32_t x = c.Type == ftDate ? ts.Date : ts.Time;
            std::memcpy(data, &x, sizeof x);
            break;
        }
        case ftDateTime: {
            double x = TimeStampToMSecs(DateTimeToTimeStamp(std::get<double>(v)));
            std::memcpy(data, &x, sizeof x);
            break;
        }
        default: { // blobs: the contents go to the store, the row keeps the id
            Int64 id = NextBlobId++;
            Blobs[id] = std::get<AnsiString>(v);
            std::memcpy(data, &id, sizeof id);
            break;
        }
        }
    }
    Insert(std::move(row));
}

void TMemTable::AddRows(int First, int Last) {
    bool named = Columns.size() > 1 && Columns[1].Type == ftString;
    for (int k = First; k <= Last; ++k) {
        if (named)
            AddRow({Int64{k}, AnsiString("row" + std::to_string(k))});
        else
            AddRow({Int64{k}});
    }
}

void TMemTable::DeleteKey(int Key) {
    int i = FindKey(Key);
    if (i >= 0) Rows.erase(Rows.begin() + i);
}

int TMemTable::FindKey(int Key) const {
    for (size_t i = 0; i < Rows.size(); ++i)
        if (RowKey(Rows[i]) == Key) return static_cast<int>(i);
    return -1;
}

std::vector<int> TMemTable::Keys() const {
    std::vector<int> keys;
    for (const auto& r : Rows)
        keys.push_back(RowKey(r));
    return keys;
}

// ---------------------------------------------------------------------------
// Blob stream: the contents of one blob field, written through to the record

class TMemBlobStream : public TMemoryStream {
public:
    TMemBlobStream(TMemDataSet& DataSet, TBlobField& Field, TBlobStreamMode Mode)
        : FDataSet(DataSet), FField(Field), FMode(Mode) {
        if (Mode != bmRead && DataSet.GetState() != dsEdit && DataSet.GetState() != dsInsert)
            throw EDatabaseError("Blob not in edit mode");
        Int64 id = 0;
        if (Mode != bmWrite && DataSet.GetFieldData(&Field, &id)) {
            const AnsiString& contents = DataSet.FTable.Blobs[id];
            if (!contents.empty()) TMemoryStream::Write(contents.data(), static_cast<int>(contents.size()));
            TMemoryStream::Seek(0, soBeginning);
        }
        if (Mode == bmWrite) Flush();
    }
    int Write(const void* Buffer, int Count) override {
        if (FMode == bmRead) throw EDatabaseError("Blob opened for reading");
        int n = TMemoryStream::Write(Buffer, Count);
        Flush();
        return n;
    }
    void SetSize(Int64 NewSize) override {
        TMemoryStream::SetSize(NewSize);
        if (FMode != bmRead) Flush();
    }

private:
    void Flush() {
        Int64 id = 0;
        if (GetSize() > 0) {
            id = FDataSet.FTable.NextBlobId++;
            FDataSet.FTable.Blobs[id] = AnsiString(Memory(), static_cast<size_t>(GetSize()));
        }
        FDataSet.SetFieldData(&FField, id ? &id : nullptr);
        FField.SetModified(true);
    }
    TMemDataSet& FDataSet;
    TBlobField& FField;
    TBlobStreamMode FMode;
};

// ---------------------------------------------------------------------------
// TMemDataSet

TMemDataSet::TMemDataSet(TComponent* AOwner, TMemTable& Table, TEventLog& Log)
    : TDataSet(AOwner), FTable(Table), FLog(Log) {}

TMemDataSet::~TMemDataSet() {
    Destroying();
    Close();
}

void TMemDataSet::Note(const std::string& Text) {
    if (Logging) FLog.push_back(Text);
}

char* TMemDataSet::AllocRecordBuffer() {
    char* buffer = new char[GetRecordSize()]();
    ++LiveBuffers;
    return buffer;
}

void TMemDataSet::FreeRecordBuffer(char*& Buffer) {
    delete[] Buffer;
    Buffer = nullptr;
    --LiveBuffers;
}

Word TMemDataSet::GetRecordSize() {
    return static_cast<Word>(HeaderSize + FTable.DataSize() + GetCalcFieldsSize());
}

int TMemDataSet::BufferKey(const char* Buffer) {
    std::int32_t key;
    std::memcpy(&key, Buffer + 4, sizeof key);
    return key;
}

void TMemDataSet::SetBufferKey(char* Buffer, int Key) {
    std::int32_t key = Key;
    std::memcpy(Buffer + 4, &key, sizeof key);
}

char* TMemDataSet::ColumnData(char* Buffer, int Column) const {
    return Buffer + HeaderSize + FTable.ColumnOffset(Column);
}

int TMemDataSet::DataKey(const char* Buffer) const {
    const char* p = Buffer + HeaderSize;
    if (!p[0]) return -1;
    std::int32_t key;
    std::memcpy(&key, p + 1, sizeof key);
    return key;
}

bool TMemDataSet::Accept(char* Buffer) {
    if (!GetFiltered() || !GetOnFilterRecord()) return true;
    TDataSetState saved = SetTempState(dsFilter);
    FFilterBuffer = Buffer;
    bool accept = true;
    try {
        GetOnFilterRecord()(this, accept);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
    return accept;
}

TGetResult TMemDataSet::GetRecord(char* Buffer, TGetMode GetMode, bool DoCheck) {
    (void)DoCheck;
    if (FetchesBeforeFailure == 0) throw EDatabaseError("fetch failed");
    if (FetchesBeforeFailure > 0) --FetchesBeforeFailure;
    TPosition saved = FPos;
    TGetResult result = grOK;
    for (;;) {
        int row = -1;
        const auto& rows = FTable.Rows;
        int count = static_cast<int>(rows.size());
        switch (GetMode) {
        case gmCurrent:
            if (FPos.Place == OnKey) row = FTable.FindKey(FPos.Key);
            result = row < 0 ? grError : grOK;
            break;
        case gmNext:
            if (FPos.Place == BeforeFirst)
                row = count > 0 ? 0 : -1;
            else if (FPos.Place == OnKey)
                for (int i = 0; i < count && row < 0; ++i)
                    if (TMemTable::RowKey(rows[static_cast<size_t>(i)]) > FPos.Key) row = i;
            result = row < 0 ? grEOF : grOK;
            break;
        case gmPrior:
            if (FPos.Place == AfterLast)
                row = count - 1;
            else if (FPos.Place == OnKey)
                for (int i = count - 1; i >= 0 && row < 0; --i)
                    if (TMemTable::RowKey(rows[static_cast<size_t>(i)]) < FPos.Key) row = i;
            result = row < 0 ? grBOF : grOK;
            break;
        }
        if (row < 0) break;
        const auto& data = rows[static_cast<size_t>(row)];
        std::memcpy(Buffer + HeaderSize, data.data(), data.size());
        Buffer[0] = static_cast<char>(bfCurrent);
        int key = TMemTable::RowKey(data);
        SetBufferKey(Buffer, key);
        FPos = {OnKey, key};
        GetCalcFields(Buffer);
        if (Accept(Buffer)) break;
        if (GetMode == gmCurrent) {
            result = grError;
            break;
        }
    }
    if (result != grOK) FPos = saved;
    Note(std::string("GetRecord(") + ModeName(GetMode) + ")=" + ResultName(result) +
         (result == grOK ? ":" + std::to_string(FPos.Key) : ""));
    return result;
}

void TMemDataSet::InternalFirst() {
    Note("InternalFirst");
    FPos = {BeforeFirst, 0};
}

void TMemDataSet::InternalLast() {
    Note("InternalLast");
    FPos = {AfterLast, 0};
}

void TMemDataSet::InternalSetToRecord(char* Buffer) {
    Note("InternalSetToRecord(" + std::to_string(BufferKey(Buffer)) + ")");
    FPos = {OnKey, BufferKey(Buffer)};
}

void TMemDataSet::GetBookmarkData(char* Buffer, void* Data) {
    std::memcpy(Data, Buffer + 4, 4);
}
void TMemDataSet::SetBookmarkData(char* Buffer, void* Data) {
    std::memcpy(Buffer + 4, Data, 4);
}
TBookmarkFlag TMemDataSet::GetBookmarkFlag(char* Buffer) {
    return static_cast<TBookmarkFlag>(Buffer[0]);
}
void TMemDataSet::SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) {
    Buffer[0] = static_cast<char>(Value);
}

void TMemDataSet::InternalGotoBookmark(void* Bookmark) {
    std::int32_t key;
    std::memcpy(&key, Bookmark, sizeof key);
    Note("InternalGotoBookmark(" + std::to_string(key) + ")");
    FPos = {OnKey, key};
}

bool TMemDataSet::BookmarkValid(TBookmark Bookmark) {
    if (!Bookmark || !GetActive()) return false;
    std::int32_t key;
    std::memcpy(&key, Bookmark, sizeof key);
    return FTable.FindKey(key) >= 0;
}

void TMemDataSet::InternalOpen() {
    Note("InternalOpen");
    if (GetFieldDefs()->GetCount() == 0) InternalInitFieldDefs();
    if (GetDefaultFields()) CreateFields();
    BindFields(true);
    SetBookmarkSize(4);
    FPos = {BeforeFirst, 0};
    if (FailOpen) throw EDatabaseError("open failed");
    FOpen = true;
}

void TMemDataSet::InternalClose() {
    Note("InternalClose");
    BindFields(false);
    if (GetDefaultFields()) DestroyFields();
    FOpen = false;
}

void TMemDataSet::InternalInitFieldDefs() {
    TFieldDefs* defs = GetFieldDefs();
    defs->BeginUpdate();
    defs->Clear();
    for (size_t i = 0; i < FTable.Columns.size(); ++i) {
        const TMemColumn& c = FTable.Columns[i];
        bool sized = c.Type == ftString || c.Type == ftBCD || c.Type == ftBlob || c.Type == ftMemo ||
                     c.Type == ftGraphic;
        TFieldDef* def = defs->Add(c.Name, c.Type, sized ? c.Size : 0, c.Required);
        def->SetFieldNo(static_cast<int>(i) + 1);
        def->SetPrecision(c.Precision);
        def->SetCharSize(c.CharSize);
        if (c.Fixed) def->SetAttributes(def->GetAttributes() + TFieldAttributes{faFixed});
        if (c.Computed) {
            def->SetInternalCalcField(true);
            def->SetAttributes(def->GetAttributes() + TFieldAttributes{faReadonly});
        }
    }
    defs->EndUpdate();
}

void TMemDataSet::InternalHandleException() {
    Note("InternalHandleException");
}

void TMemDataSet::InternalInitRecord(char* Buffer) {
    std::memset(Buffer + HeaderSize, 0, static_cast<size_t>(FTable.DataSize()));
    SetBufferKey(Buffer, 0);
}

void TMemDataSet::ClearCalcFields(char* Buffer) {
    std::memset(Buffer + HeaderSize + FTable.DataSize(), 0, static_cast<size_t>(GetCalcFieldsSize()));
}

void TMemDataSet::InternalAddRecord(void* Buffer, bool Append) {
    (void)Append;
    Note("InternalAddRecord");
    const char* data = static_cast<const char*>(Buffer) + HeaderSize;
    FTable.Insert(std::vector<char>(data, data + FTable.DataSize()));
}

void TMemDataSet::InternalInsert() {
    Note("InternalInsert");
}

void TMemDataSet::InternalEdit() {
    Note("InternalEdit");
    FEditKey = BufferKey(ActiveBuffer());
}

void TMemDataSet::InternalPost() {
    Note("InternalPost");
    if (FailPosts > 0) {
        --FailPosts;
        throw EDatabaseError("post failed");
    }
    const char* data = ActiveBuffer() + HeaderSize;
    std::vector<char> row(data, data + FTable.DataSize());
    int key = DataKey(ActiveBuffer());
    if (key < 0) throw EDatabaseError("ID must have a value");
    bool editing = GetState() == dsEdit;
    if (FTable.FindKey(key) >= 0 && !(editing && key == FEditKey)) throw EDatabaseError("Key violation");
    if (editing) {
        if (FTable.FindKey(FEditKey) < 0) throw EDatabaseError("Row was deleted");
        FTable.DeleteKey(FEditKey);
    }
    FTable.Insert(std::move(row));
    FPos = {OnKey, key};
}

void TMemDataSet::InternalDelete() {
    int key = BufferKey(ActiveBuffer());
    Note("InternalDelete(" + std::to_string(key) + ")");
    FTable.DeleteKey(key);
}

void TMemDataSet::InternalCancel() {
    Note("InternalCancel");
}
void TMemDataSet::InternalRefresh() {
    Note("InternalRefresh");
}

char* TMemDataSet::RecordBuffer() const {
    switch (GetState()) {
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return FFilterBuffer;
    case dsSetKey:
        return nullptr;
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    default:
        return ActiveBuffer();
    }
}

bool TMemDataSet::GetFieldData(TField* Field, void* Buffer) {
    char* record = RecordBuffer();
    if (!record) return false;
    const char* p;
    int size = Field->GetDataSize();
    if (Field->GetFieldNo() > 0) {
        int column = Field->GetFieldNo() - 1;
        const TMemColumn& c = FTable.Columns.at(static_cast<size_t>(column));
        if (c.Type != Field->GetDataType())
            throw EDatabaseError("Type mismatch for " + Field->GetFieldName());
        if (!Field->IsBlob() && size != TMemTable::ColumnSize(c))
            throw EDatabaseError("Size mismatch for " + Field->GetFieldName());
        size = TMemTable::ColumnSize(c);
        p = ColumnData(record, column);
    } else {
        p = record + HeaderSize + FTable.DataSize() + Field->GetOffset();
    }
    if (!p[0]) return false;
    if (Buffer) std::memcpy(Buffer, p + 1, static_cast<size_t>(size));
    return true;
}

void TMemDataSet::SetFieldData(TField* Field, void* Buffer) {
    if (!dsWriteModes.Contains(GetState())) throw EDatabaseError("Dataset not in write mode");
    char* record = RecordBuffer();
    if (!record) throw EDatabaseError("No record to write");
    char* p;
    int size = Field->GetDataSize();
    if (Field->GetFieldNo() > 0) {
        int column = Field->GetFieldNo() - 1;
        const TMemColumn& c = FTable.Columns.at(static_cast<size_t>(column));
        if (!Field->IsBlob() && size != TMemTable::ColumnSize(c))
            throw EDatabaseError("Size mismatch for " + Field->GetFieldName());
        size = TMemTable::ColumnSize(c);
        p = ColumnData(record, column);
        Field->Validate(Buffer);
    } else {
        p = record + HeaderSize + FTable.DataSize() + Field->GetOffset();
    }
    p[0] = Buffer ? 1 : 0;
    if (Buffer) std::memcpy(p + 1, Buffer, static_cast<size_t>(size));
    TDataSetState state = GetState();
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, FieldEventInfo(Field));
}

TStream* TMemDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    auto* blob = dynamic_cast<TBlobField*>(Field);
    if (!blob) throw EDatabaseError("Not a blob field");
    return new TMemBlobStream(*this, *blob, Mode);
}

// ---------------------------------------------------------------------------
// TRecordingLink

void TRecordingLink::RecordChanged(TField* Field) {
    Note(std::string("RecordChanged(") + (Field ? Field->GetFieldName() : "nil") + ")");
}

void TRecordingLink::FocusControl(TField** Field) {
    Note(std::string("FocusControl(") + (Field && *Field ? (*Field)->GetFieldName() : "nil") + ")");
}

std::vector<int> TRecordingLink::Window() {
    std::vector<int> keys;
    TDataSet* ds = GetDataSet();
    int saved = GetActiveRecord();
    for (int i = 0; i < GetRecordCount(); ++i) {
        SetActiveRecord(i);
        keys.push_back(ds->FieldByName("ID")->GetAsInteger());
    }
    SetActiveRecord(saved);
    return keys;
}

void LogDataSetEvents(TDataSet& DataSet, TEventLog& Log) {
    auto note = [&Log](const char* name) { return [&Log, name](TDataSet*) { Log.push_back(name); }; };
    DataSet.BeforeOpen = note("BeforeOpen");
    DataSet.AfterOpen = note("AfterOpen");
    DataSet.BeforeClose = note("BeforeClose");
    DataSet.AfterClose = note("AfterClose");
    DataSet.BeforeInsert = note("BeforeInsert");
    DataSet.AfterInsert = note("AfterInsert");
    DataSet.BeforeEdit = note("BeforeEdit");
    DataSet.AfterEdit = note("AfterEdit");
    DataSet.BeforePost = note("BeforePost");
    DataSet.AfterPost = note("AfterPost");
    DataSet.BeforeCancel = note("BeforeCancel");
    DataSet.AfterCancel = note("AfterCancel");
    DataSet.BeforeDelete = note("BeforeDelete");
    DataSet.AfterDelete = note("AfterDelete");
    DataSet.BeforeScroll = note("BeforeScroll");
    DataSet.AfterScroll = note("AfterScroll");
    DataSet.BeforeRefresh = note("BeforeRefresh");
    DataSet.AfterRefresh = note("AfterRefresh");
    DataSet.OnNewRecord = note("OnNewRecord");
}
