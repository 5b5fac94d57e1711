#include "Clipbrd.h"

#include "SysUtils.h"
#include "UiPrivate.h"

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
    return CrLfText(Board().text(), false);
}

void TClipboard::SetAsText(const AnsiString& Value) {
    Board().setText(LfText(Value));
}

void TClipboard::Clear() {
    Board().clear();
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}
