// Where the system tells each monitor's DPI. The calls that do so are newer
// than the oldest system we run on, so they are looked up, not linked.
#include "platform/win32/win32.h"

namespace win32 {

namespace {

template <class F>
F* fromUser32(const char* name) {
    return SystemFunction<F>(L"user32.dll", name);
}

int systemDpi() {
    TWindowDC screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kDesignDpi;
}

int dpiOfMonitor(HMONITOR monitor) {
    // An older system without the library must not take one from the
    // program's directory instead: SystemFunction looks in the system's.
    static const auto getDpi =
        SystemFunction<HRESULT WINAPI(HMONITOR, int, UINT*, UINT*)>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;
    if (getDpi && monitor && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y)) && x > 0) return static_cast<int>(x);
    return systemDpi();
}

}  // namespace

int DpiOfWindow(HWND hwnd) {
    static const auto getDpi = fromUser32<UINT WINAPI(HWND)>("GetDpiForWindow");
    if (getDpi && hwnd)
        if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
    return dpiOfMonitor(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
}

int DpiAt(POINT point) {
    return dpiOfMonitor(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const auto adjust = fromUser32<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto metric = fromUser32<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    return metric ? metric(index, static_cast<UINT>(dpi)) : ::GetSystemMetrics(index);
}

}  // namespace win32
