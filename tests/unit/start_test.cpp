// The main button window: settings loaded at creation, the popup, the
// modes of the "&Tolvek" submenu, and the close path.
#include <cerrno>

#include "fixture.h"

namespace {
const std::string kQuestion = "This will close your Begin Button.\rAre you sure?";
}

TEST(MainWindow, SettingsLoadedAtCreation) {
    {
        Fixture f("");
        EXPECT_EQ(f.main().spdTvk.Caption(), "BEGIN");
        EXPECT_EQ(f.app.Title(), "BEGIN v1.25");
        EXPECT_EQ(f.main().Left(), 0);  // not the design position
        EXPECT_EQ(f.main().Top(), 0);
        EXPECT_FALSE(f.main().StayOnTop1->Checked);  // the design check does not survive
        EXPECT_EQ(f.main().FormStyle(), TFormStyle::Normal);
        EXPECT_FALSE(f.main().AlwaysPopup1->Checked);
        EXPECT_EQ(f.main().History, (std::vector<std::string>(10)));
        EXPECT_EQ(f.main().ClassName(), "TTolvekForm");
        EXPECT_EQ(f.main().Width(), 104);
        EXPECT_EQ(f.main().spdTvk.Width(), 105);
    }
    {
        Fixture f(
            "[CONFIG]\nCaption=\nLeft=0x10\nTop=$20\nStayOnTop=256\nAlwaysPopup=1\nShell=x\nQuickClose=257\n"
            "[ALLINFO]\nLegacy2=calc \nLegacy10=notepad a.txt\n");
        EXPECT_EQ(f.main().spdTvk.Caption(), "");
        EXPECT_EQ(f.app.Title(), " v1.25");
        EXPECT_EQ(f.main().Left(), 16);
        EXPECT_EQ(f.main().Top(), 32);
        EXPECT_FALSE(f.main().StayOnTop1->Checked);  // 256: the low 8 bits are zero
        EXPECT_TRUE(f.main().AlwaysPopup1->Checked);
        EXPECT_FALSE(f.main().Shell);
        EXPECT_TRUE(f.main().QuickClose);
        std::vector<std::string> history(10);
        history[1] = "calc";
        history[9] = "notepad a.txt";
        EXPECT_EQ(f.main().History, history);
    }
    {
        Fixture f("[CONFIG]\nCaption=\"Ünïcødé Ψ\"\nStayOnTop=1\n");
        EXPECT_EQ(f.main().spdTvk.Caption(), "Ünïcødé Ψ");
        EXPECT_EQ(f.main().FormStyle(), TFormStyle::StayOnTop);
    }
}

TEST(MainWindow, AnsiConfigurationIsReadAndWrittenInTheSystemCodePage) {
    Fixture f("[CONFIG]\r\nCaption=\xC1\xEB\xEE\xEA\r\nQuickClose=1\r\n");
    f.rig().ansiCodePage = 1251;
    f.main().LoadSettings();
    EXPECT_EQ(f.main().spdTvk.Caption(), "Блок");
    f.main().History->front() = "блокнот";
    f.main().Close();
    const std::string head =
        "[CONFIG]\r\nCaption=\xC1\xEB\xEE\xEA\r\nQuickClose=1\r\nLeft=0\r\nTop=0\r\nStayOnTop=0\r\nAlwaysPopup=0\r\n"
        "[ALLINFO]\r\nLegacy1=\xE1\xEB\xEE\xEA\xED\xEE\xF2\r\nLegacy2=\r\n";
    EXPECT_EQ(f.bytes().substr(0, head.size()), head);
}

TEST(MainWindow, OffScreenPositionIsBroughtBackOnTheDesktop) {
    auto place = [](const std::string& config, std::vector<TRect> monitors = {{0, 0, 1024, 768}}, int dpi = 96) {
        TempDir dir;
        TApplication app;
        headless::rig().monitors = monitors;
        headless::rig().dpi = dpi;
        writeFile(dir.file("t.ini"), "[CONFIG]\nQuickClose=1\n" + config);
        auto* form = app.CreateForm<TTolvekForm>(TMenuVariant::Full, dir.file("t.ini"), std::vector<std::string>{});
        return TPoint{form->Left(), form->Top()};
    };
    EXPECT_EQ(place("Left=1025\nTop=769\n"), (TPoint{1024 - 105, 768 - 27}));
    // At 150 % the button is 158 x 41 screen pixels, and comes back whole.
    EXPECT_EQ(place("Left=1025\nTop=769\n", {{0, 0, 1024, 768}}, 144), (TPoint{1024 - 158, 768 - 41}));
    EXPECT_EQ(place("Left=1024\nTop=10\n"), (TPoint{1024 - 105, 10}));  // wholly off the right edge
    EXPECT_EQ(place("Left=1000\nTop=760\n"), (TPoint{1000, 760}));      // partly visible stays
    EXPECT_EQ(place("Left=-50\nTop=-20\n"), (TPoint{-50, -20}));
    EXPECT_EQ(place("Left=-2000\nTop=100\n"), (TPoint{0, 100}));  // a monitor that is gone
    // A second monitor to the right keeps a button that sits on it.
    std::vector<TRect> two{{0, 0, 1024, 768}, {1024, 0, 2944, 1080}};
    EXPECT_EQ(place("Left=2000\nTop=1000\n", two), (TPoint{2000, 1000}));
    EXPECT_EQ(place("Left=3000\nTop=1050\n", two), (TPoint{2944 - 105, 1050}));
    EXPECT_EQ(place("Left=100\nTop=900\n", two), (TPoint{100, 768 - 27}));
}

TEST(MainWindow, PopupCoversTheButtonAndRunsTheChoice) {
    Fixture f("[CONFIG]\nLeft=40\nTop=50\n[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=Q\nProgName1=METAFOO\n");
    f.rig().popupResponder = [](TPopupMenu& m) { return m.Items().Items(0); };
    int before = f.rig().processMessagesCalls;
    f.main().spdTvk.Click();
    EXPECT_EQ(f.rig().popups, (std::vector<TPoint>{{40, 50}}));
    EXPECT_GT(f.rig().processMessagesCalls, before);
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "I don't understand \"METAFOO \"");

    // Always Popup: a mouse move over the button pops the menu up.
    f.rig().popupResponder = nullptr;
    f.main().spdTvk.MouseMove(0, 3, 3);
    EXPECT_EQ(f.rig().popups.size(), 1u);
    f.main().AlwaysPopup1->Click();
    EXPECT_TRUE(f.main().AlwaysPopup1->Checked);
    f.main().spdTvk.MouseMove(0, 3, 3);
    EXPECT_EQ(f.rig().popups.size(), 2u);

    // A pick that a real menu would not offer, a hidden item here, runs nothing.
    f.main().Popit.Items().Items(0)->Visible = false;
    f.rig().popupResponder = [](TPopupMenu& m) { return m.Items().Items(0); };
    f.main().spdTvk.Click();
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);

    // Space and Enter on the focused button pop the menu up as a click does.
    f.main().spdTvk.SetFocus();
    EXPECT_TRUE(f.main().KeyDown(32, 0));
    EXPECT_TRUE(f.main().KeyDown(32, 0, true));  // held: no second popup
    EXPECT_TRUE(f.main().KeyDown(13, 0));
    EXPECT_EQ(f.rig().popups.size(), 5u);
}

TEST(MainWindow, PopupArgumentPopsAtEveryActivation) {
    {
        Fixture f("", TMenuVariant::Full, {"/popup"});
        f.main().Activated();
        f.main().Activated();
        EXPECT_EQ(f.rig().popups.size(), 2u);
    }
    {
        Fixture f("", TMenuVariant::Full, {"/popup", "x", "/popup", "/POPUP"});
        f.main().Activated();
        EXPECT_EQ(f.rig().popups.size(), 2u);
    }
    {
        TempDir dir;
        TApplication app;
        auto* form = app.CreateForm<TTolvekForm>(TMenuVariant::Full, "/popup", std::vector<std::string>{"/popup"});
        form->Activated();  // the only argument is the file name
        EXPECT_TRUE(headless::rig().popups.empty());
        form->History.reset();  // nothing to save into a file named "/popup"
    }
}

TEST(MainWindow, ModesOfTheTolvekSubmenu) {
    Fixture f("[CONFIG]\nLeft=10\nTop=10\nQuickClose=1\n");
    TTolvekForm& m = f.main();
    m.StayOnTop1->Click();
    EXPECT_TRUE(m.StayOnTop1->Checked);
    EXPECT_EQ(m.FormStyle(), TFormStyle::StayOnTop);
    m.StayOnTop1->Click();
    EXPECT_EQ(m.FormStyle(), TFormStyle::Normal);

    m.HandleBar1->Click();
    EXPECT_EQ(f.rig().capture, &m);
    f.rig().cursor = {301, 201};
    m.spdTvk.MouseMove(0, 1, 1);
    EXPECT_EQ(m.Left(), 301 - 52);
    EXPECT_EQ(m.Top(), 201 - 13);
    f.rig().cursor = {500, 400};
    m.MouseMove(0, 1, 1);
    EXPECT_EQ(m.Left(), 500 - 52);
    // At 150 % the window is 156 x 41 screen pixels; its centre still follows.
    f.rig().dpi = 144;
    m.MouseMove(0, 1, 1);
    EXPECT_EQ((TPoint{m.Left(), m.Top()}), (TPoint{500 - 78, 400 - 20}));
    m.HandleBar1->Click();
    EXPECT_EQ(f.rig().capture, nullptr);
    EXPECT_EQ(m.OnMouseMove, nullptr);
    f.rig().cursor = {0, 0};
    m.spdTvk.MouseMove(0, 1, 1);
    EXPECT_EQ(m.Left(), 500 - 78);

    m.Howtouse1->Click();
    EXPECT_EQ(f.rig().helpCalls, (std::vector<headless::HelpCall>{{"", HELP_CONTENTS, 0, ""}}));
}

TEST(MainWindow, ShortcutsActWhileTheButtonHasFocus) {
    Fixture f("[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=X\nProgName1=METAX\nShortCut1=Ctrl+Shift+X\n");
    EXPECT_FALSE(f.main().KeyDown('X', ssCtrl));
    EXPECT_TRUE(f.rig().messageBoxes.empty());
    EXPECT_TRUE(f.main().KeyDown('X', ssCtrl | ssShift));
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_TRUE(f.main().KeyDown(115 /* F4 */, ssShift));  // "Close Windows" is wired
}

TEST(MainWindow, CloseAsksAndWritesTheSettings) {
    const std::string ini =
        "; my launcher\r\n[CONFIG]\r\nCaption=Go\r\nLeft=12\r\nTop=34\r\nShell=0\r\n\r\n[ALLINFO]\r\nLegacy1=calc \r\n";
    Fixture f(ini);
    f.main().SetBounds(70, 80, 104, 27);
    f.main().AlwaysPopup1->Click();

    f.rig().answers.push_back(IDNO);
    f.main().Close();
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, kQuestion);
    EXPECT_EQ(f.rig().messageBoxes[0].caption, "Exit");
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_YESNO);
    EXPECT_FALSE(f.main().Closed());
    EXPECT_EQ(f.bytes(), ini);  // untouched
    EXPECT_FALSE(f.app.Terminated());

    f.rig().answers.push_back(IDYES);
    f.main().Close();
    EXPECT_TRUE(f.main().Closed());
    EXPECT_TRUE(f.app.Terminated());
    EXPECT_EQ(f.ini("CONFIG", "Left"), "70");
    EXPECT_EQ(f.ini("CONFIG", "Top"), "80");
    EXPECT_EQ(f.ini("CONFIG", "StayOnTop"), "0");
    EXPECT_EQ(f.ini("CONFIG", "AlwaysPopup"), "1");
    EXPECT_EQ(f.ini("CONFIG", "Caption"), "Go");
    EXPECT_EQ(f.ini("CONFIG", "QuickClose"), "<missing>");
    EXPECT_EQ(f.ini("ALLINFO", "Legacy1"), "calc");
    EXPECT_EQ(f.ini("ALLINFO", "Legacy10"), "");
    EXPECT_FALSE(f.main().History.has_value());
    EXPECT_EQ(f.bytes().substr(0, 14), "; my launcher\r");  // bytes it did not touch stay
    EXPECT_TRUE(f.rig().exitWindowsCalls.empty());
}

TEST(MainWindow, QuickCloseAndShell) {
    Fixture f("[CONFIG]\nQuickClose=1\nShell=1\n");
    f.main().CloseTolvek1->Click();
    EXPECT_TRUE(f.rig().messageBoxes.empty());
    EXPECT_TRUE(f.main().Closed());
    EXPECT_EQ(f.rig().exitWindowsCalls, (std::vector<headless::ExitWindowsCall>{{EWX_LOGOFF, 0}}));
    EXPECT_EQ(f.ini("CONFIG", "Left"), "0");
}

TEST(MainWindow, UnwritableConfigurationAbandonsTheClose) {
    Fixture f("[CONFIG]\nQuickClose=1\n");
    const std::string before = f.bytes();
    std::filesystem::permissions(f.iniPath, std::filesystem::perms::owner_read);
    f.app.Dispatch([&] { f.main().Close(); });
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "Unable to write to " + f.iniPath + ".");
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_OK | MB_ICONSTOP);
    EXPECT_FALSE(f.main().Closed());
    EXPECT_EQ(f.bytes(), before);
    EXPECT_TRUE(f.main().History.has_value());  // still held, saved later

    // A directory in the file's place: the settings read as defaults, writes fail.
    std::filesystem::permissions(f.iniPath, std::filesystem::perms::owner_all);
    std::filesystem::remove(f.iniPath);
    std::filesystem::create_directory(f.iniPath);
    f.app.Dispatch([&] { f.main().Close(); });
    EXPECT_EQ(f.rig().messageBoxes.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_directory(f.iniPath));

    // The same failure at the end of the session is shown, and the end is not refused.
    bool canEnd = false;
    f.app.Dispatch([&] { canEnd = f.main().QueryEndSession(); });
    EXPECT_TRUE(canEnd);
    ASSERT_EQ(f.rig().messageBoxes.size(), 3u);
    EXPECT_EQ(f.rig().messageBoxes[2].text, "Unable to write to " + f.iniPath + ".");
    std::filesystem::remove(f.iniPath);
}

TEST(MainWindow, DestroyingWithUnsavedHistorySavesIt) {
    TempDir dir;
    {
        TApplication app;
        auto* form =
            app.CreateForm<TTolvekForm>(TMenuVariant::Full, dir.file("h.ini"), std::vector<std::string>{});
        (*form->History)[0] = "notepad ";
    }
    TApplication app;
    EXPECT_EQ(TIniFile(app.OS(), dir.file("h.ini")).ReadString("ALLINFO", "Legacy1", "?"), "notepad");
}

TEST(StartUp, MissingConfigurationIsReportedAndNothingRuns) {
    TempDir dir;
    {
        TApplication app;
        headless::rig().windowsDir = dir.path();
        EXPECT_EQ(RunTolvek(app, {}, TMenuVariant::Full), 0);
        ASSERT_EQ(headless::rig().messageBoxes.size(), 1u);
        EXPECT_EQ(headless::rig().messageBoxes[0].text, "Couldn't find a \"TOLVEK.INI\" file!");
        EXPECT_EQ(headless::rig().messageBoxes[0].caption, "Error");
        EXPECT_EQ(headless::rig().messageBoxes[0].flags, MB_OK);
        EXPECT_EQ(app.MainForm, nullptr);
    }
    {
        // The file where a bare name resolves is the one looked for.
        writeFile(dir.file("TOLVEK.INI"), "[CONFIG]\nCaption=Here\nQuickClose=1\n");
        TApplication app;
        headless::rig().windowsDir = dir.path();
        RunTolvek(app, {}, TMenuVariant::Full);
        ASSERT_NE(app.MainForm, nullptr);
        EXPECT_EQ(static_cast<TTolvekForm*>(app.MainForm)->spdTvk.Caption(), "Here");
        EXPECT_EQ(app.HelpFile, "TOLVEK.HLP");
        EXPECT_TRUE(headless::rig().messageBoxes.empty());
    }
}

TEST(StartUp, ARelativeConfigurationNameIsFixedAtStartUp) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("cfg"));
    writeFile(dir.file("cfg/t.ini"), "[CONFIG]\nQuickClose=1\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    TApplication app;
    RunTolvek(app, {"cfg/t.ini"}, TMenuVariant::Full);
    // Browse in the Run dialog and the directory picker move it on purpose.
    app.OS().SetCurrentDir(dir.file("cfg"));
    app.MainForm->SetBounds(70, 0, 104, 27);
    app.Dispatch([&] { app.MainForm->Close(); });
    std::filesystem::current_path(previous);
    EXPECT_TRUE(headless::rig().messageBoxes.empty());
    EXPECT_EQ(TIniFile(app.OS(), dir.file("cfg/t.ini")).ReadString("CONFIG", "Left", ""), "70");
}

TEST(StartUp, WhereTheWindowsDirectoryRefusesWritesTheUserKeepsACopy) {
    TempDir windows, appData;
    const std::string admin = "; set up by the administrator\r\n[CONFIG]\r\nCaption=Admin\r\nQuickClose=1\r\n";
    writeFile(windows.file("TOLVEK.INI"), admin);
    auto start = [&](TApplication& app) {
        headless::rig().windowsDir = windows.path();
        headless::rig().userDataDir = appData.path();
        headless::rig().dirWriteErrors[windows.path()] = EACCES;
        RunTolvek(app, {}, TMenuVariant::Full);
        return static_cast<TTolvekForm*>(app.MainForm);
    };
    {
        TApplication app;
        TTolvekForm* m = start(app);
        m->SetBounds(70, 0, 104, 27);
        app.Dispatch([&] { m->Close(); });
        EXPECT_TRUE(m->Closed());
        EXPECT_TRUE(headless::rig().messageBoxes.empty());
    }
    EXPECT_EQ(readFile(windows.file("TOLVEK.INI")), admin);
    const std::string own = readFile(appData.file("Tolvek/TOLVEK.INI"));
    EXPECT_EQ(own.substr(0, admin.size()), admin);  // a copy of the whole file, the settings added
    TApplication next;
    EXPECT_EQ(start(next)->Left(), 70);
}
