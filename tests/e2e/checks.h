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
// Our profile engine against the platform's own profile functions.
void RunProfileChecks(TReport& report, const std::wstring& scratch);

}  // namespace e2e
