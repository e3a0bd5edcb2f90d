// Controls as plain objects. A control's parent is the form (or control) that
// declares it; the parent lists its children in creation order, and Tab
// visits them by TabOrder (see TForm). The backend's driver mirrors the state
// on screen.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/classes.h"

class IControlDriver;
class TPopupMenu;
class TForm;

enum class TControlKind {
    Form,
    Button,
    BitmapButton,
    SpeedButton,
    Label,
    ComboBox,
    Memo,
    Bevel,
    StringGrid,
    CheckBox,
    Panel,
    DirectoryList,
    DriveCombo,
    Custom,
    MainMenu
};

// Docking inside the parent's client area (see ArrangeAligned, extctrls.h).
enum class TAlign { None, Top, Bottom, Left, Right, Client };

// What changed, so a driver updates only that. Current: the current cell
// or item moved, and the driver brings it into view.
enum class TControlChange { Bounds, Text, Visible, Enabled, Style, Checked, Items, Current };

class TControl : public TComponent {
public:
    TControl(TControl* parent, TControlKind kind);
    ~TControl() override;

    TControlKind Kind() const { return kind_; }
    TControl* Parent() const { return parent_; }
    const std::vector<TControl*>& Controls() const { return children_; }
    TForm* ParentForm();

    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.Width(); }
    int Height() const { return bounds_.Height(); }
    TRect BoundsRect() const { return bounds_; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }

    // The caption of buttons, labels and forms; the text of edit boxes.
    const std::string& Caption() const { return text_; }
    void SetCaption(std::string text);
    const std::string& Text() const { return text_; }
    void SetText(std::string text) { SetCaption(std::move(text)); }
    // The backend reports text the user typed or picked; nothing is echoed back.
    void TextChangedByUser(std::string text) { text_ = std::move(text); }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int TabOrder = 0;  // within the parent; equal ones keep the order of creation
    bool TabStop = true;
    // This kind of control can hold the keyboard focus at all.
    virtual bool TakesFocus() const { return true; }
    // It and its parents up to the form are visible and enabled.
    bool Usable() const;
    // It takes the focus, and is usable.
    bool CanFocus() const { return TakesFocus() && Usable(); }
    std::optional<bool> FontBold;  // unset: as its form
    std::string FontName;          // empty: as its form
    int FontHeight = 0;            // 0: as its form

    TPopupMenu* PopupMenu = nullptr;
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TAlign Align = TAlign::None;
    TKeyEvent OnKeyDown;
    TNotifyEvent OnExit;

    // A key the focused control takes before the form's navigation and its
    // default and cancel buttons (the grid's Tab, say).
    virtual bool WantsKey(Word, TShiftState) const { return false; }
    // A key that the form left to the focused control; true when it was
    // used up (key set to 0).
    virtual bool DoKeyDown(Word& key, TShiftState shift) {
        if (OnKeyDown) OnKeyDown(this, key, shift);
        return key == 0;
    }
    // The keyboard focus has left the control.
    void DoExit() {
        if (OnExit) OnExit(this);
    }

    // Runs the click action directly; an exception goes to the caller.
    virtual void Click();
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void MouseMove(TShiftState shift, int x, int y);
    void Repaint();
    void SetFocus();
    bool Focused() const;
    // The "&" letter of the caption, upper-cased; 0 when there is none.
    char AcceleratorKey() const;

    IControlDriver* Driver() const { return driver_.get(); }

protected:
    // For forms, which bring their own driver.
    TControl(TControl* parent, TControlKind kind, std::unique_ptr<IControlDriver> driver);
    void Changed(TControlChange what);

private:
    TControlKind kind_;
    TControl* parent_;
    std::vector<TControl*> children_;
    TRect bounds_;
    std::string text_;
    bool visible_ = true;
    bool enabled_ = true;
    std::unique_ptr<IControlDriver> driver_;
};

class TButton : public TControl {
public:
    explicit TButton(TControl* parent) : TButton(parent, TControlKind::Button) {}
    int ModalResult = mrNone;  // set on the form when clicked
    bool Default = false;      // Enter presses it unless another button has the focus
    bool Cancel = false;       // Esc presses it
    void Click() override;

protected:
    TButton(TControl* parent, TControlKind kind) : TControl(parent, kind) {}
};

enum class TGlyph { AppIcon, CheckMark };

// A small picture left of a button's caption.
struct TGlyphed {
    bool HasGlyph = true;
    TGlyph Glyph = TGlyph::AppIcon;  // the application's icon 16 x 16, or a green check mark 18 x 18
};

// A push button with a glyph.
class TBitBtn : public TButton, public TGlyphed {
public:
    explicit TBitBtn(TControl* parent) : TButton(parent, TControlKind::BitmapButton) {}
};

// A flat button with a glyph. It never takes the keyboard focus, not even
// when clicked, unless it is its form's default or cancel button.
class TSpeedButton : public TControl, public TGlyphed {
public:
    explicit TSpeedButton(TControl* parent) : TControl(parent, TControlKind::SpeedButton) { TabStop = false; }
    int ModalResult = mrNone;  // set on the form when clicked
    bool Default = false;      // Enter presses it
    bool Cancel = false;       // Esc presses it
    void Click() override;
    bool TakesFocus() const override { return Default || Cancel; }
};

enum class TAlignment { Left, Right, Center };

class TLabel : public TControl {
public:
    explicit TLabel(TControl* parent) : TControl(parent, TControlKind::Label) { TabStop = false; }
    TControl* FocusControl = nullptr;  // its accelerator focuses this control
    TAlignment Alignment = TAlignment::Left;
    // Off: an "&" in the caption is shown as itself, not as an accelerator.
    bool ShowAccelChar = true;
    bool TakesFocus() const override { return false; }
};

// Multi-line text; read-only here, with a vertical scroll bar.
class TMemo : public TControl {
public:
    explicit TMemo(TControl* parent) : TControl(parent, TControlKind::Memo) {}
    bool ReadOnly = true;
    bool VerticalScrollBar = true;
};

// A raised frame.
class TBevel : public TControl {
public:
    explicit TBevel(TControl* parent) : TControl(parent, TControlKind::Bevel) { TabStop = false; }
    bool TakesFocus() const override { return false; }
};

// An editable drop-down combo box; its text is the control's text.
class TComboBox : public TControl {
public:
    explicit TComboBox(TControl* parent) : TControl(parent, TControlKind::ComboBox) {}
    const std::vector<std::string>& Items() const { return items_; }
    // A sorted list keeps its items in order without regard to letter case.
    bool Sorted = false;
    void AddItem(std::string item) {
        auto at = items_.end();
        if (Sorted)
            at = std::upper_bound(items_.begin(), items_.end(), item, [](const std::string& a, const std::string& b) {
                return UpperCase(a) < UpperCase(b);
            });
        items_.insert(at, std::move(item));
        Changed(TControlChange::Items);
    }
    void ClearItems() {
        items_.clear();
        Changed(TControlChange::Items);
    }
    int ItemHeight = 13;

private:
    std::vector<std::string> items_;
};
