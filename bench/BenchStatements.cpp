#include "BenchStatements.h"

#include <cctype>

const char* OrderName(TBenchOrder Order) {
    switch (Order) {
    case TBenchOrder::Id:
        return "ID";
    case TBenchOrder::Description:
        return "DESCRIPTION";
    case TBenchOrder::Quantity:
        break;
    }
    return "QUANTITY";
}

int BenchOrderItemId(TBenchOrder Order) {
    return static_cast<int>(Order) + 1;
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

// QUANTITY repeats and may be NULL: the order is followed by the key ID, and
// the keyset condition places NULL before every value.
TBenchStatements MakeQuantity() {
    const AnsiString head = "SELECT *\r\nFROM ITEM\r\n";
    const AnsiString equal = "(QUANTITY = :_LOCATE1 OR (QUANTITY IS NULL AND :_LOCATE1 IS NULL))";
    TBenchStatements s = Make("QUANTITY");
    s.Forward = head + "ORDER BY QUANTITY ASC, ID ASC";
    s.ForwardAt = head + "WHERE ((" + equal +
                  " AND ID >= :_LOCATE2) OR ((QUANTITY > :_LOCATE1 OR (QUANTITY IS NOT NULL AND :_LOCATE1 IS "
                  "NULL))))\r\nORDER BY QUANTITY ASC, ID ASC";
    s.Backward = head + "ORDER BY QUANTITY DESC, ID DESC";
    s.BackwardAt =
        head + "WHERE ((" + equal +
        " AND ID <= :_LOCATE2) OR ((QUANTITY < :_LOCATE1 OR (QUANTITY IS NULL AND :_LOCATE1 IS NOT "
        "NULL))))\r\nORDER BY QUANTITY DESC, ID DESC";
    return s;
}

} // namespace

const TBenchStatements& BenchStatements(TBenchOrder Order) {
    static const TBenchStatements byId = Make("ID");
    static const TBenchStatements byDescription = Make("DESCRIPTION");
    static const TBenchStatements byQuantity = MakeQuantity();
    switch (Order) {
    case TBenchOrder::Id:
        return byId;
    case TBenchOrder::Description:
        return byDescription;
    case TBenchOrder::Quantity:
        break;
    }
    return byQuantity;
}

AnsiString EngineText(const AnsiString& Text, std::vector<AnsiString>* Names) {
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
            if (Names)
                Names->push_back(Text.substr(i + 2, (end == AnsiString::npos ? Text.size() : end) - i - 2));
            i = end == AnsiString::npos ? Text.size() : end + 1;
            out += '?';
        } else if (c == ':' && i + 1 < Text.size() &&
                   (std::isalnum(static_cast<unsigned char>(Text[i + 1])) || Text[i + 1] == '_')) {
            size_t start = ++i;
            while (i < Text.size() &&
                   (std::isalnum(static_cast<unsigned char>(Text[i])) || Text[i] == '_' || Text[i] == '$'))
                ++i;
            if (Names) Names->push_back(Text.substr(start, i - start));
            out += '?';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}
