// The analog clock control: a face with 60 marks and an hour, a minute and an
// optional second hand, showing the local time shifted by whole hours and
// minutes, or the time since it was switched on. It keeps no time of its
// own: a 500 ms trigger of its controller's timer pool moves it on.
#pragma once

#include <cstdint>
#include <functional>

#include "clock/tvcontrol.h"
#include "platform/datetime.h"

using TTvPercent = std::uint8_t;  // 0 to 100

enum TTvClockMode : int { cmClock = 0, cmTimer = 1 };

// The three hands. Setters store a changed value and call OnChange; widths
// of 0 or less and lengths above 100 are ignored.
class TTvHandOptions : public TObject {
public:
    TTvHandOptions() = default;
    // Copies the settings, never the notification.
    TTvHandOptions(const TTvHandOptions& other) : values_(other.values_) {}
    TTvHandOptions& operator=(const TTvHandOptions& other);

    TColor HourHandColor() const { return values_.hourColor; }
    TTvPercent HourHandLength() const { return values_.hourLength; }
    int HourHandWidth() const { return values_.hourWidth; }
    TColor MinuteHandColor() const { return values_.minuteColor; }
    TTvPercent MinuteHandLength() const { return values_.minuteLength; }
    int MinuteHandWidth() const { return values_.minuteWidth; }
    TColor SecondHandColor() const { return values_.secondColor; }
    TTvPercent SecondHandLength() const { return values_.secondLength; }
    int SecondHandWidth() const { return values_.secondWidth; }
    bool ShowSecondHand() const { return values_.showSecond; }
    bool SolidHands() const { return values_.solid; }

    void SetHourHandColor(TColor v) { set(values_.hourColor, v); }
    void SetHourHandLength(TTvPercent v) { setLength(values_.hourLength, v); }
    void SetHourHandWidth(int v) { setWidth(values_.hourWidth, v); }
    void SetMinuteHandColor(TColor v) { set(values_.minuteColor, v); }
    void SetMinuteHandLength(TTvPercent v) { setLength(values_.minuteLength, v); }
    void SetMinuteHandWidth(int v) { setWidth(values_.minuteWidth, v); }
    void SetSecondHandColor(TColor v) { set(values_.secondColor, v); }
    void SetSecondHandLength(TTvPercent v) { setLength(values_.secondLength, v); }
    void SetSecondHandWidth(int v) { setWidth(values_.secondWidth, v); }
    void SetShowSecondHand(bool v) { set(values_.showSecond, v); }
    void SetSolidHands(bool v) { set(values_.solid, v); }

    std::function<void(TObject* sender)> OnChange;

private:
    struct Values {
        TColor hourColor = clBlack;
        TTvPercent hourLength = 60;
        int hourWidth = 4;
        TColor minuteColor = clBlack;
        TTvPercent minuteLength = 80;
        int minuteWidth = 3;
        TColor secondColor = clRed;
        TTvPercent secondLength = 90;
        int secondWidth = 1;
        bool showSecond = true;
        bool solid = true;
        bool operator==(const Values&) const = default;
    };

    template <class T>
    void set(T& field, T value) {
        if (field == value) return;
        field = value;
        changed();
    }
    void setLength(TTvPercent& field, TTvPercent value) {
        if (value <= 100) set(field, value);
    }
    void setWidth(int& field, int value) {
        if (value > 0) set(field, value);
    }
    void changed() {
        if (OnChange) OnChange(this);
    }

    Values values_;
};

class TTvCustomClock : public TTvCustomControl {
public:
    explicit TTvCustomClock(TControl* parent);
    ~TTvCustomClock() override;

    void Loaded() override;
    // The base behaviour, then the off-screen buffer follows the new size.
    void SetBounds(int left, int top, int width, int height);
    // The new time to show: events for what changed since last considered.
    virtual void ChangeTime(TDateTime time);
    // The trigger that the clock holds in its controller's pool.
    void ClockTimerTick(TObject* sender, int handle, std::int32_t interval, std::int64_t elapsed);

    // Painting covers every pixel, and the clock takes no keys (DLGC_STATIC).
    bool EraseBackground() const override { return false; }
    unsigned DialogCode() const override { return 0x100; }

    TDateTime Time() const { return time_; }
    int TriggerHandle() const { return handle_; }
    const TBitmap& Buffer() const { return buffer_; }

protected:
    bool Active() const { return active_; }
    void SetActive(bool active);
    const TBitmap& ClockFace() const { return face_; }
    void SetClockFace(const TBitmap* picture);  // none empties the face
    TTvClockMode ClockMode() const { return mode_; }
    void SetClockMode(TTvClockMode mode);
    bool DrawMarks() const { return drawMarks_; }
    void SetDrawMarks(bool drawMarks);
    TTvHandOptions& HandOptions() { return hands_; }
    void SetHandOptions(const TTvHandOptions& options) { hands_ = options; }
    // Out-of-range offsets are ignored: minutes -60 to 60, hours -12 to 12.
    int MinuteOffset() const { return minuteOffset_; }
    void SetMinuteOffset(int minutes);
    int TimeOffset() const { return timeOffset_; }
    void SetTimeOffset(int hours);

    TNotifyEvent OnHourChange, OnMinuteChange, OnSecondChange;

    void Paint() override;
    void DrawHands(TCanvas& canvas);
    enum class THandKind { Hour, Minute, Second };
    void DrawHand(TCanvas& canvas, TColor color, THandKind kind, int length, int width, double angle);

private:
    void invalidate() { Repaint(); }

    bool active_ = false;
    TTvClockMode mode_ = cmClock;
    bool drawMarks_ = true;
    int minuteOffset_ = 0;
    int timeOffset_ = 0;
    TTvHandOptions hands_;
    TBitmap face_;
    TBitmap buffer_;
    TDateTime time_ = 0;
    int handle_ = -1;
    int lastHour_ = 0, lastMinute_ = 0, lastSecond_ = 0;
};

// The clock with its properties published.
class TTvClock : public TTvCustomClock {
public:
    using TTvCustomClock::TTvCustomClock;
    using TTvCustomClock::Active;
    using TTvCustomClock::ClockFace;
    using TTvCustomClock::ClockMode;
    using TTvCustomClock::DrawMarks;
    using TTvCustomClock::HandOptions;
    using TTvCustomClock::MinuteOffset;
    using TTvCustomClock::OnHourChange;
    using TTvCustomClock::OnMinuteChange;
    using TTvCustomClock::OnSecondChange;
    using TTvCustomClock::SetActive;
    using TTvCustomClock::SetClockFace;
    using TTvCustomClock::SetClockMode;
    using TTvCustomClock::SetDrawMarks;
    using TTvCustomClock::SetHandOptions;
    using TTvCustomClock::SetMinuteOffset;
    using TTvCustomClock::SetTimeOffset;
    using TTvCustomClock::TimeOffset;
};
