// The application object, the screen and forms.
//
// A form class built from a form description reads it in its own
// constructor, once its fields exist:
//
//   TFrmMain::TFrmMain(TComponent* Owner) : TForm(Owner) {
//       InitForm(ClassInfo()); // reads the resource "TFRMMAIN", then OnCreate
//       ...
//   }
#pragma once

#include "Controls.h"
#include "FormReader.h"

#include <memory>

class QApplication;
class QEventLoop;

enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
KV_ENUM_TYPEINFO(TPosition, "poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                 "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter")

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
KV_ENUM_TYPEINFO(TBorderIcon, "biSystemMenu", "biMinimize", "biMaximize", "biHelp")
using TBorderIcons = TSet<TBorderIcon, Byte>;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
KV_ENUM_TYPEINFO(TCloseAction, "caNone", "caHide", "caFree", "caMinimize")

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
const TIdentMap& ModalResultIdents();

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// ---------------------------------------------------------------------------
// Forms

class TCustomForm : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomForm>& P);

    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Reads the form description registered under Class's name in
    // capitals, then fires OnCreate; a text with Visible = True shows the
    // form after that.
    void InitForm(const TMetaClass& Class);
    // Fires OnDestroy while the whole object still exists; call it first in
    // the destructor of a form whose OnDestroy handler is a method of its own.
    void BeforeDestruction();

    int GetClientWidth() const override;
    int GetClientHeight() const override;
    // Outer size less the client area: frame and caption (fixed per border
    // style, so layouts do not depend on the window manager).
    int FrameWidth() const;
    int CaptionHeight() const;

    TPosition GetPosition() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons GetBorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TModalResult GetModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value);
    TWinControl* GetActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Value);
    bool GetKeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }
    bool IsModal() const { return FModal; }

    void SetVisible(bool Value) override;
    // Shows the form modally: returns its ModalResult once a button or code
    // sets one (Close and the window's close box set mrCancel).
    virtual int ShowModal();
    void Close();
    virtual bool CloseQuery();
    // Frees the form once the events being handled are done.
    void Release();

    // Called when a control of this form takes the focus.
    void FocusChanged(TControl* Control);

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void Dispatch(TMessage& Message) override;
    void CreateParams(TCreateParams& Params) override;
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void UpdateWidgetBounds() override;
    void WindowMovedOrResized() override;
    void TextChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);

    void WMClose(TMessage& Message);
    void CMDialogKey(TMessage& Message);

private:
    bool CloseModal();
    void PlaceWindow();
    void ApplyWindowFlags();

    TPosition FPosition = poDesigned;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TModalResult FModalResult = mrNone;
    TWinControl* FActiveControl = nullptr;
    bool FKeyPreview = false;
    bool FModal = false;
    bool FPlaced = false;
    bool FShowWhenCreated = false;
    bool FDestroyFired = false;
    int FPixelsPerInch = 96;
    int FTextHeight = 13;
    bool FOldCreateOrder = false;
    QEventLoop* FModalLoop = nullptr;
};

class TForm : public TCustomForm {
public:
    KV_METACLASS_DECL
    using TCustomForm::TCustomForm;
};

// ---------------------------------------------------------------------------
// Hints

struct THintInfo {
    TControl* HintControl = nullptr;
    QPoint HintPos;       // screen position of the hint window
    int HintMaxWidth = 0; // longer lines wrap at word boundaries
    TColor HintColor = clInfoBk;
    QRect CursorRect; // in the control's client coordinates
    QPoint CursorPos; // in the control's client coordinates
    int ReshowTimeout = 0;
    int HideTimeout = 0; // milliseconds
    AnsiString HintStr;
};

using TShowHintEvent = std::function<void(AnsiString& HintStr, bool& CanShow, THintInfo& HintInfo)>;
// A hook on the application's main window; true when it handled the message.
using TWindowHook = std::function<bool(TMessage& Message)>;
using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

// The part of a hint before '|' (what the hint window shows).
AnsiString GetShortHint(const AnsiString& Hint);
AnsiString GetLongHint(const AnsiString& Hint);

// ---------------------------------------------------------------------------
// Screen

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner);
    ~TScreen() override;
    int GetWidth() const;
    int GetHeight() const;
    int GetFormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* GetForm(int Index) const;
    // The form whose window is active, or null.
    TCustomForm* GetActiveForm() const;
    TWinControl* GetActiveControl() const;
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor Value);

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> FForms;
    TCursor FCursor = crDefault;
};

// ---------------------------------------------------------------------------
// Application

// The one application object: owns the Qt application (unless one
// existed), the forms made by CreateForm and the screen; the event loop;
// the handling of exceptions from event handlers; hints.
class TApplication : public TComponent {
public:
    TApplication();
    TApplication(int& Argc, char** Argv);
    ~TApplication() override;

    void Initialize() {}
    template <class T> void CreateForm(T*& Reference) {
        T* form = new T(this);
        Reference = form;
        if (!FMainForm) FMainForm = form;
    }
    TCustomForm* GetMainForm() const { return FMainForm; }
    // Shows the main form and handles events until Terminate or until the
    // main form closes.
    void Run();
    void Terminate();
    bool GetTerminated() const { return FTerminated; }
    void ProcessMessages();
    // Waits for one event and handles it.
    void HandleMessage();

    // To be called inside a catch block: hands the exception being handled
    // to OnException, or to ShowException when there is no handler.
    void HandleException(TObject* Sender);
    // Shows the exception's message in an error box (through MessageDlg,
    // so its test hook answers it too).
    void ShowException(const std::exception& E);

    const AnsiString& GetTitle() const { return FTitle; }
    void SetTitle(const AnsiString& Value) { FTitle = Value; }
    int GetHintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(int Value) { FHintHidePause = Value; }
    int GetHintPause() const { return FHintPause; }
    void SetHintPause(int Value) { FHintPause = Value; }
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);

    // Shows Control's hint at the cursor position (screen coordinates), if it
    // has one and its ShowHint is on; OnShowHint may change or veto it.
    void ActivateHint(TControl* Control, QPoint CursorPos);
    void CancelHint();
    // The text of the hint on show, "" when none.
    const AnsiString& GetHintText() const { return FHintText; }

    TShowHintEvent OnShowHint;
    TExceptionEvent OnException;

    // Hooks on the main window, one per owner, asked in the order they were
    // installed. The main window gets WM_ACTIVATEAPP (WParam 1 or 0) when
    // the application gets or loses the activation.
    void HookMainWindow(const void* Owner, TWindowHook Hook);
    void UnhookMainWindow(const void* Owner);
    // Offers the message to the hooks; true when one handled it.
    bool MainWindowMessage(TMessage& Message);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TCustomForm;
    class TStateWatcher;
    struct TMainWindowHook {
        const void* Owner;
        TWindowHook Hook;
    };
    std::unique_ptr<QApplication> FQtApp;
    std::unique_ptr<TStateWatcher> FStateWatcher;
    std::vector<TMainWindowHook> FHooks;
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    AnsiString FTitle;
    int FHintHidePause = 2500;
    int FHintPause = 500;
    bool FShowHint = true;
    AnsiString FHintText;
};

extern TApplication* Application;
extern TScreen* Screen;

// Sounds the platform's beep (Type 0: the default beep). Tests can catch
// beeps with SetBeepHook; an empty hook restores the sound.
void MessageBeep(unsigned Type);
void SetBeepHook(std::function<void(unsigned Type)> Hook);

// Makes the framework's control classes known by name (done by TApplication).
void RegisterControlClasses();
