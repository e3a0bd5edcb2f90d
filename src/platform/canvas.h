// Drawing: colours, a canvas with a brush and a pen, off-screen bitmaps and
// the custom-drawn control. The backend draws (GDI on Windows, an in-memory
// raster when headless); geometry and the order of operations are decided
// by the portable code that paints.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/classes.h"
#include "platform/controls.h"

class ICanvasDriver;
class IBitmapDriver;

// 0x00BBGGRR, or a system colour: the high bit set and its index below.
using TColor = std::uint32_t;

constexpr TColor RGBToColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int ColorRed(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int ColorGreen(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColorBlue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clBlack = RGBToColor(0, 0, 0);
constexpr TColor clWhite = RGBToColor(255, 255, 255);
constexpr TColor clRed = RGBToColor(255, 0, 0);
constexpr TColor clBlue = RGBToColor(0, 0, 255);
constexpr TColor clGray = RGBToColor(128, 128, 128);
constexpr TColor clSilver = RGBToColor(192, 192, 192);
constexpr TColor clWindow = clSystemColor | 5;    // COLOR_WINDOW
constexpr TColor clBtnFace = clSystemColor | 15;  // COLOR_BTNFACE, the face of forms and buttons

// A system colour as the platform shows it now; an RGB value as it is.
TColor ColorToRGB(TColor color);

class TBitmap;

class TCanvas {
public:
    // A canvas without a surface draws nothing until one is attached.
    explicit TCanvas(ICanvasDriver* surface = nullptr) : surface_(surface) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    struct TBrush {
        TColor Color = clWhite;
    } Brush;
    struct TPen {
        TColor Color = clBlack;
        int Width = 1;
    } Pen;

    ICanvasDriver* Surface() const { return surface_; }
    void Attach(ICanvasDriver* surface) { surface_ = surface; }

    // Right and bottom edges are outside, as everywhere in this canvas.
    void FillRect(const TRect& r);
    void SetPixel(int x, int y, TColor color);
    TColor Pixel(int x, int y) const;  // black outside the surface
    // Closed, filled with the brush, outlined with the pen.
    void Polygon(std::span<const TPoint> points);
    // Filled with the brush, outlined with the pen, inside the box.
    void Ellipse(int left, int top, int right, int bottom);
    // Limits drawing to the ellipse inscribed in `r` until RemoveClip.
    void ClipToEllipse(const TRect& r);
    void RemoveClip();
    // The whole bitmap scaled into `dest`.
    void StretchDraw(const TRect& dest, const TBitmap& picture);
    // Part of a bitmap, pixel for pixel when the rectangles are equal in size.
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);

private:
    ICanvasDriver* surface_;
};

// Clips a canvas to an ellipse for the lifetime of the guard, so the clip
// goes again even when drawing inside it throws.
class TEllipseClip {
public:
    TEllipseClip(TCanvas& canvas, const TRect& r) : canvas_(canvas) { canvas_.ClipToEllipse(r); }
    TEllipseClip(const TEllipseClip&) = delete;
    TEllipseClip& operator=(const TEllipseClip&) = delete;
    ~TEllipseClip() { canvas_.RemoveClip(); }

private:
    TCanvas& canvas_;
};

// An off-screen 32-bit bitmap with its own canvas.
class TBitmap {
public:
    TBitmap();
    TBitmap(int width, int height);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    // The pixels are undefined after a change of size until drawn.
    void SetSize(int width, int height);
    // Size and pixels of `other`.
    void Assign(const TBitmap& other);

    TCanvas& Canvas() { return canvas_; }
    const TCanvas& Canvas() const { return canvas_; }
    IBitmapDriver& Driver() const { return *driver_; }

private:
    int width_ = 0, height_ = 0;
    std::unique_ptr<IBitmapDriver> driver_;
    TCanvas canvas_;
};

// A control that draws itself: Paint() draws on Canvas(), which is bound to
// the window's surface while the window is being painted.
class TCustomControl : public TControl {
public:
    explicit TCustomControl(TControl* parent);
    ~TCustomControl() override;

    // While ParentColor is on, the colour is the parent's; forms show clBtnFace.
    TColor Color() const;
    void SetColor(TColor color);  // turns ParentColor off
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parentColor);

    TNotifyEvent OnDblClick;
    TCanvas& Canvas() { return canvas_; }

    // The size Paint draws at, in the surface's pixels: the window's while
    // it is painted (a screen's DPI makes it larger than the control's own
    // design size), else the control's size.
    int PaintWidth() const { return paintWidth_ > 0 ? paintWidth_ : Width(); }
    int PaintHeight() const { return paintHeight_ > 0 ? paintHeight_ : Height(); }

    // Entry points for the backend.
    // The window needs painting; `surface`, `width` x `height` pixels, draws
    // on it until this returns.
    void PaintWindow(ICanvasDriver& surface, int width, int height);
    // Draws the control into `target`, which takes the control's size.
    void PaintTo(TBitmap& target);
    virtual void DblClick();
    // False when painting covers every pixel, so erasing first would only flicker.
    virtual bool EraseBackground() const { return true; }
    // The answer to the dialog manager's question which keys the control wants.
    virtual unsigned DialogCode() const { return 0; }
    // Only as a tab stop: a control that draws itself has no focus to show.
    bool TakesFocus() const override { return TabStop; }
    // The backend has made the control's window; an exception undoes that.
    virtual void CreateWnd() {}

protected:
    virtual void Paint() {}

private:
    TCanvas canvas_;
    int paintWidth_ = 0, paintHeight_ = 0;
    TColor color_ = clBtnFace;
    bool parentColor_ = true;
};
