#include "platform/grids.h"

#include <algorithm>
#include <utility>

#include "platform/drivers.h"

namespace {
const std::string kEmpty;
constexpr Word VK_TAB = 9;
}  // namespace

int TextWidthOf(const TControl& control, const std::string& text) {
    return control.Driver()->TextWidth(text);
}

TStringGrid::TStringGrid(TControl* parent) : TControl(parent, TControlKind::StringGrid) {
    widths_.assign(5, DefaultColWidth);
}

void TStringGrid::SetColCount(int count) {
    count = std::max(count, 0);
    widths_.resize(static_cast<std::size_t>(count), DefaultColWidth);
    if (cells_.size() > widths_.size()) cells_.resize(widths_.size());
    clampPositions();
    changed(TControlChange::Style);
}

void TStringGrid::SetRowCount(int count) {
    rows_ = std::max(count, 0);
    for (auto& column : cells_)
        if (column.size() > static_cast<std::size_t>(rows_)) column.resize(static_cast<std::size_t>(rows_));
    clampPositions();
    changed(TControlChange::Items);
}

const std::string& TStringGrid::Cell(int col, int row) const {
    if (col < 0 || row < 0 || static_cast<std::size_t>(col) >= cells_.size()) return kEmpty;
    const auto& column = cells_[static_cast<std::size_t>(col)];
    return static_cast<std::size_t>(row) < column.size() ? column[static_cast<std::size_t>(row)] : kEmpty;
}

void TStringGrid::SetCell(int col, int row, std::string text) {
    if (col < 0 || row < 0 || col >= ColCount() || row >= rows_) return;
    if (cells_.size() <= static_cast<std::size_t>(col)) cells_.resize(static_cast<std::size_t>(col) + 1);
    auto& column = cells_[static_cast<std::size_t>(col)];
    if (column.size() <= static_cast<std::size_t>(row)) column.resize(static_cast<std::size_t>(row) + 1);
    column[static_cast<std::size_t>(row)] = std::move(text);
    changed(TControlChange::Items);
}

void TStringGrid::ClearCells() {
    cells_.clear();
    changed(TControlChange::Items);
}

void TStringGrid::SetColWidth(int col, int width) {
    if (col < 0 || col >= ColCount()) return;
    widths_[static_cast<std::size_t>(col)] = std::max(width, 0);
    changed(TControlChange::Style);
}

void TStringGrid::EndUpdate() {
    if (updating_ == 0 || --updating_ > 0) return;
    if (std::exchange(styleChanged_, false)) Changed(TControlChange::Style);
    if (std::exchange(itemsChanged_, false)) Changed(TControlChange::Items);
}

void TStringGrid::changed(TControlChange what) {
    if (updating_ == 0)
        Changed(what);
    else
        (what == TControlChange::Style ? styleChanged_ : itemsChanged_) = true;
}

void TStringGrid::clampPositions() {
    const int lastRow = std::max(rows_ - 1, FixedRows), lastCol = std::max(ColCount() - 1, FixedCols);
    topRow_ = std::clamp(topRow_, FixedRows, lastRow);
    row_ = std::clamp(row_, FixedRows, lastRow);
    leftCol_ = std::clamp(leftCol_, FixedCols, lastCol);
    col_ = std::clamp(col_, FixedCols, lastCol);
}

TGridCoord TStringGrid::MouseCoord(int x, int y) const {
    auto find = [](int pos, int fixed, int first, int count, int line, auto size) {
        if (pos < 0) return -1;
        int edge = 0;
        for (int i = 0; i < count; ++i) {
            if (i == fixed) i = std::max(first, fixed);  // skip what is scrolled away
            if (i >= count) break;
            edge += size(i) + line;
            if (pos < edge) return i;
        }
        return -1;
    };
    const int col = find(x, FixedCols, leftCol_, ColCount(), GridLineWidth, [this](int c) { return ColWidth(c); });
    const int row = find(y, FixedRows, topRow_, rows_, GridLineWidth, [this](int) { return DefaultRowHeight; });
    if (col < 0 || row < 0) return {};
    return {col, row};
}

void TStringGrid::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TStringGrid::ColWidthChangedByUser(int col, int width) {
    if (col >= 0 && col < ColCount()) widths_[static_cast<std::size_t>(col)] = std::max(width, 0);
}

void TStringGrid::ScrolledByUser(int leftCol, int topRow) {
    leftCol_ = leftCol;
    topRow_ = topRow;
    clampPositions();
}

void TStringGrid::SelectedByUser(int col, int row) {
    col_ = col;
    row_ = row;
    clampPositions();
}

bool TStringGrid::WantsKey(Word key, TShiftState shift) const {
    return key == VK_TAB && shift == 0 && TabsMoveCells;
}

bool TStringGrid::DoKeyDown(Word& key, TShiftState shift) {
    if (TControl::DoKeyDown(key, shift)) return true;
    if (!WantsKey(key, shift)) return false;
    const int lastCol = ColCount() - 1, lastRow = rows_ - 1;
    if (lastCol < FixedCols || lastRow < FixedRows) return false;
    if (col_ < lastCol) {
        ++col_;
    } else if (row_ < lastRow) {
        col_ = FixedCols;
        ++row_;
    } else {
        return false;  // past the last cell: the focus moves on
    }
    // The backend scrolls the cell into view; rows above the top it knows here.
    if (row_ < topRow_) topRow_ = row_;
    key = 0;
    Changed(TControlChange::Current);
    return true;
}
