// File search as the classic runtime offers it: the platform's own
// find-first/find-next/close with its wildcard rules, and the attribute
// filter that the runtime layers on top.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint32_t faReadOnly = 0x01;
constexpr std::uint32_t faHidden = 0x02;
constexpr std::uint32_t faSysFile = 0x04;
constexpr std::uint32_t faVolumeID = 0x08;
constexpr std::uint32_t faDirectory = 0x10;
constexpr std::uint32_t faArchive = 0x20;
constexpr std::uint32_t faAnyFile = 0x3F;
constexpr std::uint32_t faReparsePoint = 0x400;                   // links, junctions, cloud placeholders...
constexpr std::uint32_t IO_REPARSE_TAG_MOUNT_POINT = 0xA0000003;  // junctions and mount points
constexpr std::uint32_t IO_REPARSE_TAG_SYMLINK = 0xA000000C;

// A reparse tag that makes its entry a name for another place (a link, a
// junction, a mount point), as against one that keeps the entry's own data
// elsewhere (a cloud placeholder, a deduplicated file). No tag counts as a
// link: Wine shows its links to host folders with the bit but no tag.
inline bool IsLinkTag(std::uint32_t tag) {
    return tag == 0 || (tag & 0x20000000) != 0;
}

// One open platform search, positioned on an entry; the destructor closes
// it. Size and time may be read lazily, so a caller that only looks at names
// and attributes does not pay for them.
class IFileFind {
public:
    virtual ~IFileFind() = default;
    // Moves to the next entry; false at the end.
    virtual bool Next() = 0;
    virtual const std::string& Name() const = 0;
    virtual std::uint32_t Attr() = 0;
    virtual std::uint64_t Size() = 0;
    // Last-write time, local, packed as an MS-DOS date (high word) and time.
    virtual std::int32_t Time() = 0;
    // The reparse tag of an entry with faReparsePoint.
    virtual std::uint32_t ReparseTag() { return 0; }
};

// The backend's real file system, for the defaults of IOperatingSystem.
// Null when the platform refuses the search or nothing matches.
std::unique_ptr<IFileFind> NativeFindFirst(const std::string& pattern);
// Drive names as "c:", in drive order; empty where there are no drives.
std::vector<std::string> NativeLogicalDrives();
// The date in the user's short date format.
std::string NativeFormatShortDate(int year, int month, int day);

// The runtime's search: entries with the hidden, system, volume or
// directory bit are skipped unless that bit is in `attrFilter`; read-only
// and archive always pass. Closes the platform search when destroyed.
class TFileSearch {
public:
    TFileSearch(const std::string& pattern, std::uint32_t attrFilter);
    TFileSearch(const TFileSearch&) = delete;
    TFileSearch& operator=(const TFileSearch&) = delete;

    // True while positioned on an entry.
    bool Found() const { return static_cast<bool>(find_); }
    bool Next();
    IFileFind& Entry() { return *find_; }
    void Close() { find_.reset(); }

private:
    bool skipExcluded();
    std::uint32_t exclude_;
    std::unique_ptr<IFileFind> find_;
};

// The platform's wildcard rules: "*" any run, "?" one character, letters
// compared without case, a closing ".*" also matching a name without a dot
// and a closing "." matching its end ("*.*" matches every name).
bool MatchesFileMask(std::string_view name, std::string_view mask);

// The same rules with the mask prepared once, for matching many names.
class TFileMask {
public:
    explicit TFileMask(std::string_view mask);
    bool Matches(std::string_view name) const { return every_ || (tail_ ? endMatches(name) : matches(name)); }

private:
    bool endMatches(std::string_view name) const;
    bool matches(std::string_view name) const;

    bool every_;             // matches every name
    bool ascii_;             // the mask is ASCII, and upper_ holds it
    bool tail_ = false;      // "*" and then no wildcard: a name's end decides
    std::size_t cut_ = 0;    // what a closing ".*" or "." loses for a name without a dot
    std::string upper_;      // upper-cased
    std::u32string folded_;  // upper-cased code points (for names that are not ASCII)
};

// MS-DOS packed date and time, valid from 1980 to 2107.
std::int32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second);
struct TDosDate {
    int year = 0, month = 0, day = 0;
};
TDosDate UnpackDosDate(std::int32_t packed);
