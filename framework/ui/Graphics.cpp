#include "Graphics.h"

#include "FormReader.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QBuffer>
#include <QFontDatabase>
#include <QPalette>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <fstream>
#include <iterator>
#include <map>

const TIdentMap& ColorIdents() {
    static const TIdentMap map = {
        {clBlack, "clBlack"},
        {clMaroon, "clMaroon"},
        {clGreen, "clGreen"},
        {clOlive, "clOlive"},
        {clNavy, "clNavy"},
        {clPurple, "clPurple"},
        {clTeal, "clTeal"},
        {clGray, "clGray"},
        {clSilver, "clSilver"},
        {clRed, "clRed"},
        {clLime, "clLime"},
        {clYellow, "clYellow"},
        {clBlue, "clBlue"},
        {clFuchsia, "clFuchsia"},
        {clAqua, "clAqua"},
        {clWhite, "clWhite"},
        {clWindow, "clWindow"},
        {clWindowText, "clWindowText"},
        {clHighlight, "clHighlight"},
        {clHighlightText, "clHighlightText"},
        {clBtnFace, "clBtnFace"},
        {clBtnShadow, "clBtnShadow"},
        {clGrayText, "clGrayText"},
        {clBtnText, "clBtnText"},
        {clBtnHighlight, "clBtnHighlight"},
        {clInfoBk, "clInfoBk"},
        {clNone, "clNone"},
        {clDefault, "clDefault"},
    };
    return map;
}

QColor ColorToQColor(TColor Color) {
    if (Color & clSystemColor) {
        QPalette pal = QApplication::palette();
        switch (Color) {
        case clWindow:
            return pal.color(QPalette::Base);
        case clWindowText:
            return pal.color(QPalette::Text);
        case clHighlight:
            return pal.color(QPalette::Highlight);
        case clHighlightText:
            return pal.color(QPalette::HighlightedText);
        case clBtnFace:
            return pal.color(QPalette::Button);
        case clBtnShadow:
            return pal.color(QPalette::Dark);
        case clGrayText:
            return pal.color(QPalette::Disabled, QPalette::Text);
        case clBtnText:
            return pal.color(QPalette::ButtonText);
        case clBtnHighlight:
            return pal.color(QPalette::Light);
        case clInfoBk:
            return pal.color(QPalette::ToolTipBase);
        default:
            return pal.color(QPalette::Window);
        }
    }
    if (Color == clNone || Color == clDefault) return QColor();
    return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& Color) {
    return static_cast<TColor>(Color.red() | (Color.green() << 8) | (Color.blue() << 16));
}

// ---- TFont ----------------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TFont, nullptr)

void TFont::Publish(TPublisher<TFont>& P) {
    P.Prop("Charset", &TFont::GetCharset, &TFont::SetCharset).Default(1);
    P.Prop("Color", &TFont::GetColor, &TFont::SetColor).Default(clWindowText).Idents(&ColorIdents());
    P.Prop("Height", &TFont::GetHeight, &TFont::SetHeight).NoDefault();
    P.Prop("Name", &TFont::GetName, &TFont::SetName);
    P.Prop("Style", &TFont::GetStyle, &TFont::SetStyle).Default(TFontStyles{});
}

TFont::TFont() = default;

void TFont::Assign(const TPersistent* Source) {
    if (auto* f = dynamic_cast<const TFont*>(Source)) {
        if (Equals(*f) && FCharset == f->FCharset) return;
        FName = f->FName;
        FHeight = f->FHeight;
        FStyle = f->FStyle;
        FColor = f->FColor;
        FCharset = f->FCharset;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

bool TFont::Equals(const TFont& Other) const {
    return FName == Other.FName && FHeight == Other.FHeight && FStyle == Other.FStyle &&
           FColor == Other.FColor;
}

void TFont::SetName(const AnsiString& Value) {
    if (Value == FName || Value.empty()) return;
    FName = Value;
    Changed();
}

void TFont::SetHeight(int Value) {
    if (Value == FHeight) return;
    FHeight = Value;
    Changed();
}

int TFont::GetSize() const {
    return (-FHeight * 72 + (FHeight < 0 ? -48 : 48)) / 96;
}

void TFont::SetSize(int Value) {
    SetHeight(-(Value * 96 + 36) / 72);
}

void TFont::SetStyle(TFontStyles Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TFont::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TFont::Changed() {
    if (OnChange) OnChange(this);
}

namespace {

// The forms' font families of the platform they were designed on, with the
// installed families that stand in for them, best first. The forms' boxes
// were measured in the narrow 8-point sans serif of that platform; the
// families that fontconfig would choose for it by itself set the same text
// wider, so captions lose letters at both ends. The stand-ins are metric
// compatible with that platform's common sans serif, whose widths come
// closest; fontconfig's own aliases already cover the families it knows
// (Arial, Times New Roman, Courier New, Calibri and the like).
struct TFontSubstitute {
    const char* Family;
    std::initializer_list<const char*> StandIns;
};

const TFontSubstitute FontSubstitutes[] = {
    {"MS Sans Serif", {"Liberation Sans", "Arimo", "Carlito"}},
    {"Microsoft Sans Serif", {"Liberation Sans", "Arimo", "Carlito"}},
    {"MS Shell Dlg", {"Liberation Sans", "Arimo", "Carlito"}},
    {"MS Shell Dlg 2", {"Liberation Sans", "Arimo", "Carlito"}},
};

} // namespace

AnsiString ScreenFontFamily(const AnsiString& Name) {
    for (const TFontSubstitute& s : FontSubstitutes) {
        if (!SameText(Name, s.Family)) continue;
        for (const char* standIn : s.StandIns)
            if (QFontDatabase::hasFamily(standIn)) return standIn;
        break;
    }
    return Name;
}

int TextLineHeight(const TFont& Font) {
    int height = QFontMetrics(Font.ToQFont()).height();
    for (const TFontSubstitute& s : FontSubstitutes) {
        if (!SameText(Font.GetName(), s.Family)) continue;
        // The designed lines: a cell a fifth taller than the character
        // height (13 pixels for the 8-point font), a positive height is the
        // cell itself. The stand-in's own lines are a pixel shorter.
        int designed = Font.GetHeight() < 0 ? (-Font.GetHeight() * 6 + 2) / 5 : Font.GetHeight();
        return std::max(height, designed);
    }
    return height;
}

QFont TFont::ToQFont() const {
    QFont f(QString::fromStdString(ScreenFontFamily(FName)));
    // Other fonts of another platform fall back to the family fontconfig prefers.
    f.setStyleHint(QFont::SansSerif);
    int pixels = FHeight < 0 ? -FHeight : FHeight;
    if (pixels > 0) f.setPixelSize(pixels);
    f.setBold(FStyle.Contains(fsBold));
    f.setItalic(FStyle.Contains(fsItalic));
    f.setUnderline(FStyle.Contains(fsUnderline));
    f.setStrikeOut(FStyle.Contains(fsStrikeOut));
    return f;
}

// ---- TBitmap --------------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TBitmap, nullptr)

void TBitmap::Publish(TPublisher<TBitmap>& P) {
    P.Defined(
         "Data",
         [](TBitmap& b, const TFormValue& v) {
             if (v.Kind != TFormValue::vaBinary) throw EInvalidGraphic("Binary data expected");
             b.LoadFromData(v.Str);
         },
         [](const TBitmap& b) {
             TFormValue v;
             v.Kind = TFormValue::vaBinary;
             v.Str = b.SaveToData();
             return v;
         })
        .StoredIf([](const TBitmap& b) { return !b.Empty(); });
}

void TBitmap::Assign(const TPersistent* Source) {
    if (auto* b = dynamic_cast<const TBitmap*>(Source)) {
        FImage = b->FImage;
        FTransparent = b->FTransparent;
        Changed();
        return;
    }
    if (!Source) {
        FImage = QImage();
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TBitmap::SetSize(int Width, int Height) {
    QImage img(Width, Height, QImage::Format_ARGB32);
    img.fill(Qt::white);
    FImage = img;
    Changed();
}

void TBitmap::LoadFromData(const AnsiString& Bytes) {
    QByteArray data(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
    if (data.size() > 6) {
        auto b = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])); };
        std::uint32_t len = b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
        if (len == static_cast<std::uint32_t>(data.size() - 4) && data[4] == 'B' && data[5] == 'M')
            data.remove(0, 4);
    }
    QImage img;
    if (!img.loadFromData(data)) throw EInvalidGraphic("Bitmap image is not valid");
    FImage = img.convertToFormat(QImage::Format_ARGB32);
    Changed();
}

AnsiString TBitmap::SaveToData() const {
    if (FImage.isNull()) return AnsiString();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    FImage.save(&buffer, "BMP");
    std::uint32_t len = static_cast<std::uint32_t>(data.size());
    AnsiString out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((len >> (8 * i)) & 0xFF);
    out.append(data.constData(), static_cast<size_t>(data.size()));
    return out;
}

void TBitmap::LoadFromStream(TStream& Stream) {
    AnsiString bytes;
    char buf[4096];
    for (;;) {
        int n = Stream.Read(buf, sizeof buf);
        if (n <= 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    LoadFromData(bytes);
}

void TBitmap::LoadFromFile(const AnsiString& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw EInvalidGraphic("Cannot open file " + FileName);
    AnsiString bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LoadFromData(bytes);
}

namespace {
std::map<AnsiString, QImage (*)()>& BitmapResources() {
    static std::map<AnsiString, QImage (*)()> resources;
    return resources;
}
} // namespace

void RegisterBitmapResource(const AnsiString& Name, QImage (*Make)()) {
    BitmapResources()[UpperCase(Name)] = Make;
}

void TBitmap::LoadFromResourceName(const AnsiString& Name) {
    auto it = BitmapResources().find(UpperCase(Name));
    if (it == BitmapResources().end()) throw EResNotFound("Resource " + Name + " not found");
    SetImage(it->second());
}

void TBitmap::SetImage(const QImage& Image) {
    FImage = Image.convertToFormat(QImage::Format_ARGB32);
    Changed();
}

void TBitmap::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Changed();
}

QImage TBitmap::GetMaskedImage() const {
    if (FImage.isNull() || !FTransparent) return FImage;
    QImage img = FImage.convertToFormat(QImage::Format_ARGB32);
    QRgb key = img.pixel(0, img.height() - 1);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
    }
    return img;
}

void TBitmap::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TBrush, TPen ---------------------------------------------------------

void TBrush::Assign(const TPersistent* Source) {
    if (auto* b = dynamic_cast<const TBrush*>(Source)) {
        FColor = b->FColor;
        FStyle = b->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}
void TBrush::SetColor(TColor Value) {
    if (Value == FColor && FStyle == bsSolid) return;
    FColor = Value;
    FStyle = bsSolid; // a colour makes a clear brush solid again, as on the platform
    Changed();
}
void TBrush::SetStyle(TBrushStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}
void TBrush::Changed() {
    if (OnChange) OnChange(this);
}

void TPen::Assign(const TPersistent* Source) {
    if (auto* p = dynamic_cast<const TPen*>(Source)) {
        FColor = p->FColor;
        FWidth = p->FWidth;
        FStyle = p->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}
void TPen::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}
void TPen::SetWidth(int Value) {
    if (Value < 1) Value = 1;
    if (Value == FWidth) return;
    FWidth = Value;
    Changed();
}
void TPen::SetStyle(TPenStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}
void TPen::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TCanvas --------------------------------------------------------------

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {}

TCanvas::~TCanvas() = default;

QSize TCanvas::TextExtent(const AnsiString& Text) const {
    QFontMetrics fm(FFont->ToQFont());
    return QSize(fm.horizontalAdvance(QString::fromStdString(Text)), fm.height());
}

template <class F> void TCanvas::Drawing(F&& Draw) {
    bool own = !FPainting;
    QPainter* p = own ? BeginDraw() : FPainting;
    if (!p) throw EInvalidOperation("Canvas does not allow drawing");
    p->save();
    try {
        Draw(*p);
    } catch (...) {
        p->restore();
        if (own) EndDraw();
        throw;
    }
    p->restore();
    if (own) EndDraw();
}

QPainter& TCanvas::BeginPainting() {
    if (FPainting) throw EInvalidOperation("Canvas is being painted on already");
    QPainter* p = BeginDraw();
    if (!p) throw EInvalidOperation("Canvas does not allow drawing");
    FPainting = p;
    p->save();
    p->setFont(FFont->ToQFont());
    if (FPen->GetStyle() == psClear)
        p->setPen(Qt::NoPen);
    else
        p->setPen(QPen(ColorToQColor(FPen->GetColor()), FPen->GetWidth()));
    if (FBrush->GetStyle() == bsClear)
        p->setBrush(Qt::NoBrush);
    else
        p->setBrush(ColorToQColor(FBrush->GetColor()));
    return *p;
}

void TCanvas::EndPainting() {
    if (!FPainting) return;
    FPainting->restore();
    FPainting = nullptr;
    EndDraw();
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
    Drawing([&](QPainter& p) {
        QFont font = FFont->ToQFont();
        QFontMetrics fm(font);
        QString text = QString::fromStdString(Text);
        int w = fm.horizontalAdvance(text);
        if (FBrush->GetStyle() == bsSolid)
            p.fillRect(QRect(X, Y, w, fm.height()), ColorToQColor(FBrush->GetColor()));
        p.setFont(font);
        p.setPen(ColorToQColor(FFont->GetColor()));
        p.drawText(X, Y + fm.ascent(), text);
        FPenPos = QPoint(X + w, Y);
    });
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const AnsiString& Text) {
    Drawing([&](QPainter& p) {
        p.setClipRect(Rect.ToQRect(), Qt::IntersectClip);
        if (FBrush->GetStyle() == bsSolid) p.fillRect(Rect.ToQRect(), ColorToQColor(FBrush->GetColor()));
        QFont font = FFont->ToQFont();
        p.setFont(font);
        p.setPen(ColorToQColor(FFont->GetColor()));
        p.drawText(X, Y + QFontMetrics(font).ascent(), QString::fromStdString(Text));
    });
}

void TCanvas::FillRect(const TRect& Rect) {
    if (FBrush->GetStyle() == bsClear) return;
    Drawing([&](QPainter& p) { p.fillRect(Rect.ToQRect(), ColorToQColor(FBrush->GetColor())); });
}

void TCanvas::FrameRect(const TRect& Rect) {
    if (Rect.IsEmpty()) return;
    Drawing([&](QPainter& p) {
        QColor c = ColorToQColor(FBrush->GetColor());
        p.fillRect(QRect(Rect.Left, Rect.Top, Rect.Width(), 1), c);
        p.fillRect(QRect(Rect.Left, Rect.Bottom - 1, Rect.Width(), 1), c);
        p.fillRect(QRect(Rect.Left, Rect.Top, 1, Rect.Height()), c);
        p.fillRect(QRect(Rect.Right - 1, Rect.Top, 1, Rect.Height()), c);
    });
}

void TCanvas::Rectangle(const TRect& Rect) {
    if (Rect.IsEmpty()) return;
    Drawing([&](QPainter& p) {
        if (FBrush->GetStyle() == bsSolid) p.fillRect(Rect.ToQRect(), ColorToQColor(FBrush->GetColor()));
        if (FPen->GetStyle() == psClear) return;
        QPen pen(ColorToQColor(FPen->GetColor()), 1);
        pen.setStyle(FPen->GetStyle() == psDash  ? Qt::DashLine
                     : FPen->GetStyle() == psDot ? Qt::DotLine
                                                 : Qt::SolidLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(Rect.Left, Rect.Top, Rect.Width() - 1, Rect.Height() - 1));
    });
}

void TCanvas::DrawFocusRect(const TRect& Rect) {
    if (Rect.IsEmpty()) return;
    Drawing([&](QPainter& p) {
        // Every other pixel of the frame, inverted: drawn twice, it is gone.
        std::set<std::pair<int, int>> dots;
        auto dot = [&](int x, int y) {
            if (((x - Rect.Left) + (y - Rect.Top)) % 2 == 0) dots.insert({x, y});
        };
        for (int x = Rect.Left; x < Rect.Right; ++x) {
            dot(x, Rect.Top);
            dot(x, Rect.Bottom - 1);
        }
        for (int y = Rect.Top; y < Rect.Bottom; ++y) {
            dot(Rect.Left, y);
            dot(Rect.Right - 1, y);
        }
        QPolygon points;
        for (const auto& [x, y] : dots)
            points << QPoint(x, y);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 0));
        p.drawPoints(points);
    });
}

void TCanvas::LineTo(int X, int Y) {
    Drawing([&](QPainter& p) {
        if (FPen->GetStyle() != psClear) {
            QColor c = ColorToQColor(FPen->GetColor());
            int w = FPen->GetWidth();
            QPoint from = FPenPos;
            if (from.y() == Y) // straight lines exactly, without the end point
                p.fillRect(
                    QRect(std::min(from.x(), X + (X > from.x() ? 0 : 1)), Y, std::abs(X - from.x()), w), c);
            else if (from.x() == X)
                p.fillRect(
                    QRect(X, std::min(from.y(), Y + (Y > from.y() ? 0 : 1)), w, std::abs(Y - from.y())), c);
            else {
                p.setPen(QPen(c, w));
                p.drawLine(from, QPoint(X, Y));
            }
        }
        FPenPos = QPoint(X, Y);
    });
}

void TCanvas::Draw(int X, int Y, const TBitmap* Bitmap) {
    if (!Bitmap || Bitmap->Empty()) return;
    Drawing([&](QPainter& p) { p.drawImage(X, Y, Bitmap->GetMaskedImage()); });
}

void DrawEdge(TCanvas* Canvas, TRect& Rect, unsigned Edge, unsigned Flags) {
    QPainter& p = Canvas->BeginPainting();
    DrawEdge(p, Rect, Edge, Flags);
    Canvas->EndPainting();
}

void DrawEdge(QPainter& Painter, TRect& Rect, unsigned Edge, unsigned Flags) {
    QPalette pal = QApplication::palette();
    // Each line: the colour of its top-left and of its bottom-right sides.
    struct Line {
        unsigned Raised, Sunken;
        QPalette::ColorRole RaisedTL, RaisedBR, SunkenTL, SunkenBR;
    };
    const Line lines[] = {
        {BDR_RAISEDOUTER, BDR_SUNKENOUTER, QPalette::Midlight, QPalette::Shadow, QPalette::Dark,
         QPalette::Light},
        {BDR_RAISEDINNER, BDR_SUNKENINNER, QPalette::Light, QPalette::Dark, QPalette::Shadow,
         QPalette::Midlight},
    };
    TRect r = Rect;
    QPainter& p = Painter;
    for (const Line& l : lines) {
        if (!(Edge & (l.Raised | l.Sunken)) || r.IsEmpty()) continue;
        bool raised = Edge & l.Raised;
        QColor tl = pal.color(raised ? l.RaisedTL : l.SunkenTL);
        QColor br = pal.color(raised ? l.RaisedBR : l.SunkenBR);
        // The bottom-right sides own the corners they share with the top-left ones.
        int shortW = r.Width() - ((Flags & BF_RIGHT) ? 1 : 0);
        int shortH = r.Height() - ((Flags & BF_BOTTOM) ? 1 : 0);
        if (Flags & BF_TOP) p.fillRect(QRect(r.Left, r.Top, shortW, 1), tl);
        if (Flags & BF_LEFT) p.fillRect(QRect(r.Left, r.Top, 1, shortH), tl);
        if (Flags & BF_BOTTOM) p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), br);
        if (Flags & BF_RIGHT) p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), br);
        if (Flags & BF_LEFT) ++r.Left;
        if (Flags & BF_TOP) ++r.Top;
        if (Flags & BF_RIGHT) --r.Right;
        if (Flags & BF_BOTTOM) --r.Bottom;
    }
    if (Flags & BF_ADJUST) Rect = r;
}
