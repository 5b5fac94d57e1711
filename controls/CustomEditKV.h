// The library's base edit: a memo that also serves as a single-line field
// and lets in only the kinds of characters asked for, whether typed or
// pasted; with text margins, tab stops given as text, a password mode,
// selection behaviour on entering and leaving, and files dropped from the
// desktop. Owns the list of the last drop's files.
#pragma once

#include "StdCtrls.h"

#include <memory>
#include <vector>

enum TValidDataTypes {
    vdNumeric,
    vdAlpha,
    vdSign,
    vdDecSeparator,
    vdThsSeparator,
    vdDateSeparator,
    vdTimeSeparator
};
KV_ENUM_TYPEINFO(TValidDataTypes, "vdNumeric", "vdAlpha", "vdSign", "vdDecSeparator", "vdThsSeparator",
                 "vdDateSeparator", "vdTimeSeparator")
// The accepted character classes, one bit each.
using TValidDataSet = TSet<TValidDataTypes, Byte>;

class TCustomEditKV : public TMemo {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomEditKV>& P);

    explicit TCustomEditKV(TComponent* AOwner);
    ~TCustomEditKV() override;

    // Whether the character may enter the text: line breaks and tabs only
    // in multi-line mode; with no class and no extra character set, all.
    virtual bool IsValidChar(TKeyChar Key);
    // Every character passes IsValidChar (the empty text does).
    bool IsValidText(const AnsiString& Text);
    // Replaces the selection with Text when IsValidText accepts it.
    void ReplaceTextA(bool CanUndo, const AnsiString& Text);
    // The caret in client pixels, (-1, -1) outside the client area.
    QPoint GetCaretPosPix();
    // Applies the margins to the window.
    void SetEditRect();
    // Applies tab stops given as text: dialog units separated by "," or ";".
    void SetTabStopMsg(const AnsiString& TabText);
    // Full paths of the last drop's files; null before the first drop.
    TStringList* GetDropFilesList() const { return FDropFilesList.get(); }

    TValidDataSet GetValidData() const { return FValidData; }
    void SetValidData(TValidDataSet Value) { FValidData = Value; }
    const AnsiString& GetValidDataString() const { return FValidDataString; }
    void SetValidDataString(const AnsiString& Value) { FValidDataString = Value; }
    bool GetMultiLine() const { return FMultiLine; }
    void SetMultiLine(bool Value);
    bool GetResetSelection() const { return FResetSelection; }
    void SetResetSelection(bool Value);
    bool GetAcceptDropFiles() const { return FAcceptDropFiles; }
    void SetAcceptDropFiles(bool Value);
    int GetMarginLeft() const { return FMarginLeft; }
    void SetMarginLeft(int Value);
    int GetMarginTop() const { return FMarginTop; }
    void SetMarginTop(int Value);
    int GetMarginRight() const { return FMarginRight; }
    void SetMarginRight(int Value);
    int GetMarginBottom() const { return FMarginBottom; }
    void SetMarginBottom(int Value);
    const AnsiString& GetTabPos() const { return FTabPos; }
    void SetTabPos(const AnsiString& Value);
    void SetAutoSelect(bool Value) override;
    void SetPasswordChar(char Value) override;
    void SetWordWrap(bool Value) override;
    void SetWantTabs(bool Value) override;
    void SetWantReturns(bool Value) override;

    TNotifyEvent OnDropFiles; // after each accepted drop

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    MESSAGE_HANDLER(WM_DROPFILES, WMDropFiles)
    MESSAGE_HANDLER(WM_PASTE, WMPaste)
    MESSAGE_HANDLER(CM_ENTER, CMEnter)
    MESSAGE_HANDLER(CM_EXIT, CMExit)
    END_MESSAGE_MAP(TMemo)

    // What of a pasted text goes in: all of it here; a descendant with a
    // limit of its own cuts it (the cut text then replaces the selection).
    virtual AnsiString PasteText(const AnsiString& Text) { return Text; }
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;

    void WMSize(TMessage& Message);
    void WMDropFiles(TMessage& Message);
    void WMPaste(TMessage& Message);
    void CMEnter(TMessage& Message);
    void CMExit(TMessage& Message);

private:
    void SetMargin(int& Margin, int Value);

    TValidDataSet FValidData;
    AnsiString FValidDataString;
    AnsiString FTabPos;
    std::unique_ptr<TStringList> FDropFilesList;
    int FMarginLeft = 0, FMarginTop = 0, FMarginRight = 0, FMarginBottom = 0;
    bool FMultiLine = true;
    bool FResetSelection = false;
    bool FAcceptDropFiles = false;
};

// The tab stops of a TabPos text, in dialog units: one per part between
// "," and ";", each read as atol reads a number (leading digits, 0 for none)
// and brought into the range the stops take (0 to MaxTabStop).
std::vector<int> ParseTabStops(const AnsiString& TabText);
