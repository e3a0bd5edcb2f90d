#include "harness.h"

#include <cstdio>
#include <thread>

#include "platform/sysutils.h"

namespace e2e {

bool TReport::Check(const std::string& name, bool ok, const std::string& detail) {
    if (ok) {
        ++passed_;
        std::printf("PASS %s\n", name.c_str());
    } else {
        ++failed_;
        std::printf("FAIL %s: %s\n", name.c_str(), detail.empty() ? "(no detail)" : detail.c_str());
    }
    std::fflush(stdout);
    return ok;
}

void TReport::Note(const std::string& text) {
    std::printf("NOTE %s\n", text.c_str());
    std::fflush(stdout);
}

// The product's own conversion, so the driver reads names as the program does.
std::wstring Widen(std::string_view utf8) {
    const std::u16string wide = Wtf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view utf16) {
    return Utf16ToWtf8(std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

std::string Show(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"')
            out += "\\\"";
        else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    // Long values (the 3000-character ones) would bury the report.
    if (out.size() > 120) out = out.substr(0, 100) + "...(" + std::to_string(text.size()) + " bytes)";
    return out + "\"";
}

std::string FirstDifference(std::string_view got, std::string_view expected) {
    std::size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    const std::size_t from = i > 20 ? i - 20 : 0;
    return "differs at byte " + std::to_string(i) + " of " + std::to_string(got.size()) + " (expected " +
           std::to_string(expected.size()) + "): got " + Show(got.substr(from, 60)) + ", expected " +
           Show(expected.substr(from, 60));
}

std::string ReadFileBytes(const std::wstring& path, bool* exists) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists) *exists = h != INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    ::CloseHandle(h);
    return out;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok =
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    ::CloseHandle(h);
    return ok;
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
    if (dir.empty() || dir.back() == L'\\' || dir.back() == L'/') return dir + name;
    return dir + L"\\" + name;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TProcess::~TProcess() {
    Kill();
}

bool TProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args, std::string* error) {
    Kill();
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& arg : args) line += L" \"" + arg + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_)) {
        if (error) *error = "CreateProcess failed, error " + std::to_string(::GetLastError());
        info_ = {};
        return false;
    }
    return true;
}

bool TProcess::Running() const {
    return info_.hProcess && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool TProcess::WaitExit(std::chrono::milliseconds timeout, DWORD* exitCode) const {
    if (!info_.hProcess) return false;
    if (::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}

void TProcess::Kill() {
    if (!info_.hProcess) return;
    if (Running()) {
        ::TerminateProcess(info_.hProcess, 99);
        ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hThread);
    ::CloseHandle(info_.hProcess);
    info_ = {};
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[256] = {};
    int n = ::GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string TextOf(HWND hwnd, bool* ok) {
    DWORD_PTR length = 0;
    bool good = ::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &length) != 0;
    std::wstring buf(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (good)
        good = ::SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                                     SMTO_ABORTIFHUNG, 3000, &copied) != 0;
    if (ok) *ok = good;
    if (!good) return {};
    buf.resize(copied);
    return Narrow(buf);
}

TAccessible::TAccessible(HWND hwnd) {
    if (FAILED(::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&p))))
        p = nullptr;
}

VARIANT ChildId(LONG id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string AccessibleName(IAccessible* object, LONG child) {
    BSTR name = nullptr;
    const HRESULT hr = object ? object->get_accName(ChildId(child), &name) : E_POINTER;
    std::string text = name ? Narrow(std::wstring_view(name, ::SysStringLen(name))) : "";
    ::SysFreeString(name);
    return hr == S_OK ? text : "!" + std::to_string(hr);
}

namespace {
struct TFind {
    DWORD pid;
    std::wstring_view cls;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM lParam) {
    auto& find = *reinterpret_cast<TFind*>(lParam);
    if (find.pid) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid != find.pid) return TRUE;
    }
    if (find.visibleOnly && !::IsWindowVisible(hwnd)) return TRUE;
    // System classes report their own spelling ("Button" for "BUTTON").
    if (!find.cls.empty() && ::lstrcmpiW(ClassOf(hwnd).c_str(), std::wstring(find.cls).c_str()) != 0) return TRUE;
    find.found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid, std::wstring_view cls, bool visibleOnly) {
    TFind find{pid, cls, visibleOnly, {}};
    ::EnumWindows(collect, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::vector<HWND> ChildWindows(HWND parent, std::wstring_view cls) {
    TFind find{0, cls, false, {}};
    ::EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND WaitForTopWindow(DWORD pid, std::wstring_view cls, bool visibleOnly, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto list = TopWindows(pid, cls, visibleOnly);
            if (!list.empty()) found = list.front();
            return found != nullptr;
        },
        timeout);
    return found;
}

HWND VisibleMenuWindow() {
    auto menus = TopWindows(0, L"#32768", true);
    return menus.empty() ? nullptr : menus.front();
}

bool CloseMenus(std::chrono::milliseconds timeout) {
    return WaitUntil(
        [] {
            HWND menu = VisibleMenuWindow();
            if (!menu) return true;
            PostKey(menu, VK_ESCAPE);
            ::Sleep(150);
            return false;
        },
        timeout);
}

bool ReadMenuCaptions(HWND menuWindow, std::vector<std::string>& captions, std::string& why) {
    captions.clear();
    DWORD_PTR result = 0;
    constexpr UINT kGetHMenu = 0x01E1;  // MN_GETHMENU
    if (!::SendMessageTimeoutW(menuWindow, kGetHMenu, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) || !result) {
        why = "MN_GETHMENU gave no menu handle";
        return false;
    }
    auto menu = reinterpret_cast<HMENU>(result);
    int count = ::GetMenuItemCount(menu);
    if (count < 0) {
        why = "GetMenuItemCount on the other process's menu failed (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        wchar_t buf[512] = {};
        info.dwTypeData = buf;
        info.cch = 511;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
            why = "GetMenuItemInfo failed at item " + std::to_string(i);
            return false;
        }
        captions.push_back((info.fType & MFT_SEPARATOR) ? std::string("-") : Narrow(buf) + (info.hSubMenu ? ">" : ""));
    }
    return true;
}

TImage CaptureScreen(const RECT& rect) {
    TImage image;
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    if (image.width <= 0 || image.height <= 0) return {};
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, image.width, image.height, screen, rect.left, rect.top, SRCCOPY);
        ::GdiFlush();
        const auto* p = static_cast<const unsigned*>(bits);
        image.pixels.assign(p, p + static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
        for (unsigned& px : image.pixels) px &= 0x00FFFFFFu;
        ::SelectObject(memory, old);
    }
    if (bitmap) ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
}

TImage CaptureSettled(HWND hwnd) {
    TImage last;
    WaitUntil(
        [&] {
            RECT r{};
            ::GetWindowRect(hwnd, &r);
            TImage now = CaptureScreen(r);
            // A window not painted yet is one flat colour.
            bool flat = true;
            for (unsigned px : now.pixels) flat = flat && px == now.pixels.front();
            bool settled = !now.pixels.empty() && !flat && now == last;
            last = std::move(now);
            if (!settled) ::Sleep(150);
            return settled;
        },
        std::chrono::milliseconds(3000));
    return last;
}

bool SaveBitmap(const std::wstring& path, const TImage& image) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    const DWORD size = static_cast<DWORD>(image.pixels.size() * 4);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = -image.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(image.pixels.data()), size);
    return WriteFileBytes(path, bytes);
}

int DifferingPixels(const TImage& a, const TImage& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
}

namespace {
struct TReferenceMenu {
    std::vector<std::string> items;
    POINT at{};
};

DWORD WINAPI referenceMenuThread(LPVOID param) {
    const auto& wanted = *static_cast<const TReferenceMenu*>(param);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TolvekE2EMenuOwner";
    ::RegisterClassW(&wc);
    HWND owner =
        ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    HMENU menu = ::CreatePopupMenu();
    UINT id = 1;
    for (const std::string& item : wanted.items) {
        if (item == "-") {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!item.empty() && item.back() == '>') {
            HMENU sub = ::CreatePopupMenu();
            ::AppendMenuW(sub, MF_STRING, 1000 + id, L"x");
            ::AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                          Widen(item.substr(0, item.size() - 1)).c_str());
        } else {
            ::AppendMenuW(menu, MF_STRING, id++, Widen(item).c_str());
        }
    }
    ::SetForegroundWindow(owner);
    ::TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, wanted.at.x, wanted.at.y,
                       owner, nullptr);
    ::DestroyMenu(menu);
    ::DestroyWindow(owner);
    return 0;
}
}  // namespace

bool CaptureReferenceMenu(const std::vector<std::string>& items, POINT at, TImage& image, std::string& why) {
    TReferenceMenu wanted{items, at};
    HANDLE thread = ::CreateThread(nullptr, 0, referenceMenuThread, &wanted, 0, nullptr);
    if (!thread) {
        why = "cannot start the thread of the reference menu";
        return false;
    }
    const DWORD self = ::GetCurrentProcessId();
    HWND menu = nullptr;
    WaitUntil(
        [&] {
            auto list = TopWindows(self, L"#32768", true);
            menu = list.empty() ? nullptr : list.front();
            return menu != nullptr;
        },
        std::chrono::milliseconds(5000));
    if (menu)
        image = CaptureSettled(menu);
    else
        why = "the reference menu did not open";
    // Escape until the thread's menu loop has ended.
    const bool ended = WaitUntil(
        [&] {
            if (::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return true;
            for (HWND open : TopWindows(self, L"#32768", true)) PostKey(open, VK_ESCAPE);
            ::Sleep(100);
            return false;
        },
        std::chrono::milliseconds(5000));
    if (!ended) ::TerminateThread(thread, 1);
    ::CloseHandle(thread);
    return menu != nullptr;
}

void PostKey(HWND hwnd, UINT vk) {
    UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    ::PostMessageW(hwnd, WM_KEYDOWN, vk, 1 | (static_cast<LPARAM>(scan) << 16));
    ::PostMessageW(hwnd, WM_KEYUP, vk, 1 | (static_cast<LPARAM>(scan) << 16) | (1u << 30) | (1u << 31));
}

void PostChar(HWND hwnd, wchar_t c) {
    ::PostMessageW(hwnd, WM_CHAR, c, 1);
}

}  // namespace e2e
