// Ending the Windows session after confirmation; the history is saved and
// let go first, since the session's end may not come back here.
#include "core/start.h"
#include "tolvek_version.h"

namespace {
bool confirmed(const char* question, const char* caption) {
    return Application->MessageBox(question, caption, MB_YESNO) == IDYES;
}
}  // namespace

void TTolvekForm::EndWindows1Click(TObject*) {
    if (!confirmed("Do you REALY want to exit windows?", "Exit")) return;
    SaveHistory();
    History.reset();
    Application->OS().ExitWindowsEx(EWX_LOGOFF, 0);
}

void TTolvekForm::RestartWindows1Click(TObject*) {
    if (!confirmed("Do you REALY want to EXIT and RESTART windows?", "Exit")) return;
    SaveHistory();
    History.reset();
    Application->OS().ExitWindowsEx(EWX_LOGOFF, 0);
}

void TTolvekForm::RebootComputer1Click(TObject*) {
    if (!confirmed("Do you REALY want to Restart Your Computer!?!??", "Reboot!!!!")) return;
    if (!confirmed("No, Really, this will REBOOT your COMPUTER!?!?!?", "Reboot!!!!")) return;
    SaveHistory();
    History.reset();
    // Systems that require the shutdown privilege would refuse the request otherwise.
    Application->OS().EnableShutdownPrivilege();
    Application->OS().ExitWindowsEx(EWX_REBOOT, 0);
}

void TTolvekForm::Version1Click(TObject*) {
    Application->MessageBox("Windows 3.1 Tolvek Button v" TOLVEK_VERSION " (18FEB1999)", "About",
                            MB_OK | MB_ICONINFORMATION);
}
