// The control driver's common part: each control is a real child window
// whose text is its caption, subclassed so that mouse moves, clicks and
// focus changes reach the portable control. Labels, bevels and panels live
// here too; the other kinds have files of their own.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr UINT_PTR kSubclassId = 1;
// Names the driver behind a child window; the SDK's lookup of the subclass
// data is not exported by name.
constexpr wchar_t kDriverProp[] = L"TolvekControl";

HWND parentWindowOf(TControl* control) {
    TControl* parent = control->Parent();
    if (!parent) return nullptr;
    if (parent->Kind() == TControlKind::Form) return FormDriverOf(static_cast<TForm*>(parent))->ExistingHandle();
    return static_cast<TWin32Control*>(parent->Driver())->Handle();
}

DWORD labelAlignment(const TControl* control) {
    switch (static_cast<const TLabel*>(control)->Alignment) {
        case TAlignment::Right:
            return SS_RIGHT;
        case TAlignment::Center:
            return SS_CENTER;
        case TAlignment::Left:
            break;
    }
    return SS_LEFTNOWORDWRAP;
}

// A label that shows "&" as itself.
DWORD prefix(const TControl* control) {
    return static_cast<const TLabel*>(control)->ShowAccelChar ? 0 : SS_NOPREFIX;
}

}  // namespace

void CreateChildWindows(TControl* parent, HWND parentWindow, TWin32Form& form) {
    int id = 100;
    for (TControl* child : parent->Controls()) {
        auto* driver = static_cast<TWin32Control*>(child->Driver());
        driver->Create(parentWindow, form, id++);
        if (driver->Handle()) CreateChildWindows(child, driver->Handle(), form);
    }
    // Frames go under their siblings, so that they never hide what they frame;
    // new windows join the bottom of the order, so this comes last.
    for (TControl* child : parent->Controls()) {
        HWND hwnd = static_cast<TWin32Control*>(child->Driver())->Handle();
        if (hwnd && child->Kind() == TControlKind::Bevel)
            ::SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

bool ChildNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_COMMAND && lParam) {
        TWin32Control* driver = TWin32Control::FromWindow(reinterpret_cast<HWND>(lParam));
        if (!driver || !driver->Notify(HIWORD(wParam))) return false;
        result = 0;
        return true;
    }
    if (msg == WM_DRAWITEM) {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        TWin32Control* driver = TWin32Control::FromWindow(item.hwndItem);
        if (!driver) return false;
        driver->Draw(item);
        result = TRUE;
        return true;
    }
    return false;
}

std::string ShownText(const std::string& caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

std::string LabelText(const TLabel& label) {
    return label.ShowAccelChar ? ShownText(label.Caption()) : label.Caption();
}

TWin32Control* TWin32Control::FromWindow(HWND hwnd) {
    return hwnd ? static_cast<TWin32Control*>(::GetPropW(hwnd, kDriverProp)) : nullptr;
}

TWin32Control::TWin32Control(TControl* control) : control_(control) {
    // The derived control is not built yet, so a form that already has its
    // window creates this one's from its queue.
    if (TForm* form = control_->ParentForm())
        if (HWND hwnd = FormDriverOf(form)->ExistingHandle()) ::PostMessageW(hwnd, WM_TOLVEK_CHILDREN, 0, 0);
}

TWin32Control::~TWin32Control() {
    destroying_ = true;
    window_.reset();
}

void TWin32Control::Create(HWND parent, TWin32Form& form, int id) {
    const TWindowKind kind = windowKind();
    if (window_ || !parent || !kind.className) return;
    if (kind.ours) RegisterControlClass(kind.className, kind.classStyle);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
    if (control_->TabStop && control_->TakesFocus()) style |= WS_TABSTOP;
    if (control_->Visible()) style |= WS_VISIBLE;
    if (!control_->Enabled()) style |= WS_DISABLED;
    const RECT r = deviceBounds();
    HWND hwnd = ::CreateWindowExW(kind.exStyle, kind.className, Widen(shownText()).c_str(), style, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (!hwnd) throw Exception("Cannot create the window of " + control_->Name);
    window_.reset(hwnd);
    ::SetPropW(hwnd, kDriverProp, this);
    ::SetWindowSubclass(hwnd, &TWin32Control::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetFont(form.FontFor(control_));
    try {
        created();
    } catch (...) {
        // A control that refuses its window (no controller, say) gets none.
        window_.reset();
        throw;
    }
}

void TWin32Control::createLate() {
    if (window_ || destroying_) return;
    HWND parent = parentWindowOf(control_);
    TForm* form = control_->ParentForm();
    if (!parent || !form) return;
    TWin32Form& formDriver = *FormDriverOf(form);
    Create(parent, formDriver, 100 + control_->TabOrder);
    if (window_) CreateChildWindows(control_, window_.get(), formDriver);
}

LRESULT CALLBACK TWin32Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR self) {
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &TWin32Control::SubclassProc, id);
        ::RemovePropW(hwnd, kDriverProp);
        reinterpret_cast<TWin32Control*>(self)->window_.release();
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    return reinterpret_cast<TWin32Control*>(self)->handle(hwnd, msg, wParam, lParam);
}

LRESULT TWin32Control::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (destroying_ || !Application) return callDefault(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_MOUSEMOVE: {
            // The window finishes its own tracking first: the handler may
            // open a menu and not return for a while.
            const LRESULT r = message(hwnd, msg, wParam, lParam);
            TControl* control = control_;
            const TShiftState shift = MouseShift(wParam);
            const int x = unscale(MouseX(lParam)), y = unscale(MouseY(lParam));
            dispatch([&] { control->MouseMove(shift, x, y); });
            return r;
        }
        case WM_SETFOCUS: {
            const LRESULT r = message(hwnd, msg, wParam, lParam);
            // A combo box hands the focus on to its edit box.
            HWND focus = ::GetFocus();
            if (focus == hwnd || ::IsChild(hwnd, focus)) FocusArrived();
            return r;
        }
        case WM_COMMAND:
        case WM_DRAWITEM: {
            LRESULT result = 0;
            if (ChildNotification(msg, wParam, lParam, result)) return result;
            break;
        }
        case WM_CONTEXTMENU:
            if (TPopupMenu* menu = control_->PopupMenu; menu && menu->AutoPopup) {
                // From the keyboard the menu comes at the control's corner.
                POINT at{MouseX(lParam), MouseY(lParam)};
                if (lParam == -1) {
                    at = {0, 0};
                    ::ClientToScreen(hwnd, &at);
                }
                dispatch([&] { menu->Popup(at.x, at.y); });
                return 0;
            }
            break;
        default:
            break;
    }
    return message(hwnd, msg, wParam, lParam);
}

void TWin32Control::SetFont(HFONT font) {
    if (!font) return;
    font_ = font;
    if (!window_) return;
    ::SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    fontChanged();
}

HFONT TWin32Control::font() const {
    if (font_) return font_;
    TForm* form = control_->ParentForm();
    return form ? FormDriverOf(form)->FontFor(control_) : nullptr;
}

int TWin32Control::TextWidth(const std::string& text) const {
    return UnscaleUp(MeasureText(font(), text), dpi());
}

int TWin32Control::dpi() const {
    TForm* form = control_->ParentForm();
    return form ? FormDriverOf(form)->Dpi() : kDesignDpi;
}

RECT TWin32Control::deviceBounds() const {
    const int left = control_->Left(), top = control_->Top(), d = dpi();
    return {ScaleBy(left, d), ScaleBy(top, d), ScaleBy(left + windowWidth(), d), ScaleBy(top + windowHeight(), d)};
}

void TWin32Control::placeWindow(UINT flags) {
    const RECT r = deviceBounds();
    ::SetWindowPos(window_.get(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   flags | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Control::DpiChanged() {
    if (!window_ || destroying_) return;
    placeWindow(0);
    rescaled();
}

void TWin32Control::showText() {
    ::SetWindowTextW(window_.get(), Widen(shownText()).c_str());
}

void TWin32Control::Changed(TControlChange what) {
    if (destroying_) return;
    if (!window_) {
        // Made with the current state, so nothing is left to apply.
        createLate();
        return;
    }
    HWND hwnd = window_.get();
    switch (what) {
        case TControlChange::Bounds:
            placeWindow(0);
            break;
        case TControlChange::Text:
            showText();
            break;
        case TControlChange::Visible:
            ::ShowWindow(hwnd, control_->Visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case TControlChange::Enabled:
            ::EnableWindow(hwnd, control_->Enabled() ? TRUE : FALSE);
            break;
        case TControlChange::Style: {
            if (TForm* form = control_->ParentForm()) SetFont(FormDriverOf(form)->FontFor(control_));
            auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
            const bool tabStop = control_->TabStop && control_->TakesFocus();
            style = tabStop ? (style | WS_TABSTOP) : (style & ~static_cast<DWORD>(WS_TABSTOP));
            ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(restyle(style)));
            ::InvalidateRect(hwnd, nullptr, TRUE);
            break;
        }
        case TControlChange::Items:
        case TControlChange::Checked:
        case TControlChange::Current:
            break;
    }
    changed(what);
}

void TWin32Control::Repaint() {
    if (!window_) return;
    ::InvalidateRect(window_.get(), nullptr, TRUE);
    ::UpdateWindow(window_.get());
}

void TWin32Control::SetFocus() {
    TForm* form = control_->ParentForm();
    if (!form || destroying_ || !control_->CanFocus()) return;
    // Forms focus a control before they are shown (in OnShow, say), so the
    // windows are made now and the focus waits for the activation.
    HWND formWindow = FormDriverOf(form)->Handle();
    if (!window_) createLate();
    if (window_ && ::GetActiveWindow() == formWindow)
        ::SetFocus(window_.get());
    else
        form->SetActiveControl(control_);
}

void TWin32Control::FocusArrived() {
    TControl* control = control_;
    if (TForm* form = control->ParentForm()) dispatch([&] { form->FocusArrived(control); });
}

bool TWin32Control::Focused() const {
    // A combo box's focus is on the edit box inside it.
    HWND focus = ::GetFocus();
    return window_ && focus && (focus == window_.get() || ::IsChild(window_.get(), focus));
}

// ---- labels ----

TWin32Control::TWindowKind TLabelDriver::windowKind() const {
    return {L"STATIC", labelAlignment(control_) | SS_NOTIFY | prefix(control_)};
}

bool TLabelDriver::Notify(UINT code) {
    if (code != STN_CLICKED) return false;
    TControl* control = control_;
    dispatch([control] { control->Click(); });
    return true;
}

// A left-aligned label grows to show its whole text: its size was chosen for
// one font, and the text must still show in another (as self-sizing labels do).
int TLabelDriver::windowWidth() const {
    int width = control_->Width();
    if (static_cast<const TLabel*>(control_)->Alignment != TAlignment::Left) return width;
    return std::max(width, TextWidth(LabelText(*static_cast<const TLabel*>(control_))));
}

// Nor are its descenders cut off by a height chosen for a smaller font.
int TLabelDriver::windowHeight() const {
    return std::max(control_->Height(), UnscaleUp(LineHeight(font()), dpi()));
}

DWORD TLabelDriver::restyle(DWORD style) {
    placeWindow(SWP_NOMOVE);
    return (style & ~static_cast<DWORD>(SS_TYPEMASK | SS_NOPREFIX)) | labelAlignment(control_) | prefix(control_);
}

void TLabelDriver::changed(TControlChange what) {
    if (what == TControlChange::Text) placeWindow(SWP_NOMOVE);
}

// ---- bevels ----

TWin32Control::TWindowKind TBevelDriver::windowKind() const {
    return {L"STATIC", SS_OWNERDRAW};
}

void TBevelDriver::Draw(const DRAWITEMSTRUCT& item) {
    if (destroying_) return;
    RECT rc = item.rcItem;
    ::FillRect(item.hDC, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    ::DrawEdge(item.hDC, &rc, BDR_RAISEDINNER, BF_RECT);
}

// ---- panels ----

TWin32Control::TWindowKind TPanelDriver::windowKind() const {
    return {kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true, 0};
}

LRESULT TPanelDriver::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE: {
            TControl* control = control_;
            const int d = dpi();
            const int width = ToDesign(LOWORD(lParam), control->Width(), d);
            const int height = ToDesign(HIWORD(lParam), control->Height(), d);
            if (!dispatch([&] { ArrangeAligned(*control, width, height); })) return 0;
            break;
        }
        case WM_PAINT: {
            TPaint paint(hwnd);
            RECT rc{};
            ::GetClientRect(hwnd, &rc);
            ::FillRect(paint.DC(), &rc, ::GetSysColorBrush(COLOR_BTNFACE));
            if (static_cast<TPanel*>(control_)->Bevel) ::DrawEdge(paint.DC(), &rc, BDR_RAISEDOUTER, BF_RECT);
            return 0;
        }
        default:
            break;
    }
    return callDefault(hwnd, msg, wParam, lParam);
}

void TPanelDriver::changed(TControlChange what) {
    if (what == TControlChange::Text) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

}  // namespace win32
