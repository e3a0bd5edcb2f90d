// The Win32 backend's factory functions; CMake builds this folder for Windows.
#include "platform/win32/win32.h"

std::unique_ptr<IControlDriver> newControlDriver(TControl* control) {
    using namespace win32;
    switch (control->Kind()) {
        case TControlKind::Button:
            return std::make_unique<TButtonDriver>(control);
        case TControlKind::BitmapButton:
            return std::make_unique<TGlyphButtonDriver>(control);
        case TControlKind::SpeedButton:
            return std::make_unique<TSpeedButtonDriver>(control);
        case TControlKind::Label:
            return std::make_unique<TLabelDriver>(control);
        case TControlKind::ComboBox:
            return std::make_unique<TComboBoxDriver>(control);
        case TControlKind::Memo:
            return std::make_unique<TMemoDriver>(control);
        case TControlKind::Bevel:
            return std::make_unique<TBevelDriver>(control);
        case TControlKind::StringGrid:
            return std::make_unique<TGridDriver>(control);
        case TControlKind::CheckBox:
            return std::make_unique<TCheckBoxDriver>(control);
        case TControlKind::Panel:
            return std::make_unique<TPanelDriver>(control);
        case TControlKind::DirectoryList:
            return std::make_unique<TDirectoryListDriver>(control);
        case TControlKind::DriveCombo:
            return std::make_unique<TDriveComboDriver>(control);
        case TControlKind::Custom:
            return std::make_unique<TCustomDriver>(control);
        case TControlKind::Form:  // forms bring their own driver
        case TControlKind::MainMenu:
            break;
    }
    return std::make_unique<TNoWindowDriver>(control);
}
std::unique_ptr<IFormDriver> newFormDriver(TForm* form) {
    return std::make_unique<win32::TWin32Form>(form);
}
std::unique_ptr<IMenuDriver> newMenuDriver(TPopupMenu* menu) {
    return std::make_unique<win32::TWin32Menu>(menu);
}
std::unique_ptr<IApplicationDriver> newApplicationDriver(TApplication* app) {
    return std::make_unique<win32::TWin32Application>(app);
}
std::unique_ptr<IOperatingSystem> newOperatingSystem() {
    return std::make_unique<win32::TWin32OS>();
}
std::unique_ptr<ITimerDriver> newTimerDriver(TTimer* timer) {
    return std::make_unique<win32::TWin32Timer>(timer);
}
std::unique_ptr<IDialogDriver> newDialogDriver(TOpenDialog*) {
    return std::make_unique<win32::TWin32Dialog>();
}
