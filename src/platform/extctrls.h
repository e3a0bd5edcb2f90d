// Panels, check boxes, the form's menu bar and docking.
#pragma once

#include "platform/controls.h"
#include "platform/menus.h"

// A plain container; without a bevel it only groups and docks.
class TPanel : public TControl {
public:
    explicit TPanel(TControl* parent) : TControl(parent, TControlKind::Panel) { TabStop = false; }
    bool Bevel = false;  // a raised outer frame
    bool TakesFocus() const override { return false; }
};

// A check box whose click toggles its mark. The backend reports a click by
// Click(), and shows the mark whenever it changes (TControlChange::Checked).
class TCheckBox : public TControl {
public:
    explicit TCheckBox(TControl* parent) : TControl(parent, TControlKind::CheckBox) {}
    bool Checked() const { return checked_; }
    void SetChecked(bool checked) {
        if (checked == checked_) return;
        checked_ = checked;
        Changed(TControlChange::Checked);
    }
    void Click() override {
        if (!Enabled()) return;
        SetChecked(!checked_);
        TControl::Click();
    }

private:
    bool checked_ = false;
};

// The menu bar of the form that is its parent. It is never shown as a
// control; the backend finds it among the form's controls by its kind.
class TMainMenu : public TControl {
public:
    explicit TMainMenu(TControl* form) : TControl(form, TControlKind::MainMenu), root_(this) {
        TabStop = false;
        SetVisible(false);
    }
    TMenuItem& Items() { return root_; }
    bool TakesFocus() const override { return false; }

private:
    TMenuItem root_;
};

// Places the docked children of `parent` in its client area of the given
// size: those at the top and bottom first, in creation order, then left and
// right, and a Client child takes what is left. Backends call it whenever
// the client area changes size.
void ArrangeAligned(TControl& parent, int clientWidth, int clientHeight);
