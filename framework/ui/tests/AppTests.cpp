// The start, the event loop, freeing from handlers, glyphs in form text, focus keys, painting.
#include "Buttons.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TEST(ApplicationRun, ShowsTheMainFormAndEndsWhenItCloses) {
    // Run leaves the application terminated: use a fresh one and put a
    // fresh one back for the other tests.
    delete Application;
    new TApplication();
    ASSERT_NE(Application, nullptr);
    Application->SetTitle("IBRowvaneDemo");
    TForm* main = nullptr;
    Application->CreateForm(main);
    TForm* second = nullptr;
    Application->CreateForm(second);
    EXPECT_EQ(Application->GetMainForm(), main);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = main->GetVisible() && main->GetWidget()->isVisible();
        second->Close(); // another form only hides
        EXPECT_FALSE(Application->GetTerminated());
        main->GetWidget()->close();
    });
    Application->Run();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Application->GetTerminated());
    delete main; // owned by the application; freeing it by hand tells the owner
    EXPECT_EQ(Application->GetMainForm(), nullptr);
    delete Application;
    new TApplication();
}

// Started where the session names no runtime folder (a root shell,
// xvfb-run), a program prints nothing: the application gives Qt the folder
// it would take itself, private, before Qt looks for one.
TEST(ApplicationStart, NamesQtsRuntimeFolderWhereTheSessionNamesNone) {
    std::string temp = testing::TempDir() + "kv-start-XXXXXX";
    ASSERT_NE(mkdtemp(temp.data()), nullptr);
    std::string command = "env -u XDG_RUNTIME_DIR TMPDIR=" + temp + " QT_QPA_PLATFORM=offscreen " +
                          START_APPLICATION_FILE + " 2>&1";
    std::string output;
    if (FILE* run = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, run))
            output.append(buffer, n);
        EXPECT_EQ(pclose(run), 0);
    }
    EXPECT_EQ(output, "started\n");
    const passwd* user = getpwuid(geteuid());
    ASSERT_NE(user, nullptr);
    struct stat info {};
    ASSERT_EQ(::lstat((temp + "/runtime-" + user->pw_name).c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::error_code ec;
    std::filesystem::remove_all(temp, ec);
}

TEST(ApplicationRun, TerminateBeforeRunReturnsAtOnce) {
    delete Application;
    new TApplication();
    Application->Terminate();
    Application->Run();
    EXPECT_TRUE(Application->GetTerminated());
    delete Application;
    new TApplication();
}

TEST(FreeingFromHandlers, AFormFreedInItsButtonsClickAndReleased) {
    ExceptionCatcher caught;
    auto* form = new TForm(nullptr);
    form->SetBounds(0, 0, 200, 100);
    auto* button = new TButton(form);
    button->SetParent(form);
    bool destroyed = false;
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    button->OnClick = [&](TObject*) { delete form; };
    form->Show();
    QTest::mouseClick(button->GetHandle(), Qt::LeftButton);
    EXPECT_TRUE(destroyed);
    QApplication::processEvents(); // the button's widget goes once Qt is done with it

    auto* released = new TForm(nullptr);
    auto* edit = new TEdit(released);
    edit->SetParent(released);
    edit->OnKeyPress = [&](TObject*, TKeyChar&) { released->Release(); };
    released->Show();
    edit->SetFocus();
    QTest::keyClick(edit->GetHandle(), Qt::Key_A);
    EXPECT_EQ(Screen->GetFormCount(), 1);
    QApplication::processEvents();
    EXPECT_EQ(Screen->GetFormCount(), 0);
    EXPECT_TRUE(caught.Messages.empty());
}

// A form whose OnDestroy is a method of its own runs it from its destructor.
class TOwnDestroy : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TOwnDestroy>& P) { P.Method("FormDestroy", &TOwnDestroy::FormDestroy); }
    TOwnDestroy(TComponent* Owner, int* Counter) : TForm(Owner), FCounter(Counter) {
        ReadComponentFromText("object F: TOwnDestroy\n  OnDestroy = FormDestroy\nend", this, ClassInfo());
    }
    ~TOwnDestroy() override { BeforeDestruction(); }
    void FormDestroy(TObject*) { ++*FCounter; }
    int* FCounter;
};
KV_PUBLISHED_ABSTRACT_METACLASS(TOwnDestroy, &TForm::ClassInfo())

TEST(FreeingFromHandlers, OnDestroyOfTheFormsOwnMethodRunsOnce) {
    int count = 0;
    delete new TOwnDestroy(nullptr, &count);
    EXPECT_EQ(count, 1);
}

TEST(GlyphInFormText, BinaryDataReadsAndWritesBack) {
    TForm form(nullptr);
    auto* b = new TSpeedButton(&form);
    b->SetName("BtnSort");
    b->SetParent(&form);
    QImage img(16, 11, QImage::Format_ARGB32);
    img.fill(qRgb(255, 0, 255));
    for (int x = 2; x < 14; ++x)
        img.setPixel(x, 8, qRgb(0, 0, 0));
    b->GetGlyph()->SetImage(img);
    AnsiString text = WriteComponentToText(&form, TForm::ClassInfo());
    EXPECT_NE(text.find("Glyph.Data = {"), AnsiString::npos);

    TForm again(nullptr);
    ReadComponentFromText(text, &again, TForm::ClassInfo());
    auto* b2 = dynamic_cast<TSpeedButton*>(again.FindComponent("BtnSort"));
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(b2->GetGlyph()->GetImage(), b->GetGlyph()->GetImage());

    TForm bad(nullptr);
    EXPECT_THROW(ReadComponentFromText(
                     "object F: TForm\n  object B: TSpeedButton\n    Glyph.Data = {00FF}\n  end\nend", &bad,
                     TForm::ClassInfo()),
                 EReadError);
}

TEST(DefaultExceptionDisplay, AMessageBoxWithTheTitleAndTheMessage) {
    // No hook installed: the error shows in a message box, which we read and close.
    Application->SetTitle("IBRowvaneDemo");
    QString title, text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    TButton button(nullptr);
    GuardedCall(&button, [] { throw EDatabaseError("Unable to complete network request"); });
    EXPECT_EQ(title, "IBRowvaneDemo");
    EXPECT_EQ(text, "Unable to complete network request.");
}

// A short question makes a narrow box; its title bar must still hold the
// title with the window's buttons beside it.
TEST(MessageBoxes, AShortQuestionLeavesRoomForTheWholeTitle) {
    Application->SetTitle("IBRowvane Demo");
    int width = 0, needed = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QFont bold = QApplication::font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100;
        width = box->width();
        box->reject();
    });
    EXPECT_EQ(MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}, 0), mrCancel);
    EXPECT_GT(needed, 100);
    EXPECT_GE(width, needed);
}

TEST(DefaultExceptionDisplay, GoesThroughTheMessageBoxFunctionAndItsHook) {
    std::vector<AnsiString> shown;
    SetMessageDlgHook([&](const AnsiString& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons) {
        EXPECT_EQ(Type, mtError);
        EXPECT_EQ(Buttons, TMsgDlgButtons{mbOK});
        shown.push_back(Msg);
        return mrOk;
    });
    Application->ShowException(Exception("Settings class already exists"));
    Application->ShowException(Exception("Ends with a full stop."));
    SetMessageDlgHook(nullptr);
    EXPECT_EQ(shown, (std::vector<AnsiString>{"Settings class already exists.", "Ends with a full stop."}));
}

struct ShownForm : ::testing::Test {
    ShownForm() {
        Form->SetBounds(0, 0, 300, 200);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
};

TEST_F(ShownForm, TabMovesTheFocusInTabOrderWithoutACharacter) {
    auto* a = new TEdit(Form.get());
    a->SetParent(Form.get());
    auto* b = new TEdit(Form.get());
    b->SetParent(Form.get());
    auto* c = new TEdit(Form.get());
    c->SetParent(Form.get());
    c->SetTabOrder(1); // a, c, b
    std::vector<TKeyChar> chars;
    a->OnKeyPress = [&](TObject*, TKeyChar& k) { chars.push_back(k); };
    a->SetFocus();
    QTest::keyClick(a->GetHandle(), Qt::Key_Tab);
    EXPECT_TRUE(c->Focused());
    EXPECT_TRUE(chars.empty());
    EXPECT_EQ(a->GetText(), "");
}

TEST_F(ShownForm, PanelsReportMouseAndClicks) {
    auto* p = new TPanel(Form.get());
    p->SetParent(Form.get());
    p->SetBounds(10, 10, 100, 50);
    std::vector<std::string> events;
    p->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                         (s.Contains(ssLeft) ? " left" : ""));
    };
    p->OnClick = [&](TObject*) { events.push_back("click"); };
    p->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
    auto* edit = new TEdit(Form.get());
    edit->SetParent(Form.get());
    edit->SetTop(100);
    int exits = 0;
    edit->OnExit = [&](TObject*) { ++exits; };
    edit->SetFocus();
    QTest::mouseClick(p->GetHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
    EXPECT_EQ(events, (std::vector<std::string>{"down 0 7,9 left", "click", "up"}));
    // A panel never takes the focus.
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(exits, 0);
}

TEST_F(ShownForm, PanelPaintsItsBevelsAndCaption) {
    auto* p = new TPanel(Form.get());
    p->SetParent(Form.get());
    p->SetBounds(0, 0, 120, 40);
    p->SetBevelOuter(bvRaised);
    p->SetBevelInner(bvLowered);
    p->SetCaption("Caption");
    QImage shot = p->GetHandle()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(120, 40));
    // Raised outer bevel: light top-left, dark bottom-right; lowered inner: the reverse.
    EXPECT_GT(qGray(shot.pixel(0, 0)), qGray(shot.pixel(119, 39)));
    EXPECT_LT(qGray(shot.pixel(1, 1)), qGray(shot.pixel(118, 38)));
    int dark = 0; // the caption leaves dark pixels in the middle
    for (int x = 30; x < 90; ++x)
        for (int y = 12; y < 28; ++y)
            dark += qGray(shot.pixel(x, y)) < 100;
    EXPECT_GT(dark, 10);
}

} // namespace
