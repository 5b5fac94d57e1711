#include "Frm_main.h"

#include "Unt_settings.h"

#include <initializer_list>

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
