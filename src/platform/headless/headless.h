// Test control of the headless backend: what the program showed, and the
// answers a test scripts for message boxes, modal forms and menus.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/timers.h"

namespace headless {

struct MessageBoxCall {
    std::string text, caption;
    unsigned flags = 0;
    int answer = 0;
};

struct HelpCall {
    std::string file;
    unsigned command = 0;
    std::uintptr_t data = 0;
    std::string keyword;  // of HELP_KEY
    bool operator==(const HelpCall&) const = default;
};

struct ExitWindowsCall {
    unsigned flags = 0, reserved = 0;
    bool privileged = false;  // the shutdown privilege was enabled before
    bool operator==(const ExitWindowsCall&) const = default;
};

struct ShellCall {
    std::string file, parameters, directory;
    int show = 0;
    bool operator==(const ShellCall&) const = default;
};

// What a scripted shell answers; a nonzero process is handed out as open.
struct ShellReply {
    bool ok = false;
    int instApp = 0;
    std::uintptr_t process = 0;
};

struct WinExecCall {
    std::string commandLine;
    int show = 0;
    std::string currentDir;  // at the time of the call
    bool operator==(const WinExecCall&) const = default;
};

struct Rig {
    // Message boxes: each shown box is recorded; the answer is the next
    // scripted one, else IDOK for an OK box and IDNO for a question.
    std::vector<MessageBoxCall> messageBoxes;
    std::deque<int> answers;

    // Modal forms by window class name; a form without a responder is
    // cancelled. Each shown class name is recorded.
    std::map<std::string, std::function<void(TForm&)>> modalResponders;
    std::vector<std::string> modalShown;
    // Class names of forms shown modelessly, in order.
    std::vector<std::string> formsShown;
    // The running modal forms, innermost last; every other form is disabled.
    std::vector<TForm*> modalForms;
    // The form that is active (the last shown, or the innermost modal one);
    // only its ActiveControl has the keyboard focus.
    TForm* activeForm = nullptr;
    std::vector<TForm*> liveForms;

    // Popup menus: each position is recorded; the responder picks the item.
    // A pick that a real menu would not let a user choose (disabled or
    // hidden, a separator, a submenu's own item, an item of another menu)
    // chooses nothing.
    std::vector<TPoint> popups;
    std::function<TMenuItem*(TPopupMenu&)> popupResponder;

    std::vector<TRect> monitors{{0, 0, 1024, 768}};
    // The screen's pixels per inch; forms show their design sizes scaled by dpi / 96.
    int dpi = 96;
    TPoint cursor;
    TForm* capture = nullptr;
    TCursor cursorShape{};
    int processMessagesCalls = 0;
    // Changes each control passed to its backend, which a screen redraws.
    std::map<const TControl*, int> changes;
    // Runs in every ProcessMessages, where window messages would be handled:
    // a test clicks or presses keys here while a search runs.
    std::function<void()> onProcessMessages;
    int repaints = 0;

    // Timers run on a virtual clock that advance() moves.
    std::uint64_t now = 0;
    std::map<TTimer*, std::pair<unsigned, std::uint64_t>> timers;  // interval, next due time
    // While set, the platform refuses to start timers.
    bool refuseTimers = false;
    // The local time is `localTime` at virtual time `localTimeSetAt` and runs
    // on with the virtual clock; the tick count is the virtual clock itself.
    TSystemTime localTime{1999, 2, 4, 18, 12, 0, 0, 0};
    std::uint64_t localTimeSetAt = 0;
    std::vector<std::string> longMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
    std::string timeSeparator = ":";
    // The keyboard layout's names of virtual keys; unset is a US layout.
    std::optional<std::map<Word, std::string>> keyboardLayout;

    // Common dialogs: the responder fills in FileName and accepts or not.
    std::function<bool(TOpenDialog&)> dialogResponder;
    std::vector<std::string> dialogsShown;  // titles

    // Program starts. Without a responder every start succeeds with a new
    // running process; processes[handle] is its exit code (259 while running).
    std::vector<ShellCall> shellCalls;
    std::function<ShellReply(const ShellCall&)> shellResponder;
    std::map<std::uintptr_t, unsigned> processes;
    std::uintptr_t nextProcess = 100;
    std::vector<std::uintptr_t> openedProcesses, closedProcesses;
    std::vector<WinExecCall> winExecCalls;
    unsigned winExecResult = 33;

    // OS fakes. Files are real; a bare profile name lands in windowsDir.
    std::string windowsDir = "/tmp";
    // The user's application-data folder; empty, as by default, the
    // platform has none.
    std::string userDataDir;
    // The system's ANSI code page: 1252 or 1251.
    unsigned ansiCodePage = 1252;
    int fileReads = 0;
    std::vector<ExitWindowsCall> exitWindowsCalls;
    bool shutdownPrivilege = false;
    IOperatingSystem::FreeResources freeResources;
    std::vector<HelpCall> helpCalls;
    // Makes ReplaceFile fail for the paths it returns true for.
    std::function<bool(const std::string& path)> failReplace;
    // Directories (lexically normal full paths) in which no file can be
    // made, and the errno that creating one gives: EACCES for a directory
    // the user may not write to, EROFS for a read-only volume. Root could
    // write there anyway, so the fake refuses in its place.
    std::map<std::string, int> dirWriteErrors;
    // Room left on the volume for a temporary file, in bytes; unset is
    // unlimited. A larger file gets this much written before the write fails
    // as on a full disk (ENOSPC).
    std::optional<std::size_t> freeSpace;
    // Every temporary file ReplaceFile made, with the bytes that reached it.
    struct TempWrite {
        std::string path;
        std::size_t written = 0;
    };
    std::vector<TempWrite> tempWrites;

    // File search runs on the real file system. Attributes that POSIX files
    // lack (read-only, hidden, system, archive) come from here by full path
    // and replace the archive bit; directory and link bits stay the system's.
    // ReplaceFile refuses an existing file whose entry has faReadOnly.
    std::map<std::string, std::uint32_t> fileAttributes;
    // Reparse tags by full path: such an entry also gets faReparsePoint, so a
    // real directory can stand for a junction or a cloud placeholder.
    std::map<std::string, std::uint32_t> reparseTags;
    // Searches may run on the scanner's worker threads: these three are
    // updated, and the two hooks called, one search at a time.
    std::vector<std::string> searchPatterns;  // every search opened, in order
    bool recordSearches = true;               // false: searchPatterns stays as it is (benchmarks)
    int openSearches = 0;                     // opened and not yet closed
    std::function<void(const std::string& pattern)> onFindFirst;
    // When set, answers every search instead of the file system (a tree too
    // large to create on disk); null means nothing matches.
    std::function<std::unique_ptr<IFileFind>(const std::string& pattern)> findResponder;
    // Drives ("d:") and the directory each stands for; changing to a drive
    // changes to its directory.
    std::map<std::string, std::string> drives;
};

// The rig of the current application object.
Rig& rig();

// Moves the virtual clock on, firing every timer that falls due, in order.
void advance(unsigned ms);

// Sets the local time as of now; it runs on as advance() moves the clock.
void setLocalTime(Word year, Word month, Word day, Word hour, Word minute, Word second, Word msec = 0);

// Handles handed out and not yet closed.
std::size_t openProcessHandles();

// A key pressed in `form`, through the dispatcher as the message loop does
// (TForm::KeyDown). A form behind a modal one takes no keys. True when the
// key was used.
bool pressKey(TForm& form, Word key, TShiftState shift = 0);

}  // namespace headless
