#include "CalendarKV.h"
#include "DateUtils.h"
#include "Forms.h"
#include <QApplication>
#include <QLocale>
int main(int argc, char** argv) {
    TApplication app(argc, argv);
    GetLocaleFormatSettings(QLocale(QLocale::German, QLocale::Germany));
    TForm* f = new TForm(&app);
    f->SetClientWidth(380);
    f->SetClientHeight(160);
    auto* c = new TCalendarKV(f);
    c->SetParent(f);
    c->SetBounds(8, 8, 165, 134);
    c->SetCalendarDate(EncodeDate(2024, 3, 13));
    auto* d = new TCalendarKV(f);
    d->SetParent(f);
    d->SetBounds(190, 8, 165, 134);
    d->SetHeaderHeight(16);
    d->SetDaySelection(false);
    d->SetDayPanelWidth(16);
    d->SetDayPanelHeight(14);
    f->Show();
    c->SetFocus();
    for (int i = 0; i < 20; ++i)
        app.ProcessMessages();
    f->GetWidget()->grab().save(argv[1]);
}
