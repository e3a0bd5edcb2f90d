// The clock window as the main window's Analog Clock command opens it: one
// at a time, dated in its caption, running, and closed by a double click.
#include "clock/timefrm.h"
#include "fixture.h"

namespace {

TfrmTime& clockWindow(Fixture& f) {
    EXPECT_NE(f.main().ClockWindow, nullptr);
    return *static_cast<TfrmTime*>(f.main().ClockWindow);
}

// A form whose teardown runs a dispatch, as a window's does on Windows.
class TDispatchingForm : public TForm {
public:
    explicit TDispatchingForm(std::vector<std::string>& log) : TForm(nullptr, "TProbe"), log_(log) {}
    ~TDispatchingForm() override {
        log_.push_back("teardown begins");
        Application->Dispatch([] {});
        log_.push_back("teardown ends");
    }

private:
    std::vector<std::string>& log_;
};

}  // namespace

// Released forms are freed one after the other, even when a teardown
// dispatches and so reaches the freeing again.
TEST(ClockWindow, ReleasedWindowsAreFreedOneAfterTheOther) {
    Fixture f("");
    std::vector<std::string> log;
    auto* clock = f.app.CreateForm<TfrmTime>(&f.app);
    clock->OnDestroy = [&](TObject*) { log.push_back("clock window destroyed"); };
    auto* probe = f.app.CreateForm<TDispatchingForm>(log);
    probe->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    clock->Close();
    probe->Close();
    f.app.ProcessMessages();
    EXPECT_EQ(log, (std::vector<std::string>{"teardown begins", "teardown ends", "clock window destroyed"}));
}

TEST(ClockWindow, OpensOnceWithItsDesignAndDate) {
    Fixture f("");
    headless::setLocalTime(1999, 2, 18, 15, 4, 5);
    EXPECT_EQ(f.main().ClockWindow, nullptr);
    f.main().AnalogClock1->Click();
    TfrmTime& w = clockWindow(f);
    EXPECT_EQ(w.ClassName(), "TfrmTime");
    EXPECT_EQ(w.Caption(), "February 18, 1999");
    EXPECT_EQ(w.BoundsRect(), (TRect{366, 105, 366 + 223, 105 + 221}));
    EXPECT_EQ(w.BorderStyle, TBorderStyle::Sizeable);
    EXPECT_FALSE(w.BorderIcons);
    EXPECT_TRUE(w.Visible());

    TTvClock& clock = w.TheClock;
    EXPECT_EQ(clock.BoundsRect(), (TRect{0, 0, 223, 221}));
    EXPECT_EQ(clock.Align, TAlign::Client);
    EXPECT_EQ(clock.Controller(), &w.TvController1);
    EXPECT_EQ(clock.HandOptions().HourHandWidth(), 6);
    EXPECT_EQ(clock.HandOptions().MinuteHandWidth(), 4);
    EXPECT_EQ(clock.HandOptions().SecondHandWidth(), 2);
    EXPECT_EQ(clock.HandOptions().SecondHandColor(), clRed);
    EXPECT_TRUE(clock.ParentColor());
    // Running, and showing the time from the first paint on.
    EXPECT_TRUE(clock.Active());
    EXPECT_EQ(w.TvController1.TimerPool().Intervals(), (std::vector<std::int32_t>{500}));
    Word h, m, s, ms;
    DecodeTime(clock.Time(), h, m, s, ms);
    EXPECT_EQ(h * 10000 + m * 100 + s, 150405);
    headless::advance(1000);
    DecodeTime(clock.Time(), h, m, s, ms);
    EXPECT_EQ(s, 6);

    // A second choice, menu item or META entry, changes nothing.
    w.SetBounds(10, 10, 300, 300);
    f.main().AnalogClock1->Click();
    EXPECT_EQ(f.main().ClockWindow, &w);
    EXPECT_EQ(w.Left(), 10);
    EXPECT_EQ(w.TvController1.TimerPool().Count(), 1);
}

TEST(ClockWindow, DoubleClickClosesAndTheNextOneIsNew) {
    Fixture f("[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=Clock\nProgName1=METAANALOGCLOCK\n",
              TMenuVariant::Compact);
    TMenuItem* entry = f.main().Popit.Items().Items(0);
    entry->Click();
    TfrmTime& first = clockWindow(f);
    first.SetBounds(500, 400, 100, 90);

    const std::size_t forms = f.app.FormCount();
    first.TheClock.DblClick();
    EXPECT_EQ(f.main().ClockWindow, nullptr);
    EXPECT_FALSE(first.Visible());
    f.app.ProcessMessages();  // the released window is freed once no event runs
    EXPECT_EQ(f.app.FormCount(), forms - 1);
    EXPECT_TRUE(f.rig().timers.empty());  // no trigger left behind

    headless::setLocalTime(2024, 3, 5, 8, 0, 0);
    entry->Click();
    TfrmTime& second = clockWindow(f);
    EXPECT_EQ(f.app.FormCount(), forms);  // a new window; the first is gone
    EXPECT_EQ(second.BoundsRect(), (TRect{366, 105, 366 + 223, 105 + 221}));
    EXPECT_EQ(second.Caption(), "March 05, 2024");
    EXPECT_TRUE(second.TheClock.Active());

    // The platform's close runs the same close path.
    second.Close();
    EXPECT_EQ(f.main().ClockWindow, nullptr);
    f.app.ProcessMessages();
    EXPECT_EQ(f.app.FormCount(), forms - 1);
}

TEST(ClockWindow, CaptionUsesTheLocaleAndFailuresAreReported) {
    Fixture f("");
    f.rig().longMonthNames[2] = "März";
    headless::setLocalTime(2024, 3, 5, 23, 59, 59);
    f.main().AnalogClock1->Click();
    EXPECT_EQ(clockWindow(f).Caption(), "März 05, 2024");
    // The caption is a snapshot; it does not follow midnight.
    headless::advance(2000);
    EXPECT_EQ(clockWindow(f).Caption(), "März 05, 2024");
    clockWindow(f).Close();

    // A refused timer reaches the default error report through the menu,
    // and the window does not stay as if open.
    f.rig().refuseTimers = true;
    f.rig().popupResponder = [&](TPopupMenu&) { return f.main().AnalogClock1; };
    f.main().spdTvk.Click();
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "No Window's timers are available.");
    EXPECT_EQ(f.main().ClockWindow, nullptr);
    f.rig().refuseTimers = false;
    f.main().spdTvk.Click();
    EXPECT_NE(f.main().ClockWindow, nullptr);
}

TEST(ClockWindow, FormatDateTimeTokens) {
    const TDateTime t = EncodeDate(1999, 2, 18) + EncodeTime(15, 4, 5, 7);
    EXPECT_EQ(FormatDateTime("MMMM dd, YYYY", t), "February 18, 1999");
    EXPECT_EQ(FormatDateTime("MMMM dd, YYYY (hh:mm:ss AM/PM)", t), "February 18, 1999 (03:04:05 PM)");
    EXPECT_EQ(FormatDateTime("d/m/yy h:n:s.zzz", t), "18/2/99 15:4:5.007");
    EXPECT_EQ(FormatDateTime("mm dd", t), "02 18");  // month, without an hour before
    EXPECT_EQ(FormatDateTime("hh' o''clock' am/pm", EncodeTime(0, 30, 0, 0)), "12 oclock am");
    EXPECT_EQ(FormatDateTime("\"mm\" h a/p", EncodeTime(12, 0, 0, 0)), "mm 12 p");
    TFormatSettings dots;
    dots.TimeSeparator = ".";
    EXPECT_EQ(FormatDateTime("hh:mm:ss AM/PM", EncodeTime(23, 59, 59, 0), dots), "11.59.59 PM");
    EXPECT_EQ(FormatDateTime("dd MMMM YYYY", EncodeDate(2000, 1, 5)), "05 January 2000");
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeDate(1999, 2, 29), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
}
