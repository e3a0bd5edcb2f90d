// What the benchmark programs under the platform share: text conversion, a
// millisecond clock, waiting, medians and finding another process's windows.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

inline std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

inline std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

inline double nowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

// 0 for no values.
inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Polls `done` until it is true (true) or `timeoutMs` has passed (false).
template <class F>
bool waitFor(F&& done, double timeoutMs, DWORD pollMs = 1) {
    const double end = nowMs() + timeoutMs;
    while (!done()) {
        if (nowMs() > end) return false;
        ::Sleep(pollMs);
    }
    return true;
}

// A visible top-level window of class `cls` that process `pid` owns (0: any
// process), or null.
inline HWND visibleWindowOf(DWORD pid, const wchar_t* cls) {
    for (HWND hwnd = ::FindWindowExW(nullptr, nullptr, cls, nullptr); hwnd;
         hwnd = ::FindWindowExW(nullptr, hwnd, cls, nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if ((pid == 0 || owner == pid) && ::IsWindowVisible(hwnd)) return hwnd;
    }
    return nullptr;
}
