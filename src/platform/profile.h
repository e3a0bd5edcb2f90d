// Our INI engine, with the rules of the Windows profile functions: names match
// without regard to case, values lose their surrounding blanks and one pair of
// enclosing quotes, the first of duplicate sections and keys wins, and writes
// change the file in place, keeping every byte they do not touch.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TProfileData {
public:
    static constexpr std::size_t kMaxValueChars = 2047;

    TProfileData() = default;
    // Bytes as stored: UTF-8 (a BOM is accepted and kept), otherwise read in
    // the ANSI code page. CRLF, CR and LF line ends all work.
    static TProfileData Parse(std::string_view bytes);

    // The value as the profile functions return it: trimmed, unquoted, cut at
    // kMaxValueChars characters; a missing section or key gives `def` without
    // its trailing blanks.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // The trimmed, unquoted value, uncut; nothing when the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;

    // Replaces the key's value where it stands, or appends the key at the end
    // of its section (and the section at the end of the file).
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes after the writes; untouched lines keep their bytes.
    std::string Serialize() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\r\n", "\n", "\r" or "" for a last line without one
    };
    struct Section {
        std::size_t header = 0;    // line index of "[name]"; npos for keys before any header
        std::size_t lastLine = 0;  // last non-blank line that belongs to the section
        std::unordered_map<std::string, std::size_t> keys;  // folded key -> line of its first occurrence
    };

    void reindex();
    const Section* findSection(std::string_view section) const;

    std::string bom_;
    std::vector<Line> lines_;
    std::unordered_map<std::string, Section> sections_;  // folded name -> first section of that name
};
