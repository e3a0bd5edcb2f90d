// A component that calls OnTimer every Interval milliseconds while enabled.
#pragma once

#include <memory>

#include "platform/classes.h"

class ITimerDriver;

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);
    TNotifyEvent OnTimer;

    // One tick, as the backend delivers it (through the dispatcher).
    void Tick();

private:
    void update();
    bool enabled_ = true;
    unsigned interval_ = 1000;
    std::unique_ptr<ITimerDriver> driver_;
};
