#include "clock/tvcontrol.h"

#include <algorithm>
#include <climits>

#include "platform/drivers.h"
#include "platform/forms.h"

namespace {
const char* const kNoController = "No Controller assigned";
const char* const kNoTimers = "No Window's timers are available";

std::uint64_t tickNow() { return Application->OS().GetTickCount64(); }

template <class F>
void forEachControl(TControl* root, F&& f) {
    std::vector<TControl*> pending{root};
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        f(c);
        pending.insert(pending.end(), c->Controls().rbegin(), c->Controls().rend());
    }
}
}  // namespace

// ---- TTvTimerPool ----

TTvTimerPool::TTvTimerPool(TComponent* owner) : TComponent(owner), timer_(this) {
    // A new timer runs at once; the pool starts it only for its first trigger.
    timer_.SetEnabled(false);
    timer_.OnTimer = [this](TObject*) { Tick(); };
}

TTvTimerPool::~TTvTimerPool() { timer_.SetEnabled(false); }

int TTvTimerPool::Add(TTvTriggerEvent callback, std::int32_t interval) {
    TTrigger t;
    t.interval = std::max(interval, kMinInterval);
    for (const TTrigger& other : triggers_) t.handle = std::max(t.handle, other.handle + 1);
    t.startTick = t.lastTick = tickNow();
    t.callback = std::move(callback);
    const int handle = t.handle;
    triggers_.push_back(std::move(t));
    calcPeriod();
    std::stable_sort(triggers_.begin(), triggers_.end(),
                     [](const TTrigger& a, const TTrigger& b) { return a.interval < b.interval; });
    try {
        restartTimer();
    } catch (...) {
        // The caller gets no handle, so nothing could ever remove this trigger.
        std::erase_if(triggers_, [handle](const TTrigger& t) { return t.handle == handle; });
        calcPeriod();
        throw;
    }
    return handle;
}

void TTvTimerPool::Remove(int handle) {
    std::erase_if(triggers_, [handle](const TTrigger& t) { return t.handle == handle; });
    calcPeriod();
    restartTimer();
}

std::vector<std::int32_t> TTvTimerPool::Intervals() const {
    std::vector<std::int32_t> out;
    for (const TTrigger& t : triggers_) out.push_back(t.interval);
    return out;
}

void TTvTimerPool::calcPeriod() {
    const std::uint64_t now = tickNow();
    std::int64_t period = INT_MAX;
    bool any = false;
    for (const TTrigger& t : triggers_) {
        if (!t.enabled) continue;
        any = true;
        const std::int64_t remaining = t.interval - static_cast<std::int64_t>(now - t.lastTick);
        period = std::min({period, static_cast<std::int64_t>(t.interval), remaining});
    }
    if (!any) {
        period_ = 0;
        return;
    }
    period = std::max<std::int64_t>(period, kMinInterval);
    // A period that divides every interval lets each trigger fire on time.
    while (period > kMinInterval) {
        auto misfit = std::find_if(triggers_.begin(), triggers_.end(),
                                   [period](const TTrigger& t) { return t.interval % period != 0; });
        if (misfit == triggers_.end()) break;
        period -= misfit->interval % period;
    }
    period_ = static_cast<std::int32_t>(std::max<std::int64_t>(period, kMinInterval));
}

void TTvTimerPool::restartTimer() {
    timer_.SetEnabled(false);
    const bool anyEnabled = std::any_of(triggers_.begin(), triggers_.end(), [](const TTrigger& t) { return t.enabled; });
    if (period_ == 0 || !anyEnabled) return;
    timer_.SetInterval(static_cast<unsigned>(period_));
    timer_.SetEnabled(true);
    if (!TimerRunning(timer_)) throw ENoTimersAvailable(kNoTimers);
}

void TTvTimerPool::Tick() {
    const std::uint64_t now = tickNow();
    // A callback may add or remove triggers, so walk a snapshot of handles.
    std::vector<int> handles;
    for (const TTrigger& t : triggers_) handles.push_back(t.handle);
    for (int handle : handles) {
        auto it = std::find_if(triggers_.begin(), triggers_.end(), [handle](const TTrigger& t) { return t.handle == handle; });
        if (it == triggers_.end() || !it->enabled) continue;
        if (static_cast<std::int64_t>(now - it->lastTick) < it->interval - kSlack) continue;
        it->lastTick = now;
        TTvTriggerEvent callback = it->callback;
        const std::int32_t interval = it->interval;
        const auto elapsed = static_cast<std::int64_t>(now - it->startTick);
        if (!it->repeat) triggers_.erase(it);
        if (callback) callback(this, handle, interval, elapsed);
    }
}

// ---- TTvController ----

TTvController::TTvController(TComponent* owner) : TComponent(owner), pool_(std::make_unique<TTvTimerPool>(this)) {
    if (auto* form = dynamic_cast<TControl*>(owner))
        forEachControl(form, [this](TControl* c) {
            auto* control = dynamic_cast<TTvCustomControl*>(c);
            if (control && !control->Controller()) control->SetController(this);
        });
}

TTvController::~TTvController() {
    for (TTvCustomControl* control : notified_) control->controller_ = nullptr;
}

void TTvController::FreeNotification(TTvCustomControl* control) {
    if (std::find(notified_.begin(), notified_.end(), control) == notified_.end()) notified_.push_back(control);
}

void TTvController::RemoveFreeNotification(TTvCustomControl* control) { std::erase(notified_, control); }

// ---- TTvCustomControl ----

TTvCustomControl::TTvCustomControl(TControl* parent) : TCustomControl(parent) {}

TTvCustomControl::~TTvCustomControl() {
    if (controller_) controller_->RemoveFreeNotification(this);
}

void TTvCustomControl::SetController(TTvController* controller) {
    if (controller == controller_) return;
    if (controller_) controller_->RemoveFreeNotification(this);
    controller_ = controller;
    if (controller_) controller_->FreeNotification(this);
}

void TTvCustomControl::CreateWnd() {
    if (controller_) return;
    if (TControl* form = ParentForm())
        for (TComponent* component : form->Components())
            if (auto* found = dynamic_cast<TTvController*>(component)) {
                SetController(found);
                return;
            }
    throw ENoControllerAssigned(kNoController);
}
