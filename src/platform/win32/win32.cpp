// Helpers shared by the Win32 drivers.
#include "platform/win32/win32.h"

namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Widen(std::string_view utf8) {
    const std::u16string wide = Wtf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view utf16) {
    return Utf16ToWtf8(std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

HINSTANCE Instance() {
    return ::GetModuleHandleW(nullptr);
}

FARPROC SystemProc(const wchar_t* dll, const char* name) {
    // Never from the current or the program's directory, where a planted
    // DLL of the same name would run.
    HMODULE module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) {
        // A system without the search flag (Windows 7 before its 2011
        // update): the same place by its full path.
        wchar_t system[MAX_PATH];
        const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
        if (n > 0 && n < MAX_PATH) module = ::LoadLibraryW((std::wstring(system, n) + L'\\' + dll).c_str());
    }
    return module ? ::GetProcAddress(module, name) : nullptr;
}

TIcon LoadAppIcon(int size) {
    return TIcon(static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
}

TShiftState KeyShift() {
    TShiftState s = 0;
    if (::GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (::GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState MouseShift(WPARAM wParam) {
    TShiftState s = 0;
    if (wParam & MK_SHIFT) s |= ssShift;
    if (wParam & MK_CONTROL) s |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
    if (wParam & MK_LBUTTON) s |= ssLeft;
    if (wParam & MK_RBUTTON) s |= ssRight;
    if (wParam & MK_MBUTTON) s |= ssMiddle;
    return s;
}

int MeasureText(HFONT font, const std::string& text) {
    TWindowDC dc(nullptr);
    if (!dc.get()) return 0;
    TSelectGuard selected(dc.get(), font);
    const std::wstring wide = Widen(text);
    SIZE size{};
    ::GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

int LineHeight(HFONT font) {
    TWindowDC dc(nullptr);
    if (!dc.get()) return 0;
    TSelectGuard selected(dc.get(), font);
    TEXTMETRICW metrics{};
    return ::GetTextMetricsW(dc.get(), &metrics) ? metrics.tmHeight : 0;
}

void RegisterControlClass(const wchar_t* name, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(Instance(), name, &wc)) return;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = ::DefWindowProcW;  // each window is subclassed at once
    wc.hInstance = Instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

}  // namespace win32
