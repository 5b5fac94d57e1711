// Plain utility functions of the controls library.
#pragma once

#include "ComCtrls.h"
#include "ShellAPI.h"
#include "SysUtils.h"
#include "Windows.h"

#include <QPoint>

#include <memory>

class TCustomMemo;

// The caret of a multi-line-capable edit in its client pixels. False, with
// (-1, -1), when the caret lies outside the client area.
bool GetCaretPixelPos(TCustomMemo* Edit, QPoint& Pos);

// A font-family enumeration callback: adds the font's face name to the
// TStrings in Data unless it holds it already; goes on with the next font.
int AddFontFaceCallback(const LOGFONT* LogFont, const TEXTMETRIC* Metric, Cardinal FontType, LPARAM Data);

// Days of the month (1..12) in the year, February by the Gregorian leap-year
// rule; 0 for a month outside 1..12.
int DaysInMonth(int Year, int Month);
// Days of the month that the date lies in.
int DaysInMonthOf(TDateTime Value);

// Rich-edit stream callbacks (EM_STREAMOUT and EM_STREAMIN) whose cookie is
// a TStream*: they write the bytes handed over into the stream, or read up
// to Count bytes from it, report the number in *Done and return 0; an
// exception of the stream makes them return 1 and goes no further.
DWORD RichEditStreamOutCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done);
DWORD RichEditStreamInCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done);

// What a control that keeps the last drop's files does with a drop
// (WM_DROPFILES): without Accept the drop is only released and the result
// is false. Otherwise List, made at the first drop, gets the whole path of
// every dropped file in the drop's order and the drop is released, also
// after an error while collecting (which goes no further); the result is
// true: the control fires its OnDropFiles.
bool TakeDroppedFiles(HDROP Drop, bool Accept, std::unique_ptr<TStringList>& List);
