#include "platform/profile.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/sysutils.h"

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Le = "\xFF\xFE", kUtf16Be = "\xFE\xFF";
// Line ends by Line::eol; a written line always ends in CR LF.
constexpr std::string_view kEols[] = {"", "\r\n", "\n", "\r"};
constexpr std::uint8_t kCrLf = 1;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::size_t firstNonBlank(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    return i;
}

// The name between "[" and the last "]"; a line without "]" is no header.
bool headerName(std::string_view text, std::size_t bracket, std::string_view& name) {
    std::size_t close = text.rfind(']');
    if (close == std::string_view::npos || close <= bracket) return false;
    name = text.substr(bracket + 1, close - bracket - 1);
    return true;
}

// A hash of the name with ASCII letters folded to lower case, seeded with
// the section, so that names differing only in case meet. Whole words of
// eight bytes at a time: this runs for every key read and every key indexed.
std::uint32_t foldedHash(std::uint32_t section, std::string_view name) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = (section + 1ull) * kMul ^ name.size();
    const char* p = name.data();
    std::size_t left = name.size();
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        // Bytes 'A' to 'Z', and no others, get their 0x20 bit.
        const std::uint64_t low = w & ~kHigh;
        const std::uint64_t upper = (low + (0x80 - 'A') * kOnes) & ~(low + (0x80 - 'Z' - 1) * kOnes) & ~w & kHigh;
        h = (h ^ (w | upper >> 2)) * kMul;
        h ^= h >> 29;
    }
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < left; ++i) {
        auto c = static_cast<unsigned char>(p[i]);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + ('a' - 'A'));
        tail |= static_cast<std::uint64_t>(c) << (8 * i);
    }
    h = (h ^ tail) * kMul;
    return static_cast<std::uint32_t>((h ^ (h >> 29)) * kMul >> 32);
}

// Names and values that a reread would split, trim or classify differently
// from how Write indexes them.
bool rereadDiffers(std::string_view section, std::string_view key, std::string_view value) {
    auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (breaks(section) || breaks(key) || breaks(value)) return true;
    if (section.find(']') != std::string_view::npos || trimmed(section).size() != section.size()) return true;
    if (key.find('=') != std::string_view::npos || trimmed(key).size() != key.size()) return true;
    return !key.empty() && (key.front() == '[' || key.front() == ';');
}

// The encoding a reader takes the bytes for; for ANSI and UTF-8, whether
// they hold more than ASCII.
TTextEncoding detect(std::string_view bytes, bool& nonAscii) {
    nonAscii = true;
    if (bytes.starts_with(kUtf16Le)) return TTextEncoding::Utf16Le;
    if (bytes.starts_with(kUtf16Be)) return TTextEncoding::Utf16Be;
    if (bytes.starts_with(kBom)) return TTextEncoding::Utf8Bom;
    const TUtf8Check check = CheckUtf8(bytes);
    nonAscii = check != TUtf8Check::Ascii;
    return check == TUtf8Check::Utf8 ? TTextEncoding::Utf8 : TTextEncoding::Ansi;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a);
    }
    return Utf16ToWtf8(units);
}

std::string toUtf16(std::string_view text, bool bigEndian) {
    const std::u16string units = Wtf8ToUtf16(text);
    std::string bytes(bigEndian ? kUtf16Be : kUtf16Le);
    bytes.reserve(2 + 2 * units.size());
    for (char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}
}  // namespace

TProfileData TProfileData::Parse(std::string_view bytes, const IAnsiCodePage& codePage) {
    return Parse(std::string(bytes), codePage);
}

TProfileData TProfileData::Parse(std::string&& bytes, const IAnsiCodePage& codePage) {
    TProfileData data(codePage);
    data.encoding_ = detect(bytes, data.nonAscii_);
    const bool utf16 = data.encoding_ == TTextEncoding::Utf16Le || data.encoding_ == TTextEncoding::Utf16Be;
    const bool bom = data.encoding_ == TTextEncoding::Utf8Bom;
    const std::string_view body = std::string_view(bytes).substr(utf16 ? 2 : bom ? kBom.size() : 0);
    if (utf16) {
        data.text_ = fromUtf16(body, data.encoding_ == TTextEncoding::Utf16Be);
        if (body.size() % 2) data.trailer_ = body.back();
        data.source_ = std::move(bytes);
    } else if ((data.encoding_ == TTextEncoding::Ansi && data.nonAscii_) ||
               (bom && CheckUtf8(body, true) == TUtf8Check::Invalid)) {
        // Our text is UTF-8, also where a marked file holds other bytes.
        data.text_ = codePage.ToUtf8(body);
        data.source_ = std::move(bytes);
    } else {
        // ASCII and UTF-8 are their own text: the lines index the file's bytes.
        data.textStart_ = body.data() - bytes.data();
        data.text_ = std::move(bytes);
    }
    data.load();
    return data;
}

void TProfileData::load() {
    std::size_t pos = textStart_;
    const char* p = text_.data();
    const std::size_t n = text_.size();
    std::size_t newlines = 0;
    for (const char* at = p + pos; (at = static_cast<const char*>(std::memchr(at, '\n', n - (at - p)))); ++at)
        ++newlines;
    lines_.reserve(newlines + 1);
    while (pos < n) {
        // memchr is far faster than a byte loop; a bare CR is rare.
        auto* nl = static_cast<const char*>(std::memchr(p + pos, '\n', n - pos));
        std::size_t end = nl ? static_cast<std::size_t>(nl - p) : n;
        if (auto* cr = static_cast<const char*>(std::memchr(p + pos, '\r', end - pos)))
            end = static_cast<std::size_t>(cr - p);
        Line line{pos, end - pos, 0, false, -1};
        if (end < n) {
            const bool crlf = p[end] == '\r' && end + 1 < n && p[end + 1] == '\n';
            line.eol = crlf ? 1 : p[end] == '\n' ? 2 : 3;
            end += crlf ? 2 : 1;
        }
        lines_.push_back(line);
        pos = end;
    }
    // The key table counts lines in 32 bits.
    if (lines_.size() >= kEmptySlot) throw std::length_error("too many lines in a profile");
    reindex();
}

std::string_view TProfileData::lineText(std::size_t i) const {
    const Line& line = lines_[i];
    if (line.own >= 0) return owned_[static_cast<std::size_t>(line.own)];
    return std::string_view(text_).substr(line.start, line.length);
}

std::string_view TProfileData::lineKey(std::size_t i) const {
    std::string_view text = lineText(i);
    return trimmed(text.substr(0, text.find('=')));
}

std::size_t TProfileData::probe(std::uint32_t section, std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.line == kEmptySlot) return i;
        if (slot.hash == hash && slot.section == section && SameText(lineKey(slot.line), name)) return i;
    }
}

void TProfileData::growTable() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(16, old.size() * 2), Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.line == kEmptySlot) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].line != kEmptySlot) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void TProfileData::reindex() {
    lastSectionValid_ = false;
    lastFound_ = kEmpty;
    sections_.clear();
    sectionIndex_.clear();
    // At most one key a line, so the table never grows while indexing.
    std::size_t size = 16;
    while (size < 2 * lines_.size()) size *= 2;
    slots_.assign(size, Slot{});
    keyCount_ = 0;

    std::int64_t current = -1;  // none before the first header and inside a duplicate section
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view text = lineText(i);
        std::size_t start = firstNonBlank(text);
        if (start == text.size()) continue;
        std::string_view name;
        if (text[start] == '[' && headerName(text, start, name)) {
            auto index = static_cast<std::uint32_t>(sections_.size());
            auto [it, added] = sectionIndex_.try_emplace(LowerCase(trimmed(name)), index);
            current = added ? static_cast<std::int64_t>(index) : -1;
            if (added) sections_.push_back({i, i});
            continue;
        }
        if (current < 0) continue;
        const auto section = static_cast<std::uint32_t>(current);
        sections_[section].lastLine = i;
        // As with the platform's own reader, ";" starts no comment: ";k=v" is key ";k".
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = trimmed(text.substr(0, eq));
        std::uint32_t hash = foldedHash(section, key);
        std::size_t slot = probe(section, key, hash);
        if (slots_[slot].line != kEmptySlot) continue;  // the first of duplicate keys wins
        slots_[slot] = {hash, section, static_cast<std::uint32_t>(i)};
        lines_[i].indexed = true;
        ++keyCount_;
    }
}

const TProfileData::Section* TProfileData::findSection(std::string_view section, std::uint32_t* index) const {
    section = trimmed(section);
    if (!lastSectionValid_ || !SameText(section, lastSectionName_)) {
        auto it = sectionIndex_.find(LowerCase(section));
        if (it == sectionIndex_.end()) return nullptr;
        lastSectionName_ = section;
        lastSection_ = it->second;
        lastSectionValid_ = true;
    }
    if (index) *index = lastSection_;
    return &sections_[lastSection_];
}

std::size_t TProfileData::keyLine(std::uint32_t section, std::string_view key) const {
    const std::uint32_t line = slots_[probe(section, key, foldedHash(section, key))].line;
    return line == kEmptySlot ? kEmpty : line;
}

std::optional<std::string_view> TProfileData::findValue(std::string_view section, std::string_view key) const {
    std::uint32_t index = 0;
    const Section* s = findSection(section, &index);
    if (!s) return std::nullopt;
    key = trimmed(key);
    std::size_t line = kEmpty;
    // A line of this section that the table points to, with this key, is the answer.
    if (lastFound_ != kEmpty) {
        const std::size_t from = std::max(lastFound_ + 1, s->header + 1), to = std::min(lastFound_ + 4, s->lastLine);
        for (std::size_t at = from; at <= to && line == kEmpty; ++at)
            if (lines_[at].indexed && SameText(lineKey(at), key)) line = at;
    }
    if (line == kEmpty) line = keyLine(index, key);
    if (line == kEmpty) return std::nullopt;
    lastFound_ = line;
    std::string_view text = lineText(line);
    return unquoted(trimmed(text.substr(text.find('=') + 1)));
}

std::optional<std::string> TProfileData::Find(std::string_view section, std::string_view key) const {
    if (auto value = findValue(section, key)) return std::string(*value);
    return std::nullopt;
}

std::string TProfileData::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    if (auto value = findValue(section, key)) return Utf8Prefix(*value, kMaxValueChars);
    // The default goes through the same buffer as a value.
    std::size_t end = def.size();
    while (end > 0 && isBlank(def[end - 1])) --end;
    return Utf8Prefix(def.substr(0, end), kMaxValueChars);
}

bool TProfileData::SectionExists(std::string_view section) const { return findSection(section) != nullptr; }

void TProfileData::appendLine(std::size_t at, std::string text) {
    Line line{0, text.size(), kCrLf, false, static_cast<std::int32_t>(owned_.size())};
    owned_.push_back(std::move(text));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void TProfileData::fitEncoding(std::string_view text) {
    if (encoding_ == TTextEncoding::Utf16Le || encoding_ == TTextEncoding::Utf16Be) return;
    switch (CheckUtf8(text)) {
        case TUtf8Check::Ascii:
            return;
        case TUtf8Check::Invalid:  // an unpaired surrogate, which only UTF-16 holds
            encoding_ = TTextEncoding::Utf16Le;
            return;
        case TUtf8Check::Utf8:
            break;
    }
    if (encoding_ != TTextEncoding::Ansi) return;
    std::string bytes;
    if (codePage_->FromUtf8(text, bytes))
        nonAscii_ = true;
    else
        encoding_ = TTextEncoding::Utf16Le;  // rather than lose the character
}

void TProfileData::Write(std::string_view sectionText, std::string_view keyText, std::string_view valueText) {
    // Our text is UTF-8, or WTF-8 for names that hold an unpaired surrogate.
    auto text = [this](std::string_view s) {
        return CheckUtf8(s, true) == TUtf8Check::Invalid ? codePage_->ToUtf8(s) : std::string(s);
    };
    // Names are trimmed as readers trim the names they ask for; a padded name
    // would otherwise make a second section or key that no reader finds.
    const std::string section = text(trimmed(sectionText)), key = text(trimmed(keyText)), value = text(valueText);
    for (std::string_view s : {std::string_view(section), std::string_view(key), std::string_view(value)})
        fitEncoding(s);
    written_ = true;
    auto addKey = [this](std::uint32_t index, std::string_view name, std::size_t line) {
        if ((keyCount_ + 1) * 2 > slots_.size()) growTable();
        if (lines_.size() >= kEmptySlot) throw std::length_error("too many lines in a profile");
        std::uint32_t hash = foldedHash(index, name);
        slots_[probe(index, name, hash)] = {hash, index, static_cast<std::uint32_t>(line)};
        lines_[line].indexed = true;
        ++keyCount_;
    };

    auto sit = sectionIndex_.find(LowerCase(section));
    if (sit == sectionIndex_.end()) {
        if (!lines_.empty() && lines_.back().eol == 0) lines_.back().eol = kCrLf;
        auto index = static_cast<std::uint32_t>(sections_.size());
        sectionIndex_.emplace(LowerCase(section), index);
        sections_.push_back({lines_.size(), lines_.size() + 1});
        appendLine(lines_.size(), "[" + section + "]");
        appendLine(lines_.size(), key + "=" + value);
        addKey(index, key, lines_.size() - 1);
        return finishWrite(section, key, value);
    }
    const std::uint32_t index = sit->second;
    if (const std::size_t at = keyLine(index, key); at != kEmpty) {
        // The key keeps the spelling it has in the file.
        std::string text = std::string(lineKey(at)) + "=" + value;
        Line& line = lines_[at];
        line.length = text.size();
        if (line.own >= 0) {
            owned_[static_cast<std::size_t>(line.own)] = std::move(text);
        } else {
            line.own = static_cast<std::int32_t>(owned_.size());
            owned_.push_back(std::move(text));
        }
    } else {
        Section& s = sections_[index];
        const std::size_t added = s.lastLine + 1;
        if (lines_[s.lastLine].eol == 0) lines_[s.lastLine].eol = kCrLf;
        appendLine(added, key + "=" + value);
        // Sections are contiguous runs of lines, so only those after this one move.
        for (Section& other : sections_) {
            if (other.header < added) continue;
            ++other.header;
            ++other.lastLine;
        }
        for (Slot& slot : slots_)
            if (slot.line != kEmptySlot && slot.line >= added) ++slot.line;
        s.lastLine = added;
        addKey(index, key, added);
    }
    finishWrite(section, key, value);
}

void TProfileData::finishWrite(std::string_view section, std::string_view key, std::string_view value) {
    if (!rereadDiffers(section, key, value)) return;
    // Read the text again as a reader would, in the same encoding.
    TProfileData again(*codePage_);
    again.text_ = joined({});
    again.load();
    again.encoding_ = encoding_;
    again.nonAscii_ = nonAscii_;
    again.written_ = true;
    again.trailer_ = std::move(trailer_);
    *this = std::move(again);
}

bool TProfileData::SameSource(std::string_view bytes) const {
    return !written_ && bytes == (source_.empty() ? std::string_view(text_) : std::string_view(source_));
}

std::string TProfileData::joined(std::string_view prefix) const {
    std::size_t size = prefix.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) size += lineText(i).size() + kEols[lines_[i].eol].size();
    std::string out;
    out.reserve(size);
    out += prefix;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lineText(i);
        out += kEols[lines_[i].eol];
    }
    return out;
}

std::string TProfileData::Serialize() const {
    if (!written_ && !source_.empty()) return source_;
    switch (encoding_) {
        case TTextEncoding::Utf8:
            return joined({});
        case TTextEncoding::Utf8Bom:
            return joined(kBom);
        case TTextEncoding::Utf16Le:
        case TTextEncoding::Utf16Be:
            return toUtf16(joined({}), encoding_ == TTextEncoding::Utf16Be) + trailer_;
        case TTextEncoding::Ansi:
            break;
    }
    std::string text = joined({});
    if (!nonAscii_) return text;
    std::string bytes;
    bool nonAscii = false;
    if (codePage_->FromUtf8(text, bytes) && detect(bytes, nonAscii) == TTextEncoding::Ansi) return bytes;
    return toUtf16(text, false);
}
