// Push buttons, owner-drawn glyph buttons and check boxes.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

const TGlyphed& glyphOf(const TControl* c) {
    if (c->Kind() == TControlKind::SpeedButton) return *static_cast<const TSpeedButton*>(c);
    return *static_cast<const TBitBtn*>(c);
}

// In design pixels: the glyph, and the margins beside the caption.
int glyphSize(const TGlyphed& button) {
    return button.Glyph == TGlyph::AppIcon ? 16 : 18;
}
constexpr int kMargin = 4, kSpacing = 2, kRightMargin = 2;
constexpr int kFrame = 2;  // device pixels: the edges that DrawFrameControl draws

// Drawn for 18 x 18 design pixels at `dpi`.
void drawCheckMark(HDC dc, int left, int top, int dpi) {
    auto at = [&](int x, int y) { return POINT{left + ScaleBy(x, dpi), top + ScaleBy(y, dpi)}; };
    TGdiObject pen(::CreatePen(PS_SOLID, ScaleBy(3, dpi), RGB(0, 128, 0)));
    TSelectGuard selected(dc, pen.get());
    const POINT mark[] = {at(3, 9), at(7, 13), at(15, 4)};
    ::Polyline(dc, mark, 3);
}

}  // namespace

// ---- push buttons ----

TWin32Control::TWindowKind TButtonDriver::windowKind() const {
    return {L"BUTTON", static_cast<DWORD>(static_cast<TButton*>(control_)->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)};
}

bool TButtonDriver::Notify(UINT code) {
    if (code != BN_CLICKED) return false;
    TControl* control = control_;
    dispatch([control] { control->Click(); });
    return true;
}

DWORD TButtonDriver::restyle(DWORD style) {
    const bool def = static_cast<TButton*>(control_)->Default;
    ::SendMessageW(hwnd(), BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    return static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_STYLE)) | (style & WS_TABSTOP);
}

// ---- glyph buttons ----

TWin32Control::TWindowKind TGlyphButtonDriver::windowKind() const {
    return {L"BUTTON", BS_OWNERDRAW};
}

void TGlyphButtonDriver::loadGlyph() {
    glyph_.reset();
    const TGlyphed& button = glyphOf(control_);
    if (button.HasGlyph && button.Glyph == TGlyph::AppIcon) glyph_ = LoadAppIcon(scale(16));
}

bool TGlyphButtonDriver::Notify(UINT code) {
    // An owner-drawn button reports the second click of a double click as
    // BN_DOUBLECLICKED only; it is a click all the same.
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return false;
    TControl* control = control_;
    dispatch([control] { control->Click(); });
    return true;
}

LRESULT TGlyphButtonDriver::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_MOUSEMOVE:
            // An owner-drawn button draws no hover state, so its window needs
            // the moves only while pressed. Otherwise the common controls'
            // button asks for mouse-leave tracking, which Wine serves by polling
            // with a timer for as long as the pointer rests on the button.
            if (::GetCapture() != hwnd) return 0;
            break;
        default:
            break;
    }
    return callDefault(hwnd, msg, wParam, lParam);
}

// The window text is not drawn, but assistive tools read it as the name: a
// check mark alone still says what it does.
std::string TGlyphButtonDriver::shownText() const {
    const TGlyphed& button = glyphOf(control_);
    if (control_->Caption().empty() && button.HasGlyph && button.Glyph == TGlyph::CheckMark) return "OK";
    return control_->Caption();
}

void TGlyphButtonDriver::changed(TControlChange what) {
    if (what == TControlChange::Text) {
        placeWindow(SWP_NOMOVE);
        ::InvalidateRect(hwnd(), nullptr, TRUE);
    }
}

DWORD TGlyphButtonDriver::restyle(DWORD style) {
    loadGlyph();
    placeWindow(SWP_NOMOVE);
    return style;
}

// As a label does, a button grows to show its whole caption beside its
// glyph, as far as its parent has room: the size was chosen for one font.
int TGlyphButtonDriver::windowWidth() const {
    const TGlyphed& button = glyphOf(control_);
    const int beside = button.HasGlyph ? kMargin + glyphSize(button) + kSpacing : kFrame;
    const int need = beside + TextWidth(ShownText(control_->Caption())) + kRightMargin;
    const TControl* parent = control_->Parent();
    const int room = parent ? parent->Width() - control_->Left() : need;
    return std::max(control_->Width(), std::min(need, room));
}

void TGlyphButtonDriver::Draw(const DRAWITEMSTRUCT& item) {
    if (destroying_) return;
    HDC dc = item.hDC;
    const RECT rc = item.rcItem;
    const bool pushed = item.itemState & ODS_SELECTED;
    const int offset = pushed ? 1 : 0;  // the face moves with the press

    RECT frame = rc;
    ::DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const int margin = scale(kMargin);
    int textLeft = rc.left + margin;
    const TGlyphed& button = glyphOf(control_);
    if (button.HasGlyph) {
        const int size = scale(glyphSize(button));
        const int left = rc.left + margin + offset, top = rc.top + (rc.bottom - rc.top - size) / 2 + offset;
        if (glyph_)
            ::DrawIconEx(dc, left, top, glyph_.get(), size, size, 0, nullptr, DI_NORMAL);
        else if (button.Glyph == TGlyph::CheckMark)
            drawCheckMark(dc, left, top, dpi());
        textLeft = rc.left + margin + size + scale(kSpacing);
    }

    RECT text{textLeft + offset, rc.top + offset, rc.right - scale(kRightMargin) + offset, rc.bottom + offset};
    TSelectGuard selected(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    std::wstring caption = Widen(control_->Caption());
    // Centred beside the glyph. A caption too wide for the margins takes the
    // whole face inside the frame (never the glyph's place), centred while
    // it fits there, else from its left and clipped at the frame.
    RECT measure{0, 0, 0, 0};
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
    UINT align = DT_CENTER;
    if (measure.right > text.right - text.left) {
        if (!button.HasGlyph) text.left = rc.left + kFrame + offset;
        text.right = rc.right - kFrame + offset;
        if (measure.right > text.right - text.left) align = DT_LEFT;
    }
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, align | DT_VCENTER | DT_SINGLELINE);

    // Not every system sets ODS_NOFOCUSRECT for owner-drawn buttons.
    const bool cues = !(::SendMessageW(item.hwndItem, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) && cues) {
        RECT focus = rc;
        ::InflateRect(&focus, -scale(3), -scale(3));
        ::DrawFocusRect(dc, &focus);
    }
}

// ---- speed buttons ----

LRESULT TSpeedButtonDriver::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The press is tracked here, since the system's button would take the
    // focus with it: a click on "..." must leave it in the box beside.
    auto inside = [&] {
        RECT rc{};
        ::GetClientRect(hwnd, &rc);
        const POINT p{MouseX(lParam), MouseY(lParam)};
        return ::PtInRect(&rc, p) != FALSE;
    };
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ::SetCapture(hwnd);
            ::SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (::GetCapture() == hwnd) ::SendMessageW(hwnd, BM_SETSTATE, inside() ? TRUE : FALSE, 0);
            return 0;
        case WM_LBUTTONUP: {
            if (::GetCapture() != hwnd) return 0;
            const bool click = inside();
            ::ReleaseCapture();
            if (click) {
                TControl* control = control_;
                dispatch([control] { control->Click(); });
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            ::SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
            return 0;
        default:
            return TGlyphButtonDriver::message(hwnd, msg, wParam, lParam);
    }
}

// ---- check boxes ----

TWin32Control::TWindowKind TCheckBoxDriver::windowKind() const {
    return {L"BUTTON", BS_CHECKBOX};
}

void TCheckBoxDriver::showCheck() {
    ::SendMessageW(hwnd(), BM_SETCHECK, static_cast<TCheckBox*>(control_)->Checked() ? BST_CHECKED : 0, 0);
}

bool TCheckBoxDriver::Notify(UINT code) {
    if (code != BN_CLICKED) return false;
    TControl* control = control_;
    dispatch([control] { control->Click(); });
    return true;
}

void TCheckBoxDriver::changed(TControlChange what) {
    if (what == TControlChange::Checked) showCheck();
}

}  // namespace win32
