// The data grid: a window of a dataset's records, one row per record and
// one column per visible field.
//
// The grid sees the dataset through a data link whose BufferCount is the
// number of rows that fit, so the dataset keeps exactly that many records
// in its ring. Keys, the mouse wheel and the vertical scroll bar move the
// dataset (the bar has five places, as a dataset without record numbers
// allows: first, a page up, in between, a page down, last). Typing in a
// cell, F2, Enter or a double click open the cell editor; the first change
// puts the dataset into edit state, Enter or leaving the cell writes the
// text into the field, and leaving the row posts (the dataset does that
// when it moves). Escape drops the cell's change, or else cancels the
// record. Errors of the dataset go to the application's handler; the grid
// stays where it was.
#pragma once

#include "DB.h"
#include "StdCtrls.h"

class QScrollBar;
class TCustomDBGrid;

enum TDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect
};
KV_ENUM_TYPEINFO(TDBGridOption, "dgEditing", "dgAlwaysShowEditor", "dgTitles", "dgIndicator",
                 "dgColumnResize", "dgColLines", "dgRowLines", "dgTabs", "dgRowSelect",
                 "dgAlwaysShowSelection", "dgConfirmDelete", "dgCancelOnExit", "dgMultiSelect")
using TDBGridOptions = TSet<TDBGridOption, Word>;

// dgColumnResize and dgMultiSelect are kept for form texts; the grid does
// not resize columns by mouse nor select several rows.
inline constexpr TDBGridOptions DefaultDBGridOptions{dgEditing,      dgTitles,        dgIndicator,
                                                     dgColumnResize, dgColLines,      dgRowLines,
                                                     dgTabs,         dgConfirmDelete, dgCancelOnExit};

// What the grid hears from its data source; it also remembers whether the
// cell editor holds a change not yet written into the field.
class TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TCustomDBGrid* Grid) : FGrid(Grid) {}
    void Modified() { FModified = true; }
    bool GetModified() const { return FModified; }
    // Drops the editor's change when there is one, else cancels the record.
    void Reset();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;
    // A field of the grid's columns asks for the focus: the grid takes it on that column.
    void FocusControl(TField** Field) override;

private:
    friend class TCustomDBGrid;
    TCustomDBGrid* FGrid;
    bool FModified = false;
};

// The cell editor: an edit over the selected cell. Keys that move through
// the grid go to the grid; a key that would change the text first asks the
// grid to put the dataset into edit state, and is refused when it cannot.
class TInplaceEdit : public TCustomEdit {
public:
    explicit TInplaceEdit(TCustomDBGrid* Grid);
    // The text sits as the cell shows it: a number column's to the right.
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

protected:
    void InitWidget() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;
    void Change() override;
    void Dispatch(TMessage& Message) override;

private:
    void ApplyAlignment();

    TCustomDBGrid* FGrid;
    TAlignment FAlignment = taLeftJustify;
};

class TCustomDBGrid : public TWinControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCustomDBGrid>& P);

    explicit TCustomDBGrid(TComponent* AOwner);
    ~TCustomDBGrid() override;

    TDataSource* GetDataSource() const { return FDataLink ? FDataLink->GetDataSource() : nullptr; }
    void SetDataSource(TDataSource* Value);
    TDBGridOptions GetOptions() const { return FOptions; }
    void SetOptions(TDBGridOptions Value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    TGridDataLink* GetDataLink() const { return FDataLink.get(); }

    // Columns: the dataset's visible fields in their order.
    int GetColumnCount() const { return static_cast<int>(FColumns.size()); }
    TField* GetColumnField(int Index) const;
    AnsiString GetColumnTitle(int Index) const;
    int GetColumnWidth(int Index) const;
    // The first column shown at the left.
    int GetLeftCol() const { return FLeftCol; }
    int GetSelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int Value);
    TField* GetSelectedField() const;

    // Rows: the records of the link's window.
    int GetDefaultRowHeight() const;
    // Rows that fit between the titles and the bottom (at least one).
    int GetVisibleRowCount() const;
    // Records the window holds now.
    int GetRowCount() const { return FDataLink->GetRecordCount(); }
    // The current record's row, or -1 when there is none.
    int GetRow() const;
    // The text a cell shows; "" outside the rows and columns.
    AnsiString GetCellText(int Column, int Row) const;
    // A cell's place in the grid's window; Column -1 is the indicator,
    // Row -1 the title row. Empty for columns scrolled out of view.
    QRect CellRect(int Column, int Row) const;

    bool GetEditorMode() const { return FEditorMode; }
    void SetEditorMode(bool Value);
    TInplaceEdit* GetInplaceEditor() const { return FEditor; }

    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;

protected:
    friend class TGridDataLink;
    friend class TInplaceEdit;

    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void UpdateWidgetBounds() override;
    void Paint(QPainter& Painter) override;
    void Resize() override;
    void FontChanged() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void Dispatch(TMessage& Message) override;
    void Loaded() override;

    // Whether the selected cell may be edited now; puts the dataset into
    // edit state and marks the cell changed when it may.
    bool CanEditModify();
    bool CanEditShow() const;
    void ShowEditor();
    void HideEditor();

private:
    // From the data link
    void LinkActive(bool Value);
    void DataChanged();
    void Scrolled(int Distance);
    void EditingChanged();
    void LayoutChanged();
    void RecordChanged(TField* Field);
    void UpdateData();
    // From the cell editor
    void EditorChanged();
    // Keys that move through the grid (also those the editor passes on);
    // true when the key was used.
    bool EditorKey(Word Key, TShiftState Shift);
    // The focus left the grid and its editor.
    void GridExit();

    void WMVScroll(TMessage& Message);
    void WMHScroll(TMessage& Message);
    void WMMouseWheel(TMessage& Message);
    void CMExit(TMessage& Message);

    void BuildColumns();
    // The rows that show whole, less what the scroll bars take, are the
    // rows the dataset keeps.
    void UpdateBufferCount();
    // Buffer count, scroll bars and cell editor, after anything that may
    // change the layout (size, options, font, columns, opening and closing).
    void Relayout();
    void UpdateScrollBars();
    void PlaceScrollBars();
    void PlaceEditor();
    void LoadEditor();
    void MoveCol(int Index);
    void MoveRow(int Distance);
    void DeleteRecord();
    // Finishes the cell being edited: writes its text into the field.
    void CommitCell();

    struct TLayout {
        int Frame, Indicator, Title, RowHeight, VBar, HBar;
        QRect Data; // the area of the data rows, below the titles, right of the indicator
    };
    TLayout Layout() const;
    int ScrollBarExtent() const;
    bool HorizontalBarNeeded(int Width) const;
    TDataSet* DataSet() const;

    std::unique_ptr<TGridDataLink> FDataLink;
    std::vector<TField*> FColumns;
    std::vector<int> FColWidths;
    TDBGridOptions FOptions = DefaultDBGridOptions;
    TBorderStyle FBorderStyle = bsSingle;
    bool FReadOnly = false;
    int FSelectedIndex = 0;
    int FLeftCol = 0;
    bool FEditorMode = false;
    bool FLoadingEditor = false;
    TField* FEditField = nullptr;
    TInplaceEdit* FEditor = nullptr;
    QScrollBar* FVBar = nullptr;
    QScrollBar* FHBar = nullptr;
    int FWheelDelta = 0;
    bool FFocusFromEditor = false; // the next focus-in comes from the cell editor
};

class TDBGrid : public TCustomDBGrid {
public:
    KV_METACLASS_DECL
    using TCustomDBGrid::TCustomDBGrid;
};
