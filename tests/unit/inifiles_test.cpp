#include "platform/inifiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Real files in a private temporary directory, which also stands in for the
// Windows directory; writes can be made to fail.
class TempDirOS : public IOperatingSystem {
public:
    enum class Failure { None, FileIOError, OtherError };

    explicit TempDirOS(std::string windowsDir) : windowsDir_(std::move(windowsDir)) {}

    Failure failWrites = Failure::None;
    int reads = 0;

    bool FileExists(const std::string& path) override { return fs::is_regular_file(path); }
    std::string WindowsDirectory() override { return windowsDir_; }
    std::optional<std::string> ReadFile(const std::string& path) override {
        ++reads;
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void ReplaceFile(const std::string& path, const std::string& bytes) override {
        if (failWrites == Failure::FileIOError) throw EFileIOError("read-only: " + path);
        if (failWrites == Failure::OtherError) throw std::runtime_error("disk full");
        std::string temp = path + ".tmp";
        std::ofstream(temp, std::ios::binary) << bytes;
        fs::rename(temp, path);
    }
    std::string GetCurrentDir() override { return fs::current_path().string(); }
    bool SetCurrentDir(const std::string&) override { return false; }
    ShellResult ShellExecute(const std::string&, const std::string&, const std::string&, int) override { return {}; }
    bool GetExitCodeProcess(const TProcessHandle&, unsigned&) override { return false; }
    void CloseProcess(std::uintptr_t) override {}
    unsigned WinExec(const std::string&, int) override { return 0; }
    std::string LoadString(unsigned) override { return {}; }
    bool EnableShutdownPrivilege() override { return false; }
    FreeResources GetFreeResources() override { return {}; }
    bool ExitWindowsEx(unsigned, unsigned) override { return false; }
    bool WinHelp(const std::string&, unsigned, std::uintptr_t) override { return false; }
    bool WinHelpKey(const std::string&, const std::string&) override { return false; }
    TSystemTime GetLocalTime() override { return {}; }
    std::uint64_t GetTickCount64() override { return 0; }
    std::string LongMonthName(int) override { return {}; }
    std::string TimeSeparator() override { return ":"; }

private:
    std::string windowsDir_;
};

class IniFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("tolvek-ini-" + std::to_string(seed()));
        fs::create_directories(dir_);
        os_ = std::make_unique<TempDirOS>(dir_.string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string get(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
    std::unique_ptr<TempDirOS> os_;
};

TEST_F(IniFileTest, ReadsIntegersWithTheToolkitRules) {
    put("x.ini",
        "[N]\r\n"
        "hex=0x10\r\n"
        "dollar=$10\r\n"
        "negative=\" -5\"\r\n"
        "trailing=12abc\r\n"
        "empty=\r\n"
        "big=65537\r\n"
        "flag=256\r\n"
        "tooBig=4294967296\r\n");
    TIniFile ini(*os_, "x.ini");
    EXPECT_EQ(ini.ReadInteger("N", "hex", 7), 16);
    EXPECT_EQ(ini.ReadInteger("N", "dollar", 7), 16);
    EXPECT_EQ(ini.ReadInteger("N", "negative", 7), -5);
    EXPECT_EQ(ini.ReadInteger("N", "trailing", 7), 7);
    EXPECT_EQ(ini.ReadInteger("N", "empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("N", "missing", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Other", "hex", 7), 7);
    // Callers mask to the bits they use; the accessor reads the whole number.
    EXPECT_EQ(ini.ReadInteger("N", "big", 0), 65537);
    EXPECT_EQ(ini.ReadInteger("N", "flag", 0), 256);
    EXPECT_EQ(ini.ReadInteger("N", "tooBig", 3), 3);
}

TEST_F(IniFileTest, MissingFileReadsDefaultsAndTheFirstWriteCreatesIt) {
    TIniFile ini(*os_, "x.ini");
    EXPECT_EQ(ini.ReadString("CONFIG", "Caption", "BEGIN"), "BEGIN");
    EXPECT_EQ(ini.ReadInteger("CONFIG", "Left", 0), 0);
    EXPECT_FALSE(os_->FileExists(path("x.ini")));

    ini.WriteString("App", "key", "stríng");  // a new file is ANSI, as the platform makes one
    EXPECT_EQ(get("x.ini"), "[App]\r\nkey=str\xEDng\r\n");
    ini.WriteInteger("App", "n", -42);
    ini.WriteString("App", "key", "");
    EXPECT_EQ(get("x.ini"), "[App]\r\nkey=\r\nn=-42\r\n");

    TIniFile again(*os_, "x.ini");
    EXPECT_EQ(again.ReadInteger("app", "N", 0), -42);
    EXPECT_EQ(again.ReadString("APP", "KEY", "dflt"), "");
}

TEST_F(IniFileTest, WritesKeepTheRestOfTheFileOnDisk) {
    const std::string original =
        "; comment\r\n"
        "[CONFIG]\r\n"
        "Left = 5\r\n"
        "\r\n"
        "[ALLINFO]\n"
        "Legacy1=\"quoted\"\n";
    put("x.ini", original);
    TIniFile ini(*os_, "x.ini");
    ini.WriteInteger("config", "LEFT", 300);
    ini.WriteInteger("CONFIG", "Top", 20);
    EXPECT_EQ(get("x.ini"),
              "; comment\r\n"
              "[CONFIG]\r\n"
              "Left=300\r\n"
              "Top=20\r\n"
              "\r\n"
              "[ALLINFO]\n"
              "Legacy1=\"quoted\"\n");
    // One read of the file serves every lookup and write.
    for (int i = 0; i < 50; ++i) ini.ReadString("ALLINFO", "Legacy1", "");
    EXPECT_EQ(os_->reads, 1);
}

TEST_F(IniFileTest, FailedWriteLeavesFileAndDataUnchanged) {
    const std::string original = "[CONFIG]\r\nLeft=5\r\n";
    put("x.ini", original);
    TIniFile ini(*os_, "x.ini");

    for (auto failure : {TempDirOS::Failure::FileIOError, TempDirOS::Failure::OtherError}) {
        os_->failWrites = failure;
        using Name = std::pair<const char*, const char*>;
        for (auto [section, key] : {Name{"CONFIG", "Left"}, Name{"CONFIG", "Top"}, Name{"ALLINFO", "Legacy1"}}) {
            SCOPED_TRACE(std::string(section) + "/" + key);
            try {
                ini.WriteString(section, key, "99");
                ADD_FAILURE() << "the write did not fail";
            } catch (const EIniFileException& e) {
                EXPECT_EQ(e.Message(), "Unable to write to x.ini");
            }
            EXPECT_EQ(get("x.ini"), original);
            EXPECT_EQ(ini.ReadString(section, key, "none"), std::string(key) == "Left" ? "5" : "none");
        }
    }

    // Nothing of the failed writes comes back with the next good one.
    os_->failWrites = TempDirOS::Failure::None;
    ini.WriteString("CONFIG", "Caption", "Go");
    EXPECT_EQ(get("x.ini"), "[CONFIG]\r\nLeft=5\r\nCaption=Go\r\n");
}

TEST_F(IniFileTest, BareNamesLiveInTheWindowsDirectory) {
    TIniFile bare(*os_, "TOLVEK.INI");
    EXPECT_EQ(bare.FileName(), "TOLVEK.INI");
    EXPECT_EQ(bare.Path(), path("TOLVEK.INI"));
    bare.WriteString("App", "k", "v");
    EXPECT_TRUE(os_->FileExists(path("TOLVEK.INI")));

    // A name with any directory part is used as given.
    fs::create_directories(dir_ / "sub");
    TIniFile relative(*os_, path("sub/own.ini"));
    EXPECT_EQ(relative.Path(), path("sub/own.ini"));

    TempDirOS windows("C:\\WINDOWS");
    EXPECT_EQ(ResolveProfilePath(windows, "TOLVEK.INI"), "C:\\WINDOWS\\TOLVEK.INI");
    EXPECT_EQ(ResolveProfilePath(windows, "C:TOLVEK.INI"), "C:TOLVEK.INI");
    EXPECT_EQ(ResolveProfilePath(windows, "..\\TOLVEK.INI"), "..\\TOLVEK.INI");
    EXPECT_EQ(ResolveProfilePath(windows, "cfg/TOLVEK.INI"), "cfg/TOLVEK.INI");
}

}  // namespace

namespace {

TEST_F(IniFileTest, SharedParsesFollowTheBytesAndWritesStayPrivate) {
    put("a.ini", "\xEF\xBB\xBF[S]\r\nk=one\r\n");
    TIniFile::ShareParses sharing;
    TIniFile first(*os_, path("a.ini"));
    TIniFile second(*os_, path("a.ini"));
    EXPECT_EQ(second.ReadString("S", "k", ""), "one");

    // A write goes to the writer's own copy and to the file, not to the other reader.
    second.WriteString("S", "k", "two");
    EXPECT_EQ(first.ReadString("S", "k", ""), "one");
    EXPECT_EQ(get("a.ini"), "\xEF\xBB\xBF[S]\r\nk=two\r\n");

    // Changed bytes are parsed again.
    TIniFile third(*os_, path("a.ini"));
    EXPECT_EQ(third.ReadString("S", "k", ""), "two");
    put("a.ini", "[S]\r\nk=three\r\n");
    EXPECT_EQ(TIniFile(*os_, path("a.ini")).ReadString("S", "k", ""), "three");
    EXPECT_EQ(os_->reads, 4);  // every accessor reads the file; only the parse is shared
}

}  // namespace
