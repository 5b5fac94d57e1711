// Pictures of the calendar and of the date edit with its open pop-up, for
// the documentation: run under a virtual display,
//   xvfb-run -a -s "-screen 0 1024x768x24" calendar_screenshot docs
// It writes calendar.png (a calendar with a chosen day beside one with day
// panels that marks today, each under a caption) and date-edit.png into the
// folder.
#include "CalendarKV.h"
#include "DateEditKV.h"
#include "DateUtils.h"
#include "Desktop.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "SelectDateKV.h"
#include "StdCtrls.h"

#include <QApplication>
#include <QScreen>
#include <QThread>

#include <cstdio>

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

// A caption above a calendar, saying what it shows.
void Caption(TForm* Form, int Left, const char* Text) {
    auto* label = new TLabel(Form);
    label->SetParent(Form);
    label->SetBounds(Left, 8, 165, 16);
    label->SetCaption(Text);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: calendar_screenshot FOLDER\n");
        return 2;
    }
    AnsiString folder = argv[1];
    TApplication app(argc, argv);
    // The controls speak German: so do the names of days and months.
    FormatSettings() = GetLocaleFormatSettings("de_DE");

    auto* calendars = new TForm(&app);
    calendars->SetCaption("TCalendarKV");
    calendars->SetClientWidth(364);
    calendars->SetClientHeight(172);
    // Left a day chosen; right day panels, no choosing, today marked in the current month.
    Caption(calendars, 8, "Tagesauswahl (13.03.2024)");
    Caption(calendars, 190, "Tagesfelder, heute markiert");
    auto* selecting = new TCalendarKV(calendars);
    selecting->SetParent(calendars);
    selecting->SetBounds(8, 30, 165, 134);
    selecting->SetCalendarDate(EncodeDate(2024, 3, 13));
    auto* panels = new TCalendarKV(calendars);
    panels->SetParent(calendars);
    panels->SetBounds(190, 30, 165, 134);
    panels->SetHeaderHeight(16);
    panels->SetDaySelection(false); // today marked instead
    panels->SetDayPanelWidth(18);
    panels->SetDayPanelHeight(14);
    calendars->Show();
    selecting->SetFocus();
    Settle();
    calendars->GetWidget()->grab().save(QString::fromStdString(folder + "/calendar.png"));
    calendars->Hide();

    QWidget desktop;
    ShowDesktop(desktop);
    auto* form = new TForm(&app);
    form->SetCaption("TDateEditKV");
    form->SetBounds(40, 40, 0, 0);
    form->SetClientWidth(240);
    form->SetClientHeight(80);
    auto* edit = new TDateEditKV(form);
    edit->SetParent(form);
    edit->SetBounds(16, 16, 96, 21);
    edit->SetEnableLookup(true);
    edit->SetDate(EncodeDate(2024, 3, 13));
    form->Show();
    edit->SetFocus();
    Settle();
    edit->GetLookupButton()->Click();
    Settle();
    QScreen* screen = QGuiApplication::primaryScreen();
    QPoint origin = form->GetWidget()->mapToGlobal(QPoint(0, 0));
    screen->grabWindow(0, origin.x() - 8, origin.y() - 8, 260, 300)
        .save(QString::fromStdString(folder + "/date-edit.png"));
    return 0;
}
