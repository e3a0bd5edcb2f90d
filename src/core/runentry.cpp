// Running a chosen menu entry and a typed command.
#include "core/start.h"

namespace {
// WinExec's failure codes; the others show nothing.
const char* winExecMessage(Word code) {
    switch (code) {
        case 0: return "System was out of memory, executable file was corrupt, or relocations were invalid.";
        case 2: return "File was not found.";
        case 3: return "Path was not found.";
        case 5:
            return "Attempt was made to dynamically link to a task, or there was a sharing or network-protection "
                   "error.";
        case 6: return "Library required separate data segments for each task.";
        case 8: return "There was insufficient memory to start the application.";
        case 10: return "Windows version was incorrect.";
        case 11:
            return "Executable file was invalid. Either it was not a Windows application or there was an error in "
                   "the .EXE image.";
        case 12: return "Application was designed for a different operating system.";
        case 13: return "Application was designed for MS-DOS 4.0.";
        case 14: return "Type of executable file was unknown.";
        case 15: return "Attempt was made to load a real-mode application (developed for an earlier version of Windows).";
        case 16:
            return "Attempt was made to load a second instance of an executable file containing multiple data "
                   "segments that were not marked read-only.";
        case 19:
            return "Attempt was made to load a compressed executable file. The file must be decompressed before it "
                   "can be loaded.";
        case 20:
            return "Dynamic-link library (DLL) file was invalid. One of the DLLs required to run this application was "
                   "corrupt.";
        case 21: return "Application requires 32-bit extensions.";
        default: return nullptr;
    }
}
}  // namespace

void TTolvekForm::resetLauncher() {
    tvGo.ProgramName.clear();
    tvGo.Parameters.clear();
    tvGo.StartDir = kDefaultStartDir;
}

void TTolvekForm::launchAndReset() {
    try {
        tvGo.Launch();
    } catch (...) {
        resetLauncher();
        throw;
    }
    resetLauncher();
}

void TTolvekForm::RunEntry(TMenuItem* item) {
    std::string text = item->Hint;
    const auto space = text.find(' ');
    tvGo.ProgramName = text.substr(0, space);
    text = space == std::string::npos ? std::string() : text.substr(space + 1);
    if (const auto dollar = text.find('$'); dollar != std::string::npos) {
        tvGo.StartDir = text.substr(dollar + 1);
        text.resize(dollar);
    }
    tvGo.Parameters = text;
    launchAndReset();
}

void TTolvekForm::RunTypedCommand(const std::string& program, const std::string& parameters) {
    IOperatingSystem& os = Application->OS();
    const bool winExecWay = program.find(".EXE") != std::string::npos || program.find(".COM") != std::string::npos ||
                            program.find(".PIF") != std::string::npos || program.find('.') == std::string::npos;
    if (winExecWay) {
        const std::string commandLine = UpperCase(program) + " " + parameters;
        std::string dir = ExtractFilePath(program);
        std::string previous;
        if (!dir.empty()) {
            dir.pop_back();
            previous = os.GetCurrentDir();
            if (!os.SetCurrentDir(dir)) throw EInOutError("Cannot change to the directory " + dir);
        }
        const unsigned result = os.WinExec(commandLine, SW_SHOWNORMAL);
        if (result <= 21) ShowWinExecError(static_cast<Word>(result));
        if (!dir.empty()) os.SetCurrentDir(previous);
        return;
    }
    if (!os.FileExists(program)) throw ETolvekError("Invalid Filename");
    tvGo.StartDir = ExtractFilePath(program);
    tvGo.ProgramName = program;
    tvGo.Parameters = parameters;
    launchAndReset();
}

void TTolvekForm::ShowWinExecError(Word code) {
    if (const char* text = winExecMessage(code)) Application->MessageBox(text, "Error", MB_OK | MB_ICONEXCLAMATION);
}
