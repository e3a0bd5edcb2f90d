// The clock window with the real executable: "Analog Clock" opens one
// window dated today at its design place, a second choice leaves it alone,
// its client area shows the marks where their geometry puts them and a red
// second hand where the time puts it, and a double click closes it so that
// the next choice opens a fresh one. In this process, on the Win32 backend:
// the clock control's mouse events and popup menu, and a form whose window
// cannot be made.
//
// The SDK first through the backend's header, so that the portable names
// below it are not taken for the SDK's macros.
#include "platform/win32/winapi.h"
//
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "checks.h"
#include "clock/tvclock.h"
#include "platform/forms.h"
#include "platform/menus.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kUiTimeout = 5s;

constexpr unsigned kRed = 0xFF0000, kGrey = 0x808080, kSilver = 0xC0C0C0, kBlue = 0x0000FF, kBlack = 0x000000,
                   kWhite = 0xFFFFFF;

int roundEven(double x) {
    return static_cast<int>(std::nearbyint(x));
}

std::string hex(unsigned colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", colour & 0xFFFFFF);
    return buf;
}

// Today as "Month dd, yyyy" by the platform's own date formatter.
std::string todayCaption() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    wchar_t text[128] = {};
    const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, L"MMMM dd, yyyy", text, 128);
    return n > 1 ? Narrow(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : "";
}

std::vector<HWND> clockWindows(DWORD pid) {
    return TopWindows(pid, L"TfrmTime", true);
}

// Clicks the button, types `keys` into its menu and waits until the chosen
// command has run: the menu is gone and the launcher answers again.
bool choose(HWND button, const std::vector<TMenuKey>& keys) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
    if (!WaitUntil([] { return VisibleMenuWindow() != nullptr; }, kUiTimeout)) return false;
    for (const TMenuKey& key : keys) {
        // A submenu has its own window; the menu loop reads keys from any.
        HWND menu = VisibleMenuWindow();
        if (key.isChar)
            PostChar(menu, static_cast<wchar_t>(key.code));
        else
            PostKey(menu, key.code);
        ::Sleep(150);
    }
    WaitUntil([] { return VisibleMenuWindow() == nullptr; }, kUiTimeout);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(button, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
    return true;
}

// "Functions" is the third item below the entry and "Run"; "Analog Clock"
// the fourth of its submenu.
const std::vector<TMenuKey> kFunctionsAnalogClock = {{false, VK_DOWN},  {false, VK_DOWN},  {false, VK_DOWN},
                                                     {false, VK_RIGHT}, {false, VK_DOWN},  {false, VK_DOWN},
                                                     {false, VK_DOWN},  {false, VK_RETURN}};
// The configured METAANALOGCLOCK entry, "&Clock".
const std::vector<TMenuKey> kClockEntry = {{true, 'c'}};

std::string describe(const RECT& r) {
    return "left " + std::to_string(r.left) + ", top " + std::to_string(r.top) + ", " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The window as it opens: dated today, at Left 366, Top 105, a 223 x 221
// client area, sizeable without border icons.
void checkOpened(TReport& report, const std::string& name, HWND window, const std::string& before) {
    const std::string caption = TextOf(window);
    const std::string after = todayCaption();
    report.Check(name + ".caption-is-today", caption == before || caption == after,
                 "caption " + Show(caption) + ", expected " + Show(after));
    RECT r{};
    ::GetWindowRect(window, &r);
    report.Check(name + ".position", r.left == 366 && r.top == 105, describe(r) + ", expected left 366, top 105");
    RECT client{};
    ::GetClientRect(window, &client);
    report.Check(
        name + ".client-size", client.right == 223 && client.bottom == 221,
        "client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom) + ", expected 223x221");
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    report.Check(name + ".sizeable-without-icons",
                 (style & WS_THICKFRAME) && !(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)),
                 "style " + hex(style));
}

// The 60 marks at the places their geometry gives for the control's size.
void checkMarks(TReport& report, const TImage& image) {
    const int cx = std::max(image.width / 2, 1), cy = std::max(image.height / 2, 1);
    struct TDot {
        int dx, dy;
        unsigned colour;
    };
    const std::vector<TDot> hourMark = {{0, 0, kGrey},  {-1, -1, kBlue}, {0, -1, kBlue}, {-1, 0, kBlue}, {1, 1, kBlack},
                                        {1, 0, kBlack}, {0, 1, kBlack},  {-1, 1, kBlue}, {1, -1, kBlack}};
    const std::vector<TDot> minuteMark = {{0, 0, kSilver}, {-1, -1, kGrey}, {0, -1, kGrey}, {-1, 0, kGrey},
                                          {1, 1, kWhite},  {1, 0, kWhite},  {0, 1, kWhite}};
    std::string hourWrong, minuteWrong;
    int hourBad = 0, minuteBad = 0;
    for (int i = 0; i < 60; ++i) {
        const double a = ((roundEven(i * 360.0 / 60) + 90) % 360) * std::numbers::pi / 180;
        const int x = roundEven((1 - 0.98 * std::cos(a)) * cx);
        const int y = roundEven((1 - 0.98 * std::sin(a)) * cy);
        const bool hour = i % 5 == 0;
        for (const TDot& d : hour ? hourMark : minuteMark) {
            const int px = x + d.dx, py = y + d.dy;
            const bool inside = px >= 0 && py >= 0 && px < image.width && py < image.height;
            const unsigned got =
                inside ? image.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(image.width) +
                                      static_cast<std::size_t>(px)]
                       : 0xFFFFFFFFu;
            if (got == d.colour) continue;
            (hour ? hourBad : minuteBad)++;
            std::string& wrong = hour ? hourWrong : minuteWrong;
            if (wrong.empty())
                wrong = "mark " + std::to_string(i) + " at (" + std::to_string(x) + ", " + std::to_string(y) +
                        "): pixel (" + std::to_string(px) + ", " + std::to_string(py) + ") is " +
                        (inside ? hex(got) : std::string("outside")) + ", expected " + hex(d.colour);
        }
    }
    const std::string size = " on a " + std::to_string(image.width) + "x" + std::to_string(image.height) + " clock";
    report.Check("clock.hour-marks", hourBad == 0,
                 std::to_string(hourBad) + " pixels wrong, first " + hourWrong + size);
    report.Check("clock.minute-marks", minuteBad == 0,
                 std::to_string(minuteBad) + " pixels wrong, first " + minuteWrong + size);
}

// A red hand reaching out to about the second hand's length, pointing at
// the second of the time (a paint may be up to two seconds behind).
void checkSecondHand(TReport& report, const TImage& image, int second) {
    const int cx = std::max(image.width / 2, 1), cy = std::max(image.height / 2, 1);
    const int r = std::min(cx, cy);
    const int length = 90 * r / 100;
    int red = 0, outsideCap = 0;
    double farthest = -1, angle = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                             static_cast<std::size_t>(x)] != kRed)
                continue;
            ++red;
            // Back from the face's ellipse to the circle of radius r.
            const double dx = (x - cx) * static_cast<double>(r) / cx, dy = (y - cy) * static_cast<double>(r) / cy;
            const double distance = std::hypot(dx, dy);
            if (distance > 8) ++outsideCap;
            if (distance > farthest) {
                farthest = distance;
                angle = std::atan2(dx, -dy) * 180 / std::numbers::pi;
            }
        }
    if (!report.Check(
            "clock.second-hand-red", outsideCap > 0,
            std::to_string(red) + " pure red pixels, " + std::to_string(outsideCap) + " of them beyond the centre cap"))
        return;
    report.Check(
        "clock.second-hand-length", farthest >= length - 4 && farthest <= length + 2,
        "the red hand reaches " + std::to_string(farthest) + " pixels out, expected " + std::to_string(length));
    const int position = ((static_cast<int>(std::lround(angle / 6)) % 60) + 60) % 60;
    const int behind = ((second - position) % 60 + 60) % 60;
    report.Check("clock.second-hand-points-at-second", behind <= 2,
                 "the hand points at second " + std::to_string(position) + " while the time's second is " +
                     std::to_string(second));
}

// A form with one clock, whose published mouse events and popup menu the
// program itself leaves unused: they are wired here, in this process, on
// the Win32 backend, and fed real messages.
class TClockProbe : public TForm {
public:
    TClockProbe(const char* className, bool withController) : TForm(nullptr, className) {
        BorderStyle = TBorderStyle::None;
        SetBounds(40, 40, 160, 160);
        Clock.SetBounds(0, 0, 150, 150);
        if (withController) Clock.SetController(&Controller);
    }
    TTvController Controller{nullptr};
    TTvClock Clock{this};
    TPopupMenu Menu{this};
};

void clockEventsInProcess(TReport& report) {
    TApplication app;
    std::vector<std::string> log;
    TClockProbe probe("TClockProbe", true);
    auto mouse = [&](const char* what) {
        return [&log, what](TObject*, TMouseButton b, TShiftState, int x, int y) {
            log.push_back(std::string(what) + (b == TMouseButton::Left ? " left " : " right ") + std::to_string(x) +
                          "," + std::to_string(y));
        };
    };
    probe.Clock.OnMouseDown = mouse("down");
    probe.Clock.OnMouseUp = mouse("up");
    probe.Clock.OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
        if (log.empty()) log.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    };
    probe.Clock.OnClick = [&](TObject*) { log.push_back("click"); };
    probe.Clock.PopupMenu = &probe.Menu;
    auto item = std::make_unique<TMenuItem>(&probe.Menu);
    item->Caption = "Chosen";
    item->OnClick = [&](TObject*) { log.push_back("menu"); };
    probe.Menu.Items().Add(std::move(item));
    probe.Show();
    const auto forms = TopWindows(::GetCurrentProcessId(), L"TClockProbe", true);
    const auto clocks = forms.empty() ? std::vector<HWND>{} : ChildWindows(forms.front(), L"TCustomControl");
    if (!report.Check("clock.events.window", !clocks.empty(), "no clock window in the probe form")) return;
    const LPARAM at = MAKELPARAM(30, 40);
    ::PostMessageW(clocks.front(), WM_MOUSEMOVE, 0, at);
    ::PostMessageW(clocks.front(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(clocks.front(), WM_LBUTTONUP, 0, at);
    ::PostMessageW(clocks.front(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    ::PostMessageW(clocks.front(), WM_RBUTTONUP, 0, at);
    // The popup menu runs its own loop in here; another thread chooses.
    std::thread chooser([] {
        HWND menu = nullptr;
        if (!WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout)) return;
        PostKey(menu, VK_DOWN);
        ::Sleep(100);
        PostKey(menu, VK_RETURN);
    });
    Application->ProcessMessages();
    chooser.join();
    const std::vector<std::string> expected = {"move 30,40",       "down left 30,40", "click", "up left 30,40",
                                               "down right 30,40", "up right 30,40",  "menu"};
    std::string got;
    for (const std::string& e : log) got += (got.empty() ? "" : ", ") + e;
    report.Check("clock.events.mouse-and-popup-menu", log == expected, "the clock reported " + got);

    // Without a controller the clock's window cannot be made: no half-made
    // form window is left to show, then or at the next try.
    TClockProbe orphan("TOrphanClock", false);
    auto tryShow = [&] {
        try {
            orphan.Show();
            return std::string("no error");
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    };
    const std::string first = tryShow(), second = tryShow();
    const bool shown = !TopWindows(::GetCurrentProcessId(), L"TOrphanClock", true).empty();
    report.Check("clock.failed-window-is-not-shown", first == "No Controller assigned" && second == first && !shown,
                 "the first Show gave " + Show(first) + ", the second " + Show(second) +
                     (shown ? ", and the window is shown" : ""));
}

}  // namespace

void RunClockChecks(TReport& report, const TTargets& targets) {
    clockEventsInProcess(report);
    const std::wstring ini = JoinPath(targets.scratch, L"clock.ini");
    // The launcher's window out of the clock window's way.
    const std::string config =
        "[ALLINFO]\r\nTotalEntries=1\r\n[PROGRAMS]\r\nName1=&Clock\r\nProgName1=METAANALOGCLOCK\r\nParam1=\r\n"
        "[CONFIG]\r\nCaption=Clock\r\nLeft=650\r\nTop=650\r\nQuickClose=1\r\n";
    if (!report.Check("clock.write-config", WriteFileBytes(ini, config), "cannot write clock.ini")) return;
    TProcess process;
    HWND main = StartLauncher(report, "clock", process, targets.full, {ini});
    HWND button = main ? ButtonOf(main) : nullptr;
    if (!button) return;

    // Functions > Analog Clock.
    std::string before = todayCaption();
    const bool menu = choose(button, kFunctionsAnalogClock);
    HWND window = WaitForTopWindow(process.Id(), L"TfrmTime", true, kUiTimeout);
    if (!report.Check("clock.menu-opens-window", window != nullptr,
                      menu ? "no visible TfrmTime window within 5 s of Functions > Analog Clock"
                           : "no menu within 5 s of the click on the button"))
        return;
    checkOpened(report, "clock", window, before);

    auto controls = ChildWindows(window, L"TCustomControl");
    HWND clock = controls.empty() ? nullptr : controls.front();
    if (report.Check("clock.control", clock != nullptr, "the window has no TCustomControl child")) {
        RECT client{}, control{};
        ::GetClientRect(window, &client);
        ::GetClientRect(clock, &control);
        report.Check("clock.control-fills-window", client.right == control.right && client.bottom == control.bottom,
                     "control " + std::to_string(control.right) + "x" + std::to_string(control.bottom) +
                         " in a client area of " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
        const TImage image = CaptureSettled(clock);
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        if (report.Check("clock.captured", !image.pixels.empty(), "the control could not be captured")) {
            const std::size_t failedBefore = static_cast<std::size_t>(report.Failed());
            checkMarks(report, image);
            checkSecondHand(report, image, now.wSecond);
            if (static_cast<std::size_t>(report.Failed()) != failedBefore)
                SaveBitmap(JoinPath(targets.scratch, L"clock-shown.bmp"), image);
        }
    }

    // Moved away, then chosen again through the META entry: nothing opens
    // and the open window stays where it is.
    ::SetWindowPos(window, nullptr, 420, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WaitUntil(
        [&] {
            RECT r{};
            ::GetWindowRect(window, &r);
            return r.left == 420 && r.top == 160;
        },
        kUiTimeout);
    choose(button, kClockEntry);
    ::Sleep(500);  // a second window would be up by now
    const auto windows = clockWindows(process.Id());
    RECT r{};
    ::GetWindowRect(window, &r);
    report.Check("clock.second-choice-does-nothing",
                 windows.size() == 1 && windows.front() == window && r.left == 420 && r.top == 160,
                 std::to_string(windows.size()) + " visible clock windows, the first at " + describe(r));

    // A double click closes and destroys it.
    if (clock) {
        RECT c{};
        ::GetClientRect(clock, &c);
        ::PostMessageW(clock, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(c.right / 2, c.bottom / 3));
        ::PostMessageW(clock, WM_LBUTTONUP, 0, MAKELPARAM(c.right / 2, c.bottom / 3));
        report.Check("clock.double-click-closes", WaitUntil([&] { return !::IsWindow(window); }, kUiTimeout),
                     ::IsWindowVisible(window) ? "the window is still shown" : "the window is hidden, not destroyed");
    }

    // The next choice opens a fresh window at the design place.
    before = todayCaption();
    choose(button, kClockEntry);
    HWND fresh = WaitForTopWindow(process.Id(), L"TfrmTime", true, kUiTimeout);
    if (!report.Check("clock.next-choice-opens-again", fresh != nullptr,
                      "no visible TfrmTime window within 5 s of the next choice"))
        return;
    checkOpened(report, "clock.reopened", fresh, before);
    report.Check("clock.reopened.one-window", clockWindows(process.Id()).size() == 1,
                 std::to_string(clockWindows(process.Id()).size()) + " visible clock windows");
}

}  // namespace e2e
