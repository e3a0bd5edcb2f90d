// Find File under the platform: the time from "Find Now" to the final count,
// for two builds of the launcher searched in turn, so both see the same
// machine state.
//
//   findprobe RUNS INI DIR MASK EXPECTED EXE_A EXE_B
//       starts each launcher with INI, opens Find File with Ctrl+F, types
//       MASK and DIR, clicks "Find Now" and waits until the count reads
//       "EXPECTED Found"; one unmeasured search of each first, then RUNS of
//       each (A, B, B, A, A, B, ...). Prints every time, the longest time
//       the window took to answer a message meanwhile, the medians and B / A.
//
// The count is read with WM_GETTEXT; a window that does not answer holds the
// read until it does, so the time taken by each read is how long the window
// kept the user waiting.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "probe.h"

namespace {

struct TTarget {
    std::wstring exe;
    std::string label;
    std::vector<double> ms, stall;
};

// The windows inside `form` (at any depth) of class `cls`.
std::vector<HWND> childrenOf(HWND form, const wchar_t* cls) {
    struct TFind {
        const wchar_t* cls;
        std::vector<HWND> found;
    } find{cls, {}};
    ::EnumChildWindows(
        form,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto& f = *reinterpret_cast<TFind*>(lp);
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (wcscmp(name, f.cls) == 0) f.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// The window inside `form` of class `cls` whose top-left corner is at
// (left, top) of the form's client area.
HWND childAt(HWND form, const wchar_t* cls, int left, int top) {
    for (HWND child : childrenOf(form, cls)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        POINT p{r.left, r.top};
        ::ScreenToClient(form, &p);
        if (p.x == left && p.y == top) return child;
    }
    return nullptr;
}

std::wstring textOf(HWND hwnd, DWORD timeoutMs) {
    wchar_t text[256] = {};
    DWORD_PTR n = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, timeoutMs, &n))
        return L"<no answer>";
    return std::wstring(text, std::min<std::size_t>(n, 255));
}

HWND buttonCaptioned(HWND form, const wchar_t* caption) {
    for (HWND child : childrenOf(form, L"Button"))
        if (textOf(child, 3000) == caption) return child;
    return nullptr;
}

void typeInto(HWND combo, const std::wstring& text) {
    HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ::PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ::PostMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text) ::PostMessageW(edit, WM_CHAR, c, 1);
}

// Ctrl+F as the launcher's thread reads it: this thread shares its input
// state and holds Ctrl down until Find File is there.
HWND openFinder(HWND button, DWORD pid) {
    const DWORD self = ::GetCurrentThreadId();
    const DWORD target = ::GetWindowThreadProcessId(button, nullptr);
    ::AttachThreadInput(self, target, TRUE);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    ::SetKeyboardState(keys);
    const UINT scan = ::MapVirtualKeyW('F', MAPVK_VK_TO_VSC);
    ::PostMessageW(button, WM_KEYDOWN, 'F', 1 | (static_cast<LPARAM>(scan) << 16));
    ::PostMessageW(button, WM_KEYUP, 'F', 1 | (static_cast<LPARAM>(scan) << 16) | (1u << 30) | (1u << 31));
    HWND form = nullptr;
    waitFor([&] { return (form = visibleWindowOf(pid, L"TSearchFrm")) != nullptr; }, 10000, 5);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
    ::SetKeyboardState(keys);
    ::AttachThreadInput(self, target, FALSE);
    return form;
}

// One search; false (with a message) when something did not come up.
bool searchOnce(TTarget& t, const std::wstring& ini, const std::wstring& dir, const std::wstring& mask,
                const std::wstring& expected, bool measured) {
    std::wstring cmd = L"\"" + t.exe + L"\" \"" + ini + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "findprobe: cannot start %s\n", narrow(t.exe).c_str());
        return false;
    }
    bool ok = false;
    HWND main = nullptr;
    HWND form = nullptr;
    if (!waitFor([&] { return (main = visibleWindowOf(pi.dwProcessId, L"TTolvekForm")) != nullptr; }, 20000, 5)) {
        std::fprintf(stderr, "findprobe: %s shows no window\n", t.label.c_str());
    } else if (!(form = openFinder(::FindWindowExW(main, nullptr, L"Button", nullptr), pi.dwProcessId))) {
        std::fprintf(stderr, "findprobe: %s opens no Find File window\n", t.label.c_str());
    } else {
        HWND filter = childAt(form, L"ComboBox", 124, 12);
        HWND startIn = childAt(form, L"ComboBox", 124, 40);
        HWND found = childAt(form, L"Static", 136, 88);
        HWND findNow = buttonCaptioned(form, L"Find Now");
        typeInto(filter, mask);
        typeInto(startIn, dir);
        waitFor([&] { return textOf(filter, 3000) == mask && textOf(startIn, 3000) == dir; }, 10000, 5);
        const double start = nowMs();
        ::PostMessageW(findNow, BM_CLICK, 0, 0);
        double longest = 0;
        std::wstring text;
        ok = waitFor(
            [&] {
                const double before = nowMs();
                text = textOf(found, 120000);
                longest = std::max(longest, nowMs() - before);
                return text == expected;
            },
            180000, 5);
        const double took = nowMs() - start;
        if (!ok)
            std::fprintf(stderr, "findprobe: %s shows \"%s\", not \"%s\"\n", t.label.c_str(), narrow(text).c_str(),
                         narrow(expected).c_str());
        else if (measured) {
            t.ms.push_back(took);
            t.stall.push_back(longest);
            std::printf("%-12s %9.1f ms to the count, the window silent for %8.1f ms at most\n", t.label.c_str(), took,
                        longest);
            std::fflush(stdout);
        }
    }
    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: findprobe RUNS INI DIR MASK EXPECTED EXE_A EXE_B\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    const std::wstring ini = argv[2], dir = argv[3], mask = argv[4];
    const std::wstring expected = std::wstring(argv[5]) + L" Found";
    TTarget a{argv[6], "A", {}, {}}, b{argv[7], "B", {}, {}};
    std::printf("A: %s\nB: %s\n", narrow(a.exe).c_str(), narrow(b.exe).c_str());
    if (!searchOnce(a, ini, dir, mask, expected, false) || !searchOnce(b, ini, dir, mask, expected, false)) return 1;
    std::vector<double> ratios;
    for (int r = 0; r < runs; ++r) {
        // A B, then B A: neither always goes first.
        TTarget& first = r % 2 ? b : a;
        TTarget& second = r % 2 ? a : b;
        if (!searchOnce(first, ini, dir, mask, expected, true) || !searchOnce(second, ini, dir, mask, expected, true))
            return 1;
        ratios.push_back(b.ms.back() / a.ms.back());
    }
    std::printf(
        "RESULT find.a_median_ms=%.1f find.b_median_ms=%.1f find.a_silent_median_ms=%.1f "
        "find.b_silent_median_ms=%.1f find.b_over_a_median=%.2f runs=%d\n",
        median(a.ms), median(b.ms), median(a.stall), median(b.stall), median(ratios), runs);
    return 0;
}
