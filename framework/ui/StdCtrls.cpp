#include "StdCtrls.h"

#include "Clipbrd.h"
#include "Forms.h"
#include "StdCtrlsInternal.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextOption>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// The forms' check boxes are 13 pixels high, the size of the check mark's
// box on the platform they were designed on; the style's own box is larger
// and would lose its lower edge. Check boxes draw theirs at most that size.
class TDesignedIndicatorStyle : public QProxyStyle {
public:
    static constexpr int DesignedIndicator = 13;
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option, const QWidget* Widget) const override {
        int value = QProxyStyle::pixelMetric(Metric, Option, Widget);
        if (Metric == PM_IndicatorWidth || Metric == PM_IndicatorHeight)
            return std::min(value, DesignedIndicator);
        return value;
    }
};

// One for all check boxes, going with the Qt application that owns it.
QStyle* DesignedIndicatorStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new TDesignedIndicatorStyle;
        style->setParent(QApplication::instance());
    }
    return style;
}

Qt::Alignment QtAlignment(TAlignment a) {
    switch (a) {
    case taRightJustify:
        return Qt::AlignRight | Qt::AlignTop;
    case taCenter:
        return Qt::AlignHCenter | Qt::AlignTop;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

// The accelerator letter of a caption (upper-cased), or 0.
TKeyChar AccelChar(const AnsiString& Caption) {
    QString s = Q(Caption);
    for (int i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '&') continue;
        if (s[i + 1] == '&') {
            ++i;
            continue;
        }
        return s[i + 1].toUpper().unicode();
    }
    return 0;
}

} // namespace

AnsiString StripAccelChars(const AnsiString& Caption) {
    AnsiString out;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Caption[i];
    }
    return out;
}

// ---- TCustomEdit ----------------------------------------------------------

namespace {

bool IsLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The control's text has CR LF line breaks, the widget's LF.
QString ToWidgetText(const AnsiString& s) {
    QString t = Q(s);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

AnsiString FromWidgetText(const QString& s) {
    QString t;
    t.reserve(s.size());
    for (QChar c : s)
        if (IsLineBreak(c))
            t += QLatin1String("\r\n");
        else
            t += c;
    return t.toStdString();
}

bool StartsPair(const QString& s, qsizetype i) {
    return s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate();
}

// The control's position of index Index of the widget text s.
int PosOfIndex(const QString& s, qsizetype Index) {
    int pos = 0;
    for (qsizetype i = 0; i < Index && i < s.size(); i += StartsPair(s, i) ? 2 : 1)
        pos += IsLineBreak(s[i]) ? 2 : 1;
    return pos;
}

// The widget index of control position Pos; a position inside a line break
// goes before it, one past the end to the end.
qsizetype IndexOfPos(const QString& s, int Pos) {
    int pos = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        int step = IsLineBreak(s[i]) ? 2 : 1;
        if (pos + step > Pos) break;
        pos += step;
        i += StartsPair(s, i) ? 2 : 1;
    }
    return i;
}

// Length in positions of a control text: its code points (CR LF are two).
int TextLength(const AnsiString& s) {
    int n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

// Shows the password character the control asks for, not the style's bullet.
class TPasswordStyle : public QProxyStyle {
public:
    explicit TPasswordStyle(QChar C)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), FChar(C) {}
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_LineEdit_PasswordCharacter) return FChar.unicode();
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }

private:
    QChar FChar;
};

// The default formatting rectangle of a multi-line window: the client area
// less a pixel left and right.
const QMargins DefaultFormatMargins(1, 0, 1, 0);

} // namespace

// What the edit windows need of their control, and the context menu both
// kinds show: its items go through the control's messages.
class TEditWindows {
public:
    static void ContextMenu(QWidget* Widget, QMenu* Menu, QPoint At) {
        std::unique_ptr<QMenu> menu(Menu);
        auto* edit = dynamic_cast<TCustomEdit*>(FindControl(Widget));
        if (!edit) return;
        std::weak_ptr<int> life = edit->Life();
        static const std::pair<const char*, Cardinal> items[] = {{"edit-undo", WM_UNDO},
                                                                 {"edit-cut", WM_CUT},
                                                                 {"edit-copy", WM_COPY},
                                                                 {"edit-paste", WM_PASTE},
                                                                 {"edit-delete", WM_CLEAR}};
        for (QAction* a : menu->actions()) {
            if (a->objectName() == QLatin1String("edit-redo")) {
                menu->removeAction(a); // the platform's edits have one undo level, no redo
                continue;
            }
            for (const auto& [name, msg] : items) {
                if (a->objectName() != QLatin1String(name)) continue;
                QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
                Cardinal m = msg;
                QObject::connect(a, &QAction::triggered, a, [edit, life, m] {
                    if (!life.expired()) GuardedCall(edit, [&] { edit->Perform(m); });
                });
            }
        }
        menu->exec(At);
    }
};

void CommitInputAsChars(QWidget* Widget, QInputMethodEvent* Event,
                        const std::function<void(QInputMethodEvent*)>& Base) {
    TControl* control = FindControl(Widget);
    if (!control || Event->commitString().isEmpty()) {
        Base(Event);
        return;
    }
    std::weak_ptr<int> life = control->Life();
    QString kept;
    GuardedCall(control, [&] {
        for (uint point : Event->commitString().toUcs4()) {
            char32_t c = point;
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&c, 1));
            TMessageContext ctx;
            ctx.Kind = TMessageContext::ckChar;
            ctx.Event = &key;
            ctx.OriginalChar = c;
            ctx.Default = [&kept](QEvent* e) {
                kept += static_cast<QKeyEvent*>(e)->text();
                return true;
            };
            TMessage m;
            m.Msg = WM_CHAR;
            m.WParam = c;
            m.Context = &ctx;
            control->WindowProc(m);
            if (life.expired()) return;
        }
    });
    if (life.expired()) return;
    QInputMethodEvent filtered(Event->preeditString(), Event->attributes());
    filtered.setCommitString(kept, Event->replacementStart(), Event->replacementLength());
    Base(&filtered);
}

namespace {

class TLineEditWidget : public TControlWidget<QLineEdit> {
public:
    using TControlWidget<QLineEdit>::TControlWidget;
    QRect CaretRect() const { return cursorRect(); }

protected:
    void contextMenuEvent(QContextMenuEvent* Event) override {
        TEditWindows::ContextMenu(this, createStandardContextMenu(), Event->globalPos());
    }
    void inputMethodEvent(QInputMethodEvent* Event) override {
        CommitInputAsChars(this, Event, [this](QInputMethodEvent* e) { QLineEdit::inputMethodEvent(e); });
    }
};

// The multi-line window. The formatting rectangle is the viewport (inside
// the frame and scroll bars, less its margins).
class TMultiLineWidget : public TScrollAreaWidget<QPlainTextEdit> {
public:
    using TScrollAreaWidget<QPlainTextEdit>::TScrollAreaWidget;
    void SetFormatMargins(const QMargins& Margins) { setViewportMargins(Margins); }
    QMargins FormatMargins() const { return viewportMargins(); }
    std::vector<int> TabStops; // dialog units, as EM_SETTABSTOPS set them

protected:
    void contextMenuEvent(QContextMenuEvent* Event) override {
        TEditWindows::ContextMenu(this, createStandardContextMenu(), Event->globalPos());
    }
    void inputMethodEvent(QInputMethodEvent* Event) override {
        CommitInputAsChars(this, Event, [this](QInputMethodEvent* e) { QPlainTextEdit::inputMethodEvent(e); });
    }
};

// Pixels of a tab stop in dialog units: a quarter of the font's average
// character width each, measured as the platform does.
int TabStopPixels(const QFont& Font, int DialogUnits) {
    QFontMetrics fm(Font);
    int average =
        (fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 +
         1) /
        2;
    Int64 units = std::clamp(DialogUnits, 0, MaxTabStop);
    return static_cast<int>(units * average / 4);
}

void ApplyTabStops(TMultiLineWidget* W) {
    QTextOption o = W->document()->defaultTextOption();
    const std::vector<int>& stops = W->TabStops;
    QList<QTextOption::Tab> tabs;
    int every = 32;
    if (stops.size() == 1)
        every = stops[0];
    else
        for (int s : stops)
            tabs.append(QTextOption::Tab(TabStopPixels(W->font(), s), QTextOption::LeftTab));
    o.setTabs(tabs);
    o.setTabStopDistance(std::max(1, TabStopPixels(W->font(), every)));
    W->document()->setDefaultTextOption(o);
}

// A single-line editor forgets what it could undo.
void ClearLineUndo(QLineEdit* E) {
    int start = E->selectionStart(), length = static_cast<int>(E->selectedText().size());
    int cursor = E->cursorPosition();
    bool modified = E->isModified();
    E->setText(E->text());
    if (start >= 0)
        E->setSelection(cursor == start ? start + length : start, cursor == start ? -length : length);
    else
        E->setCursorPosition(cursor);
    E->setModified(modified);
}

} // namespace

KV_ABSTRACT_METACLASS(TCustomEdit, &TWinControl::ClassInfo())
KV_PUBLISHED_METACLASS(TEdit, &TCustomEdit::ClassInfo())

namespace {

// What edits and memos publish alike.
template <class C> void PublishEdit(TPublisher<C>& P) {
    P.Prop("BorderStyle", &TCustomEdit::GetBorderStyle, &TCustomEdit::SetBorderStyle).Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const C& e) { return !e.GetParentColor(); });
    P.Prop("HideSelection", &TCustomEdit::GetHideSelection, &TCustomEdit::SetHideSelection).Default(true);
    P.Prop("MaxLength", &TCustomEdit::GetMaxLength, &TCustomEdit::SetMaxLength).Default(0);
    P.Prop("OEMConvert", &TCustomEdit::GetOEMConvert, &TCustomEdit::SetOEMConvert).Default(false);
    P.Prop("ReadOnly", &TCustomEdit::GetReadOnly, &TCustomEdit::SetReadOnly).Default(false);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("OnChange", &TCustomEdit::OnChange, &TCustomEdit::OnChange);
}

} // namespace

void TEdit::Publish(TPublisher<TEdit>& P) {
    PublishEdit(P);
    P.Prop("AutoSelect", &TCustomEdit::GetAutoSelect, &TCustomEdit::SetAutoSelect).Default(true);
    P.Prop("CharCase", &TCustomEdit::GetCharCase, &TCustomEdit::SetCharCase).Default(ecNormal);
    P.Prop("PasswordChar", &TCustomEdit::GetPasswordChar, &TCustomEdit::SetPasswordChar).Default('\0');
    P.Prop("Text", &TControl::GetText, &TControl::SetText);
}

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csClickEvents >> csSetCaption;
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
}

QLineEdit* TCustomEdit::Edit() const {
    return dynamic_cast<QLineEdit*>(FWidget);
}

QPlainTextEdit* TCustomEdit::MultiLineEdit() const {
    return dynamic_cast<QPlainTextEdit*>(FWidget);
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
    if (FPasswordChar) Params.Style |= ES_PASSWORD;
    if (FReadOnly) Params.Style |= ES_READONLY;
}

QWidget* TCustomEdit::CreateWidget(const TCreateParams& Params) {
    if (Params.Style & ES_MULTILINE) return new TMultiLineWidget(this, Params.WndParent);
    return new TLineEditWidget(this, Params.WndParent);
}

void TCustomEdit::InitWidget() {
    TWinControl::InitWidget();
    FPushing = true;
    if (QLineEdit* e = Edit()) {
        e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
        // A memo's single-line window keeps the memo's sunken edge (see Paint).
        bool edge = HasSunkenEdge();
        e->setFrame(FBorderStyle == bsSingle && !edge);
        if (edge) e->setContentsMargins(2, 2, 2, 2);
        e->setReadOnly(FReadOnly);
        e->setAcceptDrops(false); // text comes in through the messages only
        e->setText(ToWidgetText(FText));
        QObject::connect(e, &QLineEdit::textChanged, e, [this](const QString& t) {
            if (FPushing) return;
            GuardedCall(this, [&] { UserChangedText(t.toStdString()); });
        });
    } else if (auto* m = static_cast<TMultiLineWidget*>(MultiLineEdit())) {
        m->setFrameStyle(FBorderStyle == bsSingle ? (QFrame::WinPanel | QFrame::Sunken) : QFrame::NoFrame);
        m->document()->setDocumentMargin(0);
        m->SetFormatMargins(DefaultFormatMargins);
        m->setReadOnly(FReadOnly);
        m->setAcceptDrops(false);
        m->viewport()->setAcceptDrops(false);
        m->setPlainText(ToWidgetText(FText));
        ApplyTabStops(m);
        QObject::connect(m, &QPlainTextEdit::textChanged, m, [this, m] {
            if (FPushing) return;
            GuardedCall(this, [&] { UserChangedText(FromWidgetText(m->toPlainText())); });
        });
    }
    UpdatePassword();
    UpdateHideSelection();
    SetSelectionOfWidget(FSelStart, FSelLength);
    FPushing = false;
}

void TCustomEdit::DestroyWnd() {
    // The next window shows the selection again.
    FSelStart = GetSelStart();
    FSelLength = GetSelLength();
    TWinControl::DestroyWnd();
}

QString TCustomEdit::WidgetText() const {
    if (QLineEdit* e = Edit()) return e->text();
    if (QPlainTextEdit* m = MultiLineEdit()) return m->toPlainText();
    return ToWidgetText(FText);
}

void TCustomEdit::UserChangedText(const AnsiString& Text) {
    if (Text == FText) return;
    FText = Text;
    FModified = true;
    Change();
}

void TCustomEdit::TextChanged() {
    // Text set by code leaves the edit unmodified, with nothing to undo.
    FModified = false;
    if (QLineEdit* e = Edit()) {
        if (e->text().toStdString() != FText) {
            FPushing = true;
            e->setText(ToWidgetText(FText));
            FPushing = false;
        }
    } else if (QPlainTextEdit* m = MultiLineEdit()) {
        FPushing = true;
        m->setPlainText(ToWidgetText(FText));
        FPushing = false;
    } else {
        FSelStart = FSelLength = 0;
    }
    Change();
}

void TCustomEdit::FontChanged() {
    TWinControl::FontChanged();
    if (auto* m = static_cast<TMultiLineWidget*>(MultiLineEdit())) ApplyTabStops(m);
}

void TCustomEdit::Change() {
    if (IsLoading()) return;
    if (OnChange) OnChange(this);
}

void TCustomEdit::SetMaxLength(int Value) {
    if (Value == FMaxLength) return;
    FMaxLength = Value;
    if (QLineEdit* e = Edit()) e->setMaxLength(Value > 0 ? Value : 32767);
}

void TCustomEdit::SetPasswordChar(char Value) {
    if (Value == FPasswordChar) return;
    FPasswordChar = Value;
    UpdatePassword();
}

void TCustomEdit::UpdatePassword() {
    // Only a single-line window hides its text.
    QLineEdit* e = Edit();
    if (!e) return;
    if (FPasswordChar) {
        auto* style = new TPasswordStyle(QChar(static_cast<unsigned char>(FPasswordChar)));
        QStyle* old = e->style();
        e->setStyle(style);
        style->setParent(e);
        if (dynamic_cast<TPasswordStyle*>(old)) old->deleteLater();
        e->setEchoMode(QLineEdit::Password);
    } else {
        e->setEchoMode(QLineEdit::Normal);
    }
}

void TCustomEdit::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    if (QLineEdit* e = Edit()) e->setReadOnly(Value);
    if (QPlainTextEdit* m = MultiLineEdit()) m->setReadOnly(Value);
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
    if (Value != bsNone && Value != bsSingle) return;
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCustomEdit::SetHideSelection(bool Value) {
    if (Value == FHideSelection) return;
    FHideSelection = Value;
    UpdateHideSelection();
}

void TCustomEdit::UpdateHideSelection() {
    if (!FWidget) return;
    // The selection is drawn in the inactive colours while the focus is elsewhere.
    QPalette pal = FWidget->palette();
    QPalette app = QApplication::palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 FHideSelection ? pal.color(QPalette::Inactive, QPalette::Base)
                                : app.color(QPalette::Inactive, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 FHideSelection ? pal.color(QPalette::Inactive, QPalette::Text)
                                : app.color(QPalette::Inactive, QPalette::HighlightedText));
    FWidget->setPalette(pal);
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
    if (Value == FCharCase) return;
    FCharCase = Value;
    if (Value == ecNormal) return;
    QString t = Q(FText);
    SetText((Value == ecUpperCase ? t.toUpper() : t.toLower()).toStdString());
}

int TCustomEdit::GetSelStart() const {
    if (QLineEdit* e = Edit()) {
        int start = e->selectionStart();
        return PosOfIndex(e->text(), start < 0 ? e->cursorPosition() : start);
    }
    if (QPlainTextEdit* m = MultiLineEdit())
        return PosOfIndex(m->toPlainText(), m->textCursor().selectionStart());
    return FSelStart;
}

int TCustomEdit::GetSelLength() const {
    if (QLineEdit* e = Edit()) {
        int start = e->selectionStart();
        if (start < 0) return 0;
        QString t = e->text();
        return PosOfIndex(t, start + e->selectedText().size()) - PosOfIndex(t, start);
    }
    if (QPlainTextEdit* m = MultiLineEdit()) {
        QString t = m->toPlainText();
        QTextCursor c = m->textCursor();
        return PosOfIndex(t, c.selectionEnd()) - PosOfIndex(t, c.selectionStart());
    }
    return FSelLength;
}

void TCustomEdit::SetSelStart(int Value) {
    SetSelection(Value, 0);
}

void TCustomEdit::SetSelLength(int Value) {
    SetSelection(GetSelStart(), Value);
}

void TCustomEdit::SetSelection(int Start, int Length) {
    if (FWidget) {
        SetSelectionOfWidget(Start, Length);
        return;
    }
    int length = TextLength(FText);
    FSelStart = std::clamp(Start, 0, length);
    FSelLength = std::clamp(Length, 0, length - FSelStart);
}

// The caret ends at the selection's end, as the platform's edits put it.
void TCustomEdit::SetSelectionOfWidget(int Start, int Length) {
    QString t = WidgetText();
    qsizetype a = IndexOfPos(t, std::max(Start, 0));
    qsizetype b = IndexOfPos(t, std::max(Start, 0) + std::max(Length, 0));
    if (QLineEdit* e = Edit()) {
        if (b > a)
            e->setSelection(static_cast<int>(a), static_cast<int>(b - a));
        else
            e->setCursorPosition(static_cast<int>(a));
    } else if (QPlainTextEdit* m = MultiLineEdit()) {
        // Selecting does not scroll: EM_SCROLLCARET does.
        int h = m->horizontalScrollBar()->value(), v = m->verticalScrollBar()->value();
        QTextCursor c = m->textCursor();
        c.setPosition(static_cast<int>(a));
        c.setPosition(static_cast<int>(b), QTextCursor::KeepAnchor);
        m->setTextCursor(c);
        m->horizontalScrollBar()->setValue(h);
        m->verticalScrollBar()->setValue(v);
    }
}

AnsiString TCustomEdit::GetSelText() const {
    if (QLineEdit* e = Edit()) return e->selectedText().toStdString();
    if (QPlainTextEdit* m = MultiLineEdit()) return FromWidgetText(m->textCursor().selectedText());
    QString t = ToWidgetText(FText);
    qsizetype a = IndexOfPos(t, FSelStart);
    return FromWidgetText(t.mid(a, IndexOfPos(t, FSelStart + FSelLength) - a));
}

void TCustomEdit::SetSelText(const AnsiString& Value) {
    ReplaceSelection(Value, false);
}

void TCustomEdit::SelectAll() {
    if (QLineEdit* e = Edit()) e->selectAll();
    if (QPlainTextEdit* m = MultiLineEdit()) m->selectAll();
    if (!FWidget) SetSelection(0, TextLength(FText));
}

void TCustomEdit::ReplaceSelection(const AnsiString& Text, bool CanUndo) {
    QString insert = ToWidgetText(Text);
    if (QLineEdit* e = Edit()) {
        e->insert(insert);
        if (!CanUndo) ClearLineUndo(e);
        return;
    }
    // The limit counts what stays of the text around the selection.
    if (FMaxLength > 0) {
        int room = FMaxLength - (TextLength(FText) - GetSelLength());
        insert.truncate(IndexOfPos(insert, std::max(room, 0)));
    }
    if (QPlainTextEdit* m = MultiLineEdit()) {
        QTextCursor c = m->textCursor();
        c.insertText(insert);
        m->setTextCursor(c);
        if (!CanUndo) m->document()->clearUndoRedoStacks();
        return;
    }
    QString t = ToWidgetText(FText);
    qsizetype a = IndexOfPos(t, FSelStart), b = IndexOfPos(t, FSelStart + FSelLength);
    t.replace(a, b - a, insert);
    FSelStart = PosOfIndex(t, a + insert.size());
    FSelLength = 0;
    UserChangedText(FromWidgetText(t));
}

bool TCustomEdit::HasSunkenEdge() const {
    return FBorderStyle == bsSingle && (IsMultiLineWindow() || dynamic_cast<const TCustomMemo*>(this));
}

int TCustomEdit::BorderPixels() const {
    if (FBorderStyle != bsSingle) return 0;
    if (HasSunkenEdge()) return 2;
    return QApplication::instance() ? QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 1;
}

void TCustomEdit::Paint(QPainter& Painter) {
    if (Edit() && HasSunkenEdge()) qDrawWinPanel(&Painter, FWidget->rect(), FWidget->palette(), true);
}

int TCustomEdit::ScrollBarPixels(bool Vertical) const {
    TCreateParams p;
    const_cast<TCustomEdit*>(this)->CreateParams(p);
    if (!(p.Style & ES_MULTILINE) || !(p.Style & (Vertical ? WS_VSCROLL : WS_HSCROLL))) return 0;
    return QApplication::instance() ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

bool TCustomEdit::IsMultiLineWindow() const {
    if (FWidget) return MultiLineEdit() != nullptr;
    TCreateParams p;
    const_cast<TCustomEdit*>(this)->CreateParams(p);
    return (p.Style & ES_MULTILINE) != 0;
}

int TCustomEdit::GetClientWidth() const {
    return std::max(0, GetWidth() - 2 * BorderPixels() - ScrollBarPixels(true));
}

int TCustomEdit::GetClientHeight() const {
    return std::max(0, GetHeight() - 2 * BorderPixels() - ScrollBarPixels(false));
}

void TCustomEdit::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        // A multi-line window also wants Return, Escape and Tab.
        Message.Result =
            DLGC_WANTARROWS | DLGC_WANTCHARS | (IsMultiLineWindow() ? DLGC_WANTALLKEYS | DLGC_WANTTAB : 0);
        break;
    case CM_ENTER:
        // Entering by mouse click keeps the caret where the click put it; a
        // multi-line window keeps its selection.
        if (FAutoSelect && !(QApplication::mouseButtons() & Qt::LeftButton) && Edit()) SelectAll();
        TWinControl::Dispatch(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

namespace {

// Marks the Qt event behind a message as handled here.
void Handled(TMessage& Message) {
    if (Message.Context) {
        Message.Context->Done = true;
        Message.Context->Result = true;
    }
}

} // namespace

void TCustomEdit::DefaultHandler(TMessage& Message) {
    QLineEdit* line = Edit();
    auto* multi = static_cast<TMultiLineWidget*>(MultiLineEdit());
    switch (Message.Msg) {
    case WM_CHAR: {
        TKeyChar c = static_cast<TKeyChar>(Message.WParam);
        Cardinal clip = c == 22 ? WM_PASTE : c == 24 ? WM_CUT : c == 3 ? WM_COPY : c == 26 ? WM_UNDO : 0;
        if (clip) {
            Handled(Message);
            Perform(clip);
            return;
        }
        // A full multi-line window takes no more characters.
        if (multi && FMaxLength > 0 && (c >= 32 || c == 9 || c == 13) &&
            TextLength(FText) - GetSelLength() + (c == 13 ? 2 : 1) > FMaxLength) {
            Handled(Message);
            return;
        }
        if (FCharCase != ecNormal && c >= 32) {
            QString s = QString::fromUcs4(&c, 1);
            s = FCharCase == ecUpperCase ? s.toUpper() : s.toLower();
            Message.WParam = s.toUcs4().value(0);
        }
        break;
    }
    case WM_KEYDOWN: {
        // The other clipboard keys come through the messages as well.
        TShiftState shift = KeyDataToShiftState(Message.LParam);
        Word key = static_cast<Word>(Message.WParam);
        Cardinal clip = 0;
        if (shift == TShiftState{ssShift} && key == VK_INSERT) clip = WM_PASTE;
        if (shift == TShiftState{ssShift} && key == VK_DELETE) clip = WM_CUT;
        if (shift == TShiftState{ssCtrl} && key == VK_INSERT) clip = WM_COPY;
        if (clip) {
            Handled(Message);
            Perform(clip);
            return;
        }
        break;
    }
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        // No pasting of the selection by the middle button.
        Handled(Message);
        return;
    case WM_PASTE:
        if (FReadOnly) return;
        if (line) line->paste();
        if (multi && Clipboard().HasFormat(CF_TEXT)) ReplaceSelection(Clipboard().GetAsText(), true);
        return;
    case WM_CUT:
        if (line && !FReadOnly) line->cut();
        if (multi && !FReadOnly) multi->cut();
        return;
    case WM_COPY:
        if (line) line->copy();
        if (multi) multi->copy();
        return;
    case WM_UNDO:
    case EM_UNDO:
        if (!FReadOnly) {
            if (line) line->undo();
            if (multi) multi->undo();
        }
        Message.Result = 1;
        return;
    case WM_CLEAR:
        if (line && !FReadOnly) line->del();
        if (multi && !FReadOnly) multi->textCursor().removeSelectedText();
        return;
    case WM_GETTEXTLENGTH:
        Message.Result = TextLength(FText);
        return;
    case EM_GETMODIFY:
        Message.Result = FModified ? 1 : 0;
        return;
    case EM_SETMODIFY:
        FModified = Message.WParam != 0;
        return;
    case EM_SETREADONLY:
        SetReadOnly(Message.WParam != 0);
        Message.Result = 1;
        return;
    case EM_CANUNDO:
        Message.Result = (line && line->isUndoAvailable()) || (multi && multi->document()->isUndoAvailable());
        return;
    case EM_EMPTYUNDOBUFFER:
        if (line) ClearLineUndo(line);
        if (multi) multi->document()->clearUndoRedoStacks();
        return;
    case EM_REPLACESEL:
        ReplaceSelection(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "",
                         Message.WParam != 0);
        return;
    case EM_SCROLLCARET:
        if (multi) multi->ensureCursorVisible();
        Message.Result = 1;
        return;
    case EM_POSFROMCHAR:
        Message.Result = PosFromChar(static_cast<int>(Message.WParam));
        return;
    case EM_LINEFROMCHAR:
        Message.Result = LineFromChar(static_cast<LPARAM>(Message.WParam));
        return;
    case EM_GETRECT:
        if (Message.LParam) *reinterpret_cast<QRect*>(Message.LParam) = FormatRect();
        return;
    case EM_SETRECT:
        if (multi && Message.LParam) {
            const QRect& r = *reinterpret_cast<const QRect*>(Message.LParam);
            int w = GetClientWidth(), h = GetClientHeight();
            multi->SetFormatMargins(QMargins(std::max(0, r.left()), std::max(0, r.top()),
                                             std::max(0, w - r.left() - r.width()),
                                             std::max(0, h - r.top() - r.height())));
        }
        return;
    case EM_SETMARGINS: {
        int left = static_cast<std::int16_t>(LoWord(static_cast<std::uintptr_t>(Message.LParam)));
        int right = static_cast<std::int16_t>(HiWord(static_cast<std::uintptr_t>(Message.LParam)));
        QMargins m = line ? line->textMargins() : multi ? multi->FormatMargins() : QMargins();
        if (Message.WParam & EC_LEFTMARGIN) m.setLeft(std::max(0, left));
        if (Message.WParam & EC_RIGHTMARGIN) m.setRight(std::max(0, right));
        if (line) line->setTextMargins(m);
        if (multi) multi->SetFormatMargins(m);
        return;
    }
    case EM_SETTABSTOPS:
        // A single-line window has no tab stops.
        if (multi) {
            const int* stops = reinterpret_cast<const int*>(Message.LParam);
            multi->TabStops.assign(stops, stops ? stops + Message.WParam : stops);
            ApplyTabStops(multi);
            Message.Result = 1;
        }
        return;
    default:
        break;
    }
    TWinControl::DefaultHandler(Message);
}

QRect TCustomEdit::FormatRect() const {
    QRect client(0, 0, GetClientWidth(), GetClientHeight());
    if (QLineEdit* e = Edit()) {
        QMargins m = e->textMargins();
        return client.adjusted(m.left(), m.top(), -m.right(), -m.bottom());
    }
    if (auto* m = static_cast<TMultiLineWidget*>(MultiLineEdit())) {
        QMargins v = m->FormatMargins();
        return client.adjusted(v.left(), v.top(), -v.right(), -v.bottom());
    }
    return client;
}

LRESULT TCustomEdit::PosFromChar(int Pos) const {
    if (!FWidget || Pos < 0 || Pos >= TextLength(FText)) return -1;
    QString t = WidgetText();
    qsizetype q = IndexOfPos(t, Pos);
    QPoint p;
    if (QLineEdit* e = Edit()) {
        // Measured from the caret along the text as shown.
        QString shown = e->displayText();
        QFontMetrics fm(e->font());
        int caret = e->cursorPosition();
        int dx = fm.horizontalAdvance(shown.left(q)) - fm.horizontalAdvance(shown.left(caret));
        QRect r = static_cast<TLineEditWidget*>(e)->CaretRect();
        int border = BorderPixels();
        p = QPoint(r.center().x() + dx - border, r.top() - border);
    } else if (QPlainTextEdit* m = MultiLineEdit()) {
        QTextCursor c(m->document());
        c.setPosition(static_cast<int>(q));
        QRect r = m->cursorRect(c);
        QMargins v = static_cast<TMultiLineWidget*>(m)->FormatMargins();
        p = QPoint(r.x() + v.left(), r.y() + v.top());
    }
    return static_cast<LRESULT>(static_cast<std::uint32_t>(MakeLParam(p.x(), p.y())));
}

int TCustomEdit::LineFromChar(LPARAM Pos) const {
    QPlainTextEdit* m = MultiLineEdit();
    if (!m) return 0;
    QTextDocument* doc = m->document();
    int q = Pos < 0 ? m->textCursor().selectionStart()
                    : static_cast<int>(
                          IndexOfPos(m->toPlainText(), static_cast<int>(std::min<LPARAM>(Pos, INT_MAX))));
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc->documentLayout());
    QTextBlock block = doc->findBlock(q);
    if (!block.isValid()) block = doc->lastBlock();
    int line = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && b != block; b = b.next()) {
        if (layout) layout->ensureBlockLayout(b);
        line += std::max(1, b.layout()->lineCount());
    }
    if (layout) layout->ensureBlockLayout(block);
    QTextLine l = block.layout()->lineForTextPosition(q - block.position());
    return line + (l.isValid() ? l.lineNumber() : 0);
}

// ---- TCustomMemo ----------------------------------------------------------

namespace {

// The lines of a memo, read from its text and written into it.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* Memo) : FMemo(Memo) {}

    AnsiString Get(int Index) const override {
        std::vector<TLine> lines = Lines();
        if (Index < 0 || Index >= static_cast<int>(lines.size())) Error(Index);
        const TLine& l = lines[static_cast<size_t>(Index)];
        return Text().substr(l.Start, l.End - l.Start);
    }
    int GetCount() const override { return static_cast<int>(Lines().size()); }
    void Put(int Index, const AnsiString& S) override {
        std::vector<TLine> lines = Lines();
        if (Index < 0 || Index >= static_cast<int>(lines.size())) Error(Index);
        const TLine& l = lines[static_cast<size_t>(Index)];
        AnsiString t = Text();
        FMemo->SetText(t.replace(l.Start, l.End - l.Start, S));
    }
    void Insert(int Index, const AnsiString& S) override {
        std::vector<TLine> lines = Lines();
        if (Index < 0 || Index > static_cast<int>(lines.size())) Error(Index);
        AnsiString t = Text();
        if (Index < static_cast<int>(lines.size()))
            t.insert(lines[static_cast<size_t>(Index)].Start, S + "\r\n");
        else if (lines.empty() || lines.back().Break > 0)
            t += S; // after the break that ends the text
        else
            t += "\r\n" + S;
        FMemo->SetText(t);
    }
    void Delete(int Index) override {
        std::vector<TLine> lines = Lines();
        if (Index < 0 || Index >= static_cast<int>(lines.size())) Error(Index);
        const TLine& l = lines[static_cast<size_t>(Index)];
        AnsiString t = Text();
        if (l.Break > 0 || Index == 0)
            t.erase(l.Start, l.End + l.Break - l.Start);
        else // the last line goes with the break before it
            t.erase(lines[static_cast<size_t>(Index) - 1].End,
                    l.End - lines[static_cast<size_t>(Index) - 1].End);
        FMemo->SetText(t);
    }
    void Clear() override { FMemo->SetText(AnsiString()); }
    void SetText(const AnsiString& Value) override { FMemo->SetText(Value); }

private:
    struct TLine {
        size_t Start, End; // bytes of the line's text
        size_t Break;      // bytes of the break after it (0 for the last line)
    };
    const AnsiString& Text() const { return FMemo->GetCaption(); }
    // A break that ends the text opens no further line.
    std::vector<TLine> Lines() const {
        const AnsiString& t = Text();
        std::vector<TLine> lines;
        size_t start = 0;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] != '\r' && t[i] != '\n') continue;
            size_t len = t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n' ? 2 : 1;
            lines.push_back({start, i, len});
            i += len - 1;
            start = i + 1;
        }
        if (start < t.size()) lines.push_back({start, t.size(), 0});
        return lines;
    }
    TCustomMemo* FMemo;
};

} // namespace

KV_ABSTRACT_METACLASS(TCustomMemo, &TCustomEdit::ClassInfo())
KV_PUBLISHED_METACLASS(TMemo, &TCustomMemo::ClassInfo())

void TMemo::Publish(TPublisher<TMemo>& P) {
    PublishEdit(P);
    P.Prop("Alignment", &TCustomMemo::GetAlignment, &TCustomMemo::SetAlignment).Default(taLeftJustify);
    P.Prop("Lines", &TCustomMemo::GetLines, &TCustomMemo::SetLines);
    P.Prop("ScrollBars", &TCustomMemo::GetScrollBars, &TCustomMemo::SetScrollBars).Default(ssNone);
    P.Prop("WantReturns", &TCustomMemo::GetWantReturns, &TCustomMemo::SetWantReturns).Default(true);
    P.Prop("WantTabs", &TCustomMemo::GetWantTabs, &TCustomMemo::SetWantTabs).Default(false);
    P.Prop("WordWrap", &TCustomMemo::GetWordWrap, &TCustomMemo::SetWordWrap).Default(true);
}

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(this)) {
    SetBounds(GetLeft(), GetTop(), 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::SetLines(TStrings* Value) {
    FLines->Assign(Value);
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

void TCustomMemo::InitWidget() {
    TCustomEdit::InitWidget();
    QPlainTextEdit* m = MultiLineEdit();
    if (!m) return; // a single-line window asked for by a derived class
    auto policy = [this](bool Vertical) {
        return ScrollBarPixels(Vertical) > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    };
    m->setVerticalScrollBarPolicy(policy(true));
    m->setHorizontalScrollBarPolicy(policy(false));
    m->setLineWrapMode(FWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    m->setTabChangesFocus(!FWantTabs);
    ApplyAlignment();
}

void TCustomMemo::ApplyAlignment() {
    QPlainTextEdit* m = MultiLineEdit();
    if (!m) return;
    QTextOption o = m->document()->defaultTextOption();
    o.setAlignment(FAlignment == taRightJustify ? Qt::AlignRight
                   : FAlignment == taCenter     ? Qt::AlignHCenter
                                                : Qt::AlignLeft);
    m->document()->setDefaultTextOption(o);
}

void TCustomMemo::TextChanged() {
    // One kind of line break, so that positions and lengths agree.
    AnsiString t = FromWidgetText(ToWidgetText(FText));
    if (t != FText) FText = t;
    TCustomEdit::TextChanged();
}

void TCustomMemo::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    ApplyAlignment();
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
    if (Value == FWordWrap) return;
    FWordWrap = Value;
    RecreateWnd();
}

void TCustomMemo::SetWantTabs(bool Value) {
    if (Value == FWantTabs) return;
    FWantTabs = Value;
    if (QPlainTextEdit* m = MultiLineEdit()) m->setTabChangesFocus(!Value);
}

void TCustomMemo::KeyPress(TKeyChar& Key) {
    TCustomEdit::KeyPress(Key);
    if (Key == 13 && !FWantReturns) Key = 0;
}

void TCustomMemo::Dispatch(TMessage& Message) {
    TCustomEdit::Dispatch(Message);
    if (Message.Msg != WM_GETDLGCODE) return;
    if (FWantTabs)
        Message.Result |= DLGC_WANTTAB;
    else
        Message.Result &= ~DLGC_WANTTAB;
    if (!FWantReturns) Message.Result &= ~DLGC_WANTALLKEYS;
}

// ---- TButton --------------------------------------------------------------

KV_PUBLISHED_METACLASS(TButton, &TWinControl::ClassInfo())

void TButton::Publish(TPublisher<TButton>& P) {
    P.Prop("Cancel", &TButton::GetCancel, &TButton::SetCancel).Default(false);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("Default", &TButton::GetDefault, &TButton::SetDefault).Default(false);
    P.Prop("ModalResult", &TButton::GetModalResult, &TButton::SetModalResult)
        .Default(0)
        .Idents(&ModalResultIdents());
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csClickEvents; // Qt reports clicks
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget(const TCreateParams& Params) {
    return new TControlWidget<QPushButton>(this, Params.WndParent);
}

void TButton::InitWidget() {
    TWinControl::InitWidget();
    auto* b = static_cast<QPushButton*>(FWidget);
    b->setText(Q(FText));
    b->setDefault(FDefault);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, b, [this] { GuardedCall(this, [this] { Click(); }); });
}

void TButton::TextChanged() {
    if (FWidget) static_cast<QPushButton*>(FWidget)->setText(Q(FText));
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    if (FWidget) static_cast<QPushButton*>(FWidget)->setDefault(Value);
}

void TButton::Click() {
    if (FModalResult != mrNone)
        if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(FModalResult);
    TWinControl::Click();
}

void TButton::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGKEY)
        CMDialogKey(Message);
    else
        TWinControl::Dispatch(Message);
}

void TButton::CMDialogKey(TMessage& Message) {
    Word key = static_cast<Word>(Message.WParam);
    if (!KeyDataToShiftState(Message.LParam).Empty() || !CanFocus()) return;
    bool active = false;
    if (key == VK_RETURN) {
        // The focused button answers Return; otherwise the default one does.
        auto* focused = dynamic_cast<TButton*>(FindControl(QApplication::focusWidget()));
        active = focused ? focused == this : FDefault;
    }
    if ((key == VK_RETURN && active) || (key == VK_ESCAPE && FCancel)) {
        Click();
        Message.Result = 1;
    }
}

// ---- TCheckBox ------------------------------------------------------------

KV_PUBLISHED_METACLASS(TCheckBox, &TWinControl::ClassInfo())

void TCheckBox::Publish(TPublisher<TCheckBox>& P) {
    P.Prop("AllowGrayed", &TCheckBox::GetAllowGrayed, &TCheckBox::SetAllowGrayed).Default(false);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("Checked", &TCheckBox::GetChecked, &TCheckBox::SetChecked).Default(false).Stored(false);
    P.Prop("State", &TCheckBox::GetState, &TCheckBox::SetState).Default(cbUnchecked);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
}

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csClickEvents;
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
}

QWidget* TCheckBox::CreateWidget(const TCreateParams& Params) {
    auto* box = new TControlWidget<QCheckBox>(this, Params.WndParent);
    box->setStyle(DesignedIndicatorStyle());
    return box;
}

void TCheckBox::InitWidget() {
    TWinControl::InitWidget();
    auto* b = static_cast<QCheckBox*>(FWidget);
    b->setText(Q(FText));
    b->setTristate(FAllowGrayed);
    b->setCheckState(FState == cbChecked  ? Qt::Checked
                     : FState == cbGrayed ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
    QObject::connect(b, &QCheckBox::clicked, b, [this, b] {
        GuardedCall(this, [&] {
            Qt::CheckState s = b->checkState();
            SetState(s == Qt::Checked ? cbChecked : s == Qt::PartiallyChecked ? cbGrayed : cbUnchecked);
        });
    });
}

void TCheckBox::TextChanged() {
    if (FWidget) static_cast<QCheckBox*>(FWidget)->setText(Q(FText));
}

void TCheckBox::SetState(TCheckBoxState Value) {
    if (Value == cbGrayed && !FAllowGrayed) Value = cbUnchecked;
    if (Value == FState) return;
    FState = Value;
    if (FWidget) {
        auto* b = static_cast<QCheckBox*>(FWidget);
        QSignalBlocker block(b);
        b->setCheckState(Value == cbChecked  ? Qt::Checked
                         : Value == cbGrayed ? Qt::PartiallyChecked
                                             : Qt::Unchecked);
    }
    if (!IsLoading()) Click();
}

void TCheckBox::SetAllowGrayed(bool Value) {
    FAllowGrayed = Value;
    if (FWidget) static_cast<QCheckBox*>(FWidget)->setTristate(Value);
    if (!Value && FState == cbGrayed) SetState(cbUnchecked);
}

// ---- Labels ---------------------------------------------------------------

namespace {

template <class C> void PublishLabel(TPublisher<C>& P) {
    P.Prop("Alignment", &C::GetAlignment, &C::SetAlignment).Default(taLeftJustify);
    P.Prop("AutoSize", &C::GetAutoSize, &C::SetAutoSize).Default(true);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("FocusControl", &C::GetFocusControl, &C::SetFocusControl);
    P.Prop("ShowAccelChar", &C::GetShowAccelChar, &C::SetShowAccelChar).Default(true);
}

// Shared work of TCustomLabel and TStaticText on their QLabel.
struct LabelImpl {
    static void Update(QWidget* W, const AnsiString& Text, const TLabelSupport& L) {
        if (!W) return;
        auto* label = static_cast<QLabel*>(W);
        label->setTextFormat(Qt::PlainText);
        label->setText(Q(L.ShowAccelChar ? StripAccelChars(Text) : Text));
        label->setAlignment(QtAlignment(L.Alignment));
        label->setWordWrap(L.WordWrap);
    }
    static QSize TextSize(const AnsiString& Text, const TLabelSupport& L, const TFont& Font) {
        QFontMetrics fm(Font.ToQFont());
        QString s = Q(L.ShowAccelChar ? StripAccelChars(Text) : Text);
        QRect r =
            fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, s.isEmpty() ? " " : s);
        return QSize(s.isEmpty() ? 0 : r.width(), r.height());
    }
    // Alt plus the accelerator letter gives the focus to the focus control.
    static bool DialogChar(TControl* Self, const TMessage& M, const TLabelSupport& L) {
        if (!L.ShowAccelChar || !L.FocusControl || !Self->GetVisible() || !Self->GetEnabled()) return false;
        TKeyChar want = AccelChar(Self->GetText());
        if (!want || static_cast<TKeyChar>(M.WParam) != want) return false;
        if (!L.FocusControl->CanFocus()) return false;
        L.FocusControl->SetFocus();
        return true;
    }
};

} // namespace

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomLabel, &TGraphicControl::ClassInfo())
KV_METACLASS(TLabel, &TCustomLabel::ClassInfo())

void TCustomLabel::Publish(TPublisher<TCustomLabel>& P) {
    PublishLabel(P);
    P.Prop("WordWrap", &TCustomLabel::GetWordWrap, &TCustomLabel::SetWordWrap).Default(false);
}

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

QWidget* TCustomLabel::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<QLabel>(this, Params.WndParent);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
}

void TCustomLabel::InitWidget() {
    TGraphicControl::InitWidget();
    UpdateLabel();
}

void TCustomLabel::UpdateLabel() {
    LabelImpl::Update(FWidget, FText, FLabel);
}

void TCustomLabel::TextChanged() {
    UpdateLabel();
    AdjustBounds();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
    if (!FLabel.AutoSize || FLabel.WordWrap || IsLoading() || !QGuiApplication::instance()) return;
    QSize s = LabelImpl::TextSize(FText, FLabel, *GetFont());
    SetBounds(GetLeft(), GetTop(), s.width(), s.height());
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
    if (Value == FLabel.FocusControl) return;
    if (FLabel.FocusControl) FLabel.FocusControl->RemoveFreeNotification(this);
    FLabel.FocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLabel.FocusControl) FLabel.FocusControl = nullptr;
}

void TCustomLabel::SetShowAccelChar(bool Value) {
    FLabel.ShowAccelChar = Value;
    TextChanged();
}
void TCustomLabel::SetAutoSize(bool Value) {
    FLabel.AutoSize = Value;
    AdjustBounds();
}
void TCustomLabel::SetWordWrap(bool Value) {
    FLabel.WordWrap = Value;
    UpdateLabel();
}
void TCustomLabel::SetAlignment(TAlignment Value) {
    FLabel.Alignment = Value;
    UpdateLabel();
}

void TCustomLabel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (LabelImpl::DialogChar(this, Message, FLabel)) Message.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(Message);
}

KV_PUBLISHED_METACLASS(TStaticText, &TWinControl::ClassInfo())

void TStaticText::Publish(TPublisher<TStaticText>& P) {
    PublishLabel(P);
}

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

QWidget* TStaticText::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<QLabel>(this, Params.WndParent);
    return w;
}

void TStaticText::InitWidget() {
    TWinControl::InitWidget();
    FWidget->setFocusPolicy(Qt::NoFocus);
    UpdateLabel();
}

void TStaticText::UpdateLabel() {
    LabelImpl::Update(FWidget, FText, FLabel);
}

void TStaticText::TextChanged() {
    UpdateLabel();
    AdjustBounds();
}

void TStaticText::FontChanged() {
    TWinControl::FontChanged();
    AdjustBounds();
}

void TStaticText::Loaded() {
    TWinControl::Loaded();
    AdjustBounds();
}

void TStaticText::AdjustBounds() {
    if (!FLabel.AutoSize || IsLoading() || !QGuiApplication::instance()) return;
    QSize s = LabelImpl::TextSize(FText, FLabel, *GetFont());
    SetBounds(GetLeft(), GetTop(), s.width(), s.height());
}

void TStaticText::SetFocusControl(TWinControl* Value) {
    if (Value == FLabel.FocusControl) return;
    if (FLabel.FocusControl) FLabel.FocusControl->RemoveFreeNotification(this);
    FLabel.FocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TStaticText::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLabel.FocusControl) FLabel.FocusControl = nullptr;
}

void TStaticText::SetShowAccelChar(bool Value) {
    FLabel.ShowAccelChar = Value;
    TextChanged();
}
void TStaticText::SetAutoSize(bool Value) {
    FLabel.AutoSize = Value;
    AdjustBounds();
}
void TStaticText::SetAlignment(TAlignment Value) {
    FLabel.Alignment = Value;
    UpdateLabel();
}

void TStaticText::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (LabelImpl::DialogChar(this, Message, FLabel)) Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

// ---- Item lists of list and combo boxes ------------------------------------

namespace {

int ScrollBarExtent() {
    QStyle* style = QApplication::instance() ? QApplication::style() : nullptr;
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

} // namespace

class TListBoxStrings : public TItemStrings<TCustomListBox> {
public:
    using TItemStrings::TItemStrings;
    void Delete(int Index) override {
        At(Index);
        FOwner->DeleteString(Index);
    }

protected:
    void SetUpdateState(bool Updating) override {
        FOwner->FUpdating += Updating ? 1 : -1;
        if (!Updating) FOwner->LayoutChanged();
    }
};

// ---- TCustomListBox -------------------------------------------------------

// A scroll bar of a list box; letting it go ends the scrolling (SB_ENDSCROLL).
class TListScrollBar : public QScrollBar {
public:
    TListScrollBar(Qt::Orientation Orientation, QWidget* Parent, TCustomListBox* ListBox)
        : QScrollBar(Orientation, Parent), FListBox(ListBox) {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override {
        QScrollBar::mouseReleaseEvent(Event);
        if (QWidget::mouseGrabber() == this) releaseMouse();
        TCustomListBox* list = FListBox;
        Cardinal msg = orientation() == Qt::Vertical ? WM_VSCROLL : WM_HSCROLL;
        GuardedCall(list, [&] { list->Perform(msg, SB_ENDSCROLL); });
    }

private:
    TCustomListBox* FListBox;
};

// The window of a list box: its frame, and the wheel as WM_MOUSEWHEEL.
class TListBoxWidget : public QFrame {
public:
    explicit TListBoxWidget(QWidget* Parent) : QFrame(Parent) {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void wheelEvent(QWheelEvent* Event) override {
        Event->accept();
        auto* list = dynamic_cast<TCustomListBox*>(FindControl(this));
        int delta = Event->angleDelta().y();
        if (!list || delta == 0) return;
        WPARAM wParam = static_cast<WPARAM>(static_cast<Word>(static_cast<std::int16_t>(delta))) << 16;
        GuardedCall(list, [&] { list->Perform(WM_MOUSEWHEEL, wParam, 0); });
    }
};

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomListBox, &TWinControl::ClassInfo())
KV_METACLASS(TListBox, &TCustomListBox::ClassInfo())

void TCustomListBox::Publish(TPublisher<TCustomListBox>& P) {
    P.Prop("BorderStyle", &TCustomListBox::GetBorderStyle, &TCustomListBox::SetBorderStyle).Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCustomListBox& l) { return !l.GetParentColor(); });
    P.Prop("Columns", &TCustomListBox::GetColumns, &TCustomListBox::SetColumns).Default(0);
    P.Prop("ExtendedSelect", &TCustomListBox::GetExtendedSelect, &TCustomListBox::SetExtendedSelect)
        .Default(true);
    P.Prop("IntegralHeight", &TCustomListBox::GetIntegralHeight, &TCustomListBox::SetIntegralHeight)
        .Default(false);
    P.Prop("ItemHeight", &TCustomListBox::FItemHeight, &TCustomListBox::SetItemHeight).Default(16);
    P.Prop("Items", &TCustomListBox::GetItems, &TCustomListBox::SetItems);
    P.Prop("MultiSelect", &TCustomListBox::GetMultiSelect, &TCustomListBox::SetMultiSelect).Default(false);
    P.Prop("Sorted", &TCustomListBox::GetSorted, &TCustomListBox::SetSorted).Default(false);
    P.Prop("Style", &TCustomListBox::GetStyle, &TCustomListBox::SetStyle).Default(lbStandard);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("TabWidth", &TCustomListBox::GetTabWidth, &TCustomListBox::SetTabWidth).Default(0);
}

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TListBoxStrings>(this)) {
    // Click comes with a change of the selection, not with every button release.
    ControlStyle >> csClickEvents >> csSetCaption;
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() {
    Destroying();
    DestroyHandle();
}

TStrings* TCustomListBox::GetItems() const {
    return FItems.get();
}

void TCustomListBox::SetItems(TStrings* Value) {
    FItems->Assign(Value);
}

int TCustomListBox::GetItemIndex() const {
    return FItemIndex;
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value == GetItemIndex()) return;
    if (!FMultiSelect) {
        Perform(LB_SETCURSEL, static_cast<WPARAM>(Value));
        return;
    }
    if (Value < 0 || Value >= FItems->GetCount()) return;
    FItemIndex = Value;
    MakeVisible(Value);
    Invalidate();
}

void TCustomListBox::SetTopIndex(int Value) {
    int old = FTopIndex;
    FTopIndex = Value;
    ClampTopIndex();
    if (FTopIndex == old) return;
    UpdateScrollBars();
    Invalidate();
}

int TCustomListBox::GetItemHeight() const {
    return FStyle == lbStandard ? TextLineHeight(*GetFont()) : FItemHeight;
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value <= 0 || Value == FItemHeight) return;
    FItemHeight = Value;
    if (FStyle != lbStandard) LayoutChanged();
}

void TCustomListBox::SetIntegralHeight(bool Value) {
    if (Value == FIntegralHeight) return;
    FIntegralHeight = Value;
    LayoutChanged();
}

void TCustomListBox::SetSorted(bool Value) {
    if (Value == FSorted) return;
    FSorted = Value;
    if (Value) {
        FItems->Sort();
        LayoutChanged();
    }
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    LayoutChanged();
}

void TCustomListBox::SetColumns(int Value) {
    Value = std::max(0, Value);
    if (Value == FColumns) return;
    FColumns = Value;
    FTopIndex = 0;
    LayoutChanged();
    if (FItemIndex >= 0) MakeVisible(FItemIndex);
}

void TCustomListBox::SetMultiSelect(bool Value) {
    if (Value == FMultiSelect) return;
    FMultiSelect = Value;
    FSelected.assign(Value ? static_cast<size_t>(FItems->GetCount()) : 0, false);
    if (Value && FItemIndex >= 0) FSelected[static_cast<size_t>(FItemIndex)] = true;
    FAnchor = FItemIndex;
    Invalidate();
}

void TCustomListBox::SetExtendedSelect(bool Value) {
    FExtendedSelect = Value;
}

void TCustomListBox::SetTabWidth(int Value) {
    if (Value == FTabWidth) return;
    FTabWidth = std::max(0, Value);
    Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (FWidget) RecreateWnd();
}

int TCustomListBox::GetSelCount() const {
    if (!FMultiSelect) return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

bool TCustomListBox::GetSelected(int Index) const {
    if (Index < 0 || Index >= FItems->GetCount()) ListIndexError(Index);
    return FMultiSelect ? FSelected[static_cast<size_t>(Index)] : Index == FItemIndex;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (Index < 0 || Index >= FItems->GetCount()) ListIndexError(Index);
    if (FMultiSelect)
        Perform(LB_SETSEL, Value ? 1 : 0, Index);
    else if (Value)
        SetItemIndex(Index);
    else if (Index == FItemIndex)
        SetItemIndex(-1);
}

void TCustomListBox::Clear() {
    FItems->Clear();
}

void TCustomListBox::DeleteString(int Index) {
    Perform(LB_DELETESTRING, static_cast<WPARAM>(Index));
}

// -- Geometry

int TCustomListBox::WindowHeight() const {
    if (!FIntegralHeight || FColumns > 0) return GetHeight();
    int frame = FBorderStyle == bsSingle ? (GetCtl3D() ? 2 : 1) : 0;
    int ih = std::max(1, GetItemHeight());
    int rows = std::max(0, GetHeight() - 2 * frame) / ih;
    return 2 * frame + rows * ih;
}

TCustomListBox::TLayout TCustomListBox::Layout() const {
    TLayout l;
    l.Frame = FBorderStyle == bsSingle ? (GetCtl3D() ? 2 : 1) : 0;
    int ih = std::max(1, GetItemHeight());
    int w = std::max(0, GetWidth() - 2 * l.Frame);
    int h = std::max(0, WindowHeight() - 2 * l.Frame);
    int count = FItems->GetCount();
    if (FColumns <= 0) {
        if (count > h / ih) l.VBar = ScrollBarExtent();
    } else {
        int rows = std::max(1, h / ih);
        l.ColsNeeded = (count + rows - 1) / rows;
        if (l.ColsNeeded > FColumns) {
            l.HBar = ScrollBarExtent();
            h = std::max(0, h - l.HBar);
            rows = std::max(1, h / ih);
            l.ColsNeeded = (count + rows - 1) / rows;
        }
    }
    l.Rows = std::max(1, h / ih);
    l.ClientWidth = std::max(0, w - l.VBar);
    l.ClientHeight = h;
    if (FColumns > 0) l.ColWidth = std::max(1, l.ClientWidth / FColumns);
    return l;
}

int TCustomListBox::GetClientWidth() const {
    return Layout().ClientWidth;
}

int TCustomListBox::GetClientHeight() const {
    return Layout().ClientHeight;
}

QPoint TCustomListBox::ClientOffset() const {
    int f = Layout().Frame;
    return QPoint(f, f);
}

int TCustomListBox::MaxTopIndex() const {
    TLayout l = Layout();
    int count = FItems->GetCount();
    if (FColumns > 0) return std::max(0, l.ColsNeeded - FColumns) * l.Rows;
    int whole = l.ClientHeight / std::max(1, GetItemHeight());
    return std::max(0, count - whole);
}

void TCustomListBox::ClampTopIndex() {
    FTopIndex = std::clamp(FTopIndex, 0, MaxTopIndex());
    if (FColumns > 0) {
        int rows = Layout().Rows;
        FTopIndex -= FTopIndex % rows;
    }
}

void TCustomListBox::MakeVisible(int Index) {
    if (Index < 0 || Index >= FItems->GetCount()) return;
    TLayout l = Layout();
    int top = FTopIndex;
    if (FColumns <= 0) {
        int whole = std::max(1, l.ClientHeight / std::max(1, GetItemHeight()));
        if (Index < top)
            top = Index;
        else if (Index >= top + whole)
            top = Index - whole + 1;
    } else {
        int col = Index / l.Rows, topCol = top / l.Rows;
        if (col < topCol)
            topCol = col;
        else if (col >= topCol + FColumns)
            topCol = col - FColumns + 1;
        top = topCol * l.Rows;
    }
    SetTopIndex(top);
}

QRect TCustomListBox::ItemRect(int Index) const {
    TLayout l = Layout();
    int ih = std::max(1, GetItemHeight());
    if (FColumns <= 0) return QRect(0, (Index - FTopIndex) * ih, l.ClientWidth, ih);
    int col = Index / l.Rows - FTopIndex / l.Rows;
    return QRect(col * l.ColWidth, (Index % l.Rows) * ih, l.ColWidth, ih);
}

int TCustomListBox::ItemAtPos(QPoint Pos, bool Existing) const {
    TLayout l = Layout();
    int count = FItems->GetCount();
    if (Pos.x() >= 0 && Pos.y() >= 0 && Pos.x() < l.ClientWidth && Pos.y() < l.ClientHeight) {
        int ih = std::max(1, GetItemHeight());
        int index;
        if (FColumns <= 0) {
            index = FTopIndex + Pos.y() / ih;
        } else {
            int row = Pos.y() / ih;
            index = row < l.Rows ? FTopIndex + (Pos.x() / l.ColWidth) * l.Rows + row : count;
        }
        if (index < count) return index;
        if (!Existing) return count;
    }
    return -1;
}

void TCustomListBox::LayoutChanged() {
    if (FUpdating > 0) return;
    ClampTopIndex();
    if (!FWidget) return;
    UpdateWidgetBounds();
    Invalidate();
}

void TCustomListBox::UpdateWidgetBounds() {
    if (!FWidget) return;
    FWidget->setGeometry(GetLeft(), GetTop(), GetWidth(), WindowHeight());
    UpdateScrollBars();
}

void TCustomListBox::UpdateScrollBars() {
    if (!FWidget || !FVBar) return;
    TLayout l = Layout();
    FVBar->setVisible(l.VBar > 0);
    FHBar->setVisible(l.HBar > 0);
    if (l.VBar > 0) {
        FVBar->setGeometry(GetWidth() - l.Frame - l.VBar, l.Frame, l.VBar, l.ClientHeight);
        QSignalBlocker block(FVBar);
        FVBar->setRange(0, MaxTopIndex());
        FVBar->setPageStep(std::max(1, l.ClientHeight / std::max(1, GetItemHeight())));
        FVBar->setValue(FTopIndex);
        FVBar->setSliderPosition(FTopIndex);
    }
    if (l.HBar > 0) {
        FHBar->setGeometry(l.Frame, l.Frame + l.ClientHeight, l.ClientWidth, l.HBar);
        QSignalBlocker block(FHBar);
        FHBar->setRange(0, std::max(0, l.ColsNeeded - FColumns));
        FHBar->setPageStep(std::max(1, FColumns));
        FHBar->setValue(FTopIndex / l.Rows);
        FHBar->setSliderPosition(FTopIndex / l.Rows);
    }
}

void TCustomListBox::ScrollBy(int Lines, bool Horizontal) {
    if (Horizontal && FColumns > 0)
        SetTopIndex(FTopIndex + Lines * Layout().Rows);
    else if (!Horizontal && FColumns <= 0)
        SetTopIndex(FTopIndex + Lines);
}

// -- The lines under the selection

void TCustomListBox::ItemInserted(int Index) {
    if (FMultiSelect) FSelected.insert(FSelected.begin() + Index, false);
    if (FItemIndex >= Index) ++FItemIndex;
    if (FAnchor >= Index) ++FAnchor;
    LayoutChanged();
}

void TCustomListBox::ItemRemoved(int Index) {
    int count = FItems->GetCount();
    if (FMultiSelect) {
        FSelected.erase(FSelected.begin() + Index);
        if (FItemIndex > Index || FItemIndex >= count) --FItemIndex;
    } else if (FItemIndex == Index) {
        FItemIndex = -1;
    } else if (FItemIndex > Index) {
        --FItemIndex;
    }
    if (FAnchor > Index || FAnchor >= count) --FAnchor;
    LayoutChanged();
}

void TCustomListBox::ItemChanged(int) {
    Invalidate();
}

void TCustomListBox::ItemsCleared() {
    FItemIndex = -1;
    FAnchor = -1;
    FSelected.clear();
    FTopIndex = 0;
    LayoutChanged();
}

// -- What the user does

void TCustomListBox::NotifySelChange() {
    Perform(WM_COMMAND, MakeWParam(0, LBN_SELCHANGE), 0);
}

void TCustomListBox::SelectByUser(int Index, bool Shift, bool Ctrl) {
    if (Index < 0 || Index >= FItems->GetCount()) return;
    if (FMultiSelect && FExtendedSelect) {
        if (Shift && FAnchor >= 0) {
            if (!Ctrl) std::fill(FSelected.begin(), FSelected.end(), false);
            for (int i = std::min(FAnchor, Index); i <= std::max(FAnchor, Index); ++i)
                FSelected[static_cast<size_t>(i)] = true;
        } else {
            if (!Ctrl) std::fill(FSelected.begin(), FSelected.end(), false);
            FSelected[static_cast<size_t>(Index)] = Ctrl ? !FSelected[static_cast<size_t>(Index)] : true;
            FAnchor = Index;
        }
    }
    FItemIndex = Index;
    MakeVisible(Index);
    Invalidate();
    NotifySelChange();
}

void TCustomListBox::MouseDefault(TMessage& Message) {
    if (Message.Context) {
        Message.Context->Done = true;
        Message.Context->Result = true;
    }
    QPoint pt(MouseX(Message), MouseY(Message));
    bool shift = Message.WParam & MK_SHIFT, ctrl = Message.WParam & MK_CONTROL;
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (FWidget && !FWidget->hasFocus() && FWidget->focusPolicy() != Qt::NoFocus && CanFocus())
            FWidget->setFocus(Qt::MouseFocusReason);
        int index = ItemAtPos(pt, true);
        if (index < 0) return;
        FTracking = true;
        if (FMultiSelect && !FExtendedSelect) {
            FSelected[static_cast<size_t>(index)] = !FSelected[static_cast<size_t>(index)];
            FItemIndex = index;
            Invalidate();
            NotifySelChange();
        } else {
            SelectByUser(index, shift, ctrl);
        }
        break;
    }
    case WM_MOUSEMOVE: {
        if (!FTracking || !(Message.WParam & MK_LBUTTON) || (FMultiSelect && !FExtendedSelect)) return;
        TLayout l = Layout();
        int count = FItems->GetCount();
        if (count == 0) return;
        int index;
        if (FColumns <= 0 && pt.y() < 0) {
            ScrollBy(-1, false);
            index = FTopIndex;
        } else if (FColumns <= 0 && pt.y() >= l.ClientHeight) {
            ScrollBy(1, false);
            index = std::min(count - 1, FTopIndex + l.ClientHeight / std::max(1, GetItemHeight()) - 1);
        } else {
            index = ItemAtPos(QPoint(std::clamp(pt.x(), 0, std::max(0, l.ClientWidth - 1)), pt.y()), true);
            if (index < 0) index = count - 1;
        }
        if (index != FItemIndex) SelectByUser(index, FMultiSelect, false);
        break;
    }
    case WM_LBUTTONUP:
        FTracking = false;
        break;
    default:
        break;
    }
}

bool TCustomListBox::KeyDefault(Word Key, TShiftState Shift) {
    int count = FItems->GetCount();
    if (FMultiSelect && !FExtendedSelect && Key == VK_SPACE) {
        if (FItemIndex < 0) return true;
        FSelected[static_cast<size_t>(FItemIndex)] = !FSelected[static_cast<size_t>(FItemIndex)];
        Invalidate();
        NotifySelChange();
        return true;
    }
    TLayout l = Layout();
    int page =
        FColumns > 0 ? l.Rows * FColumns : std::max(1, l.ClientHeight / std::max(1, GetItemHeight()) - 1);
    int step;
    switch (Key) {
    case VK_UP:
        step = -1;
        break;
    case VK_DOWN:
        step = 1;
        break;
    case VK_LEFT:
        step = FColumns > 0 ? -l.Rows : -1;
        break;
    case VK_RIGHT:
        step = FColumns > 0 ? l.Rows : 1;
        break;
    case VK_PRIOR:
        step = -page;
        break;
    case VK_NEXT:
        step = page;
        break;
    case VK_HOME:
        step = -count;
        break;
    case VK_END:
        step = count;
        break;
    default:
        return false;
    }
    if (count == 0) return true;
    int index =
        FItemIndex < 0 ? (Key == VK_END ? count - 1 : 0) : std::clamp(FItemIndex + step, 0, count - 1);
    bool shift = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl);
    if (FMultiSelect && (!FExtendedSelect || ctrl) && !shift) {
        // The focus moves; the selection stays.
        FItemIndex = index;
        MakeVisible(index);
        Invalidate();
        NotifySelChange();
    } else if (index != FItemIndex || FMultiSelect) {
        SelectByUser(index, shift, false);
    }
    return true;
}

bool TCustomListBox::CharDefault(TKeyChar Key) {
    if (Key < 32) return false;
    int count = FItems->GetCount();
    QString wanted = QString::fromUcs4(&Key, 1).toCaseFolded();
    // The next item after the current one that starts with the character.
    for (int n = 1; n <= count; ++n) {
        int i = (std::max(FItemIndex, -1) + n) % count;
        QString text = Q(FItems->Get(i));
        if (!text.isEmpty() && text.left(1).toCaseFolded() == wanted) {
            SelectByUser(i, false, false);
            break;
        }
    }
    return true;
}

// -- Messages

void TCustomListBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        if (HiWord(Message.WParam) == LBN_SELCHANGE) Click();
        break;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        break;
    case CM_CTL3DCHANGED:
        if (FWidget) RecreateWnd();
        LayoutChanged();
        TWinControl::Dispatch(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

LRESULT TCustomListBox::ListMessage(TMessage& Message, bool& Handled) {
    Handled = true;
    int count = FItems->GetCount();
    auto index = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
    switch (Message.Msg) {
    case LB_GETCOUNT:
        return count;
    case LB_GETCURSEL:
        return FItemIndex;
    case LB_SETCURSEL:
        if (FMultiSelect) return LB_ERR;
        if (index < 0 || index >= count) {
            if (FItemIndex >= 0) Invalidate();
            FItemIndex = -1;
            return LB_ERR;
        }
        FItemIndex = index;
        MakeVisible(index);
        Invalidate();
        return index;
    case LB_GETTOPINDEX:
        return FTopIndex;
    case LB_SETTOPINDEX:
        if (index < 0 || index >= std::max(count, 1)) return LB_ERR;
        SetTopIndex(index);
        return 0;
    case LB_GETITEMHEIGHT:
        return GetItemHeight();
    case LB_GETSEL:
        if (index < 0 || index >= count) return LB_ERR;
        return GetSelected(index) ? 1 : 0;
    case LB_SETSEL: {
        if (!FMultiSelect) return LB_ERR;
        auto at = static_cast<int>(Message.LParam);
        if (at < -1 || at >= count) return LB_ERR;
        for (int i = 0; i < count; ++i)
            if (at == -1 || i == at) FSelected[static_cast<size_t>(i)] = Message.WParam != 0;
        Invalidate();
        return 0;
    }
    case LB_GETSELCOUNT:
        return FMultiSelect ? GetSelCount() : LB_ERR;
    case LB_DELETESTRING:
        if (index < 0 || index >= count) return LB_ERR;
        FItems->Remove(index);
        ItemRemoved(index);
        return FItems->GetCount();
    default:
        Handled = false;
        return 0;
    }
}

void TCustomListBox::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        MouseDefault(Message);
        return;
    case WM_KEYDOWN:
        if (KeyDefault(static_cast<Word>(Message.WParam), KeyDataToShiftState(Message.LParam))) {
            if (Message.Context) {
                Message.Context->Done = true;
                Message.Context->Result = true;
                Message.Context->SkipChar = true;
            }
            return;
        }
        break;
    case WM_CHAR:
        if (CharDefault(static_cast<TKeyChar>(Message.WParam))) {
            if (Message.Context) {
                Message.Context->Done = true;
                Message.Context->Result = true;
            }
            return;
        }
        break;
    case WM_MOUSEWHEEL: {
        auto delta = static_cast<std::int16_t>(HiWord(Message.WParam));
        ScrollBy(-delta / 40, FColumns > 0);
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        bool horizontal = Message.Msg == WM_HSCROLL;
        TLayout l = Layout();
        int page =
            horizontal ? std::max(1, FColumns) : std::max(1, l.ClientHeight / std::max(1, GetItemHeight()));
        switch (LoWord(Message.WParam)) {
        case SB_LINEUP:
            ScrollBy(-1, horizontal);
            break;
        case SB_LINEDOWN:
            ScrollBy(1, horizontal);
            break;
        case SB_PAGEUP:
            ScrollBy(-page, horizontal);
            break;
        case SB_PAGEDOWN:
            ScrollBy(page, horizontal);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            if (horizontal == (FColumns > 0)) SetTopIndex(HiWord(Message.WParam) * (horizontal ? l.Rows : 1));
            break;
        case SB_TOP:
            SetTopIndex(0);
            break;
        case SB_BOTTOM:
            SetTopIndex(MaxTopIndex());
            break;
        default:
            break;
        }
        return;
    }
    case WM_NCHITTEST: {
        Message.Result = HTNOWHERE;
        if (!FWidget) return;
        QPoint pt = FWidget->mapFromGlobal(QPoint(MouseX(Message), MouseY(Message)));
        TLayout l = Layout();
        if (FVBar && FVBar->isVisible() && FVBar->geometry().contains(pt))
            Message.Result = HTVSCROLL;
        else if (FHBar && FHBar->isVisible() && FHBar->geometry().contains(pt))
            Message.Result = HTHSCROLL;
        else if (QRect(ClientOffset(), QSize(l.ClientWidth, l.ClientHeight)).contains(pt))
            Message.Result = HTCLIENT;
        else if (FWidget->rect().contains(pt))
            Message.Result = HTBORDER;
        return;
    }
    case WM_NCLBUTTONDOWN: {
        QScrollBar* bar = Message.WParam == static_cast<WPARAM>(HTVSCROLL)   ? FVBar
                          : Message.WParam == static_cast<WPARAM>(HTHSCROLL) ? FHBar
                                                                             : nullptr;
        if (!bar || !bar->isVisible()) return;
        // The bar takes the press and keeps the mouse until the button is let go.
        QPoint global(MouseX(Message), MouseY(Message));
        QPoint local = bar->mapFromGlobal(global);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          QGuiApplication::keyboardModifiers());
        QApplication::sendEvent(bar, &press);
        bar->grabMouse();
        return;
    }
    default: {
        bool handled = false;
        LRESULT result = ListMessage(Message, handled);
        if (handled) {
            Message.Result = result;
            return;
        }
        break;
    }
    }
    TWinControl::DefaultHandler(Message);
}

// -- The window

QWidget* TCustomListBox::CreateWidget(const TCreateParams& Params) {
    return new TControlWidget<TListBoxWidget>(this, Params.WndParent);
}

void TCustomListBox::InitWidget() {
    TWinControl::InitWidget();
    auto* frame = static_cast<QFrame*>(FWidget);
    int f = Layout().Frame;
    if (f == 0)
        frame->setFrameStyle(QFrame::NoFrame);
    else if (f == 1)
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    else
        frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    frame->setLineWidth(1);
    FVBar = new TListScrollBar(Qt::Vertical, FWidget, this);
    FHBar = new TListScrollBar(Qt::Horizontal, FWidget, this);
    std::weak_ptr<int> life = Life();
    auto bind = [this, life](QScrollBar* Bar, Cardinal Msg) {
        QObject::connect(Bar, &QAbstractSlider::actionTriggered, Bar, [this, life, Bar, Msg](int Action) {
            int code = ScrollCodeOfAction(Action);
            if (code < 0) return;
            WPARAM w =
                static_cast<WPARAM>(code) | (static_cast<WPARAM>(Bar->sliderPosition() & 0xFFFF) << 16);
            GuardedCall(this, [&] { Perform(Msg, w); });
            if (!life.expired()) UpdateScrollBars();
        });
    };
    bind(FVBar, WM_VSCROLL);
    bind(FHBar, WM_HSCROLL);
    UpdateWidgetBounds();
}

void TCustomListBox::DestroyWnd() {
    FVBar = FHBar = nullptr;
    TWinControl::DestroyWnd();
}

// A new size keeps the list filled to the bottom where it can.
void TCustomListBox::Resize() {
    ClampTopIndex();
    UpdateScrollBars();
    TWinControl::Resize();
}

void TCustomListBox::FontChanged() {
    TWinControl::FontChanged();
    LayoutChanged();
}

void TCustomListBox::Paint(QPainter& Painter) {
    TLayout l = Layout();
    QPoint offset = ClientOffset();
    QRect client(offset, QSize(l.ClientWidth, l.ClientHeight));
    Painter.setClipRect(client);
    QPalette pal = FWidget->palette();
    Painter.fillRect(client, ColorToQColor(GetColor()).isValid() ? ColorToQColor(GetColor())
                                                                 : pal.color(QPalette::Base));
    QFont font = GetFont()->ToQFont();
    Painter.setFont(font);
    QFontMetrics metrics(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    option.setTabStopDistance((FTabWidth > 0 ? FTabWidth : 32) * metrics.averageCharWidth() / 4.0);
    QColor text =
        GetEnabled() ? ColorToQColor(GetFont()->GetColor()) : pal.color(QPalette::Disabled, QPalette::Text);
    int count = FItems->GetCount();
    for (int i = FTopIndex; i < count; ++i) {
        QRect r = ItemRect(i);
        if (r.left() >= l.ClientWidth) break;
        if (r.top() >= l.ClientHeight) {
            if (FColumns <= 0) break;
            continue;
        }
        r.translate(offset);
        bool selected = GetSelected(i);
        if (selected) Painter.fillRect(r, pal.color(QPalette::Highlight));
        Painter.setPen(selected ? pal.color(QPalette::HighlightedText) : text);
        Painter.drawText(QRectF(r.adjusted(2, 0, -1, 0)), Q(FItems->Get(i)), option);
    }
    if (FWidget->hasFocus() && count > 0) {
        QRect r = ItemRect(std::max(FItemIndex, 0)).translated(offset);
        QStyleOptionFocusRect focus;
        focus.initFrom(FWidget);
        focus.rect = r;
        focus.backgroundColor =
            GetSelected(std::max(FItemIndex, 0)) ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        FWidget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &Painter, FWidget);
    }
}
