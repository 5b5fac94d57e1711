// Datasets, their persistent fields and data sources in form text: fields
// written inside their dataset join it under their names, data sources name
// their dataset, and the field classes' properties are read and written.
#include "FormReader.h"
#include "MemDataSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

TEventLog StreamedLog;
TMemTable StreamedTable{
    {{"ID", ftInteger, 0, true}, {"NAME", ftString, 30}, {"AMOUNT", ftBCD, 2, false, 10}, {"RATE", ftFloat}}};

// A dataset form text can create by class name.
class TStreamedDataSet : public TMemDataSet {
public:
    KV_METACLASS_DECL
    explicit TStreamedDataSet(TComponent* AOwner) : TMemDataSet(AOwner, StreamedTable, StreamedLog) {
        Logging = false;
    }
};

// A form with published fields for what the text holds.
class TDataForm : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDataForm>& P) {
        P.Field("Data", &TDataForm::Data);
        P.Field("Source", &TDataForm::Source);
        P.Field("DataID", &TDataForm::DataID);
        P.Field("DataNAME", &TDataForm::DataNAME);
        P.Field("DataAMOUNT", &TDataForm::DataAMOUNT);
        P.Field("DataTOTAL", &TDataForm::DataTOTAL);
        P.Method("DataNAMEChange", &TDataForm::DataNAMEChange);
    }
    using TComponent::TComponent;
    void DataNAMEChange(TField*) { ++Changes; }

    TStreamedDataSet* Data = nullptr;
    TDataSource* Source = nullptr;
    TIntegerField* DataID = nullptr;
    TStringField* DataNAME = nullptr;
    TBCDField* DataAMOUNT = nullptr;
    TBCDField* DataTOTAL = nullptr;
    int Changes = 0;
};

// A form without fields of its own.
class TBareForm : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBareForm>&) {}
    using TComponent::TComponent;
};

} // namespace

KV_METACLASS(TStreamedDataSet, &TDataSet::ClassInfo())
KV_PUBLISHED_METACLASS(TDataForm, nullptr)
KV_PUBLISHED_METACLASS(TBareForm, nullptr)

namespace {

const char* const FormText = R"(object DataForm: TDataForm
  object Source: TDataSource
    AutoEdit = False
    DataSet = Data
  end
  object Data: TStreamedDataSet
    object DataID: TIntegerField
      FieldName = 'ID'
      Required = True
      MaxValue = 1000
    end
    object DataNAME: TStringField
      DisplayLabel = 'Name'
      DisplayWidth = 12
      FieldName = 'NAME'
      Size = 30
      OnChange = DataNAMEChange
    end
    object DataAMOUNT: TBCDField
      FieldName = 'AMOUNT'
      DisplayFormat = '0.00'
      Precision = 10
      Size = 2
    end
    object DataTOTAL: TBCDField
      FieldKind = fkCalculated
      FieldName = 'TOTAL'
      Calculated = True
    end
  end
end
)";

class DataFormText : public ::testing::Test {
protected:
    DataFormText() { RegisterClass(&TStreamedDataSet::ClassInfo()); }
    ~DataFormText() override { UnRegisterClass(&TStreamedDataSet::ClassInfo()); }
};

TEST_F(DataFormText, FieldsJoinTheDatasetTheyAreWrittenIn) {
    StreamedTable.Rows.clear();
    StreamedTable.AddRow({Int64{7}, AnsiString("seven"), Currency::FromRaw(12345)});
    TDataForm form(nullptr);
    ReadComponentFromText(FormText, &form, TDataForm::ClassInfo());
    ASSERT_NE(form.Data, nullptr);
    EXPECT_EQ(form.Source->GetDataSet(), form.Data);
    EXPECT_FALSE(form.Source->GetAutoEdit());

    // In the text's order, owned by the form, in the dataset's field list.
    TFields& fields = *form.Data->GetFields();
    ASSERT_EQ(fields.GetCount(), 4);
    EXPECT_EQ(fields[0], form.DataID);
    EXPECT_EQ(fields[1], form.DataNAME);
    EXPECT_EQ(fields[2], form.DataAMOUNT);
    EXPECT_EQ(fields[3], form.DataTOTAL);
    for (TField* f : fields) {
        EXPECT_EQ(f->GetOwner(), &form);
        EXPECT_EQ(f->GetDataSet(), form.Data);
    }
    EXPECT_TRUE(form.DataID->GetRequired());
    EXPECT_EQ(form.DataID->GetMaxValue(), 1000);
    EXPECT_EQ(form.DataNAME->GetDisplayName(), "Name");
    EXPECT_EQ(form.DataNAME->GetDisplayWidth(), 12);
    EXPECT_EQ(form.DataNAME->GetSize(), 30);
    EXPECT_EQ(form.DataAMOUNT->GetPrecision(), 10);
    EXPECT_EQ(form.DataAMOUNT->GetSize(), 2);
    EXPECT_EQ(form.DataAMOUNT->GetDisplayFormat(), "0.00");
    EXPECT_EQ(form.DataTOTAL->GetFieldKind(), fkCalculated);

    // The persistent fields serve the open dataset; the handler is bound.
    form.Data->Open();
    EXPECT_FALSE(form.Data->GetDefaultFields());
    EXPECT_EQ(form.DataID->GetAsInteger(), 7);
    EXPECT_EQ(form.DataAMOUNT->GetDisplayText(), "1.23");
    form.Data->Edit();
    form.DataNAME->SetAsString("changed");
    EXPECT_EQ(form.Changes, 1);
    form.Data->Cancel();

    // Written back, each field nests in its dataset again.
    AnsiString text = WriteComponentToText(&form, TDataForm::ClassInfo());
    EXPECT_THAT(
        text, testing::HasSubstr("  object Data: TStreamedDataSet\r\n    object DataID: TIntegerField\r\n"));
    EXPECT_THAT(text, testing::HasSubstr("FieldKind = fkCalculated"));
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("Calculated = True")));
    EXPECT_THAT(text, testing::HasSubstr("DataSet = Data"));
    form.Data->Close();
    TDataForm again(nullptr);
    ReadComponentFromText(text, &again, TDataForm::ClassInfo());
    EXPECT_EQ(again.Data->GetFields()->GetCount(), 4);
    EXPECT_EQ(again.DataNAME->GetDisplayWidth(), 12);
}

TEST_F(DataFormText, AFieldWithoutANameOrOutsideADatasetIsAnError) {
    struct Case {
        const char* Text;
        const char* Message;
        bool WhileReading; // else when the components are loaded, after reading
    };
    const Case cases[] = {
        {"object BareForm: TBareForm\n  object Data: TStreamedDataSet\n    object DataID: TIntegerField\n"
         "      Required = True\n    end\n  end\nend\n",
         "Field name missing", false},
        {"object BareForm: TBareForm\n  object Data: TStreamedDataSet\n    object DataID: TIntegerField\n"
         "      FieldName = 'ID'\n    end\n    object DataNAME: TStringField\n      FieldName = 'id'\n"
         "    end\n  end\nend\n",
         "Duplicate field name", true},
        {"object BareForm: TBareForm\n  object Source: TDataSource\n    object DataID: TIntegerField\n"
         "      FieldName = 'ID'\n    end\n  end\nend\n",
         "which is no dataset", true},
    };
    for (const Case& c : cases) {
        TBareForm form(nullptr);
        try {
            ReadComponentFromText(c.Text, &form, TBareForm::ClassInfo());
            ADD_FAILURE() << c.Text;
        } catch (const Exception& e) {
            EXPECT_THAT(e.Message(), testing::HasSubstr(c.Message)) << c.Text;
        }
        // What failed while reading leaves nothing behind.
        if (c.WhileReading) {
            EXPECT_EQ(form.GetComponentCount(), 0) << c.Text;
        }
    }
}

TEST(FieldClassesInFormText, AreKnownByNameWithTheirProperties) {
    for (const char* name : {"TStringField", "TIntegerField", "TSmallintField", "TLargeintField",
                             "TFloatField", "TBCDField", "TDateTimeField", "TDateField", "TTimeField",
                             "TBlobField", "TMemoField", "TGraphicField", "TDataSource"})
        EXPECT_NE(GetClass(name), nullptr) << name;
    const TMetaClass* bcd = &TBCDField::ClassInfo();
    for (const char* prop : {"FieldName", "FieldKind", "Required", "ReadOnly", "Visible", "DisplayLabel",
                             "DisplayFormat", "Precision", "Size", "Currency", "OnValidate"})
        EXPECT_NE(GetPropInfo(bcd, prop), nullptr) << prop;
    EXPECT_NE(GetPropInfo(&TStringField::ClassInfo(), "FixedChar"), nullptr);
    EXPECT_EQ(GetPropInfo(&TIntegerField::ClassInfo(), "Size"), nullptr); // fixed by the type
    EXPECT_NE(GetPropInfo(&TDataSource::ClassInfo(), "DataSet"), nullptr);
}

} // namespace
