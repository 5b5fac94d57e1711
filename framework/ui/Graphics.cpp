#include "Graphics.h"

#include "FormReader.h"

#include <QApplication>
#include <QBuffer>
#include <QPalette>

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

QFont TFont::ToQFont() const {
    QFont f(QString::fromStdString(FName));
    // Fonts of another platform fall back to the family fontconfig prefers.
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
