// Common controls: the rich edit with its text and paragraph attributes,
// and the up-down.
#pragma once

#include "Rtf.h"
#include "StdCtrls.h"

#include <memory>

class QTextCharFormat;
class QTextCursor;
class QTextDocument;
class QTextEdit;
class TCustomRichEdit;

// ---------------------------------------------------------------------------
// The edit-stream record of EM_STREAMIN and EM_STREAMOUT

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using DWORD_PTR = std::uintptr_t;
using LPBYTE = Byte*;

// Called with a buffer of Count bytes: streaming in, it fills the buffer
// and reports the bytes it gave in *Done (0: the end); streaming out, it
// takes the bytes and reports how many it took. A result other than 0 ends
// the transfer and becomes the record's error code.
using EDITSTREAMCALLBACK = DWORD (*)(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done);

struct EDITSTREAM {
    DWORD_PTR dwCookie = 0;
    DWORD dwError = 0;
    EDITSTREAMCALLBACK pfnCallback = nullptr;
};
using TEditStream = EDITSTREAM;

constexpr WPARAM SF_TEXT = 1; // UTF-8 text, paragraphs separated by CR LF
constexpr WPARAM SF_RTF = 2;

// ---------------------------------------------------------------------------
// Formats

enum TAttributeType { atSelected, atDefaultText };

// The character format of a rich edit: of the selection (at an empty
// selection: what typing will insert) or the editor's default. Size is in
// points; Color clWindowText stands for the automatic colour.
class TTextAttributes : public TPersistent {
public:
    TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AType);

    AnsiString GetName() const;
    void SetName(const AnsiString& Value);
    int GetSize() const;
    void SetSize(int Value);
    TFontStyles GetStyle() const;
    void SetStyle(TFontStyles Value);
    TColor GetColor() const;
    void SetColor(TColor Value);

    // From another TTextAttributes or a TFont.
    void Assign(const TPersistent* Source) override;

private:
    QTextCharFormat Format() const;
    void Apply(const QTextCharFormat& Format);
    TCustomRichEdit* FOwner;
    TAttributeType FType;
};

enum TNumberingStyle { nsNone, nsBullet };
KV_ENUM_TYPEINFO(TNumberingStyle, "nsNone", "nsBullet")

constexpr int MaxTabStops = RtfMaxTabs;

// The paragraph format at the selection; setting a value changes every
// paragraph the selection touches. Measures are points (kept as twips, 20
// to the point; reading drops the remainder). FirstIndent places a
// paragraph's first line, LeftIndent the following lines relative to it.
class TParaAttributes : public TPersistent {
public:
    explicit TParaAttributes(TCustomRichEdit* AOwner);

    TAlignment GetAlignment() const;
    void SetAlignment(TAlignment Value);
    int GetFirstIndent() const;
    void SetFirstIndent(int Value);
    int GetLeftIndent() const;
    void SetLeftIndent(int Value);
    int GetRightIndent() const;
    void SetRightIndent(int Value);
    TNumberingStyle GetNumbering() const;
    void SetNumbering(TNumberingStyle Value);
    // Up to MaxTabStops tab stops; a stop set past the count raises it.
    int GetTab(int Index) const;
    void SetTab(int Index, int Value);
    int GetTabCount() const;
    void SetTabCount(int Value);
    // The stops (points) and their count at once: what SetTab for each and
    // SetTabCount do, in one pass over the paragraphs instead of one per
    // stop. More than MaxTabStops raise ERangeError.
    void SetTabs(const std::vector<int>& Values);

    void Assign(const TPersistent* Source) override;

private:
    TCustomRichEdit* FOwner;
};

enum TSearchType { stWholeWord, stMatchCase };
KV_ENUM_TYPEINFO(TSearchType, "stWholeWord", "stMatchCase")
using TSearchTypes = TSet<TSearchType, Byte>;

// ---------------------------------------------------------------------------
// Rich edit

// A rich-text editor over Qt's text editor. The text and its formats live
// in a document the control owns, so they outlast the window; the window
// shows that document. Positions (SelStart, FindText) count UTF-16 units,
// one for each paragraph break. OnChange fires for every change of text or
// format, OnSelectionChange whenever the selection or the caret moves.
// MaxLength (0: none) counts whole characters, as the edit's does (code
// points, one for each paragraph break), and limits typing and input-method
// commits: a character that does not fit is refused, a commit cut before it.
class TCustomRichEdit : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomRichEdit>& P);

    explicit TCustomRichEdit(TComponent* AOwner);
    ~TCustomRichEdit() override;

    TTextAttributes* GetSelAttributes() const { return FSelAttributes.get(); }
    void SetSelAttributes(TTextAttributes* Value) { FSelAttributes->Assign(Value); }
    TTextAttributes* GetDefAttributes() const { return FDefAttributes.get(); }
    void SetDefAttributes(TTextAttributes* Value) { FDefAttributes->Assign(Value); }
    TParaAttributes* GetParagraph() const { return FParagraph.get(); }
    TStrings* GetLines() const { return FLines.get(); }
    void SetLines(TStrings* Value);

    AnsiString GetText() const override; // paragraphs joined with CR LF
    void SetText(const AnsiString& Value) override;

    int GetSelStart() const;
    void SetSelStart(int Value);
    int GetSelLength() const;
    void SetSelLength(int Value);
    AnsiString GetSelText() const;
    void SelectAll();
    int GetTextLength() const; // in the units of SelStart

    bool GetPlainText() const { return FPlainText; }
    void SetPlainText(bool Value) { FPlainText = Value; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool GetHideScrollBars() const { return FHideScrollBars; }
    void SetHideScrollBars(bool Value);
    TScrollStyle GetScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    bool GetWantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value);
    bool GetWantReturns() const { return FWantReturns; }
    void SetWantReturns(bool Value) { FWantReturns = Value; }
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value; }
    // The alignment of paragraphs that have none of their own.
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool GetModified() const;
    void SetModified(bool Value);

    void Clear();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo() { Perform(EM_UNDO); }
    // Position of the first match of SearchStr within [StartPos, StartPos +
    // Length), or -1.
    int FindText(const AnsiString& SearchStr, int StartPos, int Length, TSearchTypes Options) const;

    // The text and its formats as a document, and back (replacing all).
    TRtfDocument GetRichText() const;
    void SetRichText(const TRtfDocument& Document);

    TNotifyEvent OnChange;
    TNotifyEvent OnSelectionChange;

    // For the attribute classes.
    QTextDocument* Document() const { return FDocument.get(); }
    QTextCursor TextCursor() const;
    QTextEdit* Editor() const;

protected:
    virtual void Change();
    virtual void SelectionChange();
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void DestroyWnd() override;
    void FontChanged() override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    void WMGetDlgCode(TMessage& Message);
    void WMChar(TMessage& Message);
    void EMStreamIn(TMessage& Message);
    void EMStreamOut(TMessage& Message);
    void EMSetRect(TMessage& Message);
    void WMSetRedraw(TMessage& Message);

private:
    friend class TTextAttributes;
    friend class TParaAttributes;
    friend class TRichEditWidget;
    // The code points MaxLength leaves for what replaces the selection
    // (INT_MAX without a limit).
    int Room() const;
    void SetTextCursor(const QTextCursor& Cursor);
    void UpdateScrollBars();
    void ApplyEditRect();
    void NoteSelection();
    void ReplaceText(const std::function<void(QTextDocument&)>& Fill);
    void ConnectDocument();

    std::unique_ptr<QTextDocument> FDocument;
    std::unique_ptr<QTextCursor> FCursor; // the selection while there is no window
    std::unique_ptr<TTextAttributes> FSelAttributes;
    std::unique_ptr<TTextAttributes> FDefAttributes;
    std::unique_ptr<TParaAttributes> FParagraph;
    std::unique_ptr<TStrings> FLines;
    bool FPlainText = false;
    bool FReadOnly = false;
    bool FHideScrollBars = true;
    TScrollStyle FScrollBars = ssBoth;
    TBorderStyle FBorderStyle = bsSingle;
    bool FWantTabs = false;
    bool FWantReturns = true;
    bool FWordWrap = true;
    int FMaxLength = 0;
    TAlignment FAlignment = taLeftJustify;
    TColor FDefaultColor = clWindowText;
    bool FHasEditRect = false;
    QRect FEditRect;
    int FLastAnchor = -1, FLastPosition = -1;
};

class TRichEdit : public TCustomRichEdit {
public:
    KV_METACLASS_DECL
    using TCustomRichEdit::TCustomRichEdit;
};

// ---------------------------------------------------------------------------
// Up-down

enum TUDBtnType { btNext, btPrev };
KV_ENUM_TYPEINFO(TUDBtnType, "btNext", "btPrev")

using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// Two arrow buttons over a position between Min and Max. An arrow moves the
// position by Increment (past the end it wraps with Wrap on, else stops),
// after OnChanging allowed it, and then fires OnClick. A position set by
// code passes OnChanging too.
class TCustomUpDown : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomUpDown>& P);

    explicit TCustomUpDown(TComponent* AOwner);

    int GetMin() const { return FMin; }
    void SetMin(int Value);
    int GetMax() const { return FMax; }
    void SetMax(int Value);
    int GetPosition() const { return FPosition; }
    void SetPosition(int Value);
    int GetIncrement() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value; }
    bool GetWrap() const { return FWrap; }
    void SetWrap(bool Value) { FWrap = Value; }
    bool GetThousands() const { return FThousands; }
    void SetThousands(bool Value) { FThousands = Value; }

    // What an arrow does when the user presses it.
    void ArrowPressed(TUDBtnType Button);

    TUDClickEvent OnClick;
    TUDChangingEvent OnChanging;

protected:
    virtual bool CanChange();
    using TWinControl::Click;
    virtual void Click(TUDBtnType Button);
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;

private:
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FIncrement = 1;
    bool FWrap = false;
    bool FThousands = true;
};

class TUpDown : public TCustomUpDown {
public:
    KV_METACLASS_DECL
    using TCustomUpDown::TCustomUpDown;
};
