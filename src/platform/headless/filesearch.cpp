// The real file system under POSIX with the Windows search rules: the mask
// matches names without case, "." and ".." come first except at the root,
// and the entries follow in the upper-cased name order of an NTFS volume,
// which keeps tests independent of the directory's hash order.
#include "platform/filesearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

class FdCloser {
public:
    explicit FdCloser(int fd = -1) : fd_(fd) {}
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// One directory as read, open for looking up its entries. A scan searches
// each directory twice in a row (files with the mask, then subdirectories),
// so a listing may serve one more search of its directory while that is
// unchanged. File times come from the coarse clock, so a directory changed
// in the same tick as it was read could change again unseen: such a
// listing is not kept.
struct Listing {
    explicit Listing(int fd) : fd(fd) {}
    struct Entry {
        std::uint32_t at;  // in names
        std::uint32_t size;
        unsigned char type;
        std::uint64_t head = 0;  // the upper-cased name's first bytes, the first highest
    };
    std::string_view name(const Entry& e) const { return std::string_view(names).substr(e.at, e.size); }

    std::string dir;
    FdCloser fd;
    struct stat st {};
    // All names in one block, as few allocations as possible per directory.
    std::string names;
    // "." and ".." first, then the others in name order.
    std::vector<Entry> entries;
};
constexpr std::size_t kDots = 2;

bool sameState(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec && a.st_size == b.st_size;
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// upperAscii on eight bytes at once.
std::uint64_t upperAscii8(std::uint64_t x) {
    constexpr std::uint64_t ones = 0x0101010101010101;
    const std::uint64_t low7 = x & 0x7F * ones;
    // Bit 7 of each byte: from 'a' on, past 'z', and a byte of 0x80 or more.
    const std::uint64_t fromA = low7 + (0x80 - 'a') * ones;
    const std::uint64_t pastZ = low7 + (0x80 - 'z' - 1) * ones;
    return x - ((fromA & ~pastZ & ~x & 0x80 * ones) >> 2);
}

// Room for `more`, growing as push_back would: a reserve of the exact size
// at every batch would copy everything each time.
template <class Container>
void reserveMore(Container& c, std::size_t more) {
    if (c.size() + more > c.capacity()) c.reserve(std::max(c.size() + more, 2 * c.capacity()));
}

bool before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

std::shared_ptr<const Listing> readListing(const std::string& dir) {
    thread_local std::shared_ptr<const Listing> last;
    if (auto kept = std::exchange(last, nullptr); kept && kept->dir == dir) {
        struct stat now {};
        if (::stat(dir.c_str(), &now) == 0 && sameState(kept->st, now)) return kept;
    }
    timespec readAt{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &readAt);
    auto listing = std::make_shared<Listing>(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int fd = listing->fd.get();
    if (fd < 0 || ::fstat(fd, &listing->st) != 0) return nullptr;
    listing->dir = dir;
    std::string& names = listing->names;
    std::vector<Listing::Entry>& entries = listing->entries;
    names = "..";
    const auto dots = [&] {
        entries.push_back({0, 1, DT_DIR});
        entries.push_back({0, 2, DT_DIR});
    };
    alignas(8) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n < 0) return nullptr;
        if (n == 0) break;
        // Bounds: the names are shorter than their records, which take 24
        // bytes at least.
        reserveMore(names, static_cast<std::size_t>(n));
        reserveMore(entries, kDots + static_cast<std::size_t>(n) / 24);
        if (entries.empty()) dots();
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            entries.push_back(
                {static_cast<std::uint32_t>(names.size()), static_cast<std::uint32_t>(name.size()), e->d_type});
            names += name;
        }
    }
    if (entries.empty()) dots();
    // Upper-cased names in byte order; most differ in their first eight
    // bytes, so their heads decide.
    for (auto e = entries.begin() + kDots; e != entries.end(); ++e) {
        unsigned char head[8] = {};
        std::memcpy(head, names.data() + e->at, std::min<std::size_t>(e->size, sizeof head));
        for (unsigned char c : head) e->head = e->head << 8 | c;
        e->head = upperAscii8(e->head);
    }
    std::sort(entries.begin() + kDots, entries.end(), [&](const Listing::Entry& a, const Listing::Entry& b) {
        if (a.head != b.head) return a.head < b.head;
        const std::string_view x = listing->name(a), y = listing->name(b);
        for (std::size_t i = 8; i < x.size() && i < y.size(); ++i)
            if (upperAscii(x[i]) != upperAscii(y[i]))
                return static_cast<unsigned char>(upperAscii(x[i])) < static_cast<unsigned char>(upperAscii(y[i]));
        // Names that differ in case only, as POSIX allows, in their own
        // order, so that every search of the directory sorts alike.
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    if (before(listing->st.st_mtim, readAt) && before(listing->st.st_ctim, readAt)) last = listing;
    return listing;
}

// The entries of a listing that match the mask, found as the search moves on.
class PosixFind : public IFileFind {
public:
    PosixFind(std::shared_ptr<const Listing> listing, std::string_view mask, bool dots)
        : listing_(std::move(listing)), mask_(mask), pos_(dots ? 0 : kDots) {}

    // False when nothing (more) matches.
    bool Seek() {
        const auto& entries = listing_->entries;
        for (; pos_ < entries.size(); ++pos_) {
            const Listing::Entry& e = entries[pos_];
            if (mask_.Matches(std::string_view(listing_->names.data() + e.at, e.size))) {
                named_ = false;
                load(e.type);
                return true;
            }
        }
        return false;
    }
    bool Next() override {
        ++pos_;
        return Seek();
    }
    // Made when asked for: callers pass over most entries on their
    // attributes alone.
    const std::string& Name() const override {
        if (!named_) {
            const Listing::Entry& e = listing_->entries[pos_];
            name_.assign(listing_->names, e.at, e.size);
            named_ = true;
        }
        return name_;
    }
    std::uint32_t Attr() override { return attr_; }
    std::uint32_t ReparseTag() override { return attr_ & faReparsePoint ? IO_REPARSE_TAG_SYMLINK : 0; }
    std::uint64_t Size() override {
        statOnce();
        return S_ISREG(st_.st_mode) ? static_cast<std::uint64_t>(st_.st_size) : 0;
    }
    std::int32_t Time() override {
        statOnce();
        // localtime_r takes a process-wide lock; files of one directory
        // often share their time, so a thread keeps its last answer.
        thread_local std::time_t lastTime = -1;
        thread_local std::int32_t lastPacked = 0;
        const std::time_t t = st_.st_mtime;
        if (t == lastTime) return lastPacked;
        std::tm local{};
        ::localtime_r(&t, &local);
        lastTime = t;
        return lastPacked = PackDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                            local.tm_min, local.tm_sec);
    }

private:
    // The directory and link bits come from the entry type that the listing
    // gave; only links and file systems without types need a look.
    void load(unsigned char type) {
        stated_ = false;
        attr_ = 0;
        if (type == DT_UNKNOWN) {
            struct stat own {};
            if (::fstatat(dirFd(), Name().c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0)
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
        if (::fstatat(dirFd(), Name().c_str(), &st_, 0) != 0) st_ = {};
    }
    int dirFd() const { return listing_->fd.get(); }

    std::shared_ptr<const Listing> listing_;
    TFileMask mask_;
    std::size_t pos_;
    mutable std::string name_;
    mutable bool named_ = false;
    std::uint32_t attr_ = 0;
    bool stated_ = false;
    struct stat st_ {};
};

}  // namespace

std::unique_ptr<IFileFind> NativeFindFirst(const std::string& pattern) {
    const auto slash = pattern.rfind('/');
    thread_local std::string dir;  // its room reused
    dir.assign(slash == std::string::npos ? "." : std::string_view(pattern).substr(0, slash + 1));
    const std::string_view mask =
        slash == std::string::npos ? std::string_view(pattern) : std::string_view(pattern).substr(slash + 1);
    auto listing = readListing(dir);
    if (!listing) return nullptr;
    auto find = std::make_unique<PosixFind>(std::move(listing), mask, dir != "/");
    if (!find->Seek()) return nullptr;
    return find;
}

std::vector<std::string> NativeLogicalDrives() {
    return {};
}

std::string NativeFormatShortDate(int year, int month, int day) {
    char text[40];
    std::snprintf(text, sizeof text, "%d/%d/%d", month, day, year);
    return text;
}
