// The main window's unit. What it needs of the database components alone
// lives here already: creating the sample database, which the main
// window's "Create DB" button runs with its own Db, Tr and IBSQL.
#pragma once

#include "IBDatabase.h"
#include "IBSQL.h"

class TSettings;

// Creates a new database on the server and path of Settings (page size
// 4096, in Db's SQL dialect) with table ITEM, its unique indexes, generator
// GEN_ITEM_ID and the trigger that fills ID, each committed before the
// next; Db is disconnected afterwards. User name and password go into the
// statement as quoted strings with their quotes doubled, so no input can
// end the string early. Nothing is caught: an error stops at its step
// (a database that exists already stops it before anything is written).
void CreateDemoDatabase(TIBDatabase& Db, TIBTransaction& Tr, TIBSQL& IBSQL, const TSettings& Settings);
