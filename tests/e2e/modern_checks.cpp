// A standard user's Windows, where the Windows directory may not be written
// (under Wine: the prefix's Windows directory mounted read-only, see
// scripts/lib.sh). An administrator's TOLVEK.INI there starts, closes without
// an error and leaves the user's settings in %APPDATA%\Tolvek, whose copy the
// next start reads; the end of the session is not refused for a file that
// cannot be written; and a fresh user gets the sample in %APPDATA%\Tolvek.
#include <string>
#include <thread>
#include <vector>

#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kUiTimeout = 5s;

const char kAdmin[] =
    "; put here by the administrator\r\n[ALLINFO]\r\nTotalEntries=0\r\n[CONFIG]\r\nCaption=&Admin\r\nLeft=300\r\n"
    "Top=200\r\nQuickClose=1\r\n";

std::wstring windowsFile() {
    wchar_t buf[MAX_PATH + 1] = {};
    const UINT n = ::GetWindowsDirectoryW(buf, MAX_PATH + 1);
    return JoinPath(std::wstring(buf, n <= MAX_PATH ? n : 0), L"TOLVEK.INI");
}

std::wstring ownFile() {
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", buf, MAX_PATH * 2);
    return JoinPath(JoinPath(std::wstring(buf, n < MAX_PATH * 2 ? n : 0), L"Tolvek"), L"TOLVEK.INI");
}

// Whether a new file can be made in the Windows directory.
bool takesFiles() {
    HANDLE h = ::CreateFileW((windowsFile() + L".probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

std::string profileValue(const std::wstring& file, const char* section, const char* key) {
    wchar_t buf[2048] = {};
    ::GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"<missing>", buf, 2048, file.c_str());
    return Narrow(buf);
}

std::string boxes(DWORD pid) {
    std::string out;
    for (HWND box : TopWindows(pid, L"#32770", true)) out += " " + Show(ReadDialogBox(box).text);
    return out.empty() ? " none" : out;
}

// Starts the launcher without an argument, moves it to `x`, `y` and closes
// it; true when it ended by itself without a message.
bool startMoveAndClose(TReport& report, const std::string& name, const TTargets& targets, RECT& shown, int x, int y) {
    TProcess process;
    HWND form = StartLauncher(report, name, process, targets.full, {});
    if (!form) return false;
    ::GetWindowRect(form, &shown);
    ::SetWindowPos(form, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WaitUntil(
        [&] {
            RECT r{};
            ::GetWindowRect(form, &r);
            return r.left == x && r.top == y;
        },
        kUiTimeout);
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    DWORD code = 0;
    const bool ended = process.WaitExit(10s, &code);
    return report.Check(
        name + ".closes-without-error", ended && code == 0,
        ended ? "exit code " + std::to_string(code) : "still running; message boxes:" + boxes(process.Id()));
}

// The session-end query answered by the launcher whose file cannot be
// written: it shows the error and lets the session end.
void sessionEnd(TReport& report, const TTargets& targets) {
    TProcess process;
    HWND form = StartLauncher(report, "readonly.session-end", process, targets.full, {windowsFile()});
    if (!form) return;
    DWORD_PTR answer = FALSE;
    bool sent = false;
    std::thread query([&] {
        sent = ::SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer);
    });
    HWND box = WaitForTopWindow(process.Id(), L"#32770", true, kUiTimeout);
    const std::string expected = "Unable to write to " + Narrow(windowsFile()) + ".";
    if (report.Check("readonly.session-end.error-shown", box && ReadDialogBox(box).text == expected,
                     box ? "the box reads " + Show(ReadDialogBox(box).text) : "no message box within 5 s"))
        PressDialogButton(ReadDialogBox(box), "OK");
    query.join();
    report.Check("readonly.session-end.allowed", sent && answer == TRUE,
                 sent ? "the launcher answered " + std::to_string(answer) : "no answer within 20 s");
    ::PostMessageW(form, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    report.Check("readonly.session-end.ends", process.WaitExit(10s), "still running after WM_ENDSESSION");
}

}  // namespace

void RunReadOnlyPreparation(TReport& report, const TTargets&) {
    ::DeleteFileW(ownFile().c_str());
    report.Check("readonly-prepare.administrators-file",
                 WriteFileBytes(windowsFile(), kAdmin) && !FileExists(ownFile()),
                 "cannot write " + Narrow(windowsFile()) + " or delete " + Narrow(ownFile()));
}

void RunReadOnlyChecks(TReport& report, const TTargets& targets) {
    const bool writable = takesFiles();
    if (!report.Check("readonly.windows-directory-refuses-files", !writable && ReadFileBytes(windowsFile()) == kAdmin,
                      writable ? "a new file could be made beside " + Narrow(windowsFile())
                               : "the administrator's file reads " + Show(ReadFileBytes(windowsFile()))))
        return;

    RECT shown{};
    if (startMoveAndClose(report, "readonly.admin", targets, shown, 340, 220)) {
        report.Check("readonly.admin.read", shown.left == 300 && shown.top == 200,
                     "the window was at " + std::to_string(shown.left) + ", " + std::to_string(shown.top));
        const std::wstring own = ownFile();
        const std::string bytes = ReadFileBytes(own);
        report.Check("readonly.admin.settings-in-own-copy",
                     bytes.rfind("; put here by the administrator\r\n", 0) == 0 &&
                         profileValue(own, "CONFIG", "Left") == "340" && profileValue(own, "CONFIG", "Top") == "220" &&
                         profileValue(own, "ALLINFO", "Legacy10") == "",
                     Narrow(own) + " reads " + Show(bytes));
        report.Check("readonly.admin.file-kept", ReadFileBytes(windowsFile()) == kAdmin,
                     FirstDifference(ReadFileBytes(windowsFile()), kAdmin));
    }
    if (startMoveAndClose(report, "readonly.again", targets, shown, 360, 240))
        report.Check("readonly.again.reads-own-copy", shown.left == 340 && shown.top == 220,
                     "the window was at " + std::to_string(shown.left) + ", " + std::to_string(shown.top));
    sessionEnd(report, targets);
    ::DeleteFileW(ownFile().c_str());
}

void RunFreshChecks(TReport& report, const TTargets& targets) {
    const bool writable = takesFiles();
    if (!report.Check(
            "fresh.windows-directory-refuses-files", !writable && !FileExists(windowsFile()),
            writable ? "a new file could be made beside " + Narrow(windowsFile()) : Narrow(windowsFile()) + " exists"))
        return;
    SampleConfiguration(report, targets, "fresh.sample", ownFile());
}

}  // namespace e2e
