// Drop-down combo boxes and the read-only multi-line text.
#include "platform/win32/win32.h"

namespace win32 {

namespace {

constexpr int kDropDownItems = 8;  // the height of an open drop-down list

// Lone line feeds become CR LF, which is what an edit box shows as a break.
std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string windowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

}  // namespace

// ---- combo boxes ----

TWin32Control::TWindowKind TComboBoxDriver::windowKind() const {
    return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL};
}

int TComboBoxDriver::windowHeight() const {
    // A drop-down combo box's window includes its list.
    return control_->Height() + kDropDownItems * static_cast<TComboBox*>(control_)->ItemHeight + 2;
}

void TComboBoxDriver::fillItems() {
    ::SendMessageW(hwnd(), CB_RESETCONTENT, 0, 0);
    for (const std::string& item : static_cast<TComboBox*>(control_)->Items())
        ::SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    // Emptying the list empties the edit box too.
    ::SetWindowTextW(hwnd(), Widen(control_->Text()).c_str());
}

void TComboBoxDriver::changed(TControlChange what) {
    if (what == TControlChange::Items) fillItems();
}

bool TComboBoxDriver::Notify(UINT code) {
    if (destroying_ || !hwnd()) return false;
    TControl* control = control_;
    HWND box = hwnd();
    if (code == CBN_EDITCHANGE) {
        control->TextChangedByUser(windowText(box));
    } else if (code == CBN_SELCHANGE) {
        // The edit box shows the pick only after this notification.
        const LRESULT index = ::SendMessageW(box, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) return true;
        std::wstring text(static_cast<std::size_t>(::SendMessageW(box, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
        const LRESULT n = ::SendMessageW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(n == CB_ERR ? 0 : static_cast<std::size_t>(n));
        control->TextChangedByUser(Narrow(text));
    } else if (code == CBN_SETFOCUS) {
        // A click into the edit box inside reaches the combo box only so.
        FocusArrived();
    } else {
        return false;
    }
    return true;
}

void TComboBoxDriver::SelectAll() {
    if (hwnd()) ::SendMessageW(hwnd(), CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

bool TComboBoxDriver::KeepsKey(Word key) const {
    return (key == VK_RETURN || key == VK_ESCAPE) && hwnd() && ::SendMessageW(hwnd(), CB_GETDROPPEDSTATE, 0, 0);
}

// ---- multi-line text ----

TWin32Control::TWindowKind TMemoDriver::windowKind() const {
    auto* memo = static_cast<TMemo*>(control_);
    return {L"EDIT",
            static_cast<DWORD>(ES_MULTILINE | ES_AUTOVSCROLL | (memo->ReadOnly ? ES_READONLY : 0) |
                               (memo->VerticalScrollBar ? WS_VSCROLL : 0)),
            WS_EX_CLIENTEDGE};
}

std::string TMemoDriver::shownText() const {
    return withCrLf(control_->Text());
}

bool TMemoDriver::Notify(UINT code) {
    if (destroying_ || !hwnd() || code != EN_CHANGE || static_cast<TMemo*>(control_)->ReadOnly) return false;
    control_->TextChangedByUser(windowText(hwnd()));
    return true;
}

void TMemoDriver::SelectAll() {
    if (hwnd()) ::SendMessageW(hwnd(), EM_SETSEL, 0, -1);
}

DWORD TMemoDriver::restyle(DWORD) {
    ::SendMessageW(hwnd(), EM_SETREADONLY, static_cast<TMemo*>(control_)->ReadOnly ? TRUE : FALSE, 0);
    return static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_STYLE));
}

}  // namespace win32
