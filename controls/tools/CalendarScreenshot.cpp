// Pictures of the calendar and of the date edit with its open pop-up, for
// the documentation: run under a virtual display,
//   xvfb-run -a -s "-screen 0 1024x768x24" calendar_screenshot docs
// It writes calendar.png and date-edit.png into the folder.
#include "CalendarKV.h"
#include "DateEditKV.h"
#include "DateUtils.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "SelectDateKV.h"

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
    calendars->SetClientHeight(150);
    auto* selecting = new TCalendarKV(calendars);
    selecting->SetParent(calendars);
    selecting->SetBounds(8, 8, 165, 134);
    selecting->SetCalendarDate(EncodeDate(2024, 3, 13));
    auto* panels = new TCalendarKV(calendars);
    panels->SetParent(calendars);
    panels->SetBounds(190, 8, 165, 134);
    panels->SetHeaderHeight(16);
    panels->SetDaySelection(false); // today marked instead
    panels->SetDayPanelWidth(18);
    panels->SetDayPanelHeight(14);
    calendars->Show();
    selecting->SetFocus();
    Settle();
    calendars->GetWidget()->grab().save(QString::fromStdString(folder + "/calendar.png"));
    calendars->Hide();

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
