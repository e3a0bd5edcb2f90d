// The timer driver: a window timer on the application's hidden window.
#include "platform/win32/win32.h"

namespace win32 {

TWin32Timer::~TWin32Timer() {
    Set(0);
}

void TWin32Timer::Set(unsigned intervalMs) {
    if (!Application) return;
    TWin32Application& app = AppDriver();
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (intervalMs == 0) {
        if (running_) ::KillTimer(app.Window(), id);
        running_ = false;
        app.RemoveTimer(this);
        return;
    }
    // Setting an id that runs already restarts it with the new interval.
    running_ = ::SetTimer(app.Window(), id, intervalMs, nullptr) != 0;
    if (running_) app.AddTimer(this);
}

}  // namespace win32

bool TimerRunning(const TTimer& timer) {
    return Application && win32::AppDriver().Runs(timer);
}
