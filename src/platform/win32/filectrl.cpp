// The directory list and the drive selector.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

namespace {
constexpr int kDropDownItems = 8;  // the height of an open drop-down list
}  // namespace

// ---- the directory list ----

TWin32Control::TWindowKind TDirectoryListDriver::windowKind() const {
    return {L"LISTBOX", LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
            WS_EX_CLIENTEDGE};
}

void TDirectoryListDriver::fillItems() {
    HWND list = hwnd();
    auto* dirs = static_cast<TDirectoryListBox*>(control_);
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : dirs->Items())
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(dirs->ItemIndex()), 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void TDirectoryListDriver::changed(TControlChange what) {
    if (what == TControlChange::Items) fillItems();
}

void TDirectoryListDriver::fontChanged() {
    // Owner-drawn items are as high as the font.
    TWindowDC dc(hwnd());
    TSelectGuard selected(dc.get(), font_);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    ::SendMessageW(hwnd(), LB_SETITEMHEIGHT, 0, metrics.tmHeight + 2);
}

bool TDirectoryListDriver::Notify(UINT code) {
    if (destroying_ || !hwnd()) return false;
    auto* list = static_cast<TDirectoryListBox*>(control_);
    if (code == LBN_SELCHANGE) {
        list->SelectedByUser(static_cast<int>(::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0)));
        return true;
    }
    if (code == LBN_DBLCLK) {
        dispatch([list] { list->DblClick(); });
        return true;
    }
    return false;
}

void TDirectoryListDriver::Draw(const DRAWITEMSTRUCT& item) {
    if (destroying_ || item.itemID == static_cast<UINT>(-1)) return;
    auto* list = static_cast<TDirectoryListBox*>(control_);
    const int index = static_cast<int>(item.itemID);
    if (index >= static_cast<int>(list->Items().size())) return;
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool selected = item.itemState & ODS_SELECTED;
    ::FillRect(dc, &rc, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    // The open chain steps in one level a directory; its subdirectories sit
    // one level below the current one.
    const int level = std::min(index, list->OpenCount());
    RECT text{rc.left + scale(4 + 10 * level), rc.top, rc.right, rc.bottom};
    TSelectGuard font(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring name = Widen(list->Items()[static_cast<std::size_t>(index)]);
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &rc);
}

// ---- the drive selector ----

TWin32Control::TWindowKind TDriveComboDriver::windowKind() const {
    return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL};
}

int TDriveComboDriver::windowHeight() const {
    return control_->Height() + kDropDownItems * 16 + 2;
}

void TDriveComboDriver::selectDrive() {
    ::SendMessageW(hwnd(), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(Widen(static_cast<TDriveComboBox*>(control_)->Drive()).c_str()));
}

void TDriveComboDriver::fillItems() {
    ::SendMessageW(hwnd(), CB_RESETCONTENT, 0, 0);
    for (const std::string& drive : static_cast<TDriveComboBox*>(control_)->Items())
        ::SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(drive).c_str()));
    selectDrive();
}

void TDriveComboDriver::changed(TControlChange what) {
    if (what == TControlChange::Items) fillItems();
}

bool TDriveComboDriver::Notify(UINT code) {
    if (destroying_ || !hwnd() || code != CBN_SELCHANGE) return false;
    const LRESULT index = ::SendMessageW(hwnd(), CB_GETCURSEL, 0, 0);
    auto* drives = static_cast<TDriveComboBox*>(control_);
    if (index < 0 || static_cast<std::size_t>(index) >= drives->Items().size()) return true;
    const std::string drive = drives->Items()[static_cast<std::size_t>(index)];
    // A refused drive puts the selector back on the list's drive.
    if (dispatch([&] { drives->DriveChosenByUser(drive); }) && hwnd()) selectDrive();
    return true;
}

}  // namespace win32
