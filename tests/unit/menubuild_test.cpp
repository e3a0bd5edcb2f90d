// Building the popup menu from the configuration file.
#include <chrono>

#include "fixture.h"

namespace {
using Names = std::vector<std::string>;

std::string sampleIni() { return readFile(std::string(TOLVEK_SOURCE_DIR) + "/scripts/sample.ini"); }

TMenuItem* child(TMenuItem& item, const std::string& caption) {
    for (int i = 0; i < item.Count(); ++i)
        if (item.Items(i)->Caption == caption) return item.Items(i);
    return nullptr;
}
}  // namespace

TEST(MenuBuild, SampleConfigurationGivesItsTreeAboveTheFixedItems) {
    Fixture f(sampleIni());
    TMenuItem& root = f.main().Popit.Items();
    EXPECT_EQ(Fixture::captions(root), (Names{"Notepad", "Write", "Dos Prompt", "File Manager", "System Programs",
                                              "Accessories", "-", "Run", "Functions", "-", "&Tolvek", "S&hutdown"}));
    EXPECT_EQ(root.Items(6), f.main().N3);
    EXPECT_EQ(ShortCutToText(root.Items(0)->ShortCut), "Ctrl+N");
    EXPECT_EQ(ShortCutToText(root.Items(1)->ShortCut), "Ctrl+W");
    EXPECT_EQ(root.Items(3)->Hint, "WINFILE.EXE $C:\\");

    TMenuItem* system = root.Items(4);
    EXPECT_EQ(ShortCutToText(system->ShortCut), "5");
    EXPECT_EQ(Fixture::captions(*system), (Names{"Control Panels", "Print Manager", "System Editor",
                                                 "Registration Editor", "Advanced RegEdit"}));
    TMenuItem* acc = root.Items(5);
    EXPECT_EQ(ShortCutToText(acc->ShortCut), "9");
    EXPECT_EQ(Fixture::captions(*acc), (Names{"Paint Brush", "Calculator", "Clock", "Unknown Options"}));
    TMenuItem* unknown = child(*acc, "Unknown Options");
    EXPECT_EQ(ShortCutToText(unknown->ShortCut), "2");
    EXPECT_EQ(Fixture::captions(*unknown), (Names{"Control Panel Options", "Task Manager"}));
    TMenuItem* cpo = child(*unknown, "Control Panel Options");
    EXPECT_EQ(ShortCutToText(cpo->ShortCut), "6");
    EXPECT_EQ(Fixture::captions(*cpo), (Names{"Mouse", "Desktop", "Printers", "Fonts"}));
    EXPECT_EQ(child(*cpo, "Mouse")->Hint, "CONTROL.EXE Mouse");
}

TEST(MenuBuild, CompactBuildPutsEntriesAboveTheTolvekSubmenuOnly) {
    Fixture f(sampleIni(), TMenuVariant::Compact);
    TMenuItem& root = f.main().Popit.Items();
    EXPECT_EQ(Fixture::captions(root), (Names{"Notepad", "Write", "Dos Prompt", "File Manager", "System Programs",
                                              "Accessories", "&Tolvek"}));
    EXPECT_EQ(Fixture::captions(*f.main().Help), (Names{"Help", "-", "Always Popup", "Move Button", "Stay On Top"}));
    EXPECT_EQ(f.main().Run1, nullptr);
}

TEST(MenuBuild, EntryCountAndDefaults) {
    {
        Fixture f("[ALLINFO]\nTotalEntries=3\n");
        EXPECT_EQ(Fixture::captions(f.main().Popit.Items()).at(0), "Error1");
        EXPECT_EQ(f.main().Popit.Items().Items(2)->Caption, "Error3");
        EXPECT_EQ(f.main().Popit.Items().Items(3), f.main().N3);
        EXPECT_EQ(f.main().Popit.Items().Items(0)->Hint, " ");  // program, space, parameters: all empty
    }
    {
        Fixture f("[ALLINFO]\nTotalEntries=65537\n[PROGRAMS]\nName1=Only\n");  // only the low 16 bits count
        EXPECT_EQ(f.main().Popit.Items().Items(0)->Caption, "Only");
        EXPECT_EQ(f.main().Popit.Items().Items(1), f.main().N3);
    }
    for (const char* text : {"", "TotalEntries=0\n", "TotalEntries=abc\n", "TotalEntries=-0\n"}) {
        Fixture f(std::string("[ALLINFO]\n") + text);
        EXPECT_EQ(f.main().Popit.Items().Items(0), f.main().N3) << text;
    }
    {
        Fixture f(
            "[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=G\nProgName1=SuperMenu\nParam1=1\nShortCut1=2\n");
        EXPECT_EQ(Fixture::captions(*f.main().Popit.Items().Items(0)), (Names{"SubMenu Error1", "SubMenu Error2"}));
    }
}

TEST(MenuBuild, ShortcutTextConversion) {
    EXPECT_EQ(ShortCutToText(TextToShortCut("ctrl+shift+x")), "Shift+Ctrl+X");
    EXPECT_EQ(TextToShortCut("ctrl+shift+x"), 'X' | scCtrl | scShift);
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(ShortCutToText(TextToShortCut("^Q")), "Ctrl+Q");
    EXPECT_EQ(ShortCutToText(TextToShortCut("alt+f4")), "Alt+F4");
    EXPECT_EQ(ShortCutToText(TextToShortCut("Shift+F24")), "Shift+F24");
    EXPECT_EQ(TextToShortCut("5"), '5');  // the main keyboard's digit, not the keypad's
    EXPECT_EQ(TextToShortCut("12"), 0);
    EXPECT_EQ(TextToShortCut("F25"), 0);
    EXPECT_EQ(TextToShortCut("pgdn"), 34);
    EXPECT_EQ(TextToShortCut("Ctrl+Ctrl+Del"), 46 | scCtrl);
    EXPECT_EQ(TextToShortCut(" Ctrl+N"), 0);
    EXPECT_EQ(ShortCutToText(0), "");

    // Other keys take the layout's name of one character: a US layout's
    // without an application, else the active one's.
    EXPECT_EQ(ShortCutToText(0xBA | scCtrl), "Ctrl+;");
    TApplication app;
    headless::rig().keyboardLayout = {{{0xBA, "Ü"}, {0xBF, "#"}, {0xDD, "AKZENT"}}};
    EXPECT_EQ(TextToShortCut("Ctrl+ü"), 0xBA | scCtrl);
    EXPECT_EQ(ShortCutToText(TextToShortCut("Ctrl+#")), "Ctrl+#");
    EXPECT_EQ(TextToShortCut("Ctrl+;"), 0);
    EXPECT_EQ(KeyName(0xDD), "");
}

TEST(MenuBuild, ItemsStoreCommandTextAndSeparators) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=3\n[PROGRAMS]\n"
        "Name1=-\nProgName1=SuperMenu\nParam1=x\nShortCut1=Ctrl+N\n"
        "Name2=Ed\nProgName2=C:\\ED.EXE\nParam2=a.txt $D:\\WORK\nShortCut2=ctrl+shift+x\n"
        "Name3=Lower\nProgName3=supermenu\nParam3=1\nShortCut3=2\n");
    TMenuItem& root = f.main().Popit.Items();
    // A separator caption wins, but a group marker still reads its range: "x" is no number.
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(root.Items(0)->Caption, "Ed");
    EXPECT_EQ(root.Items(0)->Hint, "C:\\ED.EXE a.txt $D:\\WORK");
    EXPECT_EQ(root.Items(0)->ShortCut, 'X' | scShift | scCtrl);
    EXPECT_TRUE(root.Items(0)->OnClick != nullptr);
    EXPECT_EQ(root.Items(1)->Caption, "Lower");  // the marker is case-sensitive: an ordinary program
    EXPECT_EQ(root.Items(1)->Count(), 0);
    EXPECT_TRUE(root.Items(1)->OnClick != nullptr);

    // A separator neither acts nor hides a real item's shortcut.
    Fixture lines(
        "[ALLINFO]\nTotalEntries=2\n[PROGRAMS]\nName1=-\nProgName1=NoVal.exe\nShortCut1=Ctrl+N\n"
        "Name2=New\nProgName2=NEW.EXE\nShortCut2=Ctrl+N\n");
    TMenuItem* line = lines.main().Popit.Items().Items(0);
    EXPECT_EQ(line->OnClick, nullptr);
    line->ShortCut = 'N' | scCtrl;  // even one given a shortcut in code
    EXPECT_TRUE(lines.main().KeyDown('N', ssCtrl));
    EXPECT_EQ(lines.rig().shellCalls, (std::vector<headless::ShellCall>{{"NEW.EXE", "", "C:\\", 1}}));
}

TEST(MenuBuild, BadRangeStopsBuildingAndReportsTheText) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=4\n[PROGRAMS]\nName1=One\nName2=Two\n"
        "Name3=Bad\nProgName3=SuperMenu\nParam3=1\nShortCut3=two\nName4=Four\n"
        "[CONFIG]\nLeft=5000\nTop=-3\n");
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    const auto& box = f.rig().messageBoxes[0];
    EXPECT_EQ(box.text, "'two' is not a valid integer value.");
    EXPECT_EQ(box.caption, "BEGIN v1.25");
    EXPECT_EQ(box.flags, MB_OK | MB_ICONSTOP);
    // Entries above the bad one were never built; the ones below stay.
    EXPECT_EQ(Fixture::captions(f.main().Popit.Items()).at(0), "Four");
    EXPECT_EQ(f.main().Popit.Items().Items(1), f.main().N3);
    // The position is still corrected, and the window goes on.
    EXPECT_EQ(f.main().Left(), 1024 - 105);
    EXPECT_EQ(f.main().Top(), -3);
}

TEST(MenuBuild, RangesEmptyReversedAndNested) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=2\n[PROGRAMS]\n"
        "Name1=Rev\nProgName1=SuperMenu\nParam1=4\nShortCut1=2\n"
        "Name2=Sub\nProgName2=SuperMenu\nParam2=$1\nShortCut2=0x2\n"
        "[SUBPROGRAMS]\nName1=S1\nProgName1=LongMenu\nParam1=1\nShortCut1=3\nName2=S2\nProgName2=SuperMenu\n"
        "[LONGPROGRAMS]\nName1=L1\nName2=L2\nName3=L3\n");
    TMenuItem& root = f.main().Popit.Items();
    EXPECT_EQ(root.Items(0)->Count(), 0);
    EXPECT_EQ(root.Items(0)->OnClick, nullptr);  // a group does nothing when chosen
    EXPECT_EQ(Fixture::captions(*root.Items(1)), (Names{"S1", "S2"}));
    // "SuperMenu" means nothing in SUBPROGRAMS: S2 is a program entry.
    EXPECT_TRUE(root.Items(1)->Items(1)->OnClick != nullptr);
    // LONGPROGRAMS children come last-numbered first.
    EXPECT_EQ(Fixture::captions(*root.Items(1)->Items(0)), (Names{"L3", "L2", "L1"}));
    EXPECT_TRUE(f.rig().messageBoxes.empty());
}

TEST(MenuBuild, CyclesAndDeepChainsEnd) {
    // L1 holds L1 and L2; L2 holds L1 again: each repeat is a plain item.
    Fixture f(
        "[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=P\nProgName1=SuperMenu\nParam1=1\nShortCut1=1\n"
        "[SUBPROGRAMS]\nName1=S\nProgName1=LongMenu\nParam1=1\nShortCut1=1\n"
        "[LONGPROGRAMS]\nName1=L1\nProgName1=LongMenu\nParam1=1\nShortCut1=2\n"
        "Name2=L2\nProgName2=LongMenu\nParam2=1\nShortCut2=1\n");
    TMenuItem* l1 = f.main().Popit.Items().Items(0)->Items(0)->Items(0);
    EXPECT_EQ(l1->Caption, "L1");
    EXPECT_EQ(Fixture::captions(*l1), (Names{"L2", "L1"}));
    EXPECT_EQ(l1->Items(1)->Count(), 0);
    EXPECT_EQ(Fixture::captions(*l1->Items(0)), (Names{"L1"}));
    EXPECT_EQ(l1->Items(0)->Items(0)->Count(), 0);

    // A chain of 1000 long entries, each holding the next, stops at 64 levels.
    std::string ini =
        "[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nName1=P\nProgName1=SuperMenu\nParam1=1\nShortCut1=1\n"
        "[SUBPROGRAMS]\nName1=S\nProgName1=LongMenu\nParam1=1\nShortCut1=1\n[LONGPROGRAMS]\n";
    for (int i = 1; i <= 1000; ++i)
        ini += "ProgName" + std::to_string(i) + "=LongMenu\nParam" + std::to_string(i) + "=" + std::to_string(i + 1) +
               "\nShortCut" + std::to_string(i) + "=" + std::to_string(i + 1) + "\n";
    Fixture deep(ini);
    int depth = 0;
    for (TMenuItem* item = deep.main().Popit.Items().Items(0)->Items(0)->Items(0); item->Count() > 0;
         item = item->Items(0))
        ++depth;
    EXPECT_EQ(depth, 64);
}

TEST(MenuBuild, MetaCommandsByPositionAndExactText) {
    Fixture f(
        "[ALLINFO]\nTotalEntries=5\n[PROGRAMS]\n"
        "Name1=A\nProgName1=xMETARUN\nName2=B\nProgName2=xyzwMETARUN\n"
        "Name3=C\nProgName3=metaclose\nParam3=x\nName4=D\nProgName4=metaclose\nShortCut4=Ctrl+Q\n"
        "Name5=E\nProgName5=ÄöüMETARUN\n[CONFIG]\nQuickClose=0\n");
    TMenuItem& root = f.main().Popit.Items();
    root.Items(0)->Click();
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "I don't understand \"xMETARUN \"");
    EXPECT_EQ(f.rig().messageBoxes[0].caption, "Error");
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_OK);
    root.Items(1)->Click();  // "META" at position 5: an ordinary program entry
    EXPECT_EQ(f.rig().messageBoxes.size(), 1u);
    root.Items(2)->Click();
    EXPECT_EQ(f.rig().messageBoxes.back().text, "I don't understand \"metaclose x\"");
    root.Items(4)->Click();  // "META" at the fourth character, the seventh byte
    EXPECT_EQ(f.rig().messageBoxes.back().text, "I don't understand \"ÄöüMETARUN \"");
    // The exact command reaches the close path, also through its shortcut.
    EXPECT_TRUE(f.main().KeyDown('Q', ssCtrl));
    EXPECT_EQ(f.rig().messageBoxes.back().caption, "Exit");
    EXPECT_FALSE(f.main().Closed());
}

TEST(MenuBuild, LargeMenuBuildsInOnePass) {
    std::string ini = "[ALLINFO]\nTotalEntries=65535\n[PROGRAMS]\n";
    for (int i = 1; i <= 65535; ++i) {
        std::string n = std::to_string(i);
        ini += "Name" + n + "=Entry " + n + "\nProgName" + n + "=P" + n + ".EXE\nParam" + n + "=\nShortCut" + n + "=\n";
    }
    auto start = std::chrono::steady_clock::now();
    Fixture f(ini);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(f.main().Popit.Items().Count(), 65535 + 6);
    EXPECT_EQ(f.main().Popit.Items().Items(65534)->Caption, "Entry 65535");
    // One read for the history, one for the settings and the whole menu.
    EXPECT_EQ(f.rig().fileReads, 2);
    EXPECT_LT(ms, 60000);  // only a blow-up fails this; the benchmark measures
}
