// The directory scanner on real temp trees, and the platform search rules
// underneath it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <thread>
#include <tuple>

#include "finder/dirscan.h"
#include "fixture.h"
#include "platform/filesearch.h"

namespace fs = std::filesystem;

namespace {

struct Report {
    std::string path, name;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r) {
    return os << r.path << "|" << r.name;
}

class ScanTest : public testing::Test {
protected:
    void make(const std::string& rel) {
        const std::string full = dir.file(rel);
        if (rel.ends_with("/"))
            fs::create_directories(full);
        else
            writeFile(full, "x");
    }
    // The threaded walk, or the sequential one that it must match.
    void walk(const std::string& start, const std::string& mask, bool subdirs, const TScanCallback& callback) {
        (threaded ? ScanDirectory : ScanDirectorySequential)(start, mask, subdirs, callback);
    }
    std::vector<Report> scan(const std::string& start, const std::string& mask, bool subdirs = true,
                             int stopAfter = -1) {
        std::vector<Report> out;
        walk(start, mask, subdirs, [&](const std::string& path, const TSearchRec& e) {
            out.push_back({path, e.Name});
            return static_cast<int>(out.size()) != stopAfter;
        });
        return out;
    }
    std::string root(const std::string& rel = "") const { return dir.path() + "/" + rel; }

    TempDir dir;
    TApplication app;
    bool threaded = false;
};

// The cases that both walks must meet.
class ScanWalks : public ScanTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override { threaded = GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(SequentialAndThreaded, ScanWalks, testing::Bool());

TEST_P(ScanWalks, DepthFirstPreOrderWithOneSharedPath) {
    for (const char* p : {"A/", "A/a1", "A/a2", "A/B/", "A/B/b1", "A/C/", "A/C/c1"}) make(p);
    const std::vector<Report> expected{
        {root("A/"), "a1"}, {root("A/"), "a2"}, {root("A/B/"), "b1"}, {root("A/C/"), "c1"}};

    // Each file pass opens while only the ancestors' directory passes are
    // open, so it was closed before its own directory pass began.
    auto& rig = headless::rig();
    std::vector<std::pair<std::string, int>> opened;
    rig.onFindFirst = [&](const std::string& pattern) { opened.push_back({pattern, rig.openSearches}); };
    EXPECT_EQ(scan(dir.file("A"), "*.*"), expected);
    EXPECT_EQ(rig.openSearches, 0);
    const std::vector<std::pair<std::string, int>> expectOpened{{root("A/*.*"), 0},   {root("A/*.*"), 0},
                                                                {root("A/B/*.*"), 1}, {root("A/B/*.*"), 1},
                                                                {root("A/C/*.*"), 1}, {root("A/C/*.*"), 1}};
    if (!threaded) {
        EXPECT_EQ(opened, expectOpened);
    }

    // A closing separator changes nothing.
    EXPECT_EQ(scan(dir.file("A") + "/", "*.*"), expected);

    // Without subdirectories only the start's own files, and no second pass.
    rig.searchPatterns.clear();
    EXPECT_EQ(scan(dir.file("A"), "*.*", false), (std::vector<Report>{{root("A/"), "a1"}, {root("A/"), "a2"}}));
    EXPECT_EQ(rig.searchPatterns, std::vector<std::string>{root("A/*.*")});

    // Upper-cased names in byte order, past their eighth byte as well;
    // names that differ in case only, in their own.
    for (const char* p : {"N/", "N/abcdefgh_", "N/abcdefghb", "N/ABCDEFGHB"}) make(p);
    std::vector<std::string> names;
    for (const Report& r : scan(dir.file("N"), "*")) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ABCDEFGHB", "abcdefghb", "abcdefgh_"}));
}

TEST_P(ScanWalks, MasksAttributesAndWhatIsNeverEntered) {
    for (const char* p :
         {"T/", "T/read.me", "T/README", "T/notes.TXT", "T/x.txtx", "T/a.b.txt", "T/TXT.dir/", "T/TXT.dir/inner.txt",
          "T/hid/", "T/hid/h.txt", "T/sys/", "T/sys/s.txt", "T/h.txt", "T/s.txt"})
        make(p);
    auto& rig = headless::rig();
    rig.fileAttributes[dir.file("T/hid")] = faHidden;
    rig.fileAttributes[dir.file("T/sys")] = faSysFile;
    rig.fileAttributes[dir.file("T/h.txt")] = faHidden | faArchive;
    rig.fileAttributes[dir.file("T/s.txt")] = faSysFile;

    auto names = [&](const std::string& mask) {
        std::vector<std::string> out;
        for (auto& r : scan(dir.file("T"), mask)) out.push_back(r.path.substr(root().size()) + r.name);
        return out;
    };
    // A matching directory is not reported, but files inside it are; hidden
    // and system files are; hidden and system directories are not entered.
    EXPECT_EQ(names("*.txt"),
              (std::vector<std::string>{"T/a.b.txt", "T/h.txt", "T/notes.TXT", "T/s.txt", "T/TXT.dir/inner.txt"}));
    for (const std::string& p : rig.searchPatterns) {
        EXPECT_EQ(p.find("/hid/"), std::string::npos) << p;
        EXPECT_EQ(p.find("/sys/"), std::string::npos) << p;
    }
    // An empty mask is every file, names without a dot included.
    EXPECT_EQ(names(""), names("*.*"));
    EXPECT_EQ(names("").size(), 8u);
    EXPECT_EQ(names("READ*.*"), (std::vector<std::string>{"T/read.me", "T/README"}));
    EXPECT_EQ(names("?.txt"), (std::vector<std::string>{"T/h.txt", "T/s.txt"}));
    EXPECT_EQ(names("*."), std::vector<std::string>{"T/README"});
    EXPECT_TRUE(names("nothing*").empty());
    EXPECT_EQ(rig.openSearches, 0);

    // A start that does not exist reports nothing.
    EXPECT_TRUE(scan(dir.file("missing"), "*.*").empty());
}

TEST_P(ScanWalks, StoppingClosesEverySearch) {
    for (const char* p : {"A/", "A/a1", "A/a2", "A/B/", "A/B/b1", "A/B/b2", "A/C/", "A/C/c1"}) make(p);
    auto& rig = headless::rig();
    EXPECT_EQ(scan(dir.file("A"), "*.*", true, 1), (std::vector<Report>{{root("A/"), "a1"}}));
    // No subdirectory entered (the threaded walk may have read some ahead).
    if (!threaded) {
        EXPECT_EQ(rig.searchPatterns, std::vector<std::string>{root("A/*.*")});
    }
    EXPECT_EQ(rig.openSearches, 0);

    // Stopped deep down: nothing after it, every level closed.
    EXPECT_EQ(scan(dir.file("A"), "*.*", true, 3),
              (std::vector<Report>{{root("A/"), "a1"}, {root("A/"), "a2"}, {root("A/B/"), "b1"}}));
    if (!threaded) {
        EXPECT_EQ(rig.searchPatterns.back(), root("A/B/*.*"));
    }
    EXPECT_EQ(rig.openSearches, 0);
}

// The sequential walk searches a directory's subdirectories after its files
// were reported; the threaded one reads them ahead.
TEST_F(ScanTest, TheDirectoryPassSeesWhatTheCallbackMade) {
    for (const char* p : {"O/", "O/o1", "O/o2"}) make(p);
    // An old directory, so that nothing about its listing is in doubt.
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("O").c_str(), old, 0), 0);
    ::usleep(30000);
    std::vector<std::string> names;
    walk(dir.file("O"), "*", true, [&](const std::string&, const TSearchRec& e) {
        names.push_back(e.Name);
        if (e.Name == "o1") make("O/new/");
        if (e.Name == "o2") make("O/new/n1");
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"o1", "o2", "n1"}));
    make("O/o3");
    EXPECT_EQ(scan(dir.file("O"), "o3").size(), 1u);
}

TEST_P(ScanWalks, EmptyStartIsTheCurrentDirectory) {
    make("W/");
    make("W/w1");
    const fs::path before = fs::current_path();
    fs::current_path(dir.file("W"));
    const auto reports = scan("", "");
    fs::current_path(before);
    EXPECT_EQ(reports, (std::vector<Report>{{dir.file("W") + "/", "w1"}}));
}

TEST_P(ScanWalks, LinksAreNotFollowed) {
    for (const char* p : {"L/", "L/f1", "L/sub/", "L/sub/f2"}) make(p);
    // A link back to an ancestor would make the walk endless.
    fs::create_directory_symlink(dir.file("L"), dir.file("L/sub/loop"));
    fs::create_symlink(dir.file("L/f1"), dir.file("L/sub/f1link"));
    // Only links: a junction is not entered, a cloud placeholder is searched.
    for (const char* p : {"L/cloud/", "L/cloud/c1", "L/junction/", "L/junction/j1"}) make(p);
    headless::rig().reparseTags[dir.file("L/cloud")] = 0x9000001A;
    headless::rig().reparseTags[dir.file("L/junction")] = IO_REPARSE_TAG_MOUNT_POINT;
    std::vector<std::string> names;
    std::vector<std::uint32_t> attrs;
    walk(dir.file("L"), "*", true, [&](const std::string&, const TSearchRec& e) {
        names.push_back(e.Name);
        attrs.push_back(e.Attr);
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"f1", "c1", "f1link", "f2"}));
    EXPECT_EQ(attrs[2] & faReparsePoint, faReparsePoint);
}

TEST_P(ScanWalks, SizeAndTimeOfAnEntry) {
    make("S/");
    const std::string big = dir.file("S/big.bin");
    writeFile(big, "");
    // Sparse: 3 GiB on paper, nothing on disk.
    ASSERT_EQ(::truncate(big.c_str(), 3LL << 30), 0);
    std::tm local{};
    local.tm_year = 2004 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 9;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;
    local.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimes(big.c_str(), times), 0);

    TSearchRec found;
    walk(dir.file("S"), "BIG.BIN", false, [&](const std::string&, const TSearchRec& e) {
        found = e;
        return true;
    });
    EXPECT_EQ(found.Size, 3LL << 30);
    EXPECT_EQ(found.Attr, faArchive);
    // 2004-07-09 13:45:30 (seconds are kept in steps of two).
    EXPECT_EQ(found.Time, PackDosDateTime(2004, 7, 9, 13, 45, 30));
    EXPECT_EQ(static_cast<std::uint32_t>(found.Time), (24u << 9 | 7u << 5 | 9u) << 16 | (13u << 11 | 45u << 5 | 15u));
    const TDosDate d = UnpackDosDate(found.Time);
    EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2004, 7, 9}));
}

std::size_t threadCount() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/task"), {}));
}

// A wide tree (far past the read-ahead limits below), a deep one, hidden and
// system directories and links; every directory entered holds a file.
class GeneratedTree : public ScanTest {
protected:
    void SetUp() override {
        char name[32];
        for (int i = 0; i < 150; ++i) {
            std::snprintf(name, sizeof name, "G/w%03d/", i);
            make(name);
            make(std::string(name) + (i % 3 ? "f.txt" : "f.dat"));
        }
        std::string deep = "G/";
        for (int i = 0; i < 40; ++i) {
            make(deep += "d/");
            make(deep + "x" + std::to_string(i) + ".txt");
        }
        headless::rig().fileAttributes[dir.file("G/w007")] = faHidden;
        headless::rig().fileAttributes[dir.file("G/w013")] = faSysFile;
        fs::create_directory_symlink(dir.file("G"), dir.file(deep + "up"));
        make("G/top.txt");
    }
};

// Path, name, attributes, size, time.
using Found = std::tuple<std::string, std::string, std::uint32_t, std::int64_t, std::int32_t>;

TEST_F(GeneratedTree, TheThreadedWalkReportsWhatTheSequentialOneDoesAndStopsCleanly) {
    auto& rig = headless::rig();
    std::atomic<std::size_t> searched = 0;
    for (const char* mask : {"*.*", "*.txt"}) {
        std::vector<Found> reference;
        ScanDirectorySequential(dir.file("G"), mask, true, [&](const std::string& path, const TSearchRec& e) {
            reference.emplace_back(path, e.Name, e.Attr, e.Size, e.Time);
            return true;
        });
        ASSERT_EQ(reference.size(), std::string(mask) == "*.*" ? 189u : 139u);
        struct Config {
            unsigned workers;
            std::size_t ahead;
        };
        for (const Config c : {Config{1, 1}, {4, 3}, {0, TDirectoryScan::kReadAhead}}) {
            // Directories searched, against those reported: never more than
            // the limit ahead, one more while the walk waits for it.
            searched = 0;
            std::size_t reported = 0;
            std::string last;
            rig.onFindFirst = [&](const std::string& pattern) { searched += pattern.ends_with("/*.*"); };
            std::vector<Found> got;
            TDirectoryScan scan(dir.file("G"), mask, true, {}, c.workers, c.ahead);
            const TScanCallback add = [&](const std::string& path, const TSearchRec& e) {
                if (path != last) {
                    last = path;
                    if (++reported < 50) std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                if (std::string(mask) == "*.*") {
                    EXPECT_LE(searched, reported + c.ahead) << path;
                }
                got.emplace_back(path, e.Name, e.Attr, e.Size, e.Time);
                return true;
            };
            while (scan.Deliver(add, std::chrono::steady_clock::time_point::max()) == TScanProgress::Waiting)
                scan.Wait();
            EXPECT_EQ(got, reference) << mask << " with " << c.workers << " workers, " << c.ahead << " ahead";
            rig.onFindFirst = nullptr;
        }
    }

    // A stop part-way leaves no worker and no search behind.
    const std::size_t before = threadCount();
    std::size_t during = 0;
    int reports = 0;
    ScanDirectory(dir.file("G"), "*", true, [&](const std::string&, const TSearchRec&) {
        during = std::max(during, threadCount());
        return ++reports < 100;
    });
    EXPECT_EQ(reports, 100);
    EXPECT_GT(during, before);
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(rig.openSearches, 0);

    // Left part-way, as a window that is closed does.
    {
        TDirectoryScan scan(dir.file("G"), "*", true);
        TScanProgress step;
        while ((step = scan.Deliver([](const std::string&, const TSearchRec&) { return true; },
                                    std::chrono::steady_clock::now())) == TScanProgress::Waiting)
            scan.Wait();
        EXPECT_EQ(step, TScanProgress::More);
    }
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(rig.openSearches, 0);
}

TEST(FileMask, PlatformWildcardRules) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    };
    const Case cases[] = {
        {"abc", "*.*", true},         {"abc", "*", true},           {"ABC.TXT", "*.txt", true},
        {"abc.txt", "*.TXT", true},   {"abc.txtx", "*.txt", false}, {"a.b", "?.?", true},
        {"ab.b", "?.?", false},       {"README", "READ*.*", true},  {"READ", "READ*.*", true},
        {"READ.ME", "READ*.*", true}, {"xREAD", "READ*", false},    {"noext", "*.", true},
        {"has.ext", "*.", false},     {"a.b.c", "*.c", true},       {"Ünï.txt", "ünÏ.TXT", true},
        {"Ünï.txt", "Ünï.TXT", true}, {"Ünï.txt", "??.txt", false}, {"Ünï.txt", "???.txt", true},
        {"Łódź", "łÓDŹ", true},       {"Жук.doc", "жУК.*", true},   {"straße", "STRASSE", false},
        {"a*b", "a*", true},          {"Ünï.txt", "*.TXT", true},   {"café", "*E", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesFileMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

}  // namespace
