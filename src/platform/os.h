// Operating-system services that portable code needs, behind one interface.
// The Win32 backend calls the real API; the headless backend records calls,
// returns scripted results and uses the real file system.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/sysutils.h"

class IFileFind;
class IOperatingSystem;

// An open process handle. It owns the handle: moving passes it on, and it is
// closed once, through the services that gave it out.
class TProcessHandle {
public:
    TProcessHandle() noexcept = default;
    TProcessHandle(IOperatingSystem& os, std::uintptr_t value) noexcept : os_(&os), value_(value) {}
    TProcessHandle(TProcessHandle&& other) noexcept : os_(other.os_), value_(std::exchange(other.value_, 0)) {}
    TProcessHandle& operator=(TProcessHandle&& other) noexcept {
        if (this != &other) {
            reset();
            os_ = other.os_;
            value_ = std::exchange(other.value_, 0);
        }
        return *this;
    }
    TProcessHandle(const TProcessHandle&) = delete;
    TProcessHandle& operator=(const TProcessHandle&) = delete;
    ~TProcessHandle() { reset(); }

    explicit operator bool() const noexcept { return value_ != 0; }
    std::uintptr_t get() const noexcept { return value_; }
    void reset() noexcept;

private:
    IOperatingSystem* os_ = nullptr;
    std::uintptr_t value_ = 0;
};

// A file that could not be read or replaced; the text says why, for logs.
class EFileIOError : public Exception {
public:
    using Exception::Exception;
};

// A write refused for want of rights: access denied, or a read-only medium.
class EWriteDenied : public EFileIOError {
public:
    using EFileIOError::EFileIOError;
};

// The local date and time as the platform reports it (SYSTEMTIME's fields).
struct TSystemTime {
    Word Year = 0, Month = 0, DayOfWeek = 0, Day = 0;
    Word Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
    bool operator==(const TSystemTime&) const = default;
};

class IOperatingSystem {
public:
    virtual ~IOperatingSystem() = default;

    // Files. Paths are UTF-8; "\" and "/" both separate.
    virtual bool FileExists(const std::string& path) = 0;  // a file, not a directory
    virtual std::string WindowsDirectory() = 0;            // without a closing "\"
    // Whole file contents, or nothing when it does not exist or cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Writes a temporary file beside `path` and renames it over `path`, so the
    // old contents stay intact unless the new ones are complete. Throws
    // EWriteDenied where the user may not write or the medium is read-only,
    // EFileIOError on any other failure (read-only file, directory in its
    // place, full disk).
    virtual void ReplaceFile(const std::string& path, const std::string& bytes) = 0;
    virtual std::string GetCurrentDir() = 0;
    virtual bool SetCurrentDir(const std::string& dir) = 0;
    // `path` made absolute against the current directory.
    virtual std::string FullPath(const std::string& path) { return path; }
    // The user's own application-data folder (roaming), without a closing
    // separator; empty where the platform has none.
    virtual std::string UserDataDirectory() { return {}; }
    // True when `dir` exists as a directory afterwards.
    virtual bool CreateDir(const std::string&) { return false; }
    // The system's ANSI code page, in which files without a mark were saved.
    virtual const IAnsiCodePage& AnsiCodePage() { return DefaultCodePage(); }

    // Starting programs. ShellExecute asks the shell not to show dialogs of
    // its own and to hand back the started process; `instApp` is above 32 on
    // success and an error code otherwise.
    struct ShellResult {
        bool ok = false;
        int instApp = 0;
        TProcessHandle process;  // empty when the shell started no new process
    };
    virtual ShellResult ShellExecute(const std::string& file, const std::string& parameters,
                                     const std::string& directory, int showCmd) = 0;
    // False when the query fails (for example without a process).
    virtual bool GetExitCodeProcess(const TProcessHandle& process, unsigned& exitCode) = 0;
    virtual unsigned WinExec(const std::string& commandLine, int showCmd) = 0;
    // A string resource of the executable; empty when there is none.
    virtual std::string LoadString(unsigned id) = 0;

    // The share of this process's user-object and GDI-object quotas still
    // free, and of physical memory, in percent; -1 where it cannot be read.
    struct FreeResources {
        int user = -1, gdi = -1, memory = -1;
    };
    virtual FreeResources GetFreeResources() = 0;

    // Session and help. The privilege lets this process ask for a reboot
    // where the system requires it; nothing else is touched.
    virtual bool EnableShutdownPrivilege() = 0;
    virtual bool ExitWindowsEx(unsigned flags, unsigned reserved) = 0;
    virtual bool WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) = 0;
    // HELP_KEY: the keyword reaches the engine as the text its entry point takes.
    virtual bool WinHelpKey(const std::string& helpFile, const std::string& keyword) = 0;

    // Time and the user's locale.
    virtual TSystemTime GetLocalTime() = 0;
    // Milliseconds since the system started; 64 bits, so it never wraps.
    virtual std::uint64_t GetTickCount64() = 0;
    // The full name of `month` (1 to 12) in the user's language.
    virtual std::string LongMonthName(int month) = 0;
    virtual std::string TimeSeparator() = 0;

    // File search and drives (platform/filesearch.h). The defaults are the
    // backend's real file system, so a backend overrides them only to fake.
    // Null when the search is refused or nothing matches `pattern`.
    virtual std::unique_ptr<IFileFind> FindFirst(const std::string& pattern);
    virtual std::vector<std::string> LogicalDrives();
    virtual std::string FormatShortDate(int year, int month, int day);
    // What separates directories in the paths this platform hands out.
    virtual char PathDelimiter() { return '\\'; }

    // The active keyboard layout's name for virtual key `key`, as the layout
    // spells it; empty when it has none. The default is a US layout's.
    virtual std::string LayoutKeyName(Word key);
    static std::string UsLayoutKeyName(Word key);

protected:
    friend class TProcessHandle;
    // Releases a handle that ShellExecute gave out; its owner calls this once.
    virtual void CloseProcess(std::uintptr_t process) = 0;
};

inline void TProcessHandle::reset() noexcept {
    if (value_) os_->CloseProcess(std::exchange(value_, 0));
}

// Created by the backend; owned by the application object.
std::unique_ptr<IOperatingSystem> newOperatingSystem();

// A name without a directory part ("TOLVEK.INI", not ".\TOLVEK.INI").
bool IsBareName(const std::string& name);
// A bare name lives in the Windows directory, unless the user has a copy of
// that name of their own (UserProfilePath).
std::string ResolveProfilePath(IOperatingSystem& os, const std::string& name);
// Where the user's own copy of a bare-named file lives, "%APPDATA%\Tolvek\NAME";
// empty without a per-user folder.
std::string UserProfilePath(IOperatingSystem& os, const std::string& name);

constexpr unsigned STILL_ACTIVE = 259;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr unsigned EWX_LOGOFF = 0;
constexpr unsigned EWX_SHUTDOWN = 1;
constexpr unsigned EWX_REBOOT = 2;
constexpr unsigned HELP_CONTENTS = 3;
constexpr unsigned HELP_KEY = 0x101;
