// The real file system under POSIX with the Windows search rules: the mask
// matches names without case, "." and ".." come first except at the root,
// and the entries follow in the upper-cased name order of an NTFS volume,
// which keeps tests independent of the directory's hash order.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/filesearch.h"

namespace {

struct Entry {
    std::string name;
    std::string key;  // upper-cased, for the order
    unsigned char type = DT_UNKNOWN;
};

class DirCloser {
public:
    explicit DirCloser(DIR* d) : dir_(d) {}
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;
    ~DirCloser() {
        if (dir_) ::closedir(dir_);
    }
    DIR* get() const { return dir_; }
    DIR* release() { return std::exchange(dir_, nullptr); }

private:
    DIR* dir_;
};

class PosixFind : public IFileFind {
public:
    PosixFind(DIR* dir, std::vector<Entry> entries) : dir_(dir), entries_(std::move(entries)) { load(); }

    bool Next() override {
        if (pos_ + 1 >= entries_.size()) return false;
        ++pos_;
        load();
        return true;
    }
    const std::string& Name() const override { return entries_[pos_].name; }
    std::uint32_t Attr() override { return attr_; }
    std::uint64_t Size() override {
        statOnce();
        return S_ISREG(st_.st_mode) ? static_cast<std::uint64_t>(st_.st_size) : 0;
    }
    std::int32_t Time() override {
        statOnce();
        std::tm local{};
        const std::time_t t = st_.st_mtime;
        ::localtime_r(&t, &local);
        return PackDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                               local.tm_sec);
    }

private:
    // The directory and link bits come from the entry type, which the
    // directory listing already gave; only links need a look at the target.
    void load() {
        stated_ = false;
        const Entry& e = entries_[pos_];
        unsigned char type = e.type;
        attr_ = 0;
        if (type == DT_UNKNOWN) {
            struct stat own {};
            if (::fstatat(::dirfd(dir_.get()), e.name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(own.st_mode) ? DT_DIR : S_ISLNK(own.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_LNK) {
            attr_ |= faReparsePoint;
            statOnce();
            type = S_ISDIR(st_.st_mode) ? DT_DIR : DT_REG;
        }
        attr_ |= type == DT_DIR ? faDirectory : faArchive;
    }
    void statOnce() {
        if (stated_) return;
        stated_ = true;
        if (::fstatat(::dirfd(dir_.get()), entries_[pos_].name.c_str(), &st_, 0) != 0) st_ = {};
    }

    DirCloser dir_;
    std::vector<Entry> entries_;
    std::size_t pos_ = 0;
    std::uint32_t attr_ = 0;
    bool stated_ = false;
    struct stat st_ {};
};

}  // namespace

std::unique_ptr<IFileFind> NativeFindFirst(const std::string& pattern) {
    const auto slash = pattern.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    DIR* raw = ::opendir(dir.c_str());
    if (!raw) return nullptr;
    DirCloser guard(raw);

    std::vector<Entry> entries;
    bool dots = false;
    while (const dirent* d = ::readdir(raw)) {
        std::string_view name = d->d_name;
        if (name == "." || name == "..") {
            dots = true;
            continue;
        }
        if (!MatchesFileMask(name, mask)) continue;
        entries.push_back({std::string(name), {}, d->d_type});
    }
    for (Entry& e : entries) {
        e.key = e.name;
        for (char& c : e.key)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    if (dots && dir != "/") {
        std::vector<Entry> front;
        for (const char* d : {".", ".."})
            if (MatchesFileMask(d, mask)) front.push_back({d, d, DT_DIR});
        entries.insert(entries.begin(), front.begin(), front.end());
    }
    if (entries.empty()) return nullptr;
    return std::make_unique<PosixFind>(guard.release(), std::move(entries));
}

std::vector<std::string> NativeLogicalDrives() { return {}; }

std::string NativeFormatShortDate(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d/%d", month, day, year);
    return text;
}
