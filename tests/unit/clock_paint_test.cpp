// Clock painting, checked on the pixels of the headless off-screen buffer:
// marks, hand lengths and directions, the ellipse stretch, outlined hands,
// the centre cap and the face picture.
#include <gtest/gtest.h>

#include "clock/tvclock.h"
#include "platform/drivers.h"
#include "platform/extctrls.h"
#include "platform/headless/headless.h"

namespace {

constexpr TColor kHour = RGBToColor(0, 160, 0);
constexpr TColor kMinute = RGBToColor(0, 0, 160);
constexpr TColor kSecond = RGBToColor(255, 0, 0);
constexpr TColor kGrey = RGBToColor(128, 128, 128);
constexpr TColor kSilver = RGBToColor(192, 192, 192);
constexpr TColor kBlue = RGBToColor(0, 0, 255);
constexpr TColor kBlack = RGBToColor(0, 0, 0);
constexpr TColor kWhite = RGBToColor(255, 255, 255);

struct ClockForm : TForm {
    ClockForm() : TForm(nullptr, "TClockForm") { clock.SetController(&controller); }
    ~ClockForm() override { DoDestroy(); }
    TTvController controller{this};
    TTvClock clock{this};
};

// A clock of the given size at the given time, painted once.
struct Painted {
    Painted(int width, int height, Word h, Word m, Word s, bool colouredHands = true) {
        clock().SetBounds(0, 0, width, height);
        if (colouredHands) {
            clock().HandOptions().SetHourHandColor(kHour);
            clock().HandOptions().SetMinuteHandColor(kMinute);
            clock().HandOptions().SetSecondHandColor(kSecond);
        }
        clock().ChangeTime(EncodeTime(h, m, s, 0));
    }
    TTvClock& clock() { return form.clock; }
    const TBitmap& paint() {
        clock().PaintTo(screen);
        return clock().Buffer();
    }
    TColor background() { return ColorToRGB(clock().Color()); }

    TApplication app;
    ClockForm form;
    TBitmap screen;
};

TColor at(const TBitmap& b, int x, int y) { return b.Canvas().Pixel(x, y); }

int count(const TBitmap& b, TColor color) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) n += at(b, x, y) == color;
    return n;
}

// Pixels of `color` inside `area`, as their bounding box (right and bottom outside).
TRect boundsOf(const TBitmap& b, TColor color, TRect area) {
    TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (at(b, x, y) == color) box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                                             std::max(box.bottom, y + 1)};
    return box;
}

// The 3 x 3 pixels around (x, y), row by row.
std::vector<TColor> block(const TBitmap& b, int x, int y) {
    std::vector<TColor> out;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) out.push_back(at(b, x + dx, y + dy));
    return out;
}

}  // namespace

TEST(ClockPainting, MarksOnA200By200Face) {
    Painted p(200, 200, 0, 0, 0);
    const TBitmap& b = p.paint();
    const TColor bg = p.background();
    const std::vector<TColor> hourMark{kBlue, kBlue, kBlack, kBlue, kGrey, kBlack, kBlue, kBlack, kBlack};
    EXPECT_EQ(block(b, 100, 2), hourMark);  // 0, at the top
    EXPECT_EQ(block(b, 198, 100), hourMark);  // 15, at the right
    EXPECT_EQ(block(b, 100, 198), hourMark);  // 30, at the bottom
    EXPECT_EQ(block(b, 2, 100), hourMark);    // 45, at the left
    // Mark 1 is a minute mark clockwise from the top: corners left alone.
    EXPECT_EQ(block(b, 110, 3), (std::vector<TColor>{kGrey, kGrey, bg, kGrey, kSilver, kWhite, bg, kWhite, kWhite}));
    // Mark 59, the other side of 12.
    EXPECT_EQ(at(b, 90, 3), kSilver);
    // Twelve hour marks of four blue pixels, 48 minute marks of one silver one.
    EXPECT_EQ(count(b, kBlue), 48);
    EXPECT_EQ(count(b, kSilver), 48);

    // Without marks none of that is drawn.
    p.clock().SetDrawMarks(false);
    const TBitmap& plain = p.paint();
    EXPECT_EQ(count(plain, kBlue), 0);
    EXPECT_EQ(count(plain, kSilver), 0);
    EXPECT_EQ(at(plain, 100, 2), bg);
}

TEST(ClockPainting, MinuteHandTipAtQuarterPast) {
    Painted p(200, 200, 0, 15, 0, false);
    const TBitmap& b = p.paint();
    const TColor bg = p.background();
    EXPECT_EQ(at(b, 180, 100), kBlack);  // 80 percent of 100, pointing right
    EXPECT_EQ(at(b, 181, 100), bg);
    EXPECT_EQ(at(b, 180, 99), bg);
    EXPECT_EQ(at(b, 180, 101), bg);
    EXPECT_EQ(at(b, 140, 100), kBlack);
    // The window shows the buffer unchanged.
    ASSERT_EQ(p.screen.Width(), 200);
    ASSERT_EQ(p.screen.Height(), 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (at(p.screen, x, y) != at(b, x, y)) FAIL() << "the window differs at " << x << ", " << y;
}

TEST(ClockPainting, TheClockWindowsSize223By221) {
    // 06:00:45: hour hand down, minute hand up, second hand left.
    Painted p(223, 221, 6, 0, 45);
    const TBitmap& b = p.paint();
    const TColor bg = p.background();
    EXPECT_EQ(at(b, 111, 110 + 66), kHour);
    EXPECT_EQ(at(b, 111, 110 + 67), bg);
    EXPECT_EQ(at(b, 111, 110 - 88), kMinute);
    EXPECT_EQ(at(b, 111, 110 - 89), bg);
    // Horizontal offsets stretch by 111 / 110: 99 becomes 100.
    EXPECT_EQ(at(b, 111 - 100, 110), kSecond);
    EXPECT_EQ(at(b, 111 - 101, 110), bg);

    // The centre cap: k = round(4.4) + 1 = 5, outlined black, filled with
    // the second hand's colour. The marks are the only other black.
    EXPECT_EQ(boundsOf(b, kBlack, {90, 90, 133, 131}), (TRect{106, 105, 116, 115}));
    EXPECT_EQ(at(b, 111, 110), kSecond);

    // Without the second hand, the cap takes the minute hand's colour.
    p.clock().HandOptions().SetShowSecondHand(false);
    const TBitmap& noSeconds = p.paint();
    EXPECT_EQ(at(noSeconds, 111, 110), kMinute);
    EXPECT_EQ(count(noSeconds, kSecond), 0);
    EXPECT_EQ(at(noSeconds, 111 - 100, 110), bg);
}

TEST(ClockPainting, HandShapeAndStretch) {
    {
        // 00:10:30: the hour hand stands upright (10 div 12 = 0). Width 6 and
        // length 66 put its corners 6 pixels either side, 16 pixels out.
        Painted p(223, 221, 0, 10, 30);
        p.clock().HandOptions().SetHourHandWidth(6);
        const TBitmap& b = p.paint();
        const TColor bg = p.background();
        EXPECT_EQ(at(b, 111 - 6, 110 - 16), kHour);
        EXPECT_EQ(at(b, 111 - 7, 110 - 16), bg);
        EXPECT_EQ(at(b, 111 + 6, 110 - 16), kHour);
        EXPECT_EQ(at(b, 111 + 7, 110 - 16), bg);
        EXPECT_EQ(at(b, 111, 110 - 66), kHour);
        EXPECT_EQ(at(b, 110, 110 - 50), kHour);  // filled between the edges
    }
    {
        // Width 1: a triangle on a 2-pixel base at the centre, no waist.
        Painted p(200, 200, 0, 0, 30);
        const TBitmap& b = p.paint();
        EXPECT_EQ(at(b, 99, 110), kSecond);
        EXPECT_EQ(at(b, 101, 110), kSecond);
        EXPECT_EQ(at(b, 100, 190), kSecond);
        EXPECT_EQ(at(b, 98, 110), p.background());
    }
    {
        // A wide face stretches horizontal offsets: 40 becomes 120.
        Painted p(300, 100, 0, 15, 0);
        const TBitmap& b = p.paint();
        EXPECT_EQ(at(b, 150 + 120, 50), kMinute);
        EXPECT_EQ(at(b, 150 + 121, 50), p.background());
    }
    {
        // A tall one stretches vertical offsets.
        Painted p(100, 300, 0, 0, 30);
        const TBitmap& b = p.paint();
        EXPECT_EQ(at(b, 50, 150 - 120), kMinute);
        EXPECT_EQ(at(b, 50, 150 - 121), p.background());
        EXPECT_EQ(at(b, 50, 150 + 135), kSecond);  // 90 percent of 50, times 3
        EXPECT_EQ(at(b, 50, 150 + 136), p.background());
    }
    {
        // Halves round to the even neighbour: on a 10 x 4 face the hour hand,
        // 1 pixel long and pointing right, stretches by 5 / 2 to 2.5, so 2.
        Painted p(10, 4, 3, 0, 0);
        p.clock().SetDrawMarks(false);
        p.clock().HandOptions().SetShowSecondHand(false);
        p.clock().HandOptions().SetMinuteHandWidth(1);
        const TBitmap& b = p.paint();
        EXPECT_NE(at(b, 5 + 2, 2), p.background());
        EXPECT_EQ(at(b, 5 + 3, 2), p.background());
    }
    {
        // The hour hand moves a step every 12 minutes: 03:00 points right,
        // 03:30 two steps further on.
        Painted p(200, 200, 3, 0, 30);
        const TBitmap& three = p.paint();
        EXPECT_EQ(at(three, 160, 100), kHour);
        p.clock().ChangeTime(EncodeTime(3, 30, 30, 0));
        const TBitmap& half = p.paint();
        EXPECT_EQ(at(half, 160, 100), p.background());
        // 102 degrees clockwise from 12: 60 pixels out lies at (158.7, 112.5).
        EXPECT_EQ(at(half, 159, 112), kHour);
    }
}

TEST(ClockPainting, OutlinedHandsShadeTwoFacets) {
    // 06:00:15 with outlined hands: the hour hand points down, the minute
    // hand up. Hour 6 whitens the upright hand's right facets and minute 0
    // its left ones; turned half round, both end up on the screen's left.
    Painted p(200, 200, 6, 0, 15);
    p.clock().HandOptions().SetSolidHands(false);
    const TBitmap& b = p.paint();
    const TColor bg = p.background();
    EXPECT_EQ(at(b, 98, 110), kWhite);
    EXPECT_EQ(at(b, 102, 110), bg);
    EXPECT_EQ(at(b, 100, 130), kHour);  // the axis is outlined
    EXPECT_EQ(at(b, 99, 85), kWhite);
    EXPECT_EQ(at(b, 101, 85), bg);
    EXPECT_EQ(at(b, 100, 60), kMinute);

    // Minutes 16 to 25 whiten both inner facets and neither outer one. At
    // 00:20:45 a wide minute hand points 120 degrees round: 3 pixels either
    // side of its axis, 10 out lies inside, 40 out outside the inner facets.
    p.clock().HandOptions().SetMinuteHandWidth(10);
    p.clock().ChangeTime(EncodeTime(0, 20, 45, 0));
    const TBitmap& twenty = p.paint();
    EXPECT_EQ(at(twenty, 107, 108), kWhite);
    EXPECT_EQ(at(twenty, 110, 102), kWhite);
    EXPECT_EQ(at(twenty, 133, 123), bg);
    EXPECT_EQ(at(twenty, 136, 117), bg);
}

TEST(ClockPainting, FacePictureInsideTheMarks) {
    Painted p(200, 200, 0, 0, 30);
    TBitmap face(2, 1);
    face.Canvas().SetPixel(0, 0, RGBToColor(0, 200, 0));
    face.Canvas().SetPixel(1, 0, RGBToColor(200, 0, 200));
    p.clock().SetClockFace(&face);
    const TBitmap& b = p.paint();
    const TColor bg = p.background();
    // Stretched over the ellipse 3 pixels inside the client area.
    EXPECT_EQ(at(b, 50, 100), RGBToColor(0, 200, 0));
    EXPECT_EQ(at(b, 150, 100), RGBToColor(200, 0, 200));
    EXPECT_EQ(at(b, 95, 3), RGBToColor(0, 200, 0));
    EXPECT_EQ(at(b, 95, 2), bg);
    EXPECT_EQ(at(b, 3, 3), bg);
    EXPECT_EQ(at(b, 0, 100), bg);

    // Without marks the ellipse fills the whole client area.
    p.clock().SetDrawMarks(false);
    const TBitmap& full = p.paint();
    EXPECT_EQ(at(full, 0, 100), RGBToColor(0, 200, 0));
    EXPECT_EQ(at(full, 199, 100), RGBToColor(200, 0, 200));
    EXPECT_EQ(at(full, 1, 1), bg);
    EXPECT_EQ(at(full, 99, 0), RGBToColor(0, 200, 0));  // each face pixel takes half
    EXPECT_EQ(at(full, 100, 0), RGBToColor(200, 0, 200));
}

TEST(ClockPainting, BufferFollowsTheControl) {
    Painted p(200, 200, 12, 0, 0);
    p.paint();
    // Docked by the form, which sets the bounds through the base control.
    p.clock().Align = TAlign::Client;
    ArrangeAligned(p.form, 90, 70);
    EXPECT_EQ(p.clock().Width(), 90);
    p.paint();
    EXPECT_EQ(p.clock().Buffer().Width(), 90);
    EXPECT_EQ(p.clock().Buffer().Height(), 70);
    EXPECT_EQ(p.screen.Width(), 90);
    EXPECT_EQ(at(p.clock().Buffer(), 45, 35), kSecond);  // the cap at the new centre
    // A window on a 150 % screen is larger than the design size: the clock fills it.
    TBitmap window(135, 105);
    p.clock().PaintWindow(window.Driver(), 135, 105);
    EXPECT_EQ(at(window, 67, 52), kSecond);
    EXPECT_EQ(p.clock().PaintWidth(), 90);

    // A colour of its own instead of the parent's.
    p.clock().SetColor(RGBToColor(10, 20, 30));
    EXPECT_FALSE(p.clock().ParentColor());
    EXPECT_EQ(at(p.paint(), 0, 0), RGBToColor(10, 20, 30));

    // Degenerate sizes paint without failing.
    for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 50}, std::pair{50, 1}, std::pair{0, 0}}) {
        p.clock().SetBounds(0, 0, w, h);
        p.paint();
        EXPECT_EQ(p.clock().Buffer().Width(), w);
    }
}
