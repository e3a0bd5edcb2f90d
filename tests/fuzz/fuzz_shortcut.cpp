// Shortcut texts both ways: what is parsed prints and parses back the same,
// what is printed parses back to the same key and modifiers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/menus.h"
#include "platform/sysutils.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text, unsigned value) {
    std::fprintf(stderr, "shortcut property broken: %s [%s] 0x%04X\n", what, text.c_str(), value);
    std::abort();
}

constexpr TShortCut kModifiers = scShift | scCtrl | scAlt;

// The key a printed shortcut parses back to: the numeric pad's digits print
// as the main keyboard's, which come first.
unsigned canonicalKey(unsigned key) { return key >= 96 && key <= 105 ? key - 48 : key; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const TShortCut parsed = TextToShortCut(text);
    if (parsed != 0) {
        const std::string printed = ShortCutToText(parsed);
        if (printed.empty()) fail("a parsed shortcut prints as nothing", std::string(text), parsed);
        if (TextToShortCut(printed) != parsed) fail("printed text parses to another shortcut", printed, parsed);
        if ((parsed & ~(kModifiers | 0xFF)) != 0) fail("bits outside key and modifiers", std::string(text), parsed);
        if (canonicalKey(parsed & 0xFF) != (parsed & 0xFFu)) fail("not the lowest key of its name", printed, parsed);
    }
    // Letter case never matters, in the prefixes or in the key names.
    if (TextToShortCut(UpperCase(text)) != parsed || TextToShortCut(LowerCase(text)) != parsed)
        fail("letter case changes the result", std::string(text), parsed);
    // A modifier prefix in front adds its bit to a key that parses.
    if (parsed != 0) {
        const std::string ctrl = "Ctrl+" + std::string(text);
        if (TextToShortCut(ctrl) != (parsed | scCtrl)) fail("Ctrl+ prefix", ctrl, TextToShortCut(ctrl));
        const std::string caret = "^" + std::string(text);
        if (TextToShortCut(caret) != (parsed | scCtrl)) fail("^ prefix", caret, TextToShortCut(caret));
    }

    // The other way: every 16-bit value, as the first two bytes give it.
    if (size >= 2) {
        const auto value = static_cast<TShortCut>(data[0] | data[1] << 8);
        const std::string printed = ShortCutToText(value);
        const unsigned key = value & 0xFF;
        if (printed.empty() != KeyName(static_cast<Word>(key)).empty()) fail("printed iff the key has a name", printed, value);
        if (!printed.empty()) {
            const unsigned want = (value & kModifiers) | canonicalKey(key);
            if (TextToShortCut(printed) != want) fail("printed shortcut does not parse back", printed, value);
            if (ShortCutToText(TextToShortCut(printed)) != printed) fail("printing is not stable", printed, value);
        }
    }
    return 0;
}
