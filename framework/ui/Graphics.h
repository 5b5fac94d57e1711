// Colours, fonts, bitmaps and the canvas of the controls.
#pragma once

#include "TypInfo.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

#include <memory>

class QPainter;

// A colour: 0x00BBGGRR, or a system colour (0x80000000 | index) that
// follows the platform palette.
using TColor = int;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

const TIdentMap& ColorIdents();
QColor ColorToQColor(TColor Color);
TColor QColorToColor(const QColor& Color); // its red, green and blue

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
KV_ENUM_TYPEINFO(TFontStyle, "fsBold", "fsItalic", "fsUnderline", "fsStrikeOut")
using TFontStyles = TSet<TFontStyle, Byte>;

// A font description. Height < 0 is the character height in pixels, as form
// text stores it; Size is in points at 96 pixels per inch.
class TFont : public TPersistent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TFont>& P);

    TFont();
    void Assign(const TPersistent* Source) override;

    const AnsiString& GetName() const { return FName; }
    void SetName(const AnsiString& Value);
    int GetHeight() const { return FHeight; }
    void SetHeight(int Value);
    int GetSize() const;
    void SetSize(int Value);
    TFontStyles GetStyle() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    int GetCharset() const { return FCharset; }
    void SetCharset(int Value) { FCharset = Value; }

    QFont ToQFont() const;
    bool Equals(const TFont& Other) const;

    TNotifyEvent OnChange;

private:
    void Changed();
    AnsiString FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    int FCharset = 1;
};

// The installed font family that shows text of the named family: a family
// of the platform the forms were designed on maps to an installed one with
// similar widths, so designed boxes hold their text; other names stay.
AnsiString ScreenFontFamily(const AnsiString& Name);
// The height of a line of text in Font, as a list row takes it: for a
// family of that platform the line its font had there, never less than the
// stand-in needs.
int TextLineHeight(const TFont& Font);

// An image. Form text carries it as binary data (any format Qt reads; a
// four-byte length before the data is skipped); the colour of the
// bottom-left pixel is transparent when Transparent is on.
class TBitmap : public TPersistent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TBitmap>& P);

    void Assign(const TPersistent* Source) override;
    bool Empty() const { return FImage.isNull(); }
    int GetWidth() const { return FImage.width(); }
    int GetHeight() const { return FImage.height(); }
    void SetSize(int Width, int Height); // filled with white

    // Raises EInvalidGraphic for data that is no image.
    void LoadFromData(const AnsiString& Bytes);
    AnsiString SaveToData() const; // BMP
    void LoadFromStream(TStream& Stream);
    void LoadFromFile(const AnsiString& FileName);
    // The bitmap resource of that name (case-insensitive); EResNotFound
    // when no unit registered one.
    void LoadFromResourceName(const AnsiString& Name);

    const QImage& GetImage() const { return FImage; }
    void SetImage(const QImage& Image);
    // The image with the transparent colour masked out.
    QImage GetMaskedImage() const;
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    TNotifyEvent OnChange;

private:
    void Changed();
    QImage FImage;
    bool FTransparent = true;
};

// ---------------------------------------------------------------------------
// Rectangles, brushes, pens and the canvas

// A rectangle as the platform gives it: Right and Bottom lie just outside.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(int X, int Y) const { return X >= Left && X < Right && Y >= Top && Y < Bottom; }
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
    static TRect FromQRect(const QRect& R) {
        return {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()};
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};
inline TRect Rect(int Left, int Top, int Right, int Bottom) {
    return {Left, Top, Right, Bottom};
}
inline TRect Bounds(int Left, int Top, int Width, int Height) {
    return {Left, Top, Left + Width, Top + Height};
}

enum TBrushStyle { bsSolid, bsClear };
KV_ENUM_TYPEINFO(TBrushStyle, "bsSolid", "bsClear")

// The fill of a canvas: FillRect and the background of text.
class TBrush : public TPersistent {
public:
    void Assign(const TPersistent* Source) override;
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    TBrushStyle GetStyle() const { return FStyle; }
    void SetStyle(TBrushStyle Value);
    TNotifyEvent OnChange;

private:
    void Changed();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};

enum TPenStyle { psSolid, psDash, psDot, psClear };
KV_ENUM_TYPEINFO(TPenStyle, "psSolid", "psDash", "psDot", "psClear")

// The lines of a canvas: LineTo, FrameRect and the outline of Rectangle.
class TPen : public TPersistent {
public:
    void Assign(const TPersistent* Source) override;
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    int GetWidth() const { return FWidth; }
    void SetWidth(int Value);
    TPenStyle GetStyle() const { return FStyle; }
    void SetStyle(TPenStyle Value);
    TNotifyEvent OnChange;

private:
    void Changed();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
};

// A drawing surface with the platform's drawing rules: text is placed by its
// top-left corner and drawn in the font's colour, on the brush's colour
// unless the brush is clear; rectangles exclude their right and bottom edge.
// A plain canvas has no surface: it measures text (with its Font) and
// raises EInvalidOperation on drawing. Descendants supply the surface.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;

    TFont* GetFont() const { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    TBrush* GetBrush() const { return FBrush.get(); }
    void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
    TPen* GetPen() const { return FPen.get(); }
    void SetPen(TPen* Value) { FPen->Assign(Value); }
    QPoint GetPenPos() const { return FPenPos; }
    void SetPenPos(QPoint Value) { FPenPos = Value; }
    // What drawing reaches now: the part being repainted while the owner
    // paints, else the whole surface.
    virtual TRect GetClipRect() const { return TRect(); }

    QSize TextExtent(const AnsiString& Text) const;
    int TextWidth(const AnsiString& Text) const { return TextExtent(Text).width(); }
    int TextHeight(const AnsiString& Text) const { return TextExtent(Text).height(); }

    void TextOut(int X, int Y, const AnsiString& Text);
    // Text at (X, Y), clipped to Rect, which a solid brush fills first.
    void TextRect(const TRect& Rect, int X, int Y, const AnsiString& Text);
    void FillRect(const TRect& Rect);
    void FrameRect(const TRect& Rect); // one pixel of the brush's colour
    void Rectangle(const TRect& Rect); // outlined with the pen, filled with the brush
    // A dotted frame that a second call on the same rectangle removes again.
    void DrawFocusRect(const TRect& Rect);
    void MoveTo(int X, int Y) { FPenPos = QPoint(X, Y); }
    void LineTo(int X, int Y); // the end point itself stays undrawn
    void Draw(int X, int Y, const TBitmap* Bitmap);

    // For drawing with Qt directly: a painter set up with the canvas's
    // font, pen and brush, valid until EndPainting. Raises like all drawing
    // when there is no surface.
    QPainter& BeginPainting();
    void EndPainting();

protected:
    // A painter on the surface for one drawing operation, or null when
    // there is none; EndDraw follows every BeginDraw that gave one.
    virtual QPainter* BeginDraw() { return nullptr; }
    virtual void EndDraw() {}

private:
    template <class F> void Drawing(F&& Draw);
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
    QPoint FPenPos;
    QPainter* FPainting = nullptr;
};

// Edges of DrawEdge: an outer and an inner line, raised or sunken.
constexpr unsigned BDR_RAISEDOUTER = 0x0001;
constexpr unsigned BDR_SUNKENOUTER = 0x0002;
constexpr unsigned BDR_RAISEDINNER = 0x0004;
constexpr unsigned BDR_SUNKENINNER = 0x0008;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
// Sides of DrawEdge; BF_ADJUST shrinks the rectangle by what was drawn.
constexpr unsigned BF_LEFT = 0x0001;
constexpr unsigned BF_TOP = 0x0002;
constexpr unsigned BF_RIGHT = 0x0004;
constexpr unsigned BF_BOTTOM = 0x0008;
constexpr unsigned BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr unsigned BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_ADJUST = 0x2000;

// Draws a three-dimensional edge of one pixel per line along the chosen
// sides of Rect, inside it, in the platform's button colours.
void DrawEdge(TCanvas* Canvas, TRect& Rect, unsigned Edge, unsigned Flags);
void DrawEdge(QPainter& Painter, TRect& Rect, unsigned Edge, unsigned Flags);

FRAMEWORK_EXCEPTION(EInvalidGraphic, Exception);

// Bitmap resources: images the program's units carry under a name, made by
// the function given when they are first loaded.
void RegisterBitmapResource(const AnsiString& Name, QImage (*Make)());
// Registers a bitmap resource at program start:
//   KV_BITMAP_RESOURCE(DROPDOWNARROW, DrawDropDownArrow)
#define KV_BITMAP_RESOURCE(Name, Make)                                                                       \
    static const bool kv_bitmap_resource_##Name = (RegisterBitmapResource(#Name, Make), true);
