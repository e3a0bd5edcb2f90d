// Internals of the Win32 backend: text conversion at the API boundary, the
// owning handle template, and the driver classes that the factory creates.
#pragma once

// The portable headers define names that <windows.h> turns into macros
// (IDOK, MB_OK, EWX_LOGOFF, ...), so they must come first.
#include "platform/canvas.h"
#include "platform/dialogs.h"
#include "platform/drivers.h"
#include "platform/extctrls.h"
#include "platform/filectrl.h"
#include "platform/forms.h"
#include "platform/grids.h"
#include "platform/menus.h"
#include "platform/os.h"
#include "platform/timers.h"

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// These two need <windows.h> before them.
#include <commdlg.h>
#include <shellapi.h>

// Member names of the portable interfaces that the SDK redefines.
#undef LoadString
#undef MessageBox
#undef ReplaceFile
#undef ShellExecute
#undef WinHelp

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// One owner per handle: move-only, no conversion that could let a copy free
// it twice. Traits give the handle type, its empty value and its release.
template <class Traits>
class THandle {
public:
    using type = typename Traits::type;

    THandle() noexcept = default;
    explicit THandle(type h) noexcept : h_(h) {}
    THandle(THandle&& other) noexcept : h_(other.release()) {}
    THandle& operator=(THandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    ~THandle() { reset(); }

    type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::empty(); }
    type release() noexcept {
        type h = h_;
        h_ = Traits::empty();
        return h;
    }
    // Empties the owner before closing, so a close that re-enters (a window
    // that reports its own destruction) sees no handle left.
    void reset(type h = Traits::empty()) noexcept {
        type old = h_;
        h_ = h;
        if (old != Traits::empty()) Traits::close(old);
    }

private:
    type h_ = Traits::empty();
};

struct WindowTraits {
    using type = HWND;
    static type empty() { return nullptr; }
    static void close(type h) { ::DestroyWindow(h); }
};
struct MenuTraits {
    using type = HMENU;
    static type empty() { return nullptr; }
    static void close(type h) { ::DestroyMenu(h); }
};
struct FontTraits {
    using type = HFONT;
    static type empty() { return nullptr; }
    static void close(type h) { ::DeleteObject(h); }
};
struct IconTraits {
    using type = HICON;
    static type empty() { return nullptr; }
    static void close(type h) { ::DestroyIcon(h); }
};
struct KernelTraits {  // files, processes, tokens
    using type = HANDLE;
    static type empty() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { ::CloseHandle(h); }
};
struct GdiTraits {  // pens, brushes, bitmaps, regions
    using type = HGDIOBJ;
    static type empty() { return nullptr; }
    static void close(type h) { ::DeleteObject(h); }
};
struct MemoryDCTraits {
    using type = HDC;
    static type empty() { return nullptr; }
    static void close(type h) { ::DeleteDC(h); }
};
struct LocalTraits {
    using type = HLOCAL;
    static type empty() { return nullptr; }
    static void close(type h) { ::LocalFree(h); }
};

using TWindow = THandle<WindowTraits>;
using TMenuHandle = THandle<MenuTraits>;
using TFont = THandle<FontTraits>;
using TIcon = THandle<IconTraits>;
using TFile = THandle<KernelTraits>;
using TKernelObject = THandle<KernelTraits>;
using TLocalMemory = THandle<LocalTraits>;
using TGdiObject = THandle<GdiTraits>;
using TMemoryDC = THandle<MemoryDCTraits>;

// A window's DC for measuring, given back when the scope ends.
class TWindowDC {
public:
    explicit TWindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint and EndPaint as one scope.
class TPaint {
public:
    explicit TPaint(HWND hwnd) : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    TPaint(const TPaint&) = delete;
    TPaint& operator=(const TPaint&) = delete;
    ~TPaint() { ::EndPaint(hwnd_, &ps_); }
    HDC DC() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Pixel width of UTF-8 text in a font.
int MeasureText(HFONT font, const std::string& text);

// Puts back what SelectObject replaced when the scope ends.
class TSelectGuard {
public:
    TSelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    TSelectGuard(const TSelectGuard&) = delete;
    TSelectGuard& operator=(const TSelectGuard&) = delete;
    ~TSelectGuard() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

HINSTANCE Instance();
// The application icon from resource 1, at the given size; empty without one.
TIcon LoadAppIcon(int size);
// Modifier keys as the toolkit reports them.
TShiftState KeyShift();
TShiftState MouseShift(WPARAM wParam);
inline int MouseX(LPARAM lp) {
    return static_cast<short>(LOWORD(lp));
}
inline int MouseY(LPARAM lp) {
    return static_cast<short>(HIWORD(lp));
}

// Disables this thread's enabled top-level windows but one while it lives,
// so that a modal window or message box is the only one taking input.
class TThreadWindowsDisabled {
public:
    explicit TThreadWindowsDisabled(HWND except);
    TThreadWindowsDisabled(const TThreadWindowsDisabled&) = delete;
    TThreadWindowsDisabled& operator=(const TThreadWindowsDisabled&) = delete;
    ~TThreadWindowsDisabled();

private:
    std::vector<HWND> disabled_;
};

// Private messages of our form windows.
constexpr UINT WM_TOLVEK_ACTIVATE = WM_APP + 1;  // wParam: 1 activated, 0 deactivated
constexpr UINT WM_TOLVEK_CHILDREN = WM_APP + 2;  // create controls added after the window

class TWin32Form;
class TWin32Timer;

class TWin32Application : public IApplicationDriver {
public:
    explicit TWin32Application(TApplication* app);

    void TitleChanged() override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void Run() override;
    void ProcessMessages() override;
    void Wake() override;
    void WaitMessageOrWake(unsigned timeoutMs) override;
    void Terminate() override;
    void SetCursor(TCursor cursor) override;
    std::vector<TRect> Monitors() override;
    TPoint CursorPos() override;

    // Gives the form of a key press's window the first look at it (menu
    // shortcuts, accelerators, Enter, Esc, Tab); true when it used the key.
    bool PreTranslate(const MSG& msg);
    // One message of a loop: pre-translation, then the usual way.
    void Pump(const MSG& msg);
    bool Busy() const { return cursor_ == TCursor::HourGlass; }
    // The hidden window that carries the application title and the timers.
    HWND Window();
    void AddTimer(TWin32Timer* timer) { timers_.insert(timer); }
    void RemoveTimer(TWin32Timer* timer) { timers_.erase(timer); }
    bool Runs(const TTimer& timer) const;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    TApplication* app_;
    TWindow window_;
    TCursor cursor_ = TCursor::Default;
    // Timers alive now; a tick for one that is gone is dropped.
    std::unordered_set<TWin32Timer*> timers_;
    // Set by Wake from any thread; auto-reset, so one wait takes it.
    TKernelObject wake_;
};

// The application driver of the running application object.
TWin32Application& AppDriver();

class TWin32Control : public IControlDriver {
public:
    explicit TWin32Control(TControl* control);
    ~TWin32Control() override;

    void Changed(TControlChange what) override;
    void Repaint() override;
    void SetFocus() override;
    bool Focused() const override;
    int TextWidth(const std::string& text) const override;

    // Creates the child window inside `parent` unless it exists.
    void Create(HWND parent, TWin32Form& form, int id);
    HWND Handle() const { return window_.get(); }
    TControl* Control() const { return control_; }
    void SetFont(HFONT font);
    // Owner drawing of bitmap buttons and bevels.
    void Draw(const DRAWITEMSTRUCT& item);
    // A notification the child window sent to its parent.
    bool Notify(UINT code);
    // Our control behind a child window, or none.
    static TWin32Control* FromWindow(HWND hwnd);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT callOld(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::CallWindowProcW(oldProc_, hwnd, msg, wParam, lParam);
    }
    void createLate();
    void loadGlyph();
    int windowWidth() const;
    int windowHeight() const;
    void fillItems();
    void drawButton(const DRAWITEMSTRUCT& item);
    void drawListItem(const DRAWITEMSTRUCT& item);
    bool takesFocus() const;

    // The custom-drawn control and the panel (canvas.cpp).
    LRESULT customMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void createWnd();
    // The string grid (grid.cpp).
    LRESULT gridMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void gridPaint(HDC dc);
    void gridScrollBars();
    void gridMoveTo(int col, int row);
    int gridBorderAt(int x, int y) const;

    TControl* control_;
    TWindow window_;
    WNDPROC oldProc_ = nullptr;
    HFONT font_ = nullptr;  // owned by the form
    TIcon glyph_;
    bool destroying_ = false;
    // A column border the user drags in a grid.
    int dragCol_ = -1, dragStartX_ = 0, dragStartWidth_ = 0;
};

// Creates the windows of `parent`'s controls that do not exist yet, in
// creation order, and then theirs.
void CreateChildWindows(TControl* parent, HWND parentWindow, TWin32Form& form);
// Handles a notification that a child sends to its parent window; true when
// it was ours (`result` then holds the answer).
bool ChildNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Registers a window class of ours for controls that have no system class.
void RegisterControlClass(const wchar_t* name, UINT style);

// A GDI surface for the portable canvas: a memory DC or a paint DC.
class TGdiCanvas : public IBitmapDriver {
public:
    explicit TGdiCanvas(HDC dc = nullptr) : dc_(dc) {}
    HDC DC() const { return dc_; }
    void FillRect(const TRect& r, std::uint32_t color) override;
    void SetPixel(int x, int y, std::uint32_t color) override;
    std::uint32_t GetPixel(int x, int y) override;
    void Polygon(const TPoint* points, std::size_t count, std::uint32_t pen, int penWidth,
                 std::uint32_t brush) override;
    void Ellipse(const TRect& box, std::uint32_t pen, int penWidth, std::uint32_t brush) override;
    void ClipToEllipse(const TRect& box) override;
    void RemoveClip() override;
    void StretchCopy(const TRect& dest, IBitmapDriver& source, const TRect& sourceRect) override;
    void SetSize(int, int) override {}

protected:
    HDC dc_;
};

// Appends the visible children of `parent` to `menu`; chosen[id - 1] is the
// item of command id `id`.
void AppendMenuItems(HMENU menu, TMenuItem& parent, std::vector<TMenuItem*>& chosen);

class TWin32Form : public IFormDriver {
public:
    explicit TWin32Form(TForm* form) : form_(form) {}
    ~TWin32Form() override;

    void Changed(TControlChange what) override;
    void Repaint() override;
    void SetFocus() override;
    bool Focused() const override;
    int TextWidth(const std::string& text) const override;
    void Show() override;
    void Hide() override;
    int RunModal() override;
    void SetMouseCapture(bool capture) override;

    // The window, created on first need with its controls.
    HWND Handle();
    HWND ExistingHandle() const { return window_.get(); }
    TForm* Form() const { return form_; }
    // The font of a control: the form's, or the control's own face, height
    // or weight. The form keeps each one it made.
    HFONT FontFor(const TControl* control) const;
    bool Destroying() const { return destroying_; }
    // The child that gets the focus when the form is next activated.
    void FocusLater(HWND child) { lastFocus_ = child; }
    // Our form behind a top-level window, or none.
    static TWin32Form* FromWindow(HWND hwnd);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void create();
    void registerClass(const std::wstring& name);
    DWORD style() const;
    DWORD exStyle() const;
    RECT outerRect() const;
    void updateFont();
    void applyStyle();
    void applyTopmost();
    void placeFirstTime();
    void syncBounds();
    TControl* mainMenu() const;
    void buildMenuBar();
    void refreshMenuStates(HMENU menu);

    TForm* form_;
    TWindow window_;
    mutable std::vector<std::pair<std::wstring, TFont>> fonts_;  // by face, height and weight
    std::wstring fontKey_;                                       // the form's own font
    TMenuHandle menuBar_;
    std::vector<TMenuItem*> menuItems_;  // by command id - 1
    HWND lastFocus_ = nullptr;
    bool destroying_ = false;
    bool syncing_ = false;
    bool placed_ = false;
    bool modal_ = false;
    bool creating_ = false;
};

TWin32Form* FormDriverOf(TForm* form);

class TWin32Menu : public IMenuDriver {
public:
    explicit TWin32Menu(TPopupMenu* menu) : menu_(menu) {}
    TMenuItem* Popup(int x, int y) override;

private:
    TPopupMenu* menu_;
};

class TWin32Timer : public ITimerDriver {
public:
    explicit TWin32Timer(TTimer* timer) : timer_(timer) {}
    ~TWin32Timer() override;
    void Set(unsigned intervalMs) override;
    TTimer* Timer() const { return timer_; }

private:
    TTimer* timer_;
    bool running_ = false;
};

class TWin32Dialog : public IDialogDriver {
public:
    bool Execute(TOpenDialog& dialog) override;
};

class TWin32OS : public IOperatingSystem {
public:
    bool FileExists(const std::string& path) override;
    std::string WindowsDirectory() override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    void ReplaceFile(const std::string& path, const std::string& bytes) override;
    std::string GetCurrentDir() override;
    bool SetCurrentDir(const std::string& dir) override;
    ShellResult ShellExecute(const std::string& file, const std::string& parameters, const std::string& directory,
                             int showCmd) override;
    bool GetExitCodeProcess(std::uintptr_t process, unsigned& exitCode) override;
    void CloseProcess(std::uintptr_t process) override;
    unsigned WinExec(const std::string& commandLine, int showCmd) override;
    std::string LoadString(unsigned id) override;
    FreeResources GetFreeResources() override;
    bool EnableShutdownPrivilege() override;
    bool ExitWindowsEx(unsigned flags, unsigned reserved) override;
    bool WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) override;
    TSystemTime GetLocalTime() override;
    std::uint64_t GetTickCount64() override;
    std::string LongMonthName(int month) override;
    std::string TimeSeparator() override;
};

}  // namespace win32
