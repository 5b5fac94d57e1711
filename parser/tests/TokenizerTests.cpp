#include "SQLSelectParserKVInternal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using SQLSelectParserKV::GetNextToken;
using SQLSelectParserKV::ScanToken;

namespace {

struct TToken {
    std::string Text;
    int Type;
    bool operator==(const TToken&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TToken& t) {
    return os << "[" << t.Text << "]/" << t.Type;
}

std::vector<TToken> Tokens(const std::string& text) {
    std::vector<TToken> result;
    const char* cursor = text.c_str();
    AnsiString token;
    for (;;) {
        const TSQLItemType type = GetNextToken(cursor, token);
        if (type == sitEnd) break;
        result.push_back({token, type});
        if (result.size() > text.size() + 1) ADD_FAILURE() << "no progress on " << text;
        if (result.size() > text.size() + 1) break;
    }
    EXPECT_EQ(*cursor, '\0') << text;
    return result;
}

struct TTokenCase {
    const char* Text;
    std::vector<TToken> Expected;
};

void RunCases(const std::vector<TTokenCase>& cases) {
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(c.Text), c.Expected) << "text: " << c.Text;
}

TEST(Tokenizer, WordsKeepTheirCaseAndKeywordsAreFoundInAnyCase) {
    RunCases({
        {"select a from t", {{"select", 1}, {"a", 51}, {"from", 2}, {"t", 51}}},
        {"Where HAVING union Plan", {{"Where", 3}, {"HAVING", 5}, {"union", 6}, {"Plan", 7}}},
        {"asc ascending Desc DESCENDING", {{"asc", 18}, {"ascending", 18}, {"Desc", 19}, {"DESCENDING", 19}}},
        {"transaction distinct all some any collate",
         {{"transaction", 10}, {"distinct", 11}, {"all", 12}, {"some", 14}, {"any", 15}, {"collate", 16}}},
        {"and or not is exists singular containing like between escape on null",
         {{"and", 21},
          {"or", 22},
          {"not", 23},
          {"is", 24},
          {"exists", 26},
          {"singular", 27},
          {"containing", 28},
          {"like", 30},
          {"between", 45},
          {"escape", 46},
          {"on", 47},
          {"null", 48}}},
        {"sum avg max min cast upper gen_id",
         {{"sum", 31}, {"avg", 31}, {"max", 31}, {"min", 31}, {"cast", 31}, {"upper", 31}, {"gen_id", 31}}},
        // COUNT is no function word; a keyword inside quotes is no keyword.
        {"COUNT 'SELECT' \"FROM\"", {{"COUNT", 51}, {"'SELECT'", 51}, {"\"FROM\"", 51}}},
        {"SELECTED FROM_X", {{"SELECTED", 51}, {"FROM_X", 51}}},
        {":_LOCATE1 :x.y", {{":_LOCATE1", 33}, {":x", 33}, {".", 43}, {"y", 51}}},
        // Upper-casing is ASCII only: other bytes are word characters as they stand.
        {"s\xC3\xA9lect \xE9", {{"s\xC3\xA9lect", 51}, {"\xE9", 51}}},
    });
}

TEST(Tokenizer, TwoWordKeywordsLookAheadWithoutConsumingOtherWords) {
    RunCases({
        {"order\r\n   \tby", {{"order by", 8}}},
        {"Group By x", {{"Group By", 4}, {"x", 51}}},
        {"GROUP x", {{"GROUP", 51}, {"x", 51}}},
        {"GROUP", {{"GROUP", 51}}},
        {"ORDER \"BY\"", {{"ORDER", 51}, {"\"BY\"", 51}}},
        {"FOR UPDATE", {{"FOR UPDATE", 9}}},
        {"FOR x", {{"FOR", 51}, {"x", 51}}},
        {"STARTING WITH 'a'", {{"STARTING WITH", 29}, {"'a'", 51}}},
        {"STARTING x", {{"STARTING", 29}, {"x", 51}}},
        {"STARTING", {{"STARTING", 29}}},
    });
}

TEST(Tokenizer, JoinPhrases) {
    RunCases({
        {"JOIN", {{"JOIN", 20}}},
        {"LEFT OUTER JOIN", {{"LEFT OUTER JOIN", 20}}},
        {"left  outer\njoin t", {{"left outer join", 20}, {"t", 51}}},
        {"LEFT OUTER x", {{"LEFT OUTER", 51}, {"x", 51}}},
        {"LEFT OUTER", {{"LEFT OUTER", 51}}},
        {"LEFT x", {{"LEFT", 51}, {"x", 51}}},
        {"LEFT", {{"LEFT", 51}}},
        {"OUTER JOIN", {{"OUTER JOIN", 20}}},
        {"INNER JOIN RIGHT JOIN FULL OUTER JOIN",
         {{"INNER JOIN", 20}, {"RIGHT JOIN", 20}, {"FULL OUTER JOIN", 20}}},
        // The cursor stays after OUTER when no JOIN follows it.
        {"LEFT OUTER OUTER JOIN", {{"LEFT OUTER", 51}, {"OUTER JOIN", 20}}},
    });
}

TEST(Tokenizer, QuotedTokens) {
    RunCases({
        {"'it''s'", {{"'it''s'", 51}}},
        {"'abc", {{"'abc", 51}}},
        {"'", {{"'", 51}}},
        {"''''", {{"''''", 51}}},
        {"'a\"b' \"c'd\"", {{"'a\"b'", 51}, {"\"c'd\"", 51}}},
        {"'a, b\r\n FROM x'y", {{"'a, b\r\n FROM x'", 51}, {"y", 51}}},
        {"'a''", {{"'a''", 51}}},
        {"'a' 'b'", {{"'a'", 51}, {"'b'", 51}}},
    });
}

// A quote inside a word ends the word: the literal after it stays whole.
TEST(Tokenizer, QuoteAfterWordStartsQuotedToken) {
    RunCases({
        {"X||'a,b'", {{"X||", 51}, {"'a,b'", 51}}},
        {"X||' - '||Y FROM t", {{"X||", 51}, {"' - '", 51}, {"||Y", 51}, {"FROM", 2}, {"t", 51}}},
        {"abc\"d e\"", {{"abc", 51}, {"\"d e\"", 51}}},
        {"1.5'x'", {{"1.5", 49}, {"'x'", 51}}},
        {":p'q'", {{":p", 33}, {"'q'", 51}}},
        {"it's", {{"it", 51}, {"'s", 51}}},
    });
}

TEST(Tokenizer, OperatorsAndPunctuation) {
    RunCases({
        {"a<>b", {{"a", 51}, {"<>", 25}, {"b", 51}}},
        {"a=<b", {{"a", 51}, {"=", 25}, {"<", 25}, {"b", 51}}},
        {"<= >= !< !> != < > =",
         {{"<=", 25}, {">=", 25}, {"!<", 25}, {"!>", 25}, {"!=", 25}, {"<", 25}, {">", 25}, {"=", 25}}},
        {">>=", {{">", 25}, {">=", 25}}},
        {"!x", {{"!", 51}, {"x", 51}}},
        {"!!=", {{"!", 51}, {"!=", 25}}},
        {"a/b", {{"a", 51}, {"/", 51}, {"b", 51}}},
        {"//", {{"/", 51}, {"/", 51}}},
        {"+-*(),.", {{"+", 39}, {"-", 40}, {"*", 41}, {"(", 37}, {")", 38}, {",", 44}, {".", 43}}},
        {"--", {{"-", 40}, {"-", 40}}},
    });
}

TEST(Tokenizer, WhereWordsEnd) {
    RunCases({
        {"T.COL", {{"T", 51}, {".", 43}, {"COL", 51}}},
        {"1.5 1.5.6 1.x", {{"1.5", 49}, {"1.5.6", 49}, {"1.x", 49}}},
        {".5", {{".", 43}, {"5", 49}}},
        {"12ab", {{"12ab", 49}}},
        {"1e+5", {{"1e", 49}, {"+", 39}, {"5", 49}}},
        {"X; a||b a:b[c]", {{"X;", 51}, {"a||b", 51}, {"a:b[c]", 51}}},
        {"a+b-c>d<e=f!g,h(i)j*k/l",
         {{"a", 51}, {"+", 39}, {"b", 51}, {"-", 40}, {"c", 51}, {">", 25}, {"d", 51}, {"<", 25},
          {"e", 51}, {"=", 25}, {"f", 51}, {"!", 51}, {"g", 51}, {",", 44}, {"h", 51}, {"(", 37},
          {"i", 51}, {")", 38}, {"j", 51}, {"*", 41}, {"k", 51}, {"/", 51}, {"l", 51}}},
        // Only blank, tab, CR and LF separate; other control characters are word characters.
        {"a\tb\rc\nd e", {{"a", 51}, {"b", 51}, {"c", 51}, {"d", 51}, {"e", 51}}},
        {"a\vb\fc", {{"a\vb\fc", 51}}},
    });
}

TEST(Tokenizer, EndOfText) {
    for (const char* text : {"", " ", " \r\n\t  \r\n"}) {
        const char* cursor = text;
        AnsiString token = "kept";
        EXPECT_EQ(GetNextToken(cursor, token), sitEnd) << "[" << text << "]";
        EXPECT_EQ(token, "kept");
        EXPECT_EQ(*cursor, '\0');
        EXPECT_EQ(GetNextToken(cursor, token), sitEnd);
    }
}

TEST(Tokenizer, ScanTokenReadsRawTokensAndMovesTheCursorPastThem) {
    const std::string text = "  \"Mixed\"  , 'x''y'  order  by";
    const char* cursor = text.c_str();
    AnsiString token;
    ASSERT_TRUE(ScanToken(cursor, token));
    EXPECT_EQ(token, "\"Mixed\"");
    EXPECT_EQ(cursor, text.c_str() + 9);
    ASSERT_TRUE(ScanToken(cursor, token));
    EXPECT_EQ(token, ",");
    ASSERT_TRUE(ScanToken(cursor, token));
    EXPECT_EQ(token, "'x''y'");
    // ScanToken itself knows no keywords.
    ASSERT_TRUE(ScanToken(cursor, token));
    EXPECT_EQ(token, "order");
    ASSERT_TRUE(ScanToken(cursor, token));
    EXPECT_EQ(token, "by");
    EXPECT_FALSE(ScanToken(cursor, token));
    EXPECT_EQ(token, "by");
    EXPECT_EQ(cursor, text.c_str() + text.size());
}

TEST(Tokenizer, LookAheadLeavesCursorAfterFirstWord) {
    const std::string text = "GROUP   x";
    const char* cursor = text.c_str();
    AnsiString token;
    EXPECT_EQ(GetNextToken(cursor, token), sitOther);
    EXPECT_EQ(cursor, text.c_str() + 5);
}

} // namespace
