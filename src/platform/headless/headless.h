// Test control of the headless backend: what the program showed, and the
// answers a test scripts for message boxes, modal forms and menus.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/menus.h"

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
    bool operator==(const HelpCall&) const = default;
};

struct ExitWindowsCall {
    unsigned flags = 0, reserved = 0;
    bool operator==(const ExitWindowsCall&) const = default;
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

    // Popup menus: each position is recorded; the responder picks the item.
    std::vector<TPoint> popups;
    std::function<TMenuItem*(TPopupMenu&)> popupResponder;

    std::vector<TRect> monitors{{0, 0, 1024, 768}};
    TPoint cursor;
    TForm* capture = nullptr;
    TControl* focused = nullptr;
    TCursor cursorShape{};
    int processMessagesCalls = 0;
    int repaints = 0;

    // OS fakes. Files are real; a bare profile name lands in windowsDir.
    std::string windowsDir = "/tmp";
    std::vector<ExitWindowsCall> exitWindowsCalls;
    std::vector<HelpCall> helpCalls;
    // Makes ReplaceFile fail for the paths it returns true for.
    std::function<bool(const std::string& path)> failReplace;
};

// The rig of the current application object.
Rig& rig();

}  // namespace headless
