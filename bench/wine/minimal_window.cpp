// The floor for the start-up, idle and popup comparisons: the least a Win32
// program needs to show a topmost button (a class, a popup window with a
// button child, a message loop) whose click pops up a menu of twenty items.
// Optional arguments place it: minimal_window X Y.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

// Built for each click and popped up over the window, as the launcher does.
void popUpMenu(HWND hwnd) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    for (int i = 1; i <= 20; ++i) {
        wchar_t caption[32];
        std::swprintf(caption, 32, L"Item %d", i);
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i), caption);
    }
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    ::SetForegroundWindow(hwnd);
    ::TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, r.left, r.top, hwnd,
                       nullptr);
    ::PostMessageW(hwnd, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam) popUpMenu(hwnd);
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int x = 0, y = 0;
    int argc = 0;
    if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        if (argc >= 3) {
            x = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
            y = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
        }
        ::LocalFree(argv);
    }

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"TMinimalWindow";
    if (!::RegisterClassExW(&wc)) return 1;

    HWND window = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Minimal", WS_POPUP, x, y,
                                    64, 32, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ::CreateWindowExW(0, L"BUTTON", L"Start", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 64, 32, window, nullptr,
                      instance, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
