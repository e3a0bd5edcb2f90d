// tolvek-recorder.exe: started by the launcher in the end-to-end checks.
// Appends one line per run and exits 0:
//   <command line as received> TAB <current directory> TAB <creation time>
// in UTF-8. The log is the file named by TOLVEK_RECORDER_LOG, else
// tolvek-recorder.log beside the executable. The creation time (100 ns
// units) orders runs whose lines may land in either order.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring logPath() {
    wchar_t buf[32768];
    DWORD n = ::GetEnvironmentVariableW(L"TOLVEK_RECORDER_LOG", buf, 32768);
    if (n > 0 && n < 32768) return std::wstring(buf, n);
    n = ::GetModuleFileNameW(nullptr, buf, 32768);
    std::wstring path(buf, n);
    const auto slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"tolvek-recorder.log";
}

std::wstring currentDirectory() {
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    dir.resize(::GetCurrentDirectoryW(n, dir.data()));
    return dir;
}

unsigned long long creationTime() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::string line =
        utf8(::GetCommandLineW()) + "\t" + utf8(currentDirectory()) + "\t" + std::to_string(creationTime()) + "\r\n";
    const std::wstring path = logPath();
    // Runs started together take turns: the file is opened for this process
    // alone, and a second run waits until the first has written its line.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file =
            ::CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_SHARING_VIOLATION) return 1;
            ::Sleep(25);
            continue;
        }
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(file);
        return ok && written == line.size() ? 0 : 1;
    }
    return 1;
}
