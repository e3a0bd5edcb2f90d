#include "platform/sysutils.h"

#include <cstdint>
#include <cstring>

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    }
    if (i >= text.size()) return false;
    std::uint64_t acc = 0;
    for (; i < text.size(); ++i) {
        int d = hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) return false;
        acc = acc * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (acc > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        auto bits = static_cast<std::uint32_t>(acc);
        value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    if (negative) {
        if (acc > 0x80000000ull) return false;
        value = static_cast<std::int32_t>(-static_cast<std::int64_t>(acc));
    } else {
        if (acc > 0x7FFFFFFFull) return false;
        value = static_cast<std::int32_t>(acc);
    }
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t v = 0;
    if (!TryStrToInt(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return v;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
    std::int32_t v = 0;
    return TryStrToInt(text, v) ? v : def;
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;  // the usual case, and a fast compare
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::string TrimRightBlanks(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && isBlank(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

TUtf8Check CheckUtf8(std::string_view s, bool allowSurrogates) {
    bool ascii = true;
    std::size_t i = 0;
    while (i < s.size()) {
        // Runs of ASCII eight bytes at a time.
        while (i + 8 <= s.size()) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= s.size()) break;
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return TUtf8Check::Invalid;
        }
        if (i + n >= s.size()) return TUtf8Check::Invalid;
        for (std::size_t k = 1; k <= n; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return TUtf8Check::Invalid;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms and values past U+10FFFF are not UTF-8.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (!allowSurrogates && cp >= 0xD800 && cp <= 0xDFFF))
            return TUtf8Check::Invalid;
        ascii = false;
        i += n + 1;
    }
    return ascii ? TUtf8Check::Ascii : TUtf8Check::Utf8;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToWtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() + utf16.size() / 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        std::uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00u);
        AppendUtf8(out, cp);  // a lone surrogate as its own code point
    }
    return out;
}

std::u16string Wtf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    auto cont = [&s](std::size_t at) { return at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        std::uint32_t cp = 0xFFFD;
        if (c < 0x80) {
            n = 1;
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
            n = 2;
            cp = (c & 0x1Fu) << 6 | (s[i + 1] & 0x3F);
        } else if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            n = 3;
            cp = (c & 0x0Fu) << 12 | (s[i + 1] & 0x3Fu) << 6 | (s[i + 2] & 0x3F);
        } else if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            n = 4;
            cp = (c & 0x07u) << 18 | (s[i + 1] & 0x3Fu) << 12 | (s[i + 2] & 0x3Fu) << 6 | (s[i + 3] & 0x3F);
        }
        // Overlong forms and values past U+10FFFF are no character.
        if (n == 0 || (n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
            n = 1;
            cp = 0xFFFD;
        }
        i += n;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf8Prefix(std::string_view s, std::size_t maxChars) {
    if (s.size() <= maxChars) return std::string(s);  // no more characters than bytes
    std::size_t i = 0, count = 0;
    while (i < s.size() && count < maxChars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++count;
    }
    return std::string(s.substr(0, i));
}

std::string ExtractFilePath(std::string_view path) {
    auto pos = path.find_last_of("\\:/");
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
    auto pos = path.find_last_of("\\:/");
    return pos == std::string_view::npos ? std::string(path) : std::string(path.substr(pos + 1));
}
