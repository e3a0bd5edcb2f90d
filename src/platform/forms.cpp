#include "platform/forms.h"

#include <algorithm>
#include <climits>

#include "platform/drivers.h"
#include "platform/extctrls.h"
#include "platform/menus.h"

TApplication* Application = nullptr;

namespace {
constexpr Word VK_RETURN = 13;
constexpr Word VK_ESCAPE = 27;
}  // namespace

// ---- TForm ----

TForm::TForm(TComponent* owner, std::string className)
    : TControl(nullptr, TControlKind::Form, newFormDriver(this)), className_(std::move(className)) {
    (void)owner;  // forms are owned by whoever created them; the owner is kept for symmetry
}

TForm::~TForm() = default;

IFormDriver* TForm::FormDriver() const { return static_cast<IFormDriver*>(Driver()); }

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
    if (OnShow) OnShow(this);
    SetVisible(true);
    FormDriver()->Show();
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

TControl* TForm::findAccelerator(char key) {
    std::vector<TControl*> pending{this};
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        for (auto it = c->Controls().rbegin(); it != c->Controls().rend(); ++it) pending.push_back(*it);
        if (c != this && c->Visible() && c->Enabled() && c->AcceleratorKey() == key) return c;
    }
    return nullptr;
}

TControl* TForm::findButton(bool wantDefault) {
    for (TControl* c : Controls()) {
        if (!c->Visible() || !c->Enabled()) continue;
        if (c->Kind() == TControlKind::Button) {
            auto* b = static_cast<TButton*>(c);
            if (wantDefault ? b->Default : b->Cancel) return b;
        } else if (c->Kind() == TControlKind::BitmapButton && wantDefault && static_cast<TSpeedButton*>(c)->Default) {
            return c;
        }
    }
    return nullptr;
}

bool TForm::KeyDown(Word key, TShiftState shift) {
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
    if ((shift & ssAlt) && !(shift & ssCtrl) && key >= '0' && key <= 'Z') {
        if (TControl* c = findAccelerator(static_cast<char>(key))) {
            if (c->Kind() == TControlKind::Label) {
                if (auto* target = static_cast<TLabel*>(c)->FocusControl) target->SetFocus();
            } else {
                c->Click();
            }
            return true;
        }
    }
    if (shift == 0 && key == VK_RETURN)
        if (TControl* b = findButton(true)) {
            b->Click();
            return true;
        }
    if (shift == 0 && key == VK_ESCAPE)
        if (TControl* b = findButton(false)) {
            b->Click();
            return true;
        }
    return false;
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
    while (!released_.empty()) {
        TForm* form = released_.back();
        released_.pop_back();
        auto it = std::find_if(forms_.begin(), forms_.end(), [form](auto& f) { return f.get() == form; });
        if (it == forms_.end()) continue;  // not ours to free
        form->DoDestroy();
        if (MainForm == form) MainForm = nullptr;
        forms_.erase(it);
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
