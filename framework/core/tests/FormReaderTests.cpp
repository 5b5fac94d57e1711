#include "FormReader.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

enum TShape { shNone, shSquare, shCircle };
enum TSide { sdLeft, sdTop, sdRight, sdBottom };
using TSides = TSet<TSide, Byte>;
KV_ENUM_TYPEINFO(TShape, "shNone", "shSquare", "shCircle")
KV_ENUM_TYPEINFO(TSide, "sdLeft", "sdTop", "sdRight", "sdBottom")

const TIdentMap ColourIdents = {{0xFF0000, "clBlue"}, {0x0000FF, "clRed"}};

// A sub-object that is not a component.
class TPen : public TPersistent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TPen>& P) {
        P.Prop("Width", &TPen::Width, &TPen::Width).Default(1);
        P.Prop("Colour", &TPen::Colour, &TPen::Colour).Idents(&ColourIdents);
    }
    int Width = 1;
    int Colour = 0;
};

using TSenderKeyEvent = std::function<void(TObject* Sender, char& Key)>;

// A component with one property of every kind.
class TGadget : public TComponent {
public:
    using TComponent::TComponent;
    KV_METACLASS_DECL
    static void Publish(TPublisher<TGadget>& P) {
        P.Prop("Left", &TGadget::GetLeft, &TGadget::SetLeft);
        P.Prop("Big", &TGadget::Big, &TGadget::Big);
        P.Prop("Caption", &TGadget::GetCaption, &TGadget::SetCaption);
        P.Prop("Shape", &TGadget::Shape, &TGadget::Shape).Default(shSquare);
        P.Prop("Sides", &TGadget::Sides, &TGadget::Sides).Default(TSides{sdLeft, sdTop});
        P.Prop("Visible", &TGadget::Visible, &TGadget::Visible).Default(true);
        P.Prop("Mask", &TGadget::Mask, &TGadget::Mask);
        P.Prop("Ratio", &TGadget::Ratio, &TGadget::Ratio);
        P.Prop("Pen", &TGadget::GetPen, nullptr);
        P.Prop("Lines", &TGadget::GetLines, nullptr);
        P.Prop("Buddy", &TGadget::GetBuddy, &TGadget::SetBuddy);
        P.Prop("OnClick", &TGadget::OnClick, &TGadget::OnClick);
        P.Prop("OnKey", &TGadget::OnKey, &TGadget::OnKey);
        P.Defined(
             "Stamp", [](TGadget& g, const TFormValue& v) { g.Stamp = static_cast<int>(v.Int); },
             [](const TGadget& g) { return TFormValue::FromInt(g.Stamp); })
            .StoredIf([](const TGadget& g) { return g.Stamp != 0; });
        // Gadgets nest in their parents; other components stand at the root.
        P.ParentHook(
            [](TComponent* Child, TComponent* Parent) {
                auto* g = dynamic_cast<TGadget*>(Child);
                g->Parent = Parent;
                if (auto* p = dynamic_cast<TGadget*>(Parent)) p->Kids.push_back(g);
            },
            [](const TComponent* Child) { return dynamic_cast<const TGadget*>(Child)->Parent; });
    }

    int GetLeft() const { return FLeft; }
    void SetLeft(int v) {
        if (v < 0) throw ERangeError("Left must not be negative");
        FLeft = v;
    }
    const AnsiString& GetCaption() const { return FCaption; }
    void SetCaption(const AnsiString& v) { FCaption = v; }
    TPen* GetPen() const { return FPen.get(); }
    TStrings* GetLines() const { return FLines.get(); }
    TGadget* GetBuddy() const { return FBuddy; }
    void SetBuddy(TGadget* v) {
        // No RemoveFreeNotification for the old buddy: the link is mutual
        // when two gadgets name each other.
        FBuddy = v;
        if (v) v->FreeNotification(this);
    }
    void Loaded() override {
        TComponent::Loaded();
        LoadedSeen = true;
    }

    Int64 Big = 0;
    TShape Shape = shSquare;
    TSides Sides{sdLeft, sdTop};
    bool Visible = true;
    char Mask = 0;
    double Ratio = 0;
    int Stamp = 0;
    TNotifyEvent OnClick;
    TSenderKeyEvent OnKey;
    TComponent* Parent = nullptr;
    std::vector<TGadget*> Kids;
    bool LoadedSeen = false;

    int Tally = 0;          // declared by DefineProperties: an integer
    std::vector<int> Marks; // and a list of integers

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == FBuddy) FBuddy = nullptr;
    }
    void DefineProperties(TFiler* Filer) override {
        TComponent::DefineProperties(Filer);
        Filer->DefineProperty(
            "Tally", [this](TReader& R) { Tally = R.ReadInteger(); },
            [this](TWriter& W) { W.WriteInteger(Tally); }, Tally != 0);
        Filer->DefineProperty(
            "Marks",
            [this](TReader& R) {
                Marks.clear();
                R.ReadListBegin();
                while (!R.EndOfList())
                    Marks.push_back(R.ReadInteger());
                R.ReadListEnd();
            },
            [this](TWriter& W) {
                W.WriteListBegin();
                for (int m : Marks)
                    W.WriteInteger(m);
                W.WriteListEnd();
            },
            !Marks.empty());
    }

private:
    int FLeft = 0;
    AnsiString FCaption;
    std::unique_ptr<TPen> FPen = std::make_unique<TPen>();
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
    TGadget* FBuddy = nullptr;
};

class TOther : public TComponent {
public:
    using TComponent::TComponent;
    KV_METACLASS_DECL
};

class TFailsLoaded : public TComponent {
public:
    using TComponent::TComponent;
    KV_METACLASS_DECL
    void Loaded() override {
        TComponent::Loaded();
        throw EComponentError("cannot start");
    }
};

// A root with handlers and fields.
class TBoard : public TGadget {
public:
    using TGadget::TGadget;
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBoard>& P) {
        P.Method("KnobClick", &TBoard::KnobClick);
        P.Method("KnobKey", &TBoard::KnobKey);
        P.Field("Knob", &TBoard::Knob);
        P.Field("Dial", &TBoard::Dial);
    }
    void KnobClick(TObject* Sender) { Clicked = Sender; }
    void KnobKey(TObject*, char& Key) { Key = 'X'; }
    TGadget* Knob = nullptr;
    TGadget* Dial = nullptr;
    TObject* Clicked = nullptr;
};

} // namespace

KV_PUBLISHED_ABSTRACT_METACLASS(TPen, nullptr)
KV_PUBLISHED_METACLASS(TGadget, nullptr)
KV_METACLASS(TOther, nullptr)
KV_METACLASS(TFailsLoaded, nullptr)
KV_PUBLISHED_METACLASS(TBoard, &TGadget::ClassInfo())

namespace {

struct FormReader : ::testing::Test {
    static void SetUpTestSuite() {
        RegisterClass(&TGadget::ClassInfo());
        RegisterClass(&TOther::ClassInfo());
        RegisterClass(&TFailsLoaded::ClassInfo());
    }
    std::unique_ptr<TBoard> Board = std::make_unique<TBoard>(nullptr);

    void Read(const AnsiString& Text) { ReadComponentFromText(Text, Board.get(), TBoard::ClassInfo()); }
    // Runs Read and returns the message of the EReadError it must raise.
    AnsiString ReadError(const AnsiString& Text) {
        try {
            Read(Text);
        } catch (const EReadError& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no EReadError for:\n" << Text;
        return {};
    }
};

const char* const BoardText = R"(object Board1: TBoard
  Caption = 'Main'
  OnClick = KnobClick
  object Knob: TGadget
    Left = 8
    Big = 5000000000
    Caption = 'It''s '#13#10'open' +
      ' and more'#252
    Shape = shCircle
    Sides = [sdRight, sdBottom]
    Visible = False
    Mask = '*'
    Ratio = 1.5
    Pen.Width = 3
    Pen.Colour = clRed
    Lines.Strings = (
      'one'
      'two')
    Buddy = Dial
    OnClick = KnobClick
    OnKey = KnobKey
    Stamp = 42
    Tally = -7
    Marks = (
      3
      5)
    object Inner: TGadget
      Sides = []
    end
  end
  object Dial: TGadget
    Mask = #0
    Buddy = Knob
  end
  object Plain: TOther
  end
end
)";

TEST_F(FormReader, ReadsEveryKindOfValueAndWiresTheForm) {
    Read(BoardText);
    ASSERT_NE(Board->Knob, nullptr);
    ASSERT_NE(Board->Dial, nullptr);
    TGadget& k = *Board->Knob;
    EXPECT_EQ(Board->GetName(), "Board1");
    EXPECT_EQ(k.GetLeft(), 8);
    EXPECT_EQ(k.Big, 5000000000LL);
    EXPECT_EQ(k.GetCaption(), "It's \r\nopen and moreü");
    EXPECT_EQ(k.Shape, shCircle);
    EXPECT_EQ(k.Sides, (TSides{sdRight, sdBottom}));
    EXPECT_FALSE(k.Visible);
    EXPECT_EQ(k.Mask, '*');
    EXPECT_DOUBLE_EQ(k.Ratio, 1.5);
    EXPECT_EQ(k.GetPen()->Width, 3);
    EXPECT_EQ(k.GetPen()->Colour, 0x0000FF);
    EXPECT_EQ(k.GetLines()->GetText(), "one\r\ntwo\r\n");
    EXPECT_EQ(k.Stamp, 42);
    EXPECT_EQ(k.Tally, -7);
    EXPECT_EQ(k.Marks, (std::vector<int>{3, 5}));
    EXPECT_EQ(k.GetBuddy(), Board->Dial);            // forward reference fixed up
    EXPECT_EQ(Board->Dial->GetBuddy(), Board->Knob); // backward reference
    EXPECT_EQ(Board->Dial->Mask, '\0');

    // Nesting gives the parent; the root owns everything.
    EXPECT_EQ(k.Parent, Board.get());
    ASSERT_EQ(k.Kids.size(), 1u);
    EXPECT_EQ(k.Kids[0]->GetName(), "Inner");
    EXPECT_TRUE(k.Kids[0]->Sides.Empty());
    EXPECT_EQ(Board->GetComponentCount(), 4);
    EXPECT_TRUE(k.LoadedSeen);
    EXPECT_FALSE(k.IsLoading());
    EXPECT_FALSE(Board->IsLoading());

    // Handlers are bound to the root.
    ASSERT_TRUE(k.OnClick);
    k.OnClick(&k);
    EXPECT_EQ(Board->Clicked, &k);
    Board->OnClick(Board.get());
    EXPECT_EQ(Board->Clicked, Board.get());
    char key = 'a';
    k.OnKey(&k, key);
    EXPECT_EQ(key, 'X');
}

TEST_F(FormReader, WriterLeavesOutDefaultsAndReadsBackTheSame) {
    Read(BoardText);
    AnsiString text = WriteComponentToText(Board.get(), TBoard::ClassInfo());
    EXPECT_NE(text.find("object Board1: TBoard"), AnsiString::npos);
    EXPECT_NE(text.find("    OnClick = KnobClick"), AnsiString::npos);
    EXPECT_NE(text.find("    Shape = shCircle"), AnsiString::npos);
    EXPECT_NE(text.find("    Pen.Colour = clRed"), AnsiString::npos);
    EXPECT_NE(text.find("    Stamp = 42"), AnsiString::npos);
    EXPECT_NE(text.find("    Tally = -7\r\n    Marks = (\r\n      3\r\n      5)"), AnsiString::npos);
    EXPECT_NE(text.find("'It''s '#13#10'open and more'#252"), AnsiString::npos);
    EXPECT_EQ(text.find("Pen.Width = 1"), AnsiString::npos);
    // Dial keeps every default but Mask (#0 is the default) and Buddy.
    size_t dial = text.find("object Dial: TGadget");
    ASSERT_NE(dial, AnsiString::npos);
    EXPECT_EQ(text.substr(dial, text.find("end", dial) - dial),
              "object Dial: TGadget\r\n    Buddy = Knob\r\n  ");
    // Inner nests in Knob; an empty set differs from the default and is written.
    EXPECT_NE(text.find("    object Inner: TGadget\r\n      Sides = []\r\n    end"), AnsiString::npos);

    auto again = std::make_unique<TBoard>(nullptr);
    ReadComponentFromText(text, again.get(), TBoard::ClassInfo());
    EXPECT_EQ(WriteComponentToText(again.get(), TBoard::ClassInfo()), text);
}

TEST_F(FormReader, HandlersOfAnotherObjectAreNotWritten) {
    Read(BoardText);
    TBoard other(nullptr);
    const TPropInfo* onClick = GetPropInfo(&TGadget::ClassInfo(), "OnClick");
    onClick->SetMethod(Board->Dial,
                       GetPropTable(&TBoard::ClassInfo())->FindMethod("KnobClick")->Bind(&other));
    Board->Dial->OnClick(Board->Dial);
    EXPECT_EQ(other.Clicked, Board->Dial);
    AnsiString text = WriteComponentToText(Board.get(), TBoard::ClassInfo());
    size_t dial = text.find("object Dial");
    EXPECT_EQ(text.find("OnClick", dial), AnsiString::npos); // the other board's handler cannot be named here
}

TEST_F(FormReader, AFailingLoadedLeavesNothingLoading) {
    EXPECT_THROW(Read("object B: TBoard\n  object Knob: TGadget\n  end\n  object Dial: TGadget\n  end\n"
                      "  object F: TFailsLoaded\n  end\n  object Last: TGadget\n  end\nend"),
                 EComponentError);
    EXPECT_FALSE(Board->IsLoading());
    for (int i = 0; i < Board->GetComponentCount(); ++i)
        EXPECT_FALSE(Board->GetComponent(i)->IsLoading()) << i;
}

TEST_F(FormReader, LongAndOddStringsSurviveTheRoundTrip) {
    std::unique_ptr<TBoard> b = std::make_unique<TBoard>(nullptr);
    const AnsiString odd = AnsiString(150, 'x') + "\x01'\xFF\xC3" + "end€";
    b->SetCaption(odd);
    b->GetLines()->Add("");
    AnsiString text = WriteComponentToText(b.get(), TBoard::ClassInfo());
    EXPECT_NE(text.find(" +\r\n"), AnsiString::npos) << text;
    // Fields must find their components, so read it into a plain gadget.
    TGadget g(nullptr);
    AnsiString asGadget = StringReplaceAll(text, "object TBoard", "object TGadget");
    ReadComponentFromText(asGadget, &g, TGadget::ClassInfo());
    EXPECT_EQ(g.GetCaption(), odd);
    EXPECT_EQ(g.GetLines()->GetCount(), 1);
}

TEST_F(FormReader, UnknownNamesAndBadValuesAreErrorsWithTheLine) {
    struct Case {
        const char* Body; // placed in a Knob object on line 3
        const char* Expected;
    };
    const Case cases[] = {
        {"Colour = 1", "Error reading Knob.Colour on line 3: Property Colour does not exist"},
        {"Shape = shOval", "Knob.Shape on line 3: Invalid property value: unknown value shOval"},
        {"Sides = [sdLeft, sdMiddle]", "unknown value sdMiddle"},
        {"Visible = Maybe", "unknown value Maybe"},
        {"Left = 'eight'", "an integer expected, found a string"},
        {"Left = 3000000000", "3000000000 is out of range"},
        {"Left = -1", "Knob.Left on line 3: Left must not be negative"},
        {"Mask = 'ab'", "one character expected"},
        {"Pen = 3", "set the parts of Pen one by one"},
        {"Pen.Depth = 3", "Property Depth does not exist"},
        {"Caption.Size = 3", "Property Caption has no parts"},
        {"Pen.Colour = clPink", "unknown value clPink"},
        {"OnClick = NoSuchClick", "handler NoSuchClick not found in TBoard"},
        {"OnClick = KnobKey", "handler KnobKey does not fit event OnClick"},
        {"Buddy = Nobody", "Component Nobody not found"},
        {"Buddy = Plain", "Component Plain is a TOther, not a TGadget"},
        {"Lines.Strings = ( 'a' 1 )", "A list of strings expected"},
        {"Tally = 'x'", "Knob.Tally on line 3: Invalid property value: an integer expected, found a string"},
        {"Tally = 3000000000", "Knob.Tally on line 3: Invalid property value: 3000000000 is out of range"},
        {"Marks = 3", "a list expected, found an integer"},
        {"Marks = ( 1 'x' )", "an integer expected, found a string"},
    };
    for (const Case& c : cases) {
        AnsiString text = AnsiString("object Board1: TBoard\n  object Dial: TGadget\n  end\n") +
                          "  object Knob: TGadget\n" + "    " + c.Body +
                          "\n  end\n  object Plain: TOther\n  end\nend\n";
        // Knob starts on line 4; the property is on line 5.
        AnsiString expected = StringReplaceAll(c.Expected, "line 3", "line 5");
        AnsiString msg = ReadError(text);
        EXPECT_NE(msg.find(expected), AnsiString::npos) << c.Body << " -> " << msg;
        // Nothing the reader made survives a failure.
        EXPECT_EQ(Board->GetComponentCount(), 0) << c.Body;
        EXPECT_EQ(Board->Knob, nullptr);
        EXPECT_FALSE(Board->IsLoading());
    }
}

TEST_F(FormReader, StructuralErrors) {
    EXPECT_NE(ReadError("object X: TBoard\n  object K: TNoSuchClass\n  end\nend")
                  .find("Class TNoSuchClass not found on line 2"),
              AnsiString::npos);
    EXPECT_NE(ReadError("object X: TGadget\nend").find("Form text is for class TGadget, not TBoard"),
              AnsiString::npos);
    EXPECT_NE(ReadError("object X: TBoard\n  object Knob: TOther\n  end\nend")
                  .find("Field Knob of TBoard is a TGadget"),
              AnsiString::npos);
    EXPECT_NE(ReadError("object X: TBoard\n  object Knob: TGadget\n  end\nend")
                  .find("Field Dial of TBoard has no component"),
              AnsiString::npos);
    EXPECT_NE(ReadError("object X: TBoard\n  object Knob: TGadget\n  end\n  object Knob: TGadget\n  end\nend")
                  .find("A component named Knob already exists"),
              AnsiString::npos);
    EXPECT_EQ(Board->GetComponentCount(), 0);
}

TEST(FormParser, SyntaxErrorsNameTheLine) {
    struct Case {
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {"object A: TA\n  Caption = 'open\nend", "Unterminated string on line 2"},
        {"object A: TA\n  Caption = 'a' +\n  Left = 1\nend", "String expected after '+' on line 3"},
        {"object A: TA\n  Left 1\nend", "'=' expected on line 2"},
        {"object A: TA\n  Left = 1\n", "'end' expected on line 3"},
        {"object A: TA\nend\nobject B: TB\nend", "End of text expected"},
        {"object A: TA\n  Data = { 0A1 }\nend", "Hexadecimal pairs expected"},
        {"object A: TA\n  Caption = #\nend", "Character code expected"},
        {"object A: TA\n  Caption = #1114112\nend", "Character code out of range"},
        {"inherited A: TA\nend", "Inherited form text is not supported"},
        {"object A: TA\n  Left = 12ab\nend", "Invalid number on line 2"},
        {"object A: TA\n  Left = 99999999999999999999\nend", "Number out of range"},
        {"object A: TA\n  object B: TB\n  end\n  Left = 1\nend",
         "Properties must come before nested objects on line 4"},
    };
    for (const Case& c : cases) {
        try {
            ParseFormText(c.Text);
            ADD_FAILURE() << "no error for " << c.Text;
        } catch (const EParserError& e) {
            EXPECT_NE(e.Message().find(c.Expected), AnsiString::npos) << c.Text << " -> " << e.Message();
        }
    }
}

TEST(FormParser, ValueForms) {
    TFormObject o = ParseFormText("object A: TA // comment\n"
                                  "  X = -$1F\n  Y = 2.5E2\n  Z = ( 1 'a' [b] )\n"
                                  "  D = {\n    00FF\n    10 }\n"
                                  "  C = <\n    item\n      N = 1\n    end>\n"
                                  "  object TB\n  end\nend");
    ASSERT_EQ(o.Props.size(), 5u);
    EXPECT_EQ(o.Props[0].Value.Int, -31);
    EXPECT_DOUBLE_EQ(o.Props[1].Value.Float, 250.0);
    ASSERT_EQ(o.Props[2].Value.Items.size(), 3u);
    EXPECT_EQ(o.Props[2].Value.Items[2].Kind, TFormValue::vaSet);
    EXPECT_EQ(o.Props[3].Value.Str, AnsiString("\x00\xFF\x10", 3));
    ASSERT_EQ(o.Props[4].Value.Collection.size(), 1u);
    EXPECT_EQ(o.Props[4].Value.Collection[0][0].Name, "N");
    ASSERT_EQ(o.Children.size(), 1u);
    EXPECT_EQ(o.Children[0].ClassName, "TB"); // unnamed object
    EXPECT_EQ(o.Children[0].Line, 12);
}

TEST(FormResources, FoundByClassNameInCapitals) {
    static const char* const text = "object G: TGadget\n  Left = 4\nend\n";
    RegisterFormResource("TGADGET", text);
    TGadget g(nullptr);
    ReadComponentRes(&g, TGadget::ClassInfo());
    EXPECT_EQ(g.GetLeft(), 4);
    EXPECT_EQ(FindFormResource("tgadget"), text);
    EXPECT_THROW(ReadComponentRes(&g, TOther::ClassInfo()), EResNotFound);
}

TEST(PropTables, InheritAndAccessByName) {
    const TPropTable* t = GetPropTable(&TBoard::ClassInfo());
    EXPECT_NE(t->FindProp("caption"), nullptr); // inherited, any case
    EXPECT_NE(t->FindMethod("KnobClick"), nullptr);
    EXPECT_EQ(GetPropTable(&TGadget::ClassInfo())->FindMethod("KnobClick"), nullptr);
    TBoard b(nullptr);
    SetStrProp(&b, &TBoard::ClassInfo(), "Caption", "c");
    SetOrdProp(&b, &TBoard::ClassInfo(), "Shape", shNone);
    EXPECT_EQ(b.GetCaption(), "c");
    EXPECT_EQ(GetOrdProp(&b, &TBoard::ClassInfo(), "Shape"), shNone);
    EXPECT_THROW(SetOrdProp(&b, &TBoard::ClassInfo(), "Caption", 1), EPropertyError);
    EXPECT_THROW(GetStrProp(&b, &TBoard::ClassInfo(), "Nope"), EPropertyError);
}

} // namespace
