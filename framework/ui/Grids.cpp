#include "Grids.h"

#include <QApplication>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

KV_ABSTRACT_METACLASS(TCustomGrid, &TCustomControl::ClassInfo())

namespace {

[[noreturn]] void IndexOutOfRange() {
    throw EInvalidGridOperation("Grid index out of range");
}

bool Inside(const TGridRect& R, int ACol, int ARow) {
    return ACol >= R.Left && ACol <= R.Right && ARow >= R.Top && ARow <= R.Bottom;
}

} // namespace

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
    // Clicks reach OnClick through FocusCell, keys too.
    ControlStyle >> csClickEvents;
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() = default;

// ---- Layout ---------------------------------------------------------------

int TCustomGrid::Extent(bool Horizontal, int Index) const {
    const std::vector<int>& sizes = Horizontal ? FColWidths : FRowHeights;
    if (Index >= 0 && Index < static_cast<int>(sizes.size())) return sizes[static_cast<size_t>(Index)];
    return Horizontal ? FDefaultColWidth : FDefaultRowHeight;
}

int TCustomGrid::Line(bool Horizontal, int Index) const {
    bool fixed = Index < (Horizontal ? FFixedCols : FFixedRows);
    // Columns are separated by vertical lines, rows by horizontal ones.
    TGridOption option =
        Horizontal ? (fixed ? goFixedVertLine : goVertLine) : (fixed ? goFixedHorzLine : goHorzLine);
    return FOptions.Contains(option) ? FGridLineWidth : 0;
}

std::vector<TCustomGrid::TSpan> TCustomGrid::Spans(bool Horizontal) const {
    int count = Horizontal ? FColCount : FRowCount;
    int fixed = Horizontal ? FFixedCols : FFixedRows;
    int first = Horizontal ? FTopLeft.X : FTopLeft.Y;
    int limit = Horizontal ? GetClientWidth() : GetClientHeight();
    std::vector<TSpan> spans;
    int pos = 0;
    auto add = [&](int i) {
        if (pos >= limit) return false;
        TSpan s{i, pos, Extent(Horizontal, i), Line(Horizontal, i)};
        spans.push_back(s);
        pos += s.Size + s.Line;
        return true;
    };
    for (int i = 0; i < fixed; ++i)
        if (!add(i)) return spans;
    for (int i = first; i < count; ++i)
        if (!add(i)) break;
    return spans;
}

int TCustomGrid::VisibleCount(bool Horizontal) const {
    int fixed = Horizontal ? FFixedCols : FFixedRows;
    int limit = Horizontal ? GetClientWidth() : GetClientHeight();
    int n = 0;
    for (const TSpan& s : Spans(Horizontal))
        if (s.Index >= fixed && s.Start + s.Size <= limit) ++n;
    return n;
}

int TCustomGrid::FirstShowing(bool Horizontal, int Index) const {
    int fixed = Horizontal ? FFixedCols : FFixedRows;
    int room = Horizontal ? GetClientWidth() : GetClientHeight();
    for (int i = 0; i < fixed; ++i)
        room -= Extent(Horizontal, i) + Line(Horizontal, i);
    int first = Index;
    int used = Extent(Horizontal, Index); // its own line may fall outside
    while (first - 1 >= fixed) {
        int more = Extent(Horizontal, first - 1) + Line(Horizontal, first - 1);
        if (used + more > room) break;
        used += more;
        --first;
    }
    return std::max(first, fixed);
}

int TCustomGrid::MaxFirst(bool Horizontal) const {
    int count = Horizontal ? FColCount : FRowCount;
    int fixed = Horizontal ? FFixedCols : FFixedRows;
    if (count <= fixed) return fixed;
    return FirstShowing(Horizontal, count - 1);
}

int TCustomGrid::GetVisibleColCount() const {
    return VisibleCount(true);
}

int TCustomGrid::GetVisibleRowCount() const {
    return VisibleCount(false);
}

int TCustomGrid::GetClientWidth() const {
    int extent = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return std::max(0, TCustomControl::GetClientWidth() - (FVertShown ? extent : 0));
}

int TCustomGrid::GetClientHeight() const {
    int extent = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return std::max(0, TCustomControl::GetClientHeight() - (FHorzShown ? extent : 0));
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const {
    TRect r;
    bool col = false, row = false;
    for (const TSpan& s : Spans(true))
        if (s.Index == ACol) {
            r.Left = s.Start;
            r.Right = s.Start + s.Size;
            col = true;
        }
    for (const TSpan& s : Spans(false))
        if (s.Index == ARow) {
            r.Top = s.Start;
            r.Bottom = s.Start + s.Size;
            row = true;
        }
    return col && row ? r : TRect();
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const {
    TGridCoord c = MouseCoord(X, Y);
    ACol = c.X;
    ARow = c.Y;
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const {
    auto find = [this](bool Horizontal, int P) {
        for (const TSpan& s : Spans(Horizontal))
            if (P >= s.Start && P < s.Start + s.Size + s.Line) return s.Index;
        return -1;
    };
    TGridCoord c{find(true, X), find(false, Y)};
    if (c.X < 0 || c.Y < 0) c = TGridCoord{-1, -1};
    return c;
}

// ---- Properties -----------------------------------------------------------

// Columns and rows follow the same rules; these work on either.

void TCustomGrid::SetCount(bool Horizontal, int Value) {
    int& count = Horizontal ? FColCount : FRowCount;
    int& fixed = Horizontal ? FFixedCols : FFixedRows;
    std::vector<int>& sizes = Horizontal ? FColWidths : FRowHeights;
    int TGridCoord::*at = Horizontal ? &TGridCoord::X : &TGridCoord::Y;
    if (Value < 1) Value = 1;
    if (Value == count) return;
    if (Value <= fixed) fixed = Value - 1;
    count = Value;
    if (!sizes.empty())
        sizes.resize(static_cast<size_t>(Value), Horizontal ? FDefaultColWidth : FDefaultRowHeight);
    FCurrent.*at = std::min(FCurrent.*at, Value - 1);
    FAnchor.*at = std::min(FAnchor.*at, Value - 1);
    FTopLeft.*at = std::clamp(FTopLeft.*at, fixed, std::max(fixed, Value - 1));
    Resized();
}

void TCustomGrid::SetFixed(bool Horizontal, int Value) {
    int& fixed = Horizontal ? FFixedCols : FFixedRows;
    const char* what = Horizontal ? "column" : "row";
    if (Value == fixed) return;
    if (Value < 0) throw EInvalidGridOperation(AnsiString("Fixed ") + what + " count must not be negative");
    if (Value >= (Horizontal ? FColCount : FRowCount))
        throw EInvalidGridOperation(AnsiString("Fixed ") + what + " count must be less than " + what +
                                    " count");
    fixed = Value;
    int TGridCoord::*at = Horizontal ? &TGridCoord::X : &TGridCoord::Y;
    FCurrent.*at = FAnchor.*at = FTopLeft.*at = Value; // back to the first cell that scrolls
    Resized();
}

void TCustomGrid::SetDefaultExtent(bool Horizontal, int Value) {
    (Horizontal ? FColWidths : FRowHeights).clear();
    (Horizontal ? FDefaultColWidth : FDefaultRowHeight) = std::max(0, Value);
    Resized();
}

int TCustomGrid::GetExtent(bool Horizontal, int Index) const {
    if (Index < 0 || Index >= (Horizontal ? FColCount : FRowCount)) IndexOutOfRange();
    return Extent(Horizontal, Index);
}

void TCustomGrid::SetExtent(bool Horizontal, int Index, int Value) {
    int count = Horizontal ? FColCount : FRowCount;
    std::vector<int>& sizes = Horizontal ? FColWidths : FRowHeights;
    if (Index < 0 || Index >= count) IndexOutOfRange();
    if (sizes.empty())
        sizes.assign(static_cast<size_t>(count), Horizontal ? FDefaultColWidth : FDefaultRowHeight);
    sizes[static_cast<size_t>(Index)] = std::max(0, Value);
    Resized();
}

void TCustomGrid::SetGridLineWidth(int Value) {
    if (Value == FGridLineWidth) return;
    FGridLineWidth = std::max(0, Value);
    Resized();
}

void TCustomGrid::SetOptions(TGridOptions Value) {
    if (Value == FOptions) return;
    FOptions = Value;
    if (!Value.Contains(goRangeSelect)) FAnchor = FCurrent;
    Resized();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    Resized();
}

void TCustomGrid::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCustomGrid::SetDefaultDrawing(bool Value) {
    if (Value == FDefaultDrawing) return;
    FDefaultDrawing = Value;
    Invalidate();
}

void TCustomGrid::SetFixedColor(TColor Value) {
    if (Value == FFixedColor) return;
    FFixedColor = Value;
    Invalidate();
}

void TCustomGrid::Resized() {
    UpdateScrollBars();
    Invalidate();
}

// ---- Current cell and scrolling -------------------------------------------

TGridRect TCustomGrid::GetSelection() const {
    TGridRect r{std::min(FAnchor.X, FCurrent.X), std::min(FAnchor.Y, FCurrent.Y),
                std::max(FAnchor.X, FCurrent.X), std::max(FAnchor.Y, FCurrent.Y)};
    if (FOptions.Contains(goRowSelect)) {
        r.Left = FFixedCols;
        r.Right = FColCount - 1;
    }
    return r;
}

bool TCustomGrid::SelectCell(int, int) {
    return true;
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show) {
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount) IndexOutOfRange();
    if (!SelectCell(ACol, ARow)) return;
    TGridRect old = GetSelection();
    FCurrent = TGridCoord{ACol, ARow};
    if (MoveAnchor || !FOptions.Contains(goRangeSelect)) FAnchor = FCurrent;
    if (Show) ClampInView();
    SelectionMoved(old);
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor) {
    MoveColRow(ACol, ARow, MoveAnchor, true);
    Click();
}

void TCustomGrid::SetCol(int Value) {
    if (Value != FCurrent.X) FocusCell(Value, FCurrent.Y, true);
}

void TCustomGrid::SetRow(int Value) {
    if (Value != FCurrent.Y) FocusCell(FCurrent.X, Value, true);
}

void TCustomGrid::SetTopRow(int Value) {
    SetTopLeft(FTopLeft.X, Value);
}

void TCustomGrid::SetLeftCol(int Value) {
    SetTopLeft(Value, FTopLeft.Y);
}

void TCustomGrid::SetTopLeft(int ALeftCol, int ATopRow) {
    TGridCoord c{std::clamp(ALeftCol, FFixedCols, MaxFirst(true)),
                 std::clamp(ATopRow, FFixedRows, MaxFirst(false))};
    if (c == FTopLeft) return;
    FTopLeft = c;
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::ClampInView() {
    int left = FTopLeft.X, top = FTopLeft.Y;
    if (FCurrent.X >= FFixedCols) {
        if (FCurrent.X < left)
            left = FCurrent.X;
        else if (FCurrent.X >= left + std::max(1, GetVisibleColCount()))
            left = FirstShowing(true, FCurrent.X);
    }
    if (FCurrent.Y >= FFixedRows) {
        if (FCurrent.Y < top)
            top = FCurrent.Y;
        else if (FCurrent.Y >= top + std::max(1, GetVisibleRowCount()))
            top = FirstShowing(false, FCurrent.Y);
    }
    SetTopLeft(left, top);
}

void TCustomGrid::SelectionMoved(const TGridRect& Old) {
    TGridRect now = GetSelection();
    auto repaint = [this](const TGridRect& R) {
        for (int r = R.Top; r <= R.Bottom; ++r)
            for (int c = R.Left; c <= R.Right; ++c)
                InvalidateCell(c, r);
    };
    repaint(Old);
    if (!(now == Old)) repaint(now);
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) {
    TRect r = CellRect(ACol, ARow);
    if (!r.IsEmpty()) InvalidateRect(r);
}

void TCustomGrid::InvalidateRow(int ARow) {
    for (const TSpan& s : Spans(false))
        if (s.Index == ARow) InvalidateRect(Rect(0, s.Start, GetClientWidth(), s.Start + s.Size));
}

void TCustomGrid::InvalidateCol(int ACol) {
    for (const TSpan& s : Spans(true))
        if (s.Index == ACol) InvalidateRect(Rect(s.Start, 0, s.Start + s.Size, GetClientHeight()));
}

// ---- Scroll bars ----------------------------------------------------------

void TCustomGrid::UpdateScrollBars() {
    if (FUpdatingBars) return;
    FUpdatingBars = true;
    bool horz = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    bool vert = FScrollBars == ssVertical || FScrollBars == ssBoth;
    // A bar takes room from the other direction: settle in two rounds.
    for (int round = 0; round < 2; ++round) {
        FHorzShown = horz && MaxFirst(true) > FFixedCols;
        FVertShown = vert && MaxFirst(false) > FFixedRows;
    }
    FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, MaxFirst(true));
    FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, MaxFirst(false));
    QWidget* w = GetWidget();
    if (w) {
        int inset = ClientOrigin().x();
        int extent = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        int cw = GetClientWidth(), ch = GetClientHeight();
        auto place = [&](QScrollBar*& bar, Qt::Orientation o, bool shown, int first, int max, int page) {
            if (!shown) {
                if (bar) bar->hide();
                return;
            }
            if (!bar) {
                bar = new QScrollBar(o, w);
                bar->setFocusPolicy(Qt::NoFocus);
                QObject::connect(bar, &QScrollBar::valueChanged, w, [this, o](int v) {
                    if (FUpdatingBars) return;
                    GuardedCall(this, [&] {
                        if (o == Qt::Horizontal)
                            SetLeftCol(v);
                        else
                            SetTopRow(v);
                    });
                });
            }
            if (o == Qt::Horizontal)
                bar->setGeometry(inset, inset + ch, cw, extent);
            else
                bar->setGeometry(inset + cw, inset, extent, ch);
            bar->setRange(o == Qt::Horizontal ? FFixedCols : FFixedRows, max);
            bar->setPageStep(std::max(1, page));
            bar->setValue(first);
            bar->show();
        };
        place(FHorzBar, Qt::Horizontal, FHorzShown, FTopLeft.X, MaxFirst(true), GetVisibleColCount());
        place(FVertBar, Qt::Vertical, FVertShown, FTopLeft.Y, MaxFirst(false), GetVisibleRowCount());
    }
    FUpdatingBars = false;
}

// ---- Painting -------------------------------------------------------------

void TCustomGrid::Paint() {
    TCanvas* canvas = GetCanvas();
    TRect clip = canvas->GetClipRect();
    bool focused = Focused();
    TGridRect selection = GetSelection();
    std::vector<TSpan> cols = Spans(true), rows = Spans(false);
    for (const TSpan& row : rows)
        for (const TSpan& col : cols) {
            TRect cell = Rect(col.Start, row.Start, col.Start + col.Size, row.Start + row.Size);
            TRect withLines = Rect(cell.Left, cell.Top, cell.Right + col.Line, cell.Bottom + row.Line);
            if (withLines.Right <= clip.Left || withLines.Left >= clip.Right ||
                withLines.Bottom <= clip.Top || withLines.Top >= clip.Bottom)
                continue;
            bool fixed = col.Index < FFixedCols || row.Index < FFixedRows;
            TGridDrawState state;
            if (fixed) state << gdFixed;
            bool current = col.Index == FCurrent.X && row.Index == FCurrent.Y;
            if (current && focused) state << gdFocused;
            if (!fixed && Inside(selection, col.Index, row.Index) &&
                (!(current && focused) || FOptions.Contains(goDrawFocusSelected) ||
                 FOptions.Contains(goRowSelect)))
                state << gdSelected;
            if (FDefaultDrawing) {
                canvas->GetBrush()->SetColor(fixed                        ? FFixedColor
                                             : state.Contains(gdSelected) ? clHighlight
                                                                          : GetColor());
                canvas->FillRect(cell);
            }
            DrawCell(col.Index, row.Index, cell, state);
            if (FDefaultDrawing) {
                if (fixed && GetCtl3D()) {
                    TRect r = cell;
                    DrawEdge(canvas, r, BDR_RAISEDINNER, BF_RECT);
                }
                if (state.Contains(gdFocused) && !FOptions.Contains(goRowSelect)) {
                    canvas->GetBrush()->SetColor(GetColor());
                    canvas->DrawFocusRect(cell);
                }
            }
            // The lines after the cell: black around fixed cells, silver between the others.
            canvas->GetBrush()->SetColor(fixed ? clBlack : (GetColor() == clSilver ? clGray : clSilver));
            if (col.Line > 0) canvas->FillRect(Rect(cell.Right, cell.Top, withLines.Right, withLines.Bottom));
            if (row.Line > 0) canvas->FillRect(Rect(cell.Left, cell.Bottom, cell.Right, withLines.Bottom));
        }
}

// ---- Window and input -----------------------------------------------------

void TCustomGrid::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    AddBorderStyle(Params, FBorderStyle, GetCtl3D());
}

void TCustomGrid::CreateWnd() {
    FHorzBar = FVertBar = nullptr; // went with the old window
    TCustomControl::CreateWnd();
    UpdateScrollBars();
}

void TCustomGrid::DefineProperties(TFiler* Filer) {
    TCustomControl::DefineProperties(Filer);
    if (!FSaveCellExtents) return;
    auto define = [&](const char* Name, bool Horizontal) {
        std::vector<int>& sizes = Horizontal ? FColWidths : FRowHeights;
        Filer->DefineProperty(
            Name,
            [this, Horizontal](TReader& R) {
                R.ReadListBegin();
                for (int i = 0; !R.EndOfList(); ++i) {
                    int v = R.ReadInteger();
                    if (i < (Horizontal ? FColCount : FRowCount)) SetExtent(Horizontal, i, v);
                }
                R.ReadListEnd();
            },
            [&sizes](TWriter& W) {
                W.WriteListBegin();
                for (int v : sizes)
                    W.WriteInteger(v);
                W.WriteListEnd();
            },
            !sizes.empty());
    };
    define("ColWidths", true);
    define("RowHeights", false);
}

void TCustomGrid::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        WMGetDlgCode(Message);
        break;
    case WM_SIZE:
        WMSize(Message);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        WMFocus(Message);
        break;
    case CM_CTL3DCHANGED:
        CMCtl3DChanged(Message);
        break;
    default:
        TCustomControl::Dispatch(Message);
        break;
    }
}

void TCustomGrid::WMGetDlgCode(TMessage& Message) {
    Message.Result = DLGC_WANTARROWS | (FOptions.Contains(goTabs) ? DLGC_WANTTAB : 0);
}

void TCustomGrid::WMSize(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    Resized();
}

void TCustomGrid::WMFocus(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    // The focused cell looks different.
    for (int r = GetSelection().Top; r <= GetSelection().Bottom; ++r)
        for (int c = GetSelection().Left; c <= GetSelection().Right; ++c)
            InvalidateCell(c, r);
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::CMCtl3DChanged(TMessage& Message) {
    if (NewStyleControls && FBorderStyle == bsSingle) RecreateWnd();
    TCustomControl::Dispatch(Message);
}

void TCustomGrid::KeyDown(Word& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    TGridCoord to = FCurrent;
    int pageRows = std::max(1, GetVisibleRowCount());
    bool ctrl = Shift.Contains(ssCtrl);
    switch (Key) {
    case VK_UP:
        if (ctrl)
            SetTopRow(FTopLeft.Y - 1);
        else
            --to.Y;
        break;
    case VK_DOWN:
        if (ctrl)
            SetTopRow(FTopLeft.Y + 1);
        else
            ++to.Y;
        break;
    case VK_LEFT:
        if (ctrl || FOptions.Contains(goRowSelect))
            SetLeftCol(FTopLeft.X - 1);
        else
            --to.X;
        break;
    case VK_RIGHT:
        if (ctrl || FOptions.Contains(goRowSelect))
            SetLeftCol(FTopLeft.X + 1);
        else
            ++to.X;
        break;
    case VK_PRIOR:
        to.Y -= pageRows;
        break;
    case VK_NEXT:
        to.Y += pageRows;
        break;
    case VK_HOME:
        to.X = FFixedCols;
        if (ctrl) to.Y = FFixedRows;
        break;
    case VK_END:
        to.X = FColCount - 1;
        if (ctrl) to.Y = FRowCount - 1;
        break;
    case VK_TAB:
        if (!FOptions.Contains(goTabs) || Shift.Contains(ssAlt)) return;
        if (Shift.Contains(ssShift)) {
            if (--to.X < FFixedCols) {
                to.X = FColCount - 1;
                if (--to.Y < FFixedRows) to.Y = FRowCount - 1;
            }
        } else if (++to.X >= FColCount) {
            to.X = FFixedCols;
            if (++to.Y >= FRowCount) to.Y = FFixedRows;
        }
        Key = 0; // the focus stays in the grid
        break;
    default:
        return;
    }
    to.X = std::clamp(to.X, FFixedCols, FColCount - 1);
    to.Y = std::clamp(to.Y, FFixedRows, FRowCount - 1);
    if (!(to == FCurrent)) FocusCell(to.X, to.Y, !Shift.Contains(ssShift));
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    std::weak_ptr<int> life = Life();
    if (GetTabStop() && CanFocus() && !Focused()) SetFocus();
    if (Button == mbLeft && !life.expired()) {
        TGridCoord cell = MouseCoord(X, Y);
        if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
            FSelecting = true;
            FocusCell(cell.X, cell.Y, !(Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect)));
        }
    }
    if (!life.expired()) TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
    if (FSelecting && FOptions.Contains(goRangeSelect)) {
        TGridCoord cell = MouseCoord(X, Y);
        if (cell.X >= FFixedCols && cell.Y >= FFixedRows && !(cell == FCurrent))
            MoveColRow(cell.X, cell.Y, false, true);
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) FSelecting = false;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}
