#include "BenchStatements.h"

#include <cctype>

const char* OrderName(TBenchOrder Order) {
    return Order == TBenchOrder::Id ? "ID" : "DESCRIPTION";
}

int BenchOrderItemId(TBenchOrder Order) {
    return Order == TBenchOrder::Id ? 1 : 2;
}

namespace {

TBenchStatements Make(const AnsiString& Column) {
    const AnsiString head = "SELECT *\r\nFROM ITEM\r\n";
    TBenchStatements s;
    s.Select = BenchSelectSQL;
    s.Forward = head + "ORDER BY " + Column + " ASC";
    s.ForwardAt = head + "WHERE (" + Column + " >= :_LOCATE1)\r\nORDER BY " + Column + " ASC";
    s.Backward = head + "ORDER BY " + Column + " DESC";
    s.BackwardAt = head + "WHERE (" + Column + " <= :_LOCATE1)\r\nORDER BY " + Column + " DESC";
    s.Refresh = head + "WHERE ID = :_LOCATE1";
    s.Update = "UPDATE \"ITEM\" SET\r\n\"ID\" = :\"ID\",\r\n\"DESCRIPTION\" = :\"DESCRIPTION\",\r\n"
               "\"QUANTITY\" = :\"QUANTITY\",\r\n\"PRICE\" = :\"PRICE\"\r\nWHERE ID = :_LOCATE1";
    return s;
}

} // namespace

const TBenchStatements& BenchStatements(TBenchOrder Order) {
    static const TBenchStatements byId = Make("ID");
    static const TBenchStatements byDescription = Make("DESCRIPTION");
    return Order == TBenchOrder::Id ? byId : byDescription;
}

AnsiString EngineText(const AnsiString& Text) {
    AnsiString out;
    size_t i = 0;
    while (i < Text.size()) {
        char c = Text[i];
        if (c == '\'') { // string literal, copied as it is
            size_t end = Text.find('\'', i + 1);
            end = end == AnsiString::npos ? Text.size() : end + 1;
            out.append(Text, i, end - i);
            i = end;
        } else if (c == ':' && i + 1 < Text.size() && Text[i + 1] == '"') {
            size_t end = Text.find('"', i + 2);
            i = end == AnsiString::npos ? Text.size() : end + 1;
            out += '?';
        } else if (c == ':' && i + 1 < Text.size() &&
                   (std::isalnum(static_cast<unsigned char>(Text[i + 1])) || Text[i + 1] == '_')) {
            ++i;
            while (i < Text.size() &&
                   (std::isalnum(static_cast<unsigned char>(Text[i])) || Text[i] == '_' || Text[i] == '$'))
                ++i;
            out += '?';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}
