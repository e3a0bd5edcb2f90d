// Text in a Windows ANSI code page: files without a byte-order mark that are
// not UTF-8 were saved in the system's one.
#pragma once

#include <string>
#include <string_view>

class IAnsiCodePage {
public:
    virtual ~IAnsiCodePage() = default;
    virtual unsigned Number() const = 0;
    // Any bytes convert, and what comes out converts back to the same bytes.
    virtual std::string ToUtf8(std::string_view ansi) const = 0;
    // False when `utf8` holds a character that the code page lacks; `ansi`
    // is then unspecified.
    virtual bool FromUtf8(std::string_view utf8, std::string& ansi) const = 0;
};

// A single-byte code page from its table, where the system's conversion is
// not at hand: 1252 (Western European) and 1251 (Cyrillic); null otherwise.
const IAnsiCodePage* TableCodePage(unsigned number);
// 1252, for code that runs without the system's services.
const IAnsiCodePage& DefaultCodePage();
