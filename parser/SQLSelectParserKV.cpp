#include "SQLSelectParserKV.h"
#include "SQLSelectParserKVInternal.h"

#include "Dbconstkv.h"

#include <cassert>
#include <memory>
#include <string_view>

namespace SQLSelectParserKV {

namespace {

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r';
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// Characters that end a word. A quote ends it too, so that a literal written
// right after a word (X||'a,b') is read as a quoted token of its own and not
// split at its blanks and commas.
bool EndsWord(char C) {
    switch (C) {
    case '\0':
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '+':
    case '-':
    case '>':
    case '<':
    case '=':
    case '!':
    case ',':
    case '(':
    case ')':
    case '*':
    case '/':
    case '\'':
    case '"':
        return true;
    default:
        return false;
    }
}

// Takes the next token into Token ("first second") when its upper-cased text
// is Expected; otherwise the cursor stays where it is.
bool TakeWord(const char*& Cursor, AnsiString& Token, std::string_view Expected) {
    const char* look = Cursor;
    AnsiString next;
    if (!ScanToken(look, next) || UpperCase(next) != Expected) return false;
    Cursor = look;
    Token += ' ';
    Token += next;
    return true;
}

struct TKeyword {
    std::string_view Text;
    TSQLItemType Type;
};

constexpr TKeyword Keywords[] = {
    {"SELECT", sitSelect},
    {"FROM", sitFrom},
    {"WHERE", sitWhere},
    {"HAVING", sitHaving},
    {"UNION", sitUnion},
    {"PLAN", sitPlan},
    {"ASC", sitAsc},
    {"ASCENDING", sitAsc},
    {"DESC", sitDesc},
    {"DESCENDING", sitDesc},
    {"TRANSACTION", sitTransaction},
    {"DISTINCT", sitDistinct},
    {"ALL", sitAll},
    {"SOME", sitSome},
    {"ANY", sitAny},
    {"COLLATE", sitCollate},
    {"AND", sitAnd},
    {"OR", sitOr},
    {"NOT", sitNot},
    {"IS", sitIs},
    {"SUM", sitFunction},
    {"AVG", sitFunction},
    {"MAX", sitFunction},
    {"MIN", sitFunction},
    {"CAST", sitFunction},
    {"UPPER", sitFunction},
    {"GEN_ID", sitFunction},
    {"LIKE", sitLike},
    {"BETWEEN", sitBetween},
    {"ESCAPE", sitEscape},
    {"EXISTS", sitExists},
    {"SINGULAR", sitSingular},
    {"CONTAINING", sitContaining},
    {"ON", sitOn},
    {"NULL", sitNull},
    {"(", sitOpenParen},
    {")", sitCloseParen},
    {"=", sitComparison},
    {"<", sitComparison},
    {">", sitComparison},
    {"<=", sitComparison},
    {">=", sitComparison},
    {"!<", sitComparison},
    {"!>", sitComparison},
    {"<>", sitComparison},
    {"!=", sitComparison},
    {"+", sitPlus},
    {"-", sitMinus},
    {"*", sitAsterisk},
    {".", sitDot},
    {",", sitComma},
};

struct TTwoWordKeyword {
    std::string_view First;
    std::string_view Second;
    TSQLItemType Joined;
    TSQLItemType Alone;
};

constexpr TTwoWordKeyword TwoWordKeywords[] = {
    {"GROUP", "BY", sitGroupBy, sitOther},
    {"ORDER", "BY", sitOrderBy, sitOther},
    {"FOR", "UPDATE", sitForUpdate, sitOther},
    {"STARTING", "WITH", sitStartingWith, sitStartingWith},
};

constexpr std::string_view JoinWords[] = {"INNER", "LEFT", "RIGHT", "FULL", "OUTER"};

} // namespace

bool ScanToken(const char*& Cursor, AnsiString& Token) {
    const char* p = Cursor;
    while (IsBlank(*p))
        ++p;
    Cursor = p;
    if (*p == '\0') return false;

    const char* start = p;
    const char first = *p++;
    switch (first) {
    case '\'':
    case '"':
        // A doubled quote stands for one; the NUL ends an unterminated token.
        while (*p != '\0') {
            if (*p == first) {
                if (p[1] != first) {
                    ++p;
                    break;
                }
                ++p;
            }
            ++p;
        }
        break;
    case '=':
    case '-':
    case '+':
    case '/':
    case '*':
    case '(':
    case ')':
    case ',':
    case '.':
        break;
    case '<':
        if (*p == '=' || *p == '>') ++p;
        break;
    case '>':
        if (*p == '=') ++p;
        break;
    case '!':
        if (*p == '<' || *p == '>' || *p == '=') ++p;
        break;
    default: {
        // A number keeps its decimal point and what follows it.
        const bool number = IsDigit(first);
        while (!EndsWord(*p) && (number || *p != '.'))
            ++p;
        break;
    }
    }
    Token.assign(start, p);
    Cursor = p;
    return true;
}

TSQLItemType GetNextToken(const char*& Cursor, AnsiString& Token) {
    AnsiString token;
    if (!ScanToken(Cursor, token)) return sitEnd;
    const AnsiString upper = UpperCase(token);

    for (const auto& k : TwoWordKeywords) {
        if (upper != k.First) continue;
        const TSQLItemType type = TakeWord(Cursor, token, k.Second) ? k.Joined : k.Alone;
        Token = token;
        return type;
    }

    if (upper == "JOIN") {
        Token = token;
        return sitJoin;
    }
    for (const auto& w : JoinWords) {
        if (upper != w) continue;
        // [OUTER] JOIN may follow; an unfinished phrase keeps what it took.
        TakeWord(Cursor, token, "OUTER");
        const TSQLItemType type = TakeWord(Cursor, token, "JOIN") ? sitJoin : sitOther;
        Token = token;
        return type;
    }

    Token = token;
    for (const auto& k : Keywords)
        if (upper == k.Text) return k.Type;
    if (IsDigit(token[0])) return sitNumber;
    if (token[0] == ':') return sitParameter;
    return sitOther;
}

} // namespace SQLSelectParserKV

using SQLSelectParserKV::GetNextToken;

namespace {

bool IsClauseType(TSQLItemType Type) {
    return Type >= sitSelect && Type <= sitForUpdate;
}

// A nested select stays inside a condition: SELECT, FROM and WHERE are items there.
bool KeepsNestedSelect(TSQLItemType SectionType) {
    return SectionType == sitWhere || SectionType == sitHaving || SectionType == sitUnion;
}

// The unquoted word AS, which may stand between a table and its alias.
bool IsAsWord(const TSQLSelectParserItemKV* Item) {
    return Item && Item->QuoteKind == 0 && UpperCase(Item->Text) == "AS";
}

// True when the tokenizer would read Prev's text and a following "." as one
// number ("1" and "." give "1."), so the two must not be glued.
bool GluesIntoNumber(const TSQLSelectParserItemKV& Prev, const TSQLSelectParserItemKV& Item) {
    return Item.ItemType == sitDot && Prev.QuoteKind == 0 && !Prev.Text.empty() && Prev.Text[0] >= '0' &&
           Prev.Text[0] <= '9';
}

} // namespace

// ---- TSQLSelectParserItemKV ------------------------------------------------

AnsiString TSQLSelectParserItemKV::GetQuotedText() const {
    switch (QuoteKind) {
    case 1:
        return AnsiQuotedStr(Text, '\'');
    case 2:
        return AnsiQuotedStr(Text, '"');
    default:
        return Text;
    }
}

// ---- TSQLSelectParserSectionKV ---------------------------------------------

int TSQLSelectParserSectionKV::GetSQLDialect() const {
    return Parser ? Parser->SQLDialect : 1;
}

int TSQLSelectParserSectionKV::AddItem(const AnsiString& Text, TSQLItemType ItemType) {
    InsertItem(GetCount(), Text, ItemType);
    return GetCount() - 1;
}

void TSQLSelectParserSectionKV::InsertItem(int Index, const AnsiString& Text, TSQLItemType ItemType) {
    auto item = std::make_unique<TSQLSelectParserItemKV>();
    item->Section = this;
    item->Text = Text;
    item->ItemType = ItemType;
    Items.Insert(Index, item.get());
    item.release();
}

void TSQLSelectParserSectionKV::Clear() {
    Items.Clear();
}

void TSQLSelectParserSectionKV::DeleteItem(int Index) {
    Items.Delete(Index);
}

void TSQLSelectParserSectionKV::DeleteItem(TSQLSelectParserItemKV* Item) {
    Items.Delete(Items.IndexOf(Item));
}

AnsiString TSQLSelectParserSectionKV::GetSQLText() const {
    AnsiString result;
    const TSQLSelectParserItemKV* prev = nullptr;
    for (const TSQLSelectParserItemKV* item : Items) {
        if (prev) {
            bool glue = item->ItemType == sitComma || item->ItemType == sitDot ||
                        item->ItemType == sitCloseParen || prev->ItemType == sitDot ||
                        prev->ItemType == sitOpenParen;
            if (glue && GluesIntoNumber(*prev, *item)) glue = false;
            if (!glue) result += ' ';
        }
        result += item->GetQuotedText();
        prev = item;
    }
    return result;
}

void TSQLSelectParserSectionKV::SetSQLText(const AnsiString& Text) {
    const AnsiString buffer(Text); // NUL-terminated copy for the scan
    const char* cursor = buffer.c_str();
    InternalSetSQLText(cursor);
}

TSQLItemType TSQLSelectParserSectionKV::InternalSetSQLText(const char*& Cursor) {
    Clear();
    AnsiString token;
    TSQLItemType type;
    bool first = true;
    for (;;) {
        type = GetNextToken(Cursor, token);
        if (first) {
            first = false;
            if (type == SectionType) continue; // the clause's own keyword
        }
        if (type == sitEnd) break;
        if (IsClauseType(type) && !(type <= sitWhere && KeepsNestedSelect(SectionType))) break;
        assert(!token.empty());

        auto item = std::make_unique<TSQLSelectParserItemKV>();
        item->Section = this;
        item->ItemType = type;
        if (token[0] == '\'') {
            item->Text = AnsiExtractQuotedStr(token, '\'');
            item->QuoteKind = 1;
        } else if (token[0] == '"') {
            item->Text = AnsiExtractQuotedStr(token, '"');
            item->QuoteKind = 2;
        } else {
            item->Text = token;
        }
        Items.Add(item.get());
        item.release();
    }
    RecreateItemTypes();
    return type;
}

void TSQLSelectParserSectionKV::RecreateItemTypes() {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        TSQLSelectParserItemKV* item = Items.Get(i);
        if (item->ItemType != sitOther && item->ItemType != sitAsterisk) continue;
        const int prev = i > 0 ? Items.Get(i - 1)->ItemType : 0;
        const int next = i + 1 < count ? Items.Get(i + 1)->ItemType : 0;

        if (item->QuoteKind == 1 || (item->QuoteKind == 2 && GetSQLDialect() < 3)) {
            item->ItemType = sitString;
        } else if (item->ItemType == sitAsterisk) {
            if (SectionType == sitSelect)
                item->ItemType = sitAllColumns;
            else if (next == sitCloseParen && prev == sitOpenParen && i >= 2)
                item->ItemType = sitCountAll;
        } else if (prev == sitCollate) {
            item->ItemType = sitCollation;
        } else {
            switch (SectionType) {
            case sitSelect:
            case sitWhere:
            case sitGroupBy:
            case sitHaving:
            case sitUnion:
            case sitOrderBy:
            case sitForUpdate:
                item->ItemType = next == sitDot ? sitTable : sitColumn;
                break;
            case sitFrom: {
                // "T AS A": AS keeps its type, and the word after it is the alias.
                const TSQLSelectParserItemKV* before = i > 0 ? Items.Get(i - 1) : nullptr;
                if (prev == sitTable && IsAsWord(item)) break;
                const bool afterAs = IsAsWord(before) && before->ItemType == sitOther && i >= 2 &&
                                     Items.Get(i - 2)->ItemType == sitTable;
                item->ItemType = prev == sitTable || afterAs ? sitTableAlias : sitTable;
                break;
            }
            default:
                break;
            }
        }
    }
}

// ---- TSQLSelectParserKV ----------------------------------------------------

TSQLSelectParserKV::TSQLSelectParserKV() {
    AddSection("SELECT", sitSelect);
    AddSection("FROM", sitFrom);
    AddSection("WHERE", sitWhere);
    AddSection("GROUP BY", sitGroupBy);
    AddSection("HAVING", sitHaving);
    AddSection("UNION", sitUnion);
    AddSection("PLAN", sitPlan);
    AddSection("ORDER BY", sitOrderBy);
    AddSection("FOR UPDATE", sitForUpdate);
}

int TSQLSelectParserKV::AddSection(const AnsiString& Name, TSQLItemType SectionType) {
    auto section = std::make_unique<TSQLSelectParserSectionKV>();
    section->Parser = this;
    section->Name = Name;
    section->SectionType = SectionType;
    const int index = Sections.Add(section.get());
    section.release();
    return index;
}

TSQLSelectParserSectionKV* TSQLSelectParserKV::GetSectionByType(TSQLItemType SectionType) const {
    for (TSQLSelectParserSectionKV* section : Sections)
        if (section->SectionType == SectionType) return section;
    throw EDatabaseError(LoadResString(&SInvalidParseSec));
}

AnsiString TSQLSelectParserKV::GetSQLText() const {
    AnsiString result;
    bool first = true;
    for (const TSQLSelectParserSectionKV* section : Sections) {
        if (section->GetCount() == 0) continue;
        if (!first) result += "\r\n";
        first = false;
        result += section->Name;
        result += ' ';
        // Reading a clause skips a first token of the clause's own type, so a
        // first item of that type (WHERE as first item of WHERE) is written
        // twice to survive the next split.
        const TSQLSelectParserItemKV* head = section->GetItem(0);
        if (IsClauseType(section->SectionType) && head->ItemType == section->SectionType) {
            result += head->GetQuotedText();
            result += ' ';
        }
        result += section->GetSQLText();
    }
    return result;
}

void TSQLSelectParserKV::SetSQLText(const AnsiString& Text) {
    ClearSections();
    const AnsiString buffer(Text); // NUL-terminated copy for the scan
    const char* cursor = buffer.c_str();
    AnsiString token;
    TSQLItemType type;
    do // whatever stands before the first clause keyword is dropped
        type = GetNextToken(cursor, token);
    while (!IsClauseType(type) && type != sitEnd);
    while (type != sitEnd)
        type = GetSectionByType(type)->InternalSetSQLText(cursor);
}

void TSQLSelectParserKV::ClearSections() {
    for (TSQLSelectParserSectionKV* section : Sections)
        section->Clear();
}
