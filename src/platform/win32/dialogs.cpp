// The common open and save dialogs.
#include <algorithm>

#include "platform/win32/win32.h"

namespace win32 {

bool TWin32Dialog::Execute(TOpenDialog& dialog) {
    // "Description|masks|..." becomes the API's NUL-separated, doubly ended list.
    std::wstring filter = Widen(dialog.Filter);
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.append(2, L'\0');
    std::wstring title = Widen(dialog.Title);
    std::wstring defExt = Widen(dialog.DefaultExt);

    std::vector<wchar_t> file(32768, L'\0');
    std::wstring initial = Widen(dialog.FileName);
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

    HWND owner = ::GetActiveWindow();
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
    // No OFN_NOCHANGEDIR: the chosen file's directory becomes the current
    // one, as the dialogs do by default.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;

    // Loaded for the first dialog: most runs never show one.
    static const auto open = SystemFunction<decltype(::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    static const auto save = SystemFunction<decltype(::GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    static const auto lastError =
        SystemFunction<decltype(::CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError");
    const auto show = dialog.IsSave() ? save : open;
    if (!show || !lastError) throw Exception("The file dialog failed (comdlg32.dll cannot be loaded)");

    TThreadWindowsDisabled others(owner);
    const BOOL ok = show(&ofn);
    if (!ok) {
        // Cancel leaves no error; anything else is a failure, not a Cancel.
        if (const DWORD error = lastError())
            throw Exception("The file dialog failed (error " + std::to_string(error) + ")");
        return false;
    }
    dialog.FileName = Narrow(file.data());
    return true;
}

}  // namespace win32
