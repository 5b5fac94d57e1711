// The SELECT parser: splits one SELECT statement into its clauses (sections)
// and each clause into typed tokens (items), lets a caller read, replace or
// extend a clause, and rebuilds the statement text. It is a splitter and
// re-joiner, not a grammar check: any text splits, nothing is rejected.
#pragma once

#include "Classes.h"

// Kind of a token, of an item and of a section. 0 is never used.
enum TSQLItemType : Byte {
    sitSelect = 1,
    sitFrom = 2,
    sitWhere = 3,
    sitGroupBy = 4,
    sitHaving = 5,
    sitUnion = 6,
    sitPlan = 7,
    sitOrderBy = 8,
    sitForUpdate = 9,
    sitTransaction = 10,
    sitDistinct = 11,
    sitAll = 12,
    sitAllColumns = 13,
    sitSome = 14,
    sitAny = 15,
    sitCollate = 16,
    sitCollation = 17,
    sitAsc = 18,
    sitDesc = 19,
    sitJoin = 20,
    sitAnd = 21,
    sitOr = 22,
    sitNot = 23,
    sitIs = 24,
    sitComparison = 25,
    sitExists = 26,
    sitSingular = 27,
    sitContaining = 28,
    sitStartingWith = 29,
    sitLike = 30,
    sitFunction = 31,
    sitCountAll = 32,
    sitParameter = 33,
    sitTable = 34,
    sitColumn = 35,
    sitTableAlias = 36,
    sitOpenParen = 37,
    sitCloseParen = 38,
    sitPlus = 39,
    sitMinus = 40,
    sitAsterisk = 41,
    sitDoubleSlash = 42, // kept for its number; no token gets it
    sitDot = 43,
    sitComma = 44,
    sitBetween = 45,
    sitEscape = 46,
    sitOn = 47,
    sitNull = 48,
    sitNumber = 49,
    sitString = 50,
    sitOther = 51,
    sitEnd = 52,
};

class TSQLSelectParserKV;
class TSQLSelectParserSectionKV;

// One token of a clause. Text holds the value without enclosing quotes.
class TSQLSelectParserItemKV : public TObject {
public:
    TSQLSelectParserItemKV() = default;

    // Text with its quotes restored (embedded quotes doubled again).
    AnsiString GetQuotedText() const;

    TSQLSelectParserSectionKV* Section = nullptr; // owner, not owned
    AnsiString Text;
    TSQLItemType ItemType = sitOther;
    int QuoteKind = 0; // 0 unquoted, 1 single quotes, 2 double quotes
};

// One clause of a statement. Owns its items, in text order.
class TSQLSelectParserSectionKV : public TObject {
public:
    TSQLSelectParserSectionKV() = default;

    TSQLSelectParserItemKV* GetItem(int Index) const { return Items.Get(Index); }
    int GetCount() const { return Items.GetCount(); }
    // The owning parser's dialect, 1 without a parser.
    int GetSQLDialect() const;

    // Caller items keep their text and type as given; they are not reclassified.
    int AddItem(const AnsiString& Text, TSQLItemType ItemType);
    void InsertItem(int Index, const AnsiString& Text, TSQLItemType ItemType);
    void Clear();
    void DeleteItem(int Index);
    void DeleteItem(TSQLSelectParserItemKV* Item);

    // The clause's items as text, without the clause keyword.
    AnsiString GetSQLText() const;
    // Replaces the items with those read from Text (which may start with the clause keyword).
    void SetSQLText(const AnsiString& Text);
    // Reads items from a NUL-terminated text up to a keyword that ends the
    // clause or the end; returns that keyword's type or sitEnd.
    TSQLItemType InternalSetSQLText(const char*& Cursor);
    // Gives freshly read items their final types from their neighbours and the clause.
    void RecreateItemTypes();

    TSQLSelectParserKV* Parser = nullptr; // owner, not owned; none for a section on its own
    TObjectList<TSQLSelectParserItemKV> Items{8};
    AnsiString Name; // keyword printed in front of the clause
    TSQLItemType SectionType = sitOther;
};

// The parser. Owns its sections; the constructor creates the nine clauses
// SELECT, FROM, WHERE, GROUP BY, HAVING, UNION, PLAN, ORDER BY, FOR UPDATE.
class TSQLSelectParserKV : public TObject {
public:
    TSQLSelectParserKV();

    int AddSection(const AnsiString& Name, TSQLItemType SectionType);
    int GetCount() const { return Sections.GetCount(); }
    TSQLSelectParserSectionKV* GetSection(int Index) const { return Sections.Get(Index); }
    // First section of that type; none raises EDatabaseError SInvalidParseSec.
    TSQLSelectParserSectionKV* GetSectionByType(TSQLItemType SectionType) const;

    // The statement: each non-empty section as keyword and clause text, joined by CR LF.
    AnsiString GetSQLText() const;
    void SetSQLText(const AnsiString& Text);
    void ClearSections();

    int SQLDialect = 1; // a double-quoted token is a string below 3, a name from 3 on
    TObjectList<TSQLSelectParserSectionKV> Sections{16};
};
