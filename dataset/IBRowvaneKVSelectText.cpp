// The statements derived from SelectSQL: the WHERE clause as a property, the
// ORDER BY of the cursors, the keyset condition that starts a cursor at the
// position, and the statement that re-reads one row by key. Each operation
// works on a parser of its own.
#include "IBRowvaneKVInternal.h"

#include "SQLSelectParserKVInternal.h"

#include <algorithm>
#include <vector>

using Ibrowvanekv::LocateParamName;
using Ibrowvanekv::NewParser;
using Ibrowvanekv::Refuse;

// ---------------------------------------------------------------------------
// What the dataset cannot run: the cursors and the refresh statement are
// rebuilt by the parser, so a statement it does not take apart without loss
// would run as another statement; a result limited by FIRST, SKIP or ROWS
// holds other rows when read in the inverted order; a union or a common
// table expression has no one select to add an order and a condition to.
// Each refusal says what to write instead. No message of the dataset names
// such a statement, so they carry the text of the one about the order.

namespace {

struct TToken {
    TSQLItemType Type;
    AnsiString Text;
};

// The tokens as the parser reads them. The rebuild writes the clause
// keywords in capitals and with one blank between their words.
std::vector<TToken> TokensOf(const AnsiString& Text) {
    std::vector<TToken> tokens;
    const AnsiString buffer(Text); // NUL-terminated for the scan
    const char* cursor = buffer.c_str();
    AnsiString token;
    for (TSQLItemType type; (type = SQLSelectParserKV::GetNextToken(cursor, token)) != sitEnd;)
        tokens.push_back({type, type >= sitSelect && type <= sitForUpdate ? UpperCase(token) : token});
    return tokens;
}

// "--" or "/*" outside a quoted token: the parser reads a comment as text.
bool HasComment(const AnsiString& Text) {
    const AnsiString buffer(Text);
    const char* cursor = buffer.c_str();
    AnsiString token;
    while (SQLSelectParserKV::ScanToken(cursor, token))
        if ((token == "-" && *cursor == '-') || (token == "/" && *cursor == '*')) return true;
    return false;
}

[[noreturn]] void RefuseStatement(const AnsiString& What, const AnsiString& Why) {
    Refuse(rveInvalidOrderByClause, {}, What + " " + Why);
}

bool IsWord(const TSQLSelectParserItemKV* Item, const char* Word) {
    return Item && Item->QuoteKind == 0 && UpperCase(Item->Text) == Word;
}

// The given tokens, less what the rebuild drops on purpose, against the
// tokens of the rebuilt text; the first difference is reported, with what
// usually causes it.
void CheckRebuiltAsGiven(const AnsiString& What, std::vector<TToken> Given, const AnsiString& Rebuilt,
                         const AnsiString& Cause, const AnsiString& Instead) {
    std::vector<TToken> rebuilt = TokensOf(Rebuilt);
    size_t n = std::min(Given.size(), rebuilt.size());
    size_t i = 0;
    while (i < n && Given[i].Text == rebuilt[i].Text)
        ++i;
    if (i == Given.size() && i == rebuilt.size()) return;
    AnsiString at;
    for (size_t j = i; j < std::min(Given.size(), i + 4); ++j)
        at += (j > i ? " " : "") + Given[j].Text;
    RefuseStatement(What, "cannot be taken apart without changing it at " +
                              (at.empty() ? AnsiString("its end") : "\"" + at + "\"") + ": " + Cause +
                              " is not supported; " + Instead);
}

// Each clause is changed on its own (its WHERE put in parentheses, its
// ORDER BY replaced): a clause whose parentheses do not pair up holds part of
// a nested select that the parser took for a clause of the statement.
void CheckClausesClosed(const AnsiString& What, const TSQLSelectParserKV& Parser) {
    for (int s = 0; s < Parser.GetCount(); ++s) {
        const TSQLSelectParserSectionKV* section = Parser.GetSection(s);
        int depth = 0;
        for (int i = 0; i < section->GetCount() && depth >= 0; ++i) {
            TSQLItemType type = section->GetItem(i)->ItemType;
            depth += type == sitOpenParen ? 1 : type == sitCloseParen ? -1 : 0;
        }
        if (depth != 0)
            RefuseStatement(What,
                            "cannot be taken apart: its " + section->Name +
                                " clause is cut off inside parentheses (a nested select's clause ended it);"
                                " put the nested select into a view and name the view there");
    }
}

// FIRST or SKIP right after an outer SELECT, a ROWS clause, OFFSET .. ROWS,
// FETCH FIRST/NEXT: the rows read backward would not be the rows read forward.
void CheckNotLimited(const AnsiString& What, const TSQLSelectParserKV& Parser) {
    auto word = [](const TSQLSelectParserItemKV* Item) {
        return Item && Item->QuoteKind == 0 ? UpperCase(Item->Text) : AnsiString();
    };
    for (int s = 0; s < Parser.GetCount(); ++s) {
        TSQLSelectParserSectionKV* section = Parser.GetSection(s);
        int count = section->GetCount();
        auto item = [section, count](int Index) {
            return Index < count ? section->GetItem(Index) : nullptr;
        };
        int depth = 0;
        bool afterSelect = section->SectionType == sitSelect;
        for (int i = 0; i < count; ++i) {
            const TSQLSelectParserItemKV* current = item(i);
            AnsiString w = word(current);
            if (depth == 0) {
                AnsiString next = word(item(i + 1));
                bool limit = (afterSelect && (w == "FIRST" || w == "SKIP") && item(i + 1) && next != ",") ||
                             w == "ROWS" ||
                             (w == "OFFSET" && (word(item(i + 2)) == "ROW" || word(item(i + 2)) == "ROWS")) ||
                             (w == "FETCH" && (next == "FIRST" || next == "NEXT"));
                if (limit)
                    RefuseStatement(What, "limits its rows with " + w +
                                              ": read backward, such a result holds other rows, so the"
                                              " dataset cannot scroll it; limit the rows by a condition in"
                                              " WHERE instead");
            }
            afterSelect = depth == 0 && current->ItemType == sitSelect;
            if (current->ItemType == sitOpenParen) ++depth;
            if (current->ItemType == sitCloseParen && depth > 0) --depth;
        }
    }
}

// A ";" ends the statement, also before the clauses the dataset adds.
void CheckNotEnded(const AnsiString& What, const std::vector<TToken>& Tokens) {
    auto ends = [](const TToken& T) {
        return T.Text[0] != '\'' && T.Text[0] != '"' && T.Text.find(';') != AnsiString::npos;
    };
    if (std::any_of(Tokens.begin(), Tokens.end(), ends))
        RefuseStatement(What,
                        "holds a \";\", which would end the statement before what the dataset adds to it;"
                        " remove the \";\"");
}

// The dataset hands the select's parameters to its own statements by name.
void CheckParametersNamed(const std::vector<TToken>& Tokens) {
    if (std::any_of(Tokens.begin(), Tokens.end(), [](const TToken& T) { return T.Text == "?"; }))
        Refuse(rveParamNotFound, {"?"},
               "the dataset passes parameters to its statements by name; write a named"
               " parameter (such as :ID) instead of ?");
}

// A union: the ORDER BY and the condition the dataset adds would belong to
// its first select (or be refused), not to the union.
void CheckNoUnion(const TSQLSelectParserKV& Parser) {
    if (Parser.GetSectionByType(sitUnion)->GetCount() > 0)
        RefuseStatement("SelectSQL",
                        "is a UNION of selects, which the dataset cannot order and read from a"
                        " position as one result; write the union into a view and select from the"
                        " view");
}

// An ORDER in the PLAN fixes the order by an index, while the dataset orders
// each cursor itself, the backward one in the inverted order.
void CheckPlanLeavesTheOrder(const TSQLSelectParserKV& Parser) {
    const TSQLSelectParserSectionKV* plan = Parser.GetSectionByType(sitPlan);
    for (int i = 0; i < plan->GetCount(); ++i)
        if (IsWord(plan->GetItem(i), "ORDER"))
            RefuseStatement("SelectSQL",
                            "fixes the order of its rows by ORDER in its PLAN, while the dataset"
                            " orders them itself, backward too; leave ORDER out of the PLAN (or the"
                            " PLAN out)");
}

} // namespace

void TIBRowvaneKV::CheckSelectStatement(const AnsiString& Text) {
    if (HasComment(Text))
        RefuseStatement("SelectSQL", "holds a comment, which the dataset would not keep; remove the comment");
    std::vector<TToken> given = TokensOf(Text);
    if (!given.empty() && UpperCase(given.front().Text) == "WITH")
        RefuseStatement("SelectSQL", "begins with WITH: the dataset cannot rebuild a select with common table"
                                     " expressions; write them into views and select from the views");
    CheckNotEnded("SelectSQL", given);
    CheckParametersNamed(given);
    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(Text);
    // Dropped on purpose: words before the first clause keyword, and a FOR UPDATE without OF.
    auto first = std::find_if(given.begin(), given.end(),
                              [](const TToken& T) { return T.Type >= sitSelect && T.Type <= sitForUpdate; });
    given.erase(given.begin(), first);
    if (parser->GetSectionByType(sitForUpdate)->GetCount() == 0)
        std::erase_if(given, [](const TToken& T) { return T.Type == sitForUpdate; });
    CheckRebuiltAsGiven("SelectSQL", std::move(given), parser->GetSQLText(),
                        "a select in the select list or in FROM, or a clause out of its place,",
                        "write each clause once and in its place, and put a select of the select list or of"
                        " FROM into a view and select from the view");
    CheckClausesClosed("SelectSQL", *parser);
    CheckNoUnion(*parser);
    CheckPlanLeavesTheOrder(*parser);
    CheckNotLimited("SelectSQL", *parser);
}

// ---------------------------------------------------------------------------
// WhereClause

AnsiString TIBRowvaneKV::GetWhereClause() const {
    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(FQrySelect->GetSQL()->GetText());
    return parser->GetSectionByType(sitWhere)->GetSQLText();
}

void TIBRowvaneKV::SetWhereClause(const AnsiString& Value) {
    auto parser = NewParser(GetSQLDialect());
    AnsiString oldText = FQrySelect->GetSQL()->GetText();
    parser->SetSQLText(oldText);
    TSQLSelectParserSectionKV* where = parser->GetSectionByType(sitWhere);
    if (where->GetSQLText() == Value) return;
    // A condition the parser would change is refused before anything is touched.
    if (HasComment(Value)) RefuseStatement("WhereClause", "holds a comment, which the dataset would not keep");
    where->SetSQLText(Value);
    std::vector<TToken> given = TokensOf(Value);
    CheckNotEnded("WhereClause", given);
    CheckParametersNamed(given);
    if (!given.empty() && given.front().Type == sitWhere) given.erase(given.begin());
    CheckRebuiltAsGiven("WhereClause", std::move(given), where->GetSQLText(),
                        "a clause of a nested select outside parentheses",
                        "put the nested select in parentheses");
    CheckClausesClosed("WhereClause", *parser);
    bool wasPrepared = GetInternalPrepared();
    InternalPrepareSelectQueryFwd(0, -1);
    InternalPrepareSelectQueryBwd(0);
    InternalUnprepareQuery(FQryRefresh);
    InternalUnprepareQuery(FQrySelect);
    // Straight into the statement: the SelectSQL events stay quiet, so this
    // is allowed while open and keeps the order lists.
    FQrySelect->GetSQL()->SetText(parser->GetSQLText());
    if (!wasPrepared) return;
    try {
        InternalPrepare(!FCursorIsOpen);
    } catch (...) {
        // A condition the server refuses is not kept: the select goes back
        // to its old text and stays usable.
        FQrySelect->GetSQL()->SetText(oldText);
        try {
            InternalPrepare(!FCursorIsOpen);
        } catch (...) {
            // The refusal of the new condition is the error reported.
        }
        throw;
    }
}

// ---------------------------------------------------------------------------
// Cursor statements

void TIBRowvaneKV::ModifySelectQueryOrderBy(AnsiString& Text, bool Ascending) {
    if (FOrderItemId < 0) Ascending = !Ascending;
    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(Text);
    TIBRVOrderColumns* order = Ascending ? FOrderColumnsFwd.get() : FOrderColumnsBwd.get();
    parser->GetSectionByType(sitOrderBy)->SetSQLText(order->GetOrderBy());
    Text = parser->GetSQLText();
}

std::vector<bool> TIBRowvaneKV::OrderColumnsNullable(TIBRVOrderColumns& Order, int Count) {
    // Nullable: a select column that the descriptors do not mark NOT NULL.
    // Without an open dataset (no model) or for a column outside the select
    // list the comparison stays plain; binding the position fails there anyway.
    std::vector<bool> nullable(static_cast<size_t>(std::max(Count, 0)), false);
    if (!FModelBuffer) return nullable;
    for (int i = 0; i < Count; ++i) {
        TIBRVColumn* column = Order.GetItem(i);
        PFieldHdr hdr =
            GetFieldHeader(FModelBuffer.get(), column->GetTableNameEx(), column->GetColumnNameEx());
        nullable[static_cast<size_t>(i)] = hdr && !hdr.GetRequired();
    }
    return nullable;
}

namespace {

// The expression that the select list names Name ("PRICE * 2 AS TOTAL" or
// "PRICE * 2 TOTAL" for TOTAL), rebuilt as text; empty when no item of the
// list ends in that name.
AnsiString SelectListExpression(const TSQLSelectParserSectionKV& Select, const AnsiString& Name,
                                int Dialect) {
    auto type = [&Select](int Index) { return Select.GetItem(Index)->ItemType; };
    int count = Select.GetCount();
    int start = 0;
    while (start < count && (type(start) == sitDistinct || type(start) == sitAll))
        ++start;
    int depth = 0;
    for (int i = start; i <= count; ++i) {
        if (i < count && (depth > 0 || type(i) != sitComma)) {
            depth += type(i) == sitOpenParen ? 1 : type(i) == sitCloseParen ? -1 : 0;
            continue;
        }
        // The list item [start, i): an expression, AS or not, then its name.
        int last = i - 1;
        if (last > start && type(last) == sitColumn &&
            ExtractIdentifier(Dialect, Select.GetItem(last)->GetQuotedText()) == Name) {
            const TSQLSelectParserItemKV* before = Select.GetItem(last - 1);
            bool as = IsWord(before, "AS");
            bool endsExpression = as || before->ItemType == sitColumn || before->ItemType == sitCloseParen ||
                                  before->ItemType == sitNumber || before->ItemType == sitString ||
                                  before->ItemType == sitParameter || before->ItemType == sitNull;
            int end = as ? last - 1 : last;
            if (endsExpression && end > start) {
                TSQLSelectParserSectionKV expression;
                for (int j = start; j < end; ++j) {
                    const TSQLSelectParserItemKV* item = Select.GetItem(j);
                    expression.GetItem(expression.AddItem(item->Text, item->ItemType))->QuoteKind =
                        item->QuoteKind;
                }
                return expression.GetSQLText();
            }
        }
        start = i + 1;
    }
    return AnsiString();
}

} // namespace

AnsiString TIBRowvaneKV::ConditionColumn(const TSQLSelectParserSectionKV& Select, const TIBRVColumn& Column) {
    AnsiString name = Column.GetFullColumnName();
    if (!FModelBuffer || !Column.GetTableNameEx().empty() ||
        GetTableColumnIndex(FModelBuffer.get(), "", Column.GetColumnNameEx()) >= 0)
        return name;
    AnsiString expression = SelectListExpression(Select, Column.GetColumnNameEx(), GetSQLDialect());
    return expression.empty() ? name : "(" + expression + ")";
}

// The condition reads, for order columns c1..cn and position values p1..pn,
//   (c1 = p1 AND .. AND cn >= pn) OR (c1 = p1 AND .. c(n-1) > p(n-1)) OR .. OR (c1 > p1)
// with "<=" and "<" for a descending column. The engine sorts NULL before
// every value in ascending and after every value in descending order, so a
// column that may hold NULL compares through terms that place NULL there:
//   equal         (c = p OR (c IS NULL AND p IS NULL))
//   ascending     (c >= p OR p IS NULL)        (c > p OR (c IS NOT NULL AND p IS NULL))
//   descending    (c <= p OR c IS NULL)        (c < p OR (c IS NULL AND p IS NOT NULL))
// A column declared NOT NULL keeps the plain comparison. With Equal the
// condition is the first group with "=" for its last column as well. The
// rows of a grouped select are its groups: there the condition goes into HAVING.
void TIBRowvaneKV::ModifySelectQueryWhereForLocate(AnsiString& Text, bool Ascending, int Count, bool Equal) {
    if (FOrderItemId < 0) Ascending = !Ascending;
    TIBRVOrderColumns* order = Ascending ? FOrderColumnsFwd.get() : FOrderColumnsBwd.get();
    // -1: every column, the appended key columns too; a count names columns as written.
    int n = order->GetCount();
    if (Count != -1) {
        if (Count > GetOrderColumnCount()) throw EIBRVError(rveInvalidSortColCount);
        n = Count;
    }
    if (n <= 0) return; // no condition at all, not an empty pair of parentheses

    std::vector<bool> nullable = OrderColumnsNullable(*order, n);

    auto parser = NewParser(GetSQLDialect());
    parser->SetSQLText(Text);
    bool grouped = parser->GetSectionByType(sitGroupBy)->GetCount() > 0;
    TSQLSelectParserSectionKV* condition = parser->GetSectionByType(grouped ? sitHaving : sitWhere);
    const TSQLSelectParserSectionKV& select = *parser->GetSectionByType(sitSelect);
    if (condition->GetCount() > 0) {
        condition->InsertItem(0, "(", sitOpenParen);
        condition->AddItem(")", sitCloseParen);
        condition->InsertItem(0, "AND", sitAnd);
    }
    int at = 0;
    auto put = [&](const AnsiString& Item, TSQLItemType Type) { condition->InsertItem(at++, Item, Type); };
    auto isNull = [&](const AnsiString& Item, bool Not) {
        put(Item, Item[0] == ':' ? sitParameter : sitColumn);
        put("IS", sitIs);
        if (Not) put("NOT", sitNot);
        put("NULL", sitNull);
    };
    put("(", sitOpenParen);
    int groups = Equal ? 1 : n;
    for (int g = 0; g < groups; ++g) {
        int last = n - g; // the group compares the first n - g columns
        if (groups > 1) put("(", sitOpenParen);
        for (int i = 1; i <= last; ++i) {
            TIBRVColumn* column = order->GetItem(i - 1);
            AnsiString name = ConditionColumn(select, *column);
            AnsiString param = ":" + LocateParamName(i);
            bool ascending = column->GetOrderType() == sitAsc;
            bool equal = i < last || Equal;
            AnsiString op = equal ? "=" : ascending ? (g == 0 ? ">=" : ">") : (g == 0 ? "<=" : "<");
            if (!nullable[static_cast<size_t>(i - 1)]) {
                put(name, sitColumn);
                put(op, sitComparison);
                put(param, sitParameter);
            } else {
                put("(", sitOpenParen);
                put(name, sitColumn);
                put(op, sitComparison);
                put(param, sitParameter);
                put("OR", sitOr);
                if (equal) { // equal, NULL equal to NULL
                    put("(", sitOpenParen);
                    isNull(name, false);
                    put("AND", sitAnd);
                    isNull(param, false);
                    put(")", sitCloseParen);
                } else if (ascending && g == 0) { // every row is at or after NULL
                    isNull(param, false);
                } else if (ascending) { // every value is after NULL
                    put("(", sitOpenParen);
                    isNull(name, true);
                    put("AND", sitAnd);
                    isNull(param, false);
                    put(")", sitCloseParen);
                } else if (g == 0) { // NULL is at or after every value
                    isNull(name, false);
                } else { // NULL is after every value but itself
                    put("(", sitOpenParen);
                    isNull(name, false);
                    put("AND", sitAnd);
                    isNull(param, true);
                    put(")", sitCloseParen);
                }
                put(")", sitCloseParen);
            }
            if (i < last) put("AND", sitAnd);
        }
        if (groups > 1) put(")", sitCloseParen);
        if (g < groups - 1) put("OR", sitOr);
    }
    put(")", sitCloseParen);
    Text = parser->GetSQLText();
}

// ---------------------------------------------------------------------------
// The texts of the cursor and refresh statements, built once for their inputs

AnsiString TIBRowvaneKV::SelectTextInputs() {
    // Everything the builders read: the text, the dialect, the direction of
    // the order item, the order lists (with any key columns appended, and how
    // many columns were written) and which of the order columns may be NULL.
    AnsiString inputs = FSelectSQL->GetText();
    inputs += '\0' + IntToStr(GetSQLDialect()) + (FOrderItemId < 0 ? "-" : "+") + IntToStr(GetOrderColumnCount());
    inputs += '\0' + FOrderColumnsFwd->GetOrderBy() + '\0' + FOrderColumnsBwd->GetOrderBy() + '\0';
    for (bool nullable : OrderColumnsNullable(*FOrderColumnsFwd, FOrderColumnsFwd->GetCount()))
        inputs += nullable ? '1' : '0';
    return inputs;
}

AnsiString TIBRowvaneKV::CursorSelectText(int Mode, int Count) {
    AnsiString inputs = SelectTextInputs();
    if (inputs != FSelectTextInputs) {
        FSelectTexts.clear();
        FSelectTextInputs = inputs;
    }
    std::pair<int, int> key{Mode, Mode == 2 || Mode == 5 ? Count : -1};
    auto known = FSelectTexts.find(key);
    if (known != FSelectTexts.end()) return known->second;
    AnsiString text = FSelectSQL->GetText();
    bool ascending = Mode <= 2 || Mode == 5;
    ModifySelectQueryOrderBy(text, ascending);
    if (Mode == 2 || Mode == 5) ModifySelectQueryWhereForLocate(text, true, Count, Mode == 5);
    if (Mode == 4) ModifySelectQueryWhereForLocate(text, false, -1);
    FSelectTexts.emplace(key, text);
    return text;
}

// ---------------------------------------------------------------------------
// Refresh statement

void TIBRowvaneKV::InternalPrepareRefreshQuery() {
    if (FQryRefresh->GetPrepared()) return;
    if (FQryRefresh->GetOpen()) FQryRefresh->Close();
    // Without a key it would re-read some row, not the one asked for.
    if (FKeyColumns->GetCount() == 0) throw EIBRVError(rveKeyColumnsMissing);
    int dialect = GetSQLDialect();
    AnsiString inputs =
        FQrySelect->GetSQL()->GetText() + '\0' + IntToStr(dialect) + '\0' + FKeyColumns->GetText();
    if (inputs == FRefreshTextInputs) {
        FQryRefresh->GetSQL()->SetText(FRefreshText);
        FQryRefresh->Prepare();
        return;
    }
    auto source = NewParser(dialect);
    source->SetSQLText(FQrySelect->GetSQL()->GetText());
    auto target = NewParser(dialect);
    // A grouped select's row is a group: without its GROUP BY and HAVING the
    // statement would not read the row, or not run at all.
    for (TSQLItemType clause : {sitSelect, sitFrom, sitGroupBy, sitHaving})
        target->GetSectionByType(clause)->SetSQLText(source->GetSectionByType(clause)->GetSQLText());
    TSQLSelectParserSectionKV* where = target->GetSectionByType(sitWhere);
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        if (i > 0) where->AddItem("AND", sitAnd);
        where->AddItem(FKeyColumns->GetItem(i)->GetFullColumnName(), sitColumn);
        where->AddItem("=", sitComparison);
        where->AddItem(":" + LocateParamName(i + 1), sitParameter);
    }
    TSQLSelectParserSectionKV* condition = source->GetSectionByType(sitWhere);
    if (condition->GetCount() > 0) {
        where->InsertItem(0, "(", sitOpenParen);
        where->AddItem(")", sitCloseParen);
        where->AddItem("AND", sitAnd);
        where->AddItem("(", sitOpenParen);
        where->SetSQLText(where->GetSQLText() + condition->GetSQLText());
        where->AddItem(")", sitCloseParen);
    }
    AnsiString text = target->GetSQLText();
    FQryRefresh->GetSQL()->SetText(text);
    FQryRefresh->Prepare();
    FRefreshTextInputs = inputs;
    FRefreshText = text;
}
