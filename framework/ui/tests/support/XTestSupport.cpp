// Helpers of the tests that run on an X server with a window manager.
#include "XTestSupport.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest/QTest>

#include <memory>

bool WaitFor(const std::function<bool()>& Condition) {
    return QTest::qWaitFor(Condition, 5000);
}

QPoint InWindow(const TControl* Control, QPoint Client) {
    QWidget* window = Control->GetWidget()->window();
    return window->mapFromGlobal(Control->ClientToScreen(Client));
}

bool MouseDrag(QWindow* Window, QPoint From, const std::vector<QPoint>& Path, bool Escape) {
    // A press or a move may run Qt's drag loop: each later step comes as an
    // event of its own, from inside that loop.
    auto done = std::make_shared<bool>(false);
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [=](size_t i) {
        if (i < Path.size()) {
            QTimer::singleShot(20, Window,
                               [step, i] { (*step)(i + 1); }); // before the move, which may not return
            QTest::mouseMove(Window, Path[i]);
            return;
        }
        if (Escape)
            QTest::keyClick(Window, Qt::Key_Escape);
        else
            QTest::mouseRelease(Window, Qt::LeftButton, {}, Path.back());
        *done = true;
    };
    QTimer::singleShot(0, Window, [step] { (*step)(0); });
    QTest::mousePress(Window, Qt::LeftButton, {}, From);
    bool played = QTest::qWaitFor([done] { return *done; }, 5000);
    QTest::qWait(50);
    *step = nullptr; // lets go of itself
    return played;
}
