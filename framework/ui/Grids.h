// The cell grid: columns and rows of cells that a descendant draws.
#pragma once

#include "StdCtrls.h" // TScrollStyle

#include <vector>

class QScrollBar;

FRAMEWORK_EXCEPTION(EInvalidGridOperation, Exception);

enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
KV_ENUM_TYPEINFO(TGridOption, "goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine",
                 "goRangeSelect", "goDrawFocusSelected", "goRowSizing", "goColSizing", "goRowMoving",
                 "goColMoving", "goEditing", "goTabs", "goRowSelect", "goAlwaysShowEditor", "goThumbTracking")
using TGridOptions = TSet<TGridOption, Word>;
inline constexpr TGridOptions DefaultGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
                                                 goRangeSelect};

enum TGridDrawStateElem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateElem, Byte>;

struct TGridCoord {
    int X = 0, Y = 0;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};
// Cells Left..Right and Top..Bottom, both ends included.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

using TDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;

// Fixed rows and columns stay at the top and left; the others scroll. The
// current cell moves with the cursor keys, Page keys, Home and End and with
// clicks on non-fixed cells, and only where SelectCell agrees. Each cell is
// followed by a grid line on its right and bottom (GridLineWidth wide where
// the options draw lines, else none). Sizing, moving and editing cells by
// the user are not offered; their options are kept for form texts.
class TCustomGrid : public TCustomControl {
public:
    KV_METACLASS_DECL

    explicit TCustomGrid(TComponent* AOwner);
    ~TCustomGrid() override;

    int GetColCount() const { return FColCount; }
    void SetColCount(int Value) { SetCount(true, Value); }
    int GetRowCount() const { return FRowCount; }
    void SetRowCount(int Value) { SetCount(false, Value); }
    int GetFixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value) { SetFixed(true, Value); }
    int GetFixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value) { SetFixed(false, Value); }
    // Setting a default drops the individual widths or heights.
    int GetDefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value) { SetDefaultExtent(true, Value); }
    int GetDefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value) { SetDefaultExtent(false, Value); }
    int GetColWidths(int Index) const { return GetExtent(true, Index); }
    void SetColWidths(int Index, int Value) { SetExtent(true, Index, Value); }
    int GetRowHeights(int Index) const { return GetExtent(false, Index); }
    void SetRowHeights(int Index, int Value) { SetExtent(false, Index, Value); }
    int GetGridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);
    TGridOptions GetOptions() const { return FOptions; }
    void SetOptions(TGridOptions Value);
    TScrollStyle GetScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    bool GetDefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value);
    TColor GetFixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor Value);

    // The current cell; setting it asks SelectCell, scrolls it into view and fires OnClick.
    int GetCol() const { return FCurrent.X; }
    void SetCol(int Value);
    int GetRow() const { return FCurrent.Y; }
    void SetRow(int Value);
    TGridRect GetSelection() const;
    int GetTopRow() const { return FTopLeft.Y; }
    void SetTopRow(int Value);
    int GetLeftCol() const { return FTopLeft.X; }
    void SetLeftCol(int Value);
    // Non-fixed columns and rows that show completely.
    int GetVisibleColCount() const;
    int GetVisibleRowCount() const;
    // Less what scroll bars take.
    int GetClientWidth() const override;
    int GetClientHeight() const override;

    // The cell's rectangle in client coordinates, empty when it does not show.
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point; -1, -1 outside every cell.
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    TGridCoord MouseCoord(int X, int Y) const;

protected:
    // Whether the cell may become the current cell.
    virtual bool SelectCell(int ACol, int ARow);
    // Draws one cell inside ARect. With DefaultDrawing the grid has filled
    // it before (fixed, highlighted or plain) and frames it afterwards.
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) = 0;
    // Makes ACol, ARow current when SelectCell agrees (it is asked even for
    // the current cell); MoveAnchor also ends a range selection there; Show
    // scrolls the cell into view. EInvalidGridOperation outside the grid.
    void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
    // MoveColRow with scrolling, then OnClick: how the user moves.
    void FocusCell(int ACol, int ARow, bool MoveAnchor);
    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid() { Invalidate(); }
    // Whether ColWidths and RowHeights that differ from the defaults are
    // written into form text.
    bool FSaveCellExtents = true;

    void Paint() override;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DefineProperties(TFiler* Filer) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Dispatch(TMessage& Message) override;
    void WMGetDlgCode(TMessage& Message);
    void WMSize(TMessage& Message);
    void WMFocus(TMessage& Message);
    void CMCtl3DChanged(TMessage& Message);

private:
    // The layout along one direction: columns (Horizontal) or rows.
    struct TSpan {
        int Index, Start, Size, Line;
    };
    void SetCount(bool Horizontal, int Value);
    void SetFixed(bool Horizontal, int Value);
    void SetDefaultExtent(bool Horizontal, int Value);
    int GetExtent(bool Horizontal, int Index) const; // checks the index
    void SetExtent(bool Horizontal, int Index, int Value);
    int Extent(bool Horizontal, int Index) const;
    int Line(bool Horizontal, int Index) const;
    std::vector<TSpan> Spans(bool Horizontal) const; // what shows, fixed first
    int VisibleCount(bool Horizontal) const;
    int MaxFirst(bool Horizontal) const; // the last scroll position that still fills the view
    // The first scroll position that shows Index completely, seen from its end.
    int FirstShowing(bool Horizontal, int Index) const;
    void UpdateScrollBars();
    void ClampInView();
    void SetTopLeft(int ALeftCol, int ATopRow);
    void SelectionMoved(const TGridRect& Old);
    void Resized();

    int FColCount = 5, FRowCount = 5;
    int FFixedCols = 1, FFixedRows = 1;
    int FDefaultColWidth = 64, FDefaultRowHeight = 24;
    std::vector<int> FColWidths, FRowHeights; // empty: all at the default
    int FGridLineWidth = 1;
    TGridOptions FOptions = DefaultGridOptions;
    TScrollStyle FScrollBars = ssBoth;
    TBorderStyle FBorderStyle = bsSingle;
    bool FDefaultDrawing = true;
    TColor FFixedColor = clBtnFace;
    TGridCoord FCurrent{1, 1}, FAnchor{1, 1}, FTopLeft{1, 1};
    bool FSelecting = false; // the left button is down on a cell
    bool FHorzShown = false, FVertShown = false;
    bool FUpdatingBars = false;
    QScrollBar* FHorzBar = nullptr; // children of the window while it exists
    QScrollBar* FVertBar = nullptr;
};
