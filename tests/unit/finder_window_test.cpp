// The Find File window: searching, paging, the grid's rows, the histories.
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "finder/srch.h"
#include "fixture.h"
#include "platform/filesearch.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// `count` files f001.txt ... in `dir`, which is made first.
void makeFiles(const std::string& dir, int count) {
    fs::create_directories(dir);
    for (int i = 1; i <= count; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "/f%03d.txt", i);
        writeFile(dir + name, "x");
    }
}

void search(TSearchFrm& w, const std::string& filter, const std::string& startIn) {
    w.txtSearchFilter.SetText(filter);
    w.txtStartIn.SetText(startIn);
    w.spFindNow.Click();
}

std::vector<std::string> column(const TStringGrid& g, int col) {
    std::vector<std::string> out;
    for (int r = 0; r < g.RowCount(); ++r) out.push_back(g.Cell(col, r));
    return out;
}

struct PageState {
    std::string found, pages, page;
    bool prev = false, next = false;
    int rows = 0;
    std::string firstIndex, lastIndex;
    bool operator==(const PageState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PageState& s) {
    return os << s.found << "/" << s.pages << "/" << s.page << " prev=" << s.prev << " next=" << s.next
              << " rows=" << s.rows << " " << s.firstIndex << ".." << s.lastIndex;
}

PageState state(const TSearchFrm& w) {
    const TStringGrid& g = w.SearchRes;
    return {w.lbSearchFound.Caption(), w.lbPages.Caption(), w.lbCurPage.Caption(), w.spdPrevPage.Enabled(),
            w.spdNextPage.Enabled(),   g.RowCount(),        g.Cell(0, 1),          g.Cell(0, g.RowCount() - 1)};
}

// The controls that the keyboard visits from the first, once round, as the
// form routes the keys (Ctrl+Tab, since the grid keeps Tab for its cells).
void tabOrder(TForm& form, std::vector<std::string>& out) {
    while (out.size() < 20 && form.KeyDown(9, ssCtrl) && form.ActiveControl()->Name != (out.empty() ? "" : out[0]))
        out.push_back(form.ActiveControl()->Name);
}

class FindWindowTest : public testing::Test {
protected:
    TempDir dir;
    TApplication app;
};

TEST_F(FindWindowTest, LooksAsBeforeAnySearch) {
    TSearchFrm w(nullptr);
    EXPECT_EQ(w.ClassName(), "TSearchFrm");
    EXPECT_EQ(w.Caption(), "Search Results");
    // The grid fills what the panel on top and the three margins leave.
    ArrangeAligned(w, 600, 400);
    EXPECT_EQ(w.TvPanel1.BoundsRect(), (TRect{0, 0, 600, 109}));
    EXPECT_EQ(w.SearchRes.BoundsRect(), (TRect{25, 109, 575, 375}));

    std::vector<std::string> order;
    tabOrder(w, order);
    EXPECT_EQ(order, (std::vector<std::string>{"txtSearchFilter", "txtStartIn", "cbIncludeSub", "spFindNow",
                                               "spdStopNow", "SearchRes"}));
    // Tab moves between the grid's cells; Shift+Tab leaves it.
    w.SearchRes.SetFocus();
    EXPECT_TRUE(w.KeyDown(9, 0));
    EXPECT_EQ(w.ActiveControl(), &w.SearchRes);
    EXPECT_EQ(w.SearchRes.Col(), 2);
    EXPECT_TRUE(w.KeyDown(9, ssShift));
    EXPECT_EQ(w.ActiveControl(), &w.spdStopNow);
    EXPECT_TRUE(w.cbIncludeSub.Checked());
    EXPECT_EQ((PageState{"# Found", "# Total Pages", "Page 1", false, true, 2, "", ""}), state(w));
    EXPECT_EQ(column(w.SearchRes, 1), (std::vector<std::string>{"", ""}));

    std::vector<std::string> menu;
    for (int i = 0; i < w.File1->Count(); ++i) menu.push_back(w.File1->Items(i)->Caption);
    EXPECT_EQ(menu, (std::vector<std::string>{"Fi&nd Now", "&Browse...", "-", "&Save Search List", "-", "E&xit"}));
    EXPECT_EQ(w.MainMenu1.Items().Count(), 2);

    // Before the first search the page buttons do nothing; Escape neither.
    w.spdNextPage.Click();
    EXPECT_EQ(w.lbCurPage.Caption(), "Page 1");
    EXPECT_FALSE(headless::pressKey(w, 27));
    EXPECT_EQ(w.ModalResult(), mrNone);
    w.spdStopNow.Click();
    EXPECT_EQ(w.ModalResult(), mrCancel);

    app.HelpFile = "TOLVEK.HLP";
    w.Help1->Click();
    w.spdHelp.Click();
    ASSERT_EQ(headless::rig().helpCalls.size(), 2u);
    for (const auto& call : headless::rig().helpCalls) {
        EXPECT_EQ(call.file, "TOLVEK.HLP");
        EXPECT_EQ(call.command, HELP_KEY);
        EXPECT_EQ(call.keyword, "Search Dialog");
    }
}

TEST_F(FindWindowTest, PagesOf75) {
    TSearchFrm w(nullptr);
    makeFiles(dir.file("75"), 75);
    search(w, "*.txt", dir.file("75"));
    EXPECT_EQ(state(w), (PageState{"75 Found", "1 Total Pages", "Page 1", false, false, 76, "1", "75"}));

    makeFiles(dir.file("76"), 76);
    search(w, "*.txt", dir.file("76"));
    EXPECT_EQ(state(w), (PageState{"76 Found", "2 Total Pages", "Page 1", false, true, 76, "1", "75"}));
    EXPECT_EQ(w.SearchRes.Cell(1, 75), dir.file("76") + "/f075.txt");
    // A page reaches the screen in one go (its widths, then its cells).
    int& changes = headless::rig().changes[&w.SearchRes];
    changes = 0;
    w.spdNextPage.Click();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(state(w), (PageState{"76 Found", "2 Total Pages", "Page 2", true, false, 2, "76", "76"}));
    EXPECT_EQ(w.SearchRes.Cell(1, 1), dir.file("76") + "/f076.txt");
    EXPECT_EQ(column(w.SearchRes, 4)[0], "Size(B)");
    w.spdNextPage.Click();  // on the last page: nothing
    EXPECT_EQ(w.CurrentPage, 2);
    w.spdPrevPage.Click();
    EXPECT_EQ(state(w), (PageState{"76 Found", "2 Total Pages", "Page 1", false, true, 76, "1", "75"}));
    w.spdPrevPage.Click();
    EXPECT_EQ(w.CurrentPage, 1);

    makeFiles(dir.file("150"), 150);
    search(w, "*.txt", dir.file("150"));
    EXPECT_EQ(state(w), (PageState{"150 Found", "2 Total Pages", "Page 1", false, true, 76, "1", "75"}));
    w.spdNextPage.Click();
    EXPECT_EQ(state(w), (PageState{"150 Found", "2 Total Pages", "Page 2", true, false, 76, "76", "150"}));
}

TEST_F(FindWindowTest, WhatARowShows) {
    const std::string d = dir.file("rows");
    fs::create_directories(d);
    const std::string longName = "a file with a long name.txt";
    for (const char* name : {"plain.txt", "rhsa.txt"}) writeFile(d + "/" + name, "12345");
    writeFile(d + "/" + longName, "");
    ASSERT_EQ(::truncate((d + "/" + longName).c_str(), 5LL << 30), 0);
    auto& rig = headless::rig();
    rig.fileAttributes[d + "/plain.txt"] = 0;
    rig.fileAttributes[d + "/rhsa.txt"] = faReadOnly | faHidden | faSysFile | faArchive;
    std::tm local{};
    local.tm_year = 1999 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimes((d + "/plain.txt").c_str(), times), 0);

    TSearchFrm w(nullptr);
    w.SearchRes.ColWidthChangedByUser(1, 400);
    w.SearchRes.ColWidthChangedByUser(2, 200);
    search(w, "*.TXT", d);
    const TStringGrid& g = w.SearchRes;
    EXPECT_EQ((std::vector<std::string>{g.Cell(0, 0), g.Cell(1, 0), g.Cell(2, 0), g.Cell(3, 0), g.Cell(4, 0)}),
              (std::vector<std::string>{"Index", "Name", "Attr", "Date", "Size(B)"}));
    // The whole name, not its first twelve characters, and the whole size.
    EXPECT_EQ(column(g, 1), (std::vector<std::string>{"Name", d + "/" + longName, d + "/plain.txt", d + "/rhsa.txt"}));
    EXPECT_EQ(column(g, 2), (std::vector<std::string>{"Attr", "A", "", "RHSA"}));
    EXPECT_EQ(column(g, 4), (std::vector<std::string>{"Size(B)", "5368709120", "5", "5"}));
    EXPECT_EQ(g.Cell(3, 2), "12/31/1999");
    // The narrow columns fit their sample texts (6 pixels a character
    // here); the name column keeps the width the user gave it.
    EXPECT_EQ((std::vector<int>{g.ColWidth(0), g.ColWidth(1), g.ColWidth(2), g.ColWidth(3), g.ColWidth(4)}),
              (std::vector<int>{36, 400, 36, 54, 48}));
}

TEST_F(FindWindowTest, MissingTextsAndNothingFound) {
    auto& rig = headless::rig();
    TSearchFrm w(nullptr);
    w.Exit1->Click();  // Exit searches; with empty boxes that is refused
    w.txtSearchFilter.SetText("*.*");
    w.FindNow1->Click();
    ASSERT_EQ(rig.messageBoxes.size(), 2u);
    for (const auto& box : rig.messageBoxes) {
        EXPECT_EQ(box.text, "You must enter a value");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.flags, MB_OK | MB_ICONEXCLAMATION);
    }
    EXPECT_TRUE(rig.searchPatterns.empty());
    EXPECT_FALSE(w.Closed());

    // The hourglass shows while the scan runs and goes when it ends.
    makeFiles(dir.file("some"), 80);
    std::vector<TCursor> during;
    rig.onFindFirst = [&](const std::string&) { during.push_back(rig.cursorShape); };
    w.txtStartIn.SetText(dir.file("some"));
    w.Exit1->Click();
    EXPECT_EQ(w.lbSearchFound.Caption(), "80 Found");
    EXPECT_FALSE(during.empty());
    EXPECT_TRUE(std::all_of(during.begin(), during.end(), [](TCursor c) { return c == TCursor::HourGlass; }));
    EXPECT_EQ(rig.cursorShape, TCursor::Default);
    w.spdNextPage.Click();
    ASSERT_EQ(w.CurrentPage, 2);

    // Nothing found: the message, then the window as before any search;
    // paging reaches no discarded results.
    search(w, "*.none", dir.file("some"));
    EXPECT_EQ(rig.messageBoxes.back().text, "Nothing found!");
    EXPECT_EQ(rig.messageBoxes.back().caption, "");
    EXPECT_EQ(rig.messageBoxes.back().flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(rig.cursorShape, TCursor::Default);
    EXPECT_EQ(w.Results, nullptr);
    EXPECT_EQ(state(w), (PageState{"# Found", "# Total Pages", "Page 1", false, true, 2, "", ""}));
    w.spdPrevPage.Click();
    w.spdNextPage.Click();
    EXPECT_EQ(state(w), (PageState{"# Found", "# Total Pages", "Page 1", false, true, 2, "", ""}));

    // A start that does not exist finds nothing, and says so.
    search(w, "*.*", dir.file("nowhere"));
    EXPECT_EQ(rig.messageBoxes.back().text, "Nothing found!");
}

// A directory that is slow to read keeps the search running; meanwhile the
// window answers, and stopping keeps what was found.
TEST_F(FindWindowTest, AStoppedSearchKeepsWhatItFound) {
    const std::string root = dir.file("big");
    makeFiles(root, 1001);
    makeFiles(root + "/slow", 2);
    writeFile(root + "/slow/only.dat", "x");
    auto& rig = headless::rig();
    std::atomic<bool> slow = true;
    rig.onFindFirst = [&](const std::string& pattern) {
        while (slow && pattern.find("/slow/") != std::string::npos) std::this_thread::sleep_for(1ms);
    };
    TSearchFrm w(nullptr);
    std::function<void()> stop;
    std::int32_t stopAt = 0;
    std::string during;
    rig.onProcessMessages = [&] {
        headless::advance(100);  // the count is shown ten times a second at most
        if (!stop || w.FoundCount < stopAt) return;
        during = w.lbSearchFound.Caption() + (rig.cursorShape == TCursor::HourGlass ? " | hourglass |" : " |");
        std::vector<TControl*> controls = w.TvPanel1.Controls();
        controls.push_back(&w.SearchRes);
        for (TControl* c : controls)
            if (c->Enabled() && c->Kind() != TControlKind::Label) during += " " + c->Name;
        if (w.File1->Enabled || w.Help1->Enabled) during += " menu";
        std::exchange(stop, nullptr)();
        slow = false;
    };
    const auto stopWhen = [&](std::int32_t found, std::function<void()> action) {
        stopAt = found;
        stop = std::move(action);
        slow = true;
    };

    // Esc or "Close": the files found so far are the result.
    stopWhen(1001, [&] { headless::pressKey(w, 27); });
    search(w, "*.txt", root);
    EXPECT_EQ(during, "Searching: 1,001 Found | hourglass | spdStopNow");
    EXPECT_EQ(state(w), (PageState{"1001 Found", "14 Total Pages", "Page 1", false, true, 76, "1", "75"}));
    stopWhen(1001, [&] { w.spdStopNow.Click(); });
    w.spFindNow.Click();
    EXPECT_EQ(during, "Searching: 1,001 Found | hourglass | spdStopNow");
    EXPECT_EQ(w.Results->High(), 1000);
    EXPECT_EQ(rig.cursorShape, TCursor::Default);
    EXPECT_TRUE(w.txtSearchFilter.Enabled() && w.spFindNow.Enabled() && w.File1->Enabled);
    EXPECT_EQ(w.ModalResult(), mrNone);
    // The next "Close" closes.
    w.spdStopNow.Click();
    EXPECT_EQ(w.ModalResult(), mrCancel);

    // The close box stops the search first, then closes, with no message.
    w.SetModalResult(mrNone);
    stopWhen(0, [&] { w.Close(); });
    search(w, "*.dat", root);
    EXPECT_TRUE(w.Closed());
    EXPECT_TRUE(rig.messageBoxes.empty());
}

TEST_F(FindWindowTest, SubdirectoriesFollowTheCheckBox) {
    makeFiles(dir.file("top"), 2);
    makeFiles(dir.file("top/sub"), 3);
    TSearchFrm w(nullptr);
    search(w, "*.txt", dir.file("top"));
    EXPECT_EQ(w.lbSearchFound.Caption(), "5 Found");
    w.cbIncludeSub.Click();
    EXPECT_FALSE(w.cbIncludeSub.Checked());
    w.spFindNow.Click();
    EXPECT_EQ(w.lbSearchFound.Caption(), "2 Found");
}

class HistoryTest : public testing::Test {
protected:
    std::string iniPath() { return dir.file("tolvek.ini"); }
    std::string ini(const std::string& key) {
        return TIniFile(app.OS(), iniPath()).ReadString("SEARCH", key, "<none>");
    }

    TempDir dir;
    TApplication app;
};

TEST_F(HistoryTest, LoadAddAndSave) {
    writeFile(iniPath(),
              "[SEARCH]\r\nFilter1=*.txt\r\nFilter2=\r\nFilter3=A*.*\r\nFilter4=*.BAT\r\n"
              "StartIn1=C:\\\r\nStartIn2=\r\nStartIn3=C:\\TEMP\r\nStartIn4=stale\r\n");
    {
        TSearchFrm w(nullptr);
        w.ConfigFileName = iniPath();
        headless::rig().modalResponders["TSearchFrm"] = [&](TForm&) {
            EXPECT_EQ(w.txtSearchFilter.Items(), (std::vector<std::string>{"*.BAT", "*.txt", "A*.*"}));
            EXPECT_EQ(w.txtStartIn.Items(), (std::vector<std::string>{"C:\\", "C:\\TEMP", "stale"}));

            // Leaving the box adds a new text, but not one that differs in
            // letter case only.
            w.txtSearchFilter.SetFocus();
            w.txtSearchFilter.TextChangedByUser("*.TXT");
            w.txtStartIn.SetFocus();
            EXPECT_EQ(w.txtSearchFilter.Items().size(), 3u);

            // Enter adds and moves on; in Start In it does not search.
            w.txtSearchFilter.SetFocus();
            w.txtSearchFilter.TextChangedByUser("*.doc");
            EXPECT_TRUE(headless::pressKey(w, 13));
            EXPECT_TRUE(w.txtStartIn.Focused());
            EXPECT_EQ(w.txtSearchFilter.Items(), (std::vector<std::string>{"*.BAT", "*.doc", "*.txt", "A*.*"}));
            w.txtStartIn.TextChangedByUser("D:\\WORK");
            headless::pressKey(w, 13);
            EXPECT_TRUE(w.spFindNow.Focused());
            EXPECT_EQ(w.txtStartIn.Items().back(), "D:\\WORK");
            EXPECT_TRUE(headless::rig().searchPatterns.empty());
            EXPECT_TRUE(headless::rig().messageBoxes.empty());

            // The menu's Find Now leaves the focus where it is: nothing added.
            w.txtStartIn.SetFocus();
            w.txtStartIn.TextChangedByUser("E:\\");
            w.FindNow1->Click();
            EXPECT_EQ(w.txtStartIn.Items().size(), 4u);
            // The button takes the focus first, so the box's text is added.
            w.spFindNow.SetFocus();
            w.spFindNow.Click();
            EXPECT_EQ(w.txtStartIn.Items().back(), "E:\\");
            w.spdStopNow.Click();
        };
        EXPECT_EQ(w.ShowModal(), mrCancel);
    }
    EXPECT_EQ(ini("Filter1"), "*.BAT");
    EXPECT_EQ(ini("Filter2"), "*.doc");
    EXPECT_EQ(ini("Filter3"), "*.txt");
    EXPECT_EQ(ini("Filter4"), "A*.*");
    EXPECT_EQ(ini("Filter5"), "<none>");
    EXPECT_EQ(ini("StartIn1"), "C:\\");
    EXPECT_EQ(ini("StartIn2"), "C:\\TEMP");
    EXPECT_EQ(ini("StartIn3"), "stale");
    EXPECT_EQ(ini("StartIn4"), "D:\\WORK");
    EXPECT_EQ(ini("StartIn5"), "E:\\");
}

TEST_F(HistoryTest, OnlyTenAreKeptAndNoKeyIsDeleted) {
    std::string text = "[SEARCH]\r\n";
    for (int k = 1; k <= 10; ++k) {
        text += "Filter" + std::to_string(k) + "=*." + std::string(1, static_cast<char>('b' + k)) + "\r\n";
        text += "StartIn" + std::to_string(k) + "=D" + std::to_string(k) + "\r\n";
    }
    writeFile(iniPath(), text);
    {
        TSearchFrm w(nullptr);
        w.ConfigFileName = iniPath();
        headless::rig().modalResponders["TSearchFrm"] = [&](TForm&) {
            AddToSearchHistory(w.txtSearchFilter, "*.a");  // sorts first
            AddToSearchHistory(w.txtStartIn, "NEW");       // eleventh
            EXPECT_EQ(w.txtStartIn.Items().size(), 11u);
        };
        w.ShowModal();
    }
    headless::rig().modalResponders.clear();
    EXPECT_EQ(ini("Filter1"), "*.a");
    EXPECT_EQ(ini("Filter2"), "*.c");
    EXPECT_EQ(ini("Filter10"), "*.k");  // "*.l" sorts eleventh and is gone
    EXPECT_EQ(ini("Filter11"), "<none>");
    EXPECT_EQ(ini("StartIn10"), "D10");
    EXPECT_EQ(ini("StartIn11"), "<none>");

    // Fewer entries than keys: the keys past the list stay as they were.
    writeFile(iniPath(), "[SEARCH]\r\nFilter1=b\r\nFilter2=\r\nFilter3=a\r\n");
    { TSearchFrm(nullptr).ConfigFileName = iniPath(); }  // never shown: loads nothing, saves nothing
    {
        TSearchFrm w(nullptr);
        w.ConfigFileName = iniPath();
        w.ShowModal();
    }
    EXPECT_EQ(ini("Filter1"), "a");
    EXPECT_EQ(ini("Filter2"), "b");
    EXPECT_EQ(ini("Filter3"), "a");
}

TEST(FindFileCommand, FromTheMainMenuWithItsHistories) {
    Fixture f("[SEARCH]\r\nFilter1=*.ini\r\n");
    std::vector<std::vector<std::string>> filtersSeen;
    std::string found;
    f.rig().modalResponders["TSearchFrm"] = [&](TForm& form) {
        auto& w = static_cast<TSearchFrm&>(form);
        filtersSeen.push_back(w.txtSearchFilter.Items());
        // Every opening starts with an empty grid.
        EXPECT_EQ(w.SearchRes.Cell(1, 1), "");
        w.txtSearchFilter.SetFocus();
        w.txtSearchFilter.TextChangedByUser("*.INI");
        w.txtStartIn.SetFocus();
        w.txtStartIn.TextChangedByUser(f.dir.path());
        w.spFindNow.SetFocus();
        w.spFindNow.Click();
        found = w.SearchRes.Cell(1, 1);
        // The launcher behind the modal window takes no keys.
        EXPECT_FALSE(headless::pressKey(f.main(), 'R', ssCtrl));
        w.Close();
    };
    f.main().FindFile1->Click();
    EXPECT_EQ(found, f.iniPath);
    // Ctrl+F opens it again, with the directory just used in its history.
    EXPECT_TRUE(f.main().KeyDown('F', ssCtrl));
    EXPECT_EQ(f.rig().modalShown, (std::vector<std::string>{"TSearchFrm", "TSearchFrm"}));  // no Run dialog
    EXPECT_EQ(filtersSeen.back(), std::vector<std::string>{"*.ini"});
    EXPECT_EQ(f.ini("SEARCH", "StartIn1"), f.dir.path());
}

}  // namespace
