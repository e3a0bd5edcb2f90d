// The control driver: each control is a real child window whose text is its
// caption, subclassed so that mouse moves, clicks and focus changes reach
// the portable control.
#include "platform/win32/win32.h"

#include <algorithm>

namespace win32 {

namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kCustomClass[] = L"TCustomControl";
constexpr wchar_t kGridClass[] = L"TStringGrid";
constexpr int kDropDownItems = 8;  // the height of an open drop-down list

HWND parentWindowOf(TControl* control) {
    TControl* parent = control->Parent();
    if (!parent) return nullptr;
    if (parent->Kind() == TControlKind::Form) return FormDriverOf(static_cast<TForm*>(parent))->ExistingHandle();
    return static_cast<TWin32Control*>(parent->Driver())->Handle();
}

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

// The focus went to `to`, elsewhere in the same form.
bool focusMovedWithinForm(HWND from, HWND to) {
    return to && ::GetAncestor(to, GA_ROOT) == ::GetAncestor(from, GA_ROOT) && to != from && !::IsChild(from, to);
}

DWORD labelAlignment(const TControl* control) {
    switch (static_cast<const TLabel*>(control)->Alignment) {
        case TAlignment::Right:
            return SS_RIGHT;
        case TAlignment::Center:
            return SS_CENTER;
        case TAlignment::Left:
            break;
    }
    return SS_LEFTNOWORDWRAP;
}

void drawCheckMark(HDC dc, int left, int top) {
    TGdiObject pen(::CreatePen(PS_SOLID, 3, RGB(0, 128, 0)));
    TSelectGuard selected(dc, pen.get());
    const POINT mark[] = {{left + 3, top + 9}, {left + 7, top + 13}, {left + 15, top + 4}};
    ::Polyline(dc, mark, 3);
}

}  // namespace

void CreateChildWindows(TControl* parent, HWND parentWindow, TWin32Form& form) {
    int id = 100;
    for (TControl* child : parent->Controls()) {
        auto* driver = static_cast<TWin32Control*>(child->Driver());
        driver->Create(parentWindow, form, id++);
        if (driver->Handle()) CreateChildWindows(child, driver->Handle(), form);
    }
    // Frames go under their siblings, so that they never hide what they frame;
    // new windows join the bottom of the order, so this comes last.
    for (TControl* child : parent->Controls()) {
        HWND hwnd = static_cast<TWin32Control*>(child->Driver())->Handle();
        if (hwnd && child->Kind() == TControlKind::Bevel)
            ::SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

bool ChildNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_COMMAND && lParam) {
        TWin32Control* driver = TWin32Control::FromWindow(reinterpret_cast<HWND>(lParam));
        if (!driver || !driver->Notify(HIWORD(wParam))) return false;
        result = 0;
        return true;
    }
    if (msg == WM_DRAWITEM) {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        TWin32Control* driver = TWin32Control::FromWindow(item.hwndItem);
        if (!driver) return false;
        driver->Draw(item);
        result = TRUE;
        return true;
    }
    return false;
}

TWin32Control* TWin32Control::FromWindow(HWND hwnd) {
    if (!hwnd || ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&TWin32Control::SubclassProc))
        return nullptr;
    return reinterpret_cast<TWin32Control*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

TWin32Control::TWin32Control(TControl* control) : control_(control) {
    // The derived control is not built yet, so a form that already has its
    // window creates this one's from its queue.
    if (TForm* form = control_->ParentForm())
        if (HWND hwnd = FormDriverOf(form)->ExistingHandle()) ::PostMessageW(hwnd, WM_TOLVEK_CHILDREN, 0, 0);
}

TWin32Control::~TWin32Control() {
    destroying_ = true;
    window_.reset();
}

bool TWin32Control::takesFocus() const {
    // A speed button takes the focus only as its form's default button.
    if (control_->Kind() == TControlKind::BitmapButton) return static_cast<const TSpeedButton*>(control_)->Default;
    return control_->TabStop;
}

void TWin32Control::loadGlyph() {
    glyph_.reset();
    if (control_->Kind() != TControlKind::BitmapButton) return;
    auto* button = static_cast<TSpeedButton*>(control_);
    if (button->HasGlyph && button->Glyph == TGlyph::AppIcon) glyph_ = LoadAppIcon(16);
}

// A left-aligned label grows to show its whole text: its size was chosen for
// one font, and the text must still show in another (as self-sizing labels do).
int TWin32Control::windowWidth() const {
    int width = control_->Width();
    if (control_->Kind() != TControlKind::Label || static_cast<const TLabel*>(control_)->Alignment != TAlignment::Left)
        return width;
    std::string shown;  // "&x" shows as an underlined x, "&&" as "&"
    const std::string& text = control_->Text();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return std::max(width, TextWidth(shown));
}

int TWin32Control::windowHeight() const {
    // A drop-down combo box's window includes its list.
    if (control_->Kind() == TControlKind::ComboBox)
        return control_->Height() + kDropDownItems * static_cast<TComboBox*>(control_)->ItemHeight + 2;
    if (control_->Kind() == TControlKind::DriveCombo) return control_->Height() + kDropDownItems * 16 + 2;
    return control_->Height();
}

void TWin32Control::fillItems() {
    HWND hwnd = window_.get();
    switch (control_->Kind()) {
        case TControlKind::ComboBox:
            ::SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : static_cast<TComboBox*>(control_)->Items())
                ::SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
            // Emptying the list empties the edit box too.
            ::SetWindowTextW(hwnd, Widen(control_->Text()).c_str());
            break;
        case TControlKind::DriveCombo: {
            auto* drives = static_cast<TDriveComboBox*>(control_);
            ::SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
            for (const std::string& drive : drives->Items())
                ::SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(drive).c_str()));
            ::SendMessageW(hwnd, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(Widen(drives->Drive()).c_str()));
            break;
        }
        case TControlKind::DirectoryList: {
            auto* list = static_cast<TDirectoryListBox*>(control_);
            ::SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
            ::SendMessageW(hwnd, LB_RESETCONTENT, 0, 0);
            for (const std::string& item : list->Items())
                ::SendMessageW(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
            ::SendMessageW(hwnd, LB_SETCURSEL, static_cast<WPARAM>(list->ItemIndex()), 0);
            ::SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
            ::InvalidateRect(hwnd, nullptr, TRUE);
            break;
        }
        case TControlKind::StringGrid:
            gridScrollBars();
            ::InvalidateRect(hwnd, nullptr, FALSE);
            break;
        default:
            break;
    }
}

void TWin32Control::Create(HWND parent, TWin32Form& form, int id) {
    if (window_ || !parent || control_->Kind() == TControlKind::MainMenu) return;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (control_->Kind()) {
        case TControlKind::Button:
            cls = L"BUTTON";
            style |= static_cast<TButton*>(control_)->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            break;
        case TControlKind::BitmapButton:
            cls = L"BUTTON";
            style |= BS_OWNERDRAW;
            loadGlyph();
            break;
        case TControlKind::Label:
            style |= labelAlignment(control_) | SS_NOTIFY;
            break;
        case TControlKind::ComboBox:
            cls = L"COMBOBOX";
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
            break;
        case TControlKind::DriveCombo:
            cls = L"COMBOBOX";
            style |= CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case TControlKind::Memo: {
            auto* memo = static_cast<TMemo*>(control_);
            cls = L"EDIT";
            style |= ES_MULTILINE | ES_AUTOVSCROLL | (memo->ReadOnly ? ES_READONLY : 0) |
                     (memo->VerticalScrollBar ? WS_VSCROLL : 0);
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        }
        case TControlKind::Bevel:
            style |= SS_OWNERDRAW;
            break;
        case TControlKind::CheckBox:
            cls = L"BUTTON";
            style |= BS_CHECKBOX;
            break;
        case TControlKind::Panel:
            RegisterControlClass(kPanelClass, 0);
            cls = kPanelClass;
            style |= WS_CLIPCHILDREN;
            exStyle |= WS_EX_CONTROLPARENT;
            break;
        case TControlKind::DirectoryList:
            cls = L"LISTBOX";
            style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case TControlKind::StringGrid:
            RegisterControlClass(kGridClass, CS_DBLCLKS);
            cls = kGridClass;
            style |= WS_HSCROLL | WS_VSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case TControlKind::Custom:
            RegisterControlClass(kCustomClass, CS_DBLCLKS);
            cls = kCustomClass;
            break;
        case TControlKind::Form:
        case TControlKind::MainMenu:
            return;
    }
    if (takesFocus() && control_->Kind() != TControlKind::Label && control_->Kind() != TControlKind::Bevel &&
        control_->Kind() != TControlKind::Panel)
        style |= WS_TABSTOP;
    if (control_->Visible()) style |= WS_VISIBLE;
    if (!control_->Enabled()) style |= WS_DISABLED;
    const std::string text = control_->Kind() == TControlKind::Memo ? withCrLf(control_->Text()) : control_->Text();
    HWND hwnd = ::CreateWindowExW(exStyle, cls, Widen(text).c_str(), style, control_->Left(), control_->Top(),
                                  windowWidth(), windowHeight(), parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (!hwnd) throw Exception("Cannot create the window of " + control_->Name);
    window_.reset(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    oldProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32Control::SubclassProc)));
    SetFont(form.FontFor(control_));

    switch (control_->Kind()) {
        case TControlKind::ComboBox:
        case TControlKind::DriveCombo:
        case TControlKind::DirectoryList:
        case TControlKind::StringGrid:
            fillItems();
            break;
        case TControlKind::CheckBox:
            ::SendMessageW(hwnd, BM_SETCHECK, static_cast<TCheckBox*>(control_)->Checked() ? BST_CHECKED : 0, 0);
            break;
        case TControlKind::Custom:
            createWnd();
            break;
        default:
            break;
    }
}

void TWin32Control::createLate() {
    if (window_ || destroying_) return;
    HWND parent = parentWindowOf(control_);
    TForm* form = control_->ParentForm();
    if (!parent || !form) return;
    TWin32Form& formDriver = *FormDriverOf(form);
    Create(parent, formDriver, 100 + control_->TabOrder);
    if (window_) CreateChildWindows(control_, window_.get(), formDriver);
}

bool TWin32Control::Notify(UINT code) {
    if (destroying_ || !Application || !window_) return false;
    TControl* control = control_;
    HWND hwnd = window_.get();
    switch (control->Kind()) {
        case TControlKind::Button:
        case TControlKind::BitmapButton:
        case TControlKind::Label:
        case TControlKind::CheckBox:
            // An owner-drawn button reports the second click of a double
            // click as BN_DOUBLECLICKED only; it is a click all the same.
            if (code == BN_CLICKED || (code == BN_DOUBLECLICKED && control->Kind() == TControlKind::BitmapButton)) {
                Application->Dispatch([control] { control->Click(); });
                return true;
            }
            return false;
        case TControlKind::ComboBox:
            if (code == CBN_EDITCHANGE) {
                control->TextChangedByUser(windowText(hwnd));
            } else if (code == CBN_SELCHANGE) {
                // The edit box shows the pick only after this notification.
                const LRESULT index = ::SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
                if (index == CB_ERR) return true;
                std::wstring text(static_cast<std::size_t>(::SendMessageW(hwnd, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
                const LRESULT n = ::SendMessageW(hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
                text.resize(n == CB_ERR ? 0 : static_cast<std::size_t>(n));
                control->TextChangedByUser(Narrow(text));
            } else if (code == CBN_KILLFOCUS) {
                // The focus was in the edit box inside; it has moved on by now.
                if (focusMovedWithinForm(hwnd, ::GetFocus())) Application->Dispatch([control] { control->DoExit(); });
            } else {
                return false;
            }
            return true;
        case TControlKind::DriveCombo: {
            if (code != CBN_SELCHANGE) return false;
            const LRESULT index = ::SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
            if (index == CB_ERR) return true;
            const auto& drives = static_cast<TDriveComboBox*>(control)->Items();
            if (index < 0 || static_cast<std::size_t>(index) >= drives.size()) return true;
            const std::string drive = drives[static_cast<std::size_t>(index)];
            Application->Dispatch([&] { static_cast<TDriveComboBox*>(control)->DriveChosenByUser(drive); });
            // A refused drive puts the selector back on the list's drive.
            if (window_)
                ::SendMessageW(hwnd, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(Widen(static_cast<TDriveComboBox*>(control)->Drive()).c_str()));
            return true;
        }
        case TControlKind::DirectoryList: {
            auto* list = static_cast<TDirectoryListBox*>(control);
            if (code == LBN_SELCHANGE) {
                list->SelectedByUser(static_cast<int>(::SendMessageW(hwnd, LB_GETCURSEL, 0, 0)));
                return true;
            }
            if (code == LBN_DBLCLK) {
                Application->Dispatch([list] { list->DblClick(); });
                return true;
            }
            return false;
        }
        case TControlKind::Memo:
            if (code != EN_CHANGE || static_cast<TMemo*>(control)->ReadOnly) return false;
            control->TextChangedByUser(windowText(hwnd));
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK TWin32Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TWin32Control*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT TWin32Control::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCDESTROY) {
        const WNDPROC old = oldProc_;
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window_.release();
        return ::CallWindowProcW(old, hwnd, msg, wParam, lParam);
    }
    if (destroying_ || !Application) return callOld(hwnd, msg, wParam, lParam);

    switch (msg) {
        case WM_MOUSEMOVE: {
            // The window finishes its own tracking first: the handler may
            // open a menu and not return for a while.
            // An owner-drawn button draws no hover state, so its window needs
            // the moves only while pressed. Otherwise the common controls'
            // button asks for mouse-leave tracking, which Wine serves by polling
            // with a timer for as long as the pointer rests on the button.
            const bool hoverOnly = control_->Kind() == TControlKind::BitmapButton && ::GetCapture() != hwnd;
            LRESULT r = control_->Kind() == TControlKind::StringGrid ? gridMessage(hwnd, msg, wParam, lParam)
                        : hoverOnly                                 ? 0
                                                                    : callOld(hwnd, msg, wParam, lParam);
            TControl* control = control_;
            const TShiftState shift = MouseShift(wParam);
            const int x = MouseX(lParam), y = MouseY(lParam);
            Application->Dispatch([&] { control->MouseMove(shift, x, y); });
            return r;
        }
        case WM_SETFOCUS:
            if (!takesFocus() && control_->Kind() == TControlKind::BitmapButton) {
                // A click would focus it; the form keeps the focus instead.
                ::SetFocus(::GetAncestor(hwnd, GA_ROOT));
                return 0;
            }
            break;
        case WM_KILLFOCUS: {
            LRESULT r = control_->Kind() == TControlKind::StringGrid ? gridMessage(hwnd, msg, wParam, lParam)
                                                                     : callOld(hwnd, msg, wParam, lParam);
            TControl* control = control_;
            if (focusMovedWithinForm(hwnd, reinterpret_cast<HWND>(wParam)))
                Application->Dispatch([control] { control->DoExit(); });
            return r;
        }
        case WM_COMMAND:
        case WM_DRAWITEM: {
            LRESULT result = 0;
            if (ChildNotification(msg, wParam, lParam, result)) return result;
            break;
        }
        case WM_SIZE:
            if (control_->Kind() == TControlKind::Panel) {
                TControl* control = control_;
                Application->Dispatch([&] { ArrangeAligned(*control, LOWORD(lParam), HIWORD(lParam)); });
            }
            break;
        default:
            break;
    }
    switch (control_->Kind()) {
        case TControlKind::StringGrid:
            return gridMessage(hwnd, msg, wParam, lParam);
        case TControlKind::Custom:
        case TControlKind::Panel:
            return customMessage(hwnd, msg, wParam, lParam);
        default:
            return callOld(hwnd, msg, wParam, lParam);
    }
}

void TWin32Control::SetFont(HFONT font) {
    if (!font) return;
    font_ = font;
    if (!window_) return;
    ::SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (control_->Kind() == TControlKind::DirectoryList) {
        // Owner-drawn items are as high as the font.
        TWindowDC dc(window_.get());
        TSelectGuard selected(dc.get(), font);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc.get(), &metrics);
        ::SendMessageW(window_.get(), LB_SETITEMHEIGHT, 0, metrics.tmHeight + 2);
    }
}

int TWin32Control::TextWidth(const std::string& text) const {
    HFONT font = font_;
    if (!font)
        if (TForm* form = control_->ParentForm()) font = FormDriverOf(form)->FontFor(control_);
    return MeasureText(font, text);
}

void TWin32Control::Changed(TControlChange what) {
    if (destroying_) return;
    if (!window_) {
        // Made with the current state, so nothing is left to apply.
        createLate();
        return;
    }
    HWND hwnd = window_.get();
    const TControlKind kind = control_->Kind();
    switch (what) {
        case TControlChange::Bounds:
            ::SetWindowPos(hwnd, nullptr, control_->Left(), control_->Top(), windowWidth(), windowHeight(),
                           SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case TControlChange::Text:
            if (kind == TControlKind::DriveCombo) {
                ::SendMessageW(hwnd, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(Widen(control_->Text()).c_str()));
            } else {
                const std::string text = kind == TControlKind::Memo ? withCrLf(control_->Text()) : control_->Text();
                ::SetWindowTextW(hwnd, Widen(text).c_str());
            }
            if (kind == TControlKind::BitmapButton || kind == TControlKind::Panel)
                ::InvalidateRect(hwnd, nullptr, TRUE);
            if (kind == TControlKind::Label)
                ::SetWindowPos(hwnd, nullptr, 0, 0, windowWidth(), windowHeight(),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case TControlChange::Visible:
            ::ShowWindow(hwnd, control_->Visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case TControlChange::Enabled:
            ::EnableWindow(hwnd, control_->Enabled() ? TRUE : FALSE);
            break;
        case TControlChange::Style: {
            if (TForm* form = control_->ParentForm()) SetFont(FormDriverOf(form)->FontFor(control_));
            auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
            style = takesFocus() ? (style | WS_TABSTOP) : (style & ~static_cast<DWORD>(WS_TABSTOP));
            if (kind == TControlKind::Button) {
                const bool def = static_cast<TButton*>(control_)->Default;
                ::SendMessageW(hwnd, BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
                style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)) | (style & WS_TABSTOP);
            } else if (kind == TControlKind::BitmapButton) {
                loadGlyph();
            } else if (kind == TControlKind::Label) {
                style = (style & ~static_cast<DWORD>(SS_TYPEMASK)) | labelAlignment(control_);
                ::SetWindowPos(hwnd, nullptr, 0, 0, windowWidth(), windowHeight(),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            } else if (kind == TControlKind::Memo) {
                ::SendMessageW(hwnd, EM_SETREADONLY, static_cast<TMemo*>(control_)->ReadOnly ? TRUE : FALSE, 0);
                style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
            } else if (kind == TControlKind::StringGrid) {
                gridScrollBars();
            }
            ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
            ::InvalidateRect(hwnd, nullptr, TRUE);
            break;
        }
        case TControlChange::Items:
            fillItems();
            break;
        case TControlChange::Checked:
            if (kind == TControlKind::CheckBox)
                ::SendMessageW(hwnd, BM_SETCHECK, static_cast<TCheckBox*>(control_)->Checked() ? BST_CHECKED : 0, 0);
            break;
    }
}

void TWin32Control::Repaint() {
    if (!window_) return;
    ::InvalidateRect(window_.get(), nullptr, TRUE);
    ::UpdateWindow(window_.get());
}

void TWin32Control::SetFocus() {
    TForm* form = control_->ParentForm();
    if (!form || destroying_) return;
    TWin32Form& formDriver = *FormDriverOf(form);
    // Forms focus a control before they are shown (in OnShow, say), so the
    // windows are made now and the focus waits for the activation.
    HWND formWindow = formDriver.Handle();
    if (!window_) createLate();
    if (!window_) return;
    if (::GetActiveWindow() == formWindow)
        ::SetFocus(window_.get());
    else
        formDriver.FocusLater(window_.get());
}

bool TWin32Control::Focused() const {
    // A combo box's focus is on the edit box inside it.
    HWND focus = ::GetFocus();
    return window_ && focus && (focus == window_.get() || ::IsChild(window_.get(), focus));
}

void TWin32Control::Draw(const DRAWITEMSTRUCT& item) {
    if (destroying_) return;
    switch (item.CtlType) {
        case ODT_BUTTON:
            drawButton(item);
            break;
        case ODT_LISTBOX:
            drawListItem(item);
            break;
        case ODT_STATIC: {  // the bevel: a raised frame
            RECT rc = item.rcItem;
            ::FillRect(item.hDC, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
            ::DrawEdge(item.hDC, &rc, BDR_RAISEDINNER, BF_RECT);
            break;
        }
        default:
            break;
    }
}

void TWin32Control::drawButton(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT rc = item.rcItem;
    const bool pushed = item.itemState & ODS_SELECTED;
    const int offset = pushed ? 1 : 0;  // the face moves with the press

    RECT frame = rc;
    ::DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    int textLeft = rc.left + 4;
    auto* button = static_cast<TSpeedButton*>(control_);
    if (button->HasGlyph) {
        const int size = button->Glyph == TGlyph::AppIcon ? 16 : 18;
        const int left = rc.left + 4 + offset, top = rc.top + (rc.bottom - rc.top - size) / 2 + offset;
        if (glyph_)
            ::DrawIconEx(dc, left, top, glyph_.get(), 16, 16, 0, nullptr, DI_NORMAL);
        else if (button->Glyph == TGlyph::CheckMark)
            drawCheckMark(dc, left, top);
        textLeft = rc.left + 4 + size + 2;
    }

    RECT text{textLeft + offset, rc.top + offset, rc.right - 2 + offset, rc.bottom + offset};
    TSelectGuard selected(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    std::wstring caption = Widen(control_->Caption());
    // Centred beside the glyph; a caption too wide for that starts right
    // after the glyph rather than running over it.
    RECT measure{0, 0, 0, 0};
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
    UINT align = DT_CENTER;
    if (measure.right > text.right - text.left) {
        align = DT_LEFT;
        text.right = rc.right;  // up to the frame, and clipped there
    }
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, align | DT_VCENTER | DT_SINGLELINE);

    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = rc;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }
}

void TWin32Control::drawListItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
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
    RECT text{rc.left + 4 + 10 * level, rc.top, rc.right, rc.bottom};
    TSelectGuard font(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring name = Widen(list->Items()[static_cast<std::size_t>(index)]);
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &rc);
}

}  // namespace win32
