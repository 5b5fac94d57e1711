// The data grid: its data link, the cell editor, and the grid's layout,
// painting, keys, mouse and scroll bars.
#include "DBGrids.h"

#include "Dialogs.h"
#include "Forms.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int IndicatorWidth = 11;

// The grid's window: wheel turns over the grid or its scroll bars become
// WM_MOUSEWHEEL messages of the grid.
class TGridWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void wheelEvent(QWheelEvent* Event) override {
        auto* grid = dynamic_cast<TCustomDBGrid*>(FindControl(this));
        if (!grid) {
            QWidget::wheelEvent(Event);
            return;
        }
        Event->accept();
        int delta = Event->angleDelta().y();
        if (delta == 0) return;
        WPARAM wParam = static_cast<WPARAM>(static_cast<Word>(static_cast<std::int16_t>(delta))) << 16;
        GuardedCall(grid, [&] { grid->Perform(WM_MOUSEWHEEL, wParam, 0); });
    }
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Wheel) {
            wheelEvent(static_cast<QWheelEvent*>(Event));
            return true;
        }
        return QWidget::eventFilter(Watched, Event);
    }
};

// Puts the link's active record back however painting or reading ends.
class TActiveRecordKeeper {
public:
    explicit TActiveRecordKeeper(TDataLink& Link) : FLink(Link), FActive(Link.GetActiveRecord()) {}
    ~TActiveRecordKeeper() { FLink.SetActiveRecord(FActive); }

private:
    TDataLink& FLink;
    int FActive;
};

AnsiString DisplayTextOf(TField* Field) {
    try {
        return Field->GetDisplayText();
    } catch (const std::exception&) {
        return AnsiString(); // a value that cannot be shown leaves its cell empty
    }
}

// A field's alignment, for its cells and its cell editor alike.
Qt::Alignment HorizontalAlignment(TAlignment A) {
    return A == taRightJustify ? Qt::AlignRight : A == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
}

// What of Text a cell of Field takes in place of the editor's selection,
// where Kept bytes of its text stay: a string field that counts bytes cuts
// it at its limit, between whole characters.
AnsiString CellFit(TField* Field, const AnsiString& Text, size_t Kept) {
    auto* text = dynamic_cast<TStringField*>(Field);
    return text ? text->FittingText(Text, Kept) : Text;
}

// Whether a cell of Field takes the typed character where Kept bytes of the
// editor's text stay: a valid character within the field's limit.
bool CellTakes(TField* Field, TKeyChar Key, size_t Kept) {
    if (Key < 256 && !Field->IsValidChar(static_cast<char>(Key))) return false;
    AnsiString typed = KeyCharToStr(Key);
    return CellFit(Field, typed, Kept).size() == typed.size();
}

void DrawRaised(QPainter& P, const QRect& R) {
    P.fillRect(R, ColorToQColor(clBtnFace));
    P.setPen(ColorToQColor(clBtnHighlight));
    P.drawLine(R.topLeft(), R.topRight());
    P.drawLine(R.topLeft(), R.bottomLeft());
    P.setPen(ColorToQColor(clBtnShadow));
    P.drawLine(R.bottomLeft(), R.bottomRight());
    P.drawLine(R.topRight(), R.bottomRight());
}

} // namespace

// ---- TGridDataLink --------------------------------------------------------

void TGridDataLink::Reset() {
    if (FModified) {
        FModified = false;
        FGrid->LoadEditor();
    } else if (TDataSet* ds = GetDataSet()) {
        ds->Cancel();
    }
}

void TGridDataLink::ActiveChanged() {
    FGrid->LinkActive(GetActive());
}
void TGridDataLink::DataSetChanged() {
    FGrid->DataChanged();
}
void TGridDataLink::DataSetScrolled(int Distance) {
    FGrid->Scrolled(Distance);
}
void TGridDataLink::EditingChanged() {
    FGrid->EditingChanged();
}
void TGridDataLink::LayoutChanged() {
    FGrid->LayoutChanged();
}
void TGridDataLink::RecordChanged(TField* Field) {
    FGrid->RecordChanged(Field);
}
void TGridDataLink::UpdateData() {
    FGrid->UpdateData();
}
void TGridDataLink::FocusControl(TField** Field) {
    if (!Field || !*Field) return;
    auto at = std::find(FGrid->FColumns.begin(), FGrid->FColumns.end(), *Field);
    if (at == FGrid->FColumns.end()) return;
    if (FGrid->CanFocus()) FGrid->SetFocus();
    FGrid->MoveCol(static_cast<int>(at - FGrid->FColumns.begin()));
    *Field = nullptr; // taken care of
}

// ---- TInplaceEdit ---------------------------------------------------------

TInplaceEdit::TInplaceEdit(TCustomDBGrid* Grid) : TCustomEdit(nullptr), FGrid(Grid) {
    SetTabStop(false);
    SetAutoSelect(false);
}

void TInplaceEdit::InitWidget() {
    TCustomEdit::InitWidget();
    Edit()->setFrame(false);
    // Every change goes through the keys, which put the dataset into edit state first.
    Edit()->setContextMenuPolicy(Qt::NoContextMenu);
    ApplyAlignment();
}

void TInplaceEdit::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    ApplyAlignment();
}

void TInplaceEdit::ApplyAlignment() {
    if (QLineEdit* edit = Edit()) edit->setAlignment(HorizontalAlignment(FAlignment) | Qt::AlignVCenter);
}

void TInplaceEdit::KeyDown(Word& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (Key == 0) return;
    bool ctrl = Shift.Contains(ssCtrl);
    bool toGrid = false;
    switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
    case VK_RETURN:
    case VK_TAB:
        toGrid = true;
        break;
    case VK_HOME:
    case VK_END:
        toGrid = ctrl;
        break;
    case VK_LEFT:
        toGrid = GetSelLength() == 0 && GetSelStart() == 0;
        break;
    case VK_RIGHT:
        toGrid = GetSelLength() == 0 &&
                 GetSelStart() == static_cast<int>(QString::fromStdString(GetText()).size());
        break;
    case VK_DELETE:
        if (ctrl)
            toGrid = true;
        else if (!GetReadOnly() && !FGrid->CanEditModify())
            Key = 0;
        break;
    case VK_INSERT:
        // Insert alone adds a row, as it does without an editor; with Shift
        // or Ctrl it is the edit's paste and copy.
        toGrid = !ctrl && !Shift.Contains(ssShift);
        break;
    default:
        break;
    }
    if (toGrid && FGrid->EditorKey(Key, Shift)) Key = 0;
}

void TInplaceEdit::KeyPress(TKeyChar& Key) {
    TCustomEdit::KeyPress(Key);
    // Characters that change the text: printable ones, Backspace, Ctrl+V, Ctrl+X, Ctrl+Z.
    bool changes = Key >= 32 || Key == 8 || Key == 22 || Key == 24 || Key == 26;
    if (!changes) return;
    TField* field = FGrid->FEditField;
    if (Key >= 32 && field && !CellTakes(field, Key, KeptBytes())) {
        MessageBeep(0);
        Key = 0;
        return;
    }
    if (!FGrid->CanEditModify()) Key = 0;
}

size_t TInplaceEdit::KeptBytes() const {
    AnsiString all = GetText(), selected = GetSelText();
    return all.size() - std::min(selected.size(), all.size());
}

void TInplaceEdit::Change() {
    TCustomEdit::Change();
    FGrid->EditorChanged();
}

void TInplaceEdit::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_GETDLGCODE) {
        // Tab goes on to the grid when the grid takes it.
        TCustomEdit::Dispatch(Message);
        if (FGrid->GetOptions().Contains(dgTabs)) Message.Result |= DLGC_WANTTAB;
        return;
    }
    if (Message.Msg == WM_PASTE && !GetReadOnly()) {
        // What the field would refuse is cut off; a text that fits goes in
        // as the window pastes it (its own undo step).
        AnsiString text = QGuiApplication::clipboard()->text().toStdString();
        AnsiString fits = CellFit(FGrid->FEditField, text, KeptBytes());
        if (fits.size() < text.size()) {
            Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(fits.c_str()));
            return;
        }
    }
    if (Message.Msg == CM_EXIT) {
        QWidget* next = QApplication::focusWidget();
        if (next && next == FGrid->GetWidget())
            FGrid->FFocusFromEditor = true;
        else
            FGrid->GridExit();
    }
    TCustomEdit::Dispatch(Message);
}

// ---- TCustomDBGrid --------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomDBGrid, &TWinControl::ClassInfo())
KV_METACLASS(TDBGrid, &TCustomDBGrid::ClassInfo())

void TCustomDBGrid::Publish(TPublisher<TCustomDBGrid>& P) {
    P.Prop("BorderStyle", &TCustomDBGrid::GetBorderStyle, &TCustomDBGrid::SetBorderStyle).Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCustomDBGrid& g) { return !g.GetParentColor(); });
    P.Prop("DataSource", &TCustomDBGrid::GetDataSource, &TCustomDBGrid::SetDataSource);
    P.Prop("Options", &TCustomDBGrid::GetOptions, &TCustomDBGrid::SetOptions).Default(DefaultDBGridOptions);
    P.Prop("ReadOnly", &TCustomDBGrid::GetReadOnly, &TCustomDBGrid::SetReadOnly).Default(false);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("OnColEnter", &TCustomDBGrid::OnColEnter, &TCustomDBGrid::OnColEnter);
    P.Prop("OnColExit", &TCustomDBGrid::OnColExit, &TCustomDBGrid::OnColExit);
}

TCustomDBGrid::TCustomDBGrid(TComponent* AOwner)
    : TWinControl(AOwner), FDataLink(std::make_unique<TGridDataLink>(this)) {
    ControlStyle >> csSetCaption;
    ControlStyle << csOpaque;
    FColor = clWindow;
    SetTabStop(true);
    FEditor = new TInplaceEdit(this);
    FEditor->SetVisible(false);
    FEditor->SetParent(this);
    SetBounds(0, 0, 320, 120);
}

TCustomDBGrid::~TCustomDBGrid() {
    Destroying();
    // The link leaves quietly; the editor goes while the grid is whole.
    FDataLink.reset();
    delete FEditor;
    FEditor = nullptr;
}

TDataSet* TCustomDBGrid::DataSet() const {
    return FDataLink ? FDataLink->GetDataSet() : nullptr;
}

void TCustomDBGrid::SetDataSource(TDataSource* Value) {
    if (Value == GetDataSource()) return;
    HideEditor();
    FDataLink->SetDataSource(Value);
    LinkActive(FDataLink->GetActive());
}

void TCustomDBGrid::SetOptions(TDBGridOptions Value) {
    if (Value == FOptions) return;
    if (Value.Contains(dgRowSelect)) Value >> dgEditing >> dgAlwaysShowEditor;
    if (!Value.Contains(dgEditing)) HideEditor();
    FOptions = Value;
    BuildColumns();
    Relayout();
    Invalidate();
}

void TCustomDBGrid::SetReadOnly(bool Value) {
    FReadOnly = Value;
    FEditor->SetReadOnly(Value);
}

void TCustomDBGrid::SetBorderStyle(TBorderStyle Value) {
    if (Value != bsNone && Value != bsSingle) return;
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    Relayout();
    Invalidate();
}

// ---- Columns and geometry

TField* TCustomDBGrid::GetColumnField(int Index) const {
    if (Index < 0 || Index >= GetColumnCount()) ListIndexError(Index);
    return FColumns[static_cast<size_t>(Index)];
}

AnsiString TCustomDBGrid::GetColumnTitle(int Index) const {
    return GetColumnField(Index)->GetDisplayName();
}

int TCustomDBGrid::GetColumnWidth(int Index) const {
    GetColumnField(Index);
    return FColWidths[static_cast<size_t>(Index)];
}

TField* TCustomDBGrid::GetSelectedField() const {
    if (FSelectedIndex < 0 || FSelectedIndex >= GetColumnCount()) return nullptr;
    return FColumns[static_cast<size_t>(FSelectedIndex)];
}

void TCustomDBGrid::BuildColumns() {
    FColumns.clear();
    FColWidths.clear();
    TDataSet* ds = DataSet();
    if (ds && FDataLink->GetActive()) {
        QFontMetrics fm(GetFont()->ToQFont());
        for (int i = 0; i < ds->GetFieldCount(); ++i) {
            TField* f = ds->GetFields()->GetField(i);
            if (!f->GetVisible()) continue;
            int w = f->GetDisplayWidth() * fm.horizontalAdvance('0') + 4;
            if (FOptions.Contains(dgTitles))
                w = std::max(w, fm.horizontalAdvance(QString::fromStdString(f->GetDisplayName())) + 4);
            FColumns.push_back(f);
            FColWidths.push_back(w);
        }
    }
    if (FEditField && std::find(FColumns.begin(), FColumns.end(), FEditField) == FColumns.end()) HideEditor();
    FSelectedIndex = std::clamp(FSelectedIndex, 0, std::max(0, GetColumnCount() - 1));
    FLeftCol = std::clamp(FLeftCol, 0, std::max(0, GetColumnCount() - 1));
}

int TCustomDBGrid::GetDefaultRowHeight() const {
    return QFontMetrics(GetFont()->ToQFont()).height() + 4;
}

int TCustomDBGrid::ScrollBarExtent() const {
    QStyle* style = QApplication::style();
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

bool TCustomDBGrid::HorizontalBarNeeded(int Width) const {
    int total = 0;
    for (int w : FColWidths)
        total += w;
    return !FColumns.empty() && total > Width;
}

TCustomDBGrid::TLayout TCustomDBGrid::Layout() const {
    TLayout l{};
    l.Frame = FBorderStyle == bsSingle ? 2 : 0;
    l.Indicator = FOptions.Contains(dgIndicator) ? IndicatorWidth : 0;
    l.RowHeight = GetDefaultRowHeight();
    l.Title = FOptions.Contains(dgTitles) ? l.RowHeight : 0;
    bool active = FDataLink && FDataLink->GetActive();
    l.VBar = active ? ScrollBarExtent() : 0;
    int inner = std::max(0, GetWidth() - 2 * l.Frame - l.VBar);
    l.HBar = active && HorizontalBarNeeded(inner - l.Indicator) ? ScrollBarExtent() : 0;
    l.Data = QRect(l.Frame + l.Indicator, l.Frame + l.Title, std::max(0, inner - l.Indicator),
                   std::max(0, GetHeight() - 2 * l.Frame - l.Title - l.HBar));
    return l;
}

int TCustomDBGrid::GetVisibleRowCount() const {
    TLayout l = Layout();
    return std::max(1, l.Data.height() / std::max(1, l.RowHeight));
}

int TCustomDBGrid::GetRow() const {
    if (!FDataLink->GetActive() || FDataLink->GetRecordCount() == 0) return -1;
    return FDataLink->GetActiveRecord();
}

QRect TCustomDBGrid::CellRect(int Column, int Row) const {
    TLayout l = Layout();
    int y, h;
    if (Row < 0) {
        y = l.Frame;
        h = l.Title;
    } else {
        y = l.Data.top() + Row * l.RowHeight;
        h = l.RowHeight;
    }
    if (Column < 0) return h > 0 && l.Indicator > 0 ? QRect(l.Frame, y, l.Indicator, h) : QRect();
    if (Column < FLeftCol || Column >= GetColumnCount() || h <= 0) return QRect();
    int x = l.Data.left();
    for (int c = FLeftCol; c < Column; ++c)
        x += FColWidths[static_cast<size_t>(c)];
    return QRect(x, y, FColWidths[static_cast<size_t>(Column)], h);
}

AnsiString TCustomDBGrid::GetCellText(int Column, int Row) const {
    if (Column < 0 || Column >= GetColumnCount() || Row < 0 || Row >= FDataLink->GetRecordCount())
        return AnsiString();
    TActiveRecordKeeper keep(*FDataLink);
    FDataLink->SetActiveRecord(Row);
    return DisplayTextOf(FColumns[static_cast<size_t>(Column)]);
}

void TCustomDBGrid::UpdateBufferCount() {
    if (FDataLink) FDataLink->SetBufferCount(GetVisibleRowCount());
}

void TCustomDBGrid::Relayout() {
    // The rows first: the bars' place depends on the same layout, and the
    // editor's on the row it is in.
    UpdateBufferCount();
    PlaceScrollBars();
    PlaceEditor();
}

// ---- The window

QWidget* TCustomDBGrid::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<TGridWidget>(this, Params.WndParent);
    w->setAttribute(Qt::WA_OpaquePaintEvent);
    return w;
}

void TCustomDBGrid::InitWidget() {
    TWinControl::InitWidget();
    std::weak_ptr<int> life = Life();
    FVBar = new QScrollBar(Qt::Vertical, FWidget);
    FHBar = new QScrollBar(Qt::Horizontal, FWidget);
    for (QScrollBar* bar : {FVBar, FHBar}) {
        bar->setFocusPolicy(Qt::NoFocus);
        bar->installEventFilter(FWidget);
    }
    auto bind = [this, life](QScrollBar* Bar, Cardinal Msg) {
        QObject::connect(Bar, &QAbstractSlider::actionTriggered, Bar, [this, life, Msg](int Action) {
            int c = ScrollCodeOfAction(Action);
            if (c < 0 || c == SB_THUMBTRACK) return; // dragging acts when the thumb is let go
            GuardedCall(this, [&] { Perform(Msg, static_cast<WPARAM>(c)); });
            if (!life.expired()) UpdateScrollBars();
        });
        QObject::connect(Bar, &QAbstractSlider::sliderReleased, Bar, [this, life, Bar, Msg] {
            WPARAM w = SB_THUMBPOSITION | (static_cast<WPARAM>(Bar->sliderPosition() & 0xFFFF) << 16);
            GuardedCall(this, [&] { Perform(Msg, w); });
            if (!life.expired()) UpdateScrollBars();
        });
    };
    bind(FVBar, WM_VSCROLL);
    bind(FHBar, WM_HSCROLL);
    UpdateScrollBars();
    PlaceScrollBars();
}

void TCustomDBGrid::UpdateWidgetBounds() {
    TWinControl::UpdateWidgetBounds();
    PlaceScrollBars();
}

void TCustomDBGrid::PlaceScrollBars() {
    if (!FWidget || !FVBar) return;
    TLayout l = Layout();
    FVBar->setVisible(l.VBar > 0);
    FHBar->setVisible(l.HBar > 0);
    if (l.VBar > 0)
        FVBar->setGeometry(GetWidth() - l.Frame - l.VBar, l.Frame, l.VBar,
                           GetHeight() - 2 * l.Frame - l.HBar);
    if (l.HBar > 0)
        FHBar->setGeometry(l.Frame, GetHeight() - l.Frame - l.HBar, GetWidth() - 2 * l.Frame - l.VBar,
                           l.HBar);
    UpdateScrollBars();
}

void TCustomDBGrid::UpdateScrollBars() {
    if (!FVBar) return;
    TDataSet* ds = DataSet();
    bool active = FDataLink && FDataLink->GetActive() && ds;
    // Without record numbers the bar tells only: at the start, at the end, or between.
    int pos = !active || ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
    {
        QSignalBlocker block(FVBar);
        FVBar->setRange(0, 4);
        FVBar->setPageStep(1);
        FVBar->setSliderPosition(pos);
        FVBar->setValue(pos);
        FVBar->setEnabled(active);
    }
    {
        QSignalBlocker block(FHBar);
        FHBar->setRange(0, std::max(0, GetColumnCount() - 1));
        FHBar->setPageStep(1);
        FHBar->setSliderPosition(FLeftCol);
        FHBar->setValue(FLeftCol);
    }
}

void TCustomDBGrid::Resize() {
    Relayout();
    TWinControl::Resize();
}

void TCustomDBGrid::FontChanged() {
    TWinControl::FontChanged();
    BuildColumns();
    Relayout();
    Invalidate();
}

void TCustomDBGrid::Loaded() {
    TWinControl::Loaded();
    BuildColumns();
    Relayout();
}

void TCustomDBGrid::Paint(QPainter& P) {
    TLayout l = Layout();
    QRect all(0, 0, GetWidth(), GetHeight());
    P.fillRect(all, ColorToQColor(FColor));
    QColor lineColor = ColorToQColor(clBtnFace).darker(130);
    QColor text = ColorToQColor(GetFont()->GetColor());
    P.setFont(GetFont()->ToQFont());
    int rows = FDataLink->GetActive() ? FDataLink->GetRecordCount() : 0;
    int right = l.Data.right() + 1;

    // Titles and the indicator column.
    if (l.Title > 0 && FDataLink->GetActive()) {
        if (l.Indicator > 0) DrawRaised(P, QRect(l.Frame, l.Frame, l.Indicator, l.Title));
        for (int c = FLeftCol; c < GetColumnCount(); ++c) {
            QRect r = CellRect(c, -1);
            if (r.left() >= right) break;
            DrawRaised(P, r);
            P.setPen(ColorToQColor(clBtnText));
            P.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(GetColumnTitle(c)));
        }
    }
    if (l.Indicator > 0 && FDataLink->GetActive())
        for (int r = 0; r < rows; ++r)
            DrawRaised(P, CellRect(-1, r));

    // The rows, each read with the link's active record set to it.
    bool showSelection =
        Focused() || (FEditor && FEditor->Focused()) || FOptions.Contains(dgAlwaysShowSelection);
    int active = GetRow();
    if (rows > 0) {
        TActiveRecordKeeper keep(*FDataLink);
        P.save();
        P.setClipRect(l.Data);
        for (int r = 0; r < rows; ++r) {
            FDataLink->SetActiveRecord(r);
            for (int c = FLeftCol; c < GetColumnCount(); ++c) {
                QRect cell = CellRect(c, r);
                if (cell.left() >= right) break;
                TField* f = FColumns[static_cast<size_t>(c)];
                bool selected =
                    showSelection && r == active && (FOptions.Contains(dgRowSelect) || c == FSelectedIndex);
                if (selected) P.fillRect(cell, ColorToQColor(clHighlight));
                P.setPen(selected ? ColorToQColor(clHighlightText) : text);
                P.drawText(cell.adjusted(2, 0, -3, 0), HorizontalAlignment(f->GetAlignment()) | Qt::AlignVCenter,
                           QString::fromStdString(DisplayTextOf(f)));
                P.setPen(lineColor);
                if (FOptions.Contains(dgColLines)) P.drawLine(cell.topRight(), cell.bottomRight());
                if (FOptions.Contains(dgRowLines)) P.drawLine(cell.bottomLeft(), cell.bottomRight());
            }
        }
        P.restore();
    }

    // The current row's mark: an arrow, an I-beam while edited, a star for a new record.
    if (active >= 0 && l.Indicator > 0) {
        QRect r = CellRect(-1, active);
        QPoint c = r.center();
        P.save();
        P.setPen(Qt::black);
        P.setBrush(Qt::black);
        TDataSetState state = DataSet()->GetState();
        if (state == dsEdit) {
            P.drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
            P.drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
            P.drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
        } else if (state == dsInsert) {
            P.drawLine(c.x() - 3, c.y(), c.x() + 3, c.y());
            P.drawLine(c.x(), c.y() - 3, c.x(), c.y() + 3);
            P.drawLine(c.x() - 2, c.y() - 2, c.x() + 2, c.y() + 2);
            P.drawLine(c.x() - 2, c.y() + 2, c.x() + 2, c.y() - 2);
        } else {
            QPoint tri[3] = {QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()),
                             QPoint(c.x() - 2, c.y() + 4)};
            P.drawPolygon(tri, 3);
        }
        P.restore();
    }

    // The frame.
    if (l.Frame > 0) {
        P.setPen(ColorToQColor(clBtnShadow));
        P.drawLine(0, 0, GetWidth() - 1, 0);
        P.drawLine(0, 0, 0, GetHeight() - 1);
        P.setPen(Qt::black);
        P.drawLine(1, 1, GetWidth() - 2, 1);
        P.drawLine(1, 1, 1, GetHeight() - 2);
        P.setPen(ColorToQColor(clBtnHighlight));
        P.drawLine(0, GetHeight() - 1, GetWidth() - 1, GetHeight() - 1);
        P.drawLine(GetWidth() - 1, 0, GetWidth() - 1, GetHeight() - 1);
    }
}

// ---- Events of the data link

void TCustomDBGrid::LinkActive(bool Value) {
    if (IsDestroying()) return;
    if (!Value) {
        HideEditor();
        FSelectedIndex = 0;
        FLeftCol = 0;
    }
    // Opening brings the scroll bars, which take rows; closing takes them away.
    BuildColumns();
    Relayout();
    Invalidate();
}

void TCustomDBGrid::DataChanged() {
    BuildColumns();
    if (FEditorMode && !FDataLink->FModified) LoadEditor();
    Relayout();
    Invalidate();
}

void TCustomDBGrid::Scrolled(int Distance) {
    (void)Distance;
    // Another record is current: the cell editor was for the one before.
    HideEditor();
    UpdateScrollBars();
    Invalidate();
}

void TCustomDBGrid::EditingChanged() {
    // Posted or cancelled elsewhere: the editor shows the field again.
    if (!FDataLink->GetEditing() && FEditorMode) LoadEditor();
    Invalidate();
}

void TCustomDBGrid::LayoutChanged() {
    // Columns that grow or shrink bring or take away the horizontal bar.
    BuildColumns();
    Relayout();
    Invalidate();
}

void TCustomDBGrid::RecordChanged(TField* Field) {
    if (FEditorMode && (!Field || Field == FEditField) && !FDataLink->FModified) LoadEditor();
    Invalidate();
}

void TCustomDBGrid::UpdateData() {
    if (!FDataLink->FModified || !FEditField || !FEditorMode) return;
    FEditField->SetText(FEditor->GetText());
    FDataLink->FModified = false;
    Invalidate();
}

// ---- The cell editor

bool TCustomDBGrid::CanEditShow() const {
    return FOptions.Contains(dgEditing) && !FOptions.Contains(dgRowSelect) && FDataLink->GetActive() &&
           GetSelectedField() && FDataLink->GetRecordCount() > 0;
}

bool TCustomDBGrid::CanEditModify() {
    if (FReadOnly || !FDataLink->GetActive() || FDataLink->GetReadOnly()) return false;
    TField* f = GetSelectedField();
    if (!f || !f->CanModify() || (f->IsBlob() && !f->OnSetText)) return false;
    FDataLink->Edit();
    if (!FDataLink->GetEditing()) return false;
    FDataLink->Modified();
    return true;
}

void TCustomDBGrid::ShowEditor() {
    if (!CanEditShow()) return;
    FEditorMode = true;
    FEditField = GetSelectedField();
    LoadEditor();
    FEditor->SelectAll();
    PlaceEditor();
    FEditor->Show();
    if (HandleAllocated() && FEditor->CanFocus()) FEditor->SetFocus();
    Invalidate();
}

void TCustomDBGrid::HideEditor() {
    if (!FEditorMode) return;
    FEditorMode = false;
    FEditField = nullptr;
    if (FDataLink) FDataLink->FModified = false;
    if (!FEditor) return;
    // The grid takes the focus back before the editor goes out of sight,
    // so it does not wander to another control.
    if (FEditor->Focused() && HandleAllocated() && CanFocus()) SetFocus();
    FEditor->Hide();
    Invalidate();
}

void TCustomDBGrid::SetEditorMode(bool Value) {
    if (Value == FEditorMode) return;
    if (Value) {
        ShowEditor();
    } else {
        CommitCell();
        HideEditor();
    }
}

void TCustomDBGrid::LoadEditor() {
    if (!FEditorMode || !FEditField || !FEditor) return;
    FLoadingEditor = true;
    try {
        FEditor->SetMaxLength(FEditField->GetDataType() == ftString ? FEditField->GetSize() : 0);
        FEditor->SetAlignment(FEditField->GetAlignment());
        // The same text keeps the caret where the user put it.
        AnsiString text = FEditField->GetText();
        if (FEditor->GetText() != text) {
            FEditor->SetText(text);
            FEditor->SelectAll();
        }
    } catch (...) {
        FLoadingEditor = false;
        throw;
    }
    FLoadingEditor = false;
    FDataLink->FModified = false;
}

void TCustomDBGrid::PlaceEditor() {
    if (!FEditorMode || !FEditor) return;
    QRect r = CellRect(FSelectedIndex, GetRow()).intersected(Layout().Data);
    if (r.isEmpty()) {
        FEditor->SetBounds(0, 0, 0, 0);
        return;
    }
    FEditor->SetBounds(r.left() + 1, r.top() + 1, r.width() - 2, r.height() - 2);
}

void TCustomDBGrid::EditorChanged() {
    if (FLoadingEditor || !FEditorMode) return;
    // A change that came past the key checks (the clipboard): it still needs edit state.
    TDataSet* ds = DataSet();
    if (!ds || !dsEditModes.Contains(ds->GetState())) {
        if (!CanEditModify()) {
            LoadEditor();
            return;
        }
    }
    FDataLink->Modified();
}

void TCustomDBGrid::CommitCell() {
    if (!FEditorMode || !FDataLink->FModified) return;
    TDataSet* ds = DataSet();
    if (!ds || !dsEditModes.Contains(ds->GetState())) return;
    FDataLink->UpdateRecord();
}

void TCustomDBGrid::GridExit() {
    TDataSet* ds = DataSet();
    if (!ds || !FDataLink->GetActive()) return;
    if (FOptions.Contains(dgCancelOnExit) && ds->GetState() == dsInsert && !ds->GetModified() &&
        !FDataLink->FModified) {
        ds->Cancel();
        return;
    }
    CommitCell();
}

// ---- Moving

void TCustomDBGrid::MoveRow(int Distance) {
    TDataSet* ds = DataSet();
    if (!ds || Distance == 0) return;
    ds->MoveBy(Distance);
}

void TCustomDBGrid::MoveCol(int Index) {
    if (GetColumnCount() == 0) return;
    Index = std::clamp(Index, 0, GetColumnCount() - 1);
    if (Index == FSelectedIndex) return;
    bool editing = FEditorMode;
    CommitCell(); // a value the field refuses keeps the cell where it is
    HideEditor();
    if (OnColExit) OnColExit(this);
    FSelectedIndex = Index;
    // Keep the column in view.
    int width = Layout().Data.width();
    if (FSelectedIndex < FLeftCol) FLeftCol = FSelectedIndex;
    auto span = [&] {
        int w = 0;
        for (int c = FLeftCol; c <= FSelectedIndex; ++c)
            w += FColWidths[static_cast<size_t>(c)];
        return w;
    };
    while (FLeftCol < FSelectedIndex && span() > width)
        ++FLeftCol;
    if (OnColEnter) OnColEnter(this);
    if (editing) ShowEditor();
    UpdateScrollBars();
    Invalidate();
}

void TCustomDBGrid::SetSelectedIndex(int Value) {
    MoveCol(Value);
}

void TCustomDBGrid::DeleteRecord() {
    TDataSet* ds = DataSet();
    if (!ds || FReadOnly || FDataLink->GetReadOnly() || !ds->CanModify() || ds->IsEmpty()) return;
    if (FOptions.Contains(dgConfirmDelete) &&
        MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}, 0) == mrCancel)
        return;
    HideEditor();
    ds->Delete();
}

bool TCustomDBGrid::EditorKey(Word Key, TShiftState Shift) {
    TDataSet* ds = DataSet();
    if (!ds || !FDataLink->GetActive()) return false;
    bool ctrl = Shift.Contains(ssCtrl), shift = Shift.Contains(ssShift), alt = Shift.Contains(ssAlt);
    bool canAppend =
        FOptions.Contains(dgEditing) && !FReadOnly && !FDataLink->GetReadOnly() && ds->CanModify();
    auto unchangedInsert = [&] {
        return ds->GetState() == dsInsert && !ds->GetModified() && !FDataLink->FModified;
    };
    switch (Key) {
    case VK_UP:
        if (unchangedInsert() && ds->Eof())
            ds->Cancel();
        else
            MoveRow(-1);
        return true;
    case VK_DOWN:
        if (unchangedInsert()) {
            if (!ds->Eof()) ds->Cancel();
        } else {
            MoveRow(1);
            if (ds->Eof() && canAppend) ds->Append();
        }
        return true;
    case VK_PRIOR:
        MoveRow(-GetVisibleRowCount());
        return true;
    case VK_NEXT:
        MoveRow(GetVisibleRowCount());
        return true;
    case VK_HOME:
        if (ctrl)
            ds->First();
        else
            MoveCol(0);
        return true;
    case VK_END:
        if (ctrl)
            ds->Last();
        else
            MoveCol(GetColumnCount() - 1);
        return true;
    case VK_LEFT:
        MoveCol(FSelectedIndex - 1);
        return true;
    case VK_RIGHT:
        MoveCol(FSelectedIndex + 1);
        return true;
    case VK_TAB:
        if (!FOptions.Contains(dgTabs) || ctrl || alt) return false;
        if (shift) {
            if (FSelectedIndex > 0) {
                MoveCol(FSelectedIndex - 1);
            } else if (!ds->Bof()) {
                MoveRow(-1);
                MoveCol(GetColumnCount() - 1);
            }
        } else if (FSelectedIndex < GetColumnCount() - 1) {
            MoveCol(FSelectedIndex + 1);
        } else {
            MoveRow(1);
            if (!ds->Eof()) MoveCol(0);
        }
        return true;
    case VK_INSERT:
        if (ctrl || shift || alt || !canAppend) return false;
        // What the cell editor holds goes into the record first, so the
        // insert posts it with the rest of the row.
        CommitCell();
        HideEditor();
        ds->Insert();
        return true;
    case VK_DELETE:
        if (!ctrl) return false;
        DeleteRecord();
        return true;
    case VK_ESCAPE:
        if (!FEditorMode && !dsEditModes.Contains(ds->GetState())) return false;
        FDataLink->Reset();
        HideEditor();
        return true;
    case VK_RETURN:
        if (ctrl || alt) return false;
        if (FEditorMode) {
            CommitCell();
            HideEditor();
            return true;
        }
        if (!CanEditShow()) return false;
        ShowEditor();
        return true;
    case VK_F1 + 1: // F2
        if (FEditorMode || !CanEditShow()) return false;
        ShowEditor();
        return true;
    default:
        return false;
    }
}

void TCustomDBGrid::KeyDown(Word& Key, TShiftState Shift) {
    std::weak_ptr<int> life = Life();
    TWinControl::KeyDown(Key, Shift);
    if (Key == 0 || life.expired()) return;
    if (EditorKey(Key, Shift)) Key = 0;
}

void TCustomDBGrid::KeyPress(TKeyChar& Key) {
    std::weak_ptr<int> life = Life();
    TWinControl::KeyPress(Key);
    if (Key < 32 || Key == 127 || life.expired()) return;
    TKeyChar typed = Key;
    Key = 0;
    if (FEditorMode || !CanEditShow()) return;
    if (!CellTakes(GetSelectedField(), typed, 0)) {
        MessageBeep(0);
        return;
    }
    ShowEditor();
    if (!CanEditModify()) {
        MessageBeep(0);
        return;
    }
    // The key typed replaces the cell's text.
    FLoadingEditor = true;
    try {
        FEditor->SetText(KeyCharToStr(typed));
    } catch (...) {
        FLoadingEditor = false;
        throw;
    }
    FLoadingEditor = false;
    FEditor->SetSelStart(1);
    FDataLink->Modified();
}

void TCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    std::weak_ptr<int> life = Life();
    TWinControl::MouseDown(Button, Shift, X, Y);
    if (life.expired() || Button != mbLeft || Shift.Contains(ssDouble) || !FDataLink->GetActive()) return;
    TLayout l = Layout();
    if (Y < l.Data.top() || Y > l.Data.bottom() || X < l.Frame || X > l.Data.right()) return;
    int row = (Y - l.Data.top()) / l.RowHeight;
    if (row >= FDataLink->GetRecordCount()) return;
    int col = -1;
    for (int c = FLeftCol; c < GetColumnCount(); ++c)
        if (CellRect(c, row).contains(X, Y)) col = c;
    if (row == GetRow() && col >= 0 && col == FSelectedIndex) {
        if (!FEditorMode) ShowEditor();
        return;
    }
    MoveRow(row - GetRow());
    if (life.expired()) return;
    if (col >= 0) MoveCol(col);
}

void TCustomDBGrid::DblClick() {
    std::weak_ptr<int> life = Life();
    TWinControl::DblClick();
    if (!life.expired() && !FEditorMode) ShowEditor();
}

// ---- Messages

void TCustomDBGrid::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FOptions.Contains(dgTabs) ? DLGC_WANTTAB : 0);
        break;
    case WM_VSCROLL:
        WMVScroll(Message);
        break;
    case WM_HSCROLL:
        WMHScroll(Message);
        break;
    case WM_MOUSEWHEEL:
        WMMouseWheel(Message);
        break;
    case CM_ENTER:
        if (FFocusFromEditor) {
            FFocusFromEditor = false; // still inside the grid
            break;
        }
        TWinControl::Dispatch(Message);
        break;
    case CM_EXIT:
        CMExit(Message);
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

void TCustomDBGrid::WMVScroll(TMessage& Message) {
    TDataSet* ds = DataSet();
    if (!ds || !FDataLink->GetActive()) return;
    int page = GetVisibleRowCount();
    switch (LoWord(Message.WParam)) {
    case SB_LINEUP:
        MoveRow(-1);
        break;
    case SB_LINEDOWN:
        MoveRow(1);
        break;
    case SB_PAGEUP:
        MoveRow(-page);
        break;
    case SB_PAGEDOWN:
        MoveRow(page);
        break;
    case SB_TOP:
        ds->First();
        break;
    case SB_BOTTOM:
        ds->Last();
        break;
    case SB_THUMBPOSITION:
        switch (HiWord(Message.WParam)) {
        case 0:
            ds->First();
            break;
        case 1:
            MoveRow(-page);
            break;
        case 3:
            MoveRow(page);
            break;
        case 4:
            ds->Last();
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
}

void TCustomDBGrid::WMHScroll(TMessage& Message) {
    int left = FLeftCol;
    switch (LoWord(Message.WParam)) {
    case SB_LINEUP:
    case SB_PAGEUP:
        --left;
        break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
        ++left;
        break;
    case SB_TOP:
        left = 0;
        break;
    case SB_BOTTOM:
        left = GetColumnCount() - 1;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        left = HiWord(Message.WParam);
        break;
    default:
        break;
    }
    left = std::clamp(left, 0, std::max(0, GetColumnCount() - 1));
    if (left == FLeftCol) return;
    CommitCell();
    HideEditor();
    FLeftCol = left;
    UpdateScrollBars();
    Invalidate();
}

void TCustomDBGrid::WMMouseWheel(TMessage& Message) {
    if (!FDataLink->GetActive()) return;
    FWheelDelta += static_cast<std::int16_t>(HiWord(Message.WParam));
    // One record per notch: down the table when the wheel turns towards the user.
    while (FWheelDelta >= 120) {
        FWheelDelta -= 120;
        MoveRow(-1);
    }
    while (FWheelDelta <= -120) {
        FWheelDelta += 120;
        MoveRow(1);
    }
    Message.Result = 1;
}

void TCustomDBGrid::CMExit(TMessage& Message) {
    QWidget* next = QApplication::focusWidget();
    if (FEditor && next && next == FEditor->GetWidget()) return; // the focus stays inside the grid
    GridExit();
    TWinControl::Dispatch(Message);
}
