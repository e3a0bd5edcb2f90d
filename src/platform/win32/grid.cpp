// The string grid: drawn here from the portable grid's cells, widths and
// positions; what the user does (select, scroll, drag a column border,
// click) goes back to it.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

constexpr int kBorderGrip = 3;  // pixels either side of a column border that grab it

struct TSpan {
    int index, start, size;
};

// The columns (or rows) on screen: the fixed ones, then from the first
// scrolled-in one on, while they start inside `extent`.
std::vector<TSpan> visibleSpans(int fixed, int first, int count, int line, int extent,
                                const std::function<int(int)>& size) {
    std::vector<TSpan> spans;
    int pos = 0;
    for (int i = 0; i < count && i < fixed; ++i) {
        spans.push_back({i, pos, size(i)});
        pos += size(i) + line;
    }
    for (int i = std::max(first, fixed); i < count && pos < extent; ++i) {
        spans.push_back({i, pos, size(i)});
        pos += size(i) + line;
    }
    return spans;
}

// How many scrolling columns (or rows) from `first` fit whole in `extent`.
int fullyVisible(int fixed, int first, int count, int line, int extent, const std::function<int(int)>& size) {
    int pos = 0;
    for (int i = 0; i < fixed && i < count; ++i) pos += size(i) + line;
    int n = 0;
    for (int i = std::max(first, fixed); i < count; ++i) {
        pos += size(i) + line;
        if (pos > extent) break;
        ++n;
    }
    return std::max(n, 1);
}

RECT clientRect(HWND hwnd) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    return rc;
}

}  // namespace

TWin32Control::TWindowKind TGridDriver::windowKind() const {
    return {L"TStringGrid", WS_HSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE, true, CS_DBLCLKS};
}

void TGridDriver::refresh() {
    scrollBars();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
    // Every way of moving the current cell ends here.
    accessible_.CurrentMoved();
}

bool TGridDriver::CellRect(int col, int row, RECT& rect) const {
    TStringGrid* grid = this->grid();
    if (!hwnd()) return false;
    // Laid out in design pixels as painted, answered in the screen's.
    const RECT rc = clientRect(hwnd()), design = designClient();
    const int line = grid->GridLineWidth;
    const auto cols = visibleSpans(grid->FixedCols, grid->LeftCol(), grid->ColCount(), line, design.right,
                                   [grid](int i) { return grid->ColWidth(i); });
    const auto rows = visibleSpans(grid->FixedRows, grid->TopRow(), grid->RowCount(), line, design.bottom,
                                   [grid](int) { return grid->DefaultRowHeight; });
    auto at = [](const std::vector<TSpan>& spans, int index) {
        return std::find_if(spans.begin(), spans.end(), [index](const TSpan& s) { return s.index == index; });
    };
    const auto r = at(rows, row);
    if (r == rows.end() || cols.empty()) return false;
    rect = {cols.front().start, r->start, cols.back().start + cols.back().size, r->start + r->size};
    if (col >= 0) {
        const auto c = at(cols, col);
        if (c == cols.end()) return false;
        rect.left = c->start;
        rect.right = c->start + c->size;
    }
    rect = {scale(rect.left), scale(rect.top), scale(rect.right), scale(rect.bottom)};
    return ::IntersectRect(&rect, &rect, &rc) != FALSE;
}

void TGridDriver::changed(TControlChange what) {
    if (what == TControlChange::Items) refresh();
    if (what == TControlChange::Current) showCurrent();
}

DWORD TGridDriver::restyle(DWORD style) {
    scrollBars();
    return style;
}

RECT TGridDriver::designClient() const {
    const RECT rc = clientRect(hwnd());
    return {0, 0, unscale(rc.right), unscale(rc.bottom)};
}

int TGridDriver::borderAt(int x, int y) const {
    TStringGrid* grid = this->grid();
    if (!grid->ColSizing || !hwnd()) return -1;
    // Borders are grabbed in the title rows only.
    if (y < 0 || y >= grid->FixedRows * (grid->DefaultRowHeight + grid->GridLineWidth)) return -1;
    const RECT rc = designClient();
    for (const TSpan& c : visibleSpans(grid->FixedCols, grid->LeftCol(), grid->ColCount(), grid->GridLineWidth,
                                       rc.right, [grid](int i) { return grid->ColWidth(i); })) {
        const int edge = c.start + c.size;
        if (x >= edge - kBorderGrip && x <= edge + grid->GridLineWidth + kBorderGrip) return c.index;
    }
    return -1;
}

void TGridDriver::scrollBars() {
    if (!hwnd()) return;
    TStringGrid* grid = this->grid();
    HWND hwnd = this->hwnd();
    const RECT rc = designClient();
    const int line = grid->GridLineWidth;
    auto width = [grid](int i) { return grid->ColWidth(i); };
    auto height = [grid](int) { return grid->DefaultRowHeight; };

    SCROLLINFO v{};
    v.cbSize = sizeof v;
    v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    v.nMin = grid->FixedRows;
    v.nMax = std::max(grid->RowCount() - 1, grid->FixedRows);
    v.nPage =
        static_cast<UINT>(fullyVisible(grid->FixedRows, grid->TopRow(), grid->RowCount(), line, rc.bottom, height));
    v.nPos = grid->TopRow();
    if (grid->RowCount() <= grid->FixedRows) v.nPage = static_cast<UINT>(v.nMax - v.nMin + 1);
    ::SetScrollInfo(hwnd, SB_VERT, &v, TRUE);

    SCROLLINFO h{};
    h.cbSize = sizeof h;
    h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    h.nMin = grid->FixedCols;
    h.nMax = std::max(grid->ColCount() - 1, grid->FixedCols);
    h.nPage =
        static_cast<UINT>(fullyVisible(grid->FixedCols, grid->LeftCol(), grid->ColCount(), line, rc.right, width));
    h.nPos = grid->LeftCol();
    // Everything fits: no bar.
    int total = 0;
    for (int i = 0; i < grid->ColCount(); ++i) total += grid->ColWidth(i) + line;
    if (total <= rc.right || grid->ColCount() <= grid->FixedCols) h.nPage = static_cast<UINT>(h.nMax - h.nMin + 1);
    ::SetScrollInfo(hwnd, SB_HORZ, &h, TRUE);
}

void TGridDriver::moveTo(int col, int row) {
    TStringGrid* grid = this->grid();
    if (grid->ColCount() <= grid->FixedCols || grid->RowCount() <= grid->FixedRows) return;
    col = std::clamp(col, grid->FixedCols, grid->ColCount() - 1);
    row = std::clamp(row, grid->FixedRows, grid->RowCount() - 1);
    if (dispatch([&] { grid->SelectedByUser(col, row); })) showCurrent();
}

void TGridDriver::showCurrent() {
    TStringGrid* grid = this->grid();
    if (!hwnd()) return;
    const RECT rc = designClient();
    const int line = grid->GridLineWidth, col = grid->Col(), row = grid->Row();
    auto width = [grid](int i) { return grid->ColWidth(i); };
    auto height = [grid](int) { return grid->DefaultRowHeight; };
    int top = grid->TopRow(), left = grid->LeftCol();
    if (row < top) top = row;
    while (row >= top + fullyVisible(grid->FixedRows, top, grid->RowCount(), line, rc.bottom, height)) ++top;
    if (col < left) left = col;
    while (col >= left + fullyVisible(grid->FixedCols, left, grid->ColCount(), line, rc.right, width) && left < col)
        ++left;
    if (top != grid->TopRow() || left != grid->LeftCol())
        if (!dispatch([&] { grid->ScrolledByUser(left, top); })) return;
    refresh();
}

void TGridDriver::paint(HDC target) {
    TStringGrid* grid = this->grid();
    const RECT rc = clientRect(hwnd()), design = designClient();
    if (rc.right <= 0 || rc.bottom <= 0) return;
    // Laid out in design pixels, drawn in the screen's.
    const int dpi = this->dpi();
    auto device = [dpi](int design) { return ScaleBy(design, dpi); };
    // Drawn off screen and copied in one go, so nothing flickers.
    TMemoryDC memory(::CreateCompatibleDC(target));
    TGdiObject bitmap(::CreateCompatibleBitmap(target, rc.right, rc.bottom));
    if (!memory || !bitmap) return;
    TSelectGuard selectBitmap(memory.get(), bitmap.get());
    TSelectGuard selectFont(memory.get(), font_);
    HDC dc = memory.get();
    ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_WINDOW));
    ::SetBkMode(dc, TRANSPARENT);

    const int line = grid->GridLineWidth;
    const auto cols = visibleSpans(grid->FixedCols, grid->LeftCol(), grid->ColCount(), line, design.right,
                                   [grid](int i) { return grid->ColWidth(i); });
    const auto rows = visibleSpans(grid->FixedRows, grid->TopRow(), grid->RowCount(), line, design.bottom,
                                   [grid](int) { return grid->DefaultRowHeight; });
    const bool focused = ::GetFocus() == hwnd();
    for (const TSpan& r : rows) {
        for (const TSpan& c : cols) {
            RECT cell{device(c.start), device(r.start), device(c.start + c.size), device(r.start + r.size)};
            const bool fixed = c.index < grid->FixedCols || r.index < grid->FixedRows;
            const bool current = !fixed && r.index == grid->Row() && (grid->RowSelect || c.index == grid->Col());
            ::FillRect(dc, &cell, ::GetSysColorBrush(fixed ? COLOR_BTNFACE : current ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            if (fixed) ::DrawEdge(dc, &cell, BDR_RAISEDINNER, BF_RECT);
            const std::wstring text = Widen(grid->Cell(c.index, r.index));
            RECT inner{cell.left + device(2), cell.top, cell.right - device(2), cell.bottom};
            ::SetTextColor(dc, ::GetSysColor(current ? COLOR_HIGHLIGHTTEXT : fixed ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner,
                        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            if (line > 0) {
                const int lineColor = fixed ? COLOR_BTNSHADOW : grid->GridLines ? COLOR_BTNFACE : COLOR_WINDOW;
                const int lineRight = device(c.start + c.size + line), lineBottom = device(r.start + r.size + line);
                RECT right{cell.right, cell.top, lineRight, lineBottom};
                RECT bottom{cell.left, cell.bottom, lineRight, lineBottom};
                ::FillRect(dc, &right, ::GetSysColorBrush(lineColor));
                ::FillRect(dc, &bottom, ::GetSysColorBrush(lineColor));
            }
            if (current && focused && !grid->RowSelect) ::DrawFocusRect(dc, &cell);
        }
    }
    ::BitBlt(target, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
}

LRESULT TGridDriver::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TStringGrid* grid = this->grid();
    const RECT rc = designClient();
    const int line = grid->GridLineWidth;
    auto width = [grid](int i) { return grid->ColWidth(i); };
    auto height = [grid](int) { return grid->DefaultRowHeight; };
    auto scrollTo = [&](int left, int top) {
        const int lastTop =
            std::max(grid->FixedRows, grid->RowCount() - fullyVisible(grid->FixedRows, grid->TopRow(), grid->RowCount(),
                                                                      line, rc.bottom, height));
        top = std::clamp(top, grid->FixedRows, lastTop);
        left = std::clamp(left, grid->FixedCols, std::max(grid->FixedCols, grid->ColCount() - 1));
        if (top == grid->TopRow() && left == grid->LeftCol()) return;
        if (dispatch([&] { grid->ScrolledByUser(left, top); })) refresh();
    };
    switch (msg) {
        case WM_GETTEXTLENGTH:
        case WM_GETTEXT: {
            // The cells are drawn, not held by child windows, so the window
            // text gives them to readers in other processes (assistive
            // tools, the end-to-end checks): cells joined by tabs, each row
            // ended by CR LF.
            std::wstring text;
            for (int r = 0; r < grid->RowCount(); ++r) {
                for (int c = 0; c < grid->ColCount(); ++c) {
                    if (c > 0) text += L'\t';
                    text += Widen(grid->Cell(c, r));
                }
                text += L"\r\n";
            }
            if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
            if (wParam == 0 || !lParam) return 0;
            const std::size_t n = std::min(text.size(), static_cast<std::size_t>(wParam) - 1);
            auto* out = reinterpret_cast<wchar_t*>(lParam);
            text.copy(out, n);
            out[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            TPaint painting(hwnd);
            paint(painting.DC());
            return 0;
        }
        case WM_SIZE:
            refresh();
            return 0;
        case WM_GETOBJECT:
            // Compared as 32 bits: a 64-bit system need not sign-extend it.
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) return accessible_.Answer(wParam);
            break;
        case WM_DESTROY:
            accessible_.Disconnect();
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            ::InvalidateRect(hwnd, nullptr, FALSE);
            const LRESULT r = callDefault(hwnd, msg, wParam, lParam);
            if (msg == WM_SETFOCUS) accessible_.FocusArrived();
            return r;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_VSCROLL:
        case WM_HSCROLL: {
            const bool vertical = msg == WM_VSCROLL;
            const int page =
                vertical ? fullyVisible(grid->FixedRows, grid->TopRow(), grid->RowCount(), line, rc.bottom, height)
                         : fullyVisible(grid->FixedCols, grid->LeftCol(), grid->ColCount(), line, rc.right, width);
            int pos = vertical ? grid->TopRow() : grid->LeftCol();
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    --pos;
                    break;
                case SB_LINEDOWN:
                    ++pos;
                    break;
                case SB_PAGEUP:
                    pos -= page;
                    break;
                case SB_PAGEDOWN:
                    pos += page;
                    break;
                case SB_TOP:
                    pos = 0;
                    break;
                case SB_BOTTOM:
                    pos = vertical ? grid->RowCount() : grid->ColCount();
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: {
                    SCROLLINFO si{};
                    si.cbSize = sizeof si;
                    si.fMask = SIF_TRACKPOS;
                    ::GetScrollInfo(hwnd, vertical ? SB_VERT : SB_HORZ, &si);
                    pos = si.nTrackPos;
                    break;
                }
                default:
                    return 0;
            }
            if (vertical)
                scrollTo(grid->LeftCol(), pos);
            else
                scrollTo(pos, grid->TopRow());
            return 0;
        }
        case WM_MOUSEWHEEL: {
            // Three rows a notch. Fine wheels and touchpads send parts of a
            // notch, which add up; a turn the other way starts afresh.
            const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            if ((delta > 0) != (wheel_ > 0)) wheel_ = 0;
            wheel_ += delta;
            const int rows = wheel_ * 3 / WHEEL_DELTA;
            wheel_ -= rows * WHEEL_DELTA / 3;
            if (rows != 0) scrollTo(grid->LeftCol(), grid->TopRow() - rows);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            ::SetFocus(hwnd);
            const int x = unscale(MouseX(lParam)), y = unscale(MouseY(lParam));
            const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
            const bool twice = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
            const TShiftState shift = MouseShift(wParam) | (twice ? ssDouble : 0u);
            const TMouseButton button = left                                               ? TMouseButton::Left
                                        : msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK ? TMouseButton::Right
                                                                                           : TMouseButton::Middle;
            bool dragging = false;
            if (left) {
                if (int border = borderAt(x, y); border >= 0) {
                    dragCol_ = border;
                    dragStartX_ = x;
                    dragStartWidth_ = grid->ColWidth(border);
                    ::SetCapture(hwnd);
                    dragging = true;
                } else {
                    // No scrolling here: the second press of a double click
                    // must meet the row that the first one met.
                    const TGridCoord at = grid->MouseCoord(x, y);
                    if (at.x >= grid->FixedCols && at.y >= grid->FixedRows &&
                        !dispatch([&] { grid->SelectedByUser(at.x, at.y); }))
                        return 0;
                    refresh();
                }
            }
            // Every press counts, also one on a border and the second of a
            // double click: the handlers remember where the mouse was.
            if (!dispatch([&] { grid->MouseDown(button, shift, x, y); })) return 0;
            // A double click whose presses grabbed a border starts nothing.
            const bool dragged = dragging || pressDragged_;
            if (left) pressDragged_ = dragging;
            if (msg == WM_LBUTTONDBLCLK && !dragged) dispatch([grid] { grid->DblClick(); });
            return 0;
        }
        case WM_MOUSEMOVE:
            if (dragCol_ >= 0) {
                const int w = std::max(0, dragStartWidth_ + unscale(MouseX(lParam)) - dragStartX_);
                const int col = dragCol_;
                if (dispatch([&] { grid->ColWidthChangedByUser(col, w); })) refresh();
            }
            return 0;
        case WM_LBUTTONUP:
            if (dragCol_ >= 0) {
                dragCol_ = -1;
                ::ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            dragCol_ = -1;
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && !AppDriver().Busy()) {
                POINT p{};
                ::GetCursorPos(&p);
                ::ScreenToClient(hwnd, &p);
                if (dragCol_ >= 0 || borderAt(unscale(p.x), unscale(p.y)) >= 0) {
                    ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
                    return TRUE;
                }
            }
            break;
        case WM_KEYDOWN: {
            const int page = fullyVisible(grid->FixedRows, grid->TopRow(), grid->RowCount(), line, rc.bottom, height);
            const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
            int col = grid->Col(), row = grid->Row();
            switch (wParam) {
                case VK_UP:
                    --row;
                    break;
                case VK_DOWN:
                    ++row;
                    break;
                case VK_LEFT:
                case VK_RIGHT:
                    if (grid->RowSelect) {
                        // A selected row has no current column to move.
                        scrollTo(grid->LeftCol() + (wParam == VK_LEFT ? -1 : 1), grid->TopRow());
                        return 0;
                    }
                    col += wParam == VK_LEFT ? -1 : 1;
                    break;
                case VK_PRIOR:
                    row -= page;
                    break;
                case VK_NEXT:
                    row += page;
                    break;
                case VK_HOME:
                    if (ctrl)
                        row = grid->FixedRows;
                    else
                        col = grid->FixedCols;
                    break;
                case VK_END:
                    if (ctrl)
                        row = grid->RowCount() - 1;
                    else
                        col = grid->ColCount() - 1;
                    break;
                default:
                    return callDefault(hwnd, msg, wParam, lParam);
            }
            moveTo(col, row);
            return 0;
        }
        default:
            break;
    }
    return callDefault(hwnd, msg, wParam, lParam);
}

}  // namespace win32
