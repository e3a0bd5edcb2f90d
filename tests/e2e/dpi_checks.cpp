// The launcher on a screen of 144 dpi (a prefix whose LogPixels says so, see
// scripts/test.sh): design pixels scaled, the configured place in screen
// pixels, the texts of the Run dialog, Find File and the picker whole and
// clear of each other, and a form of this process following WM_DPICHANGED.
#include "platform/forms.h"

// After the portable headers, whose names <windows.h> would make macros.
#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

RECT rectOf(HWND hwnd, bool client = false) {
    RECT r{};
    client ? ::GetClientRect(hwnd, &r) : ::GetWindowRect(hwnd, &r);
    return r;
}

std::string sizeOf(const RECT& r) {
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The texts of `form` that its controls cut off, in the form's font at
// `dpi`: a label must hold a line and keep clear of its siblings, a caption
// must fit inside the button's frame (2 pixels), or beside its glyph
// (`glyph` design pixels with the margin before) and a margin of 2, a check
// box's beside the box.
std::string cutOff(HWND form, const wchar_t* face, int height, int dpi, int glyph = 0) {
    HFONT font = ::CreateFontW(-::MulDiv(height, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    std::string out;
    std::vector<HWND> children = ChildWindows(form, L"Static"), buttons = ChildWindows(form, L"Button");
    children.insert(children.end(), buttons.begin(), buttons.end());
    for (HWND child : children) {
        const std::wstring caption = Widen(TextOf(child));
        std::wstring text;  // "&x" shows as x, "&&" as "&"
        for (std::size_t i = 0; i < caption.size(); ++i)
            text += caption[i] == L'&' && i + 1 < caption.size() ? caption[++i] : caption[i];
        if (text.empty() || !::IsWindowVisible(child)) continue;
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        const RECT client = rectOf(child, true), at = rectOf(child);
        bool fits = true;
        int room = client.right;
        if (ClassOf(child) == L"Static") {
            fits = metrics.tmHeight <= client.bottom;
            for (HWND other = ::GetWindow(child, GW_HWNDFIRST); other; other = ::GetWindow(other, GW_HWNDNEXT)) {
                RECT both{}, neighbour = rectOf(other);
                if (other != child && ::IsWindowVisible(other) && ::IntersectRect(&both, &at, &neighbour))
                    out += " " + Narrow(text) + " overlaps a " + Narrow(ClassOf(other));
            }
        } else {
            const auto type = ::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
            const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
            room -= box ? ::MulDiv(17, dpi, 96) : glyph ? ::MulDiv(glyph, dpi, 96) + ::MulDiv(2, dpi, 96) : 4;
        }
        if (!fits || extent.cx > room)
            out += " " + Show(Narrow(text)) + " needs " + std::to_string(extent.cx) + "x" +
                   std::to_string(metrics.tmHeight) + " in " + sizeOf(client);
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(font);
    return out;
}

struct TDpiForm : TForm {
    TDpiForm() : TForm(nullptr, "TDpiCheckForm") {}
    TButton Button{this};
};

// A form of this process moves to a screen of 192 dpi and back, as the
// system tells it: WM_DPICHANGED with the rectangle to take.
void dpiChange(TReport& report, int dpi) {
    TApplication app;
    auto* form = app.CreateForm<TDpiForm>();
    form->SetBounds(40, 40, 200, 100);
    form->Button.SetBounds(10, 10, 75, 25);
    form->Show();
    const auto windows = TopWindows(::GetCurrentProcessId(), L"TDpiCheckForm", true);
    HWND hwnd = windows.empty() ? nullptr : windows.front();
    HWND button = hwnd ? ::FindWindowExW(hwnd, nullptr, L"Button", nullptr) : nullptr;
    if (!report.Check("dpi.change.form", button != nullptr, "no TDpiCheckForm window with a button")) return;
    auto layout = [&] {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)), sizeof font, &font);
        return "window " + sizeOf(rectOf(hwnd)) + ", button " + sizeOf(rectOf(button)) + ", font " +
               std::to_string(font.lfHeight) + ", design " + std::to_string(form->Width()) + "x" +
               std::to_string(form->Height());
    };
    const std::string before = layout();
    const RECT at = rectOf(hwnd);
    const RECT larger{at.left, at.top, at.left + ::MulDiv(at.right - at.left, 192, dpi),
                      at.top + ::MulDiv(at.bottom - at.top, 192, dpi)};
    ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&larger));
    const std::string expected = "window " + sizeOf(larger) + ", button 150x50, font -26, design 200x100";
    report.Check("dpi.change.rescales", layout() == expected, layout() + ", expected " + expected);
    ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&at));
    report.Check("dpi.change.returns", layout() == before, layout() + ", expected " + before);
}

}  // namespace

void RunDpiChecks(TReport& report, const TTargets& targets) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    if (!report.Check("dpi.screen", dpi == 144, "the screen has " + std::to_string(dpi) + " dpi")) return;
    const std::wstring ini = JoinPath(targets.scratch, L"dpi.ini");
    WriteFileBytes(ini, "[CONFIG]\r\nCaption=&Go\r\nLeft=123\r\nTop=45\r\nQuickClose=1\r\n");
    TProcess process;
    HWND form = StartLauncher(report, "dpi", process, targets.full, {ini});
    HWND button = form ? ButtonOf(form) : nullptr;
    if (!button) return;
    // The window's client area is 104 x 27 design pixels and the button one
    // wider, at the configured place.
    const RECT r = rectOf(form);
    const std::string place = std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + sizeOf(r);
    report.Check("dpi.button", place == "123, 45, 156x41" && sizeOf(rectOf(button)) == "158x41",
                 "the window at " + place + ", the button " + sizeOf(rectOf(button)));
    std::string cut = cutOff(form, L"System", 13, dpi, 4 + 16 + 2);
    report.Check("dpi.button-caption", cut.empty(), cut);

    // The Run dialog, below the separator; Find File, Functions' third item,
    // and the picker from its "...".
    const TMenuKey down{false, VK_DOWN}, enter{false, VK_RETURN}, right{false, VK_RIGHT};
    HWND run = nullptr, find = nullptr, picker = nullptr;
    if (ChooseFromMenu(report, "dpi.run", button, {down, enter}))
        run = WaitForTopWindow(process.Id(), L"TRunDlg", true, 5s);
    if (report.Check("dpi.run-opens", run != nullptr, "no Run dialog")) {
        const RECT client = rectOf(run, true);
        report.Check("dpi.run-size", sizeOf(client) == "405x122", "client area " + sizeOf(client));
        cut = cutOff(run, L"MS Sans Serif", 11, dpi);
        report.Check("dpi.run-texts", cut.empty(), "cut off:" + cut);
        ::PostMessageW(run, WM_CLOSE, 0, 0);
        WaitUntil([&] { return !::IsWindowVisible(run); }, 5s);
    }
    if (ChooseFromMenu(report, "dpi.find", button, {down, down, right, down, down, enter}))
        find = WaitForTopWindow(process.Id(), L"TSearchFrm", true, 5s);
    if (report.Check("dpi.find-opens", find != nullptr, "no Find File window")) {
        cut = cutOff(find, L"Arial", 13, dpi);
        report.Check("dpi.find-texts", cut.empty(), "cut off:" + cut);
        for (HWND b : ChildWindows(find, L"Button")) {
            if (TextOf(b) != "...") continue;
            ::PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            ::PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
        picker = WaitForTopWindow(process.Id(), L"TfrmDir", true, 5s);
    }
    if (report.Check("dpi.picker-opens", picker != nullptr, "no picker")) {
        cut = cutOff(picker, L"Arial", 13, dpi, 4 + 16 + 2);
        report.Check("dpi.picker-texts", cut.empty(), "cut off:" + cut);
    }
    process.Kill();
    dpiChange(report, dpi);
}

}  // namespace e2e
