// The starting-directory picker and the directory controls beneath it.
#include <filesystem>

#include "finder/getdir.h"
#include "finder/srch.h"
#include "fixture.h"
#include "platform/filesearch.h"

namespace fs = std::filesystem;

namespace {

class PickerTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"base/alpha/deep", "base/Beta", "base/hidden", "drive-d/work"})
            fs::create_directories(dir.file(d));
        writeFile(dir.file("base/file.txt"), "");
        headless::rig().fileAttributes[dir.file("base/hidden")] = faHidden;
        fs::current_path(dir.file("base"));
    }
    void TearDown() override { fs::current_path(before); }

    // Answers the next picker with `act`, then presses the button named.
    void answer(std::function<void(TfrmDir&)> act, bool okay) {
        headless::rig().modalResponders["TfrmDir"] = [act, okay](TForm& form) {
            auto& d = static_cast<TfrmDir&>(form);
            if (act) act(d);
            (okay ? d.SpeedButton1 : d.SpeedButton2).Click();
        };
    }

    fs::path before = fs::current_path();
    TempDir dir;
    TApplication app;
};

TEST_F(PickerTest, OkayTakesTheOpenedDirectoryOnly) {
    TSearchFrm w(nullptr);
    std::vector<std::string> items;
    int openCount = 0;
    answer(
        [&](TfrmDir& d) {
            EXPECT_EQ(d.Caption(), "Starting Directory");
            items = d.DirListBox.Items();
            openCount = d.DirListBox.OpenCount();
        },
        true);
    w.spdSearch.Click();
    EXPECT_EQ(w.txtStartIn.Text(), dir.file("base"));
    // The chain from the root, then the subdirectories, the hidden one left out.
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0], "/");
    EXPECT_EQ(items[static_cast<std::size_t>(openCount) - 1], "base");
    EXPECT_EQ(std::vector<std::string>(items.begin() + openCount, items.end()),
              (std::vector<std::string>{"alpha", "Beta"}));
    EXPECT_TRUE(w.txtStartIn.Items().empty());  // the history takes it only when the box is left

    // A highlighted entry is not opened: Okay gives the list's directory.
    answer([](TfrmDir& d) { d.DirListBox.SelectedByUser(d.DirListBox.OpenCount()); }, true);
    w.Browse1->Click();
    EXPECT_EQ(w.txtStartIn.Text(), dir.file("base"));

    // Opened by double-click or by Enter, one level at a time.
    answer(
        [](TfrmDir& d) {
            d.DirListBox.SelectedByUser(d.DirListBox.OpenCount());  // alpha
            d.DirListBox.DblClick();
            d.DirListBox.SetFocus();
            d.DirListBox.SelectedByUser(d.DirListBox.OpenCount());  // deep
            EXPECT_TRUE(headless::pressKey(d, 13));
        },
        true);
    w.spdSearch.Click();
    EXPECT_EQ(w.txtStartIn.Text(), dir.file("base/alpha/deep"));
}

TEST_F(PickerTest, CancelKeepsStartInButNotTheWorkingDirectory) {
    TSearchFrm w(nullptr);
    w.txtStartIn.SetText("unchanged");
    answer([](TfrmDir& d) { d.DirListBox.OpenItem(d.DirListBox.OpenCount() + 1); }, false);  // Beta
    w.spdSearch.Click();
    EXPECT_EQ(w.txtStartIn.Text(), "unchanged");
    EXPECT_EQ(fs::current_path().string(), dir.file("base/Beta"));

    // The next opening starts where the last one left off; the root keeps
    // its separator.
    std::string shown;
    answer(
        [&](TfrmDir& d) {
            shown = d.GetDirectory();
            d.DirListBox.OpenItem(0);
        },
        true);
    w.spdSearch.Click();
    EXPECT_EQ(shown, dir.file("base/Beta"));
    EXPECT_EQ(w.txtStartIn.Text(), "/");
}

// The picker is a form of its own: focusing its list is no exit from Start
// In, and the focus comes back there to keep what was picked. The keyboard
// reaches the picker's buttons, and Esc cancels it.
TEST_F(PickerTest, FocusComesBackToStartInAndKeysReachTheButtons) {
    TSearchFrm w(nullptr);
    w.ConfigFileName = dir.file("t.ini");
    headless::rig().modalResponders["TSearchFrm"] = [&](TForm&) {
        w.txtStartIn.SetFocus();
        w.txtStartIn.TextChangedByUser("typed");
        headless::rig().modalResponders["TfrmDir"] = [](TForm& form) {
            auto& d = static_cast<TfrmDir&>(form);
            d.DirListBox.SetFocus();
            EXPECT_TRUE(headless::pressKey(d, 9));
            EXPECT_TRUE(headless::pressKey(d, 9));
            EXPECT_TRUE(d.SpeedButton1.Focused());
            EXPECT_TRUE(headless::pressKey(d, 13));
        };
        w.spdSearch.Click();
        EXPECT_TRUE(w.txtStartIn.Focused());
        headless::pressKey(w, 13);
        EXPECT_EQ(w.txtStartIn.Items(), std::vector<std::string>{dir.file("base")});

        headless::rig().modalResponders["TfrmDir"] = [](TForm& d) { EXPECT_TRUE(headless::pressKey(d, 27)); };
        w.txtStartIn.TextChangedByUser("kept");
        w.spdSearch.Click();
        EXPECT_EQ(w.txtStartIn.Text(), "kept");
    };
    w.ShowModal();
}

TEST_F(PickerTest, DrivesAndDirectoriesThatCannotBeOpened) {
    headless::rig().drives = {{"c:", dir.file("base")}, {"d:", dir.file("drive-d")}, {"q:", dir.file("no-medium")}};
    TfrmDir d(nullptr);
    EXPECT_EQ(d.DriveLstBox.Items(), (std::vector<std::string>{"c:", "d:", "q:"}));
    d.DriveLstBox.DriveChosenByUser("d:");
    EXPECT_EQ(d.GetDirectory(), dir.file("drive-d"));
    EXPECT_EQ(d.DriveLstBox.Drive(), "d:");
    EXPECT_EQ(d.DirListBox.Items().back(), "work");

    // A drive without a medium: the list's own message, and it stays.
    EXPECT_THROW(d.DriveLstBox.DriveChosenByUser("q:"), EDirectoryError);
    EXPECT_EQ(d.GetDirectory(), dir.file("drive-d"));
    EXPECT_EQ(d.DriveLstBox.Drive(), "");  // the list's directory has no drive here

    // A directory that vanished since it was listed.
    fs::remove(dir.file("drive-d/work"));
    EXPECT_THROW(d.DirListBox.OpenItem(d.DirListBox.OpenCount()), EDirectoryError);
    EXPECT_EQ(d.GetDirectory(), dir.file("drive-d"));
}

TEST_F(PickerTest, TheLabelShortensLongPaths) {
    fs::current_path(dir.file("base/alpha/deep"));
    TfrmDir d(nullptr);
    // The list is 145 pixels wide: 24 characters at 6 pixels each.
    EXPECT_EQ(d.Label1.Caption(), "/.../base/alpha/deep");
    d.DirListBox.SetDirectory("/");
    EXPECT_EQ(d.Label1.Caption(), "/");

    auto chars = [](const std::string& s) { return 6 * static_cast<int>(s.size()); };
    const std::string path = "C:\\alpha\\beta\\gamma\\last";
    EXPECT_EQ(MinimizeName(path, 6 * 24, chars), path);
    EXPECT_EQ(MinimizeName(path, 6 * 22, chars), "C:\\...\\beta\\gamma\\last");
    EXPECT_EQ(MinimizeName(path, 6 * 21, chars), "C:\\...\\gamma\\last");
    EXPECT_EQ(MinimizeName(path, 6 * 16, chars), "C:\\...\\last");
    EXPECT_EQ(MinimizeName(path, 6 * 11, chars), "C:\\...\\last");
    EXPECT_EQ(MinimizeName(path, 6 * 8, chars), "...\\last");
    EXPECT_EQ(MinimizeName(path, 6, chars), "...\\last");  // the name itself is never cut
    EXPECT_EQ(MinimizeName("/usr/share/doc", 6 * 12, chars), "/.../doc");
}

}  // namespace
