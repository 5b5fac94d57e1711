// Internals shared by the ui units; not part of the framework's interface.
#pragma once

#include "Controls.h"

#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPixmap>

#include <QString>

#include <functional>

class QAction;
class QLineEdit;

inline QString Q(const AnsiString& s) {
    return QString::fromStdString(s);
}

// Text with line breaks of one kind, each in one pass over it:
// QString::replace moves the rest of a long text again for every thousand
// breaks it replaces.
// LfText: the control's text for Qt, CR LF and a lone CR as LF.
inline QString LfText(const AnsiString& s) {
    QString t = Q(s);
    if (s.find('\r') == AnsiString::npos) return t;
    QChar* out = t.data();
    for (const QChar *in = out, *end = in + t.size(); in != end; ++in) {
        if (*in != u'\r') {
            *out++ = *in;
            continue;
        }
        *out++ = u'\n';
        if (in + 1 != end && in[1] == u'\n') ++in;
    }
    t.truncate(out - t.data());
    return t;
}

// CrLfText: Qt's text for the control, CR LF, a lone CR and LF as CR LF; with
// Separators, Qt's line and paragraph separators too.
inline AnsiString CrLfText(const QString& s, bool Separators) {
    auto isBreak = [Separators](QChar c) {
        return c == u'\n' || c == u'\r' ||
               (Separators && (c == QChar::LineSeparator || c == QChar::ParagraphSeparator));
    };
    qsizetype breaks = 0;
    for (QChar c : s)
        breaks += isBreak(c);
    if (breaks == 0) return s.toStdString();
    QString t;
    t.reserve(s.size() + breaks);
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (!isBreak(s[i])) {
            t += s[i];
            continue;
        }
        t += QLatin1String("\r\n");
        if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
    }
    return t.toStdString();
}

// The Qt event behind a message, and how its default handling goes.
struct TMessageContext {
    enum TKind { ckPlain, ckKeyDown, ckChar } Kind = ckPlain;
    QEvent* Event = nullptr;
    std::function<bool(QEvent*)> Default;
    bool Done = false;       // DefaultHandler ran
    bool Result = false;     // what Qt's handling returned
    bool KeyHasChar = false; // ckKeyDown: a WM_CHAR follows, Qt sees the key with it
    bool SkipChar = false;   // ckKeyDown: no WM_CHAR (the key moved the focus)
    TKeyChar OriginalChar = 0;
};

// Marks the Qt event behind a message as handled here: Qt does not see it.
inline void Handled(TMessage& Message) {
    if (Message.Context) {
        Message.Context->Done = true;
        Message.Context->Result = true;
    }
}

// The widget that received the key event being delivered before Qt passed
// it on to parents, or null when unknown (no event being delivered through
// the framework's application object).
QObject* FirstKeyReceiver();

Word QtKeyToVirtualKey(int Key);
int VirtualKeyToQtKey(Word Key);
LPARAM KeyDataFromModifiers(Qt::KeyboardModifiers Modifiers);
TKeyChar CharOfKeyEvent(const QKeyEvent* Event);
TShiftState ShiftStateOfMouse(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers);

// The scroll code (SB_...) of a scroll bar action (QAbstractSlider::SliderAction),
// SB_THUMBTRACK for dragging the thumb; -1 for no action.
int ScrollCodeOfAction(int Action);

// Set while SetFocus moves the focus without changing a form's active control.
inline bool GKeepActiveControl = false;

// Paints the caret's block over Control's window when it is Control's and showing.
void PaintCaret(TControl* Control, QPainter& Painter);

// Makes the window that holds Widget the active one, in front, as the
// platform's SetFocus does for a window of an inactive form.
void ActivateWindowOf(QWidget* Widget);

// Deletes a widget now, or once Qt is done with it when it is in use.
void DisposeWidget(QWidget* Widget);

// The screen position of the last mouse button press (the application's
// event filter notes it before Qt moves the focus for the press).
void NoteMousePress(QPoint GlobalPos);
QPoint LastMousePress();
// Frees the desktop's stand-in window (the application does, while Qt is there).
void FreeDesktopWindow();
// A drag over Widget, or the drop, when Widget is registered for dropped
// files (ShellAPI): accepted or refused, the drop delivered as WM_DROPFILES.
// False when Widget is no drop target and Qt handles the event.
bool HandleFileDrag(TControl* Control, QWidget* Widget, QEvent* Event);

// The drag of one control onto another (ControlsDrag.cpp).
struct TControlDragging {
    // A drag event over Widget: true when it belongs to a control's drag
    // and was handled here; other drags (files) go on as before.
    static bool HandleDragEvent(TControl* Control, QWidget* Widget, QEvent* Event);
    // A mouse event of the source while its drag waits for the mouse to
    // move far enough: moving starts the drag, the release ends it. True
    // when taken here.
    static bool HandlePendingMouse(TControl* Control, QEvent* Event);
    // Runs Qt's drag for the drag that BeginDrag made, to its end.
    static void Run();
    // A control going away drops the drag that waits for it to move.
    static void Forget(const TControl* Control);
    // Asks Control whether it takes the drag at Pos (its client coordinates).
    static bool Ask(TControl* Control, QPoint Pos, TDragState State);
};

// The cursor's image for Qt's drag, which takes a cursor only as an image
// and puts its hot spot at the image's centre.
QPixmap DragCursorPixmap(TCursor Cursor);

// Text an input method commits to a window of Control goes through the
// control's WM_CHAR one character at a time, as typed text does (without a
// control all of it goes in). Base receives what came through, cut by Fit,
// when given, to the head of it that a limit leaves: each character is
// judged against the text before the commit, so the whole may not fit.
void CommitInputAsChars(TControl* Control, QInputMethodEvent* Event,
                        const std::function<void(QInputMethodEvent*)>& Base,
                        const std::function<QString(const QString&)>& Fit = nullptr);

// The name of an action of the menu Qt's text windows make
// (createStandardContextMenu): "edit-undo", "edit-redo", "edit-cut",
// "edit-copy", "edit-paste", "edit-delete", "select-all"; empty for others.
// Qt 6.4 gives the names to the multi-line window's actions only; a
// single-line window's are known by their texts.
QString StandardActionName(const QAction* Action);

// ---- MaxLength in whole characters
// The text controls' limits count code points: a character beyond U+FFFF is
// two UTF-16 units and one character, and no limit cuts it in two. Qt's own
// limit (QLineEdit::setMaxLength) counts units: the windows keep none.

// The code points of Text.
inline int CodePoints(const QString& Text) {
    int n = 0;
    for (qsizetype i = 0; i < Text.size(); ++i)
        n += !(Text[i].isLowSurrogate() && i > 0 && Text[i - 1].isHighSurrogate());
    return n;
}

// The head of Text that holds at most Room code points; a line break counts
// BreakLength (two where the text keeps it as CR LF).
QString FittingText(QString Text, int Room, int BreakLength = 1);

// A paste key of the desktop's key scheme as Qt knows it (Ctrl+V,
// Shift+Insert, the Paste key F18, ...) that reaches a text window goes to
// Control as WM_PASTE, where MaxLength and the message maps see it. True
// when Event was one.
bool PasteKeyToControl(TControl* Control, QKeyEvent* Event);

// Pastes the clipboard's text into a single-line window, no more of it than
// Room code points: a text that fits goes in as the window pastes it (its
// own undo step), a longer one cut before the first character that does not.
void PasteFitting(QLineEdit* Line, int Room);

// A scroll area (a text editor) as a control's window. Qt gives the mouse,
// drags and the context-menu request to the viewport, not to the area: they
// go to the control from there too. The control paints nothing over it.
template <class W> class TScrollAreaWidget : public TControlWidget<W> {
public:
    using TControlWidget<W>::TControlWidget;

protected:
    bool viewportEvent(QEvent* Event) override {
        switch (Event->type()) {
        case QEvent::ContextMenu:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            if (TControl* c = this->Control())
                return c->HandleWidgetEvent(this, Event, [this](QEvent* e) { return W::viewportEvent(e); });
            break;
        default:
            break;
        }
        return W::viewportEvent(Event);
    }
    void paintEvent(QPaintEvent* Event) override { W::paintEvent(Event); }
};
