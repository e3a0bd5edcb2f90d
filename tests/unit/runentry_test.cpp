// Running menu entries through the launcher, typed commands, and the
// launcher's watch of the started process.
#include "fixture.h"

namespace {
using headless::ShellCall;
using headless::WinExecCall;

std::string entries(const std::vector<std::pair<std::string, std::string>>& progParam) {
    std::string ini = "[ALLINFO]\nTotalEntries=" + std::to_string(progParam.size()) + "\n[PROGRAMS]\n";
    for (std::size_t i = 0; i < progParam.size(); ++i) {
        std::string n = std::to_string(i + 1);
        ini += "Name" + n + "=E" + n + "\nProgName" + n + "=" + progParam[i].first + "\nParam" + n + "=" +
               progParam[i].second + "\n";
    }
    return ini;
}

headless::ShellReply refuse(int code) {
    return {false, code, 0};
}
}  // namespace

TEST(RunEntry, SplitsCommandTextIntoProgramParametersAndDirectory) {
    Fixture f(entries({{"NOTEPAD.EXE", ""},
                       {"WINFILE.EXE", "$C:\\"},
                       {"ED.EXE", "a.txt $D:\\WORK"},
                       {"C:\\Program Files\\X.EXE", "-q"},
                       {"Ünïcødé Ψ.exe", "$$ $x"}}));
    TMenuItem& root = f.main().Popit.Items();
    for (int i = 0; i < 5; ++i) root.Items(i)->Click();
    EXPECT_EQ(f.rig().shellCalls, (std::vector<ShellCall>{{"NOTEPAD.EXE", "", "C:\\", SW_SHOWNORMAL},
                                                          {"WINFILE.EXE", "", "C:\\", 1},
                                                          {"ED.EXE", "a.txt ", "D:\\WORK", 1},
                                                          {"C:\\Program", "Files\\X.EXE -q", "C:\\", 1},
                                                          {"Ünïcødé", "Ψ.exe ", "$ $x", 1}}));
    EXPECT_EQ(f.main().tvGo.ProgramName, "");
    EXPECT_EQ(f.main().tvGo.StartDir, "C:\\");
}

TEST(RunEntry, FailedStartIsReportedAndTheLauncherReset) {
    Fixture f(entries({{"MISSING.EXE", "x $D:\\WORK"}, {"NEXT.EXE", ""}, {"DOC.XYZ", ""}}));
    f.rig().shellResponder = [](const ShellCall& c) -> headless::ShellReply {
        if (c.file == "MISSING.EXE") return refuse(2);
        if (c.file == "DOC.XYZ") return refuse(31);
        return {true, 33, 7};
    };
    f.rig().popupResponder = [](TPopupMenu& m) { return m.Items().Items(0); };
    f.main().spdTvkClick(nullptr);  // as a user would: through the default error report
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "File was not found.");
    EXPECT_EQ(f.rig().messageBoxes[0].caption, f.app.Title());
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_OK | MB_ICONSTOP);
    EXPECT_FALSE(f.main().tvGo.Watching());

    f.main().Popit.Items().Items(1)->Click();
    EXPECT_EQ(f.rig().shellCalls.back(), (ShellCall{"NEXT.EXE", "", "C:\\", 1}));

    try {
        f.main().Popit.Items().Items(2)->Click();
        FAIL() << "no error";
    } catch (const ELaunchError& e) {
        EXPECT_EQ(e.ErrorCode, 31);
        EXPECT_EQ(e.Message(), "No association for specified file type");
    }
    EXPECT_EQ(CreateLaunchError(7).Message(), "");
    EXPECT_EQ(CreateLaunchError(0).Message(), "Out of memory or executable file is corrupt");
}

TEST(RunEntry, MetaEntriesAndTheStartupGroup) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=5\n[PROGRAMS]\n"
        "Name1=Startup\nProgName1=SuperMenu\nParam1=1\nShortCut1=3\n"
        "Name2=Startup\nProgName2=SuperMenu\nParam2=4\nShortCut2=4\n"
        "Name3=&Startup\nProgName3=SuperMenu\nParam3=4\nShortCut3=4\n"
        "Name4=R\nProgName4=metarun\nName5=RX\nProgName5=metarun\nParam5=x\n"
        "[SUBPROGRAMS]\nProgName1=FIRST.EXE\nParam1=-a\nProgName2=METARUN\nProgName3=THIRD.EXE\n"
        "ProgName4=NEVER.EXE\n");
    f.rig().shellResponder = [](const ShellCall& c) -> headless::ShellReply {
        return c.file == "METARUN" ? refuse(2) : headless::ShellReply{true, 33, 9};
    };
    f.app.Run();  // shows the window: the first "Startup" group runs until a start fails
    EXPECT_EQ(f.rig().shellCalls, (std::vector<ShellCall>{{"FIRST.EXE", "-a", "C:\\", 1}, {"METARUN", "", "C:\\", 1}}));
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "File was not found.");
    EXPECT_EQ(f.rig().formsShown, (std::vector<std::string>{"TTolvekForm"}));  // shown all the same

    f.main().Popit.Items().Items(3)->Click();
    EXPECT_EQ(f.rig().modalShown, (std::vector<std::string>{"TRunDlg"}));
    f.main().Popit.Items().Items(4)->Click();
    EXPECT_EQ(f.rig().messageBoxes.back().text, "I don't understand \"metarun x\"");
}

TEST(Launcher, WatchesTheStartedProcessUntilItEnds) {
    TApplication app;
    auto& rig = headless::rig();
    TTvLauncher launcher(nullptr);
    int finished = 0;
    launcher.OnFinished = [&](TObject* s) {
        EXPECT_EQ(s, &launcher);
        ++finished;
    };
    launcher.ProgramName = std::string(300, 'p');  // passed whole, never cut at 255
    launcher.ShowMode = TShowMode::smMinimized;
    launcher.Launch();
    EXPECT_EQ(rig.shellCalls.back().file.size(), 300u);
    EXPECT_EQ(rig.shellCalls.back().show, SW_SHOWMINIMIZED);
    EXPECT_EQ(rig.shellCalls.back().directory, "");
    EXPECT_EQ(launcher.InstanceResult(), 33);
    const std::uintptr_t handle = rig.shellCalls.size() + 99;
    headless::advance(2500);
    EXPECT_EQ(finished, 0);
    rig.processes[handle] = 0;  // the program ends between two ticks
    headless::advance(499);
    EXPECT_EQ(finished, 0);  // not before the next tick
    headless::advance(1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(launcher.InstanceResult(), 0);
    headless::advance(5000);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(headless::openProcessHandles(), 0u);

    // A refused start changes nothing but the instance result, and never reports an end;
    // a process handle it came with is let go.
    rig.shellResponder = [](const ShellCall&) { return headless::ShellReply{false, 3, 55}; };
    EXPECT_THROW(launcher.Launch(), ELaunchError);
    EXPECT_EQ(headless::openProcessHandles(), 0u);
    headless::advance(3000);
    EXPECT_EQ(finished, 1);
    rig.shellResponder = nullptr;

    // Each new start lets go of the handle it replaces.
    for (int i = 0; i < 100; ++i) launcher.Launch();
    EXPECT_EQ(headless::openProcessHandles(), 1u);
    EXPECT_TRUE(launcher.Watching());
}

TEST(TypedCommand, WinExecWayAndLauncherWay) {
    Fixture f("");
    TTolvekForm& m = f.main();
    const std::string cwd = f.app.OS().GetCurrentDir();

    m.RunTypedCommand("NOTEPAD.EXE", "a.txt");
    m.RunTypedCommand("calc", "");
    EXPECT_EQ(f.rig().winExecCalls, (std::vector<WinExecCall>{{"NOTEPAD.EXE a.txt", SW_SHOWNORMAL, cwd},
                                                               {"CALC ", SW_SHOWNORMAL, cwd}}));
    // notepad.exe in lower case goes the launcher way and must exist.
    EXPECT_THROW(m.RunTypedCommand("notepad.exe", ""), ETolvekError);
    try {
        m.RunTypedCommand("notepad.exe", "");
    } catch (const ETolvekError& e) {
        EXPECT_EQ(e.Message(), "Invalid Filename");
    }
    EXPECT_TRUE(f.rig().shellCalls.empty());

    // A directory part becomes the current directory for the start, then is restored.
    std::filesystem::create_directory(f.dir.file("tools"));
    m.RunTypedCommand(f.dir.file("tools") + "/App.EXE", "-x");
    EXPECT_EQ(f.rig().winExecCalls.back().currentDir, f.dir.file("tools"));
    EXPECT_EQ(f.rig().winExecCalls.back().commandLine, UpperCase(f.dir.file("tools") + "/App.EXE") + " -x");
    EXPECT_EQ(f.app.OS().GetCurrentDir(), cwd);
    EXPECT_THROW(m.RunTypedCommand(f.dir.file("nosuch") + "/APP.EXE", ""), EInOutError);
    EXPECT_EQ(f.rig().winExecCalls.size(), 3u);

    // A document opens through the launcher in its own directory.
    writeFile(f.dir.file("readme.txt"), "hi");
    m.RunTypedCommand(f.dir.file("readme.txt"), "");
    EXPECT_EQ(f.rig().shellCalls.back(), (ShellCall{f.dir.file("readme.txt"), "", f.dir.path() + "/", 1}));
    EXPECT_EQ(m.tvGo.StartDir, "C:\\");

    // WinExec failures show their message; codes without one show nothing.
    f.rig().winExecResult = 2;
    m.RunTypedCommand("X.EXE", "");
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "File was not found.");
    EXPECT_EQ(f.rig().messageBoxes[0].caption, "Error");
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
    for (unsigned code : {1u, 7u, 18u, 22u, 31u}) {
        f.rig().winExecResult = code;
        m.RunTypedCommand("X.EXE", "");
    }
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);
}
