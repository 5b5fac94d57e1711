// Colours, fonts and bitmaps of the controls.
#pragma once

#include "TypInfo.h"

#include <QColor>
#include <QFont>
#include <QImage>

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

FRAMEWORK_EXCEPTION(EInvalidGraphic, Exception);

// Bitmap resources: images the program's units carry under a name, made by
// the function given when they are first loaded.
void RegisterBitmapResource(const AnsiString& Name, QImage (*Make)());
// Registers a bitmap resource at program start:
//   KV_BITMAP_RESOURCE(DROPDOWNARROW, DrawDropDownArrow)
#define KV_BITMAP_RESOURCE(Name, Make)                                                                       \
    static const bool kv_bitmap_resource_##Name = (RegisterBitmapResource(#Name, Make), true);
