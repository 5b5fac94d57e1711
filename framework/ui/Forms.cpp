#include "Forms.h"

#include "Buttons.h"
#include "ComCtrls.h"
#include "DBCtrls.h"
#include "DBGrids.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "FileCtrl.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

QObject* GFirstKeyReceiver = nullptr;

// The Qt application: notes the first receiver of each key event, and
// keeps exceptions that slipped past a handler's guard out of Qt.
class TQtApplication : public QApplication {
public:
    TQtApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* Receiver, QEvent* Event) override {
        bool key = Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease;
        if (Event->type() == QEvent::MouseButtonPress)
            NoteMousePress(static_cast<QMouseEvent*>(Event)->globalPosition().toPoint());
        QObject* saved = GFirstKeyReceiver;
        if (key) GFirstKeyReceiver = Receiver;
        bool result = false;
        try {
            result = QApplication::notify(Receiver, Event);
        } catch (...) {
            if (Application) Application->HandleException(nullptr);
        }
        if (key) GFirstKeyReceiver = saved;
        return result;
    }
};

std::set<TCustomForm*>& ReleasedForms() {
    static std::set<TCustomForm*> forms;
    return forms;
}

// Qt wants a private runtime folder. Where the session names none (a root
// shell, xvfb-run) it takes <temp>/runtime-<user> and says so on every start;
// the program names that same folder itself, made private, and Qt is quiet.
// A folder that cannot be had is left for Qt to report.
void ProvideRuntimeFolder() {
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (set && *set) return;
    uid_t uid = ::geteuid();
    const passwd* user = ::getpwuid(uid);
    AnsiString folder = QDir::tempPath().toStdString() + "/runtime-" +
                        (user ? AnsiString(user->pw_name) : IntToStr(static_cast<Int64>(uid)));
    if (MakePrivateFolder(folder)) ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

} // namespace

QObject* FirstKeyReceiver() {
    return GFirstKeyReceiver;
}

const TIdentMap& ModalResultIdents() {
    static const TIdentMap map = {{mrNone, "mrNone"},   {mrOk, "mrOk"},       {mrCancel, "mrCancel"},
                                  {mrAbort, "mrAbort"}, {mrRetry, "mrRetry"}, {mrIgnore, "mrIgnore"},
                                  {mrYes, "mrYes"},     {mrNo, "mrNo"},       {mrAll, "mrAll"}};
    return map;
}

AnsiString GetShortHint(const AnsiString& Hint) {
    size_t bar = Hint.find('|');
    return bar == AnsiString::npos ? Hint : Hint.substr(0, bar);
}

AnsiString GetLongHint(const AnsiString& Hint) {
    size_t bar = Hint.find('|');
    return bar == AnsiString::npos ? Hint : Hint.substr(bar + 1);
}

// ---- TCustomForm ----------------------------------------------------------

KV_PUBLISHED_METACLASS(TCustomForm, &TWinControl::ClassInfo())
KV_METACLASS(TForm, &TCustomForm::ClassInfo())

void TCustomForm::Publish(TPublisher<TCustomForm>& P) {
    // A form stores its client size; the outer size follows from the border.
    P.Prop("Width", &TControl::GetWidth, &TControl::SetWidth).NoDefault().Stored(false);
    P.Prop("Height", &TControl::GetHeight, &TControl::SetHeight).NoDefault().Stored(false);
    P.Prop("ActiveControl", &TCustomForm::GetActiveControl, &TCustomForm::SetActiveControl);
    P.Prop("BorderIcons", &TCustomForm::GetBorderIcons, &TCustomForm::SetBorderIcons)
        .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    P.Prop("BorderStyle", &TCustomForm::GetBorderStyle, &TCustomForm::SetBorderStyle).Default(bsSizeable);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("ClientHeight", &TControl::GetClientHeight, &TControl::SetClientHeight).NoDefault();
    P.Prop("ClientWidth", &TControl::GetClientWidth, &TControl::SetClientWidth).NoDefault();
    P.Prop("KeyPreview", &TCustomForm::GetKeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    P.Prop("Position", &TCustomForm::GetPosition, &TCustomForm::SetPosition).Default(poDesigned);
    P.Prop("Visible", &TControl::GetVisible, &TCustomForm::SetVisible).Default(false);
    // Written by other designers; kept so their texts read.
    P.Prop("OldCreateOrder", &TCustomForm::FOldCreateOrder, &TCustomForm::FOldCreateOrder).Stored(false);
    P.Prop("PixelsPerInch", &TCustomForm::FPixelsPerInch, &TCustomForm::FPixelsPerInch).Stored(false);
    P.Prop("TextHeight", &TCustomForm::FTextHeight, &TCustomForm::FTextHeight).Stored(false);
    P.Prop("OnClose", &TCustomForm::OnClose, &TCustomForm::OnClose);
    P.Prop("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::OnCloseQuery);
    P.Prop("OnCreate", &TCustomForm::OnCreate, &TCustomForm::OnCreate);
    P.Prop("OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::OnDestroy);
    P.Prop("OnHide", &TCustomForm::OnHide, &TCustomForm::OnHide);
    P.Prop("OnShow", &TCustomForm::OnShow, &TCustomForm::OnShow);
}

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
    FCanvas->OnDrawn = [this] {
        if (GetWidget()) GetWidget()->update();
    };
    FCanvas->GetFont()->Assign(GetFont());
    TControl::SetVisible(false);
    SetBounds(0, 0, 320 + 2 * FrameWidth(), 240 + 2 * FrameWidth() + CaptionHeight());
    if (Screen) Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
    // A handler that is a method of this form belongs to a derived class
    // whose part of the object is gone by now: it ran in BeforeDestruction
    // or it does not run.
    if (!FDestroyFired && OnDestroy && GetMethodRef(OnDestroy).Data != this) BeforeDestruction();
    ReleasedForms().erase(this);
    if (Screen) {
        auto& forms = Screen->FForms;
        forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    }
    if (Application && Application->FMainForm == this) Application->FMainForm = nullptr;
    FActiveControl = nullptr;
}

void TCustomForm::BeforeDestruction() {
    if (FDestroyFired) return;
    FDestroyFired = true;
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::InitForm(const TMetaClass& Class) {
    FShowWhenCreated = false;
    ReadComponentRes(this, Class);
    DoCreate();
    if (FShowWhenCreated) Show();
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}
void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}
void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

int TCustomForm::FrameWidth() const {
    switch (FBorderStyle) {
    case bsNone:
        return 0;
    case bsSizeable:
    case bsSizeToolWin:
        return 4;
    default:
        return 3;
    }
}

int TCustomForm::CaptionHeight() const {
    if (FCaptionless) return 0;
    switch (FBorderStyle) {
    case bsNone:
        return 0;
    case bsToolWindow:
    case bsSizeToolWin:
        return 15;
    default:
        return 19;
    }
}

int TCustomForm::DrawnFrame() const {
    return FCaptionless ? FrameWidth() : 0;
}

void TCustomForm::FrameChanged() {
    bool captionless = GetWidget() && !(FWindowStyle & WS_CAPTION) && FBorderStyle != bsNone;
    if (captionless == FCaptionless) return;
    // As on the platform the window keeps its size: the client area takes
    // the caption's room, or gives it back.
    FCaptionless = captionless;
    ApplyWindowFlags();
    TWinControl::FrameChanged();
    Perform(WM_SIZE, 0, MakeLParam(GetClientWidth(), GetClientHeight()));
    AlignControls();
}

void TCustomForm::Paint(QPainter& Painter) {
    if (DrawnFrame() > 0) {
        TRect r = Bounds(0, 0, GetWidth(), GetHeight());
        DrawEdge(Painter, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    }
    FCanvas->ShowSurface(Painter, ClientOffset());
}

int TCustomForm::GetClientWidth() const {
    return std::max(0, GetWidth() - 2 * FrameWidth());
}
int TCustomForm::GetClientHeight() const {
    return std::max(0, GetHeight() - 2 * FrameWidth() - CaptionHeight());
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (Value == FBorderStyle) return;
    // The client area stays; the outer size follows the new frame.
    int cw = GetClientWidth(), ch = GetClientHeight();
    FBorderStyle = Value;
    SetBounds(GetLeft(), GetTop(), cw + 2 * FrameWidth(), ch + 2 * FrameWidth() + CaptionHeight());
    ApplyWindowFlags();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    if (Value == FBorderIcons) return;
    FBorderIcons = Value;
    ApplyWindowFlags();
}

void TCustomForm::SetModalResult(TModalResult Value) {
    FModalResult = Value;
    if (FModal && Value != mrNone && FModalLoop) FModalLoop->quit();
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
    if (Value == FActiveControl) return;
    if (Value && GetParentForm(Value) != this)
        throw EInvalidOperation("Control " + Value->GetName() + " is not on form " + GetName());
    FActiveControl = Value;
    if (Value) Value->FreeNotification(this);
    if (!IsLoading() && Value && GetWidget() && GetWidget()->isVisible() && Value->CanFocus())
        Value->SetFocus();
}

void TCustomForm::FocusChanged(TControl* Control) {
    auto* w = dynamic_cast<TWinControl*>(Control);
    if (w && w != this && GetParentForm(w) == this) {
        FActiveControl = w;
        w->FreeNotification(this);
    }
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style &= ~(WS_CHILD | WS_VISIBLE);
    Params.WndParent = nullptr;
    if (FBorderStyle != bsNone) Params.Style |= WS_CAPTION;
    if (FBorderStyle == bsSizeable || FBorderStyle == bsSizeToolWin) Params.Style |= WS_THICKFRAME;
    if (FBorderIcons.Contains(biSystemMenu)) Params.Style |= WS_SYSMENU;
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) Params.ExStyle |= WS_EX_TOOLWINDOW;
    if (FBorderIcons.Contains(biHelp)) Params.ExStyle |= WS_EX_CONTEXTHELP;
}

QWidget* TCustomForm::CreateWidget(const TCreateParams&) {
    return new TControlWidget<QWidget>(this, nullptr);
}

void TCustomForm::ApplyWindowFlags() {
    QWidget* w = GetWidget();
    if (!w) return;
    Qt::WindowFlags f = Qt::Window;
    switch (FCaptionless ? bsNone : FBorderStyle) {
    case bsNone:
        f |= Qt::FramelessWindowHint;
        break;
    case bsDialog:
        f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        f = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        break;
    default:
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        break;
    }
    if (FBorderIcons.Contains(biSystemMenu)) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
        if (FBorderIcons.Contains(biMinimize)) f |= Qt::WindowMinimizeButtonHint;
        if (FBorderIcons.Contains(biMaximize) && FBorderStyle == bsSizeable)
            f |= Qt::WindowMaximizeButtonHint;
    }
    if (FBorderIcons.Contains(biHelp)) f |= Qt::WindowContextHelpButtonHint;
    bool visible = w->isVisible();
    w->setWindowFlags(f);
    UpdateWidgetBounds();
    if (visible) w->show();
}

void TCustomForm::InitWidget() {
    bool hadCaption = !FCaptionless;
    FCaptionless = false; // a new window has the style CreateParams gives it
    TWinControl::InitWidget();
    ApplyWindowFlags();
    GetWidget()->setWindowTitle(QString::fromStdString(GetText()));
    if (!hadCaption) AlignControls();
}

void TCustomForm::UpdateWidgetBounds() {
    QWidget* w = GetWidget();
    if (!w) return;
    int inset = DrawnFrame(); // a frame the framework draws is part of the widget
    QSize client(GetClientWidth() + 2 * inset, GetClientHeight() + 2 * inset);
    bool fixed = FBorderStyle == bsDialog || FBorderStyle == bsSingle || FBorderStyle == bsToolWindow ||
                 FBorderStyle == bsNone;
    if (fixed) {
        w->setFixedSize(client);
    } else {
        TSizeConstraints* c = GetConstraints();
        int fw = 2 * (FrameWidth() - inset), fh = 2 * (FrameWidth() - inset) + CaptionHeight();
        w->setMinimumSize(std::max(0, c->GetMinWidth() - fw), std::max(0, c->GetMinHeight() - fh));
        w->setMaximumSize(c->GetMaxWidth() > 0 ? c->GetMaxWidth() - fw : QWIDGETSIZE_MAX,
                          c->GetMaxHeight() > 0 ? c->GetMaxHeight() - fh : QWIDGETSIZE_MAX);
        w->resize(client);
    }
    w->move(GetLeft(), GetTop());
}

void TCustomForm::WindowMovedOrResized() {
    QWidget* w = GetWidget();
    if (!w) return;
    QSize s = w->size();
    int frame = 2 * (FrameWidth() - DrawnFrame());
    int width = s.width() + frame, height = s.height() + frame + CaptionHeight();
    QPoint pos = w->pos();
    if (width != GetWidth() || height != GetHeight() || pos.x() != GetLeft() || pos.y() != GetTop())
        SetBounds(pos.x(), pos.y(), width, height);
}

void TCustomForm::TextChanged() {
    if (GetWidget()) GetWidget()->setWindowTitle(QString::fromStdString(GetText()));
}

void TCustomForm::PlaceWindow() {
    if (FPlaced) return;
    FPlaced = true;
    QRect area;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
        if (QScreen* s = QGuiApplication::primaryScreen()) area = s->availableGeometry();
        break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
        TCustomForm* other = FPosition == poOwnerFormCenter
                                 ? dynamic_cast<TCustomForm*>(GetOwner())
                                 : (Application ? Application->GetMainForm() : nullptr);
        if (other && other != this)
            area = QRect(other->GetLeft(), other->GetTop(), other->GetWidth(), other->GetHeight());
        else if (QScreen* s = QGuiApplication::primaryScreen())
            area = s->availableGeometry();
        break;
    }
    default:
        return;
    }
    if (area.isNull()) return;
    SetBounds(area.left() + (area.width() - GetWidth()) / 2, area.top() + (area.height() - GetHeight()) / 2,
              GetWidth(), GetHeight());
}

void TCustomForm::SetVisible(bool Value) {
    if (IsLoading()) {
        FShowWhenCreated = Value; // InitForm shows the form after OnCreate
        return;
    }
    if (Value == GetVisible()) return;
    if (Value) {
        DoShow();
        HandleNeeded();
        PlaceWindow();
        TControl::SetVisible(true);
        if (QGuiApplication::platformName() != "offscreen") GetWidget()->raise();
        GetWidget()->activateWindow();
        if (FActiveControl && FActiveControl->CanFocus()) FActiveControl->SetFocus();
    } else {
        TControl::SetVisible(false);
        DoHide();
    }
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (FModal) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->GetMainForm() == this) {
        Application->Terminate();
        return;
    }
    if (action == caFree)
        Release();
    else
        Hide();
}

bool TCustomForm::CloseModal() {
    TCloseAction action = caHide;
    if (!CloseQuery())
        action = caNone;
    else
        DoClose(action);
    if (action == caNone) {
        FModalResult = mrNone;
        return false;
    }
    if (action == caFree) Release();
    return true;
}

int TCustomForm::ShowModal() {
    if (GetVisible() || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    FModalResult = mrNone;
    FModal = true;
    QEventLoop loop;
    try {
        HandleNeeded();
        GetWidget()->setWindowModality(Qt::ApplicationModal);
        Show();
        FModalLoop = &loop;
        for (;;) {
            if (FModalResult == mrNone && !(Application && Application->GetTerminated())) loop.exec();
            if (Application && Application->GetTerminated()) {
                if (FModalResult == mrNone) FModalResult = mrCancel;
                break;
            }
            if (FModalResult != mrNone && CloseModal()) break;
        }
    } catch (...) {
        FModalLoop = nullptr;
        FModal = false;
        throw;
    }
    FModalLoop = nullptr;
    FModal = false;
    Hide();
    if (GetWidget()) GetWidget()->setWindowModality(Qt::NonModal);
    return FModalResult;
}

void TCustomForm::Release() {
    ReleasedForms().insert(this);
    TCustomForm* self = this;
    QTimer::singleShot(0, qApp, [self] {
        if (ReleasedForms().erase(self)) delete self;
    });
}

void TCustomForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CLOSE:
        WMClose(Message);
        break;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        CMDialogKey(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

void TCustomForm::WMClose(TMessage&) {
    Close();
}

void TCustomForm::CMDialogKey(TMessage& Message) {
    // Offer the key to every control of the form; the first that wants it ends the search.
    std::function<LRESULT(TWinControl*)> offer = [&](TWinControl* parent) -> LRESULT {
        for (int i = 0; i < parent->GetControlCount(); ++i) {
            TControl* c = parent->GetControl(i);
            if (!c->GetVisible()) continue;
            if (LRESULT r = c->Perform(Message.Msg, Message.WParam, Message.LParam)) return r;
            if (auto* w = dynamic_cast<TWinControl*>(c))
                if (LRESULT r = offer(w)) return r;
        }
        return 0;
    };
    Message.Result = offer(this);
}

// ---- TScreen --------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {
    if (!::Screen) ::Screen = this;
}

TScreen::~TScreen() {
    if (::Screen == this) ::Screen = nullptr;
}

int TScreen::GetWidth() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TScreen::GetHeight() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

TCustomForm* TScreen::GetForm(int Index) const {
    if (Index < 0 || Index >= GetFormCount()) ListIndexError(Index);
    return FForms[static_cast<size_t>(Index)];
}

TCustomForm* TScreen::GetActiveForm() const {
    QWidget* active = QApplication::activeWindow();
    for (TCustomForm* f : FForms)
        if (f->GetWidget() && f->GetWidget() == active) return f;
    return nullptr;
}

TWinControl* TScreen::GetActiveControl() const {
    TCustomForm* f = GetActiveForm();
    return f ? f->GetActiveControl() : nullptr;
}

void TScreen::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    if (FCursor != crDefault) QApplication::restoreOverrideCursor();
    FCursor = Value;
    if (Value == crHourGlass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (Value != crDefault)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
}

// ---- TApplication ---------------------------------------------------------

namespace {
int DefaultArgc = 1;
char DefaultName[] = "kvapp";
char* DefaultArgv[] = {DefaultName, nullptr};
} // namespace

TApplication::TApplication() : TApplication(DefaultArgc, DefaultArgv) {}

// Turns Qt's changes of the application state into WM_ACTIVATEAPP for the
// main window's hooks.
class TApplication::TStateWatcher : public QObject {
public:
    explicit TStateWatcher(TApplication* App) : FApp(App) {
        FActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
        QApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Watched == QApplication::instance() && Event->type() == QEvent::ApplicationStateChange) {
            bool active = static_cast<QApplicationStateChangeEvent*>(Event)->applicationState() ==
                          Qt::ApplicationActive;
            if (active != FActive) {
                FActive = active;
                TMessage m;
                m.Msg = WM_ACTIVATEAPP;
                m.WParam = active ? 1 : 0;
                GuardedCall(FApp, [&] { FApp->MainWindowMessage(m); });
            }
        }
        return false;
    }

private:
    TApplication* FApp;
    bool FActive;
};

TApplication::TApplication(int& Argc, char** Argv) : TComponent(nullptr) {
    if (Application) throw EInvalidOperation("An application object exists already");
    if (!QApplication::instance()) {
        ProvideRuntimeFolder();
        FQtApp = std::make_unique<TQtApplication>(Argc, Argv);
    }
    QApplication::setQuitOnLastWindowClosed(false);
    Application = this;
    FStateWatcher = std::make_unique<TStateWatcher>(this);
    new TScreen(this);
    RegisterControlClasses();
}

TApplication::~TApplication() {
    // Forms go while Qt is still there.
    DestroyComponents();
    FHooks.clear();
    FStateWatcher.reset();
    FreeDesktopWindow();
    Application = nullptr;
    FQtApp.reset();
}

void TApplication::HookMainWindow(const void* Owner, TWindowHook Hook) {
    UnhookMainWindow(Owner);
    FHooks.push_back({Owner, std::move(Hook)});
}

void TApplication::UnhookMainWindow(const void* Owner) {
    std::erase_if(FHooks, [Owner](const TMainWindowHook& h) { return h.Owner == Owner; });
}

bool TApplication::MainWindowMessage(TMessage& Message) {
    // A hook may unhook itself or others while it runs.
    std::vector<const void*> owners;
    for (const TMainWindowHook& h : FHooks)
        owners.push_back(h.Owner);
    for (const void* owner : owners) {
        auto it = std::find_if(FHooks.begin(), FHooks.end(),
                               [owner](const TMainWindowHook& h) { return h.Owner == owner; });
        if (it == FHooks.end()) continue;
        TWindowHook hook = it->Hook;
        if (hook(Message)) return true;
    }
    return false;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

void TApplication::Run() {
    if (FMainForm) GuardedCall(this, [this] { FMainForm->Show(); });
    if (!FTerminated) QApplication::exec();
    FTerminated = true;
}

void TApplication::Terminate() {
    FTerminated = true;
    QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleMessage() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr p = std::current_exception();
    if (!p) return;
    auto deliver = [&](const std::exception& e) {
        try {
            if (OnException)
                OnException(Sender, e);
            else
                ShowException(e);
        } catch (const std::exception& again) {
            std::fprintf(stderr, "Exception in exception handler: %s\n", again.what());
        } catch (...) {
            std::fprintf(stderr, "Exception in exception handler\n");
        }
    };
    try {
        std::rethrow_exception(p);
    } catch (const std::exception& e) {
        deliver(e);
    } catch (...) {
        deliver(Exception("Unknown exception"));
    }
}

void TApplication::ShowException(const std::exception& E) {
    AnsiString msg = E.what();
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    // Through the message box function, so that tests can answer it.
    MessageDlg(msg, mtError, {mbOK}, 0);
}

void TApplication::SetShowHint(bool Value) {
    FShowHint = Value;
    if (!Value) CancelHint();
}

namespace {

// Breaks Text into lines no wider than MaxWidth pixels, at blanks.
QString WrapHint(const QString& Text, int MaxWidth, const QFontMetrics& Metrics) {
    if (MaxWidth <= 0) return Text;
    QStringList out;
    for (const QString& paragraph : Text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            QString candidate = line.isEmpty() ? word : line + ' ' + word;
            if (!line.isEmpty() && Metrics.horizontalAdvance(candidate) > MaxWidth) {
                out << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        out << line;
    }
    return out.join('\n');
}

} // namespace

void TApplication::ActivateHint(TControl* Control, QPoint CursorPos) {
    if (!FShowHint || !Control || !Control->GetShowHint() || !Control->GetWidget()) {
        CancelHint();
        return;
    }
    THintInfo info;
    info.HintControl = Control;
    info.CursorPos = Control->ScreenToClient(CursorPos);
    info.CursorRect = Control->GetClientRect();
    info.HintPos = CursorPos + QPoint(0, 16);
    info.HintMaxWidth = Screen ? Screen->GetWidth() : 0;
    info.HideTimeout = FHintHidePause;
    info.HintStr = GetShortHint(Control->GetHint());
    bool canShow = !info.HintStr.empty();
    if (canShow && Control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0) canShow = false;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    if (!canShow || info.HintStr.empty()) {
        CancelHint();
        return;
    }
    QString text =
        WrapHint(QString::fromStdString(info.HintStr), info.HintMaxWidth, QFontMetrics(QToolTip::font()));
    FHintText = text.toStdString();
    QToolTip::showText(info.HintPos, text, Control->GetWidget(), QRect(), info.HideTimeout);
}

void TApplication::CancelHint() {
    FHintText.clear();
    QToolTip::hideText();
}

namespace {
std::function<void(unsigned)>& BeepHook() {
    static std::function<void(unsigned)> hook;
    return hook;
}
} // namespace

void MessageBeep(unsigned Type) {
    if (BeepHook())
        BeepHook()(Type);
    else if (QApplication::instance())
        QApplication::beep();
}

void SetBeepHook(std::function<void(unsigned Type)> Hook) {
    BeepHook() = std::move(Hook);
}

void RegisterControlClasses() {
    for (TComponentClass c :
         {&TForm::ClassInfo(), &TPanel::ClassInfo(), &TButton::ClassInfo(), &TEdit::ClassInfo(),
          &TMemo::ClassInfo(), &TCheckBox::ClassInfo(), &TLabel::ClassInfo(), &TStaticText::ClassInfo(),
          &TSpeedButton::ClassInfo(), &TTimer::ClassInfo(), &TDBGrid::ClassInfo(), &TDBNavigator::ClassInfo(),
          &TListBox::ClassInfo(), &TComboBox::ClassInfo(), &TDriveComboBox::ClassInfo()})
        RegisterClass(c);
    // Rich edit, up-down and menus
    for (TComponentClass c :
         {&TRichEdit::ClassInfo(), &TUpDown::ClassInfo(), &TPopupMenu::ClassInfo(), &TMenuItem::ClassInfo()})
        RegisterClass(c);
}
