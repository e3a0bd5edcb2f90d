#include "platform/controls.h"

#include <algorithm>

#include "platform/drivers.h"
#include "platform/forms.h"

TControl::TControl(TControl* parent, TControlKind kind) : TControl(parent, kind, nullptr) {}

TControl::TControl(TControl* parent, TControlKind kind, std::unique_ptr<IControlDriver> driver)
    : TComponent(parent), kind_(kind), parent_(parent) {
    if (parent_) {
        TabOrder = static_cast<int>(parent_->children_.size());
        parent_->children_.push_back(this);
    }
    driver_ = driver ? std::move(driver) : newControlDriver(this);
}

TControl::~TControl() {
    // The driver goes first: it may still read the control while tearing down.
    driver_.reset();
    // The form itself is gone by now; its controls went before it.
    if (kind_ != TControlKind::Form)
        if (TForm* form = ParentForm()) form->ControlRemoved(this);
    if (parent_) std::erase(parent_->children_, this);
}

TForm* TControl::ParentForm() {
    TControl* c = this;
    while (c->parent_) c = c->parent_;
    return c->kind_ == TControlKind::Form ? static_cast<TForm*>(c) : nullptr;
}

bool TControl::Usable() const {
    for (const TControl* c = this; c && c->kind_ != TControlKind::Form; c = c->parent_)
        if (!c->visible_ || !c->enabled_) return false;
    return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    TRect r{left, top, left + width, top + height};
    if (r == bounds_) return;
    bounds_ = r;
    Changed(TControlChange::Bounds);
}

void TControl::SetCaption(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    Changed(TControlChange::Text);
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed(TControlChange::Visible);
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed(TControlChange::Enabled);
}

void TControl::Changed(TControlChange what) {
    if (driver_) driver_->Changed(what);
}

void TControl::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Repaint() { driver_->Repaint(); }
void TControl::SetFocus() { driver_->SetFocus(); }
bool TControl::Focused() const { return driver_->Focused(); }

char TControl::AcceleratorKey() const {
    for (std::size_t i = 0; i + 1 < text_.size(); ++i) {
        if (text_[i] != '&') continue;
        if (text_[i + 1] == '&') {  // "&&" is a literal ampersand
            ++i;
            continue;
        }
        char c = text_[i + 1];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return 0;
}

void TButton::Click() {
    if (!Enabled()) return;
    if (ModalResult != mrNone)
        if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
    TControl::Click();
}

void TSpeedButton::Click() {
    if (!Enabled()) return;
    if (ModalResult != mrNone)
        if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
    TControl::Click();
}
