// The headless canvas: a software raster on 32-bit pixels that follows GDI's
// rules closely enough for tests to check geometry pixel by pixel (right and
// bottom edges outside, polygon outlines through every vertex, even-odd
// filling, nearest-pixel stretching).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/canvas.h"
#include "platform/drivers.h"

namespace {

struct Span {
    int from = 0, to = 0;  // [from, to)
};

// Pixels of row `y` inside the ellipse inscribed in `box`, as CreateEllipticRgn
// and Ellipse cover them.
Span ellipseRow(const TRect& box, int y) {
    const double ax = (box.right - box.left) / 2.0, ay = (box.bottom - box.top) / 2.0;
    if (ax <= 0 || ay <= 0) return {};
    const double cx = (box.left + box.right - 1) / 2.0, cy = (box.top + box.bottom - 1) / 2.0;
    const double dy = (y - cy) / ay;
    if (dy * dy > 1.0 + 1e-9) return {};
    const double half = ax * std::sqrt(std::max(0.0, 1.0 - dy * dy)) + 1e-9;
    const int from = static_cast<int>(std::ceil(cx - half)), to = static_cast<int>(std::floor(cx + half)) + 1;
    return from < to ? Span{from, to} : Span{};
}

class RasterBitmap : public IBitmapDriver {
public:
    void SetSize(int width, int height) override {
        width_ = width;
        height_ = height;
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        clip_.clear();
        clipped_ = false;
    }

    void FillRect(const TRect& r, std::uint32_t color) override {
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, height_); ++y) span(y, r.left, r.right, color);
    }

    void SetPixel(int x, int y, std::uint32_t color) override { plot(x, y, color); }

    std::uint32_t GetPixel(int x, int y) override {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
        return pixels_[index(x, y)];
    }

    void Polygon(const TPoint* points, std::size_t count, std::uint32_t pen, int penWidth,
                 std::uint32_t brush) override {
        if (count == 0) return;
        fillPolygon(points, count, brush);
        for (std::size_t i = 0; i < count; ++i) line(points[i], points[(i + 1) % count], pen, penWidth);
        if (count == 1) stamp(points[0].x, points[0].y, pen, penWidth);
    }

    void Ellipse(const TRect& box, std::uint32_t pen, int, std::uint32_t brush) override {
        auto inside = [&](int x, int y) {
            Span s = ellipseRow(box, y);
            return x >= s.from && x < s.to;
        };
        for (int y = box.top; y < box.bottom; ++y) {
            const Span s = ellipseRow(box, y);
            for (int x = s.from; x < s.to; ++x) {
                const bool edge = x == s.from || x == s.to - 1 || !inside(x, y - 1) || !inside(x, y + 1);
                plot(x, y, edge ? pen : brush);
            }
        }
    }

    void ClipToEllipse(const TRect& box) override {
        clip_.assign(static_cast<std::size_t>(height_), Span{});
        for (int y = 0; y < height_; ++y) clip_[static_cast<std::size_t>(y)] = ellipseRow(box, y);
        clipped_ = true;
    }

    void RemoveClip() override {
        clip_.clear();
        clipped_ = false;
    }

    void StretchCopy(const TRect& dest, IBitmapDriver& sourceDriver, const TRect& src) override {
        // One backend is linked, so every bitmap is ours.
        auto& source = static_cast<RasterBitmap&>(sourceDriver);
        const int dw = dest.Width(), dh = dest.Height(), sw = src.Width(), sh = src.Height();
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
        // Source column of each destination column, worked out once.
        std::vector<int> columns;
        if (dw != sw) {
            columns.resize(static_cast<std::size_t>(dw));
            for (int i = 0; i < dw; ++i)
                columns[static_cast<std::size_t>(i)] = src.left + static_cast<int>(static_cast<long long>(i) * sw / dw);
        }
        for (int y = std::max(dest.top, 0); y < std::min(dest.bottom, height_); ++y) {
            const int sy = src.top + static_cast<int>(static_cast<long long>(y - dest.top) * sh / dh);
            if (sy < 0 || sy >= source.height_) continue;
            const Span s = visible(y, dest.left, dest.right);
            if (dw == sw && &source != this) {
                // Pixel for pixel: one copy per row.
                const int shift = src.left - dest.left;
                const int from = std::max(s.from, -shift), to = std::min(s.to, source.width_ - shift);
                if (from < to)
                    std::memcpy(&pixels_[index(from, y)], &source.pixels_[source.index(from + shift, sy)],
                                static_cast<std::size_t>(to - from) * sizeof(std::uint32_t));
                continue;
            }
            std::uint32_t* row = &pixels_[index(0, y)];
            const std::uint32_t* from = &source.pixels_[source.index(0, sy)];
            for (int x = s.from; x < s.to; ++x) {
                const int sx = columns[static_cast<std::size_t>(x - dest.left)];
                if (sx >= 0 && sx < source.width_) row[x] = from[sx];
            }
        }
    }

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    // The part of [from, to) in row y that lies on the bitmap and in the clip.
    Span visible(int y, int from, int to) const {
        from = std::max(from, 0);
        to = std::min(to, width_);
        if (clipped_) {
            const Span c = clip_[static_cast<std::size_t>(y)];
            from = std::max(from, c.from);
            to = std::min(to, c.to);
        }
        return from < to ? Span{from, to} : Span{from, from};
    }

    void span(int y, int from, int to, std::uint32_t color) {
        if (y < 0 || y >= height_) return;
        const Span s = visible(y, from, to);
        if (s.from < s.to) std::fill(&pixels_[index(s.from, y)], &pixels_[index(s.from, y)] + (s.to - s.from), color);
    }

    void plot(int x, int y, std::uint32_t color) { span(y, x, x + 1, color); }

    void stamp(int x, int y, std::uint32_t color, int width) {
        if (width <= 1) return plot(x, y, color);
        const int back = (width - 1) / 2;
        for (int dy = 0; dy < width; ++dy) span(y - back + dy, x - back, x - back + width, color);
    }

    // Bresenham from a to b; b itself is left to the next segment, as GDI does.
    void line(TPoint a, TPoint b, std::uint32_t color, int width) {
        const int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
        const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
        int err = dx + dy, x = a.x, y = a.y;
        while (x != b.x || y != b.y) {
            stamp(x, y, color, width);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }

    // Even-odd, sampled at the pixels' integer coordinates: a pixel is in
    // when its point lies on or right of a left edge and left of a right one.
    void fillPolygon(const TPoint* points, std::size_t count, std::uint32_t color) {
        int top = points[0].y, bottom = points[0].y;
        for (std::size_t i = 1; i < count; ++i) {
            top = std::min(top, points[i].y);
            bottom = std::max(bottom, points[i].y);
        }
        std::vector<double> xs;
        for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
            xs.clear();
            for (std::size_t i = 0; i < count; ++i) {
                const TPoint p = points[i], q = points[(i + 1) % count];
                if (p.y == q.y || y < std::min(p.y, q.y) || y >= std::max(p.y, q.y)) continue;
                xs.push_back(p.x + static_cast<double>(y - p.y) * (q.x - p.x) / (q.y - p.y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
                span(y, static_cast<int>(std::ceil(xs[i])), static_cast<int>(std::ceil(xs[i + 1])), color);
        }
    }

    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::vector<Span> clip_;
    bool clipped_ = false;
};

}  // namespace

std::unique_ptr<IBitmapDriver> newBitmapDriver() { return std::make_unique<RasterBitmap>(); }

std::uint32_t SystemColorRGB(int index) {
    // Today's Windows defaults for the colours that forms and controls use.
    switch (index) {
        case 5:  // COLOR_WINDOW
            return RGBToColor(255, 255, 255);
        case 8:  // COLOR_WINDOWTEXT
        case 18:  // COLOR_BTNTEXT
            return RGBToColor(0, 0, 0);
        case 15:  // COLOR_BTNFACE
            return RGBToColor(240, 240, 240);
        case 16:  // COLOR_BTNSHADOW
            return RGBToColor(160, 160, 160);
        case 20:  // COLOR_BTNHIGHLIGHT
            return RGBToColor(255, 255, 255);
        default:
            return RGBToColor(128, 128, 128);
    }
}
