// The Help window with its sample writer, and the system meter.
#include "functions/help.h"
#include "functions/sys.h"

#include "fixture.h"

namespace {
std::string sampleBytes() { return readFile(std::string(TOLVEK_SOURCE_DIR) + "/scripts/sample.ini"); }
}  // namespace

TEST(SampleWriter, WritesTheSampleOnceIntoTheWindowsDirectory) {
    Fixture f("[CONFIG]\nCaption=Mine\n");
    const std::string active = f.bytes();
    f.rig().modalResponders["TfrmHelp"] = [](TForm& form) {
        auto& help = static_cast<TfrmHelp&>(form);
        EXPECT_EQ(help.VersionNumber.Caption(), "Windows 3.1 Tolvek Button v1.25");
        help.spdSample.Click();
        help.spdSample.Click();
        help.spdDone.Click();
    };
    f.main().Help1->Click();
    EXPECT_EQ(f.rig().modalShown, (std::vector<std::string>{"TfrmHelp"}));
    // Six sections in the order first written, each key where it was written.
    EXPECT_EQ(readFile(f.dir.file("TOLVEK.INI")), sampleBytes());
    ASSERT_EQ(f.rig().messageBoxes.size(), 1u);
    EXPECT_EQ(f.rig().messageBoxes[0].text, "You Already have a \"TOLVEK.INI\" file!  I can't overwrite it!");
    EXPECT_EQ(f.rig().messageBoxes[0].caption, "Error");
    EXPECT_EQ(f.rig().messageBoxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(f.bytes(), active);  // the active configuration is not involved

    // The sample's menu is the one the launcher builds at the next start.
    TApplication next;
    auto* form = next.CreateForm<TTolvekForm>(TMenuVariant::Full, f.dir.file("TOLVEK.INI"), std::vector<std::string>{});
    EXPECT_EQ(form->Popit.Items().Items(5)->Caption, "Accessories");
    EXPECT_EQ(form->spdTvk.Caption(), "&Tolvek");
    form->History.reset();
}

TEST(SampleWriter, AFailedWriteKeepsWhatWasWrittenBefore) {
    TempDir dir;
    TApplication app;
    auto& rig = headless::rig();
    rig.windowsDir = dir.path();
    int writes = 0;
    rig.failReplace = [&](const std::string&) { return ++writes == 5; };
    TfrmHelp help(nullptr);
    app.Dispatch([&] { help.spdSample.Click(); });
    ASSERT_EQ(rig.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.messageBoxes[0].text, "Unable to write to TOLVEK.INI.");
    EXPECT_EQ(readFile(dir.file("TOLVEK.INI")),
              "[ALLINFO]\r\nTotalEntries=6\r\nTotalSubEntries=9\r\nTotalLongEntries=6\r\nLegacy1=\r\n");
    EXPECT_FALSE(help.Closed());

    // A directory of that name is no file: the writer goes on and fails to write.
    std::filesystem::remove(dir.file("TOLVEK.INI"));
    std::filesystem::create_directory(dir.file("TOLVEK.INI"));
    rig.failReplace = nullptr;
    app.Dispatch([&] { help.spdSample.Click(); });
    EXPECT_EQ(rig.messageBoxes.back().text, "Unable to write to TOLVEK.INI.");
}

TEST(StartUp, MissingConfigurationLeadsToTheHelpWindow) {
    TempDir dir;
    TApplication app;
    auto& rig = headless::rig();
    rig.windowsDir = dir.path();
    rig.modalResponders["TfrmHelp"] = [](TForm& form) { static_cast<TfrmHelp&>(form).spdSample.Click(); };
    RunTolvek(app, {}, TMenuVariant::Full);
    EXPECT_EQ(rig.messageBoxes.at(0).caption, "Error");
    EXPECT_EQ(rig.modalShown, (std::vector<std::string>{"TfrmHelp"}));
    EXPECT_EQ(app.MainForm, nullptr);  // the program ends after the window
    EXPECT_EQ(readFile(dir.file("TOLVEK.INI")), sampleBytes());
}

TEST(SystemMeter, OpensFreshAtItsPlaceAndAnyClickCloses) {
    Fixture f("[ALLINFO]\nTotalEntries=1\n[PROGRAMS]\nProgName1=METASYSTEMMETER\n", TMenuVariant::Compact);
    f.rig().freeResources = {87, 93, 41};
    std::vector<std::string> seen;
    int round = 0;
    f.rig().modalResponders["TfrmSystem"] = [&](TForm& form) {
        auto& meter = static_cast<TfrmSystem&>(form);
        EXPECT_EQ(meter.BoundsRect(), (TRect{60, 63, 174, 151}));
        EXPECT_EQ(meter.BorderStyle, TBorderStyle::None);
        seen = {meter.Label1.Caption(), meter.lbUser.Caption(), meter.lbGDI.Caption(), meter.lbTotal.Caption()};
        switch (round++) {
            case 0: meter.KeyDown(13, 0); break;   // Enter: the check button
            case 1: meter.Deactivated(); break;    // another window took activation
            default: meter.lbGDI.Click(); break;  // a click on a label
        }
        EXPECT_EQ(meter.ModalResult(), mrOk);
    };
    f.main().Popit.Items().Items(0)->Click();
    EXPECT_EQ(seen, (std::vector<std::string>{"USER:", "87%", "93%", "41%"}));
    f.rig().freeResources = {};
    f.main().SystemMeter1Click(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"USER:", "User", "gdi", "Total"}));
    f.main().SystemMeter1Click(nullptr);
    EXPECT_EQ(round, 3);
}
