// Draws the library's controls on one window into a PNG, for looking at
// them as a user sees them.
//
//   controls_screenshot <file.png>      (run under xvfb-run)
#include "BtnEditKV.h"
#include "EditKV.h"
#include "Forms.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace {

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: controls_screenshot <file.png>\n");
        return 2;
    }
    TApplication app(argc, argv);
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
    QApplication::processEvents();
    QImage shot = form.GetHandle()->grab().toImage();
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
