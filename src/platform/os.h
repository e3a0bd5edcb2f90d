// Operating-system services that portable code needs, behind one interface.
// The Win32 backend calls the real API; the headless backend records calls,
// returns scripted results and uses the real file system.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/sysutils.h"

// A file that could not be read or replaced; the text says why, for logs.
class EFileIOError : public Exception {
public:
    using Exception::Exception;
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
    // EFileIOError on any failure (read-only target, directory in its place,
    // full disk).
    virtual void ReplaceFile(const std::string& path, const std::string& bytes) = 0;
    virtual std::string GetCurrentDir() = 0;
    virtual bool SetCurrentDir(const std::string& dir) = 0;

    // Session and help.
    virtual bool ExitWindowsEx(unsigned flags, unsigned reserved) = 0;
    virtual bool WinHelp(const std::string& helpFile, unsigned command, std::uintptr_t data) = 0;
};

// Created by the backend; owned by the application object.
std::unique_ptr<IOperatingSystem> newOperatingSystem();

// A bare name (no directory part) lives in the Windows directory.
std::string ResolveProfilePath(IOperatingSystem& os, const std::string& name);

constexpr unsigned EWX_LOGOFF = 0;
constexpr unsigned EWX_SHUTDOWN = 1;
constexpr unsigned EWX_REBOOT = 2;
constexpr unsigned HELP_CONTENTS = 3;
constexpr unsigned HELP_KEY = 0x101;
