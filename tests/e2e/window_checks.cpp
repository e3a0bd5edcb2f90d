// Runs tolvek.exe and tolvek-compact.exe as a user would meet them: finds
// their windows by class, clicks the button, reads the menu and the close
// question, answers it, and reads back the configuration file they wrote.
#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 20s;
constexpr auto kUiTimeout = 5s;

const char kCloseQuestion[] = "This will close your Begin Button.\rAre you sure?";

// Lines joined with CRLF, as a configuration written on Windows.
std::string crlf(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) out += std::string(line) + "\r\n";
    return out;
}

const std::vector<const char*> kFullHead = {
    "[ALLINFO]", "TotalEntries=3", "Legacy1=calc",
    // One plain entry with a shortcut, a separator, and a group of two.
    "[PROGRAMS]", "Name1=&Alpha", "ProgName1=alpha.exe", "Param1=", "ShortCut1=Ctrl+A", "Name2=-",
    "ProgName2=NoVal.exe", "Param2=", "ShortCut2=", "Name3=Beta Group", "ProgName3=SuperMenu", "Param3=1",
    "ShortCut3=2", "[SUBPROGRAMS]", "Name1=Sub One", "ProgName1=one.exe", "Param1=", "ShortCut1=", "Name2=Sub Two",
    "ProgName2=two.exe", "Param2=", "ShortCut2=", "[CONFIG]", "; kept as it is by every write", "Caption=&Go"};

std::string lines(const std::vector<const char*>& head, const std::vector<std::string>& tail) {
    std::string out;
    for (const char* line : head) out += std::string(line) + "\r\n";
    for (const std::string& line : tail) out += line + "\r\n";
    return out;
}

std::string normaliseBreaks(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    return out;
}

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + Show(item);
    return "[" + out + "]";
}

RECT rectOf(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

std::string describe(const RECT& r) {
    return "left " + std::to_string(r.left) + ", top " + std::to_string(r.top) + ", " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

bool topmost(HWND hwnd) {
    return (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

HWND buttonOf(HWND form) {
    auto buttons = ChildWindows(form, L"Button");
    return buttons.empty() ? nullptr : buttons.front();
}

// Reads a key through the platform's own profile function, so what the
// program wrote is judged by a reader that is not ours.
std::string profileValue(const std::wstring& file, const char* section, const char* key) {
    wchar_t buf[2048] = {};
    ::GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"<missing>", buf, 2048, file.c_str());
    return Narrow(buf);
}

struct TMessageBox {
    HWND window = nullptr;
    std::string caption;
    std::string text;  // the longest static text
    std::vector<std::pair<HWND, std::string>> buttons;
    bool icon = false;
};

TMessageBox readMessageBox(HWND window) {
    TMessageBox box;
    box.window = window;
    box.caption = TextOf(window);
    for (HWND child : ChildWindows(window, L"Static")) {
        if (!::IsWindowVisible(child)) continue;
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            // The box keeps its icon control even without an icon to show.
            DWORD_PTR icon = 0;
            ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &icon);
            box.icon = box.icon || icon != 0;
            continue;
        }
        std::string text = TextOf(child);
        if (text.size() > box.text.size()) box.text = text;
    }
    for (HWND child : ChildWindows(window, L"Button"))
        if (::IsWindowVisible(child)) box.buttons.emplace_back(child, TextOf(child));
    return box;
}

std::vector<std::string> buttonTexts(const TMessageBox& box) {
    std::vector<std::string> texts;
    for (const auto& [hwnd, text] : box.buttons) texts.push_back(text);
    return texts;
}

// Presses the button as its click would: the dialog gets its command.
bool press(const TMessageBox& box, const std::string& caption) {
    for (const auto& [hwnd, text] : box.buttons) {
        if (text != caption) continue;
        const int id = ::GetDlgCtrlID(hwnd);
        return ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    }
    return false;
}

bool noDialogOf(DWORD pid) {
    return TopWindows(pid, L"#32770", true).empty();
}

// Clicks the button and waits for the popup menu; checks where it opened,
// what its top level holds and that Escape closes it.
bool checkMenu(TReport& report, const std::string& name, HWND button, POINT expectedAt,
               const std::vector<std::string>& expected, const std::wstring& scratch) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
    HWND menu = nullptr;
    WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout);
    if (!report.Check(name + ".click-pops-up-menu", menu != nullptr, "no visible #32768 window within 5 s"))
        return false;
    RECT r = rectOf(menu);
    report.Check(name + ".menu-covers-button", r.left == expectedAt.x && r.top == expectedAt.y,
                 "menu at " + describe(r) + ", expected its top-left at " + std::to_string(expectedAt.x) + ", " +
                     std::to_string(expectedAt.y));
    std::vector<std::string> captions;
    std::string why;
    const bool readable = ReadMenuCaptions(menu, captions, why);
    TImage shown;
    if (readable)
        report.Check(name + ".menu-items", captions == expected,
                     "got " + join(captions) + ", expected " + join(expected));
    else
        shown = CaptureSettled(menu);
    report.Check(name + ".escape-closes-menu", CloseMenus(kUiTimeout), "a #32768 window is still visible");
    if (readable) return true;

    // The items cannot be read across processes here (Wine keeps a menu's
    // items in its own process), so the pixels are compared with a menu of
    // the expected items drawn at the same place by this process.
    report.Note(name + ": menu items are not readable from another process (" + why +
                "); comparing its pixels with a menu of the expected items");
    TImage reference;
    if (!CaptureReferenceMenu(expected, {r.left, r.top}, reference, why)) {
        report.Check(name + ".menu-items", false, why);
        return true;
    }
    const int diff = DifferingPixels(shown, reference);
    if (diff != 0) {
        SaveBitmap(JoinPath(scratch, Widen(name) + L"-menu-shown.bmp"), shown);
        SaveBitmap(JoinPath(scratch, Widen(name) + L"-menu-expected.bmp"), reference);
    }
    report.Check(name + ".menu-items", diff == 0,
                 (diff < 0 ? "the menu is " + std::to_string(shown.width) + "x" + std::to_string(shown.height) +
                                 ", a menu of " + join(expected) + " is " + std::to_string(reference.width) + "x" +
                                 std::to_string(reference.height)
                           : std::to_string(diff) + " pixels differ from a menu of " + join(expected)) +
                     " (both saved as " + name + "-menu-*.bmp in the scratch directory)");
    return true;
}

void fullBuild(TReport& report, const TTargets& targets) {
    const std::wstring ini = JoinPath(targets.scratch, L"full.ini");
    const std::string original =
        lines(kFullHead, {"Left=123", "Top=45", "StayOnTop=1", "AlwaysPopup=0", "QuickClose=0"});
    if (!report.Check("full.write-config", WriteFileBytes(ini, original), "cannot write full.ini")) return;

    TProcess process;
    HWND form = StartLauncher(report, "full", process, targets.full, {ini});
    if (!form) return;

    // a. The window as the configuration describes it.
    HWND button = buttonOf(form);
    const std::string buttonText = button ? TextOf(button) : "";
    report.Check("full.button-caption", button && buttonText == "&Go",
                 button ? "button reads " + Show(buttonText) : "the window has no Button child");
    RECT r = rectOf(form);
    report.Check("full.window-position", r.left == 123 && r.top == 45, describe(r) + ", expected left 123, top 45");
    report.Check("full.window-size", r.right - r.left == 104 && r.bottom - r.top == 27,
                 describe(r) + ", expected 104x27");
    report.Check("full.window-caption", TextOf(form) == "TOLVEK", "window text " + Show(TextOf(form)));
    report.Check("full.stay-on-top", topmost(form), "StayOnTop=1 but the window is not topmost");
    auto apps = TopWindows(process.Id(), L"TApplication", false);
    if (apps.empty())
        report.Note("full: no TApplication window, so the application title was not checked");
    else
        report.Check("full.application-title", TextOf(apps.front()) == "&Go v1.25",
                     "title " + Show(TextOf(apps.front())));
    // One taskbar button: the only unowned window shown is the one with the
    // application title, and it owns the form.
    std::string unowned;
    for (HWND w : TopWindows(process.Id(), L"", true))
        if (!::GetWindow(w, GW_OWNER) && !(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
            unowned += " " + Narrow(ClassOf(w)) + " " + Show(TextOf(w));
    const HWND owner = ::GetWindow(form, GW_OWNER);
    report.Check("full.one-taskbar-window", unowned == " TApplication \"&Go v1.25\"" && owner == apps.front(),
                 "unowned windows shown:" + unowned + (owner ? "" : "; the form has no owner"));
    if (!button) return;

    // b. The menu: configured entries above the fixed items; Escape closes it.
    // A trailing ">" marks a submenu.
    const std::vector<std::string> expected = {"&Alpha\tCtrl+A", "-", "Beta Group\t2>", "-",         "Run\tCtrl+R",
                                               "Functions>",     "-", "&Tolvek>",       "S&hutdown>"};
    checkMenu(report, "full", button, {123, 45}, expected, targets.scratch);

    // b. A fixed item chosen from the keyboard: &Tolvek > Stay On Top.
    const bool wasTopmost = topmost(form);
    ::PostMessageW(button, BM_CLICK, 0, 0);
    if (HWND menu = nullptr; WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout)) {
        PostChar(menu, L't');
        ::Sleep(300);
        // The submenu opens with its first item ("Help") selected; the
        // separator is skipped, so three steps reach "Stay On Top".
        for (int i = 0; i < 3; ++i) {
            PostKey(menu, VK_DOWN);
            ::Sleep(100);
        }
        PostKey(menu, VK_RETURN);
        const bool toggled = WaitUntil([&] { return topmost(form) != wasTopmost; }, kUiTimeout);
        report.Check("full.menu-stay-on-top-toggles", toggled,
                     std::string("the window is still ") + (wasTopmost ? "topmost" : "not topmost"));
        CloseMenus(kUiTimeout);
    } else {
        report.Check("full.menu-stay-on-top-toggles", false, "the menu did not pop up a second time");
    }

    // b. Space on the focused button pops the menu up, as a click does.
    const HWND focus = FocusOf(form);
    PostKey(focus, VK_SPACE);
    const bool popped = WaitUntil([] { return VisibleMenuWindow() != nullptr; }, kUiTimeout);
    report.Check("full.space-pops-up-menu", focus == button && popped,
                 focus == button ? "no menu within 5 s" : "the focus is in " + Narrow(ClassOf(focus)));
    CloseMenus(kUiTimeout);

    // c. The close question; No keeps everything as it was.
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    HWND dialog = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    if (!report.Check("full.close-asks", dialog != nullptr, "no #32770 window within 5 s of WM_CLOSE")) return;
    TMessageBox box = readMessageBox(dialog);
    report.Check("full.question-caption", box.caption == "Exit", "caption " + Show(box.caption));
    const bool exact = box.text == kCloseQuestion;
    report.Check("full.question-text", normaliseBreaks(box.text) == normaliseBreaks(kCloseQuestion),
                 "text " + Show(box.text));
    if (!exact) report.Note("full: the question reads " + Show(box.text) + " on this platform");
    report.Check("full.question-buttons", buttonTexts(box) == std::vector<std::string>{"&Yes", "&No"},
                 "buttons " + join(buttonTexts(box)));
    report.Check("full.question-no-icon", !box.icon, "the box shows an icon");
    press(box, "&No");
    report.Check("full.no-closes-question", WaitUntil([&] { return noDialogOf(process.Id()); }, kUiTimeout),
                 "the question is still open");
    ::Sleep(500);  // a write after No would land about now
    report.Check("full.no-keeps-window", process.Running() && ::IsWindow(form) && ::IsWindowVisible(form),
                 "the window is gone after No");
    report.Check("full.no-keeps-file", ReadFileBytes(ini) == original,
                 "full.ini changed after No: " + FirstDifference(ReadFileBytes(ini), original));

    // c. Moved elsewhere, closed with Yes: the new place is saved.
    ::SetWindowPos(form, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const bool moved = WaitUntil([&] { return rectOf(form).left == 300 && rectOf(form).top == 200; }, kUiTimeout);
    report.Check("full.window-moves", moved, describe(rectOf(form)));
    const bool topmostAtClose = topmost(form);
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    dialog = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    if (!report.Check("full.close-asks-again", dialog != nullptr, "no question on the second WM_CLOSE")) return;
    press(readMessageBox(dialog), "&Yes");
    DWORD code = 0;
    const bool ended = process.WaitExit(10s, &code);
    report.Check("full.yes-ends-program", ended && code == 0,
                 ended ? "exit code " + std::to_string(code) : "still running 10 s after Yes");
    if (!ended) return;

    const std::string stay = topmostAtClose ? "1" : "0";
    const std::string saved[][3] = {{"CONFIG", "Left", "300"},      {"CONFIG", "Top", "200"},
                                    {"CONFIG", "StayOnTop", stay},  {"CONFIG", "AlwaysPopup", "0"},
                                    {"CONFIG", "Caption", "&Go"},   {"CONFIG", "QuickClose", "0"},
                                    {"ALLINFO", "Legacy1", "calc"}, {"ALLINFO", "TotalEntries", "3"}};
    std::string wrong;
    for (const auto& [section, key, value] : saved) {
        std::string got = profileValue(ini, section.c_str(), key.c_str());
        if (got != value) wrong += " " + section + "/" + key + "=" + Show(got) + " (expected " + Show(value) + ")";
    }
    for (int i = 2; i <= 10; ++i) {
        std::string key = "Legacy" + std::to_string(i);
        std::string got = profileValue(ini, "ALLINFO", key.c_str());
        if (got != "") wrong += " ALLINFO/" + key + "=" + Show(got) + " (expected an empty value)";
    }
    report.Check("full.close-saves-settings", wrong.empty(), wrong);

    // The writes change values where they stand and append the new history
    // keys to their section; every other byte stays.
    std::vector<const char*> head = kFullHead;
    head.insert(
        head.begin() + 3,
        {"Legacy2=", "Legacy3=", "Legacy4=", "Legacy5=", "Legacy6=", "Legacy7=", "Legacy8=", "Legacy9=", "Legacy10="});
    const std::string expectedBytes =
        lines(head, {"Left=300", "Top=200", "StayOnTop=" + stay, "AlwaysPopup=0", "QuickClose=0"});
    const std::string bytes = ReadFileBytes(ini);
    report.Check("full.close-edits-in-place", bytes == expectedBytes, FirstDifference(bytes, expectedBytes));
}

void compactBuild(TReport& report, const TTargets& targets) {
    const std::wstring ini = JoinPath(targets.scratch, L"compact.ini");
    // ";" is the keyboard layout's name of its key, not one of the table's.
    const std::string original = crlf({"[ALLINFO]", "TotalEntries=2", "[PROGRAMS]", "Name1=One", "ProgName1=one.exe",
                                       "ShortCut1=Ctrl+;", "Name2=Two", "ProgName2=two.exe", "ShortCut2=F5", "[CONFIG]",
                                       "Caption=Compact", "Left=200", "Top=100", "QuickClose=1"});
    if (!report.Check("compact.write-config", WriteFileBytes(ini, original), "cannot write compact.ini")) return;

    TProcess process;
    HWND form = StartLauncher(report, "compact", process, targets.compact, {ini});
    if (!form) return;
    HWND button = buttonOf(form);
    report.Check("compact.button-caption", button && TextOf(button) == "Compact",
                 button ? "button reads " + Show(TextOf(button)) : "the window has no Button child");
    RECT r = rectOf(form);
    report.Check("compact.window-position", r.left == 200 && r.top == 100, describe(r));
    report.Check("compact.not-on-top", !topmost(form), "no StayOnTop key, yet the window is topmost");
    if (button)
        checkMenu(report, "compact", button, {200, 100}, {"One\tCtrl+;", "Two\tF5", "&Tolvek>"}, targets.scratch);

    // QuickClose: no question, straight to the end. Another copy of the
    // launcher reads the file just then; the write waits for it.
    HANDLE reader = ::CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    ::Sleep(400);
    ::CloseHandle(reader);
    bool asked = false;
    DWORD code = 0;
    const bool ended = WaitUntil(
        [&] {
            asked = asked || !noDialogOf(process.Id());
            return process.WaitExit(0ms, &code);
        },
        10s);
    report.Check("compact.quick-close-without-question", ended && !asked,
                 asked ? "a dialog appeared" : "still running 10 s after WM_CLOSE");
    if (!ended) return;
    std::string wrong;
    const char* saved[][3] = {{"CONFIG", "Left", "200"},        {"CONFIG", "Top", "100"},
                              {"CONFIG", "StayOnTop", "0"},     {"CONFIG", "AlwaysPopup", "0"},
                              {"CONFIG", "QuickClose", "1"},    {"CONFIG", "Caption", "Compact"},
                              {"ALLINFO", "Legacy1", ""},       {"ALLINFO", "Legacy10", ""},
                              {"ALLINFO", "TotalEntries", "2"}, {"PROGRAMS", "ShortCut2", "F5"}};
    for (const auto& [section, key, value] : saved) {
        std::string got = profileValue(ini, section, key);
        if (got != value) wrong += std::string(" ") + section + "/" + key + "=" + Show(got);
    }
    report.Check("compact.close-saves-settings", wrong.empty(), wrong);
}

// A configuration with only a position: the default caption, and the
// off-screen correction (a Left beyond the screen's width is pulled back; a
// window partly on the screen stays where it was put).
void offScreen(TReport& report, const TTargets& targets) {
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    const std::wstring ini = JoinPath(targets.scratch, L"offscreen.ini");
    const std::string text =
        "[CONFIG]\r\nLeft=" + std::to_string(cx + 1) + "\r\nTop=" + std::to_string(cy - 10) + "\r\nQuickClose=1\r\n";
    if (!report.Check("offscreen.write-config", WriteFileBytes(ini, text), "cannot write offscreen.ini")) return;
    TProcess process;
    std::string error;
    if (!report.Check("offscreen.starts", process.Start(targets.full, {ini}, &error), error)) return;
    HWND form = WaitForTopWindow(process.Id(), L"TTolvekForm", true, kStartTimeout);
    if (!report.Check("offscreen.window-appears", form != nullptr, "no visible TTolvekForm window within 20 s")) return;
    // Without a "Caption" key the button reads BEGIN.
    HWND button = buttonOf(form);
    report.Check("offscreen.default-caption", button && TextOf(button) == "BEGIN",
                 button ? "button reads " + Show(TextOf(button)) : "the window has no Button child");
    auto apps = TopWindows(process.Id(), L"TApplication", false);
    if (!apps.empty())
        report.Check("offscreen.default-title", TextOf(apps.front()) == "BEGIN v1.25",
                     "title " + Show(TextOf(apps.front())));
    RECT r = rectOf(form);
    report.Check("offscreen.corrected", r.left == cx - 105 && r.top == cy - 10,
                 describe(r) + " on a " + std::to_string(cx) + "x" + std::to_string(cy) + " screen, expected left " +
                     std::to_string(cx - 105) + ", top " + std::to_string(cy - 10));
}

// "/popup" after the file name pops the menu up when the window is activated.
void popupArgument(TReport& report, const TTargets& targets) {
    const std::wstring ini = JoinPath(targets.scratch, L"popup.ini");
    const std::string text = crlf({"[ALLINFO]", "TotalEntries=1", "[PROGRAMS]", "Name1=Only", "ProgName1=only.exe",
                                   "[CONFIG]", "Left=400", "Top=300", "QuickClose=1"});
    if (!report.Check("popup.write-config", WriteFileBytes(ini, text), "cannot write popup.ini")) return;
    TProcess process;
    HWND form = StartLauncher(report, "popup", process, targets.full, {ini, L"/popup"});
    if (!form) return;
    HWND menu = nullptr;
    const bool shown = WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout);
    report.Check("popup.menu-at-activation", shown, "no menu within 5 s of start with /popup");
    if (shown) {
        RECT r = rectOf(menu);
        report.Check("popup.menu-covers-button", r.left == 400 && r.top == 300, "menu at " + describe(r));
        CloseMenus(kUiTimeout);
    }
}

// Without an argument and without C:\WINDOWS\TOLVEK.INI the program says so.
void missingConfig(TReport& report, const TTargets& targets) {
    if (FileExists(L"C:\\WINDOWS\\TOLVEK.INI")) {
        report.Note("missing-config: C:\\WINDOWS\\TOLVEK.INI exists in this prefix, so the check was skipped");
        return;
    }
    TProcess process;
    std::string error;
    if (!report.Check("missing-config.starts", process.Start(targets.full, {}, &error), error)) return;
    HWND dialog = WaitForTopWindow(process.Id(), L"#32770", true, kStartTimeout);
    if (!report.Check("missing-config.message", dialog != nullptr, "no message box within 20 s")) return;
    TMessageBox box = readMessageBox(dialog);
    report.Check("missing-config.text", box.caption == "Error" && box.text == "Couldn't find a \"TOLVEK.INI\" file!",
                 "caption " + Show(box.caption) + ", text " + Show(box.text));
    report.Check("missing-config.ok-only", buttonTexts(box) == std::vector<std::string>{"OK"} && !box.icon,
                 "buttons " + join(buttonTexts(box)) + (box.icon ? " with an icon" : ""));
    report.Check("missing-config.no-main-window", TopWindows(process.Id(), L"TTolvekForm", false).empty(),
                 "a TTolvekForm window exists");
    press(box, "OK");
    WaitUntil([&] { return noDialogOf(process.Id()); }, kUiTimeout);
    report.Check("missing-config.writes-nothing", !FileExists(L"C:\\WINDOWS\\TOLVEK.INI"),
                 "C:\\WINDOWS\\TOLVEK.INI was created");
}

}  // namespace

void RunWindowChecks(TReport& report, const TTargets& targets) {
    if (!report.Check("executables-exist", FileExists(targets.full) && FileExists(targets.compact),
                      Narrow(targets.full) + " or " + Narrow(targets.compact) + " is missing"))
        return;
    fullBuild(report, targets);
    CloseMenus(kUiTimeout);
    compactBuild(report, targets);
    CloseMenus(kUiTimeout);
    offScreen(report, targets);
    popupArgument(report, targets);
    CloseMenus(kUiTimeout);
    missingConfig(report, targets);
}

}  // namespace e2e
