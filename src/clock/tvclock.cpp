#include "clock/tvclock.h"

#include "platform/forms.h"

namespace {
const char* const kNoController = "No Controller assigned";
constexpr std::int32_t kTriggerInterval = 500;
}  // namespace

TTvHandOptions& TTvHandOptions::operator=(const TTvHandOptions& other) {
    if (values_ == other.values_) return *this;
    values_ = other.values_;
    changed();
    return *this;
}

TTvCustomClock::TTvCustomClock(TControl* parent) : TTvCustomControl(parent) {
    TabStop = false;
    TControl::SetBounds(Left(), Top(), 150, 150);
    buffer_.SetSize(150, 150);
    hands_.OnChange = [this](TObject*) { invalidate(); };
}

TTvCustomClock::~TTvCustomClock() {
    // Switching off uses the controller's pool, which must still exist.
    if (handle_ > -1 && Controller() && Application)
        Application->Dispatch([this] { Controller()->TimerPool().Remove(handle_); });
}

void TTvCustomClock::Loaded() {
    TTvCustomControl::Loaded();
    const bool stored = active_;
    active_ = false;
    SetActive(stored);
}

void TTvCustomClock::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    buffer_.SetSize(width, height);
    invalidate();
}

void TTvCustomClock::SetActive(bool active) {
    if (Loading()) {
        active_ = active;
        return;
    }
    if (active == active_) return;
    if (active && handle_ == -1 && !Controller()) throw ENoControllerAssigned(kNoController);
    active_ = active;
    if (active) {
        if (handle_ == -1) {
            try {
                handle_ = Controller()->TimerPool().Add(
                    [this](TObject* s, int h, std::int32_t i, std::int64_t e) { ClockTimerTick(s, h, i, e); },
                    kTriggerInterval);
            } catch (...) {
                active_ = false;
                throw;
            }
        }
        time_ = mode_ == cmClock ? SystemTimeToDateTime(Application->OS().GetLocalTime()) : 0.0;
    } else if (handle_ > -1) {
        const int handle = handle_;
        handle_ = -1;
        if (Controller()) Controller()->TimerPool().Remove(handle);
    }
    invalidate();
}

void TTvCustomClock::SetClockFace(const TBitmap* picture) {
    if (picture)
        face_.Assign(*picture);
    else
        face_.SetSize(0, 0);
    invalidate();
}

void TTvCustomClock::SetClockMode(TTvClockMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    invalidate();
}

void TTvCustomClock::SetDrawMarks(bool drawMarks) {
    if (drawMarks == drawMarks_) return;
    drawMarks_ = drawMarks;
    invalidate();
}

void TTvCustomClock::SetMinuteOffset(int minutes) {
    if (minutes == minuteOffset_ || minutes < -60 || minutes > 60) return;
    minuteOffset_ = minutes;
    invalidate();
}

void TTvCustomClock::SetTimeOffset(int hours) {
    if (hours == timeOffset_ || hours < -12 || hours > 12) return;
    timeOffset_ = hours;
    invalidate();
}

void TTvCustomClock::ClockTimerTick(TObject*, int, std::int32_t, std::int64_t elapsed) {
    if (mode_ == cmClock) {
        const TSystemTime now = Application->OS().GetLocalTime();
        const int total = now.Minute + minuteOffset_;
        int minute = total % 60, carry = total / 60;
        // A negative sum borrows from the hour: 10:10 less 30 minutes is 09:40.
        if (minute < 0) {
            minute += 60;
            --carry;
        }
        int hour = carry + now.Hour + timeOffset_;
        if (hour > 23) hour -= 12;
        if (hour < 0) hour += 12;
        hour = (hour % 24 + 24) % 24;  // what a single correction by 12 leaves outside the day
        ChangeTime(EncodeTime(static_cast<Word>(hour), static_cast<Word>(minute), now.Second, now.Milliseconds));
    } else {
        const std::int64_t seconds = elapsed / 1000;
        const std::int64_t days = seconds / 86400, rest = seconds % 86400;
        ChangeTime(EncodeTime(static_cast<Word>(rest / 3600), static_cast<Word>(rest % 3600 / 60),
                              static_cast<Word>(rest % 60), 0) +
                   static_cast<double>(days));
    }
}

void TTvCustomClock::ChangeTime(TDateTime time) {
    Word hour, minute, second, msec, shownHour, shownMinute, shownSecond;
    DecodeTime(time, hour, minute, second, msec);
    DecodeTime(time_, shownHour, shownMinute, shownSecond, msec);
    if (hour == shownHour && minute == shownMinute && second == shownSecond) return;
    time_ = time;
    // Compared with the values last considered, not with the shown time.
    if (hour != lastHour_ && OnHourChange) OnHourChange(this);
    lastHour_ = hour;
    if (minute != lastMinute_ && OnMinuteChange) OnMinuteChange(this);
    lastMinute_ = minute;
    if (second != lastSecond_ && OnSecondChange) OnSecondChange(this);
    lastSecond_ = second;
    invalidate();
}
