// One application object for all ui tests, on the offscreen platform, and
// the helpers that drive windows as a user does.
#include "UiTestEnv.h"

#include "Clipbrd.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QtMessageHandler PreviousHandler = nullptr;

// The offscreen platform says so each time a window is raised or grabs the
// mouse or keyboard, which tests do on purpose.
void QuietHandler(QtMsgType Type, const QMessageLogContext& Context, const QString& Message) {
    if (Type == QtWarningMsg && Message.startsWith("This plugin does not support")) return;
    if (PreviousHandler)
        PreviousHandler(Type, Context, Message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(Type, Context, Message)));
}

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!getenv("XDG_RUNTIME_DIR")) {
            // Qt wants a private runtime folder; keep it out of the output.
            static std::string dir = "/tmp/kv-ui-tests-" + std::to_string(getuid());
            mkdir(dir.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        }
        PreviousHandler = qInstallMessageHandler(QuietHandler);
        new TApplication();
    }
    // A test may have replaced the application object.
    void TearDown() override { delete Application; }
};

[[maybe_unused]] ::testing::Environment* const Env = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

} // namespace

ExceptionCatcher::ExceptionCatcher() {
    Application->OnException = [this](TObject* Sender, const std::exception& E) {
        Messages.push_back(E.what());
        Senders.push_back(Sender);
    };
}

ExceptionCatcher::~ExceptionCatcher() {
    Application->OnException = nullptr;
}

bool DropOnControl(TWinControl* Control, const QList<QUrl>& Urls, const QString& Text) {
    QWidget* w = Control->GetHandle();
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) w = area->viewport(); // where drags arrive
    QMimeData data;
    if (!Urls.isEmpty()) data.setUrls(Urls);
    if (!Text.isNull()) data.setText(Text);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
    return drop.isAccepted();
}

void TypeKeys(QWidget* Widget, const char* Utf8) {
    for (char32_t c : QString::fromUtf8(Utf8).toUcs4()) {
        if (c < 0x80)
            QTest::keyClick(Widget, static_cast<char>(c));
        else // one key, even for a character beyond 16 bits (two UTF-16 units)
            QTest::sendKeyEvent(QTest::Click, Widget, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                                Qt::NoModifier);
    }
}

void EnterText(TWinControl* Control, TTextWay Way, const char* Utf8) {
    QWidget* w = Control->GetHandle();
    switch (Way) {
    case TTextWay::Typed:
        TypeKeys(w, Utf8);
        break;
    case TTextWay::Composed: {
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8(Utf8));
        QApplication::sendEvent(w, &commit);
        break;
    }
    case TTextWay::CtrlV:
        Clipboard().SetAsText(Utf8);
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
        break;
    case TTextWay::ShiftInsert:
        Clipboard().SetAsText(Utf8);
        QTest::keyClick(w, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case TTextWay::MenuPaste: {
        Clipboard().SetAsText(Utf8);
        // A right click into the text (an edit part, a text area's viewport)
        // opens the window's menu, whose Paste is chosen once it shows.
        QWidget* text = w->findChild<QLineEdit*>();
        if (!text) text = w;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) text = area->viewport();
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions())
                if (QString(a->text()).remove('&').startsWith(QLatin1String("Paste"))) a->trigger();
            menu->close();
        });
        QPoint at = text->rect().center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, text->mapToGlobal(at));
        QApplication::sendEvent(text, &click);
        break;
    }
    case TTextWay::SelText:
        if (auto* edit = dynamic_cast<TCustomEdit*>(Control))
            edit->SetSelText(Utf8);
        else
            ADD_FAILURE() << "SelText: no edit";
        break;
    }
}
