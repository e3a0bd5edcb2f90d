// Operating-system services on the real API.
#include <algorithm>
#include <climits>
#include <limits>
#include <memory>
#include <stdexcept>

#include "platform/win32/win32.h"
// Needs <windows.h> before it.
#include <shlobj.h>

namespace win32 {

namespace {

// The longest path that every file function takes in the classic form:
// a directory must leave room for an 8.3 name.
constexpr std::size_t kClassicLimit = MAX_PATH - 12;
constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

bool startsWith(std::wstring_view text, std::wstring_view head) {
    return text.substr(0, head.size()) == head;
}

std::wstring fullPathOf(const std::wstring& path) {
    DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(n < full.size() ? n : 0);
    return full.empty() ? path : full;
}

// The form the portable code knows: no extended-length prefix.
std::wstring ordinaryPath(std::wstring path) {
    if (startsWith(path, kLongUncPrefix)) return L"\\\\" + path.substr(kLongUncPrefix.size());
    if (startsWith(path, kLongPrefix)) path.erase(0, kLongPrefix.size());
    return path;
}

std::wstring shortName(const std::wstring& extended) {
    const DWORD n = ::GetShortPathNameW(extended.c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring shortened(n, L'\0');
    shortened.resize(::GetShortPathNameW(extended.c_str(), shortened.data(), n));
    return ordinaryPath(std::move(shortened));
}

// What the shell and CreateProcess take: no extended-length paths, so a long
// one goes by the short (8.3) name of its directory where the volume has one.
// The file keeps its own name, whose extension picks the program that opens it.
std::wstring shellPath(const std::string& path) {
    std::wstring wide = Widen(path);
    const std::wstring extended = LongPath(path);
    if (!startsWith(extended, kLongPrefix)) return wide;
    const std::size_t slash = extended.find_last_of(L'\\');
    std::wstring shortened = shortName(extended.substr(0, slash));
    if (!shortened.empty()) shortened += extended.substr(slash);
    if (shortened.empty() || shortened.size() >= MAX_PATH) shortened = shortName(extended);
    return !shortened.empty() && shortened.size() < MAX_PATH ? shortened : wide;
}

std::string errorText(const std::string& what, const std::string& path, DWORD error) {
    return what + " " + path + " (error " + std::to_string(error) + ")";
}

// Access denied and a write-protected medium are a want of rights, after
// which the caller may write elsewhere.
[[noreturn]] void fail(const std::string& what, const std::string& path, DWORD error) {
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) throw EWriteDenied(errorText(what, path, error));
    throw EFileIOError(errorText(what, path, error));
}

// Deletes the temporary file unless the rename took it.
class TTempFile {
public:
    explicit TTempFile(std::wstring path) : path_(std::move(path)) {}
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile() {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

}  // namespace

namespace {

bool extended(const std::wstring& path) {
    return startsWith(path, kLongPrefix) || startsWith(path, kDevicePrefix);
}

// `path` as it goes to the API when `tail` is appended to it: as it is while
// the whole stays short, else absolute and extended.
std::wstring longForm(const std::wstring& path, std::size_t tail) {
    if (extended(path)) return path;
    const std::wstring full = fullPathOf(path);
    if (full.size() + tail < kClassicLimit) return path.size() + tail < kClassicLimit ? path : full;
    // A relative path under a current directory that is itself extended.
    if (extended(full)) return full;
    if (startsWith(full, L"\\\\")) return std::wstring(kLongUncPrefix) + full.substr(2);
    return std::wstring(kLongPrefix) + full;
}

}  // namespace

std::wstring LongPath(std::string_view utf8) {
    return longForm(Widen(utf8), 0);
}

std::wstring LongPattern(std::string_view pattern) {
    // Only the directory is made absolute, which would drop a mask's
    // closing "." ("*." is the names without an extension).
    const std::size_t slash = pattern.find_last_of("\\/");
    if (slash == std::string_view::npos) return Widen(pattern);
    const std::wstring mask = Widen(pattern.substr(slash + 1));
    return longForm(Widen(pattern.substr(0, slash + 1)), mask.size()) + mask;
}

namespace {
int apiLength(std::size_t size) {
    if (size > INT_MAX) throw std::length_error("text too long to convert");
    return static_cast<int>(size);
}
}  // namespace

std::string TSystemCodePage::ToUtf8(std::string_view ansi) const {
    if (ansi.empty()) return {};
    const int length = apiLength(ansi.size());
    const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), n);
    return Narrow(wide);
}

bool TSystemCodePage::FromUtf8(std::string_view utf8, std::string& ansi) const {
    const std::wstring wide = Widen(utf8);
    ansi.clear();
    if (wide.empty()) return true;
    const int length = apiLength(wide.size());
    // A UTF-8 system code page takes neither the flag nor the report.
    const bool utf8System = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8System ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* report = utf8System ? nullptr : &lost;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, report);
    if (n <= 0) return false;
    ansi.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, ansi.data(), n, nullptr, report);
    return !lost;
}

bool TWin32OS::FileExists(const std::string& path) {
    DWORD attr = ::GetFileAttributesW(LongPath(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TWin32OS::WindowsDirectory() {
    wchar_t buffer[MAX_PATH + 1];
    UINT n = ::GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    std::wstring dir;
    if (n > MAX_PATH) {
        dir.resize(n);
        n = ::GetWindowsDirectoryW(dir.data(), n);
        dir.resize(n);
    } else {
        dir.assign(buffer, n);
    }
    while (dir.size() > 1 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    return Narrow(dir);
}

std::optional<std::string> TWin32OS::ReadFile(const std::string& path) {
    // A directory fails to open here, without FILE_FLAG_BACKUP_SEMANTICS.
    // Another copy of the launcher may replace the file meanwhile, which
    // takes delete access.
    TFile file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    return bytes;
}

void TWin32OS::ReplaceFile(const std::string& path, const std::string& bytes) {
    const std::wstring target = LongPath(path);
    DWORD attr = ::GetFileAttributesW(target.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES) {
        if (attr & FILE_ATTRIBUTE_DIRECTORY) throw EFileIOError("a directory is in the way: " + path);
        if (attr & FILE_ATTRIBUTE_READONLY) throw EFileIOError("read-only: " + path);
    }

    // Beside the target, so that the rename stays on one volume; named here,
    // since GetTempFileNameW takes no directory longer than MAX_PATH.
    const std::size_t slash = target.find_last_of(L"\\/:");
    const std::wstring dir = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    std::wstring tempPath;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; raw == INVALID_HANDLE_VALUE; ++attempt) {
        std::wstring candidate = dir + L"tvk" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(::GetTickCount64() + attempt) + L".tmp";
        if (candidate.size() >= MAX_PATH && !startsWith(candidate, kLongPrefix))
            candidate = LongPath(Narrow(candidate));
        raw = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = ::GetLastError();
        if (raw != INVALID_HANDLE_VALUE)
            tempPath = std::move(candidate);
        else if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
            fail("cannot make a temporary file in", Narrow(dir), error);
    }
    TTempFile temp(std::move(tempPath));
    {
        TFile file(raw);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, std::numeric_limits<DWORD>::max() / 2));
            DWORD wrote = 0;
            if (!::WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) || wrote != want)
                fail("cannot write", Narrow(temp.Path()), ::GetLastError());
            done += wrote;
        }
        if (!::FlushFileBuffers(file.get())) fail("cannot flush", Narrow(temp.Path()), ::GetLastError());
    }

    // Another copy of the launcher on the same file may be reading it just
    // now; it lets go within moments.
    constexpr int kAttempts = 20;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(temp.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = ::GetLastError();
        const bool busy =
            error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
        if (!busy || attempt == kAttempts) fail("cannot replace", path, error);
        ::Sleep(kPauseMs);
    }
    temp.Keep();
}

std::string TWin32OS::GetCurrentDir() {
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    n = ::GetCurrentDirectoryW(n, dir.data());
    dir.resize(n < dir.size() ? n : 0);
    return Narrow(ordinaryPath(std::move(dir)));
}

bool TWin32OS::SetCurrentDir(const std::string& dir) {
    return ::SetCurrentDirectoryW(LongPath(dir).c_str()) != 0;
}

std::string TWin32OS::FullPath(const std::string& path) {
    return Narrow(fullPathOf(Widen(path)));
}

std::string TWin32OS::UserDataDirectory() {
    PWSTR raw = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &raw);
    const std::unique_ptr<wchar_t, decltype(&::CoTaskMemFree)> owner(raw, &::CoTaskMemFree);
    return SUCCEEDED(hr) && raw ? Narrow(raw) : std::string();
}

bool TWin32OS::CreateDir(const std::string& dir) {
    const std::wstring path = LongPath(dir);
    ::CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attr = ::GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

IOperatingSystem::ShellResult TWin32OS::ShellExecute(const std::string& file, const std::string& parameters,
                                                     const std::string& directory, int showCmd) {
    const std::wstring wFile = shellPath(file), wParams = Widen(parameters), wDir = shellPath(directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = ::GetActiveWindow();
    info.lpFile = wFile.c_str();
    info.lpParameters = wParams.empty() ? nullptr : wParams.c_str();
    info.lpDirectory = wDir.empty() ? nullptr : wDir.c_str();
    info.nShow = showCmd;
    const BOOL ok = ::ShellExecuteExW(&info);
    ShellResult result;
    result.instApp = static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
    result.ok = ok && result.instApp > 32;
    if (!result.ok && (result.instApp <= 0 || result.instApp > 32)) {
        // A failure without a shell code (the field holds anything then):
        // the nearest one for the error.
        switch (::GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
                result.instApp = SE_ERR_FNF;
                break;
            case ERROR_PATH_NOT_FOUND:
                result.instApp = SE_ERR_PNF;
                break;
            case ERROR_ACCESS_DENIED:
                result.instApp = SE_ERR_ACCESSDENIED;
                break;
            case ERROR_NOT_ENOUGH_MEMORY:
            case ERROR_OUTOFMEMORY:
                result.instApp = SE_ERR_OOM;
                break;
            case ERROR_DLL_NOT_FOUND:
                result.instApp = SE_ERR_DLLNOTFOUND;
                break;
            case ERROR_SHARING_VIOLATION:
                result.instApp = SE_ERR_SHARE;
                break;
            case ERROR_NO_ASSOCIATION:
                result.instApp = SE_ERR_NOASSOC;
                break;
            default:
                result.instApp = 0;
                break;
        }
    }
    if (info.hProcess) result.process = TProcessHandle(*this, reinterpret_cast<std::uintptr_t>(info.hProcess));
    if (!result.ok) result.process.reset();
    return result;
}

bool TWin32OS::GetExitCodeProcess(const TProcessHandle& process, unsigned& exitCode) {
    DWORD code = 0;
    if (!process || !::GetExitCodeProcess(reinterpret_cast<HANDLE>(process.get()), &code)) return false;
    exitCode = code;
    return true;
}

void TWin32OS::CloseProcess(std::uintptr_t process) {
    ::CloseHandle(reinterpret_cast<HANDLE>(process));
}

unsigned TWin32OS::WinExec(const std::string& commandLine, int showCmd) {
    // WinExec itself has only an ANSI form; this is what it does, in UTF-16.
    std::wstring line = Widen(commandLine);
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCmd);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        switch (const DWORD error = ::GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return error;
            case ERROR_NOT_ENOUGH_MEMORY:
            case ERROR_OUTOFMEMORY:
                return 0;
            default:
                return ERROR_BAD_FORMAT;
        }
    }
    TKernelObject process(started.hProcess), thread(started.hThread);
    ::WaitForInputIdle(process.get(), 30000);
    return 33;
}

std::string TWin32OS::LoadString(unsigned id) {
    // With a zero length the API hands out the resource's own text.
    const wchar_t* text = nullptr;
    const int n = ::LoadStringW(Instance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return {};
    return Narrow(std::wstring_view(text, static_cast<std::size_t>(n)));
}

IOperatingSystem::FreeResources TWin32OS::GetFreeResources() {
    // The per-process object quotas that Windows has by default.
    constexpr DWORD kQuota = 10000;
    auto freeShare = [](DWORD used) {
        // No user or GDI object at all means the count could not be read.
        if (used == 0 || used > kQuota) return -1;
        return static_cast<int>(100 - used * 100 / kQuota);
    };
    FreeResources r;
    r.user = freeShare(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    r.gdi = freeShare(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (::GlobalMemoryStatusEx(&memory)) r.memory = 100 - static_cast<int>(memory.dwMemoryLoad);
    return r;
}

bool TWin32OS::EnableShutdownPrivilege() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
    TKernelObject token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return false;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
    // Success with ERROR_NOT_ALL_ASSIGNED means the account lacks it.
    return ::GetLastError() == ERROR_SUCCESS;
}

bool TWin32OS::ExitWindowsEx(unsigned flags, unsigned reserved) {
    return ::ExitWindowsEx(flags, reserved) != 0;
}

namespace {
HWND helpOwner() {
    return Application && Application->MainForm ? FormDriverOf(Application->MainForm)->ExistingHandle() : nullptr;
}
}  // namespace

bool TWin32OS::WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) {
    return ::WinHelpW(helpOwner(), Widen(helpFile).c_str(), command, static_cast<ULONG_PTR>(data)) != 0;
}

bool TWin32OS::WinHelpKey(const std::string& helpFile, const std::string& keyword) {
    const std::wstring key = Widen(keyword);
    return ::WinHelpW(helpOwner(), Widen(helpFile).c_str(), HELP_KEY, reinterpret_cast<ULONG_PTR>(key.c_str())) != 0;
}

TSystemTime TWin32OS::GetLocalTime() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::uint64_t TWin32OS::GetTickCount64() {
    return ::GetTickCount64();
}

namespace {
std::string localeText(LCTYPE type) {
    const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    const int got = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text.data(), n);
    text.resize(got > 0 ? static_cast<std::size_t>(got - 1) : 0);  // without the closing NUL
    return Narrow(text);
}
}  // namespace

std::string TWin32OS::LongMonthName(int month) {
    if (month < 1 || month > 12) return {};
    return localeText(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(month - 1));
}

std::string TWin32OS::TimeSeparator() {
    return localeText(LOCALE_STIME);
}

std::string TWin32OS::LayoutKeyName(Word key) {
    const HKL layout = ::GetKeyboardLayout(0);
    if (keyNames_.empty() || layout != keyLayout_) {
        keyNames_.assign(256, {});
        for (UINT vk = 1; vk < 256; ++vk) {
            // The extended bit tells the numeric pad's keys from the main ones;
            // a scan code that leads to another key names that key, not this.
            const UINT scan = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC_EX, layout);
            if (!scan || ::MapVirtualKeyExW(scan, MAPVK_VSC_TO_VK_EX, layout) != vk) continue;
            const LONG param = static_cast<LONG>((scan & 0xFF) << 16 | ((scan & 0xFF00) ? 1u << 24 : 0u));
            wchar_t name[64] = {};
            const int n = ::GetKeyNameTextW(param, name, 64);
            if (n > 0) keyNames_[vk] = Narrow(std::wstring_view(name, static_cast<std::size_t>(n)));
        }
        keyLayout_ = layout;
    }
    return keyNames_[key & 0xFF];
}

}  // namespace win32
