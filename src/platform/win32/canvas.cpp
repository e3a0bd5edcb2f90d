// GDI drawing for the portable canvas, on a window's paint DC or on an
// off-screen bitmap (a memory DC over a top-down 32-bit DIB section), and the
// window messages of the custom-drawn control.
#include "platform/canvas.h"

#include <vector>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

// The canvas passes 0x00BBGGRR, which is a COLORREF already.
COLORREF colorRef(std::uint32_t color) {
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

TGdiObject solidBrush(std::uint32_t color) {
    return TGdiObject(::CreateSolidBrush(colorRef(color)));
}
TGdiObject solidPen(std::uint32_t color, int width) {
    return TGdiObject(::CreatePen(PS_SOLID, width < 1 ? 1 : width, colorRef(color)));
}

// An off-screen bitmap: the canvas on a memory DC that owns its DIB section.
class TGdiBitmap : public TGdiCanvas {
public:
    TGdiBitmap() : memory_(::CreateCompatibleDC(nullptr)) { dc_ = memory_.get(); }
    TGdiBitmap(const TGdiBitmap&) = delete;
    TGdiBitmap& operator=(const TGdiBitmap&) = delete;
    ~TGdiBitmap() override { deselect(); }

    void SetSize(int width, int height) override {
        deselect();
        bitmap_.reset();
        if (!memory_ || width <= 0 || height <= 0) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = TGdiObject(::CreateDIBSection(memory_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (bitmap_) original_ = ::SelectObject(memory_.get(), bitmap_.get());
    }

private:
    // A bitmap that is selected into a DC cannot be deleted.
    void deselect() {
        if (original_) ::SelectObject(memory_.get(), original_);
        original_ = nullptr;
    }

    TMemoryDC memory_;
    TGdiObject bitmap_;
    HGDIOBJ original_ = nullptr;
};

}  // namespace

void TGdiCanvas::FillRect(const TRect& r, std::uint32_t color) {
    TGdiObject brush = solidBrush(color);
    RECT rect{r.left, r.top, r.right, r.bottom};
    ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.get()));
}

void TGdiCanvas::SetPixel(int x, int y, std::uint32_t color) {
    ::SetPixelV(dc_, x, y, colorRef(color));
}

std::uint32_t TGdiCanvas::GetPixel(int x, int y) {
    ::GdiFlush();
    const COLORREF c = ::GetPixel(dc_, x, y);
    return c == CLR_INVALID ? 0 : static_cast<std::uint32_t>(c);
}

void TGdiCanvas::Polygon(const TPoint* points, std::size_t count, std::uint32_t pen, int penWidth,
                         std::uint32_t brush) {
    std::vector<POINT> pts(count);
    for (std::size_t i = 0; i < count; ++i) pts[i] = {points[i].x, points[i].y};
    TGdiObject p = solidPen(pen, penWidth), b = solidBrush(brush);
    TSelectGuard usePen(dc_, p.get()), useBrush(dc_, b.get());
    ::SetPolyFillMode(dc_, ALTERNATE);
    ::Polygon(dc_, pts.data(), static_cast<int>(pts.size()));
}

void TGdiCanvas::Ellipse(const TRect& box, std::uint32_t pen, int penWidth, std::uint32_t brush) {
    TGdiObject p = solidPen(pen, penWidth), b = solidBrush(brush);
    TSelectGuard usePen(dc_, p.get()), useBrush(dc_, b.get());
    ::Ellipse(dc_, box.left, box.top, box.right, box.bottom);
}

void TGdiCanvas::ClipToEllipse(const TRect& box) {
    // The DC keeps a copy of the region, so ours goes at once.
    TGdiObject region(::CreateEllipticRgn(box.left, box.top, box.right, box.bottom));
    if (region) ::SelectClipRgn(dc_, static_cast<HRGN>(region.get()));
}

void TGdiCanvas::RemoveClip() {
    ::SelectClipRgn(dc_, nullptr);
}

void TGdiCanvas::StretchCopy(const TRect& dest, IBitmapDriver& source, const TRect& src) {
    // One backend is linked, so every bitmap is ours.
    HDC from = static_cast<TGdiCanvas&>(source).DC();
    if (dest.Width() == src.Width() && dest.Height() == src.Height()) {
        ::BitBlt(dc_, dest.left, dest.top, dest.Width(), dest.Height(), from, src.left, src.top, SRCCOPY);
        return;
    }
    ::SetStretchBltMode(dc_, COLORONCOLOR);
    ::StretchBlt(dc_, dest.left, dest.top, dest.Width(), dest.Height(), from, src.left, src.top, src.Width(),
                 src.Height(), SRCCOPY);
}

TWin32Control::TWindowKind TCustomDriver::windowKind() const {
    return {L"TCustomControl", 0, 0, true, CS_DBLCLKS};
}

void TCustomDriver::created() {
    static_cast<TCustomControl*>(control_)->CreateWnd();
}

LRESULT TCustomDriver::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* custom = static_cast<TCustomControl*>(control_);
    switch (msg) {
        case WM_ERASEBKGND:
            // Painting covers every pixel; erasing first would only flicker.
            if (!custom->EraseBackground()) return 1;
            break;
        case WM_SIZE:
            // What a custom control draws depends on its whole size.
            ::InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case WM_GETDLGCODE:
            return static_cast<LRESULT>(custom->DialogCode());
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
            const bool twice = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
            const TMouseButton button = left                                               ? TMouseButton::Left
                                        : msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK ? TMouseButton::Right
                                                                                           : TMouseButton::Middle;
            const TShiftState shift = MouseShift(wParam) | (twice ? ssDouble : 0u);
            const int x = unscale(MouseX(lParam)), y = unscale(MouseY(lParam));
            if (left) {
                // Held until the release, which makes the click.
                ::SetCapture(hwnd);
                pressed_ = true;
            }
            if (msg == WM_LBUTTONDBLCLK && !dispatch([custom] { custom->DblClick(); })) return 0;
            dispatch([&] { custom->MouseDown(button, shift, x, y); });
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            const TMouseButton button = msg == WM_LBUTTONUP   ? TMouseButton::Left
                                        : msg == WM_RBUTTONUP ? TMouseButton::Right
                                                              : TMouseButton::Middle;
            const int x = unscale(MouseX(lParam)), y = unscale(MouseY(lParam));
            bool click = false;
            if (button == TMouseButton::Left) {
                RECT rc{};
                ::GetClientRect(hwnd, &rc);
                click = pressed_ && ::PtInRect(&rc, POINT{MouseX(lParam), MouseY(lParam)});
                pressed_ = false;
                if (::GetCapture() == hwnd) ::ReleaseCapture();
            }
            if (click && !dispatch([custom] { custom->Click(); })) return 0;
            if (!dispatch([&] { custom->MouseUp(button, MouseShift(wParam), x, y); })) return 0;
            break;  // the right button's release makes the context menu
        }
        case WM_CAPTURECHANGED:
            pressed_ = false;
            break;
        case WM_PAINT: {
            TPaint paint(hwnd);
            TGdiCanvas surface(paint.DC());
            RECT rc{};
            ::GetClientRect(hwnd, &rc);
            dispatch([&] { custom->PaintWindow(surface, rc.right, rc.bottom); });
            return 0;
        }
        default:
            break;
    }
    return callDefault(hwnd, msg, wParam, lParam);
}

}  // namespace win32

std::unique_ptr<IBitmapDriver> newBitmapDriver() {
    return std::make_unique<win32::TGdiBitmap>();
}

std::uint32_t SystemColorRGB(int index) {
    return static_cast<std::uint32_t>(::GetSysColor(index));
}
