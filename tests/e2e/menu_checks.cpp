// The backend's menus in this process: a form's popup menu keeps its own
// check and grey states beside the form's menu bar.
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/menus.h"

// After the portable headers, whose names <windows.h> would make macros.
#include <thread>

#include "checks.h"

namespace e2e {

namespace {

struct TMenuForm : TForm {
    TMenuForm() : TForm(nullptr, "TMenuCheckForm") {}
    TMainMenu Bar{this};
    TPopupMenu Menu{this};
};

TMenuItem* addItem(TMenuItem& parent, TComponent* owner, const char* caption) {
    auto item = std::make_unique<TMenuItem>(owner);
    item->Caption = caption;
    return parent.Add(std::move(item));
}

// A visible menu window of this process, within 5 s; null without one.
HWND ownMenu() {
    std::vector<HWND> menus;
    WaitUntil([&] { return !(menus = TopWindows(::GetCurrentProcessId(), L"#32768", true)).empty(); },
              std::chrono::seconds(5));
    return menus.empty() ? nullptr : menus.front();
}

}  // namespace

void RunMenuChecks(TReport& report) {
    TApplication app;
    auto* form = app.CreateForm<TMenuForm>();
    // The bar's first command is checked and grey; the popup's first item is neither.
    TMenuItem* file = addItem(form->Bar.Items(), &form->Bar, "&File");
    TMenuItem* bar = addItem(*file, &form->Bar, "Bar");
    bar->Checked = true;
    bar->Enabled = false;
    bool went = false;
    addItem(*file, &form->Bar, "&Go")->OnClick = [&](TObject*) { went = true; };
    addItem(form->Menu.Items(), &form->Menu, "Popup");
    form->SetBounds(50, 50, 200, 100);
    form->Show();

    // The menu loop holds this thread; another reads the open menu and closes it.
    UINT state = ~0u;
    std::thread reader([&] {
        HWND menu = ownMenu();
        DWORD_PTR handle = 0;
        constexpr UINT kGetHMenu = 0x01E1;  // MN_GETHMENU
        // Not SMTO_ABORTIFHUNG: this thread's earlier checks may have left the
        // menu's thread unpumped for seconds, which counts as hung until the
        // menu loop first reads a message.
        if (menu && ::SendMessageTimeoutW(menu, kGetHMenu, 0, 0, SMTO_NORMAL, 3000, &handle) && handle)
            state = ::GetMenuState(reinterpret_cast<HMENU>(handle), 0, MF_BYPOSITION);
        CloseMenus(std::chrono::seconds(5));
    });
    form->Menu.Popup(60, 60);
    reader.join();
    report.Check("menus.popup-keeps-its-states", state != ~0u && !(state & (MF_CHECKED | MF_GRAYED)),
                 "state " + std::to_string(state) + " (8 checked, 1 grey, as the bar's item; ~0 not read)");

    // The bar's submenu, filled as it opens, runs the item chosen from it.
    std::thread chooser([] {
        if (HWND menu = ownMenu()) PostChar(menu, L'g');
    });
    const auto windows = TopWindows(::GetCurrentProcessId(), L"TMenuCheckForm", true);
    if (!windows.empty()) ::PostMessageW(windows.front(), WM_SYSCOMMAND, SC_KEYMENU, 'f');
    WaitUntil(
        [&] {
            app.ProcessMessages();
            return went;
        },
        std::chrono::seconds(5));
    chooser.join();
    CloseMenus(std::chrono::seconds(5));
    report.Check("menus.bar-item-runs", went, "File > Go, chosen from the keyboard, did not run");
}

}  // namespace e2e
