// Plain utility functions of the controls library.
#pragma once

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
// rule. The month is not checked: callers pass 1 to 12.
int DaysInMonth(int Year, int Month);
// Days of the month that the date lies in.
int DaysInMonthOf(TDateTime Value);

// What a control that keeps the last drop's files does with a drop
// (WM_DROPFILES): without Accept the drop is only released and the result
// is false. Otherwise List, made at the first drop, gets the whole path of
// every dropped file in the drop's order and the drop is released, also
// after an error while collecting (which goes no further); the result is
// true: the control fires its OnDropFiles.
bool TakeDroppedFiles(HDROP Drop, bool Accept, std::unique_ptr<TStringList>& List);
