#include "platform/filesearch.h"

#include "platform/forms.h"
#include "platform/os.h"

// The defaults of the operating-system interface: the backend's own.
std::unique_ptr<IFileFind> IOperatingSystem::FindFirst(const std::string& pattern) {
    return NativeFindFirst(pattern);
}
std::vector<std::string> IOperatingSystem::LogicalDrives() {
    return NativeLogicalDrives();
}
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

// Upper case for the Latin, Greek and Cyrillic letters that file names
// mostly hold; the file system compares names the same way.
char32_t upper(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x178 || c == 0x17F) return c;
        return oddUpper ? (c % 2 == 0 ? c - 1 : c) : (c % 2 == 1 ? c - 1 : c);
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

// One code point of UTF-8, upper-cased; advances `i`.
char32_t nextFolded(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = c & (0x3F >> n);
    for (; n > 0 && i < s.size(); --n) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return upper(cp);
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::u32string folded(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) out += nextFolded(s, i);
    return out;
}

// Classic two-pointer matching with one backtrack point for the last "*";
// the mask is already in the names' folded form.
template <class Str, class Fold>
bool match(const Str& name, const Str& mask, Fold fold) {
    constexpr std::size_t npos = Str::npos;
    std::size_t n = 0, m = 0, starM = npos, starN = 0;
    while (n < name.size()) {
        // A "*" is a wildcard even where the name holds one, as POSIX names may.
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == '?' || mask[m] == fold(name[n]))) {
            ++n;
            ++m;
        } else if (starM != npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

// The rules beyond plain matching: "README" is in "READ*.*", and "README"
// is in "*."; `cut` is what such a mask loses for a name without a dot.
template <class Str, class Fold>
bool matchMask(const Str& n, const Str& m, std::size_t cut, Fold fold) {
    if (match(n, m, fold)) return true;
    return cut != 0 && n.find('.') == Str::npos && match(n, m.substr(0, m.size() - cut), fold);
}

}  // namespace

TFileMask::TFileMask(std::string_view mask) : every_(mask == "*" || mask == "*.*"), ascii_(isAscii(mask)) {
    if (ascii_) {
        upper_.reserve(mask.size());
        for (char c : mask) upper_ += upperAscii(c);
    }
    // Also for an ASCII mask: names need not be ASCII.
    folded_ = folded(mask);
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*")
        cut_ = 2;
    else if (!mask.empty() && mask.back() == '.')
        cut_ = 1;
    tail_ = ascii_ && cut_ == 0 && mask.starts_with('*') && mask.find_first_of("*?", 1) == std::string_view::npos;
}

bool TFileMask::endMatches(std::string_view name) const {
    // No non-ASCII letter folds to an ASCII one, so bytes compare.
    const std::string_view tail = std::string_view(upper_).substr(1);
    if (name.size() < tail.size()) return false;
    const char* n = name.data() + name.size() - tail.size();
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (upperAscii(n[i]) != tail[i]) return false;
    return true;
}

bool TFileMask::matches(std::string_view name) const {
    if (ascii_ && isAscii(name))
        return matchMask(name, std::string_view(upper_), cut_, [](char c) { return upperAscii(c); });
    return matchMask(folded(name), folded_, cut_, [](char32_t c) { return c; });
}

bool MatchesFileMask(std::string_view name, std::string_view mask) {
    return TFileMask(mask).Matches(name);
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
