// The program entry shared by both executables; they differ only in the
// fixed items of the popup menu.
#pragma once

#include <string>
#include <vector>

enum class TMenuVariant { Full, Compact };

// `args` are the command-line arguments after the program name, as UTF-8.
// Returns the process exit code.
int TolvekMain(const std::vector<std::string>& args, TMenuVariant variant);
