// Files dropped from the desktop.
//
// A window registered with DragAcceptFiles takes drags of local files; a
// drop reaches its control as WM_DROPFILES with the drop (HDROP) in WParam.
// The handler reads the paths with DragQueryFile and releases the drop with
// DragFinish; a drop nobody released is released after the message.
#pragma once

#include "Controls.h"

struct TDropFiles;
using HDROP = TDropFiles*;

// Registers Wnd (a control's window) as a target for dropped files, or
// withdraws it. The registration belongs to the window: a new window of the
// control starts unregistered.
void DragAcceptFiles(QWidget* Wnd, bool Accept);

// With Index 0xFFFFFFFF: the number of files. Otherwise stores the whole
// path of file Index (UTF-8) in FileName, when given, and returns its length
// in bytes; 0 for an index out of range or a released drop.
Cardinal DragQueryFile(HDROP Drop, Cardinal Index, AnsiString* FileName);

// Releases the drop: it holds no files afterwards.
void DragFinish(HDROP Drop);
