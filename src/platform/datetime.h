// Date-time values as the toolkit keeps them: whole days since 30 December
// 1899 in the integral part, the time of day as the fraction of a day.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os.h"
#include "platform/sysutils.h"

using TDateTime = double;

constexpr std::int64_t MSecsPerDay = 86'400'000;

// Invalid arguments raise EConvertError, as the toolkit's encoders do.
TDateTime EncodeDate(Word year, Word month, Word day);
TDateTime EncodeTime(Word hour, Word minute, Word second, Word msec);
// The time of day of `t`; the days are ignored.
void DecodeTime(TDateTime t, Word& hour, Word& minute, Word& second, Word& msec);
void DecodeDate(TDateTime t, Word& year, Word& month, Word& day);

TDateTime SystemTimeToDateTime(const TSystemTime& st);
// `st` moved on by `ms` milliseconds (either way), day of the week included.
TSystemTime AddMilliseconds(const TSystemTime& st, std::int64_t ms);

// What FormatDateTime takes from the user's locale.
struct TFormatSettings {
    std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    std::string TimeSeparator = ":";
};
TFormatSettings LocaleFormatSettings(IOperatingSystem& os);

// The pattern letters are case-insensitive: d dd m mm mmmm yy yyyy h hh
// n nn s ss z zzz, "m" or "mm" right after an hour token means minutes,
// "am/pm" and "a/p" switch the hours to the 12-hour clock and keep the case
// written, ":" is the locale's time separator, and text in double or single
// quotes is copied. Any other character is copied unchanged.
std::string FormatDateTime(std::string_view pattern, TDateTime t, const TFormatSettings& settings = {});
