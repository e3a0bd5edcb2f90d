// Painting the clock: background, face picture, marks, hands and centre cap,
// layer by layer into the off-screen buffer, then one copy to the window.
// The geometry depends only on the client size, the shown time and the
// settings, so the buffer can be checked pixel by pixel without a window.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "clock/tvclock.h"

namespace {

constexpr TColor kGrey = RGBToColor(128, 128, 128);
constexpr TColor kSilver = RGBToColor(192, 192, 192);
constexpr TColor kBlue = RGBToColor(0, 0, 255);
constexpr TColor kBlack = RGBToColor(0, 0, 0);
constexpr TColor kWhite = RGBToColor(255, 255, 255);

// Halves go to the even neighbour, as the toolkit's Round does.
int roundEven(double x) { return static_cast<int>(std::nearbyint(x)); }

// The centre, which is also the pair of semi-axes, and the radius.
struct Geometry {
    int cx, cy, r;
};

Geometry geometryOf(int width, int height) {
    const int cx = std::max(width / 2, 1), cy = std::max(height / 2, 1);
    return {cx, cy, std::min(cx, cy)};
}

// Position p of 60 around the dial: 0 at 12 o'clock, clockwise on screen.
double positionAngle(int p) {
    const int degrees = (roundEven(p * 360.0 / 60) + 90) % 360;
    return degrees * std::numbers::pi / 180;
}

struct MarkPixel {
    int dx, dy;
    TColor color;
};

constexpr std::array<MarkPixel, 9> kHourMark{{{0, 0, kGrey},
                                              {-1, -1, kBlue},
                                              {0, -1, kBlue},
                                              {-1, 0, kBlue},
                                              {1, 1, kBlack},
                                              {1, 0, kBlack},
                                              {0, 1, kBlack},
                                              {-1, 1, kBlue},
                                              {1, -1, kBlack}}};
constexpr std::array<MarkPixel, 7> kMinuteMark{{{0, 0, kSilver},
                                                {-1, -1, kGrey},
                                                {0, -1, kGrey},
                                                {-1, 0, kGrey},
                                                {1, 1, kWhite},
                                                {1, 0, kWhite},
                                                {0, 1, kWhite}}};

// The kite's facets by the corners they join, and which two of them are
// white for a hand's deciding value (hour, minute or second).
enum Facet { InnerLeft, OuterLeft, InnerRight, OuterRight };
constexpr std::array<std::array<int, 3>, 4> kFacetCorners{{{0, 1, 3}, {1, 2, 3}, {0, 1, 5}, {1, 2, 5}}};

std::array<Facet, 2> whiteFacets(bool hourHand, int value) {
    if (hourHand) {
        const int h = value % 12;
        if (h <= 3) return {OuterLeft, InnerLeft};
        if (h <= 5) return {InnerLeft, InnerRight};
        if (h <= 9) return {InnerRight, OuterRight};
        return {OuterLeft, OuterRight};
    }
    if (value <= 15) return {OuterLeft, InnerLeft};
    if (value <= 25) return {InnerLeft, InnerRight};
    if (value <= 50) return {InnerRight, OuterRight};
    return {OuterLeft, OuterRight};
}

}  // namespace

void TTvCustomClock::Paint() {
    // The buffer follows the size however it was set, and the screen's DPI.
    const int width = PaintWidth(), height = PaintHeight();
    if (buffer_.Width() != width || buffer_.Height() != height) buffer_.SetSize(width, height);
    TCanvas& canvas = buffer_.Canvas();
    const TRect client{0, 0, width, height};

    canvas.Brush.Color = Color();
    canvas.FillRect(client);

    if (!face_.Empty()) {
        TRect r = client;
        if (drawMarks_) r = {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
        TEllipseClip clip(canvas, r);
        canvas.StretchDraw(r, face_);
    }

    if (drawMarks_) {
        const Geometry g = geometryOf(width, height);
        for (int i = 0; i < 60; ++i) {
            const double a = positionAngle(i);
            const int x = roundEven((1 - 0.98 * std::cos(a)) * g.cx);
            const int y = roundEven((1 - 0.98 * std::sin(a)) * g.cy);
            if (i % 5 == 0)
                for (const MarkPixel& p : kHourMark) canvas.SetPixel(x + p.dx, y + p.dy, p.color);
            else
                for (const MarkPixel& p : kMinuteMark) canvas.SetPixel(x + p.dx, y + p.dy, p.color);
        }
    }

    DrawHands(canvas);
    Canvas().CopyRect(client, buffer_, client);
}

void TTvCustomClock::DrawHands(TCanvas& canvas) {
    const Geometry g = geometryOf(PaintWidth(), PaintHeight());
    Word hour, minute, second, msec;
    DecodeTime(time_, hour, minute, second, msec);

    const int hourLength = hands_.HourHandLength() * g.r / 100;
    const int minuteLength = hands_.MinuteHandLength() * g.r / 100;
    const int secondLength = hands_.SecondHandLength() * g.r / 100;

    DrawHand(canvas, hands_.HourHandColor(), THandKind::Hour, hourLength, hands_.HourHandWidth(),
             positionAngle(minute / 12 + 5 * hour));
    DrawHand(canvas, hands_.MinuteHandColor(), THandKind::Minute, minuteLength, hands_.MinuteHandWidth(),
             positionAngle(minute));
    if (hands_.ShowSecondHand())
        DrawHand(canvas, hands_.SecondHandColor(), THandKind::Second, secondLength, hands_.SecondHandWidth(),
                 positionAngle(second));

    canvas.Brush.Color = hands_.ShowSecondHand() ? hands_.SecondHandColor() : hands_.MinuteHandColor();
    canvas.Pen.Color = clBlack;
    const int k = roundEven(g.r * 0.04) + 1;
    canvas.Ellipse(g.cx - k, g.cy - k, g.cx + k, g.cy + k);
}

void TTvCustomClock::DrawHand(TCanvas& canvas, TColor color, THandKind kind, int length, int width, double angle) {
    const Geometry g = geometryOf(PaintWidth(), PaintHeight());
    const int d = width > 1 ? static_cast<int>(length * 0.25) : 0;  // where the hand is widest
    // Upright, pointing to 12: centre, axis, tip, left corner, centre, right corner, tip.
    const std::array<TPoint, 7> upright{{{g.cx, g.cy},
                                         {g.cx, g.cy - d},
                                         {g.cx, g.cy - length},
                                         {g.cx - width, g.cy - d},
                                         {g.cx, g.cy},
                                         {g.cx + width, g.cy - d},
                                         {g.cx, g.cy - length}}};
    const double b = angle - std::numbers::pi / 2, cosB = std::cos(b), sinB = std::sin(b);
    std::array<TPoint, 7> q;
    for (std::size_t n = 0; n < upright.size(); ++n) {
        const double x = upright[n].x - g.cx, y = upright[n].y - g.cy;
        int X = roundEven(x * cosB - y * sinB), Y = roundEven(x * sinB + y * cosB);
        // Onto the face's ellipse: the longer semi-axis stretches its offsets.
        if (g.cy < g.cx)
            X = roundEven(static_cast<double>(g.cx) / g.cy * X);
        else
            Y = roundEven(static_cast<double>(g.cy) / g.cx * Y);
        q[n] = {X + g.cx, Y + g.cy};
    }

    canvas.Pen.Width = 1;
    canvas.Pen.Color = color;
    canvas.Brush.Color = hands_.SolidHands() ? color : Color();
    canvas.Polygon(q);
    if (hands_.SolidHands()) return;

    Word hour, minute, second, msec;
    DecodeTime(time_, hour, minute, second, msec);
    const int value = kind == THandKind::Hour ? hour : kind == THandKind::Minute ? minute : second;
    canvas.Brush.Color = clWhite;
    for (Facet f : whiteFacets(kind == THandKind::Hour, value)) {
        const auto& c = kFacetCorners[static_cast<std::size_t>(f)];
        const std::array<TPoint, 3> triangle{q[static_cast<std::size_t>(c[0])], q[static_cast<std::size_t>(c[1])],
                                             q[static_cast<std::size_t>(c[2])]};
        canvas.Polygon(triangle);
    }
    canvas.Brush.Color = Color();
}
