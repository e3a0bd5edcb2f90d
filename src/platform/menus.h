// Menu items and the popup menu. Each item owns its children; the popup menu
// owns its top-level items. Shortcuts are key code plus modifier bits.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes.h"

using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// "Shift+", "^", "Ctrl+" and "Alt+" prefixes, then a key name; 0 when the
// text names no key.
TShortCut TextToShortCut(std::string_view text);
// "Shift+Ctrl+Alt+" order, then the key name; empty for 0 or an unnamed key.
std::string ShortCutToText(TShortCut shortcut);
// The key name of a virtual key code: the table's, else the keyboard
// layout's when that is a single character; empty when it has none.
std::string KeyName(Word key);

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner) : TComponent(owner) {}

    std::string Caption;  // "-" makes a separator; "&" marks the accelerator
    std::string Hint;
    TShortCut ShortCut = 0;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    TNotifyEvent OnClick;

    bool IsLine() const { return Caption == "-"; }
    int Count() const { return items_ ? static_cast<int>(items_->size()) : 0; }
    TMenuItem* Items(int index) const;
    TMenuItem* Parent() const { return parent_; }

    TMenuItem* Add(std::unique_ptr<TMenuItem> item);
    TMenuItem* Insert(int index, std::unique_ptr<TMenuItem> item);
    // Runs the click action directly; an exception goes to the caller.
    virtual void Click();
    // The enabled item, here or below, whose shortcut this is; lines and
    // what they hold never are.
    TMenuItem* FindShortCut(TShortCut shortcut);

private:
    TMenuItem* parent_ = nullptr;
    // Menus are built by inserting on top. Made on the first insertion: an
    // empty deque already costs two allocations, and most items are leaves.
    std::unique_ptr<std::deque<std::unique_ptr<TMenuItem>>> items_;
};

// One entry of an open menu level: a menu item, or, when `item` is null, the
// children [first, last) of `parent` gathered into a submenu of their own.
struct TMenuEntry {
    TMenuItem* item = nullptr;
    TMenuItem* parent = nullptr;
    int first = 0, last = 0;
    std::string caption;  // a range's: the text of its first and last items
};

// The entries of the level that `opened` opens (an item's children or a
// range of them) on a screen that holds `capacity` items. Beyond that many
// items (and 256), an item's children show their first and last quarter of a screen
// (a launcher's fixed items come last) with the rest between them in ranges,
// and a range shows ranges of whole screens, so that opening a level costs
// one screen of items whatever the size of the menu.
std::vector<TMenuEntry> MenuLevel(const TMenuEntry& opened, int capacity);

class IMenuDriver;

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    bool AutoPopup = true;
    TNotifyEvent OnPopup;

    TMenuItem& Items() { return root_; }
    // Shows the menu with its top-left corner at (x, y), screen coordinates,
    // and runs the chosen item's action through the default error report.
    void Popup(int x, int y);
    // Runs the item of this shortcut; false when there is none.
    bool IsShortCut(TShortCut shortcut);

private:
    TMenuItem root_;
    std::unique_ptr<IMenuDriver> driver_;
};
