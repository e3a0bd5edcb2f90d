// Where the system tells each monitor's DPI. The calls that do so are newer
// than the oldest system we run on, so they are looked up, not linked.
#include "platform/win32/win32.h"

namespace win32 {

namespace {

struct ModuleTraits {
    using type = HMODULE;
    static type empty() { return nullptr; }
    static void close(type h) { ::FreeLibrary(h); }
};

template <class F>
F lookUp(HMODULE module, const char* name) {
    // Through the generic function type, which any function pointer may be cast to.
    return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

HMODULE user32() {
    return ::GetModuleHandleW(L"user32.dll");
}

int systemDpi() {
    TWindowDC screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kDesignDpi;
}

int dpiOfMonitor(HMONITOR monitor) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    // Only from the system directory: an older system without the library
    // must not take one from the program's directory instead.
    static const THandle<ModuleTraits> shcore(::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    static const auto getDpi = lookUp<GetDpiForMonitorFn>(shcore.get(), "GetDpiForMonitor");
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;
    if (getDpi && monitor && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y)) && x > 0) return static_cast<int>(x);
    return systemDpi();
}

}  // namespace

int DpiOfWindow(HWND hwnd) {
    static const auto getDpi = lookUp<UINT(WINAPI*)(HWND)>(user32(), "GetDpiForWindow");
    if (getDpi && hwnd)
        if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
    return dpiOfMonitor(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
}

int DpiAt(POINT point) {
    return dpiOfMonitor(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const auto adjust =
        lookUp<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(user32(), "AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto metric = lookUp<int(WINAPI*)(int, UINT)>(user32(), "GetSystemMetricsForDpi");
    return metric ? metric(index, static_cast<UINT>(dpi)) : ::GetSystemMetrics(index);
}

}  // namespace win32
