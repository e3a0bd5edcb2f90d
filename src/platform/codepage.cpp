#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/sysutils.h"

namespace {

using THigh = std::array<char16_t, 128>;  // the characters of bytes 0x80 to 0xFF

// Positions that a code page leaves undefined stand for the C1 control of
// the same number, as the system converts them, so every byte round-trips.
THigh cp1252() {
    constexpr char16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    THigh high{};
    for (unsigned i = 0; i < 128; ++i) high[i] = i < 32 ? k80[i] : static_cast<char16_t>(0x80 + i);
    return high;
}

THigh cp1251() {
    constexpr char16_t k80[64] = {
        0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
        0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
        0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
        0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
        0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
    THigh high{};
    // 0xC0 to 0xFF are the Russian alphabet, А to я, in order.
    for (unsigned i = 0; i < 128; ++i) high[i] = i < 64 ? k80[i] : static_cast<char16_t>(0x0410 + i - 64);
    return high;
}

class TTableCodePage final : public IAnsiCodePage {
public:
    TTableCodePage(unsigned number, const THigh& high) : number_(number), high_(high) {
        for (unsigned i = 0; i < 128; ++i) bytes_[i] = {high_[i], static_cast<char>(0x80 + i)};
        std::sort(bytes_.begin(), bytes_.end());
    }

    unsigned Number() const override { return number_; }

    std::string ToUtf8(std::string_view ansi) const override {
        std::string out;
        out.reserve(ansi.size() + ansi.size() / 2);
        for (char ch : ansi) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x80)
                out += ch;
            else
                AppendUtf8(out, high_[c - 0x80]);
        }
        return out;
    }

    bool FromUtf8(std::string_view s, std::string& ansi) const override {
        const std::u16string units = Wtf8ToUtf16(s);
        ansi.clear();
        ansi.reserve(units.size());
        for (char16_t u : units) {
            if (u < 0x80) {
                ansi += static_cast<char>(u);
                continue;
            }
            // A replaced or unpaired unit is in no table either.
            auto it = std::lower_bound(bytes_.begin(), bytes_.end(), u,
                                       [](const std::pair<char16_t, char>& e, char16_t v) { return e.first < v; });
            if (it == bytes_.end() || it->first != u) return false;
            ansi += it->second;
        }
        return true;
    }

private:
    unsigned number_;
    THigh high_;
    std::array<std::pair<char16_t, char>, 128> bytes_;  // by character, for the way back
};

}  // namespace

const IAnsiCodePage* TableCodePage(unsigned number) {
    static const TTableCodePage western(1252, cp1252());
    static const TTableCodePage cyrillic(1251, cp1251());
    switch (number) {
        case 1252:
            return &western;
        case 1251:
            return &cyrillic;
        default:
            return nullptr;
    }
}

const IAnsiCodePage& DefaultCodePage() {
    return *TableCodePage(1252);
}
