// The month calendar on a shown form, driven by keys and the mouse.
#include "CalendarKV.h"

#include "DateUtils.h"
#include "Forms.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QtTest/QTest>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// Opens the protected steps for the tests.
class TOpenCalendar : public TCalendarKV {
public:
    using TCalendarKV::ChangeMonth;
    using TCalendarKV::ChangeYear;
    using TCalendarKV::TCalendarKV;
};

struct Calendar : ::testing::Test {
    Calendar() {
        Form->SetBounds(0, 0, 300, 250);
        Cal->SetParent(Form.get());
        Cal->SetBorderStyle(bsNone);
        Cal->SetBounds(10, 10, 161, 130);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Cal->SetFocus();
    }
    QWidget* W() const { return Cal->GetWidget(); }
    void Key(Qt::Key K) { QTest::keyClick(W(), K); }
    void ClickCell(int ACol, int ARow) {
        TRect r = Cal->CellRect(ACol, ARow);
        QTest::mouseClick(W(), Qt::LeftButton, {}, QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    }
    void ExpectDate(int Y, int M, int D) const {
        EXPECT_EQ(Cal->GetCalendarDate(), EncodeDate(Y, M, D)) << Y << "-" << M << "-" << D;
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TOpenCalendar* Cal = new TOpenCalendar(Form.get());
};

TEST(CalendarLayout, DaysFollowTheWeekdayOfTheFirst) {
    TCalendarKV cal(nullptr);
    struct Case {
        int Year, Month;
        int FirstCol;         // Monday 0 .. Sunday 6
        int LastCol, LastRow; // where the last day lies
    };
    const Case cases[] = {
        {2024, 1, 0, 2, 5},  // begins on a Monday
        {2023, 10, 6, 1, 6}, // begins on a Sunday, 31 days: the latest cell there is
        {2021, 2, 0, 6, 4},  // February of a common year from a Monday fills rows 1 to 4
        {2024, 2, 3, 3, 5},  // leap February
        {2000, 2, 1, 1, 5},  // leap by the 400 rule
        {1900, 2, 3, 2, 5},  // no leap year by the 100 rule
        {1899, 12, 4, 6, 5}, // around day 0 of the date type
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Year << "-" << c.Month);
        cal.SetCalendarDate(EncodeDate(c.Year, c.Month, 10));
        EXPECT_EQ(cal.GetFirstCol(), c.FirstCol);
        int col, row;
        cal.GetCellOfDay(col, row, 1);
        EXPECT_EQ(std::make_pair(col, row), std::make_pair(c.FirstCol, 1));
        cal.GetCellOfDay(col, row, DaysInAMonth(c.Year, c.Month));
        EXPECT_EQ(std::make_pair(col, row), std::make_pair(c.LastCol, c.LastRow));
    }
    // Every month of four centuries: each day once, in order, in its weekday's column.
    for (int year = 1850; year <= 2250; year += 7)
        for (int month = 1; month <= 12; ++month) {
            TDateTime date = EncodeDate(year, month, 15);
            int expected = 1;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 7; ++col) {
                    int d = cal.GetDay(col, row, date);
                    if (d == 0) continue;
                    ASSERT_EQ(d, expected) << year << "-" << month;
                    ASSERT_EQ(col, (DayOfWeek(EncodeDate(year, month, d)) + 5) % 7);
                    ++expected;
                }
            ASSERT_EQ(expected - 1, DaysInAMonth(year, month)) << year << "-" << month;
        }
}

TEST(CalendarLayout, CellsShareTheClientArea) {
    TCalendarKV cal(nullptr);
    cal.RecalcCellDims(161, 130);
    EXPECT_EQ(cal.GetDefaultColWidth(), 22);
    EXPECT_EQ(cal.GetDefaultRowHeight(), 17);
    EXPECT_EQ(cal.GetRowHeights(0), 17);
    cal.SetHeaderHeight(16);
    cal.RecalcCellDims(161, 130);
    EXPECT_EQ(cal.GetDefaultRowHeight(), 17); // (130 - 7 - 16) div 6
    EXPECT_EQ(cal.GetRowHeights(0), 16);
}

TEST_F(Calendar, ItsWindowLaysOutTheCellsForItsClientArea) {
    EXPECT_EQ(Cal->CellRect(0, 0), Rect(0, 0, 22, 17));
    EXPECT_EQ(Cal->CellRect(6, 6), Rect(138, 108, 160, 125));
    Cal->SetHeaderHeight(16);
    EXPECT_EQ(Cal->CellRect(0, 1), Rect(0, 17, 22, 34));
    // The sunken edge takes two pixels on every side.
    Cal->SetBorderStyle(bsSingle);
    Cal->SetBounds(10, 10, 165, 134);
    EXPECT_EQ(Cal->GetClientWidth(), 161);
    EXPECT_EQ(Cal->CellRect(6, 6), Rect(138, 107, 160, 124));
}

TEST_F(Calendar, ClicksAndKeysChooseDaysOfTheShownMonthOnly) {
    Cal->SetCalendarDate(EncodeDate(2021, 2, 10)); // Monday 1st, 28 days: rows 1 to 4
    int col, row;
    Cal->GetCellOfDay(col, row);
    EXPECT_EQ(std::make_pair(Cal->GetCol(), Cal->GetRow()), std::make_pair(col, row));
    ClickCell(3, 0); // the header
    ClickCell(3, 5); // after the last day
    ExpectDate(2021, 2, 10);
    ClickCell(4, 4);
    ExpectDate(2021, 2, 26);
    struct Step {
        Qt::Key Key;
        int Day;
    };
    const Step steps[] = {
        {Qt::Key_Down, 26},    // row 5 is empty
        {Qt::Key_Right, 27},   //
        {Qt::Key_Right, 28},   //
        {Qt::Key_Right, 28},   // the last column
        {Qt::Key_Home, 22},    //
        {Qt::Key_Up, 15},      //
        {Qt::Key_PageUp, 1},   // a page up stops at row 1
        {Qt::Key_Up, 1},       // not into the header
        {Qt::Key_End, 7},      //
        {Qt::Key_PageDown, 7}, // a page down lands on an empty cell
    };
    for (const Step& s : steps) {
        Key(s.Key);
        ExpectDate(2021, 2, s.Day);
    }
    Cal->SetCalendarDate(EncodeDate(2023, 10, 1)); // a Sunday: alone in row 1
    Key(Qt::Key_Left);
    Key(Qt::Key_Home);
    ExpectDate(2023, 10, 1);
}

TEST_F(Calendar, WithoutDaySelectionNothingMovesAndTodayIsMarkedInItsMonthOnly) {
    TDateTime today = Date();
    Cal->SetDaySelection(false);
    Cal->SetCalendarDate(today);
    std::pair<int, int> cell{Cal->GetCol(), Cal->GetRow()};
    ClickCell(0, 3);
    Key(Qt::Key_Down);
    Key(Qt::Key_Right);
    EXPECT_EQ(std::make_pair(Cal->GetCol(), Cal->GetRow()), cell);
    EXPECT_EQ(Cal->GetCalendarDate(), today);

    // Smoothed glyphs seldom hold the exact colour: a pixel counts when it
    // has the highlight's hue and clearly some of its colour (grey edges of
    // the other days' black digits have none).
    QColor highlight = QColor(ColorToQColor(clHighlight).rgb());
    auto tinted = [&](QColor c) {
        return c.hsvSaturation() > 60 && std::abs(c.hsvHue() - highlight.hsvHue()) < 20;
    };
    auto count = [&](const TRect& R) {
        QImage img = W()->grab().toImage();
        int n = 0;
        for (int y = R.Top; y < R.Bottom; ++y)
            for (int x = R.Left; x < R.Right; ++x)
                if (tinted(img.pixelColor(x, y))) ++n;
        return n;
    };
    int col, row;
    Cal->GetCellOfDay(col, row, today);
    TRect todayCell = Cal->CellRect(col, row);
    int digits = count(todayCell);
    EXPECT_GT(digits, 0);                                          // digits in the highlight colour
    EXPECT_LT(digits, todayCell.Width() * todayCell.Height() / 2); // on the normal background
    EXPECT_EQ(count(Rect(0, 0, 161, 130)), digits);                // and nowhere else
    Cal->NextMonth();
    EXPECT_EQ(count(Rect(0, 0, 161, 130)), 0);
}

TEST_F(Calendar, TheSelectedDayIsHighlightedAndFramedWhileFocused) {
    Cal->SetCalendarDate(EncodeDate(2024, 3, 13));
    TRect r = Cal->CellRect(Cal->GetCol(), Cal->GetRow());
    QImage img = W()->grab().toImage();
    EXPECT_EQ(img.pixelColor(r.Left + 2, r.Top + 2), QColor(ColorToQColor(clHighlight).rgb()));
    EXPECT_NE(img.pixelColor(r.Left, r.Top), img.pixelColor(r.Left + 1, r.Top)); // the dotted frame
    // A day can be framed without being chosen.
    Cal->FocusDay(20);
    int col, row;
    Cal->GetCellOfDay(col, row, 20);
    TRect f = Cal->CellRect(col, row);
    img = W()->grab().toImage();
    EXPECT_NE(img.pixelColor(f.Left, f.Top + 2), QColor(ColorToQColor(clWindow).rgb()));
    ExpectDate(2024, 3, 13);
}

TEST_F(Calendar, MonthAndYearStepsKeepTheDayWhereTheMonthHasIt) {
    struct Case {
        int Y, M, D;
        void (*Step)(TOpenCalendar*);
        int EY, EM, ED;
    };
    const Case cases[] = {
        {2001, 1, 31, [](TOpenCalendar* c) { c->NextMonth(); }, 2001, 2, 28},
        {2004, 1, 31, [](TOpenCalendar* c) { c->NextMonth(); }, 2004, 2, 29},
        {2004, 12, 15, [](TOpenCalendar* c) { c->NextMonth(); }, 2005, 1, 15},
        {2005, 1, 15, [](TOpenCalendar* c) { c->PrevMonth(); }, 2004, 12, 15},
        {2000, 2, 29, [](TOpenCalendar* c) { c->PrevYear(); }, 1999, 2, 28},
        {2000, 2, 29, [](TOpenCalendar* c) { c->NextYear(); }, 2001, 2, 28},
        {2001, 3, 31, [](TOpenCalendar* c) { c->ChangeMonth(5); }, 2001, 4, 30}, // one month only
        {2001, 3, 31, [](TOpenCalendar* c) { c->ChangeMonth(-5); }, 2001, 2, 28},
        {2001, 3, 31, [](TOpenCalendar* c) { c->ChangeMonth(0); }, 2001, 2, 28}, // not forward
        {2001, 3, 1, [](TOpenCalendar* c) { c->ChangeYear(-3); }, 2000, 3, 1},
    };
    for (const Case& c : cases) {
        Cal->SetCalendarDate(EncodeDate(c.Y, c.M, c.D));
        c.Step(Cal);
        ExpectDate(c.EY, c.EM, c.ED);
        int col, row;
        Cal->GetCellOfDay(col, row);
        EXPECT_EQ(std::make_pair(Cal->GetCol(), Cal->GetRow()), std::make_pair(col, row));
    }
}

TEST_F(Calendar, DatePartsChangeOneAtATimeAndImpossibleDatesRaise) {
    Cal->SetCalendarDate(EncodeDate(2001, 4, 12));
    EXPECT_THROW(Cal->SetDay(31), EConvertError);
    EXPECT_THROW(Cal->SetMonth(13), EConvertError);
    ExpectDate(2001, 4, 12);
    Cal->SetDay(30);
    Cal->SetMonth(6);
    Cal->SetYear(1999);
    ExpectDate(1999, 6, 30);
    EXPECT_EQ(Cal->GetCalendarDatePart(4), -1);
    Cal->SetCalendarDatePart(0, 5); // no such part
    ExpectDate(1999, 6, 30);
    // The selected cell takes the date without its time; without day selection the time stays.
    Cal->SetCalendarDate(EncodeDate(1999, 6, 1) + 0.5);
    ExpectDate(1999, 6, 1);
    Cal->SetDaySelection(false);
    Cal->SetCalendarDate(EncodeDate(1999, 6, 2) + 0.5);
    EXPECT_EQ(Cal->GetCalendarDate(), EncodeDate(1999, 6, 2) + 0.5);
}

TEST_F(Calendar, TheCurrentDateSwitch) {
    EXPECT_TRUE(Cal->GetUseCurrentDate());
    EXPECT_EQ(Cal->GetCalendarDate(), Date());
    Cal->SetCalendarDate(EncodeDate(1990, 5, 5));
    EXPECT_FALSE(Cal->GetUseCurrentDate());
    Cal->SetUseCurrentDate(true);
    EXPECT_TRUE(Cal->GetUseCurrentDate());
    EXPECT_EQ(Cal->GetCalendarDate(), Date());
    Cal->SetUseCurrentDate(false);
    EXPECT_EQ(Cal->GetCalendarDate(), Date()); // only the flag
}

TEST_F(Calendar, ObjectsAreKeptByDayNumber) {
    TObject a, b;
    Cal->SetCalendarDate(EncodeDate(2001, 3, 1));
    Cal->SetObjectByDay(15, &a);
    EXPECT_EQ(Cal->GetObjectCount(), 15);
    Cal->SetObjectByDay(10, &b);
    EXPECT_EQ(Cal->GetObjectCount(), 15);
    Cal->NextMonth(); // April: 30 days
    EXPECT_EQ(Cal->GetObjectByDay(15), &a);
    EXPECT_EQ(Cal->GetObjectByDay(16), nullptr);
    EXPECT_EQ(Cal->GetObjectByDay(20), nullptr); // past the stored slots
    int col, row;
    Cal->GetCellOfDay(col, row, 10);
    EXPECT_EQ(Cal->GetObjectByCell(col, row), &b);
    EXPECT_EQ(Cal->GetObjectByCell(0, 0), nullptr);
    struct Bad {
        int Day;
        const char* Message;
    };
    for (const Bad& bad : {Bad{0, "(0)"}, Bad{32, "(32)"}, Bad{31, "(31)"}}) {
        try {
            Cal->SetObjectByDay(bad.Day, &a);
            ADD_FAILURE() << bad.Day;
        } catch (const EListError& e) {
            EXPECT_NE(std::string(e.what()).find(bad.Message), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(Cal->SetObjectByCell(2, 6, &a), EListError); // a cell without a day
    EXPECT_THROW(Cal->GetObjectByDay(0), EListError);

    TCalendarKV fresh(nullptr);
    fresh.SetCalendarDate(EncodeDate(2001, 3, 1));
    EXPECT_EQ(fresh.GetObjectCount(), 0);
    fresh.SetObjectByDay(10, &a);
    EXPECT_EQ(fresh.GetObjectCount(), 10);
}

TEST_F(Calendar, TheHeaderFontFollowsTheFontUntilItIsChanged) {
    Cal->SetParentFont(false);
    Cal->GetFont()->SetName("DejaVu Serif");
    EXPECT_EQ(Cal->GetHeaderFont()->GetName(), "DejaVu Serif");
    EXPECT_FALSE(Cal->GetDiffHeaderFont());
    Cal->GetHeaderFont()->SetStyle(TFontStyles{fsBold});
    EXPECT_TRUE(Cal->GetDiffHeaderFont());
    Cal->GetFont()->SetName("DejaVu Sans");
    EXPECT_EQ(Cal->GetHeaderFont()->GetName(), "DejaVu Serif");
    Cal->SetDiffHeaderFont(false);
    EXPECT_EQ(Cal->GetHeaderFont()->GetName(), "DejaVu Sans");
    EXPECT_TRUE(Cal->GetHeaderFont()->GetStyle().Empty());
    EXPECT_FALSE(Cal->GetDiffHeaderFont());
}

TEST_F(Calendar, OnDrawCellFollowsTheCalendarsOwnDrawing) {
    std::vector<std::pair<int, int>> cells;
    Cal->OnDrawCell = [&](TObject* Sender, int ACol, int ARow, TRect R, TGridDrawState) {
        EXPECT_EQ(Sender, Cal);
        cells.push_back({ACol, ARow});
        EXPECT_EQ(Cal->GetCanvas()->GetBrush()->GetColor(), Cal->GetColor());
        Cal->GetCanvas()->GetBrush()->SetColor(clRed);
        Cal->GetCanvas()->FillRect(Rect(R.Left, R.Top, R.Left + 3, R.Top + 3));
    };
    Cal->Invalidate();
    QImage img = W()->grab().toImage();
    EXPECT_EQ(cells.size(), 49u);
    EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::red)); // over the header's own drawing
}

TEST_F(Calendar, FormTextKeepsTheDateOnlyWhenItWasSet) {
    Calendarkv::Register();
    delete Cal;
    auto* cal = new TCalendarKV(Form.get());
    cal->SetParent(Form.get());
    cal->SetName("Cal1");
    AnsiString text = WriteComponentToText(Form.get(), TForm::ClassInfo());
    EXPECT_EQ(text.find("CalendarDate"), AnsiString::npos);
    EXPECT_EQ(text.find("UseCurrentDate"), AnsiString::npos);
    EXPECT_EQ(text.find("ColWidths"), AnsiString::npos);
    EXPECT_EQ(text.find("Day ="), AnsiString::npos);

    cal->SetCalendarDate(EncodeDate(2001, 9, 11) + 0.75);
    text = WriteComponentToText(Form.get(), TForm::ClassInfo());
    int days = static_cast<int>(EncodeDate(2001, 9, 11));
    EXPECT_NE(text.find("UseCurrentDate = False"), AnsiString::npos) << text;
    EXPECT_NE(text.find("CalendarDate = " + IntToStr(days) + "\r\n"), AnsiString::npos) << text;

    TForm again(nullptr);
    ReadComponentFromText(text, &again, TForm::ClassInfo());
    auto* read = dynamic_cast<TCalendarKV*>(again.FindComponent("Cal1"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetCalendarDate(), EncodeDate(2001, 9, 11));
    EXPECT_FALSE(read->GetUseCurrentDate());

    cal->SetUseCurrentDate(true);
    cal->GetHeaderFont()->SetHeight(-14);
    text = WriteComponentToText(Form.get(), TForm::ClassInfo());
    EXPECT_EQ(text.find("CalendarDate"), AnsiString::npos);
    EXPECT_NE(text.find("DiffHeaderFont = True"), AnsiString::npos);
    EXPECT_NE(text.find("HeaderFont.Height = -14"), AnsiString::npos);
    TForm third(nullptr);
    ReadComponentFromText(text, &third, TForm::ClassInfo());
    read = dynamic_cast<TCalendarKV*>(third.FindComponent("Cal1"));
    EXPECT_EQ(read->GetCalendarDate(), Date()); // the day it is read
    EXPECT_EQ(read->GetHeaderFont()->GetHeight(), -14);
}

TEST(CalendarRegistration, PutsTheCalendarOnTheKVPage) {
    Calendarkv::Register();
    auto classes = GetPaletteClasses("KV");
    EXPECT_NE(std::find(classes.begin(), classes.end(), &TCalendarKV::ClassInfo()), classes.end());
}

} // namespace
