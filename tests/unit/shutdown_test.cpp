// The shutdown commands: questions, the history saved first, the request.
#include "fixture.h"

namespace {
using headless::ExitWindowsCall;
const std::string kSample = "[ALLINFO]\r\nLegacy1=calc \r\nLegacy3=old\r\n";
}  // namespace

TEST(Shutdown, CloseAndRestartWindowsAskOnceAndLogOff) {
    for (bool restart : {false, true}) {
        Fixture f(kSample);
        (*f.main().History)[1] = "notepad a.txt";
        const std::string before = f.bytes();
        auto run = [&] { restart ? f.main().RebootWindows1->Click() : f.main().RestartWindows1->Click(); };

        f.rig().answers = {IDNO};
        run();
        EXPECT_EQ(f.bytes(), before);
        EXPECT_TRUE(f.main().History.has_value());
        EXPECT_TRUE(f.rig().exitWindowsCalls.empty());

        f.rig().answers = {IDYES};
        run();
        ASSERT_EQ(f.rig().messageBoxes.size(), 2u);
        EXPECT_EQ(f.rig().messageBoxes[1].text, restart ? "Do you REALY want to EXIT and RESTART windows?"
                                                        : "Do you REALY want to exit windows?");
        EXPECT_EQ(f.rig().messageBoxes[1].caption, "Exit");
        EXPECT_EQ(f.rig().messageBoxes[1].flags, MB_YESNO);
        EXPECT_EQ(f.rig().exitWindowsCalls, (std::vector<ExitWindowsCall>{{EWX_LOGOFF, 0, false}}));
        EXPECT_FALSE(f.main().History.has_value());
        EXPECT_EQ(f.ini("ALLINFO", "Legacy1"), "calc");
        EXPECT_EQ(f.ini("ALLINFO", "Legacy2"), "notepad a.txt");
        EXPECT_EQ(f.ini("ALLINFO", "Legacy3"), "old");
        EXPECT_NE(f.bytes().find("Legacy10=\r\n"), std::string::npos);

        // The session did not end: the close path writes only the settings now.
        f.rig().answers = {IDYES};
        const std::string saved = f.ini("ALLINFO", "Legacy2");
        f.main().Close();
        EXPECT_TRUE(f.main().Closed());
        EXPECT_EQ(f.ini("ALLINFO", "Legacy2"), saved);
        EXPECT_EQ(f.ini("CONFIG", "Left"), "0");
    }
}

TEST(Shutdown, RebootAsksTwiceAndEnablesThePrivilegeFirst) {
    Fixture f(kSample);
    const std::string before = f.bytes();
    f.rig().answers = {IDNO};
    f.main().RebootComputer1->Click();
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);  // no second question

    f.rig().answers = {IDYES, IDNO};
    f.main().RebootComputer1->Click();
    ASSERT_EQ(f.rig().messageBoxes.size(), 3u);
    EXPECT_EQ(f.rig().messageBoxes[1].text, "Do you REALY want to Restart Your Computer!?!??");
    EXPECT_EQ(f.rig().messageBoxes[2].text, "No, Really, this will REBOOT your COMPUTER!?!?!?");
    EXPECT_EQ(f.rig().messageBoxes[2].caption, "Reboot!!!!");
    EXPECT_EQ(f.bytes(), before);
    EXPECT_FALSE(f.rig().shutdownPrivilege);

    f.rig().answers = {IDYES, IDYES};
    f.main().RebootComputer1->Click();
    EXPECT_EQ(f.rig().exitWindowsCalls, (std::vector<ExitWindowsCall>{{EWX_REBOOT, 0, true}}));
    EXPECT_NE(f.bytes().find("Legacy2=\r\n"), std::string::npos);
}

TEST(Shutdown, MetaCommandsReachTheSameCommands) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=3\n[PROGRAMS]\nProgName1=METAEXITWINDOWS\nProgName2=METARESTARTWINDOWS\n"
        "ProgName3=metarebootcomputer\n",
        TMenuVariant::Compact);
    TMenuItem& root = f.main().Popit.Items();
    for (int i = 0; i < 3; ++i) root.Items(i)->Click();
    ASSERT_EQ(f.rig().messageBoxes.size(), 3u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "Do you REALY want to exit windows?");
    EXPECT_EQ(f.rig().messageBoxes[1].text, "Do you REALY want to EXIT and RESTART windows?");
    EXPECT_EQ(f.rig().messageBoxes[2].caption, "Reboot!!!!");

    f.main().Version1->Click();
    EXPECT_EQ(f.rig().messageBoxes.back().text, "Windows 3.1 Tolvek Button v1.25 (18FEB1999)");
    EXPECT_EQ(f.rig().messageBoxes.back().caption, "About");
    EXPECT_EQ(f.rig().messageBoxes.back().flags, MB_OK | MB_ICONINFORMATION);
}

TEST(TimeDate, ShowsTheLocalTimeOnTheTwelveHourClock) {
    Fixture f("[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nProgName1=METATIMEDATE\n");
    auto shown = [&](TSystemTime t, const char* separator = ":") {
        f.rig().localTime = t;
        f.rig().localTimeSetAt = f.rig().now;
        f.rig().timeSeparator = separator;
        f.main().Popit.Items().Items(0)->Click();
        EXPECT_EQ(f.rig().messageBoxes.back().caption, "Current Time");
        EXPECT_EQ(f.rig().messageBoxes.back().flags, MB_OK | MB_ICONINFORMATION);
        return f.rig().messageBoxes.back().text;
    };
    EXPECT_EQ(shown({1999, 2, 4, 18, 15, 4, 5, 0}), "February 18, 1999 (03:04:05 PM)");
    EXPECT_EQ(shown({2026, 1, 1, 5, 0, 30, 0, 0}), "January 05, 2026 (12:30:00 AM)");
    EXPECT_EQ(shown({2026, 12, 1, 31, 12, 0, 0, 0}), "December 31, 2026 (12:00:00 PM)");
    EXPECT_EQ(shown({2026, 12, 1, 31, 23, 59, 59, 0}), "December 31, 2026 (11:59:59 PM)");
    EXPECT_EQ(shown({1999, 2, 4, 18, 15, 4, 5, 0}, "."), "February 18, 1999 (03.04.05 PM)");
}
