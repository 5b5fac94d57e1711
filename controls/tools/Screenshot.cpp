// Pictures of the form controls for the documentation, drawn on a virtual X
// display so that they look as a user sees them.
//
//   controls_screenshot <file.png>           the edits and button edits (run under xvfb-run)
//   controls_screenshot lists <file.png>     the list and combo box variants
//   controls_screenshot dropdown <file.png>  an open drop-down edit on a form at the screen's
//                                            bottom edge, its list hanging below the form
#include "BtnEditKV.h"
#include "ComboBoxKV.h"
#include "DriveComboBoxKV.h"
#include "DropDownEditKV.h"
#include "EditKV.h"
#include "Forms.h"
#include "ListBoxKV.h"
#include "StdCtrls.h"

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

} // namespace

int main(int argc, char** argv) {
    bool lists = argc == 3 && std::strcmp(argv[1], "lists") == 0;
    bool dropDown = argc == 3 && std::strcmp(argv[1], "dropdown") == 0;
    if (argc != 2 && !lists && !dropDown) {
        std::fprintf(stderr, "usage: controls_screenshot [lists|dropdown] <file.png>\n");
        return 2;
    }
    try {
        TApplication application(argc, argv);
        Application->OnException = [](TObject*, const std::exception& E) {
            std::fprintf(stderr, "controls_screenshot: %s\n", E.what());
            std::exit(1);
        };
        return lists ? Lists(argv[2]) : dropDown ? DropDown(argv[2]) : Edits(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "controls_screenshot: %s\n", e.what());
        return 1;
    }
}
