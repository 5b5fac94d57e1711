#include "ComCtrls.h"

#include "UiPrivate.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

namespace {

// The document lays out at 96 pixels per inch: 15 twips to the pixel.
qreal TwipsToPixels(int Twips) {
    return Twips / 15.0;
}
int PixelsToTwips(qreal Pixels) {
    return static_cast<int>(std::lround(Pixels * 15.0));
}

// Text for the document: line breaks inside a paragraph become Qt's line
// separator (a '\n' would start a new paragraph).
QString ToDocumentText(const AnsiString& Text) {
    QString s = Q(Text);
    s.replace(QChar('\n'), QChar::LineSeparator);
    return s;
}

// The UTF-16 length of UTF-8 text: a unit per character, two above U+FFFF.
qsizetype Utf16Length(const AnsiString& Utf8) {
    qsizetype n = 0;
    for (unsigned char b : Utf8) {
        if ((b & 0xC0) != 0x80) ++n; // a lead byte or ASCII
        if (b >= 0xF0) ++n;          // a four-byte sequence: a surrogate pair
    }
    return n;
}

AnsiString FromDocumentText(QString Text) {
    Text.replace(QChar::LineSeparator, QChar('\n'));
    return Text.toStdString();
}

// The font a format shows with, what it leaves open taken from the document.
QFont EffectiveFont(const QTextDocument& Doc, const QTextCharFormat& Format) {
    return Format.font().resolve(Doc.defaultFont());
}

// Size in points; a font given in pixels counts at 96 pixels per inch.
qreal PointSize(const QFont& Font) {
    if (Font.pointSizeF() > 0) return Font.pointSizeF();
    // As TFont reads a height in pixels: to the nearest whole point.
    return Font.pixelSize() > 0 ? (Font.pixelSize() * 72 + 48) / 96 : 0;
}

TAlignment AlignmentOf(Qt::Alignment A) {
    if (A & Qt::AlignHCenter) return taCenter;
    if (A & Qt::AlignRight) return taRightJustify;
    return taLeftJustify;
}

Qt::Alignment QtAlignmentOf(TAlignment A) {
    switch (A) {
    case taCenter:
        return Qt::AlignHCenter;
    case taRightJustify:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

// ---- Conversion between the document and rich text ------------------------

TRtfCharFormat RtfCharFormat(TRtfDocument& R, const QTextDocument& Doc, const QTextCharFormat& F) {
    TRtfCharFormat out;
    QFont font = EffectiveFont(Doc, F);
    out.Font = R.FindOrAddFont(font.family().toStdString());
    out.HalfPoints = std::clamp(static_cast<int>(std::lround(PointSize(font) * 2)), 1, 3276);
    out.Bold = font.bold();
    out.Italic = font.italic();
    out.Underline = font.underline();
    out.StrikeOut = font.strikeOut();
    if (F.hasProperty(QTextFormat::ForegroundBrush) && F.foreground().style() != Qt::NoBrush) {
        QColor c = F.foreground().color();
        out.Color = R.FindOrAddColor(TRtfColor{static_cast<std::uint8_t>(c.red()),
                                               static_cast<std::uint8_t>(c.green()),
                                               static_cast<std::uint8_t>(c.blue())});
    }
    return out;
}

QTextCharFormat QtCharFormat(const TRtfDocument& R, const TRtfCharFormat& F) {
    QTextCharFormat out;
    if (F.Font >= 0 && static_cast<size_t>(F.Font) < R.Fonts.size())
        out.setFontFamilies(QStringList{Q(R.Fonts[static_cast<size_t>(F.Font)].Name)});
    out.setFontPointSize(F.HalfPoints / 2.0);
    out.setFontWeight(F.Bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(F.Italic);
    out.setFontUnderline(F.Underline);
    out.setFontStrikeOut(F.StrikeOut);
    if (F.Color >= 0 && static_cast<size_t>(F.Color) < R.Colors.size()) {
        const TRtfColor& c = R.Colors[static_cast<size_t>(F.Color)];
        out.setForeground(QColor(c.R, c.G, c.B));
    }
    return out;
}

// Tab stops stand at distances from the left edge of the text; Qt counts
// them from the paragraph's left margin, so they move with it.
std::vector<int> TabsOf(const QTextBlockFormat& F) {
    std::vector<int> tabs;
    for (const QTextOption::Tab& t : F.tabPositions())
        tabs.push_back(PixelsToTwips(t.position + F.leftMargin()));
    return tabs;
}

template <class Twips> void PutTabs(QTextBlockFormat& F, const Twips& Stops) {
    QList<QTextOption::Tab> tabs;
    for (int t : Stops)
        tabs.append(QTextOption::Tab(TwipsToPixels(t) - F.leftMargin(), QTextOption::LeftTab));
    F.setTabPositions(tabs);
}

// A new left margin; the tab stops stay where they stand.
void SetLeftMargin(QTextBlockFormat& F, int Twips) {
    std::vector<int> tabs = TabsOf(F);
    F.setLeftMargin(TwipsToPixels(Twips));
    PutTabs(F, tabs);
}

} // namespace

// ---- The edit widget -------------------------------------------------------

// Qt's text editor as the control's window; the formatting rectangle is
// kept as viewport margins.
class TRichEditWidget : public TScrollAreaWidget<QTextEdit> {
public:
    TRichEditWidget(TControl* Control, QWidget* Parent) : TScrollAreaWidget<QTextEdit>(Control, Parent) {
        // The margins around the text area show the editor's colour.
        setBackgroundRole(QPalette::Base);
        setAutoFillBackground(true);
    }
    void SetMargins(int Left, int Top, int Right, int Bottom) {
        setViewportMargins(Left, Top, Right, Bottom);
    }

protected:
    // Composed characters are typing too: they pass the key-press events,
    // and no more of them go in than MaxLength leaves room for.
    void inputMethodEvent(QInputMethodEvent* Event) override {
        auto* edit = dynamic_cast<TCustomRichEdit*>(FindControl(this));
        CommitInputAsChars(
            edit, Event, [this](QInputMethodEvent* e) { QTextEdit::inputMethodEvent(e); },
            [edit](const QString& Text) { return FittingText(Text, edit->Room()); });
    }
};

namespace {

// The lines of a rich edit: its paragraphs. A last empty paragraph (the
// text ends with a line break) is no line.
class TRichEditStrings : public TStrings {
public:
    explicit TRichEditStrings(TCustomRichEdit* Edit) : FEdit(Edit) {}

    AnsiString Get(int Index) const override {
        if (Index < 0 || Index >= GetCount()) Error(Index);
        return FromDocumentText(Doc()->findBlockByNumber(Index).text());
    }
    int GetCount() const override {
        int n = Doc()->blockCount();
        if (Doc()->lastBlock().length() <= 1) --n;
        return n;
    }
    void Insert(int Index, const AnsiString& S) override {
        int count = GetCount();
        if (Index < 0 || Index > count) Error(Index);
        QString text = LfText(S);
        QTextCursor c(Doc());
        if (Index == count) {
            c.movePosition(QTextCursor::End);
            if (count < Doc()->blockCount()) { // into the last, empty paragraph
                c.insertText(text);
                return;
            }
            c.insertBlock();
            c.insertText(text);
            return;
        }
        c.setPosition(Doc()->findBlockByNumber(Index).position());
        c.insertText(text);
        c.insertBlock();
    }
    void Delete(int Index) override {
        if (Index < 0 || Index >= GetCount()) Error(Index);
        QTextBlock b = Doc()->findBlockByNumber(Index);
        QTextCursor c(Doc());
        if (b.next().isValid()) {
            c.setPosition(b.position());
            c.setPosition(b.next().position(), QTextCursor::KeepAnchor);
        } else if (b.previous().isValid()) {
            c.setPosition(b.previous().position() + b.previous().length() - 1);
            c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
        } else {
            c.setPosition(b.position());
            c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
    }
    void Clear() override { FEdit->SetText(AnsiString()); }
    void SetText(const AnsiString& Text) override { FEdit->SetText(Text); }

private:
    QTextDocument* Doc() const { return FEdit->Document(); }
    TCustomRichEdit* FEdit;
};

} // namespace

// ---- TTextAttributes -------------------------------------------------------

TTextAttributes::TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AType)
    : FOwner(AOwner), FType(AType) {}

QTextCharFormat TTextAttributes::Format() const {
    QTextDocument* doc = FOwner->Document();
    if (FType == atDefaultText) {
        QTextCharFormat f;
        f.setFont(doc->defaultFont());
        if (FOwner->FDefaultColor != clWindowText) f.setForeground(ColorToQColor(FOwner->FDefaultColor));
        return f;
    }
    QTextCursor c = FOwner->TextCursor();
    if (!c.hasSelection()) return c.charFormat();
    // The first selected character.
    QTextCursor first(doc);
    first.setPosition(c.selectionStart() + 1);
    return first.charFormat();
}

void TTextAttributes::Apply(const QTextCharFormat& F) {
    QTextDocument* doc = FOwner->Document();
    if (FType == atDefaultText) {
        QFont font = doc->defaultFont();
        if (F.hasProperty(QTextFormat::FontFamilies)) font.setFamilies(F.fontFamilies().toStringList());
        if (F.hasProperty(QTextFormat::FontPointSize)) font.setPointSizeF(F.fontPointSize());
        if (F.hasProperty(QTextFormat::FontWeight))
            font.setWeight(static_cast<QFont::Weight>(F.fontWeight()));
        if (F.hasProperty(QTextFormat::FontItalic)) font.setItalic(F.fontItalic());
        if (F.hasProperty(QTextFormat::TextUnderlineStyle)) font.setUnderline(F.fontUnderline());
        if (F.hasProperty(QTextFormat::FontStrikeOut)) font.setStrikeOut(F.fontStrikeOut());
        doc->setDefaultFont(font);
        if (F.hasProperty(QTextFormat::ForegroundBrush)) {
            FOwner->FDefaultColor = QColorToColor(F.foreground().color());
            if (QTextEdit* e = FOwner->Editor()) {
                QPalette pal = e->palette();
                pal.setColor(QPalette::Text, F.foreground().color());
                e->setPalette(pal);
            }
        }
        return;
    }
    if (QTextEdit* e = FOwner->Editor()) {
        e->mergeCurrentCharFormat(F);
        return;
    }
    QTextCursor c = FOwner->TextCursor();
    c.mergeCharFormat(F);
    FOwner->SetTextCursor(c);
}

AnsiString TTextAttributes::GetName() const {
    return EffectiveFont(*FOwner->Document(), Format()).family().toStdString();
}

void TTextAttributes::SetName(const AnsiString& Value) {
    QTextCharFormat f;
    f.setFontFamilies(QStringList{Q(Value)});
    Apply(f);
}

int TTextAttributes::GetSize() const {
    int twips = static_cast<int>(std::lround(PointSize(EffectiveFont(*FOwner->Document(), Format())) * 20));
    return twips / 20;
}

void TTextAttributes::SetSize(int Value) {
    QTextCharFormat f;
    f.setFontPointSize(Value);
    Apply(f);
}

TFontStyles TTextAttributes::GetStyle() const {
    QFont font = EffectiveFont(*FOwner->Document(), Format());
    TFontStyles s;
    if (font.bold()) s << fsBold;
    if (font.italic()) s << fsItalic;
    if (font.underline()) s << fsUnderline;
    if (font.strikeOut()) s << fsStrikeOut;
    return s;
}

void TTextAttributes::SetStyle(TFontStyles Value) {
    QTextCharFormat f;
    f.setFontWeight(Value.Contains(fsBold) ? QFont::Bold : QFont::Normal);
    f.setFontItalic(Value.Contains(fsItalic));
    f.setFontUnderline(Value.Contains(fsUnderline));
    f.setFontStrikeOut(Value.Contains(fsStrikeOut));
    Apply(f);
}

TColor TTextAttributes::GetColor() const {
    QTextCharFormat f = Format();
    if (!f.hasProperty(QTextFormat::ForegroundBrush) || f.foreground().style() == Qt::NoBrush)
        return FType == atDefaultText ? FOwner->FDefaultColor : clWindowText;
    return QColorToColor(f.foreground().color());
}

void TTextAttributes::SetColor(TColor Value) {
    QTextCharFormat f;
    f.setForeground(ColorToQColor(Value));
    Apply(f);
}

void TTextAttributes::Assign(const TPersistent* Source) {
    auto* a = dynamic_cast<const TTextAttributes*>(Source);
    if (a && FType == atSelected && a->FType == atDefaultText && a->FOwner == FOwner) {
        // The selection takes the default format itself: it follows later
        // changes of the default as text without a format of its own does.
        if (QTextEdit* e = FOwner->Editor()) {
            e->setCurrentCharFormat(QTextCharFormat());
        } else {
            QTextCursor c = FOwner->TextCursor();
            c.setCharFormat(QTextCharFormat());
            FOwner->SetTextCursor(c);
        }
        return;
    }
    if (a) {
        QTextCharFormat from = a->Format();
        QFont font = EffectiveFont(*a->FOwner->Document(), from);
        QTextCharFormat f;
        f.setFontFamilies(QStringList{font.family()});
        f.setFontPointSize(PointSize(font));
        f.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
        f.setFontItalic(font.italic());
        f.setFontUnderline(font.underline());
        f.setFontStrikeOut(font.strikeOut());
        TColor color = a->GetColor();
        f.setForeground(ColorToQColor(color));
        Apply(f);
        return;
    }
    if (auto* font = dynamic_cast<const TFont*>(Source)) {
        QTextCharFormat f;
        f.setFontFamilies(QStringList{Q(font->GetName())});
        f.setFontPointSize(PointSize(font->ToQFont()));
        TFontStyles s = font->GetStyle();
        f.setFontWeight(s.Contains(fsBold) ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.Contains(fsItalic));
        f.setFontUnderline(s.Contains(fsUnderline));
        f.setFontStrikeOut(s.Contains(fsStrikeOut));
        f.setForeground(ColorToQColor(font->GetColor()));
        Apply(f);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- TParaAttributes -------------------------------------------------------

namespace {

// Applies Change to the format of every paragraph the selection touches,
// as one step of the undo history; a paragraph whose format stays as it is
// is left alone.
template <class F> void ChangeParagraphs(TCustomRichEdit* Edit, F Change) {
    QTextDocument* doc = Edit->Document();
    QTextCursor sel = Edit->TextCursor();
    QTextBlock block = doc->findBlock(sel.selectionStart());
    QTextBlock last = doc->findBlock(sel.selectionEnd());
    QTextCursor c(doc);
    c.beginEditBlock();
    for (;;) {
        QTextBlockFormat format = block.blockFormat();
        QTextBlockFormat before = format;
        Change(format, block);
        if (!(format == before)) {
            c.setPosition(block.position());
            c.setBlockFormat(format);
        }
        if (block == last || !block.next().isValid()) break;
        block = block.next();
    }
    c.endEditBlock();
}

QTextBlock SelectedBlock(const TCustomRichEdit* Edit) {
    return Edit->Document()->findBlock(Edit->TextCursor().selectionStart());
}

int FirstIndentTwips(const QTextBlockFormat& F) {
    return PixelsToTwips(F.leftMargin() + F.textIndent());
}
int LeftIndentTwips(const QTextBlockFormat& F) {
    return -PixelsToTwips(F.textIndent());
}

} // namespace

TParaAttributes::TParaAttributes(TCustomRichEdit* AOwner) : FOwner(AOwner) {}

TAlignment TParaAttributes::GetAlignment() const {
    QTextBlockFormat f = SelectedBlock(FOwner).blockFormat();
    if (!f.hasProperty(QTextFormat::BlockAlignment)) return FOwner->GetAlignment();
    return AlignmentOf(f.alignment());
}

void TParaAttributes::SetAlignment(TAlignment Value) {
    ChangeParagraphs(FOwner,
                     [&](QTextBlockFormat& f, const QTextBlock&) { f.setAlignment(QtAlignmentOf(Value)); });
}

int TParaAttributes::GetFirstIndent() const {
    return FirstIndentTwips(SelectedBlock(FOwner).blockFormat()) / 20;
}

void TParaAttributes::SetFirstIndent(int Value) {
    // The first line moves; the following lines keep their offset from it.
    ChangeParagraphs(FOwner, [&](QTextBlockFormat& f, const QTextBlock&) {
        SetLeftMargin(f, Value * 20 + LeftIndentTwips(f));
    });
}

int TParaAttributes::GetLeftIndent() const {
    return LeftIndentTwips(SelectedBlock(FOwner).blockFormat()) / 20;
}

void TParaAttributes::SetLeftIndent(int Value) {
    // The following lines move; the first line stays.
    ChangeParagraphs(FOwner, [&](QTextBlockFormat& f, const QTextBlock&) {
        int first = FirstIndentTwips(f);
        SetLeftMargin(f, first + Value * 20);
        f.setTextIndent(TwipsToPixels(-Value * 20));
    });
}

int TParaAttributes::GetRightIndent() const {
    return PixelsToTwips(SelectedBlock(FOwner).blockFormat().rightMargin()) / 20;
}

void TParaAttributes::SetRightIndent(int Value) {
    ChangeParagraphs(
        FOwner, [&](QTextBlockFormat& f, const QTextBlock&) { f.setRightMargin(TwipsToPixels(Value * 20)); });
}

TNumberingStyle TParaAttributes::GetNumbering() const {
    return SelectedBlock(FOwner).textList() ? nsBullet : nsNone;
}

void TParaAttributes::SetNumbering(TNumberingStyle Value) {
    QTextDocument* doc = FOwner->Document();
    QTextCursor sel = FOwner->TextCursor();
    QTextCursor c(doc);
    c.beginEditBlock();
    QTextBlock block = doc->findBlock(sel.selectionStart());
    QTextBlock last = doc->findBlock(sel.selectionEnd());
    QTextList* list = nullptr;
    for (;;) {
        QTextList* in = block.textList();
        if (Value == nsNone && in) {
            in->remove(block);
            QTextBlockFormat f = block.blockFormat();
            f.setIndent(0);
            c.setPosition(block.position());
            c.setBlockFormat(f);
        } else if (Value == nsBullet && !in) {
            c.setPosition(block.position());
            if (list)
                list->add(block);
            else
                list = c.createList(QTextListFormat::ListDisc);
        } else if (Value == nsBullet) {
            list = in;
        }
        if (block == last || !block.next().isValid()) break;
        block = block.next();
    }
    c.endEditBlock();
}

int TParaAttributes::GetTab(int Index) const {
    if (Index < 0 || Index >= MaxTabStops) throw ERangeError("Tab stop index out of range");
    std::vector<int> tabs = TabsOf(SelectedBlock(FOwner).blockFormat());
    return static_cast<size_t>(Index) < tabs.size() ? tabs[static_cast<size_t>(Index)] / 20 : 0;
}

void TParaAttributes::SetTab(int Index, int Value) {
    if (Index < 0 || Index >= MaxTabStops) throw ERangeError("Tab stop index out of range");
    ChangeParagraphs(FOwner, [&](QTextBlockFormat& f, const QTextBlock&) {
        std::vector<int> tabs = TabsOf(f);
        if (tabs.size() <= static_cast<size_t>(Index)) tabs.resize(static_cast<size_t>(Index) + 1, 0);
        tabs[static_cast<size_t>(Index)] = Value * 20;
        PutTabs(f, tabs);
    });
}

int TParaAttributes::GetTabCount() const {
    return static_cast<int>(SelectedBlock(FOwner).blockFormat().tabPositions().size());
}

void TParaAttributes::SetTabCount(int Value) {
    Value = std::clamp(Value, 0, MaxTabStops);
    ChangeParagraphs(FOwner, [&](QTextBlockFormat& f, const QTextBlock&) {
        std::vector<int> tabs = TabsOf(f);
        tabs.resize(static_cast<size_t>(Value), 0);
        PutTabs(f, tabs);
    });
}

void TParaAttributes::SetTabs(const std::vector<int>& Values) {
    if (Values.size() > static_cast<size_t>(MaxTabStops)) throw ERangeError("Too many tab stops");
    std::vector<int> twips;
    for (int v : Values)
        twips.push_back(v * 20);
    ChangeParagraphs(FOwner, [&](QTextBlockFormat& f, const QTextBlock&) { PutTabs(f, twips); });
}

void TParaAttributes::Assign(const TPersistent* Source) {
    if (auto* p = dynamic_cast<const TParaAttributes*>(Source)) {
        SetAlignment(p->GetAlignment());
        SetFirstIndent(p->GetFirstIndent());
        SetLeftIndent(p->GetLeftIndent());
        SetRightIndent(p->GetRightIndent());
        SetNumbering(p->GetNumbering());
        std::vector<int> tabs;
        for (int i = 0, n = p->GetTabCount(); i < n; ++i)
            tabs.push_back(p->GetTab(i));
        SetTabs(tabs);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- TCustomRichEdit -------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomRichEdit, &TWinControl::ClassInfo())
KV_METACLASS(TRichEdit, &TCustomRichEdit::ClassInfo())

void TCustomRichEdit::Publish(TPublisher<TCustomRichEdit>& P) {
    P.Prop("Alignment", &TCustomRichEdit::GetAlignment, &TCustomRichEdit::SetAlignment)
        .Default(taLeftJustify);
    P.Prop("BorderStyle", &TCustomRichEdit::GetBorderStyle, &TCustomRichEdit::SetBorderStyle)
        .Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCustomRichEdit& e) { return !e.GetParentColor(); });
    P.Prop("HideScrollBars", &TCustomRichEdit::GetHideScrollBars, &TCustomRichEdit::SetHideScrollBars)
        .Default(true);
    P.Prop("Lines", &TCustomRichEdit::GetLines, &TCustomRichEdit::SetLines);
    P.Prop("MaxLength", &TCustomRichEdit::GetMaxLength, &TCustomRichEdit::SetMaxLength).Default(0);
    P.Prop("PlainText", &TCustomRichEdit::GetPlainText, &TCustomRichEdit::SetPlainText).Default(false);
    P.Prop("ReadOnly", &TCustomRichEdit::GetReadOnly, &TCustomRichEdit::SetReadOnly).Default(false);
    P.Prop("ScrollBars", &TCustomRichEdit::GetScrollBars, &TCustomRichEdit::SetScrollBars).Default(ssBoth);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("WantTabs", &TCustomRichEdit::GetWantTabs, &TCustomRichEdit::SetWantTabs).Default(false);
    P.Prop("WantReturns", &TCustomRichEdit::GetWantReturns, &TCustomRichEdit::SetWantReturns).Default(true);
    P.Prop("WordWrap", &TCustomRichEdit::GetWordWrap, &TCustomRichEdit::SetWordWrap).Default(true);
    P.Prop("OnChange", &TCustomRichEdit::OnChange, &TCustomRichEdit::OnChange);
    P.Prop("OnSelectionChange", &TCustomRichEdit::OnSelectionChange, &TCustomRichEdit::OnSelectionChange);
}

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TWinControl(AOwner), FDocument(std::make_unique<QTextDocument>()),
      FCursor(std::make_unique<QTextCursor>(FDocument.get())),
      FSelAttributes(std::make_unique<TTextAttributes>(this, atSelected)),
      FDefAttributes(std::make_unique<TTextAttributes>(this, atDefaultText)),
      FParagraph(std::make_unique<TParaAttributes>(this)), FLines(std::make_unique<TRichEditStrings>(this)) {
    ControlStyle >> csSetCaption;
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 185, 89);
    FDocument->setDefaultFont(GetFont()->ToQFont());
    ConnectDocument();
}

void TCustomRichEdit::ConnectDocument() {
    QObject::connect(FDocument.get(), &QTextDocument::contentsChanged, FDocument.get(),
                     [this] { GuardedCall(this, [this] { Change(); }); });
}

TCustomRichEdit::~TCustomRichEdit() {
    // The window shows our document: it goes first.
    Destroying();
    DestroyHandle();
}

QTextEdit* TCustomRichEdit::Editor() const {
    return static_cast<QTextEdit*>(FWidget);
}

QTextCursor TCustomRichEdit::TextCursor() const {
    return FWidget ? Editor()->textCursor() : *FCursor;
}

void TCustomRichEdit::SetTextCursor(const QTextCursor& Cursor) {
    if (FWidget)
        Editor()->setTextCursor(Cursor);
    else
        *FCursor = Cursor;
}

QWidget* TCustomRichEdit::CreateWidget(const TCreateParams& Params) {
    return new TRichEditWidget(this, Params.WndParent);
}

void TCustomRichEdit::InitWidget() {
    QTextEdit* e = Editor();
    e->setDocument(FDocument.get());
    // The window's font is the control's; the document keeps its default format.
    QFont defaultFont = FDocument->defaultFont();
    TWinControl::InitWidget();
    FDocument->setDefaultFont(defaultFont);
    e->setTextCursor(*FCursor);
    e->setReadOnly(FReadOnly);
    e->setTabChangesFocus(!FWantTabs);
    e->setLineWrapMode(FWordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    e->setAcceptRichText(true);
    e->setFrameShape(FBorderStyle == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
    if (FDefaultColor != clWindowText) {
        QPalette pal = e->palette();
        pal.setColor(QPalette::Text, ColorToQColor(FDefaultColor));
        e->setPalette(pal);
    }
    QTextOption option = FDocument->defaultTextOption();
    option.setAlignment(QtAlignmentOf(FAlignment));
    FDocument->setDefaultTextOption(option);
    UpdateScrollBars();
    ApplyEditRect();
    QTextCursor c = e->textCursor();
    FLastAnchor = c.anchor();
    FLastPosition = c.position();
    auto selection = [this] { GuardedCall(this, [this] { NoteSelection(); }); };
    QObject::connect(e, &QTextEdit::cursorPositionChanged, e, selection);
    QObject::connect(e, &QTextEdit::selectionChanged, e, selection);
    // A scroll bar shown while it has nothing to scroll is disabled.
    QObject::connect(e->verticalScrollBar(), &QScrollBar::rangeChanged, e,
                     [e](int Min, int Max) { e->verticalScrollBar()->setEnabled(Max > Min); });
    QObject::connect(e->horizontalScrollBar(), &QScrollBar::rangeChanged, e,
                     [e](int Min, int Max) { e->horizontalScrollBar()->setEnabled(Max > Min); });
}

void TCustomRichEdit::DestroyWnd() {
    if (QTextEdit* e = Editor()) {
        *FCursor = e->textCursor();
        QObject::disconnect(e, nullptr, nullptr, nullptr);
        // The window may outlive this call (it is deleted later when busy):
        // it must not hold our document.
        e->setDocument(new QTextDocument(e));
    }
    TWinControl::DestroyWnd();
}

void TCustomRichEdit::FontChanged() {
    TWinControl::FontChanged();
    FDocument->setDefaultFont(GetFont()->ToQFont());
}

void TCustomRichEdit::NoteSelection() {
    QTextCursor c = Editor()->textCursor();
    if (c.anchor() == FLastAnchor && c.position() == FLastPosition) return;
    FLastAnchor = c.anchor();
    FLastPosition = c.position();
    SelectionChange();
}

void TCustomRichEdit::Change() {
    if (IsLoading()) return;
    if (OnChange) OnChange(this);
}

void TCustomRichEdit::SelectionChange() {
    if (OnSelectionChange) OnSelectionChange(this);
}

void TCustomRichEdit::UpdateScrollBars() {
    QTextEdit* e = Editor();
    if (!e) return;
    auto policy = [this](bool wanted) {
        if (!wanted) return Qt::ScrollBarAlwaysOff;
        return FHideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    };
    e->setVerticalScrollBarPolicy(policy(FScrollBars == ssVertical || FScrollBars == ssBoth));
    e->setHorizontalScrollBarPolicy(policy(FScrollBars == ssHorizontal || FScrollBars == ssBoth));
    QScrollBar* v = e->verticalScrollBar();
    v->setEnabled(v->maximum() > v->minimum());
    QScrollBar* h = e->horizontalScrollBar();
    h->setEnabled(h->maximum() > h->minimum());
}

void TCustomRichEdit::SetLines(TStrings* Value) {
    if (Value) FLines->Assign(Value);
}

AnsiString TCustomRichEdit::GetText() const {
    QString text;
    for (QTextBlock b = FDocument->begin(); b.isValid(); b = b.next()) {
        if (b != FDocument->begin()) text += "\r\n";
        text += b.text();
    }
    return FromDocumentText(text);
}

void TCustomRichEdit::ReplaceText(const std::function<void(QTextDocument&)>& Fill) {
    // The new text goes into a new document, which the window then shows: it
    // lays a long text out as it comes into view, not all at once; and a new
    // text starts a new history, not modified.
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(FDocument->defaultFont());
    doc->setDefaultTextOption(FDocument->defaultTextOption());
    Fill(*doc);
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    std::unique_ptr<QTextDocument> old = std::move(FDocument);
    FDocument = std::move(doc);
    *FCursor = QTextCursor(FDocument.get());
    if (QTextEdit* e = Editor()) {
        QFont font = FDocument->defaultFont();
        e->setDocument(FDocument.get());
        FDocument->setDefaultFont(font); // the window would give it its own
        NoteSelection();
    }
    old.reset();
    ConnectDocument();
    Change();
}

void TCustomRichEdit::SetText(const AnsiString& Value) {
    QString text = LfText(Value);
    ReplaceText([&](QTextDocument& Doc) {
        QTextCursor c(&Doc);
        c.insertText(text, QTextCharFormat());
    });
}

int TCustomRichEdit::GetSelStart() const {
    return TextCursor().selectionStart();
}

void TCustomRichEdit::SetSelStart(int Value) {
    QTextCursor c = TextCursor();
    c.setPosition(std::clamp(Value, 0, GetTextLength()));
    SetTextCursor(c);
}

int TCustomRichEdit::GetSelLength() const {
    QTextCursor c = TextCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TCustomRichEdit::SetSelLength(int Value) {
    QTextCursor c = TextCursor();
    int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + Value, 0, GetTextLength()), QTextCursor::KeepAnchor);
    SetTextCursor(c);
}

AnsiString TCustomRichEdit::GetSelText() const {
    QString s = TextCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, "\r\n");
    return FromDocumentText(s);
}

void TCustomRichEdit::SelectAll() {
    QTextCursor c = TextCursor();
    c.select(QTextCursor::Document);
    SetTextCursor(c);
}

int TCustomRichEdit::GetTextLength() const {
    return FDocument->characterCount() - 1; // without the document's closing mark
}

int TCustomRichEdit::Room() const {
    if (FMaxLength <= 0) return INT_MAX;
    int length = CodePoints(FDocument->toPlainText());
    return std::max(0, FMaxLength - (length - CodePoints(TextCursor().selectedText())));
}

void TCustomRichEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (FWidget) Editor()->setReadOnly(Value);
}

void TCustomRichEdit::SetHideScrollBars(bool Value) {
    FHideScrollBars = Value;
    UpdateScrollBars();
}

void TCustomRichEdit::SetScrollBars(TScrollStyle Value) {
    FScrollBars = Value;
    UpdateScrollBars();
}

void TCustomRichEdit::SetBorderStyle(TBorderStyle Value) {
    FBorderStyle = Value;
    if (FWidget) Editor()->setFrameShape(Value == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TCustomRichEdit::SetWantTabs(bool Value) {
    FWantTabs = Value;
    if (FWidget) Editor()->setTabChangesFocus(!Value);
}

void TCustomRichEdit::SetWordWrap(bool Value) {
    FWordWrap = Value;
    if (FWidget) Editor()->setLineWrapMode(Value ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TCustomRichEdit::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    QTextOption option = FDocument->defaultTextOption();
    option.setAlignment(QtAlignmentOf(Value));
    FDocument->setDefaultTextOption(option);
}

bool TCustomRichEdit::GetModified() const {
    return FDocument->isModified();
}

void TCustomRichEdit::SetModified(bool Value) {
    FDocument->setModified(Value);
}

void TCustomRichEdit::Clear() {
    SetText(AnsiString());
}

void TCustomRichEdit::CopyToClipboard() {
    Perform(WM_COPY);
}
void TCustomRichEdit::CutToClipboard() {
    Perform(WM_CUT);
}
void TCustomRichEdit::PasteFromClipboard() {
    Perform(WM_PASTE);
}

int TCustomRichEdit::FindText(const AnsiString& SearchStr, int StartPos, int Length,
                              TSearchTypes Options) const {
    if (SearchStr.empty()) return -1;
    QTextDocument::FindFlags flags;
    if (Options.Contains(stWholeWord)) flags |= QTextDocument::FindWholeWords;
    if (Options.Contains(stMatchCase)) flags |= QTextDocument::FindCaseSensitively;
    int start = std::clamp(StartPos, 0, GetTextLength());
    QTextCursor from(FDocument.get());
    from.setPosition(start);
    QTextCursor found = FDocument->find(Q(SearchStr), from, flags);
    if (found.isNull() || found.selectionEnd() > start + Length) return -1;
    return found.selectionStart();
}

TRtfDocument TCustomRichEdit::GetRichText() const {
    TRtfDocument r;
    const QTextDocument& doc = *FDocument;
    // The document keeps each block format once: so do the stops read from it.
    std::unordered_map<int, TRtfTabs> tabsOfFormat;
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!first) r.Paragraphs.emplace_back();
        first = false;
        TRtfParagraph& p = r.Paragraphs.back();
        QTextBlockFormat bf = b.blockFormat();
        TAlignment a = bf.hasProperty(QTextFormat::BlockAlignment) ? AlignmentOf(bf.alignment()) : FAlignment;
        p.Format.Align = bf.hasProperty(QTextFormat::BlockAlignment) && (bf.alignment() & Qt::AlignJustify)
                             ? TRtfAlign::Justify
                         : a == taCenter       ? TRtfAlign::Center
                         : a == taRightJustify ? TRtfAlign::Right
                                               : TRtfAlign::Left;
        p.Format.LeftTw = PixelsToTwips(bf.leftMargin());
        p.Format.FirstTw = PixelsToTwips(bf.textIndent());
        p.Format.RightTw = PixelsToTwips(bf.rightMargin());
        p.Format.Bullet = b.textList() != nullptr;
        auto known = tabsOfFormat.find(b.blockFormatIndex());
        if (known == tabsOfFormat.end()) {
            std::vector<int> tabs;
            for (int t : TabsOf(bf))
                if (t > 0) tabs.push_back(t);
            std::sort(tabs.begin(), tabs.end());
            tabs.erase(std::unique(tabs.begin(), tabs.end()), tabs.end());
            if (tabs.size() > static_cast<size_t>(RtfMaxTabs)) tabs.resize(RtfMaxTabs);
            known = tabsOfFormat.emplace(b.blockFormatIndex(), TRtfTabs(std::move(tabs))).first;
        }
        p.Format.TabsTw = known->second;
        p.MarkFormat = RtfCharFormat(r, doc, b.charFormat());
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment f = it.fragment();
            if (f.isValid()) r.AppendText(RtfCharFormat(r, doc, f.charFormat()), FromDocumentText(f.text()));
        }
    }
    return r;
}

void TCustomRichEdit::SetRichText(const TRtfDocument& R) {
    ReplaceText([&](QTextDocument& Doc) {
        QTextCursor c(&Doc);
        c.beginEditBlock(); // one change for all
        QTextList* list = nullptr;
        std::map<std::tuple<int, int, int, int>, QTextCharFormat> formats; // made once per format
        auto charFormat = [&](const TRtfCharFormat& F) -> const QTextCharFormat& {
            int style = (F.Bold ? 1 : 0) | (F.Italic ? 2 : 0) | (F.Underline ? 4 : 0) | (F.StrikeOut ? 8 : 0);
            auto key = std::make_tuple(F.Font, F.HalfPoints, style, F.Color);
            auto it = formats.find(key);
            if (it == formats.end()) it = formats.emplace(key, QtCharFormat(R, F)).first;
            return it->second;
        };
        for (size_t i = 0; i < R.Paragraphs.size(); ++i) {
            const TRtfParagraph& p = R.Paragraphs[i];
            QTextBlockFormat bf;
            bf.setAlignment(p.Format.Align == TRtfAlign::Center    ? Qt::AlignHCenter
                            : p.Format.Align == TRtfAlign::Right   ? Qt::AlignRight
                            : p.Format.Align == TRtfAlign::Justify ? Qt::AlignJustify
                                                                   : Qt::AlignLeft);
            bf.setLeftMargin(TwipsToPixels(p.Format.LeftTw));
            bf.setTextIndent(TwipsToPixels(p.Format.FirstTw));
            bf.setRightMargin(TwipsToPixels(p.Format.RightTw));
            PutTabs(bf, p.Format.TabsTw);
            const QTextCharFormat& mark = charFormat(p.MarkFormat);
            if (i == 0) {
                c.setBlockFormat(bf);
                c.setBlockCharFormat(mark);
            } else {
                c.insertBlock(bf, mark);
            }
            // The paragraph's text decoded once; each run goes in as a view of it.
            std::string all;
            for (const TRtfRun& run : p.Runs)
                all += run.Text;
            QString text = ToDocumentText(all);
            std::vector<qsizetype> units;
            qsizetype total = 0;
            for (const TRtfRun& run : p.Runs)
                total += units.emplace_back(Utf16Length(run.Text));
            qsizetype at = 0;
            for (size_t r = 0; r < p.Runs.size(); ++r) {
                // Text that is no valid UTF-8 decodes run by run.
                QString piece = total == text.size() ? QString::fromRawData(text.constData() + at, units[r])
                                                     : ToDocumentText(p.Runs[r].Text);
                c.insertText(piece, charFormat(p.Runs[r].Format));
                at += units[r];
            }
            if (!p.Format.Bullet)
                list = nullptr;
            else if (list)
                list->add(c.block());
            else
                list = c.createList(QTextListFormat::ListDisc);
        }
        c.endEditBlock();
    });
}

// ---- Messages ---------------------------------------------------------------

void TCustomRichEdit::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        WMGetDlgCode(Message);
        break;
    case EM_STREAMIN:
        EMStreamIn(Message);
        break;
    case EM_STREAMOUT:
        EMStreamOut(Message);
        break;
    case EM_SETRECT:
        EMSetRect(Message);
        break;
    case EM_GETRECT: {
        auto* r = reinterpret_cast<QRect*>(Message.LParam);
        if (r) *r = FHasEditRect ? FEditRect : GetClientRect();
        break;
    }
    case EM_CANUNDO:
        Message.Result = FDocument->isUndoAvailable() ? 1 : 0;
        break;
    case EM_EMPTYUNDOBUFFER:
        FDocument->clearUndoRedoStacks();
        break;
    case WM_SETREDRAW:
        WMSetRedraw(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

void TCustomRichEdit::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CHAR: {
        TKeyChar c = static_cast<TKeyChar>(Message.WParam);
        Cardinal clip = c == 22 ? WM_PASTE : c == 24 ? WM_CUT : c == 3 ? WM_COPY : c == 26 ? WM_UNDO : 0;
        // A character or paragraph break that does not fit is not typed.
        bool refused = (c == 13 && !FWantReturns) ||
                       ((c >= 32 || c == 9 || c == 10 || c == 13) && !FReadOnly && Room() < 1);
        if (clip || refused || c == 10) {
            Handled(Message);
            if (clip) Perform(clip);
            if (c == 10 && !refused && !FReadOnly) { // Ctrl+Return: a new paragraph, as Return
                QTextCursor cursor = TextCursor();
                cursor.insertBlock();
                SetTextCursor(cursor);
            }
            return;
        }
        break;
    }
    case WM_PASTE:
        if (FWidget && !FReadOnly) Editor()->paste();
        return;
    case WM_CUT:
        if (FWidget && !FReadOnly) Editor()->cut();
        return;
    case WM_COPY:
        if (FWidget) Editor()->copy();
        return;
    case WM_UNDO:
    case EM_UNDO:
        if (!FReadOnly) {
            QTextCursor c = TextCursor();
            FDocument->undo(&c);
            SetTextCursor(c);
        }
        return;
    case WM_CLEAR:
        if (!FReadOnly) {
            QTextCursor c = TextCursor();
            c.removeSelectedText();
            SetTextCursor(c);
        }
        return;
    case WM_CONTEXTMENU: // no menu of Qt's own: only the control's PopupMenu
        Handled(Message);
        return;
    default:
        break;
    }
    TWinControl::DefaultHandler(Message);
}

void TCustomRichEdit::WMGetDlgCode(TMessage& Message) {
    Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (FWantTabs) Message.Result |= DLGC_WANTTAB;
    if (FWantReturns) Message.Result |= DLGC_WANTALLKEYS;
}

void TCustomRichEdit::EMStreamIn(TMessage& Message) {
    auto* stream = reinterpret_cast<EDITSTREAM*>(Message.LParam);
    Message.Result = 0;
    if (!stream || !stream->pfnCallback) return;
    std::string data;
    std::vector<Byte> buffer(65536);
    bool failed = false;
    for (;;) {
        LONG done = 0;
        DWORD error =
            stream->pfnCallback(stream->dwCookie, buffer.data(), static_cast<LONG>(buffer.size()), &done);
        done = std::clamp<LONG>(done, 0, static_cast<LONG>(buffer.size()));
        data.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(done));
        if (error != 0) {
            stream->dwError = error;
            failed = true;
            break;
        }
        if (done == 0) break;
    }
    Message.Result = static_cast<LRESULT>(data.size());
    // A transfer that failed half-way leaves the text as it was: nothing is lost.
    if (failed) return;
    // RTF asked for but plain text given reads as the text it is.
    if ((Message.WParam & SF_RTF) && LooksLikeRtf(data.data(), data.size())) {
        TRtfDocument document = ReadRtf(data);
        std::string().swap(data); // the bytes are read: their memory goes before the editor's grows
        SetRichText(document);
    } else {
        SetText(data);
    }
}

void TCustomRichEdit::EMStreamOut(TMessage& Message) {
    auto* stream = reinterpret_cast<EDITSTREAM*>(Message.LParam);
    Message.Result = 0;
    if (!stream || !stream->pfnCallback) return;
    std::string data = (Message.WParam & SF_RTF) ? WriteRtf(GetRichText()) : GetText();
    size_t at = 0;
    while (at < data.size()) {
        LONG chunk = static_cast<LONG>(std::min<size_t>(data.size() - at, 4096));
        LONG done = 0;
        DWORD error =
            stream->pfnCallback(stream->dwCookie, reinterpret_cast<LPBYTE>(data.data() + at), chunk, &done);
        if (error != 0) {
            stream->dwError = error;
            break;
        }
        if (done <= 0) break; // the taker takes no more
        at += static_cast<size_t>(std::min(done, chunk));
    }
    Message.Result = static_cast<LRESULT>(at);
}

void TCustomRichEdit::EMSetRect(TMessage& Message) {
    auto* r = reinterpret_cast<const QRect*>(Message.LParam);
    if (!r) {
        FHasEditRect = false;
    } else {
        FHasEditRect = true;
        FEditRect = *r;
    }
    ApplyEditRect();
}

void TCustomRichEdit::ApplyEditRect() {
    auto* w = static_cast<TRichEditWidget*>(FWidget);
    if (!w) return;
    if (!FHasEditRect) {
        w->SetMargins(0, 0, 0, 0);
        return;
    }
    w->SetMargins(std::max(0, FEditRect.left()), std::max(0, FEditRect.top()),
                  std::max(0, GetClientWidth() - FEditRect.right() - 1),
                  std::max(0, GetClientHeight() - FEditRect.bottom() - 1));
}

void TCustomRichEdit::WMSetRedraw(TMessage& Message) {
    if (!FWidget) return;
    bool on = Message.WParam != 0;
    Editor()->viewport()->setUpdatesEnabled(on);
    FWidget->setUpdatesEnabled(on);
}

// ---- TCustomUpDown ---------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomUpDown, &TWinControl::ClassInfo())
KV_METACLASS(TUpDown, &TCustomUpDown::ClassInfo())

void TCustomUpDown::Publish(TPublisher<TCustomUpDown>& P) {
    P.Prop("Increment", &TCustomUpDown::GetIncrement, &TCustomUpDown::SetIncrement).Default(1);
    P.Prop("Max", &TCustomUpDown::GetMax, &TCustomUpDown::SetMax).Default(100);
    P.Prop("Min", &TCustomUpDown::GetMin, &TCustomUpDown::SetMin).Default(0);
    P.Prop("Position", &TCustomUpDown::GetPosition, &TCustomUpDown::SetPosition).Default(0);
    P.Prop("Thousands", &TCustomUpDown::GetThousands, &TCustomUpDown::SetThousands).Default(true);
    P.Prop("Wrap", &TCustomUpDown::GetWrap, &TCustomUpDown::SetWrap).Default(false);
    P.Prop("OnChanging", &TCustomUpDown::OnChanging, &TCustomUpDown::OnChanging);
    P.Prop("OnClick", &TCustomUpDown::OnClick, &TCustomUpDown::OnClick);
}

TCustomUpDown::TCustomUpDown(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csSetCaption >> csClickEvents;
    SetBounds(0, 0, 17, 25);
}

void TCustomUpDown::SetMin(int Value) {
    FMin = Value;
    if (FPosition < FMin) FPosition = FMin;
}

void TCustomUpDown::SetMax(int Value) {
    FMax = Value;
    if (FPosition > FMax) FPosition = FMax;
}

void TCustomUpDown::SetPosition(int Value) {
    if (!IsLoading()) Value = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
    if (Value == FPosition) return;
    if (!IsDesigning() && !IsLoading() && !CanChange()) return;
    FPosition = Value;
}

bool TCustomUpDown::CanChange() {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    return allow;
}

void TCustomUpDown::Click(TUDBtnType Button) {
    if (OnClick) OnClick(this, Button);
}

void TCustomUpDown::ArrowPressed(TUDBtnType Button) {
    long long next = static_cast<long long>(FPosition) + (Button == btNext ? FIncrement : -FIncrement);
    if (next > FMax)
        next = FWrap ? FMin : FMax;
    else if (next < FMin)
        next = FWrap ? FMax : FMin;
    if (next == FPosition || !CanChange()) return;
    FPosition = static_cast<int>(next);
    Click(Button);
}

QWidget* TCustomUpDown::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<QWidget>(this, Params.WndParent);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (TUDBtnType button : {btNext, btPrev}) {
        auto* b = new QToolButton(w);
        b->setArrowType(button == btNext ? Qt::UpArrow : Qt::DownArrow);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        b->setObjectName(button == btNext ? "up" : "down");
        layout->addWidget(b);
        QObject::connect(b, &QToolButton::clicked, w,
                         [this, button] { GuardedCall(this, [this, button] { ArrowPressed(button); }); });
    }
    return w;
}

void TCustomUpDown::InitWidget() {
    TWinControl::InitWidget();
    FWidget->setFocusPolicy(Qt::NoFocus);
}
