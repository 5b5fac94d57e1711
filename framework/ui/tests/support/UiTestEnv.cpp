// One application object for all ui tests, on the offscreen platform.
#include "UiTestEnv.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>

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
