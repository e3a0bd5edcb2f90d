// What both program entries do: the command line as UTF-8, then the launcher.
#pragma once

#include "core/program.h"
#include "platform/win32/win32.h"

inline int RunFromCommandLine(TMenuVariant variant) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    win32::TLocalMemory owner(reinterpret_cast<HLOCAL>(argv));
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(win32::Narrow(argv[i]));
    return TolvekMain(args, variant);
}
