// Window messages of the framework. Qt events reaching a control's window
// are turned into these messages and go through the control's WindowProc and
// Dispatch; what a class does not handle reaches DefaultHandler, which lets
// Qt do its own processing of the event the message came from.
#pragma once

#include "System.h"

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct TMessageContext; // the Qt event behind a message (Controls.cpp)

struct TMessage {
    Cardinal Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
    TMessageContext* Context = nullptr; // null for messages sent by code
};

inline Word LoWord(std::uintptr_t v) {
    return static_cast<Word>(v & 0xFFFF);
}
inline Word HiWord(std::uintptr_t v) {
    return static_cast<Word>((v >> 16) & 0xFFFF);
}
inline LPARAM MakeLParam(int Lo, int Hi) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(Hi & 0xFFFF) << 16) |
                               static_cast<std::uint32_t>(Lo & 0xFFFF));
}
inline WPARAM MakeWParam(int Lo, int Hi) {
    return static_cast<WPARAM>(static_cast<std::uint32_t>(MakeLParam(Lo, Hi)));
}
// Mouse positions travel as two signed 16-bit halves of LParam.
inline int MouseX(const TMessage& M) {
    return static_cast<std::int16_t>(LoWord(static_cast<std::uintptr_t>(M.LParam)));
}
inline int MouseY(const TMessage& M) {
    return static_cast<std::int16_t>(HiWord(static_cast<std::uintptr_t>(M.LParam)));
}

// Window messages
constexpr Cardinal WM_MOVE = 0x0003;
constexpr Cardinal WM_SIZE = 0x0005;
constexpr Cardinal WM_SETFOCUS = 0x0007;
constexpr Cardinal WM_KILLFOCUS = 0x0008;
constexpr Cardinal WM_GETTEXTLENGTH = 0x000E;
constexpr Cardinal WM_PAINT = 0x000F;
constexpr Cardinal WM_CLOSE = 0x0010;
constexpr Cardinal WM_ACTIVATEAPP = 0x001C;
constexpr Cardinal WM_NCHITTEST = 0x0084;
constexpr Cardinal WM_GETDLGCODE = 0x0087;
constexpr Cardinal WM_NCLBUTTONDOWN = 0x00A1;
constexpr Cardinal WM_KEYDOWN = 0x0100;
constexpr Cardinal WM_KEYUP = 0x0101;
constexpr Cardinal WM_CHAR = 0x0102;
constexpr Cardinal WM_COMMAND = 0x0111;
constexpr Cardinal WM_TIMER = 0x0113;
constexpr Cardinal WM_HSCROLL = 0x0114;
constexpr Cardinal WM_VSCROLL = 0x0115;
constexpr Cardinal WM_MOUSEMOVE = 0x0200;
constexpr Cardinal WM_LBUTTONDOWN = 0x0201;
constexpr Cardinal WM_LBUTTONUP = 0x0202;
constexpr Cardinal WM_LBUTTONDBLCLK = 0x0203;
constexpr Cardinal WM_RBUTTONDOWN = 0x0204;
constexpr Cardinal WM_RBUTTONUP = 0x0205;
constexpr Cardinal WM_MBUTTONDOWN = 0x0207;
constexpr Cardinal WM_MBUTTONUP = 0x0208;
constexpr Cardinal WM_MOUSEWHEEL = 0x020A;
constexpr Cardinal WM_DROPFILES = 0x0233;
constexpr Cardinal WM_CUT = 0x0300;
constexpr Cardinal WM_COPY = 0x0301;
constexpr Cardinal WM_PASTE = 0x0302;
constexpr Cardinal WM_CLEAR = 0x0303;
constexpr Cardinal WM_UNDO = 0x0304;

// Edit messages. Character positions count code points; in a multi-line
// edit a line break counts as two (CR LF), as in the edit's Text.
constexpr Cardinal EM_GETRECT = 0x00B2; // LParam: QRect* to fill (client coordinates)
constexpr Cardinal EM_SETRECT = 0x00B3; // LParam: const QRect* (client coordinates)
constexpr Cardinal EM_SCROLLCARET = 0x00B7;
constexpr Cardinal EM_GETMODIFY = 0x00B8;
constexpr Cardinal EM_SETMODIFY = 0x00B9;  // WParam: the flag
constexpr Cardinal EM_REPLACESEL = 0x00C2; // WParam: can undo; LParam: const char* (UTF-8)
constexpr Cardinal EM_CANUNDO = 0x00C6;
constexpr Cardinal EM_UNDO = 0x00C7;
constexpr Cardinal EM_LINEFROMCHAR = 0x00C9; // WParam: position, -1 for the selection start
constexpr Cardinal EM_SETTABSTOPS = 0x00CB;  // WParam: count; LParam: const int* (dialog units)
constexpr Cardinal EM_EMPTYUNDOBUFFER = 0x00CD;
constexpr Cardinal EM_SETREADONLY = 0x00CF; // WParam: the flag
constexpr Cardinal EM_SETMARGINS = 0x00D3;  // WParam: EC_ flags; LParam: low left, high right
constexpr Cardinal EM_POSFROMCHAR = 0x00D6; // WParam: position -> low x, high y (signed), -1 past the end

constexpr WPARAM EC_LEFTMARGIN = 0x0001;
constexpr WPARAM EC_RIGHTMARGIN = 0x0002;

// List boxes and combo boxes. A list or combo box tells of a change the
// user made as WM_COMMAND to its own window procedure, the notification
// code in the high word of WParam.
constexpr Cardinal CB_GETCOUNT = 0x0146;
constexpr Cardinal CB_GETCURSEL = 0x0147;
constexpr Cardinal CB_SETCURSEL = 0x014E;
constexpr Cardinal CB_SHOWDROPDOWN = 0x014F;
constexpr Cardinal CB_GETDROPPEDSTATE = 0x0157;
constexpr Cardinal LB_DELETESTRING = 0x0182;
constexpr Cardinal LB_SETSEL = 0x0185;
constexpr Cardinal LB_SETCURSEL = 0x0186;
constexpr Cardinal LB_GETSEL = 0x0187;
constexpr Cardinal LB_GETCURSEL = 0x0188;
constexpr Cardinal LB_GETCOUNT = 0x018B;
constexpr Cardinal LB_GETTOPINDEX = 0x018E;
constexpr Cardinal LB_GETSELCOUNT = 0x0190;
constexpr Cardinal LB_SETTOPINDEX = 0x0197;
constexpr Cardinal LB_GETITEMHEIGHT = 0x01A1;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT CB_ERR = -1;
constexpr Word LBN_SELCHANGE = 1;
constexpr Word CBN_SELCHANGE = 1;
constexpr Word CBN_EDITCHANGE = 5;
constexpr Word CBN_DROPDOWN = 7;
constexpr Word CBN_CLOSEUP = 8;

// Answers to WM_NCHITTEST
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTHSCROLL = 6;
constexpr LRESULT HTVSCROLL = 7;
constexpr LRESULT HTBORDER = 18;

// Framework notifications between controls
constexpr Cardinal CM_BASE = 0xB000;
constexpr Cardinal CM_ACTIVATE = CM_BASE + 0;
constexpr Cardinal CM_DEACTIVATE = CM_BASE + 1;
constexpr Cardinal CM_DIALOGKEY = CM_BASE + 5;
constexpr Cardinal CM_DIALOGCHAR = CM_BASE + 6;
constexpr Cardinal CM_FOCUSCHANGED = CM_BASE + 7;
constexpr Cardinal CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr Cardinal CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr Cardinal CM_HITTEST = CM_BASE + 10;
constexpr Cardinal CM_VISIBLECHANGED = CM_BASE + 11;
constexpr Cardinal CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr Cardinal CM_COLORCHANGED = CM_BASE + 13;
constexpr Cardinal CM_FONTCHANGED = CM_BASE + 14;
constexpr Cardinal CM_CURSORCHANGED = CM_BASE + 15;
constexpr Cardinal CM_CTL3DCHANGED = CM_BASE + 16;
constexpr Cardinal CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr Cardinal CM_TEXTCHANGED = CM_BASE + 18;
constexpr Cardinal CM_MOUSEENTER = CM_BASE + 19;
constexpr Cardinal CM_MOUSELEAVE = CM_BASE + 20;
constexpr Cardinal CM_BUTTONPRESSED = CM_BASE + 24;
constexpr Cardinal CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr Cardinal CM_ENTER = CM_BASE + 26;
constexpr Cardinal CM_EXIT = CM_BASE + 27;
constexpr Cardinal CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr Cardinal CM_SHOWHINTCHANGED = CM_BASE + 32;
constexpr Cardinal CM_HINTSHOW = CM_BASE + 48;

// Answers to WM_GETDLGCODE
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;

// Mouse key flags in WParam of mouse messages
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// Key data in LParam of key messages: the Alt flag at the platform's place,
// Shift and Ctrl in bits of our own.
constexpr LPARAM KF_ALTDOWN = 0x20000000;
constexpr LPARAM KF_SHIFTDOWN = 0x01000000;
constexpr LPARAM KF_CTRLDOWN = 0x02000000;

// Virtual key codes
constexpr Word VK_BACK = 0x08;
constexpr Word VK_TAB = 0x09;
constexpr Word VK_RETURN = 0x0D;
constexpr Word VK_SHIFT = 0x10;
constexpr Word VK_CONTROL = 0x11;
constexpr Word VK_MENU = 0x12;
constexpr Word VK_PAUSE = 0x13;
constexpr Word VK_CAPITAL = 0x14;
constexpr Word VK_ESCAPE = 0x1B;
constexpr Word VK_SPACE = 0x20;
constexpr Word VK_PRIOR = 0x21;
constexpr Word VK_NEXT = 0x22;
constexpr Word VK_END = 0x23;
constexpr Word VK_HOME = 0x24;
constexpr Word VK_LEFT = 0x25;
constexpr Word VK_UP = 0x26;
constexpr Word VK_RIGHT = 0x27;
constexpr Word VK_DOWN = 0x28;
constexpr Word VK_INSERT = 0x2D;
constexpr Word VK_DELETE = 0x2E;
constexpr Word VK_MULTIPLY = 0x6A;
constexpr Word VK_ADD = 0x6B;
constexpr Word VK_SUBTRACT = 0x6D;
constexpr Word VK_DECIMAL = 0x6E;
constexpr Word VK_DIVIDE = 0x6F;
constexpr Word VK_F1 = 0x70;
constexpr Word VK_F12 = 0x7B;

// Scroll codes (low word of WParam of WM_HSCROLL / WM_VSCROLL)
constexpr Word SB_LINEUP = 0;
constexpr Word SB_LINEDOWN = 1;
constexpr Word SB_PAGEUP = 2;
constexpr Word SB_PAGEDOWN = 3;
constexpr Word SB_THUMBPOSITION = 4;
constexpr Word SB_THUMBTRACK = 5;
constexpr Word SB_TOP = 6;
constexpr Word SB_BOTTOM = 7;
constexpr Word SB_ENDSCROLL = 8;

// Message map of a class: its Dispatch handles the listed messages and
// passes every other one to Base::Dispatch.
//   BEGIN_MESSAGE_MAP
//     MESSAGE_HANDLER(WM_SIZE, WMSize)
//   END_MESSAGE_MAP(TCustomPanel)
#define BEGIN_MESSAGE_MAP                                                                                    \
    void Dispatch(TMessage& Message) override {                                                              \
        switch (Message.Msg) {
#define MESSAGE_HANDLER(Msg, Handler)                                                                        \
    case Msg:                                                                                                \
        Handler(Message);                                                                                    \
        break;
#define END_MESSAGE_MAP(Base)                                                                                \
    default:                                                                                                 \
        Base::Dispatch(Message);                                                                             \
        break;                                                                                               \
        }                                                                                                    \
        }
