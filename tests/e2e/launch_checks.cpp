// Running entries with the real executables: menu entries start the
// recorder (tolvek-recorder.exe) with their parameters and directory, failed
// and unknown entries show their messages, the Run dialog starts and
// remembers a typed command, and a "Startup" group runs at start-up.
// Also the helpers that the functions group shares (declared in checks.h).
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "checks.h"

namespace e2e {

using namespace std::chrono_literals;

namespace {
constexpr auto kStartTimeout = 20s;
constexpr auto kUiTimeout = 5s;
}  // namespace

// ---- shared with functions_checks.cpp ----

TDialogBox ReadDialogBox(HWND window) {
    TDialogBox box;
    box.window = window;
    box.caption = TextOf(window);
    for (HWND child : ChildWindows(window, L"Static")) {
        if (!::IsWindowVisible(child)) continue;
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &icon);
            if (icon) box.icon = child;
            continue;
        }
        std::string text = TextOf(child);
        if (text.size() > box.text.size()) box.text = text;
    }
    for (HWND child : ChildWindows(window, L"Button"))
        if (::IsWindowVisible(child)) box.buttons.emplace_back(child, TextOf(child));
    return box;
}

std::string ButtonList(const TDialogBox& box) {
    std::string out;
    for (const auto& [hwnd, text] : box.buttons) out += (out.empty() ? "" : ", ") + Show(text);
    return "[" + out + "]";
}

bool PressDialogButton(const TDialogBox& box, const std::string& caption) {
    for (const auto& [hwnd, text] : box.buttons) {
        if (text != caption) continue;
        const int id = ::GetDlgCtrlID(hwnd);
        return ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    }
    return false;
}

std::string SystemIconOf(HWND iconStatic, std::string& detail) {
    if (!iconStatic) return "none";
    const TImage shown = CaptureSettled(iconStatic);
    if (shown.pixels.empty()) {
        detail = "the icon could not be captured";
        return "unknown";
    }
    // The system's icons drawn here on the box's background; the one that
    // draws the same pixels is the one shown.
    struct TCandidate {
        const char* name;
        LPCWSTR id;
    };
    const TCandidate candidates[] = {{"stop", IDI_HAND},
                                     {"exclamation", IDI_EXCLAMATION},
                                     {"information", IDI_ASTERISK},
                                     {"question", IDI_QUESTION}};
    std::string best = "unknown";
    int bestDiff = -1;
    for (const TCandidate& c : candidates) {
        HICON icon = ::LoadIconW(nullptr, c.id);
        HDC screen = ::GetDC(nullptr);
        HDC memory = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, shown.width, shown.height);
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        const unsigned bg = shown.pixels.front();
        HBRUSH brush = ::CreateSolidBrush(RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF));
        RECT all{0, 0, shown.width, shown.height};
        ::FillRect(memory, &all, brush);
        ::DeleteObject(brush);
        ::DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
        TImage drawn;
        drawn.width = shown.width;
        drawn.height = shown.height;
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < shown.width; ++x) {
                const COLORREF px = ::GetPixel(memory, x, y);
                drawn.pixels.push_back((GetRValue(px) << 16) | (GetGValue(px) << 8) | GetBValue(px));
            }
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(nullptr, screen);
        const int diff = DifferingPixels(shown, drawn);
        detail += std::string(detail.empty() ? "" : ", ") + c.name + " differs in " + std::to_string(diff) + " pixels";
        if (diff >= 0 && (bestDiff < 0 || diff < bestDiff)) {
            bestDiff = diff;
            best = c.name;
        }
    }
    return best;
}

// The program part of a command line (quotes taken off) and what follows it
// after the one separating blank.
void splitCommandLine(const std::string& line, std::string& program, std::string& tail) {
    std::size_t end;
    if (!line.empty() && line.front() == '"') {
        end = line.find('"', 1);
        program = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        end = end == std::string::npos ? line.size() : end + 1;
    } else {
        end = std::min(line.find(' '), line.size());
        program = line.substr(0, end);
    }
    tail = end < line.size() && line[end] == ' ' ? line.substr(end + 1) : line.substr(end);
}

HWND StartLauncher(TReport& report, const std::string& name, TProcess& process, const std::wstring& exe,
                   const std::vector<std::wstring>& args) {
    for (int attempt = 1;; ++attempt) {
        std::string error;
        if (!process.Start(exe, args, &error)) {
            report.Check(name + ".starts", false, error);
            return nullptr;
        }
        if (HWND form = WaitForTopWindow(process.Id(), L"TTolvekForm", true, kStartTimeout)) {
            report.Check(name + ".window-appears", true, "");
            return form;
        }
        // What there is instead: the process's own windows, and any dialog on
        // the screen (a message box, or the system's report of a crash).
        std::string seen;
        for (HWND w : TopWindows(process.Id(), L"", false))
            seen += " " + Narrow(ClassOf(w)) + (::IsWindowVisible(w) ? " (visible) " : " ") + Show(TextOf(w)) + ";";
        for (HWND w : TopWindows(0, L"#32770", true)) seen += " a dialog " + Show(TextOf(w)) + ";";
        // Under Wine a start has once, in a full run, shown nothing at all for
        // 20 s; it is said, and started once more.
        const bool nothingShown = process.Running() && TopWindows(process.Id(), L"", true).empty() &&
                                  TopWindows(0, L"#32770", true).empty();
        if (attempt == 1 && nothingShown) {
            report.Note(name + ": nothing shown 20 s after the start (windows:" + seen + "); started once more");
            continue;
        }
        report.Check(name + ".window-appears", false,
                     std::string("no visible TTolvekForm window within 20 s") +
                         (process.Running() ? "" : " and the process has ended") + ", windows:" + seen);
        return nullptr;
    }
}

HWND ButtonOf(HWND form) {
    auto buttons = ChildWindows(form, L"Button");
    return buttons.empty() ? nullptr : buttons.front();
}

bool ChooseFromMenu(HWND button, const std::vector<TMenuKey>& keys, std::chrono::milliseconds* took) {
    const auto clicked = std::chrono::steady_clock::now();
    ::PostMessageW(button, BM_CLICK, 0, 0);
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout)) return false;
    if (took) *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - clicked);
    for (const TMenuKey& key : keys) {
        // A submenu opened by the last key gets its own window; keys go to
        // the menu loop, which reads them from any of its windows.
        if (HWND now = VisibleMenuWindow()) menu = now;
        if (key.isChar)
            PostChar(menu, static_cast<wchar_t>(key.code));
        else
            PostKey(menu, key.code);
        ::Sleep(150);
    }
    return true;
}

bool ChooseFromMenu(TReport& report, const std::string& name, HWND button, const std::vector<TMenuKey>& keys) {
    return report.Check(name + ".menu-opens", ChooseFromMenu(button, keys), "no menu within 5 s of the click");
}

HWND FocusOf(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == top || ::IsChild(top, info.hwndFocus)))
        return info.hwndFocus;
    return top;
}

std::wstring ProgramBeside(const wchar_t* name) {
    wchar_t buf[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    std::wstring path(buf, n);
    const auto slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + name;
}

namespace {

// ---- the launch group ----

struct TRun {
    std::string commandLine;
    std::string directory;
    unsigned long long created = 0;
};

std::vector<TRun> readRuns(const std::wstring& log) {
    std::vector<TRun> runs;
    const std::string bytes = ReadFileBytes(log);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) break;  // a line still being written
        const std::string line = bytes.substr(at, end - at);
        at = end + 2;
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? std::string::npos : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        runs.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1),
                        std::strtoull(line.c_str() + tab2 + 1, nullptr, 10)});
    }
    return runs;
}

std::vector<TRun> waitForRuns(const std::wstring& log, std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<TRun> runs;
    WaitUntil(
        [&] {
            runs = readRuns(log);
            return runs.size() >= count;
        },
        timeout);
    return runs;
}


std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string describeRun(const TRun& run) {
    return "command line " + Show(run.commandLine) + ", directory " + Show(run.directory);
}

// Checks one recorded run: the recorder itself, the parameters after it and
// the directory it started in (paths compare without regard to case).
void checkRun(TReport& report, const std::string& name, const std::vector<TRun>& runs, std::size_t index,
              const std::string& recorder, const std::string& tail, const std::string& directory) {
    if (!report.Check(name + ".recorded", runs.size() > index,
                      "the recorder logged " + std::to_string(runs.size()) + " runs, expected at least " +
                          std::to_string(index + 1)))
        return;
    const TRun& run = runs[index];
    std::string program, gotTail;
    splitCommandLine(run.commandLine, program, gotTail);
    report.Check(name + ".program", lower(program) == lower(recorder),
                 "started " + Show(program) + ", expected " + Show(recorder));
    report.Check(name + ".parameters", gotTail == tail,
                 "parameters " + Show(gotTail) + ", expected " + Show(tail) + " (" + describeRun(run) + ")");
    report.Check(name + ".directory", lower(run.directory) == lower(directory),
                 "directory " + Show(run.directory) + ", expected " + Show(directory));
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

std::wstring withoutBlanks(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos) return path;
    // The 8.3 form, where the file system has one: an entry's program name
    // ends at its first blank.
    wchar_t buf[MAX_PATH * 4] = {};
    const DWORD n = ::GetShortPathNameW(path.c_str(), buf, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(buf, n) : path;
}

struct TSetup {
    std::wstring recorder;  // without blanks
    std::wstring scratch;
    std::wstring full;
};

void useLog(const std::wstring& log) {
    ::DeleteFileW(log.c_str());
    ::SetEnvironmentVariableW(L"TOLVEK_RECORDER_LOG", log.c_str());
}

TDialogBox waitForBox(DWORD pid) {
    HWND dialog = WaitForTopWindow(pid, L"#32770", true, kUiTimeout);
    return dialog ? ReadDialogBox(dialog) : TDialogBox{};
}

bool noBoxOf(DWORD pid) {
    return TopWindows(pid, L"#32770", true).empty();
}

// The entries of checks a, b and c, with the window at a known place.
std::string entriesConfig(const TSetup& s, const std::wstring& wd) {
    const std::string rec = Narrow(s.recorder);
    return crlf({"[ALLINFO]",
                 "TotalEntries=4",
                 "[PROGRAMS]",
                 "Name1=&Plain",
                 "ProgName1=" + rec,
                 "Param1=a b",
                 "Name2=&Dollar",
                 "ProgName2=" + rec,
                 "Param2=x $" + Narrow(wd),
                 "Name3=&Missing",
                 "ProgName3=C:\\NOSUCH\\X.EXE",
                 "Param3=$" + Narrow(wd),
                 "Name4=&Foo",
                 "ProgName4=METAFOO",
                 "Param4=",
                 "[CONFIG]",
                 "Caption=Launch",
                 "Left=200",
                 "Top=150",
                 "QuickClose=1"});
}

// a. Entries start the recorder with their parameters, in their directory
// with "$" and in C:\ without; the launcher is reset after each start.
void menuEntries(TReport& report, const TSetup& s, const std::wstring& ini, const std::wstring& wd) {
    const std::wstring log = JoinPath(s.scratch, L"launch-entries.log");
    useLog(log);
    TProcess process;
    HWND form = StartLauncher(report, "launch.entries", process, s.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    const std::string rec = Narrow(s.recorder);

    ChooseFromMenu(report, "launch.entries.dollar", button, {{true, 'd'}});
    auto runs = waitForRuns(log, 1, 10s);
    // The space before "$" stays at the end of the parameters.
    checkRun(report, "launch.entries.dollar", runs, 0, rec, "x ", Narrow(wd));

    ChooseFromMenu(report, "launch.entries.plain-after-dollar", button, {{true, 'p'}});
    runs = waitForRuns(log, 2, 10s);
    checkRun(report, "launch.entries.plain-after-dollar", runs, 1, rec, "a b", "C:\\");
    report.Check("launch.entries.no-message", noBoxOf(process.Id()), "a message box is open after the starts");
}

// b. A program that does not exist: the default error report, once, with
// the application title and the stop icon; the next entry starts in C:\.
void missingProgram(TReport& report, const TSetup& s, const std::wstring& ini) {
    const std::wstring log = JoinPath(s.scratch, L"launch-missing.log");
    useLog(log);
    TProcess process;
    HWND form = StartLauncher(report, "launch.missing", process, s.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    ChooseFromMenu(report, "launch.missing", button, {{true, 'm'}});
    TDialogBox box = waitForBox(process.Id());
    if (!report.Check("launch.missing.message", box.window != nullptr, "no message box within 5 s")) return;
    report.Check("launch.missing.text", box.text == "File was not found.", "text " + Show(box.text));
    report.Check("launch.missing.caption", box.caption == "Launch v1.25", "caption " + Show(box.caption));
    report.Check("launch.missing.ok-only", ButtonList(box) == "[\"OK\"]", "buttons " + ButtonList(box));
    std::string detail;
    const std::string icon = SystemIconOf(box.icon, detail);
    report.Check("launch.missing.stop-icon", icon == "stop", "the icon is " + icon + " (" + detail + ")");
    // Only the launcher's own message: no dialog of the shell beside it.
    ::Sleep(500);
    const auto boxes = TopWindows(process.Id(), L"#32770", true);
    report.Check("launch.missing.one-message", boxes.size() == 1,
                 std::to_string(boxes.size()) + " dialog windows are open");
    PressDialogButton(box, "OK");
    const bool closed = WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout);
    ::Sleep(500);
    report.Check("launch.missing.ok-closes", closed && noBoxOf(process.Id()), "a dialog is still or again open");

    // The failed entry had a "$" directory; the launcher was reset anyway.
    ChooseFromMenu(report, "launch.missing.next-entry", button, {{true, 'p'}});
    auto runs = waitForRuns(log, 1, 10s);
    checkRun(report, "launch.missing.next-entry", runs, 0, Narrow(s.recorder), "a b", "C:\\");
}

// c. An unknown META command quotes the entry's command text.
void unknownMeta(TReport& report, const TSetup& s, const std::wstring& ini) {
    TProcess process;
    HWND form = StartLauncher(report, "launch.unknown-meta", process, s.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    ChooseFromMenu(report, "launch.unknown-meta", button, {{true, 'f'}});
    TDialogBox box = waitForBox(process.Id());
    if (!report.Check("launch.unknown-meta.message", box.window != nullptr, "no message box within 5 s")) return;
    report.Check("launch.unknown-meta.text", box.text == "I don't understand \"METAFOO \"", "text " + Show(box.text));
    report.Check("launch.unknown-meta.caption", box.caption == "Error", "caption " + Show(box.caption));
    report.Check("launch.unknown-meta.no-icon", box.icon == nullptr, "the box shows an icon");
    PressDialogButton(box, "OK");
    report.Check("launch.unknown-meta.ok-closes", WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout),
                 "the message is still open");
}

// Opens the Run dialog through the fixed "Run" item (the first item below
// the separator when there are no entries) and finds its combo box.
HWND openRunDialog(TReport& report, const std::string& name, HWND button, DWORD pid, HWND& combo, HWND& edit) {
    ChooseFromMenu(report, name, button, {{false, VK_DOWN}, {false, VK_RETURN}});
    HWND dialog = WaitForTopWindow(pid, L"TRunDlg", true, kUiTimeout);
    if (!report.Check(name + ".dialog-opens", dialog != nullptr, "no visible TRunDlg window within 5 s"))
        return nullptr;
    report.Check(name + ".dialog-caption", TextOf(dialog) == "Run ...", "caption " + Show(TextOf(dialog)));
    auto combos = ChildWindows(dialog, L"ComboBox");
    combo = combos.empty() ? nullptr : combos.front();
    auto edits = combo ? ChildWindows(combo, L"Edit") : std::vector<HWND>{};
    edit = edits.empty() ? nullptr : edits.front();
    if (!report.Check(name + ".combo-box", combo && edit, "the dialog has no combo box with an edit box")) {
        return nullptr;
    }
    return dialog;
}

// Types a command into the dialog's combo box and presses Enter there.
bool typeAndRun(HWND edit, const std::string& command) {
    for (wchar_t c : Widen(command)) PostChar(edit, c);
    if (!WaitUntil([&] { return TextOf(edit) == command; }, kUiTimeout)) return false;
    PostKey(edit, VK_RETURN);
    return true;
}

int comboCount(HWND combo) {
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 3000, &count)) return -1;
    return static_cast<int>(count);
}

std::string comboItem(HWND combo, int index) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG, 3000, &length) ||
        length == static_cast<DWORD_PTR>(CB_ERR))
        return "<unreadable>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                               3000, &copied) ||
        copied == static_cast<DWORD_PTR>(CB_ERR))
        return "<unreadable>";
    text.resize(copied);
    return Narrow(text);
}

std::string profileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[2048] = {};
    ::GetPrivateProfileStringW(section, key, L"<missing>", buf, 2048, file.c_str());
    return Narrow(buf);
}

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// d. Typed commands are started (the launcher way for a lower-case ".exe",
// the WinExec way for ".EXE"), kept in the history on close, and listed by
// the dialog after a restart.
void runDialog(TReport& report, const TSetup& s) {
    const std::wstring ini = JoinPath(s.scratch, L"launch-run.ini");
    const std::wstring log = JoinPath(s.scratch, L"launch-run.log");
    if (!report.Check("launch.run.write-config",
                      WriteFileBytes(ini, crlf({"[ALLINFO]", "TotalEntries=0", "[CONFIG]", "Caption=Runner", "Left=300",
                                                "Top=150", "QuickClose=1"})),
                      "cannot write launch-run.ini"))
        return;
    useLog(log);
    const std::string rec = Narrow(s.recorder);
    const std::string recDir = rec.substr(0, rec.find_last_of('\\'));
    // The extension decides the way; the path must still name the recorder.
    const std::string recUpper = upper(rec);
    const std::string first = rec + " p1", second = recUpper + " p2";
    {
        TProcess process;
        HWND form = StartLauncher(report, "launch.run", process, s.full, {ini});
        HWND button = form ? ButtonOf(form) : nullptr;
        if (!button) return;
        HWND combo = nullptr, edit = nullptr;
        if (!openRunDialog(report, "launch.run", button, process.Id(), combo, edit)) return;
        const int count = comboCount(combo);
        report.Check("launch.run.history-empty", count == 0, std::to_string(count) + " items in a new history");
        report.Check("launch.run.typed", typeAndRun(edit, first), "the combo box reads " + Show(TextOf(edit)));
        auto runs = waitForRuns(log, 1, 10s);
        checkRun(report, "launch.run.launcher-way", runs, 0, rec, "p1", recDir);
        report.Check("launch.run.dialog-closes", TopWindows(process.Id(), L"TRunDlg", true).empty(),
                     "the Run dialog is still open after the start");

        if (openRunDialog(report, "launch.run.again", button, process.Id(), combo, edit)) {
            report.Check("launch.run.typed-again", typeAndRun(edit, second),
                         "the combo box reads " + Show(TextOf(edit)));
            runs = waitForRuns(log, 2, 10s);
            checkRun(report, "launch.run.winexec-way", runs, 1, recUpper, "p2", upper(recDir));
        }
        report.Check("launch.run.no-message", noBoxOf(process.Id()), "a message box is open after the starts");
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        DWORD code = 0;
        const bool ended = process.WaitExit(10s, &code);
        if (!report.Check("launch.run.closes", ended && code == 0,
                          ended ? "exit code " + std::to_string(code) : "still running 10 s after WM_CLOSE"))
            return;
    }
    const std::string legacy1 = profileValue(ini, L"ALLINFO", L"Legacy1");
    const std::string legacy2 = profileValue(ini, L"ALLINFO", L"Legacy2");
    const std::string legacy3 = profileValue(ini, L"ALLINFO", L"Legacy3");
    report.Check("launch.run.history-saved", legacy1 == first && legacy2 == second && legacy3.empty(),
                 "Legacy1=" + Show(legacy1) + ", Legacy2=" + Show(legacy2) + ", Legacy3=" + Show(legacy3));

    TProcess process;
    HWND form = StartLauncher(report, "launch.run.restart", process, s.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    HWND combo = nullptr, edit = nullptr;
    HWND dialog = openRunDialog(report, "launch.run.restart", button, process.Id(), combo, edit);
    if (!dialog) return;
    std::vector<std::string> items;
    for (int i = 0; i < comboCount(combo) && i < 20; ++i) items.push_back(comboItem(combo, i));
    report.Check("launch.run.restart.history-listed", items == std::vector<std::string>{first, second},
                 std::to_string(items.size()) + " items: " + (items.empty() ? "" : Show(items.front())) +
                     (items.size() > 1 ? ", " + Show(items[1]) : ""));
    // The dialog is owned by the window with the program's title, and
    // activating that brings the dialog forward.
    const HWND owner = ::GetWindow(dialog, GW_OWNER);
    HWND elsewhere = ::CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr,
                                       nullptr, nullptr);
    ::SetForegroundWindow(elsewhere);
    ::SetForegroundWindow(owner);
    const bool forward = WaitUntil([&] { return ::GetForegroundWindow() == dialog; }, kUiTimeout);
    ::DestroyWindow(elsewhere);
    report.Check("launch.run.owned-and-brought-forward", owner && ClassOf(owner) == L"TApplication" && forward,
                 owner ? Narrow(ClassOf(owner)) + " owns the dialog, and the foreground is " +
                             Narrow(ClassOf(::GetForegroundWindow()))
                       : "the dialog has no owner");
    // Tab goes round from the box; Enter presses the focused button.
    auto captioned = [&](const char* caption) {
        for (HWND b : ChildWindows(dialog, L"Button"))
            if (TextOf(b) == caption) return b;
        return HWND{};
    };
    std::vector<HWND> order;
    for (int i = 0; i < 4; ++i) {
        const HWND from = FocusOf(dialog);
        PostKey(from, VK_TAB);
        WaitUntil([&] { return FocusOf(dialog) != from; }, 2s);
        order.push_back(FocusOf(dialog));
    }
    report.Check("launch.run.tab-order",
                 order == std::vector<HWND>{captioned("&Run"), captioned("&Cancel"), captioned("&Browse"), edit},
                 "the focus did not go Run, Cancel, Browse and back to the box");
    for (int i = 0; i < 3; ++i) PostKey(FocusOf(dialog), VK_TAB);
    WaitUntil([&] { return FocusOf(dialog) == captioned("&Browse"); }, kUiTimeout);
    PostKey(FocusOf(dialog), VK_RETURN);
    HWND browse = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    report.Check("launch.run.enter-presses-focused-button", browse && TextOf(browse) == "Select File to Run",
                 browse ? "a dialog " + Show(TextOf(browse)) + " opened" : "no file dialog within 5 s of Enter");
    if (browse) ::PostMessageW(browse, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return noBoxOf(process.Id()); }, kUiTimeout);
    // Escape cancels: nothing is started.
    PostKey(edit, VK_ESCAPE);
    const bool gone = WaitUntil([&] { return TopWindows(process.Id(), L"TRunDlg", true).empty(); }, kUiTimeout);
    ::Sleep(500);
    report.Check("launch.run.restart.escape-cancels", gone && readRuns(log).size() == 2,
                 gone ? std::to_string(readRuns(log).size()) + " runs logged" : "the dialog is still open");
}

// e. The children of a "Startup" group run at start-up, first to last.
void startupGroup(TReport& report, const TSetup& s) {
    const std::wstring ini = JoinPath(s.scratch, L"launch-startup.ini");
    const std::wstring log = JoinPath(s.scratch, L"launch-startup.log");
    const std::string rec = Narrow(s.recorder);
    if (!report.Check(
            "launch.startup.write-config",
            WriteFileBytes(ini, crlf({"[ALLINFO]", "TotalEntries=1", "[PROGRAMS]", "Name1=Startup",
                                      "ProgName1=SuperMenu", "Param1=1", "ShortCut1=2", "[SUBPROGRAMS]", "Name1=One",
                                      "ProgName1=" + rec, "Param1=first", "Name2=Two", "ProgName2=" + rec,
                                      "Param2=second", "[CONFIG]", "Left=400", "Top=150", "QuickClose=1"})),
            "cannot write launch-startup.ini"))
        return;
    useLog(log);
    TProcess process;
    if (!StartLauncher(report, "launch.startup", process, s.full, {ini})) return;
    auto runs = waitForRuns(log, 2, 15s);
    ::Sleep(1000);  // a third run would come about now
    runs = readRuns(log);
    report.Check("launch.startup.two-runs", runs.size() == 2, std::to_string(runs.size()) + " runs logged, expected 2");
    if (runs.size() < 2) return;
    // The lines may land in either order; the creation times tell the order
    // of the starts.
    const TRun* firstRun = nullptr;
    const TRun* secondRun = nullptr;
    for (const TRun& run : runs) {
        std::string program, tail;
        splitCommandLine(run.commandLine, program, tail);
        if (tail == "first") firstRun = &run;
        if (tail == "second") secondRun = &run;
    }
    report.Check("launch.startup.children-run", firstRun && secondRun,
                 describeRun(runs[0]) + "; " + describeRun(runs[1]));
    if (!firstRun || !secondRun) return;
    report.Check("launch.startup.in-order", firstRun->created < secondRun->created,
                 "\"second\" started at " + std::to_string(secondRun->created) + ", \"first\" at " +
                     std::to_string(firstRun->created));
    report.Check("launch.startup.directory", firstRun->directory == "C:\\" && secondRun->directory == "C:\\",
                 describeRun(*firstRun) + "; " + describeRun(*secondRun));
}

// f. 12,000 groups, each a submenu: the menu opens at once, and a group's
// submenu opens with its entries in place.
void manyGroups(TReport& report, const TSetup& s) {
    const std::wstring ini = JoinPath(s.scratch, L"launch-groups.ini");
    const std::wstring log = JoinPath(s.scratch, L"launch-groups.log");
    const std::string rec = Narrow(s.recorder);
    std::vector<std::string> config{"[ALLINFO]", "TotalEntries=12000", "[PROGRAMS]"};
    for (int i = 1; i <= 12000; ++i) {
        const std::string n = std::to_string(i);
        config.insert(config.end(), {"Name" + n + "=Group " + n, "ProgName" + n + "=SuperMenu", "Param" + n + "=1",
                                     "ShortCut" + n + "=2"});
    }
    config.insert(config.end(), {"[SUBPROGRAMS]", "Name1=One", "ProgName1=" + rec, "Param1=one", "Name2=Two",
                                 "ProgName2=" + rec, "Param2=two", "[CONFIG]", "Left=500", "Top=150", "QuickClose=1"});
    if (!report.Check("launch.groups.write-config", WriteFileBytes(ini, crlf(config)),
                      "cannot write launch-groups.ini"))
        return;
    useLog(log);
    TProcess process;
    HWND form = StartLauncher(report, "launch.groups", process, s.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    // The first group, its submenu, its second entry.
    std::chrono::milliseconds took{};
    const bool opened =
        ChooseFromMenu(button, {{false, VK_DOWN}, {false, VK_RIGHT}, {false, VK_DOWN}, {false, VK_RETURN}}, &took);
    // Building every submenu on each popup took seconds, and more menu
    // handles than a process may own.
    report.Check("launch.groups.menu-opens-at-once", opened && took < 1s,
                 opened ? "the menu took " + std::to_string(took.count()) + " ms" : "no menu within 5 s of the click");
    checkRun(report, "launch.groups.submenu-entry", waitForRuns(log, 1, 10s), 0, rec, "two", "C:\\");
}

}  // namespace

void RunLaunchChecks(TReport& report, const TTargets& targets) {
    TSetup s;
    s.scratch = targets.scratch;
    s.full = targets.full;
    const std::wstring recorder = ProgramBeside(L"tolvek-recorder.exe");
    if (!report.Check("launch.recorder-exists", FileExists(recorder), Narrow(recorder) + " is missing")) return;
    s.recorder = withoutBlanks(recorder);
    if (!report.Check("launch.recorder-path-without-blanks", s.recorder.find(L' ') == std::wstring::npos,
                      "an entry's program name ends at its first blank, and " + Narrow(recorder) +
                          " has no short form without one"))
        return;

    const std::wstring wd = JoinPath(targets.scratch, L"launch-wd");
    ::CreateDirectoryW(wd.c_str(), nullptr);
    const std::wstring ini = JoinPath(targets.scratch, L"launch-entries.ini");
    if (!report.Check("launch.write-config", WriteFileBytes(ini, entriesConfig(s, wd)),
                      "cannot write launch-entries.ini"))
        return;
    menuEntries(report, s, ini, wd);
    CloseMenus(kUiTimeout);
    missingProgram(report, s, ini);
    CloseMenus(kUiTimeout);
    unknownMeta(report, s, ini);
    CloseMenus(kUiTimeout);
    runDialog(report, s);
    CloseMenus(kUiTimeout);
    startupGroup(report, s);
    manyGroups(report, s);
    CloseMenus(kUiTimeout);
    ::SetEnvironmentVariableW(L"TOLVEK_RECORDER_LOG", nullptr);
}

}  // namespace e2e
