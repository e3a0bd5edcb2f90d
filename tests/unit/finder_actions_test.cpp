// What the Find File window does with its results: launch a row, open it
// with another program, save the list.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/runopt.h"
#include "finder/srch.h"
#include "fixture.h"
#include "platform/filesearch.h"

namespace fs = std::filesystem;

namespace {

// Grid rows are 24 pixels and a line high: row r starts at 25 * r.
constexpr int rowY(int row) {
    return 25 * row + 5;
}

class ActionsTest : public testing::Test {
protected:
    void SetUp() override { writeFile(iniPath, "[ALLINFO]\r\nLegacy1=calc \r\nLegacy3=edit x\r\n"); }
    void files(const std::string& sub, int count) {
        fs::create_directories(dir.file(sub));
        for (int i = 1; i <= count; ++i) {
            char name[24];
            std::snprintf(name, sizeof name, "/f%03d.txt", i);
            writeFile(dir.file(sub) + name, "abc");
        }
    }
    std::unique_ptr<TSearchFrm> window() {
        auto w = std::make_unique<TSearchFrm>(nullptr);
        w->ConfigFileName = iniPath;
        return w;
    }
    void search(TSearchFrm& w, const std::string& filter, const std::string& sub) {
        w.txtSearchFilter.SetText(filter);
        w.txtStartIn.SetText(dir.file(sub));
        w.spFindNow.Click();
    }
    headless::Rig& rig() { return headless::rig(); }

    TempDir dir;
    TApplication app;
    std::string iniPath = dir.file("tolvek.ini");
};

TEST_F(ActionsTest, SavedListBytes) {
    files("list", 149);
    // One full path of exactly 70 characters, read-only and archive.
    const std::string prefix = dir.file("list") + "/";
    const std::string longName = "z" + std::string(70 - prefix.size() - 5, 'y') + ".txt";
    ASSERT_EQ((prefix + longName).size(), 70u);
    writeFile(prefix + longName, std::string(1234, 'x'));
    rig().fileAttributes[prefix + longName] = faReadOnly | faArchive;

    auto w = window();
    const std::string target = dir.file("found.txt");
    std::vector<std::string> titles;
    rig().dialogResponder = [&](TOpenDialog& d) {
        EXPECT_TRUE(d.IsSave());
        EXPECT_EQ(d.Filter, "Text Files|*.TXT|All Files|*.*");
        EXPECT_EQ(d.DefaultExt, "TXT");
        d.FileName = target;
        return true;
    };
    const std::string header = "Index  Name" + std::string(66, ' ') + "Attr    Date        Size\r\n";

    // Before any search: the header line alone.
    w->SaveSearchList1->Click();
    EXPECT_EQ(readFile(target), header);
    EXPECT_EQ(rig().dialogsShown, std::vector<std::string>{"Save File List"});

    search(*w, "*.txt", "list");
    w->spdNextPage.Click();  // the page shown plays no part
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 5, rowY(3));
    w->SaveListtoFile1->Click();
    const std::string bytes = readFile(target);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 151);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    const std::string date = ShortDate(w->Results->GetItem(0).Time);
    const std::string first = "1      " + prefix + "f001.txt" + std::string(70 - prefix.size() - 8, ' ') + "   A    " +
                              date + std::string(12 - date.size(), ' ') + "3\r\n";
    EXPECT_EQ(bytes.substr(header.size(), first.size()), first);
    const std::string last =
        "150    " + prefix + longName + "R  A    " + date + std::string(12 - date.size(), ' ') + "1234\r\n";
    ASSERT_GE(bytes.size(), last.size());
    EXPECT_EQ(bytes.substr(bytes.size() - last.size()), last);
    EXPECT_EQ(rig().cursorShape, TCursor::Default);

    // Cancelling the dialog writes nothing.
    rig().dialogResponder = [](TOpenDialog&) { return false; };
    fs::remove(target);
    w->SaveSearchList1->Click();
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(ActionsTest, AFailedSaveLeavesTheOldFileWhole) {
    files("some", 3);
    auto w = window();
    search(*w, "*.txt", "some");
    const std::string target = dir.file("old.txt");
    writeFile(target, "the list saved last week\r\n");
    rig().dialogResponder = [&](TOpenDialog& d) {
        d.FileName = target;
        return true;
    };
    rig().failReplace = [&](const std::string& path) { return path == target; };
    app.Dispatch([&] { w->SaveSearchList1->Click(); });
    ASSERT_FALSE(rig().messageBoxes.empty());
    EXPECT_EQ(rig().messageBoxes.back().text, "Cannot write the file " + target + ".");
    EXPECT_EQ(rig().messageBoxes.back().flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(readFile(target), "the list saved last week\r\n");
    EXPECT_EQ(rig().cursorShape, TCursor::Default);
}

TEST_F(ActionsTest, DoubleClickLaunchesTheRowUnderTheMouse) {
    files("run", 76);
    const std::string longName = dir.file("run") + "/a name of more than twelve.txt";
    writeFile(longName, "");
    auto w = window();
    search(*w, "*.txt", "run");
    ASSERT_EQ(w->lbSearchFound.Caption(), "77 Found");

    // Row 1 of page 1 is the long name, launched whole in its directory.
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 100, rowY(1));
    w->SearchRes.DblClick();
    ASSERT_EQ(rig().shellCalls.size(), 1u);
    EXPECT_EQ(rig().shellCalls[0], (headless::ShellCall{longName, "", dir.file("run") + "/", SW_SHOWNORMAL}));
    EXPECT_EQ(w->tvGo.ProgramName, "");
    EXPECT_EQ(w->tvGo.StartDir, "C:\\");

    // Page 2 holds rows 76 and 77; its second row is f076.txt.
    w->spdNextPage.Click();
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 10, rowY(2));
    w->SearchRes.DblClick();
    EXPECT_EQ(rig().shellCalls.back().file, dir.file("run") + "/f076.txt");

    // The title row and below the last row start nothing.
    for (int y : {rowY(0), rowY(3), rowY(30)}) {
        w->SearchRes.MouseDown(TMouseButton::Left, 0, 10, y);
        w->SearchRes.DblClick();
    }
    EXPECT_EQ(rig().shellCalls.size(), 2u);

    // A start the shell refuses shows the launcher's message.
    rig().shellResponder = [](const headless::ShellCall&) { return headless::ShellReply{false, 2, 0}; };
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 10, rowY(1));
    app.Dispatch([&] { w->SearchRes.DblClick(); });
    EXPECT_EQ(rig().messageBoxes.back().text, "File was not found.");

    // After a search that found nothing no row holds a result.
    rig().shellResponder = nullptr;
    search(*w, "*.none", "run");
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 10, rowY(1));
    w->SearchRes.DblClick();
    EXPECT_EQ(rig().shellCalls.size(), 3u);
}

TEST_F(ActionsTest, OpenWithQuotesAPathWithBlanks) {
    fs::create_directories(dir.file("open"));
    writeFile(dir.file("open/my notes.txt"), "");
    writeFile(dir.file("open/plain.txt"), "");
    auto w = window();
    search(*w, "*.txt", "open");

    std::vector<std::string> listed;
    std::string typed = "notepad";
    rig().modalResponders["TRunDlg"] = [&](TForm& form) {
        auto& dlg = static_cast<TRunDlg&>(form);
        EXPECT_EQ(dlg.Caption(), "Run ...");
        listed = dlg.cbFileName.Items();
        dlg.cbFileName.TextChangedByUser(typed);
        dlg.btRun.Click();
    };
    rig().popupResponder = [&](TPopupMenu& m) { return m.Items().Items(0); };
    rig().cursor = {300, 200};

    // The right button opens the popup at the pointer on the press.
    w->SearchRes.MouseDown(TMouseButton::Right, 0, 50, rowY(1));
    EXPECT_EQ(rig().popups, std::vector<TPoint>{(TPoint{300, 200})});
    EXPECT_EQ(listed, (std::vector<std::string>{"Notepad.exe", "Write.exe", "calc", "edit x"}));
    ASSERT_EQ(rig().winExecCalls.size(), 1u);
    EXPECT_EQ(rig().winExecCalls[0].commandLine, "notepad \"" + dir.file("open/my notes.txt") + "\"");
    EXPECT_EQ(rig().winExecCalls[0].show, SW_SHOWNORMAL);

    typed = "write";
    w->SearchRes.MouseDown(TMouseButton::Right, 0, 50, rowY(2));
    EXPECT_EQ(rig().winExecCalls.back().commandLine, "write " + dir.file("open/plain.txt"));

    // The left button moves the position but opens nothing.
    w->SearchRes.MouseDown(TMouseButton::Left, 0, 50, rowY(1));
    EXPECT_EQ(rig().popups.size(), 2u);
    EXPECT_EQ(w->LastMousePos, (TPoint{50, rowY(1)}));

    // Cancelled, or on the title row: nothing is started, and the history
    // is never written.
    rig().modalResponders["TRunDlg"] = [](TForm& form) { static_cast<TRunDlg&>(form).btCancel.Click(); };
    w->OpenWith1->Click();
    w->SearchRes.MouseDown(TMouseButton::Right, 0, 50, rowY(0));
    EXPECT_EQ(rig().winExecCalls.size(), 2u);
    EXPECT_EQ(rig().modalShown.size(), 3u);  // the title row asked nothing
    EXPECT_EQ(readFile(iniPath), "[ALLINFO]\r\nLegacy1=calc \r\nLegacy3=edit x\r\n");
}

}  // namespace
