// Small runtime helpers shared by every unit: the error base class, integer
// conversion with the toolkit's rules, ASCII case handling and UTF-8 helpers.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

using Word = std::uint16_t;

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// "'%s' is not a valid integer value"
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Leading blanks, one sign, decimal or hex after "$", "0x" or "x"; nothing
// may trail. Values outside 32 bits are an error (hex up to $FFFFFFFF wraps).
bool TryStrToInt(std::string_view text, std::int32_t& value);
std::int32_t StrToInt(std::string_view text);  // throws EConvertError
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

// ASCII-only case mapping, as the classic runtime's UpperCase/CompareText do.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);

std::string TrimBlanks(std::string_view s);  // spaces and tabs
std::string TrimRightBlanks(std::string_view s);

// How bytes read as UTF-8: all ASCII, UTF-8 with more than ASCII, or no
// UTF-8. Surrogate code points (WTF-8) count only where they are allowed.
enum class TUtf8Check { Ascii, Utf8, Invalid };
TUtf8Check CheckUtf8(std::string_view s, bool allowSurrogates = false);
inline bool IsValidUtf8(std::string_view s) {
    return CheckUtf8(s) != TUtf8Check::Invalid;
}
void AppendUtf8(std::string& out, char32_t cp);
// UTF-16 and our 8-bit strings. An unpaired surrogate (file names may hold
// one) keeps the three-byte form of its code point (WTF-8) both ways, so every
// name survives the round trip; bytes that are no such form read as U+FFFD.
std::string Utf16ToWtf8(std::u16string_view utf16);
std::u16string Wtf8ToUtf16(std::string_view wtf8);
// Cuts after at most maxChars code points, never inside a sequence.
std::string Utf8Prefix(std::string_view s, std::size_t maxChars);

// Everything up to and including the last "\" or ":" (or "/").
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
