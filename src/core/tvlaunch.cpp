#include "core/tvlaunch.h"

#include "core/lnchmsgs.h"
#include "platform/forms.h"

namespace {
int showCommand(TShowMode mode) {
    switch (mode) {
        case TShowMode::smMaximized: return SW_SHOWMAXIMIZED;
        case TShowMode::smMinimized: return SW_SHOWMINIMIZED;
        default: return SW_SHOWNORMAL;
    }
}
}  // namespace

ELaunchError CreateLaunchError(int code) {
    return ELaunchError(Application->OS().LoadString(static_cast<unsigned>(SLaunchBase + code)), code);
}

TTvLauncher::TTvLauncher(TComponent* owner) : TComponent(owner) {
    WatchTimer.SetEnabled(false);
    WatchTimer.SetInterval(1000);
    WatchTimer.OnTimer = [this](TObject* s) { WatchTimerTick(s); };
}

TTvLauncher::~TTvLauncher() {
    WatchTimer.SetEnabled(false);
}

void TTvLauncher::Launch() {
    instanceResult_ = 0;
    // The texts go to the shell whole: a cut path could name another program.
    auto result = Application->OS().ShellExecute(ProgramName, Parameters, StartDir, showCommand(ShowMode));
    if (!result.ok) throw CreateLaunchError(result.instApp);
    // Only the newest start is watched; the handle of the one before is let go.
    instanceResult_ = result.instApp;
    processHandle_ = std::move(result.process);
    WatchTimer.SetEnabled(true);
}

bool TTvLauncher::HasFinished() {
    unsigned code = 0;
    if (!processHandle_ || !Application->OS().GetExitCodeProcess(processHandle_, code)) return true;
    return code != STILL_ACTIVE;
}

void TTvLauncher::WatchTimerTick(TObject*) {
    if (!HasFinished()) return;
    instanceResult_ = 0;
    WatchTimer.SetEnabled(false);
    processHandle_.reset();
    Finished();
}

void TTvLauncher::Finished() {
    if (OnFinished) OnFinished(this);
}
