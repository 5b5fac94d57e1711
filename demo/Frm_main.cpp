#include "Frm_main.h"

#include "Frm_dbsettings.h"
#include "Unt_settings.h"

#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <memory>

TFrmMain* FrmMain = nullptr;

KV_PUBLISHED_METACLASS(TFrmMain, &TForm::ClassInfo())

void TFrmMain::Publish(TPublisher<TFrmMain>& P) {
    using T = TFrmMain;
    P.Field("Db", &T::Db);
    P.Field("Tr", &T::Tr);
    P.Field("DataSrc", &T::DataSrc);
    P.Field("DataSet", &T::DataSet);
    P.Field("IBSQL", &T::IBSQL);
    P.Field("DataSetID", &T::DataSetID);
    P.Field("DataSetDESCRIPTION", &T::DataSetDESCRIPTION);
    P.Field("DataSetQUANTITY", &T::DataSetQUANTITY);
    P.Field("DataSetPRICE", &T::DataSetPRICE);
    P.Field("DataSetSUM", &T::DataSetSUM);
    P.Field("DbGrid", &T::DbGrid);
    P.Field("PnlMain", &T::PnlMain);
    P.Field("TxtSearch", &T::TxtSearch);
    P.Field("EdtSearch", &T::EdtSearch);
    P.Field("BtnGetBM", &T::BtnGetBM);
    P.Field("BtnGotoBM", &T::BtnGotoBM);
    P.Field("BtnRefreshActive", &T::BtnRefreshActive);
    P.Field("BtnRefreshAll", &T::BtnRefreshAll);
    P.Field("BtnCommit", &T::BtnCommit);
    P.Field("BtnRollback", &T::BtnRollback);
    P.Field("BtnClientFilter", &T::BtnClientFilter);
    P.Field("BtnServerFilter", &T::BtnServerFilter);
    P.Field("BtnSettings", &T::BtnSettings);
    P.Field("BtnCreateDb", &T::BtnCreateDb);
    P.Field("BtnOpenClose", &T::BtnOpenClose);
    P.Field("BtnSortIdAsc", &T::BtnSortIdAsc);
    P.Field("BtnSortIdDesc", &T::BtnSortIdDesc);
    P.Field("BtnSortDescrAsc", &T::BtnSortDescrAsc);
    P.Field("BtnSortDescrDesc", &T::BtnSortDescrDesc);
    P.Field("Nav", &T::Nav);
    P.Method("BtnSettingsClick", &T::BtnSettingsClick);
    P.Method("BtnCreateDbClick", &T::BtnCreateDbClick);
    P.Method("BtnOpenCloseClick", &T::BtnOpenCloseClick);
    P.Method("BtnGetBMClick", &T::BtnGetBMClick);
    P.Method("BtnGotoBMClick", &T::BtnGotoBMClick);
    P.Method("BtnRefreshActiveClick", &T::BtnRefreshActiveClick);
    P.Method("BtnRefreshAllClick", &T::BtnRefreshAllClick);
    P.Method("BtnCommitClick", &T::BtnCommitClick);
    P.Method("BtnRollbackClick", &T::BtnRollbackClick);
    P.Method("BtnClientFilterClick", &T::BtnClientFilterClick);
    P.Method("BtnServerFilterClick", &T::BtnServerFilterClick);
    P.Method("BtnSortGenericGlick", &T::BtnSortGenericGlick);
    P.Method("EdtSearchChange", &T::EdtSearchChange);
    P.Method("EdtSearchExit", &T::EdtSearchExit);
    P.Method("DataSetFilterRecord", &T::DataSetFilterRecord);
    P.Method("DataSetCalcFields", &T::DataSetCalcFields);
}

// The sort buttons' glyphs: two images of 16 x 11 side by side, the
// triangle and its disabled look; the olive of the bottom-left pixel is
// transparent.
KV_FORM_RESOURCE(TFRMMAIN, R"(object FrmMain: TFrmMain
  Left = 192
  Top = 114
  Width = 619
  Height = 431
  Caption = 'IBRowvane Demo'
  ClientHeight = 404
  ClientWidth = 611
  Color = clBtnFace
  Constraints.MinHeight = 431
  Constraints.MinWidth = 619
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object PnlMain: TPanel
    Left = 0
    Top = 0
    Width = 611
    Height = 404
    Align = alClient
    BevelInner = bvLowered
    BevelOuter = bvNone
    TabOrder = 0
    object PnlGrid: TPanel
      Left = 1
      Top = 1
      Width = 494
      Height = 308
      Anchors = [akLeft, akTop, akRight, akBottom]
      BevelOuter = bvNone
      TabOrder = 0
      object DbGrid: TDBGrid
        Left = 0
        Top = 0
        Width = 494
        Height = 308
        Align = alClient
        DataSource = DataSrc
        TabOrder = 0
      end
    end
    object PnlBookmarks: TPanel
      Left = 495
      Top = 1
      Width = 115
      Height = 77
      Anchors = [akTop, akRight]
      BevelOuter = bvNone
      TabOrder = 1
      object BtnGetBM: TSpeedButton
        Left = 13
        Top = 9
        Width = 89
        Height = 27
        AllowAllUp = True
        GroupIndex = 1
        Caption = 'Get Bookmark'
        OnClick = BtnGetBMClick
      end
      object BtnGotoBM: TSpeedButton
        Left = 13
        Top = 41
        Width = 89
        Height = 27
        Caption = 'Goto Bookmark'
        OnClick = BtnGotoBMClick
      end
    end
    object PnlRefresh: TPanel
      Left = 495
      Top = 78
      Width = 115
      Height = 77
      Anchors = [akTop, akRight]
      BevelOuter = bvNone
      TabOrder = 2
      object BtnRefreshActive: TSpeedButton
        Left = 13
        Top = 9
        Width = 89
        Height = 27
        Hint = 'Refreshes the active record only'
        Caption = 'Refresh Active'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnRefreshActiveClick
      end
      object BtnRefreshAll: TSpeedButton
        Left = 13
        Top = 41
        Width = 89
        Height = 27
        Hint = 'Refreshes the whole dataset'
        Caption = 'Refresh All'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnRefreshAllClick
      end
    end
    object PnlTransaction: TPanel
      Left = 495
      Top = 155
      Width = 115
      Height = 77
      Anchors = [akTop, akRight]
      BevelOuter = bvNone
      TabOrder = 3
      object BtnCommit: TSpeedButton
        Left = 13
        Top = 9
        Width = 89
        Height = 27
        Hint = 'Commit the current transaction (hard commit) and restarts it'
        Caption = 'Commit + Start'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnCommitClick
      end
      object BtnRollback: TSpeedButton
        Left = 13
        Top = 41
        Width = 89
        Height = 27
        Hint = 'Rolls back the current transaction and restarts it'
        Caption = 'Rollback + Start'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnRollbackClick
      end
    end
    object PnlFilter: TPanel
      Left = 495
      Top = 232
      Width = 115
      Height = 77
      Anchors = [akTop, akRight]
      BevelOuter = bvNone
      TabOrder = 4
      object BtnClientFilter: TSpeedButton
        Left = 13
        Top = 9
        Width = 89
        Height = 27
        Hint = 'Activates a clientside filter (shows only records with even ID)'
        AllowAllUp = True
        GroupIndex = 1
        Caption = 'Client Filter'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnClientFilterClick
      end
      object BtnServerFilter: TSpeedButton
        Left = 13
        Top = 41
        Width = 89
        Height = 27
        Hint = 'Activates a serverside filter (shows only records with QUANTITY greater 5)'
        AllowAllUp = True
        GroupIndex = 2
        Caption = 'Server Filter'
        ParentShowHint = False
        ShowHint = True
        OnClick = BtnServerFilterClick
      end
    end
    object PnlFiller: TPanel
      Left = 495
      Top = 309
      Width = 115
      Height = 0
      Anchors = [akTop, akRight, akBottom]
      BevelOuter = bvNone
      TabOrder = 5
    end
    object PnlNavigator: TPanel
      Left = 1
      Top = 309
      Width = 312
      Height = 46
      Anchors = [akLeft, akBottom]
      BevelOuter = bvNone
      TabOrder = 6
      object Nav: TDBNavigator
        Left = 10
        Top = 10
        Width = 290
        Height = 27
        DataSource = DataSrc
        TabOrder = 0
      end
    end
    object PnlSort: TPanel
      Left = 313
      Top = 309
      Width = 297
      Height = 46
      Anchors = [akLeft, akRight, akBottom]
      BevelOuter = bvNone
      TabOrder = 7
      object BtnSortIdAsc: TSpeedButton
        Tag = 1
        Left = 10
        Top = 11
        Width = 62
        Height = 27
        GroupIndex = 1
        Down = True
        Caption = 'ID'
        Glyph.Data = {
          26010000424D26010000000000007600000028000000200000000B0000000100
          040000000000B000000000000000000000001000000000000000000000000000
          8000008000000080800080000000800080008080000080808000C0C0C0000000
          FF0000FF000000FFFF00FF000000FF00FF00FFFF0000FFFFFF00333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333FFFFFFFFF33333300000000033333337777777773333333300000003
          3333333377777773333333333000003333333333377777333333333333000333
          3333333333777333333333333330333333333333333733333333333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333333333333333}
        Layout = blGlyphRight
        NumGlyphs = 2
        OnClick = BtnSortGenericGlick
      end
      object BtnSortIdDesc: TSpeedButton
        Tag = -1
        Left = 81
        Top = 11
        Width = 62
        Height = 27
        GroupIndex = 1
        Caption = 'ID'
        Glyph.Data = {
          26010000424D26010000000000007600000028000000200000000B0000000100
          040000000000B000000000000000000000001000000000000000000000000000
          8000008000000080800080000000800080008080000080808000C0C0C0000000
          FF0000FF000000FFFF00FF000000FF00FF00FFFF0000FFFFFF00333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          333333333333F3333333333333303333333333333337FF333333333333000333
          3333333333777FF3333333333000003333333333377777FF3333333300000003
          333333337777777FF33333300000000033333337777777773333333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333333333333333}
        Layout = blGlyphRight
        NumGlyphs = 2
        OnClick = BtnSortGenericGlick
      end
      object BtnSortDescrAsc: TSpeedButton
        Tag = 2
        Left = 151
        Top = 11
        Width = 62
        Height = 27
        GroupIndex = 1
        Caption = 'Descr.'
        Glyph.Data = {
          26010000424D26010000000000007600000028000000200000000B0000000100
          040000000000B000000000000000000000001000000000000000000000000000
          8000008000000080800080000000800080008080000080808000C0C0C0000000
          FF0000FF000000FFFF00FF000000FF00FF00FFFF0000FFFFFF00333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333FFFFFFFFF33333300000000033333337777777773333333300000003
          3333333377777773333333333000003333333333377777333333333333000333
          3333333333777333333333333330333333333333333733333333333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333333333333333}
        Layout = blGlyphRight
        NumGlyphs = 2
        OnClick = BtnSortGenericGlick
      end
      object BtnSortDescrDesc: TSpeedButton
        Tag = -2
        Left = 222
        Top = 11
        Width = 62
        Height = 27
        GroupIndex = 1
        Caption = 'Descr.'
        Glyph.Data = {
          26010000424D26010000000000007600000028000000200000000B0000000100
          040000000000B000000000000000000000001000000000000000000000000000
          8000008000000080800080000000800080008080000080808000C0C0C0000000
          FF0000FF000000FFFF00FF000000FF00FF00FFFF0000FFFFFF00333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          333333333333F3333333333333303333333333333337FF333333333333000333
          3333333333777FF3333333333000003333333333377777FF3333333300000003
          333333337777777FF33333300000000033333337777777773333333333333333
          3333333333333333333333333333333333333333333333333333333333333333
          33333333333333333333}
        Layout = blGlyphRight
        NumGlyphs = 2
        OnClick = BtnSortGenericGlick
      end
    end
    object PnlDatabase: TPanel
      Left = 1
      Top = 355
      Width = 312
      Height = 48
      Anchors = [akLeft, akBottom]
      BevelOuter = bvNone
      TabOrder = 8
      object BtnSettings: TSpeedButton
        Left = 10
        Top = 11
        Width = 89
        Height = 27
        Caption = 'DB Settings'
        OnClick = BtnSettingsClick
      end
      object BtnCreateDb: TSpeedButton
        Left = 111
        Top = 11
        Width = 89
        Height = 27
        Caption = 'Create DB'
        OnClick = BtnCreateDbClick
      end
      object BtnOpenClose: TSpeedButton
        Left = 211
        Top = 11
        Width = 89
        Height = 27
        Caption = 'Open'
        OnClick = BtnOpenCloseClick
      end
    end
    object PnlSearch: TPanel
      Left = 313
      Top = 355
      Width = 297
      Height = 48
      Anchors = [akLeft, akRight, akBottom]
      BevelOuter = bvNone
      TabOrder = 9
      object TxtSearch: TStaticText
        Left = 12
        Top = 16
        Width = 42
        Height = 17
        AutoSize = False
        Caption = '&Search :'
        FocusControl = EdtSearch
        TabOrder = 0
      end
      object EdtSearch: TEdit
        Left = 56
        Top = 14
        Width = 228
        Height = 21
        Anchors = [akLeft, akTop, akRight]
        TabOrder = 1
        OnChange = EdtSearchChange
        OnExit = EdtSearchExit
      end
    end
  end
  object Db: TIBDatabase
    DefaultTransaction = Tr
    IdleTimer = 0
    SQLDialect = 3
    AllowStreamedConnected = False
    LoginPrompt = False
  end
  object Tr: TIBTransaction
    Active = False
    DefaultDatabase = Db
    DefaultAction = TARollback
    AutoStopAction = saNone
  end
  object DataSrc: TDataSource
    DataSet = DataSet
  end
  object DataSet: TIBRowvaneKV
    Database = Db
    Transaction = Tr
    OnCalcFields = DataSetCalcFields
    OnFilterRecord = DataSetFilterRecord
    object DataSetID: TIntegerField
      FieldName = 'ID'
      Required = True
    end
    object DataSetDESCRIPTION: TIBStringField
      FieldName = 'DESCRIPTION'
      Required = True
      Size = 30
    end
    object DataSetQUANTITY: TIBBCDField
      DisplayWidth = 7
      FieldName = 'QUANTITY'
      Precision = 10
      Size = 2
    end
    object DataSetPRICE: TIBBCDField
      FieldName = 'PRICE'
      Precision = 10
      Size = 2
    end
    object DataSetSUM: TBCDField
      FieldKind = fkCalculated
      FieldName = 'SUM'
      Calculated = True
    end
  end
  object IBSQL: TIBSQL
    Database = Db
    ParamCheck = True
    Transaction = Tr
  end
end
)")

namespace {

using THintHandler = void(AnsiString&, bool&, THintInfo&);

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

TFrmMain::TFrmMain(TComponent* AOwner) : TForm(AOwner) {
    InitForm(ClassInfo());
    FBookmark = nullptr;
    TShowHintEvent previousHintHandler = Application ? Application->OnShowHint : TShowHintEvent();
    // Bound by name, so that the destructor can tell the handler is still ours.
    if (Application)
        Application->OnShowHint = TMethodClosure<THintHandler>{
            this, "AppShowHint", [this](AnsiString& HintStr, bool& CanShow, THintInfo& HintInfo) {
                AppShowHint(HintStr, CanShow, HintInfo);
            }};
    try {
        // The global Settings holds it from here; a second one raises.
        auto settings = std::make_unique<TSettings>();
        UpdateButtons();
        Db->SetSQLDialect(3);
        Db->SetLoginPrompt(false);
        // A transaction still open when the database disconnects is rolled back.
        Tr->SetDefaultAction(TARollback);
        Tr->GetParams()->Add("read_committed");
        Tr->GetParams()->Add("nowait");
        DataSet->GetSelectSQL()->Add("SELECT * FROM ITEM");
        DataSet->SetKeyColumns("ID");
        DataSet->GetOrderItems()->Add("1;ID");
        DataSet->GetOrderItems()->Add("2;DESCRIPTION");
        DataSet->SetOrderItemId(1);
        DataSet->SetPessimisticLocking(true);
        DataSet->SetRefreshBeforeEdit(true);
        // New rows take their ID from the generator, step 1.
        DataSet->GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
        settings.release();
    } catch (...) {
        // A window that failed to come up leaves the hints as they were.
        if (Application && GetMethodRef(Application->OnShowHint).Data == this)
            Application->OnShowHint = previousHintHandler;
        throw;
    }
}

TFrmMain::~TFrmMain() {
    // Nothing may escape a destructor: what fails is shown and the rest goes on.
    GuardedCall(this, [this] { ReleaseBookmark(); });
    GuardedCall(this, [this] {
        if (Db->GetConnected()) CloseDatabase();
    });
    std::unique_ptr<TSettings> settings(Settings);
    settings.reset();
    if (Application && GetMethodRef(Application->OnShowHint).Data == this) Application->OnShowHint = nullptr;
    if (FrmMain == this) FrmMain = nullptr;
}

// ---------------------------------------------------------------------------
// States

void TFrmMain::UpdateButtons() {
    bool open = DataSet->GetActive();
    BtnOpenClose->SetCaption(open ? "Close" : "Open");
    BtnSettings->SetEnabled(!open);
    BtnCreateDb->SetEnabled(!open);
    for (TControl* c : std::initializer_list<TControl*>{EdtSearch, BtnGetBM, BtnGotoBM, BtnRefreshActive,
                                                        BtnRefreshAll, BtnCommit, BtnRollback})
        c->SetEnabled(open);
}

void TFrmMain::ShowDbSettings() {
    auto dialog = std::make_unique<TFrmDbSettings>(this);
    dialog->ShowModal();
}

void TFrmMain::CreateDemoDatabase() {
    ::CreateDemoDatabase(*Db, *Tr, *IBSQL, *Settings);
}

void TFrmMain::OpenDatabase() {
    Db->SetDatabaseName(Settings->GetConnectString());
    TStrings& params = *Db->GetParams();
    params.Clear();
    params.Add("USER_NAME=" + Settings->GetUsername());
    params.Add("PASSWORD=" + Settings->GetPassword());
    Db->SetConnected(true);
    try {
        DataSet->SetActive(true);
    } catch (...) {
        // Connected without its dataset the window could neither open nor
        // change the settings again: the connection goes with the failure.
        Db->ForceClose();
        throw;
    }
    UpdateButtons();
}

void TFrmMain::CloseDatabase() {
    DataSet->SetActive(false);
    Db->SetConnected(false);
    UpdateButtons();
}

void TFrmMain::ReleaseBookmark() {
    if (!FBookmark) return;
    TBookmark bookmark = FBookmark;
    FBookmark = nullptr;
    DataSet->FreeBookmark(bookmark);
}

// ---------------------------------------------------------------------------
// Handlers

void TFrmMain::BtnSettingsClick(TObject*) {
    ShowDbSettings();
}

void TFrmMain::BtnCreateDbClick(TObject*) {
    CreateDemoDatabase();
}

void TFrmMain::BtnOpenCloseClick(TObject*) {
    if (DataSet->GetActive())
        CloseDatabase();
    else
        OpenDatabase();
}

void TFrmMain::BtnGetBMClick(TObject*) {
    if (BtnGetBM->GetDown()) {
        // One bookmark at most: one still held goes first.
        ReleaseBookmark();
        FBookmark = DataSet->GetBookmark();
    } else {
        ReleaseBookmark();
    }
}

void TFrmMain::BtnGotoBMClick(TObject*) {
    if (FBookmark) DataSet->GotoBookmark(FBookmark, false);
}

void TFrmMain::BtnRefreshActiveClick(TObject*) {
    DataSet->RefreshActiveRecord();
}

void TFrmMain::BtnRefreshAllClick(TObject*) {
    DataSet->Refresh();
}

void TFrmMain::BtnCommitClick(TObject*) {
    Tr->Commit();
    Tr->StartTransaction();
}

void TFrmMain::BtnRollbackClick(TObject*) {
    Tr->Rollback();
    Tr->StartTransaction();
    DataSet->Refresh();
}

void TFrmMain::BtnClientFilterClick(TObject*) {
    DataSet->SetFiltered(BtnClientFilter->GetDown());
    if (DataSet->GetActive()) DataSet->Refresh();
}

void TFrmMain::BtnServerFilterClick(TObject*) {
    DataSet->SetWhereClause(BtnServerFilter->GetDown() ? AnsiString("QUANTITY > 5") : AnsiString());
    if (DataSet->GetActive()) DataSet->Refresh();
}

void TFrmMain::BtnSortGenericGlick(TObject* Sender) {
    if (auto* button = dynamic_cast<TComponent*>(Sender)) DataSet->SetOrderItemId(button->GetTag());
}

void TFrmMain::EdtSearchChange(TObject*) {
    // A pending edit is settled first, outside the guard below: when its post
    // fails the error is shown and the edit stays, instead of being cancelled
    // silently by the search.
    TDataSetState state = DataSet->GetState();
    if (state == dsEdit || state == dsInsert) DataSet->CheckBrowseMode();

    AnsiString text = EdtSearch->GetText();
    if (text.empty()) {
        if (DataSet->GetOrderItemId() < 0)
            DataSet->Last();
        else
            DataSet->First();
        return;
    }
    try {
        switch (std::abs(DataSet->GetOrderItemId())) {
        case 1:
            DataSet->SetKey(true);
            DataSetID->SetAsInteger(StrToIntDef(text, 0));
            DataSet->GotoKey(false, false, -1, true);
            break;
        case 2:
            DataSet->SetKey(true);
            DataSetDESCRIPTION->SetAsString(text);
            DataSet->GotoKey(false, false, -1, true);
            break;
        default:
            break;
        }
    } catch (...) {
        // Typing on finds the next row; what failed is not worth a message.
        DataSet->Cancel();
    }
}

void TFrmMain::EdtSearchExit(TObject*) {
    // Emptied without searching, so leaving the box moves nothing.
    TNotifyEvent handler = EdtSearch->OnChange;
    EdtSearch->OnChange = nullptr;
    try {
        EdtSearch->SetText(AnsiString());
    } catch (...) {
        EdtSearch->OnChange = handler;
        throw;
    }
    EdtSearch->OnChange = handler;
}

void TFrmMain::DataSetFilterRecord(TDataSet* ADataSet, bool& Accept) {
    // Negative odd IDs are odd too.
    if (ADataSet->FieldByName("ID")->GetAsInteger() % 2 != 0) Accept = false;
}

void TFrmMain::DataSetCalcFields(TDataSet*) {
    DataSetSUM->SetAsCurrency(
        CurrencyProduct(DataSetQUANTITY->GetAsCurrency(), DataSetPRICE->GetAsCurrency()));
}

void TFrmMain::AppShowHint(AnsiString&, bool&, THintInfo& HintInfo) {
    HintInfo.HintMaxWidth = 180;
}

// ---------------------------------------------------------------------------
// Arithmetic

Currency CurrencyProduct(Currency A, Currency B) {
    __extension__ using Int128 = __int128;
    Int128 product = static_cast<Int128>(A.Raw()) * B.Raw() / Currency::Scale;
    if (product > std::numeric_limits<Int64>::max() || product < std::numeric_limits<Int64>::min())
        throw ERangeError("The product of " + CurrToStr(A) + " and " + CurrToStr(B) +
                          " is out of the currency range");
    return Currency::FromRaw(static_cast<Int64>(product));
}

// ---------------------------------------------------------------------------
// The sample database

namespace {

// The text of a CREATE DATABASE string in double quotes: inner ones doubled.
AnsiString DoubleQuoted(const AnsiString& S) {
    return AnsiQuotedStr(S, '"');
}

void AddLines(TStrings& SQL, std::initializer_list<const char*> Lines) {
    for (const char* line : Lines)
        SQL.Add(line);
}

} // namespace

void CreateDemoDatabase(TIBDatabase& Db, TIBTransaction& Tr, TIBSQL& IBSQL, const TSettings& Settings) {
    Db.SetDatabaseName(Settings.GetConnectString());
    TStrings& params = *Db.GetParams();
    params.Clear();
    params.Add("USER " + DoubleQuoted(Settings.GetUsername()));
    params.Add("PASSWORD " + DoubleQuoted(Settings.GetPassword()));
    params.Add("PAGE_SIZE 4096");
    Db.CreateDatabase();
    Tr.StartTransaction();

    TStrings& sql = *IBSQL.GetSQL();
    sql.Clear();
    const std::initializer_list<const char*> statements[] = {
        {"CREATE TABLE ITEM", "(", "ID INTEGER NOT NULL,", "DESCRIPTION VARCHAR(30) NOT NULL,",
         "QUANTITY NUMERIC(5,2),", "PRICE NUMERIC(8,2),", "CONSTRAINT PKY_ITEM PRIMARY KEY (ID)", ")"},
        {"CREATE UNIQUE DESC INDEX", "IXD_ITEM_ID ON ITEM ID"},
        {"CREATE UNIQUE ASC INDEX", "IXA_ITEM_DESCRIPTION ON ITEM DESCRIPTION"},
        {"CREATE UNIQUE DESC INDEX", "IXD_ITEM_DESCRIPTION ON ITEM DESCRIPTION"},
        {"CREATE GENERATOR GEN_ITEM_ID"},
    };
    for (const auto& lines : statements) {
        AddLines(sql, lines);
        IBSQL.ExecQuery();
        Tr.CommitRetaining();
        sql.Clear();
    }
    AddLines(sql, {"CREATE TRIGGER TRG_ITEM_BI_PKY", "FOR ITEM", "ACTIVE BEFORE INSERT POSITION 0", "AS",
                   "BEGIN", "IF (", "NEW.ID IS NULL", "OR", "NEW.ID > GEN_ID(GEN_ITEM_ID, 0)", ")", "THEN",
                   "NEW.ID = GEN_ID(GEN_ITEM_ID, 1);", "END"});
    IBSQL.ExecQuery();
    Tr.Commit();
    Db.SetConnected(false);
}
