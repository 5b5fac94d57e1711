// Database, transaction and statement read from form text: their
// properties, the references between them, and that they then work.
#include "FormReader.h"
#include "IBFields.h"
#include "IBTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

class TIBForm : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TIBForm>& P) {
        P.Field("Db", &TIBForm::Db);
        P.Field("Tr", &TIBForm::Tr);
        P.Field("Query", &TIBForm::Query);
    }
    using TComponent::TComponent;
    TIBDatabase* Db = nullptr;
    TIBTransaction* Tr = nullptr;
    TIBSQL* Query = nullptr;
};

} // namespace

KV_PUBLISHED_METACLASS(TIBForm, nullptr)

namespace {

TEST(IBFormText, ComponentsComeWithTheirSettingsAndReferences) {
    IBTest::TTestDatabase database;
    AnsiString text = "object IBForm: TIBForm\n"
                      "  object Db: TIBDatabase\n"
                      "    DatabaseName = '" +
                      database.GetDatabaseName() +
                      "'\n"
                      "    Params.Strings = (\n"
                      "      'USER_NAME=" +
                      database.GetUser() +
                      "'\n"
                      "      'PASSWORD=" +
                      database.GetPassword() +
                      "')\n"
                      "    DefaultTransaction = Tr\n"
                      "    IdleTimer = 0\n"
                      "    SQLDialect = 3\n"
                      "    AllowStreamedConnected = False\n"
                      "    Connected = True\n"
                      "    LoginPrompt = False\n"
                      "  end\n"
                      "  object Tr: TIBTransaction\n"
                      "    Active = False\n"
                      "    DefaultDatabase = Db\n"
                      "    DefaultAction = TARollback\n"
                      "    AutoStopAction = saNone\n"
                      "    Params.Strings = (\n"
                      "      'read_committed'\n"
                      "      'nowait')\n"
                      "  end\n"
                      "  object Query: TIBSQL\n"
                      "    Database = Db\n"
                      "    ParamCheck = True\n"
                      "    SQL.Strings = (\n"
                      "      'SELECT 1 + 2 FROM RDB$DATABASE')\n"
                      "    Transaction = Tr\n"
                      "  end\n"
                      "end\n";
    TIBForm form(nullptr);
    ReadComponentFromText(text, &form, TIBForm::ClassInfo());
    EXPECT_EQ(form.Db->GetDefaultTransaction(), form.Tr);
    EXPECT_EQ(form.Tr->GetDefaultDatabase(), form.Db);
    EXPECT_EQ(form.Tr->GetDefaultAction(), TARollback);
    EXPECT_EQ(form.Tr->GetParams()->GetText(), "read_committed\r\nnowait\r\n");
    EXPECT_EQ(form.Query->GetDatabase(), form.Db);
    EXPECT_EQ(form.Query->GetTransaction(), form.Tr);
    EXPECT_FALSE(form.Db->GetLoginPrompt());
    // Not connected by the text: AllowStreamedConnected is off.
    EXPECT_FALSE(form.Db->GetConnected());

    form.Db->Open();
    form.Tr->StartTransaction();
    form.Query->ExecQuery();
    EXPECT_EQ(form.Query->GetFields(0)->GetAsLong(), 3);
    form.Query->Close();
    form.Db->Close();

    // Written back: what differs from the defaults, references by name.
    AnsiString written = WriteComponentToText(&form, TIBForm::ClassInfo());
    EXPECT_THAT(written, testing::HasSubstr("DefaultTransaction = Tr"));
    EXPECT_THAT(written, testing::HasSubstr("DefaultAction = TARollback"));
    EXPECT_THAT(written, testing::HasSubstr("LoginPrompt = False"));
    EXPECT_THAT(written, testing::Not(testing::HasSubstr("SQLDialect")));
    EXPECT_THAT(written, testing::Not(testing::HasSubstr("ParamCheck")));
}

TEST(IBFormText, TheClassesAreKnownByName) {
    for (const char* name : {"TIBDatabase", "TIBTransaction", "TIBSQL", "TIBStringField", "TIBBCDField"})
        EXPECT_NE(GetClass(name), nullptr) << name;
    EXPECT_EQ(GetPropInfo(&TIBTransaction::ClassInfo(), "DefaultAction")->TypeInfo->GetEnumName(TACommit),
              "TACommit");
    // A field class of the layer reads what the framework's field publishes.
    EXPECT_NE(GetPropInfo(&TIBBCDField::ClassInfo(), "Precision"), nullptr);
    EXPECT_NE(GetPropInfo(&TIBStringField::ClassInfo(), "Size"), nullptr);
}

} // namespace
