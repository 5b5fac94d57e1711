#include <set>
#include "Dbconstkv.h"
#include "IBRowvaneKV.h"
#include "MessagesDe.h"

#include <gtest/gtest.h>

namespace {

struct GermanBound {
    GermanBound() { BindGermanMessages(); }
    ~GermanBound() {
        UnbindLanguageTable(IbconstkvModule);
        UnbindLanguageTable(DbconstkvModule);
    }
};

TEST(Messages, EnglishTextsWithAndWithoutArgument) {
    struct Case {
        TIBRVError code;
        const char* arg;
        const char* text;
    } cases[] = {
        {rveRecordNotFound, nullptr, "Record not found"},
        {rveFieldNotFound, "PRICE", "Field \"PRICE\" not found"},
        {rveFieldTypeNoSupport, "ARRAY", "Fieldtype ARRAY is not supported"},
        {rveInvalidSortColCount, nullptr, "Invalid numnber of columns specified on search"},
        {rveOrderItemsIncomplete, nullptr, "OrderItems property ist incomplete"},
        {rveGeneratorIncomplete, nullptr, "Specified GeneratorFields property ist incomplete"},
        {rveNoRowvaneField, "SUM", "Field \"SUM\" is not linked to an IBRowvaneKV dataset"},
        // A message is never a format: the argument's own % signs stay.
        {rveParamNotFound, "%s%d", "Parameter \"%s%d\" not found"},
    };
    for (const auto& c : cases) {
        EIBRVError e = c.arg ? EIBRVError(c.code, {c.arg}) : EIBRVError(c.code);
        EXPECT_EQ(e.Message(), c.text);
        EXPECT_EQ(e.ErrorCode, c.code);
    }
    EXPECT_EQ(EIBRVError(static_cast<TIBRVError>(33)).Message(), "");
}

TEST(Messages, GermanTextsWhenBoundAtRunTime) {
    GermanBound german;
    EXPECT_EQ(EIBRVError(rveRecordNotFound).Message(), "Datensatz nicht gefunden");
    EXPECT_EQ(EIBRVError(rveFieldSizeMismatch, {"ID"}).Message(), "Unterschiedliche Größenangaben für Feld \"ID\"");
    EXPECT_EQ(LoadResString(&SInvalidParseSec), "SQL-Parser Sektion nicht gefunden");
}

TEST(Messages, EveryCodeHasBothTextsAndAnIdentifierOfItsOwn) {
    std::set<int> identifiers;
    for (int code = 0; code < IbconstkvMessageCount; ++code) {
        const TResStringRec* rec = IbconstkvMessage(code);
        ASSERT_NE(rec, nullptr);
        EXPECT_TRUE(identifiers.insert(rec->Identifier).second) << rec->Name;
        EXPECT_STRNE(rec->Text, "");
        EXPECT_STRNE(IbconstkvGerman[code].Text, rec->Text) << rec->Name;
        EXPECT_EQ(IbconstkvGerman[code].Identifier, rec->Identifier);
    }
    EXPECT_EQ(IbconstkvGermanCount, 33u);
    EXPECT_EQ(IbconstkvMessage(33), nullptr);
    EXPECT_EQ(LoadResString(&SInvalidParseSec), "SQL-Parser section not found");
}

} // namespace
