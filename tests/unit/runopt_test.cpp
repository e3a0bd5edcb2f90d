// The Run dialog and the ten-slot history.
#include "core/runopt.h"

#include "fixture.h"

namespace {
// Answers the next Run dialog by typing `text` and pressing a key.
void typeAndPress(headless::Rig& rig, const std::string& text, Word key = 13) {
    rig.modalResponders["TRunDlg"] = [text, key](TForm& form) {
        auto& dlg = static_cast<TRunDlg&>(form);
        dlg.cbFileName.TextChangedByUser(text);
        dlg.KeyDown(key, 0);
    };
}
}  // namespace

TEST(RunDialog, LayoutAndKeys) {
    TempDir dir;
    TApplication app;
    TRunDlg dlg(nullptr);
    EXPECT_EQ(dlg.ClassName(), "TRunDlg");
    EXPECT_EQ(dlg.Caption(), "Run ...");
    EXPECT_EQ(dlg.Width(), 270);
    EXPECT_EQ(dlg.Height(), 81);
    EXPECT_EQ(dlg.btRun.BoundsRect(), (TRect{60, 52, 125, 77}));
    EXPECT_EQ(dlg.OpenDialog1.Filter, "Executable & Help Files|*.EXE;*.BAT;*.COM;*.PIF;*.HLP|All Files|*.*");

    EXPECT_FALSE(dlg.KeyDown(13, 0));  // Enter with an empty text is left to the controls
    EXPECT_EQ(dlg.ModalResult(), mrNone);
    EXPECT_TRUE(dlg.KeyDown('N', ssAlt));
    EXPECT_EQ(dlg.ActiveControl(), &dlg.cbFileName);  // the dialog is not shown, so it is not focused yet
    // Tab follows the tab order round; Enter presses the focused button.
    std::vector<TControl*> order;
    for (int i = 0; i < 4 && dlg.KeyDown(9, 0); ++i) order.push_back(dlg.ActiveControl());
    EXPECT_EQ(order, (std::vector<TControl*>{&dlg.btRun, &dlg.btCancel, &dlg.btBrowse, &dlg.cbFileName}));
    EXPECT_TRUE(dlg.KeyDown(9, ssShift));
    headless::rig().dialogResponder = [](TOpenDialog& d) {
        d.FileName = "C:\\TOOLS\\Ünï.EXE";
        return true;
    };
    EXPECT_TRUE(dlg.KeyDown(13, 0));
    EXPECT_TRUE(dlg.KeyDown('B', ssAlt));
    EXPECT_EQ(headless::rig().dialogsShown, (std::vector<std::string>{"Select File to Run", "Select File to Run"}));
    EXPECT_EQ(dlg.cbFileName.Text(), "C:\\TOOLS\\Ünï.EXE");
    EXPECT_TRUE(dlg.KeyDown(13, 0));
    EXPECT_EQ(dlg.ModalResult(), mrOk);
    dlg.SetModalResult(mrNone);
    EXPECT_TRUE(dlg.KeyDown(27, 0));
    EXPECT_EQ(dlg.ModalResult(), mrCancel);
}

TEST(RunDialog, HistoryFillsFromTheTopThenRollsOver) {
    Fixture f("");
    TTolvekForm& m = f.main();
    for (const char* cmd : {"notepad", "calc x", "NOTEPAD", "write"}) {
        typeAndPress(f.rig(), cmd);
        m.Run1->Click();
    }
    EXPECT_EQ(f.rig().winExecCalls.size(), 4u);
    std::vector<std::string> expect{"notepad ", "calc x", "write ", "", "", "", "", "", "", ""};
    EXPECT_EQ(*m.History, expect);

    // The list shows the used slots in order; choosing one adds nothing.
    std::vector<std::string> listed;
    f.rig().modalResponders["TRunDlg"] = [&](TForm& form) {
        auto& dlg = static_cast<TRunDlg&>(form);
        listed = dlg.cbFileName.Items();
        dlg.cbFileName.TextChangedByUser(listed[0]);
        dlg.btRun.Click();
    };
    m.Run1->Click();
    EXPECT_EQ(listed, (std::vector<std::string>{"notepad ", "calc x", "write "}));
    EXPECT_EQ(*m.History, expect);

    for (int i = 4; i <= 11; ++i) {
        typeAndPress(f.rig(), "cmd" + std::to_string(i));
        m.Run1->Click();
    }
    EXPECT_EQ(m.History->front(), "cmd11 ");
    EXPECT_EQ((*m.History)[1], "notepad ");
    EXPECT_EQ(m.History->back(), "cmd9 ");  // cmd10 was the tenth and is gone

    // Cancel and Esc run nothing.
    std::size_t runs = f.rig().winExecCalls.size();
    typeAndPress(f.rig(), "never", 27);
    m.Run1->Click();
    EXPECT_EQ(f.rig().winExecCalls.size(), runs);
}

TEST(RunDialog, WhatIsRecordedAndSaved) {
    Fixture f("[CONFIG]\nQuickClose=1\n");
    TTolvekForm& m = f.main();
    // The Run button with an empty text starts a single blank and records it.
    f.rig().winExecResult = 2;
    f.rig().modalResponders["TRunDlg"] = [](TForm& form) { static_cast<TRunDlg&>(form).btRun.Click(); };
    m.Run1->Click();
    EXPECT_EQ(f.rig().winExecCalls.back().commandLine, " ");
    EXPECT_EQ(f.rig().messageBoxes.back().text, "File was not found.");
    // A path that does not exist is started by its name alone, failure and all.
    typeAndPress(f.rig(), "C:\\NOSUCH\\APP.EXE");
    m.Run1->Click();
    EXPECT_EQ(f.rig().winExecCalls.back().commandLine, "APP.EXE ");
    // A file that does not exist, the launcher way: nothing recorded.
    typeAndPress(f.rig(), "readme.txt");
    f.app.Dispatch([&] { m.Run1->Click(); });
    EXPECT_EQ(f.rig().messageBoxes.back().text, "Invalid Filename.");
    EXPECT_EQ((std::vector<std::string>(m.History->begin(), m.History->begin() + 3)),
              (std::vector<std::string>{" ", "APP.EXE ", ""}));

    // A shutdown command saves and lets go of the history; Run takes it up
    // again from the file, where the single blank reads back as a free slot.
    m.SaveHistory();
    m.History.reset();
    f.rig().winExecResult = 33;
    typeAndPress(f.rig(), "calc");
    m.Run1->Click();
    EXPECT_EQ((std::vector<std::string>(m.History->begin(), m.History->begin() + 3)),
              (std::vector<std::string>{"calc ", "APP.EXE", ""}));
    m.Close();
    EXPECT_EQ(f.ini("ALLINFO", "Legacy1"), "calc");
    EXPECT_EQ(f.ini("ALLINFO", "Legacy2"), "APP.EXE");
    EXPECT_NE(f.bytes().find("Legacy4=\r\n"), std::string::npos);
    EXPECT_NE(f.bytes().find("Legacy10=\r\n"), std::string::npos);
}
