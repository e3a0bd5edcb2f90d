// Internals of the Win32 backend: text conversion at the API boundary, the
// owning handle template, and the driver classes that the factory creates.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

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
#include "platform/win32/winapi.h"

namespace win32 {

// Our strings are UTF-8, and WTF-8 where a name holds an unpaired surrogate.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// A path for the file functions at any length: as given while it is short
// enough for the classic limit, else absolute with the extended-length
// prefix ("\\?\C:\...", "\\?\UNC\server\...").
std::wstring LongPath(std::string_view utf8);
// The same for a search pattern: the mask after the last separator is kept
// as typed.
std::wstring LongPattern(std::string_view pattern);

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
// Files fail as INVALID_HANDLE_VALUE; processes, threads and tokens as NULL,
// and INVALID_HANDLE_VALUE is then the current process's own handle.
struct FileTraits {
    using type = HANDLE;
    static type empty() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { ::CloseHandle(h); }
};
struct KernelTraits {
    using type = HANDLE;
    static type empty() { return nullptr; }
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
// A COM object: our reference to it, given back at the end.
struct ComTraits {
    using type = IUnknown*;
    static type empty() { return nullptr; }
    static void close(type h) { h->Release(); }
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
using TFile = THandle<FileTraits>;
using TKernelObject = THandle<KernelTraits>;
using TLocalMemory = THandle<LocalTraits>;
using TGdiObject = THandle<GdiTraits>;
using TMemoryDC = THandle<MemoryDCTraits>;
using TComObject = THandle<ComTraits>;

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

// Pixel width of UTF-8 text in a font, and the height of its lines.
int MeasureText(HFONT font, const std::string& text);
int LineHeight(HFONT font);

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

// Sizes inside forms are design pixels, 96 to the inch; a window shows them
// at its own DPI, rounded as MulDiv rounds.
constexpr int kDesignDpi = 96;
inline int ScaleBy(int design, int dpi) {
    return ::MulDiv(design, dpi, kDesignDpi);
}
// A measured extent, rounded up so that it fits again once scaled back.
inline int UnscaleUp(int device, int dpi) {
    return device <= 0 ? 0 : (device * kDesignDpi + dpi - 1) / dpi;
}
// A device size as design pixels: `design` itself while it still shows as
// `device`, so that rounding never creeps into the portable sizes.
inline int ToDesign(int device, int design, int dpi) {
    return ScaleBy(design, dpi) == device ? design : ::MulDiv(device, kDesignDpi, dpi);
}
// The DPI of a window, and of the monitor nearest a point, as far as the
// system tells them apart (each monitor its own since Windows 8.1).
int DpiOfWindow(HWND hwnd);
int DpiAt(POINT point);
// AdjustWindowRectEx and GetSystemMetrics at `dpi`, where the system can.
void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi);
int SystemMetricForDpi(int index, int dpi);

HINSTANCE Instance();
// A function of a system DLL that only some windows use, loaded from the
// system directory when first asked for, so that start-up does not pay for
// it; null when the DLL or the function is missing.
FARPROC SystemProc(const wchar_t* dll, const char* name);
template <class F>
F* SystemFunction(const wchar_t* dll, const char* name) {
    // Through the generic function type, which any function pointer may be cast to.
    return reinterpret_cast<F*>(reinterpret_cast<void (*)()>(SystemProc(dll, name)));
}
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
constexpr UINT WM_TOLVEK_FORWARD = WM_APP + 3;   // hand the activation to the form that should have it

class TWin32Form;
class TWin32Timer;

class TWin32Application : public IApplicationDriver {
public:
    explicit TWin32Application(TApplication* app);
    ~TWin32Application() override;

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

    // Routes a key press through its form (TForm::KeyDown) before the
    // window sees it; true when the form used the key.
    bool PreTranslate(const MSG& msg);
    // One message of a loop: pre-translation, then the usual way.
    void Pump(const MSG& msg);
    bool Busy() const { return cursor_ == TCursor::HourGlass; }
    // The window that owns every form: it carries the application title and
    // the program's one taskbar button, has no size, and hands its
    // activation on to a form. The timers run on it too.
    HWND Window();
    // Makes the owner visible, so that its taskbar button shows.
    void ShowOwner();
    // Modal forms, innermost last: while one runs, activating the program or
    // another of its forms brings that one forward.
    void EnterModal(HWND form) { modal_.push_back(form); }
    void LeaveModal(HWND form) { std::erase(modal_, form); }
    // A form was activated: behind a modal form it passes the activation on.
    void FormActivated(HWND form);
    void AddTimer(TWin32Timer* timer) { timers_.insert(timer); }
    void RemoveTimer(TWin32Timer* timer) { timers_.erase(timer); }
    bool Runs(const TTimer& timer) const;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    TApplication* app_;
    bool comInitialized_ = false;
    TWindow window_;
    TCursor cursor_ = TCursor::Default;
    // Hands the activation to `target` from the queue: it must not change
    // inside its own message.
    void forward(HWND target);

    std::vector<HWND> modal_;
    HWND lastActive_ = nullptr;
    // Timers alive now; a tick for one that is gone is dropped.
    std::unordered_set<TWin32Timer*> timers_;
    // Set by Wake from any thread; auto-reset, so one wait takes it.
    TKernelObject wake_;
};

// The application driver of the running application object.
TWin32Application& AppDriver();

// A control's child window, and what every kind shares: the subclass that
// turns messages into the portable control's events, fonts, focus, and the
// changes common to all windows. Each kind of control has a class of its own
// below, which the factory picks by the control's kind.
class TWin32Control : public IControlDriver {
public:
    explicit TWin32Control(TControl* control);
    ~TWin32Control() override;

    void Changed(TControlChange what) override;
    void Repaint() override;
    // Within the active form the focus moves at once; another form keeps
    // the control for its next activation.
    void SetFocus() override;
    bool Focused() const override;
    int TextWidth(const std::string& text) const override;

    // Creates the child window inside `parent` unless it exists.
    void Create(HWND parent, TWin32Form& form, int id);
    HWND Handle() const { return window_.get(); }
    TControl* Control() const { return control_; }
    void SetFont(HFONT font);
    // Owner drawing, for the kinds that draw themselves.
    virtual void Draw(const DRAWITEMSTRUCT&) {}
    // A notification the child window sent to its parent; true when used.
    virtual bool Notify(UINT) { return false; }
    // Our control behind a child window, or none.
    static TWin32Control* FromWindow(HWND hwnd);
    // The keyboard focus has arrived in the control's window.
    void FocusArrived();
    // The form moved to a screen of another DPI and has new fonts.
    void DpiChanged();

protected:
    struct TWindowKind {
        const wchar_t* className = nullptr;  // none: the control has no window
        DWORD style = 0;                     // beyond WS_CHILD and the state
        DWORD exStyle = 0;
        bool ours = false;  // a class of ours, registered on first use
        UINT classStyle = 0;
    };
    virtual TWindowKind windowKind() const = 0;
    // The window exists: it takes the control's state.
    virtual void created() {}
    // The kind's messages; the default is the window's own procedure.
    virtual LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return callDefault(hwnd, msg, wParam, lParam);
    }
    // The kind's share of a change, after what all kinds do.
    virtual void changed(TControlChange) {}
    // The window style after a change of style; `style` has the tab stop.
    virtual DWORD restyle(DWORD style) { return style; }
    virtual void showText();
    virtual std::string shownText() const { return control_->Text(); }
    // In design pixels, as the control's own size.
    virtual int windowWidth() const { return control_->Width(); }
    virtual int windowHeight() const { return control_->Height(); }
    virtual void fontChanged() {}
    // The kind's share of a change of DPI, after the new font and bounds.
    virtual void rescaled() {}

    // The font the control shows its text in.
    HFONT font() const;
    // The DPI of the control's form, and design pixels at it.
    int dpi() const;
    int scale(int design) const { return ScaleBy(design, dpi()); }
    int unscale(int device) const { return ::MulDiv(device, kDesignDpi, dpi()); }
    // The window's place in its parent, in device pixels: edges scaled, so
    // that neighbours that meet in design pixels meet on screen too.
    RECT deviceBounds() const;
    void placeWindow(UINT flags);

    LRESULT callDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    // Runs `f` through the dispatcher; false when this driver did not
    // survive it (a form freed on the way), so nothing may touch it then.
    template <class F>
    bool dispatch(F&& f) {
        std::weak_ptr<int> alive = life_;
        Application->Dispatch(std::forward<F>(f));
        return !alive.expired();
    }
    HWND hwnd() const { return window_.get(); }

    TControl* control_;
    HFONT font_ = nullptr;  // owned by the form
    bool destroying_ = false;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void createLate();

    TWindow window_;
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

// The form's menu bar, which has no window of its own.
class TNoWindowDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;

protected:
    TWindowKind windowKind() const override { return {}; }
};

class TButtonDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;

protected:
    TWindowKind windowKind() const override;
    DWORD restyle(DWORD style) override;
};

// An owner-drawn push button with a small glyph left of its caption.
class TGlyphButtonDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;
    void Draw(const DRAWITEMSTRUCT& item) override;

protected:
    TWindowKind windowKind() const override;
    void created() override { loadGlyph(); }
    LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void changed(TControlChange what) override;
    DWORD restyle(DWORD style) override;
    std::string shownText() const override;
    void rescaled() override { loadGlyph(); }
    int windowWidth() const override;

private:
    void loadGlyph();
    TIcon glyph_;
};

// A glyph button that a click leaves the focus alone with: it presses and
// releases itself instead of letting the system's button take the focus.
class TSpeedButtonDriver : public TGlyphButtonDriver {
public:
    using TGlyphButtonDriver::TGlyphButtonDriver;

protected:
    LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class TLabelDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;

protected:
    TWindowKind windowKind() const override;
    void changed(TControlChange what) override;
    DWORD restyle(DWORD style) override;
    int windowWidth() const override;
    int windowHeight() const override;
};

class TComboBoxDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;
    void SelectAll() override;
    bool KeepsKey(Word key) const override;

protected:
    TWindowKind windowKind() const override;
    void created() override { fillItems(); }
    void changed(TControlChange what) override;
    int windowHeight() const override;

private:
    void fillItems();
};

class TMemoDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;
    void SelectAll() override;

protected:
    TWindowKind windowKind() const override;
    DWORD restyle(DWORD style) override;
    std::string shownText() const override;
};

// A raised frame, under its siblings.
class TBevelDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    void Draw(const DRAWITEMSTRUCT& item) override;

protected:
    TWindowKind windowKind() const override;
};

class TCheckBoxDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;

protected:
    TWindowKind windowKind() const override;
    void created() override { showCheck(); }
    void changed(TControlChange what) override;

private:
    void showCheck();
};

class TPanelDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;

protected:
    TWindowKind windowKind() const override;
    LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void changed(TControlChange what) override;
};

class TDirectoryListDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;
    void Draw(const DRAWITEMSTRUCT& item) override;

protected:
    TWindowKind windowKind() const override;
    void created() override { fillItems(); }
    void changed(TControlChange what) override;
    void fontChanged() override;

private:
    void fillItems();
};

class TDriveComboDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;
    bool Notify(UINT code) override;

protected:
    TWindowKind windowKind() const override;
    void created() override { fillItems(); }
    void changed(TControlChange what) override;
    void showText() override { selectDrive(); }
    int windowHeight() const override;

private:
    void fillItems();
    void selectDrive();
};

// The custom-drawn control (canvas.cpp).
class TCustomDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;

protected:
    TWindowKind windowKind() const override;
    void created() override;
    LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool pressed_ = false;  // a left press waits for its release to make a click
};

class TGridDriver;

// What assistive tools read a grid through (accessible.cpp): an accessible
// object whose children are the rows, and theirs the cells, and the events
// that tell them the current cell moved. The objects handed out may outlive
// the window; they then answer that they are no longer connected.
class TGridAccessibility {
public:
    explicit TGridAccessibility(TGridDriver& driver);
    TGridAccessibility(const TGridAccessibility&) = delete;
    TGridAccessibility& operator=(const TGridAccessibility&) = delete;
    // Before the window goes with the control driver.
    ~TGridAccessibility() { Disconnect(); }

    // The answer to WM_GETOBJECT for the client area.
    LRESULT Answer(WPARAM wParam);
    // Raises the selection and focus events when the current cell moved.
    void CurrentMoved();
    // The keyboard focus arrived: it is on the current cell.
    void FocusArrived();
    // The window is going: every object handed out is cut off from it.
    void Disconnect();

    TGridDriver& Driver() const { return driver_; }
    // The object of the whole grid, made on first need.
    IUnknown* Root();

private:
    void announce(bool selection, bool focus);

    TGridDriver& driver_;
    std::shared_ptr<TGridAccessibility*> link_;  // what the objects reach us by
    TComObject root_;
    TGridCoord announced_;  // the current cell as the events last told it
};

// The string grid (grid.cpp). The border drag lives here and nowhere else.
class TGridDriver : public TWin32Control {
public:
    using TWin32Control::TWin32Control;

    TStringGrid* grid() const { return static_cast<TStringGrid*>(control_); }
    // A cell's part of the client area that shows (col -1: the row's); false
    // when none of it does.
    bool CellRect(int col, int row, RECT& rect) const;
    // The cell under a point of the client area, in the screen's pixels.
    TGridCoord CellAt(int x, int y) const { return grid()->MouseCoord(unscale(x), unscale(y)); }

protected:
    TWindowKind windowKind() const override;
    void created() override { refresh(); }
    LRESULT message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void changed(TControlChange what) override;
    DWORD restyle(DWORD style) override;
    void rescaled() override { refresh(); }

private:
    // The client area in design pixels, in which the grid lays out its cells.
    RECT designClient() const;
    void refresh();
    void paint(HDC dc);
    void scrollBars();
    void moveTo(int col, int row);
    // Scrolls so that the current cell is in view.
    void showCurrent();
    int borderAt(int x, int y) const;

    int dragCol_ = -1, dragStartX_ = 0, dragStartWidth_ = 0;
    bool pressDragged_ = false;  // the last left press grabbed a border
    int wheel_ = 0;              // wheel turns not yet worth a row
    TGridAccessibility accessible_{*this};
};

// Creates the windows of `parent`'s controls that do not exist yet, in
// creation order, and then theirs.
void CreateChildWindows(TControl* parent, HWND parentWindow, TWin32Form& form);
// A caption as a control shows it: "&x" as an underlined x, "&&" as "&".
std::string ShownText(const std::string& caption);
// A label's text as it shows, by its ShowAccelChar.
std::string LabelText(const TLabel& label);
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

// How many menu items the screen at `at` shows without scrolling.
int MenuCapacity(POINT at);

// A menu bar or popup menu whose submenus are filled as they open. Only one
// submenu per depth is open at a time, so each depth has one handle, shared
// by the entries above it that open a submenu: a menu of any size costs one
// level of items and a handle per depth.
class TWin32MenuTree {
public:
    // Throws when the top level cannot be made.
    TWin32MenuTree(TMenuItem& root, bool bar, int capacity);
    TWin32MenuTree(const TWin32MenuTree&) = delete;
    TWin32MenuTree& operator=(const TWin32MenuTree&) = delete;

    HMENU Top() const { return depths_.front().menu.get(); }
    // Fills `menu`, one of ours that opens from the entry at `position` of
    // the depth above; false when it is not ours.
    bool Opening(HMENU menu, int position);
    // The item at `position` of one of our menus, or none.
    TMenuItem* ItemAt(HMENU menu, int position) const;
    // Keeps the item chosen at `position` of `menu`; false when it is not ours.
    bool Choose(HMENU menu, int position);
    TMenuItem* Chosen() const { return chosen_; }
    // Check and grey states of the top level as they are now.
    void RefreshTop();

private:
    struct TDepth {
        TDepth() = default;
        TDepth(const TDepth&) = delete;
        TDepth& operator=(const TDepth&) = delete;
        ~TDepth();
        TMenuHandle menu;
        std::vector<TMenuEntry> entries;  // by position
    };
    // The handle of a depth, made on first need; null when none can be made.
    HMENU submenu(std::size_t depth);
    // False when the platform refused an item: the entries then end there.
    bool fill(std::size_t depth, std::vector<TMenuEntry> entries);

    std::deque<TDepth> depths_;  // stays in place as it grows
    int capacity_;
    TMenuItem* chosen_ = nullptr;
};

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
    int ScreenPixels(int designPixels) const override { return ScaleBy(designPixels, Dpi()); }

    // The DPI of the window, or of the screen it will appear on.
    int Dpi() const;
    // The window, created on first need with its controls.
    HWND Handle();
    HWND ExistingHandle() const { return window_.get(); }
    TForm* Form() const { return form_; }
    // The font of a control: the form's, or the control's own face, height
    // or weight. The form keeps each one it made.
    HFONT FontFor(const TControl* control) const;
    bool Destroying() const { return destroying_; }
    // The popup menu tracked over this window now, or none; gives the one before.
    TWin32MenuTree* SetPopup(TWin32MenuTree* popup) { return std::exchange(popup_, popup); }
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
    void dpiChanged(int dpi, const RECT& suggested);
    // The form's width and height for a client area of the window.
    TPoint designSize(int clientWidth, int clientHeight) const;
    void applyStyle();
    void applyTopmost();
    void placeFirstTime();
    void syncBounds();
    TControl* mainMenu() const;
    void buildMenuBar();

    TForm* form_;
    TWindow window_;
    mutable std::vector<std::pair<std::wstring, TFont>> fonts_;  // by face, height and weight
    std::wstring fontKey_;                                       // the form's own font, and the DPI
    int dpi_ = kDesignDpi;                                       // while the window exists
    bool dpiChanging_ = false;
    std::unique_ptr<TWin32MenuTree> menuBar_;
    TWin32MenuTree* popup_ = nullptr;
    bool destroying_ = false;
    bool syncing_ = false;
    bool placed_ = false;
    bool modal_ = false;
    bool creating_ = false;
    bool pressed_ = false;  // the left button went down on the form itself
    std::shared_ptr<int> life_ = std::make_shared<int>(0);

    // As TWin32Control::dispatch: false when the form was freed meanwhile.
    template <class F>
    bool dispatch(F&& f) {
        std::weak_ptr<int> alive = life_;
        Application->Dispatch(std::forward<F>(f));
        return !alive.expired();
    }
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

// The system's ANSI code page, through the system's own conversion.
class TSystemCodePage : public IAnsiCodePage {
public:
    unsigned Number() const override { return ::GetACP(); }
    std::string ToUtf8(std::string_view ansi) const override;
    bool FromUtf8(std::string_view utf8, std::string& ansi) const override;
};

class TWin32OS : public IOperatingSystem {
public:
    bool FileExists(const std::string& path) override;
    std::string WindowsDirectory() override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    void ReplaceFile(const std::string& path, const std::string& bytes) override;
    std::string GetCurrentDir() override;
    bool SetCurrentDir(const std::string& dir) override;
    std::string FullPath(const std::string& path) override;
    std::string UserDataDirectory() override;
    bool CreateDir(const std::string& dir) override;
    const IAnsiCodePage& AnsiCodePage() override { return codePage_; }
    ShellResult ShellExecute(const std::string& file, const std::string& parameters, const std::string& directory,
                             int showCmd) override;
    bool GetExitCodeProcess(const TProcessHandle& process, unsigned& exitCode) override;
    unsigned WinExec(const std::string& commandLine, int showCmd) override;
    std::string LoadString(unsigned id) override;
    FreeResources GetFreeResources() override;
    bool EnableShutdownPrivilege() override;
    bool ExitWindowsEx(unsigned flags, unsigned reserved) override;
    bool WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) override;
    bool WinHelpKey(const std::string& helpFile, const std::string& keyword) override;
    TSystemTime GetLocalTime() override;
    std::uint64_t GetTickCount64() override;
    std::string LongMonthName(int month) override;
    std::string TimeSeparator() override;
    std::string LayoutKeyName(Word key) override;

private:
    void CloseProcess(std::uintptr_t process) override;

    TSystemCodePage codePage_;
    // Key names of the layout they were read for; shortcut parsing asks often.
    HKL keyLayout_ = nullptr;
    std::vector<std::string> keyNames_;
};

}  // namespace win32
