// The date edit and its calendar pop-up, driven by keys and the mouse.
#include "DateEditKV.h"

#include "DateUtils.h"
#include "FormatSettings.h"
#include "SelectDateKV.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

int ThisYear() {
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    return y;
}

struct DateEdit : ::testing::Test {
    DateEdit() {
        Form->SetBounds(100, 100, 400, 300);
        E->SetParent(Form.get());
        E->SetBounds(10, 10, 100, 21);
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        E->SetFocus();
        E->OnChange = [this](TObject* Sender) {
            EXPECT_EQ(Sender, E);
            ++Changes;
        };
        SetBeepHook([this](unsigned) { ++Beeps; });
    }
    ~DateEdit() override {
        SetBeepHook(nullptr);
        Form->Hide();
    }
    QWidget* W() const { return E->GetWidget(); }
    // Plays keys: digits and "+- x" are typed; < > ^ v are the cursor keys,
    // \b Backspace, \r Enter, D Delete, X Ctrl+Delete.
    void Play(const char* Keys) {
        for (const char* k = Keys; *k; ++k) {
            switch (*k) {
            case '<':
                QTest::keyClick(W(), Qt::Key_Left);
                break;
            case '>':
                QTest::keyClick(W(), Qt::Key_Right);
                break;
            case '^':
                QTest::keyClick(W(), Qt::Key_Up);
                break;
            case 'v':
                QTest::keyClick(W(), Qt::Key_Down);
                break;
            case '\b':
                QTest::keyClick(W(), Qt::Key_Backspace);
                break;
            case '\r':
                QTest::keyClick(W(), Qt::Key_Return);
                break;
            case 'D':
                QTest::keyClick(W(), Qt::Key_Delete);
                break;
            case 'X':
                QTest::keyClick(W(), Qt::Key_Delete, Qt::ControlModifier);
                break;
            default:
                QTest::keyClicks(W(), QString(QChar(*k)));
                break;
            }
        }
    }
    // The three texts joined by "|".
    std::string Texts() const {
        return E->GetSubFieldText(0) + "|" + E->GetSubFieldText(1) + "|" + E->GetSubFieldText(2);
    }
    TSelectDateKV* Popup() const {
        for (int i = 0; i < Screen->GetFormCount(); ++i)
            if (auto* p = dynamic_cast<TSelectDateKV*>(Screen->GetForm(i)); p && p->GetVisible()) return p;
        return nullptr;
    }
    TSelectDateKV* OpenPopup() {
        E->SetEnableLookup(true);
        QTest::mouseClick(E->GetLookupButton()->GetWidget(), Qt::LeftButton);
        return Popup();
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TDateEditKV* E = new TDateEditKV(Form.get());
    TEdit* Other = new TEdit(Form.get());
    int Changes = 0;
    int Beeps = 0;
};

TEST_F(DateEdit, DefaultsOfANewDateEdit) {
    TDateEditKV fresh(nullptr);
    EXPECT_EQ(fresh.GetWidth(), 68);
    EXPECT_EQ(fresh.GetHeight(), 21);
    EXPECT_TRUE(fresh.GetTabStop());
    EXPECT_EQ(fresh.GetColor(), clWindow);
    EXPECT_TRUE(fresh.GetHandleInvDate());
    EXPECT_FALSE(fresh.GetEnableLookup());
    EXPECT_EQ(fresh.GetLookupButton(), nullptr);
    EXPECT_EQ(fresh.GetBorderStyle(), bsSingle);
    EXPECT_TRUE(fresh.IsEmpty());
    EXPECT_FALSE(fresh.IsValid());
    EXPECT_THROW(fresh.GetDate(), EConvertError);
}

TEST_F(DateEdit, TypingFillsTheSubFieldsAndRefusesWhatCannotBeADate) {
    struct Case {
        const char* Keys;
        const char* Texts;
        int Current;
        int Beeps;
    };
    std::string year = std::to_string(ThisYear());
    const Case cases[] = {
        {"5", "05||", 1, 0},               // no second digit could follow: on to the month
        {"12", "12||", 1, 0},              //
        {"35", "3||", 0, 1},               // 35 cannot be a day
        {"31", "31||", 1, 0},              //
        {">12", "01|12|", 2, 0},           // the empty day before becomes 01
        {">13", "01|1|", 1, 1},            // 13 cannot be a month
        {">00", "01|00|", 2, 0},           // 00 can
        {">2", "01|02|", 2, 0},            //
        {">>7>", "01|01|2007", 2, 0},      // two-digit years: 0 to 50 in this century
        {">>50>", "01|01|2050", 2, 0},     //
        {">>51>", "01|01|1951", 2, 0},     // 51 to 99 in the last
        {">>199>", "01|01|0199", 2, 0},    // three digits are only padded
        {">>2024", "01|01|2024", 2, 0},    // four digits fill the year
        {">>2024\r5", "01|01|2024", 2, 1}, // typing on in a full year beeps
        {">>20245", "01|01|5", 2, 0},      // a digit after a full year starts it anew
        {"x", "||", 0, 1},                 // no digit
        {"3\b", "||", 0, 0},               // Backspace ends typing
        {"1\r4", "04||", 1, 0},            // Enter ends typing (padded); a new digit starts anew
        {"12<\r\b", "1||", 0, 0},          // Enter types on in a full text; Backspace takes a digit
        {"1 ", "1||", 0, 1},               // the space bar does not cut into typing
    };
    for (const Case& c : cases) {
        E->Clear();
        Play("<<");
        Beeps = 0;
        Play(c.Keys);
        EXPECT_EQ(Texts(), c.Texts) << c.Keys;
        EXPECT_EQ(E->GetCurrentSubField(), c.Current) << c.Keys;
        EXPECT_EQ(Beeps, c.Beeps) << c.Keys;
    }
    // The space bar: today's part in the current sub-field and in the empty ones before it.
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    E->Clear();
    Play("<< ");
    EXPECT_EQ(Texts(), Format("%.2d||", {d}));
    EXPECT_EQ(E->GetCurrentSubField(), 1);
    E->Clear();
    Play("<<>> ");
    EXPECT_EQ(Texts(), Format("%.2d|%.2d|%.4d", {d, m, y}));
    Play("<<1> "); // a typed day stays, the month is today's
    EXPECT_EQ(Texts(), Format("01|%.2d|%.4d", {m, y}));
}

TEST_F(DateEdit, StepsCarryIntoAndBorrowFromTheNextSubField) {
    struct Case {
        const char* Start; // the three texts, "|"-separated, typed in as digits
        int Current;
        const char* Keys;
        const char* After;
    };
    std::string next = Format("%.4d", {ThisYear() + 1}), last = Format("%.4d", {ThisYear() - 1});
    const std::string upEmpty = "01|01|" + next, downEmpty = "01|01|" + last;
    const Case cases[] = {
        {"||", 2, "^", upEmpty.c_str()},            // an empty year steps from this year
        {"||", 2, "v", downEmpty.c_str()},          //
        {"31|12|1999", 0, "^", "01|01|2000"},       // carried into month and year
        {"31|12|1999", 0, "+", "01|01|2000"},       //
        {"01|03|2000", 0, "v", "29|02|2000"},       // borrowed from a leap February
        {"01|03|2001", 0, "-", "28|02|2001"},       //
        {"01|01|2000", 0, "v", "31|12|1999"},       // December before January
        {"01||", 0, "v", "31||"},                   // no month: 31 days, nothing to borrow from
        {"31||", 0, "^", "01||"},                   //
        {"28|02|", 0, "^", "01|03|"},               // no year: a common February
        {"31|12|9999", 2, "^", "31|12|0000"},       // the year wraps, whatever it gives
        {"31|12|0000", 2, "v", "31|12|9999"},       //
        {"31|01|2001", 1, "^", "31|02|2001"},       // no check of the whole date
        {"31|00|2001", 0, "^", "01|01|2001"},       // a month 00 counts as none: 31 days
        {"01|00|2001", 0, "v", "31|12|2000"},       //
        {"15|06|2001", 1, "^^^^^^^", "15|01|2002"}, //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Start) + " " + c.Keys);
        E->Clear();
        Play("<<");
        std::string start = c.Start;
        size_t a = start.find('|'), b = start.find('|', a + 1);
        std::string parts[3] = {start.substr(0, a), start.substr(a + 1, b - a - 1), start.substr(b + 1)};
        for (int i = 0; i < 3; ++i) {
            if (!parts[i].empty()) Play(parts[i].c_str());
            if (E->GetCurrentSubField() == i) Play(">");
        }
        Play("<<");
        for (int i = 0; i < c.Current; ++i)
            Play(">");
        ASSERT_EQ(Texts(), c.Start);
        Changes = 0;
        Play(c.Keys);
        EXPECT_EQ(Texts(), c.After);
        EXPECT_EQ(Changes, static_cast<int>(strlen(c.Keys)));
        EXPECT_TRUE(E->GetModified());
    }
}

TEST_F(DateEdit, DeletingAndClearing) {
    E->SetDate(EncodeDate(2001, 4, 12));
    Play(">D");
    EXPECT_EQ(Texts(), "12||2001");
    Play("1"); // typing
    Play("D"); // does nothing while typing
    EXPECT_EQ(Texts(), "12|1|2001");
    Play("X");
    EXPECT_EQ(Texts(), "||");
    EXPECT_TRUE(E->IsEmpty());
}

TEST_F(DateEdit, OnlyTheUsersChangesFireOnChangeOnceEach) {
    E->SetDate(EncodeDate(2001, 4, 12));
    E->Clear();
    EXPECT_EQ(Changes, 0);
    EXPECT_FALSE(E->GetModified());
    Play("0512");
    EXPECT_EQ(Changes, 4);
    Play("<<<>"); // moving changes nothing
    EXPECT_EQ(Changes, 4);
    EXPECT_TRUE(E->GetModified());
}

TEST_F(DateEdit, ReadOnlyKeysNeverChangeTheTexts) {
    E->SetDate(EncodeDate(2001, 4, 12));
    E->SetReadOnly(true);
    Play("<<5^v+-\bDX 1\r2>");
    EXPECT_EQ(Texts(), "12|04|2001");
    EXPECT_EQ(Changes, 0);
    EXPECT_FALSE(E->GetModified());
}

TEST_F(DateEdit, LeavingNormalisesOrReportsAnInvalidDate) {
    ExceptionCatcher caught;
    Play("5324"); // 05.03.2024 once the year is completed
    Other->SetFocus();
    EXPECT_EQ(Texts(), "05|03|2024");
    EXPECT_TRUE(caught.Messages.empty());
    EXPECT_EQ(E->GetCurrentSubField(), 0);

    E->SetFocus();
    E->Clear();
    Play("31042001");
    Other->SetFocus();
    ASSERT_EQ(caught.Messages.size(), 1u);
    EXPECT_EQ(caught.Messages[0], "Bitte geben Sie ein gültiges Datum ein");
    EXPECT_TRUE(E->Focused());
    EXPECT_EQ(Texts(), "31|04|2001");

    E->SetHandleInvDate(false);
    Other->SetFocus();
    EXPECT_EQ(caught.Messages.size(), 1u);
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(Texts(), "31|04|2001");

    E->SetHandleInvDate(true);
    E->SetFocus();
    Play("X");
    Other->SetFocus(); // empty is always fine
    EXPECT_EQ(caught.Messages.size(), 1u);
}

TEST_F(DateEdit, ClicksChooseTheSubFieldAndTypingShowsACaret) {
    E->SetDate(EncodeDate(2001, 4, 12));
    Other->SetFocus();
    int w = E->GetCanvas()->TextWidth("0");
    auto click = [&](int X) { QTest::mouseClick(W(), Qt::LeftButton, {}, QPoint(X + 2, 8)); };
    click(1 + 2 * w + 6 + 3); // the month
    EXPECT_TRUE(E->Focused());
    EXPECT_EQ(E->GetCurrentSubField(), 1);
    EXPECT_FALSE(E->GetSubEdit());
    click(1 + 2 * (2 * w + 6) + 3); // the year
    EXPECT_EQ(E->GetCurrentSubField(), 2);
    click(1 + 2 * (2 * w + 6) + 3); // again: typing over it
    EXPECT_TRUE(E->GetSubEdit());
    EXPECT_EQ(GetCaretOwner(), E);
    EXPECT_TRUE(IsCaretShown());
    QPoint caret;
    GetCaretPos(caret);
    EXPECT_EQ(caret.x(), 1 + 2 * (2 * w + 6) + E->GetCanvas()->TextWidth("0000")); // at the slot's end
    click(2);                                                                      // the day ends typing
    EXPECT_EQ(E->GetCurrentSubField(), 0);
    EXPECT_FALSE(E->GetSubEdit());
    EXPECT_EQ(GetCaretOwner(), nullptr);
}

TEST_F(DateEdit, TheCurrentSubFieldIsHighlightedWhileFocused) {
    E->SetDate(EncodeDate(2001, 4, 12));
    Play(">");
    QColor highlight(ColorToQColor(clHighlight).rgb());
    auto highlighted = [&](int Index) {
        QImage img = W()->grab().toImage();
        int w = E->GetCanvas()->TextWidth("0"), h = E->GetCanvas()->TextHeight("0");
        int left = 2 + 1 + Index * (2 * w + 6); // the edge, then the sub-field's place
        int n = 0;
        for (int y = 3; y < 3 + h; ++y)
            for (int x = left; x < left + 2 * w; ++x)
                if (img.pixelColor(x, y) == highlight) ++n;
        return n > w * h / 2;
    };
    EXPECT_FALSE(highlighted(0));
    EXPECT_TRUE(highlighted(1));
    Play("\r"); // typing: no highlight
    EXPECT_FALSE(highlighted(1));
    Play("\r");
    Other->SetFocus();
    EXPECT_FALSE(highlighted(0));
    EXPECT_FALSE(highlighted(1));
}

TEST_F(DateEdit, TheBorderStyleTakesOnlyNoneAndSingle) {
    E->SetBorderStyle(bsDialog);
    EXPECT_EQ(E->GetBorderStyle(), bsSingle);
    EXPECT_EQ(E->GetClientWidth(), 100 - 4); // sunken edge
    E->SetCtl3D(false);
    EXPECT_EQ(E->GetClientWidth(), 100 - 2); // plain border
    E->SetBorderStyle(bsNone);
    EXPECT_EQ(E->GetClientWidth(), 100);
    E->SetEnableLookup(true);
    EXPECT_EQ(E->GetLookupButton()->GetBoundsRect(), QRect(100 - 19, 0, 19, 21));
    E->SetBorderStyle(bsSingle);
    EXPECT_EQ(E->GetLookupButton()->GetBoundsRect(), QRect(98 - 19, 0, 19, 19));
    E->SetEnableLookup(false);
    EXPECT_EQ(E->GetLookupButton(), nullptr);
}

// ---- The pop-up -----------------------------------------------------------

TEST(SelectDate, TheDialogIsReadFromItsFormText) {
    TSelectDateKV d(nullptr);
    EXPECT_EQ(d.GetClientWidth(), 176);
    EXPECT_EQ(d.GetClientHeight(), 184);
    EXPECT_EQ(d.GetBorderStyle(), bsDialog);
    EXPECT_TRUE(d.GetBorderIcons().Empty());
    EXPECT_EQ(d.GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(d.GetFont()->GetHeight(), -11);
    EXPECT_TRUE(d.OnShow && d.OnClose);

    EXPECT_EQ(d.PnlMain->GetAlign(), alClient);
    EXPECT_EQ(d.PnlMain->GetBevelInner(), bvLowered);
    EXPECT_EQ(d.PnlMain->GetBevelOuter(), bvNone);
    struct Band {
        TPanel* Panel;
        TAlign Align;
        int Height;
    };
    for (const Band& b : {Band{d.PnlHeader, alTop, 37}, Band{d.PnlCalendar, alTop, 139},
                          Band{d.PnlButton, alBottom, 25}}) {
        SCOPED_TRACE(b.Panel->GetName());
        EXPECT_EQ(b.Panel->GetParent(), d.PnlMain);
        EXPECT_EQ(b.Panel->GetAlign(), b.Align);
        EXPECT_EQ(b.Panel->GetHeight(), b.Height);
        EXPECT_EQ(b.Panel->GetBorderWidth(), 7);
    }
    EXPECT_EQ(d.PnlMonth->GetParent(), d.PnlHeader);
    EXPECT_EQ(d.PnlMonth->GetBoundsRect(), QRect(8, 8, 158, 21));
    EXPECT_EQ(d.PnlMonth->GetBevelOuter(), bvNone);
    EXPECT_EQ(d.PnlMonth->GetBorderStyle(), bsSingle);
    EXPECT_EQ(d.PnlMonth->GetColor(), clWindow);
    EXPECT_TRUE(d.PnlMonth->GetFont()->GetStyle().Contains(fsBold));
    EXPECT_EQ(d.Cal1->GetParent(), d.PnlCalendar);
    EXPECT_EQ(d.Cal1->GetBoundsRect(), QRect(8, 8, 158, 123));
    EXPECT_EQ(d.Cal1->GetHeaderHeight(), 16);
    EXPECT_TRUE(d.Cal1->OnMouseUp && d.Cal1->OnKeyDown);

    struct Step {
        TSpeedButton* Button;
        int Left;
        bool PointsRight;
    };
    for (const Step& s : {Step{d.BtnPrevMonth, 0, false}, Step{d.BtnNextMonth, 138, true}}) {
        SCOPED_TRACE(s.Button->GetName());
        EXPECT_EQ(s.Button->GetParent(), d.PnlMonth);
        EXPECT_EQ(s.Button->GetBoundsRect(), QRect(s.Left, 0, 16, 17));
        EXPECT_EQ(s.Button->GetHint(), "Selektion auswählen");
        EXPECT_TRUE(s.Button->GetShowHint());
        EXPECT_TRUE(s.Button->GetAllowAllUp());
        EXPECT_EQ(s.Button->GetMargin(), 0);
        EXPECT_EQ(s.Button->GetSpacing(), 0);
        EXPECT_TRUE(s.Button->OnClick);
        // A black triangle on light grey: its base is the column with the most black.
        const QImage& glyph = s.Button->GetGlyph()->GetImage();
        ASSERT_EQ(glyph.size(), QSize(11, 11));
        EXPECT_EQ(glyph.pixelColor(0, 0), QColor(0xC0, 0xC0, 0xC0));
        int base = -1, tip = -1, most = 0;
        for (int x = 0; x < 11; ++x) {
            int black = 0;
            for (int y = 0; y < 11; ++y)
                black += glyph.pixelColor(x, y) == QColor(Qt::black);
            if (black > most) most = black, base = x;
            if (black == 1) tip = x;
        }
        ASSERT_GT(most, 1);
        EXPECT_EQ(tip > base, s.PointsRight);
    }
    struct Choice {
        TSpeedButton* Button;
        int Left;
        const char* Caption;
    };
    for (const Choice& c : {Choice{d.BtnToday, 18, "&Heute"}, Choice{d.BtnCancel, 89, "&Abbruch"}}) {
        SCOPED_TRACE(c.Caption);
        EXPECT_EQ(c.Button->GetParent(), d.PnlButton);
        EXPECT_EQ(c.Button->GetBoundsRect(), QRect(c.Left, 4, 66, 18));
        EXPECT_EQ(c.Button->GetCaption(), c.Caption);
        EXPECT_TRUE(c.Button->GetFlat());
        EXPECT_TRUE(c.Button->OnClick);
    }
}

TEST_F(DateEdit, ThePopupOpensUnderTheEditOnItsDate) {
    E->SetDate(EncodeDate(2001, 4, 12));
    TSelectDateKV* p = OpenPopup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Cal1->GetCalendarDate(), EncodeDate(2001, 4, 12));
    EXPECT_EQ(p->PnlMonth->GetCaption(), FormatSettings().LongMonthNames[3] + "  2001");
    QPoint under = E->ClientToScreen(QPoint(0, 0)) - QPoint(2, 2) + QPoint(0, E->GetHeight());
    EXPECT_EQ(QPoint(p->GetLeft(), p->GetTop()), under);
    // Without caption the calendar and the buttons below share the caption's room.
    EXPECT_EQ(p->CaptionHeight(), 0);
    EXPECT_EQ(p->PnlMonth->GetBoundsRect(), QRect(8, 8, 158, 21));
    EXPECT_EQ(p->Cal1->GetBoundsRect(), QRect(8, 8, 158, 123));
    EXPECT_EQ(p->PnlButton->GetTop(), p->PnlCalendar->GetTop() + p->PnlCalendar->GetHeight());
    EXPECT_EQ(p->BtnNextMonth->GetLeft() + p->BtnNextMonth->GetWidth(), p->PnlMonth->GetClientWidth());
}

TEST_F(DateEdit, ThePopupMovesAwayFromTheScreensEdges) {
    // The form fills the screen from its client origin on.
    int sw = Screen->GetWidth(), sh = Screen->GetHeight();
    QPoint client = Form->ClientToScreen(QPoint(0, 0));
    Form->SetClientWidth(sw - client.x());
    Form->SetClientHeight(sh - client.y());
    struct Case {
        const char* Where;
        bool Right, Bottom; // the edit near the screen's right or bottom edge
    };
    const Case cases[] = {
        {"room on both sides", false, false},
        {"at the right edge", true, false},
        {"at the bottom", false, true},
        {"in the bottom right corner", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Where);
        E->SetBounds(c.Right ? Form->GetClientWidth() - 110 : 10, c.Bottom ? Form->GetClientHeight() - 30 : 10,
                     100, 21);
        TSelectDateKV* p = OpenPopup();
        ASSERT_NE(p, nullptr);
        QPoint edit = E->GetParent()->ClientToScreen(QPoint(E->GetLeft(), E->GetTop()));
        ASSERT_EQ(edit.x() + p->GetWidth() > sw, c.Right);
        ASSERT_EQ(edit.y() + E->GetHeight() + p->GetHeight() > sh, c.Bottom);
        if (c.Right)
            EXPECT_EQ(p->GetLeft() + p->GetWidth(), edit.x() + E->GetWidth()); // right edges line up
        else
            EXPECT_EQ(p->GetLeft(), edit.x());
        if (c.Bottom)
            EXPECT_EQ(p->GetTop() + p->GetHeight(), edit.y()); // above the edit
        else
            EXPECT_EQ(p->GetTop(), edit.y() + E->GetHeight());
        p->Close();
        QApplication::processEvents(); // the pop-up frees itself
    }
}

TEST_F(DateEdit, APopupOnAnEmptyOrInvalidEditShowsToday) {
    TSelectDateKV* p = OpenPopup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Cal1->GetCalendarDate(), Date());
    p->Close();
    Play("31042001");
    p = OpenPopup();
    EXPECT_EQ(p->Cal1->GetCalendarDate(), Date());
}

TEST_F(DateEdit, AHalfTypedYearIsCompletedBeforeThePopupOpens) {
    Play("1204>2"); // the year 2, still being typed
    ASSERT_TRUE(E->GetSubEdit());
    TSelectDateKV* p = OpenPopup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Texts(), "12|04|2002");
    EXPECT_EQ(p->Cal1->GetCalendarDate(), EncodeDate(2002, 4, 12));
}

TEST_F(DateEdit, ADayChosenInThePopupGoesIntoTheEdit) {
    struct Case {
        const char* How;
        std::function<void(TSelectDateKV*)> Act;
        TDateTime Expected; // 0: unchanged
    };
    auto clickDay = [](TSelectDateKV* p, int Day) {
        int col, row;
        p->Cal1->GetCellOfDay(col, row, Day);
        TRect r = p->Cal1->CellRect(col, row);
        QTest::mouseClick(p->Cal1->GetWidget(), Qt::LeftButton, {},
                          QPoint((r.Left + r.Right) / 2 + 2, (r.Top + r.Bottom) / 2 + 2));
    };
    const Case cases[] = {
        {"a click on a day", [&](TSelectDateKV* p) { clickDay(p, 20); }, EncodeDate(2001, 4, 20)},
        {"the next month and a click",
         [&](TSelectDateKV* p) {
             QTest::mouseClick(p->BtnNextMonth->GetWidget(), Qt::LeftButton);
             EXPECT_EQ(p->PnlMonth->GetCaption(), FormatSettings().LongMonthNames[4] + "  2001");
             clickDay(p, 3);
         },
         EncodeDate(2001, 5, 3)},
        {"keys and Enter",
         [](TSelectDateKV* p) {
             QTest::keyClick(p->Cal1->GetWidget(), Qt::Key_Right);
             QTest::keyClick(p->Cal1->GetWidget(), Qt::Key_Return);
         },
         EncodeDate(2001, 4, 13)},
        {"the today button",
         [](TSelectDateKV* p) { QTest::mouseClick(p->BtnToday->GetWidget(), Qt::LeftButton); }, Date()},
        {"Escape", [](TSelectDateKV* p) { QTest::keyClick(p->Cal1->GetWidget(), Qt::Key_Escape); }, 0},
        {"the cancel button",
         [](TSelectDateKV* p) { QTest::mouseClick(p->BtnCancel->GetWidget(), Qt::LeftButton); }, 0},
        {"a click outside", [this](TSelectDateKV*) { QApplication::setActiveWindow(Form->GetWidget()); }, 0},
    };
    for (bool readOnly : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.How) + (readOnly ? ", read-only" : ""));
            E->SetDate(EncodeDate(2001, 4, 12));
            E->SetReadOnly(readOnly);
            E->SetModified(false);
            Changes = 0;
            TSelectDateKV* p = OpenPopup();
            ASSERT_NE(p, nullptr);
            QApplication::setActiveWindow(p->GetWidget());
            p->Cal1->SetFocus();
            c.Act(p);
            EXPECT_EQ(Popup(), nullptr); // closed
            bool changes = c.Expected != 0 && !readOnly;
            EXPECT_EQ(E->GetDate(), changes ? c.Expected : EncodeDate(2001, 4, 12));
            EXPECT_EQ(E->GetModified(), changes);
            EXPECT_EQ(Changes, changes ? 1 : 0);
            QApplication::setActiveWindow(Form->GetWidget());
            QApplication::processEvents(); // the pop-up frees itself
        }
}

TEST_F(DateEdit, APopupWhoseEditGoesClosesAndFreesItself) {
    E->SetDate(EncodeDate(2001, 4, 12));
    TSelectDateKV* p = OpenPopup();
    ASSERT_NE(p, nullptr);
    int forms = Screen->GetFormCount();
    delete E;
    EXPECT_EQ(Popup(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(Screen->GetFormCount(), forms - 1);
}

TEST(DateEditRegistration, PutsTheDateEditOnTheKVPage) {
    Dateeditkv::Register();
    auto classes = GetPaletteClasses("KV");
    EXPECT_NE(std::find(classes.begin(), classes.end(), &TDateEditKV::ClassInfo()), classes.end());
}

} // namespace
