// The clock control: its settings, switching it on and off, the time it
// works out from the local time or the elapsed time, and its change events.
#include <gtest/gtest.h>

#include "clock/tvclock.h"
#include "platform/headless/headless.h"

namespace {

struct ClockForm : TForm {
    ClockForm() : TForm(nullptr, "TClockForm") {
        SetBounds(0, 0, 200, 200);
        clock.SetController(&controller);
    }
    ~ClockForm() override { DoDestroy(); }
    TTvController controller{this};
    TTvClock clock{this};
};

std::string shown(const TTvClock& clock) {
    Word h, m, s, ms;
    DecodeTime(clock.Time(), h, m, s, ms);
    auto two = [](Word v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return two(h) + ":" + two(m) + ":" + two(s);
}

// The time shown after the first trigger, with the clock started at `h:m:s`.
std::string afterFirstTick(int h, int m, int s, int minuteOffset, int timeOffset) {
    TApplication app;
    ClockForm form;
    headless::setLocalTime(2024, 3, 5, static_cast<Word>(h), static_cast<Word>(m), static_cast<Word>(s), 0);
    form.clock.SetMinuteOffset(minuteOffset);
    form.clock.SetTimeOffset(timeOffset);
    form.clock.SetActive(true);
    headless::advance(500);
    return shown(form.clock);
}

}  // namespace

TEST(Clock, ConstructionAndSettings) {
    TApplication app;
    ClockForm form;
    TTvClock& clock = form.clock;
    EXPECT_EQ(clock.Width(), 150);
    EXPECT_EQ(clock.Height(), 150);
    EXPECT_EQ(clock.Buffer().Width(), 150);
    EXPECT_FALSE(clock.Active());
    EXPECT_EQ(clock.TriggerHandle(), -1);
    EXPECT_EQ(clock.Time(), 0.0);
    EXPECT_EQ(clock.ClockMode(), cmClock);
    EXPECT_TRUE(clock.DrawMarks());
    EXPECT_TRUE(clock.ClockFace().Empty());
    EXPECT_TRUE(clock.ParentColor());
    EXPECT_EQ(clock.Color(), clBtnFace);
    EXPECT_FALSE(clock.EraseBackground());
    EXPECT_EQ(clock.DialogCode(), 0x100u);
    EXPECT_FALSE(clock.TabStop);
    const TTvHandOptions& hands = clock.HandOptions();
    EXPECT_EQ(hands.HourHandColor(), clBlack);
    EXPECT_EQ(hands.HourHandLength(), 60);
    EXPECT_EQ(hands.HourHandWidth(), 4);
    EXPECT_EQ(hands.MinuteHandColor(), clBlack);
    EXPECT_EQ(hands.MinuteHandLength(), 80);
    EXPECT_EQ(hands.MinuteHandWidth(), 3);
    EXPECT_EQ(hands.SecondHandColor(), RGBToColor(255, 0, 0));
    EXPECT_EQ(hands.SecondHandLength(), 90);
    EXPECT_EQ(hands.SecondHandWidth(), 1);
    EXPECT_TRUE(hands.ShowSecondHand());
    EXPECT_TRUE(hands.SolidHands());

    // Each accepted change asks for a repaint; a refused or equal one does not.
    int& repaints = headless::rig().repaints;
    auto repaintsFor = [&](auto change) {
        const int before = repaints;
        change();
        return repaints - before;
    };
    EXPECT_EQ(repaintsFor([&] { clock.SetMinuteOffset(60); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.SetMinuteOffset(61); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.SetMinuteOffset(-61); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.SetMinuteOffset(60); }), 0);
    EXPECT_EQ(clock.MinuteOffset(), 60);
    EXPECT_EQ(repaintsFor([&] { clock.SetMinuteOffset(-60); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.SetTimeOffset(-12); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.SetTimeOffset(13); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.SetTimeOffset(-13); }), 0);
    EXPECT_EQ(clock.TimeOffset(), -12);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetHourHandWidth(0); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetMinuteHandWidth(-1); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetSecondHandWidth(-1); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetSecondHandLength(101); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetHourHandWidth(6); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetSolidHands(false); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetSolidHands(false); }), 0);
    EXPECT_EQ(hands.HourHandWidth(), 6);
    EXPECT_EQ(hands.MinuteHandWidth(), 3);
    EXPECT_EQ(hands.SecondHandWidth(), 1);
    EXPECT_EQ(hands.SecondHandLength(), 90);
    EXPECT_EQ(repaintsFor([&] { clock.SetDrawMarks(false); }), 1);
    EXPECT_EQ(repaintsFor([&] { clock.SetClockMode(cmClock); }), 0);
    EXPECT_EQ(repaintsFor([&] { clock.SetBounds(0, 0, 120, 80); }), 1);
    EXPECT_EQ(clock.Buffer().Width(), 120);
    EXPECT_EQ(clock.Buffer().Height(), 80);

    // Copies carry the settings and leave the copy's notification alone.
    TTvHandOptions copy = clock.HandOptions();
    EXPECT_FALSE(copy.OnChange);
    EXPECT_EQ(copy.HourHandWidth(), 6);
    copy.SetMinuteHandColor(clBlue);
    EXPECT_EQ(repaintsFor([&] { clock.SetHandOptions(copy); }), 1);
    EXPECT_EQ(hands.MinuteHandColor(), clBlue);
    EXPECT_EQ(repaintsFor([&] { clock.HandOptions().SetHourHandWidth(2); }), 1);

    TBitmap picture(4, 3);
    clock.SetClockFace(&picture);
    EXPECT_EQ(clock.ClockFace().Width(), 4);
    picture.SetSize(8, 8);  // a copy, not a reference
    EXPECT_EQ(clock.ClockFace().Width(), 4);
    clock.SetClockFace(nullptr);
    EXPECT_TRUE(clock.ClockFace().Empty());
}

TEST(Clock, SwitchingOnAndOff) {
    TApplication app;
    ClockForm form;
    TTvClock& clock = form.clock;
    TTvTimerPool& pool = form.controller.TimerPool();
    headless::setLocalTime(1999, 2, 18, 10, 45, 20, 250);

    clock.SetActive(true);
    clock.SetActive(true);
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.Intervals(), (std::vector<std::int32_t>{500}));
    EXPECT_EQ(clock.TriggerHandle(), 0);
    // The time from the moment it is switched on, date and all, no offsets.
    EXPECT_DOUBLE_EQ(clock.Time(), EncodeDate(1999, 2, 18) + EncodeTime(10, 45, 20, 250));

    clock.SetActive(false);
    clock.SetActive(false);
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(clock.TriggerHandle(), -1);
    const TDateTime stopped = clock.Time();
    headless::advance(5000);
    EXPECT_EQ(clock.Time(), stopped);  // an inactive clock keeps its time

    // Loading only stores; the end of loading switches on for real.
    clock.BeginLoading();
    clock.SetActive(true);
    EXPECT_TRUE(clock.Active());
    EXPECT_EQ(pool.Count(), 0);
    clock.Loaded();
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_TRUE(clock.Active());

    // Changing the mode keeps the time and the trigger.
    const TDateTime before = clock.Time();
    clock.SetClockMode(cmTimer);
    EXPECT_EQ(clock.Time(), before);
    EXPECT_EQ(pool.Count(), 1);
    clock.SetActive(false);

    // Without a controller there is nothing to switch on with.
    TTvClock orphan(&form);
    try {
        orphan.SetActive(true);
        FAIL() << "switched on without a controller";
    } catch (const ENoControllerAssigned& e) {
        EXPECT_STREQ(e.what(), "No Controller assigned");
    }
    EXPECT_FALSE(orphan.Active());
    EXPECT_EQ(pool.Count(), 0);
}

TEST(Clock, OffsetsInClockMode) {
    EXPECT_EQ(afterFirstTick(10, 45, 20, 30, 0), "11:15:20");
    EXPECT_EQ(afterFirstTick(22, 10, 0, 0, 3), "13:10:00");   // 25 less 12
    EXPECT_EQ(afterFirstTick(2, 10, 0, 0, -5), "09:10:00");   // -3 plus 12
    EXPECT_EQ(afterFirstTick(10, 10, 0, -30, 0), "09:40:00");  // the minutes borrow an hour
    EXPECT_EQ(afterFirstTick(0, 10, 0, -30, 0), "11:40:00");   // -1 plus 12
    EXPECT_EQ(afterFirstTick(23, 50, 0, 10, 12), "00:00:00");  // 36 less 12 is 24: taken modulo 24
    EXPECT_EQ(afterFirstTick(0, 10, 0, -30, -12), "23:40:00");  // -13 plus 12 is -1
    EXPECT_EQ(afterFirstTick(12, 0, 59, 60, 0), "13:00:59");
    EXPECT_EQ(afterFirstTick(12, 0, 59, -60, 0), "11:00:59");

    // A new offset counts from the next trigger on.
    TApplication app;
    ClockForm form;
    headless::setLocalTime(2024, 1, 1, 8, 0, 0);
    form.clock.SetActive(true);
    headless::advance(500);
    EXPECT_EQ(shown(form.clock), "08:00:00");
    form.clock.SetTimeOffset(2);
    EXPECT_EQ(shown(form.clock), "08:00:00");
    headless::advance(500);
    EXPECT_EQ(shown(form.clock), "10:00:01");
}

TEST(Clock, TimerModeCountsFromSwitchingOn) {
    TApplication app;
    ClockForm form;
    TTvClock& clock = form.clock;
    clock.SetClockMode(cmTimer);
    headless::advance(10'000);
    clock.SetActive(true);
    EXPECT_EQ(clock.Time(), 0.0);
    headless::advance(65'400);
    EXPECT_EQ(shown(clock), "00:01:05");

    // Off and on again starts from zero.
    clock.SetActive(false);
    clock.SetActive(true);
    EXPECT_EQ(shown(clock), "00:00:00");
    headless::advance(2'000);
    EXPECT_EQ(shown(clock), "00:00:02");

    // 1 day, 1 hour and 5 seconds show 01:00:05; the day is kept beside.
    clock.ClockTimerTick(nullptr, 0, 500, (86'400 + 3'600 + 5) * 1000LL + 999);
    EXPECT_EQ(shown(clock), "01:00:05");
    EXPECT_DOUBLE_EQ(clock.Time(), 1 + EncodeTime(1, 0, 5, 0));
    // Past 24.8 days, where a 32-bit count would have turned negative.
    clock.ClockTimerTick(nullptr, 0, 500, 30LL * 86'400'000 + 7'322'000);
    EXPECT_EQ(shown(clock), "02:02:02");
    EXPECT_DOUBLE_EQ(clock.Time(), 30 + EncodeTime(2, 2, 2, 0));
}

TEST(Clock, ChangeEventsAndRepaints) {
    TApplication app;
    ClockForm form;
    TTvClock& clock = form.clock;
    std::vector<std::string> events;
    clock.OnHourChange = [&](TObject* s) { events.push_back(s == &clock ? "hour" : "?"); };
    clock.OnMinuteChange = [&](TObject*) { events.push_back("minute"); };
    clock.OnSecondChange = [&](TObject*) { events.push_back("second"); };
    int& repaints = headless::rig().repaints;

    // The first change after construction compares with the initial zeros.
    clock.ChangeTime(EncodeTime(14, 0, 5, 0));
    EXPECT_EQ(events, (std::vector<std::string>{"hour", "second"}));
    EXPECT_EQ(shown(clock), "14:00:05");

    // Within the same second: nothing stored, fired or repainted.
    events.clear();
    int before = repaints;
    clock.ChangeTime(EncodeTime(14, 0, 5, 900) + 3);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(repaints, before);
    EXPECT_DOUBLE_EQ(clock.Time(), EncodeTime(14, 0, 5, 0));

    clock.ChangeTime(EncodeTime(14, 1, 5, 0));
    EXPECT_EQ(events, (std::vector<std::string>{"minute"}));
    EXPECT_EQ(repaints, before + 1);

    // Switching on sets the shown time without considering it, so the next
    // change fires only for what differs from the values last considered.
    events.clear();
    headless::setLocalTime(2024, 5, 1, 14, 1, 5, 0);
    clock.SetActive(true);
    EXPECT_TRUE(events.empty());
    headless::advance(500);
    EXPECT_TRUE(events.empty());  // 14:01:05.5: the shown second did not change
    headless::advance(500);
    EXPECT_EQ(events, (std::vector<std::string>{"second"}));  // 14:01:06
    EXPECT_EQ(shown(clock), "14:01:06");

    // Two triggers a second: a repaint for every other one.
    before = repaints;
    headless::advance(3000);
    EXPECT_EQ(repaints - before, 3);
    EXPECT_EQ(events.size(), 4u);

    // A failing event is reported; the clock keeps ticking.
    clock.OnSecondChange = [&](TObject*) { throw Exception("no second"); };
    headless::rig().messageBoxes.clear();
    headless::advance(2000);
    EXPECT_EQ(shown(clock), "14:01:11");
    EXPECT_EQ(headless::rig().messageBoxes.size(), 2u);
}
