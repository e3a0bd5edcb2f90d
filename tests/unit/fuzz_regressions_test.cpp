// Faults the fuzz targets found, kept as plain tests.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/datetime.h"

// NaN, infinities and values beyond the range of 64-bit milliseconds round
// to the least 64-bit value; its time of day was negated with overflow and
// came out negative, and "zzz" then asked for a string of 2^64 - 2 zeros.
TEST(FuzzRegressions, TimeOfDayOfValuesOutsideTheMillisecondRange) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 1e300, -1e300, 1.2e11};
    for (double t : values) {
        Word h = 99, m = 99, s = 99, ms = 9999;
        DecodeTime(t, h, m, s, ms);
        EXPECT_LT(h, 24) << t;
        EXPECT_LT(m, 60) << t;
        EXPECT_LT(s, 60) << t;
        EXPECT_LT(ms, 1000) << t;
        const std::string text = FormatDateTime("hh:nn:ss.zzz", t);
        EXPECT_EQ(text.size(), 12u) << t << " " << text;
    }
    // The time of day of ordinary values, either side of day 0, is unchanged.
    Word h, m, s, ms;
    DecodeTime(-1.25, h, m, s, ms);
    EXPECT_EQ((std::vector<Word>{h, m, s, ms}), (std::vector<Word>{6, 0, 0, 0}));
    DecodeTime(36209.5 + 7.0 / 86400000, h, m, s, ms);
    EXPECT_EQ((std::vector<Word>{h, m, s, ms}), (std::vector<Word>{12, 0, 0, 7}));
}
