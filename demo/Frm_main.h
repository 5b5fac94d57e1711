// The main window of the demonstration program: the table ITEM in a grid
// and navigator through a TIBRowvaneKV, with a button for each thing the
// dataset shows (open and close, bookmarks, refreshing, commit and
// rollback, client and server filters, four sort orders) and an
// incremental search in the sort column. Built from the form description
// "TFRMMAIN"; owns everything read from it (database, transaction, data
// source, dataset with its fields, the statement that creates the sample
// database, grid, navigator, panels, buttons, search box) and the bookmark
// it holds. Creates the one TSettings of the program and deletes it again.
#pragma once

#include "Buttons.h"
#include "DBCtrls.h"
#include "DBGrids.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "IBDatabase.h"
#include "IBFields.h"
#include "IBRowvaneKV.h"
#include "IBSQL.h"
#include "StdCtrls.h"

class TSettings;

class TFrmMain : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TFrmMain>& P);

    explicit TFrmMain(TComponent* AOwner);
    // Frees the held bookmark, closes the dataset and the database when it
    // is connected, deletes the settings; then the form and its components go.
    ~TFrmMain() override;

    // Published handlers.
    void BtnSettingsClick(TObject* Sender);
    void BtnCreateDbClick(TObject* Sender);
    void BtnOpenCloseClick(TObject* Sender);
    void BtnGetBMClick(TObject* Sender);
    void BtnGotoBMClick(TObject* Sender);
    void BtnRefreshActiveClick(TObject* Sender);
    void BtnRefreshAllClick(TObject* Sender);
    void BtnCommitClick(TObject* Sender);
    void BtnRollbackClick(TObject* Sender);
    void BtnClientFilterClick(TObject* Sender);
    void BtnServerFilterClick(TObject* Sender);
    // The click handler of all four sort buttons: the sender's tag is the order item id.
    void BtnSortGenericGlick(TObject* Sender);
    void EdtSearchChange(TObject* Sender);
    void EdtSearchExit(TObject* Sender);
    void DataSetFilterRecord(TDataSet* DataSet, bool& Accept);
    void DataSetCalcFields(TDataSet* DataSet);
    // The application's hint handler: hints wrap at 180 pixels.
    void AppShowHint(AnsiString& HintStr, bool& CanShow, THintInfo& HintInfo);

    // The bookmark taken with "Get Bookmark", or null.
    TBookmark GetHeldBookmark() const { return FBookmark; }

    // Published fields, in the order of the form description.
    TIBDatabase* Db = nullptr;
    TIBTransaction* Tr = nullptr;
    TDataSource* DataSrc = nullptr;
    TIBRowvaneKV* DataSet = nullptr;
    TIBSQL* IBSQL = nullptr;
    TIntegerField* DataSetID = nullptr;
    TIBStringField* DataSetDESCRIPTION = nullptr;
    TIBBCDField* DataSetQUANTITY = nullptr;
    TIBBCDField* DataSetPRICE = nullptr;
    TBCDField* DataSetSUM = nullptr;
    TDBGrid* DbGrid = nullptr;
    TPanel* PnlMain = nullptr;
    TStaticText* TxtSearch = nullptr;
    TEdit* EdtSearch = nullptr;
    TSpeedButton* BtnGetBM = nullptr;
    TSpeedButton* BtnGotoBM = nullptr;
    TSpeedButton* BtnRefreshActive = nullptr;
    TSpeedButton* BtnRefreshAll = nullptr;
    TSpeedButton* BtnCommit = nullptr;
    TSpeedButton* BtnRollback = nullptr;
    TSpeedButton* BtnClientFilter = nullptr;
    TSpeedButton* BtnServerFilter = nullptr;
    TSpeedButton* BtnSettings = nullptr;
    TSpeedButton* BtnCreateDb = nullptr;
    TSpeedButton* BtnOpenClose = nullptr;
    TSpeedButton* BtnSortIdAsc = nullptr;
    TSpeedButton* BtnSortIdDesc = nullptr;
    TSpeedButton* BtnSortDescrAsc = nullptr;
    TSpeedButton* BtnSortDescrDesc = nullptr;
    TDBNavigator* Nav = nullptr;

private:
    void UpdateButtons();
    void ShowDbSettings();
    void CreateDemoDatabase();
    void OpenDatabase();
    void CloseDatabase();
    void ReleaseBookmark();

    TBookmark FBookmark = nullptr;
};

// The main form of the running program (made by the program's start-up), or null.
extern TFrmMain* FrmMain;

// Creates a new database on the server and path of Settings (page size
// 4096, in Db's SQL dialect) with table ITEM, its unique indexes, generator
// GEN_ITEM_ID and the trigger that fills ID, each committed before the
// next; Db is disconnected afterwards. User name and password go into the
// statement as quoted strings with their quotes doubled, so no input can
// end the string early. Nothing is caught: an error stops at its step
// (a database that exists already stops it before anything is written).
void CreateDemoDatabase(TIBDatabase& Db, TIBTransaction& Tr, TIBSQL& IBSQL, const TSettings& Settings);

// The product of two currency values as currency: the scaled values are
// multiplied in 128 bits (the product of two 64-bit values may need them)
// and divided by the scale with truncation toward zero. A result outside
// the currency range raises ERangeError.
Currency CurrencyProduct(Currency A, Currency B);
