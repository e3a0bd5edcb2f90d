// The launcher on a screen of more than 96 dpi (a prefix whose LogPixels is
// 144, see scripts/test.sh): design pixels are scaled by the screen's DPI,
// while the configured position stays in screen pixels, and the captions and
// labels of the Run dialog and Find File fit their controls in the fonts the
// forms give them, scaled the same way. A form of this process then moves to
// a screen of another DPI.
#include "platform/forms.h"

// After the portable headers, whose names <windows.h> would make macros.
#include <string>
#include <vector>

#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kUiTimeout = 5s;

int screenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

std::string size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string sizeOf(const RECT& r) {
    return size(r.right - r.left, r.bottom - r.top);
}

RECT windowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// "&x" shows as x, "&&" as "&".
std::wstring shown(const std::string& caption) {
    std::wstring text;
    const std::wstring wide = Widen(caption);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'&' && i + 1 < wide.size()) ++i;
        text += wide[i];
    }
    return text;
}

// The visible labels, buttons and check boxes of `form` whose text does not
// fit them in the form's font (`face`, `height` design pixels, `bold`) at
// `dpi`: a label must hold a whole line and keep clear of its neighbours, a
// button's caption must fit inside its frame and beside its glyph (`glyph`
// design pixels), a check box's beside its box.
std::string clippedTexts(HWND form, const wchar_t* face, int height, bool bold, int dpi, int glyph = 0) {
    auto scaled = [dpi](int design) { return ::MulDiv(design, dpi, 96); };
    HFONT font =
        ::CreateFontW(-scaled(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    std::string clipped;
    std::vector<HWND> children = ChildWindows(form, L"Static");
    for (HWND button : ChildWindows(form, L"Button")) children.push_back(button);
    for (HWND child : children) {
        const std::string caption = TextOf(child);
        if (!::IsWindowVisible(child) || caption.empty()) continue;
        const std::wstring text = shown(caption);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        RECT client{};
        ::GetClientRect(child, &client);
        int room = client.right;
        bool fits = true;
        if (ClassOf(child) == L"Static") {
            fits = metrics.tmHeight <= client.bottom;  // a label shows its descenders too
            const RECT at = windowRect(child);
            for (HWND other = ::GetWindow(child, GW_HWNDFIRST); other; other = ::GetWindow(other, GW_HWNDNEXT)) {
                RECT both{}, neighbour = windowRect(other);
                if (other == child || !::IsWindowVisible(other) || !::IntersectRect(&both, &at, &neighbour)) continue;
                const std::string name = TextOf(other);
                clipped += " " + Show(caption) + " overlaps " + (name.empty() ? Narrow(ClassOf(other)) : Show(name));
            }
        } else {
            const auto type = ::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
            const bool checkBox = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
            constexpr int kFrame = 2;
            room -= checkBox ? scaled(17) : 2 * kFrame + scaled(glyph);
        }
        if (fits && extent.cx <= room) continue;
        clipped += " " + Show(caption) + " needs " + size(extent.cx, metrics.tmHeight) + " in " +
                   size(client.right, client.bottom);
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(font);
    return clipped;
}

// The child of `parent` of class `cls` at (left, top) of its client area.
HWND childAt(HWND parent, const wchar_t* cls, int left, int top) {
    for (HWND child : ChildWindows(parent, cls)) {
        RECT r = windowRect(child);
        POINT p{r.left, r.top};
        ::ScreenToClient(parent, &p);
        if (p.x == left && p.y == top) return child;
    }
    return nullptr;
}

struct TDpiForm : TForm {
    TDpiForm() : TForm(nullptr, "TDpiCheckForm") {}
    TButton Button{this};
};

// Client size, the button's size and its font's height.
std::string layoutOf(HWND form, HWND button) {
    RECT client{};
    ::GetClientRect(form, &client);
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0));
    if (!handle || !::GetObjectW(handle, sizeof font, &font)) font.lfHeight = 0;
    return "client " + size(client.right, client.bottom) + ", button " + sizeOf(windowRect(button)) + ", font " +
           std::to_string(font.lfHeight);
}

// A form of this process moves to a screen of 192 dpi and back, as the
// system tells it by WM_DPICHANGED with the rectangle to take.
void dpiChange(TReport& report, int dpi) {
    TApplication app;
    auto* form = app.CreateForm<TDpiForm>();
    form->SetBounds(40, 40, 200, 100);
    form->Button.SetBounds(10, 10, 75, 25);
    form->Button.SetCaption("OK");
    form->Show();
    const auto windows = TopWindows(::GetCurrentProcessId(), L"TDpiCheckForm", true);
    HWND hwnd = windows.empty() ? nullptr : windows.front();
    HWND button = hwnd ? ::FindWindowExW(hwnd, nullptr, L"Button", nullptr) : nullptr;
    if (!report.Check("dpi.change.form", button != nullptr, "no TDpiCheckForm window with a button")) return;
    const std::string before = layoutOf(hwnd, button);
    const RECT at = windowRect(hwnd);
    auto to = [&](int newDpi, const RECT& rect) {
        ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&rect));
        app.ProcessMessages();
    };
    // The window takes the system's rectangle; what is inside follows the DPI.
    const RECT larger{at.left, at.top, at.left + ::MulDiv(at.right - at.left, 192, dpi),
                      at.top + ::MulDiv(at.bottom - at.top, 192, dpi)};
    to(192, larger);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const std::string expected = "client " + size(client.right, client.bottom) + ", button 150x50, font -26";
    report.Check("dpi.change.rescales",
                 sizeOf(windowRect(hwnd)) == sizeOf(larger) && layoutOf(hwnd, button) == expected &&
                     form->Width() == 200 && form->Height() == 100,
                 "window " + sizeOf(windowRect(hwnd)) + ", " + layoutOf(hwnd, button) + ", design size " +
                     size(form->Width(), form->Height()) + "; expected window " + sizeOf(larger) + ", " + expected +
                     ", design size 200x100");
    // Back where it was: all as before, nothing lost to rounding.
    to(dpi, at);
    report.Check("dpi.change.returns", layoutOf(hwnd, button) == before && form->Width() == 200,
                 layoutOf(hwnd, button) + ", expected " + before);
}

}  // namespace

void RunDpiChecks(TReport& report, const TTargets& targets) {
    const int dpi = screenDpi();
    if (!report.Check("dpi.screen", dpi == 144, "the screen has " + std::to_string(dpi) + " dpi, not 144")) return;
    auto scaled = [dpi](int design) { return ::MulDiv(design, dpi, 96); };

    const std::wstring ini = JoinPath(targets.scratch, L"dpi.ini");
    if (!report.Check("dpi.write-config",
                      WriteFileBytes(ini, "[CONFIG]\r\nCaption=&Go\r\nLeft=123\r\nTop=45\r\nQuickClose=1\r\n"),
                      "cannot write dpi.ini"))
        return;
    TProcess process;
    HWND form = StartLauncher(report, "dpi", process, targets.full, {ini});
    if (!form) return;

    // The window's client area is 104 x 27 design pixels, the button one
    // wider; the place is the configured one, in screen pixels.
    const RECT r = windowRect(form);
    report.Check("dpi.window", r.left == 123 && r.top == 45 && sizeOf(r) == "156x41",
                 "at " + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + sizeOf(r) +
                     "; expected 156x41 at 123, 45");
    HWND button = ButtonOf(form);
    if (!report.Check("dpi.button", button && sizeOf(windowRect(button)) == "158x41",
                      button ? "the button is " + sizeOf(windowRect(button)) + ", expected 158x41" : "no button"))
        return;
    std::string clipped = clippedTexts(form, L"System", 13, false, dpi, 4 + 16 + 2);
    report.Check("dpi.button-caption-fits", clipped.empty(), clipped);

    // The Run dialog: the first item below the separator.
    HWND run = nullptr;
    if (ChooseFromMenu(report, "dpi.run", button, {{false, VK_DOWN}, {false, VK_RETURN}}))
        run = WaitForTopWindow(process.Id(), L"TRunDlg", true, kUiTimeout);
    if (report.Check("dpi.run-opens", run != nullptr, "no visible TRunDlg window")) {
        RECT client{};
        ::GetClientRect(run, &client);
        report.Check(
            "dpi.run-size", client.right == scaled(270) && client.bottom == scaled(81),
            "client area " + size(client.right, client.bottom) + ", expected " + size(scaled(270), scaled(81)));
        clipped = clippedTexts(run, L"MS Sans Serif", 11, false, dpi);
        report.Check("dpi.run-texts-fit", clipped.empty(), "cut off:" + clipped);
        PostKey(FocusOf(run), VK_ESCAPE);
        report.Check("dpi.run-closes", WaitUntil([&] { return !::IsWindowVisible(run); }, kUiTimeout),
                     "the Run dialog is still open after Escape");
    }

    // Find File: Functions, its third item.
    HWND find = nullptr;
    if (ChooseFromMenu(report, "dpi.find", button,
                       {{false, VK_DOWN},
                        {false, VK_DOWN},
                        {false, VK_RIGHT},
                        {false, VK_DOWN},
                        {false, VK_DOWN},
                        {false, VK_RETURN}}))
        find = WaitForTopWindow(process.Id(), L"TSearchFrm", true, kUiTimeout);
    if (report.Check("dpi.find-opens", find != nullptr, "no visible TSearchFrm window")) {
        // Its boxes where the design puts them, scaled.
        report.Check(
            "dpi.find-boxes-placed",
            childAt(find, L"ComboBox", scaled(124), scaled(12)) && childAt(find, L"ComboBox", scaled(124), scaled(40)),
            "no combo boxes at " + std::to_string(scaled(124)) + ", " + std::to_string(scaled(12)) + " and " +
                std::to_string(scaled(40)));
        clipped = clippedTexts(find, L"Arial", 13, false, dpi);
        report.Check("dpi.find-texts-fit", clipped.empty(), "cut off:" + clipped);
        ::PostMessageW(find, WM_CLOSE, 0, 0);
        report.Check("dpi.find-closes", WaitUntil([&] { return !::IsWindowVisible(find); }, kUiTimeout),
                     "Find File is still open after WM_CLOSE");
    }
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    report.Check("dpi.ends", process.WaitExit(10s), "still running 10 s after WM_CLOSE");

    dpiChange(report, dpi);
}

}  // namespace e2e
