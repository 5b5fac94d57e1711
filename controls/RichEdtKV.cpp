#include "RichEdtKV.h"

#include "Clipbrd.h"
#include "Dialogs.h"
#include "RichEdtKVGlyphs.h"

#include <climits>

KV_BITMAP_RESOURCE(BTNCUT, RichEdtKVGlyphs::Cut)
KV_BITMAP_RESOURCE(BTNCOPY, RichEdtKVGlyphs::Copy)
KV_BITMAP_RESOURCE(BTNPASTE, RichEdtKVGlyphs::Paste)
KV_BITMAP_RESOURCE(BTNBOLD, RichEdtKVGlyphs::Bold)
KV_BITMAP_RESOURCE(BTNITALIC, RichEdtKVGlyphs::Italic)
KV_BITMAP_RESOURCE(BTNUNDERLINE, RichEdtKVGlyphs::Underline)
KV_BITMAP_RESOURCE(BTNFNTCOLOR, RichEdtKVGlyphs::FontColor)
KV_BITMAP_RESOURCE(BTNALIGNLEFT, RichEdtKVGlyphs::AlignLeft)
KV_BITMAP_RESOURCE(BTNALIGNCENTER, RichEdtKVGlyphs::AlignCenter)
KV_BITMAP_RESOURCE(BTNALIGNRIGHT, RichEdtKVGlyphs::AlignRight)
KV_BITMAP_RESOURCE(BTNINDENT, RichEdtKVGlyphs::Indent)
KV_BITMAP_RESOURCE(BTNOUTDENT, RichEdtKVGlyphs::Outdent)
KV_BITMAP_RESOURCE(BTNINDENTF, RichEdtKVGlyphs::IndentF)
KV_BITMAP_RESOURCE(BTNOUTDENTF, RichEdtKVGlyphs::OutdentF)

namespace {

// The stream reader of Loaded: one space, then the end of the transfer.
DWORD SpaceStreamCallback(DWORD_PTR, LPBYTE Buffer, LONG, LONG* Done) {
    Buffer[0] = ' ';
    *Done = 1;
    return 1;
}

// A decimal number as atol reads it: leading digits, 0 for none; saturated.
int LeadingNumber(const AnsiString& Text) {
    long long value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9') break;
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

} // namespace

// ---- Publishing -------------------------------------------------------------

KV_PUBLISHED_METACLASS(TRichEdtKV, &TCustomPanel::ClassInfo())

void TRichEdtKV::Publish(TPublisher<TRichEdtKV>& P) {
    P.Prop("OnKeyDown", &TRichEdtKV::OnKeyDown, &TRichEdtKV::OnKeyDown);
    P.Prop("OnKeyPress", &TRichEdtKV::OnKeyPress, &TRichEdtKV::OnKeyPress);
    P.Prop("OnAllowChangeQuery", &TRichEdtKV::OnAllowChangeQuery, &TRichEdtKV::OnAllowChangeQuery);
    P.Prop("OnEnter", &TRichEdtKV::GetOnEnter, &TRichEdtKV::SetOnEnter);
    P.Prop("OnExit", &TRichEdtKV::GetOnExit, &TRichEdtKV::SetOnExit);
    P.Prop("OnChange", &TRichEdtKV::GetOnChange, &TRichEdtKV::SetOnChange);
    P.Prop("EditorColor", &TRichEdtKV::GetEditorColor, &TRichEdtKV::SetEditorColor)
        .Default(clWindow)
        .Idents(&ColorIdents());
    P.Prop("TabPos", &TRichEdtKV::TabPos, &TRichEdtKV::TabPos).Default(32);
    P.Prop("PlainText", &TRichEdtKV::GetPlainText, &TRichEdtKV::SetPlainText).Default(false);
    P.Prop("ReadOnly", &TRichEdtKV::GetReadOnly, &TRichEdtKV::SetReadOnly).Default(false);
    P.Prop("TabStop", &TRichEdtKV::GetEditorTabStop, &TRichEdtKV::SetEditorTabStop).Default(false);
    P.Prop("WantTabs", &TRichEdtKV::GetWantTabs, &TRichEdtKV::SetWantTabs).Default(false);
    P.Prop("WantReturns", &TRichEdtKV::GetWantReturns, &TRichEdtKV::SetWantReturns).Default(true);
    P.Prop("Text", &TRichEdtKV::GetText, &TRichEdtKV::SetText);
    P.Prop("MaxLength", &TRichEdtKV::GetMaxLength, &TRichEdtKV::SetMaxLength).Default(0);
    P.Prop("MarginLeft", &TRichEdtKV::GetMarginLeft, &TRichEdtKV::SetMarginLeft).Default(-1);
    P.Prop("MarginRight", &TRichEdtKV::GetMarginRight, &TRichEdtKV::SetMarginRight).Default(-1);
    P.Prop("MarginTop", &TRichEdtKV::GetMarginTop, &TRichEdtKV::SetMarginTop).Default(-1);
    P.Prop("MarginBottom", &TRichEdtKV::GetMarginBottom, &TRichEdtKV::SetMarginBottom).Default(-1);
    P.Prop("Lines", &TRichEdtKV::GetLines, &TRichEdtKV::SetLines);
    P.Prop("Font", &TRichEdtKV::GetEditorFont, &TRichEdtKV::SetEditorFont);
    // The panel's own, with the defaults this control declares.
    P.Prop("BevelInner", &TCustomPanel::GetBevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    P.Prop("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    P.Prop("BevelWidth", &TCustomPanel::GetBevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    P.Prop("BorderWidth", &TCustomPanel::GetBorderWidth, &TCustomPanel::SetBorderWidth).Default(0);
    P.Prop("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsNone);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TRichEdtKV& c) { return !c.GetParentColor(); });
    P.Prop("ParentColor", &TControl::GetParentColor, &TControl::SetParentColor).Default(true);
}

// ---- Construction -------------------------------------------------------------

TRichEdtKV::TRichEdtKV(TComponent* AOwner) : TCustomPanel(AOwner) {
    SetBounds(GetLeft(), GetTop(), 435, 130);
    ControlStyle >> csSetCaption;

    PnlToolBar = new TPanel(this);
    PnlToolBar->SetParent(this);
    PnlToolBar->SetHeight(38);
    PnlToolBar->SetAlign(alTop);
    PnlToolBar->SetBevelInner(bvNone);
    PnlToolBar->SetBevelOuter(bvRaised);
    PnlToolBar->SetBorderWidth(0);
    PnlToolBar->SetTabOrder(0);
    PnlToolBar->SetParentColor(true);

    struct TButtonSpec {
        TSpeedButton* TRichEdtKV::*Field;
        int Left;
        const char* Glyph;
        int NumGlyphs;
        const char* Hint;
        int GroupIndex;
        bool AllowAllUp;
        int Margin;
        void (TRichEdtKV::*Click)(TObject*);
    };
    // Left to right along the tool bar; the size field stands between Paste and Bold.
    static const TButtonSpec Buttons[] = {
        {&TRichEdtKV::BtnCut, 9, "BTNCUT", 2, "Ausschneiden", 0, false, -1, &TRichEdtKV::BtnCutClick},
        {&TRichEdtKV::BtnCopy, 32, "BTNCOPY", 1, "Kopieren", 0, false, -1, &TRichEdtKV::BtnCopyClick},
        {&TRichEdtKV::BtnPaste, 55, "BTNPASTE", 2, "Einfügen", 0, false, -1, &TRichEdtKV::BtnPasteClick},
        {&TRichEdtKV::BtnBold, 140, "BTNBOLD", 1, "Fett", 1, true, -1, &TRichEdtKV::BtnBoldClick},
        {&TRichEdtKV::BtnItalic, 163, "BTNITALIC", 1, "Kursiv", 2, true, -1, &TRichEdtKV::BtnItalicClick},
        {&TRichEdtKV::BtnUnderline, 186, "BTNUNDERLINE", 1, "Unterstrichen", 3, true, -1,
         &TRichEdtKV::BtnUnderlineClick},
        {&TRichEdtKV::BtnColor, 214, "BTNFNTCOLOR", 1, "Schriftfarbe", 0, true, -1,
         &TRichEdtKV::BtnColorClick},
        {&TRichEdtKV::BtnLeft, 242, "BTNALIGNLEFT", 1, "Ausrichtung links", 4, false, -1,
         &TRichEdtKV::BtnLeftClick},
        {&TRichEdtKV::BtnCenter, 265, "BTNALIGNCENTER", 1, "Ausrichtung zentriert", 4, false, -1,
         &TRichEdtKV::BtnCenterClick},
        {&TRichEdtKV::BtnRight, 288, "BTNALIGNRIGHT", 1, "Ausrichtung rechts", 4, false, -1,
         &TRichEdtKV::BtnRightClick},
        {&TRichEdtKV::BtnIndent, 316, "BTNINDENT", 2, "Absatz einrücken - komplett", 0, true, -1,
         &TRichEdtKV::BtnIndentClick},
        {&TRichEdtKV::BtnOutdent, 339, "BTNOUTDENT", 2, "Absatz ausrücken - komplett", 0, true, 1,
         &TRichEdtKV::BtnOutdentClick},
        {&TRichEdtKV::BtnIndentF, 362, "BTNINDENTF", 2, "Absatz einrücken - Folgezeilen", 0, true, -1,
         &TRichEdtKV::BtnIndentFClick},
        {&TRichEdtKV::BtnOutdentF, 385, "BTNOUTDENTF", 2, "Absatz ausrücken - Folgezeilen", 0, true, 1,
         &TRichEdtKV::BtnOutdentFClick},
    };
    for (const TButtonSpec& spec : Buttons) {
        auto* b = new TSpeedButton(PnlToolBar);
        this->*spec.Field = b;
        b->SetParent(PnlToolBar);
        b->SetBounds(spec.Left, 8, 22, 22);
        b->SetLayout(blGlyphLeft);
        b->SetFlat(true);
        b->SetShowHint(true);
        b->GetGlyph()->LoadFromResourceName(spec.Glyph);
        b->SetNumGlyphs(spec.NumGlyphs);
        b->SetHint(spec.Hint);
        b->SetGroupIndex(spec.GroupIndex);
        b->SetAllowAllUp(spec.AllowAllUp);
        b->SetMargin(spec.Margin);
        auto click = spec.Click;
        b->OnClick = [this, click](TObject* Sender) { (this->*click)(Sender); };
    }

    PnlEditor = new TPanel(this);
    PnlEditor->SetParent(this);
    PnlEditor->SetAlign(alClient);
    PnlEditor->SetBevelInner(bvNone);
    PnlEditor->SetBevelOuter(bvRaised);
    PnlEditor->SetBorderWidth(8);
    PnlEditor->SetParentColor(true);

    EdtRich = new TRichEdit(PnlEditor);
    EdtRich->SetParent(PnlEditor);
    EdtRich->SetAlign(alClient);
    EdtRich->SetBorderStyle(bsSingle);
    EdtRich->SetHideScrollBars(false);
    EdtRich->SetScrollBars(ssVertical);
    EdtRich->SetColor(clWindow);
    // Bound through the virtual table: an override in a derived class is what the editor calls.
    EdtRich->OnSelectionChange = [this](TObject* Sender) { EdtRichSelectionChange(Sender); };
    EdtRich->OnKeyPress = [this](TObject* Sender, TKeyChar& Key) { RichEdtKeyPress(Sender, Key); };
    EdtRich->OnKeyDown = [this](TObject* Sender, Word& Key, TShiftState Shift) {
        RichEdtKeyDown(Sender, Key, Shift);
    };
    EdtRich->SetPlainText(false);

    EdtFontsize = new TEditKV(PnlToolBar);
    EdtFontsize->SetParent(PnlToolBar);
    EdtFontsize->SetBounds(83, 9, 39, 21);
    EdtFontsize->SetMarginTop(1);
    EdtFontsize->SetMarginRight(1);
    EdtFontsize->SetAlignment(taRightJustify);
    EdtFontsize->SetWantReturns(false);
    EdtFontsize->SetWordWrap(false);
    EdtFontsize->OnChange = [this](TObject* Sender) { EdtFontsizeChange(Sender); };
    EdtFontsize->SetValidData(TValidDataSet{vdNumeric});
    EdtFontsize->SetMultiLine(false);
    EdtFontsize->SetTabStop(false);
    EdtFontsize->SetShowHint(true);
    EdtFontsize->SetHint("Schriftgröße");

    UdnFontsize = new TUpDown(PnlToolBar);
    UdnFontsize->SetParent(PnlToolBar);
    UdnFontsize->SetBounds(EdtFontsize->GetLeft() + EdtFontsize->GetWidth(), EdtFontsize->GetTop(), 12,
                           EdtFontsize->GetHeight() - 1);
    UdnFontsize->SetMin(1);
    UdnFontsize->SetMax(100);
    UdnFontsize->SetThousands(false);
    UdnFontsize->SetWrap(false);
    UdnFontsize->OnClick = [this](TObject* Sender, TUDBtnType Button) { UdnFontsizeClick(Sender, Button); };
    UdnFontsize->OnChanging = [this](TObject* Sender, bool& Allow) { UdnFontsizeChanging(Sender, Allow); };
    UdnFontsize->SetShowHint(true);
    UdnFontsize->SetHint("Schriftgröße");

    CreatePopupMenu();
    // The default format is recorded once the editor has its window and its
    // real format (CreateWnd), or at the first Clear before that.
    Tim1 = new TTimer(this);
    Tim1->SetInterval(400);
    Tim1->SetOnTimer([this](TObject* Sender) { Tim1OnTimer(Sender); });
    Tim1->SetEnabled(true);
}

TRichEdtKV::~TRichEdtKV() {
    Destroying();
    DestroyPopupMenu();
    delete Tim1;
    Tim1 = nullptr;
    for (TSpeedButton** b :
         {&BtnBold, &BtnItalic, &BtnUnderline, &BtnColor, &BtnLeft, &BtnCenter, &BtnRight, &BtnIndent,
          &BtnOutdent, &BtnIndentF, &BtnOutdentF, &BtnCut, &BtnCopy, &BtnPaste}) {
        delete *b;
        *b = nullptr;
    }
    delete EdtFontsize;
    EdtFontsize = nullptr;
    delete UdnFontsize;
    UdnFontsize = nullptr;
    delete PnlToolBar;
    PnlToolBar = nullptr;
    delete EdtRich;
    EdtRich = nullptr;
    delete PnlEditor;
    PnlEditor = nullptr;
    FDefaultAttr.reset();
}

// ---- Context menu ---------------------------------------------------------------

void TRichEdtKV::CreatePopupMenu() {
    PopMain = new TPopupMenu(this);
    PopMain->OnPopup = [this](TObject* Sender) { PopMainPopup(Sender); };
    auto item = [this](TMenuItem*& Field, const char* Caption, void (TRichEdtKV::*Click)(TObject*)) {
        Field = new TMenuItem(this);
        Field->SetCaption(Caption);
        if (Click) Field->OnClick = [this, Click](TObject* Sender) { (this->*Click)(Sender); };
        PopMain->GetItems()->Add(Field);
    };
    item(PopUndo, "&Rückgängig", &TRichEdtKV::PopUndoClick);
    item(PopLine1, "-", nullptr);
    item(PopCut, "&Ausschneiden", &TRichEdtKV::BtnCutClick);
    item(PopCopy, "&Kopieren", &TRichEdtKV::BtnCopyClick);
    item(PopPaste, "&Einfügen", &TRichEdtKV::BtnPasteClick);
    item(PopDelete, "&Löschen", &TRichEdtKV::PopDeleteClick);
    item(PopLine2, "-", nullptr);
    item(PopMark, "Alles &markieren", &TRichEdtKV::PopMarkClick);
    EdtRich->SetPopupMenu(PopMain);
}

void TRichEdtKV::DestroyPopupMenu() {
    for (TMenuItem** item :
         {&PopUndo, &PopLine1, &PopCut, &PopCopy, &PopPaste, &PopDelete, &PopLine2, &PopMark}) {
        delete *item;
        *item = nullptr;
    }
    delete PopMain;
    PopMain = nullptr;
}

void TRichEdtKV::PopMainPopup(TObject*) {
    bool selected = EdtRich->GetSelLength() != 0;
    bool readOnly = GetReadOnly();
    PopCopy->SetEnabled(selected);
    PopCut->SetEnabled(selected && !readOnly);
    PopDelete->SetEnabled(selected && !readOnly);
    PopPaste->SetEnabled(ClipboardHasText() && !readOnly);
    PopUndo->SetEnabled(EdtRich->Perform(EM_CANUNDO) != 0);
    PopMark->SetEnabled(EdtRich->GetLines()->GetCount() > 0);
}

void TRichEdtKV::PopUndoClick(TObject*) {
    if (AllowChange()) EdtRich->Perform(EM_UNDO);
}

void TRichEdtKV::PopDeleteClick(TObject*) {
    if (AllowChange()) EdtRich->Perform(WM_CLEAR);
}

void TRichEdtKV::PopMarkClick(TObject*) {
    EdtRich->SelectAll();
}

// ---- The veto question and the clipboard ----------------------------------------

bool TRichEdtKV::AllowChange() {
    if (!OnAllowChangeQuery) return true;
    bool allow = true;
    OnAllowChangeQuery(this, allow);
    return allow;
}

bool TRichEdtKV::ClipboardHasText() const {
    return Clipboard().HasFormat(CF_TEXT);
}

void TRichEdtKV::BtnCutClick(TObject*) {
    if (AllowChange()) EdtRich->CutToClipboard();
}

void TRichEdtKV::BtnCopyClick(TObject*) {
    EdtRich->CopyToClipboard();
}

void TRichEdtKV::BtnPasteClick(TObject*) {
    if (AllowChange()) EdtRich->PasteFromClipboard();
}

void TRichEdtKV::Tim1OnTimer(TObject*) {
    BtnPaste->SetEnabled(ClipboardHasText() && !GetReadOnly());
}

// ---- Character format ---------------------------------------------------------

void TRichEdtKV::StyleClick(TSpeedButton* Button, TFontStyle Style, TObject* Sender) {
    if (FUpdating) return;
    if (!AllowChange()) {
        EdtRichSelectionChange(Sender); // the button shows the text's state again
        return;
    }
    TTextAttributes* sel = EdtRich->GetSelAttributes();
    TFontStyles styles = sel->GetStyle();
    if (Button->GetDown())
        styles << Style;
    else
        styles >> Style;
    sel->SetStyle(styles);
}

void TRichEdtKV::BtnBoldClick(TObject* Sender) {
    StyleClick(BtnBold, fsBold, Sender);
}
void TRichEdtKV::BtnItalicClick(TObject* Sender) {
    StyleClick(BtnItalic, fsItalic, Sender);
}
void TRichEdtKV::BtnUnderlineClick(TObject* Sender) {
    StyleClick(BtnUnderline, fsUnderline, Sender);
}

void TRichEdtKV::BtnColorClick(TObject*) {
    std::unique_ptr<TColorDialog> dialog = std::make_unique<TColorDialog>(this);
    dialog->SetColor(EdtRich->GetSelAttributes()->GetColor());
    if (dialog->Execute() && AllowChange()) EdtRich->GetSelAttributes()->SetColor(dialog->GetColor());
}

// ---- Paragraph format ------------------------------------------------------------

void TRichEdtKV::AlignClick(TAlignment Alignment, TObject* Sender) {
    if (FUpdating) return;
    if (!AllowChange()) {
        EdtRichSelectionChange(Sender);
        return;
    }
    EdtRich->GetParagraph()->SetAlignment(Alignment);
}

void TRichEdtKV::BtnLeftClick(TObject* Sender) {
    AlignClick(taLeftJustify, Sender);
}
void TRichEdtKV::BtnCenterClick(TObject* Sender) {
    AlignClick(taCenter, Sender);
}
void TRichEdtKV::BtnRightClick(TObject* Sender) {
    AlignClick(taRightJustify, Sender);
}

// First: the first indent (the whole paragraph), else the left indent (the
// following lines); Step: +TabPos or -TabPos, never below 0.
void TRichEdtKV::IndentClick(bool First, int Step) {
    if (FUpdating || !AllowChange()) return;
    TParaAttributes* para = EdtRich->GetParagraph();
    int value = (First ? para->GetFirstIndent() : para->GetLeftIndent()) + Step;
    if (Step < 0 && value <= 0) value = 0;
    if (First)
        para->SetFirstIndent(value);
    else
        para->SetLeftIndent(value);
}

void TRichEdtKV::BtnIndentClick(TObject*) {
    IndentClick(true, TabPos);
}
void TRichEdtKV::BtnIndentFClick(TObject*) {
    IndentClick(false, TabPos);
}
void TRichEdtKV::BtnOutdentClick(TObject*) {
    IndentClick(true, -TabPos);
}
void TRichEdtKV::BtnOutdentFClick(TObject*) {
    IndentClick(false, -TabPos);
}

// ---- Font size -------------------------------------------------------------------

void TRichEdtKV::UdnFontsizeChanging(TObject*, bool& Allow) {
    if (OnAllowChangeQuery) OnAllowChangeQuery(this, Allow);
}

void TRichEdtKV::UdnFontsizeClick(TObject*, TUDBtnType) {
    EdtFontsize->SetText(IntToStr(UdnFontsize->GetPosition()));
    EdtRich->GetSelAttributes()->SetSize(UdnFontsize->GetPosition());
}

void TRichEdtKV::EdtFontsizeChange(TObject*) {
    if (FUpdating) return;
    if (!AllowChange()) {
        EdtFontsize->SetText(IntToStr(EdtRich->GetSelAttributes()->GetSize()));
        return;
    }
    int value = LeadingNumber(EdtFontsize->GetText());
    if (value < 1) {
        UdnFontsize->SetPosition(1);
        EdtFontsize->SetText("1");
    } else if (value > 100) {
        UdnFontsize->SetPosition(100);
        EdtFontsize->SetText("100");
    } else {
        UdnFontsize->SetPosition(value);
    }
    EdtRich->GetSelAttributes()->SetSize(UdnFontsize->GetPosition());
}

// ---- Mirroring the selection ---------------------------------------------------------

void TRichEdtKV::EdtRichSelectionChange(TObject*) {
    if (IsDestroying()) return;
    FUpdating = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FUpdating};

    if (!IsDesigning() && EdtRich->GetParagraph()->GetTab(0) != TabPos) ReTab();

    TTextAttributes* sel = EdtRich->GetSelAttributes();
    TFontStyles styles = sel->GetStyle();
    BtnBold->SetDown(styles.Contains(fsBold));
    BtnItalic->SetDown(styles.Contains(fsItalic));
    BtnUnderline->SetDown(styles.Contains(fsUnderline));

    UdnFontsize->SetPosition(sel->GetSize());
    EdtFontsize->SetText(IntToStr(UdnFontsize->GetPosition()));

    switch (EdtRich->GetParagraph()->GetAlignment()) {
    case taLeftJustify:
        BtnLeft->SetDown(true);
        break;
    case taRightJustify:
        BtnRight->SetDown(true);
        break;
    case taCenter:
        BtnCenter->SetDown(true);
        break;
    }

    bool selected = EdtRich->GetSelLength() != 0;
    BtnCopy->SetEnabled(selected);
    BtnCut->SetEnabled(selected && !GetReadOnly());
}

void TRichEdtKV::ReTab() {
    int selStart = EdtRich->GetSelStart();
    int selLength = EdtRich->GetSelLength();
    bool modified = EdtRich->GetModified();
    bool hadUndo = EdtRich->Perform(EM_CANUNDO) != 0;
    TNotifyEvent onChange = EdtRich->OnChange;
    EdtRich->OnChange = nullptr;
    EdtRich->OnSelectionChange = nullptr;
    // Everything comes back on every path: the editor is never left frozen or deaf.
    auto restore = [&] {
        EdtRich->SetModified(modified);
        EdtRich->SetSelStart(selStart);
        EdtRich->SetSelLength(selLength);
        EdtRich->Perform(WM_SETREDRAW, 1);
        EdtRich->OnChange = onChange;
        EdtRich->OnSelectionChange = [this](TObject* Sender) { EdtRichSelectionChange(Sender); };
        EdtRich->Invalidate();
    };
    try {
        EdtRich->Perform(WM_SETREDRAW, 0);
        EdtRich->SelectAll();
        // The whole grid in one pass over the paragraphs: a pass per stop
        // would go over a long text 32 times.
        std::vector<int> grid;
        for (int i = 0; i < MaxTabStops; ++i)
            grid.push_back((i + 1) * TabPos);
        EdtRich->GetParagraph()->SetTabs(grid);
        // Laying out the grid is no edit of the user's: it leaves no undo step
        // in a history that was empty.
        if (!hadUndo) EdtRich->Perform(EM_EMPTYUNDOBUFFER);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// ---- Keyboard ------------------------------------------------------------------------

void TRichEdtKV::RichEdtKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(Sender, Key, Shift);
    if (GetReadOnly()) return;
    bool changes = Key == VK_DELETE || Key == VK_BACK || (Key == 'V' && Shift.Contains(ssCtrl)) ||
                   (Key == VK_INSERT && Shift.Contains(ssShift));
    if (changes && !AllowChange()) Key = 0;
}

void TRichEdtKV::RichEdtKeyPress(TObject* Sender, TKeyChar& Key) {
    if (OnKeyPress) OnKeyPress(Sender, Key);
    if (GetReadOnly()) return;
    // Characters above 127 (umlauts and the like) are typing as well.
    bool asks =
        Key == 6 || Key == 9 || Key == 10 || Key == 11 || Key == 13 || Key == 21 || Key == 24 || Key >= 32;
    if (asks && !AllowChange()) {
        Key = 0;
        return;
    }
    TSpeedButton* toggle = Key == 6 ? BtnBold : Key == 11 ? BtnItalic : Key == 21 ? BtnUnderline : nullptr;
    if (toggle) {
        toggle->SetDown(!toggle->GetDown());
        toggle->Click();
        Key = 0;
    }
}

// ---- Read-only mode ------------------------------------------------------------------

bool TRichEdtKV::GetReadOnly() const {
    return EdtRich->GetReadOnly();
}

void TRichEdtKV::SetReadOnly(bool Value) {
    if (Value == EdtRich->GetReadOnly()) return;
    for (TSpeedButton* b : {BtnBold, BtnItalic, BtnUnderline, BtnColor, BtnLeft, BtnCenter, BtnRight,
                            BtnIndent, BtnIndentF, BtnOutdent, BtnOutdentF})
        b->SetEnabled(!Value);
    EdtFontsize->SetReadOnly(Value);
    UdnFontsize->SetEnabled(!Value);
    EdtRich->SetReadOnly(Value);
    if (Value) {
        BtnCut->SetEnabled(false);
        BtnPaste->SetEnabled(false);
    } else {
        BtnCut->SetEnabled(EdtRich->GetSelLength() != 0);
        BtnPaste->SetEnabled(ClipboardHasText());
    }
}

// ---- Edit rectangle, window and messages ------------------------------------------------

void TRichEdtKV::SetEditRect() {
    auto margin = [](int m) { return m == -1 ? 0 : m; };
    QRect r(QPoint(margin(MarginLeft), margin(MarginTop)),
            QPoint(EdtRich->GetClientWidth() - margin(MarginRight) - 1,
                   EdtRich->GetClientHeight() - margin(MarginBottom) - 1));
    EdtRich->Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
}

void TRichEdtKV::SetMarginLeft(int Value) {
    if (Value == MarginLeft) return;
    MarginLeft = Value;
    SetEditRect();
}
void TRichEdtKV::SetMarginRight(int Value) {
    if (Value == MarginRight) return;
    MarginRight = Value;
    SetEditRect();
}
void TRichEdtKV::SetMarginTop(int Value) {
    if (Value == MarginTop) return;
    MarginTop = Value;
    SetEditRect();
}
void TRichEdtKV::SetMarginBottom(int Value) {
    if (Value == MarginBottom) return;
    MarginBottom = Value;
    SetEditRect();
}

void TRichEdtKV::CreateWnd() {
    TCustomPanel::CreateWnd();
    // The editor's window, with its real format, comes with ours.
    EdtRich->HandleNeeded();
    SaveDefaultAttr();
    SetEditRect();
    EdtRichSelectionChange(this);
}

void TRichEdtKV::WMSize(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    Realign(); // the editor takes its new size before the rectangle is measured
    SetEditRect();
    EdtRichSelectionChange(this);
}

void TRichEdtKV::WMSetFocus(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    if (EdtRich->CanFocus()) EdtRich->SetFocus();
}

void TRichEdtKV::WMPaint(TMessage& Message) {
    if (FFirstPaint) {
        SetEditRect();
        FFirstPaint = false;
    }
    TCustomPanel::Dispatch(Message);
}

void TRichEdtKV::Loaded() {
    TCustomPanel::Loaded();
    EdtRich->Perform(EM_EMPTYUNDOBUFFER);
    EDITSTREAM stream;
    stream.dwCookie = 0;
    stream.pfnCallback = SpaceStreamCallback;
    EdtRich->Perform(EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
    EdtRich->Clear();
    // Without a window yet, the editor starts with the arrows disabled anyway.
    if (EdtRich->HandleAllocated()) EnableScrollBar(EdtRich->GetHandle(), SB_VERT, ESB_DISABLE_BOTH);
}

// ---- Default format and Clear ---------------------------------------------------------------

void TRichEdtKV::SaveDefaultAttr() {
    if (FDefaultAttr) return;
    FDefaultAttr = std::make_unique<TRichEdtDefaultAttr>();
    TParaAttributes* para = EdtRich->GetParagraph();
    FDefaultAttr->Size = EdtRich->GetDefAttributes()->GetSize();
    FDefaultAttr->Alignment = static_cast<Byte>(EdtRich->GetAlignment());
    FDefaultAttr->FirstIndent = para->GetFirstIndent();
    FDefaultAttr->LeftIndent = para->GetLeftIndent();
    FDefaultAttr->Numbering = static_cast<Byte>(para->GetNumbering());
    FDefaultAttr->RightIndent = para->GetRightIndent();
}

void TRichEdtKV::RestoreDefaultAttr() {
    SaveDefaultAttr(); // when no window has recorded it yet
    EdtRich->GetSelAttributes()->Assign(EdtRich->GetDefAttributes());
    EdtRich->GetDefAttributes()->SetSize(FDefaultAttr->Size);
    TParaAttributes* para = EdtRich->GetParagraph();
    para->SetAlignment(static_cast<TAlignment>(FDefaultAttr->Alignment));
    para->SetFirstIndent(FDefaultAttr->FirstIndent);
    para->SetLeftIndent(FDefaultAttr->LeftIndent);
    para->SetNumbering(static_cast<TNumberingStyle>(FDefaultAttr->Numbering));
    para->SetRightIndent(FDefaultAttr->RightIndent);
}

void TRichEdtKV::Clear() {
    TNotifyEvent onChange = EdtRich->OnChange;
    EdtRich->OnChange = nullptr;
    try {
        EdtRich->Clear();
        RestoreDefaultAttr();
        EdtRich->SetSelLength(0);
        EdtRichSelectionChange(this);
        EdtRich->SetModified(false);
    } catch (...) {
        EdtRich->OnChange = onChange;
        throw;
    }
    EdtRich->OnChange = onChange;
}

// ---- Plain accessors ------------------------------------------------------------------------

int TRichEdtKV::FindTextA(const AnsiString& SearchStr, int StartPos, int Length, TSearchTypes Options) {
    return EdtRich->FindText(SearchStr, StartPos, Length, Options);
}
bool TRichEdtKV::EditHasFocus() const {
    return EdtRich->Focused();
}
bool TRichEdtKV::GetModified() const {
    return EdtRich->GetModified();
}
void TRichEdtKV::SetModified(bool Value) {
    EdtRich->SetModified(Value);
}
TNotifyEvent TRichEdtKV::GetOnEnter() const {
    return EdtRich->OnEnter;
}
void TRichEdtKV::SetOnEnter(const TNotifyEvent& Value) {
    EdtRich->OnEnter = Value;
}
TNotifyEvent TRichEdtKV::GetOnExit() const {
    return EdtRich->OnExit;
}
void TRichEdtKV::SetOnExit(const TNotifyEvent& Value) {
    EdtRich->OnExit = Value;
}
TNotifyEvent TRichEdtKV::GetOnChange() const {
    return EdtRich->OnChange;
}
void TRichEdtKV::SetOnChange(const TNotifyEvent& Value) {
    EdtRich->OnChange = Value;
}
TColor TRichEdtKV::GetEditorColor() const {
    return EdtRich->GetColor();
}
void TRichEdtKV::SetEditorColor(TColor Value) {
    if (Value == EdtRich->GetColor()) return;
    EdtRich->SetColor(Value);
    EdtFontsize->SetColor(Value);
}
bool TRichEdtKV::GetPlainText() const {
    return EdtRich->GetPlainText();
}
void TRichEdtKV::SetPlainText(bool Value) {
    EdtRich->SetPlainText(Value);
}
bool TRichEdtKV::GetEditorTabStop() const {
    return EdtRich->GetTabStop();
}
void TRichEdtKV::SetEditorTabStop(bool Value) {
    EdtRich->SetTabStop(Value);
}
bool TRichEdtKV::GetWantTabs() const {
    return EdtRich->GetWantTabs();
}
void TRichEdtKV::SetWantTabs(bool Value) {
    EdtRich->SetWantTabs(Value);
}
bool TRichEdtKV::GetWantReturns() const {
    return EdtRich->GetWantReturns();
}
void TRichEdtKV::SetWantReturns(bool Value) {
    EdtRich->SetWantReturns(Value);
}
AnsiString TRichEdtKV::GetText() const {
    return EdtRich->GetText();
}
void TRichEdtKV::SetText(const AnsiString& Value) {
    EdtRich->SetText(Value);
}
int TRichEdtKV::GetMaxLength() const {
    return EdtRich->GetMaxLength();
}
void TRichEdtKV::SetMaxLength(int Value) {
    EdtRich->SetMaxLength(Value);
}
TStrings* TRichEdtKV::GetLines() const {
    return EdtRich->GetLines();
}
void TRichEdtKV::SetLines(TStrings* Value) {
    EdtRich->SetLines(Value);
}
TFont* TRichEdtKV::GetEditorFont() const {
    return EdtRich->GetFont();
}
void TRichEdtKV::SetEditorFont(TFont* Value) {
    EdtRich->SetFont(Value);
}

namespace Richedtkv {

void Register() {
    RegisterComponents("KV", {&TRichEdtKV::ClassInfo()});
}

} // namespace Richedtkv
