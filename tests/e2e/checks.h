// The groups of end-to-end checks; each group reports every check it makes
// and leaves no process of its own running.
#pragma once

#include <string>

#include "harness.h"

namespace e2e {

struct TTargets {
    std::wstring full;     // tolvek.exe
    std::wstring compact;  // tolvek-compact.exe
    std::wstring scratch;  // a directory the suite may fill
};

// The real executables: window, button, menu, close question, saved keys.
void RunWindowChecks(TReport& report, const TTargets& targets);
// Our profile engine against the platform's own profile functions, and the
// launcher keeping a configuration's encoding.
void RunProfileChecks(TReport& report, const TTargets& targets);
// The launcher with a configuration in the ANSI code page (1252 or 1251).
void RunAnsiProfileChecks(TReport& report, const TTargets& targets);
// Menu entries, failed and META entries, the Run dialog and its history, and
// the "Startup" group, with tolvek-recorder.exe as the program started.
void RunLaunchChecks(TReport& report, const TTargets& targets);
// The missing-file start, Help window and sample file, version, time/date
// and the system meter.
void RunFunctionsChecks(TReport& report, const TTargets& targets);
// The Find File window: search, pages, saved list, double-click, "Open
// With...", the picker, the histories and stopping a search
// (finder_checks.cpp).
void RunFinderChecks(TReport& report, const TTargets& targets);
// The clock window: one at a time, caption, place, marks, second hand, and
// closing by double-click (clock_checks.cpp).
void RunClockChecks(TReport& report, const TTargets& targets);
// The backend's menus on a form of this process (menu_checks.cpp).
void RunMenuChecks(TReport& report);
// On a screen of 144 dpi: the scaled button window, and the Run dialog and
// Find File with every caption whole (dpi_checks.cpp).
void RunDpiChecks(TReport& report, const TTargets& targets);
// A standard user's Windows, run with the Windows directory read-only
// (modern_checks.cpp): the preparation, made while it is writable, puts an
// administrator's TOLVEK.INI there; the checks start, close and restart on
// it and query the end of the session; the fresh checks want no TOLVEK.INI.
void RunReadOnlyPreparation(TReport& report, const TTargets& targets);
void RunReadOnlyChecks(TReport& report, const TTargets& targets);
void RunFreshChecks(TReport& report, const TTargets& targets);
// The start without a configuration, and "Sample INI" writing to `sample`
// (functions_checks.cpp); checks are named NAME.*.
void SampleConfiguration(TReport& report, const TTargets& targets, const std::string& name, const std::wstring& sample);

// Helpers of the launch and functions groups (launch_checks.cpp).
struct TDialogBox {
    HWND window = nullptr;
    std::string caption;
    std::string text;  // the longest static text
    std::vector<std::pair<HWND, std::string>> buttons;
    HWND icon = nullptr;  // the static that shows an icon, if one does
};
TDialogBox ReadDialogBox(HWND window);
std::string ButtonList(const TDialogBox& box);
// Posts the button's command to the box, as its click would.
bool PressDialogButton(const TDialogBox& box, const std::string& caption);
// "stop", "exclamation", "information" or "question": the system icon that
// draws the pixels the static shows; "none" without one.
std::string SystemIconOf(HWND iconStatic, std::string& detail);
// Starts a launcher and waits for its visible window (checks NAME.starts
// and NAME.window-appears).
// The program part of a command line (quotes taken off) and what follows it
// after the one separating blank.
void splitCommandLine(const std::string& line, std::string& program, std::string& tail);

HWND StartLauncher(TReport& report, const std::string& name, TProcess& process, const std::wstring& exe,
                   const std::vector<std::wstring>& args);
HWND ButtonOf(HWND form);
struct TMenuKey {
    bool isChar;  // a WM_CHAR (an item's "&" letter), else a key
    UINT code;
};
// Clicks the button and posts the keys to its menu; false when no menu opened.
// `took`: the time from the click to the visible menu.
bool ChooseFromMenu(HWND button, const std::vector<TMenuKey>& keys, std::chrono::milliseconds* took = nullptr);
// The same, checked as NAME.menu-opens.
bool ChooseFromMenu(TReport& report, const std::string& name, HWND button, const std::vector<TMenuKey>& keys);
// The window of `top` that has the keyboard focus, else `top`.
HWND FocusOf(HWND top);
// A file beside this executable.
std::wstring ProgramBeside(const wchar_t* name);

}  // namespace e2e
