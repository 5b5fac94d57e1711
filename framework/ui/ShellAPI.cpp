#include "ShellAPI.h"

#include "UiPrivate.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

struct TDropFiles {
    std::vector<AnsiString> Files;
};

namespace {

const char* const DropTargetProperty = "kvAcceptsFiles";

} // namespace

void DragAcceptFiles(QWidget* Wnd, bool Accept) {
    if (!Wnd) return;
    Wnd->setProperty(DropTargetProperty, Accept);
    Wnd->setAcceptDrops(Accept);
    // A scroll area gets its drags through its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(Wnd)) area->viewport()->setAcceptDrops(Accept);
}

Cardinal DragQueryFile(HDROP Drop, Cardinal Index, AnsiString* FileName) {
    if (!Drop) return 0;
    if (Index == 0xFFFFFFFFu) return static_cast<Cardinal>(Drop->Files.size());
    if (Index >= Drop->Files.size()) return 0;
    const AnsiString& path = Drop->Files[Index];
    if (FileName) *FileName = path;
    return static_cast<Cardinal>(path.size());
}

void DragFinish(HDROP Drop) {
    if (Drop) Drop->Files.clear();
}

bool HandleFileDrag(TControl* Control, QWidget* Widget, QEvent* Event) {
    if (!Widget->property(DropTargetProperty).toBool()) return false;
    auto* drag = static_cast<QDropEvent*>(Event);
    const QMimeData* data = drag->mimeData();
    QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    bool files = !urls.isEmpty() &&
                 std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
    // A drop target takes files only: no text is dragged into it.
    if (!files) {
        drag->ignore();
        return true;
    }
    drag->acceptProposedAction();
    if (Event->type() != QEvent::Drop) return true;
    TDropFiles drop;
    for (const QUrl& u : urls)
        drop.Files.push_back(u.toLocalFile().toStdString());
    Control->Perform(WM_DROPFILES, reinterpret_cast<WPARAM>(&drop));
    return true;
}
