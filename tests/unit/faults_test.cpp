// Configuration writes that fail. Whatever stops a write (a directory that
// takes no new files, a read-only volume or file, a directory where the file
// should be, a full disk), the file keeps its previous bytes, no temporary
// file stays behind, the error goes to the default error report, and the
// command that wrote goes on as the user expects: the close is abandoned, the
// session is not ended, the Help window stays open. Only the sample, a bare
// name, moves to the user's own folder when refused for want of rights.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>

#include "finder/srch.h"
#include "fixture.h"
#include "functions/help.h"
#include "platform/filesearch.h"

namespace fs = std::filesystem;

namespace {

enum class Fault {
    DirectoryTakesNoFiles,  // no write access to the file's directory (the fake's EACCES)
    ReadOnlyVolume,         // a real read-only bind mount over the directory
    ReadOnlyBit,            // the file's write permission cleared
    ReadOnlyAttribute,      // the Windows read-only attribute on the file
    DirectoryInPlace,       // a directory where the file should be
    DiskFull,               // the fake disk takes part of the temporary file, then ENOSPC
    DiskFullTmpfs,          // a real tmpfs with no room left
};

std::string faultName(const testing::TestParamInfo<Fault>& info) {
    switch (info.param) {
        case Fault::DirectoryTakesNoFiles: return "DirectoryTakesNoFiles";
        case Fault::ReadOnlyVolume: return "ReadOnlyVolume";
        case Fault::ReadOnlyBit: return "ReadOnlyBit";
        case Fault::ReadOnlyAttribute: return "ReadOnlyAttribute";
        case Fault::DirectoryInPlace: return "DirectoryInPlace";
        case Fault::DiskFull: return "DiskFull";
        case Fault::DiskFullTmpfs: return "DiskFullTmpfs";
    }
    return "Unknown";
}

std::string normal(const std::string& path) { return fs::path(path).lexically_normal().string(); }

// A file's bytes; a directory's names and their files' bytes; or "<none>".
std::string snapshot(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        std::string out = "<directory>";
        std::set<std::string> names;
        for (auto& e : fs::directory_iterator(path)) names.insert(e.path().filename().string());
        for (auto& n : names) out += "\n" + n + ":" + readFile(path + "/" + n);
        return out;
    }
    if (!fs::exists(path, ec)) return "<none>";
    return readFile(path);
}

std::set<std::string> listing(const std::string& dir) {
    std::set<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// A mount namespace of this process's own, so that a mount made by a test is
// gone with the process whatever happens to it. Needs root.
bool privateMountNamespace(std::string& why) {
    static std::string failure = [] {
        if (::geteuid() != 0) return std::string("not running as root");
        if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("making mounts private: ") + std::strerror(errno);
        return std::string();
    }();
    why = failure;
    return failure.empty();
}

// The directory that holds the configuration for one kind of fault, and the
// fault itself, which arm() sets off and disarm() takes away.
class Scene {
public:
    explicit Scene(Fault fault) : fault_(fault) {
        if (fault == Fault::DiskFullTmpfs) {
            const char* root = std::getenv("TOLVEK_FULL_FS_DIR");
            if (!root || !*root) {
                unavailable = "TOLVEK_FULL_FS_DIR is not set; run under scripts/with-full-fs.sh for a real full disk";
                return;
            }
            tmpfsRoot_ = root;
            std::string tmpl = tmpfsRoot_ + "/case-XXXXXX";
            if (!::mkdtemp(tmpl.data())) {
                unavailable = "cannot make a directory in " + tmpfsRoot_ + ": " + std::strerror(errno);
                return;
            }
            dir = tmpl;
        } else {
            temp_.emplace();
            dir = temp_->path();
        }
        std::string why;
        if (fault == Fault::ReadOnlyVolume && !privateMountNamespace(why))
            unavailable = "no read-only bind mount possible (" + why + ")";
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    ~Scene() {
        disarm();
        std::error_code ec;
        if (!tmpfsRoot_.empty() && !dir.empty()) fs::remove_all(dir, ec);
    }

    // The previous state of `target`: the file, or for DirectoryInPlace a
    // directory of that name with a file in it.
    void place(const std::string& target, const std::string& bytes) {
        if (fault_ == Fault::DirectoryInPlace) {
            fs::create_directory(target);
            writeFile(target + "/keep.txt", bytes);
        } else {
            writeFile(target, bytes);
        }
        ASSERT_NE(snapshot(target), "<none>") << "could not place " << target;
    }

    // From now on writes of `target` fail. A full disk leaves `room` bytes
    // free, which a temporary file fills before the write fails.
    void arm(const std::string& target, std::size_t room = 4096) {
        target_ = target;
        armed_ = true;
        auto& rig = headless::rig();
        switch (fault_) {
            case Fault::DirectoryTakesNoFiles:
                rig.dirWriteErrors[normal(dir)] = EACCES;
                break;
            case Fault::ReadOnlyVolume:
                if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                    ADD_FAILURE() << "bind mount of " << dir << ": " << std::strerror(errno);
                    break;
                }
                mounted_ = true;
                if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                    ADD_FAILURE() << "read-only remount of " << dir << ": " << std::strerror(errno);
                break;
            case Fault::ReadOnlyBit:
                fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                break;
            case Fault::ReadOnlyAttribute:
                rig.fileAttributes[normal(target)] = faReadOnly | faArchive;
                break;
            case Fault::DirectoryInPlace:
                break;  // placed so from the start
            case Fault::DiskFull:
                rig.freeSpace = room;
                break;
            case Fault::DiskFullTmpfs:
                fillTmpfs(room);
                break;
        }
    }

    void disarm() {
        if (!armed_) return;
        armed_ = false;
        std::error_code ec;
        switch (fault_) {
            case Fault::DirectoryTakesNoFiles:
                if (Application) headless::rig().dirWriteErrors.clear();
                break;
            case Fault::ReadOnlyVolume:
                if (mounted_ && ::umount2(dir.c_str(), 0) != 0)
                    ADD_FAILURE() << "unmounting " << dir << ": " << std::strerror(errno);
                mounted_ = false;
                break;
            case Fault::ReadOnlyBit:
                fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write, ec);
                break;
            case Fault::ReadOnlyAttribute:
                if (Application) headless::rig().fileAttributes.erase(normal(target_));
                break;
            case Fault::DirectoryInPlace:
                fs::remove_all(target_, ec);
                break;
            case Fault::DiskFull:
                if (Application) headless::rig().freeSpace.reset();
                break;
            case Fault::DiskFullTmpfs:
                if (!ballast_.empty()) fs::remove(ballast_, ec);
                break;
        }
    }

    Fault fault() const { return fault_; }

    std::string unavailable;  // why this scene cannot be had here; empty when it can
    std::string dir;          // holds the configuration file

private:
    // Fills the tmpfs to the last block, then frees blocks for `room` bytes.
    void fillTmpfs(std::size_t room) {
        ballast_ = tmpfsRoot_ + "/ballast-" + std::to_string(::getpid());
        const int fd = ::open(ballast_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) {
            ADD_FAILURE() << "cannot make " << ballast_ << ": " << std::strerror(errno);
            return;
        }
        struct statvfs vfs {};
        ::statvfs(tmpfsRoot_.c_str(), &vfs);
        const off_t block = static_cast<off_t>(vfs.f_frsize);
        const std::string chunk(static_cast<std::size_t>(block), 'b');
        off_t size = 0;
        for (;;) {
            const ssize_t n = ::write(fd, chunk.data(), chunk.size());
            if (n <= 0) break;
            size += n;
        }
        const int lastError = errno;
        const off_t freed = (static_cast<off_t>(room) + block - 1) / block * block;
        const off_t keep = size / block * block - freed;
        if (lastError != ENOSPC || keep < 0) {
            ADD_FAILURE() << "the tmpfs at " << tmpfsRoot_ << " did not fill as expected: " << size
                          << " bytes of ballast, last error " << std::strerror(lastError);
        } else if (::ftruncate(fd, keep) != 0) {
            ADD_FAILURE() << "ftruncate: " << std::strerror(errno);
        }
        ::close(fd);
        ::statvfs(tmpfsRoot_.c_str(), &vfs);
        EXPECT_EQ(static_cast<off_t>(vfs.f_bavail) * block, freed) << "free space on the tmpfs";
    }

    Fault fault_;
    std::optional<TempDir> temp_;
    std::string tmpfsRoot_, ballast_, target_;
    bool armed_ = false, mounted_ = false;
};

// Watches every replacement of one file: what it held just before, and arms
// the scene at the `armAt`-th replacement (0: never).
struct WriteWatch {
    int calls = 0;
    std::string lastBefore;

    void install(Scene& scene, const std::string& target, int armAt = 0, std::size_t room = 4096) {
        headless::rig().failReplace = [this, &scene, target, armAt, room](const std::string& path) {
            if (path != target) return false;
            ++calls;
            lastBefore = snapshot(target);
            if (calls == armAt) scene.arm(target, room);
            return false;
        };
    }
};

// More than one block of a file system, so that a disk with one block free
// takes part of the new file before it refuses the rest.
std::string bigConfig() {
    std::string text =
        "[CONFIG]\r\nCaption=Go\r\nLeft=12\r\nTop=34\r\nShell=1\r\n\r\n"
        "[ALLINFO]\r\nLegacy1=calc \r\n\r\n"
        "[SEARCH]\r\nFilter1=*.txt\r\nStartIn1=C:\\\r\n\r\n[NOTES]\r\n";
    for (int i = 1; i <= 60; ++i) text += "Note" + std::to_string(i) + "=" + std::string(80, 'n') + "\r\n";
    return text;
}

class ConfigWriteFault : public testing::TestWithParam<Fault> {
protected:
    void SetUp() override {
        if (!scene.unavailable.empty()) GTEST_SKIP() << scene.unavailable;
        rig().windowsDir = scene.dir;
        rig().userDataDir = userData.path();
    }

    headless::Rig& rig() { return headless::rig(); }
    TTolvekForm& makeMain(const std::string& config) {
        return *app.CreateForm<TTolvekForm>(TMenuVariant::Full, config, std::vector<std::string>{config});
    }
    std::string ini(const std::string& file, const std::string& section, const std::string& key) {
        return TIniFile(app.OS(), file).ReadString(section, key, "<missing>");
    }
    // The title the main window gives the application: its caption from the
    // file, or the default where a directory stands in the file's place.
    std::string title() const { return GetParam() == Fault::DirectoryInPlace ? "BEGIN v1.25" : "Go v1.25"; }

    void expectWriteError(const headless::MessageBoxCall& box, const std::string& name) {
        EXPECT_EQ(box.text, "Unable to write to " + name + ".");
        EXPECT_EQ(box.caption, title());
        EXPECT_EQ(box.flags, MB_OK | MB_ICONSTOP);
    }
    // Every temporary file the backend made is gone; the one the fake disk
    // took part of got only the room there was.
    void expectTemporariesGone(std::size_t room = 4096) {
        for (auto& temp : rig().tempWrites) EXPECT_FALSE(fs::exists(temp.path)) << temp.path;
        if (GetParam() == Fault::DiskFull || GetParam() == Fault::DiskFullTmpfs) {
            ASSERT_FALSE(rig().tempWrites.empty()) << "the full disk was never reached";
        }
        if (GetParam() == Fault::DiskFull) {
            EXPECT_EQ(rig().tempWrites.back().written, room);
        }
    }

    // These outlive the application, whose end may still write.
    TempDir userData;
    Scene scene{GetParam()};
    WriteWatch watch;
    TApplication app;
};

TEST_P(ConfigWriteFault, CloseWithYesIsAbandonedAndTheFileKept) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    m.SetBounds(70, 80, 104, 27);
    const std::string before = snapshot(target);
    const auto names = listing(scene.dir);
    scene.arm(target);

    rig().answers = {IDYES};
    app.Dispatch([&] { m.CloseTolvek1->Click(); });
    ASSERT_EQ(rig().messageBoxes.size(), 2u);
    EXPECT_EQ(rig().messageBoxes[0].caption, "Exit");
    expectWriteError(rig().messageBoxes[1], target);
    EXPECT_FALSE(m.Closed());
    EXPECT_FALSE(app.Terminated());
    EXPECT_TRUE(m.History.has_value());
    EXPECT_TRUE(rig().exitWindowsCalls.empty()) << "Shell=1 ended the session although the close failed";
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();

    // Without the fault the same close goes through.
    scene.disarm();
    rig().answers = {IDYES};
    app.Dispatch([&] { m.CloseTolvek1->Click(); });
    EXPECT_EQ(rig().messageBoxes.size(), 3u);
    EXPECT_TRUE(m.Closed());
    EXPECT_EQ(ini(target, "CONFIG", "Left"), "70");
    EXPECT_EQ(ini(target, "ALLINFO", "Legacy10"), "");
    if (GetParam() != Fault::DirectoryInPlace) {
        EXPECT_EQ(rig().exitWindowsCalls.size(), 1u);
        EXPECT_EQ(ini(target, "ALLINFO", "Legacy1"), "calc");
    }
}

TEST_P(ConfigWriteFault, ShutdownCommandsSendNothingWhenTheHistoryIsNotSaved) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    (*m.History)[1] = "notepad ";
    const std::string before = snapshot(target);
    const auto names = listing(scene.dir);
    scene.arm(target);

    struct Command {
        void (TTolvekForm::*handler)(TObject*);
        std::vector<int> answers;
    };
    const Command commands[] = {{&TTolvekForm::EndWindows1Click, {IDYES}},
                                {&TTolvekForm::RestartWindows1Click, {IDYES}},
                                {&TTolvekForm::RebootComputer1Click, {IDYES, IDYES}}};
    for (const Command& c : commands) {
        rig().messageBoxes.clear();
        rig().answers.assign(c.answers.begin(), c.answers.end());
        app.Dispatch([&] { (m.*c.handler)(nullptr); });
        ASSERT_EQ(rig().messageBoxes.size(), c.answers.size() + 1);
        expectWriteError(rig().messageBoxes.back(), target);
        EXPECT_TRUE(rig().exitWindowsCalls.empty());
        EXPECT_FALSE(rig().shutdownPrivilege);
        // Still held, so a later close can save it.
        ASSERT_TRUE(m.History.has_value());
        EXPECT_EQ((*m.History)[1], "notepad ");
    }
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();

    scene.disarm();
    rig().answers = {IDYES};
    app.Dispatch([&] { m.EndWindows1Click(nullptr); });
    EXPECT_EQ(rig().exitWindowsCalls.size(), 1u);
    EXPECT_FALSE(m.History.has_value());
    EXPECT_EQ(ini(target, "ALLINFO", "Legacy2"), "notepad");
}

TEST_P(ConfigWriteFault, DestroyingTheWindowReportsTheUnsavedHistory) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    (*m.History)[0] = "write ";
    const std::string before = snapshot(target);
    const auto names = listing(scene.dir);
    scene.arm(target);

    // What the application's end does, kept apart so the report can be seen.
    m.DoDestroy();
    ASSERT_EQ(rig().messageBoxes.size(), 1u);
    expectWriteError(rig().messageBoxes[0], target);
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();
}

TEST_P(ConfigWriteFault, FindFileHistoriesAreNotSavedAndTheLauncherGoesOn) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    rig().modalResponders["TSearchFrm"] = [](TForm& form) {
        auto& w = static_cast<TSearchFrm&>(form);
        AddToSearchHistory(w.txtSearchFilter, "*.new");
        AddToSearchHistory(w.txtStartIn, "D:\\NEW");
        w.spdStopNow.Click();
    };
    const std::string before = snapshot(target);
    const auto names = listing(scene.dir);
    scene.arm(target);

    app.Dispatch([&] { m.FindFile1Click(nullptr); });
    EXPECT_EQ(rig().modalShown, std::vector<std::string>{"TSearchFrm"});
    ASSERT_EQ(rig().messageBoxes.size(), 1u);
    expectWriteError(rig().messageBoxes[0], target);
    EXPECT_FALSE(m.Closed());
    EXPECT_FALSE(app.Terminated());
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();

    // The next opening saves what it has.
    scene.disarm();
    app.Dispatch([&] { m.FindFile1Click(nullptr); });
    EXPECT_EQ(rig().messageBoxes.size(), 1u);
    EXPECT_EQ(ini(target, "SEARCH", "Filter1"), "*.new");
    const std::string startIn = GetParam() == Fault::DirectoryInPlace ? "StartIn1" : "StartIn2";
    EXPECT_EQ(ini(target, "SEARCH", startIn), "D:\\NEW");
}

TEST_P(ConfigWriteFault, SampleWriterStopsAndTheHelpWindowStaysOpen) {
    TempDir activeDir;
    const std::string active = activeDir.file("active.ini");
    const std::string activeBytes = "[CONFIG]\r\nCaption=Go\r\nQuickClose=1\r\n";
    writeFile(active, activeBytes);
    const std::string target = scene.dir + "/TOLVEK.INI";
    const Fault fault = GetParam();
    // A read-only file is still a file: the writer refuses before writing.
    const bool refused = fault == Fault::ReadOnlyBit || fault == Fault::ReadOnlyAttribute;
    const bool moves = fault == Fault::DirectoryTakesNoFiles || fault == Fault::ReadOnlyVolume;
    const std::string sample = readFile(std::string(TOLVEK_SOURCE_DIR) + "/scripts/sample.ini");
    if (refused || fault == Fault::DirectoryInPlace) scene.place(target, "[CONFIG]\r\nCaption=Old\r\n");
    // The fake disk fills up a few keys into the sample; the tmpfs has no room at all.
    const std::size_t room = fault == Fault::DiskFull ? 600 : 0;
    TTolvekForm& m = makeMain(active);
    const std::string before = snapshot(target);
    const auto names = listing(scene.dir);
    watch.install(scene, target);
    scene.arm(target, room);

    std::string afterFailure;
    int writesTried = 0;
    std::string beforeFailedWrite;
    std::set<std::string> listingAfterFailure;
    rig().modalResponders["TfrmHelp"] = [&](TForm& form) {
        auto& help = static_cast<TfrmHelp&>(form);
        app.Dispatch([&] { help.spdSample.Click(); });
        writesTried = watch.calls;
        beforeFailedWrite = watch.lastBefore;
        EXPECT_FALSE(help.Closed());
        EXPECT_EQ(help.ModalResult(), mrNone);
        afterFailure = snapshot(target);
        listingAfterFailure = listing(scene.dir);
        scene.disarm();
        app.Dispatch([&] { help.spdSample.Click(); });
        help.spdDone.Click();
    };
    app.Dispatch([&] { m.Help1Click(nullptr); });
    EXPECT_EQ(rig().modalShown, std::vector<std::string>{"TfrmHelp"});
    ASSERT_GE(rig().messageBoxes.size(), 1u);
    const std::string refusal = "You Already have a \"TOLVEK.INI\" file!  I can't overwrite it!";
    if (refused || moves) {
        // Where the first press moved the sample, the second press's refusal is the only box.
        EXPECT_EQ(rig().messageBoxes[0].text, refusal);
        EXPECT_EQ(rig().messageBoxes[0].caption, "Error");
        EXPECT_EQ(rig().messageBoxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(rig().tempWrites.empty(), refused);
        EXPECT_EQ(readFile(userData.file("Tolvek/TOLVEK.INI")), moves ? sample : "");
        EXPECT_EQ(afterFailure, before);
    } else {
        EXPECT_EQ(rig().messageBoxes[0].text, "Unable to write to TOLVEK.INI.");
        EXPECT_EQ(rig().messageBoxes[0].caption, "Go v1.25");
        EXPECT_EQ(rig().messageBoxes[0].flags, MB_OK | MB_ICONSTOP);
        if (fault == Fault::DiskFull) {
            // The keys written before the disk filled stay; the failed write left them as they were.
            EXPECT_GT(writesTried, 1);
            EXPECT_EQ(afterFailure, beforeFailedWrite);
            EXPECT_NE(afterFailure.find("TotalEntries=6\r\n"), std::string::npos) << afterFailure;
            EXPECT_LE(afterFailure.size(), room);
        } else {
            EXPECT_EQ(writesTried, 1);
            EXPECT_EQ(afterFailure, before);
        }
        expectTemporariesGone(room);
    }
    listingAfterFailure.erase("TOLVEK.INI");
    auto namesBefore = names;
    namesBefore.erase("TOLVEK.INI");
    EXPECT_EQ(listingAfterFailure, namesBefore) << "files left beside the sample";

    // The second press: a file that is there now is refused, otherwise the
    // whole sample is written.
    if (moves) {
        EXPECT_EQ(rig().messageBoxes.size(), 1u);
        EXPECT_EQ(snapshot(target), before);
    } else if (refused || fault == Fault::DiskFull) {
        ASSERT_EQ(rig().messageBoxes.size(), 2u);
        EXPECT_EQ(rig().messageBoxes[1].text, refusal);
        EXPECT_EQ(snapshot(target), afterFailure);
    } else {
        EXPECT_EQ(rig().messageBoxes.size(), 1u);
        EXPECT_EQ(readFile(target), sample);
    }
    EXPECT_EQ(readFile(active), activeBytes);
}

INSTANTIATE_TEST_SUITE_P(Faults, ConfigWriteFault,
                         testing::Values(Fault::DirectoryTakesNoFiles, Fault::ReadOnlyVolume, Fault::ReadOnlyBit,
                                         Fault::ReadOnlyAttribute, Fault::DirectoryInPlace, Fault::DiskFull,
                                         Fault::DiskFullTmpfs),
                         faultName);

// Faults that strike in the middle of a command: the writes before stay, the
// failing one leaves the file as those made it.
class MidwayWriteFault : public ConfigWriteFault {};

TEST_P(MidwayWriteFault, CloseStopsAtTheHistoryAfterTheSettings) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    m.SetBounds(70, 80, 104, 27);
    (*m.History)[1] = "notepad ";
    const auto names = listing(scene.dir);
    watch.install(scene, target, 5);  // Left, Top, StayOnTop, AlwaysPopup, then Legacy1

    rig().answers = {IDYES};
    app.Dispatch([&] { m.CloseTolvek1->Click(); });
    ASSERT_EQ(rig().messageBoxes.size(), 2u);
    expectWriteError(rig().messageBoxes[1], target);
    EXPECT_EQ(watch.calls, 5);
    EXPECT_FALSE(m.Closed());
    EXPECT_TRUE(m.History.has_value());
    // Shell=1 asks for the end of the session before the history is saved.
    EXPECT_EQ(rig().exitWindowsCalls.size(), 1u);
    EXPECT_EQ(snapshot(target), watch.lastBefore);
    EXPECT_EQ(ini(target, "CONFIG", "Left"), "70");
    EXPECT_EQ(ini(target, "CONFIG", "Top"), "80");
    EXPECT_EQ(ini(target, "ALLINFO", "Legacy2"), "<missing>");
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();
}

TEST_P(MidwayWriteFault, FindFileStopsAtTheStartingDirectories) {
    const std::string target = scene.dir + "/tolvek.ini";
    scene.place(target, bigConfig());
    TTolvekForm& m = makeMain(target);
    rig().modalResponders["TSearchFrm"] = [](TForm& form) {
        auto& w = static_cast<TSearchFrm&>(form);
        AddToSearchHistory(w.txtSearchFilter, "*.new");
        AddToSearchHistory(w.txtStartIn, "D:\\NEW");
        w.spdStopNow.Click();
    };
    const auto names = listing(scene.dir);
    watch.install(scene, target, 3);  // Filter1, Filter2, then StartIn1

    app.Dispatch([&] { m.FindFile1Click(nullptr); });
    ASSERT_EQ(rig().messageBoxes.size(), 1u);
    expectWriteError(rig().messageBoxes[0], target);
    EXPECT_EQ(watch.calls, 3);
    EXPECT_EQ(snapshot(target), watch.lastBefore);
    EXPECT_EQ(ini(target, "SEARCH", "Filter1"), "*.new");
    EXPECT_EQ(ini(target, "SEARCH", "Filter2"), "*.txt");
    EXPECT_EQ(ini(target, "SEARCH", "StartIn2"), "<missing>");
    EXPECT_EQ(listing(scene.dir), names);
    expectTemporariesGone();
}

// A directory in the file's place cannot appear between two writes.
INSTANTIATE_TEST_SUITE_P(Faults, MidwayWriteFault,
                         testing::Values(Fault::DirectoryTakesNoFiles, Fault::ReadOnlyVolume, Fault::ReadOnlyBit,
                                         Fault::ReadOnlyAttribute, Fault::DiskFull, Fault::DiskFullTmpfs),
                         faultName);

}  // namespace
