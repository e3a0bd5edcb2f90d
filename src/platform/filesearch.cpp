#include "platform/filesearch.h"

#include "platform/os.h"
#include "platform/forms.h"

// The defaults of the operating-system interface: the backend's own.
std::unique_ptr<IFileFind> IOperatingSystem::FindFirst(const std::string& pattern) { return NativeFindFirst(pattern); }
std::vector<std::string> IOperatingSystem::LogicalDrives() { return NativeLogicalDrives(); }
std::string IOperatingSystem::FormatShortDate(int year, int month, int day) {
    return NativeFormatShortDate(year, month, day);
}

TFileSearch::TFileSearch(const std::string& pattern, std::uint32_t attrFilter)
    : exclude_(~attrFilter & (faHidden | faSysFile | faVolumeID | faDirectory)),
      find_(Application->OS().FindFirst(pattern)) {
    if (find_ && !skipExcluded()) find_.reset();
}

bool TFileSearch::skipExcluded() {
    while (find_->Attr() & exclude_)
        if (!find_->Next()) return false;
    return true;
}

bool TFileSearch::Next() {
    if (!find_) return false;
    if (!find_->Next() || !skipExcluded()) {
        find_.reset();
        return false;
    }
    return true;
}

namespace {

// One code point of UTF-8, ASCII letters upper-cased; advances `i`.
char32_t nextFolded(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = c & (0x3F >> n);
    for (; n > 0 && i < s.size(); --n) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

std::u32string folded(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) out += nextFolded(s, i);
    return out;
}

// Classic two-pointer matching with one backtrack point for the last "*".
bool match(const std::u32string& name, const std::u32string& mask) {
    std::size_t n = 0, m = 0, starM = std::u32string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == U'*') {
            starM = m++;
            starN = n;
        } else if (starM != std::u32string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*') ++m;
    return m == mask.size();
}

}  // namespace

bool MatchesFileMask(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*") return true;
    const std::u32string n = folded(name), m = folded(mask);
    if (match(n, m)) return true;
    // "README" is in "READ*.*", and "README" is in "*.".
    const bool hasDot = n.find(U'.') != std::u32string::npos;
    if (m.size() >= 2 && m.ends_with(U".*") && !hasDot) return match(n, m.substr(0, m.size() - 2));
    if (!m.empty() && m.back() == U'.' && !hasDot) return match(n, m.substr(0, m.size() - 1));
    return false;
}

std::int32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) return (1 << 5 | 1) << 16;  // the earliest DOS date, 1 January 1980
    if (year > 2107) year = 2107;
    const auto date = static_cast<std::uint32_t>(day | month << 5 | (year - 1980) << 9);
    const auto time = static_cast<std::uint32_t>(second / 2 | minute << 5 | hour << 11);
    return static_cast<std::int32_t>(date << 16 | time);
}

TDosDate UnpackDosDate(std::int32_t packed) {
    const auto date = static_cast<std::uint32_t>(packed) >> 16;
    return {static_cast<int>(date >> 9) + 1980, static_cast<int>(date >> 5 & 0x0F), static_cast<int>(date & 0x1F)};
}
