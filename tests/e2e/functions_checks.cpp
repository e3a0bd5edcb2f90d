// The built-in functions with the real executables: the start without a
// configuration file, the Help window and its sample file, the version and
// time/date messages, and the system meter.
#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 20s;
constexpr auto kUiTimeout = 5s;

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + Show(item);
    return "[" + out + "]";
}

std::string describe(const RECT& r) {
    return "left " + std::to_string(r.left) + ", top " + std::to_string(r.top) + ", " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

std::wstring windowsDirectory() {
    wchar_t buf[MAX_PATH + 1] = {};
    const UINT n = ::GetWindowsDirectoryW(buf, MAX_PATH + 1);
    return std::wstring(buf, n <= MAX_PATH ? n : 0);
}

bool noBoxOf(DWORD pid) {
    return TopWindows(pid, L"#32770", true).empty();
}

HWND childWithText(HWND parent, const std::string& text) {
    for (HWND child : ChildWindows(parent, L""))
        if (TextOf(child) == text) return child;
    return nullptr;
}

// The 123 keys of the sample file, in the order the program writes them.
struct TKey {
    std::wstring section, key, value;
};

std::vector<TKey> sampleKeys() {
    std::vector<TKey> keys = {{L"ALLINFO", L"TotalEntries", L"6"},
                              {L"ALLINFO", L"TotalSubEntries", L"9"},
                              {L"ALLINFO", L"TotalLongEntries", L"6"}};
    for (int i = 1; i <= 10; ++i) keys.push_back({L"ALLINFO", L"Legacy" + std::to_wstring(i), L""});
    for (int i = 1; i <= 10; ++i) keys.push_back({L"SEARCH", L"Filter" + std::to_wstring(i), L""});
    for (int i = 1; i <= 10; ++i) keys.push_back({L"SEARCH", L"StartIn" + std::to_wstring(i), L""});
    struct TEntry {
        const wchar_t *section, *name, *progName, *param, *shortCut;
        int n;
    };
    const TEntry entries[] = {
        {L"PROGRAMS", L"Notepad", L"NOTEPAD.EXE", L"", L"Ctrl+N", 1},
        {L"PROGRAMS", L"Write", L"WRITE.EXE", L"", L"Ctrl+W", 2},
        {L"PROGRAMS", L"Dos Prompt", L"DOSPRMPT.PIF", L"", L"", 3},
        {L"PROGRAMS", L"File Manager", L"WINFILE.EXE", L"$C:\\", L"", 4},
        {L"PROGRAMS", L"System Programs", L"SuperMenu", L"1", L"5", 5},
        {L"PROGRAMS", L"Accessories", L"SuperMenu", L"6", L"9", 6},
        {L"SUBPROGRAMS", L"Control Panels", L"CONTROL.EXE", L"", L"", 1},
        {L"SUBPROGRAMS", L"Print Manager", L"PRINTMAN.EXE", L"", L"", 2},
        {L"SUBPROGRAMS", L"System Editor", L"SYSEDIT.EXE", L"", L"", 3},
        {L"SUBPROGRAMS", L"Registration Editor", L"REGEDIT.EXE", L"", L"", 4},
        {L"SUBPROGRAMS", L"Advanced RegEdit", L"REGEDIT.EXE", L"/v", L"", 5},
        {L"SUBPROGRAMS", L"Paint Brush", L"PBRUSH.EXE", L"", L"", 6},
        {L"SUBPROGRAMS", L"Calculator", L"CALC.EXE", L"", L"", 7},
        {L"SUBPROGRAMS", L"Clock", L"CLOCK.EXE", L"", L"", 8},
        {L"SUBPROGRAMS", L"Unknown Options", L"LongMenu", L"1", L"2", 9},
        {L"LONGPROGRAMS", L"Task Manager", L"TASKMAN.EXE", L"", L"", 1},
        {L"LONGPROGRAMS", L"Control Panel Options", L"LongMenu", L"3", L"6", 2},
        {L"LONGPROGRAMS", L"Fonts", L"CONTROL.EXE", L"Fonts", L"", 3},
        {L"LONGPROGRAMS", L"Printers", L"CONTROL.EXE", L"Printers", L"", 4},
        {L"LONGPROGRAMS", L"Desktop", L"CONTROL.EXE", L"Desktop", L"", 5},
        {L"LONGPROGRAMS", L"Mouse", L"CONTROL.EXE", L"Mouse", L"", 6},
    };
    for (const TEntry& e : entries) {
        const std::wstring n = std::to_wstring(e.n);
        keys.push_back({e.section, L"Name" + n, e.name});
        keys.push_back({e.section, L"ProgName" + n, e.progName});
        keys.push_back({e.section, L"Param" + n, e.param});
        keys.push_back({e.section, L"ShortCut" + n, e.shortCut});
    }
    const TKey config[] = {{L"CONFIG", L"Caption", L"&Tolvek"}, {L"CONFIG", L"Left", L"0"},
                           {L"CONFIG", L"Top", L"0"},           {L"CONFIG", L"StayOnTop", L"1"},
                           {L"CONFIG", L"AlwaysPopup", L"0"},   {L"CONFIG", L"Shell", L"0"}};
    keys.insert(keys.end(), std::begin(config), std::end(config));
    return keys;
}

// What the platform's own profile function makes of the same writes.
bool writeReference(const std::wstring& path, std::string& bytes, std::string& why) {
    ::DeleteFileW(path.c_str());
    const auto keys = sampleKeys();
    if (keys.size() != 123) {
        why = std::to_string(keys.size()) + " keys in the list";
        return false;
    }
    for (const TKey& k : keys)
        if (!::WritePrivateProfileStringW(k.section.c_str(), k.key.c_str(), k.value.c_str(), path.c_str())) {
            why = "WritePrivateProfileString failed at " + Narrow(k.key);
            return false;
        }
    bytes = ReadFileBytes(path);
    return true;
}

// The bytes once the program has stopped writing them. The file is only
// looked at until then: a reader's open handle would make the program's
// next write fail, as it would the platform's own profile writes.
std::string settledBytes(const std::wstring& path) {
    auto stamp = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::string();
        return std::to_string(data.nFileSizeLow) + "/" + std::to_string(data.ftLastWriteTime.dwLowDateTime) + "/" +
               std::to_string(data.ftLastWriteTime.dwHighDateTime);
    };
    std::string last = stamp();
    int unchanged = 0;
    WaitUntil(
        [&] {
            ::Sleep(100);
            const std::string now = stamp();
            unchanged = now == last ? unchanged + 1 : 0;
            last = now;
            return unchanged >= 8;
        },
        10s);
    return ReadFileBytes(path);
}

// Reads the top level of a popup menu; where that is impossible across
// processes, compares its pixels with a menu of the expected items drawn by
// this process at the same place.
void checkMenuItems(TReport& report, const std::string& name, HWND menu, const std::vector<std::string>& expected,
                    const std::wstring& scratch) {
    RECT r{};
    ::GetWindowRect(menu, &r);
    std::vector<std::string> captions;
    std::string why;
    if (ReadMenuCaptions(menu, captions, why)) {
        report.Check(name, captions == expected, "got " + join(captions) + ", expected " + join(expected));
        return;
    }
    const TImage shown = CaptureSettled(menu);
    CloseMenus(kUiTimeout);
    TImage reference;
    if (!CaptureReferenceMenu(expected, {r.left, r.top}, reference, why)) {
        report.Check(name, false, why);
        return;
    }
    const int diff = DifferingPixels(shown, reference);
    if (diff != 0) {
        SaveBitmap(JoinPath(scratch, Widen(name) + L"-shown.bmp"), shown);
        SaveBitmap(JoinPath(scratch, Widen(name) + L"-expected.bmp"), reference);
    }
    report.Check(name, diff == 0,
                 (diff < 0 ? "the menu's size differs from that of a menu of " + join(expected)
                           : std::to_string(diff) + " pixels differ from a menu of " + join(expected)) +
                     " (both saved as " + name + "-*.bmp in the scratch directory)");
}

}  // namespace

// f. No argument and no TOLVEK.INI: the message, the Help window, the sample
// file at `sample` (as the platform writes the same keys), the end; the next
// start uses the sample.
void SampleConfiguration(TReport& report, const TTargets& targets, const std::string& name,
                         const std::wstring& sample) {
    ::DeleteFileW(sample.c_str());
    // The sample goes again however the checks end; the processes that may
    // hold it end before this does.
    struct TRemove {
        std::wstring path;
        ~TRemove() { ::DeleteFileW(path.c_str()); }
    } removeSample{sample};
    if (!report.Check(name + ".no-file-at-start", !FileExists(sample), "cannot delete " + Narrow(sample))) return;
    std::string reference, why;
    if (!report.Check(name + ".reference",
                      writeReference(JoinPath(targets.scratch, L"sample-reference.ini"), reference, why), why))
        return;

    {
        TProcess process;
        std::string error;
        if (!report.Check(name + ".starts", process.Start(targets.full, {}, &error), error)) return;
        HWND dialog = WaitForTopWindow(process.Id(), L"#32770", true, kStartTimeout);
        if (!report.Check(name + ".missing-message", dialog != nullptr, "no message box within 20 s")) return;
        TDialogBox box = ReadDialogBox(dialog);
        report.Check(name + ".missing-text",
                     box.caption == "Error" && box.text == "Couldn't find a \"TOLVEK.INI\" file!",
                     "caption " + Show(box.caption) + ", text " + Show(box.text));
        PressDialogButton(box, "OK");

        HWND help = WaitForTopWindow(process.Id(), L"TfrmHelp", true, kUiTimeout);
        if (!report.Check(name + ".help-window", help != nullptr, "no visible TfrmHelp window within 5 s of OK"))
            return;
        report.Check(name + ".help-caption", TextOf(help) == "Help, About, Etc", "caption " + Show(TextOf(help)));
        RECT outer{}, client{};
        ::GetWindowRect(help, &outer);
        ::GetClientRect(help, &client);
        report.Check(name + ".help-place",
                     outer.left == 276 && outer.top == 150 && client.right == 513 && client.bottom == 267,
                     "window " + describe(outer) + ", client " + describe(client) +
                         ", expected the window at 276, 150 and a client area of 513x267");
        HWND sampleButton = childWithText(help, "Sample INI");
        HWND dismiss = childWithText(help, "Dismiss");
        if (!report.Check(name + ".buttons", sampleButton && dismiss, "no child reads \"Sample INI\" or \"Dismiss\""))
            return;

        ::PostMessageW(sampleButton, BM_CLICK, 0, 0);
        const bool written = WaitUntil([&] { return FileExists(sample); }, kUiTimeout);
        if (!report.Check(name + ".file-written", written, Narrow(sample) + " does not exist 5 s after the press"))
            return;
        const std::string bytes = settledBytes(sample);
        report.Check(name + ".bytes-as-platform-writes", bytes == reference, FirstDifference(bytes, reference));
        report.Check(name + ".no-message-on-success", noBoxOf(process.Id()),
                     "a message box is open after the first press");

        // A second press refuses to overwrite and changes nothing.
        ::PostMessageW(sampleButton, BM_CLICK, 0, 0);
        dialog = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
        if (report.Check(name + ".second-press-message", dialog != nullptr, "no message box within 5 s")) {
            box = ReadDialogBox(dialog);
            report.Check(
                name + ".second-press-text",
                box.caption == "Error" && box.text == "You Already have a \"TOLVEK.INI\" file!  I can't overwrite it!",
                "caption " + Show(box.caption) + ", text " + Show(box.text));
            std::string detail;
            const std::string icon = SystemIconOf(box.icon, detail);
            report.Check(name + ".second-press-icon", icon == "exclamation",
                         "the icon is " + icon + " (" + detail + ")");
            PressDialogButton(box, "OK");
            WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout);
        }
        report.Check(name + ".second-press-keeps-file", ReadFileBytes(sample) == bytes,
                     FirstDifference(ReadFileBytes(sample), bytes));

        ::PostMessageW(dismiss, BM_CLICK, 0, 0);
        DWORD code = 0;
        const bool ended = process.WaitExit(10s, &code);
        report.Check(name + ".dismiss-ends", ended && code == 0,
                     ended ? "exit code " + std::to_string(code) : "still running 10 s after Dismiss");
    }

    // The next start without an argument finds the sample.
    TProcess process;
    HWND form = StartLauncher(report, name + ".restart", process, targets.full, {});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (button) {
        report.Check(name + ".restart.caption", TextOf(button) == "&Tolvek", "button reads " + Show(TextOf(button)));
        report.Check(name + ".restart.on-top", (::GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
                     "StayOnTop=1, yet the window is not topmost");
        ::PostMessageW(button, BM_CLICK, 0, 0);
        HWND menu = nullptr;
        if (report.Check(name + ".restart.menu-opens",
                         WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout),
                         "no menu within 5 s of the click"))
            checkMenuItems(report, name + ".restart.menu-items", menu,
                           {"Notepad\tCtrl+N", "Write\tCtrl+W", "Dos Prompt", "File Manager",
                            // A group's one-digit range end is its shortcut.
                            "System Programs\t5>", "Accessories\t9>", "-", "Run\tCtrl+R", "Functions>", "-", "&Tolvek>",
                            "S&hutdown>"},
                           targets.scratch);
        CloseMenus(kUiTimeout);
    }
    process.Kill();
    ::DeleteFileW(sample.c_str());
    report.Check(name + ".cleaned-up", !FileExists(sample), "cannot delete " + Narrow(sample));
}

namespace {

std::string localeText(LCTYPE type) {
    wchar_t buf[128] = {};
    const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 128);
    return n > 0 ? Narrow(std::wstring(buf, static_cast<std::size_t>(n - 1))) : std::string();
}

// "<Month> dd, yyyy (hh:mm:ss AM|PM)" with the locale's month name and time
// separator.
std::string timeText(const SYSTEMTIME& t) {
    const std::string sep = localeText(LOCALE_STIME);
    const int hour = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    char digits[64];
    std::snprintf(digits, sizeof digits, " %02u, %04u (%02d", t.wDay, t.wYear, hour);
    char minutes[8], seconds[8];
    std::snprintf(minutes, sizeof minutes, "%02u", t.wMinute);
    std::snprintf(seconds, sizeof seconds, "%02u", t.wSecond);
    return localeText(LOCALE_SMONTHNAME1 + t.wMonth - 1) + digits + sep + minutes + sep + seconds +
           (t.wHour < 12 ? " AM)" : " PM)");
}

SYSTEMTIME shifted(const SYSTEMTIME& t, int seconds) {
    FILETIME f{};
    ::SystemTimeToFileTime(&t, &f);
    ULARGE_INTEGER u{};
    u.LowPart = f.dwLowDateTime;
    u.HighPart = f.dwHighDateTime;
    u.QuadPart += static_cast<long long>(seconds) * 10'000'000;
    f.dwLowDateTime = u.LowPart;
    f.dwHighDateTime = u.HighPart;
    SYSTEMTIME out{};
    ::FileTimeToSystemTime(&f, &out);
    return out;
}

// g. The version box from the menu, the time/date box from a META entry.
void messages(TReport& report, const TTargets& targets, const std::wstring& ini) {
    TProcess process;
    HWND form = StartLauncher(report, "functions.messages", process, targets.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;

    // &Tolvek opens with "Help" selected; Right opens it at "Quick Help";
    // two steps down is "Version".
    ChooseFromMenu(report, "functions.version", button,
                   {{true, 't'}, {false, VK_RIGHT}, {false, VK_DOWN}, {false, VK_DOWN}, {false, VK_RETURN}});
    HWND dialog = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    if (report.Check("functions.version.message", dialog != nullptr, "no message box within 5 s of the menu choice")) {
        TDialogBox box = ReadDialogBox(dialog);
        report.Check("functions.version.caption", box.caption == "About", "caption " + Show(box.caption));
        report.Check("functions.version.text", box.text == "Windows 3.1 Tolvek Button v1.25 (18FEB1999)",
                     "text " + Show(box.text));
        report.Check("functions.version.ok-only", ButtonList(box) == "[\"OK\"]", "buttons " + ButtonList(box));
        std::string detail;
        const std::string icon = SystemIconOf(box.icon, detail);
        report.Check("functions.version.information-icon", icon == "information",
                     "the icon is " + icon + " (" + detail + ")");
        PressDialogButton(box, "OK");
        report.Check("functions.version.ok-closes", WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout),
                     "the box is still open");
    }
    CloseMenus(kUiTimeout);

    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    ChooseFromMenu(report, "functions.time", button, {{true, 'n'}});
    dialog = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    ::GetLocalTime(&after);
    if (!report.Check("functions.time.message", dialog != nullptr, "no message box within 5 s of the menu choice"))
        return;
    TDialogBox box = ReadDialogBox(dialog);
    report.Check("functions.time.caption", box.caption == "Current Time", "caption " + Show(box.caption));
    // Any second from just before the choice to just after the box appeared.
    bool matches = false;
    std::string range;
    for (int s = -1;; ++s) {
        SYSTEMTIME t = shifted(before, s);
        if (timeText(t) == box.text) matches = true;
        if (s == -1) range = timeText(t);
        FILETIME ft{}, fa{};
        ::SystemTimeToFileTime(&t, &ft);
        ::SystemTimeToFileTime(&after, &fa);
        if (::CompareFileTime(&ft, &fa) > 0 || s > 120) {
            range += " to " + timeText(t);
            break;
        }
    }
    report.Check("functions.time.text", matches, "text " + Show(box.text) + ", expected one of " + range);
    std::string detail;
    const std::string icon = SystemIconOf(box.icon, detail);
    report.Check("functions.time.information-icon", icon == "information", "the icon is " + icon + " (" + detail + ")");
    PressDialogButton(box, "OK");
    report.Check("functions.time.ok-closes", WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout),
                 "the box is still open");
}

// Checks an open system meter and closes it with Enter, or with a click on
// the window itself.
HWND checkMeter(TReport& report, const std::string& name, DWORD pid, HWND previous, bool byClick = false) {
    HWND meter = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid, L"TfrmSystem", true))
                if (w != previous) meter = w;
            return meter != nullptr;
        },
        kUiTimeout);
    if (!report.Check(name + ".opens", meter != nullptr, "no new visible TfrmSystem window within 5 s")) return nullptr;
    RECT outer{}, client{};
    ::GetWindowRect(meter, &outer);
    ::GetClientRect(meter, &client);
    report.Check(name + ".place",
                 outer.left == 60 && outer.top == 63 && client.right == 114 && client.bottom == 88 &&
                     outer.right - outer.left == 114 && outer.bottom - outer.top == 88,
                 "window " + describe(outer) + ", client " + describe(client) +
                     ", expected a borderless 114x88 window at 60, 63");
    const auto buttons = ChildWindows(meter, L"Button");
    TComScope com;
    const std::string named = buttons.empty() ? "no button" : AccessibleName(TAccessible(buttons.front()).p);
    report.Check(name + ".button-named", named == "OK", Show(named));
    if (byClick) {
        // The frame at the edge, beside every label.
        ::PostMessageW(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        ::PostMessageW(meter, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    } else {
        // Enter where the keyboard focus is, as a user's key would arrive.
        PostKey(FocusOf(meter), VK_RETURN);
    }
    const bool closed = WaitUntil([&] { return !::IsWindow(meter) || !::IsWindowVisible(meter); }, kUiTimeout);
    report.Check(name + (byClick ? ".click-closes" : ".enter-closes"), closed, "the meter is still open 5 s after it");
    return meter;
}

// h. The system meter from its shortcut F1 and from a META entry: each time
// a fresh window at its fixed place, closed by Enter and by a click on it.
void systemMeter(TReport& report, const TTargets& targets, const std::wstring& ini) {
    TProcess process;
    HWND form = StartLauncher(report, "functions.meter", process, targets.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    PostKey(button, VK_F1);
    HWND first = checkMeter(report, "functions.meter.f1", process.Id(), nullptr);
    if (!first) return;
    ChooseFromMenu(report, "functions.meter.meta", button, {{true, 'm'}});
    checkMeter(report, "functions.meter.meta", process.Id(), first, true);
    report.Check("functions.meter.no-message", noBoxOf(process.Id()), "a message box is open");
}

}  // namespace

void RunFunctionsChecks(TReport& report, const TTargets& targets) {
    SampleConfiguration(report, targets, "functions.sample", JoinPath(windowsDirectory(), L"TOLVEK.INI"));
    CloseMenus(kUiTimeout);
    const std::wstring ini = JoinPath(targets.scratch, L"functions.ini");
    if (!report.Check(
            "functions.write-config",
            WriteFileBytes(ini, crlf({"[ALLINFO]", "TotalEntries=2", "[PROGRAMS]", "Name1=Time &Now",
                                      "ProgName1=METATIMEDATE", "Param1=", "Name2=&Meter", "ProgName2=METASYSTEMMETER",
                                      "Param2=", "[CONFIG]", "Caption=Funcs", "Left=500", "Top=150", "QuickClose=1"})),
            "cannot write functions.ini"))
        return;
    messages(report, targets, ini);
    CloseMenus(kUiTimeout);
    systemMeter(report, targets, ini);
}

}  // namespace e2e
