// FormatDateTime with any pattern and any value, also NaN, infinities and
// values far outside the calendar: no crash, no undefined behaviour, output
// bounded by the pattern, and the fields in their ranges.
//
// Input: eight bytes of a double, one byte choosing the time separator,
// then the pattern.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view pattern, double t, const std::string& out) {
    std::fprintf(stderr, "datetime property broken: %s [%.*s] %.17g -> [%s]\n", what, static_cast<int>(pattern.size()),
                 pattern.data(), t, out.c_str());
    std::abort();
}

bool digits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return !s.empty();
}

int number(std::string_view s) { return std::atoi(std::string(s).c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    double t;
    std::memcpy(&t, data, sizeof t);
    static const char* const separators[] = {":", ".", "", "h", "\xE2\x88\xB6", "::::"};
    TFormatSettings settings;
    settings.TimeSeparator = separators[data[8] % 6];
    const std::string_view pattern(reinterpret_cast<const char*>(data + 9), size - 9);

    const std::string out = FormatDateTime(pattern, t, settings);
    // The widest a pattern character becomes: a lone "y" or "d" two digits,
    // "yyy" a year of up to five digits, "mmm" a month name of up to nine
    // letters, ":" the separator.
    const std::size_t perChar = std::max<std::size_t>(3, settings.TimeSeparator.size());
    if (out.size() > pattern.size() * perChar) fail("output longer than the pattern allows", pattern, t, out);

    // The time of day is always a valid one, whatever the value.
    const std::string clock = FormatDateTime("hh:nn:ss.zzz", t);
    if (clock.size() != 12 || !digits(clock.substr(0, 2)) || !digits(clock.substr(3, 2)) ||
        !digits(clock.substr(6, 2)) || !digits(clock.substr(9, 3)) || number(clock.substr(0, 2)) > 23 ||
        number(clock.substr(3, 2)) > 59 || number(clock.substr(6, 2)) > 59)
        fail("time of day out of range", "hh:nn:ss.zzz", t, clock);
    const std::string twelve = FormatDateTime("h am/pm", t);
    const int h12 = number(twelve);
    if (h12 < 1 || h12 > 12) fail("12-hour clock out of range", "h am/pm", t, twelve);

    // Dates of the calendar's years come out whole and in range.
    if (std::isfinite(t) && t > -693593.5 && t < 2958465.5) {
        const std::string date = FormatDateTime("yyyy-mm-dd", t);
        const auto dash1 = date.find('-'), dash2 = date.rfind('-');
        if (dash1 == std::string::npos || dash1 == dash2 || !digits(date.substr(0, dash1)) ||
            !digits(date.substr(dash1 + 1, dash2 - dash1 - 1)) || !digits(date.substr(dash2 + 1)))
            fail("date not numeric", "yyyy-mm-dd", t, date);
        const int year = number(date.substr(0, dash1)), month = number(date.substr(dash1 + 1, 2)),
                  day = number(date.substr(dash2 + 1));
        if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
            fail("date out of range", "yyyy-mm-dd", t, date);
        // Encoding the decoded fields gives the same day back; the day of a
        // negative value is its integral part, as the toolkit has it.
        Word y, m, d;
        DecodeDate(t, y, m, d);
        const double day0 = std::trunc(static_cast<double>(std::llround(t * 86400000.0) / 86400000));
        if (EncodeDate(y, m, d) != day0) fail("decoded date does not encode to its day", "", t, date);
    }
    // Text in quotes is copied as it stands.
    const std::string quoted = FormatDateTime("\"" + std::string(pattern.substr(0, pattern.find('"'))) + "\"", t);
    if (quoted != pattern.substr(0, pattern.find('"'))) fail("quoted text not copied", pattern, t, quoted);
    return 0;
}
