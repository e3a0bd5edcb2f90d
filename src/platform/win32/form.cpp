// The form driver: one top-level window per form, its window class named
// after the form class, messages cracked here into the form's typed events.
#include "platform/win32/win32.h"

namespace win32 {

TWin32Form* FormDriverOf(TForm* form) {
    return static_cast<TWin32Form*>(form->FormDriver());
}

TWin32Form* TWin32Form::FromWindow(HWND hwnd) {
    if (::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&TWin32Form::WndProc)) return nullptr;
    return reinterpret_cast<TWin32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

TWin32Form::~TWin32Form() {
    // The portable form is already gone in part: no more events to it.
    destroying_ = true;
    if (window_ && ::GetCapture() == window_.get()) ::ReleaseCapture();
    window_.reset();
}

LRESULT CALLBACK TWin32Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWin32Form* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<TWin32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(hwnd);
    } else {
        self = reinterpret_cast<TWin32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT TWin32Form::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY && menuBar_) {
        // The bar is ours to destroy, not the window's.
        ::SetMenu(hwnd, nullptr);
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window_.release();
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (destroying_ || !Application) return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    LRESULT result = 0;
    switch (msg) {
        case WM_ACTIVATE: {
            const bool active = LOWORD(wParam) != WA_INACTIVE;
            // Later, from the queue: an activation handler may pop a menu up,
            // which must not run inside the activation itself.
            ::PostMessageW(hwnd, WM_TOLVEK_ACTIVATE, active ? 1 : 0, 0);
            if (active) AppDriver().FormActivated(hwnd);
            if (active && !HIWORD(wParam)) {
                // The focus goes back where it was, else to the first tab stop.
                TControl* target = form_->ControlToFocus();
                HWND child = target ? static_cast<TWin32Control*>(target->Driver())->Handle() : nullptr;
                if (child && ::IsWindowVisible(child) && ::IsWindowEnabled(child)) {
                    ::SetFocus(child);
                    return 0;
                }
            }
            break;
        }
        case WM_TOLVEK_ACTIVATE:
            if (wParam)
                Application->Dispatch([this] { form_->Activated(); });
            else
                Application->Dispatch([this] { form_->Deactivated(); });
            return 0;
        case WM_TOLVEK_CHILDREN:
            Application->Dispatch([&] { CreateChildWindows(form_, hwnd, *this); });
            return 0;
        case WM_CLOSE:
            Application->Dispatch([this] { form_->Close(); });
            return 0;
        case WM_QUERYENDSESSION: {
            if (Application->MainForm != form_) return TRUE;
            bool canEnd = false;  // stays so when the query fails
            Application->Dispatch([&] { canEnd = form_->QueryEndSession(); });
            return canEnd ? TRUE : FALSE;
        }
        case WM_ENDSESSION:
            if (wParam && Application->MainForm == form_) Application->Terminate();
            return 0;
        case WM_MOUSEMOVE: {
            const TShiftState shift = MouseShift(wParam);
            const int x = ::MulDiv(MouseX(lParam), kDesignDpi, dpi_), y = ::MulDiv(MouseY(lParam), kDesignDpi, dpi_);
            Application->Dispatch([&] { form_->MouseMove(shift, x, y); });
            return 0;
        }
        case WM_LBUTTONDOWN:
            // Held until the release, which makes a click on the form itself
            // (the system meter closes on it) when it comes inside.
            if (!form_->MouseCapture()) {
                ::SetCapture(hwnd);
                pressed_ = true;
            }
            return 0;
        case WM_LBUTTONUP: {
            // As in the toolkit, a click ends the form's capture; otherwise a
            // captured form would keep every click from its own controls.
            if (form_->MouseCapture() && ::GetCapture() == hwnd)
                if (!dispatch([this] { form_->SetMouseCapture(false); })) return 0;
            RECT rc{};
            ::GetClientRect(hwnd, &rc);
            const bool click = pressed_ && ::PtInRect(&rc, POINT{MouseX(lParam), MouseY(lParam)});
            if (pressed_ && ::GetCapture() == hwnd) ::ReleaseCapture();
            pressed_ = false;
            if (click) dispatch([this] { form_->Click(); });
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressed_ = false;
            break;
        case WM_SETCURSOR:
            if (AppDriver().Busy()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_WINDOWPOSCHANGED:
            syncBounds();
            break;
        case WM_SIZE:
            // While the window is made, its controls wait for their turn.
            if (wParam != SIZE_MINIMIZED && !creating_) {
                const TPoint size = designSize(LOWORD(lParam), HIWORD(lParam));
                Application->Dispatch([&] { ArrangeAligned(*form_, size.x, size.y); });
            }
            break;
        case WM_DPICHANGED:
            dpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_INITMENU:
            // A popup menu's states are its own: only the bar's are refreshed.
            if (menuBar_ && reinterpret_cast<HMENU>(wParam) == menuBar_->Top()) menuBar_->RefreshTop();
            break;
        case WM_INITMENUPOPUP: {
            const auto menu = reinterpret_cast<HMENU>(wParam);
            const int position = LOWORD(lParam);
            bool ours = false;
            Application->Dispatch([&] {
                ours = (popup_ && popup_->Opening(menu, position)) || (menuBar_ && menuBar_->Opening(menu, position));
            });
            if (ours) return 0;
            break;
        }
        case WM_MENUCOMMAND: {
            const auto menu = reinterpret_cast<HMENU>(lParam);
            const int position = static_cast<int>(wParam);
            // A popup menu's choice runs where it was tracked, once it has closed.
            if (popup_ && popup_->Choose(menu, position)) return 0;
            if (TMenuItem* item = menuBar_ ? menuBar_->ItemAt(menu, position) : nullptr)
                Application->Dispatch([item] { item->Click(); });
            return 0;
        }
        case WM_COMMAND:
            if (ChildNotification(msg, wParam, lParam, result)) return result;
            break;
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            if (ChildNotification(msg, wParam, lParam, result)) return result;
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void TWin32Form::registerClass(const std::wstring& name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(Instance(), name.c_str(), &wc)) return;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TWin32Form::WndProc;
    wc.hInstance = Instance();
    wc.hIcon = ::LoadIconW(Instance(), MAKEINTRESOURCEW(1));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = name.c_str();
    if (!::RegisterClassExW(&wc)) throw Exception("Cannot register the window class " + form_->ClassName());
}

DWORD TWin32Form::style() const {
    DWORD s = WS_CLIPCHILDREN;
    switch (form_->BorderStyle) {
        case TBorderStyle::None:
            s |= WS_POPUP;
            break;
        case TBorderStyle::Dialog:
            s |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
            if (form_->BorderIcons) s |= WS_SYSMENU;
            break;
        case TBorderStyle::Single:
            s |= WS_OVERLAPPED | WS_CAPTION;
            if (form_->BorderIcons) s |= WS_SYSMENU | WS_MINIMIZEBOX;
            break;
        case TBorderStyle::Sizeable:
            s |= form_->BorderIcons ? WS_OVERLAPPEDWINDOW : (WS_CAPTION | WS_THICKFRAME);
            break;
    }
    if (!form_->Enabled()) s |= WS_DISABLED;
    return s;
}

DWORD TWin32Form::exStyle() const {
    DWORD s = 0;
    if (form_->BorderStyle == TBorderStyle::Dialog) s |= WS_EX_DLGMODALFRAME;
    if (form_->FormStyle() == TFormStyle::StayOnTop) s |= WS_EX_TOPMOST;
    return s;
}

RECT TWin32Form::outerRect() const {
    // The portable width and height are the client area's, in design pixels;
    // Left and Top are the screen's own.
    const int dpi = Dpi();
    RECT r{0, 0, ScaleBy(form_->Width(), dpi), ScaleBy(form_->Height(), dpi)};
    AdjustForDpi(r, style(), mainMenu() != nullptr, exStyle(), dpi);
    return {form_->Left(), form_->Top(), form_->Left() + (r.right - r.left), form_->Top() + (r.bottom - r.top)};
}

int TWin32Form::Dpi() const {
    return window_ ? dpi_ : DpiAt({form_->Left(), form_->Top()});
}

HWND TWin32Form::Handle() {
    if (!window_) create();
    return window_.get();
}

void TWin32Form::create() {
    std::wstring name = Widen(form_->ClassName());
    registerClass(name);
    // The window appears at the DPI of the screen it is placed on.
    dpi_ = Dpi();
    RECT r = outerRect();
    creating_ = true;
    // WM_NCCREATE stores the handle in window_. Owned, the form has no
    // taskbar button of its own and comes forward with the program.
    HWND hwnd = ::CreateWindowExW(exStyle(), name.c_str(), Widen(form_->Caption()).c_str(), style(), r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, AppDriver().Window(), nullptr, Instance(), this);
    if (!hwnd) {
        creating_ = false;
        throw Exception("Cannot create the window of " + form_->ClassName());
    }
    try {
        // A window that lies across screens takes the DPI of the one that
        // shows most of it.
        if (const int dpi = DpiOfWindow(hwnd); dpi != dpi_) {
            dpi_ = dpi;
            r = outerRect();
            ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
        }
        updateFont();
        buildMenuBar();
        CreateChildWindows(form_, hwnd, *this);
    } catch (...) {
        // No half-made window stays behind to be shown later: the next
        // attempt starts afresh, and fails the same way if it must.
        creating_ = false;
        window_.reset();
        throw;
    }
    creating_ = false;
    // Focus rectangles show once the keyboard is used, as in the system's dialogs.
    ::SendMessageW(hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const TPoint size = designSize(client.right, client.bottom);
    ArrangeAligned(*form_, size.x, size.y);
}

TPoint TWin32Form::designSize(int clientWidth, int clientHeight) const {
    // A change of DPI alone leaves the design size as it was.
    if (dpiChanging_) return {form_->Width(), form_->Height()};
    return {ToDesign(clientWidth, form_->Width(), dpi_), ToDesign(clientHeight, form_->Height(), dpi_)};
}

HFONT TWin32Form::FontFor(const TControl* control) const {
    const std::string& name = control && !control->FontName.empty() ? control->FontName : form_->FontName;
    const int height = control && control->FontHeight > 0 ? control->FontHeight : form_->FontHeight;
    const bool bold = control && control->FontBold ? *control->FontBold : form_->FontBold;
    const std::wstring face = Widen(name);
    const int pixels = ScaleBy(height, Dpi());
    const std::wstring key = face + L'|' + std::to_wstring(pixels) + (bold ? L"|b" : L"|n");
    for (const auto& [k, font] : fonts_)
        if (k == key) return font.get();
    // The height is the character height, as the toolkit's negative heights.
    TFont font(::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             face.c_str()));
    if (!font) return nullptr;
    fonts_.emplace_back(key, std::move(font));
    return fonts_.back().second.get();
}

void TWin32Form::updateFont() {
    const std::wstring key = Widen(form_->FontName) + L'|' + std::to_wstring(form_->FontHeight) +
                             (form_->FontBold ? L"|b" : L"|n") + L'@' + std::to_wstring(Dpi());
    if (key == fontKey_) return;
    fontKey_ = key;
    // The old fonts stay alive until no control uses them any more.
    auto old = std::move(fonts_);
    fonts_.clear();
    std::vector<TControl*> pending(form_->Controls().begin(), form_->Controls().end());
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        static_cast<TWin32Control*>(c->Driver())->SetFont(FontFor(c));
        pending.insert(pending.end(), c->Controls().begin(), c->Controls().end());
    }
}

int TWin32Form::TextWidth(const std::string& text) const {
    return UnscaleUp(MeasureText(FontFor(nullptr), text), Dpi());
}

void TWin32Form::dpiChanged(int dpi, const RECT& suggested) {
    HWND hwnd = window_.get();
    if (!hwnd || dpi <= 0) return;
    dpi_ = dpi;
    updateFont();
    // The system's rectangle keeps the window under the mouse that drags it
    // across; the design size stays as it was.
    std::weak_ptr<int> alive = life_;
    dpiChanging_ = true;
    ::SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (alive.expired()) return;
    dpiChanging_ = false;
    std::vector<TControl*> pending(form_->Controls().begin(), form_->Controls().end());
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        static_cast<TWin32Control*>(c->Driver())->DpiChanged();
        pending.insert(pending.end(), c->Controls().begin(), c->Controls().end());
    }
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

TControl* TWin32Form::mainMenu() const {
    for (TControl* c : form_->Controls())
        if (c->Kind() == TControlKind::MainMenu) return c;
    return nullptr;
}

void TWin32Form::buildMenuBar() {
    TControl* menu = mainMenu();
    if (!menu || !window_) return;
    // A bar that cannot be made is reported, and the window goes on without it.
    Application->Dispatch([&] {
        RECT r{};
        ::GetWindowRect(window_.get(), &r);
        auto bar = std::make_unique<TWin32MenuTree>(static_cast<TMainMenu*>(menu)->Items(), true,
                                                    MenuCapacity({r.left, r.bottom}));
        if (!::SetMenu(window_.get(), bar->Top())) throw Exception("Cannot create a menu");
        // The window holds the new bar now; the old one may go.
        menuBar_ = std::move(bar);
        ::DrawMenuBar(window_.get());
    });
}

void TWin32Form::applyTopmost() {
    HWND hwnd = window_.get();
    if (!hwnd) return;
    constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    const bool onTop = form_->FormStyle() == TFormStyle::StayOnTop;
    ::SetWindowPos(hwnd, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
    if (onTop || !(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST)) return;
    // Wine keeps an owned window topmost that lies right above its owner;
    // without the owner for a moment it lets go.
    const LONG_PTR owner = ::GetWindowLongPtrW(hwnd, GWLP_HWNDPARENT);
    ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0);
    ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
    ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, owner);
}

void TWin32Form::applyStyle() {
    HWND hwnd = window_.get();
    // Bits of the state and bits the system adds stay as they are.
    constexpr DWORD kState = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE | WS_CLIPSIBLINGS;
    constexpr DWORD kOwnEx = WS_EX_DLGMODALFRAME;  // SetWindowPos owns WS_EX_TOPMOST
    const auto oldStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto oldEx = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    const DWORD newStyle = (style() & ~kState) | (oldStyle & kState);
    const DWORD newEx = (oldEx & ~kOwnEx) | (exStyle() & kOwnEx);
    if (newStyle != oldStyle || newEx != oldEx) {
        ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
        ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(newEx));
        RECT r = outerRect();
        ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    applyTopmost();
    updateFont();
}

void TWin32Form::syncBounds() {
    // Moves and sizes that the user or the system made, back into the form.
    HWND hwnd = window_.get();
    if (syncing_ || !hwnd || ::IsIconic(hwnd)) return;
    RECT outer{}, client{};
    if (!::GetWindowRect(hwnd, &outer) || !::GetClientRect(hwnd, &client)) return;
    const TPoint size = designSize(client.right, client.bottom);
    syncing_ = true;
    if (dispatch([&] { form_->SetBounds(outer.left, outer.top, size.x, size.y); })) syncing_ = false;
}

void TWin32Form::placeFirstTime() {
    if (placed_) return;
    placed_ = true;
    if (form_->Position != TPosition::ScreenCenter) return;
    TRect screen = AppDriver().Monitors().front();
    RECT r = outerRect();
    int x = screen.left + (screen.Width() - (r.right - r.left)) / 2;
    int y = screen.top + (screen.Height() - (r.bottom - r.top)) / 2;
    form_->SetBounds(x, y, form_->Width(), form_->Height());
}

void TWin32Form::Changed(TControlChange what) {
    HWND hwnd = window_.get();
    if (!hwnd || destroying_) return;
    switch (what) {
        case TControlChange::Bounds:
            if (!syncing_) {
                RECT r = outerRect();
                ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               SWP_NOZORDER | SWP_NOACTIVATE);
            }
            break;
        case TControlChange::Text:
            ::SetWindowTextW(hwnd, Widen(form_->Caption()).c_str());
            break;
        case TControlChange::Visible:
            if (form_->Visible())
                ::ShowWindow(hwnd, SW_SHOW);
            else
                Hide();
            break;
        case TControlChange::Enabled:
            ::EnableWindow(hwnd, form_->Enabled() ? TRUE : FALSE);
            break;
        case TControlChange::Style:
            applyStyle();
            break;
        case TControlChange::Checked:
        case TControlChange::Items:
        case TControlChange::Current:
            break;
    }
}

void TWin32Form::Repaint() {
    if (window_)
        ::RedrawWindow(window_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TWin32Form::SetFocus() {
    if (window_) ::SetFocus(window_.get());
}

bool TWin32Form::Focused() const {
    return window_ && ::GetActiveWindow() == window_.get();
}

void TWin32Form::Show() {
    HWND hwnd = Handle();
    placeFirstTime();
    AppDriver().ShowOwner();
    ::ShowWindow(hwnd, SW_SHOW);
}

void TWin32Form::Hide() {
    // A modal form hides when its loop has enabled the others again, so that
    // the activation goes back to them and not to another program.
    if (window_ && !modal_) ::ShowWindow(window_.get(), SW_HIDE);
}

int TWin32Form::RunModal() {
    HWND hwnd = Handle();
    placeFirstTime();
    HWND previous = ::GetActiveWindow();
    AppDriver().ShowOwner();
    {
        TThreadWindowsDisabled others(hwnd);
        modal_ = true;
        AppDriver().EnterModal(hwnd);
        ::ShowWindow(hwnd, SW_SHOW);
        ::SetForegroundWindow(hwnd);
        MSG msg;
        while (form_->ModalResult() == mrNone && !Application->Terminated()) {
            BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == -1) break;
            if (got == 0) {
                // The outer loop must see the quit too.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            AppDriver().Pump(msg);
        }
        AppDriver().LeaveModal(hwnd);
        modal_ = false;
    }
    if (window_) ::ShowWindow(window_.get(), SW_HIDE);
    if (previous && previous != hwnd && ::IsWindow(previous) && ::IsWindowVisible(previous))
        ::SetActiveWindow(previous);
    return form_->ModalResult();
}

void TWin32Form::SetMouseCapture(bool capture) {
    if (capture) {
        ::SetCapture(Handle());
    } else if (window_ && ::GetCapture() == window_.get()) {
        ::ReleaseCapture();
    }
}

}  // namespace win32
