// Start-up time under the platform: from just before CreateProcessW to the
// moment a window of the given class is visible, for two programs started in
// turn, so both see the same machine state.
//
//   startprobe RUNS CLASS_A CMDLINE_A CLASS_B CMDLINE_B
//       times RUNS starts of each (A, B, A, B, ...) after one unmeasured
//       start of each, and prints every time, the medians and B / A.
//   startprobe --visible CLASS
//       exit code 0 when a visible top-level window of CLASS exists.
//
// A program whose window class is "TMinimalWindow" is closed with WM_CLOSE;
// any other is terminated, so no close question can hold the run.
#include "probe.h"
// Needs <windows.h>, which probe.h brings.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TTarget {
    std::wstring cls;
    std::wstring commandLine;
    std::string label;
    std::vector<double> ms;
};

// The executable's base name without ".exe", for labels.
std::string labelOf(const std::wstring& commandLine) {
    int argc = 0;
    std::wstring first = commandLine;
    if (wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &argc)) {
        if (argc > 0) first = argv[0];
        ::LocalFree(argv);
    }
    const std::size_t slash = first.find_last_of(L"\\/");
    if (slash != std::wstring::npos) first.erase(0, slash + 1);
    if (first.size() > 4 && _wcsicmp(first.c_str() + first.size() - 4, L".exe") == 0) first.resize(first.size() - 4);
    return narrow(first);
}

// One start; the time in milliseconds, or a negative value on failure.
double startOnce(const TTarget& t) {
    if (visibleWindowOf(0, t.cls.c_str())) {
        std::fprintf(stderr, "startprobe: a %s window is already there\n", narrow(t.cls).c_str());
        return -1;
    }
    std::wstring cmd = t.commandLine;  // CreateProcessW may write to it
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double start = nowMs();
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "startprobe: cannot start %s (error %lu)\n", t.label.c_str(), ::GetLastError());
        return -1;
    }
    double elapsed = -1;
    HWND hwnd = nullptr;
    while (nowMs() - start < 30000) {
        if ((hwnd = visibleWindowOf(0, t.cls.c_str()))) {
            elapsed = nowMs() - start;
            break;
        }
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;  // ended without a window
        ::Sleep(1);
    }
    if (elapsed < 0) std::fprintf(stderr, "startprobe: no visible %s window\n", narrow(t.cls).c_str());

    bool closed = false;
    if (hwnd && t.cls == L"TMinimalWindow") {
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        closed = ::WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0;
    }
    if (!closed) {
        ::TerminateProcess(pi.hProcess, 0);
        ::WaitForSingleObject(pi.hProcess, 10000);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    // The window of an ended process can linger a moment in the server.
    for (int i = 0; i < 2000 && ::FindWindowW(t.cls.c_str(), nullptr); ++i) ::Sleep(1);
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--visible") return visibleWindowOf(0, argv[2]) ? 0 : 1;
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: startprobe RUNS CLASS_A CMDLINE_A CLASS_B CMDLINE_B\n"
                     "       startprobe --visible CLASS\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    TTarget a{argv[2], argv[3], labelOf(argv[3]), {}};
    TTarget b{argv[4], argv[5], labelOf(argv[5]), {}};

    // Not measured: the first start of each loads its files into the caches.
    if (startOnce(a) < 0 || startOnce(b) < 0) return 1;
    for (int i = 1; i <= runs; ++i) {
        for (TTarget* t : {&a, &b}) {
            const double ms = startOnce(*t);
            if (ms < 0) return 1;
            t->ms.push_back(ms);
            std::printf("run %2d %-16s %8.1f ms\n", i, t->label.c_str(), ms);
            std::fflush(stdout);
        }
    }
    for (const TTarget* t : {&a, &b}) {
        const auto [lo, hi] = std::minmax_element(t->ms.begin(), t->ms.end());
        std::printf("RESULT startup.%s.median_ms=%.1f min_ms=%.1f max_ms=%.1f runs=%d\n", t->label.c_str(),
                    median(t->ms), *lo, *hi, runs);
    }
    std::printf("RESULT startup.ratio.%s_over_%s=%.2f\n", b.label.c_str(), a.label.c_str(),
                median(b.ms) / median(a.ms));
    return 0;
}
