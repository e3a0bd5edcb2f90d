#include "platform/datetime.h"

#include <cmath>

namespace {

// Days between 1 January 1970 and 30 December 1899, the toolkit's day 0.
constexpr std::int64_t kUnixDayOfDelphiEpoch = -25569;

// Howard Hinnant's civil-calendar conversions (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool isLeap(unsigned y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

unsigned daysInMonth(unsigned y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Whole milliseconds of `t`, rounded as the toolkit does before splitting.
std::int64_t totalMilliseconds(TDateTime t) { return std::llround(t * static_cast<double>(MSecsPerDay)); }

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::string twoDigits(unsigned v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view what) {
    if (s.size() - at < what.size()) return false;
    for (std::size_t i = 0; i < what.size(); ++i)
        if (upper(s[at + i]) != upper(what[i])) return false;
    return true;
}

}  // namespace

TDateTime EncodeDate(Word year, Word month, Word day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(daysFromCivil(year, month, day) - kUnixDayOfDelphiEpoch);
}

TDateTime EncodeTime(Word hour, Word minute, Word second, Word msec) {
    if (hour > 23 || minute > 59 || second > 59 || msec > 999) throw EConvertError("Invalid argument to time encode");
    const std::int64_t ms = ((hour * 60 + minute) * 60 + second) * 1000LL + msec;
    return static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
}

void DecodeTime(TDateTime t, Word& hour, Word& minute, Word& second, Word& msec) {
    // The remainder first: NaN and values out of range round to the least
    // 64-bit value, which has no absolute value.
    std::int64_t ms = totalMilliseconds(t) % MSecsPerDay;
    if (ms < 0) ms = -ms;
    msec = static_cast<Word>(ms % 1000);
    ms /= 1000;
    second = static_cast<Word>(ms % 60);
    ms /= 60;
    minute = static_cast<Word>(ms % 60);
    hour = static_cast<Word>(ms / 60);
}

void DecodeDate(TDateTime t, Word& year, Word& month, Word& day) {
    std::int64_t y;
    unsigned m, d;
    civilFromDays(totalMilliseconds(t) / MSecsPerDay + kUnixDayOfDelphiEpoch, y, m, d);
    year = static_cast<Word>(y);
    month = static_cast<Word>(m);
    day = static_cast<Word>(d);
}

TDateTime SystemTimeToDateTime(const TSystemTime& st) {
    return EncodeDate(st.Year, st.Month, st.Day) + EncodeTime(st.Hour, st.Minute, st.Second, st.Milliseconds);
}

TSystemTime AddMilliseconds(const TSystemTime& st, std::int64_t ms) {
    const std::int64_t dayMs = ((st.Hour * 60LL + st.Minute) * 60 + st.Second) * 1000 + st.Milliseconds + ms;
    const std::int64_t days = daysFromCivil(st.Year, st.Month, st.Day) + floorDiv(dayMs, MSecsPerDay);
    std::int64_t rest = dayMs - floorDiv(dayMs, MSecsPerDay) * MSecsPerDay;
    std::int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    TSystemTime out;
    out.Year = static_cast<Word>(y);
    out.Month = static_cast<Word>(m);
    out.Day = static_cast<Word>(d);
    out.DayOfWeek = static_cast<Word>(days + 4 - floorDiv(days + 4, 7) * 7);  // 1 January 1970 was a Thursday
    out.Milliseconds = static_cast<Word>(rest % 1000);
    rest /= 1000;
    out.Second = static_cast<Word>(rest % 60);
    rest /= 60;
    out.Minute = static_cast<Word>(rest % 60);
    out.Hour = static_cast<Word>(rest / 60);
    return out;
}

TFormatSettings LocaleFormatSettings(IOperatingSystem& os) {
    TFormatSettings s;
    for (int m = 1; m <= 12; ++m) {
        std::string name = os.LongMonthName(m);
        if (!name.empty()) s.LongMonthNames[static_cast<std::size_t>(m - 1)] = std::move(name);
    }
    s.TimeSeparator = os.TimeSeparator();
    return s;
}

std::string FormatDateTime(std::string_view pattern, TDateTime t, const TFormatSettings& settings) {
    Word year, month, day, hour, minute, second, msec;
    DecodeDate(t, year, month, day);
    DecodeTime(t, hour, minute, second, msec);

    // An am/pm token anywhere outside quotes puts every hour on the 12-hour clock.
    bool twelveHour = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '"' || pattern[i] == '\'') {
            const std::size_t close = pattern.find(pattern[i], i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (startsWithNoCase(pattern, i, "am/pm") || startsWithNoCase(pattern, i, "a/p")) {
            twelveHour = true;
        }
    }

    std::string out;
    char lastToken = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '"' || c == '\'') {
            std::size_t close = pattern.find(c, i + 1);
            if (close == std::string_view::npos) close = pattern.size();
            out.append(pattern.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (c == ':') {
            out += settings.TimeSeparator;
            ++i;
            continue;
        }
        char token = upper(c);
        if (token < 'A' || token > 'Z') {
            out += c;
            ++i;
            continue;
        }
        if (token == 'A') {
            const bool pm = hour >= 12;
            if (startsWithNoCase(pattern, i, "am/pm")) {
                out.append(pattern.substr(i + (pm ? 3 : 0), 2));
                i += 5;
            } else if (startsWithNoCase(pattern, i, "a/p")) {
                out += pattern[i + (pm ? 2 : 0)];
                i += 3;
            } else {
                out += c;
                ++i;
            }
            lastToken = 'A';
            continue;
        }
        std::size_t count = 1;
        while (i + count < pattern.size() && upper(pattern[i + count]) == token) ++count;
        i += count;
        if (token == 'M' && lastToken == 'H' && count <= 2) token = 'N';
        const bool pad = count >= 2;
        switch (token) {
            case 'Y':
                out += count <= 2 ? twoDigits(year % 100) : std::to_string(year);
                break;
            case 'M':
                out += count >= 3 ? settings.LongMonthNames[static_cast<std::size_t>(month - 1)]
                                  : (pad ? twoDigits(month) : std::to_string(month));
                break;
            case 'D':
                out += pad ? twoDigits(day) : std::to_string(day);
                break;
            case 'H': {
                unsigned h = hour;
                if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                out += pad ? twoDigits(h) : std::to_string(h);
                break;
            }
            case 'N':
                out += pad ? twoDigits(minute) : std::to_string(minute);
                break;
            case 'S':
                out += pad ? twoDigits(second) : std::to_string(second);
                break;
            case 'Z':
                if (count >= 3) {
                    std::string z = std::to_string(msec);
                    out += std::string(3 - z.size(), '0') + z;
                } else {
                    out += std::to_string(msec);
                }
                break;
            default:
                out.append(count, c);
                break;
        }
        lastToken = token;
    }
    return out;
}
