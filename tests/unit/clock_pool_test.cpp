// The clock's framework: the timer pool's period and firing on the virtual
// clock, its failures, and how controls and controllers find each other.
#include <gtest/gtest.h>

#include "clock/tvcontrol.h"
#include "platform/forms.h"
#include "platform/headless/headless.h"

namespace {

struct Fired {
    int handle;
    std::int32_t interval;
    std::int64_t elapsed;
    std::uint64_t at;
    bool operator==(const Fired&) const = default;
};

// Records every firing of a trigger with the virtual time it happened at.
TTvTriggerEvent recorder(std::vector<Fired>& log) {
    return [&log](TObject*, int handle, std::int32_t interval, std::int64_t elapsed) {
        log.push_back({handle, interval, elapsed, headless::rig().now});
    };
}

std::vector<std::uint64_t> times(const std::vector<Fired>& log, int handle) {
    std::vector<std::uint64_t> out;
    for (const Fired& f : log)
        if (f.handle == handle) out.push_back(f.at);
    return out;
}

// The one system timer of the pool: the only timer of a bare application.
unsigned systemTimerPeriod() {
    auto& timers = headless::rig().timers;
    return timers.size() == 1 ? timers.begin()->second.first : 0;
}

struct PlainForm : TForm {
    PlainForm() : TForm(nullptr, "TPlainForm") {}
    ~PlainForm() override { DoDestroy(); }
};

}  // namespace

TEST(TimerPool, OneClientAt500FiresOnEveryMessage) {
    TApplication app;
    TTvController controller(nullptr);
    TTvTimerPool& pool = controller.TimerPool();
    EXPECT_EQ(pool.Period(), 0);
    EXPECT_EQ(systemTimerPeriod(), 0u);  // nothing runs until the first trigger

    std::vector<Fired> log;
    headless::advance(1000);  // registration starts the count, whatever the time
    const int handle = pool.Add(recorder(log), 500);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(pool.Period(), 500);
    EXPECT_EQ(systemTimerPeriod(), 500u);

    headless::advance(2000);
    EXPECT_EQ(log, (std::vector<Fired>{{0, 500, 500, 1500}, {0, 500, 1000, 2000}, {0, 500, 1500, 2500},
                                       {0, 500, 2000, 3000}}));

    pool.Remove(handle);
    EXPECT_EQ(pool.Period(), 0);
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_TRUE(headless::rig().timers.empty());
    headless::advance(2000);
    EXPECT_EQ(log.size(), 4u);
}

TEST(TimerPool, HandlesFloorAndOrder) {
    TApplication app;
    TTvController controller(nullptr);
    TTvTimerPool& pool = controller.TimerPool();
    std::vector<Fired> log;

    EXPECT_EQ(pool.Add(recorder(log), 1000), 0);
    EXPECT_EQ(pool.Add(recorder(log), 10), 1);  // raised to the 55 ms floor
    EXPECT_EQ(pool.Add(recorder(log), 300), 2);
    EXPECT_EQ(pool.Intervals(), (std::vector<std::int32_t>{55, 300, 1000}));
    EXPECT_EQ(pool.Period(), 55);

    // A new handle is one above the largest, not a free one.
    pool.Remove(1);
    pool.Remove(42);  // unknown: ignored
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_EQ(pool.Add(recorder(log), 300), 3);
    pool.Remove(3);
    pool.Remove(2);
    EXPECT_EQ(pool.Add(recorder(log), 700), 1);
    EXPECT_EQ(pool.Intervals(), (std::vector<std::int32_t>{700, 1000}));
    pool.Remove(0);
    pool.Remove(1);
    EXPECT_EQ(pool.Add(recorder(log), 700), 0);  // an empty list starts again at 0
}

TEST(TimerPool, PeriodDividesTheIntervalsAndCountsWhatIsLeft) {
    TApplication app;
    {
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        std::vector<Fired> log;
        const int slow = pool.Add(recorder(log), 300);
        const int fast = pool.Add(recorder(log), 200);
        // 200 does not divide 300: 200 - 100 = 100, which divides both.
        EXPECT_EQ(pool.Period(), 100);
        EXPECT_EQ(systemTimerPeriod(), 100u);
        headless::advance(1200);
        EXPECT_EQ(times(log, fast), (std::vector<std::uint64_t>{200, 400, 600, 800, 1000, 1200}));
        EXPECT_EQ(times(log, slow), (std::vector<std::uint64_t>{300, 600, 900, 1200}));
    }
    {
        // The time left of a running trigger counts: 500 registered at 0 has
        // 300 left at 200, and 300 does not divide 500 (300 - 200 = 100).
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        std::vector<Fired> log;
        const std::uint64_t start = headless::rig().now;
        pool.Add(recorder(log), 500);
        headless::advance(200);
        pool.Add(recorder(log), 1000);
        EXPECT_EQ(pool.Period(), 100);
        headless::advance(800);
        EXPECT_EQ(times(log, 0), (std::vector<std::uint64_t>{start + 500, start + 1000}));
        EXPECT_EQ(log.back().elapsed, 1000);  // since its own registration
        EXPECT_EQ(times(log, 1), (std::vector<std::uint64_t>{}));
        headless::advance(200);
        EXPECT_EQ(times(log, 1), (std::vector<std::uint64_t>{start + 1200}));
        EXPECT_EQ(log.back().elapsed, 1000);
    }
    {
        // The loop stops below the floor, which then applies. The list is
        // sorted only after the period: 130 comes first, so 100 - 30 = 70,
        // then 70 - 60 = 10, raised to 55.
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        std::vector<Fired> log;
        const std::uint64_t start = headless::rig().now;
        const int a = pool.Add(recorder(log), 130);
        const int b = pool.Add(recorder(log), 100);
        EXPECT_EQ(pool.Period(), 55);
        headless::advance(330);
        // Messages come every 55 ms; a trigger 27 ms short of due fires.
        EXPECT_EQ(times(log, b), (std::vector<std::uint64_t>{start + 110, start + 220, start + 330}));
        EXPECT_EQ(times(log, a), (std::vector<std::uint64_t>{start + 110, start + 220, start + 330}));
    }
}

TEST(TimerPool, FailuresAndCallbacksThatChangeThePool) {
    TApplication app;
    auto& rig = headless::rig();
    {
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        rig.refuseTimers = true;
        try {
            pool.Add([](TObject*, int, std::int32_t, std::int64_t) {}, 500);
            FAIL() << "the refusal went unnoticed";
        } catch (const ENoTimersAvailable& e) {
            EXPECT_STREQ(e.what(), "No Window's timers are available");
        }
        EXPECT_EQ(pool.Count(), 0);  // no handle came back, so nothing stays behind
        rig.refuseTimers = false;
        EXPECT_EQ(pool.Add([](TObject*, int, std::int32_t, std::int64_t) {}, 500), 0);
    }
    {
        // A failing callback is reported and the timer runs on.
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        int calls = 0;
        pool.Add(
            [&](TObject*, int, std::int32_t, std::int64_t) {
                if (++calls == 1) throw Exception("tick failed");
            },
            500);
        rig.messageBoxes.clear();
        headless::advance(1500);
        EXPECT_EQ(calls, 3);
        ASSERT_EQ(rig.messageBoxes.size(), 1u);
        EXPECT_EQ(rig.messageBoxes[0].text, "tick failed.");
        EXPECT_EQ(rig.messageBoxes[0].flags, MB_OK | MB_ICONSTOP);
    }
    {
        // A callback that removes its neighbour and itself.
        TTvController controller(nullptr);
        TTvTimerPool& pool = controller.TimerPool();
        std::vector<int> fired;
        const int first = pool.Add(
            [&](TObject*, int h, std::int32_t, std::int64_t) {
                fired.push_back(h);
                pool.Remove(1);
                pool.Remove(h);
            },
            500);
        pool.Add([&](TObject*, int h, std::int32_t, std::int64_t) { fired.push_back(h); }, 500);
        headless::advance(1000);
        EXPECT_EQ(fired, (std::vector<int>{first}));
        EXPECT_EQ(pool.Count(), 0);
        EXPECT_TRUE(rig.timers.empty());
    }
}

TEST(Controller, ControlsAndControllersFindEachOther) {
    TApplication app;
    {
        // A controller put on a form serves the controls there that lack one.
        PlainForm form;
        TTvCustomControl first(&form), second(&form);
        auto mine = std::make_unique<TTvController>(nullptr);
        second.SetController(mine.get());
        TTvController placed(&form);
        EXPECT_EQ(first.Controller(), &placed);
        EXPECT_EQ(second.Controller(), mine.get());
        // A controller that goes clears the references to it.
        mine.reset();
        EXPECT_EQ(second.Controller(), nullptr);
        // Making the window takes the form's controller.
        second.CreateWnd();
        EXPECT_EQ(second.Controller(), &placed);
    }
    {
        // A controller made before the only control of its form serves it too.
        PlainForm form;
        TTvController early(&form);
        TTvCustomControl later(&form);
        later.CreateWnd();
        EXPECT_EQ(later.Controller(), &early);
    }
    {
        // A control that goes first must not be told anything later.
        PlainForm form;
        auto controller = std::make_unique<TTvController>(&form);
        auto control = std::make_unique<TTvCustomControl>(&form);
        control->SetController(controller.get());
        control.reset();
        controller.reset();
    }
    {
        PlainForm form;
        TTvCustomControl lonely(&form);
        try {
            lonely.CreateWnd();
            FAIL() << "a window without a controller was made";
        } catch (const ENoControllerAssigned& e) {
            EXPECT_STREQ(e.what(), "No Controller assigned");
        }
        TTvController elsewhere(nullptr);
        lonely.SetController(&elsewhere);
        EXPECT_NO_THROW(lonely.CreateWnd());
        EXPECT_EQ(lonely.Controller(), &elsewhere);
    }
}
