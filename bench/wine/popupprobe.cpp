// Popup latency under the platform: from a mouse click on a program's button
// to a visible popup menu of that program, for several programs that run side
// by side and are clicked in turn, so all see the same machine state.
//
//   popupprobe RUNS LABEL CLASS CMDLINE [LABEL CLASS CMDLINE ...]
//
// starts each program, waits for its visible window of CLASS, then clicks
// RUNS rounds (the first contestant of a round moves on by one each round;
// one unmeasured click of each first), closing each menu with Escape. Prints
// every time, the medians and each median over the one before it. The
// programs are terminated at the end.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "probe.h"

namespace {

struct TContestant {
    std::string label;
    std::wstring cls;
    std::wstring commandLine;
    PROCESS_INFORMATION process{};
    POINT click{};
    std::vector<double> ms;
};

bool menuShown(const TContestant& c) {
    return visibleWindowOf(c.process.dwProcessId, L"#32768") != nullptr;
}

bool menuGone(const TContestant& c) {
    return !menuShown(c);
}

bool start(TContestant& c) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = c.commandLine;  // CreateProcessW may write to it
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &c.process)) {
        std::fprintf(stderr, "popupprobe: cannot start %s (error %lu)\n", c.label.c_str(), ::GetLastError());
        return false;
    }
    HWND window = nullptr;
    for (const double t0 = nowMs(); !window && nowMs() - t0 < 120000; ::Sleep(50))
        window = visibleWindowOf(c.process.dwProcessId, c.cls.c_str());
    HWND button = window ? ::FindWindowExW(window, nullptr, L"Button", nullptr) : nullptr;
    RECT r{};
    if (!button || !::GetWindowRect(button, &r)) {
        std::fprintf(stderr, "popupprobe: no visible %s window with a button\n", narrow(c.cls).c_str());
        return false;
    }
    c.click = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return true;
}

// One click; the time to a visible menu in milliseconds, negative on failure.
double clickOnce(const TContestant& c) {
    if (!menuGone(c)) return -1;
    ::SetCursorPos(c.click.x, c.click.y);
    ::Sleep(50);  // the pointer's arrival is not part of the click
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    const double t0 = nowMs();
    ::SendInput(2, input, sizeof(INPUT));
    if (!waitFor([&] { return menuShown(c); }, 60000)) {
        std::fprintf(stderr, "popupprobe: %s showed no menu\n", c.label.c_str());
        return -1;
    }
    const double elapsed = nowMs() - t0;
    for (int i = 0; i < 100 && !menuGone(c); ++i) {
        if (HWND menu = visibleWindowOf(c.process.dwProcessId, L"#32768")) {
            ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 1);
            ::PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 1 | (3u << 30));
        }
        ::Sleep(100);
    }
    if (!menuGone(c)) return -1;
    ::Sleep(300);  // the program returns from its menu loop
    return elapsed;
}

int run(int runs, std::vector<TContestant>& all) {
    for (TContestant& c : all)
        if (!start(c)) return 1;
    for (TContestant& c : all)  // not measured: the first menu of each loads its code
        if (clickOnce(c) < 0) return 1;
    const std::size_t n = all.size();
    for (int round = 1; round <= runs; ++round) {
        for (std::size_t k = 0; k < n; ++k) {
            TContestant& c = all[(static_cast<std::size_t>(round) + k) % n];
            const double ms = clickOnce(c);
            if (ms < 0) return 1;
            c.ms.push_back(ms);
            std::printf("run %2d %-16s %8.1f ms\n", round, c.label.c_str(), ms);
            std::fflush(stdout);
        }
    }
    for (const TContestant& c : all) {
        const auto [lo, hi] = std::minmax_element(c.ms.begin(), c.ms.end());
        std::printf("RESULT popup.%s.median_ms=%.1f min_ms=%.1f max_ms=%.1f runs=%d\n", c.label.c_str(), median(c.ms),
                    *lo, *hi, runs);
    }
    for (std::size_t i = 1; i < n; ++i)
        std::printf("RESULT popup.ratio.%s_over_%s=%.2f\n", all[i].label.c_str(), all[i - 1].label.c_str(),
                    median(all[i].ms) / median(all[i - 1].ms));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: popupprobe RUNS LABEL CLASS CMDLINE [LABEL CLASS CMDLINE ...]\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<TContestant> all;
    for (int i = 2; i + 2 < argc; i += 3) all.push_back({narrow(argv[i]), argv[i + 1], argv[i + 2], {}, {}, {}});
    const int rc = run(runs, all);
    for (TContestant& c : all) {
        if (!c.process.hProcess) continue;
        ::TerminateProcess(c.process.hProcess, 0);
        ::WaitForSingleObject(c.process.hProcess, 10000);
        ::CloseHandle(c.process.hThread);
        ::CloseHandle(c.process.hProcess);
    }
    return rc;
}
