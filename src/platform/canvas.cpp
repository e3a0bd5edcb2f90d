#include "platform/canvas.h"

#include <algorithm>

#include "platform/drivers.h"

TColor ColorToRGB(TColor color) {
    if (color & clSystemColor) return SystemColorRGB(static_cast<int>(color & 0xFF));
    return color & 0xFFFFFF;
}

// ---- TCanvas ----

void TCanvas::FillRect(const TRect& r) {
    if (surface_) surface_->FillRect(r, ColorToRGB(Brush.Color));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (surface_) surface_->SetPixel(x, y, ColorToRGB(color));
}

TColor TCanvas::Pixel(int x, int y) const { return surface_ ? surface_->GetPixel(x, y) : clBlack; }

void TCanvas::Polygon(std::span<const TPoint> points) {
    if (surface_ && !points.empty())
        surface_->Polygon(points.data(), points.size(), ColorToRGB(Pen.Color), Pen.Width, ColorToRGB(Brush.Color));
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    if (surface_) surface_->Ellipse({left, top, right, bottom}, ColorToRGB(Pen.Color), Pen.Width, ColorToRGB(Brush.Color));
}

void TCanvas::ClipToEllipse(const TRect& r) {
    if (surface_) surface_->ClipToEllipse(r);
}

void TCanvas::RemoveClip() {
    if (surface_) surface_->RemoveClip();
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& picture) {
    if (surface_ && !picture.Empty())
        surface_->StretchCopy(dest, picture.Driver(), {0, 0, picture.Width(), picture.Height()});
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    if (surface_ && !source.Empty()) surface_->StretchCopy(dest, source.Driver(), sourceRect);
}

// ---- TBitmap ----

TBitmap::TBitmap() : driver_(newBitmapDriver()), canvas_(driver_.get()) {}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    driver_->SetSize(width, height);
}

void TBitmap::Assign(const TBitmap& other) {
    if (&other == this) return;
    SetSize(other.Width(), other.Height());
    if (!Empty()) driver_->StretchCopy({0, 0, width_, height_}, other.Driver(), {0, 0, width_, height_});
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TControl* parent) : TControl(parent, TControlKind::Custom) {}

TCustomControl::~TCustomControl() = default;

TColor TCustomControl::Color() const {
    if (!parentColor_) return color_;
    if (auto* parent = dynamic_cast<const TCustomControl*>(Parent())) return parent->Color();
    return clBtnFace;
}

void TCustomControl::SetColor(TColor color) {
    if (color == color_ && !parentColor_) return;
    color_ = color;
    parentColor_ = false;
    Repaint();
}

void TCustomControl::SetParentColor(bool parentColor) {
    if (parentColor == parentColor_) return;
    parentColor_ = parentColor;
    Repaint();
}

void TCustomControl::PaintWindow(ICanvasDriver& surface, int width, int height) {
    // The canvas reaches the surface only while the window is being painted.
    struct Binding {
        TCustomControl& control;
        ~Binding() {
            control.canvas_.Attach(nullptr);
            control.paintWidth_ = control.paintHeight_ = 0;
        }
    } binding{*this};
    canvas_.Attach(&surface);
    paintWidth_ = width;
    paintHeight_ = height;
    Paint();
}

void TCustomControl::PaintTo(TBitmap& target) {
    target.SetSize(Width(), Height());
    PaintWindow(target.Driver(), Width(), Height());
}

void TCustomControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
