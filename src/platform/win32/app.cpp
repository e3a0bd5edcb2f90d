// The application driver: message loop, key pre-translation, message boxes,
// cursor shape and the desktop.
#include "platform/win32/win32.h"
// After <windows.h>, which it needs.
#include <objbase.h>

namespace win32 {

namespace {

constexpr wchar_t kAppClass[] = L"TApplication";

BOOL CALLBACK collectEnabled(HWND hwnd, LPARAM lParam) {
    if (::IsWindowEnabled(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM lParam) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
    auto& list = *reinterpret_cast<std::vector<TRect>*>(lParam);
    TRect r{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        list.insert(list.begin(), r);
    else
        list.push_back(r);
    return TRUE;
}

}  // namespace

TThreadWindowsDisabled::TThreadWindowsDisabled(HWND except) {
    std::vector<HWND> enabled;
    ::EnumThreadWindows(::GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&enabled));
    // The owner takes no input itself; enabled, its taskbar button can bring
    // the modal window forward.
    HWND owner = Application ? AppDriver().Window() : nullptr;
    for (HWND hwnd : enabled) {
        if (hwnd == except || hwnd == owner) continue;
        ::EnableWindow(hwnd, FALSE);
        disabled_.push_back(hwnd);
    }
}

TThreadWindowsDisabled::~TThreadWindowsDisabled() {
    for (HWND hwnd : disabled_)
        if (::IsWindow(hwnd)) ::EnableWindow(hwnd, TRUE);
}

TWin32Application::TWin32Application(TApplication* app) : app_(app) {
    // The shell wants COM on the thread that calls ShellExecuteEx: some
    // associations (URL protocols, packaged applications) go through it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comInitialized_ = SUCCEEDED(com);
    // Loads the common controls that the manifest asks for, so that buttons
    // and boxes get the system's current look.
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&init);
    if (HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr)) wake_.reset(event);
}

TWin32Application::~TWin32Application() {
    if (comInitialized_) ::CoUninitialize();
}

TWin32Application& AppDriver() {
    return static_cast<TWin32Application&>(Application->Driver());
}

LRESULT CALLBACK TWin32Application::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!Application) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_TIMER: {
            // The timer id is the driver's address, checked before use.
            auto* timer = reinterpret_cast<TWin32Timer*>(wParam);
            if (AppDriver().timers_.count(timer)) timer->Timer()->Tick();
            return 0;
        }
        case WM_ACTIVATE:
            // A window without a size keeps no activation (its taskbar button
            // or Alt+Tab chose it): the form that had it last gets it.
            if (LOWORD(wParam) != WA_INACTIVE) {
                TWin32Application& app = AppDriver();
                HWND main = app.app_->MainForm ? FormDriverOf(app.app_->MainForm)->ExistingHandle() : nullptr;
                // A form closed since (the clock, hidden) no longer counts.
                const bool last = ::IsWindow(app.lastActive_) && ::IsWindowVisible(app.lastActive_);
                app.forward(!app.modal_.empty() ? app.modal_.back() : last ? app.lastActive_ : main);
            }
            return 0;
        case WM_TOLVEK_FORWARD: {
            HWND target = reinterpret_cast<HWND>(wParam);
            if (::IsWindow(target) && ::IsWindowVisible(target) && ::IsWindowEnabled(target)) {
                ::SetForegroundWindow(target);
                ::SetActiveWindow(target);
            }
            return 0;
        }
        case WM_CLOSE:
            // Closing the program from its taskbar button closes the main
            // form; while a modal form is open, that one comes forward.
            if (!AppDriver().modal_.empty())
                AppDriver().forward(AppDriver().modal_.back());
            else
                Application->Dispatch([] {
                    if (Application->MainForm) Application->MainForm->Close();
                });
            return 0;
        default:
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void TWin32Application::ShowOwner() {
    if (HWND hwnd = Window(); hwnd && !::IsWindowVisible(hwnd)) ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

void TWin32Application::FormActivated(HWND form) {
    if (!modal_.empty() && modal_.back() != form)
        forward(modal_.back());
    else
        lastActive_ = form;
}

void TWin32Application::forward(HWND target) {
    // A disabled target has a message box or a common dialog over it.
    if (target && !::IsWindowEnabled(target)) target = ::GetLastActivePopup(target);
    if (target && ::IsWindowVisible(target) && ::IsWindowEnabled(target))
        ::PostMessageW(Window(), WM_TOLVEK_FORWARD, reinterpret_cast<WPARAM>(target), 0);
}

bool TWin32Application::Runs(const TTimer& timer) const {
    for (const TWin32Timer* t : timers_)
        if (t->Timer() == &timer) return true;
    return false;
}

HWND TWin32Application::Window() {
    if (window_) return window_.get();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(Instance(), kAppClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &TWin32Application::WndProc;
        wc.hInstance = Instance();
        wc.hIcon = ::LoadIconW(Instance(), MAKEINTRESOURCEW(1));
        wc.lpszClassName = kAppClass;
        ::RegisterClassExW(&wc);
    }
    // At the centre of the primary monitor, as the classic toolkits place it.
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    window_.reset(::CreateWindowExW(0, kAppClass, Widen(app_->Title()).c_str(),
                                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS, x, y, 0, 0,
                                    nullptr, nullptr, Instance(), nullptr));
    return window_.get();
}

void TWin32Application::TitleChanged() {
    if (HWND hwnd = Window()) ::SetWindowTextW(hwnd, Widen(app_->Title()).c_str());
}

int TWin32Application::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    HWND owner = ::GetActiveWindow();
    if (!owner && app_->MainForm) owner = FormDriverOf(app_->MainForm)->ExistingHandle();
    if (!owner) flags |= MB_TASKMODAL;
    // The box disables and re-enables its owner itself; doing that here too
    // would hand the activation to another program when it closes.
    TThreadWindowsDisabled others(owner);
    return ::MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

bool TWin32Application::PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    TWin32Form* driver = root ? TWin32Form::FromWindow(root) : nullptr;
    if (!driver || driver->Destroying()) return false;
    const auto key = static_cast<Word>(msg.wParam);
    const TShiftState shift = KeyShift();
    if (key == VK_TAB || (key >= VK_LEFT && key <= VK_DOWN))
        ::SendMessageW(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    // A handler that failed has had the key, and its error was reported.
    bool handled = true;
    const bool repeat = (msg.lParam & (1L << 30)) != 0;  // the key was already down
    app_->Dispatch([&] { handled = driver->Form()->KeyDown(key, shift, repeat); });
    return handled;
}

void TWin32Application::Pump(const MSG& msg) {
    if (PreTranslate(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void TWin32Application::Run() {
    MSG msg;
    while (!app_->Terminated()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;  // WM_QUIT, or no queue to read
        Pump(msg);
    }
}

void TWin32Application::ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for the loop that owns the program's end.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        Pump(msg);
    }
}

void TWin32Application::Wake() {
    if (wake_) ::SetEvent(wake_.get());
}

void TWin32Application::WaitMessageOrWake(unsigned timeoutMs) {
    // Input already seen by a peek but not yet removed counts too.
    HANDLE event = wake_.get();
    ::MsgWaitForMultipleObjectsEx(wake_ ? 1 : 0, wake_ ? &event : nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void TWin32Application::Terminate() {
    // A window message, unlike WM_QUIT, does not also end a message box or
    // menu that is open at the time.
    if (HWND hwnd = Window()) ::PostMessageW(hwnd, WM_NULL, 0, 0);
}

void TWin32Application::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    ::SetCursor(::LoadCursorW(nullptr, cursor == TCursor::HourGlass ? IDC_WAIT : IDC_ARROW));
}

std::vector<TRect> TWin32Application::Monitors() {
    std::vector<TRect> list;
    ::EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&list));
    if (list.empty()) list.push_back({0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
    return list;
}

TPoint TWin32Application::CursorPos() {
    POINT p{};
    ::GetCursorPos(&p);
    return {p.x, p.y};
}

}  // namespace win32
