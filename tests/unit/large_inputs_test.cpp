// Inputs at and past the sizes people reach: the largest menu, very long
// values, a very large configuration, a million found files, long paths and
// names in any script. Each must finish in time linear in its size.
#include <sys/resource.h>

#include <chrono>
#include <filesystem>

#include "finder/srch.h"
#include "fixture.h"
#include "platform/filesearch.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

double seconds(const std::function<void()>& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t peakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// The item at the end of the first-child chain.
TMenuItem& deepest(TMenuItem& item) {
    TMenuItem* at = &item;
    while (at->Count() > 0) at = at->Items(0);
    return *at;
}

std::size_t itemsUnder(TMenuItem& item) {
    std::size_t n = 0;
    for (int i = 0; i < item.Count(); ++i) n += 1 + itemsUnder(*item.Items(i));
    return n;
}

TEST(LargeMenu, SixtyFiveThousandEntriesAndALongChainEndAtTheNestingLimit) {
    // Entry 1 opens submenu entry 1, which opens long entry 1; each long entry
    // k opens k + 1: one chain of 65535.
    std::string ini = "[ALLINFO]\r\nTotalEntries=65535\r\n[PROGRAMS]\r\nName1=Chain\r\nProgName1=SuperMenu\r\n"
                      "Param1=1\r\nShortCut1=1\r\n";
    for (int i = 2; i <= 65535; ++i) ini += "Name" + std::to_string(i) + "=Entry " + std::to_string(i) + "\r\n";
    ini += "[SUBPROGRAMS]\r\nName1=Start\r\nProgName1=LongMenu\r\nParam1=1\r\nShortCut1=1\r\n[LONGPROGRAMS]\r\n";
    for (int k = 1; k <= 65535; ++k) {
        const std::string n = std::to_string(k), next = std::to_string(k == 65535 ? k : k + 1);
        ini += "Name" + n + "=Link " + n + "\r\nProgName" + n + "=LongMenu\r\nParam" + n + "=" + next +
               "\r\nShortCut" + n + "=" + next + "\r\n";
    }
    Fixture f(ini);
    TMenuItem& root = f.main().Popit.Items();
    ASSERT_EQ(root.Items(0)->Caption, "Chain");
    EXPECT_EQ(root.Items(65534)->Caption, "Entry 65535");
    // The chain is cut after 64 levels of long entries: the 65th has no children.
    EXPECT_EQ(root.Items(0)->Items(0)->Items(0)->Caption, "Link 1");
    EXPECT_EQ(deepest(*root.Items(0)).Caption, "Link 65");
}

TEST(LargeMenu, RangesRepeatedOverAndOverStayWithinTheItemBudget) {
    // Three groups, each of all 65535 submenu entries: only two fit the budget.
    Fixture f("[ALLINFO]\r\nTotalEntries=3\r\n[PROGRAMS]\r\n"
              "ProgName1=SuperMenu\r\nParam1=1\r\nShortCut1=65535\r\n"
              "ProgName2=SuperMenu\r\nParam2=1\r\nShortCut2=65535\r\n"
              "ProgName3=SuperMenu\r\nParam3=1\r\nShortCut3=65535\r\n");
    TMenuItem& root = f.main().Popit.Items();
    // Built from the last to the first: 3 and 2 get their children.
    EXPECT_EQ(root.Items(2)->Count(), 65535);
    EXPECT_EQ(root.Items(1)->Count(), 65535);
    EXPECT_EQ(root.Items(0)->Count(), 0);
    EXPECT_EQ(root.Items(1)->Items(65534)->Caption, "SubMenu Error65535");

    // Long entries naming wide ranges of each other, 64 levels deep, would be
    // 65535^64 items; the budget keeps it to what fits.
    std::string ini = "[ALLINFO]\r\nTotalEntries=1\r\n[PROGRAMS]\r\nProgName1=LongMenu\r\nParam1=1\r\n"
                      "ShortCut1=65535\r\n[LONGPROGRAMS]\r\n";
    for (int k = 1; k <= 100; ++k) {
        const std::string n = std::to_string(k);
        ini += "ProgName" + n + "=LongMenu\r\nParam" + n + "=1\r\nShortCut" + n + "=65535\r\n";
    }
    Fixture wide(ini);
    EXPECT_LE(itemsUnder(wide.main().Popit.Items()), 131072u + 1 + 10);
}

TEST(LargeMenu, AnOpenLevelHoldsAScreenAndEveryItemIsReachedOnceInOrder) {
    TMenuItem root(nullptr);
    std::vector<TMenuItem*> visible;
    for (int i = 1; i <= 65541; ++i) {
        auto item = std::make_unique<TMenuItem>(nullptr);
        item->Caption = i % 1000 == 0 ? "-" : "&E" + std::to_string(i);
        item->Visible = i % 777 != 0;
        if (item->Visible) visible.push_back(item.get());
        root.Add(std::move(item));
    }
    std::vector<TMenuItem*> reached;
    std::size_t depth = 0;
    std::function<void(const TMenuEntry&, std::size_t)> open = [&](const TMenuEntry& opened, std::size_t at) {
        const std::vector<TMenuEntry> level = MenuLevel(opened, 33);
        EXPECT_LE(level.size(), 33u);
        depth = std::max(depth, at);
        for (const TMenuEntry& entry : level) entry.item ? reached.push_back(entry.item) : open(entry, at + 1);
    };
    open({&root, nullptr, 0, 0, {}}, 0);
    EXPECT_EQ(reached, visible);
    EXPECT_LE(depth, 3u);
    // The first and last items (a launcher's fixed ones) stay on the first
    // level; ranges name their ends without accelerator marks.
    const std::vector<TMenuEntry> top = MenuLevel({&root, nullptr, 0, 0, {}}, 33);
    EXPECT_EQ(top.front().item, visible.front());
    EXPECT_EQ(top.back().item, visible.back());
    EXPECT_EQ(top[8].caption, "E9 \u2013 E4364");
    // A level of an ordinary length stays whole, even when taller than the screen.
    TMenuItem group(nullptr);
    for (int i = 0; i < 200; ++i) group.Add(std::make_unique<TMenuItem>(nullptr));
    EXPECT_EQ(MenuLevel({&group, nullptr, 0, 0, {}}, 33).size(), 200u);
}

TEST(LargeValues, OneMebibyteValuesAreCutWhenReadAndKeptWhenWritten) {
    const std::string big(1 << 20, 'v');
    Fixture f("[ALLINFO]\r\nTotalEntries=1\r\n[PROGRAMS]\r\nName1=" + big + "\r\nProgName1=" + big + "\r\n");
    TMenuItem& item = *f.main().Popit.Items().Items(0);
    EXPECT_EQ(item.Caption, std::string(2047, 'v'));

    // A 1 MiB value written goes into the file whole and leaves the rest alone.
    TIniFile ini(f.app.OS(), f.iniPath);
    const std::string before = f.bytes();
    const std::string other(1 << 20, 'w');
    ini.WriteString("CONFIG", "Caption", other);
    const std::string after = f.bytes();
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(after.substr(before.size()), "[CONFIG]\r\nCaption=" + other + "\r\n");
    EXPECT_EQ(TProfileData::Parse(after).Find("config", "caption"), other);
}

std::string bigProfile(std::size_t bytes) {
    std::string text = "[FIRST]\r\nkey=first value\r\n";
    const std::string pad(80, 'p');
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        if (i % 1000 == 0) text += "[S" + std::to_string(i / 1000) + "]\r\n";
        text += "Key" + std::to_string(i) + "=" + pad + "\r\n";
    }
    return text + "[LAST]\r\nkey=last value\r\n";
}

TEST(LargeFile, FiftyMegabytesParseInLinearTimeAndBoundedMemory) {
    const std::string small = bigProfile(5'000'000), large = bigProfile(50'000'000);
    double smallTime = 1e9;
    for (int round = 0; round < 3; ++round)
        smallTime = std::min(smallTime, seconds([&] { TProfileData::Parse(small); }));

    const std::size_t rssBefore = peakRssBytes();
    TProfileData data;
    const double largeTime = seconds([&] { data = TProfileData::Parse(large); });
    const std::size_t rssGrowth = peakRssBytes() - rssBefore;
    // Ten times the bytes. Linear work still costs more per byte once the key
    // table outgrows the caches (about 2.5 times here), and the machine may be
    // busy; quadratic work would take a hundred times as long.
    EXPECT_LT(largeTime, 40 * smallTime) << "5 MB: " << smallTime << " s, 50 MB: " << largeTime << " s";
    if (!kSanitized) {
        EXPECT_LT(rssGrowth, 6 * large.size()) << "peak grew by " << rssGrowth << " bytes";
    }

    EXPECT_EQ(data.ReadString("first", "KEY", ""), "first value");
    EXPECT_EQ(data.ReadString("last", "key", ""), "last value");
    EXPECT_EQ(data.ReadString("S300", "Key300123", ""), std::string(80, 'p'));
    // A write in the first section keeps every other byte.
    data.Write("FIRST", "added", "1");
    const std::string out = data.Serialize();
    const std::string head = "[FIRST]\r\nkey=first value\r\n";
    EXPECT_EQ(out.substr(0, head.size() + 9), head + "added=1\r\n");
    EXPECT_EQ(out.substr(head.size() + 9), large.substr(head.size()));
}

// A directory tree that exists only in the search: `dirs` directories under
// the root, each holding `files` text files.
class VirtualFind : public IFileFind {
public:
    VirtualFind(std::vector<std::string> names, std::uint32_t attr) : names_(std::move(names)), attr_(attr) {}
    bool Next() override { return ++at_ < names_.size(); }
    const std::string& Name() const override { return names_[at_]; }
    std::uint32_t Attr() override { return attr_; }
    std::uint64_t Size() override { return 42; }
    std::int32_t Time() override { return (44 << 25) | (3 << 21) | (14 << 16); }  // 2024-03-14

private:
    std::vector<std::string> names_;
    std::uint32_t attr_;
    std::size_t at_ = 0;
};

std::unique_ptr<IFileFind> virtualTree(const std::string& pattern, int dirs, int files) {
    const std::string dir = pattern.substr(0, pattern.rfind('/') + 1);
    const std::string mask = pattern.substr(dir.size());
    std::vector<std::string> names;
    std::uint32_t attr = faArchive;
    char name[32];
    if (dir == "/virtual/") {
        attr = faDirectory;
        for (int d = 0; d < dirs; ++d) {
            std::snprintf(name, sizeof name, "d%04d", d);
            if (MatchesFileMask(name, mask)) names.emplace_back(name);
        }
    } else {
        for (int i = 0; i < files; ++i) {
            std::snprintf(name, sizeof name, "f%04d.txt", i);
            if (MatchesFileMask(name, mask)) names.emplace_back(name);
        }
    }
    if (names.empty()) return nullptr;
    return std::make_unique<VirtualFind>(std::move(names), attr);
}

TEST(LargeSearch, AMillionFoundFilesArePagedSeventyFiveAtATime) {
    TempDir dir;
    TApplication app;
    headless::rig().findResponder = [](const std::string& pattern) { return virtualTree(pattern, 1000, 1000); };
    TSearchFrm w(nullptr);
    w.ConfigFileName = dir.file("tolvek.ini");
    w.txtSearchFilter.SetText("*.txt");
    w.txtStartIn.SetText("/virtual");
    const double took = seconds([&] { w.spFindNow.Click(); });

    EXPECT_EQ(w.lbSearchFound.Caption(), "1000000 Found");
    EXPECT_EQ(w.lbPages.Caption(), "13334 Total Pages");
    EXPECT_EQ(w.SearchRes.RowCount(), 76);
    EXPECT_EQ(w.SearchRes.Cell(1, 1), "/virtual/d0000/f0000.txt");
    const TExtSearchRec last = w.Results->GetItem(999999);
    EXPECT_EQ(last.Path + last.Name, "/virtual/d0999/f0999.txt");
    EXPECT_EQ(headless::rig().openSearches, 0);
    EXPECT_LT(took, kSanitized ? 120.0 : 60.0);
}

TEST(LongNames, PathsPastTwoHundredSixtyCharactersAndAnyScript) {
    TempDir dir;
    TApplication app;
    // Nested directories past 260 characters, the file named in several scripts.
    std::string deep = dir.path();
    while (deep.size() < 300) deep += "/a directory with a rather long name";
    fs::create_directories(deep);
    const std::string unicode = "Ünïcødé Ελληνικά 日本語 עברית 🎉.txt";
    writeFile(deep + "/" + unicode, "x");

    TSearchFrm w(nullptr);
    w.ConfigFileName = dir.file("tolvek.ini");
    w.txtSearchFilter.SetText("*.txt");
    w.txtStartIn.SetText(dir.path());
    w.spFindNow.Click();
    ASSERT_EQ(w.lbSearchFound.Caption(), "1 Found");
    const std::string full = deep + "/" + unicode;
    ASSERT_GT(full.size(), 260u);
    EXPECT_EQ(w.SearchRes.Cell(1, 1), full);

    // Double-clicking the row starts that very file.
    w.SearchRes.MouseDown(TMouseButton::Left, 0, 5, 30);
    w.SearchRes.DblClick();
    ASSERT_EQ(headless::rig().shellCalls.size(), 1u);
    EXPECT_EQ(headless::rig().shellCalls[0].file, full);

    // A configuration in that directory, with names and values in any script.
    const std::string iniPath = deep + "/Настройки.ini";
    writeFile(iniPath, "[ALLINFO]\r\nTotalEntries=1\r\n[PROGRAMS]\r\nName1=" + unicode + "\r\nProgName1=" + full +
                           "\r\n");
    TIniFile ini(app.OS(), iniPath);
    EXPECT_EQ(ini.ReadString("PROGRAMS", "Name1", ""), unicode);
    ini.WriteString("Раздел 🎉", "ключ", "значение ✓");
    EXPECT_EQ(TIniFile(app.OS(), iniPath).ReadString("Раздел 🎉", "ключ", ""), "значение ✓");
}

TEST(LongNames, NamesThatAreNotValidUtf16SurviveTheRoundTrip) {
    // Unpaired surrogates, which file names may hold, keep their own three bytes.
    const std::u16string odd{u'a', 0xD800, u'/', 0xDC01, 0xD83D, 0xDE00, 0xDBFF};
    const std::string narrow = Utf16ToWtf8(odd);
    EXPECT_EQ(narrow, "a\xED\xA0\x80/\xED\xB0\x81\xF0\x9F\x98\x80\xED\xAF\xBF");
    EXPECT_EQ(Wtf8ToUtf16(narrow), odd);
    EXPECT_EQ(Wtf8ToUtf16("x\xFF\xC3\xE0\x80\x80"), (std::u16string{u'x', 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));
}

}  // namespace
