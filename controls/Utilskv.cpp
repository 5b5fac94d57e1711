// The controls' utilities: the caret of an edit in pixels, the length of a
// month, and the callbacks for font enumeration and rich-edit streaming.
#include "Utilskv.h"

#include "Classes.h"
#include "DateUtils.h"
#include "Forms.h"
#include "Graphics.h"
#include "StdCtrls.h"

#include <cstdint>

namespace {

// An edit message's point: x and y as signed 16-bit halves.
QPoint PointOf(LRESULT Result) {
    auto v = static_cast<std::uintptr_t>(Result);
    return QPoint(static_cast<std::int16_t>(LoWord(v)), static_cast<std::int16_t>(HiWord(v)));
}

// The code point at Pos of a UTF-8 text (positions count code points).
AnsiString CharAt(const AnsiString& Text, int Pos) {
    QList<uint> points = QString::fromStdString(Text).toUcs4();
    if (Pos < 0 || Pos >= points.size()) return AnsiString();
    char32_t c = points[Pos];
    return QString::fromUcs4(&c, 1).toStdString();
}

// Gives a borrowed canvas its font back.
class TFontGuard {
public:
    explicit TFontGuard(TCanvas* Canvas) : FCanvas(Canvas) { FSaved.Assign(Canvas->GetFont()); }
    ~TFontGuard() { FCanvas->SetFont(&FSaved); }
    TFontGuard(const TFontGuard&) = delete;
    TFontGuard& operator=(const TFontGuard&) = delete;

private:
    TCanvas* FCanvas;
    TFont FSaved;
};

} // namespace

bool GetCaretPixelPos(TCustomMemo* Edit, QPoint& Pos) {
    int start = Edit->GetSelStart();
    QPoint p = PointOf(Edit->Perform(EM_POSFROMCHAR, static_cast<WPARAM>(start)));
    if (p == QPoint(-1, -1)) {
        // The edit gives no position for the place after the last character.
        LRESULT length = Edit->Perform(WM_GETTEXTLENGTH);
        if (length == 0) {
            QRect r;
            Edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
            p = r.topLeft();
        } else if (length == start) {
            // Measured on the form's canvas with the edit's font, as the edit draws its text.
            TCustomForm* form = GetParentForm(Edit);
            TCanvas unplaced;
            TCanvas* canvas = form ? form->GetCanvas() : &unplaced;
            TFontGuard keep(canvas);
            canvas->SetFont(Edit->GetFont());
            LRESULT line = Edit->Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(start));
            p = PointOf(Edit->Perform(EM_POSFROMCHAR, static_cast<WPARAM>(start - 1)));
            if (Edit->Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(start - 1)) == line) {
                p.rx() += canvas->TextWidth(CharAt(Edit->GetText(), start - 1));
            } else {
                // The text ends with a line break: the caret starts the next line.
                p.rx() = PointOf(Edit->Perform(EM_POSFROMCHAR, 0)).x();
                p.ry() += canvas->TextHeight("X");
            }
        } else {
            Pos = QPoint(-1, -1);
            return false;
        }
    }
    if (p.x() < 0 || p.y() < 0 || p.x() >= Edit->GetClientWidth() || p.y() >= Edit->GetClientHeight()) {
        Pos = QPoint(-1, -1);
        return false;
    }
    Pos = p;
    return true;
}

int AddFontFaceCallback(const LOGFONT* LogFont, const TEXTMETRIC*, Cardinal, LPARAM Data) {
    auto* faces = reinterpret_cast<TStrings*>(Data);
    if (faces->IndexOf(LogFont->lfFaceName) < 0) faces->Add(LogFont->lfFaceName);
    return 1;
}

int DaysInMonth(int Year, int Month) {
    static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12) return 0; // no such month: no days, nothing read past the table
    return Days[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
}

int DaysInMonthOf(TDateTime Value) {
    int year, month, day;
    DecodeDate(Value, year, month, day);
    return DaysInMonth(year, month);
}

DWORD RichEditStreamOutCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    *Done = 0;
    try {
        *Done = reinterpret_cast<TStream*>(Cookie)->Write(Buffer, Count);
    } catch (...) {
        return 1;
    }
    return 0;
}

DWORD RichEditStreamInCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    *Done = 0;
    try {
        *Done = reinterpret_cast<TStream*>(Cookie)->Read(Buffer, Count);
    } catch (...) {
        return 1;
    }
    return 0;
}

bool TakeDroppedFiles(HDROP Drop, bool Accept, std::unique_ptr<TStringList>& List) {
    if (!Accept) {
        DragFinish(Drop);
        return false;
    }
    try {
        if (!List) List = std::make_unique<TStringList>();
        List->Clear();
        Cardinal count = DragQueryFile(Drop, 0xFFFFFFFFu, nullptr);
        for (Cardinal i = 0; i < count; ++i) {
            AnsiString path;
            DragQueryFile(Drop, i, &path);
            List->Add(path);
        }
    } catch (...) {
        // The drop is released below; the event reports what was collected.
    }
    DragFinish(Drop);
    return true;
}
