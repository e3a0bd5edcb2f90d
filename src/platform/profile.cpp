#include "platform/profile.h"

#include "platform/sysutils.h"

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

// Names and values that a reread would split, trim or classify differently
// from how Write indexes them.
bool rereadDiffers(std::string_view section, std::string_view key, std::string_view value) {
    auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (breaks(section) || breaks(key) || breaks(value)) return true;
    if (section.find(']') != std::string_view::npos || TrimBlanks(section).size() != section.size()) return true;
    if (key.find('=') != std::string_view::npos || TrimBlanks(key).size() != key.size()) return true;
    return !key.empty() && (key.front() == '[' || key.front() == ';');
}

std::string unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}
}  // namespace

TProfileData TProfileData::Parse(std::string_view bytes) {
    TProfileData data;
    if (bytes.substr(0, kBom.size()) == kBom) {
        data.bom_ = kBom;
        bytes.remove_prefix(kBom.size());
    }
    std::string converted;
    if (!IsValidUtf8(bytes)) {
        // Old files were saved in the ANSI code page; from now on they are UTF-8.
        converted = AnsiToUtf8(bytes);
        bytes = converted;
    }

    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            data.lines_.push_back({std::string(bytes.substr(pos)), ""});
            break;
        }
        std::size_t eolLen = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
        data.lines_.push_back({std::string(bytes.substr(pos, end - pos)), std::string(bytes.substr(end, eolLen))});
        pos = end + eolLen;
    }
    data.reindex();
    return data;
}

void TProfileData::reindex() {
    sections_.clear();
    Section* current = nullptr;  // null before the first header and inside a duplicate section
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view text = lines_[i].text;
        std::size_t start = firstNonBlank(text);
        if (start == text.size()) continue;
        std::string_view name;
        if (text[start] == '[' && headerName(text, start, name)) {
            auto [it, added] = sections_.try_emplace(LowerCase(TrimBlanks(name)));
            current = added ? &it->second : nullptr;
            if (current) current->header = current->lastLine = i;
            continue;
        }
        if (!current) continue;
        current->lastLine = i;
        // As with the platform's own reader, ";" starts no comment: ";k=v" is key ";k".
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        current->keys.try_emplace(LowerCase(TrimBlanks(text.substr(0, eq))), i);
    }
}

const TProfileData::Section* TProfileData::findSection(std::string_view section) const {
    auto it = sections_.find(LowerCase(TrimBlanks(section)));
    return it == sections_.end() ? nullptr : &it->second;
}

std::optional<std::string> TProfileData::Find(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    auto it = s->keys.find(LowerCase(TrimBlanks(key)));
    if (it == s->keys.end()) return std::nullopt;
    std::string_view text = lines_[it->second].text;
    return unquote(TrimBlanks(text.substr(text.find('=') + 1)));
}

std::string TProfileData::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    if (auto value = Find(section, key)) return Utf8Prefix(*value, kMaxValueChars);
    // The default goes through the same buffer as a value.
    return Utf8Prefix(TrimRightBlanks(def), kMaxValueChars);
}

bool TProfileData::SectionExists(std::string_view section) const { return findSection(section) != nullptr; }

void TProfileData::Write(std::string_view sectionText, std::string_view keyText, std::string_view valueText) {
    // What we store stays valid UTF-8, or the next read would take the whole file for ANSI.
    auto utf8 = [](std::string_view s) { return IsValidUtf8(s) ? std::string(s) : AnsiToUtf8(s); };
    const std::string section = utf8(sectionText), key = utf8(keyText), value = utf8(valueText);
    std::string newText = key + "=" + value;
    std::string foldedKey = LowerCase(key);
    auto sit = sections_.find(LowerCase(section));

    if (sit == sections_.end()) {
        if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = "\r\n";
        Section& s = sections_[LowerCase(section)];
        s.header = lines_.size();
        lines_.push_back({"[" + section + "]", "\r\n"});
        s.lastLine = lines_.size();
        s.keys.emplace(std::move(foldedKey), s.lastLine);
        lines_.push_back({std::move(newText), "\r\n"});
    } else if (auto kit = sit->second.keys.find(foldedKey); kit != sit->second.keys.end()) {
        Line& line = lines_[kit->second];
        // The key keeps the spelling it has in the file.
        line.text = TrimBlanks(std::string_view(line.text).substr(0, line.text.find('='))) + "=" + value;
    } else {
        Section& s = sit->second;
        std::size_t at = s.lastLine + 1;
        if (lines_[s.lastLine].eol.empty()) lines_[s.lastLine].eol = "\r\n";
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(newText), "\r\n"});
        // Sections are contiguous runs of lines, so only those after this one move.
        for (auto& [name, other] : sections_) {
            if (other.header < at) continue;
            ++other.header;
            ++other.lastLine;
            for (auto& [k, line] : other.keys) ++line;
        }
        s.lastLine = at;
        s.keys.emplace(std::move(foldedKey), at);
    }

    if (rereadDiffers(section, key, value)) *this = Parse(Serialize());
}

std::string TProfileData::Serialize() const {
    std::size_t size = bom_.size();
    for (const Line& line : lines_) size += line.text.size() + line.eol.size();
    std::string out;
    out.reserve(size);
    out += bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out;
}
