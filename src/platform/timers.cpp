#include "platform/timers.h"

#include "platform/drivers.h"
#include "platform/forms.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner), driver_(newTimerDriver(this)) { update(); }

TTimer::~TTimer() {
    enabled_ = false;
    update();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    update();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == interval_) return;
    interval_ = ms;
    update();
}

void TTimer::update() { driver_->Set(enabled_ ? interval_ : 0); }

void TTimer::Tick() {
    if (enabled_ && OnTimer) Application->Dispatch([this] { OnTimer(this); });
}
