#include "RichEdtKVGlyphs.h"

#include <QPainter>
#include <QPolygon>

#include <functional>

namespace RichEdtKVGlyphs {

namespace {

// The sixteen colours the bitmaps are made of.
const QRgb Palette16[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                            0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                            0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
const QColor Key(0xFF, 0x00, 0xFF); // transparent where it stands
const QColor Black(0, 0, 0);
const QColor Navy(0, 0, 0x80);
const QColor Olive(0x80, 0x80, 0);
const QColor Gray(0x80, 0x80, 0x80);
const QColor Silver(0xC0, 0xC0, 0xC0);
const QColor White(0xFF, 0xFF, 0xFF);
const QColor Red(0xFF, 0, 0);
const QColor Blue(0, 0, 0xFF);

using TDraw = std::function<void(QPainter&)>;

// One image of W x H: the key colour, then the drawing, pixel-exact.
QImage Cell(int W, int H, const TDraw& Draw) {
    QImage img(W, H, QImage::Format_ARGB32);
    img.fill(Key);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    Draw(p);
    return img;
}

// The disabled look: the shape in gray over its white shadow.
QImage Disabled(const QImage& Normal) {
    QImage img(Normal.size(), QImage::Format_ARGB32);
    img.fill(Key);
    auto shape = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < Normal.width() && y < Normal.height() &&
               Normal.pixelColor(x, y) != Key && Normal.pixelColor(x, y) != White;
    };
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (shape(x, y))
                img.setPixelColor(x, y, Gray);
            else if (shape(x - 1, y - 1))
                img.setPixelColor(x, y, White);
        }
    return img;
}

// A bitmap of 16 colours.
QImage Sixteen(const QImage& Image) {
    QList<QRgb> table(std::begin(Palette16), std::end(Palette16));
    return Image.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither | Qt::AvoidDither);
}

QImage Single(int W, int H, const TDraw& Draw) {
    return Sixteen(Cell(W, H, Draw));
}

// Normal and disabled image side by side.
QImage Double(int W, int H, const TDraw& Draw) {
    QImage normal = Cell(W, H, Draw);
    QImage both(2 * W, H, QImage::Format_ARGB32);
    QPainter p(&both);
    p.drawImage(0, 0, normal);
    p.drawImage(W, 0, Disabled(normal));
    p.end();
    return Sixteen(both);
}

void Line(QPainter& P, const QColor& C, int X1, int Y1, int X2, int Y2) {
    P.setPen(C);
    P.drawLine(X1, Y1, X2, Y2);
}

void Box(QPainter& P, const QColor& Border, const QColor& Fill, int X, int Y, int W, int H) {
    P.fillRect(X, Y, W, H, Fill);
    P.setPen(Border);
    P.drawRect(X, Y, W - 1, H - 1);
}

// Filled shapes of whole pixels, as the letters are drawn.
void Shape(QPainter& P, const QColor& C, const QPolygon& Points) {
    P.setPen(C);
    P.setBrush(C);
    P.drawPolygon(Points);
}

// Text lines from Left to Right at the given rows.
void TextLines(QPainter& P, std::initializer_list<std::pair<int, int>> Spans,
               std::initializer_list<int> Rows) {
    auto span = Spans.begin();
    for (int row : Rows) {
        P.fillRect(span->first, row, span->second - span->first + 1, 1, Black);
        if (span + 1 != Spans.end()) ++span;
    }
}

// A solid arrow of three rows' height pointing right or left, its tip at X.
void Arrow(QPainter& P, int X, int Y, bool Right) {
    P.setPen(Blue);
    P.setBrush(Blue);
    int d = Right ? -1 : 1;
    for (int i = 0; i < 4; ++i)
        P.drawLine(X + d * i, Y - i, X + d * i, Y + i);
    P.fillRect(Right ? X - 6 : X + 4, Y - 1, 3, 3, Blue);
}

void Paragraph(QPainter& P, int FirstLeft, int FollowLeft) {
    const int right = 15;
    P.fillRect(FirstLeft, 2, right - FirstLeft + 1, 1, Black);
    for (int row : {5, 8, 11, 14})
        P.fillRect(FollowLeft, row, right - FollowLeft + 1, 1, Black);
}

} // namespace

QImage Cut() {
    return Double(22, 20, [](QPainter& p) {
        // blades, crossing at the pivot
        Line(p, Black, 7, 1, 11, 10);
        Line(p, Gray, 8, 1, 12, 9);
        Line(p, Black, 14, 1, 10, 10);
        Line(p, Gray, 13, 1, 9, 9);
        p.fillRect(10, 8, 2, 2, Black);
        // handles
        p.setBrush(Qt::NoBrush);
        p.setPen(Navy);
        p.drawEllipse(QRect(4, 12, 6, 6));
        p.drawEllipse(QRect(5, 13, 4, 4));
        p.drawEllipse(QRect(12, 12, 6, 6));
        p.drawEllipse(QRect(13, 13, 4, 4));
        Line(p, Navy, 9, 11, 8, 12);
        Line(p, Navy, 12, 11, 13, 12);
    });
}

QImage Copy() {
    return Single(21, 20, [](QPainter& p) {
        Box(p, Black, White, 2, 1, 10, 13);
        TextLines(p, {{4, 9}}, {4, 6, 8, 10});
        Box(p, Black, White, 8, 6, 11, 13);
        TextLines(p, {{10, 16}, {10, 16}, {10, 14}, {10, 16}}, {9, 11, 13, 15});
    });
}

QImage Paste() {
    return Double(21, 20, [](QPainter& p) {
        Box(p, Black, Olive, 2, 3, 13, 16);
        Box(p, Black, Silver, 5, 1, 7, 4);
        Box(p, Black, White, 8, 7, 11, 12);
        TextLines(p, {{10, 16}, {10, 16}, {10, 14}}, {10, 12, 14});
    });
}

// The letters of the German names: F(ett), K(ursiv), U(nterstrichen).
QImage Bold() {
    return Single(20, 21, [](QPainter& p) {
        p.fillRect(6, 3, 3, 14, Black); // stem
        p.fillRect(6, 3, 9, 3, Black);  // top bar
        p.fillRect(6, 9, 7, 2, Black);  // middle bar
    });
}

QImage Italic() {
    return Single(20, 21, [](QPainter& p) {
        Shape(p, Black, QPolygon({QPoint(8, 3), QPoint(10, 3), QPoint(7, 16), QPoint(5, 16)}));   // stem
        Shape(p, Black, QPolygon({QPoint(14, 3), QPoint(17, 3), QPoint(9, 10), QPoint(8, 9)}));   // upper arm
        Shape(p, Black, QPolygon({QPoint(9, 9), QPoint(11, 9), QPoint(13, 16), QPoint(10, 16)})); // lower arm
    });
}

QImage Underline() {
    return Single(20, 21, [](QPainter& p) {
        p.fillRect(5, 2, 3, 11, Black);
        p.fillRect(12, 2, 3, 11, Black);
        p.fillRect(6, 13, 8, 2, Black);
        p.fillRect(4, 17, 12, 2, Black);
    });
}

QImage FontColor() {
    return Single(20, 21, [](QPainter& p) {
        Shape(p, Black, QPolygon({QPoint(9, 2), QPoint(10, 2), QPoint(6, 13), QPoint(4, 13)}));
        Shape(p, Black, QPolygon({QPoint(9, 2), QPoint(10, 2), QPoint(15, 13), QPoint(13, 13)}));
        p.fillRect(7, 9, 6, 2, Black);
        p.fillRect(3, 15, 14, 4, Red);
    });
}

namespace {

QImage Alignment(int Which) { // 0 left, 1 centre, 2 right
    return Single(20, 21, [Which](QPainter& p) {
        int row = 4;
        for (int i = 0; i < 5; ++i, row += 3) {
            int width = i % 2 == 0 ? 14 : 8;
            int left = Which == 0 ? 3 : Which == 1 ? 10 - width / 2 : 17 - width;
            p.fillRect(left, row, width, 1, Black);
        }
    });
}

} // namespace

QImage AlignLeft() {
    return Alignment(0);
}
QImage AlignCenter() {
    return Alignment(1);
}
QImage AlignRight() {
    return Alignment(2);
}

// "komplett": the whole paragraph stands indented; "Folgezeilen": the first
// line stays at the left, the following lines are indented.
QImage Indent() {
    return Double(17, 17, [](QPainter& p) {
        Paragraph(p, 8, 8);
        Arrow(p, 6, 8, true);
    });
}

QImage Outdent() {
    return Double(17, 17, [](QPainter& p) {
        Paragraph(p, 8, 8);
        Arrow(p, 0, 8, false);
    });
}

QImage IndentF() {
    return Double(17, 17, [](QPainter& p) {
        Paragraph(p, 1, 8);
        Arrow(p, 6, 9, true);
    });
}

QImage OutdentF() {
    return Double(17, 17, [](QPainter& p) {
        Paragraph(p, 1, 8);
        Arrow(p, 0, 9, false);
    });
}

} // namespace RichEdtKVGlyphs
