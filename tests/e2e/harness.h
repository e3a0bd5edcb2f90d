// What the end-to-end checks share: the pass/fail report, text and file
// helpers, and finding and poking at the windows of another process.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After <windows.h>.
#include <oleacc.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

class TReport {
public:
    // Prints "PASS name" or "FAIL name: detail" at once, so a hang later
    // still leaves the earlier results on the console.
    bool Check(const std::string& name, bool ok, const std::string& detail = "");
    void Note(const std::string& text);
    int Passed() const { return passed_; }
    int Failed() const { return failed_; }

private:
    int passed_ = 0;
    int failed_ = 0;
};

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// Control characters and quotes made visible, for failure details.
std::string Show(std::string_view text);
// Where two byte strings part, with a little of each from there.
std::string FirstDifference(std::string_view got, std::string_view expected);

std::string ReadFileBytes(const std::wstring& path, bool* exists = nullptr);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool FileExists(const std::wstring& path);
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);

// Polls `done` every 50 ms until it is true or `timeout` has passed.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// A started program; the destructor terminates it if it still runs, so no
// check can leave a process behind.
class TProcess {
public:
    TProcess() = default;
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    ~TProcess();

    // `args` are quoted one by one after the quoted program path.
    bool Start(const std::wstring& program, const std::vector<std::wstring>& args, std::string* error);
    bool Running() const;
    // True when the process has ended within `timeout`.
    bool WaitExit(std::chrono::milliseconds timeout, DWORD* exitCode = nullptr) const;
    void Kill();
    DWORD Id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

std::wstring ClassOf(HWND hwnd);
// WM_GETTEXT with a timeout, so a hung target cannot hang the driver.
std::string TextOf(HWND hwnd, bool* ok = nullptr);

// COM on this thread while it lives.
struct TComScope {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~TComScope() {
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
};
// One reference to an accessible object, given back with the scope; the
// object of a window's client area, or none.
struct TAccessible {
    IAccessible* p = nullptr;
    TAccessible() = default;
    explicit TAccessible(HWND hwnd);
    TAccessible(const TAccessible&) = delete;
    TAccessible& operator=(const TAccessible&) = delete;
    ~TAccessible() {
        if (p) p->Release();
    }
};
VARIANT ChildId(LONG id);
// The name that assistive tools read for a child (CHILDID_SELF: the object
// itself); "!" and the error code where there is none.
std::string AccessibleName(IAccessible* object, LONG child = CHILDID_SELF);

// Top-level windows (hidden ones too) of process `pid` (0 = any process)
// whose class is `cls`.
std::vector<HWND> TopWindows(DWORD pid, std::wstring_view cls, bool visibleOnly);
std::vector<HWND> ChildWindows(HWND parent, std::wstring_view cls);
// The first window found within `timeout`, or null.
HWND WaitForTopWindow(DWORD pid, std::wstring_view cls, bool visibleOnly, std::chrono::milliseconds timeout);

// A visible popup menu window ("#32768") of any process, or null.
HWND VisibleMenuWindow();
// Posts Escape to open menus until none is visible; true when they closed.
bool CloseMenus(std::chrono::milliseconds timeout);
// Reads the captions of a popup menu window's items through MN_GETHMENU
// ("-" for a separator, a trailing ">" for a submenu); false (with a reason)
// where the menu cannot be read from this process.
bool ReadMenuCaptions(HWND menuWindow, std::vector<std::string>& captions, std::string& why);

// Screen pixels as 0x00RRGGBB, row by row from the top.
struct TImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;
    bool operator==(const TImage&) const = default;
};
TImage CaptureScreen(const RECT& rect);
// Captures a window once its pixels have stopped changing (it is painted).
TImage CaptureSettled(HWND hwnd);
bool SaveBitmap(const std::wstring& path, const TImage& image);
// Pixels that differ between two images of the same size.
int DifferingPixels(const TImage& a, const TImage& b);

// Opens, in this process, a popup menu built from `items` at `at`, captures
// it and closes it again. "-" is a separator; a trailing ">" makes a submenu.
// Another process's menu cannot be read item by item here, but the same items
// in the same font draw the same pixels, so this is what it is compared with.
bool CaptureReferenceMenu(const std::vector<std::string>& items, POINT at, TImage& image, std::string& why);

// Keys posted to a window of another thread, as a user's typing would arrive.
void PostKey(HWND hwnd, UINT vk);
void PostChar(HWND hwnd, wchar_t c);

}  // namespace e2e
