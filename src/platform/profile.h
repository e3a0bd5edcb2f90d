// Our INI engine, with the rules of the Windows profile functions: names match
// without regard to case, values lose their surrounding blanks and one pair of
// enclosing quotes, the first of duplicate sections and keys wins, and writes
// change the file in place, keeping every byte they do not touch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/codepage.h"

// How a file's text is saved. Writes keep it, but for one case: a text that
// it cannot hold (a character the ANSI code page lacks, or an unpaired
// surrogate outside UTF-16) makes the file UTF-16LE, which holds any.
enum class TTextEncoding { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

class TProfileData {
public:
    static constexpr std::size_t kMaxValueChars = 2047;

    // No file yet: it will be an ANSI file, as the platform makes one.
    explicit TProfileData(const IAnsiCodePage& codePage = DefaultCodePage()) : codePage_(&codePage) {}
    // Bytes as stored, read by their byte-order mark (UTF-16LE, UTF-16BE,
    // UTF-8), else as UTF-8 when they are UTF-8, else in the ANSI code page.
    // CRLF, CR and LF line ends all work.
    static TProfileData Parse(std::string_view bytes, const IAnsiCodePage& codePage = DefaultCodePage());
    // The same, taking over the buffer instead of copying it.
    static TProfileData Parse(std::string&& bytes, const IAnsiCodePage& codePage = DefaultCodePage());
    static TProfileData Parse(const char* bytes, const IAnsiCodePage& codePage = DefaultCodePage()) {
        return Parse(std::string_view(bytes), codePage);
    }

    TTextEncoding Encoding() const { return encoding_; }

    // The value as the profile functions return it: trimmed, unquoted, cut at
    // kMaxValueChars characters; a missing section or key gives `def` without
    // its trailing blanks.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // The trimmed, unquoted value, uncut; nothing when the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;

    // Replaces the key's value where it stands, or appends the key at the end
    // of its section (and the section at the end of the file). Text that is
    // no UTF-8 is taken to be in the ANSI code page.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes after the writes, in its encoding; untouched lines keep
    // their bytes. ANSI bytes that a reader would take for another encoding
    // are saved as UTF-16LE instead.
    std::string Serialize() const;

    // True when these are exactly the bytes this was parsed from, unwritten.
    bool SameSource(std::string_view bytes) const;

private:
    // Lines are ranges of text_ until a write replaces or adds one; then their
    // text lives in owned_. Indexes instead of pointers keep copies valid.
    struct Line {
        std::size_t start = 0;
        std::size_t length = 0;
        std::uint8_t eol = 0;     // index into the line-end spellings; 0 for none
        bool indexed = false;     // the key table points here: the first of its key in its section
        std::int32_t own = -1;    // index into owned_, or -1
    };
    struct Section {
        std::size_t header = 0;    // line index of "[name]"
        std::size_t lastLine = 0;  // last non-blank line that belongs to the section
    };
    // Open-addressing table of the first occurrence of each key of each
    // section; names are folded while hashing, so lookups allocate nothing.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t section = 0;
        std::uint32_t line = kEmptySlot;
    };
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
    static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);

    void load();                                        // lines and keys of text_ from textStart_ on
    std::string joined(std::string_view prefix) const;  // the prefix, then every line with its end
    void fitEncoding(std::string_view text);
    std::string_view lineText(std::size_t i) const;
    std::string_view lineKey(std::size_t i) const;  // trimmed name before "="
    void appendLine(std::size_t at, std::string text);
    void reindex();
    // Writes that a reread would see differently are settled by rereading.
    void finishWrite(std::string_view section, std::string_view key, std::string_view value);
    void growTable();
    // Slot of the key in the section, or of the empty slot where it would go.
    std::size_t probe(std::uint32_t section, std::string_view name, std::uint32_t hash) const;
    std::size_t keyLine(std::uint32_t section, std::string_view key) const;  // kEmpty when missing
    const Section* findSection(std::string_view section, std::uint32_t* index = nullptr) const;
    std::optional<std::string_view> findValue(std::string_view section, std::string_view key) const;

    const IAnsiCodePage* codePage_;
    TTextEncoding encoding_ = TTextEncoding::Ansi;
    bool nonAscii_ = false;  // an ANSI file's text holds more than ASCII
    bool written_ = false;
    std::string source_;   // the bytes parsed, where text_ is their conversion to UTF-8
    std::string trailer_;  // the odd last byte of a UTF-16 file
    std::string text_;
    std::size_t textStart_ = 0;  // a BOM kept in text_ is skipped
    std::deque<std::string> owned_;
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::uint32_t> sectionIndex_;  // folded name -> first section of that name
    std::vector<Slot> slots_;
    // Readers ask for the same section many times in a row.
    mutable std::string lastSectionName_;
    mutable std::uint32_t lastSection_ = 0;
    mutable bool lastSectionValid_ = false;
    // Readers mostly ask for the keys of an entry in the order of the file;
    // the lines after the last one found are tried before the table.
    mutable std::size_t lastFound_ = kEmpty;
    std::size_t keyCount_ = 0;
};
