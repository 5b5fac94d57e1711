#include "Clipbrd.h"

#include "SysUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace {

QClipboard& Board() {
    if (!QApplication::instance()) throw EInvalidOperation("The clipboard needs the application object");
    return *QApplication::clipboard();
}

} // namespace

bool TClipboard::HasFormat(unsigned Format) const {
    if (Format != CF_TEXT) return false;
    const QMimeData* data = Board().mimeData();
    return data && data->hasText();
}

AnsiString TClipboard::GetAsText() const {
    QString t = Board().text();
    t.replace("\r\n", "\n");
    t.replace('\r', '\n');
    t.replace("\n", "\r\n");
    return t.toStdString();
}

void TClipboard::SetAsText(const AnsiString& Value) {
    QString t = QString::fromStdString(Value);
    t.replace("\r\n", "\n");
    Board().setText(t);
}

void TClipboard::Clear() {
    Board().clear();
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}
