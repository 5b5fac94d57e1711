// The edit and the memo: the windows behind them (one line or several), the
// conversion between the control's text positions and the window's, and the
// edit messages.
#include "StdCtrls.h"

#include "Clipbrd.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextOption>
#include <qdrawutil.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

bool IsLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The control's text has CR LF line breaks, the widget's LF.
QString ToWidgetText(const AnsiString& s) {
    return LfText(s);
}

AnsiString FromWidgetText(const QString& s) {
    return CrLfText(s, true);
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
// goes before it, one past the end to the end. A line break is two
// positions (CR LF), or BreakLength where the text keeps it as one.
qsizetype IndexOfPos(const QString& s, int Pos, int BreakLength = 2) {
    int pos = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        int step = IsLineBreak(s[i]) ? BreakLength : 1;
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
            QString action = StandardActionName(a);
            if (action == QLatin1String("edit-redo")) {
                menu->removeAction(a); // the platform's edits have one undo level, no redo
                continue;
            }
            for (const auto& [name, msg] : items) {
                if (action != QLatin1String(name)) continue;
                QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
                Cardinal m = msg;
                QObject::connect(a, &QAction::triggered, a, [edit, life, m] {
                    if (!life.expired()) GuardedCall(edit, [&] { edit->Perform(m); });
                });
            }
        }
        menu->exec(At);
    }

    // An input method's characters go in as typed ones, and no more of them
    // than MaxLength leaves room for.
    static void InputMethod(QWidget* Widget, QInputMethodEvent* Event,
                            const std::function<void(QInputMethodEvent*)>& Base) {
        auto* edit = dynamic_cast<TCustomEdit*>(FindControl(Widget));
        CommitInputAsChars(edit, Event, Base, [edit](const QString& Text) { return edit->FittingInsert(Text); });
    }
};

QString StandardActionName(const QAction* Action) {
    if (!Action->objectName().isEmpty()) return Action->objectName();
    // The single-line window's texts, as it makes them (the shortcut after a tab).
    static const std::pair<const char*, const char*> texts[] = {
        {"&Undo", "edit-undo"},   {"&Redo", "edit-redo"},     {"Cu&t", "edit-cut"},      {"&Copy", "edit-copy"},
        {"&Paste", "edit-paste"}, {"Delete", "edit-delete"}, {"Select All", "select-all"}};
    QString text = Action->text().section(QLatin1Char('\t'), 0, 0);
    for (const auto& [source, name] : texts)
        if (text == QLineEdit::tr(source)) return QLatin1String(name);
    return QString();
}

void CommitInputAsChars(TControl* Control, QInputMethodEvent* Event,
                        const std::function<void(QInputMethodEvent*)>& Base,
                        const std::function<QString(const QString&)>& Fit) {
    if (!Control || Event->commitString().isEmpty()) {
        Base(Event);
        return;
    }
    std::weak_ptr<int> life = Control->Life();
    QString kept;
    GuardedCall(Control, [&] {
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
            Control->WindowProc(m);
            if (life.expired()) return;
        }
    });
    if (life.expired()) return;
    if (Fit) kept = Fit(kept);
    QInputMethodEvent filtered(Event->preeditString(), Event->attributes());
    filtered.setCommitString(kept, Event->replacementStart(), Event->replacementLength());
    Base(&filtered);
}

QString FittingText(QString Text, int Room, int BreakLength) {
    Text.truncate(IndexOfPos(Text, Room, BreakLength));
    return Text;
}

bool PasteKeyToControl(TControl* Control, QKeyEvent* Event) {
    if (!Control || !Event->matches(QKeySequence::Paste)) return false;
    Event->accept();
    GuardedCall(Control, [Control] { Control->Perform(WM_PASTE); });
    return true;
}

void PasteFitting(QLineEdit* Line, int Room) {
    QString clip = QGuiApplication::clipboard()->text();
    QString fits = FittingText(clip, Room);
    if (fits.size() == clip.size())
        Line->paste();
    else
        Line->insert(fits);
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
        TEditWindows::InputMethod(this, Event,
                                  [this](QInputMethodEvent* e) { QLineEdit::inputMethodEvent(e); });
    }
    void keyPressEvent(QKeyEvent* Event) override {
        if (!PasteKeyToControl(Control(), Event)) QLineEdit::keyPressEvent(Event);
    }
};

// The multi-line window. The formatting rectangle is the viewport (inside
// the frame and scroll bars, less its margins).
class TMultiLineWidget : public TScrollAreaWidget<QPlainTextEdit> {
public:
    TMultiLineWidget(TControl* Control, QWidget* Parent) : TScrollAreaWidget(Control, Parent) {
        // The strips between the frame and the viewport (the margins outside
        // the formatting rectangle) are in the edit's colour too.
        setBackgroundRole(viewport()->backgroundRole());
        setAutoFillBackground(true);
    }
    void SetFormatMargins(const QMargins& Margins) { setViewportMargins(Margins); }
    QMargins FormatMargins() const { return viewportMargins(); }
    std::vector<int> TabStops; // dialog units, as EM_SETTABSTOPS set them

protected:
    void contextMenuEvent(QContextMenuEvent* Event) override {
        TEditWindows::ContextMenu(this, createStandardContextMenu(), Event->globalPos());
    }
    void inputMethodEvent(QInputMethodEvent* Event) override {
        TEditWindows::InputMethod(this, Event,
                                  [this](QInputMethodEvent* e) { QPlainTextEdit::inputMethodEvent(e); });
    }
    void keyPressEvent(QKeyEvent* Event) override {
        if (!PasteKeyToControl(Control(), Event)) QPlainTextEdit::keyPressEvent(Event);
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
        // The window keeps no limit of its own: it would count UTF-16 units
        // and cut a character in two (see Room).
        e->setMaxLength(std::numeric_limits<int>::max());
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
    FMaxLength = Value; // the text stays as it is, however long
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

int TCustomEdit::Room() const {
    if (FMaxLength <= 0) return INT_MAX;
    // The single-line window keeps a line break as one character.
    int selected = Edit() ? TextLength(GetSelText()) : GetSelLength();
    return std::max(0, FMaxLength - (TextLength(FText) - selected));
}

QString TCustomEdit::FittingInsert(const QString& Insert) const {
    return FittingText(Insert, Room(), IsMultiLineWindow() ? 2 : 1);
}

void TCustomEdit::ReplaceSelection(const AnsiString& Text, bool CanUndo) {
    QString insert = FittingInsert(ToWidgetText(Text));
    if (QLineEdit* e = Edit()) {
        e->insert(insert);
        if (!CanUndo) ClearLineUndo(e);
        return;
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
        // A character that does not fit whole is not typed, quietly; only a
        // multi-line window takes Tab and Return (CR LF, two positions).
        if ((c >= 32 || (multi && (c == 9 || c == 13))) && (c == 13 ? 2 : 1) > Room()) {
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
        if (line) PasteFitting(line, Room());
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
