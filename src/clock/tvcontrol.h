// The control framework pieces that the clock rests on: a base control linked
// to a controller, the non-visual controller, and the controller's timer pool,
// which drives any number of periodic triggers from one system timer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/canvas.h"
#include "platform/timers.h"

// "No Controller assigned"
class ENoControllerAssigned : public Exception {
public:
    using Exception::Exception;
};

// "No Window's timers are available"
class ENoTimersAvailable : public Exception {
public:
    using Exception::Exception;
};

// sender (the pool), handle, interval, milliseconds since registration
using TTvTriggerEvent = std::function<void(TObject* sender, int handle, std::int32_t interval, std::int64_t elapsed)>;

class TTvTimerPool : public TComponent {
public:
    static constexpr std::int32_t kMinInterval = 55;  // the system timer's resolution
    static constexpr std::int32_t kSlack = 27;        // a trigger fires this early rather than a period late

    explicit TTvTimerPool(TComponent* owner);
    ~TTvTimerPool() override;

    // A repeating trigger every `interval` ms (at least 55); returns its handle.
    int Add(TTvTriggerEvent callback, std::int32_t interval);
    // An unknown handle is ignored.
    void Remove(int handle);

    // The system timer's period; 0 while it is stopped.
    std::int32_t Period() const { return period_; }
    int Count() const { return static_cast<int>(triggers_.size()); }
    // Intervals in list order, which is ascending.
    std::vector<std::int32_t> Intervals() const;

    // One message of the system timer.
    void Tick();

private:
    struct TTrigger {
        bool enabled = true;
        int handle = 0;
        std::uint64_t startTick = 0;
        std::int32_t interval = 0;
        std::uint64_t lastTick = 0;
        TTvTriggerEvent callback;
        bool repeat = true;
    };

    void calcPeriod();
    void restartTimer();

    std::vector<TTrigger> triggers_;
    std::int32_t period_ = 0;
    TTimer timer_;
};

class TTvCustomControl;

// Placed on a form beside the controls it serves; owns their timer pool.
class TTvController : public TComponent {
public:
    // Controls of the owner form that have no controller yet take this one.
    explicit TTvController(TComponent* owner);
    ~TTvController() override;

    TTvTimerPool& TimerPool() { return *pool_; }

    // `control` learns of this controller's destruction.
    void FreeNotification(TTvCustomControl* control);
    void RemoveFreeNotification(TTvCustomControl* control);

private:
    std::vector<TTvCustomControl*> notified_;
    std::unique_ptr<TTvTimerPool> pool_;
};

// The base of the framework's controls: custom-drawn, with a controller.
class TTvCustomControl : public TCustomControl {
public:
    explicit TTvCustomControl(TControl* parent);
    ~TTvCustomControl() override;

    TTvController* Controller() const { return controller_; }
    virtual void SetController(TTvController* controller);

    // Without a controller the control takes one of its form's; without
    // any there, the window cannot be made.
    void CreateWnd() override;

    // While the control is loaded from its design, setters only store;
    // Loaded() then applies what needs applying.
    void BeginLoading() { loading_ = true; }
    virtual void Loaded() { loading_ = false; }
    bool Loading() const { return loading_; }

private:
    friend class TTvController;
    TTvController* controller_ = nullptr;
    bool loading_ = false;
};
