// Menus as real HMENUs whose submenus are filled as they open, and the popup
// menu driver.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

namespace {

// A choice arrives as the menu and position of the item, so no level needs
// command identifiers, which WM_COMMAND would cut to 16 bits.
bool notifyByPosition(HMENU menu) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_STYLE;
    info.dwStyle = MNS_NOTIFYBYPOS;
    return ::SetMenuInfo(menu, &info) != FALSE;
}

}  // namespace

int MenuCapacity(POINT at) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(::MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info)) return 0;
    // Rather fewer than fit than a menu that scrolls: items are a little
    // taller than a menu bar's line in every look of the system, and as
    // tall as the screen's DPI makes them.
    const int dpi = DpiAt(at);
    const int itemHeight =
        std::max(SystemMetricForDpi(SM_CYMENUSIZE, dpi), SystemMetricForDpi(SM_CYMENU, dpi)) + ScaleBy(4, dpi);
    return (info.rcWork.bottom - info.rcWork.top) / std::max(itemHeight, 1);
}

TWin32MenuTree::TDepth::~TDepth() {
    // Each depth lets go of the next one's handle before it goes, so that no
    // handle is destroyed twice.
    if (!menu) return;
    for (int i = ::GetMenuItemCount(menu.get()); i-- > 0;)
        ::RemoveMenu(menu.get(), static_cast<UINT>(i), MF_BYPOSITION);
}

TWin32MenuTree::TWin32MenuTree(TMenuItem& root, bool bar, int capacity) : capacity_(capacity) {
    depths_.emplace_back();
    depths_.front().menu.reset(bar ? ::CreateMenu() : ::CreatePopupMenu());
    if (!depths_.front().menu || !notifyByPosition(Top()) || !fill(0, MenuLevel({&root, nullptr, 0, 0, {}}, capacity)))
        throw Exception("Cannot create a menu");
}

HMENU TWin32MenuTree::submenu(std::size_t depth) {
    if (depth < depths_.size()) return depths_[depth].menu.get();
    TMenuHandle menu(::CreatePopupMenu());
    if (!menu || !notifyByPosition(menu.get())) return nullptr;
    depths_.emplace_back().menu = std::move(menu);
    return depths_.back().menu.get();
}

bool TWin32MenuTree::fill(std::size_t depth, std::vector<TMenuEntry> entries) {
    HMENU menu = depths_[depth].menu.get();
    // RemoveMenu, not DeleteMenu: the next depth's handle lives on.
    for (int i = ::GetMenuItemCount(menu); i-- > 0;) ::RemoveMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
    std::vector<TMenuEntry>& shown = depths_[depth].entries;
    shown.clear();
    for (TMenuEntry& entry : entries) {
        const TMenuItem* item = entry.item;
        const auto id = static_cast<UINT_PTR>(shown.size() + 1);
        BOOL added;
        if (item && item->IsLine()) {
            added = ::AppendMenuW(menu, MF_SEPARATOR, id, nullptr);
        } else {
            std::string text = item ? item->Caption : entry.caption;
            if (item && item->ShortCut) {
                std::string keys = ShortCutToText(item->ShortCut);
                if (!keys.empty()) text += "\t" + keys;
            }
            UINT flags = MF_STRING;
            if (item && item->Checked) flags |= MF_CHECKED;
            if (item && !item->Enabled) flags |= MF_GRAYED;
            HMENU sub = nullptr;
            if (!item || item->Count() > 0) {
                sub = submenu(depth + 1);
                if (!sub) flags |= MF_GRAYED;  // shown, but with no handle left to open it
            }
            added = ::AppendMenuW(menu, sub ? flags | MF_POPUP : flags, sub ? reinterpret_cast<UINT_PTR>(sub) : id,
                                  Widen(text).c_str());
        }
        // Positions must match the entries, so the level ends at a failure.
        if (!added) return false;
        shown.push_back(std::move(entry));
    }
    return true;
}

bool TWin32MenuTree::Opening(HMENU menu, int position) {
    for (std::size_t depth = 1; depth < depths_.size(); ++depth) {
        if (depths_[depth].menu.get() != menu) continue;
        const std::vector<TMenuEntry>& above = depths_[depth - 1].entries;
        std::vector<TMenuEntry> entries;
        if (position >= 0 && static_cast<std::size_t>(position) < above.size())
            entries = MenuLevel(above[static_cast<std::size_t>(position)], capacity_);
        fill(depth, std::move(entries));  // what did not fit stays out; the rest works
        return true;
    }
    return menu == Top();
}

TMenuItem* TWin32MenuTree::ItemAt(HMENU menu, int position) const {
    for (const TDepth& depth : depths_) {
        if (depth.menu.get() != menu) continue;
        if (position < 0 || static_cast<std::size_t>(position) >= depth.entries.size()) return nullptr;
        return depth.entries[static_cast<std::size_t>(position)].item;
    }
    return nullptr;
}

bool TWin32MenuTree::Choose(HMENU menu, int position) {
    for (const TDepth& depth : depths_) {
        if (depth.menu.get() != menu) continue;
        chosen_ = ItemAt(menu, position);
        return true;
    }
    return false;
}

void TWin32MenuTree::RefreshTop() {
    const std::vector<TMenuEntry>& top = depths_.front().entries;
    for (std::size_t i = 0; i < top.size(); ++i) {
        const TMenuItem* item = top[i].item;
        if (!item || item->IsLine()) continue;
        const auto at = static_cast<UINT>(i);
        ::CheckMenuItem(Top(), at, MF_BYPOSITION | (item->Checked ? MF_CHECKED : MF_UNCHECKED));
        ::EnableMenuItem(Top(), at, MF_BYPOSITION | (item->Enabled ? MF_ENABLED : MF_GRAYED));
    }
}

TMenuItem* TWin32Menu::Popup(int x, int y) {
    TForm* form = nullptr;
    if (auto* control = dynamic_cast<TControl*>(menu_->Owner())) form = control->ParentForm();
    if (!form) form = Application->MainForm;
    // The form's window receives the menu's messages; without one there is
    // nothing to show a menu over.
    if (!form) return nullptr;
    TWin32Form& owner = *FormDriverOf(form);
    HWND hwnd = owner.Handle();
    TWin32MenuTree tree(menu_->Items(), false, MenuCapacity({x, y}));
    TWin32MenuTree* outer = owner.SetPopup(&tree);
    // Without the foreground the menu would not close on a click elsewhere.
    ::SetForegroundWindow(hwnd);
    const BOOL shown =
        ::TrackPopupMenuEx(tree.Top(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, hwnd, nullptr);
    // The menu loop may have freed the form; a nested call that the platform
    // refused leaves the outer menu tracked.
    if (TWin32Form* still = TWin32Form::FromWindow(hwnd)) still->SetPopup(outer);
    ::PostMessageW(hwnd, WM_NULL, 0, 0);
    // The choice is posted to the window: taken here, before the loop runs it.
    MSG chosen;
    if (shown && ::PeekMessageW(&chosen, hwnd, WM_MENUCOMMAND, WM_MENUCOMMAND, PM_REMOVE))
        tree.Choose(reinterpret_cast<HMENU>(chosen.lParam), static_cast<int>(chosen.wParam));
    return tree.Chosen();
}

}  // namespace win32
