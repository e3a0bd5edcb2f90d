// The profile engine against a small independent reading of the same rules:
// every key the bytes hold reads back as the rules say, writes derived from
// the input read back after a reparse, nothing else changes, and the file
// keeps its encoding (or becomes UTF-16LE when that cannot hold the text).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/sysutils.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& a = {}, const std::string& b = {}) {
    std::fprintf(stderr, "profile property broken: %s\n  [%s]\n  [%s]\n", what, a.c_str(), b.c_str());
    std::abort();
}

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string readValue(std::string_view raw) {
    std::string v = TrimBlanks(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return Utf8Prefix(v, TProfileData::kMaxValueChars);
}

std::string fold(std::string_view name) { return LowerCase(TrimBlanks(name)); }

struct Entry {
    std::string section, key;  // as spelled in the file
    std::string value;         // as read
};

// First section of each name and first key of each name in it; keys before
// any header and lines of a repeated section are not reachable.
struct Model {
    std::vector<Entry> entries;
    std::vector<std::string> sections;
    std::vector<std::string> lines;
    std::map<std::string, std::map<std::string, std::string>> values;  // folded

    explicit Model(std::string_view bytes) {
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string_view::npos) end = bytes.size();
            lines.emplace_back(bytes.substr(pos, end - pos));
            pos = end + 1;
            if (end < bytes.size() && bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
        }
        std::map<std::string, std::string>* current = nullptr;
        std::string currentName;
        for (const std::string& text : lines) {
            std::size_t start = 0;
            while (start < text.size() && blank(text[start])) ++start;
            if (start == text.size()) continue;
            if (text[start] == '[') {
                std::size_t close = text.rfind(']');
                if (close != std::string::npos && close > start) {
                    std::string name = text.substr(start + 1, close - start - 1);
                    auto [it, added] = values.try_emplace(fold(name));
                    current = added ? &it->second : nullptr;
                    if (added) sections.push_back(name);
                    currentName = name;
                    continue;
                }
            }
            if (!current) continue;
            std::size_t eq = text.find('=');
            if (eq == std::string::npos) continue;
            std::string key = text.substr(0, eq);
            std::string value = readValue(std::string_view(text).substr(eq + 1));
            if (current->try_emplace(fold(key), value).second) entries.push_back({currentName, key, value});
        }
    }
};

// Writes whose reread the engine handles by reparsing; what reads back then
// follows the line rules, not the written text.
bool rereadsAsWritten(std::string_view section, std::string_view key, std::string_view value) {
    auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (breaks(section) || breaks(key) || breaks(value)) return false;
    if (section.find(']') != std::string_view::npos || TrimBlanks(section).size() != section.size()) return false;
    if (key.find('=') != std::string_view::npos || TrimBlanks(key).size() != key.size()) return false;
    return key.empty() || (key.front() != '[' && key.front() != ';');
}

// Text that is no UTF-8 (nor WTF-8) is Windows-1252.
std::string asText(std::string_view s) {
    return CheckUtf8(s, true) == TUtf8Check::Invalid ? DefaultCodePage().ToUtf8(s) : std::string(s);
}

// What a reader sees in the bytes: the text after a byte-order mark, else
// UTF-8 when they are, else Windows-1252.
std::string decoded(std::string_view bytes) {
    const bool le = bytes.starts_with("\xFF\xFE"), be = bytes.starts_with("\xFE\xFF");
    if (le || be) {
        std::u16string units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            units += static_cast<char16_t>(be ? a << 8 | b : b << 8 | a);
        }
        return Utf16ToWtf8(units);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) return asText(bytes.substr(3));
    return IsValidUtf8(bytes) ? std::string(bytes) : DefaultCodePage().ToUtf8(bytes);
}

void checkAgainst(const TProfileData& data, const Model& model, const char* stage) {
    std::size_t n = 0;
    for (const Entry& e : model.entries) {
        const std::string got = data.ReadString(e.section, e.key, "\x01missing");
        if (got != e.value) fail(stage, e.section + " / " + e.key + " = " + e.value, got);
        if (++n > 32) continue;  // the name variants on a sample, for speed
        // Asked names are trimmed and compared without regard to ASCII case.
        if (data.ReadString(" " + UpperCase(e.section) + "\t", "\t" + UpperCase(e.key) + " ", "\x01missing") != got)
            fail("case or blanks in the asked names change the result", e.section, e.key);
        if (!data.SectionExists(e.section)) fail("section of a key missing", e.section);
        auto found = data.Find(e.section, e.key);
        if (!found || Utf8Prefix(*found, TProfileData::kMaxValueChars) != got) fail("Find and ReadString differ", e.key);
    }
    // Absent keys give the default without trailing blanks.
    for (const std::string& s : model.sections) {
        if (data.ReadString(s, "\x02no such key", "  def  ") != "  def") fail("absent key default", s);
    }
    if (!model.values.count("\x02no such section") &&
        data.ReadString("\x02no such section", "k", "x\t") != "x")
        fail("absent section default");
}

std::uint32_t hashOf(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TProfileData profile = TProfileData::Parse(bytes);
    const TTextEncoding encoding = profile.Encoding();
    const std::string first = profile.Serialize();
    // Untouched files keep every byte, whatever their encoding.
    if (first != bytes) fail("serialized bytes differ from the file", std::string(bytes), first);

    const Model before(decoded(first));
    checkAgainst(profile, before, "value read from the file");

    // Writes derived from the input: existing keys, new keys in existing
    // sections, a new section, a quoted value and one past the length cut.
    struct Write {
        std::string section, key, value;
    };
    std::vector<Write> writes;
    std::uint32_t h = hashOf(data, size);
    auto pick = [&](std::size_t n) {
        h = h * 1103515245u + 12345u;
        return static_cast<std::size_t>((h >> 8) % n);
    };
    const auto& lines = before.lines;
    if (!before.entries.empty() && !lines.empty()) {
        const Entry& e = before.entries[pick(before.entries.size())];
        writes.push_back({TrimBlanks(e.section), TrimBlanks(e.key), lines[pick(lines.size())]});
        const Entry& q = before.entries[pick(before.entries.size())];
        writes.push_back({TrimBlanks(e.section), TrimBlanks(q.key), "\" " + q.value + " \""});
    }
    if (!before.sections.empty() && !lines.empty()) {
        const std::string& line = lines[pick(lines.size())];
        const std::size_t eq = line.find('=');
        writes.push_back({TrimBlanks(before.sections[pick(before.sections.size())]), TrimBlanks(line.substr(0, eq)) + "x",
                          eq == std::string::npos ? "" : line.substr(eq + 1)});
    }
    if (!lines.empty()) {
        std::string longValue;
        const std::string& piece = lines[pick(lines.size())];
        while (!piece.empty() && longValue.size() < 2100) longValue += piece;
        writes.push_back({TrimBlanks(lines[pick(lines.size())]) + "#new", "Key", longValue});
    }

    auto expected = before.values;
    bool safe = true;
    for (const Write& w : writes) {
        profile.Write(w.section, w.key, w.value);
        if (!rereadsAsWritten(w.section, w.key, w.value)) {
            safe = false;
            continue;
        }
        const std::string want = readValue(asText(w.value));
        const std::string got = profile.ReadString(w.section, w.key, "\x01missing");
        if (got != want) fail("written value does not read back", w.section + " / " + w.key + " = " + want, got);
        expected[fold(asText(w.section))][fold(asText(w.key))] = want;
    }

    const std::string after = profile.Serialize();
    const TProfileData reread = TProfileData::Parse(after);
    // ASCII alone reads as ANSI, also where it was UTF-8 before the writes.
    const bool ascii = CheckUtf8(after) == TUtf8Check::Ascii && encoding == TTextEncoding::Utf8;
    if (reread.Encoding() != encoding && reread.Encoding() != TTextEncoding::Utf16Le && !ascii)
        fail("a write changed the encoding", std::string(bytes), after);
    const Model model(decoded(after));
    // The incremental index after the writes agrees with a fresh parse.
    checkAgainst(profile, model, "value after the writes");
    checkAgainst(reread, model, "value after the reparse");
    if (reread.Serialize() != after) fail("reparse changes the bytes", after, reread.Serialize());
    if (safe && model.values != expected) {
        // Every key that was there reads as before unless written; the written ones read back.
        for (const auto& [s, keys] : expected)
            for (const auto& [k, v] : keys) {
                auto sit = model.values.find(s);
                if (sit == model.values.end()) fail("section lost", s);
                auto kit = sit->second.find(k);
                if (kit == sit->second.end()) fail("key lost", s + " / " + k);
                if (kit->second != v) fail("key changed", s + " / " + k + " = " + v, kit->second);
            }
        fail("keys appeared that nobody wrote", after);
    }
    return 0;
}
