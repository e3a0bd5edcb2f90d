// tolvek-e2e.exe FULL.EXE COMPACT.EXE SCRATCHDIR [window|profile|launch|functions|finder|clock|menus|ansi-1251]
// tolvek-e2e.exe FULL.EXE COMPACT.EXE SCRATCHDIR readonly-prepare|readonly|fresh|dpi-144
// Runs the real executables and the platform's profile functions, prints one
// line per check and "N passed, N failed" last.
#include <cstdio>
#include <string>

#include "checks.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: tolvek-e2e FULL.EXE COMPACT.EXE SCRATCHDIR [window|profile|launch|functions|finder|"
                     "clock|menus|ansi-1251|readonly-prepare|readonly|fresh|dpi-144]\n");
        return 2;
    }
    e2e::TTargets targets{argv[1], argv[2], argv[3]};
    const std::wstring only = argc > 4 ? argv[4] : L"";
    ::CreateDirectoryW(targets.scratch.c_str(), nullptr);

    e2e::TReport report;
    if (!e2e::FileExists(targets.scratch)) report.Check("scratch-directory", false, "cannot create it");
    if (only.empty() || only == L"profile") e2e::RunProfileChecks(report, targets);
    // Run under a Cyrillic locale, which is where Wine takes the code page from.
    if (only == L"ansi-1251" &&
        report.Check("ansi-1251.code-page", ::GetACP() == 1251, "the ANSI code page is " + std::to_string(::GetACP())))
        e2e::RunAnsiProfileChecks(report, targets);
    if (only.empty() || only == L"window") e2e::RunWindowChecks(report, targets);
    if (only.empty() || only == L"launch") e2e::RunLaunchChecks(report, targets);
    if (only.empty() || only == L"functions") e2e::RunFunctionsChecks(report, targets);
    if (only.empty() || only == L"finder") e2e::RunFinderChecks(report, targets);
    if (only.empty() || only == L"clock") e2e::RunClockChecks(report, targets);
    if (only.empty() || only == L"menus") e2e::RunMenuChecks(report);
    // Only on request: these need a prepared prefix (scripts/test.sh), one
    // of them a screen of 144 dpi.
    if (only == L"readonly-prepare") e2e::RunReadOnlyPreparation(report, targets);
    if (only == L"readonly") e2e::RunReadOnlyChecks(report, targets);
    if (only == L"fresh") e2e::RunFreshChecks(report, targets);
    if (only == L"dpi-144") e2e::RunDpiChecks(report, targets);

    std::printf("%d passed, %d failed\n", report.Passed(), report.Failed());
    std::fflush(stdout);
    return report.Failed() == 0 ? 0 : 1;
}
