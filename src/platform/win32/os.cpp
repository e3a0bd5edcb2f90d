// Operating-system services on the real API.
#include <algorithm>
#include <limits>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

std::string errorText(const std::string& what, const std::string& path) {
    return what + " " + path + " (error " + std::to_string(::GetLastError()) + ")";
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

bool TWin32OS::FileExists(const std::string& path) {
    DWORD attr = ::GetFileAttributesW(Widen(path).c_str());
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
    TFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    const std::wstring target = Widen(path);
    DWORD attr = ::GetFileAttributesW(target.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES) {
        if (attr & FILE_ATTRIBUTE_DIRECTORY) throw EFileIOError("a directory is in the way: " + path);
        if (attr & FILE_ATTRIBUTE_READONLY) throw EFileIOError("read-only: " + path);
    }

    std::string dir = ExtractFilePath(path);
    if (dir.empty()) dir = ".";
    wchar_t tempName[MAX_PATH + 1] = {};
    // Beside the target, so that the rename stays on one volume.
    if (!::GetTempFileNameW(Widen(dir).c_str(), L"tvk", 0, tempName))
        throw EFileIOError(errorText("cannot make a temporary file in", dir));
    TTempFile temp(tempName);
    {
        TFile file(::CreateFileW(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        if (!file) throw EFileIOError(errorText("cannot open", Narrow(temp.Path())));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, std::numeric_limits<DWORD>::max() / 2));
            DWORD wrote = 0;
            if (!::WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) || wrote != want)
                throw EFileIOError(errorText("cannot write", Narrow(temp.Path())));
            done += wrote;
        }
        if (!::FlushFileBuffers(file.get())) throw EFileIOError(errorText("cannot flush", Narrow(temp.Path())));
    }
    if (!::MoveFileExW(temp.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFileIOError(errorText("cannot replace", path));
    temp.Keep();
}

std::string TWin32OS::GetCurrentDir() {
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    n = ::GetCurrentDirectoryW(n, dir.data());
    dir.resize(n);
    return Narrow(dir);
}

bool TWin32OS::SetCurrentDir(const std::string& dir) {
    return ::SetCurrentDirectoryW(Widen(dir).c_str()) != 0;
}

IOperatingSystem::ShellResult TWin32OS::ShellExecute(const std::string& file, const std::string& parameters,
                                                     const std::string& directory, int showCmd) {
    const std::wstring wFile = Widen(file), wParams = Widen(parameters), wDir = Widen(directory);
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
    if (result.ok) {
        result.process = reinterpret_cast<std::uintptr_t>(info.hProcess);
    } else if (info.hProcess) {
        ::CloseHandle(info.hProcess);
    }
    return result;
}

bool TWin32OS::GetExitCodeProcess(std::uintptr_t process, unsigned& exitCode) {
    DWORD code = 0;
    if (!process || !::GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code)) return false;
    exitCode = code;
    return true;
}

void TWin32OS::CloseProcess(std::uintptr_t process) {
    if (process) ::CloseHandle(reinterpret_cast<HANDLE>(process));
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

bool TWin32OS::WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) {
    HWND owner = nullptr;
    if (Application && Application->MainForm) owner = FormDriverOf(Application->MainForm)->ExistingHandle();
    return ::WinHelpW(owner, Widen(helpFile).c_str(), command, static_cast<ULONG_PTR>(data)) != 0;
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

}  // namespace win32
