// A grid of text cells with fixed title rows and columns, as the classic
// toolkit's string grid. The portable object holds the cells, the column
// widths and the scroll position; the backend draws them and reports what
// the user changed (a dragged column border, scrolling, the current cell).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"

struct TGridCoord {
    int x = -1, y = -1;  // column and row; -1 outside every cell
    bool operator==(const TGridCoord&) const = default;
};

class TStringGrid : public TControl {
public:
    explicit TStringGrid(TControl* parent);

    int ColCount() const { return static_cast<int>(widths_.size()); }
    void SetColCount(int count);
    int RowCount() const { return rows_; }
    void SetRowCount(int count);
    int FixedCols = 1;
    int FixedRows = 1;
    int DefaultColWidth = 64;
    int DefaultRowHeight = 24;
    int GridLineWidth = 1;

    // Options, as the backend shows them.
    bool GridLines = true;      // lines between all cells
    bool ColSizing = true;      // the user may drag column borders
    bool TabsMoveCells = true;  // Tab goes to the next cell, not the next control
    bool Editing = false;
    bool RowSelect = false;

    // Cells outside the grid read as empty and are not stored.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, std::string text);
    void ClearCells();
    // Changes made between the two reach the backend once, at the end: a
    // page filled cell by cell is drawn once, not once a cell.
    void BeginUpdate() { ++updating_; }
    void EndUpdate();

    int ColWidth(int col) const { return widths_.at(static_cast<std::size_t>(col)); }
    void SetColWidth(int col, int width);

    int TopRow() const { return topRow_; }
    int LeftCol() const { return leftCol_; }
    int Col() const { return col_; }
    int Row() const { return row_; }

    // The cell under a client position, with the scroll position applied.
    TGridCoord MouseCoord(int x, int y) const;

    TNotifyEvent OnDblClick;

    // What the backend reports; each runs directly, exceptions to the caller.
    void DblClick();
    void ColWidthChangedByUser(int col, int width);
    void ScrolledByUser(int leftCol, int topRow);
    void SelectedByUser(int col, int row);
    // Tab moves to the next scrolling cell, row by row; past the last one,
    // and with Shift or Ctrl, it leaves the grid.
    bool WantsKey(Word key, TShiftState shift) const override;
    bool DoKeyDown(Word& key, TShiftState shift) override;

private:
    void clampPositions();
    void changed(TControlChange what);

    int rows_ = 5;
    std::vector<int> widths_;
    std::vector<std::vector<std::string>> cells_;  // [col][row], grown on demand
    int topRow_ = 1, leftCol_ = 1, col_ = 1, row_ = 1;
    int updating_ = 0;
    bool itemsChanged_ = false, styleChanged_ = false;
};

// Begins an update of `grid` and ends it with the scope, also on an error.
class TGridUpdate {
public:
    explicit TGridUpdate(TStringGrid& grid) : grid_(grid) { grid_.BeginUpdate(); }
    TGridUpdate(const TGridUpdate&) = delete;
    TGridUpdate& operator=(const TGridUpdate&) = delete;
    ~TGridUpdate() { grid_.EndUpdate(); }

private:
    TStringGrid& grid_;
};

// Pixel width of `text` in a control's font, as its backend measures it.
int TextWidthOf(const TControl& control, const std::string& text);
