#include "platform/forms.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "platform/drivers.h"
#include "platform/extctrls.h"
#include "platform/menus.h"

TApplication* Application = nullptr;

namespace {

// Clears a flag when the scope that set it ends, also by an exception.
struct TFlagReset {
    bool& flag;
    ~TFlagReset() { flag = false; }
};

constexpr Word VK_TAB = 9;
constexpr Word VK_RETURN = 13;
constexpr Word VK_ESCAPE = 27;
constexpr Word VK_SPACE = 32;
}  // namespace

// ---- TForm ----

TForm::TForm(TComponent* owner, std::string className)
    : TControl(nullptr, TControlKind::Form, newFormDriver(this)), className_(std::move(className)) {
    (void)owner;  // forms are owned by whoever created them; the owner is kept for symmetry
}

TForm::~TForm() = default;

IFormDriver* TForm::FormDriver() const { return static_cast<IFormDriver*>(Driver()); }

int TForm::ScreenPixels(int designPixels) const {
    return FormDriver()->ScreenPixels(designPixels);
}

void TForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_) return;
    formStyle_ = style;
    Changed(TControlChange::Style);
}

void TForm::DoCreate() {
    if (OnCreate) Application->Dispatch([this] { OnCreate(this); });
}

void TForm::DoDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (capture_) SetMouseCapture(false);
    if (OnDestroy) Application->Dispatch([this] { OnDestroy(this); });
}

void TForm::Show() {
    closed_ = false;
    std::exception_ptr failure;
    try {
        if (OnShow) OnShow(this);
    } catch (...) {
        failure = std::current_exception();
    }
    SetVisible(true);
    FormDriver()->Show();
    // The form is shown whatever OnShow did; its error goes on to the caller.
    if (failure) std::rethrow_exception(failure);
}

void TForm::Hide() {
    SetVisible(false);
    FormDriver()->Hide();
}

int TForm::ShowModal() {
    modalResult_ = mrNone;
    closed_ = false;
    if (OnShow) Application->Dispatch([this] { OnShow(this); });
    int result = FormDriver()->RunModal();
    if (modalResult_ == mrNone) modalResult_ = result == mrNone ? mrCancel : result;
    return modalResult_;
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

bool TForm::QueryEndSession() {
    sessionEnding_ = true;
    const TFlagReset reset{sessionEnding_};
    return CloseQuery();
}

void TForm::Close() {
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    closed_ = true;
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    Hide();
    if (Application->MainForm == this)
        Application->Terminate();
    else if (action == caFree)
        Application->Release(this);
}

void TForm::Activated() {
    if (OnActivate) OnActivate(this);
}

void TForm::Deactivated() {
    if (OnDeactivate) OnDeactivate(this);
}

namespace {

struct TButtonRole {
    bool button = false, isDefault = false, isCancel = false;
};

TButtonRole roleOf(const TControl* c) {
    switch (c->Kind()) {
        case TControlKind::Button:
        case TControlKind::BitmapButton: {
            auto* b = static_cast<const TButton*>(c);
            return {true, b->Default, b->Cancel};
        }
        case TControlKind::SpeedButton: {
            auto* b = static_cast<const TSpeedButton*>(c);
            return {true, b->Default, b->Cancel};
        }
        default:
            return {};
    }
}

// Every control below `parent` in tab order: its children by TabOrder, each
// followed by its own.
void inTabOrder(const TControl* parent, std::vector<TControl*>& out) {
    std::vector<TControl*> children = parent->Controls();
    std::stable_sort(children.begin(), children.end(),
                     [](const TControl* a, const TControl* b) { return a->TabOrder < b->TabOrder; });
    for (TControl* c : children) {
        out.push_back(c);
        inTabOrder(c, out);
    }
}

bool isTabStop(const TControl* c) {
    return c->TabStop && c->CanFocus();
}

}  // namespace

TControl* TForm::findAccelerator(char key) {
    std::vector<TControl*> pending{this};
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        for (auto it = c->Controls().rbegin(); it != c->Controls().rend(); ++it) pending.push_back(*it);
        if (c == this || !c->Usable()) continue;
        if (c->Kind() == TControlKind::Label && !static_cast<TLabel*>(c)->ShowAccelChar) continue;
        if (c->AcceleratorKey() == key) return c;
    }
    return nullptr;
}

TControl* TForm::findButton(bool wantDefault) {
    std::vector<TControl*> all;
    inTabOrder(this, all);
    for (TControl* c : all) {
        const TButtonRole role = roleOf(c);
        if ((wantDefault ? role.isDefault : role.isCancel) && c->Usable()) return c;
    }
    return nullptr;
}

TControl* TForm::FindNextControl(const TControl* from, bool forward) const {
    std::vector<TControl*> order;
    inTabOrder(this, order);
    const auto n = static_cast<std::ptrdiff_t>(order.size());
    const auto at = std::find(order.begin(), order.end(), from);
    // From nowhere, forward starts before the first and backward after the last.
    const std::ptrdiff_t start = at != order.end() ? at - order.begin() : forward ? -1 : n;
    for (std::ptrdiff_t k = 1; k <= n; ++k) {
        const std::ptrdiff_t i = ((start + (forward ? k : -k)) % n + n) % n;
        if (isTabStop(order[static_cast<std::size_t>(i)])) return order[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

TControl* TForm::ControlToFocus() const {
    if (active_ && active_->CanFocus()) return active_;
    return FindNextControl(nullptr, true);
}

void TForm::focusByKey(TControl* control) {
    control->SetFocus();
    control->Driver()->SelectAll();
}

void TForm::SelectNext(const TControl* from, bool forward) {
    if (TControl* next = FindNextControl(from, forward)) focusByKey(next);
}

void TForm::FocusArrived(TControl* control) {
    TControl* previous = focused_;
    focused_ = active_ = control;
    if (previous && previous != control) previous->DoExit();
}

void TForm::ControlRemoved(const TControl* control) {
    if (active_ == control) active_ = nullptr;
    if (focused_ == control) focused_ = nullptr;
}

bool TForm::KeyDown(Word key, TShiftState shift, bool repeat) {
    // A control that was hidden or disabled meanwhile takes no keys.
    TControl* focused = active_ && active_->CanFocus() ? active_ : nullptr;
    if (focused && focused->Driver()->KeepsKey(key)) return false;
    if (KeyPreview && OnKeyDown) {
        Word k = key;
        OnKeyDown(this, k, shift);
        if (k == 0) return true;
        key = k;
    }
    TShortCut sc = static_cast<TShortCut>(key | ((shift & ssShift) ? scShift : 0) | ((shift & ssCtrl) ? scCtrl : 0) |
                                          ((shift & ssAlt) ? scAlt : 0));
    if (PopupMenu && PopupMenu->IsShortCut(sc)) return true;
    for (TControl* c : Controls()) {
        if (c->Kind() != TControlKind::MainMenu || sc == 0) continue;
        if (TMenuItem* item = static_cast<TMainMenu*>(c)->Items().FindShortCut(sc)) {
            item->Click();
            return true;
        }
    }
    if (focused && focused->WantsKey(key, shift)) {
        Word k = key;
        if (focused->DoKeyDown(k, shift)) return true;
    }
    if ((shift & ssAlt) && !(shift & ssCtrl) && key >= '0' && key <= 'Z') {
        if (TControl* c = findAccelerator(static_cast<char>(key))) {
            if (c->Kind() == TControlKind::Label) {
                auto* target = static_cast<TLabel*>(c)->FocusControl;
                if (target && target->CanFocus()) focusByKey(target);
            } else if (roleOf(c).button) {
                c->Click();
            } else {
                if (c->CanFocus()) focusByKey(c);
                if (c->Kind() == TControlKind::CheckBox) c->Click();
            }
            return true;
        }
    }
    if (key == VK_TAB && !(shift & ssAlt)) {
        SelectNext(active_, !(shift & ssShift));
        return true;
    }
    if (shift == 0 && focused && (key == VK_RETURN || key == VK_SPACE)) {
        // The focused button, before any default button.
        if (roleOf(focused).button || (key == VK_SPACE && focused->Kind() == TControlKind::CheckBox)) {
            // A held Space clicks once, as the system's buttons do.
            if (!repeat || key != VK_SPACE) focused->Click();
            return true;
        }
    }
    if (shift == 0 && (key == VK_RETURN || key == VK_ESCAPE))
        if (TControl* b = findButton(key == VK_RETURN)) {
            b->Click();
            return true;
        }
    if (!focused) return false;
    Word k = key;
    return focused->DoKeyDown(k, shift);
}

void TForm::SetMouseCapture(bool capture) {
    capture_ = capture;
    FormDriver()->SetMouseCapture(capture);
}

// ---- TApplication ----

TApplication::TApplication() : TComponent(nullptr), previous_(Application) {
    Application = this;
    os_ = newOperatingSystem();
    driver_ = newApplicationDriver(this);
}

TApplication::~TApplication() {
    // Forms go in reverse order of creation, each told first.
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) (*it)->DoDestroy();
    while (!forms_.empty()) forms_.pop_back();
    MainForm = nullptr;
    driver_.reset();
    // Nested application objects (tests) hand the role back in order.
    if (Application == this) Application = previous_;
}

void TApplication::SetTitle(std::string title) {
    title_ = std::move(title);
    driver_->TitleChanged();
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return driver_->MessageBox(text, caption, flags);
}

void TApplication::ShowException(const std::exception& e) {
    std::string text = e.what();
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

void TApplication::Run() {
    if (MainForm && !terminated_) Dispatch([this] { MainForm->Show(); });
    if (!terminated_) driver_->Run();
}

void TApplication::ProcessMessages() {
    driver_->ProcessMessages();
    if (dispatchDepth_ == 0) FreeReleasedForms();
}

void TApplication::Wake() {
    driver_->Wake();
}

void TApplication::WaitMessageOrWake(unsigned timeoutMs) {
    driver_->WaitMessageOrWake(timeoutMs);
}

void TApplication::Release(TForm* form) {
    // Never at once: the closing handler is usually still on the stack.
    if (std::find(released_.begin(), released_.end(), form) == released_.end()) released_.push_back(form);
}

void TApplication::FreeReleasedForms() {
    // A form's teardown may dispatch (its windows report their end), and a
    // dispatch at depth zero lands here again: that is left to this loop.
    if (freeing_) return;
    freeing_ = true;
    const TFlagReset guard{freeing_};
    auto find = [this](TForm* form) {
        return std::find_if(forms_.begin(), forms_.end(), [form](auto& f) { return f.get() == form; });
    };
    while (!released_.empty()) {
        TForm* form = released_.back();
        released_.pop_back();
        if (find(form) == forms_.end()) continue;  // not ours to free
        form->DoDestroy();
        if (MainForm == form) MainForm = nullptr;
        // Out of the list before it goes, so nothing it runs can find it there.
        auto it = find(form);
        std::unique_ptr<TForm> owned = std::move(*it);
        forms_.erase(it);
        owned.reset();
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    driver_->Terminate();
}

void TApplication::SetCursor(TCursor cursor) { driver_->SetCursor(cursor); }

bool TApplication::HelpCommand(unsigned command, std::uintptr_t data) {
    return os_->WinHelp(HelpFile, command, data);
}

bool TApplication::HelpKeyword(const std::string& keyword) {
    return os_->WinHelpKey(HelpFile, keyword);
}

std::vector<TRect> TApplication::Monitors() { return driver_->Monitors(); }

int TApplication::ScreenWidth() {
    auto m = Monitors();
    return m.empty() ? 0 : m.front().Width();
}

int TApplication::ScreenHeight() {
    auto m = Monitors();
    return m.empty() ? 0 : m.front().Height();
}

TPoint TApplication::CursorPos() { return driver_->CursorPos(); }

// ---- desktop placement ----

namespace {
long long gap(int lo, int hi, int a, int b) {  // distance between [lo, hi) and [a, b)
    if (hi <= a) return static_cast<long long>(a) - hi + 1;
    if (b <= lo) return static_cast<long long>(lo) - b + 1;
    return 0;
}
}  // namespace

TPoint KeepOnDesktop(TPoint pos, TPoint size, TPoint back, const std::vector<TRect>& monitors) {
    if (monitors.empty()) return pos;
    TRect win{pos.x, pos.y, pos.x + size.x, pos.y + size.y};
    const TRect* nearest = nullptr;
    long long best = LLONG_MAX;
    for (const TRect& m : monitors) {
        long long dx = gap(win.left, win.right, m.left, m.right);
        long long dy = gap(win.top, win.bottom, m.top, m.bottom);
        if (dx == 0 && dy == 0) return pos;  // some monitor shows part of it
        long long d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            nearest = &m;
        }
    }
    TPoint p = pos;
    if (win.left >= nearest->right) p.x = nearest->right - back.x;
    if (win.right <= nearest->left) p.x = nearest->left;
    if (win.top >= nearest->bottom) p.y = nearest->bottom - back.y;
    if (win.bottom <= nearest->top) p.y = nearest->top;
    return p;
}
