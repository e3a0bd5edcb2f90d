// The popup menu driver: a real HMENU tree built for each popup.
#include "platform/win32/win32.h"

namespace win32 {

void AppendMenuItems(HMENU menu, TMenuItem& parent, std::vector<TMenuItem*>& chosen) {
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (!item->Visible) continue;
        if (item->IsLine()) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::string text = item->Caption;
        if (item->ShortCut) {
            std::string keys = ShortCutToText(item->ShortCut);
            if (!keys.empty()) text += "\t" + keys;
        }
        UINT flags = MF_STRING;
        if (item->Checked) flags |= MF_CHECKED;
        if (!item->Enabled) flags |= MF_GRAYED;
        if (item->Count() > 0) {
            TMenuHandle sub(::CreatePopupMenu());
            if (!sub) throw Exception("Cannot create a menu");
            AppendMenuItems(sub.get(), *item, chosen);
            if (::AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()), Widen(text).c_str()))
                sub.release();  // the parent menu destroys it now
        } else {
            chosen.push_back(item);
            ::AppendMenuW(menu, flags, chosen.size(), Widen(text).c_str());
        }
    }
}

TMenuItem* TWin32Menu::Popup(int x, int y) {
    TMenuHandle menu(::CreatePopupMenu());
    if (!menu) throw Exception("Cannot create a menu");
    std::vector<TMenuItem*> chosen;
    AppendMenuItems(menu.get(), menu_->Items(), chosen);

    TForm* form = nullptr;
    if (auto* control = dynamic_cast<TControl*>(menu_->Owner())) form = control->ParentForm();
    HWND owner = form ? FormDriverOf(form)->Handle() : AppDriver().Window();
    // Without the foreground the menu would not close on a click elsewhere.
    ::SetForegroundWindow(owner);
    const BOOL id = ::TrackPopupMenuEx(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y,
                                       owner, nullptr);
    ::PostMessageW(owner, WM_NULL, 0, 0);
    if (id <= 0 || static_cast<std::size_t>(id) > chosen.size()) return nullptr;
    return chosen[static_cast<std::size_t>(id) - 1];
}

}  // namespace win32
