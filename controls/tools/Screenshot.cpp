// Pictures of the form controls for the documentation, drawn on a virtual X
// display so that they look as a user sees them.
//
//   controls_screenshot <file.png>           the edits and button edits (run under xvfb-run)
//   controls_screenshot lists <file.png>     the list and combo box variants
//   controls_screenshot dropdown <file.png>  an open drop-down edit on a form at the screen's
//                                            bottom edge, its list hanging below the form
//   controls_screenshot all <file.png>       one of each control on one form, each under its name
#include "BtnEditKV.h"
#include "CalendarKV.h"
#include "ComboBoxKV.h"
#include "DBEditKV.h"
#include "DateEditKV.h"
#include "DateUtils.h"
#include "Desktop.h"
#include "DriveComboBoxKV.h"
#include "DropDownEditKV.h"
#include "EditKV.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "ListBoxKV.h"
#include "MemDataSet.h"
#include "RichEdtKV.h"
#include "StdCtrls.h"
#include "StreamInRtf.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

void Save(const QImage& Image, const char* Output) {
    if (!Image.save(QString::fromLocal8Bit(Output), "PNG"))
        throw Exception(AnsiString("Cannot write ") + Output);
    std::printf("%s: %dx%d\n", Output, Image.width(), Image.height());
}

// Three dots, the usual face of a button that opens something.
void DrawEllipsis(TBitmap& Glyph) {
    QImage img(11, 5, QImage::Format_ARGB32);
    img.fill(Qt::magenta); // the bottom-left pixel's colour is transparent
    QPainter p(&img);
    for (int x : {1, 5, 9})
        p.fillRect(x - 1, 1, 2, 2, Qt::black);
    p.end();
    Glyph.SetImage(img);
}

int Edits(const char* Output) {
    TForm form(nullptr);
    form.SetCaption("Controls");
    form.SetBounds(0, 0, 360, 250);

    auto place = [&](TControl* c, int x, int y, int w, int h) {
        c->SetParent(&form);
        c->SetBounds(x, y, w, h);
    };
    auto* memo = new TEditKV(&form);
    place(memo, 10, 10, 160, 80);
    memo->SetScrollBars(ssVertical);
    memo->GetLines()->SetText(
        "Eine Zeile, die umbricht, weil sie lang ist.\r\nZweite Zeile\r\n\tmit Tabulator");

    auto* numbers = new TEditKV(&form);
    place(numbers, 180, 10, 121, 21);
    numbers->SetMultiLine(false);
    numbers->SetValidData({vdNumeric, vdDecSeparator});
    numbers->SetText("1234,50");

    auto* right = new TEditKV(&form);
    place(right, 180, 40, 121, 21);
    right->SetMultiLine(false);
    right->SetAlignment(taRightJustify);
    right->SetMarginRight(3);
    right->SetText("rechtsbündig");

    auto* password = new TEditKV(&form);
    place(password, 180, 70, 121, 21);
    password->SetPasswordChar('*');
    password->SetText("geheim");

    auto* button = new TBtnEditKV(&form);
    place(button, 10, 110, 160, 21);
    button->SetText("C:\\Daten\\Datei.txt");
    DrawEllipsis(*button->GetBtnGlyph());

    auto* plain = new TBtnEditKV(&form);
    place(plain, 180, 110, 121, 21);
    plain->SetText("Text");

    auto* wide = new TBtnEditKV(&form);
    place(wide, 10, 150, 200, 21);
    wide->SetBtnWidth(30);
    wide->SetText("breiter Knopf");
    DrawEllipsis(*wide->GetBtnGlyph());

    auto* reference = new TEdit(&form);
    place(reference, 10, 190, 121, 21);
    reference->SetText("TEdit zum Vergleich");

    form.Show();
    Settle();
    Save(form.GetHandle()->grab().toImage(), Output);
    return 0;
}

template <class T> T* Put(TForm& Form, int Left, int Top, int Width, int Height) {
    auto* c = new T(&Form);
    c->SetParent(&Form);
    c->SetBounds(Left, Top, Width, Height);
    return c;
}

const char* const Fruit[] = {"", "Apfel", "Birne", "Kirsche", "Pflaume", "Quitte", "Zwetschge"};

int Lists(const char* Output) {
    TForm form(nullptr);
    form.SetCaption("Listen und Kombinationsfelder");
    form.SetBounds(40, 40, 2 * 4 + 420, 2 * 4 + 19 + 250);
    auto fill = [](TStrings* Items) {
        for (const char* f : Fruit)
            Items->Add(f);
    };
    const TComboBoxStyle styles[] = {csDropDown, csDropDownList, csOwnerDrawFixed};
    for (int i = 0; i < 3; ++i) {
        auto* c = Put<TComboBoxKV>(form, 10, 10 + i * 30, 150, 21);
        c->SetStyle(styles[i]);
        fill(c->GetItems());
        c->SetItemIndex(i + 1);
    }
    auto* simple = Put<TComboBoxKV>(form, 10, 100, 150, 120);
    simple->SetStyle(csSimple);
    fill(simple->GetItems());
    simple->SetItemIndex(4);
    auto* list = Put<TListBoxKV>(form, 180, 10, 110, 2 * 2 + 8 * 13);
    fill(list->GetItems());
    list->GetItems()->Add("Kiwi\tgrün");
    list->SetItemIndex(3);
    auto* multi = Put<TListBoxKV>(form, 300, 10, 110, 2 * 2 + 8 * 13);
    multi->SetColumns(2);
    for (int i = 1; i <= 20; ++i)
        multi->GetItems()->Add("Nr. " + std::to_string(i));
    Put<TDriveComboBoxKV>(form, 180, 130, 230, 21);
    form.Show();
    list->SetFocus();
    Settle();
    Save(form.GetHandle()->grab().toImage(), Output);
    return 0;
}

int DropDown(const char* Output) {
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget desktop;
    ShowDesktop(desktop);
    TForm form(nullptr);
    form.SetCaption("Auswahl");
    form.SetBorderStyle(bsDialog);
    int clientHeight = 80;
    // Low on the screen, with room below for the list to hang out of the form.
    form.SetBounds(screen.width() / 2 - 130, screen.bottom() - clientHeight - 160, 260, clientHeight + 25);
    auto* label = Put<TLabel>(form, 10, 14, 60, 17);
    label->SetCaption("Obstsorte:");
    auto* plain = Put<TEditKV>(form, 90, 10, 150, 21);
    plain->SetMultiLine(false);
    plain->SetText("zum Vergleich");
    auto* box = Put<TDropDownEditKV>(form, 90, clientHeight - 31, 150, 21);
    const char* const sorts[] = {"Apfel",  "Birne",     "Kirsche",   "Mirabelle", "Pflaume",
                                 "Quitte", "Reneklode", "Zwetschge", "Holunder",  "Stachelbeere"};
    for (const char* f : sorts)
        box->GetItems()->Add(f);
    box->SetText("Kirsche");
    form.Show();
    QApplication::setActiveWindow(form.GetHandle());
    box->SetFocus();
    Settle();
    // Alt+Down opens the list, as the user would.
    QKeyEvent alt(QEvent::KeyPress, Qt::Key_Down, Qt::AltModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &alt);
    Settle();
    TDropDownEditListBoxKV* list = box->GetListBox();
    if (!list->GetVisible()) throw Exception("The list did not open");
    QRect formArea = form.GetWidget()->frameGeometry();
    QRect area = formArea.united(list->GetBoundsRect()).adjusted(-20, -20, 20, 20).intersected(screen);
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(area);
    std::printf("list at %d..%d, form bottom %d, screen bottom %d\n", list->GetTop(),
                list->GetTop() + list->GetHeight(), formArea.bottom(), screen.bottom());
    Save(shot, Output);
    return 0;
}

// One of each control with German sample content, each under a label with
// its class name; the data-aware edit shows a row of a small in-memory table.
int All(const char* Output) {
    FormatSettings() = GetLocaleFormatSettings("de_DE");
    // Before the form: its dataset uses them until the form goes.
    TEventLog log;
    TMemTable table{{{"ID", ftInteger, 0, true}, {"NAME", ftString, 30}}};
    table.AddRow({Int64(1), AnsiString("Müller & Söhne GmbH")});
    TForm form(nullptr);
    form.SetCaption("Die Steuerelemente");
    form.SetBounds(40, 40, 2 * 4 + 600, 2 * 4 + 19 + 476);
    // A labelled control: the label's caption is the class name.
    auto labelled = [&](auto* Control, const char* Name, int Left, int Top, int Width, int Height) {
        auto* label = Put<TLabel>(form, Left, Top, Width, 15);
        label->SetCaption(Name);
        Control->SetParent(&form);
        Control->SetBounds(Left, Top + 16, Width, Height);
        return Control;
    };
    const int col1 = 10, col2 = 210, col3 = 400, w1 = 180, w2 = 170, w3 = 190;

    auto* edit = labelled(new TEditKV(&form), "TEditKV", col1, 8, w1, 21);
    edit->SetMultiLine(false);
    edit->SetValidData({vdNumeric, vdDecSeparator});
    edit->SetText("1234,50");

    auto* button = labelled(new TBtnEditKV(&form), "TBtnEditKV", col1, 54, w1, 21);
    button->SetText("C:\\Daten\\Datei.txt");
    DrawEllipsis(*button->GetBtnGlyph());

    auto* dropDown = labelled(new TDropDownEditKV(&form), "TDropDownEditKV", col1, 100, w1, 21);
    for (const char* f : Fruit)
        if (*f) dropDown->GetItems()->Add(f);
    dropDown->SetText("Kirsche");

    auto* date = labelled(new TDateEditKV(&form), "TDateEditKV", col1, 146, w1, 21);
    date->SetEnableLookup(true);
    date->SetDate(EncodeDate(2024, 3, 13));

    auto* combo = labelled(new TComboBoxKV(&form), "TComboBoxKV", col1, 192, w1, 21);
    for (const char* f : Fruit)
        combo->GetItems()->Add(f);
    combo->SetItemIndex(2);

    labelled(new TDriveComboBoxKV(&form), "TDriveComboBoxKV", col1, 238, w1, 21);

    auto* dataSet = new TMemDataSet(&form, table, log);
    dataSet->Logging = false;
    auto* source = new TDataSource(&form);
    source->SetDataSet(dataSet);
    dataSet->Open();
    auto* dbEdit = labelled(new TDBEditKV(&form), "TDBEditKV (Feld NAME)", col3, 192, w3, 21);
    dbEdit->SetMultiLine(false);
    dbEdit->SetDataSource(source);
    dbEdit->SetDataField("NAME");

    auto* list = labelled(new TListBoxKV(&form), "TListBoxKV", col2, 8, w2, 2 * 2 + 7 * 13);
    for (const char* f : Fruit)
        if (*f) list->GetItems()->Add(f);
    list->GetItems()->Add("Kiwi\tgrün");
    list->SetItemIndex(2);

    auto* calendar = labelled(new TCalendarKV(&form), "TCalendarKV", col2, 146, w2, 134);
    calendar->SetCalendarDate(EncodeDate(2024, 3, 13));

    auto* memo = labelled(new TEditKV(&form), "TEditKV (mehrzeilig)", col3, 8, w3, 99);
    memo->SetScrollBars(ssVertical);
    memo->GetLines()->SetText("Eine Zeile, die umbricht, weil sie lang ist.\r\nZweite Zeile\r\n\tmit Tabulator");

    auto* password = labelled(new TEditKV(&form), "TEditKV (Kennwort)", col3, 146, w3, 21);
    password->SetMultiLine(false);
    password->SetPasswordChar('*');
    password->SetText("geheim");

    auto* rich = labelled(new TRichEdtKV(&form), "TRichEdtKV", col1, 306, 580, 144);
    form.Show();
    StreamInRtf(*rich,
                R"({\rtf1\ansi{\fonttbl{\f0 Liberation Sans;}}{\colortbl;\red192\green0\blue0;})"
                R"(\pard\f0\fs20 Ein Absatz mit {\b fetter}, {\i kursiver} und {\ul unterstrichener} Schrift )"
                R"(und {\cf1 in Rot}.\par)"
                R"(\pard\qc\fs20 zentriert\par)"
                R"(\pard{\*\pn\pnlvlblt}\fs20 erster Punkt\par)"
                R"(\pard{\*\pn\pnlvlblt}\fs20 zweiter Punkt})");
    QApplication::setActiveWindow(form.GetHandle());
    list->SetFocus();
    Settle();
    Save(form.GetHandle()->grab().toImage(), Output);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool lists = argc == 3 && std::strcmp(argv[1], "lists") == 0;
    bool dropDown = argc == 3 && std::strcmp(argv[1], "dropdown") == 0;
    bool all = argc == 3 && std::strcmp(argv[1], "all") == 0;
    if (argc != 2 && !lists && !dropDown && !all) {
        std::fprintf(stderr, "usage: controls_screenshot [lists|dropdown|all] <file.png>\n");
        return 2;
    }
    try {
        TApplication application(argc, argv);
        Application->OnException = [](TObject*, const std::exception& E) {
            std::fprintf(stderr, "controls_screenshot: %s\n", E.what());
            std::exit(1);
        };
        return lists ? Lists(argv[2]) : dropDown ? DropDown(argv[2]) : all ? All(argv[2]) : Edits(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "controls_screenshot: %s\n", e.what());
        return 1;
    }
}
